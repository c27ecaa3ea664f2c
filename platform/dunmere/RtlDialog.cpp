#include "RtlDialog.h"

#include "Uloghelper.h"

namespace RtlDialog {

Rtl::HookSlot<void(const QString&)> FStartScreenSetStartStatusIDE;
Rtl::HookSlot<QString(const QString&, const QString&, bool)> FEditSql;

void SetStartScreenStatus(const QString& text) {
    TKorvexLog::LogMessage(QStringLiteral("StartScreen: ") + text, TKorvexLogLevel::Debug);
    FStartScreenSetStartStatusIDE(text);
}

QString EditSql(const QString& title, const QString& sql, bool isDataSource) {
    if (!FEditSql.Assigned())
        return sql;
    return FEditSql(title, sql, isDataSource);
}

} // namespace RtlDialog

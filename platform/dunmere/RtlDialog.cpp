#include "RtlDialog.h"

#include "Uloghelper.h"

namespace RtlDialog {

Rtl::HookSlot<void(const QString&)> FStartScreenSetStartStatusIDE;
Rtl::HookSlot<QString(const QString&, const QString&)> FAskPassword;
Rtl::HookSlot<QString(const QString&)> FAskPassword2;
Rtl::HookSlot<std::optional<QString>(const QString&, const QString&)> FAskPasswordEx;
Rtl::HookSlot<QString(const QString&, const QString&, bool)> FEditSql;
Rtl::HookSlot<QString(const QString&, const QString&, int, bool, bool, QChar, bool)> FEditTextS;
Rtl::HookSlot<void(const QString&, const QString&, int)> FAllertWindowWVOD;
Rtl::HookSlot<bool(const QString&, QString&, QString&, bool, bool, QChar, int, bool)> FEditTextB;
Rtl::HookSlot<QObject*(QObject*, const QString&, const QString&, QObject*)> FDokumentsForm;

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

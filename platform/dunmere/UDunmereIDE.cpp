#include "UDunmereIDE.h"

#include "UDM1.h"
#include "Uloghelper.h"
#include "VoskQuery2.h"

#include <QRegularExpression>

namespace Dunmere {

namespace {
int s_logMode = 0;
bool s_inIde = false;
} // namespace

void DoLoadLog(const QString& tag, const QString& who) {
    if (TDM1* dm = DM1())
        dm->DoLoadLog(tag, who);
    else
        TLogSink::Add({QDateTime::currentDateTime(), tag, 0, {}, who});
}

void LogEvent(const QString& text) {
    if (TDM1* dm = DM1())
        dm->LogEvent(text);
    else
        TLogSink::Add({QDateTime::currentDateTime(), QStringLiteral("EVENT"), 0, {}, text});
}

void LogEventFmt(const QString& format, const QStringList& args) {
    LogEvent(TDM1::FormatLogText(format, args));
}

int LogMode() { return s_logMode; }

void SetLogMode(int mode, const QString& caller) {
    s_logMode = mode;
    if (mode > 0)
        TKorvexLog::SetLevel(mode);
    TKorvexLog::LogMessage(QStringLiteral("%1: LogMode=%2").arg(caller).arg(mode),
                           TKorvexLogLevel::Info);
}

bool IsRunningInIDE() { return s_inIde; }
void SetRunningInIDE(bool inIde) { s_inIde = inIde; }

int DBRID_LoadStatements(TVoskDatabase& db) {
    QStringList keys;
    {
        TVoskQuery2 q(&db, QStringLiteral("SELECT ss_key FROM standardsql ORDER BY ss_key"));
        q.Open();
        for (; !q.Eof(); q.Next())
            keys << q.Fields(0).AsString();
    }
    for (const QString& key : keys)
        db.StandardSQL_Get(key);
    return int(keys.size());
}

} // namespace Dunmere

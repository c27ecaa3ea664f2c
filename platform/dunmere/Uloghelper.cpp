#include "Uloghelper.h"

#include "UDM1.h"

#include <QLoggingCategory>
#include <QMutex>
#include <QMutexLocker>

#include <atomic>

Q_LOGGING_CATEGORY(lcKorvex, "korvex.log", QtWarningMsg)

namespace {
QMutex s_mutex;
QList<TLogEntry> s_entries;
// A long session must not grow without bound; tests look at the recent entries.
constexpr qsizetype kMaxEntries = 20000;
std::atomic<int> s_level{int(TKorvexLogLevel::Warning)};
} // namespace

QString TLogEntry::Line() const {
    if (category.isEmpty())
        return kind + u' ' + text;
    return kind + u' ' + category + QStringLiteral(": ") + text;
}

void TLogSink::Add(TLogEntry entry) {
    qCDebug(lcKorvex).noquote() << entry.Line();
    QMutexLocker lock(&s_mutex);
    if (s_entries.size() >= kMaxEntries)
        s_entries.remove(0, kMaxEntries / 4);
    s_entries.append(std::move(entry));
}

QList<TLogEntry> TLogSink::Entries() {
    QMutexLocker lock(&s_mutex);
    return s_entries;
}

QStringList TLogSink::Lines() {
    QMutexLocker lock(&s_mutex);
    QStringList lines;
    for (const auto& e : s_entries)
        lines << e.Line();
    return lines;
}

bool TLogSink::Contains(const QString& part) {
    QMutexLocker lock(&s_mutex);
    for (const auto& e : s_entries)
        if (e.Line().contains(part))
            return true;
    return false;
}

void TLogSink::Clear() {
    QMutexLocker lock(&s_mutex);
    s_entries.clear();
}

int TKorvexLog::Level() { return s_level.load(); }
void TKorvexLog::SetLevel(int level) { s_level.store(level); }

void TKorvexLog::Write(const QString& kind, int level, const QString& category, const QString& text,
                       const QString& exception) {
    TLogSink::Add({QDateTime::currentDateTime(), kind, level, category,
                   exception.isEmpty() ? text : text + QStringLiteral(" | ") + exception});
    if (!Enabled(level))
        return;
    if (TDM1* dm = DM1())
        dm->WriteLogRow(kind, level, category, text, exception);
}

void TKorvexLog::Error(const QString& text) { Write(QStringLiteral("ERROR"), 1, {}, text); }
void TKorvexLog::Warning(const QString& text) { Write(QStringLiteral("WARNING"), 2, {}, text); }
void TKorvexLog::Info(const QString& text) { Write(QStringLiteral("INFO"), 3, {}, text); }

void TKorvexLog::LogMessage(const QString& text, int level) {
    Write(QStringLiteral("LOG"), level, {}, text);
}

void TKorvexLog::UserLog(const QString& category, const QString& text, int level) {
    Write(QStringLiteral("USER"), level, category, text);
}

void TKorvexLog::Statistics(const QString& category, const QObject* form, const QString& className,
                            const QString& text1, const QString& caption, const QString& text2) {
    QStringList parts{className};
    if (form && !form->objectName().isEmpty())
        parts << form->objectName();
    parts << text1 << caption << text2;
    parts.removeAll(QString());
    Write(QStringLiteral("STAT"), int(TKorvexLogLevel::Info), category, parts.join(QStringLiteral(" | ")));
}

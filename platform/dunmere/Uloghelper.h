#pragma once
// Logging of the database layer. Every entry goes to an in-memory sink that tests read; entries at
// or below the current level also go to table eventlog when the data module is connected.

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <exception>

enum class TKorvexLogLevel { Off = 0, Error = 1, Warning = 2, Info = 3, Debug = 4, Trace = 5 };

struct TLogEntry final {
    QDateTime time;
    QString kind;     // EVENT, INFO, WARNING, ERROR, LOG, USER, STAT, LOAD, UNLOAD
    int level = 0;
    QString category; // user logs: "PT[Profiling]"
    QString text;
    QString Line() const; // "KIND text" or "KIND category: text"
};

class TLogSink final {
public:
    static void Add(TLogEntry entry);
    static QList<TLogEntry> Entries();
    static QStringList Lines();
    static bool Contains(const QString& part);
    static void Clear();
};

class TKorvexLog final {
public:
    static int Level();
    static void SetLevel(int level);
    static bool Enabled(int level) { return level <= Level(); }

    static void Error(const QString& text);
    static void Warning(const QString& text);
    static void Info(const QString& text);
    static void LogMessage(const QString& text, int level);
    static void LogMessage(const QString& text, TKorvexLogLevel level) {
        LogMessage(text, int(level));
    }
    // A log of its own kind under a category such as "PT[Profiling]".
    static void UserLog(const QString& category, const QString& text, int level = 3);
    // Usage statistics: which form and class did what.
    static void Statistics(const QString& category, const QObject* form, const QString& className,
                           const QString& text1, const QString& caption, const QString& text2);

    // The entry as the data module writes it; kind decides the eventlog row.
    static void Write(const QString& kind, int level, const QString& category, const QString& text,
                      const QString& exception = {});
};

namespace Uloghelper {
inline void LogMessage(const QString& text, int level) { TKorvexLog::LogMessage(text, level); }
inline void LogMessage(const QString& text, TKorvexLogLevel level) {
    TKorvexLog::LogMessage(text, int(level));
}
} // namespace Uloghelper

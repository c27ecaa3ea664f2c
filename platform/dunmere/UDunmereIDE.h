#pragma once
// Routines of the database layer that work with or without a data module: the load log and event
// log (kept in memory until a connection exists), the log mode, whether the code runs inside the
// IDE, and the loading of the named statements into a connection.

#include <QString>
#include <QStringList>

class TVoskDatabase;

namespace Dunmere {

// Through DM1 when there is one, else to the in-memory log alone.
void DoLoadLog(const QString& tag, const QString& who);
void LogEvent(const QString& text);
// Delphi-style "%s"/"%d" placeholders filled in order.
void LogEventFmt(const QString& format, const QStringList& args);

// 0 leaves the level of the database setting; a higher mode logs up to that level.
int LogMode();
void SetLogMode(int mode, const QString& caller);

// Set by the IDE host before it loads any package.
bool IsRunningInIDE();
void SetRunningInIDE(bool inIde);

// Reads every named statement into the connection's cache; returns how many.
int DBRID_LoadStatements(TVoskDatabase& db);

} // namespace Dunmere

#pragma once
// Scratch files that outlive the call that writes them (report scripts and their results, drafts)
// are registered here and removed when the program ends, and the switch that marks a development
// installation.

#include <QByteArray>
#include <QString>
#include <QStringList>

// Registers path (a file, or a folder with all it holds) for deletion at shutdown; registering
// twice keeps one entry.
void DeleteFileOnShutdown(const QString& path);
// Deletes every registered file now (run at the end of the program, and by tests).
void DeleteFilesOnShutdownNow();
QStringList FilesToDeleteOnShutdown();

// Writes bytes to path readable by the owner only (0600), replacing or appending. Throws a German
// EVoskException naming the file when it cannot be written.
void WritePrivateFile(const QString& path, const QByteArray& bytes, bool append = false);

// The setting "IsDevelopSystem" of the data module: developers get hints that users do not.
bool IsDevelopSystem();

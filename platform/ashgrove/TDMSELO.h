#pragma once
// The external archive client: a program of the installation that shows a document of the archive
// by its reference. It counts as installed only when the setting "DMS.ExternalArchiveClient"
// names it; by default there is none and the document window hides its action.

#include <QString>

class QWidget;

class TDMSELO final {
public:
    // The program the setting names (trimmed); empty when none is set or nobody is connected.
    static QString ClientProgram();
    static bool isELOInstalled() { return InstalledBy(ClientProgram()); }
    // For a caller that reads the setting along with others: its name, and what its value means.
    static QString SettingName() { return QStringLiteral("DMS.ExternalArchiveClient"); }
    static bool InstalledBy(const QString& setting) { return !setting.trimmed().isEmpty(); }
    // Starts the client with the reference as its one argument. Throws EVoskException with a
    // German message when there is no client, no reference, or it cannot be started.
    static void DoExecuteELO(QWidget* window, const QString& reference);
};

#pragma once
// Folders of the running session. Each is created on first use under the user's standard locations
// (tests: the test-mode locations); the base path can be moved for a test.

#include <QString>

class TCurrentSession final {
public:
    QString BasePath() const;   // per-user data of the ERP
    QString TempDir() const;    // scratch files, per login
    QString ExportDir() const;  // files the user exports
    QString ProgramDir() const; // the running program's folder
    // Where working copies of checked-out documents go: the user's documents folder (a folder
    // under the moved base path, or one set for a test) + "KORVEX ERP".
    QString DocumentsDir() const;
    void SetDocumentsPath(const QString& path) { m_documentsPath = path; }
    void SetBasePath(const QString& path) { m_basePath = path; }
    void SetLoginName(const QString& login) { m_login = login; }
    // Whether designed dialogs of this login hand their parameters over through their script
    // handler instead of their controls.
    bool UseJSHandler() const { return m_useJSHandler; }
    void SetUseJSHandler(bool on) { m_useJSHandler = on; }

private:
    static QString ensure(const QString& path);
    QString m_basePath;
    QString m_documentsPath;
    QString m_login;
    bool m_useJSHandler = false;
};

TCurrentSession& CurrentSession_UConstants();

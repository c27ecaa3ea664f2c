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
    void SetBasePath(const QString& path) { m_basePath = path; }
    void SetLoginName(const QString& login) { m_login = login; }

private:
    static QString ensure(const QString& path);
    QString m_basePath;
    QString m_login;
};

TCurrentSession& CurrentSession_UConstants();

#include "UConstants.h"

#include <QCoreApplication>
#include <QDir>
#include <QRegularExpression>
#include <QStandardPaths>

QString TCurrentSession::ensure(const QString& path) {
    QDir().mkpath(path);
    return QDir::cleanPath(path) + u'/';
}

QString TCurrentSession::BasePath() const {
    if (!m_basePath.isEmpty())
        return ensure(m_basePath);
    return ensure(QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation));
}

QString TCurrentSession::TempDir() const {
    // Per login, so that two users on one machine never share scratch files.
    const QString root = m_basePath.isEmpty()
                             ? QStandardPaths::writableLocation(QStandardPaths::TempLocation)
                             : m_basePath + QStringLiteral("/tmp");
    QString user = QStringLiteral("korvex");
    if (!m_login.isEmpty()) {
        // A login is data: keep it from naming a folder outside the temp root.
        QString safe = m_login;
        safe.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9_-]")), QStringLiteral("_"));
        user += u'-' + safe;
    }
    return ensure(root + u'/' + user);
}

QString TCurrentSession::ExportDir() const { return ensure(BasePath() + QStringLiteral("export")); }

QString TCurrentSession::DocumentsDir() const {
    QString root = m_documentsPath;
    if (root.isEmpty())
        root = m_basePath.isEmpty()
                   ? QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)
                   : m_basePath + QStringLiteral("/Dokumente");
    return ensure(root + QStringLiteral("/KORVEX ERP"));
}

QString TCurrentSession::ProgramDir() const {
    return QDir::cleanPath(QCoreApplication::applicationDirPath()) + u'/';
}

TCurrentSession& CurrentSession_UConstants() {
    static TCurrentSession session;
    return session;
}

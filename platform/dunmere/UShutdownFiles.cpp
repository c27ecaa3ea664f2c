#include "UShutdownFiles.h"

#include "UDM1.h"

#include <VoskExceptions.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>

namespace {

struct Registry {
    QMutex lock;
    QStringList files;
    // Statics die after main: whatever the application did not clear goes now.
    ~Registry() {
        for (const QString& f : std::as_const(files))
            QFile::remove(f);
    }
};

Registry& registry() {
    static Registry r;
    return r;
}

} // namespace

void DeleteFileOnShutdown(const QString& path) {
    if (path.isEmpty())
        return;
    Registry& r = registry();
    QMutexLocker guard(&r.lock);
    if (!r.files.contains(path))
        r.files.append(path);
}

void DeleteFilesOnShutdownNow() {
    Registry& r = registry();
    QMutexLocker guard(&r.lock);
    for (const QString& f : std::as_const(r.files))
        if (QFileInfo(f).isDir() && !QFileInfo(f).isSymLink())
            QDir(f).removeRecursively();
        else
            QFile::remove(f);
    r.files.clear();
}

QStringList FilesToDeleteOnShutdown() {
    Registry& r = registry();
    QMutexLocker guard(&r.lock);
    return r.files;
}

void WritePrivateFile(const QString& path, const QByteArray& bytes, bool append) {
    constexpr auto ownerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    QFile f(path);
    const QIODevice::OpenMode mode =
        QIODevice::WriteOnly | (append ? QIODevice::Append : QIODevice::Truncate);
    // A new file is created 0600 from the start; an old one is narrowed before anything is written.
    const bool ok =
        f.exists() ? (f.setPermissions(ownerOnly) && f.open(mode)) : f.open(mode, ownerOnly);
    if (!ok || f.write(bytes) != bytes.size() || !f.flush())
        throw EVoskException(QStringLiteral("Die Datei \"%1\" kann nicht geschrieben werden: %2")
                                 .arg(path, f.errorString()));
}

bool IsDevelopSystem() {
    TDM1* dm = DM1();
    if (!dm || !dm->Connected())
        return false;
    return dm->GetBoolSetting(QStringLiteral("IsDevelopSystem"), false);
}

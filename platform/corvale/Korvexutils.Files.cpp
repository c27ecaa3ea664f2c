#include "Korvexutils.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

enum class Holder { None, Reader, Writer };

// How the user's other processes hold the file (device and inode), by their descriptors. A
// process of another user cannot be looked into and does not count.
Holder scanHolders(const struct stat& target) {
    const uid_t me = getuid();
    const pid_t self = getpid();
    Holder found = Holder::None;
    DIR* proc = opendir("/proc");
    if (!proc)
        return found;
    while (dirent* p = readdir(proc)) {
        char* end = nullptr;
        const long pid = strtol(p->d_name, &end, 10);
        if (*end != '\0' || pid <= 0 || pid == self)
            continue;
        const QByteArray base = QByteArray("/proc/") + p->d_name;
        struct stat ps {};
        if (stat(base.constData(), &ps) != 0 || ps.st_uid != me)
            continue;
        const QByteArray fdDir = base + "/fd";
        DIR* fds = opendir(fdDir.constData());
        if (!fds)
            continue;
        while (dirent* f = readdir(fds)) {
            if (f->d_name[0] == '.')
                continue;
            struct stat fs {};
            if (stat((fdDir + '/' + f->d_name).constData(), &fs) != 0)
                continue;
            if (fs.st_dev != target.st_dev || fs.st_ino != target.st_ino)
                continue;
            found = Holder::Reader;
            // The descriptor's open mode stands in fdinfo as octal "flags:".
            QFile info(QString::fromLatin1(base + "/fdinfo/" + f->d_name));
            if (info.open(QIODevice::ReadOnly)) {
                for (const QByteArray& line : info.readAll().split('\n'))
                    if (line.startsWith("flags:")) {
                        bool ok = false;
                        const int flags = line.mid(6).trimmed().toInt(&ok, 8);
                        if (ok && (flags & O_ACCMODE) != O_RDONLY) {
                            closedir(fds);
                            closedir(proc);
                            return Holder::Writer;
                        }
                    }
            }
        }
        closedir(fds);
    }
    closedir(proc);
    return found;
}

Holder holderOf(const QString& path) {
    struct stat st {};
    if (stat(QFile::encodeName(path).constData(), &st) != 0)
        return Holder::None;
    return scanHolders(st);
}

} // namespace

namespace Korvexutils {

bool IsFileInUse(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists())
        return false;
    if (QFileInfo::exists(info.dir().filePath(QStringLiteral(".~lock.") + info.fileName() + u'#')))
        return true;
    return holderOf(path) != Holder::None;
}

bool CanFileRead(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    file.close();
    return holderOf(path) != Holder::Writer;
}

void Delay(int ms) {
    QEventLoop loop;
    QTimer::singleShot(qMax(0, ms), &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace Korvexutils

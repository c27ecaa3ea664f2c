#include "UEMailSenden.Archive.h"

#include "UEMailSenden.Files.h"
#include "VoskExceptions.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <archive.h>
#include <archive_entry.h>

#include <memory>

namespace UEMailSenden {

namespace {

struct ArchiveDeleter {
    void operator()(archive* a) const { archive_write_free(a); }
};
struct EntryDeleter {
    void operator()(archive_entry* e) const { archive_entry_free(e); }
};

QString UniqueName(const QString& name, QSet<QString>& taken) {
    QString candidate = name;
    const QFileInfo info(name);
    const QString suffix = info.completeSuffix();
    const QString base = suffix.isEmpty() ? name : name.left(name.size() - suffix.size() - 1);
    for (int n = 2; taken.contains(candidate.toLower()); ++n)
        candidate = suffix.isEmpty() ? QStringLiteral("%1 (%2)").arg(base).arg(n)
                                     : QStringLiteral("%1 (%2).%3").arg(base).arg(n).arg(suffix);
    taken.insert(candidate.toLower());
    return candidate;
}

[[noreturn]] void Fail(const QString& target, const QString& detail) {
    throw EVoskException(
        QStringLiteral("Das Archiv \"%1\" kann nicht geschrieben werden: %2").arg(target, detail));
}

} // namespace

void WriteZipArchive(const QString& target, const QStringList& files) {
    TReplacingFile out(target);
    if (!out.Open())
        Fail(target, out.ErrorString());
    std::unique_ptr<archive, ArchiveDeleter> a(archive_write_new());
    auto check = [&](int rc) {
        if (rc < ARCHIVE_WARN) {
            const QString detail = QString::fromLocal8Bit(archive_error_string(a.get()));
            Fail(target, detail);
        }
    };
    check(archive_write_set_format_zip(a.get()));
    check(archive_write_set_options(a.get(), "zip:compression=deflate,zip:compression-level=6"));
    check(archive_write_open_fd(a.get(), out.Handle()));

    QSet<QString> taken;
    QByteArray buffer(1 << 16, Qt::Uninitialized);
    for (const QString& path : files) {
        QFile in(path);
        const QFileInfo info(path);
        if (!info.isFile() || !in.open(QIODevice::ReadOnly)) {
            Fail(target, QStringLiteral("die Datei \"%1\" kann nicht gelesen werden").arg(path));
        }
        std::unique_ptr<archive_entry, EntryDeleter> entry(archive_entry_new());
        archive_entry_set_pathname_utf8(entry.get(),
                                        UniqueName(info.fileName(), taken).toUtf8().constData());
        archive_entry_set_size(entry.get(), in.size());
        archive_entry_set_filetype(entry.get(), AE_IFREG);
        archive_entry_set_perm(entry.get(), 0644);
        archive_entry_set_mtime(entry.get(), info.lastModified().toSecsSinceEpoch(), 0);
        check(archive_write_header(a.get(), entry.get()));
        for (;;) {
            const qint64 n = in.read(buffer.data(), buffer.size());
            if (n < 0) {
                Fail(target, in.errorString());
            }
            if (n == 0)
                break;
            if (archive_write_data(a.get(), buffer.constData(), size_t(n)) < 0)
                check(ARCHIVE_FATAL);
        }
        check(archive_write_finish_entry(a.get()));
    }
    check(archive_write_close(a.get()));
    a.reset();
    if (!out.Commit())
        Fail(target, out.ErrorString());
}

} // namespace UEMailSenden

#include "Dataclient_files.h"

#include <FaultPoint.h>
#include <UDM1.h>
#include <VoskDatabase.h>
#include <VoskQuery2.h>
#include <VoskTransaction.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>

#include <libpq/libpq-fs.h>
#include <openssl/evp.h>

#include <cerrno>
#include <cstring>
#include <limits>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <sys/stat.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace {

const QString kExists = QStringLiteral("Datei im Dokumentenspeicher existiert bereits: %1");
const QString kWriteFailed = QStringLiteral("Fehler beim Schreiben in den Dokumentenspeicher");

class Digest final {
public:
    explicit Digest(const EVP_MD* md) : m_ctx(EVP_MD_CTX_new()) {
        if (!m_ctx || EVP_DigestInit_ex(m_ctx, md, nullptr) != 1)
            throw EDCFileError(QStringLiteral("Die Prüfsumme %1 ist nicht verfügbar")
                                   .arg(QString::fromLatin1(EVP_MD_get0_name(md))));
    }
    ~Digest() { EVP_MD_CTX_free(m_ctx); }
    Digest(const Digest&) = delete;
    Digest& operator=(const Digest&) = delete;
    void Add(const char* data, qint64 n) { EVP_DigestUpdate(m_ctx, data, size_t(n)); }
    QByteArray HexDigest() {
        unsigned char md[EVP_MAX_MD_SIZE];
        unsigned int len = 0;
        EVP_DigestFinal_ex(m_ctx, md, &len);
        return QByteArray(reinterpret_cast<const char*>(md), int(len)).toHex();
    }

private:
    EVP_MD_CTX* m_ctx;
};

// Both digests of a block: MD5, the slower, on a thread of its own while SHA-256 runs here, when
// the block is large enough to pay for starting one (about what MD5 needs for a few hundred KB).
// A plain thread, started and joined here, so that a race checker sees the hand-over (a pool's
// queue hides it inside the library).
void addBoth(Digest& sha256, Digest& md5, const char* data, qint64 n) {
    constexpr qint64 kParallelFrom = 512 * 1024;
    std::thread worker;
    if (n >= kParallelFrom) {
        try {
            worker = std::thread([&md5, data, n] { md5.Add(data, n); });
        } catch (const std::system_error&) {
            // No thread to be had: both here.
        }
    }
    sha256.Add(data, n);
    if (worker.joinable())
        worker.join();
    else
        md5.Add(data, n);
}

[[noreturn]] void throwServer(PGconn* conn, const QString& what, const QString& name) {
    const QString server = QString::fromUtf8(PQerrorMessage(conn)).trimmed();
    throw EVoskDatabaseError(QStringLiteral("%1: %2").arg(what, name), server);
}

// A large object opened on the connection, closed when dropped (a dead connection closes it).
class LargeObject final {
public:
    LargeObject(TVoskDatabase& db, Oid oid, int mode) : m_db(db) {
        m_db.CountRoundTrip();
        m_fd = lo_open(db.Handle(), oid, mode);
    }
    ~LargeObject() {
        if (m_fd >= 0 && m_db.Connected() && PQstatus(m_db.Handle()) == CONNECTION_OK &&
            PQtransactionStatus(m_db.Handle()) == PQTRANS_INTRANS) {
            m_db.CountRoundTrip();
            lo_close(m_db.Handle(), m_fd);
        }
    }
    LargeObject(const LargeObject&) = delete;
    LargeObject& operator=(const LargeObject&) = delete;
    bool Opened() const { return m_fd >= 0; }
    int Fd() const { return m_fd; }

private:
    TVoskDatabase& m_db;
    int m_fd = -1;
};

TDCStoredFile storedFrom(const TVoskQuery2& q) {
    TDCStoredFile f;
    f.name = q.Fields(0).AsString();
    f.oid = unsigned(q.Fields(1).AsLargeInt());
    f.sha256 = q.Fields(2).AsString().toLatin1();
    f.size = q.Fields(3).AsLargeInt();
    f.createdBy = q.Fields(4).AsString();
    f.createdAt = q.Fields(5).AsDateTime();
    return f;
}

const QString kSelectFile = QStringLiteral(
    "SELECT name, oid, sha256, size, created_by, created_at FROM dms_file WHERE name = :name");

} // namespace

EDCFileError EDCFileError::Missing(const QString& name) {
    return EDCFileError(QStringLiteral("Datei im Dokumentenspeicher fehlt: %1").arg(name));
}

TDCFileMethods::TDCFileMethods(TVoskDatabase* db) : m_db(db) {}

TVoskDatabase& TDCFileMethods::Database() const {
    if (m_db)
        return *m_db;
    TDM1* dm = DM1();
    if (!dm || !dm->Connected())
        throw EDCFileError(QStringLiteral("Keine Verbindung zum Dokumentenspeicher"));
    return dm->Database();
}

bool TDCFileMethods::IsValidRemoteName(const QString& name) {
    if (name.isEmpty() || name.startsWith(u'/'))
        return false;
    for (const QChar c : name)
        if (c == u'\\' || c.unicode() < 0x20 || c.unicode() == 0x7f ||
            (c.unicode() >= 0x80 && c.unicode() < 0xa0))
            return false;
    for (const QStringView segment : QStringView(name).split(u'/'))
        if (segment.isEmpty() || segment == u"." || segment == u"..")
            return false;
    return true;
}

void TDCFileMethods::CheckRemoteName(const QString& name) {
    if (!IsValidRemoteName(name)) {
        // Control characters would garble the message; they are shown as '?'.
        QString shown = name;
        for (QChar& c : shown)
            if (c.unicode() < 0x20 || c.unicode() == 0x7f)
                c = u'?';
        throw EDCFileError(QStringLiteral("Ungültiger Dateiname im Dokumentenspeicher: %1")
                               .arg(shown.isEmpty() ? QStringLiteral("(leer)") : shown));
    }
}

void TDCFileMethods::RunInTransaction(const std::function<void()>& work) {
    TVoskTransaction tx(Database());
    work();
    tx.Commit();
}

std::optional<TDCStoredFile> TDCFileMethods::FileInfo(const QString& name) {
    CheckRemoteName(name);
    TVoskQuery2 q(&Database(), kSelectFile);
    q.Bind(QStringLiteral("name"), name).Open();
    if (q.IsEmpty())
        return std::nullopt;
    return storedFrom(q);
}

bool TDCFileMethods::FileExists(const QString& name) { return FileInfo(name).has_value(); }

TDCStoredFile TDCFileMethods::WriteFile(QIODevice& source, const QString& name) {
    CheckRemoteName(name);
    return writeUnit(source, name, nullptr);
}

void TDCFileMethods::WriteFile(QIODevice& source, const QString& name, TVoskQuery2& rows) {
    CheckRemoteName(name);
    writeUnit(source, name, &rows);
}

TDCStoredFile TDCFileMethods::WriteFile(QIODevice& source, const QString& name,
                                        const TVoskTransaction& within) {
    CheckRemoteName(name);
    if (!within.Open() || &within.Database() != &Database())
        throw EDCFileError(
            QStringLiteral("Keine offene Transaktion für den Dokumentenspeicher: %1").arg(name));
    return writeFile(source, name, nullptr);
}

TDCStoredFile TDCFileMethods::writeUnit(QIODevice& source, const QString& name,
                                        TVoskQuery2* rows) {
    TVoskDatabase& db = Database();
    if (!db.InTransaction())
        return writeFile(source, name, rows);
    TVoskTransaction step(db);
    TDCStoredFile stored = writeFile(source, name, rows);
    step.Commit();
    return stored;
}

TDCStoredFile TDCFileMethods::writeFile(QIODevice& source, const QString& name,
                                        TVoskQuery2* rows) {
    TVoskDatabase& db = Database();
    TDCStoredFile stored;
    Digest hash(EVP_sha256()), md5(EVP_md5());
    const qint64 begin = source.isSequential() ? -1 : source.pos();
    QByteArray buffer(int(ChunkSize), Qt::Uninitialized);
    const auto readChunk = [&] {
        qint64 filled = 0;
        while (filled < ChunkSize) {
            const qint64 n = source.read(buffer.data() + filled, ChunkSize - filled);
            if (n < 0)
                throw EDCFileError(
                    QStringLiteral("Die Quelldatei kann nicht gelesen werden: %1 (%2)")
                        .arg(name, source.errorString()));
            if (n == 0)
                break;
            filled += n;
        }
        addBoth(hash, md5, buffer.constData(), filled);
        return filled;
    };
    // The file row, its page index when known, and the caller's rows: one statement.
    const auto insertRows = [&](const QString& oidValue, const char* key, const QVariant& value,
                                qint64 size, const std::optional<QString>& pages) {
        Rtl::FaultPoint("TDCFileMethods.WriteFile.row");
        stored.name = name;
        stored.sha256 = hash.HexDigest();
        stored.md5 = md5.HexDigest();
        stored.size = size;
        QString sql = QStringLiteral(
                          "WITH dms_stored AS (INSERT INTO dms_file (name, oid, sha256, size) "
                          "VALUES (:dms_name, %1, :dms_sha, :dms_size) RETURNING name, oid, "
                          "sha256, size, created_by, created_at, CAST(:dms_md5 AS text) AS md5)")
                          .arg(oidValue);
        if (pages)
            sql += QStringLiteral(", dms_pages AS (INSERT INTO dms_file_pages (name, dir_offsets) "
                                  "SELECT name, CAST(:dms_pages AS bigint[]) FROM dms_stored)");
        TVoskQuery2 own(&db);
        TVoskQuery2& q = rows ? *rows : own;
        q.SetSQL(sql + u' ' +
                 (rows ? rows->SQL()
                       : QStringLiteral("SELECT name, oid, sha256, size, created_by, created_at "
                                        "FROM dms_stored")));
        // Written once per file of an import: parsed and planned once per connection.
        q.SetPrepared(true);
        q.Bind(QStringLiteral("dms_name"), name)
            .Bind(QLatin1String(key), value)
            .Bind(QStringLiteral("dms_sha"), QString::fromLatin1(stored.sha256))
            .Bind(QStringLiteral("dms_size"), size)
            .Bind(QStringLiteral("dms_md5"), QString::fromLatin1(stored.md5));
        if (pages)
            q.Bind(QStringLiteral("dms_pages"), *pages);
        try {
            q.Open();
        } catch (const EVoskDatabaseError& e) {
            if (e.SqlState() == QLatin1String("23505") &&
                e.Diagnostics().table == QLatin1String("dms_file"))
                throw EDCFileError(kExists.arg(name));
            throw;
        }
        if (!rows) {
            const QByteArray md5Hex = stored.md5;
            stored = storedFrom(q);
            stored.md5 = md5Hex;
        }
    };
    const qint64 first = readChunk();
    if (first < ChunkSize) {
        // The whole file is at hand: object and rows in one statement, which is a transaction
        // of its own when no other is open; the key refuses a taken name.
        if (first > 0)
            Rtl::FaultPoint("TDCFileMethods.WriteFile.chunk");
        insertRows(QStringLiteral("lo_from_bytea(0, :dms_data)"), "dms_data",
                   QByteArray(buffer.constData(), first), first,
                   pagesLiteral(buffer.constData(), first));
        return stored;
    }
    // Large objects are written through descriptors that live in a transaction.
    std::optional<TVoskTransaction> own;
    if (!db.InTransaction())
        own.emplace(db);
    // Asked first so that a taken name costs no upload; the key catches a race.
    if (FileExists(name))
        throw EDCFileError(kExists.arg(name));
    PGconn* conn = db.Handle();
    qint64 size = 0;
    db.CountRoundTrip();
    const Oid oid = lo_create(conn, InvalidOid);
    if (oid == InvalidOid)
        throwServer(conn, kWriteFailed, name);
    {
        LargeObject lo(db, oid, INV_WRITE);
        if (!lo.Opened())
            throwServer(conn, kWriteFailed, name);
        for (qint64 n = first; n > 0; n = readChunk()) {
            db.CountRoundTrip();
            if (lo_write(conn, lo.Fd(), buffer.constData(), size_t(n)) != int(n))
                throwServer(conn, kWriteFailed, name);
            size += n;
            Rtl::FaultPoint("TDCFileMethods.WriteFile.chunk");
        }
    }
    insertRows(QStringLiteral(":dms_oid"), "dms_oid", qint64(oid), size, std::nullopt);
    recordPages(source, begin, name, oid);
    if (own)
        own->Commit();
    return stored;
}

TDCStoredFile TDCFileMethods::WriteFile(const QString& localFile, const QString& name) {
    CheckRemoteName(name);
    QFile file(localFile);
    if (!file.open(QIODevice::ReadOnly))
        throw EDCFileError(QStringLiteral("Die Datei \"%1\" kann nicht gelesen werden: %2")
                               .arg(localFile, file.errorString()));
    return WriteFile(file, name);
}

void TDCFileMethods::ReadFile(const QString& name, QIODevice& target) {
    CheckRemoteName(name);
    TVoskDatabase& db = Database();
    RunInTransaction([&] {
        const TDCStoredFile stored = storedObject(name);
        PGconn* conn = db.Handle();
        LargeObject lo(db, stored.oid, INV_READ);
        if (!lo.Opened())
            throwServer(conn, QStringLiteral("Fehler beim Lesen aus dem Dokumentenspeicher"),
                        name);
        Digest hash(EVP_sha256());
        qint64 size = 0;
        QByteArray buffer(int(ChunkSize), Qt::Uninitialized);
        for (;;) {
            db.CountRoundTrip();
            const int n = lo_read(conn, lo.Fd(), buffer.data(), size_t(ChunkSize));
            if (n < 0)
                throwServer(conn, QStringLiteral("Fehler beim Lesen aus dem Dokumentenspeicher"),
                            name);
            if (n == 0)
                break;
            hash.Add(buffer.constData(), n);
            if (target.write(buffer.constData(), n) != n)
                throw EDCFileError(QStringLiteral("Die Datei kann nicht geschrieben werden: %1 (%2)")
                                       .arg(name, target.errorString()));
            size += n;
        }
        if (size != stored.size || hash.HexDigest() != stored.sha256)
            throw EDCFileError(
                QStringLiteral("Datei im Dokumentenspeicher ist beschädigt: %1").arg(name));
    });
}

QByteArray TDCFileMethods::readWhole(const QString& name, unsigned int oid, qint64 size,
                                     const QByteArray& sha256) {
    // Straight into a buffer of the recorded size, hashed as each chunk arrives: one pass over
    // the bytes, no buffer grown and copied on the way (a result of one lo_get of the whole file
    // would be grown in libpq, copied into its result and copied again here).
    constexpr qint64 kReadChunk = 8 << 20;
    const auto damaged = [&] {
        return EDCFileError(QStringLiteral("Datei im Dokumentenspeicher ist beschädigt: %1").arg(name));
    };
    if (size < 0 || size > qint64(std::numeric_limits<qsizetype>::max() / 2))
        throw damaged();
    QByteArray bytes(qsizetype(size), Qt::Uninitialized);
    TVoskDatabase& db = Database();
    RunInTransaction([&] {
        PGconn* conn = db.Handle();
        LargeObject lo(db, Oid(oid), INV_READ);
        if (!lo.Opened())
            throwServer(conn, QStringLiteral("Fehler beim Lesen aus dem Dokumentenspeicher"), name);
        Digest hash(EVP_sha256());
        qint64 got = 0;
        for (;;) {
            // One byte beyond the recorded size is asked for too: an object longer than its
            // record is damaged as well.
            const qint64 want = got < size ? std::min(kReadChunk, size - got) : 1;
            char spare = 0;
            char* into = got < size ? bytes.data() + got : &spare;
            db.CountRoundTrip();
            const int n = lo_read(conn, lo.Fd(), into, size_t(want));
            if (n < 0)
                throwServer(conn, QStringLiteral("Fehler beim Lesen aus dem Dokumentenspeicher"), name);
            if (n == 0)
                break;
            if (got >= size)
                throw damaged();
            hash.Add(into, n);
            got += n;
        }
        if (got != size || hash.HexDigest() != sha256)
            throw damaged();
    });
    return bytes;
}

QString TDCFileMethods::ReadFile(const QString& name, const QString& localFile) {
    CheckRemoteName(name);
    const QFileInfo info(localFile);
    const QString folder = info.absolutePath();
    if (!QDir().mkpath(folder))
        throw EDCFileError(
            QStringLiteral("Der Ordner \"%1\" kann nicht angelegt werden").arg(folder));
    // Short: a target name near the file system's limit leaves no room for a longer one.
    QByteArray tmpl = QFile::encodeName(folder + QStringLiteral("/.korvex-XXXXXX"));
    const int fd = mkstemp(tmpl.data());
    if (fd < 0)
        throw EDCFileError(QStringLiteral("Die Datei \"%1\" kann nicht angelegt werden: %2")
                               .arg(localFile, QString::fromLocal8Bit(std::strerror(errno))));
    bool done = false;
    auto cleanup = qScopeGuard([&] {
        if (!done)
            ::unlink(tmpl.constData());
    });
    // mkstemp makes the file private; a fetched copy gets the permissions any new file gets.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    {
        QFile out;
        if (!out.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle))
            throw EDCFileError(
                QStringLiteral("Die Datei \"%1\" kann nicht geschrieben werden").arg(localFile));
        ReadFile(name, out);
        if (!out.flush() || ::fsync(fd) != 0)
            throw EDCFileError(QStringLiteral("Die Datei \"%1\" kann nicht geschrieben werden: %2")
                                   .arg(localFile, QString::fromLocal8Bit(std::strerror(errno))));
    }
    if (::rename(tmpl.constData(), QFile::encodeName(info.absoluteFilePath()).constData()) != 0)
        throw EDCFileError(QStringLiteral("Die Datei \"%1\" kann nicht ersetzt werden: %2")
                               .arg(localFile, QString::fromLocal8Bit(std::strerror(errno))));
    done = true;
    if (const int dir = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY);
        dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return info.absoluteFilePath();
}

void TDCFileMethods::MoveFile(const QString& from, const QString& to) {
    CheckRemoteName(from);
    CheckRemoteName(to);
    if (from == to)
        return;
    RunInTransaction([&] {
        if (FileExists(to))
            throw EDCFileError(
                kExists.arg(to));
        TVoskQuery2 q(&Database(),
                      QStringLiteral("UPDATE dms_file SET name = :to WHERE name = :from"));
        q.Bind(QStringLiteral("to"), to).Bind(QStringLiteral("from"), from);
        int moved = 0;
        try {
            moved = q.ExecSQL();
        } catch (const EVoskDatabaseError& e) {
            if (e.SqlState() == QLatin1String("23505"))
                throw EDCFileError(
                    kExists.arg(to));
            throw;
        }
        if (moved == 0)
            throw EDCFileError::Missing(from);
    });
}

void TDCFileMethods::DeleteFile(const QString& name) {
    CheckRemoteName(name);
    try {
        RunInTransaction([&] {
            TVoskQuery2 q(&Database(), QStringLiteral("DELETE FROM dms_file WHERE name = :name"));
            q.Bind(QStringLiteral("name"), name).ExecSQL();
        });
    } catch (const EVoskDatabaseError& e) {
        // The rows that name a file are checked at the commit.
        if (e.SqlState() == QLatin1String("23503"))
            throw EDCFileError(
                QStringLiteral("Datei im Dokumentenspeicher wird noch verwendet: %1").arg(name));
        throw;
    }
}

TDCFileMethods& DCFileMethods() {
    static TDCFileMethods methods;
    return methods;
}

// Pages of stored TIFF files: the page index written with the file, one page read at its
// recorded directory offset, and the annotation data per page.
#include "Dataclient_files.h"

#include <PageCodec.h>
#include <UDM1.h>
#include <VoskDatabase.h>
#include <VoskQuery2.h>

#include <QBuffer>
#include <QIODevice>
#include <QScopeGuard>
#include <QtEndian>

#include <libpq-fe.h>
#include <openssl/evp.h>

#include <algorithm>
#include <cstring>

namespace {

bool isTiffHeader(const char* h, qint64 n) {
    return n >= 4 && ((h[0] == 'I' && h[1] == 'I' && (h[2] == 42 || h[2] == 43) && h[3] == 0) ||
                      (h[0] == 'M' && h[1] == 'M' && h[2] == 0 && (h[3] == 42 || h[3] == 43)));
}

// A seekable source device read from position begin, as the codec reads its input.
class DeviceInput final : public Imaging::TTiffInput {
public:
    DeviceInput(QIODevice& device, qint64 begin, qint64 size)
        : m_device(device), m_begin(begin), m_size(size) {}
    quint64 Size() override { return quint64(m_size); }
    qint64 ReadAt(quint64 pos, char* dst, qint64 len) override {
        if (qint64(pos) >= m_size || !m_device.seek(m_begin + qint64(pos)))
            return 0;
        return qMax<qint64>(0, m_device.read(dst, qMin(len, m_size - qint64(pos))));
    }

private:
    QIODevice& m_device;
    qint64 m_begin, m_size;
};

// A stored large object read in blocks, each one lo_get: the few places a page needs (header,
// directory, data) cost a round trip each, with no transaction or descriptor to keep.
class LargeObjectInput final : public Imaging::TTiffInput {
public:
    static constexpr qint64 kBlock = 64 * 1024;

    LargeObjectInput(TVoskDatabase& db, unsigned int oid, qint64 size, const QString& name)
        : m_db(db), m_oid(QByteArray::number(oid)), m_size(size), m_name(name) {}
    quint64 Size() override { return quint64(m_size); }
    qint64 ReadAt(quint64 pos, char* dst, qint64 len) override {
        qint64 done = 0;
        while (done < len && qint64(pos) + done < m_size) {
            const qint64 at = qint64(pos) + done;
            const qint64 block = at / kBlock;
            if (block != m_blockNr)
                load(block);
            const qint64 offset = at - block * kBlock;
            const qint64 n = qMin<qint64>(len - done, m_block.size() - offset);
            if (n <= 0)
                break;
            std::memcpy(dst + done, m_block.constData() + offset, size_t(n));
            done += n;
        }
        return done;
    }

private:
    void load(qint64 block) {
        const QByteArray offset = QByteArray::number(block * kBlock);
        const QByteArray length = QByteArray::number(kBlock);
        const char* values[] = {m_oid.constData(), offset.constData(), length.constData()};
        m_db.CountRoundTrip();
        PGresult* r = PQexecParams(m_db.Handle(), "SELECT lo_get($1::oid, $2::bigint, $3::integer)", 3,
                                   nullptr, values, nullptr, nullptr, 1);
        const bool ok = PQresultStatus(r) == PGRES_TUPLES_OK && PQntuples(r) == 1;
        if (ok)
            m_block = QByteArray(PQgetvalue(r, 0, 0), PQgetlength(r, 0, 0));
        PQclear(r);
        if (!ok)
            throw EDCFileError(QStringLiteral("Fehler beim Lesen aus dem Dokumentenspeicher: %1").arg(m_name));
        m_blockNr = block;
    }

    TVoskDatabase& m_db;
    QByteArray m_oid;
    qint64 m_size;
    QString m_name;
    QByteArray m_block;
    qint64 m_blockNr = -1;
};

// A stored file as a random-access device over the block reader.
class LargeObjectDevice final : public QIODevice {
public:
    LargeObjectDevice(TVoskDatabase& db, unsigned int oid, qint64 size, const QString& name)
        : m_input(db, oid, size, name), m_size(size) {
        open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    }
    bool isSequential() const override { return false; }
    qint64 size() const override { return m_size; }
    bool seek(qint64 to) override {
        if (!QIODevice::seek(to))
            return false;
        m_at = to;
        return true;
    }

protected:
    qint64 readData(char* data, qint64 len) override {
        try {
            const qint64 n = m_input.ReadAt(quint64(m_at), data, len);
            m_at += n;
            return n;
        } catch (const EVoskException& e) {
            setErrorString(e.Message());
            return -1;
        }
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    LargeObjectInput m_input;
    qint64 m_size;
    qint64 m_at = 0;
};

QString offsetsLiteral(const QList<quint64>& offsets) {
    QString text = QStringLiteral("{");
    for (qsizetype i = 0; i < offsets.size(); ++i) {
        if (i)
            text += u',';
        text += QString::number(offsets[i]);
    }
    return text + u'}';
}

QList<quint64> offsetsFromLiteral(std::string_view raw) {
    QList<quint64> offsets;
    const QByteArray text = QByteArray(raw.data(), qsizetype(raw.size()));
    const QByteArray inner = text.mid(1, text.size() - 2);
    if (inner.isEmpty())
        return offsets;
    for (const QByteArray& part : inner.split(','))
        offsets << part.toULongLong();
    return offsets;
}

QByteArray byteaFromText(std::string_view raw) {
    // The server sends bytea as "\x" and hex digits.
    if (raw.size() >= 2 && raw[0] == '\\' && raw[1] == 'x')
        return QByteArray::fromHex(QByteArray(raw.data() + 2, qsizetype(raw.size() - 2)));
    return QByteArray(raw.data(), qsizetype(raw.size()));
}

void checkPage(int page, const QString& name) {
    if (page < 0)
        throw EDCFileError(QStringLiteral("Ungültige Seite %1 im Dokumentenspeicher: %2").arg(page).arg(name));
}

} // namespace

std::optional<QString> TDCFileMethods::pagesLiteral(const char* data, qint64 size) {
    if (!isTiffHeader(data, size))
        return std::nullopt;
    QByteArray bytes = QByteArray::fromRawData(data, qsizetype(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    DeviceInput input(buffer, 0, size);
    try {
        return offsetsLiteral(Imaging::TiffPageOffsets(input));
    } catch (const Imaging::ETiffError&) {
        return std::nullopt; // as recordPages: stored as it came, without an index
    }
}

void TDCFileMethods::recordPages(QIODevice& source, qint64 begin, const QString& name,
                                 unsigned int oid) {
    TVoskDatabase& db = Database();
    QList<quint64> offsets;
    try {
        if (begin >= 0) {
            const qint64 size = source.size() - begin;
            char head[4] = {};
            if (!source.seek(begin) || source.read(head, 4) != 4 || !isTiffHeader(head, 4))
                return;
            DeviceInput input(source, begin, size);
            offsets = Imaging::TiffPageOffsets(input);
        } else {
            const std::optional<TDCStoredFile> stored = FileInfo(name);
            if (!stored)
                return;
            LargeObjectInput input(db, oid, stored->size, name);
            char head[4] = {};
            if (input.ReadAt(0, head, 4) != 4 || !isTiffHeader(head, 4))
                return;
            offsets = Imaging::TiffPageOffsets(input);
        }
    } catch (const Imaging::ETiffError&) {
        // A TIFF whose structure is broken is still stored as it came; its pages cannot be read
        // one by one, which the reader finds out itself.
        return;
    }
    TVoskQuery2 q(&db, QStringLiteral("INSERT INTO dms_file_pages (name, dir_offsets) VALUES "
                                      "(:name, CAST(:offsets AS bigint[]))"));
    q.Bind(QStringLiteral("name"), name).Bind(QStringLiteral("offsets"), offsetsLiteral(offsets));
    q.ExecSQL();
}

QList<quint64> TDCFileMethods::pageOffsets(const QString& name, bool rebuild) {
    TVoskDatabase& db = Database();
    if (!rebuild) {
        TVoskQuery2 q(&db, QStringLiteral("SELECT dir_offsets FROM dms_file_pages WHERE name = :name"));
        q.Bind(QStringLiteral("name"), name).Open();
        if (!q.IsEmpty())
            return offsetsFromLiteral(q.Fields(0).Raw());
    }
    // Not recorded (a file stored by other means) or found wrong: read from the file once.
    QList<quint64> offsets;
    RunInTransaction([&] {
        const std::optional<TDCStoredFile> stored = FileInfo(name);
        if (!stored)
            throw EDCFileError::Missing(name);
        LargeObjectInput input(db, stored->oid, stored->size, name);
        char head[4] = {};
        if (input.ReadAt(0, head, 4) != 4 || !isTiffHeader(head, 4))
            return; // not a TIFF: no pages
        try {
            offsets = Imaging::TiffPageOffsets(input);
        } catch (const Imaging::ETiffError& e) {
            throw EDCFileError(QStringLiteral("TIFF-Datei im Dokumentenspeicher ist beschädigt: %1 (%2)")
                                   .arg(name, e.Message()));
        }
        TVoskQuery2 q(&db, QStringLiteral(
                               "INSERT INTO dms_file_pages (name, dir_offsets) VALUES "
                               "(:name, CAST(:offsets AS bigint[])) ON CONFLICT (name) DO UPDATE "
                               "SET dir_offsets = EXCLUDED.dir_offsets"));
        q.Bind(QStringLiteral("name"), name).Bind(QStringLiteral("offsets"), offsetsLiteral(offsets));
        q.ExecSQL();
    });
    return offsets;
}

int TDCFileMethods::GetImageCount(const QString& name) {
    CheckRemoteName(name);
    return int(pageOffsets(name, false).size());
}

QByteArray TDCFileMethods::ReadImage(const QString& name, int page) {
    CheckRemoteName(name);
    checkPage(page, name);
    TVoskDatabase& db = Database();
    // The page's directory and the file in one query; a page the index does not know, or an
    // offset that holds no directory, has the index rebuilt once from the file.
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (attempt > 0)
            pageOffsets(name, true);
        TVoskQuery2 q(&db, QStringLiteral(
                               "SELECT f.oid, f.size, p.dir_offsets[:page + 1], "
                               "coalesce(array_length(p.dir_offsets, 1), 0) FROM dms_file f LEFT JOIN "
                               "dms_file_pages p ON p.name = f.name WHERE f.name = :name"));
        q.Bind(QStringLiteral("name"), name).Bind(QStringLiteral("page"), page).Open();
        if (q.IsEmpty())
            throw EDCFileError::Missing(name);
        if (page >= q.Fields(3).AsInteger() || q.Fields(2).IsNull()) {
            if (attempt == 0)
                continue;
            throw EDCFileError(QStringLiteral("Seite %1 nicht vorhanden im Dokumentenspeicher: %2")
                                   .arg(page + 1)
                                   .arg(name));
        }
        try {
            LargeObjectInput input(db, unsigned(q.Fields(0).AsLargeInt()), q.Fields(1).AsLargeInt(), name);
            Imaging::TTiffReader reader(input);
            reader.OpenAt(quint64(q.Fields(2).AsLargeInt()));
            if (reader.CanCopyRaw())
                return reader.ExtractPage();
            // Old-style JPEG cannot be copied as it is: the page is stored anew as JPEG, as
            // the viewer does with the pages of a file it reads whole.
            Imaging::TIOParams params = reader.Params();
            params.TIFF_Compression = Imaging::ioTIFF_JPEG;
            Imaging::TTiffWriter writer;
            writer.WritePage(reader.Decode(), params);
            return writer.Finish();
        } catch (const Imaging::ETiffError& e) {
            if (attempt > 0)
                throw EDCFileError(QStringLiteral("Seite %1 im Dokumentenspeicher nicht lesbar: %2 (%3)")
                                       .arg(page + 1)
                                       .arg(name, e.Message()));
        }
    }
    return {};
}

// The whole file in one round trip: its record, whether its large object is there (a missing one
// would fail lo_get with nothing a user could act on) and its bytes, checked as a chunked read is.
QByteArray TDCFileMethods::ReadFile(const QString& name) {
    std::optional<QByteArray> bytes = ReadFileIfStored(name);
    if (!bytes)
        throw EDCFileError::Missing(name);
    return std::move(*bytes);
}

std::optional<QByteArray> TDCFileMethods::ReadFileIfStored(const QString& name) {
    CheckRemoteName(name);
    TVoskDatabase& db = Database();
    const QByteArray key = name.toUtf8();
    const QByteArray limit = QByteArray::number(OneResultSize);
    const char* values[] = {key.constData(), limit.constData()};
    db.CountRoundTrip();
    // A larger file comes without its bytes here: they are read in chunks below.
    PGresult* r = PQexecParams(
        db.Handle(),
        "SELECT f.size, f.sha256, CASE WHEN EXISTS(SELECT 1 FROM pg_largeobject_metadata m "
        "WHERE m.oid = f.oid) THEN CASE WHEN f.size <= $2::bigint THEN lo_get(f.oid) ELSE "
        "''::bytea END END, f.oid FROM dms_file f WHERE f.name = $1",
        2, nullptr, values, nullptr, nullptr, 1);
    const auto clear = qScopeGuard([r] { PQclear(r); });
    if (PQresultStatus(r) != PGRES_TUPLES_OK)
        throw EVoskDatabaseError(
            QStringLiteral("Fehler beim Lesen aus dem Dokumentenspeicher: %1").arg(name),
            QString::fromUtf8(PQerrorMessage(db.Handle())).trimmed());
    if (PQntuples(r) != 1)
        return std::nullopt;
    if (PQgetisnull(r, 0, 2))
        throw EDCFileError::Missing(name);
    // Binary results: size is a big-endian int8, sha256 the text's bytes.
    const qint64 size = qFromBigEndian<qint64>(PQgetvalue(r, 0, 0));
    const QByteArray sha256(PQgetvalue(r, 0, 1), PQgetlength(r, 0, 1));
    if (size > OneResultSize)
        return readWhole(name, qFromBigEndian<quint32>(PQgetvalue(r, 0, 3)), size, sha256);
    QByteArray bytes(PQgetvalue(r, 0, 2), PQgetlength(r, 0, 2));
    unsigned char md[EVP_MAX_MD_SIZE];
    unsigned int mdLength = 0;
    if (EVP_Digest(bytes.constData(), size_t(bytes.size()), md, &mdLength, EVP_sha256(), nullptr) != 1)
        throw EDCFileError(QStringLiteral("Die Prüfsumme SHA256 ist nicht verfügbar"));
    const QByteArray digest = QByteArray(reinterpret_cast<const char*>(md), int(mdLength)).toHex();
    if (bytes.size() != size || digest != sha256)
        throw EDCFileError(QStringLiteral("Datei im Dokumentenspeicher ist beschädigt: %1").arg(name));
    return bytes;
}

// The stored file whose large object is there; a probe first, as opening a missing object
// would fail the whole transaction and lo_get says nothing a user could act on.
TDCStoredFile TDCFileMethods::storedObject(const QString& name) {
    CheckRemoteName(name);
    const std::optional<TDCStoredFile> stored = FileInfo(name);
    if (!stored)
        throw EDCFileError::Missing(name);
    TVoskQuery2 exists(&Database(), QStringLiteral("SELECT EXISTS(SELECT 1 FROM "
                                                   "pg_largeobject_metadata WHERE oid = :oid)"));
    exists.Bind(QStringLiteral("oid"), qint64(stored->oid)).Open();
    if (!exists.Fields(0).AsBoolean())
        throw EDCFileError::Missing(name);
    return *stored;
}

std::unique_ptr<QIODevice> TDCFileMethods::OpenRead(const QString& name) {
    const TDCStoredFile stored = storedObject(name);
    return std::make_unique<LargeObjectDevice>(Database(), stored.oid, stored.size, name);
}

QByteArray TDCFileMethods::ReadAnnotation(const QString& name, int page) {
    CheckRemoteName(name);
    checkPage(page, name);
    TVoskQuery2 q(&Database(),
                  QStringLiteral("SELECT data FROM dms_annotation WHERE name = :name AND page = :page"));
    q.Bind(QStringLiteral("name"), name).Bind(QStringLiteral("page"), page).Open();
    if (q.IsEmpty())
        return {};
    return byteaFromText(q.Fields(0).Raw());
}

QList<QByteArray> TDCFileMethods::ReadAnnotations(const QString& name, int count) {
    CheckRemoteName(name);
    QList<QByteArray> annotations(std::max(0, count));
    TVoskQuery2 q(&Database(), QStringLiteral("SELECT page, data FROM dms_annotation WHERE name = "
                                              ":name AND page >= 0 AND page < :count"));
    q.Bind(QStringLiteral("name"), name).Bind(QStringLiteral("count"), count).Open();
    for (; !q.Eof(); q.Next())
        annotations[q.Fields(0).AsInteger()] = byteaFromText(q.Fields(1).Raw());
    return annotations;
}

void TDCFileMethods::WriteAnnotation(const QByteArray* data, const QString& name, int page) {
    CheckRemoteName(name);
    checkPage(page, name);
    RunInTransaction([&] {
        if (!data || data->isEmpty()) {
            TVoskQuery2 q(&Database(),
                          QStringLiteral("DELETE FROM dms_annotation WHERE name = :name AND page = :page"));
            q.Bind(QStringLiteral("name"), name).Bind(QStringLiteral("page"), page).ExecSQL();
            return;
        }
        if (!FileExists(name))
            throw EDCFileError::Missing(name);
        TVoskQuery2 q(&Database(),
                      QStringLiteral("INSERT INTO dms_annotation (name, page, data) VALUES "
                                     "(:name, :page, :data) ON CONFLICT (name, page) DO UPDATE SET "
                                     "data = EXCLUDED.data, changed_by = DEFAULT, changed_at = now()"));
        q.Bind(QStringLiteral("name"), name)
            .Bind(QStringLiteral("page"), page)
            .Bind(QStringLiteral("data"), *data);
        q.ExecSQL();
    });
}

void TDCFileMethods::CopyAnnotations(const QString& from, const QString& to) {
    CheckRemoteName(from);
    CheckRemoteName(to);
    if (from == to)
        return;
    TVoskQuery2 q(&Database(),
                  QStringLiteral("INSERT INTO dms_annotation (name, page, data) SELECT :to, page, "
                                 "data FROM dms_annotation WHERE name = :from ON CONFLICT (name, "
                                 "page) DO UPDATE SET data = EXCLUDED.data"));
    q.Bind(QStringLiteral("to"), to).Bind(QStringLiteral("from"), from).ExecSQL();
}

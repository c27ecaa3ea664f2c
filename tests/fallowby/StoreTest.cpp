// The document store against the private cluster: what is written is read back byte for byte by
// another client and by the server itself, names that leave the store are refused, and a write
// that fails anywhere (a refused name, a fault, a killed connection) leaves nothing behind.

#include <Dataclient_files.h>
#include <FaultPoint.h>
#include <TestDatabase.h>
#include <VoskDatabase.h>
#include <VoskQuery2.h>
#include <VoskTransaction.h>

#include <gtest/gtest.h>

#include <QBuffer>
#include <QCryptographicHash>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <functional>
#include <stdexcept>

using testsupport::TestDatabase;

namespace {

// Pseudo-random bytes of a given length, made while read: a large source without a large buffer.
class GeneratedSource final : public QIODevice {
public:
    // piece > 0 hands out at most that many bytes per read, as a pipe or socket may.
    GeneratedSource(qint64 size, quint64 seed, qint64 piece = 0)
        : m_size(size), m_piece(piece), m_state(seed | 1) {
        open(QIODevice::ReadOnly);
    }
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override { return m_size - m_pos + QIODevice::bytesAvailable(); }

protected:
    qint64 readData(char* data, qint64 max) override {
        const qint64 n = std::min({max, m_size - m_pos, m_piece > 0 ? m_piece : max});
        for (qint64 i = 0; i < n; ++i) {
            m_state ^= m_state << 13;
            m_state ^= m_state >> 7;
            m_state ^= m_state << 17;
            data[i] = char(m_state >> 24);
        }
        m_pos += n;
        return n;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    qint64 m_size;
    qint64 m_piece;
    qint64 m_pos = 0;
    quint64 m_state;
};

QByteArray sha256Of(QIODevice& d) {
    QCryptographicHash h(QCryptographicHash::Sha256);
    h.addData(&d);
    return h.result().toHex();
}

qint64 peakRssKb() {
    QFile status(QStringLiteral("/proc/self/status"));
    status.open(QIODevice::ReadOnly);
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    return -1;
}

void resetPeakRss() {
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

QString messageOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const EVoskException& e) {
        return e.Message();
    }
    ADD_FAILURE() << "no EVoskException";
    return {};
}

class StoreTest : public testsupport::DbTest {
protected:
    void SetUp() override {
        TestDatabase::Exec(QStringLiteral("DELETE FROM picndoku; DELETE FROM dms_file; "
                                          "SELECT lo_unlink(oid) FROM pg_largeobject_metadata"));
        m_db.Connect();
    }
    void TearDown() override { Rtl::FaultHook.Reset(); }

    static int count(const QString& sql) { return TestDatabase::Scalar(sql).toInt(); }
    static int files() { return count(QStringLiteral("SELECT count(*) FROM dms_file")); }
    static int objects() {
        return count(QStringLiteral("SELECT count(*) FROM pg_largeobject_metadata"));
    }
    TDCStoredFile write(const QByteArray& bytes, const QString& name) {
        QBuffer b;
        b.setData(bytes);
        b.open(QIODevice::ReadOnly);
        return m_store.WriteFile(b, name);
    }
    QByteArray read(TDCFileMethods& store, const QString& name) {
        QBuffer b;
        b.open(QIODevice::WriteOnly);
        store.ReadFile(name, b);
        return b.data();
    }

    TVoskDatabase m_db;
    TDCFileMethods m_store{&m_db};
};

TEST_F(StoreTest, LargeFileRoundTripsInChunksWithItsHash) {
    constexpr qint64 size = 300LL * 1024 * 1024 + 12345;
    QByteArray expected;
    {
        GeneratedSource g(size, 42);
        expected = sha256Of(g);
    }
    QTemporaryDir dir;
    resetPeakRss();
    const qint64 before = peakRssKb();
    GeneratedSource source(size, 42);
    const TDCStoredFile stored = m_store.WriteFile(source, QStringLiteral("Groß/2024/film.bin"));
    const QString local = m_store.ReadFile(stored.name, dir.filePath(QStringLiteral("film.bin")));
    const qint64 grown = peakRssKb() - before;

    EXPECT_EQ(stored.size, size);
    EXPECT_EQ(stored.sha256, expected);
    EXPECT_LT(grown, 64 * 1024) << "peak memory grew by " << grown << " KiB";
    QFile f(local);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.size(), size);
    EXPECT_EQ(sha256Of(f), expected);
    // The MD5 taken in the same pass, against coreutils' on the fetched copy.
    QProcess md5sum;
    md5sum.start(QStringLiteral("md5sum"), {local});
    ASSERT_TRUE(md5sum.waitForFinished(60000));
    EXPECT_EQ(md5sum.readAllStandardOutput().left(32), stored.md5);
    // No temporary file stays beside the copy.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

// A file that fits one chunk goes up with its row in one statement, a longer one streams: both
// sides of the boundary, from a device that can seek and from one that hands out short reads.
TEST_F(StoreTest, SizesAroundOneChunkAreStoredWholeWhetherSentAtOnceOrStreamed) {
    constexpr qint64 chunk = TDCFileMethods::ChunkSize;
    for (const qint64 size : {qint64(0), qint64(1), chunk - 1, chunk, chunk + 1}) {
        for (const bool trickle : {false, true}) {
            SCOPED_TRACE(QStringLiteral("%1 bytes%2").arg(size).arg(trickle ? ", trickled" : "")
                             .toStdString());
            const QString name = QStringLiteral("Grenze/%1-%2.bin").arg(size).arg(int(trickle));
            QByteArray bytes;
            {
                GeneratedSource g(size, quint64(size) + 7);
                bytes = g.readAll();
            }
            TDCStoredFile stored;
            if (trickle) {
                GeneratedSource source(size, quint64(size) + 7, 100 * 1000);
                stored = m_store.WriteFile(source, name);
            } else {
                stored = write(bytes, name);
            }
            const QByteArray sha = QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
            EXPECT_EQ(stored.size, size);
            EXPECT_EQ(stored.sha256, sha);
            EXPECT_EQ(stored.md5, QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex());
            EXPECT_EQ(read(m_store, name), bytes);
            // The server's own reading of the object.
            EXPECT_EQ(TestDatabase::Scalar(QStringLiteral(
                                               "SELECT encode(sha256(lo_get(oid)), 'hex') "
                                               "FROM dms_file WHERE name = '%1'")
                                               .arg(name))
                          .toLatin1(),
                      sha);
        }
    }
    EXPECT_EQ(files(), 10);
    EXPECT_EQ(objects(), 10);

    // Inside the caller's transaction a small file costs one round trip.
    TVoskTransaction tx(m_db);
    QBuffer small;
    small.setData(QByteArray("Lieferschein 0815\n").repeated(1000));
    small.open(QIODevice::ReadOnly);
    const qint64 before = m_db.RoundTrips();
    m_store.WriteFile(small, QStringLiteral("Grenze/klein.txt"), tx);
    EXPECT_EQ(m_db.RoundTrips() - before, 1);
    tx.Commit();
}

// The caller's rows go in the statement that stores the file: both or neither, whether the file
// fits one chunk (one statement, its own transaction) or streams.
TEST_F(StoreTest, RowsWrittenWithAFileStayOnlyWithIt) {
    const auto writeWith = [&](const QByteArray& bytes, const QString& name, const QString& rows) {
        QBuffer b;
        b.setData(bytes);
        b.open(QIODevice::ReadOnly);
        TVoskQuery2 q(&m_db, rows);
        m_store.WriteFile(b, name, q);
        return q.Fields(0).AsString() + u'|' + q.Fields(1).AsString();
    };
    const QString returned = QStringLiteral("SELECT name, md5 FROM dms_stored");
    const QByteArray big((TDCFileMethods::ChunkSize * 3) / 2, 'b');
    EXPECT_EQ(writeWith("klein", QStringLiteral("R/klein"), returned),
              QStringLiteral("R/klein|") +
                  QCryptographicHash::hash("klein", QCryptographicHash::Md5).toHex());
    const qint64 before = m_db.RoundTrips();
    writeWith("noch eins", QStringLiteral("R/noch"), returned);
    EXPECT_EQ(m_db.RoundTrips() - before, 1);
    EXPECT_EQ(writeWith(big, QStringLiteral("R/gross"), returned),
              QStringLiteral("R/gross|") + QCryptographicHash::hash(big, QCryptographicHash::Md5).toHex());
    EXPECT_EQ(read(m_store, QStringLiteral("R/gross")), big);
    EXPECT_FALSE(m_db.InTransaction());

    // Rows that fail take the file with them.
    const QString failing = QStringLiteral("SELECT name, 1 / (size - size) FROM dms_stored");
    for (const QByteArray& bytes : {QByteArray("kaputt"), big}) {
        EXPECT_THROW(writeWith(bytes, QStringLiteral("R/kaputt"), failing), EVoskDatabaseError);
        EXPECT_FALSE(m_store.FileExists(QStringLiteral("R/kaputt")));
    }
    EXPECT_EQ(files(), 3);
    EXPECT_EQ(objects(), 3);
    // A taken name is the store's refusal, not a server error; the caller's rows write nothing.
    TestDatabase::Exec(QStringLiteral("CREATE TABLE IF NOT EXISTS store_rows (n text)"));
    EXPECT_EQ(messageOf([&] {
                  writeWith("doppelt", QStringLiteral("R/klein"),
                            QStringLiteral(", w AS (INSERT INTO store_rows SELECT name FROM "
                                           "dms_stored) SELECT name, md5 FROM dms_stored"));
              }),
              QStringLiteral("Datei im Dokumentenspeicher existiert bereits: R/klein"));
    EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM store_rows")), 0);
    EXPECT_EQ(objects(), 3);
    TestDatabase::Exec(QStringLiteral("DROP TABLE store_rows"));
}

TEST_F(StoreTest, TheServerAndASecondClientReadWhatWasCommitted) {
    const QByteArray bytes = QByteArray("Rechnung 4711\n").repeated(100000);
    TVoskDatabase other;
    other.Connect();
    TDCFileMethods second(&other);
    {
        TVoskTransaction tx(m_db);
        write(bytes, QStringLiteral("Rechnung/r4711.txt"));
        // Not committed: the other client does not see it yet.
        EXPECT_FALSE(second.FileExists(QStringLiteral("Rechnung/r4711.txt")));
        tx.Commit();
    }
    ASSERT_TRUE(second.FileExists(QStringLiteral("Rechnung/r4711.txt")));
    EXPECT_EQ(read(second, QStringLiteral("Rechnung/r4711.txt")), bytes);
    // The server's own hash of the large object agrees with the recorded one.
    EXPECT_EQ(TestDatabase::Scalar(QStringLiteral(
                  "SELECT encode(sha256(lo_get(oid)), 'hex') = sha256 AND "
                  "length(lo_get(oid)) = size FROM dms_file WHERE name = 'Rechnung/r4711.txt'")),
              QStringLiteral("t"));
}

TEST_F(StoreTest, NamesThatLeaveTheStoreOrExistAreRefusedAndNothingIsWritten) {
    write("eins", QStringLiteral("A/eins.txt"));
    const int filesBefore = files();
    const int objectsBefore = objects();
    const QString bad[] = {QStringLiteral("/etc/passwd"), QStringLiteral("A/../../x"),
                           QStringLiteral(".."),          QStringLiteral("A//b"),
                           QStringLiteral("A\\b"),        QStringLiteral("A/b/"),
                           QStringLiteral("A/./b"),       QString(),
                           QStringLiteral("A/b\nc")};
    for (const QString& name : bad) {
        const QString msg = messageOf([&] { write("x", name); });
        EXPECT_TRUE(msg.startsWith(QStringLiteral("Ungültiger Dateiname im Dokumentenspeicher: ")))
            << msg.toStdString();
        EXPECT_FALSE(msg.contains(u'\n'));
        QTemporaryDir dir;
        EXPECT_TRUE(
            messageOf([&] { m_store.ReadFile(name, dir.filePath(QStringLiteral("x"))); })
                .startsWith(QStringLiteral("Ungültiger Dateiname")));
        EXPECT_TRUE(QDir(dir.path()).isEmpty());
    }
    EXPECT_EQ(messageOf([&] { write("zwei", QStringLiteral("A/eins.txt")); }),
              QStringLiteral("Datei im Dokumentenspeicher existiert bereits: A/eins.txt"));
    EXPECT_EQ(files(), filesBefore);
    EXPECT_EQ(objects(), objectsBefore);
    EXPECT_EQ(read(m_store, QStringLiteral("A/eins.txt")), QByteArray("eins"));
}

TEST_F(StoreTest, AFailedOrRolledBackWriteLeavesNeitherRowNorObject) {
    // A fault after the bytes, before the row.
    Rtl::FaultHook.Set([](const char* point) {
        if (qstrcmp(point, "TDCFileMethods.WriteFile.row") == 0)
            throw std::runtime_error("fault");
    });
    EXPECT_THROW(write(QByteArray(3 << 20, 'x'), QStringLiteral("f/a.bin")), std::runtime_error);
    Rtl::FaultHook.Reset();
    EXPECT_EQ(files(), 0);
    EXPECT_EQ(objects(), 0);

    // The caller's transaction decides: rolled back, the write is gone; the connection goes on.
    {
        TVoskTransaction tx(m_db);
        write("b", QStringLiteral("f/b.bin"));
    }
    EXPECT_EQ(files(), 0);
    EXPECT_EQ(objects(), 0);
    // A refused write inside the caller's transaction leaves the caller's earlier work in place.
    {
        TVoskTransaction tx(m_db);
        write("c", QStringLiteral("f/c.bin"));
        EXPECT_THROW(write("c2", QStringLiteral("f/c.bin")), EDCFileError);
        tx.Commit();
    }
    EXPECT_EQ(read(m_store, QStringLiteral("f/c.bin")), QByteArray("c"));
}

TEST_F(StoreTest, AConnectionKilledInMidWriteLeavesNothing) {
    const QString pid = QString::number(PQbackendPID(m_db.Handle()));
    int chunks = 0;
    Rtl::FaultHook.Set([&](const char* point) {
        if (qstrcmp(point, "TDCFileMethods.WriteFile.chunk") == 0 && ++chunks == 3)
            TestDatabase::Exec(QStringLiteral("SELECT pg_terminate_backend(%1)").arg(pid));
    });
    GeneratedSource source(10 << 20, 7);
    EXPECT_THROW(m_store.WriteFile(source, QStringLiteral("weg/mitten.bin")), EVoskException);
    EXPECT_GE(chunks, 3);
    EXPECT_EQ(files(), 0);
    EXPECT_EQ(objects(), 0);
}

TEST_F(StoreTest, MovingRenamesOnlyToAFreeNameAndKeepsRowsConsistent) {
    write("eins", QStringLiteral("a/1"));
    write("zwei", QStringLiteral("a/2"));
    EXPECT_EQ(messageOf([&] { m_store.MoveFile(QStringLiteral("a/1"), QStringLiteral("a/2")); }),
              QStringLiteral("Datei im Dokumentenspeicher existiert bereits: a/2"));
    EXPECT_EQ(messageOf([&] { m_store.MoveFile(QStringLiteral("a/9"), QStringLiteral("b/9")); }),
              QStringLiteral("Datei im Dokumentenspeicher fehlt: a/9"));
    m_store.MoveFile(QStringLiteral("a/1"), QStringLiteral("b/1"));
    EXPECT_FALSE(m_store.FileExists(QStringLiteral("a/1")));
    EXPECT_EQ(read(m_store, QStringLiteral("b/1")), QByteArray("eins"));

    // A document naming the file: moving it alone is refused at commit, with the row it is kept.
    TestDatabase::Exec(QStringLiteral("INSERT INTO picndoku (pd_tablename, pd_dbrid, "
                                      "pd_dokumentfile, pd_dmsremotefile) "
                                      "VALUES ('adressen', 1, '2', 'a/2')"));
    EXPECT_THROW(m_store.MoveFile(QStringLiteral("a/2"), QStringLiteral("b/2")), EVoskException);
    EXPECT_TRUE(m_store.FileExists(QStringLiteral("a/2")));
    {
        TVoskTransaction tx(m_db);
        m_store.MoveFile(QStringLiteral("a/2"), QStringLiteral("b/2"));
        m_db.Exec(QStringLiteral("UPDATE picndoku SET pd_dmsremotefile = 'b/2' "
                                 "WHERE pd_dmsremotefile = 'a/2'"));
        tx.Commit();
    }
    EXPECT_EQ(read(m_store, QStringLiteral("b/2")), QByteArray("zwei"));
}

TEST_F(StoreTest, MissingOrDamagedBytesAreReportedByName) {
    write("gut", QStringLiteral("k/gut.txt"));
    write("weg", QStringLiteral("k/weg.txt"));
    TestDatabase::Exec(QStringLiteral(
        "SELECT lo_unlink(oid) FROM dms_file WHERE name = 'k/weg.txt';"
        "UPDATE dms_file SET sha256 = repeat('0', 64) WHERE name = 'k/gut.txt'"));
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("kopie.txt"));
    EXPECT_EQ(messageOf([&] { m_store.ReadFile(QStringLiteral("k/weg.txt"), target); }),
              QStringLiteral("Datei im Dokumentenspeicher fehlt: k/weg.txt"));
    EXPECT_EQ(messageOf([&] { m_store.ReadFile(QStringLiteral("k/nie.txt"), target); }),
              QStringLiteral("Datei im Dokumentenspeicher fehlt: k/nie.txt"));
    EXPECT_EQ(messageOf([&] { m_store.ReadFile(QStringLiteral("k/gut.txt"), target); }),
              QStringLiteral("Datei im Dokumentenspeicher ist beschädigt: k/gut.txt"));
    // A failed read leaves no file, not even a partial one.
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
    // Read into memory in one round trip, the same checks say the same.
    EXPECT_EQ(messageOf([&] { m_store.ReadFile(QStringLiteral("k/weg.txt")); }),
              QStringLiteral("Datei im Dokumentenspeicher fehlt: k/weg.txt"));
    EXPECT_EQ(messageOf([&] { m_store.ReadFile(QStringLiteral("k/nie.txt")); }),
              QStringLiteral("Datei im Dokumentenspeicher fehlt: k/nie.txt"));
    EXPECT_EQ(messageOf([&] { m_store.ReadFile(QStringLiteral("k/gut.txt")); }),
              QStringLiteral("Datei im Dokumentenspeicher ist beschädigt: k/gut.txt"));
    EXPECT_FALSE(m_db.InTransaction());
    QByteArray big(int(TDCFileMethods::ChunkSize) * 2 + 17, Qt::Uninitialized);
    for (int i = 0; i < big.size(); ++i)
        big[i] = char(i * 7 + i / 251);
    write(big, QStringLiteral("k/gross.bin"));
    const qint64 before = m_db.RoundTrips();
    EXPECT_EQ(m_store.ReadFile(QStringLiteral("k/gross.bin")), big);
    EXPECT_EQ(m_db.RoundTrips() - before, 1);
    TestDatabase::Exec(QStringLiteral("UPDATE dms_file SET size = size + 1 WHERE name = 'k/gross.bin'"));
    EXPECT_EQ(messageOf([&] { m_store.ReadFile(QStringLiteral("k/gross.bin")); }),
              QStringLiteral("Datei im Dokumentenspeicher ist beschädigt: k/gross.bin"));
}

// A file beyond one result is read into memory in chunks, into a buffer of its recorded size
// (peak memory: about the file once), hashed on the way; a record that disagrees with the object
// in hash or size, in either direction, is refused as for a small file.
TEST_F(StoreTest, ALargeFileIsReadIntoMemoryInChunksAndChecked) {
    const qint64 size = TDCFileMethods::OneResultSize * 3 / 2 + 4321;
    QByteArray big(qsizetype(size), Qt::Uninitialized);
    for (qsizetype i = 0; i < big.size(); ++i)
        big[i] = char((i * 131) ^ (i >> 11));
    write(big, QStringLiteral("k/sehr-gross.bin"));
    resetPeakRss();
    const qint64 before = peakRssKb();
    const qint64 trips = m_db.RoundTrips();
    const QByteArray read = m_store.ReadFile(QStringLiteral("k/sehr-gross.bin"));
    const qint64 grown = peakRssKb() - before;
    EXPECT_TRUE(read == big);
    EXPECT_LE(m_db.RoundTrips() - trips, 16);
    EXPECT_LT(grown, size / 1024 * 5 / 4 + 16 * 1024) << "peak memory grew by " << grown << " KiB";
    EXPECT_FALSE(m_db.InTransaction());
    const QString damaged = QStringLiteral("Datei im Dokumentenspeicher ist beschädigt: k/sehr-gross.bin");
    for (const char* change : {"sha256 = repeat('0', 64)", "size = size + 1", "size = size - 1"}) {
        SCOPED_TRACE(change);
        TestDatabase::Exec(QStringLiteral("UPDATE dms_file SET %1 WHERE name = 'k/sehr-gross.bin'")
                               .arg(QString::fromLatin1(change)));
        EXPECT_EQ(messageOf([&] { m_store.ReadFile(QStringLiteral("k/sehr-gross.bin")); }), damaged);
        EXPECT_FALSE(m_db.InTransaction());
        TestDatabase::Exec(QStringLiteral("UPDATE dms_file SET size = %1, sha256 = '%2' WHERE name = "
                                          "'k/sehr-gross.bin'")
                               .arg(size)
                               .arg(QString::fromLatin1(
                                   QCryptographicHash::hash(big, QCryptographicHash::Sha256).toHex())));
    }
    EXPECT_TRUE(m_store.ReadFile(QStringLiteral("k/sehr-gross.bin")) == big);
}

TEST_F(StoreTest, AFetchReplacesAReadOnlyCopyAndLeavesItWhenItFails) {
    write("neu", QStringLiteral("r/x.txt"));
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("x.txt"));
    {
        QFile old(target);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("alt");
    }
    QFile::setPermissions(target, QFile::ReadOwner | QFile::ReadGroup);
    EXPECT_EQ(m_store.ReadFile(QStringLiteral("r/x.txt"), target), target);
    QFile f(target);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("neu"));
    f.close();

    QFile::setPermissions(target, QFile::ReadOwner);
    EXPECT_THROW(m_store.ReadFile(QStringLiteral("r/nie.txt"), target), EDCFileError);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("neu"));
}

} // namespace

// Pages of stored TIFF files: the page index recorded at write time, one page read without the
// rest of the file, an index that disagrees with the file rebuilt once, and annotation data per
// page.

#include <Dataclient_files.h>
#include <PageCodec.h>
#include <TestDatabase.h>
#include <VoskDatabase.h>

#include <gtest/gtest.h>

#include <QBuffer>

using testsupport::TestDatabase;
using namespace Imaging;

namespace {

QImage page(int nr) {
    QImage img(240, 320, QImage::Format_Grayscale8);
    img.fill(255);
    for (int y = 20; y < 300; y += 9 + nr % 5)
        for (int x = 10 + nr; x < 230; ++x)
            img.scanLine(y)[x] = 0;
    return img.convertToFormat(QImage::Format_Mono);
}

QByteArray document(int pages) {
    TTiffWriter w;
    for (int i = 0; i < pages; ++i) {
        TIOParams p;
        p.TIFF_Compression = i % 3 == 2 ? ioTIFF_LZW : ioTIFF_G4FAX;
        p.TIFF_ImageDescription = QByteArray("Seite ") + QByteArray::number(i + 1);
        w.WritePage(page(i), p);
    }
    return w.Finish();
}

QImage decoded(const QByteArray& onePage, QByteArray* description = nullptr) {
    TTiffReader r(onePage);
    EXPECT_EQ(r.PageCount(), 1);
    r.OpenPage(0);
    if (description)
        *description = r.Params().TIFF_ImageDescription;
    return r.Decode();
}

// A source that cannot seek, as a pipe would deliver it.
class SequentialSource final : public QIODevice {
public:
    explicit SequentialSource(QByteArray data) : m_data(std::move(data)) { open(ReadOnly); }
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char* out, qint64 max) override {
        const qint64 n = qMin<qint64>(max, m_data.size() - m_pos);
        memcpy(out, m_data.constData() + m_pos, size_t(n));
        m_pos += n;
        return n;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QByteArray m_data;
    qint64 m_pos = 0;
};

class PagesTest : public testsupport::DbTest {
protected:
    void SetUp() override {
        TestDatabase::Exec(QStringLiteral("DELETE FROM picndoku; DELETE FROM dms_file; "
                                          "SELECT lo_unlink(oid) FROM pg_largeobject_metadata"));
        m_db.Connect();
    }
    void write(const QByteArray& bytes, const QString& name) {
        QBuffer b;
        b.setData(bytes);
        b.open(QIODevice::ReadOnly);
        m_store.WriteFile(b, name);
    }
    static QString scalar(const QString& sql) { return TestDatabase::Scalar(sql); }

    TVoskDatabase m_db;
    TDCFileMethods m_store{&m_db};
};

} // namespace

TEST_F(PagesTest, APageIsReadAtItsRecordedOffsetWithoutTheRestOfTheFile) {
    const QByteArray file = document(60);
    write(file, QStringLiteral("Akten/60.tiff"));
    const QList<quint64> offsets = TiffPageOffsets(file);
    EXPECT_EQ(scalar(QStringLiteral("SELECT array_length(dir_offsets, 1) FROM dms_file_pages "
                                    "WHERE name = 'Akten/60.tiff'")),
              QStringLiteral("60"));
    EXPECT_EQ(scalar(QStringLiteral("SELECT dir_offsets[42] FROM dms_file_pages")),
              QString::number(offsets[41]));

    qint64 trips = m_db.RoundTrips();
    EXPECT_EQ(m_store.GetImageCount(QStringLiteral("Akten/60.tiff")), 60);
    EXPECT_EQ(m_db.RoundTrips() - trips, 1);

    trips = m_db.RoundTrips();
    QByteArray description;
    const QImage p41 = decoded(m_store.ReadImage(QStringLiteral("Akten/60.tiff"), 41), &description);
    // A few blocks around the page, not the 60 pages before it.
    EXPECT_LE(m_db.RoundTrips() - trips, 14);
    EXPECT_EQ(p41, page(41));
    EXPECT_EQ(description, QByteArray("Seite 42"));
    EXPECT_EQ(decoded(m_store.ReadImage(QStringLiteral("Akten/60.tiff"), 0)), page(0));
    EXPECT_EQ(decoded(m_store.ReadImage(QStringLiteral("Akten/60.tiff"), 59)), page(59));
    EXPECT_THROW(m_store.ReadImage(QStringLiteral("Akten/60.tiff"), 60), EDCFileError);
    EXPECT_THROW(m_store.ReadImage(QStringLiteral("Akten/60.tiff"), -1), EDCFileError);
    EXPECT_THROW(m_store.ReadImage(QStringLiteral("../60.tiff"), 0), EDCFileError);

    // A source that cannot seek is indexed from what was stored.
    SequentialSource pipe(document(3));
    m_store.WriteFile(pipe, QStringLiteral("Akten/pipe.tif"));
    EXPECT_EQ(m_store.GetImageCount(QStringLiteral("Akten/pipe.tif")), 3);
    EXPECT_EQ(decoded(m_store.ReadImage(QStringLiteral("Akten/pipe.tif"), 2)), page(2));
    EXPECT_EQ(m_store.ReadFile(QStringLiteral("Akten/pipe.tif")), document(3));
}

TEST_F(PagesTest, AnIndexThatDisagreesWithTheFileIsRebuiltOnce) {
    const QByteArray file = document(8);
    write(file, QStringLiteral("a/8.tiff"));
    const QString good = scalar(QStringLiteral("SELECT dir_offsets::text FROM dms_file_pages"));

    // Offsets that point into the middle of the data.
    TestDatabase::Exec(QStringLiteral(
        "UPDATE dms_file_pages SET dir_offsets = ARRAY(SELECT o + 3 FROM unnest(dir_offsets) o)"));
    EXPECT_EQ(decoded(m_store.ReadImage(QStringLiteral("a/8.tiff"), 5)), page(5));
    EXPECT_EQ(scalar(QStringLiteral("SELECT dir_offsets::text FROM dms_file_pages")), good);

    // Too few pages recorded, or none at all (a file stored before pages were indexed).
    TestDatabase::Exec(QStringLiteral("UPDATE dms_file_pages SET dir_offsets = dir_offsets[1:2]"));
    EXPECT_EQ(decoded(m_store.ReadImage(QStringLiteral("a/8.tiff"), 7)), page(7));
    TestDatabase::Exec(QStringLiteral("DELETE FROM dms_file_pages"));
    EXPECT_EQ(m_store.GetImageCount(QStringLiteral("a/8.tiff")), 8);
    EXPECT_EQ(scalar(QStringLiteral("SELECT dir_offsets::text FROM dms_file_pages")), good);
}

TEST_F(PagesTest, FilesThatAreNoTiffHaveNoPages) {
    write(QByteArray("%PDF-1.4 kein TIFF"), QStringLiteral("b/brief.pdf"));
    EXPECT_EQ(m_store.GetImageCount(QStringLiteral("b/brief.pdf")), 0);
    EXPECT_EQ(scalar(QStringLiteral("SELECT count(*) FROM dms_file_pages")), QStringLiteral("0"));
    EXPECT_THROW(m_store.ReadImage(QStringLiteral("b/brief.pdf"), 0), EDCFileError);

    // A TIFF whose directory chain breaks off is stored as it came; its pages are refused.
    QByteArray cut = document(4);
    cut.truncate(cut.size() - 20);
    write(cut, QStringLiteral("b/kaputt.tiff"));
    EXPECT_EQ(TestDatabase::Scalar(QStringLiteral("SELECT count(*) FROM dms_file")), QStringLiteral("2"));
    try {
        m_store.GetImageCount(QStringLiteral("b/kaputt.tiff"));
        ADD_FAILURE() << "a broken chain was counted";
    } catch (const EDCFileError& e) {
        EXPECT_TRUE(e.Message().contains(QStringLiteral("beschädigt"))) << e.what();
    }
    EXPECT_THROW(m_store.GetImageCount(QStringLiteral("b/fehlt.tiff")), EDCFileError);
}

TEST_F(PagesTest, AnnotationsPerPage) {
    write(document(3), QStringLiteral("c/3.tiff"));
    const QString name = QStringLiteral("c/3.tiff");
    EXPECT_TRUE(m_store.ReadAnnotation(name, 1).isEmpty());

    const QByteArray xml("<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<a>\xc3\xa4\x00\x01</a>", 51);
    m_store.WriteAnnotation(&xml, name, 1);
    const QByteArray other("<b/>");
    m_store.WriteAnnotation(&other, name, 2);
    EXPECT_EQ(m_store.ReadAnnotation(name, 1), xml);
    EXPECT_TRUE(m_store.ReadAnnotation(name, 0).isEmpty());
    // All pages at once: each in its place, the bytes unchanged, pages beyond count left out.
    EXPECT_EQ(m_store.ReadAnnotations(name, 3), (QList<QByteArray>{{}, xml, other}));
    EXPECT_EQ(m_store.ReadAnnotations(name, 2), (QList<QByteArray>{{}, xml}));

    const QByteArray changed("<a>neu</a>");
    m_store.WriteAnnotation(&changed, name, 1);
    EXPECT_EQ(m_store.ReadAnnotation(name, 1), changed);

    // Null and empty both remove the slot; the other page keeps its own.
    m_store.WriteAnnotation(nullptr, name, 1);
    EXPECT_TRUE(m_store.ReadAnnotation(name, 1).isEmpty());
    m_store.WriteAnnotation(&other, name, 1);
    const QByteArray empty;
    m_store.WriteAnnotation(&empty, name, 1);
    EXPECT_EQ(scalar(QStringLiteral("SELECT string_agg(page::text, ',') FROM dms_annotation")),
              QStringLiteral("2"));

    EXPECT_THROW(m_store.WriteAnnotation(&other, QStringLiteral("c/fehlt.tiff"), 0), EDCFileError);
    EXPECT_THROW(m_store.WriteAnnotation(&other, QStringLiteral("/etc/passwd"), 0), EDCFileError);
    EXPECT_THROW(m_store.ReadAnnotation(name, -2), EDCFileError);

    // A renamed file keeps its pages and annotations.
    m_store.MoveFile(name, QStringLiteral("c/neu.tiff"));
    EXPECT_EQ(m_store.ReadAnnotation(QStringLiteral("c/neu.tiff"), 2), other);
    EXPECT_EQ(m_store.GetImageCount(QStringLiteral("c/neu.tiff")), 3);
}

TEST_F(PagesTest, DeletingAFileTakesItsBytesPagesAndAnnotationsButNotAnotherFilesCopy) {
    const QString first = QStringLiteral("d/1.tiff"), second = QStringLiteral("d/2.tiff");
    write(document(2), first);
    write(document(2), second);
    const QByteArray xml("<annotation/>");
    m_store.WriteAnnotation(&xml, first, 1);
    m_store.CopyAnnotations(first, second);
    EXPECT_EQ(m_store.ReadAnnotation(second, 1), xml);
    const QString objects = QStringLiteral("SELECT count(*) FROM pg_largeobject_metadata");
    EXPECT_EQ(scalar(objects), QStringLiteral("2"));

    m_store.DeleteFile(first);
    EXPECT_FALSE(m_store.FileExists(first));
    EXPECT_EQ(scalar(objects), QStringLiteral("1"));
    EXPECT_EQ(scalar(QStringLiteral("SELECT count(*) FROM dms_annotation WHERE name = 'd/1.tiff'")),
              QStringLiteral("0"));
    EXPECT_EQ(m_store.ReadAnnotation(second, 1), xml);
    // Gone already, or never stored: nothing to do; a name outside the store: refused.
    EXPECT_NO_THROW(m_store.DeleteFile(first));
    EXPECT_THROW(m_store.DeleteFile(QStringLiteral("../d/2.tiff")), EDCFileError);

    // A file a document row names stays.
    TestDatabase::Exec(QStringLiteral("INSERT INTO picndoku (pd_tablename, pd_dbrid, "
                                      "pd_dmsremotefile) VALUES ('adressen', 5, 'd/2.tiff')"));
    EXPECT_THROW(m_store.DeleteFile(second), EDCFileError);
    EXPECT_TRUE(m_store.FileExists(second));
}

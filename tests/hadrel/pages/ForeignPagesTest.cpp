// The page model over files written by other programs (Pillow, tiffcp): what the viewer loads and
// what a revision save writes back, read again by Pillow; and a page that claims more than its
// file holds.
#include "UFileViewerTIFF.Pages.h"

#include "../../imaging/TiffPages.h"

#include <ForeignFiles.h>
#include <PageCodec.h>
#include <PeakMemory.h>

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

using namespace Imaging;
using testsupport::PillowFile;
using testsupport::Tiffcp;

namespace {

class FileStore final : public IPageSource {
public:
    explicit FileStore(QByteArray f) : file(std::move(f)) {}
    QByteArray file;
    bool IsNewDokument() const override { return false; }
    QString RemoteFilename() const override { return QStringLiteral("dok/fremd.tiff"); }
    void CheckRemoteStructure() override {}
    bool FileExists(const QString&) override { return true; }
    int GetImageCount(const QString&) override { return int(TiffPageOffsets(file).size()); }
    QByteArray ReadFile(const QString&) override { return file; }
    QByteArray ReadImage(const QString&, int page) override {
        TTiffReader r(file);
        r.OpenAt(TiffPageOffsets(file).value(page));
        return r.ExtractPage();
    }
    QByteArray ReadAnnotation(const QString&, int) override { return {}; }
};

class Host final : public IViewerPagesHost {
public:
    bool overview = false;
    bool OverviewVisible() const override { return overview; }
    void SetViewerEnabled(bool) override {}
    void SetStatus(const QString&, int) override {}
    void ClearStatus() override {}
    void RefreshTabs() override {}
    void SetTab(int) override {}
    void ShowPage(int, const QImage&, TPageData*) override {}
    void EmptyView() override {}
    void PageShown() override {}
    void PollCancel() override {}
};

// The page model over a stored file, as a viewer in the mode editable opens it.
struct Opened {
    Opened(const QByteArray& file, bool overview, quint8 editable) : store(file), pages(&host) {
        host.overview = overview;
        pages.SetSource(&store);
        pages.FEditablePages = editable;
    }
    Host host;
    FileStore store;
    TViewerPages pages;
};

} // namespace

TEST(ForeignPages, ARevisionSaveWritesBackWhatTheFileShows) {
    // Pillow's pages, put into one big-endian file by tiffcp: 16-bit grey with the predictor,
    // and colour whose left half is transparent.
    const QByteArray grey = PillowFile(QStringLiteral(
        "import sys\nfrom PIL import Image\nw, h = 240, 160\nim = Image.new('I;16', (w, h))\n"
        "im.putdata([(x * 273 + y * 411) % 65536 for y in range(h) for x in range(w)])\n"
        "im.save(sys.argv[1])\n"));
    const QByteArray colour = PillowFile(QStringLiteral(
        "import sys\nfrom PIL import Image\nim = Image.new('RGBA', (120, 80), (0, 0, 0, 0))\n"
        "im.paste((30, 90, 200, 255), (60, 0, 120, 80))\nim.save(sys.argv[1])\n"));
    // Deflate: the save stores the colour page as JPEG; the grey page keeps its 16 bits.
    const QByteArray little =
        Tiffcp(QList<QByteArray>{grey, colour}, {QStringLiteral("-c"), QStringLiteral("zip:2")});
    const QByteArray big = Tiffcp(little, {QStringLiteral("-B")});
    ASSERT_TRUE(big.startsWith("MM"));
    ASSERT_EQ(tiffpages::PillowPagesOnWhite(big).size(), 2);
    QImage onPaper(120, 80, QImage::Format_RGB32);
    onPaper.fill(Qt::white);
    for (int y = 0; y < 80; ++y)
        for (int x = 60; x < 120; ++x)
            onPaper.setPixel(x, y, qRgb(30, 90, 200));
    const QList<tiffpages::TiffInfoPage> before = tiffpages::TiffInfo(big);
    ASSERT_EQ(before.size(), 2);

    for (bool overview : {false, true}) {
        SCOPED_TRACE(overview ? "whole file" : "page by page");
        Opened opened(big, overview, 2);
        TViewerPages& pages = opened.pages;
        pages.ReloadImages(0);
        ASSERT_EQ(pages.imOverview()->ImageCount(), 2);
        pages.LoadImage(1, true);
        // As the revision save does: each page gets the compression its kind is stored with.
        for (int i = 0; i < 2; ++i)
            pages.CheckImageFormatAndSetName(i, QStringLiteral("test"));
        const QByteArray saved = pages.SaveToStreamTIFF();
        const QList<tiffpages::TiffInfoPage> after = tiffpages::TiffInfo(saved);
        ASSERT_EQ(after.size(), 2);
        EXPECT_EQ(after[0].Field(QStringLiteral("Bits/Sample")), QStringLiteral("16"));
        EXPECT_EQ(after[0].Field(QStringLiteral("Compression Scheme")), QStringLiteral("AdobeDeflate"));
        EXPECT_TRUE(after[0].data == before[0].data);
        // The colour page is JPEG now, on white.
        EXPECT_EQ(after[1].Field(QStringLiteral("Compression Scheme")), QStringLiteral("JPEG"));
        const QList<QImage> shown = tiffpages::PillowPagesOnWhite(saved);
        ASSERT_EQ(shown.size(), 2);
        EXPECT_LT(tiffpages::MeanDifference(shown[1], onPaper), 4.0);
        EXPECT_GE(qGray(shown[1].pixel(10, 10)), 245);
    }
}

TEST(ForeignPages, SixteenBitPagesKeepTheirDepthAndStoredBytes) {
    // 16-bit grey from Pillow and ImageMagick, 16-bit colour from raw2tiff, each copied by tiffcp
    // with LZW and Deflate with the predictor, ZSTD and none, into a file of either byte order.
    const QByteArray pillow = testsupport::PillowGrey16(120, 90);
    const QByteArray magick = testsupport::MagickFile(
        {QStringLiteral("-seed"), QStringLiteral("5"), QStringLiteral("-size"), QStringLiteral("90x70"),
         QStringLiteral("plasma:fractal"), QStringLiteral("-colorspace"), QStringLiteral("Gray"),
         QStringLiteral("-type"), QStringLiteral("Grayscale"), QStringLiteral("-depth"),
         QStringLiteral("16"), QStringLiteral("-compress"), QStringLiteral("lzw")});
    const QByteArray rgb = testsupport::Raw2tiffColour16(64, 48);
    QList<QByteArray> variants;
    for (const QByteArray& source : {pillow, magick, rgb}) {
        ASSERT_TRUE(source.startsWith("II")) << source.left(200).toStdString();
        for (const char* compression : {"lzw:2", "zip:2", "zstd", "none"})
            variants << Tiffcp(source, {QStringLiteral("-c"), QString::fromLatin1(compression)});
    }
    for (bool little : {true, false}) {
        SCOPED_TRACE(little ? "little-endian" : "big-endian");
        const QByteArray file = Tiffcp(variants, {little ? QStringLiteral("-L") : QStringLiteral("-B")});
        const QList<tiffpages::TiffInfoPage> decoded = tiffpages::TiffInfo(file);
        const QList<tiffpages::TiffInfoPage> stored = tiffpages::TiffInfo(file, true);
        ASSERT_EQ(decoded.size(), 12);
        for (bool overview : {false, true}) {
            SCOPED_TRACE(overview ? "whole file" : "page by page");
            Opened opened(file, overview, 2);
            TViewerPages& pages = opened.pages;
            pages.ReloadImages(0);
            pages.LoadImage(5, true);
            pages.ReadStoredPages();
            for (int i = 0; i < 12; ++i)
                EXPECT_FALSE(TViewerPages::CheckImageFormatAndSetName(pages.imOverview()->Params(i), {}))
                    << "page " << i + 1;
            const QByteArray saved = pages.SaveToStreamTIFF();
            const QList<tiffpages::TiffInfoPage> back = tiffpages::TiffInfo(saved);
            const QList<tiffpages::TiffInfoPage> backStored = tiffpages::TiffInfo(saved, true);
            ASSERT_EQ(back.size(), 12);
            for (int i = 0; i < 12; ++i) {
                SCOPED_TRACE(i + 1);
                EXPECT_EQ(back[i].Field(QStringLiteral("Bits/Sample")), QStringLiteral("16"));
                EXPECT_EQ(back[i].Field(QStringLiteral("Compression Scheme")),
                          decoded[i].Field(QStringLiteral("Compression Scheme")));
                EXPECT_TRUE(back[i].data == decoded[i].data);
                // In this machine's byte order the compressed bytes are the stored ones.
                if (little) {
                    EXPECT_TRUE(backStored[i].data == stored[i].data);
                }
            }
        }
    }
}

namespace {

// A blank 16000 x 16000 RGB page as raw2tiff makes it of zeros (PackBits, 512 rows a strip) and
// tiffcp compresses it with ZSTD: some 24 KB that decode to 768 MB.
QByteArray zstdBomb() {
    QTemporaryDir dir;
    QFile zeros(dir.filePath(QStringLiteral("zero.raw")));
    if (!zeros.open(QIODevice::WriteOnly) || !zeros.resize(qint64(16000) * 16000 * 3))
        return {};
    zeros.close();
    const QString packed = dir.filePath(QStringLiteral("packed.tif"));
    const QString out = dir.filePath(QStringLiteral("zstd.tif"));
    if (QProcess::execute(QStringLiteral("raw2tiff"),
                          {QStringLiteral("-w"), QStringLiteral("16000"), QStringLiteral("-l"),
                           QStringLiteral("16000"), QStringLiteral("-b"), QStringLiteral("3"),
                           QStringLiteral("-p"), QStringLiteral("rgb"), QStringLiteral("-c"),
                           QStringLiteral("packbits"), QStringLiteral("-r"), QStringLiteral("512"),
                           zeros.fileName(), packed}) != 0 ||
        QProcess::execute(QStringLiteral("tiffcp"), {QStringLiteral("-c"), QStringLiteral("zstd"),
                                                    QStringLiteral("-r"), QStringLiteral("512"), packed,
                                                    out}) != 0)
        return {};
    QFile o(out);
    o.open(QIODevice::ReadOnly);
    return o.readAll();
}

} // namespace

TEST(ForeignPages, APageLargerThanItsFileOrTheBudgetFailsAtOnce) {
    // 12000 x 12000 RGB in one LZW strip of four bytes, 138 bytes in all: within the budget of a
    // decoded page, but its data cannot hold it.
    const QByteArray shortData = QByteArray::fromHex("49492a0008000000"
                                                     "0a00"
                                                     "0001040001000000e02e0000"
                                                     "0101040001000000e02e0000"
                                                     "020103000100000008000000"
                                                     "030103000100000005000000"
                                                     "060103000100000002000000"
                                                     "110104000100000086000000"
                                                     "150103000100000003000000"
                                                     "1601040001000000e02e0000"
                                                     "170104000100000004000000"
                                                     "1c0103000100000001000000"
                                                     "00000000"
                                                     "80000001");
    ASSERT_EQ(shortData.size(), 138);
    // A real page, only larger than a decoded page may be.
    const QByteArray bomb = zstdBomb();
    ASSERT_GT(bomb.size(), 0);
    ASSERT_LT(bomb.size(), 64 * 1024);
    const struct {
        QByteArray file;
        QString says;
    } cases[] = {{shortData, QStringLiteral("Ungültiges Bild")},
                 {bomb, QStringLiteral("Die Seite ist zu groß, um sie zu zeigen: 16000 x 16000 Pixel "
                                       "brauchen 733 MB Speicher, höchstens 640 MB sind möglich.")}};
    for (const auto& c : cases)
        for (bool overview : {false, true}) {
            SCOPED_TRACE(c.file.size());
            Opened opened(c.file, overview, 1);
            TViewerPages& pages = opened.pages;
            const testsupport::TPeakMemory memory;
            QElapsedTimer clock;
            clock.start();
            try {
                pages.ReloadImages(0);
                ADD_FAILURE() << "the page was shown";
            } catch (const EVoskException& e) {
                EXPECT_EQ(e.TextNr(), 17102);
                EXPECT_TRUE(e.Message().contains(c.says)) << e.what();
            }
            EXPECT_LT(clock.elapsed(), 200);
            EXPECT_LT(memory.ExtraMb(), 50.0);
            EXPECT_EQ(pages.imOverview()->ImageCount(), 0);
        }

    // Beside a page that shows, the large one is saved as it was stored, though its compression
    // would have it stored anew.
    TTiffWriter both;
    for (const QByteArray& page : {bomb, Tiffcp(PillowFile(QStringLiteral(
                                                   "import sys\nfrom PIL import Image\n"
                                                   "Image.new('L', (64, 48), 200).save(sys.argv[1])\n")),
                                               {QStringLiteral("-c"), QStringLiteral("zip")})}) {
        TTiffReader reader(page);
        reader.OpenPage(0);
        both.CopyPage(reader);
    }
    const QByteArray file = both.Finish();
    Opened opened(file, false, 2);
    TViewerPages& pages = opened.pages;
    pages.ReloadImages(1);
    const testsupport::TPeakMemory memory;
    pages.ReadStoredPages();
    for (int i = 0; i < 2; ++i)
        pages.CheckImageFormatAndSetName(i, QStringLiteral("test"));
    EXPECT_EQ(pages.imOverview()->Params(0).TIFF_Compression, ioTIFF_JPEG);
    const QByteArray saved = pages.SaveToStreamTIFF();
    EXPECT_LT(memory.ExtraMb(), 50.0);
    const QList<tiffpages::TiffInfoPage> before = tiffpages::TiffInfo(file, true);
    const QList<tiffpages::TiffInfoPage> after = tiffpages::TiffInfo(saved, true);
    ASSERT_EQ(after.size(), 2);
    EXPECT_EQ(after[0].Field(QStringLiteral("Compression Scheme")), QStringLiteral("ZSTD"));
    EXPECT_TRUE(after[0].data == before[0].data);
    EXPECT_EQ(after[1].Field(QStringLiteral("Compression Scheme")), QStringLiteral("JPEG"));
}

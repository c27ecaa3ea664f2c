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

// Every page of a TIFF as Pillow reads it, in RGB on white paper.
QList<QImage> pillowPages(const QByteArray& tiff) {
    QTemporaryDir dir;
    const QString path = tiffpages::WriteIn(dir, tiff);
    QProcess proc;
    proc.start(
        QStringLiteral("/usr/bin/python3"),
        {QStringLiteral("-c"),
         QStringLiteral("import sys\nfrom PIL import Image, ImageSequence\n"
                        "for n, im in enumerate(ImageSequence.Iterator(Image.open(sys.argv[1]))):\n"
                        "    im = im.convert('RGBA')\n"
                        "    paper = Image.new('RGB', im.size, 'white')\n"
                        "    paper.paste(im, mask=im.getchannel('A'))\n"
                        "    paper.save('%s/p%d.png' % (sys.argv[2], n))\n"),
         path, dir.path()});
    proc.waitForFinished(30000);
    EXPECT_EQ(proc.exitCode(), 0) << proc.readAllStandardError().toStdString();
    QList<QImage> pages;
    for (int n = 0;; ++n) {
        const QImage page(dir.filePath(QStringLiteral("p%1.png").arg(n)));
        if (page.isNull())
            return pages;
        pages << page;
    }
}

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
    // Deflate: the save stores both as JPEG.
    const QByteArray little =
        Tiffcp(QList<QByteArray>{grey, colour}, {QStringLiteral("-c"), QStringLiteral("zip:2")});
    const QByteArray big = Tiffcp(little, {QStringLiteral("-B")});
    ASSERT_TRUE(big.startsWith("MM"));
    ASSERT_EQ(pillowPages(big).size(), 2);
    QImage onPaper(120, 80, QImage::Format_RGB32);
    onPaper.fill(Qt::white);
    for (int y = 0; y < 80; ++y)
        for (int x = 60; x < 120; ++x)
            onPaper.setPixel(x, y, qRgb(30, 90, 200));

    for (bool overview : {false, true}) {
        SCOPED_TRACE(overview ? "whole file" : "page by page");
        Host host;
        host.overview = overview;
        FileStore store(big);
        TViewerPages pages(&host);
        pages.SetSource(&store);
        pages.FEditablePages = 2;
        pages.ReloadImages(0);
        ASSERT_EQ(pages.imOverview()->ImageCount(), 2);
        pages.LoadImage(1, true);
        // As the revision save does: each page gets the compression its kind is stored with.
        for (int i = 0; i < 2; ++i)
            pages.CheckImageFormatAndSetName(i, QStringLiteral("test"));
        const QList<QImage> saved = pillowPages(pages.SaveToStreamTIFF());
        ASSERT_EQ(saved.size(), 2);
        // Both are stored as JPEG now: the grey page as the little-endian original decodes, the
        // colour page on white.
        const QImage expectedGrey = [&] {
            TTiffReader r(little);
            r.OpenPage(0);
            return r.Decode();
        }();
        EXPECT_LT(tiffpages::MeanDifference(saved[0], expectedGrey), 3.0);
        EXPECT_LT(tiffpages::MeanDifference(saved[1], onPaper), 4.0);
        EXPECT_GE(qGray(saved[1].pixel(10, 10)), 245);
    }
}

TEST(ForeignPages, APageLargerThanItsFileFailsAtOnce) {
    // 16384 x 16384 RGB in one LZW strip of four bytes: 138 bytes in all.
    QByteArray file = QByteArray::fromHex("49492a0008000000"
                                          "0a00"
                                          "000104000100000000400000"
                                          "010104000100000000400000"
                                          "020103000100000008000000"
                                          "030103000100000005000000"
                                          "060103000100000002000000"
                                          "110104000100000086000000"
                                          "150103000100000003000000"
                                          "160104000100000000400000"
                                          "170104000100000004000000"
                                          "1c0103000100000001000000"
                                          "00000000"
                                          "80000001");
    ASSERT_EQ(file.size(), 138);
    for (bool overview : {false, true}) {
        Host host;
        host.overview = overview;
        FileStore store(file);
        TViewerPages pages(&host);
        pages.SetSource(&store);
        pages.FEditablePages = 1;
        const testsupport::TPeakMemory memory;
        QElapsedTimer clock;
        clock.start();
        try {
            pages.ReloadImages(0);
            ADD_FAILURE() << "the page was shown";
        } catch (const EVoskException& e) {
            EXPECT_EQ(e.TextNr(), 17102);
            EXPECT_TRUE(e.Message().contains(QStringLiteral("Ungültiges Bild"))) << e.what();
        }
        EXPECT_LT(clock.elapsed(), 200);
        EXPECT_LT(memory.ExtraMb(), 50.0);
        EXPECT_EQ(pages.imOverview()->ImageCount(), 0);
    }
}

// The TIFF viewer's page model without a window: loading page by page or as a whole file from a
// counting in-memory data server, fall-backs and load errors, the per-page compression rules, the
// orientation rule, the stamp list, the value conversions and the break of a running load.
#include "UFileViewerTIFF.Pages.h"

#include <PageCodec.h>
#include <Uloghelper.h>

#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QBuffer>
#include <QPointer>
#include <QProcess>
#include <QTemporaryFile>
#include <QTransform>

using namespace Imaging;

namespace {

QImage textPage(int seed) {
    QImage page(300, 420, QImage::Format_Grayscale8);
    page.fill(Qt::white);
    for (int y = 40 + seed; y < 380; y += 23)
        for (int x = 30; x < 270; ++x)
            if ((x / (3 + seed % 4)) % 3)
                page.scanLine(y)[x] = 0;
    return page.convertToFormat(QImage::Format_Mono);
}

// The data server's file of one document, counting what it is asked.
class FakeStore final : public IPageSource {
public:
    QByteArray file;
    QList<quint64> offsets;
    QHash<int, QByteArray> annotations;
    bool isNew = false;
    bool exists = true;
    QSet<int> brokenPages; // ReadImage delivers no TIFF for these
    int fileExistsCalls = 0, structureChecks = 0, readFile = 0, readImage = 0, readAnnotation = 0;

    explicit FakeStore(int pages = 0) {
        if (pages == 0)
            return;
        TTiffWriter w;
        for (int i = 0; i < pages; ++i) {
            TIOParams p;
            p.TIFF_Compression = ioTIFF_G4FAX;
            p.DpiX = p.DpiY = 200;
            w.WritePage(textPage(i), p);
        }
        file = w.Finish();
        offsets = TiffPageOffsets(file);
        for (int i = 0; i < pages; i += 2)
            annotations[i] = QByteArray("<annot page=\"") + QByteArray::number(i) + "\"/>";
    }
    bool IsNewDokument() const override { return isNew; }
    QString RemoteFilename() const override { return QStringLiteral("dok/4711.tiff"); }
    void CheckRemoteStructure() override { ++structureChecks; }
    bool FileExists(const QString&) override {
        ++fileExistsCalls;
        return exists;
    }
    int GetImageCount(const QString&) override { return int(offsets.size()); }
    QByteArray ReadFile(const QString&) override {
        ++readFile;
        return file;
    }
    QByteArray ReadImage(const QString&, int page) override {
        ++readImage;
        if (brokenPages.contains(page))
            return QByteArray("kaputt");
        TTiffReader r(file);
        r.OpenAt(offsets.value(page));
        return r.ExtractPage();
    }
    QByteArray ReadAnnotation(const QString&, int page) override {
        ++readAnnotation;
        return annotations.value(page);
    }
};

class FakeHost final : public IViewerPagesHost {
public:
    bool overview = false;
    bool enabled = true;
    int shownPage = -2;
    QImage shownImage;
    int emptied = 0, refreshes = 0, pageShown = 0, polls = 0;
    QStringList statuses;
    std::function<void()> onPoll;

    bool OverviewVisible() const override { return overview; }
    void SetViewerEnabled(bool e) override { enabled = e; }
    void SetStatus(const QString& text, int percent) override {
        statuses << QStringLiteral("%1 %2").arg(text).arg(percent);
    }
    void ClearStatus() override { statuses << QStringLiteral("-"); }
    void RefreshTabs() override { ++refreshes; }
    void SetTab(int) override {}
    void ShowPage(int page, const QImage& image, TPageData*) override {
        shownPage = page;
        shownImage = image;
    }
    void EmptyView() override {
        ++emptied;
        shownPage = -1;
        shownImage = QImage();
    }
    void PageShown() override { ++pageShown; }
    void PollCancel() override {
        ++polls;
        if (onPoll)
            onPoll();
    }
};

class PageModel : public ::testing::Test {
protected:
    FakeHost host;
    TViewerPages pages{&host};
    TPageList* list() { return pages.imOverview(); }

    QString loadError(int page) {
        try {
            pages.ReloadImages(page);
        } catch (const EVoskException& e) {
            EXPECT_EQ(e.TextNr(), 17102);
            return e.Message();
        }
        return {};
    }
};

} // namespace

TEST_F(PageModel, HiddenStripReadsOnlyTheRequestedPage) {
    FakeStore store(12);
    QAbstractItemModelTester tester(list(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    pages.SetSource(&store);
    pages.FEditablePages = 1;
    pages.ReloadImages(4);

    EXPECT_EQ(list()->ImageCount(), 12);
    EXPECT_EQ(store.readImage, 1);
    EXPECT_EQ(store.readAnnotation, 1);
    EXPECT_EQ(store.readFile, 0);
    EXPECT_EQ(host.shownPage, 4);
    EXPECT_EQ(host.shownImage, textPage(4));
    EXPECT_EQ(list()->SelectedImage(), 4);
    EXPECT_EQ(list()->Params(4).TIFF_Compression, ioTIFF_G4FAX);
    EXPECT_TRUE(host.enabled);
    EXPECT_EQ(pages.TabText(0), QStringLiteral("Seite 1"));
    EXPECT_EQ(pages.TabText(11), QStringLiteral("Seite 12"));
    for (int i = 0; i < 12; ++i) {
        TPageData* d = list()->UserData(i);
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(d->FromIndex, i);
        EXPECT_EQ(d->Loadet, i == 4);
    }
    // The page data's streams share their bytes.
    TPageData* shown = list()->UserData(4);
    EXPECT_EQ(shown->CurImage.constData(), shown->OldImage.constData());
    EXPECT_EQ(shown->CurAnnotX, QByteArray("<annot page=\"4\"/>"));

    // Showing another page later reads just that one.
    pages.LoadImage(7, true);
    EXPECT_EQ(store.readImage, 2);
    EXPECT_EQ(host.shownPage, 7);
    EXPECT_TRUE(list()->UserData(7)->CurAnnot.isEmpty());

    // The requested page is clamped into the document.
    pages.ReloadImages(99);
    EXPECT_EQ(host.shownPage, 11);
    pages.ReloadImages(-3);
    EXPECT_EQ(host.shownPage, 0);
}

TEST_F(PageModel, ShownStripReadsOnlyThePagesOfTheThumbnailsItDraws) {
    FakeStore store(5);
    host.overview = true;
    pages.SetSource(&store);
    pages.FEditablePages = 3;
    pages.ReloadImages(2);

    EXPECT_EQ(pages.FEditablePages, 2); // unsaved page changes are dropped by the reload
    // In edit mode too, with the strip shown: the page shown, nothing else.
    EXPECT_EQ(store.readFile, 0);
    EXPECT_EQ(store.readImage, 1);
    EXPECT_EQ(store.readAnnotation, 1);
    ASSERT_EQ(list()->ImageCount(), 5);
    for (int i = 0; i < 5; ++i) {
        TPageData* d = list()->UserData(i);
        EXPECT_EQ(d->Loadet, i == 2);
        EXPECT_EQ(d->FromIndex, i);
        EXPECT_EQ(list()->ImageInfoText(i), QStringLiteral("Seite %1").arg(i + 1));
    }
    EXPECT_EQ(host.shownPage, 2);
    EXPECT_EQ(TViewerPages::DecodePage(list()->UserData(2)->OldImage), textPage(2));

    // A thumbnail drawn reads its page, quietly: no status, no input block.
    const QStringList statuses = host.statuses;
    const QImage thumb = list()->Thumbnail(3);
    EXPECT_EQ(store.readImage, 2);
    EXPECT_EQ(host.statuses, statuses);
    EXPECT_TRUE(host.enabled);
    ASSERT_TRUE(list()->UserData(3)->Loadet);
    EXPECT_EQ(TViewerPages::DecodePage(list()->UserData(3)->OldImage), textPage(3));
    ASSERT_FALSE(thumb.isNull());
    EXPECT_LE(thumb.width(), list()->ThumbnailSize().width());
    EXPECT_LE(thumb.height(), list()->ThumbnailSize().height());
    // Black text on white stays dark on light in the small picture.
    EXPECT_GT(qGray(thumb.pixel(0, 0)), 200);
    EXPECT_FALSE(list()->UserData(4)->Loadet);
}

TEST_F(PageModel, ASaveCopiesThePagesNeverLoadedFromTheStoredFileReadOnce) {
    FakeStore store(6);
    pages.SetSource(&store);
    pages.FEditablePages = 2;
    pages.ReloadImages(0);
    ASSERT_EQ(store.readImage, 1);
    // Without the stored file's bytes a page never loaded cannot be written.
    EXPECT_THROW(pages.SaveToStreamTIFF(), EImagesException);

    // Page 1 edited (turned), page 3 deleted, a new page at the end.
    pages.LoadImage(1, true);
    TTiffWriter turned;
    TIOParams g4;
    g4.TIFF_Compression = ioTIFF_G4FAX;
    turned.WritePage(textPage(1).transformed(QTransform().rotate(90)), g4);
    list()->UserData(1)->CurImage = turned.Finish();
    TPageData::_Destroy(list(), 3);
    list()->DeleteImage(3);
    const int added = list()->AppendImage();
    TPageData* fresh = TPageData::_Get(list(), added, -1);
    TTiffWriter one;
    one.WritePage(textPage(9), g4);
    fresh->CurImage = one.Finish();
    fresh->Loadet = true;
    list()->Params(added) = g4;

    pages.ReadStoredPages();
    EXPECT_EQ(store.readFile, 1);
    EXPECT_EQ(store.readImage, 2); // nothing read page by page for the save
    // The pages never loaded know what they are now, for the compression rules.
    EXPECT_EQ(list()->Params(4).TIFF_Compression, ioTIFF_G4FAX);
    EXPECT_EQ(list()->Params(4).Width, 300);
    const QByteArray saved = pages.SaveToStreamTIFF();
    pages.ReleaseStoredPages();
    EXPECT_EQ(store.readFile, 1);

    const QImage edited = TViewerPages::DecodePage(list()->UserData(1)->CurImage);
    ASSERT_EQ(edited.size(), QSize(420, 300));
    const QImage newPage = TViewerPages::DecodePage(fresh->CurImage);
    TTiffReader out(saved), in(store.file);
    ASSERT_EQ(out.PageCount(), 6);
    const int from[] = {0, 1, 2, 4, 5};
    for (int i = 0; i < 6; ++i) {
        out.OpenPage(i);
        if (i == 1) {
            EXPECT_EQ(out.Decode(), edited);
            continue;
        }
        if (i == 5) {
            EXPECT_EQ(out.Decode(), newPage);
            continue;
        }
        in.OpenPage(from[i]);
        EXPECT_EQ(out.Decode(), in.Decode()) << i;
        // Copied as stored: the same compressed bytes.
        EXPECT_EQ(out.RawStrip(0), in.RawStrip(0)) << i;
    }
    // Released: without the bytes again.
    EXPECT_THROW(pages.SaveToStreamTIFF(), EImagesException);
}

TEST_F(PageModel, ABrokenPageFallsBackToTheWholeFile) {
    FakeStore store(3);
    store.brokenPages = {1};
    TLogSink::Clear();
    pages.SetSource(&store);
    pages.FEditablePages = 1;
    pages.ReloadImages(1);
    EXPECT_TRUE(TLogSink::Contains(QStringLiteral(
        "Fehler beim Laden der einzelnen Seite 1. Versuche nun alle Seiten gemeinsam zu laden")));
    EXPECT_EQ(store.readFile, 1);
    EXPECT_EQ(list()->ImageCount(), 3);
    EXPECT_EQ(host.shownPage, 1);
    EXPECT_FALSE(host.shownImage.isNull());
}

TEST_F(PageModel, NoDocumentNewDocumentAndMissingFile) {
    // No document: nothing read, no pages, the tab bar says so and is disabled.
    pages.FEditablePages = 0;
    pages.ReloadImages(0);
    EXPECT_EQ(pages.TabText(0), QStringLiteral("Keine Seiten"));
    EXPECT_EQ(host.shownPage, -1);

    // A new editable document has no file yet: no pages, no error, nothing asked.
    FakeStore fresh;
    fresh.isNew = true;
    pages.SetSource(&fresh);
    pages.FEditablePages = 2;
    pages.ReloadImages(0);
    EXPECT_EQ(list()->ImageCount(), 0);
    EXPECT_EQ(fresh.fileExistsCalls, 0);

    // The same document only to view: there is nothing to show.
    pages.FEditablePages = 1;
    EXPECT_EQ(loadError(0), QStringLiteral("Fehler beim Laden des Dokuments \"*new*\" Datei existiert nicht."));

    // A viewer whose document went away.
    pages.SetSource(nullptr);
    EXPECT_TRUE(loadError(0).startsWith(QStringLiteral("Fehler beim Laden des Dokuments \"*nil*\"")));

    // A stored document whose file is missing: the folders are checked, then asked once more.
    FakeStore gone(2);
    gone.exists = false;
    pages.SetSource(&gone);
    EXPECT_EQ(loadError(0),
              QStringLiteral("Fehler beim Laden des Dokuments \"dok/4711.tiff\" Datei existiert nicht."));
    EXPECT_EQ(gone.fileExistsCalls, 2);
    EXPECT_EQ(gone.structureChecks, 1);
    EXPECT_EQ(list()->ImageCount(), 0);
    EXPECT_TRUE(host.enabled);
}

TEST_F(PageModel, BrokenFilesEndAsLoadErrorsWithNothingLeft) {
    host.overview = true;
    FakeStore store(2);
    pages.SetSource(&store);
    pages.FEditablePages = 2;

    store.file = QByteArray();
    EXPECT_EQ(loadError(0),
              QStringLiteral("Fehler beim Laden des Dokuments \"dok/4711.tiff\" Ungültiges Bild"));

    store.file = QByteArray("Dies ist kein TIFF, sondern Text.");
    EXPECT_TRUE(loadError(0).contains(QStringLiteral("Ungültiges Bild (Keine TIFF-Datei")));

    FakeStore real(2);
    store.file = real.file.left(real.file.size() / 2);
    const QString cut = loadError(0);
    EXPECT_TRUE(cut.contains(QStringLiteral("Ungültiges Bild"))) << cut.toStdString();
    EXPECT_EQ(list()->ImageCount(), 0);
    EXPECT_EQ(host.shownPage, -1);
    EXPECT_TRUE(host.enabled);
    EXPECT_EQ(host.statuses.last(), QStringLiteral("-"));
}

TEST_F(PageModel, ABreakEndsTheLoadSilently) {
    qint64 now = 1000;
    TCancelState cancel([&now] { return now; });
    EXPECT_NO_THROW(cancel.Poll());
    cancel.Arm();
    EXPECT_EQ(cancel.Tag(), 1000);
    now = 3500;
    EXPECT_NO_THROW(cancel.Poll()); // 2,500 ms are still allowed
    now = 3501;
    EXPECT_THROW(cancel.Poll(), EAbort);
    cancel.Reset();
    EXPECT_NO_THROW(cancel.Poll());
    now = 0;
    cancel.Arm();
    EXPECT_TRUE(cancel.Armed()); // a break at tick 0 still counts

    // A whole-file load (the fall-back for a page that cannot be read alone) polls between
    // pages: armed and overdue, it stops with nothing left.
    FakeStore store(40);
    store.brokenPages = {0};
    host.overview = true;
    now = 10000;
    cancel.Reset();
    host.onPoll = [&] {
        if (host.polls == 3) {
            cancel.Arm();
            now += 2501;
        }
        cancel.Poll();
    };
    pages.SetSource(&store);
    pages.FEditablePages = 1;
    EXPECT_THROW(pages.ReloadImages(0), EAbort);
    EXPECT_EQ(list()->ImageCount(), 0);
    EXPECT_TRUE(host.enabled);
}

TEST_F(PageModel, PageDataBelongsToTheListUntilRemoved) {
    list()->AppendImage();
    list()->AppendImage();
    EXPECT_EQ(TPageData::_Get(list(), 5, 0), nullptr);
    QPointer<TPageData> a = TPageData::_Get(list(), 0, 7);
    EXPECT_EQ(a->FromIndex, 7);
    EXPECT_EQ(TPageData::_Get(list(), 0, -1), a.data()); // an existing one is returned as it is
    QPointer<TPageData> deleted = new TPageData(list(), 3);
    pages.FDeletedPages << deleted.data();
    TPageData::_Destroy(list(), 0);
    EXPECT_TRUE(a.isNull());
    EXPECT_EQ(list()->UserData(0), nullptr);
    QPointer<TPageData> b = TPageData::_Get(list(), 1, 1);
    pages.RemoveAllImages();
    EXPECT_TRUE(b.isNull());
    EXPECT_TRUE(deleted.isNull());
    EXPECT_TRUE(pages.FDeletedPages.isEmpty());
    EXPECT_EQ(list()->ImageCount(), 0);
}

TEST(PageRules, CompressionPerPage) {
    struct Case {
        TIEPixelFormat format;
        TIOTIFFCompression in;
        TIOJPEGColorSpace space;
        TIOTIFFCompression out;
        bool changed;
    };
    const Case cases[] = {
        {ie1g, ioTIFF_UNCOMPRESSED, ioJPEG_YCbCr, ioTIFF_LZW, true},
        {ie1g, ioTIFF_PACKBITS, ioJPEG_YCbCr, ioTIFF_LZW, true},
        {ie1g, ioTIFF_LZW, ioJPEG_YCbCr, ioTIFF_LZW, false},
        // Fax pages keep their compression.
        {ie1g, ioTIFF_G4FAX, ioJPEG_YCbCr, ioTIFF_G4FAX, false},
        {ie1g, ioTIFF_G3FAX2D, ioJPEG_YCbCr, ioTIFF_G3FAX2D, false},
        {ie1g, ioTIFF_CCITT1D, ioJPEG_YCbCr, ioTIFF_CCITT1D, false},
        {ie8g, ioTIFF_LZW, ioJPEG_YCbCr, ioTIFF_JPEG, true},
        {ie8g, ioTIFF_JPEG, ioJPEG_YCbCr, ioTIFF_JPEG, true},
        {ie8g, ioTIFF_JPEG, ioJPEG_GRAYLEV, ioTIFF_JPEG, false},
        {ie24RGB, ioTIFF_UNCOMPRESSED, ioJPEG_YCbCr, ioTIFF_JPEG, true},
        {ie24RGB, ioTIFF_OLDJPEG, ioJPEG_YCbCr, ioTIFF_JPEG, true},
        {ie24RGB, ioTIFF_ZIP, ioJPEG_YCbCr, ioTIFF_JPEG, true},
        {ie24RGB, ioTIFF_DEFLATE, ioJPEG_YCbCr, ioTIFF_JPEG, true},
        {ie24RGB, ioTIFF_UNKNOWN, ioJPEG_YCbCr, ioTIFF_JPEG, true},
        {ie24RGB, ioTIFF_LZW, ioJPEG_YCbCr, ioTIFF_LZW, false},
        {ie24RGB, ioTIFF_PACKBITS, ioJPEG_YCbCr, ioTIFF_PACKBITS, false},
        {ie32RGB, ioTIFF_JPEG, ioJPEG_YCbCr, ioTIFF_JPEG, false},
        {ie8p, ioTIFF_UNCOMPRESSED, ioJPEG_YCbCr, ioTIFF_JPEG, true},
        // 16-bit samples, which JPEG cannot hold, keep their compression.
        {ie16g, ioTIFF_UNCOMPRESSED, ioJPEG_YCbCr, ioTIFF_UNCOMPRESSED, false},
        {ie16g, ioTIFF_ZIP, ioJPEG_YCbCr, ioTIFF_ZIP, false},
        {ie48RGB, ioTIFF_UNKNOWN, ioJPEG_YCbCr, ioTIFF_UNKNOWN, false},
        {ie64RGBA, ioTIFF_DEFLATE, ioJPEG_YCbCr, ioTIFF_DEFLATE, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "format " << c.format << " compression " << c.in);
        TIOParams p;
        p.PixelFormat = c.format;
        p.TIFF_Compression = c.in;
        p.TIFF_JPEGColorSpace = c.space;
        EXPECT_EQ(TViewerPages::CheckImageFormatAndSetName(p, {}), c.changed);
        EXPECT_EQ(p.TIFF_Compression, c.out);
        if (c.format == ie8g) {
            EXPECT_EQ(p.TIFF_JPEGColorSpace, ioJPEG_GRAYLEV);
        }
    }
    TLogSink::Clear();
    TIOParams g4;
    g4.PixelFormat = ie1g;
    g4.TIFF_Compression = ioTIFF_G4FAX;
    EXPECT_TRUE(TViewerPages::CheckImageFormatAndSetName(g4, QStringLiteral("btEditScanClick")));
    EXPECT_EQ(g4.TIFF_ImageDescription, QByteArray("Code-Source: btEditScanClick"));
    EXPECT_TRUE(TLogSink::Contains(
        QStringLiteral("TFileViewerFrameTIFF.CheckImageFormatAndSetName: Code-Source = btEditScanClick")));
}

TEST(PageRules, ScannedPagesAreWrittenAsTheRulesSay) {
    // A grey scan becomes grey JPEG, a black-and-white one LZW, an uncompressed colour page JPEG,
    // a G4 page stays G4: read back by libtiff's own tiffinfo.
    QImage grey(200, 100, QImage::Format_Grayscale8);
    grey.fill(128);
    QImage colour(200, 100, QImage::Format_RGB32);
    colour.fill(qRgb(10, 200, 30));
    const QImage mono = textPage(1);
    struct Case {
        QImage image;
        TIOTIFFCompression in;
        const char* scheme;
        const char* photometric;
    };
    const Case cases[] = {{grey, ioTIFF_UNCOMPRESSED, "JPEG", "min-is-black"},
                          {mono, ioTIFF_UNCOMPRESSED, "LZW", "min-is-white"},
                          {colour, ioTIFF_UNCOMPRESSED, "JPEG", "YCbCr"},
                          {mono, ioTIFF_G4FAX, "CCITT Group 4", "min-is-white"}};
    for (const Case& c : cases) {
        TIOParams p;
        p.PixelFormat = PixelFormatOf(c.image);
        p.TIFF_Compression = c.in;
        TViewerPages::CheckImageFormatAndSetName(p, QStringLiteral("test"));
        TTiffWriter w;
        w.WritePage(c.image, p);
        QTemporaryFile f;
        ASSERT_TRUE(f.open());
        f.write(w.Finish());
        f.flush();
        QProcess info;
        info.start(QStringLiteral("tiffinfo"), {f.fileName()});
        info.waitForFinished();
        const QString out = QString::fromLocal8Bit(info.readAllStandardOutput());
        EXPECT_TRUE(out.contains(QStringLiteral("Compression Scheme: ") + QLatin1String(c.scheme)))
            << out.toStdString();
        EXPECT_TRUE(out.contains(QStringLiteral("Photometric Interpretation: ") + QLatin1String(c.photometric)))
            << out.toStdString();
        EXPECT_TRUE(out.contains(QStringLiteral("Code-Source: test")));
    }
}

TEST(PageRules, OrientationAfterScanning) {
    TLogSink::Clear();
    EXPECT_FALSE(TViewerPages::PageFormatCheck(QStringLiteral("scan"), 1, 2480, 3508, 1, 300)); // A4 portrait
    EXPECT_TRUE(TViewerPages::PageFormatCheck(QStringLiteral("scan"), 2, 3508, 2480, 1, 300));  // A4 landscape
    EXPECT_TRUE(TViewerPages::PageFormatCheck(QStringLiteral("scan"), 3, 3508, 4961, 1, 300));  // A3 portrait
    EXPECT_FALSE(TViewerPages::PageFormatCheck(QStringLiteral("scan"), 4, 4961, 3508, 1, 300)); // A3 landscape
    EXPECT_TRUE(TViewerPages::PageFormatCheck(QStringLiteral("scan"), 5, 1748, 1240, 1, 300));  // A5 landscape
    EXPECT_TRUE(TLogSink::Contains(QStringLiteral(
        "TFileViewerFrameTIFF.btEditScanClick scan : Seite ins Hochformat drehen? Seite=2 Width=3508 "
        "Height=2480 Scaling=1.000000 Resolution=300.000000 Lenght=2480 x=209.973333 Format=A4")));
    // A driver that reports no resolution: no paper size, no turn.
    EXPECT_FALSE(TViewerPages::PageFormatCheck(QStringLiteral("scan"), 6, 3508, 2480, 1, 0));
    EXPECT_FALSE(TViewerPages::PageFormatCheck(QStringLiteral("scan"), 7, 3508, 2480, 1, -72));
}

TEST(PageRules, AnnotationValueConversions) {
    EXPECT_EQ(TViewerPages::CheckInt(QVariant(), 5), 5);
    EXPECT_EQ(TViewerPages::CheckInt(QVariant(QStringLiteral("12")), 5), 12);
    EXPECT_EQ(TViewerPages::CheckInt(QVariant(QStringLiteral(" -3")), 5), -3);
    EXPECT_EQ(TViewerPages::CheckInt(QVariant(QStringLiteral("12px")), 5), 5);
    EXPECT_EQ(TViewerPages::CheckInt(QVariant(QStringLiteral("")), 5), 5);
    EXPECT_EQ(TViewerPages::CheckInt(QVariant(42), 5), 42);
    EXPECT_EQ(TViewerPages::CheckStr(QVariant()), QString());
    EXPECT_EQ(TViewerPages::CheckStr(QVariant(7)), QStringLiteral("7"));
    EXPECT_EQ(TViewerPages::CheckStr(QVariant(QStringLiteral("Text"))), QStringLiteral("Text"));
}

TEST(PageRules, StampList) {
    EXPECT_THROW(TViewerPages::BuildImageList({QStringLiteral("A")}, {}, Qt::white, QSize(32, 32)),
                 EImagesException);

    QImage stamp(60, 30, QImage::Format_ARGB32);
    stamp.fill(Qt::transparent);
    for (int x = 0; x < 60; ++x)
        stamp.setPixel(x, 15, qRgb(200, 0, 0));
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    stamp.save(&buffer, "PNG");

    TLogSink::Clear();
    const QList<TStampPicture> list = TViewerPages::BuildImageList(
        {QStringLiteral("Geprüft=1"), QStringLiteral("Kaputt=2")},
        [&](const QString& name) { return name == QStringLiteral("Geprüft") ? png : QByteArray("xx"); },
        QColor(Qt::yellow), QSize(32, 32));
    ASSERT_EQ(list.size(), 2);
    EXPECT_EQ(list[0].Name, QStringLiteral("Geprüft"));
    EXPECT_EQ(list[0].Picture.size(), QSize(32, 32));
    // Transparent parts take the background colour.
    EXPECT_EQ(list[0].Picture.pixel(0, 0), QColor(Qt::yellow).rgb());
    EXPECT_EQ(list[1].Name, QStringLiteral("Kaputt"));
    EXPECT_TRUE(list[1].Picture.isNull());
    EXPECT_TRUE(TLogSink::Contains(
        QStringLiteral("TFileViewerFrameTIFF.SetImageList: Stempel \"Kaputt\" konnte nicht geladen werden")));
}

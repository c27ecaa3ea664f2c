// The TIFF viewer's page commands besides scanning: pages from image files, quarter turns with
// the annotations and of pages of other programs (16-bit, alpha), the guard against pending
// annotation edits, the related documents, the keys Escape and Page Down, and the memory a large
// page takes.
#include "ViewerFixture.h"

#include "../../imaging/TiffPages.h"

#include <Dataclient_files.h>
#include <ForeignFiles.h>
#include <PeakMemory.h>
#include <UFileViewerTIFF.PageSelector.h>
#include <view/TImageEnVect.h>

#include <QFile>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

using namespace viewertest;
using namespace Imaging;

namespace {

class PageFilesTest : public ViewerTest {
protected:
    void TearDown() override {
        m_viewer.reset();
        m_doc.reset();
        ViewerTest::TearDown();
    }
    TFileViewerFrameTIFF& Open(int id) {
        m_doc = std::make_unique<TDokument>();
        m_doc->AssignToDokId(id);
        m_viewer = std::make_unique<TFileViewerFrameTIFF>(nullptr, m_doc.get(), true, nullptr);
        m_viewer->resize(900, 700);
        m_viewer->show();
        return *m_viewer;
    }
    QString File(const QString& name, const QByteArray& bytes) {
        QFile f(m_dir.filePath(name));
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
        return f.fileName();
    }
    static QByteArray Png(QColor colour) {
        QImage img(120, 80, QImage::Format_RGB32);
        img.fill(colour);
        QByteArray bytes;
        QBuffer b(&bytes);
        b.open(QIODevice::WriteOnly);
        img.save(&b, "PNG");
        return bytes;
    }
    QStringList Captions() {
        QStringList texts;
        for (int i = 0; i < m_viewer->imOverviewPages()->ImageCount(); ++i)
            texts << m_viewer->imOverviewPages()->ImageInfoText(i);
        return texts;
    }
    QImage Shown(int page) {
        return TViewerPages::DecodePage(m_viewer->imOverviewPages()->UserData(page)->CurImage)
            .convertToFormat(QImage::Format_Grayscale8);
    }

    QByteArray Stored() { return DCFileMethods().ReadFile(m_doc->DMSRemoteFilename()); }

    QTemporaryDir m_dir;
    std::unique_ptr<TDokument> m_doc;
    std::unique_ptr<TFileViewerFrameTIFF> m_viewer;
};

// Samples of a page of width x height pixels turned a quarter, right (clockwise as it shows) or
// left.
QList<quint16> turned(const QList<quint16>& samples, int width, int height, int channels, bool right) {
    QList<quint16> out(samples.size());
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const int nx = right ? height - 1 - y : y;
            const int ny = right ? x : width - 1 - x;
            for (int c = 0; c < channels; ++c)
                out[(qsizetype(ny) * height + nx) * channels + c] = samples[(qsizetype(y) * width + x) * channels + c];
        }
    return out;
}

// Colour with alpha from Pillow: a transparent left half over black, a half-transparent band and
// an opaque red square.
QByteArray pillowRgba(const char* format) {
    return testsupport::PillowFile(QStringLiteral(
        "import sys\nfrom PIL import Image\nim = Image.new('RGBA', (96, 64), (0, 0, 0, 0))\n"
        "for y in range(64):\n"
        "    for x in range(48, 96):\n"
        "        im.putpixel((x, y), (200, 120, 40, 64 + 2 * x))\n"
        "im.paste((255, 0, 0, 255), (20, 20, 40, 40))\n"
        "im.save(sys.argv[1], format='%1')\n").arg(QLatin1String(format)));
}

} // namespace

TEST_F(PageFilesTest, FilesAddEveryTiffPageWithRunningCaptionsAndTheirCompressedBytes) {
    TFileViewerFrameTIFF& v = Open(store(Tiff(1)));
    const QByteArray three = Tiff(3);
    m_answers.ExpectFile({}, {File(QStringLiteral("DREI.TIF"), three), File(QStringLiteral("rot.png"), Png(Qt::red))});
    v.btEditLoadClick(nullptr);
    ASSERT_EQ(m_answers.FileDialogsShown().size(), 1u);
    EXPECT_TRUE(m_answers.FileDialogsShown()[0].request.filter.startsWith(
        QStringLiteral("All Images (jpeg png tiff bmp svg)|*.jpeg;")));
    EXPECT_EQ(m_answers.FileDialogsShown()[0].kind, QStringLiteral("openMany"));
    EXPECT_EQ(Captions().mid(1), (QStringList{QStringLiteral("Seite 1"), QStringLiteral("Seite 2"),
                                              QStringLiteral("Seite 3"), QStringLiteral("Seite 4")}));
    // A TIFF page comes as it was compressed; a picture is stored by the page rules.
    TTiffReader original(three);
    original.OpenPage(1);
    TPageData* second = v.imOverviewPages()->UserData(2);
    EXPECT_EQ(second->CurImage, original.ExtractPage());
    EXPECT_EQ(second->FromIndex, -1);
    EXPECT_EQ(v.imOverviewPages()->Params(2).TIFF_ImageDescription,
              QByteArray("Code-Source: TFileViewerFrameTIFF.btEditLoadClick (DREI.TIF : 2)"));
    EXPECT_EQ(v.imOverviewPages()->Params(4).TIFF_Compression, ioTIFF_JPEG);
    EXPECT_EQ(v.imOverviewPages()->SelectedImage(), 4);
    EXPECT_TRUE(v.CheckPageChanged());

    // Numbers go on over the next load; cancelling the dialog adds nothing.
    m_answers.ExpectFile({}, {File(QStringLiteral("blau.png"), Png(Qt::blue))});
    v.btEditLoadClick(nullptr);
    EXPECT_EQ(Captions().last(), QStringLiteral("Seite 5"));
    m_answers.ExpectFile({}, {});
    v.btEditLoadClick(nullptr);
    EXPECT_EQ(v.imOverviewPages()->ImageCount(), 6);
}

TEST_F(PageFilesTest, ABrokenTiffFallsBackToItsPictureAndAnUnreadableFileEndsTheLoad) {
    TFileViewerFrameTIFF& v = Open(store(Tiff(1)));
    m_answers.ExpectFile({}, {File(QStringLiteral("eigentlich.tiff"), Png(Qt::green)),
                              File(QStringLiteral("kaputt.png"), QByteArray("kein Bild")),
                              File(QStringLiteral("danach.png"), Png(Qt::red))});
    m_answers.Expect(QStringLiteral("Importiere nur die erste Seite"), Vcl::mrOk);
    m_answers.Expect(QStringLiteral("kaputt.png"), Vcl::mrOk);
    v.btEditLoadClick(nullptr);
    EXPECT_EQ(Captions(), (QStringList{QStringLiteral("Seite 1"), QStringLiteral("Seite 1")}));
    EXPECT_EQ(m_answers.Pending(), 0);
}

TEST_F(PageFilesTest, QuarterTurnsTurnThePageWithItsAnnotations) {
    TFileViewerFrameTIFF& v = Open(store(Tiff(2)));
    const QImage before = Shown(0);
    v.LoadImage(0, true);
    v.AddAnnotHighlight(QRect(20, 30, 60, 30), 65535);
    v.SaveAnnotationsOfPage(0);
    v.btEditRotateLeftClick(nullptr);
    EXPECT_EQ(Shown(0).size(), before.size().transposed());
    const TIEVObject turned = v.imCurrentPage->Model().ObjAt(0);
    EXPECT_EQ(turned.Right - turned.Left, 30); // the box turned with the page
    v.btEditRotateLeftClick(nullptr);
    const QImage left2 = Shown(0);
    v.btEditRotateRightClick(nullptr);
    v.btEditRotateRightClick(nullptr);
    EXPECT_EQ(Shown(0), before);
    EXPECT_EQ(left2, before.transformed(QTransform().rotate(180)));
    EXPECT_EQ(v.Pages().FEditablePages, 3);

    // An annotation edit not yet taken into the page refuses every page command.
    v.SaveUndo(nullptr);
    m_answers.Expect(QStringLiteral("Bitte zuerst die Anmerkungen speichern oder verwerfen."), Vcl::mrOk);
    EXPECT_THROW(v.btEditRotateRightClick(nullptr), EAbort);
    EXPECT_EQ(Shown(0), before);
}

TEST_F(PageFilesTest, RelatedDocumentsShareTheKeywordTheirTypeNames) {
    testsupport::TestDatabase::Exec(QStringLiteral(
        "DELETE FROM recnokeyword WHERE r_tablename = 'picndoku';"
        "UPDATE dokutypes SET dt_relateddokkeyword = 'auftrag' WHERE dt_id = 'LS'"));
    const int first = store(Tiff(1));
    const int second = store(Tiff(1), QStringLiteral("VT"));
    const int other = store(Tiff(1));
    testsupport::TestDatabase::Exec(QStringLiteral(
        "INSERT INTO recnokeyword (r_tablename, r_dbrid, r_kategorie, r_descr) SELECT 'picndoku', "
        "dbrid, 'auftrag', CASE WHEN pd_id = %1 THEN '9' ELSE '4711' END FROM picndoku")
                                       .arg(other));
    TFileViewerFrameTIFF& v = Open(first);
    EXPECT_TRUE(v.pnRelation->isVisible());
    ASSERT_EQ(v.gridRelatedDoks->rowCount(), 1);
    EXPECT_EQ(v.gridRelatedDoks->item(0, 0)->text(), QString::number(second));

    // A double click shows it in a preview of its own, the two windows side by side.
    QTableWidget* grid = v.gridRelatedDoks;
    const QPoint cell = grid->visualRect(grid->model()->index(0, 2)).center();
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell);
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, cell);
    const QList<TFormFilePreview*> shown = OpenPreviews();
    ASSERT_EQ(shown.size(), 1);
    ASSERT_NE(shown[0]->Dokument(), nullptr);
    EXPECT_EQ(shown[0]->Dokument()->Id(), second);
    EXPECT_EQ(v.window()->frameGeometry().left(), 0);
    EXPECT_EQ(shown[0]->frameGeometry().left(), v.screen()->availableGeometry().width() / 2);
    delete shown[0];
    // A type without a keyword category shows no panel.
    EXPECT_FALSE(Open(second).pnRelation->isVisible());
}

TEST_F(PageFilesTest, EscapeSelectsBeforeItClosesAndPageDownStaysInTheViewer) {
    TFileViewerFrameTIFF& v = Open(store(Tiff(1)));
    int key = Qt::Key_PageDown;
    v.FormKeyUp(&v, key, {});
    EXPECT_EQ(key, 0);
    ASSERT_TRUE(v.btMouseMove->isChecked());
    key = Qt::Key_Escape;
    v.FormKeyUp(&v, key, {});
    EXPECT_EQ(key, 0);
    EXPECT_TRUE(v.btMouseSelect->isChecked());
    EXPECT_TRUE(v.isVisible());
    key = Qt::Key_Escape;
    v.FormKeyUp(&v, key, {});
    EXPECT_FALSE(v.isVisible());
}

// A page turned upright by the scan's format check takes its annotations along: a point (x, y)
// of the old page is (height - y, x) on the turned one.
TEST_F(PageFilesTest, TurningAPageUprightTurnsItsAnnotations) {
    TFileViewerFrameTIFF& v = Open(store(Tiff(2)));
    const QSize page = v.imCurrentPage->Model().Bitmap().size();
    v.AddAnnotHighlight(QRect(20, 20, 60, 30), 65535);
    v.AddAnnotArrow(QRect(100, 200, 50, -40), QStringLiteral("Pfeil"), false, {}, 255, 0, false, 26);
    v.SaveAnnotationsOfPage(0);
    v.DoPageRotate(QStringLiteral("S"), 0, true);
    const Imaging::TIEVectModel& m = v.imCurrentPage->Model();
    EXPECT_EQ(m.Bitmap().size(), page.transposed());
    ASSERT_EQ(m.ObjectsCount(), 2);
    const Imaging::TIEVObject& box = m.ObjAt(0);
    const int h = page.height();
    EXPECT_EQ(QRect(QPoint(box.Left, box.Top), QPoint(box.Right, box.Bottom)),
              QRect(QPoint(h - 50, 20), QPoint(h - 20, 80)));
    // An arrow keeps its direction: its tail and head move each.
    const Imaging::TIEVObject& arrow = m.ObjAt(1);
    EXPECT_EQ(QPoint(arrow.Left, arrow.Top), QPoint(h - 200, 100));
    EXPECT_EQ(QPoint(arrow.Right, arrow.Bottom), QPoint(h - 160, 150));
    EXPECT_TRUE(v.imOverviewPages()->UserData(0)->CurAnnotX.contains(
        QStringLiteral("<highlight top=\"20\" left=\"%1\" bottom=\"80\" right=\"%2\"")
            .arg(h - 50)
            .arg(h - 20)
            .toUtf8()));
}

TEST_F(PageFilesTest, TurnedPagesKeepTheirDepthAndTransparencyAndTheOthersTheirSamples) {
    // One big-endian document of Pillow's, ImageMagick's and tiffcp's pages: 16-bit grey with LZW
    // and the predictor, 16-bit colour with Deflate, colour with alpha with LZW and in Deflate
    // tiles, and 16-bit grey with ZSTD that is not turned.
    const QByteArray grey = testsupport::PillowGrey16(100, 70);
    const QByteArray colour = testsupport::MagickFile(
        {QStringLiteral("-seed"), QStringLiteral("9"), QStringLiteral("-size"), QStringLiteral("80x60"),
         QStringLiteral("plasma:fractal"), QStringLiteral("-depth"), QStringLiteral("16"),
         QStringLiteral("-compress"), QStringLiteral("zip")});
    const QByteArray alpha = pillowRgba("TIFF");
    using testsupport::Tiffcp;
    const QByteArray document = Tiffcp(
        QList<QByteArray>{Tiffcp(grey, {QStringLiteral("-c"), QStringLiteral("lzw:2")}),
                          Tiffcp(colour, {QStringLiteral("-c"), QStringLiteral("zip:2")}),
                          Tiffcp(alpha, {QStringLiteral("-c"), QStringLiteral("lzw")}),
                          Tiffcp(alpha, {QStringLiteral("-c"), QStringLiteral("zip"), QStringLiteral("-t"),
                                         QStringLiteral("-w"), QStringLiteral("16"), QStringLiteral("-l"),
                                         QStringLiteral("16")}),
                          Tiffcp(grey, {QStringLiteral("-c"), QStringLiteral("zstd")})},
        {QStringLiteral("-B")});
    ASSERT_TRUE(document.startsWith("MM"));
    const QList<tiffpages::TiffInfoPage> before = tiffpages::TiffInfo(document);
    const QList<QImage> onWhite = tiffpages::PillowPagesOnWhite(document);
    ASSERT_EQ(before.size(), 5);
    ASSERT_EQ(onWhite.size(), 5);

    TFileViewerFrameTIFF& v = Open(store(document));
    const auto turn = [&v](int page, QAction* button) {
        v.tcPages->SetCurrentIndex(page);
        ASSERT_EQ(v.imOverviewPages()->SelectedImage(), page);
        button->trigger();
    };
    turn(0, v.btEditRotateRight);
    turn(1, v.btEditRotateLeft);
    turn(2, v.btEditRotateRight);
    turn(3, v.btEditRotateRight);
    v.btEditSave->trigger();

    const QByteArray saved = Stored();
    const QList<tiffpages::TiffInfoPage> after = tiffpages::TiffInfo(saved);
    ASSERT_EQ(after.size(), 5);
    // The 16-bit pages are turned sample for sample, in their compression.
    for (int page : {0, 1, 4})
        EXPECT_EQ(after[page].Field(QStringLiteral("Bits/Sample")), QStringLiteral("16")) << page;
    EXPECT_EQ(after[0].Field(QStringLiteral("Compression Scheme")), QStringLiteral("LZW"));
    EXPECT_EQ(after[1].Field(QStringLiteral("Compression Scheme")), QStringLiteral("AdobeDeflate"));
    EXPECT_EQ(after[4].Field(QStringLiteral("Compression Scheme")), QStringLiteral("ZSTD"));
    EXPECT_TRUE(after[0].Words() == turned(before[0].Words(), 100, 70, 1, true));
    EXPECT_TRUE(after[1].Words() == turned(before[1].Words(), 80, 60, 3, false));
    EXPECT_TRUE(after[4].data == before[4].data);
    // The pages with alpha show on white as they did, turned: the LZW one keeps its alpha, the
    // Deflate one is JPEG now.
    EXPECT_EQ(after[2].Field(QStringLiteral("Samples/Pixel")), QStringLiteral("4"));
    EXPECT_EQ(after[3].Field(QStringLiteral("Compression Scheme")), QStringLiteral("JPEG"));
    const QList<QImage> shown = tiffpages::PillowPagesOnWhite(saved);
    ASSERT_EQ(shown.size(), 5);
    const QTransform right = QTransform().rotate(90);
    EXPECT_LT(tiffpages::MeanDifference(shown[2], onWhite[2].transformed(right)), 0.5);
    EXPECT_LT(tiffpages::MeanDifference(shown[3], onWhite[3].transformed(right)), 4.0);
}

TEST_F(PageFilesTest, APictureWithTransparentPartsComesOnWhitePaper) {
    TFileViewerFrameTIFF& v = Open(store(Tiff(1)));
    const QByteArray png = pillowRgba("PNG");
    ASSERT_TRUE(png.startsWith("\x89PNG"));
    m_answers.ExpectFile({}, {File(QStringLiteral("ecke.png"), png)});
    v.btEditLoad->trigger();
    ASSERT_EQ(v.imOverviewPages()->ImageCount(), 2);
    v.btEditSave->trigger();
    const QList<QImage> shown = tiffpages::PillowPagesOnWhite(Stored());
    const QList<QImage> picture = tiffpages::PillowPagesOnWhite(png);
    ASSERT_EQ(shown.size(), 2);
    ASSERT_EQ(picture.size(), 1);
    EXPECT_LT(tiffpages::MeanDifference(shown[1], picture[0]), 4.0);
    EXPECT_GE(qGray(shown[1].pixel(5, 60)), 245);
}

TEST_F(PageFilesTest, ALargePageIsHeldOnceBesideWhatTheScreenShows) {
    // A colour scan of 4000 x 5600 pixels, JPEG as the rules store it: paper with lines of
    // "text" and a picture.
    QImage scan(4000, 5600, QImage::Format_RGB888);
    for (int y = 0; y < scan.height(); ++y) {
        uchar* line = scan.scanLine(y);
        const bool text = y % 60 < 12;
        for (int x = 0; x < scan.width(); ++x) {
            const bool picture = x > 2000 && y > 600 && y < 2600;
            for (int c = 0; c < 3; ++c)
                line[x * 3 + c] = picture ? uchar((x / 9 + y / 7 + c * 80) & 0xff)
                                          : text && (x / 23) % 4 ? uchar(30) : uchar(245);
        }
    }
    TIOParams params;
    params.TIFF_Compression = ioTIFF_JPEG;
    TTiffWriter writer;
    writer.WritePage(scan, params);
    scan = QImage();
    const int id = store(writer.Finish());

    // The view, the navigator and the strip each show the page at their size.
    const testsupport::TPeakMemory memory;
    TFileViewerFrameTIFF& v = Open(id);
    v.btFilterHigh->trigger();
    if (!v.btShowNavigator->isChecked())
        v.btShowNavigator->trigger();
    v.btZoomFull->trigger();
    v.repaint();
    QCoreApplication::processEvents();
    v.imCurrentPage->SetZoom(60);
    v.repaint();
    QCoreApplication::processEvents();
    const double pageMb = double(v.imCurrentPage->Model().Bitmap().sizeInBytes()) / (1 << 20);
    ASSERT_GT(pageMb, 60.0);
    EXPECT_LT(memory.ExtraMb(), testsupport::AllowedPeakMb(1.5 * pageMb)) << pageMb << " MB decoded";
}

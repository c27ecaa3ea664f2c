// The TIFF viewer's page commands besides scanning: pages from image files, quarter turns with
// the annotations, the guard against pending annotation edits, the related documents and the
// keys Escape and Page Down.
#include "ViewerFixture.h"

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

    QTemporaryDir m_dir;
    std::unique_ptr<TDokument> m_doc;
    std::unique_ptr<TFileViewerFrameTIFF> m_viewer;
};

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

// Annotating a stored document in the TIFF viewer with the mouse and the ribbon: placing by tool,
// the sizes a new object gets, the property editors, the stamp choice with its password, the
// annotations written into the page's data, and the thumbnail size on Ctrl+wheel.
#include "ViewerFixture.h"

#include <AnnotChanges.h>
#include <Dataclient_files.h>
#include <Korvexcommonvcl.h>
#include <RtlDialog.h>
#include <TVoskColorBox.h>
#include <TVoskRibbon.h>
#include <UFileViewerTIFF.PageSelector.h>
#include <UFileViewerTIFF.Stamps.h>
#include <uExceptions.h>
#include <view/TImageEnVect.h>

#include <QComboBox>
#include <QLineEdit>
#include <QListView>
#include <QSpinBox>
#include <QTabBar>
#include <QTest>

using namespace viewertest;
using namespace Imaging;

namespace {

class AnnotationViewerTest : public ViewerTest {
protected:
    void SetUp() override {
        ViewerTest::SetUp();
        TImageListLoader::Unload();
    }
    void TearDown() override {
        m_viewer.reset();
        m_doc.reset();
        TImageListLoader::Unload();
        RtlDialog::FAskPasswordEx.Reset();
        ViewerTest::TearDown();
    }
    // A two-page document open for editing, the canvas at 100 %.
    TFileViewerFrameTIFF& Open(int pages = 2) {
        const int id = store(Tiff(pages));
        m_doc = std::make_unique<TDokument>();
        m_doc->AssignToDokId(id);
        m_viewer = std::make_unique<TFileViewerFrameTIFF>(nullptr, m_doc.get(), true, nullptr);
        m_viewer->resize(1000, 800);
        m_viewer->show();
        m_viewer->imCurrentPage->SetZoom(100);
        return *m_viewer;
    }
    TIEVectModel& Canvas() { return m_viewer->imCurrentPage->Model(); }
    QPoint At(double x, double y) { return m_viewer->imCurrentPage->mapFromScene(QPointF(x, y)); }
    void Drag(QPointF from, QPointF to, Qt::KeyboardModifiers mods = {}) {
        QWidget* port = m_viewer->imCurrentPage->viewport();
        QTest::mousePress(port, Qt::LeftButton, mods, At(from.x(), from.y()));
        QTest::mouseMove(port, At(to.x(), to.y()));
        QTest::mouseRelease(port, Qt::LeftButton, mods, At(to.x(), to.y()));
    }
    QRect Rect(int index) {
        const TIEVObject& o = Canvas().ObjAt(index);
        return QRect(o.Left, o.Top, o.Right - o.Left, o.Bottom - o.Top);
    }
    // A stamp document whose picture is a png of the given colour; its id.
    int AddStamp(const QString& name, const QString& password, QColor colour) {
        QImage picture(120, 40, QImage::Format_RGB32);
        picture.fill(colour);
        QByteArray png;
        QBuffer b(&png);
        b.open(QIODevice::WriteOnly);
        picture.save(&b, "PNG");
        b.close();
        b.open(QIODevice::ReadOnly);
        TDokument d;
        const int id = d.DMSAddFileAsBLOB(b, QStringLiteral("stempel.png"),
                                          QStringLiteral("dokseals"), QStringLiteral("0"));
        testsupport::TestDatabase::Exec(
            QStringLiteral(
                "UPDATE picndoku SET pd_path = '%1', pd_dokident = '%2' WHERE pd_id = %3")
                .arg(name, password)
                .arg(id));
        return id;
    }

    // The stored annotation XML of a page of the open document.
    QByteArray Stored(int page) {
        return DCFileMethods().ReadAnnotation(m_doc->DMSRemoteFilename(), page);
    }
    // The document opened anew (a second viewer): the stored form of the page as it reads it
    // and writes it again.
    QByteArray Reopened(int page, int* objects = nullptr) {
        TDokument doc;
        doc.AssignToDokId(m_doc->Id());
        TFileViewerFrameTIFF again(nullptr, &doc, true, nullptr);
        again.LoadImage(page, true);
        if (objects)
            *objects = again.imCurrentPage->Model().ObjectsCount();
        QByteArray full, stored;
        again.Annot().SaveAnnotations(full, stored);
        return stored;
    }
    void Click(QPointF at) { Drag(at, at); }

    std::unique_ptr<TDokument> m_doc;
    std::unique_ptr<TFileViewerFrameTIFF> m_viewer;
    viewertest::ErrorForms m_errors;
};

} // namespace

TEST_F(AnnotationViewerTest, PlacedObjectsGetTheirSizesAndCtrlKeepsTheTool) {
    TFileViewerFrameTIFF& v = Open();
    v.btAddHighlight->trigger();
    EXPECT_TRUE(v.btAddHighlight->isChecked());
    EXPECT_TRUE(v.ribMenuHighlight->IsTabVisible());
    // A 10 x 10 highlight becomes 50 x 25; without Ctrl the tool goes back to "Auswählen".
    Drag({100, 100}, {110, 110});
    ASSERT_EQ(Canvas().ObjectsCount(), 1);
    EXPECT_EQ(Rect(0).size(), QSize(50, 25));
    EXPECT_TRUE(v.btMouseSelect->isChecked());
    EXPECT_EQ(v.imCurrentPage->MouseInteractVt(), QList<TIEMouseInteractVtItem>{miObjectSelect});
    EXPECT_EQ(v.Annot().AnnotData(Canvas().GetObjFromIndex(0)).Creator, QStringLiteral("anna"));
    // One undo step takes it away again.
    EXPECT_TRUE(v.btAnnotUndo->isEnabled());
    v.btAnnotUndo->trigger();
    EXPECT_EQ(Canvas().ObjectsCount(), 0);

    // Arrows: 30 x 10 becomes 50 x 25, 40 x 20 stays; with Ctrl the arrow tool stays.
    v.btAddArrow->trigger();
    Drag({100, 200}, {130, 210}, Qt::ControlModifier);
    EXPECT_TRUE(v.btAddArrow->isChecked());
    Drag({100, 300}, {140, 320});
    ASSERT_EQ(Canvas().ObjectsCount(), 2);
    EXPECT_EQ(Rect(0).size(), QSize(50, 25));
    EXPECT_EQ(Rect(1).size(), QSize(40, 20));
    EXPECT_TRUE(v.btMouseSelect->isChecked());

    // Dropped across the right edge: moved left to end one pixel inside the page.
    const int pageWidth = Canvas().Bitmap().width();
    v.btAddHighlight->trigger();
    Drag({pageWidth - 20.0, 50}, {pageWidth - 20.0 + 60, 80});
    EXPECT_EQ(Rect(2).x() + Rect(2).width(), pageWidth - 1);
}

TEST_F(AnnotationViewerTest, AColourForAMixedSelectionChangesItsHighlightsInOneStep) {
    TFileViewerFrameTIFF& v = Open();
    v.AddAnnotHighlight(QRect(10, 10, 60, 30), 65535);
    v.AddAnnotHighlight(QRect(10, 60, 60, 30), 65535);
    v.AddAnnotText(QRect(10, 110, 80, 30), QStringLiteral("Text"), 0, 20, QStringLiteral("Arial"),
                   false, false, TVoskColorBox::kNone, 0);
    v.SetAnnotationRights();
    v.btMouseSelect->trigger();
    for (int i = 0; i < 3; ++i)
        Canvas().AddSelObject(Canvas().GetObjFromIndex(i));
    v.ShowOptions();
    // Both tabs show, no active tab is forced.
    EXPECT_TRUE(v.ribMenuHighlight->IsTabVisible());
    EXPECT_TRUE(v.ribMenuText->IsTabVisible());
    const int undo = Canvas().UndoCount();
    for (qint32 colour : {255, 65280, 16711680}) {
        v.cbHighlightColor->SetColorValue(colour);
        v.cbHighlightColor->OnChange();
    }
    EXPECT_EQ(Canvas().UndoCount(), undo + 1);
    EXPECT_EQ(Canvas().ObjAt(0).BrushColor, 16711680);
    EXPECT_EQ(Canvas().ObjAt(1).BrushColor, 16711680);
    EXPECT_EQ(Canvas().Obj(-1).BrushColor, 16711680);
    EXPECT_EQ(v.lbStatus->text(), QStringLiteral("3 Anmerkungen markiert"));

    // While the viewer writes its controls itself, no editor does anything.
    const int width = Canvas().Obj(-1).Width();
    v.FChangeGUI = true;
    v.edDotSize->setValue(40);
    v.cbLoadImageClick(v.cbLoadImage);
    v.FChangeGUI = false;
    EXPECT_EQ(Canvas().Obj(-1).Width(), width);
    EXPECT_THROW(v.cbLoadImageClick(v.cbLoadImage), EImagesException);
}

TEST_F(AnnotationViewerTest, AnnotationsGoIntoThePageWhenAnotherPageIsShown) {
    TFileViewerFrameTIFF& v = Open(3);
    v.btAddDot->trigger();
    Drag({200, 200}, {200, 200});
    EXPECT_EQ(Canvas().ObjectsCount(), 1);
    TPageData* first = v.imOverviewPages()->UserData(0);
    EXPECT_TRUE(first->CurAnnotX.isEmpty());
    v.tcPages->SetCurrentIndex(1);
    EXPECT_TRUE(first->CurAnnotX.contains("<dot "));
    EXPECT_EQ(first->CurAnnot, first->CurAnnotX);
    EXPECT_EQ(Canvas().ObjectsCount(), 0);
    EXPECT_TRUE(CheckAnnotChanged(*v.imOverviewPages(), v.Pages().FDeletedPages));
    // Back on the first page its dot is there again, with no undo history.
    v.tcPages->SetCurrentIndex(0);
    EXPECT_EQ(Canvas().ObjectsCount(), 1);
    EXPECT_FALSE(v.CanUndo());

    // While a text is being edited the page stays.
    v.btAddText->trigger();
    Drag({300, 300}, {400, 340});
    ASSERT_TRUE(v.imCurrentPage->IsMemoEditing());
    EXPECT_TRUE(v.lbEditTextHint->isVisible());
    m_answers.Expect(QStringLiteral("Bearbeitungsmodus"), Vcl::mrOk);
    v.tcPages->SetCurrentIndex(2);
    EXPECT_EQ(v.imOverviewPages()->SelectedImage(), 0);
    EXPECT_EQ(v.tcPages->CurrentIndex(), 0);
    QTest::keyClicks(v.imCurrentPage, QStringLiteral("Hallo"));
    // Escape ends the edit and would close the window: the changes are asked for.
    m_answers.Expect(QStringLiteral("Die Seite wurde verändert."), Vcl::mrCancel);
    QTest::keyClick(v.imCurrentPage, Qt::Key_Escape);
    EXPECT_FALSE(v.imCurrentPage->IsMemoEditing());
    EXPECT_EQ(Canvas().ObjAt(1).Text, QStringLiteral("Hallo"));
}

TEST_F(AnnotationViewerTest, CtrlWheelSizesThumbnailsWithinTheirBounds) {
    TFileViewerFrameTIFF& v = Open();
    ASSERT_TRUE(v.imOverview->isVisible());
    QWidget* port = v.imOverview->viewport();
    auto wheel = [&](int delta, Qt::KeyboardModifiers mods) {
        QWheelEvent e(QPointF(10, 10), port->mapToGlobal(QPointF(10, 10)), QPoint(),
                      QPoint(0, delta), Qt::NoButton, mods, Qt::NoScrollPhase, false);
        QApplication::sendEvent(port, &e);
    };
    for (int i = 0; i < 60; ++i)
        wheel(120, Qt::ControlModifier);
    EXPECT_EQ(v.imOverviewPages()->ThumbnailSize(), QSize(500, 610));
    for (int i = 0; i < 60; ++i)
        wheel(-120, Qt::ControlModifier);
    EXPECT_EQ(v.imOverviewPages()->ThumbnailSize(), QSize(80, 106));
    wheel(120, {}); // without Ctrl the strip scrolls
    EXPECT_EQ(v.imOverviewPages()->ThumbnailSize(), QSize(80, 106));
    EXPECT_EQ(v.CheckZoomRange(0.5), 1.0);
    EXPECT_EQ(v.CheckZoomRange(1000), 800.0);
}

TEST_F(AnnotationViewerTest, AStampThatFailsFallsBackToTheGreyBox) {
    const int broken = AddStamp(QStringLiteral("Kaputt"), {}, Qt::red);
    AddStamp(QStringLiteral("Geprüft"), {}, Qt::green);
    // The stored picture no longer matches what was written: reading it fails.
    testsupport::TestDatabase::Exec(
        QStringLiteral("SELECT lo_put(oid, 0, 'XXXX'::bytea) FROM dms_file f JOIN picndoku p ON "
                       "p.pd_dmsremotefile = f.name WHERE p.pd_id = %1")
            .arg(broken));
    TFileViewerFrameTIFF& v = Open();
    ASSERT_EQ(v.cbImageList->count(), 2);
    v.btAddImage->setChecked(true);
    v.btAddImageClick(nullptr);
    EXPECT_EQ(Canvas().Obj(-1).Kind, iekBOX); // nothing chosen: the grey box
    EXPECT_EQ(Canvas().Obj(-1).BrushColor, 8421504);

    v.cbImageList->setCurrentIndex(v.cbImageList->findText(QStringLiteral("Geprüft")));
    EXPECT_EQ(Canvas().Obj(-1).Kind, iekBITMAP);
    EXPECT_EQ(Canvas().Obj(-1).Bitmap.pixel(5, 5), QColor(Qt::green).rgb());
    EXPECT_EQ(v.imCurrentPage->MouseInteractVt(), QList<TIEMouseInteractVtItem>{miPutBitmap});
    // A click puts the stamp in its own size, named.
    Drag({50, 400}, {50, 400});
    ASSERT_EQ(Canvas().ObjectsCount(), 1);
    EXPECT_EQ(Rect(0).size(), QSize(120, 40));
    EXPECT_EQ(v.Annot().AnnotData(Canvas().GetObjFromIndex(0)).ImageName(),
              QStringLiteral("Geprüft"));

    v.btAddImage->trigger(); // the user's click: the list drops down, the handler ends silently
    EXPECT_TRUE(m_errors.shown.isEmpty());
    v.cbImageList->hidePopup();
    v.cbImageList->setCurrentIndex(v.cbImageList->findText(QStringLiteral("Kaputt")));
    ASSERT_EQ(m_errors.shown.size(), 1);
    EXPECT_TRUE(
        m_errors.shown[0].startsWith(QStringLiteral("Fehler beim Laden des Stempels.\r\n\r\n")));
    EXPECT_EQ(v.cbImageList->currentIndex(), -1);
    EXPECT_EQ(Canvas().Obj(-1).Kind, iekBOX);
    EXPECT_EQ(Canvas().Obj(-1).BrushColor, 8421504);
    EXPECT_EQ(v.imCurrentPage->MouseInteractVt(), QList<TIEMouseInteractVtItem>{miPutBox});
}

TEST_F(AnnotationViewerTest, AStampWithAPasswordNeedsExactlyThatPassword) {
    AddStamp(QStringLiteral("Chef"), QStringLiteral("XXXXX"), Qt::blue);
    TFileViewerFrameTIFF& v = Open();
    std::optional<QString> answer;
    RtlDialog::FAskPasswordEx.Set([&](const QString&, const QString&) { return answer; });
    v.btAddImage->setChecked(true);
    v.btAddImageClick(nullptr);
    const int chef = v.cbImageList->findText(QStringLiteral("Chef"));

    // Cancelled: refused, even though the dialog's cancel text would read "XXXXX".
    m_answers.Expect(QStringLiteral("Passwort falsch"), Vcl::mrOk);
    v.cbImageList->setCurrentIndex(chef);
    EXPECT_EQ(v.cbImageList->currentIndex(), -1);
    EXPECT_EQ(Canvas().Obj(-1).Kind, iekBOX);

    answer = QStringLiteral("xxxxx");
    m_answers.Expect(QStringLiteral("Passwort falsch"), Vcl::mrOk);
    v.cbImageList->setCurrentIndex(chef);
    EXPECT_EQ(v.cbImageList->currentIndex(), -1);

    answer = QStringLiteral("XXXXX");
    v.cbImageList->setCurrentIndex(chef);
    EXPECT_EQ(v.cbImageList->currentIndex(), chef);
    EXPECT_EQ(Canvas().Obj(-1).Kind, iekBITMAP);
    EXPECT_EQ(m_answers.Pending(), 0);
}

TEST_F(AnnotationViewerTest, ToolbarCommandsAndKeysActOnTheSelection) {
    TFileViewerFrameTIFF& v = Open();
    v.AddAnnotHighlight(QRect(10, 10, 100, 40), 65535);
    v.AddAnnotHighlight(QRect(200, 10, 100, 40), 255);
    v.SetAnnotationRights();
    v.btMouseSelect->trigger();
    EXPECT_FALSE(v.btAnnotDelete->isEnabled());
    const int first = Canvas().GetObjFromIndex(0);
    Drag({50, 30}, {50, 30});
    ASSERT_TRUE(Canvas().IsSelObject(first));
    EXPECT_TRUE(v.btAnnotDelete->isEnabled());
    EXPECT_TRUE(v.ribMenuHighlight->IsTabVisible());

    // Front and back, from the ribbon and from the helper bar, one undo step each.
    const int undo = Canvas().UndoCount();
    v.btAnnotToFront->trigger();
    EXPECT_EQ(Canvas().GetObjFromIndex(1), first);
    v.btHelperToBack->trigger();
    EXPECT_EQ(Canvas().GetObjFromIndex(0), first);
    EXPECT_EQ(Canvas().UndoCount(), undo + 2);

    // Delete on the canvas removes the selection; undo and redo through the buttons.
    v.imCurrentPage->setFocus();
    QTest::keyClick(v.imCurrentPage, Qt::Key_Delete);
    ASSERT_EQ(Canvas().ObjectsCount(), 1);
    EXPECT_FALSE(Canvas().HasObj(first));
    v.btAnnotUndo->trigger();
    EXPECT_EQ(Canvas().ObjectsCount(), 2);
    ASSERT_TRUE(v.btAnnotRedo->isEnabled());
    v.btAnnotRedo->trigger();
    EXPECT_EQ(Canvas().ObjectsCount(), 1);

    // "Anzeigen" up hides every annotation, down shows them again.
    v.btAnnotVisible->trigger();
    EXPECT_FALSE(Canvas().ObjAt(0).Style & ievsVisible);
    v.btAnnotVisible->trigger();
    EXPECT_TRUE(Canvas().ObjAt(0).Style & ievsVisible);

    // Zoom keys: Ctrl+0 is 100 %, Ctrl with the keypad's plus and minus zoom in and out.
    v.imCurrentPage->SetZoom(50);
    QTest::keyClick(v.imCurrentPage, Qt::Key_0, Qt::ControlModifier);
    EXPECT_DOUBLE_EQ(v.imCurrentPage->Zoom(), 100);
    QTest::keyClick(v.imCurrentPage, Qt::Key_Plus, Qt::ControlModifier | Qt::KeypadModifier);
    EXPECT_DOUBLE_EQ(v.imCurrentPage->Zoom(), 150);
    QTest::keyClick(v.imCurrentPage, Qt::Key_Minus, Qt::ControlModifier | Qt::KeypadModifier);
    EXPECT_LT(v.imCurrentPage->Zoom(), 101);
    EXPECT_GT(v.imCurrentPage->Zoom(), 99);

    // On the navigator the zoom keys work too; Delete there removes nothing.
    v.imCurrentPage->SetZoom(50);
    QTest::keyClick(v.imNavigator, Qt::Key_0, Qt::ControlModifier);
    EXPECT_DOUBLE_EQ(v.imCurrentPage->Zoom(), 100);
    Canvas().AddSelObject(Canvas().GetObjFromIndex(0));
    v.ShowOptions();
    QTest::keyClick(v.imNavigator, Qt::Key_Delete);
    EXPECT_EQ(Canvas().ObjectsCount(), 1);
}

TEST_F(AnnotationViewerTest, TheHelperBarPlacesAndTheCanvasLosingFocusKeepsTheEdits) {
    TFileViewerFrameTIFF& v = Open();
    v.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&v));
    // "Neue Anmerkung" > "Punkt" presses the dot button and its tool is on.
    v.btHelperAddDot->trigger();
    EXPECT_TRUE(v.btAddDot->isChecked());
    EXPECT_EQ(v.imCurrentPage->MouseInteractVt(), QList<TIEMouseInteractVtItem>{miPutEllipse});
    v.imCurrentPage->setFocus();
    Drag({300, 300}, {300, 300});
    ASSERT_EQ(Canvas().ObjectsCount(), 1);
    TPageData* page = v.imOverviewPages()->UserData(0);
    EXPECT_TRUE(page->CurAnnotX.isEmpty());
    // Focus going to a ribbon editor takes the page's objects into its data.
    v.edArrowText->setFocus();
    EXPECT_TRUE(page->CurAnnotX.contains("<dot "));
    EXPECT_TRUE(CheckAnnotChanged(*v.imOverviewPages(), v.Pages().FDeletedPages));
}

TEST_F(AnnotationViewerTest, ObjectsPlacedWithCtrlAreSavedAndEachIsOneStep) {
    TFileViewerFrameTIFF& v = Open();
    v.btAddHighlight->trigger();
    Drag({100, 100}, {200, 150}, Qt::ControlModifier);
    Drag({100, 300}, {200, 350}, Qt::ControlModifier);
    EXPECT_TRUE(v.btAddHighlight->isChecked());
    // A text with Ctrl too, typed at once and ended by a click beside it.
    v.btAddText->trigger();
    Drag({250, 400}, {380, 440}, Qt::ControlModifier);
    ASSERT_TRUE(v.imCurrentPage->IsMemoEditing());
    QTest::keyClicks(v.imCurrentPage, QStringLiteral("Notiz"));
    Click({50, 500});
    ASSERT_FALSE(v.imCurrentPage->IsMemoEditing());
    // Leaving the tool keeps the objects and a step for each.
    v.btMouseSelect->trigger();
    ASSERT_EQ(Canvas().ObjectsCount(), 3);
    EXPECT_EQ(Canvas().ObjAt(2).Text, QStringLiteral("Notiz"));
    ASSERT_TRUE(v.btAnnotUndo->isEnabled());
    v.btAnnotUndo->trigger();
    EXPECT_EQ(Canvas().ObjectsCount(), 2);
    v.btAnnotUndo->trigger();
    EXPECT_EQ(Canvas().ObjectsCount(), 1);
    v.btAnnotRedo->trigger();
    v.btAnnotRedo->trigger();
    ASSERT_EQ(Canvas().ObjectsCount(), 3);

    v.btAnnotSave->trigger();
    const QByteArray stored = Stored(0);
    EXPECT_EQ(stored.count("<highlight "), 2);
    EXPECT_TRUE(stored.contains(">Notiz</text>"));
    EXPECT_EQ(stored, v.imOverviewPages()->UserData(0)->CurAnnotX);
    int objects = 0;
    EXPECT_EQ(Reopened(0, &objects), stored);
    EXPECT_EQ(objects, 3);

    // Placed with Ctrl and the window closed at once: asked for, and kept.
    v.btAddDot->trigger();
    Drag({500, 500}, {500, 500}, Qt::ControlModifier);
    v.btMouseSelect->trigger();
    m_answers.Expect(QStringLiteral("Die Seite wurde verändert."), Vcl::mrYes);
    bool canClose = true;
    v.FormCloseQuery(nullptr, canClose);
    EXPECT_TRUE(canClose);
    EXPECT_EQ(m_answers.Pending(), 0);
    EXPECT_TRUE(Stored(0).contains("<dot "));
}

TEST_F(AnnotationViewerTest, AChangeFromTheSameControlAfterAPageChangeOrASaveIsKept) {
    TFileViewerFrameTIFF& v = Open();
    v.btAddDot->trigger();
    Click({200, 200});
    ASSERT_EQ(Canvas().ObjectsCount(), 1);
    const int size = std::abs(Canvas().ObjAt(0).Width());
    const auto sizeUp = [&] {
        Click({200, 200});
        ASSERT_TRUE(Canvas().IsSelObject(Canvas().GetObjFromIndex(0)));
        v.edDotSize->setFocus();
        QTest::keyClick(v.edDotSize, Qt::Key_Up);
    };
    sizeUp();
    EXPECT_EQ(std::abs(Canvas().ObjAt(0).Width()), size + 1);
    v.btAnnotSave->trigger();
    EXPECT_TRUE(Stored(0).contains(QStringLiteral("size=\"%1\"").arg(size + 1).toUtf8()));

    // After the save the same spin box changes the dot again: a step, and stored by the next save.
    sizeUp();
    EXPECT_TRUE(v.btAnnotUndo->isEnabled());
    v.btAnnotSave->trigger();
    EXPECT_TRUE(Stored(0).contains(QStringLiteral("size=\"%1\"").arg(size + 2).toUtf8()));

    // After a page change too.
    v.tcPages->SetCurrentIndex(1);
    v.tcPages->SetCurrentIndex(0);
    sizeUp();
    EXPECT_TRUE(v.btAnnotUndo->isEnabled());
    v.tcPages->SetCurrentIndex(1);
    v.btAnnotSave->trigger();
    const QByteArray stored = Stored(0);
    EXPECT_TRUE(stored.contains(QStringLiteral("size=\"%1\"").arg(size + 3).toUtf8()));
    EXPECT_EQ(Reopened(0), stored);
}

TEST_F(AnnotationViewerTest, AChangeAfterAnUndoTakesItsOwnStepAndEndsTheRedo) {
    TFileViewerFrameTIFF& v = Open();
    v.btAddDot->trigger();
    Click({200, 200});
    const int size = std::abs(Canvas().ObjAt(0).Width());
    Click({200, 200});
    v.edDotSize->setFocus();
    QTest::keyClick(v.edDotSize, Qt::Key_Up);
    QTest::keyClick(v.edDotSize, Qt::Key_Up); // one step for the run
    EXPECT_EQ(std::abs(Canvas().ObjAt(0).Width()), size + 2);
    v.btAnnotUndo->trigger();
    EXPECT_EQ(std::abs(Canvas().ObjAt(0).Width()), size);
    EXPECT_TRUE(v.btAnnotRedo->isEnabled());
    Click({200, 200});
    v.edDotSize->setFocus();
    QTest::keyClick(v.edDotSize, Qt::Key_Up);
    EXPECT_EQ(std::abs(Canvas().ObjAt(0).Width()), size + 1);
    // "Wiederherstellen" has nothing left to throw the change away with; undo goes back one step.
    EXPECT_FALSE(v.btAnnotRedo->isEnabled());
    v.btAnnotRedo->trigger();
    EXPECT_EQ(std::abs(Canvas().ObjAt(0).Width()), size + 1);
    v.btAnnotUndo->trigger();
    EXPECT_EQ(std::abs(Canvas().ObjAt(0).Width()), size);
    v.btAnnotRedo->trigger();
    EXPECT_EQ(std::abs(Canvas().ObjAt(0).Width()), size + 1);

    // Moving the dot after an undo with the mouse ends the redo as well.
    v.btAnnotUndo->trigger();
    ASSERT_TRUE(v.btAnnotRedo->isEnabled());
    Drag({200, 200}, {260, 240});
    EXPECT_FALSE(v.btAnnotRedo->isEnabled());
    v.btAnnotSave->trigger();
    const QByteArray stored = Stored(0);
    EXPECT_TRUE(stored.contains(QStringLiteral("size=\"%1\"").arg(size).toUtf8()));
    EXPECT_EQ(Reopened(0), stored);
}

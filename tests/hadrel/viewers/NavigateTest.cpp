// The TIFF viewer's page, zoom, filter and view-rotation commands and sending by e-mail, against
// a real store.
#include "ViewerFixture.h"

#include <AnnotData.h>
#include <Dataclient_files.h>
#include <Korvexutils.Dialogs.h>
#include <TVoskRibbon.h>
#include <TVoskTaskDialog.h>
#include <UFileViewerTIFF.PageSelector.h>
#include <view/TImageEnVect.h>

#include <QContextMenuEvent>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QScopeGuard>
#include <QSpinBox>
#include <QTest>
#include <QToolButton>

using namespace viewertest;

class NavigateTest : public ViewerTest {};

namespace {

// Answers the name question of a split-out; an empty answer cancels it.
class NameAnswer {
public:
    explicit NameAnswer(QString answer) : m_saved(Korvexutils::RaiseInputQuestion.Get()) {
        Korvexutils::RaiseInputQuestion.Set([this, answer](const QString& title, const QString& msg,
                                                           QVariant& value, QString&, int, bool, QWidget*,
                                                           const QString&, const QString&) {
            asked << title + u'|' + msg + u'|' + value.toString();
            if (answer.isEmpty())
                return false;
            value = answer;
            return true;
        });
    }
    ~NameAnswer() { Korvexutils::RaiseInputQuestion.Set(m_saved); }
    QStringList asked;

private:
    decltype(Korvexutils::RaiseInputQuestion.Get()) m_saved;
};

TFileViewerFrameTIFF* PreviewViewer(TFormFilePreview* preview) {
    return qobject_cast<TFileViewerFrameTIFF*>(preview->FImagePages.data());
}

} // namespace

TEST_F(NavigateTest, PreviousAndNextStopAtTheEnds) {
    TDokument doc;
    doc.AssignToDokId(store(Tiff(3)));
    TFileViewerFrameTIFF viewer(nullptr, &doc, false, nullptr);
    viewer.btPagePrevClick(nullptr);
    EXPECT_EQ(viewer.imOverviewPages()->SelectedImage(), 0);
    viewer.btPageNextClick(nullptr);
    viewer.btPageNextClick(nullptr);
    EXPECT_EQ(viewer.imOverviewPages()->SelectedImage(), 2);
    EXPECT_EQ(viewer.imCurrentPage->Model().Bitmap(), Page(2));
    viewer.btPageNextClick(nullptr);
    EXPECT_EQ(viewer.imOverviewPages()->SelectedImage(), 2);
    viewer.btPagePrevClick(nullptr);
    EXPECT_EQ(viewer.imOverviewPages()->SelectedImage(), 1);
}

TEST_F(NavigateTest, PageKeysTurnPagesInTheNumberBoxAndOnThePage) {
    TDokument doc;
    doc.AssignToDokId(store(Tiff(12)));
    TFileViewerFrameTIFF viewer(nullptr, &doc, false, nullptr);
    viewer.resize(900, 700);
    viewer.show();
    viewer.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&viewer));
    const auto shown = [&] { return viewer.imOverviewPages()->SelectedImage() + 1; };
    const auto press = [](int key, Qt::KeyboardModifiers mods = {}) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key), mods);
    };

    // In the box: Page Down forward and Page Up back by one, Home and End to the ends.
    viewer.tcPages->PageNumber()->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), viewer.tcPages->PageNumber());
    press(Qt::Key_PageDown);
    EXPECT_EQ(shown(), 2);
    press(Qt::Key_PageDown);
    press(Qt::Key_PageUp);
    EXPECT_EQ(shown(), 2);
    press(Qt::Key_End);
    EXPECT_EQ(shown(), 12);
    EXPECT_EQ(viewer.tcPages->PageNumber()->text(), QStringLiteral("12 von 12"));
    press(Qt::Key_PageDown); // the last page stays
    EXPECT_EQ(shown(), 12);
    press(Qt::Key_Home);
    EXPECT_EQ(shown(), 1);
    EXPECT_EQ(viewer.imCurrentPage->Model().Bitmap(), Page(0));

    // On the page: Page Down and Page Up turn, Ctrl+End and Ctrl+Home go to the ends.
    viewer.imCurrentPage->setFocus();
    press(Qt::Key_PageDown);
    press(Qt::Key_PageDown);
    EXPECT_EQ(shown(), 3);
    EXPECT_EQ(viewer.imCurrentPage->Model().Bitmap(), Page(2));
    press(Qt::Key_PageUp);
    EXPECT_EQ(shown(), 2);
    press(Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(shown(), 12);
    EXPECT_EQ(viewer.tcPages->PageNumber()->text(), QStringLiteral("12 von 12"));
    press(Qt::Key_Home, Qt::ControlModifier);
    EXPECT_EQ(shown(), 1);
    press(Qt::Key_PageUp); // the first page stays
    EXPECT_EQ(shown(), 1);
    EXPECT_EQ(QApplication::focusWidget(), viewer.imCurrentPage);
}

TEST_F(NavigateTest, AnUnknownAnnotationIsSaidOncePerOpeningHoweverOftenItsPageShows) {
    const int id = store(Tiff(3));
    TDokument doc;
    doc.AssignToDokId(id);
    const QByteArray kept = "<annotation><line x1=\"1\" y1=\"2\"/>"
                            "<highlight top=\"10\" left=\"10\" bottom=\"40\" right=\"90\"/>"
                            "</annotation>";
    DCFileMethods().WriteAnnotation(&kept, doc.DMSRemoteFilename(), 0);
    DCFileMethods().WriteAnnotation(&kept, doc.DMSRemoteFilename(), 2);
    // An unexpected message fails the test: only the first showing of page 1 says it.
    m_answers.Expect(QStringLiteral("Unbekannte Anmerkung (line)"), Vcl::mrOk);
    TFileViewerFrameTIFF viewer(nullptr, &doc, true, nullptr);
    EXPECT_EQ(m_answers.Pending(), 0);
    for (int page : {1, 2, 0, 2, 0}) {
        viewer.tcPages->SetCurrentIndex(page);
        ASSERT_EQ(viewer.imOverviewPages()->SelectedImage(), page);
    }
    EXPECT_EQ(viewer.imCurrentPage->Model().ObjectsCount(), 1); // the highlight
    // Reloading the pages is the same opening.
    viewer.btPageReloadClick(nullptr);
    viewer.tcPages->SetCurrentIndex(2);

    // Another opening of the document says it again, once.
    m_answers.Expect(QStringLiteral("Unbekannte Anmerkung (line)"), Vcl::mrOk);
    TFileViewerFrameTIFF again(nullptr, &doc, false, nullptr);
    again.tcPages->SetCurrentIndex(2);
    again.tcPages->SetCurrentIndex(0);
    EXPECT_EQ(m_answers.Pending(), 0);
}

TEST_F(NavigateTest, ZoomStepsReleaseTheFixedButtonsAndStayWithinTheRange) {
    TDokument doc;
    doc.AssignToDokId(store(Tiff(1)));
    TFileViewerFrameTIFF viewer(nullptr, &doc, false, nullptr);
    viewer.btZoom100Click(nullptr);
    viewer.btZoomInClick(nullptr);
    EXPECT_DOUBLE_EQ(viewer.imCurrentPage->Zoom(), 150);
    EXPECT_FALSE(viewer.btZoom100->isChecked() || viewer.btZoomWidth->isChecked() ||
                 viewer.btZoomFull->isChecked());
    viewer.btZoomOutClick(nullptr);
    // 1.5 x 0.667 is not 1: larger then smaller does not come back exactly.
    EXPECT_NEAR(viewer.imCurrentPage->Zoom(), 100.05, 1e-9);
    viewer.imCurrentPage->SetZoom(800);
    viewer.btZoomInClick(nullptr);
    EXPECT_DOUBLE_EQ(viewer.imCurrentPage->Zoom(), 800);
    viewer.imCurrentPage->SetZoom(1);
    viewer.btZoomOutClick(nullptr);
    EXPECT_DOUBLE_EQ(viewer.imCurrentPage->Zoom(), 1);
    EXPECT_EQ(viewer.cbZoom->text(), QStringLiteral("1 %"));
    // A resize keeps the free zoom: no fixed button is down.
    viewer.FormResize(nullptr);
    EXPECT_DOUBLE_EQ(viewer.imCurrentPage->Zoom(), 1);
}

TEST_F(NavigateTest, TheFilterTableSetsSmoothingAndAntialiasing) {
    TDokument doc;
    doc.AssignToDokId(store(Tiff(1)));
    TFileViewerFrameTIFF viewer(nullptr, &doc, false, nullptr);
    EXPECT_EQ(viewer.imCurrentPage->ResampleFilter(), Imaging::rfFastLinear);
    EXPECT_TRUE(viewer.imCurrentPage->ObjectAntialias());
    // The thumbnails follow: smoothed, a black-and-white page's thin lines become grey; without
    // smoothing every pixel stays black or white.
    const auto greys = [&viewer] {
        const QImage thumb = viewer.imOverviewPages()->Thumbnail(0).convertToFormat(QImage::Format_Grayscale8);
        int n = 0;
        for (int y = 0; y < thumb.height(); ++y)
            for (int x = 0; x < thumb.width(); ++x)
                n += thumb.pixelColor(x, y).value() % 255 != 0;
        return n;
    };
    EXPECT_GT(greys(), 0);
    viewer.btFilterNone->trigger();
    EXPECT_EQ(viewer.imCurrentPage->ResampleFilter(), Imaging::rfNone);
    EXPECT_FALSE(viewer.imCurrentPage->ObjectAntialias());
    EXPECT_EQ(greys(), 0);
    viewer.btFilterHigh->trigger();
    EXPECT_EQ(viewer.imCurrentPage->ResampleFilter(), Imaging::rfBicubic);
    EXPECT_TRUE(viewer.imCurrentPage->ObjectAntialias());
    // Drawn below 100 % from the picture scaled beforehand: still the page, not blank.
    viewer.resize(600, 500);
    viewer.show();
    viewer.btZoomFullClick(nullptr);
    const QImage shown = viewer.imCurrentPage->viewport()->grab().toImage();
    int dark = 0;
    for (int y = 0; y < shown.height(); y += 2)
        for (int x = 0; x < shown.width(); x += 2)
            dark += qGray(shown.pixel(x, y)) < 128;
    EXPECT_GT(dark, 50);
}

TEST_F(NavigateTest, QuarterTurnsTurnTheViewOnlyAndComeBack) {
    TDokument doc;
    doc.AssignToDokId(store(Tiff(2)));
    TFileViewerFrameTIFF viewer(nullptr, &doc, false, nullptr);
    const QImage page = viewer.imCurrentPage->Model().Bitmap();
    viewer.btRotateLeftClick(nullptr);
    EXPECT_EQ(viewer.FRotated, 270);
    EXPECT_EQ(viewer.imCurrentPage->Model().Bitmap().size(), page.size().transposed());
    viewer.btRotateRightClick(nullptr);
    EXPECT_EQ(viewer.FRotated, 0);
    for (int i = 0; i < 4; ++i)
        viewer.btRotateLeftClick(nullptr);
    EXPECT_EQ(viewer.FRotated, 0);
    viewer.btRotateRightClick(nullptr);
    EXPECT_EQ(viewer.FRotated, 90);
    viewer.RotateToDefault();
    EXPECT_EQ(viewer.FRotated, 0);
    EXPECT_EQ(viewer.imCurrentPage->Model().Bitmap().convertToFormat(QImage::Format_Mono),
              page.convertToFormat(QImage::Format_Mono));
    // The stored page never turned, and a turn is no change to undo.
    EXPECT_FALSE(viewer.imCurrentPage->Model().CanUndo());
    EXPECT_FALSE(viewer.HasUnsavedChanges());
    viewer.btRotateRightClick(nullptr);
    viewer.btPageNextClick(nullptr);
    viewer.btPagePrevClick(nullptr);
    EXPECT_EQ(viewer.FRotated, 0);
    EXPECT_EQ(viewer.imCurrentPage->Model().Bitmap(), page);
}

TEST_F(NavigateTest, ReloadAsksOnlyWhenSomethingWouldBeLostAlsoAfterAddedPages) {
    TDokument doc;
    doc.AssignToDokId(store(Tiff(2)));
    TFileViewerFrameTIFF viewer(nullptr, &doc, true, nullptr);
    ASSERT_EQ(viewer.EditablePages(), 2);
    viewer.btPageReloadClick(nullptr); // unchanged: no question
    EXPECT_TRUE(m_answers.Questions().empty());

    // A page added (as a scan adds one) is a change even without an annotation step.
    viewer.DoPageAdd(Page(7), QStringLiteral("Scanner"), QStringLiteral("NavigateTest"));
    ASSERT_EQ(viewer.imOverviewPages()->ImageCount(), 3);
    ASSERT_FALSE(viewer.imCurrentPage->Model().CanUndo());
    m_answers.Expect(QStringLiteral("verworfen"), Vcl::mrNo);
    viewer.btPageReloadClick(nullptr);
    EXPECT_EQ(viewer.imOverviewPages()->ImageCount(), 3);
    m_answers.Expect(QStringLiteral("verworfen"), Vcl::mrYes);
    viewer.btPageReloadClick(nullptr);
    EXPECT_EQ(viewer.imOverviewPages()->ImageCount(), 2);
    EXPECT_FALSE(viewer.HasUnsavedChanges());
}

// A page that cannot be shown (its JPEG data broken) leaves no page selected; "Neu laden" still
// asks before it drops the highlight waiting on another page.
TEST_F(NavigateTest, ReloadAsksAlsoWhileNoPageCanBeShown) {
    Imaging::TTiffWriter w;
    Imaging::TIOParams g4;
    g4.TIFF_Compression = Imaging::ioTIFF_G4FAX;
    w.WritePage(Page(0), g4);
    Imaging::TIOParams jpeg;
    jpeg.TIFF_Compression = Imaging::ioTIFF_JPEG;
    QImage photo(120, 90, QImage::Format_RGB888);
    photo.fill(QColor(90, 140, 200));
    w.WritePage(photo, jpeg);
    QByteArray file = w.Finish();
    // Every JPEG start marker gone: libjpeg reads no image from the page.
    for (qsizetype at = file.indexOf("\xFF\xD8"); at >= 0; at = file.indexOf("\xFF\xD8", at))
        file[at] = file[at + 1] = 0;
    TDokument doc;
    doc.AssignToDokId(store(file));
    TFileViewerFrameTIFF viewer(nullptr, &doc, true, nullptr);
    ErrorForms errors;
    viewer.LoadImage(0, true);
    viewer.AddAnnotHighlight(QRect(20, 20, 60, 30), 65535);
    viewer.btPageNext->trigger();
    ASSERT_FALSE(errors.shown.isEmpty());
    EXPECT_TRUE(errors.shown.last().contains(QStringLiteral("Ungültiges Bild")))
        << errors.shown.last().toStdString();
    ASSERT_LT(viewer.imOverviewPages()->SelectedImage(), 0);
    ASSERT_TRUE(viewer.CheckAnnotChanged());

    m_answers.Expect(QStringLiteral("verworfen"), Vcl::mrNo);
    viewer.btPageReload->trigger();
    EXPECT_EQ(m_answers.Pending(), 0);
    EXPECT_TRUE(viewer.CheckAnnotChanged());
    m_answers.Expect(QStringLiteral("verworfen"), Vcl::mrYes);
    viewer.btPageReload->trigger();
    EXPECT_FALSE(viewer.CheckAnnotChanged());
}

TEST_F(NavigateTest, SendingNamesTheAttachmentAfterTheFileSent) {
    std::vector<QStringList> names;
    std::vector<QStringList> files;
    TVoskTaskDialog::FVoskSendMail.Set([&](const QString&, const QString&, const QString&,
                                           const QStringList& f, const QStringList& n) {
        files.push_back(f);
        names.push_back(n);
        return true;
    });
    const int id = store(Tiff(2));
    testsupport::TestDatabase::Exec(
        QStringLiteral("UPDATE picndoku SET pd_descr = 'Lieferschein.pdf' WHERE pd_id = %1").arg(id));
    TDokument doc;
    doc.AssignToDokId(id);
    TFileViewerFrameTIFF viewer(nullptr, &doc, false, nullptr);
    viewer.btFileSendClick(nullptr);
    TVoskTaskDialog::FVoskSendMail.Reset();
    ASSERT_EQ(names.size(), 1u);
    EXPECT_EQ(names[0], QStringList{QStringLiteral("Lieferschein.tiff")});
    ASSERT_EQ(files[0].size(), 1);
    Imaging::TTiffReader reader([&] {
        QFile f(files[0][0]);
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }());
    EXPECT_EQ(reader.PageCount(), 2);
}

TEST_F(NavigateTest, TheStoredNavigatorSizeIgnoresCaseAndTheStripShowsWithoutReading) {
    TDokument doc;
    doc.AssignToDokId(store(Tiff(3)));
    const QString key = QStringLiteral("TFileViewerFrameTIFF~View~Navigator");
    const struct {
        const char* stored;
        int height;
    } cases[] = {{"MEDIUM", 300}, {"Large", 450}, {"riesig", 230}};
    for (const auto& c : cases) {
        m_dm.SaveLastVal(key, QString::fromLatin1(c.stored));
        TFileViewerFrameTIFF viewer(nullptr, &doc, false, nullptr);
        viewer.btNavigatorClick(nullptr);
        EXPECT_EQ(viewer.pnNavigator->height(), c.height) << c.stored;
        EXPECT_EQ(viewer.btNavigatorMedium->isChecked(), c.height == 300) << c.stored;
        EXPECT_EQ(viewer.btNavigatorLarge->isChecked(), c.height == 450) << c.stored;
        EXPECT_EQ(viewer.btNavigatorSmall->isChecked(), c.height == 230) << c.stored;
        // Narrower than high, as A4 is.
        EXPECT_LT(viewer.pnNavigator->width(), c.height * 210 / 297 + 20) << c.stored;
    }

    // Every page read and unchanged: showing the strip reads nothing again.
    TFileViewerFrameTIFF viewer(nullptr, &doc, false, nullptr);
    for (int i = 0; i < 3; ++i)
        viewer.LoadImage(i, false);
    QList<const char*> data;
    for (int i = 0; i < 3; ++i)
        data << viewer.imOverviewPages()->UserData(i)->CurImage.constData();
    viewer.btShowOverview->setChecked(true);
    viewer.btShowOverviewClick(viewer.btShowOverview);
    EXPECT_FALSE(viewer.imOverview->isHidden());
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(viewer.imOverviewPages()->UserData(i)->CurImage.constData(), data[i]) << i;
}

TEST_F(NavigateTest, TheStripMenuOpensOnlyWhileTheEditTabShows) {
    TDokument doc;
    doc.AssignToDokId(store(Tiff(2)));
    for (const bool edit : {false, true}) {
        TFileViewerFrameTIFF viewer(nullptr, &doc, edit, nullptr);
        viewer.resize(900, 700);
        viewer.show();
        viewer.btShowOverview->setChecked(true);
        viewer.btShowOverviewClick(viewer.btShowOverview);
        QContextMenuEvent e(QContextMenuEvent::Keyboard, QPoint(20, 20),
                            viewer.imOverview->viewport()->mapToGlobal(QPoint(20, 20)));
        QApplication::sendEvent(viewer.imOverview->viewport(), &e);
        EXPECT_EQ(viewer.pmOverviewMenu->isVisible(), edit);
        viewer.pmOverviewMenu->close();
        if (edit) {
            // The delete item is the edit tab's page delete.
            viewer.miOverviewMenuDelete->trigger();
            EXPECT_EQ(viewer.imOverviewPages()->ImageCount(), 1);
        }
    }
}

TEST_F(NavigateTest, ASplitOutPageTakesItsAnnotationsAlongAndTheStoredDocumentTheLinks) {
    const int id = store(Tiff(3));
    testsupport::TestDatabase::Exec(
        QStringLiteral("UPDATE picndoku SET pd_txt = 'Lieferung März', pd_dokident = 'L-17', pd_source = 'scan' "
                       "WHERE pd_id = %1;"
                       "INSERT INTO picndokulink (pdl_pd_id, pdl_tablename, pdl_dbrid) VALUES (%1, 'auftrag', 41), "
                       "(%1, 'rechnung', 42)")
            .arg(id));
    TDokument doc;
    doc.AssignToDokId(id);
    auto viewer = std::make_unique<TFileViewerFrameTIFF>(nullptr, &doc, true, nullptr);
    TFileViewerFrameTIFF& v = *viewer;
    v.LoadImage(1, true);
    QImage stamp(40, 20, QImage::Format_RGB32);
    stamp.fill(Qt::red);
    v.AddAnnotImage(QRect(100, 100, 40, 20), stamp, QStringLiteral("Eingang"));
    v.AddAnnotHighlight(QRect(20, 30, 60, 30), 0x00FFFF, QStringLiteral("bernd"));
    v.AddAnnotText(QRect(50, 200, 120, 40), QStringLiteral("Prüfen"), 0xFF, 14, QStringLiteral("Arial"), true, false,
                   Imaging::clNone, 0x00FF00);
    v.AddAnnotDot(QPoint(300, 300), 11, 0xFF0000, 0x000000);
    v.AddAnnotArrow(QRect(200, 400, 80, -40), QStringLiteral("A-1"), true, QStringLiteral("A-*"), 0xFF, 0xFFFF00,
                    false, 12);
    v.SaveAnnotationsOfPage(1);
    v.btEditSaveClick(nullptr);
    const int source = doc.Id();
    const QList<Imaging::TIEVObject> objects = [&] {
        QList<Imaging::TIEVObject> list;
        for (int i = 0; i < v.imCurrentPage->Model().ObjectsCount(); ++i)
            list << v.imCurrentPage->Model().ObjAt(i);
        return list;
    }();
    ASSERT_EQ(objects.size(), 5);

    NameAnswer name(QStringLiteral("Lieferschein Seite 2"));
    v.LoadImage(1, true);
    v.btRotateLeftClick(nullptr); // a turned view splits the page as stored
    v.miOverviewMenuDokExportClick(nullptr);
    EXPECT_EQ(name.asked, QStringList{QStringLiteral(
                              "Seite als Dokument heraustrennen|Dokumentname für neue Seite|Lieferschein")});
    ASSERT_EQ(OpenPreviews().size(), 1);
    QPointer<TFormFilePreview> preview = OpenPreviews().first();
    const auto close = qScopeGuard([&] { delete preview.data(); });
    EXPECT_EQ(preview->DokName->text(), QStringLiteral("Lieferschein Seite 2"));
    TFileViewerFrameTIFF* target = PreviewViewer(preview);
    ASSERT_NE(target, nullptr);
    ASSERT_EQ(target->imOverviewPages()->ImageCount(), 1);
    EXPECT_EQ(target->imCurrentPage->Model().Bitmap().convertToFormat(QImage::Format_Mono),
              Page(1).convertToFormat(QImage::Format_Mono));
    Imaging::TIEVectModel& copied = target->imCurrentPage->Model();
    ASSERT_EQ(copied.ObjectsCount(), 5);
    for (int i = 0; i < 5; ++i) {
        const Imaging::TIEVObject& a = objects[i];
        const Imaging::TIEVObject& b = copied.ObjAt(i);
        EXPECT_EQ(b.Kind, a.Kind) << i;
        EXPECT_EQ(QRect(b.Left, b.Top, b.Width(), b.Height()), QRect(a.Left, a.Top, a.Width(), a.Height())) << i;
        EXPECT_EQ(b.PenColor, a.PenColor) << i;
        EXPECT_EQ(b.BrushColor, a.BrushColor) << i;
        EXPECT_EQ(b.Text, a.Text) << i;
        target->Annot().CheckAnnotationData(b.Handle);
        // Re-created by whoever split the page off.
        EXPECT_EQ(target->Annot().AnnotData(b.Handle).Creator, QStringLiteral("anna")) << i;
    }
    EXPECT_EQ(target->Annot().AnnotData(copied.ObjAt(0).Handle).ImageName(), QStringLiteral("Eingang"));
    EXPECT_EQ(copied.ObjAt(0).Bitmap.convertToFormat(QImage::Format_RGB32), stamp);
    EXPECT_EQ(target->Annot().AnnotData(copied.ObjAt(4).Handle).Mask, QStringLiteral("A-*"));
    EXPECT_EQ(copied.ObjAt(2).MemoBorderColor, 0x00FF00);

    // The source lost the page, not yet stored.
    EXPECT_EQ(v.imOverviewPages()->ImageCount(), 2);
    EXPECT_TRUE(v.HasUnsavedChanges());
    EXPECT_EQ(scalar(QStringLiteral("SELECT count(*) FROM picndoku")), QStringLiteral("1"));

    // The name field of the preview names the document.
    preview->DokName->setText(QStringLiteral("Lieferschein S. 2"));
    // Closing the source closes the new document's preview first, with its own question:
    // cancelled, both stay; yes stores the new document, then the source asks for itself.
    bool canClose = true;
    m_answers.Expect(QStringLiteral("Die Seite wurde verändert."), Vcl::mrCancel);
    v.FormCloseQuery(&v, canClose);
    EXPECT_FALSE(canClose);
    ASSERT_TRUE(preview && preview->isVisible());
    canClose = true;
    m_answers.Expect(QStringLiteral("Die Seite wurde verändert."), Vcl::mrYes);
    m_answers.Expect(QStringLiteral("Die Seite wurde verändert."), Vcl::mrNo);
    v.FormCloseQuery(&v, canClose);
    EXPECT_TRUE(canClose);
    EXPECT_TRUE(!preview || !preview->isVisible());
    const QString row = scalar(QStringLiteral(
        "SELECT concat_ws(':', pd_descr, pd_tablename, pd_dbrid, pd_doktype, pd_dokident, pd_txt, pd_source) "
        "FROM picndoku WHERE pd_id <> %1")
                                   .arg(source));
    EXPECT_EQ(row, QStringLiteral("Lieferschein S. 2:adressen:5:LS:L-17:Lieferung März:scan"));
    EXPECT_EQ(scalar(QStringLiteral("SELECT string_agg(pdl_tablename || pdl_dbrid, ',' ORDER BY pdl_dbrid) FROM "
                                    "picndokulink WHERE pdl_pd_id <> %1")
                         .arg(source)),
              QStringLiteral("auftrag41,rechnung42"));
    const QString file = scalar(QStringLiteral("SELECT pd_dmsremotefile FROM picndoku WHERE pd_id <> %1").arg(source));
    EXPECT_EQ(Imaging::TTiffReader(DCFileMethods().ReadFile(file)).PageCount(), 1);
    EXPECT_TRUE(DCFileMethods().ReadAnnotation(file, 0).contains("Eingang"));
}

TEST_F(NavigateTest, ASplitOutIsRefusedForTheLastPageOrPendingEditsAndStopsAtAnUnknownAnnotation) {
    TDokument one;
    one.AssignToDokId(store(Tiff(1)));
    TFileViewerFrameTIFF single(nullptr, &one, true, nullptr);
    m_answers.Expect(QStringLiteral("Mindestens eine Seite"), Vcl::mrOk);
    EXPECT_THROW(single.miOverviewMenuDokExportClick(nullptr), EAbort);

    TDokument doc;
    doc.AssignToDokId(store(Tiff(3)));
    TFileViewerFrameTIFF v(nullptr, &doc, true, nullptr);
    v.SaveUndo(nullptr);
    m_answers.Expect(QStringLiteral("Bitte zuerst die Anmerkungen speichern oder verwerfen."), Vcl::mrOk);
    EXPECT_THROW(v.miOverviewMenuDokExportClick(nullptr), EAbort);
    v.ClearUndo(false);
    EXPECT_TRUE(OpenPreviews().isEmpty());

    // A kind the annotations do not have: the preview stays with its page, the source keeps it.
    v.imCurrentPage->Model().AddNewObject(Imaging::iekLINE, QRect(10, 10, 50, 50), 0);
    NameAnswer cancelled({}); // cancelling the name keeps the source's
    try {
        v.miOverviewMenuDokExportClick(nullptr);
        ADD_FAILURE() << "an unknown annotation was split off";
    } catch (const EImagesException& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Unbekannte Anmerkung (1)"));
    }
    const QList<TFormFilePreview*> previews = OpenPreviews();
    ASSERT_EQ(previews.size(), 1);
    EXPECT_EQ(previews[0]->DokName->text(), QStringLiteral("Lieferschein"));
    EXPECT_EQ(PreviewViewer(previews[0])->imOverviewPages()->ImageCount(), 1);
    EXPECT_EQ(v.imOverviewPages()->ImageCount(), 3);
    // Its OK stores what it holds.
    QPointer<TFormFilePreview> preview = previews[0];
    QTest::mouseClick(preview->BtOk, Qt::LeftButton);
    EXPECT_EQ(scalar(QStringLiteral("SELECT count(*) FROM picndoku WHERE pd_descr = 'Lieferschein'")),
              QStringLiteral("3"));
    EXPECT_TRUE(!preview || !preview->isVisible());
    delete preview.data();
}

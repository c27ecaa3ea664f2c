// The PDF viewer against a real store with PDFs generated here: loading, rendering, thumbnails on
// demand, the remembered zoom, zoom steps, the view history, find, Escape in the document window,
// the print menu from the preferred printers, sending by e-mail, and documents it cannot show.
#include "ViewerFixture.h"

#include <DemoPages.h>
#include <PdfPrinters.h>
#include <TVoskTaskDialog.h>
#include <UFileViewerPDF.h>

#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPdfDocument>
#include <QPdfPageNavigator>
#include <QPdfWriter>
#include <QScrollBar>
#include <QTest>
#include <QToolButton>

using namespace viewertest;

namespace {

QByteArray Pdf(int pages, const QString& word = QStringLiteral("Rechnung")) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setResolution(72);
    QPainter p(&writer);
    for (int i = 0; i < pages; ++i) {
        if (i > 0)
            writer.newPage();
        p.setFont(QFont(QStringLiteral("Sans Serif"), 20));
        p.drawText(QPoint(60, 100), QStringLiteral("Seite %1").arg(i + 1));
        if (i == 1)
            p.drawText(QPoint(60, 200), word);
        p.fillRect(QRect(60, 300, 200, 100), Qt::black);
    }
    p.end();
    return bytes;
}

QString LastVal(const QString& key) {
    return testsupport::TestDatabase::Scalar(
        QStringLiteral("SELECT coalesce(max(lv_value), '-') FROM lastval WHERE lv_key = '%1'").arg(key));
}

bool HasInk(const QImage& img) {
    for (int y = 0; y < img.height(); y += 3)
        for (int x = 0; x < img.width(); x += 3)
            if (qGray(img.pixel(x, y)) < 64)
                return true;
    return false;
}

// What the page view shows once the tiles in view are rendered.
QImage Shown(TPdfPageView* view) {
    view->viewport()->repaint();
    QElapsedTimer waited;
    waited.start();
    while (view->PendingTiles() > 0 && waited.elapsed() < 20000) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        view->viewport()->repaint();
    }
    EXPECT_EQ(view->PendingTiles(), 0);
    return view->VisiblePage();
}

// The share of pixels whose grey differs by more than a quarter of the scale, and the mean
// difference: zero both when two renderings show the same.
struct Difference {
    double far = 1;
    double mean = 255;
};
Difference Compare(const QImage& a, const QImage& b) {
    if (a.size() != b.size() || a.isNull())
        return {};
    qint64 sum = 0, far = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const int d = std::abs(qGray(a.pixel(x, y)) - qGray(b.pixel(x, y)));
            sum += d;
            far += d > 64;
        }
    const double n = double(a.width()) * a.height();
    return {far / n, sum / n};
}

// The page rendered whole by Qt PDF, turned, on white.
QImage Whole(QPdfDocument& pdf, int page, QSize size, int rotation) {
    QPdfDocumentRenderOptions options;
    options.setRotation(rotation == 90    ? QPdfDocumentRenderOptions::Rotation::Clockwise90
                        : rotation == 180 ? QPdfDocumentRenderOptions::Rotation::Clockwise180
                        : rotation == 270 ? QPdfDocumentRenderOptions::Rotation::Clockwise270
                                          : QPdfDocumentRenderOptions::Rotation::None);
    QImage white(size, QImage::Format_RGB32);
    white.fill(Qt::white);
    QPainter p(&white);
    p.drawImage(0, 0, pdf.render(page, size, options));
    return white;
}

QByteArray PlanA0() {
    return DemoPages::PdfPlan(QPageSize(QPageSize::A0), 11);
}

// The process's resident size now and at its peak since the last reset, in MB.
long StatusMb(const char* key) {
    QFile f(QStringLiteral("/proc/self/status"));
    f.open(QIODevice::ReadOnly);
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(qstrlen(key)).trimmed().split(' ').value(0).toLong() / 1024;
    return 0;
}
void ResetPeak() {
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    if (f.open(QIODevice::WriteOnly))
        f.write("5");
}

// Until the thumbnails asked for are rendered; they wait while the page's tiles are.
void SettleThumbnails(TFileViewerFramePDF& viewer) {
    QElapsedTimer waited;
    waited.start();
    while (viewer.Thumbnails()->QueuedCount() > 0 && waited.elapsed() < 10000)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
}

// The thumbnail once the viewer has rendered what was asked for.
QImage Thumbnail(TFileViewerFramePDF& viewer, int page) {
    TPdfThumbnails* thumbs = viewer.Thumbnails();
    thumbs->data(thumbs->index(page), Qt::DecorationRole);
    SettleThumbnails(viewer);
    return thumbs->data(thumbs->index(page), Qt::DecorationRole).value<QImage>();
}

} // namespace

class TFormDokverwaltung final : public Vcl::TForm {
    Q_OBJECT
};
class TFormAndereAnsicht final : public Vcl::TForm {
    Q_OBJECT
};

class PdfViewerTest : public ViewerTest {
protected:
    int storePdf(const QByteArray& bytes = Pdf(3)) {
        return store(bytes, QStringLiteral("LS"), QStringLiteral("brief.pdf"));
    }
};

TEST_F(PdfViewerTest, AStoredPdfLoadsWithItsPagesRendersAndDrawsThumbnailsOnDemand) {
    EXPECT_TRUE(UFilePreview::HasViewer(QStringLiteral(".pdf")));
    TDokument doc;
    doc.AssignToDokId(storePdf());
    TFileViewerFramePDF viewer(nullptr, &doc, false, nullptr);
    viewer.resize(900, 700);
    viewer.show();
    QApplication::processEvents();
    ASSERT_EQ(viewer.Pdf()->pageCount(), 3);
    EXPECT_EQ(viewer.Pdf()->status(), QPdfDocument::Status::Ready);
    EXPECT_TRUE(HasInk(Shown(viewer.PDFViewer)));
    EXPECT_TRUE(viewer.lbStatus->text().isEmpty());
    EXPECT_EQ(viewer.GetSavePath(), QStringLiteral("TFileViewerFramePDF~View~"));
    // The default zoom: page width, shown in the caption.
    EXPECT_TRUE(viewer.btZoomWidth->isChecked());
    EXPECT_EQ(viewer.cbZoom->text(), QStringLiteral("%1%").arg(viewer.PDFViewer->ZoomFactor()));

    // Thumbnails are rendered when asked for (by the view or here), one at a time.
    const int before = viewer.Thumbnails()->RenderedCount() + viewer.Thumbnails()->QueuedCount();
    const QImage thumb = Thumbnail(viewer, 2);
    EXPECT_EQ(thumb.width(), TPdfThumbnails::ThumbWidth);
    EXPECT_TRUE(HasInk(thumb));
    EXPECT_LE(viewer.Thumbnails()->RenderedCount(), before + 1);

    // Next, next, back through the history with Page Up, forward with Page Down.
    viewer.btPageNextClick(nullptr);
    viewer.btPageNextClick(nullptr);
    EXPECT_EQ(viewer.PDFViewer->Page(), 2);
    viewer.btPageNextClick(nullptr); // beyond the end: nothing
    EXPECT_EQ(viewer.PDFViewer->Page(), 2);
    int key = Qt::Key_PageUp;
    viewer.FormKeyUp(nullptr, key, {});
    EXPECT_EQ(viewer.PDFViewer->Page(), 1);
    key = Qt::Key_PageDown;
    viewer.FormKeyUp(nullptr, key, {});
    EXPECT_EQ(viewer.PDFViewer->Page(), 2);

    // Four quarter turns bring the page back.
    const QSize upright = Shown(viewer.PDFViewer).size();
    viewer.btRotateRightClick(nullptr);
    EXPECT_EQ(viewer.PDFViewer->Rotation(), 90);
    const QSize across = Shown(viewer.PDFViewer).size();
    EXPECT_GT(across.width(), across.height());
    for (int i = 0; i < 4; ++i)
        viewer.btRotateLeftClick(nullptr);
    EXPECT_EQ(viewer.PDFViewer->Rotation(), 90);
    viewer.btRotateRightClick(nullptr);
    EXPECT_EQ(Shown(viewer.PDFViewer).size(), upright);
}

TEST_F(PdfViewerTest, TheOverviewRendersOnlyTheThumbnailsInView) {
    TDokument doc;
    doc.AssignToDokId(storePdf(Pdf(60)));
    TFileViewerFramePDF viewer(nullptr, &doc, false, nullptr);
    viewer.resize(900, 700);
    viewer.show();
    QApplication::processEvents(); // the overview is shown from a timer
    ASSERT_TRUE(viewer.OverviewVisible());
    viewer.pnThumbnails->viewport()->repaint();
    // The first paint shows empty frames; the pages follow from the event loop.
    EXPECT_EQ(viewer.Thumbnails()->RenderedCount(), 0);
    EXPECT_GE(viewer.Thumbnails()->QueuedCount(), 1);
    const QImage frame =
        viewer.Thumbnails()->data(viewer.Thumbnails()->index(0), Qt::DecorationRole).value<QImage>();
    EXPECT_EQ(frame.size(), viewer.Thumbnails()->ThumbSize(0));
    EXPECT_FALSE(HasInk(frame));
    SettleThumbnails(viewer);
    EXPECT_TRUE(HasInk(Thumbnail(viewer, 0)));
    // Laid out for all 60 pages, painted for the few in view.
    const int rendered = viewer.Thumbnails()->RenderedCount();
    EXPECT_GE(rendered, 1);
    EXPECT_LE(rendered, 6);
    const QRect last = viewer.pnThumbnails->visualRect(viewer.Thumbnails()->index(59));
    EXPECT_GT(last.top(), 40 * TPdfThumbnails::ThumbHeight);
    EXPECT_EQ(viewer.Thumbnails()->RenderedCount(), rendered);

    // Scrolled to the end, the last ones are drawn; the ones between stay unrendered.
    viewer.pnThumbnails->scrollToBottom();
    viewer.pnThumbnails->viewport()->repaint();
    const QImage last59 = Thumbnail(viewer, 59);
    EXPECT_LE(viewer.Thumbnails()->RenderedCount(), 2 * rendered + 1);
    EXPECT_EQ(last59.size(), viewer.Thumbnails()->ThumbSize(59));
    EXPECT_TRUE(HasInk(last59));
}

TEST_F(PdfViewerTest, TheTilesShowWhatTheWholePageShowsAtEveryTurn) {
    TDokument doc;
    doc.AssignToDokId(storePdf(PlanA0()));
    TFileViewerFramePDF viewer(nullptr, &doc, false, nullptr);
    viewer.resize(2000, 2700);
    viewer.show();
    QApplication::processEvents();
    // The whole page in view, drawn in several tiles: each turn as Qt PDF renders it whole.
    viewer.btZoomFullClick(nullptr);
    for (int turn = 0; turn < 4; ++turn) {
        const QImage tiles = Shown(viewer.PDFViewer);
        ASSERT_FALSE(tiles.isNull());
        const QSize page = viewer.PDFViewer->viewport()->size();
        EXPECT_LE(tiles.width(), page.width());
        EXPECT_GT(tiles.width(), PdfTiles::TileSize); // two tiles across, two down at least
        EXPECT_GT(tiles.height(), PdfTiles::TileSize);
        // Upright, tile by tile as whole; turned, Qt PDF rasters the page a shade differently.
        const int rotation = viewer.PDFViewer->Rotation();
        const Difference d = Compare(tiles, Whole(*viewer.Pdf(), 0, tiles.size(), rotation));
        EXPECT_LT(d.far, rotation ? 0.01 : 0.0005) << rotation;
        EXPECT_LT(d.mean, rotation ? 4 : 0.2) << rotation;
        viewer.btRotateRightClick(nullptr);
    }
    EXPECT_EQ(viewer.PDFViewer->Rotation(), 0);
}

TEST_F(PdfViewerTest, AnA0PageAt800PercentRendersWhatIsInViewWithoutHoldingUpTheWindow) {
    TDokument doc;
    doc.AssignToDokId(storePdf(PlanA0()));
    TFileViewerFramePDF viewer(nullptr, &doc, false, nullptr);
    viewer.resize(1200, 900);
    viewer.show();
    QApplication::processEvents();
    Shown(viewer.PDFViewer);
    ResetPeak();
    const long before = StatusMb("VmRSS:");
    // Up to 800 % with "Größer", as a user clicks: each click returns at once.
    auto* larger = viewer.findChild<QToolButton*>(QStringLiteral("btZoomIn"));
    ASSERT_TRUE(larger);
    viewer.btZoom100Click(nullptr);
    qint64 longest = 0;
    for (int click = 0; click < 6; ++click) {
        QElapsedTimer t;
        t.start();
        QTest::mouseClick(larger, Qt::LeftButton);
        viewer.PDFViewer->viewport()->repaint();
        longest = std::max(longest, t.elapsed());
    }
    EXPECT_EQ(viewer.PDFViewer->ZoomFactor(), 800);
    EXPECT_LT(longest, 1000);

    // The middle of the page in view, as the scroll bars put it; then moved and resized.
    QScrollBar* h = viewer.PDFViewer->horizontalScrollBar();
    QScrollBar* v = viewer.PDFViewer->verticalScrollBar();
    const auto sameAsQtPdf = [&] {
        const QImage shown = Shown(viewer.PDFViewer);
        // The part in view, cut from the page at the zoom by Qt PDF itself.
        const QRect inView = viewer.PDFViewer->VisibleArea();
        EXPECT_EQ(inView.size(), shown.size());
        // Scrolled: the page lay 8 pixels in from the view's corner before.
        EXPECT_EQ(inView.topLeft(), QPoint(h->value() - 8, v->value() - 8));
        EXPECT_EQ(viewer.PDFViewer->ScaledSize(),
                  (viewer.Pdf()->pagePointSize(0) * 8.0 * viewer.PDFViewer->logicalDpiX() / 72.0)
                      .toSize());
        QPdfDocumentRenderOptions options;
        options.setScaledSize(viewer.PDFViewer->ScaledSize());
        options.setScaledClipRect(QRect(inView.topLeft(), inView.size() + QSize(1, 1)));
        QImage expected(shown.size(), QImage::Format_RGB32);
        expected.fill(Qt::white);
        QPainter(&expected).drawImage(0, 0, viewer.Pdf()->render(0, inView.size(), options));
        const Difference d = Compare(shown, expected);
        EXPECT_LT(d.far, 0.001);
        EXPECT_LT(d.mean, 0.5);
        return shown;
    };
    h->setValue(h->maximum() / 2);
    v->setValue(v->maximum() / 2);
    EXPECT_TRUE(HasInk(sameAsQtPdf()));
    for (int step = 0; step < 8; ++step) {
        h->setValue(h->value() + 700);
        v->setValue(v->value() - 500);
        viewer.PDFViewer->viewport()->repaint();
        QApplication::processEvents();
    }
    sameAsQtPdf();
    viewer.resize(900, 1100);
    QApplication::processEvents();
    sameAsQtPdf();
    // Bounded by the screen: the page at this zoom alone would be 25,000 x 36,000 pixels.
    EXPECT_LT(viewer.PDFViewer->TileBytes(), 200ll << 20);
    EXPECT_LT(StatusMb("VmHWM:") - before, 300);
}

TEST_F(PdfViewerTest, ZoomIsRestoredAndSteppedWithinItsBounds) {
    TDokument doc;
    doc.AssignToDokId(storePdf());
    m_dm.SaveLastVal(QStringLiteral("TFileViewerFramePDF~View~Zoom"), QStringLiteral("full"));
    {
        TFileViewerFramePDF viewer(nullptr, &doc, false, nullptr);
        EXPECT_TRUE(viewer.btZoomFull->isChecked());
        EXPECT_EQ(viewer.PDFViewer->ZoomMode(), TPdfPageView::zmWholePage);
        // Restored with its button as sender: stored again in its own spelling.
        EXPECT_EQ(LastVal(QStringLiteral("TFileViewerFramePDF~View~Zoom")), QStringLiteral("Full"));

        viewer.btZoom100Click(viewer.btZoom100);
        viewer.btZoomInClick(nullptr);
        EXPECT_EQ(viewer.PDFViewer->ZoomFactor(), 150);
        EXPECT_EQ(viewer.cbZoom->text(), QStringLiteral("150%"));
        EXPECT_FALSE(viewer.btZoom100->isChecked() || viewer.btZoomWidth->isChecked() || viewer.btZoomFull->isChecked());
        viewer.btZoom100Click(nullptr);
        viewer.btZoomOutClick(nullptr);
        EXPECT_EQ(viewer.PDFViewer->ZoomFactor(), 67);
        // Larger and smaller do not cancel out; the bounds hold.
        viewer.btZoomInClick(nullptr);
        EXPECT_EQ(viewer.PDFViewer->ZoomFactor(), 101);
        viewer.PDFViewer->SetZoomFactor(800);
        viewer.btZoomInClick(nullptr);
        EXPECT_EQ(viewer.PDFViewer->ZoomFactor(), 800);
        viewer.PDFViewer->SetZoomFactor(1);
        viewer.btZoomOutClick(nullptr);
        EXPECT_EQ(viewer.PDFViewer->ZoomFactor(), 1);
        EXPECT_EQ(LastVal(QStringLiteral("TFileViewerFramePDF~View~Zoom")), QStringLiteral("100"));
    }
    // A value of another kind leaves the viewer's own zoom.
    m_dm.SaveLastVal(QStringLiteral("TFileViewerFramePDF~View~Zoom"), QStringLiteral("200"));
    TFileViewerFramePDF viewer(nullptr, &doc, false, nullptr);
    EXPECT_EQ(viewer.PDFViewer->ZoomMode(), TPdfPageView::zmPageWidth);
    EXPECT_EQ(LastVal(QStringLiteral("TFileViewerFramePDF~View~Zoom")), QStringLiteral("200"));
}

TEST_F(PdfViewerTest, FindShowsAndHidesItsPanelAndGoesToTheHit) {
    TDokument doc;
    doc.AssignToDokId(storePdf());
    TFileViewerFramePDF viewer(nullptr, &doc, false, nullptr);
    EXPECT_TRUE(viewer.pnFind->isHidden());
    EXPECT_EQ(viewer.FindNextData({}, false, false, false, false, nullptr), 0);
    EXPECT_FALSE(viewer.pnFind->isHidden());
    viewer.edFind->setText(QStringLiteral("Rechnung"));
    QTRY_VERIFY_WITH_TIMEOUT(viewer.lbFindResult->text().startsWith(u"1 von"), 5000);
    QTest::keyClick(viewer.edFind, Qt::Key_Return);
    EXPECT_EQ(viewer.PDFViewer->Page(), 1);
    viewer.edFind->setText(QStringLiteral("Nirgendwo"));
    QTRY_COMPARE_WITH_TIMEOUT(viewer.lbFindResult->text(), QStringLiteral("Nicht gefunden"), 5000);
    viewer.FindNextData({}, false, false, false, false, nullptr);
    EXPECT_TRUE(viewer.pnFind->isHidden());
}

TEST_F(PdfViewerTest, EscapeClosesTheHoldingFormExceptTheDocumentWindow) {
    TDokument doc;
    doc.AssignToDokId(storePdf(Pdf(1)));
    for (bool documentWindow : {true, false}) {
        std::unique_ptr<Vcl::TForm> form(documentWindow ? static_cast<Vcl::TForm*>(new TFormDokverwaltung)
                                                         : new TFormAndereAnsicht);
        auto* viewer = new TFileViewerFramePDF(form.get(), &doc, false, nullptr);
        form->show();
        QApplication::processEvents();
        // The holding form hands its keys to the viewer as the key preview does.
        int key = Qt::Key_Escape;
        viewer->FormKeyDown(nullptr, key, {});
        EXPECT_EQ(key, 0);
        key = Qt::Key_Escape;
        viewer->FormKeyUp(nullptr, key, {});
        EXPECT_EQ(key, 0);
        EXPECT_FALSE(viewer->EscapeWasPressed());
        QApplication::processEvents();
        EXPECT_EQ(form->isVisible(), documentWindow) << documentWindow;
    }
}

TEST_F(PdfViewerTest, ThePrintMenuListsThePrintersAndPressesThePreferredOnes) {
    testsupport::PdfPrinters printers;
    TDokument doc;
    const int id = storePdf();
    testsupport::TestDatabase::Exec(
        QStringLiteral("UPDATE picndoku SET pd_reportprinters = 'lager*Fax' WHERE pd_id = %1").arg(id));
    doc.AssignToDokId(id);
    TFileViewerFramePDF viewer(nullptr, &doc, false, nullptr);
    viewer.pmPrintPopup();
    QList<QAction*> items;
    for (QAction* a : viewer.pmPrint->actions())
        if (!a->isSeparator())
            items << a;
    ASSERT_EQ(items.size(), 3);
    EXPECT_EQ(items[0]->text(), QStringLiteral("Dokument drucken mit Einstellungen (Standarddrucker)"));
    EXPECT_EQ(items[1]->text(), QStringLiteral("Büro"));
    EXPECT_FALSE(items[1]->isChecked());
    EXPECT_EQ(items[2]->text(), QStringLiteral("Lager"));
    EXPECT_TRUE(items[2]->isChecked()); // "lager" in the list, compared ignoring case
    EXPECT_EQ(items[2]->data().toInt(), 1);

    items[2]->trigger();
    ASSERT_EQ(printers.jobs.size(), 1u);
    EXPECT_EQ(printers.jobs[0].printer, QStringLiteral("Lager"));
    QPdfDocument printed;
    ASSERT_EQ(printed.load(printers.jobs[0].file), QPdfDocument::Error::None);
    EXPECT_EQ(printed.pageCount(), 3);

    // No list: every printer released. No printer at all: the default printer's single item.
    testsupport::TestDatabase::Exec(QStringLiteral("UPDATE picndoku SET pd_reportprinters = NULL"));
    doc.AssignToDokId(id);
    viewer.pmPrintPopup();
    for (QAction* a : viewer.pmPrint->actions())
        EXPECT_FALSE(a->isChecked()) << a->text().toStdString();
    printers.names.clear();
    viewer.pmPrintPopup();
    const QList<QAction*> single = viewer.pmPrint->actions();
    EXPECT_EQ(single.back()->text(), QStringLiteral("Dokument drucken (Standarddrucker)"));
    EXPECT_EQ(single.back()->data().toInt(), -1);
}

TEST_F(PdfViewerTest, SendingAttachesTheFileWithTheServersTextAsBody) {
    struct Mail {
        QString to, subject, body;
        QStringList files, names;
    };
    std::vector<Mail> sent;
    TVoskTaskDialog::FVoskSendMail.Set([&](const QString& to, const QString& subject, const QString& body,
                                           const QStringList& files, const QStringList& names) {
        sent.push_back({to, subject, body, files, names});
        return true;
    });
    TDokument doc;
    doc.AssignToDokId(storePdf());
    TFileViewerFramePDF viewer(nullptr, &doc, false, nullptr);
    viewer.btFileSendClick(nullptr);
    TVoskTaskDialog::FVoskSendMail.Reset();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_TRUE(sent[0].to.isEmpty());
    EXPECT_TRUE(sent[0].subject.isEmpty());
    EXPECT_TRUE(sent[0].body.startsWith(u"Sehr geehrte Damen und Herren"));
    ASSERT_EQ(sent[0].files.size(), 1);
    EXPECT_TRUE(QFileInfo(sent[0].files[0]).isFile());
    EXPECT_EQ(sent[0].names, QStringList{QStringLiteral("Lieferschein.pdf")});

    // The further attachment takes the ending of the file sent, not of the document's name.
    EXPECT_EQ(UFileViewer::MailAttachmentName(QStringLiteral("Vertrag.pdf"), QStringLiteral("/tmp/7_scan.tiff")),
              QStringLiteral("Vertrag.tiff"));
    EXPECT_EQ(UFileViewer::MailAttachmentName(QStringLiteral("Vertrag"), QStringLiteral("/tmp/a.pdf")),
              QStringLiteral("Vertrag.pdf"));
    // The English user gets the English text block.
    testsupport::TestDatabase::Exec(QStringLiteral("UPDATE mitarbeiter SET m_sprache = 3 WHERE m_login = 'anna'"));
    EXPECT_TRUE(m_dm.LoadVar(QStringLiteral("SELECT belarzu__zu_tit__gettxt('DOKU_SEND_EMAILTXT', curr_lang(), FALSE)"))
                    .toString()
                    .startsWith(u"Dear"));
    EXPECT_TRUE(m_dm.LoadVar(QStringLiteral("SELECT belarzu__zu_tit__gettxt('DOKU_SEND_EMAILTXT', 5, TRUE)")).isNull());
    testsupport::TestDatabase::Exec(QStringLiteral("UPDATE mitarbeiter SET m_sprache = 0 WHERE m_login = 'anna'"));
}

TEST_F(PdfViewerTest, DocumentsItCannotShowLeaveAnEmptyViewer) {
    // Not yet stored: refused with "read only", the viewer empty.
    TDokument fresh;
    fresh.SetNewDocumentFlag(true);
    TDokument doc;
    doc.AssignToDokId(storePdf());
    TFileViewerFramePDF viewer(nullptr, &doc, false, nullptr);
    ASSERT_EQ(viewer.Pdf()->pageCount(), 3);
    try {
        viewer.Recreate(&fresh);
        ADD_FAILURE() << "a new document was shown";
    } catch (const EVoskException& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("read only"));
    }
    EXPECT_EQ(viewer.Pdf()->pageCount(), 0);
    EXPECT_EQ(viewer.Dokument(), nullptr);

    // The file gone from the store: empty, no message (the answerer fails on any question).
    const int gone = storePdf();
    testsupport::TestDatabase::Exec(
        QStringLiteral("UPDATE picndoku SET pd_dmsremotefile = NULL WHERE pd_id = %1").arg(gone));
    TDokument missing;
    missing.AssignToDokId(gone);
    viewer.Recreate(&missing);
    EXPECT_EQ(viewer.Pdf()->pageCount(), 0);
    EXPECT_TRUE(viewer.lbStatus->text().isEmpty());

    // Not a PDF: empty, with the reason in the status line, no crash.
    TDokument damaged;
    damaged.AssignToDokId(storePdf(QByteArray("%PDF-1.4 kaputt")));
    viewer.Recreate(&damaged);
    EXPECT_EQ(viewer.Pdf()->pageCount(), 0);
    EXPECT_EQ(viewer.lbStatus->text(), QStringLiteral("Die Datei ist kein lesbares PDF-Dokument."));
    viewer.PDFViewer->viewport()->repaint();
    viewer.btPageNextClick(nullptr);
    viewer.btZoomInClick(nullptr);
}

#include "PdfViewerTest.moc"

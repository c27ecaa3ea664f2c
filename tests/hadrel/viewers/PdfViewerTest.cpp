// The PDF viewer against a real store with PDFs generated here: loading, rendering, thumbnails on
// demand, the remembered zoom, zoom steps, the view history, find, Escape in the document window,
// the print menu from the preferred printers, sending by e-mail, and documents it cannot show.
#include "ViewerFixture.h"

#include <PdfPrinters.h>
#include <TVoskTaskDialog.h>
#include <UFileViewerPDF.h>

#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPdfDocument>
#include <QPdfPageNavigator>
#include <QPdfWriter>
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
    viewer.PDFViewer->viewport()->repaint();
    EXPECT_TRUE(HasInk(viewer.PDFViewer->RenderedPage()));
    EXPECT_TRUE(viewer.lbStatus->text().isEmpty());
    EXPECT_EQ(viewer.GetSavePath(), QStringLiteral("TFileViewerFramePDF~View~"));
    // The default zoom: page width, shown in the caption.
    EXPECT_TRUE(viewer.btZoomWidth->isChecked());
    EXPECT_EQ(viewer.cbZoom->text(), QStringLiteral("%1%").arg(viewer.PDFViewer->ZoomFactor()));

    // Thumbnails are rendered when asked for, one at a time.
    const int before = viewer.Thumbnails()->RenderedCount();
    const QImage thumb = viewer.Thumbnails()->data(viewer.Thumbnails()->index(2), Qt::DecorationRole).value<QImage>();
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
    const QSize upright = viewer.PDFViewer->RenderedPage().size();
    viewer.btRotateRightClick(nullptr);
    viewer.PDFViewer->viewport()->repaint();
    EXPECT_EQ(viewer.PDFViewer->Rotation(), 90);
    EXPECT_GT(viewer.PDFViewer->RenderedPage().width(), viewer.PDFViewer->RenderedPage().height());
    for (int i = 0; i < 4; ++i)
        viewer.btRotateLeftClick(nullptr);
    EXPECT_EQ(viewer.PDFViewer->Rotation(), 90);
    viewer.btRotateRightClick(nullptr);
    viewer.PDFViewer->viewport()->repaint();
    EXPECT_EQ(viewer.PDFViewer->RenderedPage().size(), upright);
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
    EXPECT_LE(viewer.Thumbnails()->RenderedCount(), 2 * rendered + 1);
    const QImage last59 =
        viewer.Thumbnails()->data(viewer.Thumbnails()->index(59), Qt::DecorationRole).value<QImage>();
    EXPECT_EQ(last59.size(), viewer.Thumbnails()->ThumbSize(59));
    EXPECT_TRUE(HasInk(last59));
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

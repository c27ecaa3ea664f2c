// Printing and export of TIFF documents against a real store, printed by a printer service that
// prints into PDF files; every file written is read back by another reader (Qt PDF, poppler's
// pdfinfo, Qt's image readers, the PostScript text).
#include "ViewerFixture.h"

#include <AnnotLayer.h>
#include <IEDocWriter.h>
#include <Korvexcommonvcl.h>
#include <PdfPrinters.h>
#include <TImagesExportForm.h>
#include <UFileViewerTIFF.Print.h>
#include <UFileViewerTIFF.Stamps.h>
#include <view/TImageEnVect.h>

#include <QCheckBox>
#include <QComboBox>
#include <QPainter>
#include <QPdfDocument>
#include <QProcess>
#include <QRadioButton>
#include <QTemporaryDir>

using namespace viewertest;
using UFileViewerTIFF::PrintImageFit;

namespace {

// Answers the modal forms of print preview and export options.
class FormAnswers final : public Korvexcommonvcl::ModalForms {
public:
    FormAnswers() { m_old = SetInstance(this); }
    ~FormAnswers() override { SetInstance(m_old); }
    std::function<int(Corvale::TPrintPreviewForm*)> preview;
    std::function<int(TImagesExportForm*)> options;
    int Run(Vcl::TForm* form) override {
        if (auto* p = qobject_cast<Corvale::TPrintPreviewForm*>(form); p && preview)
            return preview(p);
        if (auto* o = qobject_cast<TImagesExportForm*>(form); o && options)
            return options(o);
        ADD_FAILURE() << "unexpected form " << form->metaObject()->className();
        return Vcl::mrCancel;
    }

private:
    ModalForms* m_old;
};

int PrintIt(Corvale::TPrintPreviewForm* f) {
    f->PrintClick();
    return f->ModalResult();
}

QString LastVal(const QString& like) {
    return testsupport::TestDatabase::Scalar(
        QStringLiteral("SELECT coalesce(max(lv_value), '-') FROM lastval WHERE lv_key LIKE '%1'").arg(like));
}

QImage RenderPdfPage(const QString& file, int page, QSize* points = nullptr) {
    QPdfDocument pdf;
    EXPECT_EQ(pdf.load(file), QPdfDocument::Error::None);
    const QSizeF size = pdf.pagePointSize(page);
    if (points)
        *points = size.toSize();
    QImage white(size.toSize(), QImage::Format_RGB32);
    white.fill(Qt::white);
    QPainter p(&white);
    p.drawImage(0, 0, pdf.render(page, size.toSize()));
    return white;
}

int PdfPages(const QString& file) {
    QPdfDocument pdf;
    pdf.load(file);
    return pdf.pageCount();
}

bool Reddish(QRgb c) { return qRed(c) > 180 && qRed(c) - qGreen(c) > 60; }

} // namespace

TEST(PrintImageFitTest, NaturalSizeTurnedSheetOrScaled) {
    // A4 at 600 dpi: R = round(4960 / 7.874) = 630 dots per inch for the picture's 72.
    const int W = 4960, H = 7016;
    auto fit = PrintImageFit(QSize(500, 700), W, H);
    EXPECT_EQ(fit.Width, 4375); // trunc(500 / 72 * 630): kept, never enlarged to the sheet
    EXPECT_EQ(fit.Height, 6125);
    EXPECT_FALSE(fit.Landscape);
    // Wide: fits only on a turned sheet, at natural size.
    fit = PrintImageFit(QSize(700, 500), W, H);
    EXPECT_EQ(fit.Width, 6125);
    EXPECT_EQ(fit.Height, 4375);
    EXPECT_TRUE(fit.Landscape);
    // Too large either way: the pixel size scaled into the sheet turned to the picture's side.
    fit = PrintImageFit(QSize(3000, 2000), W, H);
    EXPECT_TRUE(fit.Landscape);
    EXPECT_EQ(fit.Width, 7016);
    EXPECT_EQ(fit.Height, 4677);
    fit = PrintImageFit(QSize(2000, 3000), W, H);
    EXPECT_FALSE(fit.Landscape);
    EXPECT_EQ(fit.Width, 4677);
    EXPECT_EQ(fit.Height, 7016);
    // A printer that reports its page landscape counts as turned already.
    fit = PrintImageFit(QSize(500, 700), H, W);
    EXPECT_TRUE(fit.Landscape);
    EXPECT_EQ(fit.Width, 4375);
    EXPECT_EQ(UFileViewerTIFF::ExportDefaultExt(3), QStringLiteral("ps"));
    EXPECT_EQ(UFileViewerTIFF::ExportDefaultExt(4), QStringLiteral("ps"));
    EXPECT_EQ(UFileViewerTIFF::ExportDefaultExt(5), QStringLiteral("tiff"));
    EXPECT_EQ(UFileViewerTIFF::ExportDefaultExt(6), QStringLiteral("tiff"));
    EXPECT_EQ(UFileViewerTIFF::ExportDefaultExt(7), QStringLiteral("png"));
    for (int i : {0, 1, 2, 8, -1})
        EXPECT_EQ(UFileViewerTIFF::ExportDefaultExt(i), QStringLiteral("pdf"));
}

class PrintExportTest : public ViewerTest {
protected:
    testsupport::PdfPrinters m_printers;
    FormAnswers m_forms;
    QTemporaryDir m_dir;
};

TEST_F(PrintExportTest, AllPagesPrintWithAnnotationsBetweenTheMarginsAndTheViewIsKept) {
    const int id = store(Tiff(3));
    TDokument doc;
    doc.AssignToDokId(id);
    TFileViewerFrameTIFF viewer(nullptr, &doc, false, nullptr);
    TAnnotLayer layer(viewer.imCurrentPage->Model());
    layer.AddAnnotHighlight(QRect(100, 100, 100, 50), 0x0000FF); // red
    ASSERT_TRUE(viewer.imOverview->isHidden());
    const QList<bool> loaded{viewer.imOverviewPages()->UserData(1)->Loadet};

    int previewPages = 0;
    m_forms.preview = [&](Corvale::TPrintPreviewForm* f) {
        previewPages = f->PageCount();
        return PrintIt(f);
    };
    m_answers.Expect(QStringLiteral("alle Seiten drucken"), Vcl::mrYes);
    viewer.btFilePrintClick(nullptr);
    ASSERT_EQ(m_answers.Questions().size(), 1u);
    EXPECT_EQ(m_answers.Questions()[0].buttonCaptions.value(Vcl::mbNo), QStringLiteral("Nur aktuelle Seite"));
    EXPECT_EQ(m_answers.Questions()[0].defaultButton, Vcl::mbNo);
    EXPECT_EQ(previewPages, 3);
    ASSERT_EQ(m_printers.jobs.size(), 1u);
    EXPECT_EQ(m_printers.jobs[0].printer, QStringLiteral("Büro"));
    const QString out = m_printers.jobs[0].file;
    EXPECT_EQ(PdfPages(out), 3);

    // Page 400 x 560 on A4 within 0.25 cm margins (0.5 at the bottom): width-bound, scale 1.452,
    // centred; the first line starts 25 page pixels in, 30 down.
    const double scale = (595.0 - 2 * 0.25 / 2.54 * 72) / 400;
    const double top = 0.25 / 2.54 * 72 + (842.0 - 0.75 / 2.54 * 72 - 560 * scale) / 2;
    QSize points;
    const QImage first = RenderPdfPage(out, 0, &points);
    EXPECT_EQ(points, QSize(595, 842));
    int left = -1;
    for (int x = 0; x < first.width() && left < 0; ++x)
        for (int y = 0; y < first.height(); ++y)
            if (qGray(first.pixel(x, y)) < 100) {
                left = x;
                break;
            }
    EXPECT_NEAR(left, 0.25 / 2.54 * 72 + 25 * scale, 2.0);
    int topLine = -1;
    for (int y = 0; y < first.height() && topLine < 0; ++y)
        if (qGray(first.pixel(int(0.25 / 2.54 * 72 + 60 * scale), y)) < 100)
            topLine = y;
    EXPECT_NEAR(topLine, top + 30 * scale, 2.0);
    // The annotation shows in the printed pixels of the page that has it, not on the next.
    const QPoint mark(int(0.25 / 2.54 * 72 + 150 * scale), int(top + 125 * scale));
    EXPECT_TRUE(Reddish(first.pixel(mark)));
    EXPECT_FALSE(Reddish(RenderPdfPage(out, 1).pixel(mark)));

    // The view is as it was: the strip hidden, the first page shown with its editable object.
    EXPECT_FALSE(loaded[0]);
    EXPECT_TRUE(viewer.imOverview->isHidden());
    EXPECT_EQ(viewer.imOverviewPages()->SelectedImage(), 0);
    EXPECT_EQ(viewer.imCurrentPage->Model().ObjectsCount(), 1);
}

TEST_F(PrintExportTest, TheCurrentPageAloneAndTheOnePageDocumentWithoutQuestion) {
    TDokument doc;
    doc.AssignToDokId(store(Tiff(3)));
    TFileViewerFrameTIFF viewer(nullptr, &doc, false, nullptr);
    m_forms.preview = PrintIt;
    m_answers.Expect(QStringLiteral("alle Seiten"), Vcl::mrNo);
    viewer.btFilePrintClick(nullptr);
    ASSERT_EQ(m_printers.jobs.size(), 1u);
    EXPECT_EQ(PdfPages(m_printers.jobs[0].file), 1);

    // Cancel prints nothing; closing the preview without printing neither.
    m_answers.Expect(QStringLiteral("alle Seiten"), Vcl::mrCancel);
    viewer.btFilePrintClick(nullptr);
    EXPECT_EQ(m_printers.jobs.size(), 1u);

    TDokument one;
    one.AssignToDokId(store(Tiff(1)));
    TFileViewerFrameTIFF single(nullptr, &one, false, nullptr);
    single.btFilePrintClick(nullptr);
    EXPECT_EQ(m_answers.Questions().size(), 2u); // no third question
    ASSERT_EQ(m_printers.jobs.size(), 2u);
    EXPECT_EQ(PdfPages(m_printers.jobs[1].file), 1);
}

TEST_F(PrintExportTest, PrintTIFFByPrinterNameThroughTheDocumentSlot) {
    TDokument doc;
    doc.AssignToDokId(store(Tiff(3)));
    TFileViewerFrameTIFF::ModulInitialize(nullptr);
    EXPECT_TRUE(TDokument::_PrintTIFF.Assigned());
    EXPECT_TRUE(TDokument::_PrintImage.Assigned());
    EXPECT_TRUE(TDokument::_ExportTIFFAsPDF.Assigned());

    doc.Print(QStringLiteral("Lager"));
    ASSERT_EQ(m_printers.jobs.size(), 1u);
    EXPECT_EQ(m_printers.jobs[0].printer, QStringLiteral("Lager"));
    EXPECT_EQ(PdfPages(m_printers.jobs[0].file), 3);
    PrintTIFF(&doc, {});
    ASSERT_EQ(m_printers.jobs.size(), 2u);
    EXPECT_EQ(m_printers.jobs[1].printer, QStringLiteral("Büro"));

    try {
        PrintTIFF(&doc, QStringLiteral("Keller"));
        ADD_FAILURE() << "an unknown printer printed";
    } catch (const EVoskException& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("PrintTIFF: Drucker \"Keller\" ist nicht bekannt."));
    }
    m_printers.defaultName.clear();
    EXPECT_THROW(PrintTIFF(&doc, {}), EVoskException);
    EXPECT_EQ(m_printers.jobs.size(), 2u);

    TImageListLoader::EnsureLoaded();
    ASSERT_NE(TImageListLoader::DokImageReader(), nullptr);
    TFileViewerFrameTIFF::ModulFinalize();
    EXPECT_EQ(TImageListLoader::DokImageReader(), nullptr); // the stamp list went with the module
    EXPECT_FALSE(TDokument::_PrintTIFF.Assigned());
    EXPECT_FALSE(TDokument::_PrintImage.Assigned());
    EXPECT_FALSE(TDokument::_ExportTIFFAsPDF.Assigned());
}

TEST_F(PrintExportTest, PrintImagePutsAPictureOnOneSheet) {
    QImage picture(700, 500, QImage::Format_RGB32);
    picture.fill(Qt::blue);
    QByteArray png;
    QBuffer b(&png);
    b.open(QIODevice::WriteOnly);
    picture.save(&b, "PNG");
    TDokument doc;
    doc.AssignToDokId(store(png, QStringLiteral("LS"), QStringLiteral("bild.png")));
    try {
        PrintImage(&doc, QStringLiteral("Keller"));
        ADD_FAILURE();
    } catch (const EVoskException& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("PrintImage: Drucker \"Keller\" ist nicht bekannt."));
    }
    EXPECT_TRUE(m_printers.jobs.empty());
    PrintImage(&doc, QStringLiteral("Lager"));
    ASSERT_EQ(m_printers.jobs.size(), 1u);
    // Wider than high and small enough at 72 dpi: natural size on a turned sheet, top left.
    QSize points;
    const QImage page = RenderPdfPage(m_printers.jobs[0].file, 0, &points);
    EXPECT_EQ(points, QSize(842, 595));
    const QRgb corner = page.pixel(30, 30);
    EXPECT_GT(qBlue(corner), 200);
    EXPECT_LT(qRed(corner), 60);
    EXPECT_EQ(page.pixel(page.width() - 5, page.height() - 5), qRgb(255, 255, 255));
}

TEST_F(PrintExportTest, ExportTIFFAsPDFTurnsEveryPageAsTheFirst) {
    Imaging::TTiffWriter w;
    Imaging::TIOParams p;
    p.TIFF_Compression = Imaging::ioTIFF_G4FAX;
    w.WritePage(Page(0, 560, 400), p); // landscape
    w.WritePage(Page(1), p);
    p.TIFF_Compression = Imaging::ioTIFF_JPEG;
    w.WritePage(Page(2).convertToFormat(QImage::Format_Grayscale8), p);
    TDokument doc;
    doc.AssignToDokId(store(w.Finish()));
    const QString file = m_dir.filePath(QStringLiteral("export.pdf"));
    ExportTIFFAsPDF(&doc, file);
    QPdfDocument pdf;
    ASSERT_EQ(pdf.load(file), QPdfDocument::Error::None);
    ASSERT_EQ(pdf.pageCount(), 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(pdf.pagePointSize(i).toSize(), QSize(842, 595));
    EXPECT_EQ(pdf.metaData(QPdfDocument::MetaDataField::Creator).toString(), QStringLiteral("KORVEX ERP"));
    EXPECT_EQ(pdf.metaData(QPdfDocument::MetaDataField::Title).toString(), QStringLiteral("Lieferschein"));

    TDokument bad;
    bad.AssignToDokId(store(QByteArray("kein TIFF"), QStringLiteral("LS"), QStringLiteral("x.tiff")));
    try {
        ExportTIFFAsPDF(&bad, m_dir.filePath(QStringLiteral("bad.pdf")));
        ADD_FAILURE();
    } catch (const EVoskException& e) {
        EXPECT_TRUE(e.Message().startsWith(u"ExportTIFFAsPDF: Fehler beim Lesen von Datei \""));
    }
    EXPECT_FALSE(QFile::exists(m_dir.filePath(QStringLiteral("bad.pdf"))));
}

TEST_F(PrintExportTest, ExportDialogRemembersIndexAndFolderOnlyWhenAFileWasChosen) {
    TDokument doc;
    doc.AssignToDokId(store(Tiff(3)));
    TFileViewerFrameTIFF viewer(nullptr, &doc, false, nullptr);

    // Cancelled save dialog: nothing stored; the default extension follows the stored index.
    m_dm.SaveLastValInt(QStringLiteral("TFileViewerFrameTIFF_Export~anna"), 7, true);
    m_answers.ExpectFile(QStringLiteral("Speichern"), {});
    viewer.btFileExportClick(nullptr);
    ASSERT_EQ(m_answers.FileDialogsShown().size(), 1u);
    const Vcl::TFileRequest& r = m_answers.FileDialogsShown()[0].request;
    EXPECT_EQ(r.defaultSuffix, QStringLiteral("png"));
    EXPECT_EQ(r.filterIndex, 7);
    EXPECT_EQ(r.filter, QString::fromLatin1(UFileViewerTIFF::kExportFilter));
    EXPECT_EQ(LastVal(QStringLiteral("TFileViewerFrameTIFF_Export~%")), QStringLiteral("7"));
    EXPECT_EQ(LastVal(QStringLiteral("FileDialogFolder_%")), QStringLiteral("-"));

    // Filter 5: the message, nothing written, index and folder stored.
    QDir(m_dir.path()).mkdir(QStringLiteral("a"));
    m_answers.ExpectSave(QStringLiteral("Speichern"), m_dir.filePath(QStringLiteral("a/alle.tiff")), 5);
    m_answers.Expect(QStringLiteral("noch nicht implementiert"), Vcl::mrOk);
    viewer.btFileExportClick(nullptr);
    EXPECT_FALSE(QFile::exists(m_dir.filePath(QStringLiteral("a/alle.tiff"))));
    EXPECT_EQ(LastVal(QStringLiteral("TFileViewerFrameTIFF_Export~%")), QStringLiteral("5"));
    EXPECT_EQ(LastVal(QStringLiteral("FileDialogFolder_TFileViewerFrameTIFF")), m_dir.filePath(QStringLiteral("a")));

    // The options form cancelled: no file, but index and folder stored.
    m_forms.options = [](TImagesExportForm*) { return int(Vcl::mrCancel); };
    m_answers.ExpectSave(QStringLiteral("Speichern"), m_dir.filePath(QStringLiteral("doc.pdf")), 1);
    viewer.btFileExportClick(nullptr);
    EXPECT_FALSE(QFile::exists(m_dir.filePath(QStringLiteral("doc.pdf"))));
    EXPECT_EQ(LastVal(QStringLiteral("TFileViewerFrameTIFF_Export~%")), QStringLiteral("1"));
    EXPECT_EQ(LastVal(QStringLiteral("FileDialogFolder_TFileViewerFrameTIFF")), m_dir.path());
    // The next dialog starts there.
    m_answers.ExpectFile(QStringLiteral("Speichern"), {});
    viewer.btFileExportClick(nullptr);
    EXPECT_EQ(m_answers.FileDialogsShown().back().request.folder, m_dir.path());
    EXPECT_EQ(m_answers.FileDialogsShown().back().request.defaultSuffix, QStringLiteral("pdf"));
}

TEST_F(PrintExportTest, PdfAndPostScriptExportsCarryThePagesOnTheChosenPaper) {
    TDokument doc;
    doc.AssignToDokId(store(Tiff(3)));
    TFileViewerFrameTIFF viewer(nullptr, &doc, false, nullptr);

    // "PDF - Einzelseite" presets the current page; the user switches to all pages.
    bool presetCurrent = false, presetLandscape = true;
    m_forms.options = [&](TImagesExportForm* f) {
        presetCurrent = f->CurrentPage();
        presetLandscape = f->Landscape();
        EXPECT_EQ(f->PdfCompression(), Imaging::ioPDF_JPEG);
        EXPECT_FALSE(f->cbReduceResolution->isEnabled()); // A4-sized pages are never reduced
        f->rbAllPages->setChecked(true);
        f->rbCurrentPageClick();
        return int(Vcl::mrOk);
    };
    // The extension follows the type.
    m_answers.ExpectSave(QStringLiteral("Speichern"), m_dir.filePath(QStringLiteral("out.dat")), 2);
    viewer.btFileExportClick(nullptr);
    EXPECT_TRUE(presetCurrent);
    EXPECT_FALSE(presetLandscape);
    const QString pdfFile = m_dir.filePath(QStringLiteral("out.pdf"));
    QPdfDocument pdf;
    ASSERT_EQ(pdf.load(pdfFile), QPdfDocument::Error::None);
    EXPECT_EQ(pdf.pageCount(), 3);
    EXPECT_EQ(pdf.pagePointSize(0).toSize(), QSize(595, 842));
    EXPECT_EQ(pdf.metaData(QPdfDocument::MetaDataField::Creator).toString(), QStringLiteral("KORVEX ERP"));

    // PostScript, black and white as fax data, landscape paper chosen by the user.
    m_forms.options = [&](TImagesExportForm* f) {
        EXPECT_EQ(f->PsCompression(), Imaging::ioPS_JPEG);
        EXPECT_FALSE(f->CurrentPage());
        f->cbCompression->setCurrentIndex(f->cbCompression->findText(QStringLiteral("Schwarz-weiß, verlustfrei")));
        f->cbCompressionChange();
        f->cbBlackWhite->setChecked(true);
        f->cbLandscape->setChecked(true);
        f->cbLandscapeClick();
        return int(Vcl::mrOk);
    };
    m_answers.ExpectSave(QStringLiteral("Speichern"), m_dir.filePath(QStringLiteral("out.ps")), 3);
    viewer.btFileExportClick(nullptr);
    QFile ps(m_dir.filePath(QStringLiteral("out.ps")));
    ASSERT_TRUE(ps.open(QIODevice::ReadOnly));
    const QByteArray text = ps.readAll();
    EXPECT_TRUE(text.startsWith("%!PS"));
    EXPECT_EQ(text.count("\n%%Page:"), 3);
    EXPECT_TRUE(text.contains("%%Title: KORVEX ERP: Lieferschein"));
    EXPECT_EQ(text.count("CCITTFaxDecode"), 3);
    EXPECT_TRUE(text.contains("%%DocumentMedia: 842x595mm 842 595") || text.contains(" 842 595 0 () ()")) << text.left(600).toStdString();
}

TEST_F(PrintExportTest, TiffAndPngCarryBurntInAnnotationsWhileTheViewKeepsThemEditable) {
    TDokument doc;
    doc.AssignToDokId(store(Tiff(2)));
    TFileViewerFrameTIFF viewer(nullptr, &doc, false, nullptr);
    TAnnotLayer layer(viewer.imCurrentPage->Model());
    layer.AddAnnotHighlight(QRect(100, 100, 100, 50), 0x0000FF);
    const QImage before = viewer.imCurrentPage->Model().Bitmap();

    m_answers.ExpectSave(QStringLiteral("Speichern"), m_dir.filePath(QStringLiteral("seite.tiff")), 6);
    viewer.btFileExportClick(nullptr);
    m_answers.ExpectSave(QStringLiteral("Speichern"), m_dir.filePath(QStringLiteral("seite.png")), 7);
    viewer.btFileExportClick(nullptr);
    for (const char* name : {"seite.tiff", "seite.png"}) {
        const QImage written(m_dir.filePath(QString::fromLatin1(name)));
        ASSERT_FALSE(written.isNull()) << name;
        EXPECT_EQ(written.size(), QSize(400, 560));
        EXPECT_TRUE(Reddish(written.pixel(150, 125))) << name;
        EXPECT_FALSE(Reddish(written.pixel(300, 300))) << name;
    }
    QProcess info;
    info.start(QStringLiteral("tiffinfo"), {m_dir.filePath(QStringLiteral("seite.tiff"))});
    ASSERT_TRUE(info.waitForFinished(10000));
    EXPECT_EQ(info.exitCode(), 0);
    EXPECT_TRUE(info.readAllStandardOutput().contains("Image Width: 400"));

    EXPECT_EQ(viewer.imCurrentPage->Model().ObjectsCount(), 1);
    EXPECT_EQ(viewer.imCurrentPage->Model().Bitmap(), before);
}

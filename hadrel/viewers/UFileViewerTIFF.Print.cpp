#include "UFileViewerTIFF.Print.h"

#include "UFileViewerTIFF.h"
#include "UFileViewerTIFF.Stamps.h"

#include <AnnotLayer.h>
#include <IEDocWriter.h>
#include <IEVectRender.h>
#include <Korvexcommonvcl.h>
#include <Korvexutils.Dialogs.h>
#include <Korvexutils.h>
#include <PageCodec.h>
#include <TImagesExportForm.h>
#include <TUserRights.h>
#include <UDM1.h>
#include <Ukorvexclasses.Dokument.h>
#include <Vcl.Services.h>
#include <VoskPrinters.h>
#include <view/TImageEnVect.h>

#include <QBuffer>
#include <QCheckBox>
#include <QListView>
#include <QRadioButton>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>
#include <QPrinter>
#include <QScopeGuard>

#include <cmath>

namespace UFileViewerTIFF {

QString ExportDefaultExt(int filterIndex) {
    switch (filterIndex) {
    case 3:
    case 4:
        return QStringLiteral("ps");
    case 5:
    case 6:
        return QStringLiteral("tiff");
    case 7:
        return QStringLiteral("png");
    default:
        return QStringLiteral("pdf");
    }
}

QRectF PrintTarget(QSize pageSize, QSizeF sheetPixels, int resolution, const TPrintMargins& m) {
    const double perCm = resolution / 2.54;
    const QRectF area(m.Left * perCm, m.Top * perCm,
                      sheetPixels.width() - (m.Left + m.Right) * perCm,
                      sheetPixels.height() - (m.Top + m.Bottom) * perCm);
    if (pageSize.isEmpty() || area.width() <= 0 || area.height() <= 0)
        return {};
    const double scale =
        std::min(area.width() / pageSize.width(), area.height() / pageSize.height());
    const QSizeF size(pageSize.width() * scale, pageSize.height() * scale);
    return QRectF(area.x() + (area.width() - size.width()) / 2,
                  area.y() + (area.height() - size.height()) / 2, size.width(), size.height());
}

void PaintPrintPage(QPainter& p, const Imaging::TIEVectModel& page, const QRectF& target) {
    const QImage& bitmap = page.Bitmap();
    if (bitmap.isNull() || target.isEmpty())
        return;
    p.save();
    p.translate(target.topLeft());
    p.scale(target.width() / bitmap.width(), target.height() / bitmap.height());
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(QPointF(0, 0), bitmap);
    // The objects are drawn as vectors, so they come out at the printer's resolution.
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    Imaging::PaintObjects(p, page);
    p.restore();
}

TPrintImageFit PrintImageFit(QSize picture, int pageWidth, int pageHeight) {
    TPrintImageFit fit;
    int W = pageWidth, H = pageHeight;
    if (W > H) {
        std::swap(W, H);
        fit.Landscape = true;
    }
    // The dots per inch of a printable width of 200 mm; the picture taken at 72 dots per inch.
    // In integers: 500 / 72 * 630 is 4375, not the 4374.99... of floating point.
    const qint64 R = std::lround(W / 7.874015748031496);
    int w = int(picture.width() * R / 72);
    int h = int(picture.height() * R / 72);
    if (w <= W && h <= H) {
    } else if (w <= H && h <= W) {
        fit.Landscape = !fit.Landscape;
    } else {
        w = picture.width();
        h = picture.height();
        if ((W < H) != (h > w)) {
            std::swap(W, H);
            fit.Landscape = !fit.Landscape;
        }
        if (w > 0 && h > 0) {
            const double s = std::min(double(W) / w, double(H) / h);
            w = int(std::trunc(w * s));
            h = int(std::trunc(h * s));
        }
    }
    fit.Width = w;
    fit.Height = h;
    return fit;
}

} // namespace UFileViewerTIFF

using namespace UFileViewerTIFF;

namespace {

QString DocumentName(TDokument* doc) { return doc ? doc->Caption() : QString(); }

// The rights check of the print and export commands: action 5 print, 6 export.
void CheckFileRight(TDokument* doc, int action) {
    if (!doc)
        return;
    if (doc->NewDocumentFlag())
        TUserRights::CanDoDMSFileAction(doc->InsertData().DokType, 0, action, true);
    else
        TUserRights::CanDoDMSFileAction(doc->DokType(), doc->Id(), action, true);
}

// The printer by name for PrintTIFF and PrintImage; what routine says when the name is unknown.
std::unique_ptr<QPrinter> SelectPrinter(const QString& routine, const QString& name) {
    Corvale::Printers& printers = Corvale::Printers::Instance();
    if (!name.isEmpty() && !printers.PrinterNames().contains(name))
        throw EVoskException(
            QStringLiteral("%1: Drucker \"%2\" ist nicht bekannt.").arg(routine, name));
    return printers.NewPrinter(name);
}

QString JobName(TDokument* doc) {
    return doc ? QFileInfo(doc->DMSRemoteFilename()).fileName() : QString();
}

// Paints pages on printer, one sheet each.
void PaintPages(QPrinter& printer, const QList<int>& pages,
                const std::function<std::unique_ptr<Imaging::TIEVectModel>(int)>& page,
                const TPrintMargins& margins) {
    printer.setFullPage(true);
    QPainter painter;
    if (!painter.begin(&printer))
        throw EVoskException(QStringLiteral("Der Druckauftrag kann nicht begonnen werden."));
    auto abort = qScopeGuard([&] {
        printer.abort();
        painter.end();
    });
    const int resolution = printer.resolution();
    const QSizeF sheet = printer.pageLayout().fullRectPixels(resolution).size();
    bool first = true;
    for (int i : pages) {
        const std::unique_ptr<Imaging::TIEVectModel> model = page(i);
        if (!first && !printer.newPage())
            throw EVoskException(QStringLiteral("Der Druckauftrag wurde abgebrochen."));
        first = false;
        PaintPrintPage(painter,
                       *model, PrintTarget(model->Bitmap().size(), sheet, resolution, margins));
    }
    abort.dismiss();
    painter.end();
}

} // namespace

// ---- the viewer's commands ------------------------------------------------------------------

QImage TFileViewerFrameTIFF::PageImage(int page) {
    TPageData* data = imOverviewPages()->UserData(page);
    if (data && !data->Loadet)
        LoadImage(page, false);
    data = imOverviewPages()->UserData(page);
    if (!data)
        return {};
    const QByteArray& tiff = data->CurImage.isEmpty() ? data->OldImage : data->CurImage;
    return TViewerPages::DecodePage(tiff);
}

std::unique_ptr<Imaging::TIEVectModel> TFileViewerFrameTIFF::PrintPage(int page) {
    auto model = std::make_unique<Imaging::TIEVectModel>();
    if (page == imOverviewPages()->SelectedImage() && !imCurrentPage->Model().Bitmap().isNull()) {
        const Imaging::TIEVectModel& shown = imCurrentPage->Model();
        model->SetBitmap(shown.Bitmap());
        for (const Imaging::TIEVObject& o : shown.Objects())
            model->AddObject(o);
        return model;
    }
    model->SetBitmap(PageImage(page));
    if (TPageData* data = imOverviewPages()->UserData(page); data && !data->CurAnnot.isEmpty()) {
        TAnnotLayer layer(*model);
        layer.Env.RemoteFileName = Dokument() ? Dokument()->DMSRemoteFilename() : QString();
        layer.LoadAnnotations(data->CurAnnot, page);
    }
    return model;
}

void TFileViewerFrameTIFF::HideAllImages() {
    if (imOverview->isHidden())
        return;
    btShowOverview->setChecked(false);
    btShowOverviewClick(btShowOverview);
}

void TFileViewerFrameTIFF::PrintPages(QPrinter& printer, bool allPages) {
    QList<int> pages;
    if (allPages)
        for (int i = 0; i < imOverviewPages()->ImageCount(); ++i)
            pages << i;
    else
        pages << std::max(0, imOverviewPages()->SelectedImage());
    const TPrintMargins margins{FPrintMargin[0], FPrintMargin[1], FPrintMargin[2],
                                FPrintMargin[3]};
    PaintPages(printer, pages, [this](int i) { return PrintPage(i); }, margins);
}

void TFileViewerFrameTIFF::btFilePrintClick(QObject*) {
    const int count = imOverviewPages()->ImageCount();
    if (count == 0 || (count == 1 && imCurrentPage->Model().Bitmap().isNull()))
        return;
    if (imCurrentPage->IsMemoEditing())
        imCurrentPage->MemoEditEnd();
    CheckFileRight(Dokument(), 5);

    QString answer = QStringLiteral("No");
    if (count > 1)
        answer = Korvexutils::RaiseQuestionBtn(
            makeText(17127, QStringLiteral("Möchten Sie alle Seiten drucken?")),
            makeText(17412, QStringLiteral("Yes=Alle Seiten|No=Nur aktuelle Seite|Cancel")), 1);
    const bool all = answer == QLatin1String("Yes");
    if (!all && answer != QLatin1String("No"))
        return;
    if (!all)
        RotateToDefault();

    Corvale::Printers& printers = Corvale::Printers::Instance();
    const std::unique_ptr<QPrinter> printer = printers.NewPrinter({});
    const QString job = JobName(Dokument());
    printer->setDocName(job);
    // Pages not shown are read into their page data without showing them, so the view and the
    // canvas's unsaved objects stay as they are.
    printers.PrintPreview(
        *printer, [&](QPrinter* p) { PrintPages(*p, all); }, job, this);
}

void TFileViewerFrameTIFF::btFileExportClick(QObject*) {
    if (imCurrentPage->Model().Bitmap().isNull())
        return;
    if (imCurrentPage->IsMemoEditing())
        imCurrentPage->MemoEditEnd();
    CheckFileRight(Dokument(), 6);

    TDM1* dm = DM1();
    const QString indexKey =
        QStringLiteral("TFileViewerFrameTIFF_Export~") + (dm ? dm->FGetUsername() : QString());
    int filterIndex = dm ? dm->LoadLastValInt(indexKey, 0, true) : 0;
    const QString dialogKey = QString::fromLatin1(metaObject()->className());
    const QString chosen = Korvexutils::RaiseSaveDialog(
        this, dialogKey, ExportDefaultExt(filterIndex), QString::fromLatin1(kExportFilter),
        filterIndex, Dokument() ? Dokument()->Caption() : QString());
    if (chosen.isEmpty())
        return;
    if (dm)
        dm->SaveLastValInt(indexKey, filterIndex, true);

    const int current = std::max(0, imOverviewPages()->SelectedImage());
    if (filterIndex >= 1 && filterIndex <= 4)
        RotateToDefault();
    switch (filterIndex) {
    case 1:
    case 2:
    case 3:
    case 4: {
        const bool pdf = filterIndex <= 2;
        TImagesExportForm form(pdf ? TImagesExportForm::etPDF : TImagesExportForm::etPS, this);
        const QSize firstSize = PageImage(0).size();
        if (pdf) {
            form.cbReduceResolution->setChecked(false);
            form.cbReduceResolution->setEnabled(Imaging::ReductionFactor(firstSize) < 0.5);
            form.SetPdfCompression(Imaging::ioPDF_JPEG);
        } else {
            form.cbReduceResolution->setEnabled(false);
            form.SetPsCompression(Imaging::ioPS_JPEG);
        }
        form.cbCompressionChange();
        if (filterIndex == 2 || filterIndex == 4) {
            form.rbCurrentPage->setChecked(true);
            form.rbCurrentPageClick();
        }
        const QSize turnSize = form.CurrentPage() ? PageImage(current).size() : firstSize;
        form.cbLandscape->setChecked(turnSize.width() > turnSize.height());
        form.cbLandscapeClick();
        if (Korvexcommonvcl::ShowModal(&form) != Vcl::mrOk)
            break;

        const QFileInfo info(chosen);
        const QString fileName =
            info.path() + u'/' + info.completeBaseName() + (pdf ? QStringLiteral(".pdf") : QStringLiteral(".ps"));
        Imaging::TIEDocWriter writer(fileName, pdf ? Imaging::TIEDocType::PDF
                                                   : Imaging::TIEDocType::PS);
        writer.SetPaper(form.PaperWidth(), form.PaperHeight());
        writer.SetCompression(pdf ? form.PdfCompression() : form.PsCompression());
        const QString name = Dokument() ? Dokument()->Caption() : QString();
        if (pdf) {
            writer.SetCreator(QStringLiteral("KORVEX ERP"));
            if (Dokument())
                writer.SetTitle(name);
        } else {
            writer.SetTitle(Dokument() ? QStringLiteral("KORVEX ERP: ") + name
                                       : QStringLiteral("KORVEX ERP"));
        }
        const bool reduce = pdf && form.ReduceResolution();
        QList<int> range;
        if (form.CurrentPage())
            range << current;
        else
            for (int i = 0; i < imOverviewPages()->ImageCount(); ++i)
                range << i;
        for (int i : range) {
            QImage page = PageImage(i);
            if (form.BlackWhite())
                page = Imaging::ConvertToBWOrdered(page);
            const double factor = Imaging::ReductionFactor(page.size());
            if (reduce && factor < 0.9)
                page = Imaging::ReducedPage(page, factor);
            if (!writer.AddPage(page))
                throw EImagesException(makeText(17106, QStringLiteral("Ungültiges Bild")) +
                                       QStringLiteral(" (%1)").arg(writer.ErrorText()));
        }
        if (!writer.Close())
            throw EImagesException(makeText(17106, QStringLiteral("Ungültiges Bild")) +
                                   QStringLiteral(" (%1)").arg(writer.ErrorText()));
        break;
    }
    case 5:
        Vcl::ShowMessage(QStringLiteral("noch nicht implementiert"));
        break;
    case 6:
    case 7: {
        // The burnt-in page is written from a copy: the canvas keeps its editable objects.
        const QImage burnt = Imaging::CopyObjectsToBack(*PrintPage(current));
        if (filterIndex == 6) {
            TPageData* data = imOverviewPages()->UserData(current);
            Imaging::TIOParams params;
            if (data)
                TViewerPages::DecodePage(data->CurImage.isEmpty() ? data->OldImage
                                                                  : data->CurImage,
                                         &params);
            Imaging::TIOParams out;
            out.DpiX = params.DpiX;
            out.DpiY = params.DpiY;
            // Annotations are coloured: a fax or JPEG compression of the original would lose them.
            out.TIFF_Compression = params.TIFF_Compression == Imaging::ioTIFF_JPEG
                                       ? Imaging::ioTIFF_JPEG
                                       : Imaging::ioTIFF_LZW;
            Imaging::TTiffWriter tiff;
            tiff.WritePage(burnt, out);
            QFile file(chosen);
            const QByteArray bytes = tiff.Finish();
            if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
                file.write(bytes) != bytes.size() || !file.flush())
                throw EVoskException(QStringLiteral("Die Datei \"%1\" kann nicht geschrieben werden: %2")
                                         .arg(chosen, file.errorString()));
        } else {
            const QImage png = burnt.format() == QImage::Format_Indexed8
                                   ? burnt
                                   : burnt.convertToFormat(QImage::Format_RGB32);
            if (!png.save(chosen, "PNG"))
                throw EVoskException(
                    QStringLiteral("Die Datei \"%1\" kann nicht geschrieben werden").arg(chosen));
        }
        break;
    }
    default:
        throw EVoskException(QStringLiteral("Kein Dateifilter ausgewählt."));
    }
    Korvexutils::SaveDialogFolder(dialogKey, chosen);
}

// ---- the routines of the document class -----------------------------------------------------

void PrintTIFF(TDokument* Doku, const QString& PrinterName) {
    if (!Doku || Doku->IsEmpty())
        return;
    const std::unique_ptr<QPrinter> printer = SelectPrinter(QStringLiteral("PrintTIFF"), PrinterName);
    auto viewer = std::make_unique<TFileViewerFrameTIFF>(nullptr, Doku, false, nullptr);
    CheckFileRight(Doku, 5);
    printer->setDocName(JobName(Doku));
    viewer->PrintPages(*printer, true);
}

void PrintImage(TDokument* Doku, const QString& PrinterName) {
    if (!Doku || Doku->IsEmpty())
        return;
    const std::unique_ptr<QPrinter> printer =
        SelectPrinter(QStringLiteral("PrintImage"), PrinterName);
    TUserRights::CanDoDMSFileAction(Doku->DokType(), Doku->Id(), 5, true);
    const QString local = Doku->DMSGetFile({}, true, true);
    QImageReader reader(local);
    reader.setAutoTransform(true);
    const QImage picture = reader.read();
    if (picture.isNull())
        throw EVoskException(QStringLiteral("PrintImage: Die Datei \"%1\" kann nicht gelesen werden: %2")
                                 .arg(local, reader.errorString()));
    printer->setDocName(JobName(Doku));
    printer->setPageOrientation(QPageLayout::Portrait);
    const QRect page = printer->pageLayout().paintRectPixels(printer->resolution());
    const TPrintImageFit fit = PrintImageFit(picture.size(), page.width(), page.height());
    if (fit.Landscape)
        printer->setPageOrientation(QPageLayout::Landscape);
    QPainter painter;
    if (!painter.begin(printer.get()))
        throw EVoskException(QStringLiteral("Der Druckauftrag kann nicht begonnen werden."));
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRect(0, 0, fit.Width, fit.Height), picture);
    if (!painter.end()) {
        printer->abort();
        throw EVoskException(QStringLiteral("Der Druckauftrag wurde abgebrochen."));
    }
}

void ExportTIFFAsPDF(TDokument* Doku, const QString& FileName) {
    if (!Doku)
        return;
    const QString local = Doku->DMSGetFile({}, true, false);
    QFile file(local);
    const QString readError =
        QStringLiteral("ExportTIFFAsPDF: Fehler beim Lesen von Datei \"%1\".").arg(local);
    if (!file.open(QIODevice::ReadOnly))
        throw EVoskException(readError);
    const QByteArray bytes = file.readAll();
    file.close();
    std::unique_ptr<Imaging::TTiffReader> reader;
    QList<quint64> offsets;
    try {
        reader = std::make_unique<Imaging::TTiffReader>(bytes);
        offsets = Imaging::TiffPageOffsets(bytes);
    } catch (const EVoskException&) {
        throw EVoskException(readError);
    }
    if (offsets.isEmpty())
        throw EVoskException(readError);

    std::unique_ptr<Imaging::TIEDocWriter> writer;
    for (int i = 0; i < offsets.size(); ++i) {
        QImage page;
        try {
            reader->OpenAt(offsets[i]);
            page = reader->Decode();
        } catch (const EVoskException&) {
        }
        if (!writer) {
            writer = std::make_unique<Imaging::TIEDocWriter>(FileName, Imaging::TIEDocType::PDF);
            // Every page on the paper the first page asks for.
            if (page.width() > page.height())
                writer->SetPaper(Imaging::kA4HeightPt, Imaging::kA4WidthPt);
            else
                writer->SetPaper(Imaging::kA4WidthPt, Imaging::kA4HeightPt);
            writer->SetCompression(Imaging::ioPDF_JPEG);
            writer->SetCreator(QStringLiteral("KORVEX ERP"));
            writer->SetTitle(DocumentName(Doku));
        }
        if (page.isNull() || !writer->AddPage(page))
            throw EVoskException(
                QStringLiteral("ExportTIFFAsPDF: Fehler beim Speichern von Seite %1 der Datei \"%2\" in \"%3\"")
                    .arg(i)
                    .arg(local, FileName));
    }
    if (!writer->Close())
        throw EVoskException(
            QStringLiteral("ExportTIFFAsPDF: Fehler beim Speichern von Seite %1 der Datei \"%2\" in \"%3\"")
                .arg(offsets.size() - 1)
                .arg(local, FileName));
}

void TFileViewerFrameTIFF::ModulInitialize(QObject*) {
    TDokument::_PrintTIFF.Set(&PrintTIFF);
    TDokument::_PrintImage.Set(&PrintImage);
    TDokument::_ExportTIFFAsPDF.Set(&ExportTIFFAsPDF);
}

void TFileViewerFrameTIFF::ModulFinalize() {
    TDokument::_PrintTIFF.Reset();
    TDokument::_PrintImage.Reset();
    TDokument::_ExportTIFFAsPDF.Reset();
    TImageListLoader::Unload();
}

#pragma once
// Printing and export of TIFF documents: the viewer's print and export commands (members of
// TFileViewerFrameTIFF) and the three routines that the document class offers to code without a
// viewer. Pages print fitted between the margins, centred, with their annotations drawn at the
// printer's resolution; PDF and PostScript carry the page pictures alone, TIFF and PNG single
// pages the annotations burnt in.

#include <QRect>
#include <QSize>
#include <QString>

class QPainter;
class QPrinter;
class TDokument;
namespace Imaging {
class TIEVectModel;
}

namespace UFileViewerTIFF {

// The export file types, in the order (1-based) of the save dialog's filter.
inline constexpr const char* kExportFilter =
    "PDF - alle Seiten|*.pdf|PDF - Einzelseite|*.pdf|PostScript - alle Seiten|*.ps|"
    "PostScript - Einzelseite|*.ps|TIFF* - alle Seiten|*.tiff|TIFF - Einzelseite|*.tiff|"
    "PNG - Einzelseite|*.png";
// The extension the save dialog offers for a remembered filter index.
QString ExportDefaultExt(int filterIndex);

// Print margins in centimetres: left, top, right, bottom.
struct TPrintMargins {
    double Left = 0.25, Top = 0.25, Right = 0.25, Bottom = 0.5;
};
// Where a page of pageSize pixels goes on the printer's sheet: fitted between the margins and
// centred, in the printer's device pixels (the sheet's top-left corner at 0, 0).
QRectF PrintTarget(QSize pageSize, QSizeF sheetPixels, int resolution, const TPrintMargins& m);
// Draws a page with its annotation objects into target.
void PaintPrintPage(QPainter& p, const Imaging::TIEVectModel& page, const QRectF& target);

// How a picture is put on one sheet by PrintImage: its size in printer pixels at the sheet's
// top-left corner, and whether the sheet is turned to landscape.
struct TPrintImageFit {
    int Width = 0;
    int Height = 0;
    bool Landscape = false;
};
// pageWidth x pageHeight: the printer's page in pixels with the printer set to portrait.
TPrintImageFit PrintImageFit(QSize picture, int pageWidth, int pageHeight);

} // namespace UFileViewerTIFF

// All pages of a TIFF document with their annotations on the printer named (empty: the default),
// without a dialog.
void PrintTIFF(TDokument* Doku, const QString& PrinterName);
// The document's file as one picture on one sheet.
void PrintImage(TDokument* Doku, const QString& PrinterName);
// Every page of the document's TIFF file into the PDF file FileName, on A4 turned as the first
// page is, without annotations.
void ExportTIFFAsPDF(TDokument* Doku, const QString& FileName);

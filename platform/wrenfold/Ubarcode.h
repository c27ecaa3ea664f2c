#pragma once
// The barcode unit of the external-controls package: the barcode reader, and the document-event
// type through which a viewer or a scan tells its caller what became of a document.

#include <QList>
#include <QString>
#include <QStringList>

#include <bitset>
#include <functional>

class QObject;
class TDokument;

// How a viewing or scan ended; the numbers are fixed.
using TDokumentEventMode = int;
constexpr TDokumentEventMode demNewDokument = 0;  // a new document was stored, with its barcodes
constexpr TDokumentEventMode demNewRevision = 1;  // a new revision was stored
constexpr TDokumentEventMode demCloseSaved = 2;   // the viewer closes after a stored revision
constexpr TDokumentEventMode demCloseUnsaved = 3; // the viewer closes without one
constexpr TDokumentEventMode demPreview = 4;      // a scan preview was set up on the document

// Sender, document, mode and the mode's values (the barcodes of a new document; empty for none).
using TDokumentEvent = std::function<void(QObject* Sender, TDokument* Dokument,
                                          TDokumentEventMode Mode, const QStringList& Strings)>;

// A barcode found on a page: its decoded text, the symbology's name and where it lies (left, top,
// right, bottom in page pixels).
struct TBarcodeData {
    QString Text;
    QString SymbologyName;
    int p1 = 0, p2 = 0, p3 = 0, p4 = 0;
};
// Decides whether the count-th code found may be used; empty: every code may.
using TBarcodeFilter = std::function<bool(const TBarcodeData& Code, int Count)>;
// The symbologies to look for, by their reader numbers 0 to 128.
using TBarcodeTypes = std::bitset<129>;
// Which pages a barcode search reads: as the user's option says, the first only, or all.
enum TIFirstOnly : quint8 { foFromOptions, foOnlyFirst, foAllPages };

// The codes found, in the order they were found.
using TBarcodeList = QList<TBarcodeData>;

class QImage;
class QIODevice;

namespace Ubarcode {
// Symbol numbers of the symbologies the reader knows, as the settings store them.
enum : int {
    sbEAN2 = 2, sbEAN5 = 5, sbEAN8 = 8, sbUPCE = 9, sbISBN10 = 10, sbUPCA = 12, sbEAN13 = 13,
    sbISBN13 = 14, sbEAN_UPC = 15, sbI25 = 25, sbDatabar = 34, sbDatabarExp = 35, sbCodabar = 38,
    sbCode39 = 39, sbPDF417 = 57, sbQRCode = 64, sbSQCode = 80, sbCode93 = 93, sbCode128 = 128
};
// The symbol number of a name of the "Barcodes" list ("sbCode128"); -1 for an unknown one.
int SymbolTypeOfName(const QString& name);
// What a found code's SymbologyName says ("CODE-128").
QString SymbolName(int symbolType);

// Appends the codes that filter lets pass (every code without one) found in graphic. EAN-2 and
// EAN-5 are read only as add-ons of EAN/UPC codes; ISBN codes are EAN-13 codes of the book
// ranges. CheckDigit asks Code 39 codes to carry a valid check character; Density is accepted for
// the settings' sake and changes nothing.
void ReadBarcode(TBarcodeList& Codes, const QImage& Graphic, const TBarcodeFilter& Filter,
                 const TBarcodeTypes& Types, bool CheckDigit, int Density);
// The codes of the pages of an image file (every page, or the first only); the number of pages.
// A stream that holds no readable image raises EVoskException.
int ReadBarcodeFormImage(TBarcodeList& Codes, QIODevice& Stream, const TBarcodeFilter& Filter,
                         const TBarcodeTypes& Types, bool CheckDigit, int Density, float Scale,
                         bool FirstPageOnly);
// The same for a PDF file, its pages rendered in grey at 300 dpi, or smaller where a page would
// take more than 40 million pixels.
int ReadBarcodeFormPDF(TBarcodeList& Codes, QIODevice& Stream, const TBarcodeFilter& Filter,
                       const TBarcodeTypes& Types, bool CheckDigit, int Density, float Scale,
                       bool FirstPageOnly);
// The texts of the codes for a log line: "CODE-128:4711, QR-Code:abc".
QString GetAllBarcodes(const TBarcodeList& Codes);
// The filter of document links: every code is one.
bool BarcodeFilter_KorvexDokuLink(const TBarcodeData& Code, int Count);
} // namespace Ubarcode

namespace Ubarcode {
// "2 (geschlossen, gespeichert)": the mode for log lines.
QString DokumentEventModeText(TDokumentEventMode mode);
} // namespace Ubarcode

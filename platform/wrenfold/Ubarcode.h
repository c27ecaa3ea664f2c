#pragma once
// The barcode unit of the external-controls package: the document-event type through which a
// viewer or a scan tells its caller what became of a document.

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

namespace Ubarcode {
// "2 (geschlossen, gespeichert)": the mode for log lines.
QString DokumentEventModeText(TDokumentEventMode mode);
} // namespace Ubarcode

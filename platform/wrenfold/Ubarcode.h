#pragma once
// The barcode unit of the external-controls package: the document-event type through which a
// viewer or a scan tells its caller what became of a document.

#include <QString>
#include <QStringList>

#include <functional>

class QObject;
class TDokument;

// How a viewing or scan ended; the ordinals are fixed.
enum class TDokumentEventMode : int {
    demNewDokument = 0,  // a new document was stored; the strings hold its barcodes
    demNewRevision = 1,  // a new revision was stored
    demCloseSaved = 2,   // the viewer closes after a stored revision
    demCloseUnsaved = 3, // the viewer closes without one
    demPreview = 4,      // a scan preview was set up on the document
};

// Sender, document, mode and an optional list of strings (null when there is none).
using TDokumentEvent =
    std::function<void(QObject* Sender, TDokument* Dokument, TDokumentEventMode Mode,
                       QStringList* Strings)>;

namespace Ubarcode {
// "2 (geschlossen, gespeichert)": the mode for log lines.
QString DokumentEventModeText(TDokumentEventMode mode);
} // namespace Ubarcode

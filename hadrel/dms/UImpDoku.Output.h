#pragma once
// What the document window does when a document leaves it unchanged and the two settings that
// steer later output: the name a document travels under (drag-out copies, exported files), the
// record's preview document (the one printed with reports) and the document's report printers.

#include <QString>
#include <QStringList>

class QWidget;
class TDokument;

namespace UImpDoku {

// The file name a document travels under: its caption with each character no file name may hold
// (a slash too) replaced by "_" and a leading point too, so it never leaves or hides in its
// folder; ending in the stored file's extension (added unless the caption ends in it already);
// at most 255 bytes long (FitFileName).
QString DragOutFileName(const QString& caption, const QString& storedFileName);

// Turns the print flag of the current document of doc around; setting it takes it from every
// other document of the record, in the same transaction. Refused (critical error 31264) for a
// document of another record, shown here through a link.
void TogglePreviewDocument(TDokument& doc, const QString& table, const QString& recId);

// The report printers of the current document as one text ("*" between the names), stored as
// the keyword "PrinterForReporting" when it differs; true when it was stored. doc is read again.
bool StoreReportPrinters(TDokument& doc, const QStringList& printers);

// Save as: asks for the target with the file dialog, under the document's own name in the export
// folder, and writes the document's file there. Nothing is written when the user cancels.
void DMSDoExport(TDokument& doc, QWidget* parent);

} // namespace UImpDoku

#pragma once
// The printers of the desktop: their names, the default one, printing a text document with the
// print dialog, print jobs on a printer chosen by name with a preview the user prints from, and
// handing a file to a printer. The default does the real thing (the print system through Qt and
// the CUPS command "lp"); tests install a replacement that prints into PDF files and records the
// jobs.

#include <Vcl.Forms.h>

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class QPrinter;
class QPrintPreviewWidget;
class QTextDocument;
class QWidget;

namespace Corvale {

// Draws a print job's pages on the printer (newPage between them).
using TPaintJob = std::function<void(QPrinter* printer)>;

class Printers {
public:
    virtual ~Printers() = default;
    // False when the user cancelled the print dialog.
    virtual bool PrintDocument(const QTextDocument* doc, const QString& title, QWidget* parent) = 0;
    // The installed printers, and the one the desktop prints on by default (empty: none).
    virtual QStringList PrinterNames();
    virtual QString DefaultPrinter();
    // Hands a file to the printer (empty: the default one); throws EVoskException with the print
    // system's answer when it is refused.
    virtual void PrintFile(const QString& file, const QString& printer);

    // A printer for a job on the printer named, or on the default one for an empty name.
    // EVoskException when the name is not installed or there is no default printer.
    std::unique_ptr<QPrinter> NewPrinter(const QString& printerName);
    // The job's printer for an installed printer's name.
    virtual std::unique_ptr<QPrinter> CreatePrinter(const QString& printerName);
    // Shows what paint draws on printer in the print-preview form (a modal form); the user prints
    // from there. True when the pages were printed.
    bool PrintPreview(QPrinter& printer, const TPaintJob& paint, const QString& caption,
                      QWidget* parent);
    // Prints fileOrText (a PDF, its pages rendered, or a picture on one sheet) on printerName
    // (empty: the default); window is the parent of messages. With printerName "*" and ask set
    // nothing is printed: the answer is whether such a file can be printed on a printer the user
    // picks from the installed ones.
    bool PrintDocument(const QString& fileOrText, const QString& printerName, QWidget* window,
                       bool ask = false);
    // The file types PrintDocument renders itself.
    static bool CanRender(const QString& file);

    static Printers& Instance();
    static Printers* SetInstance(Printers* printers); // returns the previous one; null: default
};

// The print preview: the pages of a job as they will come out, with buttons to print them and to
// close without printing (modal result mrOk after printing).
class TPrintPreviewForm final : public Vcl::TForm {
    Q_OBJECT
public:
    TPrintPreviewForm(QPrinter& printer, TPaintJob paint, const QString& caption, QWidget* parent);
    QPrintPreviewWidget* Preview() const { return m_preview; }
    // What the print button does.
    void PrintClick();
    int PageCount() const;

private:
    QPrinter& m_printer;
    TPaintJob m_paint;
    QPrintPreviewWidget* m_preview;
};

} // namespace Corvale

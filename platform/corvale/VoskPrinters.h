#pragma once
// The printers of the desktop: their names, the default one, printing a text document with the
// print dialog and handing a file to a printer. The default does the real thing (the print system
// through Qt and the CUPS command "lp"); tests install a replacement that records what would have
// been printed.

#include <QString>
#include <QStringList>

class QTextDocument;
class QWidget;

namespace Corvale {

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

    static Printers& Instance();
    static Printers* SetInstance(Printers* printers); // returns the previous one; null: default
};

} // namespace Corvale

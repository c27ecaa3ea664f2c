#pragma once
// Printing of text documents. The default asks for a printer with the print dialog and prints;
// tests install a replacement that records what would have been printed.

#include <QString>

class QTextDocument;
class QWidget;

namespace Corvale {

class Printers {
public:
    virtual ~Printers() = default;
    // False when the user cancelled the print dialog.
    virtual bool PrintDocument(const QTextDocument* doc, const QString& title, QWidget* parent) = 0;

    static Printers& Instance();
    static Printers* SetInstance(Printers* printers); // returns the previous one; null: default
};

} // namespace Corvale

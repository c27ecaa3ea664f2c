#include "VoskPrinters.h"

#include <QPrintDialog>
#include <QPrinter>
#include <QTextDocument>

namespace Corvale {

namespace {
class DefaultPrinters final : public Printers {
public:
    bool PrintDocument(const QTextDocument* doc, const QString& title, QWidget* parent) override {
        QPrinter printer;
        printer.setDocName(title);
        QPrintDialog dialog(&printer, parent);
        if (dialog.exec() != QDialog::Accepted)
            return false;
        doc->print(&printer);
        return true;
    }
};
Printers*& Current() {
    static Printers* current = nullptr;
    return current;
}
} // namespace

Printers& Printers::Instance() {
    static DefaultPrinters fallback;
    return Current() ? *Current() : fallback;
}

Printers* Printers::SetInstance(Printers* printers) {
    Printers* old = Current();
    Current() = printers;
    return old;
}

} // namespace Corvale

#include "VoskPrinters.h"

#include <VoskExceptions.h>

#include <QFileInfo>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
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

QStringList Printers::PrinterNames() { return QPrinterInfo::availablePrinterNames(); }

QString Printers::DefaultPrinter() { return QPrinterInfo::defaultPrinterName(); }

void Printers::PrintFile(const QString& file, const QString& printer) {
    if (!QFileInfo(file).isFile())
        throw EVoskException(QStringLiteral("Die Datei \"%1\" gibt es nicht").arg(file));
    QStringList args;
    if (!printer.isEmpty())
        args << QStringLiteral("-d") << printer;
    // "--" ends the options: a file name that starts with '-' is still a file.
    args << QStringLiteral("--") << file;
    QProcess lp;
    lp.start(QStringLiteral("lp"), args);
    if (!lp.waitForStarted(10000))
        throw EVoskException(
            QStringLiteral("Das Drucksystem ist nicht erreichbar (lp kann nicht gestartet werden)"));
    lp.closeWriteChannel();
    if (!lp.waitForFinished(60000) || lp.exitStatus() != QProcess::NormalExit ||
        lp.exitCode() != 0) {
        const QString answer = QString::fromLocal8Bit(lp.readAllStandardError()).trimmed();
        throw EVoskException(QStringLiteral("Drucken auf \"%1\" nicht möglich: %2")
                                 .arg(printer.isEmpty() ? DefaultPrinter() : printer,
                                      answer.isEmpty() ? QStringLiteral("keine Antwort") : answer));
    }
}

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

#include "VoskPrinters.h"

#include "Korvexcommonvcl.h"

#include <PdfSignature.h>
#include <VoskExceptions.h>

#include <QFileInfo>
#include <QHBoxLayout>
#include <QImageReader>
#include <QPainter>
#include <QPdfDocument>
#include <QPrintDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QPushButton>
#include <QTextDocument>
#include <QVBoxLayout>

#include <algorithm>

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

std::unique_ptr<QPrinter> Printers::NewPrinter(const QString& printerName) {
    QString name = printerName;
    if (name.isEmpty()) {
        name = DefaultPrinter();
        if (name.isEmpty())
            throw EVoskException(QStringLiteral("Es ist kein Standarddrucker eingerichtet."));
    } else if (!PrinterNames().contains(name)) {
        throw EVoskException(QStringLiteral("Drucker \"%1\" ist nicht bekannt.").arg(name));
    }
    return CreatePrinter(name);
}

std::unique_ptr<QPrinter> Printers::CreatePrinter(const QString& printerName) {
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    printer->setPrinterName(printerName);
    return printer;
}

bool Printers::PrintPreview(QPrinter& printer, const TPaintJob& paint, const QString& caption,
                            QWidget* parent) {
    TPrintPreviewForm form(printer, paint, caption, parent);
    return Korvexcommonvcl::ShowModal(&form) == Vcl::mrOk;
}

namespace {
bool IsPdf(const QString& file) {
    return QFileInfo(file).suffix().compare(QLatin1String("pdf"), Qt::CaseInsensitive) == 0;
}

// Where a picture of size goes on the printer's page: fitted and centred.
QRect FittedRect(QSize size, const QRect& page) {
    const QSize fitted = size.scaled(page.size(), Qt::KeepAspectRatio);
    return QRect(page.x() + (page.width() - fitted.width()) / 2,
                 page.y() + (page.height() - fitted.height()) / 2, fitted.width(),
                 fitted.height());
}

void PaintPdf(const QString& file, QPrinter& printer) {
    QPdfDocument pdf;
    const QPdfDocument::Error error = Rtl::FileHasPdfSignature(file)
                                          ? pdf.load(file)
                                          : QPdfDocument::Error::InvalidFileFormat;
    if (error == QPdfDocument::Error::IncorrectPassword)
        throw EVoskException(
            QStringLiteral("Das PDF-Dokument \"%1\" ist durch ein Kennwort geschützt und kann "
                           "nicht gedruckt werden.")
                .arg(QFileInfo(file).fileName()));
    if (error != QPdfDocument::Error::None || pdf.pageCount() <= 0)
        throw EVoskException(QStringLiteral("Die Datei \"%1\" ist kein lesbares PDF-Dokument.")
                                 .arg(QFileInfo(file).fileName()));
    QPainter painter;
    if (!painter.begin(&printer))
        throw EVoskException(QStringLiteral("Der Druckauftrag kann nicht begonnen werden."));
    const QRect page = printer.pageLayout().paintRectPixels(printer.resolution());
    const QRect area(0, 0, page.width(), page.height());
    for (int i = 0; i < pdf.pageCount(); ++i) {
        if (i > 0 && !printer.newPage()) {
            painter.end();
            throw EVoskException(QStringLiteral("Der Druckauftrag wurde abgebrochen."));
        }
        const QSizeF points = pdf.pagePointSize(i);
        const QRect target = FittedRect(
            (points * printer.resolution() / 72.0).toSize().expandedTo(QSize(1, 1)), area);
        // Rendered at no more than 300 dots per inch: finer adds nothing a page shows but time.
        const double scale = std::min(1.0, 300.0 / printer.resolution());
        painter.drawImage(target, pdf.render(i, (QSizeF(target.size()) * scale).toSize()));
    }
    painter.end();
}

void PaintPicture(const QString& file, QPrinter& printer) {
    QImageReader reader(file);
    reader.setAutoTransform(true);
    const QImage picture = reader.read();
    if (picture.isNull())
        throw EVoskException(QStringLiteral("Die Datei \"%1\" kann nicht gelesen werden: %2")
                                 .arg(QFileInfo(file).fileName(), reader.errorString()));
    QPainter painter;
    if (!painter.begin(&printer))
        throw EVoskException(QStringLiteral("Der Druckauftrag kann nicht begonnen werden."));
    const QRect page = printer.pageLayout().paintRectPixels(printer.resolution());
    painter.drawImage(FittedRect(picture.size(), QRect(0, 0, page.width(), page.height())),
                      picture);
    painter.end();
}
} // namespace

bool Printers::CanRender(const QString& file) {
    if (IsPdf(file))
        return true;
    const QByteArray suffix = QFileInfo(file).suffix().toLower().toLatin1();
    return !suffix.isEmpty() && QImageReader::supportedImageFormats().contains(suffix);
}

bool Printers::PrintDocument(const QString& fileOrText, const QString& printerName,
                             QWidget* window, bool ask) {
    Q_UNUSED(window);
    if (ask && printerName == QLatin1String("*"))
        return CanRender(fileOrText) && !PrinterNames().isEmpty();
    if (!QFileInfo(fileOrText).isFile())
        throw EVoskException(QStringLiteral("Die Datei \"%1\" gibt es nicht").arg(fileOrText));
    std::unique_ptr<QPrinter> printer = NewPrinter(printerName);
    printer->setDocName(QFileInfo(fileOrText).fileName());
    if (IsPdf(fileOrText))
        PaintPdf(fileOrText, *printer);
    else if (CanRender(fileOrText))
        PaintPicture(fileOrText, *printer);
    else
        PrintFile(fileOrText, printer->printerName());
    return true;
}

TPrintPreviewForm::TPrintPreviewForm(QPrinter& printer, TPaintJob paint, const QString& caption,
                                     QWidget* parent)
    : Vcl::TForm(nullptr, parent), m_printer(printer), m_paint(std::move(paint)) {
    setObjectName(QStringLiteral("TPrintPreviewForm"));
    setWindowTitle(caption.isEmpty() ? QStringLiteral("Druckvorschau") : caption);
    SetPosition(Vcl::poOwnerFormCenter);
    resize(800, 900);
    auto* layout = new QVBoxLayout(this);
    m_preview = new QPrintPreviewWidget(&m_printer, this);
    m_preview->setObjectName(QStringLiteral("pvPages"));
    m_preview->setAccessibleName(QStringLiteral("Seitenvorschau"));
    m_preview->setToolTip(QStringLiteral("Die Seiten, wie sie gedruckt werden"));
    connect(m_preview, &QPrintPreviewWidget::paintRequested, this,
            [this](QPrinter* p) { m_paint(p); });
    layout->addWidget(m_preview, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    auto* print = new QPushButton(QStringLiteral("&Drucken"), this);
    print->setObjectName(QStringLiteral("btPrint"));
    print->setToolTip(QStringLiteral("Die Seiten auf %1 drucken").arg(m_printer.printerName()));
    print->setDefault(true);
    connect(print, &QPushButton::clicked, this, [this] { PrintClick(); });
    auto* close = new QPushButton(QStringLiteral("S&chließen"), this);
    close->setObjectName(QStringLiteral("btClose"));
    close->setToolTip(QStringLiteral("Die Vorschau schließen, ohne zu drucken"));
    connect(close, &QPushButton::clicked, this, [this] { SetModalResult(Vcl::mrCancel); });
    buttons->addWidget(print);
    buttons->addWidget(close);
    layout->addLayout(buttons);
    Korvexcommonvcl::NameControls(this);
    m_preview->updatePreview();
}

int TPrintPreviewForm::PageCount() const { return m_preview->pageCount(); }

void TPrintPreviewForm::PrintClick() {
    // The preview painted on its own picture device; the job itself paints on the printer.
    m_paint(&m_printer);
    SetModalResult(Vcl::mrOk);
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

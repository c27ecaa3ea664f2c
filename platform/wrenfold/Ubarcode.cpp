#include "Ubarcode.h"

#include <UDunmereIDE.h>
#include <VoskExceptions.h>

#include <ZXing/ReadBarcode.h>

#include <QBuffer>
#include <QHash>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QPdfDocument>

#include <algorithm>
#include <atomic>
#include <cmath>

namespace Ubarcode {

QString DokumentEventModeText(TDokumentEventMode mode) {
    const char* text = "";
    switch (mode) {
    case demNewDokument: text = "neues Dokument"; break;
    case demNewRevision: text = "neue Revision"; break;
    case demCloseSaved: text = "geschlossen, gespeichert"; break;
    case demCloseUnsaved: text = "geschlossen, nicht gespeichert"; break;
    case demPreview: text = "Scanvorschau"; break;
    default: text = "unbekannt"; break;
    }
    return QStringLiteral("%1 (%2)").arg(int(mode)).arg(QString::fromLatin1(text));
}

namespace {
struct TSymbol {
    int Type;
    const char* Name;    // of the "Barcodes" list
    const char* Symbol;  // of a found code
};
constexpr TSymbol kSymbols[] = {
    {sbEAN2, "sbEAN2", "EAN-2"},        {sbEAN5, "sbEAN5", "EAN-5"},
    {sbEAN8, "sbEAN8", "EAN-8"},        {sbUPCE, "sbUPCE", "UPC-E"},
    {sbISBN10, "sbISBN10", "ISBN-10"},  {sbUPCA, "sbUPCA", "UPC-A"},
    {sbEAN13, "sbEAN13", "EAN-13"},     {sbISBN13, "sbISBN13", "ISBN-13"},
    {sbEAN_UPC, "sbEAN_UPC", "EAN/UPC"}, {sbI25, "sbI25", "I2/5"},
    {sbDatabar, "sbDatabar", "DataBar"}, {sbDatabarExp, "sbDatabarExp", "DataBar-Exp"},
    {sbCodabar, "sbCodabar", "Codabar"}, {sbCode39, "sbCode39", "CODE-39"},
    {sbPDF417, "sbPDF417", "PDF417"},    {sbQRCode, "sbQRCode", "QR-Code"},
    {sbSQCode, "sbSQCode", "SQ-Code"},   {sbCode93, "sbCode93", "CODE-93"},
    {sbCode128, "sbCode128", "CODE-128"},
};

// The ten-digit book number of an EAN-13 of the 978 range.
QString isbn10(const QString& ean) {
    const QString body = ean.mid(3, 9);
    int sum = 0;
    for (int i = 0; i < 9; ++i)
        sum += (10 - i) * body[i].digitValue();
    const int check = (11 - sum % 11) % 11;
    return body + (check == 10 ? QStringLiteral("X") : QString::number(check));
}

ZXing::BarcodeFormats formatsOf(const TBarcodeTypes& t) {
    using F = ZXing::BarcodeFormat;
    ZXing::BarcodeFormats f;
    const auto add = [&](int type, F format) {
        if (t.test(size_t(type)))
            f |= format;
    };
    add(sbEAN8, F::EAN8);
    add(sbUPCE, F::UPCE);
    add(sbUPCA, F::UPCA);
    add(sbEAN13, F::EAN13);
    add(sbISBN10, F::EAN13);
    add(sbISBN13, F::EAN13);
    if (t.test(sbEAN_UPC))
        f |= F::EAN8 | F::EAN13 | F::UPCA | F::UPCE;
    add(sbI25, F::ITF);
    add(sbDatabar, F::DataBar);
    add(sbDatabarExp, F::DataBarExpanded);
    add(sbCodabar, F::Codabar);
    add(sbCode39, F::Code39);
    add(sbPDF417, F::PDF417);
    add(sbQRCode, F::QRCode);
    add(sbCode93, F::Code93);
    add(sbCode128, F::Code128);
    return f;
}

// The symbol name of a read code, or empty when the wanted types leave it out.
QString symbolOf(const ZXing::Result& r, const TBarcodeTypes& t, QString& text) {
    using F = ZXing::BarcodeFormat;
    const bool eanUpc = t.test(sbEAN_UPC);
    switch (r.format()) {
    case F::EAN13:
        if (t.test(sbISBN13) && (text.startsWith(QLatin1String("978")) || text.startsWith(QLatin1String("979"))))
            return SymbolName(sbISBN13);
        if (t.test(sbISBN10) && text.startsWith(QLatin1String("978")) && !t.test(sbEAN13) && !eanUpc) {
            text = isbn10(text);
            return SymbolName(sbISBN10);
        }
        return t.test(sbEAN13) || eanUpc ? SymbolName(sbEAN13) : QString();
    case F::EAN8: return SymbolName(sbEAN8);
    case F::UPCA: return SymbolName(sbUPCA);
    case F::UPCE: return SymbolName(sbUPCE);
    case F::ITF: return SymbolName(sbI25);
    case F::DataBar: return SymbolName(sbDatabar);
    case F::DataBarExpanded: return SymbolName(sbDatabarExp);
    case F::Codabar: return SymbolName(sbCodabar);
    case F::Code39: return SymbolName(sbCode39);
    case F::PDF417: return SymbolName(sbPDF417);
    case F::QRCode: return SymbolName(sbQRCode);
    case F::Code93: return SymbolName(sbCode93);
    case F::Code128: return SymbolName(sbCode128);
    default: return {};
    }
}

std::atomic_bool sqCodeLogged{false};
} // namespace

int SymbolTypeOfName(const QString& name) {
    for (const TSymbol& s : kSymbols)
        if (name == QLatin1String(s.Name))
            return s.Type;
    return -1;
}

QString SymbolName(int symbolType) {
    for (const TSymbol& s : kSymbols)
        if (s.Type == symbolType)
            return QString::fromLatin1(s.Symbol);
    return QStringLiteral("UNKNOWN");
}

void ReadBarcode(TBarcodeList& Codes, const QImage& Graphic, const TBarcodeFilter& Filter,
                 const TBarcodeTypes& Types, bool CheckDigit, int /*Density*/) {
    if (Types.test(sbSQCode) && !sqCodeLogged.exchange(true))
        Dunmere::LogEvent(QStringLiteral("Ubarcode.ReadBarcode: SQ-Code wird nicht gelesen"));
    const ZXing::BarcodeFormats formats = formatsOf(Types);
    if (formats.empty() || Graphic.isNull())
        return;
    const QImage grey = Graphic.format() == QImage::Format_Grayscale8
                            ? Graphic
                            : Graphic.convertToFormat(QImage::Format_Grayscale8);
    ZXing::DecodeHints hints;
    hints.setFormats(formats);
    hints.setValidateCode39CheckSum(CheckDigit);
    // The reader's merging of one linear code found by several passes asserts on codes seen on
    // more than one line; one pass over the page at full size finds them once.
    hints.setTryDownscale(false);
    if (Types.test(sbEAN2) || Types.test(sbEAN5))
        hints.setEanAddOnSymbol(ZXing::EanAddOnSymbol::Read);
    const ZXing::ImageView view(grey.constBits(), grey.width(), grey.height(), ZXing::ImageFormat::Lum,
                                int(grey.bytesPerLine()));
    int count = 0;
    for (const ZXing::Result& r : ZXing::ReadBarcodes(view, hints)) {
        if (!r.isValid())
            continue;
        QString text = QString::fromStdWString(r.text());
        QString addOn;
        if (r.format() == ZXing::BarcodeFormat::EAN13 || r.format() == ZXing::BarcodeFormat::EAN8 ||
            r.format() == ZXing::BarcodeFormat::UPCA || r.format() == ZXing::BarcodeFormat::UPCE) {
            const qsizetype blank = text.indexOf(u' ');
            if (blank > 0) {
                addOn = text.mid(blank + 1);
                text.truncate(blank);
            }
        }
        const QString symbol = symbolOf(r, Types, text);
        TBarcodeData code;
        const auto p = r.position();
        const int xs[] = {p.topLeft().x, p.topRight().x, p.bottomRight().x, p.bottomLeft().x};
        const int ys[] = {p.topLeft().y, p.topRight().y, p.bottomRight().y, p.bottomLeft().y};
        code.p1 = *std::min_element(std::begin(xs), std::end(xs));
        code.p2 = *std::min_element(std::begin(ys), std::end(ys));
        code.p3 = *std::max_element(std::begin(xs), std::end(xs));
        code.p4 = *std::max_element(std::begin(ys), std::end(ys));
        const auto take = [&](const QString& t, const QString& name) {
            code.Text = t;
            code.SymbologyName = name;
            ++count;
            if (!Filter || Filter(code, count))
                Codes.append(code);
        };
        if (!symbol.isEmpty())
            take(text, symbol);
        if (addOn.size() == 2 && Types.test(sbEAN2))
            take(addOn, SymbolName(sbEAN2));
        else if (addOn.size() == 5 && Types.test(sbEAN5))
            take(addOn, SymbolName(sbEAN5));
    }
}

int ReadBarcodeFormImage(TBarcodeList& Codes, QIODevice& Stream, const TBarcodeFilter& Filter,
                         const TBarcodeTypes& Types, bool CheckDigit, int Density, float,
                         bool FirstPageOnly) {
    QImageReader reader(&Stream);
    const int count = qMax(1, reader.imageCount());
    for (int page = 0; page < count; ++page) {
        if (page > 0 && !reader.jumpToNextImage())
            break;
        const QImage image = reader.read();
        if (image.isNull()) {
            if (page == 0)
                throw EVoskException(QStringLiteral("Die Datei enthält kein lesbares Bild."));
            break;
        }
        if (page == 0 || !FirstPageOnly)
            ReadBarcode(Codes, image, Filter, Types, CheckDigit, Density);
        if (FirstPageOnly && count > 1)
            break;
    }
    return count;
}

namespace {
// Pixels of one rendered page at most; an A4 page at 300 dpi has 8.7 million.
constexpr qint64 kPdfPagePixels = 40'000'000;

QSize PdfBarcodePixels(QSizeF points) {
    if (!(points.width() > 0 && points.height() > 0))
        return {};
    // 300 dpi, as a scanner reads labels, unless the page would exceed the budget.
    const double budget = std::sqrt(double(kPdfPagePixels) / (points.width() * points.height()));
    const double scale = std::min(300.0 / 72.0, budget);
    return QSize(std::max(1, int(points.width() * scale)), std::max(1, int(points.height() * scale)));
}
} // namespace

int ReadBarcodeFormPDF(TBarcodeList& Codes, QIODevice& Stream, const TBarcodeFilter& Filter,
                       const TBarcodeTypes& Types, bool CheckDigit, int Density, float,
                       bool FirstPageOnly) {
    QBuffer buffer;
    buffer.setData(Stream.readAll());
    buffer.open(QIODevice::ReadOnly);
    QPdfDocument pdf;
    pdf.load(&buffer);
    if (pdf.status() != QPdfDocument::Status::Ready || pdf.pageCount() <= 0)
        throw EVoskException(QStringLiteral("Die Datei ist kein lesbares PDF-Dokument."));
    const int pages = pdf.pageCount();
    QPdfDocumentRenderOptions options;
    options.setRenderFlags(QPdfDocumentRenderOptions::RenderFlag::Grayscale);
    for (int page = 0; page < (FirstPageOnly ? 1 : pages); ++page) {
        const QSize pixels = PdfBarcodePixels(pdf.pagePointSize(page));
        if (pixels.isEmpty())
            continue;
        QImage image = pdf.render(page, pixels, options);
        if (image.isNull())
            continue;
        // The page is transparent where nothing is drawn: put it on white paper.
        QImage paper(image.size(), QImage::Format_Grayscale8);
        paper.fill(255);
        {
            QPainter painter(&paper);
            painter.drawImage(0, 0, image);
        }
        image = QImage();
        ReadBarcode(Codes, paper, Filter, Types, CheckDigit, Density);
    }
    return pages;
}

QString GetAllBarcodes(const TBarcodeList& Codes) {
    QStringList parts;
    for (const TBarcodeData& c : Codes)
        parts << c.SymbologyName + u':' + c.Text;
    return parts.join(QStringLiteral(", "));
}

bool BarcodeFilter_KorvexDokuLink(const TBarcodeData&, int) { return true; }

} // namespace Ubarcode

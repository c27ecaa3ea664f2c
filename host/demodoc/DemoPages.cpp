#include "DemoPages.h"

#include <QBuffer>
#include <QPainter>
#include <QPdfWriter>

#include <QFont>
#include <QHash>
#include <QPainter>
#include <QRandomGenerator>

namespace DemoPages {

namespace {

const char* const kWords[] = {
    "Lieferung", "Artikel",  "Menge",    "Auftrag", "Kunde",     "Rechnung", "Versand",
    "Lager",     "Palette",  "Termin",   "Preis",   "gemäß",     "Bestellung", "Position",
    "und",       "der",      "die",      "das",     "mit",       "für",      "wird",
    "Ware",      "geprüft",  "vollständig", "Stück", "Karton",   "Gewicht",  "Anlage",
    "Rücksendung", "Zahlung", "innerhalb", "Tagen",  "netto",    "zuzüglich", "Fracht"};

} // namespace

QImage TextPage(int dpi, int seed, int pageNr, int pageCount, bool blackAndWhite, const QString& title) {
    const int width = dpi * 827 / 100, height = dpi * 1169 / 100;
    QImage page(width, height, QImage::Format_Grayscale8);
    page.fill(255);
    QRandomGenerator rng(quint32(seed * 7919 + pageNr));
    QPainter p(&page);
    p.setRenderHint(QPainter::TextAntialiasing, !blackAndWhite);
    const int margin = dpi * 2 / 3;
    const auto font = [&](double points, bool bold) {
        QFont f(QStringLiteral("DejaVu Sans"));
        f.setPixelSize(qMax(6, int(points * dpi / 72)));
        f.setBold(bold);
        return f;
    };
    p.setPen(QColor(40, 40, 40));
    p.setFont(font(8, false));
    p.drawText(margin, margin, QStringLiteral("Muster GmbH · Industriestraße 12 · 70565 Stuttgart"));
    p.setFont(font(18, true));
    p.drawText(margin, margin + dpi, QStringLiteral("%1 Nr. %2").arg(title).arg(20240000 + seed * 100 + pageNr));
    p.setFont(font(10, false));
    const int lineHeight = dpi * 16 / 100;
    int y = margin + dpi * 3 / 2;
    const QFontMetrics fm(p.font());
    while (y < height - margin - dpi / 2) {
        if (rng.bounded(9) == 0) {
            y += lineHeight; // a paragraph ends
            continue;
        }
        QString line;
        while (true) {
            const QString word = QString::fromUtf8(kWords[rng.bounded(int(std::size(kWords)))]);
            if (fm.horizontalAdvance(line + word) > width - 2 * margin)
                break;
            line += word + u' ';
        }
        p.drawText(margin, y, line.trimmed());
        y += lineHeight;
    }
    p.setFont(font(8, false));
    p.drawText(QRect(0, height - margin, width, dpi / 3), Qt::AlignHCenter,
               QStringLiteral("Seite %1 von %2").arg(pageNr).arg(pageCount));
    p.end();
    if (!blackAndWhite)
        return page;
    return page.convertToFormat(QImage::Format_Mono, Qt::ThresholdDither);
}

QByteArray Document(int count, int dpi, int distinct, int greyEvery, int seed, const QString& title) {
    // Each distinct page is written once; repeats copy its compressed bytes.
    QHash<int, QByteArray> onePage;
    Imaging::TTiffWriter writer;
    for (int i = 0; i < count; ++i) {
        const bool grey = greyEvery > 0 && i % greyEvery == 1;
        const int source = distinct > 0 ? i % distinct : i;
        if (onePage.contains(source) && !grey) {
            Imaging::TTiffReader reader(onePage[source]);
            reader.OpenPage(0);
            writer.CopyPage(reader);
            continue;
        }
        Imaging::TIOParams params;
        params.DpiX = params.DpiY = dpi;
        params.TIFF_ImageDescription = QByteArray("Code-Source: DemoPages");
        if (grey) {
            params.TIFF_Compression = Imaging::ioTIFF_JPEG;
            params.TIFF_JPEGColorSpace = Imaging::ioJPEG_GRAYLEV;
            writer.WritePage(TextPage(dpi, seed, i + 1, count, false, title), params);
            continue;
        }
        params.TIFF_Compression = Imaging::ioTIFF_G4FAX;
        Imaging::TTiffWriter single;
        single.WritePage(TextPage(dpi, seed, i + 1, count, true, title), params);
        onePage.insert(source, single.Finish());
        Imaging::TTiffReader reader(onePage[source]);
        reader.OpenPage(0);
        writer.CopyPage(reader);
    }
    return writer.Finish();
}

QByteArray PdfDocument(int count, const QString& title) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter pdf(&buffer);
    pdf.setPageSize(QPageSize(QPageSize::A4));
    pdf.setResolution(300);
    pdf.setTitle(title);
    pdf.setCreator(QStringLiteral("KORVEX ERP"));
    QPainter p(&pdf);
    const QRect page = pdf.pageLayout().paintRectPixels(pdf.resolution());
    const QStringList words{QStringLiteral("Lieferung"), QStringLiteral("Menge"), QStringLiteral("Artikel"),
                            QStringLiteral("Preis"),     QStringLiteral("Rabatt"), QStringLiteral("Termin"),
                            QStringLiteral("Versand"),   QStringLiteral("Zahlung"), QStringLiteral("netto"),
                            QStringLiteral("gemäß"),     QStringLiteral("Auftrag"), QStringLiteral("Lager")};
    for (int n = 1; n <= count; ++n) {
        if (n > 1)
            pdf.newPage();
        p.setPen(QColor(30, 90, 170));
        p.setFont(QFont(QStringLiteral("Sans Serif"), 22, QFont::Bold));
        p.drawText(QRect(0, 0, page.width(), 200), Qt::AlignLeft | Qt::AlignVCenter, title);
        p.setPen(Qt::black);
        p.setFont(QFont(QStringLiteral("Sans Serif"), 10));
        int y = 320;
        for (int line = 0; y < page.height() - 300; ++line, y += 70) {
            QStringList text;
            for (int w = 0; w < 9; ++w)
                text << words[(line * 7 + w * 5 + n) % words.size()];
            p.drawText(QPoint(0, y), text.join(u' '));
        }
        p.drawText(QRect(0, page.height() - 150, page.width(), 150), Qt::AlignCenter,
                   QStringLiteral("Seite %1 von %2").arg(n).arg(count));
    }
    p.end();
    return bytes;
}

QByteArray PdfPlan(const QPageSize& size, int seed) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter pdf(&buffer);
    pdf.setPageSize(size);
    pdf.setResolution(72);
    pdf.setPageMargins({});
    pdf.setCreator(QStringLiteral("KORVEX ERP"));
    QPainter p(&pdf);
    QRandomGenerator rng{quint32(seed)};
    const QSize page = size.sizePoints();
    const int w = page.width(), h = page.height();
    const int lines = int(qint64(w) * h / 2700), rings = lines / 8, labels = lines / 2;
    p.setPen(QPen(Qt::lightGray, 0.3));
    for (int x = 0; x < w; x += 20)
        p.drawLine(x, 0, x, h);
    for (int y = 0; y < h; y += 20)
        p.drawLine(0, y, w, y);
    p.setPen(QPen(Qt::black, 1.2));
    for (int i = 0; i < lines; ++i) {
        const int x = int(rng.bounded(w)), y = int(rng.bounded(h));
        p.drawLine(x, y, x + rng.bounded(-200, 200), y + rng.bounded(-200, 200));
    }
    for (int i = 0; i < rings; ++i)
        p.drawEllipse(QPointF(rng.bounded(w), rng.bounded(h)), 5 + rng.bounded(40),
                      5 + rng.bounded(40));
    p.setFont(QFont(QStringLiteral("Sans Serif"), 9));
    for (int i = 0; i < labels; ++i)
        p.drawText(QPoint(int(rng.bounded(w)), int(rng.bounded(h))),
                   QStringLiteral("Raum %1").arg(i));
    p.fillRect(QRect(w / 2 - 20, h / 2 - 20, 40, 40), Qt::black);
    p.end();
    return bytes;
}

} // namespace DemoPages

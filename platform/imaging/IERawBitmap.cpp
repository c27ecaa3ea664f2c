#include "IERawBitmap.h"

#include <QtEndian>

#include <cstring>

namespace Imaging {

namespace {

constexpr char kMagic[4] = {'K', 'I', 'R', '1'};
constexpr int kHeader = 4 + 4 + 4 + 1 + 1 + 2 + 4;

enum RawFormat : quint8 {
    rfMono = 1,
    rfGrey = 8,
    rfIndexed = 9,
    rfRGB = 24,
    rfRGB32 = 31,
    rfARGB = 32
};

int bitsOf(quint8 f) {
    switch (f) {
    case rfMono:
        return 1;
    case rfGrey:
    case rfIndexed:
        return 8;
    case rfRGB:
        return 24;
    case rfRGB32:
    case rfARGB:
        return 32;
    default:
        return 0;
    }
}

QImage::Format qtFormatOf(quint8 f) {
    switch (f) {
    case rfMono:
        return QImage::Format_Mono;
    case rfGrey:
        return QImage::Format_Grayscale8;
    case rfIndexed:
        return QImage::Format_Indexed8;
    case rfRGB:
        return QImage::Format_RGB888;
    case rfRGB32:
        return QImage::Format_RGB32;
    case rfARGB:
        return QImage::Format_ARGB32;
    default:
        return QImage::Format_Invalid;
    }
}

// The image in a format the dump carries, and its code.
QImage dumpable(const QImage& image, quint8& f) {
    switch (image.format()) {
    case QImage::Format_Mono:
        f = rfMono;
        return image;
    case QImage::Format_MonoLSB:
        f = rfMono;
        return image.convertToFormat(QImage::Format_Mono);
    case QImage::Format_Grayscale8:
        f = rfGrey;
        return image;
    case QImage::Format_Indexed8:
        f = rfIndexed;
        return image;
    case QImage::Format_RGB888:
        f = rfRGB;
        return image;
    case QImage::Format_RGB32:
        f = rfRGB32;
        return image;
    case QImage::Format_ARGB32:
        f = rfARGB;
        return image;
    default:
        if (!image.hasAlphaChannel()) {
            f = rfRGB32;
            return image.convertToFormat(QImage::Format_RGB32);
        }
        f = rfARGB;
        return image.convertToFormat(QImage::Format_ARGB32);
    }
}

void put32(char* p, quint32 v) {
    qToLittleEndian(v, p);
}
void put16(char* p, quint16 v) {
    qToLittleEndian(v, p);
}

bool fail(QString* error, const char* why) {
    if (error)
        *error = QString::fromLatin1(why);
    return false;
}

} // namespace

QByteArray SaveRAW(const QImage& source) {
    if (source.isNull())
        return {};
    quint8 f = 0;
    const QImage image = dumpable(source, f);
    const int bits = bitsOf(f);
    const qsizetype row = (qsizetype(image.width()) * bits + 7) / 8;
    const QList<QRgb> table = (f == rfMono || f == rfIndexed) ? image.colorTable() : QList<QRgb>();
    QByteArray out(kHeader + table.size() * 4 + row * image.height(), Qt::Uninitialized);
    char* p = out.data();
    std::memcpy(p, kMagic, 4);
    put32(p + 4, quint32(image.width()));
    put32(p + 8, quint32(image.height()));
    p[12] = char(f);
    p[13] = 0;
    put16(p + 14, quint16(table.size()));
    put32(p + 16, quint32(row));
    p += kHeader;
    for (QRgb c : table) {
        put32(p, c);
        p += 4;
    }
    for (int y = 0; y < image.height(); ++y) {
        const uchar* line = image.constScanLine(y);
        if (bits == 32) {
            for (int x = 0; x < image.width(); ++x)
                put32(p + 4 * x, reinterpret_cast<const quint32*>(line)[x]);
        } else {
            std::memcpy(p, line, size_t(row));
            // The unused bits of a row's last byte are not part of the picture.
            if (bits == 1 && image.width() % 8)
                p[row - 1] = char(uchar(p[row - 1]) & uchar(0xFF << (8 - image.width() % 8)));
        }
        p += row;
    }
    return out;
}

QImage LoadRAW(const QByteArray& dump, QString* error) {
    if (dump.size() < kHeader || std::memcmp(dump.constData(), kMagic, 4) != 0) {
        fail(error, "no raw bitmap");
        return {};
    }
    const char* p = dump.constData();
    const qint32 w = qFromLittleEndian<qint32>(p + 4);
    const qint32 h = qFromLittleEndian<qint32>(p + 8);
    const quint8 f = quint8(p[12]);
    const quint16 colours = qFromLittleEndian<quint16>(p + 14);
    const quint32 row = qFromLittleEndian<quint32>(p + 16);
    const int bits = bitsOf(f);
    if (w <= 0 || h <= 0 || bits == 0 || qint64(w) * h > RawMaxPixels) {
        fail(error, "raw bitmap header out of range");
        return {};
    }
    if (row != quint32((qint64(w) * bits + 7) / 8) ||
        (colours > 0 && bits != 1 && f != rfIndexed) || colours > 256) {
        fail(error, "raw bitmap header inconsistent");
        return {};
    }
    if (qint64(dump.size()) != kHeader + qint64(colours) * 4 + qint64(row) * h) {
        fail(error, "raw bitmap has the wrong length");
        return {};
    }
    QImage image(w, h, qtFormatOf(f));
    if (image.isNull()) {
        fail(error, "raw bitmap too large for memory");
        return {};
    }
    p += kHeader;
    if (colours > 0) {
        QList<QRgb> table(colours);
        for (int i = 0; i < colours; ++i)
            table[i] = qFromLittleEndian<quint32>(p + 4 * i);
        image.setColorTable(table);
        p += 4 * colours;
    }
    for (int y = 0; y < h; ++y) {
        uchar* line = image.scanLine(y);
        if (bits == 32) {
            for (int x = 0; x < w; ++x)
                reinterpret_cast<quint32*>(line)[x] = qFromLittleEndian<quint32>(p + 4 * x);
        } else {
            std::memcpy(line, p, row);
        }
        p += row;
    }
    return image;
}

} // namespace Imaging

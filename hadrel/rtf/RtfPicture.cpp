#include "RtfPicture.h"

#include <QBuffer>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <array>
#include <cstring>
#include <functional>

namespace Rtf {

namespace {

// Two upper-case digits of each byte value, as one 16-bit store.
const std::array<quint16, 256>& HexPairs() {
    static const std::array<quint16, 256> pairs = [] {
        static const char digits[] = "0123456789ABCDEF";
        std::array<quint16, 256> t{};
        for (int b = 0; b < 256; ++b) {
            const char pair[2] = {digits[b >> 4], digits[b & 0x0F]};
            std::memcpy(&t[size_t(b)], pair, 2);
        }
        return t;
    }();
    return pairs;
}

inline char* PutHex(char* o, const std::array<quint16, 256>& pairs, uchar b) {
    std::memcpy(o, &pairs[b], 2);
    return o + 2;
}

char* HexInto(char* o, const QByteArray& bytes) {
    const auto& pairs = HexPairs();
    for (const char c : bytes)
        o = PutHex(o, pairs, uchar(c));
    return o;
}

void PutLE(char* at, quint32 v, int bytes) {
    for (int i = 0; i < bytes; ++i)
        at[i] = char((v >> (8 * i)) & 0xFF);
}

// The picture as opaque 32-bit pixels, transparent parts on white as on a fresh bitmap.
QImage Opaque32(const QImage& image) {
    if (!image.hasAlphaChannel())
        return image.format() == QImage::Format_RGB32 ? image
                                                      : image.convertToFormat(QImage::Format_RGB32);
    QImage out(image.size(), QImage::Format_RGB32);
    out.fill(Qt::white);
    QPainter p(&out);
    p.drawImage(0, 0, image);
    p.end();
    return out;
}

qsizetype Stride(int width) {
    return (qsizetype(width) * 3 + 3) & ~qsizetype(3);
}

// The 40-byte info header of a 24-bit bottom-up DIB.
QByteArray DibHeader(int w, int h) {
    QByteArray d(40, '\0');
    PutLE(d.data(), 40, 4);
    PutLE(d.data() + 4, quint32(w), 4);
    PutLE(d.data() + 8, quint32(h), 4); // positive: bottom-up
    PutLE(d.data() + 12, 1, 2);         // planes
    PutLE(d.data() + 14, 24, 2);        // bits a pixel
    PutLE(d.data() + 20, quint32(Stride(w) * h), 4);
    return d;
}

QByteArray Head(const char* kind, QSize size, double f) {
    return "{\\rtf1 {\\pict\\" + QByteArray(kind) + "\\picw" + QByteArray::number(size.width()) +
           "\\pich" + QByteArray::number(size.height()) + "\\picwgoal" +
           QByteArray::number(qRound(size.width() * f)) + "\\pichgoal" +
           QByteArray::number(qRound(size.height() * f)) + ' ';
}

// The head, the hex digits of hexBytes bytes written by fill, and the tail, in one allocation:
// a picture of tens of megabytes is not copied once more.
QByteArray Fragment(const QByteArray& head, qsizetype hexBytes,
                    const std::function<char*(char*)>& fill) {
    static const QByteArray tail = "}\\u8192?\\par}";
    QByteArray out(head.size() + hexBytes * 2 + tail.size(), Qt::Uninitialized);
    char* o = out.data();
    std::memcpy(o, head.constData(), size_t(head.size()));
    o = fill(o + head.size());
    std::memcpy(o, tail.constData(), size_t(tail.size()));
    return out;
}

} // namespace

QByteArray DibOf(const QImage& image) {
    const QImage img = Opaque32(image);
    const int w = img.width();
    const int h = img.height();
    const qsizetype stride = Stride(w);
    QByteArray dib = DibHeader(w, h);
    dib.resize(40 + stride * h);
    for (int y = 0; y < h; ++y) {
        char* row = dib.data() + 40 + stride * (h - 1 - y);
        const auto* px = reinterpret_cast<const QRgb*>(img.constScanLine(y));
        for (int x = 0; x < w; ++x) {
            *row++ = char(qBlue(px[x]));
            *row++ = char(qGreen(px[x]));
            *row++ = char(qRed(px[x]));
        }
        for (qsizetype pad = qsizetype(w) * 3; pad < stride; ++pad)
            *row++ = 0;
    }
    return dib;
}

double TwipsFactor(QSize picture, bool scale, double dpi, QSize editor) {
    double f = 1440.0 / (dpi > 0 ? dpi : 96.0);
    if (scale && !picture.isEmpty() && editor.width() > 0 && editor.height() > 0 &&
        (picture.width() > editor.width() || picture.height() > editor.height()))
        f *= std::min(double(editor.width()) / picture.width(),
                      double(editor.height()) / picture.height());
    return f;
}

QByteArray UpperHex(const QByteArray& bytes) {
    QByteArray out(bytes.size() * 2, Qt::Uninitialized);
    HexInto(out.data(), bytes);
    return out;
}

QByteArray BitmapToRTF(const QImage& bitmap, bool scale, double dpi, QSize editor) {
    const QImage img = Opaque32(bitmap);
    const int w = img.width();
    const int h = img.height();
    const qsizetype stride = Stride(w);
    const QByteArray header = DibHeader(w, h);
    // The DIB's bytes go from the pixels straight into hex, without the DIB in between.
    return Fragment(Head("dibitmap", img.size(), TwipsFactor(img.size(), scale, dpi, editor)),
                    header.size() + stride * h, [&](char* o) {
                        const auto& pairs = HexPairs();
                        o = HexInto(o, header);
                        for (int y = h - 1; y >= 0; --y) {
                            const auto* px = reinterpret_cast<const QRgb*>(img.constScanLine(y));
                            for (int x = 0; x < w; ++x) {
                                o = PutHex(o, pairs, uchar(qBlue(px[x])));
                                o = PutHex(o, pairs, uchar(qGreen(px[x])));
                                o = PutHex(o, pairs, uchar(qRed(px[x])));
                            }
                            for (qsizetype pad = qsizetype(w) * 3; pad < stride; ++pad)
                                o = PutHex(o, pairs, 0);
                        }
                        return o;
                    });
}

QByteArray PictureToRTF(const QImage& picture, bool scale, double dpi, QSize editor) {
    QByteArray jpeg;
    QBuffer buf(&jpeg);
    buf.open(QIODevice::WriteOnly);
    Opaque32(picture).save(&buf, "JPG");
    return Fragment(
        Head("jpegblip", picture.size(), TwipsFactor(picture.size(), scale, dpi, editor)),
        jpeg.size(), [&](char* o) { return HexInto(o, jpeg); });
}

} // namespace Rtf

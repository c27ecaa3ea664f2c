#include "RtfPicture.h"

#include <QBuffer>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace Rtf {

namespace {

char* HexInto(char* o, const QByteArray& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    for (const char c : bytes) {
        const auto b = uchar(c);
        *o++ = digits[b >> 4];
        *o++ = digits[b & 0x0F];
    }
    return o;
}

void PutLE(char* at, quint32 v, int bytes) {
    for (int i = 0; i < bytes; ++i)
        at[i] = char((v >> (8 * i)) & 0xFF);
}

// White under transparent parts, as a picture drawn onto a fresh bitmap shows them.
QImage Rgb24(const QImage& image) {
    if (!image.hasAlphaChannel())
        return image.convertToFormat(QImage::Format_BGR888);
    QImage out(image.size(), QImage::Format_BGR888);
    out.fill(Qt::white);
    QPainter p(&out);
    p.drawImage(0, 0, image);
    p.end();
    return out;
}

// Writes the hex of bytes straight behind the head, so that a picture of tens of megabytes is
// not copied once more.
QByteArray Fragment(const char* kind, QSize size, double f, const QByteArray& bytes) {
    const QByteArray head = "{\\rtf1 {\\pict\\" + QByteArray(kind) + "\\picw" +
                            QByteArray::number(size.width()) + "\\pich" +
                            QByteArray::number(size.height()) + "\\picwgoal" +
                            QByteArray::number(qRound(size.width() * f)) + "\\pichgoal" +
                            QByteArray::number(qRound(size.height() * f)) + ' ';
    static const QByteArray tail = "}\\u8192?\\par}";
    QByteArray out(head.size() + bytes.size() * 2 + tail.size(), Qt::Uninitialized);
    char* o = out.data();
    std::memcpy(o, head.constData(), size_t(head.size()));
    o = HexInto(o + head.size(), bytes);
    std::memcpy(o, tail.constData(), size_t(tail.size()));
    return out;
}

} // namespace

QByteArray DibOf(const QImage& image) {
    const QImage img = Rgb24(image);
    const int w = img.width();
    const int h = img.height();
    const qsizetype stride = (qsizetype(w) * 3 + 3) & ~qsizetype(3);
    QByteArray dib(40 + stride * h, '\0');
    char* d = dib.data();
    PutLE(d, 40, 4);                    // header size
    PutLE(d + 4, quint32(w), 4);
    PutLE(d + 8, quint32(h), 4);        // positive: bottom-up
    PutLE(d + 12, 1, 2);                // planes
    PutLE(d + 14, 24, 2);               // bits a pixel
    PutLE(d + 16, 0, 4);                // uncompressed
    PutLE(d + 20, quint32(stride * h), 4);
    for (int y = 0; y < h; ++y)
        std::memcpy(d + 40 + stride * (h - 1 - y), img.constScanLine(y), size_t(w) * 3);
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
    return Fragment("dibitmap", bitmap.size(), TwipsFactor(bitmap.size(), scale, dpi, editor),
                    DibOf(bitmap));
}

QByteArray PictureToRTF(const QImage& picture, bool scale, double dpi, QSize editor) {
    QByteArray jpeg;
    QBuffer buf(&jpeg);
    buf.open(QIODevice::WriteOnly);
    Rgb24(picture).save(&buf, "JPG");
    return Fragment("jpegblip", picture.size(), TwipsFactor(picture.size(), scale, dpi, editor),
                    jpeg);
}

} // namespace Rtf

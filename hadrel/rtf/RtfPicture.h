#pragma once
// Pictures as RTF fragments for the memo editor: a bitmap as a device-independent bitmap in hex
// (\dibitmap) or as a JPEG (\jpegblip), sized in twips for the screen it was chosen on and, when
// asked, shrunk to fit the editor. Pure functions: the caller passes the resolution and the
// editor's size.

#include <QByteArray>
#include <QSize>

class QImage;

namespace Rtf {

// Device-independent bitmap of image as 24 bits a pixel: the 40-byte info header, then the rows
// bottom-up, each padded to four bytes.
QByteArray DibOf(const QImage& image);

// Twips per pixel at dpi; with scale on and the picture larger than editor in either direction,
// times min(editor width / picture width, editor height / picture height).
double TwipsFactor(QSize picture, bool scale, double dpi, QSize editor);

// "{\rtf1 {\pict\dibitmap...}\u8192?\par}" with the DIB of bitmap drawn at 24 bits.
QByteArray BitmapToRTF(const QImage& bitmap, bool scale, double dpi, QSize editor);
// The same with the picture as JPEG bytes ("\jpegblip").
QByteArray PictureToRTF(const QImage& picture, bool scale, double dpi, QSize editor);

// Two upper-case hex digits a byte.
QByteArray UpperHex(const QByteArray& bytes);

} // namespace Rtf

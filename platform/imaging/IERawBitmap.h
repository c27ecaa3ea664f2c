#pragma once
// The raw dump of a bitmap: size, pixel format, colour table and pixels, lossless, in a layout of
// our own ("KIR1", little-endian):
//   4 bytes magic, int32 width, int32 height, uint8 format (1 mono, 8 grey, 9 indexed 8-bit,
//   24 RGB, 32 ARGB), uint8 0, uint16 colour-table entries, uint32 bytes per row, the colour
//   table as ARGB uint32, then the rows without padding.
// Other QImage formats are dumped as ARGB (RGB as opaque ARGB).

#include <QByteArray>
#include <QImage>
#include <QString>

namespace Imaging {

// Largest picture a dump may describe; bigger headers are refused before anything is allocated.
inline constexpr qint64 RawMaxPixels = qint64(1) << 28;

QByteArray SaveRAW(const QImage& image);
// A null image and the reason when the dump is short, inconsistent or too large.
QImage LoadRAW(const QByteArray& dump, QString* error = nullptr);

} // namespace Imaging

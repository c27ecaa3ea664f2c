#pragma once
// Scaling a page down for display: thumbnails, the navigator and the page view below 100 %. A
// page is averaged in whole blocks of pixels first: black and white by counting its bits, which
// is several times faster than converting a 1-bit A4 page to 32-bit colour and keeps thin strokes
// readable as grey; any other a band of rows at a time, so that a large page is never copied
// whole (Qt's smooth scaling would convert all of it to 32 bits first). Qt's smooth scaling does
// the rest.

#include <QImage>
#include <QSize>

namespace Imaging {

// The page scaled to fit box, keeping its proportions (never enlarged). Without smoothing every
// pixel is one of the page's own (nearest neighbour), as sharp and as broken as that is.
QImage ScaledDown(const QImage& page, QSize box, bool smooth = true);

} // namespace Imaging

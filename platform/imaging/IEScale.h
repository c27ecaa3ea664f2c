#pragma once
// Scaling a page down for display: thumbnails, the navigator and the page view below 100 %. A
// black-and-white page is averaged in whole blocks of pixels first (its bits counted directly),
// which is several times faster than converting a 1-bit A4 page to 32-bit colour and keeps thin
// strokes readable as grey; the rest is Qt's smooth scaling.

#include <QImage>
#include <QSize>

namespace Imaging {

// The page scaled to fit box, keeping its proportions (never enlarged). Without smoothing every
// pixel is one of the page's own (nearest neighbour), as sharp and as broken as that is.
QImage ScaledDown(const QImage& page, QSize box, bool smooth = true);

} // namespace Imaging

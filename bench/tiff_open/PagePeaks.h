#pragma once
// What one large page costs in memory, each in a fresh process: a 24 KB ZSTD page of 16000 x 16000
// pixels (768 MB decoded), which the viewer refuses before decoding it, and a real 10000 x 14000
// colour scan (JPEG, 420 MB decoded), as the viewer shows it against libtiff decoding it into one
// buffer. Both pages are written by libtiff here, stored as documents and opened by children.

#include <QByteArray>
#include <QString>

// A stored document of the benchmark's type holding bytes; its id.
int StoreBenchFile(const QByteArray& bytes, const QString& caption);

// The child: opens document pdId in a viewer (or, floor, reads and decodes it with libpq and
// libtiff alone) and prints "shown width height bytes rss_before_kb peak_kb checksum".
int PagePeakChild(int pdId, bool floor);

// Stores both pages, runs the children, cross-checks them and prints the lines and the figures
// bomb_peak_mb and large_page_peak_ratio; false when a check fails.
bool MeasurePagePeaks();

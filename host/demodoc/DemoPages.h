#pragma once
// Document pages for demos and benchmarks: A4 text pages painted from a fixed seed, so that the
// same seed always gives the same page.

#include <PageCodec.h>

#include <QByteArray>
#include <QImage>
#include <QPageSize>
#include <QString>

namespace DemoPages {

// An A4 page at dpi of a letter-like text: sender, heading, paragraphs of words and the page
// number; grey (8 bit) or black and white (1 bit).
QImage TextPage(int dpi, int seed, int pageNr, int pageCount, bool blackAndWhite,
                const QString& title = QStringLiteral("Lieferschein"));

// A multipage TIFF of count pages: text pages of distinct pages (then repeated, copied
// unchanged), black-and-white ones G4, every greyEvery-th (from the second, 0 for none) grey
// JPEG.
QByteArray Document(int count, int dpi, int distinct, int greyEvery, int seed,
                    const QString& title = QStringLiteral("Lieferschein"));

// A PDF of count A4 pages of text (searchable) under title.
QByteArray PdfDocument(int count, const QString& title);

// A one-page PDF of a construction plan from seed: a grid, many lines, rings and room labels
// (as many as the page has room for), and a black square in the middle.
QByteArray PdfPlan(const QPageSize& size, int seed);

} // namespace DemoPages

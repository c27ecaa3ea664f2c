// Scaling pages down for display: as Qt's smooth scaling shows them, transparent parts kept, and a
// large page never copied whole on the way.
#include "IEScale.h"
#include "PeakMemory.h"
#include "TiffPages.h"

#include <gtest/gtest.h>

using namespace Imaging;

TEST(ScaleTest, PagesOfEveryFormatScaleAsQtShowsThemWithoutACopyOfThePage) {
    QImage colour(1203, 907, QImage::Format_RGB888);
    for (int y = 0; y < colour.height(); ++y)
        for (int x = 0; x < colour.width(); ++x)
            colour.setPixel(x, y, qRgb((x / 5) & 0xff, (y / 3) & 0xff, ((x + y) / 7) & 0xff));
    QImage alpha = colour.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < alpha.height(); ++y)
        for (int x = 0; x < alpha.width() / 2; ++x)
            alpha.setPixel(x, y, qRgba(0, 0, 0, 0));
    const QSize box(160, 200);
    for (const QImage& page : {colour, colour.convertToFormat(QImage::Format_Grayscale8),
                               colour.convertToFormat(QImage::Format_Grayscale16),
                               colour.convertToFormat(QImage::Format_RGBX64), alpha}) {
        SCOPED_TRACE(page.format());
        const QImage small = ScaledDown(page, box);
        const QImage qt = page.convertToFormat(QImage::Format_ARGB32)
                              .scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        ASSERT_EQ(small.size(), qt.size());
        EXPECT_LT(tiffpages::MeanDifference(small, qt), 2.0);
        EXPECT_EQ(small.hasAlphaChannel(), page.hasAlphaChannel());
        if (page.hasAlphaChannel()) {
            EXPECT_EQ(qAlpha(small.pixel(10, 10)), 0);
            EXPECT_EQ(qAlpha(small.pixel(small.width() - 10, 10)), 255);
        }
    }

    // A 6000 x 8000 colour page: Qt alone would convert all of it to 32 bits first (183 MB).
    QImage large(6000, 8000, QImage::Format_RGB888);
    large.fill(qRgb(200, 180, 90));
    const testsupport::TPeakMemory memory;
    const QImage thumb = ScaledDown(large, box);
    EXPECT_EQ(thumb.size(), QSize(150, 200));
    EXPECT_EQ(thumb.pixel(75, 100), qRgb(200, 180, 90));
    EXPECT_LT(memory.ExtraMb(), testsupport::AllowedPeakMb(16.0));
}

// Pictures as RTF fragments: the exact bytes for small bitmaps, the size in twips, and the way back
// through the reader and writer.
#include "RtfPicture.h"
#include "RtfCodec.h"

#include <QImage>
#include <QPainter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextImageFormat>

#include <gtest/gtest.h>

namespace {

// The 40-byte info header of a 24-bit bottom-up DIB, as hex.
QByteArray HeaderHex(int w, int h, int imageSize) {
    const auto le = [](quint32 v, int bytes) {
        QByteArray out;
        for (int i = 0; i < bytes; ++i)
            out += QByteArray::number((v >> (8 * i)) & 0xFF, 16).rightJustified(2, '0').toUpper();
        return out;
    };
    return le(40, 4) + le(w, 4) + le(h, 4) + le(1, 2) + le(24, 2) + le(0, 4) + le(imageSize, 4) +
           QByteArray(32, '0');
}

QImage FirstImage(const QTextDocument& doc) {
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it)
            if (it.fragment().charFormat().isImageFormat()) {
                const QString name = it.fragment().charFormat().toImageFormat().name();
                return doc.resource(QTextDocument::ImageResource, QUrl(name)).value<QImage>();
            }
    return {};
}

} // namespace

TEST(RtfPicture, SmallBitmapsGiveTheExactHeaderAndBottomUpPaddedRows) {
    QImage wide(2, 1, QImage::Format_RGB32);
    wide.setPixelColor(0, 0, QColor(0xFF, 0x00, 0x00));
    wide.setPixelColor(1, 0, QColor(0x12, 0x34, 0x56));
    // One row of 6 bytes padded to 8, blue-green-red.
    EXPECT_EQ(Rtf::BitmapToRTF(wide, true, 96, QSize(800, 600)),
              "{\\rtf1 {\\pict\\dibitmap\\picw2\\pich1\\picwgoal30\\pichgoal15 " +
                  HeaderHex(2, 1, 8) + "0000FF5634120000}\\u8192?\\par}");

    QImage tall(1, 2, QImage::Format_RGB32);
    tall.setPixelColor(0, 0, QColor(0x00, 0x00, 0xFF)); // top
    tall.setPixelColor(0, 1, QColor(0x0A, 0x0B, 0x0C)); // bottom, written first
    EXPECT_EQ(Rtf::BitmapToRTF(tall, false, 96, QSize()),
              "{\\rtf1 {\\pict\\dibitmap\\picw1\\pich2\\picwgoal15\\pichgoal30 " +
                  HeaderHex(1, 2, 8) + "0C0B0A00FF000000}\\u8192?\\par}");

    // Transparent parts are drawn on white, as on a fresh 24-bit bitmap.
    QImage clear(1, 1, QImage::Format_ARGB32);
    clear.fill(Qt::transparent);
    EXPECT_TRUE(Rtf::BitmapToRTF(clear, false, 96, QSize()).endsWith("FFFFFF00}\\u8192?\\par}"));
    EXPECT_EQ(Rtf::UpperHex(QByteArray("\x00\x0f\xa0\xff", 4)), "000FA0FF");
}

TEST(RtfPicture, SizeInTwipsKeepsSmallPicturesAndFitsLargeOnesIntoTheEditor) {
    // Smaller than the editor: its own size at the screen's resolution.
    EXPECT_DOUBLE_EQ(Rtf::TwipsFactor(QSize(100, 50), true, 120, QSize(400, 300)), 12.0);
    // Wider: scaled by the width, which is the tighter side.
    EXPECT_DOUBLE_EQ(Rtf::TwipsFactor(QSize(800, 100), true, 96, QSize(400, 300)), 7.5);
    // Only taller: scaled by the height.
    EXPECT_DOUBLE_EQ(Rtf::TwipsFactor(QSize(100, 600), true, 96, QSize(400, 300)), 7.5);
    // Both larger: the smaller ratio wins, so that both sides fit.
    EXPECT_DOUBLE_EQ(Rtf::TwipsFactor(QSize(800, 1200), true, 96, QSize(400, 300)), 3.75);
    // Scaling off.
    EXPECT_DOUBLE_EQ(Rtf::TwipsFactor(QSize(800, 1200), false, 96, QSize(400, 300)), 15.0);

    QImage big(800, 1200, QImage::Format_RGB32);
    big.fill(Qt::gray);
    const QByteArray rtf = Rtf::BitmapToRTF(big, true, 96, QSize(400, 300));
    EXPECT_TRUE(rtf.startsWith("{\\rtf1 {\\pict\\dibitmap\\picw800\\pich1200\\picwgoal3000"
                               "\\pichgoal4500 "));
}

TEST(RtfPicture, InsertedPictureReadsBackWithTheSamePixels) {
    QImage img(37, 11, QImage::Format_RGB32); // 111 bytes a row: padding in play
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            img.setPixelColor(x, y, QColor(x * 7 % 256, y * 23 % 256, (x * y) % 256));
    QTextDocument doc;
    QTextCursor c(&doc);
    c.insertText(QStringLiteral("vorher "));
    const Rtf::ReadResult r = Rtf::Insert(Rtf::BitmapToRTF(img, true, 96, QSize(500, 500)), c);
    EXPECT_FALSE(r.Skipped()) << r.problems.join(u'\n').toStdString();
    const QImage shown = FirstImage(doc);
    ASSERT_FALSE(shown.isNull());
    EXPECT_EQ(shown.convertToFormat(QImage::Format_RGB32), img);

    // Stored and loaded again.
    QTextDocument again;
    Rtf::Read(Rtf::Write(&doc), &again);
    EXPECT_EQ(FirstImage(again).convertToFormat(QImage::Format_RGB32), img);
    EXPECT_TRUE(again.toPlainText().startsWith(QStringLiteral("vorher ")));
}

TEST(RtfPicture, PictureToRtfCarriesJpegBytes) {
    QImage img(40, 20, QImage::Format_RGB32);
    img.fill(QColor(0x20, 0x80, 0xC0));
    const QByteArray rtf = Rtf::PictureToRTF(img, false, 96, QSize());
    ASSERT_TRUE(rtf.startsWith("{\\rtf1 {\\pict\\jpegblip\\picw40\\pich20\\picwgoal600"
                               "\\pichgoal300 FFD8"));
    EXPECT_TRUE(rtf.endsWith("}\\u8192?\\par}"));
    QTextDocument doc;
    Rtf::Read(rtf, &doc);
    const QImage shown = FirstImage(doc);
    ASSERT_EQ(shown.size(), img.size());
    EXPECT_NEAR(shown.pixelColor(20, 10).blue(), 0xC0, 8);
}

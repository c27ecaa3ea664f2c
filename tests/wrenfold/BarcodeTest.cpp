// The barcode reader over pages drawn with ZXing's writer, and the file readers.

#include <PageCodec.h>
#include <PeakMemory.h>
#include <ScanPages.h>
#include <Ubarcode.h>
#include <VoskExceptions.h>

#include <QBuffer>
#include <QPainter>
#include <QPdfWriter>

#include <gtest/gtest.h>

using ZXing::BarcodeFormat;

namespace {

TBarcodeTypes types(std::initializer_list<int> numbers) {
    TBarcodeTypes t;
    for (int n : numbers)
        t.set(size_t(n));
    return t;
}

TEST(BarcodeReadTest, FindsWantedSymbologiesWithTheirBox) {
    const QImage code128 = scanpages::Barcode(QStringLiteral("DOK-4711"), BarcodeFormat::Code128);
    const QImage qr = scanpages::Barcode(QStringLiteral("Rechnung 12"), BarcodeFormat::QRCode, 4);
    const QImage page = scanpages::Page(800, 900, {code128, qr});

    TBarcodeList codes;
    Ubarcode::ReadBarcode(codes, page, {}, types({Ubarcode::sbCode128, Ubarcode::sbQRCode}), false, 1);
    ASSERT_EQ(codes.size(), 2);
    const auto& c128 = codes[0].SymbologyName == QLatin1String("CODE-128") ? codes[0] : codes[1];
    const auto& cqr = codes[0].SymbologyName == QLatin1String("QR-Code") ? codes[0] : codes[1];
    EXPECT_EQ(c128.Text, QStringLiteral("DOK-4711"));
    EXPECT_EQ(cqr.Text, QStringLiteral("Rechnung 12"));
    // The code's picture lies at (40, 45) of the page; its box covers the bars, not the quiet
    // zone.
    EXPECT_GT(c128.p1, 40);
    EXPECT_LT(c128.p1, 40 + 40);
    EXPECT_GE(c128.p2, 45);
    EXPECT_GT(c128.p3, 40 + code128.width() - 40);
    EXPECT_LT(c128.p3, 40 + code128.width());
    EXPECT_LE(c128.p4, 45 + code128.height());
    EXPECT_LT(c128.p2, c128.p4);
    EXPECT_GT(cqr.p2, c128.p4);

    // Only what is asked for is read.
    codes.clear();
    Ubarcode::ReadBarcode(codes, page, {}, types({Ubarcode::sbCode39}), false, 1);
    EXPECT_TRUE(codes.isEmpty());
    Ubarcode::ReadBarcode(codes, page, {}, TBarcodeTypes(), false, 1);
    EXPECT_TRUE(codes.isEmpty());
    Ubarcode::ReadBarcode(codes, page, {}, types({Ubarcode::sbQRCode}), false, 1);
    ASSERT_EQ(codes.size(), 1);
    EXPECT_EQ(codes[0].SymbologyName, QStringLiteral("QR-Code"));

    // The filter sees every code with its count and decides.
    codes.clear();
    QList<int> counts;
    Ubarcode::ReadBarcode(codes, page,
                          [&](const TBarcodeData&, int count) {
                              counts << count;
                              return count == 2;
                          },
                          types({Ubarcode::sbCode128, Ubarcode::sbQRCode}), false, 1);
    EXPECT_EQ(counts, (QList<int>{1, 2}));
    EXPECT_EQ(codes.size(), 1);
    EXPECT_TRUE(Ubarcode::BarcodeFilter_KorvexDokuLink(codes.value(0), 7));
}

TEST(BarcodeReadTest, BookNumbersAndCheckCharacters) {
    const QImage isbn = scanpages::Barcode(QStringLiteral("9783161484100"), BarcodeFormat::EAN13);
    const QImage page = scanpages::Page(600, 300, {isbn});
    TBarcodeList codes;
    Ubarcode::ReadBarcode(codes, page, {}, types({Ubarcode::sbISBN13}), false, 1);
    ASSERT_EQ(codes.size(), 1);
    EXPECT_EQ(codes[0].SymbologyName, QStringLiteral("ISBN-13"));
    codes.clear();
    Ubarcode::ReadBarcode(codes, page, {}, types({Ubarcode::sbISBN10}), false, 1);
    ASSERT_EQ(codes.size(), 1);
    EXPECT_EQ(codes[0].Text, QStringLiteral("316148410X"));
    codes.clear();
    Ubarcode::ReadBarcode(codes, page, {}, types({Ubarcode::sbEAN13}), false, 1);
    ASSERT_EQ(codes.size(), 1);
    EXPECT_EQ(codes[0].SymbologyName, QStringLiteral("EAN-13"));
    // An EAN-13 outside the book ranges is no ISBN.
    codes.clear();
    Ubarcode::ReadBarcode(codes, scanpages::Page(600, 300, {scanpages::Barcode(QStringLiteral("4006381333931"), BarcodeFormat::EAN13)}),
                          {}, types({Ubarcode::sbISBN13, Ubarcode::sbISBN10}), false, 1);
    EXPECT_TRUE(codes.isEmpty());

    // "ABC" carries no valid check character: read only without the check.
    const QImage c39 = scanpages::Page(700, 300, {scanpages::Barcode(QStringLiteral("ABC"), BarcodeFormat::Code39)});
    Ubarcode::ReadBarcode(codes, c39, {}, types({Ubarcode::sbCode39}), false, 1);
    ASSERT_EQ(codes.size(), 1);
    EXPECT_EQ(codes[0].Text, QStringLiteral("ABC"));
    codes.clear();
    Ubarcode::ReadBarcode(codes, c39, {}, types({Ubarcode::sbCode39}), true, 1);
    EXPECT_TRUE(codes.isEmpty());
    // "ABCX": X is the modulo-43 check of ABC.
    const QImage checked = scanpages::Page(700, 300, {scanpages::Barcode(QStringLiteral("ABCX"), BarcodeFormat::Code39)});
    Ubarcode::ReadBarcode(codes, checked, {}, types({Ubarcode::sbCode39}), true, 1);
    ASSERT_EQ(codes.size(), 1);
    EXPECT_EQ(codes[0].Text, QStringLiteral("ABC"));
}

TEST(BarcodeReadTest, NamesOfTheSettings) {
    EXPECT_EQ(Ubarcode::SymbolTypeOfName(QStringLiteral("sbCode128")), 128);
    EXPECT_EQ(Ubarcode::SymbolTypeOfName(QStringLiteral("sbEAN8")), 8);
    EXPECT_EQ(Ubarcode::SymbolTypeOfName(QStringLiteral("sbQRCode")), 64);
    EXPECT_EQ(Ubarcode::SymbolTypeOfName(QStringLiteral("sbcode128")), -1);
    TBarcodeList list{{QStringLiteral("1"), QStringLiteral("EAN-8")}, {QStringLiteral("x"), QStringLiteral("QR-Code")}};
    EXPECT_EQ(Ubarcode::GetAllBarcodes(list), QStringLiteral("EAN-8:1, QR-Code:x"));
}

TEST(BarcodeFileTest, ImageFilesByPageAndPdfAt300Dpi) {
    const TBarcodeTypes wanted = types({Ubarcode::sbCode128});
    Imaging::TTiffWriter writer;
    Imaging::TIOParams params;
    params.TIFF_Compression = Imaging::ioTIFF_LZW;
    writer.WritePage(scanpages::Page(500, 300, {scanpages::Barcode(QStringLiteral("P1"), BarcodeFormat::Code128)}), params);
    writer.WritePage(scanpages::Page(500, 300), params);
    writer.WritePage(scanpages::Page(500, 300, {scanpages::Barcode(QStringLiteral("P3"), BarcodeFormat::Code128)}), params);
    QByteArray tiff = writer.Finish();
    QBuffer stream(&tiff);
    stream.open(QIODevice::ReadOnly);
    TBarcodeList codes;
    EXPECT_EQ(Ubarcode::ReadBarcodeFormImage(codes, stream, {}, wanted, false, 1, 0, false), 3);
    ASSERT_EQ(codes.size(), 2);
    EXPECT_EQ(codes[1].Text, QStringLiteral("P3"));
    codes.clear();
    stream.seek(0);
    EXPECT_EQ(Ubarcode::ReadBarcodeFormImage(codes, stream, {}, wanted, false, 1, 0, true), 3);
    ASSERT_EQ(codes.size(), 1);
    EXPECT_EQ(codes[0].Text, QStringLiteral("P1"));

    QByteArray garbage("no picture at all");
    QBuffer bad(&garbage);
    bad.open(QIODevice::ReadOnly);
    EXPECT_THROW(Ubarcode::ReadBarcodeFormImage(codes, bad, {}, wanted, false, 1, 0, false), EVoskException);
    bad.seek(0);
    EXPECT_THROW(Ubarcode::ReadBarcodeFormPDF(codes, bad, {}, wanted, false, 1, 0, false), EVoskException);

    QByteArray pdf;
    {
        QBuffer out(&pdf);
        out.open(QIODevice::WriteOnly);
        QPdfWriter w(&out);
        w.setResolution(300);
        QPainter p(&w);
        p.drawImage(QPoint(100, 100), scanpages::Barcode(QStringLiteral("PDF-1"), BarcodeFormat::Code128, 4));
        w.newPage();
        p.drawImage(QPoint(100, 100), scanpages::Barcode(QStringLiteral("PDF-2"), BarcodeFormat::Code128, 4));
    }
    QBuffer in(&pdf);
    in.open(QIODevice::ReadOnly);
    codes.clear();
    EXPECT_EQ(Ubarcode::ReadBarcodeFormPDF(codes, in, {}, wanted, false, 1, 0, false), 2);
    ASSERT_EQ(codes.size(), 2);
    EXPECT_EQ(codes[0].Text, QStringLiteral("PDF-1"));
    EXPECT_EQ(codes[1].Text, QStringLiteral("PDF-2"));
}

TEST(BarcodeFileTest, LargePdfPagesAreReadWithinAPixelBudget) {
    // An A0 page and one of 5000 x 5000 points, each with a label large enough for its page.
    QByteArray pdf;
    {
        QBuffer out(&pdf);
        out.open(QIODevice::WriteOnly);
        QPdfWriter w(&out);
        w.setResolution(72);
        w.setPageSize(QPageSize(QPageSize::A0));
        w.setPageMargins(QMarginsF());
        QPainter p(&w);
        const QImage a0 = scanpages::Barcode(QStringLiteral("A0-PLAN"), BarcodeFormat::Code128);
        p.drawImage(QRectF(200, 2000, a0.width() * 1.5, a0.height() * 1.5), a0);
        w.setPageSize(QPageSize(QSizeF(5000, 5000), QPageSize::Point));
        w.newPage();
        const QImage huge = scanpages::Barcode(QStringLiteral("RIESIG"), BarcodeFormat::Code128);
        p.drawImage(QRectF(3000, 4000, huge.width() * 3, huge.height() * 3), huge);
    }
    QBuffer in(&pdf);
    in.open(QIODevice::ReadOnly);
    TBarcodeList codes;
    const testsupport::TPeakMemory memory;
    EXPECT_EQ(Ubarcode::ReadBarcodeFormPDF(codes, in, {}, types({Ubarcode::sbCode128}), false, 1, 0, false), 2);
    // 40 million grey pixels and their colour rendering; at 300 dpi the pages take 0.7 and 2.1 GB.
    EXPECT_LT(memory.ExtraMb(), 300.0 + testsupport::kAllocatorSlackMb);
    ASSERT_EQ(codes.size(), 2);
    EXPECT_EQ(codes[0].Text, QStringLiteral("A0-PLAN"));
    EXPECT_EQ(codes[1].Text, QStringLiteral("RIESIG"));
}

} // namespace

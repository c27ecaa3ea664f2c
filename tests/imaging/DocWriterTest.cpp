// The PDF and PostScript writer read back by independent readers (poppler's pdfinfo and
// pdfimages, Qt PDF, the PostScript text itself): pages, paper per page, document information,
// embedded JPEG and fax data, failed writes; and the black-and-white and reduction rules of the
// export.
#include <IEDocWriter.h>
#include <PageCodec.h>

#include <gtest/gtest.h>

#include <QFile>
#include <QPainter>
#include <QPdfDocument>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

using namespace Imaging;

namespace {

QImage Grey(int w, int h, int level) {
    QImage img(w, h, QImage::Format_Grayscale8);
    img.fill(level);
    return img;
}

QImage Colour(int w, int h) {
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, qRgb(x % 256, y % 256, 128));
    return img;
}

QString RunTool(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    EXPECT_TRUE(p.waitForFinished(20000)) << program.toStdString();
    return QString::fromUtf8(p.readAllStandardOutput());
}

QString InfoLine(const QString& info, const QString& key) {
    const QRegularExpression re(QStringLiteral("^%1:\\s*(.*)$").arg(QRegularExpression::escape(key)),
                                QRegularExpression::MultilineOption);
    return re.match(info).captured(1).trimmed();
}

} // namespace

TEST(DocWriterTest, PdfPagesCarryTheirOwnPaperAndTheDocumentInformation) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("out.pdf"));
    {
        TIEDocWriter w(file, TIEDocType::PDF);
        w.SetCreator(QStringLiteral("KORVEX ERP"));
        w.SetTitle(QStringLiteral("Lieferschein Müller\nZeile"));
        w.SetCompression(ioPDF_JPEG);
        EXPECT_TRUE(w.AddPage(Grey(300, 420, 200)));
        w.SetPaper(kA4HeightPt, kA4WidthPt);
        EXPECT_TRUE(w.AddPage(Colour(420, 300)));
        w.SetCompression(ioPDF_UNCOMPRESSED);
        EXPECT_TRUE(w.AddPage(Colour(50, 50)));
        EXPECT_EQ(w.PageCount(), 3);
        EXPECT_TRUE(w.Close());
    }
    const QString info = RunTool(QStringLiteral("pdfinfo"), {QStringLiteral("-f"), QStringLiteral("1"),
                                                          QStringLiteral("-l"), QStringLiteral("3"), file});
    EXPECT_EQ(InfoLine(info, QStringLiteral("Pages")), QStringLiteral("3"));
    EXPECT_EQ(InfoLine(info, QStringLiteral("Creator")), QStringLiteral("KORVEX ERP"));
    // A line break in a title never reaches the file.
    EXPECT_EQ(InfoLine(info, QStringLiteral("Title")), QStringLiteral("Lieferschein Müller Zeile"));
    EXPECT_TRUE(InfoLine(info, QStringLiteral("Page    1 size")).startsWith(u"595 x 842"));
    EXPECT_TRUE(InfoLine(info, QStringLiteral("Page    2 size")).startsWith(u"842 x 595"));

    // JPEG pages embed DCT data (grey stays one channel); the lossless one does not.
    const QStringList images =
        RunTool(QStringLiteral("pdfimages"), {QStringLiteral("-list"), file}).split(u'\n');
    ASSERT_GE(images.size(), 5);
    const QStringList first = images[2].simplified().split(u' ');
    const QStringList second = images[3].simplified().split(u' ');
    const QStringList third = images[4].simplified().split(u' ');
    EXPECT_EQ(first.value(5), QStringLiteral("gray"));
    EXPECT_EQ(first.value(8), QStringLiteral("jpeg"));
    EXPECT_EQ(second.value(5), QStringLiteral("rgb"));
    EXPECT_EQ(second.value(8), QStringLiteral("jpeg"));
    EXPECT_NE(third.value(8), QStringLiteral("jpeg"));
}

TEST(DocWriterTest, TheFaxCompressionEmbedsGroup4DataThatDrawsThePageAsItWas) {
    // Text-like strokes one pixel high and odd widths, so that a run or colour off shows.
    QImage text(333, 207, QImage::Format_Grayscale8);
    text.fill(255);
    for (int y = 5; y < text.height() - 5; y += 7)
        for (int x = 3 + y % 11; x < text.width() - 3 - y % 17; ++x)
            text.scanLine(y)[x] = 0;
    const QImage mono = text.convertToFormat(QImage::Format_Mono);
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("fax.pdf"));
    {
        TIEDocWriter w(file, TIEDocType::PDF);
        w.SetCompression(ioPDF_G4FAX);
        w.SetPaper(mono.width(), mono.height()); // one pixel a point
        ASSERT_TRUE(w.AddPage(mono));
        w.SetPaper(kA4WidthPt, kA4HeightPt);
        ASSERT_TRUE(w.AddPage(Grey(120, 170, 128))); // grey goes in dithered
        ASSERT_TRUE(w.Close());
    }
    const QStringList images =
        RunTool(QStringLiteral("pdfimages"), {QStringLiteral("-list"), file}).split(u'\n');
    ASSERT_GE(images.size(), 4);
    for (int i : {2, 3}) {
        const QStringList row = images[i].simplified().split(u' ');
        EXPECT_EQ(row.value(8), QStringLiteral("ccitt")) << images[i].toStdString();
        EXPECT_EQ(row.value(7), QStringLiteral("1")) << images[i].toStdString();
    }

    QPdfDocument pdf;
    ASSERT_EQ(pdf.load(file), QPdfDocument::Error::None);
    ASSERT_EQ(pdf.pageCount(), 2);
    QImage shown(mono.size(), QImage::Format_RGB32);
    shown.fill(Qt::white);
    QPainter(&shown).drawImage(0, 0, pdf.render(0, mono.size()));
    int differ = 0;
    for (int y = 0; y < mono.height(); ++y)
        for (int x = 0; x < mono.width(); ++x)
            differ += (qGray(shown.pixel(x, y)) < 128) != (qGray(mono.pixel(x, y)) < 128);
    EXPECT_LT(differ, mono.width() * mono.height() / 200) << differ;

    // PostScript takes the same data.
    const QString ps = dir.filePath(QStringLiteral("fax.ps"));
    {
        TIEDocWriter w(ps, TIEDocType::PS);
        w.SetCompression(ioPS_G4FAX);
        ASSERT_TRUE(w.AddPage(mono));
        ASSERT_TRUE(w.Close());
    }
    QFile f(ps);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.readAll().contains("CCITTFaxDecode"));
}

TEST(DocWriterTest, PostScriptHasOnePageCommentPerPageAndTheTitle) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("out.ps"));
    {
        TIEDocWriter w(file, TIEDocType::PS);
        w.SetTitle(QStringLiteral("KORVEX ERP: Vertrag"));
        w.SetCompression(ioPS_JPEG);
        for (int i = 0; i < 3; ++i)
            ASSERT_TRUE(w.AddPage(Grey(100, 140, 60 * i)));
        ASSERT_TRUE(w.Close());
    }
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray ps = f.readAll();
    EXPECT_TRUE(ps.startsWith("%!PS"));
    EXPECT_EQ(ps.count("\n%%Page:"), 3);
    EXPECT_TRUE(ps.contains("%%Title: KORVEX ERP: Vertrag"));
    EXPECT_TRUE(ps.contains("DCTDecode"));
}

TEST(DocWriterTest, AFileThatCannotBeWrittenIsReportedNotPassedAsDone) {
    EXPECT_THROW(TIEDocWriter(QStringLiteral("/nonexistent-folder/x.pdf"), TIEDocType::PDF),
                 EVoskException);
    if (!QFile::exists(QStringLiteral("/dev/full")))
        GTEST_SKIP() << "no /dev/full";
    TIEDocWriter w(QStringLiteral("/dev/full"), TIEDocType::PDF);
    w.SetCompression(ioPDF_UNCOMPRESSED);
    bool ok = true;
    for (int i = 0; i < 4 && ok; ++i)
        ok = w.AddPage(Colour(600, 600));
    ok = ok && w.Close();
    EXPECT_FALSE(ok);
    EXPECT_TRUE(w.Aborted());
    EXPECT_FALSE(w.ErrorText().isEmpty());
}

TEST(DocWriterTest, BlackAndWhiteByOrderedDitheringAndTheReductionRule) {
    // Mid grey becomes a regular pattern of about half black pixels, not one colour.
    const QImage bw = ConvertToBWOrdered(Grey(64, 64, 128));
    ASSERT_EQ(bw.format(), QImage::Format_Mono);
    int black = 0;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            black += qGray(bw.pixel(x, y)) < 128;
    EXPECT_GT(black, 64 * 64 * 4 / 10);
    EXPECT_LT(black, 64 * 64 * 6 / 10);
    EXPECT_EQ(ConvertToBWOrdered(bw), bw);

    // A4 at 300 dpi keeps its resolution; only pages beyond 18 times the reference shrink.
    EXPECT_EQ(ReductionFactor(QSize(2480, 3508)), 1.0);
    EXPECT_DOUBLE_EQ(ReductionFactor(QSize(8280, 100)), kReductionRefWidth * 18.0 / 8280);
    EXPECT_DOUBLE_EQ(ReductionFactor(QSize(100, 11700), QSize(100, 325)), 0.5);
    EXPECT_EQ(ReductionFactor(QSize()), 1.0);
    const QImage reduced = ReducedPage(Colour(1001, 501), 0.5);
    EXPECT_EQ(reduced.size(), QSize(501, 251)); // sides rounded
    EXPECT_EQ(reduced.depth(), 24);
}

TEST(DocWriterTest, TransparentPartsArePaperWhiteInEveryCompression) {
    // Left half transparent (black with alpha 0, as pictures usually hold it), right half blue.
    QImage page(200, 100, QImage::Format_ARGB32);
    page.fill(qRgba(0, 0, 0, 0));
    for (int y = 0; y < 100; ++y)
        for (int x = 100; x < 200; ++x)
            page.setPixel(x, y, qRgba(20, 40, 230, 255));
    QTemporaryDir dir;
    struct Case {
        TIEDocType type;
        int compression;
        bool colour;
    };
    const Case cases[] = {{TIEDocType::PDF, ioPDF_UNCOMPRESSED, true}, {TIEDocType::PDF, ioPDF_JPEG, true},
                          {TIEDocType::PDF, ioPDF_G4FAX, false},       {TIEDocType::PS, ioPS_RLE, true},
                          {TIEDocType::PS, ioPS_JPEG, true},           {TIEDocType::PS, ioPS_G4FAX, false}};
    for (const Case& c : cases) {
        const bool pdf = c.type == TIEDocType::PDF;
        SCOPED_TRACE((pdf ? "PDF " : "PS ") + std::to_string(c.compression));
        const QString file = dir.filePath(QStringLiteral("a%1.%2").arg(c.compression).arg(pdf ? "pdf" : "ps"));
        {
            TIEDocWriter w(file, c.type);
            w.SetCompression(c.compression);
            w.SetPaper(page.width(), page.height());
            ASSERT_TRUE(w.AddPage(page));
            ASSERT_TRUE(w.Close());
        }
        // Drawn by readers of their own: Qt PDF, and Ghostscript for PostScript.
        QImage shown(page.size(), QImage::Format_RGB32);
        if (pdf) {
            QPdfDocument doc;
            ASSERT_EQ(doc.load(file), QPdfDocument::Error::None);
            shown.fill(Qt::white);
            QPainter(&shown).drawImage(0, 0, doc.render(0, page.size()));
        } else {
            const QString png = file + QStringLiteral(".png");
            QProcess::execute(QStringLiteral("gs"), {QStringLiteral("-q"), QStringLiteral("-dNOPAUSE"),
                                                     QStringLiteral("-dBATCH"), QStringLiteral("-dSAFER"),
                                                     QStringLiteral("-sDEVICE=png16m"), QStringLiteral("-r72"),
                                                     QStringLiteral("-dDEVICEWIDTHPOINTS=200"),
                                                     QStringLiteral("-dDEVICEHEIGHTPOINTS=100"),
                                                     QStringLiteral("-dFIXEDMEDIA"),
                                                     QStringLiteral("-sOutputFile=") + png, file});
            shown = QImage(png).convertToFormat(QImage::Format_RGB32);
            ASSERT_EQ(shown.size(), page.size());
        }
        for (int y = 10; y < 90; y += 20) {
            EXPECT_GE(qGray(shown.pixel(20, y)), 240) << y;
            EXPECT_GE(qGray(shown.pixel(80, y)), 240) << y;
            if (c.colour) {
                EXPECT_GT(qBlue(shown.pixel(150, y)), 180) << y;
                EXPECT_LT(qRed(shown.pixel(150, y)), 70) << y;
            }
        }
    }
    // The reduced page of an export is on white too.
    const QImage reduced = ReducedPage(page, 0.5);
    EXPECT_GE(qGray(reduced.pixel(20, 20)), 250);
    EXPECT_GT(qBlue(reduced.pixel(80, 20)), 200);
}

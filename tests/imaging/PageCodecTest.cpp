// The TIFF page codec: every compression written and read back, read again by libtiff's own tools,
// pages opened at their recorded offsets, pages copied without re-encoding, and broken files.
#include "PageCodec.h"
#include "TiffPages.h"

#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtEndian>

#include <tiffio.h>

using namespace Imaging;
using namespace tiffpages;

namespace {

TIOParams paramsFor(TIOTIFFCompression c, const QByteArray& description = {}, double dpi = 0) {
    TIOParams p;
    p.TIFF_Compression = c;
    p.TIFF_ImageDescription = description;
    p.DpiX = p.DpiY = dpi;
    return p;
}

QByteArray writeOne(const QImage& image, const TIOParams& params) {
    TTiffWriter w;
    w.WritePage(image, params);
    return w.Finish();
}

// libtiff's raw (still compressed) strips of page n, read independently of the codec.
QList<QByteArray> rawStrips(const QByteArray& file, int page) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("f.tif"));
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(file);
    f.close();
    QList<QByteArray> strips;
    TIFF* tif = TIFFOpen(path.toLocal8Bit().constData(), "r");
    if (!tif)
        return strips;
    TIFFSetDirectory(tif, tdir_t(page));
    uint64_t* counts = nullptr;
    TIFFGetField(tif, TIFFTAG_STRIPBYTECOUNTS, &counts);
    for (uint32_t s = 0; s < TIFFNumberOfStrips(tif); ++s) {
        QByteArray strip(qsizetype(counts[s]), '\0');
        TIFFReadRawStrip(tif, s, strip.data(), tmsize_t(counts[s]));
        strips << strip;
    }
    TIFFClose(tif);
    return strips;
}

// Little-endian classic TIFF as the writer produces it: sets the value of an entry of the first
// directory, or the entry's tag number.
void patchEntry(QByteArray& file, int tag, quint32 value, bool replaceTag = false) {
    const quint32 ifd = qFromLittleEndian<quint32>(file.constData() + 4);
    const int entries = qFromLittleEndian<quint16>(file.constData() + ifd);
    for (int i = 0; i < entries; ++i) {
        char* e = file.data() + ifd + 2 + 12 * i;
        if (qFromLittleEndian<quint16>(e) != tag)
            continue;
        if (replaceTag) {
            qToLittleEndian<quint16>(quint16(value), e);
            return;
        }
        const int type = qFromLittleEndian<quint16>(e + 2);
        if (type == TIFF_SHORT)
            qToLittleEndian<quint16>(quint16(value), e + 8);
        else
            qToLittleEndian<quint32>(value, e + 8);
        return;
    }
    ADD_FAILURE() << "tag " << tag << " not in the directory";
}

} // namespace

TEST(PageCodec, EveryCompressionRoundTripsAndLibtiffReadsIt) {
    struct Case {
        TIOTIFFCompression compression;
        const char* toolName;
        bool lossless;
    };
    const Case cases[] = {
        {ioTIFF_UNCOMPRESSED, "None", true},
        {ioTIFF_CCITT1D, "CCITT RLE", true},
        {ioTIFF_G3FAX1D, "CCITT Group 3", true},
        {ioTIFF_G3FAX2D, "CCITT Group 3", true},
        {ioTIFF_G4FAX, "CCITT Group 4", true},
        {ioTIFF_LZW, "LZW", true},
        {ioTIFF_JPEG, "JPEG", false},
        {ioTIFF_PACKBITS, "PackBits", true},
        {ioTIFF_ZIP, "AdobeDeflate", true},
        {ioTIFF_DEFLATE, "Deflate", true},
    };
    const QImage text = TextPage();
    const QImage grey = GreyPage();
    const QImage colour = ColourPage();
    for (const Case& c : cases) {
        const bool fax = c.compression >= ioTIFF_CCITT1D && c.compression <= ioTIFF_G4FAX;
        // Fax compressions only take black and white; every other one takes all three pages.
        QList<QImage> pages{text};
        if (!fax)
            pages << grey << colour;
        for (const QImage& page : pages) {
            SCOPED_TRACE(std::string(c.toolName) + " " + std::to_string(int(page.format())));
            const QByteArray file = writeOne(page, paramsFor(c.compression, "Code-Source: test", 300));
            TTiffReader reader(file);
            ASSERT_EQ(reader.PageCount(), 1);
            reader.OpenPage(0);
            const TIOParams p = reader.Params();
            EXPECT_EQ(p.TIFF_Compression, c.compression);
            EXPECT_EQ(p.TIFF_ImageDescription, QByteArray("Code-Source: test"));
            EXPECT_DOUBLE_EQ(p.DpiX, 300);
            EXPECT_EQ(p.Width, page.width());
            // JPEG has no black and white: such a page comes back grey.
            const bool monoJpeg = c.compression == ioTIFF_JPEG && page.format() == QImage::Format_Mono;
            EXPECT_EQ(p.PixelFormat, monoJpeg ? ie8g : PixelFormatOf(page));
            const QImage back = reader.Decode();
            if (c.lossless)
                EXPECT_EQ(MeanDifference(back, page), 0.0);
            else
                EXPECT_LT(MeanDifference(back, page), 8.0);
            const QString info = RunTool(QStringLiteral("tiffinfo"), file);
            EXPECT_TRUE(info.contains(QStringLiteral("Compression Scheme: ") +
                                      QString::fromLatin1(c.toolName)))
                << info.toStdString();
            EXPECT_TRUE(info.contains(QStringLiteral("Resolution: 300, 300 pixels/inch")));
            EXPECT_TRUE(info.contains(QStringLiteral("Code-Source: test")));
            EXPECT_FALSE(info.contains(QStringLiteral("Error"))) << info.toStdString();
        }
    }
}

TEST(PageCodec, JpegPagesAreGreyOrYCbCrAsAsked) {
    TIOParams greyJpeg = paramsFor(ioTIFF_JPEG);
    greyJpeg.TIFF_JPEGColorSpace = ioJPEG_GRAYLEV;
    const QByteArray fromColour = writeOne(ColourPage(), greyJpeg);
    EXPECT_TRUE(RunTool(QStringLiteral("tiffinfo"), fromColour)
                    .contains(QStringLiteral("Photometric Interpretation: min-is-black")));
    TTiffReader r(fromColour);
    r.OpenPage(0);
    EXPECT_EQ(r.Params().PixelFormat, ie8g);
    EXPECT_EQ(r.Params().TIFF_JPEGColorSpace, ioJPEG_GRAYLEV);

    const QByteArray colour = writeOne(ColourPage(), paramsFor(ioTIFF_JPEG));
    EXPECT_TRUE(RunTool(QStringLiteral("tiffinfo"), colour).contains(QStringLiteral("YCbCr")));
    // A black-and-white page cannot be a colour JPEG: it is written grey.
    TTiffReader mono(writeOne(TextPage(), paramsFor(ioTIFF_JPEG)));
    mono.OpenPage(0);
    EXPECT_EQ(mono.Params().PixelFormat, ie8g);
}

TEST(PageCodec, PagesOpenAtTheirRecordedDirectoryOffsets) {
    const auto make = [] {
        TTiffWriter w;
        w.WritePage(TextPage(620, 877, 1), paramsFor(ioTIFF_G4FAX, "eins", 200));
        w.WritePage(GreyPage(), paramsFor(ioTIFF_LZW, "zwei", 150));
        w.WritePage(ColourPage(), paramsFor(ioTIFF_JPEG, "drei", 96));
        return w.Finish();
    };
    const QByteArray file = make();
    // The same pages give the same bytes (gaps libtiff leaves for alignment included).
    EXPECT_EQ(make(), file);

    const QList<quint64> offsets = TiffPageOffsets(file);
    ASSERT_EQ(offsets.size(), 3);
    // The offsets are the ones libtiff's own dump finds.
    const QString dump = RunTool(QStringLiteral("tiffdump"), file);
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(dump.contains(QStringLiteral("Directory %1: offset %2 ").arg(i).arg(offsets[i])))
            << dump.left(400).toStdString();

    TTiffReader byNumber(file);
    TTiffReader byOffset(file);
    const char* names[] = {"eins", "zwei", "drei"};
    for (int i : {2, 0, 1}) {
        byNumber.OpenPage(i);
        byOffset.OpenAt(offsets[i]);
        EXPECT_EQ(byOffset.Params().TIFF_ImageDescription, QByteArray(names[i]));
        EXPECT_EQ(byOffset.Params().TIFF_Compression, byNumber.Params().TIFF_Compression);
        EXPECT_EQ(byOffset.Decode(), byNumber.Decode());
    }
    EXPECT_THROW(byOffset.OpenAt(offsets[1] + 3), ETiffError);
    EXPECT_THROW(byOffset.OpenAt(quint64(file.size()) + 10), ETiffError);
    EXPECT_THROW(byOffset.OpenPage(3), ETiffError);
}

TEST(PageCodec, RawCopyKeepsTheCompressedBytes) {
    TTiffWriter w;
    w.WritePage(TextPage(), paramsFor(ioTIFF_G4FAX, "alt", 300));
    w.WritePage(ColourPage(), paramsFor(ioTIFF_JPEG, "alt", 300));
    TIOParams greyJpeg = paramsFor(ioTIFF_JPEG, "alt", 300);
    greyJpeg.TIFF_JPEGColorSpace = ioJPEG_GRAYLEV;
    w.WritePage(GreyPage(), greyJpeg);
    w.WritePage(GreyPage(), paramsFor(ioTIFF_LZW, "alt", 300));
    const QByteArray source = w.Finish();

    TTiffReader reader(source);
    TTiffWriter copy;
    const QByteArray fresh("neu");
    for (int i = 0; i < 4; ++i) {
        reader.OpenPage(i);
        copy.CopyPage(reader, i % 2 ? &fresh : nullptr);
    }
    const QByteArray copied = copy.Finish();
    TTiffReader back(copied);
    ASSERT_EQ(back.PageCount(), 4);
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(rawStrips(copied, i), rawStrips(source, i));
        reader.OpenPage(i);
        back.OpenPage(i);
        // A re-encoded JPEG would not decode to the very same pixels.
        EXPECT_EQ(back.Decode(), reader.Decode());
        EXPECT_EQ(back.Params().TIFF_ImageDescription, i % 2 ? fresh : QByteArray("alt"));
        EXPECT_DOUBLE_EQ(back.Params().DpiX, 300);
    }
    const QString info = RunTool(QStringLiteral("tiffinfo"), copied, {QStringLiteral("-D")});
    EXPECT_FALSE(info.contains(QStringLiteral("Error"))) << info.toStdString();

    // One page alone: the second, a JPEG page, with its tables.
    reader.OpenPage(1);
    const QByteArray single = reader.ExtractPage();
    TTiffReader one(single);
    ASSERT_EQ(one.PageCount(), 1);
    one.OpenPage(0);
    EXPECT_EQ(one.Decode(), reader.Decode());
    EXPECT_LT(single.size(), source.size());
}

TEST(PageCodec, OtherLayoutsDecode) {
    QTemporaryDir dir;
    // Tiles (by libtiff's own copier), a 16-bit grey page and white-is-zero grey, written by libtiff
    // directly; the codec reads them through the RGBA reader or by strips.
    const QImage colour = ColourPage(200, 130);
    const QString plain = dir.filePath(QStringLiteral("plain.tif"));
    const QString tiled = dir.filePath(QStringLiteral("tiled.tif"));
    {
        QFile f(plain);
        f.open(QIODevice::WriteOnly);
        f.write(writeOne(colour, paramsFor(ioTIFF_LZW)));
    }
    ASSERT_EQ(QProcess::execute(QStringLiteral("tiffcp"),
                                {QStringLiteral("-t"), QStringLiteral("-w"), QStringLiteral("64"),
                                 QStringLiteral("-l"), QStringLiteral("64"), plain, tiled}),
              0);
    QFile t(tiled);
    t.open(QIODevice::ReadOnly);
    TTiffReader tiles(t.readAll());
    tiles.OpenPage(0);
    EXPECT_EQ(MeanDifference(tiles.Decode(), colour), 0.0);

    const QString grey16 = dir.filePath(QStringLiteral("g16.tif"));
    {
        TIFF* tif = TIFFOpen(grey16.toLocal8Bit().constData(), "w");
        TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, 4);
        TIFFSetField(tif, TIFFTAG_IMAGELENGTH, 2);
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 16);
        TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
        TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        uint16_t rows[2][4] = {{0, 0xffff, 0x8000, 0}, {0xffff, 0, 0, 0xffff}};
        TIFFWriteScanline(tif, rows[0], 0, 0);
        TIFFWriteScanline(tif, rows[1], 1, 0);
        TIFFClose(tif);
    }
    QFile g(grey16);
    g.open(QIODevice::ReadOnly);
    TTiffReader sixteen(g.readAll());
    sixteen.OpenPage(0);
    const QImage img = sixteen.Decode();
    EXPECT_EQ(qGray(img.pixel(0, 0)), 255); // white is zero
    EXPECT_EQ(qGray(img.pixel(1, 0)), 0);
    EXPECT_EQ(qGray(img.pixel(0, 1)), 0);

    // Palette and alpha through the codec's own writer.
    QImage indexed(3, 1, QImage::Format_Indexed8);
    indexed.setColorTable({qRgb(255, 0, 0), qRgb(0, 128, 0), qRgb(0, 0, 255)});
    for (int i = 0; i < 3; ++i)
        indexed.setPixel(i, 0, uint(i));
    TTiffReader pal(writeOne(indexed, paramsFor(ioTIFF_PACKBITS)));
    pal.OpenPage(0);
    EXPECT_EQ(pal.Params().PixelFormat, ie8p);
    const QImage palBack = pal.Decode();
    EXPECT_EQ(palBack.format(), QImage::Format_Indexed8);
    EXPECT_EQ(palBack.pixel(1, 0), qRgb(0, 128, 0));
    EXPECT_EQ(palBack.pixel(2, 0), qRgb(0, 0, 255));

    const QImage alpha = ColourPage(50, 40, true);
    TTiffReader rgba(writeOne(alpha, paramsFor(ioTIFF_DEFLATE)));
    rgba.OpenPage(0);
    EXPECT_EQ(rgba.Params().PixelFormat, ie32RGB);
    const QImage alphaBack = rgba.Decode();
    EXPECT_EQ(alphaBack.convertToFormat(QImage::Format_ARGB32).pixel(13, 7), alpha.pixel(13, 7));
}

TEST(PageCodec, BrokenFilesAreRefusedWithAReason) {
    EXPECT_THROW(TTiffReader{QByteArray("kein TIFF, nur Text")}, ETiffError);
    EXPECT_THROW(TTiffReader{QByteArray()}, ETiffError);
    EXPECT_THROW(TiffPageOffsets(QByteArray("II*\0\xff\xff\xff\x0f", 8)), ETiffError);

    // Cut in the middle of the compressed data: the page opens, its pixels do not decode.
    const QByteArray whole = writeOne(TextPage(), paramsFor(ioTIFF_LZW));
    const QByteArray cut = whole.left(whole.size() * 6 / 10);
    try {
        TTiffReader r(cut);
        r.OpenPage(0);
        r.Decode();
        ADD_FAILURE() << "a truncated page decoded";
    } catch (const ETiffError& e) {
        EXPECT_FALSE(e.Message().isEmpty());
    }

    // A header that claims 2^28 pixels and more is refused before the pixels are allocated.
    QByteArray huge = writeOne(GreyPage(16, 16), paramsFor(ioTIFF_UNCOMPRESSED));
    patchEntry(huge, TIFFTAG_IMAGEWIDTH, 20000);
    patchEntry(huge, TIFFTAG_IMAGELENGTH, 20000);
    TTiffReader big(huge);
    big.OpenPage(0);
    try {
        big.Decode();
        ADD_FAILURE() << "a 400-megapixel page was decoded";
    } catch (const ETiffError& e) {
        EXPECT_TRUE(e.Message().contains(QStringLiteral("zu groß"))) << e.what();
    }

    // A directory chain that points back at itself.
    QByteArray loop = writeOne(GreyPage(8, 8), paramsFor(ioTIFF_UNCOMPRESSED));
    const quint32 ifd = qFromLittleEndian<quint32>(loop.constData() + 4);
    const int entries = qFromLittleEndian<quint16>(loop.constData() + ifd);
    qToLittleEndian<quint32>(ifd, loop.data() + ifd + 2 + 12 * entries);
    EXPECT_THROW(TiffPageOffsets(loop), ETiffError);

    // The writer refuses what it cannot write.
    TTiffWriter w;
    EXPECT_THROW(w.WritePage(QImage(), paramsFor(ioTIFF_LZW)), ETiffError);
    w.WritePage(GreyPage(8, 8), paramsFor(ioTIFF_LZW));
    w.Finish();
    EXPECT_THROW(w.Finish(), ETiffError);
}

TEST(PageCodec, WarningsBecomeLogLines) {
    QStringList lines;
    SetWarningLog([&lines](const QString& line) { lines << line; });
    QByteArray file = writeOne(GreyPage(8, 8), paramsFor(ioTIFF_LZW, {}, 72));
    patchEntry(file, TIFFTAG_RESOLUTIONUNIT, 65000, true); // an unknown tag, still in order
    TTiffReader r(file);
    r.OpenPage(0);
    EXPECT_EQ(r.Decode().size(), QSize(8, 8));
    SetWarningLog(nullptr);
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_TRUE(lines.join(u'\n').contains(QStringLiteral("65000"))) << lines.join(u'\n').toStdString();
}

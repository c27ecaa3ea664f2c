// The TIFF page codec: every compression written and read back, read again by libtiff's own tools,
// pages opened at their recorded offsets, pages copied without re-encoding, and broken files.
#include "ForeignFiles.h"
#include "PageCodec.h"
#include "PeakMemory.h"
#include "TiffPages.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtEndian>

#include <tiffio.h>

using namespace Imaging;
using namespace tiffpages;
using testsupport::PillowFile;
using testsupport::Tiffcp;

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

namespace {

// A 16-bit grey gradient whose high and low bytes both change from pixel to pixel, as Pillow
// writes it (little-endian).
QByteArray pillowGrey16() {
    return PillowFile(QStringLiteral(
        "import sys\nfrom PIL import Image\nw, h = 300, 200\nim = Image.new('I;16', (w, h))\n"
        "im.putdata([(x * 65535 // (w - 1) + y * 301) % 65536 for y in range(h) for x in range(w)])\n"
        "im.save(sys.argv[1])\n"));
}

// Colour with alpha (not premultiplied) from Pillow: a fully transparent left half, a
// half-transparent band and an opaque red square.
QByteArray pillowRgba() {
    return PillowFile(QStringLiteral(
        "import sys\nfrom PIL import Image\nim = Image.new('RGBA', (96, 64), (0, 0, 0, 0))\n"
        "for y in range(64):\n"
        "    for x in range(48, 96):\n"
        "        im.putpixel((x, y), (200, 120, 40, 64 + 2 * x))\n"
        "for y in range(20, 40):\n"
        "    for x in range(20, 40):\n"
        "        im.putpixel((x, y), (255, 0, 0, 255))\n"
        "im.save(sys.argv[1])\n"));
}

QRgb pillowRgbaPixel(int x, int y) {
    if (x >= 20 && x < 40 && y >= 20 && y < 40)
        return qRgba(255, 0, 0, 255);
    return x >= 48 ? qRgba(200, 120, 40, 64 + 2 * x) : qRgba(0, 0, 0, 0);
}

QImage decodeFirst(const QByteArray& file) {
    TTiffReader r(file);
    r.OpenPage(0);
    return r.Decode();
}

} // namespace

TEST(PageCodecForeign, PagesOfTheOtherByteOrderAreCopiedAsTheyLook) {
    const QByteArray little = pillowGrey16();
    ASSERT_TRUE(little.startsWith("II")) << little.toStdString();
    const QImage original = decodeFirst(little);
    // 16-bit samples coded big-endian, with and without the predictor: the one-page copy is
    // decoded and written anew, and looks like the stored page.
    for (const char* compression : {"lzw:2", "zip:2", "lzw", "none"}) {
        SCOPED_TRACE(compression);
        const QByteArray big = Tiffcp(little, {QStringLiteral("-B"), QStringLiteral("-c"),
                                               QString::fromLatin1(compression)});
        ASSERT_TRUE(big.startsWith("MM"));
        EXPECT_EQ(MeanDifference(decodeFirst(big), original), 0.0);
        TTiffReader reader(big);
        reader.OpenPage(0);
        const QByteArray copy = reader.ExtractPage();
        EXPECT_EQ(MeanDifference(decodeFirst(copy), original), 0.0);
        const QString info = RunTool(QStringLiteral("tiffinfo"), copy, {QStringLiteral("-D")});
        EXPECT_FALSE(info.contains(QStringLiteral("Error"))) << info.toStdString();
    }
    // Where the bytes mean the same in the copy they are copied as stored: the machine's byte
    // order, or samples of one byte in the other order.
    const QByteArray predicted = Tiffcp(little, {QStringLiteral("-L"), QStringLiteral("-c"), QStringLiteral("lzw:2")});
    const QByteArray eight = Tiffcp(writeOne(GreyPage(), paramsFor(ioTIFF_LZW)), {QStringLiteral("-B")});
    for (const QByteArray& file : {predicted, eight}) {
        TTiffReader reader(file);
        reader.OpenPage(0);
        EXPECT_EQ(rawStrips(reader.ExtractPage(), 0), rawStrips(file, 0));
    }
}

namespace {

// The samples of a decoded page as 16-bit words in the page's order (RGBX64 without its X).
QList<quint16> imageWords(const QImage& image, int samples) {
    QList<quint16> words;
    const int channels = image.depth() / 16;
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const quint16*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            for (int c = 0; c < samples; ++c)
                words << line[x * channels + c];
    }
    return words;
}

} // namespace

TEST(PageCodecForeign, SixteenBitSamplesAreDecodedAndWrittenAsTheyAre) {
    // Grey from Pillow, colour from raw2tiff, colour with alpha from ImageMagick; each also in
    // tiles and big-endian by tiffcp, and by ImageMagick in separate planes (as they are, with LZW
    // and the predictor by tiffcp, and in big-endian Deflate tiles).
    const QByteArray rgb = testsupport::Raw2tiffColour16(64, 48);
    const QByteArray rgba = testsupport::MagickFile(
        {QStringLiteral("-size"), QStringLiteral("40x30"), QStringLiteral("gradient:red-blue"),
         QStringLiteral("-alpha"), QStringLiteral("set"), QStringLiteral("-channel"), QStringLiteral("A"),
         QStringLiteral("-evaluate"), QStringLiteral("set"), QStringLiteral("40%"), QStringLiteral("+channel"),
         QStringLiteral("-depth"), QStringLiteral("16"), QStringLiteral("-compress"), QStringLiteral("lzw")});
    const struct {
        QByteArray file;
        int samples;
        QImage::Format format;
        TIEPixelFormat kind;
    } sources[] = {{pillowGrey16(), 1, QImage::Format_Grayscale16, ie16g},
                   {rgb, 3, QImage::Format_RGBX64, ie48RGB},
                   {rgba, 4, QImage::Format_RGBA64, ie64RGBA}};
    const QStringList tiles{QStringLiteral("-t"), QStringLiteral("-w"), QStringLiteral("16"),
                            QStringLiteral("-l"), QStringLiteral("16")};
    for (const auto& source : sources) {
        SCOPED_TRACE(source.samples);
        ASSERT_TRUE(source.file.startsWith("II"));
        const QList<TiffInfoPage> info = TiffInfo(source.file);
        ASSERT_EQ(info.size(), 1);
        const QList<quint16> samples = info[0].Words();
        const QByteArray planes = testsupport::MagickFile(
            {QStringLiteral("-interlace"), QStringLiteral("plane"), QStringLiteral("-compress"),
             QStringLiteral("none")},
            source.file);
        const QByteArray variants[] = {
            source.file,
            Tiffcp(source.file, tiles),
            Tiffcp(source.file, {QStringLiteral("-B")}),
            planes,
            Tiffcp(planes, {QStringLiteral("-c"), QStringLiteral("lzw:2")}),
            // (tiffcp's own copy of 16-bit planes into tiles is broken: libtiff's tiff2rgba shows
            // another picture)
            testsupport::MagickFile({QStringLiteral("-interlace"), QStringLiteral("plane"),
                                     QStringLiteral("-define"), QStringLiteral("tiff:tile-geometry=16x16"),
                                     QStringLiteral("-define"), QStringLiteral("tiff:endian=msb"),
                                     QStringLiteral("-compress"), QStringLiteral("zip")},
                                    source.file)};
        for (const QByteArray& file : variants) {
            SCOPED_TRACE(&file - variants);
            TTiffReader reader(file);
            reader.OpenPage(0);
            EXPECT_EQ(reader.Params().PixelFormat, source.kind);
            const QImage page = reader.Decode();
            EXPECT_EQ(page.format(), source.format);
            EXPECT_TRUE(imageWords(page, source.samples) == samples);
            // Written again, the samples are what libtiff reads.
            const TiffInfoPage back = TiffInfo(writeOne(page, paramsFor(ioTIFF_LZW))).value(0);
            EXPECT_EQ(back.Field(QStringLiteral("Bits/Sample")), QStringLiteral("16"));
            EXPECT_EQ(back.Field(QStringLiteral("Samples/Pixel")), QString::number(source.samples));
            EXPECT_TRUE(back.Words() == samples);
        }
    }
}

TEST(PageCodecForeign, AlphaIsReadStraightAndPaperWhiteWhereItIsDropped) {
    const QByteArray strips = pillowRgba();
    ASSERT_TRUE(RunTool(QStringLiteral("tiffinfo"), strips).contains(QStringLiteral("unassoc-alpha")));
    // Tiles and separate planes go through libtiff's RGBA reader, which premultiplies.
    const QByteArray tiles = Tiffcp(strips, {QStringLiteral("-t"), QStringLiteral("-w"), QStringLiteral("16"),
                                             QStringLiteral("-l"), QStringLiteral("16")});
    const QByteArray planes = Tiffcp(strips, {QStringLiteral("-p"), QStringLiteral("separate")});
    for (const QByteArray& file : {strips, tiles, planes}) {
        const QImage back = decodeFirst(file).convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < back.height(); y += 3)
            for (int x = 48; x < back.width(); x += 5) {
                const QRgb want = pillowRgbaPixel(x, y), got = back.pixel(x, y);
                ASSERT_EQ(qAlpha(got), qAlpha(want)) << x << "," << y;
                ASSERT_NEAR(qRed(got), qRed(want), 2) << x << "," << y;
                ASSERT_NEAR(qGreen(got), qGreen(want), 2) << x << "," << y;
                ASSERT_NEAR(qBlue(got), qBlue(want), 2) << x << "," << y;
            }
    }

    // Compressions without alpha put the page on white: transparent is white, half-transparent
    // lighter than its colour, opaque unchanged.
    const QImage page = decodeFirst(tiles);
    TIOParams greyJpeg = paramsFor(ioTIFF_JPEG);
    greyJpeg.TIFF_JPEGColorSpace = ioJPEG_GRAYLEV;
    for (const TIOParams& params : {paramsFor(ioTIFF_JPEG), greyJpeg, paramsFor(ioTIFF_G4FAX)}) {
        SCOPED_TRACE(params.TIFF_Compression * 10 + params.TIFF_JPEGColorSpace);
        const QImage back = decodeFirst(writeOne(page, params)).convertToFormat(QImage::Format_RGB32);
        EXPECT_GE(qGray(back.pixel(5, 5)), 245);
        EXPECT_GE(qGray(back.pixel(10, 50)), 245);
        if (params.TIFF_Compression == ioTIFF_G4FAX)
            continue;
        // The colours as the same compression stores them without alpha.
        const auto stored = [&params](QRgb colour) {
            QImage solid(16, 16, QImage::Format_RGB32);
            solid.fill(colour);
            return qGray(decodeFirst(writeOne(solid, params)).pixel(8, 8));
        };
        EXPECT_NEAR(qGray(back.pixel(30, 30)), stored(qRgb(255, 0, 0)), 8);
        const int halfway = qGray(back.pixel(60, 30)); // alpha 184
        EXPECT_GT(halfway, stored(qRgb(200, 120, 40)) + 20);
        EXPECT_LT(halfway, 245);
    }
}

TEST(PageCodecForeign, PaletteSurvivesLibtiffsOwnReader) {
    const QList<QRgb> colours{qRgb(250, 10, 20), qRgb(0, 130, 60), qRgb(30, 40, 220), qRgb(240, 230, 0)};
    QImage indexed(40, 20, QImage::Format_Indexed8);
    indexed.setColorTable(colours);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 40; ++x)
            indexed.setPixel(x, y, uint((x / 10 + y) % 4));
    for (TIOTIFFCompression c : {ioTIFF_UNCOMPRESSED, ioTIFF_LZW, ioTIFF_PACKBITS}) {
        SCOPED_TRACE(c);
        const QByteArray file = writeOne(indexed, paramsFor(c));
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("p.tif"));
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(file);
        f.close();
        TIFF* tif = TIFFOpen(path.toLocal8Bit().constData(), "r");
        ASSERT_NE(tif, nullptr);
        uint16_t *r = nullptr, *g = nullptr, *b = nullptr;
        ASSERT_TRUE(TIFFGetField(tif, TIFFTAG_COLORMAP, &r, &g, &b));
        for (int i = 0; i < 256; ++i) {
            const QRgb want = i < colours.size() ? colours[i] : qRgb(0, 0, 0);
            ASSERT_EQ(r[i], qRed(want) * 257) << i;
            ASSERT_EQ(g[i], qGreen(want) * 257) << i;
            ASSERT_EQ(b[i], qBlue(want) * 257) << i;
        }
        std::vector<uint32_t> raster(40 * 20);
        ASSERT_TRUE(TIFFReadRGBAImageOriented(tif, 40, 20, raster.data(), ORIENTATION_TOPLEFT, 0));
        TIFFClose(tif);
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 40; ++x) {
                const uint32_t p = raster[size_t(y * 40 + x)];
                ASSERT_EQ(qRgb(int(TIFFGetR(p)), int(TIFFGetG(p)), int(TIFFGetB(p))), indexed.pixel(x, y));
            }
        EXPECT_EQ(decodeFirst(file), indexed);
    }
}

namespace {

// 138 bytes that claim a 16384 x 16384 RGB page in one strip, four bytes of it there: as long
// as the page when uncompressed, else four bytes long.
QByteArray hugeHeader(quint16 compression) {
    QByteArray f("II*\0\x08\0\0\0", 8);
    const quint16 entries = 10;
    const auto put16 = [&f](quint16 v) { f.append(char(v & 0xff)).append(char(v >> 8)); };
    const auto put32 = [&f, &put16](quint32 v) {
        put16(quint16(v & 0xffff));
        put16(quint16(v >> 16));
    };
    const quint32 data = 8 + 2 + entries * 12 + 4;
    put16(entries);
    const auto entry = [&](quint16 tag, quint16 type, quint32 value) {
        put16(tag);
        put16(type);
        put32(1);
        if (type == TIFF_SHORT) {
            put16(quint16(value));
            put16(0);
        } else
            put32(value);
    };
    entry(TIFFTAG_IMAGEWIDTH, TIFF_LONG, 16384);
    entry(TIFFTAG_IMAGELENGTH, TIFF_LONG, 16384);
    entry(TIFFTAG_BITSPERSAMPLE, TIFF_SHORT, 8);
    entry(TIFFTAG_COMPRESSION, TIFF_SHORT, compression);
    entry(TIFFTAG_PHOTOMETRIC, TIFF_SHORT, PHOTOMETRIC_RGB);
    entry(TIFFTAG_STRIPOFFSETS, TIFF_LONG, data);
    entry(TIFFTAG_SAMPLESPERPIXEL, TIFF_SHORT, 3);
    entry(TIFFTAG_ROWSPERSTRIP, TIFF_LONG, 16384);
    entry(TIFFTAG_STRIPBYTECOUNTS, TIFF_LONG, compression == COMPRESSION_NONE ? 16384u * 16384u * 3u : 4u);
    entry(TIFFTAG_PLANARCONFIG, TIFF_SHORT, PLANARCONFIG_CONTIG);
    put32(0);
    f.append("\x80\x00\x00\x01", 4);
    return f;
}

} // namespace

TEST(PageCodecForeign, AHeaderWithoutItsDataIsRefusedAtOnce) {
    for (quint16 compression : {quint16(COMPRESSION_NONE), quint16(COMPRESSION_LZW),
                                quint16(COMPRESSION_ADOBE_DEFLATE), quint16(COMPRESSION_PACKBITS)}) {
        SCOPED_TRACE(compression);
        const QByteArray file = hugeHeader(compression);
        ASSERT_EQ(file.size(), 138);
        EXPECT_TRUE(RunTool(QStringLiteral("tiffinfo"), file).contains(QStringLiteral("16384")));
        const testsupport::TPeakMemory memory;
        QElapsedTimer clock;
        clock.start();
        TTiffReader reader(file);
        reader.OpenPage(0);
        try {
            reader.Decode();
            ADD_FAILURE() << "decoded";
        } catch (const ETiffError& e) {
            EXPECT_TRUE(e.Message().contains(QStringLiteral("16384 x 16384"))) << e.what();
        }
        EXPECT_LT(clock.elapsed(), 200);
        EXPECT_LT(memory.ExtraMb(), 50.0);
    }
    // 16384 one-row strips of 16384 grey pixels that all point at the same 30 bytes of Deflate
    // data: a valid row, but the file does not hold a page of them.
    const QByteArray shared = PillowFile(QStringLiteral(
        "import struct, sys, zlib\nn = 16384\nrow = zlib.compress(bytes(n))\n"
        "entries = [(256, 4, 1, n), (257, 4, 1, n), (258, 3, 1, 8), (259, 3, 1, 8), (262, 3, 1, 1),\n"
        "           (273, 4, n, 8), (277, 3, 1, 1), (278, 4, 1, 1), (279, 4, n, 8 + len(row) + 4 * n)]\n"
        "ifd = 8 + len(row) + 8 * n\nout = b'II*\\0' + struct.pack('<I', ifd) + row\n"
        "out += struct.pack('<I', 8) * n + struct.pack('<I', len(row)) * n\n"
        "out += struct.pack('<H', len(entries))\n"
        "for tag, kind, count, value in entries:\n"
        "    if count > 1:\n"
        "        value = 8 + len(row) if tag == 273 else 8 + len(row) + 4 * n\n"
        "    out += struct.pack('<HHI', tag, kind, count) + (struct.pack('<HH', value, 0) if kind == 3 else struct.pack('<I', value))\n"
        "open(sys.argv[1], 'wb').write(out + struct.pack('<I', 0))\n"));
    ASSERT_TRUE(shared.startsWith("II*")) << shared.toStdString();
    {
        const testsupport::TPeakMemory memory;
        TTiffReader reader(shared);
        reader.OpenPage(0);
        EXPECT_THROW(reader.Decode(), ETiffError);
        EXPECT_LT(memory.ExtraMb(), 50.0);
    }

    // A page whose data is all there decodes as before, a strip of 37 MB a row at a time.
    const QImage big = ColourPage(3500, 3500);
    const QByteArray stored = Tiffcp(writeOne(big, paramsFor(ioTIFF_LZW)), {QStringLiteral("-r"), QStringLiteral("3500")});
    EXPECT_TRUE(RunTool(QStringLiteral("tiffinfo"), stored).contains(QStringLiteral("Rows/Strip: 3500")));
    const testsupport::TPeakMemory memory;
    const QImage back = decodeFirst(stored);
    EXPECT_LT(memory.ExtraMb(), 37.0 + 20.0);
    EXPECT_EQ(MeanDifference(back, big), 0.0);
}

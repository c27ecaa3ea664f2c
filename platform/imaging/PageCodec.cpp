#include "PageCodec.h"

#include <QLoggingCategory>
#include <QSet>

#include <tiffio.h>

#include <algorithm>
#include <cstdarg>
#include <cstring>
#include <limits>
#include <vector>

Q_LOGGING_CATEGORY(lcImaging, "korvex.imaging")

namespace Imaging {

namespace {

std::function<void(const QString&)>& warningLog() {
    static std::function<void(const QString&)> log;
    return log;
}

QString formatMessage(const char* module, const char* fmt, va_list ap) {
    char buffer[1024];
    std::vsnprintf(buffer, sizeof buffer, fmt, ap);
    const QString text = QString::fromLocal8Bit(buffer);
    if (module && *module)
        return QString::fromLocal8Bit(module) + QStringLiteral(": ") + text;
    return text;
}

// libtiff runs C code between the handler and our call: nothing may be thrown from the handler.
// The first error of a call is kept and thrown once the call has returned.
struct ErrorState {
    QString error;
    void clear() { error.clear(); }
};

int onError(TIFF*, void* user, const char* module, const char* fmt, va_list ap) {
    auto* state = static_cast<ErrorState*>(user);
    if (state->error.isEmpty())
        state->error = formatMessage(module, fmt, ap);
    return 1;
}

int onWarning(TIFF*, void*, const char* module, const char* fmt, va_list ap) {
    const QString text = formatMessage(module, fmt, ap);
    if (warningLog())
        warningLog()(QStringLiteral("TIFF: ") + text);
    else
        qCWarning(lcImaging).noquote() << text;
    return 1;
}

TIFFOpenOptions* makeOptions(ErrorState* state) {
    TIFFOpenOptions* opts = TIFFOpenOptionsAlloc();
    TIFFOpenOptionsSetErrorHandlerExtR(opts, onError, state);
    TIFFOpenOptionsSetWarningHandlerExtR(opts, onWarning, state);
    // A strip or tile buffer beyond this is a broken or hostile file, not a document page.
    TIFFOpenOptionsSetMaxSingleMemAlloc(opts, tmsize_t(512) * 1024 * 1024);
    return opts;
}

[[noreturn]] void fail(const ErrorState& state, const QString& what) {
    if (state.error.isEmpty())
        throw ETiffError(what);
    throw ETiffError(what + QStringLiteral(": ") + state.error);
}

template <class T> T field(TIFF* tif, ttag_t tag, T def) {
    T value = def;
    if (!TIFFGetField(tif, tag, &value))
        return def;
    return value;
}

template <class T> T fieldDefaulted(TIFF* tif, ttag_t tag) {
    T value{};
    TIFFGetFieldDefaulted(tif, tag, &value);
    return value;
}

bool isCcitt(int tag) {
    return tag == COMPRESSION_CCITTRLE || tag == COMPRESSION_CCITTFAX3 ||
           tag == COMPRESSION_CCITTFAX4 || tag == COMPRESSION_CCITTRLEW;
}

} // namespace

void SetWarningLog(std::function<void(const QString&)> log) { warningLog() = std::move(log); }

qint64 TMemoryTiffInput::ReadAt(quint64 pos, char* dst, qint64 len) {
    if (len <= 0 || pos >= quint64(m_data.size()))
        return 0;
    const qint64 n = qMin<qint64>(len, qint64(quint64(m_data.size()) - pos));
    std::memcpy(dst, m_data.constData() + pos, size_t(n));
    return n;
}

int TiffCompressionTag(TIOTIFFCompression compression) {
    switch (compression) {
    case ioTIFF_CCITT1D: return COMPRESSION_CCITTRLE;
    case ioTIFF_G3FAX1D:
    case ioTIFF_G3FAX2D: return COMPRESSION_CCITTFAX3;
    case ioTIFF_G4FAX: return COMPRESSION_CCITTFAX4;
    case ioTIFF_LZW: return COMPRESSION_LZW;
    case ioTIFF_OLDJPEG:
    case ioTIFF_JPEG: return COMPRESSION_JPEG;
    case ioTIFF_PACKBITS: return COMPRESSION_PACKBITS;
    case ioTIFF_ZIP: return COMPRESSION_ADOBE_DEFLATE;
    case ioTIFF_DEFLATE: return COMPRESSION_DEFLATE;
    case ioTIFF_UNCOMPRESSED:
    case ioTIFF_UNKNOWN: break;
    }
    return COMPRESSION_NONE;
}

TIOTIFFCompression CompressionFromTag(int tag) {
    switch (tag) {
    case COMPRESSION_NONE: return ioTIFF_UNCOMPRESSED;
    case COMPRESSION_CCITTRLE:
    case COMPRESSION_CCITTRLEW: return ioTIFF_CCITT1D;
    case COMPRESSION_CCITTFAX3: return ioTIFF_G3FAX1D;
    case COMPRESSION_CCITTFAX4: return ioTIFF_G4FAX;
    case COMPRESSION_LZW: return ioTIFF_LZW;
    case COMPRESSION_OJPEG: return ioTIFF_OLDJPEG;
    case COMPRESSION_JPEG: return ioTIFF_JPEG;
    case COMPRESSION_PACKBITS: return ioTIFF_PACKBITS;
    case COMPRESSION_ADOBE_DEFLATE: return ioTIFF_ZIP;
    case COMPRESSION_DEFLATE: return ioTIFF_DEFLATE;
    default: return ioTIFF_UNKNOWN;
    }
}

QImage FlattenOnWhite(const QImage& image) {
    if (!image.hasAlphaChannel())
        return image;
    // Premultiplied, a pixel over white is its colour plus the white that shows through.
    const QImage source = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QImage paper(source.size(), QImage::Format_RGB32);
    if (source.isNull() || paper.isNull())
        return {};
    paper.setDotsPerMeterX(image.dotsPerMeterX());
    paper.setDotsPerMeterY(image.dotsPerMeterY());
    for (int y = 0; y < source.height(); ++y) {
        const QRgb* src = reinterpret_cast<const QRgb*>(source.constScanLine(y));
        QRgb* dst = reinterpret_cast<QRgb*>(paper.scanLine(y));
        for (int x = 0; x < source.width(); ++x) {
            const int white = 255 - qAlpha(src[x]);
            dst[x] = qRgb(qRed(src[x]) + white, qGreen(src[x]) + white, qBlue(src[x]) + white);
        }
    }
    return paper;
}

TIEPixelFormat PixelFormatOf(const QImage& image) {
    if (image.isNull())
        return ienull;
    switch (image.format()) {
    case QImage::Format_Mono:
    case QImage::Format_MonoLSB: return ie1g;
    case QImage::Format_Grayscale8: return ie8g;
    case QImage::Format_Grayscale16: return ie16g;
    case QImage::Format_RGBX64: return ie48RGB;
    case QImage::Format_RGBA64:
    case QImage::Format_RGBA64_Premultiplied: return ie64RGBA;
    case QImage::Format_Indexed8: return image.allGray() ? ie8g : ie8p;
    default: return image.hasAlphaChannel() ? ie32RGB : ie24RGB;
    }
}

// ---------------------------------------------------------------------------------------------
// Reader

struct TTiffReader::Io final {
    TTiffInput* input = nullptr;
    quint64 pos = 0;
    quint64 size = 0;
    ErrorState errors;
};

namespace {

tmsize_t readerRead(thandle_t h, void* buf, tmsize_t size) {
    auto* io = static_cast<TTiffReader::Io*>(static_cast<void*>(h));
    const qint64 n = io->input->ReadAt(io->pos, static_cast<char*>(buf), qint64(size));
    if (n > 0)
        io->pos += quint64(n);
    return tmsize_t(n);
}

tmsize_t readerWrite(thandle_t, void*, tmsize_t) { return -1; }

// The position a seek lands on, from the start, the current position or the end.
quint64 seekTarget(quint64 pos, quint64 size, toff_t off, int whence) {
    const quint64 base = whence == SEEK_CUR ? pos : whence == SEEK_END ? size : 0;
    return base + off;
}

toff_t readerSeek(thandle_t h, toff_t off, int whence) {
    auto* io = static_cast<TTiffReader::Io*>(static_cast<void*>(h));
    io->pos = seekTarget(io->pos, io->size, off, whence);
    return io->pos;
}

int readerClose(thandle_t) { return 0; }
toff_t readerSize(thandle_t h) { return static_cast<TTiffReader::Io*>(static_cast<void*>(h))->size; }
int noMap(thandle_t, void**, toff_t*) { return 0; }
void noUnmap(thandle_t, void*, toff_t) {}

} // namespace

TTiffReader::TTiffReader(const QByteArray& data)
    : m_ownInput(std::make_unique<TMemoryTiffInput>(data)), m_input(m_ownInput.get()) {
    open("rh");
}

TTiffReader::TTiffReader(TTiffInput& input) : m_input(&input) { open("rh"); }

TTiffReader::~TTiffReader() {
    if (m_tif)
        TIFFClose(m_tif);
}

void TTiffReader::open(const char* mode) {
    m_io = std::make_unique<Io>();
    m_io->input = m_input;
    m_io->size = m_input->Size();
    if (m_io->size < 8)
        throw ETiffError(QStringLiteral("Keine TIFF-Datei (%1 Bytes)").arg(m_io->size));
    TIFFOpenOptions* opts = makeOptions(&m_io->errors);
    m_tif = TIFFClientOpenExt("memory", mode, static_cast<thandle_t>(static_cast<void*>(m_io.get())),
                              readerRead, readerWrite, readerSeek, readerClose, readerSize, noMap,
                              noUnmap, opts);
    TIFFOpenOptionsFree(opts);
    if (!m_tif)
        fail(m_io->errors, QStringLiteral("Keine TIFF-Datei"));
}

int TTiffReader::PageCount() {
    m_io->errors.clear();
    const tdir_t n = TIFFNumberOfDirectories(m_tif);
    if (!m_io->errors.error.isEmpty() && n == 0)
        fail(m_io->errors, QStringLiteral("TIFF-Verzeichnis nicht lesbar"));
    return int(n);
}

void TTiffReader::OpenPage(int n) {
    m_io->errors.clear();
    m_pageOpen = false;
    if (n < 0 || !TIFFSetDirectory(m_tif, tdir_t(n)))
        fail(m_io->errors, QStringLiteral("Seite %1 nicht vorhanden").arg(n + 1));
    m_pageOpen = true;
}

void TTiffReader::OpenAt(quint64 directoryOffset) {
    m_io->errors.clear();
    m_pageOpen = false;
    if (directoryOffset < 8 || directoryOffset >= m_io->size ||
        !TIFFSetSubDirectory(m_tif, toff_t(directoryOffset)))
        fail(m_io->errors,
             QStringLiteral("Kein TIFF-Verzeichnis an Position %1").arg(directoryOffset));
    m_pageOpen = true;
}

void TTiffReader::requirePage() const {
    if (!m_pageOpen)
        throw ETiffError(QStringLiteral("Keine TIFF-Seite geöffnet"));
}

TIOParams TTiffReader::Params() {
    requirePage();
    TIOParams p;
    p.Width = int(field<uint32_t>(m_tif, TIFFTAG_IMAGEWIDTH, 0));
    p.Height = int(field<uint32_t>(m_tif, TIFFTAG_IMAGELENGTH, 0));
    const int bps = fieldDefaulted<uint16_t>(m_tif, TIFFTAG_BITSPERSAMPLE);
    const int spp = fieldDefaulted<uint16_t>(m_tif, TIFFTAG_SAMPLESPERPIXEL);
    const int photometric = field<uint16_t>(m_tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
    const int compression = fieldDefaulted<uint16_t>(m_tif, TIFFTAG_COMPRESSION);
    p.TIFF_Compression = CompressionFromTag(compression);
    if (compression == COMPRESSION_CCITTFAX3 &&
        (fieldDefaulted<uint32_t>(m_tif, TIFFTAG_GROUP3OPTIONS) & GROUP3OPT_2DENCODING))
        p.TIFF_Compression = ioTIFF_G3FAX2D;
    // Samples of 16 bits are a page of their own kind: no JPEG holds them.
    const bool deep = bps == 16 && photometric != PHOTOMETRIC_PALETTE;
    if (spp == 1 && bps == 1)
        p.PixelFormat = ie1g;
    else if (spp == 1 && photometric == PHOTOMETRIC_PALETTE)
        p.PixelFormat = ie8p;
    else if (spp == 1)
        p.PixelFormat = deep ? ie16g : ie8g;
    else if (spp >= 4 || (spp == 2 && photometric <= PHOTOMETRIC_MINISBLACK))
        p.PixelFormat = deep ? ie64RGBA : ie32RGB;
    else
        p.PixelFormat = deep ? ie48RGB : ie24RGB;
    if (compression == COMPRESSION_JPEG)
        p.TIFF_JPEGColorSpace = spp == 1 ? ioJPEG_GRAYLEV : ioJPEG_YCbCr;
    char* description = nullptr;
    if (TIFFGetField(m_tif, TIFFTAG_IMAGEDESCRIPTION, &description) && description)
        p.TIFF_ImageDescription = QByteArray(description);
    float xres = 0, yres = 0;
    const bool hasX = TIFFGetField(m_tif, TIFFTAG_XRESOLUTION, &xres);
    const bool hasY = TIFFGetField(m_tif, TIFFTAG_YRESOLUTION, &yres);
    const int unit = fieldDefaulted<uint16_t>(m_tif, TIFFTAG_RESOLUTIONUNIT);
    const double factor = unit == RESUNIT_CENTIMETER ? 2.54 : 1.0;
    if (hasX && unit != RESUNIT_NONE)
        p.DpiX = double(xres) * factor;
    if (hasY && unit != RESUNIT_NONE)
        p.DpiY = double(yres) * factor;
    return p;
}

namespace {

// Copies the rows of one strip buffer into the image; rows of a TIFF are byte-aligned, those of
// a QImage 32-bit aligned.
void copyRows(QImage& image, const uint8_t* buffer, uint32_t firstRow, uint32_t rows,
              qsizetype bufferRowBytes, qsizetype rowBytes, bool invert) {
    for (uint32_t r = 0; r < rows; ++r) {
        uchar* dst = image.scanLine(int(firstRow + r));
        const uint8_t* src = buffer + qsizetype(r) * bufferRowBytes;
        if (invert)
            for (qsizetype i = 0; i < rowBytes; ++i)
                dst[i] = uchar(~src[i]);
        else
            std::memcpy(dst, src, size_t(rowBytes));
    }
}

// Larger strips are decoded a row at a time.
constexpr tmsize_t kMaxStripBuffer = tmsize_t(16) << 20;

// Bytes that one stored byte can decode to at most, by compression: beyond that a page's data
// cannot be what its header claims. 0 for compressions without such a bound (a one-colour WebP
// or JBIG page takes next to nothing).
quint64 maxExpansion(int compression, uint32_t width) {
    switch (compression) {
    case COMPRESSION_NONE: return 1;
    case COMPRESSION_PACKBITS: return 128;
    case COMPRESSION_CCITTRLE:
    case COMPRESSION_CCITTRLEW:
    case COMPRESSION_CCITTFAX3:
    case COMPRESSION_CCITTFAX4: return 2 * quint64(width) + 64; // a blank row costs one bit
    case COMPRESSION_ADOBE_DEFLATE:
    case COMPRESSION_DEFLATE:
    case COMPRESSION_JPEG: return 2048;
    case COMPRESSION_LZW: return 4096;
    case COMPRESSION_LZMA:
    case COMPRESSION_ZSTD: return 65536;
    default: return 0;
    }
}

// Refuses a page whose stored strips or tiles are too small to hold its declared pixels, before
// anything is allocated for them: a few bytes of header can claim a gigabyte page.
void checkStorage(TIFF* tif, quint64 fileSize, uint32_t width, uint32_t height, int compression,
                  int bps, int spp) {
    const quint64 ratio = maxExpansion(compression, width);
    if (ratio == 0)
        return;
    const quint64 needed = quint64(height) * ((quint64(width) * quint64(bps) + 7) / 8) * quint64(spp);
    const uint32_t pieces = TIFFIsTiled(tif) ? TIFFNumberOfTiles(tif) : TIFFNumberOfStrips(tif);
    const quint64 least = (needed + ratio - 1) / ratio;
    // The bytes in the file that the strips cover; strips that share their bytes count once.
    std::vector<std::pair<quint64, quint64>> ranges;
    ranges.reserve(pieces);
    for (uint32_t i = 0; i < pieces; ++i) {
        int err = 0;
        const quint64 offset = TIFFGetStrileOffsetWithErr(tif, i, &err);
        const quint64 count = err ? 0 : TIFFGetStrileByteCountWithErr(tif, i, &err);
        if (!err && offset < fileSize && count > 0)
            ranges.emplace_back(offset, offset + qMin(count, fileSize - offset));
    }
    std::sort(ranges.begin(), ranges.end());
    quint64 stored = 0, covered = 0;
    for (const auto& [begin, end] : ranges) {
        const quint64 from = qMax(begin, covered);
        if (end > from)
            stored += end - from;
        covered = qMax(covered, end);
    }
    if (stored < least)
        throw ETiffError(QStringLiteral("Seitendaten zu kurz für %1 x %2 Pixel (%3 Bytes)")
                             .arg(width)
                             .arg(height)
                             .arg(stored));
}

// The bytes a QImage of this format and size holds (its rows 32-bit aligned).
qint64 imageBytes(QImage::Format format, uint32_t width, uint32_t height) {
    const qint64 bits = QImage::toPixelFormat(format).bitsPerPixel();
    return (qint64(width) * bits + 31) / 32 * 4 * qint64(height);
}

// How a page's samples go into its QImage.
struct SampleLayout {
    QImage::Format format = QImage::Format_Invalid; // invalid: libtiff's RGBA reader
    // Strips of whole rows as the image holds them: copied as they are.
    bool direct = false;
    bool invert = false;    // white-is-zero grey
    bool greyAlpha = false; // grey and alpha samples into a colour image with alpha
    bool fillLast = false;  // the image's fourth channel is opaque, no sample of the page
    int channels = 1;       // of the image, in samples of the page's width
};

SampleLayout sampleLayout(TIFF* tif, int bps, int spp, int photometric, int extraCount,
                          const uint16_t* extraTypes) {
    SampleLayout l;
    const bool tiled = TIFFIsTiled(tif);
    const int planar = fieldDefaulted<uint16_t>(tif, TIFFTAG_PLANARCONFIG);
    if (fieldDefaulted<uint16_t>(tif, TIFFTAG_ORIENTATION) != ORIENTATION_TOPLEFT ||
        fieldDefaulted<uint16_t>(tif, TIFFTAG_SAMPLEFORMAT) != SAMPLEFORMAT_UINT)
        return l;
    const bool grey = photometric == PHOTOMETRIC_MINISWHITE || photometric == PHOTOMETRIC_MINISBLACK;
    const bool rgb = photometric == PHOTOMETRIC_RGB;
    const bool associated = extraTypes && extraCount == 1 && extraTypes[0] == EXTRASAMPLE_ASSOCALPHA;
    const bool sixteen = bps == 16;
    const QImage::Format rgba =
        sixteen ? (associated ? QImage::Format_RGBA64_Premultiplied : QImage::Format_RGBA64)
                : (associated ? QImage::Format_RGBA8888_Premultiplied : QImage::Format_RGBA8888);
    if (bps == 1 && spp == 1 && grey) {
        // Bits are copied by whole strips only.
        if (!tiled && planar == PLANARCONFIG_CONTIG)
            l.format = QImage::Format_Mono;
        l.direct = true;
        return l;
    }
    if (bps != 8 && !sixteen)
        return l;
    l.invert = photometric == PHOTOMETRIC_MINISWHITE;
    if (spp == 1 && grey) {
        l.format = sixteen ? QImage::Format_Grayscale16 : QImage::Format_Grayscale8;
    } else if (spp == 1 && photometric == PHOTOMETRIC_PALETTE && !sixteen) {
        l.format = QImage::Format_Indexed8;
    } else if (spp == 2 && grey && extraCount == 1) {
        l.format = rgba;
        l.greyAlpha = true;
        l.channels = 4;
    } else if (spp == 3 && rgb) {
        l.format = sixteen ? QImage::Format_RGBX64 : QImage::Format_RGB888;
        l.channels = sixteen ? 4 : 3;
        l.fillLast = sixteen;
    } else if (spp == 4 && rgb && extraCount == 1) {
        l.format = rgba;
        l.channels = 4;
    } else {
        return l;
    }
    l.direct = !tiled && planar == PLANARCONFIG_CONTIG && !l.greyAlpha && !l.fillLast;
    return l;
}

// Puts the samples of one decoded strip or tile (of every sample, or of the one plane) into the
// image at x0, y0.
template <class T>
void placeSamples(QImage& image, const SampleLayout& l, const uint8_t* piece, qsizetype pieceRowBytes,
                  uint32_t x0, uint32_t y0, uint32_t cols, uint32_t rows, int samples, int plane) {
    constexpr T opaque = std::numeric_limits<T>::max();
    const int perPixel = plane < 0 ? samples : 1;
    for (uint32_t r = 0; r < rows; ++r) {
        const T* src = reinterpret_cast<const T*>(piece + qsizetype(r) * pieceRowBytes);
        T* dst = reinterpret_cast<T*>(image.scanLine(int(y0 + r))) + qsizetype(x0) * l.channels;
        for (uint32_t x = 0; x < cols; ++x, src += perPixel, dst += l.channels) {
            for (int k = 0; k < perPixel; ++k) {
                const int sample = plane < 0 ? k : plane;
                const T v = sample == 0 && l.invert ? T(opaque - src[k]) : src[k];
                if (!l.greyAlpha)
                    dst[sample] = v;
                else if (sample == 0)
                    dst[0] = dst[1] = dst[2] = v;
                else
                    dst[3] = v;
            }
            if (l.fillLast && plane <= 0)
                dst[3] = opaque;
        }
    }
}

// A strip or tile buffer beyond this is no page a scanner or a program writes.
constexpr tmsize_t kMaxTileBuffer = tmsize_t(64) << 20;

} // namespace

ETiffPageTooLarge::ETiffPageTooLarge(int width, int height, qint64 bytes)
    : ETiffError(QStringLiteral("Die Seite ist zu groß, um sie zu zeigen: %1 x %2 Pixel brauchen "
                                "%3 MB Speicher, höchstens %4 MB sind möglich.")
                     .arg(width)
                     .arg(height)
                     .arg((bytes + (1 << 20) - 1) >> 20)
                     .arg(kMaxDecodedBytes >> 20)) {}

QImage TTiffReader::Decode() {
    requirePage();
    m_io->errors.clear();
    const uint32_t width = field<uint32_t>(m_tif, TIFFTAG_IMAGEWIDTH, 0);
    const uint32_t height = field<uint32_t>(m_tif, TIFFTAG_IMAGELENGTH, 0);
    if (width == 0 || height == 0)
        throw ETiffError(QStringLiteral("Seite ohne Bildgröße"));
    if (qint64(width) * qint64(height) > kMaxPagePixels || width > 0x7fffffffu / 4 ||
        height > 0x7fffffffu)
        throw ETiffError(QStringLiteral("Seite zu groß (%1 x %2 Pixel)").arg(width).arg(height));

    const int bps = fieldDefaulted<uint16_t>(m_tif, TIFFTAG_BITSPERSAMPLE);
    const int spp = fieldDefaulted<uint16_t>(m_tif, TIFFTAG_SAMPLESPERPIXEL);
    int photometric = field<uint16_t>(m_tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
    const int compression = fieldDefaulted<uint16_t>(m_tif, TIFFTAG_COMPRESSION);
    const int planar = fieldDefaulted<uint16_t>(m_tif, TIFFTAG_PLANARCONFIG);
    uint16_t extraCount = 0;
    uint16_t* extraTypes = nullptr;
    TIFFGetFieldDefaulted(m_tif, TIFFTAG_EXTRASAMPLES, &extraCount, &extraTypes);

    if (compression == COMPRESSION_JPEG && photometric == PHOTOMETRIC_YCBCR) {
        // libjpeg converts to RGB; the strips then read as plain RGB.
        TIFFSetField(m_tif, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
        photometric = PHOTOMETRIC_RGB;
    }
    const SampleLayout layout = sampleLayout(m_tif, bps, spp, photometric, extraCount, extraTypes);
    // Whatever the file compresses to, the page must fit before anything is decoded.
    const qint64 bytes = imageBytes(
        layout.format == QImage::Format_Invalid ? QImage::Format_RGBA8888 : layout.format, width, height);
    if (bytes > kMaxDecodedBytes)
        throw ETiffPageTooLarge(int(width), int(height), bytes);

    checkStorage(m_tif, m_io->size, width, height, compression, bps, spp);

    if (layout.format == QImage::Format_Invalid) {
        // Everything else goes through libtiff's RGBA reader, which knows every layout; it
        // multiplies colour by alpha.
        QImage image(int(width), int(height), QImage::Format_RGBA8888_Premultiplied);
        if (image.isNull())
            throw ETiffError(QStringLiteral("Kein Speicher für %1 x %2 Pixel").arg(width).arg(height));
        static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN, "the RGBA reader's words are R, G, B, A bytes");
        if (!TIFFReadRGBAImageOriented(m_tif, width, height,
                                       reinterpret_cast<uint32_t*>(image.bits()),
                                       ORIENTATION_TOPLEFT, 1))
            fail(m_io->errors, QStringLiteral("Seite nicht lesbar"));
        if (!m_io->errors.error.isEmpty())
            fail(m_io->errors, QStringLiteral("Seite nicht lesbar"));
        if (spp < 2 || extraCount == 0) {
            // Opaque: the same bytes are RGBX, which becomes RGB32 in place.
            image.reinterpretAsFormat(QImage::Format_RGBX8888);
            image.convertTo(QImage::Format_RGB32);
        }
        return image;
    }

    QImage image(int(width), int(height), layout.format);
    if (image.isNull())
        throw ETiffError(QStringLiteral("Kein Speicher für %1 x %2 Pixel").arg(width).arg(height));
    if (layout.format == QImage::Format_Mono) {
        // Photometric says which bit value is black; libtiff already delivers MSB-first bits.
        const QRgb black = qRgb(0, 0, 0), white = qRgb(255, 255, 255);
        image.setColorTable(photometric == PHOTOMETRIC_MINISWHITE ? QList<QRgb>{white, black}
                                                                  : QList<QRgb>{black, white});
    } else if (layout.format == QImage::Format_Indexed8) {
        uint16_t *r = nullptr, *g = nullptr, *b = nullptr;
        if (!TIFFGetField(m_tif, TIFFTAG_COLORMAP, &r, &g, &b))
            fail(m_io->errors, QStringLiteral("Palette fehlt"));
        // Some writers store 8-bit values in the 16-bit map.
        bool eightBit = true;
        for (int i = 0; i < 256; ++i)
            if (r[i] > 255 || g[i] > 255 || b[i] > 255)
                eightBit = false;
        QList<QRgb> table(256);
        for (int i = 0; i < 256; ++i)
            table[i] = eightBit ? qRgb(r[i], g[i], b[i]) : qRgb(r[i] >> 8, g[i] >> 8, b[i] >> 8);
        image.setColorTable(table);
    }

    // Rows copied as they are invert white-is-zero grey byte by byte: the complement of a
    // sample, of 8 bits or of 16.
    const bool invertBytes = layout.invert && layout.direct;
    const bool separate = planar == PLANARCONFIG_SEPARATE && spp > 1;
    const int planes = separate ? spp : 1;
    const auto place = [&](const uint8_t* piece, qsizetype pieceRowBytes, uint32_t x0, uint32_t y0,
                           uint32_t cols, uint32_t rows, int plane) {
        if (bps == 16)
            placeSamples<uint16_t>(image, layout, piece, pieceRowBytes, x0, y0, cols, rows, spp, plane);
        else
            placeSamples<uint8_t>(image, layout, piece, pieceRowBytes, x0, y0, cols, rows, spp, plane);
    };

    if (TIFFIsTiled(m_tif)) {
        const uint32_t tileWidth = fieldDefaulted<uint32_t>(m_tif, TIFFTAG_TILEWIDTH);
        const uint32_t tileLength = fieldDefaulted<uint32_t>(m_tif, TIFFTAG_TILELENGTH);
        const tmsize_t tileSize = TIFFTileSize(m_tif);
        const tmsize_t tileRowBytes = TIFFTileRowSize(m_tif);
        if (tileWidth == 0 || tileLength == 0 || tileSize <= 0 || tileSize > kMaxTileBuffer ||
            tileRowBytes * tmsize_t(tileLength) > tileSize)
            fail(m_io->errors, QStringLiteral("Kachelaufbau ungültig"));
        std::vector<uint64_t> buffer(size_t(tileSize + 7) / 8);
        auto* bytesOfTile = reinterpret_cast<uint8_t*>(buffer.data());
        for (int plane = 0; plane < planes; ++plane)
            for (uint32_t y = 0; y < height; y += tileLength)
                for (uint32_t x = 0; x < width; x += tileWidth) {
                    if (TIFFReadTile(m_tif, bytesOfTile, x, y, 0, uint16_t(plane)) < 0 ||
                        !m_io->errors.error.isEmpty())
                        fail(m_io->errors, QStringLiteral("Seite nicht lesbar (Kachel bei %1, %2)").arg(x).arg(y));
                    place(bytesOfTile, tileRowBytes, x, y, qMin(tileWidth, width - x),
                          qMin(tileLength, height - y), separate ? plane : -1);
                }
        return image;
    }

    const qsizetype rowBytes = TIFFScanlineSize(m_tif);
    const uint32_t rowsPerStrip = qMin(fieldDefaulted<uint32_t>(m_tif, TIFFTAG_ROWSPERSTRIP), height);
    const tmsize_t stripSize = TIFFStripSize(m_tif);
    const qsizetype imageRowBytes = layout.direct ? (qsizetype(width) * spp * bps + 7) / 8 : 0;
    if (stripSize <= 0 || rowsPerStrip == 0 || rowBytes <= 0 || stripSize < tmsize_t(rowBytes) ||
        rowBytes < imageRowBytes)
        fail(m_io->errors, QStringLiteral("Streifenaufbau ungültig"));
    const auto put = [&](const std::vector<uint64_t>& buffer, uint32_t firstRow, uint32_t rows, int plane) {
        const auto* piece = reinterpret_cast<const uint8_t*>(buffer.data());
        if (layout.direct)
            copyRows(image, piece, firstRow, rows, rowBytes, imageRowBytes, invertBytes);
        else
            place(piece, rowBytes, 0, firstRow, width, rows, separate ? plane : -1);
    };
    if (stripSize > kMaxStripBuffer) {
        // A page in one huge strip is read a row at a time instead of doubling its memory.
        std::vector<uint64_t> row(size_t(rowBytes + 7) / 8);
        for (int plane = 0; plane < planes; ++plane)
            for (uint32_t y = 0; y < height; ++y) {
                if (TIFFReadScanline(m_tif, row.data(), y, uint16_t(plane)) < 0 ||
                    !m_io->errors.error.isEmpty())
                    fail(m_io->errors, QStringLiteral("Seite nicht lesbar (Zeile %1)").arg(y));
                put(row, y, 1, plane);
            }
        return image;
    }
    std::vector<uint64_t> buffer(size_t(stripSize + 7) / 8);
    const uint32_t stripsPerPlane = (height + rowsPerStrip - 1) / rowsPerStrip;
    if (TIFFNumberOfStrips(m_tif) < stripsPerPlane * uint32_t(planes))
        fail(m_io->errors, QStringLiteral("Streifenaufbau ungültig"));
    for (int plane = 0; plane < planes; ++plane)
        for (uint32_t s = 0; s < stripsPerPlane; ++s) {
            const uint32_t firstRow = s * rowsPerStrip;
            const uint32_t rows = qMin(rowsPerStrip, height - firstRow);
            const tmsize_t want = tmsize_t(rows) * tmsize_t(rowBytes);
            if (TIFFReadEncodedStrip(m_tif, uint32_t(plane) * stripsPerPlane + s, buffer.data(), want) <
                    want ||
                !m_io->errors.error.isEmpty())
                fail(m_io->errors, QStringLiteral("Seite nicht lesbar (Streifen %1)").arg(s));
            put(buffer, firstRow, rows, plane);
        }
    return image;
}

bool TTiffReader::CanCopyRaw() {
    requirePage();
    return fieldDefaulted<uint16_t>(m_tif, TIFFTAG_COMPRESSION) != COMPRESSION_OJPEG;
}

QByteArray TTiffReader::ExtractPage() {
    TTiffWriter writer;
    writer.CopyPage(*this);
    return writer.Finish();
}

QByteArray TTiffReader::RawStrip(int n) {
    requirePage();
    if (n < 0 || uint32_t(n) >= TIFFNumberOfStrips(m_tif))
        throw ETiffError(QStringLiteral("Streifen %1 gibt es nicht").arg(n));
    m_io->errors.clear();
    const uint64_t size = TIFFGetStrileByteCount(m_tif, uint32_t(n));
    if (size > uint64_t(std::numeric_limits<int>::max()))
        throw ETiffError(QStringLiteral("Streifen %1 ist zu groß").arg(n));
    QByteArray raw(qsizetype(size), Qt::Uninitialized);
    const tmsize_t got = TIFFReadRawStrip(m_tif, uint32_t(n), raw.data(), tmsize_t(size));
    if (got < 0)
        fail(m_io->errors, QStringLiteral("Streifen %1 nicht lesbar").arg(n));
    raw.truncate(qsizetype(got));
    return raw;
}

QByteArray EncodeG4(const QImage& image) {
    // The writer puts a fax page in one strip with white as 0, the way the fax coder counts runs.
    TTiffWriter writer;
    TIOParams params;
    params.TIFF_Compression = ioTIFF_G4FAX;
    writer.WritePage(image, params);
    TTiffReader reader(writer.Finish());
    reader.OpenPage(0);
    return reader.RawStrip(0);
}

// ---------------------------------------------------------------------------------------------
// Writer

struct TTiffWriter::Io final {
    QByteArray data;
    quint64 size = 0; // bytes written; data may hold spare capacity beyond
    quint64 pos = 0;
    ErrorState errors;
};

namespace {

TTiffWriter::Io* writerIo(thandle_t h) { return static_cast<TTiffWriter::Io*>(static_cast<void*>(h)); }

tmsize_t writerRead(thandle_t h, void* buf, tmsize_t len) {
    TTiffWriter::Io* io = writerIo(h);
    if (len <= 0 || io->pos >= io->size)
        return 0;
    const tmsize_t n = tmsize_t(qMin<quint64>(quint64(len), io->size - io->pos));
    std::memcpy(buf, io->data.constData() + io->pos, size_t(n));
    io->pos += quint64(n);
    return n;
}

tmsize_t writerWrite(thandle_t h, void* buf, tmsize_t len) {
    TTiffWriter::Io* io = writerIo(h);
    if (len <= 0)
        return 0;
    const quint64 end = io->pos + quint64(len);
    if (end > quint64(io->data.size())) {
        // Grow geometrically: a document is written in many small pieces.
        const quint64 grown = qMax<quint64>(end, quint64(io->data.size()) * 2 + 65536);
        if (grown > quint64(std::numeric_limits<qsizetype>::max() / 2))
            return -1;
        const qsizetype old = io->data.size();
        io->data.resize(qsizetype(grown));
        // libtiff skips alignment bytes by seeking: they must be zeros, not old heap contents,
        // or the same pages would not give the same file.
        std::memset(io->data.data() + old, 0, size_t(qsizetype(grown) - old));
    }
    std::memcpy(io->data.data() + io->pos, buf, size_t(len));
    io->pos = end;
    io->size = qMax(io->size, end);
    return len;
}

toff_t writerSeek(thandle_t h, toff_t off, int whence) {
    TTiffWriter::Io* io = writerIo(h);
    io->pos = seekTarget(io->pos, io->size, off, whence);
    return io->pos;
}

toff_t writerSize(thandle_t h) { return writerIo(h)->size; }

QImage toMono(const QImage& image) {
    if (image.format() == QImage::Format_Mono)
        return image;
    return image.convertToFormat(QImage::Format_Mono, Qt::ThresholdDither | Qt::MonoOnly);
}

bool isDark(QRgb c) { return qGray(c) < 128; }

} // namespace

TTiffWriter::TTiffWriter() : m_io(std::make_unique<Io>()) {
    TIFFOpenOptions* opts = makeOptions(&m_io->errors);
    m_tif = TIFFClientOpenExt("memory", "w", static_cast<thandle_t>(static_cast<void*>(m_io.get())),
                              writerRead, writerWrite, writerSeek, readerClose, writerSize, noMap,
                              noUnmap, opts);
    TIFFOpenOptionsFree(opts);
    if (!m_tif)
        fail(m_io->errors, QStringLiteral("TIFF-Datei kann nicht angelegt werden"));
}

TTiffWriter::~TTiffWriter() {
    if (m_tif)
        TIFFClose(m_tif);
}

void TTiffWriter::beginPage() {
    if (!m_tif)
        throw ETiffError(QStringLiteral("TIFF-Datei ist bereits abgeschlossen"));
    m_io->errors.clear();
}

void TTiffWriter::endPage() {
    if (!TIFFWriteDirectory(m_tif) || !m_io->errors.error.isEmpty())
        fail(m_io->errors, QStringLiteral("TIFF-Seite %1 nicht geschrieben").arg(m_pages + 1));
    ++m_pages;
}

void TTiffWriter::WritePage(const QImage& source, const TIOParams& params) {
    beginPage();
    if (source.isNull())
        throw ETiffError(QStringLiteral("Leere Seite kann nicht geschrieben werden"));
    if (qint64(source.width()) * source.height() > kMaxPagePixels)
        throw ETiffError(QStringLiteral("Seite zu groß (%1 x %2 Pixel)")
                             .arg(source.width())
                             .arg(source.height()));
    int tag = TiffCompressionTag(params.TIFF_Compression);
    const TIEPixelFormat sourceFormat = PixelFormatOf(source);

    // The samples the compression can take.
    enum { Bilevel, Grey, Palette, Rgb, Rgba, Grey16, Rgb16, Rgba16 } layout;
    if (isCcitt(tag))
        layout = Bilevel;
    else if (tag == COMPRESSION_JPEG)
        layout = (params.TIFF_JPEGColorSpace == ioJPEG_GRAYLEV || sourceFormat == ie1g ||
                  sourceFormat == ie8g || sourceFormat == ie16g)
                     ? Grey
                     : Rgb;
    else if (sourceFormat == ie16g)
        layout = Grey16;
    else if (sourceFormat == ie48RGB)
        layout = Rgb16;
    else if (sourceFormat == ie64RGBA)
        layout = Rgba16;
    else if (sourceFormat == ie1g)
        layout = Bilevel;
    else if (sourceFormat == ie8g)
        layout = Grey;
    else if (sourceFormat == ie8p)
        layout = Palette;
    else if (sourceFormat == ie32RGB)
        layout = Rgba;
    else
        layout = Rgb;

    // Samples without alpha show transparent parts as the paper does, not as the black that
    // fully transparent pixels usually hold.
    const bool keepsAlpha = layout == Rgba || layout == Palette || layout == Rgba16;
    const QImage opaque = keepsAlpha ? source : FlattenOnWhite(source);
    const bool deep = layout == Grey16 || layout == Rgb16 || layout == Rgba16;
    if (deep && params.TIFF_Compression == ioTIFF_UNKNOWN)
        tag = COMPRESSION_ADOBE_DEFLATE;
    QImage image;
    bool invertBits = false;
    switch (layout) {
    case Bilevel: {
        image = toMono(opaque);
        // Written white-is-zero as fax readers expect: black pixels are 1 bits.
        const QList<QRgb> table = image.colorTable();
        invertBits = table.size() >= 2 ? !isDark(table[1]) : false;
        break;
    }
    case Grey: image = opaque.convertToFormat(QImage::Format_Grayscale8); break;
    case Palette: image = opaque; break;
    case Rgb: image = opaque.convertToFormat(QImage::Format_RGB888); break;
    case Rgba: image = source.convertToFormat(QImage::Format_RGBA8888); break;
    // Samples of 16 bits as the image has them; colour without alpha loses its fourth channel
    // row by row below.
    case Grey16: image = source; break;
    case Rgb16: image = source.convertToFormat(QImage::Format_RGBX64); break;
    case Rgba16: image = source.convertToFormat(QImage::Format_RGBA64); break;
    }
    if (image.isNull())
        throw ETiffError(QStringLiteral("Kein Speicher für die Seite"));

    const uint32_t width = uint32_t(image.width());
    const uint32_t height = uint32_t(image.height());
    TIFFSetField(m_tif, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
    TIFFSetField(m_tif, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(m_tif, TIFFTAG_IMAGELENGTH, height);
    TIFFSetField(m_tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(m_tif, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
    TIFFSetField(m_tif, TIFFTAG_COMPRESSION, tag);
    const int spp = layout == Rgba || layout == Rgba16 ? 4 : layout == Rgb || layout == Rgb16 ? 3 : 1;
    const int bps = layout == Bilevel ? 1 : deep ? 16 : 8;
    // libtiff sizes the colour map by the bits per sample set when the map is set.
    TIFFSetField(m_tif, TIFFTAG_BITSPERSAMPLE, bps);
    TIFFSetField(m_tif, TIFFTAG_SAMPLESPERPIXEL, spp);
    switch (layout) {
    case Bilevel:
        TIFFSetField(m_tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
        if (params.TIFF_Compression == ioTIFF_G3FAX2D)
            TIFFSetField(m_tif, TIFFTAG_GROUP3OPTIONS, GROUP3OPT_2DENCODING);
        break;
    case Grey:
    case Grey16: TIFFSetField(m_tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK); break;
    case Palette: {
        TIFFSetField(m_tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_PALETTE);
        std::vector<uint16_t> r(256), g(256), b(256);
        const QList<QRgb> table = image.colorTable();
        for (int i = 0; i < table.size() && i < 256; ++i) {
            // The map has no alpha: a transparent entry is the paper's white.
            const int a = qAlpha(table[i]), white = 255 * (255 - a);
            r[size_t(i)] = uint16_t((qRed(table[i]) * a + white) * 257 / 255);
            g[size_t(i)] = uint16_t((qGreen(table[i]) * a + white) * 257 / 255);
            b[size_t(i)] = uint16_t((qBlue(table[i]) * a + white) * 257 / 255);
        }
        TIFFSetField(m_tif, TIFFTAG_COLORMAP, r.data(), g.data(), b.data());
        break;
    }
    case Rgb:
        if (tag == COMPRESSION_JPEG) {
            TIFFSetField(m_tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_YCBCR);
        } else
            TIFFSetField(m_tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
        break;
    case Rgb16: TIFFSetField(m_tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB); break;
    case Rgba:
    case Rgba16: {
        TIFFSetField(m_tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
        const uint16_t extra[] = {EXTRASAMPLE_UNASSALPHA};
        TIFFSetField(m_tif, TIFFTAG_EXTRASAMPLES, 1, extra);
        break;
    }
    }
    if (tag == COMPRESSION_JPEG) {
        TIFFSetField(m_tif, TIFFTAG_JPEGQUALITY, kJpegQuality);
        if (layout == Rgb)
            TIFFSetField(m_tif, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
    }
    if (tag == COMPRESSION_ADOBE_DEFLATE || tag == COMPRESSION_DEFLATE || tag == COMPRESSION_LZW)
        TIFFSetField(m_tif, TIFFTAG_PREDICTOR, (layout == Bilevel || layout == Palette)
                                                   ? PREDICTOR_NONE
                                                   : PREDICTOR_HORIZONTAL);
    if (!params.TIFF_ImageDescription.isEmpty())
        TIFFSetField(m_tif, TIFFTAG_IMAGEDESCRIPTION, params.TIFF_ImageDescription.constData());
    if (params.DpiX > 0 || params.DpiY > 0) {
        const double x = params.DpiX > 0 ? params.DpiX : params.DpiY;
        const double y = params.DpiY > 0 ? params.DpiY : params.DpiX;
        TIFFSetField(m_tif, TIFFTAG_XRESOLUTION, float(x));
        TIFFSetField(m_tif, TIFFTAG_YRESOLUTION, float(y));
        TIFFSetField(m_tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    }
    // Fax pages go in one strip (smallest and fastest to copy); the rest in strips of about 8 KB
    // of raw samples, whole JPEG blocks.
    uint32_t rowsPerStrip = isCcitt(tag) ? height : TIFFDefaultStripSize(m_tif, 0);
    rowsPerStrip = qBound<uint32_t>(1, rowsPerStrip, height);
    TIFFSetField(m_tif, TIFFTAG_ROWSPERSTRIP, rowsPerStrip);
    if (!m_io->errors.error.isEmpty())
        fail(m_io->errors, QStringLiteral("TIFF-Seite %1 nicht geschrieben").arg(m_pages + 1));

    const qsizetype rowBytes = (qsizetype(width) * spp * bps + 7) / 8;
    std::vector<uint8_t> strip(size_t(rowBytes) * rowsPerStrip);
    uint32_t stripIndex = 0;
    for (uint32_t row = 0; row < height; row += rowsPerStrip, ++stripIndex) {
        const uint32_t rows = qMin(rowsPerStrip, height - row);
        for (uint32_t r = 0; r < rows; ++r) {
            const uchar* src = image.constScanLine(int(row + r));
            uint8_t* dst = strip.data() + qsizetype(r) * rowBytes;
            if (layout == Rgb16) {
                const auto* from = reinterpret_cast<const quint16*>(src);
                for (uint32_t x = 0; x < width; ++x)
                    std::memcpy(dst + qsizetype(x) * 6, from + qsizetype(x) * 4, 6);
            } else if (invertBits)
                for (qsizetype i = 0; i < rowBytes; ++i)
                    dst[i] = uint8_t(~src[i]);
            else
                std::memcpy(dst, src, size_t(rowBytes));
        }
        if (TIFFWriteEncodedStrip(m_tif, stripIndex, strip.data(), tmsize_t(rows) * rowBytes) < 0)
            fail(m_io->errors, QStringLiteral("TIFF-Seite %1 nicht geschrieben").arg(m_pages + 1));
    }
    endPage();
}

namespace {

template <class T> void copyField(TIFF* in, TIFF* out, ttag_t tag) {
    T value{};
    if (TIFFGetField(in, tag, &value))
        TIFFSetField(out, tag, value);
}

void copyCountedArray32(TIFF* in, TIFF* out, ttag_t tag) {
    uint32_t count = 0;
    void* data = nullptr;
    if (TIFFGetField(in, tag, &count, &data) && data && count > 0)
        TIFFSetField(out, tag, count, data);
}

} // namespace

void TTiffWriter::CopyPage(TTiffReader& reader, const QByteArray* description) {
    beginPage();
    reader.requirePage();
    if (!reader.CanCopyRaw())
        throw ETiffError(QStringLiteral("Seite mit altem JPEG kann nicht unverändert kopiert werden"));
    TIFF* in = reader.m_tif;
    TIFF* out = m_tif;
    reader.m_io->errors.clear();
    // Samples wider than a byte stay in the byte order of the file they were coded in, inside
    // compressed and predicted data too; in a file of the other order they would be misread.
    // Such a page is decoded strip by strip (libtiff hands the samples over in this machine's
    // order) and coded again with the same compression, predictor and depth: the samples stay
    // exactly as they were. JPEG, which would lose at each coding, is decoded and written anew.
    const bool swapped = TIFFIsByteSwapped(in) != TIFFIsByteSwapped(out) &&
                         fieldDefaulted<uint16_t>(in, TIFFTAG_BITSPERSAMPLE) > 8;
    if (swapped && fieldDefaulted<uint16_t>(in, TIFFTAG_COMPRESSION) == COMPRESSION_JPEG) {
        TIOParams params = reader.Params();
        if (description)
            params.TIFF_ImageDescription = *description;
        WritePage(reader.Decode(), params);
        return;
    }

    copyField<uint32_t>(in, out, TIFFTAG_SUBFILETYPE);
    copyField<uint32_t>(in, out, TIFFTAG_IMAGEWIDTH);
    copyField<uint32_t>(in, out, TIFFTAG_IMAGELENGTH);
    copyField<uint16_t>(in, out, TIFFTAG_BITSPERSAMPLE);
    copyField<uint16_t>(in, out, TIFFTAG_SAMPLESPERPIXEL);
    const uint16_t compression = fieldDefaulted<uint16_t>(in, TIFFTAG_COMPRESSION);
    TIFFSetField(out, TIFFTAG_COMPRESSION, compression);
    copyField<uint16_t>(in, out, TIFFTAG_PHOTOMETRIC);
    copyField<uint16_t>(in, out, TIFFTAG_FILLORDER);
    copyField<uint16_t>(in, out, TIFFTAG_ORIENTATION);
    copyField<uint16_t>(in, out, TIFFTAG_PLANARCONFIG);
    copyField<uint16_t>(in, out, TIFFTAG_THRESHHOLDING);
    copyField<uint16_t>(in, out, TIFFTAG_MINSAMPLEVALUE);
    copyField<uint16_t>(in, out, TIFFTAG_MAXSAMPLEVALUE);
    copyField<uint16_t>(in, out, TIFFTAG_SAMPLEFORMAT);
    copyField<float>(in, out, TIFFTAG_XRESOLUTION);
    copyField<float>(in, out, TIFFTAG_YRESOLUTION);
    copyField<uint16_t>(in, out, TIFFTAG_RESOLUTIONUNIT);
    copyField<float>(in, out, TIFFTAG_XPOSITION);
    copyField<float>(in, out, TIFFTAG_YPOSITION);
    copyField<uint16_t>(in, out, TIFFTAG_PREDICTOR);
    if (compression == COMPRESSION_CCITTFAX3)
        copyField<uint32_t>(in, out, TIFFTAG_GROUP3OPTIONS);
    if (compression == COMPRESSION_CCITTFAX4)
        copyField<uint32_t>(in, out, TIFFTAG_GROUP4OPTIONS);
    uint16_t extraCount = 0;
    uint16_t* extra = nullptr;
    if (TIFFGetField(in, TIFFTAG_EXTRASAMPLES, &extraCount, &extra) && extra)
        TIFFSetField(out, TIFFTAG_EXTRASAMPLES, extraCount, extra);
    uint16_t subH = 0, subV = 0;
    if (TIFFGetField(in, TIFFTAG_YCBCRSUBSAMPLING, &subH, &subV))
        TIFFSetField(out, TIFFTAG_YCBCRSUBSAMPLING, subH, subV);
    copyField<uint16_t>(in, out, TIFFTAG_YCBCRPOSITIONING);
    float* refBlackWhite = nullptr;
    if (TIFFGetField(in, TIFFTAG_REFERENCEBLACKWHITE, &refBlackWhite) && refBlackWhite)
        TIFFSetField(out, TIFFTAG_REFERENCEBLACKWHITE, refBlackWhite);
    uint16_t *r = nullptr, *g = nullptr, *b = nullptr;
    if (TIFFGetField(in, TIFFTAG_COLORMAP, &r, &g, &b))
        TIFFSetField(out, TIFFTAG_COLORMAP, r, g, b);
    copyCountedArray32(in, out, TIFFTAG_JPEGTABLES);
    copyCountedArray32(in, out, TIFFTAG_ICCPROFILE);
    for (ttag_t tag : {TIFFTAG_DOCUMENTNAME, TIFFTAG_PAGENAME, TIFFTAG_MAKE, TIFFTAG_MODEL,
                       TIFFTAG_SOFTWARE, TIFFTAG_DATETIME, TIFFTAG_ARTIST, TIFFTAG_HOSTCOMPUTER}) {
        char* text = nullptr;
        if (TIFFGetField(in, tag, &text) && text)
            TIFFSetField(out, tag, text);
    }
    if (description) {
        if (!description->isEmpty())
            TIFFSetField(out, TIFFTAG_IMAGEDESCRIPTION, description->constData());
    } else {
        char* text = nullptr;
        if (TIFFGetField(in, TIFFTAG_IMAGEDESCRIPTION, &text) && text)
            TIFFSetField(out, TIFFTAG_IMAGEDESCRIPTION, text);
    }

    const bool tiled = TIFFIsTiled(in);
    if (tiled) {
        copyField<uint32_t>(in, out, TIFFTAG_TILEWIDTH);
        copyField<uint32_t>(in, out, TIFFTAG_TILELENGTH);
    } else {
        copyField<uint32_t>(in, out, TIFFTAG_ROWSPERSTRIP);
    }
    if (!m_io->errors.error.isEmpty())
        fail(m_io->errors, QStringLiteral("TIFF-Seite %1 nicht kopiert").arg(m_pages + 1));

    uint64_t* counts = nullptr;
    const ttag_t countTag = tiled ? TIFFTAG_TILEBYTECOUNTS : TIFFTAG_STRIPBYTECOUNTS;
    if (!TIFFGetField(in, countTag, &counts) || !counts)
        fail(reader.m_io->errors, QStringLiteral("Streifenlängen fehlen"));
    const uint32_t pieces = tiled ? TIFFNumberOfTiles(in) : TIFFNumberOfStrips(in);
    std::vector<uint8_t> buffer;
    if (swapped) {
        // The stored strips must hold what the page claims before a buffer is made for them.
        const uint32_t width = fieldDefaulted<uint32_t>(in, TIFFTAG_IMAGEWIDTH);
        const uint32_t height = fieldDefaulted<uint32_t>(in, TIFFTAG_IMAGELENGTH);
        if (qint64(width) * qint64(height) > kMaxPagePixels)
            throw ETiffError(QStringLiteral("Seite zu groß (%1 x %2 Pixel)").arg(width).arg(height));
        checkStorage(in, reader.m_io->size, width, height,
                     fieldDefaulted<uint16_t>(in, TIFFTAG_COMPRESSION),
                     fieldDefaulted<uint16_t>(in, TIFFTAG_BITSPERSAMPLE),
                     fieldDefaulted<uint16_t>(in, TIFFTAG_SAMPLESPERPIXEL));
        const tmsize_t pieceSize = tiled ? TIFFTileSize(in) : TIFFStripSize(in);
        if (pieceSize <= 0)
            fail(reader.m_io->errors, QStringLiteral("Streifenaufbau ungültig"));
        buffer.resize(size_t(pieceSize));
        for (uint32_t i = 0; i < pieces; ++i) {
            const tmsize_t got = tiled ? TIFFReadEncodedTile(in, i, buffer.data(), pieceSize)
                                       : TIFFReadEncodedStrip(in, i, buffer.data(), pieceSize);
            if (got <= 0 || !reader.m_io->errors.error.isEmpty())
                fail(reader.m_io->errors, QStringLiteral("Streifen %1 nicht lesbar").arg(i));
            const tmsize_t put = tiled ? TIFFWriteEncodedTile(out, i, buffer.data(), got)
                                       : TIFFWriteEncodedStrip(out, i, buffer.data(), got);
            if (put != got)
                fail(m_io->errors, QStringLiteral("Streifen %1 nicht geschrieben").arg(i));
        }
        endPage();
        return;
    }
    for (uint32_t i = 0; i < pieces; ++i) {
        const uint64_t count = counts[i];
        if (count > reader.m_io->size)
            throw ETiffError(QStringLiteral("Streifen %1 größer als die Datei").arg(i));
        buffer.resize(size_t(count));
        const tmsize_t got = tiled ? TIFFReadRawTile(in, i, buffer.data(), tmsize_t(count))
                                   : TIFFReadRawStrip(in, i, buffer.data(), tmsize_t(count));
        if (got != tmsize_t(count))
            fail(reader.m_io->errors, QStringLiteral("Streifen %1 nicht lesbar").arg(i));
        const tmsize_t put = tiled ? TIFFWriteRawTile(out, i, buffer.data(), got)
                                   : TIFFWriteRawStrip(out, i, buffer.data(), got);
        if (put != got)
            fail(m_io->errors, QStringLiteral("Streifen %1 nicht geschrieben").arg(i));
    }
    endPage();
}

QByteArray TTiffWriter::Finish() {
    if (!m_tif)
        throw ETiffError(QStringLiteral("TIFF-Datei ist bereits abgeschlossen"));
    m_io->errors.clear();
    TIFFFlush(m_tif);
    TIFFClose(m_tif);
    m_tif = nullptr;
    if (!m_io->errors.error.isEmpty())
        fail(m_io->errors, QStringLiteral("TIFF-Datei nicht abgeschlossen"));
    QByteArray data = std::move(m_io->data);
    data.truncate(qsizetype(m_io->size));
    data.squeeze();
    return data;
}

// ---------------------------------------------------------------------------------------------
// Directory chain

QList<quint64> TiffPageOffsets(TTiffInput& input) {
    const quint64 size = input.Size();
    uchar header[16] = {};
    if (size < 8 || input.ReadAt(0, reinterpret_cast<char*>(header), 16) < 8)
        throw ETiffError(QStringLiteral("Keine TIFF-Datei"));
    bool little;
    if (header[0] == 'I' && header[1] == 'I')
        little = true;
    else if (header[0] == 'M' && header[1] == 'M')
        little = false;
    else
        throw ETiffError(QStringLiteral("Keine TIFF-Datei"));
    auto read = [little](const uchar* p, int bytes) {
        quint64 v = 0;
        for (int i = 0; i < bytes; ++i)
            v |= quint64(p[little ? i : bytes - 1 - i]) << (8 * i);
        return v;
    };
    const quint64 version = read(header + 2, 2);
    bool big;
    quint64 first;
    if (version == 42) {
        big = false;
        first = read(header + 4, 4);
    } else if (version == 43 && size >= 16) {
        big = true;
        first = read(header + 8, 8);
    } else
        throw ETiffError(QStringLiteral("Keine TIFF-Datei"));

    const int countBytes = big ? 8 : 2, entryBytes = big ? 20 : 12, offsetBytes = big ? 8 : 4;
    QList<quint64> offsets;
    QSet<quint64> seen;
    for (quint64 off = first; off != 0;) {
        if (off < 8 || off + quint64(countBytes) > size || seen.contains(off))
            throw ETiffError(
                QStringLiteral("TIFF-Verzeichniskette ungültig bei Position %1").arg(off));
        seen.insert(off);
        offsets.append(off);
        uchar buf[8];
        if (input.ReadAt(off, reinterpret_cast<char*>(buf), countBytes) != countBytes)
            throw ETiffError(QStringLiteral("TIFF-Verzeichnis bei Position %1 abgeschnitten").arg(off));
        const quint64 entries = read(buf, countBytes);
        const quint64 nextAt = off + quint64(countBytes) + entries * quint64(entryBytes);
        if (entries > 0xffff || nextAt + quint64(offsetBytes) > size)
            throw ETiffError(QStringLiteral("TIFF-Verzeichnis bei Position %1 abgeschnitten").arg(off));
        if (input.ReadAt(nextAt, reinterpret_cast<char*>(buf), offsetBytes) != offsetBytes)
            throw ETiffError(QStringLiteral("TIFF-Verzeichnis bei Position %1 abgeschnitten").arg(off));
        off = read(buf, offsetBytes);
    }
    return offsets;
}

QList<quint64> TiffPageOffsets(const QByteArray& data) {
    TMemoryTiffInput input(data);
    return TiffPageOffsets(input);
}

} // namespace Imaging

#pragma once
// The imaging library's TIFF pages: reading one page of a multipage file (by number, or at the
// directory offset recorded when the file was written, which needs no walk of the directory
// chain), decoding it to a QImage, writing pages with a compression each, and copying a page's
// compressed data unchanged into another file. Everything runs over libtiff through in-memory
// or caller-supplied random-access I/O; libtiff errors become ETiffError, its warnings log lines.

#include "VoskExceptions.h"

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QString>

#include <functional>
#include <memory>

struct tiff;

namespace Imaging {

// The TIFF compressions of the library, in its order (stored values rely on the numbers).
enum TIOTIFFCompression : int {
    ioTIFF_UNCOMPRESSED = 0,
    ioTIFF_CCITT1D = 1,
    ioTIFF_G3FAX1D = 2,
    ioTIFF_G3FAX2D = 3,
    ioTIFF_G4FAX = 4,
    ioTIFF_LZW = 5,
    ioTIFF_OLDJPEG = 6,
    ioTIFF_JPEG = 7,
    ioTIFF_PACKBITS = 8,
    ioTIFF_ZIP = 9,
    ioTIFF_DEFLATE = 10,
    ioTIFF_UNKNOWN = 11,
};

// Colour space of a JPEG-compressed page.
enum TIOJPEGColorSpace : int { ioJPEG_YCbCr = 0, ioJPEG_GRAYLEV = 1 };

// Pixel format of a page: 1-bit black and white, 8-bit grey, 8-bit palette, 24-bit colour,
// 32-bit colour with alpha, and with 16 bits a sample grey, colour and colour with alpha; ienull
// for none.
enum TIEPixelFormat : int { ienull = 0, ie1g, ie8g, ie8p, ie24RGB, ie32RGB, ie16g, ie48RGB, ie64RGBA };

// Samples of 16 bits, which no JPEG page holds.
constexpr bool IsDeep(TIEPixelFormat format) {
    return format == ie16g || format == ie48RGB || format == ie64RGBA;
}

// One page's TIFF parameters as read, or as they are to be written.
struct TIOParams final {
    int Width = 0;
    int Height = 0;
    TIEPixelFormat PixelFormat = ienull;
    TIOTIFFCompression TIFF_Compression = ioTIFF_UNCOMPRESSED;
    TIOJPEGColorSpace TIFF_JPEGColorSpace = ioJPEG_YCbCr;
    QByteArray TIFF_ImageDescription; // 8-bit text
    double DpiX = 0;
    double DpiY = 0;
};

// A picture as it shows on white paper: transparent parts white, the rest blended onto it. A
// picture without alpha is returned as it is.
QImage FlattenOnWhite(const QImage& image);
// The pixel format a decoded image has in the library's terms.
TIEPixelFormat PixelFormatOf(const QImage& image);
// Pages larger than this many pixels are refused before anything is allocated for them.
constexpr qint64 kMaxPagePixels = qint64(1) << 28;
// The memory one decoded page may take, in bytes: a page that needs more is refused before
// anything is decoded (ETiffPageTooLarge). An A0 page at 300 dpi in colour with alpha fits.
constexpr qint64 kMaxDecodedBytes = qint64(640) << 20;
// The one JPEG quality every page is written with.
constexpr int kJpegQuality = 80;

class ETiffError : public EVoskException {
public:
    using EVoskException::EVoskException;
    const char* ClassName() const noexcept override { return "ETiffError"; }
};

// A page whose decoded pixels would take more than kMaxDecodedBytes; the message says so in
// words for the user.
class ETiffPageTooLarge final : public ETiffError {
public:
    ETiffPageTooLarge(int width, int height, qint64 bytes);
    const char* ClassName() const noexcept override { return "ETiffPageTooLarge"; }
};

// Random-access bytes that a reader decodes from: a memory block, or a stored file read in parts.
class TTiffInput {
public:
    virtual ~TTiffInput() = default;
    virtual quint64 Size() = 0;
    // Copies up to len bytes from pos into dst; the number copied (short only at the end).
    virtual qint64 ReadAt(quint64 pos, char* dst, qint64 len) = 0;
};

// A memory block as reader input; the block is shared, not copied.
class TMemoryTiffInput final : public TTiffInput {
public:
    explicit TMemoryTiffInput(QByteArray data) : m_data(std::move(data)) {}
    quint64 Size() override { return quint64(m_data.size()); }
    qint64 ReadAt(quint64 pos, char* dst, qint64 len) override;

private:
    QByteArray m_data;
};

// Where warnings of libtiff go; empty: the Qt log category "korvex.imaging".
void SetWarningLog(std::function<void(const QString&)> log);

class TTiffWriter;

// Reads pages of one TIFF file. The constructor checks the header only; a page is opened by
// number or at its directory offset before its parameters or pixels are read.
class TTiffReader final {
public:
    explicit TTiffReader(const QByteArray& data);
    // input must outlive the reader.
    explicit TTiffReader(TTiffInput& input);
    ~TTiffReader();
    TTiffReader(const TTiffReader&) = delete;
    TTiffReader& operator=(const TTiffReader&) = delete;

    // Walks the whole directory chain.
    int PageCount();
    // Opens page n (from 0), walking the chain up to it.
    void OpenPage(int n);
    // Opens the page whose directory starts at offset, without walking the chain.
    void OpenAt(quint64 directoryOffset);

    // Of the opened page.
    TIOParams Params();
    // 16-bit samples stay 16 bits (Grayscale16, RGBX64, RGBA64); ETiffPageTooLarge before
    // anything is decoded when the pixels would take more than kMaxDecodedBytes.
    QImage Decode();
    // Whether the page's compressed data can be copied unchanged (not old-style JPEG).
    bool CanCopyRaw();
    // The opened page alone as a one-page TIFF, copied as CopyPage copies.
    QByteArray ExtractPage();
    // The compressed bytes of strip n of the opened page, as stored.
    QByteArray RawStrip(int n);

    struct Io; // libtiff's I/O state, internal

private:
    friend class TTiffWriter;
    void open(const char* mode);
    void requirePage() const;
    std::unique_ptr<TTiffInput> m_ownInput;
    TTiffInput* m_input = nullptr;
    std::unique_ptr<Io> m_io;
    tiff* m_tif = nullptr;
    bool m_pageOpen = false;
};

// Writes a multipage TIFF into memory, one directory per page in page order.
class TTiffWriter final {
public:
    TTiffWriter();
    ~TTiffWriter();
    TTiffWriter(const TTiffWriter&) = delete;
    TTiffWriter& operator=(const TTiffWriter&) = delete;

    // Encodes image with params' compression, description and resolution. A CCITT compression
    // makes the image black and white, a grey JPEG colour space or a grey image grey JPEG. An
    // image of 16-bit samples is written with them (but as JPEG); a compression that has no
    // coder here (ioTIFF_UNKNOWN) writes it with Deflate, lossless as the rest.
    void WritePage(const QImage& image, const TIOParams& params);
    // Copies the opened page of reader with its compressed data unchanged; a non-null
    // description replaces the page's description tag. A page whose samples are wider than a
    // byte and in the other byte order is decoded and coded again with its compression,
    // predictor and depth, its samples unchanged (a JPEG page: decoded and written anew).
    void CopyPage(TTiffReader& reader, const QByteArray* description = nullptr);
    int PageCount() const { return m_pages; }
    // Closes the file; the bytes written. The writer takes no more pages afterwards.
    QByteArray Finish();

    struct Io; // libtiff's I/O state, internal

private:
    void beginPage();
    void endPage();
    std::unique_ptr<Io> m_io;
    tiff* m_tif = nullptr;
    int m_pages = 0;
};

// A black-and-white picture (any other is made so by a threshold) as bare CCITT Group 4 data of
// its full width and height, white and black runs as the picture shows them: what the CCITT
// filter of a PDF or PostScript file reads.
QByteArray EncodeG4(const QImage& image);

// The directory offsets of every page, read from the file's structure alone (header and next
// pointers), classic or BigTIFF. ETiffError when the chain leaves the file or loops.
QList<quint64> TiffPageOffsets(TTiffInput& input);
QList<quint64> TiffPageOffsets(const QByteArray& data);

// The TIFF compression tag value of a library compression, and back.
int TiffCompressionTag(TIOTIFFCompression compression);
TIOTIFFCompression CompressionFromTag(int tag);

} // namespace Imaging

#pragma once
// The imaging library's PDF and PostScript output: pages appended one by one to an open file, each
// on a paper size of its own and fitted into it, with the document information (creator, title).
// Pictures go in as JPEG data that the file embeds unchanged (no second compression), as CCITT
// Group 4 data (black and white, lossless), or lossless; the choice is the compression in the
// library's numbering of the two file types.
//
// Built over cairo's PDF and PostScript surfaces, writing through a QFile so that a full disk or a
// vanished folder ends the job with Aborted() instead of a half-written file reported as done.

#include "VoskExceptions.h"

#include <QByteArray>
#include <QImage>
#include <QSizeF>
#include <QString>

#include <memory>

namespace Imaging {

enum class TIEDocType { PDF, PS };

// The compressions of the two file types in the library's order; list positions of the export
// options rely on them. The two fax compressions write black and white as Group 4, anything else
// but JPEG is written lossless.
enum TIOPDFCompression : int {
    ioPDF_UNCOMPRESSED = 0,
    ioPDF_RLE = 1,
    ioPDF_G4FAX = 2,
    ioPDF_G3FAX2D = 3,
    ioPDF_JPEG = 4,
    ioPDF_LZW = 5
};
enum TIOPSCompression : int { ioPS_RLE = 0, ioPS_G4FAX = 1, ioPS_G3FAX2D = 2, ioPS_JPEG = 3 };

// A4 in points.
constexpr double kA4WidthPt = 595;
constexpr double kA4HeightPt = 842;

class TIEDocWriter final {
public:
    // Creates (or truncates) fileName; EVoskException when it cannot be opened.
    TIEDocWriter(const QString& fileName, TIEDocType type);
    ~TIEDocWriter(); // closes the file when Close was not called
    TIEDocWriter(const TIEDocWriter&) = delete;
    TIEDocWriter& operator=(const TIEDocWriter&) = delete;

    TIEDocType Type() const { return m_type; }
    // Document information; taken when the first page is added. An empty title writes none.
    void SetCreator(const QString& creator) { m_creator = creator; }
    void SetTitle(const QString& title) { m_title = title; }
    // Paper of the pages added from now on, in points (1/72 inch).
    void SetPaper(double width, double height) { m_paper = QSizeF(width, height); }
    QSizeF Paper() const { return m_paper; }
    // True: pages go in as JPEG (see JpegQuality); false: lossless.
    void SetJpeg(bool jpeg) {
        m_jpeg = jpeg;
        m_fax = false;
    }
    void SetCompression(int compression); // in the numbering of the file's type

    // Appends a page showing image fitted into the paper, centred. A 1-bit or grey image stays
    // grey; with a fax compression any other picture is made black and white by ordered
    // dithering. jpeg, when given, is the image already as JPEG data and is embedded as it stands.
    // False when the file is no longer writable (Aborted then stays true).
    bool AddPage(const QImage& image, const QByteArray& jpeg = {});
    int PageCount() const { return m_pages; }
    bool Aborted() const;
    QString ErrorText() const;
    // Finishes and closes the file; false when anything of it could not be written.
    bool Close();

    struct Impl;

private:
    TIEDocType m_type;
    QString m_creator, m_title;
    QSizeF m_paper{kA4WidthPt, kA4HeightPt};
    bool m_jpeg = true;
    bool m_fax = false;
    int m_pages = 0;
    std::unique_ptr<Impl> m_impl;
};

// The quality every exported JPEG is written with.
constexpr int kExportJpegQuality = 80;

// The picture as JPEG data (grey pictures as one-channel JPEG), as the writer embeds it.
QByteArray EncodeJpeg(const QImage& image, int quality = kExportJpegQuality);

// Black and white by ordered dithering (a 1-bit picture stays as it is).
QImage ConvertToBWOrdered(const QImage& image);

// The fixed reference that decides whether a page is reduced on export: a page up to
// 18 times this size in pixels keeps its resolution.
constexpr int kReductionRefWidth = 230;
constexpr int kReductionRefHeight = 325;
// min(1, RefW * 18 / width, RefH * 18 / height).
double ReductionFactor(QSize page, QSize reference = QSize(kReductionRefWidth, kReductionRefHeight));
// The page scaled by factor (sides rounded) onto white 24-bit colour.
QImage ReducedPage(const QImage& page, double factor);

} // namespace Imaging

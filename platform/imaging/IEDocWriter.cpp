#include "IEDocWriter.h"

#include "PageCodec.h"

#include <QBuffer>
#include <QFile>

#include <cairo-pdf.h>
#include <cairo-ps.h>
#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace Imaging {

struct TIEDocWriter::Impl {
    QFile file;
    cairo_surface_t* surface = nullptr;
    bool writeFailed = false;
    bool closed = false;
    bool infoWritten = false;

    static cairo_status_t write(void* closure, const unsigned char* data, unsigned int length) {
        auto* self = static_cast<Impl*>(closure);
        if (self->writeFailed ||
            self->file.write(reinterpret_cast<const char*>(data), length) != qint64(length)) {
            self->writeFailed = true;
            return CAIRO_STATUS_WRITE_ERROR;
        }
        return CAIRO_STATUS_SUCCESS;
    }
};

namespace {
// A title on one line: a line break would end the PostScript comment that carries it.
QByteArray OneLine(const QString& text) {
    QString s = text;
    for (QChar& c : s)
        if (c.unicode() < 0x20)
            c = QLatin1Char(' ');
    return s.toUtf8();
}

void ReleaseBytes(void* data) { delete static_cast<QByteArray*>(data); }
} // namespace

TIEDocWriter::TIEDocWriter(const QString& fileName, TIEDocType type)
    : m_type(type), m_impl(std::make_unique<Impl>()) {
    m_impl->file.setFileName(fileName);
    if (!m_impl->file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw EVoskException(QStringLiteral("Die Datei \"%1\" kann nicht geschrieben werden: %2")
                                 .arg(fileName, m_impl->file.errorString()));
    m_impl->surface =
        type == TIEDocType::PDF
            ? cairo_pdf_surface_create_for_stream(&Impl::write, m_impl.get(), m_paper.width(),
                                                  m_paper.height())
            : cairo_ps_surface_create_for_stream(&Impl::write, m_impl.get(), m_paper.width(),
                                                 m_paper.height());
}

TIEDocWriter::~TIEDocWriter() {
    if (!m_impl->closed)
        Close();
}

void TIEDocWriter::SetCompression(int compression) {
    const bool pdf = m_type == TIEDocType::PDF;
    m_jpeg = pdf ? compression == ioPDF_JPEG : compression == ioPS_JPEG;
    m_fax = pdf ? compression == ioPDF_G4FAX || compression == ioPDF_G3FAX2D
                : compression == ioPS_G4FAX || compression == ioPS_G3FAX2D;
}

bool TIEDocWriter::Aborted() const {
    return m_impl->writeFailed || !m_impl->surface ||
           cairo_surface_status(m_impl->surface) != CAIRO_STATUS_SUCCESS;
}

QString TIEDocWriter::ErrorText() const {
    if (m_impl->writeFailed)
        return m_impl->file.errorString();
    if (m_impl->surface && cairo_surface_status(m_impl->surface) != CAIRO_STATUS_SUCCESS)
        return QString::fromUtf8(cairo_status_to_string(cairo_surface_status(m_impl->surface)));
    return {};
}

bool TIEDocWriter::AddPage(const QImage& page, const QByteArray& jpeg) {
    if (m_impl->closed || Aborted() || page.isNull())
        return false;
    // The page is printed on white: no output path below keeps alpha.
    const QImage image = FlattenOnWhite(page);
    if (image.isNull())
        return false;
    cairo_surface_t* target = m_impl->surface;
    if (!m_impl->infoWritten) {
        m_impl->infoWritten = true;
        if (m_type == TIEDocType::PDF) {
            if (!m_creator.isEmpty())
                cairo_pdf_surface_set_metadata(target, CAIRO_PDF_METADATA_CREATOR,
                                               OneLine(m_creator).constData());
            if (!m_title.isEmpty())
                cairo_pdf_surface_set_metadata(target, CAIRO_PDF_METADATA_TITLE,
                                               OneLine(m_title).constData());
        } else if (!m_title.isEmpty()) {
            cairo_ps_surface_dsc_comment(target, ("%%Title: " + OneLine(m_title)).constData());
        }
    }
    if (m_type == TIEDocType::PDF)
        cairo_pdf_surface_set_size(target, m_paper.width(), m_paper.height());
    else
        cairo_ps_surface_set_size(target, m_paper.width(), m_paper.height());

    const int w = image.width(), h = image.height();
    cairo_surface_t* picture = cairo_image_surface_create(CAIRO_FORMAT_RGB24, w, h);
    if (cairo_surface_status(picture) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(picture);
        return false;
    }
    // The pixels are never read when JPEG or fax data is embedded, so they are left as cairo
    // allocated them.
    const auto embed = [picture](const char* mimeType, QByteArray data) {
        auto* bytes = new QByteArray(std::move(data));
        cairo_surface_set_mime_data(picture, mimeType,
                                    reinterpret_cast<const unsigned char*>(bytes->constData()),
                                    (unsigned long)bytes->size(), &ReleaseBytes, bytes);
    };
    if (m_fax) {
        embed(CAIRO_MIME_TYPE_CCITT_FAX, EncodeG4(ConvertToBWOrdered(image)));
        // K < 0 is Group 4; the filter's default (BlackIs1 false) decodes black runs to 0, black
        // in the image's grey colour space.
        embed(CAIRO_MIME_TYPE_CCITT_FAX_PARAMS, QStringLiteral("Columns=%1 Rows=%2 K=-1").arg(w).arg(h).toLatin1());
    } else if (m_jpeg) {
        embed(CAIRO_MIME_TYPE_JPEG, jpeg.isEmpty() ? EncodeJpeg(image) : jpeg);
    } else {
        const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
        cairo_surface_flush(picture);
        unsigned char* dst = cairo_image_surface_get_data(picture);
        const int stride = cairo_image_surface_get_stride(picture);
        for (int y = 0; y < h; ++y)
            std::memcpy(dst + qsizetype(y) * stride, rgb.constScanLine(y), size_t(w) * 4);
        cairo_surface_mark_dirty(picture);
    }

    const double scale = std::min(m_paper.width() / w, m_paper.height() / h);
    cairo_t* cr = cairo_create(target);
    cairo_translate(cr, (m_paper.width() - w * scale) / 2, (m_paper.height() - h * scale) / 2);
    cairo_scale(cr, scale, scale);
    cairo_set_source_surface(cr, picture, 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
    cairo_paint(cr);
    cairo_show_page(cr);
    cairo_destroy(cr);
    cairo_surface_destroy(picture);
    if (Aborted())
        return false;
    ++m_pages;
    return true;
}

bool TIEDocWriter::Close() {
    if (m_impl->closed)
        return !Aborted();
    m_impl->closed = true;
    bool ok = true;
    if (m_impl->surface) {
        cairo_surface_finish(m_impl->surface);
        ok = !Aborted();
        cairo_surface_destroy(m_impl->surface);
        m_impl->surface = nullptr;
    }
    if (!m_impl->file.flush())
        ok = false;
    m_impl->file.close();
    if (!ok)
        m_impl->writeFailed = true;
    return ok;
}

namespace {
// A black-and-white page as grey bytes, eight pixels a table step: Qt converts 1-bit pages through
// 32-bit colour, several times slower on an A4 page.
QImage MonoToGrey(const QImage& mono) {
    const QList<QRgb> colours = mono.colorTable();
    const uchar c0 = colours.size() > 0 ? uchar(qGray(colours[0])) : 255;
    const uchar c1 = colours.size() > 1 ? uchar(qGray(colours[1])) : 0;
    const bool lsb = mono.format() == QImage::Format_MonoLSB;
    uchar table[256][8];
    for (int b = 0; b < 256; ++b)
        for (int i = 0; i < 8; ++i)
            table[b][i] = ((b >> (lsb ? i : 7 - i)) & 1) ? c1 : c0;
    QImage grey(mono.size(), QImage::Format_Grayscale8);
    const int w = mono.width(), whole = w / 8;
    for (int y = 0; y < mono.height(); ++y) {
        const uchar* src = mono.constScanLine(y);
        uchar* dst = grey.scanLine(y);
        for (int x = 0; x < whole; ++x)
            std::memcpy(dst + 8 * x, table[src[x]], 8);
        for (int x = whole * 8; x < w; ++x)
            dst[x] = table[src[x / 8]][x % 8];
    }
    return grey;
}
} // namespace

QByteArray EncodeJpeg(const QImage& image, int quality) {
    QImage source = image;
    if (image.format() == QImage::Format_Mono || image.format() == QImage::Format_MonoLSB)
        source = MonoToGrey(image);
    else if (image.format() == QImage::Format_Indexed8 && image.isGrayscale())
        source = image.convertToFormat(QImage::Format_Grayscale8);
    else if (image.hasAlphaChannel())
        source = FlattenOnWhite(image);
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    if (!source.save(&buffer, "JPG", quality))
        throw EVoskException(QStringLiteral("Das Bild kann nicht als JPEG geschrieben werden"));
    return out;
}

QImage ConvertToBWOrdered(const QImage& image) {
    if (image.format() == QImage::Format_Mono || image.format() == QImage::Format_MonoLSB)
        return image;
    return image.convertToFormat(QImage::Format_Mono, Qt::MonoOnly | Qt::OrderedDither);
}

double ReductionFactor(QSize page, QSize reference) {
    if (page.width() <= 0 || page.height() <= 0)
        return 1.0;
    return std::min({1.0, reference.width() * 18.0 / page.width(),
                     reference.height() * 18.0 / page.height()});
}

QImage ReducedPage(const QImage& page, double factor) {
    const QSize size(std::max(1, int(std::lround(page.width() * factor))),
                     std::max(1, int(std::lround(page.height() * factor))));
    QImage scaled = FlattenOnWhite(page).convertToFormat(QImage::Format_RGB32)
                        .scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return scaled.convertToFormat(QImage::Format_RGB888);
}

} // namespace Imaging

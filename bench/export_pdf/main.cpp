// ExportTIFFAsPDF of a stored 100-page document (70 G4, 20 grey JPEG, 10 colour JPEG pages, A4 at
// 300 dpi, fixed seed) against the bare work done with the raw libraries on the same local file:
// libtiff decoding each page, libjpeg encoding it at the same quality, cairo adding it to a PDF
// surface as JPEG data. Rounds alternate which side goes first; the figure is the median of the
// per-round ratios. Both PDFs are read back with Qt PDF and must agree on pages and paper.

#include <DemoPages.h>
#include <IEDocWriter.h>
#include <UDM1.h>
#include <UFileViewerTIFF.Print.h>
#include <Ukorvexclasses.Dokument.h>
#include <UnitTable.h>
#include <Vcl.Application.h>

#include <QBuffer>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPainter>
#include <QPdfDocument>
#include <QTemporaryDir>

#include <cairo-pdf.h>
#include <cairo.h>
#include <jpeglib.h>
#include <tiffio.h>

#include <algorithm>
#include <cstring>
#include <cstdio>
#include <vector>

namespace {

constexpr int kDpi = 300;
constexpr int kRounds = 5;

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

QImage ColourPage(int nr) {
    QImage page = DemoPages::TextPage(kDpi, 11, nr, 100, false, QStringLiteral("Angebot"))
                      .convertToFormat(QImage::Format_RGB32);
    QPainter p(&page);
    p.fillRect(QRect(150, 150, page.width() - 300, 260), QColor(30, 90, 170));
    p.fillRect(QRect(150, page.height() - 500, 700, 300), QColor(200, 60, 40));
    return page;
}

QByteArray Document() {
    Imaging::TTiffWriter writer;
    for (int i = 0; i < 100; ++i) {
        Imaging::TIOParams params;
        params.DpiX = params.DpiY = kDpi;
        if (i % 10 == 9) { // 10 colour pages
            params.TIFF_Compression = Imaging::ioTIFF_JPEG;
            writer.WritePage(ColourPage(i + 1), params);
        } else if (i % 10 == 2 || i % 10 == 6) { // 20 grey pages
            params.TIFF_Compression = Imaging::ioTIFF_JPEG;
            params.TIFF_JPEGColorSpace = Imaging::ioJPEG_GRAYLEV;
            writer.WritePage(DemoPages::TextPage(kDpi, 7, i + 1, 100, false), params);
        } else { // 70 black-and-white pages
            params.TIFF_Compression = Imaging::ioTIFF_G4FAX;
            writer.WritePage(DemoPages::TextPage(kDpi, 7, i + 1, 100, true), params);
        }
    }
    return writer.Finish();
}

// ---- the baseline ---------------------------------------------------------------------------

struct Jpeg {
    std::vector<unsigned char> bytes;
};

void jpegInit(j_compress_ptr) {}
boolean jpegEmpty(j_compress_ptr c) {
    auto* out = static_cast<Jpeg*>(c->client_data);
    const size_t used = out->bytes.size();
    out->bytes.resize(used * 2);
    c->dest->next_output_byte = out->bytes.data() + used;
    c->dest->free_in_buffer = out->bytes.size() - used;
    return TRUE;
}
void jpegTerm(j_compress_ptr c) {
    auto* out = static_cast<Jpeg*>(c->client_data);
    out->bytes.resize(out->bytes.size() - c->dest->free_in_buffer);
}

// Encodes rows of width x height with components 1 (grey) or 3 (RGB).
Jpeg encode(const std::vector<unsigned char>& pixels, int width, int height, int components) {
    Jpeg out;
    out.bytes.resize(1 << 20);
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    jpeg_destination_mgr dest;
    dest.init_destination = jpegInit;
    dest.empty_output_buffer = jpegEmpty;
    dest.term_destination = jpegTerm;
    dest.next_output_byte = out.bytes.data();
    dest.free_in_buffer = out.bytes.size();
    c.dest = &dest;
    c.client_data = &out;
    c.image_width = width;
    c.image_height = height;
    c.input_components = components;
    c.in_color_space = components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, Imaging::kExportJpegQuality, TRUE);
    jpeg_start_compress(&c, TRUE);
    const size_t stride = size_t(width) * components;
    while (c.next_scanline < c.image_height) {
        JSAMPROW row = const_cast<unsigned char*>(pixels.data() + c.next_scanline * stride);
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    return out;
}

void releaseJpeg(void* p) { delete static_cast<Jpeg*>(p); }

int baseline(const QString& tiffFile, const QString& pdfFile) {
    TIFF* tif = TIFFOpen(tiffFile.toLocal8Bit().constData(), "r");
    if (!tif)
        return 0;
    cairo_surface_t* pdf = nullptr;
    int pages = 0;
    // 1-bit bytes to grey bytes, for both meanings of a set bit.
    unsigned char white1[256][8], black1[256][8];
    for (int b = 0; b < 256; ++b)
        for (int i = 0; i < 8; ++i) {
            const bool set = (b >> (7 - i)) & 1;
            white1[b][i] = set ? 0 : 255;
            black1[b][i] = set ? 255 : 0;
        }
    std::vector<unsigned char> pixels, row;
    do {
        uint32_t w = 0, h = 0;
        uint16_t bits = 1, spp = 1, photometric = 0, compression = 1;
        TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w);
        TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &h);
        TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bits);
        TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &spp);
        TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &compression);
        TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric);
        if (compression == COMPRESSION_JPEG && photometric == PHOTOMETRIC_YCBCR)
            TIFFSetField(tif, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
        const int components = spp >= 3 ? 3 : 1;
        pixels.resize(size_t(w) * h * components);
        row.resize(size_t(TIFFScanlineSize(tif)));
        for (uint32_t y = 0; y < h; ++y) {
            TIFFReadScanline(tif, row.data(), y);
            unsigned char* dst = pixels.data() + size_t(y) * w * components;
            if (bits == 1) {
                // Eight pixels a table step.
                const unsigned char(*table)[8] = photometric == PHOTOMETRIC_MINISWHITE ? white1 : black1;
                const uint32_t whole = w / 8;
                for (uint32_t x = 0; x < whole; ++x)
                    std::memcpy(dst + 8 * x, table[row[x]], 8);
                for (uint32_t x = whole * 8; x < w; ++x)
                    dst[x] = table[row[x / 8]][x % 8];
            } else {
                std::copy(row.begin(), row.begin() + size_t(w) * components, dst);
            }
        }
        auto* jpeg = new Jpeg(encode(pixels, int(w), int(h), components));
        if (!pdf)
            pdf = w > h ? cairo_pdf_surface_create(pdfFile.toLocal8Bit().constData(), 842, 595)
                        : cairo_pdf_surface_create(pdfFile.toLocal8Bit().constData(), 595, 842);
        cairo_surface_t* image = cairo_image_surface_create(CAIRO_FORMAT_RGB24, int(w), int(h));
        cairo_surface_set_mime_data(image, CAIRO_MIME_TYPE_JPEG, jpeg->bytes.data(),
                                    jpeg->bytes.size(), releaseJpeg, jpeg);
        cairo_t* cr = cairo_create(pdf);
        const double s = std::min(595.0 / w, 842.0 / h);
        cairo_translate(cr, (595 - w * s) / 2, (842 - h * s) / 2);
        cairo_scale(cr, s, s);
        cairo_set_source_surface(cr, image, 0, 0);
        cairo_paint(cr);
        cairo_show_page(cr);
        cairo_destroy(cr);
        cairo_surface_destroy(image);
        ++pages;
    } while (TIFFReadDirectory(tif));
    TIFFClose(tif);
    if (pdf) {
        cairo_surface_finish(pdf);
        cairo_surface_destroy(pdf);
    }
    return pages;
}

bool samePdfs(const QString& a, const QString& b) {
    QPdfDocument pa, pb;
    if (pa.load(a) != QPdfDocument::Error::None || pb.load(b) != QPdfDocument::Error::None)
        return false;
    if (pa.pageCount() != 100 || pb.pageCount() != 100)
        return false;
    for (int i = 0; i < 100; ++i)
        if (pa.pagePointSize(i).toSize() != pb.pagePointSize(i).toSize())
            return false;
    return true;
}

} // namespace

int main(int argc, char** argv) {
    Vcl::TApplication app(argc, argv);
    TDM1 dm;
    dm.Connect();
    Rtl::Package::Get(QStringLiteral("hadrel")).Initialize();
    dm.ExecSQL(QStringLiteral("INSERT INTO dokutypes (dt_id, dt_descr) VALUES ('BENCH', 'Benchmark') "
                              "ON CONFLICT DO NOTHING"));
    QElapsedTimer setup;
    setup.start();
    QBuffer file;
    file.setData(Document());
    file.open(QIODevice::ReadOnly);
    TDokument doc;
    TDokumentInsertData data;
    data.Active = true;
    data.Name = QStringLiteral("Export 100 Seiten");
    data.DokType = QStringLiteral("BENCH");
    doc.SetInsertData(data);
    const int id = doc.DMSAddFileAsBLOB(file, QStringLiteral("bench.tiff"),
                                        QStringLiteral("adressen"), QStringLiteral("1"));
    doc.AssignToDokId(id);
    std::printf("setup: 100 pages (70 G4, 20 grey JPEG, 10 colour JPEG; A4 %d dpi), %.1f MB, "
                "stored in %.1f s\n",
                kDpi, file.size() / 1048576.0, setup.elapsed() / 1000.0);

    QTemporaryDir dir;
    const QString ourPdf = dir.filePath(QStringLiteral("ours.pdf"));
    const QString basePdf = dir.filePath(QStringLiteral("base.pdf"));
    const QString local = doc.DMSGetFile({}, true, false);

    // Warm both, check that they agree.
    ExportTIFFAsPDF(&doc, ourPdf);
    if (baseline(local, basePdf) != 100 || !samePdfs(ourPdf, basePdf)) {
        std::fprintf(stderr, "the export and the baseline disagree on pages or paper\n");
        return 1;
    }

    std::vector<double> ours, base, ratios;
    for (int r = 0; r < kRounds; ++r) {
        QElapsedTimer t;
        double a = 0, b = 0;
        for (int side = 0; side < 2; ++side) {
            const bool runOurs = (side == 0) == (r % 2 == 0);
            t.start();
            if (runOurs)
                ExportTIFFAsPDF(&doc, ourPdf);
            else
                baseline(local, basePdf);
            (runOurs ? a : b) = t.nsecsElapsed() / 1e6;
        }
        ours.push_back(a);
        base.push_back(b);
        ratios.push_back(a / b);
    }
    std::printf("\n%-44s %12s %12s\n", "100 pages to PDF (ms, median of 5)", "export", "baseline");
    std::printf("%-44s %12.0f %12.0f\n", "ExportTIFFAsPDF vs libtiff+libjpeg+cairo", median(ours),
                median(base));
    std::printf("%-44s %12.1f %12.1f\n", "PDF size (MB)", QFileInfo(ourPdf).size() / 1048576.0,
                QFileInfo(basePdf).size() / 1048576.0);
    std::printf("target: ratio <= 1.3\n\n");
    std::printf("figure export_vs_cairo %.2f\n", median(ratios));
    return 0;
}

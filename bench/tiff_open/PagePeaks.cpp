#include "PagePeaks.h"

#include "../ProcMemory.h"
#include "../Timing.h"

#include <PageCodec.h>
#include <UFileViewerTIFF.h>
#include <Ukorvexclasses.Dokument.h>
#include <VoskExceptions.h>
#include <view/TImageEnVect.h>

#include <QBuffer>
#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <libpq-fe.h>
#include <libpq/libpq-fs.h>
#include <tiffio.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <vector>

namespace {

const QSize kViewerSize(1200, 900);
constexpr int kRounds = 3;

quint64 fnv(quint64 h, const uchar* p, qsizetype n) {
    for (qsizetype i = 0; i < n; ++i)
        h = (h ^ p[i]) * 1099511628211ull;
    return h;
}
constexpr quint64 kFnvStart = 1469598103934665603ull;

// ---- the pages, written by libtiff ----------------------------------------------------------

QByteArray writeWithLibtiff(const std::function<void(TIFF*)>& write) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("page.tif"));
    TIFF* tif = TIFFOpen(path.toLocal8Bit().constData(), "w");
    write(tif);
    TIFFClose(tif);
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

// An 8-bit colour page of width x height in strips of rows.
void setColourPage(TIFF* tif, uint32_t width, uint32_t height, int compression, int photometric,
                   uint32_t rows) {
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, height);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, compression);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, photometric);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, rows);
}

// 16000 x 16000 RGB, blank, in ZSTD strips of 512 rows.
QByteArray zstdBomb() {
    return writeWithLibtiff([](TIFF* tif) {
        const uint32_t side = 16000, rows = 512;
        setColourPage(tif, side, side, COMPRESSION_ZSTD, PHOTOMETRIC_RGB, rows);
        TIFFSetField(tif, TIFFTAG_ZSTD_LEVEL, 19);
        const std::vector<uint8_t> strip(size_t(side) * 3 * rows, 0);
        for (uint32_t s = 0; s * rows < side; ++s)
            TIFFWriteEncodedStrip(tif, s, const_cast<uint8_t*>(strip.data()),
                                  tmsize_t(std::min(rows, side - s * rows)) * side * 3);
    });
}

// A colour scan of an A0 drawing at 300 dpi, 10000 x 14000: paper, lines of text and a picture,
// JPEG in YCbCr as scanners store colour.
QByteArray largeScan() {
    return writeWithLibtiff([](TIFF* tif) {
        const uint32_t width = 10000, height = 14000;
        setColourPage(tif, width, height, COMPRESSION_JPEG, PHOTOMETRIC_YCBCR, 16);
        TIFFSetField(tif, TIFFTAG_JPEGQUALITY, 80);
        TIFFSetField(tif, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
        std::vector<uint8_t> row(size_t(width) * 3);
        for (uint32_t y = 0; y < height; ++y) {
            const bool text = y % 60 < 12;
            for (uint32_t x = 0; x < width; ++x) {
                const bool picture = x > 5000 && y > 1500 && y < 6500;
                for (uint32_t c = 0; c < 3; ++c)
                    row[x * 3 + c] = picture ? uint8_t((x / 9 + y / 7 + c * 80) & 0xff)
                                             : text && (x / 23) % 4 ? uint8_t(30) : uint8_t(245);
            }
            TIFFWriteScanline(tif, row.data(), y, 0);
        }
    });
}

// ---- the floor: libpq and libtiff alone -------------------------------------------------------

struct Memory {
    const std::vector<char>* bytes;
    toff_t pos = 0;
};
tmsize_t memRead(thandle_t h, void* buf, tmsize_t n) {
    auto* m = static_cast<Memory*>(static_cast<void*>(h));
    const toff_t size = m->bytes->size();
    const tmsize_t got = m->pos >= size ? 0 : tmsize_t(std::min<toff_t>(toff_t(n), size - m->pos));
    std::memcpy(buf, m->bytes->data() + m->pos, size_t(got));
    m->pos += toff_t(got);
    return got;
}
tmsize_t memWrite(thandle_t, void*, tmsize_t) { return -1; }
toff_t memSeek(thandle_t h, toff_t off, int whence) {
    auto* m = static_cast<Memory*>(static_cast<void*>(h));
    m->pos = whence == SEEK_SET ? off : whence == SEEK_CUR ? m->pos + off : m->bytes->size() + off;
    return m->pos;
}
int memClose(thandle_t) { return 0; }
toff_t memSize(thandle_t h) { return static_cast<Memory*>(static_cast<void*>(h))->bytes->size(); }
int noMap(thandle_t, void**, toff_t*) { return 0; }
void noUnmap(thandle_t, void*, toff_t) {}

int floorChild(int pdId) {
    PGconn* conn = PQconnectdb("");
    const QByteArray id = QByteArray::number(pdId);
    const char* values[] = {id.constData()};
    PGresult* file = PQexecParams(conn,
                                  "SELECT f.oid, f.size FROM dms_file f JOIN picndoku ON "
                                  "pd_dmsremotefile = f.name WHERE pd_id = $1",
                                  1, nullptr, values, nullptr, nullptr, 0);
    const Oid oid = Oid(std::strtoul(PQgetvalue(file, 0, 0), nullptr, 10));
    const size_t size = size_t(std::strtoull(PQgetvalue(file, 0, 1), nullptr, 10));
    PQclear(file);
    const long before = BenchMemory::StatusKb("VmRSS:");
    BenchMemory::ResetPeak();
    std::vector<char> bytes(size);
    PQclear(PQexec(conn, "BEGIN"));
    const int fd = lo_open(conn, oid, INV_READ);
    for (size_t at = 0; at < size;) {
        const int got = lo_read(conn, fd, bytes.data() + at, std::min<size_t>(size - at, 8 << 20));
        if (got <= 0)
            return 1;
        at += size_t(got);
    }
    lo_close(conn, fd);
    PQclear(PQexec(conn, "COMMIT"));
    Memory m{&bytes};
    TIFF* tif = TIFFClientOpen("lo", "r", static_cast<thandle_t>(static_cast<void*>(&m)), memRead,
                               memWrite, memSeek, memClose, memSize, noMap, noUnmap);
    uint32_t w = 0, h = 0;
    uint16_t spp = 1, photometric = 0, compression = 1;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &h);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &spp);
    TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric);
    TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &compression);
    const qint64 decoded = qint64(w) * h * spp;
    int shown = 0;
    quint64 hash = kFnvStart;
    if (decoded <= Imaging::kMaxDecodedBytes) {
        if (compression == COMPRESSION_JPEG && photometric == PHOTOMETRIC_YCBCR)
            TIFFSetField(tif, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
        std::vector<uint8_t> page(static_cast<size_t>(decoded));
        const tmsize_t strip = TIFFStripSize(tif);
        for (uint32_t s = 0, at = 0; s < TIFFNumberOfStrips(tif); ++s) {
            const tmsize_t got = TIFFReadEncodedStrip(tif, s, page.data() + at,
                                                      std::min<tmsize_t>(strip, tmsize_t(page.size() - at)));
            if (got < 0)
                return 1;
            at += uint32_t(got);
        }
        hash = fnv(hash, page.data(), qsizetype(page.size()));
        shown = 1;
    }
    TIFFClose(tif);
    PQfinish(conn);
    std::printf("%d %u %u %lld %ld %ld %016llx\n", shown, w, h, decoded, before,
                BenchMemory::StatusKb("VmHWM:"), hash);
    return 0;
}

// ---- the children, from the parent ------------------------------------------------------------

struct Peak {
    bool shown = false;
    QSize size;
    qint64 bytes = 0;
    long beforeKb = 0;
    long peakKb = 0;
    QString checksum;
    double ratio() const { return bytes > 0 ? double(peakKb - beforeKb) * 1024.0 / double(bytes) : 0; }
};

Peak runChild(int pdId, bool floor) {
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(),
                {floor ? QStringLiteral("--peak-floor") : QStringLiteral("--peak"), QString::number(pdId)});
    child.waitForFinished(300000);
    const QStringList out = QString::fromLatin1(child.readAllStandardOutput()).split(u'\n');
    for (auto line = out.crbegin(); line != out.crend(); ++line) {
        const QStringList f = line->split(u' ', Qt::SkipEmptyParts);
        if (f.size() == 7)
            return {f[0] == u"1", QSize(f[1].toInt(), f[2].toInt()), f[3].toLongLong(), f[4].toLong(),
                    f[5].toLong(), f[6]};
    }
    std::fprintf(stderr, "the page child for document %d printed nothing (exit %d)\n", pdId, child.exitCode());
    return {};
}

} // namespace

int StoreBenchFile(const QByteArray& bytes, const QString& caption) {
    QBuffer file;
    file.setData(bytes);
    file.open(QIODevice::ReadOnly);
    TDokument doc;
    TDokumentInsertData data;
    data.Active = true;
    data.Name = caption;
    data.DokType = QStringLiteral("BENCH");
    doc.SetInsertData(data);
    return doc.DMSAddFileAsBLOB(file, QStringLiteral("bench.tiff"), QStringLiteral("adressen"),
                                QStringLiteral("1"));
}

int PagePeakChild(int pdId, bool floor) {
    if (floor)
        return floorChild(pdId);
    TDokument doc;
    doc.AssignToDokId(pdId);
    TFileViewerFrameTIFF viewer(nullptr, nullptr, false, nullptr);
    viewer.resize(kViewerSize);
    viewer.show();
    QCoreApplication::processEvents();
    const long before = BenchMemory::StatusKb("VmRSS:");
    BenchMemory::ResetPeak();
    int shown = 1;
    try {
        viewer.Recreate(&doc, false);
    } catch (const EVoskException& e) {
        // What the preview would show the user.
        std::fprintf(stderr, "%s\n", e.Message().toLocal8Bit().constData());
        shown = 0;
    }
    viewer.imCurrentPage->viewport()->repaint();
    QCoreApplication::processEvents();
    const long peak = BenchMemory::StatusKb("VmHWM:");
    const QImage& page = viewer.imCurrentPage->Model().Bitmap();
    quint64 hash = kFnvStart;
    for (int y = 0; y < page.height(); ++y)
        hash = fnv(hash, page.constScanLine(y), qsizetype(page.width()) * page.depth() / 8);
    std::printf("%d %d %d %lld %ld %ld %016llx\n", shown, page.width(), page.height(),
                (long long)page.sizeInBytes(), before, peak, hash);
    return 0;
}

bool MeasurePagePeaks() {
    const QByteArray bombFile = zstdBomb();
    const QByteArray scanFile = largeScan();
    const int bomb = StoreBenchFile(bombFile, QStringLiteral("ZSTD 16000 x 16000"));
    const int scan = StoreBenchFile(scanFile, QStringLiteral("Farbscan 10000 x 14000"));
    std::printf("pages: ZSTD 16000 x 16000 RGB in %lld bytes (document %d), JPEG 10000 x 14000 RGB in "
                "%lld bytes (document %d)\n",
                (long long)bombFile.size(), bomb, (long long)scanFile.size(), scan);
    std::vector<double> bombPeak, bombFloor, ratio, floorRatio;
    for (int round = 0; round < kRounds; ++round) {
        Peak ours, base, oursScan, baseScan;
        BenchTiming::InTurn(
            round,
            [&] {
                ours = runChild(bomb, false);
                oursScan = runChild(scan, false);
            },
            [&] {
                base = runChild(bomb, true);
                baseScan = runChild(scan, true);
            });
        if (ours.shown || base.shown || !oursScan.shown || !baseScan.shown ||
            oursScan.size != QSize(10000, 14000) || oursScan.checksum != baseScan.checksum) {
            std::fprintf(stderr, "the viewer and libtiff disagree on the pages (shown %d %d %d %d, %s / %s)\n",
                         ours.shown, base.shown, oursScan.shown, baseScan.shown,
                         qPrintable(oursScan.checksum), qPrintable(baseScan.checksum));
            return false;
        }
        bombPeak.push_back(ours.peakKb / 1024.0);
        bombFloor.push_back(base.peakKb / 1024.0);
        ratio.push_back(oursScan.ratio());
        floorRatio.push_back(baseScan.ratio());
    }
    using BenchTiming::Median;
    std::printf("%-60s %8.1f MB\n", "viewer refusing the ZSTD page, peak of the fresh process", Median(bombPeak));
    std::printf("%-60s %8.1f MB\n", "libpq + libtiff refusing it by its header, peak", Median(bombFloor));
    std::printf("%-60s %8.2f\n", "viewer showing the 10000 x 14000 scan, peak / decoded size", Median(ratio));
    std::printf("%-60s %8.2f\n", "libpq + libtiff decoding it into one buffer, peak / decoded", Median(floorRatio));
    std::printf("figure bomb_peak_mb %.1f\n", Median(bombPeak));
    std::printf("figure large_page_peak_ratio %.2f\n", Median(ratio));
    return true;
}

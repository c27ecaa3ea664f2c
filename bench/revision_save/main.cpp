// Saving a turned page of a 100-page document as a new revision: the viewer's quarter turn and
// btEditSaveClick (the stored file read and checked, pages copied with their compressed data, the
// turned one encoded, the file streamed into the store, the revision row, the annotation slots,
// the stamp checks) against the plain way: the stored file read by lo_read in 8 MiB chunks, its
// size and SHA-256 checked against its record, libtiff writing the same 100 pages into memory
// (99 raw strip copies, the turned page encoded), stored by one lo_from_bytea. The document: 70
// G4, 20 grey JPEG and 10 colour JPEG pages, A4 at 300 dpi from a fixed seed, five annotations a
// page and a stamp on every fifth. Rounds alternate which side goes first; the figures are the
// medians of the per-round ratios of wall time and, beside it, of this process's CPU time (the
// server's share, the same large-object reads and writes on both sides, is in the wall time
// only). Both sides' files are checked: same page count, the same strips for the copied pages.
//
//   revision_save [--rounds N]

#include "../Timing.h"

#include <DemoPages.h>
#include <Dataclient_files.h>
#include <UDM1.h>
#include <UFileViewerTIFF.h>
#include <Ukorvexclasses.Dokument.h>
#include <UnitTable.h>
#include <Vcl.Application.h>
#include <VoskDatabase.h>
#include <view/TImageEnVect.h>

#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>

#include <libpq-fe.h>
#include <libpq/libpq-fs.h>
#include <openssl/evp.h>
#include <QtEndian>
#include <tiffio.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <cstdio>
#include <vector>

namespace {

constexpr int kPages = 100;
constexpr int kDpi = 300;
int kRounds = 7;

// 70 G4, 20 grey JPEG, 10 colour JPEG, mixed through the document.
QByteArray buildDocument() {
    Imaging::TTiffWriter w;
    for (int i = 0; i < kPages; ++i) {
        Imaging::TIOParams p;
        p.DpiX = p.DpiY = kDpi;
        const int kind = i % 10; // 0..6 G4, 7 and 8 grey, 9 colour
        if (kind < 7) {
            p.TIFF_Compression = Imaging::ioTIFF_G4FAX;
            w.WritePage(DemoPages::TextPage(kDpi, 11, i + 1, kPages, true), p);
        } else if (kind < 9) {
            p.TIFF_Compression = Imaging::ioTIFF_JPEG;
            p.TIFF_JPEGColorSpace = Imaging::ioJPEG_GRAYLEV;
            w.WritePage(DemoPages::TextPage(kDpi, 11, i + 1, kPages, false), p);
        } else {
            p.TIFF_Compression = Imaging::ioTIFF_JPEG;
            QImage page = DemoPages::TextPage(kDpi, 11, i + 1, kPages, false).convertToFormat(QImage::Format_RGB888);
            for (int y = 0; y < page.height(); y += 4)
                for (int x = 0; x < 300; ++x)
                    page.setPixelColor(x, y, QColor(30, 90, 200));
            w.WritePage(page, p);
        }
    }
    return w.Finish();
}

// ---- the baseline: libtiff and lo_write ---------------------------------------------------------

// A TIFF in memory for libtiff: read from the bytes given, or written into a growing buffer.
struct MemoryFile {
    QByteArray bytes;
    toff_t at = 0;

    static tmsize_t Read(thandle_t h, void* buf, tmsize_t n) {
        auto* f = static_cast<MemoryFile*>(h);
        const tmsize_t got = std::max<tmsize_t>(0, std::min<tmsize_t>(n, tmsize_t(f->bytes.size()) - tmsize_t(f->at)));
        std::memcpy(buf, f->bytes.constData() + f->at, size_t(got));
        f->at += toff_t(got);
        return got;
    }
    static tmsize_t Write(thandle_t h, void* buf, tmsize_t n) {
        auto* f = static_cast<MemoryFile*>(h);
        const qsizetype end = qsizetype(f->at) + qsizetype(n);
        if (end > f->bytes.size()) {
            if (end > f->bytes.capacity())
                f->bytes.reserve(std::max(end, 2 * f->bytes.capacity()));
            f->bytes.resize(end);
        }
        std::memcpy(f->bytes.data() + f->at, buf, size_t(n));
        f->at = toff_t(end);
        return n;
    }
    static toff_t Seek(thandle_t h, toff_t off, int whence) {
        auto* f = static_cast<MemoryFile*>(h);
        f->at = whence == SEEK_SET ? off : whence == SEEK_CUR ? f->at + off : toff_t(f->bytes.size()) + off;
        return f->at;
    }
    static int Close(thandle_t) { return 0; }
    static toff_t Size(thandle_t h) { return toff_t(static_cast<MemoryFile*>(h)->bytes.size()); }
    static int Map(thandle_t, void**, toff_t*) { return 0; }
    static void Unmap(thandle_t, void*, toff_t) {}

    TIFF* Open(const char* mode) {
        return TIFFClientOpen("memory", mode, this, Read, Write, Seek, Close, Size, Map, Unmap);
    }
};

// The raw strips of every page of a file, for the check.
QList<QByteArray> strips(const QByteArray& bytes) {
    QList<QByteArray> out;
    MemoryFile file{bytes};
    TIFF* in = file.Open("r");
    do {
        QByteArray page;
        for (tstrip_t s = 0; s < TIFFNumberOfStrips(in); ++s) {
            QByteArray raw(int(TIFFRawStripSize(in, s)), Qt::Uninitialized);
            TIFFReadRawStrip(in, s, raw.data(), raw.size());
            page += raw;
        }
        out << page;
    } while (TIFFReadDirectory(in));
    TIFFClose(in);
    return out;
}

// The current file as the store holds it: its record, then its large object read in 8 MiB
// chunks straight into a buffer of the recorded size (one lo_get of 49 MB costs the server far
// more) and hashed as the chunks arrive; size and SHA-256 checked against the record, as any
// reader of a stored file must before trusting it.
QByteArray readStored(PGconn* conn, const QByteArray& name) {
    const auto fail = [conn](const char* what) {
        std::fprintf(stderr, "baseline read: %s %s\n", what, PQerrorMessage(conn));
        std::exit(1);
    };
    const char* values[] = {name.constData()};
    PGresult* r = PQexecParams(conn, "SELECT size, sha256, oid FROM dms_file WHERE name = $1", 1,
                               nullptr, values, nullptr, nullptr, 1);
    if (PQresultStatus(r) != PGRES_TUPLES_OK || PQntuples(r) != 1)
        fail("record");
    const qint64 size = qFromBigEndian<qint64>(PQgetvalue(r, 0, 0));
    const QByteArray sha256(PQgetvalue(r, 0, 1), PQgetlength(r, 0, 1));
    const Oid oid = qFromBigEndian<quint32>(PQgetvalue(r, 0, 2));
    PQclear(r);
    QByteArray bytes(qsizetype(size), Qt::Uninitialized);
    PQclear(PQexec(conn, "BEGIN"));
    const int fd = lo_open(conn, oid, INV_READ);
    if (fd < 0)
        fail("lo_open");
    EVP_MD_CTX* md = EVP_MD_CTX_new();
    EVP_DigestInit_ex(md, EVP_sha256(), nullptr);
    qint64 got = 0;
    while (got < size) {
        const int n = lo_read(conn, fd, bytes.data() + got, size_t(std::min<qint64>(8 << 20, size - got)));
        if (n <= 0)
            fail("lo_read");
        EVP_DigestUpdate(md, bytes.constData() + got, size_t(n));
        got += n;
    }
    lo_close(conn, fd);
    PQclear(PQexec(conn, "COMMIT"));
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int n = 0;
    EVP_DigestFinal_ex(md, digest, &n);
    EVP_MD_CTX_free(md);
    if (QByteArray(reinterpret_cast<const char*>(digest), int(n)).toHex() != sha256)
        fail("the stored file does not match its record");
    return bytes;
}

template <class T> void copyTag(TIFF* in, TIFF* out, ttag_t tag) {
    T v;
    if (TIFFGetField(in, tag, &v))
        TIFFSetField(out, tag, v);
}

// Writes the pages of source into a file in memory, page turned encoded from turned (grey JPEG
// or G4 as it was), every other page's strips copied; then stores the bytes with one
// lo_from_bytea and commits. Returns the bytes written.
QByteArray baseline(const QByteArray& source, int turnedPage, const QImage& turned, PGconn* conn) {
    MemoryFile inFile{source}, outFile;
    TIFF* in = inFile.Open("r");
    TIFF* out = outFile.Open("w");
    int page = 0;
    do {
        uint32_t w = 0, h = 0, rps = 0;
        uint16_t bps = 1, spp = 1, photo = 0, comp = 1, planar = 1;
        TIFFGetField(in, TIFFTAG_IMAGEWIDTH, &w);
        TIFFGetField(in, TIFFTAG_IMAGELENGTH, &h);
        TIFFGetFieldDefaulted(in, TIFFTAG_BITSPERSAMPLE, &bps);
        TIFFGetFieldDefaulted(in, TIFFTAG_SAMPLESPERPIXEL, &spp);
        TIFFGetField(in, TIFFTAG_PHOTOMETRIC, &photo);
        TIFFGetField(in, TIFFTAG_COMPRESSION, &comp);
        TIFFGetFieldDefaulted(in, TIFFTAG_PLANARCONFIG, &planar);
        TIFFGetFieldDefaulted(in, TIFFTAG_ROWSPERSTRIP, &rps);
        if (page == turnedPage) {
            TIFFSetField(out, TIFFTAG_IMAGEWIDTH, uint32_t(turned.width()));
            TIFFSetField(out, TIFFTAG_IMAGELENGTH, uint32_t(turned.height()));
            TIFFSetField(out, TIFFTAG_BITSPERSAMPLE, bps);
            TIFFSetField(out, TIFFTAG_SAMPLESPERPIXEL, spp);
            TIFFSetField(out, TIFFTAG_PHOTOMETRIC, photo);
            TIFFSetField(out, TIFFTAG_COMPRESSION, comp);
            TIFFSetField(out, TIFFTAG_PLANARCONFIG, planar);
            TIFFSetField(out, TIFFTAG_ROWSPERSTRIP, uint32_t(turned.height()));
            copyTag<float>(in, out, TIFFTAG_XRESOLUTION);
            copyTag<float>(in, out, TIFFTAG_YRESOLUTION);
            copyTag<uint16_t>(in, out, TIFFTAG_RESOLUTIONUNIT);
            for (int y = 0; y < turned.height(); ++y)
                TIFFWriteScanline(out, const_cast<uchar*>(turned.constScanLine(y)), uint32_t(y), 0);
        } else {
            TIFFSetField(out, TIFFTAG_IMAGEWIDTH, w);
            TIFFSetField(out, TIFFTAG_IMAGELENGTH, h);
            TIFFSetField(out, TIFFTAG_BITSPERSAMPLE, bps);
            TIFFSetField(out, TIFFTAG_SAMPLESPERPIXEL, spp);
            TIFFSetField(out, TIFFTAG_PHOTOMETRIC, photo);
            TIFFSetField(out, TIFFTAG_COMPRESSION, comp);
            TIFFSetField(out, TIFFTAG_PLANARCONFIG, planar);
            TIFFSetField(out, TIFFTAG_ROWSPERSTRIP, rps);
            copyTag<float>(in, out, TIFFTAG_XRESOLUTION);
            copyTag<float>(in, out, TIFFTAG_YRESOLUTION);
            copyTag<uint16_t>(in, out, TIFFTAG_RESOLUTIONUNIT);
            if (comp == COMPRESSION_JPEG) {
                uint32_t n = 0;
                void* tables = nullptr;
                if (TIFFGetField(in, TIFFTAG_JPEGTABLES, &n, &tables))
                    TIFFSetField(out, TIFFTAG_JPEGTABLES, n, tables);
                uint16_t hs = 1, vs = 1;
                if (TIFFGetField(in, TIFFTAG_YCBCRSUBSAMPLING, &hs, &vs))
                    TIFFSetField(out, TIFFTAG_YCBCRSUBSAMPLING, hs, vs);
            }
            std::vector<char> raw;
            for (tstrip_t s = 0; s < TIFFNumberOfStrips(in); ++s) {
                raw.resize(size_t(TIFFRawStripSize(in, s)));
                const tmsize_t got = TIFFReadRawStrip(in, s, raw.data(), tmsize_t(raw.size()));
                TIFFWriteRawStrip(out, s, raw.data(), got);
            }
        }
        TIFFWriteDirectory(out);
        ++page;
    } while (TIFFReadDirectory(in));
    TIFFClose(in);
    TIFFClose(out);

    const char* values[] = {outFile.bytes.constData()};
    const int lengths[] = {int(outFile.bytes.size())};
    const int formats[] = {1};
    PGresult* r = PQexecParams(conn, "SELECT lo_from_bytea(0, $1)", 1, nullptr, values, lengths,
                               formats, 1);
    if (PQresultStatus(r) != PGRES_TUPLES_OK)
        std::fprintf(stderr, "lo_from_bytea: %s", PQerrorMessage(conn));
    PQclear(r);
    return outFile.bytes;
}

} // namespace

int main(int argc, char** argv) {
    Vcl::TApplication app(argc, argv);
    TDM1 dm;
    dm.Connect();
    dm.SetLoginName(QStringLiteral("bench"));
    Rtl::Package::Get(QStringLiteral("hadrel")).Initialize();
    const QStringList args = QCoreApplication::arguments();
    if (args.value(1) == QLatin1String("--rounds"))
        kRounds = qMax(1, args.value(2).toInt());
    dm.ExecSQL(QStringLiteral("INSERT INTO dokutypes (dt_id, dt_descr) VALUES ('BENCH', 'Benchmark') "
                              "ON CONFLICT DO NOTHING"));

    QElapsedTimer setup;
    setup.start();
    const QByteArray original = buildDocument();
    TDokument doc;
    {
        QBuffer file;
        file.setData(original);
        file.open(QIODevice::ReadOnly);
        TDokumentInsertData data;
        data.Active = true;
        data.Name = QStringLiteral("100 Seiten");
        data.DokType = QStringLiteral("BENCH");
        doc.SetInsertData(data);
        doc.DMSAddFileAsBLOB(file, QStringLiteral("bench.tiff"), QStringLiteral("adressen"), QStringLiteral("1"));
    }
    QImage stamp(400, 200, QImage::Format_RGB888);
    stamp.fill(QColor(200, 40, 40));
    TFileViewerFrameTIFF viewer(nullptr, nullptr, true, nullptr);
    viewer.resize(1200, 900);
    viewer.Recreate(&doc, true);
    for (int i = 0; i < kPages; ++i) {
        viewer.LoadImage(i, true);
        for (int a = 0; a < 4; ++a)
            viewer.AddAnnotHighlight(QRect(100 + a * 300, 200 + a * 150, 250, 60), 65535);
        viewer.AddAnnotText(QRect(300, 1500, 900, 80), QStringLiteral("Geprüft %1").arg(i + 1), 0, 34,
                            QStringLiteral("Arial"), false, false, -1, 0);
        if (i % 5 == 0)
            viewer.AddAnnotImage(QRect(1500, 2800, 400, 200), stamp, QStringLiteral("Geprüft"));
        viewer.SaveAnnotationsOfPage(i);
    }
    viewer.btEditSaveClick(nullptr);
    std::printf("setup: %d pages (70 G4, 20 grey JPEG, 10 colour JPEG, A4 %d dpi), %d annotations, "
                "stored in %.1f s; file %.1f MB\n",
                kPages, kDpi, kPages * 5 + kPages / 5, setup.elapsed() / 1000.0, original.size() / 1e6);

    PGconn* raw = PQconnectdb("");
    std::vector<double> ours, base;
    BenchTiming::PairedRatio wall, cpu;
    QList<QByteArray> oursStrips, baseStrips;
    for (int round = 0; round < kRounds; ++round) {
        // Untimed: the viewer opened on the current revision with page 1 shown, and the
        // baseline's page 1 decoded. Both read the stored file itself inside the timed save.
        viewer.Recreate(&doc, true);
        viewer.LoadImage(0, true);
        const QByteArray name = doc.DMSRemoteFilename().toUtf8();
        Imaging::TTiffReader reader(DCFileMethods().ReadFile(doc.DMSRemoteFilename()));
        reader.OpenPage(0);
        const QImage decoded = reader.Decode();

        BenchTiming::Stamp a, b;
        QByteArray written;
        BenchTiming::InTurn(
            round,
            [&] {
                const auto t = BenchTiming::Stamp::Now();
                viewer.btEditRotateRightClick(nullptr);
                viewer.btEditSaveClick(nullptr);
                a = t.Elapsed();
            },
            [&] {
                const auto t = BenchTiming::Stamp::Now();
                const QByteArray current = readStored(raw, name);
                QImage turned = decoded.transformed(QTransform().rotate(270));
                written = baseline(current, 0, turned, raw);
                b = t.Elapsed();
            });
        ours.push_back(a.WallMs);
        base.push_back(b.WallMs);
        wall.Add(a.WallMs, b.WallMs);
        cpu.Add(a.CpuMs, b.CpuMs);
        if (round == 0) {
            oursStrips = strips(DCFileMethods().ReadFile(doc.DMSRemoteFilename()));
            baseStrips = strips(written);
        }
    }
    PQfinish(raw);
    if (oursStrips.size() != kPages || baseStrips.size() != kPages ||
        oursStrips.mid(1) != baseStrips.mid(1)) {
        std::fprintf(stderr, "the viewer's file and libtiff's differ in the copied pages\n");
        return 1;
    }

    std::printf("\n%-58s %10s\n", "", "median");
    std::printf("%-58s %8.1f ms\n", "viewer: turn page 1, btEditSaveClick (new revision)", BenchTiming::Median(ours));
    std::printf("%-58s %8.1f ms\n", "libtiff: lo_read + SHA-256, turn, 99 copies + 1 encode, store", BenchTiming::Median(base));
    std::printf("%-58s %8.2f\n", "ratio (median of per-round ratios)", wall.Median());
    std::printf("%-58s %8.2f\n\n", "ratio of this process's CPU time", cpu.Median());
    std::printf("figure save_vs_libtiff %.2f\n", wall.Median());
    std::printf("figure save_vs_libtiff_cpu %.2f\n", cpu.Median());
    std::printf("figure save_ms %.1f\n", BenchTiming::Median(ours));
    return 0;
}

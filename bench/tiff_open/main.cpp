// Opening a 2,000-page document in the TIFF viewer, view mode: Recreate on a built viewer until
// page 1 is painted at page width, against raw libtiff reading the same stored file (a large
// object, through TIFFClientOpen over lo_read), decoding page 1 into a QImage and drawing it at
// the same width. Rounds alternate which side goes first; the figure is the median of the
// per-round ratios. A viewer created for the document: until page 1 is painted, in view and in
// edit mode (both read page 1 alone; edit mode shows the thumbnail strip, whose pages are read
// as it draws them), at 2,000 and 10,000 pages. Memory: the resident size of a
// fresh process that opens the 20-page and the 2,000-page document (each child prints the pages
// it read), the difference per page; and the peak of a fresh process showing one large page, or
// refusing one too large (PagePeaks.h). Last, the save of a revision of the 10,000-page document
// with page 1 turned (no floor: what a user waits for once the open no longer reads the file),
// and the saves of the 2,000- and the 10,000-page document with page 1 deleted, per page.
//
//   tiff_open [--rounds N]    the benchmark (more rounds to profile the opening with perf)
//   tiff_open --memory PDID   (internal) open the document in a fresh process, print its pages
//                             and VmRSS in kB
//   tiff_open --fresh PDID [edit]   open the document in one viewer made for it (for perf)
//   tiff_open --recreate PDID N     Recreate on one built viewer N times (for perf)
//   tiff_open --save PDID           open the document in edit mode, turn page 1 and store the
//                                   revision (for perf: the save reads the stored file whole)
//   tiff_open --delete-save PDID    the same with page 1 deleted
//   tiff_open --store N [DPI]       store a document of N pages (default 300 dpi), print its id
//   tiff_open --peaks               only the memory of one large page (PagePeaks.h)
//   tiff_open --peak[-floor] PDID   (internal) the viewer (or libtiff) showing one page, in a
//                                   fresh process

#include "../ProcMemory.h"
#include "../Timing.h"
#include "PagePeaks.h"

#include <Dataclient_files.h>
#include <DemoPages.h>
#include <PageCodec.h>
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
#include <QPainter>
#include <QProcess>

#include <libpq-fe.h>
#include <libpq/libpq-fs.h>
#include <tiffio.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr int kPages = 2000;
constexpr int kHuge = 10000;
constexpr int kFreshRounds = 5;
constexpr int kSmall = 20;
int kRounds = 15;
constexpr int kDpi = 300;
const QSize kViewerSize(1200, 900);

int storeDocument(int pages, const QString& caption, int dpi = kDpi) {
    return StoreBenchFile(DemoPages::Document(pages, dpi, 20, 0, 7, QStringLiteral("Rechnung")), caption);
}

// ---- the baseline: libtiff over the large object ----------------------------------------------

struct LoFile {
    PGconn* conn;
    int fd;
    toff_t size;
    toff_t pos = 0;
};

tmsize_t loRead(thandle_t h, void* buf, tmsize_t n) {
    auto* f = static_cast<LoFile*>(static_cast<void*>(h));
    if (lo_lseek64(f->conn, f->fd, pg_int64(f->pos), SEEK_SET) < 0)
        return -1;
    const int got = lo_read(f->conn, f->fd, static_cast<char*>(buf), size_t(n));
    if (got > 0)
        f->pos += toff_t(got);
    return got;
}
tmsize_t loWrite(thandle_t, void*, tmsize_t) { return -1; }
toff_t loSeek(thandle_t h, toff_t off, int whence) {
    auto* f = static_cast<LoFile*>(static_cast<void*>(h));
    f->pos = whence == SEEK_SET ? off : whence == SEEK_CUR ? f->pos + off : f->size + off;
    return f->pos;
}
int loClose(thandle_t) { return 0; }
toff_t loSize(thandle_t h) { return static_cast<LoFile*>(static_cast<void*>(h))->size; }
int noMap(thandle_t, void**, toff_t*) { return 0; }
void noUnmap(thandle_t, void*, toff_t) {}

QImage rawFirstPage(PGconn* conn, unsigned oid, qint64 size, QImage& drawn) {
    PQclear(PQexec(conn, "BEGIN"));
    LoFile f{conn, lo_open(conn, Oid(oid), INV_READ), toff_t(size)};
    TIFF* tif = TIFFClientOpen("lo", "r", static_cast<thandle_t>(static_cast<void*>(&f)), loRead,
                               loWrite, loSeek, loClose, loSize, noMap, noUnmap);
    uint32_t w = 0, h = 0, rowsPerStrip = 0;
    uint16_t photometric = 0;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &h);
    TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric);
    TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
    QImage page(int(w), int(h), QImage::Format_Mono);
    const QRgb white = qRgb(255, 255, 255), black = qRgb(0, 0, 0);
    page.setColorTable(photometric == PHOTOMETRIC_MINISWHITE ? QList<QRgb>{white, black}
                                                             : QList<QRgb>{black, white});
    std::vector<uint8_t> strip(size_t(TIFFStripSize(tif)));
    const qsizetype rowBytes = (qsizetype(w) + 7) / 8;
    for (uint32_t s = 0; s < TIFFNumberOfStrips(tif); ++s) {
        const uint32_t first = s * rowsPerStrip;
        const uint32_t rows = std::min(rowsPerStrip, h - first);
        TIFFReadEncodedStrip(tif, s, strip.data(), tmsize_t(rows * rowBytes));
        for (uint32_t r = 0; r < rows; ++r)
            std::memcpy(page.scanLine(int(first + r)), strip.data() + r * rowBytes, size_t(rowBytes));
    }
    TIFFClose(tif);
    lo_close(conn, f.fd);
    PQclear(PQexec(conn, "COMMIT"));
    // Drawn at the width the viewer shows it.
    QPainter p(&drawn);
    p.fillRect(drawn.rect(), Qt::gray);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    const double scale = double(drawn.width()) / page.width();
    p.scale(scale, scale);
    p.drawImage(QPointF(0, 0), page);
    return page;
}

// ---- the system: the viewer -----------------------------------------------------------------

double openInViewer(TFileViewerFrameTIFF& viewer, TDokument& doc) {
    QElapsedTimer t;
    t.start();
    viewer.Recreate(&doc, false);
    viewer.imCurrentPage->viewport()->repaint();
    return t.nsecsElapsed() / 1e6;
}

// A viewer made for the document, until page 1 is painted: what a user waits for when a
// document is opened in a preview or a module's tab.
double openFresh(TDokument& doc, bool edit, int* pages = nullptr) {
    const auto t = BenchTiming::Stamp::Now();
    TFileViewerFrameTIFF viewer(nullptr, &doc, edit, nullptr);
    viewer.resize(kViewerSize);
    viewer.show();
    viewer.imCurrentPage->viewport()->repaint();
    const double ms = t.Elapsed().WallMs;
    if (pages)
        *pages = viewer.imOverviewPages()->ImageCount();
    return ms;
}

int memoryChild(int pdId) {
    TDokument doc;
    doc.AssignToDokId(pdId);
    TFileViewerFrameTIFF viewer(nullptr, nullptr, false, nullptr);
    viewer.resize(kViewerSize);
    viewer.show();
    viewer.Recreate(&doc, false);
    viewer.imCurrentPage->viewport()->repaint();
    QCoreApplication::processEvents();
    const QImage& page = viewer.imCurrentPage->Model().Bitmap();
    std::printf("%d %d %d %ld\n", viewer.imOverviewPages()->ImageCount(), page.width(), page.height(),
                BenchMemory::StatusKb("VmRSS:"));
    std::fflush(stdout);
    return 0;
}

struct ChildMemory {
    int pages = 0;
    QSize page;
    long rssKb = 0;
};

ChildMemory childRss(int pdId) {
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--memory"), QString::number(pdId)});
    child.waitForFinished(300000);
    const QStringList out = QString::fromLatin1(child.readAllStandardOutput()).split(u'\n');
    // The last line with four numbers; a line the libraries print on the way is passed over.
    for (auto line = out.crbegin(); line != out.crend(); ++line) {
        const QStringList f = line->split(u' ', Qt::SkipEmptyParts);
        if (f.size() == 4)
            return {f[0].toInt(), QSize(f[1].toInt(), f[2].toInt()), f[3].toLong()};
    }
    std::fprintf(stderr, "the memory child for document %d printed nothing (exit %d)\n", pdId,
                 child.exitCode());
    return {};
}

// Turns page 1 in an edit-mode viewer made for the document and stores the revision; the time
// of the save alone. pages: how many the viewer held.
BenchTiming::Stamp saveWithPageOneTurned(TDokument& doc, int* pages = nullptr) {
    TFileViewerFrameTIFF viewer(nullptr, &doc, true, nullptr);
    viewer.resize(kViewerSize);
    viewer.show();
    QCoreApplication::processEvents();
    viewer.DoPageRotate(QStringLiteral("bench"), 0, true);
    const auto t = BenchTiming::Stamp::Now();
    viewer.btEditSaveClick(nullptr);
    const BenchTiming::Stamp took = t.Elapsed();
    if (pages)
        *pages = viewer.imOverviewPages()->ImageCount();
    return took;
}

// Deletes page 1 in an edit-mode viewer made for the document and stores the revision; the time
// of the save alone.
BenchTiming::Stamp saveWithPageOneDeleted(TDokument& doc, int* pages = nullptr) {
    TFileViewerFrameTIFF viewer(nullptr, &doc, true, nullptr);
    viewer.resize(kViewerSize);
    viewer.show();
    QCoreApplication::processEvents();
    viewer.imOverviewPages()->SetSelectedImage(0);
    viewer.btEditDeleteClick(nullptr);
    const auto t = BenchTiming::Stamp::Now();
    viewer.btEditSaveClick(nullptr);
    const BenchTiming::Stamp took = t.Elapsed();
    if (pages)
        *pages = viewer.imOverviewPages()->ImageCount();
    return took;
}

} // namespace

int main(int argc, char** argv) {
    Vcl::TApplication app(argc, argv);
    TDM1 dm;
    dm.Connect();
    Rtl::Package::Get(QStringLiteral("hadrel")).Initialize();
    const QStringList args = QCoreApplication::arguments();
    if (args.value(1) == QLatin1String("--memory"))
        return memoryChild(args.value(2).toInt());
    if (args.value(1) == QLatin1String("--peak") || args.value(1) == QLatin1String("--peak-floor"))
        return PagePeakChild(args.value(2).toInt(), args.value(1) == QLatin1String("--peak-floor"));
    if (args.value(1) == QLatin1String("--fresh")) {
        TDokument doc;
        doc.AssignToDokId(args.value(2).toInt());
        int pages = 0;
        const double ms = openFresh(doc, args.value(3) == QLatin1String("edit"), &pages);
        std::printf("%d pages, page 1 painted after %.1f ms\n", pages, ms);
        return 0;
    }
    if (args.value(1) == QLatin1String("--save")) {
        TDokument doc;
        doc.AssignToDokId(args.value(2).toInt());
        int pages = 0;
        const BenchTiming::Stamp took = saveWithPageOneTurned(doc, &pages);
        std::printf("%d pages, revision stored after %.1f ms (CPU %.1f ms)\n", pages, took.WallMs,
                    took.CpuMs);
        return 0;
    }
    if (args.value(1) == QLatin1String("--store")) {
        dm.ExecSQL(QStringLiteral("INSERT INTO dokutypes (dt_id, dt_descr) VALUES ('BENCH', "
                                  "'Benchmark') ON CONFLICT DO NOTHING"));
        const int pages = args.value(2).toInt();
        std::printf("%d\n",
                    storeDocument(pages, QStringLiteral("%1 Seiten").arg(pages),
                                  args.value(3).toInt() > 0 ? args.value(3).toInt() : kDpi));
        return 0;
    }
    if (args.value(1) == QLatin1String("--delete-save")) {
        TDokument doc;
        doc.AssignToDokId(args.value(2).toInt());
        int pages = 0;
        const BenchTiming::Stamp took = saveWithPageOneDeleted(doc, &pages);
        std::printf("%d pages left, revision stored after %.1f ms (CPU %.1f ms)\n", pages,
                    took.WallMs, took.CpuMs);
        return 0;
    }
    if (args.value(1) == QLatin1String("--recreate")) {
        TDokument doc;
        doc.AssignToDokId(args.value(2).toInt());
        TFileViewerFrameTIFF viewer(nullptr, nullptr, false, nullptr);
        viewer.resize(kViewerSize);
        viewer.show();
        QCoreApplication::processEvents();
        std::vector<double> times;
        for (int i = 0; i < qMax(1, args.value(3).toInt()); ++i)
            times.push_back(openInViewer(viewer, doc));
        std::printf("%d pages, Recreate until page 1 painted: median %.1f ms\n",
                    viewer.imOverviewPages()->ImageCount(), BenchTiming::Median(times));
        return 0;
    }
    if (args.value(1) == QLatin1String("--rounds"))
        kRounds = qMax(1, args.value(2).toInt());
    dm.ExecSQL(QStringLiteral("INSERT INTO dokutypes (dt_id, dt_descr) VALUES ('BENCH', 'Benchmark') "
                              "ON CONFLICT DO NOTHING"));
    // One large page, in fresh processes.
    if (!MeasurePagePeaks())
        return 1;
    if (args.value(1) == QLatin1String("--peaks"))
        return 0;
    QElapsedTimer setup;
    setup.start();
    const int big = storeDocument(kPages, QStringLiteral("2000 Seiten"));
    const int small = storeDocument(kSmall, QStringLiteral("20 Seiten"));
    const int huge = storeDocument(kHuge, QStringLiteral("10000 Seiten"));
    std::printf("setup: three documents (%d, %d and %d pages, A4 %d dpi, G4) stored in %.1f s\n",
                kSmall, kPages, kHuge, kDpi, setup.elapsed() / 1000.0);
    std::printf("(document ids: %d pages %d, %d pages %d, %d pages %d)\n", kSmall, small, kPages, big,
                kHuge, huge);

    const QVariant oid = dm.LoadVar(QStringLiteral(
        "SELECT f.oid FROM dms_file f JOIN picndoku ON pd_dmsremotefile = f.name WHERE pd_id = :id"),
                                    {{QStringLiteral("id"), big}});
    const QVariant size = dm.LoadVar(QStringLiteral(
        "SELECT f.size FROM dms_file f JOIN picndoku ON pd_dmsremotefile = f.name WHERE pd_id = :id"),
                                     {{QStringLiteral("id"), big}});
    PGconn* raw = PQconnectdb("");
    TDokument doc;
    doc.AssignToDokId(big);
    TFileViewerFrameTIFF viewer(nullptr, nullptr, false, nullptr);
    viewer.resize(kViewerSize);
    viewer.show();
    QCoreApplication::processEvents();

    // Warm both paths once and check that they show the same page.
    openInViewer(viewer, doc);
    QImage drawn(viewer.imCurrentPage->viewport()->size(), QImage::Format_ARGB32_Premultiplied);
    const QImage rawPage = rawFirstPage(raw, oid.toUInt(), size.toLongLong(), drawn);
    if (rawPage != viewer.imCurrentPage->Model().Bitmap() || viewer.imOverviewPages()->ImageCount() != kPages) {
        std::fprintf(stderr, "the viewer and libtiff disagree on page 1 or the page count\n");
        return 1;
    }

    std::vector<double> ours, base, ratios;
    for (int round = 0; round < kRounds; ++round) {
        double a = 0, b = 0;
        const auto runBase = [&] {
            QElapsedTimer t;
            t.start();
            rawFirstPage(raw, oid.toUInt(), size.toLongLong(), drawn);
            b = t.nsecsElapsed() / 1e6;
        };
        if (round % 2) {
            runBase();
            a = openInViewer(viewer, doc);
        } else {
            a = openInViewer(viewer, doc);
            runBase();
        }
        ours.push_back(a);
        base.push_back(b);
        ratios.push_back(a / b);
    }
    PQfinish(raw);

    // Viewers made for the document.
    std::vector<double> freshView, freshEdit, hugeEdit;
    for (int round = 0; round < kFreshRounds; ++round) {
        int viewPages = 0, editPages = 0;
        if (BenchTiming::AFirst(round)) {
            freshView.push_back(openFresh(doc, false, &viewPages));
            freshEdit.push_back(openFresh(doc, true, &editPages));
        } else {
            freshEdit.push_back(openFresh(doc, true, &editPages));
            freshView.push_back(openFresh(doc, false, &viewPages));
        }
        if (viewPages != kPages || editPages != kPages) {
            std::fprintf(stderr, "a fresh viewer shows %d (view) and %d (edit) pages of %d\n", viewPages,
                         editPages, kPages);
            return 1;
        }
    }
    TDokument hugeDoc;
    hugeDoc.AssignToDokId(huge);
    for (int round = 0; round < 3; ++round) {
        int pages = 0;
        hugeEdit.push_back(openFresh(hugeDoc, true, &pages));
        if (pages != kHuge) {
            std::fprintf(stderr, "the 10,000-page document shows %d pages\n", pages);
            return 1;
        }
    }

    const ChildMemory memSmall = childRss(small);
    const ChildMemory memBig = childRss(big);
    if (memSmall.pages != kSmall || memBig.pages != kPages || memSmall.page != rawPage.size() ||
        memBig.page != rawPage.size() || memSmall.rssKb <= 0 || memBig.rssKb <= 0) {
        std::fprintf(stderr, "the memory children read %d and %d pages (page 1 %dx%d, %dx%d)\n",
                     memSmall.pages, memBig.pages, memSmall.page.width(), memSmall.page.height(),
                     memBig.page.width(), memBig.page.height());
        return 1;
    }
    const double perPage = double(memBig.rssKb - memSmall.rssKb) * 1024.0 / double(kPages - kSmall);

    // The save of the 10,000-page document with page 1 turned: the stored file read whole once
    // (its hash checked), 9,999 pages copied from it, the revision stored. Last, as it makes one.
    const BenchTiming::Stamp saveTook = saveWithPageOneTurned(hugeDoc);
    const auto savedPages = [](TDokument& d) {
        return Imaging::TTiffReader(DCFileMethods().ReadFile(d.DMSRemoteFilename())).PageCount();
    };
    if (savedPages(hugeDoc) != kHuge) {
        std::fprintf(stderr, "the saved revision holds %d pages of %d\n", savedPages(hugeDoc),
                     kHuge);
        return 1;
    }
    // Page 1 deleted and saved, at 2,000 and 10,000 pages: every page after it moves, so what
    // grows with the pages shows here; per page, the two sizes cost the same.
    const BenchTiming::Stamp deleteBig = saveWithPageOneDeleted(doc);
    const BenchTiming::Stamp deleteHuge = saveWithPageOneDeleted(hugeDoc);
    if (savedPages(doc) != kPages - 1 || savedPages(hugeDoc) != kHuge - 1) {
        std::fprintf(stderr, "with page 1 deleted the revisions hold %d and %d pages\n",
                     savedPages(doc), savedPages(hugeDoc));
        return 1;
    }
    const double deletePerPageBig = deleteBig.WallMs * 1000 / kPages;
    const double deletePerPageHuge = deleteHuge.WallMs * 1000 / kHuge;

    using BenchTiming::Median;
    std::printf("\n%-60s %10s\n", "", "median");
    std::printf("%-60s %8.1f ms\n", "viewer: Recreate until page 1 is painted (2,000 p.)", Median(ours));
    std::printf("%-60s %8.1f ms\n", "libtiff: open stored file, decode, draw page 1", Median(base));
    std::printf("%-60s %8.2f\n", "ratio (median of per-round ratios)", Median(ratios));
    std::printf("%-60s %8.1f ms\n", "viewer made for the document, view mode (2,000 p.)", Median(freshView));
    std::printf("%-60s %8.1f ms\n", "viewer made for the document, edit mode (2,000 p.)", Median(freshEdit));
    std::printf("%-60s %8.1f ms\n", "viewer made for the document, edit mode (10,000 p.)", Median(hugeEdit));
    std::printf("%-60s %8ld kB  (%d pages, page 1 %dx%d)\n", "resident size, fresh process, 20-page document",
                memSmall.rssKb, memSmall.pages, memSmall.page.width(), memSmall.page.height());
    std::printf("%-60s %8ld kB  (%d pages, page 1 %dx%d)\n", "resident size, fresh process, 2,000-page document",
                memBig.rssKb, memBig.pages, memBig.page.width(), memBig.page.height());
    std::printf("%-60s %8.0f B\n", "cost per page (difference / 1,980 pages)", perPage);
    std::printf("%-60s %8.1f ms  (CPU %.1f ms)\n",
                "edit mode, page 1 turned, revision saved (10,000 p.)", saveTook.WallMs,
                saveTook.CpuMs);
    std::printf("%-60s %8.1f us\n", "  the same per page", saveTook.WallMs * 1000 / kHuge);
    std::printf("%-60s %8.1f ms  (CPU %.1f ms)\n",
                "edit mode, page 1 deleted, revision saved (2,000 p.)", deleteBig.WallMs,
                deleteBig.CpuMs);
    std::printf("%-60s %8.1f ms  (CPU %.1f ms)\n",
                "edit mode, page 1 deleted, revision saved (10,000 p.)", deleteHuge.WallMs,
                deleteHuge.CpuMs);
    std::printf("%-60s %8.1f us / %.1f us\n", "  per page at 2,000 / 10,000 pages",
                deletePerPageBig, deletePerPageHuge);
    std::printf("%-60s %8.2f\n\n", "  per page, 10,000 over 2,000 pages",
                deletePerPageHuge / deletePerPageBig);
    std::printf("figure open_vs_libtiff %.2f\n", Median(ratios));
    std::printf("figure recreate_first_page_ms %.1f\n", Median(ours));
    std::printf("figure first_page_ms %.1f\n", Median(freshView));
    std::printf("figure first_page_ms_edit %.1f\n", Median(freshEdit));
    std::printf("figure open_ms_10000_edit %.1f\n", Median(hugeEdit));
    std::printf("figure bytes_per_page %.0f\n", perPage);
    std::printf("figure save_ms_10000_edit %.1f\n", saveTook.WallMs);
    std::printf("figure save_us_per_page_10000 %.1f\n", saveTook.WallMs * 1000 / kHuge);
    std::printf("figure save_delete_us_per_page_2000 %.1f\n", deletePerPageBig);
    std::printf("figure save_delete_us_per_page_10000 %.1f\n", deletePerPageHuge);
    std::printf("figure save_delete_per_page_10000_vs_2000 %.2f\n",
                deletePerPageHuge / deletePerPageBig);
    return 0;
}

// Opening a stored PDF in the PDF viewer until page 1 and the overview are painted (Recreate on a
// shown viewer, the overview on as by default; the overview's thumbnails are empty frames then,
// rendered from the event loop afterwards and not timed; the page's tiles in view rendered),
// against QPdfDocument loading the same stored bytes (one lo_get of the large object) and
// rendering the part of page 1 in view at the size the viewer draws it. At 50 and 500 pages;
// rounds alternate which side goes first, the ratio is the median of the per-round ratios, the
// cost per extra page the median of the per-round differences between the two sizes over the
// 450 pages between them. Both sides' page 1 is compared pixel for pixel.
//
// Then an A0 construction plan shown at 100 % is zoomed to 800 % in one step, until the part in
// view is painted, against QPdfDocument rendering that part at 800 % in one call; and in a fresh
// process the peak resident size of opening the plan and clicking "Größer" up to 800 %, then
// scrolling across the page.
//
//   pdf_open [--rounds N]      more rounds to profile the opening with perf
//   pdf_open --zoom-peak PDID  (internal) the fresh process: prints its peak resident size in kB
//   pdf_open --zoom PDID N     zoom the document's page 1 from 100 to 800 % N times (for perf)

#include <DemoPages.h>
#include <UDM1.h>
#include <UFileViewerPDF.h>
#include <Ukorvexclasses.Dokument.h>
#include <UnitTable.h>
#include <Vcl.Application.h>

#include "../Connect.h"
#include "../ProcMemory.h"
#include "../Timing.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QListView>
#include <QPainter>
#include <QPdfDocument>
#include <QProcess>
#include <QScrollBar>

#include <libpq-fe.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace {

int kRounds = 21;
const QSize kViewerSize(1200, 900);

struct Stored {
    int pages = 0;
    int id = 0;
    unsigned oid = 0;
    std::unique_ptr<TDokument> doc;
};

// The PDF stored as a document of its own under name.
Stored storeDocument(TDM1& dm, const QByteArray& pdf, int pages, const QString& name,
                     const QString& fileName) {
    QBuffer file;
    file.setData(pdf);
    file.open(QIODevice::ReadOnly);
    TDokument doc;
    TDokumentInsertData data;
    data.Active = true;
    data.Name = name;
    data.DokType = QStringLiteral("BENCH");
    doc.SetInsertData(data);
    Stored s;
    s.pages = pages;
    s.id = doc.DMSAddFileAsBLOB(file, fileName, QStringLiteral("adressen"), QStringLiteral("1"));
    s.oid = dm.LoadVar(QStringLiteral("SELECT f.oid FROM dms_file f JOIN picndoku ON "
                                      "pd_dmsremotefile = f.name WHERE pd_id = :id"),
                       {{QStringLiteral("id"), s.id}})
                .toUInt();
    s.doc = std::make_unique<TDokument>();
    s.doc->AssignToDokId(s.id);
    return s;
}

Stored storeDocument(TDM1& dm, int pages) {
    return storeDocument(dm, DemoPages::PdfDocument(pages, QStringLiteral("Rechnung")), pages,
                         QStringLiteral("%1 Seiten").arg(pages), QStringLiteral("bench.pdf"));
}

// ---- the floor: the stored bytes in one lo_get, QPdfDocument, page 1 rendered -----------------

// The part area of page 1 at scaled, on white, in one call.
QImage renderPart(QPdfDocument& pdf, QSize scaled, QRect area) {
    QPdfDocumentRenderOptions options;
    options.setScaledSize(scaled);
    // Qt PDF scales by the clip's right() - left(): one pixel more gives the scale asked for.
    options.setScaledClipRect(QRect(area.topLeft(), area.size() + QSize(1, 1)));
    QImage part(area.size(), QImage::Format_RGB32);
    part.fill(Qt::white);
    QPainter p(&part);
    p.drawImage(0, 0, pdf.render(0, area.size(), options));
    return part;
}

QImage floorFirstPage(PGconn* conn, unsigned oid, QSize scaled, QRect area, int* pageCount) {
    const QByteArray id = QByteArray::number(oid);
    const char* values[] = {id.constData()};
    const int formats[] = {0};
    PGresult* r =
        PQexecParams(conn, "SELECT lo_get($1::oid)", 1, nullptr, values, nullptr, formats, 1);
    QByteArray bytes(PQgetvalue(r, 0, 0), PQgetlength(r, 0, 0));
    PQclear(r);
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QPdfDocument pdf;
    pdf.load(&buffer);
    *pageCount = pdf.pageCount();
    return renderPart(pdf, scaled, area);
}

// The share of pixels whose grey differs by more than a quarter of the scale.
double farPixels(const QImage& a, const QImage& b) {
    if (a.size() != b.size() || a.isNull())
        return 1;
    qint64 far = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            far += std::abs(qGray(a.pixel(x, y)) - qGray(b.pixel(x, y))) > 64;
    return double(far) / (double(a.width()) * a.height());
}

// Until the tiles in view are rendered and painted.
void paintAll(TPdfPageView* view) {
    view->viewport()->repaint();
    while (view->PendingTiles() > 0) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        view->viewport()->repaint();
    }
}

// ---- the system: the viewer -----------------------------------------------------------------

double openInViewer(TFileViewerFramePDF& viewer, TDokument& doc) {
    const auto t = BenchTiming::Stamp::Now();
    viewer.Recreate(&doc, false);
    // The overview is shown from a zero timer; then both panes paint.
    QCoreApplication::processEvents();
    paintAll(viewer.PDFViewer);
    viewer.pnThumbnails->viewport()->repaint();
    return t.Elapsed().WallMs;
}

// ---- zooming an A0 plan to 800 % -------------------------------------------------------------

Stored storePlan(TDM1& dm) {
    return storeDocument(dm, DemoPages::PdfPlan(QPageSize(QPageSize::A0), 11), 1,
                         QStringLiteral("Plan A0"), QStringLiteral("plan.pdf"));
}

// The plan opened anew at 100 %, its tiles painted; then 800 % in one step until the part in
// view is painted.
double zoomTo800(TFileViewerFramePDF& viewer, TDokument& doc) {
    viewer.Recreate(&doc, false);
    viewer.btZoom100Click(nullptr);
    QCoreApplication::processEvents();
    paintAll(viewer.PDFViewer);
    // Settled: the overview's thumbnail drawn too.
    while (viewer.Thumbnails()->QueuedCount() > 0)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    const auto t = BenchTiming::Stamp::Now();
    viewer.PDFViewer->SetZoomFactor(800);
    paintAll(viewer.PDFViewer);
    return t.Elapsed().WallMs;
}

int zoomPeakChild(int pdId) {
    TDokument doc;
    doc.AssignToDokId(pdId);
    TFileViewerFramePDF viewer(nullptr, &doc, false, nullptr);
    viewer.resize(kViewerSize);
    viewer.show();
    QCoreApplication::processEvents();
    paintAll(viewer.PDFViewer);
    viewer.btZoom100Click(nullptr);
    paintAll(viewer.PDFViewer);
    while (viewer.PDFViewer->ZoomFactor() < TPdfPageView::MaxZoom) {
        viewer.btZoomInClick(nullptr);
        paintAll(viewer.PDFViewer);
    }
    // Across the page, a screen at a time.
    QScrollBar* h = viewer.PDFViewer->horizontalScrollBar();
    QScrollBar* v = viewer.PDFViewer->verticalScrollBar();
    for (int step = 1; step <= 20; ++step) {
        h->setValue(h->maximum() * step / 20);
        v->setValue(v->maximum() * step / 20);
        paintAll(viewer.PDFViewer);
    }
    std::printf("%d %ld\n", viewer.PDFViewer->ZoomFactor(), BenchMemory::StatusKb("VmHWM:"));
    std::fflush(stdout);
    return 0;
}

long zoomPeakKb(int pdId) {
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--zoom-peak"), QString::number(pdId)});
    child.waitForFinished(300000);
    const QStringList out = QString::fromLatin1(child.readAllStandardOutput()).split(u'\n');
    for (auto line = out.crbegin(); line != out.crend(); ++line) {
        const QStringList f = line->split(u' ', Qt::SkipEmptyParts);
        if (f.size() == 2 && f[0].toInt() == TPdfPageView::MaxZoom)
            return f[1].toLong();
    }
    std::fprintf(stderr, "the zoom child printed nothing (exit %d)\n", child.exitCode());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    Vcl::TApplication app(argc, argv);
    TDM1 dm;
    if (!BenchDb::Connected(dm))
        return 1;
    Rtl::Package::Get(QStringLiteral("hadrel")).Initialize();
    const QStringList args = QCoreApplication::arguments();
    if (args.value(1) == QLatin1String("--zoom-peak"))
        return zoomPeakChild(args.value(2).toInt());
    if (args.value(1) == QLatin1String("--zoom")) {
        TDokument doc;
        doc.AssignToDokId(args.value(2).toInt());
        TFileViewerFramePDF viewer(nullptr, nullptr, false, nullptr);
        viewer.resize(kViewerSize);
        viewer.show();
        std::vector<double> times;
        for (int i = 0; i < qMax(1, args.value(3).toInt()); ++i)
            times.push_back(zoomTo800(viewer, doc));
        std::printf("zoom to 800 %% until painted: median %.1f ms\n", BenchTiming::Median(times));
        return 0;
    }
    if (args.value(1) == QLatin1String("--rounds"))
        kRounds = qMax(1, args.value(2).toInt());
    dm.ExecSQL(
        QStringLiteral("INSERT INTO dokutypes (dt_id, dt_descr) VALUES ('BENCH', 'Benchmark') "
                       "ON CONFLICT DO NOTHING"));
    const auto setup = BenchTiming::Stamp::Now();
    Stored docs[2] = {storeDocument(dm, 50), storeDocument(dm, 500)};
    std::printf("setup: two PDFs (50 and 500 A4 pages of text, demo pages) stored in %.1f s\n",
                setup.Elapsed().WallMs / 1000);

    PGconn* raw = PQconnectdb("");
    TFileViewerFramePDF viewer(nullptr, nullptr, false, nullptr);
    viewer.resize(kViewerSize);
    viewer.show();
    QCoreApplication::processEvents();

    // Warm both paths once and check that they show the same page 1 and count the same pages.
    for (Stored& s : docs) {
        openInViewer(viewer, *s.doc);
        const QImage shown = viewer.PDFViewer->VisiblePage();
        int floorPages = 0;
        const QImage floor = floorFirstPage(raw, s.oid, viewer.PDFViewer->ScaledSize(),
                                            viewer.PDFViewer->VisibleArea(), &floorPages);
        if (shown.isNull() || farPixels(shown, floor) > 0.001 ||
            viewer.Pdf()->pageCount() != s.pages || floorPages != s.pages ||
            viewer.pnThumbnails->isHidden()) {
            std::fprintf(stderr,
                         "the viewer and QPdfDocument disagree on page 1 or the page count "
                         "(%d pages: viewer %d, floor %d)\n",
                         s.pages, viewer.Pdf()->pageCount(), floorPages);
            return 1;
        }
    }
    const QSize scaled = viewer.PDFViewer->ScaledSize();
    const QRect area = viewer.PDFViewer->VisibleArea();
    std::printf("page 1 at %dx%d, %dx%d of it in view rendered by both; thumbnails asked for at "
                "open: %d of 500, rendered then: %d\n",
                scaled.width(), scaled.height(), area.width(), area.height(),
                viewer.Thumbnails()->RenderedCount() + viewer.Thumbnails()->QueuedCount(),
                viewer.Thumbnails()->RenderedCount());

    std::vector<double> ours[2], base[2], extraOurs, extraBase;
    BenchTiming::PairedRatio ratio[2];
    for (int round = 0; round < kRounds; ++round) {
        double a[2] = {}, b[2] = {};
        for (int d = 0; d < 2; ++d) {
            int pages = 0;
            const auto runBase = [&] {
                const auto t = BenchTiming::Stamp::Now();
                floorFirstPage(raw, docs[d].oid, scaled, area, &pages);
                b[d] = t.Elapsed().WallMs;
            };
            if (BenchTiming::AFirst(round)) {
                a[d] = openInViewer(viewer, *docs[d].doc);
                runBase();
            } else {
                runBase();
                a[d] = openInViewer(viewer, *docs[d].doc);
            }
            ours[d].push_back(a[d]);
            base[d].push_back(b[d]);
            ratio[d].Add(a[d], b[d]);
        }
        extraOurs.push_back((a[1] - a[0]) / 450 * 1000);
        extraBase.push_back((b[1] - b[0]) / 450 * 1000);
    }
    PQfinish(raw);

    // The A0 plan at 800 %: ours until painted against Qt PDF rendering the same part in one call.
    Stored plan = storePlan(dm);
    zoomTo800(viewer, *plan.doc);
    const QImage zoomed = viewer.PDFViewer->VisiblePage();
    const QSize planScaled = viewer.PDFViewer->ScaledSize();
    const QRect planArea = viewer.PDFViewer->VisibleArea();
    QPdfDocument& planPdf = *viewer.Pdf();
    if (farPixels(zoomed, renderPart(planPdf, planScaled, planArea)) > 0.001) {
        std::fprintf(stderr, "the viewer and QPdfDocument disagree on the plan at 800 %%\n");
        return 1;
    }
    std::vector<double> zoomOurs, zoomBase;
    BenchTiming::PairedRatio zoomRatio;
    for (int round = 0; round < kRounds; ++round) {
        double a = 0, b = 0;
        BenchTiming::InTurn(
            round, [&] { a = zoomTo800(viewer, *plan.doc); },
            [&] {
                const auto t = BenchTiming::Stamp::Now();
                renderPart(planPdf, planScaled, planArea);
                b = t.Elapsed().WallMs;
            });
        zoomOurs.push_back(a);
        zoomBase.push_back(b);
        zoomRatio.Add(a, b);
    }
    const long zoomPeak = zoomPeakKb(plan.id);
    if (zoomPeak <= 0)
        return 1;

    using BenchTiming::Median;
    const double perPageOurs = Median(extraOurs), perPageBase = Median(extraBase);
    const double perPageRatio = perPageBase > 0 ? perPageOurs / perPageBase : 0;
    std::printf("\n%-58s %10s\n", "", "median");
    std::printf("%-58s %8.1f ms\n", "viewer: Recreate until page 1 and overview painted, 50 p.",
                Median(ours[0]));
    std::printf("%-58s %8.1f ms\n", "QPdfDocument: lo_get, load, render page 1, 50 p.",
                Median(base[0]));
    std::printf("%-58s %8.2f\n", "ratio at 50 pages (median of per-round ratios)",
                ratio[0].Median());
    std::printf("%-58s %8.1f ms\n", "viewer, 500 p.", Median(ours[1]));
    std::printf("%-58s %8.1f ms\n", "QPdfDocument, 500 p.", Median(base[1]));
    std::printf("%-58s %8.2f\n", "ratio at 500 pages (median of per-round ratios)",
                ratio[1].Median());
    std::printf("%-58s %8.1f us\n", "viewer: cost per extra page (50 -> 500)", perPageOurs);
    std::printf("%-58s %8.1f us\n", "QPdfDocument: cost per extra page (50 -> 500)", perPageBase);
    std::printf("%-58s %8.2f\n\n", "per-page ratio", perPageRatio);
    std::printf("%-58s %8.1f ms  (target < 500)\n",
                "viewer: A0 plan, 100 % to 800 %, until painted", Median(zoomOurs));
    std::printf("%-58s %8.1f ms\n", "QPdfDocument: the same part at 800 % in one call",
                Median(zoomBase));
    std::printf("%-58s %8.2f\n", "ratio (median of per-round ratios)", zoomRatio.Median());
    std::printf("%-58s %8.1f MB  (target < 300; the page at 800 %% alone: %.0f MB)\n\n",
                "peak resident size, fresh process, zoomed and scrolled", zoomPeak / 1024.0,
                double(planScaled.width()) * planScaled.height() * 4 / 1048576.0);
    std::printf("figure pdf_open_vs_qtpdf %.2f\n", ratio[1].Median());
    std::printf("figure pdf_open_ms_500 %.1f\n", Median(ours[1]));
    std::printf("figure pdf_open_per_page_vs_qtpdf %.2f\n", perPageRatio);
    std::printf("figure pdf_zoom_a0_800_ms %.1f\n", Median(zoomOurs));
    std::printf("figure pdf_zoom_a0_800_vs_qtpdf %.2f\n", zoomRatio.Median());
    std::printf("figure pdf_zoom_a0_800_peak_mb %.1f\n", zoomPeak / 1024.0);
    return 0;
}

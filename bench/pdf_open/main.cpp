// Opening a stored PDF in the PDF viewer until page 1 and the overview are painted (Recreate on a
// shown viewer, the overview on as by default), against QPdfDocument loading the same stored
// bytes (one lo_get of the large object) and rendering page 1 at the size the viewer draws it.
// At 50 and 500 pages; rounds alternate which side goes first, the ratio is the median of the
// per-round ratios, the cost per extra page the median of the per-round differences between the
// two sizes over the 450 pages between them. Both sides' page 1 is compared pixel for pixel.
//
//   pdf_open [--rounds N]    more rounds to profile the opening with perf

#include <DemoPages.h>
#include <UDM1.h>
#include <UFileViewerPDF.h>
#include <Ukorvexclasses.Dokument.h>
#include <UnitTable.h>
#include <Vcl.Application.h>

#include "../Connect.h"
#include "../Timing.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QListView>
#include <QPainter>
#include <QPdfDocument>

#include <libpq-fe.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace {

int kRounds = 21;
const QSize kViewerSize(1200, 900);

// The load average at the start and the end of the run; a benchmark program that prints it
// already (or the parent of this process) leaves it to that one.
class LoadAverage final {
public:
    LoadAverage() : m_owner(!std::getenv("KORVEX_BENCH_LOAD_SHOWN")) {
        if (m_owner) {
            setenv("KORVEX_BENCH_LOAD_SHOWN", "1", 1);
            print("start");
        }
    }
    ~LoadAverage() {
        if (m_owner)
            print("end");
    }

private:
    static void print(const char* when) {
        char buf[128] = {};
        if (FILE* f = std::fopen("/proc/loadavg", "r")) {
            if (!std::fgets(buf, sizeof buf, f))
                buf[0] = 0;
            std::fclose(f);
        }
        int fields = 0;
        for (char* p = buf; *p; ++p)
            if ((*p == ' ' && ++fields == 3) || *p == '\n') {
                *p = 0;
                break;
            }
        std::printf("load average at %s: %s\n", when, buf);
        std::fflush(stdout);
    }
    bool m_owner;
};

struct Stored {
    int pages = 0;
    int id = 0;
    unsigned oid = 0;
    std::unique_ptr<TDokument> doc;
};

Stored storeDocument(TDM1& dm, int pages) {
    QBuffer file;
    file.setData(DemoPages::PdfDocument(pages, QStringLiteral("Rechnung")));
    file.open(QIODevice::ReadOnly);
    TDokument doc;
    TDokumentInsertData data;
    data.Active = true;
    data.Name = QStringLiteral("%1 Seiten").arg(pages);
    data.DokType = QStringLiteral("BENCH");
    doc.SetInsertData(data);
    Stored s;
    s.pages = pages;
    s.id = doc.DMSAddFileAsBLOB(file, QStringLiteral("bench.pdf"), QStringLiteral("adressen"),
                                QStringLiteral("1"));
    s.oid = dm.LoadVar(QStringLiteral("SELECT f.oid FROM dms_file f JOIN picndoku ON "
                                      "pd_dmsremotefile = f.name WHERE pd_id = :id"),
                       {{QStringLiteral("id"), s.id}})
                .toUInt();
    s.doc = std::make_unique<TDokument>();
    s.doc->AssignToDokId(s.id);
    return s;
}

// ---- the floor: the stored bytes in one lo_get, QPdfDocument, page 1 rendered -----------------

QImage floorFirstPage(PGconn* conn, unsigned oid, QSize size, int* pageCount) {
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
    // On white, as the viewer draws it.
    QImage page(size, QImage::Format_RGB32);
    page.fill(Qt::white);
    QPainter p(&page);
    p.drawImage(0, 0, pdf.render(0, size));
    return page;
}

// ---- the system: the viewer -----------------------------------------------------------------

double openInViewer(TFileViewerFramePDF& viewer, TDokument& doc) {
    const auto t = BenchTiming::Stamp::Now();
    viewer.Recreate(&doc, false);
    // The overview is shown from a zero timer; then both panes paint.
    QCoreApplication::processEvents();
    viewer.PDFViewer->viewport()->repaint();
    viewer.pnThumbnails->viewport()->repaint();
    return t.Elapsed().WallMs;
}

} // namespace

int main(int argc, char** argv) {
    const LoadAverage load;
    Vcl::TApplication app(argc, argv);
    TDM1 dm;
    if (!BenchDb::Connected(dm))
        return 1;
    Rtl::Package::Get(QStringLiteral("hadrel")).Initialize();
    const QStringList args = QCoreApplication::arguments();
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
        const QImage shown = viewer.PDFViewer->RenderedPage();
        int floorPages = 0;
        const QImage floor = floorFirstPage(raw, s.oid, shown.size(), &floorPages);
        if (shown.isNull() || shown != floor || viewer.Pdf()->pageCount() != s.pages ||
            floorPages != s.pages || viewer.pnThumbnails->isHidden()) {
            std::fprintf(stderr,
                         "the viewer and QPdfDocument disagree on page 1 or the page count "
                         "(%d pages: viewer %d, floor %d)\n",
                         s.pages, viewer.Pdf()->pageCount(), floorPages);
            return 1;
        }
    }
    const QSize renderSize = viewer.PDFViewer->RenderedPage().size();
    std::printf("page 1 rendered at %dx%d by both; thumbnails rendered at open: %d of 500\n",
                renderSize.width(), renderSize.height(), viewer.Thumbnails()->RenderedCount());

    std::vector<double> ours[2], base[2], extraOurs, extraBase;
    BenchTiming::PairedRatio ratio[2];
    for (int round = 0; round < kRounds; ++round) {
        double a[2] = {}, b[2] = {};
        for (int d = 0; d < 2; ++d) {
            int pages = 0;
            const auto runBase = [&] {
                const auto t = BenchTiming::Stamp::Now();
                floorFirstPage(raw, docs[d].oid, renderSize, &pages);
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
    std::printf("figure pdf_open_vs_qtpdf %.2f\n", ratio[1].Median());
    std::printf("figure pdf_open_ms_500 %.1f\n", Median(ours[1]));
    std::printf("figure pdf_open_per_page_vs_qtpdf %.2f\n", perPageRatio);
    return 0;
}

// A stack of 60 grey A4 pages at 300 dpi (fixed seed) with a Code 128 on every tenth page,
// delivered by the source of prepared pages: the scan service's single-sided scan until the six
// scan previews hold their pages, against the bare work on the same pictures: ZXing reading
// each page for the same symbologies and libtiff encoding it as a grey JPEG strip by strip
// into memory. Rounds alternate which side goes first; the figure is the median of the
// per-round ratios. Both sides must find the same codes and the same documents.
//
//   scan_split [--rounds N]

#include "../Timing.h"

#include <ScanPages.h>

#include <DMSys.h>
#include <IEAcquire.h>
#include <PageCodec.h>
#include <UDM1.h>
#include <UFilePreview.h>
#include <UFileViewerTIFF.h>
#include <Ukorvexclasses.Dokument.h>
#include <UnitTable.h>
#include <Vcl.Application.h>

#include <ZXing/ReadBarcode.h>

#include <QApplication>
#include <QElapsedTimer>

#include <tiffio.h>

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr int kPages = 60;
constexpr int kEvery = 10;
const QSize kA4(2480, 3508);
int kRounds = 5;

QList<QImage> stack() {
    QList<QImage> pages;
    for (int i = 0; i < kPages; ++i) {
        QList<QImage> codes;
        if (i % kEvery == 0)
            codes << scanpages::Barcode(QStringLiteral("DOK-%1").arg(i / kEvery + 1), ZXing::BarcodeFormat::Code128, 4);
        pages << scanpages::Page(kA4.width(), kA4.height(), codes, quint32(1000 + i));
    }
    return pages;
}

// ---- the baseline -------------------------------------------------------------------------

struct MemFile {
    std::vector<char> bytes;
    toff_t pos = 0;
};
tmsize_t memRead(thandle_t, void*, tmsize_t) { return 0; }
tmsize_t memWrite(thandle_t h, void* buf, tmsize_t n) {
    auto* f = static_cast<MemFile*>(static_cast<void*>(h));
    if (f->pos + toff_t(n) > f->bytes.size())
        f->bytes.resize(size_t(f->pos + toff_t(n)));
    memcpy(f->bytes.data() + f->pos, buf, size_t(n));
    f->pos += toff_t(n);
    return n;
}
toff_t memSeek(thandle_t h, toff_t off, int whence) {
    auto* f = static_cast<MemFile*>(static_cast<void*>(h));
    f->pos = whence == SEEK_SET ? off : whence == SEEK_CUR ? f->pos + off : f->bytes.size() + off;
    return f->pos;
}
int memClose(thandle_t) { return 0; }
toff_t memSize(thandle_t h) { return static_cast<MemFile*>(static_cast<void*>(h))->bytes.size(); }
int memMap(thandle_t, void**, toff_t*) { return 0; }
void memUnmap(thandle_t, void*, toff_t) {}

size_t encodeJpeg(const QImage& page) {
    MemFile file;
    TIFF* tif = TIFFClientOpen("bench", "w", static_cast<thandle_t>(static_cast<void*>(&file)), memRead, memWrite,
                               memSeek, memClose, memSize, memMap, memUnmap);
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(page.width()));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, uint32_t(page.height()));
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_JPEG);
    TIFFSetField(tif, TIFFTAG_JPEGQUALITY, Imaging::kJpegQuality);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tif, 0));
    for (int y = 0; y < page.height(); ++y)
        TIFFWriteScanline(tif, const_cast<uchar*>(page.constScanLine(y)), uint32_t(y), 0);
    TIFFClose(tif);
    return file.bytes.size();
}

struct Result {
    int documents = 0;
    QStringList codes;
};

Result baseline(const QList<QImage>& pages) {
    ZXing::DecodeHints hints;
    hints.setFormats(ZXing::BarcodeFormat::Code39 | ZXing::BarcodeFormat::QRCode | ZXing::BarcodeFormat::Code128);
    hints.setValidateCode39CheckSum(true);
    hints.setTryDownscale(false);
    Result r;
    QString last;
    for (const QImage& page : pages) {
        const ZXing::ImageView view(page.constBits(), page.width(), page.height(), ZXing::ImageFormat::Lum,
                                    int(page.bytesPerLine()));
        const ZXing::Results found = ZXing::ReadBarcodes(view, hints);
        for (const ZXing::Result& c : found)
            r.codes << QString::fromStdWString(c.text());
        const QString code = found.empty() ? QString() : QString::fromStdWString(found.front().text());
        if (r.documents == 0 || (!code.isEmpty() && code != last))
            ++r.documents;
        if (!code.isEmpty())
            last = code;
        encodeJpeg(page);
    }
    return r;
}

// ---- ours ---------------------------------------------------------------------------------

QList<TFormFilePreview*> previews() {
    QList<TFormFilePreview*> list;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* p = qobject_cast<TFormFilePreview*>(w); p && p->isVisible())
            list << p;
    return list;
}

void closePreviews() {
    for (TFormFilePreview* p : previews())
        delete p; // without the save question of a closing preview
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

Result ours(const QList<QImage>& pages, TDokument& tmpl, QStringList& log) {
    auto source = std::make_shared<Imaging::TMemoryAcquire>();
    source->SetPages(pages);
    Imaging::TIEAcquire::SetDefaultBackend(source);
    TDMSys::_DMSScan(nullptr, false, &tmpl, {QStringLiteral("ScanSource=einseitig")}, QStringLiteral("BENCH"),
                     QString(), {});
    Result r;
    int total = 0;
    for (TFormFilePreview* p : previews()) {
        ++r.documents;
        total += static_cast<TFileViewerFrameTIFF*>(p->FImagePages.data())->imOverviewPages()->ImageCount();
    }
    if (total != kPages)
        r.documents = -1;
    Q_UNUSED(log)
    return r;
}

} // namespace

int main(int argc, char** argv) {
    Vcl::TApplication app(argc, argv);
    TDM1 dm;
    dm.Connect();
    Rtl::Package::Get(QStringLiteral("hadrel")).Initialize();
    const QStringList args = QCoreApplication::arguments();
    if (args.value(1) == QLatin1String("--rounds"))
        kRounds = qMax(1, args.value(2).toInt());
    dm.ExecSQL(QStringLiteral("INSERT INTO dokutypes (dt_id, dt_descr) VALUES ('BENCH', 'Benchmark') "
                              "ON CONFLICT DO NOTHING"));
    dm.SaveLastVal(QStringLiteral("HintScanDPI"), QStringLiteral("OK"));
    TDokument tmpl;
    tmpl.LoadByRecord(QStringLiteral("adressen"), QStringLiteral("1"), false);

    QElapsedTimer setup;
    setup.start();
    const QList<QImage> pages = stack();
    std::printf("setup: %d grey A4 pages at 300 dpi (%dx%d), a Code 128 on every %dth, made in %.1f s\n", kPages,
                kA4.width(), kA4.height(), kEvery, setup.elapsed() / 1000.0);

    // Both sides once, to warm up and to check that they agree.
    QStringList log;
    const Result check = ours(pages, tmpl, log);
    closePreviews();
    const Result bare = baseline(pages);
    if (check.documents != kPages / kEvery || bare.documents != check.documents ||
        bare.codes.size() != kPages / kEvery) {
        std::fprintf(stderr, "the split disagrees: ours %d documents, bare %d documents with %d codes\n",
                     check.documents, bare.documents, int(bare.codes.size()));
        return 1;
    }

    std::vector<double> a, b;
    BenchTiming::PairedRatio ratio;
    std::printf("\n%-6s %14s %14s %8s\n", "round", "scan (ms)", "bare (ms)", "ratio");
    for (int round = 0; round < kRounds; ++round) {
        double ta = 0, tb = 0;
        const auto runOurs = [&] {
            const BenchTiming::Stamp start = BenchTiming::Stamp::Now();
            ours(pages, tmpl, log);
            ta = start.Elapsed().WallMs;
            closePreviews();
        };
        const auto runBare = [&] {
            const BenchTiming::Stamp start = BenchTiming::Stamp::Now();
            baseline(pages);
            tb = start.Elapsed().WallMs;
        };
        BenchTiming::InTurn(round, runOurs, runBare);
        a.push_back(ta);
        b.push_back(tb);
        ratio.Add(ta, tb);
        std::printf("%-6d %14.1f %14.1f %8.2f\n", round + 1, ta, tb, ta / tb);
    }
    std::printf("%-6s %14.1f %14.1f %8.2f   (target: ratio <= 2)\n", "median", BenchTiming::Median(a),
                BenchTiming::Median(b), ratio.Median());
    std::printf("figure split_vs_raw %.2f\n", ratio.Median());
    return 0;
}

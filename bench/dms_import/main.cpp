// Importing 1,000 files of 4 to 256 KB (fixed seed) as copies through the document window's
// LoadDocument (the type accepted by the module form's header, no dialogs) against the plain way
// through libpq: per file the SHA-256 from libcrypto and one statement (prepared once) that makes
// the object from the bytes and inserts the file and document rows. Rounds of 50 files alternate
// which side goes first; the figure is the median of the per-round ratios, and both sides' hashes
// are compared. The second figure is the growth of the peak resident size while importing one
// 256 MB file, measured in a fresh process (this program run with --rss).

#include "UImpDoku.h"
#include "UModulForm.h"

#include "../ProcMemory.h"
#include "../Timing.h"

#include <UDM1.h>
#include <Ukorvexclasses.Dokument.h>
#include <Vcl.Application.h>
#include <VoskDatabase.h>
#include <VoskQuery2.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <libpq-fe.h>
#include <libpq/libpq-fs.h>
#include <openssl/evp.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kFiles = 1000;
constexpr int kPerRound = 50;
constexpr qint64 kBigFile = 256ll << 20;

double Ms(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double, std::milli>(b - a).count();
}

[[noreturn]] void Fail(const char* what, PGconn* c) {
    std::fprintf(stderr, "%s: %s\n", what, c ? PQerrorMessage(c) : "");
    std::exit(1);
}

const char* const kBaseSql =
    "WITH f AS (INSERT INTO dms_file (name, oid, sha256, size) VALUES ($1, "
    "lo_from_bytea(0, $2), $3, $4) RETURNING name) INSERT INTO picndoku (pd_tablename, "
    "pd_dbrid, pd_descr, pd_doktype, pd_dokumentfile, pd_origfilename, pd_source, "
    "pd_dmshash, pd_dmsremotefile) SELECT 'basis', 1, $5, 'RE', $5, $5, 'file', $3, f.name "
    "FROM f RETURNING pd_id";

// The plain way for one file: the whole file in memory (a few hundred KB at most), hashed, and
// object, file row and document row in one statement; returns its SHA-256 (hex).
QByteArray Baseline(PGconn* c, const QString& path, int n) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        Fail("open", nullptr);
    const QByteArray bytes = file.readAll();
    unsigned char md[EVP_MAX_MD_SIZE];
    unsigned int len = 0;
    EVP_Digest(bytes.constData(), size_t(bytes.size()), md, &len, EVP_sha256(), nullptr);
    const QByteArray hex = QByteArray(reinterpret_cast<const char*>(md), int(len)).toHex();
    const QByteArray name = "Basis/" + QByteArray::number(n) + "_" +
                            QFileInfo(path).fileName().toUtf8();
    const QByteArray sizeText = QByteArray::number(bytes.size());
    const QByteArray orig = QFileInfo(path).fileName().toUtf8();
    const char* params[] = {name.constData(), bytes.constData(), hex.constData(),
                            sizeText.constData(), orig.constData()};
    const int lengths[] = {0, int(bytes.size()), 0, 0, 0};
    const int formats[] = {0, 1, 0, 0, 0};
    const Oid types[] = {0, 17 /* bytea */, 0, 0, 0};
    // Prepared once per connection, as a loader of many files would.
    static PGconn* prepared = nullptr;
    if (prepared != c) {
        PGresult* p = PQprepare(c, "base", kBaseSql, 5, types);
        if (PQresultStatus(p) != PGRES_COMMAND_OK)
            Fail("prepare", c);
        PQclear(p);
        prepared = c;
    }
    PGresult* r = PQexecPrepared(c, "base", 5, params, lengths, formats, 0);
    if (PQresultStatus(r) != PGRES_TUPLES_OK)
        Fail("insert", c);
    PQclear(r);
    return hex;
}

TFormDokments* OpenWindow(TModulForm& modul, const QString& recId) {
    auto* window = TFormKorvexGundForm::Create<TFormDokments>(
        nullptr, QStringList(), QStringLiteral("benchtab"), recId, nullptr);
    window->resize(1000, 700);
    window->Show();
    window->TreeMenuCreate(false);
    window->TreeMenuSelect(QStringLiteral("belege"));
    modul.TopLabel->OnDokumentSelectDoktype = [](TVoskQuery2*, QString& type, QString& descr,
                                                 const QString&) {
        type = QStringLiteral("RE");
        descr = QStringLiteral("Rechnung");
        return true;
    };
    window->SetOwnerModulForm(&modul);
    return window;
}

void Seed(TDM1& dm) {
    dm.Database().Exec(QStringLiteral(
        "INSERT INTO dokutrees (dtl_id, dtl_description, dtl_tablename) VALUES (1, 'Bench', "
        "'benchtab') ON CONFLICT DO NOTHING;"
        "INSERT INTO dokutreenodes (dtn_id, dtn_dtl_id, dtn_parentid, dtn_nodeid, dtn_caption, "
        "dtn_image) VALUES (1, 1, NULL, 'root', 'Bench', 1), (2, 1, 1, 'belege', 'Belege', 151) "
        "ON CONFLICT DO NOTHING;"
        "INSERT INTO dokutypes (dt_id, dt_descr, dt_parentnodeid, dt_linkto, dt_config) VALUES "
        "('RE', 'Rechnung', 'belege', 'benchtab', 'ImportMode=COPY') ON CONFLICT DO NOTHING"));
}

// The growth of the peak resident size while one 256 MB file is imported, in MB.
int MeasureRss() {
    TDM1 dm;
    dm.Connect();
    Seed(dm);
    QTemporaryDir dir;
    const QString big = dir.filePath(QStringLiteral("gross.bin"));
    {
        QFile f(big);
        if (!f.open(QIODevice::WriteOnly))
            return 1;
        QByteArray chunk(1 << 20, Qt::Uninitialized);
        std::mt19937 rng(7);
        for (qint64 done = 0; done < kBigFile; done += chunk.size()) {
            for (char& ch : chunk)
                ch = char(rng());
            f.write(chunk);
        }
    }
    TModulForm modul;
    TFormDokments* window = OpenWindow(modul, QStringLiteral("2"));
    QCoreApplication::processEvents();
    const long before = BenchMemory::StatusKb("VmRSS:");
    BenchMemory::ResetPeak();
    const int id = window->LoadDocument(fimCopy, big, false);
    const long peak = BenchMemory::StatusKb("VmHWM:");
    TVoskQuery2 q(&dm.Database(), QStringLiteral("SELECT f.size FROM picndoku d JOIN dms_file f "
                                                 "ON f.name = d.pd_dmsremotefile WHERE d.pd_id = :id"));
    q.Bind(QStringLiteral("id"), id).Open();
    if (q.Fields(0).AsLargeInt() != kBigFile) {
        std::fprintf(stderr, "stored %lld bytes\n", static_cast<long long>(q.Fields(0).AsLargeInt()));
        return 1;
    }
    delete window;
    std::printf("rss %ld\n", (peak - before + 1023) / 1024);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    Vcl::TApplication app(argc, argv);
    if (argc > 1 && QByteArray(argv[1]) == "--rss")
        return MeasureRss();

    TDM1 dm;
    dm.Connect();
    Seed(dm);
    QTemporaryDir dir;
    std::mt19937 rng(42);
    std::uniform_int_distribution<int> sizeKb(4, 256);
    QStringList files;
    for (int i = 0; i < kFiles; ++i) {
        const QString path = dir.filePath(QStringLiteral("datei%1.pdf").arg(i));
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly))
            return 1;
        QByteArray bytes(sizeKb(rng) * 1024, Qt::Uninitialized);
        for (char& ch : bytes)
            ch = char(rng());
        f.write(bytes);
        files << path;
    }
    PGconn* conn = PQconnectdb("");
    if (PQstatus(conn) != CONNECTION_OK)
        Fail("libpq", conn);
    TModulForm modul;
    TFormDokments* window = OpenWindow(modul, QStringLiteral("1"));

    std::vector<double> w, b;
    BenchTiming::PairedRatio ratio;
    QList<QByteArray> baseHashes;
    const qint64 tripsBefore = dm.Database().RoundTrips();
    for (int round = 0; round * kPerRound < kFiles; ++round) {
        const QStringList part = files.mid(round * kPerRound, kPerRound);
        const auto timeWindow = [&] {
            const auto t0 = Clock::now();
            for (const QString& f : part)
                window->LoadDocument(fimCopy, f, false);
            QCoreApplication::processEvents();
            return Ms(t0, Clock::now());
        };
        const auto timeBase = [&] {
            const auto t0 = Clock::now();
            for (int i = 0; i < part.size(); ++i)
                baseHashes << Baseline(conn, part[i], round * kPerRound + i);
            return Ms(t0, Clock::now());
        };
        double tw, tb;
        if (BenchTiming::AFirst(round)) {
            tw = timeWindow();
            tb = timeBase();
        } else {
            tb = timeBase();
            tw = timeWindow();
        }
        w.push_back(tw);
        b.push_back(tb);
        ratio.Add(tw, tb);
    }
    const double trips = double(dm.Database().RoundTrips() - tripsBefore) / kFiles;
    PQfinish(conn);

    // Both sides stored the same bytes in the same order.
    TVoskQuery2 q(&dm.Database(),
                  QStringLiteral("SELECT string_agg(f.sha256, ',' ORDER BY d.pd_id) FROM picndoku d "
                                 "JOIN dms_file f ON f.name = d.pd_dmsremotefile "
                                 "WHERE d.pd_tablename = :t"));
    q.Bind(QStringLiteral("t"), QStringLiteral("benchtab")).Open();
    const QByteArray windowHashes = q.Fields(0).AsString().toLatin1();
    if (windowHashes != baseHashes.join(',') || window->FAnzahl != kFiles) {
        std::fprintf(stderr, "the two sides stored different files (%d in the window)\n",
                     window->FAnzahl);
        return 1;
    }
    delete window;

    double total = 0, totalBase = 0;
    for (double v : w)
        total += v;
    for (double v : b)
        totalBase += v;
    std::printf("import %d files of 4-256 KB as copies, %d rounds of %d\n", kFiles,
                int(w.size()), kPerRound);
    std::printf("%-48s %10s %10s\n", "variant", "total ms", "round ms");
    std::printf("%-48s %10.1f %10.1f\n", "libpq lo_from_bytea + SHA-256 + INSERT (baseline)",
                totalBase, BenchTiming::Median(b));
    std::printf("%-48s %10.1f %10.1f\n", "TFormDokments::LoadDocument", total,
                BenchTiming::Median(w));
    std::printf("%-48s %10.1f\n", "window round trips per file", trips);
    std::printf("figure dms_import_ratio %.2f\n", ratio.Median());
    std::fflush(stdout);

    // The memory run has the database to itself: this session's locks would stall it.
    dm.Disconnect();
    QProcess rss;
    rss.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--rss")});
    rss.waitForFinished(-1);
    const QByteArray out = rss.readAllStandardOutput();
    if (rss.exitCode() != 0 || !out.startsWith("rss ")) {
        std::fprintf(stderr, "rss run failed: %s\n", rss.readAllStandardError().constData());
        return 1;
    }
    const int rssMb = out.mid(4).trimmed().toInt();
    std::printf("%-48s %10d\n", "peak RSS growth, one 256 MB file (MB)", rssMb);
    std::printf("figure dms_import_rss_mb %d\n", rssMb);
    return 0;
}

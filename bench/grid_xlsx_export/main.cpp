// Export of a grid's rows to a workbook against libxlsxwriter alone. A generated table (fixed
// formulas, 12 columns of every kind the export types: integer, bigint, numeric, double, short and
// long text with umlauts, text that is mostly NULL, date, timestamp, Boolean) is read into a data
// class shown by a grid; the export of all its rows is timed against libxlsxwriter in
// constant-memory mode writing the same header and typed cells from C++ arrays filled before the
// clock starts. Runs alternate; medians of three. Memory: the peak is reset before each export and
// the extra is VmHWM after minus VmRSS before.

#include "ProcMemory.h"

#include "TVoskClass.h"
#include "TVoskDBGrid2.h"
#include "UDM1.h"
#include "cxGridExportLink.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

#include <xlsxwriter.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

struct Baseline {
    std::vector<int> i, menge;
    std::vector<double> nr, betrag, faktor;
    std::vector<std::string> kurz, lang, selten, ort;
    std::vector<bool> seltenNull;
    std::vector<lxw_datetime> datum, zeit;
    std::vector<bool> aktiv;
};

Baseline Fill(TVoskClass& c) {
    Baseline b;
    const int n = c.RecordCount();
    auto col = [&](const char* name) { return c.FieldIndex(QString::fromLatin1(name)); };
    const int ci = col("id"), cn = col("nr"), cb = col("betrag"), cf = col("faktor"),
              ck = col("kurz"), cl = col("lang"), cs = col("selten"), cd = col("datum"),
              cz = col("zeit"), ca = col("aktiv"), cm = col("menge"), co = col("ort");
    for (int r = 0; r < n; ++r) {
        b.i.push_back(c.Value(r, ci).toInt());
        b.nr.push_back(c.Value(r, cn).toDouble());
        b.betrag.push_back(c.Value(r, cb).toDouble());
        b.faktor.push_back(c.Value(r, cf).toDouble());
        b.kurz.push_back(c.Value(r, ck).toString().toStdString());
        b.lang.push_back(c.Value(r, cl).toString().toStdString());
        b.seltenNull.push_back(c.Value(r, cs).isNull());
        b.selten.push_back(c.Value(r, cs).toString().toStdString());
        const QDate d = c.Value(r, cd).toDate();
        b.datum.push_back({d.year(), d.month(), d.day(), 0, 0, 0});
        const QDateTime t = c.Value(r, cz).toDateTime();
        b.zeit.push_back({t.date().year(), t.date().month(), t.date().day(), t.time().hour(),
                          t.time().minute(), double(t.time().second())});
        b.aktiv.push_back(c.Value(r, ca).toBool());
        b.menge.push_back(c.Value(r, cm).toInt());
        b.ort.push_back(c.Value(r, co).toString().toStdString());
    }
    return b;
}

void WriteBaseline(const Baseline& b, const QString& file, const QString& tmp) {
    const QByteArray path = QFile::encodeName(file), tmpdir = QFile::encodeName(tmp);
    lxw_workbook_options o{};
    o.constant_memory = LXW_TRUE;
    o.tmpdir = const_cast<char*>(tmpdir.constData());
    lxw_workbook* wb = workbook_new_opt(path.constData(), &o);
    lxw_worksheet* ws = workbook_add_worksheet(wb, "Tabelle1");
    lxw_format* bold = workbook_add_format(wb);
    format_set_bold(bold);
    lxw_format* df = workbook_add_format(wb);
    format_set_num_format(df, "dd.mm.yyyy");
    lxw_format* tf = workbook_add_format(wb);
    format_set_num_format(tf, "dd.mm.yyyy hh:mm:ss");
    const char* head[] = {"id", "nr", "betrag", "faktor", "kurz", "lang",
                          "selten", "datum", "zeit", "aktiv", "menge", "ort"};
    for (int c = 0; c < 12; ++c)
        worksheet_write_string(ws, 0, lxw_col_t(c), head[c], bold);
    for (size_t r = 0; r < b.i.size(); ++r) {
        const lxw_row_t row = lxw_row_t(r + 1);
        worksheet_write_number(ws, row, 0, b.i[r], nullptr);
        worksheet_write_number(ws, row, 1, b.nr[r], nullptr);
        worksheet_write_number(ws, row, 2, b.betrag[r], nullptr);
        worksheet_write_number(ws, row, 3, b.faktor[r], nullptr);
        worksheet_write_string(ws, row, 4, b.kurz[r].c_str(), nullptr);
        worksheet_write_string(ws, row, 5, b.lang[r].c_str(), nullptr);
        if (!b.seltenNull[r])
            worksheet_write_string(ws, row, 6, b.selten[r].c_str(), nullptr);
        lxw_datetime d = b.datum[r], t = b.zeit[r];
        worksheet_write_datetime(ws, row, 7, &d, df);
        worksheet_write_datetime(ws, row, 8, &t, tf);
        worksheet_write_boolean(ws, row, 9, b.aktiv[r], nullptr);
        worksheet_write_number(ws, row, 10, b.menge[r], nullptr);
        worksheet_write_string(ws, row, 11, b.ort[r].c_str(), nullptr);
    }
    workbook_close(wb);
}

struct Result {
    double exportMs, baseMs, extraMb;
};

Result Measure(TDM1& dm, int rows) {
    dm.ExecSQL(QStringLiteral("DROP TABLE IF EXISTS bench_export"));
    dm.ExecSQL(QStringLiteral(
        "CREATE TABLE bench_export AS SELECT g AS id, g::bigint * 1000003 AS nr, "
        "round((g % 100000) / 7.0, 2)::numeric(12,2) AS betrag, (g % 977) / 13.0::double precision "
        "AS faktor, 'Größe ' || (g % 50) AS kurz, repeat('Überprüfung der Maße für Straße ', 6) "
        "|| g AS lang, CASE WHEN g % 10 = 0 THEN 'Bemerkung ' || g END AS selten, date "
        "'2000-01-01' + (g % 9000) AS datum, timestamp '2020-01-01 00:00' + (g || ' minutes')::"
        "interval AS zeit, g % 3 = 0 AS aktiv, (g % 500)::integer AS menge, (ARRAY['München',"
        "'Köln','Düsseldorf','Nürnberg'])[g % 4 + 1] AS ort FROM generate_series(1, :n) AS g"),
        {{QStringLiteral("n"), rows}});
    TVoskClass2 data;
    data.SetSqlTable(QStringLiteral("bench_export"));
    data.SetKeyFieldName(QStringLiteral("id"));
    data.SetQuerySql(QStringLiteral("SELECT * FROM bench_export ORDER BY id"));
    data.Open();
    TVoskDBGrid2 grid;
    grid.setObjectName(QStringLiteral("GridBench"));
    grid.SetDataClass(&data);
    const Baseline base = Fill(data);
    QTemporaryDir dir;
    const QString tmp = QDir::tempPath();
    std::vector<double> ex, bl;
    double extra = 0;
    for (int run = 0; run < 3; ++run) {
        for (int side = 0; side < 2; ++side) {
            const bool exportFirst = (run % 2 == 0) == (side == 0);
            if (exportFirst) {
                const long before = BenchMemory::StatusKb("VmRSS:");
                BenchMemory::ResetPeak();
                const auto t0 = Clock::now();
                ExportGridToXLSX(dir.filePath(QStringLiteral("grid.xlsx")), &grid);
                ex.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
                extra = std::max(extra, (BenchMemory::StatusKb("VmHWM:") - before) / 1024.0);
            } else {
                const auto t0 = Clock::now();
                WriteBaseline(base, dir.filePath(QStringLiteral("base.xlsx")), tmp);
                bl.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
            }
        }
    }
    dm.ExecSQL(QStringLiteral("DROP TABLE bench_export"));
    return {Median(ex), Median(bl), extra};
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    TDM1 dm;
    dm.Connect();
    std::vector<int> sizes{100000, 1000000};
    if (argc > 1)
        sizes = {std::atoi(argv[1])};
    std::printf("%10s %14s %16s %8s %14s\n", "rows", "export ms", "libxlsxwriter ms", "ratio",
                "extra MB");
    std::vector<Result> results;
    for (int n : sizes) {
        const Result r = Measure(dm, n);
        results.push_back(r);
        std::printf("%10d %14.0f %16.0f %8.2f %14.1f\n", n, r.exportMs, r.baseMs,
                    r.exportMs / r.baseMs, r.extraMb);
        std::fflush(stdout);
    }
    if (results.size() == 2) {
        std::printf("figure export_vs_libxlsxwriter_1e6 %.2f\n",
                    results[1].exportMs / results[1].baseMs);
        std::printf("figure export_extra_mb_1e6 %.1f\n", results[1].extraMb);
        std::printf("figure export_extra_mb_growth %.1f\n",
                    results[1].extraMb - results[0].extraMb);
    }
    return 0;
}

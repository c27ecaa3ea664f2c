// Export of a grid's rows to a workbook against libxlsxwriter alone. A generated table (fixed
// formulas, 12 columns of every kind the export types: integer, bigint, numeric, double, short and
// long text with umlauts, text that is mostly NULL, date, timestamp, Boolean) is read into a data
// class shown by a grid; the export of all its rows is timed against libxlsxwriter in
// constant-memory mode writing the same header and typed cells from C++ arrays filled before the
// clock starts. Runs alternate; the ratio is the median of per-run pairs. Memory, both sides: the
// peak is reset before each write and the extra is VmHWM after minus VmRSS before. Both files are
// then read by Python's zipfile (an independent reader): rows and cells per type must agree.

#include "ProcMemory.h"

#include "TVoskClass.h"
#include "TVoskDBGrid2.h"
#include "UDM1.h"
#include "cxGridExportLink.h"

#include <QApplication>
#include <QDir>
#include <QProcess>
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
    double exportMs, baseMs, ratio, extraMb, baseExtraMb;
};

// Rows and cells by type ("n" numbers and dates, "s" texts, "b" Booleans) of the first sheet.
QString Summary(const QString& file) {
    static const char* const script = R"py(
import re, sys, zipfile
z = zipfile.ZipFile(sys.argv[1])
cell = re.compile(rb'<c\b([^>]*?)(/?)>')
kind = re.compile(rb'\bt="([^"]*)"')
rows, counts, carry = 0, {'n': 0, 's': 0, 'b': 0}, b''
with z.open('xl/worksheets/sheet1.xml') as f:
    while True:
        chunk = f.read(1 << 22)
        data = carry + chunk
        cut = data.rfind(b'>') + 1 if chunk else len(data)
        part, carry = data[:cut], data[cut:]
        rows += part.count(b'<row ')
        for m in cell.finditer(part):
            if m.group(2):
                continue
            t = kind.search(m.group(1))
            t = t.group(1).decode() if t else 'n'
            counts['s' if t in ('s', 'str', 'inlineStr') else t] += 1
        if not chunk:
            break
print(rows, counts['n'], counts['s'], counts['b'])
)py";
    QProcess p;
    p.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), QString::fromLatin1(script), file});
    p.waitForFinished(-1);
    return QString::fromLatin1(p.readAllStandardOutput()).trimmed();
}

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
    std::vector<double> ex, bl, ratio;
    double extra = 0, baseExtra = 0;
    const auto measured = [](double& peakMb, auto&& write) {
        const long before = BenchMemory::StatusKb("VmRSS:");
        BenchMemory::ResetPeak();
        const auto t0 = Clock::now();
        write();
        const double ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
        peakMb = std::max(peakMb, (BenchMemory::StatusKb("VmHWM:") - before) / 1024.0);
        return ms;
    };
    const QString ours = dir.filePath(QStringLiteral("grid.xlsx"));
    const QString theirs = dir.filePath(QStringLiteral("base.xlsx"));
    for (int run = 0; run < 3; ++run) {
        for (int side = 0; side < 2; ++side) {
            if ((run % 2 == 0) == (side == 0))
                ex.push_back(measured(extra, [&] { ExportGridToXLSX(ours, &grid); }));
            else
                bl.push_back(measured(baseExtra, [&] { WriteBaseline(base, theirs, tmp); }));
        }
        ratio.push_back(ex.back() / bl.back());
    }
    const QString a = Summary(ours), b = Summary(theirs);
    std::printf("%10d rows; sheets read back (rows, numbers, texts, Booleans): %s | %s\n", rows,
                qPrintable(a), qPrintable(b));
    if (a != b || a.isEmpty() || a.section(QLatin1Char(' '), 0, 0).toInt() != rows + 1) {
        std::fprintf(stderr, "the two workbooks differ\n");
        std::exit(1);
    }
    dm.ExecSQL(QStringLiteral("DROP TABLE bench_export"));
    return {Median(ex), Median(bl), Median(ratio), extra, baseExtra};
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
    std::printf("%10s %14s %16s %8s %14s %14s\n", "rows", "export ms", "libxlsxwriter ms",
                "ratio", "extra MB", "lxw extra MB");
    std::vector<Result> results;
    for (int n : sizes) {
        const Result r = Measure(dm, n);
        results.push_back(r);
        std::printf("%10d %14.0f %16.0f %8.2f %14.1f %14.1f\n", n, r.exportMs, r.baseMs, r.ratio,
                    r.extraMb, r.baseExtraMb);
        std::fflush(stdout);
    }
    if (results.size() == 2) {
        std::printf("figure export_vs_libxlsxwriter_1e6 %.2f\n",
                    results[1].ratio);
        std::printf("figure export_extra_mb_1e6 %.1f\n", results[1].extraMb);
        std::printf("figure libxlsxwriter_extra_mb_1e6 %.1f\n", results[1].baseExtraMb);
        std::printf("figure export_extra_mb_growth %.1f\n",
                    results[1].extraMb - results[0].extraMb);
    }
    return 0;
}

// The text picker over 100,000 texts (fixed seed, loaded by COPY): opening its list (the named
// SQL read into the data class, the key index and the filtered grid), one filter keystroke over
// its four columns with the grid's repaint, and a SelectLastNr that misses 101 numbers. Against,
// in the same run: the same rows fetched by plain libpq into strings, and a case-insensitive
// contains pass over the same strings, lowered once when read into one byte run that memmem
// searches, whose hits a plain table view over a minimal model of those strings shows and paints. Both sides of a round
// run in alternating order; figures are medians of per-round paired ratios, and both sides'
// shown rows are compared number by number.

#include "../Timing.h"

#include "TServSQL2.h"
#include "UDM1.h"
#include "Utext0editor.h"
#include "Vcl.Application.h"

#include <QAbstractTableModel>
#include <QHeaderView>
#include <QLineEdit>
#include <QTableView>

#include <libpq-fe.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <strings.h>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRows = 100'000;
constexpr int kFirstNr = 1'000'000;
constexpr int kRuns = 9;
constexpr int kFilterRuns = 21;
// The picker's list query with its parameter bound as the data class binds it.
constexpr const char* kSelect =
    "SELECT t.t_nr, t.t_feld0, t.t_kundtxt0, t.t_feld3, "
    "coalesce(t.t_feld0 = $1, false) AS voskgray, "
    "coalesce(t.t_feld0, '') <> $1 AND coalesce(trim(t.t_feld3), '') = '' AS voskred, "
    "EXISTS (SELECT 1 FROM text0numcircle n WHERE t.t_nr IN (n.start_group, n.end_group)) "
    "AS t_nr_voskbold FROM text0 t ORDER BY t.t_feld0, t.t_nr";
constexpr const char* kFilter = "lager"; // one keystroke's worth of filter

double Ms(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double, std::milli>(b - a).count();
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

[[noreturn]] void Fail(const char* what, PGconn* c) {
    std::fprintf(stderr, "%s: %s\n", what, PQerrorMessage(c));
    std::exit(1);
}

void Exec(PGconn* c, const char* sql) {
    PGresult* r = PQexec(c, sql);
    if (PQresultStatus(r) != PGRES_COMMAND_OK && PQresultStatus(r) != PGRES_TUPLES_OK)
        Fail(sql, c);
    PQclear(r);
}

// German and English words, a customer text on every fifth row, a missing English text on
// every seventh; numbers with gaps of up to 300, so that some SelectLastNr calls miss.
void Load(PGconn* c) {
    static const char* de[] = {"Lager", "Artikel", "Auftrag", "Kunde", "Lieferung", "Rechnung",
                               "Menge", "Preis", "Datum", "Status", "Bestand", "Zahlung"};
    static const char* en[] = {"stock", "item", "order", "customer", "delivery", "invoice",
                               "quantity", "price", "date", "state", "inventory", "payment"};
    std::mt19937 rng(20261209);
    std::uniform_int_distribution<int> word(0, 11), gap(1, 3), bigGap(150, 300), pick(0, 999);
    PGresult* start = PQexec(c, "COPY text0 (t_nr, t_feld0, t_kundtxt0, t_feld3) FROM STDIN");
    if (PQresultStatus(start) != PGRES_COPY_IN)
        Fail("COPY", c);
    PQclear(start);
    std::string buf;
    int nr = kFirstNr;
    for (int i = 0; i < kRows; ++i) {
        nr += pick(rng) == 0 ? bigGap(rng) : gap(rng);
        const int a = word(rng), b = word(rng);
        buf += std::to_string(nr) + '\t' + de[a] + ' ' + de[b] + ' ' + std::to_string(i) + '\t';
        buf += i % 5 == 0 ? std::string("Kunde ") + de[b] : std::string("\\N");
        buf += '\t';
        buf += i % 7 == 0 ? std::string("\\N") : std::string(en[a]) + ' ' + en[b];
        buf += '\n';
    }
    if (PQputCopyData(c, buf.data(), int(buf.size())) != 1 || PQputCopyEnd(c, nullptr) != 1)
        Fail("COPY", c);
    PGresult* r = PQgetResult(c);
    if (PQresultStatus(r) != PGRES_COMMAND_OK)
        Fail("COPY", c);
    PQclear(r);
    Exec(c, "ANALYZE text0");
}

// The floor of opening: the same rows, every value copied into a string.
double FetchPlain(PGconn* c, std::vector<std::string>& texts) {
    const auto t0 = Clock::now();
    const char* deleted = "*DELETED*";
    PGresult* r = PQexecParams(c, kSelect, 1, nullptr, &deleted, nullptr, nullptr, 0);
    if (PQresultStatus(r) != PGRES_TUPLES_OK)
        Fail("plain fetch", c);
    const int rows = PQntuples(r), cols = PQnfields(r);
    std::vector<std::string> cells(size_t(rows) * size_t(cols));
    for (int i = 0; i < rows; ++i)
        for (int j = 0; j < cols; ++j)
            cells[size_t(i) * size_t(cols) + size_t(j)].assign(PQgetvalue(r, i, j),
                                                                size_t(PQgetlength(r, i, j)));
    PQclear(r);
    const auto t1 = Clock::now();
    // The four searched columns, for the contains floor.
    texts.clear();
    for (int i = 0; i < rows; ++i)
        for (int j = 0; j < 4; ++j)
            texts.push_back(cells[size_t(i) * size_t(cols) + size_t(j)]);
    return Ms(t0, t1);
}

// The searched texts lowered once (ASCII, as strncasecmp compares), a row's four texts after
// one another with a NUL between them so that no hit spans two; rowStart[i] is where row i
// begins, rowStart[rows] the end.
struct FoldedRun {
    std::string bytes;
    std::vector<size_t> rowStart;
};

FoldedRun Fold(const std::vector<std::string>& texts) {
    FoldedRun f;
    size_t total = 0;
    for (const std::string& t : texts)
        total += t.size() + 1;
    f.bytes.reserve(total);
    f.rowStart.reserve(texts.size() / 4 + 1);
    for (size_t i = 0; i < texts.size(); ++i) {
        if (i % 4 == 0)
            f.rowStart.push_back(f.bytes.size());
        for (const char ch : texts[i])
            f.bytes.push_back(char(std::tolower((unsigned char)ch)));
        f.bytes.push_back('\0');
    }
    f.rowStart.push_back(f.bytes.size());
    return f;
}

// The floor of a keystroke: the lowered filter searched by memmem in the lowered byte run;
// after a hit the search goes on at the next row.
double ContainsPlain(const FoldedRun& run, int& hits, std::vector<int>* rows = nullptr) {
    const auto t0 = Clock::now();
    std::string needle = kFilter;
    for (char& ch : needle)
        ch = char(std::tolower((unsigned char)ch));
    const char* base = run.bytes.data();
    const char* end = base + run.bytes.size();
    hits = 0;
    size_t row = 0;
    for (const char* p = base; p < end;) {
        const void* at = memmem(p, size_t(end - p), needle.data(), needle.size());
        if (!at)
            break;
        const size_t pos = size_t(static_cast<const char*>(at) - base);
        row = size_t(std::upper_bound(run.rowStart.begin() + ptrdiff_t(row), run.rowStart.end(), pos) -
                     run.rowStart.begin()) - 1;
        ++hits;
        if (rows)
            rows->push_back(int(row));
        p = base + run.rowStart[row + 1];
    }
    return Ms(t0, Clock::now());
}

// The plainest model a table view can show the hits through: a row a hit, the four texts as
// they are.
class PlainHits final : public QAbstractTableModel {
public:
    explicit PlainHits(const std::vector<std::string>& texts) : m_texts(texts) {}
    void SetRows(std::vector<int> rows) {
        beginResetModel();
        m_rows = std::move(rows);
        endResetModel();
    }
    const std::vector<int>& Rows() const { return m_rows; }
    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : int(m_rows.size());
    }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : 4;
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (role != Qt::DisplayRole)
            return {};
        const std::string& t =
            m_texts[size_t(m_rows[size_t(index.row())]) * 4 + size_t(index.column())];
        return QString::fromUtf8(t.data(), qsizetype(t.size()));
    }

private:
    const std::vector<std::string>& m_texts;
    std::vector<int> m_rows;
};

std::vector<int> AllRows(size_t n) {
    std::vector<int> rows(n);
    for (size_t i = 0; i < n; ++i)
        rows[i] = int(i);
    return rows;
}

// The floor of a keystroke with its repaint: the contains pass, its hits into the plain model,
// the plain view painted.
// paint: the part after the model has its rows.
double FilterPlain(const std::vector<std::string>& texts, const FoldedRun& run, PlainHits& model,
                   int& hits, double& paint) {
    model.SetRows(AllRows(texts.size() / 4));
    QApplication::processEvents();
    const auto t0 = Clock::now();
    std::vector<int> rows;
    ContainsPlain(run, hits, &rows);
    model.SetRows(std::move(rows));
    const auto t1 = Clock::now();
    QApplication::processEvents();
    const auto t2 = Clock::now();
    paint = Ms(t1, t2);
    return Ms(t0, t2);
}

double OpenPicker(TFormText0Editor& picker) {
    picker.sqlText0->Close();
    QApplication::processEvents();
    const auto t0 = Clock::now();
    picker.LoadText0();
    QApplication::processEvents();
    const auto t1 = Clock::now();
    if (picker.sqlText0->RecordCount() < kRows) {
        std::fprintf(stderr, "picker read %d rows\n", picker.sqlText0->RecordCount());
        std::exit(1);
    }
    return Ms(t0, t1);
}

double FilterPicker(TFormText0Editor& picker, int& shown, double& paint) {
    picker.edFilter->blockSignals(true);
    picker.edFilter->clear();
    picker.edFilterChange();
    picker.edFilter->setText(QString::fromLatin1(kFilter));
    picker.edFilter->blockSignals(false);
    QApplication::processEvents();
    const auto t0 = Clock::now();
    picker.edFilterChange();
    const auto t1 = Clock::now();
    QApplication::processEvents();
    const auto t2 = Clock::now();
    shown = picker.VisibleRowCount();
    paint = Ms(t1, t2);
    return Ms(t0, t2);
}

} // namespace

int main(int argc, char** argv) {
    Vcl::TApplication app(argc, argv);
    PGconn* conn = PQconnectdb("");
    if (PQstatus(conn) != CONNECTION_OK)
        Fail("libpq", conn);
    Load(conn);
    TDM1 dm;
    dm.Connect();

    TFormText0Editor picker;
    picker.resize(1000, 700);
    picker.show();
    std::vector<std::string> texts;
    int shown = 0, hits = 0;
    // First-use costs (plans, fonts, styles) are not what is compared.
    FetchPlain(conn, texts);
    OpenPicker(picker);

    std::vector<double> open, fetch, filter, plain, contains, filterPaint, plainPaint;
    double paint = 0;
    BenchTiming::PairedRatio openRatio, filterRatio;
    for (int run = 0; run < kRuns; ++run) {
        BenchTiming::InTurn(
            run, [&] { open.push_back(OpenPicker(picker)); },
            [&] { fetch.push_back(FetchPlain(conn, texts)); });
        openRatio.Add(open.back(), fetch.back());
    }

    // The plain view as the picker's grid: its size, its columns' widths, its row height.
    const FoldedRun folded = Fold(texts);
    PlainHits hitsModel(texts);
    QTableView plainView;
    plainView.setModel(&hitsModel);
    plainView.verticalHeader()->hide();
    plainView.verticalHeader()->setDefaultSectionSize(
        picker.grText0->verticalHeader()->defaultSectionSize());
    plainView.resize(picker.grText0->size());
    const int nrCol = picker.sqlText0->FieldIndex(QStringLiteral("t_nr"));
    for (int c = 0; c < 4; ++c)
        plainView.setColumnWidth(c, picker.grText0->columnWidth(nrCol + c));
    plainView.show();
    FilterPlain(texts, folded, hitsModel, hits, paint);

    for (int run = 0; run < kFilterRuns; ++run) {
        BenchTiming::InTurn(
            run,
            [&] {
                filter.push_back(FilterPicker(picker, shown, paint));
                filterPaint.push_back(paint);
            },
            [&] {
                plain.push_back(FilterPlain(texts, folded, hitsModel, hits, paint));
                plainPaint.push_back(paint);
            });
        filterRatio.Add(filter.back(), plain.back());
    }
    if (shown != hits) {
        std::fprintf(stderr, "filter shows %d rows, plain pass finds %d\n", shown, hits);
        return 1;
    }
    // The same texts in the same order on both sides.
    const QAbstractItemModel* grid = picker.grText0->model();
    for (int p = 0; p < shown; ++p) {
        const qint64 nr = grid->index(p, nrCol).data(Qt::EditRole).toLongLong();
        const std::string& plainNr = texts[size_t(hitsModel.Rows()[size_t(p)]) * 4];
        if (std::to_string(nr) != plainNr) {
            std::fprintf(stderr, "shown row %d: the picker shows %lld, the plain view %s\n", p,
                         (long long)nr, plainNr.c_str());
            return 1;
        }
    }
    for (int run = 0; run < kFilterRuns; ++run)
        contains.push_back(ContainsPlain(folded, hits));

    // A number 101 above the last text and 100 below nothing: every step of the search misses.
    PGresult* r = PQexec(conn, "SELECT max(t_nr) FROM text0");
    const int top = std::atoi(PQgetvalue(r, 0, 0));
    PQclear(r);
    std::vector<double> select;
    for (int run = 0; run < kRuns; ++run) {
        const auto t0 = Clock::now();
        const bool found = picker.SelectLastNr(top + 101);
        select.push_back(Ms(t0, Clock::now()));
        if (found) {
            std::fprintf(stderr, "SelectLastNr found a number above the last one\n");
            return 1;
        }
    }

    const double o = openRatio.Median();
    const double f = filterRatio.Median();
    std::printf("%-42s %10s\n", "text picker, 100000 texts", "median ms");
    std::printf("%-42s %10.2f\n", "open the picker's list", Median(open));
    std::printf("%-42s %10.2f\n", "plain libpq fetch of the same rows", Median(fetch));
    std::printf("%-42s %10.2f   (%d rows)\n", "filter keystroke over four columns", Median(filter),
                shown);
    std::printf("%-42s %10.2f\n", "  of it the grid's repaint", Median(filterPaint));
    std::printf("%-42s %10.2f\n", "contains pass, plain view's reset and paint", Median(plain));
    std::printf("%-42s %10.2f\n", "  of it the plain view's paint", Median(plainPaint));
    std::printf("%-42s %10.2f\n", "  of it the memmem pass over lowered texts", Median(contains));
    std::printf("%-42s %10.4f\n", "SelectLastNr missing 101 times", Median(select));
    std::printf("figure open_vs_libpq %.2f\n", o);
    std::printf("figure filter_vs_plain %.2f\n", f);
    picker.hide();
    PQfinish(conn);
    return 0;
}

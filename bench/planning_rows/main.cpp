// The planning grid's rows over a generated time line of one resource with one-day entities
// (10^6 rows in 2025, about as many grid rows in by-week mode), ten bound columns: eight master
// fields, one field of the information rows and the year-week. Timed: activation of the group,
// the first count, a full scan of every cell through the source's GetValue and through the Qt
// model, and FetchValues on eight threads. Baseline in the same run: the same cells read straight
// from the master records by physical row in grid order (row ids and an a2_id hash taken
// beforehand), as values and, for the model, with the same text conversion; and the same values
// in typed column arrays (no QVariant a cell), read against the board's own typed read (the data
// controller's FetchCells, which its grouping and summaries use: every record of a column in
// one read) in paired, alternating rounds, both compared value by value;
// the rows without a master record (the calendar's leading row, one after each week) count
// their year-week on both sides.
// Memory: the rise of the peak resident set over activation and first count, per grid row.

#include "DataController.h"
#include "DataSourceModel.h"
#include "../Connect.h"
#include "../ProcMemory.h"
#include "../Timing.h"
#include "UDM1.h"
#include "UPlantafel.ContainerDataSource.h"
#include "tools/TimelineGenerator.h"

#include <QCoreApplication>

#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <unordered_map>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double, std::milli>(b - a).count();
}

using BenchMemory::ResetPeak;
using BenchMemory::StatusKb;

// Marks the end of the open, so that what follows (the groups' activation) is timed and
// measured on its own.
class BenchContainer final : public TPlantafelContainerDataSource {
public:
    long RssAfterOpen = 0;
    Clock::time_point OpenDone;

protected:
    void InternalOpen() override {
        TPlantafelContainerDataSource::InternalOpen();
        malloc_trim(0);
        ResetPeak();
        RssAfterOpen = StatusKb("VmHWM:");
        OpenDone = Clock::now();
    }
};

template <class F> double Median3(F&& f) {
    std::vector<double> t;
    for (int i = 0; i < 3; ++i) {
        const auto a = Clock::now();
        f();
        t.push_back(Ms(a, Clock::now()));
    }
    std::sort(t.begin(), t.end());
    return t[1];
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    TDM1 dm;
    if (!BenchDb::Connected(dm))
        return 1;
    PlantafelTimeline::Options o;
    o.Resources = 1;
    o.Rows = argc > 1 ? std::atoll(argv[1]) : 1000000LL;
    o.MaxEntityDays = 1;
    const auto gen0 = Clock::now();
    const auto summary = PlantafelTimeline::Generate(dm.Database().Handle(), o);
    std::printf("%-40s %10.1f ms  (%lld rows, %d entities)\n", "generate + COPY",
                Ms(gen0, Clock::now()), (long long)summary.Rows, summary.Entities);

    BenchContainer c;
    c.SetStartDate(QDateTime(QDate(2025, 1, 1), QTime(0, 0)));
    c.SetEndDate(QDateTime(QDate(2025, 12, 31), QTime(0, 0)));
    c.SetResIDSelectSQL({QStringLiteral("1")});
    TPlantafelSubViewGroup* g = c.AddGroup(QStringLiteral("Rows"));
    g->SetMode(ptsvmCalendarWeekGroupedByWeek);
    TPlantafelSubViewDataSource* s = c.AddSubViewDataSource(QStringLiteral("Rows"), 1);

    const auto open0 = Clock::now();
    c.SetActive(true);
    const auto active = Clock::now();
    std::printf("%-40s %10.1f ms\n", "open (time line, numbering, info rows)",
                Ms(open0, c.OpenDone));
    std::printf("%-40s %10.1f ms\n", "activation (calendar, grouping datasets)",
                Ms(c.OpenDone, active));

    const QStringList masterFields{QStringLiteral("ti_id"),         QStringLiteral("ti_a2_id"),
                                   QStringLiteral("ti_date_start"), QStringLiteral("ti_conflicted"),
                                   QStringLiteral("a2_ab_ix"),      QStringLiteral("a2_n"),
                                   QStringLiteral("_dayy"),         QStringLiteral("_date")};
    Grid::DataController grid;
    for (const QString& f :
         masterFields + QStringList{QStringLiteral("a2_bezeichnung"), QStringLiteral("_yweek")}) {
        auto b = std::make_unique<TVoskGridItemCustomDSDataBinding>();
        b->SetFieldName(f);
        grid.AddItem(std::move(b));
    }
    const auto count0 = Clock::now();
    grid.SetCustomDataSource(s); // loads the record handles: the first count
    const auto counted = Clock::now();
    const long peakKb = StatusKb("VmHWM:");
    const int rows = grid.RecordCount();
    const int cols = grid.ItemCount();
    std::printf("%-40s %10.1f ms  (%d grid rows)\n", "first count and record handles",
                Ms(count0, counted), rows);

    std::vector<Grid::RecordHandle> handles(static_cast<size_t>(rows));
    for (int r = 0; r < rows; ++r)
        handles[size_t(r)] = grid.GetRecordHandle(r);
    std::vector<Grid::ItemHandle> items;
    for (int k = 0; k < cols; ++k)
        items.push_back(grid.GetItemHandle(k));

    long long sink = 0;
    auto scanSource = [&] {
        for (int r = 0; r < rows; ++r)
            for (int k = 0; k < cols; ++k)
                sink += s->GetValue(handles[size_t(r)], items[size_t(k)]).isValid();
    };
    const auto cold0 = Clock::now();
    scanSource();
    const double cold = Ms(cold0, Clock::now());
    const double warm = Median3(scanSource);
    std::printf("%-40s %10.1f ms\n", "scan GetValue, first (locating)", cold);
    std::printf("%-40s %10.1f ms\n", "scan GetValue, again", warm);

    Grid::DataSourceModel model(grid);
    auto scanModel = [&] {
        for (int r = 0; r < rows; ++r)
            for (int k = 0; k < cols; ++k)
                sink += model.data(model.index(r, k)).toString().size();
    };
    const double viaModel = Median3(scanModel);
    std::printf("%-40s %10.1f ms\n", "scan DataSourceModel::data", viaModel);

    std::vector<int> all(static_cast<size_t>(cols));
    for (int k = 0; k < cols; ++k)
        all[size_t(k)] = k;
    const double fetch1 = Median3([&] { sink += grid.FetchValues(all, 1).size(); });
    const double fetch8 = Median3([&] { sink += grid.FetchValues(all, 8).size(); });
    std::printf("%-40s %10.1f ms\n", "FetchValues, 1 thread", fetch1);
    std::printf("%-40s %10.1f ms\n", "FetchValues, 8 threads", fetch8);

    // Baseline: physical rows in grid order and the information rows by a2_id, taken before.
    Cds::ClientDataSet& master = c.MasterData();
    const TPlantafelRowMemo* memo = &g->Links()->Memo(*s, s->DataSerial());
    std::vector<qint32> rowIds(static_cast<size_t>(rows));
    for (int r = 0; r < rows; ++r)
        rowIds[size_t(r)] = memo->At(size_t(r));
    std::vector<int> fieldIdx;
    for (const QString& f : masterFields)
        fieldIdx.push_back(master.FieldIndex(f));
    const int linkIdx = master.FieldIndex(QStringLiteral("ti_a2_id"));
    const int yweekIdx = master.FieldIndex(QStringLiteral("_yweek"));
    Cds::ClientDataSet& ex = c.MasterRecordsEx();
    const int exKey = c.ExLinkMasterFldExIdx();
    const int exText = ex.FieldIndex(QStringLiteral("a2_bezeichnung"));
    std::unordered_map<qint64, qint32> infoRow;
    for (ex.First(); !ex.Eof(); ex.Next())
        infoRow.emplace(ex.Value(exKey).toLongLong(), qint32(ex.RowId()));

    // In by-week mode the grid has rows without a master record: the calendar's leading row,
    // and a row after each week's records (53 in 2025, up to week 1 of 2026) that shows only
    // its week's keys, so its year-week is that of the record before it. The leading row's
    // keys come before any record: its value is taken from the source, as the row ids are.
    std::vector<QVariant> groupWeek(static_cast<size_t>(rows));
    std::vector<char> leading(static_cast<size_t>(rows), 0);
    {
        QVariant previous;
        for (int r = 0; r < rows; ++r) {
            const qint32 row = rowIds[size_t(r)];
            if (row >= 0) {
                previous = master.ValueAt(row, yweekIdx);
            } else if (previous.isValid()) {
                groupWeek[size_t(r)] = previous;
            } else {
                leading[size_t(r)] = 1;
                groupWeek[size_t(r)] = s->GetValue(handles[size_t(r)], items[size_t(cols - 1)]);
            }
        }
    }
    auto direct = [&](auto&& use) {
        for (int r = 0; r < rows; ++r) {
            const qint32 row = rowIds[size_t(r)];
            if (row < 0) {
                for (int k = 0; k + 1 < cols; ++k)
                    use(QVariant());
                use(groupWeek[size_t(r)]);
                continue;
            }
            for (int f : fieldIdx)
                use(master.ValueAt(row, f));
            const auto it = infoRow.find(master.ValueAt(row, linkIdx).toLongLong());
            use(it == infoRow.end() ? QVariant() : ex.ValueAt(it->second, exText));
            use(master.ValueAt(row, yweekIdx));
        }
    };
    const double baseValues =
        Median3([&] { direct([&](const QVariant& v) { sink += v.isValid(); }); });
    const double baseText = Median3([&] {
        direct([&](const QVariant& v) {
            sink += (v.isValid() && !v.isNull() ? v.toString() : QString()).size();
        });
    });
    // The typed floor: the same cells copied beforehand into one typed array per grid column
    // (integers, reals, dates as milliseconds, texts), read in grid order without a QVariant.
    struct TypedColumn {
        int kind = 0; // 0 integer, 1 real, 2 text
        std::vector<qint64> ints;
        std::vector<double> reals;
        std::vector<QString> texts;
        std::vector<char> null;
    };
    std::vector<TypedColumn> typed(static_cast<size_t>(cols));
    {
        int k = 0;
        std::vector<QVariant> first(static_cast<size_t>(cols));
        direct([&](const QVariant& v) {
            if (!v.isNull() && !first[size_t(k)].isValid())
                first[size_t(k)] = v;
            k = (k + 1) % cols;
        });
        for (int c = 0; c < cols; ++c) {
            const int id = first[size_t(c)].typeId();
            typed[size_t(c)].kind = id == QMetaType::Double ? 1
                                    : id == QMetaType::QString || id == QMetaType::QByteArray
                                        ? 2
                                        : 0;
        }
        direct([&](const QVariant& v) {
            TypedColumn& t = typed[size_t(k)];
            t.null.push_back(!v.isValid() || v.isNull());
            if (t.kind == 1)
                t.reals.push_back(v.toDouble());
            else if (t.kind == 2)
                t.texts.push_back(v.toString());
            else if (v.typeId() == QMetaType::QDateTime)
                t.ints.push_back(v.toDateTime().toMSecsSinceEpoch());
            else if (v.typeId() == QMetaType::QDate)
                t.ints.push_back(v.toDate().toJulianDay());
            else
                t.ints.push_back(v.toLongLong());
            k = (k + 1) % cols;
        });
    }
    long long typedCells = 0, sourceCells = 0;
    auto scanTyped = [&] {
        long long n = 0;
        for (size_t r = 0; r < size_t(rows); ++r)
            for (const TypedColumn& t : typed) {
                if (t.null[r])
                    continue;
                ++n;
                sink += t.kind == 0   ? t.ints[r]
                        : t.kind == 1 ? qint64(t.reals[r])
                                      : t.texts[r].size();
            }
        typedCells = n;
    };
    // The board's side: the same cells as the grid reads a column for its grouping and
    // summaries, every record of the column in one typed read through its data controller.
    std::vector<std::unique_ptr<Grid::ColumnCells>> board(static_cast<size_t>(cols));
    auto readBoard = [&] {
        for (int k = 0; k < cols; ++k)
            if (!(board[size_t(k)] = grid.FetchCells(k)))
                return false;
        return true;
    };
    auto scanSourceCount = [&] {
        readBoard();
        long long n = 0;
        for (size_t r = 0; r < size_t(rows); ++r)
            for (const auto& column : board) {
                const Grid::ColumnCells& t = *column;
                if (t.Null[r])
                    continue;
                ++n;
                sink += t.Kind == Grid::ColumnCells::ckInteger ? t.Integers[r]
                        : t.Kind == Grid::ColumnCells::ckReal  ? qint64(t.Reals[r])
                                                               : t.Texts[r].size();
            }
        sourceCells = n;
    };
    // Both sides value by value, before any is timed.
    if (!readBoard()) {
        std::fprintf(stderr, "a column the board does not read typed\n");
        return 1;
    }
    for (int k = 0; k < cols; ++k) {
        const Grid::ColumnCells& a = *board[size_t(k)];
        const TypedColumn& b = typed[size_t(k)];
        if (int(a.Kind) != b.kind || a.Null.size() != size_t(rows)) {
            std::fprintf(stderr, "column %d: the board's kind %d, the floor's %d\n", k, int(a.Kind),
                         b.kind);
            return 1;
        }
        for (size_t r = 0; r < size_t(rows); ++r) {
            const bool same = bool(a.Null[r]) == bool(b.null[r]) &&
                              (a.Null[r] || (b.kind == 0   ? a.Integers[r] == b.ints[r]
                                             : b.kind == 1 ? a.Reals[r] == b.reals[r]
                                                           : a.Texts[r] == b.texts[r]));
            if (!same) {
                std::fprintf(stderr, "row %zu column %d: the board and the floor differ\n", r, k);
                return 1;
            }
        }
    }
    // The week rows' year-weeks, from both sides.
    int groupRows = 0;
    for (int r = 0; r < rows; ++r) {
        if (rowIds[size_t(r)] >= 0 || leading[size_t(r)])
            continue;
        ++groupRows;
        const QVariant v = s->GetValue(handles[size_t(r)], items[size_t(cols - 1)]);
        if (v.toLongLong() != groupWeek[size_t(r)].toLongLong() || v.isNull()) {
            std::fprintf(stderr, "group row %d: the source gives year-week %s, the floor %s\n", r,
                         qPrintable(v.toString()), qPrintable(groupWeek[size_t(r)].toString()));
            return 1;
        }
    }
    std::printf("%-40s %10d\n", "rows that end a week", groupRows);
    BenchTiming::PairedRatio typedRatio;
    double typedMs = 0, sourceMs = 0;
    for (int round = 0; round < 7; ++round) {
        BenchTiming::InTurn(
            round,
            [&] {
                const auto t0 = Clock::now();
                scanSourceCount();
                sourceMs = Ms(t0, Clock::now());
            },
            [&] {
                const auto t0 = Clock::now();
                scanTyped();
                typedMs = Ms(t0, Clock::now());
            });
        typedRatio.Add(sourceMs, typedMs);
    }
    if (typedCells != sourceCells) {
        std::fprintf(stderr, "typed arrays hold %lld values, the source %lld\n", typedCells,
                     sourceCells);
        return 1;
    }
    std::printf("%-40s %10.1f ms\n", "direct: values by physical row", baseValues);
    std::printf("%-40s %10.1f ms\n", "typed column arrays", typedMs);
    std::printf("%-40s %10.1f ms\n", "board's typed read", sourceMs);
    std::printf("%-40s %10.1f ms\n", "direct: values with text", baseText);
    std::fprintf(stderr, "(checksum %lld)\n", sink);

    const double bytes = double(peakKb - c.RssAfterOpen) * 1024.0 / std::max(rows, 1);
    std::printf("figure datasource_vs_direct %.2f\n", cold / baseValues);
    std::printf("figure datasource_vs_typed %.2f\n", typedRatio.Median());
    std::printf("figure model_vs_direct %.2f\n", viaModel / baseText);
    std::printf("figure bytes_per_grid_row %.1f\n", bytes);
    return 0;
}

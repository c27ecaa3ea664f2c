// Grouping the planning grid's rows by week in the banded view, over a generated time line of
// one resource with one-day entities (10^4 rows without an argument, about as many grid rows in
// by-week mode). Timed: grouping the bound view by its year-week column (the group index: the
// column read for every row, sorted, split), the texts and the week-count aggregate of every
// group row as a full paint of them asks, expanding every group and collapsing them again with
// the paint after each, and a paint of the group rows alone. Baseline in the same run: the plain way with the same source, the
// year-week and entity of every row read through GetValue into plain arrays, a stable sort of the
// row numbers by the week, one group per run, and the engine's count read once per group from its
// first row with a record. Both sides' groups, row counts and counts are compared; the figure is the median of the
// per-round ratios of the two, the side that goes first alternating.

#include "../Connect.h"
#include "../Timing.h"
#include "UDM1.h"
#include "UPlantafel.ContainerDataSource.h"
#include "UPlantafel.GridViewCustomDS.h"
#include "tools/TimelineGenerator.h"

#include <QApplication>
#include <QTableView>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <numeric>
#include <vector>

namespace {

struct Grouped {
    std::vector<qint64> Keys;
    std::vector<int> Rows;
    std::vector<qint64> Counts; // the engine's aggregate, -1 for none
};

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    TDM1 dm;
    if (!BenchDb::Connected(dm))
        return 1;
    PlantafelTimeline::Options o;
    o.Resources = 1;
    o.Rows = argc > 1 ? std::atoll(argv[1]) : 10000LL;
    o.MaxEntityDays = 1;
    PlantafelTimeline::Generate(dm.Database().Handle(), o);

    TPlantafelContainerDataSource c;
    c.SetStartDate(QDateTime(QDate(2025, 1, 1), QTime(0, 0)));
    c.SetEndDate(QDateTime(QDate(2025, 12, 31), QTime(0, 0)));
    c.SetResIDSelectSQL({QStringLiteral("1")});
    c.AddGroup(QStringLiteral("Rows"))->SetMode(ptsvmCalendarWeekGroupedByWeek);
    TPlantafelSubViewDataSource* s = c.AddSubViewDataSource(QStringLiteral("Rows"), 1);

    QWidget form;
    form.resize(900, 700);
    TVoskGridViewCustomDS view(&form);
    view.Control()->setParent(&form);
    view.Control()->resize(900, 700);
    view.AddBand(QStringLiteral("Plan"));
    for (const char* field : {"_yweek", "ti_a2_id", "a2_n", "ti_date_start"})
        view.Binding(view.CreateColumn(QString::fromLatin1(field)))
            .SetFieldName(QString::fromLatin1(field));
    Grid::GridBandedColumn& week = *view.ColumnByName(QStringLiteral("_yweek"));
    Grid::GridBandedColumn& count = view.CreateColumn(QStringLiteral("count"));
    view.Binding(count).SetFieldKind(fkAggregate);
    view.Binding(count).AggExpression = QStringLiteral("Count(ti_id)");
    view.Binding(count).AggGroupingLevel = ptfldWeek;
    view.DataController().SetCustomDataSource(s);
    c.SetActive(true);
    form.show();
    const Grid::DataController& ctl = view.DataController();
    const int records = ctl.RecordCount();
    const int weekItem = week.ItemIndex(), countItem = count.ItemIndex();
    const int entityItem = view.ColumnByName(QStringLiteral("ti_a2_id"))->ItemIndex();
    const int mapping = s->Group().AggsMapping().IndexOf(QStringLiteral("Count(ti_id)"), ptfldWeek);

    // The view's side: group, every group row's text and count, expand all, collapse all.
    Grouped viewSide;
    BenchTiming::Stamp groupMs, expandMs, paintMs;
    auto viaView = [&] {
        view.SetGroupIndex(week, -1);
        const auto t0 = BenchTiming::Stamp::Now();
        view.SetGroupIndex(week, 0);
        viewSide = {};
        for (int g = 0; g < ctl.GroupCount(); ++g) {
            if (view.GroupRowText(g).isEmpty())
                return;
            const QString n = view.GroupSummaryText(g, countItem);
            viewSide.Keys.push_back(ctl.GetValue(ctl.GroupedRecords()[size_t(ctl.Group(g).FirstRecord)],
                                                 weekItem)
                                        .toLongLong());
            viewSide.Rows.push_back(ctl.Group(g).RecordCount);
            viewSide.Counts.push_back(n.isEmpty() ? -1 : n.toLongLong());
        }
        groupMs = t0.Elapsed();
        // Expanding and collapsing with the paint that follows each (which lays the rows out).
        const auto t1 = BenchTiming::Stamp::Now();
        view.DataController().FullExpand(true);
        view.TableView()->viewport()->grab();
        view.DataController().FullExpand(false);
        view.TableView()->viewport()->grab();
        expandMs = t1.Elapsed();
        const auto t3 = BenchTiming::Stamp::Now();
        view.TableView()->viewport()->grab();
        paintMs = t3.Elapsed();
    };

    // The plain way over the same source.
    Grouped plain;
    auto viaPlain = [&] {
        plain = {};
        std::vector<Grid::RecordHandle> handles(static_cast<size_t>(records));
        for (int r = 0; r < records; ++r)
            handles[size_t(r)] = s->GetRecordHandle(r);
        Grid::ItemHandle weekHandle = ctl.GetItemHandle(weekItem);
        Grid::ItemHandle entityHandle = ctl.GetItemHandle(entityItem);
        std::vector<qint64> keys(static_cast<size_t>(records));
        std::vector<char> located(static_cast<size_t>(records));
        for (int r = 0; r < records; ++r) {
            keys[size_t(r)] = s->GetValue(handles[size_t(r)], weekHandle).toLongLong();
            located[size_t(r)] = !s->GetValue(handles[size_t(r)], entityHandle).isNull();
        }
        std::vector<int> order(static_cast<size_t>(records));
        std::iota(order.begin(), order.end(), 0);
        std::stable_sort(order.begin(), order.end(),
                         [&](int a, int b) { return keys[size_t(a)] < keys[size_t(b)]; });
        for (size_t i = 0; i < order.size();) {
            size_t j = i + 1;
            while (j < order.size() && keys[size_t(order[j])] == keys[size_t(order[i])])
                ++j;
            // A week is one group of the count's level: its value comes from its first row that
            // has a record (the extra row of a week has none).
            size_t k = i;
            while (k < j && !located[size_t(order[k])])
                ++k;
            const QVariant n = k < j ? s->GetAggregateValue(handles[size_t(order[k])], mapping,
                                                            {ptdstData})
                                     : QVariant();
            plain.Keys.push_back(keys[size_t(order[i])]);
            plain.Rows.push_back(int(j - i));
            plain.Counts.push_back(n.isValid() && !n.isNull() ? n.toLongLong() : -1);
            i = j;
        }
    };

    // For comparison: a paint of the flat view.
    std::vector<double> flatPaint;
    for (int i = 0; i < 3; ++i) {
        const auto t = BenchTiming::Stamp::Now();
        view.TableView()->viewport()->grab();
        flatPaint.push_back(t.Elapsed().WallMs);
    }

    BenchTiming::PairedRatio ratio;
    std::vector<double> group, expand, paint, floor;
    for (int round = 0; round < 7; ++round) {
        double a = 0, b = 0;
        for (int side = 0; side < 2; ++side) {
            if ((side == 0) == BenchTiming::AFirst(round)) {
                viaView();
                a = groupMs.WallMs;
                group.push_back(a);
                expand.push_back(expandMs.WallMs);
                paint.push_back(paintMs.WallMs);
            } else {
                const auto t = BenchTiming::Stamp::Now();
                viaPlain();
                b = t.Elapsed().WallMs;
                floor.push_back(b);
            }
        }
        ratio.Add(a, b);
    }
    if (viewSide.Keys != plain.Keys || viewSide.Rows != plain.Rows) {
        std::fprintf(stderr, "the view has %zu groups, the plain way %zu, or their rows differ\n",
                     viewSide.Keys.size(), plain.Keys.size());
        return 1;
    }
    for (size_t g = 0; g < plain.Counts.size(); ++g)
        if (viewSide.Counts[g] != plain.Counts[g]) {
            std::fprintf(stderr, "week %lld: the view counts %lld, the engine %lld\n",
                         (long long)plain.Keys[g], (long long)viewSide.Counts[g],
                         (long long)plain.Counts[g]);
            return 1;
        }
    std::printf("%-44s %8d rows, %zu groups\n", "grid rows", records, plain.Keys.size());
    std::printf("%-44s %8.1f ms\n", "group by week, texts and counts (view)",
                BenchTiming::Median(group));
    std::printf("%-44s %8.1f ms\n", "the same, plain arrays", BenchTiming::Median(floor));
    std::printf("%-44s %8.1f ms\n", "expand all, paint, collapse all, paint",
                BenchTiming::Median(expand));
    std::printf("%-44s %8.1f ms\n", "paint of the shown group rows", BenchTiming::Median(paint));
    std::printf("%-44s %8.1f ms\n", "paint of the flat view", BenchTiming::Median(flatPaint));
    std::printf("figure grouping_vs_plain %.2f\n", ratio.Median());
    std::printf("figure group_ms %.1f\n", BenchTiming::Median(group));
    std::printf("figure expand_collapse_ms %.1f\n", BenchTiming::Median(expand));
    return 0;
}

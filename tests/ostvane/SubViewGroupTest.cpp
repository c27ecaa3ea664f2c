// The rows of the planning grid against the private cluster: counting per week, row links,
// values of located and extra rows, information rows, aggregates, group states, the Qt model
// over a source, stale handles, and the first count raced by several threads.
#include "DataController.h"
#include "DataSourceModel.h"
#include "EventGuard.h"
#include "UPlantafel.ContainerDataSource.h"

#include <TestDatabase.h>
#include <UDM1.h>
#include <Uloghelper.h>

#include <QAbstractItemModelTester>

#include <gtest/gtest.h>

#include <atomic>
#include <numeric>
#include <thread>
#include <tuple>

using testsupport::DbTest;
using testsupport::TestDatabase;

namespace {

using Binding = TVoskGridItemCustomDSDataBinding;

// Week 3 of 2025 runs from Monday 13 January; week 4 is empty. Resource 1 has no entity in
// week 3, resource 2 two (201 over two days), resource 3 five (301 over two days).
class SubViewGroupTest : public DbTest {
protected:
    void SetUp() override {
        m_dm.Connect();
        TestDatabase::Exec(QStringLiteral(
            "TRUNCATE scheduling.resource_timeline, scheduling.entity RESTART IDENTITY"));
        TLogSink::Clear();
        for (int e : {201, 202, 301, 302, 303, 304, 305})
            TestDatabase::Exec(QStringLiteral("INSERT INTO scheduling.entity (a2_id, a2_ab_ix, "
                                              "a2_n, a2_bezeichnung) VALUES (%1, 1, 1, 'Pos %1')")
                                   .arg(e));
        Row(201, 2, "2025-01-13 08:00");
        Row(201, 2, "2025-01-14 08:00");
        Row(202, 2, "2025-01-15 09:00");
        Row(301, 3, "2025-01-13 07:00");
        Row(301, 3, "2025-01-14 07:00");
        Row(302, 3, "2025-01-14 10:00");
        Row(303, 3, "2025-01-15 06:00");
        Row(304, 3, "2025-01-16 06:00");
        Row(305, 3, "2025-01-17 06:00");
        m_c.SetStartDate(QDateTime(QDate(2025, 1, 13), QTime(0, 0)));
        m_c.SetEndDate(QDateTime(QDate(2025, 1, 26), QTime(0, 0)));
        m_c.SetResIDSelectSQL({QStringLiteral("1, 2, 3")});
        m_g = m_c.AddGroup(QStringLiteral("G"));
        for (int r : {1, 2, 3})
            m_s[r] = m_c.AddSubViewDataSource(QStringLiteral("G"), r);
    }

    static void Row(int entity, int resource, const char* start) {
        TestDatabase::Exec(QStringLiteral("INSERT INTO scheduling.resource_timeline "
                                          "(ti_resource_id, ti_a2_id, ti_date_start) "
                                          "VALUES (%1, %2, '%3')")
                               .arg(resource)
                               .arg(entity)
                               .arg(QLatin1String(start)));
    }

    // A bound grid on source r with columns of the given fields; returns the controller.
    Grid::DataController& Grid(int r, const QStringList& fields) {
        auto& ctl = m_grids.emplace_back(std::make_unique<Grid::DataController>());
        for (const QString& f : fields) {
            auto b = std::make_unique<Binding>();
            b->SetFieldName(f);
            ctl->AddItem(std::move(b));
        }
        ctl->SetCustomDataSource(m_s[r]);
        return *ctl;
    }
    static Binding& Column(Grid::DataController& ctl, int i) {
        return *static_cast<Binding*>(ctl.Item(i));
    }
    QVariant Value(int r, int row, Binding& b) {
        return m_s[r]->GetValue(m_s[r]->GetRecordHandle(row), &b);
    }
    QVariant Value(int r, int row, const QString& field) {
        return m_s[r]->GetValueByFieldname(m_s[r]->GetRecordHandle(row), field);
    }

    TDM1 m_dm;
    TPlantafelContainerDataSource m_c;
    TPlantafelSubViewGroup* m_g = nullptr;
    TPlantafelSubViewDataSource* m_s[4] = {};
    std::vector<std::unique_ptr<Grid::DataController>> m_grids;
};

TEST_F(SubViewGroupTest, EveryWeekHasTheRowsOfItsBusiestResourcePlusOne) {
    m_g->SetMode(ptsvmCalendarWeekGroupedByWeek);
    m_c.SetActive(true);
    // The calendar's leading row, week 3 (5 entities + 1), the empty week 4.
    for (int r : {1, 2, 3})
        EXPECT_EQ(m_s[r]->GetRecordCount(), 1 + 6 + 1) << r;

    // Each offset locates its entity in order of first appearance; the last row of the week
    // is the extra row, which shows the week and the fixed keys only.
    for (int row = 1; row <= 5; ++row)
        EXPECT_EQ(Value(3, row, QStringLiteral("ti_a2_id")).toInt(), 300 + row) << row;
    EXPECT_EQ(Value(2, 1, QStringLiteral("ti_a2_id")).toInt(), 201);
    EXPECT_EQ(Value(2, 2, QStringLiteral("ti_a2_id")).toInt(), 202);
    for (int r : {1, 3}) {
        const int extra = r == 1 ? 1 : 6;
        EXPECT_EQ(Value(r, extra, QStringLiteral("_yweek")), QVariant(202503));
        EXPECT_EQ(Value(r, extra, QStringLiteral("_year")), QVariant(QStringLiteral("2025")));
        EXPECT_EQ(Value(r, extra, QStringLiteral("_week")), QVariant(QStringLiteral("3")));
        EXPECT_EQ(Value(r, extra, QStringLiteral("_resourceid")), QVariant(QString::number(r)));
        EXPECT_FALSE(Value(r, extra, QStringLiteral("ti_a2_id")).isValid());
        EXPECT_FALSE(Value(r, extra, QStringLiteral("_entityidsortyw")).isValid());
    }
    EXPECT_EQ(Value(3, 7, QStringLiteral("_yweek")), QVariant(202504));
    EXPECT_FALSE(m_s[3]->GetRecordId(m_s[3]->GetRecordHandle(6)).isValid());
    EXPECT_TRUE(m_s[3]->GetRecordId(m_s[3]->GetRecordHandle(1)).isValid());
}

TEST_F(SubViewGroupTest, FirstWeekCountsEntityDaysInFirstWeekDaysMode) {
    m_c.SetActive(true); // default mode
    // Week 3 is the span's first: 301 on two days makes six entity-days, plus one.
    EXPECT_EQ(m_s[1]->GetRecordCount(), 1 + 7 + 1);
    EXPECT_EQ(Value(3, 1, QStringLiteral("ti_a2_id")).toInt(), 301);
    EXPECT_EQ(Value(3, 2, QStringLiteral("ti_a2_id")).toInt(), 301);
    EXPECT_EQ(Value(3, 3, QStringLiteral("ti_a2_id")).toInt(), 302);
    EXPECT_EQ(Value(3, 2, QStringLiteral("_dayy")).toInt(), 2 * 7 + 2); // ISO day of the 14th
    EXPECT_EQ(Value(3, 7, QStringLiteral("_yweek")), QVariant(202503));
}

TEST_F(SubViewGroupTest, FilterNarrowsRowsAndLocating) {
    m_g->SetMode(ptsvmCalendarWeekGroupedByWeek);
    m_g->ApplyClientSideFilter(QStringLiteral("ti_a2_id <> 302"));
    m_c.SetActive(true);
    EXPECT_EQ(m_s[3]->GetRecordCount(), 1 + 5 + 1);
    QList<int> ids;
    for (int row = 1; row <= 4; ++row)
        ids << Value(3, row, QStringLiteral("ti_a2_id")).toInt();
    EXPECT_EQ(ids, (QList<int>{301, 303, 304, 305}));

    // A filter that does not parse fails the activation and leaves nothing behind.
    EXPECT_THROW(m_g->ApplyClientSideFilter(QStringLiteral("ti_a2_id <>")), EVoskException);
    EXPECT_FALSE(m_g->Active());
    EXPECT_EQ(m_g->Links(), nullptr);
    EXPECT_EQ(m_s[3]->GetRecordCount(), 0);
    EXPECT_EQ(m_s[3]->DataContainer(), nullptr);

    // So does an aggregate that does not parse, with the parser's own words.
    m_g->ApplyClientSideFilter(QString()); // stays inactive as it was
    m_g->SetActive(true);
    ASSERT_TRUE(m_g->Active());
    m_g->IncludeAggregate(QStringLiteral("Sum(ti_a2_id"), ptfldWeek);
    try {
        m_g->SetActive(false);
        m_g->SetActive(true);
        ADD_FAILURE() << "activated with a broken aggregate";
    } catch (const EVoskException& e) {
        EXPECT_TRUE(e.Message().contains(QStringLiteral("erwartet"))) << qPrintable(e.Message());
    }
    EXPECT_FALSE(m_g->Active());
    EXPECT_EQ(m_g->Links(), nullptr);
    EXPECT_EQ(m_s[3]->GetRecordCount(), 0);
}

TEST_F(SubViewGroupTest, InformationCalculatedAndUnknownColumns) {
    m_g->SetMode(ptsvmCalendarWeekGroupedByWeek);
    m_c.SetActive(true);
    auto& grid = Grid(3, {QStringLiteral("a2_bezeichnung"), QStringLiteral("calc"),
                          QStringLiteral("gibt_es_nicht")});
    Column(grid, 1).SetFieldKind(fkCalculated);
    Column(grid, 1).SetOnCalcField([](Cds::ClientDataSet& ds, QVariant& v) {
        v = ds.Value(ds.FieldIndex(QStringLiteral("ti_a2_id"))).toInt() * 10;
    });
    grid.LoadRecordHandles();
    EXPECT_EQ(Column(grid, 0).FieldIndex, -1);
    EXPECT_GE(Column(grid, 0).FieldIndexEx, 0);

    EXPECT_EQ(grid.GetValue(2, 0), QVariant(QStringLiteral("Pos 302")));
    EXPECT_EQ(grid.GetValue(2, 1), QVariant(3020));
    EXPECT_FALSE(grid.GetValue(6, 0).isValid()); // extra row
    EXPECT_FALSE(grid.GetValue(6, 1).isValid());

    // Information rows refreshed in place are read anew for a row already located.
    TestDatabase::Exec(
        QStringLiteral("UPDATE scheduling.entity SET a2_bezeichnung = 'Neu' WHERE a2_id = 302"));
    m_c.RefreshMasterRecordsEx();
    EXPECT_EQ(grid.GetValue(2, 0), QVariant(QStringLiteral("Neu")));

    const QString line = QStringLiteral("GetValue: ItemHandle(field[gibt_es_nicht]) unknown");
    for (int row = 0; row < grid.RecordCount(); ++row)
        EXPECT_FALSE(grid.GetValue(row, 2).isValid());
    auto logged = [&] {
        int n = 0;
        for (const TLogEntry& e : TLogSink::Entries())
            n += e.category == QStringLiteral("PT[TPlantafelSubViewDataSource]") &&
                 e.text == line && e.level == 4;
        return n;
    };
    EXPECT_EQ(logged(), 1);
    auto& other = Grid(2, {QStringLiteral("gibt_es_nicht")}); // once per source
    other.GetValue(0, 0);
    other.GetValue(1, 0);
    EXPECT_EQ(logged(), 2);
}

TEST_F(SubViewGroupTest, AggregatesPerDepthListsAndGroupStates) {
    m_g->SetMode(ptsvmCalendarWeekGroupedByWeek);
    m_g->IncludeAggregate(QStringLiteral("Count(_dayy)"), ptfldWeek);
    m_g->IncludeAggregate(QStringLiteral("Sum(ti_a2_id)"), ptfldWeek);
    m_g->IncludeAggregate(QStringLiteral("Count(ti_id)"), ptfldEntity);
    auto& grid = Grid(3, {QStringLiteral("agg")});
    Column(grid, 0).SetFieldKind(fkAggregate);
    Column(grid, 0).AggExpression = QStringLiteral("Max(_dayy)");
    Column(grid, 0).AggGroupingLevel = ptfldEntity;
    m_c.SetActive(true); // the column's aggregate joins the included ones

    auto& aggs = m_g->AggsMapping();
    ASSERT_EQ(aggs.Count(), 4);
    EXPECT_GE(aggs[0].Mapping[ptglYearWeek], 0);  // the calendar's own day count
    EXPECT_EQ(aggs[1].Mapping[ptglYearWeek], -1); // the calendar has no ti_a2_id
    EXPECT_EQ(aggs[1].Mapping[ptglYearWeekDay], -1);
    EXPECT_GE(aggs[1].Mapping[ptglResourceYearWeekEntity], 0);
    EXPECT_EQ(Column(grid, 0).FieldIndex, 3);

    EXPECT_EQ(grid.GetValue(1, 0).toInt(), 16); // 301 ends on the 14th, ISO day 16
    EXPECT_EQ(grid.GetValue(3, 0).toInt(), 17);
    EXPECT_FALSE(grid.GetValue(6, 0).isValid());

    const Grid::RecordHandle h301 = m_s[3]->GetRecordHandle(1);
    EXPECT_EQ(m_s[3]->GetAggregateValue(h301, 0, {ptdstData}).toInt(), 6);     // rows in week 3
    EXPECT_EQ(m_s[3]->GetAggregateValue(h301, 0, {ptdstGrouping}).toInt(), 7); // its days
    EXPECT_EQ(m_s[3]->GetAggregateValue(1, ptdstData).toInt(), 301 * 2 + 302 + 303 + 304 + 305);
    EXPECT_FALSE(m_s[3]->GetAggregateValue(1, ptdstGrouping).isValid());

    const int idField = m_s[3]->GetFieldIndex(QStringLiteral("ti_a2_id"));
    const TPlantafelAggregateValueLst lst =
        m_s[3]->GetAggregateValueLst(h301, {idField}, {ptdstData}, 2);
    ASSERT_EQ(lst.size(), 5u);
    QList<int> counts, ids;
    for (const auto& e : lst) {
        counts << e.Aggregate.toInt();
        ids << e.Flds.value(0).toInt();
    }
    EXPECT_EQ(counts, (QList<int>{2, 1, 1, 1, 1}));
    EXPECT_EQ(ids, (QList<int>{301, 302, 303, 304, 305}));

    using Cds::GroupPos;
    EXPECT_EQ(m_s[3]->GetGroupState(h301, {ptdstData}, ptfldWeek), GroupPos::First);
    EXPECT_EQ(m_s[3]->GetGroupState(m_s[3]->GetRecordHandle(3), {ptdstData}, ptfldWeek),
              GroupPos::Middle);
    EXPECT_EQ(m_s[3]->GetGroupState(m_s[3]->GetRecordHandle(5), {ptdstData}, ptfldWeek),
              GroupPos::Last);
    EXPECT_EQ(m_s[3]->GetGroupState(h301, {ptdstData}, ptfldDate), Cds::GroupPosInds());

    // All rows' states at once, as row by row, the rows without a record included; every
    // row's record located on the way.
    for (TPlantafelAggregationField field : {ptfldWeek, ptfldEntity, ptfldDate, ptfldResource}) {
        std::vector<Grid::RecordHandle> records;
        for (int r = grid.RecordCount() - 1; r >= 0; --r)
            records.push_back(m_s[3]->GetRecordHandle(r));
        records.push_back(Grid::kNoRecord);
        std::vector<Cds::GroupPosInds> states(records.size());
        std::vector<quint8> located(records.size());
        m_s[3]->GetGroupStates(records.data(), records.size(), field, states.data(),
                               located.data());
        for (size_t i = 0; i < records.size(); ++i) {
            EXPECT_EQ(states[i], m_s[3]->GetGroupState(records[i], {ptdstData}, field))
                << i << ' ' << int(field);
            EXPECT_EQ(bool(located[i]), m_s[3]->GetRecordId(records[i]).isValid()) << i;
        }
    }
}

TEST_F(SubViewGroupTest, InactiveSourcesStaleHandlesAndEditsGiveNothing) {
    m_g->SetMode(ptsvmCalendarWeekGroupedByWeek);
    m_c.SetActive(true);
    // Added to a group already active: inactive until the group is activated again.
    TPlantafelSubViewDataSource* late = m_c.AddSubViewDataSource(QStringLiteral("G"), 4);
    EXPECT_FALSE(late->Active());
    EXPECT_EQ(late->GetRecordCount(), 0);
    EXPECT_FALSE(late->IsMultiThreadingSupported());

    auto& grid = Grid(3, {QStringLiteral("ti_a2_id")});
    const Grid::RecordHandle stale = m_s[3]->GetRecordHandle(1);
    ASSERT_EQ(m_s[3]->GetValue(stale, grid.Item(0)).toInt(), 301);
    m_g->SetActive(false);
    EXPECT_FALSE(m_s[3]->GetValue(stale, grid.Item(0)).isValid());
    m_g->SetActive(true);
    EXPECT_FALSE(m_s[3]->GetValue(stale, grid.Item(0)).isValid());
    EXPECT_FALSE(m_s[3]->GetRecordId(stale).isValid());
    EXPECT_EQ(m_s[3]->GetValue(m_s[3]->GetRecordHandle(1), grid.Item(0)).toInt(), 301);
    EXPECT_FALSE(m_s[3]->GetValue(Grid::kNoRecord, grid.Item(0)).isValid());

    const Grid::RecordHandle h = m_s[3]->GetRecordHandle(1);
    // The year-week column sorts by its value (the extra row of week 3 equals its first
    // row), every other column by row.
    auto& sorted = Grid(3, {QStringLiteral("_yweek"), QStringLiteral("ti_id")});
    const Grid::RecordHandle extra = m_s[3]->GetRecordHandle(6);
    EXPECT_EQ(m_s[3]->NativeCompareFunc(extra, h, sorted.Item(0)), 0);
    EXPECT_EQ(m_s[3]->NativeCompareFunc(extra, h, sorted.Item(1)), 1);
    EXPECT_EQ(m_s[3]->NativeCompareFunc(h, m_s[3]->GetRecordHandle(7), sorted.Item(0)), -1);
    for (auto edit : std::initializer_list<std::function<void()>>{
             [&] { m_s[3]->SetValue(h, grid.Item(0), 999); }, [&] { m_s[3]->AppendRecord(); },
             [&] { m_s[3]->InsertRecord(h); }, [&] { m_s[3]->DeleteRecord(h); }}) {
        try {
            edit();
            ADD_FAILURE() << "an edit went through";
        } catch (const EVoskPlantafelException& e) {
            EXPECT_EQ(e.TextNr(), 34023);
        }
    }
    EXPECT_EQ(m_s[3]->GetValue(h, grid.Item(0)).toInt(), 301);
}

// What GetValue gives, in the kind typed cells hold it.
void ExpectCell(const TPlantafelCells& cells, size_t i, const QVariant& v, const char* what) {
    ASSERT_EQ(bool(cells.Null[i]), !v.isValid() || v.isNull()) << what << ' ' << i;
    if (cells.Null[i])
        return;
    switch (cells.Kind) {
    case TPlantafelCells::ckReal: EXPECT_EQ(cells.Reals[i], v.toDouble()) << what; break;
    case TPlantafelCells::ckText: EXPECT_EQ(cells.Texts[i].toString(), v.toString()) << what; break;
    case TPlantafelCells::ckInteger:
        EXPECT_EQ(cells.Integers[i], v.typeId() == QMetaType::QDateTime
                                         ? v.toDateTime().toMSecsSinceEpoch()
                                     : v.typeId() == QMetaType::QDate ? v.toDate().toJulianDay()
                                                                      : v.toLongLong())
            << what << ' ' << i;
        break;
    }
}

// Typed cells give what GetValue gives, on rows read first typed (not located yet) and again,
// on the leading and extra rows, for information rows refreshed after the first read, and
// for records asked for out of order; other kinds of columns are left to GetValue.
TEST_F(SubViewGroupTest, TypedCellsAgreeWithGetValue) {
    m_g->SetMode(ptsvmCalendarWeekGroupedByWeek);
    m_c.SetActive(true);
    TestDatabase::Exec(QStringLiteral(
        "UPDATE scheduling.entity SET a2_bezeichnung = 'Größe ' || a2_id WHERE a2_id = 303"));
    m_c.RefreshMasterRecordsEx();
    const QStringList fields{QStringLiteral("ti_a2_id"),      QStringLiteral("ti_date_start"),
                             QStringLiteral("_date"),         QStringLiteral("_yweek"),
                             QStringLiteral("_year"),         QStringLiteral("a2_bezeichnung"),
                             QStringLiteral("gibt_es_nicht"), QStringLiteral("calc")};
    auto& grid = Grid(3, fields);
    Column(grid, 7).SetFieldKind(fkCalculated);
    Column(grid, 7).SetOnCalcField([](Cds::ClientDataSet&, QVariant& v) { v = 1; });
    grid.LoadRecordHandles();
    std::vector<Grid::RecordHandle> records;
    for (int r = grid.RecordCount() - 1; r >= 0; --r)
        records.push_back(grid.GetRecordHandle(r));
    records.push_back(Grid::kNoRecord);
    std::vector<TPlantafelCells> cells(size_t(fields.size()));
    auto readAll = [&](const char* when) {
        for (int k = 0; k + 1 < int(fields.size()); ++k) {
            ASSERT_TRUE(m_s[3]->ReadCells(records.data(), records.size(), grid.Item(k),
                                          cells[size_t(k)]));
            for (size_t i = 0; i < records.size(); ++i)
                ExpectCell(cells[size_t(k)], i, m_s[3]->GetValue(records[i], grid.Item(k)),
                           qPrintable(QStringLiteral("%1 %2").arg(fields[k], when)));
        }
    };
    readAll("first");
    EXPECT_EQ(cells[1].Kind, TPlantafelCells::ckInteger);
    EXPECT_EQ(cells[5].Kind, TPlantafelCells::ckText);
    EXPECT_EQ(cells[5].Texts[records.size() - 5].toString(), QStringLiteral("Größe 303"));
    EXPECT_FALSE(cells[3].Null[0]); // the empty week's row has its year-week
    readAll("again");
    TestDatabase::Exec(
        QStringLiteral("UPDATE scheduling.entity SET a2_bezeichnung = 'Neu ' || a2_id"));
    m_c.RefreshMasterRecordsEx();
    readAll("after a refresh");
    EXPECT_EQ(cells[5].Texts[records.size() - 5].toString(), QStringLiteral("Neu 303"));
    EXPECT_FALSE(m_s[3]->ReadCells(records.data(), records.size(), grid.Item(7), cells[7]));
}

// The information rows typed reads follow by row number stay right when what they went by
// changes: an information row's key rewritten, an information row appended, a record's link
// changed or Null, a new container; and readers on several threads share one resolution.
TEST_F(SubViewGroupTest, TypedInformationRowsFollowChangedKeysLinksAndContainers) {
    m_g->SetMode(ptsvmCalendarWeekGroupedByWeek);
    m_c.SetActive(true);
    auto& grid = Grid(3, {QStringLiteral("a2_bezeichnung"), QStringLiteral("ti_a2_id")});
    grid.LoadRecordHandles();
    std::vector<Grid::RecordHandle> records;
    for (int r = 0; r < grid.RecordCount(); ++r)
        records.push_back(grid.GetRecordHandle(r));
    std::vector<TPlantafelCells> cells(2);
    auto check = [&](const char* when) {
        for (int k = 0; k < 2; ++k) {
            ASSERT_TRUE(m_s[3]->ReadCells(records.data(), records.size(), grid.Item(k),
                                          cells[size_t(k)]));
            for (size_t i = 0; i < records.size(); ++i)
                ExpectCell(cells[size_t(k)], i, m_s[3]->GetValue(records[i], grid.Item(k)), when);
        }
    };
    auto title = [&](int row) {
        return cells[0].Null[size_t(row)] ? QStringLiteral("(null)")
                                          : cells[0].Texts[size_t(row)].toString();
    };
    check("first");
    ASSERT_EQ(title(3), QStringLiteral("Pos 303"));

    Cds::ClientDataSet& ex = m_c.MasterRecordsEx();
    const int exKey = m_c.ExLinkMasterFldExIdx();
    const int exTitle = ex.FieldIndex(QStringLiteral("a2_bezeichnung"));
    ASSERT_TRUE(ex.FindKey({Cds::KeyFromVariant(303)}));
    const qint64 row303 = ex.RowId();
    ex.SetRowValue(row303, exKey, 999);
    check("key rewritten");
    EXPECT_EQ(title(3), QStringLiteral("(null)"));

    ex.Append();
    ex.SetValue(exKey, 303);
    ex.SetValue(exTitle, QStringLiteral("Größe 303"));
    ex.Post();
    check("row appended");
    EXPECT_EQ(title(3), QStringLiteral("Größe 303"));

    // The record of row 1 (entity 301) as the source's depth dataset holds it.
    const auto table = m_g->Links();
    const TPlantafelRowMemo& memo = table->Memo(*m_s[3], m_s[3]->DataSerial());
    const qint32 physical = memo.At(1);
    ASSERT_GE(physical, 0);
    Cds::ClientDataSet& depth =
        *m_s[3]->DataContainer()->GroupingLevelsInfo()[size_t(table->Links[1].Depth())].CDS;
    const int link = depth.FieldIndex(QStringLiteral("ti_a2_id"));
    depth.SetRowValue(physical, link, 302);
    check("link changed");
    EXPECT_EQ(title(1), QStringLiteral("Pos 302"));
    depth.SetRowValue(physical, link, QVariant());
    check("link Null");
    EXPECT_EQ(title(1), QStringLiteral("(null)"));

    // Several threads resolve a fresh join at once and read alike.
    ex.SetRowValue(row303, exKey, 998);
    const QString expected = QStringLiteral("Größe 303");
    std::vector<std::thread> readers;
    std::atomic<int> wrong{0};
    for (int t = 0; t < 4; ++t)
        readers.emplace_back([&] {
            TPlantafelCells mine;
            for (int round = 0; round < 20; ++round) {
                m_s[3]->ReadCells(records.data(), records.size(), grid.Item(0), mine);
                if (mine.Null[3] || mine.Texts[3].toString() != expected)
                    ++wrong;
            }
            TPlantafelSubViewGroup::ForgetReadState();
        });
    for (auto& t : readers)
        t.join();
    EXPECT_EQ(wrong.load(), 0);
    check("after the threads");

    m_c.SetActive(false);
    m_c.SetActive(true);
    records.clear();
    for (int r = 0; r < grid.RecordCount(); ++r)
        records.push_back(grid.GetRecordHandle(r));
    check("new container");
    EXPECT_EQ(title(3), QStringLiteral("Pos 303"));
}

// A cell as GetValue gives it, in the kind typed cells hold: a week's key as text on an extra
// row stands for its number, as the column's kind reads it.
struct Cell final {
    bool Null = true;
    qint64 Integer = 0;
    double Real = 0;
    QString Text;
};
Cell CellOf(const QVariant& v, Grid::ColumnCells::TKind kind) {
    Cell c;
    if (!v.isValid() || v.isNull())
        return c;
    c.Null = false;
    switch (kind) {
    case Grid::ColumnCells::ckReal:
        c.Real = v.toDouble();
        break;
    case Grid::ColumnCells::ckText:
        c.Text = v.toString();
        break;
    case Grid::ColumnCells::ckInteger:
        c.Integer = v.typeId() == QMetaType::QDateTime ? v.toDateTime().toMSecsSinceEpoch()
                    : v.typeId() == QMetaType::QDate   ? v.toDate().toJulianDay()
                                                       : v.toLongLong();
        break;
    }
    return c;
}
bool operator<(const Cell& a, const Cell& b) {
    if (a.Null || b.Null)
        return a.Null && !b.Null;
    return std::tie(a.Integer, a.Real, a.Text) < std::tie(b.Integer, b.Real, b.Text);
}
bool Same(const Cell& a, const Cell& b) {
    return !(a < b) && !(b < a);
}
// Whether cells read typed are those GetValue gives, record by record; the first that is not.
QString Differs(const Grid::ColumnCells& cells, const std::vector<Cell>& expected) {
    if (cells.Null.size() != expected.size())
        return QStringLiteral("%1 cells, %2 expected").arg(cells.Null.size()).arg(expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        Cell c;
        c.Null = cells.Null[i] != 0;
        if (!c.Null) {
            if (cells.Kind == Grid::ColumnCells::ckInteger)
                c.Integer = cells.Integers[i];
            else if (cells.Kind == Grid::ColumnCells::ckReal)
                c.Real = cells.Reals[i];
            else
                c.Text = cells.Texts[i].toString();
        }
        if (!Same(c, expected[i]) || c.Null != expected[i].Null)
            return QStringLiteral("record %1").arg(i);
    }
    return {};
}

// The grid groups and reads whole columns through the source's typed read: every column's cells,
// the groups of each column (in the order and with the values GetValue gives) agree with
// GetValue under a filter, over empty weeks and a week past the ninth, with Null cells, an
// information row whose key is rewritten and one appended; and readers on four threads, racing
// to locate the rows of a fresh activation, read the same cells.
TEST_F(SubViewGroupTest, GridReadsColumnsTypedAsGetValueGivesThem) {
    TestDatabase::Exec(QStringLiteral("INSERT INTO scheduling.entity (a2_id, a2_ab_ix, a2_n, "
                                      "a2_bezeichnung) VALUES (306, 2, 4, NULL)"));
    Row(306, 3, "2025-03-11 08:00");
    Row(301, 3, "2025-03-12 07:30");
    m_c.SetEndDate(QDateTime(QDate(2025, 3, 16), QTime(0, 0)));
    m_g->SetMode(ptsvmCalendarWeekGroupedByWeek);
    m_g->ApplyClientSideFilter(QStringLiteral("ti_id <> 6")); // 302's row
    const QStringList fields{
        QStringLiteral("ti_a2_id"),       QStringLiteral("ti_date_start"), QStringLiteral("_date"),
        QStringLiteral("_week"),          QStringLiteral("_year"),         QStringLiteral("_yweek"),
        QStringLiteral("a2_bezeichnung"), QStringLiteral("ti_conflicted"), QStringLiteral("a2_n")};
    auto& grid = Grid(3, fields);
    m_c.SetActive(true);
    const int records = grid.RecordCount();
    ASSERT_EQ(records, 1 + 5 + 7 + 3); // leading, week 3 (4 + 1), weeks 4-10, week 11 (2 + 1)

    Cds::ClientDataSet& ex = m_c.MasterRecordsEx();
    const int exKey = m_c.ExLinkMasterFldExIdx();
    ASSERT_TRUE(ex.FindKey({Cds::KeyFromVariant(303)}));
    ex.SetRowValue(ex.RowId(), exKey, 999);
    ex.Append();
    ex.SetValue(exKey, 303);
    ex.SetValue(ex.FieldIndex(QStringLiteral("a2_bezeichnung")), QStringLiteral("Größe 303"));
    ex.Post();
    // A record's own cell Null (304's entity), and with it its information row.
    grid.GetValue(3, 0); // locates it
    const auto table = m_g->Links();
    Cds::ClientDataSet& depth =
        *m_s[3]->DataContainer()->GroupingLevelsInfo()[size_t(table->Links[3].Depth())].CDS;
    depth.SetRowValue(table->Memo(*m_s[3], m_s[3]->DataSerial()).At(3),
                      depth.FieldIndex(QStringLiteral("ti_a2_id")), QVariant());

    std::vector<std::vector<Cell>> expected(size_t(fields.size()));
    for (int k = 0; k < int(fields.size()); ++k) {
        const std::unique_ptr<Grid::ColumnCells> cells = grid.FetchCells(k);
        ASSERT_TRUE(cells) << qPrintable(fields[k]);
        for (int r = 0; r < records; ++r)
            expected[size_t(k)].push_back(CellOf(grid.GetValue(r, k), cells->Kind));
        EXPECT_EQ(Differs(*cells, expected[size_t(k)]), QString()) << qPrintable(fields[k]);

        // Grouped by the column: records in the order of their values, Null first, one group
        // per value, its value what GetValue gives for its first record.
        std::vector<int> order(static_cast<size_t>(records));
        std::iota(order.begin(), order.end(), 0);
        std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
            return expected[size_t(k)][size_t(a)] < expected[size_t(k)][size_t(b)];
        });
        grid.SetGroupingItems({k});
        EXPECT_EQ(grid.GroupedRecords(), order) << qPrintable(fields[k]);
        int groups = 0;
        for (size_t i = 0; i < order.size(); ++i)
            groups += i == 0 || !Same(expected[size_t(k)][size_t(order[i - 1])],
                                      expected[size_t(k)][size_t(order[i])]);
        ASSERT_EQ(grid.GroupCount(), groups) << qPrintable(fields[k]);
        for (int g = 0; g < groups; ++g) {
            const int first = grid.GroupedRecords()[size_t(grid.Group(g).FirstRecord)];
            EXPECT_EQ(grid.Group(g).Value, grid.GetValue(first, k)) << qPrintable(fields[k]);
        }
        grid.SetGroupingItems({});
    }
    // Weeks 3 and 11 are one group each, their extra rows (the week's key as text) in them.
    grid.SetGroupingItems({3});
    QStringList weeks;
    for (int g = 0; g < grid.GroupCount(); ++g)
        weeks << QStringLiteral("%1:%2")
                     .arg(grid.Group(g).Value.toString())
                     .arg(grid.Group(g).RecordCount);
    EXPECT_EQ(weeks.join(u' '), QStringLiteral("0:1 3:5 4:1 5:1 6:1 7:1 8:1 9:1 10:1 11:3"));
    grid.SetGroupingItems({});
    EXPECT_EQ(expected[6][2].Text, QStringLiteral("Größe 303"));
    EXPECT_TRUE(expected[6][3].Null);                   // its link is Null
    EXPECT_TRUE(expected[6][size_t(records - 3)].Null); // 306 has no title
    EXPECT_FALSE(expected[0][size_t(records - 3)].Null);

    // A fresh activation, read on four threads at once from the first read on; 304 has its
    // entity again (the count goes by it).
    depth.SetRowValue(table->Memo(*m_s[3], m_s[3]->DataSerial()).At(3),
                      depth.FieldIndex(QStringLiteral("ti_a2_id")), 304);
    expected[0][3] = CellOf(304, Grid::ColumnCells::ckInteger);
    expected[6][3] = CellOf(QStringLiteral("Pos 304"), Grid::ColumnCells::ckText);
    m_g->SetActive(false);
    m_g->SetActive(true);
    grid.LoadRecordHandles();
    ASSERT_EQ(grid.RecordCount(), records);
    std::atomic<int> wrong{0};
    std::vector<std::thread> readers;
    for (int t = 0; t < 4; ++t)
        readers.emplace_back([&, t] {
            for (int round = 0; round < 10; ++round)
                for (int j = 0; j < int(fields.size()); ++j) {
                    const int k = (j + t) % int(fields.size());
                    const std::unique_ptr<Grid::ColumnCells> cells = grid.FetchCells(k);
                    if (!cells || !Differs(*cells, expected[size_t(k)]).isEmpty())
                        ++wrong;
                }
            TPlantafelSubViewGroup::ForgetReadState();
        });
    for (auto& th : readers)
        th.join();
    EXPECT_EQ(wrong.load(), 0);
}

TEST_F(SubViewGroupTest, ModelFollowsTheSourceAndRefusesEdits) {
    m_g->SetMode(ptsvmCalendarWeekGroupedByWeek);
    auto& grid = Grid(3, {QStringLiteral("ti_a2_id"), QStringLiteral("_yweek")});
    Column(grid, 1).SetCaption(QStringLiteral("KW"));
    Grid::DataSourceModel model(grid);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    EXPECT_EQ(model.rowCount(), 0);

    m_c.SetActive(true);
    ASSERT_EQ(model.rowCount(), 8);
    EXPECT_EQ(model.columnCount(), 2);
    EXPECT_EQ(model.headerData(0, Qt::Horizontal), QVariant(QStringLiteral("ti_a2_id")));
    EXPECT_EQ(model.headerData(1, Qt::Horizontal), QVariant(QStringLiteral("KW")));
    EXPECT_EQ(model.data(model.index(1, 0)), QVariant(QStringLiteral("301")));
    EXPECT_EQ(model.data(model.index(1, 0), Qt::EditRole).toInt(), 301);
    EXPECT_EQ(model.data(model.index(6, 1)), QVariant(QStringLiteral("202503")));
    EXPECT_FALSE(model.flags(model.index(1, 0)).testFlag(Qt::ItemIsEditable));

    std::vector<int> shown;
    Rtl::ClientErrorDisplay.Set([&](std::exception_ptr e, QObject*) {
        try {
            std::rethrow_exception(e);
        } catch (const EVoskException& x) {
            shown.push_back(x.TextNr());
        }
    });
    EXPECT_FALSE(model.setData(model.index(1, 0), 5));
    Rtl::ClientErrorDisplay.Reset();
    EXPECT_EQ(shown, std::vector<int>{34023});
    EXPECT_EQ(model.data(model.index(1, 0)), QVariant(QStringLiteral("301")));

    m_g->SetActive(false);
    EXPECT_EQ(model.rowCount(), 0);
    m_g->ApplyClientSideFilter(QStringLiteral("ti_a2_id > 302"));
    m_g->SetActive(true);
    EXPECT_EQ(model.rowCount(), 1 + 4 + 1);
    EXPECT_EQ(model.data(model.index(1, 0)), QVariant(QStringLiteral("303")));
}

TEST_F(SubViewGroupTest, SourceDataSetIsTheResourcesRowsAndOutlivesDeactivation) {
    m_c.SetActive(true);
    IPlantafelCustomDataSourceDataSetPtr ds = m_s[3]->GetSourceDataSet();
    ASSERT_TRUE(ds);
    EXPECT_TRUE(ds->GetOrigin().contains(QStringLiteral(".G.")));
    m_c.SetActive(false);
    EXPECT_EQ(m_s[3]->GetSourceDataSet(), nullptr);
    Cds::ClientDataSet& cds = *ds->GetDataSet();
    EXPECT_EQ(cds.RecordCount(), 6);
    QSet<int> ids;
    for (cds.First(); !cds.Eof(); cds.Next())
        ids << cds.Value(cds.FieldIndex(QStringLiteral("ti_a2_id"))).toInt();
    EXPECT_EQ(ids, (QSet<int>{301, 302, 303, 304, 305}));
}

TEST_F(SubViewGroupTest, ConcurrentFirstCountsBuildOneRowTable) {
    m_g->SetMode(ptsvmCalendarWeekGroupedByWeek);
    m_c.SetActive(true); // no grid bound yet: nobody has counted
    ASSERT_EQ(m_g->Links(), nullptr);
    std::atomic<int> ready{0};
    std::vector<int> counts(8, -1);
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([&, t] {
            ++ready;
            while (ready.load() < 8) {
            }
            counts[size_t(t)] = m_s[1 + t % 3]->GetRecordCount();
        });
    for (auto& th : threads)
        th.join();
    EXPECT_EQ(counts, std::vector<int>(8, 8));
    const auto table = m_g->Links();
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->Links.size(), 8u);

    // Values fetched on eight threads equal those read one by one.
    auto& grid = Grid(3, {QStringLiteral("ti_a2_id"), QStringLiteral("a2_bezeichnung"),
                          QStringLiteral("_yweek")});
    EXPECT_EQ(m_g->Links(), table); // binding did not count again
    const auto parallel = grid.FetchValues({0, 1, 2}, 8);
    for (int row = 0; row < grid.RecordCount(); ++row)
        for (int k = 0; k < 3; ++k)
            EXPECT_EQ(parallel[size_t(row)][size_t(k)], grid.GetValue(row, k)) << row << k;
}

// Readers on four threads while the group is deactivated and activated twenty times, as a grid
// reading in the background meets a refresh: each value read is the row's own or nothing (a
// handle of an earlier activation), never another row's, and nothing a reader touches is
// rewritten or freed under it (the sanitizer run of this suite checks the second half).
TEST_F(SubViewGroupTest, ReadersDuringReactivationsSeeTheirRowOrNothing) {
    m_g->SetMode(ptsvmCalendarWeekGroupedByWeek);
    auto& grid = Grid(3, {QStringLiteral("ti_a2_id"), QStringLiteral("a2_bezeichnung"),
                          QStringLiteral("_yweek"), QStringLiteral("anzahl")});
    Column(grid, 3).SetFieldKind(fkAggregate);
    Column(grid, 3).AggExpression = QStringLiteral("Count(ti_id)");
    Column(grid, 3).AggGroupingLevel = ptfldWeek;
    Grid(2, {QStringLiteral("ti_a2_id")});
    m_c.SetActive(true);
    TPlantafelSubViewDataSource* s = m_s[3];
    const int rows = s->GetRecordCount();
    ASSERT_EQ(rows, 8);
    std::vector<Grid::ItemHandle> items;
    for (int k = 0; k < grid.ItemCount(); ++k)
        items.push_back(grid.Item(k));
    std::vector<std::vector<QVariant>> expected(static_cast<size_t>(rows));
    for (int r = 0; r < rows; ++r) {
        for (Grid::ItemHandle item : items)
            expected[size_t(r)].push_back(s->GetValue(s->GetRecordHandle(r), item));
        expected[size_t(r)].push_back(
            s->GetAggregateValue(s->GetRecordHandle(r), 0, {ptdstData, ptdstGrouping}));
    }
    ASSERT_EQ(expected[1][0].toInt(), 301);
    ASSERT_EQ(expected[1][3].toInt(), 6);

    std::atomic<bool> stop{false};
    std::atomic<int> wrong{0};
    std::atomic<long> read{0};
    std::vector<std::thread> readers;
    for (int t = 0; t < 4; ++t)
        readers.emplace_back([&] {
            auto check = [&](int r, size_t k, const QVariant& v) {
                if (!v.isValid())
                    return;
                ++read;
                if (v != expected[size_t(r)][k])
                    ++wrong;
            };
            while (!stop.load()) {
                const int n = s->GetRecordCount();
                for (int r = 0; r < n && r < rows; ++r) {
                    const Grid::RecordHandle h = s->GetRecordHandle(r);
                    for (size_t k = 0; k < items.size(); ++k)
                        check(r, k, s->GetValue(h, items[k]));
                    check(r, items.size(), s->GetAggregateValue(h, 0, {ptdstData, ptdstGrouping}));
                    check(r, 0, s->GetValueByFieldname(h, QStringLiteral("ti_a2_id")));
                    s->GetRecordId(h);
                }
            }
        });
    for (int i = 0; i < 20; ++i) {
        m_g->SetActive(false);
        m_g->SetActive(true);
        grid.LoadRecordHandles();
    }
    stop = true;
    for (auto& th : readers)
        th.join();
    EXPECT_EQ(wrong.load(), 0) << "of " << read.load() << " values read";
    EXPECT_EQ(s->GetRecordCount(), rows);
    for (int r = 0; r < rows; ++r)
        for (size_t k = 0; k < items.size(); ++k)
            EXPECT_EQ(s->GetValue(s->GetRecordHandle(r), items[k]), expected[size_t(r)][k]);
}

// A group whose entity count fails while told to, as a lost container or a broken index would.
class FailingGroup final : public TPlantafelSubViewGroup {
public:
    using TPlantafelSubViewGroup::TPlantafelSubViewGroup;
    bool fail = false;

    // Counts at a master-data depth with the row event and recursion: the depth is its own
    // child there, so this must stop without rows instead of recursing for ever.
    int CountAtDepth(TPlantafelSubViewDataSource& s, TPlantafelGroupingDepth depth) {
        return GetCountForGroup(s, depth, &FailingGroup::GetRecordCount_OnSub, true, true,
                                nullptr, nullptr);
    }

protected:
    int GetChildCountFor(TPlantafelSubViewDataSource& source, TPlantafelGroupingDepth depth,
                         const TVarRecArray& start, const TVarRecArray& end) override {
        if (fail && depth == ptglResourceYearWeekEntity)
            throw EVoskPlantafelException(QStringLiteral("34025 kaputt"));
        return TPlantafelSubViewGroup::GetChildCountFor(source, depth, start, end);
    }
};

TEST_F(SubViewGroupTest, FailedCountLeavesNoRowsAndCountsAgainLater) {
    m_c.ClearGroups();
    auto* g = static_cast<FailingGroup*>(m_c.AddGroup(
        QStringLiteral("F"), [](TPlantafelContainerDataSource& c, const QString& name) {
            return std::make_unique<FailingGroup>(c, name);
        }));
    g->SetMode(ptsvmCalendarWeekGroupedByWeek);
    TPlantafelSubViewDataSource* s = m_c.AddSubViewDataSource(QStringLiteral("F"), 3);
    g->SetIsProfilingActive(true);
    m_c.SetActive(true);
    g->fail = true;
    EXPECT_THROW(s->GetRecordCount(), EVoskPlantafelException);
    EXPECT_EQ(g->Links(), nullptr); // not a board cut short after the first weeks
    EXPECT_THROW(s->GetRecordHandle(0), EVoskPlantafelException); // asks for the count again
    g->fail = false;
    EXPECT_EQ(s->GetRecordCount(), 8);
    EXPECT_EQ(s->GetValueByFieldname(s->GetRecordHandle(1), QStringLiteral("ti_a2_id")).toInt(),
              301);
    EXPECT_GE(g->StopWatchCount(), 1);
    EXPECT_TRUE(TLogSink::Contains(QStringLiteral("TPlantafelSubViewGroup.GetRecordCount done")));
    EXPECT_TRUE(
        TLogSink::Contains(QStringLiteral("TPlantafelSubViewDataSource.CreateData started")));

    const auto rows = g->Links();
    EXPECT_EQ(g->CountAtDepth(*s, ptglResourceYearWeek), 1); // one week of resource 3
    EXPECT_EQ(g->CountAtDepth(*s, ptglResourceYearWeekDay), 5); // five days
    EXPECT_EQ(g->Links(), rows);
    EXPECT_EQ(s->GetRecordCount(), 8);
}

} // namespace

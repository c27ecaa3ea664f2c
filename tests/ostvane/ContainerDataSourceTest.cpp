// The container data source against the private cluster: named SQL, ISO weeks, numbering,
// calendar, grouping datasets, information rows and the guards around them.
#include "UPlantafel.ContainerDataSource.h"
#include "tools/TimelineGenerator.h"

#include <TestDatabase.h>
#include <UDM1.h>
#include <VoskQuery2.h>

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>
#include <tuple>

using testsupport::DbTest;
using testsupport::TestDatabase;

namespace {

// ISO day of the ISO year: day 1 is the Monday of week 1, the week that holds 4 January.
int IsoDay(const QDate& d) {
    int isoYear = 0;
    d.weekNumber(&isoYear);
    const QDate jan4(isoYear, 1, 4);
    return int(jan4.addDays(1 - jan4.dayOfWeek()).daysTo(d)) + 1;
}

class ContainerDataSourceTest : public DbTest {
protected:
    void SetUp() override {
        m_dm.Connect();
        TestDatabase::Exec(QStringLiteral(
            "TRUNCATE scheduling.resource_timeline, scheduling.entity RESTART IDENTITY"));
        TLogSink::Clear();
    }

    // One entity and one row per (entity, resource, start, conflicted).
    static void Entity(int id, int abIx, int n) {
        TestDatabase::Exec(QStringLiteral("INSERT INTO scheduling.entity (a2_id, a2_ab_ix, a2_n, "
                                          "a2_bezeichnung) VALUES (%1, %2, %3, 'Pos %1')")
                               .arg(id)
                               .arg(abIx)
                               .arg(n));
    }
    static void Row(int entity, int resource, const QString& start, bool conflicted = false) {
        TestDatabase::Exec(QStringLiteral("INSERT INTO scheduling.resource_timeline "
                                          "(ti_resource_id, ti_a2_id, ti_date_start, "
                                          "ti_conflicted) VALUES (%1, %2, '%3', %4)")
                               .arg(resource)
                               .arg(entity)
                               .arg(start, conflicted ? QStringLiteral("true")
                                                      : QStringLiteral("false")));
    }

    // Set while inactive: a start past the old end would be refused on the way.
    void Span(TPlantafelContainerDataSource& c, QDate from, QDate to, const QString& ids) {
        const bool was = c.Active();
        c.SetActive(false);
        c.SetStartDate(QDateTime(from, QTime(0, 0)));
        c.SetEndDate(QDateTime(to, QTime(0, 0)));
        c.SetResIDSelectSQL({ids});
        c.SetActive(was);
    }

    // The master index as the open left it, against the same index built afresh over a copy of
    // the rows: the numbering hands its order over instead of sorting again.
    static void ExpectMasterIndexAsBuilt(TPlantafelContainerDataSource& c) {
        Cds::ClientDataSet& m = c.MasterData();
        const QString name = m.IndexName();
        ASSERT_FALSE(name.isEmpty());
        const std::vector<quint32> handed = m.VisibleRowIds();
        m.SetIndexName(QString());
        Cds::ClientDataSet copy(QStringLiteral("Copy"));
        copy.CopyFrom(m); // natural order: the same row ids
        m.SetIndexName(name);
        copy.IndexDefs().Add(QStringLiteral("idx"), m.IndexDefs().Find(name)->Fields);
        copy.SetIndexName(QStringLiteral("idx"));
        EXPECT_EQ(copy.VisibleRowIds(), handed);
    }

    // (ti_id) -> (year, week, day, sortYW, sortYWD) of the open master records.
    static std::map<int, std::tuple<int, int, int, int, int>> Numbers(
        TPlantafelContainerDataSource& c) {
        Cds::ClientDataSet& m = c.MasterData();
        std::map<int, std::tuple<int, int, int, int, int>> out;
        const int id = m.FieldIndex(QStringLiteral("ti_id")),
                  y = m.FieldIndex(QStringLiteral("_year")),
                  w = m.FieldIndex(QStringLiteral("_week")),
                  d = m.FieldIndex(QStringLiteral("_dayy")),
                  yw = m.FieldIndex(QStringLiteral("_entityidsortyw")),
                  ywd = m.FieldIndex(QStringLiteral("_entityidsortywd"));
        for (m.First(); !m.Eof(); m.Next())
            out[m.AsInteger(id)] = {m.AsInteger(y), m.AsInteger(w), m.AsInteger(d),
                                    m.AsInteger(yw), m.AsInteger(ywd)};
        return out;
    }

    // The named SQL is the suite database's: what a test changes is put back in TearDown, so
    // that the next test of the same process reads the shipped text.
    void TearDown() override {
        for (const auto& [key, sql] : m_savedSql)
            WriteSql(key, sql);
        if (!m_savedSql.empty() && DM1())
            DM1()->Database().ClearSqlCache();
    }

    void UseSql(const QString& key, const QString& sql) {
        if (!m_savedSql.count(key))
            m_savedSql[key] = TestDatabase::Scalar(
                QStringLiteral("SELECT ss_sql FROM standardsql WHERE ss_key = %1").arg(Quoted(key)));
        WriteSql(key, sql);
        DM1()->Database().ClearSqlCache();
    }
    static QString Quoted(QString text) {
        text.replace(u'\'', QStringLiteral("''"));
        return u'\'' + text + u'\'';
    }
    static void WriteSql(const QString& key, const QString& sql) {
        TestDatabase::Exec(QStringLiteral("UPDATE standardsql SET ss_sql = %1 WHERE ss_key = %2")
                               .arg(Quoted(sql), Quoted(key)));
    }

    // A round trip on the data module's connection: fails while a statement is still pending.
    static int AnswerOfConnection() {
        TVoskQuery2 q;
        q.SetSQL(QStringLiteral("SELECT 41 + 1 AS answer"));
        q.Open();
        return q.FieldByName(QStringLiteral("answer")).AsInteger();
    }

    TDM1 m_dm;
    std::map<QString, QString> m_savedSql;
};

TEST_F(ContainerDataSourceTest, IsoYearWeekAndDayAcrossYearEnds) {
    Entity(1, 1, 1);
    std::vector<QDate> days;
    for (QDate d(2020, 12, 28); d <= QDate(2021, 1, 10); d = d.addDays(1))
        days.push_back(d);
    for (QDate d(2026, 12, 28); d <= QDate(2027, 1, 3); d = d.addDays(1))
        days.push_back(d);
    days.push_back(QDate(2024, 12, 30)); // ISO 2025-W01
    for (const QDate& d : days)
        Row(1, 1, d.toString(QStringLiteral("yyyy-MM-dd 23:30")));

    TPlantafelContainerDataSource c;
    Span(c, QDate(2020, 12, 1), QDate(2027, 1, 31), QStringLiteral("1"));
    c.SetActive(true);
    Cds::ClientDataSet& m = c.MasterData();
    ASSERT_EQ(m.RecordCount(), int(days.size()));
    const int date = m.FieldIndex(QStringLiteral("_date")), y = m.FieldIndex(QStringLiteral("_year")),
              w = m.FieldIndex(QStringLiteral("_week")), dd = m.FieldIndex(QStringLiteral("_dayy")),
              yw = m.FieldIndex(QStringLiteral("_yweek"));
    for (m.First(); !m.Eof(); m.Next()) {
        const QDate d = m.Value(date).toDate();
        int isoYear = 0;
        const int week = d.weekNumber(&isoYear);
        SCOPED_TRACE(d.toString(Qt::ISODate).toStdString());
        EXPECT_EQ(m.AsInteger(y), isoYear);
        EXPECT_EQ(m.AsInteger(w), week);
        EXPECT_EQ(m.AsInteger(dd), IsoDay(d));
        EXPECT_EQ(m.AsInteger(yw), isoYear * 100 + week);
    }
    // Spot checks that do not lean on the helper above.
    c.SetActive(false);
    Span(c, QDate(2021, 1, 3), QDate(2021, 1, 4), QStringLiteral("1"));
    c.SetActive(true);
    m.SetIndexName(QString());
    std::set<std::tuple<int, int, int>> seen;
    for (m.First(); !m.Eof(); m.Next())
        seen.insert({m.AsInteger(y), m.AsInteger(w), m.AsInteger(dd)});
    EXPECT_EQ(seen, (std::set<std::tuple<int, int, int>>{{2020, 53, 371}, {2021, 1, 1}}));

    // The calendar of the turn of 2026/2027: the week 2026-W53 runs into January.
    Cds::ClientDataSet cal;
    Span(c, QDate(2026, 12, 28), QDate(2027, 1, 3), QStringLiteral("1"));
    c.CreateGroupings(ptsvmCalendarWeekGroupedByWeek, cal);
    EXPECT_EQ(cal.RecordCount(), 8); // prepend row and seven days
    const int cy = cal.FieldIndex(QStringLiteral("_year")), cw = cal.FieldIndex(QStringLiteral("_week"));
    for (cal.First(), cal.Next(); !cal.Eof(); cal.Next()) {
        EXPECT_EQ(cal.AsInteger(cy), 2026);
        EXPECT_EQ(cal.AsInteger(cw), 53);
    }
}

TEST_F(ContainerDataSourceTest, EntitiesNumberedPerResourceWeekAndDay) {
    // Resource 1, ISO week 2025-W02 (6..12 January) and W03; resource 2 in W02.
    Entity(10, 5, 1);
    Entity(11, 5, 2);
    Entity(12, 3, 9);
    Entity(13, 3, 1);
    Entity(14, 7, 1);
    Entity(20, 1, 1);
    Row(10, 1, QStringLiteral("2025-01-06 08:00"));       // 1
    Row(10, 1, QStringLiteral("2025-01-07 08:00"));       // 2
    Row(11, 1, QStringLiteral("2025-01-06 07:00"), true); // 3: earliest start
    Row(12, 1, QStringLiteral("2025-01-07 08:00"), true); // 4
    Row(13, 1, QStringLiteral("2025-01-07 08:00"), true); // 5: ties 12, lower ab_ix/n decide
    Row(14, 1, QStringLiteral("2025-01-07 08:00"));       // 6: not conflicted sorts first
    Row(10, 1, QStringLiteral("2025-01-13 09:00"));       // 7: next week
    Row(11, 1, QStringLiteral("2025-01-13 08:00"));       // 8
    Row(20, 2, QStringLiteral("2025-01-06 10:00"));       // 9: other resource

    TPlantafelContainerDataSource c;
    Span(c, QDate(2025, 1, 6), QDate(2025, 1, 19), QStringLiteral("1, 2"));
    c.SetActive(true);
    const auto n = Numbers(c);
    ASSERT_EQ(n.size(), 9u);
    auto yw = [&](int id) { return std::get<3>(n.at(id)); };
    auto ywd = [&](int id) { return std::get<4>(n.at(id)); };
    // By week, resource 1 W02: 11 (07:00), 10 (06 08:00), 14, 13, 12 — one number per entity.
    EXPECT_EQ(yw(3), 0);
    EXPECT_EQ(yw(1), 1);
    EXPECT_EQ(yw(2), 1);
    EXPECT_EQ(yw(6), 2);
    EXPECT_EQ(yw(5), 3);
    EXPECT_EQ(yw(4), 4);
    // W03 goes on from the same counter; resource 2 after resource 1.
    EXPECT_EQ(yw(8), 5);
    EXPECT_EQ(yw(7), 6);
    EXPECT_EQ(yw(9), 7);
    // By day: 6 Jan: 11, 10; 7 Jan: 10, 14, 13, 12; 13 Jan: 11, 10; resource 2.
    EXPECT_EQ(ywd(3), 0);
    EXPECT_EQ(ywd(1), 1);
    EXPECT_EQ(ywd(2), 2);
    EXPECT_EQ(ywd(6), 3);
    EXPECT_EQ(ywd(5), 4);
    EXPECT_EQ(ywd(4), 5);
    EXPECT_EQ(ywd(8), 6);
    EXPECT_EQ(ywd(7), 7);
    EXPECT_EQ(ywd(9), 8);
    // The master index runs resource, year, week, day, week number.
    EXPECT_EQ(c.MasterData().IndexName(), QStringLiteral("idx_master"));
}

TEST_F(ContainerDataSourceTest, GeneratedTimelineNumbersMatchNaiveModel) {
    PlantafelTimeline::Options o;
    o.Resources = 4;
    o.Days = 21;
    o.Start = QDate(2025, 12, 22);
    o.Rows = 600;
    const auto summary = PlantafelTimeline::Generate(m_dm.Database().Handle(), o);
    ASSERT_EQ(summary.Rows, 600);
    ASSERT_GT(summary.ConflictedRows, 0);

    TPlantafelContainerDataSource c;
    Span(c, o.Start, o.Start.addDays(o.Days - 1), QStringLiteral("1, 2, 3, 4"));
    c.SetActive(true);
    Cds::ClientDataSet& m = c.MasterData();
    ASSERT_EQ(m.RecordCount(), 600);

    // Naive model of the numbering: sort, then a linear search for the entity in its range.
    struct R {
        int id, res, y, w, d, ent, ab, nn, yw, ywd;
        QDateTime start;
        bool conf;
    };
    std::vector<R> rows;
    auto f = [&](const char* name) { return m.FieldIndex(QString::fromLatin1(name)); };
    m.SetIndexName(QString());
    for (m.First(); !m.Eof(); m.Next())
        rows.push_back({m.AsInteger(f("ti_id")), m.AsInteger(f("_resourceid")),
                        m.AsInteger(f("_year")), m.AsInteger(f("_week")), m.AsInteger(f("_dayy")),
                        m.AsInteger(f("_entityid")), m.AsInteger(f("a2_ab_ix")),
                        m.AsInteger(f("a2_n")), m.AsInteger(f("_entityidsortyw")),
                        m.AsInteger(f("_entityidsortywd")), m.Value(f("ti_date_start")).toDateTime(),
                        m.Value(f("ti_conflicted")).toBool()});
    for (int pass = 0; pass < 2; ++pass) {
        std::vector<R> s = rows;
        std::stable_sort(s.begin(), s.end(), [&](const R& a, const R& b) {
            const int ad = pass ? a.d : 0, bd = pass ? b.d : 0;
            return std::tie(a.res, a.y, a.w, ad, a.start, a.conf, a.ab, a.nn) <
                   std::tie(b.res, b.y, b.w, bd, b.start, b.conf, b.ab, b.nn);
        });
        std::vector<std::tuple<int, int, int, int, int, int>> seen; // range + entity -> number
        int counter = 0;
        for (const R& r : s) {
            const int d = pass ? r.d : 0;
            int number = -1;
            for (auto& [res, y, w, dd, e, num] : seen)
                if (res == r.res && y == r.y && w == r.w && dd == d && e == r.ent)
                    number = num;
            if (number < 0) {
                number = counter++;
                seen.emplace_back(r.res, r.y, r.w, d, r.ent, number);
            }
            EXPECT_EQ(pass ? r.ywd : r.yw, number) << "ti_id " << r.id << " pass " << pass;
        }
    }
}

// Random time lines around ISO year ends against a numbering written the plainest way from the
// rows PostgreSQL returns: ISO keys from QDate, an entity's first row in its range found by a
// loop over all rows, its number by counting the (range, entity) pairs that come before.
TEST_F(ContainerDataSourceTest, RandomTimelinesNumberedAsByNestedLoops) {
    std::mt19937 rng(24);
    for (int round = 0; round < 6; ++round) {
        PlantafelTimeline::Options o;
        o.Resources = std::uniform_int_distribution<int>(1, 5)(rng);
        o.Days = std::uniform_int_distribution<int>(8, 30)(rng);
        o.Start = QDate(std::uniform_int_distribution<int>(2019, 2031)(rng), 12,
                        std::uniform_int_distribution<int>(14, 31)(rng));
        o.Rows = std::uniform_int_distribution<int>(50, 400)(rng);
        o.ConflictedShare = std::uniform_real_distribution<double>(0.0, 0.5)(rng);
        o.Seed = rng();
        PlantafelTimeline::Generate(m_dm.Database().Handle(), o);
        SCOPED_TRACE(QStringLiteral("round %1: %2 resources from %3, %4 days, %5 rows")
                         .arg(round).arg(o.Resources).arg(o.Start.toString(Qt::ISODate))
                         .arg(o.Days).arg(o.Rows).toStdString());

        struct R {
            int id, res, entity, ab, n, year, week, day;
            QDateTime start;
            bool conflicted;
        };
        std::vector<R> rows;
        {
            TVoskQuery2 q;
            q.SetSQL(QStringLiteral(
                "SELECT ti_id, ti_resource_id, ti_a2_id, a2_ab_ix, a2_n, ti_date_start, "
                "ti_conflicted FROM scheduling.resource_timeline JOIN scheduling.entity "
                "ON a2_id = ti_a2_id"));
            for (q.Open(); !q.Eof(); q.Next()) {
                R r{q.FieldByName(QStringLiteral("ti_id")).AsInteger(),
                    q.FieldByName(QStringLiteral("ti_resource_id")).AsInteger(),
                    q.FieldByName(QStringLiteral("ti_a2_id")).AsInteger(),
                    q.FieldByName(QStringLiteral("a2_ab_ix")).AsInteger(),
                    q.FieldByName(QStringLiteral("a2_n")).AsInteger(), 0, 0, 0,
                    q.FieldByName(QStringLiteral("ti_date_start")).AsDateTime(),
                    q.FieldByName(QStringLiteral("ti_conflicted")).AsBoolean()};
                r.week = r.start.date().weekNumber(&r.year);
                r.day = IsoDay(r.start.date());
                rows.push_back(r);
            }
        }
        ASSERT_EQ(qint64(rows.size()), o.Rows);

        TPlantafelContainerDataSource c;
        Span(c, o.Start, o.Start.addDays(o.Days - 1),
             QStringLiteral("SELECT generate_series(1, %1)").arg(o.Resources));
        c.SetActive(true);
        const auto numbers = Numbers(c);
        ASSERT_EQ(numbers.size(), rows.size());
        ExpectMasterIndexAsBuilt(c);

        for (int pass = 0; pass < 2; ++pass) {
            auto range = [&](const R& r) {
                return std::make_tuple(r.res, r.year, r.week, pass ? r.day : 0);
            };
            auto key = [&](const R& r) {
                return std::make_tuple(range(r), r.start, r.conflicted, r.ab, r.n);
            };
            // The first row of each row's entity in its range.
            std::vector<const R*> first(rows.size());
            for (size_t i = 0; i < rows.size(); ++i) {
                first[i] = &rows[i];
                for (const R& o2 : rows)
                    if (o2.entity == rows[i].entity && range(o2) == range(rows[i]) &&
                        key(o2) < key(*first[i]))
                        first[i] = &o2;
            }
            for (size_t i = 0; i < rows.size(); ++i) {
                // Pairs whose first row sorts before this one's; a tie between two entities
                // would leave the order to the rows' arrival, which the data must not contain.
                std::set<std::tuple<int, int, int, int, int>> before;
                for (size_t j = 0; j < rows.size(); ++j) {
                    if (first[j]->entity != first[i]->entity || range(rows[j]) != range(rows[i])) {
                        ASSERT_NE(key(*first[j]), key(*first[i])) << "ambiguous data";
                    }
                    if (key(*first[j]) < key(*first[i]))
                        before.insert(std::tuple_cat(range(rows[j]), std::make_tuple(rows[j].entity)));
                }
                const auto& got = numbers.at(rows[i].id);
                EXPECT_EQ(pass ? std::get<4>(got) : std::get<3>(got), int(before.size()))
                    << "ti_id " << rows[i].id << (pass ? " by day" : " by week");
            }
        }
    }
}

// Key columns of other types (here a 64-bit entity id) take the dataset's general path; the
// numbers must not depend on which path ran.
TEST_F(ContainerDataSourceTest, NumbersDoNotDependOnTheKeyColumnTypes) {
    PlantafelTimeline::Options o;
    o.Resources = 3;
    o.Days = 16;
    o.Start = QDate(2026, 12, 24);
    o.Rows = 400;
    PlantafelTimeline::Generate(m_dm.Database().Handle(), o);
    TPlantafelContainerDataSource c;
    Span(c, o.Start, o.Start.addDays(o.Days - 1), QStringLiteral("1, 2, 3"));
    c.SetActive(true);
    const auto packed = Numbers(c);
    ASSERT_EQ(packed.size(), 400u);
    c.SetActive(false);

    UseSql(QStringLiteral("PT.TPlantafelContainerDataSource_Core"),
           QStringLiteral(
               "SELECT ti_resource_id AS _resourceid, to_char(ti_date_start, 'IYYY')::int AS "
               "_year, to_char(ti_date_start, 'IW')::int AS _week, to_char(ti_date_start, "
               "'IDDD')::int AS _dayy, ti_date_start::date AS _date, to_char(ti_date_start, "
               "'IYYYIW')::int AS _yweek, -1::int AS _entityidsortyw, -1::int AS "
               "_entityidsortywd, ti_a2_id::bigint AS _entityid, ti_id, ti_date_start, "
               "ti_conflicted, e.a2_ab_ix, e.a2_n, ti_a2_id FROM scheduling.resource_timeline "
               "JOIN scheduling.entity e ON e.a2_id = ti_a2_id WHERE ti_resource_id IN "
               "(&_ResourceIDSelect) AND ti_date_start >= :_AssumedNow::timestamp AND "
               "ti_date_start < date_trunc('day', :_EndDateTime::timestamp) + interval '1 day'"));
    c.SetActive(true);
    ASSERT_EQ(c.MasterData().GetFieldType(c.MasterData().FieldIndex(QStringLiteral("_entityid"))),
              Cds::FieldType::LargeInt);
    EXPECT_EQ(Numbers(c), packed);
    ExpectMasterIndexAsBuilt(c);
}

TEST_F(ContainerDataSourceTest, SpanWithoutRowsGivesEmptyBoardWithCalendar) {
    TPlantafelContainerDataSource c;
    Span(c, QDate(2030, 3, 4), QDate(2030, 3, 17), QStringLiteral("1"));
    c.AddSubViewDataSource(QStringLiteral("G"), 1);
    c.SetActive(true);
    EXPECT_TRUE(c.Active());
    EXPECT_EQ(c.MasterData().RecordCount(), 0);
    EXPECT_EQ(c.MasterRecordsEx().RecordCount(), 0);
    TPlantafelSubViewGroup* g = c.GroupsByName(QStringLiteral("G"));
    ASSERT_TRUE(g && g->Active() && g->Grouping());
    EXPECT_EQ(g->Grouping()->RecordCount(), 15); // prepend row and 14 days
    TPlantafelDataContainer* dc = c.SubViewDataSources(QStringLiteral("G"), 1)->DataContainer();
    ASSERT_TRUE(dc);
    const auto& info = dc->GroupingLevelsInfo();
    EXPECT_EQ(info[ptglYearWeek].CDS->RecordCount(), 15);
    EXPECT_EQ(info[ptglResourceYearWeekDayEntity].CDS->RecordCount(), 0);
}

TEST_F(ContainerDataSourceTest, CalendarMarksFirstWeekAndFindsColumnsByName) {
    TPlantafelContainerDataSource c;
    // A one-day span: the prepend row and that day; its week gets the day depth.
    Span(c, QDate(2025, 1, 8), QDate(2025, 1, 8), QStringLiteral("1"));
    Cds::ClientDataSet cal;
    c.CreateGroupings(ptsvmCalendarWeekGroupedFirstWeekDays, cal);
    ASSERT_EQ(cal.RecordCount(), 2);
    const int d = cal.FieldIndex(QStringLiteral("ptglYearWeek_d"));
    const int year = cal.FieldIndex(QStringLiteral("_year"));
    cal.First();
    EXPECT_EQ(cal.AsInteger(year), 0);
    EXPECT_EQ(cal.AsInteger(d), int(ptglResourceYearWeekEntity));
    cal.Next();
    EXPECT_EQ(cal.AsInteger(year), 2025);
    EXPECT_EQ(cal.AsInteger(d), int(ptglResourceYearWeekDayEntity));
    EXPECT_EQ(cal.Aggregates().IndexOf(QStringLiteral("Agg_GrpInfo_DefaultGrouping3")), 2);

    // Three weeks: only the first real week gets days in first-week-days mode, none by week.
    Span(c, QDate(2025, 1, 8), QDate(2025, 1, 22), QStringLiteral("1"));
    for (auto mode : {ptsvmCalendarWeekGroupedFirstWeekDays, ptsvmCalendarWeekGroupedByWeek}) {
        c.CreateGroupings(mode, cal);
        std::vector<int> marks;
        const int wk = cal.FieldIndex(QStringLiteral("_week"));
        for (cal.First(); !cal.Eof(); cal.Next())
            if (cal.GetGroupState(2) & Cds::GroupPos::First)
                marks.push_back(cal.AsInteger(wk) * 10 + cal.AsInteger(d));
        const int first = mode == ptsvmCalendarWeekGroupedFirstWeekDays ? 6 : 4;
        EXPECT_EQ(marks, (std::vector<int>{4, 20 + first, 34, 44}));
    }
    EXPECT_THROW(c.CreateGroupings(ptsvmCustom, cal), EVoskPlantafelException);
}

TEST_F(ContainerDataSourceTest, GroupsBuildGroupingDatasetsWithAggregates) {
    Entity(1, 1, 1);
    Entity(2, 1, 2);
    Row(1, 7, QStringLiteral("2025-03-03 08:00"));
    Row(1, 7, QStringLiteral("2025-03-04 08:00"));
    Row(2, 7, QStringLiteral("2025-03-04 09:00"), true);
    Row(2, 8, QStringLiteral("2025-03-05 09:00"));

    TPlantafelContainerDataSource c;
    Span(c, QDate(2025, 3, 3), QDate(2025, 3, 9), QStringLiteral("7, 8"));
    TPlantafelSubViewGroup* g = c.AddGroup(QStringLiteral("Maschinen"));
    g->IncludeAggregate(QStringLiteral("COUNT(TI_ID)"), ptfldWeek);
    g->IncludeAggregate(QStringLiteral("Sum(a2_n)"), ptfldEntity);
    g->IncludeAggregate(QStringLiteral("Sum(nicht_da)"), ptfldWeek); // skipped: no such field
    c.AddSubViewDataSource(QStringLiteral("Maschinen"), 7);
    c.SetActive(true);
    ASSERT_TRUE(g->Active());
    auto& info = c.SubViewDataSources(QStringLiteral("Maschinen"), 7)
                     ->DataContainer()
                     ->GroupingLevelsInfo();

    const auto& d4 = info[ptglResourceYearWeekEntity];
    EXPECT_EQ(d4.CDS->IndexName(), QStringLiteral("idx_def_04"));
    EXPECT_EQ(d4.Sorting, (TPlantafelAggregation{ptfldResource, ptfldYear, ptfldWeek,
                                                  ptfldEntitySortYW, ptfldDay}));
    EXPECT_EQ(d4.GrpStateLvl, 5);
    EXPECT_EQ(d4.GrpLvlStateIdx, 4);
    EXPECT_EQ(d4.LevelGrouping, ptglYearWeek);
    EXPECT_EQ(d4.ActiveRange.size(), 4u);
    EXPECT_EQ(d4.ActiveRange[0].Value, Cds::KeyValue(qint64(7)));
    EXPECT_GE(d4.CDS->Aggregates().IndexOf(QStringLiteral("count_ti_id04")), 0);
    EXPECT_GE(d4.CDS->Aggregates().IndexOf(QStringLiteral("Sum(a2_n) [ptfldEntity(4)]")), 0);

    const auto& d1 = info[ptglYearWeek];
    EXPECT_GE(d1.CDS->Aggregates().IndexOf(QStringLiteral("count__dayy02")), 0);
    EXPECT_EQ(d1.Sorting, (TPlantafelAggregation{ptfldYear, ptfldWeek, ptfldDay}));
    EXPECT_TRUE(d1.ActiveRange[0].Value == Cds::KeyValue(qint64(0))); // the year: not a resource

    auto& aggs = g->AggsMapping();
    ASSERT_EQ(aggs.Count(), 3);
    // COUNT(TI_ID) by week is the depth's own count_ti_id03 (Count(ti_id)), reused rather than
    // added: expressions compare without case, as names do.
    EXPECT_EQ(aggs[0].Mapping[ptglResourceYearWeek],
              info[ptglResourceYearWeek].CDS->Aggregates().IndexOf(
                  QStringLiteral("count_ti_id03")));
    EXPECT_EQ(aggs[1].Mapping[ptglResourceYearWeek], -1); // no entity key at that depth
    EXPECT_TRUE(aggs[1].DependentFlds.Empty());           // a2_n is not a key column
    for (int d = 0; d < kPlantafelGroupingDepthCount; ++d)
        EXPECT_EQ(aggs[2].Mapping[size_t(d)], -1);

    // Rows of resource 7 by week-entity: two entities, the count per entity group.
    Cds::ClientDataSet& ds = *info[ptglResourceYearWeekEntity].CDS;
    ds.SetRange({qint64(7)}, {qint64(7)});
    EXPECT_EQ(ds.RecordCount(), 3);
    ds.First();
    EXPECT_EQ(ds.AggregateValue(ds.Aggregates().IndexOf(QStringLiteral("count_ti_id04"))).toInt(),
              2);

    // A filter applies to the master depths only.
    g->ApplyClientSideFilter(QStringLiteral("  ti_conflicted = True "));
    auto& info2 = c.SubViewDataSources(QStringLiteral("Maschinen"), 7)
                      ->DataContainer()
                      ->GroupingLevelsInfo();
    EXPECT_EQ(info2[ptglResourceYearWeekDay].CDS->Filter(), QStringLiteral("ti_conflicted = True"));
    EXPECT_TRUE(info2[ptglYearWeek].CDS->Filter().isEmpty());
    info2[ptglResourceYearWeekDay].CDS->SetRange({qint64(7)}, {qint64(7)});
    EXPECT_EQ(info2[ptglResourceYearWeekDay].CDS->RecordCount(), 1);
}

TEST_F(ContainerDataSourceTest, FailingActivationLeavesContainerInactive) {
    Entity(1, 1, 1);
    Row(1, 1, QStringLiteral("2025-03-03 08:00"));
    TPlantafelContainerDataSource c;
    Span(c, QDate(2025, 3, 3), QDate(2025, 3, 9), QStringLiteral("1"));
    TPlantafelSubViewGroup* g = c.AddGroup(QStringLiteral("G"));
    c.AddSubViewDataSource(QStringLiteral("G"), 1);
    g->IncludeAggregate(QStringLiteral("Sum(ti_id"), ptfldWeek); // a syntax error propagates
    EXPECT_ANY_THROW(c.SetActive(true));
    EXPECT_FALSE(c.Active());
    EXPECT_FALSE(g->Active());
    EXPECT_EQ(c.SubViewDataSources(QStringLiteral("G"), 1)->DataContainer(), nullptr);

    // A core text without a required column: the dataset's error, no master records left.
    TPlantafelContainerDataSource d;
    Span(d, QDate(2025, 3, 3), QDate(2025, 3, 9), QStringLiteral("1"));
    d.SetActive(true);
    EXPECT_EQ(d.MasterData().RecordCount(), 1);
    d.SetActive(false);
    UseSql(QStringLiteral("PT.TPlantafelContainerDataSource_Core"),
           QStringLiteral("SELECT &_AggregateAndGroupingFields_DAT, ti_id, ti_date_start "
                          "FROM scheduling.resource_timeline WHERE ti_resource_id IN "
                          "(&_ResourceIDSelect) AND ti_date_start >= :_AssumedNow::timestamp "
                          "AND ti_date_start <= :_EndDateTime::timestamp"));
    try {
        d.SetActive(true);
        ADD_FAILURE() << "missing column accepted";
    } catch (const Cds::EDatabaseError& e) {
        EXPECT_TRUE(e.Message().contains(QStringLiteral("ti_conflicted"))) << qPrintable(e.Message());
    }
    EXPECT_FALSE(d.Active());
    EXPECT_FALSE(d.MasterData().Active());
    // The information query was already on its way when the core rows were refused; it must
    // not be left behind on the connection.
    EXPECT_EQ(AnswerOfConnection(), 42);
}

TEST_F(ContainerDataSourceTest, FailingInformationQueryTakesTheOpenDown) {
    Entity(1, 1, 1);
    Row(1, 1, QStringLiteral("2025-03-03 08:00"));
    const QString infoKey = QStringLiteral("PT.TPlantafelContainerDataSource_Info");
    const QString keep = TestDatabase::Scalar(
        QStringLiteral("SELECT ss_sql FROM standardsql WHERE ss_key = '%1'").arg(infoKey));
    UseSql(infoKey, QStringLiteral("SELECT a2_id, 1 / (a2_id - a2_id) AS broken FROM "
                                   "scheduling.entity WHERE :_AssumedNow::text <> "
                                   ":_EndDateTime::text OR true"));
    TPlantafelContainerDataSource c;
    Span(c, QDate(2025, 3, 3), QDate(2025, 3, 9), QStringLiteral("1"));
    EXPECT_THROW(c.SetActive(true), EVoskDatabaseError);
    EXPECT_FALSE(c.Active());
    EXPECT_FALSE(c.MasterData().Active());
    EXPECT_FALSE(c.MasterRecordsEx().Active());
    EXPECT_EQ(AnswerOfConnection(), 42);

    UseSql(infoKey, keep);
    c.SetActive(true);
    EXPECT_EQ(c.MasterData().RecordCount(), 1);
    EXPECT_EQ(c.MasterRecordsEx().RecordCount(), 1);
}

TEST_F(ContainerDataSourceTest, ReservedNamesAndReversedSpanRefusedBeforeAnyQuery) {
    TPlantafelContainerDataSource c;
    Span(c, QDate(2025, 1, 1), QDate(2025, 1, 31), QStringLiteral("1"));
    const qint64 before = m_dm.Database().RoundTrips();
    for (const QString& name : {QStringLiteral("_resourceidselect"),
                                QStringLiteral("_AGGREGATEANDGROUPINGFIELDS_DAT"),
                                QStringLiteral("_AggregateAndGroupingFields_PRE")}) {
        c.SetAdditionalMacros({name + QStringLiteral("=1 OR 1=1")});
        try {
            c.SetActive(true);
            ADD_FAILURE() << "macro accepted: " << qPrintable(name);
        } catch (const EVoskPlantafelException& e) {
            EXPECT_EQ(e.Message(),
                      QStringLiteral("xtt34027 (%1, TPlantafelContainerDataSource)").arg(name));
        }
        EXPECT_FALSE(c.Active());
    }
    c.SetAdditionalMacros({});
    TPlantafelParams params;
    params.Add(QStringLiteral("_assumednow"), Cds::FieldType::String, QStringLiteral("2000-01-01"));
    c.SetAdditionalParams(params);
    try {
        c.SetActive(true);
        ADD_FAILURE() << "parameter accepted";
    } catch (const EVoskPlantafelException& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("xtt34028 (_assumednow, TPlantafelContainerDataSource)"));
    }
    c.SetAdditionalParams(TPlantafelParams());

    c.SetStartDate(QDateTime(QDate(2025, 2, 1), QTime(0, 0)));
    try {
        c.SetActive(true);
        ADD_FAILURE() << "reversed span accepted";
    } catch (const EVoskPlantafelException& e) {
        EXPECT_TRUE(e.Message().contains(QStringLiteral("Startdatum 01.02.2025")))
            << qPrintable(e.Message());
    }
    EXPECT_FALSE(c.Active());
    EXPECT_EQ(m_dm.Database().RoundTrips(), before);
    Cds::ClientDataSet cal;
    EXPECT_THROW(c.CreateGroupings(ptsvmCalendarWeekGroupedByWeek, cal), EVoskPlantafelException);
}

TEST_F(ContainerDataSourceTest, AdditionalMacrosAndParamsReachTheQuery) {
    Entity(1, 1, 1);
    Entity(2, 1, 2);
    Row(1, 1, QStringLiteral("2025-03-03 08:00"));
    Row(2, 1, QStringLiteral("2025-03-04 08:00"), true);
    // The DAT columns name the table in full, so the text keeps it unaliased.
    UseSql(QStringLiteral("PT.TPlantafelContainerDataSource_Core"),
           QStringLiteral("SELECT &_AggregateAndGroupingFields_DAT, scheduling.resource_timeline.ti_id, "
                          "ti_date_start, ti_conflicted, e.a2_ab_ix, e.a2_n, ti_a2_id "
                          "FROM scheduling.resource_timeline "
                          "JOIN scheduling.entity e ON e.a2_id = ti_a2_id "
                          "WHERE ti_resource_id IN (&_ResourceIDSelect) &Extra "
                          "AND ti_date_start >= :_AssumedNow::timestamp "
                          "AND ti_date_start <= :_EndDateTime::timestamp "
                          "AND ti_conflicted = :Konflikt"));
    TPlantafelContainerDataSource c;
    Span(c, QDate(2025, 3, 1), QDate(2025, 3, 31), QStringLiteral("1"));
    c.SetAdditionalMacros({QStringLiteral("Extra=AND e.a2_n > 0")});
    TPlantafelParams params;
    params.Add(QStringLiteral("Konflikt"), Cds::FieldType::Boolean, true);
    params.Add(QStringLiteral("unbenutzt"), Cds::FieldType::Integer, 5);
    c.SetAdditionalParams(params);
    c.SetActive(true);
    EXPECT_EQ(c.MasterData().RecordCount(), 1);
    // A changed parameter collection leaves the container inactive until asked again.
    TPlantafelParams other;
    other.Add(QStringLiteral("Konflikt"), Cds::FieldType::Boolean, false);
    c.SetAdditionalParams(other);
    EXPECT_FALSE(c.Active());
    c.SetActive(true);
    EXPECT_EQ(c.MasterData().RecordCount(), 1);
    EXPECT_EQ(c.MasterData().Value(c.MasterData().FieldIndex(QStringLiteral("ti_a2_id"))).toInt(), 1);
}

// Amounts are read exactly, to the cent past 2^53 cents; one the dataset cannot hold is refused
// naming its column. Extra parameters reach the server as their declared type.
TEST_F(ContainerDataSourceTest, NumericColumnsExactAndParamsTyped) {
    Entity(1, 1, 1);
    Row(1, 1, QStringLiteral("2025-03-03 08:00"));
    const QString core =
        QStringLiteral("SELECT &_AggregateAndGroupingFields_DAT, scheduling.resource_timeline.ti_id, "
                       "ti_date_start, ti_conflicted, e.a2_ab_ix, e.a2_n, ti_a2_id, "
                       "%1 AS betrag, :Menge AS menge, :Tag AS tag "
                       "FROM scheduling.resource_timeline "
                       "JOIN scheduling.entity e ON e.a2_id = ti_a2_id "
                       "WHERE ti_resource_id IN (&_ResourceIDSelect) "
                       "AND ti_date_start >= :_AssumedNow::timestamp "
                       "AND ti_date_start <= :_EndDateTime::timestamp");
    UseSql(QStringLiteral("PT.TPlantafelContainerDataSource_Core"),
           core.arg(QStringLiteral("90071992547409.99::numeric(16,2)")));
    TPlantafelContainerDataSource c;
    Span(c, QDate(2025, 3, 1), QDate(2025, 3, 31), QStringLiteral("1"));
    TPlantafelParams params;
    params.Add(QStringLiteral("Menge"), Cds::FieldType::Integer, QStringLiteral("5"));
    params.Add(QStringLiteral("Tag"), Cds::FieldType::Date, QStringLiteral("2025-03-03"));
    c.SetAdditionalParams(params);
    c.SetActive(true);
    Cds::ClientDataSet& m = c.MasterData();
    ASSERT_EQ(m.RecordCount(), 1);
    const int betrag = m.FieldIndex(QStringLiteral("betrag"));
    ASSERT_EQ(m.GetFieldType(betrag), Cds::FieldType::Currency);
    EXPECT_EQ(std::get<Cds::Currency>(m.AsKey(betrag)).Scaled, qint64(900719925474099900));
    EXPECT_EQ(m.GetFieldType(m.FieldIndex(QStringLiteral("menge"))), Cds::FieldType::Integer);
    EXPECT_EQ(m.AsInteger(m.FieldIndex(QStringLiteral("menge"))), 5);
    EXPECT_EQ(m.Value(m.FieldIndex(QStringLiteral("tag"))).toDate(), QDate(2025, 3, 3));

    // Five decimals, or a value past the 64-bit range, cannot be held: refused, not rounded.
    for (const char* value : {"0.00001::numeric", "1e15::numeric"}) {
        c.SetActive(false);
        UseSql(QStringLiteral("PT.TPlantafelContainerDataSource_Core"),
               core.arg(QString::fromLatin1(value)));
        try {
            c.SetActive(true);
            ADD_FAILURE() << value << " accepted";
        } catch (const EVoskPlantafelException& e) {
            EXPECT_TRUE(e.Message().contains(QStringLiteral("'betrag'"))) << qPrintable(e.Message());
        }
        EXPECT_FALSE(c.Active());
    }

    // A value that is not of the declared type is refused naming the parameter.
    UseSql(QStringLiteral("PT.TPlantafelContainerDataSource_Core"), core.arg(QStringLiteral("1")));
    for (const QVariant& bad : {QVariant(QStringLiteral("fünf")), QVariant(1.5)}) {
        TPlantafelParams wrong;
        wrong.Add(QStringLiteral("Menge"), Cds::FieldType::Integer, bad);
        wrong.Add(QStringLiteral("Tag"), Cds::FieldType::Date, QDate(2025, 3, 3));
        c.SetAdditionalParams(wrong);
        try {
            c.SetActive(true);
            ADD_FAILURE() << qPrintable(bad.toString()) << " accepted";
        } catch (const EVoskPlantafelException& e) {
            EXPECT_TRUE(e.Message().contains(QStringLiteral("'Menge'"))) << qPrintable(e.Message());
        }
        EXPECT_FALSE(c.Active());
    }
    EXPECT_EQ(AnswerOfConnection(), 42);
}

TEST_F(ContainerDataSourceTest, RefreshShowsChangesOfAnotherConnection) {
    Entity(1, 1, 1);
    Row(1, 1, QStringLiteral("2025-03-03 08:00"));
    TPlantafelContainerDataSource c;
    Span(c, QDate(2025, 3, 3), QDate(2025, 3, 9), QStringLiteral("1"));
    c.SetActive(true);
    EXPECT_EQ(c.MasterData().RecordCount(), 1);
    EXPECT_EQ(c.MasterRecordsEx().RecordCount(), 1);
    EXPECT_EQ(c.FldLookUpEx().at(QStringLiteral("a2_bezeichnung")), 3);

    Entity(2, 4, 4);
    Row(2, 1, QStringLiteral("2025-03-05 08:00"));
    TestDatabase::Exec(QStringLiteral("UPDATE scheduling.entity SET a2_bezeichnung = 'neu' WHERE a2_id = 1"));
    EXPECT_EQ(c.MasterData().RecordCount(), 1); // nothing reloads on its own
    c.SetActive(false);
    c.SetActive(true);
    EXPECT_EQ(c.MasterData().RecordCount(), 2);
    Cds::ClientDataSet& ex = c.MasterRecordsEx();
    ASSERT_TRUE(ex.FindKey({qint64(1)}));
    EXPECT_EQ(ex.AsString(ex.FieldIndex(QStringLiteral("a2_bezeichnung"))), QStringLiteral("neu"));

    // Skipping the information rows lasts one open.
    TestDatabase::Exec(QStringLiteral("UPDATE scheduling.entity SET a2_bezeichnung = 'später'"));
    c.SetNextOpenWithoutEx(true);
    c.SetActive(false);
    c.SetActive(true);
    EXPECT_FALSE(c.NextOpenWithoutEx());
    ASSERT_TRUE(ex.FindKey({qint64(1)}));
    EXPECT_EQ(ex.AsString(ex.FieldIndex(QStringLiteral("a2_bezeichnung"))), QStringLiteral("neu"));
    c.SetActive(false);
    c.SetActive(true);
    ASSERT_TRUE(ex.FindKey({qint64(1)}));
    EXPECT_EQ(ex.AsString(ex.FieldIndex(QStringLiteral("a2_bezeichnung"))), QStringLiteral("später"));
}

TEST_F(ContainerDataSourceTest, InformationRowsRefreshedByParameter) {
    Entity(1, 1, 1);
    Entity(2, 1, 2);
    Entity(3, 1, 3);
    Row(1, 1, QStringLiteral("2025-03-03 08:00"));
    Row(2, 1, QStringLiteral("2025-03-04 08:00"));
    UseSql(QStringLiteral("PT.TPlantafelContainerDataSource_Info"),
           QStringLiteral("SELECT a2_id, a2_bezeichnung || :Suffix AS text FROM scheduling.entity "
                          "WHERE a2_id IN (SELECT ti_a2_id FROM scheduling.resource_timeline "
                          "WHERE ti_resource_id IN (&_ResourceIDSelect) "
                          "AND ti_date_start >= :_AssumedNow::timestamp "
                          "AND ti_date_start <= :_EndDateTime::timestamp) OR a2_id = :Auch"));
    TPlantafelContainerDataSource c;
    Span(c, QDate(2025, 3, 3), QDate(2025, 3, 9), QStringLiteral("1"));
    TPlantafelParams params;
    params.Add(QStringLiteral("Suffix"), Cds::FieldType::String, QStringLiteral(" alt"));
    params.Add(QStringLiteral("Auch"), Cds::FieldType::Integer, 0);
    c.SetAdditionalParams(params);

    // Without an information query there is nothing to refresh.
    c.SetNextOpenWithoutEx(true);
    c.SetActive(true);
    EXPECT_EQ(c.RefreshMasterRecordsEx(QStringLiteral("Suffix"), QStringLiteral(" neu")), 0);
    c.SetActive(false);
    c.SetActive(true);

    Cds::ClientDataSet& ex = c.MasterRecordsEx();
    auto text = [&](int id) {
        return ex.FindKey({qint64(id)}) ? ex.AsString(1) : QStringLiteral("<fehlt>");
    };
    EXPECT_EQ(ex.RecordCount(), 2);
    EXPECT_EQ(text(1), QStringLiteral("Pos 1 alt"));
    EXPECT_EQ(c.RefreshMasterRecordsEx(QStringLiteral("gibtsnicht"), 1), 0);
    EXPECT_EQ(text(1), QStringLiteral("Pos 1 alt"));

    // Found rows are overwritten, new ones are not added, the parameter gets its value back.
    EXPECT_EQ(c.RefreshMasterRecordsEx(QStringLiteral("Suffix"), QStringLiteral(" neu")), 0);
    EXPECT_EQ(text(1), QStringLiteral("Pos 1 neu"));
    EXPECT_EQ(text(2), QStringLiteral("Pos 2 neu"));
    EXPECT_EQ(c.RefreshMasterRecordsEx(QStringLiteral("Auch"), 3), 0);
    EXPECT_EQ(ex.RecordCount(), 2);
    EXPECT_EQ(text(1), QStringLiteral("Pos 1 alt"));
    c.RefreshMasterRecordsEx();
    EXPECT_EQ(text(1), QStringLiteral("Pos 1 alt"));
    EXPECT_EQ(ex.RecordCount(), 2);
}

TEST_F(ContainerDataSourceTest, GroupsSourcesAndResourceSelection) {
    TPlantafelContainerDataSource c;
    c.SetResIDSelectSQLFromUsedResources();
    EXPECT_EQ(c.ResIDSelectSQL().Lines(), QStringList{QStringLiteral(" -1 ")});
    c.AddSubViewDataSource(QStringLiteral("A"), 3);
    c.AddSubViewDataSource(QStringLiteral("A"), 1);
    c.AddSubViewDataSource(QStringLiteral("B"), 3);
    c.SetResIDSelectSQLFromUsedResources();
    EXPECT_EQ(c.ResIDSelectSQL().Lines(), QStringList{QStringLiteral(" 3, 1, 3 ")});
    try {
        c.AddGroup(QStringLiteral("A"));
        ADD_FAILURE() << "duplicate group accepted";
    } catch (const EVoskPlantafelException& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("34026 A"));
    }
    EXPECT_EQ(c.GetGroup(QStringLiteral("a")), nullptr);
    EXPECT_EQ(c.GroupCount(), 2);
    EXPECT_EQ(c.SubViewDataSourcesByIndex(0, 1)->ResourceID(), 1);
    EXPECT_EQ(c.SubViewDataSourcesByIndex(5, 0), nullptr);

    Span(c, QDate(2025, 1, 6), QDate(2025, 1, 12), QStringLiteral("1, 3"));
    c.SetActive(true);
    EXPECT_TRUE(c.SubViewDataSources(QStringLiteral("A"), 3)->Active());
    // A source added to an active group waits for the group's next activation ...
    TPlantafelSubViewDataSource* late = c.AddSubViewDataSource(QStringLiteral("A"), 9);
    EXPECT_TRUE(c.Active());
    EXPECT_FALSE(late->Active());
    // ... one in a new group comes up with it.
    TPlantafelSubViewDataSource* fresh = c.AddSubViewDataSource(QStringLiteral("C"), 9);
    EXPECT_TRUE(c.Active());
    EXPECT_TRUE(fresh->Active());
    EXPECT_TRUE(late->Active()); // the container went down and up again

    // Moving the span reloads; changing the resource text too.
    c.SetEndDate(QDateTime(QDate(2025, 1, 19), QTime(0, 0)));
    EXPECT_TRUE(c.Active());
    EXPECT_EQ(c.GroupsByName(QStringLiteral("C"))->Grouping()->RecordCount(), 15);
    c.RemoveSubViewDataSource(QStringLiteral("A"), 9);
    EXPECT_FALSE(c.Active());
    EXPECT_EQ(c.SubViewDataSources(QStringLiteral("A"), 9), nullptr);
}

TEST_F(ContainerDataSourceTest, ProfilingLogsTheOpen) {
    TPlantafelContainerDataSource c;
    Span(c, QDate(2025, 1, 6), QDate(2025, 1, 12), QStringLiteral("1"));
    c.SetIsProfilingActive(true);
    c.SetActive(true);
    EXPECT_TRUE(TLogSink::Contains(QStringLiteral("TPlantafelContainerDataSource.InternalOpen started")));
    EXPECT_TRUE(TLogSink::Contains(QStringLiteral("TPlantafelContainerDataSource.InternalOpen done")));
}

} // namespace

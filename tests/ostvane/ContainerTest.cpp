#include "UPlantafel.DataSource.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

// A small master table: res, _year, _week, ti_id.
std::unique_ptr<Cds::ClientDataSet> Master() {
    auto ds = std::make_unique<Cds::ClientDataSet>(QStringLiteral("M"));
    ds->FieldDefs().Add(QStringLiteral("_resourceid"), Cds::FieldType::Integer);
    ds->FieldDefs().Add(QStringLiteral("_year"), Cds::FieldType::Integer);
    ds->FieldDefs().Add(QStringLiteral("_week"), Cds::FieldType::Integer);
    ds->FieldDefs().Add(QStringLiteral("ti_id"), Cds::FieldType::Integer);
    ds->CreateDataSet();
    const int rows[][4] = {{1, 2025, 2, 10}, {2, 2025, 1, 11}, {1, 2025, 1, 12}, {1, 2025, 1, 13}};
    for (const auto& r : rows) {
        ds->Append();
        for (int f = 0; f < 4; ++f)
            ds->SetValue(f, r[f]);
        ds->Post();
    }
    return ds;
}

TAggregationFldMapping Mapping() {
    TAggregationFldMapping m;
    m[ptfldResource] = {QStringLiteral("_resourceid"), 0};
    m[ptfldYear] = {QStringLiteral("_year"), 1};
    m[ptfldWeek] = {QStringLiteral("_week"), 2};
    m[ptfldDay] = {QString(), 3}; // unnamed: not a computed column
    return m;
}

class RowsSource final : public IPlantafelRecordSource {
public:
    bool fail = false;
    mutable QString providerSeen;
    Cds::FieldDefList Fields() const override {
        Cds::FieldDefList f;
        f.Add(QStringLiteral("a2_id"), Cds::FieldType::Integer);
        f.Add(QStringLiteral("info"), Cds::FieldType::String);
        return f;
    }
    void AppendRowsTo(Cds::ClientDataSet& dst) const override {
        providerSeen = dst.ProviderName();
        for (int i = 0; i < 3; ++i) {
            if (fail && i == 2)
                throw Cds::EDatabaseError(QStringLiteral("Verbindung verloren"));
            dst.Append();
            dst.SetValue(0, i);
            dst.SetValue(1, QStringLiteral("row %1").arg(i));
            dst.Post();
        }
    }
};

} // namespace

TEST(PlantafelDataContainer, CopyFromClientDataSetKeepsRowsAndIsIndependent) {
    auto src = Master();
    Cds::ClientDataSet dst;
    Cds::IndexDefList idx;
    idx.Add(QStringLiteral("i"), QStringLiteral("ti_id"));
    EXPECT_TRUE(TPlantafelDataContainer::OpenCDSFrom(*src, dst, false, nullptr, &idx));
    EXPECT_EQ(dst.RecordCount(), 4);
    EXPECT_EQ(dst.FieldCount(), 4);
    EXPECT_NE(dst.IndexDefs().Find(QStringLiteral("i")), nullptr);
    EXPECT_TRUE(dst.ControlsDisabled());
    src->EmptyDataSet();
    EXPECT_EQ(dst.RecordCount(), 4);

    TPlantafelDataContainer::OpenCDSFrom(dst, *src, true, nullptr, nullptr);
    EXPECT_EQ(src->FieldCount(), 4);
    EXPECT_EQ(src->RecordCount(), 0);
}

TEST(PlantafelDataContainer, CopyFromRecordSourceDetachesProvider) {
    RowsSource src;
    Cds::ClientDataSet dst;
    TPlantafelDataContainer::OpenCDSFrom(src, dst, false, nullptr, nullptr);
    EXPECT_TRUE(src.providerSeen.startsWith(QStringLiteral("DSTemp__")));
    EXPECT_TRUE(src.ProviderName.isEmpty());
    EXPECT_TRUE(dst.ProviderName().isEmpty());
    EXPECT_EQ(dst.RecordCount(), 3);

    src.fail = true;
    EXPECT_THROW(TPlantafelDataContainer::OpenCDSFrom(src, dst, false, nullptr, nullptr),
                 Cds::EDatabaseError);
    EXPECT_FALSE(dst.Active()); // nothing half-copied
    EXPECT_EQ(dst.FieldCount(), 0);
    EXPECT_TRUE(src.ProviderName.isEmpty());
}

TEST(PlantafelDataContainer, CloseCDSLeavesBlankDatasetButClonesKeepRows) {
    auto ds = Master();
    ds->IndexDefs().Add(QStringLiteral("i"), QStringLiteral("ti_id"));
    ds->SetIndexName(QStringLiteral("i"));
    ds->SetFilter(QStringLiteral("ti_id > 10"));
    ds->SetFiltered(true);
    ds->Aggregates().Add({"c", "Count(ti_id)", 0, "", true, true});
    Cds::ClientDataSet clone;
    clone.CloneCursor(*ds, true);
    TPlantafelDataContainer::CloseCDS(*ds);
    EXPECT_FALSE(ds->Active());
    EXPECT_EQ(ds->FieldCount(), 0);
    EXPECT_EQ(ds->IndexDefs().Count(), 0);
    EXPECT_EQ(ds->Aggregates().Count(), 0);
    EXPECT_TRUE(ds->Filter().isEmpty());
    EXPECT_FALSE(ds->Filtered());
    EXPECT_TRUE(ds->IndexName().isEmpty());
    EXPECT_EQ(clone.RecordCount(), 4);
}

TEST(PlantafelDataContainer, IndexSortingFallsBackToResource) {
    auto ds = Master();
    TPlantafelAggregation sorting;
    TPlantafelDataContainer::CreateIndexCDS(*ds, sorting, QStringLiteral("idx_def_03"),
                                            {0, 1, 2, 3}, {}, 3, Mapping());
    EXPECT_EQ(sorting, (TPlantafelAggregation{ptfldResource, ptfldYear, ptfldWeek, ptfldResource}));
    EXPECT_EQ(ds->IndexName(), "idx_def_03");
    EXPECT_EQ(ds->IndexDefs().Find(QStringLiteral("idx_def_03"))->Fields,
              "_resourceid;_year;_week;ti_id");
    ds->First();
    EXPECT_EQ(ds->AsInteger(3), 12);
}

TEST(PlantafelDataContainer, CountAggregatesAreNamedPerLevel) {
    auto ds = Master();
    const QString pattern = QStringLiteral("count_%1%.2d").arg(QStringLiteral("ti_id"));
    TPlantafelDataContainer::CreateAggregatesCDS(*ds, pattern, QStringLiteral("Count(ti_id)"),
                                                 QStringLiteral("x"), 1, 3);
    ASSERT_EQ(ds->Aggregates().Count(), 3);
    EXPECT_EQ(ds->Aggregates()[0].AggregateName, "count_ti_id01");
    EXPECT_EQ(ds->Aggregates()[2].AggregateName, "count_ti_id03");
    EXPECT_EQ(ds->Aggregates()[2].GroupingLevel, 3);
    TPlantafelDataContainer::CreateAggregatesCDS(*ds, pattern, QStringLiteral("Count(ti_id)"),
                                                 QStringLiteral("x"), 2, 1);
    EXPECT_EQ(ds->Aggregates().Count(), 3);
    EXPECT_EQ(FormatLevel(QStringLiteral("a%%b%d"), 7), "a%b7");
    EXPECT_EQ(FormatLevel(QStringLiteral("count_x%.2d"), -1), "count_x-01");
}

TEST(PlantafelDataContainer, ClonesOutliveTheirContainer) {
    auto master = Master();
    auto container = std::make_unique<TPlantafelDataContainer>();
    auto& level = container->GroupingLevelsInfo()[ptglResourceYearWeek];
    level.Level = ptglResourceYearWeek;
    level.GrpLvlStateIdx = 3;
    level.ActiveRange = {TVarRec{vtInteger, qint64(1)}};
    level.CDS = std::make_unique<Cds::ClientDataSet>();
    level.CDS->CloneCursor(*master, true);
    TPlantafelDataContainer::CreateIndexCDS(*level.CDS, level.Sorting, QStringLiteral("idx"),
                                            {0, 1, 2}, {}, 3, Mapping());
    TPlantafelDataContainer::CreateAggregatesCDS(*level.CDS, QStringLiteral("c%.2d"),
                                                 QStringLiteral("Count(ti_id)"),
                                                 QStringLiteral("idx"), 1, 1);
    level.CDS->SetAggregatesActive(true);
    level.CDS->SetFilterOptions(Cds::FilterOption::CaseInsensitive);
    level.CDS->SetFilter(QStringLiteral("ti_id >= 12"));
    level.CDS->SetFiltered(true);

    auto clone = container->Clone();
    TPlantafelDataContainer::CloseCDS(*master);
    TPlantafelDataContainer::CloseCDS(*level.CDS);
    container.reset();

    auto& c = clone->GroupingLevelsInfo()[ptglResourceYearWeek];
    ASSERT_TRUE(c.CDS);
    EXPECT_EQ(c.GrpLvlStateIdx, 3);
    EXPECT_EQ(std::get<qint64>(c.ActiveRange[0].Value), 1);
    EXPECT_EQ(c.CDS->IndexName(), "idx");
    c.CDS->SetRange(TVarRecHelper::ToKeys(c.ActiveRange), TVarRecHelper::ToKeys(c.ActiveRange));
    // The filter comes along with its options.
    EXPECT_EQ(c.CDS->GetFilterOptions(), Cds::FilterOptions(Cds::FilterOption::CaseInsensitive));
    EXPECT_EQ(c.CDS->RecordCount(), 2);
    EXPECT_EQ(c.CDS->AggregateValue(0).toInt(), 2);
    EXPECT_FALSE(clone->GroupingLevelsInfo()[ptglNone].CDS); // no dataset, nothing cloned
}

TEST(PlantafelDataContainer, LockIsReentrantAndExcludesOtherThreads) {
    TPlantafelDataContainer container;
    std::unique_lock outer(container.Lock());
    {
        std::lock_guard inner(container.Lock()); // same thread enters again
    }
    std::atomic<bool> got{true};
    std::thread t([&] { got = container.Lock().try_lock(); });
    t.join();
    EXPECT_FALSE(got);
}

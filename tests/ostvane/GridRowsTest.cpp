// Without a database: display formats, the dataset's group starts against a walk, the grid
// stand-in's controller and the planning-board column binding.
#include "DataController.h"
#include "FormatValues.h"
#include "UPlantafel.ContainerDataSource.h"

#include <gtest/gtest.h>

#include <random>

namespace {

using Rtl::FormatDateTime;
using Rtl::FormatFloat;
using Rtl::TFormatSettings;

TEST(DisplayFormatTest, NumbersWithPlaceholdersSectionsAndSeparators) {
    const TFormatSettings de = TFormatSettings::German(), c = TFormatSettings::Neutral();
    EXPECT_EQ(FormatFloat(QStringLiteral("0.00"), 1234.5, c), QStringLiteral("1234.50"));
    EXPECT_EQ(FormatFloat(QStringLiteral("0.00"), 1234.5, de), QStringLiteral("1234,50"));
    EXPECT_EQ(FormatFloat(QStringLiteral("#,##0.00"), 1234567.891, de),
              QStringLiteral("1.234.567,89"));
    EXPECT_EQ(FormatFloat(QStringLiteral("#,##0.00"), -1234567.891, c),
              QStringLiteral("-1,234,567.89"));
    EXPECT_EQ(FormatFloat(QStringLiteral("#,##0"), 999, c), QStringLiteral("999"));
    EXPECT_EQ(FormatFloat(QStringLiteral("0"), 2.5, c), QStringLiteral("3"));
    EXPECT_EQ(FormatFloat(QStringLiteral("0.##"), 2.5, c), QStringLiteral("2.5"));
    EXPECT_EQ(FormatFloat(QStringLiteral("#.##"), 0.5, c), QStringLiteral(".5"));
    EXPECT_EQ(FormatFloat(QStringLiteral("000"), 7, c), QStringLiteral("007"));
    EXPECT_EQ(FormatFloat(QStringLiteral("0.00"), -0.001, c), QStringLiteral("0.00"));
    const QString sections = QStringLiteral("0.00 'h';(0.00);'keine'");
    EXPECT_EQ(FormatFloat(sections, 1.5, c), QStringLiteral("1.50 h"));
    EXPECT_EQ(FormatFloat(sections, -1.5, c), QStringLiteral("(1.50)"));
    EXPECT_EQ(FormatFloat(sections, 0, c), QStringLiteral("keine"));
    EXPECT_EQ(FormatFloat(QString(), 0.25, de), QStringLiteral("0,25"));
}

TEST(DisplayFormatTest, DatesAndTimes) {
    const TFormatSettings de = TFormatSettings::German(), c = TFormatSettings::Neutral();
    const QDateTime t(QDate(2025, 1, 13), QTime(7, 5, 9, 42));
    EXPECT_EQ(FormatDateTime(QStringLiteral("dd.mm.yyyy hh:nn"), t, de),
              QStringLiteral("13.01.2025 07:05"));
    EXPECT_EQ(FormatDateTime(QStringLiteral("d/m/yy h:mm:ss.zzz"), t, c),
              QStringLiteral("13/1/25 7:05:09.042")); // m after h is the minute
    EXPECT_EQ(FormatDateTime(QStringLiteral("dddd, d. mmmm"), t, de),
              QStringLiteral("Montag, 13. Januar"));
    EXPECT_EQ(FormatDateTime(QStringLiteral("'KW' yyyy"), t, de), QStringLiteral("KW 2025"));
    EXPECT_EQ(FormatDateTime(QStringLiteral("c"), QDateTime(QDate(2025, 1, 13), QTime(0, 0)), de),
              QStringLiteral("13.01.2025"));
}

TEST(DisplayFormatTest, SourceFormatsNumbersAndDatesOnly) {
    const TFormatSettings keep = Rtl::FormatSettings();
    Rtl::SetFormatSettings(TFormatSettings::Neutral());
    TPlantafelContainerDataSource c;
    TPlantafelSubViewDataSource* s = c.AddGroup(QStringLiteral("G"))->AddSubViewDataSource(1);
    const QString f = QStringLiteral("0.00");
    EXPECT_EQ(s->GetDisplayTextFromValue(1234.5, f), QStringLiteral("1234.50"));
    EXPECT_EQ(s->GetDisplayTextFromValue(qint64(7), f), QStringLiteral("7.00"));
    EXPECT_EQ(s->GetDisplayTextFromValue(QStringLiteral("1234.5"), f), QString());
    EXPECT_EQ(s->GetDisplayTextFromValue(true, f), QString());
    EXPECT_EQ(s->GetDisplayTextFromValue(QVariant(), f), QString());
    EXPECT_EQ(s->GetDisplayTextFromValue(QDate(2025, 3, 4), QStringLiteral("dd.mm.yyyy")),
              QStringLiteral("04.03.2025"));
    Rtl::SetFormatSettings(TFormatSettings::German());
    EXPECT_EQ(s->GetDisplayTextFromValue(1234.5, f), QStringLiteral("1234,50"));
    Rtl::SetFormatSettings(keep);
    // An inactive source has no rows and refuses nothing it does not hold.
    EXPECT_EQ(s->GetRecordCount(), 0);
    EXPECT_THROW(s->SetValue(Grid::kNoRecord, nullptr, 1), EVoskPlantafelException);
}

// The k-th group start found by search equals the one a walk with GetGroupState finds, with
// and without a filter, for ranges of every kind.
TEST(GroupStartTest, SearchAgreesWithWalk) {
    Cds::ClientDataSet ds(QStringLiteral("starts"));
    ds.FieldDefs().Add(QStringLiteral("a"), Cds::FieldType::Integer);
    ds.FieldDefs().Add(QStringLiteral("b"), Cds::FieldType::Integer);
    ds.FieldDefs().Add(QStringLiteral("c"), Cds::FieldType::Integer);
    ds.CreateDataSet();
    std::mt19937 rng(7);
    for (int i = 0; i < 400; ++i) {
        ds.Append();
        ds.SetValue(0, int(rng() % 4));
        ds.SetValue(1, int(rng() % 6));
        ds.SetValue(2, int(rng() % 3));
        ds.Post();
    }
    ds.IndexDefs().Add(QStringLiteral("i"), QStringLiteral("a;b;c"), {}, 3);
    ds.SetIndexName(QStringLiteral("i"));
    auto walk = [&](int level) {
        std::vector<qint64> rows;
        for (ds.First(); !ds.Eof(); ds.Next())
            if (ds.GetGroupState(level) & Cds::GroupPos::First)
                rows.push_back(ds.RowId());
        return rows;
    };
    for (const QString& filter : {QString(), QStringLiteral("c <> 1")}) {
        ds.SetFilter(filter);
        ds.SetFiltered(!filter.isEmpty());
        for (int a = 0; a < 4; ++a) {
            ds.SetRange({qint64(a)}, {qint64(a)});
            for (int level = 1; level <= 3; ++level) {
                const std::vector<qint64> expected = walk(level);
                ASSERT_EQ(ds.GroupStartCount(level), int(expected.size()));
                for (size_t k = 0; k < expected.size(); ++k) {
                    ASSERT_TRUE(ds.GotoGroupStart(level, int(k)));
                    EXPECT_EQ(ds.RowId(), expected[k]) << filter.toStdString() << a << level;
                }
                EXPECT_FALSE(ds.GotoGroupStart(level, int(expected.size())));
            }
        }
        // A range longer than the level: its first row starts a group though its key does not.
        ds.SetRange({qint64(1), qint64(2)}, {qint64(1), qint64(4)});
        const std::vector<qint64> expected = walk(1);
        ASSERT_EQ(ds.GroupStartCount(1), int(expected.size()));
        ASSERT_TRUE(ds.GotoGroupStart(1, 0));
        EXPECT_EQ(ds.RowId(), expected.front());
        ds.SetRange({qint64(9)}, {qint64(9)});
        EXPECT_EQ(ds.GroupStartCount(2), 0);
        EXPECT_FALSE(ds.GotoGroupStart(2, 0));
    }
    EXPECT_FALSE(ds.ValueAt(100000, 0).isValid());
    EXPECT_THROW(ds.ValueAt(0, 9), Cds::EDatabaseError);
}

class CountingSource final : public Grid::CustomDataSource {
public:
    int GetRecordCount() override { return rows; }
    QVariant GetValue(Grid::RecordHandle r, Grid::ItemHandle item) override {
        ++reads;
        return int(r) * 10 + (item ? item->Index() : -1);
    }
    bool IsMultiThreadingSupported() override { return true; }
    int rows = 3;
    std::atomic<int> reads{0};
};

TEST(GridControllerTest, BindingUpdatesAndUnbinding) {
    auto source = std::make_unique<CountingSource>();
    Grid::DataController ctl;
    ctl.AddItem(std::make_unique<TVoskGridItemCustomDSDataBinding>());
    ctl.SetCustomDataSource(source.get());
    ASSERT_EQ(source->Providers(), std::vector<Grid::DataController*>{&ctl});
    EXPECT_EQ(ctl.RecordCount(), 3);
    EXPECT_EQ(ctl.GetValue(2, 0), QVariant(30)); // handles count from 1

    int resets = 0;
    QObject::connect(&ctl, &Grid::DataController::DataReset, [&] { ++resets; });
    source->rows = 5;
    ctl.BeginUpdate();
    source->DataChanged();
    EXPECT_EQ(resets, 0); // held back inside the bracket
    ctl.EndUpdate();
    EXPECT_EQ(resets, 1);
    EXPECT_EQ(ctl.RecordCount(), 5);

    source->rows = 1000;
    source->DataChanged();
    const auto values = ctl.FetchValues({0}, 4);
    ASSERT_EQ(values.size(), 1000u);
    EXPECT_EQ(values[999][0], QVariant(10000));

    source.reset(); // a view outlives its source: it goes empty
    EXPECT_EQ(ctl.CustomDataSource(), nullptr);
    EXPECT_EQ(ctl.RecordCount(), 0);
}

TEST(GridControllerTest, ColumnBindingAssignAndCaption) {
    TVoskGridItemCustomDSDataBinding a, b;
    a.SetFieldName(QStringLiteral("ti_a2_id"));
    a.SetFieldKind(fkAggregate);
    a.DisplayFormat = QStringLiteral("0.00");
    a.AggExpression = QStringLiteral("Sum(x)");
    a.FieldIndex = 4;
    a.FieldIndexEx = 2;
    EXPECT_EQ(a.Caption(), QStringLiteral("ti_a2_id"));
    b.FieldIndex = 9;
    b.Assign(a);
    EXPECT_EQ(b.FieldName(), QStringLiteral("ti_a2_id"));
    EXPECT_EQ(b.FieldKind(), fkAggregate);
    EXPECT_EQ(b.DisplayFormat, QStringLiteral("0.00"));
    EXPECT_EQ(b.FieldIndex, -1);
    EXPECT_EQ(b.FieldIndexEx, -1);
}

} // namespace

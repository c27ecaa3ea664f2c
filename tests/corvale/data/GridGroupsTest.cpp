// Grouping, footer summaries, preview bands and Boolean check boxes of the grid over a real class.
#include "Fixture.h"

#include <TVoskDBGrid2.h>
#include <TVoskDataModel.h>

#include <QHeaderView>
#include <QTest>

namespace {

QStringList Names(const TVoskClass& c) {
    QStringList names;
    const int col = c.FieldIndex(QStringLiteral("name"));
    for (int r = 0; r < c.RecordCount(); ++r)
        names << c.Value(r, col).toString();
    return names;
}

} // namespace

class GridGroupsTest : public KundenTest {
protected:
    void SetUp() override {
        KundenTest::SetUp();
        testsupport::TestDatabase::Exec(QStringLiteral(
            "INSERT INTO kunden (name, plz, betrag, aktiv, note) VALUES "
            "('Albers', '10115', 5.25, true, 1), ('Zander', NULL, NULL, NULL, 4)"));
        open(m_class);
        m_grid.SetDataClass(&m_class);
        m_grid.resize(600, 400);
    }

    TVoskClass m_class;
    TVoskDBGrid2 m_grid;
};

TEST_F(GridGroupsTest, GroupsFollowTheLevelsThenTheUsersSortAlsoAfterARefresh) {
    m_grid.sortByColumn(m_class.FieldIndex(QStringLiteral("name")), Qt::DescendingOrder);
    m_grid.SetGroupFields({QStringLiteral("aktiv")});
    // No value first, then false, then true; within a group the user's descending names.
    const QStringList expected{QStringLiteral("Zander"), QStringLiteral("Weber"),
                               QStringLiteral("Schmidt"), QStringLiteral("Müller"),
                               QStringLiteral("Albers")};
    EXPECT_EQ(Names(m_class), expected);
    ASSERT_EQ(m_grid.Groups().size(), 3u);
    EXPECT_TRUE(m_grid.Groups()[0].path.value(0).isNull());
    EXPECT_EQ(m_grid.Groups()[0].count, 2);
    EXPECT_EQ(m_grid.Groups()[1].row, 2);
    EXPECT_EQ(m_grid.Groups()[2].count, 2);
    EXPECT_EQ(m_grid.GroupCaption(m_grid.Groups()[2]), QStringLiteral("aktiv: Ja (2)"));

    // A refresh reads the query's own order; the grid puts the groups back together.
    m_class.Refresh();
    EXPECT_EQ(Names(m_class), expected);
    EXPECT_EQ(m_grid.Groups().size(), 3u);

    // A second level nests inside the first: no value (Zander, Weber), false (Schmidt) and
    // true (Müller, Albers, one postcode) give 2 + 1 + 1 groups beneath.
    m_grid.GroupByField(QStringLiteral("plz"));
    EXPECT_EQ(m_grid.Groups().size(), 7u);
    m_grid.SetGroupFields({});
    EXPECT_TRUE(m_grid.Groups().empty());
    EXPECT_EQ(m_grid.rowHeight(0), m_grid.verticalHeader()->defaultSectionSize());
}

TEST_F(GridGroupsTest, CollapsedGroupsShowTheirHeadOnlyAndAClickOnItOpensThem) {
    m_grid.SetGroupFields({QStringLiteral("aktiv")});
    m_grid.FullCollapse();
    // Each group's first row stays as the band of its head, the others are gone.
    for (const auto& g : m_grid.Groups()) {
        EXPECT_FALSE(m_grid.isRowHidden(g.row));
        for (int r = g.row + 1; r < g.row + g.count; ++r)
            EXPECT_TRUE(m_grid.isRowHidden(r)) << r;
    }
    m_grid.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_grid));
    const int head = m_grid.Groups()[0].row;
    const QPoint band(40, m_grid.rowViewportPosition(head) + 3);
    QTest::mouseClick(m_grid.viewport(), Qt::LeftButton, {}, band);
    EXPECT_TRUE(m_grid.GroupExpanded(m_grid.Groups()[0].path));
    EXPECT_FALSE(m_grid.isRowHidden(head + 1));
    m_grid.FullExpand();
    EXPECT_EQ(m_grid.ShownRows().size(), 5);
}

TEST_F(GridGroupsTest, FooterSummariesSkipNullsAndCountCollapsedButNotFilteredRecords) {
    const QString betrag = QStringLiteral("betrag");
    m_grid.SetFooterVisible(true);
    // Amounts are summed unasked: 12.50 + 0.10 + 5.25, the two without a value left out.
    EXPECT_EQ(m_grid.FooterSummary(betrag), TVoskDBGrid2::skSum);
    EXPECT_NEAR(m_grid.FooterValue(betrag).toDouble(), 17.85, 1e-9);
    EXPECT_EQ(m_grid.FooterText(betrag), QStringLiteral("Σ 17,85"));
    m_grid.SetFooterSummary(betrag, TVoskDBGrid2::skCount);
    EXPECT_EQ(m_grid.FooterValue(betrag).toInt(), 3);
    m_grid.SetFooterSummary(betrag, TVoskDBGrid2::skAverage);
    EXPECT_NEAR(m_grid.FooterValue(betrag).toDouble(), 5.95, 1e-9);
    m_grid.SetFooterSummary(betrag, TVoskDBGrid2::skMin);
    EXPECT_NEAR(m_grid.FooterValue(betrag).toDouble(), 0.10, 1e-9);
    EXPECT_EQ(m_grid.FooterSummary(QStringLiteral("note")), TVoskDBGrid2::skNone);
    m_grid.SetFooterSummary(QStringLiteral("note"), TVoskDBGrid2::skSum);
    EXPECT_EQ(m_grid.FooterValue(QStringLiteral("note")).typeId(), QMetaType::LongLong);
    EXPECT_EQ(m_grid.FooterValue(QStringLiteral("note")).toLongLong(), 10);

    // Collapsing hides nothing from the sum; the filter does.
    m_grid.SetFooterSummary(betrag, TVoskDBGrid2::skSum);
    m_grid.SetGroupFields({QStringLiteral("aktiv")});
    m_grid.FullCollapse();
    EXPECT_NEAR(m_grid.FooterValue(betrag).toDouble(), 17.85, 1e-9);
    m_grid.SetGridFilterText(QStringLiteral("name = 'Schmidt' OR name = 'Zander'"));
    // Only records without an amount are left: no sum at all rather than a made-up zero.
    EXPECT_FALSE(m_grid.FooterValue(betrag).isValid());
    EXPECT_TRUE(m_grid.FooterText(betrag).isEmpty());
    EXPECT_EQ(m_grid.Groups().size(), 2u);
}

TEST_F(GridGroupsTest, PreviewBandsNeedAFieldAndGrowOnlyRowsWithText) {
    const int plain = m_grid.verticalHeader()->defaultSectionSize();
    m_grid.SetPreviewVisible(true);
    EXPECT_FALSE(m_grid.HasPreviewColumn());
    EXPECT_EQ(m_grid.rowHeight(0), plain);
    EXPECT_TRUE(m_grid.PreviewText(0).isEmpty());
    m_grid.SetPreviewField(QStringLiteral("fehlt"));
    EXPECT_FALSE(m_grid.HasPreviewColumn());
    EXPECT_EQ(m_grid.rowHeight(0), plain);

    m_grid.SetPreviewField(QStringLiteral("plz"));
    ASSERT_TRUE(m_grid.HasPreviewColumn());
    const int schmidt = m_class.Locate(QStringLiteral("name"), QStringLiteral("Schmidt"))
                            ? m_class.CurrentRow()
                            : -1;
    ASSERT_GE(schmidt, 0);
    for (int r = 0; r < m_class.RecordCount(); ++r)
        if (r == schmidt || m_class.Value(r, m_class.FieldIndex(QStringLiteral("plz"))).isNull())
            EXPECT_EQ(m_grid.rowHeight(r), plain) << r;
        else
            EXPECT_GT(m_grid.rowHeight(r), plain) << r;
    m_grid.SetPreviewVisible(false);
    EXPECT_EQ(m_grid.rowHeight(0), plain);
}

TEST_F(GridGroupsTest, LayoutTextCarriesGroupingFooterAndSummaries) {
    m_grid.SetGroupFields({QStringLiteral("aktiv"), QStringLiteral("plz")});
    m_grid.SetGroupByBoxVisible(true);
    m_grid.SetFooterVisible(true);
    m_grid.SetFooterSummary(QStringLiteral("note"), TVoskDBGrid2::skMax);
    const QString text = m_grid.LayoutText();

    TVoskClass other;
    open(other);
    TVoskDBGrid2 copy;
    copy.SetDataClass(&other);
    ASSERT_TRUE(copy.ApplyLayoutText(text));
    EXPECT_EQ(copy.GroupFields(), (QStringList{QStringLiteral("aktiv"), QStringLiteral("plz")}));
    EXPECT_TRUE(copy.GroupByBoxVisible());
    EXPECT_TRUE(copy.FooterVisible());
    EXPECT_EQ(copy.FooterSummary(QStringLiteral("note")), TVoskDBGrid2::skMax);
    EXPECT_EQ(copy.Groups().size(), m_grid.Groups().size());
    EXPECT_EQ(Names(other), Names(m_class));

    // A level naming a column the query no longer has is left out; no grouping clears it.
    ASSERT_TRUE(copy.ApplyLayoutText(QStringLiteral(
        R"({"columns":[],"groupFields":["weg","plz"]})")));
    EXPECT_EQ(copy.GroupFields(), QStringList{QStringLiteral("plz")});
    EXPECT_FALSE(copy.FooterVisible());
    ASSERT_TRUE(copy.ApplyLayoutText(QStringLiteral(R"({"columns":[]})")));
    EXPECT_TRUE(copy.GroupFields().isEmpty());
}

TEST_F(GridGroupsTest, BooleansAreCheckBoxesTickedIntoTheRecord) {
    TVoskDataModel* model = m_grid.DataModel();
    const int aktiv = m_class.FieldIndex(QStringLiteral("aktiv"));
    ASSERT_TRUE(m_class.FieldIsBoolean(aktiv));
    EXPECT_FALSE(m_class.FieldIsBoolean(m_class.FieldIndex(QStringLiteral("name"))));
    ASSERT_TRUE(m_class.Locate(QStringLiteral("name"), QStringLiteral("Weber")));
    const QModelIndex weber = model->index(m_class.CurrentRow(), aktiv);
    // No value is neither yes nor no, and no "true"/"false" text stands beside the box.
    EXPECT_EQ(weber.data(Qt::CheckStateRole).toInt(), int(Qt::PartiallyChecked));
    EXPECT_FALSE(weber.data(Qt::DisplayRole).isValid());
    EXPECT_TRUE(model->flags(weber) & Qt::ItemIsUserCheckable);
    EXPECT_FALSE(model->flags(weber) & Qt::ItemIsEditable);
    ASSERT_TRUE(m_class.Locate(QStringLiteral("name"), QStringLiteral("Müller")));
    EXPECT_EQ(model->index(m_class.CurrentRow(), aktiv).data(Qt::CheckStateRole).toInt(),
              int(Qt::Checked));

    // A click on the box of another record moves there and ticks it.
    m_grid.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_grid));
    const QRect cell = m_grid.visualRect(weber);
    QTest::mouseClick(m_grid.viewport(), Qt::LeftButton, {}, cell.center());
    EXPECT_EQ(m_class.Value(weber.row(), aktiv), QVariant(true));
    m_class.Post();
    EXPECT_EQ(scalar(QStringLiteral("SELECT aktiv FROM kunden WHERE name = 'Weber'")),
              QStringLiteral("t"));
}

// Grouping, sorting, the search field, footer summaries, preview bands and Boolean check boxes of
// the grid over a real class.
#include "Fixture.h"
#include "MouseDrag.h"

#include <TVoskDBGrid2.h>
#include <TVoskDataModel.h>

#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
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

namespace {

QPoint HeaderPoint(TVoskDBGrid2& grid, const QString& field) {
    return testsupport::SectionPoint(grid.horizontalHeader(), grid.columnByFieldName(field));
}

using testsupport::Drag;

} // namespace

TEST_F(GridGroupsTest, HeadersDraggedIntoTheBoxGroupAndLevelsDragWithinAndOutOfIt) {
    m_grid.SetGroupByBoxVisible(true);
    m_grid.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_grid));
    auto* box = m_grid.findChild<QWidget*>(QStringLiteral("GroupByBox"));
    ASSERT_TRUE(box);
    QWidget* header = m_grid.horizontalHeader()->viewport();
    const auto chip = [&](const QString& field) {
        return m_grid.findChild<QWidget*>(QStringLiteral("GroupLevel_") + field);
    };

    Drag(header, HeaderPoint(m_grid, QStringLiteral("aktiv")), box, box->rect().center());
    EXPECT_EQ(m_grid.GroupFields(), QStringList{QStringLiteral("aktiv")});
    EXPECT_EQ(m_grid.Groups().size(), 3u);
    // Let go in the box, the press was no click on the header: nothing was sorted.
    EXPECT_EQ(m_grid.horizontalHeader()->sortIndicatorSection(), -1);
    ASSERT_TRUE(chip(QStringLiteral("aktiv")));

    // Dropped left of the first level, the column becomes the outermost one.
    const QRect aktiv = chip(QStringLiteral("aktiv"))->geometry();
    Drag(header, HeaderPoint(m_grid, QStringLiteral("plz")), box,
         QPoint(aktiv.left() + 2, aktiv.center().y()));
    EXPECT_EQ(m_grid.GroupFields(), (QStringList{QStringLiteral("plz"), QStringLiteral("aktiv")}));
    EXPECT_TRUE(m_class.Value(0, m_class.FieldIndex(QStringLiteral("plz"))).isNull())
        << "no postcode comes first";

    // A level dragged behind the other one within the box swaps the two.
    QWidget* plz = chip(QStringLiteral("plz"));
    const QRect last = chip(QStringLiteral("aktiv"))->geometry();
    Drag(plz, plz->rect().center(), box, QPoint(last.right() + 4, last.center().y()));
    EXPECT_EQ(m_grid.GroupFields(), (QStringList{QStringLiteral("aktiv"), QStringLiteral("plz")}));
    ASSERT_TRUE(chip(QStringLiteral("plz")));

    // Dragged out of the box onto the rows, the level is gone; the other one stays.
    plz = chip(QStringLiteral("plz"));
    Drag(plz, plz->rect().center(), m_grid.viewport(), m_grid.viewport()->rect().center());
    EXPECT_EQ(m_grid.GroupFields(), QStringList{QStringLiteral("aktiv")});
    EXPECT_FALSE(chip(QStringLiteral("plz")));
    // A click on a level still removes it.
    QTest::mouseClick(chip(QStringLiteral("aktiv")), Qt::LeftButton);
    QApplication::processEvents();
    EXPECT_TRUE(m_grid.GroupFields().isEmpty());
    EXPECT_TRUE(m_grid.Groups().empty());

    // Without the box shown a header dragged upwards groups nothing.
    m_grid.SetGroupByBoxVisible(false);
    Drag(header, HeaderPoint(m_grid, QStringLiteral("aktiv")), &m_grid, QPoint(20, 2));
    EXPECT_TRUE(m_grid.GroupFields().isEmpty());
}

TEST_F(GridGroupsTest, AHeaderClicksSortOutlivesARefreshWithTheCurrentRecordKept) {
    m_grid.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_grid));
    QWidget* header = m_grid.horizontalHeader()->viewport();
    QTest::mouseClick(header, Qt::LeftButton, {}, HeaderPoint(m_grid, QStringLiteral("name")));
    const QStringList ascending{QStringLiteral("Albers"), QStringLiteral("Müller"),
                                QStringLiteral("Schmidt"), QStringLiteral("Weber"),
                                QStringLiteral("Zander")};
    ASSERT_EQ(Names(m_class), ascending);
    ASSERT_TRUE(m_class.Locate(QStringLiteral("name"), QStringLiteral("Schmidt")));

    // Another user adds a record; the refresh reads the table's order, the grid keeps the user's.
    testsupport::TestDatabase::Exec(QStringLiteral("INSERT INTO kunden (name) VALUES ('Bauer')"));
    m_class.Refresh();
    EXPECT_EQ(Names(m_class), (QStringList{QStringLiteral("Albers"), QStringLiteral("Bauer"),
                                           QStringLiteral("Müller"), QStringLiteral("Schmidt"),
                                           QStringLiteral("Weber"), QStringLiteral("Zander")}));
    EXPECT_EQ(m_class.FieldByName(QStringLiteral("name")).AsString(), QStringLiteral("Schmidt"));
    EXPECT_EQ(m_grid.currentIndex().row(), m_class.CurrentRow());

    // A second click turns the order round, and that too outlives the refresh.
    QTest::mouseClick(header, Qt::LeftButton, {}, HeaderPoint(m_grid, QStringLiteral("name")));
    m_class.Refresh();
    EXPECT_EQ(Names(m_class).first(), QStringLiteral("Zander"));
    EXPECT_EQ(Names(m_class).last(), QStringLiteral("Albers"));
    EXPECT_EQ(m_class.FieldByName(QStringLiteral("name")).AsString(), QStringLiteral("Schmidt"));

    // The layout carries the sort: another grid shows its rows so, also after a refresh.
    TVoskClass other;
    open(other);
    TVoskDBGrid2 copy;
    copy.SetDataClass(&other);
    ASSERT_TRUE(copy.ApplyLayoutText(m_grid.LayoutText()));
    other.Refresh();
    EXPECT_EQ(Names(other), Names(m_class));
}

TEST_F(GridGroupsTest, TheSearchFieldShowsOnlyRowsHoldingItsTextUntilItIsClosed) {
    m_grid.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_grid));
    const int name = m_class.FieldIndex(QStringLiteral("name"));
    const auto shownNames = [&] {
        QStringList names;
        for (int r : m_grid.ShownRows())
            names << m_class.Value(r, name).toString();
        names.sort();
        return names;
    };
    m_grid.ShowSearchPanel(true);
    QLineEdit* panel = m_grid.SearchPanel();
    ASSERT_TRUE(panel);
    // Any shown column counts, and its text as shown: the postcode here, whatever the case.
    QTest::keyClicks(panel, QStringLiteral("0115"));
    EXPECT_EQ(shownNames(), (QStringList{QStringLiteral("Albers"), QStringLiteral("Müller")}));
    EXPECT_TRUE(m_grid.RowCellsShown(m_class.CurrentRow())) << "the current record is a match";
    QTest::keyClicks(panel, QStringLiteral(" "));
    EXPECT_TRUE(shownNames().isEmpty());
    panel->clear();
    QTest::keyClicks(panel, QStringLiteral("MÜ"));
    EXPECT_EQ(shownNames(), QStringList{QStringLiteral("Müller")});
    // Amounts match as the grid shows them, German.
    panel->clear();
    QTest::keyClicks(panel, QStringLiteral("12,5"));
    EXPECT_EQ(shownNames(), QStringList{QStringLiteral("Müller")});

    // A new record stays shown while it is typed; posted, it is tested like any other.
    m_class.Append();
    m_class.FieldByName(QStringLiteral("name")).SetAsString(QStringLiteral("Neu"));
    EXPECT_EQ(m_grid.ShownRows().size(), 2);
    EXPECT_TRUE(m_grid.RowCellsShown(m_class.CurrentRow()));
    m_class.Post();
    EXPECT_EQ(shownNames(), QStringList{QStringLiteral("Müller")});

    // Backspace to nothing shows every row again.
    QTest::keyClicks(panel, QStringLiteral("x"));
    EXPECT_TRUE(shownNames().isEmpty());
    for (int i = 0; i < 5; ++i)
        QTest::keyClick(panel, Qt::Key_Backspace);
    EXPECT_EQ(m_grid.ShownRows().size(), 6);
    // Closing the field does as well, and it opens empty again.
    QTest::keyClicks(panel, QStringLiteral("weber"));
    EXPECT_EQ(shownNames(), QStringList{QStringLiteral("Weber")});
    QTest::keyClick(panel, Qt::Key_Escape);
    EXPECT_FALSE(m_grid.SearchPanelVisible());
    EXPECT_EQ(m_grid.ShownRows().size(), 6);
    m_grid.ShowSearchPanel(true);
    EXPECT_TRUE(m_grid.SearchPanel()->text().isEmpty());

    // The find box finds without filtering.
    m_grid.ShowFind(&m_grid);
    QTest::keyClicks(m_grid.FindBox(), QStringLiteral("zander"));
    EXPECT_EQ(m_class.FieldByName(QStringLiteral("name")).AsString(), QStringLiteral("Zander"));
    EXPECT_EQ(m_grid.ShownRows().size(), 6);
    m_grid.FindBox()->hide();
}

TEST_F(GridGroupsTest, AStoredFilterKeepsHidingItsRowsWhileANewRecordIsTyped) {
    m_grid.SetGridFilterText(QStringLiteral("name = 'Weber'"));
    ASSERT_EQ(m_grid.ShownRows().size(), 1);
    m_class.Append();
    QApplication::processEvents();
    // The filtered rows stay hidden; only the new one joins Weber.
    EXPECT_EQ(m_grid.ShownRows().size(), 2);
    m_class.Cancel();
    QApplication::processEvents();
    EXPECT_EQ(m_grid.ShownRows().size(), 1);
    EXPECT_EQ(m_class.Value(m_grid.ShownRows().first(), m_class.FieldIndex(QStringLiteral("name"))),
              QVariant(QStringLiteral("Weber")));
}

// The tree list over a self-referencing table: how the tree is built from key and parent values,
// the model's consistency through every kind of change, and deleting several nodes.
#include "Fixture.h"

#include <DialogAnswerer.h>
#include <TVoskDBGrid2.h>
#include <TVoskDBTreeView2.h>
#include <TVoskDataModel.h>

#include <QAbstractItemModelTester>
#include <QElapsedTimer>
#include <QHeaderView>

namespace {

class BaumTest : public testsupport::DbTest {
protected:
    void SetUp() override {
        testsupport::TestDatabase::Exec(QStringLiteral(
            "DROP TABLE IF EXISTS baum; "
            "CREATE TABLE baum (dbrid int PRIMARY KEY, parent int, name text NOT NULL, "
            "notiz text)"));
        m_db.Connect();
    }
    void TearDown() override { testsupport::TestDatabase::Exec(QStringLiteral("DROP TABLE baum")); }
    static QString scalar(const QString& sql) { return testsupport::TestDatabase::Scalar(sql); }
    testsupport::DialogAnswerer m_answers;
    void open() {
        m_class.SetDatabase(&m_db);
        m_class.SetSqlTable(QStringLiteral("baum"));
        m_class.SetKeyFieldName(QStringLiteral("dbrid"));
        m_class.Open();
        m_tree.SetKeyField(QStringLiteral("dbrid"));
        m_tree.SetParentField(QStringLiteral("parent"));
        m_tree.SetDataClass(&m_class);
        m_tester = std::make_unique<QAbstractItemModelTester>(
            m_tree.TreeModel(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    }
    // The names depth first, each indented by its level.
    QStringList Outline() const {
        QStringList out;
        const int name = m_class.FieldIndex(QStringLiteral("name"));
        for (int r : m_tree.TreeModel()->TreeOrder())
            out << QString(m_tree.TreeModel()->Level(r), QLatin1Char('.')) +
                       m_class.Value(r, name).toString();
        return out;
    }
    void Select(const QStringList& names) {
        const int name = m_class.FieldIndex(QStringLiteral("name"));
        m_tree.selectionModel()->clearSelection();
        for (int r = 0; r < m_class.RecordCount(); ++r)
            if (names.contains(m_class.Value(r, name).toString()))
                m_tree.selectionModel()->select(m_tree.TreeModel()->IndexOfRow(r),
                                                QItemSelectionModel::Select |
                                                    QItemSelectionModel::Rows);
    }

    TVoskDatabase m_db;
    TVoskClass m_class;
    TVoskDBTreeView2 m_tree;
    std::unique_ptr<QAbstractItemModelTester> m_tester;
};

} // namespace

TEST_F(BaumTest, OrphansCyclesAndSelfReferencesBecomeRootsInTheClassOrder) {
    testsupport::TestDatabase::Exec(QStringLiteral(
        "INSERT INTO baum VALUES (1, NULL, 'Werk', NULL), (2, 1, 'Halle Nord', NULL), "
        "(3, 1, 'Halle Süd', NULL), (4, 2, 'Linie 1', NULL), (5, 99, 'Waise', NULL), "
        "(6, 7, 'Kreis A', NULL), (7, 6, 'Kreis B', NULL), (8, 8, 'Selbst', NULL), "
        "(9, 7, 'Unter Kreis', NULL), (10, 4, 'Platz 1', NULL)"));
    open();
    EXPECT_EQ(Outline(), (QStringList{"Werk", ".Halle Nord", "..Linie 1", "...Platz 1",
                                      ".Halle Süd", "Waise", "Kreis A", ".Kreis B",
                                      "..Unter Kreis", "Selbst"}));
    EXPECT_EQ(m_tree.TreeModel()->rowCount(), 4);

    // Sorting the class sorts every level; the structure, cycles included, stays.
    m_tree.sortByColumn(m_class.FieldIndex(QStringLiteral("name")), Qt::DescendingOrder);
    EXPECT_EQ(Outline(), (QStringList{"Werk", ".Halle Süd", ".Halle Nord", "..Linie 1",
                                      "...Platz 1", "Waise", "Selbst", "Kreis A", ".Kreis B",
                                      "..Unter Kreis"}));

    // A new parent value moves the node with its branch; the open nodes stay open.
    m_tree.FullExpand();
    m_class.Locate(QStringLiteral("dbrid"), 2);
    m_class.FieldByName(QStringLiteral("parent")).SetValue(5);
    m_class.Post(false);
    EXPECT_EQ(Outline().mid(0, 6), (QStringList{"Werk", ".Halle Süd", "Waise", ".Halle Nord",
                                                "..Linie 1", "...Platz 1"}));
    const QModelIndex linie = m_tree.TreeModel()->IndexOfRow(
        m_class.Locate(QStringLiteral("dbrid"), 4) ? m_class.CurrentRow() : -1);
    EXPECT_TRUE(m_tree.isExpanded(linie));
    EXPECT_EQ(m_tree.currentIndex().siblingAtColumn(0), linie);

    // Records that come and go under the tester.
    m_class.Append();
    m_class.FieldByName(QStringLiteral("dbrid")).SetValue(11);
    m_class.FieldByName(QStringLiteral("parent")).SetValue(10);
    m_class.FieldByName(QStringLiteral("name")).SetValue(QStringLiteral("Platz 2"));
    m_class.Post(false);
    EXPECT_TRUE(Outline().contains(QStringLiteral("....Platz 2")));
    m_class.Delete();
    m_class.Refresh();
    EXPECT_EQ(Outline().size(), 10);
    m_class.Close();
    EXPECT_EQ(m_tree.TreeModel()->rowCount(), 0);
}

TEST_F(BaumTest, ALongChainClosedToACycleIsBuiltWithoutRecursion) {
    // 20,000 records, each the child of the one before, the first the child of the last.
    testsupport::TestDatabase::Exec(QStringLiteral(
        "INSERT INTO baum SELECT i, CASE WHEN i = 1 THEN 20000 ELSE i - 1 END, 'K' || i "
        "FROM generate_series(1, 20000) AS i"));
    QElapsedTimer clock;
    clock.start();
    open();
    EXPECT_LT(clock.elapsed(), 10000);
    const TVoskTreeListModel* model = m_tree.TreeModel();
    ASSERT_EQ(model->rowCount(), 1);
    const std::vector<int> order = model->TreeOrder();
    ASSERT_EQ(order.size(), 20000u);
    EXPECT_EQ(model->Level(order.front()), 0);
    EXPECT_EQ(model->Level(order.back()), 19999);
}

TEST_F(BaumTest, DeletingSeveralNodesIsAllOrNothing) {
    testsupport::TestDatabase::Exec(QStringLiteral(
        "ALTER TABLE baum ADD FOREIGN KEY (parent) REFERENCES baum (dbrid); "
        "INSERT INTO baum VALUES (1, NULL, 'Werk', NULL), (2, 1, 'Halle', NULL), "
        "(3, 2, 'Linie', NULL), (4, NULL, 'Lager', NULL), (5, 4, 'Regal', NULL)"));
    open();
    m_tree.FullExpand();
    // The parent comes before its child in the class; the child goes first all the same.
    Select({QStringLiteral("Halle"), QStringLiteral("Linie"), QStringLiteral("Regal")});
    ASSERT_EQ(m_tree.SelectedNodeCount(), 3);
    m_answers.Expect(QStringLiteral("3 Datensätze löschen?"), Vcl::mrYes);
    m_tree.DeleteSelection();
    EXPECT_EQ(Outline(), (QStringList{"Werk", "Lager"}));
    EXPECT_EQ(scalar(QStringLiteral("SELECT string_agg(name, ',' ORDER BY dbrid) FROM baum")),
              QStringLiteral("Werk,Lager"));

    // Werk gets a child that is not selected: Werk cannot go, so Lager stays too.
    testsupport::TestDatabase::Exec(QStringLiteral("INSERT INTO baum VALUES (6, 1, 'Neu', NULL)"));
    m_class.Refresh();
    m_tree.FullCollapse();
    Select({QStringLiteral("Lager"), QStringLiteral("Werk")});
    ASSERT_EQ(m_tree.SelectedNodeCount(), 2);
    m_answers.Expect(QStringLiteral("2 Datensätze löschen?"), Vcl::mrYes);
    EXPECT_THROW(m_tree.DeleteSelection(), EVoskException);
    EXPECT_EQ(scalar(QStringLiteral("SELECT count(*) FROM baum")), QStringLiteral("3"));
    EXPECT_EQ(m_class.RecordCount(), 3);
    EXPECT_FALSE(m_db.InTransaction());
}

TEST_F(BaumTest, AGridDeletingSeveralRowsIsAllOrNothingToo) {
    testsupport::TestDatabase::Exec(QStringLiteral(
        "ALTER TABLE baum ADD FOREIGN KEY (parent) REFERENCES baum (dbrid); "
        "INSERT INTO baum VALUES (1, NULL, 'Werk', NULL), (2, 1, 'Halle', NULL), "
        "(3, NULL, 'Lager', NULL), (4, NULL, 'Hof', NULL)"));
    open();
    TVoskDBGrid2 grid;
    grid.SetDataClass(&m_class);
    grid.setSelectionMode(QAbstractItemView::MultiSelection);
    const int name = m_class.FieldIndex(QStringLiteral("name"));
    auto select = [&](const QStringList& names) {
        grid.selectionModel()->clearSelection();
        for (int r = 0; r < m_class.RecordCount(); ++r)
            if (names.contains(m_class.Value(r, name).toString()))
                grid.selectRow(r);
    };
    // Werk still has Halle: the rows after it in the selection stay as well.
    select({QStringLiteral("Lager"), QStringLiteral("Werk"), QStringLiteral("Hof")});
    ASSERT_EQ(grid.selectionModel()->selectedRows().size(), 3);
    m_answers.Expect(QStringLiteral("3 Datensätze löschen?"), Vcl::mrYes);
    EXPECT_THROW(grid.DeleteSelection(), EVoskException);
    EXPECT_EQ(scalar(QStringLiteral("SELECT count(*) FROM baum")), QStringLiteral("4"));
    EXPECT_EQ(m_class.RecordCount(), 4);
    EXPECT_FALSE(m_db.InTransaction());

    select({QStringLiteral("Lager"), QStringLiteral("Hof")});
    m_answers.Expect(QStringLiteral("2 Datensätze löschen?"), Vcl::mrYes);
    grid.DeleteSelection();
    EXPECT_EQ(scalar(QStringLiteral("SELECT string_agg(name, ',' ORDER BY dbrid) FROM baum")),
              QStringLiteral("Werk,Halle"));
    EXPECT_EQ(m_class.RecordCount(), 2);
}

TEST_F(BaumTest, LayoutTextAndPreviewBand) {
    testsupport::TestDatabase::Exec(QStringLiteral(
        "INSERT INTO baum VALUES (1, NULL, 'Werk', 'erste Zeile\nzweite Zeile'), "
        "(2, 1, 'Halle', NULL)"));
    open();
    m_tree.resize(500, 300);
    const int name = m_tree.columnByFieldName(QStringLiteral("name"));
    const int notiz = m_tree.columnByFieldName(QStringLiteral("notiz"));
    m_tree.header()->moveSection(m_tree.header()->visualIndex(name), 0);
    m_tree.setColumnWidth(name, 211);
    m_tree.setColumnHidden(notiz, true);
    const QString layout = m_tree.LayoutText();
    m_tree.header()->moveSection(0, 3);
    m_tree.setColumnWidth(name, 50);
    m_tree.setColumnHidden(notiz, false);
    ASSERT_TRUE(m_tree.ApplyLayoutText(layout));
    EXPECT_EQ(m_tree.header()->logicalIndex(0), name);
    EXPECT_EQ(m_tree.columnWidth(name), 211);
    EXPECT_TRUE(m_tree.isColumnHidden(notiz));
    EXPECT_EQ(m_tree.ShownColumns().first(), name);
    EXPECT_FALSE(m_tree.ShownColumns().contains(notiz));
    EXPECT_FALSE(m_tree.ApplyLayoutText(QStringLiteral("{kaputt")));
    EXPECT_TRUE(m_tree.isColumnHidden(notiz));

    // The preview adds its lines under a node that has a text, nothing under one without.
    m_tree.SetPreviewField(QStringLiteral("notiz"));
    ASSERT_TRUE(m_tree.HasPreviewColumn());
    m_tree.FullExpand();
    const QModelIndex werk = m_tree.TreeModel()->index(0, name);
    const QModelIndex halle = m_tree.TreeModel()->index(0, name, werk.siblingAtColumn(0));
    const int plain = m_tree.visualRect(werk).height();
    m_tree.SetPreviewVisible(true);
    EXPECT_GE(m_tree.visualRect(werk).height(), plain + 2 * m_tree.fontMetrics().lineSpacing());
    EXPECT_LE(m_tree.visualRect(halle).height(), plain + 1);
    m_tree.SetPreviewVisible(false);
    EXPECT_EQ(m_tree.visualRect(werk).height(), plain);
}

// The planning board's view grouped on the engine's own rows against the private cluster: group
// rows from the week column with the engine's week aggregate, expanding by the button and the
// keys, edits still refused, and the aggregate of groups that cover whole weeks, one week or
// only part of several.
#include "UPlantafel.ContainerDataSource.h"
#include "UPlantafel.GridViewCustomDS.h"

#include "DataSourceModel.h"
#include "EventGuard.h"
#include "TestDatabase.h"
#include "UDM1.h"
#include "Uloghelper.h"

#include <QAbstractItemModelTester>
#include <QTableView>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

using testsupport::DbTest;
using testsupport::TestDatabase;

namespace {

// Weeks 3 and 4 of 2025. Machine 2: in week 3 entity 201 (two days, order 7) and 202 (order 8),
// in week 4 entity 401 (order 7) and 402 (two days, order 9); machine 1: entity 101 in week 3.
class GridGroupingTest : public DbTest {
protected:
    void SetUp() override {
        m_dm.Connect();
        TestDatabase::Exec(QStringLiteral(
            "TRUNCATE scheduling.resource_timeline, scheduling.entity RESTART IDENTITY;"
            "INSERT INTO scheduling.entity (a2_id, a2_ab_ix, a2_n, a2_bezeichnung) VALUES "
            "(101, 8, 1, 'Drehen'), (201, 7, 1, 'Fräsen'), (202, 8, 2, 'Bohren'), "
            "(401, 7, 2, 'Schleifen'), (402, 9, 1, 'Prüfen');"
            "INSERT INTO scheduling.resource_timeline (ti_resource_id, ti_a2_id, ti_date_start) "
            "VALUES (1, 101, '2025-01-13 08:00'), (2, 201, '2025-01-13 08:00'), "
            "(2, 201, '2025-01-14 08:00'), (2, 202, '2025-01-15 09:00'), "
            "(2, 401, '2025-01-20 07:00'), (2, 402, '2025-01-21 07:00'), "
            "(2, 402, '2025-01-22 07:00')"));
        TLogSink::Clear();
        m_c.SetStartDate(QDateTime(QDate(2025, 1, 13), QTime(0, 0)));
        m_c.SetEndDate(QDateTime(QDate(2025, 1, 26), QTime(0, 0)));
        m_c.SetResIDSelectSQL({QStringLiteral("1, 2")});
        m_g = m_c.AddGroup(QStringLiteral("G"));
        m_g->SetMode(ptsvmCalendarWeekGroupedByWeek);
        for (int r : {1, 2})
            m_c.AddSubViewDataSource(QStringLiteral("G"), r);

        m_form.resize(700, 400);
        auto* layout = new QVBoxLayout(&m_form);
        m_view = new TVoskGridViewCustomDS(&m_form);
        layout->addWidget(m_view->Control());
        m_view->AddBand(QStringLiteral("Plan"));
        const std::pair<const char*, const char*> cols[] = {{"ColYWeek", "_yweek"},
                                                            {"ColYear", "_year"},
                                                            {"ColAuftrag", "a2_ab_ix"},
                                                            {"ColEntity", "ti_a2_id"}};
        for (const auto& [name, field] : cols)
            m_view->Binding(m_view->CreateColumn(QString::fromLatin1(name)))
                .SetFieldName(QString::fromLatin1(field));
        m_view->ColumnByName(QStringLiteral("ColYWeek"))->SetCaption(QStringLiteral("KW"));
        m_view->ColumnByName(QStringLiteral("ColAuftrag"))->SetCaption(QStringLiteral("Auftrag"));
        Grid::GridBandedColumn& count = m_view->CreateColumn(QStringLiteral("ColAnzahl"));
        TVoskGridItemCustomDSDataBinding& b = m_view->Binding(count);
        b.SetFieldKind(fkAggregate);
        b.AggExpression = QStringLiteral("Count(ti_id)");
        b.AggGroupingLevel = ptfldWeek;
        m_view->DataController().SetCustomDataSource(m_c.SubViewDataSources(QStringLiteral("G"), 2));
        m_c.SetActive(true);
    }
    void TearDown() override {
        m_view->DataController().SetCustomDataSource(nullptr);
        TestDatabase::Exec(QStringLiteral(
            "TRUNCATE scheduling.resource_timeline, scheduling.entity RESTART IDENTITY"));
    }

    Grid::GridBandedColumn& Col(const char* name) {
        return *m_view->ColumnByName(QString::fromLatin1(name));
    }
    void GroupBy(const char* name) {
        for (Grid::GridBandedColumn* c : m_view->GroupedColumns())
            m_view->SetGroupIndex(*c, -1);
        m_view->SetGroupIndex(Col(name), 0);
    }
    // Group rows as "text | count cell", data rows as their entity (empty on extra rows).
    QStringList Rows() const {
        QStringList rows;
        const Grid::DataController& ctl = m_view->DataController();
        QAbstractItemModel* model = m_view->Model();
        const int count = m_view->ColumnByName(QStringLiteral("ColAnzahl"))->ItemIndex();
        const int entity = m_view->ColumnByName(QStringLiteral("ColEntity"))->ItemIndex();
        for (int r = 0; r < ctl.RowCount(); ++r) {
            if (const int g = ctl.RowGroup(r); g >= 0)
                rows << m_view->GroupRowText(g) + " | " + model->index(r, count).data().toString();
            else
                rows << model->index(r, entity).data().toString();
        }
        return rows;
    }
    TPlantafelSubViewDataSource& Source() const { return *m_c.SubViewDataSources("G", 2); }

    TDM1 m_dm;
    TPlantafelContainerDataSource m_c;
    TPlantafelSubViewGroup* m_g = nullptr;
    QWidget m_form;
    TVoskGridViewCustomDS* m_view = nullptr;
};

TEST_F(GridGroupingTest, WeekGroupsCarryTheEnginesWeekCountAndOpenByButtonAndKeys) {
    QAbstractItemModelTester tester(m_view->Model(),
                                    QAbstractItemModelTester::FailureReportingMode::Fatal);
    // Ungrouped: the calendar's leading row, then per week two entities and the extra row.
    ASSERT_EQ(m_view->Model()->rowCount(), 7);
    GroupBy("ColYWeek");
    EXPECT_EQ(Rows(), (QStringList{"KW: 0 (1) | ", "KW: 202503 (3) | 3", "KW: 202504 (3) | 3"}));
    // The group row's count is the engine's aggregate of that week.
    const int mapping = m_g->AggsMapping().IndexOf(QStringLiteral("Count(ti_id)"), ptfldWeek);
    ASSERT_GE(mapping, 0);
    EXPECT_EQ(Source().GetAggregateValue(Source().GetRecordHandle(4), mapping, {ptdstData}), 3);

    m_form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_form));
    QTableView* table = m_view->TableView();
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, m_view->ExpandButtonRect(1).center());
    EXPECT_EQ(Rows(), (QStringList{"KW: 0 (1) | ", "KW: 202503 (3) | 3", "201", "202", "",
                                   "KW: 202504 (3) | 3"}));
    // The rows below a week are indented by one level; the view shows the entity, not the week.
    EXPECT_EQ(m_view->IndentArea(2).Bounds.width(), m_view->ViewInfo().LevelIndent());
    table->setFocus();
    table->setCurrentIndex(m_view->Model()->index(5, 0));
    QTest::keyClick(table, Qt::Key_Plus);
    EXPECT_EQ(Rows().mid(5), (QStringList{"KW: 202504 (3) | 3", "401", "402", ""}));
    QTest::keyClick(table, Qt::Key_Left);
    EXPECT_EQ(Rows().size(), 6);

    // Editing a row through the grid stays refused with 34023; the row keeps its value.
    std::vector<int> shown;
    Rtl::ClientErrorDisplay.Set([&](std::exception_ptr e, QObject*) {
        try {
            std::rethrow_exception(e);
        } catch (const EVoskException& x) {
            shown.push_back(x.TextNr());
        }
    });
    const QModelIndex cell = m_view->Model()->index(3, Col("ColEntity").ItemIndex());
    EXPECT_FALSE(m_view->Model()->setData(cell, 999));
    Rtl::ClientErrorDisplay.Reset();
    EXPECT_EQ(shown, std::vector<int>{34023});
    EXPECT_EQ(cell.data().toString(), QStringLiteral("202"));

    // A new activation is a data change: the index is built again and the open week stays open.
    m_c.SetActive(false);
    m_c.SetActive(true);
    EXPECT_EQ(Rows().size(), 6);
    EXPECT_EQ(Rows().at(2), QStringLiteral("201"));
}

TEST_F(GridGroupingTest, AggregateOfAGroupOnlyWhereItHoldsWholeWeeksOrLiesInOne) {
    // The year holds both weeks whole: their counts add up.
    GroupBy("ColYear");
    EXPECT_EQ(Rows().last(), QStringLiteral("_year: 2025 (6) | 6")); // caption: the field
    // By order: 8 lies in week 3 alone; 7 takes a part of week 3 and a part of week 4, which
    // adds up to nothing true, so it shows none; 9 lies in week 4.
    GroupBy("ColAuftrag");
    const QStringList rows = Rows();
    EXPECT_TRUE(rows.contains(QStringLiteral("Auftrag: 7 (2) | "))) << rows.join('\n').toStdString();
    EXPECT_TRUE(rows.contains(QStringLiteral("Auftrag: 8 (1) | 3")));
    EXPECT_TRUE(rows.contains(QStringLiteral("Auftrag: 9 (1) | 3")));
    EXPECT_FALSE(m_view->GroupAggregateValue(0, Col("ColEntity").ItemIndex()).isValid());
}

// The footer summarises each column through the source's typed read, the rows without a record
// included: the year's least value is the leading row's 0 (shown as the text "0"), its greatest
// the records' 2025; the entities add up over the records (Null on the rows without one).
TEST_F(GridGroupingTest, FooterSummariesReadTheColumnsTyped) {
    Col("ColYear").FooterSummary = Grid::SummaryKind::Max;
    Col("ColEntity").FooterSummary = Grid::SummaryKind::Sum;
    Col("ColAuftrag").FooterSummary = Grid::SummaryKind::Min;
    Col("ColYWeek").FooterSummary = Grid::SummaryKind::Count;
    const std::vector<QVariant> values = m_view->FooterValues();
    auto at = [&](const char* name) { return values[size_t(m_view->ColumnIndex(Col(name)))]; };
    EXPECT_EQ(at("ColYear").toLongLong(), 2025);
    EXPECT_EQ(at("ColEntity").toDouble(), 201 + 202 + 401 + 402);
    EXPECT_EQ(at("ColAuftrag").toLongLong(), 7);
    EXPECT_EQ(at("ColYWeek").toLongLong(), 7);
    EXPECT_FALSE(at("ColAnzahl").isValid()); // no summary set
    Col("ColYear").FooterSummary = Grid::SummaryKind::Min;
    EXPECT_EQ(m_view->FooterValues()[size_t(m_view->ColumnIndex(Col("ColYear")))].toLongLong(), 0);
}

} // namespace

// The demo host's planning-board window on a small time line: one banded view per machine bound
// to its sub-view data source, the mode switch, the filter and its refusal, scrolling in step,
// and the header menu's layout actions with the status bar.
#include "TFormPlantafel.h"

#include "BandedHeaderView.h"
#include "DataSourceModel.h"
#include "DialogAnswerer.h"
#include "TVoskStatusBar.h"
#include "TestDatabase.h"
#include "UDM1.h"
#include "UDataModul_Dunmere.h"
#include "UPlantafel.ContainerDataSource.h"
#include "Uloghelper.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <QAbstractItemModelTester>
#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>

#include <gtest/gtest.h>

using testsupport::DbTest;
using testsupport::DialogAnswerer;
using testsupport::TestDatabase;

namespace {

class PlantafelTest : public DbTest {
protected:
    void SetUp() override {
        m_dm.Connect();
        TestDatabase::Exec(QStringLiteral(
            "TRUNCATE scheduling.resource_timeline, scheduling.entity RESTART IDENTITY;"
            "DELETE FROM gridlayout;"
            "INSERT INTO mitarbeiter (mitnr, m_login, m_admin) VALUES (1, 'chefin', true) "
            "ON CONFLICT (mitnr) DO NOTHING;"
            "INSERT INTO scheduling.entity (a2_id, a2_ab_ix, a2_n, a2_bezeichnung) "
            "SELECT i, 24000 + i, 1, 'Fräsen ' || i FROM generate_series(1, 40) i;"
            "INSERT INTO scheduling.resource_timeline (ti_resource_id, ti_a2_id, ti_date_start) "
            "SELECT 100 + i % 3, i, timestamp '2025-12-01 07:00' + (i || ' days')::interval "
            "FROM generate_series(1, 40) i"));
        // A package loaded by an earlier test of this suite may have left its own global data
        // module: the board reads through whichever DM1() is, so that one is connected here.
        if (DM1() != &m_dm && !DM1()->Connected())
            DM1()->Connect();
        DM1()->SetLoginName(QStringLiteral("chefin"));
        m_dmSys = TVoskDM_Dunmere::ModulInitialize(nullptr);
    }
    void TearDown() override {
        delete m_dmSys;
        TestDatabase::Exec(QStringLiteral(
            "TRUNCATE scheduling.resource_timeline, scheduling.entity RESTART IDENTITY;"
            "DELETE FROM gridlayout"));
    }
    static QString Cell(TVoskGridViewCustomDS* v, int row, const QString& column) {
        return v->Model()->index(row, v->ColumnByName(column)->ItemIndex()).data().toString();
    }
    static int RowOf(TVoskGridViewCustomDS* v, const QString& text) {
        for (int r = 0; r < v->Model()->rowCount(); ++r)
            if (Cell(v, r, QStringLiteral("ColText")) == text)
                return r;
        return -1;
    }

    TDM1 m_dm;
    TVoskDM_Dunmere* m_dmSys = nullptr;
};

TEST_F(PlantafelTest, OneBandedViewPerMachineShowsTheWeeksOfTheTimeLine) {
    TFormPlantafel form;
    form.show();
    ASSERT_EQ(form.Views().size(), 3u);
    QAbstractItemModelTester tester(form.Views()[0]->Model(),
                                    QAbstractItemModelTester::FailureReportingMode::Fatal);
    for (TVoskGridViewCustomDS* v : form.Views()) {
        ASSERT_EQ(v->BandCount(), 3);
        EXPECT_EQ(v->Band(0).Caption, QStringLiteral("Woche"));
        EXPECT_EQ(v->Band(1).Caption, QStringLiteral("Auftrag"));
        EXPECT_EQ(v->Band(2).Caption, QStringLiteral("Start"));
        EXPECT_TRUE(v->Header()->BandRect(1).isValid());
        EXPECT_GT(v->Model()->rowCount(), 5);
        EXPECT_FALSE(v->Control()->accessibleName().isEmpty());
    }
    // Entity 3 is machine 100's, on Thursday 4 December, week 49; the text from the information
    // rows, the start in its display format, one entity that week.
    TVoskGridViewCustomDS* m100 = form.Views()[0];
    const int row = RowOf(m100, QStringLiteral("Fräsen 3"));
    ASSERT_GE(row, 0);
    EXPECT_EQ(Cell(m100, row, QStringLiteral("ColYWeek")), QStringLiteral("202549"));
    EXPECT_EQ(Cell(m100, row, QStringLiteral("ColAuftrag")), QStringLiteral("24003"));
    EXPECT_EQ(Cell(m100, row, QStringLiteral("ColStart")), QStringLiteral("04.12.2025 07:00"));
    EXPECT_EQ(Cell(m100, row, QStringLiteral("ColAnzahl")), QStringLiteral("2"));
    EXPECT_EQ(RowOf(m100, QStringLiteral("Fräsen 4")), -1); // machine 101's

    // By weeks: every week the same number of rows on every machine.
    form.CbModus->setCurrentIndex(1);
    EXPECT_EQ(form.GroupPlan()->Mode(), ptsvmCalendarWeekGroupedByWeek);
    EXPECT_EQ(form.Views()[0]->Model()->rowCount(), form.Views()[2]->Model()->rowCount());
    EXPECT_GE(RowOf(m100, QStringLiteral("Fräsen 3")), 0);

    // In step: scrolling one machine scrolls the others.
    form.resize(900, 300);
    QScrollBar* bar = form.Views()[1]->TableView()->verticalScrollBar();
    bar->setValue(bar->maximum());
    for (TVoskGridViewCustomDS* v : form.Views())
        EXPECT_EQ(v->TableView()->verticalScrollBar()->value(), bar->value());
}

TEST_F(PlantafelTest, FilterNarrowsTheRowsAndABadOneLeavesTheBoardAsItWas) {
    TFormPlantafel form;
    TVoskGridViewCustomDS* m100 = form.Views()[0];
    form.EdFilter->setText(QStringLiteral("ti_a2_id <> 3"));
    form.BtFilter->click();
    EXPECT_EQ(RowOf(m100, QStringLiteral("Fräsen 3")), -1);
    EXPECT_GE(RowOf(m100, QStringLiteral("Fräsen 6")), 0);
    const int rows = m100->Model()->rowCount();
    {
        DialogAnswerer answerer;
        answerer.Expect({}, Vcl::mrOk);
        form.EdFilter->setText(QStringLiteral("ti_a2_id <> "));
        form.BtFilter->click();
        ASSERT_EQ(answerer.Questions().size(), 1u);
        EXPECT_FALSE(answerer.Questions()[0].text.isEmpty());
    }
    EXPECT_EQ(form.GroupPlan()->Filter(), QStringLiteral("ti_a2_id <> 3"));
    EXPECT_EQ(form.EdFilter->text(), QStringLiteral("ti_a2_id <> 3"));
    EXPECT_TRUE(form.Container().Active());
    EXPECT_EQ(m100->Model()->rowCount(), rows);
    EXPECT_EQ(RowOf(m100, QStringLiteral("Fräsen 3")), -1);
}

TEST_F(PlantafelTest, HeaderMenuSavesLoadsDeletesAndResetsTheLayout) {
    TFormPlantafel form;
    TVoskGridViewCustomDS* first = form.Views()[0];
    std::unique_ptr<QMenu> menu(form.CreateHeaderMenu(first));
    QStringList texts;
    for (QAction* a : menu->actions())
        if (!a->isSeparator()) {
            texts << a->text();
            EXPECT_FALSE(a->toolTip().isEmpty());
        }
    EXPECT_EQ(texts,
              (QStringList{"Layout speichern", "Layout global speichern", "Layout laden",
                           "Layout löschen", "Globales Layout löschen", "Layout zurücksetzen"}));
    auto trigger = [&](const QString& text) {
        for (QAction* a : menu->actions())
            if (a->text() == text)
                a->trigger();
    };
    const int panel = form.StatusBar1->PanelCount() - 1;
    EXPECT_EQ(form.StatusBar1->PanelText(panel), QStringLiteral("Layout: keines geladen"));

    first->ColumnByName(QStringLiteral("ColText"))->Visible = false;
    first->Changed();
    trigger(QStringLiteral("Layout speichern"));
    EXPECT_EQ(form.StatusBar1->PanelText(panel), QStringLiteral("Layout: Eigenes"));
    // The other machines follow the saved layout.
    EXPECT_FALSE(form.Views()[2]->ColumnByName(QStringLiteral("ColText"))->Visible);

    trigger(QStringLiteral("Layout zurücksetzen"));
    EXPECT_TRUE(first->ColumnByName(QStringLiteral("ColText"))->Visible);
    EXPECT_EQ(form.StatusBar1->PanelText(panel), QStringLiteral("Layout: Eigenes (geändert)"));
    trigger(QStringLiteral("Layout laden"));
    EXPECT_FALSE(first->ColumnByName(QStringLiteral("ColText"))->Visible);
    trigger(QStringLiteral("Layout löschen"));
    EXPECT_EQ(TestDatabase::Scalar(QStringLiteral("SELECT count(*) FROM gridlayout")),
              QStringLiteral("0"));
    // No machine claims the deleted layout any more.
    EXPECT_EQ(form.StatusBar1->PanelText(panel), QStringLiteral("Layout: keines geladen"));
    for (TVoskGridViewCustomDS* v : form.Views())
        EXPECT_TRUE(v->LoadetGridLayout().isEmpty()) << qPrintable(v->objectName());
}

TEST_F(PlantafelTest, HeaderMenuGroupsEveryMachineByTheColumnAndUngroupsThem) {
    TFormPlantafel form;
    TVoskGridViewCustomDS* first = form.Views()[0];
    std::unique_ptr<QMenu> menu(
        form.CreateHeaderMenu(first, first->ColumnByName(QStringLiteral("ColYWeek"))));
    auto trigger = [&](QMenu* m, const QString& text) {
        for (QAction* a : m->actions())
            if (a->text() == text) {
                EXPECT_FALSE(a->toolTip().isEmpty());
                a->trigger();
                return true;
            }
        return false;
    };
    ASSERT_TRUE(trigger(menu.get(), QStringLiteral("Nach „Jahr/KW“ gruppieren")));
    // Machine 100 has entities 3, 6, 9 ... one every three days: week 49 holds 3 and 6.
    for (TVoskGridViewCustomDS* v : form.Views()) {
        ASSERT_EQ(v->GroupedColumns().size(), 1u);
        const Grid::DataController& ctl = v->DataController();
        for (int r = 0; r < ctl.RowCount(); ++r)
            EXPECT_TRUE(ctl.IsGroupRow(r));
    }
    const Grid::DataController& ctl = first->DataController();
    int week49 = -1;
    for (int r = 0; r < ctl.RowCount(); ++r)
        if (first->GroupRowText(ctl.RowGroup(r)).startsWith(QStringLiteral("Jahr/KW: 202549 ")))
            week49 = r;
    ASSERT_GE(week49, 0);
    EXPECT_EQ(Cell(first, week49, QStringLiteral("ColAnzahl")), QStringLiteral("2"));
    first->SetRowExpanded(week49, true);
    EXPECT_EQ(Cell(first, week49 + 2, QStringLiteral("ColText")), QStringLiteral("Fräsen 6"));
    const int panel = form.StatusBar1->PanelCount() - 1;
    EXPECT_EQ(form.StatusBar1->PanelText(panel), QStringLiteral("Layout: keines geladen"));

    std::unique_ptr<QMenu> again(form.CreateHeaderMenu(first));
    ASSERT_TRUE(trigger(again.get(), QStringLiteral("Gruppierung aufheben")));
    for (TVoskGridViewCustomDS* v : form.Views())
        EXPECT_TRUE(v->GroupedColumns().empty());
    EXPECT_GE(RowOf(first, QStringLiteral("Fräsen 3")), 0);
}

TEST_F(PlantafelTest, StoredColumnOfAFieldTheTimeLineLacksShowsNullAndIsLoggedOnce) {
    TFormPlantafel form;
    TVoskGridViewCustomDS* v = form.Views()[0];
    QByteArray bytes;
    v->GetLayoutData(bytes);
    QJsonObject root = QJsonDocument::fromJson(bytes).object();
    QJsonArray columns = root.value(QLatin1String("columns")).toArray();
    columns.append(QJsonObject{{"name", "ColAlt"},
                               {"field", "ti_gibtsnicht"},
                               {"kind", 0},
                               {"index", 99},
                               {"visible", true},
                               {"width", 50},
                               {"band", 1},
                               {"col", 9},
                               {"row", 0}});
    root.insert(QStringLiteral("columns"), columns);
    TLogSink::Clear();
    v->SetLayoutData(QJsonDocument(root).toJson(QJsonDocument::Compact));
    ASSERT_NE(v->ColumnByName(QStringLiteral("ColAlt")), nullptr);
    form.Aktualisieren();
    form.Aktualisieren();
    for (int r = 0; r < v->Model()->rowCount(); ++r)
        EXPECT_TRUE(Cell(v, r, QStringLiteral("ColAlt")).isEmpty());
    EXPECT_EQ(TLogSink::Lines().filter(QStringLiteral("ti_gibtsnicht")).size(), 1);
}

} // namespace

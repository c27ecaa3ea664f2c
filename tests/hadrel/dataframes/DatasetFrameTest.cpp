// The dataset frame over a real table: widths of a fresh layout, binding the same source twice or
// one without a data set, the record number it remembers, and what read-only and the navigator
// types leave on screen.

#include "FrameworkFixture.h"

#include <FrameDBNavigate.h>
#include <TVoskDBGrid2.h>
#include <TVoskDBNavigator.h>
#include <TVoskPopupMenu.h>
#include <UFrameDataset.h>
#include <VoskExceptions.h>

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QContextMenuEvent>
#include <QHeaderView>

#include <gtest/gtest.h>

#include <QScopeGuard>

#include <memory>

using testsupport::TestDatabase;

namespace {

class DatasetFrameTest : public FrameworkTest {
public:
    static void SetUpTestSuite() {
        FrameworkTest::SetUpTestSuite();
        TestDatabase::Exec(QStringLiteral(
            "CREATE TABLE frame_probe (dbrid serial PRIMARY KEY, bezeichnung text, "
            "aktiv_und_geprueft_seit_jahren boolean, stueckzahl_im_lager_insgesamt integer, "
            "kurz text); "
            "INSERT INTO frame_probe (bezeichnung, aktiv_und_geprueft_seit_jahren, "
            "stueckzahl_im_lager_insgesamt, kurz) SELECT repeat('Langer Text ', 12) || g, "
            "g % 2 = 0, g * 7, 'k' FROM generate_series(1, 30) g"));
    }

protected:
    void SetUp() override {
        FrameworkTest::SetUp();
        m_class = new TVoskClass2(&m_owner);
        m_class->SetSqlTable(QStringLiteral("frame_probe"));
        m_class->SetQuerySql(QStringLiteral("SELECT * FROM frame_probe ORDER BY dbrid"));
        m_source = new Vcl::TDataSource(&m_owner);
        m_source->SetDataSet(m_class);
        m_frame = std::make_unique<TFrameDataSet>(&m_owner);
        m_frame->resize(900, 400);
    }
    void TearDown() override { m_frame.reset(); }

    int width(const char* field) const {
        return m_frame->DBGrid->columnWidth(m_class->FieldIndex(QString::fromLatin1(field)));
    }

    QObject m_owner;
    TVoskClass2* m_class = nullptr;
    Vcl::TDataSource* m_source = nullptr;
    std::unique_ptr<TFrameDataSet> m_frame;
};

TEST_F(DatasetFrameTest, AFreshLayoutCapsWideColumnsByKindAndLeavesNarrowOnesAlone) {
    m_class->Open();
    m_frame->FSetDataSource(m_source);
    QAbstractItemModelTester tester(m_frame->DBGrid->model(),
                                    QAbstractItemModelTester::FailureReportingMode::Warning);
    ASSERT_TRUE(m_frame->FreshLayout());
    EXPECT_EQ(width("bezeichnung"), TFrameDataSet::kMaxWidth);
    EXPECT_EQ(width("aktiv_und_geprueft_seit_jahren"), TFrameDataSet::kMaxBooleanWidth);
    EXPECT_EQ(width("stueckzahl_im_lager_insgesamt"), TFrameDataSet::kMaxIntegerWidth);
    EXPECT_LT(width("kurz"), TFrameDataSet::kMaxWidth);
    EXPECT_GT(width("kurz"), 0);
    EXPECT_EQ(m_class->RecNo(), 1);

    // A column the user widened keeps its width over a rebuild that keeps the columns only when a
    // layout is stored; without one the caps apply again.
    m_frame->DBGrid->setColumnWidth(m_class->FieldIndex(QStringLiteral("bezeichnung")), 300);
    m_frame->UpdateGridLayout(true);
    EXPECT_EQ(width("bezeichnung"), TFrameDataSet::kMaxWidth);
}

TEST_F(DatasetFrameTest, AStoredLayoutWinsOverTheFittedWidths) {
    m_class->Open();
    m_frame->FSetDataSource(m_source);
    const int col = m_class->FieldIndex(QStringLiteral("bezeichnung"));
    m_frame->DBGrid->setColumnWidth(col, 333);
    m_frame->DBGrid->LayoutSave(1);
    m_frame->DBGrid->setColumnWidth(col, 50);
    m_frame->UpdateGridLayout(false);
    EXPECT_FALSE(m_frame->FreshLayout());
    EXPECT_EQ(m_frame->DBGrid->columnWidth(col), 333);
    m_frame->DBGrid->LayoutDelete(1);
}

TEST_F(DatasetFrameTest, TheSameSourceAgainChangesNothingAndOneWithoutDataSetBindsNothing) {
    m_class->Open();
    m_frame->FSetDataSource(m_source);
    const int col = m_class->FieldIndex(QStringLiteral("bezeichnung"));
    m_frame->DBGrid->setColumnWidth(col, 321);
    m_class->SetRecNo(5);
    m_frame->FSetDataSource(m_source);
    EXPECT_EQ(m_frame->DBGrid->columnWidth(col), 321);
    EXPECT_EQ(m_class->RecNo(), 5);

    Vcl::TDataSource empty;
    auto frame = std::make_unique<TFrameDataSet>(&m_owner);
    try {
        frame->FSetDataSource(&empty);
        FAIL() << "a source without a data set was taken";
    } catch (const EVoskException& e) {
        EXPECT_EQ(e.Message(),
                  QStringLiteral("FSetDataSource: Datasource must have an assigned DataSet"));
    }
    EXPECT_EQ(frame->FDataSource(), nullptr);
    EXPECT_EQ(frame->DataClass(), nullptr);
    EXPECT_EQ(frame->DBGrid->DataClass(), nullptr);
    EXPECT_EQ(frame->DBNav->FDataSource(), nullptr);
}

TEST_F(DatasetFrameTest, TheLastRecordNumberFollowsTheFocusedRowAndAFreedClassIsLetGo) {
    m_frame->FSetDataSource(m_source);
    m_class->Open(); // opened after binding: laid out when the rows come
    EXPECT_TRUE(m_frame->FreshLayout());
    TVoskDBGrid2* grid = m_frame->DBGrid;
    grid->setCurrentIndex(grid->model()->index(6, 1));
    EXPECT_EQ(m_frame->LastRecno(), 7);
    m_class->Last();
    EXPECT_EQ(m_frame->LastRecno(), 30);

    delete m_class;
    m_class = nullptr;
    EXPECT_EQ(m_frame->DataClass(), nullptr);
    EXPECT_EQ(m_frame->DBNav->FDataSource(), nullptr);
    m_frame->UpdateGridLayout(false); // nothing bound: no crash
}

TEST_F(DatasetFrameTest, ReadOnlyAndTheNavigatorTypesShowWhatTheySay) {
    m_class->Open();
    m_frame->FSetDataSource(m_source);
    m_frame->show();
    EXPECT_TRUE(m_frame->DBNav->isVisible());
    EXPECT_FALSE(m_frame->DBGridNavigator->isVisible());
    EXPECT_TRUE(m_frame->DBNav->BtInsert());

    m_frame->SetReadOnly(true);
    EXPECT_FALSE(m_frame->DBNav->BtInsert());
    EXPECT_FALSE(m_frame->DBNav->BtDelete());
    EXPECT_FALSE(m_frame->DBNav->BtPostNCancel());
    EXPECT_EQ(m_frame->DBGrid->editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_FALSE(m_frame->DBGridNavigator->VisibleButtons().testFlag(nbInsert));

    m_frame->SetNavigator(fdnSmall);
    EXPECT_FALSE(m_frame->DBNav->isVisible());
    EXPECT_TRUE(m_frame->DBGridNavigator->isVisible());
    m_frame->SetNavigator(fdnNone);
    EXPECT_FALSE(m_frame->DBNav->isVisible());
    EXPECT_FALSE(m_frame->DBGridNavigator->isVisible());

    m_frame->SetReadOnly(false);
    EXPECT_TRUE(m_frame->DBNav->BtInsert());
    EXPECT_NE(m_frame->DBGrid->editTriggers(), QAbstractItemView::NoEditTriggers);
}

TEST_F(DatasetFrameTest, TheGridOpensTheFramesPopupMenu) {
    m_class->Open();
    m_frame->FSetDataSource(m_source);
    m_frame->show();
    QWidget* viewport = m_frame->DBGrid->viewport();
    const QPoint at = m_frame->DBGrid->visualRect(m_frame->DBGrid->model()->index(1, 1)).center();
    const auto rightClick = [&] {
        QContextMenuEvent e(QContextMenuEvent::Mouse, at, viewport->mapToGlobal(at));
        QApplication::sendEvent(viewport, &e);
    };
    rightClick();
    EXPECT_FALSE(m_frame->VoskPopupMenu->isVisible()) << "nothing to offer, nothing opens";
    m_frame->VoskPopupMenu->AddItem(QStringLiteral("Artikel öffnen"));
    rightClick();
    EXPECT_TRUE(m_frame->VoskPopupMenu->isVisible());
    m_frame->VoskPopupMenu->hide();

    // A link column's cell offers its module on the cell's value after the frame's entries.
    TestDatabase::Exec(QStringLiteral(
        "INSERT INTO linkmodule (lm_keyfield, lm_formclassname, lm_tablename, lm_caption) "
        "VALUES ('kurz', 'TFormKurz', 'frame_probe', 'Kurzliste')"));
    const auto cleanup = qScopeGuard([] {
        TestDatabase::Exec(QStringLiteral("DELETE FROM linkmodule WHERE lm_formclassname = "
                                          "'TFormKurz'"));
    });
    m_frame->DBGrid->MarkHeaderForLinkModules();
    const QPoint kurz = m_frame->DBGrid->visualRect(
        m_frame->DBGrid->model()->index(1, m_class->FieldIndex(QStringLiteral("kurz")))).center();
    QContextMenuEvent e(QContextMenuEvent::Mouse, kurz, viewport->mapToGlobal(kurz));
    QApplication::sendEvent(viewport, &e);
    ASSERT_TRUE(m_frame->VoskPopupMenu->isVisible());
    QStringList texts;
    for (QAction* a : m_frame->VoskPopupMenu->actions())
        texts << a->text();
    EXPECT_EQ(texts, (QStringList{QStringLiteral("Artikel öffnen"), QStringLiteral("Kurzliste: k")}));
    m_frame->VoskPopupMenu->hide();
    rightClick(); // another column: the frame's entries alone
    EXPECT_EQ(m_frame->VoskPopupMenu->actions().size(), 1);
    m_frame->VoskPopupMenu->hide();
}

TEST_F(DatasetFrameTest, TheFilterHidesRowsAndIsKeptForTheNextSource) {
    m_frame->SetDataSetFilter(QStringLiteral("stueckzahl_im_lager_insgesamt < 50"));
    m_class->Open();
    m_frame->FSetDataSource(m_source);
    EXPECT_EQ(m_frame->DBGrid->ShownRows().size(), 7);
    m_frame->SetDataSetFilter(QString());
    EXPECT_EQ(m_frame->DBGrid->ShownRows().size(), 30);
}

} // namespace

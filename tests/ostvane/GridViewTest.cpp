// The banded grid view without a database: registration with the package, the class registry,
// the indent of the expand buttons, the band row over the header, dragging between bands, the
// stored arrangement and its checks, footer summaries, the model under the model tester, and
// grouping: group rows, the expand button under the mouse and the keys, the two drawing events,
// the group index read once per data change, and edits reaching the right record.
#include "BandedHeaderView.h"
#include "DataSourceModel.h"
#include "GridFooterView.h"
#include "RegisteredViews.h"
#include "TVoskGridViewDataClass.h"
#include "UPlantafel.GridViewCustomDS.h"
#include "UPlantafel.GridViewCustomDS_Reg.h"
#include "UnitTable.h"
#include "Vcl.Classes.h"
#include "VoskExceptions.h"

#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <QVBoxLayout>

#include <atomic>

#include <gtest/gtest.h>

namespace {

// Five rows; item k of row r reads r * 10 + k, row 3 has a Null in every item.
class RowsSource final : public Grid::CustomDataSource {
public:
    int GetRecordCount() override { return rows; }
    QVariant GetValue(Grid::RecordHandle r, Grid::ItemHandle item) override {
        if (r == 4)
            return {};
        return int(r) * 10 + (item ? item->Index() : 0);
    }
    int rows = 5;
};

// A form with a view of three columns: a, b in band "Eins", c in band "Zwei".
class ViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_form.setObjectName(QStringLiteral("FormTest"));
        m_form.resize(600, 300);
        auto* layout = new QVBoxLayout(&m_form);
        m_view = new TVoskGridViewCustomDS(&m_form);
        m_view->setObjectName(QStringLiteral("ViewTest"));
        layout->addWidget(m_view->Control());
        m_view->AddBand(QStringLiteral("Eins"));
        m_view->AddBand(QStringLiteral("Zwei"));
        for (const char* name : {"a", "b", "c"}) {
            Grid::GridBandedColumn& col = m_view->CreateColumn(QString::fromLatin1(name));
            m_view->Binding(col).SetFieldName(QStringLiteral("f_") + QLatin1String(name));
            col.Width = 60;
        }
        m_view->MoveColumn(*m_view->ColumnByName(QStringLiteral("c")), 1, 0);
    }
    QStringList Shown() const {
        QStringList names;
        for (Grid::GridBandedColumn* c : m_view->ShownColumns())
            names << QStringLiteral("%1:%2").arg(c->Name).arg(c->BandIndex);
        return names;
    }
    // Names in the header's visual order, hidden sections left out.
    QStringList HeaderOrder() const {
        QStringList names;
        Grid::BandedHeaderView* h = m_view->Header();
        for (int v = 0; v < h->count(); ++v)
            if (!h->isSectionHidden(h->logicalIndex(v)))
                names << m_view->ColumnOfItem(h->logicalIndex(v))->Name;
        return names;
    }

    QWidget m_form;
    TVoskGridViewCustomDS* m_view = nullptr;
};

TEST(GridViewRegistration, PackageRegistersThePlanningViewOnceAndRemovesIt) {
    auto& pkg = Rtl::Package::Get(QStringLiteral("ostvane"));
    EXPECT_FALSE(Grid::RegisteredViews::Contains(QStringLiteral("Plantafel View")));
    pkg.Initialize();
    pkg.Initialize();
    EXPECT_EQ(Grid::RegisteredViews::Descriptions().count(QStringLiteral("Plantafel View")), 1);
    EXPECT_EQ(Grid::RegisteredViews::ClassOf(QStringLiteral("plantafel view")),
              QStringLiteral("TVoskGridViewCustomDS"));
    std::unique_ptr<Grid::GridBandedTableView> v(
        Grid::RegisteredViews::Create(QStringLiteral("Plantafel View")));
    EXPECT_NE(qobject_cast<TVoskGridViewCustomDS*>(v.get()), nullptr);
    pkg.Finalize();
    EXPECT_TRUE(Grid::RegisteredViews::Contains(QStringLiteral("Plantafel View"))); // still once in
    pkg.Finalize();
    EXPECT_FALSE(Grid::RegisteredViews::Contains(QStringLiteral("Plantafel View")));
}

TEST(GridViewRegistration, DesignTimeRegisterMakesTheClassCreatableByName) {
    UPlantafel::GridViewCustomDS_Reg::Register();
    ASSERT_TRUE(Vcl::IsClassRegistered(QStringLiteral("tvoskgridviewcustomds")));
    QObject owner;
    QObject* made = Vcl::CreateComponent(QStringLiteral("TVoskGridViewCustomDS"), &owner);
    EXPECT_NE(qobject_cast<TVoskGridViewCustomDS*>(made), nullptr);
    EXPECT_EQ(made->parent(), &owner);
    EXPECT_EQ(Vcl::CreateComponent(QStringLiteral("TGibtEsNicht")), nullptr);
    Vcl::UnRegisterClass(QStringLiteral("TVoskGridViewCustomDS"));
    EXPECT_FALSE(Vcl::IsClassRegistered(QStringLiteral("TVoskGridViewCustomDS")));
}

TEST(GridViewInfo, ExpandButtonIndentNormalAndTouch) {
    TVoskGridViewCustomDS view;
    auto* info = dynamic_cast<TVoskGridViewCustomDSTableViewInfo*>(&view.ViewInfo());
    ASSERT_NE(info, nullptr);
    EXPECT_NE(dynamic_cast<TVoskGridViewDataClass*>(&view.ViewData()), nullptr);
    info->ExpandButtonSize = 9;
    info->ExtraLevelIndent = 4;
    EXPECT_EQ(info->ExpandButtonOffset(), 3);
    EXPECT_EQ(info->LevelIndent(), 9 + 4 + 3 + 3);
    // Touch: 19 is below 24; the offset is half of 24 - 9, rounded up, on both sides.
    info->TouchMode = true;
    info->TouchableSize = 24;
    EXPECT_EQ(info->ExpandButtonOffset(), 8);
    EXPECT_EQ(info->LevelIndent(), 9 + 4 + 2 * 8);
    // Already touch-sized: unchanged.
    info->ExtraLevelIndent = 10;
    EXPECT_EQ(info->ExpandButtonOffset(), 3);
    EXPECT_EQ(info->LevelIndent(), 9 + 10 + 3 + 3);
}

TEST_F(ViewTest, BandCaptionsLieOverTheirColumnsSections) {
    m_form.show();
    Grid::BandedHeaderView* h = m_view->Header();
    EXPECT_EQ(HeaderOrder(), (QStringList{"a", "b", "c"}));
    for (int band = 0; band < 2; ++band) {
        const QRect r = h->BandRect(band);
        int left = INT_MAX, right = INT_MIN;
        for (Grid::GridBandedColumn* c : m_view->ShownColumns())
            if (c->BandIndex == band) {
                left = std::min(left, h->sectionViewportPosition(c->ItemIndex()));
                right = std::max(right, h->sectionViewportPosition(c->ItemIndex()) +
                                            h->sectionSize(c->ItemIndex()));
            }
        EXPECT_EQ(r.left(), left) << band;
        EXPECT_EQ(r.left() + r.width(), right) << band;
        EXPECT_EQ(r.top(), 0);
        EXPECT_EQ(r.height(), h->BandRowHeight());
        EXPECT_EQ(m_view->BandWidth(band), r.width());
    }
    EXPECT_EQ(h->sizeHint().height(), 2 * h->BandRowHeight());
    // A hidden band takes its columns and its caption away.
    m_view->Band(1).Visible = false;
    m_view->Changed();
    EXPECT_FALSE(h->BandRect(1).isValid());
    EXPECT_EQ(HeaderOrder(), (QStringList{"a", "b"}));
}

TEST_F(ViewTest, DraggingASectionMovesTheColumnIntoTheBandItIsDroppedIn) {
    m_form.show();
    QSignalSpy changed(m_view, &Grid::GridBandedTableView::LayoutChanged);
    Grid::BandedHeaderView* h = m_view->Header();
    // "a" dragged right past "c": it joins band "Zwei" after "c".
    h->moveSection(h->visualIndex(m_view->ColumnByName(QStringLiteral("a"))->ItemIndex()), 2);
    EXPECT_EQ(Shown(), (QStringList{"b:0", "c:1", "a:1"}));
    EXPECT_EQ(changed.count(), 1);
    // "a" dragged left to the front: band "Eins" again, before "b".
    h->moveSection(h->visualIndex(m_view->ColumnByName(QStringLiteral("a"))->ItemIndex()), 0);
    EXPECT_EQ(Shown(), (QStringList{"a:0", "b:0", "c:1"}));
    EXPECT_EQ(HeaderOrder(), (QStringList{"a", "b", "c"}));
    // Resizing is kept in the column.
    h->resizeSection(m_view->ColumnByName(QStringLiteral("b"))->ItemIndex(), 90);
    EXPECT_EQ(m_view->ColumnByName(QStringLiteral("b"))->Width, 90);
    EXPECT_EQ(changed.count(), 3);
}

TEST_F(ViewTest, StoredArrangementRoundTripsWithEqualBytes) {
    Grid::GridBandedColumn& b = *m_view->ColumnByName(QStringLiteral("b"));
    b.Visible = false;
    b.FooterSummary = Grid::SummaryKind::Sum;
    m_view->Binding(b).DisplayFormat = QStringLiteral("0.00");
    const QByteArray bytes = m_view->StoreToBytes(QStringLiteral("TFormX"));
    EXPECT_EQ(bytes, m_view->StoreToBytes(QStringLiteral("TFormX")));
    const QJsonObject root = QJsonDocument::fromJson(bytes).object();
    EXPECT_EQ(root.value(QLatin1String("v")).toInt(), 1);
    EXPECT_EQ(root.value(QLatin1String("view")).toString(), QStringLiteral("TFormX"));
    EXPECT_FALSE(QJsonDocument::fromJson(m_view->StoreToBytes(QStringLiteral("TFormX"), 0))
                     .object()
                     .contains(QLatin1String("summaries")));

    // A fresh view gets the columns it lacks, with their bindings.
    TVoskGridViewCustomDS other;
    other.RestoreFromBytes(bytes, QStringLiteral("tformx"), true);
    ASSERT_EQ(other.ColumnCount(), 3);
    EXPECT_EQ(other.BandCount(), 2);
    EXPECT_EQ(other.Band(1).Caption, QStringLiteral("Zwei"));
    Grid::GridBandedColumn* ob = other.ColumnByName(QStringLiteral("b"));
    ASSERT_NE(ob, nullptr);
    EXPECT_FALSE(ob->Visible);
    EXPECT_EQ(ob->FooterSummary, Grid::SummaryKind::Sum);
    EXPECT_EQ(other.Binding(*ob).FieldName(), QStringLiteral("f_b"));
    EXPECT_EQ(other.Binding(*ob).DisplayFormat, QStringLiteral("0.00"));
    EXPECT_EQ(other.StoreToBytes(QStringLiteral("TFormX")), bytes);
    // Without creating children, unknown columns are skipped.
    TVoskGridViewCustomDS empty;
    empty.RestoreFromBytes(bytes, QStringLiteral("TFormX"), false);
    EXPECT_EQ(empty.ColumnCount(), 0);
}

TEST_F(ViewTest, BadStoredBytesAreRefusedAndChangeNothing) {
    const QByteArray before = m_view->StoreToBytes(QStringLiteral("TFormX"));
    QJsonObject newer = QJsonDocument::fromJson(before).object();
    newer.insert(QStringLiteral("v"), 2);
    QJsonObject noWidth = QJsonDocument::fromJson(before).object();
    QJsonArray cols = noWidth.value(QLatin1String("columns")).toArray();
    QJsonObject c0 = cols[0].toObject();
    c0.insert(QStringLiteral("width"), QStringLiteral("breit"));
    cols[0] = c0;
    noWidth.insert(QStringLiteral("columns"), cols);
    const QByteArray bad[] = {
        QByteArray("\x01\x02TPF0binary"), QByteArray("{\"v\":1"),          QByteArray("[1,2]"),
        QJsonDocument(newer).toJson(),    QJsonDocument(noWidth).toJson(), before.left(40)};
    for (const QByteArray& b : bad) {
        EXPECT_THROW(m_view->RestoreFromBytes(b, QStringLiteral("TFormX"), true), EVoskException)
            << b.constData();
        EXPECT_EQ(m_view->StoreToBytes(QStringLiteral("TFormX")), before);
    }
    // Another view's layout is not taken either.
    EXPECT_THROW(m_view->RestoreFromBytes(before, QStringLiteral("TFormY"), true), EVoskException);
    try {
        m_view->RestoreFromBytes(QJsonDocument(newer).toJson(), QStringLiteral("TFormX"), true);
    } catch (const EVoskException& e) {
        EXPECT_TRUE(e.Message().contains(QStringLiteral("neuere Version 2"))) << e.what();
    }
}

TEST_F(ViewTest, ColumnsOutsideEveryBandLandInBandZeroWhichIsMadeWhenMissing) {
    m_view->ColumnByName(QStringLiteral("c"))->BandIndex = -1;
    EXPECT_EQ(Shown(), (QStringList{"a:0", "b:0"}));
    QByteArray bytes;
    m_view->GetLayoutData(bytes);
    m_view->SetLayoutData(bytes);
    EXPECT_EQ(Shown(), (QStringList{"a:0", "b:0", "c:0"}));

    // A layout without any band: one is made for the columns.
    QJsonObject root = QJsonDocument::fromJson(bytes).object();
    root.insert(QStringLiteral("bands"), QJsonArray());
    TVoskGridViewCustomDS view(&m_form);
    view.SetLayoutData(QJsonDocument(root).toJson(QJsonDocument::Compact));
    ASSERT_EQ(view.BandCount(), 1);
    EXPECT_EQ(view.ColumnCount(), 3);
    for (int i = 0; i < view.ColumnCount(); ++i)
        EXPECT_EQ(view.Column(i).BandIndex, 0);
}

TEST_F(ViewTest, FooterSummariesComeFromTheControllersValues) {
    RowsSource source;
    m_view->DataController().SetCustomDataSource(&source);
    // Item 0 of rows 1..5 (handles): 10, 20, 30, Null, 50.
    Grid::GridBandedColumn& a = *m_view->ColumnByName(QStringLiteral("a"));
    auto values = [&](Grid::SummaryKind kind) {
        a.FooterSummary = kind;
        return m_view->FooterValues()[size_t(m_view->ColumnIndex(a))];
    };
    EXPECT_EQ(values(Grid::SummaryKind::Sum).toDouble(), 110.0);
    EXPECT_EQ(values(Grid::SummaryKind::Count).toLongLong(), 4);
    EXPECT_EQ(values(Grid::SummaryKind::Min).toInt(), 10);
    EXPECT_EQ(values(Grid::SummaryKind::Max).toInt(), 50);
    EXPECT_EQ(values(Grid::SummaryKind::Average).toDouble(), 27.5);
    EXPECT_FALSE(m_view->FooterValues()[1].isValid()); // no summary on b
    m_view->SetFooterVisible(true);
    EXPECT_FALSE(m_view->Footer()->TextOf(a.ItemIndex()).isEmpty());
    m_view->DataController().SetCustomDataSource(nullptr);
}

TEST_F(ViewTest, ModelStaysConsistentWhileColumnsAndRowsChange) {
    RowsSource source;
    QAbstractItemModelTester tester(m_view->Model(),
                                    QAbstractItemModelTester::FailureReportingMode::Fatal);
    m_view->DataController().SetCustomDataSource(&source);
    EXPECT_EQ(m_view->Model()->rowCount(), 5);
    EXPECT_EQ(m_view->Model()->columnCount(), 3);
    m_view->CreateColumn(QStringLiteral("d"));
    EXPECT_EQ(m_view->Model()->columnCount(), 4);
    source.rows = 2;
    source.DataChanged();
    EXPECT_EQ(m_view->Model()->rowCount(), 2);
    EXPECT_EQ(m_view->Model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("f_a"));
    // The arrangement survives the model's reset.
    EXPECT_EQ(Shown(), (QStringList{"a:0", "b:0", "d:0", "c:1"}));
    EXPECT_EQ(HeaderOrder(), (QStringList{"a", "b", "d", "c"}));
    m_view->DataController().SetCustomDataSource(nullptr);
}

// ---- grouping ------------------------------------------------------------------------------------

// Records of a planning week: item 0 the machine ("M1"/"M2", Null for one), item 1 the week,
// item 2 a number; edits are recorded, reads of each item counted.
class GroupSource final : public Grid::CustomDataSource {
public:
    struct Rec {
        QVariant machine;
        int week;
        int n;
    };
    std::vector<Rec> recs = {{"M2", 3, 10}, {"M1", 4, 11}, {"M2", 4, 12}, {QVariant(), 3, 13},
                             {"M1", 3, 14}, {"M2", 3, 15}, {"M3", 5, 16}};
    std::atomic<int> reads[3] = {0, 0, 0};
    std::vector<std::pair<Grid::RecordHandle, QVariant>> edits;

    int GetRecordCount() override { return int(recs.size()); }
    bool IsMultiThreadingSupported() override { return true; }
    QVariant GetValue(Grid::RecordHandle r, Grid::ItemHandle item) override {
        const Rec& rec = recs.at(size_t(r - 1));
        const int i = item ? item->Index() : 0;
        ++reads[i];
        return i == 0 ? rec.machine : i == 1 ? QVariant(rec.week) : QVariant(rec.n);
    }
    void SetValue(Grid::RecordHandle r, Grid::ItemHandle, const QVariant& v) override {
        edits.emplace_back(r, v);
    }
};

class GroupingTest : public ViewTest {
protected:
    void SetUp() override {
        ViewTest::SetUp();
        m_view->ColumnByName(QStringLiteral("a"))->SetCaption(QStringLiteral("Maschine"));
        m_view->ColumnByName(QStringLiteral("b"))->SetCaption(QStringLiteral("KW"));
        m_view->DataController().SetCustomDataSource(&m_source);
    }
    void TearDown() override { m_view->DataController().SetCustomDataSource(nullptr); }
    Grid::GridBandedColumn& Col(const char* name) {
        return *m_view->ColumnByName(QString::fromLatin1(name));
    }
    // Each shown row: "+text" / "-text" for collapsed and expanded group rows, else the n value.
    QStringList Rows() const {
        QStringList rows;
        const Grid::DataController& ctl = m_view->DataController();
        for (int r = 0; r < ctl.RowCount(); ++r) {
            if (const int g = ctl.RowGroup(r); g >= 0)
                rows << (ctl.Group(g).Expanded ? "-" : "+") + m_view->GroupRowText(g);
            else
                rows << QString::number(m_source.recs[size_t(ctl.RowRecord(r))].n);
        }
        return rows;
    }
    int RowOf(const QString& entry) const { return int(Rows().indexOf(entry)); }
    QTableView* Table() const { return m_view->TableView(); }

    GroupSource m_source;
};

TEST_F(GroupingTest, GroupRowsCarryValueAndCountAndExpandInLoadedOrder) {
    QAbstractItemModelTester tester(m_view->Model(),
                                    QAbstractItemModelTester::FailureReportingMode::Fatal);
    m_view->SetGroupIndex(Col("a"), 0);
    // Null first, then by value; the grouped column leaves the header.
    EXPECT_EQ(Rows(), (QStringList{"+Maschine:  (1)", "+Maschine: M1 (2)", "+Maschine: M2 (3)",
                                   "+Maschine: M3 (1)"}));
    EXPECT_EQ(HeaderOrder(), (QStringList{"b", "c"}));
    EXPECT_EQ(m_view->Model()->rowCount(), 4);
    EXPECT_TRUE(m_view->Model()->index(0, 0).data(Grid::DataSourceModel::GroupRowRole).toBool());
    EXPECT_FALSE(m_view->Model()->headerData(0, Qt::Vertical).isValid());
    EXPECT_EQ(m_view->Model()->index(1, 2).data(Qt::AccessibleTextRole).toString(),
              "Maschine: M1 (2)");

    ASSERT_TRUE(m_view->SetRowExpanded(RowOf("+Maschine: M2 (3)"), true));
    EXPECT_FALSE(m_view->SetRowExpanded(RowOf("-Maschine: M2 (3)"), true)); // unchanged
    EXPECT_EQ(Rows(), (QStringList{"+Maschine:  (1)", "+Maschine: M1 (2)", "-Maschine: M2 (3)",
                                   "10", "12", "15", "+Maschine: M3 (1)"}));
    // A data row reads its own record and carries its record's number in the row header.
    EXPECT_EQ(m_view->Model()->index(4, Col("c").ItemIndex()).data().toString(), "12");
    EXPECT_EQ(m_view->Model()->headerData(4, Qt::Vertical).toInt(), 3);

    // Two levels: machine, then week; expansion is kept by value over the regrouping.
    m_view->SetGroupIndex(Col("b"), 1);
    EXPECT_EQ(HeaderOrder(), (QStringList{"c"}));
    m_view->SetRowExpanded(RowOf("+Maschine: M2 (3)"), true);
    EXPECT_EQ(Rows(), (QStringList{"+Maschine:  (1)", "+Maschine: M1 (2)", "-Maschine: M2 (3)",
                                   "+KW: 3 (2)", "+KW: 4 (1)", "+Maschine: M3 (1)"}));
    m_view->SetRowExpanded(RowOf("+KW: 3 (2)"), true);
    EXPECT_EQ(m_view->DataController().RowLevel(RowOf("15")), 2);
    EXPECT_EQ(m_view->DataController().RowLevel(RowOf("-KW: 3 (2)")), 1);
    // The data changes: the index is built again, the open groups stay open.
    m_source.recs.push_back({"M2", 3, 17});
    m_source.DataChanged();
    EXPECT_EQ(Rows(), (QStringList{"+Maschine:  (1)", "+Maschine: M1 (2)", "-Maschine: M2 (4)",
                                   "-KW: 3 (3)", "10", "15", "17", "+KW: 4 (1)",
                                   "+Maschine: M3 (1)"}));
    // Collapsing the outer group takes every row below it away at once.
    m_view->SetRowExpanded(RowOf("-Maschine: M2 (4)"), false);
    EXPECT_EQ(m_view->Model()->rowCount(), 4);
    // A new caption shows in the group rows at once.
    Col("a").SetCaption(QStringLiteral("Anlage"));
    m_view->Changed();
    EXPECT_EQ(Rows().at(0), "+Anlage:  (1)");
    // Ungrouped the view is flat again, the column back in its band.
    m_view->SetGroupIndex(Col("a"), -1);
    m_view->SetGroupIndex(Col("b"), -1);
    EXPECT_EQ(m_view->Model()->rowCount(), 8);
    EXPECT_EQ(HeaderOrder(), (QStringList{"a", "b", "c"}));
}

TEST_F(GroupingTest, ButtonClicksAndKeysOnTheFocusedViewExpandAndCollapse) {
    auto* info = dynamic_cast<TVoskGridViewCustomDSTableViewInfo*>(&m_view->ViewInfo());
    info->ExtraLevelIndent = 6;
    m_view->SetGroupIndex(Col("a"), 0);
    m_view->SetGroupIndex(Col("b"), 1);
    m_form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_form));
    QWidget* viewport = Table()->viewport();

    // The button of an outer group row sits at its offset in the first level indent; that of an
    // inner row one level indent further right.
    int m2 = RowOf("+Maschine: M2 (3)");
    const QRect button = m_view->ExpandButtonRect(m2);
    EXPECT_EQ(button.left(), 3);
    EXPECT_EQ(button.width(), info->ExpandButtonSize);
    QTest::mouseClick(viewport, Qt::LeftButton, {}, button.center());
    EXPECT_EQ(Rows().at(m2), "-Maschine: M2 (3)");
    const int week3 = RowOf("+KW: 3 (2)");
    EXPECT_EQ(m_view->ExpandButtonRect(week3).left(), info->LevelIndent() + 3);
    // A click beside the button only selects; a double click on the row toggles it.
    QTest::mouseClick(viewport, Qt::LeftButton, {},
                      m_view->ExpandButtonRect(week3).center() + QPoint(60, 0));
    EXPECT_EQ(Rows().at(week3), "+KW: 3 (2)");
    QTest::mouseDClick(viewport, Qt::LeftButton, {},
                       m_view->ExpandButtonRect(week3).center() + QPoint(60, 0));
    EXPECT_EQ(Rows().at(week3), "-KW: 3 (2)");
    QTest::mouseClick(viewport, Qt::LeftButton, {}, m_view->ExpandButtonRect(week3).center());
    EXPECT_EQ(Rows().at(week3), "+KW: 3 (2)");

    // Keys on the focused table.
    Table()->setFocus();
    Table()->setCurrentIndex(m_view->Model()->index(week3, 0));
    QTest::keyClick(Table(), Qt::Key_Right);
    EXPECT_EQ(Rows().at(week3), "-KW: 3 (2)");
    QTest::keyClick(Table(), Qt::Key_Minus);
    EXPECT_EQ(Rows().at(week3), "+KW: 3 (2)");
    QTest::keyClick(Table(), Qt::Key_Plus);
    EXPECT_EQ(Rows().at(week3), "-KW: 3 (2)");
    QTest::keyClick(Table(), Qt::Key_Left);
    EXPECT_EQ(Rows().at(week3), "+KW: 3 (2)");
    // Left on a collapsed inner group goes up to its machine; there it collapses.
    QTest::keyClick(Table(), Qt::Key_Left);
    EXPECT_EQ(Table()->currentIndex().row(), m2);
    QTest::keyClick(Table(), Qt::Key_Left);
    EXPECT_EQ(Rows().at(m2), "+Maschine: M2 (3)");
    // On a data row the keys stay the table's.
    m_view->SetRowExpanded(m2, true);
    m_view->SetRowExpanded(RowOf("+KW: 4 (1)"), true);
    Table()->setCurrentIndex(m_view->Model()->index(RowOf("12"), 0));
    QTest::keyClick(Table(), Qt::Key_Left);
    EXPECT_EQ(Rows().at(RowOf("-KW: 4 (1)")), "-KW: 4 (1)");

    // Touch mode widens the indent; the whole slot takes the finger, not only the button.
    info->TouchMode = true;
    info->ExtraLevelIndent = 0;
    m2 = RowOf("-Maschine: M2 (3)");
    const QRect hit = m_view->ExpandButtonHitRect(m2);
    EXPECT_EQ(hit.width(), info->LevelIndent());
    EXPECT_GE(info->LevelIndent(), info->TouchableSize);
    QTest::mouseClick(viewport, Qt::LeftButton, {}, QPoint(hit.left() + 1, hit.center().y()));
    EXPECT_EQ(Rows().at(m2), "+Maschine: M2 (3)");
    info->TouchMode = false;
}

TEST_F(GroupingTest, IndentAreaEventDrawsOrLeavesItToTheDefaultAndGroupHeightsFollowTheirEvent) {
    auto* info = dynamic_cast<TVoskGridViewCustomDSTableViewInfo*>(&m_view->ViewInfo());
    info->ExtraLevelIndent = 4;
    std::vector<Grid::GridIndentAreaInfo> seen;
    bool drawIt = true;
    m_view->OnCustomDrawIndentArea = [&](TVoskGridViewCustomDS* sender, QPainter* canvas,
                                         const Grid::GridIndentAreaInfo& area, bool& done) {
        EXPECT_EQ(sender, m_view);
        seen.push_back(area);
        if (drawIt) {
            canvas->fillRect(area.Bounds, Qt::red);
            done = true;
        }
    };
    m_view->OnGetGroupCellHeight = [&](TVoskGridViewCustomDS*, int row, int& height) {
        if (m_view->DataController().RowLevel(row) == 1)
            height = 40;
    };
    m_view->SetGroupIndex(Col("a"), 0);
    m_view->SetGroupIndex(Col("b"), 1);
    m_form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_form));
    const int m2 = RowOf("+Maschine: M2 (3)");
    const int standard = Table()->verticalHeader()->defaultSectionSize();
    EXPECT_EQ(Table()->rowHeight(m2), standard);
    m_view->SetRowExpanded(m2, true);
    const int week3 = RowOf("+KW: 3 (2)");
    // Rows that appear by expanding are measured too.
    EXPECT_EQ(Table()->rowHeight(week3), 40);
    EXPECT_EQ(Table()->rowHeight(RowOf("+KW: 4 (1)")), 40);
    m_view->SetRowExpanded(week3, true);
    const int data = RowOf("15");
    EXPECT_EQ(Table()->rowHeight(data), standard);

    // A data row two levels deep has two level indents left of its first cell.
    const QImage drawn = Table()->viewport()->grab().toImage();
    const QRect indent = m_view->IndentArea(data).Bounds;
    EXPECT_EQ(indent.width(), 2 * info->LevelIndent());
    EXPECT_EQ(indent.height(), standard);
    EXPECT_EQ(drawn.pixelColor(indent.center()), QColor(Qt::red));
    auto saw = [&](int row) {
        return std::any_of(seen.begin(), seen.end(), [&](const auto& a) {
            return a.Row == row && a.Bounds == m_view->IndentArea(row).Bounds;
        });
    };
    EXPECT_TRUE(saw(data));
    EXPECT_TRUE(saw(week3)); // group rows below the top level have one
    EXPECT_FALSE(saw(m2));   // the top level's has no width

    // Left undone, the default fills it.
    drawIt = false;
    seen.clear();
    const QImage plain = Table()->viewport()->grab().toImage();
    EXPECT_TRUE(saw(data));
    EXPECT_EQ(plain.pixelColor(indent.center()), Table()->palette().color(QPalette::Window));
    // The cell itself starts behind the indent.
    EXPECT_NE(plain.pixelColor(indent.right() + 3, indent.center().y()),
              Table()->palette().color(QPalette::Window));
}

TEST_F(GroupingTest, GroupIndexIsReadOncePerDataChangeNotPerPaintOrExpand) {
    // Big enough that reading per paint would show: 10,000 records in 100 groups.
    m_source.recs.clear();
    for (int i = 0; i < 10000; ++i)
        m_source.recs.push_back({QStringLiteral("M%1").arg(i % 100, 3, 10, QChar(u'0')), i, i});
    m_source.DataChanged();
    m_form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_form));
    m_source.reads[0] = 0;
    m_view->SetGroupIndex(Col("a"), 0);
    const int afterGrouping = m_source.reads[0];
    EXPECT_EQ(afterGrouping, 10000);
    ASSERT_EQ(m_view->DataController().GroupCount(), 100);
    for (int i = 0; i < 3; ++i)
        Table()->viewport()->grab();
    m_view->SetRowExpanded(0, true);
    m_view->SetRowExpanded(RowOf("+Maschine: M050 (100)"), true);
    Table()->viewport()->grab();
    m_view->SetRowExpanded(0, false);
    Table()->viewport()->grab();
    // Only the group texts shown read one value each, once.
    EXPECT_LE(m_source.reads[0] - afterGrouping, 100);
    const int beforeChange = m_source.reads[0];
    m_source.DataChanged();
    EXPECT_GE(m_source.reads[0] - beforeChange, 10000);
    EXPECT_EQ(Rows().at(RowOf("-Maschine: M050 (100)") + 1), "50");
}

TEST_F(GroupingTest, EditsReachTheRowsRecordAndGroupRowsTakeNone) {
    m_view->SetGroupIndex(Col("a"), 0);
    m_view->SetRowExpanded(RowOf("+Maschine: M2 (3)"), true);
    QAbstractItemModel* model = m_view->Model();
    const int c = Col("c").ItemIndex();
    EXPECT_FALSE(model->setData(model->index(RowOf("-Maschine: M2 (3)"), c), 99));
    EXPECT_TRUE(model->setData(model->index(RowOf("12"), c), 99));
    ASSERT_EQ(m_source.edits.size(), 1u);
    EXPECT_EQ(m_source.edits[0].first, 3u); // the third record's handle, not the row's
}

TEST_F(GroupingTest, GroupingIsPartOfTheStoredLayoutAndResetUngroups) {
    const QByteArray flat = m_view->StoreToBytes(QStringLiteral("TFormX"));
    EXPECT_FALSE(flat.contains("\"group\"")); // layouts without grouping keep their bytes
    m_view->SetGroupIndex(Col("b"), 0);
    m_view->SetGroupIndex(Col("a"), 0); // before b
    const QByteArray grouped = m_view->StoreToBytes(QStringLiteral("TFormX"));
    EXPECT_NE(grouped, flat);

    TVoskGridViewCustomDS other;
    other.RestoreFromBytes(grouped, QStringLiteral("TFormX"), true);
    std::vector<QString> names;
    for (Grid::GridBandedColumn* col : other.GroupedColumns())
        names.push_back(col->Name);
    EXPECT_EQ(names, (std::vector<QString>{"a", "b"}));
    EXPECT_EQ(other.StoreToBytes(QStringLiteral("TFormX")), grouped);
    // Restoring the flat layout ungroups, and so does a reset.
    other.RestoreFromBytes(flat, QStringLiteral("TFormX"), true);
    EXPECT_TRUE(other.GroupedColumns().empty());
    m_view->ResetFields();
    EXPECT_TRUE(m_view->GroupedColumns().empty());
    EXPECT_EQ(m_view->DataController().RowCount(), int(m_source.recs.size()));

    QJsonObject root = QJsonDocument::fromJson(grouped).object();
    QJsonArray cols = root.value(QLatin1String("columns")).toArray();
    QJsonObject c0 = cols[0].toObject();
    c0.insert(QStringLiteral("group"), -3);
    cols[0] = c0;
    root.insert(QStringLiteral("columns"), cols);
    EXPECT_THROW(other.RestoreFromBytes(QJsonDocument(root).toJson(), QStringLiteral("TFormX"), true),
                 EVoskException);
    EXPECT_TRUE(other.GroupedColumns().empty());
}

} // namespace

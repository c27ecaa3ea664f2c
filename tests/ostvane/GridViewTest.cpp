// The banded grid view without a database: registration with the package, the class registry,
// the indent of the expand buttons, the band row over the header, dragging between bands, the
// stored arrangement and its checks, footer summaries, and the model under the model tester.
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
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTableView>
#include <QVBoxLayout>

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

} // namespace

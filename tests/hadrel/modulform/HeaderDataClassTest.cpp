// Which data class the header works on, what it hands to the grid and the data classes around the
// navigator's insert and post, and what it leaves alone while its form is still being read.
#include "ModulFormFixture.h"

#include "TQ32Control.h"
#include "TVoskDBMemo.h"
#include "TopLabel.h"
#include "TRecNoClasses.h"
#include "UFrameRecnoParams.h"

#include <QHeaderView>
#include <QLineEdit>

class HeaderDataClassTest : public ModulFormFixture {
protected:
    // Focus as the form remembers it; the offscreen platform may keep the window inactive.
    [[nodiscard]] static bool Focus(QWidget* w) {
        QApplication::setActiveWindow(w->window());
        w->setFocus();
        QApplication::processEvents();
        return Vcl::ParentForm(w)->focusWidget() == w;
    }
    TVoskClass* Class(TFormAdress* f, const char* name, bool withCoordinator) {
        auto* c = Vcl::Owned(f, new TVoskClass(f), QString::fromLatin1(name));
        if (withCoordinator)
            new TQ32Control(c);
        return c;
    }
    template <class W> W* Add(TFormAdress* f, W* w) {
        f->ModulLayout()->addWidget(w);
        return w;
    }
};

TEST_F(HeaderDataClassTest, CurrentClassByTheFocusedControlsCoordinator) {
    TFormAdress* f = Open();
    QApplication::setActiveWindow(f);
    TTopLabelFrame* h = f->TopLabel;
    QWidget* area = f->ModulLayout()->parentWidget();
    TVoskClass* other = Class(f, "DataOther", true);
    TVoskClass* third = Class(f, "DataThird", true);
    TVoskClass* loose = Class(f, "DataLoose", false);

    auto* edit = Add(f, new TVoskDBEdit(area));
    edit->SetDataClass(other);
    if (!Focus(edit))
        GTEST_SKIP() << "the offscreen platform gave the focus elsewhere";
    EXPECT_EQ(h->GetCurrentClass(), other);
    // A coordinator set on the control itself wins over the one of its field's class.
    edit->SetMyControl(TQ32Control::Of(third));
    EXPECT_EQ(h->GetCurrentClass(), third);

    // A class nobody coordinates is not where the user works: the main class stands in.
    auto* plain = Add(f, new TVoskDBEdit(area));
    plain->SetDataClass(loose);
    if (!Focus(plain))
        GTEST_SKIP() << "the offscreen platform gave the focus elsewhere";
    EXPECT_EQ(h->GetCurrentClass(), f->DataAdressen);
    auto* memo = Add(f, new TVoskDBMemo(area));
    memo->SetDataClass(other);
    if (!Focus(memo))
        GTEST_SKIP() << "the offscreen platform gave the focus elsewhere";
    EXPECT_EQ(h->GetCurrentClass(), other);

    // A grid's cell editor lies in its viewport, an editor's own line edit one level deeper.
    auto* grid = Add(f, new TVoskDBGrid2(area));
    grid->SetDataClass(third);
    auto* cell = new QLineEdit(grid->viewport());
    if (!Focus(cell))
        GTEST_SKIP() << "the offscreen platform gave the focus elsewhere";
    EXPECT_EQ(h->GetCurrentClass(), third);
    auto* inner = new QLineEdit(new QWidget(grid->viewport()));
    if (!Focus(inner))
        GTEST_SKIP() << "the offscreen platform gave the focus elsewhere";
    EXPECT_EQ(h->GetCurrentClass(), third);

    // In the record-parameter frame the parameters count, not the grid's own class.
    auto* params = Add(f, new TFrameRecnoParams(f, area));
    auto* recnoParams = new TRecNoParams(f);
    params->SetRecnoParams(recnoParams);
    auto* paramsGrid = new TVoskDBGrid2(params);
    paramsGrid->SetDataClass(third);
    auto* paramsEdit = new QLineEdit(new QWidget(paramsGrid->viewport()));
    if (!Focus(paramsEdit))
        GTEST_SKIP() << "the offscreen platform gave the focus elsewhere";
    EXPECT_EQ(h->GetCurrentClass(), recnoParams);

    // Nothing bound in focus: the main class; without one, none.
    auto* unbound = Add(f, new QLineEdit(area));
    if (!Focus(unbound))
        GTEST_SKIP() << "the offscreen platform gave the focus elsewhere";
    EXPECT_EQ(h->GetCurrentClass(), f->DataAdressen);
    QWidget lonelyOwner;
    TTopLabelFrame lonely(&lonelyOwner, &lonelyOwner);
    EXPECT_EQ(lonely.GetCurrentClass(), nullptr);
}

TEST_F(HeaderDataClassTest, InsertReadiesTheGridAndPostKeepsTheLastValue) {
    TFormAdress* f = Open();
    TTopLabelFrame* h = f->TopLabel;
    TVoskDBGrid2* g = f->GridAdressen;
    const int ort = g->columnByFieldName(QStringLiteral("ort"));
    const int plz = g->columnByFieldName(QStringLiteral("plz"));
    ASSERT_GE(ort, 0);
    ASSERT_GE(plz, 0);
    f->DataAdressen->SetRecNo(3);
    QApplication::processEvents();

    // The user typed into a cell and presses "+": the typing reaches the record first, and the
    // current cell moves to the first column as the user sees them.
    const QModelIndex cell = g->model()->index(f->DataAdressen->CurrentRow(), ort);
    g->setCurrentIndex(cell);
    g->edit(cell);
    auto* editor = qobject_cast<QLineEdit*>(g->indexWidget(cell));
    ASSERT_TRUE(editor);
    editor->setText(QStringLiteral("Neustadt"));
    g->horizontalHeader()->moveSection(g->horizontalHeader()->visualIndex(plz), 0);
    h->DBN1BeforeAction(nullptr, nbInsert);
    EXPECT_FALSE(g->CellEditorOpen());
    EXPECT_EQ(f->DataAdressen->FieldByName(QStringLiteral("ort")).AsString(),
              QStringLiteral("Neustadt"));
    EXPECT_EQ(g->currentIndex().column(), plz);
    EXPECT_EQ(g->currentIndex().row(), f->DataAdressen->CurrentRow());
    f->DataAdressen->Cancel();

    g->SetFirstVisibleColumnFocus(true);
    EXPECT_TRUE(g->CellEditorOpen());
    g->EndEdit(false);

    // Posting keeps what the focused edit shows as its last value; without a grid to take the
    // focus it stays in the edit.
    h->SetVoskDBGrid(nullptr);
    if (!Focus(f->EdName))
        GTEST_SKIP() << "the offscreen platform gave the focus elsewhere";
    Type(f->EdName, QStringLiteral("Letzte Firma"));
    const QString key = f->EdName->LastValueKey();
    h->DBN1BeforeAction(nullptr, nbPost);
    EXPECT_EQ(s_dm->LoadLastVal(key), QStringLiteral("Letzte Firma"));
    f->DataAdressen->Cancel();
}

TEST_F(HeaderDataClassTest, HeadAndFootLinksFollowTheMainClass) {
    QWidget owner;
    TTopLabelFrame h(&owner, &owner);
    TVoskClass head, foot, main, next;
    h.FSetDataSourceH(&head);
    h.FSetDataSource(&main);
    EXPECT_EQ(main._DataSourceH, &head);
    EXPECT_EQ(main._DataSourceF, nullptr);
    h.FSetDataSourceF(&foot);
    EXPECT_EQ(main._DataSourceF, &foot);

    // Another main class takes the links over; the old one keeps none.
    h.FSetDataSource(&next);
    EXPECT_EQ(next._DataSourceH, &head);
    EXPECT_EQ(next._DataSourceF, &foot);
    EXPECT_EQ(main._DataSourceH, nullptr);
    EXPECT_EQ(main._DataSourceF, nullptr);
    {
        TVoskClass gone;
        h.FSetDataSourceH(&gone);
    }
    EXPECT_EQ(h.FDataSourceH(), nullptr);
    EXPECT_EQ(next._DataSourceH, nullptr);
    h.FSetDataSource(nullptr);
    EXPECT_EQ(next._DataSourceF, nullptr);
}

TEST_F(HeaderDataClassTest, ColourFromTheSettingAndNoStatusBarChangesWhileReading) {
    const QColor before = Voskcontrols::ColorTopLabel;
    Voskcontrols::ColorTopLabel = QColor(0x20, 0x40, 0x60);
    QWidget owner;
    TTopLabelFrame coloured(&owner, &owner);
    Voskcontrols::ColorTopLabel = before;
    EXPECT_EQ(coloured.PanelCaption->palette().color(QPalette::Window), QColor(0x20, 0x40, 0x60));

    TFormAdress* f = Open();
    TTopLabelFrame* h = f->TopLabel;
    TVoskClass doku;
    h->FSetDokumentClass(&doku);
    const TModulFormStatusBar shown = h->BtStatusBar();
    ASSERT_TRUE(shown & msbDoku);
    Vcl::SetReading(f, true);
    h->FSetDokumentClass(nullptr);
    EXPECT_EQ(h->BtStatusBar(), shown);
    Vcl::SetReading(f, false);
    h->FSetDokumentClass(nullptr);
    EXPECT_FALSE(h->BtStatusBar() & msbDoku);
}


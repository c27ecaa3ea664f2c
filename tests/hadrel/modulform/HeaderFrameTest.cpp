#include "ModulFormFixture.h"

#include "TopLabel.h"
#include "Vcl.Components.h"

#include <QLineEdit>
#include <QToolButton>

class HeaderFrameTest : public ModulFormFixture {};

TEST_F(HeaderFrameTest, NavigatorSwitchesAndVisibility) {
    QWidget owner;
    TTopLabelFrame frame(&owner, &owner);
    EXPECT_EQ(frame.DBN1->VisibleButtons(), nbDelete | nbPost | nbCancel | nbRefresh);
    EXPECT_TRUE(frame.BtPost());
    EXPECT_TRUE(frame.BtDelete());
    EXPECT_FALSE(frame.BtSkip());

    // Switching post off takes refresh with it, unless refresh was asked for on its own.
    frame.SetBtRefresh(true);
    frame.SetBtPost(false);
    EXPECT_TRUE(frame.BtRefresh());
    EXPECT_FALSE(frame.DBN1->VisibleButtons() & (nbPost | nbCancel));

    frame.SetBtRefresh(false);
    frame.SetBtDelete(false);
    EXPECT_EQ(frame.DBN1->VisibleButtons(), NavBtnSet());
    EXPECT_TRUE(frame.DBN1->isHidden());
    frame.SetBtSkip(true);
    EXPECT_FALSE(frame.DBN1->isHidden());
    EXPECT_EQ(frame.DBN1->VisibleButtons(), nbFirst | nbPrior | nbNext | nbLast);
}

TEST_F(HeaderFrameTest, StatusBarSwitchesMapToPanelsAndContainers) {
    TFormAdress* f = Open();
    TTopLabelFrame* h = f->TopLabel;
    h->SetBtStatusBar(msbVisible | msbDoku | msbAuditLog);
    EXPECT_FALSE(f->StatusBar1->isHidden());
    EXPECT_FALSE(f->StatusBar1ContainerBtDoku->isHidden());
    EXPECT_TRUE(f->StatusBar1ContainerBtHistorie->isHidden());
    EXPECT_TRUE(f->StatusBar1ContainerBtWvod->isHidden());
    EXPECT_FALSE(f->StatusBar1ContainerAuditLog->isHidden());
    EXPECT_TRUE(f->StatusBar1ContainerAuditLog->isEnabled());
    EXPECT_FALSE(f->StatusBar1->PanelVisible(0)); // msbEditors is off
    EXPECT_EQ(h->BtStatusBar(), msbVisible | msbDoku | msbAuditLog);

    // The editors' texts without the audit button: the container shows, but does nothing.
    h->SetBtStatusBar(msbVisible | msbEditors);
    EXPECT_FALSE(f->StatusBar1ContainerAuditLog->isHidden());
    EXPECT_FALSE(f->StatusBar1ContainerAuditLog->isEnabled());
    EXPECT_EQ(h->BtStatusBar(), msbVisible | msbEditors);

    h->SetBtStatusBar({});
    EXPECT_TRUE(f->StatusBar1->isHidden());

    // A header outside a module form has no status bar to switch.
    QWidget plain;
    TTopLabelFrame other(&plain, &plain);
    other.SetBtStatusBar(msbAll);
    EXPECT_EQ(other.BtStatusBar(), TModulFormStatusBar());
}

TEST_F(HeaderFrameTest, DataSourceAndDocumentClassSetTheStatusBar) {
    TFormAdress* f = Open();
    TTopLabelFrame* h = f->TopLabel;
    f->LastOID = QStringLiteral("7");
    TVoskClass doku;
    h->FSetDokumentClass(&doku);
    EXPECT_TRUE(f->LastOID.isEmpty()); // a new class makes the status bar reload
    EXPECT_TRUE(h->BtStatusBar() & msbDoku);
    h->FSetDokumentClass(nullptr);
    EXPECT_FALSE(h->BtStatusBar() & msbDoku);
    EXPECT_TRUE(h->BtStatusBar() & msbVisible);

    h->btModeClick();
    ASSERT_TRUE(h->_Write());
    h->FSetDataSource(nullptr);
    EXPECT_FALSE(h->BtStatusBar() & msbVisible);
    EXPECT_FALSE(h->_Write()); // without data the mode goes back to asking
    EXPECT_EQ(h->btMode->toolTip(), QStringLiteral("Vor speichern fragen."));
}

TEST_F(HeaderFrameTest, WorkModeToggles) {
    QWidget owner;
    TTopLabelFrame frame(&owner, &owner);
    EXPECT_FALSE(frame._Write());
    frame.btMode->click();
    EXPECT_TRUE(frame._Write());
    EXPECT_EQ(frame.btMode->toolTip(), QStringLiteral("Automatisch speichern."));
    frame.SetWithWorkModes(false);
    EXPECT_TRUE(frame.btMode->isHidden());
}

TEST_F(HeaderFrameTest, CaptionByTextNumberAndGridClassIsChecked) {
    TFormAdress* f = Open();
    f->TopLabel->FSetTextNr(3892);
    EXPECT_EQ(f->TopLabel->Toplabel->text(), QStringLiteral("Modul schließen; sofort"));
    EXPECT_EQ(f->windowTitle(), QStringLiteral("Modul schließen; sofort"));

    QLineEdit notAGrid;
    try {
        f->TopLabel->SetVoskDBGrid(&notAGrid);
        ADD_FAILURE() << "a line edit was taken as the module's grid";
    } catch (const EVoskException& e) {
        EXPECT_EQ(e.Message(),
                  QStringLiteral("Value must be VoskDBGrid2 or VoskDBTreeView2 or VoskDBPivotGrid"));
    }
    EXPECT_EQ(f->TopLabel->VoskDBGrid(), f->GridAdressen);
}

TEST_F(HeaderFrameTest, ShortHelpVisibilityIsRememberedPerFormClass) {
    TFormAdress* f = Open();
    TTopLabelFrame* h = f->TopLabel;
    EXPECT_TRUE(h->BtShowShortHelp->isHidden());
    h->SetShortHelpTxtNr(3892);
    EXPECT_FALSE(h->BtShowShortHelp->isHidden());
    EXPECT_FALSE(h->PanelShortHelp->isHidden()); // shown unless the user hid it
    EXPECT_EQ(h->LabelShortHelp->text(), QStringLiteral("Modul schließen; sofort"));
    h->BtShowShortHelpClick();
    EXPECT_TRUE(h->PanelShortHelp->isHidden());
    EXPECT_EQ(s_dm->LoadLastVal(QStringLiteral("ShortHlpVisible") + QStringLiteral("TFormAdress")),
              QStringLiteral("0"));

    TFormAdress* again = Open();
    again->TopLabel->SetShortHelpTxtNr(3892);
    EXPECT_TRUE(again->TopLabel->PanelShortHelp->isHidden());
    again->TopLabel->BtShowShortHelpClick();
    EXPECT_EQ(s_dm->LoadLastVal(QStringLiteral("ShortHlpVisible") + QStringLiteral("TFormAdress")),
              QStringLiteral("-1"));
}

TEST_F(HeaderFrameTest, CurrentClassFollowsTheFocusedControl) {
    TFormAdress* f = Open({QStringLiteral("ModulPositionTop=10")});
    auto* other = Vcl::Owned(f, new TVoskClass(f), QStringLiteral("DataOther"));
    new TQ32Control(other); // a class counts where a coordinator serves it
    auto* edit = Vcl::Owned(f, new TVoskDBEdit(f->ModulLayout()->parentWidget()),
                            QStringLiteral("EdOther"));
    edit->SetDataClass(other);
    f->ModulLayout()->addWidget(edit);
    QApplication::setActiveWindow(f);
    edit->setFocus();
    QApplication::processEvents();
    if (f->focusWidget() != edit)
        GTEST_SKIP() << "the offscreen platform gave the focus elsewhere";
    EXPECT_EQ(f->TopLabel->GetCurrentClass(), other);
    f->EdName->setFocus();
    QApplication::processEvents();
    EXPECT_EQ(f->TopLabel->GetCurrentClass(), f->DataAdressen);
}

// Starting modules by class through the main menu, reuse of open windows, parameters by component
// name, and finding, enumerating and closing module windows.
#include "StartFixture.h"

#include "TMainForm.h"
#include "Voskdbcontrols.h"
#include "VoskExceptions.h"

#include <QAction>
#include <QMdiSubWindow>
#include <QMenuBar>

#include <gtest/gtest.h>

using StartTest = StartFixture;

TEST_F(StartTest, MenuRowStartsModuleAndSecondStartBringsItToTheFront) {
    ASSERT_TRUE(Voskdbcontrols::DoStartModuleByClass.Assigned());
    auto* first = qobject_cast<TFormAdress*>(
        Voskdbcontrols::DoStartModuleByClass(QStringLiteral("TFormAdress"), {}, false, nullptr));
    ASSERT_TRUE(first);
    Start<TFormStartProbe>(QStringLiteral("TFormStartProbe"));
    auto* again = Start<TFormAdress>(QStringLiteral("tformadress"));
    EXPECT_EQ(again, first);
    EXPECT_EQ(FindModules(QStringLiteral("TFormAdress")).size(), 1);
    auto* sub = qobject_cast<QMdiSubWindow*>(first->parentWidget());
    ASSERT_TRUE(sub);
    EXPECT_EQ(sub->mdiArea()->activeSubWindow(), sub);
    EXPECT_FALSE(first->FLoading);

    // A further window on request; the stored preference stays as it was.
    auto* second = Start<TFormAdress>(QStringLiteral("TFormAdress"), {}, true);
    ASSERT_TRUE(second);
    EXPECT_NE(second, first);
    EXPECT_FALSE(s_dm->LoadLastValBool(QStringLiteral("OpenNewModule_TFormAdress"), false, true));

    s_dm->SaveLastValBool(QStringLiteral("OpenNewModule_TFormAdress"), true, true);
    auto* third = Start<TFormAdress>(QStringLiteral("TFormAdress"));
    s_dm->SaveLastValBool(QStringLiteral("OpenNewModule_TFormAdress"), false, true);
    EXPECT_TRUE(third && third != first && third != second);
    EXPECT_EQ(FindModules(&TFormAdress::staticMetaObject).size(), 3);
}

TEST_F(StartTest, HostMenuStartsModulesThroughTheHookSlot) {
    testsupport::TestDatabase::Exec(QStringLiteral("UPDATE mainmenu SET mm_parent = NULL"));
    auto* main = new TMainForm;
    main->OnMenuEntry = [](const QString& cls, int) {
        Voskdbcontrols::DoStartModuleByClass(cls, {}, false, nullptr);
    };
    main->LoadMainMenu();
    main->show();
    QAction* adressen = nullptr;
    for (QAction* a : main->menuBar()->findChildren<QAction*>())
        if (a->data().toString() == QLatin1String("TFormAdress"))
            adressen = a;
    ASSERT_TRUE(adressen);
    adressen->trigger();
    adressen->trigger();
    QApplication::processEvents();
    const QList<Vcl::TForm*> open = FindModules(QStringLiteral("TFormAdress"));
    ASSERT_EQ(open.size(), 1);
    EXPECT_EQ(main->MdiArea()->subWindowList().size(), 1);
    delete open.first();
    delete main;
    Vcl::Screen::SetMainForm(s_main);
}

TEST_F(StartTest, RefusalsAndFailuresRestoreCursorAndPreference) {
    bool cursorOn = false;
    TDM1::CursorHook.Set([&](bool on) { cursorOn = on; });
    s_dm->SetIsAdmin(false);
    try {
        Start<TFormAdress>(QStringLiteral("TFormGeheim"));
        ADD_FAILURE() << "a hidden row opened for a non-administrator";
    } catch (const EUserRights& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("StartModul TFormGeheim (mm_id=2): keine Berechtigung"));
    }
    EXPECT_FALSE(cursorOn);
    s_dm->SetIsAdmin(true);
    EXPECT_TRUE(Start<TFormAdress>(QStringLiteral("TFormGeheim")));

    try {
        Start<Vcl::TForm>(QStringLiteral("TFormGibtEsNicht"));
        ADD_FAILURE();
    } catch (const EVoskException& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("StartModule: TFormGibtEsNicht does not exists"));
    }
    EXPECT_FALSE(cursorOn);

    // The project stamp needs exactly two pairs, and gives the cursor back too.
    int calls = 0;
    DoABKProjStemp = [&](QWidget*, int ix, int n, int, int) {
        ++calls;
        EXPECT_EQ(ix, 12);
        EXPECT_EQ(n, 0);
    };
    EXPECT_EQ(StartModuleByClass(QStringLiteral("TFormBDE__bdea__stemp__project"),
                                 {QStringLiteral("x"), QStringLiteral("12"), QStringLiteral("y"),
                                  QStringLiteral("kein")}),
              nullptr);
    EXPECT_EQ(calls, 1);
    EXPECT_FALSE(cursorOn);
    DoABKProjStemp = nullptr;

    // A start procedure that fails after the preference was switched puts it back.
    Ukorvexinterface::RegisterStartProc(QStringLiteral("Test.M"), QStringLiteral("PROBE"),
                                        [](const QStringList&) -> QObject* {
                                            throw EVoskException(QStringLiteral("kaputt"));
                                        });
    EXPECT_THROW(Start<Vcl::TForm>(QStringLiteral("TFormStartProbe"), {}, true), EVoskException);
    EXPECT_FALSE(s_dm->LoadLastValBool(QStringLiteral("OpenNewModule_TFormStartProbe"), false, true));
    EXPECT_FALSE(cursorOn);
    Ukorvexinterface::RegisterStartProc(
        QStringLiteral("Test.M"), QStringLiteral("PROBE"), [](const QStringList& p) -> QObject* {
            auto* f = TFormKorvexGundForm::Create<TFormStartProbe>(nullptr, p);
            UModulForm::ShowModulForm(f);
            return f;
        });
    TDM1::CursorHook.Reset();
}

TEST_F(StartTest, ParametersGoToComponentsByName) {
    m_answers.Expect(QStringLiteral("Komponente Gibtsnicht ist nicht in"), Vcl::mrOk);
    auto* f = Start<TFormStartProbe>(QStringLiteral("TFormStartProbe"),
                                     {QStringLiteral("EdA"), QStringLiteral("eins"),
                                      QStringLiteral("DisableControls"), QStringLiteral("EdB, Gibtsnicht"),
                                      QStringLiteral("SetFocus"), QStringLiteral("EdC"),
                                      QStringLiteral("odd")});
    ASSERT_TRUE(f);
    EXPECT_EQ(f->Ed("EdA")->text(), QStringLiteral("eins"));
    EXPECT_FALSE(f->Ed("EdB")->isEnabled());
    EXPECT_EQ(f->focusWidget(), f->Ed("EdC"));
    ASSERT_EQ(m_answers.Questions().size(), 1u);
    EXPECT_EQ(m_answers.Questions()[0].text,
              QStringLiteral("Komponente Gibtsnicht ist nicht in TFormStartProbe vorhanden. "
                             "(StartModuleByClass-DisableControls)"));
    EXPECT_TRUE(f->Received.isEmpty());

    // The open window takes the new start's parameters and values.
    auto* again = Start<TFormStartProbe>(QStringLiteral("TFormStartProbe"),
                                         {QStringLiteral("EdA"), QStringLiteral("zwei")});
    EXPECT_EQ(again, f);
    ASSERT_EQ(f->Received.size(), 1);
    EXPECT_EQ(f->Received[0], QStringList{QStringLiteral("EdA=zwei")});
    EXPECT_EQ(f->Ed("EdA")->text(), QStringLiteral("zwei"));
    // After a value the focus moves on, as after typing and Tab.
    EXPECT_EQ(f->focusWidget(), f->Ed("EdB")->isEnabled() ? f->Ed("EdB") : f->Ed("EdC"));
}

TEST_F(StartTest, GridFieldLocatesCaseInsensitivelyAndDataEditWritesTheField) {
    auto* f = Start<TFormAdress>(QStringLiteral("TFormAdress"),
                                 {QStringLiteral("name"), QStringLiteral("adresse 07")});
    ASSERT_TRUE(f);
    EXPECT_EQ(f->DataAdressen->FieldByName(QStringLiteral("name")).AsString(),
              QStringLiteral("Adresse 07"));
    EXPECT_EQ(f->focusWidget(), f->GridAdressen); // located as last pair: no further move

    EXPECT_EQ(Start<TFormAdress>(QStringLiteral("TFormAdress"),
                                 {QStringLiteral("EdOrt"), QStringLiteral("Neustadt")}),
              f);
    EXPECT_TRUE(f->DataAdressen->InEdit());
    EXPECT_EQ(f->DataAdressen->FieldByName(QStringLiteral("ort")).AsString(), QStringLiteral("Neustadt"));
    EXPECT_EQ(f->DataAdressen->FieldByName(QStringLiteral("name")).AsString(),
              QStringLiteral("Adresse 07"));
    f->DataAdressen->Cancel();
}

TEST_F(StartTest, EnumeratorVisitsEachFormOnceWhileFormsComeAndGo) {
    QList<QPointer<TFormStartProbe>> made;
    for (int i = 0; i < 3; ++i)
        made << Track(TFormKorvexGundForm::Create<TFormStartProbe>(nullptr));
    Track(TFormKorvexGundForm::Create<TFormStartProbeChild>(nullptr));
    QSet<int> seen;
    int replaced = 0;
    TModulesEnumerator e(QList<const QMetaObject*>{&TFormStartProbe::staticMetaObject});
    for (Vcl::TForm* form : e) {
        EXPECT_FALSE(seen.contains(form->Serial()));
        seen.insert(form->Serial());
        delete form;
        // A new form may take the freed one's address; it is still a new window.
        if (replaced++ < 2)
            Track(TFormKorvexGundForm::Create<TFormStartProbe>(nullptr));
    }
    EXPECT_EQ(seen.size(), 5);
    EXPECT_TRUE(FindModules(&TFormStartProbe::staticMetaObject).isEmpty());
    // The class does not find its descendant; the class name of the descendant does.
    EXPECT_EQ(FindModule(&TFormStartProbe::staticMetaObject), nullptr);
    EXPECT_TRUE(FindModule(QStringLiteral("TFormStartProbeChild")));
}

TEST_F(StartTest, FindAndCloseOverSeveralWindows) {
    auto* a = Track(TFormKorvexGundForm::Create<TFormStartProbe>(nullptr, {QStringLiteral("Key=A")}));
    auto* b = Track(TFormKorvexGundForm::Create<TFormStartProbe>(nullptr, {QStringLiteral("Key=B")}));
    auto* adr = Open();
    adr->setProperty("ModulName", QStringLiteral("Kunden"));
    EXPECT_EQ(FindModule(QStringLiteral("TFormStartProbe"), QStringLiteral("key"), QStringLiteral("b"), false), b);
    EXPECT_EQ(FindModule(QStringLiteral("TFormStartProbe"), QStringLiteral("Key"), QStringLiteral("C"), false), nullptr);
    EXPECT_EQ(FindModule(QStringLiteral("Kunden")), adr);
    EXPECT_EQ(FindModules(QStringList{QStringLiteral("TFormStartProbe"), QStringLiteral("TFormAdress")}),
              (QList<Vcl::TForm*>{a, b, adr}));

    // A form that only hides on close is freed when closing immediately.
    QPointer<TFormStartProbe> pa = a, pb = b;
    a->OnClose = [](QObject*, Vcl::TCloseAction& action) { action = Vcl::caHide; };
    b->OnClose = [](QObject*, Vcl::TCloseAction& action) { action = Vcl::caHide; };
    CloseModule(&TFormStartProbe::staticMetaObject, true);
    EXPECT_FALSE(pa);
    EXPECT_FALSE(pb);
    CloseModule(QStringLiteral("TFormStartProbe"), true); // none open: nothing happens
    QPointer<TFormAdress> padr = adr;
    CloseModule(QStringList{QStringLiteral("Kunden")}, true);
    EXPECT_FALSE(padr);
}

TEST_F(StartTest, EditTableRowsOpenTheEditTable) {
    s_dm->SetIsAdmin(false);
    auto* t = qobject_cast<TFormEditTable*>(StartModuleByClass(QStringLiteral("TFormTabelle"), {}));
    ASSERT_TRUE(t);
    EXPECT_EQ(t->GetParameterStr(QStringLiteral("MMID")), QStringLiteral("3"));
    EXPECT_EQ(t->GetParameterStr(QStringLiteral("CONFIG")), QStringLiteral("cfg"));
    EXPECT_FALSE(t->GetParameterBool(QStringLiteral("NoEdit")));
    EXPECT_EQ(t->ServSql->RecordCount(), 20);
    EXPECT_EQ(FindOrLoadEditTable(3), t);
    EXPECT_EQ(FindModules(QStringLiteral("TFormEditTable")).size(), 1);

    auto* ro = qobject_cast<TFormEditTable*>(StartModuleByClass(QStringLiteral("TFormTabelleRO"), {}));
    ASSERT_TRUE(ro);
    EXPECT_TRUE(ro->GetParameterBool(QStringLiteral("NoEdit")));
    EXPECT_TRUE(ro->ServSql->ReadOnly());
    s_dm->SetIsAdmin(true);
    auto* rw = qobject_cast<TFormEditTable*>(MakeEditTableById(4));
    ASSERT_TRUE(rw);
    EXPECT_FALSE(rw->GetParameterBool(QStringLiteral("NoEdit")));

    // Parameters for an edit-table row are refused with a message, nothing opens.
    EXPECT_THROW(StartModuleByClass(QStringLiteral("TFormTabelle"), {QStringLiteral("a"), QStringLiteral("b")}),
                 EVoskException);
    try {
        MakeEditTableByClass(QStringLiteral("TFormAdress"));
        ADD_FAILURE();
    } catch (const EVoskException& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("MakeEditTable: Table TFormAdress (mm_id=1) is not an EditTable"));
    }
    EXPECT_EQ(FindModules(QStringLiteral("TFormEditTable")).size(), 3);
}

TEST(StartGeometry, PreviousWindowIsCoveredOnlyInsideItsShrunkFrame) {
    const QRect previous(100, 100, 400, 300); // right edge 499, bottom 399
    EXPECT_TRUE(UModulForm::PreviousModuleCovered(previous, QRect(480, 380, 50, 50)));
    EXPECT_FALSE(UModulForm::PreviousModuleCovered(previous, QRect(486, 100, 50, 50)));
    EXPECT_FALSE(UModulForm::PreviousModuleCovered(previous, QRect(0, 0, 114, 114)));
    EXPECT_TRUE(UModulForm::PreviousModuleCovered(previous, QRect(0, 0, 116, 116)));
}

TEST_F(StartTest, CreateOrGetModuleShowsANewInstanceDockedAndReusesIt) {
    int made = 0;
    const auto create = [&made]() -> Vcl::TForm* {
        ++made;
        return TFormKorvexGundForm::Create<TFormStartProbe>(nullptr);
    };
    Vcl::TForm* f = CreateOrGetModule(&TFormStartProbe::staticMetaObject, create, {}, {}, {},
                                      true, false);
    Track(f);
    QApplication::processEvents();
    ASSERT_TRUE(f);
    EXPECT_TRUE(f->isVisible());
    auto* sub = qobject_cast<QMdiSubWindow*>(f->parentWidget());
    ASSERT_TRUE(sub) << "a new module window is docked into the MDI area";
    EXPECT_EQ(sub->mdiArea()->activeSubWindow(), sub);
    EXPECT_EQ(CreateOrGetModule(&TFormStartProbe::staticMetaObject, create, {}, {}, {}, true,
                                false),
              f);
    EXPECT_EQ(made, 1);
}

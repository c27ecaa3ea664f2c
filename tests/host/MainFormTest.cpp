#include "TFormAdress.h"
#include "TFormStandardSql.h"
#include "TFormAbfrage.h"
#include "TVoskDBNavigator.h"
#include "UFrameSQLEditor.h"
#include "UVoskSQLMemo.h"
#include "TMainForm.h"
#include "UHostModules.h"
#include "UHostPackages.h"

#include "DialogAnswerer.h"
#include "TRecNoClasses.h"
#include "TVoskClass.h"
#include "TVoskPageControl2.h"
#include "Vcl.Forms.h"

#include "TestDatabase.h"
#include "UDM1.h"
#include "UnitTable.h"
#include "VoskExceptions.h"

#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

using testsupport::DbTest;
using testsupport::TestDatabase;

class MainFormTest : public DbTest {
protected:
    void SetUp() override {
        m_dm.Connect();
        TestDatabase::Exec(QStringLiteral(
            "DELETE FROM mainmenu;"
            "INSERT INTO text0 (t_nr, t_feld0, t_feld3) VALUES (990001, 'Stammdaten', 'Master data')"
            " ON CONFLICT (t_nr) DO UPDATE SET t_feld0 = excluded.t_feld0;"
            "INSERT INTO mainmenu (mm_id, mm_parent, mm_order, mm_text, mm_caption, mm_formclassname)"
            " VALUES (1, NULL, 1, 990001, 'x', NULL), (2, NULL, 2, NULL, 'Hilfe', NULL),"
            " (10, 1, 2, NULL, 'Artikel', 'TFormArtikel'), (11, 1, 1, NULL, 'Adressen', 'TFormAdress'),"
            " (20, 2, 1, NULL, 'Info', 'TFormInfo'), (30, 1, 3, NULL, 'Listen', NULL),"
            " (31, 30, 1, NULL, 'Offene Posten', 'TFormOP')"));
    }
    TDM1 m_dm;
};

TEST_F(MainFormTest, MenuTreeComesFromTheTableInOrder) {
    TMainForm form;
    form.LoadMainMenu();
    EXPECT_EQ(form.MenuEntryCount(), 4);
    auto menus = form.menuBar()->actions();
    ASSERT_EQ(menus.size(), 3);
    // The program's own menu comes first, with the way out.
    EXPECT_EQ(menus.takeFirst()->menu()->actions().value(0)->shortcut(),
              QKeySequence(Qt::CTRL | Qt::Key_Q));
    EXPECT_EQ(menus[0]->text(), "Stammdaten"); // caption by text number
    EXPECT_EQ(menus[1]->text(), "Hilfe");
    const auto entries = menus[0]->menu()->actions();
    ASSERT_EQ(entries.size(), 3);
    EXPECT_EQ(entries[0]->text(), "Adressen");
    EXPECT_EQ(entries[1]->text(), "Artikel");
    ASSERT_NE(entries[2]->menu(), nullptr);
    EXPECT_EQ(entries[2]->menu()->actions().value(0)->data().toString(), "TFormOP");

    QString started;
    form.OnMenuEntry = [&](const QString& cls, int) { started = cls; };
    entries[0]->trigger();
    EXPECT_EQ(started, "TFormAdress");
    EXPECT_NE(form.MdiArea(), nullptr);
}

TEST_F(MainFormTest, ACycleInTheMenuTableDoesNotHang) {
    TestDatabase::Exec(QStringLiteral("UPDATE mainmenu SET mm_parent = 31 WHERE mm_id = 1"));
    TMainForm form;
    form.LoadMainMenu(); // the rows of the cycle are unreachable from the top; nothing loops
    EXPECT_EQ(form.menuBar()->actions().size(), 2); // "Programm" and "Hilfe"
}

TEST(HostPackages, UnknownPackageIsNamedInTheError) {
    THostPackages packages;
    try {
        packages.Load(QStringLiteral("keinpaket"));
        FAIL();
    } catch (const EVoskException& e) {
        EXPECT_TRUE(e.Message().contains("keinpaket"));
    }
    EXPECT_TRUE(packages.Loaded().isEmpty());
}

TEST(HostPackages, LoadRunsInitializeAndUnloadFinalize) {
    THostPackages packages;
    packages.Load(QStringLiteral("quibbet"));
    EXPECT_EQ(packages.Loaded(), QStringList({"quibbet"}));
    EXPECT_EQ(Rtl::Package::Get("quibbet").InitCount(), 1);
    packages.UnloadAll();
    EXPECT_EQ(Rtl::Package::Get("quibbet").InitCount(), 0);
}

TEST_F(MainFormTest, QuitAsksEveryModuleInTurnAndAbbrechenKeepsTheProgram) {
    Rtl::Package::Get(QStringLiteral("hadrel")).Initialize();
    TestDatabase::Exec(QStringLiteral("INSERT INTO adressen (name) VALUES ('Erste'), ('Zweite')"));
    testsupport::TempRegistry registry;
    testsupport::DialogAnswerer answers;
    UHostModules::Register();
    {
        TMainForm main;
        main.LoadMainMenu();
        main.show();
        Vcl::Screen::SetMainForm(&main);
        QPointer<TFormAdress> a = TFormAdress::Open();
        QPointer<TFormAdress> b = TFormAdress::Open();
        QApplication::processEvents();
        a->DataAdressen->FieldByName(QStringLiteral("ort")).SetAsString(QStringLiteral("A"));
        b->DataAdressen->FieldByName(QStringLiteral("ort")).SetAsString(QStringLiteral("B"));

        // The first window is asked first and closes; "Abbrechen" in the second keeps it all.
        answers.Expect(QStringLiteral("Adressen: Änderungen speichern?"), Vcl::mrNo)
            .Expect(QStringLiteral("Adressen: Änderungen speichern?"), Vcl::mrCancel);
        EXPECT_FALSE(main.close());
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_FALSE(a);
        ASSERT_TRUE(b);
        EXPECT_TRUE(b->DataAdressen->InEdit());
        EXPECT_TRUE(main.isVisible());

        // Ctrl+Q's item takes the same road.
        answers.Expect(QStringLiteral("Adressen: Änderungen speichern?"), Vcl::mrYes);
        main.findChild<QAction*>(QStringLiteral("actBeenden"))->trigger();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_FALSE(b);
        EXPECT_FALSE(main.isVisible());
        EXPECT_EQ(answers.Questions().size(), 3u);
        EXPECT_EQ(TestDatabase::Scalar(QStringLiteral("SELECT string_agg(coalesce(ort, '-'), '/' "
                                                      "ORDER BY name) FROM adressen")),
                  QStringLiteral("B/-"));
        Vcl::Screen::SetMainForm(nullptr);
    }
    UHostModules::Unregister();
    TestDatabase::Exec(QStringLiteral("DELETE FROM adressen"));
    Rtl::Package::Get(QStringLiteral("hadrel")).Finalize();
}

TEST_F(MainFormTest, LookupSearchesOnTheServerFromTheFieldsValue) {
    TestDatabase::Exec(QStringLiteral(
        "INSERT INTO adressen (name) SELECT 'Firma ' || lpad(i::text, 4, '0') "
        "FROM generate_series(1, 600) AS i; INSERT INTO adressen (name) VALUES ('Weber 50%')"));
    QLineEdit field(QStringLiteral("weber"));
    {
        TFormF2List list;
        list.Sql = QStringLiteral("SELECT name FROM adressen ORDER BY name;");
        list.OwnerFeld = &field;
        list.StartSearch();
        EXPECT_EQ(list.EdSearch->text(), QStringLiteral("weber"));
        ASSERT_EQ(list.ListResult->count(), 1); // the 601st row, found case-insensitively
        EXPECT_EQ(list.ListResult->currentRow(), 0);
        // What the user types is text, never a pattern.
        list.EdSearch->setText(QStringLiteral("0%"));
        list.StartSearch();
        EXPECT_EQ(list.ListResult->count(), 1);
        list.EdSearch->setText(QStringLiteral("Firma 0"));
        list.StartSearch();
        EXPECT_EQ(list.ListResult->count(), 500);
    }
    TestDatabase::Exec(QStringLiteral("DELETE FROM adressen"));
}

TEST_F(MainFormTest, ALookupShowsItsTablesCaptionsInColumnsAndKeepsItsKeys) {
    TestDatabase::Exec(QStringLiteral(
        "INSERT INTO dokutypes (dt_id, dt_descr, dt_parentnodeid) VALUES "
        "('RE', 'Rechnung', 'belege'), ('LS', 'Lieferschein', 'belege')"));
    QAction command(QStringLiteral("&Dokumenttyp zuweisen"));
    const auto open = [&command](const QString& sql) {
        auto list = std::make_unique<TFormF2List>();
        list->Sql = sql;
        list->OwnerFeld = &command;
        list->CloseF2FormAction = Vcl::caHide;
        list->resize(420, 360);
        list->StartSearch();
        return list;
    };
    {
        const auto list = open(QStringLiteral(
            "SELECT dt_id, dt_descr, dt_parentnodeid FROM dokutypes ORDER BY dt_descr"));
        EXPECT_EQ(list->windowTitle(), QStringLiteral("Dokumenttypen"));
        QHeaderView* header = list->ListResult->Header();
        ASSERT_FALSE(header->isHidden());
        QStringList labels;
        for (int c = 0; c < header->count(); ++c)
            labels << header->model()->headerData(c, Qt::Horizontal).toString();
        EXPECT_EQ(labels, QStringList({"Typ", "Bezeichnung", "Ordner"}));
        EXPECT_FALSE(header->accessibleName().isEmpty());
        EXPECT_FALSE(header->toolTip().isEmpty());
        ASSERT_EQ(list->ListResult->count(), 2);
        EXPECT_EQ(list->ListResult->item(0)->data(Qt::AccessibleTextRole).toString(),
                  QStringLiteral("Typ: LS, Bezeichnung: Lieferschein, Ordner: belege"));
        // Each column is wide enough for its caption and its cells; the rows span them all.
        list->show();
        QApplication::processEvents();
        EXPECT_GE(header->sectionSize(1), header->fontMetrics().horizontalAdvance(
                                              QStringLiteral("Lieferschein")));
        EXPECT_EQ(list->ListResult->visualItemRect(list->ListResult->item(0)).width(),
                  header->length());

        // Shown modally: Down and Enter take the second row, Esc cancels.
        QTimer::singleShot(0, [&list] {
            QTest::keyClick(list->ListResult, Qt::Key_Down);
            QTest::keyClick(list->ListResult, Qt::Key_Return);
        });
        EXPECT_EQ(list->ShowModal(), Vcl::mrOk);
        EXPECT_EQ(list->F2Result.Value, QStringLiteral("RE"));
        QTimer::singleShot(0, [&list] { QTest::keyClick(list->EdSearch, Qt::Key_Escape); });
        EXPECT_EQ(list->ShowModal(), Vcl::mrCancel);
        // Typing narrows the rows; Enter in the search text takes the first that is left.
        QTimer::singleShot(0, [&list] {
            QTest::keyClicks(list->EdSearch, QStringLiteral("liefer"));
            QTest::keyClick(list->EdSearch, Qt::Key_Enter);
        });
        EXPECT_EQ(list->ShowModal(), Vcl::mrOk);
        EXPECT_EQ(list->F2Result.Value, QStringLiteral("LS"));
    }
    // Rows of no table keep the command's caption; a single column needs no header.
    const auto plain = open(QStringLiteral("SELECT 'Drucker 1' AS printer"));
    EXPECT_EQ(plain->windowTitle(), QStringLiteral("Dokumenttyp zuweisen"));
    EXPECT_TRUE(plain->ListResult->Header()->isHidden());
    EXPECT_EQ(plain->ListResult->item(0)->text(), QStringLiteral("Drucker 1"));
    TestDatabase::Exec(QStringLiteral("DELETE FROM dokutypes"));
}

TEST_F(MainFormTest, AddressModuleReopenedOnItsParameterPageShowsTheParameters) {
    Rtl::Package::Get(QStringLiteral("hadrel")).Initialize();
    TestDatabase::Exec(QStringLiteral("INSERT INTO adressen (name) VALUES ('Erste')"));
    testsupport::TempRegistry registry;
    testsupport::DialogAnswerer answers;
    UHostModules::Register();
    const QString key = QStringLiteral("UserPage_TFormAdress_PageControlAdresse");
    m_dm.SaveLastVal(key, QStringLiteral("TabParameter"));
    {
        QPointer<TFormAdress> f = TFormAdress::Open();
        QApplication::processEvents();
        ASSERT_TRUE(f);
        EXPECT_EQ(f->PageControlAdresse->currentWidget()->objectName(),
                  QStringLiteral("TabParameter"));
        EXPECT_TRUE(f->RecNoParamsAdresse->Active());
        f->close();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        delete f.data();
    }
    TestDatabase::Exec(QStringLiteral("DELETE FROM lastval; DELETE FROM adressen"));
    UHostModules::Unregister();
    Rtl::Package::Get(QStringLiteral("hadrel")).Finalize();
}

TEST_F(MainFormTest, SqlModuleStartsInItsEditorAndItsToolWindowLeavesTheKeysThere) {
    Rtl::Package::Get(QStringLiteral("hadrel")).Initialize();
    testsupport::TempRegistry registry;
    testsupport::DialogAnswerer answers;
    UHostModules::Register();
    {
        TMainForm main;
        main.show();
        QPointer<TFormStandardSql> f = TFormStandardSql::Open();
        QApplication::processEvents();
        ASSERT_TRUE(f);
        EXPECT_EQ(QApplication::focusWidget(), f->MemoSql);
        f->DoFocusTimer(nullptr); // the tool window comes up beside the module
        QApplication::processEvents();
        ASSERT_TRUE(f->ToolForm && f->ToolForm->isVisible());
        // Keys typed now go to the SQL, wherever the window system put the activation; a blank
        // does not close the module.
        ASSERT_EQ(main.KeyTarget(), f->MemoSql);
        QTest::keyClick(main.KeyTarget(), Qt::Key_Space);
        QApplication::processEvents();
        ASSERT_TRUE(f);
        EXPECT_TRUE(f->isVisible());
        f->DataStandardSql->Cancel();
        f->close();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        delete f.data();
    }
    UHostModules::Unregister();
    Rtl::Package::Get(QStringLiteral("hadrel")).Finalize();
}

TEST_F(MainFormTest, AModulesToolWindowNeitherTakesTheActivationNorStaysOverAnotherWindow) {
    Rtl::Package::Get(QStringLiteral("hadrel")).Initialize();
    testsupport::TempRegistry registry;
    testsupport::DialogAnswerer answers;
    UHostModules::Register();
    {
        TMainForm main;
        main.show();
        QPointer<TFormStandardSql> f = TFormStandardSql::Open();
        QApplication::processEvents();
        ASSERT_TRUE(f);
        QApplication::setActiveWindow(&main);
        QApplication::processEvents();
        f->DoFocusTimer(nullptr);
        QApplication::processEvents();
        QApplication::processEvents();
        ASSERT_TRUE(f->ToolForm->isVisible());
        EXPECT_EQ(QApplication::activeWindow(), &main);

        // Another window in front: the module stays the main window's current one, but its
        // tool window goes and does not come back while that window is active.
        QWidget other;
        other.resize(300, 200);
        other.show();
        QApplication::setActiveWindow(&other);
        QApplication::processEvents();
        f->DoFocusTimer(nullptr);
        EXPECT_FALSE(f->ToolForm->isVisible());
        f->DoFocusTimer(nullptr);
        QApplication::processEvents();
        EXPECT_FALSE(f->ToolForm->isVisible());
        EXPECT_EQ(QApplication::activeWindow(), &other);

        f->DataStandardSql->Cancel();
        f->close();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        delete f.data();
    }
    UHostModules::Unregister();
    Rtl::Package::Get(QStringLiteral("hadrel")).Finalize();
}

TEST_F(MainFormTest, QueryModuleShowsTheRowsOfItsTextAndNeverChangesData) {
    Rtl::Package::Get(QStringLiteral("hadrel")).Initialize();
    TestDatabase::Exec(QStringLiteral("INSERT INTO adressen (name, ort) VALUES ('Erste', 'Ulm'), "
                                      "('Zweite', 'Köln')"));
    testsupport::TempRegistry registry;
    testsupport::DialogAnswerer answers;
    UHostModules::Register();
    {
        QPointer<TFormAbfrage> f = TFormAbfrage::Open();
        QApplication::processEvents();
        ASSERT_TRUE(f);
        EXPECT_EQ(f->DataAbfrage->RecordCount(), 2);
        EXPECT_EQ(f->DataAbfrage->FieldCount(), 6); // the columns the text names

        // Another text, read on the next refresh.
        f->FrameSQLEditor->SQLMemo->setText(
            QStringLiteral("SELECT ort FROM adressen WHERE name = 'Zweite'"));
        f->TopLabel->DBN1->BtnClick(nbRefresh);
        ASSERT_EQ(f->DataAbfrage->RecordCount(), 1);
        EXPECT_EQ(f->DataAbfrage->FieldByName(QStringLiteral("ort")).AsString(), QStringLiteral("Köln"));

        // A text that would change data is refused by the server and changes nothing.
        f->FrameSQLEditor->SQLMemo->setText(QStringLiteral("DELETE FROM adressen RETURNING name"));
        EXPECT_ANY_THROW(f->TopLabel->DBN1->BtnClick(nbRefresh));
        EXPECT_EQ(TestDatabase::Scalar(QStringLiteral("SELECT count(*) FROM adressen")),
                  QStringLiteral("2"));
        EXPECT_FALSE(DM1()->Database().InTransaction());
        f->close();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        delete f.data();
    }
    TestDatabase::Exec(QStringLiteral("DELETE FROM adressen"));
    UHostModules::Unregister();
    Rtl::Package::Get(QStringLiteral("hadrel")).Finalize();
}

// Morwick loaded with QLibrary into the IDE's host: its deferred start, the viewer's rows and
// expanded view, the clipboard row, and what unloading leaves behind.
#include "DialogAnswerer.h"

#include "IdePackages.h"
#include "IdeServices.h"
#include "Morwick.FormMorwickU.h"
#include "Morwick.IsIDERunning.h"
#include "Morwick.MainU.h"
#include "Morwick.UtiltiesU.h"

#include "SysPackages.h"
#include "Vcl.Components.h"
#include "Vcl.Forms.h"
#include "Vcl.Registry.h"

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

using namespace testsupport;

namespace {

class TSplashLike final : public Vcl::TForm {
    Q_OBJECT
public:
    using Vcl::TForm::TForm;
};

class MorwickTest : public ::testing::Test {
protected:
    void TearDown() override {
        m_packages.UnloadAll();
        Vcl::Screen::SetMainForm(nullptr);
    }
    // Loads the package and waits for its start timer to register the wizard.
    void LoadAndStart() {
        ASSERT_TRUE(m_packages.Load(QStringLiteral("morwick")));
        QElapsedTimer t;
        t.start();
        while (m_services.Wizards().empty() && t.elapsed() < 3000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        ASSERT_EQ(m_services.Wizards().size(), 1u);
    }
    ToolsAPI::IOTAMenuWizard* Wizard() { return m_services.Wizards().begin()->second; }
    TFormMorwick* Viewer() {
        Wizard()->Execute();
        return FormMorwick.data();
    }

    TempRegistry m_registry;
    TIdeServices m_services;
    TIdePackages m_packages{m_services};
    Vcl::TForm m_mainForm;
};

TEST_F(MorwickTest, StartsOnTheMainFormAndUnloadsCleanly) {
    Vcl::Screen::SetMainForm(&m_mainForm);
    LoadAndStart();
    EXPECT_EQ(Wizard()->GetIDString(), u"Morwick [IDE]");
    EXPECT_EQ(Wizard()->GetName(), u"DORNAX.Morwick");
    EXPECT_EQ(m_services.AboutEntries().size(), 1u);
    ASSERT_EQ(Vcl::ComponentsOf<TDestroyDummy>(&m_mainForm).size(), 1);
    EXPECT_TRUE(bool(m_mainForm.OnHide));

    ASSERT_NE(Viewer(), nullptr);
    EXPECT_EQ(Rtl::ModuleUnloadProcCount(), 1);
    Wizard()->Execute(); // the viewer is reused, the unload procedure registered once
    EXPECT_EQ(Rtl::ModuleUnloadProcCount(), 1);

    const int freed = TDestroyDummy::FreedCount();
    Morwick::TTaskbar::Instance().ClearCalls();
    m_packages.UnloadAll();
    EXPECT_TRUE(m_services.Wizards().empty());
    EXPECT_TRUE(m_services.AboutEntries().empty());
    EXPECT_EQ(FormMorwick, nullptr);
    EXPECT_EQ(Rtl::ModuleUnloadProcCount(), 0);
    EXPECT_EQ(TDestroyDummy::FreedCount(), freed + 1);
    EXPECT_EQ(Morwick::TTaskbar::Instance().Calls(),
              QStringList{QStringLiteral("ShutdownWindow KORVEX IDE wird beended: KORVEX IDE wird beendet")});
    // The hide handler went with the dummy: hiding now reaches nothing freed.
    EXPECT_FALSE(bool(m_mainForm.OnHide));
    m_mainForm.show();
    m_mainForm.hide();
    EXPECT_EQ(TDestroyDummy::FreedCount(), freed + 1);
}

TEST_F(MorwickTest, HidingTheMainFormFreesTheDummyOnce) {
    Vcl::Screen::SetMainForm(&m_mainForm);
    LoadAndStart();
    const int freed = TDestroyDummy::FreedCount();
    m_mainForm.show();
    m_mainForm.hide();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(TDestroyDummy::FreedCount(), freed + 1);
    EXPECT_TRUE(Vcl::ComponentsOf<TDestroyDummy>(&m_mainForm).isEmpty());
    m_packages.UnloadAll();
    EXPECT_EQ(TDestroyDummy::FreedCount(), freed + 1);
}

TEST_F(MorwickTest, OnlyAPlainFormCountsAsSplashAndStartsWithoutMainForm) {
    TSplashLike derived;
    derived.setWindowTitle(QStringLiteral("SplashScreen"));
    EXPECT_FALSE(Morwick::IDEIsReady());
    Vcl::TForm splash;
    splash.setWindowTitle(QStringLiteral("SplashScreen"));
    EXPECT_TRUE(Morwick::IDEIsReady());

    // Ready on the splash alone: no dummy, but wizard and about entry all the same.
    Morwick::TTaskbar::Instance().ClearCalls();
    LoadAndStart();
    EXPECT_EQ(splash.windowTitle(), u"KORVEX IDE wird gestartet");
    EXPECT_EQ(derived.windowTitle(), u"SplashScreen");
    EXPECT_TRUE(Morwick::TTaskbar::Instance().Calls().contains(
        QStringLiteral("ProgressIndeterminate KORVEX IDE wird gestartet")));
    EXPECT_EQ(m_services.AboutEntries().size(), 1u);
}

TEST_F(MorwickTest, OverridesEnvironmentAndOptions) {
    Vcl::TRegistry reg;
    ASSERT_TRUE(reg.OpenKey(m_services.Key(QStringLiteral("Environment Variables")), true));
    reg.WriteString(QStringLiteral("MYLIB"), QStringLiteral("/opt/mylib"));
    reg.WriteString(QStringLiteral("UNUSED_LIB"), QStringLiteral("/opt/unused"));
    reg.WriteString(QStringLiteral("MORWICK_TEST_SHADOW"), QStringLiteral("from registry"));
    reg.CloseKey();
    qputenv("MORWICK_TEST_PATH", "$(MYLIB)/bin;%MORWICK_TEST_HOME%/x;%NO_SUCH_VAR%");
    qputenv("MORWICK_TEST_HOME", "/home/t");
    qputenv("MORWICK_TEST_SHADOW", "from environment");
    m_services.SetActiveProject(std::make_unique<TIdeProject>(
        QStringLiteral("Demo.dproj"), m_services.Key(QStringLiteral("Project Options"))));
    Vcl::Screen::SetMainForm(&m_mainForm);
    LoadAndStart();
    TFormMorwick* viewer = Viewer();
    ASSERT_NE(viewer, nullptr);

    EXPECT_EQ(viewer->FindRow(QStringLiteral("MYLIB"))->text(2), u"");
    EXPECT_EQ(viewer->FindRow(QStringLiteral("UNUSED_LIB"))->text(2), TFormMorwick::NotUsed);
    // Listed once, under the overrides, with the override's value.
    QTreeWidgetItem* shadow = viewer->FindRow(QStringLiteral("MORWICK_TEST_SHADOW"));
    EXPECT_EQ(viewer->RowGroup(shadow), TFormMorwick::grOverrides);
    EXPECT_EQ(shadow->text(1), u"from registry");
    int count = 0;
    for (int g : {0, 1, 2, 3, 4, 5})
        for (QTreeWidgetItem* r : viewer->Rows(g))
            count += r->text(0) == u"MORWICK_TEST_SHADOW";
    EXPECT_EQ(count, 1);
    // Known names expanded, unknown ones left as they are.
    EXPECT_EQ(viewer->FindRow(QStringLiteral("MORWICK_TEST_PATH"))->text(1),
              u"$(MYLIB)/bin;/home/t/x;%NO_SUCH_VAR%");
    // String options only; the project's as they are.
    EXPECT_EQ(viewer->RowGroup(viewer->FindRow(QStringLiteral("LibraryPath"))), TFormMorwick::grEnvOpt);
    EXPECT_EQ(viewer->FindRow(QStringLiteral("UndoLimit")), nullptr);
    EXPECT_EQ(viewer->RowGroup(viewer->FindRow(QStringLiteral("Defines"))), TFormMorwick::grPrjOpt);
    EXPECT_TRUE(viewer->Rows(TFormMorwick::grProject).isEmpty());
    qunsetenv("MORWICK_TEST_PATH");
    qunsetenv("MORWICK_TEST_HOME");
    qunsetenv("MORWICK_TEST_SHADOW");
}

TEST_F(MorwickTest, ExpandedViewSplitsAndReusesGroups) {
    Vcl::Screen::SetMainForm(&m_mainForm);
    LoadAndStart();
    TFormMorwick* viewer = Viewer();
    QTreeWidgetItem* row = viewer->AddRow(TFormMorwick::grEnvVar, QStringLiteral("SPLIT"),
                                          QStringLiteral("a;b;;c"));
    row->setCheckState(0, Qt::Checked);
    QTreeWidgetItem* group = viewer->ExpandedGroup(QStringLiteral("SPLIT"), QStringLiteral("[ENV]"));
    ASSERT_NE(group, nullptr);
    ASSERT_EQ(group->childCount(), 4);
    EXPECT_EQ(group->child(2)->text(0), u"");
    EXPECT_EQ(group->child(3)->text(0), u"c");
    // Selected while checked: still one group with four rows.
    viewer->LV_Items->setCurrentItem(row);
    row->setCheckState(0, Qt::Checked);
    viewer->AddExpanded(row);
    int groups = 0;
    for (int i = 0; i < viewer->LV_Expanded->topLevelItemCount(); ++i)
        groups += viewer->LV_Expanded->topLevelItem(i)->data(0, Qt::UserRole + 1).toString() == u"SPLIT";
    EXPECT_EQ(groups, 1);
    EXPECT_EQ(group->childCount(), 4);
    row->setCheckState(0, Qt::Unchecked);
    EXPECT_EQ(group->childCount(), 0);
}

TEST_F(MorwickTest, ClipboardRowFollowsACopy) {
    Vcl::Screen::SetMainForm(&m_mainForm);
    LoadAndStart();
    TFormMorwick* viewer = Viewer();
    QApplication::clipboard()->setText(QStringLiteral("eins;zwei"));
    QCoreApplication::processEvents();
    QTreeWidgetItem* row = viewer->Rows(TFormMorwick::grClipboard).value(0);
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->text(1), u"eins;zwei");
    QTreeWidgetItem* group = viewer->ExpandedGroup(QStringLiteral("CLIPBOARD"), QStringLiteral("[?]"));
    ASSERT_NE(group, nullptr);
    EXPECT_EQ(group->childCount(), 2);
}

TEST(MorwickHelpers, EnvironmentListAndFallbackServices) {
    QStringList env;
    EXPECT_THROW(Morwick::GetEnvironmentVars(nullptr, false), Rtl::EAssertionFailed);
    qputenv("MORWICK_ORDER_TEST", "1");
    ASSERT_TRUE(Morwick::GetEnvironmentVars(&env, false));
    EXPECT_TRUE(env.contains(QStringLiteral("MORWICK_ORDER_TEST=1")));
    qunsetenv("MORWICK_ORDER_TEST");
    // Found through the IDE library's exported variable, as a package that does not link it.
    TIdeServices services;
    EXPECT_EQ(Morwick::GetBorlandServices(), static_cast<ToolsAPI::IBorlandIDEServices*>(&services));
}

} // namespace

#include "MorwickTest.moc"

// The IDE host's designer, inspector, packages and options, without a database.
#include "DialogAnswerer.h"

#include "IdePackages.h"
#include "IdeServices.h"
#include "TFormIdeDemo.h"
#include "TIdeDialogs.h"
#include "TIdeMainForm.h"

#include "DesignEditors.h"
#include "TVoskTabSheet.h"
#include "UFrameDataset.h"
#include "RtlDialog.h"
#include "SysPackages.h"
#include "UnitTable.h"
#include "Vcl.Components.h"
#include "Vcl.Registry.h"

#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QLineEdit>
#include <QListWidget>
#include <QApplication>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include "cxPC.h"
#include <QTableWidget>
#include <QToolButton>
#include <QTreeWidget>

#include <gtest/gtest.h>

using namespace testsupport;

namespace {

class IdeHostTest : public ::testing::Test {
protected:
    void SetUp() override { RegisterDesignClass(&TFormIdeDemo::staticMetaObject); }
    QTreeWidgetItem* Row(const QString& name) {
        for (int i = 0; i < m_main.Inspector->topLevelItemCount(); ++i)
            if (m_main.Inspector->topLevelItem(i)->text(0) == name)
                return m_main.Inspector->topLevelItem(i);
        return nullptr;
    }
    TempRegistry m_registry;
    TIdeServices m_services;
    TIdeMainForm m_main{m_services};
};

struct Verbs final : DesignIntf::TComponentEditor {
    using TComponentEditor::TComponentEditor;
    int GetVerbCount() override { return 1; }
    QString GetVerb(int) override { return QStringLiteral("Leeren"); }
    void ExecuteVerb(int) override {
        qobject_cast<QLineEdit*>(Component())->clear();
        Designer()->Modified();
    }
};

TEST_F(IdeHostTest, FormOpensByClassNameDesigningWithTreeAndInspector) {
    EXPECT_FALSE(m_main.OpenForm(QStringLiteral("TFormGibtEsNicht")));
    ASSERT_TRUE(m_main.OpenForm(QStringLiteral("tformidedemo")));
    auto* form = qobject_cast<TFormIdeDemo*>(m_main.DesignedForm());
    ASSERT_NE(form, nullptr);
    EXPECT_TRUE(Vcl::IsDesigning(form->EditName));
    ASSERT_EQ(m_main.TreeComponents->topLevelItemCount(), 1);
    // Fourteen controls (with the header and two more frames), an action, a menu with two items,
    // a data class and a column handler.
    EXPECT_EQ(m_main.TreeComponents->topLevelItem(0)->childCount(), 20);

    m_main.Designer().Select(form->EditName);
    auto* text = qobject_cast<QLineEdit*>(m_main.Inspector->itemWidget(Row("text"), 1));
    ASSERT_NE(text, nullptr);
    text->setText(QStringLiteral("Meier"));
    emit text->editingFinished();
    EXPECT_EQ(form->EditName->text(), u"Meier");
    EXPECT_TRUE(m_main.Designer().IsModified());
    auto* enabled = qobject_cast<QComboBox*>(m_main.Inspector->itemWidget(Row("enabled"), 1));
    ASSERT_NE(enabled, nullptr);
    EXPECT_EQ(enabled->currentText(), u"True");
    EXPECT_GE(enabled->findText(QStringLiteral("False")), 0);

    // A bad number is refused with a message and changes nothing.
    m_main.Designer().Select(form->EditName);
    auto* maxLength = qobject_cast<QLineEdit*>(m_main.Inspector->itemWidget(Row("maxLength"), 1));
    ASSERT_NE(maxLength, nullptr);
    DialogAnswerer answers;
    answers.Expect(QStringLiteral("'12a' ist kein gültiger Integerwert"), Vcl::mrOk);
    maxLength->setText(QStringLiteral("12a"));
    emit maxLength->editingFinished();
    EXPECT_EQ(form->EditName->maxLength(), 32767);
}

TEST_F(IdeHostTest, ComponentEditorVerbsUntilTheirModuleIsPurged) {
    ASSERT_TRUE(m_main.OpenForm(QStringLiteral("TFormIdeDemo")));
    auto* form = qobject_cast<TFormIdeDemo*>(m_main.DesignedForm());
    form->EditName->setText(QStringLiteral("x"));
    DesignIntf::SetRegisteringModule(QStringLiteral("verbs"));
    DesignIntf::RegisterComponentEditor(&QLineEdit::staticMetaObject,
                                        DesignIntf::ComponentEditorClass<Verbs>());
    DesignIntf::SetRegisteringModule({});
    EXPECT_EQ(m_main.Verbs(form->EditName), QStringList{QStringLiteral("Leeren")});
    EXPECT_TRUE(m_main.Verbs(form->CheckAktiv).isEmpty());
    m_main.ExecuteVerb(form->EditName, 0);
    EXPECT_TRUE(form->EditName->text().isEmpty());
    DesignIntf::PurgeModule(QStringLiteral("verbs"));
    EXPECT_TRUE(m_main.Verbs(form->EditName).isEmpty());
}

TEST_F(IdeHostTest, NewActionIsOfTheFrameworksDefaultClass) {
    ASSERT_TRUE(m_main.OpenForm(QStringLiteral("TFormIdeDemo")));
    QObject* first = m_main.NewAction();
    QObject* second = m_main.NewAction();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(Vcl::ClassName(first), u"TAction");
    EXPECT_EQ(first->objectName(), u"Action1");
    EXPECT_EQ(second->objectName(), u"Action2");
    EXPECT_EQ(Vcl::Owner(first), m_main.DesignedForm());
}

TEST_F(IdeHostTest, BrokenPackagesAreReportedAndTheIdeGoesOn) {
    TIdePackages packages(m_services);
    EXPECT_FALSE(packages.Load(QStringLiteral("GibtEsNicht280")));
    // A library without the entry points of a package.
    EXPECT_FALSE(packages.Load(QStringLiteral("designide280")));
    ASSERT_EQ(m_services.Messages().size(), 2);
    EXPECT_TRUE(m_services.Messages()[0].startsWith(QStringLiteral("Package GibtEsNicht280 kann nicht geladen werden")));
    EXPECT_EQ(m_services.Messages()[1],
              u"Package designide280 hat keine Einsprungstelle Initialize und wird nicht verwendet");
    EXPECT_TRUE(packages.Loaded().isEmpty());
    // The main form shows what the message view got.
    EXPECT_EQ(m_main.MessageView->count(), 2);
}

TEST_F(IdeHostTest, OptionsDisablePackagesAndOverrideOptions) {
    TIdeServices::WriteDefaults(m_services.GetBaseRegistryKey());
    EXPECT_EQ(m_services.PackagesToLoad(),
              (QStringList{QStringLiteral("hadrel"), QStringLiteral("morwick"),
                           QStringLiteral("quibbet")}));
    TIdeOptionsDialog dialog(m_services, nullptr);
    for (int i = 0; i < dialog.ListPackages->count(); ++i)
        if (dialog.ListPackages->item(i)->data(Qt::UserRole) == QStringLiteral("morwick"))
            dialog.ListPackages->item(i)->setCheckState(Qt::Unchecked);
    for (int r = 0; r < dialog.GridEnvironment->rowCount(); ++r)
        if (dialog.GridEnvironment->item(r, 0)->text() == u"UndoLimit")
            dialog.GridEnvironment->item(r, 1)->setText(QStringLiteral("100"));
    dialog.Save();
    EXPECT_EQ(m_services.PackagesToLoad(),
              (QStringList{QStringLiteral("hadrel"), QStringLiteral("quibbet")}));
    // A registry of an earlier version gets the packages it lacks; the disabled one stays so.
    {
        Vcl::TRegistry reg;
        ASSERT_TRUE(reg.OpenKey(m_services.Key(QStringLiteral("Known Packages")), false));
        reg.DeleteValue(QStringLiteral("hadrel"));
    }
    TIdeServices::WriteDefaults(m_services.GetBaseRegistryKey());
    EXPECT_EQ(m_services.PackagesToLoad(),
              (QStringList{QStringLiteral("hadrel"), QStringLiteral("quibbet")}));
    EXPECT_EQ(m_services.GetEnvironmentOptions()->Values(QStringLiteral("UndoLimit")), QVariant(100));
}

QStringList Sorted(QStringList list) {
    list.sort();
    return list;
}

QStringList ClassesOn(const QString& page) {
    QStringList names;
    for (const Vcl::TComponentClass& cls : DesignIntf::PaletteClasses(page))
        names << Vcl::ClassName(cls.Meta);
    return Sorted(names);
}

// The components package's Register procedures fill the palette; a button places its component
// on the designed form, owned by the form, named after its class and inside the selected page,
// with its published properties in the inspector. Unloading the package takes the pages away.
TEST_F(IdeHostTest, PalettePagesOfTheComponentsPackagePlaceComponentsOnTheForm) {
    TIdePackages packages(m_services);
    ASSERT_TRUE(packages.Load(QStringLiteral("hadrel")));
    EXPECT_EQ(Sorted(DesignIntf::PalettePages()),
              (QStringList{"Korvex-Controls", "Korvex-Zusätzlich", "Vosk_System"}));
    EXPECT_EQ(ClassesOn(QStringLiteral("Korvex-Zusätzlich")),
              (QStringList{"TFrameBt", "TFrameDBNav", "TFrameDokumentEigenschaften",
                           "TFrameVirtualKeyboard", "TTopLabelFrame", "TVoskScanButton"}));
    EXPECT_EQ(ClassesOn(QStringLiteral("Korvex-Controls")),
              (QStringList{"TFrameDataSet", "TFrameProduktSerNr", "TFrameRecnoEnumGrid",
                           "TFrameRecnoParams", "TFrameSQLEditor", "TVoskDocumentList"}));
    EXPECT_EQ(ClassesOn(QStringLiteral("Vosk_System")),
              (QStringList{"TVoskDBSQLMemo", "TVoskSQLMemo"}));
    for (const char* form : {"TModulForm", "TFormKorvexGundForm", "TKorvexF2Form",
                             "TKorvexF2EditForm"}) {
        EXPECT_TRUE(DesignIntf::IsDesignKnownClass(QLatin1String(form))) << form;
        EXPECT_EQ(DesignIntf::FindPaletteClass(QLatin1String(form)), nullptr) << form;
        EXPECT_NE(Vcl::FindClass(QStringLiteral("UModulForm.") + QLatin1String(form)), nullptr);
    }
    ASSERT_EQ(m_main.Palette->count(), 3);
    EXPECT_TRUE(m_main.Palette->isVisibleTo(&m_main));

    ASSERT_TRUE(m_main.OpenForm(QStringLiteral("TFormIdeDemo")));
    auto* form = qobject_cast<TFormIdeDemo*>(m_main.DesignedForm());
    m_main.Designer().Select(form->TabSheetNotizen);
    auto* button = m_main.Palette->findChild<QToolButton*>(QStringLiteral("Palette_TFrameDataSet"));
    ASSERT_NE(button, nullptr);
    EXPECT_FALSE(button->toolTip().isEmpty());
    button->click();
    auto* frame = qobject_cast<TFrameDataSet*>(m_main.Designer().GetSelections().value(0));
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->objectName(), u"FrameDataSet1");
    EXPECT_EQ(Vcl::Owner(frame), form);
    EXPECT_EQ(frame->parentWidget(), form->TabSheetNotizen);
    EXPECT_TRUE(Vcl::IsDesigning(frame));
    EXPECT_TRUE(m_main.Designer().IsModified());
    bool listed = false;
    for (QTreeWidgetItem* item : m_main.TreeComponents->findItems(
             QStringLiteral("FrameDataSet1: TFrameDataSet"), Qt::MatchRecursive))
        listed = item != nullptr;
    EXPECT_TRUE(listed);
    // Its published properties, edited in the inspector.
    auto* filter = qobject_cast<QLineEdit*>(m_main.Inspector->itemWidget(Row("_DataSetFilter"), 1));
    ASSERT_NE(filter, nullptr);
    filter->setText(QStringLiteral("aktiv"));
    emit filter->editingFinished();
    EXPECT_EQ(frame->DataSetFilter(), u"aktiv");
    ASSERT_NE(Row("_ReadOnly"), nullptr);

    // With the frame selected, the next one goes into the page around it, numbered on.
    button->click();
    auto* second = m_main.Designer().GetSelections().value(0);
    EXPECT_EQ(second->objectName(), u"FrameDataSet2");
    EXPECT_EQ(qobject_cast<QWidget*>(second)->parentWidget(), form->TabSheetNotizen);

    // Every class of the palette can be placed, on the form itself when nothing holds it. The
    // SQL editor frame reads the table names for its highlighter as it is made: without a
    // database the IDE says so and the form stays as it was.
    m_main.Designer().Select(form->EditName);
    for (const QString& page : DesignIntf::PalettePages())
        for (const Vcl::TComponentClass& cls : DesignIntf::PaletteClasses(page)) {
            const QString name = Vcl::ClassName(cls.Meta);
            if (name == u"TFrameSQLEditor") {
                const int before = Vcl::ComponentCount(form);
                DialogAnswerer answers;
                answers.Expect(QStringLiteral("Keine Datenbankverbindung"), Vcl::mrOk);
                EXPECT_EQ(m_main.PlaceComponent(name), nullptr);
                EXPECT_EQ(Vcl::ComponentCount(form), before);
                continue;
            }
            QObject* placed = m_main.PlaceComponent(name);
            ASSERT_NE(placed, nullptr) << qPrintable(name);
            EXPECT_EQ(Vcl::Owner(placed), form);
            EXPECT_EQ(qobject_cast<QWidget*>(placed)->parentWidget(), form);
            m_main.Designer().Select(form->EditName);
        }

    packages.Unload(QStringLiteral("hadrel"));
    EXPECT_TRUE(DesignIntf::PalettePages().isEmpty());
    EXPECT_EQ(m_main.Palette->count(), 0);
    EXPECT_FALSE(DesignIntf::IsDesignKnownClass(QStringLiteral("TModulForm")));
}

TEST(RuntimePackages, LoadUnloadAndLoadAgainRunsOnlyTheNewCopy) {
    const QString editor = QStringLiteral("Ferrisby280.bpl");
    ASSERT_FALSE(Rtl::ModuleLoaded(editor));
    Rtl::ModuleHandle h = Rtl::LoadPackage(editor);
    EXPECT_TRUE(Rtl::ModuleLoaded(editor));
    EXPECT_TRUE(RtlDialog::FEditSql.Assigned());
    int unloads = 0;
    const int proc = Rtl::AddModuleUnloadProc([&](Rtl::ModuleHandle m) { unloads += m == h; });
    Rtl::UnloadPackage(h);
    Rtl::RemoveModuleUnloadProc(proc);
    EXPECT_EQ(unloads, 1);
    EXPECT_FALSE(RtlDialog::FEditSql.Assigned());
    EXPECT_FALSE(Rtl::ModuleLoaded(editor));
    // The unloaded copy's unit is gone from the table; the new copy's runs once.
    h = Rtl::LoadPackage(editor);
    EXPECT_EQ(Rtl::Package::Get(QStringLiteral("ferrisby280")).Units().size(), 1);
    EXPECT_TRUE(RtlDialog::FEditSql.Assigned());
    Rtl::UnloadPackage(h);
    EXPECT_THROW(Rtl::LoadPackage(QStringLiteral("GibtEsNicht.bpl")), EVoskException);
}

} // namespace

// The designed form's page tabs are drawn in the form's own colours: each caption stands out from
// its tab, also on the designer's darker ground and with the plug-ins loaded.
TEST_F(IdeHostTest, TheDesignedFormsTabCaptionsCanBeRead) {
    TIdePackages packages(m_services);
    ASSERT_TRUE(packages.Load(QStringLiteral("hadrel")));
    m_main.resize(1400, 860);
    m_main.show();
    ASSERT_TRUE(m_main.OpenForm(QStringLiteral("TFormIdeDemo")));
    QApplication::processEvents();
    auto* form = qobject_cast<TFormIdeDemo*>(m_main.DesignedForm());
    ASSERT_NE(form, nullptr);
    QTabBar* bar = form->PageControlSeiten->findChild<QTabBar*>();
    ASSERT_NE(bar, nullptr);
    const QImage shot = m_main.grab().toImage();
    const QPoint origin = bar->mapTo(&m_main, QPoint(0, 0));
    for (int t = 0; t < bar->count(); ++t) {
        const QRect tab = bar->tabRect(t).translated(origin).adjusted(3, 3, -3, -3);
        int darkest = 255, lightest = 0;
        for (int y = tab.top(); y <= tab.bottom(); ++y)
            for (int x = tab.left(); x <= tab.right(); ++x) {
                const int l = QColor(shot.pixel(x, y)).lightness();
                darkest = qMin(darkest, l);
                lightest = qMax(lightest, l);
            }
        EXPECT_GE(lightest - darkest, 120) << bar->tabText(t).toStdString();
    }
}

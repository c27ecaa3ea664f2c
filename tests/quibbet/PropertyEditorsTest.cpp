// The ERP's value-list editors, reached through the IDE's registry after loading Quibbet into the
// host, on the demo form and on the suite's database.
#include "DialogAnswerer.h"
#include "TestDatabase.h"

#include "IdePackages.h"
#include "IdeServices.h"
#include "TFormIdeDemo.h"
#include "TIdeMainForm.h"

#include "DesignEditors.h"
#include "EventGuard.h"
#include "Korvexcommonvcl.h"
#include "TServSQL2.h"
#include "TVoskAction.h"
#include "TVoskGridView.h"
#include "TVoskPopupMenu.h"
#include "TVoskTabSheet.h"
#include "UModulForm.h"
#include "FrameDBNavigate.h"
#include "RtlDialog.h"
#include "TLayoutFrameGrid.h"
#include "TopLabel.h"
#include "Upropertyeditors.h"
#include "Vcl.DB.h"
#include "Uchangeserver.h"
#include "UQuibbetModul.h"
#include "Utext0editor.h"
#include "VoskBaseConfiguration.h"
#include "VoskControls.h"
#include "VoskDesignTypes.h"
#include "VoskExceptions.h"
#include "VoskTimer.h"
#include "UDM1.h"
#include "Vcl.Components.h"
#include "Vcl.Registry.h"
#include "VoskDatabase.h"
#include "cxPC.h"
#include "cxSplitter.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QFrame>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTreeWidget>

using namespace testsupport;
using namespace DesignIntf;

namespace {

class TestDesigner final : public IDesigner {
public:
    explicit TestDesigner(QObject* root) : m_root(root) {}
    QObject* GetRoot() override { return m_root; }
    void Modified() override { ++modified; }
    QList<QObject*> GetSelections() override { return {}; }
    int modified = 0;

private:
    QObject* m_root;
};

// A control with a text number, as the ERP's labels have; its text can serve as the filter.
class TTextNrEdit final : public QLineEdit {
    Q_OBJECT
    Q_PROPERTY(int TextNr MEMBER m_nr)
    Q_PROPERTY(TText0 Titel MEMBER m_titel)
public:
    using QLineEdit::QLineEdit;
    int m_nr = 0;
    TText0 m_titel;
};

// Stands for the developer in the text picker: notes what it was opened with, picks a number (if
// any) and presses OK; no number: closes it.
class PickText final : public Korvexcommonvcl::ModalForms {
public:
    int Run(Vcl::TForm* form) override {
        ++runs;
        if (auto* picker = qobject_cast<TFormText0Editor*>(form)) {
            filter = picker->edFilter->text();
            caption = picker->windowTitle();
            saveText = picker->btSave->text();
            current = picker->sqlText0->HasRecord()
                          ? picker->sqlText0->FieldByName(QStringLiteral("t_nr")).AsInteger()
                          : 0;
            doNotSave = picker->FDoNotSaveLastNr;
            if (pick == 0)
                return 11;
            picker->edFilter->clear();
            if (!picker->SelectLastNr(pick))
                return 11;
            picker->FDoNotSaveLastNr = true; // no last number of a test stays behind
            picker->btSaveClick();
            return picker->ModalResult();
        }
        if (auto* change = qobject_cast<TFormChangeServer*>(form)) {
            changeServer = true;
            return change->ModalResult();
        }
        return Vcl::mrCancel;
    }
    int pick = 0;
    int runs = 0;
    int current = 0;
    bool doNotSave = false;
    bool changeServer = false;
    QString filter, caption, saveText;
};

// A frame of the project structure, as the ERP's forms embed it.
class TFramePJStruktur final : public QFrame {
    Q_OBJECT
public:
    using QFrame::QFrame;
};

// A control that tells the designer which dataset it reads.
class TProviderEdit final : public QLineEdit, public TVoskDataSetProvider {
    Q_OBJECT
    Q_INTERFACES(TVoskDataSetProvider)
    Q_PROPERTY(TFieldByName _TableNameField MEMBER m_field)
public:
    QObject* GetDataSet() override { return m_data; }
    QObject* m_data = nullptr;
    TFieldByName m_field;
};

class TSettingsHolder final : public QObject {
    Q_OBJECT
    Q_PROPERTY(TVoskNestedEvents* _SettingsModulEvents MEMBER m_events)
public:
    TVoskNestedEvents* m_events = nullptr;
};

// A component with a named-SQL key, as the ERP's datasets have.
class TNamedSqlHolder final : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString _StandardSQL MEMBER m_sql)
public:
    QString m_sql;
};

class PropertyEditorsTest : public DbTest {
protected:
    void SetUp() override {
        qputenv("KORVEX_CONFIG", QFile::encodeName(m_dir.filePath(QStringLiteral("korvex.ini"))));
        QFile f(m_dir.filePath(QStringLiteral("korvex.ini")));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QStringLiteral("[Login]\nServer=1\nUsername=postgres\nPassword=\n[DB1]\nHost=%1\n"
                               "Port=5432\nDatabase=%2\n")
                    .arg(qEnvironmentVariable("PGHOST"), DatabaseName())
                    .toUtf8());
        f.close();
        ASSERT_TRUE(m_packages.Load(QStringLiteral("quibbet")));
    }
    void TearDown() override {
        if (m_pickerInstalled)
            Korvexcommonvcl::ModalForms::SetInstance(m_oldForms);
        m_packages.UnloadAll();
        qunsetenv("KORVEX_CONFIG");
    }
    std::unique_ptr<TPropertyEditor> Editor(QObject* component, const char* property) {
        const QMetaObject* mo = component->metaObject();
        return GetPropertyEditor(&m_designer, {component}, mo->property(mo->indexOfProperty(property)));
    }
    static QStringList Values(TPropertyEditor& editor) {
        QStringList values;
        editor.GetValues([&](const QString& v) { values << v; });
        return values;
    }

    void InstallPicker() {
        m_oldForms = Korvexcommonvcl::ModalForms::SetInstance(&m_user);
        m_pickerInstalled = true;
    }
    void Texts(int from, int to) {
        TestDatabase::Exec(QStringLiteral("INSERT INTO text0 (t_nr, t_feld0) SELECT n, 'Text ' || n "
                                          "FROM generate_series(%1, %2) n")
                               .arg(from)
                               .arg(to));
        DM1()->ReloadTextX();
    }
    void DropTexts() {
        TestDatabase::Exec(QStringLiteral("DELETE FROM text0 WHERE t_nr BETWEEN 80000 AND 80999"));
    }

    QTemporaryDir m_dir;
    TempRegistry m_registry;
    PickText m_user;
    Korvexcommonvcl::ModalForms* m_oldForms = nullptr;
    bool m_pickerInstalled = false;
    TIdeServices m_services;
    TIdePackages m_packages{m_services};
    DialogAnswerer m_answers;
    TFormIdeDemo m_form;
    TestDesigner m_designer{&m_form};
};

TEST_F(PropertyEditorsTest, PagesOfAPageControlInPageOrderUnnamedLeftOut) {
    auto editor = Editor(m_form.PageControlSeiten, "ActivePage");
    ASSERT_TRUE(editor);
    EXPECT_EQ(editor->GetAttributes(), paValueList);
    // A page moved to the end keeps its place there; an unnamed one is not offered.
    m_form.TabSheetKopf->SetPageControl(nullptr);
    m_form.TabSheetKopf->SetPageControl(m_form.PageControlSeiten);
    auto* unnamed = Vcl::Owned(&m_form, new TcxTabSheet);
    unnamed->SetPageControl(m_form.PageControlSeiten);
    EXPECT_EQ(Values(*editor),
              (QStringList{"TabSheetPositionen", "TabSheetNotizen", "TabSheetKopf"}));
    editor->SetValue(QStringLiteral("TabSheetKopf"));
    EXPECT_EQ(m_form.PageControlSeiten->ActivePage(), m_form.TabSheetKopf);
    EXPECT_EQ(m_designer.modified, 1);
}

TEST_F(PropertyEditorsTest, SplitterControlsFromParentOwnerChildrenOrForm) {
    auto editor = Editor(m_form.SplitterListe, "Control");
    ASSERT_TRUE(editor);
    EXPECT_EQ(editor->GetAttributes(), paValueList);
    EXPECT_EQ(editor->GetValue(), u"PanelListe");
    // The tab sheet owns nothing and has three children: its named children bar the splitter.
    EXPECT_EQ(Values(*editor), (QStringList{"PanelListe", "PanelDetail"}));

    // A panel owning its controls offers those; an unnamed or non-control component is skipped.
    QWidget panel;
    auto* left = Vcl::Owned(&panel, new QWidget(&panel), QStringLiteral("Links"));
    auto* splitter = Vcl::Owned(&panel, new TcxSplitter(&panel), QStringLiteral("Trenner"));
    Vcl::Owned(&panel, new QWidget(&panel));
    Vcl::Owned(&panel, new QObject, QStringLiteral("KeinControl"));
    Vcl::Owned(&panel, new QWidget(&panel), QStringLiteral("Rechts"));
    auto owned = GetPropertyEditor(&m_designer, {splitter}, editor->Property());
    EXPECT_EQ(Values(*owned), (QStringList{"Links", "Rechts"}));

    // A panel with only the splitter: the controls of the splitter's owner, the form.
    QWidget lonely;
    auto* alone = Vcl::Owned(&m_form, new TcxSplitter(&lonely), QStringLiteral("Allein"));
    auto formWide = GetPropertyEditor(&m_designer, {alone}, editor->Property());
    const QStringList all = Values(*formWide);
    EXPECT_TRUE(all.contains(u"EditName"));
    EXPECT_TRUE(all.contains(u"PanelDetail"));
    EXPECT_FALSE(all.contains(u"Allein"));
    EXPECT_FALSE(all.contains(u"Links")) << "not the form's";
    delete alone;
    Q_UNUSED(left);
}

TEST_F(PropertyEditorsTest, NamedSqlKeysOfThisVersionSorted) {
    ASSERT_TRUE(DM1() && DM1()->Connected());
    DM1()->Database().Exec(QStringLiteral(
        "INSERT INTO standardsql (ss_key, ss_sql) VALUES ('Zz.Test.B', 'SELECT 1'), "
        "('Zz.Test.A', 'SELECT 2')"));
    TNamedSqlHolder holder;
    auto editor = Editor(&holder, "_StandardSQL");
    ASSERT_TRUE(editor);
    EXPECT_EQ(editor->GetAttributes(), paValueList);
    const QStringList keys = Values(*editor);
    DM1()->Database().Exec(QStringLiteral("DELETE FROM standardsql WHERE ss_key LIKE 'Zz.Test.%'"));
    const int a = int(keys.indexOf(QStringLiteral("Zz.Test.A")));
    ASSERT_GE(a, 0);
    EXPECT_EQ(keys.indexOf(QStringLiteral("Zz.Test.B")), a + 1);
}

TEST_F(PropertyEditorsTest, TextNumberShowsItsTextAndTakesTheNumberBeforeColonOrComma) {
    Texts(80000, 80010);
    TTextNrEdit label;
    label.m_nr = 80004;
    auto editor = Editor(&label, "TextNr");
    ASSERT_TRUE(editor);
    EXPECT_EQ(editor->GetAttributes(), paDialog);
    EXPECT_EQ(editor->GetValue(), QStringLiteral("80004: Text 80004"));
    editor->SetValue(QStringLiteral("4711: irgendein Text"));
    EXPECT_EQ(label.m_nr, 4711);
    editor->SetValue(QStringLiteral("4712, Text: mit Doppelpunkt"));
    EXPECT_EQ(label.m_nr, 4712);
    editor->SetValue(QStringLiteral("  12  "));
    EXPECT_EQ(label.m_nr, 12);
    EXPECT_THROW(editor->SetValue(QStringLiteral("abc")), EConvertError);
    EXPECT_EQ(label.m_nr, 12) << "a failed conversion leaves the property";
    label.m_nr = 0;
    EXPECT_EQ(editor->GetValue(), QStringLiteral("0"));
    label.m_nr = -3;
    EXPECT_EQ(editor->GetValue(), QStringLiteral("-3"));

    // A property of the text-number type gets the editor whatever its name or class.
    auto typed = Editor(&label, "Titel");
    ASSERT_TRUE(typed);
    typed->SetValue(QStringLiteral("80003: x"));
    EXPECT_EQ(label.m_titel.nr, 80003);
    EXPECT_EQ(typed->GetValue(), QStringLiteral("80003: Text 80003"));
    DropTexts();
}

TEST_F(PropertyEditorsTest, TextNumberDialogPreselectsOrFiltersByTheControlText) {
    Texts(80100, 80105);
    InstallPicker();
    TTextNrEdit label(QStringLiteral("Text 8010"));
    label.m_nr = 80103;
    auto editor = Editor(&label, "TextNr");
    m_user.pick = 80105;
    editor->Edit();
    EXPECT_EQ(m_user.current, 80103) << "the value preselected";
    EXPECT_TRUE(m_user.doNotSave);
    EXPECT_EQ(m_user.filter, QString());
    EXPECT_EQ(label.m_nr, 80105);
    EXPECT_EQ(label.text(), QStringLiteral("Text 8010")) << "not used as filter";
    EXPECT_EQ(m_designer.modified, 2);

    // No number yet: the control's text is the filter, and cleared once a number is taken.
    label.m_nr = 0;
    editor->Edit();
    EXPECT_EQ(m_user.filter, QStringLiteral("Text 8010"));
    EXPECT_EQ(label.m_nr, 80105);
    EXPECT_EQ(label.text(), QString());
    // The caption names the database.
    EXPECT_EQ(m_user.caption, QStringLiteral("Übersetzung (Text0 > %1)").arg(DatabaseName()));

    // Closed without a number: nothing changes, the designer still hears of it.
    m_user.pick = 0;
    const int before = m_designer.modified;
    editor->Edit();
    EXPECT_EQ(label.m_nr, 80105);
    EXPECT_EQ(m_designer.modified, before + 1);
    DropTexts();
}

TEST_F(PropertyEditorsTest, HintFilterOnLinesXttReferenceAndShowHintRule) {
    Texts(80200, 80202);
    InstallPicker();
    // A button of a plain form: the reference goes in, ShowHint is switched on.
    auto* button = Vcl::Owned(&m_form, new QPushButton(&m_form), QStringLiteral("BtHint"));
    button->setToolTip(QStringLiteral("Suchen; Finden"));
    auto editor = Editor(button, "toolTip");
    ASSERT_TRUE(editor);
    EXPECT_FALSE(editor->GetAttributes() & paDialog) << "not on an ERP form or frame";
    m_user.pick = 80201;
    editor->Edit();
    EXPECT_EQ(m_user.filter, QStringLiteral("Suchen\nFinden"));
    EXPECT_EQ(button->toolTip(), QStringLiteral("xtt80201"));
    EXPECT_TRUE(Corvale::ShowHint(button));

    // A reference preselects its number; "xtt" with a letter after the digits is a filter.
    editor->Edit();
    EXPECT_EQ(m_user.current, 80201);
    EXPECT_EQ(m_user.filter, QString());
    button->setToolTip(QStringLiteral("xtt12a"));
    m_user.pick = 0;
    editor->Edit();
    EXPECT_EQ(m_user.filter, QStringLiteral("xtt12a"));

    // On a module window hints show by themselves: ShowHint stays as it was.
    TModulForm modul;
    auto* own = Vcl::Owned(&modul, new QPushButton(&modul), QStringLiteral("BtModul"));
    own->setToolTip(QStringLiteral("Modul"));
    auto onModul = GetPropertyEditor(&m_designer, {own}, editor->Property());
    EXPECT_TRUE(onModul->GetAttributes() & paDialog) << "owner is an ERP form";
    m_user.pick = 80202;
    onModul->Edit();
    EXPECT_EQ(own->toolTip(), QStringLiteral("xtt80202"));
    EXPECT_FALSE(Corvale::ShowHint(own));

    // A control on no form at all counts as not on a module window (and does not crash).
    QPushButton loose;
    loose.setToolTip(QStringLiteral("lose"));
    auto onNothing = GetPropertyEditor(&m_designer, {&loose}, editor->Property());
    onNothing->Edit();
    EXPECT_EQ(loose.toolTip(), QStringLiteral("xtt80202"));
    DropTexts();
}

TEST_F(PropertyEditorsTest, ActionCaptionIsAlwaysATextReference) {
    TVoskAction action(&m_form);
    action.setText(QStringLiteral("Speichern"));
    auto editor = Editor(&action, "text");
    ASSERT_TRUE(editor);
    EXPECT_TRUE(editor->GetAttributes() & paDialog);
    EXPECT_TRUE(dynamic_cast<Utext0editor::TXttProperty*>(editor.get()));
}

TEST_F(PropertyEditorsTest, TabSheetTagIsATextNumberButTheComponentsOwnSheetKeepsAPlainNumber) {
    auto cx = Editor(m_form.TabSheetKopf, "Tag");
    ASSERT_TRUE(cx);
    EXPECT_TRUE(dynamic_cast<Utext0editor::TText0Property*>(cx.get()));
    TVoskTabSheet own;
    auto plain = Editor(&own, "Tag");
    ASSERT_TRUE(plain);
    EXPECT_FALSE(dynamic_cast<Utext0editor::TText0Property*>(plain.get()));
    EXPECT_FALSE(plain->GetAttributes() & paDialog);
    plain->SetValue(QStringLiteral("42"));
    EXPECT_EQ(own.Tag(), 42);
}

TEST_F(PropertyEditorsTest, EveryComponentHasConnectAndTextVerbsAndTheTextVerbCopies) {
    Texts(80300, 80301);
    TestDatabase::Exec(QStringLiteral("UPDATE text0 SET t_feld0 = 'Zeile 1\nZeile 2' WHERE "
                                      "t_nr = 80301"));
    InstallPicker();
    auto verbs = GetComponentEditor(m_form.EditName, &m_designer);
    ASSERT_EQ(verbs->GetVerbCount(), 2);
    EXPECT_EQ(verbs->GetVerb(0), QStringLiteral("VoskConnect"));
    EXPECT_EQ(verbs->GetVerb(1), QStringLiteral("VoskText0"));
    EXPECT_EQ(verbs->GetVerb(2), QString());
    verbs->ExecuteVerb(0);
    EXPECT_TRUE(m_user.changeServer);
    m_user.pick = 80301;
    verbs->ExecuteVerb(1);
    EXPECT_EQ(m_user.saveText, QStringLiteral("K&opieren (Strg+S)"));
    EXPECT_EQ(m_answers.Text(), QStringLiteral("80301, 'Zeile 1'#10'Zeile 2'"));
    EXPECT_EQ(m_designer.modified, 0) << "the verb does not tell the designer";
    verbs->ExecuteVerb(7);
    EXPECT_EQ(m_user.runs, 2);
    DropTexts();
}

TEST_F(PropertyEditorsTest, CreateItemAfterTheSelectedItemAtTopLevelAndInASubmenu) {
    auto* menu = Vcl::Owned(&m_form, new TVoskPopupMenu(&m_form), QStringLiteral("pmTest"));
    TVoskMenuItem* a = menu->AddItem(QStringLiteral("A"));
    TVoskMenuItem* b = menu->AddItem(QStringLiteral("B"));
    QMenu* sub = menu->addMenu(QStringLiteral("Unter"));
    auto* c = new TVoskMenuItem(QStringLiteral("C"), sub);
    sub->addAction(c);
    auto editor = GetComponentEditor(a, &m_designer);
    ASSERT_EQ(editor->GetVerbCount(), 3);
    EXPECT_EQ(editor->GetVerb(2), QStringLiteral("Create Item"));
    editor->ExecuteVerb(2);
    ASSERT_EQ(menu->actions().size(), 4);
    EXPECT_EQ(menu->actions().at(0), a);
    EXPECT_EQ(menu->actions().at(1)->text(), QStringLiteral("new"));
    EXPECT_TRUE(qobject_cast<TVoskMenuItem*>(menu->actions().at(1)));
    EXPECT_EQ(Vcl::Owner(menu->actions().at(1)), &m_form) << "owned by the menu's owner";
    EXPECT_EQ(menu->actions().at(2), b);
    EXPECT_EQ(m_designer.modified, 1);

    GetComponentEditor(c, &m_designer)->ExecuteVerb(2);
    ASSERT_EQ(sub->actions().size(), 2);
    EXPECT_EQ(sub->actions().at(1)->text(), QStringLiteral("new"));
    EXPECT_EQ(menu->actions().size(), 4) << "the top level is left alone";

    TVoskMenuItem loose(QStringLiteral("Lose"));
    try {
        GetComponentEditor(&loose, &m_designer)->ExecuteVerb(2);
        ADD_FAILURE();
    } catch (const EVoskException& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("ParentMenu nicht ermittelbar ... unterstes "
                                              "Dummy-MenuItem selektiert?"));
    }
    const QMetaObject* cls = Vcl::FindClass(QStringLiteral("VoskMainMenu.TVoskMenuItem"));
    Vcl::UnRegisterClass(QStringLiteral("VoskMainMenu.TVoskMenuItem"));
    try {
        editor->ExecuteVerb(2);
        ADD_FAILURE();
    } catch (const EVoskException& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Klasse TVoskMenuItem nicht gefunden"));
    }
    Vcl::RegisterClass(QStringLiteral("VoskMainMenu.TVoskMenuItem"), cls);
}

TEST_F(PropertyEditorsTest, FieldNamesOfTheProvidedDatasetWithoutOpeningIt) {
    TVoskClass2 data;
    data.SetSqlTable(QStringLiteral("text0"));
    data.SetQuerySql(QStringLiteral("SELECT t_nr, t_feld0 FROM text0 WHERE t_nr > :von;"));
    data.SetParam(QStringLiteral("von"), 0);
    TProviderEdit edit;
    edit.m_data = &data;
    auto editor = Editor(&edit, "_TableNameField");
    ASSERT_TRUE(editor);
    EXPECT_EQ(editor->GetAttributes(), paValueList);
    EXPECT_EQ(Values(*editor), (QStringList{"t_nr", "t_feld0"}));
    EXPECT_FALSE(data.Active());
    editor->SetValue(QStringLiteral("t_feld0"));
    EXPECT_EQ(edit.m_field.name, QStringLiteral("t_feld0"));

    TProviderEdit second;
    auto both = GetPropertyEditor(&m_designer, {&edit, &second}, editor->Property());
    try {
        Values(*both);
        ADD_FAILURE();
    } catch (const EVoskException& e) {
        EXPECT_TRUE(e.Message().startsWith(QStringLiteral("Nur eine Komponente selektieren")));
    }
    QObject notData;
    edit.m_data = &notData;
    EXPECT_THROW(Values(*editor), EVoskException);
    edit.m_data = nullptr;
    EXPECT_THROW(Values(*editor), EVoskException) << "a provider without dataset";
}

TEST_F(PropertyEditorsTest, ProjectStructureFramesOfTheFormAndHiddenOrNestedProperties) {
    Vcl::Owned(&m_form, new TFramePJStruktur(&m_form), QStringLiteral("FrameProjekt"));
    Vcl::Owned(&m_form, new TFramePJStruktur(&m_form));
    Vcl::Owned(&m_form, new QFrame(&m_form), QStringLiteral("FrameAnders"));
    auto* data = Vcl::Owned(&m_form, new TVoskClass2, QStringLiteral("dcProjekt"));
    auto editor = Editor(data, "_FrameProjStructure");
    ASSERT_TRUE(editor);
    EXPECT_EQ(editor->GetAttributes(), paValueList);
    EXPECT_EQ(Values(*editor), QStringList{QStringLiteral("FrameProjekt")});

    // The column handler's references are set in code: not offered.
    TVoskGridViewColumnHandler handler;
    EXPECT_FALSE(Editor(&handler, "GridView"));
    EXPECT_FALSE(Editor(&handler, "DataSource"));
    EXPECT_FALSE(Editor(&handler, "PopupMenu"));
    EXPECT_TRUE(Editor(&handler, "FieldName"));

    TSettingsHolder holder;
    auto none = Editor(&holder, "_SettingsModulEvents");
    ASSERT_TRUE(none);
    EXPECT_TRUE(none->GetProperties().empty());
    TVoskNestedEvents events;
    holder.m_events = &events;
    auto nested = Editor(&holder, "_SettingsModulEvents");
    QStringList names;
    for (const auto& e : nested->GetProperties())
        names << e->GetName();
    EXPECT_EQ(names, (QStringList{"OnLoadSettings", "OnSaveSettings"}));
}

// A frame of a package the editors do not know, with the same pair of properties.
class TFremderRahmen final : public QFrame {
    Q_OBJECT
    Q_PROPERTY(bool _BtAutoRefresh MEMBER m_on)
    Q_PROPERTY(TAutoRefreshIntervalsProperty* _BtAutoRefresh_Intervals MEMBER m_intervals)
public:
    bool m_on = false;
    TAutoRefreshIntervalsProperty* m_intervals = new TAutoRefreshIntervalsProperty(this);
};

TEST_F(PropertyEditorsTest, AutoRefreshIntervalsNamedAndClosedWhileTheFrameOffersNoAutoRefresh) {
    // The header of the demo form offers none: shown closed, not editable.
    auto header = Editor(m_form.TopLabel, "_BtAutoRefresh_Intervals");
    ASSERT_TRUE(header);
    EXPECT_EQ(header->GetName(), u"Intervals");
    EXPECT_EQ(header->GetValue(), u"(not active)");
    const TPropertyAttributes closed = header->GetAttributes();
    EXPECT_TRUE(closed & paReadOnly);
    EXPECT_TRUE(closed & paDisplayReadOnly);
    EXPECT_FALSE(closed & (paSubProperties | paValueEditable));

    // The navigation frame does: its three intervals by name, as numbers.
    auto nav = Editor(m_form.FrameDBNavPositionen, "_BtAutoRefresh_Intervals");
    ASSERT_TRUE(nav);
    EXPECT_EQ(nav->GetValue(), u"(TAutoRefreshIntervalsProperty)");
    EXPECT_TRUE(nav->GetAttributes() & paSubProperties);
    QStringList names, values;
    auto subs = nav->GetProperties();
    for (const auto& e : subs) {
        names << e->GetName();
        values << e->GetValue();
    }
    EXPECT_EQ(names, (QStringList{"Short", "Medium", "Long"}));
    EXPECT_EQ(values, (QStringList{"300", "900", "3600"}));
    ASSERT_EQ(subs.size(), 3u);
    subs[1]->SetValue(QStringLiteral("600"));
    EXPECT_THROW(subs[2]->SetValue(QStringLiteral("lang")), EConvertError);
    const TAutoRefreshIntervalsProperty* iv =
        m_form.FrameDBNavPositionen->AutoRefreshIntervalsProperty();
    EXPECT_EQ(iv->FMedium, 600);
    EXPECT_EQ(iv->FLong, 3600);

    // The layout frame follows its own flag; a frame of any other class counts as active.
    EXPECT_NE(Editor(m_form.LayoutFrameNotizen, "_BtAutoRefresh_Intervals")->GetValue(),
              u"(not active)");
    m_form.LayoutFrameNotizen->SetBtAutoRefresh(false);
    EXPECT_EQ(Editor(m_form.LayoutFrameNotizen, "_BtAutoRefresh_Intervals")->GetValue(),
              u"(not active)");
    m_form.TopLabel->SetBtAutoRefresh(true);
    EXPECT_TRUE(Editor(m_form.TopLabel, "_BtAutoRefresh_Intervals")->GetAttributes() &
                paSubProperties);
    TFremderRahmen other;
    auto foreign = Editor(&other, "_BtAutoRefresh_Intervals");
    ASSERT_TRUE(foreign);
    EXPECT_EQ(foreign->GetName(), u"Intervals");
    EXPECT_TRUE(foreign->GetAttributes() & paSubProperties);
    // Plain numbers elsewhere keep their own names.
    EXPECT_EQ(Editor(m_form.EditName, "maxLength")->GetName(), u"maxLength");
}

// Stands for the SQL editor: notes what it was called with and answers with a prepared text.
struct SqlEditorCall {
    int calls = 0;
    QString title, sql;
    bool isDataSource = false;
    QString answer;
};
SqlEditorCall* g_sqlEditor = nullptr;

TEST_F(PropertyEditorsTest, SqlComponentEditorTogglesTheQueryAndEditsItsSqlOnlyWhenChanged) {
    SqlEditorCall call;
    g_sqlEditor = &call;
    RtlDialog::FEditSql.Set([](const QString& title, const QString& sql, bool isDataSource) {
        ++g_sqlEditor->calls;
        g_sqlEditor->title = title;
        g_sqlEditor->sql = sql;
        g_sqlEditor->isDataSource = isDataSource;
        return g_sqlEditor->answer;
    });
    auto* query = Vcl::Owned(&m_form, new TVoskClass2, QStringLiteral("QueryTexte"));
    query->SetSqlTable(QStringLiteral("text0"));
    query->SetKeyFieldName(QStringLiteral("t_nr"));
    const QString sql = QStringLiteral("SELECT t_nr, t_feld0 FROM text0 WHERE t_nr < 0");
    query->SetQuerySql(sql + QStringLiteral("  \n"));
    auto* source = Vcl::Owned(&m_form, new Vcl::TDataSource(&m_form), QStringLiteral("DSTexte"));
    source->SetDataSet(query);

    Upropertyeditors::TVoskSQLComponentEditor onQuery(query, &m_designer);
    Upropertyeditors::TVoskSQLComponentEditor onSource(source, &m_designer);
    EXPECT_EQ(onQuery.GetVerbCount(), 2);
    EXPECT_EQ(onQuery.GetVerb(0), u"Aktivieren");
    EXPECT_EQ(onQuery.GetVerb(1), u"Edit SQL");
    EXPECT_TRUE(onQuery.GetVerb(2).isEmpty());
    onQuery.ExecuteVerb(0);
    EXPECT_TRUE(query->Active());
    EXPECT_EQ(m_designer.modified, 1);
    EXPECT_EQ(onSource.GetVerb(0), u"Deaktivieren");
    onSource.ExecuteVerb(0);
    EXPECT_FALSE(query->Active());
    EXPECT_EQ(onQuery.GetVerb(0), u"Aktivieren");

    // Only trailing blanks added: the SQL is left as it was, the designer not told.
    call.answer = sql + QStringLiteral("   ");
    onQuery.ExecuteVerb(1);
    EXPECT_EQ(call.calls, 1);
    EXPECT_EQ(call.title, u"TVoskClass2.SQL: QueryTexte");
    EXPECT_EQ(call.sql, sql);
    EXPECT_FALSE(call.isDataSource);
    EXPECT_EQ(query->QuerySql(), sql + QStringLiteral("  \n"));
    EXPECT_EQ(m_designer.modified, 2);

    call.answer = QStringLiteral("SELECT t_nr FROM text0");
    onSource.Edit();
    EXPECT_EQ(call.title, u"TDataSource.SQL: DSTexte");
    EXPECT_TRUE(call.isDataSource);
    EXPECT_EQ(query->QuerySql(), call.answer);
    EXPECT_EQ(m_designer.modified, 3);

    // Named SQL has no text of its own; a component without a query offers nothing to edit.
    TServSQL2 named;
    Upropertyeditors::TVoskSQLComponentEditor(&named, &m_designer).Edit();
    Upropertyeditors::TVoskSQLComponentEditor(m_form.EditName, &m_designer).ExecuteVerb(1);
    Upropertyeditors::TVoskSQLComponentEditor(m_form.EditName, &m_designer).ExecuteVerb(0);
    EXPECT_EQ(call.calls, 2);
    EXPECT_EQ(m_designer.modified, 3);
    // Not registered: components keep the two verbs of every component.
    EXPECT_EQ(GetComponentEditor(query, &m_designer)->GetVerb(0), u"VoskConnect");
    RtlDialog::FEditSql.Reset();
    g_sqlEditor = nullptr;
}

// The IDE's own window with Quibbet loaded: what the developer sees of the demo form's header.
TEST_F(PropertyEditorsTest, InTheIdeTheHeaderShowsItsTextNumberOpensThePickerAndHasTheVerbs) {
    RegisterDesignClass(&TFormIdeDemo::staticMetaObject);
    TIdeMainForm main(m_services);
    main.resize(1400, 860);
    ASSERT_TRUE(main.OpenForm(QStringLiteral("TFormIdeDemo")));
    auto* form = qobject_cast<TFormIdeDemo*>(main.DesignedForm());
    ASSERT_NE(form, nullptr);
    main.Designer().Select(form->TopLabel);
    auto row = [&](const QString& name) -> QTreeWidgetItem* {
        const auto items = main.Inspector->findItems(name, Qt::MatchExactly | Qt::MatchRecursive);
        return items.isEmpty() ? nullptr : items.first();
    };
    QTreeWidgetItem* textNr = row(QStringLiteral("_TextNr"));
    ASSERT_NE(textNr, nullptr);
    QWidget* box = main.Inspector->itemWidget(textNr, 1);
    ASSERT_NE(box, nullptr);
    auto* edit = box->findChild<QLineEdit*>();
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->text(), QStringLiteral("40001: ") + makeText(40001, QStringLiteral("*")));
    InstallPicker();
    box->findChild<QToolButton*>()->click();
    EXPECT_EQ(m_user.runs, 1);
    EXPECT_TRUE(main.Designer().IsModified());

    // The header offers no auto refresh: its intervals are closed.
    main.Designer().Select(form->TopLabel);
    QTreeWidgetItem* intervals = row(QStringLiteral("Intervals"));
    ASSERT_NE(intervals, nullptr);
    EXPECT_EQ(intervals->text(1), u"(not active)");
    EXPECT_EQ(intervals->childCount(), 0);
    main.Designer().Select(form->FrameDBNavPositionen);
    intervals = row(QStringLiteral("Intervals"));
    ASSERT_NE(intervals, nullptr);
    ASSERT_EQ(intervals->childCount(), 3);
    EXPECT_EQ(intervals->child(0)->text(0), u"Short");

    for (QObject* c : {static_cast<QObject*>(form->TopLabel), static_cast<QObject*>(form->EditName),
                       static_cast<QObject*>(form->ActionSpeichern)}) {
        const QStringList verbs = main.Verbs(c);
        EXPECT_TRUE(verbs.contains(QStringLiteral("VoskConnect"))) << verbs.join(',').toStdString();
        EXPECT_TRUE(verbs.contains(QStringLiteral("VoskText0")));
    }
    EXPECT_EQ(main.Verbs(form->MenuItemNeu).value(2), u"Create Item");
}

// ---- the connection settings ------------------------------------------------------------------

class ChangeServerTest : public PropertyEditorsTest {
protected:
    TVoskBaseConfiguration& Config() { return DM1()->Configuration(); }
    QString Read(const QString& section, const QString& key) {
        return Config().Read(section, key, QStringLiteral("<fehlt>")).toString();
    }
    static void KeyUp(QWidget* w, int key, Qt::KeyboardModifiers mods) {
        QKeyEvent e(QEvent::KeyRelease, key, mods);
        QCoreApplication::sendEvent(w, &e);
    }
};

TEST_F(ChangeServerTest, SavingRootStoresNoLoginAndOnlyNamedServersAreOfferedOrSaved) {
    Config().Write(QStringLiteral("DB1"), QStringLiteral("Name"), QStringLiteral("Test"));
    Config().Write(QStringLiteral("DB7"), QStringLiteral("HOST"), QStringLiteral("anderswo"));
    TFormChangeServer form;
    form.FormShow();
    form.BuildServerMenu(form.btIDEServer);
    QStringList items;
    for (QAction* a : form.pmIDEServer->actions())
        items << QStringLiteral("%1=%2").arg(a->data().toInt()).arg(a->text());
    EXPECT_EQ(items, (QStringList{"0=Standardconnection oder zu anderer DB verbinden",
                                  "1=DB1 = Test"}));
    form.BuildServerMenu(form.btRUNServer);
    EXPECT_EQ(form.pmIDEServer->actions().first()->text(), QStringLiteral("kein Autologin"));
    form.miServerClick(form.pmIDEServer->actions().at(1));
    EXPECT_EQ(form.edRUNServer->text(), QStringLiteral("DB1"));

    form.edIDEServer->setText(QStringLiteral("DB7"));
    form.edIDEUsername->setText(QStringLiteral("root"));
    form.edIDEPassword->setText(QStringLiteral("geheim"));
    form.btIDESaveClick();
    EXPECT_EQ(Read(QStringLiteral("Login"), QStringLiteral("Server")), QString())
        << "DB7 has no Name";
    EXPECT_EQ(Read(QStringLiteral("Login"), QStringLiteral("Username")), QString());
    EXPECT_EQ(Read(QStringLiteral("Login"), QStringLiteral("Password")), QString());
    form.edIDEServer->setText(QStringLiteral("DB1"));
    form.edIDEUsername->setText(QStringLiteral("anna"));
    form.btIDESaveClick();
    EXPECT_EQ(Read(QStringLiteral("Login"), QStringLiteral("Server")), QStringLiteral("1"));
    EXPECT_EQ(Read(QStringLiteral("Login"), QStringLiteral("Username")), QStringLiteral("anna"));
    EXPECT_EQ(Read(QStringLiteral("Login"), QStringLiteral("Password")), QStringLiteral("geheim"));
}

TEST_F(ChangeServerTest, ServerEditShowsTheSectionOnlyWhileTheConnectionMatchesIt) {
    Config().Write(QStringLiteral("DB1"), QStringLiteral("Name"), QStringLiteral("Test"));
    {
        TFormChangeServer form;
        form.FormShow();
        EXPECT_EQ(form.edIDEServer->text(), QStringLiteral("DB1"));
        EXPECT_FALSE(form.edIDEHost->isEnabled());
        EXPECT_EQ(form.edIDEHost->text(), qEnvironmentVariable("PGHOST"));
        // Emptied, the server edit frees and clears the server fields.
        form.edIDEServer->clear();
        EXPECT_TRUE(form.edIDEHost->isEnabled());
        EXPECT_EQ(form.edIDEHost->text(), QString());
    }
    // Connected elsewhere than the section says: no server shown.
    Config().Write(QStringLiteral("DB1"), QStringLiteral("DATABASE"), QStringLiteral("andere"));
    TFormChangeServer form;
    form.FormShow();
    EXPECT_EQ(form.edIDEServer->text(), QString());
    EXPECT_EQ(form.edIDEDatabase->text(), DatabaseName());
    EXPECT_TRUE(form.edIDEHost->isEnabled());
}

TEST_F(ChangeServerTest, RunHalfLoginNeedsAHostAndCtrlSSavesBothHalvesInOrder) {
    Config().Write(QStringLiteral("DB2"), QStringLiteral("Name"), QStringLiteral("Start"));
    Config().Write(QStringLiteral("DB2"), QStringLiteral("HOST"), QStringLiteral("srv"));
    Config().Write(QStringLiteral("IDE"), QStringLiteral("Username"), QStringLiteral("max"));
    Config().Write(QStringLiteral("IDE"), QStringLiteral("NoCheckUpdates"), QStringLiteral("T"));
    TFormChangeServer form;
    form.FormShow();
    EXPECT_EQ(form.edRUNServer->text(), QString());
    EXPECT_EQ(form.edRUNUsername->text(), QStringLiteral("max"));
    EXPECT_TRUE(form.cbNoCheckUpdates->isChecked());
    EXPECT_FALSE(form.cbIgnoreMessages->isChecked());
    EXPECT_FALSE(form.edRUNUsername->isEnabled()) << "no host, no login";
    form.btRUNSaveClick();
    EXPECT_EQ(Read(QStringLiteral("IDE"), QStringLiteral("Username")), QString());

    form.edRUNServer->setText(QStringLiteral("DB2"));
    EXPECT_EQ(form.edRUNHost->text(), QStringLiteral("srv"));
    EXPECT_EQ(form.edRUNDatabase->text(), QStringLiteral("KORVEX"));
    EXPECT_TRUE(form.edRUNUsername->isEnabled());
    form.edRUNUsername->setText(QStringLiteral("moritz"));
    form.cbIgnoreMessages->setChecked(true);
    // A bad upper server edit stops Ctrl+S before anything of it is written.
    form.edIDEServer->setText(QStringLiteral("DBx"));
    form.edIDEUsername->setText(QStringLiteral("erna"));
    QStringList shown;
    Rtl::ClientErrorDisplay.Set([&](std::exception_ptr e, QObject*) {
        try {
            std::rethrow_exception(e);
        } catch (const EVoskException& x) {
            shown << x.Message();
        }
    });
    KeyUp(&form, Qt::Key_S, Qt::ControlModifier);
    Rtl::ClientErrorDisplay.Reset();
    EXPECT_EQ(shown, QStringList{QStringLiteral("'x' ist kein gültiger Integerwert")});
    EXPECT_EQ(Read(QStringLiteral("Login"), QStringLiteral("Username")), QStringLiteral("postgres"));
    EXPECT_EQ(Read(QStringLiteral("IDE"), QStringLiteral("Server")), QString());
    form.edIDEServer->clear();
    KeyUp(&form, Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(Read(QStringLiteral("Login"), QStringLiteral("Username")), QStringLiteral("erna"));
    EXPECT_EQ(Read(QStringLiteral("IDE"), QStringLiteral("Server")), QStringLiteral("2"));
    EXPECT_EQ(Read(QStringLiteral("IDE"), QStringLiteral("Username")), QStringLiteral("moritz"));
    EXPECT_EQ(Read(QStringLiteral("IDE"), QStringLiteral("NoCheckUpdates")), QStringLiteral("T"));
    EXPECT_EQ(Read(QStringLiteral("IDE"), QStringLiteral("IgnoreMessages")), QStringLiteral("T"));
}

TEST_F(ChangeServerTest, ConnectAndDisconnectWithTheTimersStates) {
    TFormChangeServer form;
    form.FormShow();
    EXPECT_FALSE(form.lbIDEConnected->isHidden());
    EXPECT_TRUE(form.btIDEDisconnect->isEnabled());
    EXPECT_FALSE(form.btIDEConnect->isEnabled()) << "connected to what the edits say";
    form.edIDEDatabase->setText(QStringLiteral("postgres"));
    form.tiIDEConnectedTimer();
    EXPECT_TRUE(form.btIDEConnect->isEnabled());
    form.edIDEDatabase->setText(DatabaseName());
    form.tiIDEConnectedTimer();
    EXPECT_FALSE(form.btIDEConnect->isEnabled());

    form.btIDEDisconnectClick();
    EXPECT_FALSE(DM1()->Connected());
    EXPECT_TRUE(form.lbIDEConnected->isHidden());
    EXPECT_FALSE(form.btIDEDisconnect->isEnabled());
    EXPECT_TRUE(form.btIDEConnect->isEnabled());

    // A database that is not there: the error, DM1 left disconnected.
    form.edIDEDatabase->setText(QStringLiteral("gibt_es_nicht"));
    EXPECT_THROW(form.btIDEConnectClick(), EVoskException);
    EXPECT_FALSE(DM1()->Connected());
    EXPECT_TRUE(form.lbIDEConnected->isHidden());

    form.edIDEDatabase->setText(DatabaseName());
    form.btIDEConnectClick();
    EXPECT_TRUE(DM1()->Connected());
    EXPECT_FALSE(form.lbIDEConnected->isHidden());
    EXPECT_FALSE(form.btIDEConnect->isEnabled());
}

TEST(ChangeServerLogin, EmptyUserIsRootWithTheDefaultPasswordElseTheEdits) {
    const auto root = TFormChangeServer::EffectiveLogin(QString(), QStringLiteral("egal"));
    EXPECT_EQ(root.user, QStringLiteral("root"));
    EXPECT_EQ(root.password, TQuibbetModul::DefaultPassword());
    const auto typed = TFormChangeServer::EffectiveLogin(QStringLiteral("root"), QStringLiteral("x"));
    EXPECT_EQ(typed.user, QStringLiteral("root"));
    EXPECT_EQ(typed.password, QStringLiteral("x"));
}

} // namespace

#include "PropertyEditorsTest.moc"

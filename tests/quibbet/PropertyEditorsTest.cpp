// The ERP's value-list editors, reached through the IDE's registry after loading Quibbet into the
// host, on the demo form and on the suite's database.
#include "DialogAnswerer.h"
#include "TestDatabase.h"

#include "IdePackages.h"
#include "IdeServices.h"
#include "TFormIdeDemo.h"

#include "DesignEditors.h"
#include "UDM1.h"
#include "Vcl.Components.h"
#include "Vcl.Registry.h"
#include "VoskDatabase.h"
#include "cxPC.h"
#include "cxSplitter.h"

#include <QFile>
#include <QTemporaryDir>

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

    QTemporaryDir m_dir;
    TempRegistry m_registry;
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
    EXPECT_EQ(Values(*editor), (QStringList{"TabSheetPositionen", "TabSheetKopf"}));
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

} // namespace

#include "PropertyEditorsTest.moc"

// Stored layouts of the planning board's view against the private cluster: the global fall-back,
// resetting fields, the state after saving and moving, the refusals, a failed post, the name
// overloads, bytes that are not a layout, two writers of one key, and grouped columns.
#include "UPlantafel.GridViewCustomDS.h"

#include "DialogAnswerer.h"
#include "TestDatabase.h"
#include "UDM1.h"
#include "UDataModul_Dunmere.h"
#include "Uloghelper.h"
#include "VoskGridLayoutCache.h"

#include <QVBoxLayout>

#include <gtest/gtest.h>

using testsupport::DbTest;
using testsupport::DialogAnswerer;
using testsupport::TestDatabase;

namespace {

class TFormLayoutTest final : public QWidget {
    Q_OBJECT
};

class GridLayoutTest : public DbTest {
protected:
    void SetUp() override {
        m_dm.Connect();
        TestDatabase::Exec(QStringLiteral(
            "DELETE FROM gridlayout;"
            "INSERT INTO mitarbeiter (mitnr, m_login, m_admin) VALUES (1, 'chefin', true), "
            "(2, 'mueller', false), (3, 'schmidt', false) ON CONFLICT (mitnr) DO NOTHING"));
        Login(QStringLiteral("chefin"));
        m_dmSys = TVoskDM_Dunmere::ModulInitialize(nullptr);
        TLogSink::Clear();
        m_view = MakeView();
    }
    void TearDown() override {
        delete m_dmSys;
        TestDatabase::Exec(QStringLiteral("DELETE FROM gridlayout"));
    }
    void Login(const QString& login) { m_dm.SetLoginName(login); }

    // Columns: a, b (data), an unnamed data column, c (calculated), d (aggregate), e (data);
    // bands "Eins" and "Zwei".
    TVoskGridViewCustomDS* MakeView() {
        auto* view = new TVoskGridViewCustomDS(&m_form);
        view->setObjectName(QStringLiteral("ViewPlan"));
        m_form.layout()->addWidget(view->Control());
        view->AddBand(QStringLiteral("Eins"));
        view->AddBand(QStringLiteral("Zwei"));
        const std::pair<const char*, TFieldKind> cols[] = {{"a", fkData},      {"b", fkData},
                                                           {"", fkData},       {"c", fkCalculated},
                                                           {"d", fkAggregate}, {"e", fkData}};
        int n = 0;
        for (const auto& [field, kind] : cols) {
            Grid::GridBandedColumn& c = view->CreateColumn(QStringLiteral("Col%1").arg(n++));
            view->Binding(c).SetFieldName(QString::fromLatin1(field));
            view->Binding(c).SetFieldKind(kind);
        }
        return view;
    }
    static QStringList Shown(TVoskGridViewCustomDS* view) {
        QStringList names;
        for (Grid::GridBandedColumn* c : view->ShownColumns())
            names << c->Name;
        return names;
    }
    static int Rows() {
        return TestDatabase::Scalar(QStringLiteral("SELECT count(*) FROM gridlayout")).toInt();
    }
    static QString Table() {
        return TestDatabase::Scalar(
            QStringLiteral("SELECT coalesce(string_agg(il_group || '/' || il_item || '/' || "
                           "coalesce(gl_minr::text, "
                           "'-') || '/' || gl_deleted || '/' || md5(gl_data), ';' ORDER BY gl_id), "
                           "'') FROM gridlayout"));
    }

    TDM1 m_dm;
    TVoskDM_Dunmere* m_dmSys = nullptr;
    TFormLayoutTest m_form{};
    TVoskGridViewCustomDS* m_view = nullptr;

public:
    GridLayoutTest() { new QVBoxLayout(&m_form); }
};

TEST_F(GridLayoutTest, UserWithoutPrivateLayoutGetsTheGlobalOne) {
    EXPECT_EQ(m_view->FormClassName(), QStringLiteral("TFormLayoutTest"));
    m_view->MoveColumn(*m_view->ColumnByName(QStringLiteral("Col0")), 1, 0);
    ASSERT_TRUE(m_view->SaveLayout(true, true));
    EXPECT_EQ(TestDatabase::Scalar(QStringLiteral(
                  "SELECT il_group || '/' || il_item || '/' || (gl_minr IS NULL) || '/' || "
                  "gl_deleted FROM gridlayout")),
              QStringLiteral("TFormLayoutTest/ViewPlan/true/false"));

    Login(QStringLiteral("mueller"));
    TVoskGridViewCustomDS* other = MakeView();
    EXPECT_TRUE(other->LoadLayout(false, true));
    EXPECT_EQ(other->LoadetGridLayout(), QStringLiteral("Global"));
    EXPECT_EQ(other->property("_LoadetGridLayout").toString(), QStringLiteral("Global"));
    EXPECT_EQ(other->ColumnByName(QStringLiteral("Col0"))->BandIndex, 1);
    EXPECT_EQ(other->GetLayoutState(), TLayoutState(glsGlobalLayout));

    // Her own layout wins once she has one.
    other->Column(0).Visible = false;
    ASSERT_TRUE(other->SaveLayout(false, true));
    TVoskGridViewCustomDS* third = MakeView();
    EXPECT_TRUE(third->LoadLayout(false, false));
    EXPECT_EQ(third->LoadetGridLayout(), QStringLiteral("Local"));
    EXPECT_EQ(Rows(), 2);
}

TEST_F(GridLayoutTest, ResetFieldsWithoutStoredLayoutShowsNamedDataFieldsInCreationOrder) {
    auto scramble = [&] {
        m_view->SetColumnIndex(m_view->Column(0), 5);
        m_view->MoveColumn(*m_view->ColumnByName(QStringLiteral("Col5")), 0, 0);
        m_view->ColumnByName(QStringLiteral("Col1"))->Visible = false;
        m_view->Changed();
    };
    // Empty cache: nothing can load, the fields are reset all the same.
    scramble();
    EXPECT_FALSE(m_view->LoadLayout(false, true));
    EXPECT_EQ(Shown(m_view), (QStringList{"Col0", "Col1", "Col5"}));
    EXPECT_EQ(m_view->Column(0).Name, QStringLiteral("Col0"));
    EXPECT_TRUE(m_view->LoadetGridLayout().isEmpty());

    // A cache holding only another form's layout: the same.
    TestDatabase::Exec(QStringLiteral("INSERT INTO gridlayout (il_group, il_item, gl_data) "
                                      "VALUES ('TFormAnders', 'ViewPlan', '\\x00')"));
    m_dmSys->ReloadCache(TVoskGridLayoutCache::CacheName());
    scramble();
    EXPECT_FALSE(m_view->LoadLayout(false, true));
    EXPECT_EQ(Shown(m_view), (QStringList{"Col0", "Col1", "Col5"}));
    // Without reset nothing moves.
    scramble();
    EXPECT_FALSE(m_view->LoadLayout(false, false));
    EXPECT_EQ(Shown(m_view), (QStringList{"Col5", "Col0"}));
}

TEST_F(GridLayoutTest, SavedLayoutIsUnmodifiedUntilAColumnMoves) {
    // Another user's differing layout under the same name does not count against ours.
    Login(QStringLiteral("schmidt"));
    TVoskGridViewCustomDS* theirs = MakeView();
    theirs->Column(1).Width = 222;
    ASSERT_TRUE(theirs->SaveLayout(false, true));

    Login(QStringLiteral("mueller"));
    ASSERT_TRUE(m_view->SaveLayout(false, true));
    EXPECT_EQ(m_view->LoadetGridLayout(), QStringLiteral("Local"));
    EXPECT_EQ(m_view->GetLayoutState(), TLayoutState(glsUserLayout));

    m_view->MoveColumn(*m_view->ColumnByName(QStringLiteral("Col1")), 1, 0);
    EXPECT_EQ(m_view->GetLayoutState(), glsUserLayout | glsModifiedLayout);
    ASSERT_TRUE(m_view->SaveLayout(false, true));
    EXPECT_EQ(m_view->GetLayoutState(), TLayoutState(glsUserLayout));
    EXPECT_EQ(Rows(), 2); // saved again into its row

    // Nothing loaded in a new view, but a layout is there for it.
    TVoskGridViewCustomDS* fresh = MakeView();
    EXPECT_TRUE(fresh->GetLayoutState() & glsNoLayoutLoaded);
}

TEST_F(GridLayoutTest, GroupingIsSavedLoadedAndCountsAsAChange) {
    m_view->SetGroupIndex(*m_view->ColumnByName(QStringLiteral("Col1")), 0);
    ASSERT_TRUE(m_view->SaveLayout(false, true));
    EXPECT_EQ(m_view->GetLayoutState(), TLayoutState(glsUserLayout));
    m_view->SetGroupIndex(*m_view->ColumnByName(QStringLiteral("Col1")), -1);
    EXPECT_EQ(m_view->GetLayoutState(), glsUserLayout | glsModifiedLayout);

    TVoskGridViewCustomDS* other = MakeView();
    ASSERT_TRUE(other->LoadLayout(false, true));
    ASSERT_EQ(other->GroupedColumns().size(), 1u);
    EXPECT_EQ(other->GroupedColumns()[0]->Name, QStringLiteral("Col1"));
    EXPECT_FALSE(Shown(other).contains(QStringLiteral("Col1"))); // its values are in group rows
    EXPECT_EQ(other->GetLayoutState(), TLayoutState(glsUserLayout));
    // Loading the stored layout back ungroups what was grouped since.
    m_view->SetGroupIndex(*m_view->ColumnByName(QStringLiteral("Col5")), 0);
    ASSERT_TRUE(m_view->LoadLayout(false, false));
    ASSERT_EQ(m_view->GroupedColumns().size(), 1u);
    EXPECT_EQ(m_view->GroupedColumns()[0]->Name, QStringLiteral("Col1"));
}

TEST_F(GridLayoutTest, RefusalsShowTheirMessageAndLeaveTheTableAlone) {
    Login(QStringLiteral("chefin"));
    ASSERT_TRUE(m_view->SaveLayout(true, true));
    const QString before = Table();
    {
        DialogAnswerer answerer;
        // A login without a user row cannot keep a private layout.
        Login(QStringLiteral("gast"));
        answerer.Expect(QStringLiteral("Benutzer ohne Login können keine privaten Filter/Layouts "
                                       "anlegen."),
                        Vcl::mrOk);
        m_view->Column(0).Width = 77;
        EXPECT_FALSE(m_view->SaveLayout(false, true));
        ASSERT_EQ(answerer.Questions().size(), 1u);
        EXPECT_TRUE(answerer.Questions()[0].text.contains(QStringLiteral(
            "ViewPlan.GridLayoutSave\r\nCurrentUser: LoginName=gast MitNr=0 Database=")));
        // Global save and global delete need the administrator.
        Login(QStringLiteral("mueller"));
        answerer.Expect(QStringLiteral("Zugriff verweigert"), Vcl::mrOk);
        EXPECT_FALSE(m_view->SaveLayout(true, true));
        answerer.Expect(QStringLiteral("Zugriff verweigert"), Vcl::mrOk);
        EXPECT_FALSE(m_view->DeleteLayout(true, true));
    }
    EXPECT_EQ(Table(), before);
    EXPECT_EQ(m_view->LoadetGridLayout(), QStringLiteral("Global")); // from the first save
    EXPECT_TRUE(m_view->GetLayoutState() & glsModifiedLayout);
    // Without the check the same user may.
    EXPECT_TRUE(m_view->DeleteLayout(true, false));
    EXPECT_EQ(Rows(), 0);
}

TEST_F(GridLayoutTest, DeletingTheLoadedKeyForgetsItAndLeavesTheOtherKindLoaded) {
    ASSERT_TRUE(m_view->SaveLayout(true, true));
    ASSERT_TRUE(m_view->SaveLayout(false, true));
    ASSERT_EQ(m_view->LoadetGridLayout(), QStringLiteral("Local"));
    // Deleting the global row leaves her own layout loaded.
    EXPECT_TRUE(m_view->DeleteLayout(true, true));
    EXPECT_EQ(m_view->LoadetGridLayout(), QStringLiteral("Local"));
    EXPECT_TRUE(m_view->GetLayoutState() & glsUserLayout);

    TVoskGridViewCustomDS* other = MakeView();
    ASSERT_TRUE(other->LoadLayout(false, false));
    EXPECT_TRUE(m_view->DeleteLayout(false, true));
    EXPECT_EQ(m_view->LoadetGridLayout(), QString());
    EXPECT_TRUE(m_view->LoadetGridLayoutData().isEmpty());
    EXPECT_EQ(m_view->GetLayoutState() & (glsUserLayout | glsGlobalLayout | glsNoLayoutLoaded),
              TLayoutState());
    // A view that had the same key loaded finds the row gone and lets go of it too.
    EXPECT_FALSE(other->DeleteLayout(false, true));
    EXPECT_EQ(other->LoadetGridLayout(), QString());
    EXPECT_EQ(Rows(), 0);
}

TEST_F(GridLayoutTest, FailedPostLeavesTheEarlierState) {
    ASSERT_TRUE(m_view->SaveLayout(false, true));
    const QByteArray saved = m_view->LoadetGridLayoutData();
    TestDatabase::Exec(
        QStringLiteral("CREATE FUNCTION gridlayout_refuse() RETURNS trigger LANGUAGE plpgsql AS "
                       "$$BEGIN RAISE EXCEPTION 'kein Platz'; END$$;"
                       "CREATE TRIGGER gridlayout_refuse BEFORE INSERT OR UPDATE ON gridlayout "
                       "FOR EACH ROW EXECUTE FUNCTION gridlayout_refuse()"));
    const QString before = Table();
    m_view->Column(0).Width = 55;
    EXPECT_FALSE(m_view->SaveLayout(true, false));
    EXPECT_FALSE(m_view->SaveLayout(false, true));
    TestDatabase::Exec(QStringLiteral("DROP TRIGGER gridlayout_refuse ON gridlayout;"
                                      "DROP FUNCTION gridlayout_refuse()"));
    EXPECT_EQ(Table(), before);
    EXPECT_EQ(m_view->LoadetGridLayout(), QStringLiteral("Local"));
    EXPECT_EQ(m_view->LoadetGridLayoutData(), saved);
    EXPECT_TRUE(TLogSink::Contains(QStringLiteral("ViewPlan.SaveLayout")));
    EXPECT_EQ(m_dmSys->GridLayoutCache().State(), TVoskGridLayoutCache::dsBrowse);
    EXPECT_EQ(m_view->GetLayoutState(), glsUserLayout | glsModifiedLayout);
}

TEST_F(GridLayoutTest, NameOverloadsPutTheNameBackAlsoOnError) {
    m_view->SetLayoutSaveName(QStringLiteral("Haupt"));
    ASSERT_TRUE(m_view->SaveLayout(QStringLiteral("Neben"), false, true));
    EXPECT_EQ(m_view->property("_LayoutSaveName").toString(), QStringLiteral("Haupt"));
    EXPECT_EQ(TestDatabase::Scalar(QStringLiteral("SELECT il_item FROM gridlayout")),
              QStringLiteral("Neben"));

    // Damaged bytes under "Kaputt": an error, handed on and logged; nothing claimed or changed.
    TestDatabase::Exec(QStringLiteral(
        "INSERT INTO gridlayout (il_group, il_item, gl_minr, gl_data) VALUES "
        "('TFormLayoutTest', 'Kaputt', 1, 'TPF0\\001binär'::bytea), "
        "('TFormLayoutTest', 'Neuer', 1, convert_to('{\"v\":7,\"view\":\"TFormLayoutTest\","
        "\"bands\":[],\"columns\":[]}', 'UTF8'))"));
    m_dmSys->ReloadCache(TVoskGridLayoutCache::CacheName());
    QByteArray before;
    m_view->GetLayoutData(before);
    const QString loadedBefore = m_view->LoadetGridLayout();
    for (const QString& name : {QStringLiteral("Kaputt"), QStringLiteral("Neuer")}) {
        TLogSink::Clear();
        EXPECT_FALSE(m_view->LoadLayout(name, false, true)) << name.toStdString();
        EXPECT_EQ(m_view->LayoutSaveName(), QStringLiteral("Haupt"));
        EXPECT_EQ(m_view->LoadetGridLayout(), loadedBefore);
        QByteArray after;
        m_view->GetLayoutData(after);
        EXPECT_EQ(after, before);
        EXPECT_TRUE(TLogSink::Contains(QStringLiteral("ViewPlan.LoadLayout")));
    }
    // The next save replaces the bad bytes.
    ASSERT_TRUE(m_view->SaveLayout(QStringLiteral("Kaputt"), false, true));
    EXPECT_TRUE(m_view->LoadLayout(QStringLiteral("Kaputt"), false, false));
    EXPECT_TRUE(m_view->DeleteLayout(QStringLiteral("Neuer"), false, true));
    EXPECT_EQ(m_view->LayoutSaveName(), QStringLiteral("Haupt"));
    EXPECT_EQ(Rows(), 2);
}

TEST_F(GridLayoutTest, TwoWritersOfOneKeyMeetInOneRowAndTheLastWins) {
    TVoskGridLayoutCache stale;
    stale.Refresh(); // read before the view saves
    ASSERT_TRUE(m_view->SaveLayout(false, true));
    stale.Insert();
    stale.SetFieldValue(QStringLiteral("il_group"), QStringLiteral("tformlayouttest"));
    stale.SetFieldValue(QStringLiteral("il_item"), QStringLiteral("VIEWPLAN"));
    stale.SetFieldValue(QStringLiteral("gl_minr"), 1);
    stale.SetFieldValue(QStringLiteral("gl_data"), QByteArray("zuletzt"));
    stale.Post();
    EXPECT_EQ(Rows(), 1);
    EXPECT_EQ(TestDatabase::Scalar(
                  QStringLiteral("SELECT convert_from(gl_data, 'UTF8') FROM gridlayout")),
              QStringLiteral("zuletzt"));
    EXPECT_EQ(stale.RecordCount(), 1);
    // Global rows of one key meet as well, Nulls compared as equal.
    for (int i = 0; i < 2; ++i) {
        stale.Insert();
        stale.SetFieldValue(QStringLiteral("il_group"), QStringLiteral("TFormLayoutTest"));
        stale.SetFieldValue(QStringLiteral("il_item"), QStringLiteral("ViewPlan"));
        stale.SetFieldValue(QStringLiteral("gl_data"), QByteArray::number(i));
        stale.Post();
    }
    EXPECT_EQ(Rows(), 2);
    EXPECT_FALSE(TestDatabase::Scalar(QStringLiteral("SELECT bool_or(gl_deleted) FROM gridlayout"))
                     .startsWith(u't'));
}

} // namespace

#include "GridLayoutTest.moc"

// The main-menu search over table mainmenu, the administrator question, renamed form classes and
// the registry of module library procedures.
#include "Fixture.h"

#include <TVoskMainMenuSql.h>
#include <UDM1.h>
#include <Ukorvexinterface.h>
#include <Umigration.h>

#include <QPointer>

#include <memory>

using testsupport::TestDatabase;

class MainMenuTest : public testsupport::DbTest {
protected:
    void SetUp() override {
        TestDatabase::Exec(QStringLiteral(
            "DELETE FROM mainmenu; "
            "INSERT INTO mainmenu (mm_id, mm_parent, mm_order, mm_caption, mm_formclassname, "
            "mm_action, mm_hidden) VALUES "
            "(1, NULL, 0, 'Stammdaten', NULL, 0, false), "
            "(10, 1, 2, 'Adressen', 'TFormAdress', 4, false), "
            "(11, 1, 1, 'Adressen (Ansicht)', 'TFormAdress', 1, true), "
            "(20, NULL, 1, 'Planung', NULL, 0, false), "
            "(21, 20, 0, 'Plantafel', 'TFormPlantafel', 7, false), "
            "(22, 20, 5, 'Adressen alt', 'tformadress', 2, false)"));
        m_db.Connect();
        m_menu.SetDatabase(&m_db);
    }
    bool search(const QString& id, const QString& cls, bool isedit = false, bool getparent = false,
                bool treeorder = false) {
        return m_menu.SearchMenu(id, cls, isedit, false, getparent, treeorder, mmfAll);
    }
    // mm_id of every row the last search found, in order.
    QList<int> ids() {
        QList<int> result;
        for (m_menu.First(); !m_menu.Eof(); m_menu.Next())
            result << m_menu.AsInteger(QStringLiteral("mm_id"));
        m_menu.First();
        return result;
    }

    TVoskDatabase m_db;
    TMainMenuSql m_menu;
};

TEST_F(MainMenuTest, ByIdBeforeClassNameAndOnlyWholeNumbers) {
    ASSERT_TRUE(search(QStringLiteral(" 21 "), QString()));
    EXPECT_EQ(m_menu.AsString(QStringLiteral("mm_caption")), QStringLiteral("Plantafel"));
    EXPECT_EQ(m_menu.AsInteger(QStringLiteral("mm_action")), 7);
    // The id wins over a class name given too.
    ASSERT_TRUE(search(QStringLiteral("21"), QStringLiteral("TFormAdress")));
    EXPECT_EQ(ids(), QList<int>({21}));

    // A failed search leaves no earlier row behind to be read by mistake.
    for (const char* bad : {"21a", "2 1", "0x15", "99999999999"}) {
        EXPECT_FALSE(search(QString::fromLatin1(bad), QStringLiteral("TFormAdress"))) << bad;
        EXPECT_FALSE(m_menu.Active()) << bad;
        EXPECT_THROW(m_menu.AsString(QStringLiteral("mm_caption")), EVoskException);
    }
    EXPECT_FALSE(search(QStringLiteral("999"), QString()));
    EXPECT_TRUE(m_menu.IsEmpty());
    EXPECT_FALSE(search(QString(), QString()));
    EXPECT_FALSE(search(QStringLiteral("  "), QStringLiteral("  ")));
}

TEST_F(MainMenuTest, ByClassNameIgnoringCaseInEitherOrder) {
    ASSERT_TRUE(search(QString(), QStringLiteral(" tformADRESS ")));
    EXPECT_EQ(ids(), QList<int>({10, 11, 22}));
    // Tree order: by parent, then position within it.
    ASSERT_TRUE(search(QString(), QStringLiteral("TFormAdress"), false, false, true));
    EXPECT_EQ(ids(), QList<int>({11, 10, 22}));
    // Hidden rows are found; refusing them is the caller's decision.
    ASSERT_TRUE(search(QStringLiteral("11"), QString()));
    EXPECT_TRUE(m_menu.AsBoolean(QStringLiteral("mm_hidden")));
    // Text is bound, never spliced into the SQL.
    EXPECT_FALSE(search(QString(), QStringLiteral("x' OR '1'='1")));
    EXPECT_FALSE(search(QString(), QStringLiteral("%")));
}

TEST_F(MainMenuTest, EditEntriesAndParents) {
    ASSERT_TRUE(search(QString(), QStringLiteral("TFormAdress"), true));
    EXPECT_EQ(ids(), QList<int>({10}));
    ASSERT_TRUE(search(QStringLiteral("21"), QString(), true));
    EXPECT_FALSE(search(QStringLiteral("11"), QString(), true)); // action 1 is no edit entry

    ASSERT_TRUE(search(QStringLiteral("21"), QString(), false, true));
    EXPECT_EQ(ids(), QList<int>({20}));
    ASSERT_TRUE(search(QString(), QStringLiteral("TFormAdress"), false, true));
    EXPECT_EQ(ids(), QList<int>({1, 1, 20}));
    EXPECT_FALSE(search(QStringLiteral("1"), QString(), false, true)); // a root has no parent
}

TEST_F(MainMenuTest, TheFoundRowCanBeWrittenBack) {
    ASSERT_TRUE(search(QStringLiteral("21"), QString(), false, true)); // the parent, row 20
    m_menu.FieldByName(QStringLiteral("mm_caption")).SetAsString(QStringLiteral("Planung & Co"));
    m_menu.Post();
    EXPECT_EQ(TestDatabase::Scalar(QStringLiteral("SELECT mm_caption FROM mainmenu WHERE "
                                                  "mm_id = 20")),
              QStringLiteral("Planung & Co"));
    // A new search starts from the table again, whatever was left pending.
    ASSERT_TRUE(search(QStringLiteral("10"), QString()));
    m_menu.FieldByName(QStringLiteral("mm_caption")).SetAsString(QStringLiteral("Kontakte"));
    EXPECT_TRUE(search(QStringLiteral("10"), QString()));
    EXPECT_EQ(m_menu.AsString(QStringLiteral("mm_caption")),
              TestDatabase::Scalar(QStringLiteral("SELECT mm_caption FROM mainmenu WHERE "
                                                  "mm_id = 10")));
}

TEST_F(MainMenuTest, AdministratorFollowsTheGlobalDataModule) {
    EXPECT_FALSE(CurrentRights().GetIsAdmin()); // no data module
    TestDatabase::Exec(QStringLiteral(
        "INSERT INTO mitarbeiter (mitnr, m_login, m_admin) VALUES (1, current_user, true), "
        "(2, 'praktikant', false) ON CONFLICT DO NOTHING"));
    {
        TDM1 dm;
        dm.Connect();
        EXPECT_TRUE(CurrentRights().GetIsAdmin());
        // Another user's private data module does not change the session's rights.
        TDM1 other(nullptr, false);
        other.Connect();
        other.SetLoginName(QStringLiteral("praktikant"));
        EXPECT_FALSE(other.IsAdmin());
        EXPECT_TRUE(CurrentRights().GetIsAdmin());
        dm.SetLoginName(QStringLiteral("Praktikant"));
        EXPECT_FALSE(CurrentRights().GetIsAdmin());
        dm.SetIsAdmin(true);
        EXPECT_TRUE(CurrentRights().GetIsAdmin());
    }
    EXPECT_FALSE(CurrentRights().GetIsAdmin());
    EXPECT_EQ(&CurrentRights(), &CurrentRights());
}

TEST(Migration, RenamedClassesTranslateOthersStay) {
    Umigration::AddTranslation(QStringLiteral("TFormAdressAlt"), QStringLiteral("TFormAdress"));
    const auto t = Umigration::TranslateInto_mm_formclassnameEx(QStringLiteral(" tformadressalt "));
    EXPECT_EQ(t.Original, QStringLiteral("tformadressalt"));
    EXPECT_EQ(t.Translated, QStringLiteral("TFormAdress"));
    EXPECT_EQ(t.ForErrorMessages, QStringLiteral("TFormAdress (tformadressalt)"));

    const auto same = Umigration::TranslateInto_mm_formclassnameEx(QStringLiteral("TFormNeu"));
    EXPECT_EQ(same.Translated, QStringLiteral("TFormNeu"));
    EXPECT_EQ(same.ForErrorMessages, QStringLiteral("TFormNeu"));
    EXPECT_EQ(Umigration::TranslateInto_mm_formclassname(QString()), QString());

    // A second renaming of the same class replaces the first; removing it restores the name.
    Umigration::AddTranslation(QStringLiteral("TFORMADRESSALT"), QStringLiteral("TFormKontakt"));
    EXPECT_EQ(Umigration::TranslateInto_mm_formclassname(QStringLiteral("TFormAdressAlt")),
              QStringLiteral("TFormKontakt"));
    Umigration::RemoveTranslation(QStringLiteral("tformadressalt"));
    EXPECT_EQ(Umigration::TranslateInto_mm_formclassname(QStringLiteral("TFormAdressAlt")),
              QStringLiteral("TFormAdressAlt"));

    // Names registered with stray blanks (read from a table, say) match like looked-up ones.
    Umigration::AddTranslation(QStringLiteral(" TFormLager "), QStringLiteral("TFormArtikel"));
    EXPECT_EQ(Umigration::TranslateInto_mm_formclassname(QStringLiteral("TFormLager")),
              QStringLiteral("TFormArtikel"));
    Umigration::RemoveTranslation(QStringLiteral("TFormLager "));
    EXPECT_EQ(Umigration::TranslateInto_mm_formclassname(QStringLiteral("TFormLager")),
              QStringLiteral("TFormLager"));
}

TEST(LibraryProcs, StartProceduresByNameWithTheirParameters) {
    namespace K = Ukorvexinterface;
    QStringList received;
    QObject made;
    K::RegisterStartProc(QStringLiteral("libadressen"), QStringLiteral("StartAdressen"),
                         [&](const QStringList& lines) -> QObject* {
                             received = lines;
                             return &made;
                         });
    EXPECT_TRUE(K::ProcExists(QStringLiteral("LIBADRESSEN"), QStringLiteral("startadressen")));
    EXPECT_EQ(K::StartLibraryProc(QStringLiteral("LibAdressen"), QStringLiteral("STARTADRESSEN"),
                                  {QStringLiteral("ModulName"), QStringLiteral("Adressen"),
                                   QStringLiteral("SQL"), QStringLiteral("a=b"),
                                   QStringLiteral("ohneWert")}),
              &made);
    EXPECT_EQ(received, QStringList({"ModulName=Adressen", "SQL=a=b"}));

    try {
        K::StartLibraryProc(QStringLiteral("libadressen"), QStringLiteral("StartFehlt"), {});
        FAIL() << "missing procedure started";
    } catch (const EVoskException& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Prozedur \"StartFehlt\" in Modulbibliothek "
                                              "\"libadressen\" nicht gefunden"));
    }
    // An empty procedure counts as none.
    K::RegisterStartProc(QStringLiteral("libleer"), QStringLiteral("Start"), nullptr);
    EXPECT_THROW(K::StartLibraryProc(QStringLiteral("libleer"), QStringLiteral("Start"), {}),
                 EVoskException);

    // A procedure may take itself out while it runs.
    K::RegisterStartProc(QStringLiteral("libeinmal"), QStringLiteral("Start"),
                         [&](const QStringList&) -> QObject* {
                             K::UnregisterProc(QStringLiteral("libeinmal"),
                                               QStringLiteral("start"));
                             return &made;
                         });
    EXPECT_EQ(K::StartLibraryProc(QStringLiteral("libeinmal"), QStringLiteral("Start"), {}), &made);
    EXPECT_FALSE(K::ProcExists(QStringLiteral("libeinmal"), QStringLiteral("Start")));
    K::UnregisterProc(QStringLiteral("libadressen"), QStringLiteral("StartAdressen"));
    EXPECT_FALSE(K::ProcExists(QStringLiteral("libadressen"), QStringLiteral("StartAdressen")));
}

TEST(LibraryProcs, TypedProceduresAreCheckedAndLookupsCounted) {
    namespace K = Ukorvexinterface;
    K::RegisterProc<int(int)>(QStringLiteral("librechnen"), QStringLiteral("Doppelt"),
                              [](int x) { return 2 * x; });
    const int before = K::LoadCount(QStringLiteral("LIBRECHNEN"));
    const auto twice = K::LoadLibraryAndProc<int(int)>(QStringLiteral("LibRechnen"),
                                                       QStringLiteral("doppelt"));
    ASSERT_TRUE(twice);
    EXPECT_EQ(twice(21), 42);

    // Asked for with another signature: refused by name, not called with the wrong arguments.
    std::function<QString(int)> wrong;
    try {
        wrong = K::LoadLibraryAndProc<QString(int)>(QStringLiteral("librechnen"),
                                                    QStringLiteral("Doppelt"));
        FAIL() << "wrong type handed out";
    } catch (const EVoskException& e) {
        EXPECT_TRUE(e.Message().contains(QStringLiteral("\"Doppelt\""))) << e.what();
        EXPECT_TRUE(e.Message().contains(QStringLiteral("\"librechnen\""))) << e.what();
    }
    EXPECT_FALSE(wrong);
    EXPECT_THROW(K::LoadLibraryAndProc<int(int)>(QStringLiteral("librechnen"),
                                                 QStringLiteral("Fehlt")),
                 EVoskException);
    EXPECT_EQ(K::LoadCount(QStringLiteral("librechnen")), before + 3);
    EXPECT_EQ(K::LoadCount(QStringLiteral("libunbekannt")), 0);

    // Typed and start procedures of one name live side by side until unregistered together.
    K::RegisterStartProc(QStringLiteral("librechnen"), QStringLiteral("Doppelt"),
                         [](const QStringList&) -> QObject* { return nullptr; });
    K::RegisterProc<int(int)>(QStringLiteral("librechnen"), QStringLiteral("Doppelt"),
                              [](int x) { return 3 * x; }); // replaces the first
    EXPECT_EQ(K::LoadLibraryAndProc<int(int)>(QStringLiteral("librechnen"),
                                              QStringLiteral("Doppelt"))(2),
              6);
    EXPECT_EQ(K::StartLibraryProc(QStringLiteral("librechnen"), QStringLiteral("Doppelt"), {}),
              nullptr);
    K::UnregisterProc(QStringLiteral("LIBRECHNEN"), QStringLiteral("DOPPELT"));
    EXPECT_FALSE(K::ProcExists(QStringLiteral("librechnen"), QStringLiteral("Doppelt")));
    EXPECT_THROW(K::StartLibraryProc(QStringLiteral("librechnen"), QStringLiteral("Doppelt"), {}),
                 EVoskException);
    EXPECT_TRUE(K::ParameterArrayToStringList({}).isEmpty());
}

#include <TestDatabase.h>
#include <UDM1.h>
#include <VoskNotifyListener.h>
#include <VoskTransaction.h>

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>

using testsupport::DbTest;
using testsupport::TestDatabase;

namespace {

class DataModuleTest : public DbTest {
public:
    static void SetUpTestSuite() {
        DbTest::SetUpTestSuite();
        TestDatabase::Exec(QStringLiteral(
            "INSERT INTO mitarbeiter (mitnr, m_login, m_name, m_admin, m_sprache) VALUES "
            "(7, 'admin', 'Chef', true, 0), (8, 'smith', 'Smith', false, 3);"
            "INSERT INTO text0 (t_nr, t_feld0, t_feld3) VALUES "
            "(500, 'Adressen', 'Addresses'), (501, 'Nur deutsch', NULL)"));
    }

protected:
    void SetUp() override {
        TLogSink::Clear();
        m_dm.Connect();
    }
    TDM1 m_dm;
};

} // namespace

TEST_F(DataModuleTest, LoginDefaultsToDatabaseUserAndReadsUserRow) {
    EXPECT_EQ(DM1(), &m_dm);
    EXPECT_EQ(m_dm.LoginName(), QStringLiteral("postgres"));
    EXPECT_EQ(m_dm.MitNr(), 0);
    EXPECT_FALSE(m_dm.IsAdmin());
    bool signalled = false;
    QObject::connect(&m_dm, &TDM1::IsAdminChanged, [&](bool admin) { signalled = admin; });
    m_dm.SetLoginName(QStringLiteral("ADMIN"));
    EXPECT_EQ(m_dm.MitNr(), 7);
    EXPECT_TRUE(m_dm.IsAdmin());
    EXPECT_TRUE(signalled);
    TDM1 other(nullptr, false);
    EXPECT_EQ(DM1(), &m_dm);
}

TEST_F(DataModuleTest, MakeTextMarkersFallbackAndCache) {
    EXPECT_EQ(m_dm.makeText(500, QStringLiteral("x")), QStringLiteral("Adressen"));
    EXPECT_EQ(makeText(QStringLiteral("xtt500"), QStringLiteral("x")), QStringLiteral("Adressen"));
    EXPECT_EQ(makeText(QStringLiteral("500"), QStringLiteral("x")), QStringLiteral("Adressen"));
    EXPECT_EQ(makeText(QStringLiteral("kein Marker"), {}), QStringLiteral("kein Marker"));
    EXPECT_EQ(makeText(424242, QStringLiteral("Vorgabe")), QStringLiteral("Vorgabe"));

    // Hits and misses come from the cache: a changed row is seen only after clearing it.
    const qint64 before = m_dm.Database().RoundTrips();
    EXPECT_EQ(makeText(500, {}), QStringLiteral("Adressen"));
    EXPECT_EQ(makeText(424242, QStringLiteral("Vorgabe")), QStringLiteral("Vorgabe"));
    EXPECT_EQ(m_dm.Database().RoundTrips(), before);
    TestDatabase::Exec(QStringLiteral("UPDATE text0 SET t_feld0 = 'Anschriften' WHERE t_nr = 500"));
    EXPECT_EQ(makeText(500, {}), QStringLiteral("Adressen"));
    m_dm.ClearTextCache();
    EXPECT_EQ(makeText(500, {}), QStringLiteral("Anschriften"));

    m_dm.SetLanguage(3);
    EXPECT_EQ(makeText(500, {}), QStringLiteral("Addresses"));
    EXPECT_EQ(makeText(501, {}), QStringLiteral("Nur deutsch")); // no English: German
    m_dm.SetLanguage(0);

    EXPECT_TRUE(MakeTextCheck(QStringLiteral("Titel xtt500")));
    EXPECT_FALSE(MakeTextCheck(QStringLiteral("xtt")));
    EXPECT_EQ(TextNrOfMarker(QStringLiteral(" xtt501 ")), 501);
    EXPECT_EQ(TextNrOfMarker(QStringLiteral("xtt501b")), 0);
    EXPECT_EQ(TranslateTextMarkers(QStringLiteral("xtt500 / xtt424242 (xtt501)")),
              QStringLiteral("Anschriften / xtt424242 (Nur deutsch)"));

    m_dm.LoadTextCache();
    const qint64 loaded = m_dm.Database().RoundTrips();
    EXPECT_EQ(makeText(1, {}), QStringLiteral("Ja"));
    EXPECT_EQ(makeText(777777, QStringLiteral("d")), QStringLiteral("d"));
    EXPECT_EQ(m_dm.Database().RoundTrips(), loaded);
}

TEST_F(DataModuleTest, MakeTextWithoutDataModuleGivesDefault) {
    m_dm.Disconnect();
    EXPECT_EQ(makeText(500, QStringLiteral("Vorgabe")), QStringLiteral("Vorgabe"));
    EXPECT_EQ(TranslateTextMarkers(QStringLiteral("a xtt500")), QStringLiteral("a xtt500"));
}

TEST_F(DataModuleTest, LastValuesArePerUser) {
    TDM1 smith(nullptr, false);
    smith.Connect();
    smith.SetLoginName(QStringLiteral("smith"));
    m_dm.SetLoginName(QStringLiteral("admin"));

    m_dm.SaveLastVal(QStringLiteral("Form.Filter"), QStringLiteral("PLZ = '12345'"));
    smith.SaveLastVal(QStringLiteral("Form.Filter"), QStringLiteral("Ort"));
    EXPECT_EQ(m_dm.LoadLastVal(QStringLiteral("Form.Filter")), QStringLiteral("PLZ = '12345'"));
    EXPECT_EQ(smith.LoadLastVal(QStringLiteral("Form.Filter")), QStringLiteral("Ort"));
    m_dm.SaveLastVal(QStringLiteral("Form.Filter"), QStringLiteral("neu"));
    EXPECT_EQ(m_dm.LoadLastVal(QStringLiteral("Form.Filter")), QStringLiteral("neu"));
    // The login's values are read once per session: another key costs no round trip.
    const qint64 trips = m_dm.Database().RoundTrips();
    EXPECT_EQ(m_dm.LoadLastVal(QStringLiteral("Form.Fehlt"), QStringLiteral("x")),
              QStringLiteral("x"));
    EXPECT_EQ(m_dm.Database().RoundTrips(), trips);
    EXPECT_EQ(smith.LoadLastVal(QStringLiteral("Form.Fehlt"), QStringLiteral("def")),
              QStringLiteral("def"));

    m_dm.SaveLastVal(QStringLiteral("Global.Wert"), QStringLiteral("alle"), false);
    EXPECT_EQ(smith.LoadLastVal(QStringLiteral("Global.Wert"), {}, false), QStringLiteral("alle"));
    EXPECT_EQ(smith.LoadLastVal(QStringLiteral("Global.Wert"), QStringLiteral("-"), true),
              QStringLiteral("-"));

    smith.SaveLastValBool(QStringLiteral("Form.Docked"), true);
    EXPECT_TRUE(smith.LoadLastValBool(QStringLiteral("Form.Docked"), false));
    EXPECT_FALSE(m_dm.LoadLastValBool(QStringLiteral("Form.Docked"), false));
    // Values written by older clients.
    TestDatabase::Exec(QStringLiteral(
        "INSERT INTO lastval (lv_user, lv_key, lv_value) VALUES "
        "('admin', 'B1', '-1'), ('admin', 'B2', '0'), ('admin', 'B3', 'False'), "
        "('admin', 'B4', 'Unsinn')"));
    // A session reads its login's values once: the next one sees them.
    m_dm.ClearSessionCaches();
    EXPECT_TRUE(m_dm.LoadLastValBool(QStringLiteral("B1"), false));
    EXPECT_FALSE(m_dm.LoadLastValBool(QStringLiteral("B2"), true));
    EXPECT_FALSE(m_dm.LoadLastValBool(QStringLiteral("B3"), true));
    EXPECT_TRUE(m_dm.LoadLastValBool(QStringLiteral("B4"), true));

    m_dm.SaveLastValInt(QStringLiteral("Form.Tab"), 3);
    EXPECT_EQ(m_dm.LoadLastValInt(QStringLiteral("Form.Tab"), 0), 3);
    EXPECT_EQ(m_dm.LoadLastValInt(QStringLiteral("B4"), 9), 9);
}

TEST_F(DataModuleTest, OneOffStatements) {
    EXPECT_EQ(m_dm.ExecSQL(QStringLiteral("UPDATE text0 SET t_kundtxt0 = :t WHERE t_nr <= :bis"),
                           {{QStringLiteral("T"), QStringLiteral("k")},
                            {QStringLiteral("bis"), 2}}),
              2);
    EXPECT_EQ(m_dm.LoadVar(QStringLiteral("SELECT count(*) FROM text0 WHERE t_kundtxt0 = :t"),
                           {{QStringLiteral("t"), QStringLiteral("k")}}),
              QVariant(qint64(2)));
    EXPECT_TRUE(m_dm.LoadVar(QStringLiteral("SELECT 1 WHERE false")).isNull());
    EXPECT_TRUE(m_dm.LoadBool(QStringLiteral("SELECT EXISTS(SELECT 1 FROM text0)")));
    EXPECT_THROW(m_dm.LoadVar(QStringLiteral("SELECT :a"), {{QStringLiteral("b"), 1}}),
                 EVoskDatabaseError);
}

namespace {
// The session's server process ended from another connection, as an administrator or a
// restarted server does; waits until it is gone.
void TerminateBackend(TDM1& dm) {
    const QString pid = dm.LoadVar(QStringLiteral("SELECT pg_backend_pid()")).toString();
    TestDatabase::Exec(QStringLiteral("SELECT pg_terminate_backend(%1, 5000)").arg(pid));
}
} // namespace

TEST_F(DataModuleTest, ALostConnectionComesBackWithTheSessionsLoginAndChannels) {
    m_dm.SetLoginName(QStringLiteral("smith"));
    TVoskNotifyListener::AttachConnection(&m_dm);
    const QVariant before = m_dm.LoadVar(QStringLiteral("SELECT pg_backend_pid()"));
    bool reset = false;
    QObject::connect(&m_dm, &TDM1::ConnectionReset, [&] { reset = true; });
    TerminateBackend(m_dm);
    // Outside a transaction the statement that finds it lost reconnects and goes on.
    EXPECT_EQ(m_dm.LoadVar(QStringLiteral("SELECT current_setting('korvex.login')")).toString(),
              QStringLiteral("smith"));
    EXPECT_TRUE(reset);
    EXPECT_NE(m_dm.LoadVar(QStringLiteral("SELECT pg_backend_pid()")), before);
    EXPECT_EQ(m_dm.LoadVar(QStringLiteral("SELECT string_agg(c, ',') FROM "
                                          "pg_listening_channels() c"))
                  .toString(),
              QString::fromLatin1(TVoskNotifyListener::Channel));
    EXPECT_EQ(m_dm.LoadVar(QStringLiteral("SELECT current_setting('DateStyle')")).toString(),
              QStringLiteral("ISO, YMD"));
    EXPECT_TRUE(m_dm.Connected());

    // Inside a transaction the transaction fails and nothing of it stays; the next one
    // reconnects.
    {
        TVoskTransaction tx(m_dm.Database());
        m_dm.ExecSQL(QStringLiteral("UPDATE text0 SET t_feld3 = 'halb' WHERE t_nr = 500"));
        TerminateBackend(m_dm);
        EXPECT_THROW(m_dm.ExecSQL(QStringLiteral("UPDATE text0 SET t_feld3 = 'ganz' WHERE "
                                                 "t_nr = 501")),
                     EVoskDatabaseError);
        EXPECT_THROW(m_dm.LoadVar(QStringLiteral("SELECT 1")), EVoskDatabaseError);
        EXPECT_THROW(tx.Commit(), EVoskDatabaseError);
    }
    {
        TVoskTransaction tx(m_dm.Database());
        m_dm.ExecSQL(QStringLiteral("UPDATE text0 SET t_feld3 = 'neu' WHERE t_nr = 501"));
        tx.Commit();
    }
    EXPECT_EQ(TestDatabase::Scalar(QStringLiteral("SELECT string_agg(coalesce(t_feld3, '-'), ',' "
                                                  "ORDER BY t_nr) FROM text0 WHERE t_nr IN "
                                                  "(500, 501)")),
              QStringLiteral("Addresses,neu"));
}

TEST_F(DataModuleTest, Settings) {
    EXPECT_EQ(m_dm.GetSetting(QStringLiteral("Gibt.Es.Nicht"), QStringLiteral("d")),
              QStringLiteral("d"));
    m_dm.SetSetting(QStringLiteral("Firma"), QStringLiteral("Beispiel GmbH"));
    m_dm.SetSetting(QStringLiteral("Firma"), QStringLiteral("Muster AG"));
    EXPECT_EQ(m_dm.GetSetting(QStringLiteral("Firma")), QStringLiteral("Muster AG"));
    m_dm.SetBoolSetting(QStringLiteral("Schalter"), true);
    EXPECT_TRUE(m_dm.GetBoolSetting(QStringLiteral("Schalter"), false));
    m_dm.SetIntSetting(QStringLiteral("Anzahl"), -5);
    EXPECT_EQ(m_dm.GetIntSetting(QStringLiteral("Anzahl"), 0), -5);
    EXPECT_EQ(m_dm.GetIntSetting(QStringLiteral("Firma"), 11), 11);

    // Several in one statement read as GetSetting reads each: a missing or null one gives the
    // default, and names match exactly.
    TestDatabase::Exec(QStringLiteral("INSERT INTO settings (s_name, s_value) VALUES "
                                      "('Leer', NULL) ON CONFLICT (s_name) DO UPDATE SET "
                                      "s_value = NULL"));
    const QStringList names = {QStringLiteral("Firma"), QStringLiteral("Leer"),
                               QStringLiteral("firma"), QStringLiteral("Anzahl")};
    const std::unique_ptr<TVoskQuery2> q = m_dm.SettingsQuery(names);
    q->Open();
    for (const QString& name : names)
        EXPECT_EQ(TDM1::SettingOf(*q, name, QStringLiteral("d")),
                  m_dm.GetSetting(name, QStringLiteral("d")))
            << qPrintable(name);
    EXPECT_EQ(TDM1::SettingOf(*q, QStringLiteral("Anzahl")), QStringLiteral("-5"));
    EXPECT_EQ(TDM1::SettingOf(*q, QStringLiteral("firma"), QStringLiteral("d")),
              QStringLiteral("d"));
}

TEST_F(DataModuleTest, EventAndLoadLog) {
    m_dm.LogEvent(QStringLiteral("TModulForm.FormClose-0-: TFormAdress - FormAdress1"));
    const EVoskException ex(QStringLiteral("Fehler beim Drucken"));
    m_dm.LogEvent(QStringLiteral("Print: kaputt"), &ex, true);
    m_dm.LogEventFmt(QStringLiteral("F3/Antenne: Table=%s FormClass=%s"),
                     {QStringLiteral("adressen"), QStringLiteral("TFormAdress")});
    m_dm.DoLoadLog(QStringLiteral("LOAD"), QStringLiteral("hadrel"));
    TKorvexLog::LogMessage(QStringLiteral("Begin AutoRefresh"), 3);
    TKorvexLog::Warning(QStringLiteral("Achtung"));
    TKorvexLog::UserLog(QStringLiteral("PT[Profiling]"), QStringLiteral("open 12 ms"));

    EXPECT_TRUE(TLogSink::Contains(QStringLiteral("EVENT TModulForm.FormClose-0-:")));
    EXPECT_TRUE(TLogSink::Contains(QStringLiteral("EVoskException: Fehler beim Drucken")));
    EXPECT_TRUE(TLogSink::Contains(QStringLiteral("Table=adressen FormClass=TFormAdress")));
    EXPECT_TRUE(TLogSink::Contains(QStringLiteral("LOAD hadrel")));
    EXPECT_TRUE(TLogSink::Contains(QStringLiteral("USER PT[Profiling]: open 12 ms")));
    EXPECT_EQ(TLogSink::Entries().size(), 7);

    EXPECT_EQ(TestDatabase::Scalar(QStringLiteral(
                  "SELECT el_class || '.' || el_method FROM eventlog WHERE el_text LIKE "
                  "'TModulForm%'")),
              QStringLiteral("TModulForm.FormClose-0-"));
    EXPECT_EQ(TestDatabase::Scalar(QStringLiteral(
                  "SELECT el_exception FROM eventlog WHERE el_text = 'Print: kaputt'")),
              QStringLiteral("EVoskException: Fehler beim Drucken"));
    EXPECT_EQ(TestDatabase::Scalar(QStringLiteral(
                  "SELECT ll_tag || ' ' || ll_module FROM loadlog")),
              QStringLiteral("LOAD hadrel"));
    // Level 3 is above the seeded level 2: kept in memory, not written.
    EXPECT_EQ(TestDatabase::Scalar(QStringLiteral(
                  "SELECT count(*) FROM eventlog WHERE el_text = 'Begin AutoRefresh'")),
              QStringLiteral("0"));
    EXPECT_EQ(TestDatabase::Scalar(QStringLiteral(
                  "SELECT count(*) FROM eventlog WHERE el_kind = 'WARNING'")),
              QStringLiteral("1"));
}

TEST_F(DataModuleTest, ABatchOfMoreRowsThanOneStatementTakesWritesThemAll) {
    // 9,000 rows of eight values are more parameters than one statement may carry.
    {
        const TDM1::TLogBatch batch(&m_dm);
        for (int i = 0; i < 9000; ++i)
            m_dm.LogEvent(QStringLiteral("TTest.Batch: Zeile %1").arg(i));
        EXPECT_EQ(TestDatabase::Scalar(
                      QStringLiteral("SELECT count(*) FROM eventlog WHERE el_method = 'Batch'")),
                  QStringLiteral("0"));
    }
    EXPECT_EQ(TestDatabase::Scalar(
                  QStringLiteral("SELECT count(*) || ' ' || count(DISTINCT el_text) FROM eventlog "
                                 "WHERE el_method = 'Batch'")),
              QStringLiteral("9000 9000"));
}

TEST_F(DataModuleTest, LoggingInsideFailedTransactionDoesNotThrow) {
    m_dm.Database().StartTransaction();
    EXPECT_THROW(m_dm.Database().Exec(QStringLiteral("SELECT 1/0")), EVoskDatabaseError);
    m_dm.LogEvent(QStringLiteral("TTest.Run: nach Fehler"));
    m_dm.DoLoadLog(QStringLiteral("UNLOAD"), QStringLiteral("hadrel"));
    EXPECT_TRUE(TLogSink::Contains(QStringLiteral("nach Fehler")));
    m_dm.Database().Rollback();
    EXPECT_FALSE(m_dm.Database().InTransaction());
}

TEST_F(DataModuleTest, SessionFoldersAreCreated) {
    m_dm.SetLoginName(QStringLiteral("../böse/name"));
    const QString temp = m_dm.Session().TempDir();
    EXPECT_TRUE(QFileInfo(temp).isDir());
    EXPECT_FALSE(temp.contains(QStringLiteral("..")));
    EXPECT_TRUE(QFileInfo(m_dm.Session().ExportDir()).isDir());
    EXPECT_TRUE(m_dm.Session().ExportDir().startsWith(m_dm.Session().BasePath()));
}

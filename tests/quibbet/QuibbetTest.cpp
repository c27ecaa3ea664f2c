// Quibbet loaded with QLibrary into the IDE's own host with its recording services, on the suite's
// database. The fallback server is the test cluster reached through a socket link on port 5434.
#include "DialogAnswerer.h"
#include "TestDatabase.h"

#include "IdePackages.h"
#include "IdeServices.h"
#include "UQuibbetModul.h"

#include "DMSys.h"
#include "DesignIntf.h"
#include "Korvexcommonvcl.h"
#include "RtlDialog.h"
#include "SysPackages.h"
#include "UDM1.h"
#include "UDataModul_Dunmere.h"
#include "Uloghelper.h"
#include "Vcl.Components.h"
#include "Vcl.Registry.h"
#include "VoskNotifyListener.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

using namespace testsupport;

namespace {

// The private cluster's socket folder; the test main points libpq there.
QString PgHost() { return qEnvironmentVariable("PGHOST"); }

class QuibbetTest : public DbTest {
protected:
    void SetUp() override {
        TLogSink::Clear();
        qputenv("KORVEX_CONFIG", QFile::encodeName(m_dir.filePath(QStringLiteral("korvex.ini"))));
        // The fallback server: the test cluster behind a socket link for port 5434.
        QFile::link(PgHost() + QStringLiteral("/.s.PGSQL.5432"),
                    m_dir.filePath(QStringLiteral(".s.PGSQL.5434")));
        qputenv("KORVEX_IDE_FALLBACK_HOST", QFile::encodeName(m_dir.path()));
        qputenv("KORVEX_IDE_FALLBACK_DATABASE", DatabaseName().toUtf8());
    }
    void TearDown() override {
        m_packages.UnloadAll();
        qunsetenv("KORVEX_CONFIG");
        qunsetenv("KORVEX_IDE_FALLBACK_HOST");
        qunsetenv("KORVEX_IDE_FALLBACK_DATABASE");
    }
    void Config(const QString& text) {
        QFile f(m_dir.filePath(QStringLiteral("korvex.ini")));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text.toUtf8());
    }
    // A configured server that is the suite's database, as section DB1.
    void ConfigureWorkingServer(const QString& extra = {}) {
        Config(QStringLiteral("[Login]\nServer=1\nUsername=postgres\nPassword=\n[DB1]\nHost=%1\n"
                              "Port=5432\nDatabase=%2\n%3")
                   .arg(PgHost(), DatabaseName(), extra));
    }
    void ConfigureBrokenServer() {
        Config(QStringLiteral("[Login]\nServer=2\n[DB2]\nHost=%1/nowhere\nPort=5432\nDatabase=x\n")
                   .arg(m_dir.path()));
    }
    QStringList LogKinds(const QStringList& kinds) {
        QStringList seen;
        for (const TLogEntry& e : TLogSink::Entries())
            if (kinds.contains(e.kind))
                seen << e.kind;
        return seen;
    }
    QStringList UserLogs() {
        QStringList lines;
        for (const TLogEntry& e : TLogSink::Entries())
            if (e.kind == u"USER" && e.category == u"Connections")
                lines << QStringLiteral("%1 %2").arg(e.level).arg(e.text);
        return lines;
    }

    QTemporaryDir m_dir;
    TempRegistry m_registry;
    TIdeServices m_services;
    TIdePackages m_packages{m_services};
};

TEST_F(QuibbetTest, RegisterRunsInOrderAndUnloadUndoesIt) {
    ConfigureWorkingServer();
    DialogAnswerer answers;
    m_services.SetSplashActive(true);
    ASSERT_TRUE(m_packages.Load(QStringLiteral("quibbet")));

    // The framework package Quibbet requires loads first.
    EXPECT_EQ(LogKinds({"LOAD", "INIT", "REGISTER"}),
              (QStringList{"LOAD", "LOAD", "INIT", "REGISTER"}));
    // Start status went to the splash, in the order of the data modules.
    const QStringList status = m_services.StatusMessages();
    EXPECT_EQ(status.first(), u"Load Quibbet");
    EXPECT_LT(status.indexOf(QStringLiteral("Init Dunmere: UDM1")),
              status.indexOf(QStringLiteral("Init Corvale: USysModule")));
    EXPECT_EQ(status.last(), u"Done");
    EXPECT_TRUE(m_services.Messages().isEmpty()) << m_services.Messages().join('\n').toStdString();
    EXPECT_TRUE(TLogSink::Contains(QStringLiteral("Load Quibbet ~ Laufzeit total= 00:00:")));
    ASSERT_TRUE(DM1() && DM1()->Connected());
    EXPECT_TRUE(UserLogs().last().endsWith(u"OpenDatabaseExecute: ready to start"));
    // The fixed fallback password is never written anywhere.
    EXPECT_FALSE(TLogSink::Contains(QStringLiteral("Lanternfields")));

    EXPECT_EQ(ToolsAPI::GetIDEActions("VCL")->ClassName(), u"TVoskIDEActions");
    QObject owner;
    std::unique_ptr<QObject> action(ToolsAPI::CreateDefaultAction("VCL", &owner));
    EXPECT_EQ(Vcl::ClassName(action.get()), u"TVoskAction");
    EXPECT_EQ(ToolsAPI::GetIDEActions("VCL")->BaseActionClass(), &QAction::staticMetaObject);
    EXPECT_EQ(m_services.AboutEntries().size(), 1u);
    EXPECT_TRUE(RtlDialog::FStartScreenSetStartStatusIDE.Assigned());
    EXPECT_TRUE(Korvexcommonvcl::GReaderErrorProc.Assigned());
    Korvexcommonvcl::GReaderErrorProc(QStringLiteral("Eigenschaft Foo existiert nicht"));
    EXPECT_TRUE(m_services.Messages().contains(QStringLiteral("Eigenschaft Foo existiert nicht")));
    EXPECT_GT(DesignIntf::RegistrationCount(QStringLiteral("quibbet")), 0);

    TLogSink::Clear();
    m_packages.UnloadAll();
    EXPECT_EQ(LogKinds({"UNLOAD", "UNREGISTER", "FINAL", "DESTROY"}),
              (QStringList{"UNLOAD", "UNREGISTER", "FINAL", "DESTROY", "UNLOAD"}));
    EXPECT_EQ(ToolsAPI::GetIDEActions("VCL"), &TIdeVclActions::Instance());
    EXPECT_FALSE(RtlDialog::FStartScreenSetStartStatusIDE.Assigned());
    EXPECT_FALSE(Korvexcommonvcl::GReaderErrorProc.Assigned());
    EXPECT_TRUE(m_services.AboutEntries().empty());
    EXPECT_EQ(DesignIntf::RegistrationCount(QStringLiteral("quibbet")), 0);
    // The data modules went with the Quibbet module, and their globals with them.
    EXPECT_EQ(DM1(), nullptr);
    EXPECT_EQ(VoskDM_Dunmere(), nullptr);
    EXPECT_EQ(TDMSys::Current(), nullptr);
    EXPECT_EQ(QuibbetModul, nullptr);
}

TEST_F(QuibbetTest, ActionClassRegisteredAfterOursIsLeftAlone) {
    ConfigureWorkingServer();
    DialogAnswerer answers;
    ASSERT_TRUE(m_packages.Load(QStringLiteral("quibbet")));
    // A later package delegates to ours, as an IDE action class does.
    struct Later final : TIdeVclActions {
        QString ClassName() const override { return QStringLiteral("Later"); }
    };
    static Later later;
    ToolsAPI::TIDEActions* ours = ToolsAPI::GetIDEActions("VCL");
    ToolsAPI::RegisterActionsInFramework("VCL", &later);
    m_packages.UnloadAll();
    EXPECT_EQ(ToolsAPI::GetIDEActions("VCL"), &later);
    // Ours still answers for the class it delegates to: its library stayed in the process.
    EXPECT_EQ(ours->DefaultActionClass()->className(), QByteArray("TVoskAction"));
    EXPECT_EQ(ours->BaseActionClass(), &QAction::staticMetaObject);
    ToolsAPI::RegisterActionsInFramework("VCL", &TIdeVclActions::Instance());
    TVoskIDEActions::OldIDEActionsClass = nullptr;
}

TEST_F(QuibbetTest, GlobalModulesByNameInAnyCaseButNotWhileDestroying) {
    ConfigureWorkingServer();
    DialogAnswerer answers;
    ASSERT_TRUE(m_packages.Load(QStringLiteral("quibbet")));
    EXPECT_EQ(Rtl::FindGlobalComponent(QStringLiteral("dm1")), DM1());
    EXPECT_EQ(Rtl::FindGlobalComponent(QStringLiteral("VOSKDM_DUNMERE")), VoskDM_Dunmere());
    EXPECT_EQ(Rtl::FindGlobalComponent(QStringLiteral("DmSys")), TDMSys::Current());
    EXPECT_EQ(Rtl::FindGlobalComponent(QStringLiteral("DM2")), nullptr);
    Vcl::SetReading(DM1(), true);
    EXPECT_EQ(Rtl::FindGlobalComponent(QStringLiteral("DM1")), nullptr);
    Vcl::SetReading(DM1(), false);
    Vcl::SetDestroying(TDMSys::Current());
    EXPECT_EQ(Rtl::FindGlobalComponent(QStringLiteral("DMSys")), nullptr);
    m_packages.UnloadAll();
    EXPECT_EQ(Rtl::FindGlobalComponent(QStringLiteral("DM1")), nullptr);
}

TEST_F(QuibbetTest, StatusGoesToMessageViewWithoutSplash) {
    ConfigureWorkingServer();
    DialogAnswerer answers;
    ASSERT_TRUE(m_packages.Load(QStringLiteral("quibbet")));
    EXPECT_TRUE(m_services.StatusMessages().isEmpty());
    EXPECT_TRUE(m_services.Messages().contains(QStringLiteral("Connect to Database")));
}

TEST_F(QuibbetTest, ConfiguredServerFailingFallsBackWithOneMessage) {
    ConfigureBrokenServer();
    DialogAnswerer answers;
    answers.Expect(QStringLiteral("Ersatzweise Verbindung hergestellt zu DBServer=") + m_dir.path() +
                       QStringLiteral(":5434"),
                   Vcl::mrOk);
    ASSERT_TRUE(m_packages.Load(QStringLiteral("quibbet")));
    ASSERT_EQ(answers.Questions().size(), 1u);
    EXPECT_TRUE(answers.Questions()[0].text.startsWith(
        QStringLiteral("Korvex-Backend: Keine Verbindung zu DBServer=%1/nowhere:5432 Database=x")
            .arg(m_dir.path())));
    ASSERT_TRUE(DM1() && DM1()->Connected());
    EXPECT_EQ(DM1()->DatabaseName(), DatabaseName());
    EXPECT_EQ(DM1()->ConnectionParams().user, u"root");
    const QStringList logs = UserLogs();
    EXPECT_TRUE(logs.first().startsWith(QStringLiteral("4 TQuibbetModul.OpenDatabaseExecute: Server=")));
    EXPECT_EQ(logs.filter(QStringLiteral("5 REDIRECT TQuibbetModul.OpenDatabaseExecute: Server=") +
                          m_dir.path())
                  .size(),
              1);
    EXPECT_FALSE(TLogSink::Contains(QStringLiteral("Lanternfields")));
}

TEST_F(QuibbetTest, AllServersFailingWarnsAndRegistrationStillRuns) {
    ConfigureBrokenServer();
    qputenv("KORVEX_IDE_FALLBACK_HOST", QFile::encodeName(m_dir.filePath("none")));
    DialogAnswerer answers;
    answers.Expect(QStringLiteral("Korvex-Backend konnte nicht initialisiert werden"), Vcl::mrOk);
    m_packages.Load(QStringLiteral("quibbet"));
    ASSERT_EQ(answers.Questions().size(), 1u);
    const QString text = answers.Questions()[0].text;
    EXPECT_EQ(answers.Questions()[0].kind, Vcl::mtWarning);
    EXPECT_TRUE(text.startsWith(QStringLiteral("TQuibbetModul.OpenDatabaseExecute: Korvex-Backend "
                                               "konnte nicht initialisiert werden\n")));
    // The configured values were put back, so they are the current ones: one server line.
    EXPECT_EQ(text.count(QStringLiteral("DBServer=")), 1) << text.toStdString();
    EXPECT_TRUE(text.endsWith(QStringLiteral("DBServer=%1/nowhere:5432 Database=x Login=root")
                                  .arg(m_dir.path())))
        << text.toStdString();
    EXPECT_TRUE(UserLogs().filter(QStringLiteral("1 FAIL TQuibbetModul.OpenDatabaseExecute:")).size() == 1);
    EXPECT_EQ(ToolsAPI::GetIDEActions("VCL")->ClassName(), u"TVoskIDEActions");
    EXPECT_FALSE(DM1()->Connected());
}

TEST_F(QuibbetTest, EmptyServerGoesStraightToTheFallback) {
    Config(QStringLiteral("[Login]\nServer=\n"));
    DialogAnswerer answers; // no message: the first attempt already is the fallback
    ASSERT_TRUE(m_packages.Load(QStringLiteral("quibbet")));
    ASSERT_TRUE(DM1()->Connected());
    EXPECT_TRUE(UserLogs().first().contains(QStringLiteral("Server=%1:5434 DB=%2 User=root")
                                                .arg(m_dir.path(), DatabaseName())));
    EXPECT_TRUE(DM1()->ConnectionParams().sectionName.isEmpty());
}

TEST_F(QuibbetTest, LoginAndApplicationServerDefaults) {
    ConfigureWorkingServer();
    Config(QStringLiteral("[Login]\nServer=1\nUsername=postgres\n[db1]\nHOST=%1\nPORT=5432\n"
                          "DATABASE=%2\n")
               .arg(PgHost(), DatabaseName()));
    DialogAnswerer answers;
    ASSERT_TRUE(m_packages.Load(QStringLiteral("quibbet")));
    const TVoskConnectionParams& p = DM1()->ConnectionParams();
    EXPECT_TRUE(DM1()->Connected());
    EXPECT_EQ(p.sectionName, u"DB1");
    EXPECT_EQ(p.password, u" "); // no Password key: one blank, not empty
    EXPECT_EQ(p.appServerHost, PgHost());
    EXPECT_EQ(p.appServerPort, 211);
    m_packages.UnloadAll();

    ConfigureWorkingServer(QStringLiteral("AppS=apps.local\nAppPXE=8211\n"));
    ASSERT_TRUE(m_packages.Load(QStringLiteral("quibbet")));
    EXPECT_EQ(DM1()->ConnectionParams().appServerHost, u"apps.local");
    EXPECT_EQ(DM1()->ConnectionParams().appServerPort, 8211);
    EXPECT_EQ(DM1()->ConnectionParams().password, u"");
}

TEST_F(QuibbetTest, ServerThatIsNoNumberIsNamedAndRegistrationRuns) {
    Config(QStringLiteral("[Login]\nServer=abc\n"));
    DialogAnswerer answers;
    answers.Expect(QStringLiteral("[Login] Server: \"abc\" ist keine gültige Zahl"), Vcl::mrOk);
    m_packages.Load(QStringLiteral("quibbet"));
    EXPECT_EQ(ToolsAPI::GetIDEActions("VCL")->ClassName(), u"TVoskIDEActions");
    m_packages.UnloadAll();

    ConfigureWorkingServer();
    Config(QStringLiteral("[Login]\nServer=1\n[DB1]\nPort=54x\n"));
    answers.Expect(QStringLiteral("[DB1] Port: \"54x\" ist keine gültige Zahl"), Vcl::mrOk);
    m_packages.Load(QStringLiteral("quibbet"));
}

TEST_F(QuibbetTest, CompanionPackageLoadsUnlessWebPackagesAreInUse) {
    ConfigureWorkingServer();
    DialogAnswerer answers;
    const QString base = m_services.GetBaseRegistryKey();
    Vcl::TRegistry reg;
    ASSERT_TRUE(reg.OpenKey(base + QStringLiteral("\\Known Packages"), true));
    reg.WriteString(QStringLiteral("/opt/ui/bpl/uniGUI28dcl.bpl"), QStringLiteral("Web"));
    reg.CloseKey();
    EXPECT_TRUE(TQuibbetModul::IsUniGUI());
    ASSERT_TRUE(reg.OpenKey(base + QStringLiteral("\\Disabled Packages"), true));
    reg.WriteString(QStringLiteral("/opt/ui/bpl/UNIGUI28DCL.BPL"), QStringLiteral("Web"));
    reg.CloseKey();
    TLogSink::Clear();
    EXPECT_FALSE(TQuibbetModul::IsUniGUI());
    EXPECT_TRUE(TLogSink::Contains(QStringLiteral("_isUniGUI: found disabled")));

    ASSERT_TRUE(m_packages.Load(QStringLiteral("quibbet")));
    EXPECT_TRUE(Rtl::ModuleLoaded(QStringLiteral("Brennock280.bpl")));
    EXPECT_TRUE(answers.Questions().empty());

    QTemporaryDir empty;
    answers.Expect(QStringLiteral("Package Brennock ist nicht geladen"), Vcl::mrOk);
    EXPECT_FALSE(TQuibbetModul::LoadCompanionPackage(empty.path()));
}

TEST_F(QuibbetTest, NotificationsReachTheirListeners) {
    ConfigureWorkingServer();
    DialogAnswerer answers;
    ASSERT_TRUE(m_packages.Load(QStringLiteral("quibbet")));
    answers.Expect(QStringLiteral("KORVEX wird beendet, bitte speichern (30 sec)\n\nBitte jetzt"),
                   Vcl::mrOk);
    EXPECT_TRUE(TVoskNotifyListener::Dispatch(
        QStringLiteral(R"({"action":"shutdown","user":"","params":{"WaitTime":"abc","InfoText":"Bitte jetzt"}})"),
        QStringLiteral("postgres")));
    // Another user's event and a foreign payload reach nobody.
    EXPECT_TRUE(TVoskNotifyListener::Dispatch(
        QStringLiteral(R"({"action":"Message","user":"anna","params":{}})"), QStringLiteral("postgres")));
    EXPECT_FALSE(TVoskNotifyListener::Dispatch(QStringLiteral("reload now"), QStringLiteral("postgres")));
    EXPECT_EQ(answers.Questions().size(), 1u);

    // Through the server: the notification arrives on the data module's connection.
    answers.Expect(QStringLiteral("(Sender: KORVEX ERP > Empfänger: [Alle Benutzer])"), Vcl::mrOk);
    TestDatabase::Exec(QStringLiteral("SELECT korvex_notify('Message', '', '{\"Text\": \"Hallo\"}')"));
    QElapsedTimer t;
    t.start();
    while (answers.Pending() > 0 && t.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    ASSERT_EQ(answers.Questions().size(), 2u);
    EXPECT_TRUE(answers.Questions()[1].text.startsWith(QStringLiteral("ShowNotifyMessage: \nText=Hallo\n")));
}

} // namespace

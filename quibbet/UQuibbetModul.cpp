#include "UQuibbetModul.h"

#include "QuibbetBuildInfo.h"
#include "Upropertyeditors.h"

#include "DMSys.h"
#include "DesignIntf.h"
#include "Korvexcommonvcl.h"
#include "Q32GrundForm.h"
#include "RtlDialog.h"
#include "SysPackages.h"
#include "TVoskAction.h"
#include "UDM1.h"
#include "UDataModul_Dunmere.h"
#include "UDunmereIDE.h"
#include "UFallowbyClient.h"
#include "TVoskClass.h"
#include "UKorvexClasses.h"
#include "UnitTable.h"
#include "Vcl.Application.h"
#include "Vcl.Components.h"
#include "Vcl.Registry.h"
#include "Vcl.Services.h"
#include "VoskBaseConfiguration.h"
#include "VoskExceptions.h"
#include "VoskNotifyListener.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QFileInfo>
#include <QTime>

#include <dlfcn.h>

using namespace ToolsAPI;

TQuibbetModul* QuibbetModul = nullptr;
int TQuibbetModul::PluginInfo = -1;
QDateTime TQuibbetModul::FTotalStartTime;
QDateTime TQuibbetModul::FLastStartTime;
TIDEActions* TVoskIDEActions::OldIDEActionsClass = nullptr;

namespace {

const QString ClassNameOfModul = QStringLiteral("TQuibbetModul");
const QString AssertSource = QStringLiteral("Helper\\Quibbet\\UQuibbetModul");
const QString Title = QStringLiteral("KORVEX Quibbet");
// The maker's fallback login. It is never written to a log.
const QString FallbackPassword = QStringLiteral("Lanternfields");

QString loadName(const char* format, const char* version) {
    return QString::fromLatin1(format).arg(QLatin1String(version));
}

void loadLog(const QString& text) { Dunmere::DoLoadLog(text, ClassNameOfModul); }

QPixmap pluginBitmap() { return QPixmap(QStringLiteral(":/quibbet/IDEPlugin24.png")); }

QString ownModuleFile() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&Register), &info) && info.dli_fname)
        return QFileInfo(QString::fromLocal8Bit(info.dli_fname)).absoluteFilePath();
    return {};
}

IOTAMessageServices* messageView() {
    IBorlandIDEServices* ide = BorlandIDEServices();
    return ide ? ide->Supports<IOTAMessageServices>() : nullptr;
}

QString fmtDuration(const QDateTime& from, const QDateTime& to) {
    const qint64 ms = from.isValid() ? from.msecsTo(to) : 0;
    return QTime(0, 0).addMSecs(int(ms % (24LL * 3600 * 1000))).toString(QStringLiteral("hh:mm:ss"));
}

// Strict integer of the configuration, so that a mistyped server or port is named to the user.
int readInt(TVoskBaseConfiguration& cfg, const QString& section, const QString& key, int def) {
    const QVariant v = cfg.Read(section, key, QString());
    const QString text = v.toString().trimmed();
    if (!cfg.KeyExists(section, key))
        return def;
    bool ok = false;
    const int n = text.toInt(&ok);
    if (!ok)
        throw EConvertError(QStringLiteral("Konfiguration [%1] %2: \"%3\" ist keine gültige Zahl")
                                .arg(section, key, text));
    return n;
}

QString describe(const TVoskConnectionParams& p) {
    return QStringLiteral("DBServer=%1:%2 Database=%3 Login=%4")
        .arg(p.host)
        .arg(p.port)
        .arg(p.database, p.user);
}

void presetFallback(TVoskConnectionParams& p) {
    p.sectionName.clear();
    p.host = TQuibbetModul::FallbackHost();
    p.port = TQuibbetModul::FallbackPort;
    p.database = TQuibbetModul::FallbackDatabase();
    p.user = QStringLiteral("root");
    p.password = FallbackPassword;
}

bool sameServer(const TVoskConnectionParams& a, const TVoskConnectionParams& b) {
    return a.host == b.host && a.port == b.port && a.database == b.database && a.user == b.user &&
           a.password == b.password;
}

void unitInit() {
    // Taken here: nothing else sets them, and counting from day 0 gives nonsense durations.
    TQuibbetModul::FTotalStartTime = QDateTime::currentDateTime();
    TQuibbetModul::FLastStartTime = TQuibbetModul::FTotalStartTime;
    Dunmere::DoLoadLog(QStringLiteral("LOAD"), ownModuleFile());
    Dunmere::LogEvent(QStringLiteral("TQuibbetModul: Package loaded"));
    RtlDialog::FStartScreenSetStartStatusIDE.Set(&TQuibbetModul::StartScreenSetStartStatus);
}

void unitFini() {
    Dunmere::DoLoadLog(QStringLiteral("UNLOAD"), ownModuleFile());
    RtlDialog::FStartScreenSetStartStatusIDE.Reset();
    // Each step on its own: a failing one must not leave the module or the hooks behind.
    try {
        TQuibbetModul::UnregisterHelper();
    } catch (...) {
    }
    try {
        TQuibbetModul::Finalize();
    } catch (...) {
    }
    Dunmere::LogEvent(QStringLiteral("TQuibbetModul: unload Package"));
    Korvexcommonvcl::GReaderErrorProc.Reset();
}

} // namespace

KORVEX_UNIT("quibbet", "UQuibbetModul", unitInit, unitFini);

// ---- TVoskIDEActions --------------------------------------------------------------------------

TVoskIDEActions& TVoskIDEActions::Instance() {
    static TVoskIDEActions instance;
    return instance;
}

TIDEActions& TVoskIDEActions::old() const {
    Rtl::Assert(OldIDEActionsClass != nullptr, AssertSource);
    return *OldIDEActionsClass;
}

void TVoskIDEActions::AssignAction(QObject* s, QObject* d) { old().AssignAction(s, d); }
QObject* TVoskIDEActions::CreateImageLink(QObject* o) { return old().CreateImageLink(o); }
QObject* TVoskIDEActions::CreateImageList(QObject* o, QObject* l) {
    return old().CreateImageList(o, l);
}
const QMetaObject* TVoskIDEActions::DefaultActionClass() { return &TVoskAction::staticMetaObject; }
const QMetaObject* TVoskIDEActions::BaseActionClass() { return old().BaseActionClass(); }
const QMetaObject* TVoskIDEActions::BaseActionListClass() { return old().BaseActionListClass(); }
void TVoskIDEActions::CopyImageIfAvailable(QObject* a, QObject* l) {
    old().CopyImageIfAvailable(a, l);
}
void TVoskIDEActions::RegisterImageLink(QObject* l, QObject* i) { old().RegisterImageLink(l, i); }
void TVoskIDEActions::UnregisterImageLink(QObject* l, QObject* i) {
    old().UnregisterImageLink(l, i);
}

// ---- TQuibbetModul ----------------------------------------------------------------------------

TQuibbetModul::TQuibbetModul(QObject* owner) : QObject(owner) {
    Dunmere::LogEvent(QStringLiteral("TQuibbetModul.Create"));
    setObjectName(QStringLiteral("QuibbetModul"));
    Vcl::SetOwner(this, owner);
    MessageListener = Vcl::Owned(this, new TVoskNotifyListener(this),
                                 QStringLiteral("MessageListener"));
    MessageListener->SetAction(QStringLiteral("Message"));
    MessageListener->OnEvent = [this](QObject* s, const QString& a, const QString& u,
                                      const QStringList& p) { MessageListenerEvent(s, a, u, p); };
    ShutdownListener = Vcl::Owned(this, new TVoskNotifyListener(this),
                                  QStringLiteral("ShutdownListener"));
    ShutdownListener->SetAction(QStringLiteral("Shutdown"));
    ShutdownListener->OnEvent = [this](QObject* s, const QString& a, const QString& u,
                                       const QStringList& p) { ShutdownListenerEvent(s, a, u, p); };
    EmptyListener = Vcl::Owned(this, new TVoskNotifyListener(this), QStringLiteral("EmptyListener"));
    EmptyListener->OnEvent = [this](QObject* s, const QString& a, const QString& u,
                                    const QStringList& p) { EmptyListenerEvent(s, a, u, p); };
    Dunmere::LogEvent(QStringLiteral("TQuibbetModul.Created"));
}

TQuibbetModul::~TQuibbetModul() {
    // Before the owned modules go: the designer must not resolve references to them meanwhile.
    Vcl::SetDestroying(this);
    DataModuleDestroy();
}

void TQuibbetModul::DataModuleDestroy() {
    Dunmere::DoLoadLog(QStringLiteral("DESTROY"), ClassNameOfModul);
    Dunmere::LogEvent(QStringLiteral("TQuibbetModul.Destroy"));
    if (QuibbetModul == this)
        QuibbetModul = nullptr;
}

QString TQuibbetModul::DefaultPassword() { return FallbackPassword; }

QString TQuibbetModul::FallbackHost() {
    const QString env = qEnvironmentVariable("KORVEX_IDE_FALLBACK_HOST");
    return env.isEmpty() ? QStringLiteral("localhost") : env;
}

QString TQuibbetModul::FallbackDatabase() {
    const QString env = qEnvironmentVariable("KORVEX_IDE_FALLBACK_DATABASE");
    return env.isEmpty() ? QStringLiteral("KORVEX") : env;
}

void TQuibbetModul::Initialize() {
    Dunmere::DoLoadLog(QStringLiteral("INIT"), ClassNameOfModul);
    Dunmere::LogEvent(QStringLiteral("TQuibbetModul.Initialize"));
    try {
        // Remote-session buffering has no counterpart here (step 2).
        IBorlandIDEServices* ide = BorlandIDEServices();
        if (ide)
            if (auto* splash = ide->Supports<IOTASplashScreenServices>())
                splash->AddPluginBitmap(Title, pluginBitmap(), false,
                                        QuibbetBuild::VersionAndEdition(),
                                        QuibbetBuild::Description());
        PluginInfo = -1;
        if (ide)
            if (auto* about = ide->Supports<IOTAAboutBoxServices>()) {
                QString info = QuibbetBuild::Information();
                info.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
                PluginInfo = about->AddPluginInfo(Title + QLatin1Char(' ') +
                                                      QuibbetBuild::VersionAndEdition(),
                                                  info, pluginBitmap());
            }
        Rtl::RegisterFindGlobalComponentProc(&TQuibbetModul::FindGlobalModules);

        RtlDialog::SetStartScreenStatus(QStringLiteral("Load Quibbet"));
        if (!QuibbetModul)
            QuibbetModul = new TQuibbetModul(nullptr);

        if (!DM1()) {
            RtlDialog::SetStartScreenStatus(QStringLiteral("Init Dunmere: UDM1"));
            Vcl::SetOwner(TDM1::ModulInitialize(QuibbetModul), QuibbetModul);
        }
        if (!VoskDM_Dunmere()) {
            RtlDialog::SetStartScreenStatus(QStringLiteral("Init Dunmere: UDataModul_Dunmere"));
            Vcl::SetOwner(TVoskDM_Dunmere::ModulInitialize(QuibbetModul), QuibbetModul);
        }
        if (!FieldDefCache()) {
            RtlDialog::SetStartScreenStatus(QStringLiteral("Init Tessaly: UKorvexClasses"));
            Vcl::SetOwner(TVoskClass2::ModulInitialize(QuibbetModul), QuibbetModul);
        }
        if (!TDMSys::Current()) {
            RtlDialog::SetStartScreenStatus(QStringLiteral("Init Corvale: USysModule"));
            Vcl::SetOwner(TDMSys::ModulInitialize(QuibbetModul), QuibbetModul);
        }
        if (!TDSClientSession::Current().DataModule()) {
            RtlDialog::SetStartScreenStatus(QStringLiteral("Init Fallowby: DataSnap"));
            auto* client = Vcl::Owned(QuibbetModul, new TVoskDM_Fallowby_Client(QuibbetModul));
            TDSClientSession::Current().SetDataModule(client);
        }

        RtlDialog::SetStartScreenStatus(QStringLiteral("Init Ferrisby: EditSql"));
        try {
            Rtl::LoadPackage(loadName("Ferrisby%1.bpl", "280"));
        } catch (...) {
        }

        RtlDialog::SetStartScreenStatus(QStringLiteral("Connect to Database"));
        OpenDatabaseExecute();
        RtlDialog::SetStartScreenStatus(QStringLiteral("Done"));
    } catch (const EAbort&) {
    } catch (const std::exception& e) {
        TDM1::ScreenRaiseWarning(Rtl::ExceptionMessage(std::current_exception()));
    }
    TDM1::CursorHook(false);
}

bool TQuibbetModul::IsUniGUI() {
    if (Rtl::ModuleLoaded(loadName("uniGUI%1Chartdcl.bpl", "28")))
        return true;
    IBorlandIDEServices* ide = BorlandIDEServices();
    IOTAServices* services = ide ? ide->Supports<IOTAServices>() : nullptr;
    if (!services)
        return false;
    QString base = services->GetBaseRegistryKey();
    if (base.startsWith(QLatin1Char('\\')))
        base.remove(0, 1);
    const QString dcl = loadName("uniGUI%1dcl.bpl", "28");
    Vcl::TRegistry reg;
    if (!reg.OpenKeyReadOnly(QLatin1Char('\\') + base + QStringLiteral("\\Known Packages")))
        return false;
    bool result = false;
    for (const QString& name : reg.GetValueNames())
        if (name.endsWith(dcl, Qt::CaseInsensitive)) {
            result = true;
            loadLog(QStringLiteral("_isUniGUI: found known ") + name);
            break;
        }
    if (result) {
        reg.CloseKey();
        if (reg.OpenKeyReadOnly(QLatin1Char('\\') + base + QStringLiteral("\\Disabled Packages")))
            for (const QString& name : reg.GetValueNames())
                if (name.endsWith(dcl, Qt::CaseInsensitive)) {
                    result = false;
                    loadLog(QStringLiteral("_isUniGUI: found disabled ") + name);
                    break;
                }
    }
    loadLog(QStringLiteral("_isUniGUI: ") + (result ? QStringLiteral("True") : QStringLiteral("False")));
    return result;
}

bool TQuibbetModul::LoadCompanionPackage(const QString& folder) {
    const QString file = folder + QLatin1Char('/') + loadName("Brennock%1.bpl", "280");
    loadLog(QStringLiteral("LoadPackage: Brennock"));
    try {
        Rtl::LoadPackage(file);
    } catch (...) {
    }
    if (Rtl::ModuleLoaded(file))
        return true;
    Vcl::Ask(Vcl::mtError, Title,
             QStringLiteral("Package Brennock ist nicht geladen. Ohne dieses Package in der IDE, "
                            "kann es beim speichern von DFM's zu nicht gültigen Ergebnissen "
                            "kommen!!!"),
             Vcl::mbOK);
    return false;
}

void TQuibbetModul::OpenDatabaseExecute() {
    // The box of a missing companion package belongs to a load that was tried: when the web-UI
    // packages are in use the load is left out on purpose and nothing is said.
    if (Dunmere::IsRunningInIDE() && QCoreApplication::instance() && !Vcl::ApplicationTerminated() &&
        !Rtl::ModuleLoaded(loadName("Brennock%1.bpl", "280")) && !IsUniGUI())
        LoadCompanionPackage(QFileInfo(ownModuleFile()).absolutePath());

    TDM1* dm = DM1();
    Rtl::Assert(dm != nullptr, AssertSource);
    TVoskConnectionParams& p = dm->ConnectionParams();
    bool keptConfigured = false;
    TVoskConnectionParams configured;
    try {
        p.applicationName = QStringLiteral("KORVEX ERP IDE");
        presetFallback(p);

        TVoskBaseConfiguration& cfg = dm->Configuration();
        const QString server = cfg.Read(QStringLiteral("Login"), QStringLiteral("Server"), QString())
                                   .toString()
                                   .trimmed();
        if (!server.isEmpty()) {
            const int nr = readInt(cfg, QStringLiteral("Login"), QStringLiteral("Server"), 0);
            const QString section = QStringLiteral("DB%1").arg(nr);
            p.sectionName = section;
            p.host = cfg.Read(section, QStringLiteral("Host"), QStringLiteral("localhost")).toString();
            p.port = readInt(cfg, section, QStringLiteral("Port"), 5432);
            p.database =
                cfg.Read(section, QStringLiteral("Database"), QStringLiteral("KORVEX")).toString();
            p.appServerHost = cfg.Read(section, QStringLiteral("AppSXE"),
                                       cfg.Read(section, QStringLiteral("AppS"), p.host))
                                  .toString();
            p.appServerPort = readInt(cfg, section, QStringLiteral("AppPXE"), 211);
        }
        const QString login =
            cfg.Read(QStringLiteral("Login"), QStringLiteral("Username"), QString()).toString();
        if (!login.isEmpty()) {
            p.user = cfg.Read(QStringLiteral("Login"), QStringLiteral("Username"), p.user).toString();
            p.password = cfg.KeyExists(QStringLiteral("Login"), QStringLiteral("Password"))
                             ? cfg.Read(QStringLiteral("Login"), QStringLiteral("Password"),
                                        p.password)
                                   .toString()
                             : QStringLiteral(" ");
        }
        Dunmere::SetLogMode(readInt(cfg, QStringLiteral("SETTINGS"), QStringLiteral("LogMode"), 0),
                            QStringLiteral("TDMSys.DataModuleCreate"));

        TKorvexLog::UserLog(QStringLiteral("Connections"),
                            QStringLiteral("%1.OpenDatabaseExecute: Server=%2:%3 DB=%4 User=%5")
                                .arg(ClassNameOfModul, p.host)
                                .arg(p.port)
                                .arg(p.database, p.user),
                            4);
        std::exception_ptr firstFailure;
        try {
            dm->ConnectWithParams();
        } catch (const std::exception&) {
            firstFailure = std::current_exception();
        }
        if (firstFailure) {
            try {
                dm->Disconnect();
            } catch (...) {
            }
            configured = p;
            keptConfigured = true;
            presetFallback(p);
            try {
                dm->ConnectWithParams();
            } catch (const std::exception&) {
                try {
                    dm->Disconnect();
                } catch (...) {
                }
                const QString app = p.applicationName;
                p = configured;
                p.applicationName = app;
                p.plainProtocol = true;
                try {
                    dm->ConnectWithParams();
                } catch (...) {
                    try {
                        dm->Disconnect();
                    } catch (...) {
                    }
                }
                p.plainProtocol = false;
            }
        }
        if (!dm->Connected()) {
            TKorvexLog::UserLog(QStringLiteral("Connections"),
                                QStringLiteral("FAIL %1.OpenDatabaseExecute: %2")
                                    .arg(ClassNameOfModul, Rtl::ExceptionMessage(firstFailure)),
                                1);
            std::rethrow_exception(firstFailure);
        }
        if (firstFailure) {
            const QString first = Rtl::ExceptionMessage(firstFailure);
            TKorvexLog::UserLog(
                QStringLiteral("Connections"),
                QStringLiteral("REDIRECT %1.OpenDatabaseExecute: Server=%2:%3 DB=%4 User=%5 > %6")
                    .arg(ClassNameOfModul, p.host)
                    .arg(p.port)
                    .arg(p.database, p.user, first),
                5);
            Vcl::ShowMessage(QStringLiteral("Korvex-Backend: Keine Verbindung zu ") +
                             describe(configured) +
                             QStringLiteral("\n\nErsatzweise Verbindung hergestellt zu ") +
                             describe(p) + QStringLiteral("\n\n") + first);
        }
        dm->ReloadTextX();
        dm->ReloadFieldAlias();
        Dunmere::DBRID_LoadStatements(dm->Database());
        TKorvexLog::UserLog(QStringLiteral("Connections"),
                            QStringLiteral("%1.OpenDatabaseExecute: ready to start").arg(ClassNameOfModul),
                            0);
    } catch (const EAbort&) {
        throw;
    } catch (const std::exception&) {
        QString details;
        try {
            details = describe(p);
            if (keptConfigured && !sameServer(p, configured))
                details += QLatin1Char('\n') + describe(configured);
        } catch (...) {
            details = QStringLiteral("DBServer=error:0 Database=error Login=error");
        }
        throw EVoskException(
            QStringLiteral("TQuibbetModul.OpenDatabaseExecute: Korvex-Backend konnte nicht "
                           "initialisiert werden\n") +
            Rtl::ExceptionMessage(std::current_exception()) + QStringLiteral("\n\n") + details);
    }
}

void TQuibbetModul::RegisterHelper() {
    Dunmere::DoLoadLog(QStringLiteral("REGISTER"), ClassNameOfModul);
    Dunmere::LogEvent(QStringLiteral("TQuibbetModul.RegisterHelper"));
    TIDEActions* cls = GetIDEActions(QStringLiteral("VCL"));
    Rtl::Assert(cls != nullptr, AssertSource);
    Rtl::Assert(TVoskIDEActions::OldIDEActionsClass == nullptr, AssertSource);
    if (cls != &TVoskIDEActions::Instance()) {
        TVoskIDEActions::OldIDEActionsClass = cls;
        UnregisterActionsInFramework(QStringLiteral("VCL"));
        RegisterActionsInFramework(QStringLiteral("VCL"), &TVoskIDEActions::Instance());
    }
    Upropertyeditors::RegisterEditors();
}

void TQuibbetModul::UnregisterHelper() {
    Dunmere::DoLoadLog(QStringLiteral("UNREGISTER"), ClassNameOfModul);
    Dunmere::LogEvent(QStringLiteral("TQuibbetModul.UnregisterHelper"));
    if (!TVoskIDEActions::OldIDEActionsClass)
        return;
    if (GetIDEActions(QStringLiteral("VCL")) == &TVoskIDEActions::Instance()) {
        UnregisterActionsInFramework(QStringLiteral("VCL"));
        RegisterActionsInFramework(QStringLiteral("VCL"), TVoskIDEActions::OldIDEActionsClass);
        TVoskIDEActions::OldIDEActionsClass = nullptr;
        return;
    }
    // Left alone: the class registered after ours may still delegate to TVoskIDEActions, so this
    // library's code must stay in the process after the IDE releases it.
    const QByteArray self = QFile::encodeName(ownModuleFile());
    if (!self.isEmpty())
        dlopen(self.constData(), RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
}

QObject* TQuibbetModul::FindGlobalModules(const QString& name) {
    QObject* found = nullptr;
    if (name.compare(QLatin1String("DM1"), Qt::CaseInsensitive) == 0)
        found = DM1();
    else if (name.compare(QLatin1String("VoskDM_Dunmere"), Qt::CaseInsensitive) == 0)
        found = VoskDM_Dunmere();
    else if (name.compare(QLatin1String("DMSys"), Qt::CaseInsensitive) == 0)
        found = TDMSys::Current();
    if (found && (Vcl::IsReading(found) || Vcl::IsDestroying(found)))
        return nullptr;
    return found;
}

void TQuibbetModul::StartScreenSetStartStatus(const QString& text) {
    try {
        const QDateTime now = QDateTime::currentDateTime();
        Dunmere::LogEventFmt(
            QStringLiteral("%s ~ Laufzeit total= %s ~ Differenz zum letzten Eintrag= %s"),
            {text, fmtDuration(FTotalStartTime, now), fmtDuration(FLastStartTime, now)});
        FLastStartTime = now;
    } catch (...) {
    }
    try {
        IBorlandIDEServices* ide = BorlandIDEServices();
        if (!ide)
            return;
        if (auto* splash = ide->Supports<IOTASplashScreenServices>())
            splash->SetStatusMessage(text);
        else if (auto* messages = ide->Supports<IOTAMessageServices>())
            messages->AddTitleMessage(text);
    } catch (...) {
    }
}

void TQuibbetModul::Finalize() {
    Dunmere::DoLoadLog(QStringLiteral("FINAL"), ClassNameOfModul);
    Dunmere::LogEvent(QStringLiteral("TQuibbetModul.Finalize"));
    if (IBorlandIDEServices* ide = BorlandIDEServices(); ide && PluginInfo >= 0)
        if (auto* about = ide->Supports<IOTAAboutBoxServices>())
            about->RemovePluginInfo(PluginInfo);
    PluginInfo = -1;
    Rtl::UnregisterFindGlobalComponentProc(&TQuibbetModul::FindGlobalModules);
    TDM1::CursorHook(false);
    delete QuibbetModul;
    QuibbetModul = nullptr;
}

namespace {
QString param(const QStringList& params, const QString& name) {
    for (const QString& line : params)
        if (line.section(QLatin1Char('='), 0, 0).compare(name, Qt::CaseInsensitive) == 0)
            return line.section(QLatin1Char('='), 1);
    return {};
}
} // namespace

void TQuibbetModul::MessageListenerEvent(QObject*, const QString&, const QString& user,
                                         const QStringList& params) {
    QString sender = param(params, QStringLiteral("Sender"));
    if (sender.isEmpty())
        sender = QStringLiteral("KORVEX ERP");
    const QString to = user.isEmpty() ? QStringLiteral("[Alle Benutzer]") : user;
    Vcl::ShowMessage(QStringLiteral("ShowNotifyMessage: \n") + params.join(QLatin1Char('\n')) +
                     QStringLiteral("\n(Sender: ") + sender + QStringLiteral(" > Empfänger: ") +
                     to + QLatin1Char(')'));
}

void TQuibbetModul::ShutdownListenerEvent(QObject*, const QString&, const QString&,
                                          const QStringList& params) {
    bool ok = false;
    int wait = param(params, QStringLiteral("WaitTime")).trimmed().toInt(&ok);
    if (!ok)
        wait = 30;
    Vcl::ShowMessage(makeText(4506, QStringLiteral("KORVEX wird beendet, bitte speichern")) +
                     QStringLiteral(" (%1 sec)").arg(wait) + QStringLiteral("\n\n") +
                     param(params, QStringLiteral("InfoText")));
}

void ShowReaderError(const QString& text) {
    if (IOTAMessageServices* messages = messageView())
        messages->AddTitleMessage(text);
}

void Register() {
    TQuibbetModul::Initialize();
    TQuibbetModul::RegisterHelper();
    DesignIntf::RegisterCustomModule(&TVoskBaseForm::staticMetaObject,
                                     DesignIntf::CustomModuleClass<DesignIntf::TCustomModule>());
    Korvexcommonvcl::GReaderErrorProc.Set(&ShowReaderError);
}

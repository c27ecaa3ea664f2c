#pragma once
// The IDE plug-in's data module: brings the ERP's data layer up inside the IDE on a live database
// (with a fallback server), installs the hooks the IDE serves, swaps the IDE's "VCL" action class
// for one whose new actions are the ERP's, and shows the server's notifications.

#include "ToolsAPI.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QStringList>

class TVoskNotifyListener;

// The "VCL" action class while Quibbet is loaded: new actions are TVoskAction; everything else is
// asked of the class that was registered before.
class TVoskIDEActions final : public ToolsAPI::TIDEActions {
public:
    static TVoskIDEActions& Instance();
    // The class registered before ours; null while ours is not installed.
    static ToolsAPI::TIDEActions* OldIDEActionsClass;

    QString ClassName() const override { return QStringLiteral("TVoskIDEActions"); }
    void AssignAction(QObject* source, QObject* destination) override;
    QObject* CreateImageLink(QObject* owner) override;
    QObject* CreateImageList(QObject* owner, QObject* actionList) override;
    const QMetaObject* DefaultActionClass() override;
    const QMetaObject* BaseActionClass() override;
    const QMetaObject* BaseActionListClass() override;
    void CopyImageIfAvailable(QObject* newAction, QObject* actionList) override;
    void RegisterImageLink(QObject* actionList, QObject* imageLink) override;
    void UnregisterImageLink(QObject* actionList, QObject* imageLink) override;

private:
    ToolsAPI::TIDEActions& old() const;
};

class TQuibbetModul final : public QObject {
    Q_OBJECT
public:
    explicit TQuibbetModul(QObject* owner = nullptr);
    ~TQuibbetModul() override;

    // Index of the about-box entry; -1 when there is none.
    static int PluginInfo;
    // Reference moments of the start-status lines; both taken when the package loads.
    static QDateTime FTotalStartTime;
    static QDateTime FLastStartTime;

    static void Initialize();
    static void Finalize();
    static void RegisterHelper();
    static void UnregisterHelper();
    static void OpenDatabaseExecute();
    static QObject* FindGlobalModules(const QString& name);
    static void StartScreenSetStartStatus(const QString& text);
    // Whether the web-UI design packages are in use (then the companion package stays out).
    static bool IsUniGUI();
    // Loads the companion package from folder; shows the error box when that fails.
    static bool LoadCompanionPackage(const QString& folder);

    // The fallback server: host and database from the environment (KORVEX_IDE_FALLBACK_HOST,
    // KORVEX_IDE_FALLBACK_DATABASE), else "localhost" and "KORVEX"; port 5434, user "root".
    static QString FallbackHost();
    static QString FallbackDatabase();
    static constexpr int FallbackPort = 5434;
    // The password of "root" when a configuration names no login.
    static QString DefaultPassword();

    TVoskNotifyListener* MessageListener;
    TVoskNotifyListener* ShutdownListener;
    TVoskNotifyListener* EmptyListener;

    void MessageListenerEvent(QObject* sender, const QString& action, const QString& user,
                              const QStringList& params);
    void ShutdownListenerEvent(QObject* sender, const QString& action, const QString& user,
                               const QStringList& params);
    void EmptyListenerEvent(QObject*, const QString&, const QString&, const QStringList&) {}

private:
    void DataModuleDestroy();
};

// The one data module; null before Initialize and after Finalize.
extern TQuibbetModul* QuibbetModul;

// Adds a form-reading error to the IDE's message view.
void ShowReaderError(const QString& text);

// The package's registration, called by the IDE after loading it.
extern "C" Q_DECL_EXPORT void Register();

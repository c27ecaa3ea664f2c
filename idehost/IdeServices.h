#pragma once
// The services the IDE stand-in offers its packages, kept in memory where the packages' calls can
// be looked at (tests read them back) and shown by the windows that listen to changed().
// The IDE's registry is Vcl's TRegistry under BaseRegistryKey: known and disabled packages,
// environment-variable overrides, environment and project options.

#include "ToolsAPI.h"

#include <QAction>
#include <QObject>
#include <QPixmap>
#include <QPointer>
#include <QStringList>
#include <QWidget>

#include <map>
#include <memory>

// The IDE's own action class, what a new action is without a package's class.
class TAction final : public QAction {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TAction(QObject* owner = nullptr);
};

// The IDE's "VCL" action framework class.
class TIdeVclActions : public ToolsAPI::TIDEActions {
public:
    static TIdeVclActions& Instance();
    QString ClassName() const override { return QStringLiteral("TIdeVclActions"); }
    void AssignAction(QObject* source, QObject* destination) override;
    QObject* CreateImageLink(QObject* owner) override;
    QObject* CreateImageList(QObject* owner, QObject* actionList) override;
    const QMetaObject* DefaultActionClass() override { return &TAction::staticMetaObject; }
    const QMetaObject* BaseActionClass() override { return &QAction::staticMetaObject; }
    const QMetaObject* BaseActionListClass() override { return &QObject::staticMetaObject; }
    void CopyImageIfAvailable(QObject* newAction, QObject* actionList) override;
    void RegisterImageLink(QObject*, QObject*) override {}
    void UnregisterImageLink(QObject*, QObject*) override {}
};

// Options of the IDE or a project: a fixed list of typed options, their values overridable in the
// registry under key.
class TIdeOptions final : public ToolsAPI::IOTAOptions {
public:
    struct Option {
        QString name;
        ToolsAPI::TTypeKind kind;
        QString value;
    };
    TIdeOptions(QString registryKey, std::vector<Option> defaults);
    std::vector<ToolsAPI::TOTAOptionName> GetOptionNames() const override;
    QVariant Values(const QString& name) const override;
    const QString& RegistryKey() const { return m_key; }
    std::vector<Option> Current() const;

private:
    QString m_key;
    std::vector<Option> m_defaults;
};

class TIdeProject final : public ToolsAPI::IOTAProject {
public:
    TIdeProject(QString fileName, QString registryKey);
    QString FileName() const override { return m_fileName; }
    ToolsAPI::IOTAOptions* GetProjectOptions() override { return &m_options; }

private:
    QString m_fileName;
    TIdeOptions m_options;
};

class TIdeServices final : public QObject,
                           public ToolsAPI::IBorlandIDEServices,
                           public ToolsAPI::IOTASplashScreenServices,
                           public ToolsAPI::IOTAAboutBoxServices,
                           public ToolsAPI::IOTAMessageServices,
                           public ToolsAPI::IOTAWizardServices,
                           public ToolsAPI::IOTAServices,
                           public ToolsAPI::IOTAModuleServices {
    Q_OBJECT
public:
    static inline const QString DefaultBaseKey = QStringLiteral("\\Software\\Korvex\\IDE\\28.0");
    static inline const QString ProductName = QStringLiteral("KORVEX IDE");

    // Becomes the global services object and the "VCL" action class until destroyed.
    explicit TIdeServices(QString baseKey = DefaultBaseKey);
    ~TIdeServices() override;

    void* QueryService(const QUuid& iid) override;

    // The splash services exist only while a splash screen is up.
    void SetSplashActive(bool active);
    bool SplashActive() const { return m_splashActive; }
    void SetMainForm(QWidget* form) { m_mainForm = form; }
    void SetActiveProject(std::unique_ptr<TIdeProject> project) { m_project = std::move(project); }

    // Splash
    void AddPluginBitmap(const QString& caption, const QPixmap& bitmap, bool isUnregistered,
                         const QString& licenseStatus, const QString& skuName) override;
    void SetStatusMessage(const QString& text) override;
    // About box
    int AddPluginInfo(const QString& title, const QString& description, const QPixmap& bitmap,
                      bool isUnregistered, const QString& licenseStatus,
                      const QString& skuName) override;
    void RemovePluginInfo(int index) override;
    // Message view
    void AddTitleMessage(const QString& text) override;
    void AddToolMessage(const QString& fileName, const QString& msg, const QString& prefix,
                        int line, int column) override;
    // Wizards, recorded with the module that was registering when they came.
    int AddWizard(ToolsAPI::IOTAMenuWizard* wizard) override;
    void RemoveWizard(int index) override;
    // Drops what a module left behind before its code goes: its wizards.
    void PurgeModule(const QString& module);
    // A package registered components or editors: the windows show them.
    void NotifyRegistered() { emit changed(); }
    // General
    QString GetBaseRegistryKey() override { return m_baseKey; }
    QString GetProductName() override { return ProductName; }
    QWidget* GetMainForm() override { return m_mainForm; }
    ToolsAPI::IOTAOptions* GetEnvironmentOptions() override { return &m_environment; }
    // Modules
    ToolsAPI::IOTAProject* GetActiveProject() override { return m_project.get(); }

    struct PluginEntry {
        QString title;
        QString description;
        QPixmap bitmap;
    };
    const QList<PluginEntry>& SplashBitmaps() const { return m_splashBitmaps; }
    const QStringList& StatusMessages() const { return m_status; }
    const QStringList& Messages() const { return m_messages; }
    const std::map<int, PluginEntry>& AboutEntries() const { return m_about; }
    std::map<int, ToolsAPI::IOTAMenuWizard*> Wizards() const;

    // Registry helpers: key under the base key ("Known Packages").
    QString Key(const QString& sub) const { return m_baseKey + QLatin1Char('\\') + sub; }
    // Packages to load in order: the known ones that are not disabled. WriteDefaults adds the
    // default packages (hadrel with the components, quibbet, morwick) that are not known yet.
    QStringList PackagesToLoad() const;
    static void WriteDefaults(const QString& baseKey);

signals:
    void changed();
    void messageAdded(const QString& text);
    void statusChanged(const QString& text);

private:
    QString m_baseKey;
    bool m_splashActive = false;
    QPointer<QWidget> m_mainForm;
    TIdeOptions m_environment;
    std::unique_ptr<TIdeProject> m_project;
    QList<PluginEntry> m_splashBitmaps;
    QStringList m_status;
    QStringList m_messages;
    std::map<int, PluginEntry> m_about;
    int m_nextAbout = 0;
    struct WizardEntry {
        std::unique_ptr<ToolsAPI::IOTAMenuWizard> wizard;
        QString module;
    };
    std::map<int, WizardEntry> m_wizards;
    int m_nextWizard = 0;
};

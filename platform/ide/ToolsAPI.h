#pragma once
// The IDE's tools interface as the design-time packages see it: one global services object (null
// outside the IDE) that hands out service interfaces by their ids, the menu wizards, and the action
// framework classes per framework name. The IDE host implements the services; packages only call.

#include <QPixmap>
#include <QString>
#include <QStringList>
#include <QUuid>
#include <QVariant>

#include <vector>

class QMetaObject;
class QObject;
class QWidget;

namespace ToolsAPI {

// Service ids as the packages ask for them. Two ids name the message view: both reach it. The
// general and module services have ids of our own.
inline const QUuid IID_IOTASplashScreenServices{"{1A3CDFB0-EBF6-449D-88D4-3D2991F8974F}"};
inline const QUuid IID_IOTAAboutBoxServices{"{62A2F7FD-16F1-45B9-9417-A2D293D07A22}"};
inline const QUuid IID_IOTAMessageServices{"{29E893DB-DD9A-4CEA-B2EE-57532E01A9B9}"};
inline const QUuid IID_IOTAMessageServices40{"{26EB0E4E-F97B-11D1-AB27-00C04FB16FB3}"};
inline const QUuid IID_IOTAWizardServices{"{B75C0CE3-EEA6-11D1-9504-00608CCBF153}"};
inline const QUuid IID_IOTAServices{"{F789E462-35CF-4779-85E9-D017FF937D6B}"};
inline const QUuid IID_IOTAModuleServices{"{05CC5CB3-E76B-48D4-99EF-F9979A66732A}"};

// Kinds of option values, as the option lists report them.
enum class TTypeKind { Unknown, Integer, Enumeration, Float, ShortString, LString, WString, UString };
bool IsStringKind(TTypeKind kind);

struct TOTAOptionName {
    QString name;
    TTypeKind kind = TTypeKind::Unknown;
};

class IOTAOptions {
public:
    virtual ~IOTAOptions() = default;
    virtual std::vector<TOTAOptionName> GetOptionNames() const = 0;
    virtual QVariant Values(const QString& name) const = 0;
};

class IOTASplashScreenServices {
public:
    static inline const QUuid& IID = IID_IOTASplashScreenServices;
    virtual ~IOTASplashScreenServices() = default;
    virtual void AddPluginBitmap(const QString& caption, const QPixmap& bitmap,
                                 bool isUnregistered = false, const QString& licenseStatus = {},
                                 const QString& skuName = {}) = 0;
    virtual void SetStatusMessage(const QString& text) = 0;
};

class IOTAAboutBoxServices {
public:
    static inline const QUuid& IID = IID_IOTAAboutBoxServices;
    virtual ~IOTAAboutBoxServices() = default;
    // Returns the entry's index for RemovePluginInfo.
    virtual int AddPluginInfo(const QString& title, const QString& description,
                              const QPixmap& bitmap, bool isUnregistered = false,
                              const QString& licenseStatus = {}, const QString& skuName = {}) = 0;
    virtual void RemovePluginInfo(int index) = 0;
};

class IOTAMessageServices {
public:
    static inline const QUuid& IID = IID_IOTAMessageServices;
    virtual ~IOTAMessageServices() = default;
    virtual void AddTitleMessage(const QString& text) = 0;
    virtual void AddToolMessage(const QString& fileName, const QString& msg, const QString& prefix,
                                int line, int column) = 0;
};

enum class TWizardState { Enabled, Checked };

// A menu wizard: a command of the IDE's Tools menu.
class IOTAMenuWizard {
public:
    virtual ~IOTAMenuWizard() = default;
    virtual QString GetIDString() = 0;
    virtual QString GetName() = 0;
    virtual TWizardState GetState() = 0;
    virtual void Execute() = 0;
    virtual QString GetMenuText() = 0;
    // Notifier operations; wizards rarely need them.
    virtual void AfterSave() {}
    virtual void BeforeSave() {}
    virtual void Destroyed() {}
    virtual void Modified() {}
};

class IOTAWizardServices {
public:
    static inline const QUuid& IID = IID_IOTAWizardServices;
    virtual ~IOTAWizardServices() = default;
    // Takes ownership; returns the index for RemoveWizard (-1 when refused).
    virtual int AddWizard(IOTAMenuWizard* wizard) = 0;
    virtual void RemoveWizard(int index) = 0;
};

// General services of the IDE.
class IOTAServices {
public:
    static inline const QUuid& IID = IID_IOTAServices;
    virtual ~IOTAServices() = default;
    // "\Software\Korvex\IDE\28.0": the IDE's keys in the registry.
    virtual QString GetBaseRegistryKey() = 0;
    virtual QString GetProductName() = 0;
    virtual QWidget* GetMainForm() = 0;
    virtual IOTAOptions* GetEnvironmentOptions() = 0;
};

class IOTAProject {
public:
    virtual ~IOTAProject() = default;
    virtual QString FileName() const = 0;
    virtual IOTAOptions* GetProjectOptions() = 0;
};

class IOTAModuleServices {
public:
    static inline const QUuid& IID = IID_IOTAModuleServices;
    virtual ~IOTAModuleServices() = default;
    virtual IOTAProject* GetActiveProject() = 0; // null when no project is open
};

// The global services object: a service by its id, or null when the IDE does not offer it.
class IBorlandIDEServices {
public:
    virtual ~IBorlandIDEServices() = default;
    virtual void* QueryService(const QUuid& iid) = 0;

    template <class I> I* Supports() { return static_cast<I*>(QueryService(I::IID)); }
    // For services asked for by an id other than their main one (the older message view id).
    template <class I> I* Supports(const QUuid& iid) { return static_cast<I*>(QueryService(iid)); }
};

IBorlandIDEServices* BorlandIDEServices();
void SetBorlandIDEServices(IBorlandIDEServices* services); // the host, at start and end
// Name of the exported variable that holds the services object, for packages that look it up.
inline constexpr const char* BorlandIDEServicesSymbol = "Toolsapi_BorlandIDEServices";
// The package the variable lives in, as the packages name it.
inline constexpr const char* DesignIdePackage = "designide280.bpl";

// ---- action framework ----------------------------------------------------------------------------

// The IDE's action support for one framework. A class of the original is a set of class methods;
// here one object per class, registered by framework name.
class TIDEActions {
public:
    virtual ~TIDEActions() = default;
    virtual QString ClassName() const = 0;
    virtual void AssignAction(QObject* source, QObject* destination) = 0;
    virtual QObject* CreateImageLink(QObject* owner) = 0;
    virtual QObject* CreateImageList(QObject* owner, QObject* actionList) = 0;
    // Class of the actions the action list editor creates.
    virtual const QMetaObject* DefaultActionClass() = 0;
    virtual const QMetaObject* BaseActionClass() = 0;
    virtual const QMetaObject* BaseActionListClass() = 0;
    virtual void CopyImageIfAvailable(QObject* newAction, QObject* actionList) = 0;
    virtual void RegisterImageLink(QObject* actionList, QObject* imageLink) = 0;
    virtual void UnregisterImageLink(QObject* actionList, QObject* imageLink) = 0;
};

TIDEActions* GetIDEActions(const QString& frameworkType);
void RegisterActionsInFramework(const QString& frameworkType, TIDEActions* actions);
void UnregisterActionsInFramework(const QString& frameworkType);
// A new action of the framework's DefaultActionClass owned by owner; null when there is no class
// or it cannot be created from its meta object.
QObject* CreateDefaultAction(const QString& frameworkType, QObject* owner);

} // namespace ToolsAPI

// The services object under a C name, so that a package that does not link this library finds it
// with dlsym.
extern "C" Q_DECL_EXPORT ToolsAPI::IBorlandIDEServices* Toolsapi_BorlandIDEServices;

#include "IdeServices.h"

#include "DesignIntf.h"
#include "SysPackages.h"
#include "UDM1.h"
#include "UDunmereIDE.h"
#include "Vcl.Services.h"
#include "Vcl.Components.h"
#include "Vcl.Registry.h"

using namespace ToolsAPI;

// ---- actions ----------------------------------------------------------------------------------

TAction::TAction(QObject* owner) : QAction(owner) { Vcl::SetOwner(this, owner); }

TIdeVclActions& TIdeVclActions::Instance() {
    static TIdeVclActions instance;
    return instance;
}

void TIdeVclActions::AssignAction(QObject* source, QObject* destination) {
    auto* s = qobject_cast<QAction*>(source);
    auto* d = qobject_cast<QAction*>(destination);
    if (!s || !d)
        return;
    d->setText(s->text());
    d->setToolTip(s->toolTip());
    d->setIcon(s->icon());
    d->setShortcut(s->shortcut());
    d->setEnabled(s->isEnabled());
    d->setCheckable(s->isCheckable());
    d->setChecked(s->isChecked());
}

QObject* TIdeVclActions::CreateImageLink(QObject* owner) { return new QObject(owner); }

QObject* TIdeVclActions::CreateImageList(QObject* owner, QObject*) { return new QObject(owner); }

void TIdeVclActions::CopyImageIfAvailable(QObject* newAction, QObject* actionList) {
    auto* a = qobject_cast<QAction*>(newAction);
    if (!a || !actionList)
        return;
    // The icon of the list's first action that has one: new actions look like their neighbours.
    for (QObject* c : Vcl::Components(Vcl::Owner(actionList) ? Vcl::Owner(actionList) : actionList))
        if (auto* other = qobject_cast<QAction*>(c); other && other != a && !other->icon().isNull()) {
            a->setIcon(other->icon());
            return;
        }
}

// ---- options ----------------------------------------------------------------------------------

TIdeOptions::TIdeOptions(QString registryKey, std::vector<Option> defaults)
    : m_key(std::move(registryKey)), m_defaults(std::move(defaults)) {}

std::vector<TIdeOptions::Option> TIdeOptions::Current() const {
    std::vector<Option> result = m_defaults;
    Vcl::TRegistry reg;
    if (!reg.OpenKeyReadOnly(m_key))
        return result;
    for (const QString& name : reg.GetValueNames()) {
        auto it = std::find_if(result.begin(), result.end(), [&](const Option& o) {
            return o.name.compare(name, Qt::CaseInsensitive) == 0;
        });
        if (it != result.end())
            it->value = reg.ReadString(name);
        else
            result.push_back({name, TTypeKind::UString, reg.ReadString(name)});
    }
    return result;
}

std::vector<TOTAOptionName> TIdeOptions::GetOptionNames() const {
    std::vector<TOTAOptionName> names;
    for (const Option& o : Current())
        names.push_back({o.name, o.kind});
    return names;
}

QVariant TIdeOptions::Values(const QString& name) const {
    for (const Option& o : Current())
        if (o.name.compare(name, Qt::CaseInsensitive) == 0) {
            if (o.kind == TTypeKind::Integer)
                return o.value.toInt();
            return o.value;
        }
    return {};
}

TIdeProject::TIdeProject(QString fileName, QString registryKey)
    : m_fileName(std::move(fileName)),
      m_options(std::move(registryKey),
                {{QStringLiteral("UnitOutputDir"), TTypeKind::UString, QStringLiteral("out")},
                 {QStringLiteral("Defines"), TTypeKind::UString, QStringLiteral("DEBUG;KORVEX")},
                 {QStringLiteral("SearchPath"), TTypeKind::UString,
                  QStringLiteral("$(KORVEX_SRC)/hadrel;$(KORVEX_SRC)/ostvane")},
                 {QStringLiteral("Optimization"), TTypeKind::Enumeration, QStringLiteral("False")}}) {}

// ---- services ---------------------------------------------------------------------------------

TIdeServices::TIdeServices(QString baseKey)
    : m_baseKey(std::move(baseKey)),
      m_environment(m_baseKey + QStringLiteral("\\Environment Options"),
                    {{QStringLiteral("LibraryPath"), TTypeKind::UString,
                      QStringLiteral("$(KORVEX_LIB)")},
                     {QStringLiteral("BrowsingPath"), TTypeKind::UString,
                      QStringLiteral("$(KORVEX_SRC)/platform")},
                     {QStringLiteral("PackageDPLOutput"), TTypeKind::UString,
                      QStringLiteral("$(KORVEX_LIB)")},
                     {QStringLiteral("UndoLimit"), TTypeKind::Integer, QStringLiteral("32767")},
                     {QStringLiteral("AutoSaveEditorFiles"), TTypeKind::Enumeration,
                      QStringLiteral("False")}}) {
    SetBorlandIDEServices(this);
    Dunmere::SetRunningInIDE(true);
    // The packages' Register procedures fill the palette while this IDE runs.
    DesignIntf::InstallRegistrationProcs(true);
    TDM1::ScreenWarningProc.Set([](const QString& text) {
        Vcl::Ask(Vcl::mtWarning, ProductName, text, Vcl::mbOK);
    });
    if (!GetIDEActions(QStringLiteral("VCL")))
        RegisterActionsInFramework(QStringLiteral("VCL"), &TIdeVclActions::Instance());
}

TIdeServices::~TIdeServices() {
    if (BorlandIDEServices() == this)
        SetBorlandIDEServices(nullptr);
    Dunmere::SetRunningInIDE(false);
    DesignIntf::InstallRegistrationProcs(false);
    TDM1::ScreenWarningProc.Reset();
    if (GetIDEActions(QStringLiteral("VCL")) == &TIdeVclActions::Instance())
        UnregisterActionsInFramework(QStringLiteral("VCL"));
}

void* TIdeServices::QueryService(const QUuid& iid) {
    if (iid == IID_IOTASplashScreenServices)
        return m_splashActive ? static_cast<IOTASplashScreenServices*>(this) : nullptr;
    if (iid == IID_IOTAAboutBoxServices)
        return static_cast<IOTAAboutBoxServices*>(this);
    if (iid == IID_IOTAMessageServices || iid == IID_IOTAMessageServices40)
        return static_cast<IOTAMessageServices*>(this);
    if (iid == IID_IOTAWizardServices)
        return static_cast<IOTAWizardServices*>(this);
    if (iid == IID_IOTAServices)
        return static_cast<IOTAServices*>(this);
    if (iid == IID_IOTAModuleServices)
        return static_cast<IOTAModuleServices*>(this);
    return nullptr;
}

void TIdeServices::SetSplashActive(bool active) { m_splashActive = active; }

void TIdeServices::AddPluginBitmap(const QString& caption, const QPixmap& bitmap, bool,
                                   const QString& licenseStatus, const QString& skuName) {
    m_splashBitmaps.append({caption, QStringList{licenseStatus, skuName}.join(QLatin1Char(' ')).trimmed(),
                            bitmap});
    emit changed();
}

void TIdeServices::SetStatusMessage(const QString& text) {
    m_status << text;
    emit statusChanged(text);
}

int TIdeServices::AddPluginInfo(const QString& title, const QString& description,
                                const QPixmap& bitmap, bool, const QString&, const QString&) {
    const int index = m_nextAbout++;
    m_about[index] = {title, description, bitmap};
    emit changed();
    return index;
}

void TIdeServices::RemovePluginInfo(int index) {
    m_about.erase(index);
    emit changed();
}

void TIdeServices::AddTitleMessage(const QString& text) {
    m_messages << text;
    emit messageAdded(text);
}

void TIdeServices::AddToolMessage(const QString& fileName, const QString& msg, const QString& prefix,
                                  int line, int column) {
    const QString text = QStringLiteral("%1 %2(%3,%4): %5").arg(prefix, fileName).arg(line).arg(column).arg(msg);
    m_messages << text.trimmed();
    emit messageAdded(text.trimmed());
}

int TIdeServices::AddWizard(IOTAMenuWizard* wizard) {
    if (!wizard)
        return -1;
    const int index = m_nextWizard++;
    m_wizards[index] = {std::unique_ptr<IOTAMenuWizard>(wizard), DesignIntf::RegisteringModule()};
    emit changed();
    return index;
}

void TIdeServices::RemoveWizard(int index) {
    auto it = m_wizards.find(index);
    if (it == m_wizards.end())
        return;
    // Taken out first: the wizard's destructor may call back into the services.
    auto wizard = std::move(it->second.wizard);
    m_wizards.erase(it);
    wizard.reset();
    emit changed();
}

void TIdeServices::PurgeModule(const QString& module) {
    std::vector<int> indices;
    for (const auto& [index, entry] : m_wizards)
        if (entry.module == module)
            indices.push_back(index);
    for (int index : indices)
        RemoveWizard(index);
    // Its palette pages and editors went just before.
    emit changed();
}

std::map<int, IOTAMenuWizard*> TIdeServices::Wizards() const {
    std::map<int, IOTAMenuWizard*> result;
    for (const auto& [index, entry] : m_wizards)
        result[index] = entry.wizard.get();
    return result;
}

void TIdeServices::WriteDefaults(const QString& baseKey) {
    Vcl::TRegistry reg;
    // Each default package that is not known yet, also in a registry of an earlier version; a
    // package is taken out through "Disabled Packages", never by removing it here.
    if (reg.OpenKey(baseKey + QStringLiteral("\\Known Packages"), true)) {
        const QStringList known = reg.GetValueNames();
        for (const auto& [name, description] :
             {std::pair{QStringLiteral("hadrel"), QStringLiteral("KORVEX Hadrel Komponenten")},
              std::pair{QStringLiteral("quibbet"), QStringLiteral("KORVEX Quibbet")},
              std::pair{QStringLiteral("morwick"), QStringLiteral("DORNAX Morwick")}})
            if (!known.contains(name, Qt::CaseInsensitive))
                reg.WriteString(name, description);
        reg.CloseKey();
    }
    if (!reg.KeyExists(baseKey + QStringLiteral("\\Environment Variables")) &&
        reg.OpenKey(baseKey + QStringLiteral("\\Environment Variables"), true)) {
        reg.WriteString(QStringLiteral("KORVEX_LIB"), Rtl::LibraryFolder());
        reg.CloseKey();
    }
}

QStringList TIdeServices::PackagesToLoad() const {
    Vcl::TRegistry reg;
    QStringList known;
    if (reg.OpenKeyReadOnly(Key(QStringLiteral("Known Packages"))))
        known = reg.GetValueNames();
    reg.CloseKey();
    if (reg.OpenKeyReadOnly(Key(QStringLiteral("Disabled Packages"))))
        for (const QString& disabled : reg.GetValueNames())
            known.removeIf([&](const QString& k) { return k.compare(disabled, Qt::CaseInsensitive) == 0; });
    return known;
}

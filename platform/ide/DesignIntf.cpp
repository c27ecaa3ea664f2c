#include "DesignIntf.h"

#include "DesignEditors.h"

#include <QMetaObject>
#include <QObject>

#include <algorithm>
#include <vector>

namespace DesignIntf {

namespace {

struct PropertyEntry {
    QMetaType type;
    const QMetaObject* cls;
    QString name;
    TPropertyEditorClass editor;
    QString module;
};
struct ComponentEntry {
    const QMetaObject* cls;
    TComponentEditorClass editor;
    QString module;
};
struct ModuleEntry {
    const QMetaObject* cls;
    TCustomModuleClass module;
    QString owner;
};
struct PaletteEntry {
    QString page;
    Vcl::TComponentClass cls;
    QString module;
};
struct NoIconEntry {
    const QMetaObject* cls;
    QString module;
};

std::vector<PropertyEntry>& properties() {
    static std::vector<PropertyEntry> v;
    return v;
}
std::vector<ComponentEntry>& components() {
    static std::vector<ComponentEntry> v;
    return v;
}
std::vector<ModuleEntry>& modules() {
    static std::vector<ModuleEntry> v;
    return v;
}
std::vector<PaletteEntry>& palette() {
    static std::vector<PaletteEntry> v;
    return v;
}
// Pages in the order of their first registration (they outlive their classes' removal only
// until the last class goes).
QStringList& pages() {
    static QStringList v;
    return v;
}
std::vector<NoIconEntry>& noIcon() {
    static std::vector<NoIconEntry> v;
    return v;
}
QString& registering() {
    static QString module;
    return module;
}

int depth(const QMetaObject* cls) {
    int d = 0;
    for (; cls; cls = cls->superClass())
        ++d;
    return d;
}

bool inherits(const QMetaObject* cls, const QMetaObject* base) {
    return cls && base && cls->inherits(base);
}

bool typeMatches(QMetaType registered, QMetaType actual) {
    if (registered == actual)
        return true;
    // Object types: a property of a derived class takes the base's editor.
    const bool regObj = registered.flags().testFlag(QMetaType::PointerToQObject);
    const bool actObj = actual.flags().testFlag(QMetaType::PointerToQObject);
    return regObj && actObj && inherits(actual.metaObject(), registered.metaObject());
}

} // namespace

QString RegisteringModule() { return registering(); }
void SetRegisteringModule(const QString& module) { registering() = module; }

void RegisterPropertyEditor(QMetaType propertyType, const QMetaObject* componentClass,
                            const QString& propertyName, TPropertyEditorClass editor) {
    properties().push_back(
        {propertyType, componentClass, propertyName, std::move(editor), registering()});
}

void RegisterComponentEditor(const QMetaObject* componentClass, TComponentEditorClass editor) {
    components().push_back({componentClass, std::move(editor), registering()});
}

void RegisterCustomModule(const QMetaObject* componentBaseClass, TCustomModuleClass module) {
    modules().push_back({componentBaseClass, std::move(module), registering()});
}

namespace {
size_t registrations() {
    return properties().size() + components().size() + modules().size() + palette().size() +
           noIcon().size();
}
QString className(const QMetaObject* meta) {
    return QString::fromLatin1(meta->className()).section(QStringLiteral("::"), -1);
}
} // namespace

int PurgeModule(const QString& module) {
    const auto before = registrations();
    std::erase_if(properties(), [&](const PropertyEntry& e) { return e.module == module; });
    std::erase_if(components(), [&](const ComponentEntry& e) { return e.module == module; });
    std::erase_if(modules(), [&](const ModuleEntry& e) { return e.owner == module; });
    std::erase_if(palette(), [&](const PaletteEntry& e) { return e.module == module; });
    std::erase_if(noIcon(), [&](const NoIconEntry& e) { return e.module == module; });
    pages().removeIf([](const QString& page) {
        return std::none_of(palette().begin(), palette().end(),
                            [&](const PaletteEntry& e) { return e.page == page; });
    });
    return int(before - registrations());
}

int RegistrationCount(const QString& module) {
    int n = 0;
    for (const auto& e : palette())
        n += module.isEmpty() || e.module == module;
    for (const auto& e : noIcon())
        n += module.isEmpty() || e.module == module;
    for (const auto& e : properties())
        n += module.isEmpty() || e.module == module;
    for (const auto& e : components())
        n += module.isEmpty() || e.module == module;
    for (const auto& e : modules())
        n += module.isEmpty() || e.owner == module;
    return n;
}

TPropertyEditorMatch FindPropertyEditor(QMetaType propertyType, const QMetaObject* componentClass,
                                        const QString& propertyName) {
    const PropertyEntry* best = nullptr;
    auto rank = [](const PropertyEntry& e) {
        return std::pair{!e.name.isEmpty(), e.cls ? depth(e.cls) : 0};
    };
    for (const auto& e : properties()) {
        if (!typeMatches(e.type, propertyType))
            continue;
        if (e.cls && !inherits(componentClass, e.cls))
            continue;
        if (!e.name.isEmpty() && e.name.compare(propertyName, Qt::CaseInsensitive) != 0)
            continue;
        // >= : of equal rank the later registration wins.
        if (!best || rank(e) >= rank(*best))
            best = &e;
    }
    if (!best)
        return {};
    return {true, !best->editor, best->editor};
}

TComponentEditorClass FindComponentEditor(const QMetaObject* componentClass) {
    const ComponentEntry* best = nullptr;
    for (const auto& e : components())
        if (inherits(componentClass, e.cls) && (!best || depth(e.cls) >= depth(best->cls)))
            best = &e;
    return best ? best->editor : TComponentEditorClass();
}

TCustomModuleClass FindCustomModule(const QMetaObject* rootClass) {
    const ModuleEntry* best = nullptr;
    for (const auto& e : modules())
        if (inherits(rootClass, e.cls) && (!best || depth(e.cls) >= depth(best->cls)))
            best = &e;
    return best ? best->module : TCustomModuleClass();
}

std::unique_ptr<TPropertyEditor> GetPropertyEditor(IDesigner* designer,
                                                   const QList<QObject*>& components,
                                                   const QMetaProperty& prop) {
    if (components.isEmpty())
        return nullptr;
    const QMetaType type = prop.metaType();
    const auto match = FindPropertyEditor(type, components.first()->metaObject(), prop.name());
    std::unique_ptr<TPropertyEditor> editor;
    if (match.hidden)
        return nullptr;
    if (match.found)
        editor = match.editor(designer, components, prop);
    else if (prop.isEnumType() || type.id() == QMetaType::Bool)
        editor = std::make_unique<TEnumProperty>(designer, components, prop);
    else if (type.id() == QMetaType::QString)
        editor = std::make_unique<TStringProperty>(designer, components, prop);
    else if (type.id() == QMetaType::Int || type.id() == QMetaType::LongLong ||
             type.id() == QMetaType::UInt)
        editor = std::make_unique<TIntegerProperty>(designer, components, prop);
    else if (type.flags().testFlag(QMetaType::PointerToQObject)) {
        // An object the component owns is edited in place; anything else is a reference.
        QObject* value = prop.read(components.first()).value<QObject*>();
        if (value && value->parent() == components.first())
            editor = std::make_unique<TClassProperty>(designer, components, prop);
        else
            editor = std::make_unique<TComponentProperty>(designer, components, prop);
    } else
        return nullptr;
    if (editor)
        editor->Initialize();
    return editor;
}

std::unique_ptr<TComponentEditor> GetComponentEditor(QObject* component, IDesigner* designer) {
    if (auto cls = FindComponentEditor(component->metaObject()))
        return cls(component, designer);
    return std::make_unique<TDefaultEditor>(component, designer);
}

// ---- palette

void RegisterPaletteComponents(const QString& page,
                               const std::vector<Vcl::TComponentClass>& classes) {
    if (page.isEmpty())
        return;
    for (const Vcl::TComponentClass& cls : classes) {
        if (!cls.Meta || !cls.Create)
            continue;
        std::erase_if(palette(), [&](const PaletteEntry& e) { return e.cls.Meta == cls.Meta; });
        palette().push_back({page, cls, registering()});
    }
    if (!pages().contains(page))
        pages() << page;
    // A page the move left empty goes.
    pages().removeIf([](const QString& p) {
        return std::none_of(palette().begin(), palette().end(),
                            [&](const PaletteEntry& e) { return e.page == p; });
    });
}

void RegisterNoIconClasses(const std::vector<const QMetaObject*>& classes) {
    for (const QMetaObject* cls : classes)
        if (cls)
            noIcon().push_back({cls, registering()});
}

void InstallRegistrationProcs(bool install) {
    if (install) {
        Vcl::RegisterComponentsProc.Set(&RegisterPaletteComponents);
        Vcl::RegisterNoIconProc.Set(&RegisterNoIconClasses);
    } else {
        Vcl::RegisterComponentsProc.Reset();
        Vcl::RegisterNoIconProc.Reset();
    }
}

QStringList PalettePages() { return pages(); }

std::vector<Vcl::TComponentClass> PaletteClasses(const QString& page) {
    std::vector<Vcl::TComponentClass> out;
    for (const auto& e : palette())
        if (e.page == page)
            out.push_back(e.cls);
    return out;
}

const Vcl::TComponentClass* FindPaletteClass(const QString& name) {
    for (const auto& e : palette())
        if (className(e.cls.Meta).compare(name, Qt::CaseInsensitive) == 0)
            return &e.cls;
    return nullptr;
}

QString PalettePageOf(const QString& name) {
    for (const auto& e : palette())
        if (className(e.cls.Meta).compare(name, Qt::CaseInsensitive) == 0)
            return e.page;
    return {};
}

bool IsDesignKnownClass(const QString& name) {
    return FindPaletteClass(name) ||
           std::any_of(noIcon().begin(), noIcon().end(), [&](const NoIconEntry& e) {
               return className(e.cls).compare(name, Qt::CaseInsensitive) == 0;
           });
}

} // namespace DesignIntf

#include "DesignIntf.h"

#include "DesignEditors.h"

#include <QMetaObject>
#include <QObject>

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

int PurgeModule(const QString& module) {
    const auto before = properties().size() + components().size() + modules().size();
    std::erase_if(properties(), [&](const PropertyEntry& e) { return e.module == module; });
    std::erase_if(components(), [&](const ComponentEntry& e) { return e.module == module; });
    std::erase_if(modules(), [&](const ModuleEntry& e) { return e.owner == module; });
    return int(before - properties().size() - components().size() - modules().size());
}

int RegistrationCount(const QString& module) {
    int n = 0;
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

} // namespace DesignIntf

#pragma once
// Design-time registration: property editors by (property type, component class, property name),
// component editors and custom modules by component class. Every registration records the module
// that made it, so that the IDE purges a package's entries before it unloads the package's code.
//
// Lookup of a property editor: the type must match (for object types, the property's class may
// derive from the registered one), the component's class derive from the registered class (none:
// any class) and the name match case-insensitively (empty: any name). Of the matches, a given name
// beats a given class, a deeper class a shallower one, and a later registration wins ties. A match
// without an editor hides the property.

#include "Vcl.Classes.h"

#include <QList>
#include <QMetaProperty>
#include <QMetaType>
#include <QString>

#include <functional>
#include <memory>

class QMetaObject;
class QObject;

namespace DesignIntf {

enum TPropertyAttribute : unsigned {
    paValueList = 1u << 0,
    paSubProperties = 1u << 1,
    paDialog = 1u << 2,
    paMultiSelect = 1u << 3,
    paAutoUpdate = 1u << 4,
    paSortList = 1u << 5,
    paReadOnly = 1u << 6,
    paRevertable = 1u << 7,
    paFullWidthName = 1u << 8,
    paVolatileSubProperties = 1u << 9,
    paNotNestable = 1u << 10,
    paDisplayReadOnly = 1u << 11,
    paCustomDropDown = 1u << 12,
    paValueEditable = 1u << 13,
};
using TPropertyAttributes = unsigned;

// The form designer an editor works in.
class IDesigner {
public:
    virtual ~IDesigner() = default;
    // The designed form (or data module).
    virtual QObject* GetRoot() = 0;
    // The designed form changed: the designer refreshes and marks it unsaved.
    virtual void Modified() = 0;
    virtual QList<QObject*> GetSelections() = 0;
};

class TPropertyEditor;
class TComponentEditor;

// An editor for property prop of the selected components.
using TPropertyEditorClass = std::function<std::unique_ptr<TPropertyEditor>(
    IDesigner* designer, const QList<QObject*>& components, const QMetaProperty& prop)>;
using TComponentEditorClass =
    std::function<std::unique_ptr<TComponentEditor>(QObject* component, IDesigner* designer)>;

// A root class that opens in the designer as a custom module (its own verbs on the root).
class TCustomModule {
public:
    TCustomModule(QObject* root, IDesigner* designer) : m_root(root), m_designer(designer) {}
    virtual ~TCustomModule() = default;
    QObject* Root() const { return m_root; }
    IDesigner* Designer() const { return m_designer; }
    virtual int GetVerbCount() { return 0; }
    virtual QString GetVerb(int) { return {}; }
    virtual void ExecuteVerb(int) {}

private:
    QObject* m_root;
    IDesigner* m_designer;
};
using TCustomModuleClass =
    std::function<std::unique_ptr<TCustomModule>(QObject* root, IDesigner* designer)>;

template <class E> TPropertyEditorClass PropertyEditorClass() {
    return [](IDesigner* d, const QList<QObject*>& c, const QMetaProperty& p) {
        return std::unique_ptr<TPropertyEditor>(new E(d, c, p));
    };
}
template <class E> TComponentEditorClass ComponentEditorClass() {
    return [](QObject* c, IDesigner* d) { return std::unique_ptr<TComponentEditor>(new E(c, d)); };
}
template <class M> TCustomModuleClass CustomModuleClass() {
    return [](QObject* r, IDesigner* d) { return std::unique_ptr<TCustomModule>(new M(r, d)); };
}

// componentClass null: any class; propertyName empty: any name; editor empty: the property is
// hidden.
void RegisterPropertyEditor(QMetaType propertyType, const QMetaObject* componentClass,
                            const QString& propertyName, TPropertyEditorClass editor);
void RegisterComponentEditor(const QMetaObject* componentClass, TComponentEditorClass editor);
void RegisterCustomModule(const QMetaObject* componentBaseClass, TCustomModuleClass module);

// The module registrations are recorded under; the IDE sets it around a package's entry points.
QString RegisteringModule();
void SetRegisteringModule(const QString& module);
// Drops every registration of module; returns how many.
int PurgeModule(const QString& module);
int RegistrationCount(const QString& module = {}); // all modules for an empty name

struct TPropertyEditorMatch {
    bool found = false;  // some registration matched
    bool hidden = false; // ... and it hides the property
    TPropertyEditorClass editor;
};
TPropertyEditorMatch FindPropertyEditor(QMetaType propertyType, const QMetaObject* componentClass,
                                        const QString& propertyName);
// The registered editor of the most derived matching class; empty when none.
TComponentEditorClass FindComponentEditor(const QMetaObject* componentClass);
TCustomModuleClass FindCustomModule(const QMetaObject* rootClass);

// The editor the inspector uses: the registered one, else the default for the type (text,
// integer, value list of an enumeration or Boolean, class with sub-properties, component
// reference). Null when the property is hidden or of a type nothing edits.
std::unique_ptr<TPropertyEditor> GetPropertyEditor(IDesigner* designer,
                                                   const QList<QObject*>& components,
                                                   const QMetaProperty& prop);
std::unique_ptr<TComponentEditor> GetComponentEditor(QObject* component, IDesigner* designer);

// ---- the component palette
// What the packages' Register procedures put there (Vcl::RegisterComponents and RegisterNoIcon,
// connected by InstallRegistrationProcs), recorded under the registering module like the editors
// and purged with it. Pages keep the order of their first registration, classes theirs within a
// page; a class registered again moves to the end of its new page.
void RegisterPaletteComponents(const QString& page, const std::vector<Vcl::TComponentClass>& classes);
void RegisterNoIconClasses(const std::vector<const QMetaObject*>& classes);
// The IDE connects the component model's registration procedures to the palette at its start
// and disconnects them at its end.
void InstallRegistrationProcs(bool install);

QStringList PalettePages();
std::vector<Vcl::TComponentClass> PaletteClasses(const QString& page);
// The palette's entry of a class by name (case-insensitive); null when none.
const Vcl::TComponentClass* FindPaletteClass(const QString& className);
QString PalettePageOf(const QString& className); // empty when not on the palette
// Whether the designer knows the class: on the palette or registered without an icon.
bool IsDesignKnownClass(const QString& className);

} // namespace DesignIntf

#pragma once
// Bases of the property and component editors. A property editor edits one property of the
// selected components (for a sub-property: of the objects the parent property holds) and shows it
// as text; its attributes tell the inspector whether a value list, a dialog button, sub-properties
// or read-only display go with it. Writes go to every selected component, then to the designer's
// Modified.

#include "DesignIntf.h"

#include <QList>
#include <QMetaProperty>
#include <QString>
#include <QVariant>

#include <functional>
#include <memory>
#include <vector>

namespace DesignIntf {

using TGetStrProc = std::function<void(const QString&)>;

class TPropertyEditor {
public:
    TPropertyEditor(IDesigner* designer, const QList<QObject*>& components,
                    const QMetaProperty& prop);
    virtual ~TPropertyEditor() = default;
    TPropertyEditor(const TPropertyEditor&) = delete;
    TPropertyEditor& operator=(const TPropertyEditor&) = delete;

    virtual void Initialize() {}
    virtual TPropertyAttributes GetAttributes();
    virtual QString GetName();
    virtual QString GetValue();
    virtual void SetValue(const QString& value);
    virtual void GetValues(const TGetStrProc& proc);
    virtual void Edit() {}
    // Editors of the sub-properties (paSubProperties), in declaration order.
    virtual std::vector<std::unique_ptr<TPropertyEditor>> GetProperties();

    IDesigner* Designer() const { return m_designer; }
    QObject* GetComponent(int index) const { return m_components.value(index); }
    int PropCount() const { return int(m_components.size()); }
    const QMetaProperty& Property() const { return m_prop; }

    QVariant GetVarValue() const;
    void SetVarValue(const QVariant& value);
    qint64 GetOrdValue() const { return GetVarValue().toLongLong(); }
    void SetOrdValue(qint64 value) { SetVarValue(QVariant::fromValue(value)); }
    QString GetStrValue() const { return GetVarValue().toString(); }
    void SetStrValue(const QString& value) { SetVarValue(value); }
    // The object a class-typed property holds; null otherwise.
    QObject* GetObjValue() const;
    // Whether every selected component holds the same value.
    bool AllEqual() const;
    void Modified();

private:
    IDesigner* m_designer;
    QList<QObject*> m_components;
    QMetaProperty m_prop;
};

class TStringProperty : public TPropertyEditor {
public:
    using TPropertyEditor::TPropertyEditor;
    TPropertyAttributes GetAttributes() override;
    QString GetValue() override { return GetStrValue(); }
    void SetValue(const QString& value) override { SetStrValue(value); }
};

// Whole numbers; text that is not one raises EConvertError.
class TIntegerProperty : public TPropertyEditor {
public:
    using TPropertyEditor::TPropertyEditor;
    TPropertyAttributes GetAttributes() override;
    QString GetValue() override { return QString::number(GetOrdValue()); }
    void SetValue(const QString& value) override;
};

// Booleans and enumerations: the names of their values as a list.
class TEnumProperty : public TPropertyEditor {
public:
    using TPropertyEditor::TPropertyEditor;
    TPropertyAttributes GetAttributes() override;
    QString GetValue() override;
    void SetValue(const QString& value) override;
    void GetValues(const TGetStrProc& proc) override;
};

// An object held by the property: shown as "(ClassName)" with its properties below.
class TClassProperty : public TPropertyEditor {
public:
    using TPropertyEditor::TPropertyEditor;
    TPropertyAttributes GetAttributes() override;
    QString GetValue() override;
    std::vector<std::unique_ptr<TPropertyEditor>> GetProperties() override;
};

// A reference to another component of the designed form, chosen by name.
class TComponentProperty : public TPropertyEditor {
public:
    using TPropertyEditor::TPropertyEditor;
    TPropertyAttributes GetAttributes() override;
    QString GetValue() override;
    void SetValue(const QString& value) override;
    void GetValues(const TGetStrProc& proc) override;
};

class TComponentEditor {
public:
    TComponentEditor(QObject* component, IDesigner* designer)
        : m_component(component), m_designer(designer) {}
    virtual ~TComponentEditor() = default;
    TComponentEditor(const TComponentEditor&) = delete;
    TComponentEditor& operator=(const TComponentEditor&) = delete;

    virtual void Edit();
    virtual int GetVerbCount() { return 0; }
    virtual QString GetVerb(int) { return {}; }
    virtual void ExecuteVerb(int) {}
    virtual void PrepareItem(int, QObject*) {}

    QObject* Component() const { return m_component; }
    IDesigner* Designer() const { return m_designer; }

private:
    QObject* m_component;
    IDesigner* m_designer;
};

// What a component without an editor of its own gets: double click runs the first verb.
class TDefaultEditor : public TComponentEditor {
public:
    using TComponentEditor::TComponentEditor;
};

// The objects of the designed form that an editor may refer to: root and everything it owns,
// depth first, in owner order.
QList<QObject*> DesignedComponents(QObject* root);

} // namespace DesignIntf

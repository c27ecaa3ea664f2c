#include "DesignEditors.h"

#include "Vcl.Components.h"

#include <VoskExceptions.h>

#include <QMetaEnum>
#include <QObject>

namespace DesignIntf {

TPropertyEditor::TPropertyEditor(IDesigner* designer, const QList<QObject*>& components,
                                 const QMetaProperty& prop)
    : m_designer(designer), m_components(components), m_prop(prop) {}

TPropertyAttributes TPropertyEditor::GetAttributes() {
    TPropertyAttributes a = paRevertable;
    if (!m_prop.isWritable())
        a |= paReadOnly;
    return a;
}

QString TPropertyEditor::GetName() { return QString::fromLatin1(m_prop.name()); }

QString TPropertyEditor::GetValue() { return GetVarValue().toString(); }

void TPropertyEditor::SetValue(const QString& value) { SetVarValue(value); }

void TPropertyEditor::GetValues(const TGetStrProc&) {}

std::vector<std::unique_ptr<TPropertyEditor>> TPropertyEditor::GetProperties() { return {}; }

QVariant TPropertyEditor::GetVarValue() const {
    QObject* c = GetComponent(0);
    return c ? m_prop.read(c) : QVariant();
}

void TPropertyEditor::SetVarValue(const QVariant& value) {
    QVariant v = value;
    if (v.metaType() != m_prop.metaType() && !v.convert(m_prop.metaType()))
        throw EConvertError(QStringLiteral("Ungültiger Wert für %1: %2")
                                .arg(QString::fromLatin1(m_prop.name()), value.toString()));
    for (QObject* c : m_components)
        m_prop.write(c, v);
    Modified();
}

QObject* TPropertyEditor::GetObjValue() const { return GetVarValue().value<QObject*>(); }

bool TPropertyEditor::AllEqual() const {
    const QVariant first = GetVarValue();
    for (QObject* c : m_components)
        if (m_prop.read(c) != first)
            return false;
    return true;
}

void TPropertyEditor::Modified() {
    if (m_designer)
        m_designer->Modified();
}

TPropertyAttributes TStringProperty::GetAttributes() {
    return TPropertyEditor::GetAttributes() | paMultiSelect;
}

TPropertyAttributes TIntegerProperty::GetAttributes() {
    return TPropertyEditor::GetAttributes() | paMultiSelect;
}

void TIntegerProperty::SetValue(const QString& value) {
    bool ok = false;
    const qint64 n = value.trimmed().toLongLong(&ok);
    if (!ok)
        throw EConvertError(QStringLiteral("'%1' ist kein gültiger Integerwert").arg(value));
    SetOrdValue(n);
}

TPropertyAttributes TEnumProperty::GetAttributes() {
    return TPropertyEditor::GetAttributes() | paMultiSelect | paValueList | paSortList;
}

QString TEnumProperty::GetValue() {
    if (Property().metaType().id() == QMetaType::Bool)
        return GetVarValue().toBool() ? QStringLiteral("True") : QStringLiteral("False");
    const QMetaEnum e = Property().enumerator();
    const char* key = e.valueToKey(int(GetOrdValue()));
    return key ? QString::fromLatin1(key) : QString::number(GetOrdValue());
}

void TEnumProperty::SetValue(const QString& value) {
    if (Property().metaType().id() == QMetaType::Bool) {
        if (value.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
            SetVarValue(true);
        else if (value.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
            SetVarValue(false);
        else
            throw EConvertError(QStringLiteral("'%1' ist kein gültiger Boolescher Wert").arg(value));
        return;
    }
    const QMetaEnum e = Property().enumerator();
    bool ok = false;
    const int v = e.keyToValue(value.trimmed().toLatin1().constData(), &ok);
    if (!ok)
        throw EConvertError(QStringLiteral("'%1' ist kein gültiger Wert für %2")
                                .arg(value, GetName()));
    // Through the enum's own type: a plain int does not convert to a scoped enum.
    QVariant var(Property().metaType(), nullptr);
    *static_cast<int*>(var.data()) = v;
    SetVarValue(var);
}

void TEnumProperty::GetValues(const TGetStrProc& proc) {
    if (Property().metaType().id() == QMetaType::Bool) {
        proc(QStringLiteral("False"));
        proc(QStringLiteral("True"));
        return;
    }
    const QMetaEnum e = Property().enumerator();
    for (int i = 0; i < e.keyCount(); ++i)
        proc(QString::fromLatin1(e.key(i)));
}

TPropertyAttributes TClassProperty::GetAttributes() {
    return paSubProperties | paReadOnly | paMultiSelect;
}

QString TClassProperty::GetValue() {
    QObject* o = GetObjValue();
    return QStringLiteral("(%1)").arg(o ? Vcl::ClassName(o)
                                        : Vcl::ClassName(Property().metaType().metaObject()));
}

std::vector<std::unique_ptr<TPropertyEditor>> TClassProperty::GetProperties() {
    std::vector<std::unique_ptr<TPropertyEditor>> result;
    QList<QObject*> objects;
    for (int i = 0; i < PropCount(); ++i)
        if (QObject* o = Property().read(GetComponent(i)).value<QObject*>())
            objects << o;
    if (objects.isEmpty())
        return result;
    const QMetaObject* meta = objects.first()->metaObject();
    // Properties of QObject itself (objectName) are not the object's own.
    for (int i = QObject::staticMetaObject.propertyCount(); i < meta->propertyCount(); ++i)
        if (auto e = GetPropertyEditor(Designer(), objects, meta->property(i)))
            result.push_back(std::move(e));
    return result;
}

TPropertyAttributes TComponentProperty::GetAttributes() {
    return TPropertyEditor::GetAttributes() | paMultiSelect | paValueList | paSortList;
}

QString TComponentProperty::GetValue() {
    QObject* o = GetObjValue();
    return o ? o->objectName() : QString();
}

void TComponentProperty::GetValues(const TGetStrProc& proc) {
    const QMetaObject* wanted = Property().metaType().metaObject();
    QObject* root = Designer() ? Designer()->GetRoot() : nullptr;
    for (QObject* c : DesignedComponents(root))
        if (!c->objectName().isEmpty() && (!wanted || c->metaObject()->inherits(wanted)))
            proc(c->objectName());
}

void TComponentProperty::SetValue(const QString& value) {
    const QMetaType type = Property().metaType();
    if (value.trimmed().isEmpty()) {
        QVariant none(type, nullptr); // a null pointer of the property's type
        SetVarValue(none);
        return;
    }
    QObject* root = Designer() ? Designer()->GetRoot() : nullptr;
    for (QObject* c : DesignedComponents(root))
        if (c->objectName().compare(value.trimmed(), Qt::CaseInsensitive) == 0 &&
            (!type.metaObject() || c->metaObject()->inherits(type.metaObject()))) {
            QVariant v(type, &c);
            SetVarValue(v);
            return;
        }
    throw EVoskException(QStringLiteral("Ungültiger Eigenschaftswert: %1").arg(value));
}

void TComponentEditor::Edit() {
    if (GetVerbCount() > 0)
        ExecuteVerb(0);
}

QList<QObject*> DesignedComponents(QObject* root) {
    QList<QObject*> result;
    if (!root)
        return result;
    result << root;
    for (QObject* c : Vcl::Components(root))
        result << DesignedComponents(c).mid(0);
    return result;
}

} // namespace DesignIntf

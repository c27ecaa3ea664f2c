#pragma once
// Designer editor base for a property that holds an object of events: the events are shown as
// sub-properties of that property. Derived editors say which object that is. Header only, so the
// grid library itself needs nothing of the designer; design packages link the designer anyway.

#include "DesignEditors.h"

#include <QObject>

class TcxNestedEventProperty : public DesignIntf::TClassProperty {
public:
    using TClassProperty::TClassProperty;
    // The object whose events are shown; null shows nothing.
    virtual QObject* GetInstance() { return GetObjValue(); }
    DesignIntf::TPropertyAttributes GetAttributes() override {
        return DesignIntf::paSubProperties | DesignIntf::paReadOnly;
    }
    QString GetValue() override {
        return GetInstance() ? QStringLiteral("(Ereignisse)") : QString();
    }
    std::vector<std::unique_ptr<DesignIntf::TPropertyEditor>> GetProperties() override {
        std::vector<std::unique_ptr<DesignIntf::TPropertyEditor>> result;
        QObject* instance = GetInstance();
        if (!instance)
            return result;
        const QMetaObject* meta = instance->metaObject();
        for (int i = QObject::staticMetaObject.propertyCount(); i < meta->propertyCount(); ++i)
            if (auto e = DesignIntf::GetPropertyEditor(Designer(), {instance}, meta->property(i)))
                result.push_back(std::move(e));
        return result;
    }
};

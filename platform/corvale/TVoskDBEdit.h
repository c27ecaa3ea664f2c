#pragma once
// Line edit bound to a field of a data class: it shows the current record's value, and typing puts
// the class into edit and sets the field. Read-only whenever the class or the field cannot change.

#include <QLineEdit>
#include <QPointer>

#include <functional>

#include <TVoskClass.h>

#include "VoskF2Controls.h"
#include "TQ32Control.h"

namespace Corvale {

// The binding a data-aware control shares: follows the class and reports when the shown value or
// the editability may have changed. Writes go to the field at the current record.
class TFieldLink final : public QObject {
    Q_OBJECT
public:
    TFieldLink(QObject* parent, std::function<void()> refresh);

    TVoskClass* DataClass() const { return m_class; }
    void SetDataClass(TVoskClass* dataClass);
    const QString& FieldName() const { return m_field; }
    void SetFieldName(const QString& field);

    QVariant Value() const;
    bool CanEdit() const;
    // Sets the field; an empty text is stored as null. Throws what the class throws, after
    // showing the field's value again.
    void Store(const QVariant& value);
    // Store inside the event guard. Returns false when refused (and shown).
    bool Write(const QVariant& value);
    bool Writing() const { return m_writing; }

private:
    std::function<void()> m_refresh;
    QPointer<TVoskClass> m_class;
    QString m_field;
    QList<QMetaObject::Connection> m_links;
    bool m_writing = false;
};

} // namespace Corvale

class TVoskDBEdit final : public TVoskEdit, public IKorvexControl {
    Q_OBJECT
public:
    explicit TVoskDBEdit(QWidget* parent = nullptr);

    TVoskClass* DataClass() const { return m_link->DataClass(); }
    void SetDataClass(TVoskClass* dataClass) { m_link->SetDataClass(dataClass); }
    QString DataField() const { return m_link->FieldName(); }
    void SetDataField(const QString& field) { m_link->SetFieldName(field); }
    // Hands a text set from code to the field when it differs from the field's value; false when
    // there was nothing to hand over. Throws when the class refuses the value.
    bool PostEditValue();
    // Read-only whatever the field allows (a field only some users may change).
    bool ForceReadOnly() const { return m_forceReadOnly; }
    void SetForceReadOnly(bool on);

    // IKorvexControl: the last value is the shown text, kept per form class and control name;
    // loading writes it into the field as typing would and leaves the edit alone when none is
    // stored.
    void SetMyControl(TQ32Control* control) override { m_myControl = control; }
    TQ32Control* GetMyControl() const override { return m_myControl; }
    void SaveLastValue() override;
    void LoadLastValue() override;
    bool isModifiedByUser() const override { return isModified(); }
    QString LastValueKey() const;

private:
    void showValue();
    // Length from the column's size; only digits (and one decimal separator) in number columns.
    void applyFieldLimits();
    Corvale::TFieldLink* m_link;
    int m_numberKind = 0; // 0 any text, 1 integer, 2 decimal
    bool m_forceReadOnly = false;
    QPointer<TQ32Control> m_myControl;
};

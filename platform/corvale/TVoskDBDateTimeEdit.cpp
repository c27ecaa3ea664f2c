#include "TVoskDBDateTimeEdit.h"

#include "TVoskDBEdit.h"

TVoskDBDateTimeEdit::TVoskDBDateTimeEdit(QWidget* parent)
    : QDateTimeEdit(parent), m_link(new Corvale::TFieldLink(this, [this] { showValue(); })) {
    setDisplayFormat(QStringLiteral("dd.MM.yyyy HH:mm"));
    setCalendarPopup(true);
    connect(this, &QDateTimeEdit::dateTimeChanged, this, [this](const QDateTime& value) {
        if (!m_showing && !m_link->Write(value))
            showValue();
    });
    showValue();
}

TVoskClass* TVoskDBDateTimeEdit::DataClass() const { return m_link->DataClass(); }
void TVoskDBDateTimeEdit::SetDataClass(TVoskClass* dataClass) { m_link->SetDataClass(dataClass); }
QString TVoskDBDateTimeEdit::DataField() const { return m_link->FieldName(); }
void TVoskDBDateTimeEdit::SetDataField(const QString& field) { m_link->SetFieldName(field); }

void TVoskDBDateTimeEdit::showValue() {
    m_showing = true;
    const QVariant v = m_link->Value();
    QDateTime shown = v.toDateTime();
    // No value shows the edit's minimum, which the special text turns into an empty field.
    setSpecialValueText(QStringLiteral(" "));
    setDateTime(shown.isValid() ? shown : minimumDateTime());
    setReadOnly(!m_link->CanEdit());
    m_showing = false;
}

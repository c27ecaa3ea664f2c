#include "TDBText.h"

#include "TVoskDBEdit.h"

TDBText::TDBText(QWidget* parent)
    : QLabel(parent), m_link(new Corvale::TFieldLink(this, [this] { showValue(); })) {
    setAutoFillBackground(true);
}

TVoskClass* TDBText::DataClass() const { return m_link->DataClass(); }
void TDBText::SetDataClass(TVoskClass* dataClass) { m_link->SetDataClass(dataClass); }
QString TDBText::DataField() const { return m_link->FieldName(); }
void TDBText::SetDataField(const QString& field) { m_link->SetFieldName(field); }

void TDBText::SetTransparent(bool on) {
    m_transparent = on;
    setAutoFillBackground(!on);
    setAttribute(Qt::WA_TranslucentBackground, on);
}

void TDBText::showValue() { setText(m_link->Value().toString()); }

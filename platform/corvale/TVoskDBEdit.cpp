#include "TVoskDBEdit.h"

#include "Korvexutils.h"
#include "UDM1.h"
#include "Vcl.Components.h"

#include <EventGuard.h>

#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <TVoskClass.h>

namespace Corvale {

TFieldLink::TFieldLink(QObject* parent, std::function<void()> refresh)
    : QObject(parent), m_refresh(std::move(refresh)) {}

void TFieldLink::SetDataClass(TVoskClass* dataClass) {
    for (const auto& c : m_links)
        disconnect(c);
    m_links.clear();
    m_class = dataClass;
    if (dataClass) {
        const auto refresh = [this] {
            if (!m_writing)
                m_refresh();
        };
        m_links << connect(dataClass, &TVoskClass::StateChanged, this, refresh)
                << connect(dataClass, &TVoskClass::CurrentChanged, this, refresh)
                << connect(dataClass, &TVoskClass::RowsReset, this, refresh)
                << connect(dataClass, &TVoskClass::RowUpdated, this, refresh)
                << connect(dataClass, &TVoskClass::FieldChanged, this, refresh)
                << connect(dataClass, &QObject::destroyed, this, refresh);
    }
    m_refresh();
}

void TFieldLink::SetFieldName(const QString& field) {
    m_field = field;
    m_refresh();
}

QVariant TFieldLink::Value() const {
    if (!m_class || !m_class->Active() || m_field.isEmpty())
        return {};
    return m_class->FindField(m_field).Value();
}

bool TFieldLink::CanEdit() const {
    return m_class && m_class->CanModify() && m_class->FieldWritable(m_class->FieldIndex(m_field));
}

void TFieldLink::Store(const QVariant& value) {
    m_writing = true;
    try {
        const bool text = value.typeId() == QMetaType::QString;
        const bool empty = text && value.toString().isEmpty();
        QVariant v = empty ? QVariant() : value;
        // Typed the German way ("12,5"); the server reads the point.
        if (text && !empty && m_class->FieldIsNumeric(m_class->FieldIndex(m_field)))
            v = value.toString().replace(u',', u'.');
        m_class->FieldByName(m_field).SetValue(v);
    } catch (...) {
        m_writing = false;
        m_refresh();
        throw;
    }
    m_writing = false;
}

bool TFieldLink::Write(const QVariant& value) {
    if (!CanEdit())
        return false;
    return Rtl::Guarded([&] { Store(value); }, parent());
}

} // namespace Corvale

TVoskDBEdit::TVoskDBEdit(QWidget* parent)
    : TVoskEdit(parent), m_link(new Corvale::TFieldLink(this, [this] { showValue(); })) {
    connect(this, &QLineEdit::textEdited, this, [this](const QString& text) { m_link->Write(text); });
    showValue();
}

void TVoskDBEdit::showValue() {
    applyFieldLimits();
    const QString text = m_link->Value().toString();
    if (text != this->text())
        setText(text);
    setReadOnly(m_forceReadOnly || !m_link->CanEdit());
}

void TVoskDBEdit::SetForceReadOnly(bool on) {
    m_forceReadOnly = on;
    setReadOnly(m_forceReadOnly || !m_link->CanEdit());
}

void TVoskDBEdit::applyFieldLimits() {
    TVoskClass* c = m_link->DataClass();
    const int col = c && c->Active() ? c->FieldIndex(m_link->FieldName()) : -1;
    const int size = col >= 0 ? c->FieldSize(col) : 0;
    const int wanted = size > 0 ? size : 32767;
    if (maxLength() != wanted)
        setMaxLength(wanted);
    const int kind = col < 0 ? 0 : c->FieldIsInteger(col) ? 1 : c->FieldIsNumeric(col) ? 2 : 0;
    if (kind == m_numberKind)
        return;
    m_numberKind = kind;
    static const QRegularExpression integer(QStringLiteral("-?\\d*"));
    static const QRegularExpression decimal(QStringLiteral("-?\\d*([.,]\\d*)?"));
    const QValidator* old = validator();
    setValidator(kind == 0 ? nullptr
                           : new QRegularExpressionValidator(kind == 1 ? integer : decimal, this));
    delete old;
}

bool TVoskDBEdit::PostEditValue() {
    TVoskClass* c = m_link->DataClass();
    if (!c || !c->HasRecord() || c->FieldIndex(m_link->FieldName()) < 0 ||
        text() == m_link->Value().toString())
        return false;
    m_link->Store(text());
    return true;
}

QString TVoskDBEdit::LastValueKey() const {
    QWidget* form = Korvexutils::KorvexGetForm(const_cast<TVoskDBEdit*>(this));
    return QStringLiteral("LastValue_") + (form ? Vcl::ClassName(form) : QString()) +
           QLatin1Char('_') + objectName();
}

namespace {
// Stands for "never stored"; an empty text is a value of its own.
const QString kNoLastValue = QStringLiteral("\x01<none>");
} // namespace

void TVoskDBEdit::SaveLastValue() {
    if (TDM1* dm = DM1(); dm && dm->Connected())
        dm->SaveLastVal(LastValueKey(), text());
}

void TVoskDBEdit::LoadLastValue() {
    TDM1* dm = DM1();
    if (!dm || !dm->Connected())
        return;
    const QString value = dm->LoadLastVal(LastValueKey(), kNoLastValue);
    if (value == kNoLastValue || value == text())
        return;
    setText(value);
    m_link->Write(value);
}

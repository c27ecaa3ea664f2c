#include "TVoskDBMemo.h"

#include "Korvexutils.h"
#include "RtlDialog.h"
#include "TVoskDBEdit.h"

TVoskDBMemo::TVoskDBMemo(QWidget* parent)
    : QPlainTextEdit(parent), m_link(new Corvale::TFieldLink(this, [this] { showValue(); })) {
    // textChanged also fires for our own setPlainText; only the user's typing writes.
    connect(this, &QPlainTextEdit::textChanged, this, [this] {
        if (!m_showing)
            m_link->Write(toPlainText());
    });
    showValue();
}

TVoskClass* TVoskDBMemo::DataClass() const { return m_link->DataClass(); }
void TVoskDBMemo::SetDataClass(TVoskClass* dataClass) { m_link->SetDataClass(dataClass); }
QString TVoskDBMemo::DataField() const { return m_link->FieldName(); }
void TVoskDBMemo::SetDataField(const QString& field) { m_link->SetFieldName(field); }

void TVoskDBMemo::showValue() {
    const QString text = m_link->Value().toString();
    m_showing = true;
    if (text != toPlainText())
        setPlainText(text);
    setReadOnly(!m_link->CanEdit());
    m_showing = false;
}

void TVoskDBMemo::EditAction() {
    if (!RtlDialog::FEditTextS.Assigned()) {
        Korvexutils::RaiseInformation(QStringLiteral("Der Texteditor ist nicht verfügbar."));
        return;
    }
    const QString before = toPlainText();
    const QString after = RtlDialog::FEditTextS(DataField(), before, textCursor().position(),
                                                isReadOnly(), false, QChar(), true);
    if (!isReadOnly() && after != before)
        m_link->Write(after);
    showValue();
}

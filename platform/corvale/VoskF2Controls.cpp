#include "VoskF2Controls.h"

#include <TKorvexPython.h>

namespace Corvale {
QString ScriptLine(const QObject* control, const QString& pythonValue) {
    return control->objectName().toLower() + QStringLiteral(" = ") + pythonValue;
}
} // namespace Corvale

TVoskEdit::TVoskEdit(QWidget* parent) : QLineEdit(parent) {}

bool TVoskEdit::CheckF2Value() const {
    return !m_required || !text().trimmed().isEmpty();
}

void TVoskEdit::GetF2ScriptValue(QStringList& lines) const {
    lines.append(Corvale::ScriptLine(this, EscapePythonString(text())));
}

TVoskPickEdit::TVoskPickEdit(QWidget* parent) : QComboBox(parent) {
    setEditable(true);
}

bool TVoskPickEdit::CheckF2Value() const {
    const QString t = currentText();
    if (t.trimmed().isEmpty())
        return !m_required;
    return !m_itemsOnly || findText(t, Qt::MatchFixedString) >= 0;
}

void TVoskPickEdit::GetF2ScriptValue(QStringList& lines) const {
    lines.append(Corvale::ScriptLine(this, EscapePythonString(currentText())));
}

TVoskCheckBox::TVoskCheckBox(QWidget* parent) : QCheckBox(parent) {}

void TVoskCheckBox::GetF2ScriptValue(QStringList& lines) const {
    lines.append(
        Corvale::ScriptLine(this, isChecked() ? QStringLiteral("True") : QStringLiteral("False")));
}

TVoskDateEdit::TVoskDateEdit(QWidget* parent) : TVoskEdit(parent) {
    setPlaceholderText(QStringLiteral("TT.MM.JJJJ"));
}

QDate TVoskDateEdit::Date() const {
    const QString t = text().trimmed();
    for (const QString& format : {QStringLiteral("d.M.yyyy"), QStringLiteral("yyyy-MM-dd")}) {
        const QDate d = QDate::fromString(t, format);
        if (d.isValid())
            return d;
    }
    return {};
}

void TVoskDateEdit::SetDate(const QDate& date) {
    setText(date.isValid() ? date.toString(QStringLiteral("dd.MM.yyyy")) : QString());
}

bool TVoskDateEdit::CheckF2Value() const {
    if (text().trimmed().isEmpty())
        return !Required();
    return Date().isValid();
}

void TVoskDateEdit::GetF2ScriptValue(QStringList& lines) const {
    const QDate d = Date();
    lines.append(Corvale::ScriptLine(
        this, d.isValid() ? EscapePythonString(d.toString(QStringLiteral("yyyy-MM-dd")))
                          : QStringLiteral("None")));
}

TVoskMemo::TVoskMemo(QWidget* parent) : QPlainTextEdit(parent) {}

void TVoskMemo::GetF2ScriptValue(QStringList& lines) const {
    lines.append(Corvale::ScriptLine(this, EscapePythonString(toPlainText())));
}

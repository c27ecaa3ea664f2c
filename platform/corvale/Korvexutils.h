#pragma once
// Small form routines of the common components.

#include <QString>
#include <QVariant>

class QWidget;

namespace Korvexutils {

// The module a form belongs to: its "ModulName" property as the module start sets it; empty for a
// form that was not started as a module.
QString FindModulName(const QWidget* form);

// The text without leading and trailing blanks and control characters (line ends, tabs, NUL).
QString TrimEx(const QString& text);

// The form a control sits on: its window, or for a control inside an MDI child that child's form.
QWidget* KorvexGetForm(QWidget* control, bool topLevel = false, bool raiseIfNone = false);

// Writes value into control: a line edit (a data-aware one into its field), a text edit (in place
// of its selection), a spin box or an editable combo box. False for any other kind of control.
// name, options and field are for the kinds a later caller adds.
bool SetControlValue(const QVariant& value, QWidget* control, const QString& name = {},
                     int options = 0, QObject* field = nullptr);

// A yes/no question; true for yes.
bool RaiseQuestionYes(const QString& question);
// Shows an error and aborts the action silently (EAbort).
[[noreturn]] void RaiseCriticalError(const QString& message);

} // namespace Korvexutils

namespace Korvexutils {

// An information with an OK button.
void RaiseInformation(const QString& message);
// An error with an OK button; then the action ends with the silent abort (EAbort).
[[noreturn]] void RaiseError(const QString& message);

} // namespace Korvexutils

namespace Korvexutils {

// The text filled with blanks on the right to length characters; a longer text stays whole.
QString MacheStellig(const QString& text, int length);
// A question with the buttons named in buttons ("Yes|No", "Yes|No|Cancel", ...); returns the
// modal result of the button (mrYes 6, mrNo 7, ...), mrCancel (2) when the user closed it.
int RaiseQuestionBtn(const QString& question, const QString& buttons);

} // namespace Korvexutils

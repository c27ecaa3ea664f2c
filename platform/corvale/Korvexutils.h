#pragma once
// Small form routines of the common components.

#include <QString>

class QWidget;

namespace Korvexutils {

// The module a form belongs to: its "ModulName" property as the module start sets it; empty for a
// form that was not started as a module.
QString FindModulName(const QWidget* form);

} // namespace Korvexutils

namespace Korvexutils {

// An information with an OK button.
void RaiseInformation(const QString& message);
// An error with an OK button; then the action ends with the silent abort (EAbort).
[[noreturn]] void RaiseError(const QString& message);

} // namespace Korvexutils

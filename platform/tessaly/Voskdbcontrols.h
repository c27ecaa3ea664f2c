#pragma once
// Hook slot through which the lower packages open a module window by its form class name; the
// forms package fills it while it is loaded. Arguments: class name, name/value pairs, whether a
// further window is wanted, the module the start comes from. Result: the window, or null.

#include <HookSlot.h>

#include <QString>
#include <QStringList>

class QObject;
class QWidget;

namespace Voskdbcontrols {
extern Rtl::HookSlot<QWidget*(const QString&, const QStringList&, bool, QWidget*)>
    DoStartModuleByClass;
// Creates the memo editor form with that owner; the forms package fills it while it is loaded.
extern Rtl::HookSlot<QWidget*(QObject* owner)> GetMemoFormConstructor;
} // namespace Voskdbcontrols

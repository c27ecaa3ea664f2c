#include "Voskdbcontrols.h"

namespace Voskdbcontrols {
Rtl::HookSlot<QWidget*(const QString&, const QStringList&, bool, QWidget*)> DoStartModuleByClass;
Rtl::HookSlot<QWidget*(QObject*)> GetMemoFormConstructor;
} // namespace Voskdbcontrols

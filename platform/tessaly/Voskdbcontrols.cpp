#include "Voskdbcontrols.h"

namespace Voskdbcontrols {
Rtl::HookSlot<QWidget*(const QString&, const QStringList&, bool, QWidget*)> DoStartModuleByClass;
} // namespace Voskdbcontrols

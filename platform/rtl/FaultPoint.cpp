#include "FaultPoint.h"

namespace Rtl {
HookSlot<void(const char*)> FaultHook;
} // namespace Rtl

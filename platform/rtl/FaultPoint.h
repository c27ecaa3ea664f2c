#pragma once
// Named places inside multi-step writes (a file and its rows, a save of several parts) where a
// test makes the step fail, to prove that what was written before is rolled back. Outside tests
// the hook is empty and a fault point costs one test of a function pointer.

#include "HookSlot.h"

namespace Rtl {

// Receives the name of every fault point passed; throwing from it fails the step there.
extern HookSlot<void(const char* point)> FaultHook;

inline void FaultPoint(const char* point) {
    if (FaultHook.Assigned())
        FaultHook(point);
}

} // namespace Rtl

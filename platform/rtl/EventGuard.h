#pragma once
// The boundary where exceptions stop: Qt event handlers and queued calls run inside Guarded(), so no
// exception crosses Qt. EAbort is swallowed silently; every other exception goes to the client error
// display slot, or to the fallback display while that slot is empty.

#include "HookSlot.h"

#include <exception>

class QObject;

namespace Rtl {

// Filled by the error display unit (sender may be null).
extern HookSlot<void(std::exception_ptr, QObject* sender)> ClientErrorDisplay;
// Used while ClientErrorDisplay is empty; the widget layer installs a plain message box here.
extern HookSlot<void(std::exception_ptr, QObject* sender)> FallbackErrorDisplay;

void HandleException(std::exception_ptr e, QObject* sender = nullptr) noexcept;

template <class F> bool Guarded(F&& f, QObject* sender = nullptr) noexcept {
    try {
        f();
        return true;
    } catch (...) {
        HandleException(std::current_exception(), sender);
        return false;
    }
}

} // namespace Rtl

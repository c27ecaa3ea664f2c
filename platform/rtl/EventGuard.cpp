#include "EventGuard.h"

#include "VoskExceptions.h"

#include <QDebug>

namespace Rtl {

HookSlot<void(std::exception_ptr, QObject*)> ClientErrorDisplay;
HookSlot<void(std::exception_ptr, QObject*)> FallbackErrorDisplay;

void HandleException(std::exception_ptr e, QObject* sender) noexcept {
    try {
        try {
            std::rethrow_exception(e);
        } catch (const EAbort&) {
            return;
        } catch (...) {
        }
        if (ClientErrorDisplay.Assigned())
            ClientErrorDisplay(e, sender);
        else if (FallbackErrorDisplay.Assigned())
            FallbackErrorDisplay(e, sender);
        else
            qWarning().noquote() << "Unhandled exception:" << ExceptionMessage(e);
    } catch (const EAbort&) {
        // The display aborts after showing its message; that abort ends here.
    } catch (...) {
        qWarning().noquote() << "Exception in the error display";
    }
}

} // namespace Rtl

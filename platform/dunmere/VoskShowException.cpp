#include "VoskShowException.h"

#include "EventGuard.h"
#include "VoskExceptions.h"

namespace Dunmere {

void VoskShowExceptionDialog(std::exception_ptr e, QObject* sender) {
    Rtl::HandleException(e, sender);
}

void VoskShowExceptionDialog(const QString& message, QObject* sender) {
    VoskShowExceptionDialog(std::make_exception_ptr(EVoskException(message)), sender);
}

} // namespace Dunmere

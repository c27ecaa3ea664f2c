#include "Uvoskrtl.Exception.h"

#include "UDM1.h"

#include <QDebug>

namespace Uvoskrtl::Exception {

QString TVoskExceptionHelper::Describe(std::exception_ptr e, const QString& location) {
    return location + QStringLiteral(": ") + Rtl::ExceptionClassName(e) + QStringLiteral(": ") +
           Rtl::ExceptionMessage(e);
}

void TVoskExceptionHelper::InsertStackInfo(std::exception_ptr e, const QString& location) {
    try {
        const QString text = Describe(e, location);
        if (TDM1* dm = DM1(); dm && dm->Connected())
            dm->LogEvent(text);
        else
            qWarning().noquote() << text;
    } catch (...) {
        // Logging must never turn a handled error into a new one.
    }
}

} // namespace Uvoskrtl::Exception

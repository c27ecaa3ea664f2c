#include "VoskExceptionHelper.h"

#include "Uloghelper.h"

#include <VoskExceptions.h>

#include <QObject>
#include <QStringList>

namespace Dunmere {

Rtl::HookSlot<QString(const QObject*)> FullNameProc;

QString SecureFullName(const QObject* obj, const QString& fallback) {
    if (!obj)
        return fallback;
    try {
        QString name;
        if (FullNameProc.Assigned()) {
            name = FullNameProc(obj);
        } else {
            QStringList parts;
            for (const QObject* o = obj; o; o = o->parent())
                if (!o->objectName().isEmpty())
                    parts.prepend(o->objectName());
            name = parts.join(QLatin1Char('.'));
        }
        return name.isEmpty() ? fallback : name;
    } catch (...) {
        return fallback;
    }
}

bool IsDevelopSystem() {
    return qEnvironmentVariableIsSet("KORVEX_DEVELOP_SYSTEM");
}

} // namespace Dunmere

void TVoskExceptionHelper::InsertStackInfo(std::exception_ptr e, const QString& location) {
    try {
        if (e)
            std::rethrow_exception(e);
    } catch (const EAbort&) {
        return;
    } catch (...) {
    }
    try {
        TKorvexLog::Error(location + Rtl::ExceptionMessage(e));
    } catch (...) {
    }
}

#pragma once
// Helpers of the database layer for reports of errors: the name under which a component is named
// in a log line, and the location added to an exception that a handler catches and logs.

#include <HookSlot.h>

#include <QString>

#include <exception>

class QObject;

namespace Dunmere {

// Filled by the component layer: the full name of a component ("FormAdress.DataAdressen").
extern Rtl::HookSlot<QString(const QObject*)> FullNameProc;
// The full name of obj; fallback for a null object, an unnamed one, or when naming fails.
QString SecureFullName(const QObject* obj, const QString& fallback);
// A developer's installation, which shows more detail in menus and messages.
bool IsDevelopSystem();

} // namespace Dunmere

class TVoskExceptionHelper final {
public:
    // Logs the exception as an error under location ("TSoftlink.MenuItems_Add: ..."). Never
    // throws; the silent abort is not logged.
    static void InsertStackInfo(std::exception_ptr e, const QString& location);
};

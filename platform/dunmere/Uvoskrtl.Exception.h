#pragma once
// Records an exception that a handler catches and does not pass on: the log gets the location
// ("TFrameBt.btOkClick") with the exception's class and message. Never throws, never re-raises.

#include <QString>

#include <exception>

namespace Uvoskrtl::Exception {

class TVoskExceptionHelper final {
public:
    static void InsertStackInfo(std::exception_ptr e, const QString& location);
    // The text that InsertStackInfo logs.
    static QString Describe(std::exception_ptr e, const QString& location);
};

} // namespace Uvoskrtl::Exception

#pragma once
// The exception dialog of the database layer: shows an error the way the client error display
// does, for handlers that caught it and must not pass it on.

#include <QString>

#include <exception>

class QObject;

namespace Dunmere {

// Shows the exception through the client error display; the silent abort shows nothing.
void VoskShowExceptionDialog(std::exception_ptr e, QObject* sender = nullptr);
// Shows a message as an error.
void VoskShowExceptionDialog(const QString& message, QObject* sender = nullptr);

} // namespace Dunmere

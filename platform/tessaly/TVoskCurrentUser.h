#pragma once
// The logged-in ERP user as the class library knows it: the user number (positive only for a
// login with a user row), the login name and the administrator right, read from the data module.

#include <HookSlot.h>

#include <QString>

class TCurrentUser final {
public:
    // 0 without a connection or without a user row for the login.
    int GetMitNr() const;
    QString LoginName() const;
};
TCurrentUser& CurrentUser();

namespace Tessaly {
// Filled by the component layer: shows an access refusal to the user. Without it the refusal is
// raised as an error with the same text, so that it is never lost.
extern Rtl::HookSlot<void(const QString&)> ShowAccessErrorProc;
// The text of an access refusal for action (empty: no action named).
QString AccessErrorText(const QString& action);
} // namespace Tessaly

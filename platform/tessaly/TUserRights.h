#pragma once
// The user rights of the class library, as far as the forms ask them: whether the logged-in user
// is an administrator, and the check that refuses an administrators' action to everyone else.

#include <QString>

class TUserRights final {
public:
    // Whether the user of the global data module is an administrator; false without one.
    static bool GetAdmin_User();
    // Throws EUserRights with a German refusal naming the action unless the user is an
    // administrator.
    static void AdminCheck(const QString& action = {});
};

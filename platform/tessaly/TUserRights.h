#pragma once
// Rights of the logged-in user: administrator status, and actions of the user interface that the
// table gui_rights refuses to a user or to everyone (administrators may do everything).

#include <QString>

class TUserRights final {
public:
    // Whether the user of the global data module is an administrator; false without one.
    static bool GetAdmin_User();
    // action: for an export the grid's name. Without a connection nothing is refused.
    static bool CanDoGUIAction(const QString& formClass, const QString& action);
    // Throws EUserRights with a German refusal naming the action unless the user is an
    // administrator.
    static void AdminCheck(const QString& action = {});
};

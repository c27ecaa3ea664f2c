#pragma once
// Rights of the logged-in user: administrator status, and actions of the user interface that the
// table gui_rights refuses to a user or to everyone (administrators may do everything).

#include <QString>

class TUserRights final {
public:
    static bool GetAdmin_User();
    // action: for an export the grid's name. Without a connection nothing is refused.
    static bool CanDoGUIAction(const QString& formClass, const QString& action);
};

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

    // Whether the user may do a file action on documents of a type (table dokutypes_rights;
    // actions: 0 view, 1 edit, 2 add, 3 delete pages, 4 annotate, 5 print, 6 view outside, save
    // as, mail). Administrators may do everything. With raise a refusal "Keine Berechtigung ..."
    // naming the action and the type is shown (Tessaly::ShowAccessErrorProc), then the silent
    // abort; without a display it is thrown as EUserRights. Without a connection nothing is
    // refused.
    static bool CanDoDMSFileAction(const QString& dokType, int dokId, int action, bool raise);
    // The action's name as the refusal shows it.
    static QString DMSFileActionName(int action);
};

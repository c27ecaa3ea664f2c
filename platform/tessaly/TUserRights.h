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
    // The refusal of CanDoDMSFileAction for a right the caller found refused itself.
    [[noreturn]] static void RefuseDMSFileAction(const QString& dokType, int dokId, int action);
    // The action's name as the refusal shows it.
    static QString DMSFileActionName(int action);

    // The key of the user that stamp rights name: the login.
    static QString UserKey();
    // Stamp actions on a document (2 place a stamp, 3 change or remove an annotation). name1 and
    // name2 are a stamp name and a login or creator, in whatever order the caller has them: a row
    // of doksealrights for either name refuses or allows the action, the user's own row before the
    // one for everyone, a row for the document type before the one for every type. Without a row
    // the action is allowed; administrators may everything. With raise a refusal naming stamp
    // and action is shown as CanDoDMSFileAction shows one. The rows are read once per login;
    // ReloadStampRights reads them again.
    static bool CanDoDMSStampAction(const QString& dokType, const QString& name1,
                                    const QString& name2, qint64 dokId, int action, bool raise);
    static void ReloadStampRights();
};

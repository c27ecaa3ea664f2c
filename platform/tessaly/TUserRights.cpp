#include "TUserRights.h"

#include "UDM1.h"

#include <VoskExceptions.h>

bool TUserRights::GetAdmin_User() {
    TDM1* dm = DM1();
    return dm && dm->IsAdmin();
}

bool TUserRights::CanDoGUIAction(const QString& formClass, const QString& action) {
    TDM1* dm = DM1();
    if (!dm || !dm->Connected() || dm->IsAdmin())
        return true;
    // The user's own row wins over the one for everyone.
    const QVariant allowed = dm->LoadVar(
        QStringLiteral("SELECT gr_allowed FROM gui_rights WHERE lower(gr_formclass) = "
                       "lower(:form) AND lower(gr_action) = lower(:action) AND gr_mitnr IN "
                       "(0, :mitnr) ORDER BY gr_mitnr DESC LIMIT 1"),
        {{QStringLiteral("form"), formClass},
         {QStringLiteral("action"), action},
         {QStringLiteral("mitnr"), dm->MitNr()}});
    return allowed.isNull() || allowed.toBool();
}

void TUserRights::AdminCheck(const QString& action) {
    if (GetAdmin_User())
        return;
    QString text = makeText(6338, QStringLiteral("keine Berechtigung"));
    text += QStringLiteral(": ") +
            makeText(26760, QStringLiteral("Diese Funktion ist nur für Administratoren."));
    if (!action.isEmpty())
        text += QStringLiteral(" (") + action + QLatin1Char(')');
    throw EUserRights(text);
}

#include "TUserRights.h"

#include "UDM1.h"

#include <VoskExceptions.h>

bool TUserRights::GetAdmin_User() {
    TDM1* dm = DM1();
    return dm && dm->IsAdmin();
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

#include "TVoskCurrentUser.h"

#include "TVoskMainMenuSql.h"
#include "UDM1.h"

#include <VoskExceptions.h>

int TCurrentUser::GetMitNr() const {
    TDM1* dm = DM1();
    return dm && dm->Connected() ? dm->MitNr() : 0;
}

QString TCurrentUser::LoginName() const {
    TDM1* dm = DM1();
    return dm ? dm->LoginName() : QString();
}

TCurrentUser& CurrentUser() {
    static TCurrentUser user;
    return user;
}

namespace Tessaly {

Rtl::HookSlot<void(const QString&)> ShowAccessErrorProc;

QString AccessErrorText(const QString& action) {
    TDM1* dm = DM1();
    QString text = dm ? dm->makeText(6338, QStringLiteral("keine Berechtigung"))
                      : QStringLiteral("keine Berechtigung");
    text = QStringLiteral("Zugriff verweigert: %1").arg(text);
    if (!action.isEmpty())
        text += QStringLiteral(" (%1)").arg(action);
    return text;
}

} // namespace Tessaly

void TCurrentRights::DoAcceesError(const QString& action) const {
    const QString text = Tessaly::AccessErrorText(action);
    if (!Tessaly::ShowAccessErrorProc.Assigned())
        throw EUserRights(text, 6338);
    Tessaly::ShowAccessErrorProc(text);
    throw EAbort();
}

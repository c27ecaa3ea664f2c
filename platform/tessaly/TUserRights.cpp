#include "TUserRights.h"

#include "TVoskCurrentUser.h"
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

QString TUserRights::DMSFileActionName(int action) {
    switch (action) {
    case 0: return QStringLiteral("Anzeigen");
    case 1: return QStringLiteral("Bearbeiten");
    case 2: return QStringLiteral("Neu anlegen");
    case 3: return QStringLiteral("Seiten löschen");
    case 4: return QStringLiteral("Anmerkungen bearbeiten");
    case 5: return QStringLiteral("Drucken");
    case 6: return QStringLiteral("Extern anzeigen, speichern oder senden");
    default: return QStringLiteral("Aktion %1").arg(action);
    }
}

bool TUserRights::CanDoDMSFileAction(const QString& dokType, int dokId, int action, bool raise) {
    TDM1* dm = DM1();
    if (!dm || !dm->Connected() || dm->IsAdmin() || dokType.isEmpty())
        return true;
    const bool allowed = dm->LoadBool(
        QStringLiteral("SELECT dokutypes_right(:type, :action, :mitnr)"),
        {{QStringLiteral("type"), dokType},
         {QStringLiteral("action"), action},
         {QStringLiteral("mitnr"), dm->MitNr()}});
    if (!allowed && raise) {
        QString text = QStringLiteral("Keine Berechtigung für \"%1\" bei Dokumenten des Typs \"%2\"")
                           .arg(DMSFileActionName(action), dokType);
        if (dokId > 0)
            text += QStringLiteral(" (Dokument %1)").arg(dokId);
        if (!Tessaly::ShowAccessErrorProc.Assigned())
            throw EUserRights(text);
        Tessaly::ShowAccessErrorProc(text);
        throw EAbort();
    }
    return allowed;
}

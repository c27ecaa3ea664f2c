#include "TUserRights.h"

#include "TVoskCurrentUser.h"
#include "UDM1.h"

#include <VoskExceptions.h>

#include <vector>

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
    if (!allowed && raise)
        RefuseDMSFileAction(dokType, dokId, action);
    return allowed;
}

void TUserRights::RefuseDMSFileAction(const QString& dokType, int dokId, int action) {
    QString text = QStringLiteral("Keine Berechtigung für \"%1\" bei Dokumenten des Typs \"%2\"")
                       .arg(DMSFileActionName(action), dokType);
    if (dokId > 0)
        text += QStringLiteral(" (Dokument %1)").arg(dokId);
    if (!Tessaly::ShowAccessErrorProc.Assigned())
        throw EUserRights(text);
    Tessaly::ShowAccessErrorProc(text);
    throw EAbort();
}

QString TUserRights::UserKey() {
    TDM1* dm = DM1();
    return dm ? dm->FGetUsername() : QString();
}

namespace {

struct StampRight {
    QString seal;
    QString dokType; // empty: every type
    bool perUser = false;
    int action = 0;
    bool allowed = true;
};

struct StampRights {
    QString login; // whose rows these are
    bool loaded = false;
    std::vector<StampRight> rows;
};

StampRights& stampRights() {
    static StampRights rights;
    return rights;
}

void loadStampRights(TDM1* dm) {
    StampRights& r = stampRights();
    if (r.loaded && r.login == dm->FGetUsername())
        return;
    r = StampRights{dm->FGetUsername(), true, {}};
    TVoskQuery2 q(&dm->Database(),
                  QStringLiteral("SELECT dsr_seal, COALESCE(dsr_dt_id, ''), dsr_mitnr <> 0, "
                                 "dsr_action, dsr_allowed FROM doksealrights "
                                 "WHERE dsr_mitnr IN (0, :mitnr)"));
    q.Bind(QStringLiteral("mitnr"), dm->MitNr());
    q.Open();
    for (; !q.Eof(); q.Next())
        r.rows.push_back({q.Fields(0).AsString(), q.Fields(1).AsString(), q.Fields(2).AsBoolean(),
                          q.Fields(3).AsInteger(), q.Fields(4).AsBoolean()});
}

} // namespace

void TUserRights::ReloadStampRights() { stampRights() = StampRights{}; }

bool TUserRights::CanDoDMSStampAction(const QString& dokType, const QString& name1,
                                      const QString& name2, qint64 dokId, int action, bool raise) {
    TDM1* dm = DM1();
    if (!dm || !dm->Connected() || dm->IsAdmin())
        return true;
    loadStampRights(dm);
    const StampRight* best = nullptr;
    auto rank = [](const StampRight& r) { return (r.perUser ? 2 : 0) + (r.dokType.isEmpty() ? 0 : 1); };
    for (const StampRight& r : stampRights().rows) {
        if (r.action != action || (!r.dokType.isEmpty() && r.dokType != dokType))
            continue;
        if (r.seal.isEmpty() || (r.seal != name1 && r.seal != name2))
            continue;
        if (!best || rank(r) > rank(*best))
            best = &r;
    }
    const bool allowed = !best || best->allowed;
    if (!allowed && raise) {
        const QString text =
            QStringLiteral("Keine Berechtigung für den Stempel \"%1\" (%2) bei Dokumenten des Typs \"%3\"")
                .arg(best->seal,
                     action == 2 ? QStringLiteral("Stempeln") : QStringLiteral("Stempel ändern oder entfernen"),
                     dokType) +
            (dokId > 0 ? QStringLiteral(" (Dokument %1)").arg(dokId) : QString());
        if (!Tessaly::ShowAccessErrorProc.Assigned())
            throw EUserRights(text);
        Tessaly::ShowAccessErrorProc(text);
        throw EAbort();
    }
    return allowed;
}

#include "UDataModul_Dunmere.h"

#include "UDM1.h"
#include "VoskQuery2.h"

void TVoskDM_Dunmere::SetCompOption(const QString& formClass, const QString& saveName,
                                    const QString& option, const QString& value, int mitNr) {
    TDM1* dm = DM1();
    if (!dm || !dm->Connected())
        return;
    dm->ExecSQL(QStringLiteral("INSERT INTO component_options (co_formclass, co_savename, co_option, "
                               "co_mitnr, co_value) VALUES (:form, :save, :option, :mitnr, :value) "
                               "ON CONFLICT (co_formclass, co_savename, co_option, co_mitnr) DO "
                               "UPDATE SET co_value = EXCLUDED.co_value"),
                {{QStringLiteral("form"), formClass},
                 {QStringLiteral("save"), saveName},
                 {QStringLiteral("option"), option},
                 {QStringLiteral("mitnr"), mitNr},
                 {QStringLiteral("value"), value}});
    dm->RefreshCachedQueries(QStringLiteral("component_options"), false);
}

QString TVoskDM_Dunmere::GetCompOption(const QString& formClass, const QString& saveName,
                                       const QString& option, int mitNr) {
    TDM1* dm = DM1();
    if (!dm || !dm->Connected())
        return {};
    // The form class's options of this user and of everyone, read once per session; the user's
    // own wins.
    TVoskQuery2* q = dm->GetQueryBySQL(
        QStringLiteral("SELECT co_savename, co_option, co_value FROM component_options "
                       "WHERE co_formclass = :form AND co_mitnr IN (0, :mitnr) "
                       "ORDER BY co_mitnr DESC"),
        {{QStringLiteral("form"), formClass}, {QStringLiteral("mitnr"), mitNr}});
    for (int r = 0; r < q->RecordCount(); ++r)
        if (q->ValueAt(r, 0).toString() == saveName && q->ValueAt(r, 1).toString() == option)
            return q->ValueAt(r, 2).toString();
    return {};
}

#include "UDataModul_Dunmere.h"

#include "UDM1.h"

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
}

QString TVoskDM_Dunmere::GetCompOption(const QString& formClass, const QString& saveName,
                                       const QString& option, int mitNr) {
    TDM1* dm = DM1();
    if (!dm || !dm->Connected())
        return {};
    return dm
        ->LoadVar(QStringLiteral("SELECT co_value FROM component_options WHERE co_formclass = :form "
                                 "AND co_savename = :save AND co_option = :option AND co_mitnr IN "
                                 "(0, :mitnr) ORDER BY co_mitnr DESC LIMIT 1"),
                  {{QStringLiteral("form"), formClass},
                   {QStringLiteral("save"), saveName},
                   {QStringLiteral("option"), option},
                   {QStringLiteral("mitnr"), mitNr}})
        .toString();
}

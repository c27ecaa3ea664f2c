#include "UDataModul_Dunmere.h"

#include "UDM1.h"
#include "VoskDM_Dunmere.h"

#include <QPointer>

namespace {
QPointer<TVoskDM_Dunmere> s_module;
}

TVoskDM_Dunmere* VoskDM_Dunmere() { return s_module.data(); }

TVoskDM_Dunmere::TVoskDM_Dunmere(QObject* owner) : QObject(owner) {
    setObjectName(QStringLiteral("VoskDM_Dunmere"));
    if (!s_module)
        s_module = this;
}

TVoskDM_Dunmere::~TVoskDM_Dunmere() {
    if (s_module == this)
        s_module = nullptr;
}

TVoskDM_Dunmere* TVoskDM_Dunmere::ModulInitialize(QObject* owner) {
    auto* module = new TVoskDM_Dunmere(owner);
    s_module = module;
    return module;
}

bool TVoskDM_Dunmere::ReloadCache(const QString& name) {
    TDM1* dm = DM1();
    if (name.compare(QLatin1String("Text0"), Qt::CaseInsensitive) == 0) {
        if (dm)
            dm->ReloadTextX();
        return true;
    }
    if (name.compare(QLatin1String("Softlink"), Qt::CaseInsensitive) == 0) {
        ClearCache();
        return true;
    }
    if (name.compare(QLatin1String("FieldAlias"), Qt::CaseInsensitive) == 0) {
        if (dm)
            dm->ReloadFieldAlias();
        return true;
    }
    return false;
}

#include "UDataModul_Dunmere.h"

#include "UDM1.h"
#include "VoskQuery2.h"
#include "VoskDM_Dunmere.h"
#include "VoskGridLayoutCache.h"

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

void TVoskDM_Dunmere::OpenKeySnippets(TDM1& dm) {
    m_keySnippets.reset();
    auto q = std::make_unique<TVoskQuery2>(&dm.Database());
    q->SetSQL(QStringLiteral(
        "SELECT kbsc_keycode, kbsc_keystate, kbsc_text FROM keysnippets ORDER BY kbsc_keycode"));
    try {
        q->Open();
    } catch (const std::exception& e) {
        dm.LogEvent(QStringLiteral("TVoskDM_Dunmere.OpenKeySnippets: keysnippets"), &e);
        return;
    }
    m_keySnippets = std::move(q);
    // The set lives on the data module's connection and goes with it.
    connect(&dm, &QObject::destroyed, this, [this] { m_keySnippets.reset(); });
}

bool TVoskDM_Dunmere::KeySnippetsOpen() const { return m_keySnippets && m_keySnippets->Active(); }

TVoskDM_Dunmere::~TVoskDM_Dunmere() {
    if (s_module == this)
        s_module = nullptr;
}

TVoskDM_Dunmere* TVoskDM_Dunmere::ModulInitialize(QObject* owner) {
    auto* module = new TVoskDM_Dunmere(owner);
    s_module = module;
    return module;
}

bool TVoskDM_Dunmere::CacheHolds(const QString& name, const QString& field, int value) const {
    const TDM1* dm = DM1();
    if (!dm)
        return false;
    if (name.compare(QLatin1String("Text0"), Qt::CaseInsensitive) == 0 &&
        field.compare(QLatin1String("t_nr"), Qt::CaseInsensitive) == 0)
        return dm->TextCached(value);
    if (name.compare(QLatin1String("FieldAlias"), Qt::CaseInsensitive) == 0 &&
        field.compare(QLatin1String("fa_textno"), Qt::CaseInsensitive) == 0)
        return dm->FieldAliasUsesText(value);
    return false;
}

void TVoskDM_Dunmere::RefreshCacheRecord(const QString& name, int key) {
    TDM1* dm = DM1();
    if (dm && dm->Connected() && name.compare(QLatin1String("Text0"), Qt::CaseInsensitive) == 0)
        dm->RefreshText(key);
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
    if (name.compare(TVoskGridLayoutCache::CacheName(), Qt::CaseInsensitive) == 0) {
        GridLayoutCache().Refresh();
        return true;
    }
    return false;
}

bool TVoskDM_Dunmere::RefreshCache(const QString& name, bool forced) {
    bool known = ReloadCache(name);
    if (TDM1* dm = DM1()) {
        known = dm->RefreshCachedQueries(name, forced) > 0 || known;
        // A table changed by an administrator's function may have new columns.
        dm->Database().ForgetTableInfo(name);
    }
    return known;
}

TVoskGridLayoutCache& TVoskDM_Dunmere::GridLayoutCache() {
    if (!m_gridLayouts)
        m_gridLayouts = std::make_unique<TVoskGridLayoutCache>();
    return *m_gridLayouts;
}

#include "VoskGridLayouts.h"

#include "UDM1.h"

#include <VoskQuery2.h>

#include <optional>

namespace {

TDM1* Connected() {
    TDM1* dm = DM1();
    return dm && dm->Connected() ? dm : nullptr;
}

// The user's own layouts carry the login; the global one no user.
QVariantMap Params(const VoskGridLayouts::TKey& key, int type) {
    TDM1* dm = DM1();
    return {{QStringLiteral("form"), key.formClass},
            {QStringLiteral("grid"), key.grid},
            {QStringLiteral("type"), type},
            {QStringLiteral("user"), type == 1 && dm ? dm->LoginName() : QString()}};
}

const QString kWhere = QStringLiteral(
    " WHERE gl_formclass = :form AND gl_grid = :grid AND gl_type = :type AND gl_user = :user");

// The stored layouts of the form class that concern this login: read once per session and kept
// by the data module until a write (or a refresh of grid_layouts) drops them.
struct StoredRow {
    QDateTime saved;
    QString savedBy;
    bool isDefault = false;
    QVariant layout;
};

std::optional<StoredRow> Stored(TDM1* dm, const VoskGridLayouts::TKey& key, int type) {
    TVoskQuery2* q = dm->GetQueryBySQL(
        QStringLiteral("SELECT gl_grid, gl_type, gl_user, gl_saved, gl_saved_by, gl_default, "
                       "gl_layout FROM grid_layouts WHERE gl_formclass = :form AND gl_user IN "
                       "('', :user)"),
        {{QStringLiteral("form"), key.formClass}, {QStringLiteral("user"), dm->LoginName()}});
    const QString user = type == 1 ? dm->LoginName() : QString();
    for (int r = 0; r < q->RecordCount(); ++r) {
        if (q->ValueAt(r, 0).toString() != key.grid || q->ValueAt(r, 1).toInt() != type ||
            q->ValueAt(r, 2).toString() != user)
            continue;
        return StoredRow{q->ValueAt(r, 3).toDateTime(), q->ValueAt(r, 4).toString(),
                         q->ValueAt(r, 5).toBool(), q->ValueAt(r, 6)};
    }
    return std::nullopt;
}

void Written(TDM1* dm) { dm->RefreshCachedQueries(QStringLiteral("grid_layouts"), false); }

} // namespace

bool VoskGridLayouts::Exists(const TKey& key, int type, QDateTime* savedAt, QString* savedBy) {
    if (savedAt)
        *savedAt = {};
    if (savedBy)
        savedBy->clear();
    TDM1* dm = Connected();
    const std::optional<StoredRow> row = dm ? Stored(dm, key, type) : std::nullopt;
    if (!row)
        return false;
    if (savedAt)
        *savedAt = row->saved;
    if (savedBy)
        *savedBy = row->savedBy;
    return true;
}

QVariant VoskGridLayouts::Load(const TKey& key, int type) {
    TDM1* dm = Connected();
    const std::optional<StoredRow> row = dm ? Stored(dm, key, type) : std::nullopt;
    return row ? row->layout : QVariant();
}

void VoskGridLayouts::Save(const TKey& key, int type, const QString& layout) {
    TDM1* dm = Connected();
    if (!dm)
        return;
    QVariantMap params = Params(key, type);
    params.insert(QStringLiteral("layout"), layout);
    params.insert(QStringLiteral("by"), dm->LoginName());
    dm->ExecSQL(
        QStringLiteral("INSERT INTO grid_layouts (gl_formclass, gl_grid, gl_type, gl_user, "
                       "gl_layout, gl_saved, gl_saved_by) VALUES (:form, :grid, :type, :user, "
                       ":layout, now(), :by) ON CONFLICT (gl_formclass, gl_grid, gl_type, gl_user) "
                       "DO UPDATE SET gl_layout = EXCLUDED.gl_layout, gl_saved = now(), "
                       "gl_saved_by = EXCLUDED.gl_saved_by"),
        params);
    Written(dm);
}

void VoskGridLayouts::Delete(const TKey& key, int type) {
    if (TDM1* dm = Connected()) {
        dm->ExecSQL(QStringLiteral("DELETE FROM grid_layouts") + kWhere, Params(key, type));
        Written(dm);
    }
}

bool VoskGridLayouts::IsDefault(const TKey& key) {
    TDM1* dm = Connected();
    const std::optional<StoredRow> row = dm ? Stored(dm, key, 1) : std::nullopt;
    return row && row->isDefault;
}

void VoskGridLayouts::SetDefault(const TKey& key, bool on) {
    TDM1* dm = Connected();
    if (!dm)
        return;
    QVariantMap params = Params(key, 1);
    params.insert(QStringLiteral("on"), on);
    dm->ExecSQL(QStringLiteral("UPDATE grid_layouts SET gl_default = :on") + kWhere, params);
    Written(dm);
}

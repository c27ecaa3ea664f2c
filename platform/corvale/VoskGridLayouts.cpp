#include "VoskGridLayouts.h"

#include "UDM1.h"

#include <VoskQuery2.h>

#include "Uloghelper.h"

#include <QHeaderView>
#include <QJsonArray>
#include <QJsonDocument>

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

QJsonObject VoskGridLayouts::ColumnsToLayout(const QHeaderView* h, const QStringList& fields) {
    QJsonArray cols;
    for (int v = 0; v < h->count(); ++v) {
        const int c = h->logicalIndex(v);
        if (c < 0 || c >= fields.size())
            continue;
        QJsonObject o;
        o[QStringLiteral("field")] = fields[c];
        o[QStringLiteral("width")] = h->sectionSize(c);
        o[QStringLiteral("visible")] = !h->isSectionHidden(c);
        cols.append(o);
    }
    QJsonObject root;
    root[QStringLiteral("columns")] = cols;
    const int sortCol = h->sortIndicatorSection();
    if (sortCol >= 0 && sortCol < fields.size() && h->isSortIndicatorShown()) {
        root[QStringLiteral("sortField")] = fields[sortCol];
        root[QStringLiteral("sortDescending")] = h->sortIndicatorOrder() == Qt::DescendingOrder;
    }
    return root;
}

bool VoskGridLayouts::ParseLayout(const QString& text, const QString& where, QJsonObject* root) {
    QJsonParseError err{};
    const QJsonDocument doc = QJsonDocument::fromJson(text.toUtf8(), &err);
    if (err.error != QJsonParseError::NoError || !doc.isObject() ||
        !doc.object().value(QStringLiteral("columns")).isArray()) {
        TKorvexLog::LogMessage(
            QStringLiteral("%1: Layout nicht lesbar, ignoriert: %2").arg(where, err.errorString()),
            TKorvexLogLevel::Warning);
        return false;
    }
    *root = doc.object();
    return true;
}

void VoskGridLayouts::ColumnsFromLayout(
    QHeaderView* h, const QJsonObject& root, const QStringList& fields, QStringList& hiddenFields,
    const std::function<void(int column, Qt::SortOrder order)>& sort) {
    auto columnOf = [&](const QString& field) {
        for (int c = 0; !field.isEmpty() && c < fields.size(); ++c)
            if (fields[c].compare(field, Qt::CaseInsensitive) == 0)
                return c;
        return -1;
    };
    QStringList hidden = hiddenFields;
    int visual = 0;
    for (const QJsonValue& v : root.value(QStringLiteral("columns")).toArray()) {
        const QJsonObject o = v.toObject();
        const QString field = o.value(QStringLiteral("field")).toString();
        const int c = columnOf(field);
        if (c < 0 || c >= h->count())
            continue; // a column the query no longer has
        h->moveSection(h->visualIndex(c), visual++);
        const int w = o.value(QStringLiteral("width")).toInt(-1);
        if (w > 0)
            h->resizeSection(c, w);
        hidden.removeAll(field);
        if (!o.value(QStringLiteral("visible")).toBool(true))
            hidden << field;
    }
    hiddenFields = hidden;
    for (int c = 0; c < fields.size() && c < h->count(); ++c)
        h->setSectionHidden(c, hiddenFields.contains(fields[c], Qt::CaseInsensitive));
    const int sortCol = columnOf(root.value(QStringLiteral("sortField")).toString());
    if (sortCol >= 0 && sort)
        sort(sortCol, root.value(QStringLiteral("sortDescending")).toBool() ? Qt::DescendingOrder
                                                                            : Qt::AscendingOrder);
}

#include "VoskDM_Dunmere.h"

#include "UDM1.h"

#include <QCoreApplication>
#include <QHash>
#include <map>

namespace {

QHash<QString, QString>& sources() {
    // Menu order of the soft links: by position, positions left empty last, then by id.
    static QHash<QString, QString> s{
        {QStringLiteral("softlink"),
         QStringLiteral("SELECT slink_id, slink_table, slink_type, slink_order, slink_bez, "
                        "slink_app, slink_sql, slink_cond FROM softlink "
                        "ORDER BY slink_table, slink_order NULLS LAST, slink_id")}};
    return s;
}

} // namespace

int TVoskCachedTable::FieldIndex(const QString& name) const {
    for (int i = 0; i < m_fields.size(); ++i)
        if (m_fields.at(i).compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

QVariant TVoskCachedTable::Value(int row, const QString& field) const {
    const int col = FieldIndex(field);
    if (row < 0 || row >= RecordCount() || col < 0)
        return {};
    return m_rows[size_t(row)].at(col);
}

QList<int> TVoskCachedTable::Select(const QString& field, const QString& value) const {
    QList<int> rows;
    const int col = FieldIndex(field);
    if (col < 0)
        return rows;
    for (int r = 0; r < RecordCount(); ++r) {
        const QVariant& v = m_rows[size_t(r)].at(col);
        if (!v.isNull() && v.toString() == value)
            rows.append(r);
    }
    return rows;
}

bool TVoskCachedTable::Exists(const QString& field, const QString& value) const {
    return !Select(field, value).isEmpty();
}

TVoskDM_Dunmere* TVoskDM_Dunmere::Instance() {
    if (TVoskDM_Dunmere* m = VoskDM_Dunmere())
        return m;
    return ModulInitialize(QCoreApplication::instance());
}

int TVoskDM_Dunmere::Reads() const {
    return m_cache ? m_cache->reads : 0;
}

void TVoskDM_Dunmere::RegisterSource(const QString& name, const QString& sql) {
    sources().insert(name.toLower(), sql);
}

void TVoskDM_Dunmere::ClearCache() {
    if (m_cache)
        m_cache->tables.clear();
}

const TVoskCachedTable& TVoskDM_Dunmere::GetSource(const QString& name) {
    const QString key = name.toLower();
    const QString sql = sources().value(key);
    if (sql.isEmpty())
        throw EVoskException(QStringLiteral("Die Systemtabelle \"%1\" ist unbekannt").arg(name));
    TDM1* dm = DM1();
    if (!dm || !dm->Connected())
        throw EVoskException(
            QStringLiteral("Die Systemtabelle \"%1\" braucht eine Datenbankverbindung").arg(name));
    const void* connection = dm->Database().Handle();
    if (!m_cache)
        m_cache = std::make_unique<TCache>();
    auto it = m_cache->tables.find(key);
    if (it != m_cache->tables.end() && it->second.connection == connection)
        return it->second.table;

    TVoskQuery2 q(&dm->Database(), sql);
    q.Open();
    ++m_cache->reads;
    TCache::Entry e;
    e.connection = connection;
    e.table.m_fields = q.FieldNames();
    e.table.m_rows.reserve(size_t(q.RecordCount()));
    for (; !q.Eof(); q.Next()) {
        QVariantList row;
        row.reserve(q.FieldCount());
        for (int c = 0; c < q.FieldCount(); ++c)
            row.append(q.Fields(c).Value());
        e.table.m_rows.push_back(std::move(row));
    }
    return (m_cache->tables[key] = std::move(e)).table;
}

#include "VoskGridLayoutCache.h"

#include "UDM1.h"
#include "VoskQuery2.h"

namespace {

const QStringList kFields = {QStringLiteral("gl_id"),         QStringLiteral("il_group"),
                             QStringLiteral("il_item"),       QStringLiteral("gl_minr"),
                             QStringLiteral("gl_detailview"), QStringLiteral("gl_deleted"),
                             QStringLiteral("gl_data")};

QString SelectList() {
    return kFields.join(QStringLiteral(", "));
}

TVoskDatabase& Db() {
    TDM1* dm = DM1();
    if (!dm || !dm->Connected())
        throw EVoskDatabaseError(QStringLiteral("Keine Datenbankverbindung"));
    return dm->Database();
}

QVariantList ReadRow(const TVoskQuery2& q, int row) {
    QVariantList values;
    for (int c = 0; c < kFields.size(); ++c)
        values << q.ValueAt(row, q.FieldIndex(kFields[c]));
    return values;
}

bool SameValue(const QVariant& a, const QVariant& b, bool caseInsensitive) {
    if (a.isNull() || b.isNull())
        return a.isNull() && b.isNull();
    if (a.typeId() == QMetaType::Bool || b.typeId() == QMetaType::Bool)
        return a.toBool() == b.toBool();
    if (a.typeId() == QMetaType::QString || b.typeId() == QMetaType::QString)
        return a.toString().compare(b.toString(),
                                    caseInsensitive ? Qt::CaseInsensitive : Qt::CaseSensitive) == 0;
    return QVariant::compare(a, b) == QPartialOrdering::Equivalent || a.toString() == b.toString();
}

} // namespace

QStringList TVoskGridLayoutCache::FieldNames() {
    return kFields;
}

int TVoskGridLayoutCache::column(const QString& name) const {
    for (int c = 0; c < kFields.size(); ++c)
        if (kFields[c].compare(name.trimmed(), Qt::CaseInsensitive) == 0)
            return c;
    throw EVoskDatabaseError(QStringLiteral("Feld '%1' nicht gefunden").arg(name));
}

void TVoskGridLayoutCache::Refresh() {
    TVoskQuery2 q(&Db(),
                  QStringLiteral("SELECT %1 FROM gridlayout ORDER BY gl_id").arg(SelectList()));
    q.Open();
    std::vector<QVariantList> rows;
    rows.reserve(size_t(q.RecordCount()));
    for (int r = 0; r < q.RecordCount(); ++r)
        rows.push_back(ReadRow(q, r));
    m_rows = std::move(rows);
    m_loaded = true;
    m_current = m_rows.empty() ? -1 : 0;
    m_state = dsBrowse;
    m_buffer.clear();
}

bool TVoskGridLayoutCache::Locate(const QString& keyFields, const QVariantList& values,
                                  bool caseInsensitive) {
    const QStringList names = keyFields.split(u';', Qt::SkipEmptyParts);
    if (names.size() != values.size())
        throw EVoskDatabaseError(QStringLiteral("Locate: %1 Felder, aber %2 Werte")
                                     .arg(names.size())
                                     .arg(values.size()));
    std::vector<int> cols;
    for (const QString& n : names)
        cols.push_back(column(n));
    for (size_t r = 0; r < m_rows.size(); ++r) {
        bool match = true;
        for (size_t k = 0; k < cols.size() && match; ++k)
            match = SameValue(m_rows[r][cols[k]], values[qsizetype(k)], caseInsensitive);
        if (match) {
            m_current = int(r);
            return true;
        }
    }
    return false;
}

QVariant TVoskGridLayoutCache::FieldByName(const QString& name) const {
    const int c = column(name);
    if (m_state != dsBrowse)
        return m_buffer.value(c);
    return m_current >= 0 ? m_rows[size_t(m_current)].value(c) : QVariant();
}

void TVoskGridLayoutCache::SetFieldValue(const QString& name, const QVariant& value) {
    if (m_state == dsBrowse)
        throw EVoskDatabaseError(
            QStringLiteral("Der Datensatz ist nicht im Bearbeitungsmodus (%1)").arg(name));
    m_buffer[column(name)] = value;
}

void TVoskGridLayoutCache::Insert() {
    Cancel();
    m_buffer = QVariantList();
    for (int c = 0; c < kFields.size(); ++c)
        m_buffer << QVariant();
    m_buffer[column(QStringLiteral("gl_deleted"))] = false;
    m_state = dsInsert;
}

void TVoskGridLayoutCache::Edit() {
    if (m_state != dsBrowse)
        return;
    if (m_current < 0)
        throw EVoskDatabaseError(QStringLiteral("Kein Datensatz zum Bearbeiten"));
    m_buffer = m_rows[size_t(m_current)];
    m_state = dsEdit;
}

void TVoskGridLayoutCache::Post() {
    if (m_state == dsBrowse)
        return;
    auto value = [&](const char* f) { return m_buffer.value(column(QLatin1String(f))); };
    QVariant deleted = value("gl_deleted");
    if (deleted.isNull())
        deleted = false;
    QByteArray data = value("gl_data").toByteArray();
    TVoskQuery2 q(
        &Db(),
        QStringLiteral(
            "INSERT INTO gridlayout (il_group, il_item, gl_minr, gl_detailview, gl_deleted, "
            "gl_data) "
            "VALUES (:grp, :item, CAST(:minr AS integer), CAST(:detail AS text), :deleted, :data) "
            "ON CONFLICT (lower(il_group), lower(il_item), gl_minr, gl_detailview) DO UPDATE SET "
            "il_group = EXCLUDED.il_group, il_item = EXCLUDED.il_item, "
            "gl_deleted = EXCLUDED.gl_deleted, gl_data = EXCLUDED.gl_data RETURNING %1")
            .arg(SelectList()));
    q.Bind(QStringLiteral("grp"), value("il_group").toString());
    q.Bind(QStringLiteral("item"), value("il_item").toString());
    q.Bind(QStringLiteral("minr"), value("gl_minr"));
    q.Bind(QStringLiteral("detail"), value("gl_detailview"));
    q.Bind(QStringLiteral("deleted"), deleted.toBool());
    q.Bind(QStringLiteral("data"), value("gl_data").isNull() ? QVariant() : QVariant(data));
    q.Open();
    const QVariantList row = ReadRow(q, 0);
    const int id = column(QStringLiteral("gl_id"));
    // Another session may have made the row meanwhile: the cache keeps one row per id.
    int at = -1;
    for (size_t r = 0; r < m_rows.size(); ++r)
        if (m_rows[r][id] == row[id])
            at = int(r);
    if (at < 0) {
        m_rows.push_back(row);
        at = int(m_rows.size()) - 1;
    } else {
        m_rows[size_t(at)] = row;
    }
    m_current = at;
    m_state = dsBrowse;
    m_buffer.clear();
}

void TVoskGridLayoutCache::Cancel() {
    m_state = dsBrowse;
    m_buffer.clear();
}

void TVoskGridLayoutCache::Delete() {
    if (m_state == dsInsert) {
        Cancel();
        return;
    }
    Cancel();
    if (m_current < 0)
        throw EVoskDatabaseError(QStringLiteral("Kein Datensatz zum Löschen"));
    TVoskQuery2 q(&Db(), QStringLiteral("DELETE FROM gridlayout WHERE gl_id = :id"));
    q.Bind(QStringLiteral("id"), m_rows[size_t(m_current)][column(QStringLiteral("gl_id"))]);
    q.ExecSQL();
    m_rows.erase(m_rows.begin() + m_current);
    if (m_current >= int(m_rows.size()))
        m_current = int(m_rows.size()) - 1;
}

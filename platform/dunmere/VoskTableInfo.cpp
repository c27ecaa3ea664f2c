#include "VoskTableInfo.h"

#include "VoskDatabase.h"
#include "VoskQuery2.h"

const TVoskTableColumn* TVoskTableInfo::ColumnOf(const PGresult* res, int col) const {
    if (oid == InvalidOid || PQftable(res, col) != oid)
        return nullptr;
    const auto it = columns.constFind(PQftablecol(res, col));
    return it == columns.constEnd() ? nullptr : &it.value();
}

bool TVoskTableInfo::Matches(const PGresult* res) const {
    if (oid == InvalidOid)
        return true; // no such table: nothing of the result can be its
    bool any = false, foreign = false;
    for (int c = 0; c < PQnfields(res); ++c) {
        const Oid table = PQftable(res, c);
        if (table == InvalidOid)
            continue;
        if (table != oid) {
            foreign = true;
            continue;
        }
        any = true;
        const TVoskTableColumn* att = ColumnOf(res, c);
        if (!att || att->resultType != PQftype(res, c) || att->resultMod != PQfmod(res, c))
            return false;
    }
    // Table columns that all come from elsewhere: the table may have been made anew.
    return any || !foreign;
}

std::shared_ptr<const TVoskTableInfo> TVoskDatabase::TableInfo(const QString& table,
                                                               const PGresult* read) {
    const QString key = table.trimmed().toLower();
    // One name may stand for several tables (another search path): each keeps its entry.
    QList<std::shared_ptr<const TVoskTableInfo>>& known = m_tableInfo[key];
    for (const auto& info : known)
        if (!read || info->Matches(read))
            return info;
    // The name as written in SQL: a quoted part keeps its case, an unquoted one is folded.
    TVoskQuery2 a(this,
                  QStringLiteral("SELECT a.attnum, a.attname, c.oid, "
                                 "format_type(a.atttypid, a.atttypmod), a.atthasdef, "
                                 "t.typcategory, t.typname, a.atttypmod, "
                                 "CASE WHEN t.typtype = 'd' THEN t.typbasetype ELSE a.atttypid END, "
                                 "CASE WHEN t.typtype = 'd' THEN t.typtypmod ELSE a.atttypmod END "
                                 "FROM pg_attribute a "
                                 "JOIN pg_class c ON c.oid = a.attrelid "
                                 "JOIN pg_type t ON t.oid = a.atttypid "
                                 "WHERE a.attrelid = to_regclass(:t) AND a.attnum > 0 "
                                 "AND NOT a.attisdropped AND a.attgenerated = ''"));
    a.Bind(QStringLiteral("t"), table);
    a.Open();
    auto info = std::make_shared<TVoskTableInfo>();
    for (; !a.Eof(); a.Next()) {
        TVoskTableColumn tc;
        tc.name = a.Fields(1).AsString();
        tc.sqlType = a.Fields(3).AsString();
        tc.hasDefault = a.Fields(4).AsBoolean();
        const QString cat = a.Fields(5).AsString();
        tc.category = cat.isEmpty() ? QChar() : cat.at(0);
        const QString typName = a.Fields(6).AsString();
        tc.integer = typName == u"int2" || typName == u"int4" || typName == u"int8";
        const int typmod = a.Fields(7).AsInteger();
        if (tc.category == u'S' && typmod > 4)
            tc.size = typmod - 4; // varchar(n) and char(n) keep n + 4
        tc.resultType = Oid(a.Fields(8).AsLargeInt());
        tc.resultMod = a.Fields(9).AsInteger();
        info->columns.insert(a.Fields(0).AsInteger(), tc);
        info->oid = Oid(a.Fields(2).AsLargeInt());
    }
    // An entry that no longer matches is dropped, a table of another schema kept.
    if (read)
        known.removeIf([&](const auto& old) { return old->oid == info->oid; });
    known.prepend(info);
    if (known.size() > 4)
        known.removeLast(); // tables dropped meanwhile
    return info;
}

void TVoskDatabase::ForgetTableInfo(const QString& table) {
    if (table.isEmpty()) {
        m_tableInfo.clear();
        return;
    }
    const QString name = table.trimmed().toLower();
    for (auto it = m_tableInfo.begin(); it != m_tableInfo.end();) {
        const QString& key = it.key();
        QString bare = key.mid(key.lastIndexOf(u'.') + 1);
        bare.remove(u'"');
        if (key == name || bare == name)
            it = m_tableInfo.erase(it);
        else
            ++it;
    }
}

#include "VoskRecnoKeyword.h"

#include "VoskDatabase.h"

namespace VoskRecnoKeyword {

void AddEnumCode(TVoskDatabase& db, const QString& table, const QString& dbrid,
                 const QString& pname, const QString& code) {
    // The update reads r_value of the row as locked, not as this transaction first saw it.
    db.Exec(QStringLiteral(
                "INSERT INTO recnokeyword AS k (r_tablename, r_dbrid, r_oid, r_reg_pname, "
                "r_descr, r_value) VALUES ($1, $2::bigint, $5, $3, $3, btrim($4)) "
                "ON CONFLICT (r_tablename, r_dbrid, r_reg_pname) DO UPDATE SET "
                "r_value = CASE WHEN EXISTS (SELECT 1 FROM unnest(string_to_array(k.r_value, ','))"
                " AS v WHERE lower(btrim(v)) = lower(btrim($4))) THEN k.r_value "
                "ELSE concat_ws(',', NULLIF(btrim(k.r_value), ''), btrim($4)) END, "
                "modified_date = now(), modified_by = current_user"),
            {table, dbrid, pname, code, dbrid});
}

void RemoveEnumCode(TVoskDatabase& db, const QString& table, const QString& dbrid,
                    const QString& pname, const QString& code) {
    db.Exec(QStringLiteral(
                "UPDATE recnokeyword SET r_value = (SELECT string_agg(btrim(v), ',' ORDER BY n) "
                "FROM unnest(string_to_array(r_value, ',')) WITH ORDINALITY AS u(v, n) "
                "WHERE lower(btrim(v)) <> lower(btrim($4)) AND btrim(v) <> ''), "
                "modified_date = now(), modified_by = current_user "
                "WHERE r_tablename = $1 AND r_dbrid = $2::bigint AND r_reg_pname = $3"),
            {table, dbrid, pname, code});
}

} // namespace VoskRecnoKeyword

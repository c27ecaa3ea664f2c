#include "TNummernKreis.h"

#include <VoskQuery2.h>

#include <QJsonArray>
#include <QJsonDocument>

namespace {

const char* const kRanges =
    "SELECT dbrid, nc_ident, nc_description, nc_num, nc_modulname, nc_active, "
    "nummernkreis_format(nc_prefix, nc_digits, nc_num + 1) AS nc_preview, nc_default "
    "FROM nummernkreis "
    "WHERE lower(nc_modulname) = lower(:modul) AND nc_active "
    "AND (nc_ident IN (SELECT jsonb_array_elements_text(CAST(:excl AS jsonb)))) = :isinclude";

} // namespace

TNummernKreis::TNummernKreis(QObject* parent) : TVoskClass2(parent) {
    setObjectName(QStringLiteral("NummernKreis"));
    SetSqlTable(QStringLiteral("nummernkreis"));
    SetKeyFieldName(QStringLiteral("dbrid"));
    SetReadOnly(true);
}

void TNummernKreis::search(const QString& modul, const QStringList& excluded, bool isInclude,
                           bool manual, const QString& number, const QString& numberDesc) {
    Close();
    ClearParams();
    QString sql = QString::fromLatin1(kRanges);
    if (manual)
        sql = QStringLiteral("SELECT * FROM (") + sql +
              QStringLiteral(
                  " UNION ALL SELECT NULL, NULL, CAST(:numdesc AS text), NULL, "
                  "CAST(:modul AS text), true, CAST(:num AS text), false) AS r");
    else
        sql = QStringLiteral("SELECT * FROM (") + sql + QStringLiteral(") AS r");
    SetQuerySql(sql + QStringLiteral(" ORDER BY dbrid IS NULL, nc_ident"));
    SetParam(QStringLiteral("modul"), modul);
    SetParam(QStringLiteral("excl"),
             QString::fromUtf8(QJsonDocument(QJsonArray::fromStringList(excluded))
                                   .toJson(QJsonDocument::Compact)));
    SetParam(QStringLiteral("isinclude"), isInclude);
    if (manual) {
        SetParam(QStringLiteral("num"), number);
        SetParam(QStringLiteral("numdesc"), numberDesc);
    }
    Open();
}

void TNummernKreis::SearchByModule(const QString& modul, const QStringList& excluded,
                                   bool isInclude) {
    search(modul, excluded, isInclude, false, {}, {});
}

void TNummernKreis::SearchByModule_AddDefault(const QString& modul, const QString& number,
                                              const QString& numberDesc,
                                              const QStringList& excluded, bool isInclude) {
    search(modul, excluded, isInclude, true, number, numberDesc);
}

QString TNummernKreis::SelectNrKr(const QString& ident, const QString& modul) {
    if (ident.isEmpty())
        return {};
    TVoskQuery2 q(&Database(),
                  QStringLiteral("UPDATE nummernkreis SET nc_num = nc_num + 1 "
                                 "WHERE nc_ident = :ident AND nc_active "
                                 "AND (:modul = '' OR lower(nc_modulname) = lower(:modul)) "
                                 "RETURNING nummernkreis_format(nc_prefix, nc_digits, nc_num)"));
    q.Bind(QStringLiteral("ident"), ident);
    q.Bind(QStringLiteral("modul"), modul);
    q.Open();
    return q.IsEmpty() ? QString() : q.Fields(0).AsString();
}

bool TNummernKreis::ResetNrKr(const QString& ident, const QString& number) {
    if (ident.isEmpty() || number.isEmpty())
        return false;
    TVoskQuery2 q(&Database(),
                  QStringLiteral("UPDATE nummernkreis SET nc_num = nc_num - 1 "
                                 "WHERE nc_ident = :ident AND nc_num > 0 "
                                 "AND nummernkreis_format(nc_prefix, nc_digits, nc_num) = :number "
                                 "RETURNING nc_num"));
    q.Bind(QStringLiteral("ident"), ident);
    q.Bind(QStringLiteral("number"), number);
    q.Open();
    return !q.IsEmpty();
}

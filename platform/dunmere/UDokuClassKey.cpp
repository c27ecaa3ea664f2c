#include "UDokuClassKey.h"

#include "UDM1.h"
#include "VoskQuery2.h"

TDokuClassKey DokuClassKeyColumn_Get(const QString& table, const QString& key,
                                     const std::function<QVariant(const QString&)>& fieldValue,
                                     TDM1* dm) {
    TDokuClassKey result;
    if (!dm)
        dm = DM1();
    if (!dm || !dm->Connected() || table.isEmpty() || key.isEmpty())
        return result;
    // A table's document class changes with the installation, not while it runs: read once
    // per session (a refresh of dokuclasskey reads it again).
    TVoskQuery2* q = dm->GetQueryBySQL(
        QStringLiteral("SELECT dck_kategorie, dck_keycolumn FROM dokuclasskey "
                       "WHERE lower(dck_tablename) = lower(:table)"),
        {{QStringLiteral("table"), table}});
    if (q->IsEmpty())
        return result;
    result.Category = q->Fields(0).AsString();
    const QString column = q->Fields(1).AsString();
    const QVariant v = fieldValue ? fieldValue(column) : QVariant();
    result.Value = v.isValid() && !v.isNull() ? v.toString().trimmed() : QString();
    result.Exists = !result.Category.isEmpty() && !result.Value.isEmpty();
    return result;
}

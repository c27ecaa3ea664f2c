#include "TSondFunc.h"

TSondFunc::TSondFunc(QObject* parent) : TVoskClass2(parent) {
    setObjectName(QStringLiteral("SondFunc"));
    SetSqlTable(QStringLiteral("sondfunc"));
    SetKeyFieldName(QStringLiteral("dbrid"));
    SetReadOnly(true);
}

void TSondFunc::AssignToSqlTable(const QString& table, const QString& formClass) {
    Close();
    ClearParams();
    SetQuerySql(QStringLiteral(
        "SELECT * FROM sondfunc WHERE lower(sf_sqltable) = lower(:table) "
        "AND (COALESCE(sf_formclass, '') = '' OR lower(sf_formclass) = lower(:formclass)) "
        "ORDER BY COALESCE(sf_nr, 0), dbrid"));
    SetParam(QStringLiteral("table"), table);
    SetParam(QStringLiteral("formclass"), formClass);
    Open();
}

bool TSondFunc::SearchDBRID(qint64 id) {
    Close();
    ClearParams();
    SetQuerySql(QStringLiteral("SELECT * FROM sondfunc WHERE dbrid = :id"));
    SetParam(QStringLiteral("id"), id);
    Open();
    return HasRecord();
}

QStringList TSondFunc::ConfigLines() {
    QString config = FieldByName(QStringLiteral("sf_config")).AsString();
    config.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    return config.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

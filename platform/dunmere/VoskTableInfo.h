#pragma once
// What the catalogue says of a table's columns, read once per connection: data classes need it on
// every open to know which result columns they may write and what those columns hold. An entry is
// checked against each result read through it (TVoskTableInfo::Matches) and read again when the
// table has changed; TVoskDatabase::ForgetTableInfo drops entries on a refresh.

#include <QHash>
#include <QString>

#include <libpq-fe.h>

struct TVoskTableColumn {
    QString name;
    QString sqlType;    // format_type of the column
    bool hasDefault = false;
    QChar category;     // pg_type.typcategory: S text, N number, D date, ...; null unknown
    bool integer = false;
    int size = 0;       // characters of varchar(n) / char(n)
    Oid resultType = 0; // the type a result column of it reports (a domain's base type)
    int resultMod = -1;
};

struct TVoskTableInfo {
    Oid oid = InvalidOid;
    QHash<int, TVoskTableColumn> columns; // by attnum

    // The column a result column comes from, null when it is none of this table's.
    const TVoskTableColumn* ColumnOf(const PGresult* res, int col) const;
    // Whether the entry still describes every column of res that comes from the table: a column
    // added, renamed, retyped, or the table made anew (another oid) make it stale.
    bool Matches(const PGresult* res) const;
};

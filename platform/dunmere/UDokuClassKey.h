#pragma once
// The document-class key of a table: documents that carry the keyword (category, value) belong to
// every record of the table whose key column holds that value, across tables. Which column keys
// which table is the table dokuclasskey's (table, category, key column).

#include <QString>
#include <QVariant>

#include <functional>

class TDM1;

struct TDokuClassKey {
    bool Exists = false; // the table has a key column and the record a value in it
    QString Category;
    QString Value;
};

// fieldValue reads a column of the record (an invalid QVariant when it has none). Without a row
// for the table, or with an empty value, the key does not exist.
TDokuClassKey DokuClassKeyColumn_Get(const QString& table, const QString& key,
                                     const std::function<QVariant(const QString&)>& fieldValue,
                                     TDM1* dm = nullptr);

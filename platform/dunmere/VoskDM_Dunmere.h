#pragma once
// A small system table as the system data module (UDataModul_Dunmere.h) caches it: its rows in
// memory, selected by comparing a field, never by a filter text.

#include "UDataModul_Dunmere.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <map>
#include <vector>

class TVoskCachedTable final {
public:
    QStringList FieldNames() const { return m_fields; }
    int FieldIndex(const QString& name) const; // case-insensitive, -1 when missing
    int RecordCount() const { return int(m_rows.size()); }
    // Null for a row or field out of range.
    QVariant Value(int row, const QString& field) const;
    // Rows whose field holds exactly value (compared as text), in the table's order.
    QList<int> Select(const QString& field, const QString& value) const;
    bool Exists(const QString& field, const QString& value) const;

private:
    friend class TVoskDM_Dunmere;
    QStringList m_fields;
    std::vector<QVariantList> m_rows;
};

struct TVoskDM_Dunmere::TCache {
    struct Entry {
        TVoskCachedTable table;
        const void* connection = nullptr;
    };
    // Node-based, so that a table handed out stays where it is while others are read.
    std::map<QString, Entry> tables;
    int reads = 0;
};

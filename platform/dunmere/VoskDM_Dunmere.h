#pragma once
// The system data module of the database layer: small tables that every module window reads and
// that change rarely ("Softlink"), read once per session and then answered from memory. A test or
// an administrator's change calls ClearCache so that the next read goes to the server again.

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

class TVoskDM_Dunmere final : public QObject {
    Q_OBJECT
public:
    static TVoskDM_Dunmere* Instance();

    // The named table, read through the data module's connection on first use and again after
    // a reconnect. Throws for an unknown name or when there is no connection.
    const TVoskCachedTable& GetSource(const QString& name);
    const TVoskCachedTable& CacheLookup(const QString& name) { return GetSource(name); }
    void ClearCache();
    // Reads of the server done so far, for tests that count them.
    int Reads() const { return m_reads; }

    // The SELECT behind a cached table's name.
    static void RegisterSource(const QString& name, const QString& sql);

private:
    TVoskDM_Dunmere() = default;
    struct Entry {
        TVoskCachedTable table;
        const void* connection = nullptr;
    };
    // Node-based, so that a table handed out stays where it is while others are read.
    std::map<QString, Entry> m_cache;
    int m_reads = 0;
};

inline TVoskDM_Dunmere* VoskDM_Dunmere() {
    return TVoskDM_Dunmere::Instance();
}

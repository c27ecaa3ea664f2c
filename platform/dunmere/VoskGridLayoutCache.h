#pragma once
// The system data module's cache of stored grid layouts ("component_options;gridlayout"): the rows
// of table gridlayout in memory, one current row, and dataset-style editing that writes through.
// A post is one upsert on the layout key (form class and layout name without case, user, detail
// view), so two sessions saving the same key meet in one row and the last save wins. A failed
// write leaves the cache as it was and the pending change in place for Cancel.

#include <QString>
#include <QStringList>
#include <QVariant>

#include <optional>
#include <vector>

class TVoskGridLayoutCache final {
public:
    enum TState { dsBrowse, dsInsert, dsEdit };
    static QString CacheName() { return QStringLiteral("component_options;gridlayout"); }

    // Reads the table again on the data module's connection; the current row is the first.
    void Refresh();
    bool Loaded() const { return m_loaded; }
    bool IsEmpty() const { return m_rows.empty(); }
    int RecordCount() const { return int(m_rows.size()); }
    static QStringList FieldNames();

    // Moves to the first row whose fields ("a;b") equal the values; Null matches only Null, texts
    // compare without case when asked. False leaves the current row where it was.
    bool Locate(const QString& keyFields, const QVariantList& values, bool caseInsensitive = true);

    // The current row's value, or the pending change's while inserting or editing.
    QVariant FieldByName(const QString& name) const;
    // Only while inserting or editing.
    void SetFieldValue(const QString& name, const QVariant& value);

    TState State() const { return m_state; }
    void Insert(); // a new row with gl_deleted False
    void Edit();   // the current row
    void Post();   // writes the pending change; the cache takes the server's row
    void Cancel(); // drops the pending change
    void Delete(); // deletes the current row on the server and in the cache

private:
    int column(const QString& name) const; // throws for an unknown column
    std::vector<QVariantList> m_rows;
    int m_current = -1;
    TState m_state = dsBrowse;
    QVariantList m_buffer;
    bool m_loaded = false;
};

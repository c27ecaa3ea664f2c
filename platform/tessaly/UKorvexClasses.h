#pragma once
// The class library's field-definition cache: the columns of a table as the database reports them,
// read once per table and kept while the cache lives. TVoskClass2::ModulInitialize creates the
// global cache; FieldDefCache() is null before that and again once the cache is destroyed.

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>

class TVoskFieldDefCache final : public QObject {
    Q_OBJECT
public:
    explicit TVoskFieldDefCache(QObject* owner = nullptr);
    ~TVoskFieldDefCache() override;

    // Column names of table ("schema.table" or a table on the search path) in column order, read
    // through DM1 on first use; empty for an unknown table or without a connection.
    QStringList Fields(const QString& table);
    void Clear() { m_fields.clear(); }

private:
    QHash<QString, QStringList> m_fields;
};

TVoskFieldDefCache* FieldDefCache();

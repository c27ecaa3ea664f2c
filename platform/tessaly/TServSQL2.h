#pragma once
// The data class on named SQL: its SELECT comes from the database layer's store by key, its rows
// are written back to SqlTable. Besides the data class's events it offers a key index for fast
// locating by a whole-number key, and a post inside one transaction whose first step may take
// locks (BeforePostLocked) while the user's questions (BeforePost) run before it, outside.

#include "TVoskClass.h"

#include <QHash>

class TServSQL2 : public TVoskClass2 {
    Q_OBJECT
public:
    explicit TServSQL2(QObject* parent = nullptr);

    // The key of the named SQL; the text is read at the next Open or Refresh.
    QString SqlName() const { return m_sqlName; }
    void SetSqlName(const QString& key);

    // Moves to the record whose integer field (the first key field unless named) holds value,
    // through an index kept over that field: no pass over the rows per call.
    bool LocateInt(qint64 value, const QString& field = {});

    // Runs after the transaction of a post began and before the row is written; the post and
    // this step commit or roll back together.
    std::function<void(TServSQL2*)> BeforePostLocked;
    void Post(bool askBefore = true) override;

    // Whether the login may change development data such as texts: administrators may; so may
    // any login on a database marked for development by the setting "System.DevelopDatabase".
    // Without a connection nobody may.
    static bool CheckDevelopLogin();

protected:
    QString SelectSql() const override;

private:
    void dropIndex() { m_index.clear(); m_indexCol = -1; }

    QString m_sqlName;
    QHash<qint64, int> m_index; // value -> row
    int m_indexCol = -1;
};

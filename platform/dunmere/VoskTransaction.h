#pragma once
// A unit of work on one connection: it commits when asked and rolls back when dropped without.
// Opened while the connection already runs a transaction, it is a savepoint inside it: its own
// failure undoes only its own part, and whoever opened the outer transaction decides at last.
// So a writer that must be all or nothing (a stored file with its rows) opens one, and a caller
// that spans several writers (a viewer's save: file, revision row, annotations, stamps) opens
// the outer one and commits once.

#include <QString>

class TVoskDatabase;

class TVoskTransaction final {
public:
    explicit TVoskTransaction(TVoskDatabase& db);
    // Rolls back when neither committed nor rolled back; never throws (a dead connection has
    // lost the transaction anyway).
    ~TVoskTransaction();
    TVoskTransaction(const TVoskTransaction&) = delete;
    TVoskTransaction& operator=(const TVoskTransaction&) = delete;

    // Commits the transaction, or releases the savepoint. Throws when the server refuses; the
    // work is then rolled back.
    void Commit();
    void Rollback();

    bool Nested() const { return !m_savepoint.isEmpty(); }
    bool Open() const { return m_open; }
    TVoskDatabase& Database() const { return m_db; }

private:
    TVoskDatabase& m_db;
    QString m_savepoint; // empty for an own transaction
    bool m_open = true;
};

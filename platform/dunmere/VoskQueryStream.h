#pragma once
// Row-by-row reading of one statement's result (libpq single-row mode), for bulk copies: a
// million-row result held whole costs several hundred bytes a row on top of the copy made of it.

#include "VoskDatabase.h"

#include <QByteArray>
#include <QString>

class TVoskRowStream final {
public:
    // Takes a statement already sent on db's connection. Its first result is read when first
    // asked for, so the caller can go on working while the server runs the statement.
    TVoskRowStream(TVoskDatabase& db, QByteArray sql, QString context);
    // An unfinished stream cancels the statement and drains the connection.
    ~TVoskRowStream();
    TVoskRowStream(const TVoskRowStream&) = delete;
    TVoskRowStream& operator=(const TVoskRowStream&) = delete;

    // Describes the columns (also of an empty result); valid while the stream lives. Waits for
    // the server's first answer; throws EVoskDatabaseError when the statement failed.
    const PGresult* Columns();
    // The next row as a one-row result, valid until the next call; null at the end. Throws
    // EVoskDatabaseError when the statement fails midway.
    const PGresult* Next();
    int RowsRead() const { return m_rows; }

private:
    PGresult* Fetch();
    void Start();
    TVoskDatabase& m_db;
    QByteArray m_sql;
    QString m_context;
    PGresult* m_columns = nullptr;
    PGresult* m_pending = nullptr; // the first row, read together with the columns
    PGresult* m_current = nullptr;
    bool m_started = false;
    bool m_done = false;
    int m_rows = 0;
};

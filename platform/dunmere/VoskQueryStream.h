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

// Chunked reading of one statement's result through a cursor (DECLARE, then FETCH n at a time):
// one result of many rows per chunk, so neither a result object per row nor the whole result is
// ever held. Without an open transaction the stream opens one of its own and ends it once the
// rows are read or the stream goes; inside the caller's transaction it only declares and closes
// its cursor. The next chunk is asked for as soon as one arrives, so the server works on it
// while the caller reads, and the first one already while the caller does other work.
class TVoskChunkStream final {
public:
    // Declares the cursor for the statement with its parameters (throws EVoskDatabaseError when
    // the server refuses it) and sends the first FETCH.
    TVoskChunkStream(TVoskDatabase& db, const QByteArray& sql, int paramCount, const Oid* types,
                     const char* const* values, const int* lengths, const int* formats,
                     QString context, int chunkRows);
    // An unfinished stream waits for the chunk in flight, then closes its cursor (its own
    // transaction is rolled back).
    ~TVoskChunkStream();
    TVoskChunkStream(const TVoskChunkStream&) = delete;
    TVoskChunkStream& operator=(const TVoskChunkStream&) = delete;

    // Describes the columns (also of an empty result); waits for the first chunk.
    const PGresult* Columns();
    // The next chunk of rows (PQntuples of them, at least one), valid until the next call; null
    // at the end. Throws EVoskDatabaseError when the statement fails midway.
    const PGresult* NextChunk();
    qint64 RowsRead() const { return m_rows; }
    // The chunks asked for after this call come in PostgreSQL's binary format (true) or as text;
    // the first chunks, which describe the columns, are text. PQfformat tells a chunk's format.
    void SetBinary(bool binary) { m_binary = binary; }

private:
    PGresult* Receive();
    void SendFetch();
    void Finish();
    TVoskDatabase& m_db;
    QByteArray m_sql;
    QString m_context;
    QByteArray m_cursor;
    QByteArray m_fetch;
    int m_chunkRows;
    bool m_ownTransaction = false;
    bool m_binary = false;
    bool m_inFlight = false;
    bool m_done = false;     // the last chunk has arrived
    bool m_finished = false; // cursor closed and own transaction ended
    PGresult* m_columns = nullptr; // the first chunk, kept to describe the columns
    bool m_firstGiven = false;
    PGresult* m_current = nullptr;
    qint64 m_rows = 0;
};

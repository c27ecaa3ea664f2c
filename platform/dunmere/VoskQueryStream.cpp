#include "VoskQueryStream.h"

#include "VoskBoundParams.h"
#include "VoskQuery2.h"

#include <atomic>

namespace {

void drain(PGconn* conn) {
    while (PGresult* r = PQgetResult(conn))
        PQclear(r);
}

} // namespace

std::unique_ptr<TVoskRowStream> TVoskQuery2::OpenStream(bool binary) {
    Close();
    TVoskDatabase& db = preparedOn();
    const Dunmere::BoundParams params(m_params, m_bufs, m_sent, context(), db);
    PGconn* conn = db.Handle();
    db.CountRoundTrip();
    if (!PQsendQueryParams(conn, m_sent.constData(), params.Count(), params.Types(),
                           params.Values(), params.Lengths(), params.Formats(), binary ? 1 : 0)) {
        drain(conn);
        db.Check(nullptr, m_sent, context().trimmed());
    }
    PQsetSingleRowMode(conn);
    return std::make_unique<TVoskRowStream>(db, m_sent, context().trimmed());
}

TVoskRowStream::TVoskRowStream(TVoskDatabase& db, QByteArray sql, QString context)
    : m_db(db), m_sql(std::move(sql)), m_context(std::move(context)) {}

void TVoskRowStream::Start() {
    m_started = true;
    PGresult* first = Fetch();
    if (!first)
        throw EVoskDatabaseError(QStringLiteral("Keine Antwort des Servers"), {}, {}, 0,
                                 QString::fromUtf8(m_sql));
    m_columns = first;
    if (PQresultStatus(first) == PGRES_SINGLE_TUPLE) {
        m_pending = first; // describes the columns and is the first row
    } else {
        m_done = true; // no rows: the closing result describes the columns
        drain(m_db.Handle());
    }
}

const PGresult* TVoskRowStream::Columns() {
    if (!m_started)
        Start();
    return m_columns;
}

TVoskRowStream::~TVoskRowStream() {
    if (m_current && m_current != m_columns)
        PQclear(m_current);
    if (!m_done) {
        PGconn* conn = m_db.Handle();
        if (PGcancel* c = PQgetCancel(conn)) {
            char err[256];
            PQcancel(c, err, int(sizeof err));
            PQfreeCancel(c);
        }
        drain(conn);
    }
    PQclear(m_columns);
}

PGresult* TVoskRowStream::Fetch() {
    PGresult* r = PQgetResult(m_db.Handle());
    if (!r)
        return nullptr;
    const ExecStatusType st = PQresultStatus(r);
    if (st != PGRES_SINGLE_TUPLE && st != PGRES_TUPLES_OK) {
        drain(m_db.Handle());
        m_done = true;
        m_db.Check(r, m_sql, m_context); // throws and frees r
    }
    return r;
}

const PGresult* TVoskRowStream::Next() {
    if (!m_started)
        Start();
    if (m_current && m_current != m_columns)
        PQclear(m_current);
    m_current = nullptr;
    if (m_pending) {
        m_current = m_pending;
        m_pending = nullptr;
        ++m_rows;
        return m_current;
    }
    if (m_done)
        return nullptr;
    PGresult* r = Fetch();
    if (!r || PQresultStatus(r) != PGRES_SINGLE_TUPLE) {
        if (r)
            PQclear(r);
        drain(m_db.Handle());
        m_done = true;
        return nullptr;
    }
    m_current = r;
    ++m_rows;
    return r;
}

// ---- chunks through a cursor

std::unique_ptr<TVoskChunkStream> TVoskQuery2::OpenChunks(int chunkRows) {
    Close();
    TVoskDatabase& db = preparedOn();
    const Dunmere::BoundParams params(m_params, m_bufs, m_sent, context(), db);
    return std::make_unique<TVoskChunkStream>(db, m_sent, params.Count(), params.Types(),
                                              params.Values(), params.Lengths(), params.Formats(),
                                              context().trimmed(), chunkRows);
}

namespace {
std::atomic<quint64> g_cursorSerial{0};
} // namespace

TVoskChunkStream::TVoskChunkStream(TVoskDatabase& db, const QByteArray& sql, int paramCount,
                                   const Oid* types, const char* const* values,
                                   const int* lengths, const int* formats, QString context,
                                   int chunkRows)
    : m_db(db), m_sql(sql), m_context(std::move(context)),
      m_cursor("korvex_chunks_" + QByteArray::number(++g_cursorSerial)),
      m_chunkRows(std::max(1, chunkRows)) {
    m_fetch = "FETCH " + QByteArray::number(m_chunkRows) + " FROM " + m_cursor;
    PGconn* conn = db.Handle();
    if (PQtransactionStatus(conn) == PQTRANS_IDLE) {
        db.Exec(QStringLiteral("BEGIN"));
        m_ownTransaction = true;
    }
    const QByteArray declare = "DECLARE " + m_cursor + " NO SCROLL CURSOR FOR " + sql;
    db.CountRoundTrip();
    PGresult* res = PQexecParams(conn, declare.constData(), paramCount, types, values, lengths,
                                 formats, 0);
    if (PQresultStatus(res) != PGRES_COMMAND_OK) {
        m_done = m_finished = true;
        if (m_ownTransaction) {
            PGresult* rb = PQexec(conn, "ROLLBACK");
            PQclear(rb);
        }
        // The declaration as sent, so that the error's position points into its text.
        db.Check(res, declare, m_context); // throws and frees res
    }
    PQclear(res);
    SendFetch();
}

TVoskChunkStream::~TVoskChunkStream() {
    if (m_current && m_current != m_columns)
        PQclear(m_current);
    PQclear(m_columns);
    if (m_inFlight)
        drain(m_db.Handle());
    if (m_finished)
        return;
    PGconn* conn = m_db.Handle();
    if (!conn)
        return;
    const QByteArray close = m_ownTransaction ? QByteArray("ROLLBACK") : "CLOSE " + m_cursor;
    PQclear(PQexec(conn, close.constData()));
}

void TVoskChunkStream::SendFetch() {
    m_db.CountRoundTrip();
    if (!PQsendQueryParams(m_db.Handle(), m_fetch.constData(), 0, nullptr, nullptr, nullptr,
                           nullptr, m_binary ? 1 : 0)) {
        m_done = true;
        drain(m_db.Handle());
        m_db.Check(nullptr, m_sql, m_context);
    }
    m_inFlight = true;
}

// The chunk in flight; the next one goes out at once when this one was full.
PGresult* TVoskChunkStream::Receive() {
    PGconn* conn = m_db.Handle();
    PGresult* r = PQgetResult(conn);
    drain(conn);
    m_inFlight = false;
    if (!r || PQresultStatus(r) != PGRES_TUPLES_OK) {
        m_done = true;
        if (m_ownTransaction) {
            PQclear(PQexec(conn, "ROLLBACK"));
            m_finished = true;
        }
        m_db.Check(r, m_sql, m_context); // throws and frees r
    }
    if (PQntuples(r) == m_chunkRows)
        SendFetch();
    else {
        m_done = true;
        Finish();
    }
    return r;
}

// The last chunk is in: the cursor goes, and with it the transaction opened for it.
void TVoskChunkStream::Finish() {
    if (m_finished)
        return;
    m_finished = true;
    if (m_ownTransaction)
        m_db.Exec(QStringLiteral("COMMIT"));
    else
        m_db.Exec(QString::fromLatin1("CLOSE " + m_cursor));
}

const PGresult* TVoskChunkStream::Columns() {
    if (!m_columns)
        m_columns = Receive();
    return m_columns;
}

const PGresult* TVoskChunkStream::NextChunk() {
    if (m_current && m_current != m_columns)
        PQclear(m_current);
    m_current = nullptr;
    if (!m_firstGiven) {
        Columns();
        m_firstGiven = true;
        m_current = m_columns;
    } else if (!m_done || m_inFlight) {
        m_current = Receive();
    }
    if (!m_current || PQntuples(m_current) == 0) {
        if (m_current != m_columns)
            PQclear(m_current);
        m_current = nullptr;
        return nullptr;
    }
    m_rows += PQntuples(m_current);
    return m_current;
}

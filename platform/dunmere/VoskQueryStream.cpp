#include "VoskQueryStream.h"

#include "VoskBoundParams.h"
#include "VoskQuery2.h"

namespace {

void drain(PGconn* conn) {
    while (PGresult* r = PQgetResult(conn))
        PQclear(r);
}

} // namespace

std::unique_ptr<TVoskRowStream> TVoskQuery2::OpenStream(bool binary) {
    Close();
    TVoskDatabase& db = Database();
    if (!db.Connected())
        throw EVoskDatabaseError(QStringLiteral("Keine Datenbankverbindung%1").arg(context()));
    prepare();
    const Dunmere::BoundParams params(m_params, m_bufs, m_sent, context());
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

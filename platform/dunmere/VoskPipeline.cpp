#include "VoskPipeline.h"

#include "VoskBoundParams.h"
#include "VoskQuery2.h"

int TVoskPipeline::Add(TVoskQuery2& query) {
    m_items.push_back({&query, nullptr});
    return Count() - 1;
}

void TVoskPipeline::Run() {
    if (m_items.empty())
        return;
    if (!m_db.Revive())
        throw EVoskDatabaseError(QStringLiteral("Keine Datenbankverbindung"));
    PGconn* conn = m_db.Handle();
    const auto broken = [&] {
        const QString server = QString::fromUtf8(PQerrorMessage(conn)).trimmed();
        PQexitPipelineMode(conn);
        return EVoskDatabaseError(QStringLiteral("Die Verbindung zur Datenbank ist gestört"),
                                  server, QStringLiteral("08006"));
    };
    if (!PQenterPipelineMode(conn))
        throw broken();
    m_db.CountRoundTrip();
    std::vector<bool> sent(m_items.size(), false);
    for (size_t i = 0; i < m_items.size(); ++i) {
        Item& item = m_items[i];
        TVoskQuery2& q = *item.query;
        q.Close();
        int ok = 0;
        try {
            q.prepare();
            const Dunmere::BoundParams params(q.m_params, q.m_bufs, q.m_sent, q.context(), m_db);
            ok = PQsendQueryParams(conn, q.m_sent.constData(), params.Count(), params.Types(),
                                   params.Values(), params.Lengths(), params.Formats(), 0);
        } catch (const EVoskException&) {
            item.error = std::current_exception(); // a parameter never set: not sent
            continue;
        }
        if (!ok || !PQpipelineSync(conn))
            throw broken();
        sent[i] = true;
    }
    for (size_t i = 0; i < m_items.size(); ++i) {
        if (!sent[i])
            continue;
        Item& item = m_items[i];
        PGresult* answer = nullptr;
        while (PGresult* r = PQgetResult(conn)) {
            if (!answer)
                answer = r;
            else
                PQclear(r);
        }
        PGresult* sync = PQgetResult(conn);
        const bool synced = sync && PQresultStatus(sync) == PGRES_PIPELINE_SYNC;
        PQclear(sync);
        if (!answer || !synced) {
            PQclear(answer);
            throw broken();
        }
        TVoskQuery2& q = *item.query;
        try {
            q.adopt(m_db.Check(answer, q.m_sent, q.context().trimmed()));
        } catch (const EVoskException&) {
            item.error = std::current_exception();
        }
    }
    if (!PQexitPipelineMode(conn))
        throw broken();
}

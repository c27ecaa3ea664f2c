#include "TimelineGenerator.h"

#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace PlantafelTimeline {
namespace {

void Exec(PGconn* conn, const char* sql) {
    PGresult* r = PQexec(conn, sql);
    const ExecStatusType st = PQresultStatus(r);
    const std::string err = PQresultErrorMessage(r);
    PQclear(r);
    if (st != PGRES_COMMAND_OK && st != PGRES_TUPLES_OK)
        throw std::runtime_error("Zeitleiste erzeugen: " + err);
}

// Streams text rows into one COPY in blocks of about a megabyte.
class Copy final {
public:
    Copy(PGconn* conn, const char* sql) : m_conn(conn) {
        PGresult* r = PQexec(conn, sql);
        const bool ok = PQresultStatus(r) == PGRES_COPY_IN;
        const std::string err = PQresultErrorMessage(r);
        PQclear(r);
        if (!ok)
            throw std::runtime_error("COPY: " + err);
        m_buf.reserve(1 << 20);
    }
    std::string& Buffer() { return m_buf; }
    void RowDone() {
        if (m_buf.size() >= (1 << 20) - 256)
            Flush();
    }
    void Finish() {
        Flush();
        if (PQputCopyEnd(m_conn, nullptr) != 1)
            throw std::runtime_error(std::string("COPY: ") + PQerrorMessage(m_conn));
        PGresult* r = PQgetResult(m_conn);
        const bool ok = PQresultStatus(r) == PGRES_COMMAND_OK;
        const std::string err = PQresultErrorMessage(r);
        PQclear(r);
        while (PGresult* rest = PQgetResult(m_conn))
            PQclear(rest);
        if (!ok)
            throw std::runtime_error("COPY: " + err);
    }

private:
    void Flush() {
        if (!m_buf.empty() && PQputCopyData(m_conn, m_buf.data(), int(m_buf.size())) != 1)
            throw std::runtime_error(std::string("COPY: ") + PQerrorMessage(m_conn));
        m_buf.clear();
    }
    PGconn* m_conn;
    std::string m_buf;
};

void AppendDateTime(std::string& out, const QDate& day, int hour, int minute) {
    char b[24];
    std::snprintf(b, sizeof b, "%04d-%02d-%02d %02d:%02d:00", day.year(), day.month(), day.day(),
                  hour, minute);
    out += b;
}

} // namespace

Summary Generate(PGconn* conn, const Options& o) {
    Exec(conn, "TRUNCATE scheduling.resource_timeline, scheduling.entity RESTART IDENTITY");
    std::mt19937 rng(o.Seed);
    std::uniform_int_distribution<int> dayOf(0, std::max(o.Days - 1, 0));
    std::uniform_int_distribution<int> lengthOf(1, std::max(o.MaxEntityDays, 1));
    std::uniform_int_distribution<int> hourOf(6, 15), quarterOf(0, 3);
    std::uniform_int_distribution<int> orderOf(1, 20000), positionOf(1, 30);
    std::bernoulli_distribution conflicted(o.ConflictedShare);

    // Drawn first: the entities must be loaded before the rows that refer to them.
    struct Planned final {
        int First, Length, Hour, Minute, Order, Position;
        bool Clash;
    };
    std::vector<Planned> plan;
    for (std::int64_t rows = 0; rows < o.Rows;) {
        Planned p{dayOf(rng), lengthOf(rng), hourOf(rng), quarterOf(rng) * 15,
                  orderOf(rng), positionOf(rng), conflicted(rng)};
        p.Length = int(std::min<std::int64_t>(p.Length, o.Rows - rows));
        rows += p.Length;
        plan.push_back(p);
    }

    Summary s;
    s.Entities = int(plan.size());
    {
        Copy ents(conn, "COPY scheduling.entity (a2_id, a2_ab_ix, a2_n, a2_bezeichnung) FROM STDIN");
        std::string& b = ents.Buffer();
        for (size_t e = 0; e < plan.size(); ++e) {
            const std::string id = std::to_string(e + 1);
            b += id + '\t' + std::to_string(plan[e].Order) + '\t' +
                 std::to_string(plan[e].Position) + "\tPosition " + id + '\n';
            ents.RowDone();
        }
        ents.Finish();
    }
    {
        Copy rows(conn, "COPY scheduling.resource_timeline (ti_id, ti_resource_id, ti_a2_id, "
                        "ti_date_start, ti_date_end, ti_conflicted) FROM STDIN");
        std::string& b = rows.Buffer();
        for (size_t e = 0; e < plan.size(); ++e) {
            const Planned& p = plan[e];
            const int resource = o.FirstResourceId + int(e % size_t(std::max(o.Resources, 1)));
            for (int k = 0; k < p.Length; ++k) {
                const QDate day = o.Start.addDays(std::min(p.First + k, o.Days - 1));
                ++s.Rows;
                b += std::to_string(s.Rows);
                b += '\t';
                b += std::to_string(resource);
                b += '\t';
                b += std::to_string(e + 1);
                b += '\t';
                AppendDateTime(b, day, p.Hour, p.Minute);
                b += '\t';
                AppendDateTime(b, day, std::min(p.Hour + 8, 23), p.Minute);
                b += p.Clash ? "\tt\n" : "\tf\n";
                s.ConflictedRows += p.Clash;
                rows.RowDone();
            }
        }
        rows.Finish();
    }
    // The identity goes on after the rows loaded with their own ids.
    Exec(conn, "SELECT setval(pg_get_serial_sequence('scheduling.resource_timeline', 'ti_id'), "
               "GREATEST((SELECT max(ti_id) FROM scheduling.resource_timeline), 1))");
    Exec(conn, "ANALYZE scheduling.entity");
    Exec(conn, "ANALYZE scheduling.resource_timeline");
    return s;
}

} // namespace PlantafelTimeline

// Opening the planning board's container over a generated time line (50 resources, one year)
// against two baselines in the same run, on the same data, the sides taking turns:
//  floor  the same parameterized query read a chunk at a time through a cursor in binary (the
//         fastest plain way libpq reads a parameterized result without holding it whole), then
//         the entities numbered per resource and week and per day from packed integer keys;
//  pg     PostgreSQL numbering the same ranges itself (window functions), fetch included.
// The three sides' entity numbers are compared row by row; the run fails on any difference.
// The client's figure is its own process CPU time: the server's share, the same query on both
// sides, would swamp it in wall time. Every ratio is the median of per-round paired ratios.
// Memory is the rise of the peak resident set over the open, in a fresh process, per master row.

#include "../Connect.h"
#include "../ProcMemory.h"
#include "../Timing.h"
#include "UDM1.h"
#include "UPlantafel.ContainerDataSource.h"
#include "tools/TimelineGenerator.h"

#include <QCoreApplication>
#include <QProcess>

#include <arpa/inet.h>
#include <endian.h>
#include <malloc.h>

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using BenchMemory::ResetPeak;
using BenchMemory::StatusKb;
using BenchTiming::Median;
using BenchTiming::PairedRatio;
using BenchTiming::Stamp;

const char* kColumns =
    "SELECT ti_resource_id AS _resourceid, to_char( ti_date_start, 'IYYY' )::int AS _year, "
    "to_char( ti_date_start, 'IW' )::int AS _week, to_char( ti_date_start, 'IDDD' )::int AS "
    "_dayy, ti_date_start::DATE AS _date, to_char( ti_date_start, 'IYYYIW' )::int AS _yweek, "
    "-1::int AS _entityidsortyw, -1::int AS _entityidsortywd, ti_a2_id AS _entityid, ti_id, "
    "ti_date_start, ti_conflicted, e.a2_ab_ix, e.a2_n, ti_a2_id";
// The span as parameters, as the container sends it; PostgreSQL's side has it in its text.
const char* kWhereParams =
    " FROM scheduling.resource_timeline JOIN scheduling.entity e ON e.a2_id = "
    "scheduling.resource_timeline.ti_a2_id WHERE ti_resource_id BETWEEN 1 AND 50 "
    "AND ti_date_start >= $1::timestamp "
    "AND ti_date_start < date_trunc('day', $2::timestamp) + interval '1 day'";
const char* kWhere =
    " FROM scheduling.resource_timeline JOIN scheduling.entity e ON e.a2_id = "
    "scheduling.resource_timeline.ti_a2_id WHERE ti_resource_id BETWEEN 1 AND 50 "
    "AND ti_date_start >= '2025-01-01 00:00:00'::timestamp "
    "AND ti_date_start < date_trunc('day', '2025-12-31 00:00:00'::timestamp) + interval '1 day'";
const char* const kSpan[2] = {"2025-01-01 00:00:00", "2025-12-31 00:00:00"};

PGresult* Run(PGconn* c, const std::string& sql) {
    PGresult* r = PQexec(c, sql.c_str());
    const ExecStatusType st = PQresultStatus(r);
    if (st != PGRES_TUPLES_OK && st != PGRES_COMMAND_OK) {
        std::fprintf(stderr, "%s\n", PQresultErrorMessage(r));
        std::exit(1);
    }
    return r;
}

// Entity numbers by ti_id (ids run 1..rows): week and day.
struct Numbers final {
    std::vector<int> yw, ywd;
};

int ParseInt(const char* s, int len) {
    int v = 0, i = 0;
    const bool neg = len > 0 && s[0] == '-';
    for (i = neg ? 1 : 0; i < len; ++i)
        v = v * 10 + (s[i] - '0');
    return neg ? -v : v;
}

int Int4(const PGresult* r, int row, int col) {
    quint32 v;
    std::memcpy(&v, PQgetvalue(r, row, col), 4);
    return int(ntohl(v));
}

long long Int8(const PGresult* r, int row, int col) {
    quint64 v;
    std::memcpy(&v, PQgetvalue(r, row, col), 8);
    return (long long)be64toh(v);
}

// The columns numbering reads, one vector each, by fetch order.
struct Fetched final {
    std::vector<int> res, year, week, day, entity, id, ab, n;
    std::vector<long long> start; // seconds since 2000
    std::vector<unsigned char> conflicted;
};

// The floor's fetch: the same parameterized query through a cursor, binary chunks of 10,000
// rows, the next chunk asked for before the current one is read.
Fetched FetchFloor(PGconn* c, long long expected) {
    Fetched f;
    for (auto* v : {&f.res, &f.year, &f.week, &f.day, &f.entity, &f.id, &f.ab, &f.n})
        v->reserve(size_t(expected));
    f.start.reserve(size_t(expected));
    f.conflicted.reserve(size_t(expected));
    PQclear(Run(c, "BEGIN"));
    const std::string declare =
        std::string("DECLARE floor_rows NO SCROLL CURSOR FOR ") + kColumns + kWhereParams;
    PGresult* d = PQexecParams(c, declare.c_str(), 2, nullptr, kSpan, nullptr, nullptr, 0);
    if (PQresultStatus(d) != PGRES_COMMAND_OK) {
        std::fprintf(stderr, "%s\n", PQresultErrorMessage(d));
        std::exit(1);
    }
    PQclear(d);
    constexpr int kChunk = 10000;
    auto send = [c] {
        if (!PQsendQueryParams(c, "FETCH 10000 FROM floor_rows", 0, nullptr, nullptr, nullptr,
                               nullptr, 1)) {
            std::fprintf(stderr, "%s\n", PQerrorMessage(c));
            std::exit(1);
        }
    };
    send();
    for (;;) {
        PGresult* r = PQgetResult(c);
        while (PGresult* rest = PQgetResult(c))
            PQclear(rest);
        if (PQresultStatus(r) != PGRES_TUPLES_OK) {
            std::fprintf(stderr, "%s\n", PQresultErrorMessage(r));
            std::exit(1);
        }
        const int rows = PQntuples(r);
        if (rows == kChunk)
            send();
        for (int i = 0; i < rows; ++i) {
            f.res.push_back(Int4(r, i, 0));
            f.year.push_back(Int4(r, i, 1));
            f.week.push_back(Int4(r, i, 2));
            f.day.push_back(Int4(r, i, 3));
            f.entity.push_back(Int4(r, i, 8));
            f.id.push_back(Int4(r, i, 9));
            f.start.push_back(Int8(r, i, 10) / 1000000); // whole seconds in the generated data
            f.conflicted.push_back(PQgetvalue(r, i, 11)[0] != 0);
            f.ab.push_back(Int4(r, i, 12));
            f.n.push_back(Int4(r, i, 13));
        }
        PQclear(r);
        if (rows < kChunk)
            break;
    }
    PQclear(Run(c, "CLOSE floor_rows"));
    PQclear(Run(c, "COMMIT"));
    return f;
}

// Code of v in [lo, hi] and the width of such codes.
struct Field final {
    long long lo = 0;
    unsigned bits = 0;
    template <class V> explicit Field(const V& v) {
        if (v.empty())
            return;
        const auto [mn, mx] = std::minmax_element(v.begin(), v.end());
        lo = *mn;
        bits = unsigned(std::bit_width(static_cast<unsigned long long>(*mx - *mn)));
    }
};

// The numbering floor. The rows are bucketed by their packed (resource, year, week) in one
// counting pass; each bucket is sorted on the packed rest of the key (start, conflict flag,
// a2_ab_ix, a2_n; row order breaks ties as the stable index does). The day pass reorders each
// week bucket stably by day. Numbers come from one walk per pass, with a flat array by entity
// recording the range an entity was last numbered in.
void NumberFloor(const Fetched& f, Numbers& out) {
    const size_t rows = f.res.size();
    const Field fr(f.res), fy(f.year), fw(f.week), fd(f.day), fs(f.start), fa(f.ab), fn(f.n),
        fe(f.entity);
    if (fr.bits + fy.bits + fw.bits > 24 || fs.bits + 1 + fa.bits + fn.bits > 64) {
        std::fprintf(stderr, "keys too wide for the floor's packing\n");
        std::exit(1);
    }
    const unsigned buckets = 1u << (fr.bits + fy.bits + fw.bits);
    std::vector<unsigned> bucketOf(rows);
    std::vector<unsigned long long> rest(rows);
    std::vector<unsigned> count(buckets + 1, 0);
    for (size_t i = 0; i < rows; ++i) {
        const unsigned b = unsigned(((unsigned(f.res[i] - fr.lo) << fy.bits | unsigned(f.year[i] - fy.lo))
                                     << fw.bits) | unsigned(f.week[i] - fw.lo));
        bucketOf[i] = b;
        ++count[b + 1];
        rest[i] = (((static_cast<unsigned long long>(f.start[i] - fs.lo) << 1 | f.conflicted[i])
                    << fa.bits | unsigned(f.ab[i] - fa.lo))
                   << fn.bits) | unsigned(f.n[i] - fn.lo);
    }
    for (unsigned b = 0; b < buckets; ++b)
        count[b + 1] += count[b];
    std::vector<unsigned> order(rows);
    {
        std::vector<unsigned> at(count.begin(), count.end() - 1);
        for (size_t i = 0; i < rows; ++i)
            order[at[bucketOf[i]]++] = unsigned(i);
    }
    for (unsigned b = 0; b < buckets; ++b)
        std::sort(order.begin() + count[b], order.begin() + count[b + 1],
                  [&](unsigned x, unsigned y) {
                      return rest[x] != rest[y] ? rest[x] < rest[y] : x < y;
                  });

    const size_t entities = size_t(1) << fe.bits;
    std::vector<int> lastRange(entities + 1, -1), number(entities + 1, 0);
    auto walk = [&](auto sameRange, std::vector<int>& numbers) {
        std::fill(lastRange.begin(), lastRange.end(), -1);
        int counter = 0, range = -1;
        for (size_t k = 0; k < rows; ++k) {
            const unsigned i = order[k];
            if (k == 0 || !sameRange(order[k - 1], i))
                ++range;
            const size_t e = size_t(f.entity[i] - fe.lo);
            if (lastRange[e] != range) {
                lastRange[e] = range;
                number[e] = counter++;
            }
            numbers[size_t(f.id[i]) - 1] = number[e];
        }
    };
    out.yw.assign(rows, -1);
    out.ywd.assign(rows, -1);
    walk([&](unsigned a, unsigned b) { return bucketOf[a] == bucketOf[b]; }, out.yw);
    for (unsigned b = 0; b < buckets; ++b)
        std::stable_sort(order.begin() + count[b], order.begin() + count[b + 1],
                         [&](unsigned x, unsigned y) { return f.day[x] < f.day[y]; });
    walk([&](unsigned a, unsigned b) { return bucketOf[a] == bucketOf[b] && f.day[a] == f.day[b]; },
         out.ywd);
}

// PostgreSQL numbers the same ranges itself: each row's position in the sort order, an entity's
// first position in its range, and the dense rank of those first positions. Integer keys, no
// JIT, enough work_mem not to spill; the client fetches every row's numbers.
const std::string& PgSql() {
    static const std::string sql =
        std::string("WITH t AS (") + kColumns + kWhere +
        "), r AS (SELECT ti_id, _resourceid, _year, _week, _dayy, _entityid, "
        "row_number() OVER (ORDER BY _resourceid, _year, _week, ti_date_start, ti_conflicted, "
        "a2_ab_ix, a2_n, ti_id) AS pw, "
        "row_number() OVER (ORDER BY _resourceid, _year, _week, _dayy, ti_date_start, "
        "ti_conflicted, a2_ab_ix, a2_n, ti_id) AS pd FROM t), "
        "f AS (SELECT ti_id, min(pw) OVER (PARTITION BY _resourceid, _year, _week, _entityid) AS fw, "
        "min(pd) OVER (PARTITION BY _resourceid, _year, _week, _dayy, _entityid) AS fd FROM r) "
        "SELECT ti_id, dense_rank() OVER (ORDER BY fw) - 1, dense_rank() OVER (ORDER BY fd) - 1 "
        "FROM f";
    return sql;
}

Stamp PgNumbering(PGconn* c, Numbers& out) {
    const Stamp t0 = Stamp::Now();
    PGresult* r = Run(c, PgSql());
    const int rows = PQntuples(r);
    out.yw.assign(size_t(rows), -1);
    out.ywd.assign(size_t(rows), -1);
    for (int i = 0; i < rows; ++i) {
        const size_t id = size_t(ParseInt(PQgetvalue(r, i, 0), PQgetlength(r, i, 0))) - 1;
        if (id >= size_t(rows)) {
            std::fprintf(stderr, "unexpected ti_id\n");
            std::exit(1);
        }
        out.yw[id] = ParseInt(PQgetvalue(r, i, 1), PQgetlength(r, i, 1));
        out.ywd[id] = ParseInt(PQgetvalue(r, i, 2), PQgetlength(r, i, 2));
    }
    PQclear(r);
    return t0.Elapsed();
}

// The server's execution time of a statement, from EXPLAIN ANALYZE (outside every clock).
double ServerMs(PGconn* c, const std::string& sql) {
    PGresult* r = Run(c, "EXPLAIN (ANALYZE, TIMING OFF) " + sql);
    double ms = -1;
    for (int i = 0; i < PQntuples(r); ++i)
        if (std::sscanf(PQgetvalue(r, i, 0), " Execution Time: %lf", &ms) == 1)
            break;
    PQclear(r);
    return ms;
}

struct OpenResult final {
    Stamp time;
    int rows;
};

OpenResult Open(bool withInfo, Numbers* numbers = nullptr) {
    TPlantafelContainerDataSource c;
    c.SetActive(false);
    c.SetStartDate(QDateTime(QDate(2025, 1, 1), QTime(0, 0)));
    c.SetEndDate(QDateTime(QDate(2025, 12, 31), QTime(0, 0)));
    QStringList ids;
    for (int r = 1; r <= 50; ++r)
        ids << QString::number(r);
    c.SetResIDSelectSQL({ids.join(QStringLiteral(", "))});
    c.SetNextOpenWithoutEx(!withInfo);
    const Stamp t0 = Stamp::Now();
    c.SetActive(true);
    const Stamp took = t0.Elapsed();
    Cds::ClientDataSet& m = c.MasterData();
    if (numbers) {
        const int rows = m.RecordCount();
        numbers->yw.assign(size_t(rows), -1);
        numbers->ywd.assign(size_t(rows), -1);
        const int id = m.FieldIndex(QStringLiteral("ti_id")),
                  yw = m.FieldIndex(QStringLiteral("_entityidsortyw")),
                  ywd = m.FieldIndex(QStringLiteral("_entityidsortywd"));
        for (m.First(); !m.Eof(); m.Next()) {
            const size_t at = size_t(m.AsInteger(id)) - 1;
            numbers->yw[at] = m.AsInteger(yw);
            numbers->ywd[at] = m.AsInteger(ywd);
        }
    }
    return {took, m.RecordCount()};
}

// This program with --memory: the rise of the peak resident set over the open with information
// rows, per master row, in a process that has done nothing else.
int MemoryChild() {
    TDM1 dm;
    if (!BenchDb::Connected(dm))
        return 1;
    malloc_trim(0);
    const long before = StatusKb("VmRSS:");
    ResetPeak();
    const OpenResult r = Open(true);
    const long peak = StatusKb("VmHWM:");
    std::printf("%.1f %d\n", double(peak - before) * 1024.0 / double(std::max(r.rows, 1)), r.rows);
    return 0;
}

double BytesPerRowInFreshProcess(const char* self) {
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QString::fromLocal8Bit(self), {QStringLiteral("--memory")});
    if (!child.waitForFinished(-1) || child.exitStatus() != QProcess::NormalExit ||
        child.exitCode() != 0) {
        std::fprintf(stderr, "the memory run failed\n");
        std::exit(1);
    }
    return child.readAllStandardOutput().trimmed().split(' ').value(0).toDouble();
}

// Row by row; prints the first differences and tells whether there were any.
bool Same(const char* what, const Numbers& a, const Numbers& b) {
    if (a.yw.size() != b.yw.size()) {
        std::fprintf(stderr, "%s: %zu rows against %zu\n", what, a.yw.size(), b.yw.size());
        return false;
    }
    int shown = 0;
    long long differ = 0;
    for (size_t i = 0; i < a.yw.size(); ++i)
        if (a.yw[i] != b.yw[i] || a.ywd[i] != b.ywd[i]) {
            ++differ;
            if (shown++ < 5)
                std::fprintf(stderr, "%s: ti_id %zu: week %d/%d, day %d/%d\n", what, i + 1,
                             a.yw[i], b.yw[i], a.ywd[i], b.ywd[i]);
        }
    if (differ)
        std::fprintf(stderr, "%s: %lld rows differ\n", what, differ);
    return differ == 0;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc > 1 && std::strcmp(argv[1], "--memory") == 0)
        return MemoryChild();
    TDM1 dm;
    if (!BenchDb::Connected(dm))
        return 1;
    PGconn* c = dm.Database().Handle();
    // PostgreSQL's side gets a session of its own, tuned for the numbering query.
    PGconn* pg = PQconnectdb("");
    if (PQstatus(pg) != CONNECTION_OK) {
        std::fprintf(stderr, "libpq: %s\n", PQerrorMessage(pg));
        return 1;
    }
    PQclear(Run(pg, "SET jit = off"));
    PQclear(Run(pg, "SET work_mem = '1GB'"));

    std::printf("%-10s %-46s %10s %10s\n", "rows", "phase (median of 5)", "wall ms", "cpu ms");
    double lastClient = 0, lastOpen = 0, lastPg = 0, lastBytes = 0;
    long long lastRows = 0;
    // An argument runs one size only (for profiling).
    std::vector<long long> sizes{100000LL, 1000000LL};
    if (argc > 1)
        sizes = {std::atoll(argv[1])};
    for (long long n : sizes) {
        PlantafelTimeline::Options o;
        o.Rows = n;
        const Stamp gen0 = Stamp::Now();
        const auto summary = PlantafelTimeline::Generate(c, o);
        PQclear(Run(c, "ANALYZE scheduling.resource_timeline"));
        PQclear(Run(c, "ANALYZE scheduling.entity"));
        std::printf("%-10lld %-46s %10.1f %10s   (%d entities, %lld conflicted rows)\n", n,
                    "generate + COPY", gen0.Elapsed().WallMs, "", summary.Entities,
                    (long long)summary.ConflictedRows);

        const double bytesPerRow = BytesPerRowInFreshProcess(argv[0]);
        // The server's share, measured once outside the clocks.
        const double coreServer = ServerMs(c, std::string(kColumns) + kWhere);
        const double pgServer = ServerMs(pg, PgSql());

        // Five rounds; the side that starts moves on by one each round.
        constexpr int kRounds = 5;
        std::vector<Stamp> open, openNoInfo, floorFetch, floorAll, pgSide;
        std::vector<double> numberCpu;
        Numbers container, floorNumbers, pgNumbers;
        int masterRows = 0;
        for (int i = 0; i < kRounds; ++i) {
            for (int k = 0; k < 4; ++k) {
                switch ((i + k) % 4) {
                case 0: {
                    const OpenResult r = Open(true, i == 0 ? &container : nullptr);
                    open.push_back(r.time);
                    masterRows = r.rows;
                    break;
                }
                case 1: openNoInfo.push_back(Open(false).time); break;
                case 2: {
                    const Stamp t0 = Stamp::Now();
                    const Fetched f = FetchFloor(c, n);
                    floorFetch.push_back(t0.Elapsed());
                    const Stamp t1 = Stamp::Now();
                    NumberFloor(f, floorNumbers);
                    numberCpu.push_back(t1.Elapsed().CpuMs);
                    floorAll.push_back(t0.Elapsed());
                    break;
                }
                case 3: pgSide.push_back(PgNumbering(pg, pgNumbers)); break;
                }
            }
        }
        if (!Same("container/floor", container, floorNumbers) ||
            !Same("container/PostgreSQL", container, pgNumbers))
            return 1;

        PairedRatio client, openWall, pgWall;
        for (int i = 0; i < kRounds; ++i) {
            client.Add(openNoInfo[size_t(i)].CpuMs, floorAll[size_t(i)].CpuMs);
            openWall.Add(openNoInfo[size_t(i)].WallMs, floorAll[size_t(i)].WallMs);
            pgWall.Add(openNoInfo[size_t(i)].WallMs, pgSide[size_t(i)].WallMs);
        }
        auto median = [](const std::vector<Stamp>& v, double Stamp::*clock) {
            std::vector<double> x;
            for (const Stamp& s : v)
                x.push_back(s.*clock);
            return Median(x);
        };
        auto line = [&](const char* what, const std::vector<Stamp>& v) {
            std::printf("%-10lld %-46s %10.1f %10.1f\n", n, what, median(v, &Stamp::WallMs),
                        median(v, &Stamp::CpuMs));
        };
        line("open (with information rows)", open);
        line("open without information rows", openNoInfo);
        std::printf("%-10lld %-46s %10.1f\n", n, "  server execution of the core query",
                    coreServer);
        line("floor: fetch through a cursor (binary chunks)", floorFetch);
        std::printf("%-10lld %-46s %10s %10.1f\n", n, "floor: numbering (packed keys)", "",
                    Median(numberCpu));
        line("floor: fetch + numbering", floorAll);
        line("PostgreSQL numbering, fetch included", pgSide);
        std::printf("%-10lld %-46s %10.1f\n", n, "  server execution of its query", pgServer);
        std::printf("%-10lld %-46s %10s\n", n, "entity numbers of the three sides", "equal");
        std::printf("%-10lld %-46s %10.2f   (rounds:", n,
                    "client cpu: open without info / floor", client.Median());
        for (double r : client.Ratios())
            std::printf(" %.2f", r);
        std::printf(")\n");
        std::printf("%-10lld %-46s %10.2f\n", n, "wall: open without info / floor",
                    openWall.Median());
        std::printf("%-10lld %-46s %10.2f\n", n, "wall: open without info / PostgreSQL",
                    pgWall.Median());
        std::printf("%-10lld %-46s %10.1f   (%d master rows, fresh process)\n", n,
                    "peak bytes per master row", bytesPerRow, masterRows);
        lastClient = client.Median();
        lastOpen = openWall.Median();
        lastPg = pgWall.Median();
        lastBytes = bytesPerRow;
        lastRows = n;
    }
    PQfinish(pg);
    // The figures name the size they were measured at (a profiling run may pick another).
    const std::string size = lastRows == 1000000 ? "1e6"
                             : lastRows == 100000 ? "1e5"
                                                  : std::to_string(lastRows);
    std::printf("figure client_vs_numbering_floor_%s %.3f\n", size.c_str(), lastClient);
    std::printf("figure open_vs_floor_%s %.3f\n", size.c_str(), lastOpen);
    std::printf("figure open_vs_pg_grouping_%s %.3f\n", size.c_str(), lastPg);
    std::printf("figure bytes_per_row_%s %.1f\n", size.c_str(), lastBytes);
    return 0;
}

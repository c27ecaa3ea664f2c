// Opening the planning board's container over a generated time line (50 resources, one year)
// against two baselines in the same run, on the same data, the sides taking turns:
//  floor  the same query streamed in single-row mode as the container reads it, then the
//         entities numbered per resource and week and per day from packed integer keys;
//  pg     PostgreSQL numbering the same ranges itself (window functions), fetch included.
// The three sides' entity numbers are compared row by row; the run fails on any difference.
// Peak memory of the open is the rise of the process's peak resident set over its size before.

#include "../ProcMemory.h"
#include "UDM1.h"
#include "UPlantafel.ContainerDataSource.h"
#include "tools/TimelineGenerator.h"

#include <QCoreApplication>

#include <algorithm>
#include <bit>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double, std::milli>(b - a).count();
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

using BenchMemory::ResetPeak;
using BenchMemory::StatusKb;

const char* kWhere =
    " FROM scheduling.resource_timeline JOIN scheduling.entity e ON e.a2_id = "
    "scheduling.resource_timeline.ti_a2_id WHERE ti_resource_id BETWEEN 1 AND 50 "
    "AND ti_date_start >= '2025-01-01 00:00:00'::timestamp "
    "AND ti_date_start < date_trunc('day', '2025-12-31 00:00:00'::timestamp) + interval '1 day'";

const char* kColumns =
    "SELECT ti_resource_id AS _resourceid, to_char( ti_date_start, 'IYYY' )::int AS _year, "
    "to_char( ti_date_start, 'IW' )::int AS _week, to_char( ti_date_start, 'IDDD' )::int AS "
    "_dayy, ti_date_start::DATE AS _date, to_char( ti_date_start, 'IYYYIW' )::int AS _yweek, "
    "-1::int AS _entityidsortyw, -1::int AS _entityidsortywd, ti_a2_id AS _entityid, ti_id, "
    "ti_date_start, ti_conflicted, e.a2_ab_ix, e.a2_n, ti_a2_id";

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

// "yyyy-mm-dd hh:mm:ss" as seconds since 1970 (days from the civil calendar, no zone).
long long ParseStamp(const char* s) {
    auto num = [s](int at, int n) {
        int v = 0;
        for (int i = 0; i < n; ++i)
            v = v * 10 + (s[at + i] - '0');
        return v;
    };
    int y = num(0, 4);
    const unsigned m = unsigned(num(5, 2)), d = unsigned(num(8, 2));
    y -= m <= 2;
    const int era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = unsigned(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    const long long days = era * 146097LL + doe - 719468;
    return days * 86400 + num(11, 2) * 3600 + num(14, 2) * 60 + num(17, 2);
}

// The columns numbering reads, one vector each, by fetch order.
struct Fetched final {
    std::vector<int> res, year, week, day, entity, id, ab, n;
    std::vector<long long> start;
    std::vector<unsigned char> conflicted;
};

// The floor's fetch: the same query, streamed row by row in single-row mode as the container
// reads it.
Fetched FetchStreaming(PGconn* c, long long expected) {
    Fetched f;
    for (auto* v : {&f.res, &f.year, &f.week, &f.day, &f.entity, &f.id, &f.ab, &f.n})
        v->reserve(size_t(expected));
    f.start.reserve(size_t(expected));
    f.conflicted.reserve(size_t(expected));
    const std::string sql = std::string(kColumns) + kWhere;
    if (!PQsendQuery(c, sql.c_str()) || !PQsetSingleRowMode(c)) {
        std::fprintf(stderr, "%s\n", PQerrorMessage(c));
        std::exit(1);
    }
    while (PGresult* r = PQgetResult(c)) {
        const ExecStatusType st = PQresultStatus(r);
        if (st == PGRES_SINGLE_TUPLE) {
            auto iv = [r](int col) { return ParseInt(PQgetvalue(r, 0, col), PQgetlength(r, 0, col)); };
            f.res.push_back(iv(0));
            f.year.push_back(iv(1));
            f.week.push_back(iv(2));
            f.day.push_back(iv(3));
            f.entity.push_back(iv(8));
            f.id.push_back(iv(9));
            f.start.push_back(ParseStamp(PQgetvalue(r, 0, 10)));
            f.conflicted.push_back(PQgetvalue(r, 0, 11)[0] == 't');
            f.ab.push_back(iv(12));
            f.n.push_back(iv(13));
        } else if (st != PGRES_TUPLES_OK) {
            std::fprintf(stderr, "%s\n", PQresultErrorMessage(r));
            std::exit(1);
        }
        PQclear(r);
    }
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

double PgNumbering(PGconn* c, Numbers& out) {
    const auto t0 = Clock::now();
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
    return Ms(t0, Clock::now());
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
    double ms;
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
    const auto t0 = Clock::now();
    c.SetActive(true);
    const double ms = Ms(t0, Clock::now());
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
    return {ms, m.RecordCount()};
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
    TDM1 dm;
    try {
        dm.Connect();
    } catch (const EVoskException& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.Message()));
        return 1;
    }
    PGconn* c = dm.Database().Handle();
    // PostgreSQL's side gets a session of its own, tuned for the numbering query.
    PGconn* pg = PQconnectdb("");
    if (PQstatus(pg) != CONNECTION_OK) {
        std::fprintf(stderr, "libpq: %s\n", PQerrorMessage(pg));
        return 1;
    }
    PQclear(Run(pg, "SET jit = off"));
    PQclear(Run(pg, "SET work_mem = '1GB'"));

    std::printf("%-10s %-44s %12s\n", "rows", "phase", "ms (median)");
    double lastR = 0, lastC = 0, lastP = 0, lastB = 0;
    // An argument runs one size only (for profiling).
    std::vector<long long> sizes{100000LL, 1000000LL};
    if (argc > 1)
        sizes = {std::atoll(argv[1])};
    for (long long n : sizes) {
        PlantafelTimeline::Options o;
        o.Rows = n;
        const auto gen0 = Clock::now();
        const auto summary = PlantafelTimeline::Generate(c, o);
        PQclear(Run(c, "ANALYZE scheduling.resource_timeline"));
        PQclear(Run(c, "ANALYZE scheduling.entity"));
        std::printf("%-10lld %-44s %12.1f   (%d entities, %lld conflicted rows)\n", n,
                    "generate + COPY", Ms(gen0, Clock::now()), summary.Entities,
                    (long long)summary.ConflictedRows);
        constexpr int reps = 5;

        // Memory first, before any baseline raises the peak; the numbers of this open are the
        // ones checked against the baselines'.
        const long rssBefore = StatusKb("VmRSS:");
        ResetPeak();
        Numbers container;
        const OpenResult first = Open(true, &container);
        const long peak = StatusKb("VmHWM:");
        const double bytesPerRow = double(peak - rssBefore) * 1024.0 / double(first.rows);

        // The server's share, measured once outside the clocks.
        const double coreServer = ServerMs(c, std::string(kColumns) + kWhere);
        const double pgServer = ServerMs(pg, PgSql());

        // Five rounds; the side that starts moves on by one each round.
        std::vector<double> open, openNoInfo, floorMs, fetchMs, numberMs, pgMs;
        Numbers floorNumbers, pgNumbers;
        for (int i = 0; i < reps; ++i) {
            for (int k = 0; k < 4; ++k) {
                switch ((i + k) % 4) {
                case 0: open.push_back(Open(true).ms); break;
                case 1: openNoInfo.push_back(Open(false).ms); break;
                case 2: {
                    const auto t0 = Clock::now();
                    const Fetched f = FetchStreaming(c, n);
                    const auto t1 = Clock::now();
                    NumberFloor(f, floorNumbers);
                    const auto t2 = Clock::now();
                    fetchMs.push_back(Ms(t0, t1));
                    numberMs.push_back(Ms(t1, t2));
                    floorMs.push_back(Ms(t0, t2));
                    break;
                }
                case 3: pgMs.push_back(PgNumbering(pg, pgNumbers)); break;
                }
            }
        }
        if (!Same("container/floor", container, floorNumbers) ||
            !Same("container/PostgreSQL", container, pgNumbers))
            return 1;

        const double openM = Median(open), noInfoM = Median(openNoInfo), floorM = Median(floorMs),
                     fetchM = Median(fetchMs), numberM = Median(numberMs), pgM = Median(pgMs);
        // The open without information rows does the floor's work (fetch, numbering) and more
        // (all columns kept, the master index); with them it also reads the entities.
        const double R = noInfoM / floorM;
        const double C = (noInfoM - fetchM) / numberM;
        const double P = noInfoM / pgM;
        std::printf("%-10lld %-44s %12.1f   (%d master rows)\n", n, "open (with information rows)",
                    openM, first.rows);
        std::printf("%-10lld %-44s %12.1f\n", n, "open without information rows", noInfoM);
        std::printf("%-10lld %-44s %12.1f\n", n, "  server execution of the core query", coreServer);
        std::printf("%-10lld %-44s %12.1f\n", n, "  client side (open without info - fetch)",
                    noInfoM - fetchM);
        std::printf("%-10lld %-44s %12.1f\n", n, "floor: streaming fetch (single-row mode)", fetchM);
        std::printf("%-10lld %-44s %12.1f\n", n, "floor: numbering (packed keys, flat arrays)",
                    numberM);
        std::printf("%-10lld %-44s %12.1f\n", n, "floor: fetch + numbering", floorM);
        std::printf("%-10lld %-44s %12.1f   (server %.1f)\n", n,
                    "PostgreSQL numbering, fetch included", pgM, pgServer);
        std::printf("%-10lld %-44s %12s\n", n, "entity numbers of the three sides", "equal");
        std::printf("%-10lld %-44s %12.2f\n", n, "open without info / floor", R);
        std::printf("%-10lld %-44s %12.2f\n", n, "open with info / floor", openM / floorM);
        std::printf("%-10lld %-44s %12.2f\n", n, "client side / numbering floor", C);
        std::printf("%-10lld %-44s %12.2f\n", n, "open without info / PostgreSQL numbering", P);
        std::printf("%-10lld %-44s %12.1f\n", n, "peak bytes per master row", bytesPerRow);
        lastR = R;
        lastC = C;
        lastP = P;
        lastB = bytesPerRow;
    }
    PQfinish(pg);
    std::printf("figure open_vs_floor_1e6 %.3f\n", lastR);
    std::printf("figure client_vs_numbering_floor_1e6 %.3f\n", lastC);
    std::printf("figure open_vs_pg_grouping_1e6 %.3f\n", lastP);
    std::printf("figure bytes_per_row_1e6 %.1f\n", lastB);
    return 0;
}

// Opening the planning board's container over a generated time line (50 resources, one year)
// against two baselines in the same run, on the same data:
//  floor  a plain libpq fetch of the same rows and columns, then one C++ pass over packed rows
//         that numbers the entities per resource and week and per day and counts the groups;
//  pg     PostgreSQL doing that numbering and counting itself (window functions), fetch included.
// Peak memory of the open is the rise of the process's peak resident set over its size before.

#include "UDM1.h"
#include "UPlantafel.ContainerDataSource.h"
#include "tools/TimelineGenerator.h"

#include <QCoreApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <unordered_map>
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

long StatusKb(const char* key) {
    std::ifstream f("/proc/self/status");
    std::string line;
    while (std::getline(f, line))
        if (line.rfind(key, 0) == 0)
            return std::atol(line.c_str() + std::strlen(key));
    return 0;
}

void ResetPeak() {
    std::ofstream f("/proc/self/clear_refs");
    f << "5";
}

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
    if (PQresultStatus(r) != PGRES_TUPLES_OK) {
        std::fprintf(stderr, "%s\n", PQresultErrorMessage(r));
        std::exit(1);
    }
    return r;
}

struct Row final {
    int res, year, week, day, entity, ab, n, id;
    long long start; // yyyymmddhhmmss
    bool conflicted;
    int yw = -1, ywd = -1;
};

int Int(PGresult* r, int row, int col) { return std::atoi(PQgetvalue(r, row, col)); }

// Fetch floor and the plain C++ numbering and counting.
double Floor(PGconn* c, long long* check, double* fetchMs) {
    const auto t0 = Clock::now();
    PGresult* r = Run(c, std::string(kColumns) + kWhere);
    const int rows = PQntuples(r);
    std::vector<Row> v(static_cast<size_t>(rows));
    for (int i = 0; i < rows; ++i) {
        Row& x = v[size_t(i)];
        x = {Int(r, i, 0), Int(r, i, 1), Int(r, i, 2), Int(r, i, 3), Int(r, i, 8),
             Int(r, i, 12), Int(r, i, 13), Int(r, i, 9), 0, PQgetvalue(r, i, 11)[0] == 't'};
        const char* s = PQgetvalue(r, i, 10); // "yyyy-mm-dd hh:mm:ss"
        long long k = 0;
        for (const char* p = s; *p; ++p)
            if (*p >= '0' && *p <= '9')
                k = k * 10 + (*p - '0');
        x.start = k;
    }
    PQclear(r);
    const auto t1 = Clock::now();
    *fetchMs = Ms(t0, t1);
    std::vector<unsigned> order(v.size());
    long long sum = 0;
    for (int pass = 0; pass < 2; ++pass) {
        for (unsigned i = 0; i < order.size(); ++i)
            order[i] = i;
        std::stable_sort(order.begin(), order.end(), [&](unsigned a, unsigned b) {
            const Row &x = v[a], &y = v[b];
            const int xd = pass ? x.day : 0, yd = pass ? y.day : 0;
            return std::tie(x.res, x.year, x.week, xd, x.start, x.conflicted, x.ab, x.n) <
                   std::tie(y.res, y.year, y.week, yd, y.start, y.conflicted, y.ab, y.n);
        });
        std::unordered_map<int, int> numbered;
        int counter = 0, groups = 0;
        const Row* prev = nullptr;
        for (unsigned i : order) {
            Row& x = v[i];
            if (!prev || prev->res != x.res || prev->year != x.year || prev->week != x.week ||
                (pass && prev->day != x.day)) {
                numbered.clear();
                ++groups;
            }
            auto [it, fresh] = numbered.emplace(x.entity, counter);
            if (fresh)
                ++counter;
            (pass ? x.ywd : x.yw) = it->second;
            prev = &x;
        }
        sum += counter + groups;
    }
    *check = sum;
    return Ms(t0, Clock::now());
}

// PostgreSQL numbers and counts the same groups; the client fetches every row's result.
double PgGrouping(PGconn* c, long long* rowsOut) {
    const std::string sql =
        std::string("WITH t AS (") + kColumns + kWhere +
        "), f AS (SELECT t.*, "
        "first_value(ROW(ti_date_start, ti_conflicted, a2_ab_ix, a2_n, ti_id)) OVER ("
        "PARTITION BY _resourceid, _year, _week, _entityid ORDER BY ti_date_start, "
        "ti_conflicted, a2_ab_ix, a2_n, ti_id) AS fw, "
        "first_value(ROW(ti_date_start, ti_conflicted, a2_ab_ix, a2_n, ti_id)) OVER ("
        "PARTITION BY _resourceid, _year, _week, _dayy, _entityid ORDER BY ti_date_start, "
        "ti_conflicted, a2_ab_ix, a2_n, ti_id) AS fd FROM t) "
        "SELECT ti_id, _resourceid, _year, _week, _dayy, "
        "dense_rank() OVER (ORDER BY _resourceid, _year, _week, fw) - 1 AS _entityidsortyw, "
        "dense_rank() OVER (ORDER BY _resourceid, _year, _week, _dayy, fd) - 1 AS "
        "_entityidsortywd, "
        "count(*) OVER (PARTITION BY _resourceid, _year, _week) AS count_week, "
        "count(*) OVER (PARTITION BY _resourceid, _year, _week, _dayy) AS count_day FROM f";
    const auto t0 = Clock::now();
    PGresult* r = Run(c, sql);
    long long sum = 0;
    for (int i = 0, n = PQntuples(r); i < n; ++i)
        sum += std::atoi(PQgetvalue(r, i, 5));
    *rowsOut = PQntuples(r) + (sum & 0);
    PQclear(r);
    return Ms(t0, Clock::now());
}

struct OpenResult final {
    double ms;
    int rows;
};

OpenResult Open(bool withInfo) {
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
    return {ms, c.MasterData().RecordCount()};
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
    std::printf("%-10s %-34s %12s\n", "rows", "phase", "ms (median)");
    double lastR = 0, lastP = 0, lastB = 0;
    // An argument runs one size only (for profiling).
    std::vector<long long> sizes{100000LL, 1000000LL};
    if (argc > 1)
        sizes = {std::atoll(argv[1])};
    for (long long n : sizes) {
        PlantafelTimeline::Options o;
        o.Rows = n;
        const auto gen0 = Clock::now();
        const auto summary = PlantafelTimeline::Generate(c, o);
        std::printf("%-10lld %-34s %12.1f   (%d entities, %lld conflicted rows)\n", n,
                    "generate + COPY", Ms(gen0, Clock::now()), summary.Entities,
                    (long long)summary.ConflictedRows);
        const int reps = n >= 1000000 ? 3 : 5;

        // Memory first, before any baseline raises the peak.
        const long rssBefore = StatusKb("VmRSS:");
        ResetPeak();
        const OpenResult first = Open(true);
        const long peak = StatusKb("VmHWM:");
        const double bytesPerRow = double(peak - rssBefore) * 1024.0 / double(first.rows);

        std::vector<double> open, openNoInfo, floorMs, fetchMs, pgMs;
        long long check = 0, pgRows = 0;
        for (int i = 0; i < reps; ++i) {
            open.push_back(Open(true).ms);
            openNoInfo.push_back(Open(false).ms);
            double f = 0;
            floorMs.push_back(Floor(c, &check, &f));
            fetchMs.push_back(f);
            pgMs.push_back(PgGrouping(c, &pgRows));
        }
        const double R = Median(open) / Median(floorMs);
        const double P = Median(open) / Median(pgMs);
        std::printf("%-10lld %-34s %12.1f   (%d master rows)\n", n, "open (with information rows)",
                    Median(open), first.rows);
        std::printf("%-10lld %-34s %12.1f\n", n, "open without information rows",
                    Median(openNoInfo));
        std::printf("%-10lld %-34s %12.1f\n", n, "floor: libpq fetch", Median(fetchMs));
        std::printf("%-10lld %-34s %12.1f\n", n, "floor: fetch + C++ numbering", Median(floorMs));
        std::printf("%-10lld %-34s %12.1f   (%lld rows)\n", n, "PostgreSQL numbering + counts",
                    Median(pgMs), pgRows);
        std::printf("%-10lld %-34s %12.2f\n", n, "open / floor", R);
        std::printf("%-10lld %-34s %12.2f\n", n, "open without info / floor",
                    Median(openNoInfo) / Median(floorMs));
        std::printf("%-10lld %-34s %12.2f\n", n, "open / PostgreSQL grouping", P);
        std::printf("%-10lld %-34s %12.1f\n", n, "peak bytes per master row", bytesPerRow);
        lastR = R;
        lastP = P;
        lastB = bytesPerRow;
    }
    std::printf("figure open_vs_floor_1e6 %.3f\n", lastR);
    std::printf("figure open_vs_pg_grouping_1e6 %.3f\n", lastP);
    std::printf("figure bytes_per_row_1e6 %.1f\n", lastB);
    return 0;
}

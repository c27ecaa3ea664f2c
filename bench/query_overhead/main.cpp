// Round-trip cost of the query class against bare libpq: the same one-row parameterised SELECT,
// prepared once on the libpq side and run by PQexecPrepared, the same connection, alternating blocks (and which side goes first in each) so that drift of a
// shared machine hits both alike.

#include <VoskQuery2.h>

#include <QCoreApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRoundTrips = 10000;
constexpr int kBlock = 500;
constexpr int kRows = 1000;
const char* const kSql = "SELECT t_nr, t_feld0, t_feld3 FROM text0 WHERE t_nr = $1";
const char* const kSqlNamed = "SELECT t_nr, t_feld0, t_feld3 FROM text0 WHERE t_nr = :nr";

// The sum of all fields read keeps the compiler from dropping the work and checks both agree.
long long rawBlock(PGconn* c, int from, int n) {
    long long sum = 0;
    char buf[16];
    for (int i = 0; i < n; ++i) {
        const int nr = 1 + (from + i) % kRows;
        std::snprintf(buf, sizeof buf, "%d", nr);
        const char* values[1] = {buf};
        PGresult* r = PQexecPrepared(c, "q", 1, values, nullptr, nullptr, 0);
        if (PQresultStatus(r) != PGRES_TUPLES_OK || PQntuples(r) != 1) {
            std::fprintf(stderr, "libpq: %s\n", PQresultErrorMessage(r));
            std::exit(1);
        }
        sum += std::atoi(PQgetvalue(r, 0, 0)) + QString::fromUtf8(PQgetvalue(r, 0, 1)).size();
        PQclear(r);
    }
    return sum;
}

long long queryBlock(TVoskQuery2& q, int from, int n) {
    long long sum = 0;
    TVoskParam& nr = q.ParamByName(QStringLiteral("nr"));
    for (int i = 0; i < n; ++i) {
        nr.SetValue(1 + (from + i) % kRows);
        q.Open();
        sum += q.FieldByName(QStringLiteral("t_nr")).AsInteger() +
               q.FieldByName(QStringLiteral("t_feld0")).AsString().size();
    }
    q.Close();
    return sum;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    TVoskDatabase db;
    try {
        db.Connect();
        db.Exec(QStringLiteral("DELETE FROM text0 WHERE t_nr <= %1").arg(kRows));
        db.Exec(QStringLiteral("INSERT INTO text0 (t_nr, t_feld0, t_feld3) SELECT n, "
                               "'Text ' || n, 'text ' || n FROM generate_series(1, %1) n")
                    .arg(kRows));
        db.Exec(QStringLiteral("ANALYZE text0"));
    } catch (const EVoskException& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.Message()));
        return 1;
    }
    PGconn* c = db.Handle();
    TVoskQuery2 q(&db, QString::fromLatin1(kSqlNamed));
    {
        const Oid types[1] = {23};
        PGresult* p = PQprepare(c, "q", kSql, 1, types);
        if (PQresultStatus(p) != PGRES_COMMAND_OK) {
            std::fprintf(stderr, "prepare: %s\n", PQresultErrorMessage(p));
            return 1;
        }
        PQclear(p);
    }

    // Warm-up: plan cache, buffers, branch predictors.
    rawBlock(c, 0, 1000);
    queryBlock(q, 0, 1000);

    double rawMs = 0, queryMs = 0;
    long long rawSum = 0, querySum = 0;
    std::vector<double> ratios;
    // Which side runs first alternates from block to block, so that neither always follows the
    // other's warm caches.
    for (int done = 0; done < kRoundTrips; done += kBlock) {
        const bool rawFirst = (done / kBlock) % 2 == 0;
        double r = 0, s = 0;
        for (int side = 0; side < 2; ++side) {
            const auto t0 = Clock::now();
            if ((side == 0) == rawFirst) {
                rawSum += rawBlock(c, done, kBlock);
                r = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
            } else {
                querySum += queryBlock(q, done, kBlock);
                s = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
            }
        }
        rawMs += r;
        queryMs += s;
        ratios.push_back(s / r);
    }
    if (rawSum != querySum) {
        std::fprintf(stderr, "results differ: %lld vs %lld\n", rawSum, querySum);
        return 1;
    }
    std::sort(ratios.begin(), ratios.end());
    const double median = ratios[ratios.size() / 2];

    std::printf("query_overhead: %d round trips each, one-row SELECT with one bound parameter\n",
                kRoundTrips);
    std::printf("%-28s %12s %14s\n", "variant", "total ms", "us/round trip");
    std::printf("%-28s %12.1f %14.2f\n", "raw PQexecPrepared", rawMs, rawMs * 1000 / kRoundTrips);
    std::printf("%-28s %12.1f %14.2f\n", "TVoskQuery2 Open+fields", queryMs,
                queryMs * 1000 / kRoundTrips);
    std::printf("%-28s %12.3f\n", "ratio (totals)", queryMs / rawMs);
    std::printf("%-28s %12.3f   (%zu blocks of %d)\n", "ratio (median of blocks)", median,
                ratios.size(), kBlock);
    std::printf("figure raw_us_per_roundtrip %.2f\n", rawMs * 1000 / kRoundTrips);
    std::printf("figure query_us_per_roundtrip %.2f\n", queryMs * 1000 / kRoundTrips);
    std::printf("figure overhead_vs_prepared %.3f\n", median);
    return 0;
}

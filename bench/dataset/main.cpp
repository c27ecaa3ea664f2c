// Builds a 10^6-row dataset with 8 fields, indexes it on (resource, year, week, day), sets 50
// ranges and sums one field per range; the same work done by a plain C++ pass over a vector of
// structs runs beside it on the same data. Prints a table, then one "figure NAME VALUE" line
// per figure.

#include "ClientDataSet.h"

#include <QCoreApplication>
#include <QFile>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

namespace {

constexpr int kRows = 1'000'000;
constexpr int kResources = 50;
constexpr int kRepeats = 5;

struct Row {
    int resource, year, week, day, id, entity, conflicted;
    double amount;
};

std::vector<Row> Generate() {
    std::mt19937_64 rng(20251208);
    std::uniform_int_distribution<int> res(0, kResources - 1), day(1, 365), ent(0, 4999),
        flag(0, 9);
    std::uniform_real_distribution<double> amount(0.0, 100.0);
    std::vector<Row> rows(kRows);
    for (int i = 0; i < kRows; ++i) {
        const int d = day(rng);
        rows[size_t(i)] = {res(rng), 2025 + (d > 360 ? 1 : 0), (d - 1) / 7 + 1, d, i,
                           ent(rng), flag(rng) == 0 ? 1 : 0, amount(rng)};
    }
    return rows;
}

double Seconds(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

long RssKiB() {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const std::vector<Row> data = Generate();

    // Load through the dataset API, field by field, as a query result is copied.
    const long rssBefore = RssKiB();
    auto t0 = std::chrono::steady_clock::now();
    Cds::ClientDataSet loaded(QStringLiteral("bench"));
    const char* names[] = {"resource", "year", "week", "day", "ti_id", "entity", "conflicted"};
    for (const char* n : names)
        loaded.FieldDefs().Add(QString::fromLatin1(n), Cds::FieldType::Integer);
    loaded.FieldDefs().Add(QStringLiteral("amount"), Cds::FieldType::Float);
    loaded.CreateDataSet();
    loaded.ReserveRows(kRows);
    for (const Row& r : data) {
        loaded.Append();
        loaded.SetValue(0, r.resource);
        loaded.SetValue(1, r.year);
        loaded.SetValue(2, r.week);
        loaded.SetValue(3, r.day);
        loaded.SetValue(4, r.id);
        loaded.SetValue(5, r.entity);
        loaded.SetValue(6, r.conflicted);
        loaded.SetValue(7, r.amount);
        loaded.Post();
    }
    const double loadDs = Seconds(t0);
    t0 = std::chrono::steady_clock::now();
    std::vector<Row> plainLoaded;
    plainLoaded.reserve(data.size());
    for (const Row& r : data)
        plainLoaded.push_back(r);
    const double loadPlain = Seconds(t0);

    std::vector<double> dsTimes, plainTimes;
    std::vector<double> dsSums(kResources), plainSums(kResources);
    qint64 bytes = 0;
    long rssAfter = 0;
    for (int rep = 0; rep < kRepeats; ++rep) {
        // A fresh store each time, so that the index is really built.
        Cds::ClientDataSet ds;
        ds.CopyFrom(loaded);
        ds.IndexDefs().Add(QStringLiteral("idx"), QStringLiteral("resource;year;week;day"), {}, 4);
        ds.Aggregates().Add({QStringLiteral("s"), QStringLiteral("Sum(amount)"), 1,
                             QStringLiteral("idx"), true, true});
        ds.SetAggregatesActive(true);
        t0 = std::chrono::steady_clock::now();
        ds.SetIndexName(QStringLiteral("idx"));
        for (int r = 0; r < kResources; ++r) {
            ds.SetRange({qint64(r)}, {qint64(r)});
            dsSums[size_t(r)] = ds.AggregateValue(0).toDouble();
        }
        dsTimes.push_back(Seconds(t0));
        if (rep == 0) {
            bytes = ds.StoreBytes() + ds.IndexBytes();
            rssAfter = RssKiB();
        }

        std::vector<Row> rows = plainLoaded;
        t0 = std::chrono::steady_clock::now();
        std::sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) {
            if (a.resource != b.resource)
                return a.resource < b.resource;
            if (a.year != b.year)
                return a.year < b.year;
            if (a.week != b.week)
                return a.week < b.week;
            return a.day < b.day;
        });
        for (int r = 0; r < kResources; ++r) {
            auto lo = std::lower_bound(rows.begin(), rows.end(), r,
                                       [](const Row& a, int v) { return a.resource < v; });
            auto hi = std::upper_bound(lo, rows.end(), r,
                                       [](int v, const Row& a) { return v < a.resource; });
            double s = 0;
            for (auto it = lo; it != hi; ++it)
                s += it->amount;
            plainSums[size_t(r)] = s;
        }
        plainTimes.push_back(Seconds(t0));
    }

    double maxDiff = 0;
    for (int r = 0; r < kResources; ++r)
        maxDiff = std::max(maxDiff, std::fabs(dsSums[size_t(r)] - plainSums[size_t(r)]) /
                                        std::max(1.0, std::fabs(plainSums[size_t(r)])));
    const double ds = Median(dsTimes), plain = Median(plainTimes);
    const double bytesPerRow = double(bytes) / kRows;

    std::printf("dataset benchmark: %d rows, 8 fields, %d ranges, median of %d\n", kRows,
                kResources, kRepeats);
    std::printf("%-44s %12s %12s\n", "phase", "dataset ms", "plain ms");
    std::printf("%-44s %12.1f %12.1f\n", "load (append field by field / push_back)",
                loadDs * 1e3, loadPlain * 1e3);
    std::printf("%-44s %12.1f %12.1f\n", "index + 50 ranges + sum per range", ds * 1e3,
                plain * 1e3);
    std::printf("%-44s %12.3g\n", "largest relative difference of the sums", maxDiff);
    std::printf("%-44s %12.1f\n", "store + index bytes per row", bytesPerRow);
    if (rssBefore > 0 && rssAfter > 0)
        std::printf("%-44s %12.1f\n", "resident growth per row (2 stores, index, plain)",
                    double(rssAfter - rssBefore) * 1024.0 / kRows);
    std::printf("figure ratio_vs_plain_pass %.3f\n", ds / plain);
    std::printf("figure bytes_per_row %.1f\n", bytesPerRow);
    return maxDiff < 1e-9 ? 0 : 1;
}

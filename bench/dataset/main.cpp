// Builds a 10^6-row dataset with 8 fields, indexes it on (resource, year, week, day), sets 50
// ranges and sums one field per range; the floor does the same work the fastest plain way
// (radix sort of packed keys with row ids, binary search, sum) on the same data, alternating
// with the dataset. Loading is measured the same way against plain column vectors. Every ratio
// is the median of per-round paired ratios. Prints a table, then one "figure NAME VALUE" line
// per figure.

#include "ClientDataSet.h"
#include "../Timing.h"

#include <QCoreApplication>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <random>
#include <vector>

namespace {

constexpr int kRows = 1'000'000;
constexpr int kResources = 50;
constexpr int kRepeats = 9;

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

// The floor of the index: the four key fields and the row id packed into one 64-bit word with
// the fewest bits the values need, radix sorted on the key bits (11 at a time; the row ids are
// already ascending, so LSD keeps them in order), then the 50 ranges found by binary search over
// the sorted words and summed from the amount column.
struct Columns final {
    std::vector<int> resource, year, week, day, id, entity, conflicted;
    std::vector<double> amount;
};

unsigned BitsFor(unsigned span) { return span == 0 ? 0 : unsigned(32 - __builtin_clz(span)); }

void RadixFloor(const Columns& c, std::vector<double>& sums) {
    const size_t n = c.resource.size();
    const std::vector<int>* keys[4] = {&c.resource, &c.year, &c.week, &c.day};
    int lo[4];
    unsigned bits[4];
    for (int k = 0; k < 4; ++k) {
        const auto [mn, mx] = std::minmax_element(keys[k]->begin(), keys[k]->end());
        lo[k] = *mn;
        bits[k] = BitsFor(unsigned(*mx - *mn));
    }
    const unsigned idBits = BitsFor(unsigned(n - 1));
    const unsigned keyBits = bits[0] + bits[1] + bits[2] + bits[3];
    std::vector<std::uint64_t> a(n), b(n);
    for (size_t i = 0; i < n; ++i) {
        std::uint64_t w = 0;
        for (int k = 0; k < 4; ++k)
            w = (w << bits[k]) | std::uint64_t((*keys[k])[i] - lo[k]);
        a[i] = (w << idBits) | i;
    }
    constexpr unsigned kDigit = 11;
    for (unsigned shift = idBits; shift < idBits + keyBits; shift += kDigit) {
        std::vector<std::uint32_t> count((1u << kDigit) + 1, 0);
        const std::uint64_t mask = (std::uint64_t(1) << kDigit) - 1;
        for (std::uint64_t w : a)
            ++count[((w >> shift) & mask) + 1];
        for (size_t d = 1; d < count.size(); ++d)
            count[d] += count[d - 1];
        for (std::uint64_t w : a)
            b[count[(w >> shift) & mask]++] = w;
        a.swap(b);
    }
    const unsigned resShift = idBits + bits[1] + bits[2] + bits[3];
    const std::uint64_t idMask = (std::uint64_t(1) << idBits) - 1;
    for (int r = 0; r < kResources; ++r) {
        const std::uint64_t v = std::uint64_t(r - lo[0]);
        auto first = std::lower_bound(a.begin(), a.end(), v << resShift);
        auto last = std::lower_bound(first, a.end(), (v + 1) << resShift);
        double s = 0;
        for (auto it = first; it != last; ++it)
            s += c.amount[*it & idMask];
        sums[size_t(r)] = s;
    }
}

Columns PlainLoad(const std::vector<Row>& data) {
    Columns c;
    for (auto* v : {&c.resource, &c.year, &c.week, &c.day, &c.id, &c.entity, &c.conflicted})
        v->reserve(data.size());
    c.amount.reserve(data.size());
    for (const Row& r : data) {
        c.resource.push_back(r.resource);
        c.year.push_back(r.year);
        c.week.push_back(r.week);
        c.day.push_back(r.day);
        c.id.push_back(r.id);
        c.entity.push_back(r.entity);
        c.conflicted.push_back(r.conflicted);
        c.amount.push_back(r.amount);
    }
    return c;
}

std::unique_ptr<Cds::ClientDataSet> EmptyDataSet() {
    auto ds = std::make_unique<Cds::ClientDataSet>(QStringLiteral("bench"));
    const char* names[] = {"resource", "year", "week", "day", "ti_id", "entity", "conflicted"};
    for (const char* n : names)
        ds->FieldDefs().Add(QString::fromLatin1(n), Cds::FieldType::Integer);
    ds->FieldDefs().Add(QStringLiteral("amount"), Cds::FieldType::Float);
    ds->CreateDataSet();
    return ds;
}

// Loads a column at a time in chunks of 2,000 rows, as a query result is copied (the planning
// board's time line): each chunk's columns are gathered and handed over in one call each.
std::unique_ptr<Cds::ClientDataSet> DataSetLoad(const std::vector<Row>& data) {
    auto ds = EmptyDataSet();
    ds->ReserveRows(qsizetype(data.size())); // as the plain side reserves its vectors
    constexpr size_t kChunk = 2000;
    std::vector<qint32> ints(kChunk);
    std::vector<double> amounts(kChunk);
    int Row::*const fields[7] = {&Row::resource, &Row::year, &Row::week, &Row::day,
                                 &Row::id,       &Row::entity, &Row::conflicted};
    for (size_t from = 0; from < data.size(); from += kChunk) {
        const size_t n = std::min(kChunk, data.size() - from);
        Cds::ClientDataSet::BatchAppender batch(*ds, quint32(n));
        for (int f = 0; f < 7; ++f) {
            for (size_t i = 0; i < n; ++i)
                ints[i] = data[from + i].*fields[f];
            batch.Integers(f, ints.data(), nullptr);
        }
        for (size_t i = 0; i < n; ++i)
            amounts[i] = data[from + i].amount;
        batch.Floats(7, amounts.data(), nullptr);
        batch.End();
    }
    return ds;
}

// The same through the RowAppender, a row at a time, for rows that come one by one.
std::unique_ptr<Cds::ClientDataSet> DataSetLoadRows(const std::vector<Row>& data) {
    auto ds = EmptyDataSet();
    ds->ReserveRows(qsizetype(data.size()));
    Cds::ClientDataSet::RowAppender out(*ds);
    for (const Row& r : data) {
        out.BeginRow();
        out.SetInteger(0, r.resource);
        out.SetInteger(1, r.year);
        out.SetInteger(2, r.week);
        out.SetInteger(3, r.day);
        out.SetInteger(4, r.id);
        out.SetInteger(5, r.entity);
        out.SetInteger(6, r.conflicted);
        out.SetFloat(7, r.amount);
        out.EndRow();
    }
    return ds;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const std::vector<Row> data = Generate();

    // Loading against plain column vectors, alternating which goes first: by chunks of columns
    // (a query's copy) and a row at a time.
    std::vector<double> loadDs, loadPlain, loadRows;
    BenchTiming::PairedRatio loadRatio, rowsRatio, indexRatio;
    std::unique_ptr<Cds::ClientDataSet> loaded;
    Columns plainCols;
    for (int rep = 0; rep < kRepeats; ++rep) {
        double ds = 0, plain = 0;
        for (int side = 0; side < 2; ++side) {
            // The previous copy goes first, so that both sides may reuse its memory.
            loaded.reset();
            plainCols = Columns();
            const auto t0 = std::chrono::steady_clock::now();
            if ((side == 0) == BenchTiming::AFirst(rep)) {
                loaded = DataSetLoad(data);
                loadDs.push_back(ds = Seconds(t0));
            } else {
                plainCols = PlainLoad(data);
                loadPlain.push_back(plain = Seconds(t0));
            }
        }
        loadRatio.Add(ds, plain);
        std::unique_ptr<Cds::ClientDataSet> byRows;
        const auto t0 = std::chrono::steady_clock::now();
        byRows = DataSetLoadRows(data);
        loadRows.push_back(Seconds(t0));
        rowsRatio.Add(loadRows.back(), plain);
    }

    if (!loaded)
        loaded = DataSetLoad(data);
    if (plainCols.amount.empty())
        plainCols = PlainLoad(data);
    // Both sides hold the same values.
    for (size_t r = 0; r < data.size(); r += 9973)
        if (loaded->ValueAt(qint64(r), 3).toInt() != plainCols.day[r] ||
            loaded->ValueAt(qint64(r), 7).toDouble() != plainCols.amount[r]) {
            std::fprintf(stderr, "the loaded columns differ at row %zu\n", r);
            return 1;
        }

    std::vector<double> dsTimes, floorTimes;
    std::vector<double> dsSums(kResources), floorSums(kResources);
    qint64 bytes = 0;
    for (int rep = 0; rep < kRepeats; ++rep) {
        double dsT = 0, floorT = 0;
        for (int side = 0; side < 2; ++side) {
            if ((side == 0) == BenchTiming::AFirst(rep)) {
                // A fresh store each time, so that the index is really built.
                Cds::ClientDataSet ds;
                ds.CopyFrom(*loaded);
                ds.IndexDefs().Add(QStringLiteral("idx"), QStringLiteral("resource;year;week;day"),
                                   {}, 4);
                ds.Aggregates().Add({QStringLiteral("s"), QStringLiteral("Sum(amount)"), 1,
                                     QStringLiteral("idx"), true, true});
                ds.SetAggregatesActive(true);
                const auto t0 = std::chrono::steady_clock::now();
                ds.SetIndexName(QStringLiteral("idx"));
                for (int r = 0; r < kResources; ++r) {
                    ds.SetRange({qint64(r)}, {qint64(r)});
                    dsSums[size_t(r)] = ds.AggregateValue(0).toDouble();
                }
                dsTimes.push_back(dsT = Seconds(t0));
                bytes = ds.StoreBytes() + ds.IndexBytes();
            } else {
                const auto t0 = std::chrono::steady_clock::now();
                RadixFloor(plainCols, floorSums);
                floorTimes.push_back(floorT = Seconds(t0));
            }
        }
        indexRatio.Add(dsT, floorT);
    }

    // Both sides add the same rows in the same order (row ids ascend within a key), so the sums
    // agree to the last bit.
    double maxDiff = 0;
    for (int r = 0; r < kResources; ++r)
        maxDiff = std::max(maxDiff, std::fabs(dsSums[size_t(r)] - floorSums[size_t(r)]) /
                                        std::max(1.0, std::fabs(floorSums[size_t(r)])));
    const double ds = Median(dsTimes), floorT = Median(floorTimes);
    const double bytesPerRow = double(bytes) / kRows;

    std::printf("dataset benchmark: %d rows, 8 fields, %d ranges, median of %d, sides alternating\n",
                kRows, kResources, kRepeats);
    std::printf("%-48s %12s %12s\n", "phase", "dataset ms", "floor ms");
    std::printf("%-48s %12.1f %12.1f\n", "load by column chunks / plain column vectors",
                Median(loadDs) * 1e3, Median(loadPlain) * 1e3);
    std::printf("%-48s %12.1f\n", "load a row at a time (RowAppender)", Median(loadRows) * 1e3);
    std::printf("%-48s %12.1f %12.1f\n", "index + 50 ranges + sum (dataset / radix floor)",
                ds * 1e3, floorT * 1e3);
    std::printf("%-48s %12.3g\n", "largest relative difference of the sums", maxDiff);
    std::printf("%-48s %12.1f\n", "store + index bytes per row", bytesPerRow);
    std::printf("%-48s %12.2f\n", "index: median of the rounds' ratios", indexRatio.Median());
    std::printf("%-48s %12.2f\n", "load: median of the rounds' ratios", loadRatio.Median());
    std::printf("%-48s %12.2f\n", "load a row at a time: median of ratios", rowsRatio.Median());
    std::printf("figure ratio_vs_radix_floor %.3f\n", indexRatio.Median());
    std::printf("figure load_vs_plain_columns %.3f\n", loadRatio.Median());
    std::printf("figure bytes_per_row %.1f\n", bytesPerRow);
    if (maxDiff >= 1e-9) {
        std::fprintf(stderr, "the sums differ (%g)\n", maxDiff);
        return 1;
    }
    return 0;
}

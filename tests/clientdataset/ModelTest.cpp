// The dataset against a naive model on random tables: index order (packed and comparison
// sorts, ascending and descending), ranges with partial keys, group starts and group sums.
#include "ClientDataSet.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <random>

using namespace Cds;

namespace {

struct ModelRow {
    std::optional<int> a; // Null sorts first
    int b;
    QString s;
    double v;
};

int CmpOpt(const std::optional<int>& x, const std::optional<int>& y) {
    if (!x || !y)
        return int(bool(x)) - int(bool(y));
    return *x < *y ? -1 : (*x > *y ? 1 : 0);
}

} // namespace

TEST(ClientDataSetModel, AgreesWithNaiveModelOnRandomTables) {
    std::mt19937 rng(7);
    for (int round = 0; round < 6; ++round) {
        const int n = 200 + round * 300;
        const bool wide = round % 2; // huge spans force the comparison sort
        std::vector<ModelRow> rows;
        ClientDataSet ds;
        ds.FieldDefs().Add(QStringLiteral("a"), FieldType::Integer);
        ds.FieldDefs().Add(QStringLiteral("b"), FieldType::LargeInt);
        ds.FieldDefs().Add(QStringLiteral("s"), FieldType::String);
        ds.FieldDefs().Add(QStringLiteral("v"), FieldType::Float);
        ds.CreateDataSet();
        for (int i = 0; i < n; ++i) {
            ModelRow r;
            if (rng() % 10)
                r.a = int(rng() % 7) - 3;
            r.b = wide ? int(rng()) : int(rng() % 5);
            r.s = QString(QChar(u'a' + int(rng() % 4)));
            r.v = double(rng() % 1000) / 8;
            rows.push_back(r);
            ds.Append();
            ds.SetValue(0, r.a ? QVariant(*r.a) : QVariant());
            ds.SetValue(1, wide ? QVariant(qint64(r.b) * (qint64(1) << 31)) : QVariant(r.b));
            ds.SetValue(2, r.s);
            ds.SetValue(3, r.v);
            ds.Post();
        }
        for (bool desc : {false, true}) {
            const QString name = desc ? QStringLiteral("d") : QStringLiteral("u");
            ds.IndexDefs().Add(name, QStringLiteral("a;b"),
                               desc ? IndexOptions(IndexOption::Descending) : IndexOptions(), 2);
            ds.SetIndexName(name);
            std::vector<int> order(static_cast<size_t>(n));
            for (int i = 0; i < n; ++i)
                order[size_t(i)] = i;
            std::stable_sort(order.begin(), order.end(), [&](int x, int y) {
                int c = CmpOpt(rows[size_t(x)].a, rows[size_t(y)].a);
                if (!c)
                    c = rows[size_t(x)].b < rows[size_t(y)].b ? -1
                                                              : rows[size_t(x)].b > rows[size_t(y)].b;
                return desc ? c > 0 : c < 0;
            });
            int i = 0;
            for (ds.First(); !ds.Eof(); ds.Next(), ++i)
                ASSERT_EQ(ds.RowId(), order[size_t(i)]) << "round " << round << " desc " << desc;
            ASSERT_EQ(i, n);
        }

        // Ranges on the first key field and group sums per value of a.
        ds.IndexDefs().Add(QStringLiteral("as"), QStringLiteral("a;s"), {}, 2);
        ds.SetIndexName(QStringLiteral("as"));
        ds.Aggregates().Clear();
        ds.Aggregates().Add({"sum", "Sum(v)", 1, "as", true, true});
        ds.Aggregates().Add({"cnt", "Count(*)", 2, "as", true, true});
        ds.SetAggregatesActive(true);
        for (int lo = -4; lo <= 3; ++lo) {
            const int hi = lo + int(rng() % 3);
            ds.SetRange({qint64(lo)}, {qint64(hi)});
            int expected = 0;
            for (const auto& r : rows)
                expected += r.a && *r.a >= lo && *r.a <= hi;
            ASSERT_EQ(ds.RecordCount(), expected);
            for (ds.First(); !ds.Eof(); ds.Next()) {
                const int a = ds.AsInteger(0);
                const QString s = ds.AsString(2);
                double sum = 0;
                int cnt = 0;
                for (const auto& r : rows) {
                    if (r.a == a) {
                        sum += r.v;
                        cnt += r.s == s;
                    }
                }
                ASSERT_DOUBLE_EQ(ds.AggregateValue(0).toDouble(), sum);
                ASSERT_EQ(ds.AggregateValue(1).toInt(), cnt);
                const bool first = ds.GetGroupState(2) & GroupPos::First;
                ds.Prior();
                const bool starts = ds.Bof() || ds.AsInteger(0) != a || ds.AsString(2) != s;
                if (!ds.Bof())
                    ds.Next();
                ASSERT_EQ(first, starts);
            }
        }
    }
}

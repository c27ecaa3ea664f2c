#include "ClientDataSet.h"

#include <gtest/gtest.h>

#include <QTimeZone>

#include <algorithm>
#include <limits>
#include <numeric>
#include <optional>
#include <random>

using namespace Cds;

namespace {

// res, name, qty, price; rows in a deliberately unsorted order.
std::unique_ptr<ClientDataSet> MakeTable() {
    auto ds = std::make_unique<ClientDataSet>(QStringLiteral("T"));
    ds->FieldDefs().Add(QStringLiteral("res"), FieldType::Integer);
    ds->FieldDefs().Add(QStringLiteral("name"), FieldType::String, 20);
    ds->FieldDefs().Add(QStringLiteral("qty"), FieldType::Integer);
    ds->FieldDefs().Add(QStringLiteral("price"), FieldType::Float);
    ds->CreateDataSet();
    const struct {
        QVariant res;
        const char* name;
        int qty;
        double price;
    } rows[] = {{2, "beta", 5, 1.5},  {1, "Alpha", 3, -2.0}, {2, "alpha", 7, 0.0},
                {1, "gamma", 1, 4.0}, {3, "Beta", 2, 10.0},  {QVariant(), "zeta", 9, 1.0}};
    for (const auto& r : rows) {
        ds->Append();
        ds->SetValue(0, r.res);
        ds->SetValue(1, QString::fromLatin1(r.name));
        ds->SetValue(2, r.qty);
        ds->SetValue(3, r.price);
        ds->Post();
    }
    ds->IndexDefs().Add(QStringLiteral("by_res"), QStringLiteral("res;qty"), {}, 2);
    ds->IndexDefs().Add(QStringLiteral("by_name"), QStringLiteral("name"), {});
    ds->IndexDefs().Add(QStringLiteral("by_name_ci"), QStringLiteral("name"),
                        IndexOption::CaseInsensitive);
    ds->IndexDefs().Add(QStringLiteral("by_res_desc"), QStringLiteral("res;qty"),
                        IndexOption::Descending);
    return ds;
}

QStringList Walk(ClientDataSet& ds, int field) {
    QStringList out;
    for (ds.First(); !ds.Eof(); ds.Next())
        out << ds.AsString(field);
    return out;
}

} // namespace

TEST(ClientDataSet, IndexesOrderRowsAndKeepNullsFirst) {
    auto ds = MakeTable();
    EXPECT_EQ(Walk(*ds, 1).join(','), "beta,Alpha,alpha,gamma,Beta,zeta"); // natural order
    ds->SetIndexName(QStringLiteral("by_res"));
    EXPECT_EQ(Walk(*ds, 1).join(','), "zeta,gamma,Alpha,beta,alpha,Beta");
    ds->SetIndexName(QStringLiteral("by_res_desc"));
    EXPECT_EQ(Walk(*ds, 1).join(','), "Beta,alpha,beta,Alpha,gamma,zeta");
    ds->SetIndexName(QStringLiteral("by_name"));
    EXPECT_EQ(Walk(*ds, 1).join(','), "Alpha,Beta,alpha,beta,gamma,zeta");
    ds->SetIndexName(QStringLiteral("by_name_ci"));
    // Equal keys keep their row order.
    EXPECT_EQ(Walk(*ds, 1).join(','), "Alpha,alpha,beta,Beta,gamma,zeta");
    EXPECT_THROW(ds->SetIndexName(QStringLiteral("nope")), EDatabaseError);
    EXPECT_EQ(ds->IndexName(), "by_name_ci");
}

TEST(ClientDataSet, RangesTakePartialKeysAndSentinels) {
    auto ds = MakeTable();
    ds->SetIndexName(QStringLiteral("by_res"));
    ds->SetRange({qint64(2)}, {qint64(2)});
    EXPECT_EQ(Walk(*ds, 1).join(','), "beta,alpha");
    EXPECT_EQ(ds->RecordCount(), 2);
    ds->SetRange({qint64(1), MinKey{}}, {qint64(2), qint64(5)});
    EXPECT_EQ(Walk(*ds, 1).join(','), "gamma,Alpha,beta");
    ds->SetRange({MinKey{}}, {MaxKey{}});
    EXPECT_EQ(ds->RecordCount(), 6);
    ds->SetRange({qint64(4)}, {qint64(9)});
    EXPECT_TRUE(ds->IsEmpty());
    EXPECT_TRUE(ds->Eof());
    EXPECT_EQ(ds->RowId(), -1);
    ds->CancelRange();
    EXPECT_EQ(ds->RecordCount(), 6);
    // Doubles in a range compare as numbers: 1 and 1.0 are the same key.
    ds->SetRange({1.0}, {1.0});
    EXPECT_EQ(ds->RecordCount(), 2);

    ds->SetIndexName(QStringLiteral("by_name"));
    ds->SetRange({QStringLiteral("B")}, {MaxKey{}});
    EXPECT_EQ(Walk(*ds, 1).join(','), "Beta,alpha,beta,gamma,zeta");
}

TEST(ClientDataSet, FindKeyAndLocate) {
    auto ds = MakeTable();
    ds->SetIndexName(QStringLiteral("by_res"));
    ASSERT_TRUE(ds->FindKey({qint64(2), qint64(7)}));
    EXPECT_EQ(ds->AsString(1), "alpha");
    ASSERT_TRUE(ds->FindKey({qint64(1)}));
    EXPECT_EQ(ds->AsString(1), "gamma"); // first of res 1 in index order
    EXPECT_FALSE(ds->FindKey({qint64(8)}));
    EXPECT_EQ(ds->AsString(1), "gamma"); // position unchanged

    EXPECT_TRUE(ds->Locate(QStringLiteral("res"), {QVariant()}));
    EXPECT_EQ(ds->AsString(1), "zeta");
    EXPECT_FALSE(ds->Locate(QStringLiteral("name"), {QStringLiteral("BETA")}));
    EXPECT_TRUE(ds->Locate(QStringLiteral("name;res"), {QStringLiteral("BETA"), 3},
                           LocateOption::CaseInsensitive));
    EXPECT_EQ(ds->AsInteger(2), 2);
    EXPECT_TRUE(ds->Locate(QStringLiteral("name"), {QStringLiteral("gam")},
                           LocateOption::PartialKey));
    EXPECT_THROW(ds->Locate(QStringLiteral("missing"), {1}), EDatabaseError);
}

TEST(ClientDataSet, FilterHidesRowsFromCountNavigationAndSearch) {
    auto ds = MakeTable();
    ds->SetIndexName(QStringLiteral("by_res"));
    ds->SetFilter(QStringLiteral("qty > 2"));
    ds->SetFiltered(true);
    EXPECT_EQ(Walk(*ds, 1).join(','), "zeta,Alpha,beta,alpha");
    EXPECT_EQ(ds->RecordCount(), 4);
    EXPECT_FALSE(ds->FindKey({qint64(1), qint64(1)}));
    EXPECT_THROW(ds->SetFilter(QStringLiteral("qty >")), EDatabaseError);
    EXPECT_EQ(ds->Filter(), "qty > 2"); // a bad filter leaves the old one in force
    EXPECT_EQ(ds->RecordCount(), 4);
    ds->SetFiltered(false);
    EXPECT_EQ(ds->RecordCount(), 6);
}

TEST(ClientDataSet, GroupStateFollowsVisibleRows) {
    auto ds = MakeTable();
    ds->SetIndexName(QStringLiteral("by_res"));
    ds->SetRange({qint64(1)}, {qint64(3)});
    std::vector<GroupPosInds> states;
    for (ds->First(); !ds->Eof(); ds->Next())
        states.push_back(ds->GetGroupState(1));
    // res 1: gamma, Alpha; res 2: beta, alpha; res 3: Beta
    ASSERT_EQ(states.size(), 5u);
    EXPECT_EQ(states[0], GroupPosInds(GroupPos::First));
    EXPECT_EQ(states[1], GroupPosInds(GroupPos::Last));
    EXPECT_EQ(states[2], GroupPosInds(GroupPos::First));
    EXPECT_EQ(states[4], GroupPos::First | GroupPos::Last);

    // Hiding a group's first row makes the next visible row the first of its group.
    ds->SetFilter(QStringLiteral("name <> 'gamma'"));
    ds->SetFiltered(true);
    ds->First();
    EXPECT_EQ(ds->AsString(1), "Alpha");
    EXPECT_EQ(ds->GetGroupState(1), GroupPos::First | GroupPos::Last);
    ds->Next();
    EXPECT_EQ(ds->GetGroupState(0), GroupPosInds(GroupPos::Middle));
}

TEST(ClientDataSet, AggregatesByGroupingLevel) {
    auto ds = MakeTable();
    ds->SetIndexName(QStringLiteral("by_res"));
    auto& aggs = ds->Aggregates();
    const int cnt = aggs.Add({"cnt", "Count(name)", 1, "by_res", true, true});
    const int sum = aggs.Add({"sum", "Sum(qty)", 1, "by_res", true, true});
    const int mn = aggs.Add({"mn", "Min(price)", 1, "by_res", true, true});
    const int mx = aggs.Add({"mx", "Max(name)", 1, "by_res", true, true});
    const int avg = aggs.Add({"avg", "Avg(qty) * 2 + Count(*)", 1, "by_res", true, true});
    const int all = aggs.Add({"all", "Sum(qty)", 0, "", true, true});
    const int other = aggs.Add({"other", "Sum(qty)", 1, "by_name", true, true});
    EXPECT_FALSE(ds->AggregateValue(sum).isValid()); // aggregates not yet switched on
    ds->SetAggregatesActive(true);

    ASSERT_TRUE(ds->FindKey({qint64(2)}));
    EXPECT_EQ(ds->AggregateValue(cnt).toInt(), 2);
    EXPECT_DOUBLE_EQ(ds->AggregateValue(sum).toDouble(), 12);
    EXPECT_DOUBLE_EQ(ds->AggregateValue(mn).toDouble(), 0.0);
    EXPECT_EQ(ds->AggregateValue(mx).toString(), "beta");
    EXPECT_DOUBLE_EQ(ds->AggregateValue(avg).toDouble(), 6 * 2 + 2);
    EXPECT_DOUBLE_EQ(ds->AggregateValue(all).toDouble(), 27);
    EXPECT_FALSE(ds->AggregateValue(other).isValid()); // its index is not the current one
    ASSERT_TRUE(ds->FindKey({qint64(1)}));
    EXPECT_DOUBLE_EQ(ds->AggregateValue(sum).toDouble(), 4);

    // An edit shows in the next read; a filter narrows the groups.
    ds->Edit();
    ds->SetValue(2, 11);
    ds->Post();
    EXPECT_DOUBLE_EQ(ds->AggregateValue(sum).toDouble(), 14);
    ds->SetFilter(QStringLiteral("qty > 2"));
    ds->SetFiltered(true);
    ASSERT_TRUE(ds->FindKey({qint64(1)}));
    EXPECT_EQ(ds->AggregateValue(cnt).toInt(), 2);
    EXPECT_DOUBLE_EQ(ds->AggregateValue(sum).toDouble(), 14);
    EXPECT_DOUBLE_EQ(ds->AggregateValue(all).toDouble(), 11 + 3 + 5 + 7 + 9);
}

TEST(ClientDataSet, BadAggregateFailsWhenChecked) {
    auto ds = MakeTable();
    ds->Aggregates().Add({"bad", "Sum(name)", 0, "", true, true});
    EXPECT_THROW(ds->CheckAggregate(0), EDatabaseError);
}

TEST(ClientDataSet, ClonesShareRowsButNotCursorState) {
    auto ds = MakeTable();
    ClientDataSet a, b;
    a.CloneCursor(*ds, true);
    b.CloneCursor(*ds, true);
    EXPECT_EQ(ds->StoreUseCount(), 3);
    a.IndexDefs().Add(QStringLiteral("q"), QStringLiteral("qty"));
    a.SetIndexName(QStringLiteral("q"));
    b.SetIndexName(QStringLiteral("by_res"));
    b.SetRange({qint64(3)}, {qint64(3)});
    EXPECT_EQ(a.RecordCount(), 6);
    EXPECT_EQ(b.RecordCount(), 1);
    a.First();
    EXPECT_EQ(a.AsString(1), "gamma");
    // An edit through one cursor is seen by the others, even when it moves a key.
    a.Edit();
    a.SetValue(0, 3);
    a.Post();
    EXPECT_EQ(a.AsString(1), "gamma");
    b.First();
    EXPECT_EQ(b.RecordCount(), 2);
    EXPECT_EQ(Walk(b, 1).join(','), "gamma,Beta");
    // A clone without reset takes index and range along.
    ClientDataSet c;
    c.CloneCursor(b, false);
    EXPECT_EQ(c.IndexName(), "by_res");
    EXPECT_EQ(c.RecordCount(), 2);
}

TEST(ClientDataSet, EmptyingOrClosingOneCursorKeepsClonesIntact) {
    auto ds = MakeTable();
    ClientDataSet clone;
    clone.CloneCursor(*ds, true);
    ds->EmptyDataSet();
    EXPECT_EQ(ds->RecordCount(), 0);
    EXPECT_EQ(clone.RecordCount(), 6);
    ds.reset();
    clone.Last();
    EXPECT_EQ(clone.AsString(1), "zeta");

    ClientDataSet copy;
    copy.CopyFrom(clone);
    clone.First();
    clone.Edit();
    clone.SetValue(1, QStringLiteral("changed"));
    clone.Post();
    copy.First();
    EXPECT_EQ(copy.AsString(1), "beta"); // a copy is its own
    EXPECT_EQ(copy.StoreUseCount(), 1);
}

TEST(ClientDataSet, BadValueAbortsPostWithoutHalfRow) {
    auto ds = MakeTable();
    ds->Append();
    ds->SetValue(0, 4);
    ds->SetValue(2, QStringLiteral("viel"));
    EXPECT_THROW(ds->Post(), EDatabaseError);
    ds->Cancel();
    EXPECT_EQ(ds->RecordCount(), 6);
    ds->Append();
    ds->SetValue(0, qint64(1) << 40); // does not fit 32 bits
    EXPECT_THROW(ds->Post(), EDatabaseError);
    ds->Cancel();
    ds->First();
    ds->Edit();
    ds->SetValue(1, QStringLiteral("neu"));
    ds->SetValue(3, QStringLiteral("x"));
    EXPECT_THROW(ds->Post(), EDatabaseError);
    ds->Cancel();
    EXPECT_EQ(ds->AsString(1), "beta"); // the string written before the failure is undone
    EXPECT_EQ(ds->RecordCount(), 6);
}

TEST(ClientDataSet, TypedValuesRoundTrip) {
    ClientDataSet ds;
    ds.FieldDefs().Add(QStringLiteral("i64"), FieldType::LargeInt);
    ds.FieldDefs().Add(QStringLiteral("cur"), FieldType::Currency);
    ds.FieldDefs().Add(QStringLiteral("b"), FieldType::Boolean);
    ds.FieldDefs().Add(QStringLiteral("d"), FieldType::Date);
    ds.FieldDefs().Add(QStringLiteral("dt"), FieldType::DateTime);
    ds.CreateDataSet();
    const QDateTime dt(QDate(1899, 12, 30), QTime(23, 59, 58, 999));
    ds.Append();
    ds.SetValue(0, std::numeric_limits<qint64>::min());
    ds.SetValue(1, 1234.56789);
    ds.SetValue(2, true);
    ds.SetValue(3, QDate(2024, 12, 30));
    ds.SetValue(4, dt);
    ds.Post();
    EXPECT_EQ(ds.AsLargeInt(0), std::numeric_limits<qint64>::min());
    EXPECT_DOUBLE_EQ(ds.AsFloat(1), 1234.5679);
    EXPECT_TRUE(ds.Value(2).toBool());
    EXPECT_EQ(ds.Value(3).toDate(), QDate(2024, 12, 30));
    EXPECT_EQ(ds.Value(4).toDateTime(), dt);
    EXPECT_GT(ds.StoreBytes(), 0);
}

// Keys wider than one 64-bit word (large spans, date-times on a minute grid, Nulls) must sort
// exactly like a field-by-field stable comparison, ascending and descending.
TEST(ClientDataSet, WideIntegerKeysSortLikeTheFieldComparison) {
    ClientDataSet ds(QStringLiteral("W"));
    ds.FieldDefs().Add(QStringLiteral("a"), FieldType::Integer);
    ds.FieldDefs().Add(QStringLiteral("big"), FieldType::LargeInt);
    ds.FieldDefs().Add(QStringLiteral("at"), FieldType::DateTime);
    ds.FieldDefs().Add(QStringLiteral("flag"), FieldType::Boolean);
    ds.FieldDefs().Add(QStringLiteral("n"), FieldType::Integer);
    ds.CreateDataSet();
    struct Row {
        std::optional<qint64> a, big, at, flag, n;
    };
    std::vector<Row> rows;
    quint64 seed = 12345;
    auto rnd = [&seed](quint64 m) {
        seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
        return (seed >> 33) % m;
    };
    const QDateTime base(QDate(2020, 12, 28), QTime(6, 0));
    for (int i = 0; i < 3000; ++i) {
        Row r;
        auto maybe = [&](qint64 v) { return rnd(17) == 0 ? std::nullopt : std::optional(v); };
        r.a = maybe(qint64(rnd(5)) - 2);
        r.big = maybe(qint64(rnd(4)) * (qint64(1) << 40) - (qint64(1) << 41));
        r.at = maybe(qint64(rnd(400000)));
        r.flag = maybe(qint64(rnd(2)));
        r.n = maybe(qint64(rnd(1u << 30)));
        rows.push_back(r);
        ds.Append();
        if (r.a) ds.SetValue(0, *r.a);
        if (r.big) ds.SetValue(1, *r.big);
        if (r.at) ds.SetValue(2, base.addSecs(*r.at * 60));
        if (r.flag) ds.SetValue(3, *r.flag != 0);
        if (r.n) ds.SetValue(4, *r.n);
        ds.Post();
    }
    for (bool desc : {false, true}) {
        std::vector<quint32> expected(rows.size());
        std::iota(expected.begin(), expected.end(), 0u);
        auto cmp = [](const std::optional<qint64>& x, const std::optional<qint64>& y) {
            if (!x || !y)
                return x.has_value() == y.has_value() ? 0 : (x ? 1 : -1);
            return *x < *y ? -1 : (*y < *x ? 1 : 0);
        };
        std::stable_sort(expected.begin(), expected.end(), [&](quint32 l, quint32 r) {
            const Row &x = rows[l], &y = rows[r];
            for (int c : {cmp(x.a, y.a), cmp(x.big, y.big), cmp(x.at, y.at), cmp(x.flag, y.flag),
                          cmp(x.n, y.n)})
                if (c)
                    return desc ? c > 0 : c < 0;
            return false;
        });
        const QString name = desc ? QStringLiteral("wide_desc") : QStringLiteral("wide");
        ds.IndexDefs().Add(name, QStringLiteral("a;big;at;flag;n"),
                           desc ? IndexOptions(IndexOption::Descending) : IndexOptions());
        ds.SetIndexName(name);
        EXPECT_EQ(ds.VisibleRowIds(), expected) << (desc ? "descending" : "ascending");
    }
}

TEST(ClientDataSet, RowValuesWrittenInBulkReachEveryCursorAndTheIndex) {
    auto ds = MakeTable();
    ClientDataSet clone;
    clone.CloneCursor(*ds, true);
    clone.SetIndexName(QStringLiteral("by_res"));
    const std::vector<quint32> before = clone.VisibleRowIds();
    ASSERT_EQ(before.front(), 5u); // the Null resource first

    ds->SetRowValue(5, 0, 9);       // moves the Null row to the end of by_res
    EXPECT_EQ(clone.VisibleRowIds().back(), 5u);
    EXPECT_EQ(clone.KeyAt(5, 0), KeyValue(qint64(9)));
    EXPECT_EQ(clone.CompareRows(0, 2, 1), 0); // both resource 2
    EXPECT_LT(clone.CompareRows(1, 0, 1), 0);

    EXPECT_THROW(ds->SetRowValue(0, 0, QStringLiteral("keine Zahl")), EDatabaseError);
    EXPECT_EQ(ds->KeyAt(0, 0), KeyValue(qint64(2))); // a refused value changes nothing
    EXPECT_THROW(ds->SetRowValue(6, 0, 1), EDatabaseError);
    EXPECT_THROW(ds->KeyAt(0, 4), EDatabaseError);

    // A whole column at once: rows given the keep value stay, the index sees the rest.
    std::vector<qint64> qty;
    ds->ReadIntegers(2, qty, -1);
    EXPECT_EQ(qty, (std::vector<qint64>{5, 3, 7, 1, 2, 9}));
    ds->WriteIntegers(0, {-2, -2, -2, -2, -2, 0}, -2); // row 5 back before all others
    EXPECT_EQ(clone.VisibleRowIds().front(), 5u);
    ds->SetRowValue(1, 0, QVariant());
    ds->ReadIntegers(0, qty, -1);
    EXPECT_EQ(qty, (std::vector<qint64>{2, -1, 2, 1, 3, 0}));
    EXPECT_THROW(ds->ReadIntegers(1, qty, 0), EDatabaseError); // a string field

    ds->First();
    ds->Edit();
    EXPECT_THROW(ds->SetRowValue(0, 0, 1), EDatabaseError); // not while an edit is open
    EXPECT_THROW(ds->WriteIntegers(0, {1}, -2), EDatabaseError);
    ds->Cancel();
}

TEST(ClientDataSet, RowAppenderWritesTypedValuesAndDropsAHalfRow) {
    ClientDataSet ds(QStringLiteral("A"));
    ds.FieldDefs().Add(QStringLiteral("i"), FieldType::Integer);
    ds.FieldDefs().Add(QStringLiteral("s"), FieldType::String, 40);
    ds.FieldDefs().Add(QStringLiteral("at"), FieldType::DateTime);
    ds.FieldDefs().Add(QStringLiteral("d"), FieldType::Date);
    ds.FieldDefs().Add(QStringLiteral("f"), FieldType::Float);
    ds.FieldDefs().Add(QStringLiteral("b"), FieldType::Boolean);
    ds.CreateDataSet();
    ds.IndexDefs().Add(QStringLiteral("by_i"), QStringLiteral("i"));
    ds.SetIndexName(QStringLiteral("by_i"));
    {
        ClientDataSet::RowAppender out(ds);
        out.BeginRow();
        out.SetInteger(0, 7);
        out.SetStringUtf8(1, "Straße 1");
        out.SetDateTime(2, QDate(2026, 12, 28), 8 * 3600000 + 30 * 60000);
        out.SetDate(3, QDate(2027, 1, 3));
        out.SetFloat(4, 2.5);
        out.SetBoolean(5, true);
        out.EndRow();
        out.BeginRow(); // all Null but the key
        out.SetInteger(0, 3);
        out.SetStringUtf8(1, "plain");
        out.EndRow();
        out.BeginRow(); // kinds that differ from the field convert
        out.SetStringUtf8(0, "5");
        out.SetInteger(1, 42);
        out.SetValue(4, 1);
        out.EndRow();
        out.BeginRow();
        out.SetInteger(1, 1);
        EXPECT_THROW(out.SetInteger(0, qint64(1) << 40), EDatabaseError); // no 32-bit value
    } // the refused row goes with the appender
    ASSERT_EQ(ds.RecordCount(), 3);
    EXPECT_EQ(ds.VisibleRowIds(), (std::vector<quint32>{1, 2, 0})); // the index saw the rows
    ds.SetIndexName(QString());
    ds.First();
    EXPECT_EQ(ds.AsString(1), QStringLiteral("Straße 1"));
    EXPECT_EQ(ds.Value(2).toDateTime(), QDateTime(QDate(2026, 12, 28), QTime(8, 30)));
    EXPECT_EQ(ds.Value(3).toDate(), QDate(2027, 1, 3));
    EXPECT_DOUBLE_EQ(ds.AsFloat(4), 2.5);
    EXPECT_TRUE(ds.Value(5).toBool());
    ds.Next();
    EXPECT_EQ(ds.AsString(1), QStringLiteral("plain"));
    for (int f = 2; f < 6; ++f)
        EXPECT_TRUE(ds.IsNull(f)) << f;
    ds.Next();
    EXPECT_EQ(ds.AsInteger(0), 5);
    EXPECT_EQ(ds.AsString(1), QStringLiteral("42"));
    EXPECT_DOUBLE_EQ(ds.AsFloat(4), 1.0);

    ds.Edit();
    EXPECT_THROW(ClientDataSet::RowAppender{ds}, EDatabaseError); // not while editing
    ds.Cancel();
}

// Rows across the 64-row words of the null bits, each field Null in its own rows, a field given
// twice (the later value counts, a Null one too) and a row dropped half-way whose Null must not
// stick to the row appended after it.
TEST(ClientDataSet, RowAppenderKeepsNullsRightAcrossWordsRepeatsAndADroppedRow) {
    ClientDataSet ds(QStringLiteral("N"));
    ds.FieldDefs().Add(QStringLiteral("i"), FieldType::Integer);
    ds.FieldDefs().Add(QStringLiteral("s"), FieldType::String);
    ds.FieldDefs().Add(QStringLiteral("t"), FieldType::DateTime);
    ds.CreateDataSet();
    {
        ClientDataSet::RowAppender out(ds);
        for (int r = 0; r < 150; ++r) {
            out.BeginRow();
            if (r % 3 != 0)
                out.SetInteger(0, r);
            if (r % 5 != 0)
                out.SetStringUtf8(1, std::to_string(r));
            if (r % 7 != 0)
                out.SetDateTime(2, QDate(2025, 1, 1).addDays(r), 1000);
            out.EndRow();
        }
        out.BeginRow();
        out.SetInteger(0, 1);
        out.SetInteger(0, 2);
        out.SetStringUtf8(1, "x");
        out.SetValue(1, QVariant());
        out.EndRow();
        {
            ClientDataSet::RowAppender dropped(ds);
            dropped.BeginRow();
            dropped.SetValue(0, QVariant()); // Null, then the row goes
        }
        out.BeginRow();
        out.SetInteger(0, 9);
        out.SetStringUtf8(1, "y");
        out.SetDateTime(2, QDate(2025, 6, 1), 0);
        out.EndRow();
    }
    ASSERT_EQ(ds.RecordCount(), 152);
    for (int r = 0; r < 150; ++r) {
        EXPECT_EQ(ds.ValueAt(r, 0), r % 3 ? QVariant(r) : QVariant()) << r;
        EXPECT_EQ(ds.ValueAt(r, 1), r % 5 ? QVariant(QString::number(r)) : QVariant()) << r;
        EXPECT_EQ(ds.ValueAt(r, 2).isValid(), r % 7 != 0) << r;
    }
    EXPECT_EQ(ds.ValueAt(150, 0), QVariant(2));
    EXPECT_FALSE(ds.ValueAt(150, 1).isValid());
    EXPECT_FALSE(ds.ValueAt(150, 2).isValid());
    EXPECT_EQ(ds.ValueAt(151, 0), QVariant(9));
    EXPECT_EQ(ds.ValueAt(151, 1), QVariant(QStringLiteral("y")));
    EXPECT_EQ(ds.ValueAt(151, 2).toDateTime(), QDateTime(QDate(2025, 6, 1), QTime(0, 0)));
}

// Cells written in place count as a change of their column once the writer goes: an index over
// it sorts anew. An order handed over stands for the index until the rows change.
TEST(ClientDataSet, WrittenInPlaceAndHandedOverOrders) {
    ClientDataSet ds(QStringLiteral("W"));
    ds.FieldDefs().Add(QStringLiteral("k"), FieldType::Integer);
    ds.CreateDataSet();
    {
        ClientDataSet::RowAppender out(ds);
        for (int v : {3, 1, 2}) {
            out.BeginRow();
            if (v != 2)
                out.SetInteger(0, v);
            out.EndRow();
        }
    }
    ds.IndexDefs().Add(QStringLiteral("by_k"), QStringLiteral("k"));
    ds.SetIndexName(QStringLiteral("by_k"));
    EXPECT_EQ(ds.VisibleRowIds(), (std::vector<quint32>{2, 1, 0})); // the Null first
    {
        ClientDataSet::IntegerWriter w(ds, 0);
        w.Set(2, 9);
        w.Set(0, 0);
    }
    EXPECT_EQ(ds.VisibleRowIds(), (std::vector<quint32>{0, 1, 2}));
    EXPECT_EQ(ds.ValueAt(2, 0), QVariant(9));

    ds.AdoptIndexOrder({0}, {}, {2, 0, 1}); // vouched for by the caller
    EXPECT_EQ(ds.VisibleRowIds(), (std::vector<quint32>{2, 0, 1}));
    EXPECT_THROW(ds.AdoptIndexOrder({0}, {}, {0, 1}), EDatabaseError);
    ds.Append();
    ds.SetValue(0, 5);
    ds.Post();
    EXPECT_EQ(ds.VisibleRowIds(), (std::vector<quint32>{0, 1, 3, 2})); // built anew
    const ClientDataSet::IntegerCells cells = ds.IntegerCellsOf(0);
    EXPECT_EQ(cells.Rows, 4u);
    EXPECT_FALSE(cells.HasNulls());
    EXPECT_EQ(cells.At(3), 5);
}

// The string pool spans many blocks: strings up to and past a block's size, empty ones, and
// every value read back and sorted as before.
TEST(ClientDataSet, StringsAcrossPoolBlocks) {
    ClientDataSet ds(QStringLiteral("P"));
    ds.FieldDefs().Add(QStringLiteral("s"), FieldType::String);
    ds.CreateDataSet();
    std::vector<QString> values;
    for (int i = 0; i < 3000; ++i)
        values.push_back(QString(i % 97, QChar(u'a' + i % 26)) + QString::number(i) +
                         (i % 7 == 0 ? QStringLiteral("東京") : QString()));
    values.push_back(QString(70000, u'ß')); // longer than a block
    values.push_back(QStringLiteral("Ärger"));
    values.push_back(QString());
    values.push_back(QStringLiteral("danach"));
    {
        ClientDataSet::RowAppender out(ds);
        for (const QString& v : values) {
            out.BeginRow();
            out.SetString(0, v);
            out.EndRow();
        }
    }
    ds.Append();
    ds.SetValue(0, QStringLiteral("Ürig"));
    ds.Post();
    values.push_back(QStringLiteral("Ürig"));
    ASSERT_EQ(ds.RecordCount(), int(values.size()));
    for (size_t r = 0; r < values.size(); ++r)
        ASSERT_EQ(ds.ValueAt(qint64(r), 0).toString(), values[r]) << r;
    ds.IndexDefs().Add(QStringLiteral("by_s"), QStringLiteral("s"));
    ds.SetIndexName(QStringLiteral("by_s"));
    QString previous;
    for (ds.First(); !ds.Eof(); ds.Next()) {
        EXPECT_LE(previous.compare(ds.AsString(0)), 0);
        previous = ds.AsString(0);
    }
    // Latin-1 and wider text compare alike, with and without case.
    EXPECT_TRUE(ds.Locate(QStringLiteral("s"), {QStringLiteral("ärger")},
                          LocateOption::CaseInsensitive));
    EXPECT_EQ(ds.AsString(0), QStringLiteral("Ärger"));
    EXPECT_TRUE(ds.Locate(QStringLiteral("s"), {QStringLiteral("hhhhhhh7東")},
                          LocateOption::PartialKey));
    EXPECT_EQ(ds.AsString(0), QStringLiteral("hhhhhhh7東京"));
    EXPECT_FALSE(ds.Locate(QStringLiteral("s"), {QStringLiteral("東")}, LocateOption::PartialKey));
}

// Rows appended a column at a time: typed cells, Nulls by mask, a field left out Null, a kind
// that differs from the field converted, a field given twice refused, and a batch dropped
// before its end leaving neither rows nor Null bits behind.
TEST(ClientDataSet, BatchesAppendColumnsAtATime) {
    ClientDataSet ds(QStringLiteral("B"));
    ds.FieldDefs().Add(QStringLiteral("i"), FieldType::Integer);
    ds.FieldDefs().Add(QStringLiteral("s"), FieldType::String);
    ds.FieldDefs().Add(QStringLiteral("t"), FieldType::DateTime);
    ds.FieldDefs().Add(QStringLiteral("n"), FieldType::LargeInt);
    ds.CreateDataSet();
    const qint64 ints[3] = {7, 0, qint64(1) << 40};
    const quint8 nullSecond[3] = {0, 1, 0};
    const std::string_view texts[3] = {"a", "Grüße", ""};
    const qint64 stamps[3] = {QDate(2025, 1, 13).toJulianDay() * 86400000 + 1000, 0, 0};
    const quint8 onlyFirst[3] = {0, 1, 1};
    {
        ClientDataSet::BatchAppender dropped(ds, 3);
        dropped.Integers(3, ints, nullSecond);
    }
    EXPECT_EQ(ds.RecordCount(), 0);
    {
        ClientDataSet::BatchAppender batch(ds, 3);
        batch.StringsUtf8(1, texts, nullptr);
        batch.Integers(3, ints, nullSecond);
        batch.DateTimes(2, stamps, onlyFirst);
        EXPECT_THROW(batch.Integers(3, ints, nullptr), EDatabaseError);
        batch.End();
    }
    {
        ClientDataSet::BatchAppender batch(ds, 3);
        batch.Integers(1, ints, nullptr); // into the string field, as text
        EXPECT_THROW(batch.Integers(0, ints, nullSecond), EDatabaseError); // 2^40: no int32
    } // not ended: dropped
    ASSERT_EQ(ds.RecordCount(), 3);
    for (int r = 0; r < 3; ++r)
        EXPECT_FALSE(ds.ValueAt(r, 0).isValid()) << r; // no call: Null
    EXPECT_EQ(ds.ValueAt(1, 1), QVariant(QStringLiteral("Grüße")));
    EXPECT_EQ(ds.ValueAt(2, 1), QVariant(QString()));
    EXPECT_EQ(ds.ValueAt(0, 2).toDateTime(), QDateTime(QDate(2025, 1, 13), QTime(0, 0, 1)));
    EXPECT_FALSE(ds.ValueAt(1, 2).isValid());
    EXPECT_EQ(ds.ValueAt(2, 3), QVariant(qint64(1) << 40));
    EXPECT_FALSE(ds.ValueAt(1, 3).isValid());
    {
        ClientDataSet::RowAppender out(ds); // the dropped batches left no stray Null bits
        out.BeginRow();
        out.SetInteger(0, 1);
        out.SetStringUtf8(1, "x");
        out.SetInteger(3, 2);
        out.SetDateTime(2, QDate(2025, 1, 1), 0);
        out.EndRow();
    }
    for (int f = 0; f < 4; ++f)
        EXPECT_TRUE(ds.ValueAt(3, f).isValid()) << f;
}

// Totals of integers and currency are exact past 2^53, through the plain-field path and through
// expressions; a total past 64 bits carries on in double instead of wrapping round.
TEST(ClientDataSet, IntegerAndCurrencySumsAreExact) {
    ClientDataSet ds(QStringLiteral("S"));
    ds.FieldDefs().Add(QStringLiteral("g"), FieldType::Integer);
    ds.FieldDefs().Add(QStringLiteral("n"), FieldType::LargeInt);
    ds.FieldDefs().Add(QStringLiteral("amount"), FieldType::Currency);
    ds.CreateDataSet();
    const qint64 big = (qint64(1) << 53) + 1; // 9007199254740993
    {
        ClientDataSet::RowAppender out(ds);
        auto row = [&](int g, qint64 n, qint64 scaled) {
            out.BeginRow();
            out.SetInteger(0, g);
            out.SetInteger(1, n);
            out.SetCurrency(2, Currency{scaled});
            out.EndRow();
        };
        row(1, big, 0);
        row(1, 1, 0);
        row(2, std::numeric_limits<qint64>::max(), 0);
        row(2, 1, 0);
        for (int i = 0; i < 10; ++i)
            row(3, 0, 1000); // 0.10, which a double total would drift off
    }
    ds.IndexDefs().Add(QStringLiteral("by_g"), QStringLiteral("g"), {}, 1);
    ds.SetIndexName(QStringLiteral("by_g"));
    auto& aggs = ds.Aggregates();
    const int plain = aggs.Add({"plain", "Sum(n)", 1, "by_g", true, true});
    const int expr = aggs.Add({"expr", "Sum(n) + 0", 1, "by_g", true, true});
    const int money = aggs.Add({"money", "Sum(amount)", 1, "by_g", true, true});
    ds.SetAggregatesActive(true);

    ASSERT_TRUE(ds.FindKey({qint64(1)}));
    EXPECT_EQ(ds.AggregateValue(plain).typeId(), QMetaType::LongLong);
    EXPECT_EQ(ds.AggregateValue(plain).toLongLong(), big + 1);
    EXPECT_EQ(ds.AggregateValue(expr).toLongLong(), big + 1);

    ASSERT_TRUE(ds.FindKey({qint64(2)}));
    EXPECT_GT(ds.AggregateValue(plain).toDouble(), 9.2e18);
    EXPECT_GT(ds.AggregateValue(expr).toDouble(), 9.2e18);

    ASSERT_TRUE(ds.FindKey({qint64(3)}));
    EXPECT_EQ(ds.AggregateValue(money).toDouble(), 1.0);
}

namespace {

// The process's local zone for one test; Qt reads TZ afresh on every conversion.
class LocalZone final {
public:
    explicit LocalZone(const char* zone) : m_had(qEnvironmentVariableIsSet("TZ")) {
        m_old = qgetenv("TZ");
        qputenv("TZ", zone);
        tzset();
    }
    ~LocalZone() {
        if (m_had)
            qputenv("TZ", m_old);
        else
            qunsetenv("TZ");
        tzset();
    }

private:
    bool m_had;
    QByteArray m_old;
};

qint64 Packed(const QDate& d, const QTime& t) {
    return d.toJulianDay() * 86400000 + t.msecsSinceStartOfDay();
}

} // namespace

// Every kind as the cells give it against the QVariant of the same cell, over more rows than
// one word of the Null bitmap, with Latin-1 umlauts and text beyond Latin-1.
TEST(ClientDataSet, CellsGiveEveryKindTypedWithItsNulls) {
    LocalZone zone("Europe/Berlin");
    ClientDataSet ds(QStringLiteral("C"));
    ds.FieldDefs().Add(QStringLiteral("i"), FieldType::Integer);
    ds.FieldDefs().Add(QStringLiteral("l"), FieldType::LargeInt);
    ds.FieldDefs().Add(QStringLiteral("f"), FieldType::Float);
    ds.FieldDefs().Add(QStringLiteral("c"), FieldType::Currency);
    ds.FieldDefs().Add(QStringLiteral("b"), FieldType::Boolean);
    ds.FieldDefs().Add(QStringLiteral("s"), FieldType::String);
    ds.FieldDefs().Add(QStringLiteral("d"), FieldType::Date);
    ds.FieldDefs().Add(QStringLiteral("t"), FieldType::DateTime);
    ds.CreateDataSet();
    const QString texts[] = {QStringLiteral("Größe"), QStringLiteral("Übermaß"), QString(),
                             QStringLiteral("Zürich €"), QStringLiteral("Łódź")};
    constexpr int kRows = 150;
    for (int r = 0; r < kRows; ++r) {
        ds.Append();
        if (r % 3 != 1) { // every third row Null in every field, across word boundaries
            ds.SetValue(0, r - 70);
            ds.SetValue(1, qint64(r) << 40);
            ds.SetValue(2, r / 8.0);
            ds.SetValue(3, r * 1.25);
            ds.SetValue(4, r % 2 == 0);
            ds.SetValue(5, texts[r % 5]);
            ds.SetValue(6, QDate(2025, 3, 1).addDays(r));
            // 28 March to 1 April at every hour but the one summer time skips
            const int hour = r % 24 == 2 ? 1 : r % 24;
            ds.SetValue(7, QDateTime(QDate(2025, 3, 28).addDays(r % 5), QTime(hour, 30)));
        }
        ds.Post();
    }
    ClientDataSet::LocalTimes times;
    for (int f = 0; f < ds.FieldCount(); ++f) {
        const ClientDataSet::Cells cells = ds.CellsOf(f);
        ASSERT_EQ(cells.Type(), ds.GetFieldType(f));
        ASSERT_EQ(cells.Rows(), quint32(kRows));
        for (quint32 r = 0; r < kRows; ++r) {
            const QVariant v = ds.ValueAt(r, f);
            ASSERT_EQ(cells.IsNull(r), !v.isValid()) << f << ' ' << r;
            if (!v.isValid())
                continue;
            switch (cells.Type()) {
            case FieldType::Float:
            case FieldType::Currency: EXPECT_EQ(cells.Real(r), v.toDouble()) << f << ' ' << r; break;
            case FieldType::String:
                EXPECT_EQ(cells.Text(r).toString(), v.toString()) << r;
                EXPECT_EQ(cells.Text(r).size(), v.toString().size()) << r;
                break;
            case FieldType::Date: EXPECT_EQ(cells.Integer(r), v.toDate().toJulianDay()) << r; break;
            case FieldType::DateTime:
                EXPECT_EQ(cells.EpochMs(r, times), v.toDateTime().toMSecsSinceEpoch()) << r;
                break;
            default: EXPECT_EQ(cells.Integer(r), v.toLongLong()) << f << ' ' << r; break;
            }
        }
    }
    // Gathered in a scattered order, with rows of nothing and past the end left as they were.
    std::vector<qint32> rows;
    for (int i = 0; i < kRows; ++i)
        rows.push_back(qint32((i * 37) % kRows));
    rows.insert(rows.begin() + 20, -1);
    rows.insert(rows.begin() + 90, kRows);
    const size_t n = rows.size();
    for (int f = 0; f < ds.FieldCount(); ++f) {
        const ClientDataSet::Cells cells = ds.CellsOf(f);
        std::vector<quint8> null(n, 1);
        std::vector<qint64> ints(n, -7);
        std::vector<double> reals(n, -7);
        std::vector<QAnyStringView> strs(n);
        ClientDataSet::LocalTimes gatherTimes;
        switch (cells.Type()) {
        case FieldType::Float:
        case FieldType::Currency: cells.GatherReals(rows.data(), n, null.data(), reals.data()); break;
        case FieldType::String: cells.GatherTexts(rows.data(), n, null.data(), strs.data()); break;
        case FieldType::DateTime:
            cells.GatherEpochMs(rows.data(), n, null.data(), ints.data(), gatherTimes);
            break;
        default: cells.GatherIntegers(rows.data(), n, null.data(), ints.data()); break;
        }
        for (size_t i = 0; i < n; ++i) {
            const qint32 r = rows[i];
            const QVariant v = r >= 0 && r < kRows ? ds.ValueAt(r, f) : QVariant();
            ASSERT_EQ(bool(null[i]), !v.isValid()) << f << ' ' << r;
            if (!v.isValid()) {
                EXPECT_EQ(ints[i], -7);
                continue;
            }
            switch (cells.Type()) {
            case FieldType::Float:
            case FieldType::Currency: EXPECT_EQ(reals[i], v.toDouble()) << f << ' ' << r; break;
            case FieldType::String: EXPECT_EQ(strs[i].toString(), v.toString()) << r; break;
            case FieldType::Date: EXPECT_EQ(ints[i], v.toDate().toJulianDay()) << r; break;
            case FieldType::DateTime:
                EXPECT_EQ(ints[i], v.toDateTime().toMSecsSinceEpoch()) << r;
                break;
            default: EXPECT_EQ(ints[i], v.toLongLong()) << f << ' ' << r; break;
            }
        }
    }
    EXPECT_EQ(ds.CellsOf(3).Integer(5), 62500); // currency scaled by 10000
    EXPECT_THROW(ds.CellsOf(ds.FieldCount()), EDatabaseError);
}

// Around both changes of summer time in Berlin (the last Sundays of March and October), in
// the hour that does not exist and the one that comes twice, with days met in either order.
TEST(ClientDataSet, LocalTimesAgreeWithQDateTimeAcrossSummerTime) {
    LocalZone zone("Europe/Berlin");
    const QTimeZone berlin("Europe/Berlin");
    auto exact = [&](qint64 packed) {
        const qint64 day = packed / 86400000;
        return QDateTime(QDate::fromJulianDay(day),
                         QTime::fromMSecsSinceStartOfDay(int(packed - day * 86400000)), berlin)
            .toMSecsSinceEpoch();
    };
    ClientDataSet::LocalTimes times;
    std::vector<qint64> probes;
    for (const QDate change : {QDate(2025, 10, 26), QDate(2025, 3, 30), QDate(2024, 3, 31)})
        for (int day = -1; day <= 1; ++day)
            for (int minute = 0; minute < 24 * 60; minute += 10)
                probes.push_back(Packed(change.addDays(day), QTime(0, 0).addSecs(minute * 60)));
    probes.push_back(Packed(QDate(2025, 3, 30), QTime(2, 30, 0, 1)));    // does not exist
    probes.push_back(Packed(QDate(2025, 10, 26), QTime(2, 59, 59, 999))); // comes twice
    probes.push_back(Packed(QDate(1893, 3, 31), QTime(23, 59)));          // before standard time
    probes.push_back(Packed(QDate(2400, 1, 1), QTime(12, 0)));            // far off the table
    for (qint64 p : probes)
        ASSERT_EQ(times.EpochMs(p), exact(p)) << p;
    for (auto p = probes.rbegin(); p != probes.rend(); ++p) // now from the table
        ASSERT_EQ(times.EpochMs(*p), exact(*p)) << *p;
    // 03:00 summer time on 30 March is 01:00 UTC, 02:00 winter time on 26 October too.
    const QDateTime springUtc(QDate(2025, 3, 30), QTime(1, 0), Qt::UTC);
    EXPECT_EQ(times.EpochMs(Packed(QDate(2025, 3, 30), QTime(3, 0))),
              springUtc.toMSecsSinceEpoch());
    EXPECT_EQ(times.EpochMs(Packed(QDate(2025, 3, 30), QTime(1, 59))),
              springUtc.toMSecsSinceEpoch() - 60000); // 00:59 UTC
    EXPECT_EQ(times.EpochMs(Packed(QDate(2025, 10, 27), QTime(2, 0))),
              QDateTime(QDate(2025, 10, 27), QTime(1, 0), Qt::UTC).toMSecsSinceEpoch());
}

// A local time converts to one instant whatever was converted before: a time the zone reads
// once (by its transitions as Qt has them) to that reading, one that comes twice or not at all
// (also whole days skipped where a zone crossed the date line) as QDateTime gives it in that zone.
// Read as the dataset's value (and again) and through LocalTimes met forwards and backwards,
// with other conversions in between: around every change and at random.
TEST(ClientDataSet, LocalTimesDoNotDependOnWhatCameBefore) {
    const char* zones[] = {"UTC",          "Europe/Berlin",     "Europe/Dublin",
                           "Asia/Tehran",  "America/Havana",    "Australia/Lord_Howe",
                           "Pacific/Apia", "Pacific/Kiritimati"};
    constexpr qint64 kDay = 86400000, kUnixEpochPacked = 2440588 * kDay;
    const QDateTime from(QDate(1902, 1, 1), QTime(0, 0), Qt::UTC);
    const QDateTime to(QDate(2037, 12, 31), QTime(0, 0), Qt::UTC);
    for (size_t z = 0; z < std::size(zones); ++z) {
        LocalZone local(zones[z]);
        const QTimeZone zone(zones[z]);
        ASSERT_TRUE(zone.isValid()) << zones[z];
        std::mt19937_64 rng(20241027 + z);
        // Offsets (ms) from each change on, the first from `from` on.
        std::vector<qint64> starts{std::numeric_limits<qint64>::min()};
        std::vector<qint64> offsets{zone.offsetFromUtc(from) * qint64(1000)};
        for (const auto& change : zone.transitions(from, to)) {
            starts.push_back(change.atUtc.toMSecsSinceEpoch());
            offsets.push_back(change.offsetFromUtc * qint64(1000));
        }
        std::vector<qint64> probes; // packed wall clock
        // Every minute around each change, from an hour before the earlier reading of it to an
        // hour after the later one.
        for (size_t k = 1; k < starts.size(); ++k) {
            const qint64 lo = starts[k] + std::min(offsets[k - 1], offsets[k]) - 3600000;
            const qint64 hi = starts[k] + std::max(offsets[k - 1], offsets[k]) + 3600000;
            for (qint64 p = lo; p <= hi; p += 60000)
                probes.push_back(kUnixEpochPacked + p + qint64(rng() % 60000));
        }
        std::uniform_int_distribution<qint64> any(kUnixEpochPacked + from.toMSecsSinceEpoch(),
                                                  kUnixEpochPacked + to.toMSecsSinceEpoch());
        for (int i = 0; i < 20000; ++i)
            probes.push_back(any(rng));
        std::shuffle(probes.begin(), probes.end(), rng);

        ClientDataSet ds(QStringLiteral("Z"));
        ds.FieldDefs().Add(QStringLiteral("t"), FieldType::DateTime);
        ds.CreateDataSet();
        {
            ClientDataSet::BatchAppender batch(ds, quint32(probes.size()));
            batch.DateTimes(0, probes.data(), nullptr);
            batch.End();
        }
        std::vector<qint64> expected;
        for (qint64 p : probes) {
            const qint64 wall = p - kUnixEpochPacked;
            std::vector<qint64> readings;
            // No offset lies beyond 16 hours: the changes in reach start after wall - 32 hours.
            auto k = size_t(std::upper_bound(starts.begin(), starts.end(), wall - 32 * 3600000) -
                            starts.begin());
            for (k = k > 0 ? k - 1 : 0; k < starts.size() && starts[k] < wall + 32 * 3600000; ++k) {
                const qint64 u = wall - offsets[k];
                if (u >= starts[k] && (k + 1 == starts.size() || u < starts[k + 1]))
                    readings.push_back(u);
            }
            const qint64 day = p / kDay;
            expected.push_back(readings.size() == 1
                                   ? readings[0]
                                   : QDateTime(QDate::fromJulianDay(day),
                                               QTime::fromMSecsSinceStartOfDay(int(p - day * kDay)),
                                               zone)
                                         .toMSecsSinceEpoch());
        }
        // Another conversion before each read, summer or winter, leaves the system's own
        // conversion with a different guess each time.
        auto stir = [&] {
            const qint64 p = probes[rng() % probes.size()];
            QDateTime(QDate::fromJulianDay(p / kDay), QTime(12, 0)).toMSecsSinceEpoch();
        };
        int wrong = 0;
        auto check = [&](size_t i, qint64 got, const char* how) {
            if (got == expected[i] || ++wrong > 5)
                return;
            const qint64 day = probes[i] / kDay;
            ADD_FAILURE() << zones[z] << ' ' << how << ' '
                          << QDate::fromJulianDay(day).toString(Qt::ISODate).toStdString() << ' '
                          << QTime::fromMSecsSinceStartOfDay(int(probes[i] - day * kDay))
                                 .toString(QStringLiteral("HH:mm:ss.zzz"))
                                 .toStdString()
                          << ": " << got - expected[i] << " ms off";
        };
        ClientDataSet::LocalTimes forwards, backwards;
        const size_t n = probes.size();
        for (size_t i = 0; i < n; ++i) {
            stir();
            const QDateTime value = ds.ValueAt(qint64(i), 0).toDateTime();
            check(i, value.toMSecsSinceEpoch(), "value");
            stir();
            check(i, value.toMSecsSinceEpoch(), "value read again");
            stir();
            check(i, forwards.EpochMs(probes[i]), "forwards");
            stir();
            check(n - 1 - i, backwards.EpochMs(probes[n - 1 - i]), "backwards");
        }
        const ClientDataSet::Cells cells = ds.CellsOf(0);
        std::vector<qint32> rows(n);
        std::iota(rows.begin(), rows.end(), 0);
        std::vector<quint8> null(n, 1);
        std::vector<qint64> gathered(n);
        ClientDataSet::LocalTimes fresh;
        cells.GatherEpochMs(rows.data(), n, null.data(), gathered.data(), fresh);
        for (size_t i = 0; i < n; ++i)
            check(i, gathered[i], "gathered");
        EXPECT_EQ(wrong, 0) << zones[z] << ": " << n << " probes";
    }
}

// Cells read the store in place: a value written after they were taken shows, rows appended
// after them are not theirs, and a dataset that moved to a new store leaves them the old one.
TEST(ClientDataSet, CellsFollowEditsAndTellAppendedRows) {
    ClientDataSet ds(QStringLiteral("E"));
    ds.FieldDefs().Add(QStringLiteral("n"), FieldType::Integer);
    ds.FieldDefs().Add(QStringLiteral("s"), FieldType::String);
    ds.CreateDataSet();
    for (int r = 0; r < 3; ++r) {
        ds.Append();
        ds.SetValue(0, r);
        ds.SetValue(1, QStringLiteral("Zeile %1").arg(r));
        ds.Post();
    }
    const ClientDataSet::Cells n = ds.CellsOf(0), s = ds.CellsOf(1);
    EXPECT_TRUE(n.Current());
    const quint64 stampN = n.Stamp(), stampS = s.Stamp();
    ds.SetRowValue(1, 0, 41);
    EXPECT_NE(n.Stamp(), stampN); // a field written moves its stamp, not another field's
    EXPECT_EQ(s.Stamp(), stampS);
    ds.SetRowValue(2, 0, QVariant());
    ds.SetRowValue(0, 1, QStringLiteral("Maß"));
    EXPECT_NE(s.Stamp(), stampS);
    EXPECT_TRUE(n.Current()); // edits keep the rows where they are
    const quint64 stampBeforeAppend = s.Stamp();
    EXPECT_EQ(n.Integer(1), 41);
    EXPECT_TRUE(n.IsNull(2));
    EXPECT_EQ(s.Text(0).toString(), QStringLiteral("Maß"));

    ds.Append();
    ds.SetValue(0, 99);
    ds.Post();
    EXPECT_FALSE(n.Current());
    EXPECT_EQ(n.Rows(), 3u);
    EXPECT_NE(s.Stamp(), stampBeforeAppend); // an appended row moves every field's
    const ClientDataSet::Cells fresh = ds.CellsOf(0);
    ASSERT_EQ(fresh.Rows(), 4u);
    EXPECT_EQ(fresh.Integer(3), 99);
    EXPECT_TRUE(ds.CellsOf(1).IsNull(3));

    ds.EmptyDataSet();
    EXPECT_EQ(fresh.Integer(1), 41); // the old store lives as long as its cells
    EXPECT_NE(ds.CellsOf(0).Store(), fresh.Store());
    EXPECT_EQ(ds.CellsOf(0).Rows(), 0u);
}

// Gathers of rows that follow each other in the store take them a block at a time: blocks
// wholly in order, with Nulls inside or without, beside blocks broken by a row of nothing, one
// out of order or one running past the end, give what the scattered gather gives row by row.
TEST(ClientDataSet, GathersOfAdjacentRowsAgreeWithRowByRowReads) {
    ClientDataSet ds(QStringLiteral("G"));
    ds.FieldDefs().Add(QStringLiteral("i"), FieldType::Integer);
    ds.FieldDefs().Add(QStringLiteral("f"), FieldType::Float);
    ds.FieldDefs().Add(QStringLiteral("s"), FieldType::String);
    ds.CreateDataSet();
    constexpr int kRows = 700;
    for (int r = 0; r < kRows; ++r) {
        ds.Append();
        if (r < 300 || r % 97 != 0) { // Nulls only past the first blocks
            ds.SetValue(0, r * 3);
            ds.SetValue(1, r / 4.0);
            ds.SetValue(2, r % 5 == 0 ? QStringLiteral("Straße %1").arg(r)
                                      : QStringLiteral("Weg %1").arg(r));
        }
        ds.Post();
    }
    std::vector<qint32> rows(kRows - 20);
    std::iota(rows.begin(), rows.end(), 10); // from mid word: blocks straddle null words
    rows[130] = -1;
    std::swap(rows[200], rows[201]);
    rows[400] = kRows + 5;
    for (qint32 r = kRows - 40; r < kRows + 30; ++r) // the last block runs past the end
        rows.push_back(r);
    const size_t n = rows.size();
    const ClientDataSet::Cells ints = ds.CellsOf(0), reals = ds.CellsOf(1), texts = ds.CellsOf(2);
    std::vector<quint8> nullI(n, 1), nullF(n, 1), nullS(n, 1);
    std::vector<qint64> i64(n, -7);
    std::vector<double> f64(n, -7);
    std::vector<QAnyStringView> strs(n);
    ints.GatherIntegers(rows.data(), n, nullI.data(), i64.data());
    reals.GatherReals(rows.data(), n, nullF.data(), f64.data());
    texts.GatherTexts(rows.data(), n, nullS.data(), strs.data());
    for (size_t k = 0; k < n; ++k) {
        const qint32 r = rows[k];
        const bool there = r >= 0 && r < kRows;
        const QVariant i = there ? ds.ValueAt(r, 0) : QVariant();
        ASSERT_EQ(bool(nullI[k]), !i.isValid()) << k;
        ASSERT_EQ(bool(nullF[k]), !i.isValid()) << k;
        ASSERT_EQ(bool(nullS[k]), !i.isValid()) << k;
        if (!i.isValid()) {
            EXPECT_EQ(i64[k], -7) << k;
            continue;
        }
        EXPECT_EQ(i64[k], i.toLongLong()) << k;
        EXPECT_EQ(f64[k], ds.ValueAt(r, 1).toDouble()) << k;
        EXPECT_EQ(strs[k].toString(), ds.ValueAt(r, 2).toString()) << k;
    }
}

// Rows put in another order keep their cells, Nulls and texts included; the index whose order
// they were given in comes out as the rows lie, another index is built anew, and a range set
// again after an append sees the appended row. A shared store or an order that misses a row is
// refused, the rows as they were.
TEST(ClientDataSet, ReorderedRowsKeepTheirCellsAndIndexes) {
    auto ds = MakeTable();
    ds->SetIndexName(QStringLiteral("by_res"));
    const QStringList names = Walk(*ds, 1), byName = [&] {
        ds->SetIndexName(QStringLiteral("by_name"));
        const QStringList out = Walk(*ds, 1);
        ds->SetIndexName(QStringLiteral("by_res"));
        return out;
    }();
    const std::vector<quint32> order = ds->VisibleRowIds();
    std::vector<std::vector<QVariant>> before;
    for (quint32 r : order) {
        before.emplace_back();
        for (int f = 0; f < ds->FieldCount(); ++f)
            before.back().push_back(ds->ValueAt(r, f));
    }
    ds->ReorderRows(order);
    for (quint32 k = 0; k < order.size(); ++k)
        for (int f = 0; f < ds->FieldCount(); ++f)
            EXPECT_EQ(ds->ValueAt(k, f), before[k][size_t(f)]) << k << ' ' << f;
    EXPECT_EQ(Walk(*ds, 1), names);
    std::vector<quint32> identity(order.size());
    std::iota(identity.begin(), identity.end(), 0u);
    EXPECT_EQ(ds->VisibleRowIds(), identity);
    ds->SetIndexName(QStringLiteral("by_name"));
    EXPECT_EQ(Walk(*ds, 1), byName);

    ds->SetIndexName(QStringLiteral("by_res"));
    ds->SetRange({qint64(2)}, {qint64(2)});
    EXPECT_EQ(Walk(*ds, 1), (QStringList{"beta", "alpha"}));
    ds->Append();
    ds->SetValue(0, 2);
    ds->SetValue(1, QStringLiteral("delta"));
    ds->SetValue(2, 6);
    ds->Post();
    ds->SetRange({qint64(2)}, {qint64(2)});
    EXPECT_EQ(Walk(*ds, 1), (QStringList{"beta", "delta", "alpha"}));
    ds->CancelRange();

    std::vector<quint32> missing(ds->RecordCount(), 0);
    EXPECT_THROW(ds->ReorderRows(missing), EDatabaseError);
    ClientDataSet clone(QStringLiteral("C"));
    clone.CloneCursor(*ds, true);
    std::vector<quint32> all(size_t(ds->RecordCount()));
    std::iota(all.rbegin(), all.rend(), 0u);
    EXPECT_THROW(ds->ReorderRows(all), EDatabaseError);
    EXPECT_EQ(ds->ValueAt(0, 1), before[0][1]);
}

// A query's rows copied into a dataset a chunk at a time: the chunks after the first come in
// PostgreSQL's binary form when every column can be read so, and must give the very values the
// text does, edge cases of each type included.
#include "UPlantafel.QuerySource.h"

#include <TestDatabase.h>
#include <UDM1.h>
#include <VoskQuery2.h>

#include <gtest/gtest.h>

using testsupport::DbTest;

namespace {

class QuerySourceTest : public DbTest {
protected:
    void SetUp() override { m_dm.Connect(); }

    // The statement's rows through a source reading chunkRows at a time.
    static void Copy(const QString& sql, int chunkRows, Cds::ClientDataSet& out) {
        TVoskQuery2 q(&DM1()->Database(), sql);
        TPlantafelQueryRecordSource src(q, chunkRows);
        TPlantafelDataContainer::OpenCDSFrom(src, out, false, nullptr, nullptr);
    }

    TDM1 m_dm;
};

// Each value repeats in every row, so that rows read as text and rows read binary meet it alike.
const char* kEveryType =
    "SELECT g, g::int2 AS i2, (-2147483648 + g)::int4 AS i4, (9223372036854775807 - g)::int8 AS i8, "
    "4294967295::oid AS o, (-1.5)::float4 AS f4, 0.1::float8 AS f8, '-Infinity'::float8 AS finf, "
    "(g % 2 = 0) AS b, '1999-12-31'::date AS d_before, '2000-01-01'::date + g AS d_after, "
    "'0044-03-15 BC'::date AS d_bc, 'infinity'::date AS d_inf, "
    "'1999-12-31 23:59:59.999999'::timestamp AS t_before, "
    "'2025-01-13 08:15:30.1239'::timestamp AS t_after, '-infinity'::timestamp AS t_inf, "
    "'2024-03-31 01:30:00+00'::timestamptz AS tz, 'Grüße, 東京'::text AS s, "
    "'abc'::varchar(5) AS v, 'ab'::char(4) AS bp, 'pg'::name AS nm, NULL::int AS nothing "
    "FROM generate_series(1, 9) g";

TEST_F(QuerySourceTest, BinaryChunksGiveTheValuesOfTheText) {
    Cds::ClientDataSet text(QStringLiteral("Text")), binary(QStringLiteral("Binary"));
    Copy(QString::fromUtf8(kEveryType), 1000, text); // all in the first, text chunk
    Copy(QString::fromUtf8(kEveryType), 2, binary);  // rows 5 to 9 binary
    ASSERT_EQ(text.RecordCount(), 9);
    ASSERT_EQ(binary.RecordCount(), 9);
    ASSERT_EQ(text.FieldCount(), binary.FieldCount());
    for (int f = 0; f < text.FieldCount(); ++f)
        ASSERT_EQ(binary.GetFieldType(f), text.GetFieldType(f)) << qPrintable(text.FieldName(f));
    for (int r = 0; r < 9; ++r)
        for (int f = 0; f < text.FieldCount(); ++f)
            EXPECT_EQ(binary.ValueAt(r, f), text.ValueAt(r, f))
                << "row " << r << ' ' << qPrintable(text.FieldName(f));
    // The values themselves, read back from the binary rows.
    const int last = 8;
    EXPECT_EQ(binary.ValueAt(last, binary.FieldIndex(QStringLiteral("i8"))),
              QVariant(qint64(9223372036854775807LL - 9)));
    EXPECT_EQ(binary.ValueAt(last, binary.FieldIndex(QStringLiteral("d_bc"))),
              QVariant(QDate(-44, 3, 15)));
    EXPECT_EQ(binary.ValueAt(last, binary.FieldIndex(QStringLiteral("t_before"))),
              QVariant(QDateTime(QDate(1999, 12, 31), QTime(23, 59, 59, 999))));
    EXPECT_EQ(binary.ValueAt(last, binary.FieldIndex(QStringLiteral("t_after"))),
              QVariant(QDateTime(QDate(2025, 1, 13), QTime(8, 15, 30, 123))));
    for (const char* null : {"d_inf", "t_inf", "nothing"})
        EXPECT_FALSE(binary.ValueAt(last, binary.FieldIndex(QLatin1String(null))).isValid())
            << null;
    EXPECT_EQ(binary.ValueAt(last, binary.FieldIndex(QStringLiteral("s"))),
              QVariant(QStringLiteral("Grüße, 東京")));
    EXPECT_EQ(binary.ValueAt(last, binary.FieldIndex(QStringLiteral("bp"))),
              QVariant(QStringLiteral("ab  ")));
}

// A numeric column has no binary reader here: the whole result stays text and exact.
TEST_F(QuerySourceTest, AColumnWithoutBinaryReaderKeepsTheResultText) {
    Cds::ClientDataSet ds(QStringLiteral("Numeric"));
    Copy(QStringLiteral("SELECT g, (g + 0.0001)::numeric(12,4) AS amount "
                        "FROM generate_series(1, 7) g"),
         2, ds);
    ASSERT_EQ(ds.RecordCount(), 7);
    EXPECT_EQ(ds.GetFieldType(1), Cds::FieldType::Currency);
    EXPECT_EQ(ds.ValueAt(6, 1), QVariant(7.0001));
    EXPECT_EQ(ds.ValueAt(6, 0), QVariant(7));
}

} // namespace

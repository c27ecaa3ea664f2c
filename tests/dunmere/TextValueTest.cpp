#include <TestDatabase.h>
#include <VoskQuery2.h>
#include <VoskTextValue.h>

#include <gtest/gtest.h>

#include <cstdio>

#include <QDateTime>
#include <QTime>

#include <cmath>
#include <limits>
#include <string>

using namespace Dunmere;

namespace {

class TextValueTest : public testsupport::DbTest {
protected:
    void SetUp() override { m_db.Connect(); }
    // One row of the statement; every field is read through the query's conversion.
    TVoskQuery2& row(const QString& sql) {
        m_q = std::make_unique<TVoskQuery2>(&m_db, sql);
        m_q->Open();
        EXPECT_EQ(m_q->RecordCount(), 1);
        return *m_q;
    }
    QVariant value(int col) const { return m_q->Fields(col).Value(); }
    TVoskDatabase m_db;
    std::unique_ptr<TVoskQuery2> m_q;
};

} // namespace

TEST_F(TextValueTest, DatesAcrossErasAndInfinity) {
    row(QStringLiteral("SELECT '2024-02-29'::date, '0044-03-15 BC'::date, '0001-01-01 BC'::date, "
                       "'12345-06-07'::date, 'infinity'::date, '-infinity'::date, "
                       "'0001-01-01'::date - '0001-01-01 BC'::date"));
    EXPECT_EQ(value(0), QVariant(QDate(2024, 2, 29)));
    EXPECT_EQ(value(1), QVariant(QDate(-44, 3, 15)));
    EXPECT_EQ(value(2), QVariant(QDate(-1, 1, 1)));
    EXPECT_EQ(value(3), QVariant(QDate(12345, 6, 7)));
    // Day arithmetic across the era boundary agrees with the server's calendar.
    EXPECT_EQ(value(2).toDate().daysTo(QDate(1, 1, 1)), value(6).toInt());
    // No date holds the infinities: they stay the server's text, which binds back unchanged.
    EXPECT_EQ(value(4), QVariant(QStringLiteral("infinity")));
    EXPECT_EQ(value(5), QVariant(QStringLiteral("-infinity")));
    const QVariant minusInfinity = value(5);
    row(QStringLiteral("SELECT 'infinity'::timestamp, '-infinity'::timestamptz"));
    EXPECT_EQ(value(0), QVariant(QStringLiteral("infinity")));
    EXPECT_EQ(value(1), QVariant(QStringLiteral("-infinity")));
    TVoskQuery2 back(&m_db, QStringLiteral("SELECT CAST(:d AS date) = '-infinity'::date"));
    back.Bind(QStringLiteral("d"), minusInfinity);
    back.Open();
    EXPECT_TRUE(back.Fields(0).AsBoolean());
}

TEST_F(TextValueTest, TimesAndTimestampsKeepMillisecondsWithoutRounding) {
    row(QStringLiteral("SELECT '2024-02-29 13:45:07.123456'::timestamp, "
                       "'1999-12-31 23:59:59.9999'::timestamp, "
                       "'0100-07-01 06:00:00 BC'::timestamp, 'infinity'::timestamp, "
                       "'23:59:59.999999'::time, '24:00:00'::time, '08:15:00'::time"));
    const QDateTime ts = value(0).toDateTime();
    EXPECT_EQ(ts, QDateTime(QDate(2024, 2, 29), QTime(13, 45, 7, 123)));
    EXPECT_EQ(ts.timeSpec(), Qt::LocalTime);
    EXPECT_EQ(value(1).toDateTime(), QDateTime(QDate(1999, 12, 31), QTime(23, 59, 59, 999)));
    EXPECT_EQ(value(2).toDateTime(), QDateTime(QDate(-100, 7, 1), QTime(6, 0)));
    EXPECT_EQ(value(3), QVariant(QStringLiteral("infinity")));
    EXPECT_EQ(value(4), QVariant(QTime(23, 59, 59, 999)));
    EXPECT_EQ(value(5).typeId(), QMetaType::QTime);
    EXPECT_FALSE(value(5).toTime().isValid());
    EXPECT_EQ(value(6), QVariant(QTime(8, 15)));
}

TEST_F(TextValueTest, TimestampTzOffsetsGiveTheServersInstant) {
    // Half-hour, negative and pre-1900 second offsets, each written in the session's zone.
    const struct {
        const char* zone;
        const char* stamp;
    } cases[] = {{"Asia/Kolkata", "2024-06-01 12:00:00.5+00"},
                 {"America/St_Johns", "2024-01-15 03:04:05+00"},
                 {"Europe/Amsterdam", "1900-01-01 00:00:00+00"},
                 {"UTC", "0300-03-01 12:00:00+00 BC"}};
    for (const auto& c : cases) {
        m_db.Exec(QStringLiteral("SET TimeZone = '%1'").arg(QLatin1String(c.zone)));
        row(QStringLiteral("SELECT t, t::text, (extract(epoch FROM t) * 1000)::int8 "
                           "FROM (SELECT '%1'::timestamptz AS t) s")
                .arg(QLatin1String(c.stamp)));
        const QByteArray text = m_q->Fields(1).AsString().toUtf8();
        const qint64 epoch = value(2).toLongLong();
        SCOPED_TRACE(text.toStdString());
        const QDateTime dt = value(0).toDateTime();
        EXPECT_EQ(dt.toMSecsSinceEpoch(), epoch);
        EXPECT_EQ(dt.timeSpec(), Qt::LocalTime);
        qint64 utc = 0;
        ASSERT_TRUE(ParsePgTimestampTzUtc(std::string_view(text.constData(), size_t(text.size())),
                                          &utc));
        EXPECT_EQ(utc, epoch);
        QDate d;
        int ms = -1;
        ASSERT_TRUE(ParsePgTimestampTz(std::string_view(text.constData(), size_t(text.size())),
                                       &d, &ms));
        const QDateTime local = QDateTime::fromMSecsSinceEpoch(epoch).toLocalTime();
        EXPECT_EQ(d, local.date());
        EXPECT_EQ(ms, local.time().msecsSinceStartOfDay());
    }
}

TEST_F(TextValueTest, NumbersBooleansBytesAndNulls) {
    row(QStringLiteral(
        "SELECT 9223372036854775807::int8, (-2147483648)::int4, 12345678901234567.125::numeric, "
        "'NaN'::numeric, '-Infinity'::float8, ('1' || repeat('0', 400))::numeric, 0.1::float8, "
        "true, false, '\\x00ff41'::bytea, NULL::int, NULL::date, NULL::bytea"));
    EXPECT_EQ(value(0), QVariant(std::numeric_limits<qint64>::max()));
    EXPECT_EQ(value(1), QVariant(std::numeric_limits<int>::min()));
    EXPECT_EQ(value(2).typeId(), QMetaType::Double);
    EXPECT_DOUBLE_EQ(value(2).toDouble(), 12345678901234567.125);
    EXPECT_TRUE(std::isnan(value(3).toDouble()));
    EXPECT_EQ(value(4).toDouble(), -std::numeric_limits<double>::infinity());
    EXPECT_EQ(value(5).toDouble(), std::numeric_limits<double>::infinity());
    EXPECT_EQ(value(6).toDouble(), 0.1);
    EXPECT_EQ(value(7), QVariant(true));
    EXPECT_EQ(value(8), QVariant(false));
    EXPECT_EQ(value(9), QVariant(QByteArray("\x00\xff" "A", 3)));
    for (int col : {10, 11, 12}) {
        EXPECT_TRUE(m_q->Fields(col).IsNull());
        EXPECT_TRUE(value(col).isNull());
    }
    row(QStringLiteral("SELECT 4294967295::oid")); // above the signed 32-bit range
    EXPECT_EQ(value(0), QVariant(qint64(4294967295)));

    m_db.Exec(QStringLiteral("SET bytea_output = 'escape'"));
    row(QStringLiteral("SELECT '\\x00ff5c41'::bytea"));
    EXPECT_EQ(value(0), QVariant(QByteArray("\x00\xff\\A", 4)));
}

TEST_F(TextValueTest, DatesReadFromTextColumns) {
    TVoskQuery2& q = row(QStringLiteral(
        "SELECT '2024-01-05 10:00:00'::text, '2024-01-05 10:00:00+01'::text, 'kein Datum'::text"));
    EXPECT_EQ(q.Fields(0).AsDate(), QDate(2024, 1, 5));
    EXPECT_EQ(q.Fields(1).AsDate(), QDate(2024, 1, 5));
    EXPECT_EQ(q.Fields(0).AsDateTime(), QDateTime(QDate(2024, 1, 5), QTime(10, 0)));
    EXPECT_EQ(q.Fields(1).AsDateTime(), QDateTime(QDate(2024, 1, 5), QTime(9, 0), Qt::UTC));
    EXPECT_THROW(q.Fields(2).AsDate(), EConvertError);
    EXPECT_THROW(q.Fields(2).AsDateTime(), EConvertError);
}

// Dates are computed by arithmetic: the days around each year's turn and its February over ten
// thousand years, BC included, are the days QDate makes of the same parts, and 29 February is
// there exactly in the leap years.
TEST(TextValue, ArithmeticDatesAgreeWithTheCalendarOverTheEras) {
    auto parse = [](int y, int m, int d, QDate* out) {
        char text[32];
        const int n = std::snprintf(text, sizeof text, "%04d-%02d-%02d%s", std::abs(y), m, d,
                                    y < 0 ? " BC" : "");
        return ParsePgDate(std::string_view(text, size_t(n)), out);
    };
    QDate parsed;
    for (int y = -4800; y < 5200; ++y) {
        if (y == 0)
            continue; // Qt's years skip 0: -1 is 1 BC
        for (const auto& [m, d] : {std::pair{1, 1}, {2, 28}, {3, 1}, {7, 15}, {12, 31}}) {
            ASSERT_TRUE(parse(y, m, d, &parsed)) << y << '-' << m << '-' << d;
            ASSERT_EQ(parsed, QDate(y, m, d)) << y << '-' << m << '-' << d;
        }
        ASSERT_EQ(parse(y, 2, 29, &parsed), QDate::isLeapYear(y)) << y;
        if (QDate::isLeapYear(y)) {
            ASSERT_EQ(parsed, QDate(y, 2, 29)) << y;
        }
    }
}

TEST(TextValue, ParsersRejectWhatTheServerNeverWrites) {
    QDate d;
    int ms = 0;
    for (const char* bad : {"2024-02-30", "2024-13-01", "24-01-01", "2024-01-01 AD", "2024/01/01",
                            "0000-01-01", "infinity", ""})
        EXPECT_FALSE(ParsePgDate(bad, &d)) << bad;
    for (const char* bad : {"1:00:00", "12:60:00", "12:00:00.", "12:00:00x", "24:00:00", ""})
        EXPECT_FALSE(ParsePgTime(bad, &ms)) << bad;
    for (const char* bad : {"2024-01-01", "2024-01-01 12:00", "2024-01-01 12:00:00+01"})
        EXPECT_FALSE(ParsePgTimestamp(bad, &d, &ms)) << bad;
    qint64 utc = 0;
    EXPECT_FALSE(ParsePgTimestampTzUtc("2024-01-01 12:00:00+1", &utc));
    EXPECT_FALSE(ParsePgTimestampTzUtc("2024-01-01 12:00:00+01 AD", &utc));

    double x = 0;
    EXPECT_TRUE(ParsePgDouble("-1" + std::string(400, '0'), &x));
    EXPECT_EQ(x, -std::numeric_limits<double>::infinity());
    EXPECT_FALSE(ParsePgDouble("1.5x", &x));
    EXPECT_EQ(x, 1.5);

    int i = -1;
    EXPECT_FALSE(ParsePgInt("12x", &i));
    EXPECT_EQ(i, 12);
    EXPECT_FALSE(ParsePgInt("2147483648", &i));
    EXPECT_EQ(i, 0);
    bool b = false;
    EXPECT_FALSE(ParsePgBool("true", &b));
    EXPECT_TRUE(b);
    // An odd or broken hex text goes to libpq, which skips what it cannot read.
    EXPECT_EQ(ByteaFromText("\\x4g41"), QByteArray("A"));
}

TEST(TextValue, UnknownTypesStayText) {
    EXPECT_EQ(VariantFromText("[1,5)", Oid(3904)), QVariant(QStringLiteral("[1,5)")));
    EXPECT_EQ(VariantFromText("12:00:00+02", Oid(1266)), QVariant(QStringLiteral("12:00:00+02")));
    EXPECT_EQ(VariantFromText("Grüße", Oid(25)), QVariant(QStringLiteral("Grüße")));
}

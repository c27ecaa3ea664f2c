#include "UPlantafel.QuerySource.h"

#include "VoskQuery2.h"
#include "VoskQueryStream.h"
#include "VoskTextValue.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <endian.h>
#include <limits>
#include <string_view>

namespace {

// Date-times keep their wall clock so that the dataset needs no zone lookup per row; infinity has
// no place in the dataset and reads as Null. Times and unknown types keep the server's text.
Cds::FieldType CdsType(Oid oid) {
    switch (FieldTypeOfOid(oid)) {
    case TFieldType::SmallInt:
    case TFieldType::Integer: return Cds::FieldType::Integer;
    case TFieldType::LargeInt: return Cds::FieldType::LargeInt;
    case TFieldType::Float: return Cds::FieldType::Float;
    case TFieldType::Numeric: return Cds::FieldType::Currency;
    case TFieldType::Boolean: return Cds::FieldType::Boolean;
    case TFieldType::Date: return Cds::FieldType::Date;
    case TFieldType::DateTime:
    case TFieldType::DateTimeTz: return Cds::FieldType::DateTime;
    default: return Cds::FieldType::String;
    }
}

// A numeric's text as a currency value (four decimals), exactly; false when it has more
// significant decimals, does not fit 64 bits or is not a number (NaN, infinity).
bool ParseCurrency(std::string_view s, qint64* scaled) {
    size_t i = 0;
    const bool negative = !s.empty() && s[0] == '-';
    if (!s.empty() && (s[0] == '-' || s[0] == '+'))
        ++i;
    // Accumulated negative so that the lowest value fits too.
    qint64 v = 0;
    int decimals = -1;
    bool digits = false;
    for (; i < s.size(); ++i) {
        const char c = s[i];
        if (c == '.' && decimals < 0) {
            decimals = 0;
            continue;
        }
        if (c < '0' || c > '9')
            return false;
        digits = true;
        if (decimals >= 4) {
            if (c != '0')
                return false;
            continue;
        }
        if (decimals >= 0)
            ++decimals;
        if (__builtin_mul_overflow(v, 10, &v) || __builtin_sub_overflow(v, c - '0', &v))
            return false;
    }
    if (!digits)
        return false;
    for (int d = std::max(decimals, 0); d < 4; ++d)
        if (__builtin_mul_overflow(v, 10, &v))
            return false;
    if (!negative && v == std::numeric_limits<qint64>::min())
        return false;
    *scaled = negative ? v : -v;
    return true;
}

// Types whose binary form is read below; a result with any other column stays text.
bool BinaryReadable(Oid oid) {
    switch (oid) {
    case 16: case 18: case 19: case 20: case 21: case 23: case 25: case 26: case 700: case 701:
    case 1042: case 1043: case 1082: case 1114: case 1184:
        return true;
    default:
        return false;
    }
}

// Binary forms of one width, never empty.
bool FixedWidth(Oid oid) {
    return BinaryReadable(oid) && oid != 18 && oid != 19 && oid != 25 && oid != 1042 && oid != 1043;
}

template <class T> T BigEndian(const char* p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    if constexpr (sizeof(T) == 2)
        return T(be16toh(std::uint16_t(v)));
    else if constexpr (sizeof(T) == 4)
        return T(be32toh(std::uint32_t(v)));
    else
        return T(be64toh(std::uint64_t(v)));
}

// PostgreSQL counts dates and times from 2000-01-01, Julian day 2451545.
constexpr qint64 kPgEpochJulianDay = 2451545;
constexpr qint64 kUsecsPerDay = 86400000000LL;

// A binary timestamp's day and time of day; false for the infinities, which read as Null as
// their text does. Microseconds are cut to milliseconds, as the text is.
bool PgTimestamp(qint64 us, qint64* julianDay, int* msecsOfDay) {
    if (us == std::numeric_limits<qint64>::max() || us == std::numeric_limits<qint64>::min())
        return false;
    qint64 days = us / kUsecsPerDay;
    qint64 rest = us % kUsecsPerDay;
    if (rest < 0) {
        rest += kUsecsPerDay;
        --days;
    }
    *julianDay = kPgEpochJulianDay + days;
    *msecsOfDay = int(rest / 1000);
    return true;
}

// Scratch of one column of a binary chunk, reused from chunk to chunk.
struct ColumnScratch final {
    std::vector<qint64> I64;
    std::vector<qint32> I32;
    std::vector<double> F64;
    std::vector<quint8> U8;
    std::vector<std::string_view> Text;
    std::vector<quint8> Nulls;
};

// One column of a binary chunk into the batch, its type's decoding hoisted out of the rows.
void AppendBinaryColumn(Cds::ClientDataSet::BatchAppender& batch, const PGresult* chunk, int c,
                        Oid oid, bool fixedWidth, ColumnScratch& x) {
    const int rows = PQntuples(chunk);
    x.Nulls.assign(size_t(rows), 0);
    bool anyNull = false;
    // A value of fixed width is never empty: length 0 is a Null there.
    auto cell = [&](int row) -> const char* {
        const bool null = fixedWidth ? PQgetlength(chunk, row, c) == 0 : PQgetisnull(chunk, row, c);
        x.Nulls[size_t(row)] = null;
        anyNull = anyNull || null;
        return null ? nullptr : PQgetvalue(chunk, row, c);
    };
    auto nulls = [&] { return anyNull ? x.Nulls.data() : nullptr; };
    auto integers = [&](auto& out, auto read) {
        out.resize(size_t(rows));
        for (int row = 0; row < rows; ++row)
            if (const char* p = cell(row))
                out[size_t(row)] = read(p);
        batch.Integers(c, out.data(), nulls());
    };
    switch (oid) {
    case 21: return integers(x.I32, [](const char* p) { return qint32(BigEndian<qint16>(p)); });
    case 23: return integers(x.I32, [](const char* p) { return BigEndian<qint32>(p); });
    case 26: return integers(x.I64, [](const char* p) { return qint64(BigEndian<quint32>(p)); });
    case 20: return integers(x.I64, [](const char* p) { return BigEndian<qint64>(p); });
    case 700:
    case 701:
        x.F64.resize(size_t(rows));
        for (int row = 0; row < rows; ++row)
            if (const char* p = cell(row))
                x.F64[size_t(row)] = oid == 700 ? double(std::bit_cast<float>(BigEndian<quint32>(p)))
                                                : std::bit_cast<double>(BigEndian<quint64>(p));
        return batch.Floats(c, x.F64.data(), nulls());
    case 16:
        x.U8.resize(size_t(rows));
        for (int row = 0; row < rows; ++row)
            if (const char* p = cell(row))
                x.U8[size_t(row)] = p[0] != 0;
        return batch.Booleans(c, x.U8.data(), nulls());
    case 1082:
        x.I32.resize(size_t(rows));
        for (int row = 0; row < rows; ++row)
            if (const char* p = cell(row)) {
                const qint32 days = BigEndian<qint32>(p);
                // The infinities read as Null, as their text does.
                if (days == std::numeric_limits<qint32>::max() ||
                    days == std::numeric_limits<qint32>::min())
                    x.Nulls[size_t(row)] = 1;
                else
                    x.I32[size_t(row)] = qint32(kPgEpochJulianDay + days);
            }
        return batch.Dates(c, x.I32.data(), x.Nulls.data());
    case 1114:
    case 1184:
        x.I64.resize(size_t(rows));
        for (int row = 0; row < rows; ++row)
            if (const char* p = cell(row)) {
                qint64 day = 0;
                int ms = 0;
                if (!PgTimestamp(BigEndian<qint64>(p), &day, &ms)) {
                    x.Nulls[size_t(row)] = 1;
                    continue;
                }
                if (oid == 1184) {
                    // The local wall clock, as the text in the session's zone would give it.
                    const QDateTime local = QDateTime::fromMSecsSinceEpoch(
                        (day - 2440588) * 86400000LL + ms, Qt::LocalTime);
                    day = local.date().toJulianDay();
                    ms = local.time().msecsSinceStartOfDay();
                }
                x.I64[size_t(row)] = day * 86400000LL + ms;
            }
        return batch.DateTimes(c, x.I64.data(), x.Nulls.data());
    default:
        x.Text.resize(size_t(rows));
        for (int row = 0; row < rows; ++row)
            if (const char* p = cell(row))
                x.Text[size_t(row)] = std::string_view(p, size_t(PQgetlength(chunk, row, c)));
        return batch.StringsUtf8(c, x.Text.data(), nulls());
    }
}

} // namespace

TPlantafelQueryRecordSource::TPlantafelQueryRecordSource(TVoskQuery2& query, int chunkRows)
    : m_stream(query.OpenChunks(chunkRows)) {}

void TPlantafelQueryRecordSource::ReadColumns() const {
    if (m_described)
        return;
    const PGresult* res = m_stream->Columns();
    const int n = PQnfields(res);
    bool binary = true;
    for (int c = 0; c < n; ++c) {
        m_oids.push_back(PQftype(res, c));
        m_fields.Add(QString::fromUtf8(PQfname(res, c)), CdsType(m_oids.back()));
        binary = binary && BinaryReadable(m_oids.back());
    }
    // The rest comes binary when every column can be read so: no digits to parse.
    m_stream->SetBinary(binary);
    m_described = true;
}

Cds::FieldDefList TPlantafelQueryRecordSource::Fields() const {
    ReadColumns();
    return m_fields;
}

TPlantafelQueryRecordSource::~TPlantafelQueryRecordSource() = default;

void TPlantafelQueryRecordSource::AppendRowsTo(Cds::ClientDataSet& dst) const {
    ReadColumns();
    const int n = int(m_oids.size());
    std::vector<TFieldType> types(static_cast<size_t>(n));
    std::vector<bool> fixedWidth(static_cast<size_t>(n));
    ColumnScratch scratch;
    for (int c = 0; c < n; ++c) {
        types[size_t(c)] = FieldTypeOfOid(m_oids[size_t(c)]);
        fixedWidth[size_t(c)] = FixedWidth(m_oids[size_t(c)]);
    }
    Cds::ClientDataSet::RowAppender out(dst);
    while (const PGresult* chunk = m_stream->NextChunk()) {
        const int rows = PQntuples(chunk);
        if (n > 0 && PQfformat(chunk, 0) == 1) {
            // A column at a time: each column's decoding runs over all rows of the chunk.
            Cds::ClientDataSet::BatchAppender batch(dst, quint32(rows));
            for (int c = 0; c < n; ++c)
                AppendBinaryColumn(batch, chunk, c, m_oids[size_t(c)], fixedWidth[size_t(c)],
                                   scratch);
            batch.End();
            continue;
        }
        for (int row = 0; row < rows; ++row) {
            out.BeginRow();
            for (int c = 0; c < n; ++c) {
                if (PQgetisnull(chunk, row, c))
                    continue;
                const std::string_view s(PQgetvalue(chunk, row, c),
                                         size_t(PQgetlength(chunk, row, c)));
                QDate d;
                int ms = 0;
                qint64 i = 0;
                double f = 0;
                switch (types[size_t(c)]) {
                case TFieldType::SmallInt:
                case TFieldType::Integer:
                case TFieldType::LargeInt:
                    Dunmere::ParsePgInt64(s, &i);
                    out.SetInteger(c, i);
                    break;
                case TFieldType::Float:
                    Dunmere::ParsePgDouble(s, &f);
                    out.SetFloat(c, f);
                    break;
                case TFieldType::Numeric:
                    if (!ParseCurrency(s, &i))
                        throw EVoskPlantafelException(
                            QStringLiteral("Der Wert %1 der Spalte '%2' lässt sich nicht genau als "
                                           "Betrag mit höchstens vier Nachkommastellen halten")
                                .arg(QString::fromUtf8(s.data(), qsizetype(s.size())),
                                     m_fields[c].Name));
                    out.SetCurrency(c, Cds::Currency{i});
                    break;
                case TFieldType::Boolean: out.SetBoolean(c, !s.empty() && s[0] == 't'); break;
                case TFieldType::Date:
                    if (Dunmere::ParsePgDate(s, &d))
                        out.SetDate(c, d);
                    break;
                case TFieldType::DateTime:
                    if (Dunmere::ParsePgTimestamp(s, &d, &ms))
                        out.SetDateTime(c, d, ms);
                    break;
                case TFieldType::DateTimeTz:
                    if (Dunmere::ParsePgTimestampTz(s, &d, &ms))
                        out.SetDateTime(c, d, ms);
                    break;
                default: out.SetStringUtf8(c, s);
                }
            }
            out.EndRow();
        }
    }
}

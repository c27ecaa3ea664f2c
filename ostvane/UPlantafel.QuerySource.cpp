#include "UPlantafel.QuerySource.h"

#include "VoskQuery2.h"
#include "VoskQueryStream.h"
#include "VoskTextValue.h"

#include <algorithm>
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

} // namespace

TPlantafelQueryRecordSource::TPlantafelQueryRecordSource(TVoskQuery2& query)
    : m_stream(query.OpenChunks()) {}

void TPlantafelQueryRecordSource::ReadColumns() const {
    if (m_described)
        return;
    const PGresult* res = m_stream->Columns();
    const int n = PQnfields(res);
    for (int c = 0; c < n; ++c) {
        m_oids.push_back(PQftype(res, c));
        m_fields.Add(QString::fromUtf8(PQfname(res, c)), CdsType(m_oids.back()));
    }
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
    for (int c = 0; c < n; ++c)
        types[size_t(c)] = FieldTypeOfOid(m_oids[size_t(c)]);
    Cds::ClientDataSet::RowAppender out(dst);
    while (const PGresult* chunk = m_stream->NextChunk()) {
        const int rows = PQntuples(chunk);
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

#include "UPlantafel.QuerySource.h"

#include "VoskQuery2.h"
#include "VoskQueryStream.h"

#include <charconv>
#include <string_view>

namespace {

Cds::FieldType CdsType(Oid oid) {
    switch (FieldTypeOfOid(oid)) {
    case TFieldType::SmallInt:
    case TFieldType::Integer: return Cds::FieldType::Integer;
    case TFieldType::LargeInt: return Cds::FieldType::LargeInt;
    case TFieldType::Float:
    case TFieldType::Numeric: return Cds::FieldType::Float;
    case TFieldType::Boolean: return Cds::FieldType::Boolean;
    case TFieldType::Date: return Cds::FieldType::Date;
    case TFieldType::DateTime:
    case TFieldType::DateTimeTz: return Cds::FieldType::DateTime;
    default: return Cds::FieldType::String;
    }
}

int Digits(std::string_view s, size_t pos, size_t n) {
    int v = 0;
    for (size_t i = pos; i < pos + n && i < s.size(); ++i)
        v = v * 10 + (s[i] - '0');
    return v;
}

QDate ParseDate(std::string_view s) {
    if (s.size() < 10 || s[4] != '-')
        return {}; // infinity and BC dates
    return QDate(Digits(s, 0, 4), Digits(s, 5, 2), Digits(s, 8, 2));
}

QTime ParseTime(std::string_view s, size_t pos, size_t* end) {
    const int h = Digits(s, pos, 2), mi = Digits(s, pos + 3, 2), se = Digits(s, pos + 6, 2);
    pos += 8;
    int ms = 0;
    if (pos < s.size() && s[pos] == '.') {
        int scale = 100;
        for (++pos; pos < s.size() && s[pos] >= '0' && s[pos] <= '9'; ++pos) {
            ms += (s[pos] - '0') * scale;
            scale /= 10;
        }
    }
    *end = pos;
    return QTime(h, mi, se, ms);
}

QVariant Convert(std::string_view s, Oid oid) {
    switch (FieldTypeOfOid(oid)) {
    case TFieldType::SmallInt:
    case TFieldType::Integer: {
        int v = 0;
        std::from_chars(s.data(), s.data() + s.size(), v);
        return v;
    }
    case TFieldType::LargeInt: {
        qint64 v = 0;
        std::from_chars(s.data(), s.data() + s.size(), v);
        return v;
    }
    case TFieldType::Float:
    case TFieldType::Numeric: {
        double v = 0;
        if (std::from_chars(s.data(), s.data() + s.size(), v).ec != std::errc())
            return QString::fromUtf8(s.data(), qsizetype(s.size())).toDouble();
        return v;
    }
    case TFieldType::Boolean: return !s.empty() && s[0] == 't';
    case TFieldType::Date: {
        const QDate d = ParseDate(s);
        return d.isValid() ? QVariant(d) : QVariant();
    }
    case TFieldType::DateTime: {
        const QDate d = ParseDate(s);
        if (!d.isValid() || s.size() < 19)
            return {};
        size_t end = 0;
        // The dataset keeps wall-clock values; a UTC stamp carries them without a time-zone
        // lookup per row.
        return QDateTime(d, ParseTime(s, 11, &end), Qt::UTC);
    }
    case TFieldType::DateTimeTz: {
        const QDate d = ParseDate(s);
        if (!d.isValid() || s.size() < 19)
            return {};
        size_t pos = 0;
        const QTime t = ParseTime(s, 11, &pos);
        int offset = 0, sign = 1;
        if (pos < s.size() && (s[pos] == '+' || s[pos] == '-')) {
            sign = s[pos] == '-' ? -1 : 1;
            offset = Digits(s, pos + 1, 2) * 3600;
            if (pos + 3 < s.size() && s[pos + 3] == ':')
                offset += Digits(s, pos + 4, 2) * 60;
        }
        const QDateTime local = QDateTime(d, t, Qt::OffsetFromUTC, sign * offset).toLocalTime();
        return QDateTime(local.date(), local.time(), Qt::UTC);
    }
    default: return QString::fromUtf8(s.data(), qsizetype(s.size()));
    }
}

} // namespace

TPlantafelQueryRecordSource::TPlantafelQueryRecordSource(TVoskQuery2& query)
    : m_stream(query.OpenStream(false)) {
    const PGresult* res = m_stream->Columns();
    const int n = PQnfields(res);
    for (int c = 0; c < n; ++c) {
        m_oids.push_back(PQftype(res, c));
        m_fields.Add(QString::fromUtf8(PQfname(res, c)), CdsType(m_oids.back()));
    }
}

TPlantafelQueryRecordSource::~TPlantafelQueryRecordSource() = default;

void TPlantafelQueryRecordSource::AppendRowsTo(Cds::ClientDataSet& dst) const {
    const int n = int(m_oids.size());
    while (const PGresult* row = m_stream->Next()) {
        dst.Append();
        for (int c = 0; c < n; ++c) {
            if (PQgetisnull(row, 0, c))
                continue;
            dst.SetValue(c, Convert(std::string_view(PQgetvalue(row, 0, c),
                                                     size_t(PQgetlength(row, 0, c))),
                                    m_oids[size_t(c)]));
        }
        dst.Post();
    }
}

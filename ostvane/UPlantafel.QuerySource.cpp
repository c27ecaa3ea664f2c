#include "UPlantafel.QuerySource.h"

#include "VoskQuery2.h"
#include "VoskQueryStream.h"
#include "VoskTextValue.h"

#include <string_view>

namespace {

// Date-times keep their wall clock so that the dataset needs no zone lookup per row; infinity has
// no place in the dataset and reads as Null. Times and unknown types keep the server's text.
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

} // namespace

TPlantafelQueryRecordSource::TPlantafelQueryRecordSource(TVoskQuery2& query)
    : m_stream(query.OpenStream(false)) {}

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
    while (const PGresult* row = m_stream->Next()) {
        out.BeginRow();
        for (int c = 0; c < n; ++c) {
            if (PQgetisnull(row, 0, c))
                continue;
            const std::string_view s(PQgetvalue(row, 0, c), size_t(PQgetlength(row, 0, c)));
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
            case TFieldType::Numeric:
                Dunmere::ParsePgDouble(s, &f);
                out.SetFloat(c, f);
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

#include "UPlantafel.QuerySource.h"

#include "VoskQuery2.h"
#include "VoskQueryStream.h"
#include "VoskTextValue.h"

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

// Date-times keep their wall clock, stamped UTC so that the dataset needs no zone lookup per
// row; infinity has no place in the dataset and reads as Null. Times and unknown types keep the
// server's text.
QVariant Convert(std::string_view s, Oid oid) {
    QDate d;
    int ms = 0;
    switch (FieldTypeOfOid(oid)) {
    case TFieldType::Date: return Dunmere::ParsePgDate(s, &d) ? QVariant(d) : QVariant();
    case TFieldType::DateTime:
        if (!Dunmere::ParsePgTimestamp(s, &d, &ms))
            return {};
        return QDateTime(d, QTime::fromMSecsSinceStartOfDay(ms), Qt::UTC);
    case TFieldType::DateTimeTz:
        if (!Dunmere::ParsePgTimestampTz(s, &d, &ms))
            return {};
        return QDateTime(d, QTime::fromMSecsSinceStartOfDay(ms), Qt::UTC);
    case TFieldType::SmallInt:
    case TFieldType::Integer:
    case TFieldType::LargeInt:
    case TFieldType::Float:
    case TFieldType::Numeric:
    case TFieldType::Boolean: return Dunmere::VariantFromText(s, oid);
    default: return QString::fromUtf8(s.data(), qsizetype(s.size()));
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

#include "CdsTypes.h"

#include <cmath>

namespace Cds {

QString FieldTypeName(FieldType type) {
    switch (type) {
    case FieldType::Integer: return QStringLiteral("ftInteger");
    case FieldType::LargeInt: return QStringLiteral("ftLargeint");
    case FieldType::Float: return QStringLiteral("ftFloat");
    case FieldType::Currency: return QStringLiteral("ftCurrency");
    case FieldType::Boolean: return QStringLiteral("ftBoolean");
    case FieldType::String: return QStringLiteral("ftWideString");
    case FieldType::Date: return QStringLiteral("ftDate");
    case FieldType::DateTime: return QStringLiteral("ftDateTime");
    }
    return QStringLiteral("ftUnknown");
}

Currency Currency::FromDouble(double v) { return Currency{qint64(std::llround(v * 10000.0))}; }

namespace {

// Kind order for values of unrelated kinds.
int KindRank(const KeyValue& k) {
    switch (k.index()) {
    case 0: return 1;                 // Null
    case 1: return 0;                 // MinKey
    case 2: return 9;                 // MaxKey
    case 3: case 4: case 5: case 6: return 2; // numbers and Booleans
    case 7: return 3;
    case 8: case 9: return 4;
    }
    return 5;
}

bool IsNumber(const KeyValue& k) { return k.index() >= 3 && k.index() <= 6; }

double AsDouble(const KeyValue& k) {
    if (auto b = std::get_if<bool>(&k))
        return *b ? 1.0 : 0.0;
    if (auto i = std::get_if<qint64>(&k))
        return double(*i);
    if (auto d = std::get_if<double>(&k))
        return *d;
    if (auto c = std::get_if<Currency>(&k))
        return c->ToDouble();
    return 0.0;
}

template <class T> int Cmp(const T& a, const T& b) { return a < b ? -1 : (b < a ? 1 : 0); }

QDateTime AsDateTime(const KeyValue& k) {
    if (auto d = std::get_if<QDate>(&k))
        return QDateTime(*d, QTime(0, 0));
    return std::get<QDateTime>(k);
}

} // namespace

int CompareKeys(const KeyValue& a, const KeyValue& b, bool caseInsensitive) {
    const int ra = KindRank(a), rb = KindRank(b);
    if (ra != rb)
        return ra < rb ? -1 : 1;
    if (ra != 2 && ra != 3 && ra != 4)
        return 0; // both Null, both Min or both Max
    if (IsNumber(a)) {
        auto ia = std::get_if<qint64>(&a);
        auto ib = std::get_if<qint64>(&b);
        if (ia && ib)
            return Cmp(*ia, *ib);
        auto ca = std::get_if<Currency>(&a);
        auto cb = std::get_if<Currency>(&b);
        if (ca && cb)
            return Cmp(ca->Scaled, cb->Scaled);
        const double da = AsDouble(a), db = AsDouble(b);
        if (std::isnan(da) || std::isnan(db))
            return Cmp(std::isnan(da), std::isnan(db));
        return Cmp(da, db);
    }
    if (ra == 3)
        return std::get<QString>(a).compare(std::get<QString>(b), caseInsensitive
                                                                       ? Qt::CaseInsensitive
                                                                       : Qt::CaseSensitive);
    auto da = std::get_if<QDate>(&a);
    auto db = std::get_if<QDate>(&b);
    if (da && db)
        return Cmp(*da, *db);
    return Cmp(AsDateTime(a), AsDateTime(b));
}

KeyValue KeyFromVariant(const QVariant& v) {
    if (!v.isValid() || v.isNull())
        return std::monostate{};
    switch (v.typeId()) {
    case QMetaType::Bool: return v.toBool();
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar: return qint64(v.toLongLong());
    case QMetaType::ULongLong: return qint64(v.toULongLong());
    case QMetaType::Double:
    case QMetaType::Float: return v.toDouble();
    case QMetaType::QDate: return v.toDate();
    case QMetaType::QDateTime: return v.toDateTime();
    default: return v.toString();
    }
}

QVariant VariantFromKey(const KeyValue& k) {
    switch (k.index()) {
    case 3: return std::get<bool>(k);
    case 4: return std::get<qint64>(k);
    case 5: return std::get<double>(k);
    case 6: return std::get<Currency>(k).ToDouble();
    case 7: return std::get<QString>(k);
    case 8: return std::get<QDate>(k);
    case 9: return std::get<QDateTime>(k);
    }
    return {};
}

QString KeyToString(const KeyValue& k) {
    if (std::holds_alternative<MinKey>(k))
        return QStringLiteral("<min>");
    if (std::holds_alternative<MaxKey>(k))
        return QStringLiteral("<max>");
    if (auto d = std::get_if<double>(&k))
        return QString::number(*d, 'g', 17);
    return VariantFromKey(k).toString();
}

} // namespace Cds

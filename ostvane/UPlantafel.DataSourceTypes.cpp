#include "UPlantafel.DataSourceTypes.h"

#include "UnitTable.h"

#include <QRegularExpression>

#include <cmath>
#include <limits>

namespace {

const char* const kSubViewModes[] = {"ptsvmCustom", "ptsvmCalendarWeekGroupedFirstWeekDays",
                                     "ptsvmCalendarWeekGroupedByWeek"};
const char* const kDataSetTypes[] = {"ptdstGrouping", "ptdstData"};
const char* const kAggregationFields[] = {
    "ptfldResource", "ptfldEntity",      "ptfldYear",         "ptfldWeek",         "ptfldDay",
    "ptfldDate",     "ptfldYearAndWeek", "ptfldEntitySortYW", "ptfldEntitySortYWD"};
const char* const kGroupingDepths[] = {"ptglNone",
                                       "ptglYearWeek",
                                       "ptglYearWeekDay",
                                       "ptglResourceYearWeek",
                                       "ptglResourceYearWeekEntity",
                                       "ptglResourceYearWeekDay",
                                       "ptglResourceYearWeekDayEntity"};
const char* const kDepthFlds[] = {"ptgdfDepth", "ptgdfCount"};
const char* const kVarTypes[] = {
    "vtInteger",  "vtBoolean",   "vtChar",       "vtExtended", "vtString",   "vtPointer",
    "vtPChar",    "vtObject",    "vtClass",      "vtWideChar", "vtPWideChar", "vtAnsiString",
    "vtCurrency", "vtVariant",   "vtInterface",  "vtWideString", "vtInt64",  "vtUnicodeString"};

template <size_t N> QString NameOf(const char* const (&names)[N], int v) {
    if (v >= 0 && size_t(v) < N)
        return QString::fromLatin1(names[v]);
    return QString::number(v);
}

[[noreturn]] void TagError(int vtype) {
    throw EVoskPlantafelException::Fmt(QStringLiteral("xtt34022"), VarTypeName(vtype));
}

QString NumberKindName(int t) {
    return t == vtExtended   ? QStringLiteral("Gleitkommawert")
           : t == vtCurrency ? QStringLiteral("Währungswert")
                             : QStringLiteral("Ganzzahlwert");
}

bool IsNumericTag(int t) {
    return t == vtInteger || t == vtExtended || t == vtCurrency || t == vtInt64;
}
bool IsStringTag(int t) {
    return t == vtString || t == vtAnsiString || t == vtWideString || t == vtUnicodeString ||
           t == vtPChar || t == vtPWideChar || t == vtChar || t == vtWideChar;
}

// The numeric content as the item's kind, or nothing when it does not fit.
std::optional<Cds::KeyValue> ConvertNumber(const Cds::KeyValue& v, int toTag) {
    long double x = 0;
    bool integral = true;
    if (auto i = std::get_if<qint64>(&v)) {
        x = *i;
    } else if (auto d = std::get_if<double>(&v)) {
        if (!std::isfinite(*d))
            return std::nullopt;
        x = *d;
        integral = std::floor(*d) == *d;
    } else if (auto c = std::get_if<Cds::Currency>(&v)) {
        x = (long double)(c->Scaled) / 10000.0L;
        integral = c->Scaled % 10000 == 0;
    } else if (auto b = std::get_if<bool>(&v)) {
        x = *b ? 1 : 0;
    } else {
        return std::nullopt;
    }
    switch (toTag) {
    case vtInteger:
        if (!integral || x < std::numeric_limits<qint32>::min() ||
            x > std::numeric_limits<qint32>::max())
            return std::nullopt;
        return qint64(x);
    case vtInt64:
        if (auto i = std::get_if<qint64>(&v))
            return *i;
        if (!integral || x < -9.2233720368547758e18L || x >= 9.2233720368547758e18L)
            return std::nullopt;
        return qint64(x);
    case vtExtended: return double(x);
    case vtCurrency:
        if (x < -9.2e14L || x > 9.2e14L)
            return std::nullopt;
        if (auto c = std::get_if<Cds::Currency>(&v))
            return *c;
        return Cds::Currency{qint64(std::llround(double(x * 10000.0L)))};
    }
    return std::nullopt;
}

} // namespace

QString EnumName(TPlantafelSubViewMode v) { return NameOf(kSubViewModes, int(v)); }
QString EnumName(TPlantafelDataSetType v) { return NameOf(kDataSetTypes, int(v)); }
QString EnumName(TPlantafelAggregationField v) { return NameOf(kAggregationFields, int(v)); }
QString EnumName(TPlantafelGroupingDepth v) { return NameOf(kGroupingDepths, int(v)); }
QString EnumName(TPlantafelGroupingDepthFld v) { return NameOf(kDepthFlds, int(v)); }

QString VarTypeName(int vtype) {
    if (vtype >= 0 && vtype <= vtUnicodeString)
        return QString::fromLatin1(kVarTypes[vtype]);
    return QStringLiteral("VType: %1").arg(vtype);
}

// ------------------------------------------------------------------------------ exceptions

namespace {
int MarkerNumber(const QString& message) {
    static const QRegularExpression re(QStringLiteral("^(?:xtt)?(\\d+)"));
    const auto m = re.match(message);
    return m.hasMatch() ? m.captured(1).toInt() : 0;
}
} // namespace

EVoskPlantafelException::EVoskPlantafelException(const QString& message)
    : EVoskException(message, MarkerNumber(message)) {}

EVoskPlantafelException::EVoskPlantafelException(int textNr)
    : EVoskException(QStringLiteral("xtt%1").arg(textNr), textNr) {}

EVoskPlantafelException EVoskPlantafelException::Fmt(const QString& marker, const QString& name) {
    return EVoskPlantafelException(QStringLiteral("%1 %2").arg(marker, name));
}

// ------------------------------------------------------------------------------ key values

void TVarRecHelper::InitVal(TVarRec& item, int vtype) {
    FinalizeVarRec(item);
    item.VType = vtype;
    switch (vtype) {
    case vtInteger:
    case vtInt64: item.Value = qint64(0); return;
    case vtExtended: item.Value = 0.0; return;
    case vtCurrency: item.Value = Cds::Currency{}; return;
    case vtAnsiString:
    case vtWideString:
    case vtUnicodeString: item.Value = QString(); return;
    default:
        item.VType = vtInteger;
        item.Value = qint64(0);
        TagError(vtype);
    }
}

void TVarRecHelper::FinalizeVarRec(TVarRec& item) { item.Value = std::monostate{}; }

void TVarRecHelper::FinalizeVarRecArray(TVarRecArray& items) {
    for (auto& i : items)
        FinalizeVarRec(i);
    items.clear();
}

void TVarRecHelper::CloneRange(const TVarRecArray& source, int count, int maxLength,
                               TVarRecArray& target) {
    FinalizeVarRecArray(target);
    const int n = std::max(0, std::min({count, maxLength, int(source.size())}));
    target.assign(source.begin(), source.begin() + n);
}

void TVarRecHelper::CopyFromRange(const TVarRecArray& source, int highIndex, bool setVarNull,
                                  TVarRecArray& target) {
    const int copied = std::min({highIndex + 1, int(source.size()), int(target.size())});
    for (int i = 0; i < copied; ++i)
        target[size_t(i)] = source[size_t(i)];
    if (setVarNull)
        for (size_t i = size_t(std::max(copied, 0)); i < target.size(); ++i)
            target[i] = TVarRec{vtVariant, std::monostate{}};
}

bool TVarRecHelper::EqualVarRec(const TVarRec& a, const TVarRec& b) {
    switch (a.VType) {
    case vtInteger: case vtBoolean: case vtChar: case vtExtended: case vtString: case vtPChar:
    case vtWideChar: case vtPWideChar: case vtAnsiString: case vtCurrency: case vtWideString:
    case vtInt64: case vtUnicodeString: case vtVariant:
        break;
    default:
        TagError(a.VType);
    }
    if (a.VType != b.VType)
        return false;
    if (a.VType == vtVariant && (Cds::IsNullKey(a.Value) || Cds::IsNullKey(b.Value)))
        return false;
    if (a.Value.index() != b.Value.index() && !(IsNumericTag(a.VType) || a.VType == vtVariant))
        return false;
    return Cds::CompareKeys(a.Value, b.Value) == 0;
}

void TVarRecHelper::SetMinForRange(TVarRec& item) {
    switch (item.VType) {
    case vtInteger: item.Value = qint64(std::numeric_limits<qint32>::min()); return;
    // The lowest finite value: a padded start key must not cut off zero and negatives.
    case vtExtended: item.Value = std::numeric_limits<double>::lowest(); return;
    case vtCurrency: item.Value = Cds::Currency{std::numeric_limits<qint64>::min()}; return;
    case vtInt64: item.Value = std::numeric_limits<qint64>::min(); return;
    case vtString:
    case vtAnsiString:
    case vtWideString:
    case vtUnicodeString: item.Value = Cds::MinKey{}; return;
    default: TagError(item.VType);
    }
}

void TVarRecHelper::SetMaxForRange(TVarRec& item) {
    switch (item.VType) {
    case vtInteger: item.Value = qint64(std::numeric_limits<qint32>::max()); return;
    case vtExtended: item.Value = std::numeric_limits<double>::max(); return;
    case vtCurrency: item.Value = Cds::Currency{std::numeric_limits<qint64>::max()}; return;
    case vtInt64: item.Value = std::numeric_limits<qint64>::max(); return;
    case vtString:
    case vtAnsiString:
    case vtWideString:
    case vtUnicodeString: item.Value = Cds::MaxKey{}; return;
    default: TagError(item.VType);
    }
}

void TVarRecHelper::SetVal(TVarRec& item, const Cds::ClientDataSet& dataSet, int field) {
    switch (item.VType) {
    case vtInteger:
    case vtExtended:
    case vtCurrency:
    case vtInt64: {
        const Cds::KeyValue k = dataSet.AsKey(field);
        if (Cds::IsNullKey(k)) {
            item.Value = k;
            return;
        }
        auto v = ConvertNumber(k, item.VType);
        if (!v)
            throw EConvertError(
                QStringLiteral("'%1' ist kein gültiger %2 für das Feld '%3'")
                    .arg(dataSet.AsString(field), NumberKindName(item.VType),
                         dataSet.FieldName(field)));
        item.Value = *v;
        return;
    }
    case vtAnsiString:
    case vtWideString:
    case vtUnicodeString:
        if (dataSet.IsNull(field))
            item.Value = std::monostate{};
        else
            item.Value = dataSet.AsString(field);
        return;
    default: TagError(item.VType);
    }
}

void TVarRecHelper::SetVal(TVarRec& item, const TVarRec& value) {
    if (item.VType == value.VType || std::holds_alternative<Cds::MinKey>(value.Value) ||
        std::holds_alternative<Cds::MaxKey>(value.Value) || Cds::IsNullKey(value.Value)) {
        item.Value = value.Value;
        return;
    }
    // A key of another numeric kind is converted rather than silently kept stale.
    if (IsNumericTag(item.VType)) {
        if (auto v = ConvertNumber(value.Value, item.VType)) {
            item.Value = *v;
            return;
        }
        if (IsNumericTag(value.VType))
            throw EConvertError(QStringLiteral("'%1' ist kein gültiger %2")
                                    .arg(Cds::KeyToString(value.Value), NumberKindName(item.VType)));
    } else if (IsStringTag(item.VType) && IsStringTag(value.VType) &&
               std::holds_alternative<QString>(value.Value)) {
        const QString& s = std::get<QString>(value.Value);
        if ((item.VType != vtChar && item.VType != vtWideChar) || s.size() == 1) {
            item.Value = s;
            return;
        }
    } else if (item.VType == vtVariant) {
        item.Value = value.Value;
        return;
    }
    TagError(value.VType);
}

Cds::KeyList TVarRecHelper::ToKeys(const TVarRecArray& items) {
    Cds::KeyList keys;
    keys.reserve(items.size());
    for (const auto& i : items)
        keys.push_back(i.Value);
    return keys;
}

// ------------------------------------------------------------------------------ interface

TPlantafelCustomDataSourceDataSetImpl::TPlantafelCustomDataSourceDataSetImpl(
    QString originFullName, std::unique_ptr<Cds::ClientDataSet> dataSet)
    : m_origin(std::move(originFullName)), m_dataSet(std::move(dataSet)) {}

TPlantafelCustomDataSourceDataSetImpl::~TPlantafelCustomDataSourceDataSetImpl() {
    if (m_dataSet)
        m_dataSet->Close();
}

// ------------------------------------------------------------------------------ params

int TPlantafelParams::IndexOf(const QString& name) const {
    for (size_t i = 0; i < m_items.size(); ++i)
        if (m_items[i].Name.compare(name, Qt::CaseInsensitive) == 0)
            return int(i);
    return -1;
}

const TParam* TPlantafelParams::FindParam(const QString& name) const {
    const int i = IndexOf(name);
    return i < 0 ? nullptr : &m_items[size_t(i)];
}

void TPlantafelParams::Changing() {
    if (OnChanging)
        OnChanging(*this);
}

void TPlantafelParams::Add(const QString& name, Cds::FieldType type, const QVariant& value) {
    Changing();
    m_items.push_back({name, type, value});
}

void TPlantafelParams::Delete(int index) {
    if (index < 0 || index >= Count())
        return;
    Changing();
    m_items.erase(m_items.begin() + index);
}

void TPlantafelParams::SetValue(int index, const QVariant& value) {
    if (index < 0 || index >= Count())
        return;
    Changing();
    m_items[size_t(index)].Value = value;
}

void TPlantafelParams::Clear() {
    if (m_items.empty())
        return;
    Changing();
    m_items.clear();
}

void TPlantafelParams::Assign(const TPlantafelParams& other) {
    if (&other == this)
        return;
    Changing();
    m_items = other.m_items;
}

KORVEX_UNIT("ostvane", "UPlantafel.DataSourceTypes", nullptr, nullptr);

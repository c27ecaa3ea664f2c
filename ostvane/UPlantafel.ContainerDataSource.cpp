#include "UPlantafel.ContainerDataSource.h"

#include "UDM1.h"
#include "UPantafel.ExprParser.h"
#include "UPlantafel.QuerySource.h"
#include "VoskQuery2.h"

#include <QDate>

#include <algorithm>
#include <bit>
#include <limits>
#include <optional>
#include <unordered_map>

namespace {

const QString kCoreSql = QStringLiteral("PT.TPlantafelContainerDataSource_Core");
const QString kInfoSql = QStringLiteral("PT.TPlantafelContainerDataSource_Info");
const QString kMacroPre = QStringLiteral("_AggregateAndGroupingFields_PRE");
const QString kMacroDat = QStringLiteral("_AggregateAndGroupingFields_DAT");
const QString kMacroResIds = QStringLiteral("_ResourceIDSelect");
const QString kParamStart = QStringLiteral("_AssumedNow");
const QString kParamEnd = QStringLiteral("_EndDateTime");
const QString kProfiling = QStringLiteral("PT[Profiling]");
const QString kCrLf = QStringLiteral("\r\n");

bool SameName(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

QString NameOfLine(const QString& line) {
    const qsizetype eq = line.indexOf(u'=');
    return eq < 0 ? line : line.left(eq);
}

QString TrimRight(const QString& s) {
    qsizetype n = s.size();
    while (n > 0 && s.at(n - 1).isSpace())
        --n;
    return s.left(n);
}

QString FillTemplate(const QStringList& lines, const QStringList& names, bool lastBreak) {
    QString out;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        out += QStringLiteral("  ") + QString(lines[i]).replace(QStringLiteral("%s"), names[i]);
        if (i + 1 < lines.size() || lastBreak)
            out += kCrLf;
    }
    return out;
}

// The parameter's value as its declared type: the server sees that type, not the one the value
// happened to be given in. A value that does not convert is refused naming the parameter.
QVariant TypedParamValue(const TParam& p) {
    QMetaType type;
    switch (p.DataType) {
    case Cds::FieldType::Integer: type = QMetaType::fromType<int>(); break;
    case Cds::FieldType::LargeInt: type = QMetaType::fromType<qlonglong>(); break;
    case Cds::FieldType::Float:
    case Cds::FieldType::Currency: type = QMetaType::fromType<double>(); break;
    case Cds::FieldType::Boolean: type = QMetaType::fromType<bool>(); break;
    case Cds::FieldType::String: type = QMetaType::fromType<QString>(); break;
    case Cds::FieldType::Date: type = QMetaType::fromType<QDate>(); break;
    case Cds::FieldType::DateTime: type = QMetaType::fromType<QDateTime>(); break;
    }
    if (!p.Value.isValid() || p.Value.isNull())
        return QVariant(type);
    QVariant v = p.Value;
    if (v.metaType() == type)
        return v;
    bool ok = v.convert(type) && !v.isNull();
    if (ok && (type == QMetaType::fromType<int>() || type == QMetaType::fromType<qlonglong>())) {
        // QVariant rounds "1.5" and 1.5 into integers; a parameter keeps what it was given.
        bool exact = false;
        const double d = p.Value.toDouble(&exact);
        ok = !exact || d == double(v.toLongLong());
    }
    if (!ok)
        throw EVoskPlantafelException(
            QStringLiteral("Der Wert '%1' des Parameters '%2' ist kein gültiger Wert vom Typ %3")
                .arg(p.Value.toString(), p.Name, Cds::FieldTypeName(p.DataType)));
    return v;
}

// An entity's key within one numbering range: null entities count as one.
struct EntityKey final {
    int kind = 0; // 0 null, 1 integer, 2 other
    qint64 number = 0;
    QString text;
    bool operator==(const EntityKey&) const = default;
};
struct EntityKeyHash final {
    size_t operator()(const EntityKey& k) const {
        return k.kind == 2 ? qHash(k.text) : std::hash<qint64>()(k.number * 3 + k.kind);
    }
};
EntityKey KeyOf(const Cds::KeyValue& v) {
    if (Cds::IsNullKey(v))
        return {};
    if (const qint64* i = std::get_if<qint64>(&v))
        return {1, *i, {}};
    return {2, 0, Cds::KeyToString(v)};
}

// Numbers the entities of each range along `order` (rows of one range lie together): an
// entity gets the running counter's value at its first unnumbered row; every row of the range
// whose entity got a number takes it.
template <class Key, class Hash = std::hash<Key>, class Same, class KeyAt, class Unnumbered>
void NumberAlong(const std::vector<quint32>& order, std::vector<int>& out, Same sameRange,
                 KeyAt keyAt, Unnumbered unnumbered) {
    int counter = 0;
    std::unordered_map<Key, int, Hash> numbered;
    std::vector<std::pair<quint32, Key>> rangeRows;
    auto flush = [&] {
        for (auto& [row, key] : rangeRows)
            if (auto it = numbered.find(key); it != numbered.end())
                out[row] = it->second;
        rangeRows.clear();
        numbered.clear();
    };
    for (size_t i = 0; i < order.size(); ++i) {
        const quint32 row = order[i];
        if (i > 0 && !sameRange(order[i - 1], row))
            flush();
        Key key = keyAt(row);
        if (unnumbered(row) && !numbered.count(key))
            numbered.emplace(key, counter++);
        rangeRows.emplace_back(row, std::move(key));
    }
    flush();
}

// NumberAlong for dense integer entities: an array by entity remembers the range an entity was
// last numbered in and its number, where a hash map per range would cost a lookup per row.
template <class Same, class Unnumbered>
void NumberAlongDense(const std::vector<quint32>& order, std::vector<int>& out, Same sameRange,
                      const std::vector<quint32>& entityCode, quint32 codes,
                      Unnumbered unnumbered) {
    int counter = 0;
    quint32 range = 0;
    std::vector<quint32> numberedIn(codes, 0); // range + 1; 0 = never
    std::vector<int> number(codes, 0);
    size_t rangeStart = 0;
    auto flush = [&](size_t end) {
        for (size_t k = rangeStart; k < end; ++k) {
            const quint32 row = order[k];
            const quint32 e = entityCode[row];
            if (numberedIn[e] == range + 1)
                out[row] = number[e];
        }
        rangeStart = end;
    };
    for (size_t i = 0; i < order.size(); ++i) {
        const quint32 row = order[i];
        if (i > 0 && !sameRange(order[i - 1], row)) {
            flush(i);
            ++range;
        }
        const quint32 e = entityCode[row];
        if (numberedIn[e] != range + 1 && unnumbered(row)) {
            numberedIn[e] = range + 1;
            number[e] = counter++;
        }
    }
    flush(order.size());
}

} // namespace

// A master row reduced to what numbering reads, so that the walk in index order touches one
// small record per row instead of several columns.
struct TPlantafelContainerDataSource::PackedRow final {
    quint64 Range = 0;      // resource, year, week, day codes, the day lowest
    qint32 Entity = 0;      // entity id; Null as the lowest int (ids are 32-bit)
    quint8 Unnumbered = 0;  // bit 0: week number still -1, bit 1: day number still -1
};

// Empty when a range field or the entity is not a 32-bit integer, or the codes do not fit
// 64 bits; numbering then reads the dataset directly. *dayBits: the width of the day's code.
std::vector<TPlantafelContainerDataSource::PackedRow> TPlantafelContainerDataSource::PackRows(
    const Cds::ClientDataSet& master, const std::array<int, 4>& rangeFields, int entity,
    const int (&columns)[2], unsigned* dayBits) {
    std::vector<PackedRow> rows;
    for (int f : rangeFields)
        if (master.GetFieldType(f) != Cds::FieldType::Integer)
            return rows;
    if (master.GetFieldType(entity) != Cds::FieldType::Integer)
        return rows;
    constexpr qint64 kNull = std::numeric_limits<qint64>::min();
    std::vector<qint64> values;
    rows.resize(size_t(master.RecordCount()));
    unsigned used = 0;
    // The day is packed first, into the lowest bits, so that shifting it out leaves the week.
    for (int i = 3; i >= 0; --i) {
        master.ReadIntegers(rangeFields[size_t(i)], values, kNull);
        qint64 lo = std::numeric_limits<qint64>::max(), hi = std::numeric_limits<qint64>::min();
        for (qint64 v : values)
            if (v != kNull) {
                lo = std::min(lo, v);
                hi = std::max(hi, v);
            }
        if (lo > hi)
            lo = hi = 0;
        const unsigned bits = unsigned(std::bit_width(quint64(hi - lo) + 1));
        if (used + bits > 64)
            return {};
        for (size_t r = 0; r < rows.size(); ++r) {
            const quint64 code = values[r] == kNull ? 0 : quint64(values[r] - lo) + 1;
            rows[r].Range |= code << used;
        }
        if (i == 3)
            *dayBits = bits;
        used += bits;
    }
    master.ReadIntegers(entity, values, kNull);
    for (size_t r = 0; r < rows.size(); ++r)
        rows[r].Entity = values[r] == kNull ? std::numeric_limits<qint32>::min() : qint32(values[r]);
    for (int pass = 0; pass < 2; ++pass) {
        master.ReadIntegers(columns[pass], values, kNull);
        for (size_t r = 0; r < rows.size(); ++r)
            if (values[r] == -1)
                rows[r].Unnumbered |= quint8(1u << pass);
    }
    return rows;
}


// ---- string list

QString TPlantafelStringList::Text() const {
    QString out;
    for (const QString& l : m_lines)
        out += l + kCrLf;
    return out;
}

void TPlantafelStringList::SetLines(const QStringList& lines) {
    if (OnChanging)
        OnChanging();
    m_lines = lines;
}

void TPlantafelStringList::Add(const QString& line) {
    if (OnChanging)
        OnChanging();
    m_lines << line;
}

void TPlantafelStringList::Clear() {
    if (OnChanging)
        OnChanging();
    m_lines.clear();
}

// ---- construction

TPlantafelContainerDataSource::TPlantafelContainerDataSource(QObject* owner)
    : QObject(owner),
      FMasterRecords(std::make_unique<Cds::ClientDataSet>()),
      FMasterRecordsEx(std::make_unique<Cds::ClientDataSet>()) {
    FMasterRecords->SetName(PlantafelComponentName(QStringLiteral("CDSMasterRecords"), QString(),
                                                   &FMasterRecords));
    FMasterRecordsEx->SetName(PlantafelComponentName(QStringLiteral("CDSMasterRecordsEx"),
                                                     QString(), &FMasterRecordsEx));
    FResIDSelectSQL.OnChanging = [this] { OnChanging_ResIDSelectSQL(); };
    FAdditionalMacros.OnChanging = [this] { OnChanging_AdditionalMacros(); };
    FAdditionalParams.OnChanging = [this](TPlantafelParams&) { OnChanging_AdditionalParams(); };
    const int year = QDate::currentDate().year();
    FStartDate = QDateTime(QDate(year, 1, 1), QTime(0, 0));
    FEndDate = QDateTime(QDate(year, 12, 31), QTime(0, 0));
    SetMappings();
}

TPlantafelContainerDataSource::~TPlantafelContainerDataSource() {
    try {
        SetActive(false);
    } catch (...) {
        // a destructor never throws; the groups are freed below anyway
    }
    FResIDSelectSQL.OnChanging = nullptr;
    FAdditionalMacros.OnChanging = nullptr;
    FAdditionalParams.OnChanging = nullptr;
    ClearGroups();
}

void TPlantafelContainerDataSource::OnChanging_ResIDSelectSQL() { SetActive(false); }
void TPlantafelContainerDataSource::OnChanging_AdditionalMacros() { SetActive(false); }
void TPlantafelContainerDataSource::OnChanging_AdditionalParams() { SetActive(false); }

// ---- state

void TPlantafelContainerDataSource::SetActive(bool active) {
    if (active == FActive)
        return;
    if (!active) {
        FActive = false;
        for (auto& g : FGroups)
            g->SetActive(false);
        return;
    }
    InternalOpen();
    FActive = true;
    try {
        for (auto& g : FGroups)
            g->SetActive(true);
    } catch (...) {
        // A group that fails to build takes the others down with it: half a board misleads.
        FActive = false;
        for (auto& g : FGroups) {
            try {
                g->SetActive(false);
            } catch (...) {
            }
        }
        throw;
    }
}

void TPlantafelContainerDataSource::SetStartDate(const QDateTime& value) {
    if (value == FStartDate)
        return;
    const bool was = FActive;
    SetActive(false);
    FStartDate = value;
    SetActive(was);
}

void TPlantafelContainerDataSource::SetEndDate(const QDateTime& value) {
    if (value == FEndDate)
        return;
    const bool was = FActive;
    SetActive(false);
    FEndDate = value;
    SetActive(was);
}

void TPlantafelContainerDataSource::SetResIDSelectSQL(const QStringList& lines) {
    if (lines == FResIDSelectSQL.Lines())
        return;
    const bool was = FActive;
    SetActive(false);
    FResIDSelectSQL.SetLines(lines);
    SetActive(was);
}

void TPlantafelContainerDataSource::SetAdditionalMacros(const QStringList& lines) {
    SetActive(false);
    FAdditionalMacros.SetLines(lines);
}

void TPlantafelContainerDataSource::SetAdditionalParams(const TPlantafelParams& params) {
    SetActive(false);
    FAdditionalParams.Clear();
    FAdditionalParams.Assign(params);
}

// ---- groups and sources

TPlantafelSubViewDataSource* TPlantafelContainerDataSource::GetSubViewDataSource(
    int groupIndex, int resourceId) const {
    TPlantafelSubViewGroup* g = GetGroup(groupIndex);
    return g ? g->GetSubViewDataSource(resourceId) : nullptr;
}

TPlantafelSubViewDataSource* TPlantafelContainerDataSource::GetSubViewDataSource(
    const QString& groupName, int resourceId) const {
    TPlantafelSubViewGroup* g = GetGroup(groupName);
    return g ? g->GetSubViewDataSource(resourceId) : nullptr;
}

TPlantafelSubViewDataSource* TPlantafelContainerDataSource::GetSubViewDataSourceByIndex(
    int groupIndex, int index) const {
    TPlantafelSubViewGroup* g = GetGroup(groupIndex);
    return g ? g->SubViewDataSourceByIndex(index) : nullptr;
}

TPlantafelSubViewGroup* TPlantafelContainerDataSource::GetGroup(const QString& name) const {
    for (const auto& g : FGroups)
        if (g->Name() == name)
            return g.get();
    return nullptr;
}

TPlantafelSubViewGroup* TPlantafelContainerDataSource::GetGroup(int index) const {
    return index >= 0 && index < int(FGroups.size()) ? FGroups[size_t(index)].get() : nullptr;
}

int TPlantafelContainerDataSource::GetGroupCount() const { return int(FGroups.size()); }

int TPlantafelContainerDataSource::GetSubViewDataSourceCount(int groupIndex) const {
    TPlantafelSubViewGroup* g = GetGroup(groupIndex);
    return g ? g->SubViewDataSourceCount() : 0;
}

void TPlantafelContainerDataSource::ClearGroups() {
    while (!FGroups.empty()) {
        std::unique_ptr<TPlantafelSubViewGroup> g = std::move(FGroups.back());
        FGroups.pop_back();
        g->SetActive(false);
    }
}

bool TPlantafelContainerDataSource::HasGroup(const QString& name) const {
    return GetGroup(name) != nullptr;
}

TPlantafelSubViewGroup* TPlantafelContainerDataSource::AddGroup(const QString& name,
                                                                const GroupFactory& groupClass) {
    if (HasGroup(name))
        throw EVoskPlantafelException::Fmt(QStringLiteral("34026"), name);
    const bool was = FActive;
    SetActive(false);
    FGroups.push_back(groupClass(*this, name));
    TPlantafelSubViewGroup* g = FGroups.back().get();
    SetActive(was);
    return g;
}

TPlantafelSubViewGroup* TPlantafelContainerDataSource::AddGroup(const QString& name) {
    return AddGroup(name, [](TPlantafelContainerDataSource& c, const QString& n) {
        return std::make_unique<TPlantafelSubViewGroup>(c, n);
    });
}

TPlantafelSubViewDataSource* TPlantafelContainerDataSource::AddSubViewDataSource(
    const QString& groupName, int resourceId) {
    const bool was = FActive;
    TPlantafelSubViewGroup* g = GetGroup(groupName);
    if (!g) {
        // Down while the new group gets its source, so that coming up again activates both.
        SetActive(false);
        g = AddGroup(groupName);
    }
    TPlantafelSubViewDataSource* s = g->AddSubViewDataSource(resourceId);
    SetActive(was);
    return s;
}

void TPlantafelContainerDataSource::RemoveSubViewDataSource(const QString& groupName,
                                                            int resourceId) {
    SetActive(false);
    if (TPlantafelSubViewGroup* g = GetGroup(groupName))
        g->RemoveSubViewDataSource(resourceId);
}

void TPlantafelContainerDataSource::ClearSubViewDataSources(const QString& groupName) {
    SetActive(false);
    if (TPlantafelSubViewGroup* g = GetGroup(groupName))
        g->ClearSubViewDataSources();
}

void TPlantafelContainerDataSource::SetResIDSelectSQLFromUsedResources() {
    QStringList ids;
    for (const auto& g : FGroups)
        for (int i = 0; i < g->SubViewDataSourceCount(); ++i)
            ids << QString::number(g->SubViewDataSourceByIndex(i)->ResourceID());
    const QString list = ids.isEmpty() ? QStringLiteral("-1") : ids.join(QStringLiteral(", "));
    FResIDSelectSQL.SetLines({u' ' + list + u' '});
}

QVariant TPlantafelContainerDataSource::GetUniqueKey(const Cds::ClientDataSet& dataSet) const {
    return dataSet.Value(dataSet.FieldIndex(FMappingRecordID.Name));
}

QString TPlantafelContainerDataSource::GetFldNameResourceID() const {
    return FMappingAggFlds[ptfldResource].Name;
}

QString TPlantafelContainerDataSource::GetFldNameRecordID() const {
    return FMappingRecordID.Name;
}

// ---- open

void TPlantafelContainerDataSource::SetMappings() {
    FMappingRecordID = {QStringLiteral("ti_id"), -1};
    FMappingSortFld = {TFieldMappingInfo{QStringLiteral("ti_date_start"), -1},
                       TFieldMappingInfo{QStringLiteral("_entityidsortyw"), -1},
                       TFieldMappingInfo{QStringLiteral("_entityidsortywd"), -1}};
    static const char* const names[kPlantafelAggregationFieldCount] = {
        "_resourceid", "_entityid", "_year", "_week", "_dayy",
        "_date", "_yweek", "_entityidsortyw", "_entityidsortywd"};
    for (int f = 0; f < kPlantafelAggregationFieldCount; ++f)
        FMappingAggFlds[size_t(f)] = {QString::fromLatin1(names[f]), -1};
}

void TPlantafelContainerDataSource::CheckReservedNames() const {
    // Both sides folded: a caller's "_resourceidselect" must not replace the restriction.
    for (const QString& line : FAdditionalMacros.Lines()) {
        const QString name = NameOfLine(line);
        for (const QString& reserved : {kMacroPre, kMacroDat, kMacroResIds})
            if (SameName(name.trimmed(), reserved))
                throw EVoskPlantafelException(QStringLiteral("xtt34027 (%1, %2)")
                                                  .arg(name, ClassName()));
    }
    for (int i = 0; i < FAdditionalParams.Count(); ++i) {
        const QString& name = FAdditionalParams[i].Name;
        for (const QString& reserved : {kParamStart, kParamEnd})
            if (SameName(name.trimmed(), reserved))
                throw EVoskPlantafelException(QStringLiteral("xtt34028 (%1, %2)")
                                                  .arg(name, ClassName()));
    }
}

void TPlantafelContainerDataSource::PrepareQuery(TVoskQuery2& query, const QString& key,
                                                 const QString& pre, const QString& dat,
                                                 const QString& start, const QString& end) {
    query.Close();
    if (TDM1* dm = DM1())
        query.SetDatabase(&dm->Database());
    query.SetSQLByKey(key);
    if (query.FindMacro(kMacroPre))
        query.SetMacro(kMacroPre, pre);
    if (query.FindMacro(kMacroDat))
        query.SetMacro(kMacroDat, dat);
    if (query.FindMacro(kMacroResIds))
        query.SetMacro(kMacroResIds, TrimRight(FResIDSelectSQL.Text()));
    for (const QString& line : FAdditionalMacros.Lines()) {
        const qsizetype eq = line.indexOf(u'=');
        const QString name = eq < 0 ? line : line.left(eq);
        if (query.FindMacro(name))
            query.SetMacro(name, eq < 0 ? QString() : line.mid(eq + 1));
    }
    query.ParamByName(kParamStart).SetValue(start);
    query.ParamByName(kParamEnd).SetValue(end);
    for (int i = 0; i < FAdditionalParams.Count(); ++i)
        if (TVoskParam* p = query.FindParam(FAdditionalParams[i].Name))
            p->SetValue(TypedParamValue(FAdditionalParams[i]));
}

void TPlantafelContainerDataSource::InternalOpen() {
    std::lock_guard lock(FLockEx);
    if (m_profiling)
        TKorvexLog::UserLog(kProfiling, QStringLiteral("TPlantafelContainerDataSource.InternalOpen started"), 4);
    SetMappings();
    if (FStartDate > FEndDate)
        throw EVoskPlantafelException(
            QString::fromUtf8(kPlantafelSpanReversed)
                .arg(FStartDate.toString(QStringLiteral("dd.MM.yyyy hh:mm")),
                     FEndDate.toString(QStringLiteral("dd.MM.yyyy hh:mm"))));
    const QString start = FStartDate.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    const QString end = FEndDate.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    const QStringList names{FMappingAggFlds[ptfldResource].Name,
                            FMappingAggFlds[ptfldYear].Name,
                            FMappingAggFlds[ptfldWeek].Name,
                            FMappingAggFlds[ptfldDay].Name,
                            FMappingAggFlds[ptfldDate].Name,
                            FMappingAggFlds[ptfldYearAndWeek].Name,
                            FMappingAggFlds[ptfldEntitySortYW].Name,
                            FMappingAggFlds[ptfldEntitySortYWD].Name,
                            FMappingAggFlds[ptfldEntity].Name};
    const QString pre = FillTemplate(
        {QStringLiteral("scheduling.resource_timeline.ti_resource_id AS %s,"),
         QStringLiteral("0::int AS %s,"), QStringLiteral("0::int AS %s,"),
         QStringLiteral("0::int AS %s,"),
         QStringLiteral("scheduling.resource_timeline.ti_date_start::DATE AS %s,"),
         QStringLiteral("0::int AS %s,"), QStringLiteral("-1::int AS %s,"),
         QStringLiteral("-1::int AS %s,"),
         QStringLiteral("scheduling.resource_timeline.ti_a2_id AS %s")},
        names, true);
    const QString dat = FillTemplate(
        {QStringLiteral("scheduling.resource_timeline.ti_resource_id AS %s,"),
         QStringLiteral("to_char( ti_date_start, 'IYYY' )::int AS %s,"),
         QStringLiteral("to_char( ti_date_start, 'IW' )::int AS %s,"),
         QStringLiteral("to_char( ti_date_start, 'IDDD' )::int AS %s,"),
         QStringLiteral("scheduling.resource_timeline.ti_date_start::DATE AS %s,"),
         QStringLiteral("to_char( ti_date_start, 'IYYYIW' )::int AS %s,"),
         QStringLiteral("-1::int AS %s,"), QStringLiteral("-1::int AS %s,"),
         QStringLiteral("scheduling.resource_timeline.ti_a2_id AS %s")},
        names, false);
    CheckReservedNames();

    // From here on a failure leaves nothing behind that looks loaded.
    try {
        auto query = std::make_unique<TVoskQuery2>();
        PrepareQuery(*query, kCoreSql, pre, dat, start, end);
        {
            TPlantafelQueryRecordSource core(*query);
            TPlantafelDataContainer::OpenCDSFrom(core, *FMasterRecords, false, nullptr, nullptr);
        }
        FMasterRecords->DisableControls();
        FMasterRecords->SetLogChanges(false);

        // The information query goes out now; the server works on it while the rows read so
        // far are numbered and indexed.
        std::unique_ptr<TPlantafelQueryRecordSource> info;
        if (!FNextOpenWithoutEx) {
            PrepareQuery(*query, kInfoSql, pre, dat, start, end);
            info = std::make_unique<TPlantafelQueryRecordSource>(*query);
        }

        Cds::ClientDataSet& m = *FMasterRecords;
        FMappingRecordID.Index = m.FieldIndex(FMappingRecordID.Name);
        for (auto& f : FMappingSortFld)
            f.Index = m.FieldIndex(f.Name);
        for (auto& f : FMappingAggFlds)
            f.Index = m.FieldIndex(f.Name);
        FMappingSortEx = {m.FieldIndex(QStringLiteral("ti_conflicted")),
                          m.FieldIndex(QStringLiteral("a2_ab_ix")),
                          m.FieldIndex(QStringLiteral("a2_n"))};
        FExLinkMasterFldIdx = m.FieldIndex(QStringLiteral("ti_a2_id"));

        CalcEntitySorted();

        TPlantafelAggregation sorting;
        TPlantafelDataContainer::CreateIndexCDS(
            m, sorting, QStringLiteral("idx_master"),
            {FMappingAggFlds[ptfldResource].Index, FMappingAggFlds[ptfldYear].Index,
             FMappingAggFlds[ptfldWeek].Index, FMappingAggFlds[ptfldDay].Index,
             FMappingAggFlds[ptfldEntitySortYW].Index},
            {}, 0, FMappingAggFlds);
        // The rows as this index orders them, which is how the grid's rows follow each other:
        // a read along the grid then goes through memory in order, not a miss a row.
        if (m.StoreUseCount() == 1)
            m.ReorderRows(m.VisibleRowIds());

        if (info) {
            LoadMasterRecordsEx(*info);
            info.reset();
            FMasterRecordsExSrc = std::move(query);
        }
        FNextOpenWithoutEx = false;

        FFldLookUpEx.clear();
        if (FMasterRecordsEx->Active())
            for (int i = 0; i < FMasterRecordsEx->FieldCount(); ++i)
                FFldLookUpEx.emplace(FMasterRecordsEx->FieldName(i).toLower(), i);
    } catch (...) {
        FNextOpenWithoutEx = false;
        TPlantafelDataContainer::CloseCDS(*FMasterRecords);
        TPlantafelDataContainer::CloseCDS(*FMasterRecordsEx);
        FMasterRecordsExSrc.reset();
        FFldLookUpEx.clear();
        throw;
    }
    if (m_profiling)
        TKorvexLog::UserLog(kProfiling,
                            QStringLiteral("TPlantafelContainerDataSource.InternalOpen done (%1 rows)")
                                .arg(FMasterRecords->RecordCount()),
                            4);
}

void TPlantafelContainerDataSource::CalcEntitySorted() {
    Cds::ClientDataSet& master = *FMasterRecords;
    const int res = FMappingAggFlds[ptfldResource].Index, year = FMappingAggFlds[ptfldYear].Index,
              week = FMappingAggFlds[ptfldWeek].Index, day = FMappingAggFlds[ptfldDay].Index,
              entity = FMappingAggFlds[ptfldEntity].Index;
    const int start = FMappingSortFld[0].Index, sortYW = FMappingSortFld[1].Index,
              sortYWD = FMappingSortFld[2].Index;
    const QString tail = QStringLiteral(";%1;%2;%3;%4")
                             .arg(master.FieldName(start), master.FieldName(FMappingSortEx[0]),
                                  master.FieldName(FMappingSortEx[1]),
                                  master.FieldName(FMappingSortEx[2]));
    const QString ywFields = QStringLiteral("%1;%2;%3")
                                 .arg(master.FieldName(res), master.FieldName(year),
                                      master.FieldName(week));
    const int rows = master.RecordCount();
    if (rows == 0 || NumberFromColumns())
        return;

    // Walks the sorted rows once per range kind. Rows of one range lie together in the index, so
    // one small map per range gives each entity the counter value of its first unnumbered row;
    // the counter runs on across ranges. Rows whose entity got no number keep their value (-2).
    Cds::ClientDataSet sorter(PlantafelComponentName(QStringLiteral("CDSSort"), QString(), this));
    sorter.CloneCursor(master, true);
    sorter.IndexDefs().Add(QStringLiteral("idx_def_sorting_YW"), ywFields + tail, {}, 4);
    sorter.IndexDefs().Add(QStringLiteral("idx_def_sorting_YWD"),
                           ywFields + u';' + master.FieldName(day) + tail, {}, 5);
    const int columns[2] = {sortYW, sortYWD};
    std::vector<int> numbers[2];
    unsigned dayBits = 0;
    // The week order first: its sort needs the most memory, and the packed rows are not yet
    // held then.
    sorter.SetIndexName(QStringLiteral("idx_def_sorting_YW"));
    std::vector<quint32> order = sorter.VisibleRowIds();
    const std::vector<PackedRow> packed =
        PackRows(master, {res, year, week, day}, entity, columns, &dayBits);
    // Entity ids that span no more than a few times the row count get array slots of their own.
    std::vector<quint32> entityCode;
    quint32 entityCodes = 0;
    if (!packed.empty()) {
        qint64 lo = std::numeric_limits<qint64>::max(), hi = std::numeric_limits<qint64>::min();
        for (const PackedRow& p : packed) {
            lo = std::min<qint64>(lo, p.Entity);
            hi = std::max<qint64>(hi, p.Entity);
        }
        if (hi - lo < 4 * qint64(packed.size()) + 1024) {
            entityCodes = quint32(hi - lo + 1);
            entityCode.resize(packed.size());
            for (size_t r = 0; r < packed.size(); ++r)
                entityCode[r] = quint32(packed[r].Entity - lo);
        }
    }
    for (int pass = 0; pass < 2; ++pass) {
        if (pass == 1 && !packed.empty()) {
            // The day order follows from the week order: inside one (resource, year, week) the
            // rows sorted by start, flag, a2_ab_ix, a2_n and row, reordered stably by day, are
            // the rows sorted by day and then the same fields. No second index over every row.
            const quint64 dayMask = (quint64(1) << dayBits) - 1;
            size_t a = 0;
            while (a < order.size()) {
                const quint64 group = packed[order[a]].Range >> dayBits;
                size_t b = a + 1;
                while (b < order.size() && (packed[order[b]].Range >> dayBits) == group)
                    ++b;
                std::stable_sort(order.begin() + qsizetype(a), order.begin() + qsizetype(b),
                                 [&](quint32 x, quint32 y) {
                                     return (packed[x].Range & dayMask) <
                                            (packed[y].Range & dayMask);
                                 });
                a = b;
            }
        } else if (pass == 1) {
            sorter.SetIndexName(QStringLiteral("idx_def_sorting_YWD"));
            order = sorter.VisibleRowIds();
        }
        std::vector<int>& out = numbers[pass];
        out.assign(size_t(rows), -2);
        if (!packed.empty() && !entityCode.empty()) {
            const unsigned shift = pass == 0 ? dayBits : 0;
            const quint8 flag = quint8(1u << pass);
            NumberAlongDense(
                order, out,
                [&](quint32 a, quint32 b) {
                    return (packed[a].Range >> shift) == (packed[b].Range >> shift);
                },
                entityCode, entityCodes,
                [&](quint32 r) { return (packed[r].Unnumbered & flag) != 0; });
        } else if (!packed.empty()) {
            const unsigned shift = pass == 0 ? dayBits : 0;
            const quint8 flag = quint8(1u << pass);
            NumberAlong<qint32>(
                order, out,
                [&](quint32 a, quint32 b) {
                    return (packed[a].Range >> shift) == (packed[b].Range >> shift);
                },
                [&](quint32 r) { return packed[r].Entity; },
                [&](quint32 r) { return (packed[r].Unnumbered & flag) != 0; });
        } else {
            const int rangeLevel = pass == 0 ? 3 : 4;
            const Cds::KeyValue unnumbered(qint64(-1));
            NumberAlong<EntityKey, EntityKeyHash>(
                order, out,
                [&](quint32 a, quint32 b) { return sorter.CompareRows(a, b, rangeLevel) == 0; },
                [&](quint32 r) { return KeyOf(sorter.KeyAt(r, entity)); },
                [&](quint32 r) { return sorter.KeyAt(r, columns[pass]) == unnumbered; });
        }
    }
    sorter.Close();
    master.SetIndexName(QString());
    master.WriteIntegers(sortYW, numbers[0], -2);
    master.WriteIntegers(sortYWD, numbers[1], -2);
}

bool TPlantafelContainerDataSource::NumberFromColumns() {
    Cds::ClientDataSet& master = *FMasterRecords;
    const int res = FMappingAggFlds[ptfldResource].Index, year = FMappingAggFlds[ptfldYear].Index,
              week = FMappingAggFlds[ptfldWeek].Index, day = FMappingAggFlds[ptfldDay].Index,
              entity = FMappingAggFlds[ptfldEntity].Index;
    const int sortYW = FMappingSortFld[1].Index, sortYWD = FMappingSortFld[2].Index;
    const int tailFields[4] = {FMappingSortFld[0].Index, FMappingSortEx[0], FMappingSortEx[1],
                               FMappingSortEx[2]};
    using Cells = Cds::ClientDataSet::IntegerCells;
    auto integer = [&](int f) { return master.GetFieldType(f) == Cds::FieldType::Integer; };
    for (int f : {res, year, week, day, entity, sortYW, sortYWD})
        if (f < 0 || !integer(f))
            return false;
    for (int f : tailFields)
        if (f < 0 || master.GetFieldType(f) == Cds::FieldType::Float ||
            master.GetFieldType(f) == Cds::FieldType::Currency ||
            master.GetFieldType(f) == Cds::FieldType::String)
            return false;
    const Cells cRes = master.IntegerCellsOf(res), cYear = master.IntegerCellsOf(year),
                cWeek = master.IntegerCellsOf(week), cDay = master.IntegerCellsOf(day),
                cEntity = master.IntegerCellsOf(entity), cYW = master.IntegerCellsOf(sortYW),
                cYWD = master.IntegerCellsOf(sortYWD);
    for (const Cells* c : {&cRes, &cYear, &cWeek, &cDay, &cEntity})
        if (c->HasNulls())
            return false;
    const quint32 rows = cRes.Rows;
    struct Span {
        qint64 lo = std::numeric_limits<qint64>::max(), hi = std::numeric_limits<qint64>::min();
        void Add(qint64 v) {
            lo = std::min(lo, v);
            hi = std::max(hi, v);
        }
        quint64 Size() const { return quint64(hi - lo) + 1; }
    };
    Span sRes, sYear, sWeek, sEntity;
    for (quint32 r = 0; r < rows; ++r) {
        sRes.Add(cRes.I32[r]);
        sYear.Add(cYear.I32[r]);
        sWeek.Add(cWeek.I32[r]);
        sEntity.Add(cEntity.I32[r]);
    }
    // Counting arrays by (resource, year, week) and by entity: no longer than the rows.
    const quint64 buckets = sRes.Size() * sYear.Size() * sWeek.Size();
    if (buckets > quint64(rows) + 4096 || sEntity.Size() > quint64(rows) + 4096)
        return false;
    // The sort tail (start, conflict flag, a2_ab_ix, a2_n) as one code, Nulls lowest.
    Cells tail[4];
    Span sTail[4];
    unsigned tailBits[4] = {};
    unsigned used = 0;
    for (int i = 0; i < 4; ++i) {
        tail[i] = master.IntegerCellsOf(tailFields[i]);
        for (quint32 r = 0; r < rows; ++r)
            if (!tail[i].IsNull(r))
                sTail[i].Add(tail[i].At(r));
        if (sTail[i].lo > sTail[i].hi)
            sTail[i].lo = sTail[i].hi = 0;
        tailBits[i] = unsigned(std::bit_width(sTail[i].Size()));
        used += tailBits[i];
    }
    if (used > 64)
        return false;
    // Built a field at a time in row order, so that each pass reads one column straight
    // through; the sorts below then read one key per row.
    std::vector<quint64> tailKey(rows, 0);
    for (int i = 0; i < 4; ++i) {
        const Cells& t = tail[i];
        const qint64 lo = sTail[i].lo;
        const unsigned bits = tailBits[i];
        auto pack = [&](const auto* cells) {
            for (quint32 r = 0; r < rows; ++r)
                tailKey[r] = (tailKey[r] << bits) |
                             (t.IsNull(r) ? 0 : quint64(qint64(cells[r]) - lo) + 1);
        };
        if (t.I32)
            pack(t.I32);
        else if (t.I64)
            pack(t.I64);
        else
            pack(t.U8);
    }
    const auto wY = quint64(sYear.Size()), wW = quint64(sWeek.Size());
    auto bucketOf = [&](quint32 r) {
        return (quint64(cRes.I32[r] - sRes.lo) * wY + quint64(cYear.I32[r] - sYear.lo)) * wW +
               quint64(cWeek.I32[r] - sWeek.lo);
    };

    // The week order: rows counted into their (resource, year, week), each bucket sorted on
    // the tail and then the row, as the index over all these fields orders them.
    std::vector<quint32> start(size_t(buckets) + 1, 0);
    for (quint32 r = 0; r < rows; ++r)
        ++start[size_t(bucketOf(r)) + 1];
    for (size_t b = 0; b < buckets; ++b)
        start[b + 1] += start[b];
    std::vector<quint32> order(rows);
    {
        std::vector<quint32> at(start.begin(), start.end() - 1);
        for (quint32 r = 0; r < rows; ++r)
            order[at[size_t(bucketOf(r))]++] = r;
    }
    std::vector<std::pair<quint64, quint32>> keyed;
    auto sortRange = [&](size_t a, size_t b, auto&& key) {
        keyed.clear();
        for (size_t k = a; k < b; ++k)
            keyed.emplace_back(key(order[k]), order[k]);
        std::sort(keyed.begin(), keyed.end());
        for (size_t k = a; k < b; ++k)
            order[k] = keyed[k - a].second;
    };
    for (size_t b = 0; b < buckets; ++b)
        if (start[b + 1] - start[b] > 1)
            sortRange(start[b], start[b + 1], [&](quint32 r) { return tailKey[r]; });
    std::vector<quint64>().swap(tailKey);

    // Numbering along a range: an entity gets the running counter at its first row that is
    // still unnumbered (-1 from the query); every row of the range whose entity got a number
    // takes it, the others keep their value (-2 here).
    std::vector<quint32> numberedIn(size_t(sEntity.Size()), 0); // range + 1, 0 never
    std::vector<int> number(size_t(sEntity.Size()), 0);
    int counter = 0;
    quint32 range = 0;
    auto numberRange = [&](size_t a, size_t b, const Cells& column,
                           Cds::ClientDataSet::IntegerWriter& out) {
        ++range;
        for (size_t k = a; k < b; ++k) {
            const quint32 r = order[k];
            const size_t e = size_t(cEntity.I32[r] - sEntity.lo);
            if (numberedIn[e] != range && !column.IsNull(r) && column.I32[r] == -1) {
                numberedIn[e] = range;
                number[e] = counter++;
            }
        }
        for (size_t k = a; k < b; ++k) {
            const quint32 r = order[k];
            const size_t e = size_t(cEntity.I32[r] - sEntity.lo);
            if (numberedIn[e] == range)
                out.Set(r, number[e]);
        }
    };
    // The numbers go straight into their columns: a range reads its own rows' -1 marks before
    // it writes them, and no row lies in two ranges of one pass.
    master.SetIndexName(QString());
    std::optional<Cds::ClientDataSet::IntegerWriter> writeYW, writeYWD;
    writeYW.emplace(master, sortYW);
    writeYWD.emplace(master, sortYWD);
    for (size_t b = 0; b < buckets; ++b)
        if (start[b] < start[b + 1])
            numberRange(start[b], start[b + 1], cYW, *writeYW);

    // The day order: each week reordered stably by day. Then the day numbers, and within each
    // day the week numbers the master index sorts by, which leaves its order in `order`.
    counter = 0;
    for (size_t b = 0; b < buckets; ++b) {
        const size_t a = start[b], e = start[b + 1];
        if (e - a < 2)
            continue;
        std::stable_sort(order.begin() + qsizetype(a), order.begin() + qsizetype(e),
                         [&](quint32 x, quint32 y) { return cDay.I32[x] < cDay.I32[y]; });
    }
    auto weekNumber = [&](quint32 r) -> quint64 {
        // A value the numbering did not give may be Null, which sorts first.
        return cYW.IsNull(r) ? 0
                             : quint64(qint64(cYW.I32[r]) - std::numeric_limits<qint32>::min()) + 1;
    };
    // A day's rows are numbered first, then put in the master index's order by week number,
    // which the day numbers do not touch.
    for (size_t b = 0; b < buckets; ++b) {
        size_t a = start[b];
        const size_t e = start[b + 1];
        while (a < e) {
            size_t d = a + 1;
            while (d < e && cDay.I32[order[d]] == cDay.I32[order[a]])
                ++d;
            numberRange(a, d, cYWD, *writeYWD);
            if (d - a > 1)
                sortRange(a, d, weekNumber);
            a = d;
        }
    }
    // The columns' change is stamped as the writers go; the order is handed over after it.
    writeYW.reset();
    writeYWD.reset();
    master.AdoptIndexOrder({res, year, week, day, sortYW}, {}, std::move(order));
    return true;
}

// ---- information rows

void TPlantafelContainerDataSource::RefreshMasterRecordsEx() {
    std::lock_guard lock(FLockEx);
    if (!FMasterRecordsExSrc)
        return;
    TPlantafelQueryRecordSource src(*FMasterRecordsExSrc);
    LoadMasterRecordsEx(src);
}

void TPlantafelContainerDataSource::LoadMasterRecordsEx(TPlantafelQueryRecordSource& src) {
    TPlantafelDataContainer::OpenCDSFrom(src, *FMasterRecordsEx, false, nullptr, nullptr);
    FMasterRecordsEx->DisableControls();
    FMasterRecordsEx->SetLogChanges(false);
    FExLinkMasterFldExIdx = FMasterRecordsEx->FieldIndex(QStringLiteral("a2_id"));
    OrderMasterRecordsEx();
    FMasterRecordsEx->IndexDefs().Add(QStringLiteral("idx_masterex"),
                                      FMasterRecordsEx->FieldName(FExLinkMasterFldExIdx));
    FMasterRecordsEx->SetIndexName(QStringLiteral("idx_masterex"));
}

void TPlantafelContainerDataSource::OrderMasterRecordsEx() {
    // The information rows in the order the records (kept in the grid's order) first name
    // them: a read of an information field along the grid then goes through memory in order.
    Cds::ClientDataSet& ex = *FMasterRecordsEx;
    Cds::ClientDataSet& master = *FMasterRecords;
    if (!master.Active() || FExLinkMasterFldIdx < 0 || ex.StoreUseCount() != 1)
        return;
    std::vector<quint32> order;
    {
        const TPlantafelInfoJoin join(ex.CellsOf(FExLinkMasterFldExIdx),
                                      master.CellsOf(FExLinkMasterFldIdx), 0);
        if (!join.Integral)
            return;
        const quint32 rows = join.Keys.Rows();
        order.reserve(rows);
        std::vector<bool> taken(rows, false);
        const Cds::ClientDataSet::Cells& link = join.Link;
        for (quint32 r = 0; r < link.Rows(); ++r) {
            if (link.IsNull(r))
                continue;
            const qint32 at = join.Find(link.Integer(r));
            if (at >= 0 && !taken[size_t(at)]) {
                taken[size_t(at)] = true;
                order.push_back(quint32(at));
            }
        }
        for (quint32 r = 0; r < rows; ++r)
            if (!taken[r])
                order.push_back(r);
    } // the join's hold on the store goes before the store is rewritten
    ex.ReorderRows(order);
}

int TPlantafelContainerDataSource::RefreshMasterRecordsEx(const QString& paramName,
                                                          const QVariant& value) {
    std::lock_guard lock(FLockEx);
    if (!FMasterRecordsExSrc || !FMasterRecordsEx->Active())
        return 0;
    TVoskParam* param = FMasterRecordsExSrc->FindParam(paramName);
    if (!param)
        return 0;
    const QVariant oldValue = param->Value();
    const bool oldBound = param->Bound();
    struct Restore final {
        TVoskParam* p;
        QVariant v;
        bool bound;
        ~Restore() {
            if (bound)
                p->SetValue(v);
            else
                p->Unbind();
        }
    } restore{param, oldValue, oldBound};

    FMasterRecordsExSrc->Close();
    param->SetValue(value);
    Cds::ClientDataSet temp(PlantafelComponentName(QStringLiteral("CDSMasterRecordsEx"),
                                                   QStringLiteral("Temp"), &temp));
    TPlantafelQueryRecordSource src(*FMasterRecordsExSrc);
    TPlantafelDataContainer::OpenCDSFrom(src, temp, false, nullptr, nullptr);
    Cds::ClientDataSet& ex = *FMasterRecordsEx;
    const int link = temp.FieldIndex(ex.FieldName(FExLinkMasterFldExIdx));
    const int fields = std::min(temp.FieldCount(), ex.FieldCount());
    int failed = 0;
    QStringList failures;
    for (temp.First(); !temp.Eof(); temp.Next()) {
        if (!ex.FindKey({temp.AsKey(link)}))
            continue;
        ex.Edit();
        try {
            for (int i = 0; i < fields; ++i)
                ex.SetValue(i, temp.Value(i));
            ex.Post();
        } catch (const EVoskException& e) {
            ex.Cancel();
            ++failed;
            if (failures.size() < 10)
                failures << QStringLiteral("%1: %2").arg(temp.AsString(link), e.Message());
        }
    }
    TPlantafelDataContainer::CloseCDS(temp);
    if (failed > 0)
        TKorvexLog::Warning(
            QStringLiteral("TPlantafelContainerDataSource.RefreshMasterRecordsEx: %1 "
                           "Informationszeile(n) nicht übernommen (%2)")
                .arg(failed)
                .arg(failures.join(QStringLiteral("; "))));
    return failed;
}

// ---- calendar and grouping datasets

void TPlantafelContainerDataSource::CreateGroupingsBase(Cds::ClientDataSet& target) {
    QString childList, countList;
    for (int d = 0; d < kPlantafelGroupingDepthCount; ++d) {
        const QString depth = EnumName(TPlantafelGroupingDepth(d));
        FMappingDepthFlds[size_t(d)][ptgdfDepth] = {depth + QStringLiteral("_d"), -1};
        FMappingDepthFlds[size_t(d)][ptgdfCount] = {depth + QStringLiteral("_c"), -1};
        childList += QStringLiteral("0::INTEGER AS %1,\r\n  ")
                         .arg(FMappingDepthFlds[size_t(d)][ptgdfDepth].Name);
        countList += QStringLiteral("0::INTEGER AS %1,\r\n  ")
                         .arg(FMappingDepthFlds[size_t(d)][ptgdfCount].Name);
    }
    childList.chop(5);
    countList.chop(5);
    const auto& f = FMappingAggFlds;
    // The span's dates are bound, not spliced: the text stays the same for every span.
    const QStringList lines{
        QStringLiteral("WITH"), QStringLiteral("  seq_days AS"), QStringLiteral("  ("),
        QStringLiteral("    SELECT  GENERATE_SERIES(0, (SELECT DATE_PART('day', "
                       ":_CalendarEnd::TIMESTAMP - :_CalendarStart::TIMESTAMP)::INTEGER)) "
                       "AS _offset"),
        QStringLiteral("  ),"), QStringLiteral("  seq_dates AS"), QStringLiteral("  ("),
        QStringLiteral("    SELECT"),
        QStringLiteral("      _offset::INTEGER + :_CalendarStart::DATE AS _date"),
        QStringLiteral("    FROM"), QStringLiteral("      seq_days"), QStringLiteral("  )"),
        QStringLiteral("SELECT"),
        QStringLiteral("  0::INTEGER AS %1,").arg(f[ptfldResource].Name),
        QStringLiteral("  to_char( _date, 'IYYY' )::int AS %1,").arg(f[ptfldYear].Name),
        QStringLiteral("  to_char( _date, 'IW'   )::int AS %1,").arg(f[ptfldWeek].Name),
        QStringLiteral("  to_char( _date, 'IDDD' )::int AS %1,").arg(f[ptfldDay].Name),
        QStringLiteral("  _date AS %1,").arg(f[ptfldDate].Name),
        QStringLiteral("  -1::int AS %1,").arg(f[ptfldEntity].Name),
        QStringLiteral("  %1,").arg(childList), QStringLiteral("  %1").arg(countList),
        QStringLiteral("FROM"), QStringLiteral("  seq_dates"), QStringLiteral(";")};
    TVoskQuery2 query;
    if (TDM1* dm = DM1())
        query.SetDatabase(&dm->Database());
    query.SetSQL(lines.join(kCrLf));
    query.ParamByName(QStringLiteral("_CalendarStart"))
        .SetValue(FStartDate.date().toString(QStringLiteral("yyyy-MM-dd")));
    query.ParamByName(QStringLiteral("_CalendarEnd"))
        .SetValue(FEndDate.date().toString(QStringLiteral("yyyy-MM-dd")));
    TPlantafelQueryRecordSource src(query);
    TPlantafelDataContainer::OpenCDSFrom(src, target, false, nullptr, nullptr);
    if (target.RecordCount() == 0) // a reversed span: there is no first day to copy
        throw EVoskPlantafelException(
            QString::fromUtf8(kPlantafelSpanReversed)
                .arg(FStartDate.toString(QStringLiteral("dd.MM.yyyy hh:mm")),
                     FEndDate.toString(QStringLiteral("dd.MM.yyyy hh:mm"))));
    for (auto& depth : FMappingDepthFlds)
        for (auto& col : depth)
            col.Index = target.FieldIndex(col.Name);

    target.IndexDefs().Add(QStringLiteral("Idx_GrpInfo_Primary"), QStringLiteral("_year;_week;_dayy"),
                           Cds::IndexOption::Primary | Cds::IndexOption::Unique, 3);
    target.SetIndexName(QStringLiteral("Idx_GrpInfo_Primary"));

    // The prepend row sorts first; its columns are looked up in the calendar itself.
    target.First();
    QVariantList first;
    for (int i = 0; i < target.FieldCount(); ++i)
        first << target.Value(i);
    std::vector<int> zeroed;
    for (TPlantafelAggregationField fld : {ptfldYear, ptfldWeek, ptfldDay, ptfldYearAndWeek})
        if (const int i = target.FindField(f[fld].Name); i >= 0)
            zeroed.push_back(i);
    target.Append();
    for (int i = 0; i < target.FieldCount(); ++i)
        target.SetValue(i, std::find(zeroed.begin(), zeroed.end(), i) != zeroed.end()
                               ? QVariant(0)
                               : first[i]);
    target.Post();

    TPlantafelDataContainer::CreateAggregatesCDS(target, QStringLiteral("Agg_GrpInfo_DefaultGrouping%d"),
                                                 QStringLiteral("Count(_dayy)"),
                                                 target.IndexName(), 1, 3);
    target.SetAggregatesActive(true);
}

void TPlantafelContainerDataSource::CreateGroupings(TPlantafelSubViewMode mode,
                                                    Cds::ClientDataSet& target) {
    bool firstWeek = false;
    if (mode == ptsvmCalendarWeekGroupedFirstWeekDays)
        firstWeek = true;
    else if (mode != ptsvmCalendarWeekGroupedByWeek)
        throw EVoskPlantafelException::Fmt(QStringLiteral("34025"), EnumName(mode));
    CreateGroupingsBase(target);
    FTopLevel = ptglYearWeek;
    target.SetLogChanges(false);
    const int child = FMappingDepthFlds[ptglYearWeek][ptgdfDepth].Index;
    const int count = FMappingDepthFlds[ptglYearWeek][ptgdfCount].Index;
    const int year = target.FieldIndex(FMappingAggFlds[ptfldYear].Name);
    bool prepend = true;
    target.First();
    while (!target.Eof()) {
        if (target.GetGroupState(2) & Cds::GroupPos::First) {
            target.Edit();
            const bool days = mode == ptsvmCalendarWeekGroupedFirstWeekDays && firstWeek && !prepend;
            target.SetValue(child, int(days ? ptglResourceYearWeekDayEntity
                                            : ptglResourceYearWeekEntity));
            target.SetValue(count, 0);
            target.Post();
        }
        target.Next();
        if (target.Eof())
            break;
        if (!prepend) {
            if (target.GetGroupState(2) & Cds::GroupPos::First)
                firstWeek = false;
        } else {
            prepend = target.AsInteger(year) == 0;
        }
    }
    target.SetLogChanges(true);
}

void TPlantafelContainerDataSource::InitGroupingInfo(TPlantafelGroupingsInfo& info,
                                                     Cds::ClientDataSet& master,
                                                     const QString& filter,
                                                     TPlantafelAggregatesMapping& aggs,
                                                     Cds::ClientDataSet& calendar) {
    struct Row final {
        int state;
        TPlantafelGroupingDepth grouping;
        TPlantafelAggregation keys;
    };
    static const Row table[kPlantafelGroupingDepthCount] = {
        {1, ptglNone, {ptfldResource}},
        {2, ptglYearWeek, {ptfldYear, ptfldWeek}},
        {3, ptglYearWeekDay, {ptfldYear, ptfldWeek, ptfldDay}},
        {3, ptglResourceYearWeek, {ptfldResource, ptfldYear, ptfldWeek}},
        {4, ptglYearWeek, {ptfldResource, ptfldYear, ptfldWeek, ptfldEntitySortYW}},
        {4, ptglYearWeekDay, {ptfldResource, ptfldYear, ptfldWeek, ptfldDay}},
        {5, ptglYearWeekDay, {ptfldResource, ptfldYear, ptfldWeek, ptfldDay, ptfldEntitySortYWD}},
    };
    for (int d = 0; d < kPlantafelGroupingDepthCount; ++d) {
        TPlantafelGroupingLevelInfo& level = info[size_t(d)];
        level.CDS = std::make_unique<Cds::ClientDataSet>(PlantafelComponentName(
            QStringLiteral("CDS"), EnumName(TPlantafelGroupingDepth(d)), &level.CDS));
        level.CDS->DisableControls();
        level.Level = TPlantafelGroupingDepth(d);
        level.RecIdentFldVal = -1;
        level.RecIdentFldIdx = -1;
        InitCDSForDepth(level, master, calendar, aggs, filter);
        const Row& row = table[d];
        level.GrpLvlStateIdx = row.state;
        level.LevelGrouping = row.grouping;
        level.Aggregation = row.keys;
        level.ActiveRange.assign(row.keys.size(), TVarRec{});
        level.ActiveRangeLow.assign(row.keys.size(), TVarRec{});
        level.ActiveRangeHigh.assign(row.keys.size(), TVarRec{});
        // The depth's own index: a clone also lists the indexes of the dataset it shares.
        const Cds::IndexDef* def = level.CDS->IndexDefs().Find(level.CDS->IndexName());
        level.GrpStateLvl = def ? def->GroupingLevel : 0;
        const int rowNumber = level.CDS->FindField(QStringLiteral("row_number"));
        if (rowNumber >= 0)
            level.RecIdentFldIdx = rowNumber;
    }
}

void TPlantafelContainerDataSource::InitCDSForDepth(TPlantafelGroupingLevelInfo& info,
                                                    Cds::ClientDataSet& master,
                                                    Cds::ClientDataSet& calendar,
                                                    TPlantafelAggregatesMapping& aggs,
                                                    const QString& filter) {
    const TPlantafelGroupingDepth depth = info.Level;
    if (depth < ptglNone || depth > ptglResourceYearWeekDayEntity)
        throw EVoskPlantafelException::Fmt(QStringLiteral("34025"), EnumName(depth));
    const bool onCalendar = depth == ptglYearWeek || depth == ptglYearWeekDay;
    Cds::ClientDataSet& src = onCalendar ? calendar : master;
    Cds::ClientDataSet& cds = *info.CDS;
    cds.CloneCursor(src, true);
    cds.DisableControls();
    cds.SetLogChanges(false);

    // Positions by name in the dataset at hand: the calendar's differ from the master's.
    TAggregationFldMapping mapping = FMappingAggFlds;
    for (auto& m : mapping)
        m.Index = cds.FindField(m.Name);
    auto pos = [&](TPlantafelAggregationField f) { return cds.FieldIndex(mapping[f].Name); };
    const int recId = onCalendar ? -1 : cds.FieldIndex(FMappingRecordID.Name);

    std::vector<int> fields;
    Cds::IndexOptions options;
    int indexLevel = 0, aggTo = 0;
    switch (depth) {
    case ptglNone:
        fields = {pos(ptfldResource), recId};
        options = Cds::IndexOption::Primary | Cds::IndexOption::Unique;
        indexLevel = 1;
        aggTo = 1;
        break;
    case ptglYearWeek:
    case ptglYearWeekDay:
        fields = {pos(ptfldYear), pos(ptfldWeek), pos(ptfldDay)};
        indexLevel = 3;
        aggTo = depth == ptglYearWeek ? 2 : 3;
        break;
    case ptglResourceYearWeek:
        fields = {pos(ptfldResource), pos(ptfldYear), pos(ptfldWeek), pos(ptfldDay)};
        indexLevel = 4;
        aggTo = 3;
        break;
    case ptglResourceYearWeekEntity:
        fields = {pos(ptfldResource), pos(ptfldYear), pos(ptfldWeek), pos(ptfldEntitySortYW),
                  pos(ptfldDay)};
        indexLevel = 5;
        aggTo = 4;
        break;
    case ptglResourceYearWeekDay:
        fields = {pos(ptfldResource), pos(ptfldYear), pos(ptfldWeek), pos(ptfldDay)};
        indexLevel = 4;
        aggTo = 4;
        break;
    case ptglResourceYearWeekDayEntity:
        fields = {pos(ptfldResource), pos(ptfldYear), pos(ptfldWeek), pos(ptfldDay),
                  pos(ptfldEntitySortYWD)};
        indexLevel = 5;
        aggTo = 5;
        break;
    }
    const QString indexName = FormatLevel(QStringLiteral("idx_def_%.2d"), int(depth));
    TPlantafelDataContainer::CreateIndexCDS(cds, info.Sorting, indexName, fields, options,
                                            indexLevel, mapping);
    const QString column = onCalendar ? mapping[ptfldDay].Name : FMappingRecordID.Name;
    TPlantafelDataContainer::CreateAggregatesCDS(
        cds, QStringLiteral("count_") + column + QStringLiteral("%.2d"), QStringLiteral("Count(%1)").arg(column),
        indexName, 1, aggTo);
    AddAggregates(info, aggs);
    cds.SetAggregatesActive(true);
    if (!onCalendar && depth != ptglNone && !filter.trimmed().isEmpty()) {
        cds.SetFilter(filter.trimmed());
        cds.SetFiltered(true);
    }
}

void TPlantafelContainerDataSource::AddAggregates(TPlantafelGroupingLevelInfo& info,
                                                  TPlantafelAggregatesMapping& aggs) {
    Cds::ClientDataSet& cds = *info.CDS;
    const int depth = int(info.Level);
    for (int a = 0; a < aggs.Count(); ++a) {
        TPlantafelAggregateMapping& m = aggs[a];
        m.Mapping[size_t(depth)] = -1;
        int level = -1;
        for (size_t i = 0; i < info.Sorting.size(); ++i) {
            const TPlantafelAggregationField s = info.Sorting[i];
            if (s == m.GroupingLevel ||
                (m.GroupingLevel == ptfldEntity &&
                 (s == ptfldEntitySortYW || s == ptfldEntitySortYWD))) {
                level = int(i) + 1;
                break;
            }
        }
        if (level < 0)
            continue; // the depth does not group by that field
        int existing = -1;
        for (int i = 0; i < cds.Aggregates().Count(); ++i)
            if (cds.Aggregates()[i].GroupingLevel == level &&
                SameName(cds.Aggregates()[i].Expression, m.Expression)) {
                existing = i;
                break;
            }
        if (existing >= 0) {
            m.Mapping[size_t(depth)] = existing;
            continue;
        }
        TPlantafelDependentFields dependent;
        dependent.Resize(cds.FieldCount());
        try {
            TPlantafelExprParser parser(cds, true, &dependent, QString(),
                                        Cds::ParserOption::ExtendedSyntax |
                                            Cds::ParserOption::Aggregate |
                                            Cds::ParserOption::FieldDepend,
                                        {}, m.Expression);
        } catch (const EPlantafelExprException&) {
            continue; // a field this depth's dataset lacks
        }
        for (int field : dependent.Fields())
            for (int f = 0; f < kPlantafelAggregationFieldCount; ++f)
                if (SameName(cds.FieldName(field), FMappingAggFlds[size_t(f)].Name))
                    m.DependentFlds.Include(TPlantafelAggregationField(f));
        m.Mapping[size_t(depth)] = cds.Aggregates().Add(
            {QStringLiteral("%1 [%2(%3)]").arg(m.Expression, EnumName(m.GroupingLevel)).arg(level),
             m.Expression, level, cds.IndexName(), true, true});
    }
}

#include "UPlantafel.SubViewGroup.h"

#include "DataController.h"
#include "FormatValues.h"
#include "UPlantafel.ContainerDataSource.h"
#include "Uloghelper.h"

#include <algorithm>
#include <limits>
#include <optional>

namespace {

// Times a source call on its group's profile, however the call ends.
class ProfilingScope final {
public:
    explicit ProfilingScope(TPlantafelSubViewGroup& group) : m_group(group) {
        m_group.Profiling_Start();
    }
    ~ProfilingScope() { m_group.Profiling_Stop(); }
    ProfilingScope(const ProfilingScope&) = delete;
    ProfilingScope& operator=(const ProfilingScope&) = delete;

private:
    TPlantafelSubViewGroup& m_group;
};

const QString kProfiling = QStringLiteral("PT[Profiling]");
const QString kSourceLog = QStringLiteral("PT[TPlantafelSubViewDataSource]");
constexpr qint32 kNotLocated = -2;

std::atomic<quint32> g_rowTableGeneration{0};
std::atomic<quint64> g_activationSerial{0};
// Unique in the process, so that a source made at a freed one's address never matches its
// readers' copies.
std::atomic<quint64> g_dataSerial{0};

// A handle names the row table's generation and the row: a handle of an older count, another
// group or no row at all never reads a row of the current one.
Grid::RecordHandle MakeHandle(const TPlantafelRowTable& table, int row) {
    return (Grid::RecordHandle(table.Generation) << 32) | Grid::RecordHandle(quint32(row) + 1);
}

bool IntegerKey(Cds::FieldType type) {
    return type == Cds::FieldType::Integer || type == Cds::FieldType::LargeInt;
}

int KeyPosition(const TPlantafelGroupingLevelInfo& info, TPlantafelAggregationField field) {
    for (size_t i = 0; i < info.Aggregation.size(); ++i) {
        const TPlantafelAggregationField k = info.Aggregation[i];
        if (k == field ||
            (field == ptfldEntity && (k == ptfldEntitySortYW || k == ptfldEntitySortYWD)))
            return int(i);
    }
    return -1;
}

// Leading positions a range fixes: the resource position always (each source fills it), then
// every position whose start equals its end.
int FixedCount(const TPlantafelGroupingLevelInfo& info, const TVarRecArray& start,
               const TVarRecArray& end) {
    int n = 0;
    for (size_t i = 0; i < start.size() && i < end.size(); ++i) {
        const bool resource =
            i == 0 && !info.Aggregation.empty() && info.Aggregation[0] == ptfldResource;
        if (!resource && !(TVarRecHelper::EqualVarRec(start[i], end[i]) &&
                           !std::holds_alternative<Cds::MinKey>(start[i].Value)))
            break;
        ++n;
    }
    return n;
}

} // namespace

// ---- aggregates mapping

void TPlantafelAggregateMapping::Assign(const TPlantafelAggregateMapping& other) {
    Expression = other.Expression;
    GroupingLevel = other.GroupingLevel;
}

TPlantafelAggregateMapping& TPlantafelAggregatesMapping::Add() {
    m_items.push_back(std::make_unique<TPlantafelAggregateMapping>());
    return *m_items.back();
}

TPlantafelAggregateMapping& TPlantafelAggregatesMapping::Add(const QString& expression,
                                                             TPlantafelAggregationField level) {
    TPlantafelAggregateMapping& m = Add();
    m.Expression = expression;
    m.GroupingLevel = level;
    return m;
}

int TPlantafelAggregatesMapping::IndexOf(const QString& expression,
                                         TPlantafelAggregationField level) const {
    for (size_t i = 0; i < m_items.size(); ++i)
        if (m_items[i]->GroupingLevel == level &&
            m_items[i]->Expression.compare(expression, Qt::CaseInsensitive) == 0)
            return int(i);
    return -1;
}

TPlantafelAggregateMapping* TPlantafelAggregatesMapping::Find(const QString& expression,
                                                              TPlantafelAggregationField level) {
    const int i = IndexOf(expression, level);
    return i < 0 ? nullptr : m_items[size_t(i)].get();
}

TPlantafelAggregatesMapping::TPlantafelAggregatesMapping(const TPlantafelAggregatesMapping& other) {
    m_items.reserve(other.m_items.size());
    for (const auto& item : other.m_items)
        m_items.push_back(std::make_unique<TPlantafelAggregateMapping>(*item));
}

void TPlantafelAggregatesMapping::Assign(const TPlantafelAggregatesMapping& other) {
    m_items.clear();
    for (const auto& item : other.m_items)
        Add().Assign(*item);
}

// ---- sub-view data source

TPlantafelSubViewDataSource::TPlantafelSubViewDataSource(TPlantafelSubViewGroup& group,
                                                         int resourceId)
    : m_group(group), m_resourceId(resourceId) {}

TPlantafelSubViewDataSource::~TPlantafelSubViewDataSource() {
    m_active = false;
    m_dataContainer.store(nullptr);
    TPlantafelSubViewGroup::ForgetReadState();
}

// ---- rows and read states

TPlantafelRowMemo& TPlantafelRowTable::Memo(const TPlantafelSubViewDataSource& source,
                                            quint64 dataSerial) const {
    std::lock_guard lock(m_memoMutex);
    for (const auto& m : m_memos)
        if (m->Source == &source && m->DataSerial == dataSerial)
            return *m;
    auto memo = std::make_unique<TPlantafelRowMemo>();
    memo->Source = &source;
    memo->DataSerial = dataSerial;
    const size_t n = Links.size();
    memo->Rows = std::make_unique<qint32[]>(n);
    std::fill(memo->Rows.get(), memo->Rows.get() + n, kNotLocated);
    memo->Unlocated.store(n, std::memory_order_relaxed);
    m_memos.push_back(std::move(memo));
    return *m_memos.back();
}

TPlantafelInfoJoin::TPlantafelInfoJoin(const Cds::ClientDataSet::Cells& keys,
                                       const Cds::ClientDataSet::Cells& link, size_t gridRows)
    : Keys(keys), KeysStamp(keys.Stamp()), Link(link), LinkStamp(link.Stamp()),
      Integral(IntegerKey(keys.Type()) && IntegerKey(link.Type())),
      At(std::make_unique<std::atomic<qint32>[]>(gridRows)), m_gridRows(gridRows) {
    for (size_t i = 0; i < gridRows; ++i)
        At[i].store(kNotLocated, std::memory_order_relaxed);
    if (!Integral)
        return;
    const quint32 rows = keys.Rows();
    qint64 lo = std::numeric_limits<qint64>::max(), hi = std::numeric_limits<qint64>::min();
    for (quint32 r = 0; r < rows; ++r)
        if (!keys.IsNull(r)) {
            lo = std::min(lo, keys.Integer(r));
            hi = std::max(hi, keys.Integer(r));
        }
    if (lo > hi)
        return;
    // The first row of a key, as the key index finds it.
    if (quint64(hi - lo) < 4 * quint64(rows) + 1024) {
        DenseLow = lo;
        Dense.assign(size_t(hi - lo + 1), -1);
        for (quint32 r = 0; r < rows; ++r)
            if (!keys.IsNull(r)) {
                qint32& at = Dense[size_t(keys.Integer(r) - lo)];
                if (at < 0)
                    at = qint32(r);
            }
    } else {
        Sparse.reserve(rows);
        for (quint32 r = 0; r < rows; ++r)
            if (!keys.IsNull(r))
                Sparse.emplace(keys.Integer(r), qint32(r));
    }
}

qint32 TPlantafelInfoJoin::Resolve(quint32 physical, Cds::ClientDataSet& ex,
                                   const Cds::ClientDataSet& linkSet, int linkField) const {
    if (physical >= Link.Rows() || Link.IsNull(physical))
        return -1;
    if (!Integral)
        return ex.FindKey({Cds::KeyFromVariant(linkSet.ValueAt(physical, linkField))})
                   ? qint32(ex.RowId())
                   : -1;
    return Find(Link.Integer(physical));
}

const qint32* TPlantafelInfoJoin::WholeRows(const qint32* physical, Cds::ClientDataSet& ex,
                                            const Cds::ClientDataSet& linkSet, int linkField) {
    if (m_whole.empty() && m_gridRows > 0) {
        m_whole.resize(m_gridRows);
        for (size_t r = 0; r < m_gridRows; ++r)
            m_whole[r] =
                physical[r] < 0 ? -1 : RowOf(r, quint32(physical[r]), ex, linkSet, linkField);
    }
    return m_whole.data();
}

std::shared_ptr<TPlantafelInfoJoin>
TPlantafelRowMemo::JoinFor(const Cds::ClientDataSet::Cells& keys,
                           const Cds::ClientDataSet::Cells& link, size_t gridRows) {
    std::lock_guard lock(m_joinMutex);
    for (auto& join : m_joins)
        if (join->Link.Store() == link.Store()) {
            if (!join->Fits(keys, link))
                join = std::make_shared<TPlantafelInfoJoin>(keys, link, gridRows);
            return join;
        }
    return m_joins.emplace_back(std::make_shared<TPlantafelInfoJoin>(keys, link, gridRows));
}

namespace {
thread_local TPlantafelSubViewGroup::TReadState t_readState;
}

const TPlantafelSubViewGroup::TReadState&
TPlantafelSubViewGroup::ReadState(TPlantafelSubViewDataSource& source) {
    TReadState& st = t_readState;
    TPlantafelSubViewGroup& g = source.Group();
    // The numbers first, then what they number: a copy is never older than its number.
    const quint64 serial = source.DataSerial();
    const quint32 generation = g.m_linksGeneration.load(std::memory_order_acquire);
    const quint64 activation = g.m_activationSerial.load(std::memory_order_acquire);
    if (st.Source == &source && st.DataSerial == serial &&
        (st.Table ? st.Table->Generation : 0) == generation &&
        (st.Activation ? st.Activation->Serial : 0) == activation)
        return st;
    st.Source = &source;
    st.DataSerial = serial;
    st.Data = source.DataSnapshot();
    st.Table = g.FLinks.load();
    st.Activation = g.m_activation.load();
    st.Memo = st.Data && st.Table ? &st.Table->Memo(source, serial) : nullptr;
    if (!st.Data)
        st.Table.reset();
    return st;
}

void TPlantafelSubViewGroup::ForgetReadState() {
    t_readState = TReadState();
}

void TPlantafelSubViewDataSource::SetDataContainer(
    std::unique_ptr<TPlantafelDataContainer> container) {
    m_dataContainer.store(std::shared_ptr<TPlantafelDataContainer>(std::move(container)));
    m_dataSerial.store(++g_dataSerial, std::memory_order_release);
}

QString TPlantafelSubViewDataSource::FullName() const {
    QString owner = m_group.Container().objectName();
    if (owner.isEmpty())
        owner = m_group.Container().ClassName();
    return QStringLiteral("%1.%2.TPlantafelSubViewDataSource(%3)")
        .arg(owner, m_group.Name())
        .arg(m_resourceId);
}

void TPlantafelSubViewDataSource::SetActive(bool active) {
    if (active == m_active)
        return;
    if (active) {
        if (!m_group.Active())
            return;
        if (!m_dataContainer.load())
            SetDataContainer(std::make_unique<TPlantafelDataContainer>());
        try {
            CreateData();
        } catch (...) {
            SetDataContainer(nullptr);
            throw;
        }
        m_active = true;
    } else {
        m_active = false;
        // A reader inside the container holds its own reference; the last one frees it.
        SetDataContainer(nullptr);
        TPlantafelSubViewGroup::ForgetReadState();
    }
}

void TPlantafelSubViewDataSource::CreateData() {
    if (m_group.IsProfilingActive())
        TKorvexLog::UserLog(kProfiling,
                            QStringLiteral("TPlantafelSubViewDataSource.CreateData started"), 4);
    const std::shared_ptr<TPlantafelDataContainer> data = m_dataContainer.load();
    std::lock_guard lock(data->Lock());
    TPlantafelGroupingsInfo& info = data->GroupingLevelsInfo();
    data->FinalizeGroupingsInfo(info);
    try {
        m_group.InitGroupingInfo(info);
    } catch (...) {
        data->FinalizeGroupingsInfo(info);
        throw;
    }
    // Only where the leading key is the resource: the calendar depths start with the year.
    const TVarRec res{vtInteger, qint64(m_resourceId)};
    for (auto& level : info) {
        if (level.Aggregation.empty() || level.Aggregation.front() != ptfldResource)
            continue;
        level.ActiveRange.front() = res;
        level.ActiveRangeLow.front() = res;
        level.ActiveRangeHigh.front() = res;
    }
    {
        std::lock_guard missing(m_missingMutex);
        FReportedMssingFlds.clear();
    }
    m_dataSerial.store(++g_dataSerial, std::memory_order_release); // rows located before are stale
    if (m_group.IsProfilingActive())
        TKorvexLog::UserLog(kProfiling,
                            QStringLiteral("TPlantafelSubViewDataSource.CreateData done"), 4);
}

bool TPlantafelSubViewDataSource::FirstReportOfMissingField(const QString& name) {
    std::lock_guard lock(m_missingMutex);
    return FReportedMssingFlds.insert(name.toLower()).second;
}

Grid::RecordHandle TPlantafelSubViewDataSource::AppendRecord() {
    throw EVoskPlantafelException(34023);
}

Grid::RecordHandle TPlantafelSubViewDataSource::InsertRecord(Grid::RecordHandle) {
    throw EVoskPlantafelException(34023);
}

void TPlantafelSubViewDataSource::DeleteRecord(Grid::RecordHandle) {
    throw EVoskPlantafelException(34023);
}

void TPlantafelSubViewDataSource::SetValue(Grid::RecordHandle, Grid::ItemHandle, const QVariant&) {
    throw EVoskPlantafelException(34023);
}

int TPlantafelSubViewDataSource::GetRecordCount() {
    return m_active ? m_group.GetRecordCount(*this) : 0;
}

Grid::RecordHandle TPlantafelSubViewDataSource::GetRecordHandle(int recordIndex) {
    return m_group.GetRecordHandle(*this, recordIndex);
}

QVariant TPlantafelSubViewDataSource::GetRecordId(Grid::RecordHandle record) {
    return m_group.GetRecordId(*this, record);
}

Grid::ItemHandle TPlantafelSubViewDataSource::GetItemHandle(int itemIndex) {
    return m_group.GetItemHandle(*this, itemIndex);
}

void TPlantafelSubViewDataSource::LoadRecordHandles() {
    m_group.LoadRecordHandles(*this);
    Grid::CustomDataSource::LoadRecordHandles();
}

QVariant TPlantafelSubViewDataSource::GetValue(Grid::RecordHandle record, Grid::ItemHandle item) {
    const ProfilingScope profiling(m_group);
    return m_group.GetValue(*this, record, item);
}

bool TPlantafelSubViewDataSource::ReadCells(const Grid::RecordHandle* records, size_t count,
                                            Grid::ItemHandle item, Grid::ColumnCells& cells) {
    auto* own = dynamic_cast<TPlantafelCells*>(&cells);
    if (!own)
        return false;
    const ProfilingScope profiling(m_group);
    return m_group.ReadCells(*this, records, count, item, *own);
}

std::unique_ptr<Grid::ColumnCells> TPlantafelSubViewDataSource::CreateCells() {
    return std::make_unique<TPlantafelCells>();
}

QVariant TPlantafelSubViewDataSource::GetValueByFieldname(Grid::RecordHandle record,
                                                          const QString& name) {
    const ProfilingScope profiling(m_group);
    return m_group.GetValueByFieldname(*this, record, name);
}

int TPlantafelSubViewDataSource::GetFieldIndex(const QString& name) const {
    const auto activation = m_group.Activation();
    if (!activation)
        return -1;
    const auto it = activation->FFldLookUp.find(name.toLower());
    return it == activation->FFldLookUp.end() ? -1 : it->second;
}

int TPlantafelSubViewDataSource::GetFieldIndexEx(const QString& name) const {
    TPlantafelContainerDataSource& c = m_group.Container();
    std::lock_guard lock(c.LockEx());
    const auto it = c.FldLookUpEx().find(name.toLower());
    return it == c.FldLookUpEx().end() ? -1 : it->second;
}

QString TPlantafelSubViewDataSource::GetDisplayText(Grid::RecordHandle record,
                                                    Grid::ItemHandle item) {
    const QVariant value = GetValue(record, item);
    const auto* binding = AsCustomDSBinding(item);
    if (binding && !binding->DisplayFormat.isEmpty())
        return GetDisplayTextFromValue(value, binding->DisplayFormat);
    return value.isValid() && !value.isNull() ? value.toString() : QString();
}

QString TPlantafelSubViewDataSource::GetDisplayTextFromValue(const QVariant& value,
                                                             const QString& format) const {
    if (!value.isValid() || value.isNull())
        return {};
    switch (value.metaType().id()) {
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::SChar:
    case QMetaType::UChar:
    case QMetaType::Float:
    case QMetaType::Double:
        return Rtl::FormatFloat(format, value.toDouble());
    case QMetaType::QDate:
        return Rtl::FormatDateTime(format, QDateTime(value.toDate(), QTime(0, 0)));
    case QMetaType::QDateTime:
        return Rtl::FormatDateTime(format, value.toDateTime());
    case QMetaType::QString:
    case QMetaType::QByteArray:
    case QMetaType::QChar:
    case QMetaType::Bool:
        return {};
    default:
        // A number kind of the dataset (fixed point) converts; anything else as plain text.
        if (value.canConvert<double>() && !value.canConvert<QString>())
            return Rtl::FormatFloat(format, value.toDouble());
        return value.toString();
    }
}

QString TPlantafelSubViewDataSource::GetDisplayTextByFieldname(Grid::RecordHandle record,
                                                               const QString& name) {
    const QVariant value = GetValueByFieldname(record, name);
    return value.isValid() && !value.isNull() ? value.toString() : QString();
}

QVariant TPlantafelSubViewDataSource::GetAggregateValue(Grid::RecordHandle record, int mappingIndex,
                                                        TPlantafelDataSetTypeSet allowed) {
    const ProfilingScope profiling(m_group);
    return m_group.GetAggregateValue(*this, record, allowed, mappingIndex);
}

QVariant TPlantafelSubViewDataSource::GetAggregateValue(int mappingIndex,
                                                        TPlantafelDataSetType type) {
    const ProfilingScope profiling(m_group);
    return m_group.GetAggregateValue(*this, mappingIndex, type);
}

TPlantafelAggregateValueLst TPlantafelSubViewDataSource::GetAggregateValueLst(
    Grid::RecordHandle record, const std::vector<int>& fields, TPlantafelDataSetTypeSet allowed,
    int mappingIndex) {
    const ProfilingScope profiling(m_group);
    return m_group.GetAggregateValueLst(*this, record, fields, allowed, mappingIndex);
}

Cds::GroupPosInds TPlantafelSubViewDataSource::GetGroupState(Grid::RecordHandle record,
                                                             TPlantafelDataSetTypeSet allowed,
                                                             TPlantafelAggregationField field) {
    const ProfilingScope profiling(m_group);
    return m_group.GetGroupState(*this, record, allowed, field);
}

void TPlantafelSubViewDataSource::GetGroupStates(const Grid::RecordHandle* records, size_t count,
                                                 TPlantafelAggregationField field,
                                                 Cds::GroupPosInds* states, quint8* located) {
    const ProfilingScope profiling(m_group);
    m_group.GetGroupStates(*this, records, count, field, states, located);
}

int TPlantafelSubViewDataSource::NativeCompareFunc(Grid::RecordHandle a, Grid::RecordHandle b,
                                                   Grid::ItemHandle item) {
    m_group.CountNativeCompare();
    const auto* binding = AsCustomDSBinding(item);
    const QString& yearWeek = m_group.Container().MappingAggFlds()[ptfldYearAndWeek].Name;
    if (binding && binding->FieldName().compare(yearWeek, Qt::CaseInsensitive) == 0) {
        const QVariant va = GetValue(a, item), vb = GetValue(b, item);
        const double x = va.toDouble(), y = vb.toDouble();
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    const int x = m_group.RowIndexOf(a), y = m_group.RowIndexOf(b);
    return x < y ? -1 : (x > y ? 1 : 0);
}

void TPlantafelSubViewDataSource::DataChanged() {
    const std::vector<Grid::DataController*> providers = Providers();
    for (Grid::DataController* p : providers) {
        p->BeginUpdate();
        p->EndUpdate();
        p->DataChanged();
    }
}

IPlantafelCustomDataSourceDataSetPtr TPlantafelSubViewDataSource::GetSourceDataSet() {
    const std::shared_ptr<TPlantafelDataContainer> data = DataSnapshot();
    if (!data)
        return nullptr;
    std::lock_guard lock(data->Lock());
    const Cds::ClientDataSet* none = data->GroupingLevelsInfo()[ptglNone].CDS.get();
    if (!none || !none->Active())
        return nullptr;
    auto cds = std::make_unique<Cds::ClientDataSet>(
        PlantafelComponentName(QStringLiteral("CDSSource"), QString::number(m_resourceId), this));
    cds->CloneCursor(*none, true);
    cds->IndexDefs() = none->IndexDefs();
    if (cds->IndexDefs().Count() > 0)
        cds->SetIndexName(cds->IndexDefs()[0].Name);
    // The cursor promises this source's records: its resource's range, not the whole board.
    const int resource = cds->FindField(m_group.Container().FldNameResourceID());
    if (resource >= 0 && (cds->IndexFieldCount() == 0 || cds->IndexField(0) != resource))
        cds->SetIndexName(none->IndexName());
    if (resource >= 0 && cds->IndexFieldCount() > 0 && cds->IndexField(0) == resource)
        cds->SetRange({qint64(m_resourceId)}, {qint64(m_resourceId)});
    cds->DisableControls();
    return std::make_shared<TPlantafelCustomDataSourceDataSetImpl>(FullName(), std::move(cds));
}

// ---- sub-view group

TPlantafelSubViewGroup::TPlantafelSubViewGroup(TPlantafelContainerDataSource& container,
                                               const QString& name)
    : FContainer(container), FName(name) {}

TPlantafelSubViewGroup::~TPlantafelSubViewGroup() {
    FActive = false;
    ClearLinks();
    FDataSources.clear();
    FGrouping.reset();
}

void TPlantafelSubViewGroup::SetActive(bool active) {
    if (active == FActive)
        return;
    if (active) {
        if (!FContainer.Active())
            return;
        try {
            CreateData();
            LoadAggregates();
            FActive = true;
            for (auto& source : FDataSources) {
                if (!source->DataContainer())
                    source->SetDataContainer(std::make_unique<TPlantafelDataContainer>());
                source->SetActive(true);
            }
            PublishActivation(true);
        } catch (...) {
            // A filter or aggregate that does not parse: nothing of the group stays half built.
            FActive = false;
            PublishActivation(false);
            {
                std::lock_guard lock(m_countMutex);
                FRecordCount = 0;
            }
            for (auto& source : FDataSources)
                source->SetActive(false);
            FreeData();
            throw;
        }
        {
            // A count of the previous activation still running publishes nothing after this.
            std::lock_guard lock(m_countMutex);
            ClearLinks();
            FRecordCount = -1;
        }
        for (auto& source : FDataSources)
            source->DataChanged();
    } else {
        FActive = false;
        PublishActivation(false);
        {
            std::lock_guard lock(m_countMutex);
            FRecordCount = 0;
            ClearLinks();
        }
        for (auto& source : FDataSources)
            source->DataChanged();
        FreeData();
        for (auto& source : FDataSources)
            source->SetActive(false);
    }
}

void TPlantafelSubViewGroup::SetMode(TPlantafelSubViewMode mode) {
    if (mode != ptsvmCalendarWeekGroupedFirstWeekDays && mode != ptsvmCalendarWeekGroupedByWeek)
        throw EVoskPlantafelException::Fmt(QStringLiteral("xtt34024"), EnumName(mode));
    if (mode == FMode)
        return;
    SetActive(false);
    FMode = mode;
}

void TPlantafelSubViewGroup::ApplyClientSideFilter(const QString& filter) {
    const bool was = FActive;
    SetActive(false);
    FFilter = filter;
    SetActive(was);
}

void TPlantafelSubViewGroup::IncludeAggregate(const QString& expression,
                                              TPlantafelAggregationField level) {
    if (FAggsIncluded.IndexOf(expression, level) < 0)
        FAggsIncluded.Add(expression, level);
}

void TPlantafelSubViewGroup::CreateData() {
    FGrouping = std::make_unique<Cds::ClientDataSet>(
        PlantafelComponentName(QStringLiteral("CDSGrouping"), EnumName(FMode), &FGrouping));
    try {
        FContainer.CreateGroupings(FMode, *FGrouping);
    } catch (...) {
        FGrouping.reset();
        throw;
    }
}

void TPlantafelSubViewGroup::FreeData() {
    ClearLinks();
    FRecordCount = 0;
    FGrouping.reset();
}

void TPlantafelSubViewGroup::ClearLinks() {
    FLinks.store(nullptr);
    m_linksGeneration.store(0, std::memory_order_release);
    ForgetReadState();
}

void TPlantafelSubViewGroup::PublishActivation(bool active) {
    if (!active) {
        m_activation.store(nullptr);
        m_activationSerial.store(0, std::memory_order_release);
        ForgetReadState();
        return;
    }
    auto activation = std::make_shared<TPlantafelActivation>(
        TPlantafelActivation{++g_activationSerial, FAggsMapping, {}, {}});
    const Cds::ClientDataSet& master = FContainer.MasterData();
    for (int i = 0; i < master.FieldCount(); ++i)
        activation->FFldLookUp.emplace(master.FieldName(i).toLower(), i);
    for (const auto& source : FDataSources)
        for (Grid::DataController* provider : source->Providers())
            for (int i = 0; i < provider->ItemCount(); ++i)
                if (const auto* b =
                        dynamic_cast<const TVoskGridItemCustomDSDataBinding*>(provider->Item(i)))
                    activation->Columns[b] = ColumnIndexOf(activation.get(), *b);
    const quint64 serial = activation->Serial;
    m_activation.store(std::move(activation));
    m_activationSerial.store(serial, std::memory_order_release);
}

TPlantafelColumnIndex
TPlantafelSubViewGroup::ColumnIndexOf(const TPlantafelActivation* activation,
                                      const TVoskGridItemCustomDSDataBinding& binding) const {
    TPlantafelColumnIndex index;
    if (!activation)
        return index;
    if (const auto it = activation->Columns.find(&binding); it != activation->Columns.end())
        return it->second;
    switch (binding.FieldKind()) {
    case fkData: {
        const auto it = activation->FFldLookUp.find(binding.FieldName().toLower());
        index.FieldIndex = it == activation->FFldLookUp.end() ? -1 : it->second;
        std::lock_guard lock(FContainer.LockEx());
        const auto ex = FContainer.FldLookUpEx().find(binding.FieldName().toLower());
        index.FieldIndexEx = ex == FContainer.FldLookUpEx().end() ? -1 : ex->second;
        break;
    }
    case fkAggregate:
        index.FieldIndex =
            activation->AggsMapping.IndexOf(binding.AggExpression, binding.AggGroupingLevel);
        break;
    default: break;
    }
    return index;
}

void TPlantafelSubViewGroup::LoadAggregates() {
    FAggsMapping.Assign(FAggsIncluded);
    for (const auto& source : FDataSources)
        for (Grid::DataController* provider : source->Providers())
            for (int i = 0; i < provider->ItemCount(); ++i) {
                const auto* b =
                    dynamic_cast<const TVoskGridItemCustomDSDataBinding*>(provider->Item(i));
                if (b && b->FieldKind() == fkAggregate &&
                    FAggsMapping.IndexOf(b->AggExpression, b->AggGroupingLevel) < 0)
                    FAggsMapping.Add(b->AggExpression, b->AggGroupingLevel);
            }
}

void TPlantafelSubViewGroup::InitGroupingInfo(TPlantafelGroupingsInfo& info) {
    FContainer.InitGroupingInfo(info, FContainer.MasterData(), FFilter, FAggsMapping, *FGrouping);
}

TPlantafelSubViewDataSource* TPlantafelSubViewGroup::SubViewDataSourceByIndex(int index) const {
    return index >= 0 && index < int(FDataSources.size()) ? FDataSources[size_t(index)].get()
                                                          : nullptr;
}

TPlantafelSubViewDataSource* TPlantafelSubViewGroup::GetSubViewDataSource(int resourceId) const {
    for (const auto& s : FDataSources)
        if (s->ResourceID() == resourceId)
            return s.get();
    return nullptr;
}

TPlantafelSubViewDataSource* TPlantafelSubViewGroup::AddSubViewDataSource(int resourceId) {
    if (TPlantafelSubViewDataSource* s = GetSubViewDataSource(resourceId))
        return s;
    FDataSources.push_back(std::make_unique<TPlantafelSubViewDataSource>(*this, resourceId));
    return FDataSources.back().get();
}

void TPlantafelSubViewGroup::RemoveSubViewDataSource(int resourceId) {
    for (auto it = FDataSources.begin(); it != FDataSources.end(); ++it) {
        if ((*it)->ResourceID() == resourceId) {
            std::unique_ptr<TPlantafelSubViewDataSource> s = std::move(*it);
            FDataSources.erase(it);
            s->SetActive(false);
            return;
        }
    }
}

void TPlantafelSubViewGroup::ClearSubViewDataSources() {
    while (!FDataSources.empty())
        RemoveSubViewDataSource(FDataSources.front()->ResourceID());
}

bool TPlantafelSubViewGroup::DepthIsGroupingOnly(TPlantafelGroupingDepth depth) const {
    switch (depth) {
    case ptglNone:
        return false;
    case ptglYearWeek:
    case ptglYearWeekDay:
        return true;
    case ptglResourceYearWeek:
    case ptglResourceYearWeekEntity:
    case ptglResourceYearWeekDay:
    case ptglResourceYearWeekDayEntity:
        return false;
    }
    throw EVoskPlantafelException::Fmt(QStringLiteral("34025"), EnumName(depth));
}

// ---- profiling

void TPlantafelSubViewGroup::SetIsProfilingActive(bool on) {
    std::lock_guard lock(m_stopWatchMutex);
    FIsProfilingActive = on;
    if (on) {
        m_stopWatchRunning = false;
        m_stopWatchNs = 0;
        FStopWatchCount = 0;
        FNatCmpCnt = 0;
    }
}

void TPlantafelSubViewGroup::Profiling_Start() {
    if (!FIsProfilingActive)
        return;
    std::lock_guard lock(m_stopWatchMutex);
    if (m_stopWatchRunning)
        return;
    ++FStopWatchCount;
    m_stopWatchRunning = true;
    m_stopWatch.start();
}

void TPlantafelSubViewGroup::Profiling_Stop() {
    if (!FIsProfilingActive)
        return;
    std::lock_guard lock(m_stopWatchMutex);
    if (!m_stopWatchRunning)
        return;
    m_stopWatchNs += m_stopWatch.nsecsElapsed();
    m_stopWatchRunning = false;
}

// ---- counting

int TPlantafelSubViewGroup::GetRecordCount(TPlantafelSubViewDataSource& source) {
    const int known = FRecordCount.load();
    if (known >= 0)
        return known;
    // One count for all sources: the group lock comes before any container lock, so two
    // first readers neither count twice nor lock two containers in opposite order.
    std::lock_guard lock(m_countMutex);
    if (const int again = FRecordCount.load(); again >= 0)
        return again;
    if (!FActive || !source.Active())
        return 0;
    if (FIsProfilingActive)
        TKorvexLog::UserLog(kProfiling,
                            QStringLiteral("TPlantafelSubViewGroup.GetRecordCount started"), 4);
    const quint64 activation = m_activationSerial.load(std::memory_order_acquire);
    auto table = std::make_shared<TPlantafelRowTable>();
    table->Generation = ++g_rowTableGeneration;
    m_building = table.get();
    try {
        GetCountForGroup(source, FContainer.TopLevel(),
                         &TPlantafelSubViewGroup::GetRecordCount_OnSub, false, true, nullptr,
                         nullptr);
    } catch (...) {
        // No truncated board: the next reader counts again and sees the error itself.
        m_building = nullptr;
        ClearLinks();
        FRecordCount = -1;
        throw;
    }
    m_building = nullptr;
    // Deactivated or activated anew while counting: these rows belong to nobody.
    if (!FActive || m_activationSerial.load(std::memory_order_acquire) != activation)
        return 0;
    const int count = int(table->Links.size());
    const quint32 generation = table->Generation;
    for (const TPlantafelGridRowLink& link : table->Links)
        table->DepthMask |= 1u << link.FDepth;
    FLinks.store(std::move(table));
    m_linksGeneration.store(generation, std::memory_order_release);
    FRecordCount.store(count);
    if (FIsProfilingActive)
        TKorvexLog::UserLog(kProfiling,
                            QStringLiteral("TPlantafelSubViewGroup.GetRecordCount done"), 4);
    return count;
}

int TPlantafelSubViewGroup::GetCountForGroup(TPlantafelSubViewDataSource& source,
                                             TPlantafelGroupingDepth depth, TGroupEvent event,
                                             bool recurse, bool countGroups,
                                             const TVarRecArray* start, const TVarRecArray* end) {
    const std::shared_ptr<TPlantafelDataContainer> data = source.DataSnapshot();
    if (!data)
        return 0;
    std::lock_guard lock(data->Lock());
    TPlantafelGroupingsInfo& levels = data->GroupingLevelsInfo();
    TPlantafelGroupingLevelInfo& info = levels[size_t(depth)];
    if (!info.CDS)
        return 0;
    TVarRecArray low = info.ActiveRangeLow, high = info.ActiveRangeHigh;
    const size_t givenLow = start ? std::min(start->size(), low.size()) : 0;
    const size_t givenHigh = end ? std::min(end->size(), high.size()) : 0;
    for (size_t i = 0; i < givenLow; ++i)
        low[i] = (*start)[i];
    for (size_t i = 0; i < givenHigh; ++i)
        high[i] = (*end)[i];
    const bool leadingResource =
        !info.Aggregation.empty() && info.Aggregation.front() == ptfldResource;
    for (size_t i = givenLow; i < low.size(); ++i)
        if (!(i == 0 && leadingResource))
            TVarRecHelper::SetMinForRange(low[i]);
    for (size_t i = givenHigh; i < high.size(); ++i)
        if (!(i == 0 && leadingResource))
            TVarRecHelper::SetMaxForRange(high[i]);
    SetRangeFromInfo(info, low, high);

    Cds::ClientDataSet& cds = *info.CDS;
    const int childColumn =
        DepthIsGroupingOnly(depth)
            ? cds.FindField(FContainer.MappingDepthFlds()[size_t(depth)][ptgdfDepth].Name)
            : -1;
    int n = 0;
    TVarRecArray childLow, childHigh;
    // Events read other depths' datasets only; this one keeps its range and position.
    for (cds.First(); !cds.Eof(); cds.Next()) {
        if (!(cds.GetGroupState(info.GrpLvlStateIdx) & Cds::GroupPos::First))
            continue;
        TPlantafelGroupingDepth child = depth;
        if (childColumn >= 0) {
            const int v = cds.AsInteger(childColumn);
            if (v < int(ptglNone) || v > int(ptglResourceYearWeekDayEntity))
                throw EVoskPlantafelException::Fmt(QStringLiteral("34025"), QString::number(v));
            child = TPlantafelGroupingDepth(v);
        }
        SetRangeFromInfo(info, levels[size_t(child)], childLow, childHigh);
        if (countGroups)
            ++n;
        if (event)
            (this->*event)(info, child, source, childLow, childHigh);
        if (recurse && child != depth) {
            if (child == ptglResourceYearWeek || child == ptglResourceYearWeekDay)
                n += GetCountForGroup(source, child, event, recurse, countGroups, &childLow,
                                      &childHigh);
            else if (child == ptglResourceYearWeekEntity || child == ptglResourceYearWeekDayEntity)
                n += GetChildCountFor(source, child, childLow, childHigh);
        }
    }
    return n;
}

void TPlantafelSubViewGroup::GetRecordCount_OnSub(const TPlantafelGroupingLevelInfo& info,
                                                  TPlantafelGroupingDepth child,
                                                  TPlantafelSubViewDataSource& source,
                                                  const TVarRecArray& start,
                                                  const TVarRecArray& end) {
    Q_UNUSED(info);
    Q_UNUSED(source);
    switch (child) {
    case ptglYearWeek:
        return;
    case ptglYearWeekDay:
    case ptglResourceYearWeek:
    case ptglResourceYearWeekDay:
        // No rows of their own. Counting them again at the same depth would never narrow the
        // range and so never end; until a mode shows such depths they add nothing.
        return;
    case ptglResourceYearWeekEntity:
    case ptglResourceYearWeekDayEntity:
        break;
    default:
        throw EVoskPlantafelException::Fmt(QStringLiteral("34025"), EnumName(child));
    }
    if (!m_building)
        return;
    int n = 0;
    for (const auto& s : FDataSources) {
        const std::shared_ptr<TPlantafelDataContainer> data = s->DataSnapshot();
        if (!data || !s->Active())
            continue;
        TVarRecArray low = start, high = end;
        const TPlantafelGroupingLevelInfo& childInfo = data->GroupingLevelsInfo()[size_t(child)];
        SetValuesInRange(*s, childInfo, low, {ptfldResource});
        SetValuesInRange(*s, childInfo, high, {ptfldResource});
        n = std::max(n, GetChildCountFor(*s, child, low, high) + 1);
    }
    if (n == 0)
        return;
    // The week's fixed keys, kept once for all its rows.
    const std::shared_ptr<TPlantafelDataContainer> own = source.DataSnapshot();
    const TPlantafelGroupingLevelInfo& childInfo = own->GroupingLevelsInfo()[size_t(child)];
    const int fixed = FixedCount(childInfo, start, end);
    m_building->Prefixes.emplace_back(start.begin(), start.begin() + fixed);
    const qint32 prefix = qint32(m_building->Prefixes.size() - 1);
    for (int offset = 0; offset < n; ++offset)
        m_building->Links.push_back({prefix, offset, quint8(child)});
}

int TPlantafelSubViewGroup::GetChildCountFor(TPlantafelSubViewDataSource& source,
                                             TPlantafelGroupingDepth depth,
                                             const TVarRecArray& start, const TVarRecArray& end) {
    const std::shared_ptr<TPlantafelDataContainer> data = source.DataSnapshot();
    if (!data)
        return 0;
    std::lock_guard lock(data->Lock());
    TPlantafelGroupingLevelInfo& info = data->GroupingLevelsInfo()[size_t(depth)];
    if (!info.CDS)
        return 0;
    SetRangeFromInfo(info, start, end);
    return info.CDS->GroupStartCount(info.GrpLvlStateIdx);
}

void TPlantafelSubViewGroup::SetRangeFromInfo(const TPlantafelGroupingLevelInfo& info,
                                              const TPlantafelGroupingLevelInfo& child,
                                              TVarRecArray& start, TVarRecArray& end) {
    start = child.ActiveRangeLow;
    end = child.ActiveRangeHigh;
    start.resize(child.Aggregation.size());
    end.resize(child.Aggregation.size());
    const Cds::ClientDataSet& cds = *info.CDS;
    const auto& names = FContainer.MappingAggFlds();
    for (size_t i = 0; i < child.Aggregation.size(); ++i) {
        const TPlantafelAggregationField f = child.Aggregation[i];
        const bool shared = KeyPosition(info, f) >= 0 && f != ptfldResource;
        const int column = shared ? cds.FindField(names[size_t(f)].Name) : -1;
        if (column >= 0) {
            TVarRecHelper::SetVal(start[i], cds, column);
            TVarRecHelper::SetVal(end[i], cds, column);
        } else if (!(i == 0 && f == ptfldResource && !DepthIsGroupingOnly(info.Level))) {
            TVarRecHelper::SetMinForRange(start[i]);
            TVarRecHelper::SetMaxForRange(end[i]);
        }
    }
    // From a master-data row the resource is the row's; from a calendar row each source
    // puts in its own.
    if (!child.Aggregation.empty() && child.Aggregation[0] == ptfldResource &&
        !DepthIsGroupingOnly(info.Level)) {
        const int column = cds.FindField(names[ptfldResource].Name);
        if (column >= 0) {
            TVarRecHelper::SetVal(start[0], cds, column);
            TVarRecHelper::SetVal(end[0], cds, column);
        }
    }
}

void TPlantafelSubViewGroup::SetRangeFromInfo(TPlantafelSubViewDataSource& source,
                                              const TPlantafelRowTable& table,
                                              const TPlantafelGridRowLink& link,
                                              const TPlantafelGroupingLevelInfo& info,
                                              TVarRecArray& start, TVarRecArray& end) {
    const TVarRecArray& prefix = table.Prefixes[size_t(link.FPrefix)];
    const TPlantafelGroupingLevelInfo* linkInfo = nullptr;
    if (const auto data = source.DataSnapshot())
        linkInfo = &data->GroupingLevelsInfo()[size_t(link.Depth())];
    start.assign(info.Aggregation.size(), TVarRec{});
    end.assign(info.Aggregation.size(), TVarRec{});
    for (size_t i = 0; i < info.Aggregation.size(); ++i) {
        const int at = linkInfo ? KeyPosition(*linkInfo, info.Aggregation[i]) : -1;
        if (at >= 0 && at < int(prefix.size())) {
            start[i] = prefix[size_t(at)];
            end[i] = prefix[size_t(at)];
        } else {
            TVarRecHelper::SetMinForRange(start[i]);
            TVarRecHelper::SetMaxForRange(end[i]);
        }
    }
    SetValuesInRange(source, info, start, {ptfldResource});
    SetValuesInRange(source, info, end, {ptfldResource});
}

void TPlantafelSubViewGroup::SetRangeFromInfo(TPlantafelGroupingLevelInfo& info,
                                              const TVarRecArray& start, const TVarRecArray& end) {
    info.CDS->SetRange(TVarRecHelper::ToKeys(start), TVarRecHelper::ToKeys(end));
}

void TPlantafelSubViewGroup::SetRangeFromInfo(TPlantafelSubViewDataSource& source,
                                              TPlantafelGroupingLevelInfo& info,
                                              const TPlantafelRowTable& table,
                                              const TPlantafelGridRowLink& link) {
    // The fixed keys only: a shorter key matches on its leading fields.
    TVarRecArray keys = table.Prefixes[size_t(link.FPrefix)];
    SetValuesInRange(source, info, keys, {ptfldResource});
    SetRangeFromInfo(info, keys, keys);
}

void TPlantafelSubViewGroup::SetValuesInRange(TPlantafelSubViewDataSource& source,
                                              const TPlantafelGroupingLevelInfo& info,
                                              TVarRecArray& range,
                                              TPlantafelAggregationFieldSet fields) {
    for (size_t i = 0; i < range.size() && i < info.Aggregation.size(); ++i)
        if (info.Aggregation[i] == ptfldResource && fields.Contains(ptfldResource))
            range[i] = TVarRec{vtInteger, qint64(source.ResourceID())};
}

// ---- locating

int TPlantafelSubViewGroup::RowIndexOf(Grid::RecordHandle link) const {
    return RowIndexIn(FLinks.load().get(), link);
}

int TPlantafelSubViewGroup::RowIndexIn(const TPlantafelRowTable* table, Grid::RecordHandle link) {
    if (!table || quint32(link >> 32) != table->Generation)
        return -1;
    const qint64 row = qint64(link & 0xffffffffu) - 1;
    return row >= 0 && row < qint64(table->Links.size()) ? int(row) : -1;
}

Grid::RecordHandle TPlantafelSubViewGroup::GetRecordHandle(TPlantafelSubViewDataSource& source,
                                                           int index) {
    if (FMode != ptsvmCalendarWeekGroupedFirstWeekDays && FMode != ptsvmCalendarWeekGroupedByWeek)
        return Grid::kNoRecord;
    if (FRecordCount.load() < 0)
        GetRecordCount(source);
    const auto table = FLinks.load();
    if (!table || index < 0 || index >= int(table->Links.size()))
        return Grid::kNoRecord;
    return MakeHandle(*table, index);
}

bool TPlantafelSubViewGroup::LocateRecordByRecordHandle(TPlantafelSubViewDataSource& source,
                                                        TPlantafelDataContainer& data,
                                                        const TPlantafelRowTable& table, int row) {
    if (row < 0 || row >= int(table.Links.size()))
        return false;
    const TPlantafelGridRowLink& link = table.Links[size_t(row)];
    TPlantafelGroupingLevelInfo& info = data.GroupingLevelsInfo()[size_t(link.Depth())];
    if (!info.CDS || !info.CDS->Active())
        return false;
    SetRangeFromInfo(source, info, table, link);
    if (!info.CDS->GotoGroupStart(info.GrpLvlStateIdx, link.FEntityOffset))
        return false;
    if (info.RecIdentFldIdx >= 0)
        info.RecIdentFldVal = info.CDS->AsInteger(info.RecIdentFldIdx);
    return true;
}

QVariant TPlantafelSubViewGroup::GetRecordId(TPlantafelSubViewDataSource& source,
                                             Grid::RecordHandle link) {
    // The container before the rows, as every reader takes them.
    const auto data = source.DataSnapshot();
    const auto table = FLinks.load();
    const int row = RowIndexIn(table.get(), link);
    if (row < 0 || !data)
        return {};
    std::lock_guard lock(data->Lock());
    if (!LocateRecordByRecordHandle(source, *data, *table, row))
        return {};
    return FContainer.GetUniqueKey(
        *data->GroupingLevelsInfo()[size_t(table->Links[size_t(row)].Depth())].CDS);
}

// ---- values

void TPlantafelSubViewGroup::LoadRecordHandles(TPlantafelSubViewDataSource& source) {
    const auto activation = m_activation.load();
    std::shared_ptr<TPlantafelActivation> widened; // when a column came after the activation
    for (Grid::DataController* provider : source.Providers())
        for (int i = 0; i < provider->ItemCount(); ++i) {
            auto* b = dynamic_cast<TVoskGridItemCustomDSDataBinding*>(provider->Item(i));
            if (!b)
                continue;
            const TPlantafelColumnIndex index = ColumnIndexOf(activation.get(), *b);
            // The binding's own fields say what it reads for those who look (GUI thread);
            // readers take the published copy.
            b->FieldIndex = index.FieldIndex;
            b->FieldIndexEx = index.FieldIndexEx;
            if (activation && !activation->Columns.count(b)) {
                if (!widened)
                    widened = std::make_shared<TPlantafelActivation>(*activation);
                widened->Columns[b] = index;
            }
        }
    if (widened) {
        // Same activation, one more column: the serial changes so that readers take it.
        widened->Serial = ++g_activationSerial;
        const quint64 serial = widened->Serial;
        m_activation.store(std::move(widened));
        m_activationSerial.store(serial, std::memory_order_release);
    }
}

Grid::ItemHandle TPlantafelSubViewGroup::GetItemHandle(TPlantafelSubViewDataSource& source,
                                                       int itemIndex) {
    Q_UNUSED(source);
    Grid::DataController* provider = Grid::CustomDataSource::CurrentProvider();
    if (!provider && !source.Providers().empty())
        provider = source.Providers().front();
    if (!provider)
        return nullptr;
    return dynamic_cast<TVoskGridItemCustomDSDataBinding*>(provider->Item(itemIndex));
}

QVariant TPlantafelSubViewGroup::GetValue(TPlantafelSubViewDataSource& source,
                                          Grid::RecordHandle link, Grid::ItemHandle item) {
    const auto* binding = AsCustomDSBinding(item);
    if (!binding)
        return {};
    const TReadState& st = ReadState(source);
    return ValueOfRow(source, link, binding->FieldName(),
                      ColumnIndexOf(st.Activation.get(), *binding), binding->FieldKind(), binding);
}

QVariant TPlantafelSubViewGroup::GetValueByFieldname(TPlantafelSubViewDataSource& source,
                                                     Grid::RecordHandle link, const QString& name) {
    return ValueOfRow(source, link, name,
                      {source.GetFieldIndex(name), source.GetFieldIndexEx(name)}, fkData, nullptr);
}

namespace {

TPlantafelCells::TKind CellKind(Cds::FieldType type) {
    switch (type) {
    case Cds::FieldType::Float:
    case Cds::FieldType::Currency: return TPlantafelCells::ckReal;
    case Cds::FieldType::String: return TPlantafelCells::ckText;
    default: return TPlantafelCells::ckInteger;
    }
}

// Cell i from a stored cell of the column's own kind.
void PutCell(TPlantafelCells& out, size_t i, const Cds::ClientDataSet::Cells& cells, quint32 r) {
    if (cells.IsNull(r))
        return;
    out.Null[i] = 0;
    switch (cells.Type()) {
    case Cds::FieldType::Float:
    case Cds::FieldType::Currency: out.Reals[i] = cells.Real(r); break;
    case Cds::FieldType::String: out.Texts[i] = cells.Text(r); break;
    case Cds::FieldType::DateTime: out.Integers[i] = cells.EpochMs(r, out.Zone); break;
    default: out.Integers[i] = cells.Integer(r); break;
    }
}

// Cell i from a value GetValue gives, converted to the column's kind.
void PutValue(TPlantafelCells& out, size_t i, const QVariant& v) {
    if (!v.isValid() || v.isNull())
        return;
    out.Null[i] = 0;
    switch (out.Kind) {
    case TPlantafelCells::ckReal: out.Reals[i] = v.toDouble(); break;
    case TPlantafelCells::ckText:
        out.Owned.push_back(v.toString());
        out.Texts[i] = out.Owned.back();
        break;
    case TPlantafelCells::ckInteger:
        out.Integers[i] = v.typeId() == QMetaType::QDateTime ? v.toDateTime().toMSecsSinceEpoch()
                          : v.typeId() == QMetaType::QDate   ? v.toDate().toJulianDay()
                                                             : v.toLongLong();
        break;
    }
}

} // namespace

template <class Located, class Missed>
void TPlantafelSubViewGroup::LocateRows(TPlantafelSubViewDataSource& source,
                                        TPlantafelDataContainer& data,
                                        const TPlantafelRowTable& table, TPlantafelRowMemo& memo,
                                        const Grid::RecordHandle* records, size_t count,
                                        bool onlyNew, Located&& located, Missed&& missed) {
    auto& levels = data.GroupingLevelsInfo();
    // The depth and week whose range the depth's dataset has now; -1 when another range may be
    // on it (a caller's callback may set ranges).
    std::array<qint32, kPlantafelGroupingDepthCount> rangeOf;
    rangeOf.fill(-1);
    for (size_t i = 0; i < count; ++i) {
        const int row = RowIndexIn(&table, records[i]);
        if (row < 0) {
            missed(i);
            continue;
        }
        if (onlyNew && memo.At(size_t(row)) != kNotLocated)
            continue;
        const TPlantafelGridRowLink& link = table.Links[size_t(row)];
        TPlantafelGroupingLevelInfo& info = levels[size_t(link.Depth())];
        bool found = false;
        if (info.CDS && info.CDS->Active()) {
            qint32& range = rangeOf[size_t(link.Depth())];
            if (range != link.FPrefix) {
                SetRangeFromInfo(source, info, table, link);
                range = link.FPrefix;
            }
            found = info.CDS->GotoGroupStart(info.GrpLvlStateIdx, link.FEntityOffset);
        }
        if (!found) {
            memo.Note(size_t(row), -1);
            missed(i);
            rangeOf.fill(-1);
            continue;
        }
        if (info.RecIdentFldIdx >= 0)
            info.RecIdentFldVal = info.CDS->AsInteger(info.RecIdentFldIdx);
        memo.Note(size_t(row), qint32(info.CDS->RowId()));
        located(i, row, info);
    }
}

bool TPlantafelSubViewGroup::ReadCells(TPlantafelSubViewDataSource& source,
                                       const Grid::RecordHandle* records, size_t count,
                                       Grid::ItemHandle item, TPlantafelCells& out) {
    const auto* binding = AsCustomDSBinding(item);
    if (!binding || binding->FieldKind() != fkData)
        return false;
    // A value read the general way may replace this thread's read state: keep what is read.
    const TReadState& st = ReadState(source);
    const std::shared_ptr<const TPlantafelActivation> activation = st.Activation;
    const std::shared_ptr<TPlantafelDataContainer> data = st.Data;
    const std::shared_ptr<const TPlantafelRowTable> table = st.Table;
    TPlantafelRowMemo* memo = st.Memo;
    const TPlantafelColumnIndex index = ColumnIndexOf(activation.get(), *binding);
    const QString& name = binding->FieldName();
    auto general = [&](size_t i) {
        PutValue(out, i, ValueOfRow(source, records[i], name, index, fkData, binding));
    };
    const bool readable =
        activation && data && table && memo && (index.FieldIndex >= 0 || index.FieldIndexEx >= 0);

    // The records not located yet first, under the container's lock and before the information
    // rows' (the order every reader takes them in), one range a week.
    if (readable && memo->Unlocated.load(std::memory_order_acquire) > 0) {
        std::lock_guard lock(data->Lock());
        LocateRows(
            source, *data, *table, *memo, records, count, true,
            [](size_t, int, const TPlantafelGroupingLevelInfo&) {}, [](size_t) {});
    }

    // Information rows are read under their lock, taken once for all rows.
    std::unique_lock<std::recursive_mutex> lockEx;
    Cds::ClientDataSet* ex = nullptr;
    Cds::ClientDataSet::Cells exKeys, exCells;
    Cds::FieldType type = Cds::FieldType::Integer;
    const int linkField = FContainer.ExLinkMasterFldIdx();
    const bool infoField = index.FieldIndex < 0;
    if (!infoField) {
        if (index.FieldIndex < FContainer.MasterData().FieldCount())
            type = FContainer.MasterData().GetFieldType(index.FieldIndex);
    } else if (index.FieldIndexEx >= 0) {
        lockEx = std::unique_lock(FContainer.LockEx());
        ex = &FContainer.MasterRecordsEx();
        const int exKey = FContainer.ExLinkMasterFldExIdx();
        if (ex->Active() && index.FieldIndexEx < ex->FieldCount()) {
            type = ex->GetFieldType(index.FieldIndexEx);
            exCells = ex->CellsOf(index.FieldIndexEx);
            if (exKey >= 0 && exKey < ex->FieldCount())
                exKeys = ex->CellsOf(exKey);
        }
    }
    out.Prepare(CellKind(type), count);
    out.Temporal = type == Cds::FieldType::Date || type == Cds::FieldType::DateTime;
    out.Owned.clear();
    out.Held.clear();
    if (out.Kind == TPlantafelCells::ckText && exCells.Rows() > 0)
        out.Held.push_back(exCells);
    if (!readable) {
        // Nothing typed to read (inactive, an unknown field): the general way answers, logging
        // what is missing as it does.
        if (lockEx.owns_lock())
            lockEx.unlock();
        for (size_t i = 0; i < count; ++i)
            general(i);
        return true;
    }
    // Information rows without keys to go by, or of no such field: GetValue gives Null.
    if (infoField && (exKeys.Rows() == 0 || exCells.Rows() == 0 || linkField < 0))
        return true;

    // The cells of the depth's dataset a row reads, taken once per depth.
    struct DepthCells final {
        const Cds::ClientDataSet* Set = nullptr;
        Cds::ClientDataSet::Cells Field, Link;
        std::shared_ptr<TPlantafelInfoJoin> Join; // information fields
        bool SameStore = false;                   // Field reads the store gathered from
    };
    std::array<DepthCells, kPlantafelGroupingDepthCount> depths;
    std::array<DepthCells*, kPlantafelGroupingDepthCount> depthOf;
    const Cds::ClientDataSet::Cells* from = infoField ? &exCells : nullptr;
    for (int k = 0; k < kPlantafelGroupingDepthCount; ++k) {
        depthOf[size_t(k)] = nullptr;
        DepthCells& d = depths[size_t(k)];
        const Cds::ClientDataSet* cds = data->GroupingLevelsInfo()[size_t(k)].CDS.get();
        if (!cds || !cds->Active())
            continue;
        d.Set = cds;
        if (!infoField) {
            if (index.FieldIndex >= cds->FieldCount() ||
                CellKind(cds->GetFieldType(index.FieldIndex)) != out.Kind)
                continue;
            d.Field = cds->CellsOf(index.FieldIndex);
            if (out.Kind == TPlantafelCells::ckText)
                out.Held.push_back(d.Field);
        } else {
            if (linkField >= cds->FieldCount())
                continue;
            d.Link = cds->CellsOf(linkField);
        }
        depthOf[size_t(k)] = &d;
    }

    std::vector<size_t> pending; // read the general way (the extra rows' keys)
    const quint32 generation = table->Generation;
    const quint64 links = table->Links.size();
    // Every row of the table in order and every one located: the memo's rows are the stored
    // rows to read, when all depths the rows lie at read one store.
    const qint32* whole = nullptr;
    DepthCells* single = nullptr;
    if (count == links && count > 0 && (whole = memo->Whole())) {
        const Grid::RecordHandle first = (Grid::RecordHandle(generation) << 32) | 1;
        Grid::RecordHandle apart = 0;
        for (size_t i = 0; i < count; ++i)
            apart |= records[i] ^ (first + i);
        bool inOrder = apart == 0;
        for (int k = 0; inOrder && k < kPlantafelGroupingDepthCount; ++k) {
            if (!(table->DepthMask & (1u << k)))
                continue;
            DepthCells* d = depthOf[size_t(k)];
            auto store = [&](const DepthCells& c) {
                return infoField ? c.Link.Store() : c.Field.Store();
            };
            if (!d || (single && store(*d) != store(*single)))
                inOrder = false;
            single = d;
        }
        if (!inOrder || !single)
            whole = nullptr;
    }
    const qint32* rowsRead = nullptr;
    if (whole && !infoField) {
        from = &single->Field;
        rowsRead = whole;
        pending = memo->Missing(count);
    } else if (whole) {
        // The information rows of every grid row, resolved once for the join.
        single->Join = memo->JoinFor(exKeys, single->Link, links);
        rowsRead = single->Join->WholeRows(whole, *ex, *single->Set, linkField);
    } else {
        // First the stored row of every record, then its cells in one pass over the store.
        std::vector<qint32>& rows = out.Rows;
        rows.assign(count, -1);
        const TPlantafelGridRowLink* link = table->Links.data();
        for (size_t i = 0; i < count; ++i) {
            const Grid::RecordHandle handle = records[i];
            const quint64 row = (handle & 0xffffffffu) - 1;
            if (quint32(handle >> 32) != generation || row >= links)
                continue; // a handle of an earlier count or of nothing: Null
            const qint32 physical = memo->At(row);
            if (physical < 0) { // a week's extra row: its keys, or Null for information fields
                if (!infoField)
                    pending.push_back(i);
                continue;
            }
            DepthCells* d = depthOf[link[row].FDepth];
            const quint32 p = quint32(physical);
            if (!infoField) {
                if (!d || p >= d->Field.Rows()) {
                    pending.push_back(i);
                    continue;
                }
                if (!from) {
                    from = &d->Field;
                    for (DepthCells& other : depths)
                        other.SameStore =
                            other.Field.Rows() > 0 && other.Field.Store() == from->Store();
                }
                if (d->SameStore)
                    rows[i] = qint32(p);
                else // another depth's store: rare enough to read on its own
                    PutCell(out, i, d->Field, p);
                continue;
            }
            // From the information row of the record's entity.
            if (!d)
                continue;
            if (!d->Join)
                d->Join = memo->JoinFor(exKeys, d->Link, links);
            rows[i] = d->Join->RowOf(row, p, *ex, *d->Set, linkField); // none: Null
        }
        rowsRead = rows.data();
    }
    if (from) {
        switch (out.Kind) {
        case TPlantafelCells::ckInteger:
            if (from->Type() == Cds::FieldType::DateTime)
                from->GatherEpochMs(rowsRead, count, out.Null.data(), out.Integers.data(),
                                    out.Zone);
            else
                from->GatherIntegers(rowsRead, count, out.Null.data(), out.Integers.data());
            break;
        case TPlantafelCells::ckReal:
            from->GatherReals(rowsRead, count, out.Null.data(), out.Reals.data());
            break;
        case TPlantafelCells::ckText:
            from->GatherTexts(rowsRead, count, out.Null.data(), out.Texts.data());
            break;
        }
    }
    if (lockEx.owns_lock())
        lockEx.unlock();
    for (size_t i : pending)
        general(i);
    return true;
}

QVariant TPlantafelSubViewGroup::ExtraRowValue(TPlantafelSubViewDataSource& source,
                                               const TPlantafelDataContainer& data,
                                               const TPlantafelRowTable& table,
                                               const TPlantafelGridRowLink& link,
                                               const QString& name) const {
    const auto& names = FContainer.MappingAggFlds();
    const TVarRecArray& prefix = table.Prefixes[size_t(link.FPrefix)];
    const TPlantafelGroupingLevelInfo& info = data.GroupingLevelsInfo()[size_t(link.Depth())];
    auto keyValue = [&](TPlantafelAggregationField f) -> QVariant {
        const int at = KeyPosition(info, f);
        if (at == 0 && f == ptfldResource)
            return qint64(source.ResourceID());
        if (at < 0 || at >= int(prefix.size()))
            return {};
        return Cds::VariantFromKey(prefix[size_t(at)].Value);
    };
    if (name.compare(names[ptfldYearAndWeek].Name, Qt::CaseInsensitive) == 0) {
        const QVariant y = keyValue(ptfldYear), w = keyValue(ptfldWeek);
        if (!y.isValid() || !w.isValid())
            return {};
        return int(y.toLongLong() * 100 + w.toLongLong());
    }
    for (TPlantafelAggregationField f : info.Aggregation)
        if (name.compare(names[size_t(f)].Name, Qt::CaseInsensitive) == 0) {
            const QVariant v = keyValue(f);
            return v.isValid() ? QVariant(QString::number(v.toLongLong())) : QVariant();
        }
    return {};
}

QVariant TPlantafelSubViewGroup::ValueOfRow(TPlantafelSubViewDataSource& source,
                                            Grid::RecordHandle link, const QString& name,
                                            TPlantafelColumnIndex index, TFieldKind kind,
                                            const TVoskGridItemCustomDSDataBinding* binding) {
    const TReadState& st = ReadState(source);
    if (!st.Activation)
        return {}; // inactive: nothing is known, and nothing is missing either
    const int fieldIndex = index.FieldIndex, fieldIndexEx = index.FieldIndexEx;
    const bool calculated = kind == fkCalculated || kind == fkInternalCalc;
    const bool unknown = (kind == fkData && fieldIndex < 0 && fieldIndexEx < 0) ||
                         (kind == fkAggregate && fieldIndex < 0);
    if (unknown) {
        if (source.FirstReportOfMissingField(name))
            TKorvexLog::UserLog(
                kSourceLog, QStringLiteral("GetValue: ItemHandle(field[%1]) unknown").arg(name), 4);
        return {};
    }
    if (kind == fkLookup)
        return {};
    const TPlantafelRowTable* table = st.Table.get();
    TPlantafelDataContainer* data = st.Data.get();
    if (!data || !table || quint32(link >> 32) != table->Generation)
        return {}; // a handle of an earlier count or of nothing
    const qint64 rowIndex = qint64(link & 0xffffffffu) - 1;
    if (rowIndex < 0 || rowIndex >= qint64(table->Links.size()))
        return {};
    const int row = int(rowIndex);
    const TPlantafelGridRowLink& rl = table->Links[size_t(row)];
    TPlantafelRowMemo* memo = st.Memo;
    qint32 physical = memo->At(size_t(row));

    if (kind == fkData) {
        if (physical == kNotLocated) {
            std::lock_guard lock(data->Lock());
            physical = LocateRecordByRecordHandle(source, *data, *table, row)
                           ? qint32(data->GroupingLevelsInfo()[size_t(rl.Depth())].CDS->RowId())
                           : -1;
            memo->Note(size_t(row), physical);
        }
        const Cds::ClientDataSet& cds = *data->GroupingLevelsInfo()[size_t(rl.Depth())].CDS;
        if (physical < 0)
            return fieldIndex >= 0 ? ExtraRowValue(source, *data, *table, rl, name) : QVariant();
        if (fieldIndex >= 0)
            return cds.ValueAt(physical, fieldIndex);
        // From the information row of the record's entity, found as typed reads find it.
        const int linkField = FContainer.ExLinkMasterFldIdx();
        if (linkField < 0 || linkField >= cds.FieldCount())
            return {};
        std::lock_guard lockEx(FContainer.LockEx());
        Cds::ClientDataSet& ex = FContainer.MasterRecordsEx();
        const int exKey = FContainer.ExLinkMasterFldExIdx();
        if (!ex.Active() || exKey < 0 || exKey >= ex.FieldCount() ||
            fieldIndexEx >= ex.FieldCount())
            return {};
        const std::shared_ptr<TPlantafelInfoJoin> join =
            memo->JoinFor(ex.CellsOf(exKey), cds.CellsOf(linkField), table->Links.size());
        const qint32 at = join->RowOf(size_t(row), quint32(physical), ex, cds, linkField);
        return at < 0 ? QVariant() : ex.ValueAt(at, fieldIndexEx);
    }

    // Calculated values and aggregates read the positioned dataset. The event may read other
    // sources on this thread, which replaces its read state: keep what this read uses.
    const std::shared_ptr<TPlantafelDataContainer> keepData = st.Data;
    const std::shared_ptr<const TPlantafelRowTable> keepTable = st.Table;
    const std::shared_ptr<const TPlantafelActivation> activation = st.Activation;
    std::lock_guard lock(data->Lock());
    if (!LocateRecordByRecordHandle(source, *data, *table, row)) {
        memo->Note(size_t(row), -1);
        return {};
    }
    TPlantafelGroupingLevelInfo& info = data->GroupingLevelsInfo()[size_t(rl.Depth())];
    memo->Note(size_t(row), qint32(info.CDS->RowId()));
    QVariant value;
    if (calculated) {
        if (binding && binding->OnCalcField())
            binding->OnCalcField()(*info.CDS, value);
        return value;
    }
    if (fieldIndex >= activation->AggsMapping.Count())
        return {};
    const int entry = activation->AggsMapping[fieldIndex].Mapping[size_t(rl.Depth())];
    return entry < 0 ? QVariant() : info.CDS->AggregateValue(entry);
}

// ---- aggregates and group states

bool TPlantafelSubViewGroup::TransformRangeToGrouping(
    TPlantafelSubViewDataSource& source, TPlantafelDataContainer& data,
    const TPlantafelRowTable& table, const TPlantafelGridRowLink& link, bool located,
    TPlantafelGroupingDepth target, TPlantafelAggregationFieldSet dependent, TVarRecArray& keys) {
    Q_UNUSED(source);
    const TPlantafelGroupingLevelInfo& from = data.GroupingLevelsInfo()[size_t(link.Depth())];
    const TPlantafelGroupingLevelInfo& to = data.GroupingLevelsInfo()[size_t(target)];
    const TVarRecArray& prefix = table.Prefixes[size_t(link.FPrefix)];
    const auto& names = FContainer.MappingAggFlds();
    keys.assign(to.Aggregation.size(), TVarRec{vtVariant, std::monostate{}});
    bool complete = true;
    for (size_t i = 0; i < to.Aggregation.size(); ++i) {
        const TPlantafelAggregationField f = to.Aggregation[i];
        const int at = KeyPosition(from, f);
        if (at >= 0 && at < int(prefix.size()) && f != ptfldResource) {
            keys[i] = prefix[size_t(at)];
            continue;
        }
        // Day and date stand for each other: either one names the same calendar day.
        const bool wanted = dependent.Contains(f) ||
                            (f == ptfldDay && dependent.Contains(ptfldDate)) ||
                            (f == ptfldDate && dependent.Contains(ptfldDay));
        const int column = from.CDS ? from.CDS->FindField(names[size_t(f)].Name) : -1;
        if (wanted && located && column >= 0) {
            keys[i] = TVarRec{vtVariant, from.CDS->AsKey(column)};
            continue;
        }
        complete = false;
    }
    return complete;
}

QVariant TPlantafelSubViewGroup::GetAggregateValue(TPlantafelSubViewDataSource& source,
                                                   Grid::RecordHandle link,
                                                   TPlantafelDataSetTypeSet allowed,
                                                   int mappingIndex) {
    const auto data = source.DataSnapshot();
    const auto table = FLinks.load();
    const auto activation = m_activation.load();
    const int row = RowIndexIn(table.get(), link);
    if (!data || !table || !activation || row < 0 || mappingIndex < 0 ||
        mappingIndex >= activation->AggsMapping.Count())
        return {};
    const TPlantafelAggregateMapping& mapping = activation->AggsMapping[mappingIndex];
    const TPlantafelGridRowLink& rl = table->Links[size_t(row)];
    std::lock_guard lock(data->Lock());
    const bool located = LocateRecordByRecordHandle(source, *data, *table, row);
    TPlantafelGroupingLevelInfo& info = data->GroupingLevelsInfo()[size_t(rl.Depth())];
    if (allowed.Contains(ptdstData) && located) {
        const int entry = mapping.Mapping[size_t(rl.Depth())];
        return entry < 0 ? QVariant() : info.CDS->AggregateValue(entry);
    }
    if (!allowed.Contains(ptdstGrouping))
        return {};
    const TPlantafelGroupingDepth target = info.LevelGrouping;
    TVarRecArray keys;
    if (!TransformRangeToGrouping(source, *data, *table, rl, located, target, {}, keys))
        TransformRangeToGrouping(source, *data, *table, rl, located, target, mapping.DependentFlds,
                                 keys);
    TPlantafelGroupingLevelInfo& grouping = data->GroupingLevelsInfo()[size_t(target)];
    const int entry = mapping.Mapping[size_t(target)];
    if (entry < 0 || !grouping.CDS)
        return {};
    SetRangeFromInfo(grouping, keys, keys);
    grouping.CDS->First();
    return grouping.CDS->Eof() ? QVariant() : grouping.CDS->AggregateValue(entry);
}

QVariant TPlantafelSubViewGroup::GetAggregateValue(TPlantafelSubViewDataSource& source,
                                                   int mappingIndex, TPlantafelDataSetType type) {
    const auto data = source.DataSnapshot();
    const auto activation = m_activation.load();
    if (!data || !activation || mappingIndex < 0 ||
        mappingIndex >= activation->AggsMapping.Count())
        return {};
    std::lock_guard lock(data->Lock());
    const TPlantafelGroupingDepth depth = type == ptdstData ? ptglResourceYearWeek : ptglYearWeek;
    TPlantafelGroupingLevelInfo& info = data->GroupingLevelsInfo()[size_t(depth)];
    const int entry = activation->AggsMapping[mappingIndex].Mapping[size_t(depth)];
    if (!info.CDS || entry < 0)
        return {};
    if (type == ptdstData) {
        const Cds::KeyList res{qint64(source.ResourceID())};
        info.CDS->SetRange(res, res);
    } else {
        info.CDS->CancelRange();
    }
    info.CDS->First();
    return info.CDS->Eof() ? QVariant() : info.CDS->AggregateValue(entry);
}

TPlantafelAggregateValueLst TPlantafelSubViewGroup::GetAggregateValueLst(
    TPlantafelSubViewDataSource& source, Grid::RecordHandle link, const std::vector<int>& fields,
    TPlantafelDataSetTypeSet allowed, int mappingIndex) {
    TPlantafelAggregateValueLst out;
    const auto data = source.DataSnapshot();
    const auto table = FLinks.load();
    const auto activation = m_activation.load();
    const int row = RowIndexIn(table.get(), link);
    if (!data || !table || !activation || row < 0 || mappingIndex < 0 ||
        mappingIndex >= activation->AggsMapping.Count())
        return out;
    const TPlantafelAggregateMapping& mapping = activation->AggsMapping[mappingIndex];
    const TPlantafelGridRowLink& rl = table->Links[size_t(row)];
    auto typeOf = [this](TPlantafelGroupingDepth d) {
        return DepthIsGroupingOnly(d) ? ptdstGrouping : ptdstData;
    };
    int depth = -1;
    if (allowed.Contains(typeOf(rl.Depth())))
        depth = int(rl.Depth());
    else
        for (int d = ptglResourceYearWeekDayEntity; d >= ptglNone; --d)
            if (allowed.Contains(typeOf(TPlantafelGroupingDepth(d))) &&
                mapping.Mapping[size_t(d)] != -1) {
                depth = d;
                break;
            }
    if (depth < 0)
        return out;
    const int entry = mapping.Mapping[size_t(depth)];
    std::lock_guard lock(data->Lock());
    TPlantafelGroupingLevelInfo& info = data->GroupingLevelsInfo()[size_t(depth)];
    if (!info.CDS || entry < 0 || KeyPosition(info, mapping.GroupingLevel) < 0)
        return out;
    TVarRecArray low, high;
    SetRangeFromInfo(source, *table, rl, info, low, high);
    SetRangeFromInfo(info, low, high);
    Cds::ClientDataSet& cds = *info.CDS;
    const int at = KeyPosition(info, mapping.GroupingLevel);
    const int column =
        cds.FindField(FContainer.MappingAggFlds()[size_t(info.Aggregation[size_t(at)])].Name);
    if (column < 0)
        return out;
    QVariant previous;
    bool first = true;
    for (cds.First(); !cds.Eof(); cds.Next()) {
        const QVariant v = cds.Value(column);
        if (!first && v == previous)
            continue;
        first = false;
        previous = v;
        TPlantafelAggregateValueLstEntry e;
        e.Value = v;
        e.Aggregate = cds.AggregateValue(entry);
        for (int f : fields)
            e.Flds << (f >= 0 && f < cds.FieldCount() ? cds.Value(f) : QVariant());
        out.push_back(std::move(e));
    }
    return out;
}

Cds::GroupPosInds TPlantafelSubViewGroup::GetGroupState(TPlantafelSubViewDataSource& source,
                                                        Grid::RecordHandle link,
                                                        TPlantafelDataSetTypeSet allowed,
                                                        TPlantafelAggregationField field) {
    Q_UNUSED(allowed);
    const auto data = source.DataSnapshot();
    const auto table = FLinks.load();
    const int row = RowIndexIn(table.get(), link);
    if (!data || !table || row < 0)
        return {};
    std::lock_guard lock(data->Lock());
    const bool located = LocateRecordByRecordHandle(source, *data, *table, row);
    TPlantafelGroupingLevelInfo& info =
        data->GroupingLevelsInfo()[size_t(located ? table->Links[size_t(row)].Depth() : ptglNone)];
    const int at = KeyPosition(info, field);
    if (at < 0 || !info.CDS)
        return {};
    if (!located) {
        const Cds::KeyList res{qint64(source.ResourceID())};
        info.CDS->SetRange(res, res);
    }
    return info.CDS->GetGroupState(at + 1);
}

void TPlantafelSubViewGroup::GetGroupStates(TPlantafelSubViewDataSource& source,
                                            const Grid::RecordHandle* records, size_t count,
                                            TPlantafelAggregationField field,
                                            Cds::GroupPosInds* states, quint8* located) {
    std::fill(states, states + count, Cds::GroupPosInds());
    std::fill(located, located + count, quint8(0));
    const TReadState& st = ReadState(source);
    const std::shared_ptr<TPlantafelDataContainer> data = st.Data;
    const std::shared_ptr<const TPlantafelRowTable> table = st.Table;
    if (!data || !table || !st.Memo)
        return;
    TPlantafelRowMemo& memo = *st.Memo;
    std::lock_guard lock(data->Lock());
    // A row without a record reads the state of the resource's first row of all records.
    std::optional<Cds::GroupPosInds> none;
    LocateRows(
        source, *data, *table, memo, records, count, false,
        [&](size_t i, int, TPlantafelGroupingLevelInfo& info) {
            located[i] = 1;
            if (const int at = KeyPosition(info, field); at >= 0)
                states[i] = info.CDS->GetGroupState(at + 1);
        },
        [&](size_t i) {
            if (RowIndexIn(table.get(), records[i]) < 0)
                return;
            if (!none) {
                none = Cds::GroupPosInds();
                TPlantafelGroupingLevelInfo& info = data->GroupingLevelsInfo()[ptglNone];
                if (const int at = KeyPosition(info, field); at >= 0 && info.CDS) {
                    const Cds::KeyList res{qint64(source.ResourceID())};
                    info.CDS->SetRange(res, res);
                    none = info.CDS->GetGroupState(at + 1);
                }
            }
            states[i] = *none;
        });
}

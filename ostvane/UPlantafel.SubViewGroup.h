#pragma once
// The named sets of per-resource sub-view data sources that the container data source owns, the
// column aggregates a set asks for, and the rows of the planning grid: a group counts the rows of
// its span once, links each row to the group and entity it shows, and answers values, display
// texts, aggregates and group states for every resource's source through the grid's custom data
// source interface.

#include "CustomDataSource.h"
#include "UPlantafel.DataSource.h"
#include "UPlantafel.GridItemDataBinding.h"

#include <QElapsedTimer>

#include <array>
#include <atomic>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <unordered_map>
#include <vector>

class TPlantafelContainerDataSource;
class TPlantafelSubViewGroup;
class TPlantafelSubViewDataSource;

class TPlantafelAggregateMapping final {
public:
    TPlantafelAggregateMapping() { Mapping.fill(-1); }
    // Expression and grouping level only; the per-depth entries are rebuilt on activation.
    void Assign(const TPlantafelAggregateMapping& other);

    QString Expression;
    TPlantafelAggregationField GroupingLevel = ptfldResource; // the key field it groups by
    std::array<int, kPlantafelGroupingDepthCount> Mapping;    // aggregate index per depth, -1
    TPlantafelAggregationFieldSet DependentFlds;
};

class TPlantafelAggregatesMapping final {
public:
    TPlantafelAggregatesMapping() = default;
    // A whole copy, per-depth entries and dependent fields included.
    TPlantafelAggregatesMapping(const TPlantafelAggregatesMapping& other);
    TPlantafelAggregatesMapping& operator=(const TPlantafelAggregatesMapping&) = delete;
    int Count() const { return int(m_items.size()); }
    TPlantafelAggregateMapping& operator[](int i) { return *m_items[size_t(i)]; }
    const TPlantafelAggregateMapping& operator[](int i) const { return *m_items[size_t(i)]; }
    TPlantafelAggregateMapping& Add();
    TPlantafelAggregateMapping& Add(const QString& expression, TPlantafelAggregationField level);
    // First item of that grouping level whose expression matches without case, -1 when none.
    int IndexOf(const QString& expression, TPlantafelAggregationField level) const;
    TPlantafelAggregateMapping* Find(const QString& expression, TPlantafelAggregationField level);
    void Clear() { m_items.clear(); }
    void Assign(const TPlantafelAggregatesMapping& other);

private:
    std::vector<std::unique_ptr<TPlantafelAggregateMapping>> m_items;
};

// A row of the planning grid: which group of which depth, and which entity within it. The
// keys a row's calendar week fixes are kept once per week in the row table (FPrefix); the
// resource position of those keys is filled by each source with its own id.
struct TPlantafelGridRowLink final {
    qint32 FPrefix = 0;
    qint32 FEntityOffset = 0; // which group start within the range, from 0
    quint8 FDepth = ptglNone;
    TPlantafelGroupingDepth Depth() const { return TPlantafelGroupingDepth(FDepth); }
};

// Each grid row's information row, for every read of an information field (typed or one value
// at a time): resolved once per row while the keys it went by stay as they were (the
// information rows' key field and the records' link field, in the same stores), so that a read
// follows a row number instead of comparing keys. Integer keys are found through an array or a
// hash built once; keys of other kinds through the information rows' key index.
struct TPlantafelInfoJoin final {
    Cds::ClientDataSet::Cells Keys; // the information rows' keys, as resolved against
    quint64 KeysStamp = 0;
    Cds::ClientDataSet::Cells Link; // the records' link field
    quint64 LinkStamp = 0;
    bool Integral = false; // both integers: found through Dense or Sparse
    // Key -> first information row with it: an array from DenseLow when the keys lie close.
    qint64 DenseLow = 0;
    std::vector<qint32> Dense;
    std::unordered_map<qint64, qint32> Sparse;
    // By grid row: -2 not resolved yet, -1 no information row.
    std::unique_ptr<std::atomic<qint32>[]> At;

    TPlantafelInfoJoin(const Cds::ClientDataSet::Cells& keys, const Cds::ClientDataSet::Cells& link,
                       size_t gridRows);
    bool Fits(const Cds::ClientDataSet::Cells& keys, const Cds::ClientDataSet::Cells& link) const {
        return keys.Store() == Keys.Store() && link.Store() == Link.Store() &&
               keys.Stamp() == KeysStamp && link.Stamp() == LinkStamp;
    }
    // The information row of grid row `row`, whose record is `physical` in the link's store;
    // -1 for none (a Null link among them). Under the information rows' lock: ex is theirs,
    // linkSet a cursor on the link's store.
    qint32 RowOf(size_t row, quint32 physical, Cds::ClientDataSet& ex,
                 const Cds::ClientDataSet& linkSet, int linkField) {
        std::atomic<qint32>& slot = At[row];
        qint32 at = slot.load(std::memory_order_relaxed);
        if (at == -2) {
            at = Resolve(physical, ex, linkSet, linkField);
            slot.store(at, std::memory_order_relaxed);
        }
        return at;
    }

    // The first information row of an integer key, -1 for none (Integral joins only).
    qint32 Find(qint64 key) const {
        if (!Dense.empty()) {
            const quint64 at = quint64(key - DenseLow);
            return at < Dense.size() ? Dense[size_t(at)] : -1;
        }
        const auto it = Sparse.find(key);
        return it == Sparse.end() ? -1 : it->second;
    }
    // The information row of every grid row, whose records are physical[row] in the link's
    // store: resolved on the first call, the same array afterwards. Under the lock, as RowOf.
    const qint32* WholeRows(const qint32* physical, Cds::ClientDataSet& ex,
                            const Cds::ClientDataSet& linkSet, int linkField);

private:
    qint32 Resolve(quint32 physical, Cds::ClientDataSet& ex, const Cds::ClientDataSet& linkSet,
                   int linkField) const;
    size_t m_gridRows = 0;
    std::vector<qint32> m_whole; // WholeRows, empty until asked for
};

// The located physical row of each grid row for one source's container: -2 not yet located,
// -1 none (the extra row of a week). Rows are read and noted atomically while some are still
// to be located; once none is (Unlocated 0, read with acquire) nothing writes them again, and
// a read may take the whole array as it lies.
struct TPlantafelRowMemo final {
    const TPlantafelSubViewDataSource* Source = nullptr;
    quint64 DataSerial = 0; // which of the source's containers
    std::unique_ptr<qint32[]> Rows;
    std::atomic<size_t> Unlocated{0}; // rows still -2

    qint32 At(size_t row) const {
        return std::atomic_ref<qint32>(Rows[row]).load(std::memory_order_acquire);
    }
    // Row `row` lies at physical (-1: has none); the first note of a row stands.
    void Note(size_t row, qint32 physical) {
        qint32 expected = -2;
        if (std::atomic_ref<qint32>(Rows[row]).compare_exchange_strong(expected, physical,
                                                                       std::memory_order_acq_rel))
            Unlocated.fetch_sub(1, std::memory_order_release);
    }
    // Every row located: the array itself, else null.
    const qint32* Whole() const {
        return Unlocated.load(std::memory_order_acquire) == 0 ? Rows.get() : nullptr;
    }
    // The rows without a record, once Whole is there; listed on the first call.
    const std::vector<size_t>& Missing(size_t rows) const {
        std::call_once(m_missingOnce, [&] {
            for (size_t r = 0; r < rows; ++r)
                if (Rows[r] < 0)
                    m_missing.push_back(r);
        });
        return m_missing;
    }

    // The join of the link's store that fits these keys, made anew when the last one does
    // not. Called under the information rows' lock, which keeps the keys as they are.
    std::shared_ptr<TPlantafelInfoJoin> JoinFor(const Cds::ClientDataSet::Cells& keys,
                                                const Cds::ClientDataSet::Cells& link,
                                                size_t gridRows);

private:
    mutable std::once_flag m_missingOnce;
    mutable std::vector<size_t> m_missing;
    std::mutex m_joinMutex;
    std::vector<std::shared_ptr<TPlantafelInfoJoin>> m_joins; // one per link store
};

// The rows of one count, published whole once complete and never changed afterwards, and the
// memos of the sources reading them (which live exactly as long as the rows they describe).
struct TPlantafelRowTable final {
    quint32 Generation = 0; // unique per count in the process: stale handles never match
    std::vector<TVarRecArray> Prefixes;
    std::vector<TPlantafelGridRowLink> Links; // by row index (the link's FRIdx)
    quint32 DepthMask = 0;                    // a bit for each depth some row lies at

    TPlantafelRowMemo& Memo(const TPlantafelSubViewDataSource& source, quint64 dataSerial) const;

private:
    mutable std::mutex m_memoMutex;
    mutable std::vector<std::unique_ptr<TPlantafelRowMemo>> m_memos;
};

// Where a bound column reads: its field's position in the master records and in the
// information rows (data fields), or its entry in the aggregates mapping (aggregates).
struct TPlantafelColumnIndex final {
    int FieldIndex = -1;
    int FieldIndexEx = -1;
};

// What one activation of a group resolved for its readers, published whole and never changed
// afterwards, as the row table is: the aggregates in use with their per-depth entries, the
// master records' field positions and the positions every bound column reads. Readers on other
// threads take these, never the group's or the bindings' own fields, which the next activation
// rewrites.
struct TPlantafelActivation final {
    quint64 Serial = 0; // unique in the process
    TPlantafelAggregatesMapping AggsMapping;
    std::map<QString, int> FFldLookUp; // lower-case name -> position in the master records
    std::map<const TVoskGridItemCustomDSDataBinding*, TPlantafelColumnIndex> Columns;
};

// The cells of one bound data column for many rows at once (Grid::ColumnCells), with what the
// engine keeps from read to read: the zone's table, the stores the texts point into, texts that
// are no stored cell, and the stored row each record reads.
struct TPlantafelCells final : Grid::ColumnCells {
    Cds::ClientDataSet::LocalTimes Zone;
    std::deque<QString> Owned; // texts that are no stored cell (the keys of a week's extra row)
    std::vector<Cds::ClientDataSet::Cells> Held; // the stores the texts point into
    std::vector<qint32> Rows;                    // the stored row each record reads, -1 none
};

// One resource's view on the group, the grid's read-only custom data source: its data container
// holds the grouping datasets restricted to that resource.
class TPlantafelSubViewDataSource : public Grid::CustomDataSource {
public:
    TPlantafelSubViewDataSource(TPlantafelSubViewGroup& group, int resourceId);
    ~TPlantafelSubViewDataSource() override;

    int ResourceID() const { return m_resourceId; }
    TPlantafelSubViewGroup& Group() const { return m_group; }
    // The container while active; readers on other threads take DataSnapshot instead.
    TPlantafelDataContainer* DataContainer() const { return DataSnapshot().get(); }
    std::shared_ptr<TPlantafelDataContainer> DataSnapshot() const { return m_dataContainer.load(); }
    void SetDataContainer(std::unique_ptr<TPlantafelDataContainer> container);
    bool Active() const { return m_active.load(); }
    virtual void SetActive(bool active);
    // Owner, group and resource: names the source in messages and as a cursor's origin.
    QString FullName() const;

    // --- the grid's custom data source
    Grid::RecordHandle AppendRecord() override;
    void DeleteRecord(Grid::RecordHandle record) override;
    QString GetDisplayText(Grid::RecordHandle record, Grid::ItemHandle item) override;
    Grid::ItemHandle GetItemHandle(int itemIndex) override;
    int GetRecordCount() override;
    QVariant GetRecordId(Grid::RecordHandle record) override;
    Grid::RecordHandle GetRecordHandle(int recordIndex) override;
    QVariant GetValue(Grid::RecordHandle record, Grid::ItemHandle item) override;
    // The values GetValue gives for records[0..count) of a data column (fkData), typed into
    // cells (TPlantafelCells, as CreateCells makes them); False for a column of another kind,
    // which only GetValue reads.
    bool ReadCells(const Grid::RecordHandle* records, size_t count, Grid::ItemHandle item,
                   Grid::ColumnCells& cells) override;
    std::unique_ptr<Grid::ColumnCells> CreateCells() override;
    Grid::RecordHandle InsertRecord(Grid::RecordHandle record) override;
    bool IsMultiThreadingSupported() override { return m_active.load(); }
    bool IsNativeCompare() override { return false; }
    bool IsNativeCompareFunc() override { return false; }
    bool IsRecordIdSupported() override { return true; }
    void LoadRecordHandles() override;
    int NativeCompareFunc(Grid::RecordHandle a, Grid::RecordHandle b,
                          Grid::ItemHandle item) override;
    void SetValue(Grid::RecordHandle record, Grid::ItemHandle item, const QVariant& value) override;
    void DataChanged() override;

    // --- the engine's own
    const std::vector<Grid::DataController*>& GetProviders() const { return Providers(); }
    virtual int GetFieldIndex(const QString& name) const;
    virtual int GetFieldIndexEx(const QString& name) const;
    virtual QVariant GetValueByFieldname(Grid::RecordHandle record, const QString& name);
    virtual QString GetDisplayTextFromValue(const QVariant& value, const QString& format) const;
    virtual QString GetDisplayTextByFieldname(Grid::RecordHandle record, const QString& name);
    virtual QVariant GetAggregateValue(Grid::RecordHandle record, int mappingIndex,
                                       TPlantafelDataSetTypeSet allowed);
    virtual QVariant GetAggregateValue(int mappingIndex, TPlantafelDataSetType type);
    virtual TPlantafelAggregateValueLst GetAggregateValueLst(Grid::RecordHandle record,
                                                             const std::vector<int>& fields,
                                                             TPlantafelDataSetTypeSet allowed,
                                                             int mappingIndex);
    virtual Cds::GroupPosInds GetGroupState(Grid::RecordHandle record,
                                            TPlantafelDataSetTypeSet allowed,
                                            TPlantafelAggregationField field);
    // For records[0..count): the group state GetGroupState gives each at the field's level, and
    // whether it has a record (a week's extra row has none), in one pass that sets one range
    // per week instead of one per record.
    void GetGroupStates(const Grid::RecordHandle* records, size_t count,
                        TPlantafelAggregationField field, Cds::GroupPosInds* states,
                        quint8* located);
    // A private cursor on this source's records (its resource's rows of the master records).
    virtual IPlantafelCustomDataSourceDataSetPtr GetSourceDataSet();

    // True the first time (source, field name) is reported, so that it is logged once.
    bool FirstReportOfMissingField(const QString& name);

    // Rises with every container and every rebuild of its data: a reader's copy is current
    // while it reads the same number (read it before the container).
    quint64 DataSerial() const { return m_dataSerial.load(std::memory_order_acquire); }

protected:
    // Rebuilds the grouping datasets and puts the resource into the leading resource keys.
    virtual void CreateData();

private:
    TPlantafelSubViewGroup& m_group;
    int m_resourceId;
    TPlantafelSharedSlot<TPlantafelDataContainer> m_dataContainer;
    std::atomic<quint64> m_dataSerial{0};
    std::atomic<bool> m_active{false};
    std::mutex m_missingMutex;
    std::set<QString> FReportedMssingFlds;
};

class TPlantafelSubViewGroup {
public:
    TPlantafelSubViewGroup(TPlantafelContainerDataSource& container, const QString& name);
    virtual ~TPlantafelSubViewGroup();
    TPlantafelSubViewGroup(const TPlantafelSubViewGroup&) = delete;
    TPlantafelSubViewGroup& operator=(const TPlantafelSubViewGroup&) = delete;

    const QString& Name() const { return FName; }
    TPlantafelContainerDataSource& Container() const { return FContainer; }
    bool Active() const { return FActive.load(); }
    virtual void SetActive(bool active);
    TPlantafelSubViewMode Mode() const { return FMode; }
    virtual void SetMode(TPlantafelSubViewMode mode);
    const QString& Filter() const { return FFilter; }
    void ApplyClientSideFilter(const QString& filter);
    void IncludeAggregate(const QString& expression, TPlantafelAggregationField level);
    // The mapping the next activation builds (GUI thread); readers take Activation()'s.
    TPlantafelAggregatesMapping& AggsMapping() { return FAggsMapping; }
    // What the current activation resolved; null while inactive.
    std::shared_ptr<const TPlantafelActivation> Activation() const { return m_activation.load(); }
    Cds::ClientDataSet* Grouping() const { return FGrouping.get(); }

    virtual void InitGroupingInfo(TPlantafelGroupingsInfo& info);

    int SubViewDataSourceCount() const { return int(FDataSources.size()); }
    TPlantafelSubViewDataSource* SubViewDataSourceByIndex(int index) const;
    virtual TPlantafelSubViewDataSource* GetSubViewDataSource(int resourceId) const;
    virtual TPlantafelSubViewDataSource* AddSubViewDataSource(int resourceId);
    virtual void RemoveSubViewDataSource(int resourceId);
    virtual void ClearSubViewDataSources();

    // --- rows
    // The rows of the span, counted once per activation with the first source that asks.
    virtual int GetRecordCount(TPlantafelSubViewDataSource& source);
    virtual Grid::RecordHandle GetRecordHandle(TPlantafelSubViewDataSource& source, int index);
    virtual QVariant GetRecordId(TPlantafelSubViewDataSource& source, Grid::RecordHandle link);
    virtual void LoadRecordHandles(TPlantafelSubViewDataSource& source);
    virtual Grid::ItemHandle GetItemHandle(TPlantafelSubViewDataSource& source, int itemIndex);
    virtual QVariant GetValue(TPlantafelSubViewDataSource& source, Grid::RecordHandle link,
                              Grid::ItemHandle item);
    virtual QVariant GetValueByFieldname(TPlantafelSubViewDataSource& source,
                                         Grid::RecordHandle link, const QString& name);
    bool ReadCells(TPlantafelSubViewDataSource& source, const Grid::RecordHandle* records,
                   size_t count, Grid::ItemHandle item, TPlantafelCells& cells);
    virtual QVariant GetAggregateValue(TPlantafelSubViewDataSource& source, Grid::RecordHandle link,
                                       TPlantafelDataSetTypeSet allowed, int mappingIndex);
    virtual QVariant GetAggregateValue(TPlantafelSubViewDataSource& source, int mappingIndex,
                                       TPlantafelDataSetType type);
    virtual TPlantafelAggregateValueLst GetAggregateValueLst(TPlantafelSubViewDataSource& source,
                                                             Grid::RecordHandle link,
                                                             const std::vector<int>& fields,
                                                             TPlantafelDataSetTypeSet allowed,
                                                             int mappingIndex);
    virtual Cds::GroupPosInds GetGroupState(TPlantafelSubViewDataSource& source,
                                            Grid::RecordHandle link,
                                            TPlantafelDataSetTypeSet allowed,
                                            TPlantafelAggregationField field);
    void GetGroupStates(TPlantafelSubViewDataSource& source, const Grid::RecordHandle* records,
                        size_t count, TPlantafelAggregationField field, Cds::GroupPosInds* states,
                        quint8* located);
    // True for the calendar depths, False for the master-data depths.
    virtual bool DepthIsGroupingOnly(TPlantafelGroupingDepth depth) const;
    // The published rows (null before the first count and while inactive).
    std::shared_ptr<const TPlantafelRowTable> Links() const { return FLinks.load(); }
    // What a read of one source needs, current on this thread: the source's container, the
    // rows and the source's memo of them. Null members while inactive or before the count.
    struct TReadState final {
        const TPlantafelSubViewDataSource* Source = nullptr;
        quint64 DataSerial = 0;
        std::shared_ptr<TPlantafelDataContainer> Data;
        std::shared_ptr<const TPlantafelRowTable> Table;
        TPlantafelRowMemo* Memo = nullptr;
        std::shared_ptr<const TPlantafelActivation> Activation;
    };
    static const TReadState& ReadState(TPlantafelSubViewDataSource& source);
    // Lets go of this thread's copies (after a deactivation, so that they do not keep memory).
    static void ForgetReadState();
    // The row index of a handle of the current rows, -1 for any other.
    int RowIndexOf(Grid::RecordHandle link) const;
    // The same for the table a reader took (rows and handle checked against one table).
    static int RowIndexIn(const TPlantafelRowTable* table, Grid::RecordHandle link);

    // --- profiling
    bool IsProfilingActive() const { return FIsProfilingActive; }
    void SetIsProfilingActive(bool on);
    void Profiling_Start();
    void Profiling_Stop();
    qint64 StopWatchCount() const { return FStopWatchCount; }
    qint64 StopWatchElapsedNs() const { return m_stopWatchNs; }
    qint64 NatCmpCnt() const { return FNatCmpCnt; }
    void CountNativeCompare() { ++FNatCmpCnt; }

protected:
    virtual void CreateData();
    virtual void FreeData();
    virtual void LoadAggregates();
    virtual void ClearLinks();
    // Publishes what this activation resolved (null: nothing, while inactive); every bound
    // column of every source is resolved with it.
    void PublishActivation(bool active);

    // A handler called for every group start that a count walks.
    using TGroupEvent = void (TPlantafelSubViewGroup::*)(const TPlantafelGroupingLevelInfo& info,
                                                         TPlantafelGroupingDepth child,
                                                         TPlantafelSubViewDataSource& source,
                                                         const TVarRecArray& start,
                                                         const TVarRecArray& end);
    virtual int GetCountForGroup(TPlantafelSubViewDataSource& source, TPlantafelGroupingDepth depth,
                                 TGroupEvent event, bool recurse, bool countGroups,
                                 const TVarRecArray* start, const TVarRecArray* end);
    // The row event: appends the rows of one calendar week.
    virtual void GetRecordCount_OnSub(const TPlantafelGroupingLevelInfo& info,
                                      TPlantafelGroupingDepth child,
                                      TPlantafelSubViewDataSource& source,
                                      const TVarRecArray& start, const TVarRecArray& end);
    // Group starts (entities, entity-days) of the depth within the range.
    virtual int GetChildCountFor(TPlantafelSubViewDataSource& source, TPlantafelGroupingDepth depth,
                                 const TVarRecArray& start, const TVarRecArray& end);
    // The child depth's range from the current row of info's dataset: the keys both depths
    // have take the row's values, the others their minimum and maximum.
    virtual void SetRangeFromInfo(const TPlantafelGroupingLevelInfo& info,
                                  const TPlantafelGroupingLevelInfo& child, TVarRecArray& start,
                                  TVarRecArray& end);
    // The depth's range from a row's fixed keys, the resource position the source's id.
    virtual void SetRangeFromInfo(TPlantafelSubViewDataSource& source,
                                  const TPlantafelRowTable& table,
                                  const TPlantafelGridRowLink& link,
                                  const TPlantafelGroupingLevelInfo& info, TVarRecArray& start,
                                  TVarRecArray& end);
    // Puts a range on the level's dataset.
    virtual void SetRangeFromInfo(TPlantafelGroupingLevelInfo& info, const TVarRecArray& start,
                                  const TVarRecArray& end);
    // Puts a row's range on its depth's dataset.
    virtual void SetRangeFromInfo(TPlantafelSubViewDataSource& source,
                                  TPlantafelGroupingLevelInfo& info,
                                  const TPlantafelRowTable& table,
                                  const TPlantafelGridRowLink& link);
    // The positions of the given key fields take the source's values (its resource id).
    virtual void SetValuesInRange(TPlantafelSubViewDataSource& source,
                                  const TPlantafelGroupingLevelInfo& info, TVarRecArray& range,
                                  TPlantafelAggregationFieldSet fields);
    // The keys of the target depth for a row: those the row fixes, on the second try those the
    // aggregate depends on read from the located record (day and date standing for each other),
    // else Null. False when a key had to be Null.
    virtual bool
    TransformRangeToGrouping(TPlantafelSubViewDataSource& source, TPlantafelDataContainer& data,
                             const TPlantafelRowTable& table, const TPlantafelGridRowLink& link,
                             bool located, TPlantafelGroupingDepth target,
                             TPlantafelAggregationFieldSet dependent, TVarRecArray& keys);
    // Under the source's container lock: positions the row's depth dataset on its record.
    virtual bool LocateRecordByRecordHandle(TPlantafelSubViewDataSource& source,
                                            TPlantafelDataContainer& data,
                                            const TPlantafelRowTable& table, int row);

    TPlantafelContainerDataSource& FContainer;
    std::vector<std::unique_ptr<TPlantafelSubViewDataSource>> FDataSources;
    TPlantafelSubViewMode FMode = ptsvmCalendarWeekGroupedFirstWeekDays;
    QString FName;
    std::atomic<bool> FActive{false};
    std::unique_ptr<Cds::ClientDataSet> FGrouping;
    TPlantafelSharedSlot<const TPlantafelRowTable> FLinks;
    std::atomic<quint32> m_linksGeneration{0}; // of FLinks, 0 when none; set after it
    TPlantafelAggregatesMapping FAggsMapping;
    TPlantafelAggregatesMapping FAggsIncluded;
    QString FFilter;
    std::atomic<int> FRecordCount{0};
    std::atomic<bool> FIsProfilingActive{false};
    std::atomic<qint64> FStopWatchCount{0};
    std::atomic<qint64> FNatCmpCnt{0};

private:
    // Under the source's container lock: puts every record's depth dataset on its record in
    // turn, as LocateRecordByRecordHandle does but with one range for a run of rows of one week
    // and depth, and notes each located row in the memo. located(i, row, info) is called on
    // each record found (info's cursor on it), missed(i) on the others; with onlyNew, records
    // located before are passed over.
    template <class Located, class Missed>
    void LocateRows(TPlantafelSubViewDataSource& source, TPlantafelDataContainer& data,
                    const TPlantafelRowTable& table, TPlantafelRowMemo& memo,
                    const Grid::RecordHandle* records, size_t count, bool onlyNew,
                    Located&& located, Missed&& missed);
    QVariant ValueOfRow(TPlantafelSubViewDataSource& source, Grid::RecordHandle link,
                        const QString& name, TPlantafelColumnIndex index, TFieldKind kind,
                        const TVoskGridItemCustomDSDataBinding* binding);
    // Where the binding reads under that activation: resolved when published, else now.
    TPlantafelColumnIndex ColumnIndexOf(const TPlantafelActivation* activation,
                                        const TVoskGridItemCustomDSDataBinding& binding) const;
    QVariant ExtraRowValue(TPlantafelSubViewDataSource& source, const TPlantafelDataContainer& data,
                           const TPlantafelRowTable& table, const TPlantafelGridRowLink& link,
                           const QString& name) const;

    TPlantafelSharedSlot<const TPlantafelActivation> m_activation;
    std::atomic<quint64> m_activationSerial{0}; // of m_activation, 0 when none; set after it
    std::mutex m_countMutex;                  // taken before any container lock
    TPlantafelRowTable* m_building = nullptr; // the table a running count appends to
    std::mutex m_stopWatchMutex;
    QElapsedTimer m_stopWatch;
    bool m_stopWatchRunning = false;
    std::atomic<qint64> m_stopWatchNs{0};
};

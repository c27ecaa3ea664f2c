#pragma once
// In-memory client dataset: typed columnar rows in a store shared by any number of cursors.
//
// A ClientDataSet is a cursor. CreateDataSet gives it a fresh store from its FieldDefs;
// CloneCursor makes it share another cursor's store while keeping its own index, range, filter,
// aggregates and position. Rows are appended (Append, set values, Post) and edited (Edit, set
// values, Post); every cursor of the store sees posted changes. Rows are never removed from a
// store: EmptyDataSet and CopyFrom move this cursor to a new store, so other cursors keep what
// they read.
//
// Indexes are sort permutations of the store's rows, cached in the store and shared by every
// cursor that uses the same fields and options; a permutation is rebuilt lazily when one of its
// key columns or the row count changed. Ranges (SetRange, partial keys allowed, MinKey/MaxKey
// sentinels) and FindKey work on the current index; Locate scans the visible rows.
// Group state and maintained aggregates are computed on the visible rows (range and filter) in
// index order; aggregate values are cached per group.
//
// Not thread-safe per cursor: callers serialize access to one cursor. Different cursors of one
// store may read on different threads; the lazy index builds are locked in the store.
//
// Fast copy of a query result: ReserveRows(n), then a RowAppender: per row BeginRow(), the typed
// setters for the non-Null fields, EndRow(). Values go straight into the columns, no edit buffer.

#include "CdsExpr.h"
#include "CdsTypes.h"

#include <QAnyStringView>
#include <QFlags>
#include <QString>
#include <QStringList>
#include <QTimeZone>
#include <QVariant>

#include <limits>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace Cds {

class DataStore;
struct Column;
struct IndexPerm;

struct FieldDef final {
    QString Name;
    FieldType DataType = FieldType::Integer;
    int Size = 0;
    bool Calculated = false;
};

class FieldDefList final {
public:
    void Add(const QString& name, FieldType type, int size = 0, bool calculated = false);
    void Clear() { m_items.clear(); }
    int Count() const { return int(m_items.size()); }
    const FieldDef& operator[](int i) const { return m_items[size_t(i)]; }
    int IndexOf(QStringView name) const; // case-insensitive, -1 when absent
    const std::vector<FieldDef>& Items() const { return m_items; }
    friend bool operator==(const FieldDefList&, const FieldDefList&) = default;

private:
    std::vector<FieldDef> m_items;
};

enum class IndexOption : unsigned { Primary = 1, Unique = 2, Descending = 4, CaseInsensitive = 8 };
Q_DECLARE_FLAGS(IndexOptions, IndexOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(IndexOptions)

struct IndexDef final {
    QString Name;
    QString Fields; // "a;b;c"
    IndexOptions Options;
    int GroupingLevel = 0;
};

class IndexDefList final {
public:
    IndexDef& Add(const QString& name, const QString& fields, IndexOptions options = {},
                  int groupingLevel = 0);
    void Clear() { m_items.clear(); }
    int Count() const { return int(m_items.size()); }
    const IndexDef& operator[](int i) const { return m_items[size_t(i)]; }
    const IndexDef* Find(QStringView name) const; // case-insensitive
    const std::vector<IndexDef>& Items() const { return m_items; }

private:
    std::vector<IndexDef> m_items;
};

struct AggregateDef final {
    QString AggregateName;
    QString Expression;
    int GroupingLevel = 0;
    QString IndexName;
    bool Visible = true;
    bool Active = true;
};

class AggregateList final {
public:
    int Add(const AggregateDef& def); // returns the new aggregate's index
    void Clear();
    int Count() const { return int(m_items.size()); }
    const AggregateDef& operator[](int i) const { return m_items[size_t(i)].Def; }
    int IndexOf(QStringView name) const; // case-insensitive, -1 when absent
    void Assign(const AggregateList& other);

private:
    friend class ClientDataSet;
    struct Item final {
        AggregateDef Def;
        std::shared_ptr<const Expression> Compiled;
        std::unordered_map<quint32, QVariant> Cache; // group start position -> value
        quint64 CacheGeneration = 0;
    };
    std::vector<Item> m_items;
};

enum class DataSetState { Inactive, Browse, Edit, Insert };

enum class GroupPos : unsigned { First = 1, Middle = 2, Last = 4 };
Q_DECLARE_FLAGS(GroupPosInds, GroupPos)
Q_DECLARE_OPERATORS_FOR_FLAGS(GroupPosInds)

enum class LocateOption : unsigned { CaseInsensitive = 1, PartialKey = 2 };
Q_DECLARE_FLAGS(LocateOptions, LocateOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(LocateOptions)

class ClientDataSet final {
public:
    explicit ClientDataSet(QString name = {});
    ~ClientDataSet();
    ClientDataSet(const ClientDataSet&) = delete;
    ClientDataSet& operator=(const ClientDataSet&) = delete;

    const QString& Name() const { return m_name; }
    void SetName(const QString& name) { m_name = name; }

    // --- definitions and life cycle
    FieldDefList& FieldDefs() { return m_fieldDefs; }
    const FieldDefList& FieldDefs() const { return m_fieldDefs; }
    IndexDefList& IndexDefs() { return m_indexDefs; }
    const IndexDefList& IndexDefs() const { return m_indexDefs; }
    void CreateDataSet();           // an empty store from FieldDefs
    void Close();                   // drops this cursor's hold on its store
    bool Active() const { return m_store != nullptr; }
    void EmptyDataSet();            // this cursor moves to an empty store of the same fields
    void CopyFrom(const ClientDataSet& src); // fields and visible rows into a store of its own
    void CloneCursor(const ClientDataSet& src, bool reset);
    void ReserveRows(qsizetype rows);
    long StoreUseCount() const; // cursors sharing this store, 0 when inactive

    // --- fields of the current row (the edit buffer while editing)
    int FieldCount() const { return m_fieldDefs.Count(); }
    const QString& FieldName(int field) const { return m_fieldDefs[field].Name; }
    FieldType GetFieldType(int field) const { return m_fieldDefs[field].DataType; }
    int FindField(QStringView name) const { return m_fieldDefs.IndexOf(name); }
    int FieldIndex(const QString& name) const; // throws EDatabaseError when absent
    QVariant Value(int field) const;           // invalid QVariant for Null
    bool IsNull(int field) const;
    int AsInteger(int field) const;
    qint64 AsLargeInt(int field) const;
    double AsFloat(int field) const;
    QString AsString(int field) const;
    KeyValue AsKey(int field) const;
    void SetValue(int field, const QVariant& value); // needs Edit or Insert state
    void SetNull(int field) { SetValue(field, QVariant()); }

    // --- navigation over the visible rows (range and filter) in index order
    void First();
    void Last();
    void Next();
    void Prior();
    bool Eof() const { return m_eof; }
    bool Bof() const { return m_bof; }
    int RecordCount() const;
    int RecNo() const; // 1-based among visible rows, -1 when none
    bool IsEmpty() const;
    qint64 RowId() const; // physical row of the current record, -1 when none

    // --- editing
    void Append();
    void Edit();
    void Post();
    void Cancel();
    DataSetState State() const { return m_state; }

    // Appends rows to a dataset in Browse state without its edit buffer. A row begun and not
    // ended (an exception on the way) is dropped when the appender goes, so no half row stays.
    // A setter given a value of another kind than its field converts it as SetValue would.
    class RowAppender final {
    public:
        explicit RowAppender(ClientDataSet& ds);
        ~RowAppender();
        RowAppender(const RowAppender&) = delete;
        RowAppender& operator=(const RowAppender&) = delete;
        // A row of Nulls until its fields are given.
        void BeginRow() {
            const quint32 r = *m_storeRows; // batches may have appended rows meanwhile
            if (!m_open && (r & 63) != 0 && r != std::numeric_limits<quint32>::max()) {
                m_row = r;
                m_given = 0;
                m_open = true;
                return;
            }
            BeginRowSlow();
        }
        // The common kinds first take an inline path straight into the field's cells (a row of
        // a million-row copy makes a call per field); anything else goes the general way.
        void SetInteger(int field, qint64 v) {
            if (m_open && size_t(field) < m_slots.size()) {
                const Slot& s = m_slots[size_t(field)];
                if (s.Type == FieldType::Integer && v >= std::numeric_limits<qint32>::min() &&
                    v <= std::numeric_limits<qint32>::max() && Append(s.I32, qint32(v)))
                    return;
                if (s.Type == FieldType::LargeInt && Append(s.I64, v))
                    return;
            }
            SetIntegerSlow(field, v);
        }
        void SetFloat(int field, double v) {
            if (m_open && size_t(field) < m_slots.size() &&
                m_slots[size_t(field)].Type == FieldType::Float &&
                Append(m_slots[size_t(field)].F64, v))
                return;
            SetFloatSlow(field, v);
        }
        void SetCurrency(int field, Currency v);
        void SetBoolean(int field, bool v) {
            if (m_open && size_t(field) < m_slots.size() &&
                m_slots[size_t(field)].Type == FieldType::Boolean &&
                Append(m_slots[size_t(field)].U8, quint8(v ? 1 : 0)))
                return;
            SetBooleanSlow(field, v);
        }
        void SetString(int field, QStringView v);
        void SetStringUtf8(int field, std::string_view utf8);
        void SetDate(int field, const QDate& d);
        void SetDateTime(int field, const QDate& d, int msecsOfDay); // wall clock
        void SetValue(int field, const QVariant& v);
        void EndRow() {
            if (m_open && m_given == m_slots.size()) {
                m_open = false;
                m_ds.m_row = *m_storeRows;
                ++*m_storeRows;
                *m_storeRowsStamp = ++*m_storeVersion;
                m_ds.m_eof = m_ds.m_bof = false;
                return;
            }
            EndRowSlow();
        }

    private:
        // A field's cells as the inline setters reach them; the store keeps its columns in place
        // while rows are appended.
        struct Slot {
            FieldType Type = FieldType::String;
            std::vector<qint32>* I32 = nullptr;
            std::vector<qint64>* I64 = nullptr;
            std::vector<double>* F64 = nullptr;
            std::vector<quint8>* U8 = nullptr;
        };
        // The row's first cell of the field; false when it has one (the general way overwrites).
        template <class T> bool Append(std::vector<T>* cells, T value) {
            if (cells->size() != m_row)
                return false;
            cells->push_back(value);
            ++m_given;
            return true;
        }
        void BeginRowSlow();
        void EndRowSlow();
        void SetIntegerSlow(int field, qint64 v);
        void SetFloatSlow(int field, double v);
        void SetBooleanSlow(int field, bool v);
        Column& Col(int field);
        void Cell(Column& c);
        template <class Vec, class T> void Put(Column& c, Vec& cells, T value);
        ClientDataSet& m_ds;
        DataStore& m_store;
        std::vector<Slot> m_slots;
        quint32* m_storeRows;      // the store's row count, version and rows stamp
        quint64* m_storeVersion;
        quint64* m_storeRowsStamp;
        size_t m_row = 0;   // the row being appended
        size_t m_given = 0; // fields of the open row that have their cell
        bool m_open = false;
    };

    // Appends a batch of rows a column at a time, for a copy that reads its source by column
    // (a chunk of a query result): each field gets the batch's cells in row order through one
    // typed call, every cell written once; nulls[i] != 0 marks a Null (its value is not read),
    // and no mask at all means no Null.
    // Values of another kind than their field convert as SetValue would. A field no call gave
    // is Null. End makes the cells rows; a batch not ended is dropped whole. Needs Browse state.
    class BatchAppender final {
    public:
        BatchAppender(ClientDataSet& ds, quint32 rows);
        ~BatchAppender();
        BatchAppender(const BatchAppender&) = delete;
        BatchAppender& operator=(const BatchAppender&) = delete;
        void Integers(int field, const qint64* values, const quint8* nulls);
        void Integers(int field, const qint32* values, const quint8* nulls);
        void Floats(int field, const double* values, const quint8* nulls);
        void Booleans(int field, const quint8* values, const quint8* nulls);
        void Dates(int field, const qint32* julianDays, const quint8* nulls);
        // Julian day * 86400000 + milliseconds of the day (wall clock).
        void DateTimes(int field, const qint64* packed, const quint8* nulls);
        void StringsUtf8(int field, const std::string_view* values, const quint8* nulls);
        void End();

    private:
        Column& Take(int field);
        ClientDataSet& m_ds;
        DataStore& m_store;
        quint32 m_rows;
        bool m_ended = false;
    };

    // --- bulk access by physical row, for passes over many rows without moving the cursor
    // Physical rows of the visible records in index order.
    std::vector<quint32> VisibleRowIds() const;
    KeyValue KeyAt(qint64 row, int field) const;
    // The field of a physical row without moving the cursor; Null for a row that is not there.
    QVariant ValueAt(qint64 row, int field) const;
    // Two rows compared on the first `level` fields of the current index.
    int CompareRows(qint64 a, qint64 b, int level) const;
    // Writes one value as a posted edit would, without an edit buffer; needs Browse state.
    void SetRowValue(qint64 row, int field, const QVariant& value);
    // Values of an integer-valued field (Integer, LargeInt, Boolean) by physical row, Null as
    // nullValue.
    void ReadIntegers(int field, std::vector<qint64>& out, qint64 nullValue) const;
    // Rewrites the store with its rows in this order (every row once: row order[k] becomes row
    // k), so that passes in that order read memory in order. Only for a cursor alone on its
    // store, in Browse state; physical rows read before name other rows afterwards. When order
    // is the current index's, the index comes out as the rows lie, without a rebuild.
    void ReorderRows(const std::vector<quint32>& order);
    // Writes values[row] into every row whose value is not keep, as posted edits would.
    void WriteIntegers(int field, const std::vector<int>& values, int keep);
    // The cells of an integer-valued field (Integer, LargeInt, Boolean, Date, DateTime) by
    // physical row, for passes over every row without copying them; valid until the dataset
    // changes. Exactly one of the three arrays is set.
    struct IntegerCells final {
        const qint32* I32 = nullptr; // Integer, Date (Julian day)
        const qint64* I64 = nullptr; // LargeInt, DateTime (packed), Currency is not integer
        const quint8* U8 = nullptr;  // Boolean
        const quint64* Nulls = nullptr;
        quint32 Rows = 0;
        qint64 At(quint32 r) const { return I32 ? I32[r] : (I64 ? I64[r] : qint64(U8[r])); }
        bool IsNull(quint32 r) const { return (Nulls[r >> 6] >> (r & 63)) & 1u; }
        bool HasNulls() const;
    };
    IntegerCells IntegerCellsOf(int field) const;

    // Local wall-clock date-times as milliseconds since the epoch, with the zone asked once per
    // day: a day whose offset stays the same converts by that offset, a day on which it changes
    // (summer time begins or ends) by the offset in force at that wall-clock time. A time that
    // comes twice or not at all takes the instant QDateTime gives for it in the system's zone,
    // so that no result depends on what was converted before. One per pass or per reader, not
    // shared between threads; a zone changed meanwhile needs a new one.
    class LocalTimes final {
    public:
        qint64 EpochMs(qint64 packed) { // Julian day * 86400000 + milliseconds of the day
            const qint64 day = FloorDiv(packed, kMsecsPerDay);
            const quint64 at = quint64(day - m_firstDay);
            if (at < m_offsets.size() && m_offsets[at] > kLastChanging)
                return packed - kUnixEpochPacked - m_offsets[at];
            return Slow(day, packed);
        }
        // Whether the time comes twice with both readings in standard time or both in summer
        // time, which the system's own conversion back from date and time (that of a QDateTime
        // in local time, on every read) cannot tell apart.
        bool TwiceAlike(qint64 packed) {
            const quint64 at = quint64(FloorDiv(packed, kMsecsPerDay) - m_firstDay);
            return !(at < m_offsets.size() && m_offsets[at] > kLastChanging) &&
                   TwiceAlikeSlow(packed);
        }

    private:
        static constexpr qint64 kMsecsPerDay = 86400000;
        static constexpr qint64 kUnixEpochPacked = 2440588 * kMsecsPerDay; // 1970-01-01
        // A day's slot: its offset (ms east of UTC), not yet known, or the changes in reach of
        // it at m_changing[slot - kFirstChanging].
        static constexpr qint32 kUnknown = std::numeric_limits<qint32>::min();
        static constexpr qint32 kFirstChanging = kUnknown + 1;
        static constexpr qint32 kLastChanging = kFirstChanging + (1 << 24);
        struct Change final {
            qint64 AtMs; // UTC
            qint32 Before, After;
        };
        using Changes = std::vector<Change>;
        static qint64 FloorDiv(qint64 a, qint64 b) { return a / b - (a % b < 0 ? 1 : 0); }
        // The changes in reach of a day; none: the offset all day in *steady.
        static Changes ChangesNear(qint64 day, qint32* steady);
        qint64 Slow(qint64 day, qint64 packed);
        qint64 Convert(const Changes& changes, qint64 packed);
        // The readings of a time (the offsets it may be read with), at most two.
        static int Readings(const Changes& changes, qint64 packed, qint32 offsets[2],
                            size_t* reached);
        bool TwiceAlikeSlow(qint64 packed);
        qint64 m_firstDay = 0;
        std::vector<qint32> m_offsets; // by day from m_firstDay
        std::vector<Changes> m_changing;
        QTimeZone m_zone; // asked only for the times that come twice or not at all
        bool m_haveZone = false;
    };

    // One field's stored cells by physical row, typed, for passes over many rows without a
    // QVariant a cell. It reads the store in place: values written later show through, rows
    // appended later are not in it (Current() turns false; take a new one). A text stays valid
    // until the next text is written to the field.
    class Cells final {
    public:
        FieldType Type() const { return m_type; }
        quint32 Rows() const { return m_rows; }
        bool Current() const;
        bool IsNull(quint32 r) const { return (m_nulls[r >> 6] >> (r & 63)) & 1u; }
        // Integer, LargeInt, Boolean (0 or 1), Date (Julian day), DateTime (wall clock as
        // LocalTimes takes it), Currency (scaled by 10000).
        qint64 Integer(quint32 r) const {
            return m_i32 ? m_i32[r] : (m_i64 ? m_i64[r] : (m_u8 ? qint64(m_u8[r]) : 0));
        }
        // Float and Currency; integer-valued fields as their integer.
        double Real(quint32 r) const {
            if (m_f64)
                return m_f64[r];
            return m_type == FieldType::Currency ? Currency{m_i64[r]}.ToDouble()
                                                 : double(Integer(r));
        }
        QAnyStringView Text(quint32 r) const; // String, Latin-1 or UTF-16 as stored
        qint64 EpochMs(quint32 r, LocalTimes& zone) const { return zone.EpochMs(m_i64[r]); }
        // Which store these cells read, and how far it has come for this field: both stay the
        // same while no row is appended or removed and the field is not written.
        const void* Store() const { return m_store.get(); }
        quint64 Stamp() const;

        // The cells of rows[0..n) in one pass, a row of -1 (or past Rows()) skipped: each
        // non-Null cell clears null[i] and sets out[i], as Integer, Real, Text or EpochMs would.
        void GatherIntegers(const qint32* rows, size_t n, quint8* null, qint64* out) const;
        void GatherReals(const qint32* rows, size_t n, quint8* null, double* out) const;
        void GatherTexts(const qint32* rows, size_t n, quint8* null, QAnyStringView* out) const;
        void GatherEpochMs(const qint32* rows, size_t n, quint8* null, qint64* out,
                           LocalTimes& zone) const;

    private:
        friend class ClientDataSet;
        std::shared_ptr<const DataStore> m_store;
        const Column* m_column = nullptr;
        size_t m_field = 0;
        FieldType m_type = FieldType::Integer;
        quint32 m_rows = 0;
        quint64 m_rowsStamp = 0;
        const quint64* m_nulls = nullptr;
        const qint32* m_i32 = nullptr;
        const qint64* m_i64 = nullptr;
        const double* m_f64 = nullptr;
        const quint8* m_u8 = nullptr;
    };
    Cells CellsOf(int field) const;
    // Overwrites cells of an Integer field in place, for a pass that gives many rows a value
    // (each written cell stops being Null); the dataset takes the column as changed, as posted
    // edits would, when the writer goes. Needs Browse state.
    class IntegerWriter final {
    public:
        IntegerWriter(ClientDataSet& ds, int field);
        ~IntegerWriter();
        IntegerWriter(const IntegerWriter&) = delete;
        IntegerWriter& operator=(const IntegerWriter&) = delete;
        void Set(quint32 row, qint32 value);

    private:
        DataStore& m_store;
        Column& m_column;
        size_t m_field;
        bool m_changed = false;
    };
    // Installs the order of an index over these fields (as SetIndexName resolves them: field
    // positions, options) as if it were built now, for a pass that has that order at hand
    // anyway. The caller vouches for it: ascending keys, Nulls first, equal keys in row order.
    void AdoptIndexOrder(const std::vector<int>& fields, IndexOptions options,
                         std::vector<quint32> order);

    // --- indexes, ranges, key search
    void SetIndexName(const QString& name); // "" = natural order
    const QString& IndexName() const { return m_indexName; }
    int IndexFieldCount() const { return int(m_keyFields.size()); }
    int IndexField(int i) const { return m_keyFields[size_t(i)]; }
    // Inclusive range on the current index; shorter keys match on their leading fields.
    void SetRange(const KeyList& start, const KeyList& end);
    void CancelRange();
    bool HasRange() const { return m_rangeActive; }
    bool FindKey(const KeyList& key); // exact match on the leading index fields
    // fields "a;b", values one per field; Null matches Null.
    bool Locate(const QString& fields, const QVariantList& values, LocateOptions options = {});

    // --- filter
    void SetFilter(const QString& text);
    const QString& Filter() const { return m_filterText; }
    void SetFiltered(bool on);
    bool Filtered() const { return m_filtered; }
    void SetFilterOptions(FilterOptions options);
    FilterOptions GetFilterOptions() const { return m_filterOptions; }

    // --- groups and aggregates
    // First/Middle/Last of the current row among visible rows sharing the first `level`
    // fields of the current index.
    GroupPosInds GetGroupState(int level) const;
    AggregateList& Aggregates() { return m_aggregates; }
    const AggregateList& Aggregates() const { return m_aggregates; }
    void SetAggregatesActive(bool on);
    bool AggregatesActive() const { return m_aggregatesActive; }
    // Value of aggregate `index` for the current row's group; Null when inactive or when its
    // index is not the current one. Sums of integer fields are 64-bit integers (a double only
    // past that range); currency adds up exactly and is returned as a double.
    QVariant AggregateValue(int index);
    // Compiles the aggregate's expression now so that its errors surface here.
    void CheckAggregate(int index);
    // Group starts at `level` among the visible rows of the current range: how many there are,
    // and moving to the k-th (from 0; False and the cursor unmoved when there is none). Both
    // search the group boundaries, kept per index and level, instead of walking the rows.
    int GroupStartCount(int level) const;
    bool GotoGroupStart(int level, int k);

    // --- flags kept for callers that set them
    void DisableControls() { ++m_disableCount; }
    void EnableControls() { m_disableCount = std::max(0, m_disableCount - 1); }
    bool ControlsDisabled() const { return m_disableCount > 0; }
    void SetLogChanges(bool on) { m_logChanges = on; }
    bool LogChanges() const { return m_logChanges; }
    void SetStoreDefs(bool on) { m_storeDefs = on; }
    bool StoreDefs() const { return m_storeDefs; }
    void SetProviderName(const QString& name) { m_providerName = name; }
    const QString& ProviderName() const { return m_providerName; }

    // --- memory
    qint64 StoreBytes() const;
    qint64 IndexBytes() const; // permutations held by this cursor's store

    // Expression compiler hooks over this dataset's fields.
    ExprHooks Hooks() const;

private:
    class RowReader;
    struct View {
        quint32 Lo = 0, Hi = 0; // positions in the permutation
    };

    void RequireActive() const;
    void RequireBrowse() const;
    void CheckCell(qint64 row, int field) const;
    quint32 RowAt(quint32 pos) const;
    quint32 PositionCount() const;
    void Sync() const; // refreshes index and range bounds when the store changed
    bool Visible(quint32 row) const;
    int CompareRowKey(quint32 row, const KeyList& key, size_t n) const;
    int CompareRowsOnKey(quint32 a, quint32 b, int level) const;
    bool SeekFrom(qint64 pos, int dir); // nearest visible from pos, false when none
    void Reposition(quint32 row) const;
    void ResolveIndex();
    void ResetCursorState();
    void CompileFilter();
    void InvalidateView() { ++m_generation; }
    std::shared_ptr<const Expression> CompiledAggregate(int index);
    QVariant ComputeAggregate(const Expression& e, quint32 lo, quint32 hi) const;
    std::shared_ptr<const std::vector<quint32>> GroupStarts(int level) const;
    qint64 FirstVisibleInView() const; // position, -1 when the view shows no row

    QString m_name;
    FieldDefList m_fieldDefs;
    IndexDefList m_indexDefs;
    std::shared_ptr<DataStore> m_store;

    QString m_indexName;
    std::vector<int> m_keyFields;
    IndexOptions m_indexOptions;
    mutable std::shared_ptr<const IndexPerm> m_perm; // null = natural order
    mutable quint64 m_syncedVersion = ~quint64(0);

    bool m_rangeActive = false;
    KeyList m_rangeStart, m_rangeEnd;
    mutable View m_view;

    QString m_filterText;
    bool m_filtered = false;
    FilterOptions m_filterOptions;
    std::shared_ptr<const Expression> m_filterExpr;

    mutable qint64 m_pos = 0;       // position in the permutation
    mutable qint64 m_row = -1;      // physical row at m_pos, -1 = none
    mutable bool m_eof = true, m_bof = true;
    mutable quint64 m_generation = 1; // bumps with every change of what is visible
    mutable int m_countCache = -1;
    mutable quint64 m_countGeneration = 0;

    DataSetState m_state = DataSetState::Inactive;
    std::vector<QVariant> m_buffer;

    AggregateList m_aggregates;
    bool m_aggregatesActive = false;

    struct GroupStartsCache final { // positions of group starts when they are not the index's
        const void* Perm = nullptr;
        quint64 Version = 0;
        int Level = -1;
        const void* Filter = nullptr;
        std::shared_ptr<const std::vector<quint32>> Starts;
    };
    mutable GroupStartsCache m_groupStarts;

    int m_disableCount = 0;
    bool m_logChanges = true;
    bool m_storeDefs = false;
    QString m_providerName;
};

} // namespace Cds

#pragma once
// A data source in provider mode: the grid asks it for the record count, a handle per record and
// a value per record and item, and never holds the data itself. A source may be bound to several
// data controllers (its providers); each tells its view when the source reports a change.

#include <QAnyStringView>
#include <QString>
#include <QVariant>

#include <cstdint>
#include <memory>
#include <vector>

namespace Grid {

class DataController;
class GridItemDataBinding;

// An opaque token the source hands out for a record; 0 is no record.
using RecordHandle = std::uint64_t;
inline constexpr RecordHandle kNoRecord = 0;
// The item (column) as the source knows it: its data binding, or null.
using ItemHandle = GridItemDataBinding*;

// The values of one item for many records at once, typed as the source stores them and without
// a QVariant a cell: integers (booleans 0 or 1, dates as Julian days, date-times as
// milliseconds since the epoch), reals or texts. A source that reads typed derives its own to
// keep what the texts point into and what it reuses from read to read.
class ColumnCells {
public:
    enum TKind : quint8 { ckInteger, ckReal, ckText };
    ColumnCells() = default;
    virtual ~ColumnCells();
    ColumnCells(const ColumnCells&) = delete;
    ColumnCells& operator=(const ColumnCells&) = delete;

    TKind Kind = ckInteger;
    bool Temporal = false;             // integers that are dates or date-times: never added up
    std::vector<quint8> Null;          // per record read, 1 for Null
    std::vector<qint64> Integers;      // ckInteger; a Null cell's value is left unspecified
    std::vector<double> Reals;         // ckReal
    std::vector<QAnyStringView> Texts; // ckText: valid while these cells live and data stays

    // Sizes the cells for count records of that kind, every one Null. The arrays are those that
    // cells let go of on this thread before, where there are: a read of many records into
    // fresh pages pays a fault a page, more than the read itself.
    void Prepare(TKind kind, size_t count);

    // The order of two cells as a grid orders values: Null first, then by value (texts by
    // their UTF-16 code units, as QString compares).
    int Compare(size_t a, size_t b) const {
        if (Null[a] || Null[b])
            return int(Null[b] != 0) - int(Null[a] != 0);
        switch (Kind) {
        case ckInteger:
            return Integers[a] < Integers[b] ? -1 : (Integers[a] > Integers[b]);
        case ckReal:
            return Reals[a] < Reals[b] ? -1 : (Reals[a] > Reals[b]);
        case ckText:
            return QAnyStringView::compare(Texts[a], Texts[b]);
        }
        return 0;
    }
    // The cell as a number to add up, as QVariant::toDouble takes the value; False when it is
    // none (Null, a date, a text that is no number).
    bool Number(size_t i, double& out) const;
};

class CustomDataSource {
public:
    CustomDataSource();
    virtual ~CustomDataSource();
    CustomDataSource(const CustomDataSource&) = delete;
    CustomDataSource& operator=(const CustomDataSource&) = delete;

    virtual int GetRecordCount() { return 0; }
    virtual RecordHandle GetRecordHandle(int recordIndex);
    virtual QVariant GetRecordId(RecordHandle) { return {}; }
    virtual QVariant GetValue(RecordHandle, ItemHandle) { return {}; }
    virtual QString GetDisplayText(RecordHandle record, ItemHandle item);
    // The values GetValue gives for records[0..count) of an item, typed into cells that
    // CreateCells made; False when this source has no typed read for the item (then GetValue
    // answers). Called on several threads at once when IsMultiThreadingSupported.
    virtual bool ReadCells(const RecordHandle* records, size_t count, ItemHandle item,
                           ColumnCells& cells);
    virtual std::unique_ptr<ColumnCells> CreateCells();
    // The item of the provider that is asking (see CurrentProvider), null outside such a call.
    virtual ItemHandle GetItemHandle(int itemIndex);
    // The provider loads its record list (and item handles) from this source.
    virtual void LoadRecordHandles();

    virtual bool IsRecordIdSupported() { return false; }
    virtual bool IsMultiThreadingSupported() { return false; }
    virtual bool IsNativeCompare() { return false; }
    virtual bool IsNativeCompareFunc() { return false; }
    virtual int NativeCompareFunc(RecordHandle a, RecordHandle b, ItemHandle item);

    // Editing; a source that allows none raises its error here.
    virtual RecordHandle AppendRecord() { return kNoRecord; }
    virtual RecordHandle InsertRecord(RecordHandle) { return kNoRecord; }
    virtual void DeleteRecord(RecordHandle) {}
    virtual void SetValue(RecordHandle, ItemHandle, const QVariant&) {}

    // Every provider reloads and tells its view that all data changed.
    virtual void DataChanged();

    // The controllers bound to this source, in binding order.
    const std::vector<DataController*>& Providers() const { return m_providers; }
    // The provider on whose behalf this thread calls into the source now, else null.
    static DataController* CurrentProvider();

private:
    friend class DataController;
    std::vector<DataController*> m_providers;
};

} // namespace Grid

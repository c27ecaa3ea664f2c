#pragma once
// A data source in provider mode: the grid asks it for the record count, a handle per record and
// a value per record and item, and never holds the data itself. A source may be bound to several
// data controllers (its providers); each tells its view when the source reports a change.

#include <QString>
#include <QVariant>

#include <cstdint>
#include <vector>

namespace Grid {

class DataController;
class GridItemDataBinding;

// An opaque token the source hands out for a record; 0 is no record.
using RecordHandle = std::uint64_t;
inline constexpr RecordHandle kNoRecord = 0;
// The item (column) as the source knows it: its data binding, or null.
using ItemHandle = GridItemDataBinding*;

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

#pragma once
// The provider between a custom data source and a view: the view's items with their data
// bindings, the record list loaded from the source, update brackets and the notice that all
// data changed. Values of many rows can be fetched on several threads when the source allows it.

#include "CustomDataSource.h"
#include "GridItemDataBinding.h"

#include <QObject>

#include <memory>
#include <vector>

namespace Grid {

class DataController final : public QObject {
    Q_OBJECT
public:
    explicit DataController(QObject* parent = nullptr);
    ~DataController() override;

    Grid::CustomDataSource* CustomDataSource() const { return m_source; }
    // Binds to source (null unbinds) and loads its records.
    void SetCustomDataSource(Grid::CustomDataSource* source);

    // --- items
    GridItemDataBinding& AddItem(std::unique_ptr<GridItemDataBinding> binding);
    int ItemCount() const { return int(m_items.size()); }
    GridItemDataBinding* Item(int index) const;

    // --- records
    // Asks the source to load (its LoadRecordHandles), which ends in LoadRecords.
    void LoadRecordHandles();
    // The library's own loading: record count, one handle per record, one handle per item.
    void LoadRecords();
    int RecordCount() const { return int(m_records.size()); }
    RecordHandle GetRecordHandle(int row) const;
    ItemHandle GetItemHandle(int item) const;
    QVariant GetValue(int row, int item) const;
    QString GetDisplayText(int row, int item) const;
    // Through the source, which may refuse (editing a read-only source raises).
    void SetValue(int row, int item, const QVariant& value);

    // Values of every record for the given items, [row][k] for items[k]. Split over maxThreads
    // threads (0: the machine's) when the source supports multi-threaded reads.
    std::vector<std::vector<QVariant>> FetchValues(const std::vector<int>& items,
                                                   int maxThreads = 0) const;

    // --- changes
    void BeginUpdate();
    void EndUpdate();
    bool IsUpdating() const { return m_lockCount > 0; }
    // All data changed: the records are reloaded (after the last EndUpdate when inside one).
    void DataChanged();

signals:
    void DataAboutToReset();
    void DataReset();

private:
    Grid::CustomDataSource* m_source = nullptr;
    std::vector<std::unique_ptr<GridItemDataBinding>> m_items;
    std::vector<RecordHandle> m_records;
    std::vector<ItemHandle> m_itemHandles;
    int m_lockCount = 0;
    bool m_changePending = false;
};

} // namespace Grid

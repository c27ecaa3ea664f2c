#pragma once
// The provider between a custom data source and a view: the view's items with their data
// bindings, the record list loaded from the source, update brackets and the notice that all
// data changed. Values of many rows can be fetched on several threads when the source allows it.
// Grouped by some of its items, it keeps a group index built once per load (records ordered by
// the group values, one group per distinct value path) and the rows a view shows: group rows and
// the records of expanded groups.

#include "CustomDataSource.h"
#include "GridItemDataBinding.h"

#include <QObject>

#include <cstdint>

#include <memory>
#include <set>
#include <vector>

namespace Grid {

// A group of records sharing the values of the grouping items down to its level.
struct DataGroup {
    int Level = 0;   // 0: grouped by the first grouping item
    int Parent = -1; // enclosing group, -1 at level 0
    QVariant Value;  // the grouping item's value shared by its records
    int FirstRecord = 0; // position in GroupedRecords() of its first record
    int RecordCount = 0; // records in it at every depth
    int ChildCount = 0;  // groups directly below; 0 at the deepest level
    int SubtreeEnd = 0;  // index of the first group after it and its descendants
    bool Expanded = false;
};

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
    // The item's values of every record through the source's typed read, by record; null when
    // the source has none for the item. One pass on the calling thread: a typed read costs a
    // few nanoseconds a cell, less than handing work to threads. Safe on several threads at
    // once when the source supports multi-threaded reads.
    std::unique_ptr<ColumnCells> FetchCells(int item) const;

    // --- grouping
    // Groups by these items, outermost first (empty: no grouping); rebuilds the index.
    void SetGroupingItems(const std::vector<int>& items);
    const std::vector<int>& GroupingItems() const { return m_groupItems; }
    bool IsGrouped() const { return !m_groupItems.empty(); }
    int GroupCount() const { return int(m_groups.size()); }
    const DataGroup& Group(int group) const { return m_groups.at(size_t(group)); }
    // Record indexes in group order (records of a group are consecutive, in loaded order).
    const std::vector<int>& GroupedRecords() const { return m_groupedRecords; }

    // --- rows shown: without grouping one per record, else group rows and the records of
    // expanded groups
    int RowCount() const { return IsGrouped() ? int(m_rows.size()) : RecordCount(); }
    bool IsGroupRow(int row) const { return IsGrouped() && rowAt(row) < 0; }
    // The record of a data row, -1 for a group row or no row.
    int RowRecord(int row) const;
    // The group of a group row, -1 for any other.
    int RowGroup(int row) const;
    // Grouping depth of a row: a group row's level, a data row's number of grouping items.
    int RowLevel(int row) const;
    // The row of a group, -1 when it is hidden in a collapsed one.
    int GroupRow(int group) const;
    // Expands or collapses the group of a group row; False when the row is none or unchanged.
    bool SetRowExpanded(int row, bool expanded);
    void FullExpand(bool expanded);

    // --- changes
    void BeginUpdate();
    void EndUpdate();
    bool IsUpdating() const { return m_lockCount > 0; }
    // All data changed: the records are reloaded (after the last EndUpdate when inside one).
    void DataChanged();

signals:
    void DataAboutToReset();
    void DataReset();
    // Rows [first, first + count) appear below a group row being expanded, or go with a
    // collapse.
    void RowsAboutToBeInserted(int first, int count);
    void RowsInserted(int first, int count);
    void RowsAboutToBeRemoved(int first, int count);
    void RowsRemoved(int first, int count);

private:
    // A shown row: a record index (>= 0) or ~group (< 0).
    int rowAt(int row) const {
        return row >= 0 && row < int(m_rows.size()) ? m_rows[size_t(row)] : INT32_MAX;
    }
    void clearGroups();
    void buildGroups();
    // Orders the records by the grouping items (less) and splits them into groups: same(a, b,
    // level) tells whether two records share the level's value, value(record, level) gives it.
    template <class Less, class Same, class Value>
    void groupRecords(const Less& less, const Same& same, const Value& value);
    void appendRows(int group, std::vector<int>& rows) const;
    void indexRows();
    QString groupPath(int group) const;

    Grid::CustomDataSource* m_source = nullptr;
    std::vector<std::unique_ptr<GridItemDataBinding>> m_items;
    std::vector<RecordHandle> m_records;
    std::vector<ItemHandle> m_itemHandles;
    int m_lockCount = 0;
    bool m_changePending = false;

    std::vector<int> m_groupItems;
    std::vector<DataGroup> m_groups;     // depth first: a group's children follow it
    std::vector<int> m_groupedRecords;   // record indexes in group order
    std::vector<int> m_rows;             // shown rows, see rowAt
    std::vector<int> m_groupRow;         // row of each group, -1 when hidden
    std::set<QString> m_expandedPaths;   // kept over reloads
};

} // namespace Grid

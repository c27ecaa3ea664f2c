#pragma once
// Table view over a data class: one row per record, columns by field name. The current row and
// the class's cursor follow each other; moving off an edited record posts it, and a refused post
// keeps the view on that record.

#include <QPointer>
#include <QTableView>

#include <TVoskClass.h>

#include "TVoskDBTreeView2.h"
#include "VoskF2Controls.h"

#include <QHash>
class TVoskDataModel;
class TVoskDBGrid2;
class TVoskDBTreeView2;
class QAbstractItemView;
class TVoskConditionalFormatting;

// What a column's cell editor is: a plain edit, an edit with buttons, or an edit of a long text
// whose text button opens the text editor.
enum class TVoskColumnPropertiesKind { None, ButtonEdit, BlobEdit };

// A column of a grid or a tree list, a component of the form named as designed, showing one
// field.
class TVoskGridColumn final : public QObject {
    Q_OBJECT
public:
    TVoskGridColumn(QObject* owner, const QString& name, TVoskDBGrid2* grid,
                    const QString& fieldName);
    TVoskGridColumn(QObject* owner, const QString& name, TVoskDBTreeView2* tree,
                    const QString& fieldName);
    TVoskDBGrid2* Grid() const { return m_grid; }
    TVoskDBTreeView2* Tree() const { return m_tree; }
    QString FieldName() const { return m_field; }

    TVoskColumnPropertiesKind PropertiesKind() const { return m_kind; }
    // Changes the kind; the buttons start anew (a blob edit has its text button first).
    void SetPropertiesKind(TVoskColumnPropertiesKind kind);
    struct Button {
        TVoskEditButtonKind kind;
        bool visible = true;
    };
    QList<Button>& Buttons() { return m_buttons; }
    const QList<Button>& Buttons() const { return m_buttons; }
    int AddButton(TVoskEditButtonKind kind);
    // The first button, when the column has button-edit properties and that button is shown.
    bool FirstButtonVisible() const;

    // Fast lookup as the user types (query and filter as TVoskEdit takes them).
    void SetFastF2(const QString& query, const QString& filter);
    QString FastF2Query() const { return m_fastQuery; }
    QString FastF2Filter() const { return m_fastFilter; }

    // The cell editor: the system's edit with the column's buttons and fast lookup; null when
    // the column needs neither.
    QWidget* CreateEditor(QWidget* parent) const;
    // A click on button index: the text button edits the long text of the view's current cell,
    // every other one opens the lookup of the form that holds the view. sender is the cell
    // editor, or the view when a key stands in for the click.
    void ButtonClick(int index, QObject* sender) const;

    // The text of a view's current cell in the text editor, written back when changed; sender
    // is the open cell editor, if any.
    static void EditCellText(QAbstractItemView* view, TVoskClass* data, QObject* sender);
    // The columns of a grid or tree list, and the one showing a field.
    static QList<TVoskGridColumn*> ColumnsOf(const QWidget* view);
    static TVoskGridColumn* ColumnOf(const QWidget* view, const QString& fieldName);

private:
    QPointer<TVoskDBGrid2> m_grid;
    QPointer<TVoskDBTreeView2> m_tree;
    QString m_field;
    TVoskColumnPropertiesKind m_kind = TVoskColumnPropertiesKind::None;
    QList<Button> m_buttons;
    QString m_fastQuery, m_fastFilter;
};

#include <QDateTime>
#include <QHash>
#include <QSet>

#include <functional>
#include <memory>
#include <vector>

class QMenu;
class QHeaderView;
class QJsonObject;
class TVoskDataModel;
#include "TVoskTabControl.h"
namespace Cds {
class Expression;
}

// What the filter button shows: no stored filter yet, a stored filter in force, a filter changed
// since it was loaded, no filter in force.
enum TGridFilterState { gfsNone = 0, gfsActive = 1, gfsChanged = 2, gfsInactive = 5 };

#include "VoskGridLayouts.h"
#include "VoskGridSearch.h"
#include "VoskLinkColumns.h"

class QLineEdit;

class TVoskDBGrid2 final : public QTableView, public IVoskGridSearchPanel, public IVoskGridFind,
                           public IVoskGridLayouts {
    Q_OBJECT
    // Whether the user may delete records from this grid (Ctrl+D, the selection delete); the data
    // may still allow it elsewhere.
    Q_PROPERTY(bool OptionsDataDeleting READ OptionsDataDeleting WRITE SetOptionsDataDeleting)
public:
    explicit TVoskDBGrid2(QWidget* parent = nullptr);
    ~TVoskDBGrid2() override;

    TVoskClass* DataClass() const { return m_class; }
    void SetDataClass(TVoskClass* dataClass);
    TVoskDataModel* DataModel() const { return m_model; }
    // The view column showing the field, -1 without one.
    int columnByFieldName(const QString& fieldName) const;

    // Closes an open cell editor; accept hands its value to the field first.
    void EndEdit(bool accept);
    // The selected rows the user sees: neither hidden by the filter nor inside a collapsed
    // group (a selection made by Ctrl+A covers those too). Without multi-select at most the
    // current one.
    QList<int> SelectedShownRows() const;
    int SelectedRowCount() const { return int(SelectedShownRows().size()); }
    bool OptionsDataDeleting() const { return m_optionsDataDeleting; }
    void SetOptionsDataDeleting(bool on) { m_optionsDataDeleting = on; }
    // Asks, naming how many, and deletes the records of the selected rows the user sees, all or
    // nothing; false when there were none, the grid allows no deleting or the user said no.
    bool DeleteSelection();
    // Opens the editor of the first shown column the user may type into at the current row, as
    // after an insert (a serial key or an audit stamp is never that column).
    void EditFirstVisibleColumn();
    // Readies the grid for a new record: an open cell editor hands its value on and closes, a
    // selection of several rows shrinks to the current one.
    void PrepareInsert();
    // Puts the current cell of the current row into the first column shown, as the user sees the
    // columns; showEditor opens its editor as well.
    void SetFirstVisibleColumnFocus(bool showEditor);
    // Fields that are not shown (kept over every reload of the class).
    void SetHiddenFields(const QStringList& fields);
    // Whether the grid fits the widths itself when its columns change; a frame that lays out its
    // columns on its own turns this off, so that the rows are measured once.
    void SetAutoFitColumns(bool on) { m_autoFit = on; }
    const QStringList& HiddenFields() const { return m_hiddenFields; }

    // Paint lock for bulk changes; nests.
    void BeginUpdate();
    void EndUpdate();
    int UpdateLevel() const { return m_updateLevel; }
    // Completed BeginUpdate/EndUpdate pairs, for checks that a start rebuilt the grid once.
    int UpdatePairs() const { return m_updatePairs; }

    // Columns made by the form; the view's own columns follow the data class's fields.
    QList<TVoskGridColumn*> Columns() const;
    TVoskGridColumn* ColumnOf(const QString& fieldName) const;

    // Fast lookup per column (query and filter as TVoskEdit takes them).
    void SetColumnFastF2(TVoskGridColumn* column, const QString& query, const QString& filter);
    QString ColumnFastF2Query(const TVoskGridColumn* column) const;
    QString ColumnFastF2Filter(const TVoskGridColumn* column) const;

    // The form's start-up: the cell editors take their buttons and lookups from the columns from
    // now on.
    void LoadF2();
    bool F2Loaded() const { return m_f2Loaded; }
    // The text button of a long-text column: the text of the current cell in the text editor,
    // written back when changed. sender is the cell editor.
    void FieldEditTxtBtClick(QObject* sender);

    // ---- layouts (TVoskDBGrid2.Settings.cpp) ----------------------------------------------
    // Stored per form class and grid: type 1 the user's own, 2 the global one. A layout holds the
    // column order, widths, visibility and the sort. The form class is the owning form's.
    QString FormClassName() const;
    QString GridName() const { return objectName(); }
    bool LayoutExists(int type);
    // False when the stored text does not parse (logged, nothing applied).
    bool LayoutLoad(int type);
    void LayoutSave(int type);
    void LayoutDelete(int type);
    // The user's layout is preferred over the global one.
    bool LayoutIsDefault();
    void SetLayoutDefault(bool on);
    // When and by whom the layout last checked by LayoutExists was saved.
    QDateTime LayoutSavedAt() const { return m_layoutSavedAt; }
    QString LayoutSavedBy() const { return m_layoutSavedBy; }
    // Restores the preferred stored layout: the user's when it is the default or the only one,
    // else the global one. Waits for the columns when the data class is not open yet.
    void InitLayout();
    // Marks the headers of the columns that have link modules; the row menu of such a column
    // offers them for the cell's value.
    void MarkHeaderForLinkModules();
    const TVoskLinkColumns& LinkColumns() const { return m_linkColumns; }
    // The layout as text, and applied from text (false when it does not parse).
    QString LayoutText() const;
    bool ApplyLayoutText(const QString& text);
    // Column widths fitted to the content of the shown rows; with maxWidth, none wider.
    void OptimalWidths() override { OptimalWidths(0); }
    void OptimalWidths(int maxWidth);
    // Colours and bold type of cells by rules on their values; kept with the layout.
    TVoskConditionalFormatting* ConditionalFormatting() const { return m_conditionalFormatting; }

    // ---- filters ----------------------------------------------------------------------------
    // Stored filters of this grid, read from the database per call.
    struct TStoredFilter {
        QString name;
        QString filter;
    };
    QList<TStoredFilter> StoredFilters() const;
    int GridFilterCount() const { return int(StoredFilters().size()); }
    QString GridFilterSaveName() const { return GridName(); }
    // Loads a stored filter by name. A text that does not parse is ignored with a log line; one
    // naming a missing field shows the filter library's message and clears the filter.
    bool GridFilterLoad(const QString& name);
    // Sets a filter expression directly (state "changed"); throws the library's error.
    void SetGridFilterText(const QString& text);
    void GridFilterClear();
    bool GridFilterActive() const { return bool(m_filter); }
    QString GridFilterText() const { return m_filterText; }
    QString GridFilterName() const { return m_filterName; }
    TGridFilterState GridFilterState() const { return m_filterState; }
    static int GridFilterStateIcon(TGridFilterState state);
    static QString GridFilterStateText(TGridFilterState state);
    // Fills menu with the stored filters and "Filter aufheben".
    void GridFilterMakeMenu(QMenu* menu);
    // The tabs: "Alle" (data "*") and one per stored filter; the current filter's tab selected.
    void SetFilterTabControl(TVoskTabControl* tabs);
    TVoskTabControl* FilterTabControl() const { return m_filterTabs; }
    // Loads the filter last used ("LastGridFilter" of the user) once.
    void InitFilter();
    // Called after every change of the filter.
    void AddFilterChangedHandler(QObject* context, std::function<void()> handler);
    // Rows in the order shown, without those the filter hides.
    QList<int> ShownRows() const;
    // Whether a row's cells are on screen: not filtered out, not inside a collapsed group.
    bool RowCellsShown(int row) const;
    // The rows the filter lets through, in the order shown, collapsed groups included: what an
    // export or a printout of the grid holds.
    QList<int> FilteredRows() const;
    // Columns in the order shown, without hidden ones.
    QList<int> ShownColumns() const;

    bool FindNext(const QString& text, bool fromStart) override;
    // A cell editor is open: its value has not reached the field yet.
    bool CellEditorOpen() const { return state() == QAbstractItemView::EditingState; }

    // Searching: a search field over the grid's lower edge, and a find box opened below a
    // control. Typing moves to the first row from the current one whose shown text contains the
    // typed text, Enter to the next such row. The search field also filters: while it holds
    // text, only rows whose shown text contains it are shown; closing it shows all again.
    bool SearchPanelVisible() const override;
    void ShowSearchPanel(bool focus) override;
    void HideSearchPanel() override;
    void ShowFind(QWidget* anchor) override;
    // The first row at or after from, wrapping round, that the filters let through and whose
    // shown text contains text; -1 none.
    int FindRow(const QString& text, int from) const;
    // Moves to the row FindRow gives; false when none matches.
    bool SearchText(const QString& text, bool next);
    // Hides the rows whose shown text (of a shown column) does not contain text, ignoring case;
    // an empty text hides none.
    void SetSearchFilter(const QString& text);
    QString SearchFilter() const { return m_searchFilter; }
    // Whether the shown text of a shown column of the row contains text, ignoring case.
    bool RowContains(int row, const QString& text) const;
    QLineEdit* SearchPanel() const { return m_searchPanel; }
    QLineEdit* FindBox() const { return m_findBox; }

    // What the column's content needs: the rows Qt's table view measures, measured the same,
    // but plain texts by their summed character widths (VoskTextWidths.h), not a layout each.
    int sizeHintForColumn(int column) const override;

protected:
    void resizeEvent(QResizeEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;

public:
    // ---- grouping, footer and preview (TVoskDBGrid2.Groups.cpp) -----------------------------
    // Group levels by field, outermost first. The records are ordered by the levels, each
    // ascending, then by the column the user sorted by; again after every reload. A column is
    // grouped by dragging its header into the group-by box, a level moved or removed by dragging
    // it within the box or out of it.
    QStringList GroupFields() const { return m_groupFields; }
    void SetGroupFields(const QStringList& fields);
    // Adds the field as a level (at level, or innermost for -1); removes it.
    void GroupByField(const QString& field, int level = -1);
    void UngroupField(const QString& field);
    bool GroupByBoxVisible() const { return m_groupByBoxVisible; }
    void SetGroupByBoxVisible(bool on);
    // One group: its first row, level, the key values of its levels and its shown records.
    struct TGridGroup {
        int row = 0;
        int level = 0;
        QVariantList path;
        int count = 0;
    };
    // Every group in the order shown, collapsed ones and those inside them included.
    const std::vector<TGridGroup>& Groups() const { return m_groups; }
    bool GroupExpanded(const QVariantList& path) const;
    void SetGroupExpanded(const QVariantList& path, bool expanded);
    void FullExpand();
    void FullCollapse();
    // Groups that stay open: collapsing is refused while this is on.
    bool GroupsAlwaysExpanded() const { return m_alwaysExpanded; }
    void SetGroupsAlwaysExpanded(bool on);
    // Whether a point of the viewport lies on a record's cell, not on a group's band.
    bool IsRecordCellAt(const QPoint& viewportPos) const;
    // The caption of a group's band: "<column>: <value> (<records>)".
    QString GroupCaption(const TGridGroup& group) const;

    enum TSummaryKind { skNone = 0, skSum, skCount, skMin, skMax, skAverage };
    bool FooterVisible() const { return m_footerVisible; }
    void SetFooterVisible(bool on);
    TSummaryKind FooterSummary(const QString& field) const;
    void SetFooterSummary(const QString& field, TSummaryKind kind);
    // The summary over the records the filter lets through (collapsed groups count); null when
    // the column has no summary or no value to summarise.
    QVariant FooterValue(const QString& field) const;
    QString FooterText(const QString& field) const;
    static QString SummaryKindText(TSummaryKind kind);

    // The long-text preview: the text of the preview field in a band under each record.
    QString PreviewField() const { return m_previewField; }
    void SetPreviewField(const QString& field);
    bool HasPreviewColumn() const;
    bool PreviewVisible() const { return m_previewVisible; }
    void SetPreviewVisible(bool on);
    QString PreviewText(int row) const;
    // The view's own name text, which keys its stored choices.
    QString ViewName() const { return GridName(); }
    // The band layout of the rows, done again after any change of the shown rows or values.
    void LayoutRows();

protected:
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void updateGeometries() override;

private:
    friend class TVoskGridCellDelegate;
    friend class TVoskGridFooter;
    friend class TVoskGroupByBox;
    friend class TVoskGridRowHeader;
    struct TRowBands {
        std::vector<int> groups; // indices into m_groups whose band heads this row
        bool cells = true;
        int previewLines = 0;
    };
    static QHeaderView* MakeRowHeader(TVoskDBGrid2* grid);
    int bandHeight() const;
    int cellHeight() const;
    // The rectangle of a row's cells inside the row as the view lays it out.
    QRect cellRect(const QRect& rowRect, int row) const;
    int groupAt(const QPoint& viewportPos) const;
    // Puts the records in group and sort order again (after a reload, a new level or sort).
    void reorder();
    void noteSort(int section, Qt::SortOrder order);
    void scheduleLayout();
    bool bandsActive() const;
    void placeBars();
    void groupsFromLayout(const QJsonObject& root);
    void groupsToLayout(QJsonObject& root) const;

    QStringList m_groupFields;
    // The column the user sorted by, by field, so that a reload with other columns finds it.
    QString m_sortField;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
    bool m_groupByBoxVisible = false;
    bool m_regrouping = false;
    bool m_layoutScheduled = false;
    bool m_placingBars = false;
    std::vector<TGridGroup> m_groups;
    std::vector<TRowBands> m_rowBands; // empty while no band is shown
    std::vector<char> m_filterOut;     // rows the filter or the search field hides
    QSet<QString> m_collapsed;
    bool m_alwaysExpanded = false;
    bool m_footerVisible = false;
    QHash<QString, TSummaryKind> m_summaries; // by lower-case field name
    QString m_previewField;
    bool m_previewVisible = false;
    class TVoskGroupByBox* m_groupByBox = nullptr;
    class TVoskGridFooter* m_footer = nullptr;

private:
    void applyLayoutIfPending();
    void applyFilter();
    // Whether the filter and the search field let the row through.
    bool passesFilter(int row) const {
        return size_t(row) >= m_filterOut.size() || !m_filterOut[size_t(row)];
    }
    // Puts the class's cursor on a row the filters let through when they hide its record.
    void settleCurrent();
    void notifyFilterChanged();
    QLineEdit* MakeSearchField(QWidget* parent, const QString& name);
    void placeSearchPanel();
    void followClass();
    void followView(const QModelIndex& current);
    void applyColumns();

    QPointer<TVoskClass> m_class;
    TVoskDataModel* m_model = nullptr;
    int m_updateLevel = 0;
    int m_updatePairs = 0;
    bool m_f2Loaded = false;
    bool m_syncing = false;
    bool m_rowRemoved = false; // a row went since the class last moved
    bool m_optionsDataDeleting = true;
    QStringList m_hiddenFields;
    bool m_autoFit = true;
    QStringList m_sizedFor; // the fields whose widths were fitted last

    QDateTime m_layoutSavedAt;
    QString m_layoutSavedBy;
    QString m_pendingLayout; // applied when the columns come
    QString m_pendingFilter; // the last filter, loaded when the columns come
    bool m_layoutInitDone = false;
    std::shared_ptr<const Cds::Expression> m_filter;
    QString m_filterText;
    QString m_filterName;
    TGridFilterState m_filterState = gfsNone;
    bool m_filterInitDone = false;
    QPointer<TVoskTabControl> m_filterTabs;
    struct FilterHandler {
        QPointer<QObject> context;
        std::function<void()> handler;
    };
    std::vector<FilterHandler> m_filterHandlers;
    QLineEdit* m_searchPanel = nullptr;
    QString m_searchFilter;
    QLineEdit* m_findBox = nullptr;
    TVoskConditionalFormatting* m_conditionalFormatting = nullptr;
    TVoskLinkColumns m_linkColumns;
};

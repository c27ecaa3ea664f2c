#pragma once
// The banded table view: columns grouped under bands, drawn by a QTableView whose header paints a
// band row over the column headers, with summaries in a footer. Each column is one item of the
// view's data controller, so the model's column order is the creation order and the arrangement
// (bands, position in band, visibility, width) lives in the view and is mapped onto the header's
// visual order. Users drag columns within and between bands and resize them; the view reports
// every such change. The arrangement and the footer summaries are stored as compact JSON with
// sorted keys, so equal arrangements give equal bytes.
// Columns with a group index group the rows: they leave the header, and each distinct value path
// becomes a group row ("Caption: value (rows)") with an expand button at its level's indent; the
// rows of a group are indented by the grouping depth. A click on the button, a double click on
// the group row, or +, -, Left and Right on the focused group row expand and collapse it.

#include "DataController.h"
#include "GridViewInfo.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariant>
#include <QWidget>

#include <memory>
#include <vector>

class QIODevice;
class QJsonObject;
class QPainter;
class QTableView;

namespace Grid {

class BandedHeaderView;
class DataSourceModel;
class GridCellDelegate;
class GridFooterView;

enum class SummaryKind { None, Sum, Count, Min, Max, Average };

struct GridBand {
    QString Caption;
    bool Visible = true;
};

class GridBandedColumn final {
public:
    QString Name;
    bool Visible = true;
    int Width = 100;
    int BandIndex = 0; // -1: outside every band, then not shown
    int ColIndex = 0;  // position among the columns of its band
    int RowIndex = 0;
    int GroupIndex = -1; // place among the grouping columns, -1: not grouped by it
    SummaryKind FooterSummary = SummaryKind::None;

    GridItemDataBinding& DataBinding() const { return *m_binding; }
    int ItemIndex() const { return m_binding->Index(); } // the model's column
    QString Caption() const { return m_binding->Caption(); }
    void SetCaption(const QString& caption) { m_binding->SetCaption(caption); }

private:
    friend class GridBandedTableView;
    explicit GridBandedColumn(GridItemDataBinding& binding) : m_binding(&binding) {}
    GridItemDataBinding* m_binding;
};

// The indent area of a shown row: left of its first cell, one level indent per grouping level
// above the row.
struct GridIndentAreaInfo {
    QRect Bounds; // in the table's viewport
    int Row = -1; // the shown row (DataController::RowCount)
    int Level = 0;
    bool GroupRow = false;
};

class GridBandedTableView : public QObject {
    Q_OBJECT
public:
    static constexpr int kStorageVersion = 1;
    enum StoreOption { soNone = 0, soSummary = 1 };

    explicit GridBandedTableView(QObject* owner = nullptr);
    ~GridBandedTableView() override;

    Grid::DataController& DataController() { return *m_controller; }
    const Grid::DataController& DataController() const { return *m_controller; }

    // --- bands
    int BandCount() const { return int(m_bands.size()); }
    GridBand& Band(int index) { return m_bands.at(size_t(index)); }
    int AddBand(const QString& caption);
    // Sum of the widths of the band's shown columns.
    int BandWidth(int band) const;

    // --- columns, in the order of their Index
    int ColumnCount() const { return int(m_columns.size()); }
    GridBandedColumn& Column(int index) const { return *m_columns.at(size_t(index)); }
    int ColumnIndex(const GridBandedColumn& column) const;
    GridBandedColumn* ColumnByName(const QString& name) const; // without case
    GridBandedColumn* ColumnOfItem(int itemIndex) const;
    // A new column with a binding of the view's binding class, last in the list and its band 0.
    GridBandedColumn& CreateColumn(const QString& name = {});
    void SetColumnIndex(GridBandedColumn& column, int index);
    // Puts column into band at position colIndex there, as a drag does.
    void MoveColumn(GridBandedColumn& column, int band, int colIndex);
    // Shown: visible, not grouped by, in an existing band that is visible.
    bool IsColumnShown(const GridBandedColumn& column) const;
    // Shown columns as the header orders them.
    std::vector<GridBandedColumn*> ShownColumns() const;

    // --- grouping
    // The columns grouped by, in the order of their group index.
    std::vector<GridBandedColumn*> GroupedColumns() const;
    // Groups by column at place index among the grouping columns (-1 ungroups it).
    void SetGroupIndex(GridBandedColumn& column, int index);
    // Expands or collapses the group of a shown group row; False when nothing changed.
    bool SetRowExpanded(int row, bool expanded);
    // Where a group row's expand button is drawn, in the table's viewport; empty for other rows.
    QRect ExpandButtonRect(int row) const;
    // The area that takes a click on the button: the button, in touch mode its level indent.
    QRect ExpandButtonHitRect(int row) const;
    GridIndentAreaInfo IndentArea(int row) const;
    // "Caption: value (rows)".
    virtual QString GroupRowText(int group) const;
    // A group row's text in an item's column (its summary there); none by default.
    virtual QString GroupSummaryText(int group, int item) const;

    // --- summaries
    void SetFooterVisible(bool visible);
    bool FooterVisible() const { return m_footerVisible; }
    // One value per column (by Index), Null where no summary is set; read through the data
    // controller's FetchValues.
    std::vector<QVariant> FooterValues() const;
    static QString SummaryName(SummaryKind kind);

    // --- changes
    void BeginUpdate();
    void EndUpdate();
    bool IsUpdating() const { return m_updateCount > 0; }
    // The arrangement changed in code: the widgets follow (after the last EndUpdate).
    void Changed();

    // --- storage
    void StoreToStream(QIODevice& stream, const QString& viewName, int options = soSummary) const;
    QByteArray StoreToBytes(const QString& viewName, int options = soSummary) const;
    // Throws EVoskException for data that is not a stored view of this kind, is damaged, carries
    // a newer version or names another view; then the view is unchanged. Stored columns the view
    // lacks are created when createChildren is set, else skipped.
    void RestoreFromStream(QIODevice& stream, const QString& viewName, bool createChildren);
    void RestoreFromBytes(const QByteArray& bytes, const QString& viewName, bool createChildren);

    // --- the class overrides, created on first use
    GridViewInfo& ViewInfo();
    GridViewData& ViewData();

    // --- widgets
    QWidget* Control() const { return m_control; }
    QTableView* TableView() const { return m_table; }
    BandedHeaderView* Header() const { return m_header; }
    GridFooterView* Footer() const { return m_footer; }
    DataSourceModel* Model() const { return m_model; }

signals:
    // A user dragged or resized a column.
    void LayoutChanged();
    // A context menu was asked for on the header, at a global position.
    void HeaderContextMenu(const QPoint& globalPos);

protected:
    // Paints a row's indent area; leaving done False draws the default.
    virtual void DoCustomDrawIndentArea(QPainter& painter, const GridIndentAreaInfo& info,
                                        bool& done);
    // The height of a group row when it is measured.
    virtual void DoGetGroupCellHeight(int row, int& height);
    // Group texts and summaries are kept until the data changes; a derived view that caches its
    // own drops them here.
    virtual void GroupsChanged();

    virtual std::unique_ptr<GridItemDataBinding> CreateDataBinding();
    virtual std::unique_ptr<GridViewInfo> CreateViewInfo();
    virtual std::unique_ptr<GridViewData> CreateViewData();
    // What a column's binding keeps in storage, and takes back from it.
    virtual void StoreDataBinding(const GridItemDataBinding& binding, QJsonObject& json) const;
    virtual void RestoreDataBinding(GridItemDataBinding& binding, const QJsonObject& json);

private:
    friend class GridCellDelegate;
    void syncControl();
    void applyGrouping();
    void measureGroupRows(int first, int last);
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Logical index of the first shown section from the left, -1 when none.
    int firstShownSection() const;
    void paintIndentArea(QPainter& painter, const GridIndentAreaInfo& info);
    void sectionMoved(int logical, int oldVisual, int newVisual);
    void sectionResized(int logical, int oldSize, int newSize);
    void renumberBands();

    QPointer<Grid::DataController> m_controller;
    std::vector<GridBand> m_bands;
    std::vector<std::unique_ptr<GridBandedColumn>> m_columns;
    std::unique_ptr<GridViewInfo> m_viewInfo;
    std::unique_ptr<GridViewData> m_viewData;
    QPointer<QWidget> m_control;
    QTableView* m_table = nullptr;
    BandedHeaderView* m_header = nullptr;
    GridFooterView* m_footer = nullptr;
    DataSourceModel* m_model = nullptr;
    int m_updateCount = 0;
    bool m_changePending = false;
    bool m_syncing = false;
    bool m_footerVisible = false;
    mutable std::vector<QString> m_groupTexts; // by group, empty until first drawn
    GridCellDelegate* m_cellDelegate = nullptr;
};

} // namespace Grid

#pragma once
// The planning board's grid view: a banded table view whose columns name the engine's fields,
// calculated values and aggregates (TVoskGridItemCustomDSDataBinding), bound to a sub-view data
// source. It keeps its arrangement per form class, layout name and user, or globally, in the
// system data module's grid-layout cache. Registered with the grid library as "Plantafel View".
// Grouped, a group row shows in an aggregate column the engine's aggregate of the groups of the
// aggregate's level that its rows lie in (see GroupAggregateValue).

#include "GridBandedTableView.h"
#include "UPlantafel.GridItemDataBinding.h"

#include <QFlags>

#include <functional>
#include <map>

class QPainter;

enum TLayoutStateFlags {
    glsNoLayoutLoaded = 0x01,
    glsUserLayout = 0x02,
    glsGlobalLayout = 0x04,
    glsModifiedLayout = 0x08,
    glsError = 0x10,
};
Q_DECLARE_FLAGS(TLayoutState, TLayoutStateFlags)
Q_DECLARE_OPERATORS_FOR_FLAGS(TLayoutState)

// Adds ExtraLevelIndent to the indent of the expand buttons, and in touch mode widens the indent
// to what a finger can hit.
class TVoskGridViewCustomDSTableViewInfo final : public Grid::GridViewInfo {
public:
    int ExtraLevelIndent = 0;
    int ExpandButtonOffset() const override;
    int LevelIndent() const override;

private:
    int normalIndent() const;
};

class TVoskGridViewCustomDS : public Grid::GridBandedTableView {
    Q_OBJECT
    Q_PROPERTY(QString _LayoutSaveName READ LayoutSaveName WRITE SetLayoutSaveName)
    Q_PROPERTY(QString _LoadetGridLayout READ LoadetGridLayout)
public:
    // Paints the indent area of a row (bounds, row, level); done keeps the default from drawing.
    using TCustomDrawIndentAreaEvent =
        std::function<void(TVoskGridViewCustomDS* sender, QPainter* canvas,
                           const Grid::GridIndentAreaInfo& viewInfo, bool& done)>;
    // The height of a group row (the shown row's index) as it is measured; may change it.
    using TGetGroupCellHeightEvent =
        std::function<void(TVoskGridViewCustomDS* sender, int rowIndex, int& height)>;

    Q_INVOKABLE explicit TVoskGridViewCustomDS(QObject* owner = nullptr);

    // The key of the stored layout: the set name, else the view's component name.
    QString LayoutSaveName() const;
    void SetLayoutSaveName(const QString& name) { FLayoutSaveName = name; }
    // "Local", "Global" or empty.
    QString LoadetGridLayout() const { return FLoadetGridLayout; }
    const QByteArray& LoadetGridLayoutData() const { return FLoadetGridLayoutData; }

    TCustomDrawIndentAreaEvent OnCustomDrawIndentArea;
    TGetGroupCellHeightEvent OnGetGroupCellHeight;

    // The column's binding as this view creates it.
    TVoskGridItemCustomDSDataBinding& Binding(Grid::GridBandedColumn& column) const;

    void GetLayoutData(QByteArray& data) const;
    // Applies stored bytes; columns outside every band go into band 0. Throws on bad bytes, which
    // leave the arrangement as it was.
    void SetLayoutData(const QByteArray& data);

    // The private layout (falling back to the global one) or the global one. With resetFields,
    // a view that loaded nothing shows exactly its named data-field columns in creation order.
    bool LoadLayout(bool global, bool resetFields);
    bool LoadLayout(const QString& layoutName, bool global, bool resetFields);
    // True when the layout was stored. Refusals and errors are shown or logged, not raised.
    bool SaveLayout(bool global, bool checkRights);
    bool SaveLayout(const QString& layoutName, bool global, bool checkRights);
    bool DeleteLayout(bool global, bool checkRights);
    bool DeleteLayout(const QString& layoutName, bool global, bool checkRights);

    TLayoutState GetLayoutState();
    void UpdateLoadetGridLayoutDataWithCurrent();

    // The form class the layouts are stored under.
    QString FormClassName() const;
    // Every column back to its place of creation, shown when it is a named data field, and
    // nothing grouped.
    void ResetFields();

    // The engine's aggregate of a group row in an aggregate column: with the rows of the group
    // lying in one group of the aggregate's grouping level, that group's value; covering several
    // such groups whole, their sum (Sum, Count), least (Min) or greatest (Max); otherwise Null.
    QVariant GroupAggregateValue(int group, int item) const;
    QString GroupSummaryText(int group, int item) const override;

protected:
    void DoCustomDrawIndentArea(QPainter& painter, const Grid::GridIndentAreaInfo& info,
                                bool& done) override;
    void DoGetGroupCellHeight(int row, int& height) override;
    void GroupsChanged() override;
    std::unique_ptr<Grid::GridItemDataBinding> CreateDataBinding() override;
    std::unique_ptr<Grid::GridViewInfo> CreateViewInfo() override;
    std::unique_ptr<Grid::GridViewData> CreateViewData() override;
    void StoreDataBinding(const Grid::GridItemDataBinding& binding,
                          QJsonObject& json) const override;
    void RestoreDataBinding(Grid::GridItemDataBinding& binding, const QJsonObject& json) override;

private:
    QString fullName(const QString& fallback) const;

    // For every record the ordinal of its group at an aggregate column's level (rows in record
    // order, a group starting where the engine says First), the rows of each ordinal that are
    // located, and each ordinal's value, read from its first located row. Read once per data
    // change; the value is the group's, so one read a group serves all of its rows.
    struct TAggregateRows {
        std::vector<int> Ordinal;
        std::vector<quint8> Located;
        std::vector<int> RowsOfOrdinal;
        std::vector<QVariant> ValueOfOrdinal;
    };
    const TAggregateRows* aggregateRows(int item) const;
    mutable std::map<int, TAggregateRows> m_aggregateRows;         // by item
    mutable std::map<std::pair<int, int>, QString> m_groupSummaries; // (group, item)

    QString FLayoutSaveName;
    QString FLoadetGridLayout;
    QByteArray FLoadetGridLayoutData;
};

#pragma once
// The planning board's grid view: a banded table view whose columns name the engine's fields,
// calculated values and aggregates (TVoskGridItemCustomDSDataBinding), bound to a sub-view data
// source. It keeps its arrangement per form class, layout name and user, or globally, in the
// system data module's grid-layout cache. Registered with the grid library as "Plantafel View".

#include "GridBandedTableView.h"
#include "UPlantafel.GridItemDataBinding.h"

#include <QFlags>

#include <functional>

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
    using TCustomDrawIndentAreaEvent = std::function<void(
        TVoskGridViewCustomDS* sender, QPainter* canvas, const QRect& bounds, bool& done)>;
    using TGetGroupCellHeightEvent =
        std::function<void(TVoskGridViewCustomDS* sender, int recordIndex, int& height)>;

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
    // Every column back to its place of creation, shown when it is a named data field.
    void ResetFields();

protected:
    std::unique_ptr<Grid::GridItemDataBinding> CreateDataBinding() override;
    std::unique_ptr<Grid::GridViewInfo> CreateViewInfo() override;
    std::unique_ptr<Grid::GridViewData> CreateViewData() override;
    void StoreDataBinding(const Grid::GridItemDataBinding& binding,
                          QJsonObject& json) const override;
    void RestoreDataBinding(Grid::GridItemDataBinding& binding, const QJsonObject& json) override;

private:
    QString fullName(const QString& fallback) const;

    QString FLayoutSaveName;
    QString FLoadetGridLayout;
    QByteArray FLoadetGridLayoutData;
};

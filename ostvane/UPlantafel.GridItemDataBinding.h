#pragma once
// The data binding of a planning-board grid column (unit UPlantafel.GridViewCustomDS): which
// field, calculated value or aggregate the column shows and how. The view that creates these
// bindings lives with the widgets; the binding itself has none, so the engine reads it here.

#include "GridItemDataBinding.h"
#include "UPlantafel.DataSourceTypes.h"

#include <QVariant>

#include <functional>
#include <typeinfo>

enum TFieldKind { fkData, fkCalculated, fkLookup, fkInternalCalc, fkAggregate };

class TVoskGridItemCustomDSDataBinding : public Grid::GridItemDataBinding {
public:
    // Called with the level dataset positioned on the row's record and the value to fill.
    using TCalcFieldEvent = std::function<void(Cds::ClientDataSet& dataSet, QVariant& value)>;

    const QString& FieldName() const { return m_fieldName; }
    virtual void SetFieldName(const QString& name);
    TFieldKind FieldKind() const { return m_fieldKind; }
    virtual void SetFieldKind(TFieldKind kind);
    const TCalcFieldEvent& OnCalcField() const { return m_onCalcField; }
    virtual void SetOnCalcField(TCalcFieldEvent event);

    QString DisplayFormat;
    QString AggExpression;
    TPlantafelAggregationField AggGroupingLevel = ptfldResource;

    // Resolved by the data source when it loads its records; -1 until then and when unknown.
    // For an aggregate column FieldIndex is the aggregate's place in the group's mapping.
    int FieldIndex = -1;
    int FieldIndexEx = -1; // in the information rows

    QString DefaultCaption() const override { return m_fieldName; }
    // From a binding of this class: field name, kind, display format and event; the resolved
    // indexes start over.
    void Assign(const Grid::GridItemDataBinding& other) override;

private:
    QString m_fieldName;
    TFieldKind m_fieldKind = fkData;
    TCalcFieldEvent m_onCalcField;
};

// The binding behind an item handle when it is one of ours, else null; cheap for this class
// itself, which is what the grid asks with for every cell.
inline const TVoskGridItemCustomDSDataBinding*
AsCustomDSBinding(const Grid::GridItemDataBinding* item) {
    if (!item)
        return nullptr;
    if (typeid(*item) == typeid(TVoskGridItemCustomDSDataBinding))
        return static_cast<const TVoskGridItemCustomDSDataBinding*>(item);
    return dynamic_cast<const TVoskGridItemCustomDSDataBinding*>(item);
}

#include "UPlantafel.GridItemDataBinding.h"

void TVoskGridItemCustomDSDataBinding::SetFieldName(const QString& name) {
    if (name == m_fieldName)
        return;
    m_fieldName = name;
    FieldIndex = -1;
    FieldIndexEx = -1;
}

void TVoskGridItemCustomDSDataBinding::SetFieldKind(TFieldKind kind) {
    m_fieldKind = kind;
}

void TVoskGridItemCustomDSDataBinding::SetOnCalcField(TCalcFieldEvent event) {
    m_onCalcField = std::move(event);
}

void TVoskGridItemCustomDSDataBinding::Assign(const Grid::GridItemDataBinding& other) {
    Grid::GridItemDataBinding::Assign(other);
    if (const auto* b = dynamic_cast<const TVoskGridItemCustomDSDataBinding*>(&other)) {
        m_fieldName = b->m_fieldName;
        m_fieldKind = b->m_fieldKind;
        DisplayFormat = b->DisplayFormat;
        m_onCalcField = b->m_onCalcField;
        FieldIndex = -1;
        FieldIndexEx = -1;
    }
}

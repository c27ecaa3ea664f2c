#pragma once
// The property and component editors of the ERP's forms in the designer: value lists for pages,
// splitters and named SQL.

#include "DesignEditors.h"
#include "cxNestedEventProperty.h"

namespace Upropertyeditors {

// ActivePage and the like of a page control: the names of its pages.
class TVoskPageControlPageProperty final : public DesignIntf::TComponentProperty {
public:
    using TComponentProperty::TComponentProperty;
    DesignIntf::TPropertyAttributes GetAttributes() override;
    void GetValues(const DesignIntf::TGetStrProc& proc) override;
};

// Control of a splitter: the controls next to it.
class TVoskSplitterControlProperty final : public DesignIntf::TComponentProperty {
public:
    using TComponentProperty::TComponentProperty;
    DesignIntf::TPropertyAttributes GetAttributes() override;
    void GetValues(const DesignIntf::TGetStrProc& proc) override;
};

// _StandardSQL: the keys of the named SQL of this client version.
class TVoskStandardSQLProperty final : public DesignIntf::TStringProperty {
public:
    using TStringProperty::TStringProperty;
    DesignIntf::TPropertyAttributes GetAttributes() override;
    void GetValues(const DesignIntf::TGetStrProc& proc) override;
};

// _TableNameField: the field names of the component's dataset, read without opening it.
class TVoskFieldsListEditor final : public DesignIntf::TStringProperty {
public:
    using TStringProperty::TStringProperty;
    DesignIntf::TPropertyAttributes GetAttributes() override;
    void GetValues(const DesignIntf::TGetStrProc& proc) override;
};

// _FrameProjStructure of a data class: the project-structure frames of its form.
class TVoskClassFrameProjStructureProperty final : public DesignIntf::TComponentProperty {
public:
    using TComponentProperty::TComponentProperty;
    DesignIntf::TPropertyAttributes GetAttributes() override;
    void GetValues(const DesignIntf::TGetStrProc& proc) override;
};

// _SettingsModulEvents: the events of the object the property holds, nested under it.
class TVoskNestedEventsPropertyEditor final : public TcxNestedEventProperty {
public:
    using TcxNestedEventProperty::TcxNestedEventProperty;
    QObject* GetInstance() override;
};

// Registers the editors with the IDE, in the order of the editor table.
void RegisterEditors();

} // namespace Upropertyeditors

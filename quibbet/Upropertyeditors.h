#pragma once
// The property and component editors of the ERP's forms in the designer: value lists for pages,
// splitters and named SQL, readable auto-refresh intervals, and the SQL datasets' editor.

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

// value_1 to value_3 of the auto-refresh intervals, named for what they are.
class TAutoRefreshIntervalPropertyEditor final : public DesignIntf::TIntegerProperty {
public:
    using TIntegerProperty::TIntegerProperty;
    QString GetName() override;
};

// _BtAutoRefresh_Intervals of the header and navigation frames: expandable while the frame offers
// auto refresh, "(not active)" and closed otherwise.
class TAutoRefreshIntervalsPropertyEditor final : public DesignIntf::TClassProperty {
public:
    using TClassProperty::TClassProperty;
    DesignIntf::TPropertyAttributes GetAttributes() override;
    QString GetName() override;
    QString GetValue() override;

private:
    bool Inactive() const;
};

// For other design packages to register on their query components and data sources: switches the
// query open or closed and edits its SQL in the SQL editor. Not registered here.
class Q_DECL_EXPORT TVoskSQLComponentEditor final : public DesignIntf::TComponentEditor {
public:
    using TComponentEditor::TComponentEditor;
    void Edit() override;
    int GetVerbCount() override { return 2; }
    QString GetVerb(int index) override;
    void ExecuteVerb(int index) override;
    void PrepareItem(int, QObject*) override {}
};

// Registers the editors with the IDE, in the order of the editor table.
void RegisterEditors();

} // namespace Upropertyeditors

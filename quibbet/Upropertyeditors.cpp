#include "Upropertyeditors.h"

#include "TServSQL2.h"
#include "UDM1.h"
#include "TVoskClass.h"
#include "TVoskGridView.h"
#include "VoskDesignTypes.h"
#include "VoskExceptions.h"
#include "Utext0editor.h"
#include "UnitTable.h"
#include "VoskQuery2.h"
#include "Vcl.Components.h"
#include "cxPC.h"
#include "cxSplitter.h"
#include "FrameDBNavigate.h"
#include "RtlDialog.h"
#include "TLayoutFrameGrid.h"
#include "TopLabel.h"
#include "Vcl.DB.h"

#include <QFrame>
#include <QWidget>

namespace {
void unitInit() {}
void unitFini() {}

bool isNamedControl(const QObject* o) {
    return o && qobject_cast<const QWidget*>(o) && !o->objectName().isEmpty();
}

QString trimRight(const QString& text) {
    qsizetype end = text.size();
    while (end > 0 && text.at(end - 1).isSpace())
        --end;
    return text.left(end);
}

// The dataset the SQL editor's verbs act on: the component itself, else a data source's dataset.
TVoskClass* dataSetOf(QObject* component) {
    if (auto* data = qobject_cast<TVoskClass*>(component))
        return data;
    if (auto* source = qobject_cast<Vcl::TDataSource*>(component))
        return qobject_cast<TVoskClass*>(source->DataSet());
    return nullptr;
}

// A query with SQL text of its own; a named-SQL class has only a key, nothing to edit here.
TVoskClass2* queryOf(QObject* component) {
    QObject* data = component;
    if (auto* source = qobject_cast<Vcl::TDataSource*>(component))
        data = source->DataSet();
    auto* query = qobject_cast<TVoskClass2*>(data);
    return query && !qobject_cast<TServSQL2*>(query) ? query : nullptr;
}
} // namespace

KORVEX_UNIT("quibbet", "Upropertyeditors", unitInit, unitFini);

namespace Upropertyeditors {

using namespace DesignIntf;

TPropertyAttributes TVoskPageControlPageProperty::GetAttributes() { return paValueList; }

void TVoskPageControlPageProperty::GetValues(const TGetStrProc& proc) {
    auto* control = qobject_cast<TcxPageControl*>(GetComponent(0));
    if (!control)
        return;
    for (int i = 0; i < control->PageCount(); ++i)
        if (TcxTabSheet* page = control->Pages(i); page && !page->objectName().isEmpty())
            proc(page->objectName());
}

TPropertyAttributes TVoskSplitterControlProperty::GetAttributes() { return paValueList; }

void TVoskSplitterControlProperty::GetValues(const TGetStrProc& proc) {
    auto* splitter = qobject_cast<QWidget*>(GetComponent(0));
    if (!splitter)
        return;
    QWidget* parent = splitter->parentWidget();
    const QList<QObject*> owned = parent ? Vcl::Components(parent) : QList<QObject*>{};
    for (QObject* c : owned)
        if (c != splitter && isNamedControl(c))
            proc(c->objectName());
    // Controls on a plain panel are usually owned by the form, not by the panel: then the
    // panel's children, and when it has hardly any of those either, the form's controls.
    const QList<QWidget*> children =
        parent ? parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly) : QList<QWidget*>{};
    if (owned.size() < 2)
        for (QWidget* w : children)
            if (w != splitter && isNamedControl(w))
                proc(w->objectName());
    if (owned.size() <= 1 && children.size() <= 1)
        for (QObject* c : Vcl::Components(Vcl::Owner(splitter)))
            if (c != splitter && isNamedControl(c))
                proc(c->objectName());
}

TPropertyAttributes TVoskStandardSQLProperty::GetAttributes() { return paValueList; }

void TVoskStandardSQLProperty::GetValues(const TGetStrProc& proc) {
    TDM1* dm = DM1();
    if (!dm || !dm->Connected())
        return;
    TVoskQuery2 q(&dm->Database(), QStringLiteral("SELECT sql_name FROM systemsqlstatement_version("
                                                  "&KorvexClientVersion) ORDER BY sql_name"));
    q.SetMacro(QStringLiteral("KorvexClientVersion"),
               QStringLiteral("'%1'").arg(QStringLiteral(KORVEX_VERSION)));
    q.Open();
    for (; !q.Eof(); q.Next())
        proc(q.FieldByName(QStringLiteral("sql_name")).AsString());
}

TPropertyAttributes TVoskFieldsListEditor::GetAttributes() { return paValueList; }

void TVoskFieldsListEditor::GetValues(const TGetStrProc& proc) {
    Rtl::Assert(PropCount() == 1, QStringLiteral("Helper\\Quibbet\\UPropertyEditors"),
                QStringLiteral("Nur eine Komponente selektieren"));
    auto* provider = qobject_cast<TVoskDataSetProvider*>(GetComponent(0));
    if (!provider)
        return;
    QObject* dataSet = provider->GetDataSet();
    auto* dataClass = qobject_cast<TVoskClass*>(dataSet);
    Rtl::Assert(dataClass != nullptr, QStringLiteral("Helper\\Quibbet\\UPropertyEditors"),
                dataSet ? Vcl::ClassName(dataSet) : QStringLiteral("nil"));
    TDM1* dm = DM1();
    if (!dataClass->Active() && !(dm && dm->Connected()))
        return;
    for (const QString& field : dataClass->DescribeFields())
        proc(field);
}

TPropertyAttributes TVoskClassFrameProjStructureProperty::GetAttributes() { return paValueList; }

void TVoskClassFrameProjStructureProperty::GetValues(const TGetStrProc& proc) {
    QObject* owner = Vcl::Owner(GetComponent(0));
    for (QObject* c : Vcl::Components(owner))
        if (Vcl::ClassName(c).compare(QLatin1String("TFramePJStruktur"), Qt::CaseInsensitive) == 0 &&
            !c->objectName().isEmpty())
            proc(c->objectName());
}

QObject* TVoskNestedEventsPropertyEditor::GetInstance() {
    QObject* c = GetComponent(0);
    if (!c)
        return nullptr;
    const int index = c->metaObject()->indexOfProperty(GetName().toLatin1().constData());
    if (index < 0)
        return nullptr;
    const QMetaProperty prop = c->metaObject()->property(index);
    if (!prop.metaType().flags().testFlag(QMetaType::PointerToQObject))
        return nullptr;
    return prop.read(c).value<QObject*>();
}

QString TAutoRefreshIntervalPropertyEditor::GetName() {
    const QString name = TIntegerProperty::GetName();
    if (name == QLatin1String("value_1"))
        return QStringLiteral("Short");
    if (name == QLatin1String("value_2"))
        return QStringLiteral("Medium");
    if (name == QLatin1String("value_3"))
        return QStringLiteral("Long");
    return name;
}

bool TAutoRefreshIntervalsPropertyEditor::Inactive() const {
    QObject* c = GetComponent(0);
    if (auto* nav = qobject_cast<TFrameDBNav*>(c))
        return !nav->BtAutoRefresh();
    if (auto* header = qobject_cast<TTopLabelFrame*>(c))
        return !header->BtAutoRefresh();
    if (auto* layout = qobject_cast<TLayoutFrameGrid*>(c))
        return !layout->GetBtAutoRefresh();
    return false;
}

TPropertyAttributes TAutoRefreshIntervalsPropertyEditor::GetAttributes() {
    const TPropertyAttributes inherited = TClassProperty::GetAttributes();
    if (!Inactive())
        return inherited;
    return (inherited | paReadOnly | paDisplayReadOnly) & ~(paSubProperties | paValueEditable);
}

QString TAutoRefreshIntervalsPropertyEditor::GetName() { return QStringLiteral("Intervals"); }

QString TAutoRefreshIntervalsPropertyEditor::GetValue() {
    return Inactive() ? QStringLiteral("(not active)") : TClassProperty::GetValue();
}

QString TVoskSQLComponentEditor::GetVerb(int index) {
    switch (index) {
    case 0: {
        const TVoskClass* data = dataSetOf(Component());
        return data && data->Active() ? QStringLiteral("Deaktivieren")
                                      : QStringLiteral("Aktivieren");
    }
    case 1:
        return QStringLiteral("Edit SQL");
    default:
        return {};
    }
}

void TVoskSQLComponentEditor::ExecuteVerb(int index) {
    if (index == 1) {
        Edit();
        return;
    }
    if (index != 0)
        return;
    TVoskClass* data = dataSetOf(Component());
    if (!data)
        return;
    if (data->Active())
        data->Close();
    else
        data->Open();
    if (Designer())
        Designer()->Modified();
}

void TVoskSQLComponentEditor::Edit() {
    TVoskClass2* query = queryOf(Component());
    if (!query)
        return;
    QObject* c = Component();
    const QString title =
        Vcl::ClassName(c) + QStringLiteral(".SQL: ") + c->objectName();
    const QString sql = trimRight(query->QuerySql());
    const QString edited = RtlDialog::EditSql(title, sql, qobject_cast<Vcl::TDataSource*>(c));
    if (trimRight(edited) == sql)
        return;
    query->SetQuerySql(edited);
    if (Designer())
        Designer()->Modified();
}

void RegisterEditors() {
    Utext0editor::RegisterTextEditors();
    RegisterPropertyEditor(QMetaType::fromType<TFieldByName>(), &QObject::staticMetaObject,
                           QStringLiteral("_TableNameField"),
                           PropertyEditorClass<TVoskFieldsListEditor>());
    RegisterPropertyEditor(QMetaType::fromType<TcxTabSheet*>(), &TcxPageControl::staticMetaObject,
                           QString(), PropertyEditorClass<TVoskPageControlPageProperty>());
    RegisterPropertyEditor(QMetaType::fromType<QObject*>(), &TcxSplitter::staticMetaObject,
                           QStringLiteral("Control"),
                           PropertyEditorClass<TVoskSplitterControlProperty>());
    RegisterPropertyEditor(QMetaType::fromType<QString>(), &QObject::staticMetaObject,
                           QStringLiteral("_StandardSQL"),
                           PropertyEditorClass<TVoskStandardSQLProperty>());
    RegisterPropertyEditor(QMetaType::fromType<QObject*>(), &TVoskClass::staticMetaObject,
                           QStringLiteral("_FrameProjStructure"),
                           PropertyEditorClass<TVoskClassFrameProjStructureProperty>());
    RegisterPropertyEditor(QMetaType::fromType<int>(),
                           &TAutoRefreshIntervalsProperty::staticMetaObject, QString(),
                           PropertyEditorClass<TAutoRefreshIntervalPropertyEditor>());
    RegisterPropertyEditor(QMetaType::fromType<TAutoRefreshIntervalsProperty*>(),
                           &QFrame::staticMetaObject, QStringLiteral("_BtAutoRefresh_Intervals"),
                           PropertyEditorClass<TAutoRefreshIntervalsPropertyEditor>());
    RegisterPropertyEditor(QMetaType::fromType<TVoskGridView*>(),
                           &TVoskGridViewColumnHandler::staticMetaObject, QString(), {});
    RegisterPropertyEditor(QMetaType::fromType<Vcl::TDataSource*>(),
                           &TVoskGridViewColumnHandler::staticMetaObject, QString(), {});
    RegisterPropertyEditor(QMetaType::fromType<TVoskPopupMenu*>(),
                           &TVoskGridViewColumnHandler::staticMetaObject, QString(), {});
    RegisterPropertyEditor(QMetaType::fromType<TVoskNestedEvents*>(), &QObject::staticMetaObject,
                           QStringLiteral("_SettingsModulEvents"),
                           PropertyEditorClass<TVoskNestedEventsPropertyEditor>());
}

} // namespace Upropertyeditors

#include "Upropertyeditors.h"

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

#include <QWidget>

namespace {
void unitInit() {}
void unitFini() {}

bool isNamedControl(const QObject* o) {
    return o && qobject_cast<const QWidget*>(o) && !o->objectName().isEmpty();
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
    // Rows 15 and 16 (the auto-refresh intervals) come with the intervals' property class.
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

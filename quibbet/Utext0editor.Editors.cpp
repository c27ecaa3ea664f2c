// The designer's editors that open the text picker: text numbers, hints, action captions, and the
// verbs every component gets.
#include "Utext0editor.h"

#include "Uchangeserver.h"

#include "EventGuard.h"
#include "Korvexcommonvcl.h"
#include "Korvexutils.h"
#include "TServSQL2.h"
#include "TVoskAction.h"
#include "TVoskPopupMenu.h"
#include "ToolsAPI.h"
#include "UDM1.h"
#include "Vcl.Components.h"
#include "Vcl.Services.h"
#include "VoskControls.h"
#include "VoskDesignTypes.h"
#include "TVoskTabSheet.h"
#include "VoskExceptions.h"
#include "cxPC.h"

#include <QAbstractButton>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QWidget>

using namespace DesignIntf;

namespace {

QWidget* ideMainForm() {
    if (auto* ide = ToolsAPI::BorlandIDEServices())
        if (auto* services = ide->Supports<ToolsAPI::IOTAServices>())
            return services->GetMainForm();
    return nullptr;
}

// The text a control shows (an edit's text, a label's or button's caption, a box's title).
QString controlText(QWidget* control) {
    for (const char* name : {"text", "title", "Caption"}) {
        const QVariant v = control->property(name);
        if (v.isValid())
            return v.toString();
    }
    return {};
}

void clearControlText(QWidget* control) {
    for (const char* name : {"text", "title", "Caption"})
        if (control->property(name).isValid()) {
            control->setProperty(name, QString());
            return;
        }
}

// The picker is shown modally; whatever it answered, it is gone afterwards.
int runPicker(TFormText0Editor& picker) {
    picker.btSave->setEnabled(true);
    return Korvexcommonvcl::ShowModal(&picker);
}

int currentTextNr(TFormText0Editor& picker) {
    return picker.sqlText0->FieldByName(QStringLiteral("t_nr")).AsInteger();
}

} // namespace

namespace Utext0editor {

std::unique_ptr<TFormText0Editor> NewText0Editor() {
    auto picker = std::make_unique<TFormText0Editor>();
    picker->RenewCaption();
    if (QWidget* main = ideMainForm())
        picker->setParent(main, picker->windowFlags() | Qt::Dialog);
    picker->LoadText0();
    return picker;
}

// ---- TText0Property ----------------------------------------------------------------------------

TPropertyAttributes TText0Property::GetAttributes() { return paDialog; }

QString TText0Property::GetValue() {
    const qint64 nr = GetOrdValue();
    if (nr < 1)
        return QString::number(nr);
    return QString::number(nr) + QStringLiteral(": ") + makeText(int(nr), QStringLiteral("*"));
}

void TText0Property::SetValue(const QString& value) {
    const qsizetype colon = value.indexOf(u':');
    const qsizetype comma = value.indexOf(u',');
    qsizetype end = value.size();
    if (colon >= 0)
        end = colon;
    if (comma >= 0 && comma < end)
        end = comma;
    const QString number = value.left(end).trimmed();
    bool ok = false;
    const int nr = number.toInt(&ok);
    if (!ok)
        throw EConvertError(QStringLiteral("'%1' ist kein gültiger Integerwert").arg(number));
    SetOrdValue(nr);
}

void TText0Property::Edit() {
    auto picker = NewText0Editor();
    QWidget* filterControl = nullptr;
    try {
        const qint64 value = GetOrdValue();
        if (value > 0 && picker->SelectLastNr(int(value))) {
            picker->FDoNotSaveLastNr = true;
        } else if (auto* control = qobject_cast<QWidget*>(GetComponent(0));
                   control && (GetName().compare(QLatin1String("TextNr"), Qt::CaseInsensitive) == 0 ||
                               GetName().compare(QLatin1String("_TextNr"), Qt::CaseInsensitive) == 0)) {
            filterControl = control;
            const QString filter = controlText(control);
            picker->edFilter->setText(filter);
            picker->edFilter->selectAll();
            if (!filter.trimmed().isEmpty())
                picker->FDoNotSaveLastNr = true;
            else
                picker->SelectLastNr(0);
        }
    } catch (...) {
        // A row that cannot be preselected leaves the picker where it is.
    }
    if (runPicker(*picker) == Vcl::mrOk) {
        SetOrdValue(currentTextNr(*picker));
        if (filterControl)
            clearControlText(filterControl);
    }
    picker.reset();
    Modified();
}

// ---- THintProperty -----------------------------------------------------------------------------

TPropertyAttributes THintProperty::GetAttributes() {
    const TPropertyAttributes inherited = TStringProperty::GetAttributes();
    if (dynamic_cast<TXttProperty*>(this))
        return inherited | paDialog;
    if (auto* control = qobject_cast<QWidget*>(GetComponent(0))) {
        QObject* owner = Vcl::Owner(control);
        if (Korvexutils::ClassIs(owner, QStringLiteral("TFormKorvexGundForm")) ||
            qobject_cast<QFrame*>(owner))
            return inherited | paDialog;
    }
    return inherited;
}

void THintProperty::Edit() {
    auto picker = NewText0Editor();
    try {
        const QString value = GetStrValue();
        bool isRef = false;
        int nr = 0;
        if (value.startsWith(QLatin1String("xtt"), Qt::CaseInsensitive))
            nr = value.mid(3).toInt(&isRef);
        if (isRef) {
            if (picker->SelectLastNr(nr))
                picker->FDoNotSaveLastNr = true;
            else
                picker->SelectLastNr(0);
        } else if (!value.isEmpty()) {
            QString filter = value;
            filter.replace(QStringLiteral("; "), QStringLiteral("\n"));
            filter.replace(u';', u'\n');
            picker->edFilter->setText(filter);
            picker->edFilter->selectAll();
            if (!filter.trimmed().isEmpty())
                picker->FDoNotSaveLastNr = true;
            else
                picker->SelectLastNr(0);
        }
    } catch (...) {
        // A row that cannot be preselected leaves the picker where it is.
    }
    if (runPicker(*picker) == Vcl::mrOk) {
        SetStrValue(QStringLiteral("xtt%1").arg(currentTextNr(*picker)));
        if (!dynamic_cast<TXttProperty*>(this)) {
            // Hints of a module window show by themselves; elsewhere the controls are told to.
            auto* first = qobject_cast<QWidget*>(GetComponent(0));
            QWidget* form = first ? Vcl::ParentForm(first) : nullptr;
            if (!Korvexutils::ClassIs(form, QStringLiteral("TModulForm")))
                for (int i = 0; i < PropCount(); ++i)
                    if (QObject* c = GetComponent(i); c && !Corvale::Hint(c).isEmpty())
                        Corvale::SetShowHint(c, true);
        }
    }
    picker.reset();
    Modified();
}

// ---- TText0Link --------------------------------------------------------------------------------

QString TText0Link::GetVerb(int index) {
    switch (index) {
    case 0:
        return QStringLiteral("VoskConnect");
    case 1:
        return QStringLiteral("VoskText0");
    default:
        return {};
    }
}

void TText0Link::ExecuteVerb(int index) {
    if (index == 0) {
        auto form = std::make_unique<TFormChangeServer>();
        if (QWidget* main = ideMainForm())
            form->setParent(main, form->windowFlags() | Qt::Dialog);
        Korvexcommonvcl::ShowModal(form.get());
        return;
    }
    if (index != 1)
        return;
    auto picker = NewText0Editor();
    Rtl::Guarded([&] { picker->SelectLastNr(0); }, nullptr);
    picker->btSave->setText(QStringLiteral("K&opieren (Strg+S)"));
    picker->btSave->setToolTip(QStringLiteral("Beim Klick wird die TextNr in die Zwischenablage "
                                              "kopiert und das Fenster geschlossen."));
    picker->btSave->setCursor(Qt::WhatsThisCursor);
    if (runPicker(*picker) == Vcl::mrOk)
        Vcl::Clipboard::Instance().SetText(picker->GetCurrentTextNrStr());
}

// ---- TVoskMenuItemLink -------------------------------------------------------------------------

QString TVoskMenuItemLink::GetVerb(int index) {
    return index == 2 ? QStringLiteral("Create Item") : TText0Link::GetVerb(index);
}

void TVoskMenuItemLink::ExecuteVerb(int index) {
    if (index != 2) {
        TText0Link::ExecuteVerb(index);
        return;
    }
    const QMetaObject* cls = Vcl::FindClass(QStringLiteral("VoskMainMenu.TVoskMenuItem"));
    if (!cls)
        throw EVoskException(QStringLiteral("Klasse TVoskMenuItem nicht gefunden"));
    auto* item = qobject_cast<QAction*>(Component());
    // The menu holding the item, and the menu at the top of its chain of sub-menus.
    QMenu* holder = nullptr;
    if (item)
        for (QObject* o : item->associatedObjects())
            if ((holder = qobject_cast<QMenu*>(o)))
                break;
    QMenu* parentMenu = holder;
    for (QMenu* up = parentMenu; up;) {
        parentMenu = up;
        up = nullptr;
        if (QAction* sub = parentMenu->menuAction())
            for (QObject* o : sub->associatedObjects())
                if (auto* m = qobject_cast<QMenu*>(o); m && m != parentMenu) {
                    up = m;
                    break;
                }
    }
    if (!parentMenu)
        throw EVoskException(
            QStringLiteral("ParentMenu nicht ermittelbar ... unterstes Dummy-MenuItem selektiert?"));
    QObject* owner = Vcl::Owner(parentMenu) ? Vcl::Owner(parentMenu) : parentMenu;
    QObject* made = cls->newInstance(Q_ARG(QString, QStringLiteral("new")), Q_ARG(QObject*, owner));
    auto* created = qobject_cast<QAction*>(made);
    if (!created) {
        delete made;
        throw EVoskException(QStringLiteral("Klasse TVoskMenuItem nicht gefunden"));
    }
    Vcl::Owned(owner, created);
    const QList<QAction*> siblings = holder->actions();
    const qsizetype at = siblings.indexOf(item);
    QAction* before = at >= 0 && at + 1 < siblings.size() ? siblings.at(at + 1) : nullptr;
    holder->insertAction(before, created);
    if (Designer())
        Designer()->Modified();
}

// ---- registration ------------------------------------------------------------------------------

void RegisterTextEditors() {
    RegisterDesignTypeConverters();
    const QMetaType integer = QMetaType::fromType<int>();
    const QMetaType tag = QMetaType::fromType<qint64>();
    // An action's caption is its text.
    RegisterPropertyEditor(QMetaType::fromType<QString>(), &TVoskAction::staticMetaObject,
                           QStringLiteral("text"), PropertyEditorClass<TXttProperty>());
    RegisterPropertyEditor(QMetaType::fromType<TText0>(), nullptr, QString(),
                           PropertyEditorClass<TText0Property>());
    RegisterPropertyEditor(integer, &QObject::staticMetaObject, QStringLiteral("TextNr"),
                           PropertyEditorClass<TText0Property>());
    RegisterPropertyEditor(integer, &QObject::staticMetaObject, QStringLiteral("_TextNr"),
                           PropertyEditorClass<TText0Property>());
    RegisterPropertyEditor(tag, &TcxTabSheet::staticMetaObject, QStringLiteral("Tag"),
                           PropertyEditorClass<TText0Property>());
    RegisterPropertyEditor(tag, &TVoskTabSheet::staticMetaObject, QStringLiteral("Tag"),
                           PropertyEditorClass<TIntegerProperty>());
    RegisterPropertyEditor(QMetaType::fromType<QString>(), &QObject::staticMetaObject,
                           QStringLiteral("Hint"), PropertyEditorClass<THintProperty>());
    // A control carries its hint as its tool tip.
    RegisterPropertyEditor(QMetaType::fromType<QString>(), &QWidget::staticMetaObject,
                           QStringLiteral("toolTip"), PropertyEditorClass<THintProperty>());
    RegisterComponentEditor(&QObject::staticMetaObject, ComponentEditorClass<TText0Link>());
    RegisterComponentEditor(&TVoskMenuItem::staticMetaObject,
                            ComponentEditorClass<TVoskMenuItemLink>());
}

} // namespace Utext0editor

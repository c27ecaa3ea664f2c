// F2 of the base form: the key, the editors' ellipsis buttons and the grid columns' buttons all end
// in F2BtClick, which works out control and column and hands them to the module lookup.

#include "UGrundModulForm.h"

#include "Korvexutils.h"
#include "RtlDialog.h"
#include "TVoskClass.h"
#include "TVoskDBGrid2.h"
#include "TVoskDBTreeView2.h"
#include "TVoskDBMemo.h"
#include "UDM1.h"
#include "UModulForm.Start.h"
#include "Vcl.Components.h"
#include "VoskKeyControls.h"
#include "VoskQuery2.h"

#include <QAbstractSpinBox>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

namespace {

// The F2 definitions of a module with the condition of each definition.
const char* const kF2ConditionSql =
    "SELECT DISTINCT aeoeue_upper(feldname) AS feldname, fastf2, IFTHEN(fastf2, "
    "COALESCE(f2s_query, f2_query), NULL) AS f2_query, IFTHEN(fastf2, f2_filter, NULL) AS "
    "f2_filter, \n(f2poss__condition__get(f2_id)).* \nFROM f2poss LEFT JOIN f2standard ON "
    "f2_standard = f2s_name \nWHERE (aeoeue_upper(modulname) = aeoeue_upper(:modul) \n    OR "
    "(:modul ILIKE 'TFormEditTable-%' AND modulname ILIKE 'TFormEditTable') \n    OR (:modul "
    "ILIKE 'TFrameF2Register-%' AND modulname ILIKE 'TFrameF2Register')) \n  AND NOT f2_deleted";

void Log(const QString& text) {
    if (TDM1* dm = DM1())
        dm->LogEvent(text);
}

// The editors of the component library: they take a value, and F2 looks it up for them.
bool IsEditor(const QWidget* w) {
    return qobject_cast<const QLineEdit*>(w) || qobject_cast<const QComboBox*>(w) ||
           qobject_cast<const QAbstractSpinBox*>(w) || qobject_cast<const QCheckBox*>(w);
}

// The module the grid's definitions are kept under: of the frame that holds it, else the form's.
QString ModulNameOf(const QWidget* grid, const QWidget* form) {
    for (const QWidget* w = grid; w && w != form; w = w->parentWidget())
        if (const QString name = w->property("ModulName").toString(); !name.isEmpty())
            return name;
    const QString name = Korvexutils::FindModulName(form);
    return name.isEmpty() ? Vcl::ClassName(form) : name;
}

} // namespace

void TFormKorvexGundForm::F2BtClick(QObject* Sender, int Index) {
    auto* control = Corvale::KorvexFixInnerControl(qobject_cast<QWidget*>(Sender));
    if (!control) {
        // A grid column's button names its column.
        if (Sender && Sender->property("korvexGridColumn").toBool())
            MakeF2(this, Sender, false, false, QString(), QStringList(), QString(), {});
        return;
    }
    if (qobject_cast<TVoskDBMemo*>(control))
        return; // the memo opens its own editor on F2
    if (Corvale::IsInnerEdit(control)) {
        F2BtClick(control->parentWidget(), 0);
        return;
    }
    TVoskDBGrid2* grid = Corvale::GridOfControl(control);
    if (IsEditor(control) || grid || Corvale::TreeOfControl(control))
        Log(Vcl::ClassName(control) + QStringLiteral(" ") + Vcl::FullName(control));

    if (auto* blob = qobject_cast<TVoskBlobEdit*>(control); blob && blob->ButtonVisible(Index)) {
        if (!RtlDialog::FEditTextS.Assigned()) {
            Korvexutils::RaiseInformation(QStringLiteral("Der Texteditor ist nicht verfügbar."));
            return;
        }
        const QString before = Corvale::GetControlValue(blob).toString();
        QObject* owner = Vcl::Owner(blob);
        const QString after = RtlDialog::FEditTextS(owner ? owner->objectName() : QString(), before,
                                                    99999, false, false, QChar(), false);
        if (after != before)
            Korvexutils::SetControlValue(after, blob); // an empty text becomes NULL
        return;
    }

    if (grid) {
        QObject* column = Corvale::GridColumn(grid, grid->currentIndex().column());
        if (!column)
            return;
        QString additional;
        TVoskClass* data = grid->DataClass();
        if (data->FieldIndex(QStringLiteral("reg_field_name")) >= 0 &&
            data->FieldIndex(QStringLiteral("reg_field_value")) >= 0 && DM1()) {
            // A register grid: the lookup of a value depends on the register name of its row.
            TVoskQuery2 q(&DM1()->Database());
            q.SetSQL(QString::fromUtf8(kF2ConditionSql));
            q.Bind(QStringLiteral("modul"), ModulNameOf(grid, this));
            q.Open();
            if (q.Locate(QStringLiteral("feldname;fastf2;field_name;field_value"),
                         {column->objectName(), false, QStringLiteral("reg_field_name"),
                          data->FieldByName(QStringLiteral("reg_field_name")).AsString()},
                         true))
                additional = QStringLiteral("cond_field_name=%1\ncond_field_value=%2")
                                 .arg(q.FieldByName(QStringLiteral("field_name")).AsString(),
                                      q.FieldByName(QStringLiteral("field_value")).AsString());
        }
        MakeF2Text(this, column, false, false, QString(), additional, QString(), {});
        return;
    }

    // A tree list, or an editor of its cells: the lookup of the focused column.
    if (TVoskDBTreeView2* tree = Corvale::TreeOfControl(control)) {
        if (QObject* column = Corvale::TreeColumn(tree, tree->currentIndex().column()))
            MakeF2(this, column, false, false, QString(), QStringList(), QString(), {});
        return;
    }

    if (IsEditor(control) || (control->isEnabled() && control->focusPolicy() != Qt::NoFocus))
        MakeF2(this, control, false, false, QString(), QStringList(), QString(), {});
}

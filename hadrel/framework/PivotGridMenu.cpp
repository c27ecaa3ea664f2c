#include "PivotGridMenu.h"

#include "TUserRights.h"
#include "TVoskDBPivotGrid.h"
#include "TVoskPopupMenu.h"
#include "UDM1.h"
#include "UGrundModulForm.h"

#include <QLocale>

namespace {

TVoskDBPivotGrid* Pivot(QWidget* grid) { return qobject_cast<TVoskDBPivotGrid*>(grid); }

// The form's start-up names the pivot's fields as the user knows them.
struct TPivotStartStep {
    TPivotStartStep() {
        UGrundModulForm::RegisterStartStep(QStringLiteral("TVoskDBPivotGrid"), [](QObject* c) {
            if (auto* pivot = qobject_cast<TVoskDBPivotGrid*>(c))
                pivot->CheckCaptionHeaders();
        });
    }
} pivotStartStep;

} // namespace

void TPivotGridMenu::Update(QWidget* grid, const TItems& items, const QString& formClass) {
    TVoskDBPivotGrid* p = Pivot(grid);
    if (!p)
        return;
    for (TVoskMenuItem* item : {items.moLayoutLoad, items.moLayoutSave, items.moLayoutDelete,
                                items.moLayoutLocalFavor, items.moOptimaleBreite, items.moTabFilter})
        item->setVisible(false);
    const bool admin = TUserRights::GetAdmin_User();
    const bool global = p->LayoutExists(2);
    QString text = makeText(items.moLayoutGlobalLoad->TextNr(),
                            QStringLiteral("Globales Layout laden"));
    if (global)
        text += QStringLiteral(" { ") +
                QLocale(QLocale::German).toString(p->LayoutSavedAt(),
                                                  QStringLiteral("dd.MM.yyyy HH:mm")) +
                QStringLiteral(" [ ") + p->LayoutSavedBy() + QStringLiteral(" ] ") +
                QStringLiteral(" }");
    items.moLayoutGlobalLoad->setText(text);
    items.moLayoutGlobalLoad->setVisible(true);
    items.moLayoutGlobalLoad->setEnabled(global);
    items.moLayoutGlobalSave->setVisible(admin);
    items.moLayoutGlobalSave->setEnabled(admin);
    items.moLayoutGlobalDelete->setVisible(admin);
    items.moLayoutGlobalDelete->setEnabled(global);
    items.moExportieren->setVisible(true);
    items.moExportieren->setEnabled(TUserRights::CanDoGUIAction(formClass, p->objectName()));
    items.moDrucken->setEnabled(false);
}

bool TPivotGridMenu::LayoutLoad(QWidget* grid, int type) {
    TVoskDBPivotGrid* p = Pivot(grid);
    if (p)
        p->LayoutLoad(type);
    return p;
}

bool TPivotGridMenu::LayoutSave(QWidget* grid, int type) {
    TVoskDBPivotGrid* p = Pivot(grid);
    if (p && (type == 1 || TUserRights::GetAdmin_User()))
        p->LayoutSave(type);
    return p;
}

bool TPivotGridMenu::LayoutDelete(QWidget* grid, int type) {
    TVoskDBPivotGrid* p = Pivot(grid);
    if (p && (type == 1 || TUserRights::GetAdmin_User()))
        p->LayoutDelete(type);
    return p;
}

bool TPivotGridMenu::LoadGridSettings(QWidget* grid, bool manualLayoutLoading) {
    TVoskDBPivotGrid* p = Pivot(grid);
    if (p && !manualLayoutLoading)
        p->InitLayout();
    return p;
}

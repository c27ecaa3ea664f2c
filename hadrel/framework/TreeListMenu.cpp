#include "TreeListMenu.h"

#include "GridViewMenu.h"
#include "Korvexutils.h"
#include "TVoskDBTreeView2.h"
#include "TVoskPopupMenu.h"
#include "TreeListExport.h"
#include "UDM1.h"
#include "UGrundModulForm.h"
#include "Umigration.h"
#include "Vcl.Components.h"
#include "Vcl.Hourglass.h"
#include "VoskConditionalFormattingDialog.h"

#include <EventGuard.h>

#include <QAction>
#include <QFileInfo>

namespace {

// The tree's part of the start of a form's components: its stored layout and the preview as the
// user left it, painted once at the end.
struct TTreeListStartStep {
    TTreeListStartStep() {
        UGrundModulForm::RegisterStartStep(QStringLiteral("TVoskDBTreeView2"), [](QObject* c) {
            auto* tree = qobject_cast<TVoskDBTreeView2*>(c);
            if (!tree)
                return;
            tree->BeginUpdate();
            try {
                tree->InitLayout();
                TTreeListMenu::LoadPreview(tree, tree->FormClassName());
            } catch (...) {
                tree->EndUpdate();
                throw;
            }
            tree->EndUpdate();
        });
    }
} treeListStartStep;

} // namespace

void TTreeListMenu::Bind(const TGridViewMenu& items, QObject* owner,
                         TVoskDBTreeView2* (*tree)(QObject*)) {
    auto on = [owner, tree](void (TVoskDBTreeView2::*f)()) {
        return [owner, tree, f] {
            Rtl::Guarded(
                [&] {
                    if (TVoskDBTreeView2* t = tree(owner))
                        (t->*f)();
                },
                owner);
        };
    };
    // The frame's own expand and collapse actions, which the items and shortcuts trigger.
    auto* expand = owner->findChild<QAction*>(QStringLiteral("GroupAufklappen"), Qt::FindDirectChildrenOnly);
    auto* collapse = owner->findChild<QAction*>(QStringLiteral("GroupZusammenfalten"),
                                                 Qt::FindDirectChildrenOnly);
    QObject::connect(expand ? expand : static_cast<QAction*>(items.moAufklappen),
                     &QAction::triggered, owner, on(&TVoskDBTreeView2::FullExpand));
    QObject::connect(collapse ? collapse : static_cast<QAction*>(items.moZusammenfalten),
                     &QAction::triggered, owner, on(&TVoskDBTreeView2::FullCollapse));
}

void TTreeListMenu::Update(const TGridViewMenu& items, TVoskDBTreeView2* tree) {
    if (!tree)
        return;
    items.moAufklappen->setVisible(true);
    items.moZusammenfalten->setVisible(true);
    items.moTxtVorschau->setVisible(tree->HasPreviewColumn());
    items.moTxtVorschau->setChecked(tree->PreviewVisible());
    items.moConditionalFormating->setVisible(true);
}

void TTreeListMenu::ConditionalFormatingClick(TVoskDBTreeView2* tree) {
    TfrmConditionalFormatting::Execute(tree);
}

QString TTreeListMenu::PreviewKey(const QString& formClass, const TVoskDBTreeView2* tree) {
    TDM1* dm = DM1();
    return Umigration::TranslateInto_mm_formclassname(formClass) + QLatin1Char('_') +
           (tree ? tree->ViewName() : QString()) + QStringLiteral("_ShowPreviewText_") +
           (dm ? dm->FGetUsername() : QString());
}

void TTreeListMenu::TxtVorschauClick(TVoskDBTreeView2* tree, const QString& formClass, bool on) {
    if (!tree || !tree->HasPreviewColumn())
        return;
    tree->SetPreviewVisible(on);
    if (TDM1* dm = DM1(); dm && dm->Connected())
        dm->SaveLastValBool(PreviewKey(formClass, tree), on, true);
}

void TTreeListMenu::LoadPreview(TVoskDBTreeView2* tree, const QString& formClass) {
    TDM1* dm = DM1();
    if (!tree || tree->PreviewField().isEmpty() || !dm || !dm->Connected())
        return;
    // Only a stored choice changes what the tree shows.
    const QString key = PreviewKey(formClass, tree);
    if (!dm->LoadLastVal(key).isEmpty())
        tree->SetPreviewVisible(dm->LoadLastValBool(key, false, true));
}

void TTreeListMenu::Export(const QString& fileName, TVoskDBTreeView2* tree) {
    TGridExportResult result;
    {
        Vcl::THourglass hourglass;
        result = ExportTreeListToXLSX(fileName, tree);
    }
    if (result.CutTexts > 0)
        Korvexutils::RaiseInformation(
            QStringLiteral("%1 Texte waren länger als 32.767 Zeichen und wurden in der Datei "
                           "\"%2\" gekürzt.")
                .arg(result.CutTexts)
                .arg(QFileInfo(fileName).fileName()));
}

bool TTreeListMenu::DeleteSelected(QWidget* control) {
    auto* tree = qobject_cast<TVoskDBTreeView2*>(control);
    if (!tree || tree->SelectedNodeCount() <= 1)
        return false;
    tree->DeleteSelection();
    return true;
}

#include "GridViewMenu.h"

#include "TVoskDBGrid2.h"
#include "TVoskPopupMenu.h"
#include "UDM1.h"
#include "Umigration.h"
#include "Vcl.Components.h"
#include "VoskConditionalFormattingDialog.h"

#include <EventGuard.h>

#include <QAction>

namespace {

TVoskMenuItem* Item(TVoskPopupMenu* menu, QObject* owner, const char* name, const QString& text,
                    int textNr, bool checkable) {
    TVoskMenuItem* item = menu->AddItem(text, textNr);
    item->setToolTip(item->text());
    item->setCheckable(checkable);
    return Vcl::Owned(owner, item, QString::fromLatin1(name));
}

} // namespace

void TGridViewMenu::Create(TVoskPopupMenu* menu, QObject* owner, const char* footerName,
                           TVoskDBGrid2* (*grid)(QObject*)) {
    moGruppierung = Item(menu, owner, "moGruppierung", QStringLiteral("Gruppierungsbereich"), 2893,
                         true);
    moFooter = Item(menu, owner, footerName, QStringLiteral("Fußzeile mit Summen"), 2894, true);
    moTxtVorschau =
        Item(menu, owner, "moTxtVorschau", QStringLiteral("Textvorschau"), 2895, true);
    moConditionalFormating = Item(menu, owner, "moConditionalFormating",
                                  QStringLiteral("Bedingte Formatierung …"), 0, false);
    moConditionalFormating->setToolTip(
        QStringLiteral("Regeln für Farben und Fettschrift der Zellen bearbeiten"));
    moAufklappen = Item(menu, owner, "moAufklappen", QStringLiteral("Alle Gruppen aufklappen"),
                        2891, false);
    moZusammenfalten = Item(menu, owner, "moZusammenfalten",
                            QStringLiteral("Alle Gruppen zuklappen"), 2892, false);
    // The expand and collapse actions of the frame, which the items carry out.
    auto* expand = Vcl::Owned(owner, new QAction(moAufklappen->text(), owner),
                              QStringLiteral("GroupAufklappen"));
    auto* collapse = Vcl::Owned(owner, new QAction(moZusammenfalten->text(), owner),
                                QStringLiteral("GroupZusammenfalten"));
    for (QAction* a : {expand, collapse})
        a->setProperty("Category", QStringLiteral("GridGroup"));
    auto on = [owner, grid](auto f) {
        return [owner, grid, f] {
            Rtl::Guarded(
                [&] {
                    if (TVoskDBGrid2* g = grid(owner))
                        f(g);
                },
                owner);
        };
    };
    QObject::connect(expand, &QAction::triggered, owner,
                     on([](TVoskDBGrid2* g) { g->FullExpand(); }));
    QObject::connect(collapse, &QAction::triggered, owner,
                     on([](TVoskDBGrid2* g) { g->FullCollapse(); }));
    QObject::connect(moAufklappen, &QAction::triggered, expand, &QAction::trigger);
    QObject::connect(moZusammenfalten, &QAction::triggered, collapse, &QAction::trigger);
    QObject::connect(moGruppierung, &QAction::triggered, owner,
                     on([](TVoskDBGrid2* g) { g->SetGroupByBoxVisible(!g->GroupByBoxVisible()); }));
    QObject::connect(moFooter, &QAction::triggered, owner,
                     on([](TVoskDBGrid2* g) { g->SetFooterVisible(!g->FooterVisible()); }));
}

void TGridViewMenu::Update(TVoskDBGrid2* g) const {
    moGruppierung->setVisible(g != nullptr);
    moFooter->setVisible(g != nullptr);
    moGruppierung->setChecked(g && g->GroupByBoxVisible());
    moFooter->setChecked(g && g->FooterVisible());
    const bool grouped = g && !g->Groups().empty();
    moAufklappen->setVisible(grouped);
    moZusammenfalten->setVisible(grouped);
    moTxtVorschau->setVisible(g && g->HasPreviewColumn());
    moConditionalFormating->setVisible(g != nullptr);
    moTxtVorschau->setChecked(g && g->PreviewVisible());
}

QString TGridViewMenu::PreviewKey(const QString& formClass, const TVoskDBGrid2* grid) {
    TDM1* dm = DM1();
    return Umigration::TranslateInto_mm_formclassname(formClass) + QLatin1Char('_') +
           (grid ? grid->ViewName() : QString()) + QStringLiteral("_ShowPreviewText_") +
           (dm ? dm->FGetUsername() : QString());
}

void TGridViewMenu::TxtVorschauClick(TVoskDBGrid2* grid, const QString& formClass, bool on) {
    if (!grid || grid->PreviewField().isEmpty())
        return;
    grid->SetPreviewVisible(on);
    if (TDM1* dm = DM1(); dm && dm->Connected())
        dm->SaveLastValBool(PreviewKey(formClass, grid), on, true);
}

void TGridViewMenu::ConditionalFormatingClick(TVoskDBGrid2* grid) {
    TfrmConditionalFormatting::Execute(grid);
}

void TGridViewMenu::LoadPreview(TVoskDBGrid2* grid, const QString& formClass) {
    TDM1* dm = DM1();
    // The field is set before the class opens; its column need not be there yet.
    if (!grid || grid->PreviewField().isEmpty() || !dm || !dm->Connected())
        return;
    grid->SetPreviewVisible(dm->LoadLastValBool(PreviewKey(formClass, grid), false, true));
}

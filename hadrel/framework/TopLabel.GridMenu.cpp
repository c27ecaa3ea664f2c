// The header's grid menu beyond the filter tabs: export, print, optimal widths and the user's
// and global layouts of the module's grid.

#include "TopLabel.h"

#include "Korvexutils.h"
#include "TUserRights.h"
#include "TVoskDBGrid2.h"
#include "TVoskDBTreeView2.h"
#include "TreeListMenu.h"
#include "UDM1.h"
#include "UModulForm.Start.h"
#include "Vcl.Components.h"
#include "Vcl.Forms.h"
#include "Vcl.Hourglass.h"
#include "Vcl.Services.h"
#include "cxGridExportLink.h"
#include "PivotGridMenu.h"
#include "TVoskDBPivotGrid.h"
#include "cxPivotGridExportLink.h"

#include <EventGuard.h>

#include <QFileInfo>
#include <QLocale>

namespace {

TVoskMenuItem* GridItem(TVoskPopupMenu* menu, QObject* owner, const char* name,
                        const QString& text, int textNr) {
    TVoskMenuItem* item = menu->AddItem(text, textNr);
    item->setToolTip(item->text());
    return Vcl::Owned(owner, item, QString::fromLatin1(name));
}

} // namespace

void TTopLabelFrame::CreateGridMenuItems() {
    TVoskPopupMenu* m = PopupGridSettings;
    m->addSeparator();
    moExportieren = GridItem(m, this, "moExportieren", QStringLiteral("Exportieren"), 2880);
    moDrucken = GridItem(m, this, "moDrucken", QStringLiteral("Drucken"), 2881);
    moOptimaleBreite =
        GridItem(m, this, "moOptimaleBreite", QStringLiteral("Optimale Spaltenbreite"), 2882);
    m->addSeparator();
    moLayoutLoad = GridItem(m, this, "moLayoutLoad", QStringLiteral("Eigenes Layout laden"), 2885);
    moLayoutSave =
        GridItem(m, this, "moLayoutSave", QStringLiteral("Eigenes Layout speichern"), 2886);
    moLayoutDelete =
        GridItem(m, this, "moLayoutDelete", QStringLiteral("Eigenes Layout löschen"), 2887);
    moLayoutLocalFavor = GridItem(m, this, "moLayoutLocalFavor",
                                  QStringLiteral("Lokales Layout bevorzugen"), 2884);
    moLayoutLocalFavor->setCheckable(true);
    m->addSeparator();
    moLayoutGlobalLoad =
        GridItem(m, this, "moLayoutGlobalLoad", QStringLiteral("Globales Layout laden"), 2888);
    moLayoutGlobalSave = GridItem(m, this, "moLayoutGlobalSave",
                                  QStringLiteral("Globales Layout speichern"), 2889);
    moLayoutGlobalDelete = GridItem(m, this, "moLayoutGlobalDelete",
                                    QStringLiteral("Globales Layout löschen"), 2890);
    auto guarded = [this](auto f) {
        return [this, f] { Rtl::Guarded([&] { f(); }, this); };
    };
    connect(moExportieren, &QAction::triggered, this, guarded([this] { moExportierenClick(); }));
    connect(moDrucken, &QAction::triggered, this, guarded([this] { moDruckenClick(); }));
    connect(moOptimaleBreite, &QAction::triggered, this,
            guarded([this] { moOptimaleBreiteClick(); }));
    for (TVoskMenuItem* item : {moLayoutLoad, moLayoutGlobalLoad})
        connect(item, &QAction::triggered, this, guarded([this, item] { moLayoutLoadClick(item); }));
    for (TVoskMenuItem* item : {moLayoutSave, moLayoutGlobalSave})
        connect(item, &QAction::triggered, this, guarded([this, item] { moLayoutSaveClick(item); }));
    for (TVoskMenuItem* item : {moLayoutDelete, moLayoutGlobalDelete})
        connect(item, &QAction::triggered, this,
                guarded([this, item] { moLayoutDeleteClick(item); }));
    connect(moLayoutLocalFavor, &QAction::triggered, this,
            guarded([this] { moLayoutLocalFavorClick(); }));
    connect(PopupGridSettings, &QMenu::aboutToShow, this,
            guarded([this] { PopupGridSettingsPopup(); }));
}

void TTopLabelFrame::PopupGridSettingsPopup() {
    auto* grid = qobject_cast<TVoskDBGrid2*>(m_grid.data());
    auto* tree = qobject_cast<TVoskDBTreeView2*>(m_grid.data());
    auto* g = dynamic_cast<IVoskGridLayouts*>(m_grid.data());
    const bool admin = TUserRights::GetAdmin_User();
    auto loadCaption = [g](TVoskMenuItem* item, const QString& def, bool exists) {
        QString text = makeText(item->TextNr(), def);
        if (exists)
            text += QStringLiteral(" { ") +
                    QLocale(QLocale::German).toString(g->LayoutSavedAt(),
                                                      QStringLiteral("dd.MM.yyyy HH:mm")) +
                    QStringLiteral(" [ ") + g->LayoutSavedBy() + QStringLiteral(" ] ") +
                    QStringLiteral(" }");
        item->setText(text);
        item->setEnabled(exists);
    };
    const bool user = g && g->LayoutExists(1);
    if (g)
        loadCaption(moLayoutLoad, QStringLiteral("Eigenes Layout laden"), user);
    const bool global = g && g->LayoutExists(2);
    if (g)
        loadCaption(moLayoutGlobalLoad, QStringLiteral("Globales Layout laden"), global);
    for (QAction* a : {static_cast<QAction*>(moLayoutLoad), static_cast<QAction*>(moLayoutSave),
                       static_cast<QAction*>(moLayoutDelete),
                       static_cast<QAction*>(moLayoutLocalFavor),
                       static_cast<QAction*>(moLayoutGlobalLoad),
                       static_cast<QAction*>(moOptimaleBreite)})
        a->setVisible(g != nullptr);
    moLayoutSave->setEnabled(g != nullptr);
    moLayoutDelete->setEnabled(user);
    moLayoutGlobalSave->setVisible(g && admin);
    moLayoutGlobalSave->setEnabled(g && admin);
    moLayoutGlobalDelete->setVisible(g && admin);
    moLayoutGlobalDelete->setEnabled(global);
    moLayoutLocalFavor->setEnabled(user && global);
    moLayoutLocalFavor->setChecked(user && g->LayoutIsDefault());
    moTabFilter->setVisible(grid && grid->GridFilterCount() > 0);
    moTabFilter->setEnabled(grid && grid->GridFilterCount() > 0);
    const QString form = GetParentForm() ? Vcl::ClassName(GetParentForm()) : QString();
    moExportieren->setVisible(g != nullptr);
    moExportieren->setEnabled(g && TUserRights::CanDoGUIAction(form, m_grid->objectName()));
    moDrucken->setEnabled(grid != nullptr);
    GridViewItems.Update(grid);
    TTreeListMenu::Update(GridViewItems, tree);
    TPivotGridMenu::Update(m_grid, {moLayoutLoad, moLayoutSave, moLayoutDelete, moLayoutLocalFavor,
                                    moOptimaleBreite, moLayoutGlobalLoad, moLayoutGlobalSave,
                                    moLayoutGlobalDelete, moExportieren, moDrucken, moTabFilter},
                           form);
}

void TTopLabelFrame::moOptimaleBreiteClick() {
    if (auto* g = dynamic_cast<IVoskGridLayouts*>(m_grid.data()))
        g->OptimalWidths();
}

void TTopLabelFrame::moLayoutLoadClick(QObject* sender) {
    if (TPivotGridMenu::LayoutLoad(m_grid, sender == moLayoutGlobalLoad ? 2 : 1))
        return;
    if (auto* g = dynamic_cast<IVoskGridLayouts*>(m_grid.data()))
        g->LayoutLoad(sender == moLayoutGlobalLoad ? 2 : 1);
}

void TTopLabelFrame::moLayoutSaveClick(QObject* sender) {
    if (TPivotGridMenu::LayoutSave(m_grid, sender == moLayoutGlobalSave ? 2 : 1))
        return;
    auto* g = dynamic_cast<IVoskGridLayouts*>(m_grid.data());
    const int type = sender == moLayoutGlobalSave ? 2 : 1;
    if (g && (type == 1 || TUserRights::GetAdmin_User()))
        g->LayoutSave(type);
}

void TTopLabelFrame::moLayoutDeleteClick(QObject* sender) {
    if (TPivotGridMenu::LayoutDelete(m_grid, sender == moLayoutGlobalDelete ? 2 : 1))
        return;
    auto* g = dynamic_cast<IVoskGridLayouts*>(m_grid.data());
    const int type = sender == moLayoutGlobalDelete ? 2 : 1;
    if (g && (type == 1 || TUserRights::GetAdmin_User()))
        g->LayoutDelete(type);
}

void TTopLabelFrame::moLayoutLocalFavorClick() {
    if (auto* g = dynamic_cast<IVoskGridLayouts*>(m_grid.data()))
        g->SetLayoutDefault(moLayoutLocalFavor->isChecked());
}

void TTopLabelFrame::moDruckenClick() {
    auto* g = qobject_cast<TVoskDBGrid2*>(m_grid.data());
    if (g)
        PrintGrid(g, GetCaption());
}

void TTopLabelFrame::moExportierenClick() {
    const QString form = GetParentForm() ? Vcl::ClassName(GetParentForm()) : QString();
    ExportGrid(m_grid.data(), window(), form, QStringLiteral("FileDialogFolder_") + form, false);
}

void TTopLabelFrame::ExportGrid(QWidget* grid, QWidget* dialogParent, const QString& formClass,
                                const QString& folderKey, bool minimizeAfterOpen) {
    auto* g = qobject_cast<TVoskDBGrid2*>(grid);
    auto* pivot = qobject_cast<TVoskDBPivotGrid*>(grid);
    auto* tree = qobject_cast<TVoskDBTreeView2*>(grid);
    if (!g && !tree && !pivot)
        return;
    if (!TUserRights::CanDoGUIAction(formClass, grid->objectName()))
        return;
    TDM1* dm = DM1();
    Vcl::TFileRequest request;
    request.caption = QStringLiteral("Tabelle exportieren");
    request.folder = dm && dm->Connected() ? dm->LoadLastVal(folderKey) : QString();
    request.fileName = formClass;
    request.filter = QStringLiteral("Excel-File (*.xlsx)|*.xlsx");
    request.defaultSuffix = QStringLiteral("xlsx");
    request.parent = dialogParent;
    QString file = Vcl::FileDialogs::Instance().SaveFile(request);
    if (file.isEmpty())
        return;
    if (QFileInfo(file).suffix().isEmpty())
        file += QStringLiteral(".xlsx");
    TGridExportResult result;
    if (tree) {
        TTreeListMenu::Export(file, tree);
    } else {
        Vcl::THourglass hourglass;
        result = pivot ? ExportPivotGridToXLSX(file, pivot)
                       : ExportGridToXLSX(file, g, true, true, QStringLiteral("xlsx"));
    }
    if (dm && dm->Connected())
        dm->SaveLastVal(folderKey, QFileInfo(file).absolutePath());
    if (result.CutTexts > 0)
        Korvexutils::RaiseInformation(
            QStringLiteral("%1 Texte waren länger als 32.767 Zeichen und wurden in der Datei "
                           "\"%2\" gekürzt.")
                .arg(result.CutTexts)
                .arg(QFileInfo(file).fileName()));
    // The workbook opens in its own program, which the user may read in place of the ERP.
    if (Vcl::OpenDocument(file) && minimizeAfterOpen)
        if (QWidget* main = Vcl::Screen::MainForm())
            main->showMinimized();
}

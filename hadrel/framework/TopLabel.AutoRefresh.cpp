// The header's auto refresh, its grid settings and filter tabs.

#include "TopLabel.h"

#include "AutoRefreshMenu.h"
#include "DMSys.h"
#include "FrameDBNavigate.h"
#include "TVoskDBGrid2.h"
#include "TVoskDBTreeView2.h"
#include "TreeListMenu.h"
#include "TVoskTabControl.h"
#include "UDM1.h"
#include "UDataModul_Dunmere.h"
#include "Uloghelper.h"
#include "Vcl.Components.h"
#include "Vcl.Hourglass.h"
#include "VoskTimer.h"

#include <EventGuard.h>

#include <QActionGroup>
#include <QLabel>
#include <QToolButton>

void TTopLabelFrame::CreateMenuItems() {
    m_autoRefresh = std::make_unique<TAutoRefreshMenu>(
        this, btAutoRefresh, pmAutoRefresh, VoskTimerRefresh, m_intervals,
        [this](QObject* item) { OnAutoRefreshClick(item); }, [this] { VoskTimerRefreshTimer(); });
    moAutoRefreshOff = m_autoRefresh->Off;
    moAutoRefreshFast = m_autoRefresh->Fast;
    moAutoRefreshMedium = m_autoRefresh->Medium;
    moAutoRefreshSlow = m_autoRefresh->Slow;

    moTabFilter = Vcl::Owned(this, PopupGridSettings->AddItem(QStringLiteral("Filter-Reiter"), 2883),
                             QStringLiteral("moTabFilter"));
    moTabFilter->setCheckable(true);
    moTabFilter->setVisible(false); // shown when the grid has stored filters
    connect(moTabFilter, &QAction::triggered, this,
            [this] { Rtl::Guarded([&] { moTabFilterClick(moTabFilter); }, this); });
    GridViewItems.Create(PopupGridSettings, this, "moFooter", [](QObject* frame) {
        return qobject_cast<TVoskDBGrid2*>(static_cast<TTopLabelFrame*>(frame)->VoskDBGrid());
    });
    TTreeListMenu::Bind(GridViewItems, this, [](QObject* frame) {
        return qobject_cast<TVoskDBTreeView2*>(static_cast<TTopLabelFrame*>(frame)->VoskDBGrid());
    });
    connect(GridViewItems.moTxtVorschau, &QAction::triggered, this,
            [this] { Rtl::Guarded([&] { moTxtVorschauClick(); }, this); });
    connect(GridViewItems.moConditionalFormating, &QAction::triggered, this,
            [this] { Rtl::Guarded([&] { moConditionalFormatingClick(); }, this); });
    CreateGridMenuItems();
    tcFilter->OnChange = [this](QObject*) { tcFilterChange(); };
    tcFilter->setAccessibleName(QStringLiteral("Filter-Reiter"));
    tcFilter->setToolTip(QStringLiteral("Gespeicherte Filter der Tabelle"));
}

void TTopLabelFrame::SetAutoRefreshIntervalsProperty(TAutoRefreshIntervalsProperty* value) {
    m_intervals->Assign(value);
}

bool TTopLabelFrame::StoredAutoRefreshIntervalsProperty() const {
    return StoredAutoRefreshIntervals(m_btAutoRefresh, m_intervals);
}

void TTopLabelFrame::pmAutoRefreshPopup() { m_autoRefresh->SetCaptions(); }

QString TTopLabelFrame::AutoRefreshKey(TVoskClass* tested) const {
    QString gridName;
    // Only the generic table editor keeps one choice per grid; it shows many tables in one form.
    if (tested && tested->objectName().compare(QLatin1String("ServSqlEditTable"),
                                               Qt::CaseInsensitive) == 0)
        if (auto* g = qobject_cast<TVoskDBGrid2*>(m_grid.data())) {
            gridName = g->property("ViewName").toString();
            if (gridName.isEmpty())
                gridName = g->objectName();
        }
    Vcl::TForm* form = GetParentForm();
    TDM1* dm = DM1();
    return (form ? Vcl::ClassName(form) : QString()) + QLatin1Char('_') + gridName +
           QStringLiteral("_AutoRefreshInterval_") + (dm ? dm->FGetUsername() : QString());
}

void TTopLabelFrame::OnAutoRefreshClick(QObject* sender) {
    TVoskClass* current = GetCurrentClass();
    if (!FDataSource() || !current)
        return;
    _AutoRefreshActive = m_autoRefresh->Choose(sender, AutoRefreshKey(current));
}

void TTopLabelFrame::LoadAutoRefreshSettings() {
    if (btAutoRefresh->isHidden())
        return;
    // Without a main data class there is no grid name to look for, and nothing to refresh.
    m_autoRefresh->Restore(AutoRefreshKey(FDataSource()));
}

void TTopLabelFrame::VoskTimerRefreshTimer() {
    TVoskClass* data = FDataSource();
    if (!data || !data->Active())
        return;
    TVoskClass* head = FDataSourceH();
    TVoskClass* foot = FDataSourceF();
    // Never over the user's work: an open record anywhere in main, head or foot (modified or not),
    // or typing not yet handed to its field.
    if (TFrameDBNav::UserWorkPending(GetParentForm(), {data, head, foot}))
        return;
    Vcl::TForm* form = GetParentForm();
    m_autoRefresh->Tick(Toplabel, form ? Vcl::ClassName(form) : Vcl::ClassName(this),
                        [data] { data->Refresh(true, true, 0); });
}

// ---- grid settings and filter tabs -------------------------------------------------------

void TTopLabelFrame::LoadGridSettings() {
    auto* g = qobject_cast<TVoskDBGrid2*>(m_grid.data());
    if (auto* tree = qobject_cast<TVoskDBTreeView2*>(m_grid.data())) {
        moLayoutLocalFavor->setChecked(tree->LayoutExists(1) && tree->LayoutIsDefault());
        if (!_ManualLayoutLoading)
            tree->InitLayout();
        TTreeListMenu::LoadPreview(tree, Vcl::ClassName(GetParentForm()));
    }
    if (!g)
        return;
    moLayoutLocalFavor->setChecked(g->LayoutExists(1) && g->LayoutIsDefault());
    if (!_ManualLayoutLoading)
        g->InitLayout();
    g->InitFilter();
    g->SetFilterTabControl(tcFilter);
    moTabFilter->setVisible(g->GridFilterCount() > 0);
    TGridViewMenu::LoadPreview(g, Vcl::ClassName(GetParentForm()));
}

void TTopLabelFrame::moTxtVorschauClick() {
    TGridViewMenu::TxtVorschauClick(qobject_cast<TVoskDBGrid2*>(m_grid.data()),
                                    Vcl::ClassName(GetParentForm()),
                                    GridViewItems.moTxtVorschau->isChecked());
    TTreeListMenu::TxtVorschauClick(qobject_cast<TVoskDBTreeView2*>(m_grid.data()),
                                    Vcl::ClassName(GetParentForm()),
                                    GridViewItems.moTxtVorschau->isChecked());
}

void TTopLabelFrame::moConditionalFormatingClick() {
    TGridViewMenu::ConditionalFormatingClick(qobject_cast<TVoskDBGrid2*>(m_grid.data()));
    TTreeListMenu::ConditionalFormatingClick(qobject_cast<TVoskDBTreeView2*>(m_grid.data()));
}

void TTopLabelFrame::moTabFilterClick(QObject* sender) {
    if (!sender)
        moTabFilter->setChecked(!moTabFilter->isChecked());
    else
        tcFilter->SetShowFlag(moTabFilter->isChecked());
    if (moTabFilter->isChecked() != !pnlFilterTabs->isHidden()) {
        pnlFilterTabs->setVisible(moTabFilter->isChecked());
        Vcl::SetTag(PanelShortHelp, PanelShortHelp->isHidden() ? 0 : 1);
        tcFilterVisibleChange();
    }
}

void TTopLabelFrame::tcFilterChange() {
    auto* g = qobject_cast<TVoskDBGrid2*>(m_grid.data());
    if (!tcFilter->FChangePending || !g)
        return;
    tcFilter->FChangePending = false;
    const QString data = tcFilter->SelectedData();
    if (data == QLatin1String("*"))
        g->GridFilterClear();
    else
        g->GridFilterLoad(data);
    int state = g->GridFilterState();
    if (state != gfsChanged && !data.startsWith(QLatin1Char(':'))) {
        TDM1* dm = DM1();
        Vcl::TForm* form = GetParentForm();
        TVoskDM_Dunmere::SetCompOption(form ? Vcl::ClassName(form) : QString(),
                                       g->GridFilterSaveName(), QStringLiteral("LastGridFilter"),
                                       g->GridFilterName(), dm ? dm->MitNr() : 0);
    }
    if (state == gfsActive && !(g->GridFilterActive() && !g->GridFilterText().isEmpty()))
        state = gfsInactive;
    btGridFilter->setIcon(
        DMSys()->ImageListHot()->Icon(TVoskDBGrid2::GridFilterStateIcon(TGridFilterState(state))));
    btGridFilter->setToolTip(makeText(17414, QStringLiteral("Grid-Filter")) + QStringLiteral(" (") +
                             TVoskDBGrid2::GridFilterStateText(TGridFilterState(state)) +
                             QLatin1Char(')'));
}

void TTopLabelFrame::SaveCompSettings(QObject*) {
    tcFilter->Visibility_Save(this, moTabFilter->isChecked());
}

void TTopLabelFrame::LoadCompSettings(QObject*) {
    const bool visible = tcFilter->Visibility_Load(this, moTabFilter->isChecked());
    if (visible != moTabFilter->isChecked())
        moTabFilterClick(nullptr);
}

#include "FrameDBNavigate.h"

#include "TQ32Control.h"

#include "UnitTable.h"
#include "Vcl.Classes.h"

#include "AutoRefreshMenu.h"

#include "DMSys.h"
#include "Korvexcommonvcl.h"
#include "Korvexutils.h"
#include "TCachedSQL.h"
#include "TUserRights.h"
#include "TVoskDBEdit.h"
#include "TVoskDBGrid2.h"
#include "TVoskDBTreeView2.h"
#include "TreeListMenu.h"
#include "TVoskDBMemo.h"
#include "TVoskTabControl.h"
#include "UDM1.h"
#include "UDataModul_Dunmere.h"
#include "UModulForm.Start.h"
#include "Uloghelper.h"
#include "Vcl.Components.h"
#include "Vcl.Forms.h"
#include "Vcl.Hourglass.h"
#include "Vcl.Services.h"
#include "VoskControls.h"
#include "VoskTimer.h"
#include "cxGridExportLink.h"
#include "PivotGridMenu.h"
#include "TVoskDBPivotGrid.h"
#include "cxPivotGridExportLink.h"

#include <EventGuard.h>
#include <VoskExceptions.h>

#include <QActionGroup>
#include <QApplication>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include <bit>

namespace {

constexpr int kNavButtonWidth = 35;

NavBtnSet SkipButtons() { return nbFirst | nbPrior | nbNext | nbLast; }

QToolButton* MakeButton(QWidget* parent, QObject* owner, const char* name, const QString& hint,
                        int imageIndex) {
    auto* b = Vcl::Owned(owner, new QToolButton(parent), QString::fromLatin1(name));
    b->setFocusPolicy(Qt::NoFocus);
    b->setAutoRaise(true);
    b->setToolTip(hint);
    b->setAccessibleName(hint);
    b->setProperty("ImageIndex", imageIndex);
    const QIcon icon = DMSys()->ImageListHot()->Icon(imageIndex);
    if (!icon.isNull())
        b->setIcon(icon);
    b->setVisible(false);
    return b;
}

TVoskMenuItem* AddItem(TVoskPopupMenu* menu, QObject* owner, const char* name, const QString& text,
                       int textNr) {
    TVoskMenuItem* item = menu->AddItem(text, textNr);
    item->setToolTip(item->text());
    return Vcl::Owned(owner, item, QString::fromLatin1(name));
}

// The form class name under which a frame's values are kept.
QString FormClassOf(const QWidget* frame) {
    for (QObject* o = Vcl::Owner(frame); o; o = Vcl::Owner(o))
        if (qobject_cast<Vcl::TForm*>(o))
            return Vcl::ClassName(o);
    QWidget* form = Korvexutils::KorvexGetForm(const_cast<QWidget*>(frame));
    return form ? Vcl::ClassName(form) : QString();
}

bool ClassOrSubClassInEdit(TVoskClass* c) {
    if (!c)
        return false;
    if (c->InEdit())
        return true;
    for (TVoskClass* child : c->Children())
        if (ClassOrSubClassInEdit(child))
            return true;
    return false;
}

bool BelongsTo(TVoskClass* c, const QList<TVoskClass*>& classes) {
    for (TVoskClass* k = c; k; k = k->MasterClass())
        if (classes.contains(k))
            return true;
    return false;
}

} // namespace

TFrameDBNav::TFrameDBNav(QObject* owner, QWidget* parent) : QFrame(parent) {
    Vcl::SetOwner(this, owner);
    setObjectName(QStringLiteral("FrameDBNav"));
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);

    pnlTopButtons = Vcl::Owned(this, new QWidget(this), QStringLiteral("pnlTopButtons"));
    auto* row = new QHBoxLayout(pnlTopButtons);
    row->setContentsMargins(2, 1, 2, 1);
    row->setSpacing(1);
    outer->addWidget(pnlTopButtons);

    pnlFilterTabs = Vcl::Owned(this, new TPanel(this), QStringLiteral("pnlFilterTabs"));
    pnlFilterTabs->SetBevelOuter(false);
    tcFilter = Vcl::Owned(this, new TVoskTabControl(pnlFilterTabs), QStringLiteral("tcFilter"));
    tcFilter->setShape(QTabBar::RoundedSouth);
    tcFilter->setAccessibleName(QStringLiteral("Filter-Reiter"));
    tcFilter->setToolTip(QStringLiteral("Gespeicherte Filter der Tabelle"));
    pnlFilterTabs->Layout()->addWidget(tcFilter);
    pnlFilterTabs->Layout()->addStretch(1);
    pnlFilterTabs->hide();
    tcFilter->hide();
    outer->addWidget(pnlFilterTabs);

    lbCaption = Vcl::Owned(this, new QLabel(pnlTopButtons), QStringLiteral("lbCaption"));
    lbCaption->setAlignment(Qt::AlignCenter);
    lbCaption->setTextFormat(Qt::PlainText);
    lbCaption->setMinimumWidth(0);
    lbCaption->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    QFont f = lbCaption->font();
    f.setBold(true);
    lbCaption->setFont(f);

    btOptimalWidth = MakeButton(pnlTopButtons, this, "btOptimalWidth",
                                QStringLiteral("Optimale Spaltenbreite"), 244);
    btGrid = MakeButton(pnlTopButtons, this, "btGrid",
                        makeText(2953, QStringLiteral("Grid/Spaltenlayout speichern")), 245);
    DBNavigator1 =
        Vcl::Owned(this, new TVoskDBNavigator(pnlTopButtons), QStringLiteral("DBNavigator1"));
    DBNavigator1->SetVisibleButtons(TVoskDBNavigator::AllButtons() & ~NavBtnSet(nbEdit));
    btGridFilter = MakeButton(pnlTopButtons, this, "btGridFilter",
                              makeText(17414, QStringLiteral("Grid-Filter")), 237);
    btSearchData = MakeButton(pnlTopButtons, this, "btSearchData",
                              makeText(17530, QStringLiteral("In der Tabelle suchen")), 56);
    BtTools = MakeButton(pnlTopButtons, this, "BtTools", makeText(2815, QStringLiteral("Extras")),
                         248);
    btCustomFunc =
        MakeButton(pnlTopButtons, this, "btCustomFunc", QStringLiteral("Modulfunktion"), 248);
    BtSettingsModul = MakeButton(pnlTopButtons, this, "BtSettingsModul",
                                 makeText(26375, QStringLiteral("Modulspezifische Einstellungen")),
                                 175);
    btAutoRefresh = MakeButton(pnlTopButtons, this, "btAutoRefresh",
                               makeText(13136, QStringLiteral("Automatisch aktualisieren")), 257);
    btCachedSqlRefresh = MakeButton(pnlTopButtons, this, "btCachedSqlRefresh",
                                    QStringLiteral("CachedSQL Refresh"), 258);

    row->addWidget(lbCaption, 1);
    for (QWidget* w :
         {static_cast<QWidget*>(btOptimalWidth), static_cast<QWidget*>(btGrid),
          static_cast<QWidget*>(DBNavigator1), static_cast<QWidget*>(btGridFilter),
          static_cast<QWidget*>(btSearchData), static_cast<QWidget*>(BtTools),
          static_cast<QWidget*>(btCustomFunc), static_cast<QWidget*>(BtSettingsModul),
          static_cast<QWidget*>(btAutoRefresh), static_cast<QWidget*>(btCachedSqlRefresh)})
        row->addWidget(w);

    // Grid menu, in the order the user meets it.
    PopUpGridSettings =
        Vcl::Owned(this, new TVoskPopupMenu(this), QStringLiteral("PopUpGridSettings"));
    moExportieren =
        AddItem(PopUpGridSettings, this, "moExportieren", QStringLiteral("Exportieren"), 2880);
    moDrucken = AddItem(PopUpGridSettings, this, "moDrucken", QStringLiteral("Drucken"), 2881);
    moOptimaleBreite = AddItem(PopUpGridSettings, this, "moOptimaleBreite",
                               QStringLiteral("Optimale Spaltenbreite"), 2882);
    moTabFilter =
        AddItem(PopUpGridSettings, this, "moTabFilter", QStringLiteral("Filter-Reiter"), 2883);
    moTabFilter->setCheckable(true);
    GridViewItems.Create(PopUpGridSettings, this, "moFusszeileSummierung", [](QObject* frame) {
        return static_cast<TFrameDBNav*>(frame)->grid2();
    });
    TTreeListMenu::Bind(GridViewItems, this, [](QObject* frame) {
        return qobject_cast<TVoskDBTreeView2*>(static_cast<TFrameDBNav*>(frame)->VoskDBGrid());
    });
    connect(GridViewItems.moTxtVorschau, &QAction::triggered, this,
            [this] { Rtl::Guarded([&] { moTxtVorschauClick(); }, this); });
    connect(GridViewItems.moConditionalFormating, &QAction::triggered, this,
            [this] { Rtl::Guarded([&] { moConditionalFormatingClick(); }, this); });
    PopUpGridSettings->addSeparator();
    moLayoutLoad = AddItem(PopUpGridSettings, this, "moLayoutLoad",
                           QStringLiteral("Eigenes Layout laden"), 2885);
    moLayoutSave = AddItem(PopUpGridSettings, this, "moLayoutSave",
                           QStringLiteral("Eigenes Layout speichern"), 2886);
    moLayoutDelete = AddItem(PopUpGridSettings, this, "moLayoutDelete",
                             QStringLiteral("Eigenes Layout löschen"), 2887);
    moLayoutLocalFavor = AddItem(PopUpGridSettings, this, "moLayoutLocalFavor",
                                 QStringLiteral("Lokales Layout bevorzugen"), 2884);
    moLayoutLocalFavor->setCheckable(true);
    PopUpGridSettings->addSeparator();
    moLayoutGlobalLoad = AddItem(PopUpGridSettings, this, "moLayoutGlobalLoad",
                                 QStringLiteral("Globales Layout laden"), 2888);
    moLayoutGlobalSave = AddItem(PopUpGridSettings, this, "moLayoutGlobalSave",
                                 QStringLiteral("Globales Layout speichern"), 2889);
    moLayoutGlobalDelete = AddItem(PopUpGridSettings, this, "moLayoutGlobalDelete",
                                   QStringLiteral("Globales Layout löschen"), 2890);
    btGrid->setMenu(PopUpGridSettings);
    btGrid->setPopupMode(QToolButton::InstantPopup);
    pmGridFilter = Vcl::Owned(this, new TVoskPopupMenu(this), QStringLiteral("pmGridFilter"));
    btGridFilter->setMenu(pmGridFilter);
    btGridFilter->setPopupMode(QToolButton::InstantPopup);

    pmAutoRefresh = Vcl::Owned(this, new TVoskPopupMenu(this), QStringLiteral("pmAutoRefresh"));
    VoskTimerRefresh = Vcl::Owned(this, new TVoskTimer(this), QStringLiteral("VoskTimerRefresh"));
    m_intervals = new TAutoRefreshIntervalsProperty(this);
    m_autoRefresh = std::make_unique<TAutoRefreshMenu>(
        this, btAutoRefresh, pmAutoRefresh, VoskTimerRefresh, m_intervals,
        [this](QObject* item) { OnAutoRefreshClick(item); }, [this] { VoskTimerRefreshTimer(); });
    moAutoRefreshOff = m_autoRefresh->Off;
    moAutoRefreshFast = m_autoRefresh->Fast;
    moAutoRefreshMedium = m_autoRefresh->Medium;
    moAutoRefreshSlow = m_autoRefresh->Slow;

    auto guarded = [this](auto f) {
        return [this, f] { Rtl::Guarded([&] { f(); }, this); };
    };
    connect(PopUpGridSettings, &QMenu::aboutToShow, this,
            guarded([this] { PopupGridSettingsPopup(); }));
    connect(pmGridFilter, &QMenu::aboutToShow, this, guarded([this] { pmGridFilterPopup(); }));
    connect(moExportieren, &QAction::triggered, this, guarded([this] { moExportierenClick(); }));
    connect(moDrucken, &QAction::triggered, this, guarded([this] { moDruckenClick(); }));
    connect(moOptimaleBreite, &QAction::triggered, this,
            guarded([this] { moOptimaleBreiteClick(); }));
    connect(btOptimalWidth, &QToolButton::clicked, this,
            guarded([this] { moOptimaleBreiteClick(); }));
    connect(moTabFilter, &QAction::triggered, this,
            guarded([this] { moTabFilterClick(moTabFilter); }));
    for (TVoskMenuItem* item : {moLayoutLoad, moLayoutGlobalLoad})
        connect(item, &QAction::triggered, this, guarded([this, item] { moLayoutLoadClick(item); }));
    for (TVoskMenuItem* item : {moLayoutSave, moLayoutGlobalSave})
        connect(item, &QAction::triggered, this, guarded([this, item] { moLayoutSaveClick(item); }));
    for (TVoskMenuItem* item : {moLayoutDelete, moLayoutGlobalDelete})
        connect(item, &QAction::triggered, this,
                guarded([this, item] { moLayoutDeleteClick(item); }));
    connect(moLayoutLocalFavor, &QAction::triggered, this,
            guarded([this] { moLayoutLocalFavorClick(); }));
    connect(btSearchData, &QToolButton::clicked, this, guarded([this] { btSearchDataClick(); }));
    connect(btCachedSqlRefresh, &QToolButton::clicked, this,
            guarded([this] { btCachedSqlRefreshClick(); }));
    connect(BtSettingsModul, &QToolButton::clicked, this,
            guarded([this] { BtSettingsModulClick(); }));
    connect(BtTools, &QToolButton::clicked, this, guarded([this] { BtToolsClick(); }));
    tcFilter->OnChange = [this](QObject*) { tcFilterChange(); };
    DBNavigator1->BeforeAction = [this](NavBtn b) {
        DBNavigator1BeforeAction(DBNavigator1->ButtonControl(b), b);
    };
    DBNavigator1->OnClick = [this](NavBtn b) { DBNavigator1Click(DBNavigator1->ButtonControl(b), b); };

    // Creation steps of the frame.
    m_navigationsMode = 1;
    _ManualLayoutLoading = false;
    m_btAutoRefresh = false;
    m_intervals->FShort = 300;
    m_intervals->FMedium = 900;
    m_intervals->FLong = 3600;
    m_filterTabShow = false;
    tcFilterVisibleChange();
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(0xEC, 0xE9, 0xD8)); // $D8E9EC is BGR
    setPalette(pal);
    m_settingsModul = new TSettingsModul(this);
    m_settingsModul->setObjectName(QStringLiteral("SettingsModul"));
    m_settingsLoaded = false;
    pmAutoRefreshPopup(); // the captions are right before the menu first opens
    ResizeDBNavigator();
}

TFrameDBNav::~TFrameDBNav() {
    // The owned grid may go first; nothing of the frame may call into it any more.
    VoskTimerRefresh->SetEnabled(false);
}

// ---- navigator buttons -------------------------------------------------------------------

void TFrameDBNav::setNavButtons(NavBtnSet buttons, bool on) {
    NavBtnSet v = DBNavigator1->VisibleButtons();
    v = on ? (v | buttons) : (v & ~buttons);
    DBNavigator1->SetVisibleButtons(v);
}

bool TFrameDBNav::BtSkip() const { return DBNavigator1->VisibleButtons() & nbFirst; }
void TFrameDBNav::SetBtSkip(bool on) {
    setNavButtons(SkipButtons(), on);
    ResizeDBNavigator();
}
bool TFrameDBNav::BtInsert() const { return DBNavigator1->VisibleButtons() & nbInsert; }
void TFrameDBNav::SetBtInsert(bool on) {
    setNavButtons(nbInsert, on);
    ResizeDBNavigator();
}
bool TFrameDBNav::BtDelete() const { return DBNavigator1->VisibleButtons() & nbDelete; }
void TFrameDBNav::SetBtDelete(bool on) {
    if (on)
        setNavButtons(nbDelete | nbRefresh, true);
    else {
        setNavButtons(nbDelete, false);
        if (!BtPostNCancel() && !m_btRefresh)
            setNavButtons(nbRefresh, false);
    }
    ResizeDBNavigator();
}
bool TFrameDBNav::BtPostNCancel() const { return DBNavigator1->VisibleButtons() & nbPost; }
void TFrameDBNav::SetBtPostNCancel(bool on) {
    setNavButtons(nbPost | nbCancel | nbRefresh, on);
    if (!on && m_btRefresh)
        SetBtRefresh(true);
    ResizeDBNavigator();
}
void TFrameDBNav::SetBtRefresh(bool on) {
    m_btRefresh = on;
    setNavButtons(nbRefresh, on);
    ResizeDBNavigator();
}

void TFrameDBNav::ResizeDBNavigator() {
    int available = width();
    for (QWidget* b : {static_cast<QWidget*>(btGrid), static_cast<QWidget*>(btOptimalWidth),
                       static_cast<QWidget*>(btGridFilter), static_cast<QWidget*>(btSearchData),
                       static_cast<QWidget*>(btAutoRefresh), static_cast<QWidget*>(btCustomFunc),
                       static_cast<QWidget*>(BtSettingsModul)})
        if (!b->isHidden())
            available -= b->sizeHint().width();
    const int count = std::popcount(unsigned(DBNavigator1->VisibleButtons().toInt()) & 0xFFFFu);
    m_navWidth = count * kNavButtonWidth;
    // Right-aligned at its own width while that fits, else it takes what room there is.
    m_navClientAligned = m_navWidth > available;
    if (m_navClientAligned) {
        DBNavigator1->setMinimumWidth(0);
        DBNavigator1->setMaximumWidth(qMax(0, available));
    } else {
        DBNavigator1->setFixedWidth(m_navWidth);
    }
    DBNavigator1->setVisible(count > 0);
}

void TFrameDBNav::resizeEvent(QResizeEvent* e) {
    QFrame::resizeEvent(e);
    if (!Vcl::IsDesigning(this))
        ResizeDBNavigator();
}

// ---- caption and look --------------------------------------------------------------------

QString TFrameDBNav::GetCaption() const { return lbCaption->text(); }

void TFrameDBNav::SetCaption(const QString& value) {
    const QString v = value == QLatin1String("Caption") ? QString() : value;
    lbCaption->setText(v);
    lbCaption->setToolTip(v);
    lbCaption->setAccessibleName(v);
}

void TFrameDBNav::SetTextNr(int nr) {
    m_textNr = nr;
    if (nr > 0)
        SetCaption(makeText(nr, lbCaption->text()));
}

Qt::Alignment TFrameDBNav::Alignment() const { return lbCaption->alignment(); }
void TFrameDBNav::SetAlignment(Qt::Alignment a) { lbCaption->setAlignment(a | Qt::AlignVCenter); }
QFont TFrameDBNav::_Font() const { return lbCaption->font(); }

void TFrameDBNav::SetOptimal(bool on) {
    btOptimalWidth->setVisible(on);
    ResizeDBNavigator();
}

void TFrameDBNav::SetCustomFunc(bool on) {
    m_btCustomFunc = on;
    btCustomFunc->setVisible(on);
    ResizeDBNavigator();
}

void TFrameDBNav::SetNavigationsMode(int mode) {
    m_navigationsMode = mode;
    DBNavigator1->setProperty("NavigationsMode", mode);
}

QWidget* TFrameDBNav::_ParentForm() const {
    for (QObject* o = Vcl::Owner(this); o; o = Vcl::Owner(o))
        if (auto* f = qobject_cast<Vcl::TForm*>(o))
            return f;
    return Korvexutils::KorvexGetForm(const_cast<TFrameDBNav*>(this));
}

QString TFrameDBNav::formClassName() const { return FormClassOf(this); }

// ---- data and grid -----------------------------------------------------------------------

void TFrameDBNav::FSetDataSource(TVoskClass* value) {
    if (m_dataSource)
        disconnect(m_dataSource, nullptr, this, nullptr);
    m_dataSource = value;
    DBNavigator1->SetDataSource(value);
    btCachedSqlRefresh->setVisible(qobject_cast<TCachedSQL*>(value) != nullptr);
    ResizeDBNavigator();
    if (lbCaption->text().isEmpty() && qobject_cast<TVoskClass2*>(value)) {
        TDM1* dm = DM1();
        if (dm && dm->Connected())
            SetCaption(dm->GetTableAlias(value->GetSqlTableName()));
    }
    if (value) {
        // The tabs show once the data they filter is there.
        connect(value, &TVoskClass::RowsReset, this, [this] {
            if (!m_filterTabShow && !moTabFilter->isChecked())
                return;
            const bool visible = m_dataSource && m_dataSource->Active();
            if (visible != !tcFilter->isHidden()) {
                tcFilter->setVisible(visible);
                tcFilterVisibleChange();
            }
        });
    }
}

TVoskDBGrid2* TFrameDBNav::grid2() const { return qobject_cast<TVoskDBGrid2*>(m_grid.data()); }

void TFrameDBNav::FSetVoskDBGrid(QWidget* value) {
    if (value && !Vcl::InheritsFromName(value, QStringLiteral("TVoskDBGrid2")) &&
        !Vcl::InheritsFromName(value, QStringLiteral("TVoskDBTreeView2")) &&
        !Vcl::InheritsFromName(value, QStringLiteral("TVoskDBPivotGrid")))
        throw EVoskException(
            QStringLiteral("Value must be VoskDBGrid2 or VoskDBTreeView2 or VoskDBPivotGrid"));
    m_grid = value;
    m_filterBound = false;
    TVoskDBGrid2* g = grid2();
    if (g && !Vcl::IsDesigning(this))
        bindGridFilters();
    btGridFilter->setVisible(g != nullptr);
    btSearchData->setVisible(dynamic_cast<IVoskGridFind*>(value) != nullptr);
    btGrid->setVisible(value && !m_disableGridCustomizing);
    ResizeDBNavigator();
}

void TFrameDBNav::SetDisableGridCustomizing(bool on) {
    m_disableGridCustomizing = on;
    btGrid->setVisible(m_grid && !on);
    ResizeDBNavigator();
}

void TFrameDBNav::bindGridFilters() {
    TVoskDBGrid2* g = grid2();
    if (!g)
        return;
    if (!m_filterBound) {
        g->AddFilterChangedHandler(this, [this] { DoFilterChanged(); });
        m_filterBound = true;
    }
    g->SetFilterTabControl(tcFilter);
    DoFilterChanged();
}

void TFrameDBNav::LoadGridFilterSettings() {
    if (TVoskDBGrid2* g = grid2(); g && !Vcl::IsDesigning(this)) {
        g->InitFilter();
        bindGridFilters();
        btGridFilter->setVisible(true);
    } else {
        btGridFilter->setVisible(m_grid != nullptr);
    }
    ResizeDBNavigator();
}

// ---- navigator pre-action ----------------------------------------------------------------

void TFrameDBNav::DBNavigator1BeforeAction(QObject* sender, NavBtn button) {
    TVoskClass* data = m_dataSource;
    const int countBefore = data ? data->RecordCount() : 0;
    const bool wasNew = data && data->IsNewRecord();
    bool appeared = false;
    if (m_grid) {
        m_focusGuard = true;
        m_grid->setFocus();
        m_focusGuard = false;
        appeared = data && !wasNew && data->IsNewRecord();
    }
    TVoskDBGrid2* grid = grid2();
    if (grid && button != nbDelete)
        grid->EndEdit(button != nbCancel);
    if (button == nbPost) {
        // The focused edit may still hold typing its field has not seen.
        for (QWidget* w = QApplication::focusWidget(); w; w = w->parentWidget())
            if (auto* e = qobject_cast<TVoskDBEdit*>(w)) {
                if (e->DataClass() == data)
                    e->PostEditValue();
                break;
            }
    }
    switch (button) {
    case nbFirst:
    case nbPrior:
    case nbNext:
    case nbLast:
        if (OnBeforeNavigate)
            OnBeforeNavigate(sender);
        break;
    case nbInsert:
        if (OnBeforeInsertExecute)
            OnBeforeInsertExecute(sender);
        // A new record always goes to the end, and only one: a grid may have made it already
        // when it got the focus.
        if (data && countBefore == data->RecordCount() && !appeared && !data->IsNewRecord())
            data->Append();
        if (grid)
            grid->EditFirstVisibleColumn();
        throw EAbort();
    case nbDelete:
        if (grid && grid->SelectedRowCount() > 1) {
            grid->DeleteSelection();
            throw EAbort();
        }
        if (TTreeListMenu::DeleteSelected(m_grid))
            throw EAbort();
        break;
    case nbPost:
        if (OnBeforePostExecute)
            OnBeforePostExecute(sender);
        break;
    case nbCancel:
        if (OnBeforeCancelExecute)
            OnBeforeCancelExecute(sender);
        break;
    default:
        break;
    }
}

void TFrameDBNav::DBNavigator1Click(QObject*, NavBtn button) {
    // A posted record: the module remembers what the focused control holds.
    if (button == nbPost)
        if (QWidget* form = Vcl::ParentForm(this);
            form && Vcl::InheritsFromName(form, QStringLiteral("TModulForm")))
            Voskdbcontrols::Korvex_LastValue_Save(form->focusWidget());
}

// ---- auto refresh ------------------------------------------------------------------------

void TFrameDBNav::FSetAutoRefreshButton(bool on) {
    m_btAutoRefresh = on;
    btAutoRefresh->setVisible(on);
    ResizeDBNavigator();
}

void TFrameDBNav::SetAutoRefreshIntervalsProperty(TAutoRefreshIntervalsProperty* value) {
    m_intervals->Assign(value);
}

bool TFrameDBNav::StoredAutoRefreshIntervalsProperty() const {
    return StoredAutoRefreshIntervals(m_btAutoRefresh, m_intervals);
}

QString TFrameDBNav::getIntervalAsString(int interval) {
    QString s;
    if (interval < 60)
        s = QStringLiteral("%1 %2").arg(interval).arg(makeText(3007, QStringLiteral("Sek.")));
    else if (interval % 60 == 0)
        s = QStringLiteral("%1 %2").arg(interval / 60).arg(makeText(565, QStringLiteral("Min.")));
    else
        s = QStringLiteral("%1m%2s").arg(interval / 60).arg(interval % 60);
    return QStringLiteral("%1 - %2").arg(makeText(13133, QStringLiteral("Intervall")), s);
}

void TFrameDBNav::pmAutoRefreshPopup() { m_autoRefresh->SetCaptions(); }

QString TFrameDBNav::AutoRefreshKey() const {
    QString gridName;
    if (m_grid) {
        gridName = m_grid->property("ViewName").toString();
        if (gridName.isEmpty())
            gridName = m_grid->objectName();
    }
    TDM1* dm = DM1();
    return formClassName() + QLatin1Char('_') + gridName +
           QStringLiteral("_AutoRefreshInterval_") + (dm ? dm->FGetUsername() : QString());
}

void TFrameDBNav::OnAutoRefreshClick(QObject* sender) {
    if (!m_dataSource || !grid2())
        return;
    m_autoRefreshActive = m_autoRefresh->Choose(sender, AutoRefreshKey());
}

void TFrameDBNav::LoadAutoRefreshSettings() {
    if (!m_dataSource || !grid2() || btAutoRefresh->isHidden())
        return;
    if (m_autoRefresh->Restore(AutoRefreshKey()))
        m_settingsLoaded = true;
}

bool TFrameDBNav::UserWorkPending(QWidget* form, const QList<TVoskClass*>& classes) {
    for (TVoskClass* c : classes)
        if (ClassOrSubClassInEdit(c))
            return true;
    if (!form)
        return false;
    for (auto* g : form->findChildren<TVoskDBGrid2*>())
        if (g->DataClass() && BelongsTo(g->DataClass(), classes) &&
            g->CellEditorOpen())
            return true;
    for (auto* e : form->findChildren<TVoskDBEdit*>()) {
        TVoskClass* c = e->DataClass();
        if (!c || !BelongsTo(c, classes) || !c->HasRecord())
            continue;
        const int col = c->FieldIndex(e->DataField());
        if (col < 0)
            continue;
        const QVariant v = c->Value(c->CurrentRow(), col);
        if (e->text() != (v.isNull() ? QString() : v.toString()))
            return true;
    }
    return false;
}

void TFrameDBNav::VoskTimerRefreshTimer() {
    TVoskClass* data = m_dataSource;
    if (!data || !data->Active() || data->InEdit())
        return;
    TVoskClass* head = FDataSourceH();
    TVoskClass* foot = FDataSourceF();
    if ((head && head->InEdit()) || (foot && foot->InEdit()))
        return;
    if (UserWorkPending(_ParentForm(), {data, head, foot}))
        return;
    m_autoRefresh->Tick(lbCaption, formClassName() + QLatin1Char('.') + objectName(),
                        [data] { data->Refresh(); });
}

// ---- filter tabs -------------------------------------------------------------------------

void TFrameDBNav::tcFilterVisibleChange() {
    const bool visible = !tcFilter->isHidden();
    pnlFilterTabs->setVisible(visible);
    int h = pnlTopButtons->sizeHint().height();
    if (visible)
        h += pnlFilterTabs->sizeHint().height();
    setFixedHeight(h);
}

void TFrameDBNav::SetFilterTabShow(bool on) {
    m_filterTabShow = on;
    if (on)
        tcFilter->show();
    moTabFilter->setVisible(!on);
    tcFilterVisibleChange();
}

void TFrameDBNav::moTabFilterClick(QObject* sender) {
    if (!sender)
        moTabFilter->setChecked(!moTabFilter->isChecked());
    const bool visible = m_dataSource && m_dataSource->Active() &&
                         (moTabFilter->isChecked() || m_filterTabShow);
    if (sender)
        tcFilter->SetShowFlag(moTabFilter->isChecked());
    if (visible != !tcFilter->isHidden()) {
        tcFilter->setVisible(visible);
        tcFilterVisibleChange();
    }
}

void TFrameDBNav::applyFilterIcon(int state) {
    btGridFilter->setIcon(
        DMSys()->ImageListHot()->Icon(TVoskDBGrid2::GridFilterStateIcon(TGridFilterState(state))));
    const QString hint = makeText(17414, QStringLiteral("Grid-Filter")) + QStringLiteral(" (") +
                         TVoskDBGrid2::GridFilterStateText(TGridFilterState(state)) +
                         QLatin1Char(')');
    btGridFilter->setToolTip(hint);
    btGridFilter->setAccessibleName(hint);
}

void TFrameDBNav::tcFilterChange() {
    TVoskDBGrid2* g = grid2();
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
        TVoskDM_Dunmere::SetCompOption(formClassName(), g->GridFilterSaveName(),
                                       QStringLiteral("LastGridFilter"), g->GridFilterName(),
                                       dm ? dm->MitNr() : 0);
    }
    if (state == gfsActive && !(g->GridFilterActive() && !g->GridFilterText().isEmpty()))
        state = gfsInactive;
    applyFilterIcon(state);
}

void TFrameDBNav::DoFilterChanged() {
    TVoskDBGrid2* g = grid2();
    applyFilterIcon(g ? g->GridFilterState() : gfsInactive);
}

void TFrameDBNav::pmGridFilterPopup() {
    if (TVoskDBGrid2* g = grid2())
        g->GridFilterMakeMenu(pmGridFilter);
}

void TFrameDBNav::btSearchDataClick() {
    if (OnBeforeSearchBtClick)
        OnBeforeSearchBtClick(btSearchData);
    auto* find = dynamic_cast<IVoskGridFind*>(m_grid.data());
    if (!find)
        return;
    bool ok = false;
    const QString text = QInputDialog::getText(this, QStringLiteral("Suchen"),
                                               QStringLiteral("Suchen nach:"), QLineEdit::Normal,
                                               m_lastSearch, &ok);
    if (!ok || text.isEmpty())
        return;
    const bool again = text == m_lastSearch;
    m_lastSearch = text;
    if (!find->FindNext(text, !again) && !find->FindNext(text, true))
        Korvexutils::RaiseInformation(QStringLiteral("\"%1\" wurde nicht gefunden.").arg(text));
}

void TFrameDBNav::btCachedSqlRefreshClick() {
    auto* cached = qobject_cast<TCachedSQL*>(m_dataSource.data());
    if (!cached)
        return;
    Vcl::THourglass hourglass;
    cached->ForceRefresh(false);
}

void TFrameDBNav::BtSettingsModulClick() { m_settingsModul->DoButtonClick(BtSettingsModul); }

// ---- grid menu ---------------------------------------------------------------------------

void TFrameDBNav::PopupGridSettingsPopup() {
    IVoskGridLayouts* g = dynamic_cast<IVoskGridLayouts*>(m_grid.data());
    auto* tree = qobject_cast<TVoskDBTreeView2*>(m_grid.data());
    const bool admin = TUserRights::GetAdmin_User();
    auto loadCaption = [](TVoskMenuItem* item, const QString& def, bool exists,
                          IVoskGridLayouts* grid) {
        QString text = makeText(item->TextNr(), def);
        if (exists)
            text += QStringLiteral(" { ") +
                    QLocale(QLocale::German).toString(grid->LayoutSavedAt(),
                                                      QStringLiteral("dd.MM.yyyy HH:mm")) +
                    QStringLiteral(" [ ") + grid->LayoutSavedBy() + QStringLiteral(" ] ") +
                    QStringLiteral(" }");
        item->setText(text);
        item->setEnabled(exists);
    };
    const bool user = g && g->LayoutExists(1);
    if (g)
        loadCaption(moLayoutLoad, QStringLiteral("Eigenes Layout laden"), user, g);
    const bool global = g && g->LayoutExists(2);
    if (g)
        loadCaption(moLayoutGlobalLoad, QStringLiteral("Globales Layout laden"), global, g);
    for (QAction* a : {static_cast<QAction*>(moLayoutLoad), static_cast<QAction*>(moLayoutSave),
                       static_cast<QAction*>(moLayoutDelete),
                       static_cast<QAction*>(moLayoutLocalFavor),
                       static_cast<QAction*>(moLayoutGlobalLoad)})
        a->setVisible(g != nullptr);
    moLayoutSave->setEnabled(g != nullptr);
    moLayoutDelete->setEnabled(user);
    moLayoutGlobalSave->setVisible(g && admin);
    moLayoutGlobalSave->setEnabled(g && admin);
    moLayoutGlobalDelete->setVisible(g && admin);
    moLayoutGlobalDelete->setEnabled(global);
    moLayoutLocalFavor->setEnabled(user && global);
    moLayoutLocalFavor->setChecked(user && g->LayoutIsDefault());
    const bool filters = grid2() && grid2()->GridFilterCount() > 0;
    moTabFilter->setVisible(filters && !m_filterTabShow);
    moTabFilter->setEnabled(filters);
    moExportieren->setVisible(g != nullptr);
    moExportieren->setEnabled(
        g && TUserRights::CanDoGUIAction(formClassName(), m_grid->objectName()));
    moDrucken->setEnabled(grid2() != nullptr);
    moOptimaleBreite->setVisible(g != nullptr);
    GridViewItems.Update(grid2());
    TTreeListMenu::Update(GridViewItems, tree);
    TPivotGridMenu::Update(m_grid, {moLayoutLoad, moLayoutSave, moLayoutDelete, moLayoutLocalFavor,
                                    moOptimaleBreite, moLayoutGlobalLoad, moLayoutGlobalSave,
                                    moLayoutGlobalDelete, moExportieren, moDrucken, moTabFilter},
                           formClassName());
}

void TFrameDBNav::moTxtVorschauClick() {
    TGridViewMenu::TxtVorschauClick(grid2(), formClassName(),
                                    GridViewItems.moTxtVorschau->isChecked());
    TTreeListMenu::TxtVorschauClick(qobject_cast<TVoskDBTreeView2*>(m_grid.data()),
                                    formClassName(), GridViewItems.moTxtVorschau->isChecked());
}

void TFrameDBNav::moConditionalFormatingClick() {
    TGridViewMenu::ConditionalFormatingClick(grid2());
    TTreeListMenu::ConditionalFormatingClick(qobject_cast<TVoskDBTreeView2*>(m_grid.data()));
}

void TFrameDBNav::moOptimaleBreiteClick() {
    if (auto* g = dynamic_cast<IVoskGridLayouts*>(m_grid.data()))
        g->OptimalWidths();
}

void TFrameDBNav::moLayoutLoadClick(QObject* sender) {
    if (TPivotGridMenu::LayoutLoad(m_grid, sender == moLayoutGlobalLoad ? 2 : 1))
        return;
    if (auto* g = dynamic_cast<IVoskGridLayouts*>(m_grid.data()))
        g->LayoutLoad(sender == moLayoutGlobalLoad ? 2 : 1);
}

void TFrameDBNav::moLayoutSaveClick(QObject* sender) {
    if (TPivotGridMenu::LayoutSave(m_grid, sender == moLayoutGlobalSave ? 2 : 1))
        return;
    auto* g = dynamic_cast<IVoskGridLayouts*>(m_grid.data());
    if (!g)
        return;
    const int type = sender == moLayoutGlobalSave ? 2 : 1;
    if (type == 2 && !TUserRights::GetAdmin_User())
        return;
    g->LayoutSave(type);
}

void TFrameDBNav::moLayoutDeleteClick(QObject* sender) {
    if (TPivotGridMenu::LayoutDelete(m_grid, sender == moLayoutGlobalDelete ? 2 : 1))
        return;
    auto* g = dynamic_cast<IVoskGridLayouts*>(m_grid.data());
    if (!g)
        return;
    const int type = sender == moLayoutGlobalDelete ? 2 : 1;
    if (type == 2 && !TUserRights::GetAdmin_User())
        return;
    g->LayoutDelete(type);
}

void TFrameDBNav::moLayoutLocalFavorClick() {
    if (auto* g = dynamic_cast<IVoskGridLayouts*>(m_grid.data()))
        g->SetLayoutDefault(moLayoutLocalFavor->isChecked());
}

void TFrameDBNav::LoadGridSettings() {
    if (TPivotGridMenu::LoadGridSettings(m_grid, _ManualLayoutLoading))
        return;
    auto* g = dynamic_cast<IVoskGridLayouts*>(m_grid.data());
    if (!g)
        return;
    moLayoutLocalFavor->setChecked(g->LayoutExists(1) && g->LayoutIsDefault());
    if (!_ManualLayoutLoading)
        g->InitLayout();
    TGridViewMenu::LoadPreview(grid2(), formClassName());
    TTreeListMenu::LoadPreview(qobject_cast<TVoskDBTreeView2*>(m_grid.data()), formClassName());
}

QString TFrameDBNav::PrintTitle() const {
    QWidget* form = _ParentForm();
    QString title = form ? form->windowTitle() : QString();
    if (auto* caption = dynamic_cast<ICaptionTexts*>(form))
        title = caption->CaptionText1() + QStringLiteral("  ") + caption->CaptionText2();
    QWidget* parent = m_grid ? m_grid->parentWidget() : nullptr;
    // A grid on a tab page sits in the tab widget's stack; the page is its direct parent.
    if (parent) {
        if (auto* stack = parent->parentWidget())
            if (auto* tabs = qobject_cast<QTabWidget*>(stack->parentWidget())) {
                const int i = tabs->indexOf(parent);
                if (i >= 0)
                    return title + QStringLiteral(": ") +
                           Korvexcommonvcl::PlainCaption(tabs->tabText(i));
            }
        if (auto* box = qobject_cast<QGroupBox*>(parent))
            return title + QStringLiteral(": ") + Korvexcommonvcl::PlainCaption(box->title());
    }
    return title;
}

void TFrameDBNav::moDruckenClick() {
    if (TVoskDBGrid2* g = grid2())
        PrintGrid(g, PrintTitle());
}

void TFrameDBNav::moExportierenClick() {
    const QString form = formClassName();
    TTopLabelFrame::ExportGrid(m_grid.data(), window(), form,
                               QStringLiteral("SaveDialogFolder_") + form, true);
}

// ---- settings ----------------------------------------------------------------------------

void TFrameDBNav::SaveCompSettings(QObject*) {
    if (!m_filterTabShow)
        tcFilter->Visibility_Save(this, moTabFilter->isChecked());
}

void TFrameDBNav::LoadCompSettings(QObject*) {
    if (m_filterTabShow)
        return;
    const bool visible = tcFilter->Visibility_Load(this, moTabFilter->isChecked());
    if (visible != moTabFilter->isChecked())
        moTabFilterClick(nullptr);
}

namespace FrameDBNavigate {

void Register() {
    Vcl::RegisterComponents(QStringLiteral("Korvex-Zusätzlich"), {Vcl::ComponentClass<TFrameDBNav>()});
}

} // namespace FrameDBNavigate

KORVEX_UNIT("hadrel", "FrameDBNavigate", nullptr, nullptr, &FrameDBNavigate::Register);

#pragma once
// The navigation frame that module windows and data frames put over a data class and its grid: a
// caption, the navigator, the grid menu (layouts, optimal widths, filter tabs, print, export to a
// workbook), the grid filters with their tabs, search, auto refresh at a chosen interval, a free
// custom-function button, the module-settings button and a refresh for cached SQL data.

#include "TVoskClass.h"
#include "TVoskDBNavigator.h"
#include "TVoskPopupMenu.h"
#include "GridViewMenu.h"
#include "TopLabel.h"

#include <QFrame>
#include <QPointer>

class QLabel;
#include <QToolButton>
class TPanel;
class TVoskDBGrid2;
class TVoskButton2;
class TVoskTabControl;
class TVoskTimer;

class TFrameDBNav final : public QFrame, public ISaveCompSettings {
    Q_OBJECT
    Q_PROPERTY(bool _BtSkip READ BtSkip WRITE SetBtSkip)
    Q_PROPERTY(bool _BtInsert READ BtInsert WRITE SetBtInsert)
    Q_PROPERTY(bool _BtRefresh READ BtRefresh WRITE SetBtRefresh)
    Q_PROPERTY(bool _BtDelete READ BtDelete WRITE SetBtDelete)
    Q_PROPERTY(bool _BtPostNCancel READ BtPostNCancel WRITE SetBtPostNCancel)
    Q_PROPERTY(bool _BtAutoRefresh READ BtAutoRefresh WRITE FSetAutoRefreshButton)
    Q_PROPERTY(TAutoRefreshIntervalsProperty* _BtAutoRefresh_Intervals READ
                   AutoRefreshIntervalsProperty WRITE SetAutoRefreshIntervalsProperty)
    Q_PROPERTY(TVoskClass* _DataSource READ FDataSource WRITE FSetDataSource)
    Q_PROPERTY(TVoskClass* _DataSourceH READ FDataSourceH WRITE FSetDataSourceH)
    Q_PROPERTY(TVoskClass* _DataSourceF READ FDataSourceF WRITE FSetDataSourceF)
    Q_PROPERTY(QWidget* _VoskDBGrid READ VoskDBGrid WRITE FSetVoskDBGrid)
    Q_PROPERTY(bool _DisableGridCustomizing READ DisableGridCustomizing WRITE
                   SetDisableGridCustomizing)
    Q_PROPERTY(bool _ManualLayoutLoading MEMBER _ManualLayoutLoading)
    Q_PROPERTY(QString _Caption READ GetCaption WRITE SetCaption)
    Q_PROPERTY(int _TextNr READ GetTextNr WRITE SetTextNr)
    Q_PROPERTY(Qt::Alignment _Alignment READ Alignment WRITE SetAlignment)
    Q_PROPERTY(bool _BtOptimal READ BtOptimal WRITE SetOptimal)
    Q_PROPERTY(bool _BtCustomFunc READ BtCustomFunc WRITE SetCustomFunc)
    Q_PROPERTY(int _NavigationsMode READ NavigationsMode WRITE SetNavigationsMode)
    Q_PROPERTY(bool _FilterTabShow READ FilterTabShow WRITE SetFilterTabShow)

public:
    explicit TFrameDBNav(QObject* owner, QWidget* parent = nullptr);
    ~TFrameDBNav() override;

    // Components, in the order of the frame's resource.
    TPanel* pnlFilterTabs;
    TVoskTabControl* tcFilter;
    QWidget* pnlTopButtons;
    QLabel* lbCaption;
    QToolButton* btOptimalWidth;
    QToolButton* btGrid;
    TVoskDBNavigator* DBNavigator1;
    QToolButton* btGridFilter;
    QToolButton* btSearchData;
    QToolButton* BtTools;
    QToolButton* btCustomFunc;
    QToolButton* BtSettingsModul;
    QToolButton* btAutoRefresh;
    QToolButton* btCachedSqlRefresh;
    TVoskPopupMenu* PopUpGridSettings;
    TVoskMenuItem* moExportieren;
    TVoskMenuItem* moDrucken;
    TVoskMenuItem* moOptimaleBreite;
    TVoskMenuItem* moTabFilter;
    TVoskMenuItem* moLayoutLoad;
    TVoskMenuItem* moLayoutSave;
    TVoskMenuItem* moLayoutDelete;
    TVoskMenuItem* moLayoutGlobalLoad;
    TVoskMenuItem* moLayoutGlobalSave;
    TVoskMenuItem* moLayoutGlobalDelete;
    TVoskMenuItem* moLayoutLocalFavor;
    // moGruppierung, moFusszeileSummierung, moTxtVorschau, moAufklappen, moZusammenfalten.
    TGridViewMenu GridViewItems;
    TVoskPopupMenu* pmGridFilter;
    TVoskPopupMenu* pmAutoRefresh;
    TVoskMenuItem* moAutoRefreshOff;
    TVoskMenuItem* moAutoRefreshFast;
    TVoskMenuItem* moAutoRefreshMedium;
    TVoskMenuItem* moAutoRefreshSlow;
    TVoskTimer* VoskTimerRefresh;

    // Hooks; a handler refuses the action by throwing.
    TNotifyEvent OnBeforeInsertExecute;
    TNotifyEvent OnBeforeCancelExecute;
    TNotifyEvent OnBeforePostExecute;
    TNotifyEvent OnBeforeNavigate;
    TNotifyEvent OnBeforeSearchBtClick;

    // Navigator buttons; every setter ends in ResizeDBNavigator.
    bool BtSkip() const;
    void SetBtSkip(bool on);
    bool BtInsert() const;
    void SetBtInsert(bool on);
    bool BtRefresh() const { return m_btRefresh; }
    void SetBtRefresh(bool on);
    bool BtDelete() const;
    void SetBtDelete(bool on);
    bool BtPostNCancel() const;
    void SetBtPostNCancel(bool on);

    // Auto refresh.
    bool BtAutoRefresh() const { return m_btAutoRefresh; }
    void FSetAutoRefreshButton(bool on);
    TAutoRefreshIntervalsProperty* AutoRefreshIntervalsProperty() const { return m_intervals; }
    void SetAutoRefreshIntervalsProperty(TAutoRefreshIntervalsProperty* value);
    bool StoredAutoRefreshIntervalsProperty() const;
    bool AutoRefreshActive() const { return m_autoRefreshActive; }
    // "<13133> - 45 <3007>", "<13133> - 5 <565>", "<13133> - 1m30s".
    static QString getIntervalAsString(int interval);
    void pmAutoRefreshPopup();
    void OnAutoRefreshClick(QObject* sender);
    void LoadAutoRefreshSettings();
    void VoskTimerRefreshTimer();
    // The last-value key of the auto-refresh choice.
    QString AutoRefreshKey() const;
    // Whether a refresh now would throw away the user's work: any of the classes or their
    // sub-classes in insert or edit, or a grid or edit bound to one of them holding a value not
    // yet handed to its field.
    static bool UserWorkPending(QWidget* form, const QList<TVoskClass*>& classes);

    // Data.
    TVoskClass* FDataSource() const { return m_dataSource; }
    void FSetDataSource(TVoskClass* value);
    TVoskClass* FDataSourceH() const { return DBNavigator1->HeadClass(); }
    void FSetDataSourceH(TVoskClass* value) { DBNavigator1->SetHeadClass(value); }
    TVoskClass* FDataSourceF() const { return DBNavigator1->FootClass(); }
    void FSetDataSourceF(TVoskClass* value) { DBNavigator1->SetFootClass(value); }
    QWidget* _ParentForm() const;
    QWidget* VoskDBGrid() const { return m_grid; }
    // Throws unless value is one of the system's data grids.
    void FSetVoskDBGrid(QWidget* value);
    bool DisableGridCustomizing() const { return m_disableGridCustomizing; }
    void SetDisableGridCustomizing(bool on);
    bool _ManualLayoutLoading = false;

    // Caption.
    QString GetCaption() const;
    void SetCaption(const QString& value);
    int GetTextNr() const { return m_textNr; }
    void SetTextNr(int nr);
    Qt::Alignment Alignment() const;
    void SetAlignment(Qt::Alignment a);
    QFont _Font() const;

    bool BtOptimal() const { return !btOptimalWidth->isHidden(); }
    void SetOptimal(bool on);
    bool BtCustomFunc() const { return m_btCustomFunc; }
    void SetCustomFunc(bool on);
    int NavigationsMode() const { return m_navigationsMode; }
    void SetNavigationsMode(int mode);
    bool FilterTabShow() const { return m_filterTabShow; }
    void SetFilterTabShow(bool on);
    TSettingsModul* _SettingsModul() const { return m_settingsModul; }

    // Navigator.
    void ResizeDBNavigator();
    // Whether the navigator fills the free room instead of standing right at its own width.
    bool NavigatorClientAligned() const { return m_navClientAligned; }
    int NavigatorWidth() const { return m_navWidth; }
    void DBNavigator1BeforeAction(QObject* sender, NavBtn button);
    void DBNavigator1Click(QObject* sender, NavBtn button);

    // Grid menu and filters.
    void PopupGridSettingsPopup();
    void moExportierenClick();
    void moDruckenClick();
    QString PrintTitle() const;
    void moOptimaleBreiteClick();
    void moTabFilterClick(QObject* sender);
    void moTxtVorschauClick();
    void moConditionalFormatingClick();
    void moLayoutLoadClick(QObject* sender);
    void moLayoutSaveClick(QObject* sender);
    void moLayoutDeleteClick(QObject* sender);
    void moLayoutLocalFavorClick();
    void LoadGridSettings();
    void LoadGridFilterSettings();
    void pmGridFilterPopup();
    void tcFilterChange();
    void tcFilterVisibleChange();
    void DoFilterChanged();
    void btSearchDataClick();
    void btCachedSqlRefreshClick();
    void BtSettingsModulClick();

    // ---- special functions (FrameDBNavigate.SondFunc.cpp) ------------------------------------
    // The buttons of the special functions of the grid's table marked as menu buttons, right of
    // BtTools; BtTools shows when the table has special functions, for an administrator always.
    void LoadSondFuncs();
    QList<TVoskButton2*> SondFuncButtons() const;
    // Runs and offers the special functions through the module form's header.
    void SondFuncClick(QObject* sender);
    // The grid gets the focus, then the header's tools popup opens below this frame's BtTools.
    void BtToolsClick();

    void SaveCompSettings(QObject* parent) override;
    void LoadCompSettings(QObject* parent) override;

private:
    TVoskDBGrid2* grid2() const;
    QString formClassName() const;
    void setNavButtons(NavBtnSet buttons, bool on);
    void applyFilterIcon(int state);
    void bindGridFilters();
    void resizeEvent(QResizeEvent* e) override;

    QPointer<TVoskClass> m_dataSource;
    QPointer<QWidget> m_grid;
    TAutoRefreshIntervalsProperty* m_intervals;
    std::unique_ptr<TAutoRefreshMenu> m_autoRefresh;
    TSettingsModul* m_settingsModul;
    int m_textNr = 0;
    int m_navigationsMode = 1;
    int m_navWidth = 0;
    bool m_btRefresh = false;
    bool m_btAutoRefresh = false;
    bool m_autoRefreshActive = false;
    bool m_btCustomFunc = false;
    bool m_filterTabShow = false;
    bool m_disableGridCustomizing = false;
    bool m_settingsLoaded = false;
    bool m_navClientAligned = false;
    bool m_focusGuard = false;
    bool m_filterBound = false;
    QString m_lastSearch;
};

namespace FrameDBNavigate {
// Puts `TFrameDBNav` on the IDE's palette page "Korvex-Zusätzlich".
void Register();
} // namespace FrameDBNavigate

#pragma once
// The header strip of every module window: the caption by text number, a small navigator over the
// module's main data class, the work mode (read only / auto save / ask before save), the switches
// of the module form's status bar, the short help and the buttons whose actions the header's
// later units fill in (print, info, tools, grid menus, auto refresh, dock/undock, new window,
// module settings, copy/paste of values).

#include "GridViewMenu.h"
#include "TAutoRefreshIntervalsProperty.h"
#include "Korvexutils.h"
#include "TVoskClass.h"
#include "TVoskDBNavigator.h"
#include "TVoskPopupMenu.h"
#include "Vcl.Forms.h"

#include <QFlags>
#include <QFrame>
#include <QList>
#include <QPointer>

#include <functional>
#include <memory>

class QLabel;
class QMenu;
class TVoskTabControl;
class TVoskMenuItem;
class QToolButton;
class TDokument;
class TSondFunc;
class TVoskButton2;
class TMenuForm;
class TPanel;
class TVoskQuery2;
class TVoskTimer;
class TAutoRefreshMenu;

// Status-bar switches of the module form; bit values as stored in form resources.
enum TModulFormStatusBarItem {
    msbEditors = 0x01,
    msbAuditLog = 0x02,
    msbWVOD = 0x04,
    msbDoku = 0x08,
    msbHistorie = 0x10,
    msbEigenschaften = 0x20,
    msbSoftlink = 0x40,
    msbVisible = 0x80,
};
Q_DECLARE_FLAGS(TModulFormStatusBar, TModulFormStatusBarItem)
Q_DECLARE_OPERATORS_FOR_FLAGS(TModulFormStatusBar)
inline constexpr TModulFormStatusBar msbAll = TModulFormStatusBar(0xFF);

// The handler of the settings button: it may add items to the optional popup and decide
// whether the module's dynamic settings may open.
using TSettingsModulClickProc = std::function<void(QObject* sender, bool& ShowEinstellungenDyn)>;

// The module-settings button of a header or navigation frame and its optional menu: the
// module's dynamic settings (table SettingsDyn) open from it.
class TSettingsModul final : public QObject {
    Q_OBJECT
    Q_PROPERTY(QMenu* OptionalPopup READ OptionalPopup WRITE SetOptionalPopup)
    Q_PROPERTY(bool ButtonVisible READ GetButtonVisible)
public:
    // owner must be a header (TTopLabelFrame) or navigation frame (TFrameDBNav).
    explicit TSettingsModul(QWidget* owner);

    QWidget* Owner() const { return m_owner; }
    QMenu* OptionalPopup() const { return FOptionalPopup; }
    void SetOptionalPopup(QMenu* popup);
    TSettingsModulClickProc OnButtonClick;

    // The owning form's class name for a header; form class + "_" + frame name for a
    // navigation frame.
    QString SettingsName() const;
    bool SettingsExists() const;
    bool GetButtonVisible() const;
    // The frame's settings button (and its spacer) as GetButtonVisible says, unless designing.
    void UpdateButton();
    void DoButtonClick(QObject* sender);
    // From another TSettingsModul only; anything else is refused.
    void Assign(const QObject* source);
    // The popup's item for the dynamic settings, once added.
    QAction* SettingsItem() const { return m_item; }

private:
    QWidget* m_owner;
    QPointer<QMenu> FOptionalPopup;
    QPointer<QAction> m_item;
};

using TDokumentSelectDoktype = std::function<bool(TVoskQuery2* dmsDokuType, QString& dokuType,
                                                  QString& dokuDescr, const QString& fileName)>;
using TDokumentAfterPost =
    std::function<void(TDokument* dokument, const QString& dokuType, const QString& fileName)>;
using TPrintNotifyEvent = std::function<void(QObject* sender, bool autoPrint,
                                             bool autoPrintToPaper, bool showPrinterSelection)>;
using TNotifyEvent = std::function<void(QObject* sender)>;

using Korvexutils::ISaveCompSettings;

// The caption-bar buttons of the special functions of table marked as menu buttons, owned by owner
// and placed right of tools in its panel's row; a second call makes them anew. True when the table
// has special functions at all.
bool LoadSondFuncButtons(QWidget* owner, QWidget* tools, const QString& table,
                         const std::function<void(TVoskButton2*)>& onClick);
QList<TVoskButton2*> SondFuncButtonsOf(const QObject* owner);

class TTopLabelFrame final : public QFrame, public ISaveCompSettings {
    Q_OBJECT
    Q_PROPERTY(int _TextNr READ FGetTextNr WRITE FSetTextNr)
    Q_PROPERTY(int _ShortHelpTxtNr READ ShortHelpTxtNr WRITE SetShortHelpTxtNr)
    Q_PROPERTY(bool _BtSkip READ BtSkip WRITE SetBtSkip)
    Q_PROPERTY(bool _BtInsert READ BtInsert WRITE SetBtInsert)
    Q_PROPERTY(bool _BtPost READ BtPost WRITE SetBtPost)
    Q_PROPERTY(bool _BtRefresh READ BtRefresh WRITE SetBtRefresh)
    Q_PROPERTY(bool _BtDelete READ BtDelete WRITE SetBtDelete)
    Q_PROPERTY(bool _BtAutoRefresh READ BtAutoRefresh WRITE SetBtAutoRefresh)
    Q_PROPERTY(TAutoRefreshIntervalsProperty* _BtAutoRefresh_Intervals READ AutoRefreshIntervals
                   WRITE SetAutoRefreshIntervalsProperty)
    Q_PROPERTY(TModulFormStatusBar _BtStatusBar READ BtStatusBar WRITE SetBtStatusBar)
    Q_PROPERTY(TVoskClass* _DataSource READ FDataSource WRITE FSetDataSource)
    Q_PROPERTY(TVoskClass* _DataSourceH READ FDataSourceH WRITE FSetDataSourceH)
    Q_PROPERTY(TVoskClass* _DataSourceF READ FDataSourceF WRITE FSetDataSourceF)
    Q_PROPERTY(TVoskClass* _DokumentClass READ DokumentClass WRITE FSetDokumentClass)
    Q_PROPERTY(Vcl::TForm* _ParentForm READ GetParentForm STORED false)
    Q_PROPERTY(QWidget* _VoskDBGrid READ VoskDBGrid WRITE SetVoskDBGrid)
    Q_PROPERTY(bool _ManualLayoutLoading MEMBER _ManualLayoutLoading)
    Q_PROPERTY(bool _With_WorkModes READ WithWorkModes WRITE SetWithWorkModes)
    Q_PROPERTY(QMenu* _ToolsPopup READ ToolsPopup WRITE SetToolsPopup)
    Q_PROPERTY(TSettingsModul* _SettingsModul READ SettingsModul WRITE AssignSettingsModul)
    Q_PROPERTY(bool _AllowEmptyF3 MEMBER _AllowEmptyF3)

public:
    explicit TTopLabelFrame(QObject* owner, QWidget* parent = nullptr);
    ~TTopLabelFrame() override;

    // Components, in the order of the frame's resource.
    TPanel* PanelTop;
    QWidget* pnlTopButtons;
    TPanel* pnlFilterTabs;
    TVoskTabControl* tcFilter;
    TPanel* PrintBar;
    QToolButton* PrintBt;
    QToolButton* PrintBtFullAuto;
    TPanel* PanelCaption;
    QLabel* Toplabel;
    QToolButton* btMode;
    TVoskDBNavigator* DBN1;
    QToolButton* BtTools;
    QToolButton* btGrid;
    QToolButton* btGridFilter;
    QToolButton* BtShowShortHelp;
    QToolButton* btSearchData;
    QToolButton* btAutoRefresh;
    QToolButton* btDockUndock;
    QToolButton* btNewOpen;
    QToolButton* BtSettingsModul;
    QToolButton* btCopyEdits;
    QToolButton* InfoBt;
    TPanel* PanelShortHelp;
    QLabel* LabelShortHelp;
    QLabel* ImageShortHelp;
    TVoskPopupMenu* PopupTools;
    TVoskMenuItem* moBearbeitenSondfunc;
    TVoskPopupMenu* PopupGridSettings;
    TVoskPopupMenu* pmGridFilter;
    TVoskTimer* tmrEnablePrintBt;
    TVoskPopupMenu* pmAutoRefresh;
    TVoskTimer* VoskTimerRefresh;
    TVoskPopupMenu* PopUpCopyPaste;
    TVoskMenuItem* moCopyEdits;
    TVoskMenuItem* moPasteEdits;

    // Hooks; a handler refuses the action by throwing.
    TNotifyEvent OnBeforeInsertExecute;
    TNotifyEvent OnBeforeCancelExecute;
    TNotifyEvent OnBeforePostExecute;
    TNotifyEvent OnBeforeNavigate;
    TNotifyEvent OnBeforePrintBtClick;
    TNotifyEvent OnInfoBtClick;
    TDokumentSelectDoktype OnDokumentSelectDoktype;
    TDokumentAfterPost OnDokumentAfterPost;
    TPrintNotifyEvent OnPrintBtClick;

    // Caption.
    int FGetTextNr() const { return m_textNr; }
    void FSetTextNr(int nr);
    QString GetCaption();

    int ShortHelpTxtNr() const { return m_shortHelpTxtNr; }
    void SetShortHelpTxtNr(int nr);
    void BtShowShortHelpClick();
    void tcFilterVisibleChange();

    // Navigator buttons.
    bool BtSkip() const;
    void SetBtSkip(bool on);
    bool BtInsert() const;
    void SetBtInsert(bool on);
    bool BtPost() const;
    void SetBtPost(bool on);
    bool BtRefresh() const;
    void SetBtRefresh(bool on);
    bool BtDelete() const;
    void SetBtDelete(bool on);
    void CheckNavVisible();

    bool BtAutoRefresh() const { return m_btAutoRefresh; }
    void SetBtAutoRefresh(bool on);
    TAutoRefreshIntervalsProperty* AutoRefreshIntervals() const { return m_intervals; }
    void SetAutoRefreshIntervalsProperty(TAutoRefreshIntervalsProperty* value);
    bool StoredAutoRefreshIntervalsProperty() const;
    bool _AutoRefreshActive = false;

    TModulFormStatusBar BtStatusBar() const;
    void SetBtStatusBar(TModulFormStatusBar value);

    // Data classes.
    TVoskClass* FDataSource() const;
    void FSetDataSource(TVoskClass* value);
    TVoskClass* FDataSourceH() const;
    void FSetDataSourceH(TVoskClass* value);
    TVoskClass* FDataSourceF() const;
    void FSetDataSourceF(TVoskClass* value);
    TVoskClass* DokumentClass() const { return m_dokumentClass; }
    void FSetDokumentClass(TVoskClass* value);

    Vcl::TForm* GetParentForm() const;
    // The data class the user works in: the one behind the focused control, else the main one.
    TVoskClass* GetCurrentClass() const;
    QString GetAlternativeTableName(TVoskClass* dataClass) const;

    QWidget* VoskDBGrid() const { return m_grid; }
    // Throws unless value is one of the system's data grids.
    void SetVoskDBGrid(QWidget* value);

    bool _ManualLayoutLoading = false;
    bool _AllowEmptyF3 = false;
    bool WithWorkModes() const { return m_withWorkModes; }
    void SetWithWorkModes(bool on);
    QMenu* ToolsPopup() const { return m_toolsPopup; }
    void SetToolsPopup(QMenu* menu);
    TSettingsModul* SettingsModul() const { return m_settingsModul; }
    void AssignSettingsModul(TSettingsModul* value);

    // Work mode: true saves without asking.
    bool _Write() const { return m_write; }
    void FSetWrite(bool value);
    void btModeClick();
    bool _PrintBar() const;
    bool FormAusgedockt = false;
    bool HinweisAlsDialog() const;

    // Navigator pre-action and follow-up.
    void DBN1BeforeAction(QObject* sender, NavBtn button);
    void DBN1Click(QObject* sender, NavBtn button);

    void SaveCompSettings(QObject* parent) override;
    void LoadCompSettings(QObject* parent) override;

    // Filled in by the header's grid menu, auto refresh and actions.
    void LoadGridSettings();
    void LoadAutoRefreshSettings();
    void UpdateDockUndockHint();

    // Auto refresh (TopLabel.AutoRefresh.cpp).
    TVoskMenuItem* moAutoRefreshOff = nullptr;
    TVoskMenuItem* moAutoRefreshFast = nullptr;
    TVoskMenuItem* moAutoRefreshMedium = nullptr;
    TVoskMenuItem* moAutoRefreshSlow = nullptr;
    void pmAutoRefreshPopup();
    void OnAutoRefreshClick(QObject* sender);
    void VoskTimerRefreshTimer();
    QString AutoRefreshKey(TVoskClass* tested) const;
    // Grid menu and filter tabs.
    TVoskMenuItem* moTabFilter = nullptr;
    void moTabFilterClick(QObject* sender);
    // moGruppierung, moFooter, moTxtVorschau, moAufklappen, moZusammenfalten.
    TGridViewMenu GridViewItems;
    void moTxtVorschauClick();
    void moConditionalFormatingClick();
    // The rest of the grid menu (TopLabel.GridMenu.cpp).
    TVoskMenuItem* moExportieren = nullptr;
    TVoskMenuItem* moDrucken = nullptr;
    TVoskMenuItem* moOptimaleBreite = nullptr;
    TVoskMenuItem* moLayoutLoad = nullptr;
    TVoskMenuItem* moLayoutSave = nullptr;
    TVoskMenuItem* moLayoutDelete = nullptr;
    TVoskMenuItem* moLayoutLocalFavor = nullptr;
    TVoskMenuItem* moLayoutGlobalLoad = nullptr;
    TVoskMenuItem* moLayoutGlobalSave = nullptr;
    TVoskMenuItem* moLayoutGlobalDelete = nullptr;
    void CreateGridMenuItems();
    void PopupGridSettingsPopup();
    void moExportierenClick();
    // The grid menus' export to a workbook: rights, save dialog from the folder last used (kept
    // under folderKey), the workbook opened afterwards and, when asked, the program minimised.
    static void ExportGrid(QWidget* grid, QWidget* dialogParent, const QString& formClass,
                           const QString& folderKey, bool minimizeAfterOpen);
    void moDruckenClick();
    void moOptimaleBreiteClick();
    void moLayoutLoadClick(QObject* sender);
    void moLayoutSaveClick(QObject* sender);
    void moLayoutDeleteClick(QObject* sender);
    void moLayoutLocalFavorClick();
    void tcFilterChange();
    // ---- special functions and settings button (TopLabel.SondFunc.cpp) ------------------------
    QFrame* bvBtTools = nullptr;       // separators that follow their buttons
    QFrame* bvPrintBar = nullptr;
    QFrame* bvSettingsModul = nullptr;
    QPointer<TSondFunc> SondFunc1;
    // The caption-bar buttons of the special functions marked as menu buttons, made once.
    void LoadSondFuncs();
    QList<TVoskButton2*> SondFuncButtons() const;
    // Runs the special function whose id the sender (a TVoskButton2 or TVoskMenuItem) carries.
    void SondFuncClick(QObject* sender);
    // Whether the tools button has something to offer.
    bool CheckCurrentClassSondFunc();

    // The module form's read-only flag, as the work mode needs it; set by the module form.
    static std::function<bool(const QWidget* form)> FormReadOnlyProc;
    // Resets the module form's status bar; set by the module form.
    static std::function<void(QWidget* form)> ResetStatusBarProc;

    // Opens the record information window of the current record, on the properties page for the
    // properties button and its menu entry, else on the notes; returns it (null when none).
    TMenuForm* ShowHistorie(QObject* sender);
    // ---- tools popup (F3) ----------------------------------------------------------------
    // Opens PopupTools below sender (BtTools when null); another anchor does nothing while the
    // user works in the main data class.
    void BtToolsClick(QObject* sender);
    void BtToolsMouseUp(Qt::MouseButton button);
    // Fills PopupTools each time it opens.
    void PopupToolsPopup();
    void moBearbeitenSondfuncClick();
    // The control PopupTools was opened from.
    QPointer<QWidget> PopupToolsAnchor;
    // Checks the conditions of the special functions; parameters come from the form.
    std::unique_ptr<TVoskQuery2> SqlCheckCond;

    // Filled by the units that own them; an entry whose slot is empty tells the user so.
    // Runs the special function whose id is the sender's data value.
    static std::function<void(TTopLabelFrame* frame, QObject* sender)> SondFuncClickProc;
    // Opens the record information of the current record (sender: the item that asked).
    static std::function<void(TTopLabelFrame* frame, QObject* sender)> ShowHistorieProc;
    // Opens the special-function editing window of a data class's control.
    static std::function<void(TVoskClass* dataClass)> ShowControlWindowProc;

    // ---- header actions ------------------------------------------------------------------
    void PrintBtMouseUp(QObject* sender, Qt::MouseButton button, Qt::KeyboardModifiers shift);
    void InfoBtClick(QObject* sender);
    void InfoBtMouseUp(QObject* sender);
    void btDockUndockClick();
    void btNewOpenClick();
    void btSearchDataClick(Qt::KeyboardModifiers shift);
    void moCopyEditsClick();
    void moPasteEditsClick();
    void ToplabelDblClick();
    // Called by the document window once a document was stored for the record.
    void DoDokumentAfterPost(TDokument*& Dokument, const QString& DokuType,
                             const QString& Filename);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

public:

private:
    void ResetParentStatusBar();
    void UpdateVisibleFlag(bool withDoku);
    bool IsLoadingOrDesigning() const;
    void WireActions();
    // The edits whose values copy and paste carry: the form's and its frames'.
    QList<QWidget*> CopyPasteEdits() const;
    void SetNavButtons(NavBtnSet buttons, bool on);

    int m_textNr = 0;
    int m_shortHelpTxtNr = 0;
    bool m_btRefresh = false;
    bool m_btAutoRefresh = false;
    bool m_write = false;
    bool m_withWorkModes = true;
    TAutoRefreshIntervalsProperty* m_intervals = nullptr;
    std::unique_ptr<TAutoRefreshMenu> m_autoRefresh;
    void CreateMenuItems();
    NavBtnSet m_navButtons;
    QPointer<TVoskClass> m_dokumentClass;
    QPointer<QWidget> m_grid;
    QPointer<QMenu> m_toolsPopup;
    TSettingsModul* m_settingsModul;
    QIcon m_iconSaveMode, m_iconFastMode, m_iconReadOnly;
};

namespace TopLabel {
// Puts `TTopLabelFrame` on the IDE's palette page "Korvex-Zusätzlich".
void Register();
} // namespace TopLabel

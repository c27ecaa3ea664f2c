#pragma once
// The window class of every ERP module: an MDI child of the main window, or a window of its own
// when the user has undocked it. It adds to the base form the header frame, a status bar with its
// record buttons, an alert window for short messages, the save question on every data class, the
// refresh of flagged data classes whenever the window is activated, a read-only mode and a paint
// lock.
//
// Modules derive from it, build their controls into ModulLayout() in their constructor and are
// made with TFormKorvexGundForm::Create<T>(owner, parameters); ShowModulForm puts them on screen.

#include "TVoskSpeedButton.h"
#include "TVoskStatusBar.h"
#include "TfrmToDesignBase.h"
#include "RtlDialog.h"
#include "TopLabel.h"
#include "UGrundModulForm.h"
#include "UDM1.h"

#include <HookSlot.h>

#include <QPointer>
#include <QRect>

#include <functional>
#include <QString>

class QBoxLayout;
class QToolButton;
class TVoskAlertWindow;
class TVoskAlertWindowManager;
class TVoskClass;
class TVoskPipeline;
class TVoskQuery2;
class TVoskTimer;
class TSoftlink;


// What a document preview calls to reach its module form.
class IModulFormPreview {
public:
    virtual ~IModulFormPreview() = default;
    virtual void StartDMSFromPreview(QWidget* preview) = 0;
};

// What a report component of a module form offers, so that the form can refresh the report the
// user looks at.
class IReportRefresh {
public:
    virtual ~IReportRefresh() = default;
    virtual void RefreshReport(bool force) = 0;
    // Whether this is the report the form shows now.
    virtual bool IsActiveReport() const = 0;
};

class TModulForm : public TFormKorvexGundForm, public IModulFormPreview, public IModulInfo {
    Q_OBJECT
public:
    explicit TModulForm(QObject* owner = nullptr, QWidget* parent = nullptr);
    ~TModulForm() override;

    // Components of the form resource, in order.
    TTopLabelFrame* TopLabel;
    TVoskStatusBar* StatusBar1;
    QWidget* StatusBar1ContainerAuditLog;
    QWidget* StatusBar1ContainerBtWvod;
    QWidget* StatusBar1ContainerBtDoku;
    QWidget* StatusBar1ContainerBtHistorie;
    QWidget* StatusBar1ContainerBtEigenschaften;
    QWidget* StatusBar1ContainerBtSoftlink;

    QString LastOID;
    QString LastHintID;
    QString LastDokuID;
    // The data classes' read clock (TVoskClass::ReadAt) when the window was last left and when
    // its activation last refreshed the records.
    quint64 m_deactivatedAt = 0;
    quint64 m_refreshedAt = 0;
    int MainMenuID = -1;
    TVoskSpeedButton* BtAuditLog = nullptr;
    QToolButton* BtWvod = nullptr;
    TVoskSpeedButton* BtDoku = nullptr;
    TVoskSpeedButton* BtHistorie = nullptr;
    TVoskSpeedButton* BtEigenschaften = nullptr;
    TVoskSpeedButton* BtSoftlink = nullptr;
    TVoskPopupMenu* pmuSoftlink = nullptr;
    TVoskPopupMenu* pmAlertWindow = nullptr;
    TVoskMenuItem* pmCopyMessage = nullptr;
    TVoskTimer* TimerShowWvodDokuHint = nullptr;
    QObject* BalloonHintWVOD = nullptr;
    QPointer<TVoskAlertWindow> AlertWindow;
    TVoskAlertWindowManager* dxAlertWindowManager = nullptr;
    TVoskPopupMenu* PopUpWVODDate = nullptr;

    // Where a module puts its controls, between the header and the status bar.
    QBoxLayout* ModulLayout() const { return m_modulLayout; }
    bool FFormReadOnly() const { return m_formReadOnly; }
    int FFormUpdateCount() const { return m_formUpdateCount; }

    void FormCreate(QObject* sender) override;
    void FormShow(QObject* sender) override;
    void FormActivate(QObject* sender) override;
    void FormDeactivate(QObject* sender) override;
    void FormClose(QObject* sender, Vcl::TCloseAction& action) override;
    void FormDestroy(QObject* sender) override;
    // After the base form's keys: Ctrl+P prints, F3 opens the tools, F4 the record information.
    void FormKeyDown(QObject* sender, int& Key, Qt::KeyboardModifiers Shift) override;
    // A read-only module keeps its tools hidden whatever the rights say.
    void DoAdminState() override;
    void StartVoskComponent(QWidget* form, QObject* component, bool dashboard = false) override {
        TFormKorvexGundForm::StartVoskComponent(form, component, dashboard);
    }

    // Re-reads the current record of every flagged data class (the posted activation message).
    void FormActivateRefreshDataSet_WM();

    void BeginUpdate();
    void EndUpdate();
    // Switches the module to read-only for good.
    virtual void SetFormReadOnly();

    // Shows a message in the alert window of the first visible module form.
    static void AllertWindowWVOD(const QString& caption, const QString& text, int imageIndex);
    void AlertWindowSetPosition();
    void pmCopyMessageClick();

    // Makes the status bar reload everything for the next record shown.
    void ResetStatusBar();
    static QObject* MyButton(QObject* form);

    // The save question before a data class posts; a refusal aborts the post.
    void AskBeforePost(TVoskClass* sender);
    // Opens the document window of the document class's record; sender is the status-bar
    // button, a scan button or a document viewer (whose data class and node it then uses).
    virtual void BtDokuClick(QObject* sender);
    void StartDMSFromPreview(QWidget* preview) override;

    // The record the header's data class stands on, for report scripts.
    QString ModulInfoId() const override;
    QString ModulInfoKeys() const override;
    QString ModulInfoTable() const override;
    // Soft-link menu and module link. GetModulLink: 0 the link to this module and record, 1 its
    // description; any other index gives an empty text.
    QString GetModulLink(int index);
    void miModulLinkCopyClick();
    void miModulLinkMailSendClick();
    void pmuSoftlinkPopup();
    void miSoftlinkClick(QObject* sender);
    void BtSoftlinkClick(QObject* sender);
    TSoftlink* Softlink() const { return FSoftlink; }
    // Entries the menu makes each time it opens; null while it has not.
    QPointer<TVoskMenuItem> miTrenner, miModulLinkGroup, miModulLinkCopy, miModulLinkMailSend;

    static constexpr int WM_ActivateRefresh = 0x0400 + 1;

    // Status bar: the timer's tick (who created and edited the record, the user's next
    // resubmission, notes, properties, soft links and documents), the resubmission menu and
    // dialog and the buttons' handlers.
    void TimerFastHelpTimer(QObject* sender);
    void PopUpWVODDatePopup();
    void BtWvodClick(QObject* sender);
    void BtAuditLogClick(QObject* sender);
    void BtHistorieClick(QObject* sender);
    void BtEigenschaftenClick(QObject* sender);
    // Font colours of the status-bar buttons: something to show, nothing to show.
    static QColor StatusColorSet();
    static QColor StatusColorEmpty();
    // The report the user looks at: the last owned component offering a report refresh that says
    // it is the active one; null when there is none.
    IReportRefresh* GetReportInterface() const;
    // Refreshes that report; a failure is logged, not shown.
    void Report_Refresh();
    // Binds the parameters of query from the form's values under the source name "OwnerForm".
    void FillParams(TVoskQuery2& query);
    // Fits a window that is larger than the area it lives in (the MDI area when docked, the free
    // part of its screen otherwise) into that area; only a form with a tool window, not while it
    // is loading, and never a maximised or minimised one.
    void CorrectMaxCoord();
    // The banner a debugging developer sees: while it is there, the activation refresh only lists
    // what it would re-read; a click removes it.
    void CreateDislabledDebugButton();
    // Whether a debugger is attached; tests set it, empty asks the process itself.
    static inline std::function<bool()> DebuggerPresentProc;
    // Fired after the window was docked into the main window or undocked from it; the sender is
    // the header frame whose button did it.
    std::function<void(QObject* sender)> OnDockChanged;

protected:
    void customEvent(QEvent* e) override;
    void moveEvent(QMoveEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    void CreateStatusBar();
    void ApplyDocking();
    void ApplyPopupParent();
    void CreateStatusBarButtons();
    TVoskSpeedButton* CreateStatusBarButton(QObject* owner, QWidget* container, int textNr,
                                            bool highlighted, const QString& name);
    void AttachSaveQuestion();
    void AttachSaveQuestionTo(TVoskClass* c);
    void CreateSoftlink();
    void ConnectStatusBar();
    void FastHelpTick();
    // The questions of a tick go to the server together (one round trip); each part queues its
    // queries and hands back what to do with the answers.
    std::function<void()> FastHelpRecord(TVoskPipeline& pipeline, TVoskClass* data,
                                         const QString& table, const QString& key);
    std::function<void()> FastHelpDoku(TVoskPipeline& pipeline, bool hasRecord);

    QBoxLayout* m_modulLayout = nullptr;
    TSoftlink* FSoftlink = nullptr;
    bool m_formReadOnly = false;
    int m_formUpdateCount = 0;
    bool m_fittingMax = false;
};

// The module form activated last; null when it has closed.
extern QPointer<TModulForm> LastModulForm;

namespace UModulForm {
// Makes `TModulForm`, `TFormKorvexGundForm`, `TKorvexF2Form` and `TKorvexF2EditForm` known by name
// and to the form designer, without palette buttons.
void Register();
// Puts a module form on screen: an MDI child into the main window's MDI area, any other form (an
// undocked one, or every form when the main window has no MDI area) as a window of its own.
void ShowModulForm(TModulForm* form);
// Makes a module form and puts it on screen; what its start and its first show log is written
// in one statement.
template <class T> T* OpenModulForm(QObject* owner, const QStringList& parameters) {
    const TDM1::TLogBatch logBatch(DM1());
    T* form = TFormKorvexGundForm::Create<T>(owner, parameters);
    ShowModulForm(form);
    return form;
}
// The docking decision of a new module form from its parameters: true for an undocked window.
bool HasPositionParameters(const TQ32GrundForm* form);
// Where window goes when it is larger than area: a side that does not fit takes the area's extent
// in that direction; a side that fits keeps its size and place.
QRect FitLargerIntoArea(const QRect& window, const QRect& area);
} // namespace UModulForm

#pragma once
// How modules are started, found and closed, and the entry points into the ERP's module libraries:
// the F2 lookup, the edit table, runtime forms, report and grid printing and the shortcut routines
// that open other modules on a key. Module libraries are reached by library and procedure name;
// procedures that are needed again are bound once and kept in the variables below.

#include "UModulForm.h"

#include "TVoskMainMenuSql.h"
#include "Umigration.h"

#include <QPointer>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class QImage;
class TKorvexF2Form;
class TVoskClass;
class TVoskDBGrid2;

// A module form that takes new start parameters when it is reused for a further start.
class IVoskModuleStartParams {
public:
    virtual ~IVoskModuleStartParams() = default;
    virtual void SetModuleStartParams(const QStringList& nameValueLines) = 0;
};

// Walks the open forms that match: by exact class ("ClassType"), by class or module name
// ("ClassName"), every form ("All") or the undocked module windows ("Undocked"). Each step rescans
// the screen, so forms may close or open during the walk; a form is returned at most once.
class TModulesEnumerator final {
public:
    TModulesEnumerator(const QList<const QMetaObject*>& classTypes, bool IgnoreModal = false);
    TModulesEnumerator(const QStringList& classNames, bool IgnoreModal = false);
    static TModulesEnumerator CreateMask(const QString& ClassMask, bool IgnoreModal,
                                         const QStringList& IgnoreClassNames = {});

    bool MoveNext();
    Vcl::TForm* GetCurrent() const { return m_current; }
    TModulesEnumerator& GetEnumerator() { return *this; }

    struct Iterator {
        TModulesEnumerator* e;
        Vcl::TForm* operator*() const { return e->GetCurrent(); }
        Iterator& operator++() {
            if (!e->MoveNext())
                e = nullptr;
            return *this;
        }
        bool operator!=(const Iterator& o) const { return e != o.e; }
    };
    Iterator begin() { return Iterator{MoveNext() ? this : nullptr}; }
    Iterator end() { return Iterator{nullptr}; }

private:
    TModulesEnumerator() = default;
    bool FIgnoreModal = false;
    QString FClassMask;
    QList<const QMetaObject*> FClassTypes;
    QStringList FClassNames;
    // Serials of the forms returned: never reused, unlike addresses.
    QSet<int> FEnumerated;
    QPointer<Vcl::TForm> m_current;
};

// Holds one component and forgets it when the component is freed.
class TLinkComponent final : public QObject {
    Q_OBJECT
public:
    explicit TLinkComponent(QObject* link, QObject* owner = nullptr);
    QObject* Link() const { return m_link; }

private:
    QPointer<QObject> m_link;
};

// ---- lookup ---------------------------------------------------------------------------------

// Runs before a lookup takes its choice; throwing refuses it. Shared, so a lookup that stays open
// after MakeF2 returned still holds a live callback.
using TMakeF2Callback = std::function<void(TKorvexF2Form* form)>;
using TMakeF2Event = std::shared_ptr<const TMakeF2Callback>;

struct TF2Result {
    QPointer<QObject> F2Query;
    QPointer<QObject> _F2RckFields;
    QPointer<QWidget> F2Grid;
    QPointer<TKorvexF2Form> F2Form;
    QPointer<QWidget> F2SearchEd;
    QPointer<QWidget> F2Form_BtOk;
    QPointer<QWidget> F2Form_BtAbort;
    QPointer<QWidget> F2Form_BtClose;
    // The chosen value of a modal lookup (the first returned field); empty when none was chosen.
    QString Value;

    // 1 OnBeforeOK, 2 OnOK, 3 OnCancel; nothing for other indexes or without a form.
    TMakeF2Event GetEvent(int index) const;
    void SetEvent(int index, TMakeF2Event event);
    // The returned fields, opened first when they are a data class that is not open.
    QObject* GetF2RckFields() const;
    // The open (visible) module "TF2EditForm", or null.
    static class TKorvexF2EditForm* GetF2EditForm();
};

enum TF2Type { f2tNone, f2tFromDB };

// The lookup form that the lookup library derives from.
class TKorvexF2Form : public TVoskBaseForm {
    Q_OBJECT
public:
    explicit TKorvexF2Form(QObject* owner = nullptr, QWidget* parent = nullptr);

    TF2Type Typ = f2tNone;
    QString ModulName;
    QString FeldName;
    QPointer<QWidget> OwnerModul;
    QPointer<QObject> OwnerFeld;
    TMakeF2Event FOnBeforeOK, FOnOK, FOnCancel;
    TF2Result F2Result;
    QStringList ExecRtfResult;
    Vcl::TCloseAction CloseF2FormAction = Vcl::caFree;

    virtual void StartSearch() = 0;
    // Hands the chosen row to the field the lookup was opened on.
    virtual void TakeResult() = 0;

protected:
    void keyPressEvent(QKeyEvent* e) override;
};

// The edit companion of the lookup.
class TKorvexF2EditForm : public TVoskBaseForm {
    Q_OBJECT
public:
    using TVoskBaseForm::TVoskBaseForm;
};

using TMakeF2Proc = std::function<void(TF2Result& result, QWidget* module, QObject* field,
                                       std::unique_ptr<QStringList> Params__will_be_freed,
                                       TMakeF2Event onBeforeOK)>;
// What a report run hands back: its result lines, how its run-time form was closed and the form
// itself while it lives.
struct TExecRTFResult {
    QStringList Lines;
    int ModalResult = 0;
    QPointer<QWidget> RuntimeForm;
};
using TExecRTFProc =
    std::function<void(TExecRTFResult& result, QStringList& params, QWidget* ownerForm)>;

// ---- edit table ------------------------------------------------------------------------------

using TDataEvent = std::function<void(TVoskClass* sender)>;
using TNotifyEvent = std::function<void(QObject* sender)>;

// What the edit-table library's form offers to its caller.
class IEditTableForm {
public:
    virtual ~IEditTableForm() = default;
    virtual TVoskClass* ServSqlEditTable() const = 0;
    virtual void SetOnUpdateUI(TDataEvent handler) = 0;
    virtual void SetAfterInsert(TNotifyEvent handler) = 0;
    // Pull focusing, multi-selection and check boxes on the grid "GridResult".
    virtual void SetMultiSelect() = 0;
};

// ---- print -----------------------------------------------------------------------------------

// Receives the printed pages of PrintToEvent: the form, the parameters, page and page count, the
// page image and its texts.
using TPrintEvent = std::function<void(QWidget* form, const QStringList& params, int page,
                                       int pages, const QImage& image, const QStringList& texts)>;
using TPrintProc = std::function<bool(
    QWidget* ownerForm, const QString& modulName, const QString& r_pos, bool AutoPrint,
    bool NoAfterRTF, bool NoPrintPreview, bool ShowPrinterSelection, QStringList& params,
    QWidget* viewParent, const TPrintEvent& toEvent)>;
using TPrintGridProc = std::function<void(TVoskDBGrid2* grid, QStringList& params)>;

// ---- exported variables ----------------------------------------------------------------------

using TMainMenuSqlClassRef = std::function<TVoskMainMenuSqlBase*()>;
extern TMainMenuSqlClassRef MainMenuSqlClass; // set by the ERP before the first start
using TDoABKProjStemp = std::function<void(QWidget* vorigesModul, int a2_ab_ix, int a2_n, int, int)>;
extern TDoABKProjStemp DoABKProjStemp;
extern TMakeF2Proc MakeF2Proc;
extern TExecRTFProc ExecRtfProc;
extern TPrintProc PrintProc;
extern TPrintGridProc PrintGridProc;
extern int last_agid;
extern int last_ldid;

// ---- start, find, close ----------------------------------------------------------------------

Vcl::TForm* StartModuleByClass(const QString& FormClassName, const QStringList& _FieldValues,
                               bool OpenNewModule = false, QWidget* vorigesModul = nullptr);
// name=value lines; an empty list starts the module without parameters, as the array form does.
Vcl::TForm* StartModuleByClassList(const QString& FormClassName, const QStringList& nameValueLines,
                                   bool OpenNewModule = false, QWidget* vorigesModul = nullptr);

Vcl::TForm* StartModule(const QString& DLLName, const QString& ProcedureName,
                        const QString& FormClassName, const QStringList& Params);

using TFormFactory = std::function<Vcl::TForm*()>;
Vcl::TForm* CreateOrGetModule(const QMetaObject* formClass, const TFormFactory& create,
                              const QString& ParamName, const QString& ParamValue,
                              const QString& OpenClassName, bool OnlyIfVisible,
                              bool IgnoreOpenNewModule);
template <class T>
T* CreateOrGetModule(const QString& ParamName, const QString& ParamValue,
                     const QString& OpenClassName = {}, bool OnlyIfVisible = false,
                     bool IgnoreOpenNewModule = false) {
    return static_cast<T*>(CreateOrGetModule(
        &T::staticMetaObject, [] { return TFormKorvexGundForm::Create<T>(nullptr); }, ParamName,
        ParamValue, OpenClassName, OnlyIfVisible, IgnoreOpenNewModule));
}
template <class T>
T* CreateOrGetModule(const QString& OpenClassName = {}, bool OnlyIfVisible = false,
                     bool IgnoreOpenNewModule = false) {
    return CreateOrGetModule<T>(QString(), QString(), OpenClassName, OnlyIfVisible,
                                IgnoreOpenNewModule);
}

void StartModuleCycleManagement(const QString& cyc_src_key, const QString& cyc_src_dbrid,
                                const QString& caption);

Vcl::TForm* FindModule(const QMetaObject* formClass, const QString& ParamName,
                       const QString& ParamValue, bool OnlyIfVisible);
Vcl::TForm* FindModule(const QString& formClassName, const QString& ParamName,
                       const QString& ParamValue, bool OnlyIfVisible);
Vcl::TForm* FindModule(const QMetaObject* formClass, bool OnlyIfVisible = false);
Vcl::TForm* FindModule(const QString& formClassName, bool OnlyIfVisible = false);
Vcl::TForm* FindModuleByModulName(const QString& formClassName, const QString& modulName,
                                  bool OnlyIfVisible = false);
QList<Vcl::TForm*> FindModules(const QMetaObject* formClass);
QList<Vcl::TForm*> FindModules(const QString& formClassName);
QList<Vcl::TForm*> FindModules(const QStringList& formClassNames);

void CloseModule(const QMetaObject* formClass, bool Immediately = false);
void CloseModule(const QList<const QMetaObject*>& formClasses, bool Immediately = false);
void CloseModule(const QString& formClassName, bool Immediately = false);
void CloseModule(const QStringList& formClassNames, bool Immediately = false);

// ---- lookup, edit table, runtime form ---------------------------------------------------------

TF2Result MakeF2(QWidget* module, QObject* field, bool ShowModal, bool MultiSelect,
                 const QString& AutoCallPos, const QStringList& AdditionalParams,
                 const QString& F2Filter, TMakeF2Event OnBeforeOK = {});
TF2Result MakeF2Text(QWidget* module, QObject* field, bool ShowModal, bool MultiSelect,
                     const QString& AutoCallPos, const QString& AdditionalParams,
                     const QString& F2Filter, TMakeF2Event OnBeforeOK = {});
TF2Result MakeF2Array(QWidget* module, QObject* field, bool ShowModal, bool MultiSelect,
                      const QString& AutoCallPos, const QStringList& AdditionalPairs,
                      const QString& F2Filter, TMakeF2Event OnBeforeOK = {});

struct TEditTableFlags {
    bool SmallMenu = false, NoStatus = false, ReadOnly = false, MultiSelect = false;
};
struct TEditTablePosition {
    int Left = 0, Top = 0, Width = 0, Height = 0;
};
// additional: name=value lines. Flags and position are written only when given.
Vcl::TForm* MakeEditTable(QWidget* ownerForm, const QString& ModulID, const QString& Caption,
                          const QString& RTF, const QString& SQL, const QStringList& additional,
                          const TDataEvent& OnUpdateUI = {}, const TNotifyEvent& AfterInsert = {},
                          const TEditTableFlags* flags = nullptr,
                          const TEditTablePosition* position = nullptr);
// Below control CPos, 10 pixels further left.
TEditTablePosition EditTablePositionBelow(const QWidget* CPos, int Width, int Height);
Vcl::TForm* MakeEditTableByClass(const QString& mm_formclassname, const TDataEvent& OnUpdateUI = {});
Vcl::TForm* MakeEditTableById(int mm_id, const QStringList& additional = {},
                              const TDataEvent& OnUpdateUI = {});
Vcl::TForm* FindOrLoadEditTable(int mm_id);
Vcl::TForm* FindOrLoadEditTable(const QString& mm_formclassname);

// Params is freed and set to null, also on failure.
void ExecuteRTF(int RTFNr, QStringList*& Params, bool ExecResultInQuery, QWidget* OwnerForm,
                bool FillEditsWithParamValues);
void ExecuteRTF(int RTFNr, const QStringList& pairs, bool ExecResultInQuery, QWidget* OwnerForm,
                bool FillEditsWithParamValues);
void ExecuteRTF(int RTFNr, QWidget* OwnerForm, bool OkMessageBox);
// The report with its parameters, for callers that read how it ended.
TExecRTFResult ExecuteRTFEx(int RTFNr, const QStringList& params, QWidget* OwnerForm);

// ---- print -----------------------------------------------------------------------------------

bool Print(QWidget* ownerForm, const QString& ModulName_Empty_Is_Default, const QString& r_pos,
           bool AutoPrint, bool NoAfterRTF, QStringList* Params, bool NoPrintPreview,
           bool ShowPrinterSelection);
bool PrintArray(QWidget* ownerForm, const QString& ModulName_Empty_Is_Default,
                const QString& r_pos, bool AutoPrint, bool NoAfterRTF, const QStringList& pairs,
                bool NoPrintPreview, bool ShowPrinterSelection);
bool Print(QWidget* ownerForm, const QString& modulName, const QString& r_pos, bool AutoPrint);
bool PrintToView(QWidget* ownerForm, const QString& modulName, const QString& r_pos,
                 const QStringList& pairs, QWidget* ViewParent);
bool PrintToImage(QWidget* ownerForm, const QString& modulName, const QString& r_pos,
                  const QStringList& pairs);
// The callback travels beside the parameters, never as text.
bool PrintToEvent(QWidget* ownerForm, const QString& modulName, const QString& r_pos,
                  bool AutoPrint, const QStringList& pairs, const TPrintEvent& Proc);
bool PrintZDok(QWidget* ownerForm, const QString& modulName, const QString& rl_id, bool AutoPrint,
               bool NoAfterRTF, const QStringList& pairs, bool NoPrintPreview,
               bool ShowPrinterSelection);
void PrintGrid(TVoskDBGrid2* grid, const QString& Caption);
void PrintGrid(TVoskDBGrid2* grid, const QString& Caption, QStringList*& Params);

// ---- shortcuts -------------------------------------------------------------------------------

void LoadArt(const QString& ak_nr);
void LoadAdk(const QString& ad_krz);
void LoadKS(const QString& ks_abt);
void RaiseNewArt(const QString& ak_nr);
void RaiseNewAdk(const QString& ad_krz);
void RaiseNewKS(const QString& ks_abt);
bool RaiseNewRecord(QWidget* FocusToIfNo);
void LoadBest(int ld_id);
void LoadBest(const QString& ld_code, const QString& ld_auftg, const QString& ld_pos);
void LoadAuftg(int ag_id);
void LOOKSTUECKL(const QString& ResID, bool Rm, bool OptArt, double Menge, const QString& Revision,
                 bool FertFields, double o7korrfakt, bool mitKalku);
void ABK_AusTerm(int Ix);

namespace UModulFormStart {
// A number as the module libraries read it: the user's decimal separator, no thousands separator,
// up to 15 significant digits.
QString FloatToStr(double v);
} // namespace UModulFormStart

namespace UModulForm {
// Brings a control's page and parents into view and focuses it.
void SetFocusAndMakeVisible(QWidget* control);
// Moves the form's focus to the next control, as the Tab key does.
void SetFocusToNextControl(QWidget* form);
// Whether a new docked window hides the previous undocked one: the previous frame shrunk by 15
// pixels per side against the new frame, both in global coordinates.
bool PreviousModuleCovered(const QRect& previousGlobal, const QRect& newGlobal);
// A widget's frame rectangle in global coordinates (an MDI child's subwindow, mapped through its
// MDI viewport).
QRect GlobalFrameRect(const QWidget* form);
} // namespace UModulForm

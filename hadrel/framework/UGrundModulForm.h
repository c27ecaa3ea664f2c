#pragma once
// The base form of every module window and of most dialogs. It adds to the common base form a
// floating tool window with the form's tool bar, the window position per form class in the
// registry, the close question for pending edits, the hint translation, clean-up of variables that
// point at the form, and one deferred call to the host after creation.
//
// Create forms with Create<T>(owner, parameters): the constructor builds the form resource, then
// FormCreate runs with the parameters in place (as the form resource fires OnCreate once the form
// is built). A derived form overrides FormCreate and calls the base one first.

#include "Q32GrundForm.h"

#include <QPointer>
#include <QRect>
#include <QSize>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

class QBoxLayout;
class TFormKorvexGundForm;
class TPanel;
class TToolBar;
class TVoskTimer;
class TVoskToolButton;
class TVoskClass;
class TQ32Control;
class TVoskDBGrid2;
class TVoskDBTreeView2;

// The floating window that carries a base form's tool bar.
class TToolForm final : public TVoskBaseForm {
    Q_OBJECT
public:
    explicit TToolForm(QObject* owner);
    bool FIsPopupMenuOpen = false;
    // Records the owner form's focus state, then takes the focus.
    void SetFocus();
    // Shows the window without taking the activation from the active one, also where the
    // window system activates every window shown.
    void ShowInactive();

protected:
    bool event(QEvent* e) override;

private:
    QPointer<QWidget> m_keepActive;
};

// Replaces the hints of its owner's components by the texts in the user's language.
class TTranslationCombo final : public QObject {
    Q_OBJECT
public:
    explicit TTranslationCombo(QObject* owner);
    static void SetComponentTranslation(QObject* component);
    // The translation of one hint; empty when there is none to apply.
    static QString TranslateHint(const QString& hint);
};

using TModuleGetIconProc = std::function<void(TFormKorvexGundForm* form)>;

// Exported unit variables, set by the host.
extern bool SimpleStyle;                       // MDI children neither load nor save positions
extern bool _MaxWindows;                       // MDI children open maximized
extern QString LookAndFeelSkin;                // cleared at unit finalization
extern TModuleGetIconProc UpdateModuleIconProc; // called once after a form is created

namespace UGrundModulForm {

// Registry key below which window positions are kept: base + "Module\" + position name.
QString SessionRegistryBase();
void SetSessionRegistryBase(const QString& base);
// Lets the base forms see the keys of their controls first (once per application).
void InstallKeyPreview();
// Whether the automated-test tool drives the program (environment KORVEX_TESTCOMPLETE set).
bool IsTestComplete();

// What the registry holds for one window; values that are missing or no integers stay empty.
struct TStoredPosition {
    std::optional<int> top, left, width, height;
    bool maximized = false;
};
// Reads prefix+"Top" ... prefix+"Maximized" from the key; an unreadable key gives nothing.
TStoredPosition ReadStoredPosition(const QString& key, const QString& prefix);
void WriteStoredPosition(const QString& key, const QString& prefix, bool maximized,
                         const QRect& geometry);

struct TPositionInput {
    bool mdiChild = false;
    Vcl::TPosition position = Vcl::poDefaultPosOnly;
    QRect geometry;         // the form's designed frame geometry
    TStoredPosition stored; // nothing when the registry is not used
    int parTop = -1, parLeft = -1, parWidth = -1, parHeight = -1; // -1: not given
    QSize mainFormSize;     // frame size of the main window
    int mainClientHeight = 0;
    int horzScrollRange = 0; // width the form's content needs
    int ribbonHeight = 0;
};
struct TPositionResult {
    Vcl::TPosition position = Vcl::poDefaultPosOnly;
    QRect geometry;
    bool maximized = false;
    bool defaultSizing = true;
};
// The window's position and size from the stored values, the parameters and the default table.
TPositionResult ComputeFormPosition(const TPositionInput& in);

// How questions name a data class: its table's alias, else the table's name, else its component
// name, else its class name.
QString DataClassCaption(const TVoskClass* data);

// Starts the data components of form, or of one of its frames (startModulOrFrame; null: the
// form): frames, headers, coordinators, grids, page controls, then the F2 definitions of the
// module. Nothing inside the IDE; a "TDashboardModul" frame only with dashboard.
void StartVoskComponent(QWidget* form, QObject* startModulOrFrame, bool dashboard);
// Upper case with umlauts spelled out, as the server's aeoeue_upper.
QString AeoeueUpper(const QString& text);
// The F2 definitions' query; $1 is the module name.
QString F2DefinitionSql();
// Extra start-up steps by class name, for the components of later units (the navigation frame).
using TStartStep = std::function<void(QObject* component)>;
void RegisterStartStep(const QString& className, TStartStep step);
void UnregisterStartStep(const QString& className);
// The admin-state step of the components that later units add (the navigation frame reloads its
// auto-refresh and filter settings); run for each owned component.
std::function<void(QObject* component)>& AdminStateStep();

} // namespace UGrundModulForm

class TFormKorvexGundForm : public TQ32GrundForm {
    Q_OBJECT
public:
    explicit TFormKorvexGundForm(QObject* owner = nullptr, QWidget* parent = nullptr);
    ~TFormKorvexGundForm() override;

    template <class T, class... Args>
    static T* Create(QObject* owner, const QStringList& parameters, Args&&... args) {
        auto* form = new T(owner, std::forward<Args>(args)...);
        form->SetParameters(parameters);
        form->AfterConstruction();
        return form;
    }
    template <class T> static T* Create(QObject* owner = nullptr) {
        return Create<T>(owner, QStringList());
    }

    // Components of the form resource, in order.
    TPanel* PanelToolbars;
    TPanel* PanelTopTool;
    TToolBar* ToolBarGrundForm;
    TVoskToolButton* ToolButtonCloseModule;

    bool FLoading = false;
    QString FPositionLoadName;
    bool FPositionLoaded = false;
    TVoskTimer* FocusTimer = nullptr;
    QPointer<TToolForm> ToolForm;
    bool HideToolForm = false;
    bool EmbeddedToolForm = false;
    bool LoadLastScreenPosition = false;
    bool LoadFormPosition = false;

    // The module lock, set by the host.
    static bool ModuleSperr;

    // The variable is set to null when the form is destroyed.
    template <class T> void AddVariableOfMe(T*& variable) {
        ListOfVariablesOfMe.push_back([&variable] { variable = nullptr; });
    }

    // Where derived forms put their content, right of an embedded tool bar.
    QBoxLayout* ClientLayout() const { return m_clientLayout; }
    QWidget* ClientArea() const { return m_clientArea; }

    bool CloseQuery() override;

    virtual void FormCreate(QObject* sender);
    virtual void FormShow(QObject* sender);
    virtual void FormActivate(QObject* sender);
    virtual void FormDeactivate(QObject* sender);
    virtual void FormClose(QObject* sender, Vcl::TCloseAction& action);
    virtual void FormDestroy(QObject* sender);
    virtual void FormConstrainedResize(QObject* sender);
    void ToolButtonCloseModuleClick(QObject* sender);

    void ToolFormShow(QObject* sender);
    void ToolFormHide(QObject* sender);
    void ToolFormDeactivate(QObject* sender);
    void DoFocusTimer(QObject* sender);

    // Hooks of the component start-up, the lookup and the component settings.
    // The one entry of every F2: the key, an editor's ellipsis button (index: the button) and
    // the grid columns' lookup button. Works out control and column and opens the lookup.
    virtual void F2BtClick(QObject* sender, int index = 0);
    // UGrundModulForm::StartVoskComponent on this form; a null component means the form.
    virtual void StartVoskComponent(QWidget* form, QObject* component, bool dashboard = false);
    // Walks over the components (and, for the form itself, the controls) that keep settings
    // (UGrundModulForm.Components.cpp); FormShow loads, FormClose saves.
    void LoadComponentSettings(QWidget* p, QWidget* c);
    void SaveComponentSettings(QWidget* p, QWidget* c);
    void ReloadComponentSettings(QWidget* p, QWidget* c, const QString& state);
    void LoadControlSettings(QWidget* p, QWidget* c);
    void SaveControlSettings(QWidget* p, QWidget* c);
    void ReloadControlSettings(QWidget* p, QWidget* c, const QString& state);
    virtual void SaveCompSettings(QWidget* control);
    virtual void LoadCompSettings(QWidget* control);
    virtual void ReloadCompSettings(QWidget* control, const QString& state);
    // Shows the admin-only buttons of the header and the settings buttons as the rights say.
    virtual void DoAdminState();
    static void HandleIsAdminEvent(bool isAdmin);
    // Every base form on screen reloads its settings for state, last form first.
    static void DoReloadEvent(const QString& state);

    static void ModulInitialize(QObject* owner);
    static void ModulFinalize();
    // The connection of HandleIsAdminEvent made by ModulInitialize.
    static QMetaObject::Connection& AdminConnection();
    static bool HasAsParent(const QObject* p, const QObject* c);

    bool IsMdiChild() const { return FormStyle() == Vcl::fsMDIChild; }
    // Whether the user works in this form now.
    bool IsFormActive() const;

    // Keys of every control of the form, before the control sees them (Key is a Qt key; a
    // handled key is set to 0 and goes no further). Derived forms call the base first.
    virtual void FormKeyDown(QObject* sender, int& Key, Qt::KeyboardModifiers Shift);
    virtual void FormKeyUp(QObject* sender, int& Key, Qt::KeyboardModifiers Shift);
    // The common Esc step for an editor's coordinator (may be null) and its data source.
    void Q32ControlHandling_ESC(TQ32Control* control, TVoskClass* dataSource, int& Key);
    // The focused control when it is this form's, else the control that last had the focus here.
    QWidget* ActiveControl() const;

protected:
    void AfterConstruction();
    // FormDestroy of the most derived form, once, before destruction begins.
    void BeforeDestruction() override;
    void changeEvent(QEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void WMSize();

private:
    void CreateToolForm();
    void PlaceToolForm();
    void ApplyFormPosition(bool useRegistry);
    void SavePosition();
    // The close question for each data class with pending edits; false for "Abbrechen".
    bool AskSavePending();
    QString PositionPrefix() const;
    QString PositionKey() const;

    std::vector<std::function<void()>> ListOfVariablesOfMe;
    QBoxLayout* m_clientLayout = nullptr;
    QWidget* m_clientArea = nullptr;
    QWidget* m_toolSpace = nullptr; // where the tool window sits
    bool m_created = false;
    bool m_destroyRan = false;

    // Parts of FormKeyDown.
    void KeyEscape(QWidget* active, QWidget* editor, TVoskDBGrid2* grid, int& Key);
    void KeyDelete(QWidget* editor, TVoskDBGrid2* grid, int& Key);
    void KeyPreviewText(QObject* sender, QWidget* active, int& Key);
    void KeyPost(QWidget* editor, TVoskDBGrid2* grid, int& Key);
    void KeyF2(QWidget* editor, TVoskDBGrid2* grid, int& Key);
    void KeyF5(QWidget* active, QWidget* editor, int& Key);
    void KeyTreeLine(TVoskDBTreeView2* tree, int& Key);
};

// A form may name the key under which its window position is kept.
class IPositionLoadName {
public:
    virtual ~IPositionLoadName() = default;
    virtual QString PositionLoadName() const = 0;
};

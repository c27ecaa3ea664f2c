#include "UGrundModulForm.h"

#include "DMSys.h"
#include "Korvexcommonvcl.h"
#include "Korvexutils.h"
#include "SysPackages.h"
#include "UDM1.h"
#include "UnitTable.h"
#include "Vcl.Application.h"
#include "Vcl.Components.h"
#include "Vcl.Registry.h"
#include "Vcl.Services.h"
#include "TVoskClass.h"
#include "TVoskPageControl2.h"
#include "TVoskPopupMenu.h"
#include "VoskControls.h"
#include "VoskExceptions.h"
#include "VoskTimer.h"

#include <QApplication>
#include <QBoxLayout>
#include <QFile>
#include <QGuiApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QScopeGuard>
#include <QScreen>
#include <QTimer>
#include <QVariant>

bool SimpleStyle = false;
bool _MaxWindows = false;
QString LookAndFeelSkin;
TModuleGetIconProc UpdateModuleIconProc;
bool TFormKorvexGundForm::ModuleSperr = false;

namespace {

QString BoolName(bool b) { return b ? QStringLiteral("True") : QStringLiteral("False"); }

void Log(const QString& text) {
    if (TDM1* dm = DM1())
        dm->LogEvent(text);
    else
        TLogSink::Add({QDateTime::currentDateTime(), QStringLiteral("EVENT"), 0, {}, text});
}

QString& RegistryBase() {
    static QString base = QStringLiteral("Software\\Korvex\\");
    return base;
}

class EAssertionFailed final : public EVoskException {
public:
    using EVoskException::EVoskException;
    const char* ClassName() const noexcept override { return "EAssertionFailed"; }
};

} // namespace

// ---- position logic -----------------------------------------------------------------------------

namespace UGrundModulForm {

QString SessionRegistryBase() { return RegistryBase(); }
void SetSessionRegistryBase(const QString& base) { RegistryBase() = base; }

bool IsTestComplete() { return !qEnvironmentVariableIsEmpty("KORVEX_TESTCOMPLETE"); }

TStoredPosition ReadStoredPosition(const QString& key, const QString& prefix) {
    TStoredPosition p;
    Vcl::TRegistry reg;
    if (!reg.OpenKeyReadOnly(key))
        return p;
    p.top = reg.TryReadInteger(prefix + QStringLiteral("Top"));
    p.left = reg.TryReadInteger(prefix + QStringLiteral("Left"));
    p.width = reg.TryReadInteger(prefix + QStringLiteral("Width"));
    p.height = reg.TryReadInteger(prefix + QStringLiteral("Height"));
    const auto max = reg.TryReadInteger(prefix + QStringLiteral("Maximized"));
    p.maximized = max && *max != 0;
    return p;
}

void WriteStoredPosition(const QString& key, const QString& prefix, bool maximized,
                         const QRect& g) {
    Vcl::TRegistry reg;
    if (!reg.OpenKey(key, true))
        return;
    reg.WriteBool(prefix + QStringLiteral("Maximized"), maximized);
    // A maximized window keeps the size it had when it was last normal; the offset makes it
    // open visibly apart from the maximized frame.
    if (maximized) {
        reg.WriteInteger(prefix + QStringLiteral("Top"), g.top() + 30);
        reg.WriteInteger(prefix + QStringLiteral("Left"), g.left() + 30);
    } else {
        reg.WriteInteger(prefix + QStringLiteral("Top"), g.top());
        reg.WriteInteger(prefix + QStringLiteral("Left"), g.left());
        reg.WriteInteger(prefix + QStringLiteral("Width"), g.width());
        reg.WriteInteger(prefix + QStringLiteral("Height"), g.height());
    }
    reg.CloseKey();
}

TPositionResult ComputeFormPosition(const TPositionInput& in) {
    using namespace Vcl;
    TPositionResult r;
    r.position = in.position;
    r.geometry = in.geometry;
    const TStoredPosition& s = in.stored;
    if (s.top) {
        r.defaultSizing = false;
        r.position = poDefault;
    }
    // Stored values that are out of range are left to the on-screen correction afterwards;
    // sizes below 1 would make the window vanish.
    if (s.top)
        r.geometry.moveTop(*s.top);
    if (s.left)
        r.geometry.moveLeft(*s.left);
    if (s.width && *s.width > 0)
        r.geometry.setWidth(*s.width);
    if (s.height && *s.height > 0)
        r.geometry.setHeight(*s.height);
    r.maximized = s.maximized;

    const bool posGiven = in.parTop != -1 || in.parLeft != -1;
    const bool sizeGiven = in.parWidth != -1 || in.parHeight != -1;
    if (posGiven)
        r.position = r.position == poDefaultPosOnly ? poDefault : poDefaultSizeOnly;
    if (sizeGiven)
        r.position = r.position == poDefaultSizeOnly ? poDefault : poDefaultPosOnly;

    if (r.defaultSizing) {
        if (in.mdiChild) {
            r.geometry.moveTo(0, 0);
            r.position = poDefault;
        } else {
            r.position = r.position == poDefaultSizeOnly ? poDefault : poDefaultPosOnly;
        }
        const int need = in.horzScrollRange + 50;
        const int mw = in.mainFormSize.width();
        r.geometry.setWidth(mw > 1300 ? std::max(1300, need)
                            : mw > 1100 ? std::max(1150, need)
                                        : std::max(940, need));
        const int mh = in.mainFormSize.height();
        int h = mh >= 1150 ? 1000 : mh >= 1000 ? 850 : in.mainClientHeight - 25 - in.ribbonHeight;
        if (in.position == poMainFormCenter || in.position == poOwnerFormCenter)
            h -= 100;
        r.geometry.setHeight(std::max(h, 100));
    }
    // Parameters come last so that the default table does not undo what the opener asked for.
    if (in.parTop != -1)
        r.geometry.moveTop(in.parTop);
    if (in.parLeft != -1)
        r.geometry.moveLeft(in.parLeft);
    if (in.parWidth > 0)
        r.geometry.setWidth(in.parWidth);
    if (in.parHeight > 0)
        r.geometry.setHeight(in.parHeight);
    return r;
}

} // namespace UGrundModulForm

// ---- tool window and hint translation ---------------------------------------------------------

TToolForm::TToolForm(QObject* owner) : TVoskBaseForm(owner) {}

void TToolForm::ShowInactive() {
    QWidget* active = QApplication::activeWindow();
    m_keepActive = active != this ? active : nullptr;
    show();
    // The activation a window system hands out for the showing arrives later, if at all.
    QTimer::singleShot(250, this, [this] { m_keepActive = nullptr; });
}

bool TToolForm::event(QEvent* e) {
    if (e->type() == QEvent::WindowActivate && m_keepActive) {
        QPointer<QWidget> back = m_keepActive;
        m_keepActive = nullptr;
        back->activateWindow();
    }
    return TVoskBaseForm::event(e);
}

void TToolForm::SetFocus() {
    TQ32GrundForm::FocusError_Init(qobject_cast<QWidget*>(Vcl::Owner(this)));
    activateWindow();
    setFocus();
}

TTranslationCombo::TTranslationCombo(QObject* owner) : QObject(nullptr) {
    Vcl::SetOwner(this, owner);
    if (owner)
        SetComponentTranslation(owner);
}

QString TTranslationCombo::TranslateHint(const QString& hint) {
    // A marker unknown to the text table reads "*"; a plain German hint is its own default.
    const bool marker = hint.startsWith(QLatin1String("xtt"), Qt::CaseInsensitive);
    QString t = makeText(hint, marker ? QStringLiteral("*") : hint);
    if (t.isEmpty())
        return {};
    if (!marker) {
        t.replace(QLatin1String("; "), QLatin1String("\n"));
        t.replace(QLatin1Char(';'), QLatin1Char('\n'));
    }
    return t;
}

void TTranslationCombo::SetComponentTranslation(QObject* c) {
    if (!c)
        return;
    for (QObject* child : Vcl::Components(c))
        if (!qobject_cast<TFormKorvexGundForm*>(child))
            SetComponentTranslation(child);
    // Controls carry their hint as tool tip; grids and other components with a Hint property
    // count too.
    const bool hasHint = qobject_cast<QWidget*>(c) || c->property("Hint").isValid();
    if (!hasHint)
        return;
    const QString hint = Corvale::Hint(c);
    const QString t = TranslateHint(hint);
    if (t.isEmpty())
        return;
    Corvale::SetHint(c, t);
    Corvale::SetShowHint(c, true);
}

// ---- the base form ------------------------------------------------------------------------------

TFormKorvexGundForm::TFormKorvexGundForm(QObject* owner, QWidget* parent)
    : TQ32GrundForm(owner, parent) {
    LoadLastScreenPosition = true;
    setWindowTitle(QStringLiteral("KORVEX ERP"));
    setProperty("HelpContext", 100);
    QFont f(QStringLiteral("Microsoft Sans Serif"));
    f.setPixelSize(11);
    setFont(f);
    resize(567, 479);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);

    PanelToolbars = Vcl::Owned(this, new TPanel(this), QStringLiteral("PanelToolbars"));
    PanelToolbars->SetBevelOuter(false);
    PanelToolbars->setFixedWidth(25);
    Corvale::SetShowHint(PanelToolbars, true);
    PanelToolbars->setVisible(false);
    row->addWidget(PanelToolbars);
    PanelTopTool = Vcl::Owned(this, new TPanel(PanelToolbars), QStringLiteral("PanelTopTool"));
    PanelTopTool->setFixedHeight(217);
    PanelToolbars->Layout()->addWidget(PanelTopTool);
    ToolBarGrundForm = Vcl::Owned(this, new TToolBar(PanelTopTool),
                                  QStringLiteral("ToolBarGrundForm"));
    ToolBarGrundForm->SetButtonHeight(25);
    Corvale::SetShowHint(ToolBarGrundForm, true);
    PanelTopTool->Layout()->addWidget(ToolBarGrundForm);
    PanelTopTool->Layout()->addStretch();
    ToolButtonCloseModule = Vcl::Owned(this, new TVoskToolButton(ToolBarGrundForm),
                                       QStringLiteral("ToolButtonCloseModule"));
    ToolButtonCloseModule->setToolTip(QStringLiteral("xtt3892"));
    ToolButtonCloseModule->SetImageIndex(0);
    ToolBarGrundForm->AddButton(ToolButtonCloseModule);
    connect(ToolButtonCloseModule, &QToolButton::clicked, this,
            [this] { ToolButtonCloseModuleClick(ToolButtonCloseModule); });

    m_clientArea = new QWidget(this);
    m_clientArea->setObjectName(QStringLiteral("ClientArea"));
    m_clientLayout = new QVBoxLayout(m_clientArea);
    row->addWidget(m_clientArea, 1);

    OnShow = [this](QObject* s) { FormShow(s); };
    OnActivate = [this](QObject* s) { FormActivate(s); };
    OnDeactivate = [this](QObject* s) { FormDeactivate(s); };
    OnClose = [this](QObject* s, Vcl::TCloseAction& a) { FormClose(s, a); };
    UGrundModulForm::InstallKeyPreview();
}

TFormKorvexGundForm::~TFormKorvexGundForm() {
    // Deleted without PrepareDestruction: only the base form's part can still run here.
    if (m_created && !m_destroyRan) {
        m_destroyRan = true;
        TFormKorvexGundForm::FormDestroy(this);
    }
}

void TFormKorvexGundForm::BeforeDestruction() {
    if (!m_created || m_destroyRan)
        return;
    m_destroyRan = true;
    FormDestroy(this);
}

void TFormKorvexGundForm::AfterConstruction() {
    // The lines logged while the form starts are written together; its grids' link columns are
    // looked up in one reading.
    const TDM1::TLogBatch logBatch(DM1());
    const TVoskPopupMenu::TLinkModuleScope linkModules;
    try {
        FormCreate(this);
        m_created = true;
    } catch (...) {
        // A form whose creation failed is not left half-built on the screen.
        delete this;
        throw;
    }
}

void TFormKorvexGundForm::FormCreate(QObject*) {
    ListOfVariablesOfMe.clear();
    setWindowTitle(QStringLiteral("KORVEX ERP"));

    // The grid columns' lookup button: whichever form was created last, the lookup is the one of
    // the form that holds the grid.
    TVoskColumnHandler::F2ButtonCode = [](QObject* sender) {
        for (QObject* o = sender; o; o = o->parent())
            if (auto* form = qobject_cast<TFormKorvexGundForm*>(o)) {
                if (!Vcl::IsDestroying(form))
                    form->F2BtClick(sender, 0);
                return;
            }
    };

    setWindowIcon(TDMSys::AppIcon());
    QFont f = font();
    f.setFamily(QStringLiteral("Arial"));
    setFont(f);
    Corvale::SetShowHint(this, true);
    ToolBarGrundForm->SetImages(DMSys()->ImageList());
    ToolBarGrundForm->SetHotImages(DMSys()->ImageListHot());
    ToolButtonCloseModuleClick(nullptr);

    HideToolForm = GetParameterBool(QStringLiteral("HideToolForm"));
    EmbeddedToolForm =
        GetParameterBool(QStringLiteral("EmbeddedToolForm")) || UGrundModulForm::IsTestComplete();

    if (BorderStyle() != Vcl::bsDialog && !EmbeddedToolForm)
        CreateToolForm();

    if (EmbeddedToolForm) {
        PanelToolbars->setVisible(true);
    } else if (HideToolForm && !ToolForm) {
        PanelToolbars->setVisible(false);
    } else if (HideToolForm && ToolForm) {
        ToolForm->hide();
    }

    delete new TTranslationCombo(this);

    if (Vcl::ClassName(this) != QLatin1String("TfrmToDesign"))
        StartVoskComponent(this, nullptr);

    Vcl::QueueCall(this, [this] {
        if (UpdateModuleIconProc)
            UpdateModuleIconProc(this);
    });

    if (IsMdiChild() && (ModuleSperr || _MaxWindows)) {
        SetWindowState(Vcl::wsMaximized);
        SetPosition(Vcl::poDefaultPosOnly);
        if (QWidget* main = Vcl::Screen::MainForm())
            resize(main->contentsRect().size());
    }
}

void TFormKorvexGundForm::CreateToolForm() {
    FocusTimer = Vcl::Owned(this, new TVoskTimer(this), QStringLiteral("FocusTimer"));
    FocusTimer->SetInterval(100);
    FocusTimer->OnTimer = [this](QObject* s) { DoFocusTimer(s); };
    FocusTimer->SetEnabled(true);

    ToolForm = new TToolForm(this);
    ToolForm->setObjectName(QStringLiteral("ToolForm"));
    ToolForm->setWindowOpacity(230.0 / 255.0);
    ToolForm->SetPosition(Vcl::poDefault);
    QWidget* main = Vcl::Screen::MainForm();
    const bool onPrimary = main && main->screen() == QGuiApplication::primaryScreen();
    const bool stayOnTop = !(Rtl::DebuggerPresent() && onPrimary);
    ToolForm->SetBorderStyle(Vcl::bsNone);
    ToolForm->SetFormStyle(stayOnTop ? Vcl::fsStayOnTop : Vcl::fsNormal);
    Qt::WindowFlags flags = Qt::Tool | Qt::FramelessWindowHint;
    if (stayOnTop)
        flags |= Qt::WindowStaysOnTopHint;
    // An MDI child's tool window belongs to the main window, a free window's to the form.
    QWidget* popupParent = IsMdiChild() && main ? main : static_cast<QWidget*>(this);
    ToolForm->setParent(popupParent, flags);
    ToolForm->setAttribute(Qt::WA_ShowWithoutActivating);

    PanelTopTool->SetBevelOuter(false);
    ToolForm->setAutoFillBackground(true);
    // A thin dark frame around the window's usual button face: the buttons stay readable.
    ToolForm->setStyleSheet(QStringLiteral("TToolForm { border: 1px solid palette(dark); }"));
    auto* box = new QVBoxLayout(ToolForm);
    box->setContentsMargins(1, 1, 1, 1);
    box->setSpacing(0);
    ToolForm->resize(PanelTopTool->width() + 2, PanelTopTool->height());
    ToolForm->OnDeactivate = [this](QObject* s) { ToolFormDeactivate(s); };

    if (PanelToolbars->isVisibleTo(this) || !PanelToolbars->isHidden())
        throw EAssertionFailed(QStringLiteral(
            "TFormKorvexGundForm.FormCreate: PanelToolbars.Visible > muß in dfm inivisble, da "
            "Umsetzen von Parent"));

    PanelToolbars->setParent(ToolForm);
    box->addWidget(PanelToolbars);
    PanelToolbars->setVisible(true);
    PanelToolbars->setMinimumWidth(0);
    PanelToolbars->setMaximumWidth(QWIDGETSIZE_MAX);
    ToolForm->resize(PanelToolbars->sizeHint().width() + 2, PanelTopTool->height() + 2);
    // The tool bar's place at the form's left edge stays the form's: the tool window sits on it,
    // so that it covers none of the module's content and moves with the window.
    m_toolSpace = new QWidget(this);
    m_toolSpace->setObjectName(QStringLiteral("ToolSpace"));
    m_toolSpace->setFixedWidth(ToolForm->width());
    if (auto* row = qobject_cast<QBoxLayout*>(layout()))
        row->insertWidget(0, m_toolSpace);
}

bool TFormKorvexGundForm::IsFormActive() const {
    if (QGuiApplication::applicationState() != Qt::ApplicationActive)
        return false;
    QWidget* active = QApplication::activeWindow();
    // The form's own tool window counts as the form. The current child of the main window is not
    // active while another window is: its tool window would otherwise stay up over that window.
    if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget()))
        return sub->mdiArea() && sub->mdiArea()->activeSubWindow() == sub &&
               (active == sub->window() || (ToolForm && active == ToolForm));
    return active == this || (ToolForm && active == ToolForm);
}

QString TFormKorvexGundForm::PositionPrefix() const {
    return IsMdiChild() ? QString() : QStringLiteral("ausgedockt_");
}

QString TFormKorvexGundForm::PositionKey() const {
    return UGrundModulForm::SessionRegistryBase() + QStringLiteral("Module\\") + FPositionLoadName;
}

void TFormKorvexGundForm::FormShow(QObject*) {
    // The position and settings lines go out in one write, as those of the start do.
    const TDM1::TLogBatch logBatch(DM1());
    Corvale::SetShowHint(this, true);
    if (_MaxWindows && IsMdiChild() && BorderStyle() == Vcl::bsSizeable) {
        SetWindowState(Vcl::wsMaximized);
    } else if (!FPositionLoaded && WindowState() != Vcl::wsMaximized &&
               BorderStyle() == Vcl::bsSizeable) {
        FPositionLoaded = true;
        if (auto* named = dynamic_cast<const IPositionLoadName*>(this))
            FPositionLoadName = named->PositionLoadName();
        else {
            FPositionLoadName = GetParameterStr(QStringLiteral("LastVal_AlternativeClassName"));
            if (FPositionLoadName.isEmpty())
                FPositionLoadName = AlternativeName();
            if (FPositionLoadName.isEmpty())
                FPositionLoadName = Vcl::ClassName(this);
        }
        bool useRegistry = false;
        if (!(IsMdiChild() && SimpleStyle)) {
            const bool noSave = GetParameterBool(QStringLiteral("ModulPositionNoSave"));
            useRegistry = !SimpleStyle && !noSave && !UGrundModulForm::IsTestComplete();
            Log(QStringLiteral("TFormKorvexGundForm.LoadPosition(%1): %2 FormStyle=%3 "
                               "SimpleStyle=%4 LoadLastScreenPosition=%5 Position=%6 "
                               "ModulPositionNoSave=%7")
                    .arg(BoolName(useRegistry), FPositionLoadName, Vcl::EnumName(FormStyle()),
                         BoolName(SimpleStyle), BoolName(LoadLastScreenPosition),
                         Vcl::EnumName(Position()), BoolName(noSave)));
            if (!useRegistry)
                SetParameter(QStringLiteral("ModulPositionNoSave"), QStringLiteral("True"));
        }
        ApplyFormPosition(useRegistry);
    }
    Log(QStringLiteral("LoadCompSettings: ") + Vcl::ClassName(this));
    LoadComponentSettings(this, this);
    Korvexcommonvcl::NameControls(this);
    if (ToolForm)
        Korvexcommonvcl::NameControls(ToolForm);
}

void TFormKorvexGundForm::ApplyFormPosition(bool useRegistry) {
    using namespace UGrundModulForm;
    TPositionInput in;
    in.mdiChild = IsMdiChild();
    in.position = Position();
    QWidget* frame = Frame();
    in.geometry = QRect(frame->pos(), frame->size());
    if (useRegistry)
        in.stored = ReadStoredPosition(PositionKey(), PositionPrefix());
    auto par = [this](const char* name) {
        return GetParameterInt(QString::fromLatin1(name), -1);
    };
    in.parTop = par("ModulPositionTop");
    in.parLeft = par("ModulPositionLeft");
    in.parWidth = par("ModulPositionWidth");
    in.parHeight = par("ModulPositionHeight");
    if (QWidget* main = Vcl::Screen::MainForm()) {
        in.mainFormSize = main->size();
        in.mainClientHeight = main->contentsRect().height();
    }
    in.horzScrollRange = m_clientArea ? m_clientArea->minimumSizeHint().width() : 0;
    in.ribbonHeight = Korvexcommonvcl::RibbonHeight;

    const TPositionResult r = ComputeFormPosition(in);
    SetPosition(r.position);
    frame->resize(r.geometry.size());
    frame->move(r.geometry.topLeft());
    if (r.maximized) {
        SetWindowState(Vcl::wsMaximized);
        return;
    }
    const QString cls = Vcl::ClassName(this);
    const bool keepSize = cls.compare(QLatin1String("TFormMyMaschines"), Qt::CaseInsensitive) == 0 ||
                          cls.compare(QLatin1String("TFormUmsatzplan"), Qt::CaseInsensitive) == 0;
    Korvexcommonvcl::CorrectWindowPosition(this, keepSize ? 1 : 0);
}

void TFormKorvexGundForm::FormClose(QObject*, Vcl::TCloseAction& action) {
    // The tool window comes back whenever the window stays open: after "Abbrechen" and after a
    // save the server refused, which leaves this handler by an exception.
    const QPointer<TToolForm> tool = ToolForm;
    const bool toolShown = tool && tool->isVisible();
    if (tool)
        tool->hide();
    bool closing = false;
    const auto restoreTool = qScopeGuard([&] {
        if (!closing && toolShown && tool)
            tool->ShowInactive();
    });
    if (!AskSavePending()) {
        // "Abbrechen": the window stays open with its edits.
        action = Vcl::caNone;
        return;
    }
    if ((!SimpleStyle || !IsMdiChild()) && FPositionLoaded &&
        !GetParameterBool(QStringLiteral("ModulPositionNoSave")) &&
        !UGrundModulForm::IsTestComplete())
        SavePosition();
    Log(QStringLiteral("SaveCompSettings: ") + Vcl::ClassName(this));
    SaveComponentSettings(this, this);
    action = Vcl::caFree;
    closing = true;
}

QString UGrundModulForm::DataClassCaption(const TVoskClass* data) {
    QString name;
    try {
        name = TVoskClass::AliasHook(data->GetSqlTableName());
        if (name.isEmpty())
            name = data->GetSqlTableName();
        if (name.isEmpty())
            name = data->objectName();
        if (name.isEmpty())
            name = Vcl::ClassName(data);
    } catch (...) {
        name.clear();
    }
    return name;
}

bool TFormKorvexGundForm::AskSavePending() {
    for (TVoskClass* data : Vcl::ComponentsOf<TVoskClass>(this)) {
        if (!data->CanPost())
            continue;
        Frame()->raise();
        const QString question = UGrundModulForm::DataClassCaption(data) + QStringLiteral(": ") +
                                 makeText(4130, QStringLiteral("Änderungen speichern?"));
        switch (Vcl::Ask(Vcl::mtConfirmation, QStringLiteral("KORVEX ERP"), question,
                         Vcl::mbYesNoCancel, Vcl::mbYes)) {
        case Vcl::mrYes:
            // This question was the one: the post must not ask its own again.
            data->Post(false);
            break;
        case Vcl::mrNo:
            break;
        default:
            return false;
        }
    }
    return true;
}

void TFormKorvexGundForm::SavePosition() {
    Log(QStringLiteral("TFormKorvexGundForm.SavePosition: %1").arg(FPositionLoadName));
    QWidget* frame = Frame();
    UGrundModulForm::WriteStoredPosition(PositionKey(), PositionPrefix(),
                                         WindowState() == Vcl::wsMaximized,
                                         QRect(frame->pos(), frame->size()));
}

void TFormKorvexGundForm::FormDestroy(QObject*) {
    Log(Vcl::FullName(this) + QStringLiteral(".FormDestroy"));
    const auto pages = Vcl::ComponentsOf<TVoskPageControl2>(this);
    for (qsizetype i = pages.size() - 1; i >= 0; --i) {
        try {
            pages[i]->SaveUserPage();
        } catch (const std::exception& e) {
            Log(Vcl::FullName(pages[i]) + QStringLiteral(".SaveUserPage: ") +
                QString::fromUtf8(e.what()));
        }
    }
    for (auto& clear : ListOfVariablesOfMe) {
        try {
            clear();
        } catch (const std::exception& e) {
            Log(Vcl::FullName(this) + QStringLiteral(".FormDestroy-VariablesOfMe: ") +
                QString::fromUtf8(e.what()));
        }
    }
    ListOfVariablesOfMe.clear();
}

bool TFormKorvexGundForm::CloseQuery() {
    const bool result = TQ32GrundForm::CloseQuery();
    for (QObject* c : Vcl::Components(this)) {
        auto* report = qobject_cast<Vcl::TForm*>(c);
        if (!report || !Vcl::ClassNameIs(report, QStringLiteral("TFormReport")) ||
            Vcl::ParentForm(report) == this)
            continue;
        for (QObject* p : Vcl::Components(report))
            if (auto* preview = qobject_cast<Vcl::TForm*>(p);
                preview && Vcl::ClassNameIs(preview, QStringLiteral("TfrxPreviewForm")))
                preview->Close();
        report->Close();
        break;
    }
    return result;
}

namespace {
void SetMainMenuF2Id(const QString& text) {
    for (Vcl::TForm* f : Vcl::Screen::Forms())
        if (Vcl::ClassNameIs(f, QStringLiteral("TFormMainMenu")))
            if (QObject* id = Vcl::FindComponent(f, QStringLiteral("tcF2ID")))
                id->setProperty("text", text);
}
} // namespace

void TFormKorvexGundForm::FormActivate(QObject*) {
    if (_MaxWindows && IsMdiChild())
        SetWindowState(Vcl::wsMaximized);
    if (UGrundModulForm::IsTestComplete()) {
        QString name = Korvexutils::FindModulName(this);
        if (name.isEmpty())
            name = GetParameterStr(QStringLiteral("ModulName"));
        SetMainMenuF2Id((IsMdiChild() ? QString() : QStringLiteral("undocked ")) + name);
    }
}

void TFormKorvexGundForm::FormDeactivate(QObject*) {
    if (ToolForm && ToolForm->isVisible()) {
        const bool appActive = QGuiApplication::applicationState() == Qt::ApplicationActive;
        const bool toolActive = QApplication::activeWindow() == ToolForm;
        if (!(appActive && toolActive))
            ToolForm->hide();
    }
    for (Vcl::TForm* f : Vcl::Screen::Forms())
        if (Vcl::ClassNameIs(f, QStringLiteral("TFormFastSearch")))
            f->hide();
    if (UGrundModulForm::IsTestComplete())
        SetMainMenuF2Id(QString());
}

void TFormKorvexGundForm::PlaceToolForm() {
    if (!ToolForm)
        return;
    ToolForm->move((m_toolSpace ? static_cast<QWidget*>(m_toolSpace) : this)
                       ->mapToGlobal(QPoint(0, 0)));
}

void TFormKorvexGundForm::DoFocusTimer(QObject*) {
    if (!ToolForm)
        return;
    TQ32GrundForm::FocusError_Init(this);
    ToolForm->FIsPopupMenuOpen = QApplication::activePopupWidget() &&
                                 HasAsParent(ToolForm, QApplication::activePopupWidget());
    if (IsMdiChild() || !ToolForm->FIsPopupMenuOpen) {
        if (QApplication::activeWindow() == ToolForm)
            Frame()->activateWindow();
        Vcl::TForm* active = Vcl::Screen::ActiveForm();
        const bool otherActive = active && active != this && active != ToolForm;
        if (HideToolForm || QGuiApplication::applicationState() != Qt::ApplicationActive ||
            !IsFormActive() || otherActive || WindowState() == Vcl::wsMinimized) {
            ToolForm->hide();
            return;
        }
    }
    if (WindowState() == Vcl::wsMaximized && ToolBarGrundForm->ButtonCount() == 1) {
        ToolForm->hide();
        return;
    }
    if (ToolForm->isHidden() && IsFormActive()) {
        PlaceToolForm();
        ToolForm->ShowInactive();
    } else if (ToolForm->isVisible()) {
        PlaceToolForm(); // follows the window when it was moved
    }
}

void TFormKorvexGundForm::FormConstrainedResize(QObject* sender) {
    if (isVisible() && ToolForm && ToolForm->isVisible())
        DoFocusTimer(sender);
}

void TFormKorvexGundForm::ToolFormShow(QObject*) {}
void TFormKorvexGundForm::ToolFormHide(QObject*) {}

void TFormKorvexGundForm::ToolFormDeactivate(QObject*) {
    if (ToolForm && isVisible() && !IsFormActive())
        ToolForm->hide();
}

void TFormKorvexGundForm::WMSize() {
    if (IsMdiChild() && WindowState() == Vcl::wsMinimized && ToolForm)
        ToolForm->hide();
}

void TFormKorvexGundForm::changeEvent(QEvent* e) {
    if (e->type() == QEvent::WindowStateChange)
        WMSize();
    TQ32GrundForm::changeEvent(e);
}

void TFormKorvexGundForm::resizeEvent(QResizeEvent* e) {
    TQ32GrundForm::resizeEvent(e);
    FormConstrainedResize(this);
}

void TFormKorvexGundForm::ToolButtonCloseModuleClick(QObject* sender) {
    if (!sender) {
        static const QStringList minimizing = {
            QStringLiteral("TFormAdress"),       QStringLiteral("TFormArtikel"),
            QStringLiteral("TFormAuftg"),        QStringLiteral("TFormAVOR"),
            QStringLiteral("TFormCockPit"),      QStringLiteral("TFormCreateAbk_NEW"),
            QStringLiteral("TFormMyMaschines"),  QStringLiteral("TFormStueckL")};
        if (minimizing.contains(Vcl::ClassName(this), Qt::CaseInsensitive)) {
            ToolButtonCloseModule->SetImageIndex(TDMSys::ImageMinimize);
            ToolButtonCloseModule->setToolTip(
                makeText(31238, QStringLiteral("Schließen (Minimieren)")));
        } else {
            ToolButtonCloseModule->SetImageIndex(TDMSys::ImageClose);
        }
        return;
    }
    if (ToolButtonCloseModule->ImageIndex() != TDMSys::ImageClose)
        SetWindowState(Vcl::wsMinimized);
    else
        Close();
}

bool TFormKorvexGundForm::HasAsParent(const QObject* p, const QObject* c) {
    return Vcl::HasAsParent(p, c);
}

void TFormKorvexGundForm::ModulInitialize(QObject*) {
    Log(QStringLiteral(
        "VoskDM_Dunmere.OnIsAdmin.InsertEvent(TFormKorvexGundForm.HandleIsAdminEvent)"));
    TDM1* dm = DM1();
    if (!dm || AdminConnection())
        return;
    AdminConnection() =
        QObject::connect(dm, &TDM1::IsAdminChanged, dm, &TFormKorvexGundForm::HandleIsAdminEvent);
}

void TFormKorvexGundForm::ModulFinalize() {
    // Only our own handler: other receivers of the admin change stay connected.
    QObject::disconnect(AdminConnection());
    AdminConnection() = {};
}

QMetaObject::Connection& TFormKorvexGundForm::AdminConnection() {
    static QMetaObject::Connection connection;
    return connection;
}

namespace {

void DoLoadLog(const QString& tag) {
    if (TDM1* dm = DM1())
        dm->DoLoadLog(tag, QStringLiteral("hadrel"));
    else
        TLogSink::Add({QDateTime::currentDateTime(), tag, 0, {}, QStringLiteral("hadrel")});
}

void InitUnit() { DoLoadLog(QStringLiteral("LOAD")); }

void FiniUnit() {
    DoLoadLog(QStringLiteral("UNLOAD"));
    TFormKorvexGundForm::ModulFinalize();
    LookAndFeelSkin.clear();
}

} // namespace

KORVEX_UNIT("hadrel", "UGrundModulForm", InitUnit, FiniUnit);

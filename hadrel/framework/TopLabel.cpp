#include "TopLabel.h"

#include "UnitTable.h"
#include "Vcl.Classes.h"

#include "AutoRefreshMenu.h"
#include "DMSys.h"
#include "Korvexcommonvcl.h"
#include "TVoskClass.h"
#include "TVoskDBEdit.h"
#include "TVoskDBGrid2.h"
#include "TVoskDBMemo.h"
#include "TQ32Control.h"
#include "TRecNoClasses.h"
#include "UModulFormSeams.h"
#include "VoskF2Controls.h"
#include "VoskKeyControls.h"
#include "TVoskStatusBar.h"
#include "TVoskTabControl.h"
#include "UDM1.h"
#include "Vcl.Components.h"
#include "Vcl.Forms.h"
#include "VoskControls.h"
#include "VoskGridSearch.h"
#include "VoskTimer.h"

#include <EventGuard.h>
#include <VoskExceptions.h>

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QStatusBar>
#include <QStyle>
#include <QTabBar>
#include <QToolButton>
#include <QVBoxLayout>

std::function<bool(const QWidget*)> TTopLabelFrame::FormReadOnlyProc;
std::function<void(QWidget*)> TTopLabelFrame::ResetStatusBarProc;

namespace {

NavBtnSet SkipButtons() { return nbFirst | nbPrior | nbNext | nbLast; }

QToolButton* MakeButton(QWidget* parent, QObject* owner, const char* name, const QString& hint,
                        int imageIndex, bool visible) {
    auto* b = Vcl::Owned(owner, new QToolButton(parent), QString::fromLatin1(name));
    b->setFocusPolicy(Qt::NoFocus);
    b->setAutoRaise(true);
    if (!hint.isEmpty())
        b->setToolTip(hint);
    b->setProperty("ImageIndex", imageIndex);
    const QIcon icon = DMSys()->ImageListHot()->Icon(imageIndex);
    if (!icon.isNull())
        b->setIcon(icon);
    b->setVisible(visible);
    return b;
}

// A thin upright line between groups of header buttons; hidden with its group.
QFrame* MakeBevel(QWidget* parent, QObject* owner, const char* name) {
    auto* b = Vcl::Owned(owner, new QFrame(parent), QString::fromLatin1(name));
    b->setFrameShape(QFrame::VLine);
    b->setFrameShadow(QFrame::Sunken);
    b->setVisible(false);
    return b;
}

bool OwnerClassIs(const QObject* owner, const char* name) {
    return owner && Vcl::InheritsFromName(owner, QString::fromLatin1(name));
}

// The coordinator a control works with: its own when it has one set, else the one of its data
// class.
TQ32Control* Q32ControlOf(QWidget* w) {
    if (!w)
        return nullptr;
    if (auto* k = dynamic_cast<IKorvexControl*>(w); k && k->GetMyControl())
        return k->GetMyControl();
    return Corvale::ControlOf(w);
}

bool IsGridWithQ32(QWidget* w) {
    return qobject_cast<TVoskDBGrid2*>(w) && Q32ControlOf(w);
}

bool IsRecnoParamsFrame(const QWidget* w) {
    return w && Vcl::InheritsFromName(w, QStringLiteral("TFrameRecnoParams"));
}

TVoskClass* RecnoParamsClass(QWidget* frame) {
    if (auto* f = dynamic_cast<UModulFormSeams::IFrameRecnoParams*>(frame))
        return f->DataClass();
    return qobject_cast<TVoskClass*>(frame->property("_RecnoParams").value<QObject*>());
}

} // namespace

TTopLabelFrame::TTopLabelFrame(QObject* owner, QWidget* parent) : QFrame(parent) {
    Vcl::SetOwner(this, owner);
    setObjectName(QStringLiteral("TopLabel"));
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);

    PanelTop = Vcl::Owned(this, new TPanel(this), QStringLiteral("PanelTop"));
    PanelTop->SetBevelOuter(false);
    auto* topLayout = new QVBoxLayout;
    topLayout->setContentsMargins(0, 0, 0, 0);
    topLayout->setSpacing(0);
    delete PanelTop->layout();
    PanelTop->setLayout(topLayout);
    outer->addWidget(PanelTop);

    pnlFilterTabs = Vcl::Owned(this, new TPanel(PanelTop), QStringLiteral("pnlFilterTabs"));
    tcFilter = Vcl::Owned(this, new TVoskTabControl(pnlFilterTabs), QStringLiteral("tcFilter"));
    tcFilter->setShape(QTabBar::RoundedSouth);
    pnlFilterTabs->Layout()->addWidget(tcFilter);
    pnlFilterTabs->hide();

    pnlTopButtons = Vcl::Owned(this, new QWidget(PanelTop), QStringLiteral("pnlTopButtons"));
    auto* row = new QHBoxLayout(pnlTopButtons);
    row->setContentsMargins(2, 1, 2, 1);
    row->setSpacing(1);
    topLayout->addWidget(pnlTopButtons);
    topLayout->addWidget(pnlFilterTabs);

    PanelCaption = Vcl::Owned(this, new TPanel(pnlTopButtons), QStringLiteral("PanelCaption"));
    PanelCaption->SetBevelOuter(false);
    PanelCaption->setAutoFillBackground(true);
    Toplabel = Vcl::Owned(this, new QLabel(PanelCaption), QStringLiteral("Toplabel"));
    Toplabel->setAlignment(Qt::AlignCenter);
    QFont f = Toplabel->font();
    f.setBold(true);
    // Fonts given in pixels (form resources use heights) have no point size to scale.
    if (f.pointSizeF() > 0)
        f.setPointSizeF(f.pointSizeF() * 1.2);
    else if (f.pixelSize() > 0)
        f.setPixelSize(f.pixelSize() * 6 / 5);
    Toplabel->setFont(f);
    Toplabel->setText(QStringLiteral("KORVEX ERP"));
    PanelCaption->Layout()->addWidget(Toplabel, 1);

    btMode = MakeButton(pnlTopButtons, this, "btMode", {}, -1, true);
    DBN1 = Vcl::Owned(this, new TVoskDBNavigator(pnlTopButtons), QStringLiteral("DBN1"));
    DBN1->SetVisibleButtons(nbDelete | nbPost | nbCancel | nbRefresh);
    BtTools = MakeButton(pnlTopButtons, this, "BtTools", QStringLiteral("xtt2815"), 248, false);
    btGrid = MakeButton(pnlTopButtons, this, "btGrid", QStringLiteral("xtt2953"), 245, false);
    btGridFilter =
        MakeButton(pnlTopButtons, this, "btGridFilter", QStringLiteral("xtt17414"), 237, false);
    BtShowShortHelp = MakeButton(pnlTopButtons, this, "BtShowShortHelp", {}, 249, false);
    btSearchData =
        MakeButton(pnlTopButtons, this, "btSearchData", QStringLiteral("xtt17530"), 56, false);
    btAutoRefresh =
        MakeButton(pnlTopButtons, this, "btAutoRefresh", QStringLiteral("xtt13136"), 257, false);
    btDockUndock = MakeButton(pnlTopButtons, this, "btDockUndock", {}, 246, false);
    btNewOpen = MakeButton(pnlTopButtons, this, "btNewOpen", QStringLiteral("xtt26239"), 290, false);
    BtSettingsModul =
        MakeButton(pnlTopButtons, this, "BtSettingsModul", QStringLiteral("xtt26375"), 175, false);
    btCopyEdits = MakeButton(pnlTopButtons, this, "btCopyEdits", QStringLiteral("xtt16922"), 60, true);

    PrintBar = Vcl::Owned(this, new TPanel(pnlTopButtons), QStringLiteral("PrintBar"));
    PrintBar->SetBevelOuter(false);
    PrintBt = MakeButton(PrintBar, this, "PrintBt", QStringLiteral("xtt2923"), 5, false);
    PrintBtFullAuto =
        MakeButton(PrintBar, this, "PrintBtFullAuto", QStringLiteral("xtt11917"), 252, false);
    PrintBar->Layout()->addWidget(PrintBt);
    PrintBar->Layout()->addWidget(PrintBtFullAuto);
    InfoBt = MakeButton(pnlTopButtons, this, "InfoBt", QStringLiteral("xtt2514"), 251, false);
    bvBtTools = MakeBevel(pnlTopButtons, this, "bvBtTools");
    bvPrintBar = MakeBevel(pnlTopButtons, this, "bvPrintBar");
    bvSettingsModul = MakeBevel(pnlTopButtons, this, "bvSettingsModul");

    row->addWidget(PanelCaption, 1);
    for (QWidget* w : {static_cast<QWidget*>(btMode), static_cast<QWidget*>(DBN1),
                       static_cast<QWidget*>(BtTools), static_cast<QWidget*>(bvBtTools),
                       static_cast<QWidget*>(btGrid),
                       static_cast<QWidget*>(btGridFilter), static_cast<QWidget*>(BtShowShortHelp),
                       static_cast<QWidget*>(btSearchData), static_cast<QWidget*>(btAutoRefresh),
                       static_cast<QWidget*>(btDockUndock), static_cast<QWidget*>(btNewOpen),
                       static_cast<QWidget*>(BtSettingsModul),
                       static_cast<QWidget*>(bvSettingsModul), static_cast<QWidget*>(btCopyEdits),
                       static_cast<QWidget*>(PrintBar), static_cast<QWidget*>(bvPrintBar),
                       static_cast<QWidget*>(InfoBt)})
        row->addWidget(w);

    PanelShortHelp = Vcl::Owned(this, new TPanel(this), QStringLiteral("PanelShortHelp"));
    ImageShortHelp = Vcl::Owned(this, new QLabel(PanelShortHelp), QStringLiteral("ImageShortHelp"));
    LabelShortHelp = Vcl::Owned(this, new QLabel(PanelShortHelp), QStringLiteral("LabelShortHelp"));
    LabelShortHelp->setText(QStringLiteral("Kurzhilfe zur Oberfläche."));
    LabelShortHelp->setToolTip(QStringLiteral("xtt11635"));
    LabelShortHelp->setWordWrap(true);
    PanelShortHelp->Layout()->addWidget(ImageShortHelp);
    PanelShortHelp->Layout()->addWidget(LabelShortHelp, 1);
    PanelShortHelp->hide();
    outer->addWidget(PanelShortHelp);

    PopupTools = Vcl::Owned(this, new TVoskPopupMenu(this), QStringLiteral("PopupTools"));
    moBearbeitenSondfunc = Vcl::Owned(this, PopupTools->AddItem(QStringLiteral("Bearbeiten"), 1007),
                                      QStringLiteral("moBearbeitenSondfunc"));
    PopupGridSettings =
        Vcl::Owned(this, new TVoskPopupMenu(this), QStringLiteral("PopupGridSettings"));
    btGrid->setMenu(PopupGridSettings);
    btGrid->setPopupMode(QToolButton::MenuButtonPopup);
    pmGridFilter = Vcl::Owned(this, new TVoskPopupMenu(this), QStringLiteral("pmGridFilter"));
    btGridFilter->setMenu(pmGridFilter);
    btGridFilter->setPopupMode(QToolButton::MenuButtonPopup);
    tmrEnablePrintBt = Vcl::Owned(this, new TVoskTimer(this), QStringLiteral("tmrEnablePrintBt"));
    tmrEnablePrintBt->SetInterval(2000);
    tmrEnablePrintBt->SetEnabled(false);
    tmrEnablePrintBt->OnTimer = [this](QObject*) {
        tmrEnablePrintBt->SetEnabled(false);
        PrintBt->setEnabled(true);
        PrintBtFullAuto->setEnabled(true);
    };
    pmAutoRefresh = Vcl::Owned(this, new TVoskPopupMenu(this), QStringLiteral("pmAutoRefresh"));
    btAutoRefresh->setMenu(pmAutoRefresh);
    btAutoRefresh->setPopupMode(QToolButton::MenuButtonPopup);
    VoskTimerRefresh = Vcl::Owned(this, new TVoskTimer(this), QStringLiteral("VoskTimerRefresh"));
    VoskTimerRefresh->SetEnabled(false);
    PopUpCopyPaste = Vcl::Owned(this, new TVoskPopupMenu(this), QStringLiteral("PopUpCopyPaste"));
    moCopyEdits = Vcl::Owned(this, PopUpCopyPaste->AddItem(QStringLiteral("Kopieren"), 6218),
                             QStringLiteral("moCopyEdits"));
    moPasteEdits = Vcl::Owned(this, PopUpCopyPaste->AddItem(QStringLiteral("Einfügen"), 1184),
                              QStringLiteral("moPasteEdits"));
    btCopyEdits->setMenu(PopUpCopyPaste);
    btCopyEdits->setPopupMode(QToolButton::InstantPopup);

    QStyle* st = style();
    m_iconSaveMode = QIcon::fromTheme(QStringLiteral("document-save-as"),
                                      st->standardIcon(QStyle::SP_DialogSaveButton));
    m_iconFastMode = QIcon::fromTheme(QStringLiteral("document-save"),
                                      st->standardIcon(QStyle::SP_MediaSeekForward));
    m_iconReadOnly = QIcon::fromTheme(QStringLiteral("object-locked"),
                                      st->standardIcon(QStyle::SP_MessageBoxWarning));

    DBN1->BeforeAction = [this](NavBtn b) { DBN1BeforeAction(DBN1->ButtonControl(b), b); };
    DBN1->OnClick = [this](NavBtn b) { DBN1Click(DBN1->ButtonControl(b), b); };
    connect(btMode, &QToolButton::clicked, this, [this] { btModeClick(); });
    connect(BtShowShortHelp, &QToolButton::clicked, this, [this] { BtShowShortHelpClick(); });

    // Creation steps of the frame.
    m_withWorkModes =
        !(OwnerClassIs(owner, "TFormEditTable") || OwnerClassIs(owner, "TDashboardModul"));
    _ManualLayoutLoading = false;
    m_navButtons = DBN1->VisibleButtons();
    m_intervals = new TAutoRefreshIntervalsProperty(this);
    m_intervals->FShort = 300;
    m_intervals->FMedium = 900;
    m_intervals->FLong = 3600;
    CreateMenuItems();
    const bool designDialog = OwnerClassIs(owner, "TfrmToDesignBase");
    const bool special = !m_withWorkModes;
    btDockUndock->setVisible(!designDialog && !special);
    btNewOpen->setVisible(!designDialog && !special);
    btCopyEdits->setVisible(!designDialog && !special);
    if (designDialog)
        BtTools->hide();
    FSetWrite(false);
    BtShowShortHelp->setToolTip(makeText(31028, QStringLiteral("Kurzhilfe")));
    m_settingsModul = new TSettingsModul(this);
    m_settingsModul->setObjectName(QStringLiteral("SettingsModul"));
    connect(BtSettingsModul, &QToolButton::clicked, this,
            [this] { Rtl::Guarded([&] { m_settingsModul->DoButtonClick(BtSettingsModul); }); });
    QPalette pal = PanelCaption->palette();
    pal.setColor(QPalette::Window, Voskcontrols::ColorTopLabel);
    PanelCaption->setPalette(pal);
    Vcl::SetTag(PanelShortHelp, PanelShortHelp->isVisible() ? 1 : 0);
    tcFilterVisibleChange();
    if ((DM1() && DM1()->IsAdmin()) || qEnvironmentVariableIsSet("KORVEX_DEVELOP_SYSTEM"))
        Toplabel->setToolTip(makeText(26707, QStringLiteral("*")));
    CheckNavVisible();
    WireActions();
}

TTopLabelFrame::~TTopLabelFrame() = default;

// ---- caption and short help --------------------------------------------------------------

void TTopLabelFrame::FSetTextNr(int nr) {
    m_textNr = nr;
    if (nr > 0)
        Toplabel->setText(makeText(nr, QStringLiteral("*")));
    auto* form = qobject_cast<QWidget*>(Vcl::Owner(this));
    if (form && qobject_cast<Vcl::TForm*>(form) && !Toplabel->text().trimmed().isEmpty())
        form->setWindowTitle(Toplabel->text());
}

QString TTopLabelFrame::GetCaption() {
    CheckNavVisible();
    return makeText(m_textNr, QStringLiteral("*"));
}

void TTopLabelFrame::SetShortHelpTxtNr(int nr) {
    m_shortHelpTxtNr = nr;
    if (nr >= 1) {
        LabelShortHelp->setText(makeText(nr, QStringLiteral("*")));
        bool visible = true;
        if (DM1() && DM1()->Connected() && GetParentForm())
            visible = DM1()->LoadLastValBool(
                QStringLiteral("ShortHlpVisible") + Vcl::ClassName(GetParentForm()), true);
        Vcl::SetTag(PanelShortHelp, visible ? 1 : 0);
    } else {
        LabelShortHelp->setText(QStringLiteral("Kurzhilfe zur Oberfläche"));
        Vcl::SetTag(PanelShortHelp, 0);
        PanelShortHelp->hide();
    }
    BtShowShortHelp->setVisible(nr >= 1);
    tcFilterVisibleChange();
}

void TTopLabelFrame::BtShowShortHelpClick() {
    PanelShortHelp->setVisible(!PanelShortHelp->isVisible());
    if (DM1() && DM1()->Connected() && GetParentForm())
        DM1()->SaveLastVal(QStringLiteral("ShortHlpVisible") + Vcl::ClassName(GetParentForm()),
                           PanelShortHelp->isVisible() ? QStringLiteral("-1")
                                                       : QStringLiteral("0"));
}

void TTopLabelFrame::tcFilterVisibleChange() {
    if (Vcl::Tag(PanelShortHelp) == 1)
        PanelShortHelp->show();
    Vcl::SetTag(PanelShortHelp, 0);
    int h = pnlTopButtons->sizeHint().height();
    if (!pnlFilterTabs->isHidden())
        h += pnlFilterTabs->sizeHint().height();
    PanelTop->setFixedHeight(h);
}

// ---- navigator buttons -------------------------------------------------------------------

void TTopLabelFrame::SetNavButtons(NavBtnSet buttons, bool on) {
    NavBtnSet v = DBN1->VisibleButtons();
    v = on ? (v | buttons) : (v & ~buttons);
    DBN1->SetVisibleButtons(v);
}

bool TTopLabelFrame::BtSkip() const { return DBN1->VisibleButtons() & nbFirst; }
void TTopLabelFrame::SetBtSkip(bool on) {
    SetNavButtons(SkipButtons(), on);
    CheckNavVisible();
}
bool TTopLabelFrame::BtInsert() const { return DBN1->VisibleButtons() & nbInsert; }
void TTopLabelFrame::SetBtInsert(bool on) {
    SetNavButtons(nbInsert, on);
    CheckNavVisible();
}
bool TTopLabelFrame::BtDelete() const { return DBN1->VisibleButtons() & nbDelete; }
void TTopLabelFrame::SetBtDelete(bool on) {
    SetNavButtons(nbDelete, on);
    CheckNavVisible();
}
bool TTopLabelFrame::BtPost() const { return DBN1->VisibleButtons() & nbPost; }
void TTopLabelFrame::SetBtPost(bool on) {
    SetNavButtons(nbPost | nbCancel | nbRefresh, on);
    if (!on && m_btRefresh)
        SetBtRefresh(true);
    CheckNavVisible();
}
bool TTopLabelFrame::BtRefresh() const { return DBN1->VisibleButtons() & nbRefresh; }
void TTopLabelFrame::SetBtRefresh(bool on) {
    m_btRefresh = on;
    SetNavButtons(nbRefresh, on);
    CheckNavVisible();
}

void TTopLabelFrame::CheckNavVisible() {
    const NavBtnSet now = DBN1->VisibleButtons();
    if (now != m_navButtons)
        DBN1->hide();
    DBN1->setVisible(now != NavBtnSet());
    m_navButtons = now;
}

void TTopLabelFrame::SetBtAutoRefresh(bool on) {
    m_btAutoRefresh = on;
    btAutoRefresh->setVisible(on);
}

// ---- status bar --------------------------------------------------------------------------

namespace {

struct StatusBarParts {
    QWidget* bar = nullptr;
    QWidget* audit = nullptr;
    QWidget* wvod = nullptr;
    QWidget* doku = nullptr;
    QWidget* historie = nullptr;
    QWidget* eigenschaften = nullptr;
    QWidget* softlink = nullptr;
    TVoskStatusBar* panels = nullptr;
};

StatusBarParts FindStatusBar(const QObject* owner) {
    StatusBarParts p;
    if (!owner || !Vcl::FindComponent(owner, QStringLiteral("StatusBar1ContainerAuditLog")))
        return p;
    auto find = [owner](const char* name) {
        return qobject_cast<QWidget*>(Vcl::FindComponent(owner, QString::fromLatin1(name)));
    };
    p.bar = find("StatusBar1");
    p.panels = qobject_cast<TVoskStatusBar*>(p.bar);
    p.audit = find("StatusBar1ContainerAuditLog");
    p.wvod = find("StatusBar1ContainerBtWvod");
    p.doku = find("StatusBar1ContainerBtDoku");
    p.historie = find("StatusBar1ContainerBtHistorie");
    p.eigenschaften = find("StatusBar1ContainerBtEigenschaften");
    p.softlink = find("StatusBar1ContainerBtSoftlink");
    return p;
}

} // namespace

void TTopLabelFrame::SetBtStatusBar(TModulFormStatusBar v) {
    const StatusBarParts p = FindStatusBar(Vcl::Owner(this));
    if (!p.bar)
        return;
    p.bar->setVisible(v & msbVisible);
    auto show = [](QWidget* w, bool on) {
        if (w)
            w->setVisible(on);
    };
    show(p.audit, (v & msbEditors) || (v & msbAuditLog));
    if (p.audit)
        p.audit->setEnabled(v & msbAuditLog);
    show(p.wvod, v & msbWVOD);
    show(p.doku, v & msbDoku);
    show(p.historie, v & msbHistorie);
    show(p.eigenschaften, v & msbEigenschaften);
    show(p.softlink, v & msbSoftlink);
    if (TVoskStatusBar* sb = p.panels) {
        const bool panelOn[11] = {bool(v & msbEditors),  bool(v & msbEditors),
                                  (v & msbEditors) || (v & msbAuditLog),
                                  bool(v & msbEditors),  bool(v & msbWVOD),
                                  bool(v & msbWVOD),     bool(v & msbDoku),
                                  bool(v & msbHistorie), bool(v & msbEigenschaften),
                                  bool(v & msbSoftlink), true};
        for (int i = 0; i < 10 && i < sb->PanelCount(); ++i)
            sb->SetPanelVisible(i, panelOn[i]);
    }
}

TModulFormStatusBar TTopLabelFrame::BtStatusBar() const {
    const StatusBarParts p = FindStatusBar(Vcl::Owner(this));
    TModulFormStatusBar v;
    if (!p.bar)
        return v;
    if (TVoskStatusBar* sb = p.panels; sb && sb->PanelCount() >= 10) {
        v.setFlag(msbEditors, sb->PanelVisible(0));
        v.setFlag(msbWVOD, sb->PanelVisible(5));
        v.setFlag(msbDoku, sb->PanelVisible(6));
        v.setFlag(msbHistorie, sb->PanelVisible(7));
        v.setFlag(msbEigenschaften, sb->PanelVisible(8));
        v.setFlag(msbSoftlink, sb->PanelVisible(9));
    }
    v.setFlag(msbAuditLog, p.audit && p.audit->isEnabled());
    v.setFlag(msbVisible, !p.bar->isHidden());
    return v;
}

// ---- data classes ------------------------------------------------------------------------

bool TTopLabelFrame::IsLoadingOrDesigning() const {
    // The form's resource is still being read while its header is loading.
    const QObject* owner = Vcl::Owner(this);
    return Vcl::IsDesigning(this) || Vcl::IsReading(this) || (owner && Vcl::IsReading(owner));
}

void TTopLabelFrame::ResetParentStatusBar() {
    if (ResetStatusBarProc)
        if (auto* form = qobject_cast<QWidget*>(GetParentForm()))
            ResetStatusBarProc(form);
}

void TTopLabelFrame::UpdateVisibleFlag(bool withDoku) {
    if (IsLoadingOrDesigning())
        return;
    TModulFormStatusBar v = BtStatusBar();
    v.setFlag(msbVisible, FDataSource() || m_dokumentClass);
    if (withDoku) {
        v.setFlag(msbDoku, m_dokumentClass != nullptr);
        if (m_dokumentClass)
            v |= msbVisible;
    }
    SetBtStatusBar(v);
}

TVoskClass* TTopLabelFrame::FDataSource() const { return DBN1->DataSource(); }

void TTopLabelFrame::FSetDataSource(TVoskClass* value) {
    if (TVoskClass* old = FDataSource(); old && old != value) {
        old->_DataSourceH = nullptr;
        old->_DataSourceF = nullptr;
    }
    DBN1->SetDataSource(value);
    ResetParentStatusBar();
    if (value) {
        value->_DataSourceH = DBN1->HeadClass();
        value->_DataSourceF = DBN1->FootClass();
    }
    ResetParentStatusBar();
    UpdateVisibleFlag(false);
    if (!value)
        FSetWrite(false);
}

TVoskClass* TTopLabelFrame::FDataSourceH() const { return DBN1->HeadClass(); }
void TTopLabelFrame::FSetDataSourceH(TVoskClass* value) {
    DBN1->SetHeadClass(value);
    if (TVoskClass* main = FDataSource())
        main->_DataSourceH = value;
}
TVoskClass* TTopLabelFrame::FDataSourceF() const { return DBN1->FootClass(); }
void TTopLabelFrame::FSetDataSourceF(TVoskClass* value) {
    DBN1->SetFootClass(value);
    if (TVoskClass* main = FDataSource())
        main->_DataSourceF = value;
}

void TTopLabelFrame::FSetDokumentClass(TVoskClass* value) {
    m_dokumentClass = value;
    ResetParentStatusBar();
    UpdateVisibleFlag(true);
}

Vcl::TForm* TTopLabelFrame::GetParentForm() const {
    for (QObject* o = Vcl::Owner(this); o; o = Vcl::Owner(o))
        if (auto* f = qobject_cast<Vcl::TForm*>(o))
            return f;
    return qobject_cast<Vcl::TForm*>(Vcl::ParentForm(this));
}

TVoskClass* TTopLabelFrame::GetCurrentClass() const {
    Vcl::TForm* form = GetParentForm();
    QWidget* focused = form ? form->focusWidget() : nullptr;
    auto classOf = [](QWidget* w) {
        TQ32Control* c = Q32ControlOf(w);
        return c ? c->VoskClass() : nullptr;
    };
    if (focused) {
        QWidget* parent = focused->parentWidget();
        QWidget* grand = parent ? parent->parentWidget() : nullptr;
        QWidget* great = grand ? grand->parentWidget() : nullptr;
        if (qobject_cast<TVoskDBEdit*>(focused) && Q32ControlOf(focused))
            return classOf(focused);
        // The line edit inside an editor made of several widgets.
        if (qobject_cast<TVoskEdit*>(parent) && Q32ControlOf(parent))
            return classOf(parent);
        if ((qobject_cast<TVoskDBLookupEdit*>(focused) || qobject_cast<TVoskDBMemo*>(focused) ||
             qobject_cast<TVoskDBGrid2*>(focused)) &&
            Q32ControlOf(focused))
            return classOf(focused);
        // A grid's cell editor sits in its viewport, an editor's own line edit one level deeper.
        if (IsGridWithQ32(parent) && !IsRecnoParamsFrame(grand))
            return classOf(parent);
        if (IsGridWithQ32(grand))
            return classOf(grand);
        if (IsGridWithQ32(great)) {
            // The parameter grid of a record stands for the parameters, not for the grid's class.
            QWidget* fourth = great->parentWidget();
            if (IsRecnoParamsFrame(fourth))
                return RecnoParamsClass(fourth);
            return classOf(great);
        }
    }
    TVoskClass* main = FDataSource();
    if (main && main->Active() && main->InEdit())
        if (TQ32Control* c = TQ32Control::Of(main))
            return c->VoskClass();
    return main;
}

QString TTopLabelFrame::GetAlternativeTableName(TVoskClass* dataClass) const {
    if (!dataClass)
        return {};
    QString table = dataClass->GetSqlTableName();
    if (table.isEmpty() && GetParentForm() &&
        Vcl::ClassNameIs(GetParentForm(), QStringLiteral("TFormEditTable")))
        table = GetParentForm()->property("TableName").toString();
    return table;
}

void TTopLabelFrame::SetVoskDBGrid(QWidget* value) {
    if (value && !Vcl::InheritsFromName(value, QStringLiteral("TVoskDBGrid2")) &&
        !Vcl::InheritsFromName(value, QStringLiteral("TVoskDBTreeView2")) &&
        !Vcl::InheritsFromName(value, QStringLiteral("TVoskDBPivotGrid")))
        throw EVoskException(
            QStringLiteral("Value must be VoskDBGrid2 or VoskDBTreeView2 or VoskDBPivotGrid"));
    m_grid = value;
    btSearchData->setVisible(dynamic_cast<IVoskGridFind*>(value) != nullptr);
}

void TTopLabelFrame::AssignSettingsModul(TSettingsModul* value) {
    if (value && value != m_settingsModul)
        m_settingsModul->Assign(value);
}

// ---- work modes --------------------------------------------------------------------------

void TTopLabelFrame::FSetWrite(bool value) {
    m_write = value;
    btMode->setIcon(QIcon());
    disconnect(btMode, &QToolButton::clicked, this, nullptr);
    Vcl::TForm* form = GetParentForm();
    if (form && FormReadOnlyProc && FormReadOnlyProc(form)) {
        btMode->setIcon(m_iconReadOnly);
        btMode->setToolTip(makeText(3161, QStringLiteral("nur lesen")));
        btMode->setAccessibleName(btMode->toolTip());
        btMode->setVisible(m_withWorkModes);
        return;
    }
    if (m_write) {
        btMode->setIcon(m_iconFastMode);
        btMode->setToolTip(makeText(4035, QStringLiteral("Automatisch speichern.")));
    } else {
        btMode->setIcon(m_iconSaveMode);
        btMode->setToolTip(makeText(3358, QStringLiteral("Vor speichern fragen.")));
    }
    btMode->setAccessibleName(btMode->toolTip());
    connect(btMode, &QToolButton::clicked, this, [this] { btModeClick(); });
    if (!m_withWorkModes)
        btMode->hide();
}

void TTopLabelFrame::btModeClick() { FSetWrite(!m_write); }

void TTopLabelFrame::SetWithWorkModes(bool on) {
    m_withWorkModes = on;
    FSetWrite(m_write);
}

bool TTopLabelFrame::_PrintBar() const { return !PrintBar->isHidden(); }

bool TTopLabelFrame::HinweisAlsDialog() const {
    TDM1* dm = DM1();
    if (!dm || !dm->Connected())
        return false;
    if (dm->GetBoolSetting(QStringLiteral("recnocomments_cbHinweisAlsDialog"), false))
        return true;
    const QString form = GetParentForm() ? GetParentForm()->objectName() : QString();
    return dm->LoadLastValBool(QStringLiteral("%1~TMenuForm~cbHinweisAlsDialog").arg(form), false);
}

// ---- navigator ---------------------------------------------------------------------------

void TTopLabelFrame::DBN1BeforeAction(QObject* sender, NavBtn button) {
    auto* grid = qobject_cast<TVoskDBGrid2*>(m_grid.data());
    if (m_grid)
        m_grid->setFocus();
    if (grid && button == nbInsert) {
        grid->PrepareInsert();
        grid->SetFirstVisibleColumnFocus(false);
    }
    if (button == nbPost) {
        // An editor still holding the user's typing hands it to the data class first: the
        // grid's, even when the focus has gone elsewhere, then the focused edit's.
        if (grid)
            grid->EndEdit(true);
        QWidget* active = QApplication::focusWidget();
        for (QWidget* w = active; w; w = w->parentWidget()) {
            if (auto* e = qobject_cast<TVoskDBEdit*>(w)) {
                e->PostEditValue();
                break;
            }
            if (auto* g = qobject_cast<TVoskDBGrid2*>(w)) {
                g->EndEdit(true);
                break;
            }
        }
    }
    switch (button) {
    case nbFirst:
    case nbPrior:
    case nbNext:
    case nbLast:
        if (OnBeforeNavigate)
            OnBeforeNavigate(DBN1->ButtonControl(button));
        break;
    case nbInsert:
        if (OnBeforeInsertExecute)
            OnBeforeInsertExecute(sender);
        break;
    case nbDelete:
        if (grid && grid->SelectedRowCount() > 1) {
            grid->DeleteSelection();
            throw EAbort();
        }
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
    if (button == nbPost)
        if (Vcl::TForm* form = GetParentForm();
            form && Vcl::InheritsFromName(form, QStringLiteral("TModulForm")))
            Voskdbcontrols::Korvex_LastValue_Save(form->focusWidget());
}

void TTopLabelFrame::DBN1Click(QObject* sender, NavBtn button) {
    if (button != nbInsert)
        return;
    if (auto* grid = qobject_cast<TVoskDBGrid2*>(m_grid.data()))
        grid->EditFirstVisibleColumn();
}

// ---- settings ----------------------------------------------------------------------------


void TTopLabelFrame::UpdateDockUndockHint() {
    const QString hint = FormAusgedockt ? makeText(26176, QStringLiteral("Fenster andocken"))
                                        : makeText(26175, QStringLiteral("Fenster ausdocken"));
    btDockUndock->setToolTip(hint);
    btDockUndock->setAccessibleName(hint);
    btDockUndock->setIcon(DMSys()->ImageListHot()->Icon(FormAusgedockt ? 283 : 246));
}

namespace TopLabel {

void Register() {
    Vcl::RegisterComponents(QStringLiteral("Korvex-Zusätzlich"), {Vcl::ComponentClass<TTopLabelFrame>()});
}

} // namespace TopLabel

KORVEX_UNIT("hadrel", "TopLabel", nullptr, nullptr, &TopLabel::Register);

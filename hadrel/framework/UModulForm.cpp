#include "UModulForm.h"

#include "FrameDBNavigate.h"
#include "UModulForm.Start.h"
#include "Vcl.Accessible.h"
#include "Vcl.Classes.h"

#include "DMSys.h"
#include "Korvexcommonvcl.h"
#include "Korvexutils.h"
#include "TVoskAlertWindow.h"
#include "TVoskClass.h"
#include "TVoskDBNavigator.h"
#include "TVoskPopupMenu.h"
#include "TVoskSpeedButton.h"
#include "TVoskStatusBar.h"
#include "UDM1.h"
#include "USoftlink.h"
#include "Vcl.Application.h"
#include "Vcl.Components.h"
#include "Vcl.Services.h"
#include "VoskControls.h"
#include "VoskTimer.h"
#include "uExceptions.h"

#include <EventGuard.h>
#include <SysPackages.h>
#include <UnitTable.h>
#include <VoskExceptions.h>

#include <algorithm>

#include <QApplication>
#include <QScopeGuard>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWindow>


QPointer<TModulForm> LastModulForm;

namespace {

void LogLocation(const QObject* form, const QString& where, std::exception_ptr e) {
    TKorvexLog::Error(Vcl::FullName(form) + where + QStringLiteral(": ") +
                      Rtl::ExceptionMessage(e));
}

// Runs one step of the creation; a failure is logged and does not stop the steps after it.
template <class F> void Step(const QObject* form, const QString& where, F&& f) {
    try {
        f();
    } catch (const EAbort&) {
    } catch (...) {
        LogLocation(form, where, std::current_exception());
    }
}

void LogClose(const TModulForm* form, int n) {
    if (TDM1* dm = DM1())
        dm->LogEvent(QStringLiteral("TModulForm.FormClose-%1-:").arg(n) + Vcl::ClassName(form) +
                     QStringLiteral(" - ") + form->objectName());
}

bool IsModulForm(const QWidget* w) { return Vcl::InheritsFromName(w, QStringLiteral("TModulForm")); }

// The header's colours from the common settings.
void ApplyHeaderColors(TTopLabelFrame* header) {
    const auto paint = [](QWidget* w, QPalette::ColorRole role, const QColor& color) {
        QPalette pal = w->palette();
        pal.setColor(role, color);
        w->setPalette(pal);
    };
    header->setAutoFillBackground(true);
    paint(header, QPalette::Window, Voskcontrols::ColorTopLabel);
    paint(header->Toplabel, QPalette::WindowText, Voskcontrols::ColorTopLabelFont);
    header->PanelTop->setAutoFillBackground(true);
    paint(header->PanelTop, QPalette::Window, header->palette().color(QPalette::Window));
}

} // namespace

TModulForm::TModulForm(QObject* owner, QWidget* parent) : TFormKorvexGundForm(owner, parent) {
    setObjectName(QStringLiteral("ModulForm"));
    SetFormStyle(Vcl::fsMDIChild);
    SetPosition(Vcl::poDefault);
    resize(1161, 411);

    TopLabel = new TTopLabelFrame(this, ClientArea());
    ClientLayout()->addWidget(TopLabel);
    auto* content = new QWidget(ClientArea());
    content->setObjectName(QStringLiteral("ModulClient"));
    m_modulLayout = new QVBoxLayout(content);
    m_modulLayout->setContentsMargins(0, 0, 0, 0);
    ClientLayout()->addWidget(content, 1);
    CreateStatusBar();
    ClientLayout()->addWidget(StatusBar1);
}

TModulForm::~TModulForm() {
    delete FSoftlink;
    if (LastModulForm == this)
        LastModulForm = nullptr;
}

void TModulForm::CreateStatusBar() {
    StatusBar1 = Vcl::Owned(this, new TVoskStatusBar(ClientArea()), QStringLiteral("StatusBar1"));
    StatusBar1->setFixedHeight(20);
    struct PanelDef {
        const char* text;
        int width;
        const char* container;
    };
    const PanelDef panels[] = {
        {"Erstellt:", 85, nullptr},
        {"", 175, nullptr},
        {"Bearbeitet:", 85, "StatusBar1ContainerAuditLog"},
        {"", 175, nullptr},
        {"Wiedervorlage:", 95, nullptr},
        {"", 85, "StatusBar1ContainerBtWvod"},
        {"", 75, "StatusBar1ContainerBtDoku"},
        {"", 95, "StatusBar1ContainerBtHistorie"},
        {"", 100, "StatusBar1ContainerBtEigenschaften"},
        {"", 100, "StatusBar1ContainerBtSoftlink"},
        {"", -1, nullptr},
    };
    QWidget* containers[6] = {};
    int c = 0;
    for (const PanelDef& p : panels) {
        const int panel = StatusBar1->AddPanel(QString::fromUtf8(p.text), p.width);
        if (p.container) {
            auto* w = Vcl::Owned(this, new QWidget(StatusBar1), QString::fromLatin1(p.container));
            w->setFixedHeight(14);
            if (p.width > 0)
                w->setFixedWidth(p.width);
            StatusBar1->SetPanelContainer(panel, w);
            containers[c++] = w;
        }
    }
    StatusBar1->Panel(0)->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    StatusBar1->Panel(4)->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    StatusBar1ContainerAuditLog = containers[0];
    StatusBar1ContainerBtWvod = containers[1];
    StatusBar1ContainerBtDoku = containers[2];
    StatusBar1ContainerBtHistorie = containers[3];
    StatusBar1ContainerBtEigenschaften = containers[4];
    StatusBar1ContainerBtSoftlink = containers[5];
}

// ---- creation ----------------------------------------------------------------------------

bool UModulForm::HasPositionParameters(const TQ32GrundForm* form) {
    // "ModulPositionWdith" is how older callers spell the width; both count.
    for (const char* name : {"ModulPopupParent", "ModulPositionTop", "ModulPositionLeft",
                             "ModulPositionWidth", "ModulPositionWdith", "ModulPositionHeight"})
        if (form->ParameterExists(QString::fromLatin1(name)))
            return true;
    return false;
}

void TModulForm::ApplyDocking() {
    if (UModulForm::HasPositionParameters(this)) {
        TopLabel->FormAusgedockt = true;
        SetFormStyle(Vcl::fsNormal);
        return;
    }
    if (!IsMdiChild())
        return;
    TopLabel->btDockUndock->setVisible(true);
    if (UGrundModulForm::IsTestComplete()) {
        TopLabel->btDockUndock->setEnabled(false);
        TopLabel->FormAusgedockt = false;
    } else {
        TDM1* dm = DM1();
        TopLabel->FormAusgedockt = dm && dm->Connected()
                                       ? dm->LoadLastValBool(QStringLiteral("Modules_Docking"), false)
                                       : false;
    }
    TopLabel->UpdateDockUndockHint();
    if (TopLabel->FormAusgedockt)
        SetFormStyle(Vcl::fsNormal);
}

void TModulForm::ApplyPopupParent() {
    if (IsMdiChild())
        return;
    QWidget* popupParent = nullptr;
    if (ParameterExists(QStringLiteral("ModulPopupParent"))) {
        // The parameter carries the serial of a live form; an unknown one is ignored.
        popupParent = Vcl::Screen::FormBySerial(GetParameterInt(QStringLiteral("ModulPopupParent"),
                                                                0));
    } else if (!TopLabel->btDockUndock->isHidden()) {
        popupParent = Vcl::Screen::MainForm();
    }
    if (popupParent && popupParent != this) {
        winId();
        popupParent->winId();
        if (windowHandle() && popupParent->window()->windowHandle())
            windowHandle()->setTransientParent(popupParent->window()->windowHandle());
    }
}

void TModulForm::FormCreate(QObject* sender) {
    m_formUpdateCount = 0;
    MainMenuID = -1;
    Step(this, QStringLiteral(".FormCreate - Positioning"), [this] { ApplyDocking(); });
    TFormKorvexGundForm::FormCreate(sender);

    const QString where = QStringLiteral(".FormCreate");
    Step(this, where, [this] { ApplyPopupParent(); });
    Step(this, where, [this] {
        dxAlertWindowManager = Vcl::Owned(this, new TVoskAlertWindowManager(this),
                                          QStringLiteral("dxAlertWindowManager"));
        dxAlertWindowManager->AlphaBlendValue = 220;
        dxAlertWindowManager->ShowingAnimationTime = 50;
        dxAlertWindowManager->AutoHeight = true;
        dxAlertWindowManager->Width = 250;
        dxAlertWindowManager->WindowPosition = awpBottomRight;
        dxAlertWindowManager->Images = [](int i) { return DMSys()->ImageList()->Icon(i); };
        dxAlertWindowManager->OnBeforeShow = [this](TVoskAlertWindowManager*,
                                                    TVoskAlertWindow* w) {
            AlertWindow = w;
            AlertWindowSetPosition();
        };
        pmAlertWindow = Vcl::Owned(this, new TVoskPopupMenu(this), QStringLiteral("pmAlertWindow"));
        pmCopyMessage =
            Vcl::Owned(this, pmAlertWindow->AddItem(QStringLiteral("Nachricht kopieren")),
                       QStringLiteral("pmCopyMessage"));
        connect(pmCopyMessage, &QAction::triggered, this,
                [this] { Rtl::Guarded([this] { pmCopyMessageClick(); }, this); });
        dxAlertWindowManager->PopupMenu = pmAlertWindow;
    });
    Step(this, where, [this] {
        PopUpWVODDate = Vcl::Owned(this, new TVoskPopupMenu(this), QStringLiteral("PopUpWVODDate"));
        TVoskMenuItem* first =
            PopUpWVODDate->AddItem(makeText(2704, QStringLiteral("*")) + QLatin1Char(' ') +
                                   makeText(2292, QStringLiteral("*")));
        first->setIcon(DMSys()->ImageList()->Icon(6));
        PopUpWVODDate->addSeparator();
        BalloonHintWVOD = Vcl::Owned(this, new QObject(this), QStringLiteral("BalloonHintWVOD"));
    });
    // The data module's cached system queries: reports, report links and the module fields that
    // the audit-log button below is looked up in.
    Step(this, where, [] {
        if (TDM1* dm = DM1(); dm && dm->Connected())
            dm->OpenModulQueries();
    });
    Step(this, where, [this] {
        TimerShowWvodDokuHint =
            Vcl::Owned(this, new TVoskTimer(this), QStringLiteral("TimerShowWvodDokuHint"));
        TimerShowWvodDokuHint->SetEnabled(false);
        // Writing the switches back unchanged makes the header apply them to the status bar.
        TopLabel->SetBtStatusBar(TopLabel->BtStatusBar());
    });
    Step(this, where, [this] {
        const QFontMetrics fm(StatusBar1->font());
        // The links need the form's font's whole line (descenders of "Eigenschaften" included)
        // inside the button's frame and the one-pixel margin of their container.
        const int containerHeight = qMax(14, fm.height() + 6);
        StatusBar1->setFixedHeight(qMax(20, containerHeight + 6));
        for (QWidget* container :
             {StatusBar1ContainerAuditLog, StatusBar1ContainerBtWvod, StatusBar1ContainerBtDoku,
              StatusBar1ContainerBtHistorie, StatusBar1ContainerBtEigenschaften,
              StatusBar1ContainerBtSoftlink})
            if (container)
                container->setFixedHeight(containerHeight);
        const QString texts[3] = {makeText(2042, QStringLiteral("Erstellt")) + QStringLiteral(": "),
                                  makeText(2044, QStringLiteral("Bearbeitet")) +
                                      QStringLiteral(": "),
                                  makeText(2704, QStringLiteral("Wiedervorlage")) +
                                      QStringLiteral(": ")};
        const int index[3] = {0, 2, 4};
        for (int i = 0; i < 3; ++i) {
            StatusBar1->SetPanelText(index[i], texts[i]);
            StatusBar1->SetPanelWidth(index[i], fm.horizontalAdvance(texts[i]) + 20);
        }
        // The stamps are read out under their captions.
        Vcl::SetContentCaption(StatusBar1->Panel(1), makeText(2042, QStringLiteral("Erstellt")));
        Vcl::SetContentCaption(StatusBar1->Panel(3), makeText(2044, QStringLiteral("Bearbeitet")));
    });
    Step(this, where, [this] { CreateStatusBarButtons(); });
    Step(this, where, [this] { ConnectStatusBar(); });
    Step(this, where, [this] {
        if (TopLabel->DBN1->VisibleButtons() == NavBtnSet())
            TopLabel->DBN1->hide();
        ApplyHeaderColors(TopLabel);
        TopLabel->LoadGridSettings();
        TopLabel->LoadAutoRefreshSettings();
    });
    // Whatever failed before, no data class may post without the question.
    Step(this, where, [this] { AttachSaveQuestion(); });
    Step(this, where, [this] {
        const auto present = DebuggerPresentProc ? DebuggerPresentProc : &Rtl::DebuggerPresent;
        if (present())
            CreateDislabledDebugButton();
    });
    if (TimerShowWvodDokuHint)
        TimerShowWvodDokuHint->SetEnabled(true);
}

TVoskSpeedButton* TModulForm::CreateStatusBarButton(QObject* owner, QWidget* container,
                                                    int textNr, bool highlighted,
                                                    const QString& name) {
    try {
        auto* b = new TVoskSpeedButton(container);
        Vcl::SetOwner(b, owner ? owner : this);
        b->SetFlat(true);
        b->setGeometry(1, 1, qMax(0, container->width() - 2), qMax(0, container->height() - 2));
        b->setText(QStringLiteral("*"));
        b->SetTextNr(textNr);
        b->setProperty("TextNr", textNr);
        if (highlighted) {
            b->setCursor(Qt::PointingHandCursor);
            b->SetFontColor(StatusColorEmpty());
            b->SetUnderlined(true);
        }
        if (owner) {
            // Two module forms on one data class would otherwise give two buttons one name.
            QString n = name;
            if (Vcl::FindComponent(owner, n))
                n = name + QStringLiteral("__") + Vcl::ClassName(this);
            b->setObjectName(n);
        }
        b->show();
        return b;
    } catch (...) {
        LogLocation(this, QStringLiteral(".FormCreate.CreateStatusBarButton"),
                    std::current_exception());
        return nullptr;
    }
}

void TModulForm::CreateStatusBarButtons() {
    TModulFormStatusBar bar = TopLabel->BtStatusBar();
    const bool hideAll = GetParameterBool(QStringLiteral("HideAllStatus"));
    auto hideWhen = [&](bool rule, TModulFormStatusBarItem item) {
        if (rule || hideAll)
            bar &= ~TModulFormStatusBar(item);
    };

    BtWvod = Vcl::Owned(StatusBar1, new QToolButton(StatusBar1ContainerBtWvod),
                        QStringLiteral("BtWvod"));
    BtWvod->setFocusPolicy(Qt::NoFocus);
    BtWvod->setGeometry(1, 1, StatusBar1ContainerBtWvod->width() - 2,
                        StatusBar1ContainerBtWvod->height() - 2);
    BtWvod->setCursor(Qt::PointingHandCursor);
    BtWvod->setStyleSheet(QStringLiteral("color: blue; font-weight: bold; "
                                         "text-decoration: underline;"));
    BtWvod->setToolTip(makeText(2704, QStringLiteral("Wiedervorlage")));
    BtWvod->setMenu(PopUpWVODDate);
    BtWvod->setPopupMode(QToolButton::MenuButtonPopup);
    BtWvod->show();
    hideWhen(GetParameterBool(QStringLiteral("HideWVOD")), msbWVOD);

    BtAuditLog = CreateStatusBarButton(StatusBar1, StatusBar1ContainerAuditLog, 30145, false,
                                       QStringLiteral("BtAuditLog"));
    // A module whose audit log opens a lookup shows the button as a link.
    if (TDM1* dm = DM1(); BtAuditLog && dm && dm->Connected()) {
        try {
            QString modul = Korvexutils::FindModulName(this);
            if (modul.isEmpty())
                modul = Vcl::ClassName(this);
            TVoskQuery2& fields = dm->ModulFieldQuery();
            if (fields.Active() && fields.Locate(QStringLiteral("modulname;feldname"),
                                                 {modul, QStringLiteral("BtAuditLog")}, true)) {
                BtAuditLog->setCursor(Qt::PointingHandCursor);
                BtAuditLog->SetFontColor(QColor(Qt::blue));
                BtAuditLog->SetUnderlined(true);
            }
        } catch (const std::exception& e) {
            dm->LogEvent(QStringLiteral("TModulForm.FormCreate: BtAuditLog"), &e);
        }
    }
    hideWhen(GetParameterBool(QStringLiteral("HideAuditLog")), msbAuditLog);

    TVoskClass* doku = TopLabel->DokumentClass();
    TVoskClass* data = TopLabel->FDataSource();
    if (doku)
        BtDoku = CreateStatusBarButton(doku, StatusBar1ContainerBtDoku, 3053, true,
                                       QStringLiteral("BtDoku"));
    if (BtDoku)
        connect(BtDoku, &QToolButton::clicked, this,
                [this] { Rtl::Guarded([this] { BtDokuClick(BtDoku); }, this); });
    hideWhen(!doku || GetParameterBool(QStringLiteral("HideDokVerw")), msbDoku);
    if (data) {
        BtHistorie = CreateStatusBarButton(data, StatusBar1ContainerBtHistorie, 4815, true,
                                           QStringLiteral("BtHistorie"));
        BtEigenschaften = CreateStatusBarButton(data, StatusBar1ContainerBtEigenschaften, 3298,
                                                true, QStringLiteral("BtEigenschaften"));
    }
    hideWhen(!data || GetParameterBool(QStringLiteral("HideHistorie")), msbHistorie);
    hideWhen(!data || GetParameterBool(QStringLiteral("HideEigenschaften")), msbEigenschaften);
    if (doku) {
        pmuSoftlink = Vcl::Owned(doku, new TVoskPopupMenu(this), QStringLiteral("pmuSoftlink"));
        BtSoftlink = CreateStatusBarButton(doku, StatusBar1ContainerBtSoftlink, 26308, true,
                                           QStringLiteral("BtSoftlink"));
        CreateSoftlink();
        if (BtSoftlink)
            BtSoftlink->setEnabled(true);
    }
    hideWhen(!doku || GetParameterBool(QStringLiteral("HideSoftlink")), msbSoftlink);
    TopLabel->SetBtStatusBar(bar);
}

void TModulForm::AttachSaveQuestionTo(TVoskClass* c) {
    QPointer<TModulForm> self(this);
    c->BeforePost = [self](TVoskClass* sender) {
        if (self)
            self->AskBeforePost(sender);
    };
}

void TModulForm::AttachSaveQuestion() {
    if (Vcl::IsDesigning(this))
        return;
    for (QObject* comp : Vcl::Components(this)) {
        if (Vcl::InheritsFromName(comp, QStringLiteral("TNummernKreis")))
            continue;
        if (auto* c = qobject_cast<TVoskClass*>(comp)) {
            AttachSaveQuestionTo(c);
            for (QObject* sub : Vcl::Components(c))
                if (auto* s = qobject_cast<TVoskClass*>(sub))
                    AttachSaveQuestionTo(s);
            for (TVoskClass* s : c->Children())
                AttachSaveQuestionTo(s);
        } else if (qobject_cast<QFrame*>(comp) && Vcl::ComponentCount(comp) > 0) {
            for (QObject* sub : Vcl::Components(comp))
                if (auto* s = qobject_cast<TVoskClass*>(sub))
                    AttachSaveQuestionTo(s);
        }
    }
}

void TModulForm::AskBeforePost(TVoskClass* sender) {
    if (!TopLabel->WithWorkModes() || !sender)
        return;
    QString prefix;
    try {
        if (sender->FGetNeuAngelegt())
            return;
        TDM1* dm = DM1();
        const QString alias = dm && dm->Connected()
                                  ? dm->GetFieldAlias(QString(), sender->SqlTable())
                                  : QString();
        for (const QString& candidate :
             {sender->DescriptionText(), alias, sender->objectName(), Vcl::ClassName(sender)})
            if (!candidate.isEmpty()) {
                prefix = candidate;
                break;
            }
        prefix += QStringLiteral(": ");
    } catch (...) {
    }
    if (TopLabel->_Write())
        return;
    if (Korvexutils::RaiseQuestionYes(prefix +
                                      makeText(4130, QStringLiteral("Änderungen speichern?"))))
        return;
    sender->Cancel();
    for (QObject* sub : Vcl::Components(sender))
        if (auto* s = qobject_cast<TVoskClass*>(sub))
            s->Cancel();
    Korvexutils::RaiseCriticalError(makeText(4034, QStringLiteral("Speichern abgebrochen.")));
}


// ---- showing, activation, closing --------------------------------------------------------

void TModulForm::FormShow(QObject* sender) {
    TFormKorvexGundForm::FormShow(sender);
    if (IsModal())
        TopLabel->btNewOpen->hide();
    setWindowTitle(TopLabel->Toplabel->text());
    if (StatusBar1->PanelCount() >= 3 && !StatusBar1ContainerAuditLog->isHidden())
        StatusBar1ContainerAuditLog->setFixedWidth(StatusBar1->PanelWidth(2));
    // Shown again after docking: the window may be larger than the MDI area it came into.
    CorrectMaxCoord();
}

void TModulForm::FormActivate(QObject* sender) {
    TFormKorvexGundForm::FormActivate(sender);
    LastModulForm = this;
    // The refresh runs after the activation has been handled completely.
    Vcl::PostMessage(this, WM_ActivateRefresh, 0, 0);
}

void TModulForm::FormDeactivate(QObject* sender) {
    m_deactivatedAt = TVoskClass::ReadClock();
    TFormKorvexGundForm::FormDeactivate(sender);
}

void TModulForm::customEvent(QEvent* e) {
    if (e->type() == Vcl::TMessageEvent::EventType() &&
        static_cast<Vcl::TMessageEvent*>(e)->Msg() == WM_ActivateRefresh) {
        try {
            FormActivateRefreshDataSet_WM();
        } catch (...) {
            LogLocation(this, QStringLiteral(".FormActivateRefreshDataSet_WM"),
                        std::current_exception());
        }
        return;
    }
    TFormKorvexGundForm::customEvent(e);
}

void TModulForm::FormActivateRefreshDataSet_WM() {
    QStringList wouldRefresh;
    const bool debugButton =
        Vcl::FindComponent(this, QStringLiteral("btFormActivateRefreshDisabled")) != nullptr;
    QList<TVoskClass2*> classes;
    // Data classes of the form at any depth of ownership, in the order they were made.
    std::function<void(QObject*)> collect = [&](QObject* owner) {
        for (QObject* c : Vcl::Components(owner)) {
            if (auto* d = qobject_cast<TVoskClass2*>(c))
                classes.append(d);
            collect(c);
        }
    };
    collect(this);
    // Rows read since the window was last left or last refreshed here are as new as a second
    // read would be (the window was just opened, or the user refreshed it).
    const quint64 since = std::max(m_deactivatedAt, m_refreshedAt);
    m_refreshedAt = TVoskClass::ReadClock();
    for (TVoskClass2* d : classes) {
        if (!d->EnabledFlag() || !d->FGetActive() || d->FInEdit())
            continue;
        if (d->CachedUpdates() && d->UpdatesPending())
            continue;
        if (!d->SingleRecordRefresh())
            continue;
        const QString text = Vcl::FullName(this) + QStringLiteral(".FormActivate->") +
                             Vcl::FullName(d) + QStringLiteral(".RefreshRecord: ");
        if (!d->HasKeyField()) {
            TKorvexLog::Warning(text + QStringLiteral("kein Auto-Refresh da KeyField (dbrid) "
                                                      "fehlt oder weil RecordCount <> 1"));
            continue;
        }
        try {
            if (debugButton) {
                const QString name = d->objectName().isEmpty() && Vcl::Owner(d)
                                         ? Vcl::Owner(d)->objectName()
                                         : d->objectName();
                wouldRefresh << name;
            } else if (d->HasRecord() && d->ReadAt() <= since) {
                d->RefreshRecord();
            }
        } catch (...) {
            const QString msg = text + Rtl::ExceptionMessage(std::current_exception());
            TDM1* dm = DM1();
            if (UGrundModulForm::IsTestComplete() || (dm && dm->IsAdmin()) ||
                qEnvironmentVariableIsSet("KORVEX_DEVELOP_SYSTEM"))
                Vcl::Ask(Vcl::mtError, {}, msg, Vcl::mbOK);
            TKorvexLog::Error(msg);
        }
    }
    if (!wouldRefresh.isEmpty())
        AllertWindowWVOD(QStringLiteral("DEBUG: no Refresh"),
                         QStringLiteral("Folgende Querys wären Refresht worden,\naber nicht wegen "
                                        "Debugger.\n") +
                             wouldRefresh.join(QLatin1Char('\n')) + QLatin1Char('\n'),
                         29);
}

void TModulForm::FormClose(QObject* sender, Vcl::TCloseAction& action) {
    LogClose(this, 0);
    const bool ticking = TimerShowWvodDokuHint && TimerShowWvodDokuHint->Enabled();
    if (TimerShowWvodDokuHint)
        TimerShowWvodDokuHint->SetEnabled(false);
    // A window that stays open ("Abbrechen", or a save the server refused and that leaves here by
    // an exception) keeps its status bar following the record.
    bool closing = false;
    const auto restoreTimer = qScopeGuard([&] {
        if (!closing && ticking && TimerShowWvodDokuHint)
            TimerShowWvodDokuHint->SetEnabled(true);
    });
    LogClose(this, 1);
    TFormKorvexGundForm::FormClose(sender, action);
    closing = action != Vcl::caNone;
    if (closing && LastModulForm == this)
        LastModulForm = nullptr;
    LogClose(this, 2);
}

void TModulForm::FormDestroy(QObject* sender) {
    if (LastModulForm == this)
        LastModulForm = nullptr;
    delete FSoftlink;
    FSoftlink = nullptr;
    TFormKorvexGundForm::FormDestroy(sender);
}

// ---- keys --------------------------------------------------------------------------------

void TModulForm::FormKeyDown(QObject* sender, int& Key, Qt::KeyboardModifiers Shift) {
    TFormKorvexGundForm::FormKeyDown(sender, Key, Shift);
    if (Key == 0)
        return;
    try {
        const Qt::KeyboardModifiers mods = Shift & ~Qt::KeypadModifier;
        // The module's own print or the built-in one: a print button the user could click takes
        // the key; otherwise it stays the control's.
        if (Key == Qt::Key_P && mods == Qt::ControlModifier && TopLabel->_PrintBar() &&
            !TopLabel->PrintBt->isHidden() && TopLabel->PrintBt->isEnabled()) {
            Key = 0;
            TopLabel->PrintBt->click();
        } else if (Key == Qt::Key_F3 && !(mods & Qt::AltModifier) &&
                   !TopLabel->BtTools->isHidden()) {
            Key = 0;
            TopLabel->BtTools->click();
        } else if (Key == Qt::Key_F4 && !(mods & Qt::AltModifier) &&
                   !TopLabel->InfoBt->isHidden()) {
            Key = 0;
            TopLabel->InfoBt->click();
        }
    } catch (...) {
        LogLocation(this, QStringLiteral(".FormKeyDown"), std::current_exception());
    }
}

// ---- paint lock and read-only ------------------------------------------------------------

void TModulForm::BeginUpdate() {
    if (++m_formUpdateCount == 1)
        Frame()->setUpdatesEnabled(false);
}

void TModulForm::EndUpdate() {
    if (m_formUpdateCount > 0)
        --m_formUpdateCount;
    if (m_formUpdateCount == 0)
        Frame()->setUpdatesEnabled(true);
}

void TModulForm::DoAdminState() {
    TFormKorvexGundForm::DoAdminState();
    if (m_formReadOnly && TopLabel)
        TopLabel->BtTools->hide();
}

void TModulForm::SetFormReadOnly() {
    m_formReadOnly = true;
    std::function<void(QObject*)> walk = [&](QObject* owner) {
        for (QObject* c : Vcl::Components(owner)) {
            if (auto* d = qobject_cast<TVoskClass*>(c)) {
                d->SetReadOnly(true);
                d->SetEditFlag(false);
            } else if (auto* frame = qobject_cast<TFrameDBNav*>(c)) {
                frame->SetBtInsert(false);
                frame->SetBtDelete(false);
                frame->SetBtPostNCancel(false);
                frame->BtTools->hide();
                frame->update();
            } else if (auto* nav = qobject_cast<TVoskDBNavigator*>(c); nav && nav != TopLabel->DBN1) {
                nav->SetVisibleButtons(nav->VisibleButtons() &
                                       ~(nbInsert | nbDelete | nbEdit | nbPost | nbCancel));
            }
            if (c->isWidgetType())
                walk(c);
        }
    };
    walk(this);
    TopLabel->BtTools->hide();
    TopLabel->SetBtInsert(false);
    TopLabel->SetBtPost(false);
    TopLabel->SetBtDelete(false);
    TopLabel->FSetWrite(false);
}

// ---- alert window ------------------------------------------------------------------------

void TModulForm::AllertWindowWVOD(const QString& caption, const QString& text, int imageIndex) {
    try {
        TModulForm* form = nullptr;
        for (Vcl::TForm* f : Vcl::Screen::Forms())
            if (IsModulForm(f) && f->isVisible()) {
                form = static_cast<TModulForm*>(f);
                break;
            }
        if (!form)
            throw ERangeError(QStringLiteral("ModulForm nicht gefunden"));
        if (form->AlertWindow && form->AlertWindow->isVisible())
            form->AlertWindow->hide();
        TVoskAlertWindow* w = form->dxAlertWindowManager->Show(caption, text, imageIndex);
        form->AlertWindow = w;
        Vcl::SetTag(w, 1);
    } catch (...) {
        TKorvexLog::Error(QStringLiteral("TModulForm.AllertWindowWVOD: ") +
                          Rtl::ExceptionMessage(std::current_exception()));
    }
}

void TModulForm::AlertWindowSetPosition() {
    if (!AlertWindow)
        return;
    const int captionHeight = style()->pixelMetric(QStyle::PM_TitleBarHeight);
    const QPoint local(width() - AlertWindow->width() - 17,
                       height() - AlertWindow->height() - captionHeight - 16);
    AlertWindow->move(mapToGlobal(local));
}

void TModulForm::moveEvent(QMoveEvent* e) {
    TFormKorvexGundForm::moveEvent(e);
    try {
        if (AlertWindow && AlertWindow->isVisible() && isVisible())
            AlertWindowSetPosition();
    } catch (...) {
        LogLocation(this, QStringLiteral(".WMMoving"), std::current_exception());
    }
}

void TModulForm::resizeEvent(QResizeEvent* e) {
    TFormKorvexGundForm::resizeEvent(e);
    CorrectMaxCoord();
    if (AlertWindow && AlertWindow->isVisible() && isVisible())
        AlertWindowSetPosition();
}

void TModulForm::pmCopyMessageClick() {
    // The menu names the window it was opened on; from code it is the one shown last.
    TVoskAlertWindow* w = dxAlertWindowManager->ActiveMenuWindow();
    if (!w)
        w = AlertWindow;
    if (w)
        Vcl::Clipboard::Instance().SetText(w->Text());
}

// ---- small services ----------------------------------------------------------------------

void TModulForm::ResetStatusBar() {
    LastOID.clear();
    LastHintID.clear();
    LastDokuID.clear();
}

QObject* TModulForm::MyButton(QObject* form) {
    return form ? Vcl::FindComponent(form, QStringLiteral("KorvexMyButton")) : nullptr;
}

void UModulForm::ShowModulForm(TModulForm* form) {
    if (!form)
        return;
    QWidget* main = Vcl::Screen::MainForm();
    auto* mdi = main ? main->findChild<QMdiArea*>() : nullptr;
    if (form->IsMdiChild() && mdi) {
        QMdiSubWindow* sub = qobject_cast<QMdiSubWindow*>(form->parentWidget());
        if (!sub) {
            sub = mdi->addSubWindow(form);
            sub->setAttribute(Qt::WA_DeleteOnClose);
            sub->setWindowTitle(form->windowTitle());
        }
        sub->show();
        form->show();
        mdi->setActiveSubWindow(sub);
        return;
    }
    // An undocked module (or one without a main window to dock into) is a window of its own.
    if (form->IsMdiChild())
        form->SetFormStyle(Vcl::fsNormal);
    form->show();
    form->raise();
    form->activateWindow();
}

// ---- unit --------------------------------------------------------------------------------

namespace {

void UnitInit() {
    RtlDialog::FAllertWindowWVOD.Set(
        [](const QString& c, const QString& t, int i) { TModulForm::AllertWindowWVOD(c, t, i); });
    TTopLabelFrame::FormReadOnlyProc = [](const QWidget* form) {
        auto* m = qobject_cast<const TModulForm*>(form);
        return m && m->FFormReadOnly();
    };
    TTopLabelFrame::ResetStatusBarProc = [](QWidget* form) {
        if (auto* m = qobject_cast<TModulForm*>(form))
            m->ResetStatusBar();
    };
}

void UnitFini() {
    RtlDialog::FAllertWindowWVOD.Reset();
    TTopLabelFrame::FormReadOnlyProc = nullptr;
    TTopLabelFrame::ResetStatusBarProc = nullptr;
}

} // namespace

KORVEX_UNIT("hadrel", "UModulForm", UnitInit, UnitFini, &UModulForm::Register);

namespace UModulForm {

void Register() {
    const std::vector<const QMetaObject*> classes{
        &TModulForm::staticMetaObject, &TFormKorvexGundForm::staticMetaObject,
        &TKorvexF2Form::staticMetaObject, &TKorvexF2EditForm::staticMetaObject};
    for (const QMetaObject* cls : classes)
        Vcl::RegisterClass(QStringLiteral("UModulForm.") + Vcl::ClassName(cls), cls);
    Vcl::RegisterNoIcon(classes);
}

} // namespace UModulForm

#include "Vcl.Forms.h"

#include "EventGuard.h"

#include "Vcl.Components.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QHash>
#include <QMdiSubWindow>
#include <QScreen>

namespace Vcl {

namespace {

struct ScreenData {
    QList<TForm*> forms; // creation order
    QHash<int, TForm*> bySerial;
    int lastSerial = 0;
    QPointer<QWidget> mainForm;
};

ScreenData& Data() {
    static ScreenData data;
    return data;
}

} // namespace

TForm::TForm(QObject* owner, QWidget* parent) : QWidget(parent, Qt::Window) {
    m_serial = Screen::Register(this);
    if (owner)
        SetOwner(this, owner);
}

TForm::~TForm() {
    SetDestroying(this);
    // The derived parts are gone: what Qt and the owner list free from here on must not reach
    // the form's slots.
    DetachSlots(this);
    if (m_modalLoop)
        m_modalLoop->quit();
    Screen::Unregister(this);
}

void TForm::SetBorderStyle(TBorderStyle style) {
    if (m_borderStyle == style)
        return;
    m_borderStyle = style;
    UpdateWindowFlags();
}

void TForm::SetFormStyle(TFormStyle style) {
    if (m_formStyle == style)
        return;
    m_formStyle = style;
    UpdateWindowFlags();
}

void TForm::UpdateWindowFlags() {
    // An embedded form (inside a sub-window or another widget) takes its frame from its host.
    if (!isWindow())
        return;
    Qt::WindowFlags flags = windowFlags();
    flags &= ~(Qt::WindowType_Mask | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    switch (m_borderStyle) {
    case bsDialog:
        flags |= Qt::Dialog;
        break;
    case bsToolWindow:
    case bsSizeToolWin:
        flags |= Qt::Tool;
        break;
    case bsNone:
        flags |= Qt::Window | Qt::FramelessWindowHint;
        break;
    default:
        flags |= Qt::Window;
    }
    if (m_formStyle == fsStayOnTop)
        flags |= Qt::WindowStaysOnTopHint;
    if (flags == windowFlags())
        return;
    const bool wasVisible = isVisible();
    setWindowFlags(flags); // hides the window
    if (wasVisible)
        show();
}

QWidget* TForm::Frame() const {
    if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget()))
        return sub;
    return const_cast<TForm*>(this);
}

TWindowState TForm::WindowState() const {
    const Qt::WindowStates s = Frame()->windowState();
    if (s & Qt::WindowMinimized)
        return wsMinimized;
    if (s & Qt::WindowMaximized)
        return wsMaximized;
    return wsNormal;
}

void TForm::SetWindowState(TWindowState state) {
    QWidget* frame = Frame();
    Qt::WindowStates s = frame->windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized);
    if (state == wsMinimized)
        s |= Qt::WindowMinimized;
    else if (state == wsMaximized)
        s |= Qt::WindowMaximized;
    frame->setWindowState(s);
}

bool TForm::CloseQuery() {
    bool canClose = true;
    if (OnCloseQuery)
        OnCloseQuery(this, canClose);
    return canClose;
}

bool TForm::Close() {
    QWidget* frame = Frame();
    // A sub-window passes the close on to its widget, so the protocol runs once either way.
    return frame->close();
}

void TForm::Release() {
    hide();
    PrepareDestruction();
    deleteLater();
}

void TForm::PrepareDestruction() {
    if (m_destructionPrepared)
        return;
    m_destructionPrepared = true;
    Rtl::Guarded([this] { BeforeDestruction(); }, this);
}

void TForm::closeEvent(QCloseEvent* e) {
    // A failing close handler (a refused post in the save question, say) keeps the form open with
    // its data; the error is shown here so that no exception unwinds through Qt's dispatch.
    TCloseAction action = m_formStyle == fsMDIChild && !m_modalLoop ? caMinimize : caHide;
    const bool handled = Rtl::Guarded(
        [&] {
            if (!CloseQuery()) {
                action = caNone;
                return;
            }
            if (m_modalLoop && m_modalResult == mrNone)
                m_modalResult = mrCancel;
            if (OnClose)
                OnClose(this, action);
        },
        this);
    if (!handled)
        action = caNone;
    switch (action) {
    case caNone:
        if (m_modalLoop)
            m_modalResult = mrNone;
        e->ignore();
        break;
    case caHide:
        e->accept();
        break;
    case caMinimize:
        e->ignore();
        SetWindowState(wsMinimized);
        break;
    case caFree:
        e->accept();
        PrepareDestruction();
        deleteLater();
        break;
    }
}

void TForm::SetModalResult(int result) {
    m_modalResult = result;
    if (result != mrNone && m_modalLoop && !Close())
        m_modalResult = mrNone;
}

int TForm::ShowModal() {
    QEventLoop loop;
    QPointer<TForm> self(this);
    m_modalResult = mrNone;
    m_modalLoop = &loop;
    const Qt::WindowModality oldModality = windowModality();
    setWindowModality(Qt::ApplicationModal);
    show();
    if (isVisible())
        loop.exec(QEventLoop::DialogExec);
    if (!self)
        return mrCancel;
    m_modalLoop = nullptr;
    hide();
    setWindowModality(oldModality);
    return m_modalResult == mrNone ? mrCancel : m_modalResult;
}

void TForm::ApplyPosition() {
    if (!isWindow())
        return;
    QScreen* scr = screen() ? screen() : QGuiApplication::primaryScreen();
    if (!scr)
        return;
    QRect over;
    switch (m_position) {
    case poScreenCenter:
    case poDesktopCenter:
        over = scr->availableGeometry();
        break;
    case poOwnerFormCenter:
        if (auto* w = qobject_cast<QWidget*>(Owner(this)); w && w->isVisible())
            over = w->window()->frameGeometry();
        [[fallthrough]];
    case poMainFormCenter:
        if (over.isNull()) {
            QWidget* main = Screen::MainForm();
            over = main && main != this && main->isVisible() ? main->frameGeometry()
                                                             : scr->availableGeometry();
        }
        break;
    default:
        return;
    }
    // The window exists by now, so the frame's margins are known.
    move(CenteredGeometry(frameGeometry().size(), over, scr->availableGeometry()).topLeft());
}

void TForm::SetActive(bool active) {
    if (m_active == active)
        return;
    m_active = active;
    const auto& handler = active ? OnActivate : OnDeactivate;
    if (handler)
        handler(this);
}

void TForm::WatchFrame() {
    auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget());
    if (sub == m_watchedFrame)
        return;
    if (m_watchedFrame)
        disconnect(m_watchedFrame, nullptr, this, nullptr);
    m_watchedFrame = sub;
    // An MDI child is active when its sub-window is, not when the main window is.
    if (sub)
        connect(sub, &QMdiSubWindow::windowStateChanged, this,
                [this](Qt::WindowStates, Qt::WindowStates now) {
                    SetActive(now.testFlag(Qt::WindowActive));
                });
}

bool TForm::event(QEvent* e) {
    if (e->type() == QEvent::ParentChange)
        WatchFrame();
    if (e->type() == QEvent::DeferredDelete)
        PrepareDestruction();
    return QWidget::event(e);
}

void TForm::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    if (e->spontaneous())
        return;
    if (!m_positioned) {
        m_positioned = true;
        ApplyPosition();
    }
    if (OnShow)
        OnShow(this);
}

void TForm::hideEvent(QHideEvent* e) {
    QWidget::hideEvent(e);
    if (e->spontaneous())
        return;
    if (OnHide)
        OnHide(this);
    if (m_modalLoop)
        m_modalLoop->quit();
}

void TForm::changeEvent(QEvent* e) {
    QWidget::changeEvent(e);
    if (e->type() == QEvent::ActivationChange && !m_watchedFrame)
        SetActive(isActiveWindow());
}

QRect CenteredGeometry(const QSize& size, const QRect& over, const QRect& screen) {
    QRect r(QPoint(0, 0), size);
    r.moveCenter(over.center());
    if (screen.isValid()) {
        if (r.right() > screen.right())
            r.moveRight(screen.right());
        if (r.bottom() > screen.bottom())
            r.moveBottom(screen.bottom());
        if (r.left() < screen.left())
            r.moveLeft(screen.left());
        if (r.top() < screen.top())
            r.moveTop(screen.top());
    }
    return r;
}

QList<TForm*> Screen::Forms() {
    QList<TForm*> result;
    for (TForm* f : Data().forms)
        if (!IsDestroying(f))
            result.append(f);
    return result;
}

TForm* Screen::FormBySerial(int serial) {
    TForm* f = Data().bySerial.value(serial);
    return f && !IsDestroying(f) ? f : nullptr;
}

TForm* Screen::ActiveForm() {
    auto live = [](QWidget* w) -> TForm* {
        auto* f = qobject_cast<TForm*>(w);
        return f && Data().bySerial.contains(f->Serial()) && !IsDestroying(f) ? f : nullptr;
    };
    if (TForm* f = live(QApplication::activeWindow()))
        return f;
    return live(ParentForm(QApplication::focusWidget()));
}

QWidget* Screen::MainForm() {
    return Data().mainForm.data();
}

void Screen::SetMainForm(QWidget* form) {
    Data().mainForm = form;
}

int Screen::Register(TForm* form) {
    ScreenData& d = Data();
    const int serial = ++d.lastSerial;
    d.forms.append(form);
    d.bySerial.insert(serial, form);
    return serial;
}

void Screen::Unregister(TForm* form) {
    ScreenData& d = Data();
    d.forms.removeOne(form);
    d.bySerial.remove(form->Serial());
}

} // namespace Vcl

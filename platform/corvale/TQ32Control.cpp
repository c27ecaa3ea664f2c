#include "TQ32Control.h"

#include "Korvexutils.h"
#include "TVoskClass.h"
#include "Vcl.Components.h"

#include <QWidget>

TQ32Control::TQ32Control(QObject* owner) : QObject(owner) {
    Vcl::SetOwner(this, owner);
}

TQ32Control* TQ32Control::Of(const TVoskClass* dataClass) {
    return dataClass ? dataClass->findChild<TQ32Control*>(QString(), Qt::FindDirectChildrenOnly)
                     : nullptr;
}

TVoskClass* TQ32Control::VoskClass() const {
    return qobject_cast<TVoskClass*>(parent());
}

void TQ32Control::AddControl(QWidget* control) {
    if (control && !m_controls.contains(control))
        m_controls << control;
}

void TQ32Control::DeleteControl(QWidget* control) {
    m_controls.removeAll(control);
    if (m_active == control)
        m_active = nullptr;
}

QList<QWidget*> TQ32Control::Controls() const {
    QList<QWidget*> result;
    for (const auto& c : m_controls)
        if (c)
            result << c;
    return result;
}

void TQ32Control::Enter(QWidget* control) {
    if (m_controls.contains(control))
        m_active = control;
}

void TQ32Control::Change(QWidget* control) {
    if (!m_controls.contains(control))
        return;
    m_changed = true;
    emit ControlChanged(control);
}

void TQ32Control::Exit(QWidget* control) {
    if (m_active == control)
        m_active = nullptr;
}

Rtl::HookSlot<QWidget*(QObject*)> TQ32Control::ControlWindowFactory;

bool TQ32Control::isRegistered(const QWidget* control) const {
    for (const auto& c : m_controls)
        if (c == control)
            return true;
    return false;
}

bool TQ32Control::MainCtrlFocus() {
    for (QWidget* c : Controls()) {
        if (!c->isEnabled() || c->isHidden() || c->focusPolicy() == Qt::NoFocus)
            continue;
        c->setFocus(Qt::OtherFocusReason);
        m_active = c;
        return true;
    }
    return false;
}

void TQ32Control::LeaveEdit() {
    if (QWidget* active = m_active)
        Exit(active);
}

void TQ32Control::SetControlWindow(QWidget* window) {
    if (m_controlWindow && m_controlWindow != window)
        delete m_controlWindow.data();
    m_controlWindow = window;
}

void TQ32Control::ShowControlWindow() {
    if (!m_controlWindow) {
        if (!ControlWindowFactory.Assigned()) {
            Korvexutils::RaiseInformation(QStringLiteral(
                "Das Fenster der Sonderfunktionen steht in dieser Installation nicht zur "
                "Verfügung."));
            return;
        }
        QObject* owner = VoskClass() ? static_cast<QObject*>(VoskClass()) : this;
        SetControlWindow(ControlWindowFactory(owner));
    }
    if (m_controlWindow) {
        m_controlWindow->show();
        m_controlWindow->raise();
    }
}

namespace Voskdbcontrols {
namespace {
TQ32Control* CoordinatorOf(QWidget* control) {
    auto* k = dynamic_cast<IKorvexControl*>(control);
    return k ? k->GetMyControl() : nullptr;
}
} // namespace

void KorvexChange(QWidget* control) {
    if (TQ32Control* c = CoordinatorOf(control))
        c->Change(control);
}
void KorvexEnter(QWidget* control) {
    if (TQ32Control* c = CoordinatorOf(control))
        c->Enter(control);
}
void KorvexExit(QWidget* control) {
    if (TQ32Control* c = CoordinatorOf(control))
        c->Exit(control);
}
void Korvex_LastValue_Save(QWidget* control) {
    if (auto* k = dynamic_cast<IKorvexControl*>(control))
        k->SaveLastValue();
}
} // namespace Voskdbcontrols

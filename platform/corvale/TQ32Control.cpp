#include "TQ32Control.h"

#include "Vcl.Components.h"

#include <QWidget>

TQ32Control::TQ32Control(QObject* owner) : QObject(owner) {
    Vcl::SetOwner(this, owner);
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
} // namespace Voskdbcontrols

#include "TVoskStatusBar.h"

#include <VoskExceptions.h>

#include <QLabel>

TVoskStatusBar::TVoskStatusBar(QWidget* parent) : QStatusBar(parent) {
    setSizeGripEnabled(false);
}

int TVoskStatusBar::AddPanel(const QString& text, int width) {
    auto* label = new QLabel(text, this);
    label->setObjectName(QStringLiteral("Panel%1").arg(m_panels.size()));
    m_panels.append({label, width, true, {}});
    addWidget(label, width < 0 ? 1 : 0);
    SetPanelWidth(int(m_panels.size()) - 1, width);
    return int(m_panels.size()) - 1;
}

QLabel* TVoskStatusBar::Panel(int index) const {
    return index >= 0 && index < m_panels.size() ? m_panels[index].label : nullptr;
}

const TVoskStatusBar::PanelState& TVoskStatusBar::at(int index) const {
    if (index >= 0 && index < m_panels.size())
        return m_panels[index];
    throw ERangeError(QStringLiteral("Statusleiste: Feld %1 existiert nicht").arg(index));
}

TVoskStatusBar::PanelState& TVoskStatusBar::at(int index) {
    return const_cast<PanelState&>(std::as_const(*this).at(index));
}

QString TVoskStatusBar::PanelText(int index) const { return at(index).label->text(); }

void TVoskStatusBar::SetPanelText(int index, const QString& text) {
    at(index).label->setText(text);
}

int TVoskStatusBar::PanelWidth(int index) const { return at(index).width; }

void TVoskStatusBar::SetPanelWidth(int index, int width) {
    PanelState& p = at(index);
    p.width = width;
    if (width >= 0)
        p.label->setFixedWidth(width);
    else {
        p.label->setMinimumWidth(0);
        p.label->setMaximumWidth(QWIDGETSIZE_MAX);
    }
}

bool TVoskStatusBar::PanelVisible(int index) const { return at(index).visible; }

void TVoskStatusBar::SetPanelVisible(int index, bool visible) {
    PanelState& p = at(index);
    p.visible = visible;
    p.label->setVisible(visible && !p.container);
}

void TVoskStatusBar::SetPanelContainer(int index, QWidget* container) {
    PanelState& p = at(index);
    if (p.container)
        removeWidget(p.container);
    p.container = container;
    p.label->setVisible(p.visible && !container);
    if (!container)
        return;
    // The bar's items are the panels' labels plus the containers placed so far.
    int position = index;
    for (int i = 0; i < index; ++i)
        position += m_panels[i].container ? 1 : 0;
    insertWidget(position, container, p.width < 0 ? 1 : 0);
}

QWidget* TVoskStatusBar::PanelContainer(int index) const { return at(index).container; }

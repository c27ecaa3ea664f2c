#include "TVoskStatusBar.h"

#include <VoskExceptions.h>

#include <QLabel>

TVoskStatusBar::TVoskStatusBar(QWidget* parent) : QStatusBar(parent) {
    setSizeGripEnabled(false);
}

int TVoskStatusBar::AddPanel(const QString& text, int width) {
    auto* label = new QLabel(text, this);
    label->setObjectName(QStringLiteral("Panel%1").arg(m_panels.size()));
    m_panels << label;
    m_widths << width;
    m_visible << true;
    addWidget(label, width < 0 ? 1 : 0);
    SetPanelWidth(int(m_panels.size()) - 1, width);
    return int(m_panels.size()) - 1;
}

QLabel* TVoskStatusBar::Panel(int index) const {
    return index >= 0 && index < m_panels.size() ? m_panels[index] : nullptr;
}

QLabel* TVoskStatusBar::at(int index) const {
    if (QLabel* l = Panel(index))
        return l;
    throw ERangeError(QStringLiteral("Statusleiste: Feld %1 existiert nicht").arg(index));
}

QString TVoskStatusBar::PanelText(int index) const { return at(index)->text(); }

void TVoskStatusBar::SetPanelText(int index, const QString& text) { at(index)->setText(text); }

int TVoskStatusBar::PanelWidth(int index) const {
    at(index);
    return m_widths[index];
}

void TVoskStatusBar::SetPanelWidth(int index, int width) {
    QLabel* l = at(index);
    m_widths[index] = width;
    if (width >= 0)
        l->setFixedWidth(width);
    else {
        l->setMinimumWidth(0);
        l->setMaximumWidth(QWIDGETSIZE_MAX);
    }
}

bool TVoskStatusBar::PanelVisible(int index) const {
    at(index);
    return m_visible[index];
}

void TVoskStatusBar::SetPanelVisible(int index, bool visible) {
    at(index)->setVisible(visible);
    m_visible[index] = visible;
}

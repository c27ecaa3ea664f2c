#include "cxSplitter.h"

#include <QMouseEvent>

TcxSplitter::TcxSplitter(QWidget* parent) : QWidget(parent) {
    setCursor(Qt::SplitHCursor);
    setFixedWidth(6);
}

void TcxSplitter::mousePressEvent(QMouseEvent* event) {
    m_pressX = int(event->globalPosition().x());
    m_startWidth = m_control ? m_control->width() : 0;
}

void TcxSplitter::mouseMoveEvent(QMouseEvent* event) {
    if (!m_control || !(event->buttons() & Qt::LeftButton))
        return;
    // The control left of the bar grows with the drag, one right of it shrinks.
    const int delta = int(event->globalPosition().x()) - m_pressX;
    const bool left = m_control->x() < x();
    m_control->setFixedWidth(qMax(0, m_startWidth + (left ? delta : -delta)));
}

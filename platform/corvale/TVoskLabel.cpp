#include "TVoskLabel.h"

#include "EventGuard.h"

#include <QMouseEvent>

TVoskLabel::TVoskLabel(QWidget* parent) : QLabel(parent) {}

void TVoskLabel::mousePressEvent(QMouseEvent* e) {
    m_pressed = e->button() == Qt::LeftButton;
    QLabel::mousePressEvent(e);
}

void TVoskLabel::mouseReleaseEvent(QMouseEvent* e) {
    const bool click = m_pressed && e->button() == Qt::LeftButton && rect().contains(e->pos());
    m_pressed = false;
    QLabel::mouseReleaseEvent(e);
    if (click && OnClick)
        Rtl::Guarded([this] { OnClick(this); }, this);
}

void TVoskLabel::enterEvent(QEnterEvent* e) {
    if (OnClick)
        setCursor(Qt::PointingHandCursor);
    else
        unsetCursor();
    QLabel::enterEvent(e);
}

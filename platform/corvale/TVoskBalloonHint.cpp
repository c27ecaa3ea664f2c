#include "TVoskBalloonHint.h"
#include "Vcl.Accessible.h"


#include <QLabel>
#include <QTimer>
#include <QToolTip>
#include <QWidget>

TVoskBalloonHint::TVoskBalloonHint(QObject* owner) : QObject(owner), m_timer(new QTimer(this)) {
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, &TVoskBalloonHint::HideHint);
}

TVoskBalloonHint::~TVoskBalloonHint() {
    delete m_balloon;
}

void TVoskBalloonHint::ShowHint(QWidget* control, const QPoint& pos) {
    if (!control)
        return;
    if (!m_balloon) {
        // A child of the control: it moves and goes with it and needs no window of its own.
        m_balloon = new QLabel(control);
        m_balloon->setObjectName(QStringLiteral("BalloonHint"));
        m_balloon->setAutoFillBackground(true);
        m_balloon->setFrameShape(QFrame::Box);
        m_balloon->setMargin(6);
        m_balloon->setTextFormat(Qt::PlainText);
        m_balloon->setForegroundRole(QPalette::ToolTipText);
        m_balloon->setBackgroundRole(QPalette::ToolTipBase);
        Vcl::SetContentCaption(m_balloon, QStringLiteral("Hinweis"));
    } else if (m_balloon->parentWidget() != control) {
        m_balloon->setParent(control);
    }
    m_shown = m_title;
    m_balloon->setText(m_title);
    m_balloon->setToolTip(m_title);
    m_balloon->adjustSize();
    const QSize s = m_balloon->size();
    m_balloon->move(std::max(0, pos.x() - s.width()), std::max(0, pos.y() - s.height()));
    m_balloon->show();
    m_balloon->raise();
    m_timer->start(m_hideAfter);
}

void TVoskBalloonHint::HideHint() {
    m_timer->stop();
    if (m_balloon)
        m_balloon->hide();
}

bool TVoskBalloonHint::IsShowing() const {
    return m_balloon && m_balloon->isVisible();
}

namespace {
TVoskBalloonHint::Shown& Last() {
    static TVoskBalloonHint::Shown shown;
    return shown;
}
} // namespace

void TVoskBalloonHint::ShowHintBottomRight(QWidget* control, const QString& title,
                                           const QString& text, int seconds) {
    if (!control)
        return;
    const QPoint at = control->mapToGlobal(QPoint(control->width(), control->height()));
    Last() = Shown{title, text, control, at, seconds};
    const QString html =
        QStringLiteral("<b>%1</b><br>%2").arg(title.toHtmlEscaped(), text.toHtmlEscaped());
    QToolTip::showText(at, html, control, QRect(), qMax(1, seconds) * 1000);
}

const TVoskBalloonHint::Shown& TVoskBalloonHint::LastShown() { return Last(); }

void TVoskBalloonHint::ClearLastShown() { Last() = Shown{}; }

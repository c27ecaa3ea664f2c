#include "TVoskAlertWindow.h"
#include "Vcl.Accessible.h"


#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPropertyAnimation>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

namespace {

QList<QPointer<TVoskAlertWindow>>& LiveWindows() {
    static QList<QPointer<TVoskAlertWindow>> windows;
    return windows;
}

} // namespace

TVoskAlertWindow::TVoskAlertWindow(TVoskAlertWindowManager* manager, const QString& caption,
                                   const QString& text, int imageIndex)
    : QWidget(qobject_cast<QWidget*>(manager ? manager->parent() : nullptr),
              Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                  Qt::WindowDoesNotAcceptFocus),
      m_manager(manager), m_caption(caption), m_text(text), m_imageIndex(imageIndex),
      m_hideTimer(new QTimer(this)) {
    setObjectName(QStringLiteral("AlertWindow"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_DeleteOnClose);
    setFocusPolicy(Qt::NoFocus);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::ToolTipBase);
    // A window without a title: a screen reader announces it by its caption and message.
    setAccessibleName(caption);
    Vcl::SetMessageDescription(this, text);

    auto* outer = new QHBoxLayout(this);
    outer->setContentsMargins(8, 6, 8, 8);
    auto* image = new QLabel(this);
    image->setObjectName(QStringLiteral("Image"));
    image->setAlignment(Qt::AlignTop);
    if (manager && manager->Images && imageIndex >= 0) {
        const QIcon icon = manager->Images(imageIndex);
        if (!icon.isNull())
            image->setPixmap(icon.pixmap(32, 32));
    }
    image->setVisible(image->pixmap().isNull() == false);
    outer->addWidget(image);

    auto* column = new QVBoxLayout;
    auto* captionLabel = new QLabel(caption, this);
    captionLabel->setObjectName(QStringLiteral("Caption"));
    captionLabel->setTextFormat(Qt::PlainText); // a note's text shows as it is written
    QFont bold = captionLabel->font();
    bold.setBold(true);
    captionLabel->setFont(bold);
    auto* textLabel = new QLabel(text, this);
    textLabel->setObjectName(QStringLiteral("Text"));
    textLabel->setTextFormat(Qt::PlainText);
    textLabel->setWordWrap(true);
    textLabel->setTextInteractionFlags(Qt::NoTextInteraction);
    column->addWidget(captionLabel);
    column->addWidget(textLabel, 1);
    outer->addLayout(column, 1);

    const int width = manager ? manager->Width : 250;
    setFixedWidth(width);
    if (!manager || manager->AutoHeight)
        setFixedHeight(qMax(60, heightForWidth(width) > 0 ? heightForWidth(width)
                                                           : sizeHint().height()));
    if (manager)
        m_displayTime = manager->DisplayTime;

    m_hideTimer->setSingleShot(true);
    connect(m_hideTimer, &QTimer::timeout, this, &TVoskAlertWindow::Close);
    LiveWindows().append(this);
}

TVoskAlertWindow::~TVoskAlertWindow() {
    LiveWindows().removeAll(this);
    LiveWindows().removeAll(nullptr);
}

void TVoskAlertWindow::SetDisplayTime(int ms) {
    m_displayTime = ms;
    if (m_hideTimer->isActive())
        m_hideTimer->start(ms);
}

void TVoskAlertWindow::Close() {
    close();
}

void TVoskAlertWindow::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    if (m_displayTime > 0)
        m_hideTimer->start(m_displayTime);
}

void TVoskAlertWindow::contextMenuEvent(QContextMenuEvent* e) {
    if (!m_manager || !m_manager->PopupMenu)
        return;
    m_manager->m_menuWindow = this;
    m_hideTimer->stop();
    m_manager->PopupMenu->exec(e->globalPos());
    if (m_displayTime > 0)
        m_hideTimer->start(m_displayTime);
}

void TVoskAlertWindow::mousePressEvent(QMouseEvent* e) {
    // A left click dismisses the message, as with any toast.
    if (e->button() == Qt::LeftButton)
        Close();
    else
        QWidget::mousePressEvent(e);
}

void TVoskAlertWindow::enterEvent(QEnterEvent* e) {
    QWidget::enterEvent(e);
    m_hideTimer->stop();
}

void TVoskAlertWindow::leaveEvent(QEvent* e) {
    QWidget::leaveEvent(e);
    if (m_displayTime > 0)
        m_hideTimer->start(m_displayTime);
}

TVoskAlertWindowManager::TVoskAlertWindowManager(QObject* owner) : QObject(owner) {
    setObjectName(QStringLiteral("dxAlertWindowManager"));
}

TVoskAlertWindowManager::~TVoskAlertWindowManager() {
    for (TVoskAlertWindow* w : Windows())
        delete w;
}

QList<TVoskAlertWindow*> TVoskAlertWindowManager::Windows() const {
    QList<TVoskAlertWindow*> result;
    for (const auto& w : LiveWindows())
        if (w && w->Manager() == this)
            result.append(w.data());
    return result;
}

QPoint TVoskAlertWindowManager::DefaultPosition(const QSize& size) const {
    auto* anchor = qobject_cast<QWidget*>(parent());
    QScreen* screen = anchor && anchor->screen() ? anchor->screen()
                                                 : QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    const int margin = 8;
    switch (WindowPosition) {
    case awpTopLeft:
        return area.topLeft() + QPoint(margin, margin);
    case awpTopRight:
        return {area.right() - size.width() - margin, area.top() + margin};
    case awpBottomLeft:
        return {area.left() + margin, area.bottom() - size.height() - margin};
    default:
        return {area.right() - size.width() - margin, area.bottom() - size.height() - margin};
    }
}

TVoskAlertWindow* TVoskAlertWindowManager::Show(const QString& caption, const QString& text,
                                                int imageIndex) {
    auto* w = new TVoskAlertWindow(this, caption, text, imageIndex);
    w->adjustSize();
    w->move(DefaultPosition(w->size()));
    if (OnBeforeShow)
        OnBeforeShow(this, w);
    const double opacity = qBound(0, AlphaBlendValue, 255) / 255.0;
    if (ShowingAnimationTime > 0) {
        w->setWindowOpacity(0.0);
        auto* fade = new QPropertyAnimation(w, "windowOpacity", w);
        fade->setDuration(ShowingAnimationTime);
        fade->setStartValue(0.0);
        fade->setEndValue(opacity);
        w->show();
        fade->start(QAbstractAnimation::DeleteWhenStopped);
    } else {
        w->setWindowOpacity(opacity);
        w->show();
    }
    return w;
}

#include "VoskControls.h"

#include <QBoxLayout>
#include <QVariant>

TImageList::TImageList(QObject* parent, int count) : QObject(parent), m_icons(size_t(count)) {}

QIcon TImageList::Icon(int index) const {
    if (index < 0 || index >= Count())
        return {};
    return m_icons[size_t(index)];
}

void TImageList::SetIcon(int index, const QIcon& icon) {
    if (index < 0)
        return;
    if (index >= Count())
        m_icons.resize(size_t(index) + 1);
    m_icons[size_t(index)] = icon;
}

TPanel::TPanel(QWidget* parent) : QFrame(parent), m_layout(new QBoxLayout(QBoxLayout::LeftToRight)) {
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(0);
    setLayout(m_layout);
    SetBevelOuter(true);
}

void TPanel::SetBevelOuter(bool raised) {
    m_bevelOuter = raised;
    setFrameStyle(raised ? (QFrame::Panel | QFrame::Raised) : QFrame::NoFrame);
}

TToolBar::TToolBar(QWidget* parent) : QFrame(parent), m_layout(new QBoxLayout(QBoxLayout::TopToBottom)) {
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(0);
    m_layout->addStretch();
    setLayout(m_layout);
}

void TToolBar::SetImages(TImageList* images) {
    m_images = images;
    for (auto* b : findChildren<TVoskToolButton*>(Qt::FindDirectChildrenOnly))
        b->UpdateIcon();
}

void TToolBar::AddButton(QToolButton* button) {
    button->setParent(this);
    button->setFixedHeight(m_buttonHeight);
    button->setAutoRaise(true);
    m_layout->insertWidget(m_layout->count() - 1, button);
    if (auto* vb = qobject_cast<TVoskToolButton*>(button))
        vb->UpdateIcon();
}

int TToolBar::ButtonCount() const {
    return int(findChildren<QToolButton*>(Qt::FindDirectChildrenOnly).size());
}

TVoskToolButton::TVoskToolButton(QWidget* parent) : QToolButton(parent) {}

void TVoskToolButton::SetImageIndex(int index) {
    m_imageIndex = index;
    UpdateIcon();
}

void TVoskToolButton::UpdateIcon() {
    auto* bar = qobject_cast<TToolBar*>(parentWidget());
    setIcon(bar && bar->Images() ? bar->Images()->Icon(m_imageIndex) : QIcon());
}

namespace Corvale {

QString Hint(const QObject* comp) {
    if (auto* w = qobject_cast<const QWidget*>(comp))
        return w->toolTip();
    return comp ? comp->property("Hint").toString() : QString();
}

void SetHint(QObject* comp, const QString& hint) {
    if (auto* w = qobject_cast<QWidget*>(comp))
        w->setToolTip(hint);
    else if (comp)
        comp->setProperty("Hint", hint);
}

bool ShowHint(const QObject* comp) { return comp && comp->property("ShowHint").toBool(); }

void SetShowHint(QObject* comp, bool show) {
    if (comp)
        comp->setProperty("ShowHint", show);
}

} // namespace Corvale

TVoskButton2::TVoskButton2(QWidget* parent) : QToolButton(parent) {
    setAutoRaise(true);
}

namespace Voskcontrols {
QColor ColorTopLabel(0x9E, 0xE2, 0xFE);
QColor ColorTopLabelFont(Qt::black);
} // namespace Voskcontrols

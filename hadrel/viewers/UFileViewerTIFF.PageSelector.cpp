#include "UFileViewerTIFF.PageSelector.h"

#include <QAbstractButton>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QScopedValueRollback>
#include <QSpinBox>
#include <QTabBar>

#include <algorithm>

namespace {

// The page number with a document's keys: Page Down and Page Up turn one page (a plain spin box
// steps ten, and upwards on Page Up), Home and End go to the first and the last page.
class TPageNumberBox final : public QSpinBox {
public:
    TPageNumberBox(QWidget* parent, std::function<void(int key)> turn)
        : QSpinBox(parent), m_turn(std::move(turn)) {}

protected:
    void keyPressEvent(QKeyEvent* e) override {
        const Qt::KeyboardModifiers mods = e->modifiers() & ~Qt::KeypadModifier;
        const int key = e->key();
        const bool page =
            (key == Qt::Key_PageUp || key == Qt::Key_PageDown) && mods == Qt::NoModifier;
        const bool end = (key == Qt::Key_Home || key == Qt::Key_End) &&
                         (mods == Qt::NoModifier || mods == Qt::ControlModifier);
        if (!page && !end) {
            QSpinBox::keyPressEvent(e);
            return;
        }
        e->accept();
        m_turn(key);
    }

private:
    std::function<void(int)> m_turn;
};

} // namespace

TPageSelector::TPageSelector(QWidget* parent) : QWidget(parent) {
    setAccessibleName(QStringLiteral("Seiten"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 4, 0);
    row->setSpacing(6);

    m_tab = new QTabBar(this);
    m_tab->setObjectName(QStringLiteral("tcPagesTab"));
    m_tab->setDocumentMode(true);
    m_tab->setExpanding(false);
    m_tab->setDrawBase(false);
    m_tab->setFocusPolicy(Qt::NoFocus);
    m_tab->addTab(QString());
    m_tab->setAccessibleName(QStringLiteral("Angezeigte Seite"));
    m_tab->setToolTip(QStringLiteral("Die angezeigte Seite"));
    connect(m_tab, &QTabBar::tabCloseRequested, this, [this] {
        if (m_count > 0)
            emit closeRequested(m_current);
    });
    row->addWidget(m_tab, 0, Qt::AlignBottom);
    row->addStretch(1);

    m_label = new QLabel(QStringLiteral("&Seite"), this);
    m_number = new TPageNumberBox(this, [this](int key) {
        if (m_count <= 0)
            return;
        SetCurrentIndex(key == Qt::Key_PageUp     ? m_current - 1
                        : key == Qt::Key_PageDown ? m_current + 1
                        : key == Qt::Key_Home     ? 0
                                                  : m_count - 1);
        // What was typed and not taken with Enter gives way to the page shown.
        ShowCurrent(m_current);
    });
    m_number->setObjectName(QStringLiteral("tcPagesNumber"));
    m_label->setBuddy(m_number);
    // Typing "125" goes to page 125 on Enter, not through pages 1 and 12 on the way.
    m_number->setKeyboardTracking(false);
    m_number->setAccelerated(true);
    m_number->setAlignment(Qt::AlignRight);
    m_number->setAccessibleName(QStringLiteral("Seitennummer"));
    m_number->setToolTip(QStringLiteral("Nummer der angezeigten Seite: eingeben und mit der "
                                        "Eingabetaste zeigen, mit Bild auf und Bild ab blättern, "
                                        "mit Pos1 und Ende zur ersten und letzten Seite"));
    connect(m_number, &QSpinBox::valueChanged, this, [this](int value) {
        if (!m_updating)
            SetCurrentIndex(value - 1);
    });
    row->addWidget(m_label);
    row->addWidget(m_number);
    showState();
}

void TPageSelector::SetCaptionSource(std::function<QString(int)> source) {
    m_caption = std::move(source);
    RefreshCaption();
}

void TPageSelector::SetPages(int count, int current, const QString& emptyCaption) {
    m_count = std::max(0, count);
    m_emptyCaption = emptyCaption;
    m_current = m_count > 0 ? std::clamp(current, 0, m_count - 1) : 0;
    showState();
}

void TPageSelector::SetCurrentIndex(int index) {
    if (m_count <= 0 || index < 0 || index >= m_count || index == m_current)
        return;
    ShowCurrent(index);
    emit currentChanged(index);
}

void TPageSelector::ShowCurrent(int index) {
    if (m_count <= 0 || index < 0 || index >= m_count)
        return;
    m_current = index;
    const QScopedValueRollback updating(m_updating, true);
    m_number->setValue(index + 1);
    RefreshCaption();
}

QString TPageSelector::Caption(int page) const {
    if (m_count <= 0)
        return m_emptyCaption;
    return page >= 0 && page < m_count && m_caption ? m_caption(page) : QString();
}

void TPageSelector::RefreshCaption() {
    const QString caption = Caption(m_current);
    if (m_tab->tabText(0) != caption)
        m_tab->setTabText(0, caption);
}

void TPageSelector::SetClosable(bool closable) {
    if (m_tab->tabsClosable() == closable)
        return;
    m_tab->setTabsClosable(closable);
    if (!closable)
        return;
    // Qt's own button speaks English; the close deletes the page, so it says so.
    for (const auto side : {QTabBar::RightSide, QTabBar::LeftSide})
        if (QWidget* b = m_tab->tabButton(0, side)) {
            b->setToolTip(QStringLiteral("Diese Seite löschen"));
            b->setAccessibleName(QStringLiteral("Seite löschen"));
        }
}

bool TPageSelector::Closable() const {
    return m_tab->tabsClosable();
}

void TPageSelector::showState() {
    const QScopedValueRollback updating(m_updating, true);
    const bool pages = m_count > 0;
    m_number->setRange(pages ? 1 : 0, std::max(1, m_count));
    m_number->setSuffix(QStringLiteral(" von %1").arg(QLocale().toString(m_count)));
    m_number->setValue(m_current + 1);
    m_label->setVisible(pages);
    m_number->setVisible(pages);
    RefreshCaption();
}

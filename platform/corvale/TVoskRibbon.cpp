#include "TVoskRibbon.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QScrollArea>
#include <QScrollBar>
#include <QStackedWidget>
#include <QTabBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

QString WithoutMarker(QString s) {
    // "&&" stands for one ampersand; a single one marks the shortcut.
    s.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    s.remove(u'&');
    s.replace(u'\x01', u'&');
    return s;
}

// A large button's caption goes on two lines under its icon, broken at the blank nearest the
// middle, so that the button stays about as wide as its icon column and nothing gets elided.
QString TwoLines(const QString& caption) {
    const qsizetype middle = caption.size() / 2;
    qsizetype best = -1;
    for (qsizetype i = 0; i < caption.size(); ++i)
        if (caption[i] == u' ' && (best < 0 || qAbs(i - middle) < qAbs(best - middle)))
            best = i;
    if (best < 0)
        return caption;
    QString s = caption;
    s[best] = u'\n';
    return s;
}

const QList<std::pair<QString, QRgb>>& SchemeTable() {
    static const QList<std::pair<QString, QRgb>> schemes = {{QStringLiteral("Blue"), 0xDFE9F5},
                                                            {QStringLiteral("Black"), 0xD4D4D4},
                                                            {QStringLiteral("Silver"), 0xEDEFF2},
                                                            {QStringLiteral("Green"), 0xE2EEDC}};
    return schemes;
}

// The parent chain, crossing into the windows that pop-ups and dialogs were opened from.
bool Within(const QWidget* w, const QWidget* container) {
    for (; w; w = w->parentWidget())
        if (w == container)
            return true;
    return false;
}

// A tab's groups scroll sideways in a window narrower than they are, instead of holding every
// window with a ribbon at the width of its widest tab.
class RibbonPage final : public QScrollArea {
public:
    explicit RibbonPage(QWidget* tab) {
        setObjectName(tab->objectName() + QStringLiteral("Page"));
        setFrameShape(QFrame::NoFrame);
        setWidgetResizable(true);
        setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        setFocusPolicy(Qt::NoFocus);
        viewport()->setAutoFillBackground(false); // the ribbon's tint shows through
        setWidget(tab);
        tab->installEventFilter(this);
    }
    QSize sizeHint() const override { return {widget()->sizeHint().width(), Height()}; }
    QSize minimumSizeHint() const override { return {120, Height()}; }

protected:
    bool eventFilter(QObject* watched, QEvent* e) override {
        // Groups added or shown later change the tab's size; the ribbon's height follows.
        if (watched == widget() && e->type() == QEvent::LayoutRequest)
            updateGeometry();
        return QScrollArea::eventFilter(watched, e);
    }
    void resizeEvent(QResizeEvent* e) override {
        QScrollArea::resizeEvent(e);
        if (Scrolls() != m_scrolled) {
            m_scrolled = Scrolls();
            updateGeometry(); // room for the scroll bar, or none
        }
    }

private:
    bool Scrolls() const { return widget()->minimumSizeHint().width() > width(); }
    int Height() const {
        return widget()->sizeHint().height() +
               (Scrolls() ? horizontalScrollBar()->sizeHint().height() : 0);
    }
    bool m_scrolled = false;
};

} // namespace

// ---- group -----------------------------------------------------------------------------------

TVoskRibbonGroup::TVoskRibbonGroup(const QString& name, const QString& caption, QWidget* parent)
    : QFrame(parent) {
    setObjectName(name);
    setFrameShape(QFrame::NoFrame);
    auto* outer = new QHBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(4);
    auto* column = new QVBoxLayout;
    column->setContentsMargins(2, 2, 2, 0);
    column->setSpacing(1);
    m_grid = new QGridLayout;
    m_grid->setContentsMargins(0, 0, 0, 0);
    m_grid->setHorizontalSpacing(2);
    m_grid->setVerticalSpacing(1);
    column->addLayout(m_grid, 1);
    m_caption = new QLabel(this);
    m_caption->setAlignment(Qt::AlignHCenter);
    m_caption->setForegroundRole(QPalette::PlaceholderText);
    column->addWidget(m_caption);
    outer->addLayout(column);
    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::VLine);
    line->setFrameShadow(QFrame::Sunken);
    outer->addWidget(line);
    SetCaption(caption);
}

QString TVoskRibbonGroup::Caption() const { return m_caption->text(); }

void TVoskRibbonGroup::SetCaption(const QString& caption) {
    m_caption->setText(caption);
    const QString plain = WithoutMarker(caption);
    setAccessibleName(plain);
    m_caption->setAccessibleName(plain);
    m_caption->setToolTip(plain);
}

TVoskRibbonTab* TVoskRibbonGroup::Tab() const {
    return qobject_cast<TVoskRibbonTab*>(parentWidget());
}

void TVoskRibbonGroup::Place(QWidget* w, QHBoxLayout* row, ItemSize size) {
    if (size == Icon && !row) {
        // Icon-only items in a row share one line, as a ribbon's button group does.
        if (m_iconRow) {
            m_iconRow->insertWidget(m_iconRow->count() - 1, w);
            return;
        }
        row = new QHBoxLayout;
        row->setContentsMargins(0, 0, 0, 0);
        row->setSpacing(1);
        row->addWidget(w);
        row->addStretch(1);
        Place(nullptr, row, Small);
        m_iconRow = row;
        return;
    }
    m_iconRow = nullptr;
    if (size == Large) {
        if (m_row > 0)
            ++m_column; // a started small column stays as it is
        if (row)
            m_grid->addLayout(row, 0, m_column, 3, 1);
        else
            m_grid->addWidget(w, 0, m_column, 3, 1);
        ++m_column;
        m_row = 0;
        return;
    }
    if (row)
        m_grid->addLayout(row, m_row, m_column);
    else
        m_grid->addWidget(w, m_row, m_column, Qt::AlignLeft);
    if (++m_row == 3) {
        m_row = 0;
        ++m_column;
    }
}

QToolButton* TVoskRibbonGroup::AddButton(QAction* action, ItemSize size, const QString& name) {
    auto* b = new QToolButton(this);
    b->setObjectName(name.isEmpty() ? action->objectName() : name);
    b->setDefaultAction(action);
    b->setAutoRaise(true);
    b->setFocusPolicy(Qt::NoFocus);
    switch (size) {
    case Large:
        b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        b->setIconSize(QSize(32, 32));
        b->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Expanding);
        break;
    case Small:
        b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        b->setIconSize(QSize(16, 16));
        break;
    case Icon:
        b->setToolButtonStyle(Qt::ToolButtonIconOnly);
        b->setIconSize(QSize(16, 16));
        break;
    }
    // The button keeps up with later captions, hints and visibility of its action.
    const auto sync = [b, action, size] {
        // Runs after the button took the action's own change, so the broken caption stays.
        if (size == Large)
            b->setText(TwoLines(action->text()));
        b->setAccessibleName(WithoutMarker(action->text()));
        b->setToolTip(action->toolTip());
        b->setVisible(action->isVisible());
    };
    sync();
    connect(action, &QAction::changed, b, sync);
    Place(b, nullptr, size);
    m_items << b;
    return b;
}

QToolButton* TVoskRibbonGroup::AddButton(const QString& name, const QString& caption,
                                         const QIcon& icon, const QString& hint, ItemSize size) {
    auto* a = new QAction(icon, caption, this);
    a->setObjectName(name);
    if (!hint.isEmpty())
        a->setToolTip(WithoutMarker(hint));
    return AddButton(a, size, name);
}

QWidget* TVoskRibbonGroup::AddWidget(QWidget* control, const QString& label, ItemSize size) {
    control->setParent(this);
    QHBoxLayout* row = nullptr;
    if (!label.isEmpty()) {
        const QString plain = WithoutMarker(label);
        if (control->accessibleName().isEmpty())
            control->setAccessibleName(plain);
        if (control->toolTip().isEmpty())
            control->setToolTip(plain);
        auto* l = new QLabel(label, this);
        l->setBuddy(control);
        l->setAccessibleName(plain);
        l->setToolTip(control->toolTip());
        row = new QHBoxLayout;
        row->setContentsMargins(0, 0, 0, 0);
        row->setSpacing(4);
        row->addWidget(l);
        row->addWidget(control);
    }
    Place(control, row, size);
    m_items << control;
    return control;
}

void TVoskRibbonGroup::AddSeparator() {
    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::VLine);
    line->setFrameShadow(QFrame::Sunken);
    Place(line, nullptr, Large);
}

// ---- tab -------------------------------------------------------------------------------------

TVoskRibbonTab::TVoskRibbonTab(TVoskRibbon* ribbon, const QString& name, const QString& caption)
    : QWidget(nullptr), m_ribbon(ribbon), m_caption(caption) {
    setObjectName(name);
    setAccessibleName(WithoutMarker(caption));
    m_row = new QHBoxLayout(this);
    m_row->setContentsMargins(2, 2, 2, 2);
    m_row->setSpacing(2);
    m_row->addStretch(1);
}

void TVoskRibbonTab::SetCaption(const QString& caption) {
    m_caption = caption;
    setAccessibleName(WithoutMarker(caption));
    const int i = m_ribbon->m_tabs.indexOf(this);
    m_ribbon->m_bar->setTabText(i, caption);
    m_ribbon->m_bar->setTabToolTip(i, WithoutMarker(caption));
}

void TVoskRibbonTab::SetTabVisible(bool visible) {
    if (visible == m_tabVisible)
        return;
    m_tabVisible = visible;
    m_ribbon->m_bar->setTabVisible(m_ribbon->m_tabs.indexOf(this), visible);
    if (!visible && m_ribbon->ActiveTab() == this)
        for (TVoskRibbonTab* t : m_ribbon->m_tabs)
            if (t->m_tabVisible) {
                m_ribbon->SetActiveTab(t);
                break;
            }
}

TVoskRibbonGroup* TVoskRibbonTab::AddGroup(const QString& name, const QString& caption) {
    auto* g = new TVoskRibbonGroup(name, caption, this);
    AddGroup(g);
    return g;
}

void TVoskRibbonTab::AddGroup(TVoskRibbonGroup* group) {
    if (TVoskRibbonTab* old = group->Tab())
        old->m_row->removeWidget(group);
    group->setParent(this);
    m_row->insertWidget(m_row->count() - 1, group); // before the stretch
    group->show();
}

void TVoskRibbonTab::RemoveGroup(TVoskRibbonGroup* group) {
    if (group->Tab() != this)
        return;
    m_row->removeWidget(group);
    group->hide();
    group->setParent(m_ribbon); // owned by the ribbon until a tab takes it again
    group->hide();
}

QList<TVoskRibbonGroup*> TVoskRibbonTab::Groups() const {
    QList<TVoskRibbonGroup*> out;
    for (int i = 0; i < m_row->count(); ++i)
        if (auto* g = qobject_cast<TVoskRibbonGroup*>(m_row->itemAt(i)->widget()))
            out << g;
    return out;
}

// ---- ribbon ----------------------------------------------------------------------------------

TVoskRibbon::TVoskRibbon(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Ribbon"));
    setAccessibleName(QStringLiteral("Menüband"));
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
    m_layout = new QVBoxLayout(this);
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(0);
    auto* top = new QHBoxLayout;
    top->setContentsMargins(0, 0, 0, 0);
    m_bar = new QTabBar(this);
    m_bar->setObjectName(QStringLiteral("RibbonTabs"));
    m_bar->setAccessibleName(QStringLiteral("Registerkarten des Menübands"));
    m_bar->setToolTip(QStringLiteral(
        "Registerkarten des Menübands (Doppelklick: Menüband minimieren oder anheften)"));
    m_bar->setFocusPolicy(Qt::NoFocus);
    m_bar->setDrawBase(false);
    m_bar->setExpanding(false);
    top->addWidget(m_bar);
    top->addStretch(1);
    m_minimizeButton = new QToolButton(this);
    m_minimizeButton->setObjectName(QStringLiteral("RibbonMinimize"));
    m_minimizeButton->setAutoRaise(true);
    m_minimizeButton->setFocusPolicy(Qt::NoFocus);
    m_minimizeButton->setIconSize(QSize(16, 16));
    top->addWidget(m_minimizeButton);
    m_layout->addLayout(top);
    m_stack = new QStackedWidget(this);
    m_stack->setObjectName(QStringLiteral("RibbonGroups"));
    m_stack->setAccessibleName(QStringLiteral("Werkzeuge des Menübands"));
    m_stack->setFrameShape(QFrame::StyledPanel);
    m_stack->setAutoFillBackground(true);
    m_layout->addWidget(m_stack);
    UpdateMinimizeButton();

    connect(m_bar, &QTabBar::currentChanged, this, [this](int i) {
        if (i >= 0 && i < m_tabs.size())
            TabChanged(m_tabs[i]);
    });
    connect(m_bar, &QTabBar::tabBarClicked, this, &TVoskRibbon::TabClicked);
    connect(m_bar, &QTabBar::tabBarDoubleClicked, this, [this](int i) {
        if (i >= 0)
            SetMinimized(!m_minimized);
    });
    connect(m_minimizeButton, &QToolButton::clicked, this, [this] { SetMinimized(!m_minimized); });
    SetColorSchemeName(SchemeTable().first().first);
}

TVoskRibbon::~TVoskRibbon() {
    qApp->removeEventFilter(this);
    // The opened groups may lie in another widget; they are the ribbon's all the same.
    if (m_stack->parentWidget() != this)
        delete m_stack;
}

TVoskRibbonTab* TVoskRibbon::AddTab(const QString& name, const QString& caption) {
    auto* tab = new TVoskRibbonTab(this, name, caption);
    m_tabs << tab;
    m_stack->addWidget(new RibbonPage(tab));
    const QSignalBlocker block(m_bar); // the first tab becomes current without a change event
    const int i = m_bar->addTab(caption);
    m_bar->setTabToolTip(i, WithoutMarker(caption));
    m_stack->setCurrentIndex(m_bar->currentIndex());
    return tab;
}

TVoskRibbonTab* TVoskRibbon::Tab(const QString& name) const {
    for (TVoskRibbonTab* t : m_tabs)
        if (t->objectName().compare(name, Qt::CaseInsensitive) == 0)
            return t;
    return nullptr;
}

TVoskRibbonGroup* TVoskRibbon::Group(const QString& name) const {
    for (auto* g : findChildren<TVoskRibbonGroup*>())
        if (g->objectName().compare(name, Qt::CaseInsensitive) == 0)
            return g;
    // Groups of the opened pop-up lie outside the ribbon's children.
    for (auto* g : m_stack->findChildren<TVoskRibbonGroup*>())
        if (g->objectName().compare(name, Qt::CaseInsensitive) == 0)
            return g;
    return nullptr;
}

TVoskRibbonTab* TVoskRibbon::ActiveTab() const {
    const int i = m_bar->currentIndex();
    return i >= 0 && i < m_tabs.size() ? m_tabs[i] : nullptr;
}

void TVoskRibbon::SetActiveTab(TVoskRibbonTab* tab) {
    const int i = m_tabs.indexOf(tab);
    if (i < 0 || !tab->m_tabVisible)
        return;
    m_switching = true;
    m_bar->setCurrentIndex(i);
    m_switching = false;
}

void TVoskRibbon::TabChanged(TVoskRibbonTab* tab) {
    m_stack->setCurrentIndex(m_tabs.indexOf(tab)); // pages stand in the tabs' order
    if (m_poppedUp)
        PlacePopup(); // the new tab's groups may need another height
    emit ActiveTabChanged(tab);
}

void TVoskRibbon::TabClicked(int index) {
    if (!m_minimized || index < 0 || m_switching)
        return;
    // The click on the open tab closes it; any other tab opens (the row switches by itself).
    if (m_poppedUp && index == m_bar->currentIndex())
        ClosePopup();
    else
        PopUp();
}

// ---- minimising ------------------------------------------------------------------------------

void TVoskRibbon::SetMinimized(bool minimized) {
    if (minimized == m_minimized)
        return;
    ClosePopup();
    m_minimized = minimized;
    m_stack->setVisible(!minimized);
    UpdateMinimizeButton();
    emit MinimizedChanged(minimized);
}

void TVoskRibbon::UpdateMinimizeButton() {
    const QString tip = m_minimized ? QStringLiteral("Menüband anheften")
                                    : QStringLiteral("Menüband minimieren");
    m_minimizeButton->setIcon(QIcon::fromTheme(m_minimized ? QStringLiteral("go-down")
                                                           : QStringLiteral("go-up")));
    m_minimizeButton->setToolTip(tip);
    m_minimizeButton->setAccessibleName(tip);
}

void TVoskRibbon::AddKeepOpenWidget(QWidget* w) { m_keepOpen << QPointer<QWidget>(w); }

void TVoskRibbon::PopUp() {
    if (!m_minimized)
        return;
    if (!m_poppedUp) {
        m_poppedUp = true;
        m_popupWindow = window();
        // Over the content below the ribbon, not in its place: the editor keeps its size.
        m_stack->setParent(m_popupWindow);
        qApp->installEventFilter(this);
    }
    PlacePopup();
    m_stack->show();
    m_stack->raise();
}

void TVoskRibbon::PlacePopup() {
    if (!m_popupWindow)
        return;
    const QPoint at = mapTo(m_popupWindow, QPoint(0, height()));
    const int h = qMin(m_stack->sizeHint().height(), qMax(0, m_popupWindow->height() - at.y()));
    m_stack->setGeometry(at.x(), at.y(), width(), h);
}

void TVoskRibbon::ClosePopup() {
    if (!m_poppedUp)
        return;
    m_poppedUp = false;
    qApp->removeEventFilter(this);
    m_stack->hide();
    m_stack->setParent(this);
    m_layout->addWidget(m_stack);
    m_stack->setVisible(!m_minimized);
    m_popupWindow = nullptr;
}

bool TVoskRibbon::KeepsOpen(QWidget* target) const {
    if (Within(target, this) || Within(target, m_stack))
        return true;
    if (QApplication::activePopupWidget())
        return true; // a menu or list of the ribbon: the pop-up takes the click itself
    for (const QPointer<QWidget>& w : m_keepOpen)
        if (w && Within(target, w))
            return true;
    return false;
}

bool TVoskRibbon::eventFilter(QObject* watched, QEvent* e) {
    if (!m_poppedUp)
        return false;
    switch (e->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::TouchBegin:
        if (auto* w = qobject_cast<QWidget*>(watched); w && !KeepsOpen(w))
            ClosePopup();
        break;
    case QEvent::WindowDeactivate:
        if (watched == m_popupWindow)
            ClosePopup();
        break;
    case QEvent::Resize:
        if (watched == m_popupWindow || watched == this)
            PlacePopup();
        break;
    default:
        break;
    }
    return false;
}

// ---- colour schemes --------------------------------------------------------------------------

const QStringList& TVoskRibbon::ColorSchemes() {
    static const QStringList names = [] {
        QStringList n;
        for (const auto& s : SchemeTable())
            n << s.first;
        return n;
    }();
    return names;
}

QColor TVoskRibbon::SchemeColor(const QString& scheme) {
    for (const auto& [name, rgb] : SchemeTable())
        if (name.compare(scheme, Qt::CaseInsensitive) == 0)
            return QColor(rgb);
    return QColor(SchemeTable().first().second);
}

void TVoskRibbon::SetColorSchemeName(const QString& scheme) {
    m_scheme = scheme;
    QPalette pal = m_stack->palette();
    pal.setColor(QPalette::Window, SchemeColor(scheme));
    m_stack->setPalette(pal);
}

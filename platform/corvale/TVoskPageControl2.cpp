#include "TVoskPageControl2.h"

#include "UDM1.h"
#include "Vcl.Components.h"

TVoskPageControl2::TVoskPageControl2(QWidget* parent) : QTabWidget(parent) {
    // Made before anyone else hears of the page change, so that they find its controls.
    connect(this, &QTabWidget::currentChanged, this, [this](int index) { BuildPage(widget(index)); });
}

int TVoskPageControl2::AddDeferredTab(QWidget* page, const QString& caption,
                                      std::function<void(QWidget*)> build) {
    m_deferred.insert(page, std::move(build));
    const int index = addTab(page, caption);
    if (currentWidget() == page)
        BuildPage(page); // the first page is shown at once
    return index;
}

void TVoskPageControl2::BuildPage(QWidget* page) {
    const auto it = m_deferred.find(page);
    if (it == m_deferred.end())
        return;
    const std::function<void(QWidget*)> build = std::move(it.value());
    m_deferred.erase(it);
    build(page);
}

QString TVoskPageControl2::UserPageKey() const {
    const QWidget* form = Vcl::ParentForm(this);
    QString cls;
    for (const QObject* o = this; o && cls.isEmpty(); o = Vcl::Owner(o))
        if (o != this && o->isWidgetType() && static_cast<const QWidget*>(o)->isWindow())
            cls = Vcl::ClassName(o);
    if (cls.isEmpty() && form)
        cls = Vcl::ClassName(form);
    return QStringLiteral("UserPage_%1_%2").arg(cls, objectName());
}

void TVoskPageControl2::LoadUserPage() {
    TDM1* dm = DM1();
    if (!dm || !dm->Connected())
        return;
    m_key = UserPageKey();
    const QString page = dm->LoadLastVal(m_key);
    if (page.isEmpty())
        return;
    for (int i = 0; i < count(); ++i)
        if (widget(i)->objectName().compare(page, Qt::CaseInsensitive) == 0) {
            setCurrentIndex(i);
            return;
        }
}

void TVoskPageControl2::SaveUserPage() {
    TDM1* dm = DM1();
    if (!dm || !dm->Connected() || !currentWidget() || currentWidget()->objectName().isEmpty())
        return;
    dm->SaveLastVal(m_key.isEmpty() ? UserPageKey() : m_key, currentWidget()->objectName());
}

void TVoskPageControl2::RegisterDataChangeEvent() {
    if (m_registered)
        return;
    m_registered = true;
    connect(this, &QTabWidget::currentChanged, this, [this](int index) {
        if (QWidget* page = widget(index))
            emit PageShown(page);
    });
}

int TVoskPageControl2::NeighbourVisibleTab(bool forward) const {
    const int step = forward ? 1 : -1;
    for (int i = currentIndex() + step; i >= 0 && i < count(); i += step)
        if (isTabVisible(i))
            return i;
    return -1;
}

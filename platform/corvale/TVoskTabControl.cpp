#include "TVoskTabControl.h"

#include "Korvexutils.h"
#include "UDM1.h"
#include "Vcl.Components.h"

#include <EventGuard.h>

TVoskTabControl::TVoskTabControl(QWidget* parent) : QTabBar(parent) {
    setDrawBase(false);
    setExpanding(false);
    setDocumentMode(true);
    connect(this, &QTabBar::currentChanged, this, [this](int) {
        if (m_quiet)
            return;
        FChangePending = true;
        if (OnChange)
            Rtl::Guarded([&] { OnChange(this); }, this);
    });
}

int TVoskTabControl::AddTab(const QString& caption, const QString& data) {
    m_quiet = true;
    const int i = addTab(caption);
    setTabData(i, data);
    setTabToolTip(i, caption);
    m_quiet = false;
    return i;
}

QString TVoskTabControl::TabDataText(int index) const {
    return index >= 0 && index < count() ? tabData(index).toString() : QString();
}

void TVoskTabControl::SetTabs(const QStringList& captions, const QStringList& data, int selected) {
    m_quiet = true;
    while (count() > 0)
        removeTab(count() - 1);
    for (int i = 0; i < captions.size(); ++i) {
        const int t = addTab(captions[i]);
        setTabData(t, data.value(i));
        setTabToolTip(t, captions[i]);
    }
    if (selected >= 0 && selected < count())
        setCurrentIndex(selected);
    m_quiet = false;
}

bool TVoskTabControl::SelectData(const QString& data) {
    for (int i = 0; i < count(); ++i)
        if (TabDataText(i) == data) {
            m_quiet = true;
            setCurrentIndex(i);
            m_quiet = false;
            return true;
        }
    return false;
}

QString TVoskTabControl::VisibilityKey(QWidget* scrollControl) const {
    QWidget* form = Korvexutils::KorvexGetForm(scrollControl ? scrollControl : const_cast<TVoskTabControl*>(this));
    QString owner = scrollControl ? scrollControl->objectName() : QString();
    return QStringLiteral("TabControlVisible_%1_%2_%3")
        .arg(form ? Vcl::ClassName(form) : QString(), owner, objectName());
}

void TVoskTabControl::Visibility_Save(QWidget* scrollControl, bool visible) const {
    if (TDM1* dm = DM1(); dm && dm->Connected())
        dm->SaveLastValBool(VisibilityKey(scrollControl), visible);
}

bool TVoskTabControl::Visibility_Load(QWidget* scrollControl, bool def) const {
    TDM1* dm = DM1();
    return dm && dm->Connected() ? dm->LoadLastValBool(VisibilityKey(scrollControl), def) : def;
}

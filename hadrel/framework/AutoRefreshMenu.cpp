#include "AutoRefreshMenu.h"

#include "DMSys.h"
#include "FrameDBNavigate.h"
#include "TVoskPopupMenu.h"
#include "TopLabel.h"
#include "UDM1.h"
#include "Uloghelper.h"
#include "Vcl.Components.h"
#include "Vcl.Hourglass.h"
#include "VoskTimer.h"

#include <EventGuard.h>

#include <QActionGroup>
#include <QLabel>
#include <QToolButton>

namespace {

constexpr int kImageRunning = 256;
constexpr int kImageOff = 257;

} // namespace

TAutoRefreshMenu::TAutoRefreshMenu(QWidget* frame, QToolButton* button, TVoskPopupMenu* menu,
                                   TVoskTimer* timer, TAutoRefreshIntervalsProperty* intervals,
                                   std::function<void(QObject*)> onChoice,
                                   std::function<void()> onTick)
    : m_button(button), m_timer(timer), m_intervals(intervals) {
    auto* group = new QActionGroup(menu);
    group->setExclusive(true);
    auto add = [&](const char* name, const QString& text, int textNr) {
        TVoskMenuItem* item =
            Vcl::Owned(frame, menu->AddItem(text, textNr), QString::fromLatin1(name));
        item->setToolTip(item->text());
        item->setCheckable(true);
        group->addAction(item);
        QObject::connect(item, &QAction::triggered, frame, [frame, item, onChoice] {
            Rtl::Guarded([&] { onChoice(item); }, frame);
        });
        return item;
    };
    Off = add("moAutoRefreshOff", QStringLiteral("Deaktiviert"), 13132);
    Fast = add("moAutoRefreshFast", QStringLiteral("Short"), 0);
    Medium = add("moAutoRefreshMedium", QStringLiteral("Medium"), 0);
    Slow = add("moAutoRefreshSlow", QStringLiteral("Long"), 0);
    Off->setChecked(true);
    button->setMenu(menu);
    button->setPopupMode(QToolButton::InstantPopup);
    timer->SetEnabled(false);
    timer->OnTimer = [onTick](QObject*) { onTick(); };
    QObject::connect(menu, &QMenu::aboutToShow, frame,
                     [this, frame] { Rtl::Guarded([&] { SetCaptions(); }, frame); });
    // The captions are right before the menu first opens.
    SetCaptions();
}

void TAutoRefreshMenu::SetCaptions() {
    for (auto [item, seconds] : {std::pair{Fast, m_intervals->FShort},
                                 std::pair{Medium, m_intervals->FMedium},
                                 std::pair{Slow, m_intervals->FLong}}) {
        item->setText(TFrameDBNav::getIntervalAsString(seconds));
        item->setToolTip(item->text());
    }
}

QString TAutoRefreshMenu::ValueOf(const QObject* item) const {
    if (item == Fast)
        return QStringLiteral("Short");
    if (item == Medium)
        return QStringLiteral("Normal"); // medium is kept as "Normal"
    if (item == Slow)
        return QStringLiteral("Long");
    return QStringLiteral("Off");
}

bool TAutoRefreshMenu::Choose(QObject* sender, const QString& key) {
    auto* item = qobject_cast<TVoskMenuItem*>(sender);
    if (item && !item->isChecked())
        item->setChecked(true);
    const QString value = ValueOf(item);
    if (TDM1* dm = DM1(); dm && dm->Connected())
        dm->SaveLastVal(key, value, true);
    if (value == QLatin1String("Off")) {
        m_button->setIcon(DMSys()->ImageListHot()->Icon(kImageOff));
        m_timer->SetEnabled(false);
        return false;
    }
    if (item == Fast)
        m_timer->SetInterval(m_intervals->FShort * 1000);
    else if (item == Medium)
        m_timer->SetInterval(m_intervals->FMedium * 1000);
    else if (item == Slow)
        m_timer->SetInterval(m_intervals->FLong * 1000);
    m_button->setIcon(DMSys()->ImageListHot()->Icon(kImageRunning));
    m_timer->SetEnabled(true);
    return true;
}

bool TAutoRefreshMenu::Restore(const QString& key) {
    TDM1* dm = DM1();
    if (!dm || !dm->Connected())
        return false;
    // Exact values only: a value written by hand in another case changes nothing.
    const QString value = dm->LoadLastVal(key, QString(), true);
    for (TVoskMenuItem* item : {Off, Fast, Medium, Slow})
        if (!value.isEmpty() && value == ValueOf(item)) {
            item->trigger();
            return true;
        }
    return false;
}

void TAutoRefreshMenu::Tick(QLabel* caption, const QString& where,
                            const std::function<void()>& refresh) {
    const QString text = caption->text();
    Uloghelper::LogMessage(where + QStringLiteral(".VoskTimerRefreshTimer => Begin AutoRefresh"),
                           3);
    m_timer->SetEnabled(false);
    caption->setText(makeText(13137, QStringLiteral("... Datenaktualisierung ...")));
    Vcl::THourglass hourglass;
    auto restore = [&] {
        caption->setText(text);
        hourglass.Restore();
        m_timer->SetEnabled(true);
        Uloghelper::LogMessage(where + QStringLiteral(".VoskTimerRefreshTimer => Ende AutoRefresh"),
                               3);
    };
    try {
        refresh();
    } catch (...) {
        restore();
        throw;
    }
    restore();
}

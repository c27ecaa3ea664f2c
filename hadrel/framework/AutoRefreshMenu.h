#pragma once
// The auto-refresh equipment that header and navigation frame both carry: the four radio items of
// the drop-down menu, the choice remembered as a last value, its restore and the refresh tick. Each
// frame keeps its own rule for when a choice counts and which key it is kept under.

#include <QString>

#include <functional>

class QLabel;
class QObject;
class QToolButton;
class QWidget;
class TAutoRefreshIntervalsProperty;
class TVoskMenuItem;
class TVoskPopupMenu;
class TVoskTimer;

class TAutoRefreshMenu final {
public:
    // Makes moAutoRefreshOff .. moAutoRefreshSlow in menu, owned by frame, hangs the menu on button
    // and the tick on timer; a chosen item calls onChoice with itself.
    TAutoRefreshMenu(QWidget* frame, QToolButton* button, TVoskPopupMenu* menu, TVoskTimer* timer,
                     TAutoRefreshIntervalsProperty* intervals,
                     std::function<void(QObject* item)> onChoice, std::function<void()> onTick);

    TVoskMenuItem* Off;
    TVoskMenuItem* Fast;
    TVoskMenuItem* Medium;
    TVoskMenuItem* Slow;

    // The interval items say how long they wait; "Off" keeps its caption.
    void SetCaptions();
    // "Off", "Short", "Normal" or "Long"; anything but the three interval items is "Off".
    QString ValueOf(const QObject* item) const;
    // Checks the item, keeps its value under key and starts or stops the timer; true while it runs.
    bool Choose(QObject* item, const QString& key);
    // Clicks the item of the value kept under key; false when none is kept or it is unknown.
    bool Restore(const QString& key);
    // One refresh under a notice in caption; caption, cursor and timer come back also when the
    // refresh throws. where names the frame in the log.
    void Tick(QLabel* caption, const QString& where, const std::function<void()>& refresh);

private:
    QToolButton* m_button;
    TVoskTimer* m_timer;
    TAutoRefreshIntervalsProperty* m_intervals;
};

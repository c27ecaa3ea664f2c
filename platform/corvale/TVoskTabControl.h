#pragma once
// Tab strip whose tabs carry a data text each (a stored filter's name, "*" for all rows). A change
// the user makes sets the pending-change flag before OnChange runs, so that handlers can tell it
// from the tabs being filled by code. Its own show flag and the visibility last value let a frame
// remember whether the user wants the strip.

#include <QTabBar>

#include <functional>

class TVoskTabControl final : public QTabBar {
    Q_OBJECT
public:
    explicit TVoskTabControl(QWidget* parent = nullptr);

    int AddTab(const QString& caption, const QString& data);
    QString TabDataText(int index) const;
    // The selected tab's data text, empty without tabs.
    QString SelectedData() const { return TabDataText(currentIndex()); }
    // Replaces the tabs without OnChange and without the pending flag.
    void SetTabs(const QStringList& captions, const QStringList& data, int selected);
    // Selects the tab holding data, quietly; false when there is none.
    bool SelectData(const QString& data);

    bool FChangePending = false;
    // Whether the user wants the strip shown (the menu item's state).
    bool ShowFlag() const { return m_showFlag; }
    void SetShowFlag(bool on) { m_showFlag = on; }

    // Remembers visible under a last value of the form that holds scrollControl; Load returns
    // what was stored, def when nothing was.
    void Visibility_Save(QWidget* scrollControl, bool visible) const;
    bool Visibility_Load(QWidget* scrollControl, bool def) const;
    QString VisibilityKey(QWidget* scrollControl) const;

    std::function<void(QObject* sender)> OnChange;

private:
    bool m_showFlag = false;
    bool m_quiet = false;
};

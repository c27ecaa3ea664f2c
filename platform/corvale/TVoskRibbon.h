#pragma once
// The ribbon of the forms: a row of tabs, each a page of captioned groups of tools. Groups hold
// buttons over QActions and any other control (combo boxes, spin edits, colour pickers, galleries).
// Tabs, groups and buttons carry the names the forms give them ("ribMenuPage", "tbPage",
// "btPagePrev"), so that forms and tests find them by name.
//
//     auto* ribbon = new TVoskRibbon(form);
//     TVoskRibbonTab* page = ribbon->AddTab("ribMenuPage", "Seite / Ansicht");
//     TVoskRibbonGroup* g = page->AddGroup("tbPage", "Seite");
//     QToolButton* next = g->AddButton("btPageNext", "Nächste", QIcon::fromTheme("go-next"));
//     g->AddButton(acPrint, TVoskRibbonGroup::Small);      // an action the form already has
//     g->AddWidget(cbZoom, "Zoom");                        // the label becomes the buddy
//
// Items are laid out as ribbons do: a large item takes the group's full height, small items stack
// three to a column. A button follows its action (caption, icon, tooltip, checked, enabled,
// visible); its accessible name is the action's caption without shortcut marker, its tooltip the
// action's tooltip (the caption unless a hint was given).
//
// Minimised (SetMinimized, a double click on a tab or the button at the row's end), only the tab
// row takes space. A click on a tab opens that tab's groups over the content below; they close
// again on the next click anywhere except inside the ribbon, an open pop-up of it, or a widget
// registered with AddKeepOpenWidget (the editor the tools work on), and when the window loses
// the activation. Clicking the open tab again closes them.
//
// A colour scheme ("Blue", "Black", "Silver", "Green") tints the ribbon; SchemeColor gives the
// tint for panels of the form that go with it.

#include <QFrame>
#include <QIcon>
#include <QList>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>

class QAction;
class QGridLayout;
class QHBoxLayout;
class QLabel;
class QStackedWidget;
class QTabBar;
class QToolButton;
class QVBoxLayout;
class TVoskRibbon;
class TVoskRibbonTab;

class TVoskRibbonGroup final : public QFrame {
    Q_OBJECT
public:
    enum ItemSize {
        Large, // the group's full height, caption under the icon
        Small, // a third of it, caption beside the icon
        Icon,  // icon only, side by side with the icon-only items added right before it (the
               // caption stays tooltip and accessible name)
    };

    TVoskRibbonGroup(const QString& name, const QString& caption, QWidget* parent = nullptr);

    QString Caption() const;
    void SetCaption(const QString& caption);

    // A button that shows and triggers action; named name, else after the action.
    QToolButton* AddButton(QAction* action, ItemSize size = Large, const QString& name = {});
    // The same over a new action of the group, named name like its button.
    QToolButton* AddButton(const QString& name, const QString& caption, const QIcon& icon,
                           const QString& hint = {}, ItemSize size = Large);
    // Any control. With a label, the label stands before it as its buddy, and the control takes
    // it as accessible name and tooltip unless it has its own.
    QWidget* AddWidget(QWidget* control, const QString& label = {}, ItemSize size = Small);
    void AddSeparator();

    // The buttons and controls in the order they were added.
    QList<QWidget*> Items() const { return m_items; }
    TVoskRibbonTab* Tab() const;

private:
    void Place(QWidget* w, QHBoxLayout* row, ItemSize size);

    QGridLayout* m_grid;
    QLabel* m_caption;
    QList<QWidget*> m_items;
    QHBoxLayout* m_iconRow = nullptr; // the row icon-only items are being added to
    int m_column = 0;
    int m_row = 0; // next free row of the current small column; 0 when a new column starts
};

class TVoskRibbonTab final : public QWidget {
    Q_OBJECT
public:
    QString Caption() const { return m_caption; }
    void SetCaption(const QString& caption);
    // Whether the tab shows in the row at all (a hidden tab cannot be active).
    bool IsTabVisible() const { return m_tabVisible; }
    void SetTabVisible(bool visible);

    TVoskRibbonGroup* AddGroup(const QString& name, const QString& caption);
    // Moves group here from wherever it is, as the last group.
    void AddGroup(TVoskRibbonGroup* group);
    // Takes group off this tab; it stays alive, hidden, until added to a tab again.
    void RemoveGroup(TVoskRibbonGroup* group);
    QList<TVoskRibbonGroup*> Groups() const;

    TVoskRibbon* Ribbon() const { return m_ribbon; }

private:
    friend class TVoskRibbon;
    TVoskRibbonTab(TVoskRibbon* ribbon, const QString& name, const QString& caption);

    TVoskRibbon* m_ribbon;
    QHBoxLayout* m_row;
    QString m_caption;
    bool m_tabVisible = true;
};

class TVoskRibbon final : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString DocumentName READ DocumentName WRITE SetDocumentName)
    Q_PROPERTY(QString ColorSchemeName READ ColorSchemeName WRITE SetColorSchemeName)
    Q_PROPERTY(bool Minimized READ IsMinimized WRITE SetMinimized NOTIFY MinimizedChanged)
public:
    explicit TVoskRibbon(QWidget* parent = nullptr);
    ~TVoskRibbon() override;

    TVoskRibbonTab* AddTab(const QString& name, const QString& caption);
    QList<TVoskRibbonTab*> Tabs() const { return m_tabs; }
    // By name, compared without regard to case; null when there is none.
    TVoskRibbonTab* Tab(const QString& name) const;
    TVoskRibbonGroup* Group(const QString& name) const;

    TVoskRibbonTab* ActiveTab() const;
    // A hidden tab is not made active.
    void SetActiveTab(TVoskRibbonTab* tab);

    bool IsMinimized() const { return m_minimized; }
    void SetMinimized(bool minimized);
    // Minimised, with a tab's groups opened by a click on it.
    bool IsPoppedUp() const { return m_poppedUp; }
    void PopUp();
    void ClosePopup();
    // Clicks inside w leave the opened groups of a minimised ribbon open.
    void AddKeepOpenWidget(QWidget* w);

    QString DocumentName() const { return m_documentName; }
    void SetDocumentName(const QString& name) { m_documentName = name; }

    static const QStringList& ColorSchemes();
    // The tint of a scheme; the first scheme's for an unknown name.
    static QColor SchemeColor(const QString& scheme);
    QString ColorSchemeName() const { return m_scheme; }
    void SetColorSchemeName(const QString& scheme);

    QTabBar* TabBar() const { return m_bar; }
    QToolButton* MinimizeButton() const { return m_minimizeButton; }

signals:
    void ActiveTabChanged(TVoskRibbonTab* tab);
    void MinimizedChanged(bool minimized);

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    friend class TVoskRibbonTab;
    void TabChanged(TVoskRibbonTab* tab);
    void TabClicked(int index);
    void PlacePopup();
    bool KeepsOpen(QWidget* target) const;
    void UpdateMinimizeButton();

    QVBoxLayout* m_layout;
    QTabBar* m_bar;
    QToolButton* m_minimizeButton;
    QStackedWidget* m_stack;
    QList<TVoskRibbonTab*> m_tabs;
    QList<QPointer<QWidget>> m_keepOpen;
    QPointer<QWidget> m_popupWindow; // the window the opened groups lie over
    QString m_documentName;
    QString m_scheme;
    bool m_minimized = false;
    bool m_poppedUp = false;
    bool m_switching = false; // the row's current tab changes from code
};

#pragma once
// Navigator bar of a data class: first, prior, next, last, insert, delete, edit, post, cancel and
// refresh as actions whose enabled states follow the class. A press runs BeforeAction (which may
// stop the action by throwing, EAbort silently), the action, then OnClick, all inside the event
// guard.

#include <QFlags>
#include <QPointer>
#include <QToolBar>

#include <functional>

class QAction;
#include <TVoskClass.h>

// Bit values, so that a set of buttons reads as in form resources (nbPost | nbCancel).
enum NavBtn {
    nbFirst = 0x001,
    nbPrior = 0x002,
    nbNext = 0x004,
    nbLast = 0x008,
    nbInsert = 0x010,
    nbDelete = 0x020,
    nbEdit = 0x040,
    nbPost = 0x080,
    nbCancel = 0x100,
    nbRefresh = 0x200,
};
Q_DECLARE_FLAGS(NavBtnSet, NavBtn)
Q_DECLARE_OPERATORS_FOR_FLAGS(NavBtnSet)

class TVoskDBNavigator final : public QToolBar {
    Q_OBJECT
public:
    explicit TVoskDBNavigator(QWidget* parent = nullptr);

    TVoskClass* DataSource() const { return m_class; }
    void SetDataSource(TVoskClass* dataClass);
    // The head and foot classes of a document around the main one; kept for the form's header,
    // the buttons act on DataSource alone.
    TVoskClass* HeadClass() const { return m_head; }
    void SetHeadClass(TVoskClass* dataClass) { m_head = dataClass; }
    TVoskClass* FootClass() const { return m_foot; }
    void SetFootClass(TVoskClass* dataClass) { m_foot = dataClass; }

    static NavBtnSet AllButtons();
    NavBtnSet VisibleButtons() const { return m_visible; }
    void SetVisibleButtons(NavBtnSet buttons);
    // The action of a button; its object name is the button's name ("nbPost").
    QAction* ButtonControl(NavBtn button) const;
    // Asks "Datensatz löschen?" before deleting.
    bool ConfirmDelete() const { return m_confirmDelete; }
    void SetConfirmDelete(bool on) { m_confirmDelete = on; }

    // Runs the button's action as a click does, but lets its exceptions through.
    void BtnClick(NavBtn button);
    std::function<void(NavBtn)> BeforeAction;
    // After the action, also when the user declined the delete question.
    std::function<void(NavBtn)> OnClick;

private:
    void updateButtons();
    // The row a skip button leads to from row current among the rows shown
    // (TVoskClass::RowShown); -1 none.
    int skipTarget(NavBtn button, int current) const;

    static constexpr int kButtonCount = 10;
    QPointer<TVoskClass> m_class, m_head, m_foot;
    QAction* m_actions[kButtonCount] = {};
    NavBtnSet m_visible;
    bool m_confirmDelete = true;
    QList<QMetaObject::Connection> m_links;
};

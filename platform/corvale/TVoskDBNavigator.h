#pragma once
// Navigator bar of a data class: first, prior, next, last, insert, delete, edit, post, cancel and
// refresh as actions whose enabled states follow the class. BeforeAction runs first and may stop
// an action by throwing (EAbort silently).

#include <QPointer>
#include <QSet>
#include <QToolBar>

#include <functional>

class QAction;
#include <TVoskClass.h>

enum NavBtn { nbFirst, nbPrior, nbNext, nbLast, nbInsert, nbDelete, nbEdit, nbPost, nbCancel,
              nbRefresh };
using NavBtnSet = QSet<NavBtn>;

class TVoskDBNavigator final : public QToolBar {
    Q_OBJECT
public:
    explicit TVoskDBNavigator(QWidget* parent = nullptr);

    TVoskClass* DataSource() const { return m_class; }
    void SetDataSource(TVoskClass* dataClass);

    static NavBtnSet AllButtons();
    NavBtnSet VisibleButtons() const { return m_visible; }
    void SetVisibleButtons(const NavBtnSet& buttons);
    // The action of a button; its object name is the button's name ("nbPost").
    QAction* ButtonControl(NavBtn button) const { return m_actions[button]; }
    // Asks "Datensatz löschen?" before deleting.
    bool ConfirmDelete() const { return m_confirmDelete; }
    void SetConfirmDelete(bool on) { m_confirmDelete = on; }

    // Runs the button's action as a click does, but lets its exceptions through.
    void BtnClick(NavBtn button);
    std::function<void(NavBtn)> BeforeAction;

private:
    void updateButtons();

    QPointer<TVoskClass> m_class;
    QAction* m_actions[nbRefresh + 1] = {};
    NavBtnSet m_visible;
    bool m_confirmDelete = true;
    QList<QMetaObject::Connection> m_links;
};

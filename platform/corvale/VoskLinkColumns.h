#pragma once
// The columns of a grid or tree list that name a record some link module shows: their headers
// look like links and list the modules, and the row menu offers those modules for the value of
// the cell the user points at.

#include "TVoskPopupMenu.h"

#include <QHash>
#include <QPointer>

class QAbstractItemView;
class QContextMenuEvent;
class QModelIndex;
class TVoskClass;
class TVoskDataModel;

class TVoskLinkColumns {
public:
    // Reads with one query which fields of the model's class have link modules and marks their
    // headers; waits for the fields while the class has none yet.
    void Mark(TVoskDataModel* model);
    // The class's fields came: a mark that waited for them is made now.
    void MarkIfPending(TVoskDataModel* model);
    QList<TLinkModule> Modules(const QString& field) const;
    // The modules of the cell's column (of a view over dataClass's fields) and, when there are
    // any, the cell's value.
    QList<TLinkModule> LinkAt(const QModelIndex& index, TVoskClass* dataClass, QString& value) const;
    // The view's context menu on the cell at index (of a view over dataClass's fields): makes it
    // current and pops up the link menu with its column's modules on its value. Without modules
    // or value the event is ignored, so that it goes on to the view's parent.
    void ContextMenu(QAbstractItemView* view, QContextMenuEvent* e, const QModelIndex& index,
                     TVoskClass* dataClass);
    TVoskPopupMenu* Menu() const { return m_menu; }
    // The row menu of view, made on first use.
    TVoskPopupMenu* EnsureMenu(QAbstractItemView* view);

private:
    QHash<QString, QList<TLinkModule>> m_modules; // by lower-case field name
    bool m_pending = false;
    QPointer<TVoskPopupMenu> m_menu;
};

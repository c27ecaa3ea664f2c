#include "TVoskPopupMenu.h"

#include <UDM1.h>

#include <QCursor>

TVoskMenuItem::TVoskMenuItem(const QString& text, QObject* parent) : QAction(text, parent) {}

void TVoskMenuItem::SetTextNr(int textNr) {
    m_textNr = textNr;
    if (textNr > 0)
        setText(makeText(textNr, text()));
}

TVoskPopupMenu::TVoskPopupMenu(QWidget* parent) : QMenu(parent) {}

TVoskMenuItem* TVoskPopupMenu::AddItem(const QString& text, int textNr, qint64 tag) {
    auto* item = new TVoskMenuItem(text, this);
    item->SetTextNr(textNr);
    item->SetTag(tag);
    addAction(item);
    return item;
}

QList<TVoskMenuItem*> TVoskPopupMenu::Items() const {
    QList<TVoskMenuItem*> items;
    for (QAction* a : actions())
        if (auto* i = qobject_cast<TVoskMenuItem*>(a))
            items << i;
    return items;
}

void TVoskPopupMenu::PopupAtMousePosition() { popup(QCursor::pos()); }

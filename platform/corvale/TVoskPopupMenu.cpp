#include "TVoskPopupMenu.h"
#include "Vcl.Components.h"

#include <UDM1.h>
#include <VoskQuery2.h>

#include <QCursor>

TVoskMenuItem::TVoskMenuItem(const QString& text, QObject* parent) : QAction(text, parent) {}

void TVoskMenuItem::SetTextNr(int textNr) {
    m_textNr = textNr;
    if (textNr > 0)
        setText(makeText(textNr, text()));
}

void TVoskMenuItem::SetModulLinkLook(bool on) {
    m_modulLinkLook = on;
    QFont f = font();
    f.setUnderline(on);
    setFont(f);
}

TVoskPopupMenu::TVoskPopupMenu(QWidget* parent) : QMenu(parent) {
    // Connected before any handler of the owner, so that the handlers fill a cleaned menu.
    connect(this, &QMenu::aboutToShow, this, &TVoskPopupMenu::RemoveAutoLinks);
}

namespace {
// Entries of a group are automatic too; they go with the group's sub-menu.
void removeAutoLinks(QMenu* menu, QObject* owner) {
    for (QAction* a : menu->actions()) {
        auto* item = qobject_cast<TVoskMenuItem*>(a);
        if (!item || !item->IsAutoLink())
            continue;
        menu->removeAction(item);
        if (QMenu* sub = item->menu(); sub && sub->parent() == owner) {
            removeAutoLinks(sub, owner);
            delete sub;
        }
        delete item;
    }
}
} // namespace

void TVoskPopupMenu::RemoveAutoLinks() { removeAutoLinks(this, this); }

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

namespace {
// Design tools find the main menu's item class by its unit-qualified name while the library is
// loaded.
struct TMenuItemClassRegistration {
    TMenuItemClassRegistration() {
        Vcl::RegisterClass(QStringLiteral("VoskMainMenu.TVoskMenuItem"),
                           &TVoskMenuItem::staticMetaObject);
    }
    ~TMenuItemClassRegistration() {
        Vcl::UnRegisterClass(QStringLiteral("VoskMainMenu.TVoskMenuItem"));
    }
} menuItemClassRegistration;
} // namespace

Rtl::HookSlot<Vcl::TForm*(QObject*)> TVoskMenuItem::MenuFormClass;

QList<TVoskMenuItem*> TVoskMenuItem::LoadItemsFromQuery(
    QMenu* menu, TVoskQuery2& query, const std::function<void(TVoskMenuItem*)>& onClick) {
    QList<TVoskMenuItem*> items;
    if (!menu || !query.Active() || query.FieldCount() == 0)
        return items;
    int captionCol = query.FieldIndex(QStringLiteral("caption"));
    if (captionCol < 0)
        captionCol = query.FieldIndex(QStringLiteral("menubez"));
    if (captionCol < 0)
        captionCol = 0;
    int valueCol = query.FieldIndex(QStringLiteral("value"));
    if (valueCol < 0)
        valueCol = query.FieldIndex(QStringLiteral("menudata"));
    if (valueCol < 0)
        valueCol = query.FieldCount() > 1 ? 1 : 0;
    for (int r = 0; r < query.RecordCount(); ++r) {
        auto* item = new TVoskMenuItem(query.ValueAt(r, captionCol).toString(), menu);
        item->setData(query.ValueAt(r, valueCol));
        if (onClick)
            QObject::connect(item, &QAction::triggered, item, [item, onClick] { onClick(item); });
        menu->addAction(item);
        items << item;
    }
    return items;
}

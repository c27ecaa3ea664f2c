#pragma once
// Popup menu and its items. An item with a text number takes its caption from the text table
// (its own text is the default); Tag is the component tag the handlers read.

#include <HookSlot.h>

#include <QAction>
#include <QMenu>
#include <QVariant>

#include <functional>

class TVoskQuery2;
namespace Vcl {
class TForm;
}

// What the record-information window offers the menu item that made it from MenuFormClass: it
// fills itself for one record (table, record id, form class, category to stand on).
class IMenuCreate {
public:
    virtual ~IMenuCreate() = default;
    virtual void MenuCreate(const QString& tableName, const QString& recId,
                            const QString& formClass, const QString& category) = 0;
};

class TVoskMenuItem final : public QAction {
    Q_OBJECT
    Q_PROPERTY(int TextNr READ TextNr WRITE SetTextNr)
    Q_PROPERTY(qint64 Tag READ Tag WRITE SetTag)
public:
    Q_INVOKABLE explicit TVoskMenuItem(const QString& text = {}, QObject* parent = nullptr);

    int TextNr() const { return m_textNr; }
    void SetTextNr(int textNr);
    qint64 Tag() const { return m_tag; }
    void SetTag(qint64 tag) { m_tag = tag; }
    // An automatic entry is made anew each time its menu opens; the menu drops it beforehand.
    bool IsAutoLink() const { return m_isAutoLink; }
    void SetIsAutoLink(bool autoLink) { m_isAutoLink = autoLink; }
    // A value the item's handler reads (a record id).
    QVariant DataValue() const { return m_dataValue; }
    void SetDataValue(const QVariant& value) { m_dataValue = value; }
    // Shown like a link to another module.
    bool ModulLinkLook() const { return m_modulLinkLook; }
    void SetModulLinkLook(bool on);

    // The value an entry made from a query stands for (its second column).
    QVariant Value() const { return data(); }
    // One entry per row of the open query, added to menu in row order: caption from the column
    // "caption" or "menubez" (else the first), value from "value" or "menudata" (else the
    // second); onClick runs on a click.
    static QList<TVoskMenuItem*> LoadItemsFromQuery(QMenu* menu, TVoskQuery2& query,
                                                    const std::function<void(TVoskMenuItem*)>&
                                                        onClick);
    // The record-information window's class: makes one with the given owner. Filled by the forms
    // package at load, emptied at unload.
    static Rtl::HookSlot<Vcl::TForm*(QObject* owner)> MenuFormClass;

private:
    int m_textNr = 0;
    qint64 m_tag = 0;
    bool m_isAutoLink = false;
    QVariant m_dataValue;
    bool m_modulLinkLook = false;
};

class TVoskPopupMenu final : public QMenu {
    Q_OBJECT
public:
    explicit TVoskPopupMenu(QWidget* parent = nullptr);

    TVoskMenuItem* AddItem(const QString& text, int textNr = 0, qint64 tag = 0);
    QList<TVoskMenuItem*> Items() const;
    void PopupAtMousePosition();
    // Drops the automatic entries (with their sub-menus); runs first whenever the menu opens.
    void RemoveAutoLinks();
};

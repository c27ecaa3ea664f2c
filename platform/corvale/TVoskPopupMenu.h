#pragma once
// Popup menu and its items. An item with a text number takes its caption from the text table
// (its own text is the default); Tag is the component tag the handlers read.

#include <QAction>
#include <QMenu>
#include <QVariant>

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

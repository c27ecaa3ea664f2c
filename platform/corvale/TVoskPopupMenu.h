#pragma once
// Popup menu and its items. An item with a text number takes its caption from the text table
// (its own text is the default); Tag is the component tag the handlers read.

#include <HookSlot.h>

#include <QAction>
#include <QHash>
#include <QMenu>
#include <QPointer>
#include <QVariant>

#include <functional>

class TVoskClass;
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

// A link module: a module window that shows the record a value of KeyField names (table
// linkmodule). It starts with KeyField = value as its start parameter and stands on that record.
struct TLinkModule {
    QString KeyField;
    QString FormClassName;
    QString TableName;
    QString Caption;
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

    // ---- link modules ----------------------------------------------------------------------
    // The rows the menu pops up on: IdentKeyField of the focused row names the column,
    // IdentValueField the value that identifies the record.
    void SetLinkSource(TVoskClass* rows) { m_linkSource = rows; }
    TVoskClass* LinkSource() const { return m_linkSource; }
    QString IdentKeyField() const { return m_identKeyField; }
    void SetIdentKeyField(const QString& field) { m_identKeyField = field; }
    QString IdentValueField() const { return m_identValueField; }
    void SetIdentValueField(const QString& field) { m_identValueField = field; }
    // Whether the menu offers every link module of the row's column whenever it opens.
    bool LoadAllLinkModules() const { return m_loadAllLinkModules; }
    void SetLoadAllLinkModules(bool on) { m_loadAllLinkModules = on; }
    // Whether opening a link first makes sure the record exists, and refuses it otherwise.
    bool ErrorWhenNotFound() const { return m_errorWhenNotFound; }
    void SetErrorWhenNotFound(bool on) { m_errorWhenNotFound = on; }

    // ---- record parameters ------------------------------------------------------------------
    // Whether the menu offers the pivot view of the record parameters of the grid it belongs to
    // (its parent widget); the form's start-up sets it for grids whose query joins them.
    bool RecNoParamPivot() const { return m_recNoParamPivot; }
    void SetRecNoParamPivot(bool on) { m_recNoParamPivot = on; }
    // Shows that view for a grid; filled by the forms package.
    static Rtl::HookSlot<void(QWidget* grid)> RecNoParamPivotView;

    // While a scope is alive, the link modules of one connection are read once, all of them,
    // and every lookup answers from that reading: a window whose grids each mark their link
    // columns while it starts costs one query. Scopes nest.
    class TLinkModuleScope final {
    public:
        TLinkModuleScope();
        ~TLinkModuleScope();
        TLinkModuleScope(const TLinkModuleScope&) = delete;
        TLinkModuleScope& operator=(const TLinkModuleScope&) = delete;
    };

    // The link modules of a column, in their configured order.
    static QList<TLinkModule> LinkModules(const QString& keyField);
    // The same for several columns with one query, by lower-case column name; a column without
    // link modules is not in the result.
    static QHash<QString, QList<TLinkModule>> LinkModulesOf(const QStringList& keyFields);
    // Offers modules on value whenever the menu opens, besides those of the link source.
    void SetOfferedLinks(const QList<TLinkModule>& modules, const QString& value);
    // One automatic entry per link module of the focused row's column and per offered one;
    // runs whenever the menu opens. Returns the entries made.
    QList<TVoskMenuItem*> CreateLinkItems();
    // Opens the module on the record value names; throws a German message when the record is
    // not there and ErrorWhenNotFound is set.
    void OpenLink(const TLinkModule& module, const QString& value);

private:
    QPointer<TVoskClass> m_linkSource;
    QString m_identKeyField;
    QString m_identValueField;
    bool m_loadAllLinkModules = false;
    bool m_errorWhenNotFound = false;
    bool m_recNoParamPivot = false;
    QList<TLinkModule> m_offeredLinks;
    QString m_offeredValue;

    QList<TVoskMenuItem*> addLinkItems(const QList<TLinkModule>& modules, const QString& value);
};

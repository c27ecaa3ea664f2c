#include "TVoskPopupMenu.h"
#include "Vcl.Components.h"

#include <EventGuard.h>
#include <TVoskClass.h>
#include <UDM1.h>
#include <VoskExceptions.h>
#include <VoskQuery2.h>
#include <Voskdbcontrols.h>

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
    connect(this, &QMenu::aboutToShow, this,
            [this] { Rtl::Guarded([this] { CreateLinkItems(); }, this); });
    connect(this, &QMenu::aboutToShow, this, [this] {
        if (!m_recNoParamPivot || !RecNoParamPivotView.Assigned() || !parentWidget())
            return;
        auto* item = new TVoskMenuItem(QStringLiteral("Eigenschaften als Pivot-Ansicht"), this);
        item->setObjectName(QStringLiteral("miRecNoParamPivot"));
        item->setToolTip(QStringLiteral("Die Eigenschaften der Datensätze als Tabelle: ein "
                                        "Datensatz je Zeile, eine Eigenschaft je Spalte"));
        item->SetIsAutoLink(true);
        addAction(item);
        connect(item, &QAction::triggered, this, [this] {
            Rtl::Guarded([this] { RecNoParamPivotView(parentWidget()); }, this);
        });
    });
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

// ---- link modules --------------------------------------------------------------------------

namespace {
// A configured name as the server folds it unquoted, quoted so that it stays one name.
QString quoteIdent(const QString& name) {
    return QLatin1Char('"') +
           name.trimmed().toLower().replace(QLatin1Char('"'), QStringLiteral("\"\"")) +
           QLatin1Char('"');
}
} // namespace

QList<TLinkModule> TVoskPopupMenu::LinkModules(const QString& keyField) {
    return LinkModulesOf({keyField}).value(keyField.trimmed().toLower());
}

namespace {
// The reading of a scope: every link module by the server's lower case of its column.
struct TLinkModuleSnapshot {
    int depth = 0;
    const TVoskDatabase* db = nullptr;
    PGconn* conn = nullptr; // a reconnect reads anew
    bool read = false;
    QHash<QString, QList<TLinkModule>> byKey;
};

TLinkModuleSnapshot& snapshot() {
    static TLinkModuleSnapshot s;
    return s;
}

// The link modules of the columns keys (lower case), or of every column for an empty list, by
// the server's lower case of their column.
QHash<QString, QList<TLinkModule>> readLinkModules(TDM1* dm, const QStringList& keys) {
    // Column names never hold a line break, so the list travels as one parameter.
    TVoskQuery2 q(&dm->Database(),
                  QStringLiteral("SELECT lower(lm_keyfield) AS lm_key, lm_keyfield, "
                                 "lm_formclassname, lm_tablename, lm_text, lm_caption "
                                 "FROM linkmodule\n") +
                      (keys.isEmpty() ? QString()
                                      : QStringLiteral("WHERE lower(lm_keyfield) = ANY "
                                                       "(string_to_array(:keyfields, E'\\n'))\n")) +
                      QStringLiteral("ORDER BY lm_order, lm_id"));
    if (!keys.isEmpty())
        q.ParamByName(QStringLiteral("keyfields")).SetAsString(keys.join(u'\n'));
    q.Open();
    QHash<QString, QList<TLinkModule>> modules;
    for (; !q.Eof(); q.Next()) {
        TLinkModule m;
        m.KeyField = q.FieldByName(QStringLiteral("lm_keyfield")).AsString();
        m.FormClassName = q.FieldByName(QStringLiteral("lm_formclassname")).AsString();
        m.TableName = q.FieldByName(QStringLiteral("lm_tablename")).AsString();
        const QString caption = q.FieldByName(QStringLiteral("lm_caption")).AsString();
        const int textNr = int(q.FieldByName(QStringLiteral("lm_text")).AsString().toInt());
        m.Caption = textNr > 0 ? dm->makeText(textNr, caption) : caption;
        if (m.Caption.isEmpty())
            m.Caption = m.FormClassName;
        modules[q.FieldByName(QStringLiteral("lm_key")).AsString()] << m;
    }
    return modules;
}
} // namespace

TVoskPopupMenu::TLinkModuleScope::TLinkModuleScope() { ++snapshot().depth; }

TVoskPopupMenu::TLinkModuleScope::~TLinkModuleScope() {
    if (--snapshot().depth == 0)
        snapshot() = {};
}

QHash<QString, QList<TLinkModule>> TVoskPopupMenu::LinkModulesOf(const QStringList& keyFields) {
    QHash<QString, QList<TLinkModule>> modules;
    QStringList keys;
    for (const QString& f : keyFields)
        if (const QString k = f.trimmed().toLower(); !k.isEmpty() && !keys.contains(k))
            keys << k;
    TDM1* dm = DM1();
    if (keys.isEmpty() || !dm || !dm->Connected())
        return modules;
    QHash<QString, QList<TLinkModule>> found;
    TLinkModuleSnapshot& s = snapshot();
    if (s.depth > 0) {
        if (!s.read || s.db != &dm->Database() || s.conn != dm->Database().Handle()) {
            s.byKey = readLinkModules(dm, {});
            s.db = &dm->Database();
            s.conn = dm->Database().Handle();
            s.read = true;
        }
        for (const QString& k : keys)
            if (const auto it = s.byKey.constFind(k); it != s.byKey.constEnd())
                found.insert(k, *it);
    } else {
        found = readLinkModules(dm, keys);
    }
    // Keyed as callers look them up, which may fold a column's case or blanks otherwise.
    for (const QList<TLinkModule>& list : std::as_const(found))
        for (const TLinkModule& m : list)
            modules[m.KeyField.trimmed().toLower()] << m;
    return modules;
}

void TVoskPopupMenu::SetOfferedLinks(const QList<TLinkModule>& modules, const QString& value) {
    m_offeredLinks = modules;
    m_offeredValue = value.trimmed();
}

QList<TVoskMenuItem*> TVoskPopupMenu::CreateLinkItems() {
    QList<TVoskMenuItem*> items;
    TVoskClass* rows = m_linkSource;
    if (m_loadAllLinkModules && rows && rows->HasRecord() &&
        rows->FieldIndex(m_identKeyField) >= 0 && rows->FieldIndex(m_identValueField) >= 0) {
        const QString key = rows->FieldByName(m_identKeyField).AsString();
        const QString value = rows->FieldByName(m_identValueField).AsString().trimmed();
        if (!value.isEmpty())
            items << addLinkItems(LinkModules(key), value);
    }
    if (!m_offeredValue.isEmpty())
        items << addLinkItems(m_offeredLinks, m_offeredValue);
    return items;
}

QList<TVoskMenuItem*> TVoskPopupMenu::addLinkItems(const QList<TLinkModule>& modules,
                                                   const QString& value) {
    QList<TVoskMenuItem*> items;
    for (const TLinkModule& m : modules) {
        auto* item = AddItem(m.Caption + QStringLiteral(": ") + value);
        item->SetIsAutoLink(true);
        item->SetModulLinkLook(true);
        item->setToolTip(QStringLiteral("%1 mit „%2“ öffnen").arg(m.Caption, value));
        connect(item, &QAction::triggered, this,
                [this, m, value] { Rtl::Guarded([&] { OpenLink(m, value); }, this); });
        items << item;
    }
    return items;
}

void TVoskPopupMenu::OpenLink(const TLinkModule& module, const QString& value) {
    TDM1* dm = DM1();
    if (m_errorWhenNotFound && dm && !module.TableName.isEmpty()) {
        // Table and column come from the link module's configuration, the value is a parameter.
        const QVariant found = dm->LoadVar(
            QStringLiteral("SELECT 1 FROM %1 WHERE lower(CAST(%2 AS text)) = lower(:value) LIMIT 1")
                .arg(quoteIdent(module.TableName), quoteIdent(module.KeyField)),
            {{QStringLiteral("value"), value}});
        if (found.isNull())
            throw EVoskException(QStringLiteral("%1: Kein Datensatz mit „%2“ gefunden.")
                                     .arg(module.Caption, value));
    }
    Voskdbcontrols::DoStartModuleByClass(module.FormClassName, {module.KeyField, value}, false,
                                         parentWidget() ? parentWidget()->window() : nullptr);
}

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
Rtl::HookSlot<void(QWidget*)> TVoskPopupMenu::RecNoParamPivotView;

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

#include "Vcl.Components.h"
#include "Vcl.Classes.h"

#include "Vcl.Forms.h"

#include <algorithm>

#include <QCoreApplication>
#include <QHash>
#include <QMetaObject>
#include <QPointer>
#include <QSet>
#include <QVariant>
#include <QWidget>

namespace Vcl {

namespace {

// What the layer knows of one object. An entry exists only for objects that have an owner, own
// components or carry a flag; it is dropped when the object is destroyed.
struct Entry {
    QPointer<QObject> owner;
    QList<QPointer<QObject>> components;
    bool destroying = false;
    bool designing = false;
    bool reading = false;
    bool detached = false; // DetachSlots ran
};

QHash<const QObject*, Entry>& Entries() {
    static QHash<const QObject*, Entry> entries;
    return entries;
}

const Entry* Find(const QObject* obj) {
    auto& map = Entries();
    auto it = map.constFind(obj);
    return it == map.constEnd() ? nullptr : &it.value();
}

void RemoveFromOwner(const QObject* comp, QObject* owner) {
    if (!owner)
        return;
    auto it = Entries().find(owner);
    if (it == Entries().end())
        return;
    auto& list = it->components;
    for (qsizetype i = 0; i < list.size(); ++i)
        if (list[i].data() == comp) {
            list.removeAt(i);
            return;
        }
}

void Destroyed(QObject* obj) {
    auto& map = Entries();
    auto it = map.find(obj);
    if (it == map.end())
        return;
    SetDestroying(obj);
    // Runs after obj's derived destructors: nothing freed from here on may reach its slots.
    if (!it->detached && !it->components.isEmpty())
        DetachSlots(obj);
    // Components that are Qt children die with obj anyway; the others (a tool window parented
    // elsewhere) would outlive their owner. Last first, as an owner frees its components. The
    // entry is looked up again each round because deleting may change the hash.
    for (;;) {
        auto cur = map.find(obj);
        if (cur == map.end() || cur->components.isEmpty())
            break;
        QPointer<QObject> last = cur->components.takeLast();
        if (auto* form = qobject_cast<TForm*>(last.data()))
            form->PrepareDestruction();
        if (last)
            delete last.data();
    }
    auto cur = map.find(obj);
    if (cur == map.end())
        return;
    QObject* owner = cur->owner.data();
    map.erase(cur);
    RemoveFromOwner(obj, owner);
}

Entry& Ensure(QObject* obj) {
    auto& map = Entries();
    auto it = map.find(obj);
    if (it != map.end())
        return it.value();
    // Direct connection without a context object: runs inside ~QObject even while signals are
    // blocked, before the children are gone for a plain QObject.
    QObject::connect(obj, &QObject::destroyed, [](QObject* o) { Destroyed(o); });
    return map[obj];
}

QString StripNamespace(const char* name) {
    const QString s = QString::fromLatin1(name);
    const qsizetype pos = s.lastIndexOf(QLatin1String("::"));
    return pos < 0 ? s : s.mid(pos + 2);
}

} // namespace

void SetOwner(QObject* comp, QObject* owner) {
    if (!comp || comp == owner)
        return;
    QObject* old = Owner(comp);
    if (old == owner)
        return;
    RemoveFromOwner(comp, old);
    Entry& e = Ensure(comp);
    e.owner = owner;
    if (!owner)
        return;
    Ensure(owner).components.append(comp);
    if (IsDesigning(owner))
        SetDesigning(comp, true);
}

QObject* Owner(const QObject* comp) {
    const Entry* e = Find(comp);
    return e ? e->owner.data() : nullptr;
}

QList<QObject*> Components(const QObject* owner) {
    QList<QObject*> result;
    if (const Entry* e = Find(owner))
        for (const auto& c : e->components)
            if (c)
                result.append(c.data());
    return result;
}

// Walks over a form's components by index are common: these count in place, without a list.
int ComponentCount(const QObject* owner) {
    const Entry* e = Find(owner);
    return e ? int(std::count_if(e->components.cbegin(), e->components.cend(),
                                 [](const QPointer<QObject>& c) { return !c.isNull(); }))
             : 0;
}

QObject* Component(const QObject* owner, int index) {
    if (const Entry* e = Find(owner); e && index >= 0)
        for (const auto& c : e->components)
            if (c && index-- == 0)
                return c.data();
    return nullptr;
}

int ComponentIndex(const QObject* comp) {
    int index = 0;
    if (const Entry* e = Find(Owner(comp)); e && comp)
        for (const auto& c : e->components)
            if (c) {
                if (c.data() == comp)
                    return index;
                ++index;
            }
    return -1;
}

QObject* FindComponent(const QObject* owner, const QString& name) {
    if (name.isEmpty())
        return nullptr;
    if (const Entry* e = Find(owner))
        for (const auto& c : e->components)
            if (c && c->objectName().compare(name, Qt::CaseInsensitive) == 0)
                return c.data();
    return nullptr;
}

qint64 Tag(const QObject* obj) {
    return obj ? obj->property("Tag").toLongLong() : 0;
}

void SetTag(QObject* obj, qint64 tag) {
    if (obj)
        obj->setProperty("Tag", tag);
}

bool IsDestroying(const QObject* obj) {
    const Entry* e = Find(obj);
    return e && e->destroying;
}

void SetDestroying(QObject* obj) {
    if (!obj || IsDestroying(obj))
        return;
    Ensure(obj).destroying = true;
    for (QObject* c : Components(obj))
        SetDestroying(c);
}

void DetachSlots(QObject* obj) {
    if (!obj)
        return;
    if (auto it = Entries().find(obj); it != Entries().end())
        it->detached = true;
    QList<QObject*> senders;
    QSet<const QObject*> seen{obj};
    auto addTree = [&](QObject* root) {
        if (seen.contains(root))
            return;
        seen.insert(root);
        senders << root;
        for (QObject* c : root->findChildren<QObject*>())
            if (!seen.contains(c)) {
                seen.insert(c);
                senders << c;
            }
    };
    for (QObject* c : obj->children())
        addTree(c);
    // Owned components parented elsewhere (a tool window), and what they own in turn.
    for (QObject* c : Components(obj))
        addTree(c);
    for (qsizetype i = 0; i < senders.size(); ++i)
        for (QObject* c : Components(senders[i]))
            addTree(c);
    if (QCoreApplication* app = QCoreApplication::instance())
        senders << app;
    for (QObject* sender : senders)
        QObject::disconnect(sender, nullptr, obj, nullptr);
}

bool IsDesigning(const QObject* obj) {
    const Entry* e = Find(obj);
    return e && e->designing;
}

void SetDesigning(QObject* obj, bool designing) {
    if (!obj || IsDesigning(obj) == designing)
        return;
    Ensure(obj).designing = designing;
    for (QObject* c : Components(obj))
        SetDesigning(c, designing);
}

bool IsReading(const QObject* obj) {
    const Entry* e = Find(obj);
    return e && e->reading;
}

void SetReading(QObject* obj, bool reading) {
    if (!obj || IsReading(obj) == reading)
        return;
    Ensure(obj).reading = reading;
}

QString ClassName(const QMetaObject* meta) {
    return meta ? StripNamespace(meta->className()) : QString();
}

QString ClassName(const QObject* obj) {
    return obj ? ClassName(obj->metaObject()) : QString();
}

bool ClassNameIs(const QObject* obj, const QString& name) {
    return obj && ClassName(obj).compare(name, Qt::CaseInsensitive) == 0;
}

bool InheritsFromName(const QObject* obj, const QString& name) {
    if (!obj || name.isEmpty())
        return false;
    for (const QMetaObject* m = obj->metaObject(); m; m = m->superClass())
        if (ClassName(m).compare(name, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

QWidget* ParentForm(const QWidget* w) {
    for (QWidget* p = const_cast<QWidget*>(w); p; p = p->parentWidget())
        if (qobject_cast<TForm*>(p))
            return p;
    return nullptr;
}

bool HasAsParent(const QObject* p, const QObject* c) {
    if (!p || !c)
        return false;
    for (QObject* o = c->parent(); o; o = o->parent())
        if (o == p)
            return true;
    return false;
}

QString FullName(const QObject* obj) {
    if (!obj)
        return {};
    QStringList parts{obj->objectName().isEmpty() ? ClassName(obj) : obj->objectName()};
    auto isRoot = [](const QObject* o) {
        const auto* w = qobject_cast<const QWidget*>(o);
        return qobject_cast<const TForm*>(o) || (w && w->isWindow());
    };
    if (!isRoot(obj))
        for (const QObject* o = obj->parent(); o; o = o->parent()) {
            if (!o->objectName().isEmpty())
                parts.prepend(o->objectName());
            if (isRoot(o))
                break;
        }
    return parts.join(QLatin1Char('.'));
}

} // namespace Vcl

namespace Vcl {

namespace {
QHash<QString, const QMetaObject*>& classRegistry() {
    static QHash<QString, const QMetaObject*> classes;
    return classes;
}
} // namespace

void RegisterClass(const QString& qualifiedName, const QMetaObject* cls) {
    classRegistry().insert(qualifiedName.toLower(), cls);
}

void UnRegisterClass(const QString& qualifiedName) {
    classRegistry().remove(qualifiedName.toLower());
    UnRegisterFactory(qualifiedName);
}

const QMetaObject* FindClass(const QString& qualifiedName) {
    return classRegistry().value(qualifiedName.toLower());
}

} // namespace Vcl

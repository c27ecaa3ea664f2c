#pragma once
// The component model over QObject. A component's Owner is kept apart from its QWidget parent: the
// owner lists its components in the order they were given to it, finds them by name, and frees the
// ones still alive when it is destroyed itself (last first). A component leaves its owner's list
// when it is destroyed. Names are objectName(); class names are the meta object's, namespace
// stripped. GUI thread only.

#include <QList>
#include <QObject>
#include <QString>

class QWidget;

namespace Vcl {

// Moves comp into owner's list (at its end); a null owner only removes it from its current owner.
// A component given to a designing owner is designing too.
void SetOwner(QObject* comp, QObject* owner);
QObject* Owner(const QObject* comp);

// Form construction code: gives comp its owner and name and returns it.
template <class T> T* Owned(QObject* owner, T* comp, const QString& name = {}) {
    if (!name.isEmpty())
        comp->setObjectName(name);
    SetOwner(comp, owner);
    return comp;
}

// Live components of owner, in the order they were added.
QList<QObject*> Components(const QObject* owner);
int ComponentCount(const QObject* owner);
QObject* Component(const QObject* owner, int index); // null outside 0..count-1
int ComponentIndex(const QObject* comp);             // position in its owner's list, -1 without one
// Direct components only, name compared case-insensitively; an empty name finds nothing.
QObject* FindComponent(const QObject* owner, const QString& name);

// Typed walk over the owned components, in order.
template <class T> QList<T*> ComponentsOf(const QObject* owner) {
    QList<T*> result;
    for (QObject* c : Components(owner))
        if (T* t = qobject_cast<T*>(c))
            result.append(t);
    return result;
}

// Tag is the "Tag" property (a declared Q_PROPERTY of that name or a dynamic one).
qint64 Tag(const QObject* obj);
void SetTag(QObject* obj, qint64 tag);

// Destroying is set on an owner and all its components when the owner starts to go away, so that
// handlers running meanwhile can leave it alone. Designing follows the owner list too.
bool IsDestroying(const QObject* obj);
void SetDestroying(QObject* obj);
// Cuts every connection from obj's children, its owned components and the application to obj
// itself (the lambdas a form or frame binds with itself as context). An owner calls it when its
// destruction begins: the parts it frees afterwards signal as they go (a page control changes its
// page), and those slots would run on an object whose derived parts are already destroyed.
void DetachSlots(QObject* obj);
bool IsDesigning(const QObject* obj);
void SetDesigning(QObject* obj, bool designing);
// Reading: the object's stored properties are being read in (a form resource loading); references
// to it are not to be followed meanwhile.
bool IsReading(const QObject* obj);
void SetReading(QObject* obj, bool reading);

// "TFormAdress" for a class Hadrel::TFormAdress; classes without Q_OBJECT report their base's name.
QString ClassName(const QObject* obj);
QString ClassName(const QMetaObject* meta);
bool ClassNameIs(const QObject* obj, const QString& name); // case-insensitive
// Whether obj's class or one of its bases has that name, case-insensitively.
bool InheritsFromName(const QObject* obj, const QString& name);

// Nearest widget at or above w (by QWidget parent) that is a form; null when there is none.
QWidget* ParentForm(const QWidget* w);
// Whether p lies on c's parent chain (c itself excluded).
bool HasAsParent(const QObject* p, const QObject* c);
// Names along the parent chain up to the nearest form or window, outermost first:
// "FormAdress.PanelTop.btSave". Unnamed links (Qt's own frames and viewports) are left out; an
// unnamed object itself shows as its class name.
QString FullName(const QObject* obj);

} // namespace Vcl

namespace Vcl {

// Classes found by name at run time, as a package registers them: "Unit.TClass" (the name is
// compared case-insensitively). A class is made from its meta object, so it needs an invokable
// constructor.
void RegisterClass(const QString& qualifiedName, const QMetaObject* cls);
void UnRegisterClass(const QString& qualifiedName);
const QMetaObject* FindClass(const QString& qualifiedName); // null when not registered

} // namespace Vcl

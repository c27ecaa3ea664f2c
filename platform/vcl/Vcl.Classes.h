#pragma once
// The class registry: classes known by name so that stored component descriptions can create
// them again. Names compare without case; registering a name again replaces its factory. GUI
// thread only, like the component model.
// Also the design-time registration the units' Register procedures call: palette pages and
// classes known without a palette button. The IDE fills the two procedure slots while it runs;
// outside the IDE nothing listens and the calls do nothing.

#include "HookSlot.h"
#include "Vcl.Components.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <type_traits>
#include <vector>

namespace Vcl {

using TComponentFactory = std::function<QObject*(QObject* owner)>;

void RegisterClass(const QString& className, TComponentFactory factory);
// Registers T under its meta object's class name.
template <class T> void RegisterClass() {
    RegisterClass(
        QString::fromLatin1(T::staticMetaObject.className()).section(QStringLiteral("::"), -1),
        [](QObject* owner) -> QObject* { return new T(owner); });
}
// Forgets the name in both registries: this one and the meta-object one of the component model.
void UnRegisterClass(const QString& className);
void UnRegisterFactory(const QString& className);
bool IsClassRegistered(const QString& className);
// A new object of the registered class, owned by owner; null for an unknown name.
QObject* CreateComponent(const QString& className, QObject* owner = nullptr);
QStringList RegisteredClasses(); // sorted

// ---- design time

// A class as the palette offers it: its meta object and how the form designer makes one on a
// designed form (owner the form, parent the widget it goes into).
struct TComponentClass {
    const QMetaObject* Meta = nullptr;
    std::function<QObject*(QObject* owner, QWidget* parent)> Create;
};

// T's entry, made with the constructor T has: (owner, parent), (parent) or (owner).
template <class T> TComponentClass ComponentClass() {
    return {&T::staticMetaObject, [](QObject* owner, QWidget* parent) -> QObject* {
                if constexpr (std::is_constructible_v<T, QObject*, QWidget*>) {
                    return new T(owner, parent);
                } else if constexpr (std::is_constructible_v<T, QWidget*>) {
                    T* t = new T(parent);
                    SetOwner(t, owner);
                    return t;
                } else {
                    T* t = new T(owner);
                    if constexpr (std::is_base_of_v<QWidget, T>)
                        t->setParent(parent);
                    return t;
                }
            }};
}

// Puts the classes on the palette page (created when new), in the order given.
void RegisterComponents(const QString& page, const std::vector<TComponentClass>& classes);
// The designer knows these classes, for forms that hold them, without a palette button.
void RegisterNoIcon(const std::vector<const QMetaObject*>& classes);

extern Rtl::HookSlot<void(const QString& page, const std::vector<TComponentClass>& classes)>
    RegisterComponentsProc;
extern Rtl::HookSlot<void(const std::vector<const QMetaObject*>& classes)> RegisterNoIconProc;

} // namespace Vcl

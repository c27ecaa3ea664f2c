#pragma once
// The class registry: classes known by name so that stored component descriptions can create
// them again. Names compare without case; registering a name again replaces its factory. GUI
// thread only, like the component model.

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

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

} // namespace Vcl

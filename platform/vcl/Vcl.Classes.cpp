#include "Vcl.Classes.h"

#include <map>

namespace Vcl {
namespace {

std::map<QString, std::pair<QString, TComponentFactory>>& Registry() {
    static std::map<QString, std::pair<QString, TComponentFactory>> registry;
    return registry;
}

} // namespace

void RegisterClass(const QString& className, TComponentFactory factory) {
    if (className.isEmpty() || !factory)
        return;
    Registry()[className.toLower()] = {className, std::move(factory)};
}

void UnRegisterFactory(const QString& className) {
    Registry().erase(className.toLower());
}

bool IsClassRegistered(const QString& className) {
    return Registry().count(className.toLower()) > 0;
}

QObject* CreateComponent(const QString& className, QObject* owner) {
    const auto it = Registry().find(className.toLower());
    return it == Registry().end() ? nullptr : it->second.second(owner);
}

Rtl::HookSlot<void(const QString&, const std::vector<TComponentClass>&)> RegisterComponentsProc;
Rtl::HookSlot<void(const std::vector<const QMetaObject*>&)> RegisterNoIconProc;

void RegisterComponents(const QString& page, const std::vector<TComponentClass>& classes) {
    RegisterComponentsProc(page, classes);
}

void RegisterNoIcon(const std::vector<const QMetaObject*>& classes) {
    RegisterNoIconProc(classes);
}

QStringList RegisteredClasses() {
    QStringList names;
    for (const auto& [key, entry] : Registry())
        names << entry.first;
    names.sort(Qt::CaseInsensitive);
    return names;
}

} // namespace Vcl

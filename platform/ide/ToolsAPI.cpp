#include "ToolsAPI.h"

#include <QHash>
#include <QMetaObject>
#include <QObject>

ToolsAPI::IBorlandIDEServices* Toolsapi_BorlandIDEServices = nullptr;

namespace ToolsAPI {

bool IsStringKind(TTypeKind kind) {
    return kind == TTypeKind::ShortString || kind == TTypeKind::LString ||
           kind == TTypeKind::WString || kind == TTypeKind::UString;
}

IBorlandIDEServices* BorlandIDEServices() { return Toolsapi_BorlandIDEServices; }
void SetBorlandIDEServices(IBorlandIDEServices* services) { Toolsapi_BorlandIDEServices = services; }

namespace {
QHash<QString, TIDEActions*>& frameworks() {
    static QHash<QString, TIDEActions*> map;
    return map;
}
} // namespace

TIDEActions* GetIDEActions(const QString& frameworkType) {
    return frameworks().value(frameworkType.toUpper());
}

void RegisterActionsInFramework(const QString& frameworkType, TIDEActions* actions) {
    frameworks().insert(frameworkType.toUpper(), actions);
}

void UnregisterActionsInFramework(const QString& frameworkType) {
    frameworks().remove(frameworkType.toUpper());
}

QObject* CreateDefaultAction(const QString& frameworkType, QObject* owner) {
    TIDEActions* actions = GetIDEActions(frameworkType);
    const QMetaObject* cls = actions ? actions->DefaultActionClass() : nullptr;
    return cls ? cls->newInstance(Q_ARG(QObject*, owner)) : nullptr;
}

} // namespace ToolsAPI

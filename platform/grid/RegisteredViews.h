#pragma once
// The grid library's list of view classes that users can choose by description ("Plantafel
// View"). A library registers its views when it loads and removes them when it unloads.

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

namespace Grid {

class GridBandedTableView;

class RegisteredViews final {
public:
    using Factory = std::function<GridBandedTableView*(QObject* owner)>;

    // Registering a class name again replaces its entry.
    static void Register(const QString& className, const QString& description, Factory factory);
    static void Unregister(const QString& className);
    static bool Contains(const QString& description);
    static QString ClassOf(const QString& description); // empty when not registered
    static QStringList Descriptions();                  // in registration order
    // A new view of the class registered under description, null for an unknown one.
    static GridBandedTableView* Create(const QString& description, QObject* owner = nullptr);
};

} // namespace Grid

#pragma once
// The ERP's action class: an action that forms put in their action lists. Creatable by its meta
// object, so design tools make one from the class alone.

#include <QAction>

class TVoskAction final : public QAction {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TVoskAction(QObject* owner = nullptr);
};

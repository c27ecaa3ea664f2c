#pragma once
// A component that hears an event of the system data module for its owner: the change of the
// user's administrator state. OnInit runs once the owner is built (Loaded) and OnEvent on every
// change; both run on the GUI thread and never after the listener is gone.

#include <QObject>

#include <functional>

class TVoskCompEventListener final : public QObject {
    Q_OBJECT
public:
    explicit TVoskCompEventListener(QObject* owner = nullptr);

    std::function<void(TVoskCompEventListener* sender)> OnInit;
    std::function<void(TVoskCompEventListener* sender)> OnEvent;

    // The owner is complete: OnInit runs.
    void Loaded();
    // Runs OnEvent as the data module's event does.
    void FireEvent();
};

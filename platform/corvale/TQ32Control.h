#pragma once
// The control handler of a data class: the edit controls that name the class's current record (its
// key controls), in the order the module registered them. It lives as a child of its data class,
// so a module window hands out one list per class and the list dies with the class.

#include <QList>
#include <QObject>
#include <QPointer>
#include <QWidget>

class TVoskClass;

class TQ32Control final : public QObject {
    Q_OBJECT
public:
    explicit TQ32Control(TVoskClass* dataClass);

    // The handler of a data class; null when none was registered.
    static TQ32Control* Of(const TVoskClass* dataClass);
    TVoskClass* VoskClass() const;

    void AddEditControl(QWidget* control);
    // The key controls still alive, in registration order.
    QList<QWidget*> GetEditControlsList() const;

private:
    QList<QPointer<QWidget>> m_controls;
};

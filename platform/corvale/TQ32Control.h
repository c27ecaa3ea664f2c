#pragma once
// Edit-control coordination of the common components: a TQ32Control keeps the edit controls of a
// form or a data class that take part, in the order they were registered, and hears from them when
// one is entered, changed or left. A data class's handler lives as its child, so a module window
// hands out one list of key controls per class and the list dies with the class.

#include <HookSlot.h>

#include <QList>
#include <QObject>
#include <QPointer>

class QWidget;
class TQ32Control;
class TVoskClass;

// An edit control that can join a coordinator.
class IKorvexControl {
public:
    virtual ~IKorvexControl() = default;
    virtual void SetMyControl(TQ32Control* control) = 0;
    virtual TQ32Control* GetMyControl() const = 0;
    virtual void LoadLastValue() = 0;
    virtual void SaveLastValue() = 0;
    virtual bool isModifiedByUser() const = 0;
};

class TQ32Control final : public QObject {
    Q_OBJECT
public:
    explicit TQ32Control(QObject* owner = nullptr);

    // The handler of a data class; null when none was registered.
    static TQ32Control* Of(const TVoskClass* dataClass);
    // The data class this handler belongs to; null for a form's coordinator.
    TVoskClass* VoskClass() const;

    void AddControl(QWidget* control);
    void DeleteControl(QWidget* control);
    // The controls still alive, in registration order.
    QList<QWidget*> Controls() const;
    void AddEditControl(QWidget* control) { AddControl(control); }
    QList<QWidget*> GetEditControlsList() const { return Controls(); }
    // The control the user is in, null between controls.
    QWidget* ActiveControl() const { return m_active; }
    // Whether a registered control changed since the last Reset.
    bool Changed() const { return m_changed; }
    void Reset() { m_changed = false; }

    void Enter(QWidget* control);
    void Change(QWidget* control);
    void Exit(QWidget* control);

    // Whether the control takes part here.
    bool isRegistered(const QWidget* control) const;
    // Puts the focus into the first key control that can take it; false when none could.
    bool MainCtrlFocus();
    // The user leaves the control he is in: its exit runs as if the focus had gone.
    void LeaveEdit();

    // The editing window of the coordinator's special functions. The package that has it fills
    // ControlWindowFactory (owner -> the new window); the start-up of a form makes one per
    // coordinator, owned by its data class when it has one.
    static Rtl::HookSlot<QWidget*(QObject* owner)> ControlWindowFactory;
    QWidget* ControlWindow() const { return m_controlWindow; }
    // Frees the window held before.
    void SetControlWindow(QWidget* window);
    // Makes the window when there is none; without a factory tells the user so.
    void ShowControlWindow();

signals:
    void ControlChanged(QWidget* control);

private:
    QList<QPointer<QWidget>> m_controls;
    QPointer<QWidget> m_active;
    bool m_changed = false;
    QPointer<QWidget> m_controlWindow;
};

namespace Voskdbcontrols {
// Tell the coordinator of an IKorvexControl what happened; controls without one are ignored.
void KorvexChange(QWidget* control);
void KorvexEnter(QWidget* control);
void KorvexExit(QWidget* control);
// Keeps what a control shows as its last value; other controls keep none.
void Korvex_LastValue_Save(QWidget* control);
} // namespace Voskdbcontrols

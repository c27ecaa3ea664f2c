#pragma once
// Edit-control coordination of the common components: a TQ32Control keeps the edit controls of a
// form that take part, and hears from them when one is entered, changed or left, so that the form
// can tell which control the user works in and whether anything was typed.

#include <QList>
#include <QObject>
#include <QPointer>

class QWidget;
class TQ32Control;

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

    void AddControl(QWidget* control);
    void DeleteControl(QWidget* control);
    QList<QWidget*> Controls() const;
    // The control the user is in, null between controls.
    QWidget* ActiveControl() const { return m_active; }
    // Whether a registered control changed since the last Reset.
    bool Changed() const { return m_changed; }
    void Reset() { m_changed = false; }

    void Enter(QWidget* control);
    void Change(QWidget* control);
    void Exit(QWidget* control);

signals:
    void ControlChanged(QWidget* control);

private:
    QList<QPointer<QWidget>> m_controls;
    QPointer<QWidget> m_active;
    bool m_changed = false;
};

namespace Voskdbcontrols {
// Tell the coordinator of an IKorvexControl what happened; controls without one are ignored.
void KorvexChange(QWidget* control);
void KorvexEnter(QWidget* control);
void KorvexExit(QWidget* control);
} // namespace Voskdbcontrols

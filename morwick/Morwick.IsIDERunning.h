#pragma once
// The deferred start of the environment viewer: a timer waits until the IDE shows its main form or
// its splash screen, then gives the splash a taskbar button, registers the wizard and the about
// entry. A dummy component on the main form leaves a "shutting down" taskbar button behind when
// the main form hides or goes.
//
// Taskbar and window-manager calls go through TTaskbar. This system's desktop has no counterpart
// of the progress state, thumbnail tooltip, window styles or iconic attributes, so the default
// records them (for tests and the log) and does nothing else; captions are real.

#include <QObject>
#include <QString>
#include <QStringList>

class QTimer;
class QWidget;
namespace Vcl {
class TForm;
}

namespace Morwick {

class TTaskbar {
public:
    virtual ~TTaskbar() = default;
    virtual void AddExStyles(QWidget* window, quint32 styles);
    virtual void SetProgressIndeterminate(QWidget* window);
    virtual void SetThumbnailTooltip(QWidget* window, const QString& text);
    // The window that stays on the taskbar while the IDE shuts down.
    virtual void ShowShutdownWindow(const QString& caption, const QString& tooltip);

    // What was asked, one line per call.
    const QStringList& Calls() const { return m_calls; }
    void ClearCalls() { m_calls.clear(); }

    static TTaskbar& Instance();

protected:
    QStringList m_calls;
};

// Whether the IDE is far enough up: a main form, or a splash screen (a form of class exactly TForm
// captioned "SplashScreen").
bool IDEIsReady();
// The splash screens' taskbar buttons and the dummy on the main form.
void TaskbarStart();
// The start timer; null once it has fired or before the package loaded.
QTimer* StartTimer();

} // namespace Morwick

class TStartDummy final : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    void TimerEvent();
};

class TDestroyDummy final : public QObject {
    Q_OBJECT
public:
    explicit TDestroyDummy(QObject* owner);
    ~TDestroyDummy() override;
    // The main form's hide handler: frees the dummy once the hide is handled.
    void MainFormHide(QObject* sender);
    // Installs MainFormHide as form's OnHide; taken off again when the dummy goes.
    void MainFormHideHook(Vcl::TForm* form);
    // How many dummies were freed; tests check that each goes exactly once.
    static int FreedCount();

private:
    void BeforeDestruction();
    bool m_hooked = false;
};

#pragma once
// The application object and the deferred work of the forms. TApplication delivers every event
// inside the runtime's guard, so no exception crosses Qt: EAbort ends quietly, anything else goes
// to the client error display with the receiver as sender. Until that display is filled, errors
// are logged and shown in a plain message box through the dialog service.

#include <QApplication>
#include <QTranslator>
#include <QEvent>

#include <functional>

namespace Vcl {

// The application speaks German whatever the machine's locale: Qt's own dialogs and buttons
// ("Abbrechen", "Ja") are translated when Qt's German catalogue is installed.
class TApplication final : public QApplication {
    Q_OBJECT
public:
    TApplication(int& argc, char** argv);
    ~TApplication() override;

    bool notify(QObject* receiver, QEvent* event) override;

private:
    QTranslator m_qtTranslator;
};

// The fallback display that TApplication installs; also usable under a plain QApplication.
void InstallFallbackErrorDisplay();

// Runs call on context's thread after the current event, inside the guard; dropped when context
// is destroyed first. A null context queues on the application object.
void QueueCall(QObject* context, std::function<void()> call);

inline constexpr int WM_USER = 0x0400;

// A window message posted to an object; receivers pick it up in event() or customEvent().
class TMessageEvent final : public QEvent {
public:
    TMessageEvent(int msg, qint64 wparam, qint64 lparam);
    static QEvent::Type EventType(); // registered once per process

    int Msg() const { return m_msg; }
    qint64 WParam() const { return m_wparam; }
    qint64 LParam() const { return m_lparam; }

private:
    int m_msg;
    qint64 m_wparam;
    qint64 m_lparam;
};

// Queues the message for receiver; it is dropped with the receiver.
void PostMessage(QObject* receiver, int msg, qint64 wparam = 0, qint64 lparam = 0);

// Set once the application has begun to end: windows are closing and packages about to unload, so
// work that would start something new (loading a companion package) is left out.
bool ApplicationTerminated();
void SetApplicationTerminated(bool terminated);

} // namespace Vcl

#pragma once
// Notifications of the ERP's server to its clients over PostgreSQL LISTEN/NOTIFY on the channel
// "korvex_notify". The server function korvex_notify(action, user, params) sends the payload
// {"action": ..., "user": ..., "params": {name: value, ...}}. An event reaches every listener of its
// action (case-insensitive) when the event's user is empty or the data module's login; a listener
// without an action hears nothing. A payload that is not of this form is logged and ignored.

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

class TDM1;

class TVoskNotifyListener final : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString Action READ Action WRITE SetAction)
public:
    explicit TVoskNotifyListener(QObject* owner = nullptr);
    ~TVoskNotifyListener() override;

    QString Action() const { return m_action; }
    void SetAction(const QString& action) { m_action = action; }

    // (sender, action, user, "Name=Value" lines)
    std::function<void(QObject*, const QString&, const QString&, const QStringList&)> OnEvent;

    // Listens on dm's current connection; the data module connects it after each connect.
    static void AttachConnection(TDM1* dm);
    // Hands a payload to the listeners as if it had arrived for login; false when it is not ours.
    static bool Dispatch(const QString& payload, const QString& login);
    static constexpr const char* Channel = "korvex_notify";

private:
    QString m_action;
};

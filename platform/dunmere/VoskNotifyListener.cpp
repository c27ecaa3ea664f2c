#include "VoskNotifyListener.h"

#include "UDM1.h"
#include "Uloghelper.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>

#include <libpq-fe.h>

namespace {

QList<QPointer<TVoskNotifyListener>>& listeners() {
    static QList<QPointer<TVoskNotifyListener>> all;
    return all;
}

// Reads what arrived on dm's connection; statements of the data module may have queued
// notifications meanwhile, so the timer drains them too.
void drain(TDM1* dm) {
    if (!dm || !dm->Connected())
        return;
    PGconn* conn = dm->Database().Handle();
    PQconsumeInput(conn);
    while (PGnotify* n = PQnotifies(conn)) {
        const QString payload = QString::fromUtf8(n->extra);
        const bool ours = qstrcmp(n->relname, TVoskNotifyListener::Channel) == 0;
        PQfreemem(n);
        if (ours)
            TVoskNotifyListener::Dispatch(payload, dm->LoginName());
    }
}

} // namespace

TVoskNotifyListener::TVoskNotifyListener(QObject* owner) : QObject(owner) {
    listeners().append(this);
}

TVoskNotifyListener::~TVoskNotifyListener() { listeners().removeAll(this); }

void TVoskNotifyListener::AttachConnection(TDM1* dm) {
    if (!dm || !dm->Connected())
        return;
    // The database layer listens again after it reconnected a lost connection.
    dm->Database().Listen(QLatin1String(Channel));
    // One watcher per connection, gone with the data module or replaced at the next connect.
    for (QObject* old : dm->findChildren<QObject*>(QStringLiteral("NotifyWatcher"),
                                                    Qt::FindDirectChildrenOnly))
        delete old;
    auto* watcher = new QObject(dm);
    watcher->setObjectName(QStringLiteral("NotifyWatcher"));
    QPointer<TDM1> guard(dm);
    const auto watchSocket = [watcher, guard] {
        delete watcher->findChild<QSocketNotifier*>();
        if (!guard || !guard->Connected())
            return;
        auto* socket = new QSocketNotifier(PQsocket(guard->Database().Handle()),
                                           QSocketNotifier::Read, watcher);
        QObject::connect(socket, &QSocketNotifier::activated, watcher, [guard] { drain(guard); });
    };
    watchSocket();
    // A reconnected connection reads from another socket.
    QObject::connect(dm, &TDM1::ConnectionReset, watcher, watchSocket);
    auto* timer = new QTimer(watcher);
    timer->setInterval(500);
    QObject::connect(timer, &QTimer::timeout, watcher, [guard] { drain(guard); });
    timer->start();
}

bool TVoskNotifyListener::Dispatch(const QString& payload, const QString& login) {
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(payload.toUtf8(), &error);
    const QJsonObject obj = doc.object();
    if (error.error != QJsonParseError::NoError || !doc.isObject() ||
        !obj.value(QLatin1String("action")).isString()) {
        TKorvexLog::Warning(QStringLiteral("TVoskNotifyListener: fremde Nachricht ignoriert: ") +
                            payload.left(200));
        return false;
    }
    const QString action = obj.value(QLatin1String("action")).toString();
    const QString user = obj.value(QLatin1String("user")).toString();
    if (!user.isEmpty() && user.compare(login, Qt::CaseInsensitive) != 0)
        return true;
    QStringList params;
    const QJsonObject p = obj.value(QLatin1String("params")).toObject();
    for (auto it = p.constBegin(); it != p.constEnd(); ++it)
        params << it.key() + QLatin1Char('=') + it.value().toVariant().toString();
    // A copy: a handler may free a listener (or show a modal box during which one goes).
    const auto targets = listeners();
    for (const auto& l : targets) {
        if (!l || l->m_action.isEmpty() || l->m_action.compare(action, Qt::CaseInsensitive) != 0)
            continue;
        if (l->OnEvent)
            l->OnEvent(l.data(), action, user, params);
    }
    return true;
}

#include "UFallowbyClient.h"

#include "UDM1.h"

TVoskDM_Fallowby_Client::TVoskDM_Fallowby_Client(QObject* owner) : QObject(owner) {
    setObjectName(QStringLiteral("VoskDM_Fallowby_Client"));
}

TDM1* TVoskDM_Fallowby_Client::Connection() const { return DM1(); }

TDSClientSession& TDSClientSession::Current() {
    static TDSClientSession session;
    return session;
}

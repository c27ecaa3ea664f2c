#include "UFallowbyClient.h"

#include "Dataclient_files.h"
#include "UDM1.h"

TVoskDM_Fallowby_Client::TVoskDM_Fallowby_Client(QObject* owner) : QObject(owner) {
    setObjectName(QStringLiteral("VoskDM_Fallowby_Client"));
}

TDM1* TVoskDM_Fallowby_Client::Connection() const { return DM1(); }

TDCFileMethods& TVoskDM_Fallowby_Client::FileMethods() const { return DCFileMethods(); }

TDSClientSession& TDSClientSession::Current() {
    static TDSClientSession session;
    return session;
}

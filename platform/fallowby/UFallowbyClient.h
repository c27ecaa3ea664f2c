#pragma once
// The data-server client's module and its session. The data server is PostgreSQL itself here, so
// the client module only carries the connection the session's transfers run on: DM1's.

#include <QObject>
#include <QPointer>

class TDM1;
class TDCFileMethods;

class TVoskDM_Fallowby_Client final : public QObject {
    Q_OBJECT
public:
    explicit TVoskDM_Fallowby_Client(QObject* owner = nullptr);
    // The data module whose connection the transfers use; null without one.
    TDM1* Connection() const;
    // The document store on that connection.
    TDCFileMethods& FileMethods() const;
};

// The session of the data-server client; its data module clears itself when destroyed.
class TDSClientSession final {
public:
    static TDSClientSession& Current();
    TVoskDM_Fallowby_Client* DataModule() const { return m_dataModule.data(); }
    void SetDataModule(TVoskDM_Fallowby_Client* module) { m_dataModule = module; }

private:
    QPointer<TVoskDM_Fallowby_Client> m_dataModule;
};

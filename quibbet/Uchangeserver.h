#pragma once
// The connection settings of the IDE: the upper half connects the data module inside the IDE to a
// chosen database and stores that choice under [Login]; the lower half edits the connection the
// ERP uses when a developer starts it from the IDE ([IDE]). Servers are the sections [DB1] to
// [DB100] that carry a Name.

#include "Q32GrundForm.h"

#include <QString>

class QCheckBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class TVoskBaseConfiguration;
class TVoskTimer;

class TFormChangeServer final : public TVoskBaseForm {
    Q_OBJECT
public:
    explicit TFormChangeServer(QObject* owner = nullptr);

    // The login a connection is made with: an empty user name means "root" with the default
    // password, anything else the two edits as typed. Connect and the state check share it.
    struct TLogin {
        QString user;
        QString password;
    };
    static TLogin EffectiveLogin(const QString& user, const QString& password);

    QLineEdit* edIDEServer;
    QPushButton* btIDEServer;
    QLineEdit* edIDEHost;
    QLineEdit* edIDEPort;
    QLineEdit* edIDEDatabase;
    QLineEdit* edIDEUsername;
    QLineEdit* edIDEPassword;
    QPushButton* btIDEReset;
    QPushButton* btIDESave;
    QPushButton* btIDEConnect;
    QPushButton* btIDEDisconnect;
    QLabel* lbIDEConnected;
    QLineEdit* edRUNServer;
    QPushButton* btRUNServer;
    QLineEdit* edRUNHost;
    QLineEdit* edRUNPort;
    QLineEdit* edRUNDatabase;
    QLineEdit* edRUNUsername;
    QLineEdit* edRUNPassword;
    QCheckBox* cbNoCheckUpdates;
    QCheckBox* cbIgnoreMessages;
    QPushButton* btRUNReset;
    QPushButton* btRUNSave;
    TVoskTimer* tiIDEConnected;
    QMenu* pmIDEServer;

    // Handlers, public so that tests run them as the user's actions do.
    void FormShow();
    void btIDEConnectClick();
    void btIDEDisconnectClick();
    void btIDEResetClick();
    void btIDESaveClick();
    void edIDEServerChange();
    void edRUNServerChange();
    void btRUNResetClick();
    void btRUNSaveClick();
    void tiIDEConnectedTimer();
    // Fills pmIDEServer for the drop-down button of one half (btIDEServer or btRUNServer).
    void BuildServerMenu(QPushButton* button);
    void miServerClick(QAction* item);

protected:
    void showEvent(QShowEvent* e) override;
    void keyReleaseEvent(QKeyEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    TVoskBaseConfiguration& Config() const;
    // The Name of section "DB" + n, empty when it has none.
    QString SectionName(int n) const;
    // The number behind the first two characters of a server edit; EConvertError when it is none.
    static int ServerNumber(const QString& edit);
    void fillServer(const QString& serverEdit, QLineEdit* host, QLineEdit* port, QLineEdit* db);
    void btServerClick(QPushButton* button);

    QPushButton* m_menuFor = nullptr;
};

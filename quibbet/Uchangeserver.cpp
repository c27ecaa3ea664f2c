#include "Uchangeserver.h"

#include "UQuibbetModul.h"

#include "EventGuard.h"
#include "Korvexcommonvcl.h"
#include "UDM1.h"
#include "UnitTable.h"
#include "Vcl.Components.h"
#include "VoskBaseConfiguration.h"
#include "VoskExceptions.h"
#include "VoskTimer.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

namespace {
void unitInit() {}
void unitFini() {}

const QString kLogin = QStringLiteral("Login");
const QString kIde = QStringLiteral("IDE");

struct TServerEdits {
    QString host;
    int port;
    QString database;
};

// What the host, port and database edits stand for: empty host "localhost", a port that is no
// number 5432, empty database "KORVEX".
TServerEdits serverOf(const QLineEdit* host, const QLineEdit* port, const QLineEdit* db) {
    bool ok = false;
    const int p = port->text().trimmed().toInt(&ok);
    return {host->text().trimmed().isEmpty() ? QStringLiteral("localhost") : host->text().trimmed(),
            ok ? p : 5432,
            db->text().trimmed().isEmpty() ? QStringLiteral("KORVEX") : db->text().trimmed()};
}
} // namespace

KORVEX_UNIT("quibbet", "Uchangeserver", unitInit, unitFini);

TFormChangeServer::TLogin TFormChangeServer::EffectiveLogin(const QString& user,
                                                            const QString& password) {
    if (user.isEmpty())
        return {QStringLiteral("root"), TQuibbetModul::DefaultPassword()};
    return {user, password};
}

TFormChangeServer::TFormChangeServer(QObject* owner) : TVoskBaseForm(owner) {
    setObjectName(QStringLiteral("FormChangeServer"));
    setWindowTitle(QStringLiteral("Verbindung"));
    SetPosition(Vcl::poScreenCenter);
    setFixedSize(361, 465);

    auto edit = [this](const QString& name, const QString& hint = {}) {
        auto* e = Vcl::Owned(this, new QLineEdit(this), name);
        e->setPlaceholderText(hint);
        return e;
    };
    auto button = [this](const QString& caption, const QString& name, const QString& tip) {
        auto* b = Vcl::Owned(this, new QPushButton(caption, this), name);
        b->setToolTip(tip);
        return b;
    };
    auto* digits = new QRegularExpressionValidator(QRegularExpression(QStringLiteral("\\d*")), this);

    edIDEServer = edit(QStringLiteral("edIDEServer"));
    btIDEServer = button(QStringLiteral("…"), QStringLiteral("btIDEServer"),
                         QStringLiteral("Server aus der Konfiguration wählen"));
    btIDEServer->setAccessibleName(QStringLiteral("Server wählen"));
    edIDEHost = edit(QStringLiteral("edIDEHost"), QStringLiteral("localhost"));
    edIDEPort = edit(QStringLiteral("edIDEPort"), QStringLiteral("5432"));
    edIDEPort->setValidator(digits);
    edIDEDatabase = edit(QStringLiteral("edIDEDatabase"), QStringLiteral("DEVELOP"));
    edIDEUsername = edit(QStringLiteral("edIDEUsername"));
    edIDEPassword = edit(QStringLiteral("edIDEPassword"));
    edIDEPassword->setEchoMode(QLineEdit::Password);
    btIDEReset = button(QStringLiteral("Reset"), QStringLiteral("btIDEReset"),
                        QStringLiteral("Gespeicherte Anmeldung wieder anzeigen"));
    btIDESave = button(QStringLiteral("&Save"), QStringLiteral("btIDESave"),
                       QStringLiteral("Server und Anmeldung der IDE speichern"));
    btIDEConnect = button(QStringLiteral("Connect"), QStringLiteral("btIDEConnect"),
                          QStringLiteral("Mit diesen Angaben verbinden"));
    btIDEDisconnect = button(QStringLiteral("Disconnect"), QStringLiteral("btIDEDisconnect"),
                             QStringLiteral("Verbindung trennen"));
    lbIDEConnected = Vcl::Owned(this, new QLabel(QStringLiteral("Connected"), this),
                                QStringLiteral("lbIDEConnected"));
    QFont bold = lbIDEConnected->font();
    bold.setBold(true);
    lbIDEConnected->setFont(bold);
    lbIDEConnected->setVisible(false);

    edRUNServer = edit(QStringLiteral("edRUNServer"));
    btRUNServer = button(QStringLiteral("…"), QStringLiteral("btRUNServer"),
                         QStringLiteral("Server aus der Konfiguration wählen"));
    btRUNServer->setAccessibleName(QStringLiteral("Server wählen"));
    edRUNHost = edit(QStringLiteral("edRUNHost"));
    edRUNPort = edit(QStringLiteral("edRUNPort"));
    edRUNDatabase = edit(QStringLiteral("edRUNDatabase"), QStringLiteral("KORVEX"));
    for (QLineEdit* e : {edRUNHost, edRUNPort, edRUNDatabase})
        e->setEnabled(false);
    edRUNUsername = edit(QStringLiteral("edRUNUsername"));
    edRUNPassword = edit(QStringLiteral("edRUNPassword"));
    edRUNPassword->setEchoMode(QLineEdit::Password);
    cbNoCheckUpdates = Vcl::Owned(this, new QCheckBox(QStringLiteral("NoCheckUpdates"), this),
                                  QStringLiteral("cbNoCheckUpdates"));
    cbNoCheckUpdates->setToolTip(QStringLiteral("Beim Start nicht nach Updates suchen"));
    cbIgnoreMessages = Vcl::Owned(this, new QCheckBox(QStringLiteral("IgnoreMessages"), this),
                                  QStringLiteral("cbIgnoreMessages"));
    cbIgnoreMessages->setToolTip(QStringLiteral("Meldungen beim Start übergehen"));
    btRUNReset = button(QStringLiteral("Reset"), QStringLiteral("btRUNReset"),
                        QStringLiteral("Gespeicherte Startverbindung wieder anzeigen"));
    btRUNSave = button(QStringLiteral("Save"), QStringLiteral("btRUNSave"),
                       QStringLiteral("Startverbindung speichern"));

    tiIDEConnected = Vcl::Owned(this, new TVoskTimer(this), QStringLiteral("tiIDEConnected"));
    tiIDEConnected->SetInterval(500);
    tiIDEConnected->OnTimer = [this](QObject*) { tiIDEConnectedTimer(); };
    pmIDEServer = Vcl::Owned(this, new QMenu(this), QStringLiteral("pmIDEServer"));

    auto serverRow = [this](QLineEdit* server, QPushButton* drop) {
        auto* row = new QHBoxLayout;
        row->addWidget(server, 1);
        row->addWidget(drop);
        drop->setFixedWidth(28);
        return row;
    };
    auto* layout = new QVBoxLayout(this);
    auto* upper = new QGroupBox(QStringLiteral(" IDE Connection "), this);
    auto* upperForm = new QFormLayout(upper);
    upperForm->addRow(QStringLiteral("Server"), serverRow(edIDEServer, btIDEServer));
    upperForm->addRow(QStringLiteral("Host"), edIDEHost);
    upperForm->addRow(QStringLiteral("Port"), edIDEPort);
    upperForm->addRow(QStringLiteral("Datenbank"), edIDEDatabase);
    upperForm->addRow(QStringLiteral("Benutzer"), edIDEUsername);
    upperForm->addRow(QStringLiteral("Passwort"), edIDEPassword);
    auto* upperButtons = new QHBoxLayout;
    for (QWidget* w : {static_cast<QWidget*>(btIDEReset), static_cast<QWidget*>(btIDESave),
                       static_cast<QWidget*>(btIDEConnect), static_cast<QWidget*>(btIDEDisconnect)})
        upperButtons->addWidget(w);
    upperForm->addRow(upperButtons);
    upperForm->addRow(lbIDEConnected);
    layout->addWidget(upper);

    auto* lower = new QGroupBox(QStringLiteral(" KORVEX Connection by Starting from IDE "), this);
    auto* lowerForm = new QFormLayout(lower);
    lowerForm->addRow(QStringLiteral("Server"), serverRow(edRUNServer, btRUNServer));
    lowerForm->addRow(QStringLiteral("Host"), edRUNHost);
    lowerForm->addRow(QStringLiteral("Port"), edRUNPort);
    lowerForm->addRow(QStringLiteral("Datenbank"), edRUNDatabase);
    lowerForm->addRow(QStringLiteral("Benutzer"), edRUNUsername);
    lowerForm->addRow(QStringLiteral("Passwort"), edRUNPassword);
    auto* checks = new QHBoxLayout;
    checks->addWidget(cbNoCheckUpdates);
    checks->addWidget(cbIgnoreMessages);
    lowerForm->addRow(checks);
    auto* lowerButtons = new QHBoxLayout;
    lowerButtons->addWidget(btRUNReset);
    lowerButtons->addWidget(btRUNSave);
    lowerForm->addRow(lowerButtons);
    layout->addWidget(lower);

    auto guarded = [this](auto member) {
        return [this, member] { Rtl::Guarded([this, member] { (this->*member)(); }, this); };
    };
    connect(btIDEConnect, &QPushButton::clicked, this,
            guarded(&TFormChangeServer::btIDEConnectClick));
    connect(btIDEDisconnect, &QPushButton::clicked, this,
            guarded(&TFormChangeServer::btIDEDisconnectClick));
    connect(btIDEReset, &QPushButton::clicked, this, guarded(&TFormChangeServer::btIDEResetClick));
    connect(btIDESave, &QPushButton::clicked, this, guarded(&TFormChangeServer::btIDESaveClick));
    connect(btRUNReset, &QPushButton::clicked, this, guarded(&TFormChangeServer::btRUNResetClick));
    connect(btRUNSave, &QPushButton::clicked, this, guarded(&TFormChangeServer::btRUNSaveClick));
    connect(edIDEServer, &QLineEdit::textChanged, this,
            guarded(&TFormChangeServer::edIDEServerChange));
    connect(edRUNServer, &QLineEdit::textChanged, this,
            guarded(&TFormChangeServer::edRUNServerChange));
    connect(btIDEServer, &QPushButton::clicked, this,
            [this] { Rtl::Guarded([this] { btServerClick(btIDEServer); }, this); });
    connect(btRUNServer, &QPushButton::clicked, this,
            [this] { Rtl::Guarded([this] { btServerClick(btRUNServer); }, this); });
    connect(pmIDEServer, &QMenu::triggered, this,
            [this](QAction* item) { Rtl::Guarded([this, item] { miServerClick(item); }, this); });

    Korvexcommonvcl::NameControls(this);
}

TVoskBaseConfiguration& TFormChangeServer::Config() const {
    TDM1* dm = DM1();
    if (!dm)
        throw EVoskException(QStringLiteral("Das Datenmodul der IDE fehlt"));
    return dm->Configuration();
}

QString TFormChangeServer::SectionName(int n) const {
    return Config().Read(QStringLiteral("DB%1").arg(n), QStringLiteral("Name"), QString())
        .toString()
        .trimmed();
}

int TFormChangeServer::ServerNumber(const QString& edit) {
    bool ok = false;
    const int n = edit.mid(2).trimmed().toInt(&ok);
    if (!ok)
        throw EConvertError(
            QStringLiteral("'%1' ist kein gültiger Integerwert").arg(edit.mid(2)));
    return n;
}

void TFormChangeServer::showEvent(QShowEvent* e) {
    TVoskBaseForm::showEvent(e);
    Rtl::Guarded([this] { FormShow(); }, this);
}

void TFormChangeServer::FormShow() {
    TDM1* dm = DM1();
    if (dm) {
        const TVoskConnectionParams& p = dm->ConnectionParams();
        edIDEHost->setText(p.host.isEmpty() ? QStringLiteral("localhost") : p.host);
        edIDEPort->setText(QString::number(p.port == 0 ? 5432 : p.port));
        edIDEDatabase->setText(p.database.isEmpty() ? QStringLiteral("KORVEX") : p.database);
        edIDEUsername->setText(p.user);
        edIDEPassword->setText(p.password);
    }
    QString server;
    const QString n = Config().Read(kLogin, QStringLiteral("Server"), QString()).toString().trimmed();
    bool ok = false;
    const int nr = n.toInt(&ok);
    if (ok && !SectionName(nr).isEmpty()) {
        const QString section = QStringLiteral("DB%1").arg(nr);
        const TServerEdits shown = serverOf(edIDEHost, edIDEPort, edIDEDatabase);
        const QString host =
            Config().Read(section, QStringLiteral("HOST"), QStringLiteral("localhost")).toString();
        const int port = Config().Read(section, QStringLiteral("PORT"), 5432).toInt();
        const QString db =
            Config().Read(section, QStringLiteral("DATABASE"), QStringLiteral("KORVEX")).toString();
        if (shown.host == host && shown.port == port && shown.database == db)
            server = section;
    }
    edIDEServer->setText(server);
    btRUNResetClick();
    tiIDEConnectedTimer();
    tiIDEConnected->SetEnabled(true);
}

void TFormChangeServer::btIDEConnectClick() {
    TDM1* dm = DM1();
    if (!dm)
        return;
    try {
        dm->Disconnect();
    } catch (...) {
    }
    const TServerEdits server = serverOf(edIDEHost, edIDEPort, edIDEDatabase);
    const TLogin login = EffectiveLogin(edIDEUsername->text(), edIDEPassword->text());
    TVoskConnectionParams& p = dm->ConnectionParams();
    p.host = server.host;
    p.port = server.port;
    p.database = server.database;
    p.user = login.user;
    p.password = login.password;
    p.sectionName = edIDEServer->text().trimmed();
    try {
        dm->ConnectWithParams();
    } catch (...) {
        try {
            dm->Disconnect();
        } catch (...) {
        }
        tiIDEConnectedTimer();
        throw;
    }
    tiIDEConnectedTimer();
}

void TFormChangeServer::btIDEDisconnectClick() {
    if (DM1())
        DM1()->Disconnect();
    tiIDEConnectedTimer();
}

void TFormChangeServer::btIDEResetClick() {
    const QString server =
        Config().Read(kLogin, QStringLiteral("Server"), QString()).toString().trimmed();
    edIDEServer->setText(server.isEmpty() ? QString() : QStringLiteral("DB") + server);
    const QString user = Config().Read(kLogin, QStringLiteral("Username"), QString()).toString();
    if (!user.isEmpty()) {
        edIDEUsername->setText(user);
        edIDEPassword->setText(
            Config().Read(kLogin, QStringLiteral("Password"), QString()).toString());
    } else {
        edIDEUsername->setText(QStringLiteral("root"));
        edIDEPassword->setText(TQuibbetModul::DefaultPassword());
    }
}

void TFormChangeServer::btIDESaveClick() {
    const QString server = edIDEServer->text().trimmed();
    QString stored;
    if (!server.isEmpty()) {
        const int n = ServerNumber(server);
        if (!SectionName(n).isEmpty())
            stored = QString::number(n);
    }
    Config().Write(kLogin, QStringLiteral("Server"), stored);
    const QString user = edIDEUsername->text();
    const bool plainRoot = user.isEmpty() || user == u"root";
    Config().Write(kLogin, QStringLiteral("Username"), plainRoot ? QString() : user);
    Config().Write(kLogin, QStringLiteral("Password"),
                   plainRoot ? QString() : edIDEPassword->text());
}

void TFormChangeServer::fillServer(const QString& serverEdit, QLineEdit* host, QLineEdit* port,
                                   QLineEdit* db) {
    const QString server = serverEdit.trimmed();
    int n = 0;
    bool named = false;
    if (server.size() > 2) {
        bool ok = false;
        n = server.mid(2).trimmed().toInt(&ok);
        named = ok && !SectionName(n).isEmpty();
    }
    if (!named) {
        host->clear();
        port->clear();
        db->clear();
        return;
    }
    const QString section = QStringLiteral("DB%1").arg(n);
    host->setText(
        Config().Read(section, QStringLiteral("HOST"), QStringLiteral("localhost")).toString());
    port->setText(QString::number(Config().Read(section, QStringLiteral("PORT"), 5432).toInt()));
    db->setText(
        Config().Read(section, QStringLiteral("DATABASE"), QStringLiteral("KORVEX")).toString());
}

void TFormChangeServer::edIDEServerChange() {
    const bool free = edIDEServer->text().trimmed().isEmpty();
    for (QLineEdit* e : {edIDEHost, edIDEPort, edIDEDatabase})
        e->setEnabled(free);
    fillServer(edIDEServer->text(), edIDEHost, edIDEPort, edIDEDatabase);
}

void TFormChangeServer::edRUNServerChange() {
    fillServer(edRUNServer->text(), edRUNHost, edRUNPort, edRUNDatabase);
    const bool login = !edRUNHost->text().isEmpty();
    edRUNUsername->setEnabled(login);
    edRUNPassword->setEnabled(login);
}

void TFormChangeServer::btRUNResetClick() {
    const QString server =
        Config().Read(kIde, QStringLiteral("Server"), QString()).toString().trimmed();
    edRUNServer->setText(server.isEmpty() ? QString() : QStringLiteral("DB") + server);
    edRUNServerChange();
    const QString user = Config().Read(kIde, QStringLiteral("Username"), QString()).toString();
    if (!user.isEmpty()) {
        edRUNUsername->setText(user);
        edRUNPassword->setText(
            Config().Read(kIde, QStringLiteral("Password"), QString()).toString());
    } else {
        edRUNUsername->clear();
        edRUNPassword->clear();
    }
    if (server.isEmpty() && user.isEmpty()) {
        cbNoCheckUpdates->setChecked(false);
        cbIgnoreMessages->setChecked(false);
    } else {
        cbNoCheckUpdates->setChecked(
            Config().Read(kIde, QStringLiteral("NoCheckUpdates"), QString()).toString() == u"T");
        cbIgnoreMessages->setChecked(
            Config().Read(kIde, QStringLiteral("IgnoreMessages"), QString()).toString() == u"T");
    }
}

void TFormChangeServer::btRUNSaveClick() {
    const QString server = edRUNServer->text().trimmed();
    QString stored;
    if (!server.isEmpty()) {
        const int n = ServerNumber(server);
        if (!SectionName(n).isEmpty())
            stored = QString::number(n);
    }
    Config().Write(kIde, QStringLiteral("Server"), stored);
    Config().Write(kIde, QStringLiteral("Username"),
                   edRUNUsername->isEnabled() ? edRUNUsername->text() : QString());
    Config().Write(kIde, QStringLiteral("Password"),
                   edRUNPassword->isEnabled() ? edRUNPassword->text() : QString());
    Config().Write(kIde, QStringLiteral("NoCheckUpdates"),
                   cbNoCheckUpdates->isChecked() ? QStringLiteral("T") : QString());
    Config().Write(kIde, QStringLiteral("IgnoreMessages"),
                   cbIgnoreMessages->isChecked() ? QStringLiteral("T") : QString());
}

void TFormChangeServer::tiIDEConnectedTimer() {
    TDM1* dm = DM1();
    bool connected = false;
    try {
        connected = dm && dm->Connected();
    } catch (...) {
        connected = false;
    }
    lbIDEConnected->setVisible(connected);
    btIDEDisconnect->setEnabled(connected);
    bool same = false;
    if (connected) {
        const TVoskConnectionParams& p = dm->ConnectionParams();
        const TServerEdits server = serverOf(edIDEHost, edIDEPort, edIDEDatabase);
        const TLogin login = EffectiveLogin(edIDEUsername->text(), edIDEPassword->text());
        same = p.host == server.host && p.port == server.port && p.database == server.database &&
               p.user == login.user && p.password == login.password;
    }
    btIDEConnect->setEnabled(!same);
}

void TFormChangeServer::BuildServerMenu(QPushButton* button) {
    m_menuFor = button;
    pmIDEServer->clear();
    QAction* first = pmIDEServer->addAction(
        button == btIDEServer ? QStringLiteral("Standardconnection oder zu anderer DB verbinden")
                              : QStringLiteral("kein Autologin"));
    first->setData(0);
    for (int n = 1; n <= 100; ++n) {
        const QString name = SectionName(n);
        if (name.isEmpty())
            continue;
        QAction* item = pmIDEServer->addAction(QStringLiteral("DB%1 = %2").arg(n).arg(name));
        item->setData(n);
    }
}

void TFormChangeServer::btServerClick(QPushButton* button) {
    BuildServerMenu(button);
    QLineEdit* edit = button == btIDEServer ? edIDEServer : edRUNServer;
    pmIDEServer->popup(edit->mapToGlobal(QPoint(0, button->height() + 2)));
}

void TFormChangeServer::miServerClick(QAction* item) {
    const int tag = item->data().toInt();
    QLineEdit* edit = m_menuFor == btRUNServer ? edRUNServer : edIDEServer;
    edit->setText(tag == 0 ? QString() : QStringLiteral("DB%1").arg(tag));
    if (edit == edIDEServer && edIDEServer->text().isEmpty())
        edIDEHost->setFocus();
}

void TFormChangeServer::keyReleaseEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_S && e->modifiers() == Qt::ControlModifier) {
        e->accept();
        Rtl::Guarded(
            [this] {
                btIDESaveClick();
                btRUNSaveClick();
                Close();
            },
            this);
        return;
    }
    if (e->key() == Qt::Key_Escape && e->modifiers() == Qt::NoModifier) {
        e->accept();
        Close();
        return;
    }
    TVoskBaseForm::keyReleaseEvent(e);
}

void TFormChangeServer::keyPressEvent(QKeyEvent* e) {
    // Both keys act when released; the press must not reach a button or the dialog default.
    if ((e->key() == Qt::Key_S && e->modifiers() == Qt::ControlModifier) ||
        (e->key() == Qt::Key_Escape && e->modifiers() == Qt::NoModifier)) {
        e->accept();
        return;
    }
    TVoskBaseForm::keyPressEvent(e);
}

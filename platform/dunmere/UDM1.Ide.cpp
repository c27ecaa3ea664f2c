// The data module as the IDE starts it: connection parameters, the configuration file, reloads.
#include "UDM1.h"

#include "VoskBaseConfiguration.h"
#include "VoskNotifyListener.h"

#include <QSet>

Rtl::HookSlot<void(const QString&)> TDM1::ScreenWarningProc;

struct TDM1IdeState {
    TVoskConnectionParams params;
    std::shared_ptr<TVoskBaseConfiguration> configuration;
    QHash<QString, QString> aliases; // "table.field" in lower case -> alias
    QSet<int> aliasTextNos;          // text numbers the aliases were translated with
};

namespace {

TDM1IdeState& state(std::shared_ptr<TDM1IdeState>& ide) {
    if (!ide)
        ide = std::make_shared<TDM1IdeState>();
    return *ide;
}

// A conninfo value in single quotes, so blanks and quotes in a password stay one value.
QString quoted(const QString& value) {
    QString v = value;
    v.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    v.replace(QLatin1Char('\''), QLatin1String("\\'"));
    return QLatin1Char('\'') + v + QLatin1Char('\'');
}

} // namespace

TDM1* TDM1::ModulInitialize(QObject* owner) { return new TDM1(owner, true); }

TVoskConnectionParams& TDM1::ConnectionParams() { return state(m_ide).params; }

void TDM1::ConnectWithParams() {
    const TVoskConnectionParams& p = ConnectionParams();
    QStringList parts;
    parts << QStringLiteral("host=") + quoted(p.host)
          << QStringLiteral("port=") + QString::number(p.port)
          << QStringLiteral("dbname=") + quoted(p.database)
          << QStringLiteral("connect_timeout=10");
    if (!p.user.isEmpty())
        parts << QStringLiteral("user=") + quoted(p.user);
    if (!p.password.isEmpty())
        parts << QStringLiteral("password=") + quoted(p.password);
    if (!p.applicationName.isEmpty())
        parts << QStringLiteral("application_name=") + quoted(p.applicationName);
    if (p.plainProtocol)
        parts << QStringLiteral("sslmode=disable gssencmode=disable");
    Connect(parts.join(QLatin1Char(' ')));
    TVoskNotifyListener::AttachConnection(this);
}

TVoskBaseConfiguration& TDM1::Configuration() {
    auto& s = state(m_ide);
    if (!s.configuration)
        s.configuration = std::make_shared<TVoskBaseConfiguration>();
    return *s.configuration;
}

void TDM1::SetConfiguration(std::shared_ptr<TVoskBaseConfiguration> configuration) {
    state(m_ide).configuration = std::move(configuration);
}

void TDM1::ReloadTextX() {
    ClearTextCache();
    if (Connected())
        LoadTextCache();
}

void TDM1::ReloadFieldAlias() {
    m_aliasesLoaded = false; // GetFieldAlias reads tablefieldinfo again
    auto& aliases = state(m_ide).aliases;
    aliases.clear();
    state(m_ide).aliasTextNos.clear();
    if (!Connected())
        return;
    TVoskQuery2 q(&m_db, QStringLiteral("SELECT fa_table, fa_field, fa_alias, fa_textno "
                                        "FROM fieldalias"));
    q.Open();
    for (; !q.Eof(); q.Next()) {
        QString alias = q.Fields(2).AsString();
        if (const int nr = q.Fields(3).AsInteger(); nr > 0) {
            alias = makeText(nr, alias);
            state(m_ide).aliasTextNos.insert(nr);
        }
        aliases.insert((q.Fields(0).AsString() + QLatin1Char('.') + q.Fields(1).AsString()).toLower(),
                       alias);
    }
}

bool TDM1::FieldAliasUsesText(int nr) const { return m_ide && m_ide->aliasTextNos.contains(nr); }

QString TDM1::FieldAlias(const QString& table, const QString& field) const {
    if (!m_ide)
        return {};
    return m_ide->aliases.value((table + QLatin1Char('.') + field).toLower());
}

void TDM1::ScreenRaiseWarning(const QString& text) {
    TKorvexLog::Warning(text);
    ScreenWarningProc(text);
}

#pragma once
// One libpq connection of the database layer, its transactions, named SQL and the error class that
// carries what the server said.

#include "VoskTableInfo.h"

#include <VoskExceptions.h>

#include <QHash>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <libpq-fe.h>

#include <functional>
#include <memory>

// The fields of a server error that name what failed (libpq's PG_DIAG_* fields).
struct TPgDiagnostics {
    QString detail;
    QString column;
    QString constraint;
    QString table;
};

// A failed connection or statement. Message() is the German text for the user; the parts the server
// sent are kept apart for handlers and logs. Position() is 1-based in Sql() (0 when unknown).
// A translated error (Translated()) carries a sentence for the user alone as Message(), and the
// server's words only in Details().
class EVoskDatabaseError : public EVoskException {
public:
    explicit EVoskDatabaseError(const QString& message, const QString& serverMessage = {},
                                const QString& sqlState = {}, int position = 0,
                                const QString& sql = {});
    // The user's sentence in place of the technical one; everything the server said is kept.
    static EVoskDatabaseError Translated(const QString& sentence, const EVoskDatabaseError& from);

    const TPgDiagnostics& Diagnostics() const noexcept { return m_diag; }
    void SetDiagnostics(const TPgDiagnostics& diag) { m_diag = diag; }
    bool IsTranslated() const noexcept { return m_translated; }
    // What the server said, with its SQLSTATE: the text for a details box.
    QString Details() const;

    const QString& ServerMessage() const noexcept { return m_serverMessage; }
    const QString& SqlState() const noexcept { return m_sqlState; }
    int Position() const noexcept { return m_position; }
    const QString& Sql() const noexcept { return m_sql; }
    const char* ClassName() const noexcept override { return "EVoskDatabaseError"; }

private:
    QString m_serverMessage;
    QString m_sqlState;
    int m_position = 0;
    QString m_sql;
    TPgDiagnostics m_diag;
    bool m_translated = false;
};

class TVoskDatabase final {
public:
    TVoskDatabase() = default;
    ~TVoskDatabase();
    TVoskDatabase(const TVoskDatabase&) = delete;
    TVoskDatabase& operator=(const TVoskDatabase&) = delete;

    // Empty conninfo: the libpq environment (PGHOST, PGDATABASE, ...). Otherwise "key=value ..." or
    // a postgresql:// URI. Throws EVoskDatabaseError naming the connection that was tried.
    void Connect(const QString& conninfo = {});
    void Disconnect();
    bool Connected() const;
    PGconn* Handle() const { return m_conn; }
    QString DatabaseName() const;
    QString UserName() const; // the database role
    // The ERP login this connection announced to the server (korvex.login); the database role
    // until one is announced. Code that works on a connection of its own (another user's) asks
    // here, not the global data module.
    QString LoginName() const { return m_login.isEmpty() ? UserName() : m_login; }
    void SetLoginName(const QString& login) { m_login = login; }
    // "host=... port=... dbname=... user=..." of this connection, without the password.
    QString ConnectionDescription() const;

    // Statements with positional $n parameters, for the layer's own short work.
    int Exec(const QString& sql, const QVariantList& params = {});

    // A connection lost outside a transaction is opened again (PQreset) when a statement finds
    // it so, and the statement is sent once more; inside one the transaction fails and the next
    // statement after its end reconnects. What the session announced is announced again:
    // settings (set_config, session-wide) and LISTEN channels. AfterReset runs after that.
    void SetSessionSetting(const QString& name, const QString& value);
    void Listen(const QString& channel);
    // Whether a statement can be sent now; reconnects a lost connection outside a transaction.
    bool Revive();
    std::function<void()> AfterReset;

    void StartTransaction();
    void Commit();
    void Rollback();
    bool InTransaction() const;

    // Named SQL by key from table standardsql, cached per connection.
    QString StandardSQL_Get(const QString& key);
    bool StandardSQL_Exists(const QString& key);
    void ClearSqlCache() { m_sqlCache.clear(); }

    // The catalogue's description of a table (as written in SQL, schema allowed), read once per
    // connection; a cached entry that does not match the result read is read again. A table that
    // does not exist gives an entry without columns. ForgetTableInfo drops the entries of a table
    // (by its name with or without schema), or all of them for an empty name.
    std::shared_ptr<const TVoskTableInfo> TableInfo(const QString& table,
                                                    const PGresult* read = nullptr);
    void ForgetTableInfo(const QString& table = {});

    // Runs sql as a statement the server parsed and planned once for this connection (prepared
    // on first use, with these parameter types); for statements run again and again. A prepared
    // statement that a changed table made stale is prepared anew once, outside a transaction.
    PGresult* ExecPrepared(const QByteArray& sql, int count, const Oid* types,
                           const char* const* values, const int* lengths, const int* formats,
                           const QString& context = {});

    // Round trips sent on this connection, for tests and benchmarks that count queries.
    qint64 RoundTrips() const { return m_roundTrips; }
    void CountRoundTrip() { ++m_roundTrips; }

    // Throws the error of a failed result (and clears it); passes a good one through.
    PGresult* Check(PGresult* res, const QByteArray& sql, const QString& context = {});

    // Whether res failed on a connection lost while no transaction was open (wasIdle: sent
    // outside one) and the connection could be opened again: the caller sends once more.
    bool ResendAfterReset(PGresult* res, bool wasIdle);
    bool Idle() const;

private:
    bool reset();
    PGconn* m_conn = nullptr;
    bool m_ownTransaction = false;
    bool m_resetting = false;
    QList<QPair<QString, QString>> m_sessionSettings;
    QStringList m_listening;
    QHash<QString, QString> m_sqlCache;
    QHash<QString, QList<std::shared_ptr<const TVoskTableInfo>>> m_tableInfo;
    qint64 m_roundTrips = 0;
    QString m_login;
    QHash<QByteArray, QByteArray> m_prepared; // SQL and parameter types -> statement name
    int m_preparedSerial = 0;
};

namespace Dunmere {
// Connection description of any PGconn, for messages; never includes the password.
QString DescribeConnection(PGconn* conn);
// Text form of a bound value as PostgreSQL reads it; false for null. oid is the type to announce.
bool ParamText(const QVariant& value, QByteArray& text, Oid& oid, int& format);
} // namespace Dunmere

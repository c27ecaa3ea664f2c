#include "VoskDatabase.h"

#include <QDate>
#include <QDateTime>
#include <QTime>

#include <cmath>
#include <vector>

namespace {

QString fromPg(const char* s) { return s ? QString::fromUtf8(s).trimmed() : QString(); }

QString composeMessage(const QString& message, const QString& server, const QString& state,
                       int position) {
    QString text = message;
    if (!server.isEmpty())
        text += QStringLiteral(": ") + server;
    if (!state.isEmpty())
        text += QStringLiteral(" (SQLSTATE %1)").arg(state);
    if (position > 0)
        text += QStringLiteral(", Position %1").arg(position);
    return text;
}

// Oids of the built-in types we announce for bound values.
constexpr Oid kBool = 16, kBytea = 17, kInt8 = 20, kInt4 = 23, kFloat8 = 701, kDate = 1082,
              kTime = 1083, kTimestamp = 1114;

} // namespace

EVoskDatabaseError::EVoskDatabaseError(const QString& message, const QString& serverMessage,
                                       const QString& sqlState, int position, const QString& sql)
    : EVoskException(composeMessage(message, serverMessage, sqlState, position)),
      m_serverMessage(serverMessage), m_sqlState(sqlState), m_position(position), m_sql(sql) {}

EVoskDatabaseError EVoskDatabaseError::Translated(const QString& sentence,
                                                  const EVoskDatabaseError& from) {
    EVoskDatabaseError e(from);
    e.setMessage(sentence);
    e.m_translated = true;
    return e;
}

QString EVoskDatabaseError::Details() const {
    return composeMessage(QString(), m_serverMessage, m_sqlState, m_position).mid(
        m_serverMessage.isEmpty() ? 0 : 2);
}

namespace Dunmere {

QString DescribeConnection(PGconn* conn) {
    if (!conn)
        return QStringLiteral("(keine)");
    QStringList parts;
    PQconninfoOption* opts = PQconninfo(conn);
    for (const char* key : {"host", "hostaddr", "port", "dbname", "user"}) {
        for (PQconninfoOption* o = opts; o && o->keyword; ++o) {
            if (qstrcmp(o->keyword, key) == 0 && o->val && *o->val)
                parts << QStringLiteral("%1=%2").arg(QLatin1String(key), QString::fromUtf8(o->val));
        }
    }
    PQconninfoFree(opts);
    return parts.join(u' ');
}

bool ParamText(const QVariant& value, QByteArray& text, Oid& oid, int& format) {
    format = 0;
    oid = 0;
    if (value.isNull())
        return false;
    switch (value.typeId()) {
    case QMetaType::Bool:
        oid = kBool;
        text = value.toBool() ? "t" : "f";
        break;
    case QMetaType::Int:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
        oid = kInt4;
        text.setNum(value.toInt());
        break;
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::Long:
        oid = kInt8;
        text.setNum(value.toLongLong());
        break;
    case QMetaType::ULongLong:
    case QMetaType::ULong:
        oid = kInt8;
        text.setNum(value.toULongLong());
        break;
    case QMetaType::Double:
    case QMetaType::Float: {
        oid = kFloat8;
        const double d = value.toDouble();
        if (std::isnan(d))
            text = "NaN";
        else if (std::isinf(d))
            text = d > 0 ? "Infinity" : "-Infinity";
        else
            text.setNum(d, 'g', 17);
        break;
    }
    case QMetaType::QDate:
        oid = kDate;
        text = value.toDate().toString(Qt::ISODate).toLatin1();
        break;
    case QMetaType::QTime:
        oid = kTime;
        text = value.toTime().toString(QStringLiteral("HH:mm:ss.zzz")).toLatin1();
        break;
    case QMetaType::QDateTime:
        // Our timestamps carry no zone: the local wall time is what the ERP stores.
        oid = kTimestamp;
        text = value.toDateTime().toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"))
                   .toLatin1();
        break;
    case QMetaType::QByteArray:
        oid = kBytea;
        format = 1;
        text = value.toByteArray();
        break;
    default:
        // Text stays untyped so that the server infers the type from the context, as for a literal.
        text = value.toString().toUtf8();
        break;
    }
    return true;
}

} // namespace Dunmere

TVoskDatabase::~TVoskDatabase() { Disconnect(); }

void TVoskDatabase::Connect(const QString& conninfo) {
    Disconnect();
    const QByteArray info = conninfo.toUtf8();
    PGconn* c = PQconnectdb(info.constData());
    if (!c)
        throw EVoskDatabaseError(QStringLiteral("Keine Verbindung zur Datenbank möglich (kein "
                                                "Speicher für die Verbindung)"));
    if (PQstatus(c) != CONNECTION_OK) {
        const QString server = fromPg(PQerrorMessage(c));
        QString tried = Dunmere::DescribeConnection(c);
        if (!conninfo.isEmpty() && conninfo.startsWith(QLatin1String("postgres")))
            tried = conninfo.section(u'@', -1); // the URI without user and password
        PQfinish(c);
        throw EVoskDatabaseError(
            QStringLiteral("Keine Verbindung zur Datenbank möglich (%1)")
                .arg(tried.isEmpty() ? QStringLiteral("libpq-Umgebung") : tried),
            server, QStringLiteral("08001"));
    }
    PQsetClientEncoding(c, "UTF8");
    m_conn = c;
    // Field conversion reads ISO dates; full float precision keeps doubles exact.
    Exec(QStringLiteral("SET DateStyle = ISO, YMD; SET extra_float_digits = 3"));
}

void TVoskDatabase::SetSessionSetting(const QString& name, const QString& value) {
    Exec(QStringLiteral("SELECT set_config($1, $2, false)"), {name, value});
    for (auto& s : m_sessionSettings)
        if (s.first == name) {
            s.second = value;
            return;
        }
    m_sessionSettings.append({name, value});
}

void TVoskDatabase::Listen(const QString& channel) {
    QString quoted = channel;
    quoted.replace(u'"', QStringLiteral("\"\""));
    Exec(QStringLiteral("LISTEN \"%1\"").arg(quoted));
    if (!m_listening.contains(channel))
        m_listening.append(channel);
}

bool TVoskDatabase::Idle() const {
    return m_conn && !m_ownTransaction && PQtransactionStatus(m_conn) == PQTRANS_IDLE;
}

bool TVoskDatabase::reset() {
    if (!m_conn || m_ownTransaction || PQstatus(m_conn) != CONNECTION_BAD)
        return false;
    if (m_resetting)
        return false;
    PQreset(m_conn);
    if (PQstatus(m_conn) != CONNECTION_OK)
        return false;
    m_resetting = true;
    // The new server process knows no statement of the old one.
    m_prepared.clear();
    PQsetClientEncoding(m_conn, "UTF8");
    try {
        Exec(QStringLiteral("SET DateStyle = ISO, YMD; SET extra_float_digits = 3"));
        for (const auto& s : std::as_const(m_sessionSettings))
            Exec(QStringLiteral("SELECT set_config($1, $2, false)"), {s.first, s.second});
        for (const QString& channel : std::as_const(m_listening)) {
            QString quoted = channel;
            quoted.replace(u'"', QStringLiteral("\"\""));
            Exec(QStringLiteral("LISTEN \"%1\"").arg(quoted));
        }
    } catch (const EVoskDatabaseError&) {
        m_resetting = false;
        return false;
    }
    m_resetting = false;
    if (AfterReset)
        AfterReset();
    return true;
}

bool TVoskDatabase::Revive() {
    if (!m_conn)
        return false;
    if (PQstatus(m_conn) == CONNECTION_OK)
        return true;
    return reset();
}

bool TVoskDatabase::ResendAfterReset(PGresult* res, bool wasIdle) {
    if (!wasIdle || !m_conn || PQstatus(m_conn) != CONNECTION_BAD)
        return false;
    if (res && PQresultStatus(res) != PGRES_FATAL_ERROR)
        return false;
    if (res)
        PQclear(res);
    return reset();
}

void TVoskDatabase::Disconnect() {
    if (m_conn)
        PQfinish(m_conn);
    m_conn = nullptr;
    m_sqlCache.clear();
    m_tableInfo.clear();
    m_prepared.clear();
    m_login.clear();
}

bool TVoskDatabase::Connected() const { return m_conn && PQstatus(m_conn) == CONNECTION_OK; }

QString TVoskDatabase::DatabaseName() const { return m_conn ? fromPg(PQdb(m_conn)) : QString(); }

QString TVoskDatabase::UserName() const { return m_conn ? fromPg(PQuser(m_conn)) : QString(); }

QString TVoskDatabase::ConnectionDescription() const { return Dunmere::DescribeConnection(m_conn); }

PGresult* TVoskDatabase::Check(PGresult* res, const QByteArray& sql, const QString& context) {
    const ExecStatusType st = res ? PQresultStatus(res) : PGRES_FATAL_ERROR;
    if (st == PGRES_COMMAND_OK || st == PGRES_TUPLES_OK || st == PGRES_SINGLE_TUPLE ||
        st == PGRES_EMPTY_QUERY)
        return res;
    QString server;
    QString state;
    int pos = 0;
    TPgDiagnostics diag;
    if (res) {
        diag.detail = fromPg(PQresultErrorField(res, PG_DIAG_MESSAGE_DETAIL));
        diag.column = fromPg(PQresultErrorField(res, PG_DIAG_COLUMN_NAME));
        diag.constraint = fromPg(PQresultErrorField(res, PG_DIAG_CONSTRAINT_NAME));
        diag.table = fromPg(PQresultErrorField(res, PG_DIAG_TABLE_NAME));
        server = fromPg(PQresultErrorField(res, PG_DIAG_MESSAGE_PRIMARY));
        const QString detail = fromPg(PQresultErrorField(res, PG_DIAG_MESSAGE_DETAIL));
        if (!detail.isEmpty())
            server += QStringLiteral(" (") + detail + u')';
        state = fromPg(PQresultErrorField(res, PG_DIAG_SQLSTATE));
        pos = fromPg(PQresultErrorField(res, PG_DIAG_STATEMENT_POSITION)).toInt();
        PQclear(res);
    }
    if (server.isEmpty())
        server = fromPg(PQerrorMessage(m_conn));
    QString msg = QStringLiteral("Fehler bei der Ausführung der SQL-Anweisung");
    if (!context.isEmpty())
        msg += u' ' + context;
    EVoskDatabaseError e(msg, server, state, pos, QString::fromUtf8(sql));
    e.SetDiagnostics(diag);
    throw e;
}

int TVoskDatabase::Exec(const QString& sql, const QVariantList& params) {
    if (!Revive())
        throw EVoskDatabaseError(QStringLiteral("Keine Datenbankverbindung"));
    const QByteArray text = sql.toUtf8();
    const int n = int(params.size());
    std::vector<QByteArray> bufs(n);
    std::vector<const char*> values(n);
    std::vector<int> lengths(n), formats(n);
    std::vector<Oid> types(n);
    for (int i = 0; i < n; ++i) {
        if (Dunmere::ParamText(params.at(i), bufs[i], types[i], formats[i])) {
            values[i] = bufs[i].constData();
            lengths[i] = int(bufs[i].size());
        }
    }
    PGresult* res = nullptr;
    for (int attempt = 0;; ++attempt) {
        const bool idle = Idle();
        ++m_roundTrips;
        res = n == 0 ? PQexec(m_conn, text.constData())
                     : PQexecParams(m_conn, text.constData(), n, types.data(), values.data(),
                                    lengths.data(), formats.data(), 0);
        if (attempt > 0 || !ResendAfterReset(res, idle))
            break;
    }
    res = Check(res, text);
    const int affected = QByteArray(PQcmdTuples(res)).toInt();
    PQclear(res);
    return affected;
}

PGresult* TVoskDatabase::ExecPrepared(const QByteArray& sql, int count, const Oid* types,
                                      const char* const* values, const int* lengths,
                                      const int* formats, const QString& context) {
    if (!Revive())
        throw EVoskDatabaseError(QStringLiteral("Keine Datenbankverbindung"));
    QByteArray key = sql;
    key.append('\0').append(reinterpret_cast<const char*>(types),
                            qsizetype(sizeof(Oid)) * count);
    for (int attempt = 0;; ++attempt) {
        QByteArray name = m_prepared.value(key);
        const bool idle = Idle();
        if (name.isEmpty()) {
            name = "korvex_stmt_" + QByteArray::number(++m_preparedSerial);
            ++m_roundTrips;
            PGresult* prepared = PQprepare(m_conn, name.constData(), sql.constData(), count, types);
            if (attempt == 0 && ResendAfterReset(prepared, idle))
                continue;
            PQclear(Check(prepared, sql, context));
            m_prepared.insert(key, name);
        }
        ++m_roundTrips;
        PGresult* res = PQexecPrepared(m_conn, name.constData(), count, values, lengths, formats, 0);
        if (attempt == 0 && ResendAfterReset(res, idle))
            continue;
        // A table changed since the statement was prepared: its result type may be other now.
        if (attempt == 0 && PQresultStatus(res) == PGRES_FATAL_ERROR &&
            qstrcmp(PQresultErrorField(res, PG_DIAG_SQLSTATE), "0A000") == 0 &&
            PQtransactionStatus(m_conn) == PQTRANS_IDLE) {
            PQclear(res);
            m_prepared.remove(key);
            Exec(QStringLiteral("DEALLOCATE ") + QString::fromLatin1(name));
            continue;
        }
        return Check(res, sql, context);
    }
}

void TVoskDatabase::StartTransaction() {
    if (InTransaction())
        throw EVoskDatabaseError(QStringLiteral("Es läuft bereits eine Transaktion"));
    Exec(QStringLiteral("BEGIN"));
    m_ownTransaction = true;
}

void TVoskDatabase::Commit() {
    m_ownTransaction = false;
    if (!m_conn)
        throw EVoskDatabaseError(QStringLiteral("Keine Datenbankverbindung"));
    ++m_roundTrips;
    PGresult* res = Check(PQexec(m_conn, "COMMIT"), "COMMIT");
    // The server answers a COMMIT of a failed transaction with ROLLBACK: the work is gone.
    const bool rolledBack = qstrcmp(PQcmdStatus(res), "ROLLBACK") == 0;
    PQclear(res);
    if (rolledBack)
        throw EVoskDatabaseError(QStringLiteral("Die Transaktion wurde wegen eines früheren Fehlers "
                                                "zurückgesetzt"));
}

void TVoskDatabase::Rollback() {
    m_ownTransaction = false;
    if (!m_conn)
        return;
    // The transaction went with a lost connection; the next one reconnects.
    if (PQstatus(m_conn) != CONNECTION_OK)
        return;
    if (PQtransactionStatus(m_conn) != PQTRANS_IDLE)
        Exec(QStringLiteral("ROLLBACK"));
}

bool TVoskDatabase::InTransaction() const {
    if (!m_conn)
        return false;
    const auto st = PQtransactionStatus(m_conn);
    return st == PQTRANS_INTRANS || st == PQTRANS_INERROR || st == PQTRANS_ACTIVE;
}

QString TVoskDatabase::StandardSQL_Get(const QString& key) {
    if (const auto it = m_sqlCache.constFind(key); it != m_sqlCache.constEnd())
        return *it;
    if (!Revive())
        throw EVoskDatabaseError(QStringLiteral("Keine Datenbankverbindung"));
    static const QByteArray sql = "SELECT ss_sql FROM standardsql WHERE ss_key = $1";
    const QByteArray k = key.toUtf8();
    const char* values[1] = {k.constData()};
    PGresult* sent = nullptr;
    for (int attempt = 0;; ++attempt) {
        const bool idle = Idle();
        ++m_roundTrips;
        sent = PQexecParams(m_conn, sql.constData(), 1, nullptr, values, nullptr, nullptr, 0);
        if (attempt > 0 || !ResendAfterReset(sent, idle))
            break;
    }
    PGresult* res = Check(sent, sql, QStringLiteral("(benannte SQL \"%1\")").arg(key));
    const bool found = PQntuples(res) > 0;
    const QString text = found ? QString::fromUtf8(PQgetvalue(res, 0, 0)) : QString();
    PQclear(res);
    if (!found)
        throw EVoskDatabaseError(
            QStringLiteral("Die benannte SQL \"%1\" ist nicht vorhanden").arg(key));
    m_sqlCache.insert(key, text);
    return text;
}

bool TVoskDatabase::StandardSQL_Exists(const QString& key) {
    try {
        StandardSQL_Get(key);
        return true;
    } catch (const EVoskDatabaseError& e) {
        if (!e.SqlState().isEmpty())
            throw;
        return false;
    }
}

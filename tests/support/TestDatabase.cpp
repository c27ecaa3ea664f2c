#include "TestDatabase.h"

#include <QByteArray>
#include <QCoreApplication>

#include <atomic>
#include <stdexcept>
#include <unistd.h>

namespace testsupport {

namespace {
PGconn* connectTo(const QString& db) {
    const QByteArray info = "dbname=" + db.toUtf8();
    PGconn* c = PQconnectdb(info.constData());
    if (PQstatus(c) != CONNECTION_OK) {
        const std::string msg = PQerrorMessage(c);
        PQfinish(c);
        throw std::runtime_error("test database: " + msg);
    }
    return c;
}
void run(PGconn* c, const QString& sql) {
    PGresult* r = PQexec(c, sql.toUtf8().constData());
    const auto st = PQresultStatus(r);
    std::string err = PQresultErrorMessage(r);
    PQclear(r);
    if (st != PGRES_COMMAND_OK && st != PGRES_TUPLES_OK)
        throw std::runtime_error("test database: " + err);
}
} // namespace

QString TestDatabase::Create() {
    static std::atomic<int> serial{0};
    const QString name = QStringLiteral("t_%1_%2").arg(getpid()).arg(serial++);
    const QString tmpl = qEnvironmentVariable("KORVEX_TEST_TEMPLATE", QStringLiteral("korvex_template"));
    PGconn* c = connectTo(QStringLiteral("postgres"));
    try {
        run(c, QStringLiteral("DROP DATABASE IF EXISTS %1").arg(name));
        run(c, QStringLiteral("CREATE DATABASE %1 TEMPLATE %2").arg(name, tmpl));
    } catch (...) {
        PQfinish(c);
        throw;
    }
    PQfinish(c);
    qputenv("PGDATABASE", name.toUtf8());
    return name;
}

void TestDatabase::Drop(const QString& name) {
    if (name.isEmpty())
        return;
    PGconn* c = connectTo(QStringLiteral("postgres"));
    try {
        run(c, QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(name));
    } catch (...) {
    }
    PQfinish(c);
}

void TestDatabase::Exec(const QString& sql) {
    PGconn* c = connectTo(qEnvironmentVariable("PGDATABASE"));
    try {
        run(c, sql);
    } catch (...) {
        PQfinish(c);
        throw;
    }
    PQfinish(c);
}

QString TestDatabase::Scalar(const QString& sql) {
    PGconn* c = connectTo(qEnvironmentVariable("PGDATABASE"));
    PGresult* r = PQexec(c, sql.toUtf8().constData());
    QString v;
    const bool ok = PQresultStatus(r) == PGRES_TUPLES_OK;
    const std::string err = PQresultErrorMessage(r);
    if (ok && PQntuples(r) > 0 && !PQgetisnull(r, 0, 0))
        v = QString::fromUtf8(PQgetvalue(r, 0, 0));
    PQclear(r);
    PQfinish(c);
    if (!ok)
        throw std::runtime_error("test database: " + err);
    return v;
}

} // namespace testsupport

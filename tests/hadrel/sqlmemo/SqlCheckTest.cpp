// The syntax check against the suite's database: what it finds and where, and that it changes
// nothing, waits for no lock and survives text that libpq and the parser cannot take.
#include "TestDatabase.h"
#include "USqlCheck.h"
#include "VoskDatabase.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <libpq-fe.h>

using testsupport::TestDatabase;
using USqlCheck::CheckSql;

class SqlCheckTest : public testsupport::DbTest {
protected:
    void SetUp() override {
        m_db.Connect();
        TestDatabase::Exec(QStringLiteral("DELETE FROM adressen; INSERT INTO adressen (name, ort) "
                                          "VALUES ('A', 'Köln'), ('B', 'Ulm')"));
    }
    TVoskDatabase m_db;
};

TEST_F(SqlCheckTest, ErrorsAreFoundAtTheirCharacterBehindUmlautsParametersAndAstralCharacters) {
    // Parser stage: a ":name" longer than its "$1" and characters of two and four UTF-8 bytes
    // stand before the error.
    const QString parse =
        QStringLiteral("-- Grüße \U0001F600\nSELECT name FROM adressen\n"
                       "WHERE ort = 'Köln' AND dbrid = :Parameter_lang ORDRE BY name");
    auto r = CheckSql(m_db, parse);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.sqlState, QStringLiteral("42601"));
    EXPECT_EQ(r.position, parse.indexOf(QStringLiteral("ORDRE")) + 1);

    // Numbers of two and three digits in place of shorter names.
    QString many = QStringLiteral("SELECT name FROM adressen WHERE dbrid IN (:x");
    for (int i = 0; i < 110; ++i)
        many += QStringLiteral(", :p%1").arg(i % 100);
    many += QStringLiteral(", :y) ORDRE BY name");
    r = CheckSql(m_db, many);
    EXPECT_EQ(r.position, many.indexOf(QStringLiteral("ORDRE")) + 1);

    // Server stage: the second statement, the column after a parameter and umlauts.
    const QString server = QStringLiteral("SELECT 1;\nSELECT 'äöü', :p1 || nichtda FROM adressen");
    r = CheckSql(m_db, server);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.sqlState, QStringLiteral("42703"));
    EXPECT_EQ(r.position, server.indexOf(QStringLiteral("nichtda")) + 1);
}

TEST_F(SqlCheckTest, NothingIsExecutedAndTheConnectionComesBackAsItWas) {
    auto r = CheckSql(m_db, QStringLiteral("COMMIT; DELETE FROM adressen; DROP TABLE adressen;\n"
                                           "ROLLBACK; UPDATE adressen SET name = 'X'"));
    EXPECT_TRUE(r.ok) << r.message.toStdString();
    EXPECT_EQ(TestDatabase::Scalar(
                  QStringLiteral("SELECT string_agg(name, ',' ORDER BY name) FROM adressen")),
              QStringLiteral("A,B"));
    EXPECT_FALSE(m_db.InTransaction());

    // Inside the caller's transaction the check keeps it and what it wrote.
    m_db.StartTransaction();
    m_db.Exec(QStringLiteral("INSERT INTO adressen (name) VALUES ('C')"));
    r = CheckSql(m_db, QStringLiteral("SELECT nichtda FROM adressen"));
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(m_db.InTransaction());
    EXPECT_EQ(m_db.Exec(QStringLiteral("UPDATE adressen SET ort = ort WHERE name = 'C'")), 1);
    m_db.Rollback();
}

TEST_F(SqlCheckTest, UnknownParameterTypesAreNoErrorAndTheCheckGoesOnBehindThem) {
    EXPECT_TRUE(CheckSql(m_db, QStringLiteral("SELECT :x")).ok);
    const QString text = QStringLiteral("SELECT :x; SELECT :y; SELECT nichtda FROM adressen");
    const auto r = CheckSql(m_db, text);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.position, text.indexOf(QStringLiteral("nichtda")) + 1);
    EXPECT_TRUE(CheckSql(m_db, QString()).ok);
    EXPECT_TRUE(CheckSql(m_db, QStringLiteral("  -- nur ein Kommentar\n")).ok);

    // Parameters are numbered across the script: a statement that does not use the earlier ones
    // is no reason for a second round trip, and the server still types those it uses.
    const qint64 before = m_db.RoundTrips();
    EXPECT_TRUE(CheckSql(m_db, QStringLiteral("SELECT name FROM adressen WHERE ort = :a;\n"
                                              "SELECT name FROM adressen WHERE dbrid > :b;\n"
                                              "SELECT :b + 1"))
                    .ok);
    EXPECT_EQ(m_db.RoundTrips() - before, 1);
}

TEST_F(SqlCheckTest, WhatAnEarlierStatementCreatesOrAltersIsNotCheckableBeforeRunning) {
    // The CREATE is prepared, not run: the INSERT behind it cannot be judged, nor is it wrong.
    const QString script = QStringLiteral("CREATE TABLE t_neu (a int);\nINSERT INTO t_neu VALUES (1)");
    auto r = CheckSql(m_db, script);
    EXPECT_TRUE(r.ok) << r.message.toStdString();
    EXPECT_TRUE(r.notCheckable);
    EXPECT_TRUE(r.message.contains(QStringLiteral("Zeile 2"))) << r.message.toStdString();
    EXPECT_EQ(TestDatabase::Scalar(QStringLiteral("SELECT to_regclass('t_neu') IS NULL")),
              QStringLiteral("t"));
    for (const char* text : {"ALTER TABLE adressen ADD COLUMN neu int; SELECT neu FROM adressen",
                             "SELECT 1 INTO t_kopie; SELECT * FROM t_kopie",
                             "SET search_path = anderes; SELECT * FROM dort",
                             "DO $$ BEGIN CREATE TABLE t_do (a int); END $$; SELECT a FROM t_do"}) {
        r = CheckSql(m_db, QString::fromUtf8(text));
        EXPECT_TRUE(r.ok && r.notCheckable) << text;
    }

    // Before any such statement, and for wrong values behind one, an error stays an error.
    r = CheckSql(m_db, QStringLiteral("SELECT neu FROM adressen; CREATE TABLE t_neu (a int)"));
    EXPECT_FALSE(r.ok);
    EXPECT_FALSE(r.notCheckable);
    r = CheckSql(m_db, QStringLiteral("CREATE TABLE t_neu (a int); SELECT 'abc'::int"));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.sqlState, QStringLiteral("22P02"));
    // Plain data statements before it change no names.
    r = CheckSql(m_db, QStringLiteral("INSERT INTO adressen (name) VALUES ('x'); SELECT neu FROM adressen"));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.sqlState, QStringLiteral("42703"));
}

TEST_F(SqlCheckTest, AColonInsideAnArraySubscriptIsASliceNotAParameter) {
    const auto r =
        CheckSql(m_db, QStringLiteral("SELECT (proargtypes::oid[])[0:pronargs - 1] FROM pg_proc"));
    EXPECT_TRUE(r.ok) << r.message.toStdString();
}

TEST_F(SqlCheckTest, ALockedTableEndsTheCheckAfterItsTimeout) {
    PGconn* other = PQconnectdb("");
    ASSERT_EQ(PQstatus(other), CONNECTION_OK);
    PQclear(PQexec(other, "BEGIN; LOCK TABLE adressen IN ACCESS EXCLUSIVE MODE"));
    QElapsedTimer t;
    t.start();
    const auto r = CheckSql(m_db, QStringLiteral("SELECT * FROM adressen"), 300);
    EXPECT_LT(t.elapsed(), 5000);
    PQclear(PQexec(other, "ROLLBACK"));
    PQfinish(other);
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.sqlState == QLatin1String("55P03") || r.sqlState == QLatin1String("57014"))
        << r.sqlState.toStdString();
    EXPECT_FALSE(m_db.InTransaction());
    EXPECT_TRUE(CheckSql(m_db, QStringLiteral("SELECT * FROM adressen")).ok);
}

TEST_F(SqlCheckTest, TextThatCannotBeSentFailsWithoutCrashOrHang) {
    QString nul = QStringLiteral("SELECT 1; SELECT ");
    nul += QChar(0);
    auto r = CheckSql(m_db, nul);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.position, nul.size());

    QString lone = QStringLiteral("SELECT 'a");
    lone += QChar(0xD800);
    lone += QStringLiteral("'");
    r = CheckSql(m_db, lone);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.position, 10);

    // A million characters: deep nesting and one long statement.
    QElapsedTimer t;
    t.start();
    r = CheckSql(m_db, QStringLiteral("SELECT ") + QString(1000000, QLatin1Char('(')));
    EXPECT_FALSE(r.ok);
    QString big = QStringLiteral("SELECT 'ä");
    big += QString(1000000, QLatin1Char('x'));
    big += QStringLiteral("' FROM adressen");
    EXPECT_TRUE(CheckSql(m_db, big).ok);
    EXPECT_LT(t.elapsed(), 20000);
}

TEST_F(SqlCheckTest, ALostConnectionIsAFailedCheck) {
    const QString pid = QString::number(PQbackendPID(m_db.Handle()));
    TestDatabase::Exec(QStringLiteral("SELECT pg_terminate_backend(") + pid + QStringLiteral(")"));
    const auto r = CheckSql(m_db, QStringLiteral("SELECT 1; SELECT 2"));
    EXPECT_FALSE(r.ok);
    EXPECT_FALSE(r.message.isEmpty());
    // Once libpq noticed, the next check says so at once.
    EXPECT_FALSE(CheckSql(m_db, QStringLiteral("SELECT 1")).ok);
}

#include <TestDatabase.h>
#include <UDM1.h>
#include <VoskPipeline.h>
#include <VoskQuery2.h>
#include <VoskQueryStream.h>

#include <gtest/gtest.h>

#include <QDate>
#include <QDateTime>

using testsupport::DbTest;
using testsupport::TestDatabase;

namespace {

class QueryTest : public DbTest {
protected:
    void SetUp() override { m_db.Connect(); }
    TVoskDatabase m_db;
};

template <class F> EVoskDatabaseError catchDbError(F&& f) {
    try {
        f();
    } catch (const EVoskDatabaseError& e) {
        return e;
    }
    ADD_FAILURE() << "no EVoskDatabaseError";
    return EVoskDatabaseError(QString());
}

} // namespace

TEST_F(QueryTest, ParametersRoundTripByType) {
    TVoskQuery2 q(&m_db, QStringLiteral(
        "SELECT :i AS i, :big AS big, :d AS d, :b AS b, :s AS s, :day AS day, :ts AS ts, "
        ":nothing::int AS nothing, :s || '!' AS s2"));
    const QDateTime ts(QDate(2024, 2, 29), QTime(13, 45, 7, 250));
    q.Bind(QStringLiteral("i"), 42)
        .Bind(QStringLiteral("big"), qint64(9000000000LL))
        .Bind(QStringLiteral("d"), 0.1)
        .Bind(QStringLiteral("b"), true)
        .Bind(QStringLiteral("s"), QStringLiteral("Grüße"))
        .Bind(QStringLiteral("day"), QDate(1999, 12, 31))
        .Bind(QStringLiteral("ts"), ts)
        .Bind(QStringLiteral("nothing"), QVariant());
    q.Open();
    ASSERT_EQ(q.RecordCount(), 1);
    EXPECT_EQ(q.FieldByName(QStringLiteral("I")).Value(), QVariant(42));
    EXPECT_EQ(q.FieldByName(QStringLiteral("big")).AsLargeInt(), 9000000000LL);
    EXPECT_EQ(q.FieldByName(QStringLiteral("d")).AsFloat(), 0.1);
    EXPECT_TRUE(q.FieldByName(QStringLiteral("b")).AsBoolean());
    EXPECT_EQ(q.FieldByName(QStringLiteral("s2")).AsString(), QStringLiteral("Grüße!"));
    EXPECT_EQ(q.FieldByName(QStringLiteral("day")).AsDate(), QDate(1999, 12, 31));
    EXPECT_EQ(q.FieldByName(QStringLiteral("ts")).AsDateTime(), ts);
    EXPECT_EQ(q.FieldByName(QStringLiteral("ts")).DataType(), TFieldType::DateTime);
    EXPECT_TRUE(q.FieldByName(QStringLiteral("nothing")).IsNull());
    EXPECT_EQ(q.FieldByName(QStringLiteral("nothing")).AsInteger(), 0);
    EXPECT_EQ(q.FieldNames().size(), 9);
}

TEST_F(QueryTest, InjectionAttemptIsStoredAsPlainText) {
    const QString evil = QStringLiteral("'; DROP TABLE text0; --");
    TVoskQuery2 ins(&m_db, QStringLiteral(
        "INSERT INTO text0 (t_nr, t_feld0) VALUES (:nr, :text)"));
    ins.Bind(QStringLiteral("nr"), 9001).Bind(QStringLiteral("text"), evil);
    EXPECT_EQ(ins.ExecSQL(), 1);
    TVoskQuery2 sel(&m_db, QStringLiteral("SELECT t_nr FROM text0 WHERE t_feld0 = :text"));
    sel.Bind(QStringLiteral("text"), evil).Open();
    ASSERT_EQ(sel.RecordCount(), 1);
    EXPECT_EQ(sel.Fields(0).AsInteger(), 9001);
    EXPECT_EQ(TestDatabase::Scalar(QStringLiteral("SELECT to_regclass('text0') IS NOT NULL")),
              QStringLiteral("t"));
    EXPECT_FALSE(sel.SentSQL().contains("DROP"));
}

TEST_F(QueryTest, MissingParameterAndUnknownNamesAreReported) {
    TVoskQuery2 q(&m_db, QStringLiteral("SELECT :a, :zweiter"));
    q.Bind(QStringLiteral("a"), 1);
    const auto e = catchDbError([&] { q.Open(); });
    EXPECT_TRUE(e.Message().contains(QStringLiteral(":zweiter"))) << e.Message().toStdString();
    EXPECT_FALSE(q.Active());
    const auto e2 = catchDbError([&] { q.ParamByName(QStringLiteral("dritter")); });
    EXPECT_TRUE(e2.Message().contains(QStringLiteral("dritter")));
    q.Bind(QStringLiteral("zweiter"), QVariant()); // an explicit null is a value
    q.Open();
    EXPECT_TRUE(q.Fields(1).IsNull());
    const auto e3 = catchDbError([&] { q.FieldByName(QStringLiteral("gibtsnicht")); });
    EXPECT_TRUE(e3.Message().contains(QStringLiteral("gibtsnicht")));
}

TEST_F(QueryTest, TheSessionsParametersAreFilledUnlessBound) {
    TDM1 dm(nullptr, true);
    dm.SetLanguage(3);
    TVoskQuery2 q(&m_db, QStringLiteral("SELECT :lang::int, :LangC, :TIMESTAMP::timestamp, "
                                        ":sessid::int = pg_backend_pid()"));
    const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
    q.Open();
    EXPECT_EQ(q.Fields(0).AsInteger(), 3);
    EXPECT_EQ(q.Fields(1).AsString(), QStringLiteral("E"));
    EXPECT_GE(q.Fields(2).AsDateTime(), before);
    EXPECT_LE(q.Fields(2).AsDateTime(), QDateTime::currentDateTime().addSecs(1));
    EXPECT_TRUE(q.Fields(3).AsBoolean());
    // A value of the caller's wins, and a stream binds alike.
    q.Bind(QStringLiteral("LANG"), 0).Bind(QStringLiteral("sessid"), -1);
    std::unique_ptr<TVoskRowStream> stream = q.OpenStream();
    const PGresult* r = stream->Next();
    ASSERT_NE(r, nullptr);
    EXPECT_STREQ(PQgetvalue(r, 0, 0), "0");
    EXPECT_STREQ(PQgetvalue(r, 0, 1), "E");
    EXPECT_STREQ(PQgetvalue(r, 0, 3), "f");
}

TEST_F(QueryTest, WholeResultAndStreamBindAlike) {
    // More parameters than fit the stack arrays, nulls among them.
    QStringList cols;
    for (int i = 0; i < 20; ++i)
        cols << QStringLiteral(":p%1::int AS c%1").arg(i);
    TVoskQuery2 q(&m_db, QStringLiteral("SELECT ") + cols.join(QStringLiteral(", ")));
    const auto bindAll = [&] {
        for (int i = 0; i < 20; ++i)
            q.Bind(QStringLiteral("p%1").arg(i), i % 7 == 3 ? QVariant() : QVariant(i * 11));
    };
    const auto e = catchDbError([&] { q.OpenStream(); });
    EXPECT_TRUE(e.Message().contains(QStringLiteral(":p0"))) << e.Message().toStdString();
    EXPECT_TRUE(e.Sql().contains(QStringLiteral("$20")));
    bindAll();
    q.Open();
    std::unique_ptr<TVoskRowStream> stream = q.OpenStream();
    const PGresult* r = stream->Next();
    ASSERT_NE(r, nullptr);
    for (int i = 0; i < 20; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(PQgetisnull(r, 0, i) == 1, i % 7 == 3);
        if (i % 7 != 3) {
            EXPECT_EQ(std::atoi(PQgetvalue(r, 0, i)), i * 11);
        }
    }
    EXPECT_EQ(stream->Next(), nullptr);
    stream.reset();
    q.Open();
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(q.Fields(i).Value(), i % 7 == 3 ? QVariant() : QVariant(i * 11)) << i;
}

// A result read a chunk at a time through a cursor: every row once and in order, with the
// query's parameters; its own transaction ends with the last chunk, a caller's transaction goes
// on with the cursor closed; a statement failing midway or a stream dropped half read leaves the
// connection as the stream found it.
TEST_F(QueryTest, ChunksThroughACursorAndTheirTransaction) {
    TVoskQuery2 q(&m_db, QStringLiteral("SELECT g, 100 / (g - :zero) AS d FROM "
                                        "generate_series(1, :n) g"));
    q.Bind(QStringLiteral("zero"), 0).Bind(QStringLiteral("n"), 10);
    auto readAll = [](TVoskChunkStream& s) {
        QList<int> rows;
        int chunks = 0;
        while (const PGresult* r = s.NextChunk()) {
            ++chunks;
            EXPECT_LE(PQntuples(r), 3);
            for (int i = 0; i < PQntuples(r); ++i)
                rows << std::atoi(PQgetvalue(r, i, 0));
        }
        return std::pair{rows, chunks};
    };
    {
        std::unique_ptr<TVoskChunkStream> s = q.OpenChunks(3);
        EXPECT_EQ(PQnfields(s->Columns()), 2);
        EXPECT_TRUE(m_db.InTransaction()); // its own, while it reads
        const auto [rows, chunks] = readAll(*s);
        EXPECT_EQ(rows, (QList<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
        EXPECT_EQ(chunks, 4);
        EXPECT_FALSE(m_db.InTransaction());
    }
    {
        // Exactly full chunks end with an empty one; no rows at all still describe the columns.
        q.Bind(QStringLiteral("n"), 6);
        auto s = q.OpenChunks(3);
        EXPECT_EQ(readAll(*s).first.size(), 6);
        q.Bind(QStringLiteral("n"), 0);
        auto none = q.OpenChunks(3);
        EXPECT_STREQ(PQfname(none->Columns(), 1), "d");
        EXPECT_EQ(none->NextChunk(), nullptr);
    }
    m_db.StartTransaction();
    {
        q.Bind(QStringLiteral("n"), 5);
        auto s = q.OpenChunks(2);
        EXPECT_EQ(readAll(*s).first.size(), 5);
    }
    EXPECT_TRUE(m_db.InTransaction());
    // The running statement's own portal has no name; a declared cursor would.
    TVoskQuery2 cursors(&m_db,
                        QStringLiteral("SELECT count(*) FROM pg_cursors WHERE name <> ''"));
    cursors.Open();
    EXPECT_EQ(cursors.Fields(0).AsInteger(), 0);
    cursors.Close();
    m_db.Rollback();

    // Row 7 divides by zero: the chunk that holds it fails, and the connection is idle again.
    q.Bind(QStringLiteral("zero"), 7).Bind(QStringLiteral("n"), 10);
    {
        auto s = q.OpenChunks(3);
        EXPECT_NE(s->NextChunk(), nullptr);
        const auto e = catchDbError([&] {
            while (s->NextChunk()) {
            }
        });
        EXPECT_EQ(e.SqlState(), QStringLiteral("22012"));
    }
    EXPECT_FALSE(m_db.InTransaction());
    // Dropped after the first chunk; then a statement the server refuses outright.
    q.Bind(QStringLiteral("zero"), 0);
    q.OpenChunks(2)->NextChunk();
    EXPECT_FALSE(m_db.InTransaction());
    TVoskQuery2 bad(&m_db, QStringLiteral("SELECT g_nope FROM generate_series(1, 3) g"));
    const auto e = catchDbError([&] { bad.OpenChunks(); });
    EXPECT_EQ(e.SqlState(), QStringLiteral("42703"));
    EXPECT_EQ(e.Sql().mid(e.Position() - 1, 6), QStringLiteral("g_nope"));
    EXPECT_FALSE(m_db.InTransaction());
    TVoskQuery2 ok(&m_db, QStringLiteral("SELECT 1"));
    ok.Open();
    EXPECT_EQ(ok.Fields(0).AsInteger(), 1);
}

TEST_F(QueryTest, ServerErrorCarriesMessageStateAndPosition) {
    TVoskQuery2 q(&m_db, QStringLiteral("SELECT t_nr FROM text0 WHERE t_nope = :x"));
    q.Bind(QStringLiteral("x"), 1);
    const auto e = catchDbError([&] { q.Open(); });
    EXPECT_EQ(e.SqlState(), QStringLiteral("42703"));
    EXPECT_TRUE(e.ServerMessage().contains(QStringLiteral("t_nope")));
    EXPECT_EQ(e.Sql().mid(e.Position() - 1, 6), QStringLiteral("t_nope"));
    EXPECT_TRUE(e.Message().contains(QStringLiteral("Position %1").arg(e.Position())));
    // The connection stays usable after the error.
    TVoskQuery2 ok(&m_db, QStringLiteral("SELECT 1"));
    ok.Open();
    EXPECT_EQ(ok.Fields(0).AsInteger(), 1);
}

TEST_F(QueryTest, NamedSqlByKey) {
    TestDatabase::Exec(QStringLiteral(
        "INSERT INTO standardsql (ss_key, ss_sql) VALUES "
        "('Test.Texte', 'SELECT t_nr FROM text0 WHERE t_nr <= :bis ORDER BY t_nr'), "
        "('Test.Kaputt', 'SELECT kaputt FROM text0 WHERE t_nr = :nr')"));
    TVoskQuery2 q(&m_db);
    q.SetSQLByKey(QStringLiteral("Test.Texte"));
    q.Bind(QStringLiteral("bis"), 2).Open();
    EXPECT_EQ(q.RecordCount(), 2);
    const auto unknown = catchDbError([&] { q.SetSQLByKey(QStringLiteral("Test.Fehlt")); });
    EXPECT_TRUE(unknown.Message().contains(QStringLiteral("\"Test.Fehlt\"")));
    EXPECT_FALSE(m_db.StandardSQL_Exists(QStringLiteral("Test.Fehlt")));
    q.SetSQLByKey(QStringLiteral("Test.Kaputt"));
    const auto e = catchDbError([&] { q.Bind(QStringLiteral("nr"), 1).Open(); });
    EXPECT_TRUE(e.Message().contains(QStringLiteral("Test.Kaputt"))) << e.Message().toStdString();
    EXPECT_EQ(e.SqlState(), QStringLiteral("42703"));
}

TEST_F(QueryTest, MacrosFromCodeMayBringParameters) {
    TVoskQuery2 q(&m_db, QStringLiteral("SELECT count(*) FROM &Tabelle WHERE &Bedingung"));
    q.SetMacroIdentifier(QStringLiteral("tabelle"), QStringLiteral("text0"));
    q.SetMacro(QStringLiteral("Bedingung"), QStringLiteral("t_nr BETWEEN :von AND 4"));
    q.Bind(QStringLiteral("von"), 3).Open();
    EXPECT_EQ(q.Fields(0).AsInteger(), 2); // the database layer's seed texts 3 and 4
    // A quoted identifier cannot break out of its quotes.
    q.SetMacroIdentifier(QStringLiteral("Tabelle"), QStringLiteral("text0\"; DROP TABLE text0; --"));
    const auto e = catchDbError([&] { q.Open(); });
    EXPECT_EQ(e.SqlState(), QStringLiteral("42P01"));
    EXPECT_EQ(TestDatabase::Scalar(QStringLiteral("SELECT count(*) FROM text0")).toInt() >= 4,
              true);
}

TEST_F(QueryTest, CursorAndLocate) {
    TVoskQuery2 q(&m_db, QStringLiteral(
        "SELECT * FROM (VALUES (1, 'Müller', 1.50::numeric, true), (2, 'meier', 2.0, false), "
        "(3, 'Schmidt', NULL, NULL)) AS v(nr, name, preis, aktiv) ORDER BY nr"));
    q.Open();
    EXPECT_EQ(q.RecordCount(), 3);
    EXPECT_TRUE(q.Bof());
    const TVoskField nr = q.FieldByName(QStringLiteral("nr"));
    QList<int> seen;
    for (; !q.Eof(); q.Next())
        seen << nr.AsInteger();
    EXPECT_EQ(seen, (QList<int>{1, 2, 3}));
    EXPECT_EQ(q.RecNo(), 3);
    q.Prior();
    EXPECT_EQ(nr.AsInteger(), 2);

    EXPECT_TRUE(q.Locate(QStringLiteral("name"), QStringLiteral("MEIER"), true));
    EXPECT_EQ(q.RecNo(), 2);
    EXPECT_FALSE(q.Locate(QStringLiteral("name"), QStringLiteral("MEIER"), false));
    EXPECT_TRUE(q.Locate(QStringLiteral("preis;aktiv"), {1.5, QStringLiteral("-1")}));
    EXPECT_EQ(q.RecNo(), 1);
    EXPECT_TRUE(q.Locate(QStringLiteral("preis"), QVariant()));
    EXPECT_EQ(q.RecNo(), 3);
    EXPECT_TRUE(q.Locate(QStringLiteral("name"), {QStringLiteral("sch")}, true, true));
    EXPECT_EQ(nr.AsInteger(), 3);

    TVoskQuery2 empty(&m_db, QStringLiteral("SELECT 1 WHERE false"));
    empty.Open();
    EXPECT_TRUE(empty.Eof());
    EXPECT_TRUE(empty.IsEmpty());
    EXPECT_EQ(empty.RecNo(), 0);
    EXPECT_TRUE(empty.Fields(0).IsNull());
}

TEST_F(QueryTest, ConversionErrorNamesFieldAndValue) {
    TVoskQuery2 q(&m_db, QStringLiteral("SELECT 'abc'::text AS kennung"));
    q.Open();
    try {
        q.Fields(0).AsInteger();
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_TRUE(e.Message().contains(QStringLiteral("abc")));
        EXPECT_TRUE(e.Message().contains(QStringLiteral("kennung")));
    }
}

TEST_F(QueryTest, PipelinedQueriesAnswerEachOnItsOwnInOneRoundTrip) {
    TVoskQuery2 a(&m_db, QStringLiteral("SELECT :x::int + 1"));
    a.Bind(QStringLiteral("x"), 41);
    TVoskQuery2 bad(&m_db, QStringLiteral("SELECT t_nope FROM text0"));
    TVoskQuery2 unbound(&m_db, QStringLiteral("SELECT :y"));
    TVoskQuery2 b(&m_db, QStringLiteral("SELECT 'ä' || :s"));
    b.Bind(QStringLiteral("s"), QStringLiteral("ö"));
    const qint64 before = m_db.RoundTrips();
    TVoskPipeline p(m_db);
    for (TVoskQuery2* q : {&a, &bad, &unbound, &b})
        p.Add(*q);
    p.Run();
    EXPECT_EQ(m_db.RoundTrips() - before, 1);
    // A failure, on the server or before sending, is the one the query would throw alone and
    // leaves the queries behind it their answers.
    EXPECT_FALSE(p.Error(0));
    EXPECT_EQ(a.Fields(0).AsInteger(), 42);
    const auto e = catchDbError([&] { std::rethrow_exception(p.Error(1)); });
    EXPECT_EQ(e.SqlState(), QStringLiteral("42703"));
    EXPECT_TRUE(p.Error(2));
    EXPECT_FALSE(unbound.Active());
    EXPECT_FALSE(p.Error(3));
    EXPECT_EQ(b.Fields(0).AsString(), QStringLiteral("äö"));
    // The connection is out of pipeline mode and takes single queries again.
    TVoskQuery2 ok(&m_db, QStringLiteral("SELECT 1"));
    ok.Open();
    EXPECT_EQ(ok.Fields(0).AsInteger(), 1);
}

// A prepared statement is parsed once per connection; a table changed under it, null and typed
// values, and a new connection all still get the right answer.
TEST_F(QueryTest, PreparedStatementsAreReusedAndPreparedAnewWhenStale) {
    m_db.Exec(QStringLiteral("CREATE TEMP TABLE prep (a integer, t text)"));
    m_db.Exec(QStringLiteral("INSERT INTO prep VALUES (1, 'eins'), (2, NULL)"));
    TVoskQuery2 q(&m_db, QStringLiteral("SELECT * FROM prep WHERE a = :a OR t = :t ORDER BY a"));
    q.SetPrepared(true);
    const auto rows = [&](const QVariant& a, const QVariant& t) {
        q.Bind(QStringLiteral("a"), a).Bind(QStringLiteral("t"), t).Open();
        QStringList out;
        for (; !q.Eof(); q.Next()) {
            QStringList row;
            for (int c = 0; c < q.FieldCount(); ++c)
                row << q.Fields(c).AsString();
            out << row.join(u':');
        }
        return out.join(u',');
    };
    EXPECT_EQ(rows(1, QVariant()), QStringLiteral("1:eins"));
    qint64 before = m_db.RoundTrips();
    EXPECT_EQ(rows(2, QStringLiteral("eins")), QStringLiteral("1:eins,2:"));
    EXPECT_EQ(m_db.RoundTrips() - before, 1);
    EXPECT_EQ(rows(QVariant(), QStringLiteral("eins")), QStringLiteral("1:eins"));

    // The table has another column now: the statement is prepared again, not failed.
    m_db.Exec(QStringLiteral("ALTER TABLE prep ADD COLUMN b integer DEFAULT 7"));
    EXPECT_EQ(rows(1, QVariant()), QStringLiteral("1:eins:7"));
    // A statement the server refuses is not kept: the error comes each time.
    TVoskQuery2 bad(&m_db, QStringLiteral("SELECT * FROM prep_fehlt WHERE a = :a"));
    bad.SetPrepared(true);
    bad.Bind(QStringLiteral("a"), 1);
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(catchDbError([&] { bad.Open(); }).SqlState(), QStringLiteral("42P01"));

    // A new connection knows none of the old statements.
    m_db.Disconnect();
    m_db.Connect();
    m_db.Exec(QStringLiteral("CREATE TEMP TABLE prep (a integer, t text)"));
    m_db.Exec(QStringLiteral("INSERT INTO prep VALUES (1, 'neu')"));
    EXPECT_EQ(rows(1, QVariant()), QStringLiteral("1:neu"));
}

TEST_F(QueryTest, FailedTransactionCannotBeCommitted) {
    m_db.StartTransaction();
    EXPECT_TRUE(m_db.InTransaction());
    m_db.Exec(QStringLiteral("INSERT INTO settings (s_name, s_value) VALUES ($1, $2)"),
              {QStringLiteral("Tx.Test"), QStringLiteral("1")});
    EXPECT_THROW(m_db.Exec(QStringLiteral("INSERT INTO settings (s_name) VALUES ($1)"),
                           {QStringLiteral("Tx.Test")}),
                 EVoskDatabaseError);
    EXPECT_THROW(m_db.Commit(), EVoskDatabaseError);
    EXPECT_FALSE(m_db.InTransaction());
    EXPECT_EQ(TestDatabase::Scalar(
                  QStringLiteral("SELECT count(*) FROM settings WHERE s_name = 'Tx.Test'")),
              QStringLiteral("0"));

    m_db.StartTransaction();
    EXPECT_THROW(m_db.StartTransaction(), EVoskDatabaseError);
    m_db.Exec(QStringLiteral("INSERT INTO settings (s_name, s_value) VALUES ('Tx.Ok', '1')"));
    m_db.Commit();
    EXPECT_EQ(TestDatabase::Scalar(
                  QStringLiteral("SELECT s_value FROM settings WHERE s_name = 'Tx.Ok'")),
              QStringLiteral("1"));
}

TEST(Connection, UnreachableServerNamesTheConnection) {
    TVoskDatabase db;
    try {
        db.Connect(QStringLiteral("host=/nonexistent/socket port=5999 dbname=nirgends "
                                  "connect_timeout=2"));
        FAIL();
    } catch (const EVoskDatabaseError& e) {
        EXPECT_TRUE(e.Message().startsWith(QStringLiteral("Keine Verbindung zur Datenbank")));
        EXPECT_TRUE(e.Message().contains(QStringLiteral("/nonexistent/socket")));
        EXPECT_TRUE(e.Message().contains(QStringLiteral("nirgends")));
    }
    EXPECT_FALSE(db.Connected());
    TVoskQuery2 q(&db, QStringLiteral("SELECT 1"));
    EXPECT_THROW(q.Open(), EVoskDatabaseError);
}

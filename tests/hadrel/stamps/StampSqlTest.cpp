// The stamp SQL's parameters: where each value comes from, in which order, how "__InList" lists
// expand, and that every value is bound, never spliced into the text.
#include <UFileViewerTIFF.Stamps.h>
#include <TestDatabase.h>
#include <UDM1.h>
#include <VoskDatabase.h>
#include <VoskExceptions.h>
#include <VoskQuery2.h>

#include <QDateTime>

#include <gtest/gtest.h>

namespace {

struct Source {
    QHash<QString, QStringList> keywords;
    QHash<QString, QVariant> fields;
    int keywordQueries = 0;

    TStampSqlResolver Make(const QString& type = QStringLiteral("RE"),
                           const QString& seal = QStringLiteral("Geprüft")) {
        return TStampSqlResolver(
            type, seal,
            [this](const QString& name, QVariant& value) {
                if (!fields.contains(name))
                    return false;
                value = fields.value(name);
                return true;
            },
            [this](const QString& category, bool all) {
                ++keywordQueries;
                const QStringList rows = keywords.value(category);
                return all ? rows : rows.mid(0, 1);
            });
    }
};

QString messageOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const EVoskException& e) {
        return e.Message();
    }
    return {};
}

} // namespace

TEST(StampSql, ValuesComeFromTypeSealFieldsAndKeywordsInThatOrder) {
    Source src;
    src.fields.insert(QStringLiteral("pd_id"), 17);
    src.fields.insert(QStringLiteral("kunde"), QStringLiteral("aus dem Feld"));
    src.keywords.insert(QStringLiteral("kunde"), {QStringLiteral("aus dem Schlagwort")});
    src.keywords.insert(QStringLiteral("ort"), {QStringLiteral("Hamm"), QStringLiteral("Unna")});
    TStampSqlResolver r = src.Make(QStringLiteral("RE"), QString());
    r.Resolve(QStringLiteral("INSERT INTO log VALUES (:dm_doktype, :DM_DOKSEAL, :pd_id, :kunde, "
                             ":ort, :ort, :LANG, :timestamp)"));
    EXPECT_EQ(r.Sql().right(2), QStringLiteral(");"));
    EXPECT_EQ(r.Value(QStringLiteral("dm_doktype")), QVariant(QStringLiteral("RE")));
    EXPECT_TRUE(r.Value(QStringLiteral("DM_DOKSEAL")).isNull()); // an empty seal is NULL
    EXPECT_EQ(r.Value(QStringLiteral("pd_id")), QVariant(17));
    EXPECT_EQ(r.Value(QStringLiteral("kunde")), QVariant(QStringLiteral("aus dem Feld")));
    EXPECT_EQ(r.Value(QStringLiteral("ort")), QVariant(QStringLiteral("Hamm")));
    // The same name twice is looked up once; the session's parameters are the query's.
    EXPECT_EQ(src.keywordQueries, 1);
    EXPECT_FALSE(r.Value(QStringLiteral("timestamp")).isValid());
}

// Every statement of a stamp SQL gets the session's parameters from the query layer, as any
// query does; the resolver's values go in bound beside them.
class StampSqlDb : public testsupport::DbTest {};

TEST_F(StampSqlDb, SessionParametersAreFilledByTheQueryInEveryStatement) {
    TDM1 dm;
    dm.Connect();
    dm.SetLanguage(3);
    TVoskDatabase& db = dm.Database();
    TVoskQuery2(&db, QStringLiteral("CREATE TEMP TABLE stamp_session (n int, lang int, langc text, "
                                    "ts timestamp, sess int, typ text)"))
        .ExecSQL();
    Source src;
    TStampSqlResolver r = src.Make(QStringLiteral("O'RE"));
    r.Resolve(QStringLiteral("INSERT INTO stamp_session VALUES (1, :LANG, :langc, :TimeStamp, "
                             ":SESSID, :dm_doktype); INSERT INTO stamp_session VALUES (2, :lang, "
                             ":LANGC, :timestamp, :sessid, :dm_doktype)"));
    const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
    ExecStampSql(db, r);
    TVoskQuery2 q(&db, QStringLiteral("SELECT n || '|' || lang || '|' || langc || '|' || (sess = "
                                      "pg_backend_pid()) || '|' || typ, ts FROM stamp_session "
                                      "ORDER BY n"));
    q.Open();
    ASSERT_EQ(q.RecordCount(), 2);
    for (const char* row : {"1|3|E|true|O'RE", "2|3|E|true|O'RE"}) {
        EXPECT_EQ(q.Fields(0).AsString(), QString::fromLatin1(row));
        EXPECT_GE(q.Fields(1).AsDateTime(), before);
        EXPECT_LE(q.Fields(1).AsDateTime(), QDateTime::currentDateTime().addSecs(1));
        q.Next();
    }
}

TEST(StampSql, InListsExpandToOneBoundParameterPerKeyword) {
    Source src;
    src.keywords.insert(QStringLiteral("kunde"), {QStringLiteral("A"), QStringLiteral("O'Brien; DROP")});
    src.keywords.insert(QStringLiteral("kunde__InListX"), {QStringLiteral("X")});
    TStampSqlResolver r = src.Make();
    r.Resolve(QStringLiteral("UPDATE k SET n = n + 1 WHERE k IN :kunde__InList AND x <> ':kunde__InList' "
                             "AND y = :kunde__InListX;\n DELETE FROM z WHERE k IN :leer__InList"));
    EXPECT_EQ(r.Statements(),
              (QStringList{QStringLiteral("UPDATE k SET n = n + 1 WHERE k IN (:ssAnnotTemp_0, "
                                          ":ssAnnotTemp_1) AND x <> ':kunde__InList' AND y = "
                                          ":kunde__InListX"),
                           QStringLiteral("DELETE FROM z WHERE k IN ('*internal system usage*')")}))
        << r.Sql().toStdString();
    EXPECT_EQ(r.Value(QStringLiteral("ssAnnotTemp_0")), QVariant(QStringLiteral("A")));
    EXPECT_EQ(r.Value(QStringLiteral("ssAnnotTemp_1")), QVariant(QStringLiteral("O'Brien; DROP")));
    // ":kunde__InListX" is a name of its own, a keyword category like any other.
    EXPECT_EQ(r.Value(QStringLiteral("kunde__InListX")), QVariant(QStringLiteral("X")));
}

TEST(StampSql, AParameterNoSourceFillsIsNamed) {
    Source src;
    EXPECT_EQ(messageOf([&] { src.Make().Resolve(QStringLiteral("SELECT :unbekannt")); }),
              QStringLiteral("Stempel-SQL: Parameter \"unbekannt\" nicht gefunden."));
    // A list without rows is the marker list, not a failure; a missing keyword is.
    src.keywords.insert(QStringLiteral("a"), {});
    EXPECT_EQ(messageOf([&] { src.Make().Resolve(QStringLiteral("SELECT :a")); }),
              QStringLiteral("Stempel-SQL: Parameter \"a\" nicht gefunden."));
}

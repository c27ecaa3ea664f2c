#include <SqlScanner.h>

#include <gtest/gtest.h>

using namespace Dunmere;

namespace {
QStringList params(const QString& sql) { return RewriteParams(sql).paramNames; }
} // namespace

TEST(SqlScanner, ParametersOutsideLiteralsCommentsAndCasts) {
    const QString sql = QStringLiteral(
        "SELECT ':nope', \"col:x\", a::text, $q$ :inside $q$, E'it\\'s :no' -- :comment\n"
        "FROM t /* :c1 /* :nested */ :c2 */ WHERE a = :first AND b = :Second::int");
    EXPECT_EQ(params(sql), (QStringList{QStringLiteral("first"), QStringLiteral("Second")}));
}

TEST(SqlScanner, RewriteNumbersEachNameOnceCaseInsensitive) {
    const auto r = RewriteParams(QStringLiteral("SELECT :a, :b, :A, 'x'':a', $1"));
    EXPECT_EQ(r.paramNames, (QStringList{QStringLiteral("a"), QStringLiteral("b")}));
    EXPECT_EQ(r.text, QByteArray("SELECT $1, $2, $1, 'x'':a', $1"));
}

TEST(SqlScanner, UnterminatedLiteralSwallowsTheRest) {
    EXPECT_TRUE(params(QStringLiteral("SELECT 'open :a")).isEmpty());
    EXPECT_TRUE(params(QStringLiteral("SELECT $x$ open :a")).isEmpty());
}

TEST(SqlScanner, MacrosExpandButNotInsideQuotesOrDoubleAmpersand) {
    const QString sql =
        QStringLiteral("SELECT * FROM &Table WHERE x && y AND n = '&keep' AND &Where");
    EXPECT_EQ(MacroNames(sql), (QStringList{QStringLiteral("Table"), QStringLiteral("Where")}));
    const QString out = ExpandMacros(sql, [](const QString& name) {
        return name == u"Table" ? QStringLiteral("text0") : QStringLiteral("t_nr > :min");
    });
    EXPECT_EQ(out, QStringLiteral("SELECT * FROM text0 WHERE x && y AND n = '&keep' AND t_nr > :min"));
    EXPECT_EQ(params(out), QStringList{QStringLiteral("min")});
}

TEST(SqlScanner, UmlautsInParameterNames) {
    EXPECT_EQ(params(QStringLiteral("SELECT :Größe")), QStringList{QStringLiteral("Größe")});
}

TEST(SqlScanner, AColonBehindAnOperandInBracketsIsASlice) {
    EXPECT_TRUE(params(QStringLiteral("SELECT (proargtypes::oid[])[0:pronargs - 1] FROM pg_proc"))
                    .isEmpty());
    EXPECT_TRUE(params(QStringLiteral("SELECT a[lo : hi], a[f(x):n], a[b[1]:n], a['1':n]")).isEmpty());
    // A parameter opens a bound or stands behind an operator; outside brackets nothing changes.
    EXPECT_EQ(params(QStringLiteral("SELECT a[:i], a[1::int + :j], a[:lo:hi] FROM t WHERE x = :k")),
              (QStringList{QStringLiteral("i"), QStringLiteral("j"), QStringLiteral("lo"),
                           QStringLiteral("k")}));
}

TEST(SqlScanner, ScriptsSplitAtTopLevelSemicolonsOnly) {
    const QString sql = QStringLiteral(
        "INSERT INTO log VALUES (';', $f$a;b$f$, E'x\\';y') -- c;d\n;"
        "  ;/* e; /* f; */ g; */ UPDATE t SET \"a;b\" = 1;\n"
        "DO $$BEGIN PERFORM 1; END$$");
    EXPECT_EQ(SplitStatements(sql),
              (QStringList{QStringLiteral("INSERT INTO log VALUES (';', $f$a;b$f$, E'x\\';y') -- c;d"),
                           QStringLiteral("/* e; /* f; */ g; */ UPDATE t SET \"a;b\" = 1"),
                           QStringLiteral("DO $$BEGIN PERFORM 1; END$$")}));
    EXPECT_TRUE(SplitStatements(QStringLiteral(" ; ;\n")).isEmpty());
}

TEST(SqlScanner, ReplaceParamHitsWholeNamesOutsideLiterals) {
    const QString sql = QStringLiteral(
        "SELECT :kunde__InList, :kunde__InListX, ':kunde__InList', :Kunde__InList -- :kunde__InList\n"
        "WHERE k IN :kunde__InList");
    EXPECT_EQ(ReplaceParam(sql, QStringLiteral("kunde__InList"), QStringLiteral("(:t_0)")),
              QStringLiteral("SELECT (:t_0), :kunde__InListX, ':kunde__InList', :Kunde__InList -- "
                             ":kunde__InList\nWHERE k IN (:t_0)"));
}

TEST(SqlScanner, RewriteWritesUtf8WithEverySiteInStep) {
    // Short names behind multi-byte text: "$100" outgrows ":c9" and the buffer has to grow;
    // names differing only in case (umlauts too) share a number.
    QString sql = QStringLiteral("SELECT 'Größe \U0001F600' -- :nein\n");
    QString expected = sql;
    for (int i = 0; i < 120; ++i) {
        const QString name = QLatin1Char(QChar(u'a' + i % 26).toLatin1()) + QString::number(i / 26);
        sql += QStringLiteral(", :%1 || 'ä'").arg(name);
        expected += QStringLiteral(", $%1 || 'ä'").arg(i + 1);
    }
    sql += QStringLiteral(", :GRÖßE, :größe, :A0");
    expected += QStringLiteral(", $121, $121, $1");
    const RewrittenSql r = RewriteParams(sql);
    EXPECT_EQ(r.text, expected.toUtf8());
    EXPECT_EQ(r.unusable, -1);
    ASSERT_EQ(r.paramNames.size(), 121);
    EXPECT_EQ(r.paramNames.at(120), QStringLiteral("GRÖßE"));
    ASSERT_EQ(r.sites.size(), 123);
    for (const RewrittenSql::Site& s : r.sites) {
        EXPECT_EQ(r.text.mid(s.utf8Offset, s.utf8Length), "$" + QByteArray::number(s.number));
        EXPECT_EQ(sql.mid(s.pos + 1, s.len - 1).compare(r.paramNames.at(s.number - 1),
                                                       Qt::CaseInsensitive),
                  0);
    }
}

TEST(SqlScanner, RewriteFindsTheFirstCharacterWithoutUtf8Form) {
    QString nul = QStringLiteral("SELECT :a, 'x");
    nul += QChar(0);
    nul += QStringLiteral("'");
    EXPECT_EQ(RewriteParams(nul).unusable, 13);
    QString lone = QStringLiteral("SELECT :a, :b");
    lone += QChar(0xDC00);
    lone += QStringLiteral(", \U0001F600");
    EXPECT_EQ(RewriteParams(lone).unusable, 13);
    // A high surrogate right before a parameter has lost its partner.
    QString cut = QStringLiteral("SELECT \U0001F600");
    cut += QChar(0xD83D);
    cut += QStringLiteral(":a");
    EXPECT_EQ(RewriteParams(cut).unusable, 9);
}

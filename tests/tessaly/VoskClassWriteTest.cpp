// Writing through the data class where the server has a say: triggers that change or drop the row,
// constraints checked at commit, column types without plain equality, odd identifiers, composite
// keys. Whatever the server refuses must leave nothing behind and the user's values in the class.
#include "Fixture.h"

#include <VoskExceptions.h>

using testsupport::TestDatabase;

class VoskClassWriteTest : public KundenTest {};

TEST_F(VoskClassWriteTest, ServerSideChangesComeBackAndDoNotBlockTheNextPost) {
    TestDatabase::Exec(QStringLiteral(
        "ALTER TABLE kunden ADD COLUMN geaendert int NOT NULL DEFAULT 0, "
        "ADD COLUMN kennung text GENERATED ALWAYS AS (upper(name)) STORED; "
        "CREATE FUNCTION kunden_stempel() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN "
        "NEW.name := trim(NEW.name); NEW.geaendert := OLD.geaendert + 1; RETURN NEW; END $$; "
        "CREATE TRIGGER kunden_stempel BEFORE UPDATE ON kunden FOR EACH ROW "
        "EXECUTE FUNCTION kunden_stempel()"));
    TVoskClass c;
    open(c);
    EXPECT_FALSE(c.FindField(QStringLiteral("kennung")).Writable());

    c.FieldByName(QStringLiteral("name")).SetAsString(QStringLiteral("  Maier  "));
    c.Post();
    EXPECT_EQ(c.FieldByName(QStringLiteral("name")).AsString(), QStringLiteral("Maier"));
    EXPECT_EQ(c.FieldByName(QStringLiteral("geaendert")).AsInteger(), 1);
    EXPECT_EQ(c.FieldByName(QStringLiteral("kennung")).AsString(), QStringLiteral("MAIER"));

    // The class now holds the row as the server wrote it, so the next post is not taken for
    // someone else's change, also where the server normalized the text (13.5 -> 13.50).
    c.FieldByName(QStringLiteral("betrag")).SetAsString(QStringLiteral("13.5"));
    c.Post();
    c.FieldByName(QStringLiteral("plz")).SetAsString(QStringLiteral("20095"));
    c.Post();
    EXPECT_EQ(scalar(QStringLiteral("SELECT concat_ws('/', name, betrag, plz, geaendert) "
                                    "FROM kunden WHERE dbrid = 1")),
              QStringLiteral("Maier/13.50/20095/3"));
}

TEST_F(VoskClassWriteTest, InsertDroppedByATriggerIsReportedAndKeepsTheNewRecord) {
    TestDatabase::Exec(QStringLiteral(
        "CREATE FUNCTION kunden_filter() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN "
        "IF NEW.name LIKE 'Test%' THEN RETURN NULL; END IF; RETURN NEW; END $$; "
        "CREATE TRIGGER kunden_filter BEFORE INSERT ON kunden FOR EACH ROW "
        "EXECUTE FUNCTION kunden_filter()"));
    TVoskClass c;
    open(c);
    int afterPost = 0;
    c.AfterPost = [&](TVoskClass*) { ++afterPost; };
    c.Append();
    c.FieldByName(QStringLiteral("name")).SetAsString(QStringLiteral("Testkunde"));
    const QString msg = messageOf([&] { c.Post(); });
    EXPECT_TRUE(msg.contains(QStringLiteral("nicht gespeichert"))) << msg.toStdString();
    EXPECT_EQ(afterPost, 0);
    EXPECT_EQ(c.State(), dsInsert);
    EXPECT_EQ(c.FieldByName(QStringLiteral("name")).AsString(), QStringLiteral("Testkunde"));
    EXPECT_FALSE(m_db.InTransaction());
    EXPECT_EQ(scalar(QStringLiteral("SELECT count(*) FROM kunden")), QStringLiteral("3"));

    // Corrected by the user, the same new record goes in.
    c.FieldByName(QStringLiteral("name")).SetAsString(QStringLiteral("Echter Kunde"));
    c.Post();
    EXPECT_EQ(c.State(), dsBrowse);
    EXPECT_EQ(afterPost, 1);
    EXPECT_EQ(c.RecordCount(), 4);
    EXPECT_EQ(scalar(QStringLiteral("SELECT count(*) FROM kunden")), QStringLiteral("4"));
}

TEST_F(VoskClassWriteTest, ConstraintCheckedAtCommitLeavesNothingWritten) {
    TestDatabase::Exec(QStringLiteral(
        "CREATE TABLE regionen (plz varchar(5) PRIMARY KEY); "
        "INSERT INTO regionen SELECT plz FROM kunden WHERE plz IS NOT NULL; "
        "ALTER TABLE kunden ADD CONSTRAINT kunden_region FOREIGN KEY (plz) REFERENCES regionen "
        "DEFERRABLE INITIALLY DEFERRED; "
        "CREATE TABLE protokoll (text text); "
        "CREATE FUNCTION kunden_protokoll() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN "
        "INSERT INTO protokoll VALUES (NEW.name); RETURN NEW; END $$; "
        "CREATE TRIGGER kunden_protokoll AFTER INSERT OR UPDATE ON kunden FOR EACH ROW "
        "EXECUTE FUNCTION kunden_protokoll()"));
    TVoskClass c;
    open(c);
    c.FieldByName(QStringLiteral("name")).SetAsString(QStringLiteral("Umgezogen"));
    c.FieldByName(QStringLiteral("plz")).SetAsString(QStringLiteral("99999"));
    try {
        c.Post();
        FAIL() << "post went through";
    } catch (const EVoskDatabaseError& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Zu „plz“ gibt es keinen Datensatz „99999“ in "
                                              "„regionen“.")) << e.what();
        EXPECT_EQ(e.SqlState(), QStringLiteral("23503")) << e.what();
    }
    EXPECT_EQ(c.State(), dsEdit);
    EXPECT_EQ(c.FieldByName(QStringLiteral("plz")).AsString(), QStringLiteral("99999"));
    EXPECT_FALSE(m_db.InTransaction());
    EXPECT_EQ(scalar(QStringLiteral("SELECT name || '/' || plz FROM kunden WHERE dbrid = 1")),
              QStringLiteral("Müller/10115"));
    EXPECT_EQ(scalar(QStringLiteral("SELECT count(*) FROM protokoll")), QStringLiteral("0"));

    // The same for a new record, and then a good post still works on the connection.
    c.Cancel();
    c.Append();
    c.FieldByName(QStringLiteral("name")).SetAsString(QStringLiteral("Neu"));
    c.FieldByName(QStringLiteral("plz")).SetAsString(QStringLiteral("00000"));
    EXPECT_THROW(c.Post(), EVoskDatabaseError);
    EXPECT_EQ(c.State(), dsInsert);
    EXPECT_EQ(scalar(QStringLiteral("SELECT count(*) FROM kunden")), QStringLiteral("3"));
    c.FieldByName(QStringLiteral("plz")).SetAsString(QStringLiteral("80331"));
    c.Post();
    EXPECT_EQ(scalar(QStringLiteral("SELECT string_agg(text, ',') FROM protokoll")),
              QStringLiteral("Neu"));
}

TEST_F(VoskClassWriteTest, TypesWithoutPlainEqualityStillFindTheirRow) {
    TestDatabase::Exec(QStringLiteral(
        "CREATE TABLE werte (dbrid serial PRIMARY KEY, j json, jb jsonb, f float8, "
        "ts timestamptz, n numeric(12,4), b bytea, arr text[], ch char(6), u uuid, iv interval, "
        "pt point, x xml, note text); "
        "INSERT INTO werte (j, jb, f, ts, n, b, arr, ch, u, iv, pt, x) VALUES "
        "('{\"b\": 1,  \"a\": [1, 2]}', '{\"b\": 1, \"a\": null}', 0.1, "
        "'2024-03-31 02:30:00+02', 1.5, '\\x00ff10', '{\"a,b\", NULL, \"\"}', 'ab', "
        "'a0eebc99-9c0b-4ef8-bb6d-6bb9bd380a11', '1 day 02:00', '(1.5,2)', '<a x=\"1\"/>')"));
    TVoskClass c;
    c.SetDatabase(&m_db);
    c.SetSqlTable(QStringLiteral("werte"));
    c.Open();
    ASSERT_EQ(c.RecordCount(), 1);
    c.FieldByName(QStringLiteral("note")).SetAsString(QStringLiteral("erste Änderung"));
    c.Post(); // no false refusal for any of the types
    c.FieldByName(QStringLiteral("note")).SetAsString(QStringLiteral("zweite Änderung"));
    c.Post();
    EXPECT_EQ(scalar(QStringLiteral("SELECT note FROM werte")), QStringLiteral("zweite Änderung"));

    // A change by someone else that only the text form shows still counts.
    TestDatabase::Exec(QStringLiteral("UPDATE werte SET j = '{\"b\": 1, \"a\": [1, 2]}'"));
    c.FieldByName(QStringLiteral("note")).SetAsString(QStringLiteral("dritte"));
    EXPECT_EQ(messageOf([&] { c.Post(); }), kChanged);
    EXPECT_EQ(scalar(QStringLiteral("SELECT note FROM werte")), QStringLiteral("zweite Änderung"));

    // Once re-read, the row can be written again.
    c.Cancel();
    c.RefreshRecord();
    c.FieldByName(QStringLiteral("note")).SetAsString(QStringLiteral("dritte"));
    c.Post();
    EXPECT_EQ(scalar(QStringLiteral("SELECT note FROM werte")), QStringLiteral("dritte"));
}

TEST_F(VoskClassWriteTest, ConcurrencyLooksAtTheRowNotAtWhoTouchedIt) {
    TVoskClass c;
    open(c);
    // Changed and changed back by another user: the row is as read, the post goes through.
    TestDatabase::Exec(QStringLiteral("UPDATE kunden SET plz = '00000' WHERE dbrid = 1; "
                                      "UPDATE kunden SET plz = '10115' WHERE dbrid = 1"));
    c.FieldByName(QStringLiteral("name")).SetAsString(QStringLiteral("Müller-Lüdenscheidt"));
    c.Post();

    // A column this class does not change, changed by someone else, still refuses the post.
    TestDatabase::Exec(QStringLiteral("UPDATE kunden SET insert_by = 'andere' WHERE dbrid = 1"));
    c.FieldByName(QStringLiteral("note")).SetAsInteger(1);
    EXPECT_EQ(messageOf([&] { c.Post(); }), kChanged);
    EXPECT_EQ(c.State(), dsEdit);
    EXPECT_EQ(c.FieldByName(QStringLiteral("note")).AsInteger(), 1);

    // The row deleted meanwhile: refused, and nothing is inserted in its place.
    c.Cancel();
    c.Next();
    TestDatabase::Exec(QStringLiteral("DELETE FROM kunden WHERE dbrid = 2"));
    c.FieldByName(QStringLiteral("name")).SetAsString(QStringLiteral("Geist"));
    EXPECT_EQ(messageOf([&] { c.Post(); }), kChanged);
    EXPECT_EQ(scalar(QStringLiteral("SELECT count(*) FROM kunden WHERE name = 'Geist'")),
              QStringLiteral("0"));
    c.Cancel();
    EXPECT_EQ(messageOf([&] { c.Delete(); }), kChanged);
    EXPECT_EQ(c.RecordCount(), 3); // the class keeps the row until refreshed
    EXPECT_FALSE(m_db.InTransaction());
}

TEST_F(VoskClassWriteTest, IdentifiersThatNeedQuoting) {
    TestDatabase::Exec(QStringLiteral(
        "CREATE SCHEMA lager; "
        "CREATE TABLE lager.\"Auftrag Position\" (\"Pos Nr\" int PRIMARY KEY, "
        "\"Menge \"\"Stück\"\"\" numeric, \"Preis €\" numeric, \"select\" text); "
        "INSERT INTO lager.\"Auftrag Position\" VALUES (1, 2, 9.99, 'x'), (2, 1, 5, 'y')"));
    TVoskClass c;
    c.SetDatabase(&m_db);
    c.SetSqlTable(QStringLiteral("lager.Auftrag Position"));
    c.SetKeyFieldName(QStringLiteral("Pos Nr"));
    c.Open();
    ASSERT_EQ(c.RecordCount(), 2);
    EXPECT_EQ(c.FieldNames(), QStringList({"Pos Nr", "Menge \"Stück\"", "Preis €", "select"}));
    for (const QString& f : c.FieldNames())
        EXPECT_TRUE(c.FindField(f).Writable()) << f.toStdString();

    c.FieldByName(QStringLiteral("Menge \"Stück\"")).SetAsInteger(7);
    c.FieldByName(QStringLiteral("select")).SetAsString(QStringLiteral("'; DROP TABLE kunden; --"));
    c.Post();
    c.Append();
    c.FieldByName(QStringLiteral("pos nr")).SetAsInteger(3);
    c.FieldByName(QStringLiteral("Preis €")).SetAsFloat(1.25);
    c.Post();
    ASSERT_TRUE(c.Locate(QStringLiteral("Pos Nr"), 2));
    c.Delete();
    EXPECT_EQ(scalar(QStringLiteral(
                  "SELECT string_agg(concat_ws('|', \"Pos Nr\", \"Menge \"\"Stück\"\"\", "
                  "\"Preis €\", \"select\"), ';' ORDER BY 1) FROM lager.\"Auftrag Position\"")),
              QStringLiteral("1|7|9.99|'; DROP TABLE kunden; --;3|1.25"));
    EXPECT_EQ(scalar(QStringLiteral("SELECT count(*) FROM kunden")), QStringLiteral("3"));
}

TEST_F(VoskClassWriteTest, CompositeKeysWriteAndFindOnlyTheirRow) {
    TestDatabase::Exec(QStringLiteral(
        "CREATE TABLE positionen (auftrag int, pos int, text text, PRIMARY KEY (auftrag, pos)); "
        "INSERT INTO positionen VALUES (1, 1, 'a'), (1, 2, 'b'), (2, 1, 'c'), (2, 2, 'd')"));
    TVoskClass c;
    c.SetDatabase(&m_db);
    c.SetSqlTable(QStringLiteral("positionen"));
    c.SetKeyFieldName(QStringLiteral(" auftrag ; pos "));
    c.Open();
    EXPECT_TRUE(c.HasKeyField());
    ASSERT_TRUE(c.Locate(QStringLiteral("auftrag;pos"), {2, 1}));
    EXPECT_EQ(c.KeyText(), QStringLiteral("2;1"));
    c.FieldByName(QStringLiteral("text")).SetAsString(QStringLiteral("C"));
    c.Post();
    EXPECT_EQ(scalar(QStringLiteral("SELECT string_agg(text, '' ORDER BY auftrag, pos) "
                                    "FROM positionen")),
              QStringLiteral("abCd"));

    // Refresh keeps the cursor on the same composite key although rows before it went.
    TestDatabase::Exec(QStringLiteral("DELETE FROM positionen WHERE auftrag = 1"));
    c.Refresh();
    EXPECT_EQ(c.KeyText(), QStringLiteral("2;1"));
    c.Next();
    c.Delete();
    EXPECT_EQ(scalar(QStringLiteral("SELECT string_agg(text, '') FROM positionen")),
              QStringLiteral("C"));

    // A key field the result does not have: writing is refused with the key named.
    c.SetKeyFieldName(QStringLiteral("auftrag;zeile"));
    EXPECT_FALSE(c.HasKeyField());
    c.FieldByName(QStringLiteral("text")).SetAsString(QStringLiteral("nie"));
    const QString msg = messageOf([&] { c.Post(); });
    EXPECT_TRUE(msg.contains(QStringLiteral("auftrag;zeile"))) << msg.toStdString();
    EXPECT_EQ(scalar(QStringLiteral("SELECT text FROM positionen")), QStringLiteral("C"));
}

TEST_F(VoskClassWriteTest, LocateWhileANewRecordIsOpenLandsOnTheRowAsked) {
    TVoskClass c;
    open(c);
    c.Next();   // Schmidt
    c.Insert(); // a new, untouched record before Schmidt
    ASSERT_EQ(c.RecordCount(), 4);
    ASSERT_TRUE(c.Locate(QStringLiteral("name"), QStringLiteral("Schmidt")));
    EXPECT_EQ(c.State(), dsBrowse);
    EXPECT_EQ(c.RecordCount(), 3);
    EXPECT_EQ(c.FieldByName(QStringLiteral("name")).AsString(), QStringLiteral("Schmidt"));

    // A search for empty fields never finds the blank new record itself.
    c.First();
    c.Insert();
    EXPECT_FALSE(c.Locate(QStringLiteral("name"), QVariant()));
    EXPECT_EQ(c.RecordCount(), 3);

    // A modified new record is written before the search and can be found.
    c.Append();
    c.FieldByName(QStringLiteral("name")).SetAsString(QStringLiteral("Zuletzt"));
    ASSERT_TRUE(c.Locate(QStringLiteral("name"), QStringLiteral("zuletzt"), true));
    EXPECT_EQ(c.RecNo(), 4);
    EXPECT_EQ(scalar(QStringLiteral("SELECT count(*) FROM kunden WHERE name = 'Zuletzt'")),
              QStringLiteral("1"));
}

TEST_F(VoskClassWriteTest, RefreshWithARefusedPendingPostKeepsTheEdit) {
    TVoskClass c;
    open(c);
    int refreshes = 0;
    c.BeforeRefresh = [&](TVoskClass*) { ++refreshes; };
    TestDatabase::Exec(QStringLiteral("INSERT INTO kunden (name) VALUES ('Neu von außen')"));
    c.FieldByName(QStringLiteral("note")).SetAsInteger(8);
    EXPECT_THROW(c.Refresh(), EVoskDatabaseError);
    EXPECT_EQ(refreshes, 0);
    EXPECT_EQ(c.State(), dsEdit);
    EXPECT_EQ(c.RecordCount(), 3);
    EXPECT_EQ(c.FieldByName(QStringLiteral("note")).AsInteger(), 8);

    c.FieldByName(QStringLiteral("note")).SetAsInteger(6);
    c.Refresh();
    EXPECT_EQ(refreshes, 1);
    EXPECT_EQ(c.RecordCount(), 4);
    EXPECT_EQ(c.FieldByName(QStringLiteral("dbrid")).AsInteger(), 1);
    EXPECT_EQ(c.FieldByName(QStringLiteral("note")).AsInteger(), 6);
}

TEST_F(VoskClassWriteTest, EmptyResultAndLastRowDeleted) {
    TestDatabase::Exec(QStringLiteral("DELETE FROM kunden WHERE dbrid > 1"));
    TVoskClass c;
    open(c);
    c.Delete();
    EXPECT_TRUE(c.IsEmpty());
    EXPECT_FALSE(c.HasRecord());
    EXPECT_TRUE(c.Eof());
    EXPECT_TRUE(c.Bof());
    EXPECT_EQ(c.RecNo(), 0);
    EXPECT_EQ(c.CurrentRow(), -1);
    EXPECT_TRUE(c.FieldByName(QStringLiteral("name")).IsNull());
    EXPECT_EQ(c.KeyText(), QString());
    EXPECT_THROW(c.Delete(), EVoskException);
    c.Next();
    c.Last();
    EXPECT_EQ(c.RecNo(), 0);

    // Editing an empty class starts a new record.
    c.FieldByName(QStringLiteral("name")).SetAsString(QStringLiteral("Einziger"));
    EXPECT_EQ(c.State(), dsInsert);
    c.Post();
    EXPECT_EQ(c.RecordCount(), 1);
    EXPECT_FALSE(c.Eof());
    EXPECT_EQ(scalar(QStringLiteral("SELECT name FROM kunden")), QStringLiteral("Einziger"));
}

TEST_F(VoskClassWriteTest, QueryClassFollowsItsParametersAndWritesTheJoinedRow) {
    TestDatabase::Exec(
        QStringLiteral("CREATE TABLE orte (plz varchar(5) PRIMARY KEY, ort text); "
                       "INSERT INTO orte VALUES ('10115', 'Berlin'), ('80331', 'München')"));
    TVoskClass2 c;
    c.SetDatabase(&m_db);
    c.SetSqlTable(QStringLiteral("kunden"));
    c.SetQuerySql(QStringLiteral("SELECT k.*, o.ort FROM kunden k JOIN orte o USING (plz) "
                                 "WHERE o.ort = :ort ORDER BY k.dbrid"));
    c.SetParam(QStringLiteral("ort"), QStringLiteral("Berlin"));
    c.Open();
    ASSERT_EQ(c.RecordCount(), 1);
    c.SetParam(QStringLiteral("ort"), QStringLiteral("München"));
    c.Refresh();
    ASSERT_EQ(c.RecordCount(), 1);
    EXPECT_EQ(c.FieldByName(QStringLiteral("name")).AsString(), QStringLiteral("Weber"));

    // Posting twice in a row on a joined row: the re-read keeps the class in step with the table.
    c.FieldByName(QStringLiteral("betrag")).SetAsFloat(3.5);
    c.Post();
    EXPECT_EQ(c.FieldByName(QStringLiteral("ort")).AsString(), QStringLiteral("München"));
    c.FieldByName(QStringLiteral("note")).SetAsInteger(1);
    c.Post();
    EXPECT_EQ(scalar(QStringLiteral("SELECT betrag || '/' || note FROM kunden WHERE dbrid = 3")),
              QStringLiteral("3.50/1"));

    // A query that returns nothing with the parameter missing opens empty instead of failing.
    c.ClearParams();
    c.SetParam(QStringLiteral("ort"), QVariant());
    c.Refresh();
    EXPECT_TRUE(c.IsEmpty());
}

TEST_F(VoskClassWriteTest, NoConnectionIsAClearRefusal) {
    TVoskClass c;
    c.setObjectName(QStringLiteral("DataOhneDb"));
    c.SetSqlTable(QStringLiteral("kunden"));
    const QString msg = messageOf([&] { c.Open(); });
    EXPECT_TRUE(msg.contains(QStringLiteral("DataOhneDb"))) << msg.toStdString();
    EXPECT_FALSE(c.Active());

    TVoskClass noTable;
    noTable.SetDatabase(&m_db);
    EXPECT_THROW(noTable.Open(), EVoskException);
    EXPECT_FALSE(noTable.Active());
}

#include "Fixture.h"

#include <VoskExceptions.h>
#include <VoskQuery2.h>

using testsupport::TestDatabase;

TEST_F(KundenTest, CursorMovesAndFieldsConvert) {
    TVoskClass c;
    open(c);
    EXPECT_EQ(c.State(), dsBrowse);
    ASSERT_EQ(c.RecordCount(), 3);
    EXPECT_TRUE(c.Bof());
    EXPECT_FALSE(c.Eof());
    EXPECT_EQ(c.FieldByName(QStringLiteral("NAME")).AsString(), QStringLiteral("Müller"));
    EXPECT_DOUBLE_EQ(c.FieldByName(QStringLiteral("betrag")).AsFloat(), 12.5);
    EXPECT_TRUE(c.FieldByName(QStringLiteral("aktiv")).AsBoolean());
    EXPECT_EQ(c.FieldByName(QStringLiteral("note")).AsInteger(), 2);

    c.Next();
    EXPECT_EQ(c.RecNo(), 2);
    EXPECT_TRUE(c.FieldByName(QStringLiteral("plz")).IsNull());
    EXPECT_EQ(c.FieldByName(QStringLiteral("betrag")).AsFloat(), 0.0);
    c.Last();
    EXPECT_TRUE(c.Eof());
    c.Next();
    EXPECT_EQ(c.RecNo(), 3);
    c.First();
    c.Prior();
    EXPECT_TRUE(c.Bof());
    EXPECT_EQ(c.RecNo(), 1);

    EXPECT_TRUE(c.Locate(QStringLiteral("name"), QStringLiteral("weber"), true));
    EXPECT_EQ(c.RecNo(), 3);
    EXPECT_FALSE(c.Locate(QStringLiteral("name"), QStringLiteral("weber")));
    EXPECT_TRUE(c.Locate(QStringLiteral("name;note"), {QStringLiteral("Schmidt"), 3}));
    EXPECT_EQ(c.RecNo(), 2);
    EXPECT_TRUE(c.SearchDbrid(1));
    EXPECT_EQ(c.KeyText(), QStringLiteral("1"));
    EXPECT_FALSE(c.SearchDbrid(99));
    EXPECT_EQ(c.RecNo(), 1);
    EXPECT_FALSE(c.FindField(QStringLiteral("gibtsnicht")).Exists());
    EXPECT_THROW(c.FieldByName(QStringLiteral("gibtsnicht")), EVoskException);
}

TEST_F(KundenTest, PostWritesTheChangeAndCancelLeavesTheRow) {
    TVoskClass c;
    open(c);
    int afterPost = 0;
    c.AfterPost = [&](TVoskClass*) { ++afterPost; };

    c.FieldByName(QStringLiteral("name")).SetAsString(QStringLiteral("Müller & Söhne"));
    EXPECT_EQ(c.State(), dsEdit);
    EXPECT_TRUE(c.Modified());
    EXPECT_TRUE(c.CanPost());
    c.Post();
    EXPECT_EQ(c.State(), dsBrowse);
    EXPECT_FALSE(c.CanPost());
    EXPECT_EQ(afterPost, 1);
    EXPECT_EQ(scalar(QStringLiteral("SELECT name FROM kunden WHERE dbrid = 1")),
              QStringLiteral("Müller & Söhne"));

    c.Next();
    c.FieldByName(QStringLiteral("plz")).SetAsString(QStringLiteral("99999"));
    c.Cancel();
    EXPECT_EQ(c.State(), dsBrowse);
    EXPECT_TRUE(c.FieldByName(QStringLiteral("plz")).IsNull());
    EXPECT_EQ(scalar(QStringLiteral("SELECT count(*) FROM kunden WHERE plz IS NULL")),
              QStringLiteral("1"));

    // An unchanged edit writes nothing and is no post candidate.
    c.Edit();
    EXPECT_FALSE(c.CanPost());
    c.Post();
    EXPECT_EQ(c.State(), dsBrowse);
    EXPECT_EQ(afterPost, 1);
}

TEST_F(KundenTest, MovingPostsAModifiedRecord) {
    TVoskClass c;
    open(c);
    c.FieldByName(QStringLiteral("note")).SetAsInteger(5);
    c.Next();
    EXPECT_EQ(c.State(), dsBrowse);
    EXPECT_EQ(scalar(QStringLiteral("SELECT note FROM kunden WHERE dbrid = 1")), QStringLiteral("5"));
}

TEST_F(KundenTest, InsertTakesServerDefaultsAndDeleteRemovesTheRow) {
    TVoskClass c;
    open(c);
    c.Append();
    EXPECT_EQ(c.State(), dsInsert);
    EXPECT_TRUE(c.IsNewRecord());
    EXPECT_EQ(c.RecordCount(), 4);
    c.FieldByName(QStringLiteral("name")).SetAsString(QStringLiteral("Neumann"));
    c.Post();
    EXPECT_EQ(c.FieldByName(QStringLiteral("dbrid")).AsInteger(), 4);
    EXPECT_EQ(c.FieldByName(QStringLiteral("insert_by")).AsString(), QStringLiteral("system"));
    EXPECT_EQ(scalar(QStringLiteral("SELECT name FROM kunden WHERE dbrid = 4")),
              QStringLiteral("Neumann"));

    // A new record given up is gone without a trace, and the cursor is back where it was.
    c.Insert();
    c.FieldByName(QStringLiteral("name")).SetAsString(QStringLiteral("Verworfen"));
    c.Cancel();
    EXPECT_EQ(c.RecordCount(), 4);
    EXPECT_EQ(c.FieldByName(QStringLiteral("name")).AsString(), QStringLiteral("Neumann"));

    ASSERT_TRUE(c.SearchDbrid(2));
    c.Delete();
    EXPECT_EQ(c.RecordCount(), 3);
    EXPECT_EQ(c.FieldByName(QStringLiteral("dbrid")).AsInteger(), 3);
    EXPECT_EQ(scalar(QStringLiteral("SELECT count(*) FROM kunden WHERE dbrid = 2")),
              QStringLiteral("0"));
}

TEST_F(KundenTest, ServerRefusalKeepsTheUsersValuesAndWritesNothing) {
    TVoskClass c;
    open(c);
    c.FieldByName(QStringLiteral("plz")).SetAsString(QStringLiteral("12345"));
    c.FieldByName(QStringLiteral("note")).SetAsInteger(9); // outside the check
    try {
        c.Post();
        FAIL() << "post went through";
    } catch (const EVoskDatabaseError& e) {
        // The user reads which field broke which rule; the server's words are the details.
        EXPECT_EQ(e.Message(), QStringLiteral("Der Wert von „note“ ist nicht zulässig "
                                              "(Prüfregel „kunden_note_check“)."));
        EXPECT_TRUE(e.Details().contains(e.ServerMessage()));
        EXPECT_TRUE(e.ServerMessage().contains(QStringLiteral("kunden_note_check"))) << e.what();
        EXPECT_EQ(e.SqlState(), QStringLiteral("23514"));
    }
    EXPECT_EQ(c.State(), dsEdit);
    EXPECT_EQ(c.FieldByName(QStringLiteral("plz")).AsString(), QStringLiteral("12345"));
    EXPECT_EQ(c.FieldByName(QStringLiteral("note")).AsInteger(), 9);
    EXPECT_EQ(scalar(QStringLiteral("SELECT plz FROM kunden WHERE dbrid = 1")),
              QStringLiteral("10115"));
    EXPECT_FALSE(m_db.InTransaction());

    // Text that is no number: the server's parse error, and still no half-written row.
    c.FieldByName(QStringLiteral("note")).SetAsString(QStringLiteral("gut"));
    try {
        c.Post();
        FAIL() << "post went through";
    } catch (const EVoskDatabaseError& e) {
        EXPECT_EQ(e.SqlState(), QStringLiteral("22P02")) << e.what();
        EXPECT_EQ(e.Message(), QStringLiteral("Das Feld „note“ enthält keine gültige Zahl "
                                              "(„gut“)."));
    }
    EXPECT_EQ(c.State(), dsEdit);

    c.FieldByName(QStringLiteral("note")).SetAsInteger(4);
    c.Post();
    EXPECT_EQ(scalar(QStringLiteral("SELECT plz || '/' || note FROM kunden WHERE dbrid = 1")),
              QStringLiteral("12345/4"));

    // A refused insert stays a new record with the user's values.
    c.Append();
    c.FieldByName(QStringLiteral("plz")).SetAsString(QStringLiteral("01067")); // name missing
    EXPECT_THROW(c.Post(), EVoskDatabaseError);
    EXPECT_EQ(c.State(), dsInsert);
    EXPECT_EQ(c.FieldByName(QStringLiteral("plz")).AsString(), QStringLiteral("01067"));
    EXPECT_EQ(scalar(QStringLiteral("SELECT count(*) FROM kunden")), QStringLiteral("3"));
}

TEST_F(KundenTest, RefusedPostInsideAnOuterTransactionKeepsTheOuterWork) {
    TVoskClass c;
    open(c);
    m_db.StartTransaction();
    m_db.Exec(QStringLiteral("INSERT INTO kunden (name) VALUES ('Außen')"));
    c.FieldByName(QStringLiteral("note")).SetAsInteger(0);
    EXPECT_THROW(c.Post(), EVoskDatabaseError);
    EXPECT_TRUE(m_db.InTransaction());
    m_db.Commit();
    EXPECT_EQ(scalar(QStringLiteral("SELECT count(*) FROM kunden WHERE name = 'Außen'")),
              QStringLiteral("1"));
}

TEST_F(KundenTest, SecondWriterOfTheSameRowIsRefused) {
    TVoskClass a, b;
    open(a);
    open(b);
    a.FieldByName(QStringLiteral("name")).SetAsString(QStringLiteral("Erster"));
    b.FieldByName(QStringLiteral("plz")).SetAsString(QStringLiteral("22222"));
    a.Post();
    EXPECT_EQ(messageOf([&] { b.Post(); }), kChanged);
    EXPECT_EQ(b.State(), dsEdit);
    EXPECT_EQ(scalar(QStringLiteral("SELECT name || '/' || plz FROM kunden WHERE dbrid = 1")),
              QStringLiteral("Erster/10115"));
    EXPECT_FALSE(m_db.InTransaction());

    // Deleting a row someone else changed is refused the same way.
    b.Cancel();
    TestDatabase::Exec(QStringLiteral("UPDATE kunden SET betrag = 1 WHERE dbrid = 1"));
    EXPECT_EQ(messageOf([&] { b.Delete(); }), kChanged);
    EXPECT_EQ(scalar(QStringLiteral("SELECT count(*) FROM kunden")), QStringLiteral("3"));
}

TEST_F(KundenTest, RowsWithNullsAreStillFoundAsRead) {
    TVoskClass c;
    open(c);
    ASSERT_TRUE(c.SearchDbrid(3)); // aktiv and note are null
    c.FieldByName(QStringLiteral("name")).SetAsString(QStringLiteral("Weber-Null"));
    c.Post();
    // A null made a value by another user counts as a change.
    TestDatabase::Exec(QStringLiteral("UPDATE kunden SET aktiv = true WHERE dbrid = 3"));
    c.FieldByName(QStringLiteral("name")).SetAsString(QStringLiteral("Weber"));
    EXPECT_EQ(messageOf([&] { c.Post(); }), kChanged);
}

TEST_F(KundenTest, RefreshRecordSeesAnotherUsersChange) {
    TVoskClass c;
    open(c);
    c.Next();
    TestDatabase::Exec(QStringLiteral("UPDATE kunden SET plz = '50667' WHERE dbrid = 2"));
    c.RefreshRecord();
    EXPECT_EQ(c.FieldByName(QStringLiteral("plz")).AsString(), QStringLiteral("50667"));
    // After the refresh the record counts as read again and can be written.
    c.FieldByName(QStringLiteral("note")).SetAsInteger(1);
    c.Post();
    EXPECT_EQ(scalar(QStringLiteral("SELECT note FROM kunden WHERE dbrid = 2")), QStringLiteral("1"));

    TestDatabase::Exec(QStringLiteral("DELETE FROM kunden WHERE dbrid = 2"));
    c.RefreshRecord();
    EXPECT_EQ(c.RecordCount(), 2);
    EXPECT_EQ(c.FieldByName(QStringLiteral("dbrid")).AsInteger(), 3);
}

TEST_F(KundenTest, RefreshKeepsThePositionOnTheKey) {
    TVoskClass c;
    open(c);
    int before = 0, after = 0;
    c.BeforeRefresh = [&](TVoskClass*) { ++before; };
    c.AfterRefresh = [&](TVoskClass*) { ++after; };
    c.Last();
    TestDatabase::Exec(QStringLiteral("DELETE FROM kunden WHERE dbrid = 1"));
    c.Refresh();
    EXPECT_EQ(c.RecordCount(), 2);
    EXPECT_EQ(c.FieldByName(QStringLiteral("dbrid")).AsInteger(), 3);
    EXPECT_EQ(before, 1);
    EXPECT_EQ(after, 1);
    c.Refresh(false);
    EXPECT_EQ(c.RecNo(), 1);
}

TEST_F(KundenTest, BeforePostRefusesByThrowing) {
    TVoskClass c;
    open(c);
    c.BeforePost = [](TVoskClass*) { throw EAbort(); };
    c.FieldByName(QStringLiteral("name")).SetAsString(QStringLiteral("Nie"));
    EXPECT_THROW(c.Post(), EAbort);
    EXPECT_EQ(c.State(), dsEdit);
    EXPECT_EQ(c.FieldByName(QStringLiteral("name")).AsString(), QStringLiteral("Nie"));
    EXPECT_EQ(scalar(QStringLiteral("SELECT name FROM kunden WHERE dbrid = 1")),
              QStringLiteral("Müller"));
    c.Post(false); // without asking
    EXPECT_EQ(scalar(QStringLiteral("SELECT name FROM kunden WHERE dbrid = 1")),
              QStringLiteral("Nie"));
}

TEST_F(KundenTest, ReadOnlyClassRefusesEveryChange) {
    TVoskClass c;
    open(c);
    c.FieldByName(QStringLiteral("name")).SetAsString(QStringLiteral("Offen"));
    c.SetReadOnly(true); // gives up the pending edit
    EXPECT_EQ(c.State(), dsBrowse);
    EXPECT_EQ(c.FieldByName(QStringLiteral("name")).AsString(), QStringLiteral("Müller"));
    EXPECT_FALSE(c.CanModify());
    const QString msg = messageOf([&] { c.Edit(); });
    EXPECT_TRUE(msg.contains(QStringLiteral("schreibgeschützt"))) << msg.toStdString();
    EXPECT_THROW(c.Append(), EVoskException);
    EXPECT_THROW(c.Delete(), EVoskException);
    EXPECT_THROW(c.FieldByName(QStringLiteral("name")).SetAsString(QStringLiteral("x")),
                 EVoskException);
    EXPECT_EQ(scalar(QStringLiteral("SELECT count(*) FROM kunden")), QStringLiteral("3"));
}

TEST_F(KundenTest, QueryClassWritesTableColumnsAndRereadsTheRest) {
    TestDatabase::Exec(QStringLiteral(
        "DROP TABLE IF EXISTS orte; CREATE TABLE orte (plz varchar(5) PRIMARY KEY, ort text); "
        "INSERT INTO orte VALUES ('10115', 'Berlin'), ('80331', 'München')"));
    TVoskClass2 c;
    c.SetDatabase(&m_db);
    c.SetSqlTable(QStringLiteral("kunden"));
    c.SetQuerySql(QStringLiteral(
        "SELECT k.*, o.ort, upper(k.name) AS gross FROM kunden k "
        "LEFT JOIN orte o ON o.plz = k.plz WHERE k.betrag >= :min ORDER BY k.dbrid;"));
    c.SetParam(QStringLiteral("min"), 0.5);
    c.Open();
    ASSERT_EQ(c.RecordCount(), 1);
    EXPECT_FALSE(c.FindField(QStringLiteral("ort")).Writable());
    EXPECT_FALSE(c.FindField(QStringLiteral("gross")).Writable());
    EXPECT_TRUE(c.FindField(QStringLiteral("plz")).Writable());
    EXPECT_THROW(c.FieldByName(QStringLiteral("ort")).SetAsString(QStringLiteral("x")),
                 EVoskException);

    c.FieldByName(QStringLiteral("plz")).SetAsString(QStringLiteral("80331"));
    c.FieldByName(QStringLiteral("name")).SetAsString(QStringLiteral("Huber"));
    c.Post();
    EXPECT_EQ(c.FieldByName(QStringLiteral("ort")).AsString(), QStringLiteral("München"));
    EXPECT_EQ(c.FieldByName(QStringLiteral("gross")).AsString(), QStringLiteral("HUBER"));
}

TEST_F(KundenTest, SubClassesAndDescription) {
    TVoskClass master;
    master.setObjectName(QStringLiteral("Kunden"));
    auto* first = new TVoskClass(&master);
    auto* second = new TVoskClass2(&master);
    EXPECT_EQ(master.Children(), (QList<TVoskClass*>{first, second}));
    EXPECT_EQ(second->MasterClass(), &master);
    EXPECT_EQ(master.MasterClass(), nullptr);

    master.SetSqlTable(QStringLiteral("kunden"));
    EXPECT_EQ(master.Description(), QStringLiteral("kunden"));
    TVoskClass::AliasHook.Set([](const QString& t) {
        return t == QLatin1String("kunden") ? QStringLiteral("Kunden") : QString();
    });
    EXPECT_EQ(master.Description(), QStringLiteral("Kunden"));
    TVoskClass::AliasHook.Reset();
    master.SetDescription(QStringLiteral("Stammkunden"));
    EXPECT_EQ(master.Description(), QStringLiteral("Stammkunden"));

    // Not opened: a clear refusal, no crash.
    EXPECT_THROW(master.Next(), EVoskException);
    EXPECT_FALSE(master.Active());
}

TEST_F(KundenTest, TheCatalogueIsReadOncePerConnectionAndAgainWhenTheTableChanged) {
    TVoskClass c;
    const auto opens = [&] {
        const qint64 before = m_db.RoundTrips();
        c.Close();
        open(c);
        return m_db.RoundTrips() - before;
    };
    EXPECT_EQ(opens(), 2); // the rows and the catalogue
    EXPECT_EQ(opens(), 1);
    EXPECT_EQ(c.FieldSize(c.FieldIndex(QStringLiteral("plz"))), 5);

    // A new column, a longer one and a table made anew are each seen on the next open.
    TestDatabase::Exec(QStringLiteral("ALTER TABLE kunden ADD COLUMN ort varchar(3)"));
    EXPECT_EQ(opens(), 2);
    EXPECT_TRUE(c.FieldWritable(c.FieldIndex(QStringLiteral("ort"))));
    EXPECT_EQ(c.FieldSize(c.FieldIndex(QStringLiteral("ort"))), 3);
    TestDatabase::Exec(QStringLiteral("ALTER TABLE kunden ALTER COLUMN plz TYPE varchar(9)"));
    EXPECT_EQ(opens(), 2);
    EXPECT_EQ(c.FieldSize(c.FieldIndex(QStringLiteral("plz"))), 9);
    TestDatabase::Exec(QStringLiteral(
        "DROP TABLE kunden; CREATE TABLE kunden (dbrid serial PRIMARY KEY, name text, "
        "plz varchar(9)); INSERT INTO kunden (name) VALUES ('Neu')"));
    EXPECT_EQ(opens(), 2);
    ASSERT_EQ(c.RecordCount(), 1);
    c.FieldByName(QStringLiteral("name")).SetAsString(QStringLiteral("Neu geschrieben"));
    c.Post();
    EXPECT_EQ(scalar(QStringLiteral("SELECT name FROM kunden")), QStringLiteral("Neu geschrieben"));

    // What the check cannot see (a new default) is read again after a refresh of the table.
    m_db.ForgetTableInfo(QStringLiteral("KUNDEN"));
    EXPECT_EQ(opens(), 2);
}

TEST_F(KundenTest, WrittenRowsKeepTheirOwnValuesThroughSortsAndRefreshes) {
    TVoskClass c;
    open(c);
    const int name = c.FieldIndex(QStringLiteral("name"));
    c.FieldByName(QStringLiteral("name")).SetAsString(QStringLiteral("Zimmer"));
    c.Post();
    c.Append();
    c.FieldByName(QStringLiteral("name")).SetAsString(QStringLiteral("Adler"));
    c.FieldByName(QStringLiteral("betrag")).SetAsFloat(3.5);
    c.Post();
    c.SortBy(name, true);
    QStringList names;
    for (int r = 0; r < c.RecordCount(); ++r)
        names << c.Value(r, name).toString();
    EXPECT_EQ(names, (QStringList{QStringLiteral("Adler"), QStringLiteral("Schmidt"),
                                  QStringLiteral("Weber"), QStringLiteral("Zimmer")}));
    // The new row's key came back with the write and finds it again after a refresh.
    c.First();
    EXPECT_EQ(c.FieldByName(QStringLiteral("insert_by")).AsString(), QStringLiteral("system"));
    EXPECT_DOUBLE_EQ(c.FieldByName(QStringLiteral("betrag")).AsFloat(), 3.5);
    const QString adler = c.KeyText();
    c.Refresh();
    EXPECT_EQ(c.KeyText(), adler);
    EXPECT_EQ(c.FieldByName(QStringLiteral("name")).AsString(), QStringLiteral("Adler"));

    // An edit given up shows the row as read again; the server was never asked.
    c.Last();
    const QString before = c.FieldByName(QStringLiteral("name")).AsString();
    c.FieldByName(QStringLiteral("name")).SetAsString(QStringLiteral("Verworfen"));
    EXPECT_EQ(c.Value(c.CurrentRow(), name).toString(), QStringLiteral("Verworfen"));
    c.Cancel();
    EXPECT_EQ(c.FieldByName(QStringLiteral("name")).AsString(), before);
    int length = 0;
    const char* text = c.ValueText(c.CurrentRow(), name, &length);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(QString::fromUtf8(text, length), before);
}

TEST_F(KundenTest, StandingOnNoRecordLooksEmptyUntilTheCursorMoves) {
    TVoskClass c;
    open(c);
    c.Next();
    std::vector<int> announced;
    QObject::connect(&c, &TVoskClass::CurrentChanged, [&](int row) { announced.push_back(row); });
    c.ClearCurrent();
    EXPECT_EQ(announced, std::vector<int>{-1});
    EXPECT_EQ(c.RecordCount(), 3);
    EXPECT_TRUE(c.IsEmpty());
    EXPECT_FALSE(c.HasRecord());
    EXPECT_EQ(c.RecNo(), 0);
    EXPECT_TRUE(c.Bof() && c.Eof());
    EXPECT_TRUE(c.FieldByName(QStringLiteral("name")).IsNull());
    EXPECT_EQ(c.KeyText(), QString());
    EXPECT_THROW(c.Delete(), EVoskException);
    c.Next();
    c.Prior();
    EXPECT_EQ(c.CurrentRow(), -1);
    c.Refresh();
    EXPECT_EQ(c.CurrentRow(), -1);
    EXPECT_EQ(scalar(QStringLiteral("SELECT count(*) FROM kunden")), QStringLiteral("3"));

    // A new record given up goes back to none; one moved to is a record again.
    c.Append();
    EXPECT_EQ(c.CurrentRow(), 3);
    c.Cancel();
    EXPECT_EQ(c.CurrentRow(), -1);
    c.SetRecNo(2);
    EXPECT_EQ(c.FieldByName(QStringLiteral("name")).AsString(), QStringLiteral("Schmidt"));
    EXPECT_EQ(announced.back(), 1);
}

// What a user reads when the server refuses a write: one German sentence per kind of refusal,
// naming the field by its alias, with the server's words kept for the details. And the new record
// a user starts: the columns the server fills are neither typed nor sent.
#include "Fixture.h"

#include <UDM1.h>
#include <VoskDbErrors.h>
#include <VoskExceptions.h>

using testsupport::TestDatabase;

class DatabaseErrorTest : public KundenTest {
protected:
    void SetUp() override {
        KundenTest::SetUp();
        TestDatabase::Exec(QStringLiteral(
            "DROP TABLE IF EXISTS orte; CREATE TABLE orte (plz varchar(5) PRIMARY KEY); "
            "INSERT INTO orte VALUES ('10115'), ('80331'); "
            "ALTER TABLE kunden ADD CONSTRAINT kunden_ort FOREIGN KEY (plz) REFERENCES orte, "
            "ADD CONSTRAINT kunden_name_eindeutig UNIQUE (name); "
            "DELETE FROM tablefieldinfo WHERE tablename IN ('kunden', 'orte'); "
            "INSERT INTO tablefieldinfo (tablename, field, alias) VALUES "
            "('kunden', '', 'Kunden'), ('kunden', 'name', 'Firmenname'), "
            "('kunden', 'plz', 'Postleitzahl'), ('kunden', 'note', 'Bewertung'), "
            "('orte', '', 'Orte')"));
        m_dm.Connect();
    }

    // The message of the refused post of the current record, which stays in edit.
    QString refused(TVoskClass& c, const QString& state) {
        try {
            c.Post();
        } catch (const EVoskDatabaseError& e) {
            EXPECT_EQ(e.SqlState(), state) << e.what();
            EXPECT_TRUE(e.IsTranslated()) << e.what();
            EXPECT_FALSE(e.Details().isEmpty());
            EXPECT_TRUE(c.InEdit());
            c.Cancel();
            return e.Message();
        }
        ADD_FAILURE() << "post went through";
        return {};
    }

    TDM1 m_dm;
};

TEST_F(DatabaseErrorTest, EachRefusalNamesTheFieldByItsAlias) {
    TVoskClass c;
    open(c);
    c.FieldByName(QStringLiteral("plz")).SetAsString(QStringLiteral("123456"));
    EXPECT_EQ(refused(c, QStringLiteral("22001")),
              QStringLiteral("Das Feld „Postleitzahl“ darf höchstens 5 Zeichen lang sein."));

    c.FieldByName(QStringLiteral("name")).Clear();
    EXPECT_EQ(refused(c, QStringLiteral("23502")),
              QStringLiteral("Das Feld „Firmenname“ muss ausgefüllt werden."));

    c.FieldByName(QStringLiteral("note")).SetAsString(QStringLiteral("sehr gut"));
    EXPECT_EQ(refused(c, QStringLiteral("22P02")),
              QStringLiteral("Das Feld „Bewertung“ enthält keine gültige Zahl („sehr gut“)."));

    c.FieldByName(QStringLiteral("name")).SetAsString(QStringLiteral("Weber"));
    EXPECT_EQ(refused(c, QStringLiteral("23505")),
              QStringLiteral("Der Wert „Weber“ für „Firmenname“ ist bereits vergeben."));

    c.FieldByName(QStringLiteral("plz")).SetAsString(QStringLiteral("99999"));
    EXPECT_EQ(refused(c, QStringLiteral("23503")),
              QStringLiteral("Zu „Postleitzahl“ gibt es keinen Datensatz „99999“ in „Orte“."));

    c.FieldByName(QStringLiteral("note")).SetAsInteger(9);
    EXPECT_EQ(refused(c, QStringLiteral("23514")),
              QStringLiteral("Der Wert von „Bewertung“ ist nicht zulässig (Prüfregel "
                             "„kunden_note_check“)."));
    EXPECT_EQ(scalar(QStringLiteral("SELECT concat_ws('/', name, plz, note) FROM kunden "
                                    "WHERE dbrid = 1")),
              QStringLiteral("Müller/10115/2"));

    // Deleting a row others still point at names the table that does.
    TVoskClass orte;
    orte.SetDatabase(&m_db);
    orte.SetSqlTable(QStringLiteral("orte"));
    orte.SetKeyFieldName(QStringLiteral("plz"));
    orte.Open();
    try {
        orte.Delete();
        ADD_FAILURE() << "delete went through";
    } catch (const EVoskDatabaseError& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Der Datensatz wird noch in „Kunden“ verwendet und "
                                              "kann nicht gelöscht werden."));
    }
    EXPECT_EQ(orte.RecordCount(), 2);
}

TEST_F(DatabaseErrorTest, ErrorsOutsideTheMappingKeepTheirTechnicalText) {
    const EVoskDatabaseError e(QStringLiteral("Fehler"), QStringLiteral("deadlock detected"),
                               QStringLiteral("40P01"));
    EXPECT_FALSE(Dunmere::GermanDatabaseMessage(e, {}).has_value());
    EXPECT_FALSE(Dunmere::TranslateDatabaseError(e, {}).IsTranslated());
    const auto key = Dunmere::ParseKeyDetail(
        QStringLiteral("Key (a, \"b c\")=(1, x) already exists."));
    EXPECT_EQ(key.columns, (QStringList{QStringLiteral("a"), QStringLiteral("b c")}));
    EXPECT_EQ(key.values, QStringLiteral("1, x"));
}

TEST_F(DatabaseErrorTest, NewRecordLeavesServerColumnsToTheServer) {
    TestDatabase::Exec(QStringLiteral(
        "ALTER TABLE kunden ADD COLUMN insert_date timestamp, ADD COLUMN modified_date timestamp, "
        "ADD COLUMN modified_by text"));
    TVoskClass c;
    open(c);
    const int key = c.FieldIndex(QStringLiteral("dbrid"));
    const int note = c.FieldIndex(QStringLiteral("note"));
    EXPECT_TRUE(c.FieldServerFilled(key));
    EXPECT_TRUE(c.FieldServerFilled(c.FieldIndex(QStringLiteral("insert_by"))));
    EXPECT_FALSE(c.FieldEditable(key));
    EXPECT_TRUE(c.FieldEditable(note));
    EXPECT_EQ(c.FieldSize(c.FieldIndex(QStringLiteral("plz"))), 5);
    EXPECT_TRUE(c.FieldIsInteger(note));
    EXPECT_TRUE(c.FieldIsNumeric(c.FieldIndex(QStringLiteral("betrag"))));
    EXPECT_FALSE(c.FieldIsInteger(c.FieldIndex(QStringLiteral("betrag"))));

    c.Last();
    c.Append();
    // An editor left empty on a number column means no value: nothing is sent for it.
    c.SetValue(key, QString());
    c.SetValue(note, QString());
    EXPECT_FALSE(c.Modified());
    c.FieldByName(QStringLiteral("name")).SetAsString(QStringLiteral("Neu"));
    c.Post();
    EXPECT_EQ(c.FieldByName(QStringLiteral("dbrid")).AsInteger(), 4);
    EXPECT_EQ(c.FieldByName(QStringLiteral("insert_by")).AsString(), QStringLiteral("system"));
    EXPECT_TRUE(c.FieldByName(QStringLiteral("note")).IsNull());

    // A refused new record given up goes quietly, and the cursor is where the user was.
    c.First();
    c.Insert();
    c.FieldByName(QStringLiteral("plz")).SetAsString(QStringLiteral("zu lang"));
    EXPECT_THROW(c.Post(), EVoskDatabaseError);
    c.Cancel();
    EXPECT_EQ(c.RecordCount(), 4);
    EXPECT_EQ(c.RecNo(), 1);
    EXPECT_EQ(c.State(), dsBrowse);
}

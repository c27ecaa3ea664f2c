// The item model while the data class has a new record open, changes values on the server side,
// or goes away under a view.
#include "Fixture.h"

#include <DialogAnswerer.h>
#include <EventGuard.h>
#include <TVoskDataModel.h>

#include <QAbstractItemModelTester>
#include <QSignalSpy>

#include <memory>

using testsupport::TestDatabase;

class DataModelEdgeTest : public KundenTest {};

TEST_F(DataModelEdgeTest, EditingAnotherRowWhileANewRecordIsOpenChangesThatRow) {
    TVoskClass c;
    TVoskDataModel model(&c);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    open(c);
    const int name = model.ColumnOfField(QStringLiteral("name"));
    c.Next();
    c.Insert(); // blank record before Schmidt; the view shows it in row 1
    ASSERT_EQ(model.rowCount(), 4);
    const QModelIndex schmidt = model.index(2, name);
    ASSERT_EQ(model.data(schmidt).toString(), QStringLiteral("Schmidt"));

    // The untouched new record is given up; the edit must still land on Schmidt.
    EXPECT_TRUE(model.setData(schmidt, QStringLiteral("Schmidtke")));
    EXPECT_EQ(model.rowCount(), 3);
    EXPECT_EQ(c.FieldByName(QStringLiteral("dbrid")).AsInteger(), 2);
    c.Post();
    EXPECT_EQ(scalar(QStringLiteral("SELECT string_agg(name, ',' ORDER BY dbrid) FROM kunden")),
              QStringLiteral("Müller,Schmidtke,Weber"));

    // A filled-in new record is written first and keeps its row.
    c.First();
    c.Insert();
    EXPECT_TRUE(model.setData(model.index(0, name), QStringLiteral("Anfang")));
    EXPECT_TRUE(model.setData(model.index(3, name), QStringLiteral("Weber-Neu")));
    c.Post();
    EXPECT_EQ(model.rowCount(), 4);
    EXPECT_EQ(scalar(QStringLiteral("SELECT string_agg(name, ',' ORDER BY dbrid) FROM kunden")),
              QStringLiteral("Müller,Schmidtke,Weber-Neu,Anfang"));
}

TEST_F(DataModelEdgeTest, ValuesTheServerChangedOnPostReachTheView) {
    TestDatabase::Exec(QStringLiteral(
        "CREATE FUNCTION kunden_gross() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN "
        "NEW.name := upper(NEW.name); RETURN NEW; END $$; "
        "CREATE TRIGGER kunden_gross BEFORE UPDATE ON kunden FOR EACH ROW "
        "EXECUTE FUNCTION kunden_gross()"));
    TVoskClass c;
    TVoskDataModel model(&c);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    open(c);
    const int name = model.ColumnOfField(QStringLiteral("name"));
    ASSERT_TRUE(model.setData(model.index(1, name), QStringLiteral("Schulz")));
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    c.Post();
    EXPECT_EQ(model.data(model.index(1, name)).toString(), QStringLiteral("SCHULZ"));
    bool rowAnnounced = false;
    for (const auto& args : changed) {
        const auto from = args.at(0).value<QModelIndex>();
        const auto to = args.at(1).value<QModelIndex>();
        rowAnnounced |= from.row() <= 1 && to.row() >= 1 && from.column() <= name &&
                        to.column() >= name;
    }
    EXPECT_TRUE(rowAnnounced);
}

TEST_F(DataModelEdgeTest, CellsOutsideTheTableAreShownButNeverWritten) {
    TestDatabase::Exec(QStringLiteral(
        "CREATE TABLE orte (plz varchar(5) PRIMARY KEY, ort text); "
        "INSERT INTO orte VALUES ('10115', 'Berlin')"));
    TVoskClass2 c;
    c.SetDatabase(&m_db);
    c.SetSqlTable(QStringLiteral("kunden"));
    c.SetQuerySql(QStringLiteral("SELECT k.*, o.ort FROM kunden k LEFT JOIN orte o USING (plz) "
                                 "ORDER BY k.dbrid"));
    TVoskDataModel model(&c);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    c.Open();
    const QModelIndex ort = model.index(0, model.ColumnOfField(QStringLiteral("ort")));
    EXPECT_EQ(model.data(ort).toString(), QStringLiteral("Berlin"));
    EXPECT_FALSE(model.flags(ort) & Qt::ItemIsEditable);
    EXPECT_TRUE(model.flags(ort) & Qt::ItemIsSelectable);
    // Refused quietly, as any model refuses a read-only cell: no message, no edit state.
    EXPECT_FALSE(model.setData(ort, QStringLiteral("Bonn")));
    EXPECT_EQ(c.State(), dsBrowse);
    EXPECT_TRUE(model.LastError().isEmpty());
    EXPECT_EQ(model.headerData(2, Qt::Vertical).toInt(), 3);
    EXPECT_FALSE(model.headerData(99, Qt::Horizontal).isValid());
    EXPECT_FALSE(model.data(model.index(0, 0), Qt::DecorationRole).isValid());
    EXPECT_FALSE(model.setData(model.index(0, 1), QStringLiteral("x"), Qt::DisplayRole));
}

TEST_F(DataModelEdgeTest, AbortInTheBeforePostEndsTheEditSilently) {
    TVoskClass c;
    TVoskDataModel model(&c);
    open(c);
    c.BeforePost = [](TVoskClass*) { throw EAbort(); };
    const int plz = model.ColumnOfField(QStringLiteral("plz"));
    ASSERT_TRUE(model.setData(model.index(0, plz), QStringLiteral("11111")));
    // Moving on must post; the abort refuses it without any message and keeps the record.
    testsupport::DialogAnswerer strict; // any message would fail the test
    EXPECT_FALSE(model.setData(model.index(2, plz), QStringLiteral("22222")));
    EXPECT_TRUE(model.LastError().isEmpty());
    EXPECT_EQ(c.RecNo(), 1);
    EXPECT_EQ(c.FieldByName(QStringLiteral("plz")).AsString(), QStringLiteral("11111"));
    EXPECT_EQ(scalar(QStringLiteral("SELECT count(*) FROM kunden WHERE plz IN ('11111', "
                                    "'22222')")),
              QStringLiteral("0"));
}

TEST_F(DataModelEdgeTest, TheClassGoingAwayEmptiesTheModel) {
    auto c = std::make_unique<TVoskClass>();
    TVoskDataModel model(c.get());
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    open(*c);
    ASSERT_EQ(model.rowCount(), 3);
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    c.reset();
    EXPECT_EQ(reset.count(), 1);
    EXPECT_EQ(model.DataClass(), nullptr);
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_EQ(model.columnCount(), 0);
    EXPECT_EQ(model.ColumnOfField(QStringLiteral("name")), -1);
    EXPECT_FALSE(model.setData(model.index(0, 0), QStringLiteral("x")));
    EXPECT_FALSE(model.headerData(0, Qt::Horizontal).isValid());

    TVoskDataModel none(nullptr);
    EXPECT_EQ(none.rowCount(), 0);
    EXPECT_EQ(none.flags(none.index(0, 0)), Qt::NoItemFlags);
}

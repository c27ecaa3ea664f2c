#include "Fixture.h"

#include <DialogAnswerer.h>
#include <TVoskDataModel.h>

#include <QAbstractItemModelTester>

using testsupport::TestDatabase;

class DataModelTest : public KundenTest {};

TEST_F(DataModelTest, FollowsEditsInsertsDeletesAndRefresh) {
    TVoskClass c;
    TVoskDataModel model(&c);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    EXPECT_EQ(model.rowCount(), 0);
    open(c);
    ASSERT_EQ(model.rowCount(), 3);
    const int name = model.ColumnOfField(QStringLiteral("name"));
    ASSERT_GE(name, 0);
    EXPECT_EQ(model.headerData(name, Qt::Horizontal).toString(), QStringLiteral("name"));
    EXPECT_EQ(model.data(model.index(0, name)).toString(), QStringLiteral("Müller"));

    // Editing another row moves the class there first.
    EXPECT_TRUE(model.setData(model.index(1, name), QStringLiteral("Schmidtke")));
    EXPECT_EQ(c.RecNo(), 2);
    EXPECT_EQ(c.State(), dsEdit);
    c.Post();
    EXPECT_EQ(scalar(QStringLiteral("SELECT name FROM kunden WHERE dbrid = 2")),
              QStringLiteral("Schmidtke"));

    c.Append();
    EXPECT_EQ(model.rowCount(), 4);
    EXPECT_TRUE(model.setData(model.index(3, name), QStringLiteral("Neu")));
    c.Post();
    EXPECT_EQ(model.data(model.index(3, model.ColumnOfField(QStringLiteral("dbrid")))).toInt(), 4);
    c.Insert();
    EXPECT_EQ(model.rowCount(), 5);
    c.Cancel();
    EXPECT_EQ(model.rowCount(), 4);

    c.First();
    c.Delete();
    EXPECT_EQ(model.rowCount(), 3);
    TestDatabase::Exec(QStringLiteral("INSERT INTO kunden (name) VALUES ('Fremd')"));
    c.Refresh();
    EXPECT_EQ(model.rowCount(), 4);
    c.Close();
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_EQ(model.columnCount(), 0);
}

TEST_F(DataModelTest, RefusedEditIsReportedNotThrown) {
    TVoskClass c;
    TVoskDataModel model(&c);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    open(c);
    const int note = model.ColumnOfField(QStringLiteral("note"));
    EXPECT_TRUE(model.setData(model.index(0, note), 9));
    // Moving on posts the bad value: the server refuses, the class stays on the record.
    testsupport::DialogAnswerer answers;
    answers.Expect(QStringLiteral("kunden_note_check"), Vcl::mrOk);
    EXPECT_FALSE(model.setData(model.index(1, note), 1));
    EXPECT_TRUE(model.LastError().contains(QStringLiteral("kunden_note_check")));
    EXPECT_EQ(c.RecNo(), 1);
    EXPECT_EQ(c.State(), dsEdit);
}

TEST_F(DataModelTest, EditableOnlyWhileTheClassMayChange) {
    TVoskClass c;
    TVoskDataModel model(&c);
    open(c);
    const QModelIndex i = model.index(0, model.ColumnOfField(QStringLiteral("name")));
    EXPECT_TRUE(model.flags(i) & Qt::ItemIsEditable);
    c.SetReadOnly(true);
    EXPECT_FALSE(model.flags(i) & Qt::ItemIsEditable);
    EXPECT_FALSE(model.setData(i, QStringLiteral("x")));
    EXPECT_EQ(c.State(), dsBrowse);
}

TEST_F(DataModelTest, DatesAndNumbersShowTheGermanWayButEditTyped) {
    TestDatabase::Exec(QStringLiteral(
        "ALTER TABLE kunden ADD COLUMN seit date, ADD COLUMN geaendert timestamp; "
        "UPDATE kunden SET seit = '2026-12-31', geaendert = '2027-01-03 08:05:00' WHERE dbrid = 1; "
        "UPDATE kunden SET geaendert = '2027-01-03 08:05:09' WHERE dbrid = 2"));
    TVoskClass c;
    TVoskDataModel model(&c);
    open(c);
    const QModelIndex seit = model.index(0, model.ColumnOfField(QStringLiteral("seit")));
    const int geaendert = model.ColumnOfField(QStringLiteral("geaendert"));
    const QModelIndex betrag = model.index(0, model.ColumnOfField(QStringLiteral("betrag")));
    EXPECT_EQ(model.data(seit).toString(), QStringLiteral("31.12.2026"));
    EXPECT_EQ(model.data(seit, Qt::EditRole).toDate(), QDate(2026, 12, 31));
    EXPECT_EQ(model.data(model.index(0, geaendert)).toString(), QStringLiteral("03.01.2027 08:05"));
    EXPECT_EQ(model.data(model.index(1, geaendert)).toString(),
              QStringLiteral("03.01.2027 08:05:09"));
    EXPECT_EQ(model.data(betrag).toString(), QStringLiteral("12,5"));
    EXPECT_DOUBLE_EQ(model.data(betrag, Qt::EditRole).toDouble(), 12.5);
    EXPECT_FALSE(model.data(model.index(2, geaendert)).isValid()); // Null stays empty
}

// The address grid's current record under its search field and filters: a record they hide is
// never the one the navigator, the edits and the keys act on; it moves to the nearest row still
// shown, and with none shown the class stands on no record.
#include "ModulFormFixture.h"

#include "TopLabel.h"

class GridCurrentRowTest : public ModulFormFixture {
protected:
    void TearDown() override {
        ModulFormFixture::TearDown();
        testsupport::TestDatabase::Exec(QStringLiteral("DELETE FROM adressen WHERE ort = 'Probe'"));
    }
    // The address form with three more addresses in the town "Probe" (a filter's own rows).
    TFormAdress* OpenWithProbes() {
        testsupport::TestDatabase::Exec(QStringLiteral(
            "INSERT INTO adressen (name, ort, plz) VALUES ('Probe A', 'Probe', '1'), "
            "('Probe B', 'Probe', '2'), ('Probe C', 'Probe', '3')"));
        return Open();
    }
    static TVoskDBGrid2* GoTo(TFormAdress* f, const QString& name) {
        TVoskDBGrid2* grid = f->GridAdressen;
        const int row = f->DataAdressen->Locate(QStringLiteral("name"), name)
                            ? f->DataAdressen->CurrentRow()
                            : -1;
        EXPECT_GE(row, 0) << name.toStdString();
        // A click on the row, as the user picks a record.
        const QRect cell = grid->visualRect(grid->model()->index(row, 1));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
        return grid;
    }
    static QLineEdit* OpenSearch(TFormAdress* f) {
        QTest::mouseClick(f->TopLabel->btSearchData, Qt::LeftButton);
        QLineEdit* panel = f->GridAdressen->SearchPanel();
        EXPECT_TRUE(panel && panel->isVisible());
        return panel;
    }
    static void Retype(QLineEdit* e, const QString& text) {
        e->setFocus();
        QTest::keyClick(e, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(e, Qt::Key_Backspace);
        QTest::keyClicks(e, text);
    }
    // The record the grid, the class and the name edit agree on; empty for none.
    static QString Current(TFormAdress* f) {
        const int row = f->GridAdressen->currentIndex().row();
        EXPECT_EQ(row, f->DataAdressen->CurrentRow());
        if (row >= 0) {
            EXPECT_FALSE(f->GridAdressen->isRowHidden(row));
        }
        const QString name = f->DataAdressen->FieldByName(QStringLiteral("name")).AsString();
        EXPECT_EQ(f->EdName->text(), name);
        return name;
    }
    static bool Enabled(TFormAdress* f, NavBtn nb) {
        return f->TopLabel->DBN1->ButtonControl(nb)->isEnabled();
    }
};

TEST_F(GridCurrentRowTest, SearchTextMovesTheRecordToTheNearestRowShownOrToNone) {
    TFormAdress* f = Open();
    TVoskDBGrid2* grid = GoTo(f, QStringLiteral("Adresse 05"));
    ASSERT_EQ(Current(f), QStringLiteral("Adresse 05"));
    QLineEdit* search = OpenSearch(f);
    ASSERT_TRUE(search);

    // 05 is hidden: the next row shown below it.
    QTest::keyClicks(search, QStringLiteral("adresse 1"));
    EXPECT_EQ(Current(f), QStringLiteral("Adresse 10"));
    EXPECT_TRUE(grid->selectionModel()->isRowSelected(grid->currentIndex().row()));

    // Nothing shown below 15 once "0" is typed: the one above.
    GoTo(f, QStringLiteral("Adresse 15"));
    Retype(search, QStringLiteral("adresse 0"));
    EXPECT_EQ(Current(f), QStringLiteral("Adresse 09"));

    // Clearing the text keeps the record where it now is.
    Retype(search, QString());
    EXPECT_EQ(grid->ShownRows().size(), 20);
    EXPECT_EQ(Current(f), QStringLiteral("Adresse 09"));

    // A text no row holds: no record, nothing to move to, edit or delete.
    Retype(search, QStringLiteral("kein solcher text"));
    EXPECT_TRUE(grid->ShownRows().isEmpty());
    EXPECT_FALSE(grid->currentIndex().isValid());
    EXPECT_TRUE(grid->selectionModel()->selectedRows().isEmpty());
    EXPECT_EQ(f->DataAdressen->CurrentRow(), -1);
    EXPECT_FALSE(f->DataAdressen->HasRecord());
    EXPECT_EQ(Current(f), QString());
    for (NavBtn nb : {nbFirst, nbPrior, nbNext, nbLast, nbDelete, nbEdit})
        EXPECT_FALSE(Enabled(f, nb)) << int(nb);
    EXPECT_TRUE(Enabled(f, nbInsert));
    grid->setFocus();
    QTest::keyClick(grid, Qt::Key_Delete);
    QTest::keyClick(grid, Qt::Key_F2);
    EXPECT_EQ(m_answers.Questions().size(), 0u);
    EXPECT_EQ(testsupport::TestDatabase::Scalar(QStringLiteral("SELECT count(*) FROM adressen")),
              QStringLiteral("20"));

    // Rows again: the first one shown becomes the record.
    Retype(search, QStringLiteral("adresse 1"));
    EXPECT_EQ(Current(f), QStringLiteral("Adresse 10"));
    EXPECT_TRUE(Enabled(f, nbDelete));
    // Esc closes the field and shows every row, the record staying.
    search->setFocus();
    QTest::keyClick(search, Qt::Key_Escape);
    EXPECT_EQ(grid->ShownRows().size(), 20);
    EXPECT_EQ(Current(f), QStringLiteral("Adresse 10"));
}

TEST_F(GridCurrentRowTest, FilterHidingTheRecordAfterAPostOrADeleteMovesItOn) {
    TFormAdress* f = OpenWithProbes();
    TVoskDBGrid2* grid = GoTo(f, QStringLiteral("Adresse 03"));
    grid->SetGridFilterText(QStringLiteral("ort = 'Probe'"));
    EXPECT_EQ(grid->ShownRows().size(), 3);
    EXPECT_EQ(Current(f), QStringLiteral("Probe A"));

    // The town typed away from the filter: once posted the record is hidden and left.
    GoTo(f, QStringLiteral("Probe B"));
    Type(f->EdOrt, QStringLiteral("Anderswo"));
    m_answers.Expect(QStringLiteral("Änderungen speichern?"), Vcl::mrYes);
    Click(f, nbPost);
    EXPECT_EQ(grid->ShownRows().size(), 2);
    EXPECT_EQ(Current(f), QStringLiteral("Probe C"));

    // Deleted, the class moves on to the row after it, which the filter hides.
    m_answers.ExpectAny(Vcl::mrYes);
    Click(f, nbDelete);
    EXPECT_EQ(Current(f), QStringLiteral("Probe A"));
    m_answers.ExpectAny(Vcl::mrYes);
    Click(f, nbDelete);
    EXPECT_TRUE(grid->ShownRows().isEmpty());
    EXPECT_EQ(f->DataAdressen->CurrentRow(), -1);
    EXPECT_FALSE(Enabled(f, nbDelete));

    // A new record started with none shown and given up: again no record.
    Click(f, nbInsert);
    EXPECT_TRUE(f->DataAdressen->IsNewRecord());
    EXPECT_FALSE(grid->isRowHidden(f->DataAdressen->CurrentRow()));
    Click(f, nbCancel);
    EXPECT_EQ(f->DataAdressen->CurrentRow(), -1);
    EXPECT_EQ(Current(f), QString());

    // The filter lifted: the first row becomes the record.
    grid->GridFilterClear();
    EXPECT_EQ(Current(f), QStringLiteral("Adresse 01"));
    EXPECT_EQ(testsupport::TestDatabase::Scalar(
                  QStringLiteral("SELECT string_agg(name, ',' ORDER BY name) FROM adressen "
                                 "WHERE ort IN ('Probe', 'Anderswo')")),
              QStringLiteral("Probe B"));
    EXPECT_EQ(m_answers.Pending(), 0);
    testsupport::TestDatabase::Exec(QStringLiteral("DELETE FROM adressen WHERE ort = 'Anderswo'"));
}

TEST_F(GridCurrentRowTest, SkipButtonsStepThroughTheRowsTheGridShows) {
    TFormAdress* f = Open();
    TVoskDBGrid2* grid = GoTo(f, QStringLiteral("Adresse 05"));
    QLineEdit* search = OpenSearch(f);
    ASSERT_TRUE(search);
    // Only 05 and 15 hold a "5" (in name, town or postcode).
    QTest::keyClicks(search, QStringLiteral("5"));
    ASSERT_EQ(grid->ShownRows().size(), 2);
    ASSERT_EQ(Current(f), QStringLiteral("Adresse 05"));
    EXPECT_FALSE(Enabled(f, nbFirst));
    EXPECT_FALSE(Enabled(f, nbPrior));
    EXPECT_TRUE(Enabled(f, nbNext));
    EXPECT_TRUE(Enabled(f, nbLast));

    Click(f, nbNext);
    EXPECT_EQ(Current(f), QStringLiteral("Adresse 15"));
    EXPECT_FALSE(Enabled(f, nbNext));
    EXPECT_FALSE(Enabled(f, nbLast));
    EXPECT_TRUE(Enabled(f, nbPrior));
    Click(f, nbPrior);
    EXPECT_EQ(Current(f), QStringLiteral("Adresse 05"));
    Click(f, nbLast);
    EXPECT_EQ(Current(f), QStringLiteral("Adresse 15"));
    Click(f, nbFirst);
    EXPECT_EQ(Current(f), QStringLiteral("Adresse 05"));

    // A changed record is saved on the way, as the move would without a filter.
    Type(f->EdOrt, QStringLiteral("Ort 5 neu"));
    m_answers.ExpectAny(Vcl::mrYes);
    Click(f, nbNext);
    EXPECT_EQ(m_answers.Pending(), 0);
    EXPECT_EQ(Current(f), QStringLiteral("Adresse 15"));
    EXPECT_EQ(testsupport::TestDatabase::Scalar(
                  QStringLiteral("SELECT ort FROM adressen WHERE name = 'Adresse 05'")),
              QStringLiteral("Ort 5 neu"));
    testsupport::TestDatabase::Exec(
        QStringLiteral("UPDATE adressen SET ort = 'Ort 5' WHERE name = 'Adresse 05'"));

    // Loops over the class itself still see every record.
    TVoskClass* data = f->DataAdressen;
    int records = 0;
    for (data->First(); !data->Eof(); data->Next())
        ++records;
    EXPECT_EQ(records, 20);
    GoTo(f, QStringLiteral("Adresse 15"));

    // A second grid on the class that hides rows later holds while it does so, and not once it
    // is gone.
    auto* other = new TVoskDBGrid2(f);
    other->SetDataClass(data);
    other->SetSearchFilter(QStringLiteral("adresse 1"));
    EXPECT_TRUE(Enabled(f, nbNext));
    Click(f, nbNext);
    EXPECT_EQ(data->FieldByName(QStringLiteral("name")).AsString(), QStringLiteral("Adresse 16"));
    // Gone, the form's grid holds again: from 16 back to 15, nothing shown further on.
    delete other;
    EXPECT_FALSE(Enabled(f, nbNext));
    Click(f, nbPrior);
    EXPECT_EQ(Current(f), QStringLiteral("Adresse 15"));
    Click(f, nbFirst);
    EXPECT_EQ(Current(f), QStringLiteral("Adresse 05"));

    // With the text cleared the buttons step through every row again.
    search->setFocus();
    QTest::keyClick(search, Qt::Key_Escape);
    ASSERT_EQ(grid->ShownRows().size(), 20);
    EXPECT_TRUE(Enabled(f, nbFirst));
    Click(f, nbNext);
    EXPECT_EQ(Current(f), QStringLiteral("Adresse 06"));
    Click(f, nbLast);
    EXPECT_EQ(Current(f), QStringLiteral("Adresse 20"));
    Click(f, nbPrior);
    EXPECT_EQ(Current(f), QStringLiteral("Adresse 19"));
}

TEST_F(GridCurrentRowTest, NextFromARecordThePostHidesGoesToTheNextShownRow) {
    TFormAdress* f = OpenWithProbes();
    TVoskDBGrid2* grid = GoTo(f, QStringLiteral("Probe A"));
    grid->SetGridFilterText(QStringLiteral("ort = 'Probe'"));
    ASSERT_EQ(Current(f), QStringLiteral("Probe A"));
    // Saved on the way, A leaves the filter; B is the next row the user sees, not passed over.
    Type(f->EdOrt, QStringLiteral("Anderswo"));
    m_answers.ExpectAny(Vcl::mrYes);
    Click(f, nbNext);
    EXPECT_EQ(Current(f), QStringLiteral("Probe B"));
    EXPECT_EQ(grid->ShownRows().size(), 2);
    Click(f, nbNext);
    EXPECT_EQ(Current(f), QStringLiteral("Probe C"));
    testsupport::TestDatabase::Exec(QStringLiteral("DELETE FROM adressen WHERE ort = 'Anderswo'"));
}

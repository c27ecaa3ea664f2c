// The next-date question and the resubmission entry.
#include "DialogsFixture.h"

#include "UTeilLiefDate.h"
#include "UWvod.h"
#include "VoskExceptions.h"
#include "VoskF2Controls.h"

#include <QLabel>
#include <QPushButton>
#include <QToolButton>

using DateUser = FormUser<TFormNextDate>;
using WvodUser = FormUser<TFormWvod>;

class NotesDateTest : public DialogsTest {
public:
    static void SetUpTestSuite() {
        DialogsTest::SetUpTestSuite();
        // The notes table of the record information, where the database does not have it yet.
        testsupport::TestDatabase::Exec(QStringLiteral(
            "CREATE TABLE IF NOT EXISTS recnocomments (dbrid bigserial PRIMARY KEY, "
            "rc_tablename text NOT NULL, rc_dbrid bigint NOT NULL, rc_betreff varchar(100), "
            "rc_wvod date)"));
    }
};

TEST_F(NotesDateTest, AskNextDateStartsEmptyForZeroAndOkOnAnEmptyFieldKeepsTheDialog) {
    bool empty = false;
    int resultAfterEmptyOk = -1;
    bool focusOnDate = false;
    QString label;
    DateUser user([&](TFormNextDate* f) {
        f->show();
        empty = f->EdDate->text().isEmpty();
        label = f->lb_NeuerTermin->text();
        f->BtOk->setFocus();
        f->BtOk->click();
        resultAfterEmptyOk = f->ModalResult();
        focusOnDate = f->focusWidget() == f->EdDate;
        f->EdDate->setText(QStringLiteral("24.12.2026"));
        f->BtOk->click();
        return f->ModalResult();
    });
    EXPECT_EQ(AskNextDate(QDate(), QStringLiteral("DEFAULT")), QDate(2026, 12, 24));
    EXPECT_TRUE(empty);
    EXPECT_EQ(resultAfterEmptyOk, int(Vcl::mrNone));
    EXPECT_TRUE(focusOnDate);
    EXPECT_EQ(label, QStringLiteral("Neuer Termin"));
}

TEST_F(NotesDateTest, AskNextDateShowsTheDateAndCaptionAndCancelAbortsSilently) {
    QString shown, label;
    DateUser user([&](TFormNextDate* f) {
        shown = f->EdDate->text();
        label = f->lb_NeuerTermin->text();
        SendKey(f->EdDate, Qt::Key_Escape);
        return f->ModalResult();
    });
    EXPECT_THROW(AskNextDate(QDate(2026, 3, 1), QStringLiteral("Neuer Liefertermin für 100%")),
                 EAbort);
    EXPECT_EQ(shown, QStringLiteral("01.03.2026"));
    EXPECT_EQ(label, QStringLiteral("Neuer Liefertermin für 100%"));
    EXPECT_EQ(user.calls, 1);
}

TEST_F(NotesDateTest, DeletingAResubmissionRemovesTheRowAndReturnsThree) {
    testsupport::TestDatabase::Exec(QStringLiteral(
        "INSERT INTO recnocomments (dbrid, rc_tablename, rc_dbrid, rc_betreff, rc_wvod) VALUES "
        "(9001, 'adressen', 1, 'Anrufen', DATE '2026-12-01'), "
        "(9002, 'adressen', 1, 'Bleibt', DATE '2026-12-02')"));
    auto* form = TFormKorvexGundForm::Create<TFormWvod>(nullptr);
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Wiedervorlage"));
    EXPECT_FALSE(form->ToolForm && form->ToolForm->isVisible());
    // A new entry has nothing to delete.
    form->SetDbrid(QStringLiteral("0"));
    EXPECT_FALSE(form->BtDelWvod->isEnabled());
    form->BtDelWvodClick();
    EXPECT_EQ(form->ModalResult(), int(Vcl::mrNone));
    form->SetDbrid(QStringLiteral("9001"));
    EXPECT_TRUE(form->BtDelWvod->isEnabled());
    // Declined: the row stays.
    m_answers.Expect(QStringLiteral("löschen"), Vcl::mrNo);
    EXPECT_THROW(form->BtDelWvodClick(), EAbort);
    EXPECT_EQ(testsupport::TestDatabase::Scalar(
                  QStringLiteral("SELECT count(*) FROM recnocomments WHERE dbrid = 9001")),
              QStringLiteral("1"));
    m_answers.Expect(QStringLiteral("löschen"), Vcl::mrYes);
    form->BtDelWvodClick();
    EXPECT_EQ(form->ModalResult(), int(Vcl::mrAbort));
    EXPECT_EQ(testsupport::TestDatabase::Scalar(
                  QStringLiteral("SELECT string_agg(dbrid::text, ',') FROM recnocomments "
                                 "WHERE dbrid IN (9001, 9002)")),
              QStringLiteral("9002"));
    form->PrepareDestruction();
    delete form;
    testsupport::TestDatabase::Exec(QStringLiteral("DELETE FROM recnocomments"));
}

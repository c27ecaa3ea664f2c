// The password and input dialogs through their slots and the modal-form seam.
#include "DialogsFixture.h"

#include "Korvexutils.Dialogs.h"
#include "RtlDialog.h"
#include "TNummernKreis.h"
#include "UInputDialog.h"
#include "UPassW.h"
#include "UnitTable.h"
#include "VoskExceptions.h"
#include "VoskF2Controls.h"

#include <QAccessible>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

using PwUser = FormUser<TPasswordDlg>;
using InputUser = FormUser<TFormKorvexInputDialog>;

int Typed(TPasswordDlg* d, const QString& text) {
    d->Password->setText(text);
    d->OKBtn->click();
    return d->ModalResult();
}

} // namespace

class PasswordInputTest : public DialogsTest {
protected:
    void SetUp() override {
        DialogsTest::SetUp();
        m_hadrel.Initialize();
        testsupport::TestDatabase::Exec(QStringLiteral(
            "DELETE FROM nummernkreis; INSERT INTO nummernkreis (nc_ident, nc_modulname, nc_num, "
            "nc_prefix, nc_digits) VALUES ('LOS', 'Lager', 500, 'L', 4)"));
    }
    void TearDown() override {
        m_hadrel.Finalize();
        s_dm->SetDialogMode(0);
        DialogsTest::TearDown();
    }
    static qint64 Counter() {
        return testsupport::TestDatabase::Scalar(
                   QStringLiteral("SELECT nc_num FROM nummernkreis WHERE nc_ident = 'LOS'"))
            .toLongLong();
    }
    Rtl::Package& m_hadrel = Rtl::Package::Get(QStringLiteral("hadrel"));
};

TEST_F(PasswordInputTest, CancelAndASuppressedDialogAnswerTheMarkerThroughTheSlots) {
    ASSERT_TRUE(RtlDialog::FAskPassword.Assigned());
    ASSERT_TRUE(RtlDialog::FAskPassword2.Assigned());
    PwUser user([](TPasswordDlg* d) {
        d->Password->setText(QStringLiteral("geheim"));
        d->CancelBtn->click();
        return d->ModalResult();
    });
    EXPECT_EQ(RtlDialog::FAskPassword(QString(), QStringLiteral("Stempel")), QStringLiteral("XXXXX"));
    EXPECT_FALSE(RtlDialog::FAskPasswordEx(QString(), QStringLiteral("Stempel")).has_value());
    EXPECT_EQ(user.calls, 2);
    s_dm->SetDialogMode(1);
    EXPECT_EQ(RtlDialog::FAskPassword2(QStringLiteral("Stempel")), QStringLiteral("XXXXX"));
    EXPECT_EQ(user.calls, 2); // no dialog
    EXPECT_EQ(testsupport::TestDatabase::Scalar(QStringLiteral(
                  "SELECT count(*) FROM eventlog WHERE concat(el_class, el_method, el_text) LIKE "
                  "'%AskPassword%'")),
              QStringLiteral("1"));
    s_dm->SetDialogMode(0);
    PwUser ok([](TPasswordDlg* d) { return Typed(d, QStringLiteral("geheim")); });
    EXPECT_EQ(RtlDialog::FAskPassword(QString(), QString()), QStringLiteral("geheim"));
}

TEST_F(PasswordInputTest, CaptionsWithPercentSignsAreShownAsTypedAndNeverThrow) {
    QStringList captions;
    PwUser user([&](TPasswordDlg* d) {
        captions << d->windowTitle();
        return int(Vcl::mrCancel);
    });
    AskPassword(QStringLiteral("Stempel %s freigeben"), QStringLiteral("Geprüft"));
    AskPassword(QStringLiteral("100% sicher"), QStringLiteral("x"));
    AskPassword(QStringLiteral("%s und %s %d"), QStringLiteral("a%sb"));
    AskPassword(QString(), QStringLiteral("Prüfer"));
    AskPassword(QString(), QString());
    EXPECT_EQ(captions, (QStringList{QStringLiteral("Stempel Geprüft freigeben"),
                                     QStringLiteral("100% sicher"),
                                     QStringLiteral("a%sb und %s %d"),
                                     QStringLiteral("Passwort für Prüfer"),
                                     QStringLiteral("Passwort-Dialog")}));
}

TEST_F(PasswordInputTest, CheckPasswordFailsOnCancelEvenForThePasswordOfTheMarker) {
    PwUser cancel([](TPasswordDlg*) { return int(Vcl::mrCancel); });
    m_answers.Expect(QStringLiteral("Passwort falsch"), Vcl::mrOk);
    EXPECT_THROW(CheckPassword(QStringLiteral("XXXXX"), QString(), QStringLiteral("S")), EAbort);
    s_dm->SetDialogMode(1);
    m_answers.Expect(QStringLiteral("Passwort falsch"), Vcl::mrOk);
    EXPECT_THROW(CheckPassword2(QStringLiteral("XXXXX"), QStringLiteral("S")), EAbort);
    s_dm->SetDialogMode(0);
    PwUser typed([](TPasswordDlg* d) { return Typed(d, QStringLiteral("XXXXX")); });
    EXPECT_NO_THROW(CheckPassword(QStringLiteral("XXXXX"), QString(), QString()));
    PwUser wrongCase([](TPasswordDlg* d) { return Typed(d, QStringLiteral("Geheim")); });
    m_answers.Expect(QStringLiteral("Passwort falsch"), Vcl::mrOk);
    EXPECT_THROW(CheckPassword(QStringLiteral("geheim"), QString(), QString()), EAbort);
}

TEST_F(PasswordInputTest, InputCancelReturnsFalseAndStillWritesBack) {
    ASSERT_TRUE(Korvexutils::RaiseInputQuestion.Assigned());
    QVariant value = QStringLiteral("alt");
    QString desc = QStringLiteral("Beschreibung");
    bool descShown = false;
    InputUser user([&](TFormKorvexInputDialog* f) {
        descShown = !f->EditBezeichnung->isHidden() && !f->lbBezeichnung->isHidden();
        EXPECT_EQ(f->EditInput->text(), QStringLiteral("alt"));
        EXPECT_EQ(f->windowTitle(), QStringLiteral("Frage"));
        // A screen reader announcing the dialog reads the question with it.
        EXPECT_EQ(QAccessible::queryAccessibleInterface(f)->text(QAccessible::Description),
                  QStringLiteral("Wert:"));
        f->EditInput->setText(QStringLiteral("neu"));
        f->EditBezeichnung->setText(QStringLiteral("geändert"));
        f->BtAbort->click();
        return f->ModalResult();
    });
    EXPECT_FALSE(Korvexutils::RaiseInputQuestion(QStringLiteral("Frage"), QStringLiteral("Wert:"),
                                                 value, desc, 1, false, nullptr, QString(),
                                                 QString()));
    EXPECT_TRUE(descShown);
    EXPECT_EQ(value, QVariant(QStringLiteral("neu")));
    EXPECT_EQ(desc, QStringLiteral("geändert"));
}

TEST_F(PasswordInputTest, NumericInputTakesTheDecimalCommaAndGivesADouble) {
    QVariant value = 12.5;
    QString desc;
    QString shown;
    bool validatorRefusesLetters = false;
    InputUser user([&](TFormKorvexInputDialog* f) {
        shown = f->EditInput->text();
        int pos = 0;
        QString letters = QStringLiteral("abc");
        validatorRefusesLetters =
            f->EditInput->validator()->validate(letters, pos) == QValidator::Invalid;
        f->EditInput->setText(QStringLiteral("1234,75"));
        f->BtOk->click();
        return f->ModalResult();
    });
    EXPECT_TRUE(Korvexutils::RaiseInputQuestion(QStringLiteral("Betrag"), QStringLiteral("Euro:"),
                                                value, desc, 0, true, nullptr, QString(),
                                                QString()));
    EXPECT_EQ(shown, QStringLiteral("12,5"));
    EXPECT_TRUE(validatorRefusesLetters);
    EXPECT_EQ(value.typeId(), QMetaType::Double);
    EXPECT_DOUBLE_EQ(value.toDouble(), 1234.75);
    // Text going in comes back as a number too.
    value = QStringLiteral("7");
    InputUser keep([](TFormKorvexInputDialog* f) { return int(Vcl::mrCancel); });
    Korvexutils::RaiseInputQuestion(QStringLiteral("B"), QStringLiteral("E:"), value, desc, 0,
                                    true, nullptr, QString(), QString());
    EXPECT_EQ(value.typeId(), QMetaType::Double);
    EXPECT_DOUBLE_EQ(value.toDouble(), 7.0);
}

TEST_F(PasswordInputTest, F8DrawsWhileTheButtonIsHiddenAndAbortHandsBackOnlyADrawnNumber) {
    QVariant value = QStringLiteral("L0400");
    QString desc;
    // Button shown with a range; F8 works from the edit.
    bool buttonShown = false;
    InputUser draw([&](TFormKorvexInputDialog* f) {
        buttonShown = !f->BtNewNumber->isHidden();
        f->BtNewNumber->setVisible(false);
        SendKey(f->EditInput, Qt::Key_F8);
        EXPECT_EQ(f->EditInput->text(), QStringLiteral("L0501"));
        f->BtOk->click();
        return f->ModalResult();
    });
    EXPECT_TRUE(Korvexutils::RaiseInputQuestion(QStringLiteral("Los"), QStringLiteral("Nr:"),
                                                value, desc, 0, false, nullptr, QString(),
                                                QStringLiteral("LOS")));
    EXPECT_TRUE(buttonShown);
    EXPECT_EQ(value, QVariant(QStringLiteral("L0501")));
    EXPECT_EQ(Counter(), 501);

    // Abort with the caller's value: nothing goes back.
    value = QStringLiteral("L0501");
    InputUser abortPreset([](TFormKorvexInputDialog* f) {
        f->BtAbort->click();
        return f->ModalResult();
    });
    Korvexutils::RaiseInputQuestion(QStringLiteral("Los"), QStringLiteral("Nr:"), value, desc, 0,
                                    false, nullptr, QString(), QStringLiteral("LOS"));
    EXPECT_EQ(Counter(), 501);

    // A drawn number that the user then overtyped stays drawn.
    InputUser overtyped([](TFormKorvexInputDialog* f) {
        f->BtNewNumberClick();
        f->EditInput->setText(QStringLiteral("L0502x"));
        f->BtAbort->click();
        return f->ModalResult();
    });
    Korvexutils::RaiseInputQuestion(QStringLiteral("Los"), QStringLiteral("Nr:"), value, desc, 0,
                                    false, nullptr, QString(), QStringLiteral("LOS"));
    EXPECT_EQ(Counter(), 502);

    // Drawn and closed by Esc or the close box (no modal result): handed back.
    InputUser closed([](TFormKorvexInputDialog* f) {
        f->BtNewNumberClick();
        EXPECT_EQ(f->EditInput->text(), QStringLiteral("L0503"));
        return int(Vcl::mrCancel);
    });
    EXPECT_FALSE(Korvexutils::RaiseInputQuestion(QStringLiteral("Los"), QStringLiteral("Nr:"),
                                                 value, desc, 0, false, nullptr, QString(),
                                                 QStringLiteral("LOS")));
    EXPECT_EQ(Counter(), 502);
    EXPECT_EQ(value, QVariant(QStringLiteral("L0503")));

    // Without a range F8 draws nothing and tells so.
    InputUser none([](TFormKorvexInputDialog* f) {
        SendKey(f->EditInput, Qt::Key_F8);
        return int(Vcl::mrCancel);
    });
    m_answers.Expect(QStringLiteral("keine Nummer gezogen"), Vcl::mrOk);
    Korvexutils::RaiseInputQuestion(QStringLiteral("Los"), QStringLiteral("Nr:"), value, desc, 0,
                                    false, nullptr, QString(), QString());
    EXPECT_EQ(Counter(), 502);
}

TEST_F(PasswordInputTest, LayoutPutsTheEditsRightOfTheLongerLabelAndSizesTheForm) {
    QVariant value;
    QString desc;
    InputUser user([](TFormKorvexInputDialog* f) {
        const int labelEnd = f->LbCaption->x() + f->LbCaption->width();
        EXPECT_EQ(f->lbBezeichnung->x() + f->lbBezeichnung->width(), labelEnd);
        EXPECT_EQ(f->EditInput->x(), labelEnd + 10);
        EXPECT_EQ(f->EditBezeichnung->x(), f->EditInput->x());
        EXPECT_EQ(f->BtNewNumber->x(), f->EditInput->x() + f->EditInput->width() + 5);
        EXPECT_GE(f->width(), f->BtNewNumber->x() + f->BtNewNumber->width() + 30);
        return int(Vcl::mrCancel);
    });
    Korvexutils::RaiseInputQuestion(QStringLiteral("T"), QStringLiteral("Eine lange Frage:"), value,
                                    desc, 1, false, nullptr, QString(), QStringLiteral("LOS"));
    EXPECT_EQ(user.calls, 1);
}

TEST_F(PasswordInputTest, FinalizationEmptiesTheSlots) {
    m_hadrel.Finalize();
    EXPECT_FALSE(RtlDialog::FAskPassword.Assigned());
    EXPECT_FALSE(RtlDialog::FAskPassword2.Assigned());
    EXPECT_FALSE(Korvexutils::RaiseInputQuestion.Assigned());
    m_hadrel.Initialize();
    EXPECT_TRUE(Korvexutils::RaiseInputQuestion.Assigned());
}

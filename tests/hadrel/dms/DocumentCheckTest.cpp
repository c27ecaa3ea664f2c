// The wait dialog's course over a working copy whose state the test sets second by second, and
// what a monitor row reads from its hint.

#include <UImpDoku.DocumentCheck.h>

#include <gtest/gtest.h>

#include <QTimeZone>

namespace {

const QDateTime kCheckedOut = QDateTime(QDate(2024, 3, 1), QTime(10, 0), QTimeZone::utc());

class WaitDialogSteps : public ::testing::Test {
protected:
    // One second: the dialog's tick with the copy as the test has it now.
    void second() {
        steps.Tick([this] { return facts; });
    }
    void seconds(int n) {
        for (int i = 0; i < n; ++i)
            second();
    }
    void edit() { facts.lastWrite = kCheckedOut.addSecs(60); }

    TDocumentCheckSteps steps{QStringLiteral("Frage"), QStringLiteral("Bearbeitet?"),
                              QStringLiteral("/home/anna/KORVEX ERP/brief.odt"), kCheckedOut};
    TDocumentCheckFacts facts{true, kCheckedOut, false, true};
};

TEST_F(WaitDialogSteps, TheProgramStartsHoldsTheFileAndReleasesIt) {
    second();
    EXPECT_EQ(steps.Caption(), QStringLiteral("Frage  (start 9 sec)"));
    EXPECT_EQ(steps.Message(), QStringLiteral("Bearbeitet?\n\nbrief.odt"));
    EXPECT_FALSE(steps.YesEnabled());
    seconds(8);
    EXPECT_EQ(steps.Caption(), QStringLiteral("Frage  (start 1 sec)"));
    second();
    EXPECT_EQ(steps.Caption(), QStringLiteral("Frage  (check 20 sec)"));
    seconds(4);
    // The editor opens the file: ten seconds of waiting, then the question while it is held.
    facts.inUse = true;
    second();
    EXPECT_EQ(steps.Step(), 100);
    second();
    EXPECT_EQ(steps.Caption(), QStringLiteral("Frage  (wait 10 sec)"));
    edit(); // saved, still open
    seconds(9);
    EXPECT_EQ(steps.Caption(), QStringLiteral("Frage  (wait 1 sec)"));
    EXPECT_TRUE(steps.YesEnabled());
    second(); // 110 and 200 pass at once
    EXPECT_EQ(steps.Step(), 201);
    EXPECT_EQ(steps.Caption(), QStringLiteral("Frage"));
    EXPECT_EQ(steps.Message(), QStringLiteral("Bearbeitet?\n\nbrief.odt"));
    seconds(5);
    EXPECT_EQ(steps.Step(), 201);
    // Released: from then on the file is looked at every second.
    facts.inUse = false;
    second();
    EXPECT_EQ(steps.Step(), 300);
    second();
    EXPECT_EQ(steps.Step(), 302);
    EXPECT_EQ(steps.Message(), QStringLiteral("Änderungen ins DMS übernehmen?\n\nbrief.odt"));
    EXPECT_TRUE(steps.YesEnabled());
    // A copy still being written is not offered.
    facts.readable = false;
    second();
    EXPECT_FALSE(steps.YesEnabled());
    EXPECT_TRUE(steps.AbortEnabled());
    // After 31 looks the question comes back while the file is held again.
    facts.inUse = true;
    seconds(28);
    EXPECT_EQ(steps.Step(), 331);
    second();
    EXPECT_EQ(steps.Step(), 200);
    second();
    EXPECT_EQ(steps.Step(), 201);
    EXPECT_EQ(steps.Message(), QStringLiteral("Bearbeitet?\n\nbrief.odt"));
}

TEST_F(WaitDialogSteps, NeverHeldDeletedOrUnchanged) {
    // Nobody held the file within the check time: the looks start after 29 seconds.
    seconds(29);
    EXPECT_EQ(steps.Step(), 300);
    second();
    EXPECT_EQ(steps.Message(), QStringLiteral("Warte auf Änderungen des Dokuments.\n\nbrief.odt"));
    EXPECT_FALSE(steps.YesEnabled());
    EXPECT_TRUE(steps.AbortEnabled());
    facts = {false, {}, false, false};
    second();
    EXPECT_EQ(steps.Message(), QStringLiteral("Änderungen ins DMS übernehmen?\n\n"
                                              "Änderungsdokument wurde gelöscht.\n\nbrief.odt"));
    EXPECT_FALSE(steps.YesEnabled());
    EXPECT_FALSE(steps.AbortEnabled());
    // A copy written again with its old time is unchanged; after 31 looks unheld it keeps looking.
    facts = {true, kCheckedOut, false, true};
    seconds(40);
    EXPECT_GE(steps.Step(), 301);
    EXPECT_FALSE(steps.YesEnabled());
    EXPECT_TRUE(steps.AbortEnabled());
}

TEST(DocumentCheckRow, StateAndHintFromTheRecordedTime) {
    EXPECT_EQ(DocumentCheckRowState(QStringLiteral("01.03.2024 10:00:00.000"), QString()),
              TDocumentCheckRowState::Missing);
    EXPECT_EQ(DocumentCheckRowState(QStringLiteral("01.03.2024 10:00:00.000"),
                                    QStringLiteral("01.03.2024 10:00:00.000")),
              TDocumentCheckRowState::Unchanged);
    EXPECT_EQ(DocumentCheckRowState(QStringLiteral("01.03.2024 10:00:00.000"),
                                    QStringLiteral("01.03.2024 10:00:00.001")),
              TDocumentCheckRowState::Changed);
    // A file name with bars of its own survives the round trip.
    const QString hint = DocumentCheckHint(QStringLiteral("01.03.2024 10:00:00.000"),
                                           QStringLiteral("/tmp/a|b.txt"));
    const TDocumentCheckHint parts = SplitDocumentCheckHint(hint);
    EXPECT_EQ(parts.timeText, QStringLiteral("01.03.2024 10:00:00.000"));
    EXPECT_EQ(parts.fileName, QStringLiteral("/tmp/a|b.txt"));
}

} // namespace

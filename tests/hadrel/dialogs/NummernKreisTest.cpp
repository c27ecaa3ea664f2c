// Number ranges: drawing under concurrency, handing back, and the selection dialog driven through
// the modal-form seam on a real database.
#include "DialogsFixture.h"

#include "TNummernKreis.h"
#include "TVoskDBGrid2.h"
#include "UNummernKreis.h"
#include "VoskDatabase.h"
#include "VoskF2Controls.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>
#include <set>
#include <thread>

namespace {

// Plays the user of the number-range dialog: fn acts on it and returns the modal result.
using NrUser = FormUser<TFormNummernKreis>;

int PressOk(TFormNummernKreis* f) {
    f->btOKClick();
    return f->ModalResult();
}

} // namespace

class NummernKreisTest : public DialogsTest {
protected:
    void SetUp() override {
        DialogsTest::SetUp();
        testsupport::TestDatabase::Exec(QStringLiteral(
            "DELETE FROM nummernkreis; "
            "INSERT INTO nummernkreis (nc_ident, nc_description, nc_modulname, nc_default, "
            "nc_num, nc_prefix, nc_digits) VALUES "
            "('ANG', 'Angebote', 'Angebot', true, 41, 'A', 5), "
            "('ANG-EX', 'Export', 'Angebot', false, 7, 'AE-', 3), "
            "('RE', 'Rechnungen', 'Rechnung', false, 99, '', 0), "
            "('LS-B', 'Lieferscheine B', 'Lieferschein', false, 5, 'B', 0), "
            "('LS-A', 'Lieferscheine A', 'Lieferschein', false, 1, 'A', 0)"));
        TFormNummernKreis::FLastNrKr = QStringLiteral("vorher");
        TFormNummernKreis::FLastNumber.clear();
    }
    static qint64 Counter(const QString& ident) {
        return testsupport::TestDatabase::Scalar(
                   QStringLiteral("SELECT nc_num FROM nummernkreis WHERE nc_ident = '%1'")
                       .arg(ident))
            .toLongLong();
    }
};

TEST_F(NummernKreisTest, EightSessionsDrawEightThousandDistinctNumbersWithoutGaps) {
    testsupport::TestDatabase::Exec(QStringLiteral(
        "INSERT INTO nummernkreis (nc_ident, nc_modulname) VALUES ('PAR', 'Parallel')"));
    constexpr int kSessions = 8;
    constexpr int kDraws = 1000;
    std::vector<std::vector<qint64>> drawn(kSessions);
    std::vector<std::thread> threads;
    std::atomic<int> failures{0};
    for (int s = 0; s < kSessions; ++s)
        threads.emplace_back([&, s] {
            try {
                TVoskDatabase db;
                db.Connect();
                TNummernKreis nk;
                nk.SetDatabase(&db);
                for (int i = 0; i < kDraws; ++i)
                    drawn[size_t(s)].push_back(nk.SelectNrKr(QStringLiteral("PAR")).toLongLong());
            } catch (...) {
                ++failures;
            }
        });
    for (std::thread& t : threads)
        t.join();
    ASSERT_EQ(failures.load(), 0);
    std::set<qint64> all;
    for (const auto& v : drawn) {
        EXPECT_TRUE(std::is_sorted(v.begin(), v.end())); // each session sees its numbers rise
        all.insert(v.begin(), v.end());
    }
    EXPECT_EQ(all.size(), size_t(kSessions * kDraws));
    EXPECT_EQ(*all.begin(), 1);
    EXPECT_EQ(*all.rbegin(), kSessions * kDraws);
    EXPECT_EQ(Counter(QStringLiteral("PAR")), kSessions * kDraws);
}

TEST_F(NummernKreisTest, ResetHandsBackOnlyTheLastNumberDrawn) {
    TNummernKreis nk;
    const QString first = nk.SelectNrKr(QStringLiteral("ANG"));
    const QString second = nk.SelectNrKr(QStringLiteral("ANG"));
    EXPECT_EQ(first, QStringLiteral("A00042"));
    EXPECT_EQ(second, QStringLiteral("A00043"));
    // An older number, a typed one, another range's or an unknown range: nothing moves.
    EXPECT_FALSE(nk.ResetNrKr(QStringLiteral("ANG"), first));
    EXPECT_FALSE(nk.ResetNrKr(QStringLiteral("ANG"), QStringLiteral("A-17")));
    EXPECT_FALSE(nk.ResetNrKr(QStringLiteral("ANG-EX"), second));
    EXPECT_FALSE(nk.ResetNrKr(QString(), second));
    EXPECT_EQ(Counter(QStringLiteral("ANG")), 43);
    EXPECT_TRUE(nk.ResetNrKr(QStringLiteral("ANG"), second));
    EXPECT_FALSE(nk.ResetNrKr(QStringLiteral("ANG"), second)); // handed back once only
    EXPECT_EQ(nk.SelectNrKr(QStringLiteral("ANG")), second);
    // Unknown and inactive ranges draw nothing; a range of another module neither.
    EXPECT_TRUE(nk.SelectNrKr(QStringLiteral("GIBTSNICHT")).isEmpty());
    EXPECT_TRUE(nk.SelectNrKr(QStringLiteral("RE"), QStringLiteral("Angebot")).isEmpty());
    testsupport::TestDatabase::Exec(
        QStringLiteral("UPDATE nummernkreis SET nc_active = false WHERE nc_ident = 'RE'"));
    EXPECT_TRUE(nk.SelectNrKr(QStringLiteral("RE")).isEmpty());
    EXPECT_EQ(Counter(QStringLiteral("RE")), 99);
}

TEST_F(NummernKreisTest, ListsTheModulesRangesWithExcludedIncludedAndTheManualRow) {
    TNummernKreis nk;
    nk.SearchByModule(QStringLiteral("ANGEBOT"), {}, false);
    ASSERT_EQ(nk.RecordCount(), 2);
    EXPECT_EQ(nk.Ident(), QStringLiteral("ANG"));
    EXPECT_EQ(nk.Preview(), QStringLiteral("A00042"));
    EXPECT_FALSE(nk.HasManualRow());
    nk.SearchByModule(QStringLiteral("Angebot"), {QStringLiteral("ANG")}, false);
    ASSERT_EQ(nk.RecordCount(), 1);
    EXPECT_EQ(nk.Ident(), QStringLiteral("ANG-EX"));
    EXPECT_EQ(nk.Preview(), QStringLiteral("AE-008"));
    nk.SearchByModule(QStringLiteral("Angebot"), {QStringLiteral("ANG")}, true);
    ASSERT_EQ(nk.RecordCount(), 1);
    EXPECT_EQ(nk.Ident(), QStringLiteral("ANG"));
    nk.SearchByModule_AddDefault(QStringLiteral("Angebot"), QStringLiteral("M-1"),
                                 QStringLiteral("Von Hand"), {}, false);
    ASSERT_EQ(nk.RecordCount(), 3);
    EXPECT_TRUE(nk.HasManualRow());
    nk.Last();
    EXPECT_TRUE(nk.IsManualRow());
    EXPECT_TRUE(nk.FieldByName(QStringLiteral("nc_ident")).IsNull());
    EXPECT_EQ(nk.Preview(), QStringLiteral("M-1"));
    // Listing draws nothing.
    EXPECT_EQ(Counter(QStringLiteral("ANG")), 41);
}

TEST_F(NummernKreisTest, DisableUserInputDrawsFromTheOnlyRangeAndShowsTheDialogForTwo) {
    NrUser user([](TFormNummernKreis*) { return int(Vcl::mrCancel); });
    EXPECT_EQ(TFormNummernKreis::GetNumber(QStringLiteral("Rechnung"), QStringLiteral("Rechnung"),
                                           QString(), TNKOptions{nkoDisableUserInput}),
              QStringLiteral("100"));
    EXPECT_EQ(user.calls, 0);
    EXPECT_TRUE(TFormNummernKreis::FLastNrKr.isEmpty());
    EXPECT_EQ(Counter(QStringLiteral("RE")), 100);

    bool disabled = false;
    QString hint;
    NrUser two([&](TFormNummernKreis* f) {
        disabled = !f->edNumber->isEnabled();
        hint = f->lbHint->text();
        return int(Vcl::mrCancel);
    });
    EXPECT_TRUE(TFormNummernKreis::GetNumber(QStringLiteral("Angebot"), QStringLiteral("Angebot"),
                                             QString(), TNKOptions{nkoDisableUserInput})
                    .isEmpty());
    EXPECT_EQ(two.calls, 1);
    EXPECT_TRUE(disabled);
    EXPECT_TRUE(hint.contains(QStringLiteral("Bitte wählen Sie die Angebot.")));
    EXPECT_TRUE(hint.contains(QStringLiteral("grün markiert")));
    EXPECT_FALSE(hint.contains(QStringLiteral("manuelle Eingabe")));
    // Cancel draws nothing.
    EXPECT_EQ(Counter(QStringLiteral("ANG")), 41);
    EXPECT_EQ(Counter(QStringLiteral("ANG-EX")), 7);
}

TEST_F(NummernKreisTest, DirectDrawTakesTheDefaultElseTheFirstRowAndNothingFromAnEmptyList) {
    NrUser user([](TFormNummernKreis*) { return int(Vcl::mrOk); });
    EXPECT_EQ(TFormNummernKreis::GetNumberDirect(QStringLiteral("Angebot"), QStringLiteral("x"),
                                                 QString()),
              QStringLiteral("A00042"));
    EXPECT_EQ(TFormNummernKreis::GetNumberDirect(QStringLiteral("Angebot"), QStringLiteral("x"),
                                                 QStringLiteral("ang-ex")),
              QStringLiteral("AE-008"));
    // No default: the first row as listed.
    EXPECT_EQ(TFormNummernKreis::GetNumberDirect(QStringLiteral("Lieferschein"),
                                                 QStringLiteral("x"), QString()),
              QStringLiteral("A2"));
    EXPECT_EQ(user.calls, 0);
    // A module without ranges gets no number, and no range moves.
    EXPECT_TRUE(TFormNummernKreis::GetNumberDirect(QStringLiteral("Leer"), QStringLiteral("x"),
                                                   QString())
                    .isEmpty());
    EXPECT_EQ(testsupport::TestDatabase::Scalar(QStringLiteral("SELECT sum(nc_num) FROM "
                                                               "nummernkreis")),
              QStringLiteral("%1").arg(42 + 8 + 99 + 5 + 2));
    // The manual row alone is its own number, drawn from nowhere.
    EXPECT_EQ(TFormNummernKreis::GetNumber(QStringLiteral("Leer"), QStringLiteral("x"),
                                           QStringLiteral("M-5"), QStringLiteral("Hand"),
                                           TNKOptions{nkoSelectIfOne}),
              QStringLiteral("M-5"));
    EXPECT_EQ(user.calls, 0);
}

TEST_F(NummernKreisTest, ZeroDisablesOkAndATypedNumberComesBackAsTyped) {
    QColor invalid, typed, preview;
    bool okWithZero = true, okWithEmpty = true;
    NrUser user([&](TFormNummernKreis* f) {
        preview = f->edNumber->palette().color(QPalette::Base);
        EXPECT_EQ(f->edNumber->text(), QStringLiteral("A00042"));
        f->edNumber->setText(QStringLiteral("0"));
        okWithZero = f->btOK->isEnabled();
        invalid = f->edNumber->palette().color(QPalette::Base);
        f->edNumber->setText(QStringLiteral("  "));
        okWithEmpty = f->btOK->isEnabled();
        f->edNumber->setText(QStringLiteral("A-17"));
        typed = f->edNumber->palette().color(QPalette::Base);
        return PressOk(f);
    });
    EXPECT_EQ(TFormNummernKreis::GetNumber(QStringLiteral("Angebot"), QStringLiteral("Angebot"),
                                           QString(), TNKOptions{}),
              QStringLiteral("A-17"));
    EXPECT_FALSE(okWithZero);
    EXPECT_FALSE(okWithEmpty);
    EXPECT_EQ(invalid, TFormNummernKreis::ColorInvalid);
    EXPECT_EQ(typed, TFormNummernKreis::ColorTyped);
    EXPECT_NE(preview, TFormNummernKreis::ColorTyped);
    EXPECT_TRUE(TFormNummernKreis::FLastNrKr.isEmpty());
    EXPECT_EQ(TFormNummernKreis::FLastNumber, QStringLiteral("A-17"));
    EXPECT_EQ(Counter(QStringLiteral("ANG")), 41);
}

TEST_F(NummernKreisTest, CaptionIsQuotedOnceAndAMissingPreselectionFallsBackToTheGreenDefault) {
    QString caption, current, preselected;
    bool defaultGreen = false, otherGreen = true, adminHint = true;
    NrUser user([&](TFormNummernKreis* f) {
        caption = f->windowTitle();
        current = f->sqlNumCircles->Ident();
        preselected = f->FPreSelectedNrKr;
        defaultGreen = f->IsGreenRow(0);
        otherGreen = f->IsGreenRow(1);
        adminHint = f->lbAdminHint->isVisibleTo(f);
        return int(Vcl::mrCancel);
    });
    TFormNummernKreis::GetNumber(QStringLiteral("Angebot"), QStringLiteral("\"Angebot\""),
                                 QStringLiteral("WEG"), TNKOptions{});
    EXPECT_EQ(caption, QStringLiteral("Nummernkreisauswahl: \"Angebot\""));
    EXPECT_TRUE(preselected.isEmpty());
    EXPECT_EQ(current, QStringLiteral("ANG"));
    EXPECT_TRUE(defaultGreen);
    EXPECT_FALSE(otherGreen);
    EXPECT_FALSE(adminHint);
    s_dm->SetIsAdmin(true);
    QString hintText;
    NrUser admin([&](TFormNummernKreis* f) {
        caption = f->windowTitle();
        hintText = f->lbAdminHint->text();
        otherGreen = f->IsGreenRow(1);
        defaultGreen = f->IsGreenRow(0);
        return int(Vcl::mrCancel);
    });
    TFormNummernKreis::GetNumber(QStringLiteral("Angebot"), QStringLiteral("Angebot"),
                                 QStringLiteral("ang-ex"), TNKOptions{nkoExcludeIsInclude},
                                 {}, {QStringLiteral("ANG"), QStringLiteral("ANG-EX")});
    s_dm->SetIsAdmin(false);
    EXPECT_EQ(caption, QStringLiteral("Nummernkreisauswahl: \"Angebot\""));
    EXPECT_EQ(hintText,
              QStringLiteral("Modul=Angebot  PreSelect=ang-ex  ManNumber=  Exclude=NOT ANG,ANG-EX"));
    EXPECT_TRUE(otherGreen);
    EXPECT_FALSE(defaultGreen);
}

TEST_F(NummernKreisTest, ANumberTakenMeanwhileIsReplacedByTheNextWithMessage17533) {
    QString shownAfter;
    NrUser user([&](TFormNummernKreis* f) {
        f->sqlNumCircles->Next(); // ANG-EX, preview AE-008
        EXPECT_EQ(f->edNumber->text(), QStringLiteral("AE-008"));
        // Another session draws the previewed number.
        testsupport::TestDatabase::Exec(QStringLiteral(
            "UPDATE nummernkreis SET nc_num = nc_num + 1 WHERE nc_ident = 'ANG-EX'"));
        const int r = PressOk(f);
        shownAfter = f->edNumber->text();
        return r;
    });
    m_answers.Expect(QStringLiteral("Die gewählte Nummer \"AE-008\" war schon vergeben.\n"
                                    "Stattdessen wird \"AE-009\" verwendet."),
                     Vcl::mrOk);
    EXPECT_EQ(TFormNummernKreis::GetNumber(QStringLiteral("Angebot"), QStringLiteral("Angebot"),
                                           QString(), TNKOptions{}),
              QStringLiteral("AE-009"));
    EXPECT_EQ(shownAfter, QStringLiteral("AE-009"));
    EXPECT_EQ(TFormNummernKreis::FLastNrKr, QStringLiteral("ANG-EX"));
    EXPECT_EQ(TFormNummernKreis::FLastNumber, QStringLiteral("AE-009"));
    EXPECT_EQ(Counter(QStringLiteral("ANG-EX")), 9);
}

TEST_F(NummernKreisTest, KeysF9F5AndEscActAsTheHelpSays) {
    NrUser f9([](TFormNummernKreis* f) {
        f->sqlNumCircles->Next();
        SendKey(f->NumCirclesCX, Qt::Key_F9);
        return f->ModalResult();
    });
    EXPECT_EQ(TFormNummernKreis::GetNumber(QStringLiteral("Angebot"), QStringLiteral("Angebot"),
                                           QString(), TNKOptions{}),
              QStringLiteral("A00042"));
    EXPECT_EQ(TFormNummernKreis::FLastNrKr, QStringLiteral("ANG"));

    // The manual row is preselected; F5 takes it without drawing.
    QString edName;
    NrUser f5([&](TFormNummernKreis* f) {
        edName = f->edNumber->objectName();
        f->sqlNumCircles->First();
        SendKey(f->edNumber, Qt::Key_F5);
        return f->ModalResult();
    });
    EXPECT_EQ(TFormNummernKreis::GetNumber(QStringLiteral("Angebot"), QStringLiteral("Angebot"),
                                           QStringLiteral("M-9"), QStringLiteral("Hand"),
                                           TNKOptions{}),
              QStringLiteral("M-9"));
    EXPECT_EQ(edName, QStringLiteral("edNumber_Angebot"));
    EXPECT_TRUE(TFormNummernKreis::FLastNrKr.isEmpty());

    NrUser esc([](TFormNummernKreis* f) {
        SendKey(f->edNumber, Qt::Key_Escape);
        return f->ModalResult();
    });
    EXPECT_TRUE(TFormNummernKreis::GetNumber(QStringLiteral("Angebot"), QStringLiteral("Angebot"),
                                             QString(), TNKOptions{})
                    .isEmpty());
    EXPECT_EQ(Counter(QStringLiteral("ANG")), 42);

    // Without a default, F9 says so and stays.
    NrUser noDefault([](TFormNummernKreis* f) {
        SendKey(f->edNumber, Qt::Key_F9);
        return f->ModalResult() == Vcl::mrNone ? int(Vcl::mrCancel) : int(Vcl::mrOk);
    });
    m_answers.Expect(QStringLiteral("Standardnummernkreis nicht vorhanden"), Vcl::mrOk);
    EXPECT_TRUE(TFormNummernKreis::GetNumber(QStringLiteral("Lieferschein"), QStringLiteral("LS"),
                                             QString(), TNKOptions{})
                    .isEmpty());
}

TEST_F(NummernKreisTest, SetNumberWritesIntoTheControlAndInternalOptionsOfCallersAreStripped) {
    QLineEdit target;
    NrUser user([](TFormNummernKreis* f) { return PressOk(f); });
    // A caller's nkoInternal_WithoutDialog is dropped: the dialog shows.
    EXPECT_TRUE(TFormNummernKreis::SetNumber(&target, QStringLiteral("Angebot"),
                                             QStringLiteral("Angebot"),
                                             TNKOptions{nkoInternal_WithoutDialog}));
    EXPECT_EQ(user.calls, 1);
    EXPECT_EQ(target.text(), QStringLiteral("A00042"));
    NrUser cancel([](TFormNummernKreis*) { return int(Vcl::mrCancel); });
    EXPECT_FALSE(TFormNummernKreis::SetNumber(&target, QStringLiteral("Angebot"),
                                              QStringLiteral("Angebot"), TNKOptions{}));
    EXPECT_EQ(target.text(), QStringLiteral("A00042"));
    // GetNumberSelNrKr keeps the range preselected even with a manual number.
    QString current;
    NrUser sel([&](TFormNummernKreis* f) {
        current = f->sqlNumCircles->IsManualRow() ? QStringLiteral("manuell")
                                                  : f->sqlNumCircles->Ident();
        return int(Vcl::mrCancel);
    });
    TFormNummernKreis::GetNumberSelNrKr(QStringLiteral("Angebot"), QStringLiteral("A"),
                                        QStringLiteral("ANG-EX"), QStringLiteral("M-1"),
                                        QStringLiteral("Hand"), TNKOptions{});
    EXPECT_EQ(current, QStringLiteral("ANG-EX"));
}

// The text picker on the suite's database, with Quibbet loaded into the IDE host so that DM1 is
// the IDE's data module. Every test uses text numbers from 70000 on and removes them again.
#include "DialogAnswerer.h"
#include "TestDatabase.h"

#include "IdePackages.h"
#include "IdeServices.h"
#include "Text0Filter.h"
#include "Utext0editor.h"

#include "TServSQL2.h"
#include "TVoskDBNavigator.h"
#include "UDM1.h"
#include "Vcl.Registry.h"
#include "VoskDatabase.h"
#include "VoskExceptions.h"

#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>

#include <random>

using namespace testsupport;

namespace {

class Text0EditorTest : public DbTest {
protected:
    void SetUp() override {
        qputenv("KORVEX_CONFIG", QFile::encodeName(m_dir.filePath(QStringLiteral("korvex.ini"))));
        QFile f(m_dir.filePath(QStringLiteral("korvex.ini")));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QStringLiteral("[Login]\nServer=1\nUsername=postgres\nPassword=\n[DB1]\nHost=%1\n"
                               "Port=5432\nDatabase=%2\n")
                    .arg(qEnvironmentVariable("PGHOST"), DatabaseName())
                    .toUtf8());
        f.close();
        ASSERT_TRUE(m_packages.Load(QStringLiteral("quibbet")));
        ASSERT_TRUE(DM1() && DM1()->Connected());
        m_login = DM1()->LoginName();
        Sql(QStringLiteral("INSERT INTO settings (s_name, s_value) VALUES "
                           "('System.DevelopDatabase', 'T')"));
    }
    void TearDown() override {
        if (DM1() && DM1()->Connected())
            DM1()->SetLoginName(m_login);
        Sql(QStringLiteral("DELETE FROM text0 WHERE t_nr BETWEEN 70000 AND 79999; "
                           "DELETE FROM text0numcircle; DELETE FROM fieldalias WHERE fa_table = "
                           "'t0test'; DELETE FROM settings WHERE s_name LIKE 'Text0_AutoTextNr%' "
                           "OR s_name = 'System.DevelopDatabase'; DELETE FROM lastval WHERE "
                           "lv_key = 'Text0_AutoTextNr'"));
        m_packages.UnloadAll();
        qunsetenv("KORVEX_CONFIG");
    }
    static void Sql(const QString& sql) { TestDatabase::Exec(sql); }
    static QString Scalar(const QString& sql) { return TestDatabase::Scalar(sql); }
    static void Texts(std::initializer_list<int> numbers) {
        for (int n : numbers)
            Sql(QStringLiteral("INSERT INTO text0 (t_nr, t_feld0, t_feld3) VALUES (%1, 'Text %1', "
                               "'Text %1')")
                    .arg(n));
    }
    static int CurrentNr(TFormText0Editor& form) {
        return form.sqlText0->FieldByName(QStringLiteral("t_nr")).AsInteger();
    }
    // A picker that kept no last number of an earlier test.
    std::unique_ptr<TFormText0Editor> Picker(TVoskDatabase* db = nullptr) {
        auto form = std::make_unique<TFormText0Editor>(nullptr, db);
        form->LoadText0();
        return form;
    }

    QTemporaryDir m_dir;
    TempRegistry m_registry;
    TIdeServices m_services;
    TIdePackages m_packages{m_services};
    DialogAnswerer m_answers;
    QString m_login;
};

TEST(Text0EditorFormat, ClipboardTextDoublesQuotesAndJoinsLineBreaks) {
    EXPECT_EQ(TFormText0Editor::TextNrStr(QStringLiteral("12"), QStringLiteral(" O'Brien ")),
              QStringLiteral("12, 'O''Brien'"));
    EXPECT_EQ(TFormText0Editor::TextNrStr(QStringLiteral("5"), QStringLiteral("a\r\nb")),
              QStringLiteral("5, 'a'#10'b'"));
    // Two breaks in a row are one run "#10#10", not two quoted breaks; so are three.
    EXPECT_EQ(TFormText0Editor::TextNrStr(QStringLiteral("5"), QStringLiteral("a\n\nb")),
              QStringLiteral("5, 'a'#10#10'b'"));
    EXPECT_EQ(TFormText0Editor::TextNrStr(QStringLiteral("5"), QStringLiteral("a\r\r\rb")),
              QStringLiteral("5, 'a'#10#10#10'b'"));
}

// The folded store must find exactly what QString's case-insensitive search finds for whole
// characters: letters that fold across scripts, across the sixteen-byte steps of the search and
// at a text's last byte.
TEST(Text0FoldedTexts, FindsAndEqualsWhereQStringIgnoringCaseDoes) {
    const char32_t alphabet[] = {U'a', U'B', U's', U'S', U'k', U'K', U'1', U' ', U'\u017F',
                                 U'\u212A', U'\u00DF', U'\u1E9E', U'\u00C4', U'\u00E4',
                                 U'\U00010400', U'\U00010428', U'\u0130', U'i', U'I', U'\u0131',
                                 U'\u03A3', U'\u03C2', U'\u03C3'};
    std::mt19937 rng(57);
    const auto word = [&](int maxLength) {
        std::u32string w(size_t(rng() % unsigned(maxLength + 1)), U' ');
        for (char32_t& c : w)
            c = alphabet[rng() % std::size(alphabet)];
        return QString::fromUcs4(w.data(), qsizetype(w.size()));
    };
    TFoldedTexts store;
    std::vector<QStringList> rows;
    std::vector<bool> blank;
    for (int r = 0; r < 400; ++r) {
        QStringList texts;
        const bool empty = r % 37 == 0;
        for (int t = 0; t < 4; ++t) {
            texts << (empty ? QString() : word(t == 1 ? 40 : 6));
            // Both ways a text comes in: the server's bytes and a decoded value.
            if (r % 2 == 0) {
                const QByteArray utf8 = texts.back().toUtf8();
                store.AddText(utf8.constData(), size_t(utf8.size()));
            } else {
                store.AddText(texts.back());
            }
        }
        store.EndRow(empty);
        rows.push_back(texts);
        blank.push_back(empty);
    }
    ASSERT_EQ(store.Rows(), 400);
    int found = 0;
    for (int n = 0; n < 300; ++n) {
        // Pieces of stored texts as well as random ones, so that most filters find something.
        const QStringList& some = rows[rng() % rows.size()];
        const QList<uint> piece = some[1].toUcs4().mid(int(rng() % 30), 1 + int(rng() % 4));
        QString filter = n % 2 ? word(3) : QString::fromUcs4(reinterpret_cast<const char32_t*>(piece.constData()), piece.size());
        if (filter.isEmpty())
            filter = QStringLiteral("k");
        std::vector<int> expected, shown;
        for (int r = 0; r < int(rows.size()); ++r)
            if (blank[size_t(r)] ||
                std::any_of(rows[size_t(r)].begin(), rows[size_t(r)].end(), [&](const QString& t) {
                    return t.contains(filter, Qt::CaseInsensitive);
                }))
                expected.push_back(r);
        store.Find(TFoldedTexts::Fold(filter), shown);
        ASSERT_EQ(shown, expected) << filter.toStdString();
        found += int(expected.size());

        const int r = int(rng() % rows.size());
        const QString same = n % 3 ? rows[size_t(r)][1].toUpper() : filter;
        EXPECT_EQ(store.TextEquals(r, 1, TFoldedTexts::Fold(same)),
                  rows[size_t(r)][1].compare(same, Qt::CaseInsensitive) == 0)
            << same.toStdString();
    }
    EXPECT_GT(found, 3000) << "the filters found too little to prove anything";
}

TEST_F(Text0EditorTest, SelectLastNrLooksAtMostHundredBelow) {
    Texts({70880});
    auto form = Picker();
    EXPECT_FALSE(form->SelectLastNr(71000)) << "880 is 120 below";
    Texts({70950});
    form->LoadText0();
    EXPECT_TRUE(form->SelectLastNr(71000));
    EXPECT_EQ(CurrentNr(*form), 70950);
    // Below 1 the number edit is the start.
    form->edLastTextNr->setText(QStringLiteral("70881"));
    EXPECT_TRUE(form->SelectLastNr(0));
    EXPECT_EQ(CurrentNr(*form), 70880);
    form->FDoNotSaveLastNr = true;
}

TEST_F(Text0EditorTest, FilterMatchesLiterallyOverFourColumnsAndLocatesNumbers) {
    Sql(QStringLiteral("INSERT INTO text0 (t_nr, t_feld0, t_kundtxt0, t_feld3) VALUES "
                       "(70001, '100% Rabatt', NULL, 'discount'), "
                       "(70002, 'Rabatt_neu', 'Kunde X', NULL), "
                       "(70003, 'Ohne', NULL, 'Discounted price')"));
    auto form = Picker();
    form->edFilter->setText(QStringLiteral("0% r"));
    EXPECT_EQ(form->VisibleRowCount(), 1);
    EXPECT_EQ(CurrentNr(*form), 70001) << "the t_feld0 match is located";
    form->edFilter->setText(QStringLiteral("t_n"));
    EXPECT_EQ(form->VisibleRowCount(), 1) << "'_' is no wildcard";
    form->edFilter->setText(QStringLiteral("DISCOUNT"));
    EXPECT_EQ(form->VisibleRowCount(), 2) << "English column, case ignored";
    form->edFilter->setText(QStringLiteral("kunde x"));
    EXPECT_EQ(form->VisibleRowCount(), 1) << "customer text column";
    form->edFilter->setText(QStringLiteral("70003"));
    EXPECT_EQ(CurrentNr(*form), 70003);
    EXPECT_EQ(m_answers.Questions().size(), 0u) << "no conversion error for any keystroke";
    form->FDoNotSaveLastNr = true;
}

TEST_F(Text0EditorTest, FilterFindsLongTextsFoldedLettersAndLocatesTheEqualText) {
    Sql(QStringLiteral("INSERT INTO text0 (t_nr, t_feld0, t_kundtxt0, t_feld3) VALUES "
                       "(70011, 'Außenstelle Süd, Regal 12qz', NULL, 'inventory of the LAGERQZ'), "
                       "(70012, 'Maſsqz', NULL, NULL), "
                       "(70013, 'Kohnezq', NULL, NULL), "
                       "(70014, 'Ohnezq', NULL, NULL), "
                       "(70015, 'Temperatur 3\u212Aqz', NULL, NULL), "
                       "(70016, 'Zeichen \U00010400', NULL, NULL)"));
    auto form = Picker();
    form->edFilter->setText(QStringLiteral("lagerqz"));
    EXPECT_EQ(form->VisibleRowCount(), 1) << "a hit in the last bytes of a long text";
    form->edFilter->setText(QStringLiteral("regal 12q"));
    EXPECT_EQ(form->VisibleRowCount(), 1) << "a hit behind umlauts";
    form->edFilter->setText(QStringLiteral("MASSQZ"));
    EXPECT_EQ(form->VisibleRowCount(), 1) << "the long s folds onto s";
    form->edFilter->setText(QStringLiteral("3kqz"));
    EXPECT_EQ(form->VisibleRowCount(), 1) << "the Kelvin sign folds onto k";
    form->edFilter->setText(QStringLiteral("n \U00010428").chopped(1));
    EXPECT_EQ(form->VisibleRowCount(), 1) << "half a character, as Qt's search compares it";
    form->edFilter->setText(QStringLiteral("ohnezq"));
    EXPECT_EQ(form->VisibleRowCount(), 2);
    EXPECT_EQ(CurrentNr(*form), 70014) << "the text equal to the filter, not the first shown";
    form->FDoNotSaveLastNr = true;
}

TEST_F(Text0EditorTest, FilterKeepsTheCurrentCellAndShowsRowsAddedAndChangedMeanwhile) {
    Sql(QStringLiteral("INSERT INTO text0 (t_nr, t_feld0, t_feld3) VALUES "
                       "(70701, 'Qzalpha eins', 'one'), (70702, 'Qzalpha zwei', 'two'), "
                       "(70703, 'Qzbeta', 'three')"));
    auto form = Picker();
    QAbstractItemModel* grid = form->grText0->model();
    const int en = form->sqlText0->FieldIndex(QStringLiteral("t_feld3"));
    ASSERT_TRUE(form->SelectLastNr(70702));
    form->grText0->setCurrentIndex(grid->index(form->grText0->currentIndex().row(), en));
    form->edFilter->setText(QStringLiteral("qzalpha"));
    ASSERT_EQ(form->VisibleRowCount(), 2);
    EXPECT_EQ(CurrentNr(*form), 70702);
    EXPECT_EQ(form->grText0->currentIndex().row(), 1);
    EXPECT_EQ(form->grText0->currentIndex().column(), en) << "the current column stays";
    EXPECT_TRUE(form->grText0->selectionModel()->isRowSelected(1));
    EXPECT_EQ(grid->index(1, en).data().toString(), QStringLiteral("two"));

    // A record added under the filter shows while it is edited and after; a filter typed after
    // the post searches its new text.
    form->sqlText0->Append();
    EXPECT_EQ(form->VisibleRowCount(), 3);
    form->sqlText0->FieldByName(QStringLiteral("t_nr")).SetValue(70704);
    form->sqlText0->FieldByName(QStringLiteral("t_feld0")).SetValue(QStringLiteral("Qzalpha drei"));
    form->sqlText0->Post();
    EXPECT_EQ(form->VisibleRowCount(), 3);
    form->edFilter->setText(QStringLiteral("DREI"));
    ASSERT_EQ(form->VisibleRowCount(), 1);
    EXPECT_EQ(CurrentNr(*form), 70704);
    // A changed text is found by its new words, no longer by its old ones.
    ASSERT_TRUE(form->SelectLastNr(70701));
    form->sqlText0->FieldByName(QStringLiteral("t_feld0")).SetValue(QStringLiteral("Qzgamma"));
    form->sqlText0->Post();
    form->edFilter->setText(QStringLiteral("qzgamma"));
    EXPECT_EQ(form->VisibleRowCount(), 1);
    form->edFilter->setText(QStringLiteral("qzalpha"));
    EXPECT_EQ(form->VisibleRowCount(), 2);

    // A record given up goes from the filtered list again, and the rows behind it stay.
    form->sqlText0->Append();
    EXPECT_EQ(form->VisibleRowCount(), 3);
    form->sqlText0->Cancel();
    ASSERT_EQ(form->VisibleRowCount(), 2);
    EXPECT_EQ(grid->index(1, en).data().toString(), QString()) << "70704 has no English text";
    EXPECT_EQ(grid->index(0, en).data().toString(), QStringLiteral("two"));
    form->FDoNotSaveLastNr = true;
}

TEST_F(Text0EditorTest, RangeJumpGoesToStartGroupWhenTheRangeIsFull) {
    Sql(QStringLiteral("INSERT INTO text0numcircle (start_group, start_nr, end_nr, end_group, "
                       "descr) VALUES (72000, 72000, 72099, 72099, 'Voll'), "
                       "(NULL, 72100, 72199, NULL, 'Teil')"));
    Texts({72000, 72050, 72099, 72110, 72120});
    auto form = Picker();
    form->pcMain->setCurrentWidget(form->tsNumCircles);
    ASSERT_TRUE(form->sqlNumCircles->Active());
    EXPECT_EQ(form->sqlNumCircles->FieldByName(QStringLiteral("count_nrs")).AsString(),
              QStringLiteral("100 / 3"));
    form->grNumCirclesDblClick();
    EXPECT_EQ(form->pcMain->currentWidget(), form->tsTexte);
    EXPECT_EQ(CurrentNr(*form), 72000);
    EXPECT_EQ(form->edLastTextNr->text(), QStringLiteral("72000"));
    EXPECT_EQ(form->cbTextNrMode->currentIndex(), 2);

    // A range with room goes to its highest used number.
    form->pcMain->setCurrentWidget(form->tsNumCircles);
    ASSERT_TRUE(form->sqlNumCircles->Locate(QStringLiteral("start_nr"), 72100));
    form->grNumCirclesDblClick();
    EXPECT_EQ(CurrentNr(*form), 72120);
    form->FDoNotSaveLastNr = true;
}

TEST_F(Text0EditorTest, DuplicateTextIsAskedAndNoKeepsTheRowInEdit) {
    Texts({70100});
    auto form = Picker();
    form->sqlText0->Append();
    form->sqlText0->FieldByName(QStringLiteral("t_nr")).SetValue(70101);
    form->sqlText0->FieldByName(QStringLiteral("t_feld0")).SetValue(QStringLiteral(" text 70100"));
    m_answers.Expect(QStringLiteral("Dieser Text existiert bereits"), Vcl::mrNo);
    EXPECT_THROW(form->sqlText0->Post(), EAbort);
    EXPECT_EQ(form->sqlText0->State(), dsInsert);
    EXPECT_EQ(Scalar(QStringLiteral("SELECT count(*) FROM text0 WHERE t_nr = 70101")), u"0");
    m_answers.Expect(QStringLiteral("Dieser Text existiert bereits"), Vcl::mrYes);
    form->sqlText0->Post();
    EXPECT_EQ(Scalar(QStringLiteral("SELECT count(*) FROM text0 WHERE t_nr = 70101")), u"1");
    EXPECT_EQ(CurrentNr(*form), 70101);
    form->FDoNotSaveLastNr = true;
}

TEST_F(Text0EditorTest, TypedNumberInUseIsRefusedAndRefusedLoginAbortsSilently) {
    Texts({70200});
    auto form = Picker();
    form->sqlText0->Append();
    form->sqlText0->FieldByName(QStringLiteral("t_nr")).SetValue(70200);
    form->sqlText0->FieldByName(QStringLiteral("t_feld0")).SetValue(QStringLiteral("Neu 70201"));
    try {
        form->sqlText0->Post();
        ADD_FAILURE() << "posted a number in use";
    } catch (const EVoskException& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Die Textnummer 70200 ist bereits vergeben."));
    }
    EXPECT_EQ(form->sqlText0->State(), dsInsert);

    Sql(QStringLiteral("UPDATE settings SET s_value = 'F' WHERE s_name = 'System.DevelopDatabase'"));
    form->sqlText0->FieldByName(QStringLiteral("t_nr")).SetValue(70201);
    EXPECT_THROW(form->sqlText0->Post(), EAbort);
    EXPECT_EQ(form->sqlText0->State(), dsInsert);
    EXPECT_EQ(Scalar(QStringLiteral("SELECT count(*) FROM text0 WHERE t_nr = 70201")), u"0");
    form->sqlText0->Cancel();
    form->FDoNotSaveLastNr = true;
}

TEST_F(Text0EditorTest, DeleteMarksTheTextAndOnlyAMarkedOneGoesForGood) {
    Texts({70300});
    auto form = Picker();
    ASSERT_TRUE(form->SelectLastNr(70300));
    m_answers.Expect(QStringLiteral("als gelöscht markieren"), Vcl::mrYes);
    // Marking ends the delete with the silent abort (the navigator's guard swallows it).
    EXPECT_THROW(form->navText0->BtnClick(nbDelete), EAbort);
    EXPECT_EQ(Scalar(QStringLiteral("SELECT t_feld0 FROM text0 WHERE t_nr = 70300")),
              u"*DELETED*");
    EXPECT_EQ(form->sqlText0->State(), dsBrowse);
    EXPECT_TRUE(form->sqlText0->FieldByName(QStringLiteral("voskgray")).AsBoolean() ||
                form->sqlText0->FieldByName(QStringLiteral("t_feld0")).AsString() ==
                    u"*DELETED*");
    m_answers.Expect(QStringLiteral("bereits als gelöscht markiert"), Vcl::mrYes);
    form->navText0->BtnClick(nbDelete);
    EXPECT_EQ(Scalar(QStringLiteral("SELECT count(*) FROM text0 WHERE t_nr = 70300")), u"0");
    form->FDoNotSaveLastNr = true;
}

TEST_F(Text0EditorTest, AutomaticNumbersFromCurrentAndRangeWithRangeEndWarning) {
    Sql(QStringLiteral("INSERT INTO text0numcircle (start_group, start_nr, end_nr, end_group, "
                       "descr) VALUES (74000, 74000, 74004, 74004, 'Klein')"));
    Texts({74000, 74001, 74002, 74003, 74004, 74006});
    auto form = Picker();
    form->cbTextNrMode->setCurrentIndex(1);
    EXPECT_TRUE(form->edLastTextNr->isEnabled());
    // "Current + X" starts at the row the list stands on.
    ASSERT_TRUE(form->SelectLastNr(74001));
    form->edFilter->setText(QStringLiteral("Neuer Text"));
    form->sqlText0->Append();
    EXPECT_EQ(form->edLastTextNr->text(), QStringLiteral("74001"));
    EXPECT_EQ(CurrentNr(*form), 74005) << "the smallest free number above the start";
    EXPECT_EQ(form->sqlText0->FieldByName(QStringLiteral("t_feld0")).AsString(), u"Neuer Text");
    EXPECT_FALSE(form->edFilter->isEnabled());
    EXPECT_EQ(form->FAutoTextNr, 74005);
    form->sqlText0->Post();
    EXPECT_EQ(form->edLastTextNr->text(), QStringLiteral("74005"));
    EXPECT_TRUE(form->edFilter->isEnabled());

    // Range mode: the next free number lies beyond the range's end mark.
    form->cbTextNrMode->setCurrentIndex(2);
    form->edLastTextNr->setText(QStringLiteral("74002"));
    m_answers.Expect(QStringLiteral("ACHTUNG, Ende dieses Nummernbereichs erreicht."), Vcl::mrClose);
    form->sqlText0->Append();
    EXPECT_EQ(CurrentNr(*form), 74007);
    EXPECT_EQ(m_answers.Questions().back().kind, Vcl::mtWarning);
    form->sqlText0->FieldByName(QStringLiteral("t_feld0")).SetValue(QStringLiteral("Außen"));
    form->sqlText0->Post();
    EXPECT_EQ(Scalar(QStringLiteral("SELECT t_feld0 FROM text0 WHERE t_nr = 74007")), u"Außen");
    form->FDoNotSaveLastNr = true;
}

TEST_F(Text0EditorTest, TwoEditorsOnTwoConnectionsNeverDrawTheSameNumber) {
    Texts({75000});
    TVoskDatabase other;
    other.Connect();
    auto first = Picker();
    auto second = Picker(&other);
    for (auto* form : {first.get(), second.get()}) {
        form->cbTextNrMode->setCurrentIndex(1);
        ASSERT_TRUE(form->SelectLastNr(75000));
        form->sqlText0->Append();
        EXPECT_EQ(CurrentNr(*form), 75001);
    }
    first->sqlText0->FieldByName(QStringLiteral("t_feld0")).SetValue(QStringLiteral("Erster"));
    second->sqlText0->FieldByName(QStringLiteral("t_feld0")).SetValue(QStringLiteral("Zweiter"));
    first->sqlText0->Post();
    second->sqlText0->Post();
    EXPECT_EQ(Scalar(QStringLiteral("SELECT string_agg(t_nr || '=' || t_feld0, ',' ORDER BY t_nr) "
                                    "FROM text0 WHERE t_nr BETWEEN 75001 AND 75009")),
              u"75001=Erster,75002=Zweiter");
    EXPECT_EQ(second->edLastTextNr->text(), QStringLiteral("75002"));
    EXPECT_EQ(CurrentNr(*second), 75002);
    first->FDoNotSaveLastNr = second->FDoNotSaveLastNr = true;
}

TEST_F(Text0EditorTest, LastNumberIsNotReadForRootButWrittenAndTheLastValueServesWithoutSetting) {
    DM1()->SetLoginName(QStringLiteral("root"));
    DM1()->SetSetting(QStringLiteral("Text0_AutoTextNr~root"), QStringLiteral("991231235959|2|555"));
    {
        auto form = Picker();
        EXPECT_EQ(form->cbTextNrMode->currentIndex(), 0) << "root's setting is never read";
        form->cbTextNrMode->setCurrentIndex(2);
        form->edLastTextNr->setText(QStringLiteral("777"));
    }
    const QString stored = DM1()->GetSetting(QStringLiteral("Text0_AutoTextNr~root"));
    EXPECT_TRUE(stored.endsWith(QStringLiteral("|2|777"))) << stored.toStdString();
    EXPECT_EQ(stored.section(u'|', 0, 0).size(), 12);
    EXPECT_EQ(DM1()->LoadLastVal(QStringLiteral("Text0_AutoTextNr")), stored);
    // The last value alone brings mode and number back.
    auto again = Picker();
    EXPECT_EQ(again->cbTextNrMode->currentIndex(), 2);
    EXPECT_EQ(again->edLastTextNr->text(), QStringLiteral("777"));
    EXPECT_TRUE(again->edLastTextNr->isEnabled());
    again->FDoNotSaveLastNr = true;
}

TEST_F(Text0EditorTest, UnchangedModeAndNumberAreNotWrittenAgain) {
    auto form = Picker();
    form->cbTextNrMode->setCurrentIndex(2);
    form->edLastTextNr->setText(QStringLiteral("70400"));
    form.reset();
    const QString stored = DM1()->LoadLastVal(QStringLiteral("Text0_AutoTextNr"));
    DM1()->SaveLastVal(QStringLiteral("Text0_AutoTextNr"), QStringLiteral("000000000000|2|70400"));
    const QString user = QStringLiteral("Text0_AutoTextNr~") + DM1()->LoginName();
    DM1()->SetSetting(user, QStringLiteral("000000000000|2|70400"));
    form = Picker();
    form.reset();
    EXPECT_EQ(DM1()->GetSetting(user), QStringLiteral("000000000000|2|70400")) << "not rewritten";
    EXPECT_FALSE(stored.isEmpty());
}

TEST_F(Text0EditorTest, AfterPostRefreshesTheCachedTextAndTheAliasesThatUseIt) {
    Texts({70500});
    Sql(QStringLiteral("INSERT INTO fieldalias (fa_table, fa_field, fa_alias, fa_textno) VALUES "
                       "('t0test', 'feld', 'Alias', 70500)"));
    DM1()->ReloadTextX();
    DM1()->ReloadFieldAlias();
    EXPECT_EQ(makeText(70500, QString()), QStringLiteral("Text 70500"));
    EXPECT_EQ(DM1()->FieldAlias(QStringLiteral("t0test"), QStringLiteral("feld")),
              QStringLiteral("Text 70500"));
    auto form = Picker();
    ASSERT_TRUE(form->SelectLastNr(70500));
    form->sqlText0->FieldByName(QStringLiteral("t_feld0")).SetValue(QStringLiteral("Geändert 70500"));
    form->sqlText0->Post();
    EXPECT_EQ(makeText(70500, QString()), QStringLiteral("Geändert 70500"));
    EXPECT_EQ(DM1()->FieldAlias(QStringLiteral("t0test"), QStringLiteral("feld")),
              QStringLiteral("Geändert 70500"));

    // A text the cache never held: the whole cache is read again, so the new text is known.
    EXPECT_EQ(makeText(70501, QStringLiteral("fehlt")), QStringLiteral("fehlt"));
    form->sqlText0->Append();
    form->sqlText0->FieldByName(QStringLiteral("t_nr")).SetValue(70501);
    form->sqlText0->FieldByName(QStringLiteral("t_feld0")).SetValue(QStringLiteral("Neu 70501"));
    form->sqlText0->Post();
    EXPECT_EQ(makeText(70501, QStringLiteral("fehlt")), QStringLiteral("Neu 70501"));
    form->FDoNotSaveLastNr = true;
}

TEST_F(Text0EditorTest, OkTakesTheSelectedRowAndCtrlCCopiesIt) {
    Sql(QStringLiteral("INSERT INTO text0 (t_nr, t_feld0) VALUES (70600, 'Zwei\nZeilen')"));
    auto form = Picker();
    ASSERT_TRUE(form->SelectLastNr(70600));
    form->grText0CopyToClipboard();
    EXPECT_EQ(m_answers.Text(), QStringLiteral("70600, 'Zwei'#10'Zeilen'"));
    form->btSave->setEnabled(true);
    form->btSaveClick();
    EXPECT_EQ(form->ModalResult(), Vcl::mrOk);
    form->FDoNotSaveLastNr = true;
}

} // namespace

// The SQL editor control on the suite's database: the catalogue behind its helpers, own and
// foreign helpers, the code-insight list, the check, the two insertions through the modal-form
// seam, and the data-aware editor over standardsql.
#include "FrameworkFixture.h"

#include "Korvexcommonvcl.h"
#include "TVoskClass.h"
#include "UHostModules.h"
#include "UVoskSQLMemo.h"
#include "Vcl.Components.h"
#include "VoskExceptions.h"

#include <QApplication>
#include <QClipboard>
#include <QFocusEvent>
#include <QScopeGuard>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>

using testsupport::TestDatabase;

namespace {

const TVoskSQLMemoFeatures kAll =
    smfInternHighlighter | smfInternAutoComplete | smfInternCodeInsight;

// Answers every modal lookup with what the test does to its list.
class AnswerLookup final : public Korvexcommonvcl::ModalForms {
public:
    explicit AnswerLookup(std::function<int(TFormF2List*)> answer) : m_answer(std::move(answer)) {
        m_old = SetInstance(this);
    }
    ~AnswerLookup() override { SetInstance(m_old); }
    int Run(Vcl::TForm* form) override {
        ++calls;
        auto* list = qobject_cast<TFormF2List*>(form);
        return list ? m_answer(list) : Vcl::mrCancel;
    }
    int calls = 0;

private:
    std::function<int(TFormF2List*)> m_answer;
    ModalForms* m_old;
};

int RowWhere(TFormF2List* list, const QString& column, const QString& value) {
    for (int i = 0; i < list->ListResult->count(); ++i)
        if (list->ListResult->RowOf(list->ListResult->item(i)).value(column).toString() == value)
            return i;
    return -1;
}

class SqlMemoTest : public FrameworkTest {
public:
    static void SetUpTestSuite() {
        FrameworkTest::SetUpTestSuite();
        TestDatabase::Exec(QStringLiteral(
            "INSERT INTO adressen (name, ort) VALUES ('A', 'Köln'), ('B', 'Ulm'); "
            "INSERT INTO standardsql (ss_key, ss_sql) VALUES ('Test.Eins', 'SELECT 1'), "
            "('Test.Zwei', 'SELECT name FROM adressen')"));
        UHostModules::Register();
    }
    static void TearDownTestSuite() {
        UHostModules::Unregister();
        FrameworkTest::TearDownTestSuite();
    }

protected:
    void SetUp() override {
        FrameworkTest::SetUp();
        TVoskSQLMemo::RefreshCatalogue();
        m_window.resize(700, 400);
        m_memo = new TVoskSQLMemo(&m_window);
        m_memo->setObjectName(QStringLiteral("MemoSql"));
        m_memo->resize(680, 380);
        m_window.show();
    }
    void TearDown() override {
        delete m_memo.data();
        QApplication::processEvents();
    }
    qint64 RoundTrips() const { return s_dm->Database().RoundTrips(); }

    QWidget m_window;
    QPointer<TVoskSQLMemo> m_memo;
};

} // namespace

TEST_F(SqlMemoTest, TheCatalogueIsReadOnceAndOnlyWhenTheFeaturesChange) {
    const qint64 start = RoundTrips();
    m_memo->SetFeatures(kAll);
    EXPECT_EQ(m_memo->GetFeatures(), kAll);
    EXPECT_EQ(RoundTrips() - start, 1);

    const qint64 loaded = RoundTrips();
    m_memo->SetFeatures(kAll);
    TVoskSQLMemo second(&m_window);
    second.SetFeatures(kAll);
    EXPECT_EQ(RoundTrips(), loaded);

    // Names arrive one a line: the server's line breaks, not a backslash and an n.
    auto* sql = qobject_cast<TSynSQLSyn*>(m_memo->GetHighlighter());
    ASSERT_TRUE(sql);
    EXPECT_TRUE(sql->TableNameList().contains(QStringLiteral("adressen")));
    const QStringList& list = m_memo->GetAutoComplete()->AutoCompleteList();
    EXPECT_TRUE(list.contains(QStringLiteral("ss_sql")));
    EXPECT_TRUE(list.contains(QStringLiteral("=ss_sql")));
    for (const QString& l : list)
        ASSERT_FALSE(l.contains(QLatin1Char('\\'))) << l.toStdString();

    TVoskSQLMemo::RefreshCatalogue();
    m_memo->SetFeatures(smfInternHighlighter);
    EXPECT_EQ(RoundTrips(), loaded + 1);
    EXPECT_FALSE(m_memo->GetAutoComplete());
    EXPECT_FALSE(m_memo->GetCodeInsight());
}

TEST_F(SqlMemoTest, AnEmptyCatalogueStillGivesTheFiveNames) {
    // The captions leave with the catalogue; they come back however the test ends.
    TestDatabase::Exec(
        QStringLiteral("CREATE TABLE tablefieldinfo_vorher AS SELECT * FROM tablefieldinfo"));
    const auto restore = qScopeGuard([] {
        TestDatabase::Exec(QStringLiteral(
            "DELETE FROM tablefieldinfo; INSERT INTO tablefieldinfo SELECT * FROM "
            "tablefieldinfo_vorher; DROP TABLE tablefieldinfo_vorher"));
    });
    TestDatabase::Exec(QStringLiteral("DELETE FROM tablefieldinfo"));
    m_memo->SetFeatures(smfInternHighlighter | smfInternAutoComplete);
    TestDatabase::Exec(QStringLiteral("SELECT tablefieldinfo__refresh()"));
    const QStringList five{QStringLiteral("adressen_view"), QStringLiteral("lieferschein"),
                           QStringLiteral("lieferschein_pos"), QStringLiteral("eingrech"),
                           QStringLiteral("eingrech_pos")};
    EXPECT_EQ(qobject_cast<TSynSQLSyn*>(m_memo->GetHighlighter())->TableNameList(), five);
    const QStringList& list = m_memo->GetAutoComplete()->AutoCompleteList();
    ASSERT_GE(list.size(), 10);
    EXPECT_EQ(list.mid(0, 10),
              (QStringList{five[0], QLatin1Char('=') + five[0], five[1], QLatin1Char('=') + five[1],
                           five[2], QLatin1Char('=') + five[2], five[3], QLatin1Char('=') + five[3],
                           five[4], QLatin1Char('=') + five[4]}));
    // Then the highlighter's words: data types first.
    EXPECT_EQ(list.value(10), QStringLiteral("bigint"));
    EXPECT_TRUE(list.contains(QStringLiteral("select")));
}

TEST_F(SqlMemoTest, AFailingCatalogueQueryReachesTheCallerAndTheCoordinatorHearsOfChanges) {
    TestDatabase::Exec(QStringLiteral("ALTER TABLE tablefieldinfo RENAME TO tablefieldinfo_weg"));
    EXPECT_THROW(m_memo->SetFeatures(smfInternAutoComplete), EVoskDatabaseError);
    EXPECT_EQ(m_memo->GetFeatures(), TVoskSQLMemoFeatures());
    TestDatabase::Exec(QStringLiteral("ALTER TABLE tablefieldinfo_weg RENAME TO tablefieldinfo"));
    m_memo->SetFeatures(smfInternAutoComplete);
    EXPECT_TRUE(m_memo->GetAutoComplete()->AutoCompleteList().contains(QStringLiteral("adressen")));

    auto* control = new TQ32Control(&m_window);
    m_memo->SetMyControl(control);
    EXPECT_EQ(control->Controls(), QList<QWidget*>{m_memo.data()});
    m_memo->setText(QStringLiteral("SELECT 1"));
    EXPECT_TRUE(control->Changed());
    delete control;
    EXPECT_EQ(m_memo->GetMyControl(), nullptr);
    m_memo->setText(QStringLiteral("SELECT 2")); // no coordinator left to tell
}

TEST_F(SqlMemoTest, AForeignHelperReplacesTheOwnOneAndIsTheOnlyOneStreamed) {
    m_memo->SetFeatures(kAll);
    QPointer<QsciLexer> own = m_memo->GetHighlighter();
    EXPECT_FALSE(m_memo->IsStored(QStringLiteral("_Highlighter")));
    auto* foreign = new TSynSQLSyn(&m_window);
    m_memo->SetHighlighter(foreign);
    EXPECT_FALSE(own);
    EXPECT_EQ(m_memo->GetFeatures(), smfInternAutoComplete | smfInternCodeInsight);
    EXPECT_TRUE(m_memo->IsStored(QStringLiteral("_Highlighter")));
    delete foreign;
    EXPECT_EQ(m_memo->GetHighlighter(), nullptr);

    // A foreign completion keeps its own editor; freeing it detaches it.
    QPointer<TSynAutoComplete> ownComplete = m_memo->GetAutoComplete();
    auto* complete = new TSynAutoComplete(&m_window);
    m_memo->SetAutoComplete(complete);
    EXPECT_FALSE(ownComplete);
    EXPECT_EQ(complete->Editor(), m_memo.data());
    EXPECT_EQ(m_memo->AutoCompleteSC(), (Qt::SHIFT | Qt::Key_Space).toCombined());
    delete complete;
    EXPECT_EQ(m_memo->GetAutoComplete(), nullptr);
    EXPECT_EQ(m_memo->AutoCompleteSC(), 0);
    EXPECT_EQ(m_memo->KeyDownHandlerCount(), 0);
}

TEST_F(SqlMemoTest, CodeInsightShowsTheHintInsertsTheNameAndFollowsLaterChanges) {
    m_memo->SetFeatures(smfInternCodeInsight);
    m_memo->SetCStrings({QStringLiteral("name=Der Name"), QStringLiteral("ort")});
    QApplication::processEvents();
    TSynCompletionProposal* ci = m_memo->GetCodeInsight();
    EXPECT_EQ(ci->ItemList(), (QStringList{QStringLiteral("Der Name"), QStringLiteral("ort")}));
    EXPECT_EQ(ci->InsertList(), (QStringList{QStringLiteral("name"), QStringLiteral("ort")}));

    QString inserted;
    m_memo->OnAfterComplete = [&](QObject*, const QString& v) { inserted = v; };
    m_memo->setText(QStringLiteral("SELECT a.na"));
    m_memo->setCursorPosition(0, 11);
    QTest::keyClick(m_memo, Qt::Key_Space, Qt::ControlModifier);
    ASSERT_TRUE(ci->Visible());
    EXPECT_EQ(ci->Model()->rowCount(), 1);
    QTest::keyClick(m_memo, Qt::Key_Return);
    EXPECT_EQ(m_memo->text(), QStringLiteral("SELECT a.name"));
    EXPECT_EQ(inserted, QStringLiteral("name"));

    // Without a before-complete handler a later change still reaches the list.
    m_memo->SetCStrings({QStringLiteral("plz=Postleitzahl")});
    QApplication::processEvents();
    EXPECT_EQ(ci->ItemList(), QStringList{QStringLiteral("Postleitzahl")});
    EXPECT_FALSE(m_memo->CStringsDoLoad());

    // The trigger character opens the list; a handler's change is in it when it opens.
    m_memo->OnBeforeComplete = [&](QObject*, const QString&) {
        m_memo->SetCStrings({QStringLiteral("strasse")});
    };
    m_memo->setText(QStringLiteral("a"));
    m_memo->setCursorPosition(0, 1);
    QTest::keyClick(m_memo, Qt::Key_Period);
    ASSERT_TRUE(ci->Visible());
    EXPECT_EQ(ci->ItemList(), QStringList{QStringLiteral("strasse")});
    QTest::keyClick(m_memo, Qt::Key_Escape);
}

TEST_F(SqlMemoTest, TheCheckRunsNothingAndAnswersWithOneOfTwoMessages) {
    const QString before = TestDatabase::Scalar(QStringLiteral("SELECT count(*) FROM adressen"));
    m_memo->setText(QStringLiteral("COMMIT; DELETE FROM adressen"));
    m_answers.Expect(QStringLiteral("Statement OK."), Vcl::mrOk);
    m_memo->CheckSQL();
    EXPECT_EQ(TestDatabase::Scalar(QStringLiteral("SELECT count(*) FROM adressen")), before);

    // "WHER" is taken as the table's alias; the error is the "1" behind it.
    m_memo->setText(QStringLiteral("SELECT 'Größe' FROM adressen WHER 1"));
    m_answers.Expect(QStringLiteral("Statement fehlerhaft."), Vcl::mrOk);
    EXPECT_THROW(m_memo->CheckSQL(), EAbort);
    EXPECT_EQ(m_memo->LastCheck().position, m_memo->text().lastIndexOf(QLatin1Char('1')) + 1);

    // A script that builds on its own CREATE is neither OK nor wrong before it runs.
    m_memo->setText(QStringLiteral("CREATE TABLE t_skript (a int); INSERT INTO t_skript VALUES (1)"));
    m_answers.Expect(QStringLiteral("erst beim Ausführen prüfen"), Vcl::mrOk);
    m_memo->CheckSQL();
    EXPECT_EQ(m_answers.Questions().back().kind, Vcl::mtInformation);
}

TEST_F(SqlMemoTest, InsertionsComeFromTheModalLookup) {
    m_memo->setText(QStringLiteral("SELECT abc"));
    m_memo->setSelection(0, 7, 0, 10);
    {
        AnswerLookup lookup([](TFormF2List* f) {
            f->ListResult->setCurrentRow(
                RowWhere(f, QStringLiteral("t_nr"), QStringLiteral("901")));
            f->BtOkClick();
            return int(Vcl::mrOk);
        });
        m_memo->SetInsertDontReplace(true);
        m_memo->InsertLangText();
        EXPECT_EQ(lookup.calls, 1);
    }
    EXPECT_EQ(m_memo->text(), QStringLiteral("SELECT abc langtext(901)"));

    // Cancelled: nothing goes in.
    {
        AnswerLookup lookup([](TFormF2List*) { return int(Vcl::mrCancel); });
        m_memo->InsertTableField();
    }
    EXPECT_EQ(m_memo->text(), QStringLiteral("SELECT abc langtext(901)"));

    // Two chosen fields replace the selection, joined as a column list.
    m_memo->SetInsertDontReplace(false);
    m_memo->setText(QStringLiteral("SELECT * FROM adressen"));
    m_memo->setSelection(0, 7, 0, 8);
    AnswerLookup lookup([](TFormF2List* f) {
        f->ListResult->setSelectionMode(QAbstractItemView::ExtendedSelection);
        f->ListResult->clearSelection();
        for (const char* field : {"name", "ort"}) {
            int row = -1;
            for (int i = 0; i < f->ListResult->count() && row < 0; ++i) {
                const QVariantMap r = f->ListResult->RowOf(f->ListResult->item(i));
                if (r.value(QStringLiteral("tablename")) == QStringLiteral("adressen") &&
                    r.value(QStringLiteral("field")) == QString::fromLatin1(field))
                    row = i;
            }
            f->ListResult->item(row)->setSelected(true);
            f->ListResult->setCurrentRow(row, QItemSelectionModel::Select);
        }
        f->BtOkClick();
        return int(Vcl::mrOk);
    });
    m_memo->InsertTableField();
    EXPECT_EQ(m_memo->text(), QStringLiteral("SELECT name,\r\n  ort FROM adressen"));
}

TEST_F(SqlMemoTest, TheDataAwareEditorEditsPostsAndResets) {
    TVoskClass2 data(&m_window);
    data.SetSqlTable(QStringLiteral("standardsql"));
    data.SetKeyFieldName(QStringLiteral("ss_key"));
    data.SetQuerySql(
        QStringLiteral("SELECT * FROM standardsql WHERE ss_key LIKE 'Test.%' ORDER BY ss_key"));
    data.Open();
    TVoskDBSQLMemo memo(&m_window);
    memo.SetDataSource(&data);
    memo.SetDataField(QStringLiteral("ss_sql"));
    memo.show();
    EXPECT_EQ(memo.text(), QStringLiteral("SELECT 1"));
    EXPECT_TRUE(memo.isReadOnly()); // until the user is in it
    QFocusEvent in(QEvent::FocusIn);
    QApplication::sendEvent(&memo, &in);
    ASSERT_FALSE(memo.isReadOnly());

    memo.setCursorPosition(0, 8);
    QTest::keyClicks(&memo, QStringLiteral("0"));
    EXPECT_EQ(data.State(), dsEdit);
    EXPECT_EQ(data.FieldByName(QStringLiteral("ss_sql")).Value().toString(),
              QStringLiteral("SELECT 10"));
    data.Post(false);
    EXPECT_EQ(TestDatabase::Scalar(
                  QStringLiteral("SELECT ss_sql FROM standardsql WHERE ss_key = 'Test.Eins'")),
              QStringLiteral("SELECT 10"));

    // Esc takes the typing back, in the editor and in the field.
    QTest::keyClicks(&memo, QStringLiteral(" + 1"));
    EXPECT_EQ(data.FieldByName(QStringLiteral("ss_sql")).Value().toString(),
              QStringLiteral("SELECT 10 + 1"));
    QTest::keyClick(&memo, Qt::Key_Escape);
    EXPECT_EQ(memo.text(), QStringLiteral("SELECT 10"));
    EXPECT_EQ(data.FieldByName(QStringLiteral("ss_sql")).Value().toString(),
              QStringLiteral("SELECT 10"));
    data.Cancel();

    // With the completion list open, Esc closes the list and keeps the typing; the next blank is
    // a blank, not a completion.
    memo.SetFeatures(smfInternHighlighter | smfInternAutoComplete);
    memo.setCursorPosition(0, 9);
    QTest::keyClicks(&memo, QStringLiteral(" SELEC"));
    QTest::keyClick(&memo, Qt::Key_Space, Qt::ShiftModifier);
    ASSERT_TRUE(memo.ProposalOpen());
    QTest::keyClick(&memo, Qt::Key_Escape);
    EXPECT_FALSE(memo.ProposalOpen());
    EXPECT_EQ(memo.text(), QStringLiteral("SELECT 10 SELEC"));
    QTest::keyClick(&memo, Qt::Key_Space);
    EXPECT_EQ(memo.text(), QStringLiteral("SELECT 10 SELEC "));
    QTest::keyClick(&memo, Qt::Key_Escape);
    EXPECT_EQ(memo.text(), QStringLiteral("SELECT 10"));
    data.Cancel();

    // The data-aware editor finds the lookups of the plain one; a paste puts the record in edit.
    {
        AnswerLookup lookup([](TFormF2List* f) {
            f->ListResult->setCurrentRow(
                RowWhere(f, QStringLiteral("t_nr"), QStringLiteral("900")));
            f->BtOkClick();
            return int(Vcl::mrOk);
        });
        memo.setCursorPosition(0, 9);
        memo.InsertLangText();
    }
    EXPECT_EQ(memo.text(), QStringLiteral("SELECT 10 langtext(900)"));
    EXPECT_EQ(data.FieldByName(QStringLiteral("ss_sql")).Value().toString(), memo.text());
    data.Cancel();
    memo.Reset();
    QApplication::clipboard()->setText(QStringLiteral(" -- x"));
    memo.setCursorPosition(0, 9);
    memo.paste();
    EXPECT_EQ(data.State(), dsEdit);
    data.Cancel();

    // Read-only: no typing reaches the field.
    memo.SetReadOnly(true);
    QTest::keyClicks(&memo, QStringLiteral("z"));
    EXPECT_EQ(data.State(), dsBrowse);
    memo.SetReadOnly(false);

    // The next record shows its text.
    data.Next();
    EXPECT_EQ(memo.text(), QStringLiteral("SELECT name FROM adressen"));
    QFocusEvent out(QEvent::FocusOut);
    QApplication::sendEvent(&memo, &out);
    EXPECT_TRUE(memo.isReadOnly());
    TestDatabase::Exec(
        QStringLiteral("UPDATE standardsql SET ss_sql = 'SELECT 1' WHERE ss_key = 'Test.Eins'"));
}

// The SQL editor frame's syntax check against the real server and its drop of text: where the
// error is pointed at behind umlauts, that an error without a position still says why, that the
// check runs nothing, and that a drop inserts what was dragged.

#include "FrameworkFixture.h"

#include <TVoskBalloonHint.h>
#include <UFrameSQLEditor.h>
#include <UVoskSQLMemo.h>

#include <libpq-fe.h>

#include <QApplication>
#include <QDropEvent>
#include <TVoskPopupMenu.h>
#include <QMimeData>

#include <gtest/gtest.h>

#include <memory>

using testsupport::TestDatabase;

namespace {

class SqlEditorFrameTest : public FrameworkTest {
protected:
    void SetUp() override {
        FrameworkTest::SetUp();
        m_frame = std::make_unique<TFrameSQLEditor>(nullptr);
        m_frame->resize(600, 300);
        m_frame->show();
    }
    void TearDown() override { m_frame.reset(); }

    const Vcl::TQuestion& lastQuestion() const { return m_answers.Questions().back(); }
    std::unique_ptr<TFrameSQLEditor> m_frame;
};

TEST_F(SqlEditorFrameTest, AnErrorBehindUmlautsSelectsItsCharacterAndNamesLineAndColumn) {
    m_frame->SQLMemo->setText(QStringLiteral("-- Größe der Straßen\nSELECT 'Müller' AS name,\n"
                                             "  'Straße' ,, ort FROM adressen"));
    m_answers.Expect(QStringLiteral("Zeile: 3, Zeichen: 13"), Vcl::mrOk);
    m_frame->moSyntaxPruefung->trigger();
    ASSERT_EQ(m_answers.Questions().size(), 1u);
    EXPECT_EQ(lastQuestion().kind, Vcl::mtWarning);
    EXPECT_EQ(lastQuestion().text, QStringLiteral("Fehler bei Syntaxprüfung:\nZeile: 3, Zeichen: 13"));
    EXPECT_EQ(m_frame->SQLMemo->selectedText(), QStringLiteral(","));
    int lf = 0, xf = 0, lt = 0, xt = 0;
    m_frame->SQLMemo->getSelection(&lf, &xf, &lt, &xt);
    EXPECT_EQ(lf, 2);
    EXPECT_EQ(xf, 12);
    EXPECT_FALSE(m_frame->BalloonHint->IsShowing());
}

TEST_F(SqlEditorFrameTest, AnErrorAtTheFirstCharacterOrBehindAnAstralCharacterIsWhereItIs) {
    // The first character of a text of several lines.
    m_frame->SQLMemo->setText(QStringLiteral("SELEKT 1\nFROM adressen\nWHERE true"));
    m_answers.Expect(QStringLiteral("Zeile: 1, Zeichen: 1"), Vcl::mrOk);
    m_frame->moSyntaxPruefung->trigger();
    ASSERT_EQ(m_answers.Questions().size(), 1u);
    EXPECT_EQ(lastQuestion().text, QStringLiteral("Fehler bei Syntaxprüfung:\nZeile: 1, Zeichen: 1"));
    EXPECT_EQ(m_frame->SQLMemo->selectedText(), QStringLiteral("S"));

    // A character outside the BMP before the error counts as one.
    m_frame->SQLMemo->setText(QStringLiteral("SELECT 1;\nSELECT '\U0001F600' ,, 1"));
    m_answers.Expect(QStringLiteral("Zeile: 2, Zeichen: 13"), Vcl::mrOk);
    m_frame->moSyntaxPruefung->trigger();
    ASSERT_EQ(m_answers.Questions().size(), 2u);
    EXPECT_EQ(lastQuestion().text, QStringLiteral("Fehler bei Syntaxprüfung:\nZeile: 2, Zeichen: 13"));
    EXPECT_EQ(m_frame->SQLMemo->selectedText(), QStringLiteral(","));
    int lf = 0, xf = 0, lt = 0, xt = 0;
    m_frame->SQLMemo->getSelection(&lf, &xf, &lt, &xt);
    EXPECT_EQ(lf, 1);
    EXPECT_EQ(xf, 12);
}

TEST_F(SqlEditorFrameTest, ACorrectStatementShowsTheBalloonAndIsNotRun) {
    TestDatabase::Exec(QStringLiteral("CREATE TABLE IF NOT EXISTS sqlframe_probe (n int); "
                                      "DELETE FROM sqlframe_probe; "
                                      "INSERT INTO sqlframe_probe VALUES (1), (2)"));
    m_frame->SQLMemo->setText(QStringLiteral("DELETE FROM sqlframe_probe"));
    m_frame->moSyntaxPruefung->trigger();
    EXPECT_TRUE(m_answers.Questions().empty());
    EXPECT_TRUE(m_frame->BalloonHint->IsShowing());
    EXPECT_EQ(m_frame->BalloonHint->ShownText(),
              QStringLiteral("Syntaxprüfung erfolgreich durchgeführt."));
    // Its bottom right corner sits at the editor's.
    const QRect r = m_frame->BalloonHint->Balloon()->geometry();
    EXPECT_LE(r.right(), m_frame->SQLMemo->rect().right());
    EXPECT_GE(r.bottom(), m_frame->SQLMemo->rect().bottom() - 2);
    EXPECT_EQ(TestDatabase::Scalar(QStringLiteral("SELECT count(*) FROM sqlframe_probe")),
              QStringLiteral("2"));
    TestDatabase::Exec(QStringLiteral("DROP TABLE sqlframe_probe"));
}

TEST_F(SqlEditorFrameTest, AServerErrorWithoutPositionShowsTheServersMessage) {
    // A lock held elsewhere ends the check after its time-out; the server names no position.
    PGconn* other = PQconnectdb("");
    ASSERT_EQ(PQstatus(other), CONNECTION_OK);
    PQclear(PQexec(other, "CREATE TABLE IF NOT EXISTS sqlframe_locked (n int)"));
    PQclear(PQexec(other, "BEGIN; LOCK TABLE sqlframe_locked IN ACCESS EXCLUSIVE MODE"));
    m_frame->SQLMemo->setText(QStringLiteral("SELECT n FROM sqlframe_locked"));
    m_answers.Expect(QStringLiteral("Fehler bei Syntaxprüfung: \n"), Vcl::mrOk);
    m_frame->moSyntaxPruefung->trigger();
    PQclear(PQexec(other, "ROLLBACK; DROP TABLE sqlframe_locked"));
    PQfinish(other);
    ASSERT_EQ(m_answers.Questions().size(), 1u);
    EXPECT_EQ(lastQuestion().kind, Vcl::mtWarning);
    EXPECT_GT(lastQuestion().text.size(), QStringLiteral("Fehler bei Syntaxprüfung: \n").size());
    EXPECT_FALSE(m_frame->BalloonHint->IsShowing());
}

TEST_F(SqlEditorFrameTest, ADropInsertsTheDraggedTextElseTheClipboardsAndSelectsIt) {
    m_frame->SQLMemo->setText(QStringLiteral("SELECT  FROM adressen"));
    m_answers.SetText(QStringLiteral("clipboard_text"));
    const QPoint at = [&] {
        const long pos = m_frame->SQLMemo->positionFromLineIndex(0, 7);
        const int x = int(m_frame->SQLMemo->SendScintilla(
            QsciScintillaBase::SCI_POINTXFROMPOSITION, 0ul, pos));
        const int y = int(m_frame->SQLMemo->SendScintilla(
            QsciScintillaBase::SCI_POINTYFROMPOSITION, 0ul, pos));
        return QPoint(x + 1, y + 2);
    }();
    QMimeData dragged;
    dragged.setText(QStringLiteral("name, ort"));
    QDragEnterEvent enter(at, Qt::CopyAction, &dragged, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(m_frame->SQLMemo->viewport(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(at), Qt::CopyAction, &dragged, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(m_frame->SQLMemo->viewport(), &drop);
    EXPECT_EQ(m_frame->SQLMemo->text(), QStringLiteral("SELECT name, ort FROM adressen"));
    EXPECT_EQ(m_frame->SQLMemo->selectedText(), QStringLiteral("name, ort"));

    // A drag without text is refused and a drop of it inserts nothing, whatever the clipboard
    // holds.
    m_frame->SQLMemo->setText(QStringLiteral("SELECT  FROM adressen"));
    QMimeData bare;
    bare.setData(QStringLiteral("application/octet-stream"), QByteArray("\x01\x02"));
    QDragEnterEvent refused(at, Qt::CopyAction, &bare, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(m_frame->SQLMemo->viewport(), &refused);
    EXPECT_FALSE(refused.isAccepted());
    QDropEvent drop2(QPointF(at), Qt::CopyAction, &bare, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(m_frame->SQLMemo->viewport(), &drop2);
    EXPECT_EQ(m_frame->SQLMemo->text(), QStringLiteral("SELECT  FROM adressen"));
}

TEST_F(SqlEditorFrameTest, ChangingTheTextTellsTheOwner) {
    int calls = 0;
    m_frame->_OnSQLTextChanged = [&](QObject* sender) {
        EXPECT_EQ(sender, m_frame.get());
        ++calls;
    };
    m_frame->SQLMemo->setText(QStringLiteral("SELECT 1"));
    EXPECT_GE(calls, 1);
}

} // namespace

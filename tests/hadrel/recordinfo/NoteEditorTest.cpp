// The note editor as the record information window opens it: a new note and a changed one are
// saved, Cancel and Esc drop the changes, a note the server refuses stays in edit.
#include "RecordInfoFixture.h"

#include "MenuTree.h"
#include "TDBText.h"
#include "TQ32Control.h"
#include "TServSQL2.h"
#include "TVoskDBDateTimeEdit.h"
#include "TVoskDBLookupComboBox.h"
#include "TVoskDBMemo.h"
#include "UEditContact.h"

#include <QPushButton>
#include <QToolButton>

class NoteEditorTest : public RecordInfoFixture {
protected:
    void SetUp() override {
        RecordInfoFixture::SetUp();
        // The fixture empties the slots after each test; the unit fills its own again.
        if (!UModulFormSeams::FormRecnoComments.Assigned()) {
            Rtl::Package& hadrel = Rtl::Package::Get(QStringLiteral("hadrel"));
            hadrel.Finalize();
            hadrel.Initialize();
        }
    }
    void TearDown() override {
        TestDatabase::Exec(QStringLiteral(
            "DROP TRIGGER IF EXISTS recnocomments_refuse ON recnocomments; "
            "DROP FUNCTION IF EXISTS recnocomments_refuse()"));
        RecordInfoFixture::TearDown();
    }
    TMenuForm* Info(qint64 id) {
        auto* m = TFormKorvexGundForm::Create<TMenuForm>(nullptr);
        Track(m);
        m->MenuCreate(QStringLiteral("adressen"), QString::number(id), QStringLiteral("TFormAdress"),
                      QString());
        m->show();
        return m;
    }
    // The editor the window opened, on screen.
    static TFormRecnoComments* Editor(TMenuForm* m) {
        auto* e = qobject_cast<TFormRecnoComments*>(m->CommentEditor());
        EXPECT_TRUE(e) << "no note editor open";
        QApplication::processEvents();
        return e;
    }
    // Whether the editor has gone, as its close frees it.
    static bool Closed(QPointer<TFormRecnoComments> e) {
        QApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return !e || !e->isVisible();
    }
    static QString Notes(qint64 id) {
        return TestDatabase::Scalar(
            QStringLiteral("SELECT string_agg(rc_betreff || '|' || coalesce(rc_category, '') || '|' "
                           "|| coalesce(rc_text, ''), ';' ORDER BY dbrid) FROM recnocomments "
                           "WHERE rc_tablename = 'adressen' AND rc_dbrid = %1")
                .arg(id));
    }
};

TEST_F(NoteEditorTest, TheSlotIsFilledAtInitAndEmptyAfterFinalization) {
    // The fixture initialized the package for the suite.
    EXPECT_TRUE(UModulFormSeams::FormRecnoComments.Assigned());
    Rtl::Package& hadrel = Rtl::Package::Get(QStringLiteral("hadrel"));
    hadrel.Finalize();
    EXPECT_FALSE(UModulFormSeams::FormRecnoComments.Assigned());
    hadrel.Initialize();
    EXPECT_TRUE(UModulFormSeams::FormRecnoComments.Assigned());
}

TEST_F(NoteEditorTest, ANewNoteIsWrittenWithItsCategoryAndTheEditorCloses) {
    const qint64 id = IdOf(QStringLiteral("Adresse 03"));
    TMenuForm* m = Info(id);
    m->BtEditCommentClick(m->BtEditComment);
    QPointer<TFormRecnoComments> e = Editor(m);
    ASSERT_TRUE(e);
    EXPECT_EQ(e->windowTitle(), QStringLiteral("Bemerkungen"));
    EXPECT_EQ(e->TopLabel->Toplabel->text(), QStringLiteral("Bemerkungen"));
    EXPECT_FALSE(e->IsMdiChild());
    EXPECT_FALSE(e->BtWvod->isEnabled());
    EXPECT_FALSE(e->rc_id->isEnabled());
    EXPECT_TRUE(e->lbUnternotiz->isHidden());
    EXPECT_EQ(e->lbText->text(), QStringLiteral("Text:"));
    EXPECT_EQ(e->rc_betreff->text(), QStringLiteral("Informationen"));
    EXPECT_EQ(e->rc_user->text(), s_dm->LoginName());
    EXPECT_TRUE(e->rc_date->dateTime().isValid());
    // The categories of the named SQL, by their menu text, after the empty entry.
    ASSERT_GE(e->rc_category->count(), 6);
    EXPECT_EQ(e->rc_category->itemText(1), QStringLiteral("Telefonat"));
    EXPECT_EQ(e->rc_category->itemData(1).toString(), QStringLiteral("TEL"));
    for (QWidget* w : std::initializer_list<QWidget*>{e->rc_id, e->rc_date, e->rc_user, e->rc_text,
                                                      e->rc_betreff, e->rc_category, e->BtOK,
                                                      e->BtCancel})
        EXPECT_FALSE(w->accessibleName().isEmpty() || w->toolTip().isEmpty())
            << w->objectName().toStdString();

    Type(e->rc_betreff, QStringLiteral("Anruf"));
    ASSERT_TRUE(e->rc_category->SelectKey(QStringLiteral("REK")));
    e->rc_text->setFocus();
    QTest::keyClicks(e->rc_text, QStringLiteral("Kunde meldet Schaden"));
    e->BtOK->click();
    EXPECT_TRUE(Closed(e));
    EXPECT_EQ(Notes(id), QStringLiteral("Anruf|REK|Kunde meldet Schaden"));
    EXPECT_FALSE(m->RecNoComment1->InEdit());
    EXPECT_EQ(m->RecNoComment1->RecordCount(), 1);
}

TEST_F(NoteEditorTest, ChangingANoteKeepsACategoryTheListDoesNotKnow) {
    const qint64 id = IdOf(QStringLiteral("Adresse 04"));
    TestDatabase::Exec(QStringLiteral("INSERT INTO recnocomments (rc_tablename, rc_dbrid, "
                                      "rc_betreff, rc_category, rc_text) VALUES "
                                      "('adressen', %1, 'Alt', 'ALT', 'erster Text')")
                           .arg(id));
    TMenuForm* m = Info(id);
    m->BtEditCommentClick(m->BtEditComment);
    QPointer<TFormRecnoComments> e = Editor(m);
    ASSERT_TRUE(e);
    EXPECT_EQ(e->rc_category->currentText(), QStringLiteral("ALT"));
    EXPECT_EQ(e->rc_text->toPlainText(), QStringLiteral("erster Text"));
    EXPECT_FALSE(e->dblb_insert_by_name->text().isEmpty());
    // Entering the text of a note that was saved before leaves the cursor where the click put it.
    e->rc_text->setFocus();
    EXPECT_NE(e->Q32Control1->ActiveControl(), e->rc_text);
    Type(e->rc_betreff, QStringLiteral("Neu"));
    e->BtOK->click();
    EXPECT_TRUE(Closed(e));
    EXPECT_EQ(Notes(id), QStringLiteral("Neu|ALT|erster Text"));
}

TEST_F(NoteEditorTest, CancelAndEscDropTheChangesAndANewNote) {
    const qint64 id = IdOf(QStringLiteral("Adresse 05"));
    TestDatabase::Exec(QStringLiteral("INSERT INTO recnocomments (rc_tablename, rc_dbrid, "
                                      "rc_betreff) VALUES ('adressen', %1, 'Bleibt')")
                           .arg(id));
    TMenuForm* m = Info(id);
    m->BtEditCommentClick(m->BtEditComment);
    QPointer<TFormRecnoComments> e = Editor(m);
    ASSERT_TRUE(e);
    Type(e->rc_betreff, QStringLiteral("Verworfen"));
    e->BtCancel->click();
    EXPECT_TRUE(Closed(e));
    EXPECT_FALSE(m->RecNoComment1->InEdit());
    EXPECT_EQ(m->RecNoComment1->FieldByName(QStringLiteral("rc_betreff")).AsString(),
              QStringLiteral("Bleibt"));

    // Esc in the text drops a new note: it is consumed, no control sees it.
    m->RecNoComment1->AppendNote();
    m->RecNoComment1AfterInsert();
    e = Editor(m);
    ASSERT_TRUE(e);
    ASSERT_TRUE(m->RecNoComment1->IsNewRecord());
    e->rc_text->setFocus();
    // A new note is written on from the end of what it holds.
    EXPECT_EQ(e->Q32Control1->ActiveControl(), e->rc_text);
    QTest::keyClicks(e->rc_text, QStringLiteral("nie gespeichert"));
    QTest::keyClick(e->rc_text, Qt::Key_Escape);
    EXPECT_TRUE(Closed(e));
    EXPECT_FALSE(m->RecNoComment1->InEdit());
    EXPECT_EQ(Notes(id), QStringLiteral("Bleibt||"));
}

TEST_F(NoteEditorTest, ARefusedNoteStaysInEditWithTheServersMessage) {
    TestDatabase::Exec(QStringLiteral(
        "CREATE FUNCTION recnocomments_refuse() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN "
        "IF NEW.rc_betreff = 'gesperrt' THEN RAISE EXCEPTION 'Betreff gesperrt: %', "
        "NEW.rc_betreff; END IF; RETURN NEW; END $$; "
        "CREATE TRIGGER recnocomments_refuse BEFORE INSERT OR UPDATE ON recnocomments "
        "FOR EACH ROW EXECUTE FUNCTION recnocomments_refuse()"));
    const qint64 id = IdOf(QStringLiteral("Adresse 06"));
    TMenuForm* m = Info(id);
    m->BtEditCommentClick(m->BtEditComment);
    QPointer<TFormRecnoComments> e = Editor(m);
    ASSERT_TRUE(e);
    Type(e->rc_betreff, QStringLiteral("gesperrt"));
    m_answers.Expect(QStringLiteral("Betreff gesperrt: gesperrt"), Vcl::mrOk);
    e->BtOK->click();
    QApplication::processEvents();
    ASSERT_TRUE(e);
    EXPECT_TRUE(e->isVisible());
    EXPECT_TRUE(m->RecNoComment1->IsNewRecord());
    EXPECT_EQ(e->rc_betreff->text(), QStringLiteral("gesperrt"));
    EXPECT_EQ(Notes(id), QString());

    // Corrected, the same note goes through.
    Type(e->rc_betreff, QStringLiteral("frei"));
    e->BtOK->click();
    EXPECT_TRUE(Closed(e));
    EXPECT_EQ(Notes(id), QStringLiteral("frei||"));
}

TEST_F(NoteEditorTest, TheCloseBoxAsksForAChangedNote) {
    const qint64 id = IdOf(QStringLiteral("Adresse 07"));
    TestDatabase::Exec(QStringLiteral("INSERT INTO recnocomments (rc_tablename, rc_dbrid, "
                                      "rc_betreff) VALUES ('adressen', %1, 'Vorher')")
                           .arg(id));
    TMenuForm* m = Info(id);
    m->BtEditCommentClick(m->BtEditComment);
    QPointer<TFormRecnoComments> e = Editor(m);
    ASSERT_TRUE(e);
    Type(e->rc_betreff, QStringLiteral("Nachher"));
    // "Abbrechen" keeps the editor with the change.
    m_answers.Expect(QStringLiteral("Änderungen speichern?"), Vcl::mrCancel);
    EXPECT_FALSE(e->Close());
    EXPECT_TRUE(m->RecNoComment1->InEdit());
    m_answers.Expect(QStringLiteral("Änderungen speichern?"), Vcl::mrYes);
    EXPECT_TRUE(e->Close());
    EXPECT_TRUE(Closed(e));
    EXPECT_EQ(Notes(id), QStringLiteral("Nachher||"));
}

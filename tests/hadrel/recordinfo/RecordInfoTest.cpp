#include "RecordInfoFixture.h"

#include "MenuTree.h"
#include "UModulForm.Start.h"
#include "TVoskDBGrid2.h"
#include "TVoskPopupMenu.h"

#include <QCheckBox>
#include <QItemSelectionModel>
#include <QTabWidget>

class RecordInfoTest : public RecordInfoFixture {
protected:
    TMenuForm* Info(const QString& table, const QString& id, const QString& category = {}) {
        auto* m = TFormKorvexGundForm::Create<TMenuForm>(nullptr);
        Track(m);
        m->MenuCreate(table, id, QStringLiteral("TFormAdress"), category);
        return m;
    }
    static void AddNotes(qint64 id) {
        TestDatabase::Exec(
            QStringLiteral("INSERT INTO recnocomments (rc_tablename, rc_dbrid, rc_betreff, "
                           "rc_category, rc_date) "
                           "VALUES ('adressen', %1, 'eins', 'TEL', now() - interval '3 day'), "
                           "('adressen', %1, 'zwei', 'BES', now() - interval '2 day'), "
                           "('adressen', %1, 'drei', 'BES', now() - interval '1 day'), "
                           "('lager', 77, 'vom Lager', NULL, now() - interval '4 day')")
                .arg(id));
        TestDatabase::Exec(
            QStringLiteral(
                "UPDATE recnocomments SET rc_parent_dbrid = %1 WHERE rc_tablename = 'lager'")
                .arg(id));
    }
    static QString Subject(TMenuForm* m) {
        return m->RecNoComment1->FieldByName(QStringLiteral("rc_betreff")).AsString();
    }
};

TEST_F(RecordInfoTest, MenuCreateRefusesARecordWithoutIdOrTable) {
    auto* m = TFormKorvexGundForm::Create<TMenuForm>(nullptr);
    Track(m);
    EXPECT_EQ(m->windowTitle(), QStringLiteral("Informationen"));
    try {
        m->MenuCreate(QStringLiteral("adressen"), QString(), QString(), QString());
        ADD_FAILURE() << "an empty id must be refused";
    } catch (const EVoskException& e) {
        EXPECT_EQ(e.Message(),
                  QStringLiteral("Record has no id, please save and refresh/restart Module"));
    }
    try {
        m->MenuCreate(QString(), QStringLiteral("5"), QString(), QString());
        ADD_FAILURE() << "an empty table must be refused";
    } catch (const EVoskException& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("no tablename/sqltable given"));
    }
    EXPECT_FALSE(m->RecNoComment1->Active());
}

TEST_F(RecordInfoTest, CategoryPositionsHighlightsAndNamesNotesOfOtherTables) {
    const qint64 id = IdOf(QStringLiteral("Adresse 11"));
    AddNotes(id);
    TMenuForm* m = Info(QStringLiteral("adressen"), QString::number(id), QStringLiteral("BES"));
    ASSERT_EQ(m->RecNoComment1->RecordCount(), 4);
    // Newest first: drei, zwei, eins, then the child's note of another table.
    EXPECT_EQ(Subject(m), QStringLiteral("drei"));
    EXPECT_TRUE(m->GridContactsCustomDrawCell(0));
    EXPECT_TRUE(m->GridContactsCustomDrawCell(1));
    EXPECT_FALSE(m->GridContactsCustomDrawCell(2));
    EXPECT_FALSE(m->GridContactsCustomDrawCell(3));
    EXPECT_EQ(m->GridContactsrc_betreffGetDisplayText(0), QStringLiteral("drei"));
    EXPECT_EQ(m->GridContactsrc_betreffGetDisplayText(3), QStringLiteral("lager: vom Lager"));
    // Without a category nothing is painted.
    TMenuForm* plain = Info(QStringLiteral("adressen"), QString::number(id));
    EXPECT_FALSE(plain->GridContactsCustomDrawCell(0));
}

TEST_F(RecordInfoTest, AutoOpenCommentOpensTheEditorOnceAndKeepsItsNewNote) {
    RecordEditors();
    const qint64 id = IdOf(QStringLiteral("Adresse 12"));
    TMenuForm* m = Track(TMenuForm::Create(nullptr, QStringLiteral("adressen"), QString::number(id),
                                           true, false, false, QStringLiteral("TFormAdress"),
                                           QStringLiteral("TEL")));
    m->FormActivate(m);
    EXPECT_EQ(s_editors, 1);
    ASSERT_TRUE(m->RecNoComment1->IsNewRecord());
    EXPECT_EQ(m->RecNoComment1->FieldByName(QStringLiteral("rc_category")).AsString(),
              QStringLiteral("TEL"));
    EXPECT_EQ(Subject(m), QStringLiteral("Informationen"));
    // Coming back to the window while the editor is open keeps the note being written.
    m->FormActivate(m);
    EXPECT_EQ(s_editors, 1);
    EXPECT_TRUE(m->RecNoComment1->IsNewRecord());
    // Once the editor is gone, an unsaved new note is dropped.
    delete m->CommentEditor();
    m->FormActivate(m);
    EXPECT_FALSE(m->RecNoComment1->InEdit());
    EXPECT_EQ(TestDatabase::Scalar(QStringLiteral("SELECT count(*) FROM recnocomments")),
              QStringLiteral("0"));
}

TEST_F(RecordInfoTest, WithoutANoteEditorNothingIsWritten) {
    UModulFormSeams::FormRecnoComments.Reset();
    const qint64 id = IdOf(QStringLiteral("Adresse 12"));
    TMenuForm* m = Info(QStringLiteral("adressen"), QString::number(id));
    m_answers.Expect(QStringLiteral("Notizeditor ist in dieser Installation nicht verfügbar"),
                     Vcl::mrOk);
    m->BtEditCommentClick(m->BtEditComment);
    EXPECT_FALSE(m->RecNoComment1->InEdit());
    EXPECT_TRUE(m->RecNoComment1->IsEmpty());
}

TEST_F(RecordInfoTest, TheSettingForcesAndLocksTheCheckBox) {
    TFormAdress* f = OpenQuiet();
    auto* m = TFormKorvexGundForm::Create<TMenuForm>(f);
    Track(m);
    m->MenuCreate(QStringLiteral("adressen"), QString::number(CurrentId(f)), {}, {});
    m->FormActivate(m);
    EXPECT_FALSE(m->cbHinweisAlsDialog->isChecked());
    EXPECT_TRUE(m->cbHinweisAlsDialog->isEnabled());
    // The user's choice is kept per module form and is what the status bar asks.
    m->cbHinweisAlsDialog->setChecked(true);
    EXPECT_TRUE(f->TopLabel->HinweisAlsDialog());
    m->cbHinweisAlsDialog->setChecked(false);
    EXPECT_FALSE(f->TopLabel->HinweisAlsDialog());

    s_dm->SetBoolSetting(QStringLiteral("recnocomments_cbHinweisAlsDialog"), true);
    m->FormActivate(m);
    EXPECT_TRUE(m->cbHinweisAlsDialog->isChecked());
    EXPECT_FALSE(m->cbHinweisAlsDialog->isEnabled());
    s_dm->SetBoolSetting(QStringLiteral("recnocomments_cbHinweisAlsDialog"), false);
}

TEST_F(RecordInfoTest, EnterOpensTheNoteEscClosesOnlyWhenNothingIsEdited) {
    RecordEditors();
    const qint64 id = IdOf(QStringLiteral("Adresse 13"));
    AddNotes(id);
    TMenuForm* m = Info(QStringLiteral("adressen"), QString::number(id));
    m->show();
    EXPECT_EQ(m->VoskPageControl1->tabText(m->VoskPageControl1->indexOf(m->RegTags)),
              QStringLiteral("RegTags-Schlüsselbegriffe"));
    m->activateWindow();
    m->GridContacts->setFocus();
    QApplication::processEvents();
    QTest::keyClick(m->GridContacts, Qt::Key_Return);
    EXPECT_EQ(s_editors, 1);
    delete m->CommentEditor();

    m->VoskPageControl1->setCurrentWidget(m->RegTags);
    m->GridKeyWords->setFocus();
    m->RecNoKeyWord1->AppendKeyword();
    QTest::keyClick(m->GridKeyWords, Qt::Key_Escape);
    EXPECT_TRUE(m->isVisible());
    m->RecNoKeyWord1->Cancel();
    QTest::keyClick(m->GridKeyWords, Qt::Key_Escape);
    EXPECT_FALSE(m->isVisible());
}

TEST_F(RecordInfoTest, CategoryMenuChangesTheSelectedNotesOnly) {
    const qint64 id = IdOf(QStringLiteral("Adresse 14"));
    AddNotes(id);
    TMenuForm* m = Info(QStringLiteral("adressen"), QString::number(id));
    QList<TVoskMenuItem*> items;
    for (QAction* a : m->moEditCategoryMenu->actions())
        if (auto* i = qobject_cast<TVoskMenuItem*>(a))
            items << i;
    ASSERT_GE(items.size(), 5);
    EXPECT_EQ(items[0]->text(), QStringLiteral("Telefonat"));
    TVoskMenuItem* rek = items[3];
    EXPECT_EQ(rek->Value().toString(), QStringLiteral("REK"));

    auto* sel = m->GridContacts->selectionModel();
    const auto* model = m->GridContacts->model();
    sel->select(model->index(0, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    sel->select(model->index(2, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    m_answers.Expect(QStringLiteral("Reklamation"), Vcl::mrYes);
    m->moEditCategoryClick(rek);
    EXPECT_EQ(TestDatabase::Scalar(QStringLiteral(
                  "SELECT string_agg(rc_betreff || '=' || coalesce(rc_category, ''), ',' "
                  "ORDER BY rc_betreff) FROM recnocomments")),
              QStringLiteral("drei=REK,eins=REK,vom Lager=,zwei=BES"));
    // "No" changes nothing.
    m_answers.Expect(QStringLiteral("Sonstiges"), Vcl::mrNo);
    m->moEditCategoryClick(items[4]);
    EXPECT_EQ(TestDatabase::Scalar(
                  QStringLiteral("SELECT count(*) FROM recnocomments WHERE rc_category = 'SON'")),
              QStringLiteral("0"));
}

TEST_F(RecordInfoTest, AKeywordWithoutTextIsRefused) {
    const qint64 id = IdOf(QStringLiteral("Adresse 15"));
    TMenuForm* m = Info(QStringLiteral("adressen"), QString::number(id));
    m->VoskPageControl1->setCurrentWidget(m->RegTags);
    m->RecNoKeyWord1->AppendKeyword();
    m->RecNoKeyWord1->FieldByName(QStringLiteral("r_kategorie"))
        .SetAsString(QStringLiteral("Branche"));
    m_answers.Expect(QStringLiteral("Bitte einen Schlüsselbegriff eingeben."), Vcl::mrOk);
    EXPECT_ANY_THROW(m->RecNoKeyWord1->Post());
    EXPECT_TRUE(m->RecNoKeyWord1->IsNewRecord());
    EXPECT_EQ(TestDatabase::Scalar(QStringLiteral("SELECT count(*) FROM recnokeyword")),
              QStringLiteral("0"));
    m->RecNoKeyWord1->FieldByName(QStringLiteral("r_descr")).SetAsString(QStringLiteral("Handel"));
    m->RecNoKeyWord1->Post();
    EXPECT_EQ(TestDatabase::Scalar(QStringLiteral(
                  "SELECT r_tablename || ':' || r_dbrid || ':' || r_descr FROM recnokeyword")),
              QStringLiteral("adressen:%1:Handel").arg(id));
}

TEST_F(RecordInfoTest, ShowHistorieChoosesThePageBySender) {
    TFormAdress* f = OpenQuiet();
    AddNotes(CurrentId(f));
    TMenuForm* notes = Track(f->TopLabel->ShowHistorie(f->BtHistorie));
    ASSERT_TRUE(notes);
    EXPECT_TRUE(notes->isVisible());
    EXPECT_EQ(notes->VoskPageControl1->currentWidget(), notes->RegVerlauf);
    EXPECT_EQ(notes->_tablename, QStringLiteral("adressen"));
    EXPECT_EQ(notes->_TForm, QStringLiteral("TFormAdress"));
    TMenuForm* props = Track(f->TopLabel->ShowHistorie(f->BtEigenschaften));
    EXPECT_EQ(props->VoskPageControl1->currentWidget(), props->RegEigenschaften);
    EXPECT_TRUE(props->RecNoProp1->Active());
    TVoskMenuItem item(QStringLiteral("Eigenschaften"));
    item.SetTextNr(2288);
    TMenuForm* byMenu = Track(f->TopLabel->ShowHistorie(&item));
    EXPECT_EQ(byMenu->VoskPageControl1->currentWidget(), byMenu->RegEigenschaften);
}

TEST_F(RecordInfoTest, ShowHistorieOnAnUnsavedRecordOnlyInforms) {
    TFormAdress* f = OpenQuiet();
    f->DataAdressen->Append();
    m_answers.Expect(QStringLiteral("Keine Notizen: Datensatz in TVoskClass2.DataAdressen nicht "
                                    "vorhanden.\r\n\r\nmodul=TFormAdress, dbrid=null/empty"),
                     Vcl::mrOk);
    EXPECT_EQ(f->TopLabel->ShowHistorie(f->BtHistorie), nullptr);
    f->DataAdressen->Cancel();
}

TEST_F(RecordInfoTest, ShowHistorieAsksForAFirstNote) {
    RecordEditors();
    TFormAdress* f = OpenQuiet();
    const int before = Vcl::ComponentsOf<TMenuForm>(f).size();
    m_answers.Expect(QStringLiteral("noch keine Notiz"), Vcl::mrCancel);
    EXPECT_THROW(f->TopLabel->ShowHistorie(f->BtHistorie), EAbort);
    EXPECT_EQ(Vcl::ComponentsOf<TMenuForm>(f).size(), before);
    EXPECT_EQ(s_editors, 0);

    m_answers.Expect(QStringLiteral("noch keine Notiz"), Vcl::mrYes);
    TMenuForm* m = Track(f->TopLabel->ShowHistorie(f->BtHistorie));
    EXPECT_TRUE(m->isVisible());
    EXPECT_EQ(s_editors, 1);
    EXPECT_TRUE(m->RecNoComment1->IsNewRecord());
    m->RecNoComment1->Cancel();
}

TEST_F(RecordInfoTest, TheMenuItemsClassSlotMakesAFillableWindow) {
    ASSERT_TRUE(TVoskMenuItem::MenuFormClass.Assigned());
    Vcl::TForm* made = Track(TVoskMenuItem::MenuFormClass(nullptr));
    auto* fill = dynamic_cast<IMenuCreate*>(made);
    ASSERT_TRUE(fill);
    const qint64 id = IdOf(QStringLiteral("Adresse 16"));
    AddNotes(id);
    fill->MenuCreate(QStringLiteral("adressen"), QString::number(id), QString(), QString());
    EXPECT_EQ(static_cast<TMenuForm*>(made)->RecNoComment1->RecordCount(), 4);
}

TEST_F(RecordInfoTest, ANewPropertyOpensTheLookupOfItsName) {
    const qint64 id = IdOf(QStringLiteral("Adresse 14"));
    TMenuForm* m = Info(QStringLiteral("adressen"), QString::number(id));
    ASSERT_TRUE(m->frRecnoParams);
    QList<QObject*> looked;
    const TMakeF2Proc old = MakeF2Proc;
    MakeF2Proc = [&](TF2Result&, QWidget*, QObject* field, std::unique_ptr<QStringList>,
                     TMakeF2Event) { looked << field; };
    m->VoskPageControl1->setCurrentWidget(m->RegEigenschaften);
    ASSERT_TRUE(m->RecNoProp1->Active());
    m->RecNoProp1->Append();
    MakeF2Proc = old;
    ASSERT_EQ(looked.size(), 1);
    EXPECT_EQ(looked[0], m->frRecnoParams->NameField());
    // The frame's own defaults came first.
    EXPECT_EQ(m->RecNoProp1->FieldByName(QStringLiteral("r_tablename")).AsString(),
              QStringLiteral("adressen"));
    m->RecNoProp1->Cancel();
}

// A new address as a user makes it (through the grid and through the edits) and closing a module
// with an edit pending: one question per window, named by the table's alias, "Abbrechen" keeps it.
#include "ModulFormFixture.h"

#include "TVoskDataModel.h"

#include <QLineEdit>

using testsupport::TestDatabase;

class InsertAndCloseTest : public ModulFormFixture {
protected:
    void SetUp() override {
        ModulFormFixture::SetUp();
        TVoskClass::AliasHook.Set([](const QString& table) { return s_dm->GetTableAlias(table); });
    }
    void TearDown() override {
        ModulFormFixture::TearDown();
        TVoskClass::AliasHook.Reset();
    }
    static QString Field(TFormAdress* f, const char* name) {
        return f->DataAdressen->FieldByName(QString::fromLatin1(name)).AsString();
    }
};

TEST_F(InsertAndCloseTest, NewAddressThroughTheGridAndThroughTheEdits) {
    TFormAdress* f = Open();
    const int rows = f->DataAdressen->RecordCount();
    // The grid shows what users know: aliases, no key, no stamps.
    TVoskDataModel* model = f->GridAdressen->DataModel();
    EXPECT_EQ(model->headerData(f->GridAdressen->columnByFieldName(QStringLiteral("plz")),
                                Qt::Horizontal)
                  .toString(),
              QStringLiteral("PLZ"));
    EXPECT_TRUE(f->GridAdressen->isColumnHidden(
        f->GridAdressen->columnByFieldName(QStringLiteral("dbrid"))));

    Click(f, nbInsert);
    const QModelIndex cell = f->GridAdressen->currentIndex();
    EXPECT_EQ(cell.column(), f->GridAdressen->columnByFieldName(QStringLiteral("name")));
    EXPECT_FALSE(model->flags(model->index(cell.row(), model->ColumnOfField(
                                                          QStringLiteral("dbrid")))) &
                 Qt::ItemIsEditable);
    // A late window activation of the offscreen platform may take the focus off the editor,
    // which closes it; the cell it was opened on is what counts.
    if (!f->GridAdressen->indexWidget(cell))
        f->GridAdressen->edit(cell);
    auto* editor = qobject_cast<QLineEdit*>(f->GridAdressen->indexWidget(cell));
    ASSERT_TRUE(editor);
    QTest::keyClicks(editor, QStringLiteral("Neue Firma"));
    Click(f, nbPost);
    ASSERT_EQ(f->DataAdressen->State(), dsBrowse);
    const qint64 first = CurrentId(f);
    EXPECT_GT(first, 0);
    EXPECT_EQ(DbValue(QStringLiteral("name"), first), QStringLiteral("Neue Firma"));
    // The server's stamps come back with the row, with the login the session announced.
    EXPECT_EQ(Field(f, "insert_by"), s_dm->LoginName());
    EXPECT_EQ(DbValue(QStringLiteral("insert_by"), first), s_dm->LoginName());
    EXPECT_FALSE(Field(f, "insert_date").isEmpty());
    EXPECT_TRUE(Field(f, "modified_by").isEmpty());

    Click(f, nbInsert);
    f->GridAdressen->EndEdit(false);
    Type(f->EdName, QStringLiteral("Zweite Firma"));
    Type(f->EdPlz, QStringLiteral("12345"));
    Click(f, nbPost);
    ASSERT_EQ(f->DataAdressen->State(), dsBrowse);
    const qint64 second = CurrentId(f);
    EXPECT_GT(second, first);
    EXPECT_EQ(DbValue(QStringLiteral("plz"), second), QStringLiteral("12345"));
    EXPECT_EQ(f->DataAdressen->RecordCount(), rows + 2);

    // A change stamps the row as modified by the same login.
    Type(f->EdOrt, QStringLiteral("Bremen"));
    m_answers.Expect(QStringLiteral("Adressen: Änderungen speichern?"), Vcl::mrYes);
    Click(f, nbPost);
    EXPECT_EQ(DbValue(QStringLiteral("modified_by"), second), s_dm->LoginName());
    EXPECT_EQ(Field(f, "modified_by"), s_dm->LoginName());
    TestDatabase::Exec(QStringLiteral("DELETE FROM adressen WHERE dbrid IN (%1, %2)")
                           .arg(first)
                           .arg(second));
}

TEST_F(InsertAndCloseTest, CancelAfterARefusedInsertGoesBackQuietly) {
    TFormAdress* f = Open();
    Click(f, nbNext);
    Click(f, nbNext);
    const qint64 wasOn = CurrentId(f);
    const int rows = f->DataAdressen->RecordCount();
    Click(f, nbInsert);
    f->GridAdressen->EndEdit(false);
    Type(f->EdName, QStringLiteral("Abgelehnt"));
    f->DataAdressen->FieldByName(QStringLiteral("plz")).SetAsString(QStringLiteral("123456789012"));
    m_answers.Expect(QStringLiteral("Das Feld „PLZ“ darf höchstens 10 Zeichen lang sein."),
                     Vcl::mrOk);
    Click(f, nbPost);
    EXPECT_TRUE(f->DataAdressen->IsNewRecord());
    Click(f, nbCancel); // no question and no message: the answerer would fail on either
    EXPECT_EQ(m_answers.Questions().size(), 1u);
    EXPECT_EQ(f->DataAdressen->State(), dsBrowse);
    EXPECT_EQ(f->DataAdressen->RecordCount(), rows);
    EXPECT_EQ(CurrentId(f), wasOn);
    EXPECT_EQ(f->GridAdressen->currentIndex().row(), f->DataAdressen->CurrentRow());
}

TEST_F(InsertAndCloseTest, CloseAsksOnceByAliasAndAbbrechenKeepsTheWindow) {
    TFormAdress* f = Open();
    const qint64 id = CurrentId(f);
    const QString ort = DbValue(QStringLiteral("ort"), id);
    Type(f->EdOrt, QStringLiteral("Geschlossen"));
    m_answers.Expect(QStringLiteral("Adressen: Änderungen speichern?"), Vcl::mrCancel);
    QPointer<TFormAdress> p(f);
    EXPECT_FALSE(f->Close());
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_TRUE(p);
    EXPECT_TRUE(f->DataAdressen->InEdit());

    m_answers.Expect(QStringLiteral("Adressen: Änderungen speichern?"), Vcl::mrYes);
    EXPECT_TRUE(f->Close());
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(p);
    EXPECT_EQ(m_answers.Questions().size(), 2u); // the post asked nothing of its own
    EXPECT_EQ(DbValue(QStringLiteral("ort"), id), QStringLiteral("Geschlossen"));
    TestDatabase::Exec(QStringLiteral("UPDATE adressen SET ort = '%1' WHERE dbrid = %2")
                           .arg(ort)
                           .arg(id));
}

// F2 of every kind ends in F2BtClick: which control and column the lookup is for, the long-text
// button, the register grid's condition, and the lookup of the demo's town.
#include "KeysFixture.h"

#include "RtlDialog.h"
#include "TVoskDBMemo.h"
#include "TVoskDBTreeView2.h"
#include "UHostModules.h"

#include <QListWidget>

#include <gtest/gtest.h>

namespace {

// The memo editor as the test answers it, recording what it was asked.
class MemoEditor final {
public:
    explicit MemoEditor(QString answer) : m_answer(std::move(answer)) {
        RtlDialog::FEditTextS.Set(
            [this](const QString& title, const QString& text, int caret, bool, bool, QChar, bool) {
                titles << title;
                texts << text;
                carets << caret;
                return m_answer;
            });
    }
    ~MemoEditor() { RtlDialog::FEditTextS.Reset(); }
    QStringList titles, texts;
    QList<int> carets;

private:
    QString m_answer;
};

} // namespace

class F2DispatchTest : public KeysFixture {
public:
    static void SetUpTestSuite() {
        KeysFixture::SetUpTestSuite();
        testsupport::TestDatabase::Exec(QStringLiteral(
            "CREATE TABLE keys_notiz (dbrid serial PRIMARY KEY, titel text, notiz text);"
            "INSERT INTO keys_notiz (titel, notiz) VALUES ('Erste', 'Zeile 1\nZeile 2');"
            "WITH d AS (INSERT INTO f2poss (modulname, feldname, f2_query) VALUES "
            "  ('TFrameF2Register', 'reg_field_value', 'SELECT 1'), "
            "  ('TFrameF2Register', 'reg_field_value', 'SELECT 2'), "
            "  ('TFrameF2Register', 'reg_field_value', 'SELECT 3') RETURNING f2_id, f2_query) "
            "INSERT INTO f2poss_condition (f2_id, field_name, field_value) "
            "SELECT f2_id, 'reg_field_name', CASE f2_query WHEN 'SELECT 1' THEN 'farbe' "
            "ELSE 'groesse' END FROM d WHERE f2_query <> 'SELECT 3';"
            "UPDATE f2poss SET f2_deleted = true WHERE f2_query = 'SELECT 2';"
            "CREATE TABLE keys_baum (dbrid serial PRIMARY KEY, parent int, name text);"
            "INSERT INTO keys_baum (parent, name) VALUES (NULL, 'Wurzel'), (1, 'Ast')"));
    }
};

TEST_F(F2DispatchTest, MemoIsANoOpInnerEditActsOnItsEditorOthersGoToTheLookup) {
    TFormKeys* k = OpenKeys();
    auto* memo = new TVoskDBMemo(k->ClientArea());
    k->F2BtClick(memo, 0);
    EXPECT_TRUE(m_lookups.empty());

    k->F2BtClick(k->Lookup->lineEdit(), 0);
    ASSERT_EQ(m_lookups.size(), 1u);
    EXPECT_EQ(m_lookups[0].field, k->Lookup);
    EXPECT_EQ(m_lookups[0].module, k);
    // Plain lookups pass no options.
    EXPECT_FALSE(m_lookups[0].params.join(u'\n').contains(QStringLiteral("ShowModal")));

    // The F2 key on an edit lands in the same place.
    Focus(k->EdNach);
    QTest::keyClick(k->EdNach, Qt::Key_F2);
    ASSERT_EQ(m_lookups.size(), 2u);
    EXPECT_EQ(m_lookups[1].field, k->EdNach);
    EXPECT_TRUE(TLogSink::Lines().join(u'\n').contains(
        QStringLiteral("[F2]: TFormKorvexGundForm.FormKeyDown(EdNach)")));
}

TEST_F(F2DispatchTest, InATreeListTheFocusedColumnIsLookedUp) {
    TFormKeys* k = OpenKeys();
    auto* data = Vcl::Owned(k, new TVoskClass2(k), QStringLiteral("DataBaum"));
    data->SetSqlTable(QStringLiteral("keys_baum"));
    data->SetQuerySql(QStringLiteral("SELECT * FROM keys_baum ORDER BY dbrid"));
    data->Open();
    auto* tree = Vcl::Owned(k, new TVoskDBTreeView2(k->ClientArea()), QStringLiteral("TreeBaum"));
    tree->SetParentField(QStringLiteral("parent"));
    tree->SetDataClass(data);
    k->ModulLayout()->addWidget(tree);
    QApplication::processEvents();
    const QModelIndex cell = tree->TreeModel()->IndexOfRow(0, data->FieldIndex(QStringLiteral("name")));
    Focus(tree);
    tree->setCurrentIndex(cell);
    QTest::keyClick(tree, Qt::Key_F2);
    ASSERT_EQ(m_lookups.size(), 1u);
    EXPECT_EQ(m_lookups[0].field ? m_lookups[0].field->objectName() : QString(),
              QStringLiteral("name"));
    EXPECT_EQ(m_lookups[0].module, k);
    EXPECT_FALSE(tree->InlineEditing()) << "F2 is the lookup, not the tree's own edit key";

    // From the inline editor of a cell: the same column, not the editor.
    QLineEdit* editor = OpenCell(tree, cell);
    ASSERT_TRUE(editor);
    QTest::keyClick(editor, Qt::Key_F2);
    ASSERT_EQ(m_lookups.size(), 2u);
    EXPECT_EQ(m_lookups[1].field, m_lookups[0].field);
    tree->EndEdit(false);
    data->Cancel();
}

TEST_F(F2DispatchTest, TextButtonEditsTheWholeTextHiddenButtonLooksUp) {
    TFormKeys* k = OpenKeys();
    auto* data = Vcl::Owned(k, new TVoskClass2(k), QStringLiteral("DataNotiz"));
    data->SetSqlTable(QStringLiteral("keys_notiz"));
    data->SetQuerySql(QStringLiteral("SELECT * FROM keys_notiz ORDER BY dbrid"));
    data->Open();
    auto* blob = Vcl::Owned(k, new TVoskBlobEdit(k->ClientArea()), QStringLiteral("EdNotiz"));
    blob->SetDataClass(data);
    blob->SetDataField(QStringLiteral("notiz"));
    k->ModulLayout()->addWidget(blob);
    EXPECT_EQ(blob->text(), QStringLiteral("Zeile 1")) << "the line shows the first line";

    {
        MemoEditor editor(QStringLiteral("Neu\nzweizeilig"));
        k->F2BtClick(blob, 0);
        ASSERT_EQ(editor.texts.size(), 1);
        EXPECT_EQ(editor.texts[0], QStringLiteral("Zeile 1\nZeile 2"));
        EXPECT_EQ(editor.titles[0], k->objectName());
        EXPECT_EQ(editor.carets[0], 99999);
    }
    EXPECT_EQ(data->FieldByName(QStringLiteral("notiz")).AsString(),
              QStringLiteral("Neu\nzweizeilig"));
    {
        MemoEditor editor{QString()};
        k->F2BtClick(blob, 0);
    }
    EXPECT_TRUE(data->FieldByName(QStringLiteral("notiz")).IsNull()) << "empty is NULL";
    data->Cancel();
    EXPECT_TRUE(m_lookups.empty());

    // Without the editor the user is told; nothing changes.
    m_answers.Expect(QStringLiteral("Der Texteditor ist nicht verfügbar."), Vcl::mrOk);
    k->F2BtClick(blob, 0);
    EXPECT_FALSE(data->InEdit());

    blob->SetButtonVisible(0, false);
    k->F2BtClick(blob, 0);
    ASSERT_EQ(m_lookups.size(), 1u);
    EXPECT_EQ(m_lookups[0].field, blob);
}

TEST_F(F2DispatchTest, RegisterGridAddsTheConditionOfTheRowsRegisterName) {
    TFormKeys* k = OpenKeys();
    k->setProperty("ModulName", QStringLiteral("TFrameF2Register-Artikel"));
    auto* data = Vcl::Owned(k, new TVoskClass2(k), QStringLiteral("DataRegister"));
    data->SetQuerySql(QStringLiteral(
        "SELECT * FROM (VALUES (1, 'farbe', 'rot'), (2, 'groesse', 'XL'), (3, 'gewicht', '2')) "
        "AS r (dbrid, reg_field_name, reg_field_value) ORDER BY dbrid"));
    data->Open();
    auto* grid = Vcl::Owned(k, new TVoskDBGrid2(k->ClientArea()), QStringLiteral("GridRegister"));
    grid->SetDataClass(data);
    k->ModulLayout()->addWidget(grid);
    const int valueCol = data->FieldIndex(QStringLiteral("reg_field_value"));
    auto lookupOnRow = [&](int row) {
        grid->setCurrentIndex(grid->model()->index(row, valueCol));
        m_lookups.clear();
        k->F2BtClick(grid, 0);
        EXPECT_EQ(m_lookups.size(), 1u);
        return m_lookups.empty() ? Lookup{} : m_lookups[0];
    };
    Lookup farbe = lookupOnRow(0);
    EXPECT_EQ(farbe.field ? farbe.field->objectName() : QString(),
              QStringLiteral("reg_field_value"));
    EXPECT_TRUE(farbe.params.contains(QStringLiteral("cond_field_name=reg_field_name")));
    EXPECT_TRUE(farbe.params.contains(QStringLiteral("cond_field_value=farbe")));
    // The definition for "groesse" is deleted: no condition lines.
    Lookup groesse = lookupOnRow(1);
    EXPECT_FALSE(groesse.params.join(u'\n').contains(QStringLiteral("cond_field")));
    Lookup gewicht = lookupOnRow(2);
    EXPECT_FALSE(gewicht.params.join(u'\n').contains(QStringLiteral("cond_field")));

    // F2 in the grid itself: a plain column looks up the focused column without the register
    // condition; a column with a shown button does what the button does.
    auto f2OnRow = [&](int row) {
        grid->setCurrentIndex(grid->model()->index(row, valueCol));
        m_lookups.clear();
        Focus(grid);
        QTest::keyClick(grid, Qt::Key_F2);
        EXPECT_EQ(m_lookups.size(), 1u);
        return m_lookups.empty() ? Lookup{} : m_lookups[0];
    };
    Lookup plain = f2OnRow(0);
    EXPECT_EQ(plain.field ? plain.field->objectName() : QString(),
              QStringLiteral("reg_field_value"));
    EXPECT_FALSE(plain.params.join(u'\n').contains(QStringLiteral("cond_field")));
    auto* column = new TVoskGridColumn(k, QStringLiteral("reg_field_value"), grid,
                                       QStringLiteral("reg_field_value"));
    column->SetPropertiesKind(TVoskColumnPropertiesKind::ButtonEdit);
    column->AddButton(TVoskEditButtonKind::Ellipsis);
    EXPECT_TRUE(f2OnRow(0).params.contains(QStringLiteral("cond_field_value=farbe")));
    // A hidden first button: the plain lookup again.
    column->Buttons().first().visible = false;
    EXPECT_FALSE(f2OnRow(0).params.join(u'\n').contains(QStringLiteral("cond_field")));
}

TEST_F(F2DispatchTest, AColumnsLookupButtonServesTheWindowThatHoldsTheGrid) {
    TFormAdress* a = Open();
    auto* column = new TVoskGridColumn(a, QStringLiteral("ColOrt"), a->GridAdressen,
                                       QStringLiteral("ort"));
    column->SetPropertiesKind(TVoskColumnPropertiesKind::ButtonEdit);
    column->AddButton(TVoskEditButtonKind::Ellipsis);
    auto clickButton = [&] {
        m_lookups.clear();
        const QModelIndex cell = a->GridAdressen->model()->index(
            a->GridAdressen->currentIndex().row(), a->DataAdressen->FieldIndex(QStringLiteral("ort")));
        auto* editor = qobject_cast<TVoskEdit*>(OpenCell(a->GridAdressen, cell));
        EXPECT_TRUE(editor);
        if (editor)
            editor->Buttons().Action(0)->trigger();
        a->GridAdressen->EndEdit(false);
        return m_lookups.size() == 1 ? m_lookups[0].module.data() : nullptr;
    };
    EXPECT_EQ(clickButton(), a);
    // Another window opened later does not take the button over, nor does its closing end it.
    QPointer<TFormAdress> b = Open();
    EXPECT_EQ(clickButton(), a);
    delete b.data();
    EXPECT_EQ(clickButton(), a);
    a->DataAdressen->Cancel();
}

TEST_F(F2DispatchTest, F2KeyErrorsShowTheLookupsMessage) {
    TFormAdress* f = Open();
    MakeF2Proc = [](TF2Result&, QWidget*, QObject*, std::unique_ptr<QStringList>, TMakeF2Event) {
        throw EVoskException(QStringLiteral("Keine Suche für TFormAdress.GridAdressen hinterlegt"));
    };
    Focus(f->GridAdressen);
    m_answers.Expect(QStringLiteral("Keine Suche für TFormAdress.GridAdressen hinterlegt"),
                     Vcl::mrOk);
    QTest::keyClick(f->GridAdressen, Qt::Key_F2);
    EXPECT_TRUE(TLogSink::Lines().join(u'\n').contains(
        QStringLiteral("EXCEPTION: MODULFORM.KEYDOWN (F2)")));
}

TEST_F(F2DispatchTest, F2OnTheTownOfTheAddressModuleTakesTheChosenTown) {
    MakeF2Proc = m_oldMakeF2;
    UHostModules::Register();
    testsupport::TestDatabase::Exec(QStringLiteral(
        "INSERT INTO f2poss (modulname, feldname, f2_query) VALUES ('TFormAdress', 'EdOrt', "
        "'SELECT DISTINCT ort, plz FROM adressen WHERE ort IS NOT NULL ORDER BY ort, plz')"));
    TFormAdress* f = Open();
    const qint64 id = CurrentId(f);
    Focus(f->EdOrt);
    QTest::keyClick(f->EdOrt, Qt::Key_F2);
    QApplication::processEvents();
    TFormF2List* list = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* l = qobject_cast<TFormF2List*>(w); l && l->isVisible())
            list = l;
    ASSERT_TRUE(list);
    list->EdSearch->setText(QStringLiteral("Ort 7"));
    list->StartSearch();
    ASSERT_GE(list->ListResult->count(), 1);
    list->ListResult->setCurrentRow(0);
    list->BtOkClick();
    QApplication::processEvents();
    EXPECT_EQ(f->EdOrt->text(), QStringLiteral("Ort 7"));
    EXPECT_EQ(f->DataAdressen->FieldByName(QStringLiteral("ort")).AsString(),
              QStringLiteral("Ort 7"));
    f->DataAdressen->Cancel();
    EXPECT_NE(DbValue(QStringLiteral("ort"), id), QString());
    testsupport::TestDatabase::Exec(
        QStringLiteral("DELETE FROM f2poss WHERE modulname = 'TFormAdress'"));
    UHostModules::Unregister();
}

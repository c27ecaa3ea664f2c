// The control window of a coordinator and the special-function editor it opens.
#include "DialogsFixture.h"

#include "Q32ControlWindow.h"
#include "TQ32Control.h"
#include "TSondFunc.h"
#include "TVoskDBGrid2.h"
#include "UDataModul_Dunmere.h"
#include "USondFunc.h"
#include "UnitTable.h"
#include "VoskExceptions.h"
#include "VoskQuery2.h"
#include "Vcl.Components.h"

#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>

#include <memory>

namespace {

class TFormKunde final : public Vcl::TForm {
    Q_OBJECT
public:
    using Vcl::TForm::TForm;
};

void Free(Vcl::TForm* f) {
    f->PrepareDestruction();
    delete f;
}

} // namespace

class ControlWindowTest : public DialogsTest {
protected:
    void SetUp() override {
        DialogsTest::SetUp();
        testsupport::TestDatabase::Exec(QStringLiteral(
            "DELETE FROM sondfunc; INSERT INTO sondfunc (dbrid, sf_sqltable, sf_nr, sf_txtnr, "
            "sf_sql, sf_formclass) VALUES (501, 'kunden', 1, 100, 'SELECT 1', NULL), "
            "(502, 'kunden', 2, 200, 'SELECT 2', 'TFormAndere'), "
            "(503, 'lieferanten', 1, 300, 'SELECT 3', NULL)"));
    }
    void TearDown() override {
        testsupport::TestDatabase::Exec(QStringLiteral("DELETE FROM sondfunc"));
        s_dm->ClearQueryCache();
        DialogsTest::TearDown();
    }
};

TEST_F(ControlWindowTest, ClassInfoNamesCoordinatorDataClassOrAnUnknownSource) {
    TFormKunde form;
    auto* data = new TVoskClass2(&form);
    Vcl::SetOwner(data, &form);
    data->setObjectName(QStringLiteral("Kunden1"));
    data->SetSqlTable(QStringLiteral("kunden"));
    TControlWindow ofData(data);
    EXPECT_EQ(ofData.GetClassInfo(),
              QStringLiteral("Table=kunden\nFormClass=TFormKunde\nDataSource=TVoskClass2.Kunden1"));

    TQ32Control formControl(&form);
    TControlWindow ofControl(&formControl);
    EXPECT_EQ(ofControl.GetClassInfo(),
              QStringLiteral("Table=\nFormClass=TFormKunde\nDataSource=."));

    QObject stranger;
    TControlWindow ofOther(&stranger);
    EXPECT_EQ(ofOther.GetClassInfo(), QStringLiteral("Table=\nUnknownSource=QObject"));
    ofOther.show();
    EXPECT_TRUE(ofOther.HintLabel->text().startsWith(
        QStringLiteral("Table=\nUnknownSource=QObject\nWas beim Ausführen des [F3]")));
    EXPECT_TRUE(ofOther.lbEditSondfunc->text().contains(QStringLiteral("Edit Sondfunctions")));
}

TEST_F(ControlWindowTest, TheLinkOpensTheEditorOnEveryFunctionOfTheTableUnderAOneLineCaption) {
    TFormKunde form;
    auto* data = new TVoskClass2(&form);
    Vcl::SetOwner(data, &form);
    data->setObjectName(QStringLiteral("Kunden1"));
    data->SetSqlTable(QStringLiteral("kunden"));
    auto* window = new TControlWindow(data);
    window->lbEditSondfuncClick();
    const QList<TFormSondFunc*> editors = Vcl::ComponentsOf<TFormSondFunc>(window);
    ASSERT_EQ(editors.size(), 1);
    auto* editor = editors.first();
    ASSERT_TRUE(editor);
    EXPECT_EQ(editor->windowTitle(),
              QStringLiteral("F3-SondFunc: Table=kunden FormClass=TFormKunde "
                             "DataSource=TVoskClass2.Kunden1"));
    EXPECT_FALSE(editor->windowTitle().contains(u'\n'));
    EXPECT_EQ(editor->SondFunc1->RecordCount(), 2); // both form classes, no other table
    // Columns in their order; the key, table and stamp hidden.
    QHeaderView* header = editor->gridSondFuncCX->horizontalHeader();
    const int nr = editor->SondFunc1->FieldIndex(QStringLiteral("sf_nr"));
    const int rtf = editor->SondFunc1->FieldIndex(QStringLiteral("sf_rtf"));
    const int stamp = editor->SondFunc1->FieldIndex(QStringLiteral("sf_stamp"));
    EXPECT_LT(header->visualIndex(nr), header->visualIndex(rtf));
    EXPECT_EQ(header->visualIndex(stamp), header->count() - 1);
    EXPECT_EQ(editor->PreviewRow->toPlainText(), QStringLiteral("SELECT 1"));
    Free(window);
}

TEST_F(ControlWindowTest, APostRefreshesTheCacheAnotherReaderHoldsAndARefusedPostStaysInEdit) {
    const QString sql = QStringLiteral("SELECT dbrid, sf_txtnr FROM sondfunc WHERE "
                                       "sf_sqltable = :table ORDER BY dbrid");
    TVoskQuery2* reader = s_dm->GetQueryBySQL(sql, {{QStringLiteral("table"), "kunden"}});
    ASSERT_EQ(reader->Fields(1).AsInteger(), 100);
    TVoskDM_Dunmere::Instance();
    auto* editor = new TFormSondFunc();
    editor->AssignToSqlTable(QStringLiteral("kunden"));
    editor->SondFunc1->FieldByName(QStringLiteral("sf_txtnr")).SetAsInteger(111);
    editor->SondFunc1->Post();
    // The same result object, read again.
    TVoskQuery2* again = s_dm->GetQueryBySQL(sql, {{QStringLiteral("table"), "kunden"}});
    EXPECT_EQ(again, reader);
    reader->First();
    EXPECT_EQ(reader->Fields(1).AsInteger(), 111);

    // The server refuses a function without a text number: nothing is written, the row stays
    // in edit with its value.
    editor->SondFunc1->FieldByName(QStringLiteral("sf_txtnr")).Clear();
    EXPECT_ANY_THROW(editor->SondFunc1->Post());
    EXPECT_TRUE(editor->SondFunc1->InEdit());
    EXPECT_EQ(testsupport::TestDatabase::Scalar(
                  QStringLiteral("SELECT sf_txtnr FROM sondfunc WHERE dbrid = 501")),
              QStringLiteral("111"));
    editor->SondFunc1->Cancel();
    Free(editor);
}

TEST_F(ControlWindowTest, ShowRtfWithoutTheDesignerSaysSoAndStops) {
    auto* editor = new TFormSondFunc();
    editor->AssignToSqlTable(QStringLiteral("kunden"));
    m_answers.Expect(QStringLiteral("Formulardesigner nicht verfügbar."), Vcl::mrOk);
    EXPECT_THROW(editor->miShowRTFClick(), EAbort);
    Free(editor);
}

TEST_F(ControlWindowTest, TheFactorySlotIsFilledAtInitAndEmptyAfterFinalization) {
    Rtl::Package& hadrel = Rtl::Package::Get(QStringLiteral("hadrel"));
    hadrel.Initialize();
    ASSERT_TRUE(TQ32Control::ControlWindowFactory.Assigned());
    TVoskClass2 data;
    data.SetSqlTable(QStringLiteral("lieferanten"));
    auto* control = new TQ32Control(&data);
    control->ShowControlWindow();
    auto* window = qobject_cast<TControlWindow*>(control->ControlWindow());
    ASSERT_TRUE(window);
    EXPECT_EQ(window->SqlTable(), QStringLiteral("lieferanten"));
    control->SetControlWindow(nullptr);
    hadrel.Finalize();
    EXPECT_FALSE(TQ32Control::ControlWindowFactory.Assigned());
}

#include "ControlWindowTest.moc"

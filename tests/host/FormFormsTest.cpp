// The form designer's report list, as the special-function editor opens it on a report.
#include "TFormForms.h"
#include "UHostModules.h"

#include "DialogAnswerer.h"
#include "TServSQL2.h"
#include "TSondFunc.h"
#include "TVoskDBMemo.h"
#include "USondFunc.h"
#include "UModulForm.Start.h"

#include "TestDatabase.h"
#include "UDM1.h"
#include "UnitTable.h"
#include "VoskExceptions.h"

#include <QApplication>
#include <QPointer>
#include <QTest>

#include <gtest/gtest.h>

using testsupport::TestDatabase;

class FormFormsTest : public testsupport::DbTest {
protected:
    void SetUp() override {
        m_dm.Connect();
        Rtl::Package::Get(QStringLiteral("hadrel")).Initialize();
        TestDatabase::Exec(QStringLiteral(
            "INSERT INTO rtf (rtf_id, rtf_name, rtf_blanksql, rtf_script) VALUES "
            "(71, 'Liste', true, 'SELECT 1'), (72, 'Etikett', false, 'print(1)'); "
            "INSERT INTO sondfunc (dbrid, sf_sqltable, sf_nr, sf_txtnr, sf_rtf) VALUES "
            "(601, 'kunden', 1, 100, 72), (602, 'kunden', 2, 200, NULL)"));
    }
    void TearDown() override {
        for (QPointer<Vcl::TForm>& f : m_forms)
            if (f) {
                f->PrepareDestruction();
                delete f.data();
            }
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        TestDatabase::Exec(QStringLiteral("DELETE FROM sondfunc; DELETE FROM rtf"));
        Rtl::Package::Get(QStringLiteral("hadrel")).Finalize();
    }
    TFormSondFunc* Editor() {
        auto* e = new TFormSondFunc();
        m_forms << e;
        e->AssignToSqlTable(QStringLiteral("kunden"));
        return e;
    }

    TDM1 m_dm;
    testsupport::TempRegistry m_registry;
    testsupport::DialogAnswerer m_answers;
    QList<QPointer<Vcl::TForm>> m_forms;
};

TEST_F(FormFormsTest, ShowRtfOpensTheReportOfTheRowAndItsScriptCanBeEdited) {
    UHostModules::Register();
    TFormSondFunc* editor = Editor();
    ASSERT_TRUE(editor->SondFunc1->Locate(QStringLiteral("sf_nr"), 1));
    editor->miShowRTFClick();
    QPointer<TFormForms> designer = qobject_cast<TFormForms*>(FindModule(QStringLiteral("TFormForms")));
    ASSERT_TRUE(designer);
    m_forms << designer.data();
    EXPECT_TRUE(designer->isVisible());
    EXPECT_EQ(designer->QueryForms->FieldByName(QStringLiteral("rtf_id")).AsInteger(), 72);
    EXPECT_EQ(designer->MemoScript->toPlainText(), QStringLiteral("print(1)"));

    designer->MemoScript->setFocus();
    designer->MemoScript->moveCursor(QTextCursor::End);
    QTest::keyClick(designer->MemoScript, Qt::Key_Return);
    QTest::keyClicks(designer->MemoScript, QStringLiteral("print(2)"));
    designer->QueryForms->Post(false);
    EXPECT_EQ(TestDatabase::Scalar(QStringLiteral("SELECT rtf_script FROM rtf WHERE rtf_id = 72")),
              QStringLiteral("print(1)\nprint(2)"));

    // A second start finds the open list and brings it back to the row's report.
    designer->QueryForms->Locate(QStringLiteral("rtf_id"), 71);
    editor->miShowRTFClick();
    EXPECT_EQ(FindModules(QStringLiteral("TFormForms")).size(), 1);
    EXPECT_EQ(designer->QueryForms->FieldByName(QStringLiteral("rtf_id")).AsInteger(), 72);
    UHostModules::Unregister();
}

TEST_F(FormFormsTest, WithoutTheDesignerModuleTheEditorSaysSo) {
    TFormSondFunc* editor = Editor();
    m_answers.Expect(QStringLiteral("Formulardesigner nicht verfügbar."), Vcl::mrOk);
    EXPECT_THROW(editor->miShowRTFClick(), EAbort);
    EXPECT_EQ(FindModule(QStringLiteral("TFormForms")), nullptr);
}

// The enumeration check list and the record-parameter frame over real tables: how a stored value
// list checks codes, what the check writes when two frames share a record, the parameter names
// the list refuses, and the parameter grid's groups, read-only mode, menu, default and insert.

#include "FrameworkFixture.h"

#include <FrameDBNavigate.h>
#include <Korvexcommonvcl.h>
#include <TRecNoClasses.h>
#include <TServSQL2.h>
#include <TVoskDBGrid2.h>
#include <TVoskDBNavigator.h>
#include <TVoskPopupMenu.h>
#include <UFrameRecnoEnumGrid.h>
#include <UFrameRecnoParams.h>
#include <UHostModules.h>
#include <UModulFormSeams.h>
#include <UnitTable.h>

#include <QAbstractItemModelTester>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QListWidget>
#include <QMenu>

#include <gtest/gtest.h>

#include <memory>

using testsupport::TestDatabase;

namespace {

// Answers every modal lookup: chooses the row whose first value is m_choice and confirms, or
// cancels when there is no choice.
class ChooseParameter final : public Korvexcommonvcl::ModalForms {
public:
    explicit ChooseParameter(QString choice) : m_choice(std::move(choice)) {
        m_old = SetInstance(this);
    }
    ~ChooseParameter() override { SetInstance(m_old); }
    int Run(Vcl::TForm* form) override {
        ++Shown;
        auto* list = qobject_cast<TFormF2List*>(form);
        if (!list)
            return Vcl::mrCancel;
        for (int i = 0; i < list->ListResult->count(); ++i)
            Listed << list->ListResult->item(i)->data(Qt::UserRole).toString();
        if (m_choice.isEmpty())
            return Vcl::mrCancel;
        const int row = int(Listed.indexOf(m_choice));
        if (row < 0)
            return Vcl::mrCancel;
        list->ListResult->setCurrentRow(row);
        list->BtOkClick();
        return Vcl::mrOk;
    }
    int Shown = 0;
    QStringList Listed;

private:
    QString m_choice;
    ModalForms* m_old;
};

class RecnoFramesTest : public FrameworkTest {
public:
    static void SetUpTestSuite() {
        FrameworkTest::SetUpTestSuite();
        Rtl::Package::Get(QStringLiteral("hadrel")).Initialize();
        UHostModules::Register();
        TestDatabase::Exec(QStringLiteral(
            "INSERT INTO adressen (name, ort) VALUES ('Probe Eins', 'A'), ('Probe Zwei', 'B');"
            "INSERT INTO recnogroup (reg_pname, reg_tablename, reg_gruppe, reg_pos, "
            "  reg_paramtype, reg_exclusive, reg_default) VALUES "
            "('Farben', 'adressen', 'Technik', 1, 'ptEnum', false, 'A'),"
            "('Menge', 'adressen', 'Vertrieb', 1, 'ptNUMBER', false, '10'),"
            "('Notiz', 'adressen', 'Vertrieb', 2, 'ptSTRING', false, NULL),"
            "('Zahlung', 'adressen', 'Vertrieb', 3, 'ptENUM', true, 'RE'),"
            "('Fremd', 'artikel', 'Lager', 1, 'ptSTRING', false, NULL);"
            "INSERT INTO recnoenums (rege_reg_pname, rege_pos, rege_code, rege_bez) VALUES "
            "('Farben', 1, 'A', 'Rot'), ('Farben', 2, 'B', 'Grün'), ('Farben', 3, 'C', 'Blau'),"
            "('Farben', 4, 'A_1', 'Rot hell'), ('Farben', 5, 'AB1', 'Rotbraun')"));
    }
    static void TearDownTestSuite() {
        UHostModules::Unregister();
        Rtl::Package::Get(QStringLiteral("hadrel")).Finalize();
        FrameworkTest::TearDownTestSuite();
    }

protected:
    void SetUp() override {
        FrameworkTest::SetUp();
        m_adressen = new TVoskClass2(&m_owner);
        m_adressen->SetSqlTable(QStringLiteral("adressen"));
        m_adressen->SetQuerySql(
            QStringLiteral("SELECT * FROM adressen WHERE name LIKE 'Probe%' ORDER BY name"));
        m_adressen->Open();
        m_id = m_adressen->FieldByName(QStringLiteral("dbrid")).AsString();
    }
    void TearDown() override {
        m_frames.clear();
        TestDatabase::Exec(QStringLiteral("DELETE FROM recnokeyword"));
    }

    void Store(const QString& pname, const QString& value) {
        TestDatabase::Exec(
            QStringLiteral("INSERT INTO recnokeyword (r_tablename, r_dbrid, r_descr, r_value, "
                           "r_reg_pname) VALUES ('adressen', %1, '%2', '%3', '%2') ON CONFLICT "
                           "(r_tablename, r_dbrid, r_reg_pname) DO UPDATE SET r_value = '%3'")
                .arg(m_id, pname, value));
    }
    QVariant Stored(const QString& pname) const {
        return TestDatabase::Scalar(
            QStringLiteral("SELECT r_value FROM recnokeyword WHERE r_tablename = 'adressen' AND "
                           "r_dbrid = %1 AND r_reg_pname = '%2'")
                .arg(m_id, pname));
    }

    TFrameRecnoEnumGrid* EnumFrame(const QString& pname = QStringLiteral("Farben")) {
        auto* f = new TFrameRecnoEnumGrid(&m_owner);
        m_frames.emplace_back(f);
        f->SetDataSource(m_adressen);
        f->FSetParameterName(pname);
        return f;
    }
    // The codes checked in the frame's list.
    static QStringList Checked(TFrameRecnoEnumGrid* f) {
        QStringList codes;
        TServSQL2* list = f->ServSQLEnum;
        for (int r = 0; r < list->RecordCount(); ++r)
            if (list->Value(r, list->FieldIndex(QStringLiteral("rege_value"))).toBool())
                codes << list->Value(r, list->FieldIndex(QStringLiteral("rege_code"))).toString();
        return codes;
    }
    static int RowOf(TFrameRecnoEnumGrid* f, const QString& code) {
        TServSQL2* list = f->ServSQLEnum;
        for (int r = 0; r < list->RecordCount(); ++r)
            if (list->Value(r, list->FieldIndex(QStringLiteral("rege_code"))).toString() == code)
                return r;
        return -1;
    }

    TFrameRecnoParams* ParamsFrame() {
        auto* f = new TFrameRecnoParams(&m_owner);
        m_frames.emplace_back(f);
        f->resize(800, 400);
        m_params = new TRecNoParams(&m_owner);
        f->SetRecnoParams(m_params);
        f->Attach(QStringLiteral("adressen"), m_id, QStringLiteral("TFormAdress"));
        return f;
    }
    // A point on the cell of the parameter's row, in the grid's viewport.
    QPoint CellOf(TFrameRecnoParams* f, const QString& pname) {
        f->show();
        QCoreApplication::processEvents();
        EXPECT_TRUE(m_params->Locate(QStringLiteral("r_reg_pname"), pname));
        const int col = m_params->FieldIndex(QStringLiteral("r_value"));
        const QRect r = f->gridParamsCX->visualRect(
            f->gridParamsCX->model()->index(m_params->CurrentRow(), col));
        return r.center() + QPoint(0, r.height() / 4);
    }

    QObject m_owner;
    TVoskClass2* m_adressen = nullptr;
    TRecNoParams* m_params = nullptr;
    QString m_id;
    std::vector<std::unique_ptr<QWidget>> m_frames;
};

// ---- enumeration check list ---------------------------------------------------------------------

TEST_F(RecnoFramesTest, AStoredListChecksItsCodesTrimmedWithoutCaseAndNeverAsAPattern) {
    Store(QStringLiteral("Farben"), QStringLiteral("A, b"));
    TFrameRecnoEnumGrid* f = EnumFrame();
    QAbstractItemModelTester tester(f->gridEnum->model(),
                                    QAbstractItemModelTester::FailureReportingMode::Warning);
    ASSERT_TRUE(f->ServSQLEnum->Active());
    EXPECT_EQ(f->ServSQLEnum->RecordCount(), 5);
    EXPECT_EQ(Checked(f), (QStringList{QStringLiteral("A"), QStringLiteral("B")}));
    EXPECT_TRUE(f->gridEnum->isColumnHidden(f->ServSQLEnum->FieldIndex(QStringLiteral("rege_code"))));

    // A wildcard character is a character: "%" is no code, "A_1" is only itself.
    Store(QStringLiteral("Farben"), QStringLiteral("%"));
    f->RefreshList();
    EXPECT_TRUE(Checked(f).isEmpty());
    Store(QStringLiteral("Farben"), QStringLiteral("A_1"));
    f->RefreshList();
    EXPECT_EQ(Checked(f), QStringList{QStringLiteral("A_1")});
    Store(QStringLiteral("Farben"), QStringLiteral("AB1"));
    f->RefreshList();
    EXPECT_EQ(Checked(f), QStringList{QStringLiteral("AB1")});

    // The list follows the record: the second address has no values.
    m_adressen->Next();
    EXPECT_TRUE(Checked(f).isEmpty());
}

TEST_F(RecnoFramesTest, CheckingRewritesTheListAndTwoFramesOnOneRecordKeepEachOthersCodes) {
    TFrameRecnoEnumGrid* first = EnumFrame();
    TFrameRecnoEnumGrid* second = EnumFrame();
    first->SetCodeChecked(RowOf(first, QStringLiteral("A")), true);
    EXPECT_EQ(Stored(QStringLiteral("Farben")).toString(), QStringLiteral("A"));
    // The second frame still shows A unchecked; its check of C must not drop A.
    EXPECT_TRUE(Checked(second).isEmpty());
    second->SetCodeChecked(RowOf(second, QStringLiteral("C")), true);
    EXPECT_EQ(Stored(QStringLiteral("Farben")).toString(), QStringLiteral("A,C"));
    // A code checked twice is listed once, whatever its case.
    TestDatabase::Exec(QStringLiteral("UPDATE recnokeyword SET r_value = 'a,C'"));
    first->SetCodeChecked(RowOf(first, QStringLiteral("A")), true);
    EXPECT_EQ(Stored(QStringLiteral("Farben")).toString(), QStringLiteral("a,C"));

    first->SetCodeChecked(RowOf(first, QStringLiteral("A")), false);
    EXPECT_EQ(Stored(QStringLiteral("Farben")).toString(), QStringLiteral("C"));
    second->RefreshList();
    EXPECT_EQ(Checked(second), QStringList{QStringLiteral("C")});
    second->SetCodeChecked(RowOf(second, QStringLiteral("C")), false);
    EXPECT_TRUE(Stored(QStringLiteral("Farben")).toString().isEmpty());
    EXPECT_TRUE(Checked(second).isEmpty());
}

TEST_F(RecnoFramesTest, AMissingANonEnumerationAndAnExclusiveParameterAreToldAndLeaveTheListUnbound) {
    TestDatabase::Exec(QStringLiteral(
        "INSERT INTO text0 (t_nr, t_feld0) VALUES (26390, 'Parameter %s fehlt in %s'), "
        "(26391, 'Parameter %s ist keine Aufzählung'), (26392, 'Parameter %s ist exklusiv') "
        "ON CONFLICT (t_nr) DO UPDATE SET t_feld0 = EXCLUDED.t_feld0"));
    s_dm->ClearTextCache();
    m_answers.Expect(QStringLiteral("Parameter Gibtsnicht fehlt in RecnoGroup"), Vcl::mrOk)
        .Expect(QStringLiteral("Parameter Menge ist keine Aufzählung"), Vcl::mrOk)
        .Expect(QStringLiteral("Parameter Zahlung ist exklusiv"), Vcl::mrOk);
    for (const char* name : {"Gibtsnicht", "Menge", "Zahlung"}) {
        TFrameRecnoEnumGrid* f = EnumFrame(QString::fromLatin1(name));
        EXPECT_TRUE(f->ParameterName().isEmpty()) << name;
        EXPECT_TRUE(f->TableName().isEmpty()) << name;
        EXPECT_FALSE(f->ServSQLEnum->Active()) << name;
    }
    ASSERT_EQ(m_answers.Questions().size(), 3u);
    EXPECT_TRUE(m_answers.Questions()[0].text.startsWith(
        QStringLiteral("TFrameRecnoEnumGrid.FSetParameterName\n")));
}

// ---- record parameters --------------------------------------------------------------------------

TEST_F(RecnoFramesTest, ParametersAreGroupedByTheirDefinitionsGroupAndCanStayExpanded) {
    Store(QStringLiteral("Farben"), QStringLiteral("A"));
    Store(QStringLiteral("Menge"), QStringLiteral("5"));
    Store(QStringLiteral("Notiz"), QStringLiteral("x"));
    TFrameRecnoParams* f = ParamsFrame();
    QAbstractItemModelTester tester(f->gridParamsCX->model(),
                                    QAbstractItemModelTester::FailureReportingMode::Warning);
    ASSERT_EQ(m_params->RecordCount(), 3);
    EXPECT_EQ(f->gridParamsCX->GroupFields(), QStringList{QStringLiteral("reg_gruppe")});
    QStringList groups;
    for (const TVoskDBGrid2::TGridGroup& g : f->gridParamsCX->Groups())
        groups << m_params->Value(g.row, m_params->FieldIndex(QStringLiteral("reg_gruppe"))).toString()
               + u'/' + QString::number(g.count);
    EXPECT_EQ(groups, (QStringList{QStringLiteral("Technik/1"), QStringLiteral("Vertrieb/2")}));
    // Captions come from the parameter report's aliases, not from the keyword table.
    EXPECT_EQ(f->gridParamsCX->model()
                  ->headerData(m_params->FieldIndex(QStringLiteral("r_value")), Qt::Horizontal)
                  .toString(),
              QStringLiteral("Wert"));
    EXPECT_TRUE(f->gridParamsCX->isColumnHidden(m_params->FieldIndex(QStringLiteral("insert_by"))));
    f->SetInsertBy(true);
    EXPECT_FALSE(f->gridParamsCX->isColumnHidden(m_params->FieldIndex(QStringLiteral("insert_by"))));

    const QVariantList first = f->gridParamsCX->Groups().front().path;
    f->gridParamsCX->SetGroupExpanded(first, false);
    EXPECT_FALSE(f->gridParamsCX->GroupExpanded(first));
    f->SetAlwaysExpanded(true);
    EXPECT_TRUE(f->gridParamsCX->GroupExpanded(first));
    f->gridParamsCX->FullCollapse();
    f->gridParamsCX->SetGroupExpanded(first, false);
    EXPECT_TRUE(f->gridParamsCX->GroupExpanded(first));

    // A name filter narrows the next read.
    f->SetPNameFilter(QStringLiteral("M%"));
    m_params->Refresh(false);
    ASSERT_EQ(m_params->RecordCount(), 1);
    EXPECT_EQ(m_params->FieldByName(QStringLiteral("r_reg_pname")).AsString(),
              QStringLiteral("Menge"));
}

TEST_F(RecnoFramesTest, ReadOnlyHidesTheEditingButtonsAndTheMenuNeverOpens) {
    Store(QStringLiteral("Menge"), QStringLiteral("5"));
    TFrameRecnoParams* f = ParamsFrame();
    const QPoint cell = CellOf(f, QStringLiteral("Menge"));
    EXPECT_TRUE(f->PopupMenuParamsPopup(cell));
    // Below the last row is no record.
    EXPECT_FALSE(f->PopupMenuParamsPopup(QPoint(cell.x(), f->gridParamsCX->viewport()->height() - 2)));

    f->SetReadOnly(true);
    EXPECT_FALSE(f->DBNavRecnoParams->BtInsert());
    EXPECT_FALSE(f->DBNavRecnoParams->BtDelete());
    EXPECT_FALSE(f->DBNavRecnoParams->BtPostNCancel());
    EXPECT_EQ(f->gridParamsCX->editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_FALSE(f->PopupMenuParamsPopup(cell));

    f->SetReadOnly(false);
    f->SetInsertDelete(false);
    EXPECT_FALSE(f->DBNavRecnoParams->BtInsert());
    EXPECT_FALSE(f->DBNavRecnoParams->BtDelete());
    EXPECT_TRUE(f->DBNavRecnoParams->BtPostNCancel());
    EXPECT_NE(f->gridParamsCX->editTriggers(), QAbstractItemView::NoEditTriggers);
    f->SetInsertDelete(true);
    EXPECT_TRUE(f->DBNavRecnoParams->BtInsert());

    // The navigator types: the navigation frame, the grid's own, or none.
    EXPECT_FALSE(f->DBNavRecnoParams->isHidden());
    EXPECT_TRUE(f->gridParamsNavigator->isHidden());
    f->SetNavigator(frnSmall);
    EXPECT_TRUE(f->DBNavRecnoParams->isHidden());
    EXPECT_FALSE(f->gridParamsNavigator->isHidden());
    f->SetNavigator(frnNone);
    EXPECT_TRUE(f->DBNavRecnoParams->isHidden());
    EXPECT_TRUE(f->gridParamsNavigator->isHidden());
}

TEST_F(RecnoFramesTest, TheDefaultAndTheEnumerationCodesComeFromTheMenu) {
    Store(QStringLiteral("Farben"), QStringLiteral("A"));
    Store(QStringLiteral("Menge"), QStringLiteral("5"));
    TFrameRecnoParams* f = ParamsFrame();

    // Already at its default: nothing changes, nothing is opened for editing.
    ASSERT_TRUE(f->PopupMenuParamsPopup(CellOf(f, QStringLiteral("Farben"))));
    f->miLoadDefaultClick();
    EXPECT_FALSE(m_params->InEdit());
    // The enumeration's codes are offered; choosing one sets the value.
    EXPECT_TRUE(f->miEnumValues->isVisible());
    ASSERT_EQ(f->miEnumValues->menu()->actions().size(), 5);
    f->miEnumValues->menu()->actions().at(2)->trigger();
    EXPECT_EQ(m_params->FieldByName(QStringLiteral("r_value")).AsString(), QStringLiteral("C"));
    m_params->Cancel();

    ASSERT_TRUE(f->PopupMenuParamsPopup(CellOf(f, QStringLiteral("Menge"))));
    EXPECT_FALSE(f->miEnumValues->isVisible());
    f->miLoadDefaultClick();
    ASSERT_TRUE(m_params->InEdit());
    EXPECT_EQ(m_params->FieldByName(QStringLiteral("r_value")).AsString(), QStringLiteral("10"));
    // Esc gives the edit up; posting was the user's.
    QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QCoreApplication::sendEvent(f->gridParamsCX, &esc);
    EXPECT_FALSE(m_params->InEdit());
    EXPECT_EQ(Stored(QStringLiteral("Menge")).toString(), QStringLiteral("5"));
}

TEST_F(RecnoFramesTest, InsertAsksTheLookupWhichAddsTheParameterWithItsDefault) {
    Store(QStringLiteral("Notiz"), QStringLiteral("x"));
    TFrameRecnoParams* f = ParamsFrame();
    QAction* insert = f->DBNavRecnoParams->DBNavigator1->ButtonControl(nbInsert);
    {
        ChooseParameter choose(QStringLiteral("Menge"));
        insert->trigger();
        EXPECT_EQ(choose.Shown, 1);
        // Only the definitions of the record's table.
        EXPECT_FALSE(choose.Listed.contains(QStringLiteral("Fremd")));
        EXPECT_TRUE(choose.Listed.contains(QStringLiteral("Farben")));
    }
    EXPECT_FALSE(m_params->InEdit());
    EXPECT_EQ(m_params->RecordCount(), 2);
    EXPECT_EQ(m_params->FieldByName(QStringLiteral("r_reg_pname")).AsString(),
              QStringLiteral("Menge"));
    EXPECT_EQ(Stored(QStringLiteral("Menge")).toString(), QStringLiteral("10"));
    {
        // A parameter the record has already is only shown again.
        ChooseParameter choose(QStringLiteral("Notiz"));
        insert->trigger();
    }
    EXPECT_EQ(m_params->RecordCount(), 2);
    EXPECT_EQ(Stored(QStringLiteral("Notiz")).toString(), QStringLiteral("x"));
    {
        // Cancelled: the frame's own insert goes on with the description to fill in.
        ChooseParameter cancel{QString()};
        insert->trigger();
    }
    ASSERT_TRUE(m_params->IsNewRecord());
    EXPECT_EQ(m_params->FieldByName(QStringLiteral("r_descr")).AsString(),
              QStringLiteral("*Bezeichnung eingeben*"));
    EXPECT_EQ(m_params->FieldByName(QStringLiteral("r_tablename")).AsString(),
              QStringLiteral("adressen"));
    // Stored without a definition, it stays among the record's parameters.
    m_params->FieldByName(QStringLiteral("r_descr")).SetAsString(QStringLiteral("Eigenes"));
    m_params->FieldByName(QStringLiteral("r_value")).SetAsString(QStringLiteral("frei"));
    m_params->Post(false);
    m_params->Refresh(false);
    EXPECT_EQ(m_params->RecordCount(), 3);
    EXPECT_TRUE(m_params->Locate(QStringLiteral("r_descr"), QStringLiteral("Eigenes")));
    EXPECT_EQ(m_params->FieldByName(QStringLiteral("r_value")).AsString(), QStringLiteral("frei"));
}

TEST_F(RecnoFramesTest, TheRecordInformationWindowGetsTheFrameThroughItsSeam) {
    ASSERT_TRUE(UModulFormSeams::FrameRecnoParams.Assigned());
    auto* parent = new QWidget;
    m_frames.emplace_back(parent);
    auto* data = new TRecNoParams(parent);
    UModulFormSeams::IFrameRecnoParams* seam = UModulFormSeams::FrameRecnoParams(parent, data);
    ASSERT_NE(seam, nullptr);
    EXPECT_EQ(seam->DataClass(), data);
    Store(QStringLiteral("Menge"), QStringLiteral("5"));
    Store(QStringLiteral("Notiz"), QStringLiteral("x"));
    seam->Attach(QStringLiteral("adressen"), m_id, QStringLiteral("TFormAdress"));
    EXPECT_EQ(data->RecordCount(), 2);
    ASSERT_NE(seam->NameField(), nullptr);
    EXPECT_EQ(seam->NameField()->objectName(), QStringLiteral("r_descr"));
    seam->DeleteAll();
    EXPECT_EQ(data->RecordCount(), 0);
    EXPECT_EQ(TestDatabase::Scalar(QStringLiteral("SELECT count(*) FROM recnokeyword")).toInt(), 0);
}

} // namespace

#include "ModulFormFixture.h"

#include "FrameDBNavigate.h"

#include "Uloghelper.h"
#include "Vcl.Components.h"

#include <QAbstractItemView>
#include <QFont>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QScopeGuard>
#include <QToolButton>

using testsupport::TestDatabase;

namespace {

// A module on a data class that it does not own, so that two windows can share one.
class TTestModul final : public TModulForm {
    Q_OBJECT
public:
    TTestModul(QObject* owner, TVoskClass* shared) : TModulForm(owner) {
        TopLabel->FSetDataSource(shared);
        // A frame of the form with a data class of its own, and a detail class of the frame's.
        auto* frame = Vcl::Owned(this, new QFrame(this), QStringLiteral("FrameDetail"));
        frameClass = Vcl::Owned(frame, new TVoskClass(frame), QStringLiteral("DataFrame"));
        ownClass = Vcl::Owned(this, new TVoskClass(this), QStringLiteral("DataOwn"));
        detailClass = Vcl::Owned(ownClass, new TVoskClass(ownClass), QStringLiteral("DataDetail"));
    }
    TVoskClass* frameClass;
    TVoskClass* ownClass;
    TVoskClass* detailClass;
};

} // namespace

class ModulFormTest : public ModulFormFixture {};

TEST_F(ModulFormTest, OpensDockedByDefaultAndUndockedByPositionOrPreference) {
    TFormAdress* docked = Open();
    EXPECT_TRUE(docked->IsMdiChild());
    EXPECT_TRUE(qobject_cast<QMdiSubWindow*>(docked->parentWidget()));
    EXPECT_FALSE(docked->TopLabel->FormAusgedockt);
    EXPECT_FALSE(docked->TopLabel->btDockUndock->isHidden());

    // Any of the position parameters undocks, the width under both of its spellings.
    for (const QString& p : {QStringLiteral("ModulPositionTop=40"),
                             QStringLiteral("ModulPositionWidth=800"),
                             QStringLiteral("ModulPositionWdith=800")}) {
        TFormAdress* f = Open({p});
        EXPECT_TRUE(f->isWindow()) << p.toStdString();
        EXPECT_FALSE(qobject_cast<QMdiSubWindow*>(f->parentWidget())) << p.toStdString();
        EXPECT_EQ(f->FormStyle(), Vcl::fsNormal);
        EXPECT_TRUE(f->TopLabel->FormAusgedockt);
    }

    s_dm->SaveLastValBool(QStringLiteral("Modules_Docking"), true);
    TFormAdress* preferred = Open();
    s_dm->SaveLastValBool(QStringLiteral("Modules_Docking"), false);
    EXPECT_TRUE(preferred->isWindow());
    EXPECT_TRUE(preferred->TopLabel->FormAusgedockt);
}

TEST_F(ModulFormTest, PopupParentIsALiveFormBySerialOrNothing) {
    TFormAdress* first = Open({QStringLiteral("ModulPositionTop=10")});
    const QString param = QStringLiteral("ModulPopupParent=%1");
    TFormAdress* child = Open({param.arg(first->Serial())});
    ASSERT_TRUE(child->windowHandle());
    EXPECT_EQ(child->windowHandle()->transientParent(), first->windowHandle());
    // A serial of no live form (or any number smuggled in as an address) is ignored.
    TFormAdress* stray = Open({param.arg(987654)});
    ASSERT_TRUE(stray->windowHandle());
    EXPECT_EQ(stray->windowHandle()->transientParent(), nullptr);
    EXPECT_TRUE(stray->isVisible());
}

TEST_F(ModulFormTest, NavigatesEditsAndSavesThroughTheNavigator) {
    TFormAdress* f = Open();
    ASSERT_EQ(f->DataAdressen->RecordCount(), 20);
    EXPECT_EQ(f->EdName->text(), QStringLiteral("Adresse 01"));
    Click(f, nbNext);
    EXPECT_EQ(f->DataAdressen->RecNo(), 2);
    EXPECT_EQ(f->EdName->text(), QStringLiteral("Adresse 02"));
    Click(f, nbLast);
    Click(f, nbPrior);
    EXPECT_EQ(f->DataAdressen->RecNo(), 19);
    const qint64 id = CurrentId(f);

    Type(f->EdOrt, QStringLiteral("Neustadt"));
    EXPECT_TRUE(f->DataAdressen->InEdit());
    EXPECT_TRUE(f->TopLabel->DBN1->ButtonControl(nbPost)->isEnabled());
    m_answers.Expect(QStringLiteral("Adressen: Änderungen speichern?"), Vcl::mrYes);
    Click(f, nbPost);
    EXPECT_FALSE(f->DataAdressen->InEdit());
    EXPECT_EQ(DbValue(QStringLiteral("ort"), id), QStringLiteral("Neustadt"));
}

TEST_F(ModulFormTest, CancelAndRefusedQuestionLeaveTheRowUnchanged) {
    TFormAdress* f = Open();
    Click(f, nbNext);
    const qint64 id = CurrentId(f);
    const QString before = DbValue(QStringLiteral("name"), id);

    Type(f->EdName, QStringLiteral("Verworfen"));
    Click(f, nbCancel);
    EXPECT_FALSE(f->DataAdressen->InEdit());
    EXPECT_EQ(f->EdName->text(), before);

    // "No" to the save question discards the edit and says so.
    Type(f->EdName, QStringLiteral("Auch verworfen"));
    m_answers.Expect(QStringLiteral("Änderungen speichern?"), Vcl::mrNo)
        .Expect(QStringLiteral("Speichern abgebrochen."), Vcl::mrOk);
    Click(f, nbPost);
    EXPECT_FALSE(f->DataAdressen->InEdit());
    EXPECT_EQ(f->EdName->text(), before);
    EXPECT_EQ(DbValue(QStringLiteral("name"), id), before);
}

TEST_F(ModulFormTest, AutoSaveModeAsksNothing) {
    TFormAdress* f = Open();
    f->TopLabel->btModeClick();
    ASSERT_TRUE(f->TopLabel->_Write());
    const qint64 id = CurrentId(f);
    Type(f->EdTelefon, QStringLiteral("030 1234"));
    Click(f, nbPost);
    EXPECT_TRUE(m_answers.Questions().empty());
    EXPECT_EQ(DbValue(QStringLiteral("telefon"), id), QStringLiteral("030 1234"));
}

TEST_F(ModulFormTest, ServerRefusalKeepsTheUsersValuesInEdit) {
    TFormAdress* f = Open();
    const qint64 id = CurrentId(f);
    const QString before = DbValue(QStringLiteral("plz"), id);
    const QString tooLong = QStringLiteral("123456789012"); // plz is varchar(10)
    // The edit stops at the column's size; the module's code can still hand in more.
    Type(f->EdPlz, tooLong);
    EXPECT_EQ(f->EdPlz->text(), tooLong.left(10));
    f->DataAdressen->FieldByName(QStringLiteral("plz")).SetAsString(tooLong);
    Type(f->EdOrt, QStringLiteral("Teilweise"));
    m_answers.Expect(QStringLiteral("Änderungen speichern?"), Vcl::mrYes)
        .Expect(QStringLiteral("Das Feld „PLZ“ darf höchstens 10 Zeichen lang sein."), Vcl::mrOk);
    Click(f, nbPost);
    ASSERT_EQ(m_answers.Questions().size(), 2u);
    EXPECT_TRUE(m_answers.Questions()[1].details.contains(QStringLiteral("character varying(10)")));
    EXPECT_TRUE(f->DataAdressen->InEdit());
    EXPECT_EQ(f->DataAdressen->FieldByName(QStringLiteral("plz")).AsString(), tooLong);
    EXPECT_EQ(f->DataAdressen->FieldByName(QStringLiteral("ort")).AsString(),
              QStringLiteral("Teilweise"));
    EXPECT_EQ(DbValue(QStringLiteral("plz"), id), before);
    EXPECT_NE(DbValue(QStringLiteral("ort"), id), QStringLiteral("Teilweise"));
}

TEST_F(ModulFormTest, SecondWindowCannotOverwriteTheFirstsPost) {
    TFormAdress* a = Open();
    TFormAdress* b = Open();
    Click(a, nbLast);
    Click(b, nbLast);
    const qint64 id = CurrentId(a);
    ASSERT_EQ(CurrentId(b), id);

    Type(a->EdName, QStringLiteral("Fenster A"));
    m_answers.Expect(QStringLiteral("Änderungen speichern?"), Vcl::mrYes);
    Click(a, nbPost);
    ASSERT_EQ(DbValue(QStringLiteral("name"), id), QStringLiteral("Fenster A"));

    Type(b->EdName, QStringLiteral("Fenster B"));
    m_answers.Expect(QStringLiteral("Änderungen speichern?"), Vcl::mrYes)
        .Expect(QStringLiteral("anderen Benutzer"), Vcl::mrOk);
    Click(b, nbPost);
    EXPECT_TRUE(b->DataAdressen->InEdit());
    EXPECT_EQ(DbValue(QStringLiteral("name"), id), QStringLiteral("Fenster A"));
}

TEST_F(ModulFormTest, ActivationRefreshRereadsFlaggedClassesButNotOneInEdit) {
    TFormAdress* f = Open();
    Click(f, nbNext);
    const qint64 id = CurrentId(f);
    TestDatabase::Exec(QStringLiteral("UPDATE adressen SET ort = 'Anderswo' WHERE dbrid = %1").arg(id));
    f->FormActivate(f);
    EXPECT_EQ(LastModulForm.data(), f);
    EXPECT_NE(f->EdOrt->text(), QStringLiteral("Anderswo")); // the refresh waits for the message
    QApplication::processEvents();
    EXPECT_EQ(f->EdOrt->text(), QStringLiteral("Anderswo"));

    // Neither a class without the flag nor one being edited is re-read.
    TestDatabase::Exec(QStringLiteral("UPDATE adressen SET ort = 'Zweimal' WHERE dbrid = %1").arg(id));
    f->DataAdressen->SetSingleRecordRefresh(false);
    f->FormActivate(f);
    QApplication::processEvents();
    EXPECT_EQ(f->EdOrt->text(), QStringLiteral("Anderswo"));
    f->DataAdressen->SetSingleRecordRefresh(true);
    Type(f->EdTelefon, QStringLiteral("0"));
    f->FormActivate(f);
    QApplication::processEvents();
    EXPECT_EQ(f->EdOrt->text(), QStringLiteral("Anderswo"));
    f->DataAdressen->Cancel();
}

TEST_F(ModulFormTest, ReadOnlyModeDisablesEditing) {
    TFormAdress* f = Open();
    f->FrameAnsprechpartner->BtTools->show();
    f->SetFormReadOnly();
    EXPECT_TRUE(f->FFormReadOnly());
    EXPECT_TRUE(f->DataAdressen->ReadOnly());
    EXPECT_TRUE(f->EdName->isReadOnly());
    const NavBtnSet nav = f->TopLabel->DBN1->VisibleButtons();
    EXPECT_FALSE(nav & (nbInsert | nbPost | nbCancel | nbDelete));
    EXPECT_TRUE(nav & nbNext);
    EXPECT_TRUE(f->TopLabel->BtTools->isHidden());
    // The contacts' frame as well, also after the rights were applied again.
    TFrameDBNav* contacts = f->FrameAnsprechpartner;
    EXPECT_TRUE(contacts->BtTools->isHidden());
    EXPECT_FALSE(contacts->DBNavigator1->VisibleButtons() & (nbInsert | nbPost | nbDelete));
    f->DoAdminState();
    EXPECT_TRUE(f->TopLabel->BtTools->isHidden());
    EXPECT_EQ(f->TopLabel->btMode->toolTip(), QStringLiteral("nur lesen"));
    // Another work mode cannot be picked any more.
    f->TopLabel->btMode->click();
    EXPECT_FALSE(f->TopLabel->_Write());
    EXPECT_THROW(f->DataAdressen->Edit(), EVoskException);
}

TEST_F(ModulFormTest, StatusBarFollowsDataClassesAndHideParameters) {
    TFormAdress* f = Open();
    const TModulFormStatusBar bar = f->TopLabel->BtStatusBar();
    EXPECT_TRUE(bar & msbVisible);
    EXPECT_TRUE(bar & msbHistorie);
    EXPECT_TRUE(bar & msbWVOD);
    EXPECT_TRUE(bar & msbDoku); // the address is its own document class
    EXPECT_TRUE(bar & msbSoftlink);
    ASSERT_TRUE(f->BtHistorie);
    EXPECT_EQ(Vcl::Owner(f->BtHistorie), f->DataAdressen);
    EXPECT_EQ(f->StatusBar1->PanelText(0), QStringLiteral("Erstellt: "));

    TFormAdress* hidden = Open({QStringLiteral("HideAllStatus=1")});
    const TModulFormStatusBar none = hidden->TopLabel->BtStatusBar();
    EXPECT_FALSE(none & (msbWVOD | msbAuditLog | msbDoku | msbHistorie | msbEigenschaften |
                         msbSoftlink));
    EXPECT_TRUE(none & msbVisible);
    EXPECT_TRUE(hidden->StatusBar1ContainerBtHistorie->isHidden());
}

TEST_F(ModulFormTest, SaveQuestionReachesEveryDataClassAndButtonNamesStayUnique) {
    TVoskClass shared;
    shared.setObjectName(QStringLiteral("Shared"));
    auto* one = Track(TFormKorvexGundForm::Create<TTestModul>(nullptr, {}, &shared));
    auto* two = Track(TFormKorvexGundForm::Create<TTestModul>(nullptr, {}, &shared));
    EXPECT_EQ(one->BtHistorie->objectName(), QStringLiteral("BtHistorie"));
    EXPECT_EQ(two->BtHistorie->objectName(), QStringLiteral("BtHistorie__TTestModul"));
    for (TVoskClass* c : {one->ownClass, one->detailClass, one->frameClass})
        EXPECT_TRUE(bool(c->BeforePost)) << c->objectName().toStdString();
}

TEST_F(ModulFormTest, PaintLockCountsAndNeverGoesNegative) {
    TFormAdress* f = Open();
    f->EndUpdate();
    EXPECT_EQ(f->FFormUpdateCount(), 0);
    EXPECT_TRUE(f->Frame()->updatesEnabled());
    f->BeginUpdate();
    f->BeginUpdate();
    EXPECT_FALSE(f->Frame()->updatesEnabled());
    f->EndUpdate();
    EXPECT_FALSE(f->Frame()->updatesEnabled());
    f->EndUpdate();
    EXPECT_TRUE(f->Frame()->updatesEnabled());
}

TEST_F(ModulFormTest, CloseLogsAndClearsTheLastModulForm) {
    TFormAdress* f = Open();
    f->FormActivate(f);
    QApplication::processEvents();
    ASSERT_EQ(LastModulForm.data(), f);
    TLogSink::Clear();
    f->Close();
    QApplication::processEvents();
    EXPECT_EQ(LastModulForm.data(), nullptr);
    EXPECT_TRUE(TLogSink::Contains(QStringLiteral("TModulForm.FormClose-0-:TFormAdress - FormAdress")));
    EXPECT_TRUE(TLogSink::Contains(QStringLiteral("TModulForm.FormClose-2-:TFormAdress - FormAdress")));
}

#include "ModulFormTest.moc"

TEST_F(ModulFormTest, EveryButtonAndFieldSaysWhatItIs) {
    TFormAdress* f = Open();
    f->show();
    QApplication::processEvents();
    QList<QWidget*> controls;
    for (QAbstractButton* b : f->findChildren<QAbstractButton*>())
        controls << b;
    for (QLineEdit* e : f->findChildren<QLineEdit*>())
        if (!qobject_cast<QAbstractItemView*>(e->parentWidget()))
            controls << e;
    if (f->ToolForm)
        for (QAbstractButton* b : f->ToolForm->findChildren<QAbstractButton*>())
            controls << b;
    ASSERT_GT(controls.size(), 20);
    for (QWidget* w : controls) {
        const QString what = w->objectName() + QStringLiteral(" (") +
                             QString::fromLatin1(w->metaObject()->className()) + u')';
        EXPECT_FALSE(w->accessibleName().isEmpty()) << what.toStdString();
        EXPECT_FALSE(w->toolTip().isEmpty()) << what.toStdString();
        EXPECT_NE(w->toolTip(), QStringLiteral("*")) << what.toStdString();
        EXPECT_FALSE(w->toolTip().startsWith(QStringLiteral("xtt"))) << what.toStdString();
    }
    EXPECT_EQ(f->EdPlz->accessibleName(), QStringLiteral("PLZ"));
}

// An opening reads the link modules of all its grids at once and writes its start's and show's
// log lines in one statement; the next opening sees link modules changed meanwhile, also after a
// reconnect.
TEST_F(ModulFormTest, AnOpeningReadsLinkModulesAndLogsInOneGoAndTheNextSeesChanges) {
    TestDatabase::Exec(QStringLiteral(
        "INSERT INTO linkmodule (lm_keyfield, lm_formclassname, lm_tablename, lm_caption) "
        "VALUES ('Name', 'TFormAdress', 'adressen', 'Adressen'), "
        "('nachname ', 'TFormKontakt', 'ansprechpartner', 'Kontakte')"));
    const auto cleanup = qScopeGuard([] {
        TestDatabase::Exec(QStringLiteral("DELETE FROM linkmodule"));
    });
    auto underlined = [](TVoskDBGrid2* grid, const char* field) {
        const int col = grid->DataClass()->FieldIndex(QString::fromLatin1(field));
        return grid->model()->headerData(col, Qt::Horizontal, Qt::FontRole).value<QFont>().underline();
    };
    const QString lastLog = TestDatabase::Scalar(QStringLiteral("SELECT COALESCE(max(el_id), 0) FROM eventlog"));
    TFormAdress* f = Open();
    EXPECT_TRUE(underlined(f->GridAdressen, "name"));
    EXPECT_FALSE(underlined(f->GridAdressen, "ort"));
    // A blank around the column's name keeps it from matching, as the server compares it.
    EXPECT_FALSE(underlined(f->GridAnsprechpartner, "nachname"));
    EXPECT_EQ(TestDatabase::Scalar(QStringLiteral(
                  "SELECT count(*) || ' ' || count(DISTINCT xmin::text) FROM eventlog WHERE el_id > %1 "
                  "AND (el_text LIKE 'StartVoskComponent: %' OR el_text LIKE 'LoadCompSettings: %')")
                  .arg(lastLog)),
              QStringLiteral("4 1"));

    TestDatabase::Exec(QStringLiteral("UPDATE linkmodule SET lm_keyfield = 'nachname'; "
                                      "DELETE FROM linkmodule WHERE lm_keyfield = 'nachname' "
                                      "AND lm_caption = 'Adressen'"));
    TFormAdress* g = Open();
    EXPECT_FALSE(underlined(g->GridAdressen, "name"));
    EXPECT_TRUE(underlined(g->GridAnsprechpartner, "nachname"));

    s_dm->Disconnect();
    s_dm->Connect();
    TestDatabase::Exec(QStringLiteral("UPDATE linkmodule SET lm_keyfield = 'ort'"));
    TFormAdress* h = Open();
    EXPECT_TRUE(underlined(h->GridAdressen, "ort"));
    EXPECT_FALSE(underlined(h->GridAnsprechpartner, "nachname"));
    // Again in this session: the two data queries, the link modules, the log lines and the
    // status bar's reads.
    const qint64 trips = s_dm->Database().RoundTrips();
    Open();
    EXPECT_LE(s_dm->Database().RoundTrips() - trips, 5);
}

// The header's buttons on the address module: print flags, the info lookup, docking and
// undocking with the stored positions, one more window, the grid search, copy and paste of field
// values, the caption's double click and the hand-over of stored documents.

#include "StartFixture.h"

#include "IDokumentLink.h"
#include "TVoskAlertWindow.h"
#include "TVoskBalloonHint.h"
#include "TVoskDBGrid2.h"
#include "TopLabel.h"
#include "UGrundModulForm.h"
#include "Umigration.h"
#include "Vcl.Hourglass.h"
#include "Vcl.Registry.h"
#include "VoskGridValues.h"

#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QToolButton>

namespace {

struct TF2Call {
    QWidget* module = nullptr;
    QObject* field = nullptr;
    QStringList params;
    TMakeF2Event onBeforeOK;
};

// Stands in for the lookup library for the length of a test.
class RecordingLookup {
public:
    RecordingLookup() : m_old(MakeF2Proc) {
        MakeF2Proc = [this](TF2Result&, QWidget* module, QObject* field,
                            std::unique_ptr<QStringList> params, TMakeF2Event onBeforeOK) {
            calls.push_back({module, field, *params, std::move(onBeforeOK)});
        };
    }
    ~RecordingLookup() { MakeF2Proc = m_old; }
    std::vector<TF2Call> calls;

private:
    TMakeF2Proc m_old;
};

class ChosenRows final : public QWidget, public IVoskSelectedRecordValues {
public:
    QStringList values;
    QStringList GetSelectedRecordValuesStr(const QString& field, int) const override {
        return field == QLatin1String("p_id") ? values : QStringList();
    }
};

class FakeLookup final : public TKorvexF2Form {
public:
    void StartSearch() override {}
    void TakeResult() override {}
};

class LinkingClass final : public TVoskClass, public IDokumentLink {
public:
    using TVoskClass::TVoskClass;
    QVariant DokumentLinkValue() const override { return 42; }
};

} // namespace

class HeaderActionsTest : public StartFixture {
protected:
    void TearDown() override {
        testsupport::TestDatabase::Exec(
            QStringLiteral("DELETE FROM lastval WHERE lv_key LIKE 'LastValue_%' OR lv_key LIKE "
                           "'Modules_Docking%' OR lv_key LIKE 'OpenNewModule_%'"));
        StartFixture::TearDown();
    }
    static QStringList Flags() {
        return UHostModules::RecordedCalls().empty() ? QStringList{QStringLiteral("none")}
                                                     : UHostModules::RecordedCalls().back().flags;
    }
    static QString PositionKey() {
        return UGrundModulForm::SessionRegistryBase() + QStringLiteral("Module\\TFormAdress");
    }
};

TEST_F(HeaderActionsTest, PrintFlagsFollowButtonMouseAndShift) {
    TFormAdress* f = Open();
    TTopLabelFrame* h = f->TopLabel;
    h->OnPrintBtClick = nullptr; // the built-in print: the report library records it
    using F = QStringList;
    const F all{QStringLiteral("AutoPrint"), QStringLiteral("NoPrintPreview"),
                QStringLiteral("ShowPrinterSelection")};
    QTest::mouseClick(h->PrintBt, Qt::RightButton);
    EXPECT_EQ(Flags(), all);
    QTest::mouseClick(h->PrintBt, Qt::LeftButton, Qt::ShiftModifier);
    EXPECT_EQ(Flags(), F{});
    QTest::mouseClick(h->PrintBt, Qt::LeftButton);
    EXPECT_EQ(Flags(), F{});
    QTest::mouseClick(h->PrintBtFullAuto, Qt::LeftButton);
    EXPECT_EQ(Flags(), F{QStringLiteral("AutoPrint")});
    QTest::mouseClick(h->PrintBtFullAuto, Qt::RightButton);
    EXPECT_EQ(Flags(), (F{QStringLiteral("AutoPrint"), QStringLiteral("NoPrintPreview")}));
    h->PrintBtMouseUp(nullptr, Qt::LeftButton, Qt::NoModifier);
    EXPECT_EQ(Flags(), F{QStringLiteral("AutoPrint")});
    EXPECT_EQ(UHostModules::RecordedCalls().size(), 6u);
    EXPECT_TRUE(h->PrintBt->isEnabled());

    // A pending edit is saved before the print reads the record.
    f->EdOrt->setText(QStringLiteral("Druckort"));
    f->EdOrt->PostEditValue();
    ASSERT_TRUE(f->DataAdressen->InEdit());
    m_answers.Expect(QStringLiteral("speichern"), Vcl::mrYes);
    QTest::mouseClick(h->PrintBt, Qt::LeftButton);
    EXPECT_FALSE(f->DataAdressen->InEdit());
    EXPECT_EQ(DbValue(QStringLiteral("ort"), CurrentId(f)), QStringLiteral("Druckort"));
}

TEST_F(HeaderActionsTest, PrintButtonsComeBackWhenThePrintFails) {
    TFormAdress* f = Open();
    TTopLabelFrame* h = f->TopLabel;
    bool enabledMeanwhile = true;
    h->OnPrintBtClick = [&](QObject*, bool, bool, bool) {
        enabledMeanwhile = h->PrintBt->isEnabled() || h->PrintBtFullAuto->isEnabled();
        throw EVoskException(QStringLiteral("Drucker nicht bereit"));
    };
    m_answers.Expect(QStringLiteral("Drucker nicht bereit"), Vcl::mrOk);
    QTest::mouseClick(h->PrintBt, Qt::LeftButton);
    EXPECT_FALSE(enabledMeanwhile);
    EXPECT_TRUE(h->PrintBt->isEnabled());
    EXPECT_TRUE(h->PrintBtFullAuto->isEnabled());
    EXPECT_EQ(Vcl::THourglass::Depth(), 0);
}

TEST_F(HeaderActionsTest, InfoOpensTheLookupOnTheNavigatorUnlessTheModuleHandlesIt) {
    TFormAdress* f = Open();
    TTopLabelFrame* h = f->TopLabel;
    RecordingLookup lookup;
    {
        int key = Qt::Key_F4;
        f->FormKeyDown(f, key, Qt::NoModifier);
        EXPECT_EQ(key, 0); // handled
    }
    ASSERT_EQ(lookup.calls.size(), 1u);
    EXPECT_EQ(lookup.calls[0].module, f);
    EXPECT_EQ(lookup.calls[0].field, h->DBN1);
    EXPECT_TRUE(lookup.calls[0].params.contains(QStringLiteral("ShowOkAbortBt=False")));
    EXPECT_FALSE(lookup.calls[0].params.contains(QStringLiteral("ShowModal=True")));
    EXPECT_TRUE(h->InfoBt->isEnabled());

    QObject* sender = nullptr;
    h->OnInfoBtClick = [&](QObject* s) { sender = s; };
    h->InfoBtClick(nullptr);
    EXPECT_EQ(sender, h->InfoBt);
    EXPECT_EQ(lookup.calls.size(), 1u);
}

TEST_F(HeaderActionsTest, UndockingAMaximisedWindowAndDockingItBack) {
    TFormAdress* f = Open();
    TTopLabelFrame* h = f->TopLabel;
    ASSERT_TRUE(f->IsMdiChild());
    ASSERT_TRUE(f->FPositionLoaded);
    auto* mdi = s_main->findChild<QMdiArea*>();
    int dockEvents = 0;
    f->OnDockChanged = [&](QObject* sender) {
        EXPECT_EQ(sender, h);
        ++dockEvents;
    };
    f->SetWindowState(Vcl::wsMaximized);
    QApplication::processEvents();
    const QPoint maxPos = f->Frame()->pos();

    h->btDockUndock->click();
    QApplication::processEvents();
    EXPECT_TRUE(h->FormAusgedockt);
    EXPECT_TRUE(f->isWindow());
    EXPECT_FALSE(f->IsMdiChild());
    EXPECT_EQ(f->Frame(), f);
    EXPECT_TRUE(mdi->subWindowList().isEmpty()); // no empty frame stays behind
    EXPECT_EQ(h->btDockUndock->toolTip(), QStringLiteral("Fenster andocken"));
    EXPECT_TRUE(s_dm->LoadLastValBool(QStringLiteral("Modules_Docking"), false));
    {
        Vcl::TRegistry reg;
        ASSERT_TRUE(reg.OpenKeyReadOnly(PositionKey()));
        EXPECT_EQ(reg.TryReadInteger(QStringLiteral("Top")), maxPos.y() + 30);
        EXPECT_EQ(reg.TryReadInteger(QStringLiteral("Left")), maxPos.x() + 30);
        EXPECT_FALSE(reg.ValueExists(QStringLiteral("Width")));
        EXPECT_FALSE(reg.ValueExists(QStringLiteral("Height")));
        EXPECT_NE(reg.TryReadInteger(QStringLiteral("Maximized")).value_or(0), 0);
    }

    h->btDockUndock->click();
    QApplication::processEvents();
    EXPECT_FALSE(h->FormAusgedockt);
    EXPECT_TRUE(f->IsMdiChild());
    auto* sub = qobject_cast<QMdiSubWindow*>(f->parentWidget());
    ASSERT_TRUE(sub);
    EXPECT_EQ(sub->mdiArea(), mdi);
    EXPECT_EQ(f->WindowState(), Vcl::wsMaximized); // as stored for the docked window
    EXPECT_EQ(h->btDockUndock->toolTip(), QStringLiteral("Fenster ausdocken"));
    EXPECT_EQ(dockEvents, 2);
    Vcl::TRegistry reg;
    ASSERT_TRUE(reg.OpenKeyReadOnly(PositionKey()));
    EXPECT_TRUE(reg.ValueExists(QStringLiteral("ausgedockt_Width")));
}

TEST_F(HeaderActionsTest, DockingBackRestoresTheStoredGeometry) {
    TFormAdress* f = Open();
    TTopLabelFrame* h = f->TopLabel;
    f->SetWindowState(Vcl::wsNormal);
    f->Frame()->setGeometry(40, 50, 700, 350);
    QApplication::processEvents();
    h->btDockUndockClick();
    QApplication::processEvents();
    ASSERT_TRUE(f->isWindow());
    f->move(f->pos() + QPoint(25, 15));
    h->btDockUndockClick();
    QApplication::processEvents();
    ASSERT_TRUE(f->IsMdiChild());
    EXPECT_EQ(f->Frame()->geometry(), QRect(40, 50, 700, 350));
    Vcl::TRegistry reg;
    ASSERT_TRUE(reg.OpenKeyReadOnly(PositionKey()));
    EXPECT_EQ(reg.TryReadInteger(QStringLiteral("Width")), 700);
    EXPECT_TRUE(reg.TryReadInteger(QStringLiteral("ausgedockt_Top")).has_value());
}

TEST_F(HeaderActionsTest, DockingWithoutAnMdiAreaLeavesTheWindowUndockedAndSaysSo) {
    TFormAdress* f = Open();
    TTopLabelFrame* h = f->TopLabel;
    h->btDockUndockClick();
    ASSERT_TRUE(f->isWindow());
    Vcl::Screen::SetMainForm(nullptr);
    h->btDockUndockClick();
    Vcl::Screen::SetMainForm(s_main);
    EXPECT_TRUE(f->isWindow());
    EXPECT_FALSE(f->IsMdiChild());
    EXPECT_TRUE(h->FormAusgedockt);
    EXPECT_EQ(h->btDockUndock->toolTip(), QStringLiteral("Fenster andocken"));
}

TEST_F(HeaderActionsTest, DockingOutsideAModuleFormOnlyInforms) {
    QWidget plain;
    TTopLabelFrame frame(&plain, &plain);
    m_answers.Expect(QStringLiteral("Schließen Sie das Fenster"), Vcl::mrOk);
    frame.btDockUndockClick();
    EXPECT_FALSE(frame.FormAusgedockt);
}

TEST_F(HeaderActionsTest, NewWindowPutsThePreferenceBackAlsoWhenTheStartFails) {
    auto* first = Start<TFormStartProbe>(QStringLiteral("TFormStartProbe"));
    ASSERT_TRUE(first);
    const QString key =
        QStringLiteral("OpenNewModule_") +
        Umigration::TranslateInto_mm_formclassname(QStringLiteral("TFormStartProbe"));
    first->TopLabel->btNewOpenClick();
    QApplication::processEvents();
    EXPECT_EQ(FindModules(QStringLiteral("TFormStartProbe")).size(), 2);
    EXPECT_FALSE(s_dm->LoadLastValBool(key, true));

    Ukorvexinterface::RegisterStartProc(QStringLiteral("Test.M"), QStringLiteral("PROBE"),
                                        [](const QStringList&) -> QObject* {
                                            throw EVoskException(QStringLiteral("Start kaputt"));
                                        });
    EXPECT_THROW(first->TopLabel->btNewOpenClick(), EVoskException);
    EXPECT_FALSE(s_dm->LoadLastValBool(key, true));
    Ukorvexinterface::RegisterStartProc(
        QStringLiteral("Test.M"), QStringLiteral("PROBE"), [](const QStringList& p) -> QObject* {
            auto* f = TFormKorvexGundForm::Create<TFormStartProbe>(nullptr, p);
            UModulForm::ShowModulForm(f);
            return f;
        });
}

TEST_F(HeaderActionsTest, SearchPanelFindBoxAndGridWithoutSearch) {
    TFormAdress* f = Open();
    TTopLabelFrame* h = f->TopLabel;
    EXPECT_FALSE(h->btSearchData->isHidden());
    h->btSearchDataClick(Qt::NoModifier);
    ASSERT_TRUE(f->GridAdressen->SearchPanel());
    EXPECT_TRUE(f->GridAdressen->SearchPanelVisible());
    QTest::keyClicks(f->GridAdressen->SearchPanel(), QStringLiteral("adresse 07"));
    EXPECT_EQ(f->DataAdressen->FieldByName(QStringLiteral("name")).AsString(),
              QStringLiteral("Adresse 07"));
    h->btSearchDataClick(Qt::NoModifier);
    EXPECT_FALSE(f->GridAdressen->SearchPanelVisible());

    h->btSearchDataClick(Qt::ShiftModifier);
    ASSERT_TRUE(f->GridAdressen->FindBox());
    EXPECT_TRUE(f->GridAdressen->FindBox()->isVisible());
    f->GridAdressen->FindBox()->hide();

    QWidget plain;
    TTopLabelFrame frame(&plain, &plain);
    EXPECT_TRUE(frame.btSearchData->isHidden());
    try {
        frame.btSearchDataClick(Qt::NoModifier);
        ADD_FAILURE() << "no exception";
    } catch (const EVoskException& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("TTopLabelFrame.btSearchDataClick"));
    }
}

TEST_F(HeaderActionsTest, CopyAndPasteFieldValuesThroughLastValues) {
    TFormAdress* f = Open();
    TTopLabelFrame* h = f->TopLabel;
    // Nothing stored yet: paste leaves every field as it is.
    const QString name = f->EdName->text();
    h->moPasteEditsClick();
    EXPECT_EQ(f->EdName->text(), name);
    EXPECT_FALSE(f->DataAdressen->InEdit());

    TVoskBalloonHint::ClearLastShown();
    const QString ort = f->EdOrt->text();
    h->moCopyEditsClick();
    EXPECT_EQ(TVoskBalloonHint::LastShown().title, QStringLiteral("Kopieren"));
    EXPECT_EQ(TVoskBalloonHint::LastShown().text, QStringLiteral("Der Zustand wird gespeichert."));
    EXPECT_EQ(TVoskBalloonHint::LastShown().control, h->btCopyEdits);
    EXPECT_EQ(TVoskBalloonHint::LastShown().seconds, 5);

    f->DataAdressen->Next();
    ASSERT_NE(f->EdName->text(), name);
    // A disabled edit keeps its own value.
    f->EdPlz->setEnabled(false);
    const QString plz = f->EdPlz->text();
    h->moPasteEditsClick();
    EXPECT_EQ(f->EdName->text(), name);
    EXPECT_EQ(f->EdOrt->text(), ort);
    EXPECT_EQ(f->EdPlz->text(), plz);
    EXPECT_TRUE(f->DataAdressen->InEdit());
    EXPECT_EQ(f->DataAdressen->FieldByName(QStringLiteral("name")).AsString(), name);
    f->DataAdressen->Cancel();
}

TEST_F(HeaderActionsTest, CaptionDoubleClickCopiesTheUnitNameForAdministrators) {
    TFormAdress* f = Open();
    TTopLabelFrame* h = f->TopLabel;
    m_answers.SetText(QStringLiteral("vorher"));
    s_dm->SetIsAdmin(false);
    QTest::mouseDClick(h->Toplabel, Qt::LeftButton);
    EXPECT_EQ(m_answers.Text(), QStringLiteral("vorher"));
    s_dm->SetIsAdmin(true);
    QTest::mouseDClick(h->Toplabel, Qt::LeftButton);
    EXPECT_EQ(m_answers.Text(), QStringLiteral("TFormAdress"));
    ASSERT_TRUE(f->AlertWindow);
    EXPECT_EQ(f->AlertWindow->Caption(), QStringLiteral("Developer Funktion"));
}

TEST_F(HeaderActionsTest, StoredDocumentsGoToThePositionsTheUserChooses) {
    testsupport::TestDatabase::Exec(
        QStringLiteral("CREATE TABLE ldsdoktxt (dbrid serial PRIMARY KEY, p_link integer); "
                       "CREATE TABLE auftgtxt (dbrid serial PRIMARY KEY, p_link integer); "
                       "INSERT INTO ldsdoktxt (p_link) VALUES (NULL); INSERT INTO auftgtxt "
                       "(p_link) VALUES (NULL)"));
    TFormAdress* f = Open();
    TTopLabelFrame* h = f->TopLabel;
    RecordingLookup lookup;
    QStringList fired;
    h->OnDokumentAfterPost = [&](TDokument*, const QString& type, const QString& file) {
        fired << type + QLatin1Char('|') + file;
    };
    {
        // The address class holds twenty rows: the user picks the positions.
        auto* doc = new TVoskClass(f->DataAdressen);
        doc->SetSqlTable(QStringLiteral("ldsdoktxt"));
        doc->SetLinkFieldName(QStringLiteral("p_link"));
        doc->Open();
        h->FSetDokumentClass(doc);
        TDokument* dok = nullptr;
        h->DoDokumentAfterPost(dok, QStringLiteral("RE"), QStringLiteral("a.pdf"));
        ASSERT_EQ(lookup.calls.size(), 1u);
        const QStringList& p = lookup.calls[0].params;
        EXPECT_EQ(lookup.calls[0].module, f);
        for (const char* line : {"DoNotShow=True", "doku_typ=RE", "MultiSelect=True",
                                 "AutoCallPos=30", "ModulName=TFormEinkauf_PosDokument"})
            EXPECT_TRUE(p.contains(QString::fromLatin1(line))) << line;
        EXPECT_FALSE(p.contains(QStringLiteral("ShowModal=True")));
        ASSERT_TRUE(lookup.calls[0].onBeforeOK);
        FakeLookup chooser;
        ChosenRows rows;
        rows.values = {QStringLiteral("7")};
        chooser.F2Result.F2Grid = &rows;
        (*lookup.calls[0].onBeforeOK)(&chooser);
        EXPECT_EQ(testsupport::TestDatabase::Scalar(QStringLiteral("SELECT p_link FROM ldsdoktxt")),
                  QStringLiteral("7"));
        h->FSetDokumentClass(nullptr);
        delete doc;
    }
    {
        auto* doc = new TVoskClass(f->DataAdressen);
        doc->SetSqlTable(QStringLiteral("auftgtxt"));
        h->FSetDokumentClass(doc);
        TDokument* dok = nullptr;
        h->DoDokumentAfterPost(dok, QStringLiteral("AB"), QStringLiteral("b.pdf"));
        ASSERT_EQ(lookup.calls.size(), 2u);
        EXPECT_FALSE(
            lookup.calls[1].params.contains(QStringLiteral("ModulName=TFormEinkauf_PosDokument")));
        // Without a document type nothing is handed on.
        h->DoDokumentAfterPost(dok, QString(), QStringLiteral("c.pdf"));
        EXPECT_EQ(lookup.calls.size(), 2u);
        h->FSetDokumentClass(nullptr);
        delete doc;
    }
    {
        // A master of one record names the link itself.
        LinkingClass master;
        auto* doc = new TVoskClass(&master);
        doc->SetSqlTable(QStringLiteral("auftgtxt"));
        doc->SetLinkFieldName(QStringLiteral("p_link"));
        doc->Open();
        h->FSetDokumentClass(doc);
        TDokument* dok = nullptr;
        h->DoDokumentAfterPost(dok, QStringLiteral("LS"), QStringLiteral("d.pdf"));
        EXPECT_EQ(lookup.calls.size(), 2u);
        EXPECT_EQ(testsupport::TestDatabase::Scalar(QStringLiteral("SELECT p_link FROM auftgtxt")),
                  QStringLiteral("42"));
        // A failure names the frame and the step.
        doc->SetLinkFieldName(QStringLiteral("gibt_es_nicht"));
        try {
            h->DoDokumentAfterPost(dok, QStringLiteral("LS"), QStringLiteral("e.pdf"));
            ADD_FAILURE() << "no exception";
        } catch (const EVoskException& e) {
            EXPECT_TRUE(
                e.Message().startsWith(Vcl::FullName(h) + QStringLiteral(".DoDokumentAfterPost")))
                << e.Message().toStdString();
        }
        EXPECT_FALSE(doc->InEdit()); // nothing half-written stays behind
        h->FSetDokumentClass(nullptr);
        delete doc;
    }
    EXPECT_EQ(fired, (QStringList{QStringLiteral("RE|a.pdf"), QStringLiteral("AB|b.pdf"),
                                  QStringLiteral("LS|d.pdf")}));
    testsupport::TestDatabase::Exec(QStringLiteral("DROP TABLE ldsdoktxt; DROP TABLE auftgtxt"));
}

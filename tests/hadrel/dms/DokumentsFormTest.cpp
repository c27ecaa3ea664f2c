// The document window on a real database, offscreen: its tree, options, opening documents,
// closing with previews, and the refresh of a node after changes elsewhere.

#include "FrameworkFixture.h"

#include <Dataclient_files.h>
#include <EventGuard.h>
#include <FaultPoint.h>
#include <RtlDialog.h>
#include <TVoskDocumentViewer.h>
#include <TVoskRibbon.h>
#include <UImpDoku.h>
#include <UModulFormSeams.h>
#include <Ukorvexclasses.Dokument.h>
#include <UnitTable.h>
#include <Vcl.Components.h>
#include <Vcl.Forms.h>
#include <VoskControls.h>
#include <VoskPrinters.h>

#include <QAbstractItemModelTester>
#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QComboBox>
#include <QImage>
#include <QTemporaryDir>
#include <QFileInfo>
#include <QLabel>
#include <QStyle>
#include <QTest>
#include <QTreeView>

#include <cmath>
#include <stdexcept>

using testsupport::TestDatabase;

// A preview window as the viewers make them: found by its class name, which drops the
// namespace. The namespace keeps it apart from the viewers' own class in this program.
namespace dmsformtest {
class TFormFilePreview : public Vcl::TForm {
    Q_OBJECT
public:
    using Vcl::TForm::TForm;
};
} // namespace dmsformtest
using dmsformtest::TFormFilePreview;

namespace {

QString scalar(const QString& sql) { return TestDatabase::Scalar(sql); }

class DokumentsFormTest : public FrameworkTest {
protected:
    void SetUp() override {
        FrameworkTest::SetUp();
        TestDatabase::Exec(QStringLiteral(
            "DELETE FROM picndokulink; DELETE FROM picndoku; DELETE FROM dms_file;"
            "DELETE FROM dokutreenodes; DELETE FROM dokutrees; DELETE FROM dokutypes;"
            "DELETE FROM lastval; DELETE FROM component_options; DELETE FROM settings "
            "WHERE s_name LIKE 'DMSInitialPath%';"
            "INSERT INTO dokutrees (dtl_id, dtl_description, dtl_tablename) "
            "VALUES (1, 'Adressablage', 'adressen');"
            "INSERT INTO dokutreenodes (dtn_id, dtn_dtl_id, dtn_parentid, dtn_nodeid, "
            "dtn_caption, dtn_image, dtn_position) VALUES "
            "(1, 1, NULL, 'root', 'Adresse', 1, 0), (2, 1, 1, 'belege', 'Belege', 151, 1), "
            "(3, 1, 1, 'vertraege', 'Verträge', 151, 2);"
            "INSERT INTO dokutypes (dt_id, dt_descr, dt_parentnodeid, dt_linkto) VALUES "
            "('RE', 'Rechnung', 'belege', 'adressen'), "
            "('LS', 'Lieferschein', 'belege', 'adressen')"));
        s_dm->SetLoginName(QStringLiteral("postgres"));
        s_dm->SetIsAdmin(false);
        m_printers.old = Corvale::Printers::SetInstance(&m_printers);
    }
    void TearDown() override {
        Rtl::FaultHook.Reset();
        TDokument::_ShowDokument.Reset();
        Corvale::Printers::SetInstance(m_printers.old);
        delete m_form.data();
        QApplication::processEvents();
    }

    int addFile(const QByteArray& bytes, const QString& name, const QString& type,
                const QString& folder = {}) {
        TDokument d;
        d.InsertData() = {true, QString(), type, QString(), folder, QString()};
        QBuffer b;
        b.setData(bytes);
        b.open(QIODevice::ReadOnly);
        return d.DMSAddFileAsBLOB(b, name, QStringLiteral("adressen"), QStringLiteral("5"));
    }
    TFormDokments* open(bool autoAsk = false) {
        m_form = TFormKorvexGundForm::Create<TFormDokments>(nullptr, QStringList(),
                                                            QStringLiteral("adressen"),
                                                            QStringLiteral("5"), nullptr);
        m_tester = std::make_unique<QAbstractItemModelTester>(
            m_form->TreeModel, QAbstractItemModelTester::FailureReportingMode::Fatal);
        m_form->resize(900, 600);
        m_form->Show();
        m_form->TreeMenuCreate(autoAsk);
        return m_form;
    }
    QString parentOf(const QString& id) {
        TDokuTreeNode* n = m_form->FindNode(id);
        return n && n->Parent ? n->Parent->Id : QString();
    }

    struct Printers final : Corvale::Printers {
        bool PrintDocument(const QTextDocument*, const QString&, QWidget*) override { return true; }
        QStringList PrinterNames() override { return {QStringLiteral("Büro"), QStringLiteral("Lager")}; }
        Corvale::Printers* old = nullptr;
    } m_printers;
    QPointer<TFormDokments> m_form;
    std::unique_ptr<QAbstractItemModelTester> m_tester;
};

TEST_F(DokumentsFormTest, TheTreeShowsFoldersDocumentsAndTheirStates) {
    const int re = addFile("a", QStringLiteral("rechnung.pdf"), QStringLiteral("RE"),
                           QStringLiteral("belege"));
    const int loose = addFile("b", QStringLiteral("notiz.txt"), QString(), QStringLiteral("weg"));
    TestDatabase::Exec(QStringLiteral("UPDATE picndoku SET pd_print = true, pd_listoutput = false "
                                      "WHERE pd_id = %1")
                           .arg(re));
    TFormDokments* f = open();
    EXPECT_EQ(parentOf(QString::number(re)), QStringLiteral("belege"));
    EXPECT_EQ(parentOf(QString::number(loose)), QStringLiteral("root"));
    EXPECT_EQ(f->FindNode(QStringLiteral("BELEGE"))->Image, DokState::imgFolderFull);
    EXPECT_EQ(f->FindNode(QStringLiteral("vertraege"))->Image, DokState::imgFolderEmpty);
    EXPECT_EQ(f->pcDokTree->tabText(0), QStringLiteral("&1 Dokumentstruktur (2)"));
    EXPECT_TRUE(f->windowTitle().startsWith(QStringLiteral("Objektablage ")));
    EXPECT_EQ(f->GetParameterStr(QStringLiteral("pdtablename")), QStringLiteral("adressen"));
    // The standard document is focused: its states show under the preview.
    EXPECT_EQ(f->GetNodeId(), QString::number(re));
    EXPECT_EQ(f->Dokument1()->Id(), re);
    EXPECT_EQ(f->lbDokuStates->text(),
              QStringLiteral("Listenausgabe definiert\r\nStandard-Dokument"));
    QApplication::processEvents(); // the preview follows the focus
    EXPECT_EQ(f->VoskDocumentViewer1->DocumentId(), re);
    EXPECT_EQ(f->FindNode(QString::number(re))->Image, DokState::imgStandard);
    EXPECT_TRUE(f->acDocumentViewExtern->isEnabled());
    EXPECT_FALSE(f->barDocumentEdit->isVisible()); // no edit tool is there yet
    // A folder: the document is let go, the view tools hide.
    ASSERT_TRUE(f->TreeMenuSelect(QStringLiteral("vertraege")));
    EXPECT_FALSE(f->Dokument1()->HasRecord());
    EXPECT_FALSE(f->barDocumentView->isVisible());
    EXPECT_EQ(f->lbDokuStates->text(), QString());
}

TEST_F(DokumentsFormTest, SettingsAndTypesChangedElsewhereShowOnTheNextRebuild) {
    const int re = addFile("a", QStringLiteral("rechnung.pdf"), QStringLiteral("RE"),
                           QStringLiteral("belege"));
    TestDatabase::Exec(QStringLiteral("UPDATE picndoku SET pd_print = true WHERE pd_id = %1;"
                                      "DELETE FROM settings WHERE s_name = "
                                      "'DMS.ExternalArchiveClient'")
                           .arg(re));
    TFormDokments* f = open();
    ASSERT_EQ(f->GetNodeId(), QString::number(re));
    EXPECT_FALSE(f->acDocumentViewElo->isVisible());
    EXPECT_FALSE(f->FindNode(QStringLiteral("vertraege"))->States & DokState::InitialFolder);
    EXPECT_EQ(f->DokTypeDescriptions(),
              QStringList({QStringLiteral("Lieferschein"), QStringLiteral("Rechnung")}));

    // Another session names the archive client and this user's initial folder, and adds a type.
    TestDatabase::Exec(QStringLiteral(
        "INSERT INTO settings (s_name, s_value) VALUES "
        "('DMS.ExternalArchiveClient', '/opt/archiv/client'), "
        "('DMSInitialPath_adressen_postgres', 'vertraege');"
        "INSERT INTO dokutypes (dt_id, dt_descr, dt_linkto) VALUES ('AN', 'Angebot', "
        "'adressen')"));
    f->TreeMenuCreate(false);
    // The initial folder takes the focus from the standard document.
    EXPECT_EQ(f->GetNodeId(), QStringLiteral("vertraege"));
    EXPECT_TRUE(f->FindNode(QStringLiteral("vertraege"))->States & DokState::InitialFolder);
    ASSERT_TRUE(f->TreeMenuSelect(QString::number(re)));
    EXPECT_TRUE(f->acDocumentViewElo->isVisible());
    EXPECT_EQ(f->DokTypeDescriptions(),
              QStringList({QStringLiteral("Angebot"), QStringLiteral("Lieferschein"),
                           QStringLiteral("Rechnung")}));

    // A blank client is none; the initial folder named in another case is another folder.
    TestDatabase::Exec(QStringLiteral(
        "UPDATE settings SET s_value = '  ' WHERE s_name = 'DMS.ExternalArchiveClient';"
        "UPDATE settings SET s_value = NULL WHERE s_name = 'DMSInitialPath_adressen_postgres';"
        "INSERT INTO settings (s_name, s_value) VALUES ('DMSInitialPath_Adressen_postgres', "
        "'belege')"));
    f->TreeMenuCreate(false);
    EXPECT_EQ(f->GetNodeId(), QString::number(re));
    EXPECT_FALSE(f->acDocumentViewElo->isVisible());
    EXPECT_FALSE(f->FindNode(QStringLiteral("vertraege"))->States & DokState::InitialFolder);
    EXPECT_FALSE(f->FindNode(QStringLiteral("belege"))->States & DokState::InitialFolder);
    TestDatabase::Exec(QStringLiteral("DELETE FROM settings WHERE s_name IN "
                                      "('DMS.ExternalArchiveClient', "
                                      "'DMSInitialPath_Adressen_postgres')"));
}

TEST_F(DokumentsFormTest, LoadingStopsAtAThousandAndAsksOnlyWhenAskedTo) {
    m_answers.Expect(QStringLiteral("Kein Dokument vorhanden, neues Dokument anlegen?"),
                     Vcl::mrNo);
    TFormDokments* f = open(true); // nothing there: the import is offered
    EXPECT_EQ(m_answers.Questions().size(), 1u);
    int imports = 0;
    QObject::connect(f->acDocFromFile, &QAction::triggered, [&] { ++imports; });
    m_answers.Expect(QStringLiteral("Kein Dokument vorhanden, neues Dokument anlegen?"),
                     Vcl::mrYes);
    m_answers.ExpectFile(QString(), {});
    f->TreeMenuCreate(true);
    EXPECT_EQ(imports, 1);
    f->acDocFromFile->setEnabled(false); // no import to offer: no question
    f->TreeMenuCreate(true);
    f->TreeMenuCreate(false);
    EXPECT_EQ(m_answers.Questions().size(), 2u);

    TestDatabase::Exec(QStringLiteral("INSERT INTO picndoku (pd_tablename, pd_dbrid, pd_descr) "
                                      "SELECT 'adressen', 5, 'Blatt ' || i "
                                      "FROM generate_series(1, 1001) i"));
    m_answers.Expect(QStringLiteral("Maximale Anzahl von Datensätzen"), Vcl::mrOk);
    f->TreeMenuCreate(true);
    EXPECT_EQ(f->FAnzahl, TDokument::MaxDocuments);
    EXPECT_TRUE(f->windowTitle().endsWith(QStringLiteral("bitte im DMS suchen")));
}

TEST_F(DokumentsFormTest, OptionsAndTheCloseChoiceAreKeptPerUser) {
    TFormDokments* f = open();
    EXPECT_TRUE(f->acStandardInitial->isChecked());
    EXPECT_TRUE(f->acCloseDocuments->isChecked());
    f->acStandardInitial->trigger();
    f->acCloseDocumentsNo->trigger();
    delete f;
    f = open();
    EXPECT_FALSE(f->acStandardInitial->isChecked());
    EXPECT_TRUE(f->acEditWaitDialog->isChecked());
    EXPECT_TRUE(f->acCloseDocumentsNo->isChecked());
    f->FormActivate(f);
    EXPECT_EQ(f->GetParameterStr(QStringLiteral("printers_list")),
              QStringLiteral("Büro¶Lager"));
}

TEST_F(DokumentsFormTest, ClosingAsksAboutTheModuleFormsPreviewsUntilImmerOrNie) {
    QWidget modul;
    const auto preview = [&modul] {
        auto* p = Vcl::Owned(&modul, new TFormFilePreview);
        p->show();
        return QPointer<TFormFilePreview>(p);
    };
    QPointer<TFormFilePreview> first = preview();
    TFormDokments* f = open();
    f->SetOwnerModulForm(&modul);
    m_answers.Expect(QStringLiteral("Geöffnete Dokumente schliessen?"), Vcl::mrNo);
    f->Close();
    QApplication::processEvents();
    EXPECT_TRUE(first && first->isVisible());
    const std::vector<Vcl::TQuestion>& asked = m_answers.Questions();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].buttonCaptions.value(int(Vcl::mbYesToAll)), QStringLiteral("Immer"));
    EXPECT_EQ(asked[0].buttonCaptions.value(int(Vcl::mbNoToAll)), QStringLiteral("Nie"));

    f = open();
    f->SetOwnerModulForm(&modul);
    m_answers.Expect(QStringLiteral("Geöffnete Dokumente schliessen?"), Vcl::mrYesToAll);
    f->Close();
    QApplication::processEvents();
    EXPECT_FALSE(first && first->isVisible());
    // "Immer" is remembered: the next close closes without asking.
    QPointer<TFormFilePreview> second = preview();
    f = open();
    EXPECT_TRUE(f->acCloseDocumentsYes->isChecked());
    f->SetOwnerModulForm(&modul);
    f->Close();
    QApplication::processEvents();
    EXPECT_FALSE(second && second->isVisible());
    EXPECT_EQ(m_answers.Questions().size(), 2u);
}

TEST_F(DokumentsFormTest, TheOptionalColumnsNeedMoreThan450Pixels) {
    TFormDokments* f = open();
    f->ApplyTreeWidth(450);
    for (int col : {int(TDokuTreeModel::colDragSource), int(TDokuTreeModel::colDokType),
                    int(TDokuTreeModel::colDate), int(TDokuTreeModel::colStates)})
        EXPECT_TRUE(f->TreeDocuments->isColumnHidden(col)) << col;
    f->ApplyTreeWidth(451);
    for (int col : {int(TDokuTreeModel::colDragSource), int(TDokuTreeModel::colDokType),
                    int(TDokuTreeModel::colDate), int(TDokuTreeModel::colStates)})
        EXPECT_FALSE(f->TreeDocuments->isColumnHidden(col)) << col;
    EXPECT_TRUE(f->TreeDocuments->isColumnHidden(TDokuTreeModel::colNodeId)); // not an admin
}

TEST_F(DokumentsFormTest, OpeningGoesToTheViewerOrToTheDesktopWithAReadOnlyCopy) {
    const int pdf = addFile("%PDF-1.4", QStringLiteral("plan.pdf"), QStringLiteral("RE"));
    const int txt = addFile("Notiz", QStringLiteral("notiz.txt"), QStringLiteral("RE"));
    TFormDokments* f = open();
    // No viewer loaded: the internal view says so.
    ASSERT_TRUE(f->TreeMenuSelect(QString::number(pdf)));
    m_answers.Expect(TFormDokments::NoViewerText(), Vcl::mrOk);
    f->acDocumentViewIntern->trigger();

    QStringList shown;
    TDokument::_ShowDokument.Set([&](QObject* owner, TDokument* d, bool pageAdmin) -> QObject* {
        shown << QStringLiteral("%1 %2 %3").arg(Vcl::ClassName(owner)).arg(d->Id()).arg(pageAdmin);
        return nullptr;
    });
    f->acDocumentViewIntern->trigger();
    TFormDokments::OpenDokument(f, f->Dokument1(), false);
    EXPECT_EQ(shown, (QStringList{QStringLiteral("TFormDokments %1 0").arg(pdf),
                                  QStringLiteral("TFormDokments %1 1").arg(pdf)}));

    // A text goes to the desktop as a read-only copy; a second open replaces that copy.
    for (int i = 0; i < 2; ++i)
        TFormDokments::OpenDokument(f, txt, true);
    ASSERT_EQ(m_answers.OpenedUrls().size(), 2);
    const QFileInfo copy(m_answers.OpenedUrls().last().toLocalFile());
    EXPECT_EQ(copy.fileName(), QStringLiteral("notiz.txt"));
    EXPECT_FALSE(copy.permissions() & (QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther));
    QFile c(copy.filePath());
    ASSERT_TRUE(c.open(QIODevice::ReadOnly));
    EXPECT_EQ(c.readAll(), QByteArray("Notiz"));

    m_answers.Expect(QStringLiteral("Bearbeiten ist hier nicht implementiert"), Vcl::mrOk);
    EXPECT_THROW(TFormDokments::OpenDokument(f, txt, false), EAbort);
    m_answers.Expect(QStringLiteral("Kein Dokument vorhanden."), Vcl::mrOk);
    EXPECT_THROW(TFormDokments::OpenDokument(f, 0, true), EAbort);
    m_answers.Expect(QStringLiteral("Dokument nicht gefunden."), Vcl::mrOk);
    EXPECT_THROW(TFormDokments::OpenDokument(f, 999999, true), EAbort);
}

TEST_F(DokumentsFormTest, TheUnitFillsItsSlotsAndEmptiesThem) {
    Rtl::Package& hadrel = Rtl::Package::Get(QStringLiteral("hadrel"));
    hadrel.Initialize();
    EXPECT_TRUE(TDokument::_OpenDokument.Assigned());
    EXPECT_TRUE(TDokument::_OpenDokumentC.Assigned());
    EXPECT_TRUE(RtlDialog::FDokumentsForm.Assigned());
    ASSERT_TRUE(UModulFormSeams::FormDokments.Assigned());
    m_answers.Expect(QStringLiteral("Kein Dokument vorhanden, neues Dokument anlegen?"),
                     Vcl::mrNo);
    QObject* shown = RtlDialog::FDokumentsForm(nullptr, QStringLiteral("adressen"),
                                               QStringLiteral("5"), nullptr);
    auto* window = qobject_cast<TFormDokments*>(shown);
    ASSERT_TRUE(window);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->GetNodeId(), QStringLiteral("root"));
    delete window;
    hadrel.Finalize();
    EXPECT_FALSE(TDokument::_OpenDokument.Assigned());
    EXPECT_FALSE(TDokument::_OpenDokumentC.Assigned());
    EXPECT_FALSE(RtlDialog::FDokumentsForm.Assigned());
    EXPECT_FALSE(UModulFormSeams::FormDokments.Assigned());
}

TEST_F(DokumentsFormTest, AFolderChangedElsewhereMovesTheNodeOnActivation) {
    const int id = addFile("x", QStringLiteral("vertrag.pdf"), QStringLiteral("RE"),
                           QStringLiteral("belege"));
    TFormDokments* f = open();
    ASSERT_TRUE(f->TreeMenuSelect(QString::number(id)));
    TestDatabase::Exec(QStringLiteral("UPDATE picndoku SET pd_parentnodeident = 'VERTRAEGE' "
                                      "WHERE pd_id = %1")
                           .arg(id));
    f->FormActivate(f);
    EXPECT_EQ(parentOf(QString::number(id)), QStringLiteral("vertraege"));
    EXPECT_EQ(f->GetNodeId(), QString::number(id));
    EXPECT_EQ(f->FindNode(QStringLiteral("vertraege"))->Image, DokState::imgFolderFull);
}

TEST_F(DokumentsFormTest, ATypeChangeMovesTheStoredFileAndAFailedPostLeavesItWhereItWas) {
    const int id = addFile("Inhalt", QStringLiteral("beleg.pdf"), QStringLiteral("RE"),
                           QStringLiteral("belege"));
    const QString before = scalar(QStringLiteral("SELECT pd_dmsremotefile FROM picndoku"));
    ASSERT_TRUE(before.startsWith(QStringLiteral("RE/")));
    TFormDokments* f = open();
    ASSERT_TRUE(f->TreeMenuSelect(QString::number(id)));

    Rtl::FaultHook.Set([](const char* point) {
        if (qstrcmp(point, "TFormDokments.CheckNodeAndUpdate.post") == 0)
            throw std::runtime_error("fault");
    });
    EXPECT_THROW(f->TreeDocumentsDoktypePropertiesValidate(QStringLiteral("Lieferschein")),
                 std::runtime_error);
    Rtl::FaultHook.Reset();
    EXPECT_EQ(scalar(QStringLiteral("SELECT name FROM dms_file")), before);
    EXPECT_EQ(scalar(QStringLiteral("SELECT pd_dmsremotefile FROM picndoku")), before);
    EXPECT_EQ(f->Dokument1()->DMSRemoteFilename(), before);

    // Focused again, the type that still differs moves the file.
    f->CheckNodeAndUpdate();
    const QString after = scalar(QStringLiteral("SELECT pd_dmsremotefile FROM picndoku"));
    EXPECT_EQ(after, QStringLiteral("LS/") + before.section(u'/', -1));
    EXPECT_EQ(scalar(QStringLiteral("SELECT name FROM dms_file")), after);
    EXPECT_EQ(scalar(QStringLiteral("SELECT pd_dmsremotefiledoktype FROM picndoku")),
              QStringLiteral("LS"));
    QApplication::processEvents(); // the rebuild after the posts
    EXPECT_EQ(f->GetNodeId(), QString::number(id));
    EXPECT_EQ(f->FindNode(QString::number(id))->DokType, QStringLiteral("Lieferschein"));
    QBuffer b;
    b.open(QIODevice::WriteOnly);
    TDCFileMethods(&f->Dokument1()->Database()).ReadFile(after, b);
    EXPECT_EQ(b.data(), QByteArray("Inhalt"));
}

TEST_F(DokumentsFormTest, PostsRebuildOnceAndKeepTheFocusedNode) {
    const int id = addFile("x", QStringLiteral("a.pdf"), QStringLiteral("RE"),
                           QStringLiteral("belege"));
    TFormDokments* f = open();
    ASSERT_TRUE(f->TreeMenuSelect(QString::number(id)));
    int resets = 0;
    QObject::connect(f->TreeModel, &QAbstractItemModel::modelReset, [&] { ++resets; });
    for (const char* caption : {"Erste", "Zweite"}) {
        f->Dokument1()->Edit();
        f->Dokument1()->FieldByName(QStringLiteral("pd_descr")).SetValue(QString::fromUtf8(caption));
        f->Dokument1()->Post();
    }
    EXPECT_TRUE(f->RebuildPending());
    QApplication::processEvents();
    EXPECT_EQ(resets, 1);
    EXPECT_EQ(f->GetNodeId(), QString::number(id));
    EXPECT_EQ(f->GetNodeCaption(), QStringLiteral("Zweite"));
}

TEST_F(DokumentsFormTest, BadDataReachesTheUserByNameAndTheTreeStillBuilds) {
    const int id = addFile("x", QStringLiteral("scan.png"), QStringLiteral("RE"));
    TestDatabase::Exec(QStringLiteral("SELECT lo_unlink(oid) FROM dms_file"));
    TFormDokments* f = open();
    ASSERT_TRUE(f->TreeMenuSelect(QString::number(id)));
    QApplication::processEvents();
    f->VoskDocumentViewer1->SetViewerEnabled(true); // active, as offscreen it may not be
    EXPECT_EQ(f->VoskDocumentViewer1->PreviewKind(), QStringLiteral("error"));
    EXPECT_TRUE(f->VoskDocumentViewer1->PreviewText().startsWith(
        QStringLiteral("Datei im Dokumentenspeicher fehlt: RE/scan_")));

    TestDatabase::Exec(QStringLiteral(
        "UPDATE standardsql SET ss_key = 'DMS.DokuTree.weg' WHERE ss_key = 'DMS.DokuTree'"));
    s_dm->Database().ClearSqlCache();
    m_answers.Expect(QStringLiteral("Die benannte SQL \"DMS.DokuTree\" ist nicht vorhanden"),
                     Vcl::mrOk);
    f->TreeMenuCreate(false);
    TestDatabase::Exec(QStringLiteral(
        "UPDATE standardsql SET ss_key = 'DMS.DokuTree' WHERE ss_key = 'DMS.DokuTree.weg'"));
    s_dm->Database().ClearSqlCache();
    EXPECT_FALSE(f->IsLoading);

    // The server refuses the folders, read along with the rest: the user is told, the tree
    // stays as it was, and the next rebuild reads everything again.
    const QString folders =
        scalar(QStringLiteral("SELECT ss_sql FROM standardsql WHERE ss_key = 'DMS.DokuTree'"));
    TestDatabase::Exec(QStringLiteral(
        "UPDATE standardsql SET ss_sql = $q$SELECT gibts_nicht FROM dokutreenodes WHERE "
        "CAST(:tablename AS text) <> CAST(:nodeid AS text)$q$ WHERE ss_key = 'DMS.DokuTree'"));
    s_dm->Database().ClearSqlCache();
    m_answers.Expect(QStringLiteral("gibts_nicht"), Vcl::mrOk);
    f->TreeMenuCreate(false);
    EXPECT_FALSE(f->IsLoading);
    EXPECT_FALSE(f->DokumentLoadTree->Browsing());
    EXPECT_NE(f->FindNode(QString::number(id)), nullptr);
    TestDatabase::Exec(QStringLiteral("UPDATE standardsql SET ss_sql = $q$%1$q$ WHERE ss_key = "
                                      "'DMS.DokuTree'")
                           .arg(folders));
    s_dm->Database().ClearSqlCache();
    f->TreeMenuCreate(false);
    EXPECT_EQ(f->pcDokTree->tabText(0), QStringLiteral("&1 Dokumentstruktur (1)"));
    EXPECT_EQ(f->DokTypeDescriptions(),
              QStringList({QStringLiteral("Lieferschein"), QStringLiteral("Rechnung")}));
}

TEST_F(DokumentsFormTest, ThePreviewShowsPicturesPdfPagesAndOtherFilesByName) {
    QImage picture(40, 30, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    QBuffer png;
    png.open(QIODevice::WriteOnly);
    picture.save(&png, "PNG");
    QFile pdfFile(QStringLiteral(KORVEX_SOURCE_DIR "/tests/hadrel/dms/data/seite.pdf"));
    ASSERT_TRUE(pdfFile.open(QIODevice::ReadOnly));
    const int image = addFile(png.data(), QStringLiteral("bild.png"), QStringLiteral("RE"));
    const int pdf = addFile(pdfFile.readAll(), QStringLiteral("seite.pdf"), QStringLiteral("RE"));
    const int other = addFile("PK", QStringLiteral("tabelle.ods"), QStringLiteral("RE"));
    TFormDokments* f = open();
    // The preview follows the focus once the events are handled. Offscreen, the window may lose
    // the activation meanwhile (the viewer then only remembers): it is active again for the look.
    const auto shown = [f] {
        QApplication::processEvents();
        f->VoskDocumentViewer1->SetViewerEnabled(true);
        return f->VoskDocumentViewer1->PreviewKind();
    };
    const std::pair<int, const char*> expected[] = {
        {image, "image"}, {pdf, "pdf"}, {other, "file"}};
    for (const auto& [id, kind] : expected) {
        ASSERT_TRUE(f->TreeMenuSelect(QString::number(id)));
        EXPECT_EQ(shown(), QLatin1String(kind)) << id;
        EXPECT_EQ(f->VoskDocumentViewer1->DocumentId(), id);
    }
    // While the window is not active the preview waits, and shows what was chosen meanwhile.
    f->VoskDocumentViewer1->SetViewerEnabled(false);
    f->VoskDocumentViewer1->LoadDocument(image);
    EXPECT_EQ(f->VoskDocumentViewer1->PreviewKind(), QStringLiteral("file"));
    f->VoskDocumentViewer1->SetViewerEnabled(true);
    EXPECT_EQ(f->VoskDocumentViewer1->PreviewKind(), QStringLiteral("image"));
    // A run of focus changes previews only where it ends.
    ASSERT_TRUE(f->TreeMenuSelect(QString::number(pdf)));
    ASSERT_TRUE(f->TreeMenuSelect(QStringLiteral("belege")));
    EXPECT_EQ(f->VoskDocumentViewer1->PreviewKind(), QStringLiteral("image"));
    EXPECT_EQ(shown(), QString());
}

TEST_F(DokumentsFormTest, ATypeChosenInTheTreeIsStoredAfterItsEditorClosed) {
    const int id = addFile("x", QStringLiteral("beleg.pdf"), QStringLiteral("RE"),
                           QStringLiteral("belege"));
    TFormDokments* f = open();
    ASSERT_TRUE(f->TreeMenuSelect(QString::number(id)));
    const QModelIndex cell =
        f->TreeModel->IndexOf(f->FindNode(QString::number(id)), TDokuTreeModel::colDokType);
    f->TreeDocuments->setCurrentIndex(cell);
    f->TreeDocuments->edit(cell);
    auto* combo = f->TreeDocuments->findChild<QComboBox*>(QStringLiteral("TreeDocumentsDoktypeEditor"));
    ASSERT_TRUE(combo);
    EXPECT_EQ(combo->count(), 3); // no type, and the table's two
    EXPECT_EQ(combo->currentText(), QStringLiteral("Rechnung"));
    combo->setCurrentIndex(combo->findText(QStringLiteral("Lieferschein")));
    // Tab leaves the editor, and the view moves on to the next cell.
    QTest::keyClick(combo, Qt::Key_Tab);
    // Nothing is posted while the editor is open; once it is closed, the type is stored, the
    // file moved and the tree rebuilt around the same document.
    EXPECT_EQ(scalar(QStringLiteral("SELECT pd_doktype FROM picndoku")), QStringLiteral("RE"));
    QApplication::processEvents();
    QApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(f->TreeDocuments->findChild<QComboBox*>(QStringLiteral("TreeDocumentsDoktypeEditor")));
    EXPECT_EQ(scalar(QStringLiteral("SELECT pd_doktype || ' ' || split_part(pd_dmsremotefile, "
                                    "'/', 1) FROM picndoku")),
              QStringLiteral("LS LS"));
    EXPECT_EQ(f->GetNodeId(), QString::number(id));
    EXPECT_EQ(f->FindNode(QString::number(id))->DokType, QStringLiteral("Lieferschein"));
}

TEST_F(DokumentsFormTest, KeysOpenAndCloseFoldersAndADoubleClickOpensTheDocument) {
    const int id = addFile("x", QStringLiteral("notiz.txt"), QStringLiteral("RE"),
                           QStringLiteral("belege"));
    TFormDokments* f = open();
    ASSERT_TRUE(f->TreeMenuSelect(QStringLiteral("root")));
    QTreeView* tree = f->TreeDocuments;
    tree->setFocus();
    const QModelIndex root = tree->currentIndex().siblingAtColumn(0);
    ASSERT_TRUE(tree->isExpanded(root));
    QTest::keyClick(tree, Qt::Key_Left);
    EXPECT_FALSE(tree->isExpanded(root));
    QTest::keyClick(tree, Qt::Key_Right);
    EXPECT_TRUE(tree->isExpanded(root));
    ASSERT_TRUE(f->TreeMenuSelect(QString::number(id)));
    const QRect cell = tree->visualRect(tree->currentIndex());
    int clicks = 0;
    QObject::connect(tree, &QAbstractItemView::doubleClicked, [&] { ++clicks; });
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {}, cell.center());
    EXPECT_EQ(clicks, 1);
    // A text is no picture: the double click hands a copy to the desktop.
    ASSERT_EQ(m_answers.OpenedUrls().size(), 1);
    EXPECT_TRUE(m_answers.OpenedUrls().first().toLocalFile().endsWith(QStringLiteral("notiz.txt")));
}

TEST_F(DokumentsFormTest, TheStatusColumnDrawsItsIconsAndARedBarWhenTheyOverflow) {
    const int id = addFile("x", QStringLiteral("a.pdf"), QStringLiteral("RE"));
    TestDatabase::Exec(QStringLiteral(
        "UPDATE picndoku SET pd_print = true, pd_listoutput = true, pd_report = 'Kopie', "
        "pd_autoexport = '/tmp/export' WHERE pd_id = %1;"
        "UPDATE picndoku_revision r SET pdr_lock_user = 'bert' FROM picndoku d "
        "WHERE d.pd_revision_id = r.pdr_revision_id")
                           .arg(id));
    TFormDokments* f = open();
    const QModelIndex cell =
        f->TreeModel->IndexOf(f->FindNode(QString::number(id)), TDokuTreeModel::colStates);
    const auto redAtRightEdge = [&](int width) {
        f->TreeDocuments->setColumnWidth(TDokuTreeModel::colStates, width);
        f->TreeDocuments->scrollTo(cell);
        const QRect r = f->TreeDocuments->visualRect(cell);
        const QImage shot = f->TreeDocuments->viewport()->grab().toImage();
        return shot.pixelColor(r.right() - 1, r.center().y()) == QColor(255, 0, 0);
    };
    // Five icons (list output, lock, standard, report, export) need 75 pixels.
    EXPECT_EQ(DokState::StateIcons(f->FindNode(QString::number(id))->States).size(), 5);
    EXPECT_TRUE(redAtRightEdge(60));
    EXPECT_FALSE(redAtRightEdge(140));
}

// How many pixels of the caption cell's icon stand out from the row's own background (a
// luminance contrast of at least 1.5 : 1): what a user sees of the icon.
int visibleIconPixels(QTreeView* tree, const QModelIndex& caption) {
    tree->scrollTo(caption);
    const QRect cell = tree->visualRect(caption);
    const QImage shot = tree->viewport()->grab().toImage();
    const qreal dpr = shot.devicePixelRatio();
    const auto luminance = [](QColor c) {
        const auto lin = [](qreal v) {
            return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * lin(c.redF()) + 0.7152 * lin(c.greenF()) + 0.0722 * lin(c.blueF());
    };
    // The background right of the (empty) caption.
    const qreal back = luminance(shot.pixelColor(int((cell.right() - 2) * dpr),
                                                 int(cell.center().y() * dpr)));
    const int size = tree->style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, tree);
    int visible = 0;
    for (int y = cell.top(); y <= cell.bottom(); ++y)
        for (int x = cell.left(); x < cell.left() + size + 8; ++x) {
            const qreal l = luminance(shot.pixelColor(int(x * dpr), int(y * dpr)));
            if ((std::max(l, back) + 0.05) / (std::min(l, back) + 0.05) >= 1.5)
                ++visible;
        }
    return visible;
}

TEST_F(DokumentsFormTest, EveryNodeImageShowsOnASelectedRowAsOnAnOtherOne) {
    const int id = addFile("x", QStringLiteral("a.txt"), QStringLiteral("RE"));
    TFormDokments* f = open();
    QTreeView* tree = f->TreeDocuments;
    tree->activateWindow();
    tree->setFocus();
    TDokuTreeNode* node = f->FindNode(QString::number(id));
    node->Caption.clear();
    const QModelIndex caption = f->TreeModel->IndexOf(node, TDokuTreeModel::colCaption);
    for (int image : {DokState::imgRoot, DokState::imgFolderFull, DokState::imgFolderEmpty,
                      DokState::imgCustomFolder, DokState::imgImporting, DokState::imgHidden,
                      DokState::imgDms, DokState::imgStandard, DokState::imgOther}) {
        node->Image = image;
        f->TreeModel->NodeChanged(node);
        ASSERT_TRUE(f->TreeMenuSelect(QStringLiteral("root")));
        const int plain = visibleIconPixels(tree, caption);
        ASSERT_TRUE(f->TreeMenuSelect(QString::number(id)));
        ASSERT_TRUE(tree->selectionModel()->isSelected(caption));
        const int selected = visibleIconPixels(tree, caption);
        EXPECT_GT(plain, 10) << "image " << image;
        EXPECT_GE(selected * 2, plain) << "image " << image << ": " << selected << " of " << plain;
    }
}

TEST_F(DokumentsFormTest, ANewRevisionElsewhereIsFollowedToItsNewId) {
    const int first = addFile("Version 1", QStringLiteral("plan.pdf"), QStringLiteral("RE"),
                              QStringLiteral("belege"));
    TFormDokments* f = open();
    ASSERT_TRUE(f->TreeMenuSelect(QString::number(first)));
    f->RibbonDokumentMain->SetActiveTab(f->RibbonTabOptions);
    // A viewer stores a new revision through the window's document: the row gets a new id.
    QBuffer b;
    b.setData("Version 2");
    b.open(QIODevice::ReadOnly);
    const int second = f->Dokument1()->CreateNewRevision(b, 0, QStringLiteral("image"));
    f->SperrDokuAction(f, nullptr, UModulFormSeams::atNodeChange);
    EXPECT_EQ(f->GetNodeId(), QString::number(second));
    EXPECT_FALSE(f->FindNode(QString::number(first))); // the old one is hidden now
    EXPECT_EQ(f->RibbonDokumentMain->ActiveTab(), f->RibbonTabOptions);
    EXPECT_TRUE(f->lbDokuStates->text().contains(QStringLiteral("Revisionen vorhanden")));
}

TEST(PrintersTest, AFileGoesToTheNamedPrinterAndARefusalSaysWhy) {
    QTemporaryDir bin;
    const QString log = bin.filePath(QStringLiteral("args"));
    QFile script(bin.filePath(QStringLiteral("lp")));
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write(QStringLiteral("#!/bin/sh\nprintf '%s\\n' \"$@\" > '%1'\n"
                                "[ \"$2\" = Defekt ] && { echo 'lp: Drucker ist angehalten' >&2; "
                                "exit 1; }\nexit 0\n")
                     .arg(log)
                     .toUtf8());
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(bin.path()) + ':' + path);
    const QString file = bin.filePath(QStringLiteral("-rechnung.pdf"));
    QFile(file).open(QIODevice::WriteOnly);
    Corvale::Printers& printers = Corvale::Printers::Instance();
    printers.PrintFile(file, QStringLiteral("Büro"));
    QFile args(log);
    ASSERT_TRUE(args.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(args.readAll()),
              QStringLiteral("-d\nBüro\n--\n") + file + u'\n');
    try {
        printers.PrintFile(file, QStringLiteral("Defekt"));
        ADD_FAILURE() << "no refusal";
    } catch (const EVoskException& e) {
        EXPECT_EQ(e.Message(),
                  QStringLiteral("Drucken auf \"Defekt\" nicht möglich: lp: Drucker ist angehalten"));
    }
    EXPECT_THROW(printers.PrintFile(bin.filePath(QStringLiteral("fehlt.pdf")), {}), EVoskException);
    qputenv("PATH", path);
}

TEST_F(DokumentsFormTest, ADocumentDeletedElsewhereIsSaidOnceAndLeavesTheTree) {
    const int keep =
        addFile("a", QStringLiteral("bleibt.pdf"), QStringLiteral("RE"), QStringLiteral("belege"));
    const int gone =
        addFile("b", QStringLiteral("weg.pdf"), QStringLiteral("RE"), QStringLiteral("belege"));
    TFormDokments* f = open();
    ASSERT_TRUE(f->TreeMenuSelect(QString::number(gone)));
    TestDatabase::Exec(QStringLiteral("DELETE FROM picndoku WHERE pd_id = %1").arg(gone));
    m_answers.Expect(QStringLiteral("Dokument nicht gefunden."), Vcl::mrOk);
    Rtl::Guarded([f] { f->FormActivate(f); }, f);
    EXPECT_EQ(m_answers.Pending(), 0);
    QApplication::processEvents();
    EXPECT_EQ(f->FindNode(QString::number(gone)), nullptr);
    EXPECT_NE(f->FindNode(QString::number(keep)), nullptr);
    const size_t said = m_answers.Questions().size();
    Rtl::Guarded([f] { f->FormActivate(f); }, f);
    EXPECT_EQ(m_answers.Questions().size(), said);
}

TEST_F(DokumentsFormTest, StoredTextsShowAsTheyAreWritten) {
    const int id =
        addFile("a", QStringLiteral("fett.txt"), QStringLiteral("RE"), QStringLiteral("belege"));
    TestDatabase::Exec(
        QStringLiteral("UPDATE picndoku SET pd_descr = '<b>FETT</b>' WHERE pd_id = %1;"
                       "UPDATE picndoku_revision SET pdr_lock_user = '<i>anna</i>'")
            .arg(id));
    TFormDokments* f = open();
    ASSERT_TRUE(f->TreeMenuSelect(QString::number(id)));
    EXPECT_TRUE(f->lbDokuStates->text().contains(QStringLiteral("Gesperrt")));
    EXPECT_EQ(f->lbDokuStates->textFormat(), Qt::PlainText);
    f->DocumentCheck_Add(*f->Dokument1());
    ASSERT_EQ(f->DocumentCheckRows().size(), 1);
    auto* label =
        f->DocumentCheckRows().first()->findChild<QLabel*>(QStringLiteral("lbDocumentCheckName"));
    EXPECT_EQ(label->text(), QStringLiteral("<b>FETT</b>"));
    EXPECT_EQ(label->textFormat(), Qt::PlainText);
}

} // namespace

#include "DokumentsFormTest.moc"

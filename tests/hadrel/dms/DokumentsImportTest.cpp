// Files entering the document window on a real database, offscreen: the file dialog, the import
// modes, drops of files and mails, link import, revisions, rename and delete, folders, report
// links and nodes dragged within and between windows.

#include "FrameworkFixture.h"

#include <FaultPoint.h>
#include <Korvexcommonvcl.h>
#include <Korvexutils.Dialogs.h>
#include <TVoskDBGrid2.h>
#include <TVoskDBNavigator.h>
#include <TVoskClass.h>
#include <UConstants.h>
#include <UDM1.h>
#include <UHostModules.h>
#include <UImpDoku.h>
#include <UModulForm.h>
#include <TopLabel.h>
#include <Ukorvexclasses.Dokument.h>
#include <Dataclient_files.h>

#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QDrag>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMouseEvent>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QMenu>
#include <QMimeData>
#include <QProcess>
#include <QScopeGuard>
#include <QScrollBar>
#include <QStyle>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>
#include <QToolTip>
#include <QScrollBar>
#include <QTreeView>
#include <QUrl>

#include <functional>

#include <fcntl.h>
#include <unistd.h>

using testsupport::TestDatabase;

namespace {

QString scalar(const QString& sql) { return TestDatabase::Scalar(sql); }

// Stands for the user in the lookups: chooses the row whose first column is the next queued
// value, or cancels for an empty one.
class ChooseRows final : public Korvexcommonvcl::ModalForms {
public:
    ChooseRows() { m_old = SetInstance(this); }
    ~ChooseRows() override { SetInstance(m_old); }
    int Run(Vcl::TForm* form) override {
        auto* list = qobject_cast<TFormF2List*>(form);
        if (!list)
            return Vcl::mrCancel;
        lookups << list->FeldName;
        // What the user sees of it: its caption and the headers over its columns.
        QStringList headers;
        if (!list->ListResult->Header()->isHidden())
            for (int c = 0; c < list->ListResult->Header()->count(); ++c)
                headers << list->ListResult->Header()->model()->headerData(c, Qt::Horizontal)
                               .toString();
        looks << list->windowTitle() + QStringLiteral(": ") + headers.join(u'|');
        if (whileChoosing)
            whileChoosing();
        const QString want = queue.isEmpty() ? QString() : queue.takeFirst();
        for (int i = 0; i < list->ListResult->count(); ++i)
            if (!want.isEmpty() && list->ListResult->item(i)->data(Qt::UserRole).toString() == want) {
                list->ListResult->clearSelection();
                list->ListResult->item(i)->setSelected(true);
                list->ListResult->setCurrentRow(i, QItemSelectionModel::Select);
                list->BtOkClick();
                return Vcl::mrOk;
            }
        return Vcl::mrCancel;
    }
    QStringList queue, lookups, looks;
    std::function<void()> whileChoosing; // what happens elsewhere while the list is open

private:
    ModalForms* m_old;
};

QByteArray sha256Hex(const QByteArray& bytes) {
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
}

class DokumentsImportTest : public FrameworkTest {
public:
    static void SetUpTestSuite() {
        FrameworkTest::SetUpTestSuite();
        UHostModules::Register();
    }

protected:
    void SetUp() override {
        FrameworkTest::SetUp();
        TestDatabase::Exec(QStringLiteral(
            "DELETE FROM report_dokument_link; DELETE FROM report_afterdokument;"
            "DELETE FROM picndoku_record_lock; DELETE FROM picndokulink; DELETE FROM picndoku;"
            "DELETE FROM picndoku_revision; DELETE FROM dms_file;"
            "DELETE FROM recnokeyword WHERE r_tablename = 'picndoku';"
            "DELETE FROM dokutypes_rights; DELETE FROM dokutreenodes; DELETE FROM dokutrees;"
            "DELETE FROM dokutypes; DELETE FROM settings WHERE s_name LIKE 'DMS%';"
            "DELETE FROM lastval WHERE lv_key LIKE 'Dokumente%';"
            "INSERT INTO dokutrees (dtl_id, dtl_description, dtl_tablename) "
            "VALUES (1, 'Adressablage', 'adressen');"
            "INSERT INTO dokutreenodes (dtn_id, dtn_dtl_id, dtn_parentid, dtn_nodeid, dtn_caption, "
            "dtn_image, dtn_position) VALUES (1, 1, NULL, 'root', 'Adresse', 1, 0), "
            "(2, 1, 1, 'belege', 'Belege', 151, 1), (3, 1, 1, 'vertraege', 'Verträge', 151, 2);"
            "INSERT INTO dokutypes (dt_id, dt_descr, dt_parentnodeid, dt_parentnodeid_default, "
            "dt_linkto) VALUES ('RE', 'Rechnung', 'belege', true, 'adressen'), "
            "('LS', 'Lieferschein', 'belege', false, 'adressen'), "
            "('VT', 'Vertrag', 'vertraege', true, 'adressen')"));
        DMSDokuTypes().Refresh();
        s_dm->SetLoginName(QStringLiteral("postgres"));
        s_dm->SetIsAdmin(false);
        CurrentSession_UConstants().SetBasePath(m_base.path());
        // A temporary folder apart from the test's files: in a build folder inside the system's
        // one, every file dropped would count as a mail program's attachment.
        m_oldTmpDir = qgetenv("TMPDIR");
        qputenv("TMPDIR", QFile::encodeName(m_temp.path()));
    }
    void TearDown() override {
        if (m_oldTmpDir.isNull())
            qunsetenv("TMPDIR");
        else
            qputenv("TMPDIR", m_oldTmpDir);
        Rtl::FaultHook.Reset();
        Korvexutils::RaiseInputQuestion.Reset();
        TFormDokments::ExecuteNodeDragProc.Reset();
        delete m_form.data();
        delete m_other.data();
        QApplication::processEvents();
        CurrentSession_UConstants().SetBasePath(QString());
    }
    static void Config(const QString& type, const QString& config) {
        TestDatabase::Exec(QStringLiteral("UPDATE dokutypes SET dt_config = '%1' WHERE dt_id = '%2'")
                               .arg(config, type));
        DMSDokuTypes().Refresh();
    }
    // A file outside every temporary folder.
    QString File(const QString& name, const QByteArray& bytes = "Inhalt") {
        const QString path = m_files.filePath(name);
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return path;
    }
    int Store(const QString& caption, const QString& type, const QString& folder = {},
              const QString& recId = QStringLiteral("5")) {
        TDokument d;
        d.InsertData() = {true, caption, type, QString(), folder, QStringLiteral("file")};
        QBuffer b;
        b.setData("%PDF-1.4 " + caption.toUtf8());
        b.open(QIODevice::ReadOnly);
        return d.DMSAddFileAsBLOB(b, caption + QStringLiteral(".pdf"), QStringLiteral("adressen"),
                                  recId);
    }
    TFormDokments* Open(const QString& focus = {}, const QString& recId = QStringLiteral("5")) {
        auto* f = TFormKorvexGundForm::Create<TFormDokments>(nullptr, QStringList(),
                                                             QStringLiteral("adressen"), recId,
                                                             nullptr);
        f->resize(900, 600);
        f->Show();
        f->TreeMenuCreate(false);
        if (!focus.isEmpty()) {
            EXPECT_TRUE(f->TreeMenuSelect(focus));
        }
        (m_form ? m_other : m_form) = f;
        return f;
    }
    QString ParentOf(TFormDokments* f, const QString& id) {
        TDokuTreeNode* n = f->FindNode(id);
        return n && n->Parent ? n->Parent->Id : QString();
    }
    int Count() { return scalar(QStringLiteral("SELECT count(*) FROM picndoku")).toInt(); }
    void AnswerInput(const QString& answer) {
        Korvexutils::RaiseInputQuestion.Set([answer](const QString&, const QString&, QVariant& v,
                                                     QString&, int, bool, QWidget*, const QString&,
                                                     const QString&) {
            v = answer;
            return true;
        });
    }

    QTemporaryDir m_base;
    QTemporaryDir m_files{QDir::currentPath() + QStringLiteral("/dmsimport-XXXXXX")};
    QTemporaryDir m_temp{QDir::currentPath() + QStringLiteral("/dmstemp-XXXXXX")};
    QByteArray m_oldTmpDir;
    ChooseRows m_rows;
    QPointer<TFormDokments> m_form, m_other;
};

TEST_F(DokumentsImportTest, TheFileDialogImportsInNaturalOrderIntoTheFocusedFolder) {
    Config(QStringLiteral("RE"), QStringLiteral("ImportMode=COPY\nDefaultPath=%HOME%/Belege"));
    const QStringList files{File(QStringLiteral("b10.pdf"), "b10"), File(QStringLiteral("b2.pdf"), "b2"),
                            File(QStringLiteral("a.tif"), "a"), File(QStringLiteral("c.docx"), "c")};
    TFormDokments* f = Open(QStringLiteral("belege"));
    // With a folder focused there is no current document whose type would say how: one
    // question for the whole batch.
    m_answers.ExpectFile(QString(), files);
    m_answers.Expect(QStringLiteral("Dokument ins DMS importieren"), Vcl::TModalResult(-2));
    m_rows.queue = {QStringLiteral("RE"), QStringLiteral("RE"), QStringLiteral("RE"),
                    QStringLiteral("LS")};
    f->acDocFromFileAction()->trigger();
    ASSERT_EQ(m_answers.FileDialogsShown().size(), 1u);
    EXPECT_EQ(m_answers.FileDialogsShown()[0].request.folder, QDir::homePath() + "/Belege");
    EXPECT_EQ(m_rows.lookups, QStringList(4, QStringLiteral("miDokuType")));
    EXPECT_EQ(m_rows.looks.value(0), QStringLiteral("Dokumenttypen: Typ|Bezeichnung|Ordner"));
    EXPECT_EQ(scalar(QStringLiteral("SELECT string_agg(pd_origfilename || ':' || pd_doktype || ':' "
                                    "|| coalesce(pd_parentnodeident, '-'), ',' ORDER BY pd_id) "
                                    "FROM picndoku")),
              QStringLiteral("b2.pdf:RE:-,b10.pdf:RE:-,a.tif:RE:-,c.docx:LS:-"));
    // Copies: the bytes are in the store under their hash, the files stay where they were.
    EXPECT_EQ(scalar(QStringLiteral("SELECT f.sha256 FROM picndoku d JOIN dms_file f ON f.name = "
                                    "d.pd_dmsremotefile WHERE d.pd_origfilename = 'b10.pdf'")),
              QString::fromLatin1(sha256Hex("b10")));
    EXPECT_EQ(scalar(QStringLiteral("SELECT encode(lo_get(f.oid), 'escape') FROM picndoku d JOIN "
                                    "dms_file f ON f.name = d.pd_dmsremotefile WHERE "
                                    "d.pd_origfilename = 'c.docx'")),
              QStringLiteral("c"));
    for (const QString& file : files)
        EXPECT_TRUE(QFileInfo::exists(file));
    // All four hang in the folder; the last one is focused and counted.
    const QString last = scalar(QStringLiteral("SELECT max(pd_id) FROM picndoku"));
    EXPECT_EQ(f->GetNodeId(f->FocusedNode()), last);
    for (const QString& id : scalar(QStringLiteral("SELECT string_agg(pd_id::text, ',') FROM "
                                                   "picndoku")).split(u','))
        EXPECT_EQ(ParentOf(f, id), QStringLiteral("belege")) << id.toStdString();
    EXPECT_EQ(f->FAnzahl, 4);
    // Cancelling the dialog imports nothing.
    m_answers.ExpectFile(QString(), {});
    f->acDocFromFileAction()->trigger();
    EXPECT_EQ(Count(), 4);
}

TEST_F(DokumentsImportTest, TheShownFileBecomesTheDocumentInItsTypesFolderAndIsCountedOnce) {
    TFormDokments* f = Open(QStringLiteral("belege"));
    EXPECT_FALSE(f->acDocEditDeleteDoc->isEnabled());
    const int rowsBefore = f->TreeModel->rowCount(f->TreeModel->IndexOf(f->FindNode(QStringLiteral("belege")), 0));
    // Shown under the focused folder, chosen as a contract: it goes to the contracts' folder.
    m_rows.queue = {QStringLiteral("VT")};
    const int id = f->LoadDocument(fimCopy, File(QStringLiteral("vertrag.pdf")), false);
    EXPECT_EQ(f->FindNode(QStringLiteral("0")), nullptr);
    TDokuTreeNode* node = f->FocusedNode();
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node, f->FindNode(QString::number(id)));
    EXPECT_EQ(node->Kind, DokState::nkDocument);
    // The document's caption, no longer the file name the node showed meanwhile.
    EXPECT_EQ(node->Caption, QStringLiteral("vertrag"));
    EXPECT_EQ(node->DokType, QStringLiteral("Vertrag"));
    EXPECT_EQ(ParentOf(f, QString::number(id)), QStringLiteral("vertraege"));
    EXPECT_EQ(f->TreeModel->rowCount(f->TreeModel->IndexOf(f->FindNode(QStringLiteral("belege")), 0)),
              rowsBefore);
    // The focus handling ran for the document although the current row never changed hands.
    EXPECT_TRUE(f->acDocEditDeleteDoc->isEnabled());
    EXPECT_EQ(f->Dokument1()->Id(), id);
    // The tab counts the batch once the events ran.
    m_rows.queue = {QStringLiteral("RE")};
    f->LoadDocument(fimCopy, File(QStringLiteral("rechnung.pdf")), false);
    QApplication::processEvents();
    EXPECT_EQ(f->FAnzahl, 2);
    EXPECT_TRUE(f->pcDokTree->tabText(f->pcDokTree->indexOf(f->RegDokumentTree)).endsWith(u"(2)"));
}

TEST_F(DokumentsImportTest, TheAskDialogPreselectsByConfigurationAndClosingItStoresNothing) {
    const int doc = Store(QStringLiteral("Rechnung 1"), QStringLiteral("RE"), QStringLiteral("belege"));
    const QString file = File(QStringLiteral("neu.pdf"));
    TFormDokments* f = Open(QString::number(doc));
    Config(QStringLiteral("RE"), QStringLiteral("ImportMode=COPY_AskDEL"));
    m_answers.ExpectFile(QString(), {file});
    m_answers.Expect(QStringLiteral("Dokument ins DMS importieren"), Vcl::mrCancel);
    f->acDocFromFileAction()->trigger();
    ASSERT_EQ(m_answers.Questions().size(), 1u);
    const Vcl::TQuestion& q = m_answers.Questions()[0];
    ASSERT_EQ(q.commands.size(), 3);
    EXPECT_EQ(q.commands[2].caption, QStringLiteral("Datei verschieben"));
    EXPECT_EQ(q.defaultCommand, -3);
    EXPECT_EQ(Count(), 1);
    EXPECT_EQ(f->FAnzahl, 1);
    EXPECT_TRUE(QFileInfo::exists(file));

    Config(QStringLiteral("RE"), QStringLiteral("ImportMode=ask_user"));
    m_answers.ExpectFile(QString(), {file});
    m_answers.Expect(QStringLiteral("Dokument ins DMS importieren"), Vcl::TModalResult(-3));
    m_rows.queue = {QStringLiteral("RE")};
    f->acDocFromFileAction()->trigger();
    EXPECT_EQ(m_answers.Questions()[1].defaultCommand, -2);
    EXPECT_EQ(Count(), 2);
    EXPECT_FALSE(QFileInfo::exists(file)) << "moved: the original is gone";
}

TEST_F(DokumentsImportTest, EachModeStoresWhatItPromisesAndAFailedCommitKeepsTheSource) {
    TFormDokments* f = Open(QStringLiteral("belege"));
    const QByteArray bytes = "verlinkte Bytes";
    const QString linked = File(QStringLiteral("Ordner/Plan.pdf"), bytes);
    m_rows.queue = {QStringLiteral("RE")};
    const int linkId = f->LoadDocument(fimLink, linked, false);
    EXPECT_EQ(scalar(QStringLiteral("SELECT pd_islink::text || '|' || pd_path || '|' || pd_md5 || "
                                    "'|' || pd_dmshash || '|' || (pd_dmsremotefile IS NULL)::text "
                                    "FROM picndoku WHERE pd_id = %1").arg(linkId)),
              QStringLiteral("true|%1|%2|%3|true")
                  .arg(linked, QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex()),
                       QString::fromLatin1(sha256Hex(bytes))));
    EXPECT_TRUE(QFileInfo::exists(linked));
    EXPECT_EQ(f->GetNodeId(f->FocusedNode()), QString::number(linkId));

    // A move deletes the source only once the document is committed.
    const QString moved = File(QStringLiteral("weg.pdf"), "weg");
    Rtl::FaultHook.Set([](const char* point) {
        if (QLatin1String(point) == QLatin1String("TDokument.storeFile.commit"))
            throw EVoskException(QStringLiteral("Verbindung verloren"));
    });
    m_rows.queue = {QStringLiteral("RE")};
    EXPECT_THROW(f->LoadDocument(fimMove, moved, false), EVoskException);
    EXPECT_TRUE(QFileInfo::exists(moved));
    EXPECT_EQ(Count(), 1);
    Rtl::FaultHook.Reset();
    // The module form's header chooses the type: the focused folder stays, and as it is not the
    // type's own it is stored.
    TModulForm modul;
    QStringList asked;
    modul.TopLabel->OnDokumentSelectDoktype = [&asked, f](TVoskQuery2*, QString& type,
                                                          QString& descr, const QString& file) {
        // The file shows at once, focused, in the folder it goes into; the window activated
        // meanwhile (a lookup closing) leaves the not yet stored node alone.
        f->FormActivate(f);
        const TDokuTreeNode* shown = f->FocusedNode();
        asked << type + u':' + QFileInfo(file).fileName() + u':' +
                     (shown ? shown->Id + u'/' + shown->Caption + u'/' + shown->Parent->Id
                            : QString());
        type = QStringLiteral("RE");
        descr = QStringLiteral("Rechnung");
        return true;
    };
    f->SetOwnerModulForm(&modul);
    f->TreeMenuSelect(QStringLiteral("vertraege"));
    const int movedId = f->LoadDocument(fimMove, moved, false, QStringLiteral("../../x/Weg: neu.pdf"));
    EXPECT_EQ(asked, QStringList{QStringLiteral("VT:weg.pdf:0/weg.pdf/vertraege")});
    EXPECT_EQ(f->FindNode(QStringLiteral("0")), nullptr);
    EXPECT_EQ(f->GetNodeId(), QString::number(movedId));
    // A small file costs one round trip: the check travels with the bytes, nothing is read
    // again.
    const qint64 trips = s_dm->Database().RoundTrips();
    for (int i = 0; i < 3; ++i)
        f->LoadDocument(fimCopy, File(QStringLiteral("serie%1.pdf").arg(i)), false);
    EXPECT_LE(s_dm->Database().RoundTrips() - trips, 3);
    EXPECT_EQ(f->FAnzahl, 5);
    f->SetOwnerModulForm(nullptr);
    EXPECT_FALSE(QFileInfo::exists(moved));
    // Another folder than its type's own: the folder is stored; the name is a plain file name.
    EXPECT_EQ(scalar(QStringLiteral("SELECT pd_parentnodeident || '|' || pd_origfilename FROM "
                                    "picndoku WHERE pd_id = %1").arg(movedId)),
              QStringLiteral("vertraege|Weg_ neu.pdf"));
    EXPECT_EQ(ParentOf(f, QString::number(movedId)), QStringLiteral("vertraege"));
    // A missing file is named, and nothing is stored.
    m_answers.Expect(QStringLiteral("Datei existiert nicht."), Vcl::mrOk);
    EXPECT_THROW(f->LoadDocument(fimCopy, m_files.filePath(QStringLiteral("fehlt.pdf")), false),
                 EAbort);
    EXPECT_EQ(m_answers.Questions().back().text.contains(QStringLiteral("fehlt.pdf")), true);
    EXPECT_EQ(Count(), 5);
}

TEST_F(DokumentsImportTest, ALockedRecordAForbiddenTypeOrARefusedRightLeaveNothingBehind) {
    TFormDokments* f = Open(QStringLiteral("belege"));
    const QString file = File(QStringLiteral("r.pdf"));
    const int nodes = f->TreeModel->Tree().DocumentCount();
    TestDatabase::Exec(QStringLiteral("INSERT INTO picndoku_record_lock (drl_tablename, drl_dbrid, "
                                      "drl_user, drl_reason) VALUES ('adressen', 5, 'anna', "
                                      "'Abschluss')"));
    m_rows.queue = {QStringLiteral("RE")};
    m_answers.Expect(QStringLiteral("von anna gesperrt: Abschluss"), Vcl::mrOk);
    EXPECT_THROW(f->LoadDocument(fimMove, file, false), EAbort);
    TestDatabase::Exec(QStringLiteral("UPDATE picndoku_record_lock SET drl_doktype = 'LS'"));
    TestDatabase::Exec(QStringLiteral("INSERT INTO dokutypes_rights (dtr_dt_id, dtr_action, "
                                      "dtr_mitnr, dtr_allowed) VALUES ('RE', 2, 0, false)"));
    m_rows.queue = {QStringLiteral("RE")};
    m_answers.Expect(QStringLiteral("Keine Berechtigung"), Vcl::mrOk);
    EXPECT_THROW(f->LoadDocument(fimMove, file, false), EAbort);
    // The lock of one type leaves the others free.
    m_rows.queue = {QStringLiteral("VT")};
    EXPECT_GT(f->LoadDocument(fimCopy, file, false), 0);
    m_rows.queue = {QStringLiteral("LS")};
    m_answers.Expect(QStringLiteral("gesperrt"), Vcl::mrOk);
    EXPECT_THROW(f->LoadDocument(fimCopy, file, false), EAbort);
    // A type the store does not know refuses adding.
    {
        TModulForm modul;
        modul.TopLabel->OnDokumentSelectDoktype = [](TVoskQuery2*, QString& type, QString&,
                                                     const QString&) {
            type = QStringLiteral("XX");
            return true;
        };
        f->SetOwnerModulForm(&modul);
        m_answers.Expect(QStringLiteral("Keine Berechtigung für dieses Verzeichnis (XX)"),
                         Vcl::mrOk);
        EXPECT_THROW(f->LoadDocument(fimCopy, file, false), EAbort);
        f->SetOwnerModulForm(nullptr);
    }
    EXPECT_EQ(scalar(QStringLiteral("SELECT count(*) FROM dms_file")), QStringLiteral("1"));
    EXPECT_EQ(Count(), 1);
    EXPECT_EQ(f->TreeModel->Tree().DocumentCount() + 0, nodes + 0);
    EXPECT_TRUE(QFileInfo::exists(file));
    // The refused file's node is gone and the focus is back where the import started.
    QApplication::processEvents();
    EXPECT_EQ(f->FindNode(QStringLiteral("0")), nullptr);
    f->TreeMenuSelect(QStringLiteral("belege"));
    m_rows.queue = {QStringLiteral("LS")};
    m_answers.Expect(QStringLiteral("gesperrt"), Vcl::mrOk);
    EXPECT_THROW(f->LoadDocument(fimCopy, file, false), EAbort);
    EXPECT_EQ(f->FindNode(QStringLiteral("0")), nullptr);
    EXPECT_EQ(f->GetNodeId(), QStringLiteral("belege"));
}

TEST_F(DokumentsImportTest, AfterABatchTheViewShowsTheLastImportedDocument) {
    TFormDokments* f = Open(QStringLiteral("belege"));
    f->resize(400, 180);
    QApplication::processEvents();
    int last = 0;
    for (int i = 0; i < 30; ++i) {
        m_rows.queue = {QStringLiteral("RE")};
        last = f->LoadDocument(fimCopy, File(QStringLiteral("stapel%1.pdf").arg(i)), false);
    }
    QApplication::processEvents();
    QTreeView* view = f->TreeDocuments;
    const QModelIndex current = view->currentIndex();
    ASSERT_NE(f->TreeModel->NodeOf(current), nullptr);
    EXPECT_EQ(f->TreeModel->NodeOf(current)->Id, QString::number(last));
    EXPECT_TRUE(view->selectionModel()->isSelected(current));
    // Far down a list that does not fit: scrolled there.
    EXPECT_GT(view->verticalScrollBar()->value(), 0);
    const QRect row = view->visualRect(current);
    EXPECT_GE(row.top(), 0);
    EXPECT_LE(row.bottom(), view->viewport()->height()) << row.bottom();
}

TEST_F(DokumentsImportTest, AFolderThatComesToHoldANodeShowsItAndTheTabCountsTheBatch) {
    TestDatabase::Exec(QStringLiteral(
        "INSERT INTO dokutreenodes (dtn_id, dtn_dtl_id, dtn_parentid, dtn_nodeid, dtn_caption, "
        "dtn_image, dtn_position) VALUES (4, 1, 1, 'archiv', 'Archiv', 151, 3), "
        "(5, 1, 1, 'scans', 'Scans', 151, 4);"
        "INSERT INTO dokutypes (dt_id, dt_descr, dt_parentnodeid, dt_parentnodeid_default, "
        "dt_linkto) VALUES ('AR', 'Archiv', 'archiv', true, 'adressen'), "
        "('SC', 'Scan', 'scans', true, 'adressen')"));
    DMSDokuTypes().Refresh();
    Store(QStringLiteral("Rechnung 1"), QStringLiteral("RE"), QStringLiteral("belege"));
    TFormDokments* f = Open(QStringLiteral("vertraege"));
    QTreeView* tree = f->TreeDocuments;
    const auto tab = [f] { return f->pcDokTree->tabText(f->pcDokTree->indexOf(f->RegDokumentTree)); };
    // The picture a folder's row shows, as drawn.
    const auto picture = [&](const QString& id) {
        const QModelIndex caption =
            f->TreeModel->IndexOf(f->FindNode(id), TDokuTreeModel::colCaption);
        tree->scrollTo(caption);
        const QRect cell = tree->visualRect(caption);
        const QImage shot = tree->viewport()->grab().toImage();
        const qreal dpr = shot.devicePixelRatio();
        const int width = tree->style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, tree) + 3;
        return shot.copy(QRectF(cell.left() * dpr, cell.top() * dpr, width * dpr,
                                cell.height() * dpr).toRect());
    };
    const auto opens = [&](const QString& id) {
        const QModelIndex first = f->TreeModel->IndexOf(f->FindNode(id), 0);
        return f->TreeModel->hasChildren(first) && tree->isExpanded(first);
    };
    const QImage full = picture(QStringLiteral("belege"));
    EXPECT_NE(picture(QStringLiteral("vertraege")), full);
    EXPECT_TRUE(tab().endsWith(u"(1)"));

    // A folder of the record's own inside the empty folder.
    AnswerInput(QStringLiteral("Entwürfe"));
    f->acFolderNew->trigger();
    EXPECT_EQ(f->FocusedNode()->Kind, DokState::nkCustomFolder);
    EXPECT_EQ(picture(QStringLiteral("vertraege")), full);
    EXPECT_TRUE(opens(QStringLiteral("vertraege")));
    EXPECT_TRUE(tab().endsWith(u"(2)"));

    // A batch whose shown files a rebuild took away while their types were chosen.
    m_rows.whileChoosing = [f] { f->TreeMenuCreate(false); };
    m_rows.queue = {QStringLiteral("AR"), QStringLiteral("AR")};
    f->LoadDocument(fimCopy, File(QStringLiteral("alt1.pdf")), false);
    f->LoadDocument(fimCopy, File(QStringLiteral("alt2.pdf")), false);
    m_rows.whileChoosing = nullptr;
    EXPECT_EQ(f->TreeModel->rowCount(f->TreeModel->IndexOf(f->FindNode(QStringLiteral("archiv")), 0)),
              2);
    QApplication::processEvents();
    EXPECT_EQ(picture(QStringLiteral("archiv")), full);
    EXPECT_TRUE(opens(QStringLiteral("archiv")));
    EXPECT_TRUE(tab().endsWith(u"(4)")) << tab().toStdString();

    // The shown file becomes the document in its type's empty folder.
    m_rows.queue = {QStringLiteral("SC")};
    f->LoadDocument(fimCopy, File(QStringLiteral("scan.pdf")), false);
    QApplication::processEvents();
    EXPECT_EQ(picture(QStringLiteral("scans")), full);
    EXPECT_TRUE(tab().endsWith(u"(5)")) << tab().toStdString();
}

TEST_F(DokumentsImportTest, DropsAskOncePerBatchCopyTemporaryFilesAndRefuseFoldersAndUrls) {
    Config(QStringLiteral("RE"), QStringLiteral("ImportMode=ASK_USER"));
    const int doc = Store(QStringLiteral("Rechnung 1"), QStringLiteral("RE"), QStringLiteral("belege"));
    TFormDokments* f = Open(QString::number(doc));
    QMimeData three;
    three.setUrls({QUrl::fromLocalFile(File(QStringLiteral("1.pdf"))),
                   QUrl::fromLocalFile(File(QStringLiteral("2.pdf"))),
                   QUrl::fromLocalFile(File(QStringLiteral("3.pdf")))});
    m_answers.Expect(QStringLiteral("Dokument ins DMS importieren"), Vcl::TModalResult(-2));
    m_rows.queue = {QStringLiteral("RE"), QStringLiteral("RE"), QStringLiteral("RE")};
    f->DropMimeData(&three);
    EXPECT_EQ(Count(), 4);
    EXPECT_EQ(m_answers.Questions().size(), 1u);
    // The next drop is a new batch: it asks again.
    QMimeData one;
    one.setUrls({QUrl::fromLocalFile(File(QStringLiteral("4.pdf")))});
    m_answers.Expect(QStringLiteral("Dokument ins DMS importieren"), Vcl::TModalResult(-1));
    m_rows.queue = {QStringLiteral("RE")};
    f->TreeMenuSelect(QString::number(doc));
    f->DropMimeData(&one);
    EXPECT_EQ(scalar(QStringLiteral("SELECT count(*) FROM picndoku WHERE pd_islink")),
              QStringLiteral("1"));

    // A mail program's attachment in a temporary folder is copied, even for a linking type.
    Config(QStringLiteral("RE"), QStringLiteral("ImportMode=LINK"));
    QTemporaryDir tmp;
    QFile att(tmp.filePath(QStringLiteral("Anhang.pdf")));
    ASSERT_TRUE(att.open(QIODevice::WriteOnly));
    att.write("Anhang");
    att.close();
    QMimeData attachment;
    attachment.setUrls({QUrl::fromLocalFile(att.fileName())});
    m_rows.queue = {QStringLiteral("RE")};
    f->TreeMenuSelect(QString::number(doc));
    f->DropMimeData(&attachment);
    EXPECT_EQ(scalar(QStringLiteral("SELECT pd_islink::text || (pd_dmsremotefile IS NOT NULL)::text "
                                    "FROM picndoku WHERE pd_origfilename = 'Anhang.pdf'")),
              QStringLiteral("falsetrue"));

    // A mail dragged out of a mail program becomes an .eml document named after its subject.
    QMimeData mail;
    const QByteArray message = "From: a@example.org\r\nSubject: =?UTF-8?Q?Angebot_f=C3=BCr_M=C3=BCller?="
                               "\r\n\r\nHallo\r\n";
    mail.setData(QStringLiteral("message/rfc822"), message);
    m_rows.queue = {QStringLiteral("RE")};
    f->DropMimeData(&mail);
    EXPECT_EQ(scalar(QStringLiteral("SELECT f.sha256 FROM picndoku d JOIN dms_file f ON f.name = "
                                    "d.pd_dmsremotefile WHERE d.pd_origfilename = "
                                    "'Angebot für Müller.eml'")),
              QString::fromLatin1(sha256Hex(message)));

    // A file manager's drop reaches the tree as events: dropped on a folder, it goes there.
    QMimeData fromManager;
    fromManager.setUrls({QUrl::fromLocalFile(File(QStringLiteral("vom Dateimanager.pdf")))});
    QWidget* viewport = f->TreeDocuments->viewport();
    const QPoint at =
        f->TreeDocuments->visualRect(f->TreeModel->IndexOf(f->FindNode(QStringLiteral("vertraege"))))
            .center();
    QDragEnterEvent enter(at, Qt::CopyAction, &fromManager, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(at, Qt::CopyAction, &fromManager, Qt::LeftButton, Qt::NoModifier);
    m_rows.queue = {QStringLiteral("VT")};
    QApplication::sendEvent(viewport, &drop);
    EXPECT_EQ(scalar(QStringLiteral("SELECT pd_doktype FROM picndoku WHERE pd_origfilename = "
                                    "'vom Dateimanager.pdf'")),
              QStringLiteral("VT"));

    // Folders and remote addresses are refused before anything is stored.
    const int before = Count();
    QMimeData mixed;
    mixed.setUrls({QUrl::fromLocalFile(File(QStringLiteral("5.pdf"))),
                   QUrl::fromLocalFile(m_files.path())});
    m_answers.Expect(QStringLiteral("Nur lokale Dateien können übernommen werden."), Vcl::mrOk);
    EXPECT_THROW(f->DropMimeData(&mixed), EAbort);
    QMimeData web;
    web.setUrls({QUrl(QStringLiteral("http://example.org/a.pdf"))});
    m_answers.Expect(QStringLiteral("Nur lokale Dateien können übernommen werden."), Vcl::mrOk);
    EXPECT_THROW(f->DropMimeData(&web), EAbort);
    EXPECT_EQ(Count(), before);
}

TEST_F(DokumentsImportTest, ALinkedFileIsTakenInUnderItsOriginalNameAndTheOriginalMayGo) {
    TFormDokments* f = Open(QStringLiteral("belege"));
    const QString linked = File(QStringLiteral("scan_0001.pdf"), "%PDF gescannt");
    m_rows.queue = {QStringLiteral("RE")};
    const int id = f->LoadDocument(fimLink, linked, false, QStringLiteral("Angebot Müller.pdf"));
    m_answers.Expect(QStringLiteral("wurde ins DMS kopiert. Soll die Originaldatei gelöscht"),
                     Vcl::mrNo);
    f->acDocEditImportlinkedFile->trigger();
    EXPECT_EQ(scalar(QStringLiteral("SELECT pd_islink::text || '|' || pd_origfilename || '|' || "
                                    "(pd_dmsremotefile IS NOT NULL)::text FROM picndoku WHERE "
                                    "pd_id = %1").arg(id)),
              QStringLiteral("false|Angebot Müller.pdf|true"));
    EXPECT_TRUE(QFileInfo::exists(linked));
    EXPECT_NE(m_answers.Questions().back().text.indexOf(QStringLiteral("\"scan_0001.pdf\"")), -1);

    // A short original name gives way to the file's own; with "DMSAlwaysCopyFile" nobody asks.
    TestDatabase::Exec(QStringLiteral("INSERT INTO settings (s_name, s_value) VALUES "
                                      "('DMSAlwaysCopyFile', 'true')"));
    const QString second = File(QStringLiteral("Vertrag 2024.pdf"), "%PDF Vertrag");
    m_rows.queue = {QStringLiteral("RE")};
    const int id2 = f->LoadDocument(fimLink, second, false, QStringLiteral("ab.pdf"));
    f->acDocEditImportlinkedFile->trigger();
    EXPECT_EQ(scalar(QStringLiteral("SELECT pd_origfilename FROM picndoku WHERE pd_id = %1").arg(id2)),
              QStringLiteral("Vertrag 2024.pdf"));
    EXPECT_TRUE(QFileInfo::exists(second));
}

TEST_F(DokumentsImportTest, RevisionsFollowTheImportModeAndOneValidRevisionIsKept) {
    const int a = Store(QStringLiteral("Plan"), QStringLiteral("RE"), QStringLiteral("belege"));
    TFormDokments* f = Open(QString::number(a));
    const QString b1 = File(QStringLiteral("rev b.pdf"), "B");
    Config(QStringLiteral("RE"), QStringLiteral("ImportMode=LINK"));
    m_answers.ExpectFile(QString(), {b1});
    f->acDocEditRevisionImport->trigger();
    EXPECT_TRUE(QFileInfo::exists(b1)) << "LINK keeps the chosen file";
    const QString b = f->GetNodeId(f->FocusedNode());
    Config(QStringLiteral("RE"), QStringLiteral("ImportMode=MOVE"));
    const QString c1 = File(QStringLiteral("rev c.pdf"), "C");
    m_answers.ExpectFile(QString(), {c1});
    f->acDocEditRevisionImport->trigger();
    EXPECT_FALSE(QFileInfo::exists(c1));
    const QString c = f->GetNodeId(f->FocusedNode());
    Config(QStringLiteral("RE"), QStringLiteral("ImportMode=COPY_AskDEL"));
    const QString d1 = File(QStringLiteral("rev d.pdf"), "D");
    m_answers.ExpectFile(QString(), {d1});
    m_answers.Expect(QStringLiteral("\"rev d.pdf\" wurde ins DMS kopiert"), Vcl::mrNo);
    f->acDocEditRevisionImport->trigger();
    EXPECT_TRUE(QFileInfo::exists(d1));
    const QString d = f->GetNodeId(f->FocusedNode());
    EXPECT_EQ(scalar(QStringLiteral("SELECT count(DISTINCT pd_revision_id) || '/' || count(*) FROM "
                                    "picndoku")),
              QStringLiteral("1/4"));

    // B becomes the valid revision: the only one that cannot be deleted.
    m_rows.queue = {b};
    f->miRevisionSpecifyValid->trigger();
    EXPECT_EQ(m_rows.lookups.last(), QStringLiteral("miRevisionSpecifyValid"));
    EXPECT_EQ(scalar(QStringLiteral("SELECT string_agg(pd_id || ':' || pd_deletable, ',' ORDER BY "
                                    "pd_id) FROM picndoku")),
              QStringLiteral("%1:true,%2:false,%3:true,%4:true").arg(a).arg(b, c, d));
    EXPECT_EQ(f->GetNodeId(f->FocusedNode()), b);

    // Another user's lock refuses a new revision before any dialog.
    TestDatabase::Exec(QStringLiteral("UPDATE picndoku_revision SET pdr_lock_user = 'anna'"));
    f->TreeMenuCreate(false);
    f->TreeMenuSelect(b);
    m_answers.Expect(QStringLiteral("anna"), Vcl::mrOk);
    f->acDocEditRevisionImport->trigger();
    EXPECT_EQ(Count(), 4);
}

TEST_F(DokumentsImportTest, ANotAgainAnswerToTheCopyQuestionDecidesLaterRevisionsUnasked) {
    const int a = Store(QStringLiteral("Plan"), QStringLiteral("RE"), QStringLiteral("belege"));
    TFormDokments* f = Open(QString::number(a));
    Config(QStringLiteral("RE"), QStringLiteral("ImportMode=COPY_AskDEL"));
    const auto kept = [] {
        return scalar(QStringLiteral("SELECT coalesce(string_agg(lv_user || '=' || lv_value, ','), "
                                     "'') FROM lastval WHERE lv_key = 'Dokumente_sperren'"));
    };
    // Answered without the box ticked, the question comes again.
    const QString b = File(QStringLiteral("rev b.pdf"), "B");
    m_answers.ExpectFile(QString(), {b});
    m_answers.Expect(QStringLiteral("\"rev b.pdf\" wurde ins DMS kopiert"), Vcl::mrNo);
    f->acDocEditRevisionImport->trigger();
    ASSERT_EQ(m_answers.Questions().size(), 1u);
    EXPECT_EQ(m_answers.Questions()[0].checkBoxCaption, QStringLiteral("Nicht mehr fragen"));
    EXPECT_TRUE(QFileInfo::exists(b));
    EXPECT_EQ(kept(), QString());
    // "Nicht mehr fragen" with yes: the original goes now and from then on, unasked.
    const QString c = File(QStringLiteral("rev c.pdf"), "C");
    m_answers.ExpectFile(QString(), {c});
    m_answers.ExpectDontAsk(QStringLiteral("\"rev c.pdf\" wurde ins DMS kopiert"), Vcl::mrYes);
    f->acDocEditRevisionImport->trigger();
    EXPECT_FALSE(QFileInfo::exists(c));
    EXPECT_EQ(kept(), QStringLiteral("postgres=1"));
    const QString d = File(QStringLiteral("rev d.pdf"), "D");
    m_answers.ExpectFile(QString(), {d});
    f->acDocEditRevisionImport->trigger();
    EXPECT_EQ(m_answers.Questions().size(), 2u);
    EXPECT_FALSE(QFileInfo::exists(d));
    EXPECT_EQ(Count(), 4);

    // The answer is the user's own: another login is asked, and a kept no keeps the file.
    s_dm->SetLoginName(QStringLiteral("anna"));
    TestDatabase::Exec(QStringLiteral("INSERT INTO lastval (lv_user, lv_key, lv_value) VALUES "
                                      "('anna', 'Dokumente_sperren', '0')"));
    const QString e = File(QStringLiteral("rev e.pdf"), "E");
    m_answers.ExpectFile(QString(), {e});
    f->acDocEditRevisionImport->trigger();
    EXPECT_EQ(m_answers.Questions().size(), 2u);
    EXPECT_TRUE(QFileInfo::exists(e));
}

// The import's copy question and an administrator's unlock of another user's lock are kept
// apart: an answer kept for one never decides the other.
TEST_F(DokumentsImportTest, AnAnswerKeptForTheCopyQuestionOrTheUnlockDecidesOnlyThatQuestion) {
    const int a = Store(QStringLiteral("Plan"), QStringLiteral("RE"), QStringLiteral("belege"));
    Config(QStringLiteral("RE"), QStringLiteral("ImportMode=COPY_AskDEL"));
    // bert, an administrator, works in the window.
    const QString admin = QStringLiteral("DELETE FROM mitarbeiter WHERE mitnr = 83 OR "
                                         "lower(m_login) = 'bert';");
    TestDatabase::Exec(admin + QStringLiteral("INSERT INTO mitarbeiter (mitnr, m_login, m_admin) "
                                              "VALUES (83, 'bert', true)"));
    const auto dropAdmin = qScopeGuard([&] { TestDatabase::Exec(admin); });
    s_dm->SetLoginName(QStringLiteral("bert"));
    TFormDokments* f = Open(QString::number(a));
    const auto kept = [] {
        return scalar(QStringLiteral("SELECT coalesce(string_agg(lv_key || '=' || lv_value, ',' "
                                     "ORDER BY lv_key), '') FROM lastval WHERE lv_user = "
                                     "'bert' AND lv_key LIKE 'Dokumente%'"));
    };
    // anna locks the valid revision on a connection of her own.
    TDM1 anna{nullptr, false};
    anna.Connect();
    anna.SetLoginName(QStringLiteral("anna"));
    const auto annaLocks = [&] {
        TDokument doc;
        doc.SetDatabase(&anna.Database());
        doc.AssignToDokId(f->Dokument1()->Id());
        doc.LockRevision();
        f->TreeMenuCreate(false);
        f->TreeMenuSelect(QString::number(doc.Id()));
    };
    const auto lockHolder = [&] {
        return scalar(QStringLiteral("SELECT coalesce(max(pdr_lock_user), '') FROM "
                                     "picndoku_revision"));
    };

    // "Ja, nicht mehr fragen" to the copy question: originals go from now on, unasked.
    const QString b = File(QStringLiteral("rev b.pdf"), "B");
    m_answers.ExpectFile(QString(), {b});
    m_answers.ExpectDontAsk(QStringLiteral("\"rev b.pdf\" wurde ins DMS kopiert"), Vcl::mrYes);
    f->acDocEditRevisionImport->trigger();
    EXPECT_FALSE(QFileInfo::exists(b));
    EXPECT_EQ(kept(), QStringLiteral("Dokumente_sperren=1"));

    // The unlock of anna's lock is asked all the same; "Nein, nicht mehr fragen" keeps it.
    annaLocks();
    m_answers.ExpectDontAsk(QStringLiteral("durch jemand anderes gesperrt"), Vcl::mrNo);
    f->acDocEditRevisionUnlock->trigger();
    EXPECT_EQ(m_answers.Pending(), 0);
    EXPECT_EQ(lockHolder(), QStringLiteral("anna"));
    EXPECT_EQ(kept(), QStringLiteral("Dokumente_fremd_entsperren=0,Dokumente_sperren=1"));
    // From then on the unlock says why nothing happens.
    m_answers.Expect(QStringLiteral("bleibt gesperrt"), Vcl::mrOk);
    f->acDocEditRevisionUnlock->trigger();
    EXPECT_EQ(m_answers.Pending(), 0);
    EXPECT_TRUE(m_answers.Questions().back().text.contains(QStringLiteral("Gesperrt von anna")));
    EXPECT_EQ(lockHolder(), QStringLiteral("anna"));

    // Kept the other way round: "Ja, nicht mehr fragen" releases anna's lock now and later.
    TestDatabase::Exec(QStringLiteral("DELETE FROM lastval WHERE lv_key LIKE 'Dokumente%'"));
    s_dm->ClearSessionCaches();
    m_answers.ExpectDontAsk(QStringLiteral("durch jemand anderes gesperrt"), Vcl::mrYes);
    f->acDocEditRevisionUnlock->trigger();
    EXPECT_EQ(lockHolder(), QString());
    annaLocks();
    const size_t asked = m_answers.Questions().size();
    f->acDocEditRevisionUnlock->trigger();
    EXPECT_EQ(m_answers.Questions().size(), asked);
    EXPECT_EQ(lockHolder(), QString());
    EXPECT_EQ(kept(), QStringLiteral("Dokumente_fremd_entsperren=1"));
    // ... and the copy question is still asked: a plain no keeps the original.
    const QString c = File(QStringLiteral("rev c.pdf"), "C");
    m_answers.ExpectFile(QString(), {c});
    m_answers.Expect(QStringLiteral("\"rev c.pdf\" wurde ins DMS kopiert"), Vcl::mrNo);
    f->acDocEditRevisionImport->trigger();
    EXPECT_EQ(m_answers.Pending(), 0);
    EXPECT_TRUE(QFileInfo::exists(c));
    EXPECT_EQ(Count(), 3);
}

TEST_F(DokumentsImportTest, RenameDeleteAndFoldersRefuseWhatWouldLoseWork) {
    const int doc = Store(QStringLiteral("Rechnung 1"), QStringLiteral("RE"), QStringLiteral("belege"));
    TFormDokments* f = Open(QStringLiteral("belege"));
    // A new folder of the record's own in the focused folder; an empty name makes none.
    AnswerInput(QStringLiteral("   "));
    f->acFolderNew->trigger();
    EXPECT_EQ(Count(), 1);
    AnswerInput(QStringLiteral("  Entwürfe "));
    f->acFolderNew->trigger();
    const QString folder = f->GetNodeId(f->FocusedNode());
    EXPECT_EQ(f->FocusedNode()->Kind, DokState::nkCustomFolder);
    EXPECT_EQ(ParentOf(f, folder), QStringLiteral("belege"));
    EXPECT_EQ(scalar(QStringLiteral("SELECT pd_descr || '|' || pd_parentnodeident FROM picndoku "
                                    "WHERE pd_id = %1").arg(folder)),
              QStringLiteral("Entwürfe|belege"));

    // Rename trims; the same name or an empty one changes nothing.
    f->TreeMenuSelect(QString::number(doc));
    AnswerInput(QStringLiteral("  Rechnung 1 "));
    f->acDocEditRename->trigger();
    AnswerInput(QString());
    f->acDocEditRename->trigger();
    EXPECT_EQ(scalar(QStringLiteral("SELECT pd_descr FROM picndoku WHERE pd_id = %1").arg(doc)),
              QStringLiteral("Rechnung 1"));
    AnswerInput(QStringLiteral(" Rechnung März "));
    f->acDocEditRename->trigger();
    EXPECT_EQ(scalar(QStringLiteral("SELECT pd_descr FROM picndoku WHERE pd_id = %1").arg(doc)),
              QStringLiteral("Rechnung März"));

    // A document moved into the folder makes it non-empty.
    TestDatabase::Exec(QStringLiteral("UPDATE picndoku SET pd_parentnodeident = '%1' WHERE pd_id = %2")
                           .arg(folder)
                           .arg(doc));
    f->TreeMenuCreate(false);
    f->TreeMenuSelect(folder);
    m_answers.Expect(QStringLiteral("Ordner ist nicht leer"), Vcl::mrOk);
    f->acDocEditDeleteDoc->trigger();
    // Locked by another user, or of a write-once type: refused.
    TestDatabase::Exec(QStringLiteral("UPDATE picndoku_revision SET pdr_lock_user = 'anna'"));
    f->TreeMenuCreate(false);
    f->TreeMenuSelect(QString::number(doc));
    m_answers.Expect(QStringLiteral("anna"), Vcl::mrOk);
    f->acDocEditDeleteDoc->trigger();
    TestDatabase::Exec(QStringLiteral("UPDATE picndoku_revision SET pdr_lock_user = NULL;"
                                      "UPDATE dokutypes SET dt_write_once = true WHERE dt_id = 'RE'"));
    DMSDokuTypes().Refresh();
    f->TreeMenuCreate(false);
    f->TreeMenuSelect(QString::number(doc));
    m_answers.Expect(QStringLiteral("WORM-Schreibschutz"), Vcl::mrOk);
    f->acDocEditDeleteDoc->trigger();
    EXPECT_EQ(Count(), 2);
    // An empty folder goes after the question.
    TestDatabase::Exec(QStringLiteral("UPDATE picndoku SET pd_parentnodeident = 'belege' WHERE pd_id = %1")
                           .arg(doc));
    f->TreeMenuCreate(false);
    f->TreeMenuSelect(folder);
    m_answers.Expect(QStringLiteral("Löschen?"), Vcl::mrYes);
    f->acDocEditDeleteDoc->trigger();
    EXPECT_EQ(Count(), 1);
    EXPECT_EQ(f->FindNode(folder), nullptr);
}

TEST_F(DokumentsImportTest, TheValidRevisionMovesOnlyUnderTheLockAndADeleteKeepsTheDocument) {
    const int a = Store(QStringLiteral("Plan"), QStringLiteral("RE"), QStringLiteral("belege"));
    TFormDokments* f = Open(QString::number(a));
    Config(QStringLiteral("RE"), QStringLiteral("ImportMode=COPY"));
    m_answers.ExpectFile(QString(), {File(QStringLiteral("rev b.pdf"), "B")});
    f->acDocEditRevisionImport->trigger();
    const QString b = f->GetNodeId(f->FocusedNode());
    m_answers.ExpectFile(QString(), {File(QStringLiteral("rev c.pdf"), "C")});
    f->acDocEditRevisionImport->trigger();
    const QString c = f->GetNodeId(f->FocusedNode());
    const auto valid = [] {
        return scalar(QStringLiteral("SELECT string_agg(pd_id::text, ',') FROM picndoku WHERE "
                                     "NOT pd_deletable"));
    };
    ASSERT_EQ(valid(), c);

    // anna has the document checked out on a connection of her own: the switch is refused.
    TDM1 anna(nullptr, false);
    anna.Connect();
    anna.SetLoginName(QStringLiteral("anna"));
    TDokument annas;
    annas.SetDatabase(&anna.Database());
    annas.AssignToDokId(c.toInt());
    annas.LockRevision();
    m_rows.queue = {QString::number(a)};
    m_answers.Expect(QStringLiteral("Gesperrt von anna"), Vcl::mrOk);
    f->miRevisionSpecifyValid->trigger();
    EXPECT_EQ(m_answers.Pending(), 0);
    EXPECT_EQ(valid(), c);
    annas.UnlockRevision();

    // The valid revision deleted: the newest remaining one takes its place and is shown.
    f->TreeMenuCreate(false);
    ASSERT_TRUE(f->TreeMenuSelect(c));
    m_answers.Expect(QStringLiteral("Löschen?"), Vcl::mrYes);
    f->acDocEditDeleteDoc->trigger();
    EXPECT_EQ(valid(), b);
    EXPECT_EQ(Count(), 2);
    EXPECT_NE(f->FindNode(b), nullptr);
    EXPECT_EQ(f->FindNode(QString::number(a)), nullptr);
}

// A window whose tree still shows an older revision writes nothing from it: not a new revision
// (which would hide the newer one behind a copy of the old row), nor a rename or a delete. It
// says who changed the document and when, and its tree then shows the valid revision. The
// changes come from a second window, from anna on a connection of her own, and from this user's
// check-out on another machine.
TEST_F(DokumentsImportTest, AWindowShowingAnOldRevisionWritesNothingAndThenShowsTheValidOne) {
    const int a = Store(QStringLiteral("Plan"), QStringLiteral("RE"), QStringLiteral("belege"));
    Config(QStringLiteral("RE"), QStringLiteral("ImportMode=COPY"));
    TFormDokments* first = Open(QString::number(a));
    TFormDokments* second = Open(QString::number(a));
    const auto rows = [] {
        return scalar(QStringLiteral(
            "SELECT string_agg(concat_ws(':', pd_id, pd_descr, pd_deletable), ',' ORDER BY pd_id) "
            "|| '/' || (SELECT count(*) FROM dms_file) FROM picndoku"));
    };
    m_answers.ExpectFile(QString(), {File(QStringLiteral("rev b.pdf"), "B")});
    first->acDocEditRevisionImport->trigger();
    const QString b = first->GetNodeId(first->FocusedNode());
    AnswerInput(QStringLiteral("Plan final"));
    first->acDocEditRename->trigger();
    const QString afterFirst = rows();
    ASSERT_EQ(afterFirst, QStringLiteral("%1:Plan:t,%2:Plan final:f/2").arg(a).arg(b));

    ASSERT_EQ(second->GetNodeId(second->FocusedNode()), QString::number(a));
    m_answers.ExpectFile(QString(), {File(QStringLiteral("rev c.pdf"), "C")});
    m_answers.Expect(QStringLiteral("Das Dokument \"Plan\" wurde inzwischen von postgres am "),
                     Vcl::mrOk);
    second->acDocEditRevisionImport->trigger();
    EXPECT_EQ(m_answers.Pending(), 0);
    EXPECT_EQ(rows(), afterFirst);
    QApplication::processEvents();
    ASSERT_EQ(second->GetNodeId(second->FocusedNode()), b);
    EXPECT_EQ(second->FocusedNode()->Caption, QStringLiteral("Plan final"));

    // anna makes revision c; this window, still on b, renames and deletes nothing.
    TDM1 anna(nullptr, false);
    anna.Connect();
    anna.SetLoginName(QStringLiteral("anna"));
    TDokument annas;
    annas.SetDatabase(&anna.Database());
    annas.AssignToDokId(b.toInt());
    const int c = annas.CreateNewRevision(File(QStringLiteral("rev c.pdf"), "C"), 0x65,
                                          QStringLiteral("file"));
    const QString afterAnna = rows();
    AnswerInput(QStringLiteral("Plan verworfen"));
    m_answers.Expect(QStringLiteral("wurde inzwischen von anna am "), Vcl::mrOk);
    second->acDocEditRename->trigger();
    m_answers.Expect(QStringLiteral("Löschen?"), Vcl::mrYes);
    m_answers.Expect(QStringLiteral("wurde inzwischen von anna am "), Vcl::mrOk);
    second->acDocEditDeleteDoc->trigger();
    EXPECT_EQ(m_answers.Pending(), 0);
    EXPECT_EQ(rows(), afterAnna);
    QApplication::processEvents();
    EXPECT_EQ(second->GetNodeId(second->FocusedNode()), QString::number(c));

    // Checked out by this user on another machine: no new revision and no rename from here,
    // refused before the file dialog.
    TestDatabase::Exec(QStringLiteral(
        "UPDATE picndoku_revision SET pdr_lock_user = 'postgres', pdr_lock_time = now(), "
        "pdr_lock_host = 'rechner-b', pdr_checkout_path = '/home/postgres/Plan.pdf'"));
    second->TreeMenuCreate(false);
    ASSERT_TRUE(second->TreeMenuSelect(QString::number(c)));
    m_answers.Expect(QStringLiteral("Gesperrt von postgres auf rechner-b"), Vcl::mrOk);
    second->acDocEditRevisionImport->trigger();
    AnswerInput(QStringLiteral("Plan woanders"));
    m_answers.Expect(QStringLiteral("Gesperrt von postgres auf rechner-b"), Vcl::mrOk);
    second->acDocEditRename->trigger();
    EXPECT_EQ(m_answers.Pending(), 0);
    EXPECT_TRUE(m_answers.FileDialogsShown().size() == 2u);
    EXPECT_EQ(rows(), afterAnna);
}

TEST_F(DokumentsImportTest, AFolderHoldingOnlyHiddenDocumentsIsNotEmpty) {
    const int doc = Store(QStringLiteral("Alt"), QStringLiteral("RE"), QStringLiteral("belege"));
    TFormDokments* f = Open(QStringLiteral("belege"));
    AnswerInput(QStringLiteral("Ablage"));
    f->acFolderNew->trigger();
    const QString folder = f->GetNodeId(f->FocusedNode());
    TestDatabase::Exec(QStringLiteral("UPDATE picndoku SET pd_parentnodeident = '%1', "
                                      "pd_deletable = true WHERE pd_id = %2")
                           .arg(folder)
                           .arg(doc));
    f->TreeMenuCreate(false);
    ASSERT_TRUE(f->TreeMenuSelect(folder));
    EXPECT_TRUE(f->FocusedNode()->Children.empty());
    m_answers.Expect(QStringLiteral("Ordner ist nicht leer"), Vcl::mrOk);
    f->acDocEditDeleteDoc->trigger();
    EXPECT_EQ(m_answers.Pending(), 0);
    EXPECT_EQ(Count(), 2);
}

TEST_F(DokumentsImportTest, NamesComeInAsTheFileSystemHoldsThemAndLongMailSubjectsAreCut) {
    Config(QStringLiteral("RE"), QStringLiteral("ImportMode=COPY"));
    TFormDokments* f = Open(QStringLiteral("belege"));
    // A name that is not UTF-8 is said to be unreadable, not missing; nothing is stored.
    const QByteArray raw = QFile::encodeName(m_files.path()) + "/rechnung-\xe4.pdf";
    {
        const int fd = ::open(raw.constData(), O_CREAT | O_WRONLY, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::write(fd, "x", 1), 1);
        ::close(fd);
    }
    m_answers.Expect(QStringLiteral("Der Name der Datei kann nicht gelesen werden"), Vcl::mrOk);
    EXPECT_THROW(f->LoadDocument(fimCopy, QFile::decodeName(raw), false), EAbort);
    QMimeData dropped;
    dropped.setUrls({QUrl::fromEncoded("file://" + raw.toPercentEncoding("/"))});
    m_answers.Expect(QStringLiteral("Der Name der Datei kann nicht gelesen werden"), Vcl::mrOk);
    EXPECT_THROW(f->DropMimeData(&dropped), EAbort);
    EXPECT_EQ(m_answers.Pending(), 0);
    EXPECT_EQ(Count(), 0);

    // A mail whose subject is longer than a file name may be: cut between two characters.
    QMimeData mail;
    const QString subject = QString(150, QChar(0x00fc)) + QStringLiteral(" Ende");
    mail.setData(QStringLiteral("message/rfc822"),
                 "Subject: =?UTF-8?B?" + subject.toUtf8().toBase64() + "?=\r\n\r\nHallo\r\n");
    m_rows.queue = {QStringLiteral("RE")};
    f->DropMimeData(&mail);
    const QString name = scalar(QStringLiteral("SELECT pd_origfilename FROM picndoku"));
    EXPECT_LE(name.toUtf8().size(), 255);
    EXPECT_EQ(name, QString(125, QChar(0x00fc)) + QStringLiteral(".eml"));
}

TEST_F(DokumentsImportTest, AfterALostConnectionTheWindowGoesOnAsTheSameUser) {
    const int doc =
        Store(QStringLiteral("Rechnung 1"), QStringLiteral("RE"), QStringLiteral("belege"));
    s_dm->SetLoginName(QStringLiteral("anna"));
    TFormDokments* f = Open(QString::number(doc));
    const QString pid = s_dm->LoadVar(QStringLiteral("SELECT pg_backend_pid()")).toString();
    TestDatabase::Exec(QStringLiteral("SELECT pg_terminate_backend(%1, 5000)").arg(pid));
    AnswerInput(QStringLiteral("Rechnung April"));
    f->acDocEditRename->trigger();
    EXPECT_EQ(scalar(QStringLiteral("SELECT pd_descr || '|' || modified_by FROM picndoku WHERE "
                                    "pd_id = %1")
                         .arg(doc)),
              QStringLiteral("Rechnung April|anna"));
    EXPECT_NE(s_dm->LoadVar(QStringLiteral("SELECT pg_backend_pid()")).toString(), pid);
}

TEST_F(DokumentsImportTest, TheHeadersInsertImportsAndItsDeleteDeletesTheFocusedDocument) {
    const int doc = Store(QStringLiteral("Rechnung 1"), QStringLiteral("RE"), QStringLiteral("belege"));
    TFormDokments* f = Open(QString::number(doc));
    TVoskDBNavigator* nav = f->TopLabelFrame1->DBN1;
    ASSERT_TRUE(nav->ButtonControl(nbInsert)->isEnabled());
    m_answers.ExpectFile(QString(), {});
    nav->ButtonControl(nbInsert)->trigger();
    EXPECT_EQ(m_answers.FileDialogsShown().size(), 1u);
    m_answers.Expect(QStringLiteral("Löschen?"), Vcl::mrYes);
    nav->ButtonControl(nbDelete)->trigger();
    EXPECT_EQ(Count(), 0);
    EXPECT_EQ(f->FindNode(QString::number(doc)), nullptr);
    EXPECT_EQ(f->SqlRefrechDummy->RecordCount(), 1);
}

TEST_F(DokumentsImportTest, TheInitialFolderMarkerMovesAndReportLinksAreNeverDoubled) {
    TFormDokments* f = Open(QStringLiteral("belege"));
    const QString key = QStringLiteral("DMSInitialPath_adressen_postgres");
    f->acFolderInitial->setChecked(false);
    f->acFolderInitial->trigger();
    EXPECT_TRUE(f->FindNode(QStringLiteral("belege"))->States & DokState::InitialFolder);
    f->TreeMenuSelect(QStringLiteral("vertraege"));
    f->acFolderInitial->setChecked(false);
    f->acFolderInitial->trigger();
    EXPECT_EQ(s_dm->GetSetting(key), QStringLiteral("vertraege"));
    EXPECT_FALSE(f->FindNode(QStringLiteral("belege"))->States & DokState::InitialFolder);
    EXPECT_TRUE(f->FindNode(QStringLiteral("vertraege"))->States & DokState::InitialFolder);
    f->acFolderInitial->setChecked(true);
    f->acFolderInitial->trigger();
    EXPECT_EQ(s_dm->GetSetting(key), QString());
    EXPECT_FALSE(f->FindNode(QStringLiteral("vertraege"))->States & DokState::InitialFolder);

    TestDatabase::Exec(QStringLiteral(
        "INSERT INTO reports (r_id, r_descr) VALUES (9901, 'Liste') ON CONFLICT DO NOTHING;"
        "INSERT INTO report_afterdokument (rad_id, rad_r_id, rad_pd_tablename, rad_linkfield) "
        "VALUES (77, 9901, 'adressen', 'x')"));
    f->pcDokTree->setCurrentWidget(f->RegDokuLinks);
    ASSERT_TRUE(f->SqlDokuLinks->Active());
    f->gridDokuLinksAktivChanged(QStringLiteral("dir_aktiv"), 77, true);
    f->gridDokuLinksAktivChanged(QStringLiteral("dir_aktiv"), 77, true);
    EXPECT_EQ(scalar(QStringLiteral("SELECT count(*) || ':' || max(rdl_pd_parentnodeident) FROM "
                                    "report_dokument_link")),
              QStringLiteral("1:vertraege"));
    f->gridDokuLinksAktivChanged(QStringLiteral("dir_aktiv"), 77, false);
    EXPECT_EQ(scalar(QStringLiteral("SELECT count(*) FROM report_dokument_link")),
              QStringLiteral("0"));

    // A folder's links are the administrators': another user finds the box locked and is told
    // why; an administrator's click links.
    QTableView* grid = f->gridDokuLinks;
    const auto boxCenter = [&] {
        const int col = f->gridDokuLinks->columnByFieldName(QStringLiteral("dir_aktiv"));
        return grid->visualRect(grid->model()->index(0, col)).center();
    };
    QHelpEvent help(QEvent::ToolTip, boxCenter(), grid->viewport()->mapToGlobal(boxCenter()));
    QApplication::sendEvent(grid->viewport(), &help);
    EXPECT_EQ(QToolTip::text(),
              QStringLiteral("Nur Administratoren können Reports mit Ordnern verknüpfen."));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, boxCenter());
    QApplication::processEvents();
    EXPECT_EQ(scalar(QStringLiteral("SELECT count(*) FROM report_dokument_link")),
              QStringLiteral("0"));
    s_dm->SetIsAdmin(true);
    f->pcDokTree->setCurrentWidget(f->RegDokumentTree);
    f->pcDokTree->setCurrentWidget(f->RegDokuLinks);
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, boxCenter());
    QApplication::processEvents();
    EXPECT_EQ(scalar(QStringLiteral("SELECT rdl_pd_parentnodeident FROM report_dokument_link")),
              QStringLiteral("vertraege"));
}

TEST_F(DokumentsImportTest, ThePopupOffersWhatTheFocusedNodeAllows) {
    const int plain = Store(QStringLiteral("Rechnung"), QStringLiteral("RE"), QStringLiteral("belege"));
    const int standard = Store(QStringLiteral("Vorschau"), QStringLiteral("RE"), QStringLiteral("belege"));
    TestDatabase::Exec(QStringLiteral("UPDATE picndoku SET pd_print = true, pd_archive = true "
                                      "WHERE pd_id = %1").arg(standard));
    TFormDokments* f = Open(QStringLiteral("belege"));
    const auto importIn = [f](QAction* group) {
        return group->isVisible() && group->menu()->actions().contains(f->acDocFromFile);
    };
    // A folder: import at the top, nothing to output or type.
    f->pmTreeDocumentsPopup();
    EXPECT_TRUE(importIn(f->miNewGroup));
    EXPECT_FALSE(f->miNewGroupOnDok->isVisible());
    EXPECT_FALSE(f->miExportGroup->isVisible());
    EXPECT_FALSE(f->miDokuType->isEnabled());
    EXPECT_FALSE(f->miRevisionArchive->isEnabled());

    // A document: import further down; output, type and archiving offered; the preview item
    // carries the standard document's image while the option is off.
    ASSERT_TRUE(f->TreeMenuSelect(QString::number(plain)));
    f->pmTreeDocumentsPopup();
    EXPECT_TRUE(importIn(f->miNewGroupOnDok));
    EXPECT_FALSE(f->miNewGroup->isVisible());
    EXPECT_TRUE(f->miExportGroup->isVisible());
    EXPECT_TRUE(f->miDokuType->isEnabled());
    EXPECT_TRUE(f->miRevisionArchive->isEnabled());
    EXPECT_FALSE(f->miRevisionArchive->isChecked());
    EXPECT_FALSE(f->miPreview->icon().isNull());

    // The standard document, archived: the preview item loses its image, archiving shows checked
    // and cannot be undone from here.
    ASSERT_TRUE(f->TreeMenuSelect(QString::number(standard)));
    f->pmTreeDocumentsPopup();
    EXPECT_TRUE(f->acDocumentPreviewIs->isChecked());
    EXPECT_TRUE(f->miPreview->icon().isNull());
    EXPECT_TRUE(f->miRevisionArchive->isChecked());
    EXPECT_FALSE(f->miRevisionArchive->isEnabled());
    ASSERT_TRUE(f->TreeMenuSelect(QStringLiteral("vertraege")));
    f->pmTreeDocumentsPopup();
    EXPECT_TRUE(importIn(f->miNewGroup));
}

TEST_F(DokumentsImportTest, NodesMoveWithinAWindowAndCopyToAnotherRecordsWindow) {
    const int doc = Store(QStringLiteral("Ohne Typ"), QString(), QString());
    const int other = Store(QStringLiteral("Vertrag"), QStringLiteral("VT"), QStringLiteral("vertraege"));
    TFormDokments* f = Open(QString::number(doc));
    TDokuTreeNode* node = f->FindNode(QString::number(doc));
    ASSERT_TRUE(node);
    std::unique_ptr<QMimeData> data(f->NodeMimeData(node));
    TDokuTreeNode* belege = f->FindNode(QStringLiteral("belege"));
    EXPECT_TRUE(f->TreeDocumentsDragOver(data.get(), belege));
    // Dropped on a document of another folder: it lands in that folder and takes its type.
    f->TreeDocumentsDragDrop(data.get(), f->FindNode(QString::number(other)));
    EXPECT_EQ(scalar(QStringLiteral("SELECT pd_parentnodeident || '|' || pd_doktype FROM picndoku "
                                    "WHERE pd_id = %1").arg(doc)),
              QStringLiteral("vertraege|VT"));
    EXPECT_EQ(ParentOf(f, QString::number(doc)), QStringLiteral("vertraege"));
    EXPECT_EQ(f->GetNodeId(f->FocusedNode()), QString::number(doc));
    // Its own folder again, a configured folder or the root: not accepted.
    node = f->FindNode(QString::number(doc));
    data.reset(f->NodeMimeData(node));
    EXPECT_FALSE(f->TreeDocumentsDragOver(data.get(), f->FindNode(QStringLiteral("vertraege"))));
    std::unique_ptr<QMimeData> folderData(f->NodeMimeData(f->FindNode(QStringLiteral("belege"))));
    EXPECT_FALSE(f->TreeDocumentsDragOver(folderData.get(), f->GetRootNode()));

    // Another window of the same record refuses the copy; one of another record takes it.
    TFormDokments* same = Open(QString(), QStringLiteral("5"));
    m_answers.Expect(QStringLiteral("Kopieren nicht möglich."), Vcl::mrOk);
    EXPECT_TRUE(same->TreeDocumentsDragOver(data.get(), same->GetRootNode()));
    EXPECT_THROW(same->TreeDocumentsDragDrop(data.get(), same->GetRootNode()), EAbort);
    delete same;
    TFormDokments* g = Open(QString(), QStringLiteral("6"));
    EXPECT_FALSE(g->TreeDocumentsDragOver(folderData.get(), g->GetRootNode()));
    g->TreeDocumentsDragDrop(data.get(), g->FindNode(QStringLiteral("belege")));
    const QString copy = g->GetNodeId(g->FocusedNode());
    EXPECT_NE(copy, QString::number(doc));
    EXPECT_EQ(scalar(QStringLiteral("SELECT d.pd_dbrid || '|' || d.pd_doktype || '|' || "
                                    "(d.pd_dmsremotefile <> o.pd_dmsremotefile)::text || '|' || "
                                    "(f.sha256 = g.sha256)::text FROM picndoku d, picndoku o, "
                                    "dms_file f, dms_file g WHERE d.pd_id = %1 AND o.pd_id = %2 "
                                    "AND f.name = d.pd_dmsremotefile AND g.name = o.pd_dmsremotefile")
                         .arg(copy)
                         .arg(doc)),
              QStringLiteral("6|VT|true|true"));
    // A drag started with the mouse in one window and dropped on another's tree.
    TDokuTreeNode* source = f->FindNode(QString::number(other));
    f->TreeMenuSelect(source->Id);
    const QPoint press = f->TreeDocuments->visualRect(f->TreeModel->IndexOf(source)).center();
    TFormDokments::ExecuteNodeDragProc.Set([g](QDrag* drag) {
        const QPoint target =
            g->TreeDocuments->visualRect(g->TreeModel->IndexOf(g->GetRootNode())).center();
        QDragEnterEvent move(target, Qt::CopyAction | Qt::MoveAction, drag->mimeData(),
                             Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(g->TreeDocuments->viewport(), &move);
        EXPECT_TRUE(move.isAccepted());
        QDropEvent drop(target, Qt::CopyAction, drag->mimeData(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(g->TreeDocuments->viewport(), &drop);
        return Qt::CopyAction;
    });
    QMouseEvent down(QEvent::MouseButtonPress, press, f->TreeDocuments->viewport()->mapToGlobal(press),
                     Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(f->TreeDocuments->viewport(), &down);
    const QPoint away = press + QPoint(QApplication::startDragDistance() + 5, 0);
    QMouseEvent drag(QEvent::MouseMove, away, f->TreeDocuments->viewport()->mapToGlobal(away),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(f->TreeDocuments->viewport(), &drag);
    EXPECT_EQ(scalar(QStringLiteral("SELECT count(*) FROM picndoku WHERE pd_dbrid = 6 AND "
                                    "pd_descr = 'Vertrag'")),
              QStringLiteral("1"));

    m_answers.Expect(QStringLiteral("Nur Dokumente können in anderes Fenster kopiert werden."),
                     Vcl::mrOk);
    std::unique_ptr<QMimeData> custom(new QMimeData);
    custom->setData(QString::fromLatin1(UImpDoku::kNodeDragMime),
                    UImpDoku::EncodeNodeDrag({f->FWindowSerial, QStringLiteral("adressen"),
                                              QStringLiteral("5"), QStringLiteral("1"),
                                              DokState::nkCustomFolder}));
    EXPECT_THROW(g->TreeDocumentsDragDrop(custom.get(), g->GetRootNode()), EAbort);
}

} // namespace

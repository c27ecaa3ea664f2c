// The document window's output on a real database: views, save as, print, mail, the preview
// document, report printers, dragging a document out and the scanner actions.

#include "FrameworkFixture.h"
#include "MailReaders.h"

#include "DMSys.h"
#include "Korvexcommonvcl.h"
#include "TVoskRibbon.h"
#include "UEMailSenden.h"
#include "UHostModules.h"
#include "UImpDoku.h"
#include "UShutdownFiles.h"
#include "Ukorvexclasses.Dokument.h"
#include "VoskPrinters.h"

#include <QApplication>
#include <QBuffer>
#include <QDrag>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QMimeData>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QTreeView>

using testsupport::TestDatabase;

namespace {

// Stands for the user in the printer lookups: chooses the rows whose printer is in the list.
class ChoosePrinters final : public Korvexcommonvcl::ModalForms {
public:
    explicit ChoosePrinters(QStringList printers) : m_printers(std::move(printers)) {
        m_old = SetInstance(this);
    }
    ~ChoosePrinters() override { SetInstance(m_old); }
    int Run(Vcl::TForm* form) override {
        auto* list = qobject_cast<TFormF2List*>(form);
        if (!list)
            return Vcl::mrCancel;
        lookups << list->FeldName;
        firstRows << (list->ListResult->count() ? list->ListResult->item(0)->data(Qt::UserRole).toString()
                                                : QString());
        if (m_printers.isEmpty())
            return Vcl::mrCancel;
        list->ListResult->clearSelection();
        for (int i = 0; i < list->ListResult->count(); ++i)
            if (m_printers.contains(list->ListResult->item(i)->data(Qt::UserRole).toString())) {
                list->ListResult->item(i)->setSelected(true);
                list->ListResult->setCurrentRow(i, QItemSelectionModel::Select);
            }
        list->BtOkClick();
        return Vcl::mrOk;
    }
    QStringList lookups, firstRows;

private:
    QStringList m_printers;
    ModalForms* m_old;
};

class DokumentsOutputTest : public FrameworkTest {
public:
    static void SetUpTestSuite() {
        FrameworkTest::SetUpTestSuite();
        UHostModules::Register();
    }

protected:
    void SetUp() override {
        FrameworkTest::SetUp();
        TestDatabase::Exec(QStringLiteral(
            "DELETE FROM picndoku; DELETE FROM picndoku_revision; DELETE FROM dms_file;"
            "DELETE FROM recnokeyword WHERE r_tablename = 'picndoku';"
            "DELETE FROM dokutypes_rights; DELETE FROM dokutreenodes; DELETE FROM dokutrees;"
            "DELETE FROM dokutypes; DELETE FROM settings WHERE s_name LIKE 'Mail%';"
            "INSERT INTO dokutrees (dtl_id, dtl_description, dtl_tablename) "
            "VALUES (1, 'Adressablage', 'adressen');"
            "INSERT INTO dokutreenodes (dtn_id, dtn_dtl_id, dtn_parentid, dtn_nodeid, dtn_caption, "
            "dtn_image, dtn_position) VALUES (1, 1, NULL, 'root', 'Adresse', 1, 0), "
            "(2, 1, 1, 'belege', 'Belege', 151, 1);"
            "INSERT INTO dokutypes (dt_id, dt_descr, dt_parentnodeid) VALUES "
            "('LS', 'Lieferschein', 'belege')"));
        DMSDokuTypes().Refresh();
        s_dm->SetLoginName(QStringLiteral("postgres"));
        s_dm->SetIsAdmin(false);
        CurrentSession_UConstants().SetBasePath(m_base.path());
        m_printers.old = Corvale::Printers::SetInstance(&m_printers);
    }
    void TearDown() override {
        TDokument::_PrintImage.Reset();
        TDokument::_PrintTIFF.Reset();
        TDMSys::_DMSScan.Reset();
        TFormDokments::ExecuteFileDragProc.Reset();
        Corvale::Printers::SetInstance(m_printers.old);
        delete m_form.data();
        QApplication::processEvents();
        CurrentSession_UConstants().SetBasePath(QString());
    }
    int Store(const QByteArray& bytes, const QString& caption, const QString& file,
              const QString& recId = QStringLiteral("5")) {
        TDokument d;
        d.InsertData() = {true, caption, QStringLiteral("LS"), QString(), QStringLiteral("belege"),
                          QStringLiteral("file")};
        QBuffer b;
        b.setData(bytes);
        b.open(QIODevice::ReadOnly);
        return d.DMSAddFileAsBLOB(b, file, QStringLiteral("adressen"), recId);
    }
    TFormDokments* Open(int focus = 0) {
        m_form = TFormKorvexGundForm::Create<TFormDokments>(nullptr, QStringList(),
                                                            QStringLiteral("adressen"),
                                                            QStringLiteral("5"), nullptr);
        m_form->resize(900, 600);
        m_form->Show();
        m_form->TreeMenuCreate(false);
        if (focus) {
            EXPECT_TRUE(m_form->TreeMenuSelect(QString::number(focus)));
        }
        return m_form;
    }
    static void Refuse(int action) {
        TestDatabase::Exec(QStringLiteral("INSERT INTO dokutypes_rights (dtr_dt_id, dtr_action, "
                                          "dtr_mitnr, dtr_allowed) VALUES ('LS', %1, 0, false)")
                               .arg(action));
    }

    struct Printers final : Corvale::Printers {
        bool PrintDocument(const QTextDocument*, const QString&, QWidget*) override { return true; }
        QStringList PrinterNames() override { return {"Büro", "Lager", "Versand"}; }
        QString DefaultPrinter() override { return QStringLiteral("Lager"); }
        void PrintFile(const QString& file, const QString& printer) override {
            files << printer + u':' + QFileInfo(file).fileName();
        }
        QStringList files;
        Corvale::Printers* old = nullptr;
    } m_printers;
    QTemporaryDir m_base;
    QPointer<TFormDokments> m_form;
};

} // namespace

TEST_F(DokumentsOutputTest, RefusedRightsOutputNothing) {
    const int id = Store("%PDF-1.4", QStringLiteral("Lieferschein 1"), QStringLiteral("ls.pdf"));
    Refuse(5);
    Refuse(6);
    TFormDokments* f = Open(id);
    for (auto handler : {&TFormDokments::acDocumentViewExternExecute,
                         &TFormDokments::acDocumentExportFileSaveAsExecute,
                         &TFormDokments::acDocumentExportPrintExecute,
                         &TFormDokments::acDocumentExportMailExecute}) {
        // The user is told why, then the action stops.
        m_answers.Expect(QStringLiteral("Keine Berechtigung"), Vcl::mrOk);
        EXPECT_THROW((f->*handler)(), EAbort);
    }
    EXPECT_TRUE(m_answers.OpenedUrls().isEmpty());
    EXPECT_TRUE(m_answers.Launched().empty());
    EXPECT_TRUE(m_answers.FileDialogsShown().empty());
    EXPECT_TRUE(m_printers.files.isEmpty());
    EXPECT_TRUE(QDir(CurrentSession_UConstants().ExportDir()).isEmpty());
}

TEST_F(DokumentsOutputTest, ViewingSavingAndMailingTakeTheStoredFile) {
    const QByteArray pdf("%PDF-1.4 Lieferschein");
    const int id = Store(pdf, QStringLiteral("Lieferschein: Juli?"), QStringLiteral("ls.pdf"));
    TFormDokments* f = Open(id);
    EXPECT_EQ(f->acDocumentExportMail->text(), QStringLiteral("E-Mail versenden"));

    // The external view opens a copy the desktop's program cannot change.
    f->acDocumentViewExtern->trigger();
    ASSERT_EQ(m_answers.OpenedUrls().size(), 1);
    const QString copy = m_answers.OpenedUrls()[0].toLocalFile();
    EXPECT_FALSE(QFileInfo(copy).permissions() &
                 (QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther));

    // Save as proposes the drag-out name in the export folder and writes there what was chosen.
    const QString target = m_base.filePath(QStringLiteral("gespeichert.pdf"));
    m_answers.ExpectFile(QStringLiteral("speichern"), {target});
    f->acDocumentExportFileSaveAs->trigger();
    EXPECT_EQ(m_answers.FileDialogsShown().back().request.fileName,
              QStringLiteral("Lieferschein_ Juli_.pdf"));
    QFile saved(target);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll(), pdf);

    // Mail: the exported file is the draft's one attachment, under the caption and type.
    s_dm->SetIntSetting(QStringLiteral("MailSendMethod"), 5);
    f->acDocumentExportMail->trigger();
    ASSERT_EQ(m_answers.OpenedUrls().size(), 2);
    const mailtest::Draft d = mailtest::ParseWithGMime(m_answers.OpenedUrls()[1].toLocalFile());
    EXPECT_EQ(d.subject, QStringLiteral("Lieferschein: Juli? Lieferschein"));
    const mailtest::Part* part = d.Find(QStringLiteral("application/pdf"));
    ASSERT_TRUE(part);
    EXPECT_EQ(part->fileName, QStringLiteral("Lieferschein_ Juli_.pdf"));
    EXPECT_EQ(part->content, pdf);
}

TEST_F(DokumentsOutputTest, PrintingFallsBackFromReportPrintersToTheLookupAndTheDesktop) {
    const int id = Store("%PDF-1.4", QStringLiteral("Lieferschein"), QStringLiteral("ls.pdf"));
    TestDatabase::Exec(QStringLiteral("UPDATE picndoku SET pd_reportprinters = 'Kaputt' WHERE pd_id = %1").arg(id));
    QStringList printedOn;
    TDokument::_PrintImage.Set([&](TDokument*, const QString& printer) {
        printedOn << printer;
        if (printer != QStringLiteral("Büro"))
            throw EVoskException(QStringLiteral("Drucker antwortet nicht"));
    });
    TFormDokments* f = Open(id);
    {
        // The report printer fails; the lookup offers all printers, the default one first; the
        // document has report printers, so the chosen one gets the file from the desktop.
        ChoosePrinters user({QStringLiteral("Versand")});
        f->acDocumentExportPrint->trigger();
        EXPECT_EQ(user.lookups, QStringList{"miPrint"});
        EXPECT_EQ(user.firstRows, QStringList{"Lager"});
    }
    EXPECT_EQ(printedOn, QStringList{"Kaputt"});
    ASSERT_EQ(m_printers.files.size(), 1);
    EXPECT_TRUE(m_printers.files[0].startsWith(QStringLiteral("Versand:")));

    // Without report printers the chosen printer gets the document; when that fails, the
    // desktop prints the file. Cancelling the lookup prints nothing.
    TestDatabase::Exec(QStringLiteral("UPDATE picndoku SET pd_reportprinters = NULL"));
    f->HeaderRefresh();
    {
        ChoosePrinters user({QStringLiteral("Büro")});
        f->acDocumentExportPrint->trigger();
        ChoosePrinters other({QStringLiteral("Lager")});
        f->acDocumentExportPrint->trigger();
        ChoosePrinters none({});
        f->acDocumentExportPrint->trigger();
    }
    EXPECT_EQ(printedOn, (QStringList{"Kaputt", "Büro", "Lager"}));
    ASSERT_EQ(m_printers.files.size(), 2);
    EXPECT_TRUE(m_printers.files[1].startsWith(QStringLiteral("Lager:")));

    // A report printer that works is all it takes.
    TestDatabase::Exec(QStringLiteral("UPDATE picndoku SET pd_reportprinters = 'Kaputt*Büro'"));
    f->HeaderRefresh();
    f->acDocumentExportPrint->trigger();
    EXPECT_EQ(printedOn.mid(3), (QStringList{"Kaputt", "Büro"}));
    EXPECT_EQ(m_printers.files.size(), 2);
}

TEST_F(DokumentsOutputTest, PreviewDocumentAndReportPrintersFromTheWindow) {
    const int a = Store("a", QStringLiteral("A"), QStringLiteral("a.pdf"));
    const int b = Store("b", QStringLiteral("B"), QStringLiteral("b.pdf"));
    TFormDokments* f = Open(a);
    f->acDocumentPreviewIs->trigger();
    EXPECT_TRUE(f->acDocumentPreviewIs->isChecked());
    ASSERT_TRUE(f->TreeMenuSelect(QString::number(b)));
    f->acDocumentPreviewIs->trigger();
    EXPECT_EQ(TestDatabase::Scalar(QStringLiteral(
                  "SELECT string_agg(pd_descr, ',') FROM picndoku WHERE pd_print")),
              QStringLiteral("B"));

    {
        ChoosePrinters user({QStringLiteral("Büro"), QStringLiteral("Versand")});
        f->acDocumentSetReportPrinter->trigger();
        EXPECT_EQ(user.lookups, QStringList{"miSetReportPrinter"});
    }
    EXPECT_EQ(f->Dokument1()->GetPrintersForReporting(), (QStringList{"Büro", "Versand"}));
    TDokument again;
    again.AssignToDokId(b);
    EXPECT_EQ(again.ReportPrinters(), QStringLiteral("Büro*Versand"));
    {
        // The stored ones come first in the next lookup.
        ChoosePrinters user({});
        f->acDocumentSetReportPrinter->trigger();
        EXPECT_EQ(user.firstRows, QStringList{"Büro"});
    }
    EXPECT_EQ(again.ReportPrinters(), QStringLiteral("Büro*Versand"));
}

TEST_F(DokumentsOutputTest, DraggingOutCopiesTheDocumentUnderItsNameAndLeavesTheTreeAsItWas) {
    const QByteArray bytes("%PDF-1.4 Plan");
    const int id = Store(bytes, QStringLiteral("Plan: Juli?"), QStringLiteral("plan.pdf"));
    TFormDokments* f = Open(id);
    f->TreeDocuments->setAcceptDrops(true);
    QList<QUrl> urls;
    bool treeTookDrops = true;
    TFormDokments::ExecuteFileDragProc.Set([&](QDrag* drag) {
        urls = drag->mimeData()->urls();
        treeTookDrops = f->TreeDocuments->acceptDrops();
        return Qt::CopyAction;
    });
    QTest::mousePress(f->btDragDrop, Qt::LeftButton);
    ASSERT_EQ(urls.size(), 1);
    const QString file = urls[0].toLocalFile();
    EXPECT_EQ(file, CurrentSession_UConstants().TempDir() + QStringLiteral("Drag&Drop/Plan_ Juli_.pdf"));
    QFile copy(file);
    ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
    EXPECT_EQ(copy.readAll(), bytes);
    EXPECT_FALSE(treeTookDrops);
    EXPECT_TRUE(f->TreeDocuments->acceptDrops());

    // From the tree's drag column, once the mouse moved far enough; a cancelled drag too.
    urls.clear();
    TFormDokments::ExecuteFileDragProc.Set([&](QDrag* drag) {
        urls = drag->mimeData()->urls();
        return Qt::IgnoreAction;
    });
    const QModelIndex cell = f->TreeModel->IndexOf(f->FindNode(QString::number(id)),
                                                   TDokuTreeModel::colDragSource);
    QWidget* viewport = f->TreeDocuments->viewport();
    const QPoint at = f->TreeDocuments->visualRect(cell).center();
    QTest::mousePress(viewport, Qt::LeftButton, {}, at);
    EXPECT_TRUE(urls.isEmpty());
    QMouseEvent move(QEvent::MouseMove, at + QPoint(30, 0), viewport->mapToGlobal(at + QPoint(30, 0)),
                     Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &move);
    ASSERT_EQ(urls.size(), 1);
    EXPECT_EQ(urls[0].toLocalFile(), file);
    EXPECT_TRUE(f->TreeDocuments->acceptDrops());

    m_answers.Expect(QStringLiteral("Bitte ziehen Sie diesen Button"), Vcl::mrOk);
    f->rbDragDrop->trigger();
}

// A caption with a point or a slash in it leaves as the stored file's type, in the folder meant.
TEST_F(DokumentsOutputTest, DraggedOutAndSavedFilesKeepTheStoredExtensionAndTheirFolder) {
    const int offer = Store("%PDF-1.4 Angebot", QStringLiteral("Angebot Fa.Schmidt"),
                            QStringLiteral("angebot.pdf"));
    const int bill = Store("%PDF-1.4 Rechnung", QStringLiteral("Rechnung 1/2024"),
                           QStringLiteral("rechnung.pdf"));
    TFormDokments* f = Open(offer);
    QList<QUrl> urls;
    TFormDokments::ExecuteFileDragProc.Set([&](QDrag* drag) {
        urls = drag->mimeData()->urls();
        return Qt::CopyAction;
    });
    const QString dragFolder = CurrentSession_UConstants().TempDir() + QStringLiteral("Drag&Drop/");
    for (const auto& [id, name] : {std::pair{offer, QStringLiteral("Angebot Fa.Schmidt.pdf")},
                                   std::pair{bill, QStringLiteral("Rechnung 1_2024.pdf")}}) {
        ASSERT_TRUE(f->TreeMenuSelect(QString::number(id)));
        QTest::mousePress(f->btDragDrop, Qt::LeftButton);
        ASSERT_EQ(urls.size(), 1);
        EXPECT_EQ(urls[0].toLocalFile(), dragFolder + name);
        EXPECT_TRUE(QFileInfo(urls[0].toLocalFile()).isFile());
        m_answers.ExpectFile(QStringLiteral("speichern"), {});
        f->acDocumentExportFileSaveAs->trigger();
        EXPECT_EQ(m_answers.FileDialogsShown().back().request.fileName, name);
    }
    EXPECT_FALSE(QFileInfo::exists(dragFolder + QStringLiteral("2024.pdf")));
}

// A text document mailed from the window reads in the mail program as it reads in the store.
TEST_F(DokumentsOutputTest, AMailedTextDocumentDecodesToItsOwnText) {
    const QString text = QStringLiteral("Angebot Fassung B, überarbeitet\n");
    const int id = Store(text.toUtf8(), QStringLiteral("Angebot"), QStringLiteral("angebot.txt"));
    TFormDokments* f = Open(id);
    s_dm->SetIntSetting(QStringLiteral("MailSendMethod"), 5);
    f->acDocumentExportMail->trigger();
    ASSERT_EQ(m_answers.OpenedUrls().size(), 1);
    const QString draft = m_answers.OpenedUrls().back().toLocalFile();
    const mailtest::Draft read = mailtest::ParseWithGMime(draft);
    // The body's text first, then the attachment.
    const mailtest::Part* part = read.All(QStringLiteral("text/plain")).value(1);
    ASSERT_TRUE(part);
    EXPECT_EQ(part->fileName, QStringLiteral("Angebot.txt"));
    EXPECT_EQ(part->charset.toLower(), QStringLiteral("utf-8"));
    QString decoded;
    for (const QJsonValue v : mailtest::ParseWithPython(draft)[QStringLiteral("parts")].toArray())
        if (v[QStringLiteral("filename")].toString() == QStringLiteral("Angebot.txt"))
            decoded = v[QStringLiteral("text")].toString();
    EXPECT_EQ(decoded, text);
}

TEST_F(DokumentsOutputTest, EachMailGetsFilesOfItsOwnAndStoredMailsTravelUnencoded) {
    const int first = Store("%PDF-1.4 Kunde A", QStringLiteral("Angebot"), QStringLiteral("a.pdf"));
    const int second =
        Store("%PDF-1.4 Kunde B", QStringLiteral("Angebot"), QStringLiteral("b.pdf"));
    TFormDokments* f = Open(first);
    s_dm->SetIntSetting(QStringLiteral("MailSendMethod"), 0);
    const auto attached = [this]() -> QString {
        const QStringList args = m_answers.Launched().back().arguments;
        const qsizetype at = args.indexOf(QStringLiteral("--attach"));
        return at < 0 ? QString() : args.value(at + 1);
    };
    f->acDocumentExportMail->trigger();
    const QString a = attached();
    ASSERT_TRUE(f->TreeMenuSelect(QString::number(second)));
    f->acDocumentExportMail->trigger();
    const QString b = attached();
    // The first compose window still points at the first customer's bytes.
    EXPECT_NE(a, b);
    EXPECT_EQ(QFileInfo(a).fileName(), QStringLiteral("Angebot.pdf"));
    QFile fa(a), fb(b);
    ASSERT_TRUE(fa.open(QIODevice::ReadOnly) && fb.open(QIODevice::ReadOnly));
    EXPECT_EQ(fa.readAll(), QByteArray("%PDF-1.4 Kunde A"));
    EXPECT_EQ(fb.readAll(), QByteArray("%PDF-1.4 Kunde B"));
    // Gone at shutdown with their folders.
    DeleteFilesOnShutdownNow();
    EXPECT_FALSE(QFileInfo::exists(QFileInfo(a).absolutePath()));
    EXPECT_FALSE(QFileInfo::exists(QFileInfo(b).absolutePath()));

    // A stored mail attached to a draft is a message part that a reader opens as a mail.
    const QByteArray stored =
        "From: a@example.org\r\nSubject: Lieferverzug\r\n"
        "Content-Type: text/plain; charset=utf-8\r\n"
        "Content-Transfer-Encoding: 8bit\r\n\r\nSehr geehrte Frau M\xc3\xbcller\r\n";
    const int mail = Store(stored, QStringLiteral("Mail Lieferverzug"), QStringLiteral("m.eml"));
    f->TreeMenuCreate(false);
    ASSERT_TRUE(f->TreeMenuSelect(QString::number(mail)));
    s_dm->SetIntSetting(QStringLiteral("MailSendMethod"), 5);
    f->acDocumentExportMail->trigger();
    const QJsonObject read = mailtest::ParseWithPython(m_answers.OpenedUrls().back().toLocalFile());
    EXPECT_TRUE(read.value(QStringLiteral("defects")).toArray().isEmpty());
    QStringList types;
    QString inner;
    for (const QJsonValue v : read.value(QStringLiteral("parts")).toArray()) {
        types << v[QStringLiteral("type")].toString();
        if (types.contains(QStringLiteral("message/rfc822")) &&
            v[QStringLiteral("type")].toString() == QStringLiteral("text/plain"))
            inner = v[QStringLiteral("text")].toString();
    }
    EXPECT_TRUE(types.contains(QStringLiteral("message/rfc822"))) << types.join(u' ').toStdString();
    EXPECT_EQ(inner.trimmed(), QStringLiteral("Sehr geehrte Frau Müller"));
}

TEST_F(DokumentsOutputTest, NamesNearTheLimitComeOutAndLongCaptionsAreCut) {
    // 250 bytes: in the store and out again under the same name.
    const QString longName = QString(123, QChar(0x00e4)) + QStringLiteral(".pdf");
    ASSERT_EQ(QFile::encodeName(longName).size(), 250);
    const int id = Store("%PDF-1.4 lang", QStringLiteral("Lang"), longName);
    TFormDokments* f = Open(id);
    const QString target = m_base.filePath(longName);
    m_answers.ExpectFile(QStringLiteral("speichern"), {target});
    f->acDocumentExportFileSaveAs->trigger();
    EXPECT_EQ(m_answers.Pending(), 0);
    QFile saved(target);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll(), QByteArray("%PDF-1.4 lang"));

    // A caption of 300 characters: the name offered is cut to 255 bytes and keeps the extension.
    TestDatabase::Exec(QStringLiteral("UPDATE picndoku SET pd_descr = repeat('Ö', 300) "
                                      "WHERE pd_id = %1")
                           .arg(id));
    f->TreeMenuCreate(false);
    ASSERT_TRUE(f->TreeMenuSelect(QString::number(id)));
    m_answers.ExpectFile(QStringLiteral("speichern"), {});
    f->acDocumentExportFileSaveAs->trigger();
    const QString offered = m_answers.FileDialogsShown().back().request.fileName;
    EXPECT_EQ(offered, QString(125, QChar(0x00d6)) + QStringLiteral(".pdf"));
    // Dragged out under that name.
    QList<QUrl> urls;
    TFormDokments::ExecuteFileDragProc.Set([&](QDrag* drag) {
        urls = drag->mimeData()->urls();
        return Qt::CopyAction;
    });
    QTest::mousePress(f->btDragDrop, Qt::LeftButton);
    ASSERT_EQ(urls.size(), 1);
    EXPECT_EQ(QFileInfo(urls[0].toLocalFile()).fileName(), offered);
    EXPECT_TRUE(QFileInfo::exists(urls[0].toLocalFile()));
}

TEST_F(DokumentsOutputTest, TheScannerActionsPassTheirParametersAndComeBack) {
    TFormDokments* f = Open();
    ASSERT_TRUE(f->TreeMenuSelect(QStringLiteral("belege")));
    QList<QStringList> params;
    QList<TDokumentInsertData> data;
    TDMSys::_DMSScan.Set([&](QObject* owner, bool, TDokument* doc, const QStringList& p,
                             const QString&, const QString&, const TDokumentEvent& event) {
        EXPECT_EQ(owner, f);
        EXPECT_FALSE(f->acDocFromWebCam->isEnabled());
        params << p;
        data << doc->InsertData();
        if (p.contains(QStringLiteral("ScanSource=manuell")))
            throw EVoskException(QStringLiteral("Kamera nicht gefunden"));
        // A scanned page stored through the store appears in the tree.
        QBuffer b;
        b.setData("II*\\0");
        b.open(QIODevice::ReadOnly);
        doc->DMSAddFileAsBLOB(b, QStringLiteral("scan.tif"), QStringLiteral("adressen"),
                              QStringLiteral("5"));
        event(nullptr, doc, 0, {});
    });
    f->acDocFromScannerWithoutBarcodesMultiPage->trigger();
    m_answers.ExpectAny(Vcl::mrOk); // the camera's failure
    f->acDocFromWebCam->trigger();
    ASSERT_EQ(params.size(), 2);
    EXPECT_EQ(params[0], (QStringList{"ScanPath=Scanner", "ScanSource="}));
    EXPECT_EQ(params[1], (QStringList{"ScanPath=Scanner", "ScanSource=manuell"}));
    EXPECT_EQ(data[0].DokType, QStringLiteral("LS"));
    EXPECT_EQ(data[0].ParentNodeIdent, QStringLiteral("belege"));
    EXPECT_TRUE(f->acDocFromWebCam->isEnabled());
    EXPECT_TRUE(f->acDocFromScannerWithoutBarcodesMultiPage->isEnabled());
    QApplication::processEvents();
    const QString newId = TestDatabase::Scalar(QStringLiteral("SELECT max(pd_id) FROM picndoku"));
    EXPECT_NE(f->FindNode(newId), nullptr);

    // Without a scan service the user is told so.
    TDMSys::_DMSScan.Reset();
    m_answers.Expect(QStringLiteral("Kein Scan-Dienst geladen."), Vcl::mrOk);
    f->acScanDialogOpen->trigger();
}

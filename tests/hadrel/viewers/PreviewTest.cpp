// The preview dialog and the show-document entry against a real store: the viewer by extension,
// the dialog's size, the checks before a document is shown for editing in their order, and the
// revision lock that the dialog takes and gives back.
#include "ViewerFixture.h"

#include <UFileViewerPDF.h>
#include <UFileViewerTIFF.PageSelector.h>

#include <TVoskRibbon.h>
#include <UModulFormSeams.h>
#include <Vcl.Components.h>
#include <view/TImageEnVect.h>

#include <QApplication>
#include <QPainter>
#include <QPdfDocument>
#include <QPdfWriter>
#include <QTemporaryDir>
#include <QTabBar>

using namespace viewertest;

namespace {

// A viewer of another kind, as the PDF viewer's unit would register it.
class OtherViewer final : public TFileViewerFrame {
public:
    OtherViewer(QObject* owner, bool editable)
        : TFileViewerFrame(owner, nullptr, editable, nullptr), editablePages(editable) {
        FinishCreate();
    }
    void Recreate(TDokument* d, bool) override { SetDokument(d); }
    bool editablePages;
};

// The document window as the dialog sees it when it closes.
class FakeDokments final : public QWidget, public UModulFormSeams::IFormDokments {
public:
    QWidget* Window() override { return this; }
    void SetOwnerModulForm(QWidget*) override {}
    void SetAlternateDokIdent(const QString&) override {}
    void Show() override {}
    void TreeMenuCreate(bool) override {}
    bool TreeMenuSelect(const QString& id) override {
        calls << QStringLiteral("select ") + id;
        return true;
    }
    void SperrDokuAction(QObject* sender, QObject* source, UModulFormSeams::TSperrDokuActionType t) override {
        calls << QStringLiteral("node %1 %2 %3")
                     .arg(sender == this)
                     .arg(Vcl::ClassName(source))
                     .arg(int(t));
    }
    TDokument* Dokument1() override { return &own; }
    TDokument own;
    QStringList calls;
};

int previews() {
    int n = 0;
    for (QWidget* w : QApplication::allWidgets())
        n += qobject_cast<TFormFilePreview*>(w) != nullptr;
    return n;
}

void closeAndFree(QPointer<TFormFilePreview>& dialog) {
    ASSERT_TRUE(dialog);
    dialog->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(dialog.isNull());
}

} // namespace

TEST_F(ViewerTest, TheViewerComesFromTheTableByExtension) {
    for (const QString& ext : {QStringLiteral(".TIF"), QStringLiteral(".Tiff"), QStringLiteral("."),
                               QString(), QStringLiteral("akte/scan.TIFF")}) {
        TFormFilePreview dialog(nullptr, ext, false);
        EXPECT_TRUE(qobject_cast<TFileViewerFrameTIFF*>(dialog.FImagePages)) << ext.toStdString();
        EXPECT_EQ(static_cast<TFileViewerFrameTIFF*>(dialog.FImagePages.data())->EditablePages(), 0);
    }
    EXPECT_EQ(UFilePreview::FileExtension(QStringLiteral("pdf")), QString()); // no dot: no extension
    EXPECT_EQ(UFilePreview::FileExtension(QStringLiteral("a.b/brief")), QString());

    // PDF has its viewer.
    {
        TFormFilePreview dialog(nullptr, QStringLiteral("brief.Pdf"), false);
        EXPECT_TRUE(qobject_cast<TFileViewerFramePDF*>(dialog.FImagePages));
    }
    // Unknown types, and PDF while no PDF viewer is registered: the TIFF viewer, and the user is told.
    UFilePreview::UnregisterViewer(QStringLiteral(".pdf"));
    for (const QString& ext : {QStringLiteral(".docx"), QStringLiteral(".pdf")}) {
        m_answers.Expect(QStringLiteral("TFormFilePreview.Create: Dateityp \"") + ext +
                             QStringLiteral("\" ist nicht implementiert"),
                         Vcl::mrOk);
        TFormFilePreview dialog(nullptr, ext, false);
        EXPECT_TRUE(qobject_cast<TFileViewerFrameTIFF*>(dialog.FImagePages));
    }

    UFilePreview::RegisterViewer(QStringLiteral(".pdf"), [](TFormFilePreview* d, bool) {
        return new OtherViewer(d, false);
    });
    {
        TFormFilePreview dialog(nullptr, QStringLiteral("Vertrag.PDF"), false);
        auto* other = dynamic_cast<OtherViewer*>(dialog.FImagePages.data());
        ASSERT_TRUE(other);
        EXPECT_FALSE(other->editablePages);
        // A scan is always pages: the TIFF viewer, editable.
        TFormFilePreview scan(nullptr, QStringLiteral(".pdf"), true);
        ASSERT_TRUE(qobject_cast<TFileViewerFrameTIFF*>(scan.FImagePages));
    }
    UFilePreview::UnregisterViewer(QStringLiteral(".pdf"));

    EXPECT_EQ(UFilePreview::DialogSize({1920, 1080}), QSize(1200, 950));
    EXPECT_EQ(UFilePreview::DialogSize({1280, 1024}), QSize(1080, 924));
}

TEST_F(ViewerTest, ShowDokumentShowsTheDocumentAndFreesItsDialog) {
    const int id = store(Tiff(3));
    QWidget owner;
    QPointer<TFormFilePreview> dialog = ShowDokument(&owner, id, false);
    ASSERT_TRUE(dialog);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->windowTitle(),
              makeText(3053, QStringLiteral("Dokument")) + QStringLiteral(" : Lieferschein"));
    EXPECT_FALSE(dialog->PanelOkAbb->isVisible());
    auto* viewer = qobject_cast<TFileViewerFrameTIFF*>(dialog->FImagePages);
    ASSERT_TRUE(viewer);
    EXPECT_EQ(viewer->EditablePages(), 1);
    EXPECT_EQ(viewer->imOverviewPages()->ImageCount(), 3);
    EXPECT_EQ(viewer->tcPages->Count(), 3);
    // The viewer works on a copy of its own, which goes with it.
    QPointer<TDokument> copy = viewer->Dokument();
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->objectName(), QStringLiteral("TFormFilePreview_Temp"));
    EXPECT_EQ(copy->Id(), id);
    EXPECT_EQ(lockUser(id), QStringLiteral("-")); // viewing takes no lock
    closeAndFree(dialog);
    EXPECT_TRUE(copy.isNull());

    // A document that is not there.
    m_answers.Expect(QStringLiteral("Dokument nicht gefunden"), Vcl::mrOk);
    EXPECT_EQ(ShowDokument(&owner, 987654, false), nullptr);
    m_answers.Expect(QStringLiteral("Dokument nicht gefunden"), Vcl::mrOk);
    EXPECT_EQ(ShowDokument(&owner, nullptr, false, nullptr), nullptr);

    // Through the document class's show hook, which the unit fills.
    TDokument doc;
    doc.AssignToDokId(id);
    QPointer<TFormFilePreview> hooked = qobject_cast<TFormFilePreview*>(doc.ShowDokument(&owner));
    ASSERT_TRUE(hooked);
    closeAndFree(hooked);
}

TEST_F(ViewerTest, EditingIsRefusedInTheOrderOfTheChecksAndNothingStaysLocked) {
    QWidget owner;
    const int plain = store(Tiff(2));

    // No view right: refused before anything else.
    testsupport::TestDatabase::Exec(
        QStringLiteral("INSERT INTO dokutypes_rights VALUES ('LS', 0, 71, false)"));
    m_answers.Expect(QStringLiteral("Keine Berechtigung"), Vcl::mrOk);
    EXPECT_THROW(ShowDokument(&owner, plain, true), EAbort);
    testsupport::TestDatabase::Exec(QStringLiteral("DELETE FROM dokutypes_rights"));

    // No edit right, asked for editing.
    testsupport::TestDatabase::Exec(
        QStringLiteral("INSERT INTO dokutypes_rights VALUES ('LS', 1, 71, false)"));
    m_answers.Expect(QStringLiteral("Keine Berechtigung"), Vcl::mrOk);
    EXPECT_THROW(ShowDokument(&owner, plain, true), EAbort);
    EXPECT_EQ(lockUser(plain), QStringLiteral("-"));
    testsupport::TestDatabase::Exec(QStringLiteral("DELETE FROM dokutypes_rights"));

    // A write-once type.
    const int worm = store(Tiff(1), QStringLiteral("VT"));
    m_answers.Expect(QStringLiteral("WORM-Schreibschutz"), Vcl::mrOk);
    EXPECT_THROW(ShowDokument(&owner, worm, true), EAbort);
    EXPECT_EQ(lockUser(worm), QStringLiteral("-"));

    // Locked by someone else: the holder is named, the lock stays his.
    lock(plain, QStringLiteral("bernd"));
    m_answers.Expect(QStringLiteral("Gesperrt von bernd"), Vcl::mrOk);
    EXPECT_THROW(ShowDokument(&owner, plain, true), EAbort);
    EXPECT_EQ(lockUser(plain), QStringLiteral("bernd"));

    // Checked out by the user for outside editing.
    lock(plain, QStringLiteral("anna"), QStringLiteral("/home/anna/KORVEX ERP/scan.tiff"));
    m_answers.Expect(QStringLiteral("zur externen Bearbeitung ausgecheckt"), Vcl::mrOk);
    EXPECT_THROW(ShowDokument(&owner, plain, true), EAbort);
    EXPECT_EQ(lockUser(plain), QStringLiteral("anna"));
    EXPECT_EQ(previews(), 0);
}

TEST_F(ViewerTest, TheDialogGivesBackTheLockItTookWhoeverOwnsIt) {
    const int id = store(Tiff(2));
    // A module window owns the dialog: the lock taken for editing is released when it closes.
    QWidget moduleWindow;
    QPointer<TFormFilePreview> dialog = ShowDokument(&moduleWindow, id, true);
    ASSERT_TRUE(dialog);
    EXPECT_EQ(lockUser(id), QStringLiteral("anna"));
    auto* viewer = qobject_cast<TFileViewerFrameTIFF*>(dialog->FImagePages);
    EXPECT_EQ(viewer->EditablePages(), 2);
    EXPECT_TRUE(viewer->ribMenuEdit->IsTabVisible());
    EXPECT_TRUE(viewer->imOverview->isVisibleTo(viewer));
    closeAndFree(dialog);
    EXPECT_EQ(lockUser(id), QStringLiteral("-"));

    // A lock the user held before stays when the dialog closes.
    lock(id, QStringLiteral("anna"));
    dialog = ShowDokument(&moduleWindow, id, true);
    ASSERT_TRUE(dialog);
    EXPECT_TRUE(dialog->FWasLocked);
    closeAndFree(dialog);
    EXPECT_EQ(lockUser(id), QStringLiteral("anna"));
    testsupport::TestDatabase::Exec(QStringLiteral("UPDATE picndoku_revision SET pdr_lock_user = NULL"));

    // The document window's dialog also selects the node and refreshes it.
    FakeDokments window;
    window.own.AssignToDokId(id);
    dialog = ShowDokument(&window, id, true);
    ASSERT_TRUE(dialog);
    closeAndFree(dialog);
    EXPECT_EQ(lockUser(id), QStringLiteral("-"));
    EXPECT_EQ(window.calls, (QStringList{QStringLiteral("select %1").arg(id),
                                         QStringLiteral("node 1 TFormFilePreview 0")}));

    // Viewing only: a lock the user holds from elsewhere is left alone.
    lock(id, QStringLiteral("anna"));
    dialog = ShowDokument(&moduleWindow, id, false);
    ASSERT_TRUE(dialog);
    closeAndFree(dialog);
    EXPECT_EQ(lockUser(id), QStringLiteral("anna"));
}

TEST_F(ViewerTest, ADocumentThatDoesNotLoadOpensNothing) {
    const int notTiff = store(QByteArray("kein TIFF, sondern Text"), QStringLiteral("LS"),
                              QStringLiteral("notiz.tiff"));
    QWidget owner;
    try {
        ShowDokument(&owner, notTiff, true);
        ADD_FAILURE() << "a broken file was shown";
    } catch (const EVoskException& e) {
        EXPECT_EQ(e.TextNr(), 17102);
        EXPECT_TRUE(e.Message().startsWith(QStringLiteral("Fehler beim Laden des Dokuments \"LS/")))
            << e.Message().toStdString();
        EXPECT_TRUE(e.Message().contains(QStringLiteral("Ungültiges Bild (Keine TIFF-Datei")));
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(previews(), 0);
    EXPECT_EQ(lockUser(notTiff), QStringLiteral("-"));
    EXPECT_EQ(scalar(QStringLiteral("SELECT count(*) FROM dms_annotation")), QStringLiteral("0"));
}

TEST_F(ViewerTest, APreviewOfANewDocument) {
    QPointer<TDokument> doc = new TDokument(nullptr);
    doc->AssignToRecNo(QStringLiteral("adressen"), QStringLiteral("5"));
    QStringList events;
    QImage picture(120, 90, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    const QStringList params{QStringLiteral("parentnodeident=belege")};
    QWidget owner;
    QPointer<TFormFilePreview> dialog = ShowPreview(
        &owner, doc, &picture, &params, QStringLiteral("LS"), QStringLiteral("A-5"), QString(), true,
        false,
        [&](QObject* sender, TDokument* d, TDokumentEventMode mode, const QStringList&) {
            events << QStringLiteral("%1 %2").arg(Vcl::ClassName(sender)).arg(int(mode));
            EXPECT_EQ(d, doc.data());
        },
        QStringLiteral("scanner"));
    ASSERT_TRUE(dialog);
    EXPECT_EQ(events, QStringList{QStringLiteral("TFileViewerFrameTIFF 4")});
    EXPECT_TRUE(doc->NewDocumentFlag());
    EXPECT_EQ(doc->InsertData().DokType, QStringLiteral("LS"));
    EXPECT_EQ(doc->InsertData().ParentNodeIdent, QStringLiteral("belege"));
    EXPECT_EQ(doc->InsertData().Source, QStringLiteral("scanner"));
    // Without a "Caption" parameter the name is the time of day and the login.
    EXPECT_TRUE(dialog->GetDokName().endsWith(QStringLiteral("_anna"))) << dialog->GetDokName().toStdString();
    EXPECT_EQ(doc->NameQuery(), dialog->GetDokName());
    EXPECT_TRUE(dialog->BtRescan->isVisibleTo(dialog));
    EXPECT_TRUE(dialog->BtOk->isEnabled());
    auto* viewer = qobject_cast<TFileViewerFrameTIFF*>(dialog->FImagePages);
    ASSERT_EQ(viewer->imOverviewPages()->ImageCount(), 1);
    EXPECT_EQ(viewer->imOverviewPages()->Params(0).TIFF_Compression, Imaging::ioTIFF_JPEG);
    EXPECT_EQ(viewer->imOverviewPages()->Params(0).TIFF_ImageDescription,
              QByteArray("Code-Source: ShowPreview.Image"));
    EXPECT_EQ(viewer->EditablePages(), 3);
    // OK stores the new document with its page and closes.
    dialog->BtOk->click();
    EXPECT_EQ(scalar(QStringLiteral("SELECT pd_doktype || ' ' || pd_dokident || ' ' || "
                                    "pd_parentnodeident FROM picndoku")),
              QStringLiteral("LS A-5 belege"));
    EXPECT_FALSE(doc->NewDocumentFlag());
    closeAndFree(dialog);
    // The document was handed to the viewer, which took it along.
    EXPECT_TRUE(doc.isNull());
}

// A document whose file stays outside the store is shown from its path, read-only: a TIFF with
// its pages, a PDF; a link whose file is gone says so and shows nothing.
TEST_F(ViewerTest, ALinkedFileIsShownInTheViewerFromItsPath) {
    QTemporaryDir dir;
    const auto link = [&](const QString& name, const QByteArray& bytes) {
        const QString path = dir.filePath(name);
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
        f.close();
        return scalar(QStringLiteral("INSERT INTO picndoku (pd_tablename, pd_dbrid, pd_doktype, "
                                     "pd_islink, pd_path, pd_dokumentfile, pd_descr) VALUES "
                                     "('adressen', 5, 'LS', true, '%1', '%1', 'Verknüpft') "
                                     "RETURNING pd_id")
                          .arg(path))
            .toInt();
    };
    QWidget owner;
    const int tiff = link(QStringLiteral("lieferschein.tif"), Tiff(3));
    QPointer<TFormFilePreview> dialog = ShowDokument(&owner, tiff, true);
    ASSERT_TRUE(dialog);
    auto* viewer = qobject_cast<TFileViewerFrameTIFF*>(dialog->FImagePages);
    ASSERT_TRUE(viewer);
    EXPECT_EQ(viewer->EditablePages(), 1);
    ASSERT_EQ(viewer->imOverviewPages()->ImageCount(), 3);
    EXPECT_EQ(viewer->imCurrentPage->Model().Bitmap(), Page(0));
    viewer->tcPages->SetCurrentIndex(2);
    EXPECT_EQ(viewer->imCurrentPage->Model().Bitmap(), Page(2));
    closeAndFree(dialog);

    QByteArray pdf;
    {
        QBuffer buffer(&pdf);
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter writer(&buffer);
        QPainter p(&writer);
        p.drawText(QPoint(100, 100), QStringLiteral("Verknüpft"));
        writer.newPage();
    }
    dialog = ShowDokument(&owner, link(QStringLiteral("brief.pdf"), pdf), false);
    ASSERT_TRUE(dialog);
    auto* pdfViewer = qobject_cast<TFileViewerFramePDF*>(dialog->FImagePages);
    ASSERT_TRUE(pdfViewer);
    EXPECT_EQ(pdfViewer->Pdf()->status(), QPdfDocument::Status::Ready);
    EXPECT_EQ(pdfViewer->Pdf()->pageCount(), 2);
    closeAndFree(dialog);

    QFile::remove(dir.filePath(QStringLiteral("lieferschein.tif")));
    try {
        ShowDokument(&owner, tiff, false);
        ADD_FAILURE() << "a link without its file was shown";
    } catch (const EVoskException& e) {
        EXPECT_TRUE(e.Message().contains(QStringLiteral("Datei existiert nicht")))
            << e.Message().toStdString();
    }
}

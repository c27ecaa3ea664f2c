// The scan service: a stack split into documents at barcodes, the scan in the preview, and a file
// stored as it is with the barcodes it carries.

#include "ViewerFixture.h"

#include <DMSys.h>
#include <EventGuard.h>
#include <IEAcquire.h>
#include <ScanPages.h>
#include <Uloghelper.h>

#include <QApplication>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTemporaryDir>

using ZXing::BarcodeFormat;

namespace {

QList<TFormFilePreview*> previews() { return viewertest::OpenPreviews(); }

TFileViewerFrameTIFF* viewerOf(TFormFilePreview* p) { return qobject_cast<TFileViewerFrameTIFF*>(p->FImagePages); }

QImage page(const QStringList& codes, int seed) {
    QList<QImage> pictures;
    for (const QString& c : codes)
        pictures << scanpages::Barcode(c, BarcodeFormat::Code128);
    return scanpages::Page(600, 800, pictures, quint32(seed));
}

class DMSScanTest : public viewertest::ViewerTest {
protected:
    static void SetUpTestSuite() {
        scanpages::UseSaneTestBackend();
        ViewerTest::SetUpTestSuite();
    }
    void SetUp() override {
        ViewerTest::SetUp();
        TLogSink::Clear();
        m_dm.SaveLastVal(QStringLiteral("HintScanDPI"), QStringLiteral("OK"));
        m_template.LoadByRecord(QStringLiteral("adressen"), QStringLiteral("5"), false);
    }
    void TearDown() override {
        for (TFormFilePreview* p : previews())
            delete p; // without the save question of a closing preview
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        Imaging::TIEAcquire::SetDefaultBackend(nullptr);
        ViewerTest::TearDown();
    }
    void feed(QList<QImage> pages) {
        auto m = std::make_shared<Imaging::TMemoryAcquire>();
        m->SetPages(std::move(pages));
        Imaging::TIEAcquire::SetDefaultBackend(m);
    }
    void scan(const QStringList& params) {
        TDMSys::_DMSScan(&m_owner, false, &m_template, params, QStringLiteral("LS"), QStringLiteral("A-5"),
                         [this](QObject*, TDokument*, TDokumentEventMode mode, const QStringList& lines) {
                             m_events << QString::number(mode) + u':' + lines.join(u',');
                         });
    }
    QList<int> pageCounts() {
        QList<int> counts;
        for (TFormFilePreview* p : previews())
            counts << viewerOf(p)->imOverviewPages()->ImageCount();
        std::sort(counts.begin(), counts.end());
        return counts;
    }
    QWidget m_owner;
    TDokument m_template;
    QStringList m_events;
    viewertest::ErrorForms m_errors;
};

TEST_F(DMSScanTest, TheStackIsSplitWhereANewCodeBegins) {
    // A(X), B, C(X), D(Y): A+B+C and D.
    feed({page({"X"}, 1), page({}, 2), page({"X"}, 3), page({"Y"}, 4)});
    m_dm.SaveLastVal(QStringLiteral("HintScanDPI"), QString());
    m_answers.Expect(QStringLiteral("200 bis 300 dpi"), Vcl::mrOk); // once per user
    scan({QStringLiteral("ScanSource=Einseitig"), QStringLiteral("Barcodes=sbCode128,sbEAN8"),
          QStringLiteral("BarcodeMode=sbmWithTypes")});
    EXPECT_EQ(pageCounts(), (QList<int>{1, 3}));
    EXPECT_EQ(m_events, (QStringList{QStringLiteral("4:"), QStringLiteral("4:")}));
    for (TFormFilePreview* p : previews()) {
        TFileViewerFrameTIFF* v = viewerOf(p);
        EXPECT_EQ(v->FDMSScan_BarcodeMode, sbmWithTypes);
        EXPECT_TRUE(v->FBarcodeTypes.test(128) && v->FBarcodeTypes.test(8));
        EXPECT_EQ(v->FBarcodeOnlyFirst, foAllPages);
        EXPECT_EQ(p->Dokument()->InsertData().Source, QStringLiteral("scan"));
        EXPECT_EQ(p->Dokument()->InsertData().DokType, QStringLiteral("LS"));
    }
    EXPECT_TRUE(TLogSink::Contains(QStringLiteral(
        "TDMSys.Scan : Dokument einseitig scannen > Tablename=adressen RecId=5 DokType=LS DokIdent=A-5 "
        "OnDokEvent=True Barcodes@AllPages=sbCode128,sbEAN8 ")));
    EXPECT_TRUE(TLogSink::Contains(QStringLiteral("Barcode wird ignoriert - aktueller Barcode \"X\"")));
    EXPECT_TRUE(TLogSink::Contains(QStringLiteral("TDMSys.Scan : Dokument fertig gescannt > pd_id=")));

    // No code on the first page: a document per page; an unknown mode reads no barcodes later.
    for (TFormFilePreview* p : previews())
        delete p; // without the save question of a closing preview
    feed({page({}, 5), page({"X"}, 6), page({}, 7)});
    scan({QStringLiteral("ScanSource=einseitig"), QStringLiteral("Barcodes=sbCode128"),
          QStringLiteral("BarcodeMode=sbmMitTypen")});
    EXPECT_EQ(pageCounts(), (QList<int>{1, 1, 1}));
    for (TFormFilePreview* p : previews())
        EXPECT_EQ(viewerOf(p)->FDMSScan_BarcodeMode, kNoBarcodeMode);
    EXPECT_TRUE(TLogSink::Contains(QStringLiteral("BarcodeMode \"sbmMitTypen\" ist unbekannt")));
}

// Saving a scanned preview stores the document first; its barcodes are read from the stored
// pages afterwards and reach the owner with the new-document event.
TEST_F(DMSScanTest, ASavedScanIsCommittedBeforeItsBarcodesAreRead) {
    feed({page({"LS-4711"}, 1), page({}, 2)});
    scan({QStringLiteral("ScanSource=Einseitig"), QStringLiteral("Barcodes=sbCode128"),
          QStringLiteral("BarcodeMode=sbmWithTypes")});
    ASSERT_EQ(previews().size(), 1);
    TFileViewerFrameTIFF* v = viewerOf(previews().first());
    viewertest::StatusSteps status(*v);
    QString storedWhenSearched;
    status.onStep = [&](int percent) {
        if (percent == 70)
            storedWhenSearched = scalar(QStringLiteral("SELECT count(*) FROM picndoku WHERE pd_tablename = 'adressen'"));
    };
    m_events.clear();
    v->btEditSaveClick(nullptr);
    EXPECT_EQ(storedWhenSearched, QStringLiteral("1"));
    EXPECT_EQ(m_events, QStringList{QStringLiteral("0:CODE-128=LS-4711")});
    const auto at = [&](const char* step) { return status.steps.indexOf(QString::fromUtf8(step)); };
    EXPECT_GE(at("20 Dokumentverwaltung aktualisieren"), 0) << status.steps.join(u'|').toStdString();
    EXPECT_LT(at("20 Dokumentverwaltung aktualisieren"), at("70 Barcodes suchen"));
    EXPECT_LT(at("70 Barcodes suchen"), at("80 Zusammenhängende Dokumente suchen"));
}

TEST_F(DMSScanTest, TheDefaultScanFillsOnePreviewFromTheFeeder) {
    m_dm.SaveLastVal(QStringLiteral("TFileViewerFrameTIFF~Scanner"), QStringLiteral("test:0"));
    scan({});
    ASSERT_EQ(previews().size(), 1);
    // The test device's feeder holds ten sheets; a test run before may have taken some.
    const int pages = pageCounts().value(0);
    EXPECT_GE(pages, 1);
    EXPECT_LE(pages, 10);
    EXPECT_EQ(viewerOf(previews().first())->FDMSScan_BarcodeMode, kNoBarcodeMode);
    EXPECT_TRUE(TLogSink::Contains(QStringLiteral("TDMSys.Scan : Dokument mehrseitig scannen > Tablename=adressen "
                                                  "RecId=5 DokType=LS DokIdent=A-5 OnDokEvent=True Barcodes=default ")));
}

TEST_F(DMSScanTest, AFileIsStoredAsItIsWithItsBarcodes) {
    QTemporaryDir dir;
    const QString tif = dir.filePath(QStringLiteral("Beleg.TIF"));
    Imaging::TTiffWriter w;
    Imaging::TIOParams params;
    params.TIFF_Compression = Imaging::ioTIFF_LZW;
    w.WritePage(page({"BELEG-1"}, 1), params);
    w.WritePage(page({"BELEG-2"}, 2), params);
    QFile f(tif);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(w.Finish());
    f.close();

    m_answers.ExpectFile({}, {tif});
    m_answers.Expect(QStringLiteral("Eingelesene Datei löschen?"), Vcl::mrNo);
    scan({QStringLiteral("ScanSource=otherfile"), QStringLiteral("Caption=Beleg vom Lieferanten"),
          QStringLiteral("parentnodeident=belege"), QStringLiteral("Barcodes=sbCode128"),
          QStringLiteral("BarcodeMode=sbmWithTypes")});
    EXPECT_EQ(m_events, (QStringList{QStringLiteral("4:"), QStringLiteral("0:CODE-128=BELEG-1,CODE-128=BELEG-2")}));
    EXPECT_TRUE(QFile::exists(tif));
    EXPECT_EQ(scalar(QStringLiteral("SELECT pd_descr || '|' || pd_doktype || '|' || pd_parentnodeident FROM picndoku "
                                    "WHERE pd_tablename = 'adressen'")),
              QStringLiteral("Beleg vom Lieferanten|LS|belege"));
    EXPECT_FALSE(m_template.InsertData().Active);
    EXPECT_TRUE(m_template.InsertData().Name.isEmpty());
    EXPECT_TRUE(TLogSink::Contains(QStringLiteral("Seiten=2 Codes=2>CODE-128=BELEG-1,CODE-128=BELEG-2")));

    // A picture that cannot be read: the barcode error is shown, the file is stored all the same.
    const QString bad = dir.filePath(QStringLiteral("kaputt.png"));
    QFile b(bad);
    ASSERT_TRUE(b.open(QIODevice::WriteOnly));
    b.write("kein Bild");
    b.close();
    m_events.clear();
    m_answers.ExpectFile({}, {bad});
    m_answers.Expect(QStringLiteral("in DMSScan-ScanBarcodes: "), Vcl::mrOk);
    m_answers.Expect(QStringLiteral("Eingelesene Datei löschen?"), Vcl::mrYes);
    scan({QStringLiteral("ScanSource=otherfile"), QStringLiteral("Barcodes=sbCode128")});
    EXPECT_EQ(m_events, (QStringList{QStringLiteral("4:"), QStringLiteral("0:")}));
    EXPECT_FALSE(QFile::exists(bad));
    EXPECT_EQ(scalar(QStringLiteral("SELECT count(*) FROM picndoku WHERE pd_tablename = 'adressen'")), QStringLiteral("2"));
}

TEST_F(DMSScanTest, AFailedStoreLeavesNothingAndAsksNothing) {
    m_answers.ExpectFile({}, {QStringLiteral("/nirgends/gibt/es/diese.pdf")});
    EXPECT_ANY_THROW(scan({QStringLiteral("ScanSource=otherfile"), QStringLiteral("Barcodes=sbCode128")}));
    EXPECT_EQ(scalar(QStringLiteral("SELECT count(*) FROM picndoku")), QStringLiteral("0"));
    EXPECT_FALSE(m_template.InsertData().Active);
    EXPECT_EQ(m_events, QStringList{QStringLiteral("4:")});
    // Cancelling the file dialog ends the call silently.
    m_answers.ExpectFile({}, {});
    EXPECT_THROW(scan({QStringLiteral("ScanSource=otherfile")}), EAbort);
    EXPECT_TRUE(TLogSink::Contains(QStringLiteral("TDMSys.Scan : Dokument fertig gescannt")));
}

TEST_F(DMSScanTest, TheServiceIsInItsSlotWhileTheViewersAreLoaded) {
    EXPECT_TRUE(TDMSys::_DMSScan.Assigned());
    EXPECT_TRUE(TFileViewerFrameTIFF::Rescan.Assigned());
    Rtl::Package::Get(QStringLiteral("hadrel")).Finalize();
    EXPECT_FALSE(TDMSys::_DMSScan.Assigned());
    EXPECT_FALSE(TFileViewerFrameTIFF::ChooseScanSource.Assigned());
    Rtl::Package::Get(QStringLiteral("hadrel")).Initialize();
    EXPECT_TRUE(TDMSys::_DMSScan.Assigned());
}

} // namespace

// A(X), B(Y), C landscape, then the feeder fails: A and B+C are kept as documents, C is turned
// upright as the second page of its own document, and the failure is told. The unsaved previews
// list no related documents (their template's record has some) and are named by the time.
TEST_F(DMSScanTest, AFeederFailingPartWayKeepsTheDocumentsReadAndSaysSo) {
    testsupport::TestDatabase::Exec(QStringLiteral(
        "DELETE FROM recnokeyword WHERE r_tablename = 'picndoku';"
        "UPDATE dokutypes SET dt_relateddokkeyword = 'auftrag' WHERE dt_id = 'LS'"));
    store(viewertest::Tiff(1));
    store(viewertest::Tiff(1));
    testsupport::TestDatabase::Exec(QStringLiteral(
        "INSERT INTO recnokeyword (r_tablename, r_dbrid, r_kategorie, r_descr) SELECT 'picndoku', "
        "dbrid, 'auftrag', '4711' FROM picndoku"));
    m_template.LoadByRecord(QStringLiteral("adressen"), QStringLiteral("5"), false);
    ASSERT_TRUE(m_template.HasRecord());

    auto feeder = std::make_shared<Imaging::TMemoryAcquire>();
    feeder->SetPages({page({"X"}, 1), page({"Y"}, 2), scanpages::Page(800, 600, {}, 3), page({}, 4),
                      page({}, 5), page({}, 6)});
    feeder->SetFailAfter(3);
    Imaging::TIEAcquire::SetDefaultBackend(feeder);
    QString message;
    try {
        scan({QStringLiteral("ScanSource=Einseitig"), QStringLiteral("Barcodes=sbCode128"),
              QStringLiteral("BarcodeMode=sbmWithTypes")});
    } catch (const EVoskException& e) {
        message = e.Message();
    }
    EXPECT_EQ(message, QStringLiteral("Twain-DMSScan: Scannen nicht möglich."));
    ASSERT_EQ(pageCounts(), (QList<int>{1, 2}));
    static const QRegularExpression timeName(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d_anna$"));
    for (TFormFilePreview* p : previews()) {
        TFileViewerFrameTIFF* v = viewerOf(p);
        EXPECT_EQ(v->gridRelatedDoks->rowCount(), 0);
        EXPECT_FALSE(v->pnRelation->isVisible());
        EXPECT_TRUE(timeName.match(p->GetDokName()).hasMatch()) << p->GetDokName().toStdString();
        if (v->imOverviewPages()->ImageCount() != 2)
            continue;
        const QImage second = TViewerPages::DecodePage(v->imOverviewPages()->UserData(1)->CurImage);
        EXPECT_EQ(second.size(), QSize(600, 800));
    }
}

// The scan helper crashes or hangs before the fourth sheet of the test device: the three read
// (no codes: a document each) are kept, the helper is gone, and the user is told.
TEST_F(DMSScanTest, AScanHelperThatCrashesOrHangsKeepsTheDocumentsReadAndSaysSo) {
    m_dm.SaveLastVal(QStringLiteral("TFileViewerFrameTIFF~Scanner"), QStringLiteral("test:0"));
    for (const int signal : {SIGKILL, SIGSTOP}) {
        SCOPED_TRACE(signal);
        auto stopper =
            std::make_shared<scanpages::THelperStopper>(3, signal, Imaging::TScanHelperLimits{1000, 1000});
        Imaging::TIEAcquire::SetDefaultBackend(stopper);
        m_errors.shown.clear();
        TLogSink::Clear();
        Rtl::Guarded([&] { scan({QStringLiteral("ScanSource=Einseitig")}); }, &m_owner);
        EXPECT_EQ(m_errors.shown, QStringList{QStringLiteral("Twain-DMSScan: Scannen nicht möglich.")});
        EXPECT_EQ(pageCounts(), (QList<int>{1, 1, 1}));
        EXPECT_TRUE(scanpages::ProcessGone(stopper->Signalled()));
        EXPECT_TRUE(TLogSink::Contains(QStringLiteral("Twain-DMSScan: SANE: Der Scan-Hilfsprozess")));
        for (TFormFilePreview* p : previews())
            delete p;
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

// Scanning into the TIFF viewer (SANE's test device and prepared pages), pages from a bitmap or a
// camera, barcode lists and marks, and the administrator's barcode test.

#include "ViewerFixture.h"

#include <IEAcquire.h>
#include <Korvexutils.Dialogs.h>
#include <ScanPages.h>
#include <TCameraFrame.h>
#include <Uloghelper.h>
#include <view/TAcquireDialog.h>
#include <view/TImageEnVect.h>

#include "../../imaging/TiffPages.h"

#include <QApplication>
#include <QProgressBar>
#include <QSpinBox>
#include <QTimer>
#include <QToolButton>

#include <deque>

using viewertest::ViewerTest;
using ZXing::BarcodeFormat;

namespace {

QList<TFormFilePreview*> previews() { return viewertest::OpenPreviews(); }

void closePreviews() {
    for (TFormFilePreview* p : previews())
        delete p; // without the save question of a closing preview
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

QImage codePage(const QString& text, int seed = 1) {
    return scanpages::Page(700, 500, {scanpages::Barcode(text, BarcodeFormat::Code128)}, quint32(seed));
}

class ScanViewerTest : public ViewerTest {
protected:
    static void SetUpTestSuite() {
        scanpages::UseSaneTestBackend();
        ViewerTest::SetUpTestSuite();
    }
    void SetUp() override {
        ViewerTest::SetUp();
        Imaging::TIEAcquire::SetDefaultBackend(nullptr);
        Imaging::TIEAcquire::ClearSessionSettings();
        TLogSink::Clear();
        m_dm.SaveLastVal(QStringLiteral("HintScanDPI"), QStringLiteral("OK"));
    }
    void TearDown() override {
        closePreviews();
        Imaging::TIEAcquire::SetDefaultBackend(nullptr);
        Ashgrove::TCameraFrame::CreateHook.Reset();
        ViewerTest::TearDown();
    }
    // A scan preview of a new document; its viewer.
    TFileViewerFrameTIFF* preview() {
        auto* doc = new TDokument(nullptr);
        TFormFilePreview* dialog = ShowPreview(&m_owner, doc, nullptr, nullptr, QStringLiteral("LS"), QString(),
                                               QString(), true, false, {}, QString());
        return qobject_cast<TFileViewerFrameTIFF*>(dialog->FImagePages);
    }
    std::shared_ptr<Imaging::TMemoryAcquire> memory(QList<QImage> pages) {
        auto m = std::make_shared<Imaging::TMemoryAcquire>();
        m->SetPages(std::move(pages));
        Imaging::TIEAcquire::SetDefaultBackend(m);
        return m;
    }
    static void expectIdle(TFileViewerFrameTIFF* v) {
        EXPECT_FALSE(v->pnShowScan->isVisible());
        EXPECT_TRUE(v->btEditScan->isEnabled());
        EXPECT_TRUE(v->btEditMultiScan->isEnabled());
        EXPECT_TRUE(v->btEditOptions->isEnabled());
    }
    // The error form's texts (what a scan that failed says).
    QString errors() const { return m_errors.shown.join(u'|'); }
    QWidget m_owner;
    viewertest::ErrorForms m_errors;
};

TEST_F(ScanViewerTest, MultiScanTakesTheWholeFeederOfTheTestDevice) {
    m_dm.SaveLastVal(QStringLiteral("TFileViewerFrameTIFF~Scanner"), QStringLiteral("test:0"));
    TFileViewerFrameTIFF* v = preview();
    v->btEditMultiScan->trigger();
    TPageList* pages = v->imOverviewPages();
    ASSERT_EQ(pages->ImageCount(), 10);
    EXPECT_EQ(pages->ImageInfoText(0), QStringLiteral("Seite 1"));
    EXPECT_EQ(pages->ImageInfoText(9), QStringLiteral("Seite 10"));
    EXPECT_EQ(pages->SelectedImage(), 0);
    EXPECT_EQ(v->Dokument()->InsertData().Source, QStringLiteral("scan"));
    EXPECT_EQ(pages->UserData(3)->FromIndex, -1);
    EXPECT_EQ(pages->Params(3).TIFF_ImageDescription,
              QByteArray("Code-Source: TFileViewerFrameTIFF.btEditScanClick (Scan 3)"));
    // The page as libtiff's own tool reads it: grey JPEG at the resolution the device scans with.
    const QString info = tiffpages::RunTool(QStringLiteral("tiffinfo"), pages->UserData(3)->CurImage);
    EXPECT_TRUE(info.contains(QStringLiteral("JPEG"))) << info.toStdString();
    EXPECT_TRUE(info.contains(QStringLiteral("Resolution: 300, 300"))) << info.toStdString();
    expectIdle(v);
    EXPECT_TRUE(TLogSink::Contains(QStringLiteral("TFileViewerFrameTIFF.btEditScanClick")));
}

TEST_F(ScanViewerTest, ABreakOrAFailureLeavesNoPlaceholder) {
    m_dm.SaveLastVal(QStringLiteral("TFileViewerFrameTIFF~Scanner"), QStringLiteral("test:0"));
    TFileViewerFrameTIFF* v = preview();
    // The user breaks off while the first sheet is read.
    QTimer::singleShot(0, v->btBreakScan, [v] { v->btBreakScan->click(); });
    v->btEditMultiScan->trigger();
    EXPECT_EQ(v->imOverviewPages()->ImageCount(), 0);
    expectIdle(v);
    // The break ended the device's session; the next scan is one of its own, with the test
    // device's feeder full again.
    v->btEditMultiScan->trigger();
    EXPECT_EQ(v->imOverviewPages()->ImageCount(), 10);
    v->ClearAllPages();

    // A scan helper that hangs on the third sheet: the watchdog ends it, the two read stay.
    auto hung = std::make_shared<scanpages::THelperStopper>(2, SIGSTOP, Imaging::TScanHelperLimits{1000, 1000});
    Imaging::TIEAcquire::SetDefaultBackend(hung);
    v->btEditMultiScan->trigger();
    EXPECT_EQ(errors(), QStringLiteral("btEditMultiScan: Scannen nicht möglich."));
    EXPECT_EQ(v->imOverviewPages()->ImageCount(), 2);
    EXPECT_TRUE(scanpages::ProcessGone(hung->Signalled()));
    EXPECT_TRUE(TLogSink::Contains(QStringLiteral("SANE: Der Scan-Hilfsprozess antwortet seit 1 s nicht.")));
    expectIdle(v);
    v->ClearAllPages();
    m_errors.shown.clear();

    // A device that fails on the third sheet: the two read stay, the user is told.
    auto m = memory({codePage("A"), codePage("B"), codePage("C"), codePage("D")});
    m->SetFailAfter(2);
    v->btEditMultiScan->trigger();
    EXPECT_EQ(errors(), QStringLiteral("btEditMultiScan: Scannen nicht möglich."));
    EXPECT_EQ(v->imOverviewPages()->ImageCount(), 2);
    expectIdle(v);

    // An empty feeder.
    m->SetFailAfter(-1);
    m->SetPages({});
    m_errors.shown.clear();
    v->btEditMultiScan->trigger();
    EXPECT_EQ(errors(), QStringLiteral("Scannen nicht möglich."));
    EXPECT_EQ(v->imOverviewPages()->ImageCount(), 2);
    expectIdle(v);
}

TEST_F(ScanViewerTest, SingleScanAndRescan) {
    m_dm.SaveLastVal(QStringLiteral("TFileViewerFrameTIFF~Scanner"), QStringLiteral("test:1"));
    TFileViewerFrameTIFF* v = preview();
    // Nothing selected: the rescan appends.
    v->btEditRescan->trigger();
    ASSERT_EQ(v->imOverviewPages()->ImageCount(), 1);
    EXPECT_EQ(v->imOverviewPages()->SelectedImage(), 0);

    auto m = memory({codePage("neu")});
    v->btEditRescan->trigger();
    ASSERT_EQ(v->imOverviewPages()->ImageCount(), 1);
    // A landscape sheet is turned upright.
    EXPECT_EQ(TViewerPages::DecodePage(v->imOverviewPages()->UserData(0)->CurImage).size(), QSize(500, 700));
    // The prepared pages are used up: nothing comes.
    v->btEditScan->trigger();
    EXPECT_EQ(errors(), QStringLiteral("Scannen nicht möglich."));
    EXPECT_EQ(v->imOverviewPages()->ImageCount(), 1);
    m->AddPage(codePage("zwei"));
    v->btEditScan->trigger();
    EXPECT_EQ(v->imOverviewPages()->ImageCount(), 2);
    EXPECT_EQ(v->imOverviewPages()->SelectedImage(), 1);
    expectIdle(v);
}

TEST_F(ScanViewerTest, TheFileTabScansWithTheSettingsDialog) {
    m_dm.SaveLastVal(QStringLiteral("TFileViewerFrameTIFF~Scanner"), QStringLiteral("test:0"));
    TFileViewerFrameTIFF* v = preview();
    QString title;
    // The settings dialog is built from the device's options; the user sets 100 dpi.
    QTimer::singleShot(0, v, [&] {
        auto* dialog = qobject_cast<Imaging::TAcquireDialog*>(QApplication::activeModalWidget());
        ASSERT_TRUE(dialog);
        title = dialog->windowTitle();
        auto* resolution = qobject_cast<QDoubleSpinBox*>(dialog->Editor(QStringLiteral("resolution")));
        ASSERT_TRUE(resolution);
        EXPECT_FALSE(resolution->toolTip().isEmpty());
        resolution->setValue(100);
        dialog->accept();
    });
    v->btFileScan->trigger();
    EXPECT_EQ(title, QStringLiteral("Scanner-Einstellungen: test:0"));
    ASSERT_EQ(v->imOverviewPages()->ImageCount(), 1);
    EXPECT_EQ(v->imOverviewPages()->Params(0).DpiX, 100.0);
    EXPECT_FALSE(v->btEditScanDialog->isChecked()); // back as it was
    expectIdle(v);

    // "Scanner-Einstellungen (temporär)" keeps the values for the session.
    QTimer::singleShot(0, v, [] {
        auto* dialog = qobject_cast<Imaging::TAcquireDialog*>(QApplication::activeModalWidget());
        ASSERT_TRUE(dialog);
        qobject_cast<QDoubleSpinBox*>(dialog->Editor(QStringLiteral("resolution")))->setValue(120);
        dialog->accept();
    });
    v->btEditOptionsSetting->trigger();
    Imaging::TIEAcquire other;
    ASSERT_TRUE(other.SetSource(Imaging::ieaTWAIN, QStringLiteral("test:0")));
    ASSERT_TRUE(other.SetOption(QStringLiteral("resolution"), 75));
    ASSERT_TRUE(other.SetSource(Imaging::ieaTWAIN, QStringLiteral("test:1")));
    ASSERT_TRUE(other.SetSource(Imaging::ieaTWAIN, QStringLiteral("test:0")));
    EXPECT_EQ(other.XResolution(), 120.0);
}

TEST_F(ScanViewerTest, ScannerChoiceFallsBackOrSaysThereIsNone) {
    m_dm.SaveLastVal(QStringLiteral("TFileViewerFrameTIFF~Scanner"), QStringLiteral("gone:3"));
    TFileViewerFrameTIFF* v = preview();
    v->btEditScan->trigger();
    EXPECT_EQ(v->imOverviewPages()->ImageCount(), 1);
    EXPECT_TRUE(TLogSink::Contains(QStringLiteral("TWAIN: scanner \"gone:3\" not found")));
    EXPECT_EQ(v->Acquisition().SelectedSource(), QStringLiteral("test:0"));

    auto none = memory({});
    none->SetDevices({});
    m_answers.Expect(QStringLiteral("TWAIN: Kein Scanner gefunden."), Vcl::mrOk);
    v->btEditMultiScan->trigger();
    m_dm.SaveLastValBool(QStringLiteral("TFileViewerFrameTIFF~UseWIA"), true);
    m_answers.Expect(QStringLiteral("WIA: Kein Scanner gefunden."), Vcl::mrOk);
    v->btEditScan->trigger();
    EXPECT_EQ(v->imOverviewPages()->ImageCount(), 1);
    expectIdle(v);
}

TEST_F(ScanViewerTest, OptionsMenuDuplexAndBarcodeRange) {
    auto m = memory({codePage("1"), codePage("2")});
    TFileViewerFrameTIFF* v = preview();
    v->btEditOptionsPopup();
    EXPECT_TRUE(v->btEditOptionsDuplexAuto->isEnabled());
    EXPECT_TRUE(v->btEditOptionsDuplexAuto->isChecked());
    EXPECT_TRUE(v->btEditOptionsUseTWAIN->isChecked());
    EXPECT_TRUE(v->btEditOptionBarcodeFirst->isChecked());

    // "auto" leaves the device as it is set.
    ASSERT_TRUE(v->Acquisition().SetOption(QStringLiteral("source"), QStringLiteral("ADF Duplex")));
    v->btEditOptionsDuplexAuto->trigger();
    EXPECT_EQ(m_dm.LoadLastVal(QStringLiteral("TFileViewerFrameTIFF~Duplex")), QStringLiteral("auto"));
    v->btEditMultiScan->trigger();
    EXPECT_EQ(v->imOverviewPages()->ImageCount(), 2);
    EXPECT_TRUE(v->Acquisition().DuplexEnabled());
    v->btEditOptionsDuplexOff->trigger();
    m->AddPage(codePage("3"));
    v->btEditMultiScan->trigger();
    EXPECT_FALSE(v->Acquisition().DuplexEnabled());

    v->btEditOptionBarcodeAll->trigger();
    EXPECT_FALSE(m_dm.LoadLastValBool(QStringLiteral("TFileViewerFrameTIFF~BarcodeFirstOnly"), true));
    // A fixed range ignores the buttons.
    v->SetBarcodeFilter({}, {}, false, 1, foOnlyFirst);
    v->btEditOptionsPopup();
    EXPECT_FALSE(v->btEditOptionBarcodeFirst->isEnabled());
    EXPECT_TRUE(v->btEditOptionBarcodeFirst->isChecked());
    v->btEditOptionBarcodeFirst->trigger();
    EXPECT_FALSE(m_dm.LoadLastValBool(QStringLiteral("TFileViewerFrameTIFF~BarcodeFirstOnly"), true));

    // The source question stores the choice; cancelled it stores nothing.
    m->SetDevices({QStringLiteral("memory:0"), QStringLiteral("memory:1")});
    m_answers.Expect(QStringLiteral("Welcher Scanner"), Vcl::mrNo);
    v->btEditOptionsUseWIA->trigger();
    EXPECT_EQ(m_dm.LoadLastVal(QStringLiteral("TFileViewerFrameTIFF~Scanner")), QStringLiteral("memory:1"));
    EXPECT_TRUE(m_dm.LoadLastValBool(QStringLiteral("TFileViewerFrameTIFF~UseWIA"), false));
    m_answers.Expect(QStringLiteral("Welcher Scanner"), Vcl::mrCancel);
    v->btEditOptionsUseTWAIN->trigger();
    EXPECT_TRUE(m_dm.LoadLastValBool(QStringLiteral("TFileViewerFrameTIFF~UseWIA"), false));
}

TEST_F(ScanViewerTest, PagesAddedFromABitmapByDepth) {
    TFileViewerFrameTIFF* v = preview();
    const QImage mono = viewertest::Page(1);
    QImage grey(200, 100, QImage::Format_Grayscale8);
    grey.fill(128);
    // Premultiplied, transparent on its left half: on white paper there.
    QImage argb(50, 40, QImage::Format_ARGB32_Premultiplied);
    argb.fill(Qt::transparent);
    for (int y = 0; y < 40; ++y)
        for (int x = 25; x < 50; ++x)
            argb.setPixel(x, y, qRgb(255, 0, 0));
    EXPECT_EQ(v->DoPageAdd(mono, QStringLiteral("scanner"), QString()), 0);
    EXPECT_EQ(v->DoPageAdd(grey, QStringLiteral("camera"), QStringLiteral("Test")), 1);
    EXPECT_EQ(v->DoPageAdd(argb, QStringLiteral("file"), QStringLiteral("Test")), 2);
    TPageList* pages = v->imOverviewPages();
    const QString first = tiffpages::RunTool(QStringLiteral("tiffinfo"), pages->UserData(0)->CurImage);
    EXPECT_TRUE(first.contains(QStringLiteral("Compression Scheme: LZW"))) << first.toStdString();
    EXPECT_TRUE(first.contains(QStringLiteral("Code-Source: TFileViewerFrameTIFF.DoPageAdd")));
    EXPECT_TRUE(tiffpages::RunTool(QStringLiteral("tiffinfo"), pages->UserData(1)->CurImage).contains(QStringLiteral("JPEG")));
    EXPECT_TRUE(tiffpages::RunTool(QStringLiteral("tiffinfo"), pages->UserData(2)->CurImage).contains(QStringLiteral("JPEG")));
    const QList<QImage> third = tiffpages::PillowPagesOnWhite(pages->UserData(2)->CurImage);
    ASSERT_EQ(third.size(), 1);
    EXPECT_GE(qGray(third[0].pixel(5, 20)), 245);
    EXPECT_GT(qRed(third[0].pixel(40, 20)), 230);
    EXPECT_LT(qGreen(third[0].pixel(40, 20)), 30);
    EXPECT_EQ(pages->ImageInfoText(2), QStringLiteral("Seite 3"));
    EXPECT_EQ(pages->SelectedImage(), 2);
    // The first source sticks.
    EXPECT_EQ(v->Dokument()->InsertData().Source, QStringLiteral("scanner"));
}

TEST_F(ScanViewerTest, TheCameraPictureBecomesAPage) {
    QPointer<Ashgrove::TCameraFrameFake> fake;
    Ashgrove::TCameraFrame::CreateHook.Set([&](int module, QWidget* parent) -> Ashgrove::TCameraFrame* {
        EXPECT_EQ(module, 0);
        fake = new Ashgrove::TCameraFrameFake(parent, codePage("foto"));
        return fake;
    });
    TFileViewerFrameTIFF* v = preview();
    EXPECT_EQ(v->DoAddCamImage(), -1);
    ASSERT_TRUE(fake);
    EXPECT_TRUE(fake->Connected());
    EXPECT_EQ(fake->parentWidget(), v->pnPage2);
    EXPECT_EQ(v->FWebCam.data(), fake.data());
    fake->btSave->click();
    ASSERT_EQ(v->imOverviewPages()->ImageCount(), 1);
    EXPECT_EQ(v->Dokument()->InsertData().Source, QStringLiteral("camera"));
    fake->btClose->click();
    EXPECT_FALSE(v->FWebCam);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(fake);
}

class BarcodeViewerTest : public ScanViewerTest {
protected:
    TFileViewerFrameTIFF* twoCodePages() {
        TFileViewerFrameTIFF* v = preview();
        TBarcodeTypes types;
        types.set(Ubarcode::sbCode128);
        v->SetBarcodeFilter({}, types, false, 1, foAllPages);
        v->DoPageAdd(codePage(QStringLiteral("ERSTE\x01Seite"), 1), QStringLiteral("scan"), {});
        v->DoPageAdd(codePage(QStringLiteral("ZWEITE"), 2), QStringLiteral("scan"), {});
        return v;
    }
    static int objects(TFileViewerFrameTIFF* v) { return v->imCurrentPage->Model().ObjectsCount(); }
};

TEST_F(BarcodeViewerTest, MarksAreToggledNeverDoubledAndStayOutOfTheStoredStream) {
    TFileViewerFrameTIFF* v = twoCodePages();
    EXPECT_FALSE(v->DoMarkBarcodes(true)); // nothing to remove
    EXPECT_TRUE(v->DoMarkBarcodes(false));
    TPageList* pages = v->imOverviewPages();
    const QByteArray once = pages->UserData(0)->CurAnnot;
    EXPECT_TRUE(once.contains("*Barcode*"));
    EXPECT_EQ(objects(v), 2); // the last page marked is shown: one highlight, one text
    EXPECT_TRUE(v->DoMarkBarcodes(false));
    EXPECT_EQ(objects(v), 2);
    EXPECT_EQ(pages->UserData(0)->CurAnnot.count("*Barcode*"), once.count("*Barcode*"));
    for (int p = 0; p < 2; ++p)
        EXPECT_FALSE(pages->UserData(p)->CurAnnotX.contains("*Barcode*")) << p;
    // The control character of the code's text is a blank on the page.
    EXPECT_TRUE(pages->UserData(0)->CurAnnot.contains("ERSTE Seite"));
    EXPECT_FALSE(v->CanUndo());
    EXPECT_TRUE(v->DoMarkBarcodes(true));
    EXPECT_FALSE(pages->UserData(0)->CurAnnot.contains("*Barcode*"));
    EXPECT_EQ(objects(v), 0);

    // The search button of a user who is not an administrator toggles.
    v->btEditBarcodeSearch->trigger();
    EXPECT_EQ(objects(v), 2);
    v->btEditBarcodeSearch->trigger();
    EXPECT_EQ(objects(v), 0);
}

TEST_F(BarcodeViewerTest, BarcodeListsByModeAndRange) {
    TFileViewerFrameTIFF* v = twoCodePages();
    QStringList list{QStringLiteral("vorher")};
    v->DoScanBarcodes(list, sbmWithTypes);
    EXPECT_EQ(list, (QStringList{QStringLiteral("vorher"), QStringLiteral("CODE-128=ERSTE\x01Seite"),
                                 QStringLiteral("CODE-128=ZWEITE")}));
    EXPECT_FALSE(TLogSink::Contains(QStringLiteral("nur erste Seite gescannt")));
    v->FBarcodeOnlyFirst = foOnlyFirst;
    list.clear();
    v->DoScanBarcodes(list, sbmOnlyCodes);
    EXPECT_EQ(list, QStringList{QStringLiteral("ERSTE\x01Seite")});
    EXPECT_TRUE(TLogSink::Contains(QStringLiteral("TFileViewerFrameTIFF.DoScanBarcodes : pd_id=0 - nur erste Seite gescannt")));

    // One page only: no such line.
    TLogSink::Clear();
    TFileViewerFrameTIFF* single = preview();
    single->SetBarcodeFilter({}, v->FBarcodeTypes, false, 1, foOnlyFirst);
    single->DoPageAdd(codePage(QStringLiteral("X")), QStringLiteral("scan"), {});
    single->DoScanBarcodes(list, sbmWithTypesAndPos);
    EXPECT_TRUE(list.last().startsWith(QStringLiteral("CODE-128["))) << list.last().toStdString();
    EXPECT_FALSE(TLogSink::Contains(QStringLiteral("nur erste Seite gescannt")));
}

TEST_F(BarcodeViewerTest, TheAdministratorsTestRunPutsTheSettingsBack) {
    m_dm.SetIsAdmin(true);
    TFileViewerFrameTIFF* v = twoCodePages();
    v->FBarcodeOnlyFirst = foOnlyFirst;
    std::deque<QString> answers;
    QStringList asked;
    const auto saved = Korvexutils::RaiseInputQuestion.Get();
    Korvexutils::RaiseInputQuestion.Set([&](const QString& title, const QString& msg, QVariant& value, QString&, int,
                                            bool numeric, QWidget* parent, const QString&, const QString&) {
        EXPECT_EQ(title, QStringLiteral("Admin-BarcodeSearch"));
        EXPECT_FALSE(numeric);
        EXPECT_EQ(parent, v);
        asked << msg.section(u' ', 0, 0) + u'=' + value.toString();
        if (answers.empty())
            return false;
        value = answers.front();
        answers.pop_front();
        return true;
    });
    const auto restore = qScopeGuard([&] { Korvexutils::RaiseInputQuestion.Set(saved); });

    // 7 pages means all pages: both are marked, with the types as typed.
    answers = {QStringLiteral("$00000000 00000000 00000000 00000000 01"), QStringLiteral("False"),
               QStringLiteral("1"), QStringLiteral("7")};
    m_answers.Expect(QStringLiteral("FilterProc"), Vcl::mrYes);
    v->btEditBarcodeSearch->trigger();
    EXPECT_EQ(asked.first(), QStringLiteral("BarcodeTypes=$00000000 00000000 00000000 00000000 01"));
    EXPECT_EQ(asked[1], QStringLiteral("CheckDigit=False"));
    EXPECT_EQ(asked[3], QStringLiteral("OnlyFirstPage=1"));
    EXPECT_TRUE(v->imOverviewPages()->UserData(1)->CurAnnot.contains("*Barcode*"));
    EXPECT_EQ(v->FBarcodeOnlyFirst, foOnlyFirst);

    // -1 means "from the options" (first page only by default); $0001 is EAN-8 only, which
    // finds nothing here.
    v->DoMarkBarcodes(true);
    answers = {QStringLiteral("$0001"), QStringLiteral("true"), QStringLiteral("1"), QStringLiteral("-1")};
    m_answers.Expect(QStringLiteral("FilterProc"), Vcl::mrYes);
    v->btEditBarcodeSearch->trigger();
    EXPECT_FALSE(v->imOverviewPages()->UserData(0)->CurAnnot.contains("*Barcode*"));
    answers = {QStringLiteral("$00000000 00000000 00000000 00000000 01"), QStringLiteral("0"),
               QStringLiteral("1"), QStringLiteral("-1")};
    m_answers.Expect(QStringLiteral("FilterProc"), Vcl::mrYes);
    v->btEditBarcodeSearch->trigger();
    EXPECT_TRUE(v->imOverviewPages()->UserData(0)->CurAnnot.contains("*Barcode*"));
    EXPECT_FALSE(v->imOverviewPages()->UserData(1)->CurAnnot.contains("*Barcode*"));

    // An answer that does not convert ends the run with the conversion error.
    v->FBarcodeDensity = 9;
    answers = {QStringLiteral("$00"), QStringLiteral("ja"), QStringLiteral("1"), QStringLiteral("0")};
    m_answers.Expect(QStringLiteral("FilterProc"), Vcl::mrYes);
    v->btEditBarcodeSearch->trigger();
    EXPECT_EQ(m_errors.shown.join(u'|'), QStringLiteral("'ja' ist kein gültiger Wahrheitswert"));
    EXPECT_EQ(v->FBarcodeDensity, 9);
    EXPECT_TRUE(v->FBarcodeTypes.test(Ubarcode::sbCode128));
    // Cancel asks nothing more.
    asked.clear();
    m_answers.Expect(QStringLiteral("FilterProc"), Vcl::mrCancel);
    v->btEditBarcodeSearch->trigger();
    EXPECT_TRUE(asked.isEmpty());
}

TEST(BarcodeTypesTextTest, SetAsSeventeenBytes) {
    TBarcodeTypes t;
    t.set(8);
    t.set(128);
    EXPECT_EQ(BarcodeTypesText(t), QStringLiteral("$00010000 00000000 00000000 00000000 01"));
    EXPECT_EQ(BarcodeTypesFromText(QStringLiteral("$0001")), [] {
        TBarcodeTypes only;
        only.set(8);
        return only;
    }());
    EXPECT_EQ(BarcodeTypesFromText(QStringLiteral("00010000 00000000 00000000 00000000 01")), t);
    EXPECT_THROW(BarcodeTypesFromText(QStringLiteral("$zz")), EConvertError);
}

} // namespace

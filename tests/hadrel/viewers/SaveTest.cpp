// Saving in the TIFF viewer against the private cluster: new documents and new revisions with
// their annotation slots, pages copied with their compressed bytes, the one transaction that a
// failure or a killed client leaves untouched, the stamp SQL, and the close question.
#include "ViewerFixture.h"

#include "../../imaging/TiffPages.h"

#include <Dataclient_files.h>
#include <FaultPoint.h>
#include <ForeignFiles.h>
#include <TVoskRibbon.h>
#include <UFileViewerTIFF.PageSelector.h>
#include <UFileViewerTIFF.Stamps.h>
#include <view/TImageEnVect.h>

#include <QAbstractButton>
#include <QBuffer>
#include <QTabBar>
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QProcess>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTemporaryDir>

#include <algorithm>
#include <csignal>
#include <stdexcept>

using namespace viewertest;
using namespace Imaging;

namespace {

// Pages 0..n-1 black and white (G4), the one at jpegPage a grey JPEG.
QByteArray MixedTiff(int pages, int jpegPage) {
    TTiffWriter w;
    for (int i = 0; i < pages; ++i) {
        TIOParams p;
        p.DpiX = p.DpiY = 100;
        if (i == jpegPage) {
            p.TIFF_Compression = ioTIFF_JPEG;
            p.TIFF_JPEGColorSpace = ioJPEG_GRAYLEV;
            QImage grey(300, 400, QImage::Format_Grayscale8);
            for (int y = 0; y < grey.height(); ++y)
                for (int x = 0; x < grey.width(); ++x)
                    grey.scanLine(y)[x] = uchar((x * 7 + y * 3) % 251);
            w.WritePage(grey, p);
        } else {
            p.TIFF_Compression = ioTIFF_G4FAX;
            w.WritePage(Page(i), p);
        }
    }
    return w.Finish();
}

// Per page, the raw strips as libtiff's own tool lists them (offset and length), cut from the file.
QList<QList<QByteArray>> RawStrips(const QByteArray& tiff) {
    QTemporaryDir dir;
    const QString path = tiffpages::WriteIn(dir, tiff, QStringLiteral("f.tif"));
    QProcess p;
    p.start(QStringLiteral("tiffinfo"), {QStringLiteral("-s"), path});
    p.waitForFinished();
    QList<QList<QByteArray>> pages;
    static const QRegularExpression strip(QStringLiteral("^\\s+\\d+: \\[\\s*(\\d+),\\s*(\\d+)\\]"));
    for (const QByteArray& line : p.readAllStandardOutput().split('\n')) {
        if (line.startsWith("=== TIFF directory"))
            pages.append(QList<QByteArray>());
        const auto m = strip.match(QString::fromLatin1(line));
        if (m.hasMatch() && !pages.isEmpty())
            pages.last().append(tiff.mid(m.captured(1).toLongLong(), m.captured(2).toLongLong()));
    }
    return pages;
}

// Per page of a TIFF, as Pillow reads it: mode, size and the SHA-256 of its RGB pixels on white.
QStringList PillowPixels(const QByteArray& tiff) {
    QTemporaryDir dir;
    const QString path = tiffpages::WriteIn(dir, tiff);
    QProcess proc;
    proc.start(QStringLiteral("/usr/bin/python3"),
               {QStringLiteral("-c"),
                QStringLiteral("import sys, hashlib\nfrom PIL import Image, ImageSequence\n"
                               "for im in ImageSequence.Iterator(Image.open(sys.argv[1])):\n"
                               "    mode = im.mode\n"
                               "    im = im.convert('RGBA')\n"
                               "    paper = Image.new('RGB', im.size, 'white')\n"
                               "    paper.paste(im, mask=im.getchannel('A'))\n"
                               "    print(mode, '%dx%d' % im.size, hashlib.sha256(paper.tobytes()).hexdigest())\n"),
                path});
    proc.waitForFinished(30000);
    EXPECT_EQ(proc.exitCode(), 0) << proc.readAllStandardError().toStdString();
    return QString::fromLatin1(proc.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
}

// Per page of a TIFF, the samples as libtiff's tiffinfo decodes them (-d: every strip, in this
// machine's byte order, at the page's own depth): its bits per sample, the number of bytes and
// their SHA-256.
QStringList DecodedSamples(const QByteArray& tiff) {
    QTemporaryDir dir;
    const QString path = tiffpages::WriteIn(dir, tiff);
    QProcess p;
    p.start(QStringLiteral("tiffinfo"), {QStringLiteral("-d"), path});
    p.waitForFinished(60000);
    QStringList pages;
    QList<QByteArray> bytes;
    static const QRegularExpression hex(QStringLiteral("^( [0-9a-f]{2})+$"));
    static const QRegularExpression bits(QStringLiteral("^\\s+Bits/Sample: (\\d+)"));
    for (const QByteArray& raw : p.readAllStandardOutput().split('\n')) {
        const QString line = QString::fromLatin1(raw);
        if (line.startsWith(QStringLiteral("=== TIFF directory"))) {
            pages.append(QString());
            bytes.append(QByteArray());
        } else if (pages.isEmpty()) {
            continue;
        } else if (const auto m = bits.match(line); m.hasMatch()) {
            pages.last() = m.captured(1) + QStringLiteral(" bit");
        } else if (hex.match(line).hasMatch()) {
            bytes.last() += QByteArray::fromHex(raw);
        }
    }
    for (qsizetype i = 0; i < pages.size(); ++i)
        pages[i] += QStringLiteral(", %1 bytes, %2")
                        .arg(bytes[i].size())
                        .arg(QString::fromLatin1(
                            QCryptographicHash::hash(bytes[i], QCryptographicHash::Sha256).toHex()));
    return pages;
}

QString messageOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const EVoskException& e) {
        return e.Message();
    } catch (const std::exception& e) {
        return QString::fromLocal8Bit(e.what());
    }
    return {};
}

class SaveTest : public ViewerTest {
protected:
    void SetUp() override {
        ViewerTest::SetUp();
        testsupport::TestDatabase::Exec(QStringLiteral(
            "DELETE FROM doksealsql; DELETE FROM recnokeyword WHERE r_tablename = 'picndoku';"
            "DROP TABLE IF EXISTS stamp_log; CREATE TABLE stamp_log (typ text, seal text, descr "
            "text, kunde text, kunden text)"));
    }
    void TearDown() override {
        Rtl::FaultHook.Reset();
        m_viewer.reset();
        m_doc.reset();
        ViewerTest::TearDown();
    }
    TFileViewerFrameTIFF& Open(int id) {
        m_doc = std::make_unique<TDokument>();
        m_doc->AssignToDokId(id);
        m_viewer = std::make_unique<TFileViewerFrameTIFF>(nullptr, m_doc.get(), true, nullptr);
        m_viewer->resize(900, 700);
        return *m_viewer;
    }
    // A highlight on page (shown first) taken into its page data.
    void Annotate(int page, int x = 20) {
        m_viewer->LoadImage(page, true);
        m_viewer->AddAnnotHighlight(QRect(x, 20, 60, 30), 65535);
        m_viewer->SaveAnnotationsOfPage(page);
    }
    void Stamp(int page, const QString& name) {
        m_viewer->LoadImage(page, true);
        QImage img(40, 20, QImage::Format_RGB32);
        img.fill(Qt::red);
        m_viewer->AddAnnotImage(QRect(100, 100, 40, 20), img, name);
        m_viewer->SaveAnnotationsOfPage(page);
    }
    QString Remote() const { return m_doc->DMSRemoteFilename(); }
    QByteArray StoredFile(const QString& name) { return DCFileMethods().ReadFile(name); }
    static int Count(const QString& sql) { return scalar(sql).toInt(); }
    int Slots(const QString& name) {
        return Count(QStringLiteral("SELECT count(*) FROM dms_annotation WHERE name = '%1'").arg(name));
    }
    // Moves the page at from to position to, as a drag in the strip does.
    void MovePage(int from, int to) {
        TPageList* list = m_viewer->imOverviewPages();
        TPageData* data = list->UserData(from);
        const TIOParams params = list->Params(from);
        const QString info = list->ImageInfoText(from);
        list->SetUserData(from, nullptr);
        list->DeleteImage(from);
        list->InsertImage(to);
        list->SetUserData(to, data);
        list->Params(to) = params;
        list->SetImageInfoText(to, info);
    }

    std::unique_ptr<TDokument> m_doc;
    std::unique_ptr<TFileViewerFrameTIFF> m_viewer;
};

} // namespace

TEST_F(SaveTest, ARotatedPageMakesARevisionWhoseOtherPagesKeepTheirCompressedBytes) {
    const QByteArray original = MixedTiff(3, 1);
    const int id = store(original);
    TFileViewerFrameTIFF& v = Open(id);
    const QString oldFile = Remote();
    std::vector<int> events;
    v.FOnDokumentEvent = [&](QObject*, TDokument*, TDokumentEventMode mode, const QStringList&) {
        events.push_back(mode);
    };
    v.DoPageRotate(QStringLiteral("S"), 2, true);
    v.btEditSaveClick(nullptr);

    EXPECT_NE(m_doc->Id(), id);
    EXPECT_EQ(events, std::vector<int>{demNewRevision});
    EXPECT_TRUE(v.HasBeenSaved());
    EXPECT_EQ(StoredFile(oldFile), original); // the old revision stays as it was
    const QByteArray saved = StoredFile(Remote());
    EXPECT_EQ(scalar(QStringLiteral("SELECT pd_md5 FROM picndoku WHERE pd_id = %1").arg(m_doc->Id())),
              QString::fromLatin1(QCryptographicHash::hash(saved, QCryptographicHash::Md5).toHex()));
    const auto before = RawStrips(original), after = RawStrips(saved);
    ASSERT_EQ(after.size(), 3);
    EXPECT_EQ(after[0], before[0]);
    EXPECT_EQ(after[1], before[1]) << "the JPEG page was encoded again";
    EXPECT_NE(after[2], before[2]);
    TTiffReader reader(saved);
    reader.OpenPage(2);
    EXPECT_EQ(reader.Params().Width, 560); // turned a quarter
    reader.OpenPage(1);
    EXPECT_EQ(reader.Params().TIFF_ImageDescription,
              QByteArray("Code-Source: TFileViewerFrameTIFF.btEditSaveClick"));
    // Saved: nothing left to store.
    EXPECT_FALSE(v.CheckPageChanged());
    const int rows = Count(QStringLiteral("SELECT count(*) FROM picndoku"));
    v.btEditSaveClick(nullptr);
    EXPECT_EQ(Count(QStringLiteral("SELECT count(*) FROM picndoku")), rows);
}

// The status line walks the steps of a save; the steps after the commit (barcodes, the
// document event, related documents) find the new revision already stored for everyone.
TEST_F(SaveTest, TheStatusLineShowsEachStepAndTheStepsAfterTheCommitSeeTheRevision) {
    const int id = store(Tiff(2));
    TFileViewerFrameTIFF& v = Open(id);
    v.DoPageRotate(QStringLiteral("S"), 0, true);
    Annotate(1);
    StatusSteps status(v);
    QStringList seen;
    const QString visible = QStringLiteral("SELECT count(*) FROM picndoku");
    status.onStep = [&](int percent) {
        if (percent == 70 || percent == 80)
            seen << QStringLiteral("%1:%2").arg(percent).arg(Count(visible));
    };
    v.FOnDokumentEvent = [&](QObject*, TDokument*, TDokumentEventMode, const QStringList&) {
        seen << QStringLiteral("event:%1").arg(Count(visible));
    };
    v.btEditSaveClick(nullptr);
    // Between 10 and 50 and after it, the file's steps as its pages are done.
    EXPECT_EQ(
        status.steps,
        (QStringList{
            QStringLiteral("10 Speichere Bilddatei"), QStringLiteral("30 Speichere Bilddatei"),
            QStringLiteral("50 Speichere Bilddatei"), QStringLiteral("89 Speichere Bilddatei"),
            QStringLiteral("90 Kommentare speichern"), QStringLiteral("100"),
            QStringLiteral("70 Barcodes suchen"),
            QStringLiteral("80 Zusammenhängende Dokumente suchen"), QStringLiteral("100")}));
    EXPECT_EQ(seen, (QStringList{QStringLiteral("70:2"), QStringLiteral("event:2"), QStringLiteral("80:2")}));

    // Annotations alone: only their step.
    Annotate(0);
    status.steps.clear();
    v.btEditSaveClick(nullptr);
    EXPECT_EQ(status.steps, (QStringList{QStringLiteral("90 Kommentare speichern"), QStringLiteral("100")}));
}

TEST_F(SaveTest, ALongSaveShowsItsProgressAndLogsEachPageInOneGo) {
    // Small pages, many of them: what grows with the page count.
    Imaging::TTiffWriter w;
    for (int i = 0; i < 400; ++i) {
        Imaging::TIOParams p;
        p.TIFF_Compression = Imaging::ioTIFF_G4FAX;
        w.WritePage(Page(i, 64, 80), p);
    }
    const int id = store(w.Finish());
    TFileViewerFrameTIFF& v = Open(id);
    v.show();
    QApplication::processEvents();
    v.imOverviewPages()->SetSelectedImage(0);
    v.btEditDelete->trigger();
    ASSERT_EQ(v.imOverviewPages()->ImageCount(), 399);
    StatusSteps status(v);
    v.btEditSave->trigger();
    EXPECT_EQ(v.imOverviewPages()->ImageCount(), 399);
    EXPECT_EQ(TTiffReader(StoredFile(Remote())).PageCount(), 399);

    // Between the fixed steps the bar moves on as the pages are done, never back.
    QList<int> writing;
    for (const QString& step : std::as_const(status.steps))
        if (step.endsWith(QStringLiteral("Speichere Bilddatei")))
            writing << step.section(u' ', 0, 0).toInt();
    EXPECT_GE(writing.size(), 12) << status.steps.join(u'|').toStdString();
    EXPECT_TRUE(std::is_sorted(writing.cbegin(), writing.cend()));
    EXPECT_EQ(writing.value(0), 10);
    EXPECT_TRUE(writing.contains(50));
    EXPECT_LT(writing.last(), 90);
    EXPECT_TRUE(status.steps.contains(QStringLiteral("90 Kommentare speichern")));
    // Each page's code source is in the log, written with the revision.
    EXPECT_EQ(
        Count(QStringLiteral("SELECT count(*) FROM eventlog WHERE el_text = "
                             "'TFileViewerFrameTIFF.CheckImageFormatAndSetName: Code-Source = "
                             "TFileViewerFrameTIFF.btEditSaveClick'")),
        399);
}

TEST_F(SaveTest, RevisionOptionsAddTheStandardMember) {
    const int id = store(Tiff(1));
    TDokument d;
    d.AssignToDokId(id);
    testsupport::TestDatabase::Exec(QStringLiteral("UPDATE picndoku SET pd_print = false"));
    d.AssignToDokId(id);
    EXPECT_EQ(TFileViewerFrameTIFF::RevisionOptions(d), 0x75);
    testsupport::TestDatabase::Exec(QStringLiteral("UPDATE picndoku SET pd_print = true"));
    d.AssignToDokId(id);
    EXPECT_EQ(TFileViewerFrameTIFF::RevisionOptions(d), 0x7D);
}

TEST_F(SaveTest, AnnotationsOnlyAreWrittenIntoTheSameFileWithoutARevision) {
    const int id = store(Tiff(3));
    const QString file = [&] { TDokument d; d.AssignToDokId(id); return d.DMSRemoteFilename(); }();
    // Page 2 carries a stored annotation the viewer never has to read for the flag.
    const QByteArray stored("<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<annotation>\r\n</annotation>\r\n");
    DCFileMethods().WriteAnnotation(&stored, file, 2);
    TFileViewerFrameTIFF& v = Open(id);
    Annotate(0);
    v.btEditSaveClick(nullptr);
    EXPECT_EQ(m_doc->Id(), id);
    EXPECT_EQ(Count(QStringLiteral("SELECT count(*) FROM picndoku")), 1);
    EXPECT_EQ(Count(QStringLiteral("SELECT count(*) FROM dms_file")), 1);
    EXPECT_FALSE(DCFileMethods().ReadAnnotation(file, 0).isEmpty());
    EXPECT_EQ(DCFileMethods().ReadAnnotation(file, 2), stored);
    EXPECT_EQ(scalar(QStringLiteral("SELECT pd_dmscomment FROM picndoku")), QStringLiteral("t"));

    // Removing the only new one: the page that was never touched still counts.
    v.LoadImage(0, true);
    v.imCurrentPage->Model().RemoveAllObjects();
    v.SaveAnnotationsOfPage(0);
    for (int i = 0; i < 3; ++i) // as when the strip is hidden: pages 1 and 2 not loaded
        if (i != 0)
            v.imOverviewPages()->UserData(i)->Clear();
    v.btEditSaveClick(nullptr);
    EXPECT_TRUE(DCFileMethods().ReadAnnotation(file, 0).isEmpty());
    EXPECT_EQ(scalar(QStringLiteral("SELECT pd_dmscomment FROM picndoku")), QStringLiteral("t"));
}

TEST_F(SaveTest, MovedAndDeletedPagesTakeTheirAnnotationSlotsAlong) {
    const int id = store(Tiff(5));
    TFileViewerFrameTIFF& v = Open(id);
    Annotate(2, 20);
    Annotate(3, 40);
    Annotate(4, 60);
    v.btEditSaveClick(nullptr);
    const QString first = Remote();
    const QByteArray a2 = DCFileMethods().ReadAnnotation(first, 2);
    const QByteArray a3 = DCFileMethods().ReadAnnotation(first, 3);
    ASSERT_FALSE(a2.isEmpty());

    // Page 3 (index 2) moves to the front, untouched; the last two pages go.
    MovePage(2, 0);
    for (int page : {4, 3}) {
        v.LoadImage(page, true);
        v.btEditDeleteClick(nullptr);
    }
    EXPECT_EQ(v.imOverviewPages()->ImageCount(), 3);
    v.btEditSaveClick(nullptr);
    const QString second = Remote();
    ASSERT_NE(second, first);
    EXPECT_EQ(DCFileMethods().ReadAnnotation(second, 0), a2);
    EXPECT_TRUE(DCFileMethods().ReadAnnotation(second, 2).isEmpty());
    EXPECT_EQ(Slots(second), 1); // slots 3 and 4 emptied
    EXPECT_EQ(DCFileMethods().ReadAnnotation(first, 3), a3); // the old revision keeps its own
    EXPECT_EQ(DCFileMethods().GetImageCount(second), 3);

    // Read back: the moved page shows its own picture and annotation.
    Open(m_doc->Id());
    TPageData* front = m_viewer->imOverviewPages()->UserData(0);
    ASSERT_TRUE(front && front->Loadet);
    EXPECT_EQ(front->CurAnnot, a2);
    EXPECT_EQ(TViewerPages::DecodePage(front->CurImage).convertToFormat(QImage::Format_Grayscale8),
              Page(2).convertToFormat(QImage::Format_Grayscale8));
}

TEST_F(SaveTest, TheLastPageStaysAndAPageNotYetStoredLeavesNoTrace) {
    const int id = store(Tiff(1));
    TFileViewerFrameTIFF& v = Open(id);
    v.LoadImage(0, true);
    m_answers.Expect(QStringLiteral("Mindestens eine Seite muß vorhanden bleiben."), Vcl::mrOk);
    EXPECT_THROW(v.btEditDeleteClick(nullptr), EAbort);
    EXPECT_EQ(v.imOverviewPages()->ImageCount(), 1);

    v.DoPageAdd(Page(7), QStringLiteral("scan"), QStringLiteral("Test"));
    v.LoadImage(1, true);
    v.btEditDeleteClick(nullptr);
    EXPECT_TRUE(v.Pages().FDeletedPages.isEmpty());
    EXPECT_FALSE(v.CheckPageChanged());
}

TEST_F(SaveTest, ATabsCloseButtonDeletesItsPageOnlyWherePagesMayBeEdited) {
    const int id = store(Tiff(3));
    TFileViewerFrameTIFF& v = Open(id);
    v.LoadImage(0, true);
    const auto closeButton = [&] {
        QTabBar* tab = v.tcPages->CurrentTab();
        QWidget* b = tab->tabButton(0, QTabBar::RightSide);
        if (!b)
            b = tab->tabButton(0, QTabBar::LeftSide);
        return qobject_cast<QAbstractButton*>(b);
    };
    ASSERT_TRUE(v.tcPages->Closable());
    ASSERT_TRUE(closeButton());
    EXPECT_FALSE(closeButton()->toolTip().isEmpty());
    v.tcPages->SetCurrentIndex(2);
    ASSERT_EQ(v.imOverviewPages()->SelectedImage(), 2);
    closeButton()->click(); // the page of the tab goes, not the one shown before
    EXPECT_EQ(v.imOverviewPages()->ImageCount(), 2);
    EXPECT_EQ(v.tcPages->Count(), 2);
    EXPECT_EQ(v.tcPages->PageNumber()->maximum(), 2);
    ASSERT_EQ(v.Pages().FDeletedPages.size(), 1);
    EXPECT_EQ(v.Pages().FDeletedPages.first()->FromIndex, 2);

    // Annotation edits pending on the shown page: the page command refuses, nothing goes.
    v.LoadImage(0, true);
    v.SaveUndo(nullptr);
    v.AddAnnotHighlight(QRect(20, 20, 60, 30), 65535);
    ASSERT_TRUE(v.CanUndo());
    m_answers.Expect(QStringLiteral("Anmerkungen speichern oder verwerfen"), Vcl::mrOk);
    closeButton()->click();
    EXPECT_EQ(v.imOverviewPages()->ImageCount(), 2);

    // Read-only: no close buttons at all.
    m_viewer.reset();
    m_doc = std::make_unique<TDokument>();
    m_doc->AssignToDokId(id);
    m_viewer = std::make_unique<TFileViewerFrameTIFF>(nullptr, m_doc.get(), false, nullptr);
    EXPECT_GT(m_viewer->tcPages->Count(), 1);
    EXPECT_FALSE(m_viewer->tcPages->Closable());
}

TEST_F(SaveTest, ANewDocumentIsStoredWithItsPagesAndAnnotations) {
    m_doc = std::make_unique<TDokument>();
    m_doc->AssignToRecNo(QStringLiteral("adressen"), QStringLiteral("5"));
    m_doc->SetNewDocumentFlag(true);
    m_doc->InsertData() = {true, QStringLiteral("Scan"), QStringLiteral("LS"), {}, {}, QStringLiteral("scan")};
    m_viewer = std::make_unique<TFileViewerFrameTIFF>(nullptr, m_doc.get(), true, nullptr);
    TFileViewerFrameTIFF& v = *m_viewer;
    QStringList modes;
    v.FOnDokumentEvent = [&](QObject*, TDokument*, TDokumentEventMode mode, const QStringList&) {
        modes << QString::number(mode);
    };
    v.DoPageAdd(Page(1), QStringLiteral("scan"), QStringLiteral("Test"));
    v.DoPageAdd(Page(2), QStringLiteral("scan"), QStringLiteral("Test"));
    Annotate(1);
    v.btEditSaveClick(nullptr);

    EXPECT_FALSE(m_doc->NewDocumentFlag());
    EXPECT_EQ(modes, QStringList{QStringLiteral("0")});
    EXPECT_EQ(scalar(QStringLiteral("SELECT pd_tablename || ':' || pd_dbrid || ':' || pd_doktype "
                                    "|| ':' || pd_source FROM picndoku")),
              QStringLiteral("adressen:5:LS:scan"));
    const QString file = scalar(QStringLiteral("SELECT pd_dmsremotefile FROM picndoku"));
    EXPECT_TRUE(file.startsWith(QStringLiteral("LS/")) && file.endsWith(QStringLiteral(".tiff")));
    EXPECT_EQ(RawStrips(StoredFile(file)).size(), 2);
    EXPECT_EQ(scalar(QStringLiteral("SELECT pd_md5 FROM picndoku")),
              QString::fromLatin1(QCryptographicHash::hash(StoredFile(file), QCryptographicHash::Md5).toHex()));
    EXPECT_EQ(Slots(file), 1);
    EXPECT_FALSE(DCFileMethods().ReadAnnotation(file, 1).isEmpty());
}

TEST_F(SaveTest, AFailureBeforeTheCommitStoresNothingAndKeepsTheEdits) {
    for (const char* point : {"TDCFileMethods.WriteFile.chunk", "TFileViewerFrameTIFF.btEditSaveClick.annotations",
                              "TFileViewerFrameTIFF.btEditSaveClick.commit"}) {
        SCOPED_TRACE(point);
        Rtl::FaultHook.Set([point](const char* p) {
            if (qstrcmp(p, point) == 0)
                throw std::runtime_error("Datenträger voll");
        });
        // A scan not yet stored: the pages stay in the viewer, the document stays new.
        m_doc = std::make_unique<TDokument>();
        m_doc->AssignToRecNo(QStringLiteral("adressen"), QStringLiteral("5"));
        m_doc->SetNewDocumentFlag(true);
        m_doc->InsertData() = {true, QStringLiteral("Scan"), QStringLiteral("LS"), {}, {}, {}};
        m_viewer = std::make_unique<TFileViewerFrameTIFF>(nullptr, m_doc.get(), true, nullptr);
        m_viewer->DoPageAdd(Page(1), QStringLiteral("scan"), QStringLiteral("Test"));
        Annotate(0);
        const QByteArray annot = m_viewer->imOverviewPages()->UserData(0)->CurAnnotX;
        EXPECT_EQ(messageOf([&] { m_viewer->btEditSaveClick(nullptr); }), QStringLiteral("Datenträger voll"));
        EXPECT_EQ(Count(QStringLiteral("SELECT count(*) FROM picndoku")), 0);
        EXPECT_EQ(Count(QStringLiteral("SELECT count(*) FROM dms_file")), 0);
        EXPECT_EQ(Count(QStringLiteral("SELECT count(*) FROM pg_largeobject_metadata")), 0);
        EXPECT_TRUE(m_doc->NewDocumentFlag());
        ASSERT_EQ(m_viewer->imOverviewPages()->ImageCount(), 1);
        EXPECT_EQ(m_viewer->imOverviewPages()->UserData(0)->CurAnnotX, annot);
        EXPECT_TRUE(m_viewer->CheckPageChanged());
        // The same save goes through once the cause is gone.
        Rtl::FaultHook.Reset();
        m_viewer->btEditSaveClick(nullptr);
        EXPECT_EQ(Count(QStringLiteral("SELECT count(*) FROM picndoku")), 1);
        m_viewer.reset();
        testsupport::TestDatabase::Exec(QStringLiteral("DELETE FROM picndoku; DELETE FROM dms_file"));
    }
}

TEST_F(SaveTest, AFailingRevisionLeavesThePreviousOneAndTheEdits) {
    const int id = store(Tiff(2));
    TFileViewerFrameTIFF& v = Open(id);
    const QString file = Remote();
    v.DoPageRotate(QStringLiteral("S"), 0, true);
    Annotate(1);
    Rtl::FaultHook.Set([](const char* p) {
        if (qstrcmp(p, "TFileViewerFrameTIFF.btEditSaveClick.commit") == 0)
            throw std::runtime_error("Verbindung verloren");
    });
    EXPECT_EQ(messageOf([&] { v.btEditSaveClick(nullptr); }), QStringLiteral("Verbindung verloren"));
    EXPECT_EQ(m_doc->Id(), id);
    EXPECT_EQ(Remote(), file);
    EXPECT_EQ(Count(QStringLiteral("SELECT count(*) FROM picndoku")), 1);
    EXPECT_EQ(Slots(file), 0);
    EXPECT_TRUE(v.CheckPageChanged());
    EXPECT_TRUE(v.CheckAnnotChanged());
}

TEST_F(SaveTest, StampSqlRunsWithBoundValuesInTheSaveAndItsFailureStoresNothing) {
    testsupport::TestDatabase::Exec(QStringLiteral(
        "INSERT INTO picndoku (pd_tablename, pd_dbrid, pd_path) VALUES ('dokseals', 0, 'Geprüft');"
        "INSERT INTO doksealsql (dss_dt_id, dss_pd_id, dss_insertsql, dss_deletesql, dss_bez) "
        "SELECT 'LS', pd_id, 'INSERT INTO stamp_log VALUES (:dm_doktype, :dm_dokseal, :pd_descr, "
        ":ort, (SELECT count(*) FROM recnokeyword WHERE r_kategorie = ''kunde'' AND r_descr IN "
        ":kunde__InList)::text); UPDATE stamp_log SET descr = descr || ''!''', '', 'Log' FROM "
        "picndoku WHERE pd_path = 'Geprüft'"));
    const int id = store(Tiff(2));
    testsupport::TestDatabase::Exec(
        QStringLiteral("INSERT INTO recnokeyword (r_tablename, r_dbrid, r_kategorie, r_descr) "
                       "SELECT 'picndoku', dbrid, k[1], k[2] FROM picndoku, (VALUES "
                       "(ARRAY['kunde', 'A']), (ARRAY['kunde', 'B''; DROP TABLE stamp_log; --']), "
                       "(ARRAY['ort', 'O''Brien''); DROP TABLE stamp_log; --'])) v(k) WHERE pd_id = %1")
            .arg(id));
    TFileViewerFrameTIFF& v = Open(id);
    Stamp(1, QStringLiteral("Geprüft"));
    v.btEditSaveClick(nullptr);
    EXPECT_EQ(scalar(QStringLiteral("SELECT typ || '/' || seal || '/' || descr || '/' || kunden FROM stamp_log")),
              QStringLiteral("LS/Geprüft/Lieferschein!/2"));
    EXPECT_EQ(scalar(QStringLiteral("SELECT kunde FROM stamp_log")),
              QStringLiteral("O'Brien'); DROP TABLE stamp_log; --"));

    // Removing the stamp: an empty delete SQL runs nothing.
    v.LoadImage(1, true);
    v.imCurrentPage->Model().RemoveAllObjects();
    v.SaveAnnotationsOfPage(1);
    v.btEditSaveClick(nullptr);
    EXPECT_EQ(Count(QStringLiteral("SELECT count(*) FROM stamp_log")), 1);

    // A stamp SQL that fails: the message names the document; neither annotation nor log row.
    testsupport::TestDatabase::Exec(QStringLiteral("UPDATE doksealsql SET dss_insertsql = "
                                                   "'INSERT INTO stamp_log (typ) VALUES (:nirgends)'"));
    Stamp(0, QStringLiteral("Geprüft"));
    const QString message = messageOf([&] { v.btEditSaveClick(nullptr); });
    EXPECT_TRUE(message.startsWith(QStringLiteral("Stempelaktion konnte nicht ausgeführt werden.\r\n\r\nDokId=%1   "
                                                  "DokType=\"LS\"   DokSeal=\"Geprüft\"").arg(id)))
        << message.toStdString();
    EXPECT_TRUE(message.contains(QStringLiteral("Stempel-SQL: Parameter \"nirgends\" nicht gefunden.")));
    EXPECT_EQ(Slots(Remote()), 0);
    EXPECT_TRUE(v.CheckAnnotChanged());
}

TEST_F(SaveTest, TheCloseQuestionOffersCancelOnlyWithASenderAndEndsATextEditFirst) {
    const int id = store(Tiff(2));
    TFileViewerFrameTIFF& v = Open(id);
    bool canClose = true;
    v.FormCloseQuery(&v, canClose); // nothing changed: nothing asked
    EXPECT_TRUE(canClose);

    Annotate(0);
    m_answers.Expect(QStringLiteral("Die Seite wurde verändert."), Vcl::mrCancel);
    v.FormCloseQuery(&v, canClose);
    EXPECT_FALSE(canClose);
    ASSERT_FALSE(m_answers.Questions().empty());
    EXPECT_TRUE(m_answers.Questions().back().buttons.testFlag(Vcl::mbCancel));

    canClose = true;
    m_answers.Expect(QStringLiteral("Die Seite wurde verändert."), Vcl::mrNo);
    v.FormCloseQuery(nullptr, canClose);
    EXPECT_TRUE(canClose);
    EXPECT_FALSE(m_answers.Questions().back().buttons.testFlag(Vcl::mbCancel));
    EXPECT_EQ(Slots(Remote()), 0);

    // A running scan is broken off, and the window stays.
    v.show();
    v.pnShowScan->show();
    v.FormCloseQuery(&v, canClose);
    EXPECT_FALSE(canClose);
    v.pnShowScan->hide();

    // Yes stores, also a text still being typed.
    canClose = true;
    v.LoadImage(1, true);
    v.AddAnnotText(QRect(30, 30, 200, 40), QStringLiteral("Prüfen"), 0, 20, QStringLiteral("Arial"),
                   false, false, -1, 0);
    v.SaveUndo(nullptr); // as the user's typing does
    v.imCurrentPage->MemoEdit(v.imCurrentPage->Model().GetObjFromIndex(
        v.imCurrentPage->Model().ObjectsCount() - 1));
    ASSERT_TRUE(v.imCurrentPage->IsMemoEditing());
    m_answers.Expect(QStringLiteral("Die Seite wurde verändert."), Vcl::mrYes);
    v.FormCloseQuery(nullptr, canClose);
    EXPECT_TRUE(canClose);
    EXPECT_EQ(Slots(Remote()), 2);
}

// ---------------------------------------------------------------------------------------------
// Saves against the lock and the valid revision, and pages whose stored annotations another
// program wrote as no well-formed XML.

namespace {

QString revisionRows() {
    return testsupport::TestDatabase::Scalar(QStringLiteral(
        "SELECT string_agg(pd_id || ':' || pd_deletable, ',' ORDER BY pd_id) || '/' || (SELECT "
        "count(*) FROM dms_file) || '/' || (SELECT count(*) FROM dms_annotation) FROM picndoku"));
}

void highlight(TFileViewerFrameTIFF& v, int page) {
    v.LoadImage(page, true);
    v.AddAnnotHighlight(QRect(30, 30, 80, 40), 65535);
    v.SaveAnnotationsOfPage(page);
}

} // namespace

// bernd has the document checked out: anna's highlight is refused as her page changes are, and
// stays with her to be saved once he is done.
TEST_F(SaveTest, AnotherUsersCheckOutRefusesAnAnnotationSaveAndTheEditsStay) {
    const int id = store(Tiff(2));
    TFileViewerFrameTIFF& v = Open(id);
    lock(id, QStringLiteral("bernd"), QStringLiteral("/home/bernd/scan.tiff"));
    Annotate(0);
    ErrorForms errors;
    v.btAnnotSave->trigger();
    ASSERT_EQ(errors.shown.size(), 1);
    EXPECT_TRUE(errors.shown[0].contains(QStringLiteral("Gesperrt von bernd")))
        << errors.shown[0].toStdString();
    EXPECT_EQ(Slots(Remote()), 0);
    EXPECT_TRUE(v.CheckAnnotChanged());

    testsupport::TestDatabase::Exec(QStringLiteral(
        "UPDATE picndoku_revision SET pdr_lock_user = NULL, pdr_checkout_path = NULL"));
    v.btAnnotSave->trigger();
    EXPECT_EQ(Slots(Remote()), 1);
    EXPECT_FALSE(v.CheckAnnotChanged());
}

// Viewer B (bernd, on a connection of his own) and viewer C (anna again) were opened before anna's
// viewer A deleted the third page and saved. B's highlight and B's turned page, and C's highlight,
// are refused, saying who saved and when: the old revision's file gets no annotation, A's two
// pages stay the valid revision, and B's edits stay on screen, also after the close question's
// "Ja". B may then load the valid revision and save into it.
TEST_F(SaveTest, AViewerOnAnOldRevisionStoresNothingKeepsItsEditsAndMayLoadTheValidOne) {
    const QByteArray original = Tiff(3);
    const int id = store(original);
    TDM1 bernd(nullptr, false);
    bernd.Connect();
    bernd.SetLoginName(QStringLiteral("bernd"));
    TDokument bDoc;
    bDoc.SetDatabase(&bernd.Database());
    bDoc.AssignToDokId(id);
    TFileViewerFrameTIFF b(nullptr, &bDoc, true, nullptr);
    TDokument cDoc;
    cDoc.AssignToDokId(id);
    TFileViewerFrameTIFF c(nullptr, &cDoc, true, nullptr);
    const QString oldFile = bDoc.DMSRemoteFilename();

    TFileViewerFrameTIFF& a = Open(id);
    a.LoadImage(2, true);
    a.btEditDelete->trigger();
    a.btEditSave->trigger();
    const int valid = m_doc->Id();
    ASSERT_NE(valid, id);
    const QString validFile = Remote();
    const QString stored = revisionRows();
    const QStringList originalPages = PillowPixels(original);
    ASSERT_EQ(originalPages.size(), 3);
    const QString stale =
        QStringLiteral("Das Dokument \"Lieferschein\" wurde inzwischen von anna am ");

    highlight(b, 0);
    m_answers.Expect(stale, Vcl::mrNo);
    b.btAnnotSave->trigger();
    b.DoPageRotate(QStringLiteral("S"), 1, true);
    m_answers.Expect(stale, Vcl::mrNo);
    b.btEditSave->trigger();
    bool canClose = true;
    m_answers.Expect(QStringLiteral("Die Seite wurde verändert."), Vcl::mrYes);
    m_answers.Expect(stale, Vcl::mrNo);
    EXPECT_THROW(b.FormCloseQuery(nullptr, canClose), EAbort);
    EXPECT_FALSE(canClose);
    highlight(c, 1);
    m_answers.Expect(stale, Vcl::mrNo);
    c.btAnnotSave->trigger();
    ASSERT_EQ(m_answers.Pending(), 0);
    EXPECT_FALSE(m_answers.Questions().back().defaultButton == Vcl::mbYes);

    EXPECT_EQ(revisionRows(), stored);
    EXPECT_EQ(Slots(oldFile), 0);
    EXPECT_EQ(PillowPixels(StoredFile(validFile)), originalPages.mid(0, 2));
    EXPECT_EQ(bDoc.Id(), id);
    EXPECT_EQ(b.imOverviewPages()->ImageCount(), 3);
    EXPECT_TRUE(b.CheckPageChanged());
    EXPECT_TRUE(b.CheckAnnotChanged());
    EXPECT_TRUE(c.CheckAnnotChanged());

    // B takes the valid revision: its edits go, A's two pages show, and B's next save lands there.
    m_answers.Expect(stale, Vcl::mrYes);
    b.btEditSave->trigger();
    EXPECT_EQ(bDoc.Id(), valid);
    EXPECT_EQ(b.imOverviewPages()->ImageCount(), 2);
    EXPECT_FALSE(b.CheckPageChanged());
    EXPECT_FALSE(b.CheckAnnotChanged());
    highlight(b, 1);
    b.btAnnotSave->trigger();
    EXPECT_EQ(bDoc.Id(), valid);
    EXPECT_FALSE(DCFileMethods().ReadAnnotation(validFile, 1).isEmpty());
    EXPECT_EQ(Slots(oldFile), 0);
}

// A page whose stored annotation has text after its root (as another program may write it) says
// so once, however often it is shown; it is kept byte for byte through annotation saves, a page
// save and the close question's "Ja", and never stops the other pages' saves. Annotating it asks
// first: "Nein" keeps it, "Ja" replaces it.
TEST_F(SaveTest, AnUnreadableAnnotationPageIsSaidOnceKeptAsStoredAndNeverBlocksASave) {
    const int id = store(Tiff(3));
    const QString first = [&] {
        TDokument d;
        d.AssignToDokId(id);
        return d.DMSRemoteFilename();
    }();
    const QByteArray foreign =
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<annotation>\r\n  <highlight top=\"5\" "
        "left=\"5\" bottom=\"50\" right=\"90\" creator=\"fremd\"/>\r\n</annotation>\r\n"
        "nachgetragen von Hand\r\n";
    DCFileMethods().WriteAnnotation(&foreign, first, 1);
    ErrorForms errors;
    TFileViewerFrameTIFF& v = Open(id);
    v.LoadImage(1, true);
    v.LoadImage(0, true);
    v.LoadImage(1, true);
    ASSERT_EQ(errors.shown.size(), 1) << errors.shown.join(u'|').toStdString();
    EXPECT_TRUE(errors.shown[0].contains(QStringLiteral("Seite 2")))
        << errors.shown[0].toStdString();

    Annotate(0);
    v.btAnnotSave->trigger();
    EXPECT_FALSE(DCFileMethods().ReadAnnotation(first, 0).isEmpty());
    EXPECT_EQ(DCFileMethods().ReadAnnotation(first, 1), foreign);

    // A page save: the new revision keeps it too, its pages read back by Pillow.
    v.LoadImage(2, true);
    v.btEditDelete->trigger();
    v.btEditSave->trigger();
    const QString second = Remote();
    ASSERT_NE(second, first);
    EXPECT_EQ(PillowPixels(StoredFile(second)).size(), 2);
    EXPECT_EQ(DCFileMethods().ReadAnnotation(second, 1), foreign);
    Annotate(0, 60);
    bool canClose = true;
    m_answers.Expect(QStringLiteral("Die Seite wurde verändert."), Vcl::mrYes);
    v.FormCloseQuery(nullptr, canClose);
    EXPECT_TRUE(canClose);
    EXPECT_EQ(DCFileMethods().ReadAnnotation(second, 1), foreign);

    // Annotating the page itself: "Nein" keeps what is stored and drops the new highlight.
    v.LoadImage(1, true);
    v.AddAnnotHighlight(QRect(20, 20, 60, 30), 65535);
    m_answers.Expect(
        QStringLiteral("Die gespeicherten Anmerkungen der Seite 2 können nicht gelesen "
                       "werden."),
        Vcl::mrNo);
    v.btPagePrev->trigger();
    ASSERT_EQ(m_answers.Pending(), 0);
    EXPECT_FALSE(m_answers.Questions().back().defaultButton == Vcl::mbYes);
    EXPECT_FALSE(v.CheckAnnotChanged());
    v.btAnnotSave->trigger();
    EXPECT_EQ(DCFileMethods().ReadAnnotation(second, 1), foreign);
    // "Ja" replaces it with the user's highlight.
    v.LoadImage(1, true);
    v.AddAnnotHighlight(QRect(20, 20, 60, 30), 65535);
    m_answers.Expect(QStringLiteral("können nicht gelesen werden"), Vcl::mrYes);
    v.btAnnotSave->trigger();
    const QByteArray replaced = DCFileMethods().ReadAnnotation(second, 1);
    EXPECT_TRUE(replaced.contains("<highlight")) << replaced.toStdString();
    EXPECT_FALSE(replaced.contains("fremd"));
    EXPECT_EQ(errors.shown.size(), 1);
}

// ---------------------------------------------------------------------------------------------
// A client killed at any step of a save: the helper below runs in a process of its own and dies
// at the named fault point; the store then holds the previous revision whole or the new one whole.

namespace {
const char* const kKillAt = "KORVEX_SAVE_KILL_AT";
const char* const kKillDoc = "KORVEX_SAVE_KILL_DOC";
} // namespace

TEST(SaveKillHelper, SavesUntilKilled) {
    if (qEnvironmentVariableIsEmpty(kKillDoc))
        GTEST_SKIP() << "runs only as the helper process of SaveTest.AKilledSave...";
    const QByteArray point = qgetenv(kKillAt);
    TDM1 dm;
    dm.Connect();
    dm.SetLoginName(QStringLiteral("anna"));
    Rtl::Package::Get(QStringLiteral("hadrel")).Initialize();
    TDokument doc;
    doc.AssignToDokId(qEnvironmentVariableIntValue(kKillDoc));
    TFileViewerFrameTIFF v(nullptr, &doc, true, nullptr);
    v.DoPageRotate(QStringLiteral("S"), 0, true);
    v.LoadImage(1, true);
    v.AddAnnotHighlight(QRect(10, 10, 80, 40), 255);
    v.SaveAnnotationsOfPage(1);
    Rtl::FaultHook.Set([point](const char* p) {
        if (point == p)
            ::raise(SIGKILL);
    });
    v.btEditSaveClick(nullptr);
    std::_Exit(0);
}

TEST_F(SaveTest, AKilledSaveLeavesThePreviousRevisionWholeOrTheNewOneWhole) {
    const QByteArray original = Tiff(2);
    const int id = store(original);
    const QString file = scalar(QStringLiteral("SELECT pd_dmsremotefile FROM picndoku"));
    const QByteArray note("<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<annotation>\r\n</annotation>\r\n");
    DCFileMethods().WriteAnnotation(&note, file, 0);
    const QString state = QStringLiteral(
        "SELECT count(*) || '/' || (SELECT count(*) FROM dms_file) || '/' || (SELECT count(*) "
        "FROM pg_largeobject_metadata) || '/' || (SELECT count(*) FROM dms_annotation) FROM picndoku");
    const QString before = scalar(state);
    for (const char* point :
         {"TDCFileMethods.WriteFile.chunk", "TDCFileMethods.WriteFile.row", "TDokument.storeFile.rows",
          "TDokument.storeFile.commit", "TFileViewerFrameTIFF.btEditSaveClick.annotations",
          "TFileViewerFrameTIFF.btEditSaveClick.stamps", "TFileViewerFrameTIFF.btEditSaveClick.commit", ""}) {
        SCOPED_TRACE(point);
        QProcess helper;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QString::fromLatin1(kKillAt), QString::fromLatin1(point));
        env.insert(QString::fromLatin1(kKillDoc), QString::number(id));
        helper.setProcessEnvironment(env);
        helper.start(QCoreApplication::applicationFilePath(),
                     {QStringLiteral("--gtest_filter=SaveKillHelper.SavesUntilKilled")});
        ASSERT_TRUE(helper.waitForFinished(60000));
        if (*point) {
            EXPECT_EQ(helper.exitStatus(), QProcess::CrashExit);
            // Killed before the commit: the previous revision, byte for byte with its annotation.
            EXPECT_EQ(scalar(state), before);
            EXPECT_EQ(StoredFile(file), original);
            EXPECT_EQ(DCFileMethods().ReadAnnotation(file, 0), note);
        } else {
            EXPECT_EQ(helper.exitCode(), 0) << helper.readAllStandardOutput().toStdString();
            // Through: the new revision whole, with the copied and the new annotation.
            EXPECT_EQ(scalar(state), QStringLiteral("2/2/2/3"));
            const QString newFile = scalar(QStringLiteral("SELECT pd_dmsremotefile FROM picndoku "
                                                          "WHERE NOT pd_deletable"));
            EXPECT_EQ(DCFileMethods().ReadAnnotation(newFile, 0), note);
            EXPECT_FALSE(DCFileMethods().ReadAnnotation(newFile, 1).isEmpty());
            EXPECT_EQ(RawStrips(StoredFile(newFile)).size(), 2);
            EXPECT_EQ(StoredFile(file), original);
        }
    }
}

TEST_F(SaveTest, SwitchingToAnnotatingStoresThePagesFirstAndASplitDocumentTakesTheLinks) {
    const int id = store(Tiff(2));
    TFileViewerFrameTIFF& v = Open(id);
    v.DoPageRotate(QStringLiteral("S"), 1, true);
    m_answers.Expect(QStringLiteral("Anmerkungen bearbeiten zu können?"), Vcl::mrNo);
    v.btEditAnnotClick(nullptr);
    EXPECT_EQ(m_doc->Id(), id);
    m_answers.Expect(QStringLiteral("Anmerkungen bearbeiten zu können?"), Vcl::mrYes);
    v.btEditAnnotClick(nullptr);
    EXPECT_NE(m_doc->Id(), id);
    EXPECT_TRUE(v.HasBeenSaved());
    EXPECT_EQ(v.ribMenu->ActiveTab(), v.ribMenuAnnotation);
    EXPECT_FALSE(v.CheckPageChanged());

    testsupport::TestDatabase::Exec(
        QStringLiteral("INSERT INTO picndokulink (pdl_pd_id, pdl_tablename, pdl_dbrid) VALUES "
                       "(%1, 'adressen', 7), (%1, 'auftrag', 9)")
            .arg(m_doc->Id()));
    TDokument split;
    split.AssignToDokId(store(Tiff(1)));
    v.SplitDokumentAfterPost(&split);
    EXPECT_EQ(scalar(QStringLiteral("SELECT string_agg(pdl_tablename || pdl_dbrid, ',' ORDER BY "
                                    "pdl_tablename) FROM picndokulink WHERE pdl_pd_id = %1")
                         .arg(split.Id())),
              QStringLiteral("adressen7,auftrag9"));
}

// Edit mode reads only what it shows: a save rewrites every page, and the pages never read come
// from the stored file's bytes exactly as they were (libtiff's own reader and Pillow say so),
// among them 16-bit samples of a big-endian file; a deleted page takes its annotation slot along,
// and a page never shown that moves takes its own.
TEST_F(SaveTest, EditModeReadsOnlyThePagesShownAndASaveKeepsEveryOtherPageAsStored) {
    // A 16-bit RGB page with LZW and the predictor (libtiff's raw2tiff), a palette page (Pillow)
    // and G4 pages, put into one big-endian file by tiffcp -B.
    QTemporaryDir dir;
    QByteArray samples;
    for (int y = 0; y < 90; ++y)
        for (int x = 0; x < 140; ++x)
            for (const int v : {(x * 1601 + y * 37) % 65536, (x * 313 + y * 4099) % 65536, (x * y * 97 + 11) % 65536}) {
                samples += char(v & 0xff);
                samples += char(v >> 8);
            }
    {
        QFile raw(dir.filePath(QStringLiteral("rgb16.raw")));
        ASSERT_TRUE(raw.open(QIODevice::WriteOnly));
        raw.write(samples);
    }
    ASSERT_EQ(QProcess::execute(QStringLiteral("raw2tiff"),
                                {QStringLiteral("-w"), QStringLiteral("140"), QStringLiteral("-l"), QStringLiteral("90"),
                                 QStringLiteral("-d"), QStringLiteral("short"), QStringLiteral("-b"), QStringLiteral("3"),
                                 QStringLiteral("-p"), QStringLiteral("rgb"), QStringLiteral("-i"), QStringLiteral("pixel"),
                                 QStringLiteral("-L"), QStringLiteral("-c"), QStringLiteral("lzw:2"),
                                 dir.filePath(QStringLiteral("rgb16.raw")), dir.filePath(QStringLiteral("rgb16.tif"))}),
              0);
    QFile rgb16File(dir.filePath(QStringLiteral("rgb16.tif")));
    ASSERT_TRUE(rgb16File.open(QIODevice::ReadOnly));
    const QByteArray rgb16 = testsupport::Tiffcp(rgb16File.readAll(), {QStringLiteral("-f"), QStringLiteral("msb2lsb")});
    const QByteArray palette = testsupport::PillowFile(QStringLiteral(
        "import sys\nfrom PIL import Image, ImageDraw\nim = Image.new('P', (200, 150), 0)\n"
        "im.putpalette([0, 0, 0, 255, 255, 255, 200, 30, 40, 20, 120, 220] + [0] * 756)\n"
        "d = ImageDraw.Draw(im)\nd.rectangle((10, 10, 120, 80), fill=2)\nd.ellipse((90, 40, 190, 140), fill=3)\n"
        "d.line((0, 149, 199, 0), fill=1, width=3)\nim.save(sys.argv[1], compression='tiff_lzw')\n"));
    TTiffWriter g4;
    for (int i = 0; i < 3; ++i) {
        TIOParams p;
        p.TIFF_Compression = ioTIFF_G4FAX;
        p.DpiX = p.DpiY = 100;
        g4.WritePage(Page(i), p);
    }
    const QByteArray g4Pages = g4.Finish();
    const auto g4Page = [&](int n) {
        TTiffReader r(g4Pages);
        r.OpenPage(n);
        return r.ExtractPage();
    };
    // Pages: G4, G4, 16-bit RGB, palette, G4.
    const QByteArray original =
        testsupport::Tiffcp(QList<QByteArray>{g4Page(0), g4Page(1), rgb16, palette, g4Page(2)}, {QStringLiteral("-B")});
    ASSERT_TRUE(original.startsWith("MM")) << original.left(40).toStdString();
    const QString info = tiffpages::RunTool(QStringLiteral("tiffinfo"), original);
    ASSERT_EQ(info.count(QStringLiteral("=== TIFF directory")), 5);
    ASSERT_TRUE(info.contains(QStringLiteral("Bits/Sample: 16"))) << info.toStdString();
    ASSERT_TRUE(info.contains(QStringLiteral("Predictor: horizontal differencing")));
    const QStringList pillowBefore = PillowPixels(original);
    const QStringList samplesBefore = DecodedSamples(original);
    ASSERT_EQ(pillowBefore.size(), 5);
    ASSERT_EQ(samplesBefore.size(), 5);
    ASSERT_TRUE(samplesBefore[2].startsWith(QStringLiteral("16 bit, 75600 bytes")))
        << samplesBefore[2].toStdString();

    const int id = store(original);
    const QString first = [&] { TDokument d; d.AssignToDokId(id); return d.DMSRemoteFilename(); }();
    // Stored annotations on page 2 (deleted below) and page 5 (never shown).
    const QByteArray onSecond("<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<annotation>\r\n</annotation>\r\n");
    const QByteArray onLast("<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<annotation >\r\n</annotation>\r\n");
    DCFileMethods().WriteAnnotation(&onSecond, first, 1);
    DCFileMethods().WriteAnnotation(&onLast, first, 4);

    TFileViewerFrameTIFF& v = Open(id);
    TPageList* list = v.imOverviewPages();
    ASSERT_EQ(list->ImageCount(), 5);
    EXPECT_FALSE(v.imOverview->isHidden());
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(list->UserData(i)->Loadet, i == 0) << i;

    // Page 1 turned, nothing else touched.
    v.DoPageRotate(QStringLiteral("S"), 0, true);
    v.btEditSaveClick(nullptr);
    const QString second = Remote();
    ASSERT_NE(second, first);
    for (int i = 1; i < 5; ++i)
        EXPECT_FALSE(list->UserData(i)->Loadet) << i; // the save read none of them page by page
    const QByteArray saved = StoredFile(second);
    ASSERT_TRUE(saved.startsWith("II"));
    const QStringList pillowSaved = PillowPixels(saved);
    const QStringList samplesSaved = DecodedSamples(saved);
    ASSERT_EQ(pillowSaved.size(), 5);
    ASSERT_EQ(samplesSaved.size(), 5);
    EXPECT_NE(pillowSaved[0], pillowBefore[0]);
    EXPECT_TRUE(pillowSaved[0].contains(QStringLiteral("560x400"))) << pillowSaved[0].toStdString();
    for (int i = 1; i < 5; ++i) {
        EXPECT_EQ(pillowSaved[i], pillowBefore[i]) << i;
        EXPECT_EQ(samplesSaved[i], samplesBefore[i]) << i; // the 16-bit samples too
    }
    EXPECT_EQ(DCFileMethods().ReadAnnotation(second, 1), onSecond);
    EXPECT_EQ(DCFileMethods().ReadAnnotation(second, 4), onLast);

    // Page 2 deleted: pages 3 to 5, never shown, move up with their annotation slots.
    v.LoadImage(1, true);
    v.btEditDeleteClick(nullptr);
    ASSERT_EQ(list->ImageCount(), 4);
    EXPECT_FALSE(list->UserData(3)->Loadet);
    EXPECT_TRUE(v.CheckPageChanged());
    v.btEditSaveClick(nullptr);
    const QString third = Remote();
    ASSERT_NE(third, second);
    const QByteArray shorter = StoredFile(third);
    const QStringList pillowShorter = PillowPixels(shorter);
    const QStringList samplesShorter = DecodedSamples(shorter);
    ASSERT_EQ(pillowShorter.size(), 4);
    ASSERT_EQ(samplesShorter.size(), 4);
    EXPECT_EQ(pillowShorter[0], pillowSaved[0]);
    EXPECT_EQ(samplesShorter[0], samplesSaved[0]);
    for (int i = 1; i < 4; ++i) {
        EXPECT_EQ(pillowShorter[i], pillowBefore[i + 1]) << i;
        EXPECT_EQ(samplesShorter[i], samplesBefore[i + 1]) << i;
    }
    EXPECT_EQ(DCFileMethods().GetImageCount(third), 4);
    EXPECT_TRUE(DCFileMethods().ReadAnnotation(third, 1).isEmpty());
    EXPECT_EQ(DCFileMethods().ReadAnnotation(third, 3), onLast);
    EXPECT_EQ(Slots(third), 1);
    // The revisions before keep their own.
    EXPECT_EQ(StoredFile(first), original);
    EXPECT_EQ(DCFileMethods().ReadAnnotation(second, 1), onSecond);
    EXPECT_FALSE(v.CheckPageChanged());

    // Read back: the page never shown shows its own picture and annotation.
    Open(m_doc->Id());
    m_viewer->LoadImage(3, true);
    EXPECT_EQ(m_viewer->imOverviewPages()->UserData(3)->CurAnnot, onLast);
    EXPECT_EQ(TViewerPages::DecodePage(m_viewer->imOverviewPages()->UserData(3)->CurImage)
                  .convertToFormat(QImage::Format_Grayscale8),
              Page(2).convertToFormat(QImage::Format_Grayscale8));
}

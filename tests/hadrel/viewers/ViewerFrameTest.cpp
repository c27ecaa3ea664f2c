// The viewer frame: which events it binds, when the document event fires on hiding, closing and
// destruction, a failing receiver, the document going away first, and the Escape flag.
#include "ViewerFixture.h"

#include <Uloadform.h>
#include <Vcl.Components.h>

#include <QtTest/QTest>

using namespace viewertest;

namespace {

class TestViewer final : public TFileViewerFrame {
public:
    explicit TestViewer(QObject* owner, TLoadForm* load = nullptr, bool bindOwnHide = false)
        : TFileViewerFrame(owner, nullptr, false, load) {
        if (bindOwnHide)
            OnHide = [this](QObject*) { ++ownHides; };
        FinishCreate();
    }
    void Recreate(TDokument* d, bool) override { SetDokument(d); }
    void markSaved() { FHasBeenSaved = true; }
    int ownHides = 0;
};

} // namespace

TEST_F(ViewerTest, TheDocumentEventTellsHowTheViewingEnded) {
    TLoadForm load;
    auto* viewer = new TestViewer(nullptr, &load);
    EXPECT_EQ(load.Status(), QStringLiteral("TFileViewerFrame.Create => Success"));
    QPointer<TDokument> doc = new TDokument(nullptr);
    viewer->Recreate(doc, false);
    QList<int> modes;
    viewer->FOnDokumentEvent = [&](QObject* sender, TDokument* d, TDokumentEventMode mode, const QStringList& s) {
        EXPECT_EQ(sender, viewer);
        EXPECT_EQ(d, doc.data());
        EXPECT_TRUE(s.isEmpty());
        modes << int(mode);
    };
    viewer->show();
    viewer->hide();
    EXPECT_EQ(modes, QList<int>{3});
    viewer->markSaved();
    viewer->show();
    viewer->close(); // the close handler and the hiding both tell
    EXPECT_EQ(modes, (QList<int>{3, 2, 2}));
    viewer->PrepareDestruction();
    delete viewer;
    EXPECT_EQ(modes, (QList<int>{3, 2, 2, 2}));
    delete doc.data();
}

TEST_F(ViewerTest, FreeingOnCloseTellsOnceAndAGoneDocumentTellsNothing) {
    QPointer<TDokument> doc = new TDokument(nullptr);
    QPointer<TestViewer> viewer = new TestViewer(nullptr);
    viewer->Recreate(doc, false);
    int fired = 0;
    viewer->FOnDokumentEvent = [&](QObject*, TDokument*, TDokumentEventMode, const QStringList&) { ++fired; };
    viewer->OnClose = [](QObject*, Vcl::TCloseAction& a) { a = Vcl::caFree; };
    viewer->show();
    viewer->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(viewer.isNull());
    // Hidden once, destroyed once; the close handler itself does not tell with caFree.
    EXPECT_EQ(fired, 2);

    auto* second = new TestViewer(nullptr);
    second->Recreate(doc, false);
    second->FOnDokumentEvent = [&](QObject*, TDokument*, TDokumentEventMode, const QStringList&) { ++fired; };
    delete doc.data();
    EXPECT_EQ(second->Dokument(), nullptr);
    second->show();
    second->hide();
    second->PrepareDestruction();
    delete second;
    EXPECT_EQ(fired, 2);
}

TEST_F(ViewerTest, AFailingReceiverIsReportedAndNotPassedOn) {
    QPointer<TDokument> doc = new TDokument(nullptr);
    TestViewer viewer(nullptr);
    viewer.Recreate(doc, false);
    viewer.FOnDokumentEvent = [](QObject*, TDokument*, TDokumentEventMode, const QStringList&) {
        throw EVoskException(QStringLiteral("Empfänger kaputt"));
    };
    m_answers.Expect(QStringLiteral("EVoskException in TFormFilePreview.OnCloseEvent: Empfänger kaputt"),
                     Vcl::mrOk);
    EXPECT_NO_THROW(viewer.FormHide(nullptr));
    // A silent abort of the receiver stays silent.
    viewer.FOnDokumentEvent = [](QObject*, TDokument*, TDokumentEventMode, const QStringList&) { throw EAbort(); };
    EXPECT_NO_THROW(viewer.FormHide(nullptr));
    viewer.FOnDokumentEvent = nullptr;
    delete doc.data();
}

TEST_F(ViewerTest, EventsTheFormBindsItselfStayItsOwn) {
    TestViewer viewer(nullptr, nullptr, true);
    QPointer<TDokument> doc = new TDokument(nullptr);
    viewer.Recreate(doc, false);
    int fired = 0;
    viewer.FOnDokumentEvent = [&](QObject*, TDokument*, TDokumentEventMode, const QStringList&) { ++fired; };
    viewer.show();
    viewer.hide();
    EXPECT_EQ(viewer.ownHides, 1);
    EXPECT_EQ(fired, 0);
    viewer.FOnDokumentEvent = nullptr;
    delete doc.data();
}

TEST_F(ViewerTest, EscapeIsRememberedUntilTheViewerIsActivatedAgain) {
    TestViewer viewer(nullptr);
    viewer.show();
    QTest::keyPress(&viewer, Qt::Key_Escape);
    EXPECT_TRUE(viewer.EscapeWasPressed());
    viewer.FormActivate(&viewer);
    EXPECT_FALSE(viewer.EscapeWasPressed());
    QTest::keyPress(&viewer, Qt::Key_A);
    EXPECT_FALSE(viewer.EscapeWasPressed());
}

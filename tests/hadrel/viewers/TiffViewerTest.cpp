// The TIFF viewer against a real store: view and edit mode by rights, the page shown first, the
// tab bar, the remembered settings per place (view, edit, inline), the ribbon's state, and the
// break of a running load.
#include "ViewerFixture.h"

#include <TVoskColorBox.h>
#include <TVoskRibbon.h>
#include <UFileViewerTIFF.PageSelector.h>
#include <cxPC.h>
#include <view/TImageEnVect.h>

#include <QListView>
#include <QSpinBox>
#include <QTabBar>

using namespace viewertest;

namespace {

QString lastVal(const QString& key) {
    return testsupport::TestDatabase::Scalar(
        QStringLiteral("SELECT coalesce(max(lv_value), '-') FROM lastval WHERE lv_key = '%1'").arg(key));
}

} // namespace

class TFormStempPlantafInteraktiv final : public QWidget {
    Q_OBJECT
};

TEST_F(ViewerTest, ViewModeShowsTheFirstPageAndReadsNoOtherPage) {
    const int id = store(Tiff(5));
    TDokument doc;
    doc.AssignToDokId(id);
    TFileViewerFrameTIFF viewer(nullptr, &doc, false, nullptr);
    EXPECT_EQ(viewer.EditablePages(), 1);
    EXPECT_FALSE(viewer.ribMenuEdit->IsTabVisible());
    EXPECT_EQ(viewer.ribMenu->ActiveTab(), viewer.ribMenuPage);
    EXPECT_EQ(viewer.GetSavePath(), QStringLiteral("TFileViewerFrameTIFF~View~"));
    EXPECT_EQ(viewer.GetSavePath(true), QStringLiteral("TFileViewerFrameTIFF~"));
    TPageList* pages = viewer.imOverviewPages();
    ASSERT_EQ(pages->ImageCount(), 5);
    EXPECT_EQ(viewer.imCurrentPage->Model().Bitmap(), Page(0));
    for (int i = 1; i < 5; ++i)
        EXPECT_FALSE(pages->UserData(i)->Loadet);
    ASSERT_EQ(viewer.tcPages->Count(), 5);
    EXPECT_EQ(viewer.tcPages->CurrentTab()->count(), 1); // one tab, however many pages
    EXPECT_EQ(viewer.tcPages->Caption(4), QStringLiteral("Seite 5"));
    EXPECT_EQ(viewer.tcPages->CurrentTab()->tabText(0), QStringLiteral("Seite 1"));
    EXPECT_EQ(viewer.tcPages->PageNumber()->text(), QStringLiteral("1 von 5"));
    EXPECT_TRUE(viewer.tcPages->isEnabled());
    EXPECT_TRUE(viewer.imOverview->isHidden());

    // A page number typed into the selector shows its page, read when it is first shown.
    viewer.tcPages->PageNumber()->setValue(4);
    EXPECT_TRUE(pages->UserData(3)->Loadet);
    EXPECT_EQ(viewer.tcPages->CurrentTab()->tabText(0), QStringLiteral("Seite 4"));
    EXPECT_EQ(viewer.imCurrentPage->Model().Bitmap(), Page(3));
    EXPECT_EQ(pages->SelectedImage(), 3);
    EXPECT_TRUE(viewer.lbStatus->text().isEmpty());
}

TEST_F(ViewerTest, EditModeNeedsTheEditRight) {
    const int id = store(Tiff(3));
    TDokument doc;
    doc.AssignToDokId(id);
    {
        TFileViewerFrameTIFF viewer(nullptr, &doc, true, nullptr);
        EXPECT_EQ(viewer.EditablePages(), 2);
        EXPECT_TRUE(viewer.ribMenuEdit->IsTabVisible());
        EXPECT_EQ(viewer.ribMenu->ActiveTab(), viewer.ribMenuEdit);
        EXPECT_EQ(viewer.GetSavePath(), QStringLiteral("TFileViewerFrameTIFF~Edit~"));
        EXPECT_FALSE(viewer.imOverview->isHidden());
        // The page shown is read; the others when they are shown or their thumbnails drawn.
        EXPECT_TRUE(viewer.imOverviewPages()->UserData(0)->Loadet);
        EXPECT_FALSE(viewer.imOverviewPages()->UserData(2)->Loadet);
        EXPECT_EQ(viewer.imOverviewPages()->Thumbnail(2).isNull(), false);
        EXPECT_TRUE(viewer.imOverviewPages()->UserData(2)->Loadet);
    }
    // Refused: view mode without a word, the edit tab hidden.
    testsupport::TestDatabase::Exec(QStringLiteral("INSERT INTO dokutypes_rights VALUES ('LS', 1, 71, false)"));
    {
        TFileViewerFrameTIFF viewer(nullptr, &doc, true, nullptr);
        EXPECT_EQ(viewer.EditablePages(), 1);
        EXPECT_FALSE(viewer.ribMenuEdit->IsTabVisible());
    }
    // Not even the view right: the viewer is emptied and the refusal passes on.
    testsupport::TestDatabase::Exec(QStringLiteral("INSERT INTO dokutypes_rights VALUES ('LS', 0, 71, false)"));
    TFileViewerFrameTIFF viewer(nullptr, nullptr, false, nullptr);
    m_answers.Expect(QStringLiteral("Keine Berechtigung"), Vcl::mrOk);
    EXPECT_THROW(viewer.Recreate(&doc, false), EAbort);
    EXPECT_EQ(viewer.EditablePages(), 0);
    EXPECT_EQ(viewer.Dokument(), nullptr);
    EXPECT_EQ(viewer.tcPages->CurrentTab()->tabText(0), QStringLiteral("Keine Seiten"));
    EXPECT_FALSE(viewer.tcPages->isEnabled());
    EXPECT_TRUE(viewer.tcPages->PageNumber()->isHidden());
}

TEST_F(ViewerTest, SettingsAreRememberedPerPlace) {
    const int id = store(Tiff(2));
    TDokument doc;
    doc.AssignToDokId(id);
    m_dm.SaveLastVal(QStringLiteral("TFileViewerFrameTIFF~View~Zoom"), QStringLiteral("Full"));
    m_dm.SaveLastValInt(QStringLiteral("TFileViewerFrameTIFF~View~edTextFontSize"), 48);
    m_dm.SaveLastValInt(QStringLiteral("TFileViewerFrameTIFF~View~cbHighlightColor"), 0xFF00);
    m_dm.SaveLastValBool(QStringLiteral("TFileViewerFrameTIFF~View~btShowOverview"), true);
    m_dm.SaveLastVal(QStringLiteral("TFileViewerFrameTIFF~View~Navigator"), QStringLiteral("large"));
    m_dm.SaveLastVal(QStringLiteral("TFileViewerFrameTIFF~Inline~Zoom"), QStringLiteral("100"));
    {
        TFileViewerFrameTIFF viewer(nullptr, &doc, false, nullptr);
        EXPECT_TRUE(viewer.btZoomFull->isChecked());
        EXPECT_EQ(viewer.edTextFontSize->value(), 48);
        EXPECT_EQ(viewer.cbHighlightColor->ColorValue(), 0xFF00);
        EXPECT_EQ(viewer.edDotSize->value(), 10); // not remembered: the form's default
        EXPECT_FALSE(viewer.imOverview->isHidden());
        EXPECT_TRUE(viewer.btNavigatorLarge->isChecked());
        // Closing writes them back under the same place.
        viewer.show();
        viewer.edDotSize->setValue(30);
        viewer.hide();
        EXPECT_EQ(lastVal(QStringLiteral("TFileViewerFrameTIFF~View~edDotSize")), QStringLiteral("30"));
    }
    {
        // Inside a tab of another window the viewer has settings of its own.
        TcxTabSheet sheet;
        auto* viewer = new TFileViewerFrameTIFF(&sheet, &doc, false, nullptr);
        EXPECT_EQ(viewer->parentWidget(), &sheet);
        EXPECT_EQ(viewer->GetSavePath(), QStringLiteral("TFileViewerFrameTIFF~Inline~"));
        EXPECT_TRUE(viewer->btZoom100->isChecked());
        EXPECT_EQ(viewer->edTextFontSize->value(), 34);
    }
    // A stored zoom the viewer does not know leaves the form's page width.
    m_dm.SaveLastVal(QStringLiteral("TFileViewerFrameTIFF~View~Zoom"), QStringLiteral("Riesig"));
    TFileViewerFrameTIFF viewer(nullptr, &doc, false, nullptr);
    EXPECT_TRUE(viewer.btZoomWidth->isChecked());
    // A click on a zoom button remembers it.
    viewer.btZoom100->trigger();
    EXPECT_EQ(lastVal(QStringLiteral("TFileViewerFrameTIFF~View~Zoom")), QStringLiteral("100"));
    EXPECT_DOUBLE_EQ(viewer.imCurrentPage->Zoom(), 100.0);
    EXPECT_EQ(viewer.cbZoom->text(), QStringLiteral("100 %"));
    EXPECT_DOUBLE_EQ(viewer.CheckZoomRange(5000), 800.0);
    EXPECT_DOUBLE_EQ(viewer.CheckZoomRange(0.2), 1.0);
}

TEST_F(ViewerTest, TheRibbonStateIsKeptExceptInThePlanningBoardsStampWindow) {
    {
        TFileViewerFrameTIFF viewer(nullptr, nullptr, false, nullptr);
        EXPECT_FALSE(viewer.ribMenu->IsMinimized());
        viewer.ribMenu->SetMinimized(true);
    }
    EXPECT_EQ(lastVal(QStringLiteral("TFileViewerFrame.CloseRibMenu")), QStringLiteral("True"));
    {
        TFileViewerFrameTIFF viewer(nullptr, nullptr, false, nullptr);
        EXPECT_TRUE(viewer.ribMenu->IsMinimized());
        // Nine tabs by their names; the property tabs and the helper tab wait for a selection.
        EXPECT_EQ(viewer.ribMenu->Tabs().size(), 9);
        EXPECT_EQ(viewer.ribMenuAnnotation->Caption(), QStringLiteral("Anmerkungen"));
        EXPECT_FALSE(viewer.ribMenuAnnotAddon->IsTabVisible());
        viewer.ribMenu->SetMinimized(false);
    }
    EXPECT_EQ(lastVal(QStringLiteral("TFileViewerFrame.CloseRibMenu")), QStringLiteral("False"));

    // The planning board's stamp window keeps the ribbon as it was.
    TFormStempPlantafInteraktiv stampWindow;
    {
        auto* viewer = new TFileViewerFrameTIFF(&stampWindow, nullptr, false, nullptr);
        viewer->ribMenu->SetMinimized(true);
        delete viewer;
    }
    EXPECT_EQ(lastVal(QStringLiteral("TFileViewerFrame.CloseRibMenu")), QStringLiteral("False"));
}

TEST_F(ViewerTest, ABreakEndsARunningLoad) {
    const int id = store(Tiff(40));
    TDokument doc;
    doc.AssignToDokId(id);
    TFileViewerFrameTIFF viewer(nullptr, nullptr, false, nullptr);
    qint64 now = 5000;
    viewer.CancelState() = TCancelState([&now] { return now; });
    viewer.btBreakScanClick();
    EXPECT_FALSE(viewer.btBreakScan->isEnabled());
    now += 2501;
    viewer.btShowOverview->setChecked(true);
    EXPECT_THROW(viewer.Recreate(&doc, true), EAbort);
    EXPECT_EQ(viewer.imOverviewPages()->ImageCount(), 0);
    EXPECT_TRUE(viewer.isEnabled());
}

#include "TiffViewerTest.moc"

#pragma once
// The viewer and editor of multipage TIFF documents: a thumbnail strip of the pages, the current
// page with its annotations, a navigator, page tabs, a status line and a ribbon. Pages come from
// the page model (viewers/pages): while the strip is hidden only the page shown is read from the
// document store; the strip loads them all.
//
// The viewer is a form that is embedded in its parent (the preview dialog, a tab of a module
// window) or stands alone. Recreate loads a document, in edit mode when asked for and the user's
// rights allow it, and restores the per-user view settings (GetSavePath). A running load or scan
// is broken off through the cancel state that the scan panel's break button arms.

#include "UFileViewer.h"

#include <HookSlot.h>
#include <UFileViewerTIFF.Pages.h>

#include <QAction>
#include <QPointer>
#include <QStringList>

class QComboBox;
class QFontComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListView;
class QMenu;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QSplitter;
class QTabBar;
class QToolButton;
class TVoskColorBox;
class TVoskRibbon;
class TVoskRibbonGroup;
class TVoskRibbonTab;
class TPageNavigator;

namespace Imaging {
class TImageEnVect;
}

class TFileViewerFrameTIFF : public TFileViewerFrame, public IViewerPagesHost {
    Q_OBJECT
    Q_PROPERTY(bool AllowSave READ AllowSave WRITE SetAllowSave)
public:
    using TAllowEditEvent = std::function<void(TFileViewerFrameTIFF* Sender, const QString& text, bool& Allow)>;
    using TGetImageEvent =
        std::function<void(TFileViewerFrameTIFF* Sender, const QString& name, QIODevice* Stream)>;

    TFileViewerFrameTIFF(QObject* ParentAndOwner, TDokument* Dokument, bool EditablePages,
                         TLoadForm* _LoadForm);
    ~TFileViewerFrameTIFF() override;

    void Recreate(TDokument* Dokument, bool EditablePages) override;
    void FormResize(QObject* Sender) override;
    void FormHide(QObject* Sender) override;
    void FormKeyUp(QObject* Sender, int& Key, Qt::KeyboardModifiers Shift) override;
    void FormCloseQuery(QObject* Sender, bool& CanClose) override;
    void FormDestroy(QObject* Sender) override;

    void SetAllowSave(bool Value);
    void SetOnAllowEdit(TAllowEditEvent e);
    void SetOnEditImage(TAllowEditEvent e);
    void SetOnGetImage(TGetImageEvent e);
    const TGetImageEvent& OnGetImage() const { return FOnGetImage; }

    // "TFileViewerFrameTIFF~", then "Inline~" inside a tab sheet, "Edit~" with the edit tab,
    // "View~" otherwise; with root only the first part.
    QString GetSavePath(bool root = false) const;

    // ---- pages (the page model) ------------------------------------------------------------
    TViewerPages& Pages() { return *m_pages; }
    TPageList* imOverviewPages() const { return m_pages->imOverview(); }
    quint8 EditablePages() const { return m_pages->FEditablePages; }
    void ReloadImages(int Page);
    void LoadImage(int Page, bool LoadIntoView);
    bool LoadAllImages();
    void RemoveAllImages();
    void ClearAllPages();
    void RefreshTabs();
    void SetTab(int Page);
    bool CheckImageFormatAndSetName(int Page, const QString& CodeSource);
    bool PageFormatCheck(const QString& X, int Page, int ImageWidth, int ImageHeight,
                         double Scaling, double Resolution);
    void DoPageRotate(const QString& X, int Page, bool Load);
    void SetImageList(const QStringList& Images);
    // A picture as a new page (a scan, a camera picture, a preview's image); its index.
    int DoPageAdd(const QImage& Bitmap, const QString& DMSSource, const QString& CodeSource);

    // Whether a stamp asks for a password before it is used; filled by the stamp list's unit. A
    // remembered stamp with a password is not chosen again for the user.
    static Rtl::HookSlot<bool(const QString&)> StampHasPassword;

    // Commands that the save and scan units add while they are loaded: store the pages (the
    // preview's OK), scan again into the preview (with the scanner's dialog), choose the scan
    // source.
    static Rtl::HookSlot<void(TFileViewerFrameTIFF*)> SavePages;
    static Rtl::HookSlot<void(TFileViewerFrameTIFF*, bool withDialog)> Rescan;
    static Rtl::HookSlot<void(TFileViewerFrameTIFF*)> ChooseScanSource;

    // ---- the break of a running load or scan -----------------------------------------------
    TCancelState& CancelState() { return m_cancel; }
    void btBreakScanClick();

    // ---- view commands used by the restored settings ---------------------------------------
    void btZoom100Click(QObject* Sender);
    void btZoomWidthClick(QObject* Sender);
    void btZoomFullClick(QObject* Sender);
    void btShowOverviewClick(QObject* Sender);
    void btShowNavigatorClick(QObject* Sender);
    void btNavigatorClick(QObject* Sender);
    void btEditScanDialogClick(QObject* Sender);
    // Clamps a zoom to 1 .. 800 per cent and shows it in the zoom caption.
    double CheckZoomRange(double value);

    // ---- status ----------------------------------------------------------------------------
    void SetStatus(const QString& text, int percent) override;
    void ClearStatus() override;

    // ---- the form resource -----------------------------------------------------------------
    TVoskRibbon* ribMenu;
    TVoskRibbonTab *ribMenuEdit, *ribMenuPage, *ribMenuAnnotation, *ribMenuHighlight, *ribMenuText,
        *ribMenuDot, *ribMenuArrow, *ribMenuImage, *ribMenuAnnotAddon;
    TVoskRibbonGroup *tbEdit, *tbPage, *tbView, *tbAnnotations, *tbHighlightProperty,
        *tbTextProperty, *tbArrowProperty, *tbDotProperty, *tbImageProperty, *tbAnnotationsHelper;

    QListView* imOverview;
    QSplitter* spOverview;
    QWidget* pnPages;
    QLabel* lbEditTextHint;
    QWidget* pnPage2;
    Imaging::TImageEnVect* imCurrentPage;
    QWidget* pnShowScan;
    QLabel* lbShowScan;
    QProgressBar* pbShowScan;
    QPushButton* btBreakScan;
    QTabBar* tcPages;
    QGroupBox* pnNavigator;
    TPageNavigator* imNavigator;
    QWidget* pnStatus;
    QLabel* lbStatus;
    QProgressBar* pbStatusLoad;
    QWidget* pnRelation;
    QGroupBox* gbOpenWorkflow;
    QGroupBox* gbRelatedDoks;

    // Edit tab
    QAction *btFileScan, *btEditScanDialog;
    // Page and view tabs
    QAction *btShowOverview, *btShowNavigator, *btNavigatorSmall, *btNavigatorMedium,
        *btNavigatorLarge, *btZoom100, *btZoomWidth, *btZoomFull;
    QToolButton* cbZoom;
    // Annotations
    QAction *btAnnotUndo, *btAnnotRedo, *btAnnotVisible, *btAnnotEnable, *btMouseMove,
        *btMouseZoom, *btMouseSelect, *btAddHighlight, *btAddText, *btAddDot, *btAddArrow,
        *btAddImage, *btAnnotToFront, *btAnnotToBack, *btAnnotDelete;
    TVoskColorBox* cbHighlightColor;
    QFontComboBox* cbTextFont;
    QAction *cbTextBold, *cbTextItalic, *cbTextBackgroundVisible, *cbTextBorderVisible;
    TVoskColorBox *cbTextFontColor, *cbTextBackgroundColor, *cbTextBorderColor;
    QSpinBox* edTextFontSize;
    QSpinBox* edDotSize;
    TVoskColorBox *cbDotColor, *cbDotBorderColor;
    TVoskColorBox *cbArrowColor, *cbArrowColor2;
    QLineEdit* edArrowText;
    QAction *btArrowAutoText, *btArrowBold;
    QSpinBox* edArrowTextSize;
    QComboBox* cbImageList;
    QAction* cbLoadImage;
    // The helper bar
    QAction *btHelperToFront, *btHelperToBack, *btHelperDelete, *btHelperSave;
    QMenu* mnHelperNew;
    QAction *btHelperAddHighlight, *btHelperAddText, *btHelperAddDot, *btHelperAddArrow,
        *btHelperAddImage, *btHelperMouseSelect;

    // ---- fields ------------------------------------------------------------------------------
    int FRotated = 0;
    quint8 FPrintMeasure = 0;
    double FPrintMargin[4] = {0, 0, 0, 0};
    bool FLastAI = false;
    quint8 FDMSScan_BarcodeMode = 0;

protected:
    // IViewerPagesHost
    bool OverviewVisible() const override;
    void SetViewerEnabled(bool enabled) override;
    void ShowPage(int page, const QImage& image, TPageData* data) override;
    void EmptyView() override;
    void PageShown() override;
    void PollCancel() override { m_cancel.Poll(); }
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void buildForm();
    void buildRibbon();
    void restoreSettings();
    void saveSettings();
    void setEditTabVisible(bool visible);
    void applyNavigatorSize();
    void tcPagesChange(int index);
    void imOverviewImageSelect(int index);

    TAllowEditEvent FOnAllowEdit;
    TAllowEditEvent FOnEditImage;
    TGetImageEvent FOnGetImage;

    TViewerPages* m_pages;
    std::unique_ptr<IPageSource> m_source;
    TCancelState m_cancel;
    bool m_tabsUpdating = false;
    int m_inputBlocked = 0; // nested loads that keep the user's input away
    bool m_editTabVisible = false;
};

// The small picture of the current page with the part the page view shows; a click or drag
// moves the page view there.
class TPageNavigator final : public QWidget {
    Q_OBJECT
public:
    explicit TPageNavigator(QWidget* parent = nullptr);
    void SetView(Imaging::TImageEnVect* view);
    void SetPage(const QImage& page);

protected:
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;

private:
    QRectF pageRect() const;
    void moveViewTo(QPointF pos);
    QPointer<Imaging::TImageEnVect> m_view;
    QImage m_page;
    QImage m_thumb;
    QSize m_pageSize;
};

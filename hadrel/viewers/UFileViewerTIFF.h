#pragma once
// The viewer and editor of multipage TIFF documents: a thumbnail strip of the pages, the current
// page with its annotations, a navigator, the page selector, a status line and a ribbon. Pages come from
// the page model (viewers/pages): while the strip is hidden only the page shown is read from the
// document store; the strip loads them all.
//
// The viewer is a form that is embedded in its parent (the preview dialog, a tab of a module
// window) or stands alone. Recreate loads a document, in edit mode when asked for and the user's
// rights allow it, and restores the per-user view settings (GetSavePath). A running load or scan
// is broken off through the cancel state that the scan panel's break button arms.

#include "UFileViewer.h"

#include <HookSlot.h>
#include <AnnotLayer.h>
#include <UFileViewerTIFF.Scan.h>
#include <UFileViewerTIFF.Pages.h>

#include <QAction>
#include <QPointer>
#include <QSet>
#include <QStringList>

#include <functional>

class QComboBox;
class QFontComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListView;
class QMenu;
class QPrinter;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QSplitter;
class QTableWidget;
class QToolButton;
class TVoskColorBox;
class TVoskRibbon;
class TVoskRibbonGroup;
class TVoskRibbonTab;
class TPageNavigator;
class TPageSelector;

namespace Ashgrove {
class TCameraFrame;
}

namespace Imaging {
class TIEAcquire;
class TImageEnVect;
class TIEVectModel;
}

class TFileViewerFrameTIFF : public TFileViewerFrame, public IViewerPagesHost {
    Q_OBJECT
    Q_PROPERTY(bool AllowSave READ AllowSave WRITE SetAllowSave)
    Q_PROPERTY(int PrintMeasureUnit READ PrintMeasureUnit WRITE SetPrintMeasureUnit)
    Q_PROPERTY(double PrintMarginLeft READ PrintMarginLeft WRITE SetPrintMarginLeft)
    Q_PROPERTY(double PrintMarginTop READ PrintMarginTop WRITE SetPrintMarginTop)
    Q_PROPERTY(double PrintMarginRight READ PrintMarginRight WRITE SetPrintMarginRight)
    Q_PROPERTY(double PrintMarginBottom READ PrintMarginBottom WRITE SetPrintMarginBottom)
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

    // ---- print and export (UFileViewerTIFF.Print) ---------------------------------------------
    // Fill and clear the document class's print and export slots.
    static void ModulInitialize(QObject* AOwner);
    static void ModulFinalize();
    void btFilePrintClick(QObject* Sender);
    void btFileExportClick(QObject* Sender);
    // Prints pages (all, or the current one) on printer without a dialog; used by PrintTIFF.
    void PrintPages(QPrinter& printer, bool allPages);
    // The page with its annotations as the print shows it: the shown page with the canvas's
    // objects, any other from its page data.
    std::unique_ptr<Imaging::TIEVectModel> PrintPage(int page);
    // The stored page picture (with page edits, without annotations).
    QImage PageImage(int page);
    // Hides the thumbnail strip again after LoadAllImages had to show it.
    void HideAllImages();
    int PrintMeasureUnit() const { return FPrintMeasure; }
    void SetPrintMeasureUnit(int v) { FPrintMeasure = quint8(v); }
    double PrintMarginLeft() const { return FPrintMargin[0]; }
    double PrintMarginTop() const { return FPrintMargin[1]; }
    double PrintMarginRight() const { return FPrintMargin[2]; }
    double PrintMarginBottom() const { return FPrintMargin[3]; }
    void SetPrintMarginLeft(double v) { FPrintMargin[0] = v; }
    void SetPrintMarginTop(double v) { FPrintMargin[1] = v; }
    void SetPrintMarginRight(double v) { FPrintMargin[2] = v; }
    void SetPrintMarginBottom(double v) { FPrintMargin[3] = v; }
    QAction *btFilePrint = nullptr, *btFileExport = nullptr;

    // ---- moving through the pages and showing them (UFileViewerTIFF.Navigate) ------------------
    void btPagePrevClick(QObject* Sender);
    void btPageNextClick(QObject* Sender);
    // Discards every change (asked first when there is one) and reads the pages again.
    void btPageReloadClick(QObject* Sender);
    void btZoomInClick(QObject* Sender);
    void btZoomOutClick(QObject* Sender);
    void btFilterClick(QObject* Sender);
    void btRotateLeftClick(QObject* Sender);
    void btRotateRightClick(QObject* Sender);
    // Turns the view back by FRotated (print, export and leaving the page call it first).
    void RotateToDefault();
    void btFileSendClick(QObject* Sender);
    // The thumbnail strip's menu opens only while the edit tab is shown.
    bool pmOverviewMenuPopup();
    // Splits the selected page off into a new document, shown in a preview beside this viewer;
    // the page leaves this document as an unsaved deletion. The new document, once stored, gets
    // this document's record links.
    void miOverviewMenuDokExportClick(QObject* Sender);
    QMenu* pmOverviewMenu = nullptr;
    QAction *miOverviewMenuDelete = nullptr, *miOverviewMenuDokExport = nullptr;
    // Pages added, scanned, moved or deleted, or annotations changed, and not yet stored.
    bool HasUnsavedChanges();
    QAction *btPagePrev = nullptr, *btPageNext = nullptr, *btPageReload = nullptr,
            *btZoomIn = nullptr, *btZoomOut = nullptr, *btFilterNone = nullptr,
            *btFilterFast = nullptr, *btFilterHigh = nullptr, *btRotateLeft = nullptr,
            *btRotateRight = nullptr, *btFileSend = nullptr;

    // ---- saving, page commands and closing (UFileViewerTIFF.Save.cpp) -------------------------
    // Stores the pages (a new document, or a new revision when a page changed) and the
    // annotations in one transaction of the document's connection: all of it or nothing. A
    // failure before the commit keeps every page and annotation in the viewer.
    void btEditSaveClick(QObject* Sender);
    void SplitDokumentAfterPost(QObject* Sender);
    void DokumentChanging();
    void DokumentChanged();
    void btEditDeleteClick(QObject* Sender);
    void btEditAnnotClick(QObject* Sender);
    // The option set of a new revision: members 0, 2, 4, 5 and 6, and 3 for the standard
    // document of its record.
    static int RevisionOptions(const TDokument& Dokument);
    // The refusal while an annotation text is being typed (text 17177).
    static QString TextStillEdited();
    QAction *btEditSave = nullptr, *btEditDelete = nullptr, *btEditAnnot = nullptr,
            *btAnnotSave = nullptr;

    // ---- pages from files, page turns, related documents (UFileViewerTIFF.Files.cpp) ----------
    // Adds the pages of image files the user chooses (every page of a TIFF).
    void btEditLoadClick(QObject* Sender);
    // Turns the shown page with its annotations a quarter left or right.
    void btEditRotateLeftClick(QObject* Sender);
    void btEditRotateRightClick(QObject* Sender);
    void ShowRelatedDokuments();
    void ribMenuTabChanged(QObject* Sender);
    // The open dialog's filter: every format Qt reads, "All Images (...)" first.
    static QString LoadFilter();
    QAction *btEditLoad = nullptr, *btEditRotateLeft = nullptr, *btEditRotateRight = nullptr;
    QTableWidget* gridRelatedDoks = nullptr;

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

    // ---- annotations (UFileViewerTIFF.Annot.cpp) --------------------------------------------
    TAnnotLayer& Annot() { return *m_annot; }
    // The values of the annotation controls, and writing them without their handlers running.
    TAnnotControls AnnotControls() const;
    void SetAnnotControls(const TAnnotControls& c);
    void SetInputMode(quint8 mode);
    void ShowOptions();
    // The status line; unchanged text within 51 ms of the scan panel's last repaint costs nothing.
    void SetStatus(const QString& text, int percent, bool fullRefresh);
    void SetStatusFmt(const QString& format, const QStringList& args, int percent, bool fullRefresh);
    void ClearStatus(bool fullRefresh);
    void SaveUndo(QObject* Sender);
    void ResetUndo(bool DoUndo);
    void ClearUndo(bool CreateDummySavePoint);
    bool CanUndo() const;
    void ShowUndoOptions();
    bool CheckPageChanged() const;
    bool CheckAnnotChanged() const;
    void ListChangedAnnot(QStringList& Added, QStringList& Removed, bool IgnoreDuplicates) const;
    // Annotations placed by code (barcode marks, copied pages, outside callers).
    void AddAnnotHighlight(const QRect& Position, qint32 Color, const QString& Creator = {});
    void AddAnnotText(const QRect& Position, const QString& Text, qint32 Color, int Size,
                      const QString& FontName, bool Bold, bool Italic, qint32 Background,
                      qint32 Border, const QString& Creator = {});
    void AddAnnotDot(const QPoint& Position, int Size, qint32 Color, qint32 Border,
                     const QString& Creator = {});
    void AddAnnotArrow(const QRect& Position, const QString& Text, bool AutoText,
                       const QString& Mask, qint32 Color, qint32 Color2, bool Bold, int FontSize,
                       const QString& Creator = {});
    void AddAnnotImage(const QRect& Position, QIODevice& Bitmap, const QString& ImageName,
                       const QString& Creator = {});
    void AddAnnotImage(const QRect& Position, const QImage& Image, const QString& ImageName,
                       const QString& Creator = {});
    void AddAnnotImageRaw(const QRect& Position, QIODevice& RawImage, const QString& ImageName,
                          const QString& Creator = {});
    QSize GetPageSize() const;
    void LoadAnnot(int Page);
    void SetAnnotationRights();
    void CalcAutoText();
    // The page's objects into its page data (both streams), after turning back a turned view.
    void SaveAnnotationsOfPage(int Page);

    // Handlers of the annotation toolbar and the page canvas.
    void btAnnotUndoClick(QObject* Sender);
    void btAnnotRedoClick(QObject* Sender);
    void btAnnotVisibleClick(QObject* Sender);
    void btAnnotEnableClick(QObject* Sender);
    void btMouseMoveClick(QObject* Sender);
    void btMouseZoomClick(QObject* Sender);
    void btMouseSelectClick(QObject* Sender);
    void btAddHighlightClick(QObject* Sender);
    void btAddTextClick(QObject* Sender);
    void btAddDotClick(QObject* Sender);
    void btAddArrowClick(QObject* Sender);
    void btAddImageClick(QObject* Sender);
    void btAnnotToFrontClick(QObject* Sender);
    void btAnnotToBackClick(QObject* Sender);
    void btAnnotDeleteClick(QObject* Sender);
    void cbLoadImageClick(QObject* Sender);
    void edArrowTextChange(QObject* Sender);
    void btArrowAutoTextClick(QObject* Sender);
    void cbImageListChange(QObject* Sender);
    void cbImageListCloseUp(QObject* Sender);
    void imCurrentPageNewObject(int h);
    void imCurrentPageExit(QObject* Sender);
    void imCurrentPageKeyUp(QObject* Sender, int Key, Qt::KeyboardModifiers Shift);
    void imCurrentPageObjectOver(int h);
    bool imOverviewMouseWheel(int delta, Qt::KeyboardModifiers modifiers);

    // The barcode search settings (stored, used by the barcode search).
    void SetBarcodeFilter(TBarcodeFilter Filter, const TBarcodeTypes& BarTypes, bool CheckDigit,
                          int Density, TIFirstOnly OnlyFirstPage);
    // Asks the user whether barcode number Count may be used and marked.
    bool ManualBarcodeFilter(const TBarcodeData& Code, int Count);

    // ---- scanning, barcodes, camera and added pages (UFileViewerTIFF.Scan.cpp) ---------------
    // Sender btEditScan (one page), btEditMultiScan (the feeder) or btEditRescan (the selected
    // page again).
    void btEditScanClick(QObject* Sender);
    void btEditOptionsSourceClick(QObject* Sender);
    void btEditOptionsSettingClick(QObject* Sender);
    void btEditOptionsDuplexClick(QObject* Sender);
    void btEditOptionBarcodeClick(QObject* Sender);
    void btEditOptionBarcodeDebugClick(QObject* Sender);
    void btEditOptionsPopup();
    void btFileScanClick(QObject* Sender);
    // A scan as the options say; the selected page afterwards.
    int DoPageScan(TPageScanOptions Options);
    int DoAddCamImage();
    int DoAddFile();
    // Appends a line per code of the pages (all, or the first) to List, by mode.
    void DoScanBarcodes(QStringList& List, quint8 Mode);
    // Removes the barcode marks of every page, or marks the codes found (old marks go first).
    bool DoMarkBarcodes(bool RemoveMarkers);
    void btEditBarcodeSearchClick(QObject* Sender);
    void btEditCameraClick(QObject* Sender);
    // The annotation input mode posted by the image list's close (low byte of wParam).
    void DoSetInputMode(quintptr WParam);
    void PostSetInputMode(quintptr WParam);
    void WebCamSave(QObject* Sender, const QImage& Bitmap);
    void WebCamClose(QObject* Sender);
    // Selects the scanner of the settings on acquisition (17128 when there is none).
    void ChooseScanner(Imaging::TIEAcquire& acquisition);
    Imaging::TIEAcquire& Acquisition();
    // Whether barcodes are read on the first page only, by FBarcodeOnlyFirst and the options.
    bool BarcodeFirstOnly();

    QAction *btEditScan = nullptr, *btEditMultiScan = nullptr, *btEditRescan = nullptr,
            *btEditBarcodeSearch = nullptr, *btEditCamera = nullptr;
    QToolButton* btEditOptions = nullptr;
    QMenu* btEditOptionsMenu = nullptr;
    QAction *btEditOptionsUseWIA = nullptr, *btEditOptionsUseTWAIN = nullptr,
            *btEditOptionsDuplexAuto = nullptr, *btEditOptionsDuplexOn = nullptr,
            *btEditOptionsDuplexOff = nullptr, *btEditOptionsSource = nullptr,
            *btEditOptionsSetting = nullptr, *btEditOptionBarcodeFirst = nullptr,
            *btEditOptionBarcodeAll = nullptr, *btEditOptionBarcodeDebug = nullptr;
    QMenu* pmCamera = nullptr;
    QPointer<Ashgrove::TCameraFrame> FWebCam;

    bool FChangeGUI = false;
    quint8 FChangeBars = 0;
    TBarcodeFilter FBarcodeFilter;
    TBarcodeTypes FBarcodeTypes;
    bool FBarcodeCheckDigit = false;
    int FBarcodeDensity = 0;
    TIFirstOnly FBarcodeOnlyFirst = foFromOptions;

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
    TPageSelector* tcPages;
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
    quint8 FPrintMeasure = 1;                           // centimetres
    double FPrintMargin[4] = {0.25, 0.25, 0.25, 0.5};  // left, top, right, bottom
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
    void buildNavigationCommands();
    void buildSaveCommands();
    void buildFileCommands();
    // A ribbon button with its hint, and its handler bound (errors shown, not passed on).
    QAction* commandButton(TVoskRibbonGroup* group, const char* name, const QString& caption,
                           const char* icon, const QString& hint, bool large);
    void bindCommand(QAction* action, void (TFileViewerFrameTIFF::*handler)(QObject*));
    // The save's status: text at a percent between from and to as its pages are done.
    std::function<void(qint64 done, qint64 count)> saveProgress(const QString& text, int from,
                                                                int to);
    // The compression rules and code source of every page before a save, with its progress.
    void checkPageFormats(const QString& text, int from, int to);
    void rotatePage(double angle);
    // Takes the canvas's edits into the shown page before the buttons show another.
    void leaveShownPage();
    // Shows page as the page commands do; nothing for the page shown or one the list lacks.
    void turnToPage(int page);
    // The pages of one file appended; the index of the last one.
    int loadFile(const QString& file);
    // The page commands' guard: refused (17131) while the shown page holds annotation edits.
    void checkPageCommand();
    void buildScanCommands();
    void setScanButtonsEnabled(bool enabled);
    void addScannedPage(const QImage& image, double dpi, const QString& codeSource, int& pageToShow);
    void rotateView(int angle);
    void restoreSettings();
    void saveSettings();
    void setEditTabVisible(bool visible);
    void applyNavigatorSize();
    void tcPagesChange(int index);
    void tcPagesCanClose();
    void imCurrentPageProgress(int percent);
    void imOverviewImageSelect(int index);
    void imOverviewImageDeselect(int index);
    void setupAnnotations();
    void updateAnnotEnvironment();

    TAllowEditEvent FOnAllowEdit;
    TAllowEditEvent FOnEditImage;
    TGetImageEvent FOnGetImage;

    TViewerPages* m_pages;
    std::unique_ptr<IPageSource> m_source;
    TCancelState m_cancel;
    int m_inputBlocked = 0; // nested loads that keep the user's input away
    bool m_editTabVisible = false;
    std::unique_ptr<TAnnotLayer> m_annot;
    // "Unbekannte Anmerkung" messages said in this opening of the document, each said once.
    QSet<QString> m_saidUnknown;
    qint64 m_saidForId = 0;
    std::unique_ptr<Imaging::TIEAcquire> m_acquire;
    qint64 m_statusTick = -1000; // when the scan panel last showed a status
    qint64 m_statusPaintTick = 0; // when the status line was last painted at once
};

// The small picture of the current page with the part the page view shows; a click or drag
// moves the page view there.
class TPageNavigator final : public QWidget {
    Q_OBJECT
public:
    explicit TPageNavigator(QWidget* parent = nullptr);
    void SetView(Imaging::TImageEnVect* view);
    void SetPage(const QImage& page);
    void SetSmooth(bool smooth);

    // Keys released on the navigator: the viewer's zoom and page keys work from here too.
    std::function<void(QKeyEvent*)> OnKeyUp;

protected:
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void keyReleaseEvent(QKeyEvent* e) override;

private:
    QRectF pageRect() const;
    void moveViewTo(QPointF pos);
    QPointer<Imaging::TImageEnVect> m_view;
    QImage m_page;
    QImage m_thumb;
    QSize m_pageSize;
    bool m_smooth = true;
};

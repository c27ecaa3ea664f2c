#pragma once
// The viewer of PDF documents, read-only: the document's file is read from the data server into
// memory and shown page by page with zoom (up to 800 %), quarter turns, a thumbnail pane rendered
// on demand, a find panel, a history of the places visited (Page Up / Page Down), hand and
// select tools, printing on a chosen printer, opening in the desktop's PDF program, sending by
// e-mail, and a side panel of the documents related to this one by keyword.

#include "UFileViewer.h"
#include "UFileViewerPDF.Tiles.h"

#include <QAbstractListModel>
#include <QAbstractScrollArea>
#include <QBuffer>
#include <QElapsedTimer>
#include <QHash>
#include <QImage>
#include <QPdfDocument>
#include <QPointer>
#include <QTimer>

#include <functional>

class QAction;
class QLabel;
class QLineEdit;
class QListView;
class QMenu;
class QPdfDocument;
class QPdfPageNavigator;
class QPdfSearchModel;
class QProgressBar;
class QSplitter;
class QTableWidget;
class QTimer;
class QToolButton;
class TVoskRibbon;
class TVoskRibbonGroup;
class TVoskRibbonTab;

// One page of a PDF document at a zoom and a quarter-turn rotation, with the find results of the
// page marked. The zoom is a factor in per cent of the page's size at the screen's resolution, or
// follows the view's width or the whole page. Only what is in view is drawn, in tiles rendered
// away from the window's thread; until a tile is there, the page shows white, or the tiles of
// the zoom before, scaled.
class TPdfPageView final : public QAbstractScrollArea {
    Q_OBJECT
public:
    enum TZoomMode { zmCustom, zmPageWidth, zmWholePage };
    static constexpr int MaxZoom = 800;
    static constexpr int MinZoom = 1;

    explicit TPdfPageView(QWidget* parent = nullptr);

    // document shows the page; bytes, the same PDF file, are what the tiles are rendered from.
    void SetDocument(QPdfDocument* document, const QByteArray& bytes);
    QPdfDocument* Document() const { return m_document; }
    int Page() const { return m_page; }
    void SetPage(int page, QPointF location = {});
    // The page's top-left point shown at the view's top-left corner, in page points.
    QPointF Location() const;

    int ZoomFactor() const { return m_zoom; }
    void SetZoomFactor(int percent); // bounded to 1 .. 800; the mode becomes custom
    TZoomMode ZoomMode() const { return m_mode; }
    void SetZoomMode(TZoomMode mode);

    int Rotation() const { return m_rotation; } // clockwise degrees: 0, 90, 180, 270
    void RotateClockwise();
    void RotateCounterClockwise();

    // Hand tool: a drag moves the page; otherwise a drag selects text.
    void SetHandTool(bool on) { m_hand = on; }
    bool HandTool() const { return m_hand; }
    void ClearSelection();
    QString SelectedText() const { return m_selectedText; }

    // Find results of the shown page in page points; the current one drawn stronger.
    void SetHighlights(const QList<QRectF>& rects, int current = -1);

    // The part of the page in view as drawn, at the screen's pixels, from the tiles rendered so
    // far (white where one is still missing): for tests and benchmarks.
    QImage VisiblePage() const;
    // Tiles in view not rendered yet.
    int PendingTiles() const;
    // Tiles in view asked for and still being rendered.
    bool Rendering() const;
    // The turned page at the zoom in the screen's pixels, and the part of it in view.
    QSize ScaledSize() const;
    QRect VisibleArea() const;
    // The bytes of the tiles kept: bounded by the size of the view, not of the page.
    qint64 TileBytes() const { return m_tileBytes; }

signals:
    void pageChanged(int page);
    void zoomFactorChanged(int percent);
    void clicked();

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    QSizeF pointSize(int page) const;     // the page's size in points, as it lies
    QSizeF pagePoints() const;            // the page's size in points, turned
    double pixelsPerPoint() const;        // at the current zoom
    QRect pageRect() const;               // where the page lies in the viewport
    QPointF toPage(QPoint viewport) const; // a viewport point in page points (unturned)
    void applyMode();
    void updateScrollBars();
    QList<TPdfTileKey> visibleTiles() const;
    // Where a tile of the page at scaled lies in the viewport.
    QRectF tileTarget(const TPdfTileKey& key) const;
    void tileReady(quint64 generation, const TPdfTileKey& key, const QImage& image);
    void requestTiles(const QList<TPdfTileKey>& visible);
    qint64 tileBudget() const;
    void trimTiles(const QList<TPdfTileKey>& keep);
    void dropTiles();

    QPointer<QPdfDocument> m_document;
    TPdfTileRenderer* m_renderer;
    struct Tile {
        QImage image;
        quint64 used = 0;
    };
    QHash<TPdfTileKey, Tile> m_tiles;
    qint64 m_tileBytes = 0;
    quint64 m_useCount = 0;
    QList<TPdfTileKey> m_wanted;
    mutable QHash<int, QSizeF> m_pointSizes;
    int m_page = 0;
    int m_zoom = 100;
    TZoomMode m_mode = zmPageWidth;
    int m_rotation = 0;
    bool m_hand = true;
    QList<QRectF> m_highlights;
    int m_currentHighlight = -1;
    QPoint m_dragStart;
    QPoint m_scrollStart;
    QPointF m_selectFrom;
    bool m_selecting = false;
    QList<QPolygonF> m_selection;
    QString m_selectedText;
};

// The thumbnails of a PDF document, each rendered when the overview first paints it. Every item
// has the size of the thumbnail box, so laying the overview out renders nothing.
class TPdfThumbnails final : public QAbstractListModel {
    Q_OBJECT
public:
    explicit TPdfThumbnails(QObject* parent = nullptr);
    void SetDocument(QPdfDocument* document);
    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    static constexpr int ThumbWidth = 120;
    static constexpr int ThumbHeight = ThumbWidth * 3 / 2;
    // The page's thumbnail size from its page size: ThumbWidth wide, or ThumbHeight high where
    // the page is taller than the box.
    QSize ThumbSize(int page) const;
    int RenderedCount() const { return int(m_thumbs.size()); }
    // Pages asked for and not yet rendered.
    int QueuedCount() const { return int(m_queued.size()); }
    // While it answers true, thumbnails wait.
    std::function<bool()> Busy;

private:
    QImage render(int page) const;
    void renderQueued();

    QPointer<QPdfDocument> m_document;
    QHash<int, QImage> m_thumbs;
    mutable QList<int> m_queued;
    mutable QTimer m_renderNext;
    mutable QImage m_placeholder;
};

class TFileViewerFramePDF final : public TFileViewerFrame {
    Q_OBJECT
public:
    TFileViewerFramePDF(QObject* ParentAndOwner, TDokument* Dokument, bool EditablePages,
                        TLoadForm* _LoadForm);
    ~TFileViewerFramePDF() override;

    void Recreate(TDokument* Dokument, bool EditablePages = false) override;
    void FormResize(QObject* Sender) override;
    void FormHide(QObject* Sender) override;
    void FormKeyUp(QObject* Sender, int& Key, Qt::KeyboardModifiers Shift) override;

    // Nothing to do in this viewer; the module loader calls them for every viewer.
    static void ModulInitialize(QObject* AOwner);
    static void ModulFinalize();

    // The ERP's find command: shows the find panel when hidden and hides it when shown; 0.
    int FindNextData(const QString& Text, bool b1, bool b2, bool b3, bool b4, QObject* Sender);
    void FindExit();

    void SetStatus(const QString& Text, int Percent, bool Whole = false);
    void ClearStatus(bool Whole = false);
    // "TFileViewerFramePDF~" and "Inline~" inside a tab sheet, else "View~"; global: the first part.
    QString GetSavePath(bool Global = false) const;
    void ShowRelatedDokuments();

    // ---- handlers ------------------------------------------------------------------------------
    void btPagePrevClick(QObject* Sender);
    void btPageNextClick(QObject* Sender);
    void btShowOverviewClick(QObject* Sender);
    void btZoom100Click(QObject* Sender);
    void btZoomWidthClick(QObject* Sender);
    void btZoomFullClick(QObject* Sender);
    void btZoomInClick(QObject* Sender);
    void btZoomOutClick(QObject* Sender);
    void btRotateLeftClick(QObject* Sender);
    void btRotateRightClick(QObject* Sender);
    void btMouseClick(QObject* Sender); // "Verschieben" and "Auswählen"
    void btPrintDialogClick(QObject* Sender);
    void pmPrintPopup();           // rebuilds the print menu
    void miPrintClick(int Tag);    // a printer of the list, -1 the default one
    void btOpenPdfClick(QObject* Sender);
    void btFileSendClick(QObject* Sender);
    void PDFViewerDocumentLoaded();
    void PDFViewerZoomFactorChanged();
    void PDFViewerClick();
    void tiLoadOverviewBugfixTimer();
    void gridRelatedDoksDblClick(int Row);
    bool OverviewVisible() const;

    // ---- the form resource ---------------------------------------------------------------------
    TVoskRibbon* ribMenu;
    TVoskRibbonTab* ribMenuPage;
    TVoskRibbonGroup *tbPage, *tbView;
    QAction *btPagePrev, *btPageNext, *btShowOverview, *btFileSend, *btFileExport, *btOpenPdf,
        *btMouseMove, *btMouseSelect, *btZoom100, *btZoomWidth, *btZoomFull, *btZoomIn, *btZoomOut,
        *btRotateLeft, *btRotateRight;
    QToolButton* btPrint;
    QMenu* pmPrint;
    QToolButton* cbZoom;
    QSplitter* pnPages;
    QListView* pnThumbnails;
    TPdfPageView* PDFViewer;
    QWidget* pnFind;
    QLineEdit* edFind;
    QLabel* lbFindResult;
    QWidget* pnRelation;
    QWidget* gbOpenWorkflow;
    QWidget* gbRelatedDoks;
    QTableWidget* gridRelatedDoks;
    QLabel* lbStatus;
    QProgressBar* pbStatusLoad;
    QTimer* tiLoadOverviewBugfix;

    QPdfDocument* Pdf() const { return m_pdf; }
    QPdfPageNavigator* History() const { return m_history; }
    TPdfThumbnails* Thumbnails() const { return m_thumbs; }

protected:
    void BeforeDestruction() override;

private:
    void buildForm();
    void buildRibbon();
    void emptyViewer();
    void setZoomCaption();
    void findNext(int step);
    void showFindResult();
    void gotoPage(int page);

    QPdfDocument* m_pdf;
    QBuffer m_buffer;
    QPdfPageNavigator* m_history;
    QPdfSearchModel* m_search;
    TPdfThumbnails* m_thumbs;
    int m_findIndex = -1;
    bool m_navigating = false;
    QElapsedTimer m_statusPainted; // since the status line was last painted at once
};

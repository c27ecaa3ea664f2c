#pragma once
// The page canvas: shows a page bitmap with its vector objects (a TIEVectModel) and edits them with
// the mouse. The interaction decides what a left drag does: place an object of the template's
// kind, select, move and resize objects (grips), scroll, or zoom. Texts of memo objects are edited
// in place. Events are function members that the owner fills, as the viewers expect them.

#include "IEVectModel.h"

#include <QGraphicsView>
#include <QPointer>

#include <functional>

class QGraphicsTextItem;

namespace Imaging {

class TImageEnVectPage;
class TMemoEditItem;

// How the page is drawn when zoomed: unsmoothed, smoothed while drawn, or from a picture scaled
// down beforehand with the best filter (zoom below 100 %).
enum TResampleFilter { rfNone, rfFastLinear, rfBicubic };

class TImageEnVect final : public QGraphicsView {
    Q_OBJECT
public:
    explicit TImageEnVect(QWidget* parent = nullptr);
    ~TImageEnVect() override;

    // The canvas edits its own model unless another is set (not owned).
    TIEVectModel& Model() { return *m_model; }
    void SetModel(TIEVectModel* model);

    // ---- interaction ----------------------------------------------------------------------
    // The vector interaction: at most one placing mode or object selection; empty for none.
    QList<TIEMouseInteractVtItem> MouseInteractVt() const { return m_vt; }
    void SetMouseInteractVt(QList<TIEMouseInteractVtItem> items);
    TIEMouseInteract MouseInteract() const { return m_general; }
    void SetMouseInteract(TIEMouseInteract items);
    // Ends a running drag (placing, moving, resizing, rubber band) without finishing it.
    void CancelInteracts();
    bool IsInteracting() const;

    // Grips of a selected sizable object; off for a single dot.
    void SetGripsVisible(bool visible);
    bool GripsVisible() const { return m_grips; }
    // Selection and moving reach objects within this many screen pixels.
    void SetMaxSelectionDistance(int pixels) { m_selectDistance = pixels; }

    // ---- zoom and scroll --------------------------------------------------------------------
    double Zoom() const { return m_zoom; } // percent
    void SetZoom(double percent);
    void FitToWidth();
    void Fit();
    void ScrollToTopLeft();
    void SetResampleFilter(TResampleFilter filter);
    TResampleFilter ResampleFilter() const { return m_filter; }
    void SetObjectAntialias(bool on);
    bool ObjectAntialias() const { return m_objectAntialias; }

    // ---- texts --------------------------------------------------------------------------------
    // Starts editing the text of memo object h in place.
    void MemoEdit(int h);
    // Takes the edited text into the object and ends editing; nothing when no text is edited.
    void MemoEditEnd();
    bool IsMemoEditing() const;
    int MemoEditHandle() const { return m_memoHandle; }

    // Shows text as the canvas's hint at the mouse now.
    void ShowHint(const QString& text);

    // The page with its objects drawn, as shown.
    QImage Rendered() const;

    // ---- events -------------------------------------------------------------------------------
    std::function<void(int h)> OnNewObject;
    std::function<void(int h)> OnSelectObject;     // h: the object clicked, -1 for none
    std::function<void(int h)> OnObjectMoveResize; // once per object and mouse step
    std::function<void(int h)> OnObjectOver;       // the object under the mouse, -1 none
    std::function<void()> OnActivateTextEdit;
    std::function<void()> OnDeactivateTextEdit;
    std::function<void(double& zoom)> OnZoomIn; // may change the proposed zoom
    std::function<void(double& zoom)> OnZoomOut;
    std::function<void(Qt::MouseButton, Qt::KeyboardModifiers, QPointF pos)> OnMouseDown;
    std::function<void(Qt::MouseButton, Qt::KeyboardModifiers, QPointF pos)> OnMouseUp;
    std::function<bool(QWheelEvent*)> OnMouseWheel; // true: handled
    std::function<void(QKeyEvent*)> OnKeyUp;
    std::function<void()> OnMouseEnter;
    std::function<void()> OnExit;

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;
    void keyReleaseEvent(QKeyEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void enterEvent(QEnterEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;

private:
    friend class TImageEnVectPage;
    friend class TMemoEditItem;
    enum class Drag { None, Place, Move, Resize, Band, ZoomBand };

    void modelChanged();
    void modelSelectionChanged();
    bool placing() const;
    int hitObject(QPointF pos) const;
    int hitGrip(QPointF pos) const; // 0 none, 1..8 box grips, 9/10 line ends
    int sizableSelection() const;   // the one selected sizable object, or -1
    QRectF gripRect(QPointF centre) const;
    QList<QPointF> gripPoints(const TIEVObject& o) const;
    // The object a placing drag from m_dragStart to end makes of the template.
    TIEVObject placedObject(QPointF end, Qt::KeyboardModifiers mods) const;
    void finishPlace(QPointF end, Qt::KeyboardModifiers mods);
    void applyDrag(QPointF pos);
    void zoomAt(double factor, QPointF scenePos);

    QPointer<TIEVectModel> m_model;
    TIEVectModel* m_own = nullptr;
    QGraphicsScene* m_scene = nullptr;
    TImageEnVectPage* m_page = nullptr;
    QList<TIEMouseInteractVtItem> m_vt;
    TIEMouseInteract m_general;
    bool m_grips = true;
    int m_selectDistance = 25;
    double m_zoom = 100.0;
    TResampleFilter m_filter = rfFastLinear;
    bool m_objectAntialias = true;
    QImage m_scaled; // the page scaled down for rfBicubic
    qint64 m_scaledKey = 0;
    double m_scaledZoom = 0;

    Drag m_drag = Drag::None;
    QPointF m_dragStart, m_dragNow;
    int m_dragHandle = -1;
    int m_grip = 0;
    QList<TIEVObject> m_dragOriginals; // the objects as they were when the drag began
    int m_hover = -2;

    TMemoEditItem* m_memo = nullptr;
    int m_memoHandle = -1;
    QString m_memoOriginal;
};

} // namespace Imaging

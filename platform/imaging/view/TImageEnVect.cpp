#include "TImageEnVect.h"

#include <IEScale.h>

#include "IEVectRender.h"

#include <QGraphicsItem>
#include <QGraphicsScene>
#include <QGraphicsTextItem>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionGraphicsItem>
#include <QTextCursor>
#include <QTextDocument>
#include <QToolTip>

#include <cmath>

namespace Imaging {

namespace {

constexpr double kGripPixels = 7.0;
constexpr double kClickPixels = 3.0; // a drag shorter than this is a click

QRectF rectOf(const TIEVObject& o) {
    return QRectF(QPointF(o.Left, o.Top), QPointF(o.Right, o.Bottom)).normalized();
}

bool isLine(const TIEVObject& o) {
    return o.Kind == iekLINE || o.Kind == iekLINELABEL;
}

} // namespace

// The page and everything on it is one item: the model is the truth, the item only draws it.
class TImageEnVectPage final : public QGraphicsItem {
public:
    explicit TImageEnVectPage(TImageEnVect* view) : m_view(view) {}

    QRectF boundingRect() const override { return m_bounds; }

    void updateBounds() {
        QRectF r(QPointF(0, 0), QSizeF(m_view->m_model->Bitmap().size()));
        for (const TIEVObject& o : m_view->m_model->Objects())
            r = r.united(ObjectBounds(o));
        // Room for grips and frames around objects at the page's edge.
        r.adjust(-20, -20, 20, 20);
        if (r != m_bounds) {
            prepareGeometryChange();
            m_bounds = r;
        }
    }

    void paint(QPainter* p, const QStyleOptionGraphicsItem*, QWidget*) override {
        const TIEVectModel& m = *m_view->m_model;
        if (!m.Bitmap().isNull()) {
            const double scale = m_view->m_zoom / 100.0;
            const QSize target = (QSizeF(m.Bitmap().size()) * scale).toSize().expandedTo(QSize(1, 1));
            // The page scaled beforehand is kept only while it is about the size of the screen:
            // zoomed in further, it is drawn smoothed from the page itself.
            const QSize screen = m_view->viewport()->size();
            const bool prescaled = qint64(target.width()) * target.height() <=
                                   4 * qint64(qMax(screen.width(), 1)) * qMax(screen.height(), 1);
            if (m_view->m_filter == rfBicubic && scale < 1.0 && prescaled) {
                TImageEnVect& v = *m_view;
                if (v.m_scaledKey != m.Bitmap().cacheKey() || v.m_scaledZoom != v.m_zoom) {
                    v.m_scaled = ScaledDown(m.Bitmap(), target);
                    v.m_scaledKey = m.Bitmap().cacheKey();
                    v.m_scaledZoom = v.m_zoom;
                }
                p->save();
                p->scale(double(m.Bitmap().width()) / v.m_scaled.width(),
                         double(m.Bitmap().height()) / v.m_scaled.height());
                p->drawImage(QPointF(0, 0), v.m_scaled);
                p->restore();
            } else {
                p->setRenderHint(QPainter::SmoothPixmapTransform, m_view->m_filter != rfNone && scale != 1.0);
                p->drawImage(QPointF(0, 0), m.Bitmap());
            }
        }
        p->setRenderHint(QPainter::Antialiasing, m_view->m_objectAntialias);
        p->setRenderHint(QPainter::TextAntialiasing, m_view->m_objectAntialias);
        for (const TIEVObject& o : m.Objects()) {
            if (!o.Style.testFlag(ievsVisible))
                continue;
            if (o.Handle == m_view->m_memoHandle) {
                TIEVObject shown = o; // the editor shows the text while it is edited
                shown.Text.clear();
                PaintObject(*p, shown);
            } else {
                PaintObject(*p, o);
            }
        }
        const double px = 1.0 / std::max(0.01, m_view->m_zoom / 100.0); // one screen pixel
        if (m_view->m_drag == TImageEnVect::Drag::Place)
            PaintObject(*p, m_view->placedObject(m_view->m_dragNow, {}));
        if (m_view->m_drag == TImageEnVect::Drag::Band ||
            m_view->m_drag == TImageEnVect::Drag::ZoomBand) {
            QPen band(QColor(0, 90, 200));
            band.setWidthF(px);
            band.setStyle(Qt::DashLine);
            p->setPen(band);
            p->setBrush(QColor(0, 90, 200, 30));
            p->drawRect(QRectF(m_view->m_dragStart, m_view->m_dragNow).normalized());
        }
        QPen frame(QColor(0, 90, 200));
        frame.setWidthF(px);
        frame.setStyle(Qt::DashLine);
        for (int h : m.SelObjects()) {
            if (!m.HasObj(h))
                continue;
            const TIEVObject& o = m.Obj(h);
            p->setPen(frame);
            p->setBrush(Qt::NoBrush);
            if (isLine(o))
                p->drawLine(QLineF(o.Left, o.Top, o.Right, o.Bottom));
            else
                p->drawRect(rectOf(o).adjusted(-px, -px, px, px));
        }
        const int sizable = m_view->sizableSelection();
        if (sizable >= 0 && m_view->m_grips) {
            QPen gripPen(Qt::black);
            gripPen.setWidthF(px);
            p->setPen(gripPen);
            p->setBrush(Qt::white);
            for (const QPointF& c : m_view->gripPoints(m.Obj(sizable)))
                p->drawRect(m_view->gripRect(c));
        }
    }

private:
    TImageEnVect* m_view;
    QRectF m_bounds;
};

// The in-place editor of a memo text. Losing the focus ends the edit, as a click beside it does.
class TMemoEditItem final : public QGraphicsTextItem {
public:
    explicit TMemoEditItem(TImageEnVect* view) : m_view(view) {}

protected:
    void focusOutEvent(QFocusEvent* e) override {
        QGraphicsTextItem::focusOutEvent(e);
        if (e->reason() != Qt::PopupFocusReason)
            QMetaObject::invokeMethod(
                m_view,
                [v = QPointer<TImageEnVect>(m_view)] {
                    if (v)
                        v->MemoEditEnd();
                },
                Qt::QueuedConnection);
    }
    void keyPressEvent(QKeyEvent* e) override {
        if (e->key() == Qt::Key_Escape) {
            m_view->MemoEditEnd();
            return;
        }
        QGraphicsTextItem::keyPressEvent(e);
    }

private:
    TImageEnVect* m_view;
};

TImageEnVect::TImageEnVect(QWidget* parent) : QGraphicsView(parent) {
    m_own = new TIEVectModel(this);
    m_scene = new QGraphicsScene(this);
    // One item (the page with its objects): an index of items would only cost time at each change.
    m_scene->setItemIndexMethod(QGraphicsScene::NoIndex);
    setScene(m_scene);
    m_page = new TImageEnVectPage(this);
    m_model = m_own;
    m_scene->addItem(m_page);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setTransformationAnchor(QGraphicsView::NoAnchor);
    setResizeAnchor(QGraphicsView::NoAnchor);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setBackgroundBrush(palette().dark());
    SetModel(m_own);
}

TImageEnVect::~TImageEnVect() {
    // The memo editor belongs to the scene; no event of it may reach a half-destroyed view.
    m_memo = nullptr;
}

void TImageEnVect::SetModel(TIEVectModel* model) {
    if (m_model)
        disconnect(m_model, nullptr, this, nullptr);
    m_model = model ? model : m_own;
    connect(m_model, &TIEVectModel::changed, this, &TImageEnVect::modelChanged);
    connect(m_model, &TIEVectModel::selectionChanged, this, &TImageEnVect::modelSelectionChanged);
    modelChanged();
}

void TImageEnVect::modelChanged() {
    m_page->updateBounds();
    // What scrolls is the page and the objects beyond it: the item's margin for grips would
    // otherwise give a page shown at its width a horizontal scroll bar.
    QRectF content(QPointF(0, 0), QSizeF(m_model->Bitmap().size()));
    for (const TIEVObject& o : m_model->Objects())
        content = content.united(ObjectBounds(o));
    m_scene->setSceneRect(content);
    m_page->update();
    if (m_memo && !m_model->HasObj(m_memoHandle)) {
        // The edited object went (undo, reload): the edit goes with it.
        m_scene->removeItem(m_memo);
        delete m_memo;
        m_memo = nullptr;
        m_memoHandle = -1;
    }
}

void TImageEnVect::modelSelectionChanged() {
    m_page->update();
}

void TImageEnVect::SetMouseInteractVt(QList<TIEMouseInteractVtItem> items) {
    CancelInteracts();
    m_vt = items;
    setDragMode(m_general.testFlag(miScroll) ? QGraphicsView::ScrollHandDrag
                                             : QGraphicsView::NoDrag);
}

void TImageEnVect::SetMouseInteract(TIEMouseInteract items) {
    CancelInteracts();
    m_general = items;
    setDragMode(m_general.testFlag(miScroll) ? QGraphicsView::ScrollHandDrag
                                             : QGraphicsView::NoDrag);
}

bool TImageEnVect::placing() const {
    for (auto i : m_vt)
        if (i == miPutBox || i == miPutEllipse || i == miPutBitmap || i == miPutMemo ||
            i == miPutLineLabel || i == miPutLine)
            return true;
    return false;
}

void TImageEnVect::CancelInteracts() {
    if (m_drag == Drag::Move || m_drag == Drag::Resize) {
        // Back to where the objects were.
        for (const TIEVObject& o : std::as_const(m_dragOriginals))
            if (m_model->HasObj(o.Handle))
                m_model->ObjRef(o.Handle) = o;
        m_model->Update();
    }
    m_drag = Drag::None;
    m_dragOriginals.clear();
    m_page->update();
}

bool TImageEnVect::IsInteracting() const {
    return m_drag != Drag::None;
}

void TImageEnVect::SetGripsVisible(bool visible) {
    m_grips = visible;
    m_page->update();
}

// ---- zoom ------------------------------------------------------------------------------------

void TImageEnVect::SetZoom(double percent) {
    if (percent <= 0)
        return;
    m_zoom = percent;
    setTransform(QTransform::fromScale(percent / 100.0, percent / 100.0));
    m_page->update();
}

void TImageEnVect::FitToWidth() {
    const QSize s = m_model->Bitmap().size();
    if (s.isEmpty())
        return;
    int width = viewport()->width();
    // A page taller than the view brings the vertical scroll bar, which takes from the width.
    if (!verticalScrollBar()->isVisible() && verticalScrollBarPolicy() == Qt::ScrollBarAsNeeded &&
        s.height() * double(std::max(1, width - 2)) / s.width() > viewport()->height())
        width -= style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    SetZoom(100.0 * std::max(1, width - 2) / s.width());
}

void TImageEnVect::Fit() {
    const QSize s = m_model->Bitmap().size();
    if (s.isEmpty())
        return;
    SetZoom(100.0 * std::min(double(viewport()->width() - 2) / s.width(),
                             double(viewport()->height() - 2) / s.height()));
}

void TImageEnVect::SetResampleFilter(TResampleFilter filter) {
    m_filter = filter;
    m_scaled = QImage();
    m_scaledKey = 0;
    viewport()->update();
}

void TImageEnVect::SetObjectAntialias(bool on) {
    m_objectAntialias = on;
    viewport()->update();
}

void TImageEnVect::ScrollToTopLeft() {
    horizontalScrollBar()->setValue(horizontalScrollBar()->minimum());
    verticalScrollBar()->setValue(verticalScrollBar()->minimum());
}

void TImageEnVect::zoomAt(double factor, QPointF scenePos) {
    double zoom = m_zoom * factor;
    if (factor > 1.0 && OnZoomIn)
        OnZoomIn(zoom);
    else if (factor < 1.0 && OnZoomOut)
        OnZoomOut(zoom);
    const QPoint viewPos = mapFromScene(scenePos);
    SetZoom(zoom);
    const QPointF now = mapToScene(viewPos);
    const QPointF d = (scenePos - now) * (m_zoom / 100.0);
    horizontalScrollBar()->setValue(horizontalScrollBar()->value() + int(std::lround(d.x())));
    verticalScrollBar()->setValue(verticalScrollBar()->value() + int(std::lround(d.y())));
}

// ---- hit tests --------------------------------------------------------------------------------

int TImageEnVect::hitObject(QPointF pos) const {
    const double tolerance = std::max(2.0, 4.0 * 100.0 / m_zoom);
    const QList<TIEVObject>& objects = m_model->Objects();
    for (qsizetype i = objects.size() - 1; i >= 0; --i) {
        const TIEVObject& o = objects.at(i);
        if (o.Style.testFlag(ievsVisible) && o.Style.testFlag(ievsSelectable) &&
            HitTest(o, pos, tolerance))
            return o.Handle;
    }
    return -1;
}

int TImageEnVect::sizableSelection() const {
    if (m_model->SelObjectsCount() != 1)
        return -1;
    const int h = m_model->SelObject(0);
    if (!m_model->HasObj(h) || !m_model->Obj(h).Style.testFlag(ievsSizeable))
        return -1;
    return h;
}

QList<QPointF> TImageEnVect::gripPoints(const TIEVObject& o) const {
    if (isLine(o))
        return {QPointF(o.Left, o.Top), QPointF(o.Right, o.Bottom)};
    const QRectF r = rectOf(o);
    const QPointF c = r.center();
    return {r.topLeft(),     QPointF(c.x(), r.top()),    r.topRight(),   QPointF(r.right(), c.y()),
            r.bottomRight(), QPointF(c.x(), r.bottom()), r.bottomLeft(), QPointF(r.left(), c.y())};
}

QRectF TImageEnVect::gripRect(QPointF centre) const {
    const double s = kGripPixels * 100.0 / m_zoom;
    return QRectF(centre.x() - s / 2, centre.y() - s / 2, s, s);
}

int TImageEnVect::hitGrip(QPointF pos) const {
    const int h = sizableSelection();
    if (h < 0 || !m_grips)
        return 0;
    const QList<QPointF> points = gripPoints(m_model->Obj(h));
    for (int i = 0; i < points.size(); ++i)
        if (gripRect(points.at(i)).adjusted(-1, -1, 1, 1).contains(pos))
            return isLine(m_model->Obj(h)) ? 9 + i : 1 + i;
    return 0;
}

// ---- placing ------------------------------------------------------------------------------------

TIEVObject TImageEnVect::placedObject(QPointF end, Qt::KeyboardModifiers) const {
    TIEVObject o = m_model->Obj(-1);
    const QPointF s = m_dragStart;
    const bool click = QLineF(mapFromScene(s), mapFromScene(end)).length() < kClickPixels;
    const int tw = o.Width() ? o.Width() : 70;
    const int th = o.Height() ? o.Height() : 70;
    if (o.Kind == iekELLIPSE) {
        // A dot takes its size from the template, centred where it was put.
        o.SetRect(int(std::lround(end.x())) - tw / 2, int(std::lround(end.y())) - th / 2, tw, th);
    } else if (click) {
        o.SetRect(int(std::lround(s.x())), int(std::lround(s.y())), tw, th);
    } else {
        o.Left = int(std::lround(s.x()));
        o.Top = int(std::lround(s.y()));
        o.Right = int(std::lround(end.x()));
        o.Bottom = int(std::lround(end.y()));
        if (!isLine(o)) { // boxes run from their top left
            const int l = std::min(o.Left, o.Right), t = std::min(o.Top, o.Bottom);
            o.SetRect(l, t, std::abs(o.Right - o.Left), std::abs(o.Bottom - o.Top));
        }
    }
    return o;
}

void TImageEnVect::finishPlace(QPointF end, Qt::KeyboardModifiers mods) {
    TIEVObject o = placedObject(end, mods);
    m_drag = Drag::None;
    if (o.Kind == iekNONE)
        return;
    o.UserData = QVariant();
    o.UserDataLen = 0;
    const int h = m_model->AddObject(o);
    if (OnNewObject)
        OnNewObject(h);
}

// ---- moving and resizing
// -------------------------------------------------------------------------

void TImageEnVect::applyDrag(QPointF pos) {
    const QPointF d = pos - m_dragStart;
    const int dx = int(std::lround(d.x())), dy = int(std::lround(d.y()));
    QList<int> moved;
    for (const TIEVObject& was : std::as_const(m_dragOriginals)) {
        if (!m_model->HasObj(was.Handle))
            continue;
        TIEVObject& o = m_model->ObjRef(was.Handle);
        const QRect before(QPoint(o.Left, o.Top), QPoint(o.Right, o.Bottom));
        if (m_drag == Drag::Move) {
            o.Left = was.Left + dx;
            o.Right = was.Right + dx;
            o.Top = was.Top + dy;
            o.Bottom = was.Bottom + dy;
        } else {
            const QRectF r = rectOf(was);
            double l = r.left(), t = r.top(), rr = r.right(), b = r.bottom();
            switch (m_grip) {
            case 1:
                l += dx;
                t += dy;
                break;
            case 2:
                t += dy;
                break;
            case 3:
                rr += dx;
                t += dy;
                break;
            case 4:
                rr += dx;
                break;
            case 5:
                rr += dx;
                b += dy;
                break;
            case 6:
                b += dy;
                break;
            case 7:
                l += dx;
                b += dy;
                break;
            case 8:
                l += dx;
                break;
            case 9:
                o.Left = was.Left + dx;
                o.Top = was.Top + dy;
                break;
            case 10:
                o.Right = was.Right + dx;
                o.Bottom = was.Bottom + dy;
                break;
            default:
                break;
            }
            if (m_grip <= 8) {
                const QRect n = QRectF(QPointF(l, t), QPointF(rr, b)).normalized().toRect();
                o.Left = n.left();
                o.Top = n.top();
                o.Right = n.left() + std::max(1, n.width());
                o.Bottom = n.top() + std::max(1, n.height());
            }
        }
        // A press and release on the spot moves nothing and reports nothing.
        if (QRect(QPoint(o.Left, o.Top), QPoint(o.Right, o.Bottom)) != before)
            moved.append(was.Handle);
    }
    m_model->Update();
    if (OnObjectMoveResize)
        for (int h : std::as_const(moved))
            OnObjectMoveResize(h);
}

// ---- mouse
// ------------------------------------------------------------------------------------------

void TImageEnVect::mousePressEvent(QMouseEvent* e) {
    const QPointF pos = mapToScene(e->position().toPoint());
    if (OnMouseDown)
        OnMouseDown(e->button(), e->modifiers(), pos);
    if (m_memo) {
        // A click beside the text being edited ends the edit; a click into it edits on.
        if (!m_memo->sceneBoundingRect().contains(pos)) {
            MemoEditEnd();
            e->accept();
            return;
        }
        QGraphicsView::mousePressEvent(e);
        return;
    }
    if (m_general.testFlag(miScroll)) {
        QGraphicsView::mousePressEvent(e);
        return;
    }
    if (m_general.testFlag(miZoom) || m_general.testFlag(miSelectZoom)) {
        if (e->button() == Qt::RightButton && m_general.testFlag(miZoom)) {
            zoomAt(1.0 / 1.25, pos);
        } else if (e->button() == Qt::LeftButton) {
            m_drag = Drag::ZoomBand;
            m_dragStart = m_dragNow = pos;
        }
        e->accept();
        return;
    }
    if (e->button() != Qt::LeftButton) {
        e->accept();
        return;
    }
    m_dragStart = m_dragNow = pos;
    if (placing()) {
        m_drag = Drag::Place;
        m_page->update();
        e->accept();
        return;
    }
    if (!m_vt.contains(miObjectSelect)) {
        e->accept();
        return;
    }
    if (const int grip = hitGrip(pos)) {
        m_drag = Drag::Resize;
        m_grip = grip;
        m_dragHandle = sizableSelection();
        m_dragOriginals = {m_model->Obj(m_dragHandle)};
        e->accept();
        return;
    }
    const int h = hitObject(pos);
    const bool adding = e->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier);
    if (h < 0) {
        if (!adding)
            m_model->UnSelAllObjects();
        m_drag = Drag::Band;
        if (OnSelectObject)
            OnSelectObject(-1);
        e->accept();
        return;
    }
    if (adding && m_model->IsSelObject(h)) {
        m_model->UnSelObject(h);
    } else {
        if (!m_model->IsSelObject(h)) {
            if (!adding)
                m_model->UnSelAllObjects();
            m_model->AddSelObject(h);
        }
        m_dragOriginals.clear();
        for (int s : m_model->SelObjects())
            if (m_model->Obj(s).Style.testFlag(ievsMoveable))
                m_dragOriginals.append(m_model->Obj(s));
        if (!m_dragOriginals.isEmpty()) {
            m_drag = Drag::Move;
            m_dragHandle = h;
        }
    }
    if (OnSelectObject)
        OnSelectObject(h);
    e->accept();
}

void TImageEnVect::mouseMoveEvent(QMouseEvent* e) {
    const QPointF pos = mapToScene(e->position().toPoint());
    if (m_memo || m_general.testFlag(miScroll)) {
        QGraphicsView::mouseMoveEvent(e);
        return;
    }
    switch (m_drag) {
    case Drag::None: {
        const int h = hitObject(pos);
        if (h != m_hover) {
            m_hover = h;
            if (OnObjectOver)
                OnObjectOver(h);
        }
        if (m_vt.contains(miObjectSelect)) {
            const int grip = hitGrip(pos);
            static const Qt::CursorShape shapes[] = {
                Qt::ArrowCursor,   Qt::SizeFDiagCursor, Qt::SizeVerCursor, Qt::SizeBDiagCursor,
                Qt::SizeHorCursor, Qt::SizeFDiagCursor, Qt::SizeVerCursor, Qt::SizeBDiagCursor,
                Qt::SizeHorCursor, Qt::CrossCursor,     Qt::CrossCursor};
            if (grip)
                viewport()->setCursor(shapes[grip]);
            else
                viewport()->unsetCursor();
        }
        break;
    }
    case Drag::Place:
    case Drag::Band:
    case Drag::ZoomBand:
        m_dragNow = pos;
        m_page->update();
        break;
    case Drag::Move:
    case Drag::Resize:
        m_dragNow = pos;
        applyDrag(pos);
        break;
    }
    e->accept();
}

void TImageEnVect::mouseReleaseEvent(QMouseEvent* e) {
    const QPointF pos = mapToScene(e->position().toPoint());
    if (m_memo || m_general.testFlag(miScroll)) {
        QGraphicsView::mouseReleaseEvent(e);
        if (OnMouseUp)
            OnMouseUp(e->button(), e->modifiers(), pos);
        return;
    }
    if (e->button() == Qt::LeftButton) {
        switch (m_drag) {
        case Drag::Place:
            finishPlace(pos, e->modifiers());
            break;
        case Drag::Band: {
            const QRectF band = QRectF(m_dragStart, pos).normalized();
            m_drag = Drag::None;
            if (QLineF(mapFromScene(m_dragStart), mapFromScene(pos)).length() >= kClickPixels) {
                for (const TIEVObject& o : m_model->Objects())
                    if (o.Style.testFlag(ievsVisible) && o.Style.testFlag(ievsSelectable) &&
                        band.contains(ObjectBounds(o)))
                        m_model->AddSelObject(o.Handle);
                if (OnSelectObject && m_model->SelObjectsCount() > 0)
                    OnSelectObject(m_model->SelObject(0));
            }
            break;
        }
        case Drag::ZoomBand: {
            m_drag = Drag::None;
            const QRectF band = QRectF(m_dragStart, pos).normalized();
            if (m_general.testFlag(miSelectZoom) &&
                QLineF(mapFromScene(m_dragStart), mapFromScene(pos)).length() >= kClickPixels) {
                double zoom = 100.0 * std::min(viewport()->width() / std::max(1.0, band.width()),
                                               viewport()->height() / std::max(1.0, band.height()));
                if (zoom > m_zoom && OnZoomIn)
                    OnZoomIn(zoom);
                else if (zoom < m_zoom && OnZoomOut)
                    OnZoomOut(zoom);
                SetZoom(zoom);
                centerOn(band.center());
            } else if (m_general.testFlag(miZoom)) {
                zoomAt(1.25, pos);
            }
            break;
        }
        case Drag::Move:
        case Drag::Resize:
            m_drag = Drag::None;
            m_dragOriginals.clear();
            break;
        case Drag::None:
            break;
        }
        m_page->update();
    }
    if (OnMouseUp)
        OnMouseUp(e->button(), e->modifiers(), pos);
    e->accept();
}

void TImageEnVect::mouseDoubleClickEvent(QMouseEvent* e) {
    const QPointF pos = mapToScene(e->position().toPoint());
    if (!m_memo && m_vt.contains(miObjectSelect)) {
        const int h = hitObject(pos);
        if (h >= 0 && m_model->Obj(h).Kind == iekMEMO &&
            m_model->Obj(h).Style.testFlag(ievsMoveable)) {
            MemoEdit(h);
            e->accept();
            return;
        }
    }
    QGraphicsView::mouseDoubleClickEvent(e);
}

void TImageEnVect::wheelEvent(QWheelEvent* e) {
    if (OnMouseWheel && OnMouseWheel(e)) {
        e->accept();
        return;
    }
    QGraphicsView::wheelEvent(e);
}

void TImageEnVect::keyPressEvent(QKeyEvent* e) {
    if (m_memo) {
        QGraphicsView::keyPressEvent(e);
        return;
    }
    if (e->key() == Qt::Key_Escape && m_drag != Drag::None) {
        CancelInteracts();
        e->accept();
        return;
    }
    e->ignore(); // keys reach the frame, which handles them on release
}

void TImageEnVect::keyReleaseEvent(QKeyEvent* e) {
    if (m_memo) {
        QGraphicsView::keyReleaseEvent(e);
        return;
    }
    if (OnKeyUp)
        OnKeyUp(e);
    else
        e->ignore();
}

void TImageEnVect::enterEvent(QEnterEvent* e) {
    QGraphicsView::enterEvent(e);
    if (OnMouseEnter)
        OnMouseEnter();
}

void TImageEnVect::focusOutEvent(QFocusEvent* e) {
    QGraphicsView::focusOutEvent(e);
    // Focus moving into the text editor inside the canvas is no exit.
    if (m_memo || e->reason() == Qt::PopupFocusReason)
        return;
    if (OnExit)
        OnExit();
}

// ---- text editing
// ----------------------------------------------------------------------------------

void TImageEnVect::MemoEdit(int h) {
    if (!m_model->HasObj(h) || m_model->Obj(h).Kind != iekMEMO)
        return;
    if (m_memo)
        MemoEditEnd();
    CancelInteracts();
    const TIEVObject& o = m_model->Obj(h);
    if (!m_model->IsSelObject(h)) {
        m_model->UnSelAllObjects();
        m_model->AddSelObject(h);
    }
    m_memoHandle = h;
    m_memoOriginal = o.Text;
    m_memo = new TMemoEditItem(this);
    m_memo->setFont(FontOf(o));
    m_memo->setDefaultTextColor(ColorOf(o.PenColor));
    m_memo->setPlainText(o.Text);
    const QRectF r = rectOf(o);
    m_memo->setTextWidth(std::max(20.0, r.width()));
    QTextOption opt = m_memo->document()->defaultTextOption();
    opt.setAlignment(o.TextAlign == TIEAlignment::iejCenter  ? Qt::AlignHCenter
                     : o.TextAlign == TIEAlignment::iejRight ? Qt::AlignRight
                                                             : Qt::AlignLeft);
    m_memo->document()->setDefaultTextOption(opt);
    m_memo->setPos(r.topLeft());
    m_memo->setZValue(1);
    m_memo->setTextInteractionFlags(Qt::TextEditorInteraction);
    m_scene->addItem(m_memo);
    m_page->update();
    if (OnActivateTextEdit)
        OnActivateTextEdit();
    setFocus(Qt::OtherFocusReason);
    m_scene->setFocusItem(m_memo);
    QTextCursor c = m_memo->textCursor();
    c.movePosition(QTextCursor::End);
    m_memo->setTextCursor(c);
}

bool TImageEnVect::IsMemoEditing() const {
    return m_memo != nullptr;
}

void TImageEnVect::MemoEditEnd() {
    if (!m_memo)
        return;
    TMemoEditItem* item = m_memo;
    m_memo = nullptr;
    const int h = m_memoHandle;
    m_memoHandle = -1;
    QString text = item->toPlainText();
    item->setTextInteractionFlags(Qt::NoTextInteraction);
    m_scene->removeItem(item);
    const double height = item->boundingRect().height();
    item->deleteLater();
    if (m_model->HasObj(h)) {
        TIEVObject& o = m_model->ObjRef(h);
        // The editor knows only line feeds: an unchanged text keeps its own line ends.
        QString original = m_memoOriginal;
        if (text == original.replace(QStringLiteral("\r\n"), QStringLiteral("\n")))
            text = m_memoOriginal;
        o.Text = text;
        if (o.TextAutoSize && height > std::abs(o.Height())) {
            const int grow = int(std::ceil(height)) - std::abs(o.Height());
            if (o.Bottom >= o.Top)
                o.Bottom += grow;
            else
                o.Top += grow;
        }
        m_model->Update();
    }
    if (OnDeactivateTextEdit)
        OnDeactivateTextEdit();
}

void TImageEnVect::ShowHint(const QString& text) {
    QToolTip::showText(QCursor::pos(), text, viewport());
}

QImage TImageEnVect::Rendered() const {
    return CopyObjectsToBack(*m_model);
}

} // namespace Imaging

#include "IEVectModel.h"

#include <QPainter>
#include <QTransform>

#include <cmath>
#include <stdexcept>

namespace Imaging {

TIEVectModel::TIEVectModel(QObject* parent) : QObject(parent) {}

void TIEVectModel::SetBitmap(const QImage& bitmap) {
    m_bitmap = bitmap;
    emit changed();
}

int TIEVectModel::GetObjFromIndex(int index) const {
    if (index < 0 || index >= m_objects.size())
        return -1;
    return m_objects.at(index).Handle;
}

int TIEVectModel::IndexOfObj(int handle) const {
    for (qsizetype i = 0; i < m_objects.size(); ++i)
        if (m_objects.at(i).Handle == handle)
            return int(i);
    return -1;
}

const TIEVObject& TIEVectModel::Obj(int handle) const {
    if (handle == -1)
        return m_template;
    const int i = IndexOfObj(handle);
    if (i < 0)
        throw std::out_of_range("vector object handle");
    return m_objects.at(i);
}

TIEVObject& TIEVectModel::ObjRef(int handle) {
    if (handle == -1)
        return m_template;
    const int i = IndexOfObj(handle);
    if (i < 0)
        throw std::out_of_range("vector object handle");
    return m_objects[i];
}

int TIEVectModel::AddNewObject(TIEVObjectKind kind, const QRect& rect, TColor color) {
    TIEVObject o = m_template;
    o.Kind = kind;
    o.Left = rect.left();
    o.Top = rect.top();
    o.Right = rect.left() + rect.width();
    o.Bottom = rect.top() + rect.height();
    o.PenColor = color;
    o.UserData = QVariant();
    o.UserDataLen = 0;
    return AddObject(std::move(o));
}

int TIEVectModel::AddObject(TIEVObject object) {
    object.Handle = m_nextHandle++;
    m_objects.append(std::move(object));
    emit changed();
    return m_objects.constLast().Handle;
}

void TIEVectModel::RemoveObject(int handle) {
    const int i = IndexOfObj(handle);
    if (i < 0)
        return;
    m_objects.removeAt(i);
    if (m_selected.removeAll(handle) > 0)
        emit selectionChanged();
    emit changed();
}

void TIEVectModel::RemoveAllObjects() {
    m_objects.clear();
    if (!m_selected.isEmpty()) {
        m_selected.clear();
        emit selectionChanged();
    }
    emit changed();
}

void TIEVectModel::BringToFront(int handle) {
    const int i = IndexOfObj(handle);
    if (i < 0)
        return;
    m_objects.move(i, m_objects.size() - 1);
    emit changed();
}

void TIEVectModel::SendToBack(int handle) {
    const int i = IndexOfObj(handle);
    if (i < 0)
        return;
    m_objects.move(i, 0);
    emit changed();
}

void TIEVectModel::AddSelObject(int handle) {
    if (!HasObj(handle) || m_selected.contains(handle))
        return;
    m_selected.append(handle);
    emit selectionChanged();
    emit changed();
}

void TIEVectModel::UnSelObject(int handle) {
    if (m_selected.removeAll(handle) == 0)
        return;
    emit selectionChanged();
    emit changed();
}

void TIEVectModel::UnSelAllObjects() {
    if (m_selected.isEmpty())
        return;
    m_selected.clear();
    emit selectionChanged();
    emit changed();
}

void TIEVectModel::SelAllObjects() {
    QList<int> all;
    for (const TIEVObject& o : std::as_const(m_objects))
        all.append(o.Handle);
    if (all == m_selected)
        return;
    m_selected = all;
    emit selectionChanged();
    emit changed();
}

namespace {

bool isLineKind(TIEVObjectKind kind) {
    return kind == iekLINE || kind == iekLINELABEL;
}

QImage turned(const QImage& image, const QTransform& t, int quarterTurns, bool antialias,
              TColor background) {
    if (quarterTurns >= 0) {
        // Right angles move pixels without resampling; one-bit pages stay one-bit.
        const bool mono = image.depth() == 1;
        QImage src = mono ? image.convertToFormat(QImage::Format_Grayscale8) : image;
        QImage out = src.transformed(t, Qt::FastTransformation);
        if (mono)
            out = out.convertToFormat(image.format(), image.colorTable(), Qt::ThresholdDither);
        return out;
    }
    const QRect box = t.mapRect(QRectF(image.rect())).toAlignedRect();
    QImage out(box.size(), QImage::Format_ARGB32_Premultiplied);
    out.fill(background == clNone ? QColor(Qt::transparent) : ColorOf(background));
    QPainter p(&out);
    p.setRenderHint(QPainter::SmoothPixmapTransform, antialias);
    p.setRenderHint(QPainter::Antialiasing, antialias);
    p.setTransform(QImage::trueMatrix(t, image.width(), image.height()));
    p.drawImage(0, 0, image);
    return out;
}

} // namespace

void TIEVectModel::Rotate(double angle, bool antialias, TColor background) {
    angle = std::fmod(angle, 360.0);
    if (angle < 0)
        angle += 360.0;
    if (angle == 0.0)
        return;
    QTransform t;
    t.rotate(-angle); // y grows downwards: a negative Qt angle turns counter-clockwise
    const bool right = std::fmod(angle, 90.0) == 0.0;
    const int w = m_bitmap.isNull() ? 0 : m_bitmap.width();
    const int h = m_bitmap.isNull() ? 0 : m_bitmap.height();
    const QTransform map = QImage::trueMatrix(t, w, h);
    if (!m_bitmap.isNull())
        m_bitmap = turned(m_bitmap, t, right ? int(angle / 90.0) : -1, antialias, background);
    for (TIEVObject& o : m_objects) {
        const QPointF a = map.map(QPointF(o.Left, o.Top));
        const QPointF b = map.map(QPointF(o.Right, o.Bottom));
        if (isLineKind(o.Kind)) {
            o.Left = int(std::lround(a.x()));
            o.Top = int(std::lround(a.y()));
            o.Right = int(std::lround(b.x()));
            o.Bottom = int(std::lround(b.y()));
            continue;
        }
        const QRectF box =
            map.mapRect(QRectF(QPointF(o.Left, o.Top), QPointF(o.Right, o.Bottom)).normalized());
        o.Left = int(std::lround(box.left()));
        o.Top = int(std::lround(box.top()));
        o.Right = int(std::lround(box.right()));
        o.Bottom = int(std::lround(box.bottom()));
        if (o.Kind == iekBITMAP && right && !o.Bitmap.isNull())
            o.Bitmap = turned(o.Bitmap, t, int(angle / 90.0), antialias, clNone);
    }
    emit changed();
}

// ---- undo ---------------------------------------------------------------------------------

void TIEVectModel::SetUndoLimit(int limit) {
    m_undoLimit = std::max(1, limit);
    while (m_undo.size() > m_undoLimit)
        m_undo.removeFirst();
    while (m_redo.size() > m_undoLimit)
        m_redo.removeFirst();
}

void TIEVectModel::pushLimited(QList<QList<TIEVObject>>& stack, QList<TIEVObject> entry) {
    stack.append(std::move(entry));
    while (stack.size() > m_undoLimit)
        stack.removeFirst();
}

void TIEVectModel::restore(const QList<TIEVObject>& objects) {
    m_objects = objects;
    QList<int> kept;
    for (int h : std::as_const(m_selected))
        if (HasObj(h))
            kept.append(h);
    // kept is the selection less the objects gone: of the same size, it is the same.
    const bool selChanged = kept.size() != m_selected.size();
    m_selected = kept;
    if (selChanged)
        emit selectionChanged();
    emit changed();
}

void TIEVectModel::SaveUndo() {
    pushLimited(m_undo, m_objects);
}

void TIEVectModel::UndoWithRedo() {
    if (m_undo.isEmpty())
        return;
    pushLimited(m_redo, m_objects);
    restore(m_undo.constLast());
}

void TIEVectModel::RedoWithUndo() {
    if (m_redo.isEmpty())
        return;
    pushLimited(m_undo, m_objects);
    restore(m_redo.constLast());
}

void TIEVectModel::DropLastUndo() {
    if (!m_undo.isEmpty())
        m_undo.removeLast();
}

void TIEVectModel::DropLastRedo() {
    if (!m_redo.isEmpty())
        m_redo.removeLast();
}

void TIEVectModel::ClearAllUndo() {
    m_undo.clear();
}
void TIEVectModel::ClearAllRedo() {
    m_redo.clear();
}

} // namespace Imaging

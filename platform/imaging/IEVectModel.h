#pragma once
// The vector layer of one page: the page bitmap, its objects in z-order (index 0 lowest), the
// template object (handle -1) that the next drawn object copies, the selection, and the undo
// history. Widget-free: the canvas in view/ shows and edits a model, the annotation code and its
// tests drive it directly.
//
// Undo entries are snapshots of all objects as values (bitmaps shared, never copied). The
// operations are the ones the viewers need: save a point, undo with automatic redo, redo with
// automatic undo, drop the newest undo or redo entry, clear either history, count and test them.
// Undo and redo restore an entry without removing it; the caller drops it when it wants to.

#include "IEVectTypes.h"

#include <QList>
#include <QObject>
#include <QRect>

namespace Imaging {

class TIEVectModel final : public QObject {
    Q_OBJECT
public:
    static constexpr int DefaultUndoLimit = 125;

    explicit TIEVectModel(QObject* parent = nullptr);

    const QImage& Bitmap() const { return m_bitmap; }
    void SetBitmap(const QImage& bitmap);

    int ObjectsCount() const { return int(m_objects.size()); }
    // Handle of the object at index (z-order), -1 when out of range.
    int GetObjFromIndex(int index) const;
    int IndexOfObj(int handle) const; // -1 for no such object
    bool HasObj(int handle) const { return IndexOfObj(handle) >= 0; }
    // Handle -1 is the template. Another handle that does not exist throws std::out_of_range.
    const TIEVObject& Obj(int handle) const;
    TIEVObject& ObjRef(int handle);
    const TIEVObject& ObjAt(int index) const { return m_objects.at(index); }
    TIEVObject& ObjAtRef(int index) { return m_objects[index]; }
    const QList<TIEVObject>& Objects() const { return m_objects; }

    // A copy of the template with kind, rectangle and pen colour, on top of all others; returns
    // its handle.
    int AddNewObject(TIEVObjectKind kind, const QRect& rect, TColor color);
    // Adds a finished object (its handle is replaced by a fresh one); returns the handle.
    int AddObject(TIEVObject object);
    void RemoveObject(int handle);
    void RemoveAllObjects();
    void BringToFront(int handle);
    void SendToBack(int handle);

    // Selection in the order the objects were selected.
    int SelObjectsCount() const { return int(m_selected.size()); }
    int SelObject(int i) const { return m_selected.at(i); }
    const QList<int>& SelObjects() const { return m_selected; }
    bool IsSelObject(int handle) const { return m_selected.contains(handle); }
    void AddSelObject(int handle);
    void UnSelObject(int handle);
    void UnSelAllObjects();
    void SelAllObjects();

    // Turns bitmap and objects together by angle degrees counter-clockwise about the image centre;
    // the objects keep their place on the picture. The bitmap grows to hold the turned picture;
    // new corners take the background colour (clNone: transparent).
    void Rotate(double angle, bool antialias, TColor background);

    // ---- undo -------------------------------------------------------------------------------
    int UndoLimit() const { return m_undoLimit; }
    void SetUndoLimit(int limit);
    void SaveUndo(); // beyond the limit the oldest entry goes
    void UndoWithRedo();
    void RedoWithUndo();
    void DropLastUndo();
    void DropLastRedo();
    void ClearAllUndo();
    void ClearAllRedo();
    int UndoCount() const { return int(m_undo.size()); }
    int RedoCount() const { return int(m_redo.size()); }
    bool CanUndo() const { return !m_undo.isEmpty(); }
    bool CanRedo() const { return !m_redo.isEmpty(); }

    // Callers that change objects through ObjRef report it here, so that views repaint.
    void Update() { emit changed(); }

signals:
    void changed();
    void selectionChanged();

private:
    void restore(const QList<TIEVObject>& objects);
    void pushLimited(QList<QList<TIEVObject>>& stack, QList<TIEVObject> entry);

    QImage m_bitmap;
    QList<TIEVObject> m_objects;
    TIEVObject m_template;
    QList<int> m_selected;
    int m_nextHandle = 1;
    int m_undoLimit = DefaultUndoLimit;
    QList<QList<TIEVObject>> m_undo, m_redo;
};

} // namespace Imaging

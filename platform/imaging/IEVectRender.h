#pragma once
// Drawing of vector objects in page-bitmap coordinates: the canvas paints with it, and burning the
// objects into the page for printing and export uses the same code, so both look alike.

#include "IEVectModel.h"

#include <QPainter>
#include <QRectF>

namespace Imaging {

QFont FontOf(const TIEVObject& o);
// The area an object covers, its label included, normalised.
QRectF ObjectBounds(const TIEVObject& o);
// Whether point (page pixels) touches the object; lines within tolerance pixels.
bool HitTest(const TIEVObject& o, const QPointF& point, double tolerance);

void PaintObject(QPainter& p, const TIEVObject& o);
// Visible objects in z-order.
void PaintObjects(QPainter& p, const TIEVectModel& model);
// The page with its visible objects drawn in (the objects stay in the model). One-bit and grey
// pages become colour pages, so that coloured marks survive.
QImage CopyObjectsToBack(const TIEVectModel& model);

} // namespace Imaging

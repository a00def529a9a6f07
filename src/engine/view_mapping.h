#pragma once
// Where a picture is drawn inside the view in each view mode, and the mapping
// between view positions and picture pixels. Pure functions: the view and the
// tests share them.
#include <QPoint>
#include <QRectF>
#include <QSize>

namespace engine {

// The rectangle (view coordinates) the whole picture occupies in the given mode
// (1 scale to fit, 2 stretch, 3 actual size, 4 fit width, 5 fit height), with
// scroll the offset of a scrolled view (modes 3 to 5 may be larger than the view).
QRectF displayRect(int mode, QSize picture, QSize view, QPoint scroll = QPoint());

// The picture pixel under a view position, clamped to 0..width and 0..height
// (the far edge is a valid selection edge).
QPoint viewToPicture(QPointF viewPos, const QRectF& display, QSize picture);

// The view rectangle covering the picture pixels left..right-1 x top..bottom-1.
QRectF pictureToView(const QRect& pixels, const QRectF& display, QSize picture);

}  // namespace engine

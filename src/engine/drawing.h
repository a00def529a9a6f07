#pragma once
// Drawing on pictures: the pure functions behind the drawing toolbar. Every
// function draws opaque, without anti-aliasing, so the pixels it changes are
// exactly predictable.
//
// Depths: 16, 24 and 32-bit pictures are drawn on directly. A palette picture
// (1, 4 or 8 bits) cannot take an arbitrary colour, so it is first converted to
// 24 bits (forDrawing); the picture stays 24-bit afterwards, like any edit that
// adds colours.
//
// Coordinates are picture pixels. A pen of width w covers the pixels whose
// centres lie within w/2 of the stroke's centre line; for an odd width the line
// runs through the centres of the given pixels, for an even width through their
// top-left corners (so a 2-pixel line from (0, 5) to (9, 5) covers rows 4 and 5).
// Width 1 is the classic one-pixel line (Bresenham).
#include "engine/picture.h"

#include <QColor>
#include <QList>
#include <QPoint>
#include <optional>

namespace engine::drawing {

// Converts a palette picture to 24 bits; other depths are left alone. False
// for a null picture or when the conversion fails.
bool forDrawing(Picture& pic);

// Sets one pixel (ignored outside the picture).
void plot(Picture& pic, QPoint p, QColor colour);

// A straight line from a to b, both end pixels included.
bool drawLine(Picture& pic, QPoint a, QPoint b, QColor colour, int width);

// Consecutive lines through the points (a freehand stroke); one point is a dot.
bool drawPolyline(Picture& pic, const QList<QPoint>& points, QColor colour, int width);

// The rectangle with corners a and b (both included, in any order): its
// outline drawn with the pen, or filled.
bool drawRect(Picture& pic, QPoint a, QPoint b, QColor colour, int width, bool filled);

// The ellipse inscribed in the rectangle of corners a and b (both included):
// the pixels whose centres lie inside it when filled, otherwise a ring width
// pixels thick along its inside edge.
bool drawEllipse(Picture& pic, QPoint a, QPoint b, QColor colour, int width, bool filled);

// Places the stamp with its centre pixel (width/2, height/2) on centre,
// clipped to the picture. Stamp pixels of the transparent colour are skipped.
bool placeStamp(Picture& pic, const Picture& stamp, QPoint centre, std::optional<QColor> transparent);

}  // namespace engine::drawing

#pragma once
// Where a picture lies inside the view in each view mode, and the mapping
// between view positions and picture pixels. Pure functions: painting, mouse
// input and the tests all go through them, so what the user sees under the
// pointer is the pixel the selection gets.
//
// View modes:
//   1 scale to fit: proportions kept; a picture smaller than the view is shown
//     at its actual size (a viewer that blows up a 16 x 16 icon to fill the
//     screen hides the pixels the user wants to select), centred.
//   2 stretch: the view's width and height, proportions ignored.
//   3 actual size: one picture pixel per view pixel; scroll bars when larger.
//   4 fit width: the width fills the view (small pictures are enlarged);
//     vertical scroll bar when the height is then larger than the view.
//   5 fit height: the same with the height; horizontal scroll bar.
// A picture smaller than the view in a direction is centred in it.
// A zoom factor above 0 overrides the mode: the picture is shown at that many
// view pixels per picture pixel (0.5 half size, 4 four times), with scroll
// bars where it is larger than the view; 0 leaves the size to the mode.
// Every on-screen size is a whole number of view pixels, so the scaled
// rendition and the mapping agree exactly.
#include <QPoint>
#include <QRect>
#include <QRectF>
#include <QSize>

namespace engine {

// The layout of the view for one picture: the part of the widget left for the
// picture (its viewport), which scroll bars are shown, and the picture's size
// on screen.
struct ViewGeometry {
    QSize viewport;            // widget size minus the visible scroll bars
    bool hScroll = false;      // horizontal scroll bar shown
    bool vScroll = false;      // vertical scroll bar shown
    QSize display;             // the whole picture on screen
    QPoint maxScroll;          // scroll range, 0 where the picture fits

    // Where the whole picture lies in viewport coordinates at a scroll position
    // (clamped to 0..maxScroll).
    QRect displayRect(QPoint scroll = QPoint()) const;
};

// The on-screen size of a picture in a viewport of the given size.
QSize displaySize(int mode, QSize picture, QSize viewport, double zoom = 0);

// The layout for a widget of the given size; scrollBarExtent is the width of a
// vertical (height of a horizontal) scroll bar.
ViewGeometry layoutView(int mode, QSize picture, QSize widget, int scrollBarExtent, double zoom = 0);

// The zoom factors the view takes.
constexpr double kMinZoom = 1.0 / 16;
constexpr double kMaxZoom = 16;
// Zoom steps: 1/16 .. 1/3, 1/2, 2/3, 1, 3/2, 2, 3, 4, 8, 16 (shown as 6 .. 1600 %).
// The step after (direction > 0) or before (direction < 0) the factor now
// shown; the factor itself when there is none further that way.
double nextZoomStep(double shown, int direction);
// The zoom of a layout: view pixels per picture pixel across (0 without a picture).
double shownZoom(const ViewGeometry& g, QSize picture);
// A zoom as the percentage shown to the user (whole percent, halves to even).
int zoomPercent(double zoom);

// The scroll position that keeps the picture point under anchor (viewport
// coordinates) under it after the picture is shown as in `after`; before is
// where the whole picture lay on screen until now.
QPoint scrollKeepingPoint(QPointF anchor, const QRectF& before, QSize picture, const ViewGeometry& after);

// The rectangle (view coordinates) the whole picture occupies in a viewport
// without scroll bars, scrolled by scroll where it is larger than the view.
QRectF displayRect(int mode, QSize picture, QSize view, QPoint scroll = QPoint());

// The picture pixel under a view position: the view pixel containing the
// position is sampled at its centre. Clamped to 0..width-1 and 0..height-1, so
// a position beside the picture gives the nearest edge pixel.
QPoint viewToPicture(QPointF viewPos, const QRectF& display, QSize picture);

// The view rectangle covering the picture pixels of pixels (left..right-1 x
// top..bottom-1 in QRect's width/height sense).
QRectF pictureToView(const QRect& pixels, const QRectF& display, QSize picture);

// Selection edges in picture pixels: the selection covers left..right-1 and
// top..bottom-1; all 0 means none.
struct SelectionEdges {
    int left = 0, top = 0, right = 0, bottom = 0;
    bool isNone() const { return left == 0 && top == 0 && right == 0 && bottom == 0; }
    bool operator==(const SelectionEdges&) const = default;
};

// The selection dragged from the pixel under the press to the pixel under the
// pointer now: both pixels included, normalised (left <= right, top <= bottom).
SelectionEdges selectionFromPixels(QPoint pressPixel, QPoint currentPixel);

}  // namespace engine

#pragma once
// The scaled rendition the view paints from. Building it is the costly step of
// showing a picture, so the view keeps it and builds it again only when the
// picture, the view mode or the on-screen size changes.
#include <QImage>
#include <QRect>
#include <QSize>

namespace engine {

// A rendition covers the whole picture on screen when it has at most this many
// pixels; beyond that (actual size of a big photo, fit width of a very tall
// picture) only the visible part and a margin around it are rendered.
constexpr qint64 kFullRenditionPixels = 8'000'000;
// Margin kept around a partial rendition, so that small scrolls reuse it.
constexpr int kRenditionMargin = 384;
// Shrinking a picture of at most this many pixels goes straight through smooth
// (area-averaging) scaling; a bigger one is sampled 2 x 2 times per pixel of
// the result and averaged, in one pass for 24- and 32-bit pictures, through a
// picture at twice the size otherwise. Measured with bench/bench_view on a
// 6000 x 4000 photo to 1500 x 1000: smooth alone 630 ms, sampled then smoothed
// 30 ms, sampling alone 5 ms (wall clock; Qt spreads the work over both cores).
constexpr qint64 kSmoothDirectPixels = 2'000'000;

struct Rendition {
    QImage image;  // Format_RGB32, ready to paint
    QRect area;    // the part of the on-screen picture it covers (display coordinates)
};

// Renders the part area of a picture shown at size display (both in display
// coordinates, area clipped to the display). Enlarged pictures keep hard pixel
// edges (the user selects pixels); shrunk pictures are smoothed.
Rendition renderRendition(const QImage& picture, QSize display, QRect area);

// Shrinks or enlarges the whole picture to size (the strategy above).
QImage scaleForView(const QImage& picture, QSize size);

}  // namespace engine

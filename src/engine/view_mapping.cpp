#include "engine/view_mapping.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace engine {

namespace {

int scaledSide(int side, double k) {
    return std::max(1, int(std::lround(side * k)));
}

// Centred when it fits, otherwise placed by the (clamped) scroll offset.
int place(int shown, int available, int scroll) {
    if (shown <= available)
        return (available - shown) / 2;
    return -std::clamp(scroll, 0, shown - available);
}

}  // namespace

QSize displaySize(int mode, QSize picture, QSize viewport, double zoom) {
    if (picture.isEmpty() || viewport.isEmpty())
        return QSize();
    if (zoom > 0)
        return QSize(scaledSide(picture.width(), zoom), scaledSide(picture.height(), zoom));
    const double pw = picture.width(), ph = picture.height();
    const double vw = viewport.width(), vh = viewport.height();
    switch (mode) {
    case 1: {
        const double k = std::min({vw / pw, vh / ph, 1.0});
        return QSize(scaledSide(picture.width(), k), scaledSide(picture.height(), k));
    }
    case 2: return viewport;
    case 4: return QSize(viewport.width(), scaledSide(picture.height(), vw / pw));
    case 5: return QSize(scaledSide(picture.width(), vh / ph), viewport.height());
    default: return picture;  // 3 and anything unknown: actual size
    }
}

ViewGeometry layoutView(int mode, QSize picture, QSize widget, int extent, double zoom) {
    ViewGeometry g;
    g.viewport = widget;
    if (picture.isEmpty() || widget.isEmpty())
        return g;
    const int W = widget.width(), H = widget.height();
    extent = std::clamp(extent, 0, std::min(W, H) - 1);
    // A zoomed picture has a size of its own, like one at actual size.
    const QSize fixed = zoom > 0 ? displaySize(mode, picture, widget, zoom) : picture;
    if (zoom > 0)
        mode = 3;
    switch (mode) {
    case 3: {
        bool hs = fixed.width() > W, vs = fixed.height() > H;
        if (hs && !vs)
            vs = fixed.height() > H - extent;
        if (vs && !hs)
            hs = fixed.width() > W - extent;
        g.hScroll = hs;
        g.vScroll = vs;
        break;
    }
    case 4:
        // Needing the bar narrows the picture, which may make the bar needless;
        // the narrower width is kept either way so the layout cannot flip-flop.
        if (displaySize(4, picture, widget).height() > H) {
            g.viewport.setWidth(W - extent);
            g.vScroll = displaySize(4, picture, g.viewport).height() > H;
        }
        break;
    case 5:
        if (displaySize(5, picture, widget).width() > W) {
            g.viewport.setHeight(H - extent);
            g.hScroll = displaySize(5, picture, g.viewport).width() > W;
        }
        break;
    default: break;
    }
    if (mode == 3) {
        if (g.vScroll)
            g.viewport.setWidth(W - extent);
        if (g.hScroll)
            g.viewport.setHeight(H - extent);
    }
    g.display = zoom > 0 ? fixed : displaySize(mode, picture, g.viewport);
    g.maxScroll = QPoint(std::max(0, g.display.width() - g.viewport.width()),
                         std::max(0, g.display.height() - g.viewport.height()));
    return g;
}

QRect ViewGeometry::displayRect(QPoint scroll) const {
    if (display.isEmpty())
        return QRect();
    return QRect(place(display.width(), viewport.width(), scroll.x()),
                 place(display.height(), viewport.height(), scroll.y()), display.width(), display.height());
}

QRectF displayRect(int mode, QSize picture, QSize view, QPoint scroll) {
    ViewGeometry g;
    g.viewport = view;
    g.display = displaySize(mode, picture, view);
    return QRectF(g.displayRect(scroll));
}

QPoint viewToPicture(QPointF viewPos, const QRectF& display, QSize picture) {
    if (display.isEmpty() || picture.isEmpty())
        return QPoint();
    const double cx = std::floor(viewPos.x()) + 0.5, cy = std::floor(viewPos.y()) + 0.5;
    const double fx = (cx - display.x()) * picture.width() / display.width();
    const double fy = (cy - display.y()) * picture.height() / display.height();
    const int x = int(std::clamp(std::floor(fx), 0.0, double(picture.width() - 1)));
    const int y = int(std::clamp(std::floor(fy), 0.0, double(picture.height() - 1)));
    return QPoint(x, y);
}

QRectF pictureToView(const QRect& pixels, const QRectF& display, QSize picture) {
    if (picture.isEmpty() || display.isEmpty())
        return QRectF();
    const double kx = display.width() / picture.width();
    const double ky = display.height() / picture.height();
    return QRectF(display.x() + pixels.x() * kx, display.y() + pixels.y() * ky, pixels.width() * kx,
                  pixels.height() * ky);
}

namespace {
constexpr double kZoomSteps[] = {1.0 / 16, 1.0 / 12, 1.0 / 8, 1.0 / 6, 1.0 / 4, 1.0 / 3, 1.0 / 2, 2.0 / 3,
                                 1.0,      1.5,      2.0,     3.0,     4.0,     8.0,     16.0};
}  // namespace

double nextZoomStep(double shown, int direction) {
    // A factor within a hair of a step counts as that step.
    constexpr double eps = 1e-6;
    if (direction > 0) {
        for (double s : kZoomSteps)
            if (s > shown * (1 + eps))
                return s;
        return std::max(shown, kZoomSteps[std::size(kZoomSteps) - 1]);
    }
    if (direction < 0) {
        for (auto it = std::rbegin(kZoomSteps); it != std::rend(kZoomSteps); ++it)
            if (*it < shown * (1 - eps))
                return *it;
        return std::min(shown, kZoomSteps[0]);
    }
    return shown;
}

double shownZoom(const ViewGeometry& g, QSize picture) {
    if (picture.isEmpty() || g.display.isEmpty())
        return 0;
    return double(g.display.width()) / picture.width();
}

int zoomPercent(double zoom) {
    return int(std::nearbyint(zoom * 100));
}

QPoint scrollKeepingPoint(QPointF anchor, const QRectF& before, QSize picture, const ViewGeometry& after) {
    if (picture.isEmpty() || before.isEmpty() || after.display.isEmpty())
        return QPoint();
    // The picture point under the anchor, in picture pixels (fractional).
    const double fx = (anchor.x() - before.x()) * picture.width() / before.width();
    const double fy = (anchor.y() - before.y()) * picture.height() / before.height();
    // Where that point lies on the new display; the scroll puts it under the anchor.
    const double kx = double(after.display.width()) / picture.width();
    const double ky = double(after.display.height()) / picture.height();
    const int sx = int(std::lround(fx * kx - anchor.x()));
    const int sy = int(std::lround(fy * ky - anchor.y()));
    return QPoint(std::clamp(sx, 0, after.maxScroll.x()), std::clamp(sy, 0, after.maxScroll.y()));
}

SelectionEdges selectionFromPixels(QPoint a, QPoint b) {
    return SelectionEdges{std::min(a.x(), b.x()), std::min(a.y(), b.y()), std::max(a.x(), b.x()) + 1,
                          std::max(a.y(), b.y()) + 1};
}

}  // namespace engine

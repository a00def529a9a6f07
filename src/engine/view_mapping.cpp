#include "engine/view_mapping.h"

#include <algorithm>
#include <cmath>

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

QSize displaySize(int mode, QSize picture, QSize viewport) {
    if (picture.isEmpty() || viewport.isEmpty())
        return QSize();
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

ViewGeometry layoutView(int mode, QSize picture, QSize widget, int extent) {
    ViewGeometry g;
    g.viewport = widget;
    if (picture.isEmpty() || widget.isEmpty())
        return g;
    const int W = widget.width(), H = widget.height();
    extent = std::clamp(extent, 0, std::min(W, H) - 1);
    switch (mode) {
    case 3: {
        bool hs = picture.width() > W, vs = picture.height() > H;
        if (hs && !vs)
            vs = picture.height() > H - extent;
        if (vs && !hs)
            hs = picture.width() > W - extent;
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
    g.display = displaySize(mode, picture, g.viewport);
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

SelectionEdges selectionFromPixels(QPoint a, QPoint b) {
    return SelectionEdges{std::min(a.x(), b.x()), std::min(a.y(), b.y()), std::max(a.x(), b.x()) + 1,
                          std::max(a.y(), b.y()) + 1};
}

}  // namespace engine

#include "engine/view_mapping.h"

#include <QRect>
#include <algorithm>
#include <cmath>

namespace engine {

QRectF displayRect(int mode, QSize picture, QSize view, QPoint scroll) {
    if (picture.isEmpty() || view.isEmpty())
        return QRectF();
    const double pw = picture.width(), ph = picture.height();
    const double vw = view.width(), vh = view.height();
    double w = pw, h = ph;
    switch (mode) {
    case 1: {  // scale to fit, proportions kept, never enlarged past the view
        const double k = std::min(vw / pw, vh / ph);
        w = pw * k;
        h = ph * k;
        break;
    }
    case 2: w = vw; h = vh; break;
    case 4: w = vw; h = ph * vw / pw; break;
    case 5: h = vh; w = pw * vh / ph; break;
    default: break;  // 3: actual size
    }
    // Centred when smaller than the view, scrolled when larger.
    const double x = w <= vw ? (vw - w) / 2 : -double(scroll.x());
    const double y = h <= vh ? (vh - h) / 2 : -double(scroll.y());
    return QRectF(x, y, w, h);
}

QPoint viewToPicture(QPointF viewPos, const QRectF& display, QSize picture) {
    if (display.isEmpty() || picture.isEmpty())
        return QPoint();
    const double fx = (viewPos.x() - display.x()) * picture.width() / display.width();
    const double fy = (viewPos.y() - display.y()) * picture.height() / display.height();
    const int x = std::clamp(int(std::floor(fx)), 0, picture.width());
    const int y = std::clamp(int(std::floor(fy)), 0, picture.height());
    return QPoint(x, y);
}

QRectF pictureToView(const QRect& pixels, const QRectF& display, QSize picture) {
    if (picture.isEmpty())
        return QRectF();
    const double kx = display.width() / picture.width();
    const double ky = display.height() / picture.height();
    return QRectF(display.x() + pixels.left() * kx, display.y() + pixels.top() * ky,
                  pixels.width() * kx, pixels.height() * ky);
}

}  // namespace engine

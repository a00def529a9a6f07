#include "engine/drawing.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace engine::drawing {

namespace {

constexpr double kEps = 1e-9;

// A colour in the picture's own pixel format, written span by span.
class Ink {
public:
    Ink(QImage& image, QColor colour) : image_(image), bpp_(image.depth() / 8) {
        QImage one(1, 1, image.format());
        one.fill(colour);
        std::memcpy(px_, one.constScanLine(0), size_t(bpp_));
    }
    // Pixels x0..x1 (inclusive) of row y, clipped to the picture.
    void span(int y, int x0, int x1) {
        if (y < 0 || y >= image_.height())
            return;
        x0 = std::max(x0, 0);
        x1 = std::min(x1, image_.width() - 1);
        if (x0 > x1)
            return;
        uchar* line = image_.scanLine(y);
        for (int x = x0; x <= x1; ++x)
            std::memcpy(line + size_t(x) * size_t(bpp_), px_, size_t(bpp_));
    }
    void dot(int x, int y) { span(y, x, x); }

private:
    QImage& image_;
    int bpp_;
    uchar px_[4] = {};
};

bool ready(Picture& pic) {
    return forDrawing(pic) && pic.bits >= 16;
}

void bresenham(Ink& ink, QPoint a, QPoint b) {
    int x0 = a.x(), y0 = a.y();
    const int x1 = b.x(), y1 = b.y();
    const int dx = std::abs(x1 - x0), sx = x0 < x1 ? 1 : -1;
    const int dy = -std::abs(y1 - y0), sy = y0 < y1 ? 1 : -1;
    int err = dx + dy;
    for (;;) {
        ink.dot(x0, y0);
        if (x0 == x1 && y0 == y1)
            break;
        const int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x0 += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y0 += sy;
        }
    }
}

// Narrows [lo, hi] to the x where m <= a*x + b <= M.
void clip(double a, double b, double m, double M, double& lo, double& hi) {
    if (std::abs(a) < 1e-12) {
        if (b < m - kEps || b > M + kEps)
            hi = -std::numeric_limits<double>::infinity();
        return;
    }
    double x1 = (m - b) / a, x2 = (M - b) / a;
    if (x1 > x2)
        std::swap(x1, x2);
    lo = std::max(lo, x1);
    hi = std::min(hi, x2);
}

// The x range on the horizontal line at height y within distance r of the
// segment ab (a convex capsule, so the range is one interval).
bool capsuleRow(QPointF a, QPointF b, double r, double y, double& lo, double& hi) {
    lo = std::numeric_limits<double>::infinity();
    hi = -lo;
    bool any = false;
    for (QPointF c : {a, b}) {
        const double dy = y - c.y();
        const double s = r * r - dy * dy;
        if (s >= -kEps) {
            const double h = std::sqrt(std::max(0.0, s));
            lo = std::min(lo, c.x() - h);
            hi = std::max(hi, c.x() + h);
            any = true;
        }
    }
    const double dxs = b.x() - a.x(), dys = b.y() - a.y();
    const double len = std::hypot(dxs, dys);
    if (len > 0) {
        const double ux = dxs / len, uy = dys / len;
        double l = -std::numeric_limits<double>::infinity(), h = -l;
        clip(ux, (y - a.y()) * uy - a.x() * ux, 0, len, l, h);   // along the segment
        clip(-uy, (y - a.y()) * ux + a.x() * uy, -r, r, l, h);    // across it
        if (l <= h) {
            lo = std::min(lo, l);
            hi = std::max(hi, h);
            any = true;
        }
    }
    return any;
}

void capsule(Ink& ink, QPointF a, QPointF b, double r) {
    const int y0 = int(std::floor(std::min(a.y(), b.y()) - r)) - 1;
    const int y1 = int(std::ceil(std::max(a.y(), b.y()) + r)) + 1;
    for (int y = y0; y <= y1; ++y) {
        double lo, hi;
        if (!capsuleRow(a, b, r, y + 0.5, lo, hi))
            continue;
        const int x0 = int(std::ceil(lo - 0.5 - kEps));
        const int x1 = int(std::floor(hi - 0.5 + kEps));
        ink.span(y, x0, x1);
    }
}

QPointF strokeCentre(QPoint p, int width) {
    return width % 2 ? QPointF(p.x() + 0.5, p.y() + 0.5) : QPointF(p);
}

void line(Ink& ink, QPoint a, QPoint b, int width) {
    if (width <= 1)
        bresenham(ink, a, b);
    else
        capsule(ink, strokeCentre(a, width), strokeCentre(b, width), width / 2.0);
}

}  // namespace

bool forDrawing(Picture& pic) {
    if (pic.isNull())
        return false;
    if (pic.bits >= 16)
        return true;
    Picture converted = makePicture(pic.image, 24);
    if (converted.isNull())
        return false;
    pic = std::move(converted);
    return true;
}

void plot(Picture& pic, QPoint p, QColor colour) {
    if (!ready(pic))
        return;
    Ink ink(pic.image, colour);
    ink.dot(p.x(), p.y());
}

bool drawLine(Picture& pic, QPoint a, QPoint b, QColor colour, int width) {
    if (!ready(pic))
        return false;
    Ink ink(pic.image, colour);
    line(ink, a, b, width);
    return true;
}

bool drawPolyline(Picture& pic, const QList<QPoint>& points, QColor colour, int width) {
    if (points.isEmpty() || !ready(pic))
        return false;
    Ink ink(pic.image, colour);
    if (points.size() == 1)
        line(ink, points[0], points[0], width);
    for (qsizetype i = 1; i < points.size(); ++i)
        line(ink, points[i - 1], points[i], width);
    return true;
}

bool drawRect(Picture& pic, QPoint a, QPoint b, QColor colour, int width, bool filled) {
    if (!ready(pic))
        return false;
    Ink ink(pic.image, colour);
    const int x0 = std::min(a.x(), b.x()), x1 = std::max(a.x(), b.x());
    const int y0 = std::min(a.y(), b.y()), y1 = std::max(a.y(), b.y());
    if (filled) {
        for (int y = std::max(y0, 0); y <= std::min(y1, pic.height() - 1); ++y)
            ink.span(y, x0, x1);
        return true;
    }
    const QPoint tl(x0, y0), tr(x1, y0), br(x1, y1), bl(x0, y1);
    line(ink, tl, tr, width);
    line(ink, tr, br, width);
    line(ink, br, bl, width);
    line(ink, bl, tl, width);
    return true;
}

bool drawEllipse(Picture& pic, QPoint a, QPoint b, QColor colour, int width, bool filled) {
    if (!ready(pic))
        return false;
    Ink ink(pic.image, colour);
    const int x0 = std::min(a.x(), b.x()), x1 = std::max(a.x(), b.x());
    const int y0 = std::min(a.y(), b.y()), y1 = std::max(a.y(), b.y());
    const double cx = (x0 + x1 + 1) / 2.0, cy = (y0 + y1 + 1) / 2.0;
    const double rx = (x1 - x0 + 1) / 2.0, ry = (y1 - y0 + 1) / 2.0;
    const double irx = rx - std::max(width, 1), iry = ry - std::max(width, 1);
    const bool ring = !filled && irx > 0 && iry > 0;
    for (int y = std::max(y0, 0); y <= std::min(y1, pic.height() - 1); ++y) {
        const double yc = y + 0.5;
        const double dy = (yc - cy) / ry;
        if (std::abs(dy) > 1 + kEps)
            continue;
        const double hx = rx * std::sqrt(std::max(0.0, 1 - dy * dy));
        const int ox0 = int(std::ceil(cx - hx - 0.5 - kEps)), ox1 = int(std::floor(cx + hx - 0.5 + kEps));
        const double di = (yc - cy) / iry;
        if (!ring || std::abs(di) >= 1) {
            ink.span(y, ox0, ox1);
            continue;
        }
        // Leave out the pixels strictly inside the inner ellipse.
        const double hi = irx * std::sqrt(1 - di * di);
        const int ix0 = int(std::floor(cx - hi - 0.5)) + 1, ix1 = int(std::ceil(cx + hi - 0.5)) - 1;
        ink.span(y, ox0, std::min(ox1, ix0 - 1));
        ink.span(y, std::max(ox0, ix1 + 1), ox1);
    }
    return true;
}

bool placeStamp(Picture& pic, const Picture& stamp, QPoint centre, std::optional<QColor> transparent) {
    if (stamp.isNull() || !ready(pic))
        return false;
    const QImage source = stamp.image.convertToFormat(QImage::Format_RGB32);
    const QImage inks = stamp.image.convertToFormat(pic.image.format());
    const int bpp = pic.image.depth() / 8;
    const QPoint topLeft = centre - QPoint(stamp.width() / 2, stamp.height() / 2);
    const QRgb clear = transparent ? (transparent->rgb() | 0xff000000u) : 0;
    for (int sy = 0; sy < stamp.height(); ++sy) {
        const int y = topLeft.y() + sy;
        if (y < 0 || y >= pic.height())
            continue;
        const QRgb* from = reinterpret_cast<const QRgb*>(source.constScanLine(sy));
        const uchar* ink = inks.constScanLine(sy);
        uchar* to = pic.image.scanLine(y);
        for (int sx = 0; sx < stamp.width(); ++sx) {
            const int x = topLeft.x() + sx;
            if (x < 0 || x >= pic.width())
                continue;
            if (transparent && (from[sx] | 0xff000000u) == clear)
                continue;
            std::memcpy(to + size_t(x) * size_t(bpp), ink + size_t(sx) * size_t(bpp), size_t(bpp));
        }
    }
    return true;
}

}  // namespace engine::drawing

// Cutting and pasting: trim, region trim and paste.
#include "engine/ops/ops.h"
#include "engine/ops/pixels.h"
#include "engine/ops/quantize.h"

#include <cmath>
#include <cstring>

namespace engine::ops {

using namespace detail;

bool trim(Picture& pic, int left, int top, int right, int bottom) {
    if (!wellFormed(pic))
        return false;
    const qint64 l = std::max<qint64>(left, 0), t = std::max<qint64>(top, 0);
    const qint64 r = std::min<qint64>(right, pic.width()), b = std::min<qint64>(bottom, pic.height());
    if (r <= l || b <= t)
        return false;
    if (l == 0 && t == 0 && r == pic.width() && b == pic.height())
        return true;
    QImage out = pic.image.copy(int(l), int(t), int(r - l), int(b - t));
    if (out.isNull())
        return false;
    pic.image = out;
    return true;
}

bool regionTrim(Picture& pic, const QPolygon& polygon) {
    if (polygon.isEmpty())
        return false;
    int minX = polygon[0].x(), maxX = minX, minY = polygon[0].y(), maxY = minY;
    for (const QPoint& p : polygon) {
        minX = std::min(minX, p.x());
        maxX = std::max(maxX, p.x());
        minY = std::min(minY, p.y());
        maxY = std::max(maxY, p.y());
    }
    // The right and bottom coordinates belong to the kept area.
    const qint64 right = qint64(maxX) + 1, bottom = qint64(maxY) + 1;
    return trim(pic, minX, minY, int(std::min<qint64>(right, INT32_MAX)), int(std::min<qint64>(bottom, INT32_MAX)));
}

namespace {

// The source as palette indices of the destination's table: unchanged when it
// already uses that very table, otherwise each colour's nearest entry.
QImage indicesFor(const QImage& src, const QList<QRgb>& table) {
    if (src.format() == QImage::Format_Indexed8 && src.colorTable() == table)
        return src;
    const QImage rgb = toRgb32(src);
    if (rgb.isNull())
        return rgb;
    QImage out = allocImage(rgb.width(), rgb.height(), QImage::Format_Indexed8);
    if (out.isNull())
        return out;
    out.setColorTable(table);
    const InverseColourMap map(table);
    for (int y = 0; y < rgb.height(); ++y) {
        const auto* s = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        uchar* d = out.scanLine(y);
        for (int x = 0; x < rgb.width(); ++x)
            d[x] = uchar(map.nearest(s[x]));
    }
    return out;
}

// Half-to-even rounding of a landing coordinate, kept inside a safe range.
qint64 landing(double centre, double pos) {
    const double v = std::nearbyint(centre - pos);
    return qint64(std::clamp(v, -4.0e9, 4.0e9));
}

}  // namespace

bool pasteImage(Picture& dst, const Picture& src, double posX, double posY) {
    if (!wellFormed(dst) || !wellFormed(src) || !std::isfinite(posX) || !std::isfinite(posY))
        return false;
    const qint64 x0 = landing(dst.width() / 2.0 - 1.0, posX);
    const qint64 y0 = landing(dst.height() / 2.0 - 1.0, posY);
    // The part of the source that lands inside the destination.
    const qint64 sx = std::max<qint64>(0, -x0), sy = std::max<qint64>(0, -y0);
    const qint64 dx = std::max<qint64>(0, x0), dy = std::max<qint64>(0, y0);
    const qint64 w = std::min<qint64>(src.width() - sx, dst.width() - dx);
    const qint64 h = std::min<qint64>(src.height() - sy, dst.height() - dy);
    if (w <= 0 || h <= 0)
        return true;  // lands wholly outside: nothing to draw

    QImage from;
    const bool palette = isPaletteDepth(dst.bits);
    if (palette) {
        from = indicesFor(src.image.copy(int(sx), int(sy), int(w), int(h)), dst.image.colorTable());
    } else {
        const QImage part = src.image.copy(int(sx), int(sy), int(w), int(h));
        from = part.format() == dst.image.format() ? part : part.convertToFormat(dst.image.format());
    }
    if (from.isNull())
        return false;

    QImage out = ownPixels(dst.image);
    if (out.isNull())
        return false;
    if (out.format() == QImage::Format_Mono) {
        for (qint64 y = 0; y < h; ++y) {
            const uchar* s = from.constScanLine(int(y));
            uchar* d = out.scanLine(int(dy + y));
            for (qint64 x = 0; x < w; ++x) {
                const qint64 bx = dx + x;
                const uchar mask = uchar(0x80 >> (bx & 7));
                if (s[x] & 1)
                    d[bx >> 3] |= mask;
                else
                    d[bx >> 3] &= uchar(~mask);
            }
        }
    } else {
        const int bpp = out.depth() / 8;
        for (qint64 y = 0; y < h; ++y)
            std::memcpy(out.scanLine(int(dy + y)) + dx * bpp, from.constScanLine(int(y)), size_t(w * bpp));
    }
    dst.image = out;
    return true;
}

}  // namespace engine::ops

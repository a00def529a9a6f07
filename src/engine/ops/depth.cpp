// Colour depth conversions. Every conversion works from a 32-bit copy of the
// picture, so any source depth reaches any target depth the same way.
#include "engine/ops/ops.h"
#include "engine/ops/pixels.h"
#include "engine/ops/quantize.h"

#include <cstring>

namespace engine::ops {

using namespace detail;

namespace {

// Black and white by luminance: Y >= threshold is white. Our own loop, since
// general-purpose mono conversions dither or pick their own cut-off.
QImage toMono(const QImage& rgb32, int threshold) {
    QImage out = allocImage(rgb32.width(), rgb32.height(), QImage::Format_Mono);
    if (out.isNull())
        return out;
    out.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    const int w = rgb32.width();
    uchar* const base = out.bits();
    const qsizetype bpl = out.bytesPerLine();
    parallelFor(rgb32.height(), 64, [&](int y0, int y1) {
        for (int y = y0; y < y1; ++y) {
            const auto* src = reinterpret_cast<const QRgb*>(rgb32.constScanLine(y));
            uchar* dst = base + y * bpl;
            std::memset(dst, 0, size_t(bpl));
            for (int x = 0; x < w; ++x) {
                const QRgb c = src[x];
                if (luminance(qRed(c), qGreen(c), qBlue(c)) >= threshold)
                    dst[x >> 3] |= uchar(0x80 >> (x & 7));
            }
        }
    });
    return out;
}

// Grey by luminance onto a ramp of levels entries (16 or 256): the nearest level.
QImage toGrey(const QImage& rgb32, int levels) {
    QImage out = allocImage(rgb32.width(), rgb32.height(), QImage::Format_Indexed8);
    if (out.isNull())
        return out;
    out.setColorTable(grayTable(levels));
    uchar lut[256];
    for (int v = 0; v < 256; ++v)
        lut[v] = uchar((v * (levels - 1) + 127) / 255);
    const int w = rgb32.width();
    uchar* const base = out.bits();
    const qsizetype bpl = out.bytesPerLine();
    parallelFor(rgb32.height(), 64, [&](int y0, int y1) {
        for (int y = y0; y < y1; ++y) {
            const auto* src = reinterpret_cast<const QRgb*>(rgb32.constScanLine(y));
            uchar* dst = base + y * bpl;
            for (int x = 0; x < w; ++x)
                dst[x] = lut[luminance(qRed(src[x]), qGreen(src[x]), qBlue(src[x]))];
        }
    });
    return out;
}

// A palette picture whose table already fits keeps its indices and table as
// they are (no reordering), provided every index names an entry.
bool tableAlreadyFits(const Picture& pic, int maxColors) {
    if (pic.image.format() != QImage::Format_Indexed8 || pic.image.colorCount() > maxColors)
        return false;
    const int n = pic.image.colorCount();
    for (int y = 0; y < pic.height(); ++y) {
        const uchar* row = pic.image.constScanLine(y);
        for (int x = 0; x < pic.width(); ++x)
            if (row[x] >= n)
                return false;
    }
    return true;
}

}  // namespace

bool convertDepth(Picture& pic, int code, bool dither, int threshold) {
    if (!wellFormed(pic))
        return false;
    if (code != 1 && code != 4 && code != 8 && code != 40 && code != 80 && code != 16 && code != 24 && code != 32)
        return false;
    Picture out;
    if ((code == 16 || code == 24 || code == 32) && pic.bits == code)
        return true;  // already there: nothing to change
    if ((code == 4 || code == 8) && tableAlreadyFits(pic, code == 4 ? 16 : 256)) {
        out.image = pic.image;
        out.bits = code;
        pic = out;
        return true;
    }
    if (code == 4 || code == 8) {
        // Read in place, row by row: no 32-bit copy of the whole picture.
        out.image = quantize(pic.image, code == 4 ? 16 : 256, dither);
        out.bits = code;
        if (out.image.isNull())
            return false;
        copyMetrics(out.image, pic.image);
        pic = out;
        return true;
    }
    const QImage rgb = toRgb32(pic.image);
    if (rgb.isNull())
        return false;
    switch (code) {
    case 1:
        out.image = toMono(rgb, threshold);
        out.bits = 1;
        break;
    case 40:
    case 80:
        out.image = toGrey(rgb, code == 40 ? 16 : 256);
        out.bits = code / 10;
        break;
    default:
        out = fromRgb32(rgb, code, pic.image);
        break;
    }
    if (out.image.isNull())
        return false;
    copyMetrics(out.image, pic.image);
    pic = out;
    return true;
}

bool convertTo24(Picture& pic) {
    return convertDepth(pic, 24, false, 128);
}

}  // namespace engine::ops

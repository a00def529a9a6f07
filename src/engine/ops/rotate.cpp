// Turning and mirroring. Quarter turns and mirrors move pixels exactly at
// every depth; any other angle resamples a 32-bit copy.
#include "engine/ops/ops.h"
#include "engine/ops/pixels.h"

#include <cmath>
#include <cstring>

namespace engine::ops {

using namespace detail;

namespace {

constexpr int kTile = 64;

// A quarter turn of a block of pixels BPP bytes wide. The destination is
// sh wide and sw high. Counter-clockwise: dst(x, y) = src(sw - 1 - y, x);
// clockwise: dst(x, y) = src(y, sh - 1 - x). Works tile by tile so that both
// sides stay in the cache, the tile rows shared out over the cores.
template <int BPP>
void turnPixels(const uchar* src, qsizetype sbpl, int sw, int sh, uchar* dst, qsizetype dbpl, bool ccw) {
    const int dw = sh, dh = sw;
    const int tileRows = (dh + kTile - 1) / kTile;
    parallelFor(tileRows, 4, [&](int t0, int t1) {
        for (int ty = t0; ty < t1; ++ty) {
            const int y0 = ty * kTile, y1 = std::min(dh, y0 + kTile);
            for (int x0 = 0; x0 < dw; x0 += kTile) {
                const int x1 = std::min(dw, x0 + kTile);
                for (int y = y0; y < y1; ++y) {
                    uchar* d = dst + y * dbpl + qsizetype(x0) * BPP;
                    if (ccw) {
                        const uchar* s = src + qsizetype(x0) * sbpl + qsizetype(sw - 1 - y) * BPP;
                        for (int x = x0; x < x1; ++x, d += BPP, s += sbpl)
                            std::memcpy(d, s, BPP);
                    } else {
                        const uchar* s = src + qsizetype(sh - 1 - x0) * sbpl + qsizetype(y) * BPP;
                        for (int x = x0; x < x1; ++x, d += BPP, s -= sbpl)
                            std::memcpy(d, s, BPP);
                    }
                }
            }
        }
    });
}

// 1-bit pictures: bit by bit, tile by tile, without unpacking (a 1-bit
// picture at the size limit would need gigabytes as bytes).
QImage turnMono(const QImage& img, bool ccw) {
    const int w = img.width(), h = img.height();
    QImage out = allocImage(h, w, QImage::Format_Mono);
    if (out.isNull())
        return out;
    out.setColorTable(img.colorTable());
    uchar* const base = out.bits();
    const qsizetype bpl = out.bytesPerLine();
    const uchar* const sbase = img.constBits();
    const qsizetype sbpl = img.bytesPerLine();
    const int dw = h, dh = w;
    const int tileRows = (dh + kTile - 1) / kTile;
    parallelFor(tileRows, 4, [&](int t0, int t1) {
        for (int ty = t0; ty < t1; ++ty) {
            const int y0 = ty * kTile, y1 = std::min(dh, y0 + kTile);
            for (int y = y0; y < y1; ++y)
                std::memset(base + y * bpl, 0, size_t(bpl));
            for (int x0 = 0; x0 < dw; x0 += kTile) {
                const int x1 = std::min(dw, x0 + kTile);
                for (int y = y0; y < y1; ++y) {
                    uchar* d = base + y * bpl;
                    for (int x = x0; x < x1; ++x) {
                        const int sx = ccw ? w - 1 - y : y;
                        const int sy = ccw ? x : h - 1 - x;
                        if ((sbase[sy * sbpl + (sx >> 3)] >> (7 - (sx & 7))) & 1)
                            d[x >> 3] |= uchar(0x80 >> (x & 7));
                    }
                }
            }
        }
    });
    return out;
}

template <int BPP>
void reverseRow(const uchar* s, uchar* d, int w) {
    s += qsizetype(w - 1) * BPP;
    for (int x = 0; x < w; ++x, d += BPP, s -= BPP)
        std::memcpy(d, s, BPP);
}

// Mirrors left-right and/or top-bottom (both: a half turn), rows shared out
// over the cores.
QImage mirror(const QImage& img, bool leftRight, bool topBottom) {
    QImage out = allocImage(img.width(), img.height(), img.format());
    if (out.isNull())
        return out;
    if (img.colorCount() > 0)
        out.setColorTable(img.colorTable());
    const int w = img.width(), h = img.height();
    const int depth = img.depth();
    uchar* const base = out.bits();
    const qsizetype bpl = out.bytesPerLine();
    const qsizetype rowBytes = std::min(bpl, img.bytesPerLine());
    parallelFor(h, 64, [&](int y0, int y1) {
        for (int y = y0; y < y1; ++y) {
            const uchar* s = img.constScanLine(topBottom ? h - 1 - y : y);
            uchar* d = base + y * bpl;
            if (!leftRight) {
                std::memcpy(d, s, size_t(rowBytes));
                continue;
            }
            switch (depth) {
            case 1:
                std::memset(d, 0, size_t(bpl));
                for (int x = 0; x < w; ++x) {
                    const int sx = w - 1 - x;
                    if ((s[sx >> 3] >> (7 - (sx & 7))) & 1)
                        d[x >> 3] |= uchar(0x80 >> (x & 7));
                }
                break;
            case 8: reverseRow<1>(s, d, w); break;
            case 16: reverseRow<2>(s, d, w); break;
            case 24: reverseRow<3>(s, d, w); break;
            default: reverseRow<4>(s, d, w); break;
            }
        }
    });
    return out;
}

QImage quarterTurn(const QImage& img, bool ccw) {
    if (img.format() == QImage::Format_Mono)
        return turnMono(img, ccw);
    QImage out = allocImage(img.height(), img.width(), img.format());
    if (out.isNull())
        return out;
    if (img.colorCount() > 0)
        out.setColorTable(img.colorTable());
    const uchar* s = img.constBits();
    uchar* d = out.bits();
    const qsizetype sbpl = img.bytesPerLine(), dbpl = out.bytesPerLine();
    switch (img.depth()) {
    case 8: turnPixels<1>(s, sbpl, img.width(), img.height(), d, dbpl, ccw); break;
    case 16: turnPixels<2>(s, sbpl, img.width(), img.height(), d, dbpl, ccw); break;
    case 24: turnPixels<3>(s, sbpl, img.width(), img.height(), d, dbpl, ccw); break;
    case 32: turnPixels<4>(s, sbpl, img.width(), img.height(), d, dbpl, ccw); break;
    default: return QImage();
    }
    return out;
}

// a and b mixed, f / 256 of b (f in 0..256): two channels per multiply.
inline QRgb blend(QRgb a, QRgb b, uint f) {
    const uint fa = 256 - f;
    uint rb = (a & 0xFF00FFu) * fa + (b & 0xFF00FFu) * f;
    rb = (rb >> 8) & 0xFF00FFu;
    uint ag = ((a >> 8) & 0xFF00FFu) * fa + ((b >> 8) & 0xFF00FFu) * f;
    ag &= 0xFF00FF00u;
    return ag | rb;
}

// Any angle (hundredths of a degree, counter-clockwise): the result is the
// bounding box of the turned picture, corners filled with the background.
// Each output row walks the source in fixed point (32 fraction bits, so the
// walk drifts by far less than a pixel even across 65,535 columns).
QImage freeTurn(const QImage& rgb, int angle, bool smooth, QRgb background) {
    const double th = double(angle) / 100.0 * M_PI / 180.0;
    const double c = std::cos(th), s = std::sin(th);
    const int w = rgb.width(), h = rgb.height();
    const double fw = std::abs(w * c) + std::abs(h * s), fh = std::abs(w * s) + std::abs(h * c);
    const qint64 nw = std::max<qint64>(1, qint64(std::ceil(fw - 1e-6)));
    const qint64 nh = std::max<qint64>(1, qint64(std::ceil(fh - 1e-6)));
    QImage out = allocImage(nw, nh, QImage::Format_RGB32);
    if (out.isNull())
        return out;
    uchar* const base = out.bits();
    const qsizetype bpl = out.bytesPerLine();
    const uchar* const sbase = rgb.constBits();
    const qsizetype sbpl = rgb.bytesPerLine();
    auto at = [&](qint64 x, qint64 y) -> QRgb {
        if (x < 0 || y < 0 || x >= w || y >= h)
            return background;
        return reinterpret_cast<const QRgb*>(sbase + y * sbpl)[x] | 0xFF000000u;
    };
    constexpr double kOne = 4294967296.0;  // 1 << 32
    const qint64 stepX = qint64(std::llround(c * kOne)), stepY = qint64(std::llround(s * kOne));
    parallelFor(int(nh), 16, [&](int y0, int y1) {
        for (int y = y0; y < y1; ++y) {
            auto* d = reinterpret_cast<QRgb*>(base + y * bpl);
            const double v = y + 0.5 - nh / 2.0, u = 0.5 - nw / 2.0;
            // Source position of the first pixel's centre; nearest sampling
            // rounds, so it starts half a pixel further on.
            const double bias = smooth ? 0.0 : 0.5;
            qint64 fx = qint64(std::llround((u * c - v * s + w / 2.0 - 0.5 + bias) * kOne));
            qint64 fy = qint64(std::llround((u * s + v * c + h / 2.0 - 0.5 + bias) * kOne));
            for (qint64 x = 0; x < nw; ++x, fx += stepX, fy += stepY) {
                const qint64 ix = fx >> 32, iy = fy >> 32;  // floor
                if (!smooth) {
                    d[x] = at(ix, iy);
                    continue;
                }
                const uint ax = uint((fx >> 24) & 255), ay = uint((fy >> 24) & 255);
                if (ix >= 0 && iy >= 0 && ix + 1 < w && iy + 1 < h) {
                    const auto* r0 = reinterpret_cast<const QRgb*>(sbase + iy * sbpl) + ix;
                    const auto* r1 = reinterpret_cast<const QRgb*>(sbase + (iy + 1) * sbpl) + ix;
                    d[x] = blend(blend(r0[0], r0[1], ax), blend(r1[0], r1[1], ax), ay);
                } else if (ix < -1 || iy < -1 || ix >= w || iy >= h) {
                    d[x] = background;
                } else {
                    d[x] = blend(blend(at(ix, iy), at(ix + 1, iy), ax), blend(at(ix, iy + 1), at(ix + 1, iy + 1), ax), ay);
                }
            }
        }
    });
    return out;
}

}  // namespace

bool rotate(Picture& pic, int angle, bool mirrorLeftRight, bool mirrorTopBottom, bool smooth, QColor background) {
    if (!wellFormed(pic))
        return false;
    const int a = int(((qint64(angle) % 36000) + 36000) % 36000);
    // Mirrors first, then the turn.
    QImage img = pic.image;
    if (mirrorLeftRight || mirrorTopBottom) {
        img = mirror(img, mirrorLeftRight, mirrorTopBottom);
        if (img.isNull())
            return false;
    }
    Picture out;
    out.bits = pic.bits;
    if (a % 9000 == 0) {
        switch (a / 9000) {
        case 0: out.image = img; break;
        case 1: out.image = quarterTurn(img, true); break;
        case 2: out.image = mirror(img, true, true); break;
        default: out.image = quarterTurn(img, false); break;
        }
    } else {
        // Resampled: palette pictures come out at 24 bits, direct ones keep their depth.
        const QRgb bg = qRgb(background.red(), background.green(), background.blue());
        const QImage rgb = toRgb32(img);
        if (rgb.isNull())
            return false;
        const QImage turned = freeTurn(rgb, a, smooth, bg);
        out = fromRgb32(turned, isPaletteDepth(pic.bits) ? 24 : pic.bits, pic.image);
    }
    img = QImage();  // so that setting the metrics below never copies the pixels
    if (out.image.isNull())
        return false;
    copyMetrics(out.image, pic.image);
    pic = out;
    return true;
}

}  // namespace engine::ops

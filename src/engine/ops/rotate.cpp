// Turning and mirroring. Quarter turns and mirrors move pixels exactly at
// every depth; any other angle resamples a 32-bit copy.
#include "engine/ops/ops.h"
#include "engine/ops/pixels.h"

#include <bit>
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

inline uint32_t load32(const uchar* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

inline void store32(uchar* p, uint32_t v) { std::memcpy(p, &v, 4); }

// The quarter turn of 24-bit pictures, the usual depth of photos. A pixel is
// moved with one 4-byte load and one 4-byte store: the store's spare byte
// lands on the next pixel of the same row, written right after it, and the
// last pixel of each row, which has no next pixel of its own, is copied
// byte-exactly. Loads never reach outside the picture: counter-clockwise they
// read the pixel and the byte after it, clockwise the byte before it and the
// pixel, and the single pixel where that byte would lie outside the picture
// (its last, or its first) always lands in a row's last column. The source
// rows of the next tile are fetched ahead: the hardware does not guess a walk
// down the columns of a picture, and waiting for each row costs more than the
// copying. Bands of destination rows are shared out over the cores. Tiles
// much larger than 32 x 64 start to push each other out of the caches, most
// when the source lies in large pages (as an edited picture does).
constexpr int kBand24 = 64;  // destination rows per band (source columns)
constexpr int kSpan24 = 32;  // destination columns per tile (source rows)

// One source pixel as the low three bytes of a 32-bit value.
template <bool CCW>
inline uint32_t pixel24(const uchar* p) {
    if constexpr (CCW)
        return load32(p);
    else
        return load32(p - 1) >> 8;
}

template <bool CCW>
void turn24(const uchar* const src, const qsizetype sbpl, const int sw, const int sh, uchar* const dst,
            const qsizetype dbpl) {
    const int dw = sh, dh = sw;
    // Destination pixel (x, y) comes from source row x (counter-clockwise) or
    // sh - 1 - x (clockwise), walked with this step, at byte column col(y).
    const qsizetype step = CCW ? sbpl : -sbpl;
    const uchar* const first = CCW ? src : src + qsizetype(sh - 1) * sbpl;
    auto col = [sw](int y) { return qsizetype(CCW ? sw - 1 - y : y) * 3; };
    const int bands = (dh + kBand24 - 1) / kBand24;
    parallelFor(bands, 2, [=](int b0, int b1) {
        for (int by = b0; by < b1; ++by) {
            const int y0 = by * kBand24, y1 = std::min(dh, y0 + kBand24);
            // The source columns of these destination rows, as a byte span.
            const qsizetype c0 = std::min(col(y0), col(y1 - 1)), bytes = qsizetype(y1 - y0) * 3;
            for (int x0 = 0; x0 < dw; x0 += kSpan24) {
                const int x1 = std::min(dw, x0 + kSpan24);
                for (int x = x1, n = std::min(dw, x1 + kSpan24); x < n; ++x) {
                    const uchar* row = first + x * step + c0;
                    for (qsizetype o = 0; o < bytes; o += 64)
                        __builtin_prefetch(row + o);
                    __builtin_prefetch(row + bytes - 1);
                }
                const int xe = x1 == dw ? x1 - 1 : x1;  // the row's last pixel is copied apart
                const uchar* const s0 = first + x0 * step;
                for (int y = y0; y < y1; ++y) {
                    uchar* d = dst + y * dbpl + qsizetype(x0) * 3;
                    const uchar* s = s0 + col(y);
                    for (int x = x0; x < xe; ++x, d += 3, s += step)
                        store32(d, pixel24<CCW>(s));
                    if (xe != x1)
                        std::memcpy(d, s, 3);
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

// Rows are reversed in the direction the source is read in: one stream
// running on from row to row (forwards for a mirror, backwards for a half
// turn, which takes the rows from the bottom up) is what the hardware fetches
// ahead best; restarting it at every row costs about half as much again.
template <int BPP>
void reverseRow(const uchar* s, uchar* d, int w, bool readForwards) {
    if (readForwards) {
        d += qsizetype(w - 1) * BPP;
        for (int x = 0; x < w; ++x, s += BPP, d -= BPP)
            std::memcpy(d, s, BPP);
    } else {
        s += qsizetype(w - 1) * BPP;
        for (int x = 0; x < w; ++x, d += BPP, s -= BPP)
            std::memcpy(d, s, BPP);
    }
}

// Four 24-bit pixels (12 bytes) in the opposite order, taken apart and put
// back together in 64-bit registers.
inline void reverse4x24(const uchar* s, uchar* d) {
    uint64_t lo;
    uint32_t hi;
    std::memcpy(&lo, s, 8);
    std::memcpy(&hi, s + 8, 4);
    const uint64_t p0 = lo & 0xFFFFFF, p1 = (lo >> 24) & 0xFFFFFF;
    const uint64_t p2 = (lo >> 48) | (uint64_t(hi & 0xFF) << 16), p3 = hi >> 8;
    const uint64_t outLo = p3 | (p2 << 24) | (p1 << 48);
    const uint32_t outHi = uint32_t(p1 >> 16) | uint32_t(p0 << 8);
    std::memcpy(d, &outLo, 8);
    std::memcpy(d + 8, &outHi, 4);
}

void reverseRow24(const uchar* s, uchar* d, int w, bool readForwards) {
    if constexpr (std::endian::native != std::endian::little) {
        reverseRow<3>(s, d, w, readForwards);
        return;
    }
    const int blocks = w / 4, rest = w % 4;
    const qsizetype last = qsizetype(w) * 3;  // one past the row's last byte
    if (readForwards) {
        // Source pixels 4i .. 4i+3 land at w-4-4i .. w-1-4i.
        for (int i = 0; i < blocks; ++i)
            reverse4x24(s + qsizetype(i) * 12, d + last - 12 - qsizetype(i) * 12);
        for (int x = w - rest; x < w; ++x)
            std::memcpy(d + last - 3 - qsizetype(x) * 3, s + qsizetype(x) * 3, 3);
    } else {
        for (int i = 0; i < blocks; ++i)
            reverse4x24(s + last - 12 - qsizetype(i) * 12, d + qsizetype(i) * 12);
        for (int x = w - rest; x < w; ++x)
            std::memcpy(d + qsizetype(x) * 3, s + last - 3 - qsizetype(x) * 3, 3);
    }
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
            case 8: reverseRow<1>(s, d, w, !topBottom); break;
            case 16: reverseRow<2>(s, d, w, !topBottom); break;
            case 24: reverseRow24(s, d, w, !topBottom); break;
            default: reverseRow<4>(s, d, w, !topBottom); break;
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
    case 24:
        if constexpr (std::endian::native == std::endian::little)
            ccw ? turn24<true>(s, sbpl, img.width(), img.height(), d, dbpl)
                : turn24<false>(s, sbpl, img.width(), img.height(), d, dbpl);
        else
            turnPixels<3>(s, sbpl, img.width(), img.height(), d, dbpl, ccw);
        break;
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

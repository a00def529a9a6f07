// Resizing: area averaging along an axis that shrinks, bilinear along an axis
// that grows, done as two separable passes per output row.
#include "engine/ops/ops.h"
#include "engine/ops/pixels.h"
#include "engine/ops/quantize.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace engine::ops {

using namespace detail;

namespace {

constexpr int kWeightBits = 14;
constexpr int kOne = 1 << kWeightBits;

// For each output position the source positions it takes from, with weights
// summing to exactly kOne (so a flat area stays exactly flat).
struct Taps {
    std::vector<int> start;   // first tap of output i: taps[start[i] .. start[i+1])
    std::vector<int> index;
    std::vector<int> weight;
};

Taps makeTaps(int src, int dst) {
    Taps t;
    t.start.reserve(size_t(dst) + 1);
    const double scale = double(src) / double(dst);
    for (int i = 0; i < dst; ++i) {
        t.start.push_back(int(t.index.size()));
        std::vector<std::pair<int, double>> w;
        if (dst < src) {
            // The output pixel covers [i*scale, (i+1)*scale) of the source.
            const double a = i * scale, b = std::min(double(src), (i + 1) * scale);
            for (int j = int(std::floor(a)); j < b && j < src; ++j) {
                const double overlap = std::min(double(j + 1), b) - std::max(double(j), a);
                if (overlap > 1e-9)
                    w.emplace_back(j, overlap / scale);
            }
        } else if (dst > src) {
            const double sx = std::clamp((i + 0.5) * scale - 0.5, 0.0, double(src - 1));
            const int j0 = int(std::floor(sx));
            const double f = sx - j0;
            w.emplace_back(j0, 1.0 - f);
            if (f > 1e-9 && j0 + 1 < src)
                w.emplace_back(j0 + 1, f);
        } else {
            w.emplace_back(i, 1.0);
        }
        int sum = 0, largest = 0;
        const int first = int(t.index.size());
        for (auto [j, wt] : w) {
            const int q = int(std::lround(wt * kOne));
            t.index.push_back(j);
            t.weight.push_back(q);
            sum += q;
            if (q > t.weight[size_t(first + largest)])
                largest = int(t.index.size()) - 1 - first;
        }
        t.weight[size_t(first + largest)] += kOne - sum;
    }
    t.start.push_back(int(t.index.size()));
    return t;
}

// Resamples between two images whose pixels are BPP bytes with blue, green,
// red in bytes 0..2 (Format_RGB32 and Format_BGR888 both are).
template <int BPP>
void resample(const QImage& src, QImage& dst) {
    const int sw = src.width(), dw = dst.width(), dh = dst.height();
    const Taps tx = makeTaps(sw, dw), ty = makeTaps(src.height(), dh);
    uchar* const base = dst.bits();
    const qsizetype bpl = dst.bytesPerLine();
    parallelFor(dh, 8, [&](int y0, int y1) {
        std::vector<uint32_t> acc(size_t(sw) * 3);
        for (int y = y0; y < y1; ++y) {
            // Vertical: a weighted sum of source rows, kept in 8.8 fixed point.
            std::fill(acc.begin(), acc.end(), 0u);
            for (int k = ty.start[size_t(y)]; k < ty.start[size_t(y) + 1]; ++k) {
                const uchar* s = src.constScanLine(ty.index[size_t(k)]);
                const uint32_t wv = uint32_t(ty.weight[size_t(k)]);
                for (int x = 0; x < sw; ++x, s += BPP) {
                    acc[size_t(x) * 3] += s[0] * wv;
                    acc[size_t(x) * 3 + 1] += s[1] * wv;
                    acc[size_t(x) * 3 + 2] += s[2] * wv;
                }
            }
            for (uint32_t& v : acc)
                v = (v + (1u << (kWeightBits - 9))) >> (kWeightBits - 8);
            // Horizontal.
            uchar* d = base + y * bpl;
            for (int x = 0; x < dw; ++x, d += BPP) {
                uint32_t b = 0, g = 0, r = 0;
                for (int k = tx.start[size_t(x)]; k < tx.start[size_t(x) + 1]; ++k) {
                    const uint32_t wh = uint32_t(tx.weight[size_t(k)]);
                    const size_t j = size_t(tx.index[size_t(k)]) * 3;
                    b += acc[j] * wh;
                    g += acc[j + 1] * wh;
                    r += acc[j + 2] * wh;
                }
                constexpr int shift = kWeightBits + 8;
                d[0] = uchar(std::min<uint32_t>(255, (b + (1u << (shift - 1))) >> shift));
                d[1] = uchar(std::min<uint32_t>(255, (g + (1u << (shift - 1))) >> shift));
                d[2] = uchar(std::min<uint32_t>(255, (r + (1u << (shift - 1))) >> shift));
                if constexpr (BPP == 4)
                    d[3] = 0xFF;
            }
        }
    });
}

// Halving both sides: each output pixel is the mean of a 2x2 block, rounded
// half up, (a + b + c + d + 2) / 4 - exactly what the weights above give for
// a factor of two, only in one pass. Per pair of source rows, a strip of the
// row is first reduced bytewise (every byte with the byte one pixel on and
// both bytes below, which needs no knowledge of channels and runs 16 bytes at
// a time), then every other pixel of the strip is kept.
constexpr int kStrip = 1536;  // source bytes per strip: a multiple of 6 and 8, in L1 with its rows

#if defined(__SSE2__)
__attribute__((target("sse2"))) int quadMeans16(const uchar* s0, const uchar* s1, int bpp, int n, uchar* out) {
    const __m128i zero = _mm_setzero_si128(), two = _mm_set1_epi16(2);
    int i = 0;
    for (; i + 16 <= n; i += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s0 + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s1 + i));
        const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s0 + i + bpp));
        const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s1 + i + bpp));
        __m128i lo = _mm_add_epi16(_mm_add_epi16(_mm_unpacklo_epi8(a, zero), _mm_unpacklo_epi8(b, zero)),
                                   _mm_add_epi16(_mm_unpacklo_epi8(c, zero), _mm_unpacklo_epi8(d, zero)));
        __m128i hi = _mm_add_epi16(_mm_add_epi16(_mm_unpackhi_epi8(a, zero), _mm_unpackhi_epi8(b, zero)),
                                   _mm_add_epi16(_mm_unpackhi_epi8(c, zero), _mm_unpackhi_epi8(d, zero)));
        lo = _mm_srli_epi16(_mm_add_epi16(lo, two), 2);
        hi = _mm_srli_epi16(_mm_add_epi16(hi, two), 2);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(lo, hi));
    }
    return i;
}
#endif

// out[i] = mean of s0[i], s1[i], s0[i + bpp], s1[i + bpp] for i in [0, n).
void quadMeans(const uchar* s0, const uchar* s1, int bpp, int n, uchar* out) {
    int i = 0;
#if defined(__SSE2__)
    static const bool sse2 = __builtin_cpu_supports("sse2");
    if (sse2)
        i = quadMeans16(s0, s1, bpp, n, out);
#endif
    for (; i < n; ++i)
        out[i] = uchar((s0[i] + s1[i] + s0[i + bpp] + s1[i + bpp] + 2) >> 2);
}

template <int BPP>
void halve(const QImage& src, QImage& dst) {
    const int dw = dst.width(), dh = dst.height();
    uchar* const base = dst.bits();
    const qsizetype bpl = dst.bytesPerLine();
    parallelFor(dh, 8, [&](int y0, int y1) {
        alignas(16) uchar means[kStrip];
        for (int y = y0; y < y1; ++y) {
            const uchar* s0 = src.constScanLine(2 * y);
            const uchar* s1 = src.constScanLine(2 * y + 1);
            uchar* d = base + y * bpl;
            for (int x0 = 0; x0 < dw; x0 += kStrip / (2 * BPP)) {
                const int n = std::min(kStrip / (2 * BPP), dw - x0);
                const qsizetype from = qsizetype(x0) * 2 * BPP;
                // The last output pixel needs its first source pixel's bytes only.
                quadMeans(s0 + from, s1 + from, BPP, (2 * n - 1) * BPP, means);
                uchar* o = d + qsizetype(x0) * BPP;
                for (int x = 0; x < n; ++x, o += BPP) {
                    std::memcpy(o, means + 2 * BPP * x, 3);
                    if constexpr (BPP == 4)
                        o[3] = 0xFF;
                }
            }
        }
    });
}

// Palette indices (Format_Indexed8 with 2 entries) packed into a 1-bit picture.
QImage packMono(const QImage& indices) {
    QImage out = allocImage(indices.width(), indices.height(), QImage::Format_Mono);
    if (out.isNull())
        return out;
    out.setColorTable(indices.colorTable());
    for (int y = 0; y < indices.height(); ++y) {
        const uchar* s = indices.constScanLine(y);
        uchar* d = out.scanLine(y);
        std::memset(d, 0, size_t(out.bytesPerLine()));
        for (int x = 0; x < indices.width(); ++x)
            if (s[x] & 1)
                d[x >> 3] |= uchar(0x80 >> (x & 7));
    }
    return out;
}

}  // namespace

bool resize(Picture& pic, int width, int height) {
    if (!wellFormed(pic) || width < 1 || height < 1 || !sizeAllowed(width, height, pic.bits))
        return false;
    if (width == pic.width() && height == pic.height())
        return true;
    Picture out;
    out.bits = pic.bits;
    if (pic.bits == 24) {
        out.image = allocImage(width, height, QImage::Format_BGR888);
        if (out.image.isNull())
            return false;
        if (pic.width() == 2 * width && pic.height() == 2 * height)
            halve<3>(pic.image, out.image);
        else
            resample<3>(pic.image, out.image);
    } else {
        const QImage rgb = toRgb32(pic.image);
        QImage scaled = allocImage(width, height, QImage::Format_RGB32);
        if (rgb.isNull() || scaled.isNull())
            return false;
        if (pic.width() == 2 * width && pic.height() == 2 * height)
            halve<4>(rgb, scaled);
        else
            resample<4>(rgb, scaled);
        if (isPaletteDepth(pic.bits)) {
            // Palette pictures keep their table: every new colour takes its nearest entry.
            const QImage indices = remapToPalette(scaled, pic.image.colorTable(), false);
            if (indices.isNull())
                return false;
            out.image = pic.bits == 1 ? packMono(indices) : indices;
        } else {
            out = fromRgb32(scaled, pic.bits, pic.image);
        }
    }
    if (out.image.isNull())
        return false;
    copyMetrics(out.image, pic.image);
    pic = out;
    return true;
}

}  // namespace engine::ops

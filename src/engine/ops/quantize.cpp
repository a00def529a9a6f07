#include "engine/ops/quantize.h"

#include "engine/ops/ops.h"
#include "engine/ops/pixels.h"

#include <libimagequant.h>

#include <cmath>
#include <cstring>
#include <mutex>
#include <new>
#include <vector>

namespace engine::ops::detail {

namespace {

// A small open-addressed table from colour (0xRRGGBB) to palette index.
class ColourHash {
public:
    explicit ColourHash(int capacityPow2) : keys_(size_t(capacityPow2), kEmpty), values_(size_t(capacityPow2), 0), mask_(uint32_t(capacityPow2 - 1)) {}
    // The slot of the colour: its value when present, or the free slot to fill.
    size_t slot(uint32_t key) const {
        size_t i = hash(key) & mask_;
        while (keys_[i] != kEmpty && keys_[i] != key)
            i = (i + 1) & mask_;
        return i;
    }
    bool present(size_t s) const { return keys_[s] != kEmpty; }
    void put(size_t s, uint32_t key, uint8_t v) { keys_[s] = key; values_[s] = v; }
    uint8_t value(size_t s) const { return values_[s]; }
    int find(uint32_t key) const {
        const size_t s = slot(key);
        return present(s) ? values_[s] : -1;
    }

private:
    static constexpr uint32_t kEmpty = 0xFFFFFFFFu;
    static uint32_t hash(uint32_t k) { return (k * 2654435761u) >> 8; }
    std::vector<uint32_t> keys_;
    std::vector<uint8_t> values_;
    uint32_t mask_;
};

constexpr uint32_t kRgbMask = 0x00FFFFFFu;

// How many pixels libimagequant looks at: enough for a faithful palette of a
// photo, small enough that the palette search stays well under a second.
constexpr qint64 kSamplePixels = 1 << 18;

}  // namespace

Rgb32Rows::Rgb32Rows(const QImage& image) : image_(image) {
    buffer_.resize(size_t(std::max(0, image.width())));
    if (image.format() == QImage::Format_Indexed8) {
        // Every index through the same conversion as the whole picture's.
        QImage all(256, 1, QImage::Format_Indexed8);
        all.setColorTable(image.colorTable());
        for (int i = 0; i < 256; ++i)
            all.scanLine(0)[i] = uchar(i);
        const QImage converted = all.convertToFormat(QImage::Format_RGB32);
        if (converted.isNull())
            throw std::bad_alloc();
        const auto* c = reinterpret_cast<const QRgb*>(converted.constScanLine(0));
        lookup_.assign(c, c + 256);
    }
}

const QRgb* Rgb32Rows::row(int y) {
    if (image_.format() == QImage::Format_RGB32)
        return reinterpret_cast<const QRgb*>(image_.constScanLine(y));
    const int w = image_.width();
    if (!lookup_.empty()) {
        const uchar* s = image_.constScanLine(y);
        for (int x = 0; x < w; ++x)
            buffer_[size_t(x)] = lookup_[s[x]];
    } else if (image_.format() == QImage::Format_BGR888) {
        const uchar* s = image_.constScanLine(y);  // bytes blue, green, red
        for (int x = 0; x < w; ++x, s += 3)
            buffer_[size_t(x)] = 0xFF000000u | (uint32_t(s[2]) << 16) | (uint32_t(s[1]) << 8) | s[0];
    } else {
        // The same conversion as the whole copy's, one row of it.
        const QImage one = image_.copy(0, y, w, 1).convertToFormat(QImage::Format_RGB32);
        if (one.isNull())
            throw std::bad_alloc();
        std::memcpy(buffer_.data(), one.constScanLine(0), size_t(w) * sizeof(QRgb));
    }
    return buffer_.data();
}

bool distinctColours(const QImage& image, int maxColors, QList<QRgb>& out) {
    out.clear();
    if (image.isNull() || maxColors < 1 || maxColors > 256)
        return false;
    ColourHash seen(1024);
    uint32_t last = 0xFFFFFFFFu;
    Rgb32Rows rows(image);
    for (int y = 0; y < rows.height(); ++y) {
        const QRgb* row = rows.row(y);
        for (int x = 0; x < rows.width(); ++x) {
            const uint32_t c = row[x] & kRgbMask;
            if (c == last)
                continue;
            last = c;
            const size_t s = seen.slot(c);
            if (seen.present(s))
                continue;
            if (out.size() >= maxColors) {
                out.clear();
                return false;
            }
            seen.put(s, c, uint8_t(out.size()));
            out.append(0xFF000000u | c);
        }
    }
    return true;
}

bool allGrey(const QImage& image) {
    Rgb32Rows rows(image);
    for (int y = 0; y < rows.height(); ++y) {
        const QRgb* row = rows.row(y);
        for (int x = 0; x < rows.width(); ++x)
            if (qRed(row[x]) != qGreen(row[x]) || qGreen(row[x]) != qBlue(row[x]))
                return false;
    }
    return true;
}

QList<QRgb> adaptivePalette(const QImage& image, int maxColors) {
    QList<QRgb> result;
    if (image.isNull() || maxColors < 2 || maxColors > 256)
        return result;
    const qint64 total = qint64(image.width()) * image.height();
    // An even grid of pixels: every step-th pixel of every step-th row.
    int step = 1;
    if (total > kSamplePixels)
        step = int(std::ceil(std::sqrt(double(total) / double(kSamplePixels))));
    const int sw = std::max(1, image.width() / step), sh = std::max(1, image.height() / step);
    const int offset = step / 2;
    std::vector<uint8_t> rgba(size_t(sw) * size_t(sh) * 4);
    Rgb32Rows rows(image);
    for (int sy = 0; sy < sh; ++sy) {
        const QRgb* row = rows.row(std::min(image.height() - 1, sy * step + offset));
        uint8_t* o = rgba.data() + size_t(sy) * size_t(sw) * 4;
        for (int sx = 0; sx < sw; ++sx) {
            const QRgb c = row[std::min(image.width() - 1, sx * step + offset)];
            *o++ = uint8_t(qRed(c));
            *o++ = uint8_t(qGreen(c));
            *o++ = uint8_t(qBlue(c));
            *o++ = 255;
        }
    }
    liq_attr* attr = liq_attr_create();
    if (!attr)
        return result;
    liq_set_max_colors(attr, maxColors);
    // Speed 7 keeps most of the palette quality of the slow settings (mean
    // error about 4 % above speed 4 on photos) at a third of the time or less;
    // small pictures can afford the thorough search.
    liq_set_speed(attr, total <= 65536 ? 4 : 7);
    liq_image* img = liq_image_create_rgba(attr, rgba.data(), sw, sh, 0);
    liq_result* res = nullptr;
    if (img && liq_image_quantize(img, attr, &res) == LIQ_OK && res) {
        const liq_palette* pal = liq_get_palette(res);
        if (pal) {
            for (unsigned i = 0; i < pal->count && int(i) < maxColors; ++i)
                result.append(qRgb(pal->entries[i].r, pal->entries[i].g, pal->entries[i].b));
        }
        liq_result_destroy(res);
    }
    if (img)
        liq_image_destroy(img);
    liq_attr_destroy(attr);
    return result;
}

namespace {

PaletteChoice computePalette(const QImage& image, int maxColors) {
    PaletteChoice choice;
    if (distinctColours(image, maxColors, choice.colours)) {
        choice.exact = true;
        return choice;
    }
    choice.colours = adaptivePalette(image, maxColors);
    if (!choice.colours.isEmpty() && allGrey(image)) {
        // A grey picture keeps a grey palette (a stray tint would make it a colour picture).
        QList<QRgb> grey;
        for (QRgb c : choice.colours) {
            const int v = luminance(qRed(c), qGreen(c), qBlue(c));
            const QRgb g = qRgb(v, v, v);
            if (!grey.contains(g))
                grey.append(g);
        }
        choice.colours = grey;
    }
    return choice;
}

// The last palette chosen. A cache key names one state of one image's pixels
// (it changes whenever they may have been written), so the key alone says
// whether the kept palette is the one the image would get now.
struct KeptPalette {
    std::mutex mutex;
    qint64 key = 0;
    int maxColors = 0;
    PaletteChoice choice;
};

KeptPalette& keptPalette() {
    static KeptPalette kept;
    return kept;
}

}  // namespace

PaletteChoice choosePalette(const QImage& image, int maxColors) {
    if (image.isNull())
        return PaletteChoice();
    KeptPalette& kept = keptPalette();
    {
        std::lock_guard<std::mutex> lock(kept.mutex);
        if (kept.key == image.cacheKey() && kept.maxColors == maxColors)
            return kept.choice;
    }
    PaletteChoice choice = computePalette(image, maxColors);
    if (!choice.colours.isEmpty()) {
        std::lock_guard<std::mutex> lock(kept.mutex);
        kept.key = image.cacheKey();
        kept.maxColors = maxColors;
        kept.choice = choice;
    }
    return choice;
}

// ---- inverse colour map ----------------------------------------------------

InverseColourMap::InverseColourMap(const QList<QRgb>& palette)
    : palette_(palette), cells_(new std::atomic<uint16_t>[64 * 64 * 64]) {
    for (int i = 0; i < 64 * 64 * 64; ++i)
        cells_[i].store(0, std::memory_order_relaxed);
    for (QRgb c : palette_) {
        pr_.push_back(qRed(c));
        pg_.push_back(qGreen(c));
        pb_.push_back(qBlue(c));
    }
    hasEntry_.assign(64 * 64 * 64, 0);
    for (QRgb c : palette_)
        hasEntry_[size_t(cellOf(qRed(c), qGreen(c), qBlue(c)))] = 1;
    exactKeys_.assign(1024, 0xFFFFFFFFu);
    exactIndex_.assign(1024, 0);
    for (int i = 0; i < palette_.size() && i < 256; ++i) {
        const uint32_t key = palette_[i] & kRgbMask;
        size_t s = ((key * 2654435761u) >> 8) & 1023;
        while (exactKeys_[s] != 0xFFFFFFFFu && exactKeys_[s] != key)
            s = (s + 1) & 1023;
        if (exactKeys_[s] == 0xFFFFFFFFu) {  // the first of duplicate entries wins
            exactKeys_[s] = key;
            exactIndex_[s] = uint8_t(i);
        }
    }
}

int InverseColourMap::exactEntry(QRgb c) const {
    const uint32_t key = c & kRgbMask;
    size_t s = ((key * 2654435761u) >> 8) & 1023;
    while (exactKeys_[s] != 0xFFFFFFFFu) {
        if (exactKeys_[s] == key)
            return exactIndex_[s];
        s = (s + 1) & 1023;
    }
    return -1;
}

int InverseColourMap::nearestExact(int r, int g, int b) const {
    int best = 0;
    int bestD = INT32_MAX;
    const size_t n = pr_.size();
    for (size_t i = 0; i < n; ++i) {
        const int dr = pr_[i] - r, dg = pg_[i] - g, db = pb_[i] - b;
        const int d = dr * dr + dg * dg + db * db;
        if (d < bestD) {
            bestD = d;
            best = int(i);
        }
    }
    return best;
}

int InverseColourMap::cached(int r, int g, int b) const {
    const int cell = cellOf(r, g, b);
    const uint16_t v = cells_[cell].load(std::memory_order_relaxed);
    if (v)
        return v - 1;
    // Several threads may fill the same cell at once; they all write the same value.
    const int idx = nearestExact((r & ~3) + 2, (g & ~3) + 2, (b & ~3) + 2);
    cells_[cell].store(uint16_t(idx + 1), std::memory_order_relaxed);
    return idx;
}

int InverseColourMap::nearest(QRgb c) const {
    if (pr_.empty())
        return 0;
    // Only cells holding a palette colour need the exact test.
    if (hasEntry_[size_t(cellOf(qRed(c), qGreen(c), qBlue(c)))]) {
        const int e = exactEntry(c);
        if (e >= 0)
            return e;
    }
    return cached(qRed(c), qGreen(c), qBlue(c));
}

// ---- remapping ---------------------------------------------------------------

QImage remapToPalette(const QImage& image, const QList<QRgb>& palette, bool dither) {
    if (image.isNull() || palette.isEmpty() || palette.size() > 256)
        return QImage();
    QImage out = allocImage(image.width(), image.height(), QImage::Format_Indexed8);
    if (out.isNull())
        return out;
    out.setColorTable(palette);
    const InverseColourMap map(palette);
    const int w = image.width(), h = image.height();
    // Row addresses taken once: scanLine() on a shared image is not for threads.
    uchar* const base = out.bits();
    const qsizetype bpl = out.bytesPerLine();
    if (!dither) {
        parallelFor(h, 64, [&](int y0, int y1) {
            Rgb32Rows rows(image);
            for (int y = y0; y < y1; ++y) {
                const QRgb* src = rows.row(y);
                uchar* dst = base + y * bpl;
                QRgb last = src[0] ^ 1u;
                uchar lastIdx = 0;
                for (int x = 0; x < w; ++x) {
                    if (src[x] != last) {
                        last = src[x];
                        lastIdx = uchar(map.nearest(last));
                    }
                    dst[x] = lastIdx;
                }
            }
        });
        return out;
    }
    // Floyd-Steinberg, serpentine. Errors are kept in sixteenths; each row
    // buffer has one spare cell at both ends so neighbours never go out of range.
    // The picture is dithered in one band of rows per core; each band starts
    // without carried error, which leaves no visible seam on real pictures.
    std::vector<int> pal(size_t(palette.size()) * 3);
    for (qsizetype i = 0; i < palette.size(); ++i) {
        pal[size_t(i) * 3] = qRed(palette[i]);
        pal[size_t(i) * 3 + 1] = qGreen(palette[i]);
        pal[size_t(i) * 3 + 2] = qBlue(palette[i]);
    }
    parallelFor(h, 256, [&](int y0, int y1) {
        std::vector<int> cur(size_t(w + 2) * 3, 0), next(size_t(w + 2) * 3, 0);
        Rgb32Rows rows(image);
        for (int y = y0; y < y1; ++y) {
            const QRgb* src = rows.row(y);
            uchar* dst = base + y * bpl;
            const bool ltr = ((y - y0) & 1) == 0;
            const int dir = ltr ? 1 : -1;
            std::fill(next.begin(), next.end(), 0);
            for (int i = 0; i < w; ++i) {
                const int x = ltr ? i : w - 1 - i;
                const QRgb c = src[x];
                int* e = &cur[size_t(x + 1) * 3];
                const int r = std::clamp(qRed(c) + ((e[0] + 8) >> 4), 0, 255);
                const int g = std::clamp(qGreen(c) + ((e[1] + 8) >> 4), 0, 255);
                const int b = std::clamp(qBlue(c) + ((e[2] + 8) >> 4), 0, 255);
                const int idx = map.nearest(qRgb(r, g, b));
                dst[x] = uchar(idx);
                const int* p = &pal[size_t(idx) * 3];
                const int er = r - p[0], eg = g - p[1], eb = b - p[2];
                int* ahead = &cur[size_t(x + 1 + dir) * 3];
                int* below = &next[size_t(x + 1) * 3];
                int* belowAhead = &next[size_t(x + 1 + dir) * 3];
                int* belowBehind = &next[size_t(x + 1 - dir) * 3];
                ahead[0] += er * 7; ahead[1] += eg * 7; ahead[2] += eb * 7;
                belowBehind[0] += er * 3; belowBehind[1] += eg * 3; belowBehind[2] += eb * 3;
                below[0] += er * 5; below[1] += eg * 5; below[2] += eb * 5;
                belowAhead[0] += er; belowAhead[1] += eg; belowAhead[2] += eb;
            }
            cur.swap(next);
        }
    });
    return out;
}

QImage quantize(const QImage& image, int maxColors, bool dither) {
    if (image.isNull() || maxColors < 2 || maxColors > 256)
        return QImage();
    const PaletteChoice palette = choosePalette(image, maxColors);
    if (palette.colours.isEmpty())
        return QImage();
    if (!palette.exact)
        return remapToPalette(image, palette.colours, dither);
    // Few colours: every colour keeps its exact value.
    QImage out = allocImage(image.width(), image.height(), QImage::Format_Indexed8);
    if (out.isNull())
        return out;
    ColourHash index(1024);
    for (int i = 0; i < palette.colours.size(); ++i)
        index.put(index.slot(palette.colours[i] & kRgbMask), palette.colours[i] & kRgbMask, uint8_t(i));
    out.setColorTable(palette.colours);
    const int w = image.width();
    uchar* const base = out.bits();
    const qsizetype bpl = out.bytesPerLine();
    parallelFor(image.height(), 64, [&](int y0, int y1) {
        Rgb32Rows rows(image);
        for (int y = y0; y < y1; ++y) {
            const QRgb* src = rows.row(y);
            uchar* dst = base + y * bpl;
            for (int x = 0; x < w; ++x)
                dst[x] = uchar(std::max(0, index.find(src[x] & kRgbMask)));
        }
    });
    return out;
}

}  // namespace engine::ops::detail

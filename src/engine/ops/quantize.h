#pragma once
// Colour reduction to a palette: the exact path for pictures that already have
// few colours, the adaptive palette from libimagequant for the rest, and the
// table-driven remapping of pixels to palette indices.
#include <QImage>
#include <QList>

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

namespace engine::ops::detail {

// The rows of an image of any format as its Format_RGB32 copy (toRgb32) has
// them, one at a time, without making that copy.
// One reader per thread.
class Rgb32Rows {
public:
    explicit Rgb32Rows(const QImage& image);
    const QRgb* row(int y);  // valid until the next call
    int width() const { return image_.width(); }
    int height() const { return image_.height(); }

private:
    const QImage& image_;
    std::vector<QRgb> buffer_;
    std::vector<QRgb> lookup_;  // 8-bit palette pictures: what each index becomes
};

// The distinct colours of an image (as Format_RGB32) in order of first
// appearance, when there are at most maxColors of them; false (and out
// empty) otherwise.
bool distinctColours(const QImage& image, int maxColors, QList<QRgb>& out);

// Whether every pixel of an image (as Format_RGB32) is grey (r == g == b).
bool allGrey(const QImage& image);

// An adaptive palette of at most maxColors entries for an image (as
// Format_RGB32), chosen by libimagequant from an even sample of the pixels on
// big pictures. Empty when libimagequant fails.
QList<QRgb> adaptivePalette(const QImage& image, int maxColors);

// The palette a reduction of the image to maxColors colours uses: its own
// colours when it has no more (exact), otherwise an adaptive palette, grey
// for a grey picture. Empty when the palette fails. The last choice is kept
// with the image's cache key, so a preview and the conversion of the same
// picture that follows it choose once.
struct PaletteChoice {
    QList<QRgb> colours;
    bool exact = false;
};
PaletteChoice choosePalette(const QImage& image, int maxColors);

// Nearest palette entry for any colour. Colours are looked up through a cache
// of 64 x 64 x 64 cells (the nearest entry to each cell's centre, found on
// first use); colours that are themselves palette entries always map to their
// own entry. Safe to use from several threads at once.
class InverseColourMap {
public:
    explicit InverseColourMap(const QList<QRgb>& palette);
    int nearest(QRgb c) const;
    int nearestExact(int r, int g, int b) const;  // brute force, no cache

private:
    static int cellOf(int r, int g, int b) { return ((r >> 2) << 12) | ((g >> 2) << 6) | (b >> 2); }
    int cached(int r, int g, int b) const;
    int exactEntry(QRgb c) const;

    QList<QRgb> palette_;
    std::vector<int> pr_, pg_, pb_;
    std::unique_ptr<std::atomic<uint16_t>[]> cells_;
    std::vector<uint8_t> hasEntry_;    // cells that hold a palette colour
    std::vector<uint32_t> exactKeys_;  // open-addressed set of the palette's own colours
    std::vector<uint8_t> exactIndex_;
};

// Maps an image (as Format_RGB32) onto the palette (at most 256 entries) as a
// Format_Indexed8 image; Floyd-Steinberg error diffusion when dither is set.
// Null when memory runs out.
QImage remapToPalette(const QImage& image, const QList<QRgb>& palette, bool dither);

// Reduces an image (as Format_RGB32) to at most maxColors colours with
// choosePalette. Null when memory runs out or the palette fails.
QImage quantize(const QImage& image, int maxColors, bool dither);

}  // namespace engine::ops::detail

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

// The distinct colours of a Format_RGB32 image in order of first appearance,
// when there are at most maxColors of them; false (and out empty) otherwise.
bool distinctColours(const QImage& rgb32, int maxColors, QList<QRgb>& out);

// Whether every pixel of a Format_RGB32 image is grey (r == g == b).
bool allGrey(const QImage& rgb32);

// An adaptive palette of at most maxColors entries for a Format_RGB32 image,
// chosen by libimagequant from an even sample of the pixels on big pictures.
// Empty when libimagequant fails.
QList<QRgb> adaptivePalette(const QImage& rgb32, int maxColors);

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

// Maps a Format_RGB32 image onto the palette (at most 256 entries) as a
// Format_Indexed8 image; Floyd-Steinberg error diffusion when dither is set.
// Null when memory runs out.
QImage remapToPalette(const QImage& rgb32, const QList<QRgb>& palette, bool dither);

// Reduces a Format_RGB32 image to at most maxColors colours: exactly when it
// has no more than that, otherwise through an adaptive palette. Grey pictures
// get a grey palette. Null when memory runs out or the palette fails.
QImage quantize(const QImage& rgb32, int maxColors, bool dither);

}  // namespace engine::ops::detail

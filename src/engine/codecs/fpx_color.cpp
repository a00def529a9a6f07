#include "engine/codecs/fpx_color.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace engine::codecs::fpx {

namespace {

inline uint8_t clip(int v) { return uint8_t(std::clamp(v, 0, 255)); }

// Fixed point with 16 fractional bits, as the JPEG library computes it.
struct YccTables {
    std::array<int, 256> crR, cbB, crG, cbG;
    YccTables() {
        for (int i = 0; i < 256; ++i) {
            const int c = i - 128;
            crR[size_t(i)] = int(std::lround(1.40200 * 65536 * c));
            cbB[size_t(i)] = int(std::lround(1.77200 * 65536 * c));
            crG[size_t(i)] = int(std::lround(-0.71414 * 65536 * c));
            cbG[size_t(i)] = int(std::lround(-0.34414 * 65536 * c));
        }
    }
};

// Kodak's PhotoYCC: luma scaled by 1.3584, chroma centred on 156 and 137.
struct PhotoYccTables {
    std::array<int, 256> y, c1B, c1G, c2R, c2G;
    PhotoYccTables() {
        for (int i = 0; i < 256; ++i) {
            y[size_t(i)] = int(std::lround(1.3584 * 65536 * i));
            c1B[size_t(i)] = int(std::lround(2.2179 * 65536 * (i - 156)));
            c1G[size_t(i)] = int(std::lround(-0.4302726 * 65536 * (i - 156)));
            c2R[size_t(i)] = int(std::lround(1.8215 * 65536 * (i - 137)));
            c2G[size_t(i)] = int(std::lround(-0.9271435 * 65536 * (i - 137)));
        }
    }
};

const YccTables& yccTables() {
    static const YccTables t;
    return t;
}

const PhotoYccTables& photoTables() {
    static const PhotoYccTables t;
    return t;
}

constexpr int kHalf = 1 << 15;

}  // namespace

void ycbcrToRgb(uint8_t* samples, size_t pixels, int channels, const int position[3]) {
    const YccTables& t = yccTables();
    for (size_t i = 0; i < pixels; ++i, samples += channels) {
        const int y = samples[position[0]], cb = samples[position[1]], cr = samples[position[2]];
        samples[position[0]] = clip(y + ((t.crR[size_t(cr)] + kHalf) >> 16));
        samples[position[1]] = clip(y + ((t.cbG[size_t(cb)] + t.crG[size_t(cr)] + kHalf) >> 16));
        samples[position[2]] = clip(y + ((t.cbB[size_t(cb)] + kHalf) >> 16));
    }
}

void photoYccToRgb(uint8_t& y_r, uint8_t& c1_g, uint8_t& c2_b) {
    const PhotoYccTables& t = photoTables();
    const int l = t.y[y_r];
    const int r = (l + t.c2R[c2_b] + kHalf) >> 16;
    const int g = (l + t.c1G[c1_g] + t.c2G[c2_b] + kHalf) >> 16;
    const int b = (l + t.c1B[c1_g] + kHalf) >> 16;
    y_r = clip(r);
    c1_g = clip(g);
    c2_b = clip(b);
}

}  // namespace engine::codecs::fpx

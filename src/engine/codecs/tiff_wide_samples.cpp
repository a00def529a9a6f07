#include "engine/codecs/tiff_wide_samples.h"

#include <cmath>
#include <cstring>

#include <tiffio.h>

namespace engine::codecs::tiffwide {

namespace {

int colourChannels(const SampleLayout& l) {
    switch (l.photometric) {
    case PHOTOMETRIC_RGB: return 3;
    case PHOTOMETRIC_SEPARATED: return 4;
    default: return 1;  // grey, and the palette index
    }
}

// A 16-bit half float as a float.
float halfToFloat(uint16_t h) {
    const int exponent = (h >> 10) & 0x1F, mantissa = h & 0x3FF;
    float v;
    if (exponent == 0)
        v = std::ldexp(float(mantissa), -24);
    else if (exponent == 31)
        v = mantissa ? 0.0f : INFINITY;
    else
        v = std::ldexp(float(mantissa | 0x400), exponent - 25);
    return (h & 0x8000) ? -v : v;
}

uchar fromUnit(float v) {
    if (!(v > 0))  // NaN too
        return 0;
    return v >= 1 ? 255 : uchar(v * 255.0f + 0.5f);
}

// Sample c of pixel x, scaled to 8 bits.
uchar sample(const SampleLayout& l, const uchar* const* planes, uint32_t x, int c) {
    const uchar* base = l.planar ? planes[c] : planes[0];
    const size_t index = l.planar ? x : size_t(x) * size_t(l.spp) + size_t(c);
    switch (l.bps) {
    case 4: {
        const uchar byte = base[index >> 1];
        const int v = (index & 1) ? byte & 15 : byte >> 4;
        return uchar(v * 17);
    }
    case 8: {
        const uchar v = base[index];
        return l.sampleFormat == SAMPLEFORMAT_INT ? uchar(v ^ 0x80) : v;
    }
    case 16: {
        uint16_t v;
        memcpy(&v, base + index * 2, 2);
        if (l.sampleFormat == SAMPLEFORMAT_IEEEFP)
            return fromUnit(halfToFloat(v));
        if (l.sampleFormat == SAMPLEFORMAT_INT)
            v ^= 0x8000;
        return uchar((uint32_t(v) * 255u + 32767u) / 65535u);
    }
    case 32: {
        uint32_t v;
        memcpy(&v, base + index * 4, 4);
        if (l.sampleFormat == SAMPLEFORMAT_IEEEFP) {
            float f;
            memcpy(&f, &v, 4);
            return fromUnit(f);
        }
        if (l.sampleFormat == SAMPLEFORMAT_INT)
            v ^= 0x80000000u;
        return uchar((uint64_t(v) * 255u + 0x7FFFFFFFu) / 0xFFFFFFFFu);
    }
    default:
        return 0;
    }
}

// The raw 16-bit index of a palette pixel.
uint32_t index16(const SampleLayout& l, const uchar* const* planes, uint32_t x) {
    uint16_t v;
    memcpy(&v, planes[0] + size_t(x) * size_t(l.planar ? 1 : l.spp) * 2, 2);
    return v;
}

}  // namespace

bool handles(const SampleLayout& l) {
    const int colour = colourChannels(l);
    if (l.spp < colour || l.spp > 8)
        return false;
    switch (l.photometric) {
    case PHOTOMETRIC_PALETTE:
        return l.bps == 16 && l.sampleFormat == SAMPLEFORMAT_UINT && l.palette.size() == 65536;
    case PHOTOMETRIC_SEPARATED:
        return l.bps == 16 && l.sampleFormat == SAMPLEFORMAT_UINT;
    case PHOTOMETRIC_MINISBLACK:
    case PHOTOMETRIC_MINISWHITE:
        if (l.bps == 4 && l.spp == 2 && l.sampleFormat == SAMPLEFORMAT_UINT && !l.planar)
            return true;  // grey with alpha, 4 bits each
        [[fallthrough]];
    case PHOTOMETRIC_RGB:
        if (l.sampleFormat == SAMPLEFORMAT_IEEEFP)
            return l.bps == 16 || l.bps == 32;
        if (l.sampleFormat == SAMPLEFORMAT_INT)
            return l.bps == 8 || l.bps == 16 || l.bps == 32;
        return l.sampleFormat == SAMPLEFORMAT_UINT && l.bps == 32;
    default:
        return false;
    }
}

int bitsFor(const SampleLayout& l) {
    return l.spp > colourChannels(l) ? 32 : 24;
}

void convertRow(const SampleLayout& l, const uchar* const* planes, uchar* out) {
    const int colour = colourChannels(l);
    const bool wide = bitsFor(l) == 32;
    const bool inverted = l.photometric == PHOTOMETRIC_MINISWHITE;
    for (uint32_t x = 0; x < l.width; ++x, out += wide ? 4 : 3) {
        uchar r, g, b;
        if (l.photometric == PHOTOMETRIC_PALETTE) {
            const QRgb c = l.palette[int(index16(l, planes, x))];
            r = uchar(qRed(c)), g = uchar(qGreen(c)), b = uchar(qBlue(c));
        } else if (colour == 4) {
            // CMYK inks to light, as a screen shows them without a profile.
            const int k = 255 - sample(l, planes, x, 3);
            r = uchar((255 - sample(l, planes, x, 0)) * k / 255);
            g = uchar((255 - sample(l, planes, x, 1)) * k / 255);
            b = uchar((255 - sample(l, planes, x, 2)) * k / 255);
        } else if (colour == 3) {
            r = sample(l, planes, x, 0), g = sample(l, planes, x, 1), b = sample(l, planes, x, 2);
        } else {
            const uchar v = sample(l, planes, x, 0);
            r = g = b = inverted ? uchar(255 - v) : v;
        }
        out[0] = b;
        out[1] = g;
        out[2] = r;
        if (wide)
            out[3] = 0xFF;  // the alpha itself is not kept: the store has none
    }
}

}  // namespace engine::codecs::tiffwide

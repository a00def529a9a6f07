#pragma once
// TIFF sample layouts deeper or stranger than the engine's depths, reduced to
// 24-bit pictures (32-bit when the file has an alpha channel): 32-bit integer
// and 16/32-bit floating point samples (grey or RGB), signed integers, 16-bit
// palette indexes, 16-bit CMYK, and 4-bit grey with alpha.
#include <QImage>
#include <QList>

#include <cstdint>

namespace engine::codecs::tiffwide {

struct SampleLayout {
    uint32_t width = 0;
    int bps = 0;           // bits per sample
    int spp = 0;           // samples per pixel
    int sampleFormat = 1;  // SAMPLEFORMAT_UINT, _INT or _IEEEFP
    int photometric = 1;   // PHOTOMETRIC_MINISWHITE, _MINISBLACK, _RGB, _PALETTE or _SEPARATED (CMYK)
    bool planar = false;   // one plane per sample
    QList<QRgb> palette;   // the colour map of a palette file
};

// Whether this reader takes the layout (the ordinary ones stay with the
// direct and RGBA readers).
bool handles(const SampleLayout& l);

// 24, or 32 when the file has samples beyond its colour ones (alpha).
int bitsFor(const SampleLayout& l);

// One row of the file (contiguous samples in planes[0], or one plane per
// sample) into one row of the picture: B, G, R bytes, or B, G, R, 0xFF words.
void convertRow(const SampleLayout& l, const uchar* const* planes, uchar* out);

}  // namespace engine::codecs::tiffwide

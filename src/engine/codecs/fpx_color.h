#pragma once
// Colour conversions of FlashPix samples to RGB.
#include <cstddef>
#include <cstdint>

namespace engine::codecs::fpx {

// Converts JFIF YCbCr samples in place to RGB. pixels of `channels` interleaved
// bytes; Y, Cb and Cr sit at position[0..2] and R, G, B come out there.
void ycbcrToRgb(uint8_t* samples, size_t pixels, int channels, const int position[3]);

// Converts one PhotoYCC sample (Y, C1, C2 as stored) to RGB, clipped to 0..255.
void photoYccToRgb(uint8_t& y_r, uint8_t& c1_g, uint8_t& c2_b);

}  // namespace engine::codecs::fpx

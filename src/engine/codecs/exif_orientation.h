#pragma once
// The orientation tag of an EXIF block, read without trusting any of its
// offsets or counts.
#include <cstddef>
#include <cstdint>

namespace engine::codecs {

// The Orientation value (1..8) of the first image directory of a TIFF-structured
// EXIF block (starting at its "II"/"MM" byte-order mark, i.e. after the
// "Exif\0\0" header of a JPEG APP1 segment); 1 when the block has none or is
// damaged.
int exifOrientation(const uint8_t* tiff, size_t size);

// The same for a whole APP1 payload ("Exif\0\0" followed by the TIFF block);
// 1 for any other payload.
int exifOrientationFromApp1(const uint8_t* payload, size_t size);

}  // namespace engine::codecs

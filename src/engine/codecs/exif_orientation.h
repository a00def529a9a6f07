#pragma once
// The orientation tag of an EXIF block, read without trusting any of its
// offsets or counts.
#include <cstddef>
#include <cstdint>

#include <QByteArray>

namespace engine::codecs {

// The Orientation value (1..8) of the first image directory of a TIFF-structured
// EXIF block (starting at its "II"/"MM" byte-order mark, i.e. after the
// "Exif\0\0" header of a JPEG APP1 segment); 1 when the block has none or is
// damaged.
int exifOrientation(const uint8_t* tiff, size_t size);

// The same for a whole APP1 payload ("Exif\0\0" followed by the TIFF block);
// 1 for any other payload.
int exifOrientationFromApp1(const uint8_t* payload, size_t size);

// The TIFF structure of an EXIF block stored on its own (WebP, HEIF, AVIF,
// JPEG XL): some writers put the "Exif\0\0" header of JPEG before it, some a
// four-byte offset to it (the HEIF "Exif" item). Empty when none is found.
QByteArray exifTiffPart(const QByteArray& block);

// The EXIF orientation (1..8) that the HEIF transforms stand for: the picture
// turned counter-clockwise by quarterTurns (the "irot" property), then
// mirrored (the "imir" property: 0 top and bottom exchanged, 1 left and right
// exchanged, -1 none).
int orientationFromTransforms(int quarterTurns, int mirror);

}  // namespace engine::codecs

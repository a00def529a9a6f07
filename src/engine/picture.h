#pragma once
// A picture as the engine keeps it: the pixels in a QImage plus the depth the
// picture really has, so that a 4-bit picture stays 4-bit through every step.
//
// Pixel store by depth:
//   1 bit   QImage::Format_Mono       (colour table of 2 entries)
//   4 bit   QImage::Format_Indexed8   (colour table of at most 16 entries)
//   8 bit   QImage::Format_Indexed8   (colour table of at most 256 entries)
//   16 bit  QImage::Format_RGB555
//   24 bit  QImage::Format_BGR888
//   32 bit  QImage::Format_RGB32
#include "engine/picture_origin.h"

#include <QImage>
#include <cstdint>

namespace engine {

// Hard limits for anything a decoder or an operation may create.
constexpr int kMaxSide = 65535;
constexpr qint64 kMaxPixelBytes = qint64(1) << 30;
// The largest file a picture within those limits can come from: its pixels
// stored uncompressed at up to 128 bits each, with room for metadata. Larger
// files are refused before they are read.
constexpr qint64 kMaxFileBytes = 4 * kMaxPixelBytes + (qint64(64) << 20);

struct Picture {
    QImage image;
    int bits = 0;  // 1, 4, 8, 16, 24 or 32; 0 for no picture
    Metadata metadata;  // EXIF, XMP and ICC profile of the file it was loaded from
    Lineage lineage;    // how the pixels came from that file (kept up by the engine's edits)

    bool isNull() const { return image.isNull() || bits == 0; }
    int width() const { return image.width(); }
    int height() const { return image.height(); }
};

// The QImage format that holds a picture of the given depth.
QImage::Format formatForBits(int bits);

// Wraps an image of any format as a picture of the given depth, converting the
// pixels to the store format of that depth when needed (no colour reduction:
// use ops::convertDepth for that). bits 0 picks the natural depth of the format.
Picture makePicture(const QImage& image, int bits = 0);

// True when every colour table entry is a grey (r == g == b). Only palette
// pictures (1, 4, 8 bits) can be grey.
bool isGray(const Picture& pic);

// The depth code: 1, 4, 40, 8, 80, 16, 24 or 32 (40/80 for grey palettes).
int depthCode(const Picture& pic);

// Bytes of pixel data as a bottom-up DIB: rows padded to 4 bytes.
qint64 dibSize(const Picture& pic);

// Whether a picture of this size and depth is within the engine's limits.
bool sizeAllowed(qint64 width, qint64 height, int bits);

// A grey ramp colour table of n entries (n = 2, 16 or 256).
QList<QRgb> grayTable(int n);

}  // namespace engine

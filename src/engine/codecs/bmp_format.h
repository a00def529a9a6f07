#pragma once
// The BMP file layout shared by the BMP reader and writer: header constants,
// the validated header as the reader sees it, and the pixel decoders.
#include "engine/errors.h"

#include <QByteArray>
#include <QImage>
#include <QList>

namespace engine::codecs::bmp {

constexpr int kFileHeaderSize = 14;
constexpr int kCoreHeaderSize = 12;     // OS/2 1.x BITMAPCOREHEADER
constexpr int kInfoHeaderSize = 40;     // BITMAPINFOHEADER
constexpr int kOs2HeaderMax = 64;       // OS/2 2.x headers are 16..64 bytes
constexpr int kV4HeaderSize = 108;
constexpr int kV5HeaderSize = 124;

enum Compression : quint32 {
    Rgb = 0,
    Rle8 = 1,
    Rle4 = 2,
    BitFields = 3,       // OS/2 2.x: Huffman 1D
    Jpeg = 4,            // OS/2 2.x: RLE24
    Png = 5,
    AlphaBitFields = 6,
    Cmyk = 11,
    CmykRle8 = 12,
    CmykRle4 = 13,
};

// One colour channel of a 16 or 32 bit pixel: where it sits and how wide it is.
struct Channel {
    quint32 mask = 0;
    int shift = 0;
    int width = 0;  // bits; 0 for a channel the file does not have
};

// Everything the pixel decoders need, after every field has been checked
// against the file's real size.
struct Header {
    qint64 width = 0;
    qint64 height = 0;      // always positive; topDown tells the row order
    bool topDown = false;
    int bits = 0;           // bits per pixel in the file
    quint32 compression = Rgb;
    Channel red, green, blue;  // 16 and 32 bit pictures
    QList<QRgb> palette;    // 1..8 bit pictures, at most 1 << bits entries
    qint64 pixelOffset = 0;
    qint64 pixelBytes = 0;  // bytes available for the pixel data from pixelOffset
    qint64 rowBytes = 0;    // stored row, padded to 4 bytes
    int dotsPerMeterX = 0;  // 0 when the file gives no plausible resolution
    int dotsPerMeterY = 0;

    // The engine depth the picture is stored at.
    int pictureBits() const;
};

// Reads and checks the file header, the info header of any known size, the
// bit masks and the palette. Fails with UnknownFormat (no "BM"), Damaged,
// TooLarge or Unsupported.
bool readHeader(const QByteArray& data, Header& h, Error& err);

// Decodes RLE8 or RLE4 data into an Indexed8 image pre-filled with index 0.
// Every run, delta and absolute block is checked against the picture and the
// data; an overrun or missing end-of-bitmap fails with Damaged.
bool decodeRle(const uchar* data, qint64 size, int bits, QImage& image, Error& err);

}  // namespace engine::codecs::bmp

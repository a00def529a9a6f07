// BMP header reading: every field is checked before the pixel decoders trust it.
#include "engine/codecs/bmp_format.h"
#include "engine/codecs/little_endian.h"
#include "engine/picture.h"

#include <bit>

namespace engine::codecs::bmp {

int Header::pictureBits() const {
    switch (bits) {
    case 1: return 1;
    case 2:
    case 4: return 4;  // 2-bit pictures are held as 4-bit ones
    case 8: return 8;
    case 16: return (red.mask == 0x7C00 && green.mask == 0x03E0 && blue.mask == 0x001F) ? 16 : 24;
    case 24: return 24;
    default: return 32;
    }
}

namespace {

bool fail(Error& err, Error e) {
    err = e;
    return false;
}

// A mask must be one run of bits inside the pixel; an empty mask is a missing channel.
bool makeChannel(quint32 mask, int bits, Channel& c) {
    c = Channel();
    if (mask == 0)
        return true;
    if (bits < 32 && (mask >> bits) != 0)
        return false;
    c.mask = mask;
    c.shift = std::countr_zero(mask);
    c.width = std::popcount(mask);
    return std::countr_one(mask >> c.shift) == c.width;
}

// Resolutions outside 2.54 to 25,400 dots per inch are nonsense written by a
// broken writer; the picture is kept and the resolution forgotten.
int plausibleResolution(qint32 dpm) {
    return (dpm >= 100 && dpm <= 1000000) ? dpm : 0;
}

// The header fields as stored, before they are trusted.
struct Raw {
    const uchar* d = nullptr;
    qint64 size = 0;
    quint32 fileSize = 0, offBits = 0, headerSize = 0;
    bool core = false, os2v2 = false;
    qint64 width = 0, height = 0;
    quint32 planes = 0, bits = 0, compression = Rgb, imageSize = 0, colorsUsed = 0;
    qint32 xppm = 0, yppm = 0;
    qint64 tableStart = 0;  // where the bit masks or the palette begin
};

// The file header and the info header of any known size.
bool readFields(const QByteArray& data, Raw& r, Error& err) {
    r.size = data.size();
    r.d = reinterpret_cast<const uchar*>(data.constData());
    const uchar* d = r.d;
    if (r.size < 2 || d[0] != 'B' || d[1] != 'M')
        return fail(err, Error::UnknownFormat);
    if (r.size < kFileHeaderSize + 4)
        return fail(err, Error::Damaged);

    r.fileSize = le::u32(d + 2);
    r.offBits = le::u32(d + 10);
    r.headerSize = le::u32(d + 14);
    const quint32 headerSize = r.headerSize;
    r.core = headerSize == kCoreHeaderSize;
    const bool windows = headerSize == kInfoHeaderSize || headerSize == 52 || headerSize == 56 ||
                         headerSize == kV4HeaderSize || headerSize == kV5HeaderSize;
    r.os2v2 = !windows && headerSize >= 16 && headerSize <= kOs2HeaderMax;
    if (!r.core && !windows && !r.os2v2)
        return fail(err, Error::Damaged);
    if (r.size < kFileHeaderSize + qint64(headerSize))
        return fail(err, Error::Damaged);
    // A writer that records more bytes than the file holds was cut off: refuse
    // the file rather than show part of it as if it were whole.
    if (qint64(r.fileSize) > r.size)
        return fail(err, Error::Damaged);

    // Fields past the end of a short OS/2 2.x header are zero.
    const uchar* ih = d + kFileHeaderSize;
    auto field32 = [&](quint32 off) -> quint32 { return off + 4 <= headerSize ? le::u32(ih + off) : 0; };
    if (r.core) {
        r.width = le::u16(ih + 4);
        r.height = le::u16(ih + 6);
        r.planes = le::u16(ih + 8);
        r.bits = le::u16(ih + 10);
    } else {
        r.width = le::i32(ih + 4);
        r.height = le::i32(ih + 8);
        r.planes = le::u16(ih + 12);
        r.bits = le::u16(ih + 14);
        r.compression = field32(16);
        r.imageSize = field32(20);
        r.xppm = qint32(field32(24));
        r.yppm = qint32(field32(28));
        r.colorsUsed = field32(32);
    }
    r.tableStart = kFileHeaderSize + qint64(headerSize);
    return true;
}

// The picture's size, its bit count and its compression, and whether they go together.
bool checkGeometry(Raw& r, Header& h, Error& err) {
    if (r.planes != 1)
        return fail(err, Error::Damaged);
    if (r.width <= 0 || r.height == 0)
        return fail(err, Error::Damaged);
    h.topDown = r.height < 0;
    r.height = qAbs(r.height);
    if (r.width > kMaxSide || r.height > kMaxSide)
        return fail(err, Error::TooLarge);

    switch (r.bits) {
    case 1: case 2: case 4: case 8: case 16: case 24: case 32: break;
    case 0:   // the pixels are an embedded JPEG or PNG stream
    case 64:  // 16 bits per channel
        return fail(err, Error::Unsupported);
    default: return fail(err, Error::Damaged);
    }
    switch (r.compression) {
    case Rgb: break;
    case Rle8:
    case Rle4:
        if (r.bits != (r.compression == Rle8 ? 8u : 4u))
            return fail(err, Error::Damaged);
        if (h.topDown)  // run-length pictures are always stored bottom-up
            return fail(err, Error::Damaged);
        break;
    case BitFields:
        if (r.os2v2)  // OS/2 2.x: Huffman 1D fax coding
            return fail(err, Error::Unsupported);
        [[fallthrough]];
    case AlphaBitFields:
        if (r.bits != 16 && r.bits != 32)
            return fail(err, Error::Damaged);
        break;
    case Jpeg:  // OS/2 2.x: RLE24
    case Png:
    case Cmyk:
    case CmykRle8:
    case CmykRle4: return fail(err, Error::Unsupported);
    default: return fail(err, Error::Damaged);
    }
    return true;
}

// Bit masks: inside a V2+ header, or right after a 40-byte header.
bool readMasks(Raw& r, Header& h, Error& err) {
    quint32 masks[3] = {0, 0, 0};
    if (r.compression == BitFields || r.compression == AlphaBitFields) {
        const uchar* m;
        if (r.headerSize >= 52) {
            m = r.d + kFileHeaderSize + 40;
        } else {
            const qint64 maskBytes = r.compression == AlphaBitFields ? 16 : 12;
            if (r.tableStart + maskBytes > r.size)
                return fail(err, Error::Damaged);
            m = r.d + r.tableStart;
            r.tableStart += maskBytes;
        }
        for (int i = 0; i < 3; ++i)
            masks[i] = le::u32(m + 4 * i);
    } else if (r.bits == 16) {
        masks[0] = 0x7C00, masks[1] = 0x03E0, masks[2] = 0x001F;
    } else if (r.bits == 32) {
        masks[0] = 0x00FF0000, masks[1] = 0x0000FF00, masks[2] = 0x000000FF;
    }
    if (r.bits >= 16 && r.bits != 24) {
        const int bits = int(r.bits);
        if (!makeChannel(masks[0], bits, h.red) || !makeChannel(masks[1], bits, h.green) ||
            !makeChannel(masks[2], bits, h.blue))
            return fail(err, Error::Damaged);
        // Overlapping channels or no colour at all is no picture. (An 8-8-0
        // layout is odd but describes every pixel exactly, so it is read.)
        if ((masks[0] & masks[1]) || (masks[0] & masks[2]) || (masks[1] & masks[2]) ||
            (masks[0] | masks[1] | masks[2]) == 0)
            return fail(err, Error::Damaged);
    }
    return true;
}

// Palette: the declared number of entries, or the full table by default.
bool readPalette(const Raw& r, Header& h, Error& err) {
    if (r.bits > 8)
        return true;
    const qint64 entrySize = r.core ? 3 : 4;
    const qint64 maxEntries = qint64(1) << r.bits;
    qint64 count = r.colorsUsed ? qint64(r.colorsUsed) : maxEntries;
    if (count > maxEntries) {
        // A longer table than the depth can use is tolerated when it lies
        // wholly before the pixels; only its first entries can be used.
        if (r.tableStart + count * entrySize > r.offBits)
            return fail(err, Error::Damaged);
        count = maxEntries;
    }
    if (r.tableStart + count * entrySize > r.offBits) {
        // Some writers leave out the unused tail of a default-sized table.
        if (r.colorsUsed != 0)
            return fail(err, Error::Damaged);
        count = (r.offBits - r.tableStart) / entrySize;
        if (count == 0)
            return fail(err, Error::Damaged);
    }
    h.palette.reserve(int(count));
    for (qint64 i = 0; i < count; ++i) {
        const uchar* e = r.d + r.tableStart + i * entrySize;
        h.palette.append(qRgb(e[2], e[1], e[0]));
    }
    return true;
}

// The pixel data must be there: a size field larger than the rest of the
// file means the file was cut short.
bool checkPixelData(const Raw& r, Header& h, Error& err) {
    h.pixelOffset = r.offBits;
    h.pixelBytes = r.size - r.offBits;
    if (!r.core && r.headerSize >= 24 && r.imageSize != 0 && qint64(r.imageSize) > h.pixelBytes)
        return fail(err, Error::Damaged);
    if (r.compression == Rle8 || r.compression == Rle4) {
        if (r.imageSize != 0)
            h.pixelBytes = r.imageSize;
    } else {
        // Only the padding after the last row may be missing.
        const qint64 lastRow = (r.width * r.bits + 7) / 8;
        if ((r.height - 1) * h.rowBytes + lastRow > h.pixelBytes)
            return fail(err, Error::Damaged);
    }
    return true;
}

}  // namespace

bool readHeader(const QByteArray& data, Header& h, Error& err) {
    h = Header();
    Raw r;
    if (!readFields(data, r, err) || !checkGeometry(r, h, err) || !readMasks(r, h, err))
        return false;

    h.width = r.width;
    h.height = r.height;
    h.bits = int(r.bits);
    h.compression = r.compression;
    if (!sizeAllowed(r.width, r.height, h.pictureBits()))
        return fail(err, Error::TooLarge);
    h.rowBytes = ((r.width * r.bits + 31) / 32) * 4;

    if (r.offBits < r.tableStart || qint64(r.offBits) > r.size)
        return fail(err, Error::Damaged);
    if (!readPalette(r, h, err) || !checkPixelData(r, h, err))
        return false;

    h.dotsPerMeterX = plausibleResolution(r.xppm);
    h.dotsPerMeterY = plausibleResolution(r.yppm);
    if (!h.dotsPerMeterX || !h.dotsPerMeterY)
        h.dotsPerMeterX = h.dotsPerMeterY = 0;
    return true;
}

}  // namespace engine::codecs::bmp

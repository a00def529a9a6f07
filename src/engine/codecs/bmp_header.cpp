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

}  // namespace

bool readHeader(const QByteArray& data, Header& h, Error& err) {
    h = Header();
    const qint64 size = data.size();
    const uchar* d = reinterpret_cast<const uchar*>(data.constData());
    if (size < 2 || d[0] != 'B' || d[1] != 'M')
        return fail(err, Error::UnknownFormat);
    if (size < kFileHeaderSize + 4)
        return fail(err, Error::Damaged);

    const quint32 fileSize = le::u32(d + 2);
    const quint32 offBits = le::u32(d + 10);
    const quint32 headerSize = le::u32(d + 14);
    const bool core = headerSize == kCoreHeaderSize;
    const bool windows = headerSize == kInfoHeaderSize || headerSize == 52 || headerSize == 56 ||
                         headerSize == kV4HeaderSize || headerSize == kV5HeaderSize;
    const bool os2v2 = !windows && headerSize >= 16 && headerSize <= kOs2HeaderMax;
    if (!core && !windows && !os2v2)
        return fail(err, Error::Damaged);
    if (size < kFileHeaderSize + qint64(headerSize))
        return fail(err, Error::Damaged);
    // A writer that records more bytes than the file holds was cut off: refuse
    // the file rather than show part of it as if it were whole.
    if (qint64(fileSize) > size)
        return fail(err, Error::Damaged);

    // Fields past the end of a short OS/2 2.x header are zero.
    const uchar* ih = d + kFileHeaderSize;
    auto field32 = [&](quint32 off) -> quint32 { return off + 4 <= headerSize ? le::u32(ih + off) : 0; };

    qint64 width, height;
    quint32 planes, bits, compression = Rgb, imageSize = 0, colorsUsed = 0;
    qint32 xppm = 0, yppm = 0;
    if (core) {
        width = le::u16(ih + 4);
        height = le::u16(ih + 6);
        planes = le::u16(ih + 8);
        bits = le::u16(ih + 10);
    } else {
        width = le::i32(ih + 4);
        height = le::i32(ih + 8);
        planes = le::u16(ih + 12);
        bits = le::u16(ih + 14);
        compression = field32(16);
        imageSize = field32(20);
        xppm = qint32(field32(24));
        yppm = qint32(field32(28));
        colorsUsed = field32(32);
    }
    if (planes != 1)
        return fail(err, Error::Damaged);
    if (width <= 0 || height == 0)
        return fail(err, Error::Damaged);
    h.topDown = height < 0;
    height = qAbs(height);
    if (width > kMaxSide || height > kMaxSide)
        return fail(err, Error::TooLarge);

    // Bit count and compression together.
    switch (bits) {
    case 1: case 2: case 4: case 8: case 16: case 24: case 32: break;
    case 0:   // the pixels are an embedded JPEG or PNG stream
    case 64:  // 16 bits per channel
        return fail(err, Error::Unsupported);
    default: return fail(err, Error::Damaged);
    }
    switch (compression) {
    case Rgb: break;
    case Rle8:
    case Rle4:
        if (bits != (compression == Rle8 ? 8u : 4u))
            return fail(err, Error::Damaged);
        if (h.topDown)  // run-length pictures are always stored bottom-up
            return fail(err, Error::Damaged);
        break;
    case BitFields:
        if (os2v2)  // OS/2 2.x: Huffman 1D fax coding
            return fail(err, Error::Unsupported);
        [[fallthrough]];
    case AlphaBitFields:
        if (bits != 16 && bits != 32)
            return fail(err, Error::Damaged);
        break;
    case Jpeg:  // OS/2 2.x: RLE24
    case Png:
    case Cmyk:
    case CmykRle8:
    case CmykRle4: return fail(err, Error::Unsupported);
    default: return fail(err, Error::Damaged);
    }

    // Bit masks: inside a V2+ header, or right after a 40-byte header.
    qint64 tableStart = kFileHeaderSize + qint64(headerSize);
    quint32 masks[3] = {0, 0, 0};
    if (compression == BitFields || compression == AlphaBitFields) {
        const uchar* m;
        if (headerSize >= 52) {
            m = ih + 40;
        } else {
            const qint64 maskBytes = compression == AlphaBitFields ? 16 : 12;
            if (tableStart + maskBytes > size)
                return fail(err, Error::Damaged);
            m = d + tableStart;
            tableStart += maskBytes;
        }
        for (int i = 0; i < 3; ++i)
            masks[i] = le::u32(m + 4 * i);
    } else if (bits == 16) {
        masks[0] = 0x7C00, masks[1] = 0x03E0, masks[2] = 0x001F;
    } else if (bits == 32) {
        masks[0] = 0x00FF0000, masks[1] = 0x0000FF00, masks[2] = 0x000000FF;
    }
    if (bits >= 16 && bits != 24) {
        if (!makeChannel(masks[0], int(bits), h.red) || !makeChannel(masks[1], int(bits), h.green) ||
            !makeChannel(masks[2], int(bits), h.blue))
            return fail(err, Error::Damaged);
        // Overlapping channels or no colour at all is no picture. (An 8-8-0
        // layout is odd but describes every pixel exactly, so it is read.)
        if ((masks[0] & masks[1]) || (masks[0] & masks[2]) || (masks[1] & masks[2]) ||
            (masks[0] | masks[1] | masks[2]) == 0)
            return fail(err, Error::Damaged);
    }

    h.width = width;
    h.height = height;
    h.bits = int(bits);
    h.compression = compression;
    if (!sizeAllowed(width, height, h.pictureBits()))
        return fail(err, Error::TooLarge);
    h.rowBytes = ((width * bits + 31) / 32) * 4;

    if (offBits < tableStart || qint64(offBits) > size)
        return fail(err, Error::Damaged);

    // Palette: the declared number of entries, or the full table by default.
    if (bits <= 8) {
        const qint64 entrySize = core ? 3 : 4;
        const qint64 maxEntries = qint64(1) << bits;
        qint64 count = colorsUsed ? qint64(colorsUsed) : maxEntries;
        if (count > maxEntries) {
            // A longer table than the depth can use is tolerated when it lies
            // wholly before the pixels; only its first entries can be used.
            if (tableStart + count * entrySize > offBits)
                return fail(err, Error::Damaged);
            count = maxEntries;
        }
        if (tableStart + count * entrySize > offBits) {
            // Some writers leave out the unused tail of a default-sized table.
            if (colorsUsed != 0)
                return fail(err, Error::Damaged);
            count = (offBits - tableStart) / entrySize;
            if (count == 0)
                return fail(err, Error::Damaged);
        }
        h.palette.reserve(int(count));
        for (qint64 i = 0; i < count; ++i) {
            const uchar* e = d + tableStart + i * entrySize;
            h.palette.append(qRgb(e[2], e[1], e[0]));
        }
    }

    // The pixel data must be there: a size field larger than the rest of the
    // file means the file was cut short.
    h.pixelOffset = offBits;
    h.pixelBytes = size - offBits;
    if (!core && headerSize >= 24 && imageSize != 0 && qint64(imageSize) > h.pixelBytes)
        return fail(err, Error::Damaged);
    if (compression == Rle8 || compression == Rle4) {
        if (imageSize != 0)
            h.pixelBytes = imageSize;
    } else {
        // Only the padding after the last row may be missing.
        const qint64 lastRow = (width * bits + 7) / 8;
        if ((height - 1) * h.rowBytes + lastRow > h.pixelBytes)
            return fail(err, Error::Damaged);
    }

    h.dotsPerMeterX = plausibleResolution(xppm);
    h.dotsPerMeterY = plausibleResolution(yppm);
    if (!h.dotsPerMeterX || !h.dotsPerMeterY)
        h.dotsPerMeterX = h.dotsPerMeterY = 0;
    return true;
}

}  // namespace engine::codecs::bmp

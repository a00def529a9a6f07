// PCX reading: 1 bit, 2 and 4 bits packed or as 1-bit planes, 8 bits with the
// 256-colour table at the end, 24 bits as three planes (and 32 as four).
// Scanlines are decoded one at a time into a buffer of one line, so a lying
// bytes-per-line costs no more than that line.
#include "engine/codecs/codecs.h"
#include "engine/codecs/little_endian.h"
#include "engine/codecs/pcx_format.h"

#include <cstring>
#include <vector>

namespace engine::codecs {

namespace {

using namespace pcx;

bool fail(Error& err, Error e) {
    err = e;
    return false;
}

// Run-length decoding that carries a run over from one scanline to the next,
// as some writers do.
class RleReader {
public:
    RleReader(const uchar* data, qint64 size, bool compressed)
        : d_(data), size_(size), compressed_(compressed) {}

    // Fills the line; false when the data ends first.
    bool readLine(uchar* line, qint64 n) {
        qint64 i = 0;
        if (!compressed_) {
            if (pos_ + n > size_)
                return false;
            memcpy(line, d_ + pos_, size_t(n));
            pos_ += n;
            return true;
        }
        while (i < n) {
            if (runLeft_ > 0) {
                const qint64 k = qMin(runLeft_, n - i);
                memset(line + i, runValue_, size_t(k));
                i += k;
                runLeft_ -= int(k);
                continue;
            }
            if (pos_ >= size_)
                return false;
            const uchar c = d_[pos_++];
            if ((c & 0xC0) == 0xC0) {
                if (pos_ >= size_)
                    return false;
                runLeft_ = c & 0x3F;
                runValue_ = d_[pos_++];
            } else {
                line[i++] = c;
            }
        }
        return true;
    }

private:
    const uchar* d_;
    qint64 size_;
    bool compressed_;
    qint64 pos_ = 0;
    int runLeft_ = 0;
    uchar runValue_ = 0;
};

QList<QRgb> headerPalette(const uchar* h, int entries) {
    QList<QRgb> table;
    for (int i = 0; i < entries; ++i) {
        const uchar* e = h + HeaderPalette + 3 * i;
        table.append(qRgb(e[0], e[1], e[2]));
    }
    // Old black-and-white writers leave the table empty: black on white.
    if (entries == 2 && table[0] == table[1])
        table = {qRgb(0, 0, 0), qRgb(255, 255, 255)};
    return table;
}

void convertLine(const uchar* line, qint64 bpl, int bpp, int planes, int width, uchar* dst) {
    if (planes == 1) {
        switch (bpp) {
        case 1:
            memcpy(dst, line, size_t((width + 7) / 8));
            if (width & 7)  // the bits past the last pixel are the file's padding
                dst[width >> 3] &= uchar(0xFF << (8 - (width & 7)));
            break;
        case 2:
            for (int x = 0; x < width; ++x)
                dst[x] = (line[x >> 2] >> (6 - 2 * (x & 3))) & 3;
            break;
        case 4:
            for (int x = 0; x < width; ++x)
                dst[x] = (x & 1) ? (line[x >> 1] & 15) : (line[x >> 1] >> 4);
            break;
        case 8: memcpy(dst, line, size_t(width)); break;
        }
    } else if (bpp == 1) {  // bit planes: plane p holds bit p of the index
        for (int x = 0; x < width; ++x) {
            const int shift = 7 - (x & 7);
            uchar v = 0;
            for (int p = 0; p < planes; ++p)
                v |= uchar(((line[p * bpl + (x >> 3)] >> shift) & 1) << p);
            dst[x] = v;
        }
    } else if (planes == 3) {  // R, G, B planes into B, G, R bytes
        const uchar *r = line, *g = line + bpl, *b = line + 2 * bpl;
        for (int x = 0; x < width; ++x, dst += 3) {
            dst[0] = b[x];
            dst[1] = g[x];
            dst[2] = r[x];
        }
    } else {  // R, G, B and an alpha plane the engine does not keep
        const uchar *r = line, *g = line + bpl, *b = line + 2 * bpl;
        auto* out = reinterpret_cast<QRgb*>(dst);
        for (int x = 0; x < width; ++x)
            out[x] = qRgb(r[x], g[x], b[x]);
    }
}

// The engine depth for a layout; 0 for layouts this reader does not know.
int pictureBits(int bpp, int planes) {
    if (planes == 1) {
        switch (bpp) {
        case 1: return 1;
        case 2:
        case 4: return 4;
        case 8: return 8;
        }
    } else if (bpp == 1 && planes <= 4) {
        return 4;
    } else if (bpp == 8 && planes == 3) {
        return 24;
    } else if (bpp == 8 && planes == 4) {
        return 32;
    }
    return 0;
}

}  // namespace

bool decodePcx(const QByteArray& data, Decoded& out, Error& err) {
    out = Decoded();
    const qint64 size = data.size();
    const uchar* h = reinterpret_cast<const uchar*>(data.constData());
    if (size < 1 || h[Manufacturer] != kManufacturer)
        return fail(err, Error::UnknownFormat);
    if (size < kHeaderSize)
        return fail(err, Error::Damaged);
    if (h[Version] > 5 || h[Version] == 1 || h[Encoding] > 1)
        return fail(err, Error::Damaged);
    const int bpp = h[BitsPerPixel];
    const int planes = h[Planes];
    const int xMin = le::u16(h + XMin), yMin = le::u16(h + YMin);
    const int xMax = le::u16(h + XMax), yMax = le::u16(h + YMax);
    const qint64 bpl = le::u16(h + BytesPerLine);
    if (xMax < xMin || yMax < yMin || planes == 0 || bpp == 0)
        return fail(err, Error::Damaged);
    const int bits = pictureBits(bpp, planes);
    if (bits == 0) {
        const bool known = (bpp == 1 || bpp == 2 || bpp == 4 || bpp == 8) && planes <= 4;
        return fail(err, known ? Error::Unsupported : Error::Damaged);
    }
    const int width = xMax - xMin + 1, height = yMax - yMin + 1;
    if (!sizeAllowed(width, height, bits))
        return fail(err, Error::TooLarge);
    if (bpl < (qint64(width) * bpp + 7) / 8)
        return fail(err, Error::Damaged);

    // The 256-colour table sits in the last 769 bytes, after the pixel data.
    qint64 dataEnd = size;
    QList<QRgb> table;
    if (bits == 8) {
        if (size >= kHeaderSize + kTrailingPaletteSize && h[size - kTrailingPaletteSize] == kPaletteMarker) {
            const uchar* p = h + size - kTrailingPaletteSize + 1;
            for (int i = 0; i < 256; ++i)
                table.append(qRgb(p[3 * i], p[3 * i + 1], p[3 * i + 2]));
            dataEnd = size - kTrailingPaletteSize;
        } else {
            table = grayTable(256);  // no table at the end: a grey picture
        }
    } else if (bits <= 4) {
        table = headerPalette(h, 1 << (bpp * planes));
    }

    // Each run of two bytes gives at most 63 bytes: data too short to fill
    // every line is refused before the picture is allocated.
    const qint64 lineBytes = bpl * planes;
    const qint64 packed = dataEnd - kHeaderSize;
    const qint64 maxUnpacked = h[Encoding] == kRle ? (packed / 2) * kMaxRun + packed % 2 : packed;
    if (maxUnpacked < lineBytes * height)
        return fail(err, Error::Damaged);

    QImage img(width, height, formatForBits(bits));
    if (img.isNull())
        return fail(err, Error::OutOfMemory);
    std::vector<uchar> line;
    try {
        line.resize(size_t(lineBytes));
    } catch (const std::bad_alloc&) {
        return fail(err, Error::OutOfMemory);
    }
    RleReader rle(h + kHeaderSize, dataEnd - kHeaderSize, h[Encoding] == kRle);
    for (int y = 0; y < height; ++y) {
        if (!rle.readLine(line.data(), lineBytes))
            return fail(err, Error::Damaged);
        convertLine(line.data(), bpl, bpp, planes, width, img.scanLine(y));
    }
    if (bits <= 8)
        img.setColorTable(table);

    // Some writers put the picture size in the resolution fields.
    const int hDpi = le::u16(h + HorizontalDpi), vDpi = le::u16(h + VerticalDpi);
    if (hDpi > 0 && vDpi > 0 && !(hDpi == width && vDpi == height)) {
        img.setDotsPerMeterX(qRound(hDpi / 0.0254));
        img.setDotsPerMeterY(qRound(vDpi / 0.0254));
    }
    out.picture.image = img;
    out.picture.bits = bits;
    err = Error::None;
    return true;
}

}  // namespace engine::codecs

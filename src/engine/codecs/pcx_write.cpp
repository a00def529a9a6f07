// PCX writing: 1 bit, 4 bits as four 1-bit planes (the form every reader
// knows), 8 bits with the 256-colour table at the end, 24 bits as three
// planes. Every row is written whole, whatever the width.
#include "engine/codecs/codec_support.h"
#include "engine/codecs/codecs.h"
#include "engine/codecs/little_endian.h"
#include "engine/codecs/pcx_format.h"

#include <cstring>
#include <vector>

namespace engine::codecs {

namespace {

using namespace pcx;

// Encodes one plane line into `out` (room for 2 * n bytes); returns the end.
// Bytes with the two top bits set must be written as a run, even a run of one.
uchar* encodeRle(const uchar* p, qint64 n, uchar* out) {
    qint64 i = 0;
    while (i < n) {
        const uchar v = p[i];
        qint64 run = 1;
        while (i + run < n && run < kMaxRun && p[i + run] == v)
            ++run;
        if (run > 1 || (v & 0xC0) == 0xC0)
            *out++ = uchar(0xC0 | run);
        *out++ = v;
        i += run;
    }
    return out;
}

// The bytes of each plane for one row (planes * bpl bytes, padding zero).
void planeLine(const QImage& img, int bits, int y, qint64 bpl, uchar* line) {
    const int w = img.width();
    const uchar* src = img.constScanLine(y);
    switch (bits) {
    case 1: {
        const int used = (w + 7) / 8;
        memcpy(line, src, size_t(used));
        if (w & 7)  // clear the bits past the last pixel
            line[used - 1] &= uchar(0xFF << (8 - (w & 7)));
        break;
    }
    case 4:
        for (int x = 0; x < w; ++x) {
            const uchar v = src[x];
            const uchar bit = uchar(0x80 >> (x & 7));
            for (int p = 0; p < 4; ++p)
                if (v & (1 << p))
                    line[p * bpl + (x >> 3)] |= bit;
        }
        break;
    case 8: memcpy(line, src, size_t(w)); break;
    case 24:
        for (int x = 0; x < w; ++x) {
            line[x] = src[3 * x + 2];            // red
            line[bpl + x] = src[3 * x + 1];      // green
            line[2 * bpl + x] = src[3 * x];      // blue
        }
        break;
    }
}


}  // namespace

bool encodePcx(const Picture& pic, const EncodeOptions&, QByteArray& out, Error& err) {
    out.clear();
    if (pic.isNull()) {
        err = Error::NoPicture;
        return false;
    }
    const int bits = pic.bits;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24) {
        err = Error::Unsupported;
        return false;
    }
    if (!sizeAllowed(pic.width(), pic.height(), bits)) {
        err = Error::TooLarge;
        return false;
    }
    const QImage img = pic.image.format() == formatForBits(bits) ? pic.image : makePicture(pic.image, bits).image;
    if (img.isNull()) {
        err = Error::OutOfMemory;
        return false;
    }
    QList<QRgb> table;
    if (bits <= 8) {
        const int maxEntries = 1 << bits;
        table = img.colorTable();
        if (table.isEmpty())
            table = grayTable(maxEntries);
        if (table.size() > maxEntries)
            table.resize(maxEntries);
        if (bits != 1 && (bits == 4 || table.size() < 256) && !support::indexesFit(img, int(table.size()))) {
            err = Error::BadArgument;  // pixels pointing past the table
            return false;
        }
        while (table.size() < maxEntries)
            table.append(qRgb(0, 0, 0));
    }

    const int planes = bits == 24 ? 3 : (bits == 4 ? 4 : 1);
    const int bpp = (bits == 8 || bits == 24) ? 8 : 1;
    const int w = img.width(), h = img.height();
    const qint64 bpl = (((qint64(w) * bpp + 7) / 8) + 1) & ~qint64(1);  // even, as readers expect
    if (bpl > 0xFFFF) {
        err = Error::TooLarge;
        return false;
    }

    QByteArray header(kHeaderSize, '\0');
    uchar* hd = reinterpret_cast<uchar*>(header.data());
    hd[Manufacturer] = kManufacturer;
    hd[Version] = kVersion;
    hd[Encoding] = kRle;
    hd[BitsPerPixel] = uchar(bpp);
    le::put16(hd + XMax, quint16(w - 1));
    le::put16(hd + YMax, quint16(h - 1));
    le::put16(hd + HorizontalDpi, quint16(qBound(0, qRound(img.dotsPerMeterX() * 0.0254), 0xFFFF)));
    le::put16(hd + VerticalDpi, quint16(qBound(0, qRound(img.dotsPerMeterY() * 0.0254), 0xFFFF)));
    if (bits <= 4) {
        for (int i = 0; i < table.size(); ++i) {
            hd[HeaderPalette + 3 * i] = uchar(qRed(table[i]));
            hd[HeaderPalette + 3 * i + 1] = uchar(qGreen(table[i]));
            hd[HeaderPalette + 3 * i + 2] = uchar(qBlue(table[i]));
        }
    }
    hd[Planes] = uchar(planes);
    le::put16(hd + BytesPerLine, quint16(bpl));
    le::put16(hd + PaletteInfo, 1);

    out = header;
    out.reserve(kHeaderSize + qint64(h) * bpl * planes + kTrailingPaletteSize);
    std::vector<uchar> line(size_t(bpl * planes));
    std::vector<uchar> packed(line.size() * 2);
    for (int y = 0; y < h; ++y) {
        std::fill(line.begin(), line.end(), uchar(0));
        planeLine(img, bits, y, bpl, line.data());
        uchar* end = packed.data();
        for (int p = 0; p < planes; ++p)
            end = encodeRle(line.data() + p * bpl, bpl, end);
        out.append(reinterpret_cast<const char*>(packed.data()), end - packed.data());
    }
    if (bits == 8) {
        out.append(char(kPaletteMarker));
        for (QRgb c : table) {
            out.append(char(qRed(c)));
            out.append(char(qGreen(c)));
            out.append(char(qBlue(c)));
        }
    }
    err = Error::None;
    return true;
}

}  // namespace engine::codecs

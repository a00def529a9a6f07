// BMP reading: the header is checked by readHeader, the rows are converted here
// straight into the engine's store format for the picture's depth.
#include "engine/codecs/bmp_format.h"
#include "engine/codecs/codecs.h"
#include "engine/codecs/large_pages.h"
#include "engine/codecs/little_endian.h"

#include <cstring>

namespace engine::codecs {

namespace {

using bmp::Channel;
using bmp::Header;

// Scales a channel value of any width to 0..255, rounding to nearest.
struct Scaler {
    Channel c;
    quint64 max = 0;
    explicit Scaler(const Channel& ch) : c(ch), max(ch.width ? (quint64(1) << ch.width) - 1 : 0) {}
    uchar operator()(quint32 pixel) const {
        if (!max)
            return 0;
        const quint64 v = (pixel & c.mask) >> c.shift;
        if (c.width == 8)
            return uchar(v);
        return uchar((v * 255 + max / 2) / max);
    }
};

void convertRow(const Header& h, const uchar* src, uchar* dst, const Scaler* sc) {
    const qint64 w = h.width;
    switch (h.bits) {
    case 1:
        memcpy(dst, src, size_t((w + 7) / 8));
        if (w & 7)  // the bits past the last pixel are the file's padding
            dst[w >> 3] &= uchar(0xFF << (8 - (w & 7)));
        break;
    case 2:
        for (qint64 x = 0; x < w; ++x)
            dst[x] = (src[x >> 2] >> (6 - 2 * (x & 3))) & 3;
        break;
    case 4:
        for (qint64 x = 0; x < w; ++x)
            dst[x] = (x & 1) ? (src[x >> 1] & 15) : (src[x >> 1] >> 4);
        break;
    case 8: memcpy(dst, src, size_t(w)); break;
    case 16:
        if (h.pictureBits() == 16) {
            auto* out = reinterpret_cast<quint16*>(dst);
            for (qint64 x = 0; x < w; ++x)
                out[x] = le::u16(src + 2 * x) & 0x7FFF;
        } else {
            for (qint64 x = 0; x < w; ++x, dst += 3) {
                const quint32 v = le::u16(src + 2 * x);
                dst[0] = sc[2](v);
                dst[1] = sc[1](v);
                dst[2] = sc[0](v);
            }
        }
        break;
    case 24: memcpy(dst, src, size_t(w * 3)); break;
    case 32: {
        auto* out = reinterpret_cast<QRgb*>(dst);
        if (h.red.mask == 0xFF0000 && h.green.mask == 0xFF00 && h.blue.mask == 0xFF) {
            for (qint64 x = 0; x < w; ++x, src += 4)
                out[x] = qRgb(src[2], src[1], src[0]);
        } else {
            for (qint64 x = 0; x < w; ++x) {
                const quint32 v = le::u32(src + 4 * x);
                out[x] = qRgb(sc[0](v), sc[1](v), sc[2](v));
            }
        }
        break;
    }
    }
}

// Pixels pointing past a short palette are shown black: the table is extended
// up to the highest index used, never beyond the depth's own limit.
void coverIndexes(QImage& img, QList<QRgb>& table, int pictureBits) {
    int need = pictureBits == 1 ? 2 : 0;
    if (pictureBits != 1 && table.size() < (1 << pictureBits)) {
        uchar top = 0;
        for (int y = 0; y < img.height(); ++y) {
            const uchar* row = img.constScanLine(y);
            for (int x = 0; x < img.width(); ++x)
                top = qMax(top, row[x]);
        }
        need = top + 1;
    }
    while (table.size() < need)
        table.append(qRgb(0, 0, 0));
}

}  // namespace

bool decodeBmp(const QByteArray& data, Decoded& out, Error& err) {
    out = Decoded();
    Header h;
    if (!bmp::readHeader(data, h, err))
        return false;
    const int pictureBits = h.pictureBits();
    QImage img(int(h.width), int(h.height), formatForBits(pictureBits));
    if (img.isNull()) {
        err = Error::OutOfMemory;
        return false;
    }
    preferLargePages(img.bits(), img.sizeInBytes());
    const uchar* pixels = reinterpret_cast<const uchar*>(data.constData()) + h.pixelOffset;
    if (h.compression == bmp::Rle8 || h.compression == bmp::Rle4) {
        img.fill(0);
        if (!bmp::decodeRle(pixels, h.pixelBytes, h.bits, img, err))
            return false;
    } else {
        const Scaler sc[3] = {Scaler(h.red), Scaler(h.green), Scaler(h.blue)};
        for (qint64 row = 0; row < h.height; ++row) {
            const qint64 y = h.topDown ? row : h.height - 1 - row;
            convertRow(h, pixels + row * h.rowBytes, img.scanLine(int(y)), sc);
        }
    }
    if (pictureBits <= 8) {
        QList<QRgb> table = h.palette;
        coverIndexes(img, table, pictureBits);
        img.setColorTable(table);
    }
    if (h.dotsPerMeterX > 0) {
        img.setDotsPerMeterX(h.dotsPerMeterX);
        img.setDotsPerMeterY(h.dotsPerMeterY);
    }
    out.picture.image = img;
    out.picture.bits = pictureBits;
    err = Error::None;
    return true;
}

}  // namespace engine::codecs

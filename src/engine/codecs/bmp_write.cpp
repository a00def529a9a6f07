// BMP writing: every depth as an uncompressed bottom-up BITMAPINFOHEADER file,
// so that reading it back gives the same pixels, palette and depth. This is
// the undo-file format, so the 24-bit path copies rows straight into the
// pre-sized output.
#include "engine/codecs/bmp_format.h"
#include "engine/codecs/codec_support.h"
#include "engine/codecs/codecs.h"
#include "engine/codecs/large_pages.h"
#include "engine/codecs/little_endian.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace engine::codecs {

namespace {

// The picture's pixels in the store format of its depth.
QImage storeImage(const Picture& pic) {
    const QImage::Format f = formatForBits(pic.bits);
    if (pic.image.format() == f)
        return pic.image;
    return makePicture(pic.image, pic.bits).image;
}

QList<QRgb> paletteFor(const QImage& img, int bits) {
    const int maxEntries = 1 << bits;
    QList<QRgb> table = img.colorTable();
    if (table.size() > maxEntries)
        table.resize(maxEntries);
    if (table.isEmpty())
        table = grayTable(maxEntries);
    if (bits == 1)
        while (table.size() < 2)
            table.append(qRgb(0, 0, 0));
    return table;
}

void writeRow(const QImage& img, int bits, int y, uchar* dst, qint64 rowBytes) {
    const int w = img.width();
    const uchar* src = img.constScanLine(y);
    qint64 used = 0;
    switch (bits) {
    case 1:
        used = (w + 7) / 8;
        memcpy(dst, src, size_t(used));
        if (w & 7)  // clear the bits past the last pixel
            dst[used - 1] &= uchar(0xFF << (8 - (w & 7)));
        break;
    case 4:
        used = (w + 1) / 2;
        for (int x = 0; x + 1 < w; x += 2)
            dst[x >> 1] = uchar((src[x] << 4) | (src[x + 1] & 15));
        if (w & 1)
            dst[w >> 1] = uchar(src[w - 1] << 4);
        break;
    case 8:
        used = w;
        memcpy(dst, src, size_t(w));
        break;
    case 16: {
        used = qint64(w) * 2;
        const auto* px = reinterpret_cast<const quint16*>(src);
        for (int x = 0; x < w; ++x)
            le::put16(dst + 2 * x, px[x] & 0x7FFF);
        break;
    }
    case 24:
        used = qint64(w) * 3;
        memcpy(dst, src, size_t(used));  // BGR888 rows are BMP rows
        break;
    case 32: {
        used = qint64(w) * 4;
        const auto* px = reinterpret_cast<const QRgb*>(src);
        for (int x = 0; x < w; ++x) {
            uchar* o = dst + 4 * x;
            o[0] = uchar(qBlue(px[x]));
            o[1] = uchar(qGreen(px[x]));
            o[2] = uchar(qRed(px[x]));
            o[3] = 0;
        }
        break;
    }
    }
    if (used < rowBytes)
        memset(dst + used, 0, size_t(rowBytes - used));
}

// What a BMP file of the picture holds before its rows, and how its rows lie.
struct Layout {
    QImage img;  // the pixels in the store format of the depth
    int bits = 0;
    qint64 rowBytes = 0, height = 0, offBits = 0, fileSize = 0;
    QByteArray head;  // file header, info header and palette
};

bool layOut(const Picture& pic, Layout& l, Error& err) {
    const int bits = pic.bits;
    if (pic.isNull()) {
        err = Error::NoPicture;
        return false;
    }
    if (formatForBits(bits) == QImage::Format_Invalid) {
        err = Error::Unsupported;
        return false;
    }
    if (!sizeAllowed(pic.width(), pic.height(), bits)) {
        err = Error::TooLarge;
        return false;
    }
    l.img = storeImage(pic);
    if (l.img.isNull()) {
        err = Error::OutOfMemory;
        return false;
    }
    QList<QRgb> table;
    if (bits <= 8) {
        table = paletteFor(l.img, bits);
        // A 4 or 8 bit picture whose pixels point past its table cannot be
        // written faithfully; better to say so than to write other colours.
        if (bits != 1 && (bits == 4 || table.size() < 256) && !support::indexesFit(l.img, int(table.size()))) {
            err = Error::BadArgument;
            return false;
        }
    }
    const qint64 w = l.img.width(), h = l.img.height();
    l.bits = bits;
    l.height = h;
    l.rowBytes = ((w * bits + 31) / 32) * 4;
    const qint64 imageBytes = l.rowBytes * h;
    l.offBits = bmp::kFileHeaderSize + bmp::kInfoHeaderSize + qint64(table.size()) * 4;
    l.fileSize = l.offBits + imageBytes;
    l.head = QByteArray(l.offBits, '\0');
    uchar* d = reinterpret_cast<uchar*>(l.head.data());
    d[0] = 'B';
    d[1] = 'M';
    le::put32(d + 2, quint32(l.fileSize));
    le::put32(d + 10, quint32(l.offBits));
    uchar* ih = d + bmp::kFileHeaderSize;
    le::put32(ih, bmp::kInfoHeaderSize);
    le::put32(ih + 4, quint32(w));
    le::put32(ih + 8, quint32(h));
    le::put16(ih + 12, 1);
    le::put16(ih + 14, quint16(bits));
    le::put32(ih + 16, bmp::Rgb);
    le::put32(ih + 20, quint32(imageBytes));
    le::put32(ih + 24, quint32(qMax(0, l.img.dotsPerMeterX())));
    le::put32(ih + 28, quint32(qMax(0, l.img.dotsPerMeterY())));
    le::put32(ih + 32, quint32(table.size()));
    le::put32(ih + 36, 0);
    uchar* pal = ih + bmp::kInfoHeaderSize;
    for (qsizetype i = 0; i < table.size(); ++i) {
        pal[4 * i] = uchar(qBlue(table[i]));
        pal[4 * i + 1] = uchar(qGreen(table[i]));
        pal[4 * i + 2] = uchar(qRed(table[i]));
    }
    return true;
}

}  // namespace

bool encodeBmp(const Picture& pic, const EncodeOptions&, QByteArray& out, Error& err) {
    out.clear();
    Layout l;
    if (!layOut(pic, l, err))
        return false;
    out = QByteArray(l.fileSize, Qt::Uninitialized);
    if (out.size() != l.fileSize) {
        out.clear();
        err = Error::OutOfMemory;
        return false;
    }
    uchar* d = reinterpret_cast<uchar*>(out.data());
    preferLargePages(d, l.fileSize);
    memcpy(d, l.head.constData(), size_t(l.offBits));
    uchar* pixels = d + l.offBits;
    const qint64 h = l.height;
    for (qint64 y = 0; y < h; ++y)
        writeRow(l.img, l.bits, int(y), pixels + (h - 1 - y) * l.rowBytes, l.rowBytes);
    err = Error::None;
    return true;
}

bool encodeBmpTo(const Picture& pic, const std::function<bool(const char*, qint64)>& sink, Error& err) {
    Layout l;
    if (!layOut(pic, l, err))
        return false;
    if (!sink(l.head.constData(), l.head.size())) {
        err = Error::WriteFailed;
        return false;
    }
    // Rows bottom-up, as many to a piece as fit in about a megabyte.
    const qint64 perPiece = std::max<qint64>(1, (qint64(1) << 20) / std::max<qint64>(1, l.rowBytes));
    std::vector<uchar> piece(size_t(std::min(perPiece, std::max<qint64>(1, l.height)) * l.rowBytes));
    for (qint64 y = l.height - 1; y >= 0;) {
        qint64 n = 0;
        for (; n < perPiece && y >= 0; ++n, --y)
            writeRow(l.img, l.bits, int(y), piece.data() + n * l.rowBytes, l.rowBytes);
        if (!sink(reinterpret_cast<const char*>(piece.data()), n * l.rowBytes)) {
            err = Error::WriteFailed;
            return false;
        }
    }
    err = Error::None;
    return true;
}

}  // namespace engine::codecs

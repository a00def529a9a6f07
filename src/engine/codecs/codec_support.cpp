#include "engine/codecs/codec_support.h"

#include <QStringDecoder>

#include <cstring>

namespace engine::codecs::support {

bool allocate(QImage& image, int width, int height, int bits, Error& err) {
    if (!sizeAllowed(width, height, bits)) {
        err = Error::TooLarge;
        return false;
    }
    image = QImage(width, height, formatForBits(bits));
    if (image.isNull()) {
        err = Error::OutOfMemory;
        return false;
    }
    return true;
}

static QImage packMono(const QImage& indexed, const QList<QRgb>& table) {
    QImage mono(indexed.size(), QImage::Format_Mono);
    if (mono.isNull())
        return mono;
    mono.setColorTable(table);
    const int w = indexed.width();
    for (int y = 0; y < indexed.height(); ++y) {
        const uchar* s = indexed.constScanLine(y);
        uchar* d = mono.scanLine(y);
        memset(d, 0, size_t(mono.bytesPerLine()));
        for (int x = 0; x < w; ++x)
            if (s[x])
                d[x >> 3] |= uchar(0x80 >> (x & 7));
    }
    return mono;
}

static QImage unpackMono(const QImage& mono) {
    QImage out(mono.size(), QImage::Format_Indexed8);
    if (out.isNull())
        return out;
    out.setColorTable(mono.colorTable());
    const int w = mono.width();
    for (int y = 0; y < mono.height(); ++y) {
        const uchar* s = mono.constScanLine(y);
        uchar* d = out.scanLine(y);
        for (int x = 0; x < w; ++x)
            d[x] = (s[x >> 3] >> (7 - (x & 7))) & 1;
    }
    return out;
}

Picture finishPalette(QImage indexed, QList<QRgb> table, int bits) {
    Picture pic;
    if (indexed.isNull())
        return pic;
    int maxIndex = 0;
    for (int y = 0; y < indexed.height() && maxIndex < 255; ++y) {
        const uchar* s = indexed.constScanLine(y);
        for (int x = 0; x < indexed.width(); ++x)
            maxIndex = qMax(maxIndex, int(s[x]));
    }
    const int minEntries = bits == 1 ? 2 : 1;
    while (table.size() < qMax(maxIndex + 1, minEntries))
        table.append(qRgb(0, 0, 0));
    if (bits == 1 && table.size() == 2) {
        pic.image = packMono(indexed, table);
        pic.bits = pic.image.isNull() ? 0 : 1;
        return pic;
    }
    if (bits <= 4)
        bits = table.size() <= 16 ? 4 : 8;
    indexed.setColorTable(table);
    pic.image = indexed;
    pic.bits = bits;
    return pic;
}

QString decodeComment(const QByteArray& bytes) {
    QByteArray b = bytes;
    while (!b.isEmpty() && b.back() == '\0')
        b.chop(1);
    if (b.isEmpty())
        return QString();
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(b);
    if (!utf8.hasError())
        return text;
    return QString::fromLatin1(b);
}

QByteArray encodeComment(const QString& text, int maxBytes) {
    QByteArray b = text.toUtf8();
    b.replace('\0', QByteArray());
    if (b.size() > maxBytes) {
        int cut = maxBytes;
        while (cut > 0 && (uchar(b[cut]) & 0xC0) == 0x80)
            --cut;  // never split a multi-byte character
        b.truncate(cut);
    }
    return b;
}

bool isLatin1(const QString& text) {
    for (QChar c : text)
        if (c.unicode() > 0xFF)
            return false;
    return true;
}

QList<QRgb> grayRamp(int n, bool whiteIsZero) {
    QList<QRgb> t = grayTable(n);
    if (whiteIsZero)
        std::reverse(t.begin(), t.end());
    return t;
}

bool isGrayRamp(const QList<QRgb>& table, int n, bool whiteIsZero) {
    return table.size() == n && table == grayRamp(n, whiteIsZero);
}

// The quarter turns with their mirrors (orientations 5 to 8) in one pass:
// out(x, y) = in(sx, sy) with
//   5: sx = y,       sy = x          (transpose)
//   6: sx = y,       sy = H - 1 - x  (turned clockwise)
//   7: sx = W - 1 - y, sy = H - 1 - x
//   8: sx = W - 1 - y, sy = x        (turned counter-clockwise)
// W and H being the input's size. Along an output row the source walks a
// column, so the work is done in tiles that keep both sides in the cache.
template <int Bpp>
static void turnTiles(const QImage& in, QImage& out, int orientation) {
    constexpr int kTile = 64;
    const int ow = out.width(), oh = out.height();
    const int inW = in.width(), inH = in.height();
    const uchar* base = in.constBits();
    const qsizetype inBpl = in.bytesPerLine();
    uchar* outBase = out.bits();
    const qsizetype outBpl = out.bytesPerLine();
    const bool flipX = orientation == 7 || orientation == 8;  // sx counts down
    const bool flipY = orientation == 6 || orientation == 7;  // sy counts down
    const qsizetype step = flipY ? -inBpl : inBpl;
    for (int ty = 0; ty < oh; ty += kTile) {
        const int yEnd = qMin(oh, ty + kTile);
        for (int tx = 0; tx < ow; tx += kTile) {
            const int xEnd = qMin(ow, tx + kTile);
            for (int y = ty; y < yEnd; ++y) {
                const int sx = flipX ? inW - 1 - y : y;
                const int sy0 = flipY ? inH - 1 - tx : tx;
                const uchar* s = base + qsizetype(sy0) * inBpl + qsizetype(sx) * Bpp;
                uchar* d = outBase + qsizetype(y) * outBpl + qsizetype(tx) * Bpp;
                for (int x = tx; x < xEnd; ++x, d += Bpp, s += step)
                    memcpy(d, s, Bpp);
            }
        }
    }
}

static QImage turn(const QImage& in, int orientation) {
    QImage out(in.height(), in.width(), in.format());
    if (out.isNull())
        return out;
    out.setColorTable(in.colorTable());
    out.setDotsPerMeterX(in.dotsPerMeterY());
    out.setDotsPerMeterY(in.dotsPerMeterX());
    switch (in.depth()) {
    case 8: turnTiles<1>(in, out, orientation); break;
    case 16: turnTiles<2>(in, out, orientation); break;
    case 24: turnTiles<3>(in, out, orientation); break;
    case 32: turnTiles<4>(in, out, orientation); break;
    default: return QImage();
    }
    return out;
}

bool applyOrientation(Picture& pic, int orientation, Error& err) {
    if (orientation < 2 || orientation > 8 || pic.isNull())
        return true;
    QImage img = pic.image;
    if (orientation >= 5) {
        const bool mono = img.format() == QImage::Format_Mono;
        if (!sizeAllowed(img.height(), img.width(), pic.bits)) {
            err = Error::TooLarge;
            return false;
        }
        QImage t = turn(mono ? unpackMono(img) : img, orientation);
        if (t.isNull()) {
            err = Error::OutOfMemory;
            return false;
        }
        img = mono ? packMono(t, t.colorTable()) : t;
    } else {
        img = img.mirrored(orientation != 4, orientation != 2);
    }
    if (img.isNull()) {
        err = Error::OutOfMemory;
        return false;
    }
    pic.image = img;
    pic.lineage.add(GeometryStep{PixelMove::fromOrientation(orientation), QRect()});
    return true;
}

bool toStoreFormat(QImage& image, int bits) {
    const QImage::Format want = formatForBits(bits);
    if (image.format() != want)
        image = image.convertToFormat(want);
    return !image.isNull();
}

bool sampleSource(const Picture& pic, bool greyAllowed, SampleSource& src, Error& err) {
    const bool grey = pic.bits == 8 && isGray(pic) && pic.image.format() == QImage::Format_Indexed8;
    if (grey ? !greyAllowed : pic.bits != 24 && pic.bits != 32) {
        err = Error::Unsupported;
        return false;
    }
    src.image = pic.image;
    src.bits = grey ? 8 : pic.bits;
    if (grey) {
        const QList<QRgb> table = pic.image.colorTable();
        for (int i = 0; i < 256; ++i)
            src.levels[size_t(i)] = i < table.size() ? uchar(qRed(table[i])) : 0;
    } else if (!toStoreFormat(src.image, pic.bits)) {
        err = Error::OutOfMemory;
        return false;
    }
    return true;
}

bool indexesFit(const QImage& img, int limit) {
    for (int y = 0; y < img.height(); ++y) {
        const uchar* row = img.constScanLine(y);
        for (int x = 0; x < img.width(); ++x)
            if (row[x] >= limit)
                return false;
    }
    return true;
}

}  // namespace engine::codecs::support

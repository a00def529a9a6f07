#include "engine/picture.h"

namespace engine {

QImage::Format formatForBits(int bits) {
    switch (bits) {
    case 1: return QImage::Format_Mono;
    case 4:
    case 8: return QImage::Format_Indexed8;
    case 16: return QImage::Format_RGB555;
    case 24: return QImage::Format_BGR888;
    case 32: return QImage::Format_RGB32;
    default: return QImage::Format_Invalid;
    }
}

static int naturalBits(const QImage& image) {
    switch (image.format()) {
    case QImage::Format_Mono:
    case QImage::Format_MonoLSB: return 1;
    case QImage::Format_Indexed8: return image.colorCount() <= 16 ? 4 : 8;
    case QImage::Format_Grayscale8: return 8;
    case QImage::Format_RGB555:
    case QImage::Format_RGB16: return 16;
    case QImage::Format_BGR888:
    case QImage::Format_RGB888: return 24;
    default: return image.hasAlphaChannel() ? 32 : 24;
    }
}

Picture makePicture(const QImage& image, int bits) {
    Picture pic;
    if (image.isNull())
        return pic;
    if (bits == 0)
        bits = naturalBits(image);
    const QImage::Format target = formatForBits(bits);
    if (target == QImage::Format_Invalid)
        return pic;
    if (image.format() == QImage::Format_Grayscale8 && target == QImage::Format_Indexed8) {
        QImage out(image.size(), QImage::Format_Indexed8);
        out.setColorTable(grayTable(256));
        for (int y = 0; y < image.height(); ++y)
            memcpy(out.scanLine(y), image.constScanLine(y), size_t(image.width()));
        out.setDotsPerMeterX(image.dotsPerMeterX());
        out.setDotsPerMeterY(image.dotsPerMeterY());
        pic.image = out;
    } else {
        pic.image = image.format() == target ? image : image.convertToFormat(target);
    }
    pic.bits = pic.image.isNull() ? 0 : bits;
    return pic;
}

bool isGray(const Picture& pic) {
    if (pic.isNull() || pic.bits > 8)
        return false;
    const QList<QRgb> table = pic.image.colorTable();
    if (table.isEmpty())
        return false;
    for (QRgb c : table)
        if (qRed(c) != qGreen(c) || qGreen(c) != qBlue(c))
            return false;
    return true;
}

int depthCode(const Picture& pic) {
    if ((pic.bits == 4 || pic.bits == 8) && isGray(pic))
        return pic.bits * 10;
    return pic.bits;
}

qint64 dibSize(const Picture& pic) {
    if (pic.isNull())
        return 0;
    const qint64 rowBytes = ((qint64(pic.width()) * pic.bits + 31) / 32) * 4;
    return rowBytes * pic.height();
}

bool sizeAllowed(qint64 width, qint64 height, int bits) {
    if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide)
        return false;
    const int storeBits = bits == 4 ? 8 : bits;  // 4-bit pictures are stored a byte per pixel
    const qint64 rowBytes = ((width * qMax(storeBits, 1) + 31) / 32) * 4;
    return rowBytes * height <= kMaxPixelBytes;
}

QList<QRgb> grayTable(int n) {
    QList<QRgb> table;
    table.reserve(n);
    for (int i = 0; i < n; ++i) {
        const int v = n > 1 ? (i * 255) / (n - 1) : 0;
        table.append(qRgb(v, v, v));
    }
    return table;
}

}  // namespace engine

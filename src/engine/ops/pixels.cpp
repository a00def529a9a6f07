#include "engine/ops/pixels.h"

namespace engine::ops::detail {

bool wellFormed(const Picture& pic) {
    if (pic.isNull())
        return false;
    if (pic.image.format() != formatForBits(pic.bits))
        return false;
    if (isPaletteDepth(pic.bits)) {
        const int n = pic.image.colorCount();
        const int maxEntries = 1 << pic.bits;
        if (n < 1 || n > maxEntries)
            return false;
    }
    return true;
}

QImage toRgb32(const QImage& image) {
    if (image.format() == QImage::Format_RGB32)
        return image;
    return image.convertToFormat(QImage::Format_RGB32);
}

void copyMetrics(QImage& to, const QImage& from) {
    if (to.isNull())
        return;
    to.setDotsPerMeterX(from.dotsPerMeterX());
    to.setDotsPerMeterY(from.dotsPerMeterY());
}

Picture fromRgb32(const QImage& rgb32, int bits, const QImage& metricsFrom) {
    Picture out;
    const QImage::Format f = formatForBits(bits);
    if (rgb32.isNull() || (bits != 16 && bits != 24 && bits != 32))
        return out;
    out.image = rgb32.format() == f ? rgb32 : rgb32.convertToFormat(f);
    if (out.image.isNull())
        return Picture();
    copyMetrics(out.image, metricsFrom);
    out.bits = bits;
    return out;
}

QImage allocImage(qint64 width, qint64 height, QImage::Format format) {
    int bits = 0;
    switch (format) {
    case QImage::Format_Mono: bits = 1; break;
    case QImage::Format_Indexed8: bits = 8; break;
    case QImage::Format_RGB555: bits = 16; break;
    case QImage::Format_BGR888: bits = 24; break;
    default: bits = 32; break;
    }
    if (!sizeAllowed(width, height, bits))
        return QImage();
    return QImage(int(width), int(height), format);
}

}  // namespace engine::ops::detail

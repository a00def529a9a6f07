#include "engine/ops/pixels.h"

#include <cstdlib>
#include <cstring>
#ifdef __linux__
#include <sys/mman.h>
#endif

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
    // A working copy is refused beyond 2 GiB rather than risked.
    if (qint64(image.width()) * image.height() * 4 > 2 * kMaxPixelBytes)
        return QImage();
    if (image.format() != QImage::Format_BGR888)
        return image.convertToFormat(QImage::Format_RGB32);
    // 24 bits, the usual case for photos: spread over the cores.
    QImage out = allocImage(image.width(), image.height(), QImage::Format_RGB32);
    if (out.isNull())
        return out;
    copyMetrics(out, image);
    uchar* const base = out.bits();
    const qsizetype bpl = out.bytesPerLine();
    const int w = image.width();
    parallelFor(image.height(), 64, [&](int y0, int y1) {
        for (int y = y0; y < y1; ++y) {
            const uchar* s = image.constScanLine(y);  // bytes blue, green, red
            auto* d = reinterpret_cast<QRgb*>(base + y * bpl);
            for (int x = 0; x < w; ++x, s += 3)
                d[x] = 0xFF000000u | (uint32_t(s[2]) << 16) | (uint32_t(s[1]) << 8) | s[0];
        }
    });
    return out;
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
    if (rgb32.format() == f) {
        out.image = rgb32;
    } else if (f == QImage::Format_BGR888 && rgb32.format() == QImage::Format_RGB32) {
        // The common way back for photos, spread over the cores.
        out.image = allocImage(rgb32.width(), rgb32.height(), f);
        if (!out.image.isNull()) {
            uchar* const base = out.image.bits();
            const qsizetype bpl = out.image.bytesPerLine();
            const int w = rgb32.width();
            parallelFor(rgb32.height(), 64, [&](int y0, int y1) {
                for (int y = y0; y < y1; ++y) {
                    const auto* s = reinterpret_cast<const QRgb*>(rgb32.constScanLine(y));
                    uchar* d = base + y * bpl;
                    for (int x = 0; x < w; ++x, d += 3) {
                        d[0] = uchar(qBlue(s[x]));
                        d[1] = uchar(qGreen(s[x]));
                        d[2] = uchar(qRed(s[x]));
                    }
                }
            });
        }
    } else {
        out.image = rgb32.convertToFormat(f);
    }
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
#ifdef __linux__
    // A big picture gets memory in 2 MiB pages: touching a fresh 72 MB picture
    // page by page costs more than writing it; huge pages cut that several times.
    const qsizetype bpl = qsizetype(((width * bits + 31) / 32) * 4);
    const size_t bytes = size_t(bpl) * size_t(height);
    constexpr size_t kHuge = size_t(2) << 20;
    if (bytes >= 2 * kHuge) {
        const size_t total = (bytes + kHuge - 1) & ~(kHuge - 1);
        void* mem = std::aligned_alloc(kHuge, total);
        if (!mem)
            return QImage();
        madvise(mem, total, MADV_HUGEPAGE);
        QImage img(static_cast<uchar*>(mem), int(width), int(height), bpl, format, [](void* p) { std::free(p); }, mem);
        if (img.isNull())
            std::free(mem);
        return img;
    }
#endif
    return QImage(int(width), int(height), format);
}

QImage writableCopy(const QImage& image) {
    QImage out = allocImage(image.width(), image.height(), image.format());
    if (out.isNull())
        return out;
    if (image.colorCount() > 0)
        out.setColorTable(image.colorTable());
    copyMetrics(out, image);
    const qsizetype n = std::min(out.bytesPerLine(), image.bytesPerLine());
    uchar* const base = out.bits();
    const qsizetype bpl = out.bytesPerLine();
    parallelFor(image.height(), 256, [&](int y0, int y1) {
        for (int y = y0; y < y1; ++y)
            std::memcpy(base + y * bpl, image.constScanLine(y), size_t(n));
    });
    return out;
}

}  // namespace engine::ops::detail

#include "engine/view_rendition.h"

#include <QSysInfo>
#include <algorithm>
#include <cmath>
#include <vector>

namespace engine {

namespace {

// Shrinks a 24- or 32-bit picture (blue, green, red at bytes 0, 1, 2 of a
// pixel in both stores) in one pass: each pixel of the result is the mean of
// 2 x 2 samples spread evenly over the source pixels it covers. size must be
// at most half the picture's size either way.
QImage sampleDown(const QImage& picture, QSize size) {
    QImage out(size, QImage::Format_RGB32);
    if (out.isNull())
        return out;
    const int bpp = picture.format() == QImage::Format_BGR888 ? 3 : 4;
    const int w = size.width(), h = size.height();
    std::vector<int> xs(size_t(w) * 2);
    for (int i = 0; i < 2 * w; ++i)
        xs[size_t(i)] = std::min(picture.width() - 1, int((2 * qint64(i) + 1) * picture.width() / (4 * qint64(w)))) * bpp;
    const auto row = [&](int j) {
        return picture.constScanLine(std::min(picture.height() - 1, int((2 * qint64(j) + 1) * picture.height() / (4 * qint64(h)))));
    };
    for (int y = 0; y < h; ++y) {
        const uchar* r0 = row(2 * y);
        const uchar* r1 = row(2 * y + 1);
        auto* o = reinterpret_cast<quint32*>(out.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const int a = xs[size_t(2 * x)], b = xs[size_t(2 * x + 1)];
            quint32 px = 0xff000000u;
            for (int c = 0; c < 3; ++c)
                px |= quint32((r0[a + c] + r0[b + c] + r1[a + c] + r1[b + c] + 2) >> 2) << (8 * c);
            o[x] = px;
        }
    }
    return out;
}

}  // namespace

QImage scaleForView(const QImage& picture, QSize size) {
    if (picture.isNull() || size.isEmpty())
        return QImage();
    if (picture.size() == size)
        return picture.convertToFormat(QImage::Format_RGB32);
    const bool enlarging = size.width() >= picture.width() && size.height() >= picture.height();
    if (enlarging)
        return picture.scaled(size, Qt::IgnoreAspectRatio, Qt::FastTransformation)
            .convertToFormat(QImage::Format_RGB32);
    const bool bytesBgr = (picture.format() == QImage::Format_BGR888 || picture.format() == QImage::Format_RGB32) &&
                          QSysInfo::ByteOrder == QSysInfo::LittleEndian;
    if (bytesBgr && qint64(picture.width()) * picture.height() > kSmoothDirectPixels &&
        size.width() * 2 <= picture.width() && size.height() * 2 <= picture.height())
        return sampleDown(picture, size);
    QImage source = picture;
    if (qint64(picture.width()) * picture.height() > kSmoothDirectPixels) {
        // Nearest sampling to twice the target keeps the smoothing pass small;
        // averaging 2 x 2 samples hides most of the sampling's aliasing.
        const QSize twice(std::min(picture.width(), size.width() * 2), std::min(picture.height(), size.height() * 2));
        if (twice != picture.size())
            source = picture.scaled(twice, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    }
    if (source.format() != QImage::Format_RGB32)
        source = source.convertToFormat(QImage::Format_RGB32);
    return source.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation).convertToFormat(QImage::Format_RGB32);
}

Rendition renderRendition(const QImage& picture, QSize display, QRect area) {
    Rendition r;
    if (picture.isNull() || display.isEmpty())
        return r;
    area &= QRect(QPoint(0, 0), display);
    if (area.isEmpty())
        return r;
    if (display == picture.size()) {
        r.image = picture.copy(area).convertToFormat(QImage::Format_RGB32);
        r.area = area;
        return r;
    }
    if (area.size() == display) {
        r.image = scaleForView(picture, display);
        r.area = area;
        return r;
    }
    // Part of a scaled picture: the source pixels under the area, scaled as a
    // piece and placed where those pixels fall on screen.
    const double kx = double(display.width()) / picture.width();
    const double ky = double(display.height()) / picture.height();
    const int sx0 = std::clamp(int(std::floor(area.left() / kx)), 0, picture.width() - 1);
    const int sy0 = std::clamp(int(std::floor(area.top() / ky)), 0, picture.height() - 1);
    const int sx1 = std::clamp(int(std::ceil((area.right() + 1) / kx)), sx0 + 1, picture.width());
    const int sy1 = std::clamp(int(std::ceil((area.bottom() + 1) / ky)), sy0 + 1, picture.height());
    const int dx0 = int(std::lround(sx0 * kx)), dy0 = int(std::lround(sy0 * ky));
    const int dx1 = int(std::lround(sx1 * kx)), dy1 = int(std::lround(sy1 * ky));
    const QSize size(std::max(1, dx1 - dx0), std::max(1, dy1 - dy0));
    r.image = scaleForView(picture.copy(sx0, sy0, sx1 - sx0, sy1 - sy0), size);
    r.area = QRect(QPoint(dx0, dy0), size);
    return r;
}

}  // namespace engine

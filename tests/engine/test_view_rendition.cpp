// The view's scaled rendition: the fast path for big pictures must look like
// proper smoothing, and partial renditions must show the right pixels.
#include "engine/view_rendition.h"
#include "support/test_support.h"

#include <gtest/gtest.h>
#include <cmath>

using namespace engine;

namespace {

// A smooth photo-like picture: gradients and a soft circle, no noise.
QImage photo(int w, int h) {
    QImage img(w, h, QImage::Format_BGR888);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const double d = std::hypot(x - w / 2.0, y - h / 2.0) / (h / 3.0);
            img.setPixel(x, y, qRgb(x * 255 / w, y * 255 / h, int(255 / (1 + d * d))));
        }
    return img;
}

double meanDiff(const QImage& a, const QImage& b) {
    double sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q));
        }
    return sum / (3.0 * a.width() * a.height());
}

}  // namespace

TEST(ViewRendition, FastPathForBigPicturesLooksLikeSmoothing) {
    const QImage big = photo(2600, 1700);  // over the straight-smoothing limit
    ASSERT_GT(qint64(big.width()) * big.height(), kSmoothDirectPixels);
    const QImage fast = scaleForView(big, QSize(401, 263));
    const QImage smooth = big.scaled(401, 263, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    ASSERT_EQ(fast.size(), QSize(401, 263));
    EXPECT_EQ(fast.format(), QImage::Format_RGB32);
    EXPECT_LT(meanDiff(fast, smooth), 1.5);
}

TEST(ViewRendition, EnlargedPicturesKeepHardPixelsAndPartsLandInPlace) {
    QImage tiny(3, 2, QImage::Format_Indexed8);
    tiny.setColorTable({qRgb(255, 0, 0), qRgb(0, 0, 255)});
    tiny.fill(0);
    tiny.setPixel(1, 0, 1);
    const QImage big = scaleForView(tiny, QSize(30, 20));
    EXPECT_EQ(big.pixel(10, 0), qRgb(0, 0, 255));
    EXPECT_EQ(big.pixel(19, 9), qRgb(0, 0, 255));
    EXPECT_EQ(big.pixel(20, 9), qRgb(255, 0, 0));
    EXPECT_EQ(big.pixel(10, 10), qRgb(255, 0, 0));

    // A part of an actual-size picture is that part's pixels.
    const QImage pic = testsupport::makeTestPicture(300, 200, 24).image;
    const Rendition r = renderRendition(pic, pic.size(), QRect(50, 60, 40, 30));
    EXPECT_EQ(r.area, QRect(50, 60, 40, 30));
    EXPECT_EQ(r.image.pixel(0, 0), pic.pixel(50, 60));
    EXPECT_EQ(r.image.pixel(39, 29), pic.pixel(89, 89));
    // A part of an enlarged picture covers the asked area.
    const Rendition e = renderRendition(pic, QSize(900, 600), QRect(300, 300, 100, 90));
    EXPECT_TRUE(e.area.contains(QRect(300, 300, 100, 90)));
    EXPECT_EQ(e.image.pixel(QPoint(301, 301) - e.area.topLeft()), pic.pixel(100, 100));
    EXPECT_TRUE(renderRendition(pic, QSize(900, 600), QRect(1000, 1000, 5, 5)).image.isNull());
}

// The dedicated full-colour paths of the geometric operations (24-bit quarter
// turns and mirrors, halving) against independent per-pixel references, on
// noise pictures sized around their tiles, blocks and strips.
#include "engine/ops/ops.h"

#include <gtest/gtest.h>

#include <QRandomGenerator>

#include <functional>

using engine::Picture;
namespace ops = engine::ops;

namespace {

// Every byte random, so that no pixel can stand in for another.
Picture noise(int w, int h, int bits, unsigned seed) {
    QImage img(w, h, engine::formatForBits(bits));
    QRandomGenerator rng(seed);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, rng.generate() | 0xFF000000u);
    return engine::makePicture(img, bits);
}

// The first pixel that differs, or an empty string.
std::string firstDifference(const QImage& got, const QImage& want) {
    if (got.size() != want.size())
        return "size differs";
    for (int y = 0; y < want.height(); ++y)
        for (int x = 0; x < want.width(); ++x)
            if ((got.pixel(x, y) | 0xFF000000u) != (want.pixel(x, y) | 0xFF000000u))
                return "at " + std::to_string(x) + "," + std::to_string(y);
    return {};
}

}  // namespace

TEST(OpsFastPaths, FullColourTurnsAndMirrorsMoveEveryPixel) {
    // Widths on both sides of the 4-pixel blocks and the 32-pixel tiles; widths
    // that are multiples of 4 have rows without padding, so the last pixel of
    // the picture ends the buffer.
    const QSize sizes[] = {{1, 1}, {2, 3}, {4, 1}, {1, 4}, {5, 7}, {8, 8}, {31, 33}, {33, 31}, {64, 65}, {97, 40}, {40, 97}};
    for (QSize size : sizes) {
        const int w = size.width(), h = size.height();
        SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
        const Picture src = noise(w, h, 24, unsigned(w * 1000 + h));
        struct Case { int angle; bool lr, ud; int ow, oh; std::function<QPoint(int, int)> to; };
        const Case cases[] = {
            {9000, false, false, h, w, [&](int x, int y) { return QPoint(y, w - 1 - x); }},
            {27000, false, false, h, w, [&](int x, int y) { return QPoint(h - 1 - y, x); }},
            {18000, false, false, w, h, [&](int x, int y) { return QPoint(w - 1 - x, h - 1 - y); }},
            {0, true, false, w, h, [&](int x, int y) { return QPoint(w - 1 - x, y); }},
            {0, false, true, w, h, [&](int x, int y) { return QPoint(x, h - 1 - y); }},
        };
        for (const Case& c : cases) {
            QImage want(c.ow, c.oh, QImage::Format_RGB32);
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                    want.setPixel(c.to(x, y), src.image.pixel(x, y));
            Picture p = src;
            ASSERT_TRUE(ops::rotate(p, c.angle, c.lr, c.ud, false, Qt::white));
            EXPECT_EQ(p.image.format(), QImage::Format_BGR888);
            EXPECT_EQ(firstDifference(p.image, want), "") << c.angle << c.lr << c.ud;
        }
    }
}

TEST(OpsFastPaths, HalvingGivesTheRoundedMeanOfEachTwoByTwoBlock) {
    // Small, odd halves, and rows longer than one strip (256 output pixels).
    const QSize halves[] = {{1, 1}, {3, 1}, {7, 5}, {1, 9}, {300, 3}, {517, 2}};
    for (int bits : {24, 32}) {
        for (QSize half : halves) {
            SCOPED_TRACE(std::to_string(bits) + " bits, " + std::to_string(half.width()) + "x" + std::to_string(half.height()));
            const Picture src = noise(half.width() * 2, half.height() * 2, bits, unsigned(half.width() + bits));
            QImage want(half, QImage::Format_RGB32);
            for (int y = 0; y < half.height(); ++y) {
                for (int x = 0; x < half.width(); ++x) {
                    const QRgb q[4] = {src.image.pixel(2 * x, 2 * y), src.image.pixel(2 * x + 1, 2 * y),
                                       src.image.pixel(2 * x, 2 * y + 1), src.image.pixel(2 * x + 1, 2 * y + 1)};
                    auto mean = [&](int (*channel)(QRgb)) {
                        return (channel(q[0]) + channel(q[1]) + channel(q[2]) + channel(q[3]) + 2) / 4;
                    };
                    want.setPixel(x, y, qRgb(mean(qRed), mean(qGreen), mean(qBlue)));
                }
            }
            Picture p = src;
            ASSERT_TRUE(ops::resize(p, half.width(), half.height()));
            EXPECT_EQ(p.bits, bits);
            EXPECT_EQ(p.image.format(), src.image.format());
            EXPECT_EQ(firstDifference(p.image, want), "");
        }
    }
    // A 7 x 5 picture has no exact half: 3 x 2 still averages areas, a flat
    // colour staying flat.
    QImage odd(7, 5, QImage::Format_BGR888);
    odd.fill(QColor(10, 200, 77));
    Picture p = engine::makePicture(odd, 24);
    ASSERT_TRUE(ops::resize(p, 3, 2));
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(p.image.pixel(x, y), qRgb(10, 200, 77));
}

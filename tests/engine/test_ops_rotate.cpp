// Turning and mirroring: exact quarter turns and mirrors at every depth, the
// direction of a turn, and free angles.
#include "engine/ops/ops.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

using engine::Picture;
namespace ops = engine::ops;

namespace {

const int kCodes[] = {1, 4, 40, 8, 80, 16, 24, 32};
const QSize kSizes[] = {{1, 1}, {3, 5}, {33, 7}, {8, 3}, {17, 16}};

bool rot(Picture& p, int angle, bool lr = false, bool ud = false) {
    return ops::rotate(p, angle, lr, ud, false, Qt::white);
}

// Independent reference: where each pixel of the source ends up.
QImage mapPixels(const QImage& src, int outW, int outH, const std::function<QPoint(int, int)>& to) {
    QImage out(outW, outH, QImage::Format_RGB32);
    for (int y = 0; y < src.height(); ++y)
        for (int x = 0; x < src.width(); ++x)
            out.setPixel(to(x, y), src.pixel(x, y));
    return out;
}

}  // namespace

TEST(OpsRotate, QuarterTurnsAndMirrorsComeBackAtEveryDepth) {
    for (int code : kCodes) {
        for (QSize size : kSizes) {
            SCOPED_TRACE(QStringLiteral("code %1 size %2x%3").arg(code).arg(size.width()).arg(size.height()).toStdString());
            const Picture src = testsupport::makeTestPicture(size.width(), size.height(), code, 5);
            for (int angle : {9000, -9000, 27000, -27000, 18000, -18000}) {
                Picture p = src;
                const int turns = std::abs(angle) == 18000 ? 2 : 4;
                for (int i = 0; i < turns; ++i) {
                    ASSERT_TRUE(rot(p, angle));
                    EXPECT_EQ(p.bits, src.bits);
                    EXPECT_EQ(p.image.colorTable(), src.image.colorTable());
                }
                QString why;
                EXPECT_TRUE(testsupport::samePixels(p, src, &why)) << angle << " " << why.toStdString();
            }
            for (auto [lr, ud] : {std::pair{true, false}, std::pair{false, true}, std::pair{true, true}}) {
                Picture p = src;
                ASSERT_TRUE(rot(p, 0, lr, ud));
                ASSERT_TRUE(rot(p, 0, lr, ud));
                EXPECT_TRUE(testsupport::samePixels(p, src)) << lr << ud;
            }
            Picture full = src;
            ASSERT_TRUE(rot(full, 36000));
            ASSERT_TRUE(rot(full, -72000));
            EXPECT_TRUE(testsupport::samePixels(full, src));
        }
    }
}

TEST(OpsRotate, PixelsLandWhereATurnOrMirrorPutsThem) {
    for (int code : kCodes) {
        for (QSize size : kSizes) {
            const int w = size.width(), h = size.height();
            const Picture src = testsupport::makeTestPicture(w, h, code, 9);
            SCOPED_TRACE(QStringLiteral("code %1 size %2x%3").arg(code).arg(w).arg(h).toStdString());
            struct Case { int angle; bool lr, ud; int ow, oh; std::function<QPoint(int, int)> to; };
            const Case cases[] = {
                // Counter-clockwise: the top-right corner becomes the top-left.
                {9000, false, false, h, w, [&](int x, int y) { return QPoint(y, w - 1 - x); }},
                {-9000, false, false, h, w, [&](int x, int y) { return QPoint(h - 1 - y, x); }},
                {27000, false, false, h, w, [&](int x, int y) { return QPoint(h - 1 - y, x); }},
                {18000, false, false, w, h, [&](int x, int y) { return QPoint(w - 1 - x, h - 1 - y); }},
                {0, true, false, w, h, [&](int x, int y) { return QPoint(w - 1 - x, y); }},
                {0, false, true, w, h, [&](int x, int y) { return QPoint(x, h - 1 - y); }},
                // Mirror first, then turn: (x, y) -> (w-1-x, y) -> (y, x).
                {9000, true, false, h, w, [&](int x, int y) { return QPoint(y, x); }},
                {-9000, false, true, h, w, [&](int x, int y) { return QPoint(y, x); }},
            };
            for (const Case& c : cases) {
                Picture p = src;
                ASSERT_TRUE(ops::rotate(p, c.angle, c.lr, c.ud, true, Qt::red));
                const QImage expected = mapPixels(src.image, c.ow, c.oh, c.to);
                ASSERT_EQ(p.image.size(), expected.size()) << c.angle;
                EXPECT_EQ(testsupport::maxChannelDiff(p.image, expected), 0) << c.angle << c.lr << c.ud;
            }
        }
    }
}

TEST(OpsRotate, FreeAngleTurnsCounterClockwiseOntoTheBackground) {
    // A red block in the top-right corner of a white square: 45 degrees
    // counter-clockwise brings it to the top middle.
    QImage img(41, 41, QImage::Format_BGR888);
    img.fill(Qt::white);
    for (int y = 0; y < 8; ++y)
        for (int x = 33; x < 41; ++x)
            img.setPixel(x, y, qRgb(255, 0, 0));
    for (bool smooth : {false, true}) {
        Picture p = engine::makePicture(img, 24);
        ASSERT_TRUE(ops::rotate(p, 4500, false, false, smooth, QColor(0, 0, 255)));
        EXPECT_EQ(p.bits, 24);
        EXPECT_NEAR(p.width(), 58, 1);
        EXPECT_EQ(p.width(), p.height());
        const int mid = p.width() / 2;
        EXPECT_EQ(p.image.pixel(mid, 3), qRgb(255, 0, 0)) << smooth;
        EXPECT_EQ(p.image.pixel(3, mid), qRgb(255, 255, 255));
        EXPECT_EQ(p.image.pixel(0, 0), qRgb(0, 0, 255));  // uncovered corner
        EXPECT_EQ(p.image.pixel(mid, mid), qRgb(255, 255, 255));
    }
}

TEST(OpsRotate, FreeAngleDepths) {
    for (int code : kCodes) {
        Picture p = testsupport::makeTestPicture(12, 9, code);
        ASSERT_TRUE(ops::rotate(p, 1234, false, true, code % 2 == 0, Qt::white));
        const int expected = (code == 16 || code == 24 || code == 32) ? code : 24;
        EXPECT_EQ(p.bits, expected) << code;
        EXPECT_EQ(p.image.format(), engine::formatForBits(expected));
    }
}

TEST(OpsRotate, RefusesWhatItCannotMakeAndLeavesThePicture) {
    Picture empty;
    EXPECT_FALSE(rot(empty, 9000));
    // A long thin picture turned by 45 degrees would need far over the size limit.
    QImage thin(60000, 1, QImage::Format_Indexed8);
    thin.setColorTable(engine::grayTable(256));
    thin.fill(3);
    Picture p = engine::makePicture(thin, 8);
    const Picture before = p;
    EXPECT_FALSE(ops::rotate(p, 4500, false, false, true, Qt::white));
    EXPECT_EQ(p.image.size(), before.image.size());
    EXPECT_EQ(p.bits, 8);
    Picture small = testsupport::makeTestPicture(3, 2, 8);
    EXPECT_TRUE(rot(small, INT32_MIN));  // any angle value is safe
    EXPECT_TRUE(rot(small, INT32_MAX));
}

TEST(OpsRotate, BigPicturesTakeTheSameExactPaths) {
    // Big enough for the multi-threaded paths and the large-page allocations.
    for (int code : {24, 8, 1}) {
        const Picture src = testsupport::makeTestPicture(2003, 1201, code, 3);
        Picture p = src;
        for (int i = 0; i < 4; ++i)
            ASSERT_TRUE(rot(p, -9000));
        EXPECT_TRUE(testsupport::samePixels(p, src)) << code;
        ASSERT_TRUE(rot(p, 9000, true, true));
        // Mirrored both ways (a half turn), then a quarter turn left: a quarter turn right.
        EXPECT_EQ(p.image.pixel(0, 0), src.image.pixel(0, 1200));
        EXPECT_EQ(p.image.pixel(1200, 2002), src.image.pixel(2002, 0));
        EXPECT_EQ(p.image.pixel(17, 5), src.image.pixel(5, 1200 - 17));
    }
}

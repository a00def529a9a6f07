// Resizing and channel inversion.
#include "engine/ops/ops.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

using engine::Picture;
namespace ops = engine::ops;

namespace {

const int kCodes[] = {1, 4, 40, 8, 80, 16, 24, 32};

Picture flat(int w, int h, int code, QRgb colour) {
    QImage img(w, h, QImage::Format_BGR888);
    img.fill(QColor::fromRgb(colour));
    Picture p = engine::makePicture(img, 24);
    if (code != 24)
        ops::convertDepth(p, code, false, 128);
    return p;
}

QPolygon box(int l, int t, int r, int b) {
    return QPolygon({QPoint(l, t), QPoint(r, t), QPoint(r, b), QPoint(l, b)});
}

}  // namespace

TEST(OpsResize, SizesAndDepthsAndFlatColourStaysFlat) {
    const QSize targets[] = {{1, 1}, {16, 9}, {33, 7}, {100, 3}, {7, 40}, {250, 130}, {3, 200}};
    for (int code : kCodes) {
        const Picture src = flat(33, 17, code, qRgb(200, 100, 37));
        const QRgb colour = src.image.pixel(0, 0);
        for (QSize t : targets) {
            Picture p = src;
            ASSERT_TRUE(ops::resize(p, t.width(), t.height())) << code;
            EXPECT_EQ(p.image.size(), t);
            EXPECT_EQ(p.bits, src.bits);
            EXPECT_EQ(p.image.format(), src.image.format());
            EXPECT_EQ(p.image.colorTable(), src.image.colorTable());
            for (int y = 0; y < t.height(); ++y)
                for (int x = 0; x < t.width(); ++x)
                    ASSERT_EQ(p.image.pixel(x, y), colour) << code << " at " << x << "," << y;
        }
    }
}

TEST(OpsResize, ShrinkingAveragesAreasAndEnlargingIsSmooth) {
    // 2x2 blocks of distinct colours halve to exactly those colours.
    QImage img(8, 6, QImage::Format_BGR888);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 8; ++x)
            img.setPixel(x, y, qRgb((x / 2) * 60, (y / 2) * 100, 30));
    for (int code : {24, 32, 16}) {
        Picture p = engine::makePicture(img, 24);
        ops::convertDepth(p, code, false, 128);
        const QImage before = p.image;
        ASSERT_TRUE(ops::resize(p, 4, 3));
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 4; ++x)
                EXPECT_EQ(p.image.pixel(x, y), before.pixel(x * 2, y * 2)) << code;
    }
    // Black and white columns average to mid grey.
    QImage stripes(4, 2, QImage::Format_BGR888);
    for (int x = 0; x < 4; ++x)
        for (int y = 0; y < 2; ++y)
            stripes.setPixel(x, y, (x & 1) ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
    Picture s = engine::makePicture(stripes, 24);
    ASSERT_TRUE(ops::resize(s, 1, 1));
    EXPECT_NEAR(qRed(s.image.pixel(0, 0)), 128, 1);
    // Enlarging a black-white pair gives a monotone ramp with the ends kept.
    QImage pair(2, 1, QImage::Format_BGR888);
    pair.setPixel(0, 0, qRgb(0, 0, 0));
    pair.setPixel(1, 0, qRgb(255, 255, 255));
    Picture e = engine::makePicture(pair, 24);
    ASSERT_TRUE(ops::resize(e, 10, 1));
    EXPECT_EQ(qRed(e.image.pixel(0, 0)), 0);
    EXPECT_EQ(qRed(e.image.pixel(9, 0)), 255);
    for (int x = 1; x < 10; ++x)
        EXPECT_GE(qRed(e.image.pixel(x, 0)), qRed(e.image.pixel(x - 1, 0)));
}

TEST(OpsResize, RefusesBadSizes) {
    const Picture src = testsupport::makeTestPicture(5, 5, 8);
    for (QSize bad : {QSize(0, 5), QSize(5, 0), QSize(-1, -1), QSize(70000, 1), QSize(65535, 65535)}) {
        Picture p = src;
        EXPECT_FALSE(ops::resize(p, bad.width(), bad.height()));
        EXPECT_TRUE(testsupport::samePixels(p, src));
    }
    Picture empty;
    EXPECT_FALSE(ops::resize(empty, 5, 5));
}

TEST(OpsInvert, TwiceGivesTheOriginalWholeAndArea) {
    for (int code : kCodes) {
        for (QSize size : {QSize(1, 1), QSize(33, 7)}) {
            const Picture src = testsupport::makeTestPicture(size.width(), size.height(), code, 4);
            for (int flags = 1; flags < 8; ++flags) {
                Picture p = src;
                const bool r = flags & 1, g = flags & 2, b = flags & 4;
                ASSERT_TRUE(ops::invertChannels(p, true, QPolygon(), r, g, b));
                ASSERT_TRUE(ops::invertChannels(p, true, QPolygon(), r, g, b));
                EXPECT_TRUE(testsupport::samePixels(p, src)) << code << " flags " << flags;
                if (code == 16 || code == 24 || code == 32) {
                    ASSERT_TRUE(ops::invertChannels(p, false, box(1, 0, 20, 5), r, g, b));
                    ASSERT_TRUE(ops::invertChannels(p, false, box(1, 0, 20, 5), r, g, b));
                    EXPECT_TRUE(testsupport::samePixels(p, src)) << code << " flags " << flags;
                }
            }
        }
    }
}

TEST(OpsInvert, WholePalettePictureInvertsItsTable) {
    for (int code : {1, 4, 40, 8, 80}) {
        const Picture src = testsupport::makeTestPicture(9, 4, code, 8);
        Picture p = src;
        ASSERT_TRUE(ops::invertChannels(p, true, QPolygon(), true, true, true));
        EXPECT_EQ(p.bits, src.bits);
        ASSERT_EQ(p.image.colorCount(), src.image.colorCount());
        for (int i = 0; i < src.image.colorCount(); ++i) {
            const QRgb a = src.image.color(i), b = p.image.color(i);
            EXPECT_EQ(qRed(b), 255 - qRed(a));
            EXPECT_EQ(qGreen(b), 255 - qGreen(a));
            EXPECT_EQ(qBlue(b), 255 - qBlue(a));
        }
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 9; ++x)
                ASSERT_EQ(p.image.pixelIndex(x, y), src.image.pixelIndex(x, y));
        // Only the chosen channel.
        Picture blueOnly = src;
        ASSERT_TRUE(ops::invertChannels(blueOnly, true, QPolygon(), false, false, true));
        EXPECT_EQ(qRed(blueOnly.image.color(0)), qRed(src.image.color(0)));
        EXPECT_EQ(qBlue(blueOnly.image.color(0)), 255 - qBlue(src.image.color(0)));
    }
}

TEST(OpsInvert, AreaCoversTheSelectionRectangleOnly) {
    for (int code : {16, 24, 32}) {
        const Picture src = testsupport::makeTestPicture(12, 9, code, 6);
        Picture p = src;
        // The selection (3, 2)-(8, 6) covers columns 3..7 and rows 2..5.
        ASSERT_TRUE(ops::invertChannels(p, false, box(3, 2, 8, 6), false, false, true));
        EXPECT_EQ(p.bits, code);
        for (int y = 0; y < 9; ++y)
            for (int x = 0; x < 12; ++x) {
                const QRgb a = src.image.pixel(x, y), b = p.image.pixel(x, y);
                const bool inside = x >= 3 && x < 8 && y >= 2 && y < 6;
                EXPECT_EQ(qRed(b), qRed(a));
                EXPECT_EQ(qGreen(b), qGreen(a));
                if (!inside)
                    EXPECT_EQ(qBlue(b), qBlue(a)) << x << "," << y;
                else if (code == 16)  // 5-bit channel: inverted in its own steps
                    EXPECT_EQ((qBlue(b) >> 3), 31 - (qBlue(a) >> 3)) << x << "," << y;
                else
                    EXPECT_EQ(qBlue(b), 255 - qBlue(a)) << x << "," << y;
            }
        // Clipped at the edges; zero area and no corners change nothing.
        Picture q = src;
        ASSERT_TRUE(ops::invertChannels(q, false, box(-5, -5, 100, 100), true, true, true));
        EXPECT_EQ(q.image.pixel(11, 8) ^ 0x00FFFFFFu, src.image.pixel(11, 8) | 0xFF000000u);
        for (const QPolygon& nothing : {QPolygon(), box(0, 0, 0, 0), box(4, 4, 4, 8), box(20, 20, 30, 30)}) {
            Picture z = src;
            EXPECT_TRUE(ops::invertChannels(z, false, nothing, true, true, true));
            EXPECT_TRUE(testsupport::samePixels(z, src));
        }
    }
}

TEST(OpsInvert, AreaOnPalettePicturesIsRefused) {
    for (int code : {1, 4, 40, 8, 80}) {
        const Picture src = testsupport::makeTestPicture(12, 9, code);
        Picture p = src;
        EXPECT_FALSE(ops::invertChannels(p, false, box(1, 1, 5, 5), true, true, true)) << code;
        EXPECT_TRUE(testsupport::samePixels(p, src));
    }
    Picture empty;
    EXPECT_FALSE(ops::invertChannels(empty, true, QPolygon(), true, true, true));
}

TEST(OpsInvert, SharedCopiesAreNeverWrittenThrough) {
    for (QSize size : {QSize(9, 9), QSize(1500, 1100)}) {
        const Picture src = testsupport::makeTestPicture(size.width(), size.height(), 24);
        const QImage pristine = src.image.copy();
        Picture whole = src, area = src;
        ASSERT_TRUE(ops::invertChannels(whole, true, QPolygon(), true, true, true));
        ASSERT_TRUE(ops::invertChannels(area, false, box(0, 0, 5, 5), true, false, false));
        Picture pasted = src;
        ASSERT_TRUE(ops::pasteImage(pasted, whole, 0, 0));
        EXPECT_EQ(testsupport::maxChannelDiff(src.image, pristine), 0);
        EXPECT_NE(whole.image.pixel(3, 3), src.image.pixel(3, 3));
        EXPECT_NE(area.image.pixel(3, 3), src.image.pixel(3, 3));
        // Inverting a picture nobody shares works in place and twice gives it back.
        Picture own = Picture{src.image.copy(), 24};
        ASSERT_TRUE(ops::invertChannels(own, true, QPolygon(), true, true, true));
        ASSERT_TRUE(ops::invertChannels(own, true, QPolygon(), true, true, true));
        EXPECT_EQ(testsupport::maxChannelDiff(own.image, pristine), 0);
    }
}

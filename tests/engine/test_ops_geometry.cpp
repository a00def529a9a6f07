// Trimming, region trimming, pasting and the close-up they make together.
#include "engine/ops/ops.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <cmath>

using engine::Picture;
namespace ops = engine::ops;

namespace {

const int kCodes[] = {1, 4, 40, 8, 80, 16, 24, 32};

QPolygon box(int l, int t, int r, int b) {
    return QPolygon({QPoint(l, t), QPoint(r, t), QPoint(r, b), QPoint(l, b)});
}

// Whether pic shows src's pixels from (ox, oy) on.
bool showsPart(const Picture& pic, const Picture& src, int ox, int oy) {
    for (int y = 0; y < pic.height(); ++y)
        for (int x = 0; x < pic.width(); ++x)
            if (pic.image.pixel(x, y) != src.image.pixel(x + ox, y + oy))
                return false;
    return true;
}

double roundEven(double v) { return std::nearbyint(v); }

// Closing up as the picture control does it: the part beyond the band is cut
// from a copy, pasted over the band and the tail is cut off.
void closeUp(Picture& pic, int selL, int selT, int selR, int selB, bool horizontal, bool roundedPos) {
    const double W = pic.width(), H = pic.height();
    Picture part = pic;
    QPolygon beyond;
    double px, py;
    int b;
    if (horizontal) {
        beyond = box(selR, 0, int(roundEven(W)), int(roundEven(H)));
        b = selR - selL;
        px = W / 2 - 1 - selL;
        py = H / 2 - 1;
    } else {
        beyond = box(0, selB, int(roundEven(W)), int(roundEven(H)));
        b = selB - selT;
        px = W / 2 - 1;
        py = H / 2 - 1 - selT;
    }
    if (roundedPos) {
        px = roundEven(px);
        py = roundEven(py);
    }
    ops::regionTrim(part, beyond);
    ops::pasteImage(pic, part, px, py);
    if (horizontal)
        ops::regionTrim(pic, box(0, 0, int(roundEven(W - b - 1)), int(roundEven(H))));
    else
        ops::regionTrim(pic, box(0, 0, int(roundEven(W)), int(roundEven(H - b - 1))));
}

}  // namespace

TEST(OpsGeometry, TrimKeepsTheHalfOpenRectangleClipped) {
    for (int code : kCodes) {
        const Picture src = testsupport::makeTestPicture(33, 7, code, 2);
        SCOPED_TRACE(code);
        Picture p = src;
        ASSERT_TRUE(ops::trim(p, 3, 1, 14, 6));  // odd left edge: 1-bit pictures shift bits
        EXPECT_EQ(p.image.size(), QSize(11, 5));
        EXPECT_EQ(p.bits, src.bits);
        EXPECT_EQ(p.image.colorTable(), src.image.colorTable());
        EXPECT_TRUE(showsPart(p, src, 3, 1));

        p = src;
        ASSERT_TRUE(ops::trim(p, -10, -10, 5, 2));
        EXPECT_EQ(p.image.size(), QSize(5, 2));
        EXPECT_TRUE(showsPart(p, src, 0, 0));

        p = src;
        ASSERT_TRUE(ops::trim(p, 30, 5, 1000, 1000));
        EXPECT_EQ(p.image.size(), QSize(3, 2));
        EXPECT_TRUE(showsPart(p, src, 30, 5));

        p = src;
        ASSERT_TRUE(ops::trim(p, INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX));
        EXPECT_TRUE(testsupport::samePixels(p, src));

        // Nothing left: refused, picture untouched.
        for (QRect r : {QRect(QPoint(33, 0), QPoint(39, 6)), QRect(5, 5, 0, 2), QRect(5, 2, 3, 0),
                        QRect(QPoint(-9, -9), QPoint(-1, -1))}) {
            p = src;
            EXPECT_FALSE(ops::trim(p, r.left(), r.top(), r.left() + r.width(), r.top() + r.height()));
            EXPECT_TRUE(testsupport::samePixels(p, src));
        }
        p = src;
        EXPECT_FALSE(ops::trim(p, 10, 0, 5, 7));  // left beyond right
    }
    Picture empty;
    EXPECT_FALSE(ops::trim(empty, 0, 0, 1, 1));
}

TEST(OpsGeometry, RegionTrimKeepsTheBoundingBoxWithItsRightAndBottom) {
    const Picture src = testsupport::makeTestPicture(33, 7, 24);
    Picture p = src;
    ASSERT_TRUE(ops::regionTrim(p, box(2, 1, 5, 4)));
    EXPECT_EQ(p.image.size(), QSize(4, 4));
    EXPECT_TRUE(showsPart(p, src, 2, 1));

    // Corners in any order, a non-rectangular polygon: its bounding box.
    p = src;
    ASSERT_TRUE(ops::regionTrim(p, QPolygon({QPoint(9, 6), QPoint(4, 2), QPoint(7, 0)})));
    EXPECT_EQ(p.image.size(), QSize(6, 7));
    EXPECT_TRUE(showsPart(p, src, 4, 0));

    // Beyond the edges: clipped (the close-up passes the picture's width and height).
    p = src;
    ASSERT_TRUE(ops::regionTrim(p, box(30, 0, 33, 7)));
    EXPECT_EQ(p.image.size(), QSize(3, 7));
    p = src;
    ASSERT_TRUE(ops::regionTrim(p, box(-4, -4, 0, 0)));
    EXPECT_EQ(p.image.size(), QSize(1, 1));

    for (const QPolygon& bad : {QPolygon(), box(33, 0, 40, 7), box(-9, -9, -1, -1)}) {
        p = src;
        EXPECT_FALSE(ops::regionTrim(p, bad));
        EXPECT_TRUE(testsupport::samePixels(p, src));
    }
}

TEST(OpsGeometry, PasteLandsAtTheCentreRelativePosition) {
    for (int code : kCodes) {
        SCOPED_TRACE(code);
        const Picture dst0 = testsupport::makeTestPicture(20, 10, code, 1);
        Picture src = dst0;
        ASSERT_TRUE(ops::trim(src, 11, 3, 16, 7));  // same depth and table
        Picture dst = dst0;
        // Top-left at (W/2 - 1 - px, H/2 - 1 - py) = (2, 1).
        ASSERT_TRUE(ops::pasteImage(dst, src, 7, 3));
        EXPECT_EQ(dst.bits, dst0.bits);
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 20; ++x) {
                const bool inside = x >= 2 && x < 7 && y >= 1 && y < 5;
                const QRgb expected = inside ? dst0.image.pixel(x - 2 + 11, y - 1 + 3) : dst0.image.pixel(x, y);
                ASSERT_EQ(dst.image.pixel(x, y), expected) << x << "," << y;
            }
    }
}

TEST(OpsGeometry, PasteRoundsFractionalPositionsOnceHalvesToEven) {
    const Picture dst0 = testsupport::makeTestPicture(21, 9, 24, 1);  // centre (9.5, 3.5)
    Picture dot;
    dot.image = QImage(1, 1, QImage::Format_BGR888);
    dot.image.fill(QColor(1, 2, 3));
    dot.bits = 24;
    struct Case { double px, py; int x, y; };
    const Case cases[] = {
        {0.0, 0.0, 10, 4},     // 9.5 -> 10, 3.5 -> 4
        {1.0, 1.0, 8, 2},      // 8.5 -> 8, 2.5 -> 2
        {-0.5, 0.5, 10, 3},    // 10 exactly, 3 exactly
        {9.5 - 3, 3.5, 3, 0},  // exactly (3, 0)
    };
    for (const Case& c : cases) {
        Picture dst = dst0;
        ASSERT_TRUE(ops::pasteImage(dst, dot, c.px, c.py));
        EXPECT_EQ(dst.image.pixel(c.x, c.y), qRgb(1, 2, 3)) << c.px << "," << c.py;
    }
}

TEST(OpsGeometry, PasteConvertsClipsAndRefusesBadInput) {
    // A 24-bit source onto a 4-bit picture: nearest entries of the picture's table.
    QImage pal(8, 4, QImage::Format_Indexed8);
    pal.setColorTable({qRgb(0, 0, 0), qRgb(255, 0, 0), qRgb(255, 255, 255)});
    pal.fill(0);
    Picture dst = engine::makePicture(pal, 4);
    QImage srcImg(4, 4, QImage::Format_BGR888);
    srcImg.fill(QColor(240, 10, 10));
    srcImg.setPixel(0, 0, qRgb(250, 250, 250));
    const Picture src = engine::makePicture(srcImg, 24);
    ASSERT_TRUE(ops::pasteImage(dst, src, 8 / 2.0 - 1 - (-2), 4 / 2.0 - 1 - (-2)));  // top-left (-2, -2)
    EXPECT_EQ(dst.bits, 4);
    EXPECT_EQ(dst.image.colorCount(), 3);
    EXPECT_EQ(dst.image.pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(dst.image.pixel(1, 1), qRgb(255, 0, 0));
    EXPECT_EQ(dst.image.pixel(2, 2), qRgb(0, 0, 0));

    // Onto a 1-bit picture.
    QImage monoImg(19, 3, QImage::Format_Mono);
    monoImg.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    monoImg.fill(0);
    Picture mono = engine::makePicture(monoImg, 1);
    ASSERT_TRUE(ops::pasteImage(mono, src, 19 / 2.0 - 1 - 9, 0.5));
    EXPECT_EQ(mono.bits, 1);
    EXPECT_EQ(mono.image.pixel(9, 0), qRgb(255, 255, 255));
    EXPECT_EQ(mono.image.pixel(10, 0), qRgb(0, 0, 0));

    // A palette source onto a direct picture.
    Picture direct = testsupport::makeTestPicture(10, 10, 16);
    const Picture palSrc = testsupport::makeTestPicture(3, 3, 8);
    ASSERT_TRUE(ops::pasteImage(direct, palSrc, 4, 4));
    EXPECT_EQ(direct.bits, 16);
    EXPECT_LE(testsupport::maxChannelDiff(direct.image.copy(0, 0, 3, 3), palSrc.image), 7);

    // Wholly outside: nothing changes; bad input: false.
    Picture d24 = testsupport::makeTestPicture(10, 10, 24);
    const Picture before = d24;
    EXPECT_TRUE(ops::pasteImage(d24, src, 100, 100));
    EXPECT_TRUE(ops::pasteImage(d24, src, -1e12, 5));
    EXPECT_TRUE(testsupport::samePixels(d24, before));
    EXPECT_FALSE(ops::pasteImage(d24, src, std::nan(""), 0));
    EXPECT_FALSE(ops::pasteImage(d24, Picture(), 0, 0));
    Picture none;
    EXPECT_FALSE(ops::pasteImage(none, src, 0, 0));
    EXPECT_TRUE(testsupport::samePixels(d24, before));
}

TEST(OpsGeometry, CloseUpRemovesTheBandExactly) {
    struct Case { int w, h, l, r; };
    const Case cases[] = {
        {640, 480, 200, 260}, {641, 480, 200, 260}, {641, 481, 201, 262}, {639, 479, 0, 1},
        {21, 9, 3, 20}, {21, 9, 20, 21}, {20, 9, 5, 5}, {7, 5, 0, 6},
    };
    for (const Case& c : cases) {
        for (bool horizontal : {true, false}) {
            for (int code : {24, 8, 1}) {
                const int w = horizontal ? c.w : c.h, h = horizontal ? c.h : c.w;
                const Picture src = testsupport::makeTestPicture(w, h, code, unsigned(c.w + c.l));
                Picture p = src;
                if (horizontal)
                    closeUp(p, c.l, 0, c.r, h, true, false);
                else
                    closeUp(p, 0, c.l, w, c.r, false, false);
                const int b = c.r - c.l;
                SCOPED_TRACE(QStringLiteral("%1x%2 band %3..%4 %5 code %6").arg(w).arg(h).arg(c.l).arg(c.r)
                                 .arg(horizontal ? "horizontal" : "vertical").arg(code).toStdString());
                ASSERT_EQ(p.image.size(), horizontal ? QSize(w - b, h) : QSize(w, h - b));
                EXPECT_EQ(p.bits, src.bits);
                for (int y = 0; y < p.height(); ++y)
                    for (int x = 0; x < p.width(); ++x) {
                        const int along = horizontal ? x : y;
                        const int from = along < c.l ? along : along + b;
                        const QRgb expected = horizontal ? src.image.pixel(from, y) : src.image.pixel(x, from);
                        ASSERT_EQ(p.image.pixel(x, y), expected) << x << "," << y;
                    }
            }
        }
    }
    // With the rounded paste position an even size lands the same way
    // (640 x 480, band 200..260: px 119, py 239).
    const Picture src = testsupport::makeTestPicture(640, 480, 24);
    Picture p = src;
    closeUp(p, 200, 0, 260, 480, true, true);
    ASSERT_EQ(p.image.size(), QSize(580, 480));
    Picture left = p, right = p, srcRight = src;
    ASSERT_TRUE(ops::trim(left, 0, 0, 200, 480));
    ASSERT_TRUE(ops::trim(right, 200, 0, 580, 480));
    ASSERT_TRUE(ops::trim(srcRight, 260, 0, 640, 480));
    EXPECT_TRUE(showsPart(left, src, 0, 0));
    EXPECT_TRUE(testsupport::samePixels(right, srcRight));
}

// The drawing functions behind the drawing toolbar: exactly which pixels change.
#include "engine/drawing.h"
#include "support/test_support.h"

#include <QSet>
#include <gtest/gtest.h>

using namespace engine;
using namespace engine::drawing;

namespace {

const QRgb kRed = qRgb(255, 0, 0);
const QRgb kBlue = qRgb(0, 0, 255);
const QRgb kWhite = qRgb(255, 255, 255);

Picture canvas(int w, int h, int bits = 24, QRgb fill = kWhite) {
    Picture p;
    p.image = QImage(w, h, formatForBits(bits));
    p.image.fill(QColor(fill));
    p.bits = bits;
    return p;
}

// The pixels of after that differ from before.
QSet<std::pair<int, int>> changed(const Picture& before, const Picture& after) {
    QSet<std::pair<int, int>> out;
    for (int y = 0; y < after.height(); ++y)
        for (int x = 0; x < after.width(); ++x)
            if (before.image.pixel(x, y) != after.image.pixel(x, y))
                out.insert({x, y});
    return out;
}

QSet<std::pair<int, int>> block(int x0, int y0, int x1, int y1) {
    QSet<std::pair<int, int>> out;
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x)
            out.insert({x, y});
    return out;
}

}  // namespace

TEST(Drawing, ThinLinesAreExactlyThePixelsBetween) {
    const Picture blank = canvas(20, 12);
    Picture p = blank;
    ASSERT_TRUE(drawLine(p, QPoint(9, 5), QPoint(2, 5), QColor(kRed), 1));
    EXPECT_EQ(changed(blank, p), block(2, 5, 9, 5));
    EXPECT_EQ(p.image.pixel(4, 5), kRed);

    p = blank;
    drawLine(p, QPoint(0, 0), QPoint(5, 5), QColor(kRed), 1);
    EXPECT_EQ(changed(blank, p), (QSet<std::pair<int, int>>{{0, 0}, {1, 1}, {2, 2}, {3, 3}, {4, 4}, {5, 5}}));

    // A shallow line: one pixel per column, each within half a pixel of the true line.
    p = blank;
    drawLine(p, QPoint(0, 0), QPoint(10, 3), QColor(kRed), 1);
    const auto pixels = changed(blank, p);
    EXPECT_EQ(pixels.size(), 11);
    for (auto [x, y] : pixels)
        EXPECT_LE(std::abs(y - x * 3.0 / 10), 0.5) << x << "," << y;
}

TEST(Drawing, WideLinesCoverTheirWidthWithRoundEnds) {
    const Picture blank = canvas(20, 12);
    Picture p = blank;
    // Odd width: centred on the pixels, round caps reach one pixel past each end.
    drawLine(p, QPoint(5, 5), QPoint(10, 5), QColor(kRed), 3);
    EXPECT_EQ(changed(blank, p), block(4, 4, 11, 6));
    // Even width: along the pixels' top-left corners, rows 4 and 5.
    p = blank;
    drawLine(p, QPoint(0, 5), QPoint(9, 5), QColor(kRed), 2);
    EXPECT_EQ(changed(blank, p), block(0, 4, 9, 5));
    // A vertical wide line is the same turned.
    p = blank;
    drawLine(p, QPoint(5, 2), QPoint(5, 8), QColor(kRed), 3);
    EXPECT_EQ(changed(blank, p), block(4, 1, 6, 9));
}

TEST(Drawing, RectanglesOutlinedAndFilled) {
    const Picture blank = canvas(12, 10);
    Picture p = blank;
    drawRect(p, QPoint(7, 6), QPoint(3, 2), QColor(kRed), 1, true);
    EXPECT_EQ(changed(blank, p), block(3, 2, 7, 6));
    p = blank;
    drawRect(p, QPoint(3, 2), QPoint(7, 6), QColor(kRed), 1, false);
    EXPECT_EQ(changed(blank, p), block(3, 2, 7, 6) - block(4, 3, 6, 5));
}

TEST(Drawing, EllipsesAreSymmetricAndRingsLieInsideTheDisc) {
    const Picture blank = canvas(12, 12);
    Picture disc = blank, ring = blank;
    drawEllipse(disc, QPoint(0, 0), QPoint(9, 9), QColor(kRed), 1, true);
    drawEllipse(ring, QPoint(9, 9), QPoint(0, 0), QColor(kRed), 1, false);
    const auto d = changed(blank, disc), r = changed(blank, ring);
    for (auto [x, y] : d) {
        EXPECT_TRUE(d.contains({9 - x, y}) && d.contains({x, 9 - y}) && d.contains({y, x})) << x << "," << y;
        EXPECT_LE(x, 9);
        EXPECT_LE(y, 9);
    }
    EXPECT_TRUE(d.contains({0, 4}) && d.contains({4, 0}) && d.contains({4, 4}));
    EXPECT_FALSE(d.contains({0, 0}) || d.contains({9, 9}) || d.contains({0, 9}));
    EXPECT_TRUE(r.contains({0, 4}) && r.contains({9, 5}));
    EXPECT_FALSE(r.contains({4, 4}) || r.contains({5, 5}));
    for (auto px : r)
        EXPECT_TRUE(d.contains(px));
    // Every row of the disc's height is reached by the ring (no gaps in its sides).
    for (int y = 0; y <= 9; ++y) {
        bool any = false;
        for (int x = 0; x <= 9; ++x)
            any = any || r.contains({x, y});
        EXPECT_TRUE(any) << y;
    }
}

TEST(Drawing, DepthsPaletteBecomes24OthersStay) {
    Picture pal = testsupport::makeTestPicture(15, 6, 8);
    const Picture before = pal;
    ASSERT_TRUE(drawLine(pal, QPoint(0, 0), QPoint(14, 0), QColor(kBlue), 1));
    EXPECT_EQ(pal.bits, 24);
    EXPECT_EQ(pal.image.pixel(7, 0), kBlue);
    for (int y = 1; y < 6; ++y)
        for (int x = 0; x < 15; ++x)
            ASSERT_EQ(pal.image.pixel(x, y), before.image.pixel(x, y));

    for (int bits : {16, 32}) {
        Picture p = canvas(8, 8, bits);
        drawLine(p, QPoint(1, 1), QPoint(1, 6), QColor(kRed), 1);
        EXPECT_EQ(p.bits, bits);
        EXPECT_EQ(p.image.format(), formatForBits(bits));
        EXPECT_EQ(p.image.pixel(1, 3), kRed);
        EXPECT_EQ(p.image.pixel(2, 3), kWhite);
    }
    Picture none;
    EXPECT_FALSE(drawLine(none, QPoint(), QPoint(1, 1), QColor(kRed), 1));
}

TEST(Drawing, StrokesOffThePictureAreClipped) {
    const Picture blank = canvas(10, 10);
    Picture p = blank;
    ASSERT_TRUE(drawLine(p, QPoint(-20, -20), QPoint(40, 40), QColor(kRed), 1));
    EXPECT_EQ(changed(blank, p).size(), 10);
    p = blank;
    ASSERT_TRUE(drawLine(p, QPoint(-50, 5), QPoint(-10, 5), QColor(kRed), 9));
    EXPECT_TRUE(changed(blank, p).isEmpty());
    ASSERT_TRUE(drawEllipse(p, QPoint(-100, -100), QPoint(200, 200), QColor(kRed), 7, true));
    EXPECT_EQ(changed(blank, p).size(), 100);
    ASSERT_TRUE(drawPolyline(p, {QPoint(3, 3)}, QColor(kBlue), 1));
    EXPECT_EQ(p.image.pixel(3, 3), kBlue);
}

TEST(Drawing, StampIsCentredClippedAndSkipsItsTransparentColour) {
    // A 5 x 3 stamp: white except a red centre and a blue top-left corner.
    Picture stamp = canvas(5, 3);
    stamp.image.setPixel(2, 1, kRed);
    stamp.image.setPixel(0, 0, kBlue);
    const Picture blank = canvas(10, 8, 24, qRgb(0, 128, 0));
    Picture p = blank;
    ASSERT_TRUE(placeStamp(p, stamp, QPoint(6, 4), QColor(kWhite)));
    EXPECT_EQ(changed(blank, p), (QSet<std::pair<int, int>>{{6, 4}, {4, 3}}));
    EXPECT_EQ(p.image.pixel(6, 4), kRed);
    EXPECT_EQ(p.image.pixel(4, 3), kBlue);

    // Without a transparent colour the whole stamp lands, clipped at the corner.
    p = blank;
    ASSERT_TRUE(placeStamp(p, stamp, QPoint(0, 0), std::nullopt));
    EXPECT_EQ(changed(blank, p), block(0, 0, 2, 1));
    EXPECT_EQ(p.image.pixel(0, 0), kRed);
    EXPECT_FALSE(placeStamp(p, Picture(), QPoint(0, 0), std::nullopt));
}

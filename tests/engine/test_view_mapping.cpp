// The pure layout and mapping of the view in the five view modes.
#include "engine/view_mapping.h"

#include <gtest/gtest.h>

using namespace engine;

namespace {

const QSize kPicture(333, 177);
const QSize kView(500, 400);

}  // namespace

TEST(ViewLayout, OddPictureInEveryMode) {
    struct Case { int mode; QRect display; QPoint maxScroll; bool h, v; };
    // 333 x 177 in 500 x 400, no room taken by scroll bars (extent 0).
    const Case cases[] = {
        {1, QRect(83, 111, 333, 177), QPoint(0, 0), false, false},   // not enlarged
        {2, QRect(0, 0, 500, 400), QPoint(0, 0), false, false},
        {3, QRect(83, 111, 333, 177), QPoint(0, 0), false, false},
        {4, QRect(0, 67, 500, 266), QPoint(0, 0), false, false},     // 177 * 500 / 333 = 265.8
        {5, QRect(0, 0, 753, 400), QPoint(253, 0), true, false},     // 333 * 400 / 177 = 752.5
    };
    for (const Case& c : cases) {
        const ViewGeometry g = layoutView(c.mode, kPicture, kView, 0);
        EXPECT_EQ(g.displayRect(), c.display) << "mode " << c.mode;
        EXPECT_EQ(g.maxScroll, c.maxScroll) << "mode " << c.mode;
        EXPECT_EQ(g.hScroll, c.h) << "mode " << c.mode;
        EXPECT_EQ(g.vScroll, c.v) << "mode " << c.mode;
    }
}

TEST(ViewLayout, ScrollBarsTakeTheirRoom) {
    // Fit height: the horizontal bar lowers the viewport, and the picture shrinks to it.
    ViewGeometry g = layoutView(5, kPicture, kView, 16);
    EXPECT_TRUE(g.hScroll);
    EXPECT_EQ(g.viewport, QSize(500, 384));
    EXPECT_EQ(g.display, QSize(722, 384));  // 333 * 384 / 177 = 722.4
    EXPECT_EQ(g.displayRect(QPoint(100, 0)), QRect(-100, 0, 722, 384));
    EXPECT_EQ(g.displayRect(QPoint(5000, 7)), QRect(-222, 0, 722, 384));  // clamped

    // Actual size of a picture wider than the view but 390 high: the horizontal
    // bar leaves 384 rows, so a vertical bar is needed too.
    g = layoutView(3, QSize(900, 390), kView, 16);
    EXPECT_TRUE(g.hScroll);
    EXPECT_TRUE(g.vScroll);
    EXPECT_EQ(g.viewport, QSize(484, 384));
    EXPECT_EQ(g.maxScroll, QPoint(416, 6));

    // Fit width of a tall picture: vertical bar, the width follows the narrower viewport.
    g = layoutView(4, QSize(100, 1000), kView, 16);
    EXPECT_TRUE(g.vScroll);
    EXPECT_FALSE(g.hScroll);
    EXPECT_EQ(g.display, QSize(484, 4840));
    EXPECT_EQ(g.maxScroll, QPoint(0, 4440));
}

TEST(ViewLayout, ScaleShrinksBigPicturesKeepingProportions) {
    EXPECT_EQ(displaySize(1, QSize(1000, 800), kView), QSize(500, 400));
    EXPECT_EQ(displaySize(1, QSize(3000, 177), kView), QSize(500, 30));  // 29.5 rounds up
    EXPECT_EQ(displaySize(1, QSize(6000, 4000), QSize(1, 1)), QSize(1, 1));
    EXPECT_EQ(displaySize(1, QSize(1, 60000), kView), QSize(1, 400));     // never below one pixel
    EXPECT_TRUE(displaySize(1, QSize(), kView).isEmpty());
    EXPECT_TRUE(layoutView(3, QSize(10, 10), QSize(0, 0), 16).display.isEmpty());
}

TEST(ViewMapping, KnownPositions) {
    // Stretch: x scale 500/333, y scale 400/177.
    QRectF d = displayRect(2, kPicture, kView);
    EXPECT_EQ(viewToPicture(QPointF(250, 200), d, kPicture), QPoint(166, 88));
    EXPECT_EQ(viewToPicture(QPointF(0, 0), d, kPicture), QPoint(0, 0));
    EXPECT_EQ(viewToPicture(QPointF(499.9, 399.9), d, kPicture), QPoint(332, 176));
    // Fit width: the picture starts at row 67 of the view.
    d = displayRect(4, kPicture, kView);
    EXPECT_EQ(viewToPicture(QPointF(0, 67), d, kPicture), QPoint(0, 0));
    EXPECT_EQ(viewToPicture(QPointF(499, 332), d, kPicture), QPoint(332, 176));
    // Beside the picture: the nearest edge pixel.
    d = displayRect(3, kPicture, kView);
    EXPECT_EQ(viewToPicture(QPointF(10, 10), d, kPicture), QPoint(0, 0));
    EXPECT_EQ(viewToPicture(QPointF(499, 399), d, kPicture), QPoint(332, 176));
    EXPECT_EQ(viewToPicture(QPointF(83, 111), d, kPicture), QPoint(0, 0));
    EXPECT_EQ(viewToPicture(QPointF(83 + 332, 111 + 176), d, kPicture), QPoint(332, 176));
}

TEST(ViewMapping, EveryViewPixelLiesInsideThePixelItMapsTo) {
    // Painting uses pictureToView, the mouse viewToPicture: they must agree in
    // every mode, shrunk, enlarged and scrolled.
    const QSize pictures[] = {kPicture, QSize(1333, 977), QSize(7, 3), QSize(2001, 11)};
    for (QSize pic : pictures)
        for (int mode = 1; mode <= 5; ++mode) {
            const ViewGeometry g = layoutView(mode, pic, kView, 16);
            const QRectF d(g.displayRect(g.maxScroll / 2));
            for (int vy = 0; vy < g.viewport.height(); vy += 7)
                for (int vx = 0; vx < g.viewport.width(); vx += 5) {
                    const QPointF centre(vx + 0.5, vy + 0.5);
                    if (!d.contains(centre))
                        continue;
                    const QPoint px = viewToPicture(QPointF(vx, vy), d, pic);
                    const QRectF cell = pictureToView(QRect(px, QSize(1, 1)), d, pic);
                    ASSERT_TRUE(cell.contains(centre))
                        << "mode " << mode << " picture " << pic.width() << "x" << pic.height() << " view " << vx
                        << "," << vy << " -> " << px.x() << "," << px.y();
                }
        }
}

TEST(ViewMapping, SelectionFromPixelsIncludesBothEnds) {
    EXPECT_EQ(selectionFromPixels(QPoint(5, 7), QPoint(2, 3)), (SelectionEdges{2, 3, 6, 8}));
    EXPECT_EQ(selectionFromPixels(QPoint(2, 3), QPoint(5, 7)), (SelectionEdges{2, 3, 6, 8}));
    EXPECT_EQ(selectionFromPixels(QPoint(4, 4), QPoint(4, 4)), (SelectionEdges{4, 4, 5, 5}));
    EXPECT_TRUE(SelectionEdges{}.isNone());
}

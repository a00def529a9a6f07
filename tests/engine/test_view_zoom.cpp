// Zoom: the layout and mapping at fractional factors, the steps, zooming about
// a point, and the view widget keeping selections exact at every zoom.
#include "engine/image_engine.h"
#include "engine/picture_store.h"
#include "engine/view_mapping.h"
#include "support/test_support.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>
#include <gtest/gtest.h>
#include <cmath>

using namespace engine;

TEST(ViewZoom, LayoutAtAFactorIgnoresTheModeAndScrollsWhereLarger) {
    const QSize picture(333, 177), view(500, 400);
    for (int mode = 1; mode <= 5; ++mode) {
        // A third: 111 x 59, centred, no bars, whatever the mode.
        ViewGeometry g = layoutView(mode, picture, view, 16, 1.0 / 3);
        EXPECT_EQ(g.displayRect(), QRect(194, 170, 111, 59)) << "mode " << mode;
        EXPECT_FALSE(g.hScroll || g.vScroll);
        // Four times: 1332 x 708, both bars take their room.
        g = layoutView(mode, picture, view, 16, 4);
        EXPECT_EQ(g.display, QSize(1332, 708));
        EXPECT_TRUE(g.hScroll && g.vScroll);
        EXPECT_EQ(g.viewport, QSize(484, 384));
        EXPECT_EQ(g.maxScroll, QPoint(1332 - 484, 708 - 384));
    }
    // Only one side larger: 2.0 x makes 666 x 354; the horizontal bar leaves 384
    // rows, still enough for 354, so no vertical bar.
    const ViewGeometry g = layoutView(1, picture, view, 16, 2);
    EXPECT_TRUE(g.hScroll);
    EXPECT_FALSE(g.vScroll);
    EXPECT_EQ(g.viewport, QSize(500, 384));
    // Zero leaves the size to the mode.
    EXPECT_EQ(layoutView(2, picture, view, 16, 0).display, view);
}

TEST(ViewZoom, StepsGoThroughTheUsualFactorsAndStopAtTheEnds) {
    const double steps[] = {1.0 / 16, 1.0 / 12, 1.0 / 8, 1.0 / 6, 0.25, 1.0 / 3, 0.5, 2.0 / 3,
                            1, 1.5, 2, 3, 4, 8, 16};
    for (size_t i = 0; i + 1 < std::size(steps); ++i) {
        EXPECT_DOUBLE_EQ(nextZoomStep(steps[i], 1), steps[i + 1]);
        EXPECT_DOUBLE_EQ(nextZoomStep(steps[i + 1], -1), steps[i]);
    }
    const int percents[] = {6, 8, 12, 17, 25, 33, 50, 67, 100, 150, 200, 300, 400, 800, 1600};
    for (size_t i = 0; i < std::size(steps); ++i)
        EXPECT_EQ(zoomPercent(steps[i]), percents[i]);
    // A fitted view between two steps goes to the neighbours; a factor a hair
    // off a step counts as the step.
    EXPECT_DOUBLE_EQ(nextZoomStep(0.37, 1), 0.5);
    EXPECT_DOUBLE_EQ(nextZoomStep(0.37, -1), 1.0 / 3);
    EXPECT_DOUBLE_EQ(nextZoomStep(0.3333334, -1), 0.25);
    EXPECT_DOUBLE_EQ(nextZoomStep(16, 1), 16);
    EXPECT_DOUBLE_EQ(nextZoomStep(1.0 / 16, -1), 1.0 / 16);
    EXPECT_DOUBLE_EQ(nextZoomStep(40, -1), 16) << "a huge fitted picture steps down into the range";
    EXPECT_DOUBLE_EQ(nextZoomStep(0.01, 1), 1.0 / 16);
}

TEST(ViewZoom, ZoomingKeepsThePicturePointUnderTheAnchor) {
    const QSize picture(333, 177), view(500, 400);
    const ViewGeometry fit = layoutView(1, picture, view, 16);
    const QRectF before(fit.displayRect());
    for (double zoom : {1.5, 2.0 / 3, 3.0, 8.0}) {
        const ViewGeometry after = layoutView(1, picture, view, 16, zoom);
        for (QPointF anchor : {QPointF(250, 200), QPointF(120.5, 150.25), QPointF(400, 300)}) {
            const QPoint scroll = scrollKeepingPoint(anchor, before, picture, after);
            const QRectF now(after.displayRect(scroll));
            const double fxBefore = (anchor.x() - before.x()) * picture.width() / before.width();
            const double fxAfter = (anchor.x() - now.x()) * picture.width() / now.width();
            const double fyBefore = (anchor.y() - before.y()) * picture.height() / before.height();
            const double fyAfter = (anchor.y() - now.y()) * picture.height() / now.height();
            if (after.maxScroll.x() > 0 && scroll.x() > 0 && scroll.x() < after.maxScroll.x())
                EXPECT_NEAR(fxAfter, fxBefore, 1.0 / zoom) << "zoom " << zoom;
            if (after.maxScroll.y() > 0 && scroll.y() > 0 && scroll.y() < after.maxScroll.y())
                EXPECT_NEAR(fyAfter, fyBefore, 1.0 / zoom) << "zoom " << zoom;
            EXPECT_GE(scroll.x(), 0);
            EXPECT_LE(scroll.x(), after.maxScroll.x());
        }
    }
}

namespace {

class ZoomedView : public ::testing::Test {
protected:
    void SetUp() override {
        view.resize(500, 400);
        view.show();
        // 300 x 240: a third of it is a whole number of view pixels.
        view.SetImageHandle(PictureStore::instance().add(testsupport::makeTestPicture(300, 240, 24)));
        view.ApplyDispMode(3);
    }

    // The view position at the centre of a picture pixel's on-screen cell.
    QPoint at(QPoint pixel) const {
        const QRect d = view.pictureRectInView();
        const double k = double(d.width()) / 300;
        return QPoint(d.x() + int(std::floor((pixel.x() + 0.5) * k)), d.y() + int(std::floor((pixel.y() + 0.5) * k)));
    }

    SelectionEdges drag(QPoint fromPixel, QPoint toPixel) {
        const QPoint from = at(fromPixel), to = at(toPixel);
        QTest::mousePress(&view, Qt::LeftButton, Qt::NoModifier, from);
        QTest::mouseMove(&view, (from + to) / 2);
        QTest::mouseMove(&view, to);
        QTest::mouseRelease(&view, Qt::LeftButton, Qt::NoModifier, to);
        return view.selection();
    }

    void wheel(QPointF pos, int delta, Qt::KeyboardModifiers mods) {
        QWheelEvent e(pos, view.mapToGlobal(pos), QPoint(), QPoint(0, delta), Qt::NoButton, mods, Qt::NoScrollPhase,
                      false);
        QApplication::sendEvent(&view, &e);
    }

    ImageEngine view;
};

}  // namespace

TEST_F(ZoomedView, SelectionIsTheSamePictureRectangleAtEveryZoom) {
    // At a third every view pixel covers three picture pixels and samples the
    // middle one (3v + 1), so the corners are pixels reachable at every zoom.
    const SelectionEdges expected{31, 16, 62, 47};
    EXPECT_EQ(drag(QPoint(31, 16), QPoint(61, 46)), expected) << "100 %";
    for (double zoom : {1.0 / 3, 1.5, 4.0}) {
        ASSERT_TRUE(view.SetZoom(zoom, QPointF(0, 0)));
        view.setScrollPosition(QPoint(0, 0));
        EXPECT_EQ(zoomPercent(view.ShownZoom()), zoomPercent(zoom));
        EXPECT_EQ(drag(QPoint(31, 16), QPoint(61, 46)), expected) << "zoom " << zoom;
        EXPECT_EQ(drag(QPoint(61, 46), QPoint(31, 16)), expected) << "backwards, zoom " << zoom;
        // Every pixel under the pointer is the one drawn there.
        for (QPoint px : {QPoint(0, 0), QPoint(100, 70), QPoint(103, 79)}) {
            if (zoom >= 1)
                EXPECT_EQ(view.pixelAt(at(px)), px) << "zoom " << zoom;
        }
    }
    // Scrolled at 400 %: the far corner of the picture is still exact.
    view.SetZoom(4, QPointF(0, 0));
    view.setScrollPosition(view.viewGeometry().maxScroll);
    EXPECT_EQ(drag(QPoint(280, 220), QPoint(299, 239)), (SelectionEdges{280, 220, 300, 240}));
}

TEST_F(ZoomedView, CtrlWheelZoomsAboutThePointerAndAViewModeEndsTheZoom) {
    view.resize(200, 160);  // smaller than the picture: it scrolls at every zoom from 100 %
    QSignalSpy zoomed(&view, &ImageEngine::zoomChanged);
    const QPointF pointer(80, 60);
    const QPoint under = view.pixelAt(pointer);
    wheel(pointer, 120, Qt::ControlModifier);
    EXPECT_DOUBLE_EQ(view.Zoom(), 1.5);
    EXPECT_EQ(view.pixelAt(pointer), under) << "the pixel under the pointer stays";
    wheel(pointer, 120, Qt::ControlModifier);
    EXPECT_DOUBLE_EQ(view.Zoom(), 2);
    EXPECT_EQ(view.pixelAt(pointer), under);
    // Half notches (touch pads) add up to one step.
    wheel(pointer, -60, Qt::ControlModifier);
    EXPECT_DOUBLE_EQ(view.Zoom(), 2);
    wheel(pointer, -60, Qt::ControlModifier);
    EXPECT_DOUBLE_EQ(view.Zoom(), 1.5);
    EXPECT_EQ(view.pixelAt(pointer), under);
    EXPECT_GE(zoomed.count(), 3);
    // Without Ctrl the wheel scrolls and leaves the zoom alone.
    const QPoint scroll = view.scrollPosition();
    wheel(pointer, -120, Qt::NoModifier);
    EXPECT_DOUBLE_EQ(view.Zoom(), 1.5);
    EXPECT_NE(view.scrollPosition(), scroll);
    // Choosing a view mode shows the picture by the mode again.
    view.ApplyDispMode(1);
    EXPECT_EQ(view.Zoom(), 0);
    EXPECT_LT(view.viewGeometry().display.width(), 300) << "scaled to fit";
}

TEST_F(ZoomedView, ZoomWithoutAPictureOrOutOfRangeChangesNothing) {
    EXPECT_FALSE(view.SetZoom(40, QPointF()));
    EXPECT_FALSE(view.SetZoom(0, QPointF()));
    EXPECT_EQ(view.Zoom(), 0);
    ASSERT_TRUE(view.SetZoom(16, QPointF()));
    EXPECT_TRUE(view.ZoomStep(1));
    EXPECT_DOUBLE_EQ(view.Zoom(), 16) << "the last step stays";
    view.FreeImage(view.ImageHandle());
    EXPECT_FALSE(view.ZoomStep(1));
    wheel(QPointF(10, 10), 120, Qt::ControlModifier);
    EXPECT_EQ(view.viewGeometry().display, QSize());
}

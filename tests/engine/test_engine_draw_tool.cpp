// The drawing toolbar: its window and placement, closing, and strokes on the
// view becoming single undoable edits.
#include "engine/draw_tool.h"
#include "engine/image_engine.h"
#include "engine/picture_store.h"
#include "support/test_support.h"

#include <QAbstractButton>
#include <QGuiApplication>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using namespace engine;

namespace {

class DrawToolTest : public ::testing::Test {
protected:
    void SetUp() override {
        view.resize(400, 300);
        view.show();
        Picture p;
        p.image = QImage(40, 30, QImage::Format_BGR888);
        p.image.fill(Qt::white);
        p.bits = 24;
        blank = p;
        view.SetImageHandle(PictureStore::instance().add(p));
        view.ApplyDispMode(3);  // one view pixel per picture pixel
    }

    // The settings the picture control passes.
    void showLikeTheControl(int left, int top) {
        DrawTool& t = view.drawTool();
        t.OptionA = true;
        t.Top = top;
        t.Left = left;
        t.OptionB = true;
        t.Caption = QStringLiteral("ToolBar");
        t.SettingA = 50;
        t.SettingB = 0;
        t.BackColor = QColor(255, 255, 255);
        t.PenColor = QColor(255, 0, 0);
        t.StampFile = QStringLiteral("/nonexistent/apData/Stamp.bmp");
        ASSERT_TRUE(t.Show(1));
    }

    QPoint at(QPoint pixel) const { return view.pictureRectInView().topLeft() + pixel; }

    ImageEngine view;
    Picture blank;
};

}  // namespace

TEST_F(DrawToolTest, ToolbarOpensWhereTheHostSaysAndReportsClosing) {
    QSignalSpy state(&view, &ImageEngine::drawToolState);
    showLikeTheControl(32, 200);  // 1500 / 15 - 68 and 3000 / 15
    QWidget* w = view.drawTool().window();
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->isVisible());
    EXPECT_TRUE(w->windowFlags() & Qt::Tool);
    EXPECT_EQ(w->windowTitle(), QStringLiteral("ToolBar"));
    EXPECT_EQ(w->pos(), QPoint(32, 200));
    EXPECT_EQ(view.drawTool().colour(), QColor(255, 0, 0));
    EXPECT_EQ(view.drawTool().tool(), DrawTool::NoTool);  // selecting until a tool is chosen
    ASSERT_EQ(state.count(), 1);
    EXPECT_EQ(state[0][0].toInt(), 1);

    // Closed by the user: state 0, and the host's CloseDrawTool that follows is harmless.
    w->close();
    ASSERT_EQ(state.count(), 2);
    EXPECT_EQ(state[1][0].toInt(), 0);
    EXPECT_FALSE(view.drawTool().isOpen());
    EXPECT_FALSE(view.drawTool().CloseDrawTool());

    // Closed by the host: no state 0.
    showLikeTheControl(32, 200);
    EXPECT_TRUE(view.drawTool().CloseDrawTool());
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(state.count(), 3);
}

TEST_F(DrawToolTest, ToolbarBesideAWindowAtTheScreenEdgeStaysReachable) {
    showLikeTheControl(-68, -5);
    const QRect avail = QGuiApplication::primaryScreen()->availableGeometry();
    const QPoint pos = view.drawTool().window()->pos();
    EXPECT_EQ(pos, avail.topLeft());
}

TEST_F(DrawToolTest, MissingStampDisablesOnlyTheStamp) {
    showLikeTheControl(32, 200);
    DrawTool& t = view.drawTool();
    EXPECT_TRUE(t.stamp().isNull());
    EXPECT_EQ(t.stampError(), Error::FileMissing);
    t.setTool(DrawTool::Stamp);
    EXPECT_EQ(t.tool(), DrawTool::NoTool);
    t.setTool(DrawTool::Pen);
    EXPECT_EQ(t.tool(), DrawTool::Pen);
}

TEST_F(DrawToolTest, StrokeOnTheViewIsOneUndoableEdit) {
    showLikeTheControl(32, 200);
    DrawTool& t = view.drawTool();
    t.setTool(DrawTool::Line);
    t.setPenWidth(1);
    QSignalSpy applied(&view, &ImageEngine::drawingApplied);
    view.SetSelLeft(0);
    view.SetSelRight(0);

    QTest::mousePress(&view, Qt::LeftButton, Qt::NoModifier, at(QPoint(2, 5)));
    QTest::mouseMove(&view, at(QPoint(6, 5)));
    QTest::mouseMove(&view, at(QPoint(9, 5)));
    QTest::mouseRelease(&view, Qt::LeftButton, Qt::NoModifier, at(QPoint(9, 5)));
    EXPECT_EQ(applied.count(), 1);
    EXPECT_TRUE(view.selection().isNone());  // drawing does not select
    const QImage& img = view.current()->image;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x)
            ASSERT_EQ(img.pixel(x, y), (y == 5 && x >= 2 && x <= 9) ? qRgb(255, 0, 0) : qRgb(255, 255, 255))
                << x << "," << y;
    ASSERT_TRUE(view.UndoLastEdit());
    EXPECT_TRUE(testsupport::samePixels(*view.current(), blank));

    // The freehand pen follows every point of the drag.
    t.setTool(DrawTool::Pen);
    QTest::mousePress(&view, Qt::LeftButton, Qt::NoModifier, at(QPoint(1, 1)));
    QTest::mouseMove(&view, at(QPoint(1, 4)));
    QTest::mouseMove(&view, at(QPoint(4, 4)));
    QTest::mouseRelease(&view, Qt::LeftButton, Qt::NoModifier, at(QPoint(4, 4)));
    EXPECT_EQ(view.current()->image.pixel(1, 3), qRgb(255, 0, 0));
    EXPECT_EQ(view.current()->image.pixel(3, 4), qRgb(255, 0, 0));
    EXPECT_EQ(view.current()->image.pixel(3, 3), qRgb(255, 255, 255));
    EXPECT_EQ(applied.count(), 2);
}

TEST_F(DrawToolTest, StampClickPlacesItsCentreAndUndoTakesItBack) {
    showLikeTheControl(32, 200);
    DrawTool& t = view.drawTool();
    Picture stamp;
    stamp.image = QImage(3, 3, QImage::Format_BGR888);
    stamp.image.fill(Qt::white);  // white is the transparent colour the control sets
    stamp.image.setPixel(1, 1, qRgb(200, 0, 0));
    stamp.image.setPixel(0, 2, qRgb(0, 0, 200));
    stamp.bits = 24;
    t.setStamp(stamp);
    t.setTool(DrawTool::Stamp);
    ASSERT_EQ(t.tool(), DrawTool::Stamp);
    QTest::mouseClick(&view, Qt::LeftButton, Qt::NoModifier, at(QPoint(20, 10)));
    const QImage& img = view.current()->image;
    int changed = 0;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x)
            changed += img.pixel(x, y) != qRgb(255, 255, 255);
    EXPECT_EQ(changed, 2);
    EXPECT_EQ(img.pixel(20, 10), qRgb(200, 0, 0));
    EXPECT_EQ(img.pixel(19, 11), qRgb(0, 0, 200));
    ASSERT_TRUE(view.UndoLastEdit());
    EXPECT_TRUE(testsupport::samePixels(*view.current(), blank));
}

TEST_F(DrawToolTest, PalettePictureIsDrawnAt24BitsAndUndoRestoresIt) {
    const Picture pal = testsupport::makeTestPicture(40, 30, 4);
    view.SetImageHandle(PictureStore::instance().add(pal));
    showLikeTheControl(32, 200);
    view.drawTool().setTool(DrawTool::FilledRect);
    QTest::mousePress(&view, Qt::LeftButton, Qt::NoModifier, at(QPoint(3, 3)));
    QTest::mouseMove(&view, at(QPoint(8, 6)));
    QTest::mouseRelease(&view, Qt::LeftButton, Qt::NoModifier, at(QPoint(8, 6)));
    EXPECT_EQ(view.current()->bits, 24);
    EXPECT_EQ(view.current()->image.pixel(5, 5), qRgb(255, 0, 0));
    EXPECT_EQ(view.current()->image.pixel(20, 20), pal.image.pixel(20, 20));
    ASSERT_TRUE(view.UndoLastEdit());
    EXPECT_TRUE(testsupport::samePixels(*view.current(), pal));

    // Closing the toolbar hands the strokes to the host: nothing left to take back.
    view.drawTool().setTool(DrawTool::FilledRect);
    QTest::mouseClick(&view, Qt::LeftButton, Qt::NoModifier, at(QPoint(1, 1)));
    view.drawTool().CloseDrawTool();
    EXPECT_FALSE(view.UndoLastEdit());
    EXPECT_EQ(view.current()->image.pixel(1, 1), qRgb(255, 0, 0));
}

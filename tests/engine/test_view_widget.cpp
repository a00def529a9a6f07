// The engine's view as a widget: rubber-band selection with the mouse in every
// view mode, mouse button codes, file drops, painting.
#include "engine/image_engine.h"
#include "engine/picture_store.h"
#include "support/test_support.h"

#include <QDropEvent>
#include <QMimeData>
#include <QSignalSpy>
#include <QTest>
#include <QUrl>
#include <gtest/gtest.h>
#include <cmath>

using namespace engine;

namespace {

class ViewWidget : public ::testing::Test {
protected:
    void SetUp() override {
        view.resize(500, 400);
        view.show();
        view.SetImageHandle(PictureStore::instance().add(testsupport::makeTestPicture(333, 177, 24)));
    }

    // The view position at the centre of a picture pixel's on-screen cell.
    QPoint at(QPoint pixel) const {
        const QRect d = view.pictureRectInView();
        const Picture* p = PictureStore::instance().find(view.ImageHandle());
        const double kx = double(d.width()) / p->width(), ky = double(d.height()) / p->height();
        return QPoint(d.x() + int(std::floor((pixel.x() + 0.5) * kx)), d.y() + int(std::floor((pixel.y() + 0.5) * ky)));
    }

    void drag(QPoint from, QPoint to) {
        QTest::mousePress(&view, Qt::LeftButton, Qt::NoModifier, from);
        QTest::mouseMove(&view, (from + to) / 2);
        QTest::mouseMove(&view, to);
        QTest::mouseRelease(&view, Qt::LeftButton, Qt::NoModifier, to);
    }

    ImageEngine view;
};

}  // namespace

TEST_F(ViewWidget, DragSelectsThePicturePixelsInEveryMode) {
    for (int mode = 1; mode <= 5; ++mode) {
        ASSERT_TRUE(view.ApplyDispMode(mode));
        // Forwards and backwards: the press pixel and the release pixel are both included.
        drag(at(QPoint(20, 30)), at(QPoint(200, 150)));
        EXPECT_EQ(view.selection(), (SelectionEdges{20, 30, 201, 151})) << "mode " << mode;
        drag(at(QPoint(199, 101)), at(QPoint(3, 2)));
        EXPECT_EQ(view.selection(), (SelectionEdges{3, 2, 200, 102})) << "mode " << mode;
    }
}

TEST_F(ViewWidget, DragInAScrolledViewAndBeyondThePicture) {
    view.ApplyDispMode(5);  // wider than the view: horizontal scrolling
    ASSERT_GT(view.viewGeometry().maxScroll.x(), 0);
    view.setScrollPosition(QPoint(150, 0));
    drag(at(QPoint(150, 10)), at(QPoint(250, 20)));
    EXPECT_EQ(view.selection(), (SelectionEdges{150, 10, 251, 21}));

    // Actual size: the picture is centred; dragging past its corner clamps to it.
    view.ApplyDispMode(3);
    const QRect d = view.pictureRectInView();
    drag(at(QPoint(300, 170)), d.bottomRight() + QPoint(40, 40));
    EXPECT_EQ(view.selection(), (SelectionEdges{300, 170, 333, 177}));
    drag(at(QPoint(5, 5)), d.topLeft() - QPoint(30, 30));
    EXPECT_EQ(view.selection(), (SelectionEdges{0, 0, 6, 6}));
}

TEST_F(ViewWidget, ShrunkPictureSelectionCoversTheDraggedCells) {
    view.SetImageHandle(PictureStore::instance().add(testsupport::makeTestPicture(1333, 977, 8)));
    view.ApplyDispMode(1);
    ASSERT_EQ(view.viewGeometry().display, QSize(500, 366));
    const QRect d = view.pictureRectInView();
    const QPoint a = d.topLeft() + QPoint(100, 50), b = d.topLeft() + QPoint(400, 300);
    drag(a, b);
    const SelectionEdges s = view.selection();
    // The press and release positions lie on the first and last selected pixels.
    const double k = 1333.0 / 500;
    EXPECT_EQ(s.left, int((100 + 0.5) * k));
    EXPECT_EQ(s.right, int((400 + 0.5) * k) + 1);
    EXPECT_LE(s.top, int((50 + 0.5) * 977.0 / 366));
    EXPECT_GE(s.bottom, int((300 + 0.5) * 977.0 / 366) + 1);
}

TEST_F(ViewWidget, ClickWithoutDragClearsTheSelection) {
    drag(at(QPoint(10, 10)), at(QPoint(40, 40)));
    ASSERT_FALSE(view.selection().isNone());
    QTest::mouseClick(&view, Qt::LeftButton, Qt::NoModifier, at(QPoint(60, 60)));
    EXPECT_TRUE(view.selection().isNone());
    EXPECT_EQ(view.SelRight(), 0);
}

TEST_F(ViewWidget, MouseButtonCodesAndPixel) {
    drag(at(QPoint(10, 10)), at(QPoint(40, 40)));
    QSignalSpy spy(&view, &ImageEngine::mouseButton);
    view.ApplyDispMode(3);
    QTest::mousePress(&view, Qt::RightButton, Qt::ShiftModifier, at(QPoint(7, 9)));
    QTest::mouseRelease(&view, Qt::RightButton, Qt::ShiftModifier, at(QPoint(7, 9)));
    QTest::mousePress(&view, Qt::MiddleButton, Qt::ControlModifier, at(QPoint(1, 2)));
    QTest::mouseRelease(&view, Qt::MiddleButton, Qt::ControlModifier, at(QPoint(1, 2)));
    QTest::mousePress(&view, Qt::LeftButton, Qt::NoModifier, at(QPoint(3, 4)));
    QTest::mouseRelease(&view, Qt::LeftButton, Qt::NoModifier, at(QPoint(3, 4)));
    ASSERT_EQ(spy.count(), 3);
    EXPECT_EQ(spy[0], (QList<QVariant>{2, 1, 7, 9}));
    EXPECT_EQ(spy[1], (QList<QVariant>{4, 2, 1, 2}));
    EXPECT_EQ(spy[2], (QList<QVariant>{1, 0, 3, 4}));
}

TEST_F(ViewWidget, RightClickWithoutPictureStillReported) {
    ImageEngine empty;
    empty.resize(200, 100);
    empty.show();
    QSignalSpy spy(&empty, &ImageEngine::mouseButton);
    QTest::mouseClick(&empty, Qt::RightButton, Qt::NoModifier, QPoint(50, 50));
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy[0][0].toInt(), 2);
    EXPECT_TRUE(empty.selection().isNone());
}

TEST_F(ViewWidget, DropReportsTheFirstLocalPath) {
    QSignalSpy spy(&view, &ImageEngine::fileDropped);
    auto drop = [&](const QList<QUrl>& urls) {
        QMimeData mime;
        mime.setUrls(urls);
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&view, &enter);
        QDropEvent ev(QPointF(10, 10), Qt::CopyAction, &mime, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&view, &ev);
        return enter.isAccepted();
    };
    EXPECT_TRUE(drop({QUrl::fromLocalFile(QStringLiteral("/tmp/写真 1.PNG")), QUrl::fromLocalFile("/tmp/b.bmp")}));
    EXPECT_FALSE(drop({QUrl(QStringLiteral("https://example.com/a.png"))}));
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy[0][0].toString(), QStringLiteral("/tmp/写真 1.PNG"));
}

TEST_F(ViewWidget, PaintsEveryModeAndTheSelection) {
    // A picture with a single white pixel at (0, 0) on black.
    Picture pic;
    pic.image = QImage(333, 177, QImage::Format_BGR888);
    pic.image.fill(Qt::black);
    pic.image.setPixel(0, 0, qRgb(255, 255, 255));
    pic.bits = 24;
    view.SetImageHandle(PictureStore::instance().add(pic));
    for (int mode = 1; mode <= 5; ++mode) {
        view.ApplyDispMode(mode);
        const QImage shot = view.grab().toImage();
        const QRect d = view.pictureRectInView();
        // The first cell on screen shows the white pixel, the middle is black.
        EXPECT_EQ(QColor(shot.pixel(d.topLeft())), QColor(Qt::white)) << "mode " << mode;
        const QPoint mid = at(QPoint(100, 100));
        EXPECT_EQ(QColor(shot.pixel(mid)), QColor(Qt::black)) << "mode " << mode;
    }
    view.ApplyDispMode(3);
    pic.image.fill(QColor(128, 128, 128));
    view.SetImageHandle(PictureStore::instance().add(pic));
    view.SetSelLeft(100);
    view.SetSelTop(50);
    view.SetSelRight(201);
    view.SetSelBottom(101);
    const QImage shot = view.grab().toImage();
    const QRect d = view.pictureRectInView();
    // The band runs along the outer edge of the selected pixels.
    const QRgb grey = qRgb(128, 128, 128);
    for (QPoint onBand : {QPoint(100, 50), QPoint(200, 100), QPoint(100, 100), QPoint(200, 50)})
        EXPECT_NE(shot.pixel(d.topLeft() + onBand), grey) << onBand.x() << "," << onBand.y();
    for (QPoint off : {QPoint(150, 75), QPoint(99, 49), QPoint(201, 101), QPoint(101, 51)})
        EXPECT_EQ(shot.pixel(d.topLeft() + off), grey) << off.x() << "," << off.y();
}

TEST_F(ViewWidget, RenditionIsBuiltOnlyWhenPictureModeOrSizeChange) {
    view.ApplyDispMode(1);
    view.grab();
    const int first = view.renditionBuilds();
    // Selection, redisplay and repaint reuse it.
    view.SetSelLeft(3);
    view.SetSelRight(30);
    view.Refresh();
    view.grab();
    view.grab();
    EXPECT_EQ(view.renditionBuilds(), first);
    view.ApplyDispMode(2);
    view.grab();
    EXPECT_EQ(view.renditionBuilds(), first + 1);
    view.resize(480, 400);
    view.grab();
    EXPECT_EQ(view.renditionBuilds(), first + 2);
    ASSERT_TRUE(view.applyEdit([](Picture& p) {  // an edit: new pixels
        p.image.setPixel(0, 0, qRgb(1, 2, 3));
        return true;
    }));
    view.grab();
    EXPECT_EQ(view.renditionBuilds(), first + 3);

    // A big picture at actual size: only the visible part, reused for small scrolls.
    view.SetImageHandle(PictureStore::instance().add(testsupport::makeTestPicture(4000, 2500, 24)));
    view.ApplyDispMode(3);
    view.grab();
    const int big = view.renditionBuilds();
    view.setScrollPosition(QPoint(100, 100));
    view.grab();
    EXPECT_EQ(view.renditionBuilds(), big);
    view.setScrollPosition(QPoint(3000, 2000));
    const QImage shot = view.grab().toImage();
    EXPECT_EQ(view.renditionBuilds(), big + 1);
    // What is shown is the picture's pixel under each point.
    const QRect d = view.pictureRectInView();
    const QPoint probe(37, 41);
    const QPoint px = view.pixelAt(probe);
    EXPECT_EQ(px, probe - d.topLeft());
    EXPECT_EQ(shot.pixel(probe) & 0xffffff, view.current()->image.pixel(px) & 0xffffff);
}

TEST_F(ViewWidget, MiddleDragAndWheelScrollBigPictures) {
    view.SetImageHandle(PictureStore::instance().add(testsupport::makeTestPicture(2000, 1500, 24)));
    view.ApplyDispMode(3);
    ASSERT_GT(view.viewGeometry().maxScroll.x(), 0);
    QSignalSpy spy(&view, &ImageEngine::mouseButton);
    QTest::mousePress(&view, Qt::MiddleButton, Qt::NoModifier, QPoint(300, 300));
    QTest::mouseMove(&view, QPoint(250, 220));
    QTest::mouseRelease(&view, Qt::MiddleButton, Qt::NoModifier, QPoint(250, 220));
    EXPECT_EQ(view.scrollPosition(), QPoint(50, 80));  // the picture follows the pointer
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy[0][0].toInt(), 4);
    EXPECT_TRUE(view.selection().isNone());

    QWheelEvent down(QPointF(100, 100), view.mapToGlobal(QPointF(100, 100)), QPoint(), QPoint(0, -120), Qt::NoButton,
                     Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(&view, &down);
    EXPECT_GT(view.scrollPosition().y(), 80);
}

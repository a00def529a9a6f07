// Zoom keys and the status line of the main window: Ctrl with +, - and 0
// about the view's centre, nothing without a picture, the key table's edge
// cases untouched, and the status line following picture, zoom, pointer and
// selection.
#include "ui_fixture.h"

#include "main_window/info_panel.h"
#include "main_window/status_line.h"

#include <QMouseEvent>
#include <QTest>

using namespace uitest;

TEST(StatusLine, ShowsWhatIsKnownAndLeavesOutTheRest) {
    using mainwin::StatusFacts;
    EXPECT_EQ(mainwin::statusText(StatusFacts{}), QString()) << "no picture, no line";
    StatusFacts f;
    f.picture = QSize(640, 480);
    f.zoom = 2.0 / 3;
    EXPECT_EQ(mainwin::statusText(f), QStringLiteral("640 x 480  67%"));
    f.pointer = QPoint(0, 479);
    f.selection = QSize(20, 1);
    EXPECT_EQ(mainwin::statusText(f), QStringLiteral("640 x 480  67%  (0, 479)  範囲 20 x 1"));
}

TEST_F(MainWindowTest, ZoomKeysStepAboutTheCentreAndCtrl0GoesBackToTheMode) {
    fmMain& w = loadedWindow();
    w.resize(900, 700);
    w.show();
    engine::ImageEngine& view = w.control().ikImg();
    // Nothing happens without a picture, and no command reaches the control.
    for (int key : {int(Qt::Key_Plus), int(Qt::Key_Minus), int(Qt::Key_0), int(Qt::Key_Equal)})
        w.keyDown(key, Qt::ControlModifier);
    EXPECT_EQ(view.Zoom(), 0);
    EXPECT_TRUE(commands.empty());

    givePicture(w, 24, 300, 200);
    w.control().pcAct(QStringLiteral("表示"), QStringLiteral("実寸"));
    commands.clear();
    const QPoint centre(view.viewGeometry().viewport.width() / 2, view.viewGeometry().viewport.height() / 2);
    const QPoint middlePixel = view.pixelAt(centre);
    w.keyDown(Qt::Key_Plus, Qt::ControlModifier | Qt::ShiftModifier);  // "+" with Shift on most keyboards
    EXPECT_DOUBLE_EQ(view.Zoom(), 1.5);
    w.keyDown(Qt::Key_Plus, Qt::ControlModifier | Qt::KeypadModifier);
    EXPECT_DOUBLE_EQ(view.Zoom(), 2);
    EXPECT_EQ(view.pixelAt(centre), middlePixel) << "about the centre";
    EXPECT_EQ(w.ssImg()->status(), QStringLiteral(" 300 x 200  200%"));
    w.keyDown(Qt::Key_Minus, Qt::ControlModifier);
    w.keyDown(Qt::Key_Minus, Qt::ControlModifier | Qt::KeypadModifier);
    w.keyDown(Qt::Key_Minus, Qt::ControlModifier);
    EXPECT_DOUBLE_EQ(view.Zoom(), 2.0 / 3);
    // Alt, or Shift with "-", is not a zoom key.
    w.keyDown(Qt::Key_Minus, Qt::ControlModifier | Qt::AltModifier);
    w.keyDown(Qt::Key_Plus, Qt::ControlModifier | Qt::AltModifier);
    w.keyDown(Qt::Key_Minus, Qt::ControlModifier | Qt::ShiftModifier);
    w.keyDown(Qt::Key_Minus, Qt::NoModifier);
    EXPECT_DOUBLE_EQ(view.Zoom(), 2.0 / 3);
    w.keyDown(Qt::Key_0, Qt::ControlModifier);
    EXPECT_EQ(view.Zoom(), 0);
    EXPECT_EQ(view.viewGeometry().display, QSize(300, 200)) << "back to actual size, the mode";
    EXPECT_EQ(w.control().iDspMode(), 3);
    EXPECT_TRUE(commands.empty()) << "zooming is no command of the control";
    // The key table stays: Ctrl+X, Ctrl+Shift+S and Ctrl+Alt do nothing.
    w.keyDown(Qt::Key_X, Qt::ControlModifier);
    w.keyDown(Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
    w.keyDown(Qt::Key_R, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_TRUE(commands.empty());
}

TEST_F(MainWindowTest, StatusLineFollowsPointerSelectionAndEdits) {
    fmMain& w = loadedWindow();
    w.resize(900, 700);
    w.show();
    EXPECT_EQ(w.ssImg()->status(), QString());
    givePicture(w, 24, 120, 80);
    w.control().pcAct(QStringLiteral("表示"), QStringLiteral("実寸"));
    engine::ImageEngine& view = w.control().ikImg();
    const QRect pic = view.pictureRectInView();
    QTest::mouseMove(&view, pic.topLeft() + QPoint(10, 20));
    EXPECT_EQ(w.ssImg()->status(), QStringLiteral(" 120 x 80  100%  (10, 20)"));
    // Dragging shows the selection's size while it grows.
    QTest::mousePress(&view, Qt::LeftButton, Qt::NoModifier, pic.topLeft() + QPoint(10, 20));
    QTest::mouseMove(&view, pic.topLeft() + QPoint(30, 40));
    EXPECT_EQ(w.ssImg()->status(), QStringLiteral(" 120 x 80  100%  (30, 40)  範囲 21 x 21"));
    QTest::mouseRelease(&view, Qt::LeftButton, Qt::NoModifier, pic.topLeft() + QPoint(30, 40));
    // Outside the picture the position is left out.
    QTest::mouseMove(&view, QPoint(1, 1));
    EXPECT_EQ(w.ssImg()->status(), QStringLiteral(" 120 x 80  100%  範囲 21 x 21"));
    // Clearing the selection from the menu takes its size away.
    w.menus().chooser = [&](QMenu*) { return w.menus().mnEdt(6); };
    w.lbComClick(2);
    EXPECT_EQ(w.ssImg()->status(), QStringLiteral(" 120 x 80  100%"));
}

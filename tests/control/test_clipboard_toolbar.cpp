// The clipboard both ways and the drawing toolbar.
#include "control_fixture.h"

#include "engine/draw_tool.h"
#include "startup/usr.h"

#include <QApplication>
#include <QClipboard>

using namespace controltest;
using testsupport::makeTestPicture;
using testsupport::samePixels;

TEST_F(ControlTest, CopyPutsThePictureOrItsSelectionOnTheClipboard) {
    QApplication::clipboard()->clear();
    ctl->pcAct(QStringLiteral("画像編集"), QStringLiteral("ｸﾘｯﾌﾟﾎﾞｰﾄﾞにｺﾋﾟｰ"));
    EXPECT_TRUE(QApplication::clipboard()->image().isNull());  // no picture, nothing copied

    const engine::Picture pic = makeTestPicture(23, 17, 24);
    openPicture(pic);
    ctl->pcAct(QStringLiteral("画像編集"), QStringLiteral("ｸﾘｯﾌﾟﾎﾞｰﾄﾞにｺﾋﾟｰ"));
    EXPECT_EQ(testsupport::maxChannelDiff(QApplication::clipboard()->image(), rgb(pic)), 0);
    EXPECT_TRUE(samePixels(current(), pic));

    REQUIRE_OPS();
    select(4, 3, 10, 9);
    ctl->pcAct(QStringLiteral("画像編集"), QStringLiteral("ｸﾘｯﾌﾟﾎﾞｰﾄﾞにｺﾋﾟｰ"));
    // Exactly the selected pixels: columns 4..9, rows 3..8.
    EXPECT_EQ(testsupport::maxChannelDiff(QApplication::clipboard()->image(), rgb(pic).copy(4, 3, 6, 6)), 0);
    EXPECT_TRUE(samePixels(current(), pic));
    EXPECT_EQ(ctl->ikImg().SelRight(), 10);  // the selection stays
    EXPECT_EQ(ctl->iUndo(), 1);
    EXPECT_EQ(ctl->sEdtMode(), QStringLiteral("読込"));
}

TEST_F(ControlTest, CopyOfASelectionWithoutAreaCopiesTheWholePicture) {
    REQUIRE_OPS();
    const engine::Picture pic = makeTestPicture(9, 7, 24);
    openPicture(pic);
    select(4, 0, 4, 7);  // a drag that went nowhere sideways
    ctl->pcAct(QStringLiteral("画像編集"), QStringLiteral("ｸﾘｯﾌﾟﾎﾞｰﾄﾞにｺﾋﾟｰ"));
    EXPECT_EQ(testsupport::maxChannelDiff(QApplication::clipboard()->image(), rgb(pic)), 0);
    EXPECT_TRUE(samePixels(current(), pic));
}

TEST_F(ControlTest, ADrawingStrokeIsAnUndoableEdit) {
    const engine::Picture pic = makeTestPicture(16, 12, 24);
    openPicture(pic);
    ctl->pcAct(QStringLiteral("画像編集"), QStringLiteral("ﾂｰﾙﾊﾞｰを表示"));
    engine::DrawTool& tool = ctl->ikImg().drawTool();
    ASSERT_TRUE(tool.isOpen());
    tool.setTool(engine::DrawTool::Line);
    tool.setColour(Qt::red);
    tool.setPenWidth(1);
    tool.press(QPoint(1, 1));
    tool.move(QPoint(10, 1));
    ASSERT_TRUE(tool.release(QPoint(10, 1)));
    EXPECT_EQ(ctl->sEdtMode(), QStringLiteral("編集"));
    EXPECT_EQ(ctl->iUndo(), 2);
    EXPECT_EQ(undoFiles(), QStringList({QStringLiteral("$$Undo001.bmp"), QStringLiteral("$$Undo002.bmp")}));
    EXPECT_EQ(current().image.pixel(5, 1), qRgb(255, 0, 0));

    ctl->pcAct(QStringLiteral("画像編集"), QStringLiteral("編集を一つ戻す"));
    EXPECT_TRUE(samePixels(current(), pic));
    EXPECT_EQ(ctl->sEdtMode(), QStringLiteral("読込"));
}

TEST_F(ControlTest, CopyAfterAnEditKeepsTheEdit) {
    REQUIRE_OPS();
    const engine::Picture pic = makeTestPicture(12, 8, 24);
    openPicture(pic);
    ctl->pcAct(QStringLiteral("回転"), QStringLiteral("左右反転"));
    const engine::Picture flipped = current();
    ctl->pcAct(QStringLiteral("画像編集"), QStringLiteral("ｸﾘｯﾌﾟﾎﾞｰﾄﾞにｺﾋﾟｰ"));
    EXPECT_TRUE(samePixels(current(), flipped));
    EXPECT_EQ(testsupport::maxChannelDiff(QApplication::clipboard()->image(), rgb(flipped)), 0);
}

TEST_F(ControlTest, NewPictureFromTheClipboard) {
    const engine::Picture pic = makeTestPicture(9, 6, 24);
    QApplication::clipboard()->setImage(rgb(pic));
    ctl->pcAct(QStringLiteral("画像編集"), QStringLiteral("ｸﾘｯﾌﾟﾎﾞｰﾄﾞから新規"));
    EXPECT_EQ(ctl->prFile(), work + QStringLiteral("$$Undo001.bmp"));
    EXPECT_EQ(log, QStringList({QStringLiteral("eEdtMode 読込"), QStringLiteral("eStPcTyp 24.")}));
    EXPECT_EQ(testsupport::maxChannelDiff(rgb(current()), rgb(pic)), 0);
    EXPECT_TRUE(QApplication::clipboard()->image().isNull());
    EXPECT_EQ(ctl->iUndo(), 1);
    EXPECT_EQ(undoFiles(), QStringList({QStringLiteral("$$Undo001.bmp")}));
    EXPECT_EQ(ctl->ikImg2().ImageHandle(), 0u);

    // An empty clipboard does nothing.
    clearEvents();
    ctl->pcAct(QStringLiteral("画像編集"), QStringLiteral("ｸﾘｯﾌﾟﾎﾞｰﾄﾞから新規"));
    EXPECT_TRUE(log.isEmpty());
    EXPECT_TRUE(prompt.messages.isEmpty());
}

TEST_F(ControlTest, AClipboardPictureTooLargeToTakeIsReported) {
    const engine::Picture pic = makeTestPicture(9, 6, 24);
    const QString path = openPicture(pic);
    QImage wide(65536, 1, QImage::Format_RGB32);
    wide.fill(Qt::white);
    QApplication::clipboard()->setImage(wide);
    clearEvents();
    ctl->pcAct(QStringLiteral("画像編集"), QStringLiteral("ｸﾘｯﾌﾟﾎﾞｰﾄﾞから新規"));
    EXPECT_EQ(prompt.messages, QStringList({QStringLiteral("画像が大きすぎます")}));
    EXPECT_TRUE(log.isEmpty());
    EXPECT_EQ(ctl->prFile(), path);
    EXPECT_TRUE(samePixels(current(), pic));
}

TEST_F(ControlTest, NewPictureFromTheClipboardAsksAboutUnsavedEdits) {
    REQUIRE_OPS();
    const engine::Picture pic = makeTestPicture(12, 8, 24);
    const QString path = openPicture(pic);
    ctl->pcAct(QStringLiteral("回転"), QStringLiteral("右90度"));
    const engine::Picture turned = current();
    QApplication::clipboard()->setImage(rgb(makeTestPicture(5, 4, 24)));

    // Cancel: the edited picture, its history and the clipboard stay.
    prompt.answers = {platform::Cancel};
    ctl->pcAct(QStringLiteral("画像編集"), QStringLiteral("ｸﾘｯﾌﾟﾎﾞｰﾄﾞから新規"));
    EXPECT_EQ(prompt.messages.size(), 1);
    EXPECT_EQ(ctl->prFile(), path);
    EXPECT_TRUE(samePixels(current(), turned));
    EXPECT_EQ(ctl->sEdtMode(), QStringLiteral("編集"));
    EXPECT_EQ(ctl->iUndo(), 2);
    EXPECT_FALSE(QApplication::clipboard()->image().isNull());
    EXPECT_EQ(ctl->ikImg2().ImageHandle(), 0u);

    // Yes: the turned picture is written to its file, then the paste goes on.
    prompt.answers = {platform::Yes};
    ctl->pcAct(QStringLiteral("画像編集"), QStringLiteral("ｸﾘｯﾌﾟﾎﾞｰﾄﾞから新規"));
    EXPECT_EQ(ctl->prFile(), work + QStringLiteral("$$Undo001.bmp"));
    EXPECT_EQ(current().image.size(), QSize(5, 4));
    EXPECT_EQ(readFile(path).image.size(), QSize(8, 12));
}

TEST_F(ControlTest, DrawingToolbarOpensBesideTheMainWindow) {
    engine::DrawTool& tool = ctl->ikImg().drawTool();
    ctl->setHostGeometryProvider([] { return uPcE::HostGeometry{1500, 3000, 15, 15}; });
    ctl->pcAct(QStringLiteral("画像編集"), QStringLiteral("ﾂｰﾙﾊﾞｰを表示"));
    EXPECT_TRUE(tool.Caption.isEmpty());  // no picture: nothing opens
    EXPECT_FALSE(tool.isOpen());

    putPicture(makeTestPicture(8, 8, 24));
    Usr::sApFd = QStringLiteral("/opt/tolvane/apData/");
    ctl->pcAct(QStringLiteral("画像編集"), QStringLiteral("ﾂｰﾙﾊﾞｰを表示"));
    EXPECT_EQ(tool.Left, 32);
    EXPECT_EQ(tool.Top, 200);
    EXPECT_TRUE(tool.OptionA);
    EXPECT_TRUE(tool.OptionB);
    EXPECT_EQ(tool.Caption, QStringLiteral("ToolBar"));
    EXPECT_EQ(tool.SettingA, 50);
    EXPECT_EQ(tool.SettingB, 0);
    EXPECT_EQ(tool.BackColor, QColor(255, 255, 255));
    EXPECT_EQ(tool.PenColor, QColor(255, 0, 0));
    EXPECT_EQ(tool.StampFile, QStringLiteral("/opt/tolvane/apData/Stamp.bmp"));

    // Every command closes the toolbar first.
    ctl->pcAct(QStringLiteral("ほか"), QStringLiteral("何か"));
    EXPECT_FALSE(tool.isOpen());

    // The default geometry: the main window in pixels at 96 DPI.
    QWidget main;
    main.move(300, 400);
    Usr::oMainFm = &main;
    uPcE other;
    other.cOn(work);
    const quint32 h = engine::PictureStore::instance().add(makeTestPicture(4, 4, 24));
    other.SetImgHandle(h);
    engine::PictureStore::instance().remove(h);
    other.pcAct(QStringLiteral("画像編集"), QStringLiteral("ﾂｰﾙﾊﾞｰを表示"));
    Usr::oMainFm = nullptr;
    EXPECT_EQ(other.ikImg().drawTool().Left, main.frameGeometry().left() - 68);
    EXPECT_EQ(other.ikImg().drawTool().Top, main.frameGeometry().top());
    Usr::sApFd.clear();
}

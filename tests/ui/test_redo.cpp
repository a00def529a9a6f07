// Redo and taking back a revert in the window: the keys, the edit menu's
// "やり直し" and the undo button, each only while it has something to do.
#include "ui_fixture.h"

#include "engine/codecs/codecs.h"

#include <QToolButton>

using namespace uitest;

namespace {

const Command kRedo{"画像編集", "やり直し"};
const Command kUndo{"画像編集", "編集を一つ戻す"};

QString writePicture(const QString& path, const engine::Picture& pic) {
    engine::Error err = engine::Error::None;
    return engine::codecs::saveFile(path, engine::codecs::Bmp, pic, {}, err) ? path : QString();
}

}  // namespace

TEST_F(MainWindowTest, RedoKeysAndMenuItemFollowWhatCanBeRedone) {
    fmMain& w = loadedWindow();
    spPic& m = w.menus();
    QAction* redo = m.mnRedo();
    ASSERT_NE(redo, nullptr);
    EXPECT_EQ(spPic::caption(redo), "やり直し");
    // Right under "編集を一つ戻す"; every other item keeps its index and caption.
    const QList<QAction*> items = m.mnJb(3)->actions();
    ASSERT_GE(items.indexOf(m.mnEdt(1)), 0);
    EXPECT_EQ(items.indexOf(redo), items.indexOf(m.mnEdt(1)) + 1);
    EXPECT_EQ(spPic::caption(m.mnEdt(2)), "-");
    EXPECT_EQ(spPic::caption(m.mnEdt(3)), "ｸﾘｯﾌﾟﾎﾞｰﾄﾞにｺﾋﾟｰ");

    // Without a picture the keys do nothing.
    for (auto [key, mods] : {std::pair{Qt::Key_Y, Qt::KeyboardModifiers(Qt::ControlModifier)},
                             std::pair{Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier}})
        w.keyDown(key, mods);
    EXPECT_TRUE(commands.empty());
    EXPECT_EQ(w.control().ImgHandle(), 0u);

    const engine::Picture loaded = testsupport::makeTestPicture(30, 20, 24);
    QString path = writePicture(dir.path() + "/pic.bmp", loaded);
    ASSERT_FALSE(path.isEmpty());
    w.control().pcOpen(0, path);
    EXPECT_FALSE(redo->isEnabled());
    w.keyDown(Qt::Key_R, Qt::ControlModifier);
    const engine::Picture turned = *engine::PictureStore::instance().find(w.control().ImgHandle());
    w.keyDown(Qt::Key_Y, Qt::ControlModifier);  // nothing undone yet: nothing to redo
    EXPECT_EQ(commands.back().second, "右90度");

    w.keyDown(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_TRUE(redo->isEnabled());
    EXPECT_FALSE(m.mnEdt(1)->isEnabled()) << "back at the loaded picture";
    w.keyDown(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(commands.back(), kRedo);
    EXPECT_TRUE(testsupport::samePixels(*engine::PictureStore::instance().find(w.control().ImgHandle()), turned));
    EXPECT_FALSE(redo->isEnabled());
    EXPECT_TRUE(w.imBtn(5)->isEnabled());

    w.keyDown(Qt::Key_Z, Qt::ControlModifier);
    commands.clear();
    w.keyDown(Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(commands, std::vector<Command>{kRedo});

    // The menu item runs the same command.
    w.keyDown(Qt::Key_Z, Qt::ControlModifier);
    m.chooser = [&](QMenu*) { return redo; };
    commands.clear();
    w.lbComClick(2);
    EXPECT_EQ(commands, std::vector<Command>{kRedo});
    EXPECT_EQ(w.control().iUndo(), 2);

    // Ctrl+Alt+Y and Ctrl+Shift+Y are no redo keys.
    w.keyDown(Qt::Key_Z, Qt::ControlModifier);
    commands.clear();
    w.keyDown(Qt::Key_Y, Qt::ControlModifier | Qt::AltModifier);
    w.keyDown(Qt::Key_Y, Qt::ControlModifier | Qt::ShiftModifier);
    w.keyDown(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier);
    EXPECT_TRUE(commands.empty());
}

TEST_F(MainWindowTest, CtrlZRightAfterARevertBringsTheEditsBack) {
    fmMain& w = loadedWindow();
    const engine::Picture loaded = testsupport::makeTestPicture(30, 20, 24);
    QString path = writePicture(dir.path() + "/pic.bmp", loaded);
    ASSERT_FALSE(path.isEmpty());
    w.control().pcOpen(0, path);
    w.keyDown(Qt::Key_R, Qt::ControlModifier);
    const engine::Picture turned = *engine::PictureStore::instance().find(w.control().ImgHandle());

    spPic& m = w.menus();
    m.chooser = [&](QMenu*) { return m.mnEdt(0); };  // "読込時に戻す"
    w.lbComClick(2);
    EXPECT_TRUE(prompt.messages.isEmpty()) << "the revert asks nothing new";
    EXPECT_EQ(w.control().sEdtMode(), "読込");
    EXPECT_TRUE(w.imBtn(5)->isEnabled()) << "undo can take the revert back";
    EXPECT_TRUE(m.mnEdt(1)->isEnabled());

    w.keyDown(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_TRUE(testsupport::samePixels(*engine::PictureStore::instance().find(w.control().ImgHandle()), turned));
    EXPECT_EQ(w.control().sEdtMode(), "編集");
    EXPECT_TRUE(w.imBtn(1)->isEnabled());

    // Once an edit follows the revert, undo is only the ordinary one.
    w.lbComClick(2);
    w.keyDown(Qt::Key_L, Qt::ControlModifier);
    w.keyDown(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_TRUE(testsupport::samePixels(*engine::PictureStore::instance().find(w.control().ImgHandle()), loaded));
    EXPECT_FALSE(m.mnEdt(1)->isEnabled());
}

// The Ctrl keys, the buttons, the menu labels and the routing of a chosen
// menu item.
#include "ui_fixture.h"

#include "main_window/info_panel.h"

#include <QApplication>
#include <QCheckBox>
#include <QToolButton>
#include <QWindow>
#include <QtTest/QTest>

using namespace uitest;

namespace {
const Command kOpen{"ﾌｧｲﾙ", "ﾌｧｲﾙを開く"};
const Command kSave{"ﾌｧｲﾙ", "上書き保存"};
const Command kPaste{"画像編集", "ｸﾘｯﾌﾟﾎﾞｰﾄﾞから新規"};
const Command kCopy{"画像編集", "ｸﾘｯﾌﾟﾎﾞｰﾄﾞにｺﾋﾟｰ"};
const Command kTrim{"画像編集", "ﾄﾘﾐﾝｸﾞ"};
const Command kUndo{"画像編集", "編集を一つ戻す"};
const Command kRight{"回転", "右90度"};
const Command kLeft{"回転", "左90度"};

QAction* findItem(QMenu* menu, const QString& caption) {
    for (QAction* a : menu->findChildren<QAction*>())
        if (spPic::caption(a) == caption)
            return a;
    return nullptr;
}
}  // namespace

TEST_F(MainWindowTest, CtrlKeysRunTheirCommandsAndNothingElse) {
    fmMain& w = loadedWindow();
    struct Case {
        int key;
        Qt::KeyboardModifiers mods;
        std::vector<Command> expected;
    };
    const Case cases[] = {
        {Qt::Key_O, Qt::ControlModifier, {kOpen}},
        {Qt::Key_S, Qt::ControlModifier, {kSave}},
        {Qt::Key_V, Qt::ControlModifier, {kPaste}},
        {Qt::Key_C, Qt::ControlModifier, {kCopy}},
        {Qt::Key_T, Qt::ControlModifier, {kTrim}},
        {Qt::Key_Z, Qt::ControlModifier, {kUndo}},
        {Qt::Key_R, Qt::ControlModifier, {kRight}},
        {Qt::Key_L, Qt::ControlModifier, {kLeft}},
        {Qt::Key_X, Qt::ControlModifier, {}},  // trimming is Ctrl+T
        {Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier, {}},
        {Qt::Key_R, Qt::ControlModifier | Qt::AltModifier, {}},
        {Qt::Key_O, Qt::NoModifier, {}},
        {Qt::Key_A, Qt::ControlModifier, {}},
    };
    for (const Case& c : cases) {
        commands.clear();
        w.keyDown(c.key, c.mods);
        EXPECT_EQ(commands, c.expected) << "key " << c.key << " mods " << int(c.mods);
    }
}

TEST_F(MainWindowTest, KeysReachTheWindowBeforeTheFocusedWidget) {
    fmMain& w = loadedWindow();
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    QTest::keyClick(w.windowHandle(), Qt::Key_R, Qt::ControlModifier);
    QTest::keyClick(w.windowHandle(), Qt::Key_X, Qt::ControlModifier);
    QTest::keyClick(w.windowHandle(), Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(commands, std::vector<Command>{kRight});
}

TEST_F(MainWindowTest, ADisabledButtonAlsoDisablesItsKey) {
    fmMain& w = loadedWindow();
    emit w.control().eEdtMode("読込");
    EXPECT_FALSE(w.imBtn(1)->isEnabled());
    EXPECT_FALSE(w.imBtn(5)->isEnabled());
    w.keyDown(Qt::Key_S, Qt::ControlModifier);
    w.keyDown(Qt::Key_Z, Qt::ControlModifier);
    w.keyDown(Qt::Key_R, Qt::ControlModifier);  // rotations are always on
    EXPECT_EQ(commands, std::vector<Command>{kRight});
    emit w.control().eEdtMode("編集");
    EXPECT_TRUE(w.imBtn(1)->isEnabled());
    w.keyDown(Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(commands.back(), kSave);
    EXPECT_TRUE(w.imBtn(1)->isEnabled()) << "the button comes back after its command";
}

TEST_F(MainWindowTest, ButtonsRunTheirCommandPairs) {
    fmMain& w = loadedWindow();
    for (int i = 0; i < 6; ++i)
        w.imBtn(i)->click();
    EXPECT_EQ(commands, (std::vector<Command>{kOpen, kSave, kPaste, kCopy, kTrim, kUndo}));
}

TEST_F(MainWindowTest, ScaleBoxSendsTheViewMode) {
    fmMain& w = loadedWindow();
    ASSERT_TRUE(w.chScl(0)->isChecked());
    w.chScl(0)->click();
    w.chScl(0)->click();
    EXPECT_EQ(commands, (std::vector<Command>{{"表示", "実寸"}, {"表示", "ｽｹｰﾙ"}}));
}

TEST_F(MainWindowTest, DoComRoutesTheChoiceAndRebuildsThePreviewForItsCommands) {
    fmMain& w = loadedWindow();
    givePicture(w);
    // Only DoCom's own rule is looked at here: the control's report of a changed
    // picture rebuilds the preview as well (AnEditRebuildsThePreviewSoTheCommitKeepsIt).
    QObject::disconnect(&w.control(), &uPcE::eStPcTyp, &w, nullptr);
    spPic& m = w.menus();
    struct Case {
        Command chosen;
        bool rebuild;
    };
    const Case cases[] = {
        {{"画像編集", "強調"}, true},
        {{"画像編集", "読込時に戻す"}, true},
        {{"回転", "左右反転"}, false},
        {{"ﾘｻｲｽﾞ", "横基準"}, false},
        {{"範囲", "範囲のｸﾘｱ"}, false},
        {{"ﾌｧｲﾙ", "名前を付けて保存"}, false},
        {{"ﾌｧｲﾙ", "ｸﾘｯﾌﾟﾎﾞｰﾄﾞから新規"}, true},  // by the caption alone
        {{"綴じ込み", "戻す"}, true},  // a part of the caption list counts
    };
    for (const Case& c : cases) {
        commands.clear();
        const quint32 before = w.ikImg().ImageHandle();
        m.sGrp = c.chosen.first;
        m.sCap = c.chosen.second;
        w.DoCom();
        EXPECT_EQ(commands, std::vector<Command>{c.chosen});
        EXPECT_EQ(w.ikImg().ImageHandle() != before, c.rebuild) << c.chosen.second.toStdString();
    }
    // A dismissed menu runs nothing.
    commands.clear();
    m.sGrp = "画像編集";
    m.sCap.clear();
    w.DoCom();
    EXPECT_TRUE(commands.empty());
}

TEST_F(MainWindowTest, ToolbarAndKeysLeaveThePreviewToTheControlsEvents) {
    fmMain& w = loadedWindow();
    givePicture(w);
    const quint32 before = w.ikImg().ImageHandle();
    w.keyDown(Qt::Key_Z, Qt::ControlModifier);
    w.BtnAct(3);
    EXPECT_EQ(w.ikImg().ImageHandle(), before);
}

TEST_F(MainWindowTest, QuitFromTheMenuEndsTheProgramWithoutAControlCommand) {
    fmMain& w = loadedWindow();
    w.menus().chooser = [](QMenu* menu) { return findItem(menu, "終了(&X)"); };
    w.lbComClick(1);
    EXPECT_TRUE(commands.empty());
    EXPECT_EQ(appEnds, 1);
}

TEST_F(MainWindowTest, MenuLabelsOpenTheirMenus) {
    fmMain& w = loadedWindow();
    const QString help = shipHelpPage();
    std::vector<QString> opened;
    w.menus().chooser = [&](QMenu* menu) {
        opened.push_back(menu->title());
        return findItem(menu, "右90度");
    };
    w.lbComClick(1);
    w.lbComClick(2);
    w.lbComClick(3);
    w.lbComClick(4);  // the help page, no menu
    EXPECT_EQ(opened, (std::vector<QString>{"ﾌｧｲﾙ", "画像編集", "表示"}));
    EXPECT_EQ(commands, std::vector<Command>{kRight});
    // The help label opens the help page shipped with the program.
    ASSERT_EQ(shell.requests.size(), 1u);
    EXPECT_EQ(shell.requests[0].target, help);
    EXPECT_TRUE(prompt.messages.isEmpty());
}

TEST_F(MainWindowTest, RightClickMenuRunsTheChosenEditCommand) {
    fmMain& w = loadedWindow();
    w.menus().chooser = [](QMenu* menu) { return findItem(menu, "上下反転"); };
    emit w.control().ePopUp();
    EXPECT_EQ(commands, (std::vector<Command>{{"回転", "上下反転"}}));
    commands.clear();
    w.menus().chooser = [](QMenu*) { return nullptr; };  // dismissed
    emit w.control().ePopUp();
    EXPECT_TRUE(commands.empty());
}

TEST_F(MainWindowTest, AccessKeysOpenTheLabelsMenusBelowTheLabelNotAtThePointer) {
    fmMain& w = loadedWindow();
    const QString help = shipHelpPage();
    w.show();
    QApplication::setActiveWindow(&w);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    QCursor::setPos(w.mapToGlobal(QPoint(w.width() - 5, w.height() - 5)));
    std::vector<std::pair<QString, QPoint>> opened;
    w.menus().chooser = [&](QMenu* menu) {
        opened.emplace_back(menu->title(), w.menus().lastPopupPos);
        return nullptr;
    };
    QTest::keyClick(w.windowHandle(), Qt::Key_E, Qt::AltModifier);
    QTest::keyClick(w.windowHandle(), Qt::Key_F, Qt::AltModifier);
    QTest::keyClick(w.windowHandle(), Qt::Key_U, Qt::AltModifier);
    const auto below = [&](int i) { return w.lbCom(i)->mapToGlobal(QPoint(0, w.lbCom(i)->height())); };
    EXPECT_EQ(opened, (std::vector<std::pair<QString, QPoint>>{
                          {"画像編集", below(2)}, {"ﾌｧｲﾙ", below(1)}, {"表示", below(3)}}));

    // A click on a label opens its menu at the pointer, as before.
    opened.clear();
    QTest::mouseClick(w.lbCom(1), Qt::LeftButton, {}, QPoint(7, 5));
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].first, "ﾌｧｲﾙ");
    EXPECT_EQ(opened[0].second, QCursor::pos());

    // Alt+H opens the help, which has no menu.
    opened.clear();
    QTest::keyClick(w.windowHandle(), Qt::Key_H, Qt::AltModifier);
    EXPECT_TRUE(opened.empty());
    ASSERT_EQ(shell.requests.size(), 1u);
    EXPECT_EQ(shell.requests[0].target, help);
}

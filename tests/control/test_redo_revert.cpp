// Redo through the numbered undo files, a revert that undo takes back, and
// the background writer under quick sequences of edits.
#include "control_fixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>

#include <map>
#include <random>

using namespace controltest;
using testsupport::makeTestPicture;
using testsupport::samePixels;

class HistoryTest : public ControlTest {
protected:
    void SetUp() override {
        REQUIRE_BMP();
        REQUIRE_OPS();
    }
    void turn(const QString& caption = QStringLiteral("右90度")) { ctl->pcAct(QStringLiteral("回転"), caption); }
    void undo() { ctl->pcAct(QStringLiteral("画像編集"), QStringLiteral("編集を一つ戻す")); }
    void redo() { ctl->pcAct(QStringLiteral("画像編集"), QStringLiteral("やり直し")); }
    void revert() { ctl->pcAct(QStringLiteral("画像編集"), QStringLiteral("読込時に戻す")); }
    // Whether undo file step holds pic.
    bool fileHolds(int step, const engine::Picture& pic) { return samePixels(readFile(work + undoNames({step})[0]), pic); }
};

TEST_F(HistoryTest, RedoBringsBackUndoneStepsUntilANewEditReplacesThem) {
    const engine::Picture loaded = makeTestPicture(30, 20, 24);
    openPicture(loaded);
    QSignalSpy history(ctl.get(), &uPcE::eHistory);
    EXPECT_FALSE(ctl->canRedo());
    redo();  // nothing to redo: nothing happens
    EXPECT_EQ(ctl->iUndo(), 1);
    EXPECT_TRUE(samePixels(current(), loaded));

    turn();
    const engine::Picture turned = current();
    turn(QStringLiteral("左右反転"));
    const engine::Picture mirrored = current();

    // After one undo.
    undo();
    EXPECT_TRUE(ctl->canRedo());
    ASSERT_FALSE(history.isEmpty());
    EXPECT_EQ(history.last().at(0).toBool(), true);
    EXPECT_EQ(undoFiles(), undoNames({1, 2, 3})) << "an undone step stays on disk";
    redo();
    EXPECT_TRUE(samePixels(current(), mirrored));
    EXPECT_EQ(ctl->iUndo(), 3);
    EXPECT_EQ(ctl->sEdtMode(), "編集");
    EXPECT_FALSE(ctl->canRedo());
    EXPECT_EQ(history.last().at(0).toBool(), false);

    // After two undos: back to the loaded state, then forward step by step.
    undo();
    undo();
    EXPECT_EQ(ctl->sEdtMode(), "読込");
    EXPECT_TRUE(samePixels(current(), loaded));
    clearEvents();
    redo();
    EXPECT_TRUE(samePixels(current(), turned));
    EXPECT_EQ(ctl->iUndo(), 2);
    EXPECT_EQ(log, QStringList({"eEdtMode 編集", "eStPcTyp 24."}));
    EXPECT_TRUE(ctl->canRedo());
    redo();
    EXPECT_TRUE(samePixels(current(), mirrored));
    EXPECT_TRUE(fileHolds(2, turned) && fileHolds(3, mirrored));

    // A new edit after an undo gives up what redo could reach: the new step
    // takes the next number and replaces its file; the step above is no
    // longer reachable, though its file stays until its number is used.
    undo();
    undo();
    turn(QStringLiteral("上下反転"));
    const engine::Picture flipped = current();
    EXPECT_FALSE(ctl->canRedo());
    EXPECT_EQ(undoFiles(), undoNames({1, 2, 3}));
    EXPECT_TRUE(fileHolds(2, flipped));
    redo();
    EXPECT_TRUE(samePixels(current(), flipped));
    EXPECT_EQ(ctl->iUndo(), 2);
    undo();
    EXPECT_TRUE(samePixels(current(), loaded));
    redo();
    EXPECT_TRUE(samePixels(current(), flipped)) << "redo never reaches the abandoned step";
}

TEST_F(HistoryTest, UndoRightAfterARevertTakesItBack) {
    const engine::Picture loaded = makeTestPicture(24, 16, 24);
    openPicture(loaded);
    turn();
    const engine::Picture turned = current();
    turn(QStringLiteral("左右反転"));
    const engine::Picture mirrored = current();
    undo();  // a redo step too, which the revert keeps as well
    redo();
    undo();

    QSignalSpy history(ctl.get(), &uPcE::eHistory);
    clearEvents();
    revert();
    EXPECT_TRUE(samePixels(current(), loaded));
    EXPECT_EQ(ctl->iUndo(), 1);
    EXPECT_EQ(ctl->sEdtMode(), "読込");
    EXPECT_TRUE(prompt.messages.isEmpty()) << "the revert asks nothing";
    EXPECT_EQ(undoFiles(), undoNames({1}));
    EXPECT_TRUE(ctl->canTakeBackRevert());
    ASSERT_FALSE(history.isEmpty());
    EXPECT_EQ(history.last().at(1).toBool(), true);

    clearEvents();
    undo();
    EXPECT_TRUE(samePixels(current(), turned));
    EXPECT_EQ(ctl->iUndo(), 2);
    EXPECT_EQ(ctl->sEdtMode(), "編集");
    EXPECT_EQ(log, QStringList({"eEdtMode 編集", "eStPcTyp 24."}));
    EXPECT_FALSE(ctl->canTakeBackRevert());
    EXPECT_EQ(undoFiles(), undoNames({1, 2, 3}));
    EXPECT_TRUE(fileHolds(1, loaded) && fileHolds(2, turned) && fileHolds(3, mirrored));
    EXPECT_FALSE(QFileInfo::exists(work + "$$Revert")) << "nothing is left aside";
    redo();
    EXPECT_TRUE(samePixels(current(), mirrored));
    undo();
    undo();
    EXPECT_TRUE(samePixels(current(), loaded));
    EXPECT_EQ(ctl->sEdtMode(), "読込");
}

TEST_F(HistoryTest, TheRevertStaysOnceAnEditOrALoadFollows) {
    const engine::Picture loaded = makeTestPicture(24, 16, 24);
    const QString path = openPicture(loaded);
    turn();
    revert();
    turn(QStringLiteral("上下反転"));
    EXPECT_FALSE(ctl->canTakeBackRevert());
    EXPECT_FALSE(QFileInfo::exists(work + "$$Revert"));
    undo();
    EXPECT_TRUE(samePixels(current(), loaded)) << "undo now goes back to the reverted picture";
    undo();
    EXPECT_TRUE(samePixels(current(), loaded));
    EXPECT_EQ(ctl->iUndo(), 1);

    turn();
    revert();
    ASSERT_TRUE(ctl->canTakeBackRevert());
    QString again = path;
    ctl->pcOpen(0, again);  // any load ends it
    EXPECT_FALSE(ctl->canTakeBackRevert());
    EXPECT_EQ(undoFiles(), undoNames({1}));
    EXPECT_FALSE(QFileInfo::exists(work + "$$Revert"));

    // Without edits there is nothing to take back.
    revert();
    EXPECT_FALSE(ctl->canTakeBackRevert());

    // Shutdown removes what a revert kept.
    turn();
    revert();
    ASSERT_TRUE(QFileInfo::exists(work + "$$Revert"));
    ctl->cOFF();
    EXPECT_TRUE(QDir(work).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).isEmpty());
}

// Edits, undos and redos in quick succession, never waiting for the writer:
// every undo and redo shows the right picture, and at the end every file of
// the history holds its step.
TEST_F(HistoryTest, QuickSequencesKeepTheFilesInStepWithTheHistory) {
    // Large enough that a write is still under way when the next command comes.
    openPicture(makeTestPicture(640, 480, 24));
    std::map<int, engine::Picture> expected{{1, current()}};
    int top = 1;
    std::mt19937 random(7);
    const QString edits[] = {QStringLiteral("右90度"), QStringLiteral("左90度"), QStringLiteral("左右反転"),
                             QStringLiteral("上下反転")};
    for (int i = 0; i < 40; ++i) {
        const int what = int(random() % 5);
        if (what <= 2 || ctl->iUndo() == 1) {
            turn(edits[random() % 4]);
            top = ctl->iUndo();
            expected[top] = current();
        } else if (what == 3) {
            undo();
        } else if (ctl->canRedo()) {
            redo();
        }
        ASSERT_TRUE(samePixels(current(), expected[ctl->iUndo()])) << "command " << i << " step " << ctl->iUndo();
    }
    const QStringList onDisk = undoFiles();
    for (int s = 1; s <= top; ++s)
        EXPECT_TRUE(onDisk.contains(undoNames({s})[0])) << "step " << s;
    for (int s = 1; s <= top; ++s)
        EXPECT_TRUE(fileHolds(s, expected[s])) << "step " << s;
    EXPECT_TRUE(prompt.messages.isEmpty());
}

// An edit followed at once by a save, a new picture or the shutdown: the
// writes still under way never touch what follows.
TEST_F(HistoryTest, SaveOpenAndShutdownRightAfterAnEditLeaveAConsistentFolder) {
    openPicture(makeTestPicture(640, 480, 24));
    turn();
    turn();
    prompt.saveNames.push_back(pics + "saved.bmp");
    ctl->pcAct("ﾌｧｲﾙ", "名前を付けて保存");
    EXPECT_EQ(undoFiles(), undoNames({1}));
    EXPECT_TRUE(fileHolds(1, current()));

    turn();
    const engine::Picture other = makeTestPicture(33, 21, 8, 5);
    openPicture(other, "other.bmp");
    EXPECT_EQ(undoFiles(), undoNames({1}));
    EXPECT_TRUE(fileHolds(1, other));

    turn();
    turn();
    ctl->cOFF();
    EXPECT_TRUE(QDir(work).entryList({"$$*"}, QDir::AllEntries | QDir::Hidden).isEmpty());
    EXPECT_TRUE(prompt.messages.isEmpty());
}

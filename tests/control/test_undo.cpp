// The undo history on disk, step by step, and its limits.
#include "control_fixture.h"

#include <QFile>

using namespace controltest;
using testsupport::makeTestPicture;
using testsupport::samePixels;

TEST_F(ControlTest, UndoNumberingFollowsTheHistory) {
    REQUIRE_BMP();
    REQUIRE_OPS();
    const engine::Picture loaded = makeTestPicture(40, 30, 24);
    openPicture(loaded);
    EXPECT_EQ(undoFiles(), undoNames({1}));
    EXPECT_EQ(ctl->iUndo(), 1);
    EXPECT_EQ(ctl->sEdtMode(), QStringLiteral("読込"));

    ctl->pcAct(QStringLiteral("回転"), QStringLiteral("右90度"));
    const engine::Picture rotated = current();
    EXPECT_EQ(undoFiles(), undoNames({1, 2}));
    EXPECT_EQ(ctl->iUndo(), 2);
    EXPECT_EQ(ctl->sEdtMode(), QStringLiteral("編集"));
    EXPECT_TRUE(samePixels(readFile(work + undoNames({2})[0]), rotated));

    select(2, 3, 12, 9);
    ctl->pcAct(QStringLiteral("画像編集"), QStringLiteral("ﾄﾘﾐﾝｸﾞ"));
    const engine::Picture trimmed = current();
    EXPECT_EQ(undoFiles(), undoNames({1, 2, 3}));
    EXPECT_EQ(ctl->iUndo(), 3);
    EXPECT_EQ(ctl->sEdtMode(), QStringLiteral("編集"));
    EXPECT_TRUE(samePixels(readFile(work + undoNames({3})[0]), trimmed));

    clearEvents();
    ctl->pcAct(QStringLiteral("画像編集"), QStringLiteral("編集を一つ戻す"));
    EXPECT_EQ(undoFiles(), undoNames({1, 2, 3}));
    EXPECT_EQ(ctl->iUndo(), 2);
    EXPECT_EQ(ctl->sEdtMode(), QStringLiteral("編集"));
    EXPECT_TRUE(samePixels(current(), rotated));
    EXPECT_EQ(spyFile->count(), 0);
    EXPECT_EQ(spyType->count(), 1);

    clearEvents();
    ctl->pcAct(QStringLiteral("画像編集"), QStringLiteral("編集を一つ戻す"));
    EXPECT_EQ(undoFiles(), undoNames({1, 2, 3}));
    EXPECT_EQ(ctl->iUndo(), 1);
    EXPECT_EQ(ctl->sEdtMode(), QStringLiteral("読込"));
    EXPECT_TRUE(samePixels(current(), loaded));
    EXPECT_EQ(log, QStringList({QStringLiteral("eEdtMode 読込"), QStringLiteral("eStPcTyp 24.")}));

    select(0, 0, 20, 10);
    ctl->pcAct(QStringLiteral("ﾘｻｲｽﾞ"), QStringLiteral("縦横比率を変えて縮小"));
    EXPECT_EQ(current().width(), 20);
    EXPECT_EQ(current().height(), 10);
    EXPECT_EQ(ctl->iUndo(), 2);
    EXPECT_EQ(ctl->sEdtMode(), QStringLiteral("編集"));
    EXPECT_EQ(undoFiles(), undoNames({1, 2, 3}));  // 003 is stale now
    EXPECT_TRUE(samePixels(readFile(work + undoNames({2})[0]), current()));

    prompt.saveNames.push_back(pics + QStringLiteral("saved.bmp"));
    ctl->pcAct(QStringLiteral("ﾌｧｲﾙ"), QStringLiteral("名前を付けて保存"));
    EXPECT_EQ(undoFiles(), undoNames({1}));
    EXPECT_EQ(ctl->iUndo(), 1);
    EXPECT_EQ(ctl->sEdtMode(), QStringLiteral("読込"));
    EXPECT_TRUE(samePixels(readFile(work + undoNames({1})[0]), current()));
}

TEST_F(ControlTest, UndoWithNothingToGoBackToKeepsPictureAndState) {
    REQUIRE_BMP();
    const engine::Picture pic = makeTestPicture(9, 9, 24);
    openPicture(pic);
    // The dispatch marks "編集" even when an edit changed nothing, so undo can
    // arrive at step 1.
    ctl->pcAct(QStringLiteral("色数"), QStringLiteral("256色"));
    ASSERT_EQ(ctl->sEdtMode(), QStringLiteral("編集"));
    clearEvents();
    ctl->pcAct(QStringLiteral("画像編集"), QStringLiteral("編集を一つ戻す"));
    EXPECT_EQ(ctl->iUndo(), 1);
    EXPECT_EQ(ctl->sEdtMode(), QStringLiteral("編集"));
    EXPECT_TRUE(samePixels(current(), pic));
    EXPECT_TRUE(log.isEmpty());
    EXPECT_TRUE(prompt.messages.isEmpty());
}

TEST_F(ControlTest, MissingOrDamagedUndoFileKeepsTheStep) {
    REQUIRE_BMP();
    openPicture(makeTestPicture(9, 9, 24));
    putPicture(makeTestPicture(9, 9, 24, 2));
    putPicture(makeTestPicture(9, 9, 24, 3));
    const engine::Picture newest = current();
    ASSERT_EQ(ctl->iUndo(), 3);

    QFile::remove(work + QStringLiteral("$$Undo002.bmp"));
    clearEvents();
    ctl->pcAct(QStringLiteral("画像編集"), QStringLiteral("編集を一つ戻す"));
    EXPECT_EQ(prompt.messages,
              QStringList({work + QStringLiteral("$$Undo002.bmp\r画像ﾌｧｲﾙを読み込めません")}));
    EXPECT_EQ(ctl->iUndo(), 3);
    EXPECT_EQ(ctl->sEdtMode(), QStringLiteral("編集"));
    EXPECT_TRUE(samePixels(current(), newest));
    EXPECT_TRUE(log.isEmpty());

    QFile f(work + QStringLiteral("$$Undo002.bmp"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("BM garbage");
    f.close();
    ctl->pcAct(QStringLiteral("画像編集"), QStringLiteral("編集を一つ戻す"));
    EXPECT_EQ(prompt.messages.size(), 2);
    EXPECT_EQ(ctl->iUndo(), 3);
    EXPECT_TRUE(samePixels(current(), newest));
}

TEST_F(ControlTest, PictureFromTheHostIsAnEditWithItsOwnStep) {
    REQUIRE_BMP();
    openPicture(makeTestPicture(9, 9, 24));
    const engine::Picture host = makeTestPicture(5, 4, 80);
    const quint32 h = engine::PictureStore::instance().add(host);
    clearEvents();
    ctl->SetImgHandle(h);
    EXPECT_EQ(log, QStringList({QStringLiteral("eEdtMode 編集"), QStringLiteral("eStPcTyp 80.")}));
    EXPECT_NE(ctl->ImgHandle(), h);  // the control holds its own copy
    ASSERT_NE(engine::PictureStore::instance().find(h), nullptr);
    EXPECT_EQ(ctl->iUndo(), 2);
    EXPECT_TRUE(samePixels(readFile(work + QStringLiteral("$$Undo002.bmp")), host));
    engine::PictureStore::instance().remove(h);

    // A handle that names no picture changes nothing.
    clearEvents();
    ctl->SetImgHandle(0xFFFFFF0u);
    EXPECT_EQ(prompt.messages.size(), 1);
    EXPECT_TRUE(log.isEmpty());
    EXPECT_EQ(ctl->iUndo(), 2);
    EXPECT_TRUE(samePixels(current(), host));
}

TEST_F(ControlTest, WithoutWorkFolderNoHistory) {
    ctl->cOn(QStringLiteral("   "));
    EXPECT_EQ(ctl->sWrkFld(), QString());
    putPicture(makeTestPicture(4, 4, 24));
    EXPECT_EQ(ctl->ImgHandle(), 0u);  // the host's picture is not taken without a history
    ctl->cOn(QStringLiteral("  ") + work + QStringLiteral(" "));
    EXPECT_EQ(ctl->sWrkFld(), work);
}

TEST_F(ControlTest, FullHistoryRefusesTheStepInsteadOfWrapping) {
    REQUIRE_BMP();
    openPicture(makeTestPicture(6, 6, 24));
    UpceTestAccess::setIUndo(*ctl, uPcE::kMaxUndo - 1);
    putPicture(makeTestPicture(6, 6, 24, 2));
    EXPECT_EQ(ctl->iUndo(), uPcE::kMaxUndo);
    EXPECT_TRUE(QFile::exists(work + QStringLiteral("$$Undo32767.bmp")));
    EXPECT_TRUE(prompt.messages.isEmpty());

    const engine::Picture next = makeTestPicture(6, 6, 24, 3);
    putPicture(next);
    EXPECT_EQ(ctl->iUndo(), uPcE::kMaxUndo);
    EXPECT_EQ(prompt.messages.size(), 1);
    EXPECT_TRUE(samePixels(current(), next));  // the edit itself stands
    EXPECT_EQ(ctl->sEdtMode(), QStringLiteral("編集"));
}

TEST_F(ControlTest, ShutdownRemovesEveryUndoFile) {
    REQUIRE_BMP();
    openPicture(makeTestPicture(6, 6, 24));
    putPicture(makeTestPicture(6, 6, 24, 2));
    QFile other(work + QStringLiteral("$$foreign.bmp"));
    ASSERT_TRUE(other.open(QIODevice::WriteOnly));
    other.close();
    QFile keep(work + QStringLiteral("keep.bmp"));
    ASSERT_TRUE(keep.open(QIODevice::WriteOnly));
    keep.close();
    const quint32 before = ctl->ImgHandle();
    ctl->cOFF();
    EXPECT_TRUE(undoFiles().isEmpty());
    EXPECT_TRUE(QFile::exists(keep.fileName()));
    EXPECT_EQ(ctl->prFile(), QString());
    EXPECT_EQ(ctl->sBit(), QString());
    EXPECT_EQ(ctl->sWrkFld(), QString());
    EXPECT_EQ(ctl->ImgHandle(), before);  // the picture itself is left alone
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(ctl->CornerX()[i] | ctl->CornerY()[i], 0);
}

// Quick edits and undos, none waiting for the writes under way: every undo
// gets the picture of the step before, also while the current step's file is
// still being written, and an edit after an undo replaces the step it gives
// up on disk as well.
TEST_F(ControlTest, UndoRightAfterEditsGetsEachStepBack) {
    REQUIRE_BMP();
    REQUIRE_OPS();
    const engine::Picture loaded = makeTestPicture(600, 400, 24, 11);
    openPicture(loaded);
    std::vector<engine::Picture> states{current()};
    for (const char* item : {"右90度", "左右反転", "右90度", "上下反転"}) {
        ctl->pcAct(QStringLiteral("回転"), QString::fromUtf8(item));
        states.push_back(current());
    }
    ASSERT_EQ(ctl->iUndo(), 5);
    for (int step = 4; step >= 2; --step) {
        ctl->pcAct(QStringLiteral("画像編集"), QStringLiteral("編集を一つ戻す"));
        ASSERT_EQ(ctl->iUndo(), step);
        EXPECT_TRUE(samePixels(current(), states[size_t(step - 1)])) << step;
    }
    // A new edit from step 2 gives up steps 3 to 5; undo and redo meet it.
    ctl->pcAct(QStringLiteral("回転"), QStringLiteral("左90度"));
    const engine::Picture branch = current();
    ctl->pcAct(QStringLiteral("画像編集"), QStringLiteral("編集を一つ戻す"));
    EXPECT_TRUE(samePixels(current(), states[1]));
    ctl->pcAct(QStringLiteral("画像編集"), QStringLiteral("やり直し"));
    EXPECT_TRUE(samePixels(current(), branch));
    ctl->settleUndo();
    EXPECT_TRUE(prompt.messages.isEmpty()) << prompt.messages.join(QChar('\n')).toStdString();
    EXPECT_TRUE(samePixels(readFile(work + undoNames({3})[0]), branch));
    EXPECT_TRUE(samePixels(readFile(work + undoNames({1})[0]), loaded));
}

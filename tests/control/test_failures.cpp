// A command whose engine call fails for real (here an allocation failure
// injected into the engine's edits) tells the user the engine's reason and
// leaves the picture, the undo history and the state as they were.
#include "control_fixture.h"

using namespace controltest;
using testsupport::makeTestPicture;
using testsupport::samePixels;

namespace {

struct InjectedFailure {
    explicit InjectedFailure(int nth) { engine::ImageEngine::failEditForTesting(nth); }
    ~InjectedFailure() { engine::ImageEngine::failEditForTesting(0); }
};

class FailureTest : public ControlTest {
protected:
    // Runs the command with the nth engine edit failing; checks that nothing changed.
    void expectUntouched(const QString& group, const QString& item, int nth) {
        const engine::Picture before = current();
        const QString bit = ctl->sBit(), mode = ctl->sEdtMode();
        const int step = ctl->iUndo();
        const QStringList files = undoFiles();
        const int l = ctl->ikImg().SelLeft(), r = ctl->ikImg().SelRight();
        const int shown = prompt.messages.size();
        {
            InjectedFailure inject(nth);
            ctl->pcAct(group, item);
        }
        SCOPED_TRACE((group + QChar('/') + item + QStringLiteral(" failing at edit ") + QString::number(nth)).toStdString());
        EXPECT_EQ(ctl->lastOutcome(), uPcE::Outcome::Failed);
        ASSERT_EQ(prompt.messages.size(), shown + 1);
        EXPECT_EQ(prompt.messages.last(), engine::errorText(engine::Error::OutOfMemory));
        EXPECT_TRUE(samePixels(current(), before));
        EXPECT_EQ(current().bits, before.bits);
        EXPECT_EQ(ctl->sBit(), bit);
        EXPECT_EQ(ctl->sEdtMode(), mode);
        EXPECT_EQ(ctl->iUndo(), step);
        EXPECT_EQ(undoFiles(), files);
        EXPECT_EQ(ctl->ikImg().SelLeft(), l);
        EXPECT_EQ(ctl->ikImg().SelRight(), r);
    }
};

}  // namespace

// The highlight of a grey picture passes through 16 bits: whichever of its
// three edits fails, the picture stays 8-bit grey (it used to stay at 16 bits).
TEST_F(FailureTest, HighlightOfAGreyPictureKeepsItsDepthWhenAnEditFails) {
    REQUIRE_DEPTH_OPS();
    openPicture(makeTestPicture(40, 30, 80));
    ASSERT_EQ(ctl->sBit(), QStringLiteral("80."));
    for (int nth = 1; nth <= 3; ++nth) {
        select(5, 4, 30, 20);
        expectUntouched(QStringLiteral("画像編集"), QStringLiteral("強調"), nth);
    }
    // Once the engine has memory again the same command works.
    ctl->pcAct(QStringLiteral("画像編集"), QStringLiteral("強調"));
    EXPECT_EQ(ctl->lastOutcome(), uPcE::Outcome::Done);
    EXPECT_EQ(ctl->sBit(), QStringLiteral("80."));
    EXPECT_EQ(ctl->sEdtMode(), QStringLiteral("編集"));
}

TEST_F(FailureTest, EditsOfEveryKindLeaveNoTraceWhenTheEngineFails) {
    REQUIRE_OPS();
    openPicture(makeTestPicture(41, 23, 8));
    ctl->pcAct(QStringLiteral("回転"), QStringLiteral("右90度"));  // some history to keep
    ASSERT_EQ(ctl->iUndo(), 2);
    select(3, 2, 9, 7);
    expectUntouched(QStringLiteral("回転"), QStringLiteral("左90度"), 1);
    expectUntouched(QStringLiteral("画像編集"), QStringLiteral("ﾄﾘﾐﾝｸﾞ"), 1);
    // Shrinking a palette picture converts it first: a failed resize takes
    // the conversion back too.
    expectUntouched(QStringLiteral("ﾘｻｲｽﾞ"), QStringLiteral("横基準"), 1);
    expectUntouched(QStringLiteral("ﾘｻｲｽﾞ"), QStringLiteral("横基準"), 2);
    // Closing up: the paste and the final cut each failing.
    expectUntouched(QStringLiteral("綴じ込み"), QStringLiteral("横方向"), 2);
    expectUntouched(QStringLiteral("綴じ込み"), QStringLiteral("縦方向"), 3);
    EXPECT_EQ(ctl->ikImg2().ImageHandle(), 0u);  // the scratch copy was released
}

// "Nothing to do" is no failure: no message, and the command says so.
TEST_F(FailureTest, NothingToDoIsNoFailure) {
    REQUIRE_OPS();
    openPicture(makeTestPicture(20, 10, 24));
    const int shown = prompt.messages.size();
    ctl->pcAct(QStringLiteral("画像編集"), QStringLiteral("編集を一つ戻す"));
    EXPECT_EQ(ctl->lastOutcome(), uPcE::Outcome::NothingToDo);
    ctl->pcAct(QStringLiteral("画像編集"), QStringLiteral("ﾄﾘﾐﾝｸﾞ"));  // no selection
    EXPECT_EQ(ctl->lastOutcome(), uPcE::Outcome::NothingToDo);
    EXPECT_EQ(prompt.messages.size(), shown);
}

// The undo history when its files cannot be written (a full disk), and the
// work folder against other users: private folders and files, planted links.
#include "control_fixture.h"
#include "picture_control/undo_history.h"
#include "platform/private_folder.h"
#include "support/sandbox.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace controltest;
using testsupport::makeTestPicture;
using testsupport::samePixels;

namespace {

mode_t modeOf(const QString& path) {
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return 0;
    return st.st_mode & 07777;
}

bool isLink(const QString& path) {
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISLNK(st.st_mode);
}

const QString kRight = QStringLiteral("右90度");
const QString kMirror = QStringLiteral("左右反転");
const QString kUpDown = QStringLiteral("上下反転");

}  // namespace

class UndoDiskTest : public ControlTest {
protected:
    testsupport::SmallDisk disk{256 * 1024};
    void SetUp() override {
        if (!disk.ok())
            GTEST_SKIP() << "no small disk can be mounted here";
        REQUIRE_BMP();
        REQUIRE_OPS();
        work = disk.path() + QStringLiteral("/Wrk/");
        ctl->cOn(work);
        ASSERT_EQ(ctl->sWrkFld(), work);
    }
    void edit(const QString& caption) { ctl->pcAct(QStringLiteral("回転"), caption); }
    void undo() { ctl->pcAct(QStringLiteral("画像編集"), QStringLiteral("編集を一つ戻す")); }
    void redo() { ctl->pcAct(QStringLiteral("画像編集"), QStringLiteral("やり直し")); }
};

// Undo, undo, the disk fills, turn, flip, undo: the turned picture's step was
// never written, and undo must neither show a file of the abandoned branch
// nor pretend; it says the step is lost and goes back to the loaded picture.
TEST_F(UndoDiskTest, LostStepsAreReportedAndNeverReadFromTheAbandonedBranch) {
    // The abandoned steps are small, so that removing their files cannot make
    // room for the big steps that follow.
    const engine::Picture loaded = makeTestPicture(120, 90, 24);
    openPicture(loaded);
    select(0, 0, 20, 20);
    ctl->pcAct(QStringLiteral("画像編集"), QStringLiteral("ﾄﾘﾐﾝｸﾞ"));
    const engine::Picture trimmed = current();
    edit(kMirror);
    const engine::Picture mirrored = current();
    undo();
    undo();
    ASSERT_EQ(undoFiles(), QStringList({"$$Undo001.bmp", "$$Undo002.bmp", "$$Undo003.bmp"}));
    ASSERT_TRUE(samePixels(current(), loaded));

    disk.fill();
    edit(kRight);
    const engine::Picture turned = current();
    ctl->settleUndo();
    ASSERT_EQ(prompt.messages.size(), 1) << "a step that cannot be written is told at once";
    EXPECT_TRUE(prompt.messages[0].startsWith(work + "$$Undo002.bmp\r元に戻すための記録を書き込めません"))
        << prompt.messages[0].toStdString();
    EXPECT_TRUE(prompt.messages[0].contains("ﾃﾞｨｽｸに空きがありません"));
    EXPECT_TRUE(samePixels(current(), turned)) << "the edit itself stands";
    EXPECT_EQ(ctl->sEdtMode(), "編集");

    edit(kMirror);
    ctl->settleUndo();
    EXPECT_EQ(prompt.messages.size(), 2);
    // The abandoned branch's files went before their numbers were written
    // again, and no empty or partial file is left in their place.
    EXPECT_EQ(undoFiles(), QStringList({"$$Undo001.bmp"}));

    prompt.messages.clear();
    undo();
    ASSERT_EQ(prompt.messages.size(), 1);
    EXPECT_EQ(prompt.messages[0], work + "$$Undo002.bmp\rこの状態の記録は書き込めなかったため失われています\r"
                                         "その前の状態に戻します");
    EXPECT_FALSE(samePixels(current(), trimmed) || samePixels(current(), mirrored))
        << "a stale file of the abandoned branch was loaded";
    EXPECT_TRUE(samePixels(current(), loaded));
    EXPECT_EQ(ctl->iUndo(), 1);
    EXPECT_EQ(ctl->sEdtMode(), "読込");

    // Room again: the history goes on normally, redo included.
    disk.unfill();
    prompt.messages.clear();
    edit(kUpDown);
    const engine::Picture flipped = current();
    undo();
    EXPECT_TRUE(samePixels(current(), loaded));
    redo();
    EXPECT_TRUE(samePixels(current(), flipped));
    EXPECT_EQ(undoFiles(), QStringList({"$$Undo001.bmp", "$$Undo002.bmp"}));
    EXPECT_TRUE(prompt.messages.isEmpty());
}

// The write happens in the background: its failure still reaches the user
// without any further command, and the edited picture is not lost.
TEST_F(UndoDiskTest, AFailedBackgroundWriteIsReportedAndThePictureCanStillBeSaved) {
    openPicture(makeTestPicture(64, 48, 24));
    ctl->settleUndo();
    disk.fill();
    edit(kRight);
    const engine::Picture turned = current();
    for (int i = 0; i < 1000 && prompt.messages.isEmpty(); ++i)
        QTest::qWait(10);  // the event loop alone delivers it
    ASSERT_EQ(prompt.messages.size(), 1);
    EXPECT_TRUE(prompt.messages[0].contains("元に戻すための記録を書き込めません"));
    EXPECT_EQ(ctl->iUndo(), 2);

    // Redo has nothing to reach, and undo goes back to the loaded picture
    // through step 1, which was written before the disk filled.
    EXPECT_FALSE(ctl->canRedo());
    prompt.saveNames.push_back(pics + "kept.bmp");
    ctl->pcAct("ﾌｧｲﾙ", "名前を付けて保存");
    EXPECT_TRUE(samePixels(readFile(pics + "kept.bmp"), turned));
    EXPECT_EQ(ctl->sEdtMode(), "読込");
    // The saved picture starts the history again, in the room its old files left.
    EXPECT_EQ(undoFiles(), QStringList({"$$Undo001.bmp"}));
    EXPECT_TRUE(samePixels(readFile(work + "$$Undo001.bmp"), turned));
    EXPECT_EQ(prompt.messages.size(), 1);
}

// ---- the work folder and other users ---------------------------------------

namespace {

// Everything a user can do to the work folder of another: plant links under
// the names of undo files, own the folder.
struct FolderCase {
    QString root;  // a folder that the ordinary user may enter
    QString victim;
};

// Runs as the user the process is: the history writes through a folder
// where a link was planted under the next undo file's name. Returns a
// non-zero code for the first check that fails.
int writeThroughPlantedLink(const QString& folder, const QString& victim) {
    ::umask(0);  // the modes below must not depend on the umask
    if (platform::preparePrivateFolder(folder) != platform::FolderCheck::Ok)
        return 2;
    if (modeOf(folder) != 0700)
        return 3;
    upce::UndoHistory history;
    history.setFolder(folder);
    const QString planted = history.fileName(2);
    if (!QFile::link(victim, planted))
        return 4;
    history.record(1, makeTestPicture(8, 8, 24));
    history.record(2, makeTestPicture(8, 8, 24, 2));
    history.settle();
    if (history.state(2) != upce::UndoHistory::State::Written)
        return 5;
    if (isLink(planted) || modeOf(planted) != 0600 || modeOf(history.fileName(1)) != 0600)
        return 6;
    engine::Picture back;
    QString message;
    if (!history.read(2, back, message) || !samePixels(back, makeTestPicture(8, 8, 24, 2)))
        return 7;
    QFile v(victim);
    if (!v.open(QIODevice::ReadOnly) || v.readAll() != "the user's own file")
        return 8;
    return 0;
}

}  // namespace

TEST(WorkFolder, UndoFilesArePrivateAndNeverWrittenThroughAPlantedLink) {
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    const QString victim = tmp.path() + "/victim.txt";
    {
        QFile v(victim);
        ASSERT_TRUE(v.open(QIODevice::WriteOnly));
        v.write("the user's own file");
    }
    // A work folder that others could write (an old one, or a shared place).
    const QString folder = tmp.path() + "/Wrk/";
    ASSERT_TRUE(QDir().mkdir(folder));
    ::chmod(QFile::encodeName(folder).constData(), 0777);
    EXPECT_EQ(writeThroughPlantedLink(folder, victim), 0);

    // The same as an ordinary user, in a folder of that user's own.
    if (!testsupport::canSwitchUser())
        GTEST_SKIP() << "cannot run as another user here";
    const QString userRoot = tmp.path() + "/user";
    ASSERT_TRUE(QDir().mkdir(userRoot));
    ::chmod(QFile::encodeName(tmp.path()).constData(), 0755);
    ASSERT_EQ(::chown(QFile::encodeName(userRoot).constData(), testsupport::kOtherUid, testsupport::kOtherGid), 0);
    const QString userVictim = userRoot + "/victim.txt";
    QFile::copy(victim, userVictim);
    ASSERT_EQ(::chown(QFile::encodeName(userVictim).constData(), testsupport::kOtherUid, testsupport::kOtherGid), 0);
    const int code = testsupport::runAsUser(testsupport::kOtherUid, testsupport::kOtherGid, {}, [&] {
        const QString own = userRoot + "/Wrk/";
        if (::mkdir(QFile::encodeName(own).constData(), 0777) != 0 || ::chmod(QFile::encodeName(own).constData(), 0777) != 0)
            return 1;
        return writeThroughPlantedLink(own, userVictim);
    });
    EXPECT_EQ(code, 0);
}

TEST(WorkFolder, AFolderOfAnotherUserOrALinkIsRefused) {
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    ::chmod(QFile::encodeName(tmp.path()).constData(), 0755);
    const QString mine = tmp.path() + "/new/";
    EXPECT_EQ(platform::preparePrivateFolder(mine), platform::FolderCheck::Ok);
    EXPECT_EQ(modeOf(mine), 0700u);
    const QString link = tmp.path() + "/link";
    ASSERT_TRUE(QFile::link(mine, link));
    EXPECT_EQ(platform::preparePrivateFolder(link + "/"), platform::FolderCheck::NotAFolder);
    EXPECT_EQ(platform::preparePrivateFolder(tmp.path() + "/missing/deeper/"), platform::FolderCheck::CannotCreate);

    // The control takes no such folder: it says why and keeps no history.
    platform::ScriptedPrompt prompt;
    platform::ScopedPrompt scoped(&prompt);
    uPcE ctl;
    ctl.cOn(link);
    EXPECT_EQ(ctl.sWrkFld(), QString());
    EXPECT_EQ(prompt.messages, QStringList({link + "\r作業ﾌｫﾙﾀﾞがﾌｫﾙﾀﾞではありません(ﾘﾝｸなど)"}));

    if (!testsupport::canSwitchUser())
        GTEST_SKIP() << "cannot run as another user here";
    // A folder that belongs to somebody else.
    const QString theirs = tmp.path() + "/theirs/";
    ASSERT_TRUE(QDir().mkdir(theirs));
    ASSERT_EQ(::chown(QFile::encodeName(theirs).constData(), testsupport::kThirdUid, testsupport::kOtherGid), 0);
    ::chmod(QFile::encodeName(theirs).constData(), 0777);
    prompt.messages.clear();
    ctl.cOn(theirs);
    EXPECT_EQ(ctl.sWrkFld(), QString());
    EXPECT_EQ(prompt.messages, QStringList({theirs + "\r作業ﾌｫﾙﾀﾞが他のﾕｰｻﾞｰのものです"}));
    EXPECT_EQ(modeOf(theirs), 0777u) << "another user's folder is not touched";

    // As an ordinary user: root's folder and a third user's folder are refused,
    // the user's own is narrowed to 0700 and taken.
    const QString own = tmp.path() + "/own/";
    ASSERT_TRUE(QDir().mkdir(own));
    ::chmod(QFile::encodeName(own).constData(), 0755);
    ASSERT_EQ(::chown(QFile::encodeName(own).constData(), testsupport::kOtherUid, testsupport::kOtherGid), 0);
    const QString rootOwned = tmp.path() + "/root/";
    ASSERT_TRUE(QDir().mkdir(rootOwned));
    ::chmod(QFile::encodeName(rootOwned).constData(), 0777);
    const int code = testsupport::runAsUser(testsupport::kOtherUid, testsupport::kOtherGid, {}, [&] {
        if (platform::preparePrivateFolder(rootOwned) != platform::FolderCheck::NotOwned)
            return 1;
        if (platform::preparePrivateFolder(theirs) != platform::FolderCheck::NotOwned)
            return 2;
        if (platform::preparePrivateFolder(own) != platform::FolderCheck::Ok || modeOf(own) != 0700)
            return 3;
        return 0;
    });
    EXPECT_EQ(code, 0);
}

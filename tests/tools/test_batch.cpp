// tolvane-batch: steps in combination, checked against independent expectations.
#include "batch/batch_args.h"
#include "batch/batch_runner.h"
#include "batch/batch_work_folder.h"
#include "engine/codecs/codecs.h"
#include "platform/file_names.h"
#include "engine/image_engine.h"
#include "support/sandbox.h"
#include "support/user_env.h"
#include "support/test_support.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace engine;

namespace {

struct BatchRun {
    int status = -1;
    QString out, err;
};

BatchRun runBatch(const QStringList& argv) {
    BatchRun r;
    batch::Args args;
    QString error;
    if (!batch::parseArgs(argv, args, error)) {
        r.status = 2;
        r.err = error;
        return r;
    }
    QTextStream out(&r.out), err(&r.err);
    batch::Runner runner(out, err);
    r.status = runner.run(args);
    return r;
}

Picture load(const QString& path) {
    codecs::Decoded d;
    Error e;
    EXPECT_TRUE(codecs::decodeFile(path, d, e)) << path.toStdString() << " error " << int(e);
    return d.picture;
}

class Batch : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString input;
    Picture original;
    void SetUp() override {
        original = testsupport::makeTestPicture(7, 5, 24);
        input = dir.filePath(QStringLiteral("in.bmp"));
        Error e;
        ASSERT_TRUE(codecs::saveFile(input, codecs::Bmp, original, {}, e));
    }
    QString path(const char* name) const { return dir.filePath(QString::fromUtf8(name)); }
};

}  // namespace

TEST_F(Batch, RotateThenInfoAndSaveGivesTurnedPixels) {
    const BatchRun r = runBatch({input, QStringLiteral("--do"), QStringLiteral("回転/右90度"), QStringLiteral("--info"),
                                 QStringLiteral("--save"), path("out.bmp")});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.startsWith(QStringLiteral("5x7\t24.\tｲﾒｰｼﾞｻｲｽﾞ:"))) << r.out.toStdString();
    const Picture out = load(path("out.bmp"));
    ASSERT_EQ(out.width(), 5);
    ASSERT_EQ(out.height(), 7);
    // Clockwise: the new (x, y) comes from the old (y, H - 1 - x).
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 5; ++x)
            ASSERT_EQ(out.image.pixel(x, y), original.image.pixel(y, 4 - x)) << x << "," << y;
}

// The newer formats go through the batch tool both ways: a WebP, AVIF, HEIC,
// JPEG XL and JPEG 2000 file opens, is turned, and is saved in each format.
TEST_F(Batch, NewerFormatsOpenAndSave) {
    const char* names[] = {"a.webp", "b.avif", "c.heic", "d.jxl", "e.jp2", "f.j2k"};
    const codecs::Format formats[] = {codecs::WebP, codecs::Avif, codecs::Heif, codecs::Jxl, codecs::Jp2, codecs::J2k};
    for (int i = 0; i < 6; ++i) {
        const QString in = path(names[i]);
        Error e;
        ASSERT_TRUE(codecs::saveFile(in, formats[i], original, {}, e)) << names[i];
        const QString out = path("out.") + QString::fromLatin1(names[(i + 1) % 6]).section(QChar('.'), 1);
        const BatchRun r = runBatch({in, QStringLiteral("--do"), QStringLiteral("回転/右90度"), QStringLiteral("--save"), out});
        ASSERT_EQ(r.status, 0) << names[i] << r.err.toStdString();
        QFile f(out);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(codecs::detectFormat(f.read(codecs::kDetectBytes)), formats[(i + 1) % 6]) << names[i];
        EXPECT_EQ(load(out).image.size(), QSize(5, 7)) << names[i];
    }
}

TEST_F(Batch, SelectTrimKeepsTheSelectedPixels) {
    const BatchRun r = runBatch({input, QStringLiteral("--select"), QStringLiteral("2,1,5,3"), QStringLiteral("--do"),
                                 QStringLiteral("画像編集/ﾄﾘﾐﾝｸﾞ"), QStringLiteral("--save"), path("t.bmp")});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    const Picture out = load(path("t.bmp"));
    ASSERT_EQ(out.image.size(), QSize(3, 2));
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(out.image.pixel(x, y), original.image.pixel(x + 2, y + 1));
}

TEST_F(Batch, DepthStepsSetTheDepthCodeAndUndoRestores) {
    BatchRun r = runBatch({input, QStringLiteral("--depth"), QStringLiteral("1"), QStringLiteral("--threshold"),
                           QStringLiteral("100"), QStringLiteral("--info")});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains(QStringLiteral("\t1.\t"))) << r.out.toStdString();

    r = runBatch({input, QStringLiteral("--depth"), QStringLiteral("80"), QStringLiteral("--invert"),
                  QStringLiteral("--info"), QStringLiteral("--do"), QStringLiteral("画像編集/編集を一つ戻す"),
                  QStringLiteral("--info"), QStringLiteral("--save"), path("u.bmp")});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    const QStringList lines = r.out.split(QChar('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[0].contains(QStringLiteral("\t80.\t")));
    EXPECT_TRUE(lines[1].contains(QStringLiteral("\t24.\t")));
    QString why;
    EXPECT_TRUE(testsupport::samePixels(load(path("u.bmp")), original, &why)) << why.toStdString();
}

TEST_F(Batch, FailingStepsStopWithStatusOneAndAMessage) {
    BatchRun r = runBatch({input, QStringLiteral("--do"), QStringLiteral("回転/斜め"), QStringLiteral("--save"),
                           path("never.bmp")});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("不明なｺﾏﾝﾄﾞです")));
    EXPECT_FALSE(QFile::exists(path("never.bmp")));  // the steps after a failure do not run

    r = runBatch({input, QStringLiteral("--select"), QStringLiteral("0,0,8,5")});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("外です")));

    r = runBatch({input, QStringLiteral("--do"), QStringLiteral("画像編集/編集を一つ戻す")});
    EXPECT_EQ(r.status, 1);

    QFile bad(path("bad.bmp"));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("BM this is no picture");
    bad.close();
    r = runBatch({path("bad.bmp"), QStringLiteral("--info")});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("画像ﾌｧｲﾙを読み込めません"))) << r.err.toStdString();
    EXPECT_TRUE(r.out.isEmpty());
}

TEST(BatchFullDisk, ASaveOntoAFullDiskFailsAndTheFileSurvives) {
    testsupport::SmallDisk disk(2 * 1024 * 1024);
    if (!disk.ok())
        GTEST_SKIP() << "cannot mount a small tmpfs here";
    const QString png = disk.filePath(QStringLiteral("a.png"));
    Error e;
    ASSERT_TRUE(codecs::saveFile(png, codecs::Png, testsupport::makeTestPicture(97, 61, 24), {}, e));
    QFile f(png);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray before = f.readAll();
    f.close();
    disk.fill();
    const BatchRun r = runBatch({png, QStringLiteral("--do"), QStringLiteral("回転/左右反転"), QStringLiteral("--save"), png});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("画像ﾌｧｲﾙを保存できません"))) << r.err.toStdString();
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), before);
}

// Undo files that cannot be written (their folder on a small disk): the run
// goes on, and its status says whether what it made is right, whenever the
// background writer finds out. An undo that needs a lost step fails the run.
TEST_F(Batch, UndoFilesThatCannotBeWrittenFailOnlyTheUndoThatNeedsThem) {
    testsupport::SmallDisk disk(256 * 1024);
    if (!disk.ok())
        GTEST_SKIP() << "cannot mount a small tmpfs here";
    // Each undo file of this picture takes 180 KB: the load's fits, no other does.
    const QString big = path("big.bmp");
    const Picture pic = testsupport::makeTestPicture(300, 200, 24);
    Error e;
    ASSERT_TRUE(codecs::saveFile(big, codecs::Bmp, pic, {}, e));
    const QString flip = QStringLiteral("回転/左右反転"), undo = QStringLiteral("画像編集/編集を一つ戻す");
    const QString work = QStringLiteral("--work"), doStep = QStringLiteral("--do"), save = QStringLiteral("--save");
    for (int run = 0; run < 5; ++run) {
        BatchRun r = runBatch({big, work, disk.path(), doStep, flip, save, path("flipped.bmp")});
        EXPECT_EQ(r.status, 0) << r.err.toStdString();
        r = runBatch({big, work, disk.path(), doStep, flip, doStep, undo, save, path("back.bmp")});
        EXPECT_EQ(r.status, 0) << r.err.toStdString();
        EXPECT_TRUE(testsupport::samePixels(load(path("back.bmp")), pic));
        r = runBatch({big, work, disk.path(), doStep, flip, doStep, flip, doStep, undo, save, path("never.bmp")});
        EXPECT_EQ(r.status, 1) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(QStringLiteral("元に戻すための記録を書き込めません"))) << r.err.toStdString();
        EXPECT_FALSE(QFile::exists(path("never.bmp")));
    }
}

TEST_F(Batch, TheWorkFolderIsItsOwnAndTheUsersFilesStay) {
    const QString work = path("work");
    QDir().mkpath(work);
    // The user's files that look like undo files.
    for (const char* name : {"$$Undo001.bmp", "$$mine.bmp"})
        testsupport::UserEnv::writeFile(work + QChar('/') + QString::fromLatin1(name), "the user's");
    // Left behind by a killed run (its lock free), and in use by a running one.
    const QString stale = work + QStringLiteral("/tolvane-batch-AAAAAA");
    const QString live = work + QStringLiteral("/tolvane-batch-BBBBBB");
    for (const QString& f : {stale, live}) {
        QDir().mkpath(f);
        testsupport::UserEnv::writeFile(f + QStringLiteral("/.lock"), "");
        testsupport::UserEnv::writeFile(f + QStringLiteral("/$$Undo001.bmp"), "undo");
    }
    const int held = ::open(QFile::encodeName(live + QStringLiteral("/.lock")).constData(), O_RDWR | O_CLOEXEC);
    ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);

    const BatchRun r = runBatch({input, QStringLiteral("--work"), work, QStringLiteral("--do"),
                                 QStringLiteral("回転/左右反転"), QStringLiteral("--save"), path("out.bmp")});
    ::close(held);
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    QStringList left = QDir(work).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    left.sort();
    EXPECT_EQ(left, QStringList({QStringLiteral("$$Undo001.bmp"), QStringLiteral("$$mine.bmp"),
                                 QStringLiteral("tolvane-batch-BBBBBB")}));
    EXPECT_EQ(testsupport::UserEnv::readFile(work + QStringLiteral("/$$Undo001.bmp")), "the user's");
    EXPECT_TRUE(QFile::exists(live + QStringLiteral("/$$Undo001.bmp")));
}

TEST(BatchWorkFolder, AStoppedRunRemovesItsFolder) {
    QTemporaryDir base;
    for (const int sig : {SIGTERM, SIGINT}) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            batch::WorkFolder folder;
            if (!folder.create(base.path()))
                ::_exit(3);
            const QByteArray undo = platform::encodeFileName(folder.path() + QStringLiteral("$$Undo001.bmp"));
            const int fd = ::open(undo.constData(), O_WRONLY | O_CREAT, 0600);
            if (fd < 0 || ::write(fd, "undo", 4) != 4)
                ::_exit(4);
            ::raise(sig);
            ::_exit(5);  // not reached: the signal ends the run
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status)) << "exit " << WEXITSTATUS(status);
        EXPECT_EQ(WTERMSIG(status), sig);
        EXPECT_EQ(QDir(base.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
    }
}

TEST_F(Batch, NamesThatAreNotUtf8OpenAndSaveByteForByte) {
    const QByteArray folder = QFile::encodeName(dir.path());
    const QByteArray inName = "in-\xff\xfe.bmp";
    const QByteArray outName = "\x82\xa0-out.bmp";  // Shift-JIS bytes
    ASSERT_EQ(::rename(QFile::encodeName(input).constData(), (folder + '/' + inName).constData()), 0);
    const BatchRun r = runBatch({platform::decodeFileName(folder + '/' + inName), QStringLiteral("--do"),
                                 QStringLiteral("回転/左右反転"), QStringLiteral("--save"),
                                 platform::decodeFileName(folder + '/' + outName)});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(testsupport::rawNames(folder), QList<QByteArray>({inName, outName}));
    const Picture out = load(platform::decodeFileName(folder + '/' + outName));
    EXPECT_EQ(out.image.pixel(0, 0), original.image.pixel(6, 0));
}

// Every command's real failure ends the run with status 1 and the engine's
// reason, and the steps after it do not run.
TEST_F(Batch, AnEngineFailureOfAnyCommandEndsWithStatusOne) {
    const QString grey = path("grey.bmp");
    Error e;
    ASSERT_TRUE(codecs::saveFile(grey, codecs::Bmp, testsupport::makeTestPicture(40, 30, 80), {}, e));
    for (const char* command : {"画像編集/強調", "綴じ込み/横方向", "回転/左右反転"}) {
        engine::ImageEngine::failEditForTesting(1);
        const BatchRun r = runBatch({grey, QStringLiteral("--select"), QStringLiteral("5,4,30,20"),
                                     QStringLiteral("--do"), QString::fromUtf8(command), QStringLiteral("--save"),
                                     path("never.bmp")});
        engine::ImageEngine::failEditForTesting(0);
        EXPECT_EQ(r.status, 1) << command;
        EXPECT_TRUE(r.err.contains(errorText(Error::OutOfMemory))) << command << r.err.toStdString();
        EXPECT_FALSE(QFile::exists(path("never.bmp"))) << command;
    }
}

TEST(BatchArgs, UsageErrors) {
    batch::Args a;
    QString e;
    EXPECT_FALSE(batch::parseArgs({}, a, e));
    EXPECT_FALSE(batch::parseArgs({QStringLiteral("x.bmp"), QStringLiteral("--select"), QStringLiteral("1,2,3")}, a, e));
    EXPECT_FALSE(batch::parseArgs({QStringLiteral("x.bmp"), QStringLiteral("--depth"), QStringLiteral("5")}, a, e));
    EXPECT_FALSE(batch::parseArgs({QStringLiteral("x.bmp"), QStringLiteral("--depth"), QStringLiteral("8"),
                                   QStringLiteral("--threshold"), QStringLiteral("10")}, a, e));
    EXPECT_FALSE(batch::parseArgs({QStringLiteral("x.bmp"), QStringLiteral("--do"), QStringLiteral("回転")}, a, e));
    EXPECT_FALSE(batch::parseArgs({QStringLiteral("x.bmp"), QStringLiteral("--frobnicate")}, a, e));
    ASSERT_TRUE(batch::parseArgs({QStringLiteral("x.bmp"), QStringLiteral("--depth"), QStringLiteral("1"),
                                  QStringLiteral("--threshold"), QStringLiteral("77"), QStringLiteral("--invert"),
                                  QStringLiteral("--time")}, a, e));
    ASSERT_EQ(a.steps.size(), 1u);
    EXPECT_EQ(a.steps[0].values[1], 77);
    EXPECT_TRUE(a.steps[0].invert);
    EXPECT_TRUE(a.time);
}

TEST_F(Batch, ResizeAndTurnByNumbersTakeTheirArguments) {
    // 7 x 5 to 14 x 10, then a quarter turn by number: 10 x 14.
    BatchRun r = runBatch({input, QStringLiteral("--do"), QStringLiteral("ｻｲｽﾞ変更/200%"), QStringLiteral("--do"),
                           QStringLiteral("角度回転/90,#000000"), QStringLiteral("--info")});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.startsWith(QStringLiteral("10x14\t24."))) << r.out.toStdString();
    r = runBatch({input, QStringLiteral("--do"), QStringLiteral("角度回転/45"), QStringLiteral("--info")});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.startsWith(QStringLiteral("8x8\t24.")) || r.out.startsWith(QStringLiteral("9x9\t24.")))
        << "the canvas holds the turned picture: " << r.out.toStdString();
    // Numbers the control refuses fail the step with its message.
    r = runBatch({input, QStringLiteral("--do"), QStringLiteral("ｻｲｽﾞ変更/0,5"), QStringLiteral("--save"),
                  path("never.bmp")});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("ｻｲｽﾞの指定が正しくありません"))) << r.err.toStdString();
    EXPECT_FALSE(QFile::exists(path("never.bmp")));
    EXPECT_TRUE(batch::usageText().contains(QStringLiteral("ｻｲｽﾞ変更/W,H")));
}

// tolvane-batch: steps in combination, checked against independent expectations.
#include "batch/batch_args.h"
#include "batch/batch_runner.h"
#include "engine/codecs/codecs.h"
#include "engine/image_engine.h"
#include "support/sandbox.h"
#include "support/test_support.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

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

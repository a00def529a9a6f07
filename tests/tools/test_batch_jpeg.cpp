// tolvane-batch saves JPEGs by the editor's rule: moved blocks when the
// picture was only turned or cut on the block grid, a new compression otherwise.
#include "batch/batch_args.h"
#include "batch/batch_runner.h"
#include "engine/codecs/codecs.h"
#include "support/codec_test_support.h"
#include "support/metadata_test_support.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>
#include <gtest/gtest.h>

using namespace testsupport;

namespace {

int runBatch(const QStringList& argv) {
    batch::Args args;
    QString error, out, err;
    if (!batch::parseArgs(argv, args, error))
        return 2;
    QTextStream o(&out), e(&err);
    batch::Runner runner(o, e);
    return runner.run(args);
}


}  // namespace

TEST(BatchJpeg, TurnsAndGridCutsKeepTheBlocksOtherCutsCompressAgain) {
    QTemporaryDir dir;
    const QByteArray source = withSegments(turboJpeg(64, 48, 95), {iccSegment(testProfile())});
    const QString input = dir.filePath(QStringLiteral("in.jpg"));
    {
        QFile f(input);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(source);
    }
    const std::vector<int> q85 = firstQuantTable(turboJpeg(16, 16, 85));

    const QString there = dir.filePath(QStringLiteral("there.jpg"));
    ASSERT_EQ(runBatch({input, QStringLiteral("--do"), QStringLiteral("回転/右90度"), QStringLiteral("--do"),
                        QStringLiteral("回転/上下反転"), QStringLiteral("--select"), QStringLiteral("16,16,48,48"),
                        QStringLiteral("--do"), QStringLiteral("画像編集/ﾄﾘﾐﾝｸﾞ"), QStringLiteral("--save"), there}),
              0);
    EXPECT_NE(firstQuantTable(readAll(there)), q85);

    const QString back = dir.filePath(QStringLiteral("back.jpg"));
    ASSERT_EQ(runBatch({input, QStringLiteral("--do"), QStringLiteral("回転/右90度"), QStringLiteral("--do"),
                        QStringLiteral("回転/左90度"), QStringLiteral("--save"), back}),
              0);
    EXPECT_EQ(dctCoefficients(readAll(back)), dctCoefficients(source));

    const QString cut = dir.filePath(QStringLiteral("cut.jpg"));
    ASSERT_EQ(runBatch({input, QStringLiteral("--select"), QStringLiteral("5,0,40,30"), QStringLiteral("--do"),
                        QStringLiteral("画像編集/ﾄﾘﾐﾝｸﾞ"), QStringLiteral("--save"), cut}),
              0);
    EXPECT_EQ(firstQuantTable(readAll(cut)), q85);

    // The profile goes along whichever way the file was written.
    for (const QString& path : {there, back, cut}) {
        engine::codecs::Decoded d;
        engine::Error e;
        ASSERT_TRUE(engine::codecs::decodeFile(path, d, e));
        EXPECT_EQ(d.picture.metadata.icc, testProfile()) << path.toStdString();
    }
}

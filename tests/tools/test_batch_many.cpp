// tolvane-batch over many pictures, run as the real program: folders with good,
// damaged and non-picture files, the same outputs whatever the number of
// pictures at once, outputs and inputs never written over, and what the user
// is told (lines without a terminal, the bar and summary on one).
#include "batch/batch_args.h"
#include "batch/batch_report.h"
#include "engine/codecs/codecs.h"
#include "platform/file_names.h"
#include "support/sandbox.h"
#include "support/test_support.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdio>

using namespace engine;

namespace {

struct BatchResult {
    int status = -1;
    QString out, err;
};

BatchResult batchRun(const QStringList& argv, const QString& cwd = QString()) {
    QProcess p;
    p.setWorkingDirectory(cwd);
    p.setProcessChannelMode(QProcess::SeparateChannels);
    p.start(QStringLiteral(TOLVANE_BATCH_BIN), argv);
    BatchResult r;
    if (!p.waitForFinished(240000) || p.exitStatus() != QProcess::NormalExit)
        return r;
    r.status = p.exitCode();
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

QByteArray bytesOf(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeBytes(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

// Every file below a folder, by relative path, with its bytes.
QMap<QString, QByteArray> tree(const QString& root) {
    QMap<QString, QByteArray> files;
    QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        files.insert(QDir(root).relativeFilePath(path), bytesOf(path));
    }
    return files;
}

class BatchMany : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString in, out;
    Picture a, b, c;

    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        in = dir.filePath(QStringLiteral("in"));
        out = dir.filePath(QStringLiteral("out"));
        a = testsupport::makeTestPicture(40, 30, 24, 1);
        b = testsupport::makeTestPicture(23, 17, 24, 2);
        c = testsupport::makeTestPicture(16, 9, 8, 3);
        Error e;
        ASSERT_TRUE(QDir().mkpath(in + QStringLiteral("/sub")));
        ASSERT_TRUE(codecs::saveFile(in + QStringLiteral("/a.png"), codecs::Png, a, {}, e));
        ASSERT_TRUE(codecs::saveFile(in + QStringLiteral("/b.bmp"), codecs::Bmp, b, {}, e));
        ASSERT_TRUE(codecs::saveFile(in + QStringLiteral("/sub/c.gif"), codecs::Gif, c, {}, e));
        // A PNG cut off after its header, a text file, a hidden file.
        writeBytes(in + QStringLiteral("/bad.png"), bytesOf(in + QStringLiteral("/a.png")).left(60));
        writeBytes(in + QStringLiteral("/notes.txt"), "not a picture\n");
        writeBytes(in + QStringLiteral("/.hidden.png"), bytesOf(in + QStringLiteral("/a.png")));
    }
    Picture load(const QString& path) {
        codecs::Decoded d;
        Error e;
        EXPECT_TRUE(codecs::decodeFile(path, d, e)) << path.toStdString();
        return d.picture;
    }
    QStringList lines(const BatchResult& r) const { return r.out.split(QChar('\n'), Qt::SkipEmptyParts); }
};

}  // namespace

TEST_F(BatchMany, FolderWithGoodDamagedAndNonPictureFiles) {
    const BatchResult r = batchRun({in, QStringLiteral("--out-dir"), out, QStringLiteral("--ext"), QStringLiteral("png"),
                            QStringLiteral("-j"), QStringLiteral("2"), QStringLiteral("--do"),
                            QStringLiteral("回転/左右反転")});
    EXPECT_EQ(r.status, 1) << qPrintable(r.out + r.err);  // the damaged picture failed
    // The good pictures are converted and flipped, names kept, format by --ext.
    for (const auto& [name, pic] : {std::pair{"a.png", &a}, std::pair{"b.png", &b}}) {
        const Picture got = load(out + QChar('/') + QLatin1String(name));
        ASSERT_EQ(got.image.size(), pic->image.size()) << name;
        EXPECT_EQ(codecs::detectFormat(bytesOf(out + QChar('/') + QLatin1String(name))), codecs::Png);
        for (int y = 0; y < pic->height(); ++y)
            for (int x = 0; x < pic->width(); ++x)
                ASSERT_EQ(got.image.pixel(x, y), pic->image.pixel(pic->width() - 1 - x, y)) << name;
    }
    // Nothing for the damaged, the non-picture and the hidden file; no subfolder without -r.
    EXPECT_EQ(QDir(out).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList({QStringLiteral("a.png"), QStringLiteral("b.png")}));
    // One line per picture (no terminal), the failure with the reader's reason, and the counts.
    const QStringList l = lines(r);
    ASSERT_EQ(l.size(), 5) << qPrintable(r.out);
    EXPECT_EQ(l.filter(QRegularExpression(QStringLiteral("^変換\t"))).size(), 2);
    const QStringList failed = l.filter(QRegularExpression(QStringLiteral("^失敗\t.*bad\\.png\t.+")));
    ASSERT_EQ(failed.size(), 1) << qPrintable(r.out);
    EXPECT_TRUE(failed[0].contains(QStringLiteral("読み込めません")) || failed[0].contains(QStringLiteral("壊れ")))
        << qPrintable(failed[0]);
    EXPECT_EQ(l.filter(QRegularExpression(QStringLiteral("^ｽｷｯﾌﾟ\t.*notes\\.txt\t"))).size(), 1);
    EXPECT_TRUE(l.last().startsWith(QStringLiteral("変換 2  失敗 1  ｽｷｯﾌﾟ 1"))) << qPrintable(l.last());

    // -r takes the subfolder too, into the same place below the output folder
    // (the folders given relative to the current one).
    const BatchResult rr = batchRun({QStringLiteral("in"), QStringLiteral("-r"), QStringLiteral("--out-dir"),
                                     QStringLiteral("out"), QStringLiteral("--ext"), QStringLiteral("bmp")},
                                    dir.path());
    EXPECT_EQ(rr.status, 1);
    QString why;
    EXPECT_TRUE(testsupport::samePixels(load(out + QStringLiteral("/sub/c.bmp")), c, &why)) << qPrintable(why);
    EXPECT_TRUE(lines(rr).last().startsWith(QStringLiteral("変換 3  失敗 1  ｽｷｯﾌﾟ 1"))) << qPrintable(rr.out);
}

// Names that are not UTF-8, of pictures and of folders, go to the workers and
// come out byte for byte.
TEST_F(BatchMany, NamesThatAreNotUtf8AreConvertedByteForByte) {
    const QByteArray raw = QFile::encodeName(in);
    ASSERT_EQ(::rename((raw + "/b.bmp").constData(), (raw + "/b-\xff\xfe.bmp").constData()), 0);
    ASSERT_EQ(::rename((raw + "/sub").constData(), (raw + "/sub-\x82\xa0").constData()), 0);
    QFile::remove(in + QStringLiteral("/bad.png"));
    const BatchResult r = batchRun({in, QStringLiteral("-r"), QStringLiteral("--out-dir"), out, QStringLiteral("--ext"),
                                    QStringLiteral("bmp"), QStringLiteral("-j"), QStringLiteral("2")});
    EXPECT_EQ(r.status, 0) << qPrintable(r.out + r.err);
    const QByteArray rawOut = QFile::encodeName(out);
    EXPECT_EQ(testsupport::rawNames(rawOut), QList<QByteArray>({"a.bmp", "b-\xff\xfe.bmp", "sub-\x82\xa0"}));
    EXPECT_EQ(testsupport::rawNames(rawOut + "/sub-\x82\xa0"), QList<QByteArray>({"c.bmp"}));
    QString why;
    EXPECT_TRUE(testsupport::samePixels(load(platform::decodeFileName(rawOut + "/b-\xff\xfe.bmp")), b, &why))
        << qPrintable(why);
}

TEST_F(BatchMany, OnePictureAtATimeOrTwoGiveTheSameFiles) {
    QFile::remove(in + QStringLiteral("/bad.png"));
    for (const char* ext : {"png", "gif"}) {
        const QString one = dir.filePath(QStringLiteral("one_") + QLatin1String(ext));
        const QString two = dir.filePath(QStringLiteral("two_") + QLatin1String(ext));
        const QStringList common{in, QStringLiteral("-r"), QStringLiteral("--ext"), QLatin1String(ext),
                                 QStringLiteral("--do"), QStringLiteral("回転/右90度")};
        const BatchResult r1 = batchRun(common + QStringList{QStringLiteral("--out-dir"), one, QStringLiteral("-j"),
                                                     QStringLiteral("1")});
        const BatchResult r2 = batchRun(common + QStringList{QStringLiteral("--out-dir"), two, QStringLiteral("-j"),
                                                     QStringLiteral("2")});
        ASSERT_EQ(r1.status, 0) << qPrintable(r1.out + r1.err);
        ASSERT_EQ(r2.status, 0) << qPrintable(r2.out + r2.err);
        const auto t1 = tree(one), t2 = tree(two);
        EXPECT_EQ(t1.keys(), QStringList({QStringLiteral("a.") + QLatin1String(ext),
                                          QStringLiteral("b.") + QLatin1String(ext),
                                          QStringLiteral("sub/c.") + QLatin1String(ext)}));
        EXPECT_TRUE(t1 == t2) << ext;
    }
}

TEST_F(BatchMany, NeverReplacesAnOutputUnlessAskedAndNeverAnInput) {
    QFile::remove(in + QStringLiteral("/bad.png"));
    writeBytes(out + QStringLiteral("/a.bmp"), "keep me");
    const QStringList argv{in + QStringLiteral("/a.png"), in + QStringLiteral("/b.bmp"), QStringLiteral("--out-dir"),
                           out, QStringLiteral("--ext"), QStringLiteral("bmp")};
    BatchResult r = batchRun(argv);
    EXPECT_EQ(r.status, 0) << qPrintable(r.out + r.err);
    EXPECT_EQ(bytesOf(out + QStringLiteral("/a.bmp")), QByteArray("keep me"));
    EXPECT_EQ(lines(r).filter(QRegularExpression(QStringLiteral("^ｽｷｯﾌﾟ\t.*a\\.png\t.*--overwrite"))).size(), 1)
        << qPrintable(r.out);
    EXPECT_TRUE(lines(r).last().startsWith(QStringLiteral("変換 1  失敗 0  ｽｷｯﾌﾟ 1")));

    r = batchRun(argv + QStringList{QStringLiteral("--overwrite")});
    EXPECT_EQ(r.status, 0) << qPrintable(r.out + r.err);
    QString why;
    EXPECT_TRUE(testsupport::samePixels(load(out + QStringLiteral("/a.bmp")), a, &why)) << qPrintable(why);

    // The output folder is the input folder: every output would be its input.
    const auto before = tree(in);
    r = batchRun({in, QStringLiteral("--out-dir"), in, QStringLiteral("--overwrite"), QStringLiteral("--do"),
                  QStringLiteral("回転/上下反転")});
    EXPECT_EQ(r.status, 0) << qPrintable(r.out + r.err);
    EXPECT_TRUE(tree(in) == before);
    EXPECT_TRUE(lines(r).last().startsWith(QStringLiteral("変換 0  失敗 0  ｽｷｯﾌﾟ 3"))) << qPrintable(r.out);

    // Two inputs with one output name: the second is left alone; a missing input fails.
    Error e;
    ASSERT_TRUE(QDir().mkpath(dir.filePath("other")));
    ASSERT_TRUE(codecs::saveFile(dir.filePath("other/a.png"), codecs::Png, b, {}, e));
    r = batchRun({in + QStringLiteral("/a.png"), dir.filePath("other/a.png"), dir.filePath("missing.png"),
                  QStringLiteral("--out-dir"), dir.filePath("y")});
    EXPECT_EQ(r.status, 1) << qPrintable(r.out + r.err);
    EXPECT_EQ(lines(r).filter(QRegularExpression(QStringLiteral("^ｽｷｯﾌﾟ\t.*other/a\\.png\t.*同じ"))).size(), 1)
        << qPrintable(r.out);
    EXPECT_EQ(lines(r).filter(QRegularExpression(QStringLiteral("^失敗\t.*missing\\.png\t"))).size(), 1);
    EXPECT_TRUE(testsupport::samePixels(load(dir.filePath("y/a.png")), a, &why)) << qPrintable(why);
}

TEST_F(BatchMany, TerminalShowsABarAndASummary) {
    const QString script = QStandardPaths::findExecutable(QStringLiteral("script"));
    if (script.isEmpty())
        GTEST_SKIP() << "no script(1) to give the run a terminal";
    // script(1) runs the command on a pseudo-terminal and copies what it shows.
    const QString command = QStringLiteral("'%1' '%2' --out-dir '%3' --ext png -j 2")
                                .arg(QStringLiteral(TOLVANE_BATCH_BIN), in, out);
    QProcess p;
    p.start(script, {QStringLiteral("-qec"), command, QStringLiteral("/dev/null")});
    ASSERT_TRUE(p.waitForFinished(240000));
    const QString shown = QString::fromUtf8(p.readAllStandardOutput());
    EXPECT_EQ(p.exitCode(), 1) << qPrintable(shown);
    EXPECT_TRUE(shown.contains(QStringLiteral("] 3/3"))) << qPrintable(shown);
    EXPECT_TRUE(shown.contains(QStringLiteral("枚/秒")));
    EXPECT_FALSE(shown.contains(QStringLiteral("変換\t")));  // no per-picture lines on a terminal
    EXPECT_TRUE(shown.contains(QStringLiteral("失敗 ")) && shown.contains(QStringLiteral("bad.png")));
    EXPECT_TRUE(shown.contains(QStringLiteral("変換 2  失敗 1  ｽｷｯﾌﾟ 1")));
}

TEST(BatchManyReport, BarShowsRateAndTimeLeft) {
    EXPECT_EQ(batch::Report::barText(50, 200, 10.0, 8), QStringLiteral("[##------] 50/200  5.00 枚/秒  残り 0:30"));
    EXPECT_EQ(batch::Report::barText(0, 3, 0.0, 4), QStringLiteral("[----] 0/3  - 枚/秒  残り -"));
    EXPECT_EQ(batch::Report::barText(1, 7201, 2.0, 4), QStringLiteral("[----] 1/7201  0.50 枚/秒  残り 4:00:00"));
}

TEST(BatchManyArgs, ManyPicturesNeedAnOutputRuleAndNoSave) {
    batch::Args a;
    QString e;
    EXPECT_FALSE(batch::parseArgs({QStringLiteral("a.png"), QStringLiteral("b.png")}, a, e));
    EXPECT_TRUE(e.contains(QStringLiteral("--out-dir")));
    EXPECT_FALSE(batch::parseArgs({QStringLiteral("a.png"), QStringLiteral("b.png"), QStringLiteral("--out-dir"),
                                   QStringLiteral("o"), QStringLiteral("--save"), QStringLiteral("x.png")}, a, e));
    EXPECT_FALSE(batch::parseArgs({QStringLiteral("a.png"), QStringLiteral("--out-dir"), QStringLiteral("o"),
                                   QStringLiteral("--do"), QStringLiteral("ﾌｧｲﾙ/上書き保存")}, a, e));
    EXPECT_FALSE(batch::parseArgs({QStringLiteral("a.png"), QStringLiteral("--out-dir"), QStringLiteral("o"),
                                   QStringLiteral("-j"), QStringLiteral("0")}, a, e));
    ASSERT_TRUE(batch::parseArgs({QStringLiteral("a.png"), QStringLiteral("--depth"), QStringLiteral("1"),
                                  QStringLiteral("--threshold"), QStringLiteral("9"), QStringLiteral("--invert"),
                                  QStringLiteral("--out-dir"), QStringLiteral("o"), QStringLiteral("--ext"),
                                  QStringLiteral(".GIF"), QStringLiteral("-j"), QStringLiteral("3")}, a, e)) << qPrintable(e);
    EXPECT_TRUE(a.many());
    EXPECT_EQ(a.ext, QStringLiteral("GIF"));
    EXPECT_EQ(a.jobs, 3);
    // The worker runs get the steps exactly as given.
    EXPECT_EQ(a.stepArgs, QStringList({QStringLiteral("--depth"), QStringLiteral("1"), QStringLiteral("--threshold"),
                                       QStringLiteral("9"), QStringLiteral("--invert")}));
}

// A JPEG that was only turned, mirrored or trimmed on its block grid is saved
// by moving its compressed blocks: exactly what jpegtran writes, and no loss
// however often it is done. Anything else is compressed again at the
// quality asked for.
#include "engine/codecs/codecs.h"
#include "engine/image_engine.h"
#include "support/metadata_test_support.h"
#include "support/test_support.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <random>

using namespace engine;
using namespace testsupport;

namespace {

class LosslessJpeg : public ::testing::Test {
protected:
    QTemporaryDir tmp;
    int serial = 0;

    QString write(const QByteArray& bytes) {
        const QString path = tmp.filePath(QStringLiteral("f%1.jpg").arg(++serial));
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
        return path;
    }
    static QByteArray read(const QString& path) {
        QFile f(path);
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }
    // Loads the bytes, runs the edits, saves as JPEG at quality 85; the saved bytes.
    QByteArray editAndSave(const QByteArray& source, const std::function<void(ImageEngine&)>& edit,
                           Picture* shown = nullptr) {
        ImageEngine e;
        e.File().FileName = write(source);
        EXPECT_TRUE(e.File().LoadFile());
        edit(e);
        if (shown)
            *shown = *e.current();
        e.File().FileName = tmp.filePath(QStringLiteral("saved%1.jpg").arg(++serial));
        e.File().JpegQuality = 85;
        EXPECT_TRUE(e.File().SaveFile(codecs::Jpeg));
        return read(e.File().FileName);
    }
    // jpegtran run on the bytes; empty when it is not installed.
    QByteArray jpegtran(const QByteArray& source, const QStringList& args) {
        if (!haveTool(QStringLiteral("jpegtran")))
            return {};
        QProcess p;
        p.start(QStringLiteral("jpegtran"), args + QStringList{QStringLiteral("-copy"), QStringLiteral("none"), write(source)});
        p.waitForFinished(60000);
        return p.readAllStandardOutput();
    }
    static Picture decoded(const QByteArray& jpeg) {
        codecs::Decoded d;
        Error err;
        EXPECT_TRUE(codecs::decode(jpeg, d, err));
        return d.picture;
    }
    static bool reencoded(const QByteArray& saved) {
        return firstQuantTable(saved) == firstQuantTable(turboJpeg(16, 16, 85));
    }
};

void turnRight(ImageEngine& e) { ASSERT_TRUE(e.Edit().Rotate(-9000, false, false, true)); }

void trim(ImageEngine& e, int l, int t, int r, int b) {
    e.Edit().TrimLeft = l, e.Edit().TrimTop = t, e.Edit().TrimRight = r, e.Edit().TrimBottom = b;
    ASSERT_TRUE(e.Edit().Trim());
}

TEST_F(LosslessJpeg, QuarterTurnIsJpegtransPerfectRotation) {
    const QByteArray source = turboJpeg(64, 48, 95);
    const QByteArray reference = jpegtran(source, {QStringLiteral("-rotate"), QStringLiteral("90"), QStringLiteral("-perfect")});
    if (reference.isEmpty())
        GTEST_SKIP() << "jpegtran is not installed";
    const QByteArray saved = editAndSave(source, turnRight);
    EXPECT_EQ(dctCoefficients(saved), dctCoefficients(reference));
    EXPECT_FALSE(reencoded(saved));
    EXPECT_TRUE(samePixels(decoded(saved), decoded(reference)));
    EXPECT_EQ(decoded(saved).width(), 48);
}

TEST_F(LosslessJpeg, FourTurnsSavedAndReopenedEachTimeLoseNothing) {
    for (bool grey : {false, true}) {
        SCOPED_TRACE(grey ? "grey" : "colour");
        const QByteArray source = turboJpeg(64, 32, 90, grey);
        QByteArray current = source;
        for (int i = 0; i < 4; ++i)
            current = editAndSave(current, turnRight);
        EXPECT_EQ(dctCoefficients(current), dctCoefficients(source));
        EXPECT_FALSE(dctCoefficients(current).empty());
    }
}

TEST_F(LosslessJpeg, TrimOnTheBlockGridIsCutLosslesslyOffItIsEncodedAgain) {
    const QByteArray source = turboJpeg(64, 48, 95);  // 4:2:0, blocks of 16 x 16
    const QByteArray reference = jpegtran(source, {QStringLiteral("-crop"), QStringLiteral("32x16+16+16")});
    if (reference.isEmpty())
        GTEST_SKIP() << "jpegtran is not installed";
    const QByteArray onGrid = editAndSave(source, [](ImageEngine& e) { trim(e, 16, 16, 48, 32); });
    EXPECT_EQ(dctCoefficients(onGrid), dctCoefficients(reference));

    // A cut to the picture's own right and bottom edges is on the grid too.
    const QByteArray toEdge = editAndSave(source, [](ImageEngine& e) { trim(e, 32, 16, 64, 48); });
    EXPECT_FALSE(reencoded(toEdge));

    Picture shown;
    const QByteArray offGrid = editAndSave(source, [](ImageEngine& e) { trim(e, 3, 16, 48, 32); }, &shown);
    EXPECT_TRUE(reencoded(offGrid));
    const Picture back = decoded(offGrid);
    ASSERT_EQ(back.width(), 45);
    EXPECT_LE(maxChannelDiff(back.image, shown.image), 12);
}

TEST_F(LosslessJpeg, AnySequenceOfMovesAndGridCutsSavesThePictureShown) {
    std::mt19937 rng(7);
    const QByteArray source = turboJpeg(96, 64, 95);
    for (int round = 0; round < 12; ++round) {
        SCOPED_TRACE(round);
        Picture shown;
        const QByteArray saved = editAndSave(source, [&](ImageEngine& e) {
            for (int k = 0; k < 4; ++k) {
                switch (rng() % 5) {
                case 0: ASSERT_TRUE(e.Edit().Rotate(9000, false, false, true)); break;
                case 1: ASSERT_TRUE(e.Edit().Rotate(-9000, false, false, true)); break;
                case 2: ASSERT_TRUE(e.Edit().Rotate(0, true, false, true)); break;
                case 3: ASSERT_TRUE(e.Edit().Rotate(0, false, true, true)); break;
                default: {
                    const int w = e.current()->width(), h = e.current()->height();
                    if (w > 32 && h > 32)
                        trim(e, 16, 0, w, h - 16);
                }
                }
            }
        }, &shown);
        EXPECT_FALSE(reencoded(saved));
        const Picture back = decoded(saved);
        ASSERT_EQ(back.image.size(), shown.image.size());
        EXPECT_LE(maxChannelDiff(back.image, shown.image), 4);
    }
}

TEST_F(LosslessJpeg, OtherEditsAndImperfectTurnsAreEncodedAgain) {
    // Inverting the colours changes every coefficient.
    const QByteArray inverted = editAndSave(turboJpeg(64, 48, 95), [](ImageEngine& e) {
        ASSERT_TRUE(e.Edit().InvertChannels({}, {}, 0, true, true, true));
        turnRight(e);
    });
    EXPECT_TRUE(reencoded(inverted));
    // 50 x 30 has partial blocks at its right and bottom edges, which a turn
    // would have to move to the left and top: not possible without loss.
    Picture shown;
    const QByteArray imperfect = editAndSave(turboJpeg(50, 30, 95), turnRight, &shown);
    EXPECT_TRUE(reencoded(imperfect));
    EXPECT_LE(maxChannelDiff(decoded(imperfect).image, shown.image), 12);
    EXPECT_EQ(decoded(imperfect).width(), 30);
}

TEST_F(LosslessJpeg, KeepsTheCommentAndWritesFreshMetadata) {
    if (!haveTool(QStringLiteral("exiftool")))
        GTEST_SKIP() << "exiftool is not installed";
    const QByteArray source = withSegments(turboJpeg(64, 48, 95), {exifSegment(6, 64, 48, true), iccSegment(testProfile())});
    ImageEngine e;
    e.File().FileName = write(source);
    ASSERT_TRUE(e.File().LoadFile());
    turnRight(e);
    e.File().Comment = QStringLiteral("回した写真");
    e.File().FileName = tmp.filePath(QStringLiteral("turned.jpg"));
    ASSERT_TRUE(e.File().SaveFile(codecs::Jpeg));
    const QByteArray saved = read(e.File().FileName);
    EXPECT_FALSE(reencoded(saved));
    const auto tags = exiftool(e.File().FileName);
    EXPECT_EQ(tags.value("File:Comment"), QStringLiteral("回した写真"));
    EXPECT_EQ(tags.value("IFD0:Orientation"), "1");
    EXPECT_EQ(tags.value("IFD0:Make"), "TolvaneCam");
    EXPECT_EQ(tags.value("ICC_Profile:ProfileDescription"), "Tolvane test RGB");
    EXPECT_FALSE(tags.contains("IFD1:ThumbnailImage"));
    // Loaded upright (48 x 64) and turned once more: 64 x 48 again.
    EXPECT_EQ(tags.value("File:ImageWidth"), "64");
    EXPECT_EQ(tags.value("ExifIFD:ExifImageWidth"), "64");
}

}  // namespace

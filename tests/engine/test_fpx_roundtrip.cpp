// Pictures we save as FlashPix come back within JPEG tolerance, with every
// level of the resolution hierarchy and the comment.
#include "engine/codecs/codecs.h"
#include "engine/codecs/fpx_read.h"
#include "fpx_test_util.h"
#include "support/test_support.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

using namespace engine;
using namespace engine::codecs;

namespace {

// Mean absolute difference per channel, compared as RGB.
double meanDiff(const QImage& a, const QImage& b) {
    double sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q));
        }
    return sum / (3.0 * a.width() * a.height());
}

struct Size {
    int w, h;
};

class FpxRoundTrip : public ::testing::TestWithParam<std::tuple<Size, bool>> {};

}  // namespace

TEST_P(FpxRoundTrip, WithinJpegTolerance) {
    const auto [size, gray] = GetParam();
    const Picture pic = fpxtest::smoothPicture(size.w, size.h, gray);
    EncodeOptions opt;
    opt.jpegQuality = 85;
    QByteArray bytes;
    Error err = Error::None;
    ASSERT_TRUE(encode(Fpx, pic, opt, bytes, err)) << int(err);
    EXPECT_EQ(detectFormat(bytes), Fpx);
    Decoded d;
    ASSERT_TRUE(decode(bytes, d, err)) << int(err);
    ASSERT_EQ(d.picture.image.size(), pic.image.size());
    EXPECT_EQ(depthCode(d.picture), gray ? 80 : 24);
    EXPECT_LE(testsupport::maxChannelDiff(d.picture.image, pic.image), 16);
    EXPECT_LE(meanDiff(d.picture.image, pic.image), 2.0);
}

INSTANTIATE_TEST_SUITE_P(Sizes, FpxRoundTrip,
                         ::testing::Combine(::testing::Values(Size{1, 1}, Size{63, 65}, Size{70, 46},
                                                              Size{157, 151}, Size{512, 384}),
                                            ::testing::Bool()));

// Each level is half the one above it, rounded up, down to the first that fits
// one 64 x 64 tile; "Resolution 0000" is the smallest.
TEST(FpxHierarchy, EveryLevelHasItsSize) {
    struct Case {
        int w, h;
        QList<QSize> levels;  // smallest first
    };
    const Case cases[] = {
        {1, 1, {{1, 1}}},
        {64, 64, {{64, 64}}},
        {65, 10, {{33, 5}, {65, 10}}},
        {157, 151, {{40, 38}, {79, 76}, {157, 151}}},
        {512, 384, {{64, 48}, {128, 96}, {256, 192}, {512, 384}}},
        {1000, 3, {{63, 1}, {125, 1}, {250, 1}, {500, 2}, {1000, 3}}},
    };
    for (const Case& c : cases) {
        for (bool gray : {false, true}) {
            QByteArray bytes;
            Error err = Error::None;
            ASSERT_TRUE(encode(Fpx, fpxtest::smoothPicture(c.w, c.h, gray), EncodeOptions(), bytes, err));
            QList<fpx::LevelInfo> levels;
            ASSERT_TRUE(fpx::readLevels(bytes, levels, err)) << int(err);
            ASSERT_EQ(levels.size(), c.levels.size()) << c.w << "x" << c.h;
            for (int i = 0; i < levels.size(); ++i) {
                EXPECT_EQ(QSize(levels[i].width, levels[i].height), c.levels[i]) << c.w << "x" << c.h << " level " << i;
                EXPECT_EQ(levels[i].channels, gray ? 1 : 3);
                // Each level decodes and looks like the picture scaled down.
                Decoded d;
                ASSERT_TRUE(fpx::decodeLevel(bytes, i, d, err)) << int(err) << " " << c.w << "x" << c.h << " level " << i;
                ASSERT_EQ(d.picture.image.size(), c.levels[i]);
                const QImage scaled = fpxtest::smoothPicture(c.w, c.h, gray)
                                          .image.convertToFormat(QImage::Format_RGB32)
                                          .scaled(c.levels[i], Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
                EXPECT_LE(meanDiff(d.picture.image, scaled), 6.0) << c.w << "x" << c.h << " level " << i;
            }
        }
    }
}

TEST(FpxComment, RoundTripsThroughSummaryInformation) {
    const QString comments[] = {QStringLiteral("holiday 2024"), QStringLiteral("café crème"),
                                QStringLiteral("夏の写真 ｶﾒﾗ 1"), QString()};
    for (const QString& comment : comments) {
        EncodeOptions opt;
        opt.comment = comment;
        QByteArray bytes;
        Error err = Error::None;
        ASSERT_TRUE(encode(Fpx, fpxtest::smoothPicture(20, 10, false), opt, bytes, err));
        Decoded d;
        ASSERT_TRUE(decode(bytes, d, err));
        EXPECT_EQ(d.comment, comment);
    }
}

TEST(FpxSave, SaveFileAndDecodeFile) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("photo.fpx");
    const Picture pic = fpxtest::smoothPicture(300, 200, false);
    EncodeOptions opt;
    opt.jpegQuality = 85;
    opt.comment = QStringLiteral("保存テスト");
    Error err = Error::None;
    ASSERT_TRUE(saveFile(path, Fpx, pic, opt, err)) << int(err);
    Decoded d;
    ASSERT_TRUE(decodeFile(path, d, err)) << int(err);
    EXPECT_EQ(d.picture.image.size(), QSize(300, 200));
    EXPECT_EQ(d.comment, opt.comment);
    FileInfo info;
    ASSERT_TRUE(readFileInfo(path, info, err));
    EXPECT_EQ(info.format, Fpx);
    EXPECT_EQ(info.bits, 24);
}

// Only 8-bit grey and 24-bit pictures are FlashPix material; the caller converts.
TEST(FpxSave, RefusesOtherDepths) {
    for (int code : {1, 4, 40, 8, 16, 32}) {
        QByteArray bytes;
        Error err = Error::None;
        EXPECT_FALSE(encode(Fpx, testsupport::makeTestPicture(9, 7, code), EncodeOptions(), bytes, err)) << code;
        EXPECT_EQ(err, Error::Unsupported) << code;
    }
}

// Quality reaches the tiles: higher quality, larger file, closer pixels.
TEST(FpxSave, QualityControlsTiles) {
    const Picture pic = fpxtest::smoothPicture(200, 150, false);
    QByteArray low, high;
    Error err = Error::None;
    EncodeOptions opt;
    opt.jpegQuality = 20;
    ASSERT_TRUE(encode(Fpx, pic, opt, low, err));
    opt.jpegQuality = 95;
    ASSERT_TRUE(encode(Fpx, pic, opt, high, err));
    EXPECT_GT(high.size(), low.size());
    Decoded a, b;
    ASSERT_TRUE(decode(low, a, err));
    ASSERT_TRUE(decode(high, b, err));
    EXPECT_LT(meanDiff(b.picture.image, pic.image), meanDiff(a.picture.image, pic.image));
}

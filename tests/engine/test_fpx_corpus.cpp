// FlashPix files written by other programs decode to the pixels an independent
// FlashPix library reads from them.
#include "engine/codecs/codecs.h"
#include "support/test_support.h"

#include <QFile>
#include <QImage>

#include <gtest/gtest.h>

using namespace engine;
using namespace engine::codecs;

namespace {

QByteArray readCorpus(const QString& rel) {
    QFile f(testsupport::corpusDir() + "/fpx/" + rel);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

struct CorpusCase {
    const char* file;
    const char* reference;
    bool gray;
    int tolerance;  // 0 for uncompressed tiles
};

class FpxCorpus : public ::testing::TestWithParam<CorpusCase> {};

}  // namespace

TEST_P(FpxCorpus, DecodesToReference) {
    if (testsupport::corpusDir().isEmpty())
        GTEST_SKIP() << "corpus folder ../shared/corpus is absent";
    const CorpusCase c = GetParam();
    const QByteArray data = readCorpus(c.file);
    ASSERT_FALSE(data.isEmpty()) << c.file;
    EXPECT_EQ(detectFormat(data), Fpx);
    Decoded d;
    Error err = Error::None;
    ASSERT_TRUE(decode(data, d, err)) << c.file << " error " << int(err);
    const QImage ref(testsupport::corpusDir() + "/fpx/reference-decodes/" + c.reference);
    ASSERT_FALSE(ref.isNull());
    ASSERT_EQ(d.picture.image.size(), ref.size());
    if (c.gray) {
        EXPECT_EQ(depthCode(d.picture), 80);
        EXPECT_EQ(d.picture.image.format(), QImage::Format_Indexed8);
        EXPECT_EQ(d.picture.image.colorTable(), grayTable(256));
    } else {
        EXPECT_EQ(depthCode(d.picture), 24);
        EXPECT_EQ(d.picture.image.format(), QImage::Format_BGR888);
    }
    EXPECT_LE(testsupport::maxChannelDiff(d.picture.image, ref), c.tolerance) << c.file;
}

INSTANTIATE_TEST_SUITE_P(
    Files, FpxCorpus,
    ::testing::Values(CorpusCase{"imagemagick/fpx/input_256.fpx", "input_256.ppm", false, 0},
                      CorpusCase{"imagemagick/fpx/input_truecolor.fpx", "input_truecolor.ppm", false, 0},
                      CorpusCase{"imagemagick/fpx/input_bw.fpx", "input_bw.pgm", true, 0},
                      CorpusCase{"imagemagick/fpx/input_grayscale.fpx", "input_grayscale.pgm", true, 0},
                      CorpusCase{"pillow/input_bw_one_band.fpx", "input_bw_one_band.pgm", true, 0},
                      // JPEG tiles with shared tables, YCbCr inside the JPEG data, 2 x 2 chroma
                      CorpusCase{"imagemagick/fpx/input_jpeg.fpx", "input_jpeg.ppm", false, 6}));

// The first tile of this file is a single-colour tile whose colour readers take
// from different bytes of the subtype (black here, white elsewhere): it must be
// one even colour, and the rest of the picture must be exact.
TEST(FpxCorpusSingleColour, FillTileIsEvenAndRestExact) {
    if (testsupport::corpusDir().isEmpty())
        GTEST_SKIP() << "corpus folder ../shared/corpus is absent";
    Decoded d;
    Error err = Error::None;
    ASSERT_TRUE(decode(readCorpus("pillow/input_bw_fill.fpx"), d, err)) << int(err);
    const QImage ref(testsupport::corpusDir() + "/fpx/reference-decodes/input_bw.pgm");
    ASSERT_EQ(d.picture.image.size(), ref.size());
    const QImage& img = d.picture.image;
    const int fill = img.pixelIndex(0, 0);
    EXPECT_TRUE(fill == 0 || fill == 255);
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            if (x < 64)
                ASSERT_EQ(img.pixelIndex(x, y), fill) << x << "," << y;
            else
                ASSERT_EQ(qGray(img.pixel(x, y)), qGray(ref.pixel(x, y))) << x << "," << y;
        }
}

// Its colour description lists five channels but holds one: refused, no crash.
TEST(FpxCorpusInvalid, FiveBandFileRefused) {
    if (testsupport::corpusDir().isEmpty())
        GTEST_SKIP() << "corpus folder ../shared/corpus is absent";
    Decoded d;
    Error err = Error::None;
    EXPECT_FALSE(decode(readCorpus("pillow/input_bw_five_bands.fpx"), d, err));
    EXPECT_TRUE(err == Error::Damaged || err == Error::Unsupported) << int(err);
    EXPECT_TRUE(d.picture.isNull());
}

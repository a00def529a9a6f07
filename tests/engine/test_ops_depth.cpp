// Colour depth conversions: depth codes, palette sizes, the black-and-white
// threshold, lossless few-colour pictures and grey levels.
#include "engine/ops/colour_preview.h"
#include "engine/ops/ops.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <QRandomGenerator>
#include <QSet>

using engine::Picture;
namespace ops = engine::ops;

namespace {

const int kCodes[] = {1, 4, 40, 8, 80, 16, 24, 32};

Picture solid24(int w, int h, QRgb c) {
    QImage img(w, h, QImage::Format_BGR888);
    img.fill(QColor::fromRgb(c));
    return engine::makePicture(img, 24);
}

// A photo-like 24-bit picture: smooth gradients with noise, thousands of colours.
Picture photo(int w, int h) {
    QImage img(w, h, QImage::Format_BGR888);
    QRandomGenerator rng(7);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, qRgb(std::clamp(x * 255 / w + int(rng.bounded(9)) - 4, 0, 255),
                                    std::clamp(y * 255 / h + int(rng.bounded(9)) - 4, 0, 255),
                                    (x + y) * 255 / (w + h)));
    return engine::makePicture(img, 24);
}

QSet<QRgb> coloursOf(const QImage& img) {
    QSet<QRgb> s;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            s.insert(img.pixel(x, y) | 0xFF000000u);
    return s;
}

}  // namespace

TEST(OpsDepth, EveryCodeFromEveryDepthGivesItsStoreAndTableSize) {
    for (int from : kCodes) {
        for (int to : kCodes) {
            for (bool dither : {false, true}) {
                Picture pic = testsupport::makeTestPicture(33, 7, from, unsigned(from + to));
                SCOPED_TRACE(QStringLiteral("%1 -> %2 dither %3").arg(from).arg(to).arg(dither).toStdString());
                ASSERT_TRUE(ops::convertDepth(pic, to, dither, 128));
                EXPECT_EQ(pic.image.size(), QSize(33, 7));
                const int bits = to >= 40 ? to / 10 : to;
                EXPECT_EQ(pic.bits, bits);
                EXPECT_EQ(pic.image.format(), engine::formatForBits(bits));
                switch (to) {
                case 1:
                    EXPECT_EQ(pic.image.colorTable(), QList<QRgb>({qRgb(0, 0, 0), qRgb(255, 255, 255)}));
                    break;
                case 4:
                case 8: {
                    EXPECT_LE(pic.image.colorCount(), to == 4 ? 16 : 256);
                    EXPECT_GE(pic.image.colorCount(), 1);
                    const bool greySource = from == 40 || from == 80;
                    // A grey source keeps a grey palette.
                    if (greySource)
                        EXPECT_EQ(engine::depthCode(pic), to * 10);
                    break;
                }
                case 40:
                case 80:
                    EXPECT_EQ(pic.image.colorTable(), engine::grayTable(to == 40 ? 16 : 256));
                    EXPECT_EQ(engine::depthCode(pic), to);
                    break;
                default:
                    EXPECT_EQ(engine::depthCode(pic), to);
                }
                // Every pixel names an entry of the table.
                if (bits == 4 || bits == 8)
                    for (int y = 0; y < 7; ++y)
                        for (int x = 0; x < 33; ++x)
                            ASSERT_LT(pic.image.pixelIndex(x, y), pic.image.colorCount());
            }
        }
    }
}

TEST(OpsDepth, UnknownCodesAndBadPicturesFailWithoutChange) {
    for (int code : {0, -1, 2, 3, 12, 41, 64, 100}) {
        Picture pic = testsupport::makeTestPicture(9, 5, 24);
        const Picture before = pic;
        EXPECT_FALSE(ops::convertDepth(pic, code, true, 128)) << code;
        EXPECT_TRUE(testsupport::samePixels(pic, before));
    }
    Picture empty;
    EXPECT_FALSE(ops::convertDepth(empty, 24, false, 128));
    EXPECT_FALSE(ops::convertTo24(empty));
    // A depth that does not match its store is refused rather than guessed at.
    Picture odd = testsupport::makeTestPicture(4, 4, 8);
    odd.bits = 4;  // 256 entries cannot be a 4-bit picture
    EXPECT_FALSE(ops::convertDepth(odd, 24, false, 128));
}

TEST(OpsDepth, BlackAndWhiteThresholdUsesRec601RoundedLuminance) {
    // Colours with known luminance: Y = round(0.299 R + 0.587 G + 0.114 B).
    struct Case { QRgb colour; int y; };
    const Case cases[] = {
        {qRgb(255, 0, 0), 76},     // 76.245
        {qRgb(0, 255, 0), 150},    // 149.685
        {qRgb(0, 0, 255), 29},     // 29.07
        {qRgb(0, 0, 250), 29},     // 28.5: halves round up
        {qRgb(128, 128, 128), 128},
        {qRgb(10, 200, 90), 131},  // 130.65
        {qRgb(255, 255, 255), 255},
        {qRgb(0, 0, 0), 0},
    };
    for (const Case& c : cases) {
        const int y = ops::luminance(qRed(c.colour), qGreen(c.colour), qBlue(c.colour));
        EXPECT_EQ(y, c.y) << std::hex << c.colour;
        for (int t : {y - 1, y, y + 1}) {
            for (int from : {24, 16, 32}) {
                Picture pic = solid24(3, 2, c.colour);
                ASSERT_TRUE(ops::convertDepth(pic, from, false, 128));
                if (from == 16)
                    continue;  // 5-5-5 changes the colour itself
                ASSERT_TRUE(ops::convertDepth(pic, 1, false, t));
                const bool white = pic.image.pixel(1, 1) == qRgb(255, 255, 255);
                EXPECT_EQ(white, y >= t) << "colour " << std::hex << c.colour << std::dec << " threshold " << t;
            }
        }
    }
    // The extremes: threshold 0 makes everything white, 256 everything black.
    Picture all = testsupport::makeTestPicture(16, 16, 24);
    Picture none = all;
    ASSERT_TRUE(ops::convertDepth(all, 1, false, 0));
    ASSERT_TRUE(ops::convertDepth(none, 1, false, 256));
    EXPECT_EQ(coloursOf(all.image), QSet<QRgb>({qRgb(255, 255, 255)}));
    EXPECT_EQ(coloursOf(none.image), QSet<QRgb>({qRgb(0, 0, 0)}));
}

TEST(OpsDepth, BlackAndWhiteOfPalettePicturesUsesTheirColours) {
    // A 4-bit picture with red and blue entries: red (Y 76) white at 70, blue (Y 29) black.
    QImage img(5, 1, QImage::Format_Indexed8);
    img.setColorTable({qRgb(255, 0, 0), qRgb(0, 0, 255)});
    for (int x = 0; x < 5; ++x)
        img.setPixel(x, 0, uint(x & 1));
    Picture pic = engine::makePicture(img, 4);
    ASSERT_TRUE(ops::convertDepth(pic, 1, true, 70));
    for (int x = 0; x < 5; ++x)
        EXPECT_EQ(pic.image.pixel(x, 0), (x & 1) ? qRgb(0, 0, 0) : qRgb(255, 255, 255)) << x;
}

TEST(OpsDepth, FewColourPicturesMapLosslessly) {
    for (int n : {2, 16, 256}) {
        for (int code : {4, 8}) {
            if (code == 4 && n > 16)
                continue;
            for (bool dither : {false, true}) {
                QRandomGenerator rng(uint(n + code));
                QList<QRgb> colours;
                while (colours.size() < n) {
                    const QRgb c = qRgb(int(rng.bounded(256)), int(rng.bounded(256)), int(rng.bounded(256)));
                    if (!colours.contains(c))
                        colours << c;
                }
                QImage img(61, 37, QImage::Format_BGR888);
                for (int y = 0; y < img.height(); ++y)
                    for (int x = 0; x < img.width(); ++x)
                        img.setPixel(x, y, colours[(x * 31 + y * 17 + int(rng.bounded(3))) % n]);
                Picture pic = engine::makePicture(img, 24);
                ASSERT_TRUE(ops::convertDepth(pic, code, dither, 128));
                EXPECT_EQ(pic.bits, code);
                EXPECT_EQ(testsupport::maxChannelDiff(pic.image, img), 0) << n << " colours to " << code;
            }
        }
    }
}

TEST(OpsDepth, PalettePictureWhoseTableFitsKeepsTableAndIndices) {
    const Picture src = testsupport::makeTestPicture(17, 9, 4, 3);
    Picture pic = src;
    ASSERT_TRUE(ops::convertDepth(pic, 8, false, 128));
    EXPECT_EQ(pic.bits, 8);
    EXPECT_EQ(pic.image.colorTable(), src.image.colorTable());
    Picture back = pic;
    ASSERT_TRUE(ops::convertDepth(back, 4, true, 128));
    EXPECT_TRUE(testsupport::samePixels(back, src));
}

TEST(OpsDepth, ManyColoursReduceToAFaithfulPalette) {
    const Picture src = photo(240, 160);
    ASSERT_GT(coloursOf(src.image).size(), 256);
    for (int code : {4, 8}) {
        for (bool dither : {false, true}) {
            Picture pic = src;
            ASSERT_TRUE(ops::convertDepth(pic, code, dither, 128));
            ASSERT_LE(pic.image.colorCount(), code == 4 ? 16 : 256);
            // Mean error per channel stays small (a broken remap is far off).
            qint64 sum = 0;
            for (int y = 0; y < 160; ++y)
                for (int x = 0; x < 240; ++x) {
                    const QRgb a = pic.image.pixel(x, y), b = src.image.pixel(x, y);
                    sum += std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) + std::abs(qBlue(a) - qBlue(b));
                }
            const double mean = double(sum) / (240.0 * 160.0 * 3.0);
            EXPECT_LT(mean, code == 4 ? 20.0 : 6.0) << code << " dither " << dither;
        }
    }
}

TEST(OpsDepth, GreyLevelsFollowLuminance) {
    QImage img(256, 2, QImage::Format_BGR888);
    for (int v = 0; v < 256; ++v) {
        img.setPixel(v, 0, qRgb(v, v, v));
        img.setPixel(v, 1, qRgb(v, 255 - v, v / 2));
    }
    const Picture src = engine::makePicture(img, 24);
    Picture g80 = src, g40 = src;
    ASSERT_TRUE(ops::convertDepth(g80, 80, true, 128));
    ASSERT_TRUE(ops::convertDepth(g40, 40, true, 128));
    for (int y = 0; y < 2; ++y)
        for (int v = 0; v < 256; ++v) {
            const QRgb c = img.pixel(v, y);
            const int lum = ops::luminance(qRed(c), qGreen(c), qBlue(c));
            EXPECT_EQ(g80.image.pixelIndex(v, y), lum);
            // 16 levels 0, 17, ..., 255: the nearest one.
            const int level = (lum * 2 + 17) / 34;
            EXPECT_EQ(g40.image.pixelIndex(v, y), level) << lum;
            EXPECT_LE(std::abs(qRed(g40.image.pixel(v, y)) - lum), 8);
        }
    // 256 greys to 8 bits and back to 16 greys: 16-grey pictures survive 16 bits
    // (the round trip the highlight command makes).
    Picture grey4 = testsupport::makeTestPicture(31, 5, 40);
    Picture trip = grey4;
    ASSERT_TRUE(ops::convertDepth(trip, 16, true, 128));
    ASSERT_TRUE(ops::convertDepth(trip, 80, false, 128));
    ASSERT_TRUE(ops::convertDepth(trip, 40, true, 128));
    EXPECT_TRUE(testsupport::samePixels(trip, grey4));
}

TEST(OpsDepth, GreyPictureReducedTo16ColoursStaysGrey) {
    QImage img(300, 20, QImage::Format_BGR888);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 300; ++x) {
            const int v = (x * 255 / 299 + y) % 256;
            img.setPixel(x, y, qRgb(v, v, v));
        }
    Picture pic = engine::makePicture(img, 24);
    ASSERT_TRUE(ops::convertDepth(pic, 80, false, 128));
    ASSERT_TRUE(ops::convertDepth(pic, 4, false, 128));
    EXPECT_EQ(engine::depthCode(pic), 40);
    EXPECT_LE(pic.image.colorCount(), 16);
}

TEST(OpsDepth, DirectDepthsAndMetricsSurvive) {
    Picture pic = testsupport::makeTestPicture(13, 11, 24);
    pic.image.setDotsPerMeterX(5000);
    pic.image.setDotsPerMeterY(4000);
    const QImage original = pic.image;
    ASSERT_TRUE(ops::convertDepth(pic, 32, false, 128));
    EXPECT_EQ(testsupport::maxChannelDiff(pic.image, original), 0);
    ASSERT_TRUE(ops::convertDepth(pic, 16, false, 128));
    EXPECT_EQ(pic.image.format(), QImage::Format_RGB555);
    EXPECT_LE(testsupport::maxChannelDiff(pic.image, original), 7);
    ASSERT_TRUE(ops::convertTo24(pic));
    EXPECT_EQ(pic.bits, 24);
    EXPECT_EQ(pic.image.dotsPerMeterX(), 5000);
    EXPECT_EQ(pic.image.dotsPerMeterY(), 4000);
    ASSERT_TRUE(ops::convertDepth(pic, 8, true, 128));
    EXPECT_EQ(pic.image.dotsPerMeterX(), 5000);
}

// The palette chosen for a picture is kept for the conversion that follows
// (the colour panel's preview, then its commit). It must never outlive the
// pixels it was chosen for: pixels written in place, or another picture, get
// their own palette, exactly as a first conversion gives it.
TEST(OpsDepth, AKeptPaletteIsUsedOnlyForTheSamePixels) {
    Picture pic = photo(96, 64);
    Picture first = pic;
    ASSERT_TRUE(ops::convertDepth(first, 8, false, 128));
    // Written in place: the left half goes red.
    for (int y = 0; y < pic.height(); ++y) {
        uchar* row = pic.image.scanLine(y);
        for (int x = 0; x < pic.width() / 2; ++x) {
            row[3 * x] = 0;
            row[3 * x + 1] = 0;
            row[3 * x + 2] = 255;
        }
    }
    Picture afterWrite = pic;
    ASSERT_TRUE(ops::convertDepth(afterWrite, 8, false, 128));
    Picture fresh = pic;
    fresh.image = pic.image.copy();  // pixels of their own: never seen before
    ASSERT_TRUE(ops::convertDepth(fresh, 8, false, 128));
    EXPECT_EQ(afterWrite.image.colorTable(), fresh.image.colorTable());
    EXPECT_EQ(afterWrite.image, fresh.image);
    EXPECT_NE(afterWrite.image.colorTable(), first.image.colorTable());
    // 16 colours of the same pixels choose again.
    Picture sixteen = pic;
    ASSERT_TRUE(ops::convertDepth(sixteen, 4, false, 128));
    EXPECT_LE(sixteen.image.colorCount(), 16);
}

// The panel converts a part of a picture (what its preview shows) with the
// palette of the whole picture's conversion: every colour the part shows is
// one the committed picture has. The whole picture converted by the panel is
// exactly its plain conversion (then inverted when asked).
TEST(OpsDepth, ThePanelShowsAPartInTheColoursOfTheWhole) {
    const Picture whole = photo(160, 120);
    Picture committed = whole;
    ASSERT_TRUE(ops::panelDepth(committed, committed, 8, 128, false));
    Picture plain = whole;
    plain.image = whole.image.copy();
    ASSERT_TRUE(ops::previewDepth(plain, 8, 128));
    EXPECT_EQ(committed.image, plain.image);
    EXPECT_EQ(committed.bits, 8);

    Picture part = engine::makePicture(whole.image.copy(40, 30, 64, 48).scaled(32, 24, Qt::IgnoreAspectRatio,
                                                                               Qt::SmoothTransformation), 24);
    ASSERT_TRUE(ops::panelDepth(part, whole, 8, 128, false));
    const QList<QRgb> colours = committed.image.colorTable();
    const QSet<QRgb> table(colours.begin(), colours.end());
    for (QRgb c : coloursOf(part.image))
        EXPECT_TRUE(table.contains(c)) << std::hex << c;

    Picture inverted = whole;
    ASSERT_TRUE(ops::panelDepth(inverted, inverted, 8, 128, true));
    Picture expected = plain;
    ASSERT_TRUE(ops::invertAll(expected));
    EXPECT_EQ(inverted.image, expected.image);
}

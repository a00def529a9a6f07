// PCX codec: round trips at every depth it holds, netpbm and ImageMagick
// files, and hostile headers.
#include "engine/codecs/codecs.h"
#include "support/codec_test_support.h"
#include "support/test_support.h"

#include <QtEndian>
#include <gtest/gtest.h>

using namespace engine;
using namespace engine::codecs;
using testsupport::corpusDir;

namespace {

void set16(QByteArray& b, int off, quint16 v) { qToLittleEndian<quint16>(v, b.data() + off); }

QByteArray encoded(const Picture& pic) {
    QByteArray bytes;
    Error err = Error::None;
    EXPECT_TRUE(encodePcx(pic, EncodeOptions(), bytes, err)) << int(err);
    return bytes;
}

Error decodeError(const QByteArray& bytes) {
    Decoded d;
    Error err = Error::None;
    if (decodePcx(bytes, d, err))
        return Error::None;
    EXPECT_TRUE(d.picture.isNull());
    return err;
}

// A header for an uncompressed picture; the caller appends the pixel bytes.
QByteArray rawHeader(int width, int height, int bpp, int planes, int bpl) {
    QByteArray h(128, '\0');
    h[0] = 0x0A;
    h[1] = 5;
    h[2] = 0;
    h[3] = char(bpp);
    set16(h, 8, quint16(width - 1));
    set16(h, 10, quint16(height - 1));
    h[65] = char(planes);
    set16(h, 66, quint16(bpl));
    return h;
}

}  // namespace

TEST(Pcx, RoundTripEveryDepthAndWidth) {
    for (int code : {1, 4, 40, 8, 80, 24})
        for (int width : {1, 2, 3, 7, 8, 9, 31, 33})
            for (int height : {1, 4}) {
                SCOPED_TRACE(QStringLiteral("code %1 %2x%3").arg(code).arg(width).arg(height).toStdString());
                Picture pic = testsupport::makeTestPicture(width, height, code, unsigned(width * 17 + height));
                pic.image.setDotsPerMeterX(11811);  // 300 dpi
                pic.image.setDotsPerMeterY(5906);   // 150 dpi
                const QByteArray bytes = encoded(pic);
                ASSERT_GE(bytes.size(), 128);
                EXPECT_EQ(detectFormat(bytes), Pcx);
                EXPECT_EQ(bytes[65], char(code == 24 ? 3 : (code == 4 || code == 40) ? 4 : 1));  // planes
                Decoded d;
                Error err = Error::None;
                ASSERT_TRUE(decode(bytes, d, err)) << int(err);
                QString why;
                EXPECT_TRUE(testsupport::samePixels(pic, d.picture, &why)) << why.toStdString();
                EXPECT_EQ(depthCode(d.picture), code);
                EXPECT_EQ(d.picture.image.format(), formatForBits(pic.bits));
                if (pic.bits <= 8)
                    EXPECT_EQ(d.picture.image.colorTable(), pic.image.colorTable());
                EXPECT_EQ(d.picture.image.dotsPerMeterX(), 11811);
                EXPECT_EQ(d.picture.image.dotsPerMeterY(), 5906);
            }
}

TEST(Pcx, OtherDepthsRefused) {
    QByteArray bytes;
    Error err = Error::None;
    for (int code : {16, 32}) {
        EXPECT_FALSE(encodePcx(testsupport::makeTestPicture(5, 5, code), EncodeOptions(), bytes, err));
        EXPECT_EQ(err, Error::Unsupported);
    }
    // A 4-bit picture whose pixels point past its table.
    Picture four = testsupport::makeTestPicture(5, 2, 4);
    four.image.setColorTable(four.image.colorTable().mid(0, 3));
    four.image.scanLine(0)[0] = 9;
    EXPECT_FALSE(encodePcx(four, EncodeOptions(), bytes, err));
    EXPECT_EQ(err, Error::BadArgument);
}

TEST(Pcx, ShortTablesArePaddedAndBytesEscaped) {
    // Five colours in a 4-bit picture come back as the same five colours.
    QImage img(11, 2, QImage::Format_Indexed8);
    img.setColorTable({qRgb(250, 1, 2), qRgb(3, 250, 4), qRgb(5, 6, 250), qRgb(200, 200, 200), qRgb(7, 8, 9)});
    for (int x = 0; x < 11; ++x) {
        img.setPixel(x, 0, uint(x % 5));
        img.setPixel(x, 1, 4);
    }
    Decoded d;
    Error err = Error::None;
    ASSERT_TRUE(decodePcx(encoded(Picture{img, 4}), d, err));
    EXPECT_EQ(d.picture.bits, 4);
    EXPECT_EQ(d.picture.image.colorTable().mid(0, 5), img.colorTable());
    EXPECT_TRUE(testsupport::sameRgb(d.picture.image, img));

    // Long runs, and single bytes with both top bits set, in 8 bits.
    QImage eight(200, 3, QImage::Format_Indexed8);
    eight.setColorTable(grayTable(256));
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 200; ++x)
            eight.setPixel(x, y, uint(y == 0 ? 0xC5 : (y == 1 ? x : 0xFF)));
    ASSERT_TRUE(decodePcx(encoded(Picture{eight, 8}), d, err));
    EXPECT_TRUE(testsupport::samePixels(Picture{eight, 8}, d.picture));
}

TEST(Pcx, NetpbmFilesEqualTheirSources) {
    const QString dir = corpusDir();
    if (dir.isEmpty())
        GTEST_SKIP() << "corpus folder ../shared/corpus is absent";
    struct Case { const char* pcx; const char* ppm; int code; };
    const Case cases[] = {
        {"pal1-packed.pcx", "src-2c-157x151.ppm", 1},   {"pal1-planes.pcx", "src-2c-157x151.ppm", 1},
        {"pal2-packed.pcx", "src-4c-157x151.ppm", 4},   {"pal2-planes.pcx", "src-4c-157x151.ppm", 4},
        {"pal4-packed.pcx", "src-16c-157x151.ppm", 4},  {"pal4-4planes.pcx", "src-16c-157x151.ppm", 4},
        {"pal8-16colors.pcx", "src-16c-157x151.ppm", 8}, {"pal8.pcx", "src-256c-157x151.ppm", 8},
        {"rgb24-3plane.pcx", "src-rgb-157x151.ppm", 24},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pcx);
        const QImage source = testsupport::readPpm(dir + "/pcx/netpbm/" + c.ppm);
        ASSERT_FALSE(source.isNull());
        Decoded d;
        Error err = Error::None;
        ASSERT_TRUE(decode(testsupport::readAll(dir + "/pcx/netpbm/" + c.pcx), d, err)) << int(err);
        EXPECT_EQ(depthCode(d.picture), c.code);
        QString why;
        EXPECT_TRUE(testsupport::sameRgb(d.picture.image, source, &why)) << why.toStdString();

        // Written again at the same depth, the file gives the same picture.
        Decoded again;
        ASSERT_TRUE(decodePcx(encoded(d.picture), again, err));
        EXPECT_TRUE(testsupport::samePixels(d.picture, again.picture, &why)) << why.toStdString();
    }
}

TEST(Pcx, ImageMagickFileAndMultiPageContainer) {
    const QString dir = corpusDir();
    if (dir.isEmpty())
        GTEST_SKIP() << "corpus folder ../shared/corpus is absent";
    const QString im = dir + "/pcx/imagemagick";
    Decoded d;
    Error err = Error::None;
    ASSERT_TRUE(decode(testsupport::readAll(im + "/input.pcx"), d, err)) << int(err);
    EXPECT_EQ(d.picture.bits, 24);
    QString why;
    EXPECT_TRUE(testsupport::sameRgb(d.picture.image, QImage(im + "/reference/read/input_pcx.ref.png"), &why))
        << why.toStdString();
    // A DCX is a page index, not a picture: refused as an unknown format.
    const QByteArray dcx = testsupport::readAll(im + "/input.dcx");
    EXPECT_FALSE(decode(dcx, d, err));
    EXPECT_EQ(err, Error::UnknownFormat);
    EXPECT_FALSE(decodePcx(dcx, d, err));
    EXPECT_EQ(err, Error::UnknownFormat);
}

TEST(Pcx, UncompressedAndCarriedRuns) {
    // 3 x 2, 8 bits, stored raw with a grey table by default (no table at the end).
    QByteArray raw = rawHeader(3, 2, 8, 1, 4);
    raw += QByteArray::fromHex("0a141e00" "28323c00");
    Decoded d;
    Error err = Error::None;
    ASSERT_TRUE(decodePcx(raw, d, err)) << int(err);
    EXPECT_EQ(depthCode(d.picture), 80);
    EXPECT_EQ(d.picture.image.pixelIndex(2, 1), 0x3c);

    // A run that goes on into the next scanline.
    QByteArray rle = rawHeader(3, 2, 8, 1, 4);
    rle[2] = 1;
    rle += QByteArray::fromHex("c807");
    ASSERT_TRUE(decodePcx(rle, d, err)) << int(err);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(d.picture.image.pixelIndex(x, y), 7);
}

TEST(Pcx, HostileHeadersRefused) {
    const QByteArray good = encoded(testsupport::makeTestPicture(13, 6, 24));
    for (qint64 n = 0; n + 1 < good.size(); ++n)
        EXPECT_EQ(decodeError(good.left(n)), n == 0 ? Error::UnknownFormat : Error::Damaged) << "cut at " << n;

    struct Case {
        const char* what;
        std::function<void(QByteArray&)> mutate;
        Error expected;
    };
    const Case cases[] = {
        {"manufacturer", [](QByteArray& b) { b[0] = 0x0B; }, Error::UnknownFormat},
        {"version 9", [](QByteArray& b) { b[1] = 9; }, Error::Damaged},
        {"encoding 2", [](QByteArray& b) { b[2] = 2; }, Error::Damaged},
        {"bits 3", [](QByteArray& b) { b[3] = 3; }, Error::Damaged},
        {"bits 16", [](QByteArray& b) { b[3] = 16; }, Error::Damaged},
        {"planes 0", [](QByteArray& b) { b[65] = 0; }, Error::Damaged},
        {"planes 2 of 8 bits", [](QByteArray& b) { b[65] = 2; }, Error::Unsupported},
        {"planes 200", [](QByteArray& b) { b[65] = char(200); }, Error::Damaged},
        {"xmax before xmin", [](QByteArray& b) { set16(b, 4, 20); }, Error::Damaged},
        {"width 65536", [](QByteArray& b) { set16(b, 8, 65535); }, Error::TooLarge},
        {"huge and empty", [](QByteArray& b) { set16(b, 8, 40000); set16(b, 10, 40000); }, Error::TooLarge},
        {"bytes per line too small", [](QByteArray& b) { set16(b, 66, 12); }, Error::Damaged},
        {"bytes per line 65535", [](QByteArray& b) { set16(b, 66, 65535); }, Error::Damaged},
        {"height beyond the data", [](QByteArray& b) { set16(b, 10, 5000); }, Error::Damaged},
    };
    for (const Case& c : cases) {
        QByteArray bytes = good;
        c.mutate(bytes);
        EXPECT_EQ(decodeError(bytes), c.expected) << c.what;
    }
}

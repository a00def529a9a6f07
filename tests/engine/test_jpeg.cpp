#include "engine/codecs/codecs.h"
#include "engine/codecs/exif_orientation.h"
#include "support/lib_codec_test_support.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <jpeglib.h>

using namespace engine;
using namespace engine::codecs;
using testsupport::makeTestPicture;

namespace {

const int kWidths[] = {1, 3, 7, 9, 33};

// A picture in four flat quadrants (JPEG keeps flat areas nearly exact):
// top-left red, top-right green, bottom-left blue, bottom-right white.
Picture quadrants(int w, int h) {
    QImage img(w, h, QImage::Format_BGR888);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const bool right = x >= w / 2, bottom = y >= h / 2;
            img.setPixel(x, y, !bottom ? (right ? qRgb(0, 255, 0) : qRgb(255, 0, 0))
                                       : (right ? qRgb(255, 255, 255) : qRgb(0, 0, 255)));
        }
    return makePicture(img, 24);
}

// An APP1 segment holding an EXIF block whose IFD0 has only an Orientation tag.
QByteArray exifSegment(int orientation, bool bigEndian) {
    QByteArray tiff;
    auto u16 = [&](int v) {
        if (bigEndian) { tiff.append(char(v >> 8)); tiff.append(char(v & 255)); }
        else { tiff.append(char(v & 255)); tiff.append(char(v >> 8)); }
    };
    auto u32 = [&](quint32 v) {
        if (bigEndian) { u16(int(v >> 16)); u16(int(v & 0xFFFF)); }
        else { u16(int(v & 0xFFFF)); u16(int(v >> 16)); }
    };
    tiff.append(bigEndian ? "MM" : "II");
    u16(42);
    u32(8);
    u16(1);                   // one entry
    u16(0x0112); u16(3); u32(1); u16(orientation); u16(0);
    u32(0);                   // no next IFD
    QByteArray payload = QByteArray("Exif\0\0", 6) + tiff;
    QByteArray seg("\xFF\xE1", 2);
    const int len = int(payload.size()) + 2;
    seg.append(char(len >> 8));
    seg.append(char(len & 255));
    return seg + payload;
}

QByteArray withExif(const QByteArray& jpeg, int orientation, bool bigEndian) {
    return jpeg.left(2) + exifSegment(orientation, bigEndian) + jpeg.mid(2);
}

QByteArray encoded(const Picture& pic, const QString& comment = QString()) {
    EncodeOptions opt;
    opt.comment = comment;
    opt.jpegQuality = 95;
    QByteArray bytes;
    Error err;
    EXPECT_TRUE(encodeJpeg(pic, opt, bytes, err));
    return bytes;
}

QRgb at(const Picture& p, double fx, double fy) {
    return p.image.pixel(int(fx * (p.width() - 1)), int(fy * (p.height() - 1)));
}

bool near(QRgb a, QRgb b) {
    return std::abs(qRed(a) - qRed(b)) < 24 && std::abs(qGreen(a) - qGreen(b)) < 24 &&
           std::abs(qBlue(a) - qBlue(b)) < 24;
}

}  // namespace

TEST(Jpeg, ColourAndGreyRoundTripKeepDepthAndStayClose) {
    for (int w : kWidths) {
        for (int code : {24, 80}) {
            // Smooth content: JPEG's error on noise says nothing about the codec.
            Picture pic = makeTestPicture(w, 5, code);
            if (code == 24)
                for (int y = 0; y < 5; ++y)
                    for (int x = 0; x < w; ++x)
                        pic.image.setPixel(x, y, qRgb(x * 5, 60 + y * 10, 100));
            Decoded back;
            ASSERT_EQ(testsupport::roundTrip(Jpeg, pic, back, QString(), 95), Error::None) << w << " " << code;
            EXPECT_EQ(depthCode(back.picture), code) << w;
            EXPECT_EQ(back.picture.image.format(), formatForBits(code == 80 ? 8 : 24));
            EXPECT_EQ(back.picture.image.size(), pic.image.size());
            if (code == 24)
                EXPECT_LE(testsupport::maxChannelDiff(pic.image, back.picture.image), 10) << w;
        }
    }
}

TEST(Jpeg, GreyPaletteOutOfOrderIsWrittenByItsGreys) {
    Picture pic = makeTestPicture(16, 16, 80);
    QList<QRgb> reversed = grayTable(256);
    std::reverse(reversed.begin(), reversed.end());
    pic.image.setColorTable(reversed);
    pic.image.fill(0);  // index 0 is white in this table
    Decoded back;
    ASSERT_EQ(testsupport::roundTrip(Jpeg, pic, back), Error::None);
    EXPECT_GE(qRed(back.picture.image.pixel(5, 5)), 250);
}

TEST(Jpeg, RefusesDepthsItCannotHold) {
    for (int code : {1, 4, 40, 8, 16, 32}) {
        QByteArray bytes;
        Error err = Error::None;
        EXPECT_FALSE(encode(Jpeg, makeTestPicture(9, 4, code), EncodeOptions(), bytes, err)) << code;
        EXPECT_EQ(err, Error::Unsupported) << code;
    }
}

TEST(Jpeg, CommentRoundTripAndLatin1Fallback) {
    const QString text = QStringLiteral("撮影: 2026年 café\nline two");
    Decoded back;
    ASSERT_EQ(testsupport::roundTrip(Jpeg, makeTestPicture(8, 8, 24), back, text), Error::None);
    EXPECT_EQ(back.comment, text);

    ASSERT_EQ(testsupport::roundTrip(Jpeg, makeTestPicture(8, 8, 24), back, QString()), Error::None);
    EXPECT_TRUE(back.comment.isEmpty());

    // A COM marker in Latin-1 (not valid UTF-8), as older programs write it.
    QByteArray jpeg = encoded(makeTestPicture(8, 8, 24));
    const QByteArray com = QByteArray("\xFF\xFE\x00\x07", 4) + QByteArray("caf\xE9\x00", 5);
    jpeg = jpeg.left(2) + com + jpeg.mid(2);
    Error err;
    ASSERT_TRUE(decode(jpeg, back, err));
    EXPECT_EQ(back.comment, QStringLiteral("café"));
}

TEST(Jpeg, ExifOrientationTurnsThePictureUpright) {
    const QByteArray plain = encoded(quadrants(32, 16));
    const QRgb red = qRgb(255, 0, 0), green = qRgb(0, 255, 0), blue = qRgb(0, 0, 255), white = qRgb(255, 255, 255);
    for (bool big : {true, false}) {
        Decoded d;
        Error err;
        // 6: stored turned left, shown turned 90 degrees clockwise.
        ASSERT_TRUE(decode(withExif(plain, 6, big), d, err));
        ASSERT_EQ(d.picture.width(), 16);
        ASSERT_EQ(d.picture.height(), 32);
        EXPECT_TRUE(near(at(d.picture, 0.9, 0.1), red));
        EXPECT_TRUE(near(at(d.picture, 0.9, 0.9), green));
        EXPECT_TRUE(near(at(d.picture, 0.1, 0.1), blue));
        EXPECT_TRUE(near(at(d.picture, 0.1, 0.9), white));
        // 3: upside down.
        ASSERT_TRUE(decode(withExif(plain, 3, big), d, err));
        ASSERT_EQ(d.picture.width(), 32);
        EXPECT_TRUE(near(at(d.picture, 0.9, 0.9), red));
        EXPECT_TRUE(near(at(d.picture, 0.1, 0.9), green));
        EXPECT_TRUE(near(at(d.picture, 0.9, 0.1), blue));
        // 8: turned 90 degrees counter-clockwise.
        ASSERT_TRUE(decode(withExif(plain, 8, big), d, err));
        ASSERT_EQ(d.picture.height(), 32);
        EXPECT_TRUE(near(at(d.picture, 0.1, 0.9), red));
        EXPECT_TRUE(near(at(d.picture, 0.1, 0.1), green));
        // 2: mirrored left-right.
        ASSERT_TRUE(decode(withExif(plain, 2, big), d, err));
        EXPECT_TRUE(near(at(d.picture, 0.9, 0.1), red));
    }
    // What we write carries no orientation: a reloaded upright picture stays so.
    Decoded d;
    Error err;
    ASSERT_TRUE(decode(withExif(plain, 6, true), d, err));
    Decoded again;
    ASSERT_EQ(testsupport::roundTrip(Jpeg, d.picture, again, QString(), 95), Error::None);
    EXPECT_EQ(again.picture.width(), 16);
    EXPECT_TRUE(near(at(again.picture, 0.9, 0.1), red));
}

TEST(Jpeg, ExifParserSurvivesHostileBlocks) {
    const QByteArray good = exifSegment(6, false).mid(4);
    EXPECT_EQ(exifOrientationFromApp1(reinterpret_cast<const uint8_t*>(good.constData()), size_t(good.size())), 6);
    // Every truncation of a valid block reads as "no orientation" or the value.
    for (int n = 0; n < good.size(); ++n) {
        const int o = exifOrientationFromApp1(reinterpret_cast<const uint8_t*>(good.constData()), size_t(n));
        EXPECT_TRUE(o == 1 || o == 6) << n;
    }
    // IFD offset and entry count pointing far outside the block.
    QByteArray bad = good;
    bad[6 + 4] = '\xFF'; bad[6 + 5] = '\xFF'; bad[6 + 6] = '\xFF'; bad[6 + 7] = '\x7F';
    EXPECT_EQ(exifOrientationFromApp1(reinterpret_cast<const uint8_t*>(bad.constData()), size_t(bad.size())), 1);
    bad = good;
    bad[6 + 8] = '\xFF'; bad[6 + 9] = '\xFF';
    EXPECT_EQ(exifOrientationFromApp1(reinterpret_cast<const uint8_t*>(bad.constData()), size_t(bad.size())), 6);
    bad = good;
    bad[6 + 18] = 9;  // orientation out of range
    EXPECT_EQ(exifOrientationFromApp1(reinterpret_cast<const uint8_t*>(bad.constData()), size_t(bad.size())), 1);
    EXPECT_EQ(exifOrientation(nullptr, 0), 1);
}

TEST(Jpeg, DamagedAndTruncatedHeadersAreRefused) {
    // Cuts inside the data load partly (test_partial_loads.cpp); inside the header they are refused.
    const QByteArray valid = encoded(makeTestPicture(40, 30, 24));
    const int scan = int(valid.indexOf(QByteArray("\xFF\xDA", 2)));
    ASSERT_GT(scan, 100);
    for (const auto& c : testsupport::truncations(valid, {3, 20, 100, scan / 2, scan})) {
        Decoded d;
        Error err = Error::None;
        EXPECT_FALSE(decode(c.bytes, d, err)) << c.name.toStdString();
        EXPECT_NE(err, Error::None);
        EXPECT_TRUE(d.picture.isNull());
    }
    // Garbage after the start marker.
    QByteArray junk = valid.left(4) + QByteArray(200, '\x55');
    Decoded d;
    Error err;
    EXPECT_FALSE(decode(junk, d, err));
}

TEST(Jpeg, HugeDeclaredSizeIsTooLargeBeforeDecoding) {
    QByteArray jpeg = encoded(makeTestPicture(8, 8, 24));
    const int sof = int(jpeg.indexOf(QByteArray("\xFF\xC0", 2)));
    ASSERT_GT(sof, 0);
    // SOF0: length(2) precision(1) height(2) width(2)
    // 32768 x 32768 (libjpeg itself refuses sides over 65500).
    jpeg[sof + 5] = '\x80'; jpeg[sof + 6] = '\x00';
    jpeg[sof + 7] = '\x80'; jpeg[sof + 8] = '\x00';
    Decoded d;
    Error err;
    EXPECT_FALSE(decode(jpeg, d, err));
    EXPECT_EQ(err, Error::TooLarge);
}

namespace {

// A 16 x 16 file written by libjpeg directly, every row the given samples:
// the layouts our own encoder never writes (progressive, CMYK).
QByteArray libjpegFile(int components, J_COLOR_SPACE space, bool progressive, std::vector<unsigned char> row) {
    jpeg_compress_struct c;
    jpeg_error_mgr e;
    c.err = jpeg_std_error(&e);
    jpeg_create_compress(&c);
    unsigned char* buf = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &buf, &size);
    c.image_width = 16;
    c.image_height = 16;
    c.input_components = components;
    c.in_color_space = space;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 100, TRUE);
    if (progressive)
        jpeg_simple_progression(&c);
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < c.image_height) {
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&c, &r, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    QByteArray bytes(reinterpret_cast<const char*>(buf), qsizetype(size));
    free(buf);
    return bytes;
}

}  // namespace

TEST(Jpeg, HugeProgressiveFileIsRefusedBeforeItsCoefficientsAreAllocated) {
    // A small progressive grey file, written by libjpeg directly.
    QByteArray jpeg = libjpegFile(1, JCS_GRAYSCALE, true, std::vector<unsigned char>(16, 128));
    Decoded d;
    Error err;
    ASSERT_TRUE(decode(jpeg, d, err));
    EXPECT_EQ(depthCode(d.picture), 80);
    // 30000 x 30000 grey fits the picture limit (900 MB) but its coefficients
    // would need 1.8 GB before a single scan is read.
    const int sof = int(jpeg.indexOf(QByteArray("\xFF\xC2", 2)));
    ASSERT_GT(sof, 0);
    jpeg[sof + 5] = char(30000 >> 8); jpeg[sof + 6] = char(30000 & 255);
    jpeg[sof + 7] = char(30000 >> 8); jpeg[sof + 8] = char(30000 & 255);
    EXPECT_FALSE(decode(jpeg, d, err));
    EXPECT_EQ(err, Error::TooLarge);
}

TEST(Jpeg, AdobeCmykFilesLoadAsColour) {
    // Adobe's convention stores the inks inverted: 255 is no ink.
    std::vector<unsigned char> row(16 * 4);
    for (int x = 0; x < 16; ++x) {
        const bool left = x < 8;
        const unsigned char ink = left ? 0 : 255, black = left ? 255 : 128;
        const unsigned char cmyk[4] = {255, ink, ink, black};
        memcpy(row.data() + x * 4, cmyk, 4);  // left red, right half-strength grey
    }
    const QByteArray jpeg = libjpegFile(4, JCS_CMYK, false, row);
    Decoded d;
    Error err;
    ASSERT_TRUE(decode(jpeg, d, err));
    EXPECT_EQ(d.picture.bits, 24);
    EXPECT_TRUE(near(d.picture.image.pixel(2, 8), qRgb(255, 0, 0)));
    EXPECT_TRUE(near(d.picture.image.pixel(13, 8), qRgb(128, 128, 128)));
}

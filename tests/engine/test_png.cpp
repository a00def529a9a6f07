#include "engine/codecs/codecs.h"
#include "support/lib_codec_test_support.h"
#include "support/test_support.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csetjmp>
#include <png.h>

using namespace engine;
using namespace engine::codecs;
using testsupport::be32;
using testsupport::makeTestPicture;
using testsupport::pngChunk;

namespace {

const int kWidths[] = {1, 3, 7, 9, 33};

// libpng's own reading of a file as 8-bit RGB (palette and grey expanded,
// 16 bits scaled, alpha dropped), the reference our decodes must agree with.
struct LibpngRgb {
    int width = 0, height = 0;
    std::vector<uchar> rgb;
};

struct MemReader {
    const QByteArray* data;
    size_t pos;
};

extern "C" void refRead(png_structp png, png_bytep out, size_t n) {
    auto* r = static_cast<MemReader*>(png_get_io_ptr(png));
    if (n > size_t(r->data->size()) - r->pos)
        png_error(png, "eof");
    memcpy(out, r->data->constData() + r->pos, n);
    r->pos += n;
}

extern "C" void refSilent(png_structp, png_const_charp) {}

bool libpngReference(const QByteArray& data, LibpngRgb& out) {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, refSilent);
    png_infop info = png_create_info_struct(png);
    MemReader reader{&data, 0};
    std::vector<png_bytep> rows;
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    png_set_read_fn(png, &reader, refRead);
    png_read_info(png, info);
    png_set_expand(png);
    png_set_scale_16(png);
    png_set_gray_to_rgb(png);
    png_set_strip_alpha(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    out.width = int(png_get_image_width(png, info));
    out.height = int(png_get_image_height(png, info));
    out.rgb.assign(size_t(out.width) * size_t(out.height) * 3, 0);
    for (int y = 0; y < out.height; ++y)
        rows.push_back(out.rgb.data() + size_t(y) * size_t(out.width) * 3);
    png_read_image(png, rows.data());
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

}  // namespace

TEST(Png, EveryDepthRoundTripsExactly) {
    for (int w : kWidths) {
        for (int code : {1, 4, 40, 8, 80, 24, 32}) {
            const Picture pic = makeTestPicture(w, 6, code, unsigned(w * 100 + code));
            Decoded back;
            ASSERT_EQ(testsupport::roundTrip(Png, pic, back), Error::None) << w << " " << code;
            QString why;
            EXPECT_TRUE(testsupport::samePixels(pic, back.picture, &why)) << w << " " << code << " " << why.toStdString();
            EXPECT_EQ(depthCode(back.picture), code) << w;
            EXPECT_EQ(back.picture.image.colorTable(), pic.image.colorTable()) << w << " " << code;
            EXPECT_EQ(back.picture.image.format(), pic.image.format());
        }
    }
}

TEST(Png, ShortPalettesAndGreyPalettesKeepTheirEntries) {
    // A 4-bit picture with five colours, and an 8-bit one with a grey table
    // that is not the plain ramp: both come back with the same table.
    Picture four = makeTestPicture(9, 9, 4);
    QList<QRgb> five = four.image.colorTable().mid(0, 5);
    four.image.setColorTable(five);
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 9; ++x)
            four.image.setPixel(x, y, uint((x + y) % 5));
    Decoded back;
    ASSERT_EQ(testsupport::roundTrip(Png, four, back), Error::None);
    EXPECT_TRUE(testsupport::samePixels(four, back.picture));
    EXPECT_EQ(back.picture.image.colorTable(), five);

    Picture grey = makeTestPicture(9, 9, 80);
    QList<QRgb> reversed = grayTable(256);
    std::reverse(reversed.begin(), reversed.end());
    grey.image.setColorTable(reversed);
    ASSERT_EQ(testsupport::roundTrip(Png, grey, back), Error::None);
    EXPECT_TRUE(testsupport::samePixels(grey, back.picture));
    EXPECT_EQ(depthCode(back.picture), 80);
}

TEST(Png, SixteenBitPicturesAreRefused) {
    QByteArray bytes;
    Error err;
    EXPECT_FALSE(encode(Png, makeTestPicture(5, 5, 16), EncodeOptions(), bytes, err));
    EXPECT_EQ(err, Error::Unsupported);
}

TEST(Png, CommentsUseTextForLatin1AndInternationalTextOtherwise) {
    QByteArray bytes;
    Error err;
    EncodeOptions opt;
    opt.comment = QStringLiteral("café au lait");
    ASSERT_TRUE(encode(Png, makeTestPicture(4, 4, 24), opt, bytes, err));
    EXPECT_TRUE(bytes.contains("tEXtComment"));
    Decoded d;
    ASSERT_TRUE(decode(bytes, d, err));
    EXPECT_EQ(d.comment, opt.comment);

    opt.comment = QStringLiteral("夕焼けの写真\n二行目");
    ASSERT_TRUE(encode(Png, makeTestPicture(4, 4, 8), opt, bytes, err));
    EXPECT_TRUE(bytes.contains("iTXtComment"));
    ASSERT_TRUE(decode(bytes, d, err));
    EXPECT_EQ(d.comment, opt.comment);

    opt.comment.clear();
    ASSERT_TRUE(encode(Png, makeTestPicture(4, 4, 8), opt, bytes, err));
    EXPECT_FALSE(bytes.contains("Comment"));
}

TEST(Png, SuiteAgreesWithLibpngAndKeepsTrueDepths) {
    const QString dir = testsupport::corpusFolder(QStringLiteral("png/pngsuite"));
    if (dir.isEmpty())
        GTEST_SKIP() << "corpus png/pngsuite is absent";
    int checked = 0;
    for (const QString& name : QDir(dir).entryList({QStringLiteral("*.png")}, QDir::Files)) {
        const QByteArray data = testsupport::readAll(QDir(dir).filePath(name));
        Decoded d;
        Error err = Error::None;
        const bool ok = decode(data, d, err);
        if (name.startsWith(QLatin1Char('x'))) {
            EXPECT_FALSE(ok) << name.toStdString() << " is corrupt and must be refused";
            continue;
        }
        ASSERT_TRUE(ok) << name.toStdString() << " error " << int(err);
        LibpngRgb ref;
        ASSERT_TRUE(libpngReference(data, ref)) << name.toStdString();
        ASSERT_EQ(d.picture.width(), ref.width);
        ASSERT_EQ(d.picture.height(), ref.height);
        bool same = true;
        for (int y = 0; y < ref.height && same; ++y)
            for (int x = 0; x < ref.width && same; ++x) {
                const uchar* p = ref.rgb.data() + (size_t(y) * size_t(ref.width) + size_t(x)) * 3;
                const QRgb c = d.picture.image.pixel(x, y);
                if (qRed(c) != p[0] || qGreen(c) != p[1] || qBlue(c) != p[2]) {
                    ADD_FAILURE() << name.toStdString() << " differs at " << x << "," << y;
                    same = false;
                }
            }
        ++checked;
    }
    EXPECT_GT(checked, 100);

    struct Expect { const char* file; int code; };
    const Expect depths[] = {{"basn0g01.png", 1},  {"basn0g02.png", 40}, {"basn0g04.png", 40},
                             {"basn0g08.png", 80}, {"basn0g16.png", 80}, {"basn3p01.png", 1},
                             {"basn3p02.png", 4},  {"basn3p04.png", 4},  {"basn3p08.png", 8},
                             {"basn2c08.png", 24}, {"basn2c16.png", 24}, {"basn4a08.png", 32},
                             {"basn6a08.png", 32}, {"basn6a16.png", 32}, {"basi3p02.png", 4}};
    for (const Expect& e : depths) {
        Decoded d;
        Error err;
        ASSERT_TRUE(decodeFile(QDir(dir).filePath(QString::fromLatin1(e.file)), d, err)) << e.file;
        EXPECT_EQ(depthCode(d.picture), e.code) << e.file;
        // And each saves and reloads at the same depth code.
        Decoded again;
        ASSERT_EQ(testsupport::roundTrip(Png, d.picture, again), Error::None) << e.file;
        EXPECT_TRUE(testsupport::samePixels(d.picture, again.picture)) << e.file;
        EXPECT_EQ(depthCode(again.picture), e.code) << e.file;
    }
}

TEST(Png, DamagedTruncatedAndHugeFilesAreRefused) {
    QByteArray valid;
    Error err;
    ASSERT_TRUE(encode(Png, makeTestPicture(64, 40, 24), EncodeOptions(), valid, err));
    // Cuts inside the image data load partly (test_partial_loads.cpp); before it they are refused.
    for (const auto& c : testsupport::truncations(valid, {8, 20, 40, int(valid.indexOf("IDAT")) - 4})) {
        Decoded d;
        err = Error::None;
        EXPECT_FALSE(decode(c.bytes, d, err)) << c.name.toStdString();
        EXPECT_NE(err, Error::None);
    }
    // A flipped byte in the image data breaks its checksum.
    QByteArray flipped = valid;
    flipped[int(valid.indexOf("IDAT")) + 10] ^= 0x5A;
    Decoded d;
    EXPECT_FALSE(decode(flipped, d, err));

    // 65535 x 65535 RGBA with a correct checksum: refused before any allocation.
    QByteArray ihdr = be32(65535) + be32(65535) + QByteArray("\x08\x06\x00\x00\x00", 5);
    const QByteArray huge = QByteArray("\x89PNG\r\n\x1A\n", 8) + pngChunk("IHDR", ihdr) + pngChunk("IDAT", QByteArray(16, 0)) +
                            pngChunk("IEND", QByteArray());
    EXPECT_FALSE(decode(huge, d, err));
    EXPECT_EQ(err, Error::TooLarge);
}

TEST(Png, FormatIsFoundByContentNotByName) {
    QTemporaryDir tmp;
    const QString path = tmp.filePath(QStringLiteral("really-a-png.jpg"));
    Error err;
    const Picture pic = makeTestPicture(7, 5, 4);
    ASSERT_TRUE(saveFile(path, Png, pic, EncodeOptions(), err));
    Decoded d;
    ASSERT_TRUE(decodeFile(path, d, err));
    EXPECT_TRUE(testsupport::samePixels(pic, d.picture));
    FileInfo info;
    ASSERT_TRUE(readFileInfo(path, info, err));
    EXPECT_EQ(info.format, Png);
    EXPECT_EQ(info.bits, 4);
}

TEST(Png, CompressedCommentChunkIsRead) {
    QByteArray png;
    Error err;
    ASSERT_TRUE(encode(Png, makeTestPicture(4, 4, 24), EncodeOptions(), png, err));
    const QByteArray text = QByteArray("Stra\xDF" "e, compressed");  // Latin-1
    const QByteArray body = QByteArray("Comment\0\0", 9) + qCompress(text).mid(4);  // keyword, method 0, zlib stream
    const int iend = int(png.indexOf("IEND")) - 4;
    png.insert(iend, pngChunk("zTXt", body));
    Decoded d;
    ASSERT_TRUE(decode(png, d, err));
    EXPECT_EQ(d.comment, QString::fromLatin1(text));
}

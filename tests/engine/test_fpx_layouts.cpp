// Channel layouts and tile kinds other writers use and our writer does not:
// opacity bands, PhotoYCC, uncompressed and single-colour tiles, clipped edge
// tiles, four-channel JPEG tiles. The files are assembled here tile by tile.
#include "engine/codecs/codecs.h"
#include "engine/codecs/fpx_format.h"
#include "engine/codecs/fpx_ole.h"
#include "engine/codecs/fpx_property_set.h"

#include <gtest/gtest.h>

#include <csetjmp>
#include <cstdio>
#include <functional>

#include <jpeglib.h>

using namespace engine;
using namespace engine::codecs;
using namespace engine::codecs::fpx;

namespace {

void put32(QByteArray& b, quint32 v) {
    for (int i = 0; i < 4; ++i)
        b.append(char(v >> (8 * i)));
}

struct Tile {
    quint32 type = kUncompressed;
    quint32 subtype = 0;
    QByteArray data;
};

// One image object with a single resolution level.
QByteArray buildFile(int width, int height, const QList<quint32>& codes, const std::vector<Tile>& tiles,
                     const QByteArray& jpegTables = QByteArray()) {
    QByteArray header(kStreamPrefix, '\0'), data(kStreamPrefix, '\0');
    header[0] = char(0xFE);
    header[1] = char(0xFF);
    data[0] = char(0xFE);
    data[1] = char(0xFF);
    put32(header, kHeaderFields);
    put32(header, quint32(width));
    put32(header, quint32(height));
    put32(header, quint32(tiles.size()));
    put32(header, 64);
    put32(header, 64);
    put32(header, quint32(codes.size()));
    put32(header, kHeaderFields);
    put32(header, kTileEntry);
    for (const Tile& t : tiles) {
        put32(header, quint32(data.size() - kStreamPrefix));
        put32(header, quint32(t.data.size()));
        put32(header, t.type);
        put32(header, t.subtype);
        data.append(t.data);
    }
    QByteArray colour;
    put32(colour, 1);
    put32(colour, quint32(codes.size()));
    for (quint32 c : codes)
        put32(colour, c);
    std::map<uint32_t, PropValue> props;
    props[kPidNumResolutions] = PropValue::ui4(1);
    props[kPidHighestWidth] = PropValue::ui4(quint32(width));
    props[kPidHighestHeight] = PropValue::ui4(quint32(height));
    props[subimagePid(0, kSubWidth)] = PropValue::ui4(quint32(width));
    props[subimagePid(0, kSubHeight)] = PropValue::ui4(quint32(height));
    props[subimagePid(0, kSubColor)] = PropValue::blob(colour);
    if (!jpegTables.isEmpty())
        props[jpegTablePid(3)] = PropValue::blob(jpegTables);

    OleWriter ole;
    ole.setRootClassId(viewClsid());
    const QStringList object = ole.addStorage({}, imageObjectName(1), imageObjectClsid());
    ole.addStream(object, propertyStreamName("Image Contents"),
                  buildPropertySet(imageContentsFmtid(), imageContentsFmtid(), props));
    const QStringList res = ole.addStorage(object, resolutionName(0), resolutionClsid());
    ole.addStream(res, QLatin1String(kSubimageHeader), header);
    ole.addStream(res, QLatin1String(kSubimageData), data);
    QByteArray bytes;
    EXPECT_TRUE(ole.finish(bytes));
    return bytes;
}

// A whole uncompressed tile from a per-pixel function giving each channel.
Tile uncompressed(int channels, int x0, int y0, const std::function<int(int x, int y, int c)>& f, int w = 64,
                  int h = 64) {
    Tile t;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < channels; ++c)
                t.data.append(char(f(x0 + x, y0 + y, c)));
    return t;
}

Decoded decodeOk(const QByteArray& bytes) {
    Decoded d;
    Error err = Error::None;
    EXPECT_TRUE(decode(bytes, d, err)) << int(err);
    return d;
}

}  // namespace

TEST(FpxLayouts, RgbWithOpacityDropsTheOpacity) {
    const auto px = [](int x, int y, int c) { return c == 3 ? 17 : (x * 3 + y * 5 + c * 70) & 255; };
    const QList<quint32> codes = {colorCode(kNifRgb, 0), colorCode(kNifRgb, 1), colorCode(kNifRgb, 2),
                                  colorCode(kNifRgb, kChannelOpacity)};
    const Decoded d = decodeOk(buildFile(70, 46, codes, {uncompressed(4, 0, 0, px), uncompressed(4, 64, 0, px)}));
    ASSERT_EQ(d.picture.image.size(), QSize(70, 46));
    EXPECT_EQ(depthCode(d.picture), 24);
    for (int y = 0; y < 46; ++y)
        for (int x = 0; x < 70; ++x)
            ASSERT_EQ(d.picture.image.pixel(x, y), qRgb(px(x, y, 0), px(x, y, 1), px(x, y, 2))) << x << "," << y;
}

TEST(FpxLayouts, OpacityBeforeMonochrome) {
    const auto px = [](int x, int y, int c) { return c == 0 ? 255 : (x + 2 * y) & 255; };
    const Decoded d = decodeOk(buildFile(
        40, 30, {colorCode(kMonochrome, kChannelOpacity), kUncalibrated | colorCode(kMonochrome, 0)},
        {uncompressed(2, 0, 0, px)}));
    EXPECT_EQ(depthCode(d.picture), 80);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x)
            ASSERT_EQ(d.picture.image.pixelIndex(x, y), px(x, y, 1));
}

TEST(FpxLayouts, PhotoYccConvertsToRgb) {
    // Black, white, and the neutral chroma point at mid grey; a saturated red.
    const int samples[4][3] = {{0, 156, 137}, {188, 156, 137}, {94, 156, 137}, {60, 120, 220}};
    const auto px = [&](int x, int, int c) { return samples[std::min(x, 3)][c]; };
    const Decoded d = decodeOk(buildFile(4, 1,
                                         {colorCode(kPhotoYcc, 0), colorCode(kPhotoYcc, 1), colorCode(kPhotoYcc, 2)},
                                         {uncompressed(3, 0, 0, px)}));
    ASSERT_EQ(d.picture.image.size(), QSize(4, 1));
    EXPECT_EQ(d.picture.image.pixel(0, 0), qRgb(0, 0, 0));
    EXPECT_EQ(d.picture.image.pixel(1, 0), qRgb(255, 255, 255));
    EXPECT_EQ(d.picture.image.pixel(2, 0), qRgb(128, 128, 128));
    const QRgb red = d.picture.image.pixel(3, 0);
    // L = 1.3584*60 = 81.5; R = L + 1.8215*83 = 232.7; G = L + 0.4303*36 - 0.9271*83 = 20.0;
    // B = L - 2.2179*36 = 1.7
    EXPECT_NEAR(qRed(red), 233, 1);
    EXPECT_NEAR(qGreen(red), 20, 1);
    EXPECT_NEAR(qBlue(red), 2, 1);
}

TEST(FpxLayouts, SingleColourTilesAndClippedEdgeTiles) {
    // Tile 0: one colour, the first channel in the highest byte of the subtype.
    Tile fill;
    fill.type = kSingleColor;
    fill.subtype = 0x10203000;
    // Tile 1: an edge tile stored clipped to the picture (6 x 20) rather than whole.
    const auto px = [](int x, int y, int c) { return (x * 11 + y * 7 + c * 40) & 255; };
    Tile edge = uncompressed(3, 64, 0, px, 6, 20);
    const QList<quint32> rgb = {colorCode(kNifRgb, 0), colorCode(kNifRgb, 1), colorCode(kNifRgb, 2)};
    const Decoded d = decodeOk(buildFile(70, 20, rgb, {fill, edge}));
    for (int y = 0; y < 20; ++y) {
        for (int x = 0; x < 64; ++x)
            ASSERT_EQ(d.picture.image.pixel(x, y), qRgb(0x10, 0x20, 0x30));
        for (int x = 64; x < 70; ++x)
            ASSERT_EQ(d.picture.image.pixel(x, y), qRgb(px(x, y, 0), px(x, y, 1), px(x, y, 2)));
    }
    // A tile shorter than even the clipped area is damage.
    edge.data.chop(1);
    Decoded bad;
    Error err = Error::None;
    EXPECT_FALSE(decode(buildFile(70, 20, rgb, {fill, edge}), bad, err));
    EXPECT_EQ(err, Error::Damaged);
}

namespace {

struct JpegErrors {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

// A four-component JPEG of 64 x 64 stored without colour conversion; tables
// separately when `tables` is given.
bool fourChannelJpeg(const std::function<int(int x, int y, int c)>& f, QByteArray& tile, QByteArray* tables) {
    std::vector<uint8_t> pixels(64 * 64 * 4);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            for (int c = 0; c < 4; ++c)
                pixels[size_t((y * 64 + x) * 4 + c)] = uint8_t(f(x, y, c));
    jpeg_compress_struct cinfo;
    JpegErrors jerr;
    cinfo.err = jpeg_std_error(&jerr.pub);
    jerr.pub.error_exit = [](j_common_ptr c) { std::longjmp(reinterpret_cast<JpegErrors*>(c->err)->jump, 1); };
    unsigned char* buf = nullptr;
    unsigned long size = 0;
    if (setjmp(jerr.jump)) {
        jpeg_destroy_compress(&cinfo);
        return false;
    }
    jpeg_create_compress(&cinfo);
    cinfo.image_width = 64;
    cinfo.image_height = 64;
    cinfo.input_components = 4;
    cinfo.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&cinfo);
    jpeg_set_colorspace(&cinfo, JCS_CMYK);  // four components stored as given
    jpeg_set_quality(&cinfo, 95, TRUE);
    cinfo.write_Adobe_marker = FALSE;
    if (tables) {
        jpeg_mem_dest(&cinfo, &buf, &size);
        jpeg_write_tables(&cinfo);
        *tables = QByteArray(reinterpret_cast<char*>(buf), qsizetype(size));
        free(buf);
        buf = nullptr;
        size = 0;
    }
    jpeg_mem_dest(&cinfo, &buf, &size);
    jpeg_start_compress(&cinfo, tables ? FALSE : TRUE);
    while (cinfo.next_scanline < 64) {
        JSAMPROW row = pixels.data() + cinfo.next_scanline * 64 * 4;
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    tile = QByteArray(reinterpret_cast<char*>(buf), qsizetype(size));
    free(buf);
    jpeg_destroy_compress(&cinfo);
    return true;
}

}  // namespace

TEST(FpxLayouts, FourChannelJpegTilesWithSharedTables) {
    // RGB plus opacity, no internal conversion; tables through selector 3.
    const auto px = [](int x, int y, int c) { return c == 3 ? 200 : 40 + c * 50 + x + y; };
    QByteArray tile, tables;
    ASSERT_TRUE(fourChannelJpeg(px, tile, &tables));
    Tile t;
    t.type = kJpeg;
    t.subtype = jpegSubtype(0x11, false, 3);
    t.data = tile;
    const QList<quint32> codes = {colorCode(kNifRgb, 0), colorCode(kNifRgb, 1), colorCode(kNifRgb, 2),
                                  colorCode(kNifRgb, kChannelOpacity)};
    const Decoded d = decodeOk(buildFile(50, 60, codes, {t}, tables));
    ASSERT_EQ(d.picture.image.size(), QSize(50, 60));
    for (int y = 0; y < 60; y += 7)
        for (int x = 0; x < 50; x += 7) {
            const QRgb p = d.picture.image.pixel(x, y);
            EXPECT_NEAR(qRed(p), px(x, y, 0), 4);
            EXPECT_NEAR(qGreen(p), px(x, y, 1), 4);
            EXPECT_NEAR(qBlue(p), px(x, y, 2), 4);
        }
    // The same tile pointing at a table that is not there.
    t.subtype = jpegSubtype(0x11, false, 9);
    Decoded bad;
    Error err = Error::None;
    EXPECT_FALSE(decode(buildFile(50, 60, codes, {t}, tables), bad, err));
    EXPECT_EQ(err, Error::Damaged);
}

// Small hand-built files that declare huge pictures (decoding bombs): each is
// refused as damaged before the decoder allocates the picture, while legal
// files compressed as far as their format allows still load.
#include "engine/codecs/codecs.h"
#include "support/lib_codec_test_support.h"
#include "support/test_support.h"

#include <QtEndian>

#include <gtest/gtest.h>

using namespace engine;
using namespace engine::codecs;
using testsupport::be32;
using testsupport::pngChunk;

namespace {

QByteArray le16(quint16 v) {
    QByteArray b(2, '\0');
    qToLittleEndian(v, b.data());
    return b;
}

QByteArray le32(quint32 v) {
    QByteArray b(4, '\0');
    qToLittleEndian(v, b.data());
    return b;
}

// A zlib stream (what PNG and TIFF's deflate hold): Qt's own with its size
// prefix dropped.
QByteArray deflate(const QByteArray& raw) { return qCompress(raw, 9).mid(4); }

// An 8-bit PNG of the given colour type whose image data is the deflated raw
// bytes given (filter bytes included).
QByteArray png(quint32 w, quint32 h, int colorType, const QByteArray& raw) {
    QByteArray ihdr = be32(w) + be32(h);
    ihdr += char(8);
    ihdr += char(colorType);
    ihdr += QByteArray(3, '\0');
    return QByteArray("\x89PNG\r\n\x1A\n", 8) + pngChunk("IHDR", ihdr) + pngChunk("IDAT", deflate(raw)) +
           pngChunk("IEND", QByteArray());
}

// A GIF with a two-colour global map and the given frames; every frame's data
// is one LZW sub-block (clear, one pixel, end).
struct GifFrame {
    quint16 x, y, w, h;
    bool localMap;
};
QByteArray gif(quint16 sw, quint16 sh, const QList<GifFrame>& frames) {
    QByteArray d("GIF89a");
    d += le16(sw) + le16(sh);
    d += QByteArray("\x80\x00\x00\x00\x00\x00\xFF\xFF\xFF", 9);
    for (const GifFrame& f : frames) {
        d += ',';
        d += le16(f.x) + le16(f.y) + le16(f.w) + le16(f.h);
        d += char(f.localMap ? 0x80 : 0);
        if (f.localMap)
            d += QByteArray("\x10\x20\x30\x40\x50\x60", 6);
        d += QByteArray("\x02\x02\x44\x01\x00", 5);
    }
    d += ';';
    return d;
}

// A colour JPEG header (one quantisation table, one DC Huffman table) and a
// first scan of 64 zero bytes, then the end marker.
QByteArray jpegHeader(quint16 w, quint16 h, uchar sof) {
    QByteArray d("\xFF\xD8", 2);
    d += QByteArray("\xFF\xDB\x00\x43\x00", 5) + QByteArray(64, '\x01');
    d += QByteArray("\xFF", 1) + char(sof) + QByteArray("\x00\x11\x08", 3);
    d += char(h >> 8);
    d += char(h & 0xFF);
    d += char(w >> 8);
    d += char(w & 0xFF);
    d += QByteArray("\x03\x01\x11\x00\x02\x11\x00\x03\x11\x00", 10);
    d += QByteArray("\xFF\xC4\x00\x14\x00\x01", 6) + QByteArray(15, '\0') + QByteArray(1, '\0');
    d += QByteArray("\xFF\xDA\x00\x0C\x03\x01\x00\x02\x00\x03\x00\x00\x00\x00", 14);
    d += QByteArray(64, '\0') + QByteArray("\xFF\xD9", 2);
    return d;
}

// A little-endian TIFF of one strip: width, height, 8-bit samples, the given
// compression, photometric and samples per pixel, the strip's byte count as
// declared and the strip data following the header.
QByteArray tiff(quint32 w, quint32 h, int compression, int photometric, int spp, quint32 declaredBytes,
                const QByteArray& strip) {
    struct Entry {
        quint16 tag, type;
        quint32 value;
    };
    const int n = 9;
    const quint32 stripOffset = 8 + 2 + n * 12 + 4;
    const QList<Entry> entries = {
        {256, 4, w},           {257, 4, h}, {258, 3, 8}, {259, 3, quint32(compression)}, {262, 3, quint32(photometric)},
        {273, 4, stripOffset}, {277, 3, quint32(spp)},   {278, 4, h}, {279, 4, declaredBytes},
    };
    QByteArray d("II*\0", 4);
    d += le32(8) + le16(quint16(n));
    for (const Entry& e : entries)
        d += le16(e.tag) + le16(e.type) + le32(1) + (e.type == 4 ? le32(e.value) : le16(quint16(e.value)) + le16(0));
    d += le32(0);
    return d + strip;
}

void expectDamaged(const QByteArray& file) {
    Decoded out;
    Error err = Error::None;
    EXPECT_FALSE(decode(file, out, err));
    EXPECT_EQ(err, Error::Damaged);
    EXPECT_TRUE(out.picture.isNull());
}

}  // namespace

TEST(DecoderBombs, PngDeclaringAGibibyteWithAHundredBytesOfData) {
    expectDamaged(png(16384, 16384, 6, QByteArray(100, '\0')));  // RGBA: 1 GiB of pixels
    expectDamaged(png(16384, 16384, 2, QByteArray(100, '\0')));
}

TEST(DecoderBombs, PngCompressedAsFarAsDeflateGoesStillLoads) {
    // Zeros deflate close to the format's limit of 1032 to 1.
    const int w = 2048, h = 2048;
    Decoded out;
    Error err = Error::None;
    ASSERT_TRUE(decode(png(w, h, 0, QByteArray(qsizetype(h) * (w + 1), '\0')), out, err)) << int(err);
    EXPECT_EQ(out.picture.width(), w);
    EXPECT_EQ(out.picture.bits, 8);
}

TEST(DecoderBombs, GifScreenOrFrameNoDataCouldFill) {
    expectDamaged(gif(65535, 16384, {{0, 0, 1, 1, false}}));                     // 1 GiB screen, 1 pixel drawn
    expectDamaged(gif(32768, 32768, {{0, 0, 1, 1, false}, {1, 1, 1, 1, true}}));  // local map: colour screen
    expectDamaged(gif(4, 4, {{0, 0, 65535, 16384, false}}));                     // frame of 1 G pixels
}

TEST(DecoderBombs, GifLargeFlatScreenWithLocalMapStillLoads) {
    // 4,600 x 4,000 is past the size always allowed; the single-colour frames
    // compress well but within what LZW can do.
    const int w = 4600, h = 4000;
    QImage img(w, h, QImage::Format_Indexed8);
    img.setColorTable({qRgb(0, 0, 0), qRgb(200, 10, 10)});
    img.fill(1);
    Picture pic = makePicture(img, 8);
    QByteArray bytes;
    Error err = Error::None;
    ASSERT_TRUE(encode(Gif, pic, EncodeOptions(), bytes, err));
    Decoded out;
    ASSERT_TRUE(decode(bytes, out, err)) << int(err);
    EXPECT_EQ(out.picture.width(), w);
    EXPECT_EQ(out.picture.image.pixel(w - 1, h - 1), qRgb(200, 10, 10));
}

TEST(DecoderBombs, JpegDeclaringHundredsOfMegapixelsInAFewBytes) {
    expectDamaged(jpegHeader(16384, 16384, 0xC2));  // progressive
    expectDamaged(jpegHeader(16384, 16384, 0xC0));  // baseline
}

TEST(DecoderBombs, JpegOfOneFlatColourStillLoads) {
    QImage img(3000, 2000, QImage::Format_BGR888);
    img.fill(qRgb(90, 120, 200));
    QByteArray bytes;
    Error err = Error::None;
    ASSERT_TRUE(encode(Jpeg, makePicture(img, 24), EncodeOptions(), bytes, err));
    Decoded out;
    ASSERT_TRUE(decode(bytes, out, err)) << int(err);
    EXPECT_EQ(out.picture.width(), 3000);
}

TEST(DecoderBombs, TiffStripsThatCannotHoldThePicture) {
    // Uncompressed RGB whose strip lies past the end of the file.
    expectDamaged(tiff(16384, 16384, 1, 2, 3, 16384u * 16384u * 3u, QByteArray()));
    // CMYK (read through the RGBA route) with a few hundred deflated bytes.
    const QByteArray cmyk = deflate(QByteArray(8192 * 4 * 16, '\0'));
    expectDamaged(tiff(8192, 8192, 8, 5, 4, quint32(cmyk.size()), cmyk));
}

TEST(DecoderBombs, TiffWithItsDataPresentStillLoads) {
    // Uncompressed grey, the strip whole; and one cut by a few bytes of padding.
    const QByteArray strip(300 * 200, '\x40');
    Decoded out;
    Error err = Error::None;
    ASSERT_TRUE(decode(tiff(300, 200, 1, 1, 1, quint32(strip.size()), strip), out, err)) << int(err);
    EXPECT_EQ(out.picture.width(), 300);
    const QByteArray deflated = deflate(QByteArray(2000 * 2000 * 3, '\x7F'));
    ASSERT_TRUE(decode(tiff(2000, 2000, 8, 2, 3, quint32(deflated.size()), deflated), out, err)) << int(err);
    EXPECT_EQ(out.picture.bits, 24);
}

TEST(DecoderBombs, PngTextChunkClaimingMoreThanTheFileHolds) {
    // A 32 x 32 picture whose iTXt chunk declares 1.6 GB: libpng would
    // allocate that much before finding the file short.
    QByteArray file = png(32, 32, 0, QByteArray(32 * 33, '\0'));
    const int at = file.indexOf("IDAT") - 4;
    file.insert(at, be32(1609039872u) + QByteArray("iTXtTitle\0\0\0", 12) + QByteArray(40, 'x'));
    expectDamaged(file);
}

#include "engine/codecs/codecs.h"
#include "support/codec_test_support.h"
#include "support/lib_codec_test_support.h"
#include "support/test_support.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <tiffio.h>

#include <cstring>
#include <functional>

using namespace engine;
using namespace engine::codecs;
using testsupport::makeTestPicture;

namespace {

const int kWidths[] = {1, 3, 7, 9, 33};

// A PGM/PBM/PPM (P4, P5, P6; 8 or 16 bits) as 0xFFRRGGBB pixels.
QImage readPnm(const QString& path) {
    const QByteArray d = testsupport::readAll(path);
    qsizetype i = 2;
    auto number = [&]() -> int {
        while (i < d.size() && (isspace(uchar(d[i])) || d[i] == '#')) {
            if (d[i] == '#')
                while (i < d.size() && d[i] != '\n')
                    ++i;
            else
                ++i;
        }
        int v = 0;
        while (i < d.size() && isdigit(uchar(d[i])))
            v = v * 10 + (d[i++] - '0');
        return v;
    };
    if (d.size() < 3 || d[0] != 'P')
        return QImage();
    const char kind = d[1];
    const int w = number(), h = number();
    const int maxval = kind == '4' ? 1 : number();
    ++i;  // one white-space byte before the pixels
    QImage img(w, h, QImage::Format_RGB32);
    const uchar* p = reinterpret_cast<const uchar*>(d.constData()) + i;
    const uchar* end = reinterpret_cast<const uchar*>(d.constData()) + d.size();
    const int bytes = maxval > 255 ? 2 : 1;
    auto sample = [&](const uchar*& q) {
        int v = bytes == 2 ? (q[0] << 8 | q[1]) : q[0];
        q += bytes;
        return bytes == 2 ? (v * 255 + 32767) / 65535 : v * 255 / maxval;
    };
    for (int y = 0; y < h; ++y) {
        if (kind == '4') {
            const int rowBytes = (w + 7) / 8;
            if (p + rowBytes > end)
                return QImage();
            for (int x = 0; x < w; ++x)
                img.setPixel(x, y, (p[x >> 3] >> (7 - (x & 7))) & 1 ? qRgb(0, 0, 0) : qRgb(255, 255, 255));
            p += rowBytes;
            continue;
        }
        const int channels = kind == '6' ? 3 : 1;
        if (p + qsizetype(w) * channels * bytes > end)
            return QImage();
        for (int x = 0; x < w; ++x) {
            if (channels == 1) {
                const int v = sample(p);
                img.setPixel(x, y, qRgb(v, v, v));
            } else {
                const int r = sample(p), g = sample(p), b = sample(p);
                img.setPixel(x, y, qRgb(r, g, b));
            }
        }
    }
    return img;
}

// A TIFF written by libtiff itself, for features our own writer never uses.
QByteArray libtiffFile(const std::function<void(TIFF*)>& fill) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("t.tif"));
    TIFF* tif = TIFFOpen(path.toLocal8Bit().constData(), "w");
    fill(tif);
    TIFFClose(tif);
    return testsupport::readAll(path);
}

}  // namespace

TEST(Tiff, EveryDepthRoundTripsExactly) {
    for (int w : kWidths) {
        for (int code : {1, 4, 40, 8, 80, 16, 24, 32}) {
            const Picture pic = makeTestPicture(w, 7, code, unsigned(w * 7 + code));
            Decoded back;
            ASSERT_EQ(testsupport::roundTrip(Tiff, pic, back), Error::None) << w << " " << code;
            QString why;
            EXPECT_TRUE(testsupport::samePixels(pic, back.picture, &why)) << w << " " << code << " " << why.toStdString();
            EXPECT_EQ(back.picture.image.colorTable(), pic.image.colorTable()) << w << " " << code;
            EXPECT_EQ(depthCode(back.picture), code);
        }
    }
}

TEST(Tiff, SixteenBitPicturesAreFiveBitRgbSamples) {
    const Picture pic = makeTestPicture(9, 4, 16);
    QByteArray bytes;
    Error err;
    ASSERT_TRUE(encode(Tiff, pic, EncodeOptions(), bytes, err));
    // libtiff itself sees 3 samples of 5 bits.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("s.tif"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    f.close();
    TIFF* tif = TIFFOpen(path.toLocal8Bit().constData(), "r");
    ASSERT_NE(tif, nullptr);
    uint16_t bps = 0, spp = 0;
    TIFFGetField(tif, TIFFTAG_BITSPERSAMPLE, &bps);
    TIFFGetField(tif, TIFFTAG_SAMPLESPERPIXEL, &spp);
    TIFFClose(tif);
    EXPECT_EQ(bps, 5);
    EXPECT_EQ(spp, 3);
}

TEST(Tiff, GreyTablesInEitherDirectionAndOddPalettes) {
    // White-first ramps are written as min-is-white and come back unchanged;
    // a grey table that is not a ramp is a palette and stays grey.
    for (int code : {1, 40, 80}) {
        Picture pic = makeTestPicture(13, 5, code);
        QList<QRgb> t = pic.image.colorTable();
        std::reverse(t.begin(), t.end());
        pic.image.setColorTable(t);
        Decoded back;
        ASSERT_EQ(testsupport::roundTrip(Tiff, pic, back), Error::None);
        EXPECT_TRUE(testsupport::samePixels(pic, back.picture)) << code;
        EXPECT_EQ(back.picture.image.colorTable(), t);
    }
    Picture grey = makeTestPicture(13, 5, 80);
    QList<QRgb> t = grey.image.colorTable();
    std::swap(t[3], t[200]);
    grey.image.setColorTable(t);
    Decoded back;
    ASSERT_EQ(testsupport::roundTrip(Tiff, grey, back), Error::None);
    EXPECT_TRUE(testsupport::samePixels(grey, back.picture));
    EXPECT_EQ(depthCode(back.picture), 80);
}

TEST(Tiff, DescriptionIsTheComment) {
    const QString text = QStringLiteral("スキャン 300dpi\nsecond line");
    Decoded back;
    ASSERT_EQ(testsupport::roundTrip(Tiff, makeTestPicture(6, 6, 24), back, text), Error::None);
    EXPECT_EQ(back.comment, text);
    ASSERT_EQ(testsupport::roundTrip(Tiff, makeTestPicture(6, 6, 1), back, QString()), Error::None);
    EXPECT_TRUE(back.comment.isEmpty());
}

TEST(Tiff, OrientationTagTurnsThePictureUpright) {
    // A 3 x 2 RGB picture stored with each orientation; shown upright it must be
    // the same picture every time.
    const QRgb px[2][3] = {{qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255)},
                           {qRgb(255, 255, 0), qRgb(0, 255, 255), qRgb(255, 0, 255)}};
    for (int o = 1; o <= 8; ++o) {
        const bool swap = o >= 5;
        const int sw = swap ? 2 : 3, sh = swap ? 3 : 2;
        // Where upright pixel (x, y) is kept in the stored raster for this orientation.
        auto stored = [&](int x, int y) -> QPoint {
            switch (o) {
            case 2: return {2 - x, y};
            case 3: return {2 - x, 1 - y};
            case 4: return {x, 1 - y};
            case 5: return {y, x};
            case 6: return {y, 2 - x};
            case 7: return {1 - y, 2 - x};
            case 8: return {1 - y, x};
            default: return {x, y};
            }
        };
        std::vector<uchar> raster(size_t(sw * sh * 3));
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 3; ++x) {
                const QPoint s = stored(x, y);
                uchar* p = raster.data() + (s.y() * sw + s.x()) * 3;
                p[0] = uchar(qRed(px[y][x])); p[1] = uchar(qGreen(px[y][x])); p[2] = uchar(qBlue(px[y][x]));
            }
        for (bool viaRgba : {false, true}) {
            // CMYK (with no black ink, so exact) only TIFFRGBAImage reads.
            const QByteArray file = libtiffFile([&](TIFF* tif) {
                TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, sw);
                TIFFSetField(tif, TIFFTAG_IMAGELENGTH, sh);
                TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
                TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, viaRgba ? 4 : 3);
                TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, viaRgba ? PHOTOMETRIC_SEPARATED : PHOTOMETRIC_RGB);
                TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
                TIFFSetField(tif, TIFFTAG_ORIENTATION, o);
                for (int y = 0; y < sh; ++y) {
                    std::vector<uchar> row;
                    for (int x = 0; x < sw; ++x)
                        for (int c = 0; c < 3; ++c) {
                            const uchar v = raster[size_t((y * sw + x) * 3 + c)];
                            row.push_back(viaRgba ? uchar(255 - v) : v);
                            if (viaRgba && c == 2)
                                row.push_back(0);
                        }
                    TIFFWriteScanline(tif, row.data(), uint32_t(y), 0);
                }
            });
            Decoded d;
            Error err;
            ASSERT_TRUE(decode(file, d, err)) << o;
            ASSERT_EQ(d.picture.image.size(), QSize(3, 2)) << "orientation " << o;
            for (int y = 0; y < 2; ++y)
                for (int x = 0; x < 3; ++x)
                    EXPECT_EQ(d.picture.image.pixel(x, y), px[y][x]) << "orientation " << o << " rgba " << viaRgba
                                                                     << " at " << x << "," << y;
            // What we write has no orientation tag.
            QByteArray again;
            ASSERT_TRUE(encode(Tiff, d.picture, EncodeOptions(), again, err));
            Decoded d2;
            ASSERT_TRUE(decode(again, d2, err));
            EXPECT_EQ(d2.picture.image.pixel(2, 1), px[1][2]);
        }
    }
}

TEST(Tiff, LibtiffPicturesMatchTheirPnmReferences) {
    const QString dir = testsupport::corpusFolder(QStringLiteral("tiff/libtiff"));
    if (dir.isEmpty())
        GTEST_SKIP() << "corpus tiff/libtiff is absent";
    struct Case { const char* tiff; const char* ref; int code; };
    const Case cases[] = {{"minisblack-1c-8b.tiff", "minisblack-1c-8b.pgm", 80},
                          {"miniswhite-1c-1b.tiff", "miniswhite-1c-1b.pbm", 1},
                          {"rgb-3c-8b.tiff", "rgb-3c-8b.ppm", 24},
                          {"rgb-3c-16b.tiff", "rgb-3c-16b.ppm", 24}};
    for (const Case& c : cases) {
        Decoded d;
        Error err;
        ASSERT_TRUE(decodeFile(dir + QLatin1Char('/') + QLatin1String(c.tiff), d, err)) << c.tiff << " " << int(err);
        const QImage ref = readPnm(dir + QLatin1Char('/') + QLatin1String(c.ref));
        ASSERT_FALSE(ref.isNull()) << c.ref;
        QString why;
        EXPECT_TRUE(testsupport::sameRgb(d.picture.image, ref, &why)) << c.tiff << ": " << why.toStdString();
        EXPECT_EQ(depthCode(d.picture), c.code) << c.tiff;
    }
}

TEST(Tiff, CorpusFilesLoadAtTheirDepthsOrAreRefusedCleanly) {
    const QString dir = testsupport::corpusFolder(QStringLiteral("tiff/libtiff"));
    if (dir.isEmpty())
        GTEST_SKIP() << "corpus tiff/libtiff is absent";
    struct Case { const char* file; int code; };  // 0: must be refused
    const Case cases[] = {
        {"minisblack-1c-16b.tiff", 80}, {"palette-1c-1b.tiff", 1}, {"palette-1c-4b.tiff", 4},
        {"palette-1c-8b.tiff", 8}, {"minisblack-2c-8b-alpha.tiff", 32}, {"lzw-single-strip.tiff", -1},
        {"quad-lzw-compat.tiff", -1}, {"quad-tile.jpg.tiff", 24}, {"ojpeg_zackthecat_subsamp22_single_strip.tiff", 24},
        {"ojpeg_chewey_subsamp21_multi_strip.tiff", 24}, {"ojpeg_single_strip_no_rowsperstrip.tiff", 24},
        {"testfax4.tiff", 1}, {"testfax3_bug54_1dnoEOL.tif", -1}, {"32bpp-None.tiff", -1},
        {"deflate-last-strip-extra-data.tiff", -1}, {"test_ifd_loop_to_self.tif", -1},
        {"test_ifd_loop_to_first.tif", -1}, {"test_ifd_loop_subifd.tif", -1}, {"test_two_ifds.tif", -1},
        {"tiff_with_subifd_chain.tif", -1}, {"custom_dir_EXIF_GPS.tiff", -1}, {"logluv-3c-16b.tiff", -1},
        {"test_float64_predictor2_le_lzw.tif", 0}, {"test_float64_predictor2_be_lzw.tif", 0},
        {"testfax3_bug_513.tiff", -1}, {"32bpp-None-jpeg.tiff", -1}, {"webp_lossless_rgba_alpha_fully_opaque.tif", -1},
    };
    // -1: either outcome is acceptable, but never a crash, a hang or a silent empty picture.
    for (const Case& c : cases) {
        Decoded d;
        Error err = Error::None;
        const bool ok = decodeFile(dir + QLatin1Char('/') + QLatin1String(c.file), d, err);
        if (c.code == 0) {
            EXPECT_FALSE(ok) << c.file;
            EXPECT_NE(err, Error::None) << c.file;
        } else if (c.code > 0) {
            ASSERT_TRUE(ok) << c.file << " error " << int(err);
            EXPECT_EQ(depthCode(d.picture), c.code) << c.file;
        } else {
            EXPECT_EQ(ok, !d.picture.isNull()) << c.file;
            EXPECT_EQ(ok, err == Error::None) << c.file;
        }
    }
}

TEST(Tiff, PlanarTiledAndSixteenBitFilesFromLibtiff) {
    const Picture want = makeTestPicture(37, 21, 24);
    auto sample = [&](int x, int y, int c) {
        const QRgb p = want.image.pixel(x, y);
        return c == 0 ? qRed(p) : c == 1 ? qGreen(p) : qBlue(p);
    };
    auto common = [&](TIFF* tif, int bps) {
        TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, 37);
        TIFFSetField(tif, TIFFTAG_IMAGELENGTH, 21);
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, bps);
        TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3);
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
        TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_DEFLATE);
    };
    // Planar, several strips, 16 bits.
    const QByteArray planar = libtiffFile([&](TIFF* tif) {
        common(tif, 16);
        TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_SEPARATE);
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 4);
        for (int c = 0; c < 3; ++c)
            for (int y = 0; y < 21; ++y) {
                std::vector<uint16_t> row(37);
                for (int x = 0; x < 37; ++x)
                    row[size_t(x)] = uint16_t(sample(x, y, c) * 257);
                TIFFWriteScanline(tif, row.data(), uint32_t(y), uint16_t(c));
            }
    });
    // Contiguous tiles of 16 x 16.
    const QByteArray tiled = libtiffFile([&](TIFF* tif) {
        common(tif, 8);
        TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        TIFFSetField(tif, TIFFTAG_TILEWIDTH, 16);
        TIFFSetField(tif, TIFFTAG_TILELENGTH, 16);
        std::vector<uchar> tile(16 * 16 * 3);
        for (int ty = 0; ty < 21; ty += 16)
            for (int tx = 0; tx < 37; tx += 16) {
                std::fill(tile.begin(), tile.end(), 0);
                for (int y = 0; y < 16 && ty + y < 21; ++y)
                    for (int x = 0; x < 16 && tx + x < 37; ++x)
                        for (int c = 0; c < 3; ++c)
                            tile[size_t((y * 16 + x) * 3 + c)] = uchar(sample(tx + x, ty + y, c));
                TIFFWriteTile(tif, tile.data(), uint32_t(tx), uint32_t(ty), 0, 0);
            }
    });
    for (const QByteArray& file : {planar, tiled}) {
        Decoded d;
        Error err;
        ASSERT_TRUE(decode(file, d, err)) << int(err);
        EXPECT_EQ(d.picture.bits, 24);
        EXPECT_EQ(testsupport::maxChannelDiff(want.image, d.picture.image), 0);
    }
}

TEST(Tiff, DamagedTruncatedAndHugeFilesAreRefused) {
    QByteArray valid;
    Error err;
    ASSERT_TRUE(encode(Tiff, makeTestPicture(80, 60, 24), EncodeOptions(), valid, err));
    for (const auto& c : testsupport::truncations(valid, {4, 8, 100, int(valid.size()) / 2, -30})) {
        Decoded d;
        err = Error::None;
        EXPECT_FALSE(decode(c.bytes, d, err)) << c.name.toStdString();
        EXPECT_NE(err, Error::None);
    }
    // The first directory offset pointing outside the file.
    QByteArray badOffset = valid;
    badOffset[4] = '\xF0'; badOffset[5] = '\xFF'; badOffset[6] = '\xFF'; badOffset[7] = '\x7F';
    Decoded d;
    EXPECT_FALSE(decode(badOffset, d, err));

    // Width and height of 60000 in a tiny file: too large, refused before reading.
    const QByteArray huge = libtiffFile([](TIFF* tif) {
        TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, 60000);
        TIFFSetField(tif, TIFFTAG_IMAGELENGTH, 60000);
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
        TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3);
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
        TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 1);
        std::vector<uchar> row(60000 * 3, 0);
        TIFFWriteScanline(tif, row.data(), 0, 0);
    });
    ASSERT_FALSE(huge.isEmpty());
    EXPECT_FALSE(decode(huge, d, err));
    EXPECT_EQ(err, Error::TooLarge);
}

// Sample layouts with no depth of their own in the engine load as 24 bits, or
// 32 with an alpha channel: each file holds a known ramp, and every pixel must
// come out as that ramp reduced to 8 bits.
TEST(Tiff, WideSampleLayoutsLoadAs24Or32Bits) {
    const int w = 37, h = 5;
    // The 8-bit value each pixel stands for, per channel.
    auto level = [](int x, int y, int c) { return (x * 7 + y * 31 + c * 85) % 256; };
    struct Case {
        const char* name;
        int photometric, bps, spp, format;
        std::function<void(TIFF*)> extra;
        std::function<void(uchar* row, int y)> fill;  // one row of samples
        int bits;
        std::function<QRgb(int x, int y)> expected;
    };
    auto grey = [&](int x, int y) { const int v = level(x, y, 0); return qRgb(v, v, v); };
    auto rgb = [&](int x, int y) { return qRgb(level(x, y, 0), level(x, y, 1), level(x, y, 2)); };
    // 16-bit palette: index i shows (i >> 8, i & 255, 255 - (i >> 8)).
    std::vector<uint16_t> mapR(65536), mapG(65536), mapB(65536);
    for (int i = 0; i < 65536; ++i) {
        mapR[size_t(i)] = uint16_t((i >> 8) * 257);
        mapG[size_t(i)] = uint16_t((i & 255) * 257);
        mapB[size_t(i)] = uint16_t((255 - (i >> 8)) * 257);
    }
    const QList<Case> cases{
        {"float32 RGB", PHOTOMETRIC_RGB, 32, 3, SAMPLEFORMAT_IEEEFP, nullptr,
         [&](uchar* row, int y) {
             auto* f = reinterpret_cast<float*>(row);
             for (int x = 0; x < w; ++x)
                 for (int c = 0; c < 3; ++c)
                     f[x * 3 + c] = float(level(x, y, c)) / 255.0f;
         },
         24, rgb},
        {"float16 grey", PHOTOMETRIC_MINISBLACK, 16, 1, SAMPLEFORMAT_IEEEFP, nullptr,
         [&](uchar* row, int y) {
             // v / 255 as a half float (mantissa cut to 10 bits, well inside half a level).
             auto* d = reinterpret_cast<uint16_t*>(row);
             for (int x = 0; x < w; ++x) {
                 const float f = float(level(x, y, 0)) / 255.0f;
                 uint32_t b;
                 memcpy(&b, &f, 4);
                 const int e = int((b >> 23) & 0xFF) - 127 + 15;
                 d[x] = f == 0 ? 0 : uint16_t((e << 10) | ((b >> 13) & 0x3FF));
             }
         },
         24, grey},
        {"uint32 RGB with alpha", PHOTOMETRIC_RGB, 32, 4, SAMPLEFORMAT_UINT,
         [](TIFF* tif) { const uint16_t ex[1] = {EXTRASAMPLE_UNASSALPHA}; TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, ex); },
         [&](uchar* row, int y) {
             auto* d = reinterpret_cast<uint32_t*>(row);
             for (int x = 0; x < w; ++x) {
                 for (int c = 0; c < 3; ++c)
                     d[x * 4 + c] = uint32_t(level(x, y, c)) * 0x01010101u;
                 d[x * 4 + 3] = x % 2 ? 0xFFFFFFFFu : 0;
             }
         },
         32, rgb},
        {"int32 grey", PHOTOMETRIC_MINISBLACK, 32, 1, SAMPLEFORMAT_INT, nullptr,
         [&](uchar* row, int y) {
             auto* d = reinterpret_cast<int32_t*>(row);
             for (int x = 0; x < w; ++x)
                 d[x] = int32_t(uint32_t(level(x, y, 0)) * 0x01010101u ^ 0x80000000u);
         },
         24, grey},
        {"16-bit palette", PHOTOMETRIC_PALETTE, 16, 1, SAMPLEFORMAT_UINT,
         [&](TIFF* tif) { TIFFSetField(tif, TIFFTAG_COLORMAP, mapR.data(), mapG.data(), mapB.data()); },
         [&](uchar* row, int y) {
             auto* d = reinterpret_cast<uint16_t*>(row);
             for (int x = 0; x < w; ++x)
                 d[x] = uint16_t(level(x, y, 0) << 8 | level(x, y, 1));
         },
         24, [&](int x, int y) { return qRgb(level(x, y, 0), level(x, y, 1), 255 - level(x, y, 0)); }},
        {"16-bit CMYK", PHOTOMETRIC_SEPARATED, 16, 4, SAMPLEFORMAT_UINT, nullptr,
         [&](uchar* row, int y) {
             auto* d = reinterpret_cast<uint16_t*>(row);
             for (int x = 0; x < w; ++x) {
                 for (int c = 0; c < 3; ++c)
                     d[x * 4 + c] = uint16_t((255 - level(x, y, c)) * 257);
                 d[x * 4 + 3] = 0;  // no black ink
             }
         },
         24, rgb},
        {"4-bit grey with alpha", PHOTOMETRIC_MINISBLACK, 4, 2, SAMPLEFORMAT_UINT,
         [](TIFF* tif) { const uint16_t ex[1] = {EXTRASAMPLE_ASSOCALPHA}; TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, ex); },
         [&](uchar* row, int y) {
             for (int x = 0; x < w; ++x)
                 row[x] = uchar((level(x, y, 0) >> 4) << 4 | 15);
         },
         32, [&](int x, int y) { const int v = (level(x, y, 0) >> 4) * 17; return qRgb(v, v, v); }},
    };
    for (const Case& c : cases) {
        const QByteArray file = libtiffFile([&](TIFF* tif) {
            TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, w);
            TIFFSetField(tif, TIFFTAG_IMAGELENGTH, h);
            TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, c.bps);
            TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, c.spp);
            TIFFSetField(tif, TIFFTAG_SAMPLEFORMAT, c.format);
            TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, c.photometric);
            TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
            TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_ADOBE_DEFLATE);
            TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 2);
            if (c.extra)
                c.extra(tif);
            std::vector<uchar> row(size_t(TIFFScanlineSize(tif)));
            for (int y = 0; y < h; ++y) {
                c.fill(row.data(), y);
                TIFFWriteScanline(tif, row.data(), uint32_t(y), 0);
            }
        });
        Decoded d;
        Error err = Error::None;
        ASSERT_TRUE(decode(file, d, err)) << c.name << " error " << int(err);
        EXPECT_EQ(d.picture.bits, c.bits) << c.name;
        int wrong = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                if ((d.picture.image.pixel(x, y) & 0xFFFFFF) != (c.expected(x, y) & 0xFFFFFF) && wrong++ == 0)
                    ADD_FAILURE() << c.name << " at " << x << "," << y << ": " << std::hex << d.picture.image.pixel(x, y)
                                  << " want " << c.expected(x, y);
        EXPECT_EQ(wrong, 0) << c.name;
    }
}

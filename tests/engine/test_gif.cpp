#include "engine/codecs/codecs.h"
#include "support/lib_codec_test_support.h"
#include "support/test_support.h"

#include <QDir>

#include <gtest/gtest.h>

#include <gif_lib.h>

using namespace engine;
using namespace engine::codecs;
using testsupport::makeTestPicture;

namespace {

const int kWidths[] = {1, 3, 7, 9, 33};

extern "C" int appendOut(GifFileType* gif, const GifByteType* data, int n) {
    static_cast<QByteArray*>(gif->UserData)->append(reinterpret_cast<const char*>(data), n);
    return n;
}

// A frame for the hand-built animations below.
struct Frame {
    QRect rect;
    QList<QRgb> localMap;  // empty: the global map
    int transparent = -1;
    int disposal = DISPOSAL_UNSPECIFIED;
    std::function<int(int, int)> index;
};

QByteArray animation(int w, int h, const QList<QRgb>& global, const QList<Frame>& frames) {
    QByteArray out;
    int err = 0;
    GifFileType* gif = EGifOpen(&out, appendOut, &err);
    auto mapOf = [](const QList<QRgb>& t) {
        std::vector<GifColorType> c;
        for (QRgb q : t)
            c.push_back(GifColorType{GifByteType(qRed(q)), GifByteType(qGreen(q)), GifByteType(qBlue(q))});
        return GifMakeMapObject(int(c.size()), c.data());
    };
    ColorMapObject* gmap = mapOf(global);
    EGifSetGifVersion(gif, true);
    EGifPutScreenDesc(gif, w, h, 8, 0, gmap);
    for (const Frame& f : frames) {
        GraphicsControlBlock gcb{};
        gcb.DisposalMode = f.disposal;
        gcb.TransparentColor = f.transparent;
        GifByteType ext[4];
        const size_t len = EGifGCBToExtension(&gcb, ext);
        EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, int(len), ext);
        ColorMapObject* lmap = f.localMap.isEmpty() ? nullptr : mapOf(f.localMap);
        EGifPutImageDesc(gif, f.rect.x(), f.rect.y(), f.rect.width(), f.rect.height(), false, lmap);
        std::vector<GifPixelType> line(size_t(f.rect.width()));
        for (int y = 0; y < f.rect.height(); ++y) {
            for (int x = 0; x < f.rect.width(); ++x)
                line[size_t(x)] = GifPixelType(f.index(x, y));
            EGifPutLine(gif, line.data(), f.rect.width());
        }
        if (lmap)
            GifFreeMapObject(lmap);
    }
    EGifCloseFile(gif, &err);
    GifFreeMapObject(gmap);
    return out;
}

// For files of several frames, the pixels where the last frame is
// transparent. The reference tool draws every frame's indices as they are,
// transparent ones included, so there the references show the transparent
// entry's colour where a viewer shows what lies beneath.
QList<bool> lastFrameSeeThrough(const QString& path, int w, int h) {
    QList<bool> mask(qsizetype(w) * h, false);
    int err = 0;
    GifFileType* gif = DGifOpenFileName(path.toLocal8Bit().constData(), &err);
    if (!gif)
        return mask;
    if (DGifSlurp(gif) == GIF_OK && gif->ImageCount > 1) {
        const int last = gif->ImageCount - 1;
        GraphicsControlBlock gcb{};
        if (DGifSavedExtensionToGCB(gif, last, &gcb) == GIF_OK && gcb.TransparentColor >= 0) {
            const GifImageDesc& d = gif->SavedImages[last].ImageDesc;
            for (int y = 0; y < d.Height; ++y)
                for (int x = 0; x < d.Width; ++x) {
                    const int sx = d.Left + x, sy = d.Top + y;
                    if (sx < w && sy < h && gif->SavedImages[last].RasterBits[y * d.Width + x] == gcb.TransparentColor)
                        mask[sy * w + sx] = true;
                }
        }
    }
    DGifCloseFile(gif, &err);
    return mask;
}

QList<QRgb> fourColours() {
    return {qRgb(0, 0, 0), qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255)};
}

}  // namespace

TEST(Gif, PaletteDepthsRoundTripExactly) {
    for (int w : kWidths) {
        for (int code : {1, 4, 40, 8, 80}) {
            const Picture pic = makeTestPicture(w, 5, code, unsigned(w + code));
            Decoded back;
            ASSERT_EQ(testsupport::roundTrip(Gif, pic, back), Error::None) << w << " " << code;
            QString why;
            EXPECT_TRUE(testsupport::samePixels(pic, back.picture, &why)) << w << " " << code << " " << why.toStdString();
            EXPECT_EQ(back.picture.image.colorTable(), pic.image.colorTable());
            EXPECT_EQ(depthCode(back.picture), code);
        }
    }
}

TEST(Gif, ShortPalettesArePaddedButKeepTheDepth) {
    // GIF maps have 2^n entries: five colours come back as eight, two colours
    // in a 4-bit picture still come back 4-bit, and the pixels keep their colours.
    for (int entries : {2, 5, 16}) {
        Picture pic = makeTestPicture(11, 4, 4);
        pic.image.setColorTable(pic.image.colorTable().mid(0, entries));
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 11; ++x)
                pic.image.setPixel(x, y, uint((x * 3 + y) % entries));
        Decoded back;
        ASSERT_EQ(testsupport::roundTrip(Gif, pic, back), Error::None);
        EXPECT_EQ(back.picture.bits, 4) << entries;
        EXPECT_EQ(back.picture.image.colorTable().mid(0, entries), pic.image.colorTable());
        EXPECT_EQ(testsupport::maxChannelDiff(pic.image, back.picture.image), 0);
    }
    Picture few = makeTestPicture(6, 6, 8);
    few.image.setColorTable(few.image.colorTable().mid(0, 20));
    few.image.fill(19);
    Decoded back;
    ASSERT_EQ(testsupport::roundTrip(Gif, few, back), Error::None);
    EXPECT_EQ(back.picture.bits, 8);
}

TEST(Gif, DirectColourPicturesAreRefused) {
    for (int code : {16, 24, 32}) {
        QByteArray bytes;
        Error err = Error::None;
        EXPECT_FALSE(encode(Gif, makeTestPicture(5, 5, code), EncodeOptions(), bytes, err));
        EXPECT_EQ(err, Error::Unsupported) << code;
    }
}

TEST(Gif, CommentRoundTrip) {
    const QString text = QStringLiteral("GIFのコメント ") + QString(300, QLatin1Char('x'));  // several sub-blocks
    Decoded back;
    ASSERT_EQ(testsupport::roundTrip(Gif, makeTestPicture(5, 5, 8), back, text), Error::None);
    EXPECT_EQ(back.comment, text);
    QByteArray bytes;
    Error err;
    ASSERT_TRUE(encode(Gif, makeTestPicture(5, 5, 8), EncodeOptions(), bytes, err));
    EXPECT_TRUE(bytes.startsWith("GIF87a"));  // nothing that needs GIF89a
    ASSERT_TRUE(decode(bytes, back, err));
    EXPECT_TRUE(back.comment.isEmpty());
}

TEST(Gif, FramesAreComposedWithTransparencyAndDisposal) {
    const QList<QRgb> map = fourColours();
    // The first frame keeps its transparent index: green here.
    Frame base{QRect(0, 0, 8, 8), {}, 2, DISPOSAL_UNSPECIFIED, [](int, int) { return 2; }};
    Frame red{QRect(2, 2, 4, 4), {}, 3, DISPOSE_DO_NOT, [](int x, int) { return x < 2 ? 1 : 3; }};
    Frame blue{QRect(0, 0, 2, 2), {}, -1, DISPOSE_BACKGROUND, [](int, int) { return 3; }};
    Frame last{QRect(6, 6, 2, 2), {}, -1, DISPOSAL_UNSPECIFIED, [](int, int) { return 1; }};
    Decoded d;
    Error err;
    ASSERT_TRUE(decode(animation(8, 8, map, {base, red, blue, last}), d, err));
    const QImage& img = d.picture.image;
    ASSERT_EQ(img.size(), QSize(8, 8));
    EXPECT_EQ(img.pixel(1, 5), qRgb(0, 255, 0));  // the first frame, transparent index kept
    EXPECT_EQ(img.pixel(2, 2), qRgb(255, 0, 0));  // drawn by the second frame
    EXPECT_EQ(img.pixel(4, 2), qRgb(0, 255, 0));  // its transparent part shows the first
    EXPECT_EQ(img.pixel(0, 0), qRgb(0, 0, 0));    // the blue frame was disposed to background
    EXPECT_EQ(img.pixel(7, 7), qRgb(255, 0, 0));  // the last frame is shown
    EXPECT_EQ(d.picture.bits, 4);
    EXPECT_EQ(img.colorTable(), map);

    // A frame with its own map: the colours are gathered into one palette.
    Frame local{QRect(0, 0, 4, 8), {qRgb(10, 20, 30), qRgb(40, 50, 60)}, -1, DISPOSAL_UNSPECIFIED,
                [](int x, int) { return x & 1; }};
    ASSERT_TRUE(decode(animation(8, 8, map, {base, local}), d, err));
    EXPECT_EQ(d.picture.image.pixel(0, 0), qRgb(10, 20, 30));
    EXPECT_EQ(d.picture.image.pixel(1, 0), qRgb(40, 50, 60));
    EXPECT_EQ(d.picture.image.pixel(5, 0), qRgb(0, 255, 0));
    EXPECT_EQ(d.picture.bits, 4);
    EXPECT_EQ(d.picture.image.colorCount(), 3);

    // Frames that together use more than 256 colours give a 24-bit picture.
    QList<QRgb> ramp, ramp2;
    for (int i = 0; i < 256; ++i) {
        ramp << qRgb(i, 0, 0);
        ramp2 << qRgb(0, i, 0);
    }
    QList<QRgb> blues;
    for (int i = 0; i < 16; ++i)
        blues << qRgb(0, 0, i);
    Frame all{QRect(0, 0, 16, 16), {}, -1, DISPOSAL_UNSPECIFIED, [](int x, int y) { return y * 16 + x; }};
    Frame others{QRect(0, 0, 16, 8), ramp2, -1, DISPOSAL_UNSPECIFIED, [](int x, int y) { return 1 + y * 16 + x; }};
    Frame column{QRect(16, 0, 1, 16), blues, -1, DISPOSAL_UNSPECIFIED, [](int, int y) { return y; }};
    ASSERT_TRUE(decode(animation(17, 16, ramp, {all, others, column}), d, err));
    EXPECT_EQ(d.picture.bits, 24);
    EXPECT_EQ(d.picture.image.pixel(0, 0), qRgb(0, 1, 0));
    EXPECT_EQ(d.picture.image.pixel(3, 12), qRgb(195, 0, 0));
    EXPECT_EQ(d.picture.image.pixel(16, 5), qRgb(0, 0, 5));
}

TEST(Gif, GiflibPicturesMatchTheirReferences) {
    const QString dir = testsupport::corpusFolder(QStringLiteral("gif/giflib"));
    if (dir.isEmpty())
        GTEST_SKIP() << "corpus gif/giflib is absent";
    int checked = 0;
    for (const QString& ref : QDir(dir + QStringLiteral("/ref")).entryList({QStringLiteral("*.rgb")}, QDir::Files)) {
        const QString name = ref.left(ref.size() - 4);
        const QByteArray rgb = testsupport::readAll(dir + QStringLiteral("/ref/") + ref);
        Decoded d;
        Error err;
        ASSERT_TRUE(decodeFile(dir + QLatin1Char('/') + name + QStringLiteral(".gif"), d, err)) << name.toStdString();
        const QImage& img = d.picture.image;
        ASSERT_EQ(qsizetype(img.width()) * img.height() * 3, rgb.size()) << name.toStdString();
        const QList<bool> skip =
            lastFrameSeeThrough(dir + QLatin1Char('/') + name + QStringLiteral(".gif"), img.width(), img.height());
        int differ = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x) {
                if (skip[y * img.width() + x])
                    continue;
                const uchar* p = reinterpret_cast<const uchar*>(rgb.constData()) + (y * img.width() + x) * 3;
                if (img.pixel(x, y) != qRgb(p[0], p[1], p[2]))
                    ++differ;
            }
        EXPECT_EQ(differ, 0) << name.toStdString();
        ++checked;
    }
    EXPECT_GE(checked, 8);
}

TEST(Gif, AllCorpusFilesDecode) {
    const QString dir = testsupport::corpusFolder(QStringLiteral("gif/giflib"));
    if (dir.isEmpty())
        GTEST_SKIP() << "corpus gif/giflib is absent";
    QStringList files;
    for (const QString& f : QDir(dir).entryList({QStringLiteral("*.gif")}, QDir::Files))
        files << dir + QLatin1Char('/') + f;
    for (const QString& f : QDir(dir + QStringLiteral("/whatsinagif")).entryList({QStringLiteral("*.gif")}, QDir::Files))
        files << dir + QStringLiteral("/whatsinagif/") + f;
    for (const QString& f : files) {
        Decoded d;
        Error err;
        EXPECT_TRUE(decodeFile(f, d, err)) << f.toStdString() << " error " << int(err);
        EXPECT_LE(d.picture.bits, 8) << f.toStdString();
    }
}

TEST(Gif, DamagedTruncatedAndHugeFilesAreRefused) {
    QByteArray valid;
    Error err;
    ASSERT_TRUE(encode(Gif, makeTestPicture(60, 40, 8), EncodeOptions(), valid, err));
    // Cuts inside the picture's rows load partly (test_partial_loads.cpp); before them they are refused.
    for (const auto& c : testsupport::truncations(valid, {4, 10, 12, 800})) {
        Decoded d;
        err = Error::None;
        EXPECT_FALSE(decode(c.bytes, d, err)) << c.name.toStdString();
        EXPECT_NE(err, Error::None);
    }
    // A logical screen of 65535 x 65535 (4 GiB): refused before anything is made.
    QByteArray huge = valid;
    huge[6] = '\xFF'; huge[7] = '\xFF'; huge[8] = '\xFF'; huge[9] = '\xFF';
    Decoded d;
    EXPECT_FALSE(decode(huge, d, err));
    EXPECT_EQ(err, Error::TooLarge);
    // A frame far larger than the data that could fill it.
    QByteArray frame = valid;
    const int desc = 13 + 3 * 256;  // after the header and the global map
    ASSERT_EQ(frame[desc], ',');
    frame[desc + 5] = '\xFF'; frame[desc + 6] = '\xFF'; frame[desc + 7] = '\xFF'; frame[desc + 8] = '\xFF';
    EXPECT_FALSE(decode(frame, d, err));
}

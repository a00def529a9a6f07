// BMP codec: round trips at every depth, the BMP Suite corpus, and hostile headers.
#include "engine/codecs/codecs.h"
#include "support/codec_test_support.h"
#include "support/test_support.h"

#include <QDir>
#include <QFile>
#include <QtEndian>
#include <gtest/gtest.h>

using namespace engine;
using namespace engine::codecs;
using testsupport::corpusDir;

namespace {

quint32 get32(const QByteArray& b, int off) { return qFromLittleEndian<quint32>(b.constData() + off); }
void set32(QByteArray& b, int off, quint32 v) { qToLittleEndian<quint32>(v, b.data() + off); }
void set16(QByteArray& b, int off, quint16 v) { qToLittleEndian<quint16>(v, b.data() + off); }

QByteArray encoded(const Picture& pic) {
    QByteArray bytes;
    Error err = Error::None;
    EXPECT_TRUE(encodeBmp(pic, EncodeOptions(), bytes, err)) << int(err);
    return bytes;
}

Error decodeError(const QByteArray& bytes) {
    Decoded d;
    Error err = Error::None;
    if (decodeBmp(bytes, d, err))
        return Error::None;
    EXPECT_TRUE(d.picture.isNull());
    return err;
}

QString bmpSuite() {
    const QString dir = corpusDir();
    return dir.isEmpty() ? QString() : dir + "/bmp/bmpsuite";
}

}  // namespace

TEST(Bmp, RoundTripEveryDepthAndWidth) {
    for (int code : {1, 4, 40, 8, 80, 16, 24, 32})
        for (int width : {1, 2, 3, 7, 8, 9, 31, 33})
            for (int height : {1, 4}) {
                SCOPED_TRACE(QStringLiteral("code %1 %2x%3").arg(code).arg(width).arg(height).toStdString());
                Picture pic = testsupport::makeTestPicture(width, height, code, unsigned(width * 31 + height));
                pic.image.setDotsPerMeterX(11811);  // 300 dpi
                pic.image.setDotsPerMeterY(5906);
                const QByteArray bytes = encoded(pic);
                // Header fields a reader relies on.
                const qint64 rowBytes = ((qint64(width) * pic.bits + 31) / 32) * 4;
                ASSERT_GE(bytes.size(), 54);
                EXPECT_EQ(get32(bytes, 2), quint32(bytes.size()));
                EXPECT_EQ(get32(bytes, 14), 40u);
                EXPECT_EQ(get32(bytes, 34), quint32(rowBytes * height));
                EXPECT_EQ(get32(bytes, 10) + rowBytes * height, quint32(bytes.size()));

                Decoded d;
                Error err = Error::None;
                ASSERT_TRUE(decodeBmp(bytes, d, err)) << int(err);
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

TEST(Bmp, ShortPalettesAndForeignStoreFormats) {
    // A 4-bit picture with 5 colours keeps exactly those 5 entries.
    QImage img(9, 3, QImage::Format_Indexed8);
    img.setColorTable({qRgb(1, 2, 3), qRgb(200, 0, 0), qRgb(0, 200, 0), qRgb(0, 0, 200), qRgb(9, 9, 9)});
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 9; ++x)
            img.setPixel(x, y, uint((x + y) % 5));
    Picture four{img, 4};
    Decoded d;
    Error err = Error::None;
    ASSERT_TRUE(decodeBmp(encoded(four), d, err));
    EXPECT_EQ(d.picture.bits, 4);
    EXPECT_EQ(d.picture.image.colorTable(), img.colorTable());
    EXPECT_TRUE(testsupport::samePixels(four, d.picture));

    // A pixel pointing past the table cannot be written faithfully.
    img.scanLine(0)[0] = 7;
    QByteArray bytes;
    EXPECT_FALSE(encodeBmp(Picture{img, 4}, EncodeOptions(), bytes, err));
    EXPECT_EQ(err, Error::BadArgument);

    // A 24-bit picture held in another format is written from its colours.
    QImage argb(5, 2, QImage::Format_ARGB32);
    argb.fill(qRgb(10, 20, 30));
    ASSERT_TRUE(decodeBmp(encoded(Picture{argb, 24}), d, err));
    EXPECT_EQ(d.picture.bits, 24);
    EXPECT_EQ(d.picture.image.pixel(4, 1), qRgb(10, 20, 30));

    // Depths BMP has no place for are refused.
    EXPECT_FALSE(encodeBmp(Picture{argb, 12}, EncodeOptions(), bytes, err));
    EXPECT_EQ(err, Error::Unsupported);
}

TEST(Bmp, DecodeThroughFormatDetection) {
    const Picture pic = testsupport::makeTestPicture(7, 3, 24);
    Decoded d;
    Error err = Error::None;
    EXPECT_EQ(detectFormat(encoded(pic)), Bmp);
    ASSERT_TRUE(decode(encoded(pic), d, err));
    EXPECT_TRUE(testsupport::samePixels(pic, d.picture));
}

// g/ must decode and match its reference exactly; q/ files that decode must
// match one of theirs within 1 (readers round odd channel widths differently).
// Every file of the map is looked at.
TEST(Bmp, SuiteGoodAndQuestionableMatchReferences) {
    const QString suite = bmpSuite();
    if (suite.isEmpty())
        GTEST_SKIP() << "corpus folder ../shared/corpus is absent";
    const auto rows = testsupport::readRefMap(suite + "/refmap.tsv");
    ASSERT_FALSE(rows.isEmpty());
    int good = 0;
    for (const auto& row : rows) {
        const QString& file = row.first;
        if (!file.startsWith("g/") && !file.startsWith("q/"))
            continue;
        SCOPED_TRACE(file.toStdString());
        Decoded d;
        Error err = Error::None;
        const bool ok = decodeBmp(testsupport::readAll(suite + "/" + file), d, err);
        if (file.startsWith("g/")) {
            ASSERT_TRUE(ok) << int(err);
            ++good;
        } else if (!ok) {
            EXPECT_NE(err, Error::None);
            continue;
        }
        if (file == "q/rgb24prof2.bmp")
            continue;  // its reference is colour-managed through a channel-swapping profile
        const int tolerance = file.startsWith("g/") ? 0 : 1;
        bool matched = false;
        QString why;
        for (const QString& ref : row.second)
            matched = matched || testsupport::sameRgb(d.picture.image, QImage(suite + "/ref/" + ref), &why, tolerance);
        EXPECT_TRUE(matched) << why.toStdString();
    }
    EXPECT_EQ(good, 27);
}

TEST(Bmp, SuiteDepthsAndLayouts) {
    const QString suite = bmpSuite();
    if (suite.isEmpty())
        GTEST_SKIP() << "corpus folder ../shared/corpus is absent";
    struct Case { const char* file; int code; };
    const Case cases[] = {
        {"g/pal1.bmp", 1},         {"g/pal1bg.bmp", 1},        {"g/pal4.bmp", 4},
        {"g/pal4gs.bmp", 40},      {"g/pal4rle.bmp", 4},       {"g/pal8.bmp", 8},
        {"g/pal8gs.bmp", 80},      {"g/pal8rle.bmp", 8},       {"g/pal8topdown.bmp", 8},
        {"g/pal8os2.bmp", 8},      {"g/pal8v5.bmp", 8},        {"g/rgb16.bmp", 16},
        {"g/rgb16bfdef.bmp", 16},  {"g/rgb16-565.bmp", 24},    {"g/rgb24.bmp", 24},
        {"g/rgb32.bmp", 32},       {"g/rgb32bf.bmp", 32},      {"q/pal2.bmp", 40},
        {"q/pal2color.bmp", 4},
        {"q/rgba16-5551.bmp", 16}, {"q/pal8oversizepal.bmp", 8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        Decoded d;
        Error err = Error::None;
        ASSERT_TRUE(decodeBmp(testsupport::readAll(suite + "/" + c.file), d, err));
        EXPECT_EQ(depthCode(d.picture), c.code);
        EXPECT_EQ(d.picture.image.format(), formatForBits(d.picture.bits));
        if (d.picture.bits <= 8)
            EXPECT_LE(d.picture.image.colorCount(), 1 << d.picture.bits);
    }
    // The run-length and top-down files are the same picture as the plain one.
    Decoded plain, other;
    Error err = Error::None;
    ASSERT_TRUE(decodeBmp(testsupport::readAll(suite + "/g/pal8.bmp"), plain, err));
    for (const char* f : {"g/pal8rle.bmp", "g/pal8topdown.bmp", "g/pal8os2.bmp"}) {
        ASSERT_TRUE(decodeBmp(testsupport::readAll(suite + "/" + f), other, err)) << f;
        EXPECT_TRUE(testsupport::sameRgb(plain.picture.image, other.picture.image)) << f;
    }
}

TEST(Bmp, SuiteBadFilesRefused) {
    const QString suite = bmpSuite();
    if (suite.isEmpty())
        GTEST_SKIP() << "corpus folder ../shared/corpus is absent";
    // Accepted on purpose: pal8badindex (out-of-palette pixels shown black),
    // rgb16-880 (an odd but exact 8-8-0 mask layout, it has a reference), and
    // baddens1/2 (a nonsense resolution costs the user no pixels; it is dropped).
    const QStringList accepted = {"pal8badindex.bmp", "rgb16-880.bmp", "baddens1.bmp", "baddens2.bmp"};
    const QStringList files = QDir(suite + "/b").entryList({"*.bmp"}, QDir::Files);
    ASSERT_EQ(files.size(), 20);
    for (const QString& f : files) {
        SCOPED_TRACE(f.toStdString());
        const QByteArray bytes = testsupport::readAll(suite + "/b/" + f);
        Decoded d;
        Error err = Error::None;
        const bool ok = decode(bytes, d, err);
        EXPECT_EQ(ok, accepted.contains(f)) << int(err);
        if (!ok)
            EXPECT_TRUE(err == Error::Damaged || err == Error::TooLarge || err == Error::Unsupported) << int(err);
    }
    Decoded d;
    Error err = Error::None;
    ASSERT_TRUE(decodeBmp(testsupport::readAll(suite + "/b/pal8badindex.bmp"), d, err));
    EXPECT_EQ(d.picture.bits, 8);
    EXPECT_GT(d.picture.image.colorCount(), 101);  // extended to cover every index used
    ASSERT_TRUE(decodeBmp(testsupport::readAll(suite + "/b/rgb16-880.bmp"), d, err));
    EXPECT_TRUE(testsupport::sameRgb(d.picture.image, QImage(suite + "/ref/rgb16-880.png")));
    ASSERT_TRUE(decodeBmp(testsupport::readAll(suite + "/b/baddens1.bmp"), d, err));
    EXPECT_NE(d.picture.image.dotsPerMeterX(), 30000000);

    EXPECT_FALSE(decodeBmp(testsupport::readAll(suite + "/x/ba-bm.bmp"), d, err));
    EXPECT_EQ(err, Error::UnknownFormat);
}

// Lying and cut-off headers made from a valid file.
TEST(Bmp, TruncatedFilesRefused) {
    for (int code : {1, 4, 8, 16, 24, 32}) {
        const Picture pic = testsupport::makeTestPicture(9, 5, code);
        const QByteArray good = encoded(pic);
        ASSERT_EQ(decodeError(good), Error::None);
        // Only the padding after the last row may be missing.
        const qint64 rowBytes = ((9 * qint64(pic.bits) + 31) / 32) * 4;
        const qint64 shortest = good.size() - (rowBytes - (9 * qint64(pic.bits) + 7) / 8);
        for (qint64 n = 0; n < good.size(); ++n) {
            // Cut as it is (the size fields then say more than there is), and
            // cut with the file size made to agree and the image size left
            // out, so that the pixel data check itself is reached.
            QByteArray cut = good.left(n);
            const Error e = decodeError(cut);
            if (n >= 2)
                EXPECT_EQ(e, Error::Damaged) << "code " << code << " cut at " << n;
            else
                EXPECT_EQ(e, Error::UnknownFormat) << "code " << code << " cut at " << n;
            if (n >= 6) {
                set32(cut, 2, quint32(n));
                if (n >= 38)
                    set32(cut, 34, 0);
                EXPECT_EQ(decodeError(cut), n >= shortest ? Error::None : Error::Damaged)
                    << "code " << code << " cut at " << n << " with its size field";
            }
        }
    }
}

TEST(Bmp, LyingHeadersRefused) {
    const QByteArray good = encoded(testsupport::makeTestPicture(33, 7, 8));
    struct Case {
        const char* what;
        std::function<void(QByteArray&)> mutate;
        Error expected;
    };
    const Case cases[] = {
        {"signature", [](QByteArray& b) { b[1] = 'A'; }, Error::UnknownFormat},
        {"file size beyond the file", [](QByteArray& b) { set32(b, 2, quint32(b.size() + 1)); }, Error::Damaged},
        {"offset beyond the file", [](QByteArray& b) { set32(b, 10, quint32(b.size() + 10)); }, Error::Damaged},
        {"offset inside the header", [](QByteArray& b) { set32(b, 10, 20); }, Error::Damaged},
        {"offset inside the palette", [](QByteArray& b) { set32(b, 10, 60); }, Error::Damaged},
        {"header size 41", [](QByteArray& b) { set32(b, 14, 41); }, Error::Damaged},
        {"header size huge", [](QByteArray& b) { set32(b, 14, 0xFFFFFFF0u); }, Error::Damaged},
        {"width 70000", [](QByteArray& b) { set32(b, 18, 70000); }, Error::TooLarge},
        {"width 0", [](QByteArray& b) { set32(b, 18, 0); }, Error::Damaged},
        {"width negative", [](QByteArray& b) { set32(b, 18, quint32(-33)); }, Error::Damaged},
        {"height 0", [](QByteArray& b) { set32(b, 22, 0); }, Error::Damaged},
        {"height most negative", [](QByteArray& b) { set32(b, 22, 0x80000000u); }, Error::TooLarge},
        {"height -1 with a big width",
         [](QByteArray& b) { set32(b, 18, 65535); set32(b, 22, quint32(-1)); }, Error::Damaged},
        {"40000 x 40000 x 32", [](QByteArray& b) {
             set32(b, 18, 40000); set32(b, 22, 40000); set16(b, 28, 32); }, Error::TooLarge},
        {"planes 0", [](QByteArray& b) { set16(b, 26, 0); }, Error::Damaged},
        {"bit count 3", [](QByteArray& b) { set16(b, 28, 3); }, Error::Damaged},
        {"bit count 64", [](QByteArray& b) { set16(b, 28, 64); }, Error::Unsupported},
        {"more bits than data", [](QByteArray& b) { set16(b, 28, 32); }, Error::Damaged},
        {"compression 9", [](QByteArray& b) { set32(b, 30, 9); }, Error::Damaged},
        {"embedded JPEG", [](QByteArray& b) { set32(b, 30, 4); }, Error::Unsupported},
        {"RLE4 on 8 bits", [](QByteArray& b) { set32(b, 30, 2); }, Error::Damaged},
        {"bit fields on 8 bits", [](QByteArray& b) { set32(b, 30, 3); }, Error::Damaged},
        {"image size beyond the file", [](QByteArray& b) { set32(b, 34, 0x7FFFFFF0u); }, Error::Damaged},
        {"colours used huge", [](QByteArray& b) { set32(b, 46, 0xFFFFFFFFu); }, Error::Damaged},
        {"colours used 300", [](QByteArray& b) { set32(b, 46, 300); }, Error::Damaged},
        {"RLE top-down", [](QByteArray& b) { set32(b, 30, 1); set32(b, 22, quint32(-7)); }, Error::Damaged},
    };
    for (const Case& c : cases) {
        QByteArray bytes = good;
        c.mutate(bytes);
        EXPECT_EQ(decodeError(bytes), c.expected) << c.what;
    }
}

TEST(Bmp, BitFieldMasksChecked) {
    // A 16-bit 5-6-5 file made by hand from a 2x1 picture.
    auto file = [](quint32 r, quint32 g, quint32 b) {
        QByteArray f(14 + 40 + 12 + 4, '\0');
        f[0] = 'B', f[1] = 'M';
        set32(f, 2, quint32(f.size()));
        set32(f, 10, 14 + 40 + 12);
        set32(f, 14, 40);
        set32(f, 18, 2);
        set32(f, 22, 1);
        set16(f, 26, 1);
        set16(f, 28, 16);
        set32(f, 30, 3);
        set32(f, 54, r), set32(f, 58, g), set32(f, 62, b);
        set16(f, 66, 0xF800);  // pure red
        set16(f, 68, 0x07E0);  // pure green
        return f;
    };
    Decoded d;
    Error err = Error::None;
    ASSERT_TRUE(decodeBmp(file(0xF800, 0x07E0, 0x001F), d, err));
    EXPECT_EQ(d.picture.bits, 24);
    EXPECT_EQ(d.picture.image.pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(d.picture.image.pixel(1, 0), qRgb(0, 255, 0));
    EXPECT_EQ(decodeError(file(0xF800, 0x0FE0, 0x001F)), Error::Damaged);    // overlapping
    EXPECT_EQ(decodeError(file(0xF000, 0x07E0, 0x101F)), Error::Damaged);    // not one run
    EXPECT_EQ(decodeError(file(0x1F800, 0x07E0, 0x001F)), Error::Damaged);   // outside 16 bits
    EXPECT_EQ(decodeError(file(0, 0, 0)), Error::Damaged);
}

// Run-length data written by hand, checked run by run.
TEST(Bmp, RunLengthRunsChecked) {
    // 4 x 3, 8 bits, 2 palette entries; the runs follow the header.
    auto file = [](const QByteArray& runs, int bits = 8) {
        QByteArray f(14 + 40 + 8, '\0');
        f[0] = 'B', f[1] = 'M';
        set32(f, 10, quint32(f.size()));
        set32(f, 14, 40);
        set32(f, 18, 4);
        set32(f, 22, 3);
        set16(f, 26, 1);
        set16(f, 28, quint16(bits));
        set32(f, 30, bits == 8 ? 1 : 2);
        set32(f, 46, 2);
        set32(f, 54, 0x000000);
        set32(f, 58, 0xFFFFFF);
        f += runs;
        set32(f, 2, quint32(f.size()));
        return f;
    };
    auto bytes = [](std::initializer_list<int> v) {
        QByteArray b;
        for (int x : v)
            b.append(char(x));
        return b;
    };
    Decoded d;
    Error err = Error::None;
    // Bottom row: an absolute block 1,0,1 (padded to 4 bytes), end of line;
    // next row: a delta right 3, a run of one index 1, end of bitmap. The rest
    // stays index 0.
    ASSERT_TRUE(decodeBmp(file(bytes({0, 3, 1, 0, 1, 0, 0, 0, 0, 2, 3, 0, 1, 1, 0, 1})), d, err)) << int(err);
    auto idx = [&](int x, int y) { return d.picture.image.pixelIndex(x, y); };
    const int expected[3][4] = {{0, 0, 0, 0}, {0, 0, 0, 1}, {1, 0, 1, 0}};
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(idx(x, y), expected[y][x]) << x << "," << y;

    EXPECT_EQ(decodeError(file(bytes({5, 1, 0, 1}))), Error::Damaged);            // run past the row
    EXPECT_EQ(decodeError(file(bytes({0, 2, 5, 0, 0, 1}))), Error::Damaged);      // delta past the row
    EXPECT_EQ(decodeError(file(bytes({0, 2, 0, 4, 0, 1}))), Error::Damaged);      // delta past the top
    EXPECT_EQ(decodeError(file(bytes({0, 4, 1, 1}))), Error::Damaged);            // block past the data
    EXPECT_EQ(decodeError(file(bytes({0, 0, 0, 0, 0, 0, 1, 1, 0, 1}))), Error::Damaged);  // row past the top
    EXPECT_EQ(decodeError(file(bytes({2, 1}))), Error::Damaged);                  // no end of bitmap
    EXPECT_EQ(decodeError(file(bytes({0, 2, 1}))), Error::Damaged);               // cut delta
    EXPECT_EQ(decodeError(file(bytes({5, 0x10, 0, 1}), 4)), Error::Damaged);      // RLE4 run past the row
    ASSERT_TRUE(decodeBmp(file(bytes({4, 0x10, 0, 1}), 4), d, err));              // RLE4 alternates
    EXPECT_EQ(d.picture.bits, 4);
    EXPECT_EQ(idx(0, 2), 1);
    EXPECT_EQ(idx(1, 2), 0);
    EXPECT_EQ(idx(2, 2), 1);
}

// The file handed over in pieces is byte for byte the file encoded whole, at
// every depth; a sink that fails stops the encoding with WriteFailed.
TEST(Bmp, PiecesMakeTheSameFileAndAFailedPieceStops) {
    for (int code : {1, 4, 8, 80, 16, 24, 32}) {
        const Picture pic = testsupport::makeTestPicture(333, 1700, code, unsigned(code));
        QByteArray whole;
        Error err = Error::None;
        ASSERT_TRUE(encodeBmp(pic, {}, whole, err)) << code;
        QByteArray pieces;
        int count = 0;
        ASSERT_TRUE(encodeBmpTo(pic, [&](const char* d, qint64 n) {
            pieces.append(d, n);
            ++count;
            return true;
        }, err)) << code;
        EXPECT_EQ(pieces, whole) << code;
        EXPECT_GT(count, 1) << code;
    }
    const Picture pic = testsupport::makeTestPicture(2000, 1000, 24, 3);
    int calls = 0;
    Error err = Error::None;
    EXPECT_FALSE(encodeBmpTo(pic, [&](const char*, qint64) { return ++calls < 2; }, err));
    EXPECT_EQ(err, Error::WriteFailed);
    EXPECT_EQ(calls, 2);
}

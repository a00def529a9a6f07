// JPEG, PNG and GIF files cut short: what was decoded loads, marked partial,
// the top of the picture exactly as in the whole file; a file cut inside its
// header is still refused.
#include "engine/codecs/codecs.h"
#include "support/lib_codec_test_support.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

using namespace engine;
using namespace engine::codecs;

namespace {

QByteArray encoded(Format format, const Picture& pic) {
    QByteArray bytes;
    Error err = Error::None;
    EncodeOptions opt;
    opt.jpegQuality = 90;
    encode(format, pic, opt, bytes, err);
    return bytes;
}

// How many rows from the top two pictures share exactly.
int sameTopRows(const QImage& a, const QImage& b) {
    const QImage ra = a.convertToFormat(QImage::Format_RGB32), rb = b.convertToFormat(QImage::Format_RGB32);
    int y = 0;
    for (; y < qMin(ra.height(), rb.height()); ++y)
        if (memcmp(ra.constScanLine(y), rb.constScanLine(y), size_t(ra.width()) * 4) != 0)
            break;
    return y;
}

// Where the data after the header begins: JPEG's first scan, PNG's first
// image data chunk, GIF's first image descriptor.
qsizetype dataStart(Format format, const QByteArray& file) {
    switch (format) {
    case Jpeg: return file.indexOf(QByteArray("\xFF\xDA", 2));
    case Png: return file.indexOf("IDAT") - 4;
    default: return file.indexOf(',', 13);
    }
}

}  // namespace

TEST(PartialLoads, CutShortFilesLoadTheirTopPart) {
    struct Case {
        const char* name;
        Format format;
        int depthCode;
    };
    for (const Case& c : {Case{"JPEG", Jpeg, 24}, Case{"JPEG grey", Jpeg, 80}, Case{"PNG", Png, 24},
                          Case{"PNG palette", Png, 8}, Case{"GIF", Gif, 8}}) {
        const Picture pic = testsupport::makeTestPicture(64, 96, c.depthCode, 7);
        const QByteArray whole = encoded(c.format, pic);
        ASSERT_FALSE(whole.isEmpty()) << c.name;
        Decoded full;
        Error err = Error::None;
        ASSERT_TRUE(decode(whole, full, err)) << c.name;
        EXPECT_FALSE(full.partial) << c.name;
        const qsizetype start = dataStart(c.format, whole);
        ASSERT_GT(start, 0) << c.name;
        // Cut at 60% of the picture's data: the top part is there, the bottom is not.
        const QByteArray cut = whole.left(start + (whole.size() - start) * 6 / 10);
        Decoded part;
        ASSERT_TRUE(decode(cut, part, err)) << c.name << " error " << int(err);
        EXPECT_TRUE(part.partial) << c.name;
        EXPECT_EQ(part.picture.image.size(), pic.image.size()) << c.name;
        EXPECT_EQ(part.picture.bits, full.picture.bits) << c.name;
        const int top = sameTopRows(part.picture.image, full.picture.image);
        EXPECT_GE(top, 16) << c.name;  // at least a row of JPEG blocks
        EXPECT_LT(top, pic.height()) << c.name;
        // Cut inside the header: refused as before.
        for (qsizetype at : {qsizetype(3), start / 2, start}) {
            Decoded none;
            EXPECT_FALSE(decode(whole.left(at), none, err)) << c.name << " cut at " << at;
            EXPECT_NE(err, Error::None);
            EXPECT_TRUE(none.picture.isNull());
        }
    }
}

// A PNG cut after its image data (inside the end chunk) has lost nothing of
// the picture: it loads whole and is not marked partial.
TEST(PartialLoads, PngCutAfterItsImageDataIsWhole) {
    const Picture pic = testsupport::makeTestPicture(9, 7, 24);
    const QByteArray whole = encoded(Png, pic);
    Decoded d;
    Error err = Error::None;
    ASSERT_TRUE(decode(whole.left(whole.size() - 2), d, err)) << int(err);
    EXPECT_FALSE(d.partial);
    EXPECT_TRUE(testsupport::samePixels(d.picture, pic));
}

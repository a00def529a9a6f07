#include "engine/codecs/codecs.h"
#include "support/lib_codec_test_support.h"
#include "support/test_support.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace engine;
using namespace engine::codecs;
using testsupport::makeTestPicture;

namespace {

struct Sample {
    Format format;
    int code;
    const char* misleadingName;
};

const Sample kSamples[] = {{Jpeg, 24, "photo.png"}, {Png, 8, "really-a-png.jpg"}, {Gif, 4, "anim.tif"},
                           {Tiff, 1, "scan.gif"},   {Tiff, 32, "noextension"}};

}  // namespace

TEST(CodecDetect, MagicNumbers) {
    EXPECT_EQ(detectFormat(QByteArray("\xFF\xD8\xFF\xE0", 4)), Jpeg);
    EXPECT_EQ(detectFormat(QByteArray("\x89PNG\r\n\x1A\n", 8)), Png);
    EXPECT_EQ(detectFormat(QByteArray("GIF87a")), Gif);
    EXPECT_EQ(detectFormat(QByteArray("GIF89a")), Gif);
    EXPECT_EQ(detectFormat(QByteArray("II*\0", 4)), Tiff);
    EXPECT_EQ(detectFormat(QByteArray("MM\0*", 4)), Tiff);
    EXPECT_EQ(detectFormat(QByteArray("II+\0", 4)), Tiff);  // BigTIFF
    EXPECT_EQ(detectFormat(QByteArray("GIF88a")), UnknownFormat);
    EXPECT_EQ(detectFormat(QByteArray("\x89PNG", 4)), UnknownFormat);
    EXPECT_EQ(detectFormat(QByteArray("\xFF\xD8", 2)), UnknownFormat);
    EXPECT_EQ(detectFormat(QByteArray()), UnknownFormat);
    Decoded d;
    Error err;
    EXPECT_FALSE(decode(QByteArray("just some text, not a picture"), d, err));
    EXPECT_EQ(err, Error::UnknownFormat);
}

TEST(CodecDetect, FilesAreReadByContentWhateverTheirName) {
    QTemporaryDir tmp;
    for (const Sample& s : kSamples) {
        const Picture pic = makeTestPicture(11, 6, s.code);
        const QString path = tmp.filePath(QString::fromLatin1(s.misleadingName));
        Error err;
        ASSERT_TRUE(saveFile(path, s.format, pic, EncodeOptions(), err)) << s.misleadingName;
        Decoded d;
        ASSERT_TRUE(decodeFile(path, d, err)) << s.misleadingName << " error " << int(err);
        EXPECT_EQ(depthCode(d.picture), s.code) << s.misleadingName;
        if (s.format != Jpeg)
            EXPECT_TRUE(testsupport::samePixels(pic, d.picture)) << s.misleadingName;
        FileInfo info;
        ASSERT_TRUE(readFileInfo(path, info, err));
        EXPECT_EQ(info.format, s.format) << s.misleadingName;
        EXPECT_EQ(info.width, 11);
        EXPECT_EQ(info.bits, s.code == 40 || s.code == 80 ? s.code / 10 : s.code);
    }
}

// Every single-byte change in the first 96 bytes and a few hundred random
// multi-byte changes of each format: the decoders may refuse or decode, but
// never crash, hang or report success without a picture.
TEST(CodecDetect, MutatedFilesNeverCrashTheDecoders) {
    QRandomGenerator rng(20261207);
    for (const Sample& s : kSamples) {
        QByteArray valid;
        Error err;
        ASSERT_TRUE(encode(s.format, makeTestPicture(23, 17, s.code), EncodeOptions(), valid, err));
        auto check = [&](const QByteArray& bytes, const QString& what) {
            Decoded d;
            Error e = Error::None;
            const bool ok = decode(bytes, d, e);
            if (ok) {
                EXPECT_FALSE(d.picture.isNull()) << what.toStdString();
                EXPECT_EQ(e, Error::None);
            } else {
                EXPECT_NE(e, Error::None) << what.toStdString();
                EXPECT_TRUE(d.picture.isNull());
            }
        };
        for (int i = 0; i < qMin<int>(96, int(valid.size())); ++i) {
            QByteArray m = valid;
            m[i] = char(m[i] ^ 0xFF);
            check(m, QStringLiteral("%1 byte %2 inverted").arg(s.misleadingName).arg(i));
        }
        for (int n = 0; n < 300; ++n) {
            QByteArray m = valid;
            const int changes = 1 + int(rng.bounded(8));
            for (int k = 0; k < changes; ++k)
                m[int(rng.bounded(int(m.size())))] = char(rng.bounded(256));
            if (rng.bounded(4) == 0)
                m.truncate(int(rng.bounded(int(m.size()))));
            check(m, QStringLiteral("%1 mutant %2").arg(s.misleadingName).arg(n));
        }
    }
}

// The file's EXIF, XMP and ICC profile go with the picture into every format
// that holds them, made true for the picture as saved (upright, its own size,
// no thumbnail of other pixels), and into no other format.
#include "engine/codecs/codecs.h"
#include "engine/image_engine.h"
#include "support/metadata_test_support.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace engine;
using namespace testsupport;

namespace {

// A 48 x 32 camera picture stored on its side (orientation 6) with every kind of metadata.
QByteArray cameraJpeg(int orientation = 6, bool thumbnail = true) {
    return withSegments(turboJpeg(48, 32, 92),
                        {exifSegment(orientation, 48, 32, thumbnail), xmpSegment(orientation),
                         iccSegment(testProfile())});
}

class MetadataTest : public ::testing::Test {
protected:
    QTemporaryDir tmp;

    QString write(const QString& name, const QByteArray& bytes) {
        const QString path = tmp.filePath(name);
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
        return path;
    }
    // Loads the file into an engine, optionally edits, saves under name in format.
    QString loadEditSave(const QByteArray& source, codecs::Format format, const QString& name,
                         const std::function<void(ImageEngine&)>& edit = {}) {
        ImageEngine e;
        e.File().FileName = write(QStringLiteral("source.jpg"), source);
        EXPECT_TRUE(e.File().LoadFile());
        if (edit)
            edit(e);
        e.File().FileName = tmp.filePath(name);
        EXPECT_TRUE(e.File().SaveFile(format)) << name.toStdString();
        return e.File().FileName;
    }
};

TEST_F(MetadataTest, KeptInJpegPngAndTiffUprightAtTheSavedSizeWithoutAStaleThumbnail) {
    if (!haveTool(QStringLiteral("exiftool")))
        GTEST_SKIP() << "exiftool is not installed";
    const QByteArray profile = testProfile();
    const struct {
        codecs::Format format;
        const char* name;
    } targets[] = {{codecs::Jpeg, "out.jpg"}, {codecs::Png, "out.png"}, {codecs::Tiff, "out.tif"}};
    for (const auto& t : targets) {
        SCOPED_TRACE(t.name);
        // Loaded upright (32 x 48), then trimmed to 24 x 40.
        const QString path = loadEditSave(cameraJpeg(), t.format, QString::fromLatin1(t.name), [](ImageEngine& e) {
            e.Edit().TrimLeft = 4, e.Edit().TrimTop = 4, e.Edit().TrimRight = 28, e.Edit().TrimBottom = 44;
            ASSERT_TRUE(e.Edit().Trim());
        });
        const auto tags = exiftool(path);
        EXPECT_EQ(tags.value("IFD0:Make"), "TolvaneCam");
        EXPECT_EQ(tags.value("IFD0:Model"), "T1");
        EXPECT_EQ(tags.value("ExifIFD:DateTimeOriginal"), "2024:05:06 07:08:09");
        EXPECT_EQ(tags.value("IFD0:Orientation"), "1");
        EXPECT_EQ(tags.value("ExifIFD:ExifImageWidth"), "24");
        EXPECT_EQ(tags.value("ExifIFD:ExifImageHeight"), "40");
        EXPECT_FALSE(tags.contains("IFD1:ThumbnailImage")) << "the thumbnail shows other pixels";
        EXPECT_EQ(tags.value("XMP-xmp:CreatorTool"), "TolvaneTest");
        EXPECT_EQ(tags.value("XMP-tiff:Orientation"), "1");
        EXPECT_EQ(tags.value("ICC-header:ProfileVersion").isEmpty(), false);
        EXPECT_EQ(tags.value("ICC_Profile:ProfileDescription"), "Tolvane test RGB");

        // And our own reader gets the same profile back, byte for byte, with the picture upright.
        codecs::Decoded d;
        Error err;
        ASSERT_TRUE(codecs::decodeFile(path, d, err));
        EXPECT_EQ(d.picture.metadata.icc, profile);
        EXPECT_EQ(d.picture.width(), 24);
        EXPECT_EQ(d.picture.height(), 40);
    }
}

TEST_F(MetadataTest, FormatsWithoutMetadataGetNone) {
    if (!haveTool(QStringLiteral("exiftool")))
        GTEST_SKIP() << "exiftool is not installed";
    const struct {
        codecs::Format format;
        const char* name;
    } targets[] = {{codecs::Bmp, "out.bmp"}, {codecs::Gif, "out.gif"}, {codecs::Pcx, "out.pcx"},
                   {codecs::Fpx, "out.fpx"}};
    for (const auto& t : targets) {
        SCOPED_TRACE(t.name);
        const QString path = loadEditSave(cameraJpeg(), t.format, QString::fromLatin1(t.name), [&](ImageEngine& e) {
            if (t.format == codecs::Gif)
                ASSERT_TRUE(e.Edit().ConvertDepth(8, 0, false, 128));
        });
        const auto tags = exiftool(path);
        ASSERT_FALSE(tags.isEmpty());
        for (auto it = tags.begin(); it != tags.end(); ++it) {
            EXPECT_FALSE(it.value().contains("TolvaneCam") || it.value().contains("TolvaneTest") ||
                         it.value().contains("Tolvane test RGB"))
                << it.key().toStdString();
        }
    }
}

TEST_F(MetadataTest, ThumbnailStaysOnlyWhileThePixelsAreThoseDecoded) {
    if (!haveTool(QStringLiteral("exiftool")))
        GTEST_SKIP() << "exiftool is not installed";
    // Stored upright and saved untouched: the thumbnail still shows the picture.
    const QString kept = loadEditSave(cameraJpeg(1, true), codecs::Jpeg, QStringLiteral("kept.jpg"));
    EXPECT_TRUE(exiftool(kept).contains("IFD1:ThumbnailImage"));
    EXPECT_EQ(exiftool(kept).value("IFD0:Orientation"), "1");
    // Any edit, even one taken back by hand, leaves it behind.
    const QString edited = loadEditSave(cameraJpeg(1, true), codecs::Png, QStringLiteral("edited.png"),
                                        [](ImageEngine& e) { ASSERT_TRUE(e.Edit().Rotate(18000, false, false, true)); });
    EXPECT_FALSE(exiftool(edited).contains("IFD1:ThumbnailImage"));
    EXPECT_EQ(exiftool(edited).value("IFD0:Make"), "TolvaneCam");
}

TEST_F(MetadataTest, DamagedBlocksAreDroppedNotFatal) {
    // An EXIF segment whose directory points far outside it, and an XMP
    // packet that is not XML: the picture loads and saves, without them.
    QByteArray badExif = QByteArray("Exif\0\0II*\0", 10) + QByteArray("\xFF\xFF\xFF\x7F", 4) + QByteArray(32, '\x01');
    const int length = int(badExif.size()) + 2;
    QByteArray segment = QByteArray("\xFF\xE1", 2) + char(length >> 8) + char(length & 0xFF) + badExif;
    QByteArray badXmp = QByteArray("http://ns.adobe.com/xap/1.0/\0", 29) + "<x:xmpmeta <<<";
    const int xlen = int(badXmp.size()) + 2;
    segment += QByteArray("\xFF\xE1", 2) + char(xlen >> 8) + char(xlen & 0xFF) + badXmp;
    const QByteArray source = withSegments(turboJpeg(16, 16, 90), {segment});
    for (codecs::Format f : {codecs::Jpeg, codecs::Png, codecs::Tiff}) {
        SCOPED_TRACE(int(f));
        const QString path = loadEditSave(source, f, QStringLiteral("out%1").arg(int(f)));
        codecs::Decoded d;
        Error err;
        ASSERT_TRUE(codecs::decodeFile(path, d, err)) << errorText(err).toStdString();
        EXPECT_EQ(d.picture.width(), 16);
        EXPECT_TRUE(d.picture.metadata.xmp.isEmpty());
    }
}

}  // namespace

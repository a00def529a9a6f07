// The engine's File object: loading (a bad file never costs the current
// picture), file information, saving and the save dialog.
#include "engine/codecs/codecs.h"
#include "engine/image_engine.h"
#include "engine/picture_store.h"
#include "platform/prompt.h"
#include "support/test_support.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace engine;
using testsupport::makeTestPicture;
using testsupport::samePixels;

namespace {

class EngineFileTest : public ::testing::Test {
protected:
    QString path(const QString& name) const { return dir.filePath(name); }
    void write(const QString& name, const QByteArray& bytes) {
        QFile f(path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    void savePicture(const QString& name, const Picture& pic, codecs::Format format = codecs::Bmp) {
        Error err = Error::None;
        ASSERT_TRUE(codecs::saveFile(path(name), format, pic, codecs::EncodeOptions(), err)) << int(err);
    }
    QTemporaryDir dir;
    ImageEngine e;
};

}  // namespace

TEST_F(EngineFileTest, FailedLoadKeepsTheCurrentPictureAndSaysWhy) {
    const Picture shown = makeTestPicture(13, 9, 8);
    e.SetImageHandle(PictureStore::instance().add(shown));
    const quint32 h = e.ImageHandle();
    write("garbage.bmp", QByteArray("this is no picture at all"));
    write("truncated.bmp", QByteArray("BM\x40\0\0\0", 6));

    struct Case { QString file; Error why; };
    for (const Case& c : {Case{path("missing.png"), Error::FileMissing}, Case{path("garbage.bmp"), Error::UnknownFormat},
                          Case{dir.path(), Error::FileMissing}, Case{QString(), Error::FileMissing}}) {
        e.File().FileName = c.file;
        e.File().Comment = QStringLiteral("kept");
        EXPECT_FALSE(e.File().LoadFile(0)) << c.file.toStdString();
        EXPECT_EQ(e.ErrorNumber(), int(c.why)) << c.file.toStdString();
        EXPECT_EQ(e.ImageHandle(), h);
        EXPECT_TRUE(samePixels(*e.current(), shown));
        EXPECT_EQ(e.File().Comment, QStringLiteral("kept"));
    }
    e.File().FileName = path("truncated.bmp");
    EXPECT_FALSE(e.File().LoadFile(0));
    EXPECT_NE(e.ErrorNumber(), 0);
    EXPECT_EQ(e.ImageHandle(), h);
}

TEST_F(EngineFileTest, LoadReplacesThePictureAndReadsItsInformation) {
    const int base = PictureStore::instance().count();
    const Picture a = makeTestPicture(17, 5, 4), b = makeTestPicture(6, 9, 32);
    savePicture("a.bmp", a);
    savePicture("b.bmp", b);
    QSignalSpy started(&e, &ImageEngine::longOperationStarted), finished(&e, &ImageEngine::longOperationFinished);
    e.File().FileName = path("a.bmp");
    ASSERT_TRUE(e.File().LoadFile(0));
    ASSERT_TRUE(e.File().LoadFileInfo());
    EXPECT_EQ(e.File().InfoWidth, 17);
    EXPECT_EQ(e.File().InfoBits, 4);
    EXPECT_EQ(e.File().InfoFormat, int(codecs::Bmp));
    EXPECT_TRUE(samePixels(*e.current(), a));
    EXPECT_EQ(started.count(), finished.count());
    EXPECT_GE(started.count(), 1);

    e.File().FileName = path("b.bmp");
    ASSERT_TRUE(e.File().LoadFile(0));
    EXPECT_EQ(PictureStore::instance().count(), base + 1);  // the first picture was released
    e.ReadImageInfo();
    EXPECT_EQ(e.BitCount(), 32);

    // Information about a file that is not the one shown.
    e.File().FileName = path("a.bmp");
    ASSERT_TRUE(e.File().LoadFileInfo());
    EXPECT_EQ(e.File().InfoWidth, 17);
    EXPECT_EQ(e.File().InfoHeight, 5);
    EXPECT_EQ(e.current()->width(), 6);  // the current picture is untouched
    e.File().FileName = path("nothing.bmp");
    EXPECT_FALSE(e.File().LoadFileInfo());
    EXPECT_EQ(e.ErrorNumber(), int(Error::FileMissing));
}

TEST_F(EngineFileTest, SaveWritesTheCurrentOrAGivenPicture) {
    const Picture shown = makeTestPicture(19, 7, 24), other = makeTestPicture(3, 3, 8);
    e.SetImageHandle(PictureStore::instance().add(shown));
    const quint32 h = PictureStore::instance().add(other);

    e.File().FileName = path("shown.bmp");
    ASSERT_TRUE(e.File().SaveFile(0, 0));
    e.File().FileName = path("other.bmp");
    ASSERT_TRUE(e.File().SaveFile(0, h));
    codecs::Decoded d;
    Error err;
    ASSERT_TRUE(codecs::decodeFile(path("shown.bmp"), d, err));
    EXPECT_TRUE(samePixels(d.picture, shown));
    ASSERT_TRUE(codecs::decodeFile(path("other.bmp"), d, err));
    EXPECT_TRUE(samePixels(d.picture, other));

    EXPECT_FALSE(e.File().SaveFile(3, 0));  // no such format code
    EXPECT_EQ(e.ErrorNumber(), int(Error::BadArgument));
    EXPECT_FALSE(e.File().SaveFile(0, 0xDEAD0000u));
    EXPECT_EQ(e.ErrorNumber(), int(Error::BadHandle));
    e.File().FileName = path("no/such/folder/x.bmp");
    EXPECT_FALSE(e.File().SaveFile(0, 0));
    EXPECT_EQ(e.ErrorNumber(), int(Error::WriteFailed));
    PictureStore::instance().remove(h);
}

TEST_F(EngineFileTest, JpegQualityAndCommentReachTheFile) {
    e.SetImageHandle(PictureStore::instance().add(makeTestPicture(64, 48, 24)));
    e.File().Comment = QStringLiteral("ｺﾒﾝﾄ");
    e.File().FileName = path("low.jpg");
    e.File().JpegQuality = 10;
    ASSERT_TRUE(e.File().SaveFile(codecs::Jpeg, 0));
    e.File().FileName = path("high.jpg");
    e.File().JpegQuality = 500;  // clamped to 100
    ASSERT_TRUE(e.File().SaveFile(codecs::Jpeg, 0));
    EXPECT_LT(QFile(path("low.jpg")).size(), QFile(path("high.jpg")).size());
    e.File().FileName = path("low.jpg");
    ASSERT_TRUE(e.File().LoadFileInfo());
    EXPECT_EQ(e.File().InfoFormat, int(codecs::Jpeg));

    ImageEngine reader;
    reader.File().FileName = path("low.jpg");
    ASSERT_TRUE(reader.File().LoadFile(0));
    ASSERT_TRUE(reader.File().LoadFileInfo());
    EXPECT_EQ(reader.File().Comment, QStringLiteral("ｺﾒﾝﾄ"));
}

TEST_F(EngineFileTest, SaveDialogGoesThroughThePromptLayer) {
    platform::ScriptedPrompt prompt;
    platform::ScopedPrompt scoped(&prompt);
    e.File().FileName = path("Wrk.jpg");
    e.File().SaveFilter = QStringLiteral("BMP;JPG;GIF;TIF;PCX;FPX;PNG");
    EXPECT_FALSE(e.File().ShowSaveDialog());  // cancelled
    EXPECT_EQ(e.ErrorNumber(), int(Error::Cancelled));
    EXPECT_EQ(e.File().FileName, path("Wrk.jpg"));
    prompt.saveNames.push_back(path("chosen.png"));
    EXPECT_TRUE(e.File().ShowSaveDialog());
    EXPECT_EQ(e.File().FileName, path("chosen.png"));
    EXPECT_EQ(prompt.saveInitialPaths, (QStringList{path("Wrk.jpg"), path("Wrk.jpg")}));
}

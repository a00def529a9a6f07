// The file's metadata and the lossless JPEG save through the control's
// history: undo files hold pixels only, the control keeps the rest.
#include "control_fixture.h"
#include "support/codec_test_support.h"
#include "support/metadata_test_support.h"

#include <QFile>

using namespace controltest;
using namespace testsupport;

TEST_F(ControlTest, MetadataAndTheLosslessSaveSurviveUndoAndRevert) {
    REQUIRE_BMP();
    REQUIRE_OPS();
    if (!haveTool(QStringLiteral("exiftool")))
        GTEST_SKIP() << "exiftool is not installed";
    const QByteArray source =
        withSegments(turboJpeg(64, 48, 95), {exifSegment(1, 64, 48, true), iccSegment(testProfile())});
    QString path = pics + QStringLiteral("camera.jpg");
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(source);
    }
    ctl->pcOpen(0, path, false);
    ASSERT_EQ(ctl->prFile(), path);

    // A turn, then a trim off the block grid that is taken back.
    ctl->pcAct(QStringLiteral("回転"), QStringLiteral("右90度"));
    select(3, 5, 30, 40);
    ctl->pcAct(QStringLiteral("画像編集"), QStringLiteral("ﾄﾘﾐﾝｸﾞ"));
    ctl->pcAct(QStringLiteral("画像編集"), QStringLiteral("編集を一つ戻す"));
    ASSERT_EQ(current().width(), 48);

    const QString turned = pics + QStringLiteral("turned.jpg");
    prompt.saveNames.push_back(turned);
    ctl->pcAct(QStringLiteral("ﾌｧｲﾙ"), QStringLiteral("名前を付けて保存"));
    ASSERT_TRUE(prompt.messages.isEmpty()) << prompt.messages.join(QChar('|')).toStdString();
    EXPECT_NE(firstQuantTable(readAll(turned)), firstQuantTable(turboJpeg(16, 16, 85)))
        << "saved without a new compression";
    auto tags = exiftool(turned);
    EXPECT_EQ(tags.value("IFD0:Make"), "TolvaneCam");
    EXPECT_EQ(tags.value("ICC_Profile:ProfileDescription"), "Tolvane test RGB");
    EXPECT_EQ(tags.value("ExifIFD:ExifImageWidth"), "48");
    EXPECT_FALSE(tags.contains("IFD1:ThumbnailImage"));

    // A highlight given up by going back to the file as loaded (the turned
    // one), then a turn back: the original's blocks again.
    select(0, 0, 16, 16);
    ctl->pcAct(QStringLiteral("画像編集"), QStringLiteral("強調"));
    ctl->pcAct(QStringLiteral("画像編集"), QStringLiteral("読込時に戻す"));
    ctl->pcAct(QStringLiteral("回転"), QStringLiteral("左90度"));
    const QString back = pics + QStringLiteral("back.jpg");
    prompt.saveNames.push_back(back);
    ctl->pcAct(QStringLiteral("ﾌｧｲﾙ"), QStringLiteral("名前を付けて保存"));
    EXPECT_EQ(dctCoefficients(readAll(back)), dctCoefficients(source));
    EXPECT_EQ(exiftool(back).value("ICC_Profile:ProfileDescription"), "Tolvane test RGB");

    // Highlighting changes pixels: the save compresses again, and still keeps the metadata.
    select(0, 0, 16, 16);
    ctl->pcAct(QStringLiteral("画像編集"), QStringLiteral("強調"));
    const QString highlighted = pics + QStringLiteral("highlighted.jpg");
    prompt.saveNames.push_back(highlighted);
    ctl->pcAct(QStringLiteral("ﾌｧｲﾙ"), QStringLiteral("名前を付けて保存"));
    EXPECT_EQ(firstQuantTable(readAll(highlighted)), firstQuantTable(turboJpeg(16, 16, 85)));
    EXPECT_EQ(exiftool(highlighted).value("IFD0:Make"), "TolvaneCam");
}

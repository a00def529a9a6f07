// File names that are not UTF-8: decoded so that they convert back to the same
// bytes, and opened, written and found under those bytes.
#include "engine/codecs/codecs.h"
#include "platform/file_names.h"
#include "platform/file_replace.h"
#include "support/sandbox.h"
#include "support/test_support.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(FileNames, EveryByteSequenceComesBackAsItWasAndUtf8AsQtReadsIt) {
    const QList<QByteArray> names = {
        "plain.png", "\xe5\x86\x99\xe7\x9c\x9f.png" /* 写真 */, "\xf0\x90\x82\x80" /* U+10080 */,
        "\xff\xfe", "a\x82\xa0" "b" /* Shift-JIS */, "\xe5\x86" /* cut short */, "\xc0\xaf" /* overlong */,
        "\xed\xa0\x80" /* an encoded surrogate */, "\xed\xb2\x80", "\xf4\x90\x80\x80" /* past U+10FFFF */};
    for (const QByteArray& name : names) {
        const QString text = platform::decodeFileName(name);
        EXPECT_EQ(platform::encodeFileName(text), name) << name.toHex().constData();
        if (QString::fromUtf8(name).toUtf8() == name)
            EXPECT_EQ(text, QFile::decodeName(name)) << name.toHex().constData();
    }
    // Text from elsewhere (never decoded from bytes) converts as Qt converts it.
    const QString typed = QStringLiteral("写真\U00010080.png");
    EXPECT_EQ(platform::encodeFileName(typed), QFile::encodeName(typed));

    const char* argv[] = {"tolvane", "in-\xff.png", "--save", "\x82\xa0.png"};
    const QStringList args = platform::decodeArguments(4, argv);
    ASSERT_EQ(args.size(), 3);
    EXPECT_EQ(platform::encodeFileName(args[0]), "in-\xff.png");
    EXPECT_EQ(args[1], QStringLiteral("--save"));
    EXPECT_EQ(platform::encodeFileName(args[2]), "\x82\xa0.png");
}

TEST(FileNames, ANameThatIsNotUtf8IsWrittenReadAndFoundByteForByte) {
    QTemporaryDir dir;
    const QByteArray rawName = "\xff\xfe-\x82\xa0.bmp";
    const QByteArray folder = QFile::encodeName(dir.path());
    const QString path = platform::decodeFileName(folder + '/' + rawName);
    engine::Error err = engine::Error::None;
    const engine::Picture pic = testsupport::makeTestPicture(5, 3, 24);
    ASSERT_TRUE(engine::codecs::saveFile(path, engine::codecs::Bmp, pic, {}, err));
    ASSERT_TRUE(engine::codecs::saveFile(path, engine::codecs::Bmp, pic, {}, err));  // and over it again
    EXPECT_EQ(platform::fileKind(path), platform::FileKind::Regular);

    EXPECT_EQ(testsupport::rawNames(folder), QList<QByteArray>{rawName});

    engine::codecs::Decoded back;
    ASSERT_TRUE(engine::codecs::decodeFile(path, back, err));
    EXPECT_TRUE(testsupport::samePixels(back.picture, pic));
}

// A folder's entries come back under names that open those very files and
// folders, and canonicalPath and makeFolders keep the bytes too.
TEST(FileNames, FolderListingsPathsAndNewFoldersKeepNamesThatAreNotUtf8) {
    QTemporaryDir dir;
    const QByteArray base = QFile::encodeName(dir.path());
    const QString sub = platform::decodeFileName(base + "/sub-\x82\xa0");
    ASSERT_TRUE(platform::makeFolders(sub + platform::decodeFileName("/deeper-\xff")));
    EXPECT_EQ(testsupport::rawNames(base), QList<QByteArray>({"sub-\x82\xa0"}));
    EXPECT_EQ(testsupport::rawNames(base + "/sub-\x82\xa0"), QList<QByteArray>({"deeper-\xff"}));
    EXPECT_TRUE(platform::makeFolders(sub)) << "a folder that is there";

    engine::Error err = engine::Error::None;
    const engine::Picture pic = testsupport::makeTestPicture(4, 3, 24);
    for (const QByteArray name : {QByteArray("\xff\xfe.bmp"), QByteArray("plain.bmp"), QByteArray(".hidden.bmp")})
        ASSERT_TRUE(engine::codecs::saveFile(sub + '/' + platform::decodeFileName(name), engine::codecs::Bmp, pic, {}, err));

    QStringList files = platform::folderEntries(sub, platform::FileKind::Regular);
    files.sort();
    ASSERT_EQ(files.size(), 2) << "the hidden file is left out";
    EXPECT_EQ(platform::encodeFileName(files[1]), "\xff\xfe.bmp");
    engine::codecs::Decoded back;
    ASSERT_TRUE(engine::codecs::decodeFile(sub + '/' + files[1], back, err));
    EXPECT_TRUE(testsupport::samePixels(back.picture, pic));
    const QStringList folders = platform::folderEntries(sub, platform::FileKind::Folder);
    ASSERT_EQ(folders.size(), 1);
    EXPECT_EQ(platform::encodeFileName(folders[0]), "deeper-\xff");

    EXPECT_EQ(platform::encodeFileName(platform::canonicalPath(sub + "/./" + files[1])),
              QFile::encodeName(QFileInfo(dir.path()).canonicalFilePath()) + "/sub-\x82\xa0/\xff\xfe.bmp");
    EXPECT_TRUE(platform::canonicalPath(sub + "/missing").isEmpty());
}

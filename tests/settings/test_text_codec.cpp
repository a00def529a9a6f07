// CP932 conversion: the code page the settings file is stored in.
#include "platform/text_codec.h"

#include <gtest/gtest.h>

namespace {

TEST(TextCodec, HalfWidthKatakanaAndKanjiMatchTheCodePage) {
    QString katakana;
    QByteArray singleBytes;
    for (int b = 0xA1; b <= 0xDF; ++b) {
        katakana += QChar(0xFF61 + (b - 0xA1));
        singleBytes += char(b);
    }
    bool lossless = false;
    EXPECT_EQ(platform::toCp932(katakana, &lossless), singleBytes);
    EXPECT_TRUE(lossless);
    EXPECT_EQ(platform::fromCp932(singleBytes), katakana);
    // "表" has 0x5C, the byte of "\", as its second byte.
    EXPECT_EQ(platform::toCp932(QStringLiteral("表示\\~")), QByteArray("\x95\x5c\x8e\xa6\\~"));
    EXPECT_EQ(platform::fromCp932("\x95\x5c\x8e\xa6\\~"), QStringLiteral("表示\\~"));
    EXPECT_EQ(platform::toCp932(QStringLiteral("‡\u3000")), QByteArray("\x81\xf6\x81\x40"));
}

TEST(TextCodec, TextOutsideTheCodePage) {
    bool lossless = true;
    EXPECT_EQ(platform::toCp932(QStringLiteral("aé😀b"), &lossless), QByteArray("a??b"));
    EXPECT_FALSE(lossless);
    // A lead byte without its trail byte, at the end and in the middle.
    EXPECT_EQ(platform::fromCp932("ab\x81", &lossless), QStringLiteral("ab\uFFFD"));
    EXPECT_FALSE(lossless);
    EXPECT_EQ(platform::fromCp932("\x81\x0a" "c"), QStringLiteral("\uFFFD\nc"));
    EXPECT_EQ(platform::fromCp932(QByteArray()), QString());
    EXPECT_EQ(platform::toCp932(QString()), QByteArray());
}

TEST(TextCodec, DefinitionFilesAreUtf8WhenValidElseCp932) {
    EXPECT_TRUE(platform::isValidUtf8(QByteArray()));
    EXPECT_TRUE(platform::isValidUtf8("/home/\xe5\x86\x99\xe7\x9c\x9f"));
    EXPECT_FALSE(platform::isValidUtf8("/home/\x8e\xca\x90\x5e"));
    EXPECT_FALSE(platform::isValidUtf8("\xc0\xaf"));  // overlong "/"
    EXPECT_EQ(platform::fromUtf8OrCp932("\xef\xbb\xbf%app%"), QStringLiteral("%app%"));
    EXPECT_EQ(platform::fromUtf8OrCp932("/home/\x8e\xca\x90\x5e"), QStringLiteral("/home/写真"));
    EXPECT_EQ(platform::fromUtf8OrCp932("/home/\xe5\x86\x99\xe7\x9c\x9f"), QStringLiteral("/home/写真"));
}

}  // namespace

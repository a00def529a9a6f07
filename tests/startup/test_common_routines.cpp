// The common routines of Usr: base name, existence tests, cutting and
// separators.
#include "startup/usr.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

TEST(BaseName, DevelopmentSuffixIsDroppedInAnyCase) {
    EXPECT_EQ(Usr::baseName(QStringLiteral("/opt/tolvane/tolvane")), QStringLiteral("tolvane"));
    EXPECT_EQ(Usr::baseName(QStringLiteral("/opt/tolvane/tolvane_DV")), QStringLiteral("tolvane"));
    EXPECT_EQ(Usr::baseName(QStringLiteral("/opt/tolvane/tolvane_dv")), QStringLiteral("tolvane"));
    EXPECT_EQ(Usr::baseName(QStringLiteral("/opt/tolvane/tolvane_Dv.exe")), QStringLiteral("tolvane"));
    EXPECT_EQ(Usr::baseName(QStringLiteral("C:/Tools/Tolvane.EXE")), QStringLiteral("Tolvane"));
    // "dv" without the underscore, or "_dv" not at the end, is part of the name.
    EXPECT_EQ(Usr::baseName(QStringLiteral("/opt/tolvanedv")), QStringLiteral("tolvanedv"));
    EXPECT_EQ(Usr::baseName(QStringLiteral("/opt/tol_dvane")), QStringLiteral("tol_dvane"));
    EXPECT_EQ(Usr::baseName(QStringLiteral("/opt/_dv")), QString());
    // A dot in a program name here is not an extension.
    EXPECT_EQ(Usr::baseName(QStringLiteral("/opt/tolvane-1.2")), QStringLiteral("tolvane-1.2"));
}

TEST(ExistenceTests, EmptyPathIsFalseWithoutTheFileSystemObject) {
    Usr::releaseFs();
    EXPECT_FALSE(Usr::F_FldExists(QString()));
    EXPECT_FALSE(Usr::F_FileExists(QString()));
    EXPECT_FALSE(Usr::fsCreated());

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString file = dir.filePath(QStringLiteral("a.bmp"));
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    EXPECT_TRUE(Usr::F_FldExists(dir.path()));
    EXPECT_TRUE(Usr::fsCreated());
    EXPECT_TRUE(Usr::F_FldExists(dir.path() + QChar('/')));
    EXPECT_FALSE(Usr::F_FldExists(file));
    EXPECT_TRUE(Usr::F_FileExists(file));
    EXPECT_FALSE(Usr::F_FileExists(dir.path()));
    EXPECT_FALSE(Usr::F_FileExists(dir.filePath(QStringLiteral("missing.bmp"))));
}

TEST(CutAt, CutsBeforeTheFirstDelimiter) {
    QString caption = QStringLiteral("ﾌｧｲﾙを開く(&O)");
    Usr::CutAt(caption, QStringLiteral("(&"));
    EXPECT_EQ(caption, QStringLiteral("ﾌｧｲﾙを開く"));

    QString untouched = QStringLiteral("終了");
    Usr::CutAt(untouched, QStringLiteral("(&"));
    EXPECT_EQ(untouched, QStringLiteral("終了"));

    QString first = QStringLiteral("\t/home/me/a.bmp\tmore\t");
    Usr::CutAt(first, QStringLiteral("\t"));
    EXPECT_EQ(first, QString());

    QString twice = QStringLiteral("a.bmp\tb\tc");
    Usr::CutAt(twice, QStringLiteral("\t"));
    EXPECT_EQ(twice, QStringLiteral("a.bmp"));

    QString caseSensitive = QStringLiteral("abcABC");
    Usr::CutAt(caseSensitive, QStringLiteral("B"));
    EXPECT_EQ(caseSensitive, QStringLiteral("abcA"));
}

TEST(AddSep, AppendsTheSeparatorOnce) {
    QString sep = QStringLiteral("/");
    QString path = QStringLiteral("/home/me");
    Usr::AddSep(path, sep);
    EXPECT_EQ(path, QStringLiteral("/home/me/"));
    Usr::AddSep(path, sep);
    EXPECT_EQ(path, QStringLiteral("/home/me/"));

    QString empty;
    QString none;
    Usr::AddSep(empty, none);
    EXPECT_EQ(none, QStringLiteral("/"));  // handed back to the caller
    EXPECT_EQ(empty, QStringLiteral("/"));

    QString list = QStringLiteral("80.16");
    QString dot = QStringLiteral(".");
    Usr::AddSep(list, dot);
    EXPECT_EQ(list, QStringLiteral("80.16."));

    QString multi = QStringLiteral("a;");
    QString pair = QStringLiteral(";;");
    Usr::AddSep(multi, pair);
    EXPECT_EQ(multi, QStringLiteral("a;;;"));
}

}  // namespace

// Help and address shortcuts, the program's "Open With" entry, and opening or
// exploring folders, with the shell recording instead of launching.
#include "platform/prompt.h"
#include "platform/shell.h"
#include "settings/yini.h"
#include "startup/usr.h"
#include "support/user_env.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using platform::RecordingShell;
using testsupport::UserEnv;

namespace {

class ShellIntegration : public ::testing::Test {
protected:
    UserEnv env;
    platform::ScriptedPrompt prompt;
    platform::ScopedPrompt scopedPrompt{&prompt};
    RecordingShell shell;
    platform::ScopedShell scopedShell{&shell};

    void SetUp() override {
        ASSERT_TRUE(env.ok());
        Usr::sUsrFd = env.root() + QStringLiteral("/user/");
        ASSERT_TRUE(QDir().mkpath(Usr::sUsrFd + QStringLiteral("Wrk")));
    }
    QString helpFile() const { return Usr::sUsrFd + QStringLiteral("tolvane_help.desktop"); }
};

TEST_F(ShellIntegration, HelpWritesALinkToTheLowerCasedTopicAndOpensIt) {
    Usr::oIni().W_Help(QStringLiteral("TOLVANE"));
    EXPECT_EQ(UserEnv::readFile(helpFile()), "[Desktop Entry]\n"
                                             "Type=Link\n"
                                             "Name=tolvane_help\n"
                                             "URL=https://quillon.example.com/tolvane/tolvane.htm\n");
    ASSERT_EQ(shell.requests.size(), 1u);
    EXPECT_EQ(shell.requests[0], (RecordingShell::Request{QStringLiteral("open"), helpFile()}));

    // An extension is kept; the second call replaces the same file.
    Usr::oIni().W_Help(QStringLiteral("Guide/Edit.HTML"));
    EXPECT_EQ(platform::desktopEntryTarget(UserEnv::readFile(helpFile())).url,
              QStringLiteral("https://quillon.example.com/tolvane/guide/edit.html"));
    EXPECT_EQ(QDir(Usr::sUsrFd).entryList(QDir::Files), QStringList{QStringLiteral("tolvane_help.desktop")});
    ASSERT_EQ(shell.requests.size(), 2u);
    EXPECT_EQ(shell.requests[1].target, helpFile());
    EXPECT_TRUE(prompt.messages.isEmpty());
    EXPECT_TRUE(yIni::homePage().endsWith(QChar('/')));
}

TEST_F(ShellIntegration, AddressShortcutGoesToTheWorkFolderUnchanged) {
    const QString url = QStringLiteral("https://Example.com/A Page?x=1&y=%20");
    Usr::oIni().W_HtmView(url);
    const QString link = Usr::sUsrFd + QStringLiteral("Wrk/htm_view.desktop");
    const auto target = platform::desktopEntryTarget(UserEnv::readFile(link));
    EXPECT_EQ(target.kind, platform::DesktopEntryTarget::Link);
    EXPECT_EQ(target.url, url);
    ASSERT_EQ(shell.requests.size(), 1u);
    EXPECT_EQ(shell.requests[0], (RecordingShell::Request{QStringLiteral("open"), link}));
}

TEST_F(ShellIntegration, ShortcutErrorsEndSilently) {
    Usr::sUsrFd = env.root() + QStringLiteral("/missing/");
    Usr::oIni().W_Help(QStringLiteral("tolvane.htm"));
    Usr::oIni().W_HtmView(QStringLiteral("https://example.com/"));
    // The help shortcut's name is taken by a folder.
    Usr::sUsrFd = env.root() + QStringLiteral("/user/");
    QDir().mkpath(helpFile());
    Usr::oIni().W_Help(QStringLiteral("tolvane.htm"));
    EXPECT_TRUE(QFileInfo(helpFile()).isDir());
    // The applications folder cannot be made.
    UserEnv::writeFile(env.applications(), "a file in the way");
    Usr::oIni().W_SendTo();
    EXPECT_TRUE(shell.requests.empty());
    EXPECT_TRUE(prompt.messages.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(env.root() + QStringLiteral("/missing")));
}

TEST_F(ShellIntegration, SendToPutsTheProgramUnderOpenWithAndConfirms) {
    ASSERT_FALSE(QFileInfo::exists(env.applications()));  // a fresh account
    Usr::oIni().W_SendTo();
    const QString entry = env.applications() + QStringLiteral("/tolvane.desktop");
    const QByteArray content = UserEnv::readFile(entry);
    // The program folder holds a space, so the program is quoted.
    EXPECT_EQ(content, "[Desktop Entry]\n"
                       "Type=Application\n"
                       "Name=Tolvane\n"
                       "Exec=\"" + env.programPath().toUtf8() + "\" %f\n"
                       "MimeType=image/bmp;image/jpeg;image/gif;image/tiff;image/png;image/x-pcx;"
                       "image/vnd.zbrush.pcx;image/vnd.fpx;"
                       "image/webp;image/avif;image/heic;image/heif;image/jxl;image/jp2;image/x-jp2-codestream;\n"
                       "Terminal=false\n"
                       "Categories=Graphics;RasterGraphics;\n");
    const auto target = platform::desktopEntryTarget(content);
    EXPECT_EQ(target.kind, platform::DesktopEntryTarget::Application);
    EXPECT_EQ(target.command, QStringList{env.programPath()});
    const QString confirmation =
        env.programPath() + QStringLiteral(" のｼｮｰﾄｶｯﾄを ") + env.applications() + QStringLiteral(" に作成しました");
    EXPECT_EQ(prompt.messages, QStringList{confirmation});

    UserEnv::writeFile(entry, "stale");
    Usr::oIni().W_SendTo();
    EXPECT_EQ(UserEnv::readFile(entry), content);
    EXPECT_EQ(prompt.messages, QStringList({confirmation, confirmation}));
    EXPECT_TRUE(shell.requests.empty());
}

TEST_F(ShellIntegration, ExploreOrOpenAFolder) {
    yIni& ini = Usr::oIni();
    const QString file = env.root() + QStringLiteral("/a.bmp");
    UserEnv::writeFile(file, "BM");
    ini.W_ExpFd(QString(), true);
    ini.W_ExpFd(QString(), false);
    ini.W_ExpFd(file, false);  // not a folder: nothing
    ini.W_ExpFd(env.root() + QStringLiteral("/missing"), false);
    EXPECT_TRUE(shell.requests.empty());

    ini.W_ExpFd(Usr::sUsrFd, false);
    ini.W_ExpFd(file, true);
    ini.W_ExpFd(QStringLiteral("relative/or missing"), true);  // handed over unchanged
    const std::vector<RecordingShell::Request> expected = {
        {QStringLiteral("explore"), Usr::sUsrFd},
        {QStringLiteral("open"), file},
        {QStringLiteral("open"), QStringLiteral("relative/or missing")},
    };
    EXPECT_EQ(shell.requests, expected);
}

TEST_F(ShellIntegration, HelpOpensTheCopyShippedWithTheProgram) {
    yIni& ini = Usr::oIni();
    // An installation: the program in <prefix>/libexec/tolvane, its help in
    // <prefix>/share/tolvane/help.
    const QString prefix = env.root() + QStringLiteral("/prefix");
    ini.programFolder = prefix + QStringLiteral("/libexec/tolvane/");
    QDir().mkpath(ini.programFolder);
    const QString installed = prefix + QStringLiteral("/share/tolvane/help/tolvane.htm");

    // Nowhere to be found: said with the path it should have, nothing opened.
    ini.W_HelpFile(QStringLiteral("tolvane.htm"));
    EXPECT_TRUE(shell.requests.empty());
    ASSERT_EQ(prompt.messages.size(), 1);
    EXPECT_EQ(prompt.messages[0], installed + QStringLiteral("\rﾍﾙﾌﾟﾌｧｲﾙが見つかりません"));

    UserEnv::writeFile(installed, "<html></html>");
    ini.W_HelpFile(QStringLiteral("TOLVANE"));  // a topic as W_Help takes it
    ASSERT_EQ(shell.requests.size(), 1u);
    EXPECT_EQ(shell.requests[0], (RecordingShell::Request{QStringLiteral("open"), installed}));

    // A build tree keeps its copy beside the program; that one comes first.
    const QString beside = ini.programFolder + QStringLiteral("help/tolvane.htm");
    UserEnv::writeFile(beside, "<html></html>");
    EXPECT_EQ(ini.helpFilePath(QStringLiteral("tolvane.htm")), beside);

    // Nothing on the desktop can open it: the user is told where it is.
    shell.result = false;
    ini.W_HelpFile(QStringLiteral("tolvane.htm"));
    ASSERT_EQ(shell.requests.size(), 2u);
    EXPECT_EQ(shell.requests[1].target, beside);
    ASSERT_EQ(prompt.messages.size(), 2);
    EXPECT_TRUE(prompt.messages[1].endsWith(QStringLiteral("\r") + beside)) << prompt.messages[1].toStdString();
    EXPECT_TRUE(prompt.messages[1].startsWith(QStringLiteral("ﾍﾙﾌﾟを開けるﾌﾟﾛｸﾞﾗﾑがありません")));
    // The web help keeps the program's address and writes no file here.
    EXPECT_FALSE(QFileInfo::exists(Usr::sUsrFd + QStringLiteral("tolvane_help.desktop")));
}

// The desktop's opener, replaced by a script on the search path.
class DesktopOpener : public ::testing::Test {
protected:
    QTemporaryDir bin;
    QByteArray oldPath = qgetenv("PATH");
    platform::ScopedShell desktop{nullptr};

    void SetUp() override {
        ASSERT_TRUE(bin.isValid());
        qputenv("PATH", bin.path().toLocal8Bit() + ':' + oldPath);
    }
    void TearDown() override { qputenv("PATH", oldPath); }
    void opener(const QByteArray& body) {
        const QString path = bin.filePath(QStringLiteral("xdg-open"));
        UserEnv::writeFile(path, "#!/bin/sh\n" + body);
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
};

TEST_F(DesktopOpener, AnOpenerThatFindsNothingIsAFailure) {
    const QString page = bin.filePath(QStringLiteral("page.htm"));
    UserEnv::writeFile(page, "<html></html>");
    const QString seen = bin.filePath(QStringLiteral("seen"));

    // xdg-open's answer when no program handles the file.
    opener("echo \"$1\" > '" + seen.toUtf8() + "'\nexit 3\n");
    EXPECT_FALSE(platform::shell().open(page));
    EXPECT_EQ(UserEnv::readFile(seen).trimmed(), page.toUtf8());

    opener("exit 0\n");
    EXPECT_TRUE(platform::shell().open(page));

    // An opener still busy with the program it started has found one; the
    // call does not wait for it to end.
    opener("sleep 4\nexit 1\n");
    EXPECT_TRUE(platform::shell().open(page));
}

TEST(DesktopEntry, ExecArgumentsSurviveTheirEscapes) {
    const QStringList awkward = {
        QStringLiteral("/opt/plain/tolvane"),  QStringLiteral("/opt/with space/tolvane"),
        QStringLiteral("/opt/$HOME/`x`"),     QStringLiteral("/opt/back\\slash/\"q\""),
        QStringLiteral("/opt/100%/tolvane"),  QStringLiteral("/opt/new\nline/t;a&b|c"),
        QStringLiteral("/opt/写真/ﾂｰﾙ"),
    };
    for (const QString& program : awkward) {
        const QByteArray content = "[Desktop Entry]\nType=Application\nExec=" +
                                   platform::desktopEntryValue(platform::desktopExecArgument(program) +
                                                               QStringLiteral(" %f")).toUtf8() +
                                   "\n";
        EXPECT_FALSE(content.count('\n') > 3) << program.toStdString();  // the value stays on its line
        const auto target = platform::desktopEntryTarget(content);
        EXPECT_EQ(target.command, QStringList{program}) << content.toStdString();
    }
}

TEST(DesktopEntry, OnlyTheDesktopEntryGroupCounts) {
    const auto link = platform::desktopEntryTarget("# comment\n[Other]\nURL=https://wrong/\n"
                                                   "[Desktop Entry]\r\nType=Link\r\nURL = https://right/\r\n"
                                                   "[Desktop Action x]\nURL=https://wrong-too/\n");
    EXPECT_EQ(link.kind, platform::DesktopEntryTarget::Link);
    EXPECT_EQ(link.url, QStringLiteral("https://right/"));
    EXPECT_EQ(platform::desktopEntryTarget("[Desktop Entry]\nType=Link\n").kind, platform::DesktopEntryTarget::None);
    EXPECT_EQ(platform::desktopEntryTarget("not an entry at all").kind, platform::DesktopEntryTarget::None);
    const auto app = platform::desktopEntryTarget("[Desktop Entry]\nType=Application\nExec=gimp -n %U --x=%%f\n");
    EXPECT_EQ(app.command, QStringList({QStringLiteral("gimp"), QStringLiteral("-n"), QStringLiteral("--x=%f")}));
}

}  // namespace

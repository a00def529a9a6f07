// Start-up and the orderly end of a run, in a private user environment.
#include "platform/cursor.h"
#include "platform/prompt.h"
#include "settings/yini.h"
#include "startup/usr.h"
#include "support/test_support.h"
#include "support/user_env.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QSettings>
#include <QWidget>
#include <gtest/gtest.h>

using testsupport::UserEnv;

namespace {

// Notes the state of bRun when the main window is first shown.
class ShowWatcher : public QObject {
public:
    bool seen = false;
    bool runAtShow = false;
    bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() == QEvent::Show && !seen && o == Usr::oMainFm) {
            seen = true;
            runAtShow = Usr::bRun;
        }
        return false;
    }
};

class CloseCounter : public QWidget {
public:
    int* closes;
    explicit CloseCounter(int* c) : closes(c) {}
    void closeEvent(QCloseEvent* e) override {
        ++*closes;
        e->accept();
    }
};

TEST(StartUp, ResolvesTheFoldersAndShowsTheWindowAfterSettingRun) {
    UserEnv env;
    ASSERT_TRUE(env.ok());
    env.writeDefinition("%usr%");
    Usr::oIni().programPath = env.programFolder() + QStringLiteral("tolvane_DV");
    Usr::bRun = false;
    platform::ScriptedPrompt prompt;
    platform::ScopedPrompt scoped(&prompt);
    ShowWatcher watcher;
    qApp->installEventFilter(&watcher);

    ASSERT_TRUE(Usr::StartUp({}));
    qApp->removeEventFilter(&watcher);

    EXPECT_EQ(Usr::sExe, QStringLiteral("tolvane"));
    EXPECT_EQ(Usr::sUsrFd, env.defaultUserFolder());
    EXPECT_EQ(Usr::sApFd, env.programFolder() + QStringLiteral("apData/"));
    EXPECT_TRUE(QFileInfo(Usr::sUsrFd + QStringLiteral("Wrk")).isDir());
    EXPECT_TRUE(QFileInfo(Usr::sUsrFd + QStringLiteral("Temp")).isDir());
    EXPECT_TRUE(Usr::bRun);
    ASSERT_NE(Usr::oMainFm, nullptr);
    EXPECT_TRUE(watcher.seen);
    EXPECT_TRUE(watcher.runAtShow);
    EXPECT_EQ(platform::appPointer(), 0);
    EXPECT_TRUE(prompt.messages.isEmpty()) << prompt.messages.join(QChar('\n')).toStdString();
    testsupport::destroyTopLevelWindows();
    Usr::oMainFm = nullptr;
}

TEST(StartUp, StopsWithAMessageWhenTheWorkFolderCannotBeMade) {
    UserEnv env;
    env.writeDefinition("%app%");
    // A file where the user data folder should be.
    UserEnv::writeFile(env.programFolder() + QStringLiteral("usData"), "in the way");
    Usr::bRun = false;
    platform::ScriptedPrompt prompt;
    platform::ScopedPrompt scoped(&prompt);
    EXPECT_FALSE(Usr::StartUp({}));
    EXPECT_FALSE(Usr::bRun);
    EXPECT_EQ(Usr::oMainFm, nullptr);
    ASSERT_EQ(prompt.messages.size(), 1);
    EXPECT_EQ(prompt.messages[0], QStringLiteral("ﾌｫﾙﾀﾞ ") + env.programFolder() +
                                      QStringLiteral("usData/Wrk/ が作成できません\rTolvane を終了します"));
}

TEST(AppEnd, WritesTheSettingsAndClosesEveryWindowWithoutItsCloseSequence) {
    UserEnv env;
    QDir().mkpath(env.root() + QStringLiteral("/u"));
    const QString file = env.root() + QStringLiteral("/u/User.xml");
    bool ok = false;
    Usr::oIni().GetTxt(file, ok);
    ASSERT_TRUE(ok);
    Usr::oIni().GetGtx(QStringLiteral("画面"));
    Usr::oIni().SetVal(QStringLiteral("LEFT"), 100);
    ASSERT_TRUE(Usr::oIni().SetGtx());

    int closes = 0;
    QPointer<QWidget> main = new CloseCounter(&closes);
    QPointer<QWidget> menus = new CloseCounter(&closes);
    main->show();
    Usr::oMainFm = main;
    Usr::FsInit();

    Usr::AppEnd();

    EXPECT_TRUE(Usr::bEnding);
    EXPECT_TRUE(UserEnv::readFile(file).contains("<LEFT>100</LEFT>"));
    EXPECT_EQ(closes, 0);
    EXPECT_FALSE(Usr::fsCreated());
    EXPECT_EQ(Usr::oMainFm, nullptr);
    ASSERT_TRUE(main);
    EXPECT_FALSE(main->isVisible());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(main);
    EXPECT_FALSE(menus);
    // The settings object was released: the next use starts afresh.
    EXPECT_TRUE(Usr::oIni().sIniFile.isEmpty());
}

}  // namespace

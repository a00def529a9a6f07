#pragma once
// A main window in a temporary user data folder, with every message box and
// dialog answered by script and the end of the program replaced by a counter.
#include "engine/image_engine.h"
#include "engine/picture_store.h"
#include "main_window/fm_main.h"
#include "menus/sp_pic.h"
#include "picture_control/upce.h"
#include "platform/prompt.h"
#include "platform/shell.h"
#include "settings/yini.h"
#include "startup/usr.h"
#include "support/test_support.h"
#include "support/user_env.h"

#include <QAction>
#include <QMenu>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>
#include <utility>
#include <vector>

namespace uitest {

using Command = std::pair<QString, QString>;

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(env.ok());
        Usr::sExe = QStringLiteral("tolvane");
        Usr::sUsrFd = dir.path() + QStringLiteral("/");
        Usr::sLastFd.clear();
        Usr::sPicFd.clear();
        Usr::bLoading = false;
        Usr::bRun = true;
        Usr::releaseIni();
        resetMenus();
    }
    void TearDown() override {
        windows.clear();
        spPic::instance().chooser = nullptr;
        Usr::releaseIni();
        Usr::bRun = false;
        Usr::bLoading = false;
    }

    // A window that records its commands and the end of the program.
    fmMain& makeWindow() {
        auto w = std::make_unique<fmMain>();
        w->appEnd = [this] { ++appEnds; };
        w->commandObserver = [this](const QString& g, const QString& c) { commands.emplace_back(g, c); };
        windows.push_back(std::move(w));
        return *windows.back();
    }
    fmMain& loadedWindow(const QStringList& args = {}) {
        fmMain& w = makeWindow();
        w.load(args);
        commands.clear();
        return w;
    }

    // The menus as first built: everything enabled, no choice recorded.
    static void resetMenus() {
        spPic& m = spPic::instance();
        m.chooser = nullptr;
        m.sGrp.clear();
        m.sCap.clear();
        for (int i : {2, 3, 4}) {
            m.mnJb(i)->menuAction()->setEnabled(true);
            const auto all = m.mnJb(i)->findChildren<QAction*>();
            for (QAction* a : all)
                a->setEnabled(true);
        }
    }

    // Gives the control a picture without going through a file.
    static quint32 givePicture(fmMain& w, int depthCode = 24, int width = 40, int height = 30) {
        const quint32 h = engine::PictureStore::instance().add(testsupport::makeTestPicture(width, height, depthCode));
        w.control().ikImg().SetImageHandle(h);
        return h;
    }

    // Ships a help page beside the program, as a build tree does; returns its path.
    QString shipHelpPage() {
        const QString program = dir.path() + QStringLiteral("/program/");
        const QString page = program + QStringLiteral("help/tolvane.htm");
        testsupport::UserEnv::writeFile(page, "<html></html>");
        Usr::oIni().programFolder = program;
        return page;
    }

    // What a view shows of its picture, as painted: the part inside the view,
    // with where that part lies in the picture (at actual size).
    static QImage shownPicture(engine::ImageEngine& view, QRect* where = nullptr) {
        const QImage all = view.grab().toImage().convertToFormat(QImage::Format_RGB32);  // lays the view out first
        const QRect onScreen = view.pictureRectInView() & QRect(QPoint(0, 0), view.viewGeometry().viewport);
        if (where)
            *where = onScreen.translated(-view.pictureRectInView().topLeft());
        return all.copy(onScreen);
    }

    // A private home for the shell helpers (help page, Send To), which record
    // their requests instead of launching anything.
    testsupport::UserEnv env;
    platform::RecordingShell shell;
    platform::ScopedShell scopedShell{&shell};
    QTemporaryDir dir;
    platform::ScriptedPrompt prompt;
    platform::ScopedPrompt scoped{&prompt};
    std::vector<std::unique_ptr<fmMain>> windows;
    std::vector<Command> commands;
    int appEnds = 0;
};

}  // namespace uitest

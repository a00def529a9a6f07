// The answers to the control's events, the load with a command-line picture,
// the close request and the work folder of a second running copy.
#include "ui_fixture.h"

#include "main_window/info_panel.h"
#include "main_window/work_folder_lock.h"
#include "settings/yini.h"

#include <QDir>
#include <QFileInfo>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QToolButton>

using namespace uitest;

namespace {

QString writeBmp(const QString& path, int depthCode = 24, int width = 21, int height = 13) {
    engine::ImageEngine scratch;
    scratch.SetImageHandle(engine::PictureStore::instance().add(testsupport::makeTestPicture(width, height, depthCode)));
    scratch.File().FileName = path;
    return scratch.File().SaveFile(0) ? path : QString();
}

}  // namespace

TEST_F(MainWindowTest, PictureInformationSetsCaptionPanelAndOptionAndThePreviewFollowsTheOption) {
    fmMain& w = loadedWindow();
    givePicture(w);
    w.opColor(5)->click();
    const quint32 preview = w.ikImg().ImageHandle();
    const struct {
        const char* code;
        int option;
        bool moves;  // the option shown changes
    } rows[] = {{"1.", 0, true},   {"2.", 0, false}, {"4.", 1, true},  {"40.", 2, true},
                {"8.", 3, true},   {"80.", 4, true}, {"16.", 5, true}, {"24.", 6, true},
                {"32.", 7, true},  {"", 0, true},    {"24", 0, false}};
    EXPECT_NE(preview, 0u);
    for (const auto& r : rows) {
        // A load reports the file (which rebuilds) and then the information.
        emit w.control().eStFile("/pics/a.png");
        const quint32 built = w.ikImg().ImageHandle();
        EXPECT_NE(built, preview) << "a new file rebuilds the preview";
        emit w.control().eStPcTyp("/pics/a.png", r.code, "ｲﾒｰｼﾞｻｲｽﾞ:1x1");
        EXPECT_TRUE(w.opColor(r.option)->isChecked()) << r.code;
        EXPECT_EQ(w.slider()->isEnabled(), r.option == 0) << r.code;
        EXPECT_FALSE(Usr::bLoading);
        // The preview always shows the option shown: built again only when
        // the option moved.
        EXPECT_EQ(w.ikImg().ImageHandle() != built, r.moves) << r.code;
    }
    EXPECT_EQ(w.iColCd(), 1);
    EXPECT_EQ(w.windowTitle(), "/pics/a.png");
    EXPECT_EQ(w.ssImg()->caption(), " ｲﾒｰｼﾞｻｲｽﾞ:1x1");
}

TEST_F(MainWindowTest, AnEditRebuildsThePreviewSoTheCommitKeepsIt) {
    fmMain& w = loadedWindow();
    const QString path = writeBmp(dir.path() + "/turn.bmp", 24, 21, 13);
    QString p = path;
    w.control().pcOpen(0, p);
    ASSERT_EQ(w.control().PicWidth(), 21);
    w.opColor(0)->click();  // black and white, previewed from the 21 x 13 picture
    // Turned from the keyboard: no menu rebuild follows, only the control's report.
    w.keyDown(Qt::Key_R, Qt::ControlModifier);
    ASSERT_EQ(w.control().PicWidth(), 13);
    ASSERT_EQ(w.ikImg().current()->image.size(), QSize(13, 21)) << "the preview shows the turned picture";
    w.cmRet()->click();
    EXPECT_EQ(w.control().PicWidth(), 13) << "the commit keeps the turn";
    EXPECT_EQ(w.control().PicHeight(), 21);
    EXPECT_EQ(w.control().sBit(), "24.") << "the option followed the turned 24-bit picture";
}

TEST_F(MainWindowTest, AnEditAfterACancelledOpenStillRebuildsThePreview) {
    fmMain& w = loadedWindow();
    const QString path = writeBmp(dir.path() + "/cancel.bmp", 24, 21, 13);
    QString p = path;
    w.control().pcOpen(0, p);
    w.opColor(6)->click();
    w.keyDown(Qt::Key_R, Qt::ControlModifier);
    ASSERT_EQ(w.control().sEdtMode(), "編集");
    // Ctrl+O, and Cancel to the save question: the file report comes alone.
    prompt.answers.push_back(platform::Cancel);
    w.keyDown(Qt::Key_O, Qt::ControlModifier);
    ASSERT_EQ(prompt.messages.size(), 1);
    w.keyDown(Qt::Key_R, Qt::ControlModifier);
    ASSERT_EQ(w.control().PicWidth(), 21);
    ASSERT_EQ(w.ikImg().current()->image.size(), QSize(21, 13)) << "the preview shows the picture turned back";
    w.cmRet()->click();
    EXPECT_EQ(w.control().PicWidth(), 21) << "the commit keeps the second turn";
    EXPECT_EQ(w.control().PicHeight(), 13);

    // A load still builds its preview once, on the file report.
    quint32 afterFileReport = 0;
    QObject::connect(&w.control(), &uPcE::eStFile, &w, [&] { afterFileReport = w.ikImg().ImageHandle(); });
    prompt.answers.push_back(platform::No);
    p = path;
    w.control().pcOpen(1, p);
    EXPECT_NE(afterFileReport, 0u);
    EXPECT_EQ(w.ikImg().ImageHandle(), afterFileReport);
}

TEST_F(MainWindowTest, EditModeEnablesSaveUndoAndMenus) {
    fmMain& w = loadedWindow();
    spPic& m = w.menus();
    for (int i = 0; i < 6; ++i)
        EXPECT_TRUE(w.imBtn(i)->isEnabled()) << "all buttons start enabled";
    emit w.control().eEdtMode("編集");
    EXPECT_TRUE(w.imBtn(1)->isEnabled());
    EXPECT_TRUE(m.mnEdt(1)->isEnabled());
    emit w.control().eEdtMode("読込");
    EXPECT_FALSE(w.imBtn(1)->isEnabled());
    EXPECT_FALSE(w.imBtn(5)->isEnabled());
    EXPECT_TRUE(w.imBtn(0)->isEnabled());
    EXPECT_FALSE(m.mnFile(2)->isEnabled());
    EXPECT_TRUE(m.mnFile(3)->isEnabled());
    // The same report twice changes nothing the second time.
    w.imBtn(1)->setEnabled(true);
    emit w.control().eEdtMode("読込");
    EXPECT_TRUE(w.imBtn(1)->isEnabled());
    EXPECT_EQ(w.sEdtMd(), "読込");
}

TEST_F(MainWindowTest, SavingWithTheKeyLeavesSaveEnabledAndUndoDisabled) {
    const QString path = writeBmp(dir.path() + "/save.bmp");
    ASSERT_FALSE(path.isEmpty());
    fmMain& w = loadedWindow({path});
    ASSERT_NE(w.control().ImgHandle(), 0u);
    w.keyDown(Qt::Key_R, Qt::ControlModifier);
    EXPECT_EQ(w.control().sEdtMode(), "編集");
    EXPECT_TRUE(w.imBtn(1)->isEnabled());
    EXPECT_TRUE(w.imBtn(5)->isEnabled());
    w.keyDown(Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(w.control().sEdtMode(), "読込");
    EXPECT_TRUE(w.imBtn(1)->isEnabled()) << "the button's own command enables it again";
    EXPECT_FALSE(w.imBtn(5)->isEnabled());
}

TEST_F(MainWindowTest, CommandLinePictureOpensAndItsInformationClearsLoadingEarly) {
    const QString path = writeBmp(dir.path() + "/cmd line.bmp", 8);
    ASSERT_FALSE(path.isEmpty());
    fmMain& w = loadedWindow({"\"" + dir.path() + "/cmd", "line.bmp\"\tmore text"});
    ASSERT_NE(w.control().ImgHandle(), 0u);
    EXPECT_EQ(w.control().prFile(), path);
    EXPECT_EQ(Usr::sLastFd, dir.path() + "/");
    EXPECT_EQ(w.windowTitle(), path);
    EXPECT_TRUE(w.opColor(3)->isChecked());
    // The threshold set-up after the picture ran with loading already cleared,
    // so the preview exists, at the picture's own depth.
    ASSERT_NE(w.ikImg().ImageHandle(), 0u);
    EXPECT_EQ(engine::depthCode(*engine::PictureStore::instance().find(w.ikImg().ImageHandle())), 8);
    EXPECT_FALSE(Usr::bLoading);
    EXPECT_EQ(w.slider()->value(), 50);
}

TEST_F(MainWindowTest, MissingCommandLineFileIsIgnoredQuietly) {
    fmMain& w = loadedWindow({dir.path() + "/nothing.bmp"});
    EXPECT_EQ(w.control().ImgHandle(), 0u);
    EXPECT_TRUE(prompt.messages.isEmpty());
    EXPECT_EQ(w.ikImg().ImageHandle(), 0u);
}

TEST_F(MainWindowTest, OnlyTheUsersCloseAsksAndStores) {
    const QString path = writeBmp(dir.path() + "/close.bmp");
    fmMain& w = loadedWindow({path});
    w.keyDown(Qt::Key_L, Qt::ControlModifier);
    ASSERT_EQ(w.control().sEdtMode(), "編集");

    EXPECT_TRUE(w.queryUnload(false)) << "a close by the program goes through";
    EXPECT_TRUE(prompt.messages.isEmpty());
    EXPECT_EQ(appEnds, 0);

    prompt.answers.push_back(platform::Cancel);
    EXPECT_FALSE(w.queryUnload(true));
    EXPECT_EQ(prompt.messages.size(), 1);
    EXPECT_EQ(appEnds, 0);
    EXPECT_EQ(w.control().sWrkFld(), Usr::sUsrFd + "Wrk/") << "nothing switched off";

    // Quitting from the menu and cancelling keeps running too.
    w.menus().chooser = [&](QMenu*) { return w.menus().mnFile(16); };
    prompt.answers.push_back(platform::Cancel);
    w.lbComClick(1);
    EXPECT_EQ(appEnds, 0);

    prompt.answers.push_back(platform::No);
    EXPECT_TRUE(w.queryUnload(true));
    EXPECT_EQ(appEnds, 1);
    EXPECT_TRUE(w.control().sWrkFld().isEmpty()) << "the control was switched off";
    yIni& ini = Usr::oIni();
    ini.GetGtx("設定");
    EXPECT_EQ(ini.vGtVal("ﾌｫﾙﾀﾞ", QString("?")).toString(), dir.path() + "/");
    EXPECT_EQ(ini.vGtVal("ｽｹｰﾙ表示", QString("?")).toString(), "ｽｹｰﾙ");
}

TEST_F(MainWindowTest, ASecondCopyWorksInAFolderOfItsOwn) {
    fmMain& first = loadedWindow();
    fmMain& second = loadedWindow();
    fmMain& third = loadedWindow();
    EXPECT_EQ(first.control().sWrkFld(), Usr::sUsrFd + "Wrk/");
    EXPECT_EQ(second.control().sWrkFld(), Usr::sUsrFd + "Wrk/2/");
    EXPECT_EQ(third.control().sWrkFld(), Usr::sUsrFd + "Wrk/3/");
    EXPECT_TRUE(QFileInfo(Usr::sUsrFd + "Wrk/2").isDir());
    first.FmEnd();
    fmMain& fourth = loadedWindow();
    EXPECT_EQ(fourth.control().sWrkFld(), Usr::sUsrFd + "Wrk/") << "a folder whose copy has ended is free again";
}

TEST_F(MainWindowTest, WorkFolderLockFallsBackToTheBaseWhenNothingCanBeLocked) {
    mainwin::WorkFolderLock lock;
    // A file where the folder should be: no folder can be made below it.
    QFile blocker(dir.path() + "/blocked");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    EXPECT_EQ(lock.acquire(dir.path() + "/blocked/Wrk/"), dir.path() + "/blocked/Wrk/");
    EXPECT_FALSE(lock.held());
    EXPECT_EQ(lock.acquire(dir.path() + "/ok/"), dir.path() + "/ok/");
    EXPECT_TRUE(lock.held());
}

// Going to another picture without the open dialog: the folder's pictures in
// natural order with PageDown, PageUp, Home and End, and the recent files of
// the file menu, kept across a restart.
#include "ui_fixture.h"

#include "main_window/folder_steps.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QFile>
#include <QLineEdit>
#include <QRadioButton>
#include <QSlider>
#include <QTest>

using namespace uitest;
using mainwin::FolderStep;

namespace {

QString name(const QString& path) { return QFileInfo(path).fileName(); }

// A small picture in the format its extension names (any case), or text.
void writePicture(const QString& path, int width = 5) {
    QImage img(width, 3, QImage::Format_RGB32);
    img.fill(QColor(10 * width, 80, 160));
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("bmp") || suffix == QLatin1String("png") || suffix == QLatin1String("jpg")) {
        ASSERT_TRUE(img.save(path, suffix.toLatin1().constData()));
    } else {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("not a picture");
    }
}

class FolderTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        folder = dir.path() + QStringLiteral("/pictures/");
        QDir().mkpath(folder);
        // Mixed case, numbers with and without leading zeros, files that are no
        // pictures, a folder that looks like one.
        for (const char* n : {"img10.bmp", "IMG2.BMP", "img1.png", "Img02b.bmp", "b.jpg", "a.txt", "c.bmp.bak",
                              "noext"})
            writePicture(folder + QString::fromLatin1(n), 4 + int(qstrlen(n)));
        QDir().mkpath(folder + QStringLiteral("dir.bmp"));
    }
    QString folder;
};

}  // namespace

TEST(FolderOrder, NaturalOrderWithoutRegardToCase) {
    QStringList names = {"img10.bmp", "IMG2.BMP", "img1.png", "Img02b.bmp", "b.jpg", "img002.bmp", "a10b2", "a10b10",
                         "A9"};
    std::sort(names.begin(), names.end(), mainwin::naturalLess);
    EXPECT_EQ(names, QStringList({"A9", "a10b2", "a10b10", "b.jpg", "img1.png", "IMG2.BMP", "img002.bmp",
                                  "Img02b.bmp", "img10.bmp"}));
    // Equal but for case or zeros: still a strict, repeatable order.
    EXPECT_TRUE(mainwin::naturalLess("IMG2.bmp", "img2.bmp") != mainwin::naturalLess("img2.bmp", "IMG2.bmp"));
    EXPECT_FALSE(mainwin::naturalLess("x", "x"));
}

TEST_F(FolderTest, StepsThroughTheFoldersPicturesAndWraps) {
    fmMain& w = loadedWindow();
    QString first = folder + QStringLiteral("img1.png");
    const QStringList listed = mainwin::picturesInFolder(folder, [&](const QString& p) { return w.control().canOpen(p); });
    QStringList names;
    for (const QString& p : listed)
        names << name(p);
    EXPECT_EQ(names, QStringList({"b.jpg", "img1.png", "IMG2.BMP", "Img02b.bmp", "img10.bmp"}));

    // Without a picture the keys do nothing.
    w.keyDown(Qt::Key_PageDown, Qt::NoModifier);
    EXPECT_TRUE(w.control().prFile().isEmpty());

    w.control().pcOpen(0, first);
    const struct { int key; Qt::KeyboardModifiers mods; const char* expected; } steps[] = {
        {Qt::Key_PageDown, Qt::NoModifier, "IMG2.BMP"},
        {Qt::Key_PageDown, Qt::NoModifier, "Img02b.bmp"},
        {Qt::Key_PageDown, Qt::KeypadModifier, "img10.bmp"},
        {Qt::Key_PageDown, Qt::NoModifier, "b.jpg"},     // wraps to the first
        {Qt::Key_PageUp, Qt::NoModifier, "img10.bmp"},   // and back to the last
        {Qt::Key_Home, Qt::NoModifier, "b.jpg"},
        {Qt::Key_End, Qt::NoModifier, "img10.bmp"},
        {Qt::Key_PageDown, Qt::ControlModifier, "img10.bmp"},  // with Ctrl: no step
        {Qt::Key_Home, Qt::ShiftModifier, "img10.bmp"},
    };
    for (const auto& s : steps) {
        w.keyDown(s.key, s.mods);
        EXPECT_EQ(name(w.control().prFile()), QString::fromLatin1(s.expected)) << "key " << s.key;
    }
    EXPECT_EQ(w.control().sEdtMode(), QStringLiteral("読込"));
    EXPECT_TRUE(prompt.messages.isEmpty());

    // A current picture deleted meanwhile steps to its neighbours by name.
    QString img2 = folder + QStringLiteral("IMG2.BMP");
    w.control().pcOpen(0, img2);
    QFile::remove(img2);
    w.keyDown(Qt::Key_PageDown, Qt::NoModifier);
    EXPECT_EQ(name(w.control().prFile()), QStringLiteral("Img02b.bmp"));
}

TEST_F(FolderTest, AStepWithEditsAsksTheSaveQuestionFirst) {
    fmMain& w = loadedWindow();
    QString first = folder + QStringLiteral("img1.png");
    w.control().pcOpen(0, first);
    w.keyDown(Qt::Key_R, Qt::ControlModifier);  // an edit
    ASSERT_EQ(w.control().sEdtMode(), QStringLiteral("編集"));
    prompt.messages.clear();
    prompt.answers = {platform::Cancel};
    w.keyDown(Qt::Key_PageDown, Qt::NoModifier);
    EXPECT_EQ(prompt.messages.size(), 1) << "the question of an open";
    EXPECT_EQ(name(w.control().prFile()), QStringLiteral("img1.png")) << "cancel stays";
    EXPECT_EQ(w.control().sEdtMode(), QStringLiteral("編集"));
    prompt.answers = {platform::No};
    w.keyDown(Qt::Key_End, Qt::NoModifier);
    EXPECT_EQ(name(w.control().prFile()), QStringLiteral("img10.bmp"));
    EXPECT_EQ(prompt.messages.size(), 2);
}

TEST_F(FolderTest, KeysOfTheThresholdBoxStayWithIt) {
    fmMain& w = loadedWindow();
    QString first = folder + QStringLiteral("img1.png");
    w.control().pcOpen(0, first);
    w.show();
    QApplication::setActiveWindow(&w);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    w.opColor(0)->click();  // black and white: the threshold controls take input
    w.txSld()->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), w.txSld());
    w.keyDown(Qt::Key_End, Qt::NoModifier);
    EXPECT_EQ(name(w.control().prFile()), QStringLiteral("img1.png"));
    w.slider()->setFocus();
    w.keyDown(Qt::Key_PageDown, Qt::NoModifier);
    EXPECT_EQ(name(w.control().prFile()), QStringLiteral("img1.png"));
    // Back on the picture, the keys step again.
    w.control().ikImg().setFocus();
    w.keyDown(Qt::Key_End, Qt::NoModifier);
    EXPECT_EQ(name(w.control().prFile()), QStringLiteral("img10.bmp"));
}

TEST_F(FolderTest, RecentFilesSurviveARestartAndDropAMissingFile) {
    {
        fmMain& w = loadedWindow();
        for (const char* n : {"img1.png", "IMG2.BMP", "img10.bmp", "IMG2.BMP"}) {
            QString p = folder + QString::fromLatin1(n);
            w.control().pcOpen(0, p);
        }
        // Saved under a new name: the new name comes first.
        prompt.saveNames.push_back(folder + QStringLiteral("saved.bmp"));
        w.control().pcAct(QStringLiteral("ﾌｧｲﾙ"), QStringLiteral("名前を付けて保存"));
        QStringList names;
        for (const QString& p : w.recentFiles().files())
            names << name(p);
        EXPECT_EQ(names, QStringList({"saved.bmp", "IMG2.BMP", "img10.bmp", "img1.png"}));
        windows.clear();
    }
    // A new run of the window (the program started again) shows the same list.
    fmMain& w = loadedWindow();
    spPic& m = w.menus();
    ASSERT_EQ(w.recentFiles().files().size(), 4);
    EXPECT_TRUE(m.mnRecent(3)->isVisible());
    EXPECT_FALSE(m.mnRecent(4)->isVisible());
    EXPECT_EQ(m.mnRecent(0)->text(), QStringLiteral("&1 ") + folder + QStringLiteral("saved.bmp"));
    EXPECT_EQ(m.mnFile(4), nullptr) << "the file menu's own indexes stay as they are";

    // Choosing one opens it, as an open does.
    m.chooser = [&](QMenu*) { return m.mnRecent(2); };
    w.lbComClick(1);
    EXPECT_EQ(name(w.control().prFile()), QStringLiteral("img10.bmp"));
    EXPECT_EQ(name(w.recentFiles().files().first()), QStringLiteral("img10.bmp"));
    EXPECT_TRUE(commands.empty()) << "a recent file is no command of the control";

    // A file deleted since is taken off the list with a message.
    QFile::remove(folder + QStringLiteral("img1.png"));
    prompt.messages.clear();
    m.chooser = [&](QMenu*) { return m.mnRecent(3); };
    w.lbComClick(1);
    ASSERT_EQ(prompt.messages.size(), 1);
    EXPECT_TRUE(prompt.messages[0].startsWith(folder + QStringLiteral("img1.png\r")));
    EXPECT_EQ(w.recentFiles().files().size(), 3);
    EXPECT_FALSE(m.mnRecent(3)->isVisible());
    EXPECT_EQ(name(w.control().prFile()), QStringLiteral("img10.bmp"));
    windows.clear();
    EXPECT_EQ(loadedWindow().recentFiles().files().size(), 3) << "the removal is kept too";
}

TEST_F(FolderTest, RecentFilesKeepTheNewestTen) {
    fmMain& w = loadedWindow();
    for (int i = 0; i < 12; ++i) {
        QString p = folder + QStringLiteral("n%1.bmp").arg(i);
        writePicture(p);
        w.control().pcOpen(0, p);
    }
    ASSERT_EQ(w.recentFiles().files().size(), 10);
    EXPECT_EQ(name(w.recentFiles().files().first()), QStringLiteral("n11.bmp"));
    EXPECT_EQ(name(w.recentFiles().files().last()), QStringLiteral("n2.bmp"));
    EXPECT_EQ(w.menus().mnRecent(9)->text().left(4), QStringLiteral("1&0 "));
    // A picture pasted from the clipboard lives in the work folder: not listed.
    EXPECT_FALSE(w.recentFiles().files().join(u'|').contains(QStringLiteral("$$Undo")));
}

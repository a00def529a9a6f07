// A big JPEG opened in a shown window: a reduced decode is painted first, and
// nothing but the view ever sees it.
#include "ui_fixture.h"

#include "engine/codecs/codecs.h"

#include <QFile>
#include <QFileInfo>
#include <QTest>

using namespace uitest;

namespace {

QString writeJpeg(const QString& path, const engine::Picture& pic) {
    engine::codecs::EncodeOptions opt;
    opt.jpegQuality = 90;
    engine::Error err = engine::Error::None;
    return engine::codecs::saveFile(path, engine::codecs::Jpeg, pic, opt, err) ? path : QString();
}

}  // namespace

TEST_F(MainWindowTest, TheReducedFirstPaintNeverReachesAnEditOrTheUndoHistory) {
    const QString path = writeJpeg(dir.path() + "/big.jpg", testsupport::makeTestPicture(2400, 1600, 24, 3));
    ASSERT_FALSE(path.isEmpty());
    ASSERT_GE(QFileInfo(path).size(), 512 * 1024) << "big enough for a stand-in";
    engine::codecs::Decoded full;
    engine::Error err = engine::Error::None;
    ASSERT_TRUE(engine::codecs::decodeFile(path, full, err));

    fmMain& w = loadedWindow();
    w.resize(900, 700);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    engine::ImageEngine& view = w.control().ikImg();
    int standInPaints = 0;
    QObject::connect(&view, &engine::ImageEngine::painted, &w, [&] {
        if (!view.showsStandIn())
            return;
        ++standInPaints;
        EXPECT_EQ(view.current(), nullptr) << "while the stand-in shows, the control has no new picture";
    });

    QString p = path;
    w.control().pcOpen(0, p);
    EXPECT_GT(standInPaints, 0) << "the reduced decode was painted first";
    EXPECT_FALSE(view.showsStandIn());
    ASSERT_EQ(w.control().PicWidth(), 2400);

    // A trim right after the open trims the whole picture.
    view.SetSelLeft(600);
    view.SetSelTop(400);
    view.SetSelRight(1800);
    view.SetSelBottom(1200);
    w.keyDown(Qt::Key_T, Qt::ControlModifier);
    const engine::Picture* trimmed = view.current();
    ASSERT_NE(trimmed, nullptr);
    engine::Picture expected{full.picture.image.copy(600, 400, 1200, 800), 24};
    EXPECT_TRUE(testsupport::samePixels(*trimmed, expected));

    // The load's undo file holds the whole picture too (once the background
    // writer has written it).
    w.control().settleUndo();
    engine::codecs::Decoded first;
    ASSERT_TRUE(engine::codecs::decodeFile(w.control().undoFileName(1), first, err));
    EXPECT_TRUE(testsupport::samePixels(first.picture, full.picture));
}

TEST_F(MainWindowTest, ABigJpegThatFailsToDecodeLeavesTheShownPictureAndNoStandIn) {
    QString good = writeJpeg(dir.path() + "/small.jpg", testsupport::makeTestPicture(300, 200, 24, 5));
    const QString bigPath = writeJpeg(dir.path() + "/big.jpg", testsupport::makeTestPicture(2400, 1600, 24, 3));
    ASSERT_FALSE(good.isEmpty());
    ASSERT_FALSE(bigPath.isEmpty());
    // A second start-of-image marker two thirds in: the header and the first
    // rows are intact, so the reduced decode shows them, but the whole file is
    // damaged (a file that is only cut short would open with what it holds).
    QFile f(bigPath);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    ASSERT_TRUE(f.seek(f.size() * 2 / 3));
    ASSERT_EQ(f.write("\xFF\xD8", 2), 2);
    f.close();

    fmMain& w = loadedWindow();
    w.resize(900, 700);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    w.control().pcOpen(0, good);
    ASSERT_EQ(w.control().PicWidth(), 300);
    const qint64 before = w.control().ikImg().current()->image.cacheKey();

    QString p = bigPath;
    w.control().pcOpen(0, p);
    EXPECT_EQ(prompt.messages.size(), 1) << "the failure is reported";
    engine::ImageEngine& view = w.control().ikImg();
    EXPECT_FALSE(view.showsStandIn()) << "the stand-in of a file that failed is gone";
    ASSERT_NE(view.current(), nullptr);
    EXPECT_EQ(view.current()->image.cacheKey(), before);
    EXPECT_EQ(w.control().PicWidth(), 300);
}

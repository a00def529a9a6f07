// The colour preview on a shown window: it converts only what it shows, it is
// rebuilt after the edited picture is on screen, a newer rebuild overtakes an
// older one, and the commit converts the whole picture.
#include "ui_fixture.h"

#include "engine/ops/colour_preview.h"

#include <QCheckBox>
#include <QDeadlineTimer>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

using namespace uitest;

namespace {

qint64 keyOf(engine::ImageEngine& view) {
    const engine::Picture* p = view.current();
    return p ? p->image.cacheKey() : 0;
}

template <typename Done>
bool waitFor(Done done, int ms = 5000) {
    QDeadlineTimer limit(ms);
    while (!done() && !limit.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

QString writeBmp(const QString& path, int width, int height) {
    engine::ImageEngine scratch;
    scratch.SetImageHandle(engine::PictureStore::instance().add(testsupport::makeTestPicture(width, height, 24, 7)));
    scratch.File().FileName = path;
    return scratch.File().SaveFile(0) ? path : QString();
}

class ShownWindowTest : public MainWindowTest {
protected:
    fmMain& shownWindow(int width, int height) {
        fmMain& w = loadedWindow();
        QString path = writeBmp(dir.path() + "/p.bmp", width, height);
        w.control().pcOpen(0, path);
        w.resize(900, 700);
        w.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&w));
        waitFor([&] { return keyOf(w.ikImg()) == keyOf(w.control().ikImg()); });
        return w;
    }
};

}  // namespace

TEST_F(ShownWindowTest, ARebuildWaitsForThePictureAndANewerOneOvertakesIt) {
    fmMain& w = shownWindow(64, 48);
    w.opColor(3)->click();
    engine::ImageEngine& view = w.control().ikImg();
    engine::ImageEngine& preview = w.ikImg();

    // Every paint of either view, with the control's picture it showed.
    std::vector<std::pair<char, qint64>> paints;
    QObject::connect(&view, &engine::ImageEngine::painted, &w, [&] { paints.emplace_back('v', keyOf(view)); });
    QObject::connect(&preview, &engine::ImageEngine::painted, &w, [&] { paints.emplace_back('p', keyOf(preview)); });

    // Two turns with no event in between: the first one's rebuild is still waiting.
    w.keyDown(Qt::Key_R, Qt::ControlModifier);
    const qint64 first = keyOf(view);
    w.keyDown(Qt::Key_R, Qt::ControlModifier);
    const qint64 second = keyOf(view);
    ASSERT_NE(first, second);
    EXPECT_NE(keyOf(preview), second) << "the preview is not rebuilt before the picture is painted";

    ASSERT_TRUE(waitFor([&] { return keyOf(preview) == second; }));
    waitFor([] { return false; }, 400);  // every rebuild that could still come
    bool viewShowedIt = false;
    for (const auto& [who, key] : paints) {
        EXPECT_FALSE(who == 'p' && key == first) << "the overtaken rebuild showed";
        if (who == 'v' && key == second)
            viewShowedIt = true;
        if (who == 'p' && key == second)
            EXPECT_TRUE(viewShowedIt) << "the preview came before the picture";
    }
    EXPECT_EQ(keyOf(preview), second);
}

TEST_F(ShownWindowTest, PreviewConvertsWhatItShowsAndTheCommitTheWholePicture) {
    // Larger than the preview: the scaled preview shows a reduced picture.
    fmMain& w = shownWindow(1200, 900);
    engine::ImageEngine& preview = w.ikImg();
    const engine::Picture original = *w.control().ikImg().current();

    // At actual size the part shown is the picture converted, pixel for pixel.
    w.opColor(4)->click();  // 256 greys
    ASSERT_FALSE(w.chScl(1)->isChecked());
    engine::Picture grey = original;
    ASSERT_TRUE(engine::ops::previewDepth(grey, 80, 128));
    QRect visible;
    const QImage part = shownPicture(preview, &visible);
    ASSERT_FALSE(part.isNull());
    ASSERT_LT(visible.width(), 1200) << "only a part is shown";
    EXPECT_EQ(testsupport::maxChannelDiff(part, grey.image.copy(visible).convertToFormat(QImage::Format_RGB32)), 0);

    // Scaled: only greys are shown, and the picture itself stays 24 bits.
    w.chScl(1)->setChecked(true);
    const QImage scaled = shownPicture(preview);
    ASSERT_LT(scaled.width(), 1200);
    for (int y = 0; y < scaled.height(); y += 7)
        for (int x = 0; x < scaled.width(); x += 7) {
            const QRgb c = scaled.pixel(x, y);
            ASSERT_TRUE(qRed(c) == qGreen(c) && qGreen(c) == qBlue(c)) << x << "," << y;
        }
    EXPECT_EQ(w.control().ikImg().current()->bits, 24);

    // 256 colours, inverted, committed: exactly the full-size conversion.
    w.opColor(3)->click();
    w.cmRvc()->click();
    w.cmRet()->click();
    engine::Picture expected = original;
    ASSERT_TRUE(engine::ops::previewDepth(expected, 8, 128));
    ASSERT_TRUE(engine::ops::invertAll(expected));
    const engine::Picture* committed = w.control().ikImg().current();
    ASSERT_NE(committed, nullptr);
    EXPECT_EQ(committed->bits, 8);
    EXPECT_TRUE(testsupport::samePixels(*committed, expected));
    EXPECT_EQ(w.control().sEdtMode(), "編集");
}

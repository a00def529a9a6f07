// The colour-depth panel: the threshold slider arithmetic, the options, the
// preview and its commit.
#include "ui_fixture.h"

#include "engine/ops/colour_preview.h"
#include "main_window/twips.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QToolButton>

using namespace uitest;

namespace {
int threshold(const fmMain& w) { return int(mainwin::roundEven(w.SldGet())); }

QString writeBmp(const QString& path, int depthCode, int width, int height, unsigned seed = 1) {
    engine::ImageEngine scratch;
    scratch.SetImageHandle(
        engine::PictureStore::instance().add(testsupport::makeTestPicture(width, height, depthCode, seed)));
    scratch.File().FileName = path;
    return scratch.File().SaveFile(0) ? path : QString();
}

const engine::Picture& pictureOf(engine::ImageEngine& e) { return *e.current(); }
}  // namespace

TEST_F(MainWindowTest, ThresholdStartsAt128WithTheSliderInTheMiddle) {
    fmMain& w = loadedWindow();
    EXPECT_EQ(w.slider()->minimum(), 0);
    EXPECT_EQ(w.slider()->maximum(), 100);
    EXPECT_EQ(w.slider()->pageStep(), 10);
    EXPECT_EQ(w.slider()->value(), 50);
    EXPECT_EQ(w.txSld()->text(), "128.");
    EXPECT_EQ(threshold(w), 128);  // 127.5 rounds to the even 128
}

TEST_F(MainWindowTest, SliderPositionsShowTheirValues) {
    fmMain& w = loadedWindow();
    const std::pair<int, const char*> rows[] = {{51, "130.05"}, {50, "127.5"}, {99, "252.45"}, {100, "255"}, {0, "0"}, {39, "99.45"}};
    for (const auto& [pos, text] : rows) {
        w.slider()->setValue(pos);
        EXPECT_EQ(w.txSld()->text(), QString(text)) << pos;
    }
    w.slider()->setValue(100);
    EXPECT_EQ(threshold(w), 255);
}

TEST_F(MainWindowTest, TypedThresholdMovesTheSliderInSteps) {
    fmMain& w = loadedWindow();
    const struct {
        const char* typed;
        int position;
        int threshold;
    } rows[] = {
        {"100", 39, 99}, {"128.", 50, 128}, {"12abc", 5, 13}, {"", 0, 0}, {"  200", 78, 199}, {"255", 100, 255},
        // Outside 0..255: the text stays as typed, the slider stops at its end.
        {"300", 100, 255}, {"-40", 0, 0}, {"1e9", 100, 255},
    };
    for (const auto& r : rows) {
        w.txSld()->setText(r.typed);
        EXPECT_EQ(w.txSld()->text(), QString(r.typed));
        EXPECT_EQ(w.slider()->value(), r.position) << r.typed;
        EXPECT_EQ(threshold(w), r.threshold) << r.typed;
    }
}

TEST_F(MainWindowTest, ArrowButtonsStepTheTextNotTheSlider) {
    fmMain& w = loadedWindow();
    w.opColor(0)->click();
    ASSERT_TRUE(w.cmSld(1)->isEnabled());
    w.txSld()->setText("128.");
    w.cmSld(1)->click();
    EXPECT_EQ(w.txSld()->text(), "129.");
    EXPECT_EQ(w.slider()->value(), 51);
    EXPECT_EQ(threshold(w), 130);
    w.cmSld(0)->click();
    w.cmSld(0)->click();
    EXPECT_EQ(w.txSld()->text(), "127.");
    EXPECT_EQ(w.slider()->value(), 50);
    w.txSld()->setText("255.");
    w.cmSld(1)->click();
    EXPECT_EQ(w.txSld()->text(), "256.");
    EXPECT_EQ(w.slider()->value(), 100);
    w.txSld()->setText("0.5");
    w.cmSld(0)->click();
    EXPECT_EQ(w.txSld()->text(), "-0.5");
    EXPECT_EQ(w.slider()->value(), 0);
}

TEST_F(MainWindowTest, NumberFormsOfThePanel) {
    EXPECT_EQ(mainwin::formatOneDecimal(128, false), "128.");
    EXPECT_EQ(mainwin::formatOneDecimal(0.5, false), ".5");
    EXPECT_EQ(mainwin::formatOneDecimal(129, true), "129.");
    EXPECT_EQ(mainwin::formatOneDecimal(0, true), "0.");
    EXPECT_EQ(mainwin::formatOneDecimal(12.25, true), "12.3");
    EXPECT_EQ(mainwin::leadingNumber("128."), 128);
    EXPECT_EQ(mainwin::leadingNumber(" 12 apples"), 12);
    EXPECT_EQ(mainwin::leadingNumber("abc"), 0);
    EXPECT_EQ(mainwin::leadingNumber("-3.5e"), -3.5);
    EXPECT_EQ(mainwin::generalNumber(130.05), "130.05");
}

TEST_F(MainWindowTest, OnlyBlackAndWhiteUsesTheThreshold) {
    fmMain& w = loadedWindow();
    const int codes[8] = {1, 4, 40, 8, 80, 16, 24, 32};
    for (int i = 0; i < 8; ++i) {
        w.opColor(i)->click();
        EXPECT_EQ(w.iColCd(), codes[i]);
        for (QWidget* c : std::initializer_list<QWidget*>{w.slider(), w.txSld(), w.cmSld(0), w.cmSld(1)})
            EXPECT_EQ(c->isEnabled(), i == 0) << "option " << i;
    }
}

namespace {
QImage asShown(const engine::Picture& p) { return p.image.convertToFormat(QImage::Format_RGB32); }
}  // namespace

TEST_F(MainWindowTest, PreviewShowsTheControlsPictureAtTheChosenDepth) {
    fmMain& w = loadedWindow();
    const quint32 source = givePicture(w, 24, 33, 17);
    w.opColor(4)->click();  // 256 greys
    ASSERT_NE(w.ikImg().ImageHandle(), 0u);
    EXPECT_NE(w.ikImg().ImageHandle(), source);
    engine::Picture expected = *engine::PictureStore::instance().find(source);
    ASSERT_TRUE(engine::ops::previewDepth(expected, 80, 128));
    EXPECT_EQ(testsupport::maxChannelDiff(shownPicture(w.ikImg()), asShown(expected)), 0);
    EXPECT_EQ(engine::depthCode(*engine::PictureStore::instance().find(source)), 24) << "the control's picture is untouched";

    w.opColor(2)->click();  // 16 greys: through 256 greys to 16 colours
    expected = *engine::PictureStore::instance().find(source);
    ASSERT_TRUE(engine::ops::previewDepth(expected, 40, 128));
    EXPECT_EQ(testsupport::maxChannelDiff(shownPicture(w.ikImg()), asShown(expected)), 0);

    // Black and white follows the slider's threshold, not the text.
    w.opColor(0)->click();
    w.txSld()->setText("100");
    expected = *engine::PictureStore::instance().find(source);
    ASSERT_TRUE(engine::ops::previewDepth(expected, 1, 99));
    EXPECT_EQ(testsupport::maxChannelDiff(shownPicture(w.ikImg()), asShown(expected)), 0);

    // The scale box chooses how the preview is shown.
    w.chScl(1)->click();
    EXPECT_EQ(w.ikImg().DispMode(), 1);
    w.chScl(1)->click();
    EXPECT_EQ(w.ikImg().DispMode(), 3);
}

TEST_F(MainWindowTest, InvertTwiceRestoresAndARebuildDropsTheInversion) {
    fmMain& w = loadedWindow();
    givePicture(w, 24);
    w.opColor(6)->click();
    const QImage before = shownPicture(w.ikImg());
    w.cmRvc()->click();
    EXPECT_GT(testsupport::maxChannelDiff(shownPicture(w.ikImg()), before), 0);
    w.cmRvc()->click();
    EXPECT_EQ(testsupport::maxChannelDiff(shownPicture(w.ikImg()), before), 0);
    w.cmRvc()->click();
    w.ColPrev();
    EXPECT_EQ(testsupport::maxChannelDiff(shownPicture(w.ikImg()), before), 0);
}

TEST_F(MainWindowTest, NoPictureLeavesThePreviewAlone) {
    fmMain& w = loadedWindow();
    w.opColor(3)->click();
    EXPECT_EQ(w.ikImg().ImageHandle(), 0u);
    w.cmRet()->click();  // nothing to hand over
    EXPECT_EQ(w.control().ImgHandle(), 0u);
}

TEST_F(MainWindowTest, CommitHandsThePreviewToTheControlAsAnUndoableEdit) {
    fmMain& w = loadedWindow();
    QString path = dir.path() + "/commit.bmp";
    {
        engine::ImageEngine scratch;
        scratch.SetImageHandle(engine::PictureStore::instance().add(testsupport::makeTestPicture(21, 13, 24)));
        scratch.File().FileName = path;
        ASSERT_TRUE(scratch.File().SaveFile(0));
    }
    w.control().pcOpen(0, path);
    ASSERT_NE(w.control().ImgHandle(), 0u) << "the control opens a BMP";
    EXPECT_EQ(w.opColor(6)->isChecked(), true) << "the option follows the picture";
    w.opColor(0)->click();
    w.cmRet()->click();
    EXPECT_EQ(w.control().sEdtMode(), "編集");
    EXPECT_EQ(w.control().sBit(), "1.");
    EXPECT_TRUE(w.opColor(0)->isChecked());
    EXPECT_TRUE(w.imBtn(5)->isEnabled());
    w.keyDown(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(w.control().sBit(), "24.");
}

TEST_F(MainWindowTest, CommitConvertsThePictureHeldNowToTheOptionShownNow) {
    fmMain& w = loadedWindow();
    QString colour = writeBmp(dir.path() + "/colour.bmp", 24, 23, 11);
    QString grey = writeBmp(dir.path() + "/grey.bmp", 40, 17, 9, 7);
    ASSERT_FALSE(colour.isEmpty());
    ASSERT_FALSE(grey.isEmpty());
    w.control().pcOpen(0, colour);
    w.opColor(0)->click();  // black and white
    w.control().pcOpen(0, grey);
    ASSERT_EQ(w.control().sBit(), "40.");
    ASSERT_TRUE(w.opColor(2)->isChecked()) << "the option moved to 16 greys";
    const engine::Picture loaded = pictureOf(w.control().ikImg());

    // What the panel converts is the grey picture, at 16 greys.
    engine::Picture expected = loaded;
    ASSERT_TRUE(engine::ops::previewDepth(expected, 40, 128));
    EXPECT_TRUE(testsupport::samePixels(pictureOf(w.ikImg()), loaded));

    w.cmRet()->click();
    EXPECT_EQ(w.control().sEdtMode(), "編集");
    EXPECT_EQ(w.control().PicWidth(), 17);
    EXPECT_EQ(w.control().sBit(), "40.") << "never the black and white of the picture before";
    EXPECT_TRUE(testsupport::samePixels(pictureOf(w.control().ikImg()), expected));

    // A preview left behind by the picture (an edit that reported nothing)
    // is not what the commit hands over: it converts the picture held now.
    w.opColor(0)->click();
    w.control().ikImg().applyEdit([](engine::Picture& p) { return engine::ops::invertAll(p); });
    expected = pictureOf(w.control().ikImg());
    ASSERT_TRUE(engine::ops::previewDepth(expected, 1, threshold(w)));
    w.cmRet()->click();
    EXPECT_EQ(w.control().sBit(), "1.");
    EXPECT_TRUE(testsupport::samePixels(pictureOf(w.control().ikImg()), expected));

    // An inversion of a preview that is up to date is part of the commit.
    w.opColor(6)->click();
    w.cmRvc()->click();
    expected = pictureOf(w.control().ikImg());
    ASSERT_TRUE(engine::ops::previewDepth(expected, 24, 128));
    ASSERT_TRUE(engine::ops::invertAll(expected));
    w.cmRet()->click();
    EXPECT_TRUE(testsupport::samePixels(pictureOf(w.control().ikImg()), expected));
}

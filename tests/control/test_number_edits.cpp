// Resizing to a size and turning by an angle, from the command texts and from
// their dialogs: against hand-made pictures, a geometric computation of where
// a marked pixel must land, and ImageMagick where it is installed.
#include "control_fixture.h"

#include "picture_control/number_edits.h"

#include <QProcess>
#include <QStandardPaths>
#include <cmath>

using namespace controltest;
using testsupport::makeTestPicture;
using testsupport::samePixels;

namespace {

const QString kEdit = QStringLiteral("画像編集");

engine::Picture flat(int w, int h, QColor c) {
    QImage img(w, h, QImage::Format_BGR888);
    img.fill(c);
    return engine::Picture{img, 24};
}

// The darkest pixel's position (the marked spot of a white picture).
QPoint darkest(const engine::Picture& p) {
    const QImage img = rgb(p);
    QPoint best;
    int least = 1 << 30;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const QRgb v = img.pixel(x, y);
            const int sum = qRed(v) + qGreen(v) + qBlue(v);
            if (sum < least) {
                least = sum;
                best = QPoint(x, y);
            }
        }
    return best;
}

}  // namespace

TEST(NumberEditTexts, ResizeAndTurnTextsAreReadOrRefused) {
    const QSize pic(640, 480);
    EXPECT_EQ(upce::parseResize("320,100", pic), QSize(320, 100));
    EXPECT_EQ(upce::parseResize("50%", pic), QSize(320, 240));
    EXPECT_EQ(upce::parseResize("50%,25%", pic), QSize(320, 120));
    EXPECT_EQ(upce::parseResize(" 800 , 50% ", pic), QSize(800, 240));
    EXPECT_EQ(upce::parseResize("320", pic), QSize(320, 240)) << "one width keeps the proportions";
    EXPECT_EQ(upce::parseResize("0.1%", QSize(333, 177)), QSize(1, 1)) << "never below one pixel";
    EXPECT_EQ(upce::parseResize("33.3%", QSize(333, 177)), QSize(111, 59));  // 110.9, 58.9
    for (const char* bad : {"", "abc", "0,10", "-5,10", "10,20,30", "10x20", "%", "nan,5", "inf%"})
        EXPECT_FALSE(upce::parseResize(bad, pic)) << bad;
    EXPECT_FALSE(upce::parseResize("50%", QSize())) << "no picture";

    auto t = upce::parseTurn("30");
    ASSERT_TRUE(t);
    EXPECT_DOUBLE_EQ(t->degrees, 30);
    EXPECT_EQ(t->background, QColor(Qt::white));
    t = upce::parseTurn("-12.5,#102030");
    ASSERT_TRUE(t);
    EXPECT_DOUBLE_EQ(t->degrees, -12.5);
    EXPECT_EQ(t->background, QColor(0x10, 0x20, 0x30));
    for (const char* bad : {"", "x", "30,red", "30,#12345", "30,#1234567", "1e999", "30,#fff,1"})
        EXPECT_FALSE(upce::parseTurn(bad)) << bad;
}

TEST_F(ControlTest, ResizeByTextIsAnUndoableEditAveragingBlocks) {
    REQUIRE_OPS();
    // 2 x 2 blocks of four known colours: halving averages each block.
    QImage img(8, 6, QImage::Format_BGR888);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 8; ++x)
            img.setPixelColor(x, y, QColor((x * 37 + y * 11) % 256, (x * 5 + y * 71) % 256, (x * y * 13) % 256));
    openPicture(engine::Picture{img, 24});
    clearEvents();
    ctl->pcAct(QStringLiteral("ｻｲｽﾞ変更"), QStringLiteral("50%"));
    const engine::Picture out = current();
    ASSERT_EQ(out.image.size(), QSize(4, 3));
    EXPECT_EQ(out.bits, 24);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x) {
            int sum[3] = {0, 0, 0};
            for (int k = 0; k < 4; ++k) {
                const QColor c = img.pixelColor(2 * x + k % 2, 2 * y + k / 2);
                sum[0] += c.red();
                sum[1] += c.green();
                sum[2] += c.blue();
            }
            const QColor got = out.image.pixelColor(x, y);
            EXPECT_NEAR(got.red(), sum[0] / 4.0, 1) << x << "," << y;
            EXPECT_NEAR(got.green(), sum[1] / 4.0, 1) << x << "," << y;
            EXPECT_NEAR(got.blue(), sum[2] / 4.0, 1) << x << "," << y;
        }
    EXPECT_EQ(ctl->sEdtMode(), QStringLiteral("編集"));
    EXPECT_EQ(ctl->iUndo(), 2);
    EXPECT_EQ(ctl->PicWidth(), 4);
    // Undo brings the picture back exactly.
    ctl->pcAct(kEdit, QStringLiteral("編集を一つ戻す"));
    EXPECT_TRUE(samePixels(current(), engine::Picture{img, 24}));

    // A size it already has records nothing; a bad text says so and changes nothing.
    ctl->pcAct(QStringLiteral("ｻｲｽﾞ変更"), QStringLiteral("8,6"));
    EXPECT_EQ(ctl->iUndo(), 1);
    prompt.messages.clear();
    ctl->pcAct(QStringLiteral("ｻｲｽﾞ変更"), QStringLiteral("big"));
    ASSERT_EQ(prompt.messages.size(), 1);
    EXPECT_TRUE(prompt.messages[0].startsWith(QStringLiteral("big\r")));
    EXPECT_EQ(current().image.size(), QSize(8, 6));
}

TEST_F(ControlTest, ResizeMatchesImageMagickBoxAverage) {
    REQUIRE_OPS();
    const QString convert = QStandardPaths::findExecutable(QStringLiteral("convert"));
    if (convert.isEmpty())
        GTEST_SKIP() << "ImageMagick is not installed";
    const engine::Picture pic = makeTestPicture(96, 60, 24);
    const QString in = openPicture(pic, QStringLiteral("source.bmp"));
    ctl->pcAct(QStringLiteral("ｻｲｽﾞ変更"), QStringLiteral("32,20"));
    const QString out = pics + QStringLiteral("magick.bmp");
    QProcess p;
    p.start(convert, {in, QStringLiteral("-filter"), QStringLiteral("Box"), QStringLiteral("-resize"),
                      QStringLiteral("32x20!"), QStringLiteral("BMP3:") + out});
    ASSERT_TRUE(p.waitForFinished(60000));
    const QImage theirs(out);
    if (p.exitCode() != 0 || theirs.isNull())
        GTEST_SKIP() << "ImageMagick did not write the picture";
    // A 3 x 3 box is exactly each output pixel's area: both average it.
    const QImage ours = rgb(current());
    ASSERT_EQ(ours.size(), theirs.size());
    int worst = 0;
    for (int y = 0; y < ours.height(); ++y)
        for (int x = 0; x < ours.width(); ++x) {
            const QRgb a = ours.pixel(x, y), b = theirs.pixel(x, y);
            worst = std::max({worst, std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                              std::abs(qBlue(a) - qBlue(b))});
        }
    EXPECT_LE(worst, 1);
}

TEST_F(ControlTest, TurnByAngleGrowsTheCanvasAndMovesAMarkedPixelWhereTheGeometrySays) {
    REQUIRE_OPS();
    // A white picture with one black 3 x 3 spot away from the centre.
    engine::Picture pic = flat(61, 41, Qt::white);
    const QPoint spot(45, 12);
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
            pic.image.setPixelColor(spot + QPoint(dx, dy), Qt::black);
    for (double degrees : {30.0, -45.0, 100.0, 12.5}) {
        SCOPED_TRACE(degrees);
        openPicture(pic);
        ctl->pcAct(QStringLiteral("角度回転"), QString::number(degrees) + QStringLiteral(",#ff0000"));
        const engine::Picture out = current();
        const double a = degrees * M_PI / 180;
        // The bounding box of the turned picture.
        const double bw = std::abs(61 * std::cos(a)) + std::abs(41 * std::sin(a));
        const double bh = std::abs(61 * std::sin(a)) + std::abs(41 * std::cos(a));
        EXPECT_NEAR(out.width(), bw, 1.5);
        EXPECT_NEAR(out.height(), bh, 1.5);
        // Clockwise on screen (y down): the spot turns about the centre.
        const double cx = 61 / 2.0, cy = 41 / 2.0;
        const double sx = spot.x() + 0.5 - cx, sy = spot.y() + 0.5 - cy;
        const double ex = out.width() / 2.0 + sx * std::cos(a) - sy * std::sin(a);
        const double ey = out.height() / 2.0 + sx * std::sin(a) + sy * std::cos(a);
        const QPoint got = darkest(out);
        EXPECT_NEAR(got.x() + 0.5, ex, 1.5);
        EXPECT_NEAR(got.y() + 0.5, ey, 1.5);
        // The uncovered corners take the chosen colour.
        EXPECT_EQ(rgb(out).pixel(0, 0), qRgb(255, 0, 0));
        EXPECT_EQ(ctl->sEdtMode(), QStringLiteral("編集"));
        EXPECT_EQ(ctl->iUndo(), 2);
    }
    // A quarter turn by number is the exact quarter turn of the menu.
    openPicture(makeTestPicture(31, 17, 8));
    ctl->pcAct(QStringLiteral("角度回転"), QStringLiteral("90"));
    const engine::Picture byNumber = current();
    openPicture(makeTestPicture(31, 17, 8));
    ctl->pcAct(QStringLiteral("回転"), QStringLiteral("右90度"));
    EXPECT_TRUE(samePixels(byNumber, current()));
    // A whole turn changes nothing and records nothing.
    ctl->pcAct(QStringLiteral("角度回転"), QStringLiteral("-360"));
    EXPECT_EQ(ctl->iUndo(), 2);
}

TEST_F(ControlTest, DialogsKeepProportionsAndCancelChangesNothing) {
    REQUIRE_OPS();
    openPicture(makeTestPicture(200, 100, 24));
    // Width 50 with the proportions kept gives height 25.
    prompt.formEdits.push_back(std::vector<std::pair<int, double>>{{1, 50}});
    ctl->pcAct(kEdit, QStringLiteral("ｻｲｽﾞ変更..."));
    EXPECT_EQ(current().image.size(), QSize(50, 25));
    // In percent: 200 % of the width; the height follows at the same figure.
    prompt.formEdits.push_back(std::vector<std::pair<int, double>>{{0, 1}, {1, 200}});
    ctl->pcAct(kEdit, QStringLiteral("ｻｲｽﾞ変更..."));
    EXPECT_EQ(current().image.size(), QSize(100, 50));
    // Proportions off: both sides as typed.
    prompt.formEdits.push_back(std::vector<std::pair<int, double>>{{3, 0}, {1, 30}, {2, 70}});
    ctl->pcAct(kEdit, QStringLiteral("ｻｲｽﾞ変更..."));
    EXPECT_EQ(current().image.size(), QSize(30, 70));
    // The height typed with the proportions kept sets the width.
    prompt.formEdits.push_back(std::vector<std::pair<int, double>>{{2, 140}});
    ctl->pcAct(kEdit, QStringLiteral("ｻｲｽﾞ変更..."));
    EXPECT_EQ(current().image.size(), QSize(60, 140));
    const int steps = ctl->iUndo();
    prompt.formEdits.push_back(std::nullopt);
    ctl->pcAct(kEdit, QStringLiteral("ｻｲｽﾞ変更..."));
    prompt.formEdits.push_back(std::nullopt);
    ctl->pcAct(kEdit, QStringLiteral("角度を指定して回転..."));
    EXPECT_EQ(current().image.size(), QSize(60, 140));
    EXPECT_EQ(ctl->iUndo(), steps);
    // The turn dialog: angle and background.
    prompt.formEdits.push_back(std::vector<std::pair<int, double>>{{0, 90}, {1, double(0x00FF00)}});
    ctl->pcAct(kEdit, QStringLiteral("角度を指定して回転..."));
    EXPECT_EQ(current().image.size(), QSize(140, 60));
    EXPECT_EQ(prompt.formTitles.last(), QStringLiteral("角度を指定して回転"));
}

TEST_F(ControlTest, NumberEditsDoNothingWithoutAPicture) {
    for (const auto& [g, c] : {std::pair{kEdit, QStringLiteral("ｻｲｽﾞ変更...")},
                               std::pair{kEdit, QStringLiteral("角度を指定して回転...")},
                               std::pair{QStringLiteral("ｻｲｽﾞ変更"), QStringLiteral("50%")},
                               std::pair{QStringLiteral("角度回転"), QStringLiteral("30")}}) {
        ctl->pcAct(g, c);
    }
    EXPECT_TRUE(prompt.formTitles.isEmpty()) << "no dialog without a picture";
    EXPECT_TRUE(prompt.messages.isEmpty());
    EXPECT_TRUE(ctl->sEdtMode().isEmpty());
    EXPECT_EQ(ctl->iUndo(), 0);
}

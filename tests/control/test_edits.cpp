// Every edit against a computation of its own: trimming, the three shrinks,
// flips and quarter turns, closing up, highlighting.
#include "control_fixture.h"

using namespace controltest;
using testsupport::makeTestPicture;
using testsupport::samePixels;

namespace {

QList<int> edges(uPcE& c) {
    engine::ImageEngine& e = c.ikImg();
    return {e.SelLeft(), e.SelTop(), e.SelRight(), e.SelBottom()};
}

// out(x, y) = in(fx(x, y), fy(x, y)), compared as colours.
template <class F>
QString compareMapped(const engine::Picture& in, const engine::Picture& out, QSize outSize, F from) {
    if (out.image.size() != outSize)
        return QStringLiteral("size %1x%2").arg(out.width()).arg(out.height());
    for (int y = 0; y < outSize.height(); ++y)
        for (int x = 0; x < outSize.width(); ++x) {
            const QPoint s = from(x, y);
            if (out.image.pixel(x, y) != in.image.pixel(s))
                return QStringLiteral("pixel %1,%2").arg(x).arg(y);
        }
    return QString();
}

}  // namespace

TEST_F(ControlTest, TrimKeepsTheSelectedColumnsAndRows) {
    REQUIRE_OPS();
    const engine::Picture pic = makeTestPicture(31, 17, 24);
    openPicture(pic);
    select(3, 2, 20, 11);
    ctl->pcAct(QStringLiteral("画像編集"), QStringLiteral("ﾄﾘﾐﾝｸﾞ"));
    EXPECT_EQ(compareMapped(pic, current(), QSize(17, 9), [](int x, int y) { return QPoint(x + 3, y + 2); }),
              QString());
    EXPECT_EQ(edges(*ctl), QList<int>({0, 0, 0, 0}));
    EXPECT_EQ(ctl->iUndo(), 2);
    EXPECT_EQ(ctl->PicWidth(), 17);

    // With no selection the trim fails, yet the step is recorded.
    const engine::Picture before = current();
    ctl->pcAct(QStringLiteral("画像編集"), QStringLiteral("ﾄﾘﾐﾝｸﾞ"));
    EXPECT_TRUE(samePixels(current(), before));
    EXPECT_EQ(ctl->iUndo(), 3);
    EXPECT_EQ(ctl->sEdtMode(), QStringLiteral("編集"));
}

TEST_F(ControlTest, ShrinksToTheSelection) {
    REQUIRE_OPS();
    REQUIRE_DEPTH_OPS();
    const engine::Picture pic = makeTestPicture(640, 480, 24);
    struct Case { const char16_t* item; int w; int h; };
    for (const Case& c : {Case{u"横基準", 320, 240}, Case{u"縦基準", 133, 100}, Case{u"縦横比率を変えて縮小", 320, 100}}) {
        SCOPED_TRACE(QString::fromUtf16(c.item).toStdString());
        openPicture(pic);
        select(100, 100, 420, 200);
        ctl->pcAct(QStringLiteral("ﾘｻｲｽﾞ"), QString::fromUtf16(c.item));
        EXPECT_EQ(current().image.size(), QSize(c.w, c.h));
        EXPECT_EQ(ctl->sBit(), QStringLiteral("24."));
        EXPECT_EQ(edges(*ctl), QList<int>({0, 0, 0, 0}));
        EXPECT_EQ(ctl->iUndo(), 2);
    }
    // Half the width and height: each pixel is the mean of a 2 x 2 block.
    openPicture(pic);
    select(100, 100, 420, 200);
    ctl->pcAct(QStringLiteral("ﾘｻｲｽﾞ"), QStringLiteral("横基準"));
    const QImage out = current().image;
    double worst = 0;
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x) {
            int sum[3] = {0, 0, 0};
            for (int dy = 0; dy < 2; ++dy)
                for (int dx = 0; dx < 2; ++dx) {
                    const QRgb p = pic.image.pixel(2 * x + dx, 2 * y + dy);
                    sum[0] += qRed(p), sum[1] += qGreen(p), sum[2] += qBlue(p);
                }
            const QRgb q = out.pixel(x, y);
            worst = std::max({worst, std::abs(qRed(q) - sum[0] / 4.0), std::abs(qGreen(q) - sum[1] / 4.0),
                              std::abs(qBlue(q) - sum[2] / 4.0)}) ;
        }
    EXPECT_LE(worst, 1.0);
}

TEST_F(ControlTest, ShrinkOfPalettePicturesGoesToSixteenBits) {
    REQUIRE_OPS();
    REQUIRE_DEPTH_OPS();
    for (auto [code, after] : {std::pair{8, u"16."}, std::pair{4, u"16."}, std::pair{1, u"16."},
                               std::pair{80, u"80."}, std::pair{32, u"32."}}) {
        SCOPED_TRACE(code);
        openPicture(makeTestPicture(40, 30, code));
        select(0, 0, 20, 15);
        ctl->pcAct(QStringLiteral("ﾘｻｲｽﾞ"), QStringLiteral("縦横比率を変えて縮小"));
        EXPECT_EQ(current().image.size(), QSize(20, 15));
        EXPECT_EQ(ctl->sBit(), QString::fromUtf16(after));
    }
}

TEST_F(ControlTest, ShrinkWithoutAWidthOrHeightSaysSo) {
    const engine::Picture pic = makeTestPicture(40, 30, 8);
    openPicture(pic);
    select(10, 0, 10, 50);
    ctl->pcAct(QStringLiteral("ﾘｻｲｽﾞ"), QStringLiteral("横基準"));
    EXPECT_EQ(prompt.messages, QStringList({QStringLiteral("先に範囲を指定し､そのｻｲｽﾞに合わせて縮小します")}));
    EXPECT_TRUE(samePixels(current(), pic));
    EXPECT_EQ(ctl->iUndo(), 1);
    EXPECT_EQ(edges(*ctl), QList<int>({10, 0, 10, 50}));
}

TEST_F(ControlTest, FlipsAndQuarterTurnsAtEveryDepth) {
    REQUIRE_OPS();
    for (int code : {1, 4, 40, 8, 80, 16, 24, 32}) {
        SCOPED_TRACE(code);
        const engine::Picture pic = makeTestPicture(13, 7, code);
        const int w = 13, h = 7;
        openPicture(pic);
        select(1, 1, 3, 3);
        ctl->pcAct(QStringLiteral("回転"), QStringLiteral("左右反転"));
        EXPECT_EQ(compareMapped(pic, current(), QSize(w, h), [&](int x, int y) { return QPoint(w - 1 - x, y); }),
                  QString());
        EXPECT_EQ(edges(*ctl), QList<int>({1, 1, 3, 3}));  // the selection stays
        openPicture(pic);
        ctl->pcAct(QStringLiteral("回転"), QStringLiteral("上下反転"));
        EXPECT_EQ(compareMapped(pic, current(), QSize(w, h), [&](int x, int y) { return QPoint(x, h - 1 - y); }),
                  QString());
        openPicture(pic);
        ctl->pcAct(QStringLiteral("回転"), QStringLiteral("右90度"));  // clockwise
        EXPECT_EQ(compareMapped(pic, current(), QSize(h, w), [&](int x, int y) { return QPoint(y, h - 1 - x); }),
                  QString());
        EXPECT_EQ(ctl->PicWidth(), h);
        openPicture(pic);
        ctl->pcAct(QStringLiteral("回転"), QStringLiteral("左90度"));  // counter-clockwise
        EXPECT_EQ(compareMapped(pic, current(), QSize(h, w), [&](int x, int y) { return QPoint(w - 1 - y, x); }),
                  QString());
        EXPECT_EQ(ctl->sBit(), QString::number(code) + QChar('.'));
        EXPECT_EQ(ctl->iUndo(), 2);
    }
}

TEST_F(ControlTest, CloseUpRemovesTheBandOnEvenAndOddSizes) {
    REQUIRE_OPS();
    struct Case { int w; int h; int l; int t; int r; int b; int dir; };
    const Case cases[] = {
        {640, 480, 200, 0, 260, 480, 0}, {64, 48, 20, 0, 26, 48, 0}, {65, 47, 20, 0, 27, 47, 0},
        {64, 48, 0, 10, 64, 17, 1},      {65, 47, 0, 11, 65, 20, 1}, {33, 33, 0, 0, 5, 33, 0},
        {33, 33, 0, 28, 33, 33, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(QStringLiteral("%1x%2 dir %3 band %4..%5").arg(c.w).arg(c.h).arg(c.dir)
                         .arg(c.dir ? c.t : c.l).arg(c.dir ? c.b : c.r).toStdString());
        const engine::Picture pic = makeTestPicture(c.w, c.h, 24);
        openPicture(pic);
        select(c.l, c.t, c.r, c.b);
        ctl->pcAct(QStringLiteral("綴じ込み"), c.dir ? QStringLiteral("縦方向") : QStringLiteral("横方向"));
        if (c.dir == 0) {
            const int band = c.r - c.l;
            EXPECT_EQ(compareMapped(pic, current(), QSize(c.w - band, c.h),
                                    [&](int x, int y) { return QPoint(x < c.l ? x : x + band, y); }),
                      QString());
        } else {
            const int band = c.b - c.t;
            EXPECT_EQ(compareMapped(pic, current(), QSize(c.w, c.h - band),
                                    [&](int x, int y) { return QPoint(x, y < c.t ? y : y + band); }),
                      QString());
        }
        EXPECT_EQ(edges(*ctl), QList<int>({0, 0, 0, 0}));
        EXPECT_EQ(ctl->ikImg2().ImageHandle(), 0u);  // the scratch copy is gone
        EXPECT_EQ(ctl->iUndo(), 2);
    }
    // With no selection the band is empty and the picture keeps its size.
    const engine::Picture pic = makeTestPicture(21, 11, 24);
    openPicture(pic);
    ctl->pcAct(QStringLiteral("綴じ込み"), QStringLiteral("横方向"));
    EXPECT_TRUE(samePixels(current(), pic));
    EXPECT_EQ(ctl->iUndo(), 2);
}

TEST_F(ControlTest, HighlightInvertsTheThirdChannelAndKeepsTheDepth) {
    REQUIRE_OPS();
    REQUIRE_DEPTH_OPS();
    for (int code : {24, 32, 16}) {
        SCOPED_TRACE(code);
        const engine::Picture pic = makeTestPicture(30, 20, code);
        openPicture(pic);
        select(5, 4, 15, 12);
        ASSERT_EQ(ctl->sEdtMode(), QStringLiteral("読込"));
        ctl->pcAct(QStringLiteral("画像編集"), QStringLiteral("強調"));
        const engine::Picture out = current();
        ASSERT_EQ(out.image.size(), pic.image.size());
        EXPECT_EQ(out.bits, pic.bits);
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 30; ++x) {
                const QRgb a = pic.image.pixel(x, y), b = out.image.pixel(x, y);
                if (x >= 5 && x < 15 && y >= 4 && y < 12) {
                    ASSERT_EQ(qRed(b), qRed(a));
                    ASSERT_EQ(qGreen(b), qGreen(a));
                    // 16 bits keep five bits per channel: the inverse of 8 * v is 8 * (31 - v) + 7
                    ASSERT_LE(std::abs(qBlue(b) - (255 - qBlue(a))), code == 16 ? 7 : 0) << x << "," << y;
                } else if (x > 15 || y > 12) {
                    ASSERT_EQ(b, a) << x << "," << y;
                }
            }
        EXPECT_EQ(edges(*ctl), QList<int>({0, 0, 0, 0}));
        EXPECT_EQ(ctl->iUndo(), 2);
        // A changed picture must be offered for saving, like after any other edit.
        EXPECT_EQ(ctl->sEdtMode(), QStringLiteral("編集"));
    }
    for (int code : {1, 4, 40, 8, 80}) {
        SCOPED_TRACE(code);
        openPicture(makeTestPicture(30, 20, code));
        select(5, 4, 15, 12);
        ctl->pcAct(QStringLiteral("画像編集"), QStringLiteral("強調"));
        EXPECT_EQ(ctl->sBit(), QString::number(code) + QChar('.'));
        EXPECT_EQ(current().image.size(), QSize(30, 20));
        EXPECT_EQ(ctl->iUndo(), 2);
        EXPECT_TRUE(samePixels(readFile(work + QStringLiteral("$$Undo002.bmp")), current()));
    }
    // Black and white survives the trip: white and black keep their side of the threshold.
    engine::Picture bw = makeTestPicture(30, 20, 1);
    bw.image.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    openPicture(bw);
    select(5, 4, 15, 12);
    ctl->pcAct(QStringLiteral("画像編集"), QStringLiteral("強調"));
    EXPECT_EQ(testsupport::maxChannelDiff(rgb(bw), rgb(current())), 0);
}

// A selection kept through a quarter turn can reach past the turned picture's
// edge; closing up removes only the part of the band inside the picture.
TEST_F(ControlTest, CloseUpClipsABandThatReachesPastThePicture) {
    REQUIRE_OPS();
    openPicture(makeTestPicture(40, 30, 24));
    select(25, 2, 35, 8);
    ctl->pcAct(QStringLiteral("回転"), QStringLiteral("左90度"));
    const engine::Picture turned = current();
    ASSERT_EQ(turned.image.size(), QSize(30, 40));
    ctl->pcAct(QStringLiteral("綴じ込み"), QStringLiteral("横方向"));
    EXPECT_EQ(compareMapped(turned, current(), QSize(25, 40), [](int x, int y) { return QPoint(x, y); }), QString());

    // Rows the same way, with a band that starts beyond the picture: nothing to remove.
    openPicture(makeTestPicture(20, 10, 24));
    select(0, 12, 20, 15);
    const engine::Picture before = current();
    ctl->pcAct(QStringLiteral("綴じ込み"), QStringLiteral("縦方向"));
    EXPECT_TRUE(samePixels(current(), before));
}

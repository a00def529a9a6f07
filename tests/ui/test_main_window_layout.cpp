// The window's content tree, the command bar layout and the geometry the
// window restores.
#include "ui_fixture.h"

#include "main_window/info_panel.h"
#include "main_window/twips.h"
#include "settings/yini.h"

#include <QCheckBox>
#include <QApplication>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLayout>
#include <QLineEdit>
#include <QRadioButton>
#include <QSlider>
#include <QGuiApplication>
#include <QScreen>
#include <QSplitter>
#include <QToolButton>

using namespace uitest;
using mainwin::toTwips;
using mainwin::twipsPerPixel;

namespace {

// A pixel position read back in twips is within half a pixel of the design.
void expectTwips(int px, double twips, const char* what) {
    EXPECT_LE(std::abs(toTwips(px) - twips), twipsPerPixel() / 2 + 1e-9) << what << ": " << px << " px";
}

QRect screenRect() { return QGuiApplication::primaryScreen()->geometry(); }

}  // namespace

TEST_F(MainWindowTest, PanesAreNamedAndStackedAtTheirDesignHeights) {
    fmMain& w = makeWindow();
    w.show();
    QSplitter* s = w.splitter();
    ASSERT_EQ(s->count(), 3);
    EXPECT_EQ(s->orientation(), Qt::Vertical);
    EXPECT_EQ(s->widget(0)->objectName(), "pMnu");
    EXPECT_EQ(s->widget(1)->objectName(), "pPcE");
    EXPECT_EQ(s->widget(2)->objectName(), "pCol");
    EXPECT_EQ(s->widget(1), &w.control());
    EXPECT_EQ(w.frCol()->title(), "色設定");
    const QList<int> sizes = s->sizes();
    expectTwips(sizes[0], 330, "command bar");
    expectTwips(sizes[1], 5895, "picture");
    expectTwips(sizes[2], 3120, "colour panel");
}

TEST_F(MainWindowTest, FirstStartUsesTheScreenShareAndTicksTheScaleBox) {
    fmMain& w = loadedWindow();
    const QRect screen = screenRect();
    const double sw = toTwips(screen.width()), sh = toTwips(screen.height());
    // The window's own rectangle, the frame aside (the one stored and restored).
    expectTwips(w.geometry().x(), sw * 0.1, "left");
    expectTwips(w.geometry().y(), sh * 0.1, "top");
    expectTwips(w.width(), sw * 0.7, "width");
    expectTwips(w.height(), sh * 0.7, "height");
    EXPECT_TRUE(w.chScl(0)->isChecked());
    EXPECT_EQ(Usr::sLastFd, Usr::sUsrFd) << "a missing folder falls back to the user data folder";
    EXPECT_EQ(Usr::sPicFd, Usr::sLastFd);
    EXPECT_EQ(w.control().sWrkFld(), Usr::sUsrFd + "Wrk/");
}

TEST_F(MainWindowTest, CommandBarSitsAtTheDesignPositions) {
    fmMain& w = makeWindow();
    w.SetMnu();
    const double labels[5] = {0, 50, 825, 1540, 2255};
    const double labelWidths[5] = {0, 675, 615, 615, 645};
    for (int i = 1; i <= 4; ++i) {
        expectTwips(w.lbCom(i)->x(), labels[i], "label left");
        expectTwips(w.lbCom(i)->y(), 80, "label top");
        expectTwips(w.lbCom(i)->width(), labelWidths[i], "label width");
    }
    EXPECT_EQ(w.lbCom(1)->caption(), "ﾌｧｲﾙ(&F)");
    EXPECT_EQ(w.lbCom(2)->caption(), "編集(&E)");
    EXPECT_EQ(w.lbCom(3)->caption(), "設定(&U)");
    EXPECT_EQ(w.lbCom(4)->caption(), "ﾍﾙﾌﾟ(&H)");
    expectTwips(w.ssPnl()->x(), 3080, "separator");
    const double buttons[6] = {3180, 3520, 3860, 4200, 4540, 4880};
    for (int i = 0; i < 6; ++i) {
        expectTwips(w.imBtn(i)->x(), buttons[i], "button left");
        expectTwips(w.imBtn(i)->y(), 50, "button top");
        EXPECT_FALSE(w.imBtn(i)->icon().isNull()) << "button " << i;
    }
    expectTwips(w.chScl(0)->x(), 5220, "scale box");
    expectTwips(w.chScl(0)->y(), 20, "scale box top");
    expectTwips(w.ssImg()->x(), 6460, "information panel");
    expectTwips(w.ssImg()->width(), 3560, "information panel width");
    EXPECT_EQ(w.imBtn(4)->toolTip(), "Ctrl+X 画像のﾄﾘﾐﾝｸﾞ");
    EXPECT_EQ(w.imBtn(0)->toolTip(), "Ctrl+O ﾌｧｲﾙを指定して開きます");
}

TEST_F(MainWindowTest, InformationPanelKeepsItsMarginAndMinimumWidth) {
    fmMain& w = loadedWindow();
    w.show();  // size changes reach a shown window only
    w.resize(mainwin::toPx(12000), w.height());
    expectTwips(w.ssImg()->width(), 12000 - 6460 - 300, "after widening");
    const int before = w.ssImg()->width();
    w.resize(mainwin::toPx(6460 + 350), w.height());  // leaves less than 100 twips
    EXPECT_EQ(w.ssImg()->width(), before) << "too narrow a window leaves the panel as it was";
}

TEST_F(MainWindowTest, StoredGeometryIsRestoredAndAZeroWidthMaximises) {
    yIni& ini = Usr::oIni();
    {
        fmMain& w = loadedWindow();
        w.setGeometry(mainwin::toPx(1500), mainwin::toPx(900), mainwin::toPx(9000), mainwin::toPx(7000));
        w.FmIni(true);
    }
    ini.GetGtx("画面");
    if (ini.vGtVal("LEFT", -1.0).toDouble() == -1.0)
        GTEST_FAIL() << "the settings document does not keep values";
    fmMain& again = makeWindow();
    again.FmIni(false);
    expectTwips(again.geometry().x(), 1500, "left");
    expectTwips(again.geometry().y(), 900, "top");
    expectTwips(again.width(), 9000, "width");

    ini.GetGtx("画面");
    ini.SetVal("WIDTH", 0);
    ini.SetGtx();
    fmMain& maxed = makeWindow();
    maxed.FmIni(false);
    EXPECT_TRUE(maxed.windowState() & Qt::WindowMaximized);
}

TEST_F(MainWindowTest, GeometryOutsideEveryScreenFallsBackToTheDefault) {
    yIni& ini = Usr::oIni();
    ini.GetGtx("画面");
    ini.SetVal("LEFT", 5000000);
    ini.SetVal("TOP", 4000000);
    ini.SetVal("WIDTH", 9000);
    ini.SetVal("HEIGHT", 7000);
    ini.SetGtx();
    ini.GetGtx("画面");
    if (ini.vGtVal("LEFT", -1.0).toDouble() == -1.0)
        GTEST_FAIL() << "the settings document does not keep values";
    fmMain& w = makeWindow();
    w.FmIni(false);
    const QRect screen = screenRect();
    expectTwips(w.geometry().x(), toTwips(screen.width()) * 0.1, "left");
    expectTwips(w.width(), toTwips(screen.width()) * 0.7, "width");
}

TEST_F(MainWindowTest, StoringWritesTheEightSettings) {
    fmMain& w = loadedWindow();
    w.setGeometry(mainwin::toPx(1500), mainwin::toPx(900), w.width(), w.height());
    w.FmIni(true);
    yIni& ini = Usr::oIni();
    ini.GetGtx("画面");
    if (ini.vGtVal("LEFT", -1.0).toDouble() == -1.0)
        GTEST_FAIL() << "the settings document does not keep values";
    EXPECT_NEAR(ini.vGtVal("LEFT", -1.0).toDouble(), 1500, twipsPerPixel());
    EXPECT_NEAR(ini.vGtVal("TOP", -1.0).toDouble(), 900, twipsPerPixel());
    EXPECT_NEAR(ini.vGtVal("WIDTH", -1.0).toDouble(), toTwips(w.width()), 1);
    EXPECT_NEAR(ini.vGtVal("HEIGHT", -1.0).toDouble(), toTwips(w.height()), 1);
    ini.GetGtx("設定");
    EXPECT_EQ(ini.vGtVal("編集更新", -1.0).toDouble(), 0);
    EXPECT_EQ(ini.vGtVal("ﾌｫﾙﾀﾞ", QString("?")).toString(), Usr::sUsrFd);
    EXPECT_EQ(ini.vGtVal("画像ﾌｫﾙﾀﾞ", QString("?")).toString(), Usr::sUsrFd);
}

TEST_F(MainWindowTest, JapaneseCaptionsGetAJapaneseFont) {
    if (!QFontDatabase::hasFamily("Noto Sans CJK JP"))
        GTEST_SKIP() << "fonts-noto-cjk is not installed";
    makeWindow();
    EXPECT_EQ(QApplication::font().family(), "Noto Sans CJK JP");
}

TEST_F(MainWindowTest, ColourPanelContentFitsItsFrameAndItsCaptions) {
    fmMain& w = loadedWindow();
    w.show();
    auto* frClS = qobject_cast<QGroupBox*>(w.opColor(0)->parentWidget());
    ASSERT_NE(frClS, nullptr);
    const QList<QWidget*> content = frClS->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    const QRect inside = frClS->contentsRect();
    for (const QWidget* c : content) {
        // Below the frame's caption and line ("白黒" sat on them), inside its bottom.
        EXPECT_GE(c->y(), inside.top()) << c->metaObject()->className() << " at " << c->y();
        EXPECT_LE(c->geometry().bottom(), inside.bottom()) << c->metaObject()->className();
        EXPECT_LE(c->geometry().right(), inside.right()) << c->metaObject()->className();
        for (const QWidget* d : content)
            if (c != d)
                EXPECT_FALSE(c->geometry().intersects(d->geometry()))
                    << c->metaObject()->className() << " " << d->metaObject()->className();
    }
    EXPECT_FALSE(frClS->geometry().intersects(w.ikImg().geometry())) << "the frame leaves the preview its place";
    // Every option shows its whole caption, with room before its right-hand
    // neighbour ("256色(8bit)" touched "16 ﾋﾞｯﾄ").
    for (int i = 0; i < 8; ++i) {
        const QRadioButton* op = w.opColor(i);
        EXPECT_GE(op->width(), op->sizeHint().width()) << op->text().toStdString();
        for (int j = 0; j < 8; ++j) {
            const QRadioButton* other = w.opColor(j);
            if (j != i && other->y() == op->y() && other->x() > op->x())
                EXPECT_GE(other->x() - (op->x() + op->sizeHint().width()), 3)
                    << op->text().toStdString() << " / " << other->text().toStdString();
        }
    }
    // The threshold box shows "252.45" whole: the text does not scroll when
    // the cursor goes to its end.
    w.slider()->setValue(99);
    QLineEdit* t = w.txSld();
    ASSERT_EQ(t->text(), "252.45");
    const auto cursor = [t] { return t->inputMethodQuery(Qt::ImCursorRectangle).toRect(); };
    t->setCursorPosition(0);
    const int start = cursor().left();
    t->setCursorPosition(int(t->text().size()));
    EXPECT_GE(cursor().left() - start, t->fontMetrics().horizontalAdvance(t->text()) - 1);
    EXPECT_LE(cursor().right(), t->contentsRect().right());
    EXPECT_LT(w.slider()->geometry().right(), t->x()) << "the slider leaves the box its room";
}

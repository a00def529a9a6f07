// The popup menus: what each item records, the state enabling, the clipboard
// test of the edit menu.
#include "ui_fixture.h"

#include "startup/usr.h"

#include <QApplication>
#include <QClipboard>
#include <QTimer>
#include <QtTest/QTest>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>

using namespace uitest;

namespace {

// Chooses the given item when the menu pops up.
void choose(spPic& m, QAction* item) {
    m.chooser = [item](QMenu*) { return item; };
}

Command record(spPic& m, int menu, QAction* item) {
    choose(m, item);
    m.Act(menu);
    return {m.sGrp, m.sCap};
}

}  // namespace

TEST_F(MainWindowTest, EveryItemRecordsItsCommand) {
    spPic& m = spPic::instance();
    EXPECT_EQ(record(m, 2, m.mnFile(0)), Command("ﾌｧｲﾙ", "ﾌｧｲﾙを開く"));
    EXPECT_EQ(record(m, 2, m.mnFile(2)), Command("ﾌｧｲﾙ", "上書き保存"));
    EXPECT_EQ(record(m, 2, m.mnFile(3)), Command("ﾌｧｲﾙ", "名前を付けて保存"));
    EXPECT_EQ(record(m, 2, m.mnFile(16)), Command("ﾌｧｲﾙ", "終了"));
    EXPECT_EQ(record(m, 3, m.mnEdt(0)), Command("画像編集", "読込時に戻す"));
    EXPECT_EQ(record(m, 3, m.mnEdt(1)), Command("画像編集", "編集を一つ戻す"));
    EXPECT_EQ(record(m, 3, m.mnEdt(3)), Command("画像編集", "ｸﾘｯﾌﾟﾎﾞｰﾄﾞにｺﾋﾟｰ"));
    EXPECT_EQ(record(m, 3, m.mnEdt(6)), Command("範囲", "範囲のｸﾘｱ"));
    EXPECT_EQ(record(m, 3, m.mnEdt(7)), Command("画像編集", "強調"));
    EXPECT_EQ(record(m, 3, m.mnEdt(8)), Command("画像編集", "ﾄﾘﾐﾝｸﾞ"));
    // The resize items record by position, not by caption.
    EXPECT_EQ(record(m, 3, m.mnResize(0)), Command("ﾘｻｲｽﾞ", "横基準"));
    EXPECT_EQ(record(m, 3, m.mnResize(1)), Command("ﾘｻｲｽﾞ", "縦基準"));
    EXPECT_EQ(record(m, 3, m.mnResize(3)), Command("ﾘｻｲｽﾞ", "縦横比率を変えて縮小"));
    EXPECT_EQ(record(m, 3, m.mnToj(0)), Command("綴じ込み", "横方向"));
    EXPECT_EQ(record(m, 3, m.mnToj(1)), Command("綴じ込み", "縦方向"));
    EXPECT_EQ(record(m, 3, m.mnRotate(0)), Command("回転", "左右反転"));
    EXPECT_EQ(record(m, 3, m.mnRotate(1)), Command("回転", "上下反転"));
    EXPECT_EQ(record(m, 3, m.mnRotate(2)), Command("回転", "右90度"));
    EXPECT_EQ(record(m, 3, m.mnRotate(3)), Command("回転", "左90度"));
}

TEST_F(MainWindowTest, DismissingSeparatorsAndSendToRecordNothing) {
    spPic& m = spPic::instance();
    record(m, 2, m.mnFile(0));
    EXPECT_EQ(record(m, 2, nullptr), Command());
    EXPECT_EQ(record(m, 2, m.mnFile(1)), Command());
    EXPECT_EQ(record(m, 3, m.mnEdt(9)), Command()) << "a submenu parent";
    EXPECT_EQ(record(m, 4, m.mnUsr()), Command());
    EXPECT_TRUE(QFileInfo::exists(env.applications() + "/tolvane.desktop")) << "the Send To item made its entry";
    EXPECT_EQ(spPic::caption(m.mnUsr()), "「送る」にｼｮｰﾄｶｯﾄ作成");
    EXPECT_EQ(m.mnJb(4)->actions().first(), m.mnUsr()) << "the settings menu starts with the Send To item";
}

TEST_F(MainWindowTest, MenuTreeKeepsItsIndexesAndShowsShortcutsAsText) {
    spPic& m = spPic::instance();
    EXPECT_EQ(m.mnJb(0), nullptr);
    EXPECT_EQ(m.mnJb(1), nullptr);
    EXPECT_EQ(m.mnJb(2)->title(), "ﾌｧｲﾙ");
    EXPECT_EQ(m.mnJb(3)->title(), "画像編集");
    EXPECT_EQ(m.mnJb(4)->title(), "表示");
    EXPECT_TRUE(m.mnFile(15)->isSeparator());
    EXPECT_EQ(m.mnFile(4), nullptr);
    EXPECT_EQ(m.mnFile(0)->text(), "ﾌｧｲﾙを開く(&O)\tCtrl+O");
    EXPECT_EQ(m.mnEdt(8)->text(), "ﾄﾘﾐﾝｸﾞ\tCtrl+T");
    EXPECT_EQ(m.mnRotate(3)->text(), "左90度\tCtrl+L");
    EXPECT_EQ(spPic::caption(m.mnResize(0)), "横方向を基準に縮小");
    for (int i : {2, 3, 4})
        for (QAction* a : m.mnJb(i)->findChildren<QAction*>())
            EXPECT_TRUE(a->shortcut().isEmpty()) << "the keys belong to the main window";
}

TEST_F(MainWindowTest, CaptionsAreCutBeforeTheAccessKey) {
    QString text = "上書き保存(&S)";
    Usr::CutAt(text, "(&");
    EXPECT_EQ(text, "上書き保存");
    text = "範囲のｸﾘｱ";
    Usr::CutAt(text, "(&");
    EXPECT_EQ(text, "範囲のｸﾘｱ");
}

TEST_F(MainWindowTest, EditStateEnablesTheItems) {
    spPic& m = spPic::instance();
    struct Row {
        QAction* item;
        bool initial, loaded, edited;
    };
    const Row rows[] = {
        {m.mnFile(2), false, false, true},
        {m.mnFile(3), false, true, true},
        {m.mnJb(3)->menuAction(), false, true, true},
        {m.mnEdt(0), false, false, true},
        {m.mnEdt(1), false, false, true},
        {m.mnEdt(3), false, true, true},
        {m.mnFile(0), true, true, true},
        {m.mnEdt(8), true, true, true},
    };
    for (const char* state : {"初期", "読込", "編集"}) {
        m.setPrEdtMode(state);
        for (const Row& r : rows) {
            const bool want = QString(state) == "初期" ? r.initial : QString(state) == "読込" ? r.loaded : r.edited;
            EXPECT_EQ(r.item->isEnabled(), want) << state << " " << spPic::caption(r.item).toStdString();
        }
    }
    // In "初期" the edit menu does not open at all.
    m.setPrEdtMode("初期");
    bool opened = false;
    m.chooser = [&](QMenu*) {
        opened = true;
        return m.mnEdt(7);
    };
    m.Act(3);
    EXPECT_FALSE(opened);
    EXPECT_TRUE(m.sGrp.isEmpty());
    // A disabled item cannot be chosen.
    m.setPrEdtMode("読込");
    EXPECT_EQ(record(m, 2, m.mnFile(2)), Command());
}

TEST_F(MainWindowTest, EditMenuOffersPasteOnlyWithAPictureOnTheClipboard) {
    spPic& m = spPic::instance();
    QClipboard* cb = QGuiApplication::clipboard();
    cb->clear();
    m.chooser = [](QMenu*) { return nullptr; };
    m.Act(3);
    EXPECT_FALSE(m.mnEdt(4)->isEnabled());
    cb->setText("text only");
    m.Act(3);
    EXPECT_FALSE(m.mnEdt(4)->isEnabled());
    QImage img(4, 4, QImage::Format_RGB32);
    img.fill(Qt::red);
    cb->setImage(img);
    m.Act(2);
    EXPECT_FALSE(m.mnEdt(4)->isEnabled()) << "only opening the edit menu looks";
    m.Act(3);
    EXPECT_TRUE(m.mnEdt(4)->isEnabled());
    cb->clear();
}

TEST_F(MainWindowTest, RealPopupRecordsTheItemChosenWithTheKeyboard) {
    spPic& m = spPic::instance();
    QString shownTitle;
    // Once the popup runs its own loop, choose "強調" with the keyboard, as a user would.
    QTimer::singleShot(0, [&] {
        auto* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!popup)
            return;
        shownTitle = popup->title();
        popup->setActiveAction(m.mnEdt(7));
        QTest::keyClick(popup, Qt::Key_Return);
    });
    m.Act(3);
    EXPECT_EQ(shownTitle, "画像編集");
    EXPECT_EQ(Command(m.sGrp, m.sCap), Command("画像編集", "強調"));

    QTimer::singleShot(0, [] {
        if (auto* popup = QApplication::activePopupWidget())
            QTest::keyClick(popup, Qt::Key_Escape);
    });
    m.Act(2);
    EXPECT_EQ(Command(m.sGrp, m.sCap), Command()) << "Escape dismisses without a choice";
}

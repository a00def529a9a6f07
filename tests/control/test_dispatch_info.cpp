// The command vocabulary's effect on the edit state, the picture information
// text with its depth code, the view modes and the selection by size.
#include "control_fixture.h"
#include "picture_control/upce_util.h"

using namespace controltest;
using testsupport::makeTestPicture;

TEST_F(ControlTest, EditStateFollowsTheCommand) {
    putPicture(makeTestPicture(6, 6, 24));
    struct Case { const char16_t* group; const char16_t* item; const char16_t* before; const char16_t* after; };
    const Case cases[] = {
        // the colour groups dispatch nothing and still mark an edit
        {u"色数", u"256色", u"読込", u"編集"},
        {u"補正･効果", u"x", u"読込", u"編集"},
        {u"色反転", u"x", u"読込", u"編集"},
        {u"彩度", u"x", u"読込", u"編集"},
        {u"明度", u"x", u"読込", u"編集"},
        // an empty group occurs in every list of groups
        {u"", u"何か", u"読込", u"編集"},
        // unknown pairs and commands that change no pixels keep the state
        {u"ほか", u"何か", u"読込", u"読込"},
        {u"表示", u"実寸", u"編集", u"編集"},
        {u"範囲", u"範囲のｸﾘｱ", u"読込", u"読込"},
        {u"更新", u"確認なし", u"読込", u"読込"},
        {u"画像編集", u"ｸﾘｯﾌﾟﾎﾞｰﾄﾞにｺﾋﾟｰ", u"編集", u"編集"},
        {u"画像編集", u"ﾂｰﾙﾊﾞｰを表示", u"読込", u"読込"},
        // the accelerator suffix is the host's to strip: with it nothing matches
        {u"ﾌｧｲﾙ", u"上書き保存(&S)", u"編集", u"編集"},
        // "読込" means "as on disk": a save item that wrote nothing (an empty
        // item or a part of a caption) leaves the state
        {u"ﾌｧｲﾙ", u"", u"編集", u"編集"},
        {u"色数", u"", u"編集", u"編集"},
        {u"ﾌｧｲﾙ", u"保存", u"編集", u"編集"},
        // the host sets any state it likes
        {u"編集状態", u"初期", u"読込", u"初期"},
    };
    for (const Case& c : cases) {
        const QString group = QString::fromUtf16(c.group), item = QString::fromUtf16(c.item);
        SCOPED_TRACE((group + QChar('/') + item).toStdString());
        ctl->pcAct(QStringLiteral("編集状態"), QString::fromUtf16(c.before));
        clearEvents();
        ctl->pcAct(group, item);
        EXPECT_EQ(ctl->sEdtMode(), QString::fromUtf16(c.after));
        EXPECT_EQ(ctl->ImgHandle() != 0, true);
    }
    // Setting the same state again is still reported.
    clearEvents();
    ctl->pcAct(QStringLiteral("編集状態"), QStringLiteral("編集"));
    ctl->pcAct(QStringLiteral("編集状態"), QStringLiteral("編集"));
    EXPECT_EQ(spyMode->count(), 2);
}

TEST_F(ControlTest, EditCommandsMarkAnEditEvenWhenNothingChanged) {
    const std::pair<const char16_t*, const char16_t*> commands[] = {
        {u"回転", u"右90度"}, {u"綴じ込み", u"縦方向"}, {u"画像編集", u"ﾄﾘﾐﾝｸﾞ"}, {u"色数", u"白黒"}};
    // No picture at all: nothing is edited, so nothing may be offered for
    // saving (a "yes" could write nothing and would keep the window open).
    for (const auto& [g, i] : commands) {
        ctl->pcAct(QStringLiteral("編集状態"), QStringLiteral("読込"));
        ctl->pcAct(QString::fromUtf16(g), QString::fromUtf16(i));
        EXPECT_EQ(ctl->sEdtMode(), QStringLiteral("読込")) << QString::fromUtf16(i).toStdString();
    }
    EXPECT_TRUE(prompt.messages.isEmpty());
    ctl->pcAct(QStringLiteral("ﾘｻｲｽﾞ"), QStringLiteral("横基準"));
    EXPECT_EQ(prompt.messages, QStringList({QStringLiteral("先に範囲を指定し､そのｻｲｽﾞに合わせて縮小します")}));
    EXPECT_EQ(ctl->ImgHandle(), 0u);

    // A state set by the host without a picture asks nothing either, in every mode.
    ctl->pcAct(QStringLiteral("編集状態"), QStringLiteral("編集"));
    for (const char16_t* mode : {u"確認後更新", u"確認なし", u"自動更新"}) {
        ctl->pcAct(QStringLiteral("更新"), QString::fromUtf16(mode));
        EXPECT_EQ(ctl->vCheckSave(), 0);
    }
    EXPECT_EQ(prompt.messages.size(), 1);

    // With a picture the edit commands mark an edit even when nothing changed
    // (no selection to trim or close up).
    ctl->pcAct(QStringLiteral("更新"), QStringLiteral("確認後更新"));
    openPicture(makeTestPicture(12, 8, 24));
    for (const auto& [g, i] : commands) {
        ctl->pcAct(QStringLiteral("編集状態"), QStringLiteral("読込"));
        ctl->pcAct(QString::fromUtf16(g), QString::fromUtf16(i));
        EXPECT_EQ(ctl->sEdtMode(), QStringLiteral("編集")) << QString::fromUtf16(i).toStdString();
    }
}

TEST_F(ControlTest, InformationTextAndDepthCode) {
    struct Case { int code; int width; int height; const char16_t* bit; const char16_t* text; };
    // DIB rows padded to 4 bytes: 1000 px at 1 bit = 128 bytes, at 4 bits 500 -> 500,
    // at 8 bits 1000, at 24 bits 3000, at 32 bits 4000.
    const Case cases[] = {
        {1, 1000, 3, u"1.", u"ｲﾒｰｼﾞｻｲｽﾞ:384  色数:2 (1bit)"},
        {40, 1000, 3, u"40.", u"ｲﾒｰｼﾞｻｲｽﾞ:1,500  色数:16 (4bit)"},
        {4, 1000, 3, u"4.", u"ｲﾒｰｼﾞｻｲｽﾞ:1,500  色数:16 (4bit)"},
        {8, 1000, 3, u"8.", u"ｲﾒｰｼﾞｻｲｽﾞ:3,000  色数:256 (8bit)"},
        {80, 1000, 3, u"80.", u"ｲﾒｰｼﾞｻｲｽﾞ:3,000  色数:256 (8bit)"},
        {16, 1000, 3, u"16.", u"ｲﾒｰｼﾞｻｲｽﾞ:6,000  色数:65,536 (16bit)"},
        {24, 1000, 3, u"24.", u"ｲﾒｰｼﾞｻｲｽﾞ:9,000  色数:16,777,216 (24bit)"},
        {32, 1000, 3, u"32.", u"ｲﾒｰｼﾞｻｲｽﾞ:12,000  色数:4,294,967,296 (32bit)"},
        {24, 1000, 1000, u"24.", u"ｲﾒｰｼﾞｻｲｽﾞ:3,000,000  色数:16,777,216 (24bit)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        clearEvents();
        putPicture(makeTestPicture(c.width, c.height, c.code));
        ASSERT_EQ(spyType->count(), 1);
        EXPECT_EQ(spyType->at(0).at(1).toString(), QString::fromUtf16(c.bit));
        EXPECT_EQ(spyType->at(0).at(2).toString(), QString::fromUtf16(c.text));
        EXPECT_EQ(ctl->sBit(), QString::fromUtf16(c.bit));
        EXPECT_EQ(ctl->PicWidth(), c.width);
        EXPECT_EQ(ctl->PicHeight(), c.height);
    }
}

TEST(ControlText, SizeFigureFormat) {
    // "##,###": a 0 prints nothing at all, so the text reads "ｲﾒｰｼﾞｻｲｽﾞ:" then "  色数:".
    EXPECT_EQ(upce::groupDigits(0), QString());
    EXPECT_EQ(upce::groupDigits(7), QStringLiteral("7"));
    EXPECT_EQ(upce::groupDigits(999), QStringLiteral("999"));
    EXPECT_EQ(upce::groupDigits(1000), QStringLiteral("1,000"));
    EXPECT_EQ(upce::groupDigits(1234567), QStringLiteral("1,234,567"));
    EXPECT_EQ(upce::groupDigits(4294967296.0), QStringLiteral("4,294,967,296"));
}

TEST_F(ControlTest, NoPictureNoInformation) {
    ctl->setSBit(QStringLiteral("24."));
    ctl->pcAct(QStringLiteral("表示"), QStringLiteral("実寸"));
    EXPECT_EQ(ctl->iDspMode(), 3);
    EXPECT_EQ(ctl->ikImg().DispMode(), 3);
    EXPECT_EQ(spyType->count(), 0);
    EXPECT_EQ(ctl->sBit(), QStringLiteral("24."));
}

TEST_F(ControlTest, ViewModesAndUserSettings) {
    const char16_t* captions[] = {u"ｽｹｰﾙ", u"ｽﾄﾚｯﾁ", u"実寸", u"横合わせ", u"縦合わせ"};
    for (int i = 0; i < 5; ++i) {
        ctl->pcAct(QStringLiteral("表示"), QString::fromUtf16(captions[i]));
        EXPECT_EQ(ctl->iDspMode(), i + 1);
        EXPECT_EQ(ctl->ikImg().DispMode(), i + 1);
        int ed = -1;
        QString dsp;
        ctl->GetUsrP(ed, dsp);
        EXPECT_EQ(dsp, QString::fromUtf16(captions[i]));
    }
    ctl->pcAct(QStringLiteral("表示"), QStringLiteral("ｽｹｰﾙ(&S)"));
    EXPECT_EQ(ctl->iDspMode(), 5);  // an unknown caption keeps the mode
    ctl->SetUsrP(2, QStringLiteral("横合わせ"));
    int ed = -1;
    QString dsp;
    ctl->GetUsrP(ed, dsp);
    EXPECT_EQ(ed, 2);
    EXPECT_EQ(dsp, QStringLiteral("横合わせ"));

    uPcE fresh;
    fresh.GetUsrP(ed, dsp);
    EXPECT_EQ(dsp, QStringLiteral("ｽｹｰﾙ"));  // never set: the engine's own default
}

TEST_F(ControlTest, SelectionBySize) {
    putPicture(makeTestPicture(640, 480, 24));
    auto edges = [&] {
        engine::ImageEngine& e = ctl->ikImg();
        return QList<int>({e.SelLeft(), e.SelTop(), e.SelRight(), e.SelBottom()});
    };
    ctl->SetRect(100, 50);
    EXPECT_EQ(edges(), QList<int>({1, 1, 101, 51}));
    EXPECT_EQ(QList<int>(ctl->CornerX(), ctl->CornerX() + 4), QList<int>({1, 101, 101, 1}));
    EXPECT_EQ(QList<int>(ctl->CornerY(), ctl->CornerY() + 4), QList<int>({1, 1, 51, 51}));
    ctl->SetRect(1000, 1000);
    EXPECT_EQ(edges(), QList<int>({1, 1, 640, 480}));
    ctl->SetRect(0, 0);
    EXPECT_EQ(edges(), QList<int>({1, 1, 1, 1}));
    ctl->SetRect(10.5, 11.5);  // 11.5 -> 12 and 12.5 -> 12: halves go to the even neighbour
    EXPECT_EQ(edges(), QList<int>({1, 1, 12, 12}));
    ctl->SetRect(-1, 20);
    EXPECT_EQ(edges(), QList<int>({1, 1, 12, 12}));
    ctl->SetRect(20, -1);
    EXPECT_EQ(edges(), QList<int>({1, 1, 12, 12}));
    ctl->SetRect(-7, 20);  // would turn the rectangle inside out
    EXPECT_EQ(edges(), QList<int>({1, 1, 12, 12}));

    ctl->pcAct(QStringLiteral("範囲"), QString());
    EXPECT_EQ(edges(), QList<int>({0, 0, 0, 0}));

    uPcE empty;
    empty.SetRect(100, 50);
    EXPECT_EQ(empty.ikImg().SelRight(), 0);
}

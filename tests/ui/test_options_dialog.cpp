// The settings dialog of the settings menu: the view mode and the edit-update
// mode reach the control through its commands and are written to "User.xml"
// under their own keys, the file keeping its fifteen lines; the preview's
// scale box and the drawing toolbar are kept beside it and survive a restart.
#include "ui_fixture.h"

#include "main_window/extra_settings.h"
#include "platform/text_codec.h"
#include "settings/yini.h"

#include <QCheckBox>
#include <QFile>

using namespace uitest;

namespace {

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray cp932(const char* utf8) { return platform::toCp932(QString::fromUtf8(utf8)); }

void chooseOptions(fmMain& w) {
    w.menus().chooser = [&](QMenu*) { return w.menus().mnOpt(); };
    w.lbComClick(3);
}

}  // namespace

TEST_F(MainWindowTest, OptionsDialogWritesTheUserXmlKeysInTheFilesLayout) {
    fmMain& w = loadedWindow();
    const QString xml = Usr::sUsrFd + QStringLiteral("User.xml");
    ASSERT_TRUE(w.chScl(0)->isChecked());
    // 実寸, 確認なし, preview scaled, no toolbar.
    prompt.formEdits.push_back(std::vector<std::pair<int, double>>{{0, 2}, {1, 1}, {2, 1}, {3, 0}});
    chooseOptions(w);
    ASSERT_EQ(prompt.formTitles, QStringList{QStringLiteral("環境設定")});
    EXPECT_EQ(commands, (std::vector<Command>{{"表示", "実寸"}, {"更新", "確認なし"}}));
    EXPECT_EQ(w.control().iDspMode(), 3);
    EXPECT_EQ(w.control().iEdtUpd(), 1);
    EXPECT_FALSE(w.chScl(0)->isChecked());
    EXPECT_TRUE(w.chScl(1)->isChecked());

    // On disk at once, with the fifteen lines of the file's layout.
    const QByteArray written = readAll(xml);
    const QList<QByteArray> lines = written.split('\n');
    ASSERT_EQ(lines.size(), 15) << written.constData();
    EXPECT_EQ(lines[0], "<?xml version='1.0' encoding='Shift-JIS' ?>\r");
    EXPECT_EQ(lines[2], "   <" + cp932("画面") + ">\r");
    EXPECT_TRUE(lines[3].startsWith("      <LEFT>"));
    EXPECT_TRUE(lines[6].startsWith("      <HEIGHT>"));
    EXPECT_EQ(lines[8], "   <" + cp932("設定") + ">\r");
    EXPECT_EQ(lines[9], "      <" + cp932("編集更新") + ">1</" + cp932("編集更新") + ">\r");
    EXPECT_EQ(lines[10], "      <" + cp932("ｽｹｰﾙ表示") + ">" + cp932("実寸") + "</" + cp932("ｽｹｰﾙ表示") + ">\r");
    EXPECT_TRUE(lines[11].startsWith("      <" + cp932("ﾌｫﾙﾀﾞ") + ">"));
    EXPECT_TRUE(lines[12].startsWith("      <" + cp932("画像ﾌｫﾙﾀﾞ") + ">"));
    EXPECT_EQ(lines[14], "</" + cp932("運用") + ">") << "no line break after the root";
    // Byte for byte what the close sequence writes.
    w.FmIni(true);
    bool ok = false;
    Usr::oIni().SetTxt(ok);
    EXPECT_EQ(readAll(xml), written);
    EXPECT_FALSE(written.contains("Recent") || written.contains("Preview")) << "nothing new in User.xml";

    // The next start reads them back.
    windows.clear();
    Usr::releaseIni();
    fmMain& again = loadedWindow();
    EXPECT_EQ(again.control().iDspMode(), 3);
    EXPECT_EQ(again.control().iEdtUpd(), 1);
    EXPECT_FALSE(again.chScl(0)->isChecked());
    EXPECT_TRUE(again.chScl(1)->isChecked()) << "the preview's scale box, kept beside User.xml";
}

TEST_F(MainWindowTest, OptionsDialogCancelledOrWithoutPictureChangesNothingElse) {
    fmMain& w = loadedWindow();
    const QString xml = Usr::sUsrFd + QStringLiteral("User.xml");
    const QByteArray before = readAll(xml);
    prompt.formEdits.push_back(std::nullopt);
    chooseOptions(w);
    EXPECT_TRUE(commands.empty());
    EXPECT_EQ(readAll(xml), before);
    EXPECT_EQ(w.control().iDspMode(), 1);

    // The toolbar option without a picture opens nothing; it is kept for the
    // pictures to come.
    prompt.formEdits.push_back(std::vector<std::pair<int, double>>{{3, 1}});
    chooseOptions(w);
    EXPECT_EQ(commands, (std::vector<Command>{{"表示", "ｽｹｰﾙ"}, {"更新", "確認後更新"}}));
    EXPECT_TRUE(mainwin::extraSetting(QStringLiteral("DrawToolbar")).toBool());
    EXPECT_TRUE(w.chScl(0)->isChecked());
}

TEST_F(MainWindowTest, SettingsMenuKeepsSendToFirstAndAddsTheDialog) {
    spPic& m = spPic::instance();
    ASSERT_GE(m.mnJb(4)->actions().size(), 2);
    EXPECT_EQ(m.mnJb(4)->actions().first(), m.mnUsr());
    EXPECT_EQ(spPic::caption(m.mnOpt()), QStringLiteral("環境設定..."));
    // Choosing it records no command of the control.
    m.chooser = [&](QMenu*) { return m.mnOpt(); };
    m.Act(4);
    EXPECT_TRUE(m.sGrp.isEmpty() && m.sCap.isEmpty());
    EXPECT_EQ(m.sWndCom, QStringLiteral("環境設定"));
}

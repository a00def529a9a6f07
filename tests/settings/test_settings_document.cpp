// The settings document "User.xml": its exact bytes, reading and writing
// groups and keys, the damaged-file message and the typed reads.
#include "platform/prompt.h"
#include "settings/yini.h"
#include "support/user_env.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

using testsupport::UserEnv;

namespace {

// CP932 bytes of the names, taken from the code page table, not from our
// own converter.
const QByteArray kRoot("\x89\x5e\x97\x70");           // 運用
const QByteArray kScreen("\x89\xe6\x96\xca");         // 画面
const QByteArray kSetup("\x90\xdd\x92\xe8");          // 設定
const QByteArray kEditMode("\x95\xd2\x8f\x57\x8d\x58\x90\x56");  // 編集更新
const QByteArray kViewMode("\xbd\xb9\xb0\xd9\x95\x5c\x8e\xa6");  // ｽｹｰﾙ表示
const QByteArray kScale("\xbd\xb9\xb0\xd9");                      // ｽｹｰﾙ
const QByteArray kFolder("\xcc\xab\xd9\xc0\xde");                 // ﾌｫﾙﾀﾞ
const QByteArray kPicFolder("\x89\xe6\x91\x9c\xcc\xab\xd9\xc0\xde");  // 画像ﾌｫﾙﾀﾞ
const QByteArray kPhoto("\x8e\xca\x90\x5e");                      // 写真

QByteArray keyLine(const QByteArray& name, const QByteArray& value) {
    return "      <" + name + ">" + value + "</" + name + ">\r\n";
}

const QString kDecl = QStringLiteral("<?xml version='1.0' encoding='Shift-JIS' ?>");

// The document the program writes after the given groups (name, key lines).
QString document(const QList<QPair<QString, QString>>& groups) {
    QString t = kDecl + QStringLiteral("\r\n<運用>\r\n");
    for (const auto& g : groups)
        t += QStringLiteral("   <") + g.first + QStringLiteral(">\r\n") + g.second + QStringLiteral("   </") +
             g.first + QStringLiteral(">\r\n");
    return t + QStringLiteral("</運用>");
}

QString key(const QString& name, const QString& value) {
    return QStringLiteral("      <") + name + QChar('>') + value + QStringLiteral("</") + name + QStringLiteral(">\r\n");
}

class SettingsDocument : public ::testing::Test {
protected:
    UserEnv env;
    platform::ScriptedPrompt prompt;
    platform::ScopedPrompt scoped{&prompt};
    QString file() const { return env.root() + QStringLiteral("/User.xml"); }

    // Writes text as the settings file and loads it into ini.
    void load(yIni& ini, const QString& text) {
        ini.sTxt = text;
        bool ok = false;
        ini.sIniFile = file();
        ini.SetTxt(ok);
        ASSERT_TRUE(ok);
        ini.sTxt.clear();
        ini.GetTxt(file(), ok);
        ASSERT_TRUE(ok);
    }
};

TEST_F(SettingsDocument, FirstRunWritesTheFifteenLineFileByteForByte) {
    ASSERT_TRUE(env.ok());
    yIni ini;
    bool ok = false;
    ini.GetTxt(file(), ok);
    ASSERT_TRUE(ok);
    // The missing file is created empty at once.
    ASSERT_TRUE(QFileInfo(file()).isFile());
    EXPECT_EQ(QFileInfo(file()).size(), 0);

    // The main window's restore: every key absent, every default back.
    ini.GetGtx(QStringLiteral("画面"));
    EXPECT_EQ(ini.vGtVal(QStringLiteral("LEFT"), 1536.0), QVariant(1536.0));
    EXPECT_EQ(ini.vGtVal(QStringLiteral("HEIGHT"), 8064.0), QVariant(8064.0));
    ini.GetGtx(QStringLiteral("設定"));
    EXPECT_EQ(ini.vGtVal(QStringLiteral("編集更新"), QVariant::fromValue<qint16>(0)), QVariant::fromValue<qint16>(0));
    EXPECT_EQ(ini.vGtVal(QStringLiteral("ｽｹｰﾙ表示"), QStringLiteral("ｽｹｰﾙ")), QVariant(QStringLiteral("ｽｹｰﾙ")));
    EXPECT_EQ(ini.vGtVal(QStringLiteral("ﾌｫﾙﾀﾞ"), QString()), QVariant(QString()));

    // The close sequence's store, then the end of the run.
    ini.GetGtx(QStringLiteral("画面"));
    ini.SetVal(QStringLiteral("LEFT"), 1536);
    ini.SetVal(QStringLiteral("TOP"), -15);
    ini.SetVal(QStringLiteral("WIDTH"), 10752);
    ini.SetVal(QStringLiteral("HEIGHT"), 8064);
    ASSERT_TRUE(ini.SetGtx());
    ini.GetGtx(QStringLiteral("設定"));
    ini.SetVal(QStringLiteral("編集更新"), QVariant::fromValue<qint16>(2));
    ini.SetVal(QStringLiteral("ｽｹｰﾙ表示"), QStringLiteral("ｽｹｰﾙ"));
    ini.SetVal(QStringLiteral("ﾌｫﾙﾀﾞ"), QStringLiteral("/home/me/写真/"));
    ini.SetVal(QStringLiteral("画像ﾌｫﾙﾀﾞ"), QString());
    ASSERT_TRUE(ini.SetGtx());
    ok = false;
    ini.SetTxt(ok);
    ASSERT_TRUE(ok);

    const QByteArray expected = "<?xml version='1.0' encoding='Shift-JIS' ?>\r\n"
                                "<" + kRoot + ">\r\n"
                                "   <" + kScreen + ">\r\n" +
                                keyLine("LEFT", "1536") + keyLine("TOP", "-15") + keyLine("WIDTH", "10752") +
                                keyLine("HEIGHT", "8064") +
                                "   </" + kScreen + ">\r\n"
                                "   <" + kSetup + ">\r\n" +
                                keyLine(kEditMode, "2") + keyLine(kViewMode, kScale) +
                                keyLine(kFolder, "/home/me/" + kPhoto + "/") + keyLine(kPicFolder, "") +
                                "   </" + kSetup + ">\r\n"
                                "</" + kRoot + ">";
    const QByteArray written = UserEnv::readFile(file());
    EXPECT_EQ(written, expected);
    EXPECT_EQ(written.count("\r\n"), 14);  // 15 lines, none after the last
    EXPECT_FALSE(written.endsWith('\n'));
    EXPECT_TRUE(prompt.messages.isEmpty());

    // The next run reads it all back.
    yIni next;
    next.GetTxt(file(), ok);
    ASSERT_TRUE(ok);
    next.GetGtx(QStringLiteral("画面"));
    EXPECT_EQ(next.vGtVal(QStringLiteral("TOP"), 0.0), QVariant(-15.0));
    next.GetGtx(QStringLiteral("設定"));
    EXPECT_EQ(next.vGtVal(QStringLiteral("ﾌｫﾙﾀﾞ"), QString()), QVariant(QStringLiteral("/home/me/写真/")));
    EXPECT_EQ(next.vGtVal(QStringLiteral("画像ﾌｫﾙﾀﾞ"), QStringLiteral("def")), QVariant(QStringLiteral("def")));
    EXPECT_EQ(next.vGtVal(QStringLiteral("編集更新"), QVariant::fromValue<qint16>(0)), QVariant(2.0));
}

TEST_F(SettingsDocument, SettingAKeyReplacesOnlyItsValueAndANewKeyIsAppended) {
    yIni ini;
    load(ini, document({{QStringLiteral("設定"), key(QStringLiteral("A"), QStringLiteral("1")) +
                                                   key(QStringLiteral("B"), QStringLiteral("two"))}}));
    ini.GetGtx(QStringLiteral("設定"));
    EXPECT_EQ(ini.sGtx, key(QStringLiteral("A"), QStringLiteral("1")) + key(QStringLiteral("B"), QStringLiteral("two")));
    ini.SetVal(QStringLiteral("A"), QStringLiteral("a much longer value"));
    ini.SetVal(QStringLiteral("C"), 3);
    EXPECT_EQ(ini.sGtx, key(QStringLiteral("A"), QStringLiteral("a much longer value")) +
                            key(QStringLiteral("B"), QStringLiteral("two")) + key(QStringLiteral("C"), QStringLiteral("3")));
    // Nothing reaches the document before the group is written back.
    EXPECT_EQ(ini.sTxt, document({{QStringLiteral("設定"), key(QStringLiteral("A"), QStringLiteral("1")) +
                                                             key(QStringLiteral("B"), QStringLiteral("two"))}}));
    ASSERT_TRUE(ini.SetGtx());
    EXPECT_EQ(ini.sTxt, document({{QStringLiteral("設定"), ini.sGtx}}));
}

TEST_F(SettingsDocument, WritingAGroupKeepsTheOthersAndANewGroupGoesLast) {
    yIni ini;
    const QString one = key(QStringLiteral("X"), QStringLiteral("1"));
    const QString two = key(QStringLiteral("Y"), QStringLiteral("2"));
    load(ini, document({{QStringLiteral("画面"), one}, {QStringLiteral("設定"), two}}));

    ini.GetGtx(QStringLiteral("画面"));
    ini.SetVal(QStringLiteral("X"), 10);
    ini.SetVal(QStringLiteral("Z"), 30);
    ASSERT_TRUE(ini.SetGtx());
    const QString screen = key(QStringLiteral("X"), QStringLiteral("10")) + key(QStringLiteral("Z"), QStringLiteral("30"));
    EXPECT_EQ(ini.sTxt, document({{QStringLiteral("画面"), screen}, {QStringLiteral("設定"), two}}));

    ini.GetGtx(QStringLiteral("新規"));
    EXPECT_TRUE(ini.sGtx.isEmpty());
    ini.SetVal(QStringLiteral("K"), QStringLiteral("v"));
    ASSERT_TRUE(ini.SetGtx());
    EXPECT_EQ(ini.sTxt, document({{QStringLiteral("画面"), screen},
                                  {QStringLiteral("設定"), two},
                                  {QStringLiteral("新規"), key(QStringLiteral("K"), QStringLiteral("v"))}}));
    EXPECT_TRUE(prompt.messages.isEmpty());
}

TEST_F(SettingsDocument, GroupWithoutClosingTagIsWrittenAsASecondBlock) {
    yIni ini;
    const QString broken = kDecl + QStringLiteral("\r\n<運用>\r\n   <画面>\r\n") + key(QStringLiteral("X"), QStringLiteral("1")) +
                           QStringLiteral("</運用>");
    load(ini, broken);
    ini.GetGtx(QStringLiteral("画面"));
    ASSERT_EQ(prompt.messages.size(), 1);  // the damaged-file message for the group
    EXPECT_TRUE(ini.sGtx.isEmpty());
    ini.SetVal(QStringLiteral("X"), 2);
    ASSERT_TRUE(ini.SetGtx());
    EXPECT_EQ(ini.sTxt, kDecl + QStringLiteral("\r\n<運用>\r\n   <画面>\r\n") + key(QStringLiteral("X"), QStringLiteral("1")) +
                            QStringLiteral("   <画面>\r\n") + key(QStringLiteral("X"), QStringLiteral("2")) +
                            QStringLiteral("   </画面>\r\n</運用>"));
}

TEST_F(SettingsDocument, NewGroupWithoutRootClosingTagFailsAndLeavesTheDocument) {
    yIni ini;
    ini.sTxt = kDecl + QStringLiteral("\r\n<運用>\r\n");
    const QString before = ini.sTxt;
    ini.GetGtx(QStringLiteral("画面"));
    ini.SetVal(QStringLiteral("LEFT"), 1);
    EXPECT_FALSE(ini.SetGtx());
    EXPECT_EQ(ini.sTxt, before);
}

TEST_F(SettingsDocument, DamagedTagsShowTheMessageAndReadAsAbsent) {
    yIni ini;
    const QString keys = QStringLiteral("      </A>1<A>\r\n") + QStringLiteral("      <B>2\r\n") +
                         QStringLiteral("      3</C>\r\n") + key(QStringLiteral("D"), QString());
    load(ini, document({{QStringLiteral("設定"), keys}}));
    ini.GetGtx(QStringLiteral("設定"));
    EXPECT_EQ(ini.vGtVal(QStringLiteral("A"), 7), QVariant(7));
    EXPECT_EQ(ini.vGtVal(QStringLiteral("B"), QStringLiteral("b")), QVariant(QStringLiteral("b")));
    EXPECT_EQ(ini.vGtVal(QStringLiteral("C"), 9.5), QVariant(9.5));
    const QString tail = QStringLiteral("\rﾕｰｻﾞｰ環境ﾌｧｲﾙ(") + file() + QStringLiteral(") が破損しています");
    EXPECT_EQ(prompt.messages, QStringList({QStringLiteral("<A> の設定が読み込めません") + tail,
                                            QStringLiteral("<B> の設定が読み込めません") + tail,
                                            QStringLiteral("<C> の設定が読み込めません") + tail}));
    // An empty value and an absent key give the default without a message.
    EXPECT_EQ(ini.vGtVal(QStringLiteral("D"), QStringLiteral("d")), QVariant(QStringLiteral("d")));
    EXPECT_EQ(ini.vGtVal(QStringLiteral("D"), 4), QVariant(4));
    EXPECT_EQ(ini.vGtVal(QStringLiteral("E"), 5), QVariant(5));
    EXPECT_EQ(prompt.messages.size(), 3);
}

TEST_F(SettingsDocument, NumbersReadAsTheLeadingNumberOfTheText) {
    yIni ini;
    const QList<QPair<QString, double>> cases = {
        {QStringLiteral("12px"), 12},       {QStringLiteral("abc"), 0},        {QStringLiteral("  -3.5e2x"), -350},
        {QStringLiteral("1e"), 1},          {QStringLiteral(".5"), 0.5},       {QStringLiteral("+7"), 7},
        {QStringLiteral("-"), 0},           {QStringLiteral("1,5"), 1},        {QStringLiteral("1e999"), 0},
        {QStringLiteral("0x1F"), 0},        {QStringLiteral("2.5.1"), 2.5},    {QStringLiteral("１２"), 0},
    };
    QString keys;
    for (int i = 0; i < cases.size(); ++i)
        keys += key(QStringLiteral("K%1").arg(i), cases[i].first);
    ini.sTxt = document({{QStringLiteral("g"), keys}});
    ini.GetGtx(QStringLiteral("g"));
    for (int i = 0; i < cases.size(); ++i) {
        const QVariant v = ini.vGtVal(QStringLiteral("K%1").arg(i), 99);
        EXPECT_EQ(v.metaType().id(), QMetaType::Double) << cases[i].first.toStdString();
        EXPECT_EQ(v.toDouble(), cases[i].second) << cases[i].first.toStdString();
    }
    // An invalid (empty) default is numeric too.
    EXPECT_EQ(ini.vGtVal(QStringLiteral("K0"), QVariant()), QVariant(12.0));
    EXPECT_FALSE(ini.vGtVal(QStringLiteral("none"), QVariant()).isValid());
}

TEST_F(SettingsDocument, TruthValuesAndTheirErrors) {
    yIni ini;
    ini.sTxt = document({{QStringLiteral("g"), key(QStringLiteral("a"), QStringLiteral("TRUE")) +
                                                   key(QStringLiteral("b"), QStringLiteral("false")) +
                                                   key(QStringLiteral("c"), QStringLiteral("-1")) +
                                                   key(QStringLiteral("d"), QStringLiteral("0")) +
                                                   key(QStringLiteral("e"), QStringLiteral("yes"))}});
    ini.GetGtx(QStringLiteral("g"));
    EXPECT_EQ(ini.vGtVal(QStringLiteral("a"), false), QVariant(true));
    EXPECT_EQ(ini.vGtVal(QStringLiteral("b"), true), QVariant(false));
    EXPECT_EQ(ini.vGtVal(QStringLiteral("c"), false), QVariant(true));
    EXPECT_EQ(ini.vGtVal(QStringLiteral("d"), true), QVariant(false));
    EXPECT_FALSE(ini.vGtVal(QStringLiteral("e"), true).isValid());
    EXPECT_EQ(ini.vGtVal(QStringLiteral("missing"), true), QVariant(true));
    // Written in the form that reads back.
    ini.SetVal(QStringLiteral("f"), true);
    EXPECT_EQ(ini.vGtVal(QStringLiteral("f"), false), QVariant(true));
}

TEST_F(SettingsDocument, DevelopmentCopyPathUsesTheOrdinaryFile) {
    yIni ini;
    bool ok = false;
    ini.GetTxt(env.root() + QStringLiteral("/User_Dv.XML"), ok);
    ASSERT_TRUE(ok);
    EXPECT_EQ(ini.sIniFile, env.root() + QStringLiteral("/User.xml"));
    EXPECT_TRUE(QFileInfo::exists(env.root() + QStringLiteral("/User.xml")));
    EXPECT_FALSE(QFileInfo::exists(env.root() + QStringLiteral("/User_Dv.XML")));

    // Only the first occurrence is replaced.
    QDir().mkpath(env.root() + QStringLiteral("/a_dv.xml"));
    ini.GetTxt(env.root() + QStringLiteral("/a_DV.xml/User_DV.xml"), ok);
    EXPECT_EQ(ini.sIniFile, env.root() + QStringLiteral("/a.xml/User_DV.xml"));
    // "dv" without the underscore is kept.
    ini.GetTxt(env.root() + QStringLiteral("/Userdv.xml"), ok);
    EXPECT_EQ(ini.sIniFile, env.root() + QStringLiteral("/Userdv.xml"));
}

TEST_F(SettingsDocument, EmptyFileOrEmptyFirstLineStartsFromTheFreshDocument) {
    const QString fresh = kDecl + QStringLiteral("\r\n<運用>\r\n</運用>");
    for (const QByteArray& content : {QByteArray(), QByteArray("\r\n<x>junk</x>"), QByteArray("\n")}) {
        UserEnv::writeFile(file(), content);
        yIni ini;
        bool ok = false;
        ini.GetTxt(file(), ok);
        ASSERT_TRUE(ok);
        EXPECT_EQ(ini.sTxt, fresh);
        ini.SetTxt(ok);
        ASSERT_TRUE(ok);
        EXPECT_EQ(UserEnv::readFile(file()), "<?xml version='1.0' encoding='Shift-JIS' ?>\r\n<" + kRoot + ">\r\n</" +
                                                 kRoot + ">");
    }
}

TEST_F(SettingsDocument, TextOutsideTheCodePage) {
    // Invalid bytes read as U+FFFD and the rest survives.
    UserEnv::writeFile(file(), "<?xml?>\r\n<" + kRoot + ">\r\n   <g>\r\n      <k>a\x81\x20" "b</k>\r\n   </g>\r\n</" + kRoot + ">");
    yIni ini;
    bool ok = false;
    ini.GetTxt(file(), ok);
    ASSERT_TRUE(ok);
    ini.GetGtx(QStringLiteral("g"));
    EXPECT_EQ(ini.vGtVal(QStringLiteral("k"), QString()), QVariant(QStringLiteral("a\uFFFD b")));

    // Characters without a CP932 form are written as "?"; the rest is exact.
    ini.SetVal(QStringLiteral("k"), QStringLiteral("é★😀"));
    ASSERT_TRUE(ini.SetGtx());
    ini.SetTxt(ok);
    ASSERT_TRUE(ok);
    EXPECT_TRUE(UserEnv::readFile(file()).contains("<k>?\x81\x9a?</k>"));
}

TEST_F(SettingsDocument, AFileSavedAsUtf8IsReadAsUtf8AndWrittenBackAsCp932) {
    const QString folder = QStringLiteral("/home/写真/ｶﾒﾗ");
    const QString text = document({{QStringLiteral("設定"), key(QStringLiteral("ﾌｫﾙﾀﾞ"), folder)}});
    UserEnv::writeFile(file(), text.toUtf8());
    yIni ini;
    bool ok = false;
    ini.GetTxt(file(), ok);
    ASSERT_TRUE(ok);
    ini.GetGtx(QStringLiteral("設定"));
    EXPECT_EQ(ini.vGtVal(QStringLiteral("ﾌｫﾙﾀﾞ"), QString()), QVariant(folder));
    EXPECT_TRUE(prompt.messages.isEmpty());
    ini.SetTxt(ok);
    ASSERT_TRUE(ok);
    const QByteArray bytes = UserEnv::readFile(file());
    EXPECT_TRUE(bytes.contains(keyLine(kFolder, "/home/" + kPhoto + "/\xb6\xd2\xd7"))) << bytes.toHex().constData();
    EXPECT_TRUE(bytes.contains("<" + kRoot + ">"));
}

TEST_F(SettingsDocument, AValueHoldingATagIsNotStoredAndNothingElseChanges) {
    yIni ini;
    load(ini, document({{QStringLiteral("設定"), key(QStringLiteral("ﾌｫﾙﾀﾞ"), QStringLiteral("/old")) +
                                                   key(QStringLiteral("n"), QStringLiteral("1"))}}));
    ini.GetGtx(QStringLiteral("設定"));
    for (const QString& folder : {QStringLiteral("/x</ﾌｫﾙﾀﾞ>y"), QStringLiteral("/<ﾌｫﾙﾀﾞ>"),
                                  QStringLiteral("/a</設定>"), QStringLiteral("/b</運用>")})
        ini.SetVal(QStringLiteral("ﾌｫﾙﾀﾞ"), folder);
    ini.SetVal(QStringLiteral("n"), 2);
    ini.SetVal(QStringLiteral("new"), QStringLiteral("</new>"));
    ini.SetVal(QStringLiteral("plain"), QStringLiteral("a<b>&c"));  // other tags are written as they stand
    ASSERT_TRUE(ini.SetGtx());
    EXPECT_EQ(ini.sTxt, document({{QStringLiteral("設定"), key(QStringLiteral("ﾌｫﾙﾀﾞ"), QStringLiteral("/old")) +
                                                            key(QStringLiteral("n"), QStringLiteral("2")) +
                                                            key(QStringLiteral("plain"), QStringLiteral("a<b>&c"))}}));
}

TEST_F(SettingsDocument, LineBreakMarkInAValueIsKeptAsWritten) {
    yIni ini;
    ini.sTxt = document({});
    ini.GetGtx(QStringLiteral("g"));
    ini.SetVal(QStringLiteral("k"), QStringLiteral("a‡b"));
    ASSERT_TRUE(ini.SetGtx());
    EXPECT_EQ(ini.sTxt, document({{QStringLiteral("g"), key(QStringLiteral("k"), QStringLiteral("a‡b"))}}));
}

TEST_F(SettingsDocument, FailedWritesReportFalseAndKeepTheOldFile) {
    yIni ini;
    bool ok = true;
    ini.SetTxt(ok);  // no file loaded
    EXPECT_FALSE(ok);

    // The settings path names a folder.
    const QString folder = env.root() + QStringLiteral("/User.xml");
    QDir().mkpath(folder);
    ini.sIniFile = folder;
    ini.sTxt = document({});
    ok = true;
    ini.SetTxt(ok);
    EXPECT_FALSE(ok);
    EXPECT_TRUE(QFileInfo(folder).isDir());
    ok = true;
    yIni reader;
    reader.GetTxt(folder, ok);
    EXPECT_FALSE(ok);

    // The disk fills up in the middle of the write: the old file survives.
    const QString target = env.root() + QStringLiteral("/keep/User.xml");
    UserEnv::writeFile(target, "old settings");
    ini.sIniFile = target;
    ini.sTxt = document({{QStringLiteral("g"), key(QStringLiteral("k"), QString(4000, QChar('x')))}});
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    ok = true;
    ini.SetTxt(ok);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(ok);
    EXPECT_EQ(UserEnv::readFile(target), "old settings");
    EXPECT_EQ(QDir(env.root() + QStringLiteral("/keep")).entryList(QDir::Files), QStringList{QStringLiteral("User.xml")});
}

}  // namespace

namespace {

TEST(SettingsValues, ValuesAreWrittenInTheirPlainTextForm) {
    platform::ScriptedPrompt prompt;
    platform::ScopedPrompt scoped(&prompt);
    yIni ini;
    ini.GetGtx(QStringLiteral("g"));
    ini.SetVal(QStringLiteral("i"), -12);
    ini.SetVal(QStringLiteral("s"), QVariant::fromValue<qint16>(-1));
    ini.SetVal(QStringLiteral("l"), qint64(4000000000));
    ini.SetVal(QStringLiteral("d"), 0.5);
    ini.SetVal(QStringLiteral("e"), 1e20);
    ini.SetVal(QStringLiteral("b"), false);
    ini.SetVal(QStringLiteral("t"), QStringLiteral("a<b>&c"));
    ini.SetVal(QStringLiteral("day"), QDate(2024, 2, 29));
    ini.SetVal(QStringLiteral("none"), QVariant());
    EXPECT_EQ(ini.sGtx, QStringLiteral("      <i>-12</i>\r\n      <s>-1</s>\r\n      <l>4000000000</l>\r\n"
                                       "      <d>0.5</d>\r\n      <e>1e+20</e>\r\n      <b>False</b>\r\n"
                                       "      <t>a<b>&c</t>\r\n      <day>2024-02-29</day>\r\n      <none></none>\r\n"));
    EXPECT_EQ(ini.vGtVal(QStringLiteral("e"), 0), QVariant(1e20));
    EXPECT_EQ(ini.vGtVal(QStringLiteral("day"), QDate(2000, 1, 1)), QVariant(QDate(2024, 2, 29)));
    EXPECT_EQ(ini.vGtVal(QStringLiteral("t"), QDate(2000, 1, 1)), QVariant(QDate(2000, 1, 1)));
    EXPECT_TRUE(prompt.messages.isEmpty());
}

}  // namespace

// The user data folder chosen by "UserData.ini", the path record and the
// folder helpers.
#include "platform/prompt.h"
#include "settings/yini.h"
#include "startup/usr.h"
#include "support/user_env.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <gtest/gtest.h>

using testsupport::UserEnv;

namespace {

const QString kUse = QStringLiteral(" を使用します");
const QString kIs = QStringLiteral("ﾕｰｻﾞｰﾃﾞｰﾀｰﾌｫﾙﾀﾞは\u3000");

class UserDataFolder : public ::testing::Test {
protected:
    UserEnv env;
    platform::ScriptedPrompt prompt;
    platform::ScopedPrompt scoped{&prompt};

    // Runs the folder choice for a definition file content (none when null).
    QString choose(const QByteArray* definition) {
        if (definition)
            env.writeDefinition(*definition);
        else
            QFile::remove(env.programFolder() + QStringLiteral("UserData.ini"));
        prompt.messages.clear();
        Usr::oIni().W_UserData(0);
        return Usr::sUsrFd;
    }
    QString choose(const QByteArray& definition) { return choose(&definition); }
    QString documentsFolder() const { return env.documents() + QStringLiteral("/Quillon/tolvane/"); }
    QString notFound(const QString& folder) const {
        return QStringLiteral("ﾌｫﾙﾀﾞ ") + folder + QStringLiteral(" が見つかりません\r") + kIs + env.defaultUserFolder() + kUse;
    }
};

TEST_F(UserDataFolder, MissingOrEmptyDefinitionUsesTheDefaultWithAMessage) {
    ASSERT_TRUE(env.ok());
    EXPECT_EQ(choose(nullptr), env.defaultUserFolder());
    EXPECT_EQ(prompt.messages,
              QStringList{env.programFolder() + QStringLiteral("UserData.ini が見つかりません\r") + kIs +
                          env.defaultUserFolder() + kUse});
    EXPECT_TRUE(QFileInfo(env.defaultUserFolder()).isDir());

    const QString undefined = QStringLiteral(" ﾕｰｻﾞｰﾃﾞｰﾀｰﾌｫﾙﾀﾞが定義されていません\r") + env.defaultUserFolder() + kUse;
    for (const QByteArray& content : {QByteArray(), QByteArray("\r\n%app%"), QByteArray("\n")}) {
        EXPECT_EQ(choose(content), env.defaultUserFolder());
        EXPECT_EQ(prompt.messages, QStringList{undefined});
    }
}

TEST_F(UserDataFolder, EveryTokenOfTheDefinitionTable) {
    struct Row {
        QByteArray definition;
        QString folder;
    };
    const QString usData = env.programFolder() + QStringLiteral("usData/");
    const QList<Row> rows = {
        {"%app%", usData},
        {"%APP%", usData},
        {"%usr%", env.defaultUserFolder()},
        {"%applicaion data%", env.defaultUserFolder()},
        {"%Applicaion Data%", env.defaultUserFolder()},
        {"%application data%", env.defaultUserFolder()},  // correctly spelled: not a token
        {"%doc", documentsFolder()},
        {"%DOC", documentsFolder()},
        {"%doc%", env.defaultUserFolder()},
        {"%my document%", documentsFolder()},
        {"%My Document%", documentsFolder()},
        {"%my documents%", env.defaultUserFolder()},
        {"%", env.defaultUserFolder()},
        {"%anything at all", env.defaultUserFolder()},
        // A one-line file ends with a line break here; a second one, or a
        // space, makes the token unknown.
        {"%app%\n", usData},
        {"%app%\r\n", usData},
        {"%app%\n\n", env.defaultUserFolder()},
        {"%app% ", env.defaultUserFolder()},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(choose(row.definition), row.folder) << row.definition.toStdString();
        EXPECT_TRUE(prompt.messages.isEmpty()) << row.definition.toStdString();
        EXPECT_TRUE(QFileInfo(row.folder).isDir()) << row.definition.toStdString();
        EXPECT_EQ(Usr::sApFd, env.programFolder() + QStringLiteral("apData/"));
    }
    EXPECT_FALSE(QFileInfo::exists(env.programFolder() + QStringLiteral("apData")));  // never created
}

TEST_F(UserDataFolder, FolderPathsKeepTheirCaseAndGetASeparator) {
    const QString pics = env.root() + QStringLiteral("/Me/Pics");
    QDir().mkpath(pics);
    EXPECT_EQ(choose(pics.toUtf8()), pics + QChar('/'));
    EXPECT_TRUE(prompt.messages.isEmpty());
    EXPECT_EQ(choose((pics + QStringLiteral("/")).toUtf8()), pics + QChar('/'));
    EXPECT_EQ(choose((pics + QStringLiteral("\n")).toUtf8()), pics + QChar('/'));
    EXPECT_TRUE(prompt.messages.isEmpty());

    // Written in another case: the lower-cased path is tried as well.
    const QString lowerRoot = env.root().toLower() + QStringLiteral("-lower");
    const QString lower = lowerRoot + QStringLiteral("/pics");
    ASSERT_TRUE(QDir().mkpath(lower));
    EXPECT_EQ(choose(lower.toUpper().toUtf8()), lower + QChar('/'));
    EXPECT_TRUE(prompt.messages.isEmpty());
    QDir(lowerRoot).removeRecursively();

    // Japanese folder names, written as UTF-8 or as CP932.
    const QString photos = env.root() + QStringLiteral("/写真");
    QDir().mkpath(photos);
    EXPECT_EQ(choose(photos.toUtf8()), photos + QChar('/'));
    EXPECT_EQ(choose(env.root().toUtf8() + "/\x8e\xca\x90\x5e"), photos + QChar('/'));
    EXPECT_TRUE(prompt.messages.isEmpty());
}

TEST_F(UserDataFolder, MissingFolderPathShowsTheMessageAndUsesTheDefault) {
    const QString missing = env.root() + QStringLiteral("/Nowhere");
    EXPECT_EQ(choose(missing.toUtf8()), env.defaultUserFolder());
    EXPECT_EQ(prompt.messages, QStringList{notFound(missing)});
    EXPECT_FALSE(QFileInfo::exists(missing));

    const QString there = env.root() + QStringLiteral("/there");
    QDir().mkpath(there);
    const QString twoBreaks = there + QStringLiteral("\n\n");
    EXPECT_EQ(choose(twoBreaks.toUtf8()), env.defaultUserFolder());
    EXPECT_EQ(prompt.messages, QStringList{notFound(there + QStringLiteral("\n"))});  // one break is the line's end

    // A file is not a folder.
    UserEnv::writeFile(env.root() + QStringLiteral("/file"), "x");
    EXPECT_EQ(choose((env.root() + QStringLiteral("/file")).toUtf8()), env.defaultUserFolder());
    EXPECT_EQ(prompt.messages.size(), 1);
}

TEST_F(UserDataFolder, OwnerWindowIsStored) {
    env.writeDefinition("%usr%");
    Usr::oIni().W_UserData(0x1234);
    EXPECT_EQ(Usr::oIni().nOwnWnd, quintptr(0x1234));
}

TEST_F(UserDataFolder, ProgramPathIsRecordedOnlyWhenItDiffers) {
    env.writeDefinition("%usr%");
    const QString key = QStringLiteral("Path/tolvane");
    Usr::oIni().W_UserData(0);
    {
        QSettings store(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("QuillonTools"));
        EXPECT_EQ(store.value(key).toString(), env.programPath());
        EXPECT_TRUE(store.fileName().startsWith(env.settingsFolder()));
        // The same path in other letters counts as recorded.
        store.setValue(key, env.programPath().toUpper());
    }
    Usr::oIni().W_UserData(0);
    {
        QSettings store(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("QuillonTools"));
        EXPECT_EQ(store.value(key).toString(), env.programPath().toUpper());
        store.setValue(key, QStringLiteral("/old/place/tolvane"));
    }
    Usr::oIni().W_UserData(0);
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("QuillonTools"));
    EXPECT_EQ(store.value(key).toString(), env.programPath());
}

TEST_F(UserDataFolder, SpecialFoldersByNumber) {
    yIni& ini = Usr::oIni();
    EXPECT_EQ(ini.FsGtSpFld(26), env.dataHome());
    EXPECT_EQ(ini.FsGtSpFld(5), env.documents());
    EXPECT_EQ(ini.FsGtSpFld(9), env.applications());
    EXPECT_EQ(ini.FsGtSpFld(0), QString());
    EXPECT_EQ(ini.FsGtSpFld(7), QString());
}

TEST_F(UserDataFolder, CreateFolderMakesEveryMissingLevel) {
    yIni& ini = Usr::oIni();
    const QString deep = env.root() + QStringLiteral("/one/two/three");
    ini.F_CreateFld(deep);
    EXPECT_TRUE(QFileInfo(env.root() + QStringLiteral("/one")).isDir());
    EXPECT_TRUE(QFileInfo(env.root() + QStringLiteral("/one/two")).isDir());
    EXPECT_TRUE(QFileInfo(deep).isDir());
    ini.F_CreateFld(deep + QChar('/'));  // existing: nothing to do
    EXPECT_TRUE(QFileInfo(deep).isDir());

    // A file in the way stops the levels below it without an error.
    UserEnv::writeFile(env.root() + QStringLiteral("/blocked"), "x");
    ini.F_CreateFld(env.root() + QStringLiteral("/blocked/a/b/"));
    EXPECT_TRUE(QFileInfo(env.root() + QStringLiteral("/blocked")).isFile());
    EXPECT_FALSE(QFileInfo::exists(env.root() + QStringLiteral("/blocked/a")));
    ini.F_CreateFld(QString());
}

TEST_F(UserDataFolder, SubFoldersAreCreatedOneLevelEach) {
    yIni& ini = Usr::oIni();
    const QString base = env.root() + QStringLiteral("/base/");
    QDir().mkpath(base + QStringLiteral("Temp"));
    EXPECT_TRUE(ini.F_ChkSb(base, {QStringLiteral("Wrk/"), QStringLiteral("Temp/")}));
    EXPECT_TRUE(QFileInfo(base + QStringLiteral("Wrk")).isDir());
    EXPECT_TRUE(QFileInfo(base + QStringLiteral("Temp")).isDir());
    EXPECT_TRUE(Usr::fsCreated());
    // One level only: a missing parent is an error.
    EXPECT_FALSE(ini.F_ChkSb(env.root() + QStringLiteral("/none/"), {QStringLiteral("Wrk/")}));
    EXPECT_FALSE(QFileInfo::exists(env.root() + QStringLiteral("/none")));
}

}  // namespace

// The user data folder: chosen by the definition file "UserData.ini" beside
// the program, with the program's path recorded in the per-user settings store.
#include "settings/yini.h"

#include "platform/file_read.h"
#include "platform/prompt.h"
#include "platform/special_folders.h"
#include "platform/text_codec.h"
#include "platform/program_state.h"

#include <QSettings>

namespace {

const QString kUseText = QStringLiteral(" を使用します");
const QString kUserFolderIs = QStringLiteral("ﾕｰｻﾞｰﾃﾞｰﾀｰﾌｫﾙﾀﾞは　");  // ends with U+3000

// The program's path under its base name in the per-user settings store,
// written only when the stored one differs (letter case aside).
void recordProgramPath(const QString& path) {
    if (Usr::sExe.isEmpty())
        return;
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("QuillonTools"));
    store.beginGroup(QStringLiteral("Path"));
    const QString stored = store.value(Usr::sExe).toString();
    if (stored.toLower() != path.toLower()) {
        store.setValue(Usr::sExe, path);
        store.sync();
    }
}

// The definition file's content is the definition. Editors on this platform
// end a one-line file with a line break; that one line break is not part of
// the definition (a second one, or more text, still is).
QString definitionText(const QByteArray& bytes) {
    QString text = platform::fromUtf8OrCp932(bytes);
    if (text.endsWith(QStringLiteral("\r\n")))
        text.chop(2);
    else if (text.endsWith(QChar('\n')) || text.endsWith(QChar('\r')))
        text.chop(1);
    return text;
}

}  // namespace

void yIni::W_UserData(quintptr nWhnd) {
    nOwnWnd = nWhnd;
    const QString folder = programFolderPath();
    Usr::sApFd = folder + QStringLiteral("apData/");
    recordProgramPath(programFilePath());

    const QString quillon = QStringLiteral("/Quillon/") + Usr::sExe + QChar('/');
    const QString defaultFolder = FsGtSpFld(platform::AppDataFolder) + quillon;
    QString definition = QStringLiteral("%applicaion data%");

    const QString iniPath = folder + QStringLiteral("UserData.ini");
    if (Usr::F_FileExists(iniPath)) {
        // One line naming a folder; anything that is no small regular file reads as empty.
        QByteArray bytes;
        platform::readRegularFile(iniPath, qint64(1) << 20, bytes);
        if (bytes.isEmpty() || bytes.front() == '\r' || bytes.front() == '\n')
            platform::prompt().message(QStringLiteral(" ﾕｰｻﾞｰﾃﾞｰﾀｰﾌｫﾙﾀﾞが定義されていません") + QChar('\r') +
                                           defaultFolder + kUseText,
                                       platform::Buttons::Ok);
        else
            definition = definitionText(bytes);
    } else {
        platform::prompt().message(iniPath + QStringLiteral(" が見つかりません") + QChar('\r') + kUserFolderIs +
                                       defaultFolder + kUseText,
                                   platform::Buttons::Ok);
    }

    const QString token = definition.toLower();
    QString chosen;
    if (token == QStringLiteral("%app%")) {
        chosen = folder + QStringLiteral("usData/");
    } else if (token == QStringLiteral("%usr%") || token == QStringLiteral("%applicaion data%")) {
        chosen = defaultFolder;
    } else if (token == QStringLiteral("%doc") || token == QStringLiteral("%my document%")) {
        chosen = FsGtSpFld(platform::DocumentsFolder) + quillon;
    } else if (token.startsWith(QChar('%'))) {
        chosen = defaultFolder;
    } else {
        // A folder path. File names here are case-sensitive, so the path is
        // taken as written; the lower-cased form (how the definition was
        // once meant to be read) is tried only when that does not exist.
        QString path = definition;
        if (!Usr::F_FldExists(path) && Usr::F_FldExists(token))
            path = token;
        if (Usr::F_FldExists(path)) {
            QString sep = QStringLiteral("/");
            Usr::AddSep(path, sep);
            chosen = path;
        } else {
            platform::prompt().message(QStringLiteral("ﾌｫﾙﾀﾞ ") + definition + QStringLiteral(" が見つかりません") +
                                           QChar('\r') + kUserFolderIs + defaultFolder + kUseText,
                                       platform::Buttons::Ok);
            chosen = defaultFolder;
        }
    }

    Usr::sUsrFd = chosen;
    if (!Usr::F_FldExists(Usr::sUsrFd))
        F_CreateFld(Usr::sUsrFd);
}

// Folder helpers of the settings object: special folders, sub-folders of a
// base folder, and a whole folder path.
#include "settings/yini.h"

#include "platform/special_folders.h"
#include "platform/program_state.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

QString yIni::FsGtSpFld(int nFlg) { return platform::specialFolder(nFlg); }

bool yIni::F_ChkSb(const QString& sPh, const QStringList& Ary) {
    Usr::FsInit();
    bool all = true;
    for (const QString& name : Ary) {
        const QString folder = sPh + name;
        // Only the user's own: the work folders hold copies of the pictures.
        if (!Usr::F_FldExists(folder) && !QDir().mkdir(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner))
            all = false;
    }
    return all;
}

void yIni::F_CreateFld(const QString& sFd) {
    if (Usr::F_FldExists(sFd))
        return;
    QString path = sFd;
    QString sep = QStringLiteral("/");
    Usr::AddSep(path, sep);
    // Each level in turn, from the top: the text before every separator. An
    // empty text (the root of an absolute path) is never created; a level
    // that cannot be created is passed over and the next one is tried.
    for (qsizetype at = path.indexOf(sep); at >= 0; at = path.indexOf(sep, at + 1)) {
        const QString level = path.left(at);
        if (!level.isEmpty() && !Usr::F_FldExists(level))
            QDir().mkdir(level);
    }
}

QString yIni::programFolderPath() const {
    QString folder = programFolder.isEmpty() ? QCoreApplication::applicationDirPath() : programFolder;
    QString sep = QStringLiteral("/");
    Usr::AddSep(folder, sep);
    return folder;
}

QString yIni::programFilePath() const {
    return programPath.isEmpty() ? QCoreApplication::applicationFilePath() : programPath;
}

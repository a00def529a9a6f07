// Handing work to the desktop: help pages and addresses through link
// shortcuts, the program's entry in the file manager's "Open With" list, and
// opening or exploring a folder. Shortcuts are freedesktop desktop entries.
#include "settings/yini.h"

#include "platform/file_replace.h"
#include "platform/prompt.h"
#include "platform/shell.h"
#include "platform/special_folders.h"
#include "platform/program_state.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

// Writes a desktop entry, replacing a file of the same name only once the
// new one is complete. False on any file error.
bool writeDesktopEntry(const QString& path, const QStringList& lines) {
    return platform::replaceFileContent(
        path, (QStringLiteral("[Desktop Entry]\n") + lines.join(QChar('\n')) + QChar('\n')).toUtf8());
}

// A link shortcut named name whose target is url, opened through the shell.
// Stops silently at the first error.
void openThroughLink(const QString& path, const QString& name, const QString& url) {
    if (url.isEmpty())
        return;
    const QStringList lines{QStringLiteral("Type=Link"), QStringLiteral("Name=") + platform::desktopEntryValue(name),
                            QStringLiteral("URL=") + platform::desktopEntryValue(url)};
    if (!writeDesktopEntry(path, lines))
        return;
    platform::shell().open(path);
}

// A help topic as a file name: lower-cased, ".htm" added when it has no extension.
QString topicFile(const QString& sJob) {
    QString topic = sJob.toLower();
    if (!topic.contains(QChar('.')))
        topic += QStringLiteral(".htm");
    return topic;
}

}  // namespace

QString yIni::helpFilePath(const QString& sJob) const {
    const QString topic = topicFile(sJob);
    const QString program = programFolderPath();
    // The installed program sits in its own folder below the prefix; its
    // help lies in the prefix's data folder, wherever the prefix is.
    const QString installed =
        QDir::cleanPath(program + QStringLiteral(TOLVANE_HELP_FROM_PROGRAM) + QChar('/') + topic);
    QStringList candidates{program + QStringLiteral("help/") + topic, installed};
    const QString shared = QStandardPaths::locate(QStandardPaths::GenericDataLocation,
                                                  QStringLiteral("tolvane/help/") + topic);
    if (!shared.isEmpty())
        candidates << shared;
    candidates << QStringLiteral(TOLVANE_HELP_DIR "/") + topic;
    for (const QString& path : candidates)
        if (QFileInfo(path).isFile())
            return QFileInfo(path).absoluteFilePath();
    return installed;
}

void yIni::W_HelpFile(const QString& sJob) {
    const QString path = helpFilePath(sJob);
    if (!QFileInfo(path).isFile()) {
        platform::prompt().message(path + QStringLiteral("\rﾍﾙﾌﾟﾌｧｲﾙが見つかりません"), platform::Buttons::Ok);
        return;
    }
    if (!platform::shell().open(path))
        platform::prompt().message(
            QStringLiteral("ﾍﾙﾌﾟを開けるﾌﾟﾛｸﾞﾗﾑがありません｡ﾌﾞﾗｳｻﾞで次のﾌｧｲﾙを開いてください\r") + path,
            platform::Buttons::Ok);
}

QString yIni::homePage() { return QStringLiteral("https://quillon.example.com/tolvane/"); }

void yIni::W_Help(const QString& sJob) {
    const QString name = Usr::sExe + QStringLiteral("_help");
    openThroughLink(Usr::sUsrFd + name + QStringLiteral(".desktop"), name, homePage() + topicFile(sJob));
}

void yIni::W_HtmView(const QString& sUrl) {
    openThroughLink(Usr::sUsrFd + QStringLiteral("Wrk/htm_view.desktop"), QStringLiteral("htm_view"), sUrl);
}

void yIni::W_SendTo() {
    const QString folder = FsGtSpFld(platform::SendToFolder);
    if (folder.isEmpty() || Usr::sExe.isEmpty())
        return;
    // A fresh account may not have the applications folder yet.
    F_CreateFld(folder);
    const QString program = programFilePath();
    const QStringList lines{
        QStringLiteral("Type=Application"),
        QStringLiteral("Name=Tolvane"),
        QStringLiteral("Exec=") +
            platform::desktopEntryValue(platform::desktopExecArgument(program) + QStringLiteral(" %f")),
        QStringLiteral("MimeType=image/bmp;image/jpeg;image/gif;image/tiff;image/png;image/x-pcx;"
                       "image/vnd.zbrush.pcx;image/vnd.fpx;"
                       "image/webp;image/avif;image/heic;image/heif;image/jxl;image/jp2;image/x-jp2-codestream;"),
        QStringLiteral("Terminal=false"),
        QStringLiteral("Categories=Graphics;RasterGraphics;"),
    };
    if (!writeDesktopEntry(folder + QChar('/') + Usr::sExe + QStringLiteral(".desktop"), lines))
        return;
    platform::prompt().message(program + QStringLiteral(" のｼｮｰﾄｶｯﾄを ") + folder + QStringLiteral(" に作成しました"),
                               platform::Buttons::Ok);
}

void yIni::W_ExpFd(const QString& sFld, bool bOpn) {
    if (sFld.isEmpty())
        return;
    if (bOpn)
        platform::shell().open(sFld);
    else if (Usr::F_FldExists(sFld))
        platform::shell().explore(sFld);
}

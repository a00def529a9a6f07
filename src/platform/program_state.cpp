#include "platform/program_state.h"

#include "platform/cursor.h"
#include "platform/file_names.h"

#include <QFileInfo>

namespace Usr {

QString sExe;
QString sUsrFd;
QString sApFd;
QString sLastFd;
QString sPicFd;
bool bLoading = false;
bool bRun = false;
bool bEnding = false;
QWidget* oMainFm = nullptr;

namespace {
bool g_fs = false;
}  // namespace

QString baseName(const QString& executableFileName) {
    // Programs here carry no extension, and a dot in their name is part of
    // it; only the Windows ".exe" is an extension to drop.
    QString name = QFileInfo(executableFileName).fileName();
    if (name.endsWith(QStringLiteral(".exe"), Qt::CaseInsensitive))
        name.chop(4);
    if (name.size() >= 3 && name.right(3).compare(QStringLiteral("_dv"), Qt::CaseInsensitive) == 0)
        name.chop(3);
    return name;
}

void FsInit() { g_fs = true; }
bool fsCreated() { return g_fs; }
void releaseFs() { g_fs = false; }

bool F_FldExists(const QString& path) {
    if (path.isEmpty())
        return false;
    FsInit();
    return platform::fileKind(path) == platform::FileKind::Folder;
}

bool F_FileExists(const QString& path) {
    if (path.isEmpty())
        return false;
    FsInit();
    const platform::FileKind kind = platform::fileKind(path);
    return kind == platform::FileKind::Regular || kind == platform::FileKind::Other;
}

void CutAt(QString& text, const QString& delimiter) {
    const qsizetype p = text.indexOf(delimiter);
    if (p >= 0)
        text.truncate(p);
}

void AddSep(QString& text, QString& separator) {
    if (separator.isEmpty())
        separator = QStringLiteral("/");
    if (!text.endsWith(separator))
        text += separator;
}

void WaitCur(bool busy) {
    platform::setAppPointer(busy ? 11 : 0);
    platform::pumpEvents();
}

}  // namespace Usr

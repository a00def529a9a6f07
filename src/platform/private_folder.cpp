#include "platform/private_folder.h"
#include "platform/unique_fd.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

QByteArray nativeFolder(const QString& path) {
    QByteArray name = QFile::encodeName(path);
    while (name.size() > 1 && name.endsWith('/'))
        name.chop(1);
    return name;
}

}  // namespace

FolderCheck preparePrivateFolder(const QString& path, bool narrow) {
    const QByteArray name = nativeFolder(path);
    if (name.isEmpty())
        return FolderCheck::CannotCreate;
    if (::mkdir(name.constData(), 0700) != 0 && errno != EEXIST)
        return FolderCheck::CannotCreate;
    // Opened without following a link, then checked and narrowed through the
    // open folder itself: nothing can be swapped in between.
    const Fd dir(::open(name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (dir.fd < 0)
        return errno == ENOENT ? FolderCheck::CannotCreate : FolderCheck::NotAFolder;
    struct stat st {};
    if (::fstat(dir.fd, &st) != 0 || !S_ISDIR(st.st_mode))
        return FolderCheck::NotAFolder;
    if (st.st_uid != ::geteuid())
        return FolderCheck::NotOwned;
    if (narrow && (st.st_mode & 07777) != 0700 && ::fchmod(dir.fd, 0700) != 0)
        return FolderCheck::CannotProtect;
    return FolderCheck::Ok;
}

QString folderCheckMessage(FolderCheck check, const QString& path) {
    QString why;
    switch (check) {
    case FolderCheck::Ok: return QString();
    case FolderCheck::CannotCreate: why = QStringLiteral("作業ﾌｫﾙﾀﾞを作成できません"); break;
    case FolderCheck::NotAFolder: why = QStringLiteral("作業ﾌｫﾙﾀﾞがﾌｫﾙﾀﾞではありません(ﾘﾝｸなど)"); break;
    case FolderCheck::NotOwned: why = QStringLiteral("作業ﾌｫﾙﾀﾞが他のﾕｰｻﾞｰのものです"); break;
    case FolderCheck::CannotProtect: why = QStringLiteral("作業ﾌｫﾙﾀﾞを他のﾕｰｻﾞｰから保護できません"); break;
    }
    return path + QChar('\r') + why;
}

}  // namespace platform

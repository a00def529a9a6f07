#include "support/sandbox.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

namespace testsupport {

SmallDisk::SmallDisk(qint64 bytes) {
    if (!dir_.isValid())
        return;
    const QByteArray options = "size=" + QByteArray::number(bytes) + ",mode=0777";
    mounted_ = ::mount("tmpfs", QFile::encodeName(dir_.path()).constData(), "tmpfs", 0, options.constData()) == 0;
}

SmallDisk::~SmallDisk() {
    if (mounted_)
        ::umount2(QFile::encodeName(dir_.path()).constData(), MNT_DETACH);
}

void SmallDisk::fill() const {
    const QByteArray name = QFile::encodeName(filePath(QStringLiteral("filler")));
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0)
        return;
    static const char block[4096] = {};
    for (size_t size = sizeof block; size > 0; size /= 2) {
        while (::write(fd, block, size) == ssize_t(size)) {
        }
    }
    ::close(fd);
}

void SmallDisk::unfill() const {
    QFile::remove(filePath(QStringLiteral("filler")));
}

QList<QByteArray> rawNames(const QByteArray& folder) {
    QList<QByteArray> names;
    DIR* d = ::opendir(folder.constData());
    if (!d)
        return names;
    while (dirent* e = ::readdir(d))
        if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
            names << QByteArray(e->d_name);
    ::closedir(d);
    std::sort(names.begin(), names.end());
    return names;
}

bool canSwitchUser() {
    return ::geteuid() == 0;
}

int runAsUser(uid_t uid, gid_t gid, const std::vector<gid_t>& groups, const std::function<int()>& body) {
    if (!canSwitchUser())
        return -1;
    const pid_t child = ::fork();
    if (child < 0)
        return -1;
    if (child == 0) {
        if (::setgroups(groups.size(), groups.data()) != 0 || ::setresgid(gid, gid, gid) != 0 ||
            ::setresuid(uid, uid, uid) != 0)
            ::_exit(125);
        ::_exit(body());
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 126;
}

}  // namespace testsupport

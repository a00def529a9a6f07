#include "batch/batch_work_folder.h"

#include "platform/file_names.h"

#include <QDir>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace batch {

namespace {

// The folder of this run as the signal handler needs it: plain bytes, set
// before the handler is installed.
char g_folder[4096];
volatile sig_atomic_t g_active = 0;

struct linux_dirent64 {
    ino64_t d_ino;
    off64_t d_off;
    unsigned short d_reclen;
    unsigned char d_type;
    char d_name[];
};

// Empties and removes a folder with calls that are safe in a signal handler
// (no allocation, no locks). Sub-folders are not entered; the folder holds
// none.
void removeFolderSafely(const char* folder) {
    const int fd = ::open(folder, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return;
    alignas(8) char buffer[4096];
    for (int pass = 0; pass < 64; ++pass) {
        ::lseek(fd, 0, SEEK_SET);
        bool removed = false;
        long n;
        while ((n = ::syscall(SYS_getdents64, fd, buffer, sizeof buffer)) > 0) {
            for (long at = 0; at < n;) {
                const auto* e = reinterpret_cast<const linux_dirent64*>(buffer + at);
                at += e->d_reclen;
                if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0)
                    continue;
                if (::unlinkat(fd, e->d_name, 0) == 0)
                    removed = true;
            }
        }
        if (!removed)
            break;
    }
    ::close(fd);
    ::rmdir(folder);
}

void onStopSignal(int sig) {
    if (g_active)
        removeFolderSafely(g_folder);
    ::signal(sig, SIG_DFL);
    ::raise(sig);
}

const int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

// mkdir -p on the name's own bytes.
bool makePath(const QByteArray& path) {
    for (qsizetype i = 1; i <= path.size(); ++i)
        if (i == path.size() || path[i] == '/')
            if (::mkdir(path.left(i).constData(), 0777) != 0 && errno != EEXIST)
                return false;
    struct stat st {};
    return ::stat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

WorkFolder::~WorkFolder() {
    if (path_.isEmpty())
        return;
    g_active = 0;
    for (int sig : kStopSignals)
        ::signal(sig, SIG_DFL);
    removeFolderSafely(g_folder);
    if (lockFd_ >= 0)
        ::close(lockFd_);
}

bool WorkFolder::create(const QString& base) {
    const QByteArray folder = platform::encodeFileName(QDir::cleanPath(base));
    if (!path_.isEmpty() || folder.isEmpty() || !makePath(folder))
        return false;
    removeStale(base);
    QByteArray pattern = folder + '/' + prefix() + "XXXXXX";
    if (size_t(pattern.size()) >= sizeof g_folder)
        return false;
    if (!::mkdtemp(pattern.data()))  // mode 0700
        return false;
    const QByteArray lock = pattern + '/' + lockName();
    lockFd_ = ::open(lock.constData(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (lockFd_ < 0 || ::flock(lockFd_, LOCK_EX | LOCK_NB) != 0) {
        if (lockFd_ >= 0)
            ::close(lockFd_);
        lockFd_ = -1;
        ::unlink(lock.constData());
        ::rmdir(pattern.constData());
        return false;
    }
    std::memcpy(g_folder, pattern.constData(), size_t(pattern.size()) + 1);
    path_ = platform::decodeFileName(pattern) + QChar('/');
    g_active = 1;
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    for (int sig : kStopSignals) {
        struct sigaction old {};
        // A signal the caller chose to ignore (nohup) stays ignored.
        if (::sigaction(sig, nullptr, &old) == 0 && old.sa_handler == SIG_IGN)
            continue;
        ::sigaction(sig, &action, nullptr);
    }
    return true;
}

void WorkFolder::removeStale(const QString& base) {
    const QByteArray folder = platform::encodeFileName(QDir::cleanPath(base));
    DIR* dir = ::opendir(folder.constData());
    if (!dir)
        return;
    const size_t prefixLength = std::strlen(prefix());
    while (dirent* e = ::readdir(dir)) {
        if (std::strncmp(e->d_name, prefix(), prefixLength) != 0)
            continue;
        const QByteArray candidate = folder + '/' + e->d_name;
        struct stat st {};
        if (::lstat(candidate.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid())
            continue;
        const QByteArray lock = candidate + '/' + lockName();
        const int fd = ::open(lock.constData(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
        bool stale = false;
        if (fd >= 0) {
            stale = ::flock(fd, LOCK_EX | LOCK_NB) == 0;  // nobody runs in it
            ::close(fd);
        } else {
            // Killed between making the folder and its lock: stale once a
            // run would have had ample time to take the lock.
            stale = errno == ENOENT && std::time(nullptr) - st.st_mtime > 60;
        }
        if (stale)
            removeFolderSafely(candidate.constData());
    }
    ::closedir(dir);
}

}  // namespace batch

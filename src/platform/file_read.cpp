#include "platform/file_read.h"

#include "platform/file_names.h"

#include <QFile>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace platform {

#ifdef Q_OS_UNIX

ReadFailure readRegularFile(const QString& path, qint64 maxBytes, QByteArray& out) {
    out.clear();
    if (path.isEmpty())
        return ReadFailure::Missing;
    // Non-blocking, so that opening a FIFO returns at once instead of waiting
    // for a writer; the type is checked on what was really opened.
    const int fd = ::open(encodeFileName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT || errno == ENOTDIR ? ReadFailure::Missing : ReadFailure::Unreadable;
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return ReadFailure::Unreadable;
    if (S_ISDIR(st.st_mode))
        return ReadFailure::Missing;
    if (!S_ISREG(st.st_mode))
        return ReadFailure::NotRegularFile;
    if (st.st_size > maxBytes)
        return ReadFailure::TooLarge;
    // The file may change while it is read: never take more than the limit.
    QByteArray data(qsizetype(st.st_size), Qt::Uninitialized);
    qsizetype done = 0;
    for (;;) {
        if (done == data.size()) {
            if (done > maxBytes) {
                return ReadFailure::TooLarge;
            }
            data.resize(done + qMax<qsizetype>(4096, done / 4));
        }
        const ssize_t n = ::read(fd, data.data() + done, size_t(data.size() - done));
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n < 0)
            return ReadFailure::Unreadable;
        if (n == 0)
            break;
        done += n;
    }
    if (done > maxBytes)
        return ReadFailure::TooLarge;
    data.truncate(done);
    out = std::move(data);
    return ReadFailure::None;
}

#else

ReadFailure readRegularFile(const QString& path, qint64 maxBytes, QByteArray& out) {
    out.clear();
    switch (fileKind(path)) {
    case FileKind::Missing: case FileKind::Folder: return ReadFailure::Missing;
    case FileKind::Other: return ReadFailure::NotRegularFile;
    case FileKind::Regular: break;
    }
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return ReadFailure::Unreadable;
    if (f.size() > maxBytes)
        return ReadFailure::TooLarge;
    out = f.read(maxBytes + 1);
    if (f.error() != QFileDevice::NoError) {
        out.clear();
        return ReadFailure::Unreadable;
    }
    if (out.size() > maxBytes) {
        out.clear();
        return ReadFailure::TooLarge;
    }
    return ReadFailure::None;
}

#endif

}  // namespace platform

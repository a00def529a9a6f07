#include "platform/file_read.h"

#include "platform/file_names.h"
#include "platform/unique_fd.h"

#include <QFile>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace platform {

#ifdef Q_OS_UNIX

namespace {

// Opens a regular file for reading. Non-blocking, so that opening a FIFO
// returns at once instead of waiting for a writer; the type is checked on
// what was really opened.
ReadFailure openRegular(const QString& path, Fd& file, struct stat& st) {
    if (path.isEmpty())
        return ReadFailure::Missing;
    file.fd = ::open(encodeFileName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (file.fd < 0)
        return errno == ENOENT || errno == ENOTDIR ? ReadFailure::Missing : ReadFailure::Unreadable;
    if (::fstat(file.fd, &st) != 0)
        return ReadFailure::Unreadable;
    if (S_ISDIR(st.st_mode))
        return ReadFailure::Missing;
    return S_ISREG(st.st_mode) ? ReadFailure::None : ReadFailure::NotRegularFile;
}

// Reads an opened regular file: at most limit bytes, a longer file refused
// when refuseLonger, else only its start read.
ReadFailure readOpened(const QString& path, qint64 limit, bool refuseLonger, QByteArray& out) {
    out.clear();
    Fd file{-1};
    struct stat st {};
    if (const ReadFailure f = openRegular(path, file, st); f != ReadFailure::None)
        return f;
    if (refuseLonger && st.st_size > limit)
        return ReadFailure::TooLarge;
    // The file may change while it is read: never take more than the limit.
    QByteArray data(qsizetype(qBound<qint64>(0, qint64(st.st_size), limit)), Qt::Uninitialized);
    qsizetype done = 0;
    for (;;) {
        if (done == data.size()) {
            if (!refuseLonger || done > limit)
                break;
            data.resize(done + qMax<qsizetype>(4096, done / 4));
        }
        const ssize_t n = ::read(file.fd, data.data() + done, size_t(data.size() - done));
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n < 0)
            return ReadFailure::Unreadable;
        if (n == 0)
            break;
        done += n;
    }
    if (done > limit)
        return ReadFailure::TooLarge;
    data.truncate(done);
    out = std::move(data);
    return ReadFailure::None;
}

}  // namespace

ReadFailure readFileStart(const QString& path, qint64 bytes, QByteArray& out) {
    return readOpened(path, bytes, false, out);
}

ReadFailure readRegularFile(const QString& path, qint64 maxBytes, QByteArray& out) {
    return readOpened(path, maxBytes, true, out);
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

ReadFailure readFileStart(const QString& path, qint64 bytes, QByteArray& out) {
    out.clear();
    if (fileKind(path) != FileKind::Regular)
        return fileKind(path) == FileKind::Other ? ReadFailure::NotRegularFile : ReadFailure::Missing;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return ReadFailure::Unreadable;
    out = f.read(bytes);
    return ReadFailure::None;
}

#endif

}  // namespace platform

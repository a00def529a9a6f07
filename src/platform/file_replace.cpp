#include "platform/file_replace.h"
#include "platform/unique_fd.h"

#include "platform/file_names.h"

#include <QFile>

#ifdef Q_OS_UNIX

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <string>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

namespace platform {

namespace {

WriteResult failed(const char* step, int sysError) {
    WriteResult r;
    r.step = step;
    r.sysError = sysError;
    switch (sysError) {
    case ENOSPC: case EDQUOT: case EFBIG: r.failure = WriteFailure::NoSpace; break;
    case EACCES: case EPERM: case EROFS: r.failure = WriteFailure::NotPermitted; break;
    case EEXIST: r.failure = WriteFailure::AlreadyExists; break;
    default: r.failure = WriteFailure::Other; break;
    }
    return r;
}

WriteResult failedWith(WriteFailure failure, const char* step, int sysError = 0) {
    WriteResult r = failed(step, sysError);
    r.failure = failure;
    return r;
}

int writeAll(int fd, const char* data, size_t size, off_t at = -1) {
    size_t done = 0;
    while (done < size) {
        const size_t chunk = std::min<size_t>(size - done, size_t(1) << 30);
        const ssize_t n = at < 0 ? ::write(fd, data + done, chunk) : ::pwrite(fd, data + done, chunk, at + off_t(done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (n == 0)
            return ENOSPC;  // a write that makes no progress: the disk is full
        done += size_t(n);
    }
    return 0;
}

bool readAll(int fd, std::string& out, off_t size) {
    out.assign(size_t(size), '\0');
    off_t done = 0;
    while (done < size) {
        const ssize_t n = ::pread(fd, out.data() + done, size_t(size - done), done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

std::string folderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string baseOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Makes the folder entry durable. File systems that cannot sync a folder say
// so with EINVAL; that is no failure of the write.
int syncFolder(const std::string& folder) {
    Fd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.fd < 0)
        return errno;
    if (::fsync(dir.fd) != 0 && errno != EINVAL && errno != ENOTSUP)
        return errno;
    return dir.close() == 0 ? 0 : errno;
}

// Flushes to the disk and closes.
WriteResult syncClose(Fd& fd) {
    if (::fsync(fd.fd) != 0)
        return failed("fsync", errno);
    if (fd.close() != 0)
        return failed("close", errno);
    return WriteResult();
}

// Writes, flushes to the disk and closes: the steps every new file goes through.
WriteResult writeSyncClose(Fd& fd, const QByteArray& bytes) {
    if (int e = writeAll(fd.fd, bytes.constData(), size_t(bytes.size())))
        return failed("write", e);
    return syncClose(fd);
}

std::vector<std::string> attributeNames(const char* path, int fd) {
    std::vector<std::string> names;
    for (int attempt = 0; attempt < 4; ++attempt) {
        const ssize_t size = path ? ::llistxattr(path, nullptr, 0) : ::flistxattr(fd, nullptr, 0);
        if (size <= 0)
            return names;
        std::string list(size_t(size), '\0');
        const ssize_t got = path ? ::llistxattr(path, list.data(), list.size()) : ::flistxattr(fd, list.data(), list.size());
        if (got < 0 && errno == ERANGE)
            continue;  // attributes were added meanwhile: ask again
        if (got <= 0)
            return names;
        for (size_t at = 0; at < size_t(got);) {
            const std::string name(list.c_str() + at);
            at += name.size() + 1;
            if (!name.empty())
                names.push_back(name);
        }
        return names;
    }
    return names;
}

// Gives the new file (tmp) the owner, group, mode, ACL and extended attributes
// of the file it is to replace. False when any of them cannot be kept.
bool keepIdentity(const std::string& target, const struct stat& old, int tmp) {
    if (::fchown(tmp, old.st_uid, old.st_gid) != 0)
        return false;
    // ACLs are extended attributes ("system.posix_acl_access"), so copying the
    // attributes copies the ACL; attributes the folder's defaults gave the new
    // file and the old one did not have are taken away again.
    const std::vector<std::string> names = attributeNames(target.c_str(), -1);
    for (const std::string& name : names) {
        const ssize_t size = ::lgetxattr(target.c_str(), name.c_str(), nullptr, 0);
        if (size < 0)
            return false;
        std::string value(size_t(size), '\0');
        const ssize_t got = ::lgetxattr(target.c_str(), name.c_str(), value.data(), value.size());
        if (got < 0)
            return false;
        value.resize(size_t(got));
        if (::fsetxattr(tmp, name.c_str(), value.data(), value.size(), 0) != 0)
            return false;
    }
    for (const std::string& name : attributeNames(nullptr, tmp))
        if (std::find(names.begin(), names.end(), name) == names.end() && ::fremovexattr(tmp, name.c_str()) != 0)
            return false;
    // After the owner and the ACL, since both may clear setgid.
    const mode_t mode = old.st_mode & 07777;
    if (::fchmod(tmp, mode) != 0)
        return false;
    // The kernel drops setgid silently for a group the user is not in.
    struct stat now {};
    return ::fstat(tmp, &now) == 0 && (now.st_mode & 07777) == mode && now.st_uid == old.st_uid &&
           now.st_gid == old.st_gid;
}

// Overwrites the file itself, so that every name of it and its identity stay.
// The space is reserved first and the old content kept in memory, so a write
// that fails half way puts the old content back.
WriteResult writeInPlace(const std::string& target, const struct stat& old, const QByteArray& bytes) {
    Fd fd(::open(target.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
    if (fd.fd < 0)
        return failed("open", errno);
    struct stat st {};
    if (::fstat(fd.fd, &st) != 0)
        return failed("fstat", errno);
    if (st.st_dev != old.st_dev || st.st_ino != old.st_ino || !S_ISREG(st.st_mode))
        return failedWith(WriteFailure::NotRegularFile, "open");
    std::string before;
    if (!readAll(fd.fd, before, st.st_size))
        return failed("read", errno ? errno : EIO);
    const off_t newSize = off_t(bytes.size());
    if (newSize > st.st_size) {
        // Reserved beyond the end without changing the size: a full disk
        // shows here, before the first byte of the old content is touched.
        if (::fallocate(fd.fd, FALLOC_FL_KEEP_SIZE, 0, newSize) != 0 && errno != EOPNOTSUPP && errno != ENOSYS)
            return failed("fallocate", errno);
    }
    auto restore = [&] {
        writeAll(fd.fd, before.data(), before.size(), 0);
        [[maybe_unused]] int r = ::ftruncate(fd.fd, st.st_size);
        ::fsync(fd.fd);
    };
    if (int e = writeAll(fd.fd, bytes.constData(), size_t(bytes.size()), 0)) {
        restore();
        return failed("write", e);
    }
    if (::ftruncate(fd.fd, newSize) != 0) {
        const int e = errno;
        restore();
        return failed("truncate", e);
    }
    if (::fsync(fd.fd) != 0) {
        const int e = errno;
        restore();
        return failed("fsync", e);
    }
    if (fd.close() != 0)
        return failed("close", errno);
    return WriteResult();
}

// A new, unused name beside the target: ".<name>.<random>" (hidden, so file
// managers do not show a half-written picture).
int createTemporary(const std::string& folder, const std::string& base, mode_t mode, std::string& tmpName) {
    static std::mt19937_64 random{std::random_device{}()};
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[24];
        std::snprintf(suffix, sizeof suffix, ".%012llx", static_cast<unsigned long long>(random() & 0xFFFFFFFFFFFFULL));
        std::string name = base.size() > 200 ? base.substr(0, 200) : base;
        tmpName = folder + "/." + name + suffix;
        const int fd = ::open(tmpName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    errno = EEXIST;
    return -1;
}

}  // namespace

WriteResult replaceFile(const QString& path, const QByteArray& bytes) {
    std::string target = encodeFileName(path).toStdString();
    if (target.empty() || target.back() == '/')
        return failedWith(WriteFailure::NotRegularFile, "open", EISDIR);
    struct stat old {};
    bool exists = ::lstat(target.c_str(), &old) == 0;
    if (!exists && errno != ENOENT)
        return failed("stat", errno);
    if (exists && S_ISLNK(old.st_mode)) {
        // The link stays; the file it names gets the new content.
        char* real = ::realpath(target.c_str(), nullptr);
        if (!real)
            return failed("open", errno);
        target = real;
        std::free(real);
        if (::lstat(target.c_str(), &old) != 0)
            return failed("stat", errno);
    }
    if (exists && !S_ISREG(old.st_mode))
        return failedWith(WriteFailure::NotRegularFile, "open", S_ISDIR(old.st_mode) ? EISDIR : 0);
    if (exists && old.st_nlink > 1)
        return writeInPlace(target, old, bytes);

    const std::string folder = folderOf(target);
    std::string tmpName;
    Fd tmp(createTemporary(folder, baseOf(target), exists ? 0600 : 0666, tmpName));
    if (tmp.fd < 0)
        return failed("open", errno);
    auto discard = [&] { ::unlink(tmpName.c_str()); };
    if (exists && !keepIdentity(target, old, tmp.fd)) {
        // Only the file itself can keep an owner or group the user may not
        // give away; writing it in place needs permission to write it.
        tmp.close();
        discard();
        const WriteResult r = writeInPlace(target, old, bytes);
        if (r.failure == WriteFailure::NotPermitted)
            return failedWith(WriteFailure::CannotKeep, r.step, r.sysError);
        return r;
    }
    WriteResult r = writeSyncClose(tmp, bytes);
    if (!r.ok()) {
        discard();
        return r;
    }
    if (::rename(tmpName.c_str(), target.c_str()) != 0) {
        const int e = errno;
        discard();
        return failed("rename", e);
    }
    if (int e = syncFolder(folder))
        return failed("fsync folder", e);
    return WriteResult();
}

bool replaceFileContent(const QString& path, const QByteArray& bytes) {
    return replaceFile(path, bytes).ok();
}

WriteResult createPrivateFile(const QString& path, const QByteArray& bytes) {
    return createPrivateFileFrom(path, [&bytes](const PieceWriter& write) { return write(bytes.constData(), bytes.size()); });
}

WriteResult createPrivateFileFrom(const QString& path, const std::function<bool(const PieceWriter&)>& fill) {
    const std::string name = encodeFileName(path).toStdString();
    if (name.empty())
        return failed("open", ENOENT);
    Fd fd(::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (fd.fd < 0)
        return failed("open", errno);
    // A default ACL of the folder may have added entries for others; 0600
    // masks them all.
    WriteResult r;
    if (::fchmod(fd.fd, 0600) != 0)
        r = failed("chmod", errno);
    if (r.ok()) {
        int writeError = 0;
        bool filled = false;
        try {
            filled = fill([&](const char* data, qint64 size) {
                if (writeError == 0 && size > 0)
                    writeError = writeAll(fd.fd, data, size_t(size));
                return writeError == 0;
            });
        } catch (...) {
            ::unlink(name.c_str());
            throw;
        }
        if (writeError != 0)
            r = failed("write", writeError);
        else if (!filled)
            r = failedWith(WriteFailure::Other, "content");
        else
            r = syncClose(fd);
    }
    if (r.ok()) {
        if (int e = syncFolder(folderOf(name)))
            r = failed("fsync folder", e);
    }
    if (!r.ok())
        ::unlink(name.c_str());
    return r;
}

}  // namespace platform

#else  // not a Unix system: Qt's own safe replacement, without the identity of the old file

#include <QSaveFile>

namespace platform {

WriteResult replaceFile(const QString& path, const QByteArray& bytes) {
    WriteResult r;
    QSaveFile file(path);
    file.setDirectWriteFallback(false);
    // commit does not notice a failure of the final flush of its buffer.
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.flush() || !file.commit()) {
        file.cancelWriting();
        r.failure = WriteFailure::Other;
        r.step = "write";
    }
    return r;
}

bool replaceFileContent(const QString& path, const QByteArray& bytes) {
    return replaceFile(path, bytes).ok();
}

WriteResult createPrivateFile(const QString& path, const QByteArray& bytes) {
    return createPrivateFileFrom(path, [&bytes](const PieceWriter& write) { return write(bytes.constData(), bytes.size()); });
}

WriteResult createPrivateFileFrom(const QString& path, const std::function<bool(const PieceWriter&)>& fill) {
    WriteResult r;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly, QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
        r.failure = file.exists() ? WriteFailure::AlreadyExists : WriteFailure::Other;
        r.step = "open";
        return r;
    }
    bool written = true;
    const bool filled = fill([&](const char* data, qint64 size) {
        written = written && file.write(data, size) == size;
        return written;
    });
    if (!written || !filled || !file.flush()) {
        file.close();
        file.remove();
        r.failure = WriteFailure::Other;
        r.step = filled ? "write" : "content";
    }
    return r;
}

}  // namespace platform

#endif

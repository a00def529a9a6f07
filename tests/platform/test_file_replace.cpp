// The checked writer: full disks, the identity of a replaced file, targets
// that are not regular files, private new files.
#include "platform/file_replace.h"
#include "support/sandbox.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/xattr.h>
#include <unistd.h>

using platform::WriteFailure;
using testsupport::kOtherGid;
using testsupport::kOtherUid;
using testsupport::kSharedGid;
using testsupport::kThirdUid;

namespace {

QByteArray readBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    ASSERT_EQ(f.write(bytes), bytes.size());
}

struct stat statOf(const QString& path) {
    struct stat st {};
    ::lstat(QFile::encodeName(path).constData(), &st);
    return st;
}

// Names in a folder other than the ones listed: leftovers of a failed write.
QStringList strayNames(const QString& folder, const QStringList& expected) {
    QStringList stray;
    for (const QString& name : QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot))
        if (!expected.contains(name))
            stray << name;
    return stray;
}

// A POSIX access ACL in its extended-attribute form: the owner rw, the
// owning group r, the named group g r, mask r, others nothing.
QByteArray aclGivingGroupRead(gid_t g) {
    QByteArray acl;
    auto u32 = [&](quint32 v) { acl.append(reinterpret_cast<const char*>(&v), 4); };
    auto entry = [&](quint16 tag, quint16 perm, quint32 id) {
        acl.append(reinterpret_cast<const char*>(&tag), 2);
        acl.append(reinterpret_cast<const char*>(&perm), 2);
        u32(id);
    };
    u32(2);
    entry(0x01, 6, quint32(-1));  // owner
    entry(0x04, 4, quint32(-1));  // owning group
    entry(0x08, 4, g);            // named group
    entry(0x10, 4, quint32(-1));  // mask
    entry(0x20, 0, quint32(-1));  // others
    return acl;
}

QByteArray attribute(const QString& path, const char* name) {
    char value[512];
    const ssize_t n = ::lgetxattr(QFile::encodeName(path).constData(), name, value, sizeof value);
    return n < 0 ? QByteArray("<none>") : QByteArray(value, int(n));
}

bool setAttribute(const QString& path, const char* name, const QByteArray& value) {
    return ::lsetxattr(QFile::encodeName(path).constData(), name, value.constData(), size_t(value.size()), 0) == 0;
}

const QByteArray kOld(3000, 'o');
const QByteArray kNew(20000, 'n');

}  // namespace

TEST(FileReplace, AFullDiskFailsEveryWriteAndLeavesTheOldFilesAsTheyWere) {
    testsupport::SmallDisk disk(2 * 1024 * 1024);
    if (!disk.ok())
        GTEST_SKIP() << "cannot mount a small tmpfs here";
    const QString picture = disk.filePath(QStringLiteral("a.png"));
    const QString linked = disk.filePath(QStringLiteral("a-link.png"));
    const QString tiny = disk.filePath(QStringLiteral("tiny.png"));
    writeBytes(picture, kOld);
    writeBytes(tiny, "x");
    ASSERT_EQ(::link(QFile::encodeName(picture).constData(), QFile::encodeName(linked).constData()), 0);
    disk.fill();

    // Larger and smaller than the old file, through a temporary file and in place (hard link).
    platform::WriteResult r = platform::replaceFile(tiny, kNew);
    EXPECT_EQ(r.failure, WriteFailure::NoSpace) << r.step;
    EXPECT_EQ(readBytes(tiny), "x");
    r = platform::replaceFile(tiny, QByteArray(100, 's'));
    EXPECT_EQ(r.failure, WriteFailure::NoSpace) << r.step;
    EXPECT_EQ(readBytes(tiny), "x");
    r = platform::replaceFile(picture, kNew);
    EXPECT_EQ(r.failure, WriteFailure::NoSpace) << r.step;
    EXPECT_EQ(readBytes(picture), kOld);
    EXPECT_EQ(readBytes(linked), kOld);
    EXPECT_FALSE(platform::replaceFileContent(disk.filePath(QStringLiteral("new.png")), kNew));

    r = platform::createPrivateFile(disk.filePath(QStringLiteral("$$Undo002.bmp")), kNew);
    EXPECT_EQ(r.failure, WriteFailure::NoSpace) << r.step;
    // Piece by piece: the piece that does not fit ends the file, and nothing is left.
    int pieces = 0;
    r = platform::createPrivateFileFrom(disk.filePath(QStringLiteral("$$Undo003.bmp")),
                                        [&](const platform::PieceWriter& write) {
                                            for (; pieces < 64; ++pieces)
                                                if (!write(QByteArray(64 * 1024, 'p').constData(), 64 * 1024))
                                                    return false;
                                            return true;
                                        });
    EXPECT_EQ(r.failure, WriteFailure::NoSpace) << r.step;
    EXPECT_LT(pieces, 64) << "writing stops at the first failed piece";
    EXPECT_EQ(strayNames(disk.path(), {"a.png", "a-link.png", "tiny.png", "filler"}), QStringList());

    // With room again, the same writes succeed.
    disk.unfill();
    EXPECT_TRUE(platform::replaceFile(picture, kNew).ok());
    EXPECT_EQ(readBytes(linked), kNew);
    EXPECT_TRUE(platform::replaceFile(tiny, kNew).ok());
    EXPECT_EQ(readBytes(tiny), kNew);
}

TEST(FileReplace, AReplacedFileKeepsOwnerGroupModeAclAttributesAndItsOtherNames) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("shared.png"));
    const QString other = dir.filePath(QStringLiteral("other-name.png"));
    writeBytes(path, kOld);
    const bool root = ::geteuid() == 0;
    if (root)
        ASSERT_EQ(::chown(QFile::encodeName(path).constData(), kThirdUid, kSharedGid), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 02640), 0);
    const QByteArray acl = aclGivingGroupRead(kOtherGid);
    const bool hasAttributes = setAttribute(path, "user.comment", "kept") &&
                               setAttribute(path, "system.posix_acl_access", acl);
    const struct stat before = statOf(path);

    ASSERT_TRUE(platform::replaceFile(path, kNew).ok());
    struct stat after = statOf(path);
    EXPECT_EQ(readBytes(path), kNew);
    EXPECT_EQ(after.st_uid, before.st_uid);
    EXPECT_EQ(after.st_gid, before.st_gid);
    EXPECT_EQ(after.st_mode, before.st_mode);
    if (hasAttributes) {
        EXPECT_EQ(attribute(path, "user.comment"), "kept");
        EXPECT_EQ(attribute(path, "system.posix_acl_access"), acl);
    }
    EXPECT_EQ(strayNames(dir.path(), {"shared.png"}), QStringList());

    // A second name: both names see the new content, and it is still one file.
    ASSERT_EQ(::link(QFile::encodeName(path).constData(), QFile::encodeName(other).constData()), 0);
    ASSERT_TRUE(platform::replaceFile(other, kOld).ok());
    EXPECT_EQ(readBytes(path), kOld);
    EXPECT_EQ(statOf(path).st_ino, statOf(other).st_ino);
    ASSERT_TRUE(platform::replaceFile(path, "short").ok());
    EXPECT_EQ(readBytes(other), "short");
    after = statOf(other);
    EXPECT_EQ(after.st_mode, before.st_mode);
    EXPECT_EQ(after.st_uid, before.st_uid);
}

TEST(FileReplace, AnOrdinaryUserKeepsWhatTheyMayAndIsRefusedWhatTheyMayNot) {
    if (!testsupport::canSwitchUser())
        GTEST_SKIP() << "needs root to act as an ordinary user";
    QTemporaryDir dir;
    ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0777), 0);
    auto make = [&](const char* name, uid_t uid, gid_t gid, mode_t mode) {
        const QString path = dir.filePath(QString::fromLatin1(name));
        writeBytes(path, kOld);
        EXPECT_EQ(::chown(QFile::encodeName(path).constData(), uid, gid), 0);
        EXPECT_EQ(::chmod(QFile::encodeName(path).constData(), mode), 0);
        return path;
    };
    // Their own file in the shared group, setgid; another user's file that the
    // group may write; another user's file the user may only read.
    const QString own = make("own.png", kOtherUid, kSharedGid, 02660);
    const QString groupWritable = make("group.png", kThirdUid, kSharedGid, 0664);
    const QString readOnly = make("theirs.png", kThirdUid, kThirdUid, 0644);
    setAttribute(own, "user.comment", "kept");

    const int status = testsupport::runAsUser(kOtherUid, kOtherGid, {kSharedGid}, [&] {
        int failures = 0;
        if (!platform::replaceFile(own, kNew).ok())
            failures |= 1;
        if (!platform::replaceFile(groupWritable, kNew).ok())
            failures |= 2;
        if (platform::replaceFile(readOnly, kNew).failure != WriteFailure::CannotKeep)
            failures |= 4;
        return failures;
    });
    ASSERT_NE(status, -1);
    EXPECT_EQ(status, 0);

    struct stat st = statOf(own);
    EXPECT_EQ(readBytes(own), kNew);
    EXPECT_EQ(st.st_gid, kSharedGid);
    EXPECT_EQ(st.st_mode & 07777, 02660u);
    EXPECT_EQ(attribute(own, "user.comment"), "kept");
    st = statOf(groupWritable);
    EXPECT_EQ(readBytes(groupWritable), kNew);
    EXPECT_EQ(st.st_uid, kThirdUid);
    EXPECT_EQ(st.st_gid, kSharedGid);
    st = statOf(readOnly);
    EXPECT_EQ(readBytes(readOnly), kOld);
    EXPECT_EQ(st.st_uid, kThirdUid);
    EXPECT_EQ(strayNames(dir.path(), {"own.png", "group.png", "theirs.png"}), QStringList());
}

TEST(FileReplace, OnlyRegularFilesAreReplacedAndALinkStaysALink) {
    QTemporaryDir dir;
    const QByteArray fifo = QFile::encodeName(dir.filePath(QStringLiteral("pipe.png")));
    ASSERT_EQ(::mkfifo(fifo.constData(), 0644), 0);
    EXPECT_EQ(platform::replaceFile(QFile::decodeName(fifo), kNew).failure, WriteFailure::NotRegularFile);
    EXPECT_TRUE(S_ISFIFO(statOf(QFile::decodeName(fifo)).st_mode));
    EXPECT_EQ(platform::replaceFile(dir.path(), kNew).failure, WriteFailure::NotRegularFile);

    // A link to a device node (the node is made here when allowed, else /dev/null).
    QString device = dir.filePath(QStringLiteral("null"));
    if (::mknod(QFile::encodeName(device).constData(), S_IFCHR | 0666, makedev(1, 3)) != 0)
        device = QStringLiteral("/dev/null");
    const QString toDevice = dir.filePath(QStringLiteral("device.png"));
    ASSERT_TRUE(QFile::link(device, toDevice));
    EXPECT_EQ(platform::replaceFile(toDevice, kNew).failure, WriteFailure::NotRegularFile);
    EXPECT_TRUE(S_ISCHR(statOf(device).st_mode));
    EXPECT_TRUE(S_ISLNK(statOf(toDevice).st_mode));

    const QString real = dir.filePath(QStringLiteral("real.png"));
    const QString toReal = dir.filePath(QStringLiteral("link.png"));
    writeBytes(real, kOld);
    ASSERT_TRUE(QFile::link(real, toReal));
    ASSERT_TRUE(platform::replaceFile(toReal, kNew).ok());
    EXPECT_TRUE(S_ISLNK(statOf(toReal).st_mode));
    EXPECT_EQ(readBytes(real), kNew);
}

TEST(FileReplace, PrivateFilesAreNewOwnerOnlyAndNeverFollowALink) {
    QTemporaryDir dir;
    // A folder whose default ACL and a zero umask would give everyone access.
    const mode_t oldMask = ::umask(0);
    const QString folder = dir.filePath(QStringLiteral("work"));
    ASSERT_TRUE(QDir().mkdir(folder));
    QByteArray defaults = aclGivingGroupRead(kOtherGid);
    setAttribute(folder, "system.posix_acl_default", defaults);
    const QString undo = folder + QStringLiteral("/$$Undo001.bmp");
    const platform::WriteResult r = platform::createPrivateFile(undo, kNew);
    ::umask(oldMask);
    ASSERT_TRUE(r.ok()) << r.step << " " << r.sysError;
    EXPECT_EQ(statOf(undo).st_mode & 07777, 0600u);
    EXPECT_EQ(readBytes(undo), kNew);

    // A name already taken, a planted link to another file and a dangling link.
    EXPECT_EQ(platform::createPrivateFile(undo, kOld).failure, WriteFailure::AlreadyExists);
    EXPECT_EQ(readBytes(undo), kNew);
    const QString victim = dir.filePath(QStringLiteral("victim.png"));
    writeBytes(victim, kOld);
    const QString planted = folder + QStringLiteral("/$$Undo002.bmp");
    ASSERT_TRUE(QFile::link(victim, planted));
    EXPECT_EQ(platform::createPrivateFile(planted, kNew).failure, WriteFailure::AlreadyExists);
    EXPECT_EQ(readBytes(victim), kOld);
    const QString nowhere = dir.filePath(QStringLiteral("created-through-link.png"));
    const QString dangling = folder + QStringLiteral("/$$Undo003.bmp");
    ASSERT_TRUE(QFile::link(nowhere, dangling));
    EXPECT_EQ(platform::createPrivateFile(dangling, kNew).failure, WriteFailure::AlreadyExists);
    EXPECT_FALSE(QFile::exists(nowhere));

    // Content given in pieces: the file holds them in order; a fill that
    // gives up leaves nothing under the name.
    const QString streamed = folder + QStringLiteral("/$$Undo004.bmp");
    ASSERT_TRUE(platform::createPrivateFileFrom(streamed, [](const platform::PieceWriter& write) {
                    return write("new ", 4) && write("", 0) && write("content", 7);
                }).ok());
    EXPECT_EQ(readBytes(streamed), QByteArray("new content"));
    EXPECT_EQ(statOf(streamed).st_mode & 07777, 0600u);
    const QString abandoned = folder + QStringLiteral("/$$Undo005.bmp");
    const platform::WriteResult gaveUp = platform::createPrivateFileFrom(abandoned, [](const platform::PieceWriter& write) {
        write("half", 4);
        return false;
    });
    EXPECT_EQ(gaveUp.failure, WriteFailure::Other);
    EXPECT_FALSE(QFile::exists(abandoned));
}

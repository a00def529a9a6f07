#pragma once
// Conditions tests need that CI (running as root) does not give by itself: a
// small disk that fills up, and running code as an ordinary user. Tests skip
// (GTEST_SKIP) when the machine cannot provide them.
#include <QByteArray>
#include <QList>
#include <QString>
#include <QTemporaryDir>

#include <functional>
#include <sys/types.h>
#include <vector>

namespace testsupport {

// A tmpfs of the given size mounted on a new temporary folder (needs root or
// a user namespace that allows it); unmounted when destroyed.
class SmallDisk {
public:
    explicit SmallDisk(qint64 bytes);
    ~SmallDisk();
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    bool ok() const { return mounted_; }
    QString path() const { return dir_.path(); }
    QString filePath(const QString& name) const { return dir_.filePath(name); }
    // Writes a filler file until the disk reports that it is full.
    void fill() const;
    // Removes the filler again.
    void unfill() const;

private:
    QTemporaryDir dir_;
    bool mounted_ = false;
};

// An ordinary user for permission tests: uid 65534 and groups that tests
// choose freely (the ids need no entry in /etc/passwd).
constexpr uid_t kOtherUid = 65534;
constexpr gid_t kOtherGid = 65534;
constexpr uid_t kThirdUid = 4321;   // a second ordinary user, owner of "their" files
constexpr gid_t kSharedGid = 4242;  // a group "shared" the ordinary user belongs to

// Runs body in a child process as uid/gid with the given supplementary groups
// and returns its exit status (body returns 0 for success). -1 when this
// process cannot switch user (not root): the caller skips.
int runAsUser(uid_t uid, gid_t gid, const std::vector<gid_t>& groups, const std::function<int()>& body);

// Whether runAsUser can work here.
bool canSwitchUser();

// The names in a folder as the file system holds them (bytes), sorted,
// without "." and "..".
QList<QByteArray> rawNames(const QByteArray& folder);

}  // namespace testsupport

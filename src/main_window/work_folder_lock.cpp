#include "main_window/work_folder_lock.h"

#include <QDir>
#include <QLockFile>

namespace mainwin {

WorkFolderLock::WorkFolderLock() = default;
WorkFolderLock::~WorkFolderLock() { release(); }

bool WorkFolderLock::held() const { return lock_ && lock_->isLocked(); }

void WorkFolderLock::release() {
    if (lock_)
        lock_->unlock();
    lock_.reset();
}

QString WorkFolderLock::acquire(const QString& base) {
    release();
    for (int n = 1; n <= kMaxCopies; ++n) {
        const QString folder = n == 1 ? base : base + QString::number(n) + u'/';
        if (!QDir().mkpath(folder))
            continue;
        auto lock = std::make_unique<QLockFile>(folder + QStringLiteral(".lock"));
        // Only a lock whose process has gone counts as stale, never an old one:
        // a copy may run for days.
        lock->setStaleLockTime(0);
        if (lock->tryLock(0)) {
            lock_ = std::move(lock);
            return folder;
        }
    }
    return base;
}

}  // namespace mainwin

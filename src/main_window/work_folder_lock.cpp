#include "main_window/work_folder_lock.h"

#include "platform/private_folder.h"

#include <QDir>
#include <QLockFile>
#include <QTemporaryDir>

namespace mainwin {

WorkFolderLock::WorkFolderLock() = default;
WorkFolderLock::~WorkFolderLock() { release(); }

bool WorkFolderLock::held() const { return lock_ && lock_->isLocked(); }

void WorkFolderLock::release() {
    if (lock_)
        lock_->unlock();
    lock_.reset();
    fallback_.reset();
}

QString WorkFolderLock::acquire(const QString& base, QString* refusal) {
    release();
    // The user data folder itself may still be missing: its parents are made
    // as any folder; the work folder is made private below.
    QDir().mkpath(QDir::cleanPath(base + QStringLiteral("/..")));
    const platform::FolderCheck baseCheck = platform::preparePrivateFolder(base);
    if (baseCheck == platform::FolderCheck::NotOwned || baseCheck == platform::FolderCheck::NotAFolder ||
        baseCheck == platform::FolderCheck::CannotProtect) {
        fallback_ = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/tolvane-XXXXXX"));
        if (fallback_->isValid()) {
            const QString folder = fallback_->path() + u'/';
            if (refusal)
                *refusal = platform::folderCheckMessage(baseCheck, base) + QStringLiteral("\r代わりに ") + folder +
                           QStringLiteral(" を使います");
            auto lock = std::make_unique<QLockFile>(folder + QStringLiteral(".lock"));
            if (lock->tryLock(0))
                lock_ = std::move(lock);
            return folder;
        }
        fallback_.reset();
        if (refusal)
            *refusal = platform::folderCheckMessage(baseCheck, base);
        return QString();  // no work folder rather than one others control
    }
    for (int n = 1; n <= kMaxCopies; ++n) {
        const QString folder = n == 1 ? base : base + QString::number(n) + u'/';
        if (n > 1 && platform::preparePrivateFolder(folder) != platform::FolderCheck::Ok)
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

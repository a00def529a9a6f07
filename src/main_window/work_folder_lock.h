#pragma once
// Two running copies of the program must not share one work folder: each
// would delete the other's undo files. The first copy locks "Wrk/" itself;
// a copy that finds it held takes the first free "Wrk/2/", "Wrk/3/", ...
// Every work folder is the user's own and closed to everyone else; a "Wrk/"
// that is not (another user's folder, a link) is not used at all.
#include <QString>
#include <memory>

class QLockFile;
class QTemporaryDir;

namespace mainwin {

class WorkFolderLock {
public:
    WorkFolderLock();
    ~WorkFolderLock();

    // Locks base (a folder path ending with "/") or the first free numbered
    // sub-folder of it (created when missing). Returns the folder locked, with
    // its trailing "/"; base itself when nothing could be locked (a folder that
    // cannot be written to: the program carries on as a single copy would).
    // When base is refused, a new private folder in the system's temporary
    // folder is used instead (removed again at release), and refusal receives
    // the message that says so.
    QString acquire(const QString& base, QString* refusal = nullptr);
    void release();
    bool held() const;

    static constexpr int kMaxCopies = 99;

private:
    std::unique_ptr<QLockFile> lock_;
    std::unique_ptr<QTemporaryDir> fallback_;
};

}  // namespace mainwin

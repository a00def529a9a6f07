#pragma once
// Two running copies of the program must not share one work folder: each
// would delete the other's undo files. The first copy locks "Wrk/" itself;
// a copy that finds it held takes the first free "Wrk/2/", "Wrk/3/", ...
#include <QString>
#include <memory>

class QLockFile;

namespace mainwin {

class WorkFolderLock {
public:
    WorkFolderLock();
    ~WorkFolderLock();

    // Locks base (a folder path ending with "/") or the first free numbered
    // sub-folder of it (created when missing). Returns the folder locked, with
    // its trailing "/"; base itself when nothing could be locked (a folder that
    // cannot be written to: the program carries on as a single copy would).
    QString acquire(const QString& base);
    void release();
    bool held() const;

    static constexpr int kMaxCopies = 99;

private:
    std::unique_ptr<QLockFile> lock_;
};

}  // namespace mainwin

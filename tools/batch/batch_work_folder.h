#pragma once
// The batch run's own work folder for its undo files: a new folder
// "tolvane-batch-XXXXXX" (mode 0700) inside the folder given with --work or
// the system's temporary folder, so that no file of the user's is ever touched.
// It is removed at the end of the run, and also when the run is stopped by
// SIGINT, SIGTERM or SIGHUP; folders that killed runs left behind (their lock
// is free) are removed at the start of the next run in the same place.
#include <QString>

namespace batch {

class WorkFolder {
public:
    WorkFolder() = default;
    ~WorkFolder();
    WorkFolder(const WorkFolder&) = delete;
    WorkFolder& operator=(const WorkFolder&) = delete;

    // Creates the folder inside base (made first when missing). False when
    // it cannot be made.
    bool create(const QString& base);
    // The folder, ending in "/"; empty before create.
    QString path() const { return path_; }

    // Removes the folders of finished or killed runs inside base that belong
    // to this user and whose lock nobody holds.
    static void removeStale(const QString& base);

    static const char* prefix() { return "tolvane-batch-"; }
    static const char* lockName() { return ".lock"; }

private:
    QString path_;
    int lockFd_ = -1;
};

}  // namespace batch

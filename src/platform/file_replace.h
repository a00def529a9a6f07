#pragma once
// The one writer for every file the program writes. Every step is checked
// (write, flush to the disk, close, rename, the folder's own sync), so a full
// disk, a missing permission or an I/O error is always reported, and the file
// that was there before is never damaged.
//
// Replacing a file keeps what makes it that file: owner, group, mode (setgid
// included), ACL and extended attributes are given to the new content before
// it takes the name. A file with several names (hard links) is rewritten in
// place, after the space is reserved, so that every name sees the new content;
// so is a file whose owner or group only an in-place write can keep. What
// cannot be kept is refused. Only regular files are replaced; a link is
// followed to the file it names.
//
// Names are converted with encodeFileName (file_names.h), so a name read from
// the file system is written back byte for byte.
#include <QByteArray>
#include <QString>

#include <functional>

namespace platform {

enum class WriteFailure {
    None,
    NoSpace,        // the disk or the quota is full
    NotPermitted,   // no permission, or a read-only file system
    NotRegularFile, // the target is a folder, a device, a FIFO...
    CannotKeep,     // owner, group, mode, ACL or attributes could not be kept
    AlreadyExists,  // createPrivateFile: the name is taken (a link included)
    Other,
};

struct WriteResult {
    WriteFailure failure = WriteFailure::None;
    int sysError = 0;         // errno of the step that failed, 0 when none applies
    const char* step = "";    // that step: "open", "write", "fsync", "rename"...
    bool ok() const { return failure == WriteFailure::None; }
};

// Replaces (or creates) path with exactly bytes. A new file gets the mode
// that the umask and the folder's default ACL give it.
WriteResult replaceFile(const QString& path, const QByteArray& bytes);

// The same, reporting only success: on false the old file (if any) is unchanged.
bool replaceFileContent(const QString& path, const QByteArray& bytes);

// Creates a new file only the user can read (mode 0600), never following or
// replacing anything already under that name, and writes bytes to it. On any
// failure nothing is left under the name.
WriteResult createPrivateFile(const QString& path, const QByteArray& bytes);

// Writes one piece of a file's content after the pieces before it; false when
// the write failed (the call that creates the file then reports why).
using PieceWriter = std::function<bool(const char* data, qint64 size)>;
// createPrivateFile with the content written piece by piece by fill, so that
// it never has to be whole in memory. fill returns false to give up (failure
// Other at step "content", unless a write failed first). On any failure
// nothing is left under the name.
WriteResult createPrivateFileFrom(const QString& path, const std::function<bool(const PieceWriter&)>& fill);

}  // namespace platform

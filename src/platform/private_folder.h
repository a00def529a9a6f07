#pragma once
// Folders only this user may use: the work folders that hold the undo files.
// A folder is taken only when it is a real folder (not a link) owned by the
// user; it is made (and kept) readable and writable by the user alone.
#include <QString>

namespace platform {

enum class FolderCheck {
    Ok,
    CannotCreate,   // missing, and it could not be made
    NotAFolder,     // a link, a file or anything else that is not a plain folder
    NotOwned,       // another user's folder
    CannotProtect,  // its mode could not be narrowed to the user alone
};

// Makes path (one level; its parent must exist) with mode 0700 when it is
// missing, then checks it: a link is never followed, another user's folder is
// refused, and (with narrow) a folder of the user that others could read or
// write is narrowed to 0700.
FolderCheck preparePrivateFolder(const QString& path, bool narrow = true);

// The message for a refused folder: the path, a line break and the reason.
QString folderCheckMessage(FolderCheck check, const QString& path);

}  // namespace platform

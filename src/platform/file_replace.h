#pragma once
// Replacing a whole file safely: the new content is written beside the old
// file and renamed over it only when every byte reached the disk, so a full
// disk or a missing permission never leaves a half-written file behind.
#include <QByteArray>
#include <QString>

namespace platform {

// True when path now holds exactly bytes; on false the old file (if any) is
// unchanged.
bool replaceFileContent(const QString& path, const QByteArray& bytes);

}  // namespace platform

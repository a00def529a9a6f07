#pragma once
// Reading a whole file that is meant to hold a picture or settings. Only a
// regular file is read (never a device, a FIFO or a folder, and opening never
// waits on one), and a file over the size limit is refused before a byte of it
// is read.
#include <QByteArray>
#include <QString>

namespace platform {

enum class ReadFailure {
    None,
    Missing,         // no such file, or a folder
    NotRegularFile,  // a device, FIFO or socket (links are followed)
    TooLarge,        // larger than the limit given
    Unreadable,      // no permission or an I/O error
};

// Reads path whole into out (cleared on failure).
ReadFailure readRegularFile(const QString& path, qint64 maxBytes, QByteArray& out);

// Reads the first bytes of a regular file (fewer when the file is shorter),
// with the same checks.
ReadFailure readFileStart(const QString& path, qint64 bytes, QByteArray& out);

}  // namespace platform

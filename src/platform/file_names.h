#pragma once
// File names between the file system (bytes) and the program (text). Names
// that are valid UTF-8 convert exactly as Qt converts them (QFile::encodeName
// and decodeName). Qt 6 turns every other byte into U+FFFD, after which the
// name no longer names the file; here each such byte becomes one code point
// of U+DC80..U+DCFF (a lone low surrogate, which no valid UTF-8 decodes to),
// and encodeFileName turns it back into that byte, so a name read from the
// disk or the command line opens and saves that very file.
#include <QByteArray>
#include <QString>
#include <QStringList>

namespace platform {

QString decodeFileName(const QByteArray& bytes);
QByteArray encodeFileName(const QString& name);

// The command-line arguments after the program name, decoded as file names.
QStringList decodeArguments(int argc, const char* const* argv);

// What a name names, following links: nothing, a regular file, a folder, or
// something else (device, FIFO, socket).
enum class FileKind { Missing, Regular, Folder, Other };
FileKind fileKind(const QString& path);

// The names of a folder's entries of one kind (links followed), unsorted,
// without hidden ones (names that start with a dot): every name, UTF-8 or
// not, as decodeFileName gives it.
// onlyReadable leaves out what the user may not read.
QStringList folderEntries(const QString& folder, FileKind kind, bool onlyReadable = false);

// The absolute path with every link resolved; empty when the path does not exist.
QString canonicalPath(const QString& path);

// Makes a folder and every missing folder above it; true when it is there.
bool makeFolders(const QString& path);

}  // namespace platform

#pragma once
// Small text and number helpers shared by the picture control's files.
#include <QString>

#include "platform/numbers.h"

namespace upce {

// The extension of the file name (not of a folder) upper-cased; empty when the
// file name has no ".".
QString getExt(const QString& path);

// The path with the file name's extension lower-cased. An existing file keeps
// its own spelling: on a case-sensitive file system a lower-cased name would
// name another file.
QString lcExt(const QString& path);


// Rounds to the nearest whole number, a half going to the even neighbour,
// clamped to the range of int (NaN gives 0).
inline int roundEven(double v) { return platform::roundEvenInt(v); }

// The value as "##,###": thousands separated by commas, nothing for 0.
QString groupDigits(double value);

// The folder part of a path, up to and including its last "/".
QString folderOf(const QString& path);

}  // namespace upce

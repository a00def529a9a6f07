#pragma once
// Stepping through the pictures of a folder: which files count, their order
// (natural: "2" before "10", letters without regard to case) and the picture
// a step leads to, wrapping at the ends.
#include <QString>
#include <QStringList>
#include <functional>

namespace mainwin {

// Natural order: runs of digits compare by their value, everything else
// without regard to case; names equal that way fall back to an exact comparison.
bool naturalLess(const QString& a, const QString& b);

// The files of folder (no sub-folders, no hidden files) that accepted takes,
// as full paths in natural order of their names.
QStringList picturesInFolder(const QString& folder, const std::function<bool(const QString&)>& accepted);

enum class FolderStep { Next, Previous, First, Last };

// The picture a step from current (a full path) leads to among pictures (full
// paths in natural order). Next and Previous wrap at the ends; a current file
// that is no longer listed steps to its neighbours by name. Empty when there
// is nowhere to go (no pictures, or only current itself).
QString steppedPicture(const QStringList& pictures, const QString& current, FolderStep step);

}  // namespace mainwin

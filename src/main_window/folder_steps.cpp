#include "main_window/folder_steps.h"

#include "platform/file_names.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>

namespace mainwin {

namespace {

// Compares two runs of digits by value: leading zeros skipped, then the
// longer number is the larger, then digit by digit.
int compareNumbers(QStringView a, QStringView b) {
    while (a.size() > 1 && a.front() == u'0')
        a = a.mid(1);
    while (b.size() > 1 && b.front() == u'0')
        b = b.mid(1);
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    return a.compare(b);
}

qsizetype runEnd(QStringView s, qsizetype from) {
    const bool digits = s[from].isDigit();
    qsizetype i = from;
    while (i < s.size() && s[i].isDigit() == digits)
        ++i;
    return i;
}

int naturalCompare(QStringView a, QStringView b) {
    qsizetype i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        const qsizetype ie = runEnd(a, i), je = runEnd(b, j);
        const QStringView ra = a.mid(i, ie - i), rb = b.mid(j, je - j);
        int c = 0;
        if (ra.front().isDigit() && rb.front().isDigit())
            c = compareNumbers(ra, rb);
        else
            c = ra.compare(rb, Qt::CaseInsensitive);
        if (c != 0)
            return c < 0 ? -1 : 1;
        i = ie;
        j = je;
    }
    if (i < a.size() || j < b.size())
        return i < a.size() ? 1 : -1;
    return 0;
}

}  // namespace

bool naturalLess(const QString& a, const QString& b) {
    const int c = naturalCompare(a, b);
    return c != 0 ? c < 0 : a < b;
}

QStringList picturesInFolder(const QString& folder, const std::function<bool(const QString&)>& accepted) {
    QStringList names;
    const QDir dir(folder);
    for (const QString& name : platform::folderEntries(folder, platform::FileKind::Regular, true))
        if (accepted(dir.filePath(name)))
            names << name;
    std::sort(names.begin(), names.end(), naturalLess);
    QStringList paths;
    for (const QString& n : names)
        paths << dir.filePath(n);
    return paths;
}

QString steppedPicture(const QStringList& pictures, const QString& current, FolderStep step) {
    if (pictures.isEmpty())
        return QString();
    QString target;
    switch (step) {
    case FolderStep::First: target = pictures.first(); break;
    case FolderStep::Last: target = pictures.last(); break;
    case FolderStep::Next:
    case FolderStep::Previous: {
        const QString name = QFileInfo(current).fileName();
        const auto byName = [](const QString& path, const QString& n) { return naturalLess(QFileInfo(path).fileName(), n); };
        // The first listed picture not before current, and where current itself is.
        const auto it = std::lower_bound(pictures.begin(), pictures.end(), name, byName);
        const qsizetype at = it - pictures.begin();
        const bool listed = it != pictures.end() && QFileInfo(*it).fileName() == name;
        const qsizetype n = pictures.size();
        qsizetype k = 0;
        if (step == FolderStep::Next)
            k = listed ? (at + 1) % n : at % n;
        else
            k = (at - 1 + n) % n;
        target = pictures.at(k);
        break;
    }
    }
    return QFileInfo(target).fileName() == QFileInfo(current).fileName() &&
                   QFileInfo(target).absolutePath() == QFileInfo(current).absolutePath()
               ? QString()
               : target;
}

}  // namespace mainwin

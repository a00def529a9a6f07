#include "picture_control/upce_util.h"

#include "platform/file_names.h"

#include <QFileInfo>

namespace upce {

namespace {
// Index of the extension's "." inside path, -1 when the file name has none.
qsizetype extDot(const QString& path) {
    const qsizetype slash = path.lastIndexOf(QChar('/'));
    const qsizetype dot = path.lastIndexOf(QChar('.'));
    return dot > slash ? dot : -1;
}
}  // namespace

QString getExt(const QString& path) {
    const qsizetype p = extDot(path);
    return p < 0 ? QString() : path.mid(p + 1).toUpper();
}

QString lcExt(const QString& path) {
    const qsizetype p = extDot(path);
    if (p < 0 || platform::fileKind(path) != platform::FileKind::Missing)
        return path;
    return path.left(p + 1) + path.mid(p + 1).toLower();
}

QString groupDigits(double value) {
    if (value == 0)
        return QString();
    QString digits = QString::number(std::fabs(value), 'f', 0);
    for (qsizetype i = digits.size() - 3; i > 0; i -= 3)
        digits.insert(i, QChar(','));
    return value < 0 ? QChar('-') + digits : digits;
}

QString folderOf(const QString& path) {
    const qsizetype slash = path.lastIndexOf(QChar('/'));
    return slash < 0 ? QString() : path.left(slash + 1);
}

}  // namespace upce

#include "platform/file_replace.h"

#include <QSaveFile>

namespace platform {

bool replaceFileContent(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    // QSaveFile::commit does not notice a failure of the final flush of its
    // buffer (the truncated file would replace the old one), so the flush is
    // checked here first.
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

}  // namespace platform

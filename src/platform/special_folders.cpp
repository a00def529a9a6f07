#include "platform/special_folders.h"

#include <QDir>
#include <QStandardPaths>

namespace platform {

QString specialFolder(int number) {
    QStandardPaths::StandardLocation where;
    switch (number) {
    case AppDataFolder:
        where = QStandardPaths::GenericDataLocation;
        break;
    case DocumentsFolder:
        where = QStandardPaths::DocumentsLocation;
        break;
    case SendToFolder:
        where = QStandardPaths::ApplicationsLocation;
        break;
    case PicturesFolder:
        where = QStandardPaths::PicturesLocation;
        break;
    default:
        return QString();
    }
    QString path = QStandardPaths::writableLocation(where);
    while (path.size() > 1 && path.endsWith(QChar('/')))
        path.chop(1);
    return path;
}

}  // namespace platform

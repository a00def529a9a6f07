#include "user_env.h"

#include "settings/yini.h"
#include "startup/usr.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

namespace testsupport {

UserEnv::UserEnv()
    : oldData_(qgetenv("XDG_DATA_HOME")),
      oldConfig_(qgetenv("XDG_CONFIG_HOME")),
      hadData_(qEnvironmentVariableIsSet("XDG_DATA_HOME")),
      hadConfig_(qEnvironmentVariableIsSet("XDG_CONFIG_HOME")),
      oldExe_(Usr::sExe),
      oldUsrFd_(Usr::sUsrFd),
      oldApFd_(Usr::sApFd),
      oldRun_(Usr::bRun),
      oldEnding_(Usr::bEnding) {
    QDir().mkpath(programFolder());
    QDir().mkpath(dataHome());
    QDir().mkpath(root() + QStringLiteral("/config"));
    qputenv("XDG_DATA_HOME", dataHome().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (root() + QStringLiteral("/config")).toLocal8Bit());
    writeFile(root() + QStringLiteral("/config/user-dirs.dirs"),
              "XDG_DOCUMENTS_DIR=\"" + documents().toLocal8Bit() + "\"\n");
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsFolder());
    Usr::sExe = QStringLiteral("tolvane");
    Usr::sUsrFd.clear();
    Usr::sApFd.clear();
    Usr::releaseIni();
    Usr::oIni().programFolder = programFolder();
    Usr::oIni().programPath = programPath();
}

UserEnv::~UserEnv() {
    Usr::releaseIni();
    if (hadData_)
        qputenv("XDG_DATA_HOME", oldData_);
    else
        qunsetenv("XDG_DATA_HOME");
    if (hadConfig_)
        qputenv("XDG_CONFIG_HOME", oldConfig_);
    else
        qunsetenv("XDG_CONFIG_HOME");
    Usr::sExe = oldExe_;
    Usr::sUsrFd = oldUsrFd_;
    Usr::sApFd = oldApFd_;
    Usr::bRun = oldRun_;
    Usr::bEnding = oldEnding_;
}

QString UserEnv::programFolder() const { return root() + QStringLiteral("/Program Files/Tolvane/"); }
QString UserEnv::programPath() const { return programFolder() + QStringLiteral("tolvane"); }
QString UserEnv::dataHome() const { return root() + QStringLiteral("/data"); }
QString UserEnv::documents() const { return root() + QStringLiteral("/My Documents"); }
QString UserEnv::applications() const { return dataHome() + QStringLiteral("/applications"); }
QString UserEnv::settingsFolder() const { return root() + QStringLiteral("/settings"); }

void UserEnv::writeDefinition(const QByteArray& content) const {
    writeFile(programFolder() + QStringLiteral("UserData.ini"), content);
}

void UserEnv::writeFile(const QString& path, const QByteArray& content) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(content);
}

QByteArray UserEnv::readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace testsupport

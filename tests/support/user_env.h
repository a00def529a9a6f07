#pragma once
// A private user environment for tests of the settings object and start-up:
// temporary program folder, XDG data, documents and applications folders, a
// private per-user settings store, and the program-wide state of Usr saved
// and restored around the test.
#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <ostream>

namespace testsupport {

class UserEnv {
public:
    UserEnv();
    ~UserEnv();
    UserEnv(const UserEnv&) = delete;
    UserEnv& operator=(const UserEnv&) = delete;

    bool ok() const { return root_.isValid(); }
    QString root() const { return root_.path(); }
    QString programFolder() const;   // ends with "/"; exists
    QString programPath() const;     // programFolder() + "tolvane" (no file behind it)
    QString dataHome() const;        // XDG data home (special folder 26)
    QString documents() const;       // XDG documents folder (special folder 5)
    QString applications() const;    // XDG applications folder (special folder 9)
    QString settingsFolder() const;  // where the per-user settings store keeps its file
    // The default user data folder for sExe "tolvane".
    QString defaultUserFolder() const { return dataHome() + QStringLiteral("/Quillon/tolvane/"); }

    // Writes "UserData.ini" into the program folder.
    void writeDefinition(const QByteArray& content) const;
    // Writes a file (parents created).
    static void writeFile(const QString& path, const QByteArray& content);
    static QByteArray readFile(const QString& path);

private:
    QTemporaryDir root_;
    QByteArray oldData_, oldConfig_;
    bool hadData_, hadConfig_;
    QString oldExe_, oldUsrFd_, oldApFd_;
    bool oldRun_, oldEnding_;
};

}  // namespace testsupport

// Readable test failure output for texts.
inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

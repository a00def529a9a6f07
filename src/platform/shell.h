#pragma once
// Handing files, folders and addresses to the desktop: every such request of
// the program goes through this layer, so tests record the requests instead of
// launching programs, and nothing ever waits for the opened program.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <vector>

namespace platform {

class Shell {
public:
    virtual ~Shell() = default;
    // Opens a file, folder or web address with the program the desktop
    // associates with it. A desktop entry file is opened as the shell opens a
    // shortcut: a link entry opens its address, an application entry starts
    // its program. Returns whether the request was handed over.
    virtual bool open(const QString& target) = 0;
    // Shows a folder in the file manager.
    virtual bool explore(const QString& folder) = 0;
};

// The shell in use (the desktop unless another was installed).
Shell& shell();
// Installs a shell (not owned); nullptr goes back to the desktop.
void setShell(Shell* s);

// A shell that records every request and launches nothing.
class RecordingShell : public Shell {
public:
    struct Request {
        QString verb;  // "open" or "explore"
        QString target;
        bool operator==(const Request&) const = default;
    };
    std::vector<Request> requests;
    bool result = true;  // what every request answers

    bool open(const QString& target) override;
    bool explore(const QString& folder) override;
};

// Installs a shell for the lifetime of this object.
class ScopedShell {
public:
    explicit ScopedShell(Shell* s);
    ~ScopedShell();
    ScopedShell(const ScopedShell&) = delete;
    ScopedShell& operator=(const ScopedShell&) = delete;

private:
    Shell* previous_;
};

// What opening a desktop entry file means.
struct DesktopEntryTarget {
    enum Kind { None, Link, Application } kind = None;
    QString url;          // Link: the address
    QStringList command;  // Application: program and arguments, field codes dropped
};
// Reads the "[Desktop Entry]" group of a desktop entry file's content.
DesktopEntryTarget desktopEntryTarget(const QByteArray& content);

// A value as written in a desktop entry: "\", line breaks and tabs escaped.
QString desktopEntryValue(const QString& text);
// One argument of an Exec line, quoted when it holds reserved characters and
// with "%" doubled, ready for desktopEntryValue.
QString desktopExecArgument(const QString& argument);

}  // namespace platform

#include "platform/shell.h"

#include <QDesktopServices>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>

namespace platform {

namespace {

// How long a desktop opener may take to say it found nothing to open with.
constexpr int kOpenerVerdictMs = 2000;

// Hands url to the desktop's opener. xdg-open is asked through a detached
// shell that writes its exit status to a file, so the opened program never
// belongs to us (closing this program leaves the browser open), and an opener
// that finds no program says so: it ends at once with a failure, while one
// that is still running after a moment has found one.
bool openUrl(const QUrl& url) {
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (opener.isEmpty())
        return QDesktopServices::openUrl(url);
    QTemporaryDir statusDir;
    if (!statusDir.isValid())
        return QDesktopServices::openUrl(url);
    const QString status = statusDir.filePath(QStringLiteral("status"));
    const QString script = QStringLiteral(
        "\"$1\" \"$2\" >/dev/null 2>&1 </dev/null; r=$?; { echo $r > \"$3.part\" && mv \"$3.part\" \"$3\"; } 2>/dev/null");
    if (!QProcess::startDetached(QStringLiteral("/bin/sh"),
                                 {QStringLiteral("-c"), script, QStringLiteral("sh"), opener,
                                  url.isLocalFile() ? url.toLocalFile() : url.toString(QUrl::FullyEncoded), status}))
        return false;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < kOpenerVerdictMs) {
        QFile file(status);
        if (file.open(QIODevice::ReadOnly))
            return file.readAll().trimmed() == "0";
        QThread::msleep(20);
    }
    // Still running: the opener waits for the program it started. The
    // status it writes later finds its folder gone and is dropped.
    return true;
}

// The desktop: opening goes to the desktop's associated programs and returns
// as soon as it is clear whether one was found, without waiting for them.
class DesktopShell : public Shell {
public:
    bool open(const QString& target) override {
        if (target.isEmpty())
            return false;
        const QFileInfo info(target);
        if (info.isFile() && target.endsWith(QStringLiteral(".desktop"), Qt::CaseInsensitive)) {
            // Opened the way a shortcut is: follow it rather than show the file.
            QFile file(target);
            if (file.open(QIODevice::ReadOnly)) {
                const DesktopEntryTarget entry = desktopEntryTarget(file.read(1 << 20));
                if (entry.kind == DesktopEntryTarget::Link)
                    return openUrl(QUrl(entry.url));
                if (entry.kind == DesktopEntryTarget::Application)
                    return QProcess::startDetached(entry.command.first(), entry.command.mid(1));
            }
        }
        if (!info.exists()) {
            const QUrl url(target);
            if (url.isValid() && url.scheme().size() > 1)
                return openUrl(url);
        }
        return openUrl(QUrl::fromLocalFile(info.absoluteFilePath()));
    }
    bool explore(const QString& folder) override {
        return openUrl(QUrl::fromLocalFile(QFileInfo(folder).absoluteFilePath()));
    }
};

Shell* g_shell = nullptr;

// Undoes the string escapes of a desktop entry value.
QString unescapeValue(const QString& value) {
    QString out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        if (c != QChar('\\') || i + 1 == value.size()) {
            out += c;
            continue;
        }
        const QChar e = value[++i];
        if (e == QChar('s'))
            out += QChar(' ');
        else if (e == QChar('n'))
            out += QChar('\n');
        else if (e == QChar('t'))
            out += QChar('\t');
        else if (e == QChar('r'))
            out += QChar('\r');
        else if (e == QChar('\\'))
            out += QChar('\\');
        else {
            out += QChar('\\');  // unknown escape: kept as written
            out += e;
        }
    }
    return out;
}

bool isFieldCode(const QString& token) {
    static const QString codes = QStringLiteral("fFuUdDnNickvm");
    return token.size() == 2 && token[0] == QChar('%') && codes.contains(token[1]);
}

// Splits an Exec value (string escapes already undone) into its arguments.
QStringList execArguments(const QString& exec) {
    QStringList args;
    QString current;
    bool inToken = false, quoted = false, wasQuoted = false;
    for (qsizetype i = 0; i < exec.size(); ++i) {
        const QChar c = exec[i];
        if (quoted) {
            if (c == QChar('\\') && i + 1 < exec.size())
                current += exec[++i];
            else if (c == QChar('"'))
                quoted = false;
            else
                current += c;
        } else if (c == QChar(' ') || c == QChar('\t') || c == QChar('\n')) {
            if (inToken) {
                if (wasQuoted || !isFieldCode(current))
                    args << current.replace(QStringLiteral("%%"), QStringLiteral("%"));
                current.clear();
                inToken = wasQuoted = false;
            }
        } else if (c == QChar('"')) {
            quoted = wasQuoted = inToken = true;
        } else {
            current += c;
            inToken = true;
        }
    }
    if (inToken && (wasQuoted || !isFieldCode(current)))
        args << current.replace(QStringLiteral("%%"), QStringLiteral("%"));
    return args;
}

}  // namespace

Shell& shell() {
    static DesktopShell desktop;
    return g_shell ? *g_shell : desktop;
}

void setShell(Shell* s) { g_shell = s; }

bool RecordingShell::open(const QString& target) {
    requests.push_back({QStringLiteral("open"), target});
    return result;
}

bool RecordingShell::explore(const QString& folder) {
    requests.push_back({QStringLiteral("explore"), folder});
    return result;
}

ScopedShell::ScopedShell(Shell* s) : previous_(g_shell) { g_shell = s; }
ScopedShell::~ScopedShell() { g_shell = previous_; }

DesktopEntryTarget desktopEntryTarget(const QByteArray& content) {
    DesktopEntryTarget result;
    QString type, url, exec;
    bool inEntry = false;
    const QStringList lines = QString::fromUtf8(content).split(QChar('\n'));
    for (QString line : lines) {
        if (line.endsWith(QChar('\r')))
            line.chop(1);
        if (line.startsWith(QChar('['))) {
            inEntry = line == QStringLiteral("[Desktop Entry]");
            continue;
        }
        if (!inEntry || line.startsWith(QChar('#')))
            continue;
        const qsizetype eq = line.indexOf(QChar('='));
        if (eq <= 0)
            continue;
        const QString key = line.left(eq).trimmed();
        const QString value = unescapeValue(line.mid(eq + 1).trimmed());
        if (key == QStringLiteral("Type"))
            type = value;
        else if (key == QStringLiteral("URL"))
            url = value;
        else if (key == QStringLiteral("Exec"))
            exec = value;
    }
    if (type == QStringLiteral("Link") && !url.isEmpty()) {
        result.kind = DesktopEntryTarget::Link;
        result.url = url;
    } else if (type == QStringLiteral("Application")) {
        result.command = execArguments(exec);
        if (!result.command.isEmpty())
            result.kind = DesktopEntryTarget::Application;
    }
    return result;
}

QString desktopEntryValue(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (QChar c : text) {
        if (c == QChar('\\'))
            out += QStringLiteral("\\\\");
        else if (c == QChar('\n'))
            out += QStringLiteral("\\n");
        else if (c == QChar('\t'))
            out += QStringLiteral("\\t");
        else if (c == QChar('\r'))
            out += QStringLiteral("\\r");
        else
            out += c;
    }
    if (out.startsWith(QChar(' ')))
        out.replace(0, 1, QStringLiteral("\\s"));
    return out;
}

QString desktopExecArgument(const QString& argument) {
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#`()");
    bool needsQuotes = argument.isEmpty();
    for (QChar c : argument)
        needsQuotes = needsQuotes || reserved.contains(c);
    QString out;
    if (needsQuotes) {
        out += QChar('"');
        for (QChar c : argument) {
            if (c == QChar('"') || c == QChar('`') || c == QChar('$') || c == QChar('\\'))
                out += QChar('\\');
            out += c;
        }
        out += QChar('"');
    } else {
        out = argument;
    }
    return out.replace(QStringLiteral("%"), QStringLiteral("%%"));
}

}  // namespace platform

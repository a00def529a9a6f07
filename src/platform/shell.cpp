#include "platform/shell.h"

#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

namespace platform {

namespace {

// The desktop: opening goes to the desktop's associated programs and returns
// at once, without waiting for them.
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
                    return QDesktopServices::openUrl(QUrl(entry.url));
                if (entry.kind == DesktopEntryTarget::Application)
                    return QProcess::startDetached(entry.command.first(), entry.command.mid(1));
            }
        }
        if (!info.exists()) {
            const QUrl url(target);
            if (url.isValid() && url.scheme().size() > 1)
                return QDesktopServices::openUrl(url);
        }
        return QDesktopServices::openUrl(QUrl::fromLocalFile(info.absoluteFilePath()));
    }
    bool explore(const QString& folder) override {
        return QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(folder).absoluteFilePath()));
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

#include "main_window/script_hook.h"

#include "main_window/fm_main.h"
#include "platform/prompt.h"

#include <QCoreApplication>
#include <QFile>
#include <QKeyEvent>
#include <QKeySequence>
#include <QPixmap>
#include <QRadioButton>
#include <QTextStream>
#include <QWindow>
#include <cstdio>

namespace mainwin {

namespace {

platform::ScriptedPrompt& scriptedPrompt() {
    static platform::ScriptedPrompt prompt;
    return prompt;
}

void fail(const QString& text) { std::fprintf(stderr, "TOLVANE_SCRIPT: %s\n", qPrintable(text)); }

bool sendKey(fmMain& window, const QString& spec) {
    const QKeySequence seq(spec);
    if (seq.isEmpty())
        return false;
    const QKeyCombination combo = seq[0];
    QObject* target = window.windowHandle() ? static_cast<QObject*>(window.windowHandle()) : &window;
    QKeyEvent press(QEvent::KeyPress, combo.key(), combo.keyboardModifiers());
    QCoreApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, combo.key(), combo.keyboardModifiers());
    QCoreApplication::sendEvent(target, &release);
    return true;
}

}  // namespace

bool runScript(fmMain& window, const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text)) {
        fail(QStringLiteral("cannot read ") + path);
        return false;
    }
    const QStringList lines = QTextStream(&f).readAll().split(u'\n');
    for (const QString& raw : lines) {
        const QString line = raw.trimmed();
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        const qsizetype sp = line.indexOf(u' ');
        const QString cmd = sp < 0 ? line : line.left(sp);
        const QString arg = sp < 0 ? QString() : line.mid(sp + 1).trimmed();
        QCoreApplication::processEvents();
        if (cmd == QStringLiteral("answer")) {
            platform::setPrompt(&scriptedPrompt());
            scriptedPrompt().answers.push_back(arg.toInt());
        } else if (cmd == QStringLiteral("key")) {
            if (!sendKey(window, arg)) {
                fail(QStringLiteral("bad key ") + arg);
                return false;
            }
        } else if (cmd == QStringLiteral("option")) {
            bool ok = false;
            const int i = arg.toInt(&ok);
            if (!ok || i < 0 || i > 7) {
                fail(QStringLiteral("bad option ") + arg);
                return false;
            }
            window.opColor(i)->click();
        } else if (cmd == QStringLiteral("shot")) {
            if (!window.grab().save(arg, "PNG"))
                fail(QStringLiteral("cannot write ") + arg);
        } else if (cmd == QStringLiteral("close")) {
            if (window.queryUnload(true))
                window.close();
        } else if (cmd == QStringLiteral("exit")) {
            QCoreApplication::exit(0);
            return true;
        } else {
            fail(QStringLiteral("unknown command ") + cmd);
            return false;
        }
    }
    return true;
}

}  // namespace mainwin

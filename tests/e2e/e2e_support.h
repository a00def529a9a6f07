#pragma once
// What the end-to-end drivers share: the program's environment for a run,
// and reading what its script hook writes on its standard output.
#include <QDir>
#include <QFile>
#include <QMap>
#include <QProcessEnvironment>
#include <QString>

namespace e2e {

// The environment of a run of the program in a private home, replaying script.
inline QProcessEnvironment programEnvironment(const QString& home, const QString& script) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/.local/share"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/.config"));
    env.insert(QStringLiteral("XDG_CACHE_HOME"), home + QStringLiteral("/.cache"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home + QStringLiteral("/run"));
    env.insert(QStringLiteral("TOLVANE_SCRIPT"), script);
    QDir().mkpath(home + QStringLiteral("/run"));
    QFile::setPermissions(home + QStringLiteral("/run"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return env;
}

// The "state" line of the script hook with this label, split into its fields
// (size, bit, mode, sel, ...).
inline QMap<QString, QString> stateLine(const QString& output, const QString& label) {
    QMap<QString, QString> fields;
    for (const QString& line : output.split(u'\n')) {
        if (!line.startsWith(QStringLiteral("STATE: ") + label + u' '))
            continue;
        for (const QString& part : line.split(u' ', Qt::SkipEmptyParts)) {
            const qsizetype eq = part.indexOf(u'=');
            if (eq > 0)
                fields.insert(part.left(eq), part.mid(eq + 1));
        }
    }
    return fields;
}

}  // namespace e2e

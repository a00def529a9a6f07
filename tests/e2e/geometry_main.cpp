// Starts the real program three times under a virtual X server with a real
// window manager (openbox), closing it each time as the user would without
// moving it: every start must put the window exactly where the last one
// left it, frame and all.
//
//   tolvane_geometry_e2e <path of tolvane>
//
// Exit code 0 passed, 1 failed, 77 skipped (no xvfb-run or openbox, or the
// window manager did not start).
#include <QCoreApplication>
#include <QDirIterator>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cstdio>

#include "e2e_support.h"

namespace {

using e2e::stateLine;

constexpr int kSkipped = 77;

// Runs the window manager, waits until it says it has started, runs the
// program, then ends the window manager. Exit code 77 when it never started.
const char* kSession = R"(
ready="$HOME/wm-ready"
rm -f "$ready"
openbox --startup "touch $ready" >/dev/null 2>&1 &
wm=$!
i=0
while [ ! -e "$ready" ] && [ $i -lt 150 ]; do sleep 0.1; i=$((i+1)); done
if [ ! -e "$ready" ]; then kill $wm 2>/dev/null; exit 77; fi
"$@"
code=$?
kill $wm 2>/dev/null
wait $wm 2>/dev/null
exit $code
)";

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The text between <tag> and </tag>.
QByteArray tagValue(const QByteArray& xml, const QByteArray& tag) {
    const qsizetype a = xml.indexOf("<" + tag + ">");
    const qsizetype b = xml.indexOf("</" + tag + ">");
    return a < 0 || b < a ? QByteArray() : xml.mid(a + tag.size() + 2, b - a - tag.size() - 2);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: tolvane_geometry_e2e <tolvane>\n");
        return 1;
    }
    for (const char* tool : {"xvfb-run", "openbox"})
        if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty()) {
            std::printf("skipped: %s is not installed\n", tool);
            return kSkipped;
        }
    QTemporaryDir tmp;
    if (!tmp.isValid())
        return 1;
    const QString home = tmp.path() + QStringLiteral("/home");
    const QString script = tmp.path() + QStringLiteral("/close.txt");
    {
        QFile f(script);
        // Time for the window manager to frame the window before the close.
        if (!f.open(QIODevice::WriteOnly) || f.write("wait 1500\nstate shown\nclose\n") <= 0)
            return 1;
    }
    const QProcessEnvironment env = e2e::programEnvironment(home, script);

    int failures = 0;
    const auto check = [&](bool ok, const QString& what) {
        std::printf("%s %s\n", ok ? "ok  " : "FAIL", qPrintable(what));
        failures += ok ? 0 : 1;
    };
    QMap<QString, QString> previous;
    QByteArray previousStored;
    for (int run = 1; run <= 3; ++run) {
        QProcess p;
        p.setProcessEnvironment(env);
        p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p.start(QStringLiteral("xvfb-run"),
                {QStringLiteral("-a"), QStringLiteral("-s"), QStringLiteral("-screen 0 1280x1024x24"), QStringLiteral("sh"),
                 QStringLiteral("-c"), QString::fromLatin1(kSession), QStringLiteral("session"),
                 QString::fromLocal8Bit(argv[1])});
        if (!p.waitForFinished(120000)) {
            p.kill();
            p.waitForFinished();
            check(false, QStringLiteral("run %1 ended").arg(run));
            break;
        }
        if (p.exitStatus() == QProcess::NormalExit && p.exitCode() == kSkipped) {
            std::printf("skipped: the window manager did not start\n");
            return kSkipped;
        }
        check(p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0,
              QStringLiteral("run %1 ended by its close sequence (exit code %2)").arg(run).arg(p.exitCode()));
        const auto shown = stateLine(QString::fromUtf8(p.readAllStandardOutput()), QStringLiteral("shown"));
        check(!shown.isEmpty(), QStringLiteral("run %1 reported its window").arg(run));
        QByteArray stored;
        QDirIterator it(home, {QStringLiteral("User.xml")}, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        if (it.hasNext()) {
            const QByteArray xml = readFile(it.next());
            for (const char* tag : {"LEFT", "TOP", "WIDTH", "HEIGHT"})
                stored += tagValue(xml, tag) + ' ';
        }
        check(!stored.trimmed().isEmpty(), QStringLiteral("run %1 stored its geometry: %2").arg(run).arg(QString::fromLatin1(stored)));
        if (run > 1) {
            // The window's own place, and what was stored, as before. (Where
            // Qt puts the frame depends on whether it has heard the frame's
            // size from the window manager yet, so it is not compared.)
            check(shown.value(QStringLiteral("client")) == previous.value(QStringLiteral("client")),
                  QStringLiteral("run %1 window at %2, before %3")
                      .arg(run)
                      .arg(shown.value(QStringLiteral("client")), previous.value(QStringLiteral("client"))));
            check(stored == previousStored, QStringLiteral("run %1 stored what the run before stored").arg(run));
        }
        previous = shown;
        previousStored = stored;
    }
    std::printf("%s\n", failures ? "FAILED" : "PASSED");
    return failures ? 1 : 0;
}

// tolvane-batch: runs one picture, or many pictures and folders, through the
// editor's commands from the shell.
#include "batch/batch_args.h"
#include "batch/batch_many.h"
#include "batch/batch_runner.h"
#include "platform/file_names.h"
#include "platform/large_pages.h"

#include <QApplication>
#include <QTextStream>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Whether an argument names a file big enough that its picture pays for a
// restart in large pages; a run over small files, or one that only starts
// other runs, just hands the setting on to them.
bool namesABigFile(int argc, char** argv) {
    constexpr off_t kBig = 2 * 1024 * 1024;
    for (int i = 1; i < argc; ++i) {
        struct stat st {};
        if (::stat(argv[i], &st) == 0 && S_ISREG(st.st_mode) && st.st_size >= kBig)
            return true;
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    platform::restartWithLargePages(argv, namesABigFile(argc, argv));
    // No window is shown: without a display, use the offscreen platform.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    batch::Args args;
    QString error;
    QStringList words = platform::decodeArguments(argc, argv);
    if (words.size() == 2 && words[0] == QLatin1String(batch::kWorkerArgsOption)) {
        const QString file = words[1];
        if (!batch::readWorkerArgs(file, words)) {
            err << "cannot read " << file << "\n";
            return 2;
        }
    }
    if (!batch::parseArgs(words, args, error)) {
        err << error << "\n\n" << batch::usageText();
        return 2;
    }
    if (args.help) {
        out << batch::usageText();
        return 0;
    }
    if (args.many())
        return batch::runMany(args, QCoreApplication::applicationFilePath(), out, isatty(STDOUT_FILENO) == 1);
    batch::Runner runner(out, err);
    return runner.run(args);
}

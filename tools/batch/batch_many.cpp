#include "batch/batch_many.h"

#include "batch/batch_plan.h"
#include "batch/batch_report.h"
#include "platform/file_names.h"

#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <functional>
#include <memory>

namespace batch {

namespace {

// The last line a run wrote on its standard error: the reason it failed.
QString lastLine(const QByteArray& text) {
    const QStringList lines = QString::fromLocal8Bit(text).split(QChar('\n'), Qt::SkipEmptyParts);
    return lines.isEmpty() ? QString() : lines.back().trimmed();
}

QStringList linesOf(const QByteArray& text) {
    return QString::fromLocal8Bit(text).split(QChar('\n'), Qt::SkipEmptyParts);
}

}  // namespace

bool writeWorkerArgs(const QString& path, const QStringList& args) {
    QByteArray bytes;
    for (const QString& a : args)
        bytes += platform::encodeFileName(a) + '\0';
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::NewOnly) && f.write(bytes) == bytes.size() && f.flush();
}

bool readWorkerArgs(const QString& path, QStringList& args) {
    args.clear();
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = f.readAll();
    if (f.error() != QFileDevice::NoError || (!bytes.isEmpty() && !bytes.endsWith('\0')))
        return false;
    if (!bytes.isEmpty())
        for (const QByteArray& a : bytes.chopped(1).split('\0'))
            args << platform::decodeFileName(a);
    return true;
}

int runMany(const Args& args, const QString& worker, QTextStream& out, bool terminal) {
    const std::vector<Job> jobs = makePlan(args);
    int total = 0;
    for (const Job& job : jobs)
        total += job.state != Job::Skip ? 1 : 0;
    Report report(out, terminal, total);
    std::vector<const Job*> queue;
    for (const Job& job : jobs) {
        if (job.state == Job::Skip)
            report.skipped(job.input, job.reason);
        else if (job.state == Job::Fail)
            report.failed(job.input, job.reason);
        else
            queue.push_back(&job);
    }
    report.tick();

    const int atOnce = args.jobs > 0 ? args.jobs : std::max(1, QThread::idealThreadCount());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));  // workers show no window

    QTemporaryDir argsFolder;
    if (!argsFolder.isValid()) {
        for (const Job* job : queue)
            report.failed(job->input, QStringLiteral("作業ﾌｫﾙﾀﾞを作れません / cannot make a work folder"));
        return report.finish();
    }
    QEventLoop loop;
    size_t next = 0;
    int running = 0;
    std::function<void()> startNext = [&]() {
        while (running < atOnce && next < queue.size()) {
            const Job& job = *queue[next++];
            if (!platform::makeFolders(QFileInfo(job.output).absolutePath())) {
                report.failed(job.input, QStringLiteral("出力ﾌｫﾙﾀﾞを作れません / cannot make the output folder: %1")
                                             .arg(QFileInfo(job.output).absolutePath()));
                continue;
            }
            QStringList argv{job.input};
            argv << args.stepArgs << QStringLiteral("--save") << job.output;
            // Under --work each run gets a folder of its own (removed when it
            // ends): two runs never share undo files.
            std::shared_ptr<QTemporaryDir> work;
            if (!args.workDir.isEmpty()) {
                platform::makeFolders(args.workDir);
                work = std::make_shared<QTemporaryDir>(QDir(args.workDir).filePath(QStringLiteral("run-XXXXXX")));
                if (!work->isValid()) {
                    report.failed(job.input, QStringLiteral("作業ﾌｫﾙﾀﾞを作れません / cannot make a work folder in %1")
                                                 .arg(args.workDir));
                    continue;
                }
                argv << QStringLiteral("--work") << work->path();
            }
            // The arguments go to the worker through a file of raw bytes: a
            // process's arguments pass through Qt as UTF-8 text, which would
            // change a name that is not UTF-8.
            const QString argsFile = argsFolder.filePath(QStringLiteral("job-%1.args").arg(next));
            if (!writeWorkerArgs(argsFile, argv)) {
                report.failed(job.input, QStringLiteral("作業ﾌｧｲﾙを書けません / cannot write a work file in %1")
                                             .arg(argsFolder.path()));
                continue;
            }
            auto* p = new QProcess(&loop);
            p->setProcessEnvironment(env);
            p->setStandardInputFile(QProcess::nullDevice());
            ++running;
            QObject::connect(p, &QProcess::finished, &loop, [&, p, work, &job = job](int code, QProcess::ExitStatus how) {
                const QByteArray said = p->readAllStandardOutput();
                const QByteArray complaint = p->readAllStandardError();
                if (how == QProcess::NormalExit && code == 0) {
                    report.converted(job.input, job.output, linesOf(said));
                } else {
                    QString reason = lastLine(complaint);
                    if (how != QProcess::NormalExit)
                        reason = QStringLiteral("異常終了しました / the run crashed") +
                                 (reason.isEmpty() ? QString() : QStringLiteral(": ") + reason);
                    else if (reason.isEmpty())
                        reason = QStringLiteral("終了ｺｰﾄﾞ %1 / exit status %1").arg(code);
                    report.failed(job.input, reason, linesOf(said));
                }
                p->deleteLater();
                --running;
                startNext();
                if (running == 0 && next >= queue.size())
                    loop.quit();
            });
            QObject::connect(p, &QProcess::errorOccurred, &loop, [&, p, &job = job](QProcess::ProcessError e) {
                if (e != QProcess::FailedToStart)
                    return;  // finished follows
                report.failed(job.input, QStringLiteral("%1 を起動できません / cannot start it").arg(worker));
                p->deleteLater();
                --running;
                startNext();
                if (running == 0 && next >= queue.size())
                    loop.quit();
            });
            p->start(worker, {QString::fromLatin1(kWorkerArgsOption), argsFile});
        }
    };
    startNext();
    if (running > 0) {
        QTimer bar;
        if (terminal) {
            QObject::connect(&bar, &QTimer::timeout, [&]() { report.tick(); });
            bar.start(250);
        }
        loop.exec();
    }
    return report.finish();
}

}  // namespace batch

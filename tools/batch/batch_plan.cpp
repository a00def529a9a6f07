#include "batch/batch_plan.h"

#include "engine/codecs/codecs.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>

#include <algorithm>

namespace batch {

namespace {

// Extensions opened as pictures even when their content is not recognised
// (a damaged picture then fails with the reader's reason).
const QStringList kPictureExtensions = {
    QStringLiteral("bmp"), QStringLiteral("dib"), QStringLiteral("jpg"),  QStringLiteral("jpeg"),
    QStringLiteral("jpe"), QStringLiteral("gif"), QStringLiteral("tif"),  QStringLiteral("tiff"),
    QStringLiteral("png"), QStringLiteral("pcx"), QStringLiteral("fpx"),  QStringLiteral("webp"),
    QStringLiteral("avif"), QStringLiteral("heic"), QStringLiteral("heif"), QStringLiteral("jxl"),
    QStringLiteral("jp2"), QStringLiteral("j2k"), QStringLiteral("jpc"),
};

// The output path of a picture: the output folder, the picture's place below
// the folder it was found in, its name with the new extension.
QString outputFor(const Args& args, const QString& relative) {
    const QFileInfo rel(relative);
    QString name = rel.fileName();
    if (!args.ext.isEmpty())
        name = (rel.completeBaseName().isEmpty() ? rel.fileName() : rel.completeBaseName()) + QChar('.') + args.ext;
    const QString dir = rel.path() == QLatin1String(".") ? QString() : rel.path() + QChar('/');
    return QDir::cleanPath(QDir(args.outDir).absoluteFilePath(dir + name));
}

// The files of a folder, sorted, with their paths relative to it.
QStringList folderFiles(const QString& folder, bool recursive, const QString& outDirCanonical) {
    QStringList files;
    // Earlier outputs in an output folder inside the scanned one are no inputs
    // (an output folder that is the scanned one is: its outputs are skipped).
    const QString skipBelow = outDirCanonical == QFileInfo(folder).canonicalFilePath() ? QString() : outDirCanonical;
    const QDir root(QFileInfo(folder).absoluteFilePath());
    QDirIterator it(root.path(), QDir::Files | QDir::NoDotAndDotDot,
                    recursive ? QDirIterator::Subdirectories : QDirIterator::NoIteratorFlags);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString canonical = QFileInfo(path).canonicalFilePath();
        if (!skipBelow.isEmpty() && canonical.startsWith(skipBelow + QChar('/')))
            continue;
        files << root.relativeFilePath(path);
    }
    std::sort(files.begin(), files.end());
    return files;
}

}  // namespace

bool looksLikePicture(const QString& path) {
    if (kPictureExtensions.contains(QFileInfo(path).suffix().toLower()))
        return true;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    return engine::codecs::detectFormat(f.read(64)) != engine::codecs::UnknownFormat;
}

std::vector<Job> makePlan(const Args& args) {
    std::vector<Job> jobs;
    const QString outCanonical = QFileInfo(args.outDir).canonicalFilePath();
    for (const QString& input : args.inputs) {
        const QFileInfo info(input);
        if (info.isDir()) {
            for (const QString& rel : folderFiles(input, args.recursive, outCanonical)) {
                Job job;
                job.input = QDir(input).filePath(rel);
                job.output = outputFor(args, rel);
                if (!looksLikePicture(job.input)) {
                    job.state = Job::Skip;
                    job.reason = QStringLiteral("画像ではありません / not a picture");
                }
                jobs.push_back(job);
            }
            continue;
        }
        Job job;
        job.input = input;
        job.output = outputFor(args, info.fileName());
        if (!info.exists()) {
            job.state = Job::Fail;
            job.reason = QStringLiteral("画像ﾌｧｲﾙが見つかりません / no such file");
        }
        jobs.push_back(job);
    }

    // Never write over an input, never two pictures to one output, and never
    // replace an existing output unless asked to.
    QSet<QString> inputs;
    for (const Job& job : jobs)
        inputs.insert(QFileInfo(job.input).canonicalFilePath());
    QHash<QString, QString> claimed;  // output -> the input that writes it
    for (Job& job : jobs) {
        if (job.state != Job::Run)
            continue;
        const QFileInfo out(job.output);
        if (out.exists() && inputs.contains(out.canonicalFilePath())) {
            job.state = Job::Skip;
            job.reason = QStringLiteral("出力先が入力の画像です / the output is an input: %1").arg(job.output);
        } else if (claimed.contains(job.output)) {
            job.state = Job::Skip;
            job.reason = QStringLiteral("出力先が %1 と同じです / same output as %1: %2")
                             .arg(claimed.value(job.output), job.output);
        } else if (out.exists() && !out.isFile()) {
            job.state = Job::Fail;
            job.reason = QStringLiteral("出力先がﾌｧｲﾙではありません / the output is no file: %1").arg(job.output);
        } else if (out.exists() && !args.overwrite) {
            job.state = Job::Skip;
            job.reason = QStringLiteral("出力先が既にあります (--overwrite で上書き) / the output exists "
                                        "(--overwrite replaces it): %1").arg(job.output);
        }
        if (!claimed.contains(job.output))
            claimed.insert(job.output, job.input);
    }
    return jobs;
}

}  // namespace batch

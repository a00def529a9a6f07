#include "batch/batch_plan.h"

#include "engine/codecs/codecs.h"
#include "platform/file_names.h"
#include "platform/file_read.h"

#include <QDir>
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

// The files of a folder (and of the folders below it when recursive), with
// their paths relative to it; names that are not UTF-8 are kept byte for byte.
void collectFiles(const QString& root, const QString& below, bool recursive, const QString& skipBelow,
                  QStringList& files) {
    const QString folder = below.isEmpty() ? root : root + QChar('/') + below;
    const QString prefix = below.isEmpty() ? QString() : below + QChar('/');
    for (const QString& name : platform::folderEntries(folder, platform::FileKind::Regular))
        files << prefix + name;
    if (!recursive)
        return;
    const QString here = platform::canonicalPath(folder);
    for (const QString& name : platform::folderEntries(folder, platform::FileKind::Folder)) {
        // Links to folders are not followed (the walk never goes round), and
        // earlier outputs in an output folder inside the scanned one are no inputs.
        const QString canonical = platform::canonicalPath(folder + QChar('/') + name);
        if (canonical != QDir::cleanPath(here + QChar('/') + name) ||
            (!skipBelow.isEmpty() && (canonical == skipBelow || canonical.startsWith(skipBelow + QChar('/')))))
            continue;
        collectFiles(root, prefix + name, recursive, skipBelow, files);
    }
}

QStringList folderFiles(const QString& folder, bool recursive, const QString& outDirCanonical) {
    QStringList files;
    // An output folder that is the scanned one is scanned: its outputs are skipped.
    const QString root = QDir::cleanPath(QDir(folder).absolutePath());
    const QString skipBelow = outDirCanonical == platform::canonicalPath(root) ? QString() : outDirCanonical;
    collectFiles(root, QString(), recursive, skipBelow, files);
    std::sort(files.begin(), files.end());
    return files;
}

}  // namespace

bool looksLikePicture(const QString& path) {
    if (kPictureExtensions.contains(QFileInfo(path).suffix().toLower()))
        return true;
    QByteArray head;
    if (platform::readFileStart(path, engine::codecs::kDetectBytes, head) != platform::ReadFailure::None)
        return false;
    return engine::codecs::detectFormat(head) != engine::codecs::UnknownFormat;
}

std::vector<Job> makePlan(const Args& args) {
    std::vector<Job> jobs;
    const QString outCanonical = platform::canonicalPath(args.outDir);
    for (const QString& input : args.inputs) {
        const QFileInfo info(input);
        const platform::FileKind kind = platform::fileKind(input);
        if (kind == platform::FileKind::Folder) {
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
        if (kind == platform::FileKind::Missing) {
            job.state = Job::Fail;
            job.reason = QStringLiteral("画像ﾌｧｲﾙが見つかりません / no such file");
        }
        jobs.push_back(job);
    }

    // Never write over an input, never two pictures to one output, and never
    // replace an existing output unless asked to.
    QSet<QString> inputs;
    for (const Job& job : jobs)
        inputs.insert(platform::canonicalPath(job.input));
    QHash<QString, QString> claimed;  // output -> the input that writes it
    for (Job& job : jobs) {
        if (job.state != Job::Run)
            continue;
        const platform::FileKind out = platform::fileKind(job.output);
        if (out != platform::FileKind::Missing && inputs.contains(platform::canonicalPath(job.output))) {
            job.state = Job::Skip;
            job.reason = QStringLiteral("出力先が入力の画像です / the output is an input: %1").arg(job.output);
        } else if (claimed.contains(job.output)) {
            job.state = Job::Skip;
            job.reason = QStringLiteral("出力先が %1 と同じです / same output as %1: %2")
                             .arg(claimed.value(job.output), job.output);
        } else if (out != platform::FileKind::Missing && out != platform::FileKind::Regular) {
            job.state = Job::Fail;
            job.reason = QStringLiteral("出力先がﾌｧｲﾙではありません / the output is no file: %1").arg(job.output);
        } else if (out != platform::FileKind::Missing && !args.overwrite) {
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

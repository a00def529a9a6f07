#pragma once
// A run over many pictures: each picture is one single-picture run of the
// worker program (this program) with the output as its --save step, up to
// args.jobs at once. A picture that fails or even crashes its run costs only
// that picture, each run has its own work folder, and memory stays bounded by
// the pictures in progress.
#include "batch/batch_args.h"

#include <QStringList>
#include <QTextStream>

namespace batch {

// A worker started with this option and a file reads its arguments from the
// file: each one's bytes, each ended by a NUL byte.
constexpr char kWorkerArgsOption[] = "--worker-args";
bool writeWorkerArgs(const QString& path, const QStringList& args);
bool readWorkerArgs(const QString& path, QStringList& args);

// Returns the exit status: 0 when no picture failed, 1 otherwise.
int runMany(const Args& args, const QString& worker, QTextStream& out, bool terminal);

}  // namespace batch

#pragma once
// A run over many pictures: each picture is one single-picture run of the
// worker program (this program) with the output as its --save step, up to
// args.jobs at once. A picture that fails or even crashes its run costs only
// that picture, each run has its own work folder, and memory stays bounded by
// the pictures in progress.
#include "batch/batch_args.h"

#include <QTextStream>

namespace batch {

// Returns the exit status: 0 when no picture failed, 1 otherwise.
int runMany(const Args& args, const QString& worker, QTextStream& out, bool terminal);

}  // namespace batch

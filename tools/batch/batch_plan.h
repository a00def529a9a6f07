#pragma once
// What a run over many pictures will do: every picture found in the inputs,
// its output under the output rule, and the pictures left alone (with why)
// before anything runs.
#include "batch/batch_args.h"

#include <QString>
#include <vector>

namespace batch {

struct Job {
    enum State { Run, Skip, Fail } state = Run;
    QString input;   // the picture's path, as given or as found in a folder
    QString output;  // its output path
    QString reason;  // why it is skipped or failed without running
};

// Collects the pictures: named files as they are, folders' files that are
// pictures by extension or content (the rest skipped as not pictures), hidden
// files and the output folder itself left out. Folders are read in name order.
std::vector<Job> makePlan(const Args& args);

// Whether a file is worth trying as a picture: a picture extension, or content
// a decoder recognises.
bool looksLikePicture(const QString& path);

}  // namespace batch

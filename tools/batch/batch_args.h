#pragma once
// The command line of tolvane-batch: an input picture and steps run in order,
// or many pictures and folders with an output rule (see Args::many).
#include <QString>
#include <QStringList>
#include <vector>

namespace batch {

struct Step {
    enum Kind { Select, Do, Depth, Save, Info } kind;
    QString text;         // the argument as given (for messages and --time)
    int values[4] = {0, 0, 0, 0};  // Select: L, T, R, B; Depth: code, threshold
    bool invert = false;  // Depth
    QString group, item;  // Do
    QString path;         // Save
};

struct Args {
    QString input;        // the first input: the picture of a single-picture run
    QStringList inputs;   // every input, pictures and folders, in the order given
    QString workDir;      // empty: a new temporary folder
    bool time = false;
    bool help = false;
    std::vector<Step> steps;
    QStringList stepArgs;  // the steps' own words, as a worker run takes them

    // Many pictures: several inputs, folders, or an output rule.
    bool recursive = false;  // -r: folders' subfolders too
    QString outDir;          // --out-dir
    QString ext;             // --ext, without the dot; empty: each input's own
    int jobs = 0;            // -j: pictures at once; 0: one per core
    bool overwrite = false;  // --overwrite: replace existing outputs
    bool manyOptions = false;  // one of the options above was given

    // Whether this is a run over many pictures rather than the single-picture run.
    bool many() const;
};

// Parses the arguments after the program name. On a usage error returns false
// with the reason in error.
bool parseArgs(const QStringList& argv, Args& args, QString& error);

// The usage text, Japanese and English.
QString usageText();

}  // namespace batch

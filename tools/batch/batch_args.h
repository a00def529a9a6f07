#pragma once
// The command line of tolvane-batch: an input picture and steps run in order.
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
    QString input;
    QString workDir;  // empty: a new temporary folder
    bool time = false;
    bool help = false;
    std::vector<Step> steps;
};

// Parses the arguments after the program name. On a usage error returns false
// with the reason in error.
bool parseArgs(const QStringList& argv, Args& args, QString& error);

// The usage text, Japanese and English.
QString usageText();

}  // namespace batch

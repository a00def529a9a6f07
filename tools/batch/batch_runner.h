#pragma once
// Runs one picture through a real picture editor control without a window:
// the steps of the command line, in order, with a prompt layer that turns
// message boxes into lines on standard error.
#include "batch/batch_args.h"

#include <QTextStream>
#include <memory>

class uPcE;

namespace batch {

class Runner {
public:
    Runner(QTextStream& out, QTextStream& err);
    ~Runner();

    // Runs every step; the exit status: 0 all succeeded, 1 a step failed.
    int run(const Args& args);

    uPcE& control() { return *control_; }

private:
    bool open(const QString& path);
    bool runStep(const Step& step);
    bool select(const Step& step);
    bool doCommand(const Step& step);
    bool depth(const Step& step);
    bool save(const Step& step);
    bool info();
    bool fail(const QString& message);

    QTextStream& out_;
    QTextStream& err_;
    std::unique_ptr<uPcE> control_;
    QString lastInfo_;
    int messages_ = 0;  // message boxes shown so far
    class BatchPrompt;
    std::unique_ptr<BatchPrompt> prompt_;
};

}  // namespace batch

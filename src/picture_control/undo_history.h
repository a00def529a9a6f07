#pragma once
// The undo history on disk: one bitmap file per step, numbered from 1, in the
// work folder. Files are written by one background writer, strictly in the
// order the steps were recorded; whoever reads a step, or throws the history
// away, first waits for the writes before it (settle).
//
// The history knows which files belong to it. A step whose file could not be
// written is lost (reported once, through the loss handler), a file that was
// changed or replaced behind its back is never read, and a file left from a
// step given up by a new edit is removed before its number is written again,
// so a failed write can never leave the old file in its place.
#include "engine/picture.h"

#include <QObject>
#include <QString>
#include <QVector>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace upce {

class UndoHistory : public QObject {
    Q_OBJECT
public:
    explicit UndoHistory(QObject* parent = nullptr);
    ~UndoHistory() override;  // waits for the write under way; queued ones are dropped

    // The work folder (ending with "/"); empty: no history at all.
    void setFolder(const QString& folder);
    QString folder() const { return folder_; }
    // The undo file of a step: work folder + "$$Undo" + at least three digits + ".bmp".
    QString fileName(int step) const;

    // Called on the interface thread with the message for every step whose
    // file could not be written, as soon as that is known.
    void setLossHandler(std::function<void(const QString&)> handler) { onLoss_ = std::move(handler); }

    enum class State { None, Pending, Written, Lost };
    State state(int step) const;
    int top() const { return int(steps_.size()) - 1; }  // the newest step kept (0: none)

    // Records pic as step: every step from step on is given up, and the file
    // of step is written in the background.
    void record(int step, const engine::Picture& pic);

    // Waits until every write recorded so far has finished and its failure
    // (if any) has been reported.
    void settle();
    // The same for the writes up to and including step's (they run in order):
    // what reading a step back, or any step before it, depends on.
    void settleUpTo(int step);

    // Reads a written step back. False, with the message, when its file is
    // missing, was replaced or changed, or cannot be decoded.
    bool read(int step, engine::Picture& out, QString& message);

    // Throws the history away: writes not yet started are dropped, the one
    // under way is waited for, and every "$$*.bmp" of the folder is deleted,
    // together with a kept history (below).
    void clear();
    // The same, leaving a kept history (below) in place.
    void clearCurrent();

    // A history kept aside while another one runs (taking back a revert):
    // keep() moves the current history's files aside (the caller's step and
    // state go with them); restore() brings them back in place of the current
    // history; drop() deletes them.
    bool keep(int current, const QString& editState);
    bool hasKept() const { return kept_.valid; }
    bool restore(int& current, QString& editState);
    void drop();

private:
    struct FileId {
        quint64 dev = 0, ino = 0;
        qint64 size = -1;
    };
    struct Step {
        State state = State::None;
        quint64 job = 0;
        FileId id;
    };
    struct Job {
        quint64 id = 0;
        QString path;
        engine::Picture picture;
    };
    struct Result {
        quint64 id = 0;
        bool ok = false;
        FileId fileId;
        QString message;
    };
    struct Kept {
        bool valid = false;
        QVector<Step> steps;
        int current = 0;
        QString editState;
    };

    QString folder_;
    QVector<Step> steps_;  // index = step number; [0] unused
    Kept kept_;
    quint64 nextJob_ = 1;
    std::function<void(const QString&)> onLoss_;

    // shared with the writer thread
    std::mutex mutex_;
    std::condition_variable wake_, idle_;
    std::deque<Job> queue_;
    std::vector<Result> done_;
    bool busy_ = false;
    quint64 running_ = 0;  // the job being written (0: none)
    bool stop_ = false;
    std::thread writer_;

    QString keptFolder() const;
    static QString baseName(int step);
    void enqueue(Job job);
    void dropQueued();
    void collect();  // interface thread: applies finished writes, reports losses
    void writerLoop();
    static Result runJob(Job& job);
    static void removeMatching(const QString& folder);
};

}  // namespace upce

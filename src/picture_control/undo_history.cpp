#include "picture_control/undo_history.h"

#include "engine/codecs/codecs.h"
#include "platform/file_replace.h"
#include "platform/private_folder.h"

#include <QDir>
#include <QFile>

#include <algorithm>

#include <cerrno>
#include <string>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace upce {

namespace {

const QString kKeptFolder = QStringLiteral("$$Revert/");

QString reasonText(const platform::WriteResult& r) {
    switch (r.failure) {
    case platform::WriteFailure::NoSpace: return QStringLiteral("(ﾃﾞｨｽｸに空きがありません)");
    case platform::WriteFailure::NotPermitted: return QStringLiteral("(書き込みが許可されていません)");
    case platform::WriteFailure::AlreadyExists: return QStringLiteral("(同じ名前のものを消せません)");
    default: return QString();
    }
}

bool removeFile(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    return ::unlink(name.constData()) == 0 || errno == ENOENT;
}

}  // namespace

UndoHistory::UndoHistory(QObject* parent) : QObject(parent) {
    writer_ = std::thread([this] { writerLoop(); });
}

UndoHistory::~UndoHistory() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        queue_.clear();
        stop_ = true;
    }
    wake_.notify_all();
    writer_.join();
}

void UndoHistory::setFolder(const QString& folder) {
    dropQueued();
    settle();
    steps_.clear();
    kept_ = Kept();
    folder_ = folder;
    if (!folder_.isEmpty() && !folder_.endsWith(QChar('/')))
        folder_ += QChar('/');
}

QString UndoHistory::baseName(int step) {
    return QStringLiteral("$$Undo") + QStringLiteral("%1").arg(step, 3, 10, QChar('0')) + QStringLiteral(".bmp");
}

QString UndoHistory::fileName(int step) const { return folder_ + baseName(step); }

QString UndoHistory::keptFolder() const { return folder_ + kKeptFolder; }

UndoHistory::State UndoHistory::state(int step) const {
    return step >= 1 && step < steps_.size() ? steps_[step].state : State::None;
}

// ---- recording and the writer ------------------------------------------------

void UndoHistory::record(int step, const engine::Picture& pic) {
    if (folder_.isEmpty() || step < 1)
        return;
    Job job;
    // Steps above this one are given up: they are no longer part of the
    // history and are never read again. Their files stay until their numbers
    // are used again (each file is replaced before its new step is written).
    steps_.resize(step + 1);
    job.id = nextJob_++;
    job.path = fileName(step);
    job.picture = pic;  // shares the pixels; the edits that follow copy before they write
    steps_[step] = Step{State::Pending, job.id, FileId()};
    enqueue(std::move(job));
}

void UndoHistory::enqueue(Job job) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        queue_.push_back(std::move(job));
    }
    wake_.notify_one();
}

void UndoHistory::dropQueued() {
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.clear();
}

void UndoHistory::writerLoop() {
    for (;;) {
        Job job;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait(lock, [this] { return stop_ || !queue_.empty(); });
            if (stop_)
                return;
            job = std::move(queue_.front());
            queue_.pop_front();
            busy_ = true;
            running_ = job.id;
        }
        const Result result = runJob(job);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            done_.push_back(result);
            busy_ = false;
            running_ = 0;
        }
        idle_.notify_all();
        // Losses are reported as soon as the interface thread is free again.
        QMetaObject::invokeMethod(this, [this] { collect(); }, Qt::QueuedConnection);
    }
}

// Runs on the writer thread. The file is encoded straight into itself, a
// piece at a time, never whole in memory.
UndoHistory::Result UndoHistory::runJob(Job& job) {
    Result r;
    r.id = job.id;
    engine::Error err = engine::Error::None;
    bool encoded = false;
    // A stale file or anything planted under the name goes first; the new
    // file is then created exclusively, never through a link.
    removeFile(job.path);
    const platform::WriteResult w = platform::createPrivateFileFrom(job.path, [&](const platform::PieceWriter& piece) {
        try {
            encoded = engine::codecs::encodeBmpTo(job.picture, piece, err);
        } catch (const std::bad_alloc&) {
            err = engine::Error::OutOfMemory;
            encoded = false;
        }
        return encoded;
    });
    job.picture = engine::Picture();  // the pixels are no longer needed
    if (w.ok()) {
        struct stat st {};
        const QByteArray name = QFile::encodeName(job.path);
        if (::lstat(name.constData(), &st) == 0 && S_ISREG(st.st_mode)) {
            r.ok = true;
            r.fileId = FileId{quint64(st.st_dev), quint64(st.st_ino), qint64(st.st_size)};
            return r;
        }
    }
    // A write that failed says why; otherwise the picture could not be encoded.
    const QString reason = err == engine::Error::WriteFailed || err == engine::Error::None || w.step == std::string("open")
                               ? reasonText(w)
                               : QStringLiteral("(") + engine::errorText(err) + QStringLiteral(")");
    r.message = job.path + QStringLiteral("\r元に戻すための記録を書き込めません") + reason +
                QStringLiteral("\rこの状態へは戻せません");
    return r;
}

void UndoHistory::collect() {
    std::vector<Result> results;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        results.swap(done_);
    }
    for (const Result& r : results) {
        Step* step = nullptr;
        for (Step& s : steps_)
            if (s.job == r.id)
                step = &s;
        if (!step)
            continue;  // a step given up since
        step->state = r.ok ? State::Written : State::Lost;
        step->id = r.fileId;
        if (!r.ok && onLoss_)
            onLoss_(r.message);
    }
}

void UndoHistory::settle() {
    {
        std::unique_lock<std::mutex> lock(mutex_);
        idle_.wait(lock, [this] { return queue_.empty() && !busy_; });
    }
    collect();
}

void UndoHistory::settleUpTo(int step) {
    const quint64 id = step >= 1 && step < steps_.size() ? steps_[step].job : 0;
    if (id != 0) {
        std::unique_lock<std::mutex> lock(mutex_);
        idle_.wait(lock, [this, id] {
            return running_ != id &&
                   std::none_of(queue_.begin(), queue_.end(), [id](const Job& j) { return j.id == id; });
        });
    }
    collect();
}

// ---- reading ---------------------------------------------------------------

bool UndoHistory::read(int step, engine::Picture& out, QString& message) {
    const QString path = fileName(step);
    message = path + QStringLiteral("\r画像ﾌｧｲﾙを読み込めません");
    if (state(step) != State::Written)
        return false;
    const FileId& id = steps_[step].id;
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    QByteArray bytes;
    struct stat st {};
    // Only the very file this history wrote, unchanged.
    bool same = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && quint64(st.st_dev) == id.dev &&
                quint64(st.st_ino) == id.ino && qint64(st.st_size) == id.size;
    if (same) {
        bytes.resize(id.size);
        qint64 got = 0;
        while (got < id.size) {
            const ssize_t n = ::read(fd, bytes.data() + got, size_t(id.size - got));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            got += n;
        }
        same = got == id.size;
    }
    ::close(fd);
    if (!same)
        return false;
    engine::codecs::Decoded d;
    engine::Error err = engine::Error::None;
    if (!engine::codecs::decode(bytes, d, err) || d.picture.isNull())
        return false;
    out = std::move(d.picture);
    return true;
}

// ---- clearing and the kept history ------------------------------------------

void UndoHistory::removeMatching(const QString& folder) {
    const QDir dir(folder);
    const QStringList names =
        dir.entryList({QStringLiteral("$$*.bmp")}, QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : names)
        removeFile(dir.filePath(name));
}

void UndoHistory::clearCurrent() {
    dropQueued();
    settle();
    steps_.clear();
    if (!folder_.isEmpty())
        removeMatching(folder_);
}

void UndoHistory::clear() {
    clearCurrent();
    drop();
}

void UndoHistory::drop() {
    kept_ = Kept();
    if (folder_.isEmpty())
        return;
    const QByteArray kept = QFile::encodeName(keptFolder());
    struct stat st {};
    if (::lstat(kept.constData(), &st) != 0)
        return;
    if (S_ISDIR(st.st_mode)) {
        removeMatching(keptFolder());
        ::rmdir(kept.constData());
    } else {
        ::unlink(kept.constData());
    }
}

bool UndoHistory::keep(int current, const QString& editState) {
    if (folder_.isEmpty())
        return false;
    settle();
    drop();
    if (platform::preparePrivateFolder(keptFolder()) != platform::FolderCheck::Ok)
        return false;
    Kept kept;
    kept.valid = true;
    kept.steps = steps_;
    kept.current = current;
    kept.editState = editState;
    const QString aside = keptFolder();
    for (int n = 1; n <= top(); ++n) {
        if (kept.steps[n].state != State::Written)
            continue;
        const QString name = baseName(n);
        // A rename keeps the file itself, so it is still known by its identity.
        if (::rename(QFile::encodeName(fileName(n)).constData(), QFile::encodeName(aside + name).constData()) != 0)
            kept.steps[n].state = State::Lost;
    }
    kept_ = kept;
    steps_.clear();
    removeMatching(folder_);  // whatever else matches the pattern goes, as on any load
    return true;
}

bool UndoHistory::restore(int& current, QString& editState) {
    if (!kept_.valid)
        return false;
    settle();
    for (int n = 1; n <= top(); ++n)
        removeFile(fileName(n));
    steps_ = kept_.steps;
    const QString aside = keptFolder();
    for (int n = 1; n <= top(); ++n) {
        if (steps_[n].state != State::Written)
            continue;
        const QString name = baseName(n);
        if (::rename(QFile::encodeName(aside + name).constData(), QFile::encodeName(fileName(n)).constData()) != 0)
            steps_[n].state = State::Lost;
    }
    current = kept_.current;
    editState = kept_.editState;
    drop();
    return true;
}

}  // namespace upce

// The undo history: one bitmap file per state of the picture since it was
// loaded, numbered from 1, in the work folder. Undo and redo move along it;
// a revert keeps the history it replaced until the next edit or load, so that
// undo can take the revert back.
#include "picture_control/upce.h"

#include "engine/image_engine.h"
#include "picture_control/undo_history.h"
#include "picture_control/commands.h"

QString uPcE::undoFileName(int step) const { return history_->fileName(step); }

void uPcE::settleUndo() { history_->settle(); }

bool uPcE::canRedo() const {
    return !sWrkFld_.isEmpty() && iUndo_ >= 1 && iUndo_ < history_->top();
}

bool uPcE::canTakeBackRevert() const {
    return !sWrkFld_.isEmpty() && history_->hasKept() && iUndo_ == 1 && history_->top() == 1;
}

void uPcE::reportHistory() {
    const bool redo = canRedo();
    const bool back = canTakeBackRevert();
    if (redo == lastRedo_ && back == lastRevertBack_)
        return;
    lastRedo_ = redo;
    lastRevertBack_ = back;
    emit eHistory(redo, back);
}

// Claims the next step number; refuses (with a message) once the history is
// full instead of wrapping the counter round.
bool uPcE::nextUndoStep() {
    if (iUndo_ >= kMaxUndo) {
        showMessage(QStringLiteral("編集の記録が上限に達しました\rこの編集は元に戻せません"));
        return false;
    }
    ++iUndo_;
    return true;
}

// Makes the picture now in the engine the next step of the history. Its file
// is written in the background; a step after the first gives up what redo or
// a taken-back revert could still have reached.
void uPcE::recordStep() {
    const engine::Picture* pic = ikImg_->current();
    if (!pic || !nextUndoStep())
        return;
    sImgFile_ = undoFileName(iUndo_);
    if (iUndo_ > 1)
        history_->drop();
    if (undoFiles_)
        history_->record(iUndo_, *pic);
    keepOrigin(iUndo_);
    bRet_ = true;
}

// The common step after every change: show the picture in the view mode, write
// the next undo file, refresh the picture information.
void uPcE::vPutUndo(bool undoLoad) {
    if (!undoLoad && iUndo_ > 0 && ikImg_->ImageHandle() != 0) {
        bRet_ = ikImg_->ApplyDispMode(iDspMode_);
        ikImg_->Refresh();
    }
    if (!sWrkFld_.isEmpty() && !undoLoad)
        recordStep();
    UpdatePicInfo();
    reportHistory();
}

// The step nearest to target, going in direction (-1 back, +1 forward), whose
// file was written: steps that were lost are passed over, and said so. 0 when
// none is left that way.
int uPcE::reachableStep(int target, int direction) {
    using State = upce::UndoHistory::State;
    int step = target;
    while (step >= 1 && step <= history_->top() && history_->state(step) == State::Lost)
        step += direction;
    const bool found = step >= 1 && step <= history_->top();
    if (step != target) {
        QString text = undoFileName(target) + QStringLiteral("\rこの状態の記録は書き込めなかったため失われています");
        if (found)
            text += direction < 0 ? QStringLiteral("\rその前の状態に戻します") : QStringLiteral("\rその次の状態に進みます");
        showMessage(text);
    }
    return found ? step : 0;
}

// Puts the picture of a step into the engine. False (told) when its file
// cannot be read back: the picture stays as it was.
bool uPcE::showStep(int step) {
    engine::Picture pic;
    QString message;
    if (!history_->read(step, pic, message)) {
        showMessage(message);
        return false;
    }
    ikImg_->replaceCurrent(std::move(pic));
    restoreOrigin(step);
    ClrRect();
    bRet_ = ikImg_->ApplyDispMode(iDspMode_);
    ikImg_->Refresh();
    return true;
}

bool uPcE::vUndo() {
    if (sWrkFld_.isEmpty())
        return false;
    // Only the writes up to the step gone back to: the current step's own
    // write may still run (it is not read, and its loss is told when known).
    history_->settleUpTo(iUndo_ - 1);
    if (canTakeBackRevert()) {
        takeBackRevert();
        return true;
    }
    if (iUndo_ <= 1)
        return false;  // nothing to go back to: the picture and the state stay
    const int step = reachableStep(iUndo_ - 1, -1);
    if (step == 0 || !showStep(step))
        return false;  // the step is gone: the picture, the counter and the state stay
    iUndo_ = step;
    if (iUndo_ == 1)
        StEdtMode(QStringLiteral("読込"));
    finishLoad(undoFileName(step), 1, false);
    return true;
}

void uPcE::vRedo() {
    if (sWrkFld_.isEmpty())
        return;
    history_->settle();
    if (!canRedo())
        return;
    const int step = reachableStep(iUndo_ + 1, 1);
    if (step == 0 || !showStep(step))
        return;
    iUndo_ = step;
    StEdtMode(QStringLiteral("編集"));
    finishLoad(undoFileName(step), 1, false);
}

// Undo right after a revert: the history from before the revert comes back,
// and with it the picture it had reached.
void uPcE::takeBackRevert() {
    int step = 0;
    QString state;
    if (!history_->restore(step, state))
        return;
    origins_ = std::move(keptOrigins_);
    keptOrigins_.clear();
    iUndo_ = history_->top();
    const int reachable = reachableStep(step, -1);
    if (reachable != 0 && showStep(reachable)) {
        iUndo_ = reachable;
        StEdtMode(reachable == 1 ? QStringLiteral("読込") : state);
        finishLoad(undoFileName(reachable), 1, false);
        return;
    }
    // The picture from before the revert cannot be read back: the reverted
    // picture stays, as the newest step of the history that came back.
    StEdtMode(QStringLiteral("編集"));
    vPutUndo(false);
}

// Called by every load but an undo step: a new history starts. A revert of
// an edited picture keeps the history it replaces, for undo to take it back.
void uPcE::startHistory() {
    if (bRevert_ && !sWrkFld_.isEmpty() && sEdtMode_ == QStringLiteral("編集")) {
        if (history_->keep(iUndo_, sEdtMode_)) {
            keptOrigins_ = std::move(origins_);
            origins_.clear();
            iUndo_ = 0;
            return;
        }
    }
    if (bRevert_ && canTakeBackRevert()) {
        // Reverting again changes nothing the user did: what undo can take
        // back stays.
        history_->clearCurrent();
        origins_.clear();
        iUndo_ = 0;
        return;
    }
    vClrUndo();
}

void uPcE::vClrUndo() {
    if (sWrkFld_.isEmpty())
        return;
    history_->clear();
    iUndo_ = 0;
    origins_.clear();
    keptOrigins_.clear();
}

void uPcE::SetImgHandle(quint32 nHnd) {
    guarded([&] {
        if (sWrkFld_.isEmpty())
            return;
        const quint32 copy = ikImg_->CopyImage(nHnd);
        if (copy == 0) {
            reportEngineError(*ikImg_);  // the picture stays as it was
            return;
        }
        StEdtMode(commands::states::Edited.toString());
        ikImg_->SetImageHandle(copy);
        bRet_ = ikImg_->ApplyDispMode(iDspMode_);
        recordStep();
        UpdatePicInfo();
        reportHistory();
    });
}

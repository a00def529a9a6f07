// The undo history: one bitmap file per state of the picture since it was
// loaded, numbered from 1, in the work folder.
#include "picture_control/upce.h"

#include "engine/image_engine.h"
#include "picture_control/commands.h"

#include <QDir>
#include <QFile>

QString uPcE::undoFileName(int step) const {
    QString folder = sWrkFld_;
    if (!folder.isEmpty() && !folder.endsWith(QChar('/')))
        folder += QChar('/');
    return folder + QStringLiteral("$$Undo") + QStringLiteral("%1").arg(step, 3, 10, QChar('0')) +
           QStringLiteral(".bmp");
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

// The common step after every change: show the picture in the view mode, write
// the next undo file, refresh the picture information.
void uPcE::vPutUndo(bool undoLoad) {
    if (!undoLoad && iUndo_ > 0 && ikImg_->ImageHandle() != 0) {
        bRet_ = ikImg_->ApplyDispMode(iDspMode_);
        ikImg_->Refresh();
    }
    if (!sWrkFld_.isEmpty() && !undoLoad && nextUndoStep()) {
        sImgFile_ = undoFileName(iUndo_);
        engine::EngineFile& file = ikImg_->File();
        file.FileName = sImgFile_;
        bRet_ = file.SaveFile(0, ikImg_->ImageHandle());
        keepOrigin(iUndo_);
    }
    UpdatePicInfo();
}

bool uPcE::vUndo() {
    if (sWrkFld_.isEmpty() || iUndo_ <= 1)
        return false;  // nothing to go back to: the picture and the state stay
    const int step = iUndo_ - 1;
    const QString path = undoFileName(step);
    if (!loadPixels(path))
        return false;  // the step is gone: the picture, the counter and the state stay
    iUndo_ = step;
    restoreOrigin(step);
    if (iUndo_ == 1)
        StEdtMode(commands::states::Loaded.toString());
    finishLoad(path, 1, false);
    return true;
}

void uPcE::vClrUndo() {
    if (sWrkFld_.isEmpty())
        return;
    QDir dir(sWrkFld_);
    const QStringList names =
        dir.entryList({QStringLiteral("$$*.bmp")}, QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : names)
        QFile::remove(dir.filePath(name));
    iUndo_ = 0;
    origins_.clear();
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
        if (nextUndoStep()) {
            sImgFile_ = undoFileName(iUndo_);
            engine::EngineFile& file = ikImg_->File();
            file.FileName = sImgFile_;
            bRet_ = file.SaveFile(0, 0);
            keepOrigin(iUndo_);
        }
        UpdatePicInfo();
    });
}

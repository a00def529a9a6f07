// Bringing a picture in: the open command, the common load routine and the new
// picture from the clipboard.
#include "picture_control/upce.h"

#include "engine/image_engine.h"
#include "picture_control/undo_history.h"
#include "picture_control/upce_util.h"
#include "platform/prompt.h"
#include "picture_control/commands.h"

#include <QApplication>
#include <QClipboard>
#include <QMimeData>

namespace {

const QString kOpenTitle = QStringLiteral("画像ﾌｧｲﾙを開く");
const QString kOpenFilter =
    QStringLiteral("画像ﾌｧｲﾙ|*.BMP;*.JPG;*.JPEG;*.TIF;*.PCX;*.FPX;*.PNG;*.GIF;*.JP2;*.JPC;*.J2K;"
                   "*.TIFF;*.WEBP;*.AVIF;*.HEIC;*.HEIF;*.JXL|");
// The name the save dialog offers (a dialog choice sets its folder).
const QString kDefaultSaveName = QStringLiteral("Wrk.jpg");
// Every spelling the open dialog offers and the decoders read.
const QString kAccepted = QStringLiteral("BMP;JPG;JPEG;GIF;TIF;TIFF;PCX;FPX;PNG;JP2;JPC;J2K;WEBP;AVIF;HEIC;HEIF;JXL");

}  // namespace

bool uPcE::extensionAccepted(const QString& path) const {
    const QString ext = upce::getExt(path);
    return !ext.isEmpty() && kAccepted.split(QChar(';')).contains(ext);
}

void uPcE::pcOpen(int iJb, QString& sFL, bool bNEVN) {
    guarded([&] {
        // A named file that cannot be opened is refused before asking about
        // unsaved edits: the question would be for nothing.
        if (!sFL.isEmpty() && !extensionAccepted(sFL)) {
            showMessage(sFL + QStringLiteral("\rこの形式の画像は開けません"));
            return;
        }
        const int answer = iJb == 1 ? vCheckSave() : 0;
        if (answer == platform::Cancel) {
            emit eStFile(sFile_);
            return;
        }
        // "No" marked the edits as given up; when no other picture replaces
        // them after all (dialog cancelled, file refused or unreadable), they
        // are still on screen and must stay protected by the save question.
        const auto keepEdits = [&] {
            if (answer == platform::No)
                sEdtMode_ = commands::states::Edited.toString();
        };
        if (sFL.isEmpty()) {
            // The dialog comes back where it was left, its last name chosen.
            sFL = platform::prompt().openFile(kOpenTitle, kOpenFilter,
                                              sOpenPath_.isEmpty() ? dialogFolder() : sOpenPath_);
            if (!sFL.isEmpty()) {
                sOpenPath_ = sFL;
                sDlgFdUsed_ = upce::folderOf(sFL);
                sSavePath_ = sDlgFdUsed_ + kDefaultSaveName;
            }
        }
        if (sFL.isEmpty())
            return keepEdits();
        sFL = upce::lcExt(sFL);
        if (!extensionAccepted(sFL)) {
            showMessage(sFL + QStringLiteral("\rこの形式の画像は開けません"));
            return keepEdits();
        }
        if (!pcLoad(sFL, 0, bNEVN))
            keepEdits();
    });
}

// Decodes path into the view engine. The current picture is replaced only when
// the file could be read (a file cut short gives what it holds, with a word to
// the user); on failure everything stays as it was and the user is told.
bool uPcE::loadPixels(const QString& path) {
    engine::EngineFile& file = ikImg_->File();
    file.Comment.clear();
    file.FileName = path;
    bRet_ = file.LoadFile(0);
    if (!bRet_) {
        showMessage(path + QStringLiteral("\r画像ﾌｧｲﾙを読み込めません"));
        return false;
    }
    ClrRect();
    sCmt_ = file.Comment;
    sCmt_.remove(QChar('\r'));
    bRet_ = ikImg_->ApplyDispMode(iDspMode_);
    ikImg_->Refresh();
    // The part that was read is shown, and the user told why the rest is missing.
    if (file.Partial)
        showMessage(path + QStringLiteral("\r画像ﾌｧｲﾙの一部しか読み込めませんでした"));
    return true;
}

// Modes: 0 open (drop, revert), 1 undo step, 2 after a save (pixels stay),
// -1 new picture from the clipboard. False when the file could not be read.
bool uPcE::pcLoad(const QString& path, int mode, bool bNEVN) {
    // A picture pasted from the clipboard lives in the work folder: its file
    // may still be on its way there.
    if (fileIsInWorkFolder(path))
        history_->settle();
    // An undo step shows the earlier picture where the user was looking: a
    // zoom and its scroll position stay.
    const double zoom = mode == 1 ? ikImg_->Zoom() : 0;
    const QPoint scroll = ikImg_->scrollPosition();
    if (mode != 2 && !loadPixels(path))
        return false;
    if (zoom > 0 && ikImg_->SetZoom(zoom, QPointF()))
        ikImg_->setScrollPosition(scroll);
    finishLoad(path, mode, bNEVN);
    return true;
}

void uPcE::finishLoad(const QString& path, int mode, bool bNEVN) {
    if (mode != 1)
        sFile_ = path;
    sImgFile_ = path;
    if (mode == 0 && !bNEVN)
        emit eStFile(path);
    if (mode != 1) {
        startHistory();
        StEdtMode(commands::states::Loaded.toString());
    }
    vPutUndo(mode == 1);
}

bool uPcE::pcNewClip() {
    bool done = false;
    const bool ok = guarded([&] {
        const QMimeData* mime = QApplication::clipboard()->mimeData();
        if (!mime || !mime->hasImage()) {
            bRet_ = false;
            return;  // nothing on the clipboard
        }
        // The pasted picture replaces the current one: unsaved edits are
        // offered for saving first, as before opening another file. Asked
        // before the paste, since a save that converts the depth works in
        // the scratch instance and would drop a picture already pasted there.
        if (vCheckSave() == platform::Cancel) {
            bRet_ = false;
            return;
        }
        bRet_ = ikImg2_->PasteClipboard();
        if (!bRet_) {
            reportEngineError(*ikImg2_);  // a picture there that cannot be taken (too large)
            return;
        }
        QApplication::clipboard()->clear();
        ikImg2_->ReadImageInfo();
        if (ikImg2_->ImageType() != 1) {
            require(ikImg2_->ConvertBits(24, 0, 0, 0, 0), *ikImg2_);
            engine::EngineEdit& edit = ikImg2_->Edit();
            edit.TrimLeft = 0;
            edit.TrimRight = ikImg2_->ImageWidth() - 2;
            edit.TrimTop = 0;
            edit.TrimBottom = ikImg2_->ImageHeight() - 2;
            bRet_ = edit.Trim();
        }
        if (sWrkFld_.isEmpty()) {
            // Without a work folder the picture has nowhere to live.
            ikImg2_->FreeImage(ikImg2_->ImageHandle());
            showMessage(QStringLiteral("作業ﾌｫﾙﾀﾞがないため､ｸﾘｯﾌﾟﾎﾞｰﾄﾞの画像を開けません"));
            return;
        }
        // The pasted picture becomes the current one directly; its history
        // starts with it as undo file 1, which is also its file name.
        const quint32 pasted = ikImg_->CopyImage(ikImg2_->ImageHandle());
        bRet_ = ikImg2_->FreeImage(ikImg2_->ImageHandle());
        if (pasted == 0) {
            reportEngineError(*ikImg_);
            return;
        }
        ikImg_->SetImageHandle(pasted);
        ClrRect();
        sCmt_.clear();
        bRet_ = ikImg_->ApplyDispMode(iDspMode_);
        ikImg_->Refresh();
        finishLoad(undoFileName(1), -1, false);
        done = true;
    });
    return ok && done;
}

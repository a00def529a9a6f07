// Edits of the picture's geometry: trimming, shrinking to the selection,
// flipping and quarter turns, and closing up a selected band.
#include "picture_control/upce.h"

#include "engine/depth_code.h"
#include "engine/image_engine.h"
#include "picture_control/upce_util.h"
#include "platform/prompt.h"
#include "picture_control/commands.h"

#include <algorithm>

// 80, 16, 24 and 32 count as full colour; palette pictures do not.
bool uPcE::fullColour() const { return engine::DepthCode::fromText(sBit_).fullColour(); }

bool uPcE::TrimToSelection() {
    if (ikImg_->ImageHandle() == 0)
        return false;
    engine::EngineEdit& edit = ikImg_->Edit();
    edit.TrimLeft = ikImg_->SelLeft();
    edit.TrimRight = ikImg_->SelRight();
    edit.TrimTop = ikImg_->SelTop();
    edit.TrimBottom = ikImg_->SelBottom();
    bRet_ = edit.Trim();
    const bool trimmed = edited(bRet_, *ikImg_);
    // Without a selection nothing is cut; the selection is cleared and the
    // step recorded all the same.
    ClrRect();
    vPutUndo(false);
    return trimmed;
}

bool uPcE::ShrinkToSelection(const QString& caption) {
    LoadSelCorners();
    float newW = float(CornerX_[1] - CornerX_[0]);
    float newH = float(CornerY_[2] - CornerY_[1]);
    if (newW == 0 || newH == 0 || ikImg_->ImageHandle() == 0 || PicWidth_ <= 0 || PicHeight_ <= 0) {
        showMessage(QStringLiteral("先に範囲を指定し､そのｻｲｽﾞに合わせて縮小します"));
        return false;
    }
    if (caption == commands::ShrinkByWidth.item)
        newH = float(double(newW) / PicWidth_ * PicHeight_);
    else if (caption == commands::ShrinkByHeight.item)
        newW = float(double(newH) / PicHeight_ * PicWidth_);

    engine::EngineEdit& edit = ikImg_->Edit();
    bool converted = false;
    if (!fullColour()) {
        bRet_ = edited(edit.ConvertDepth(16, 0, true, 128), *ikImg_);
        converted = bRet_;
    }
    bRet_ = edited(edit.Resize(upce::roundEven(newW), upce::roundEven(newH), true), *ikImg_);
    if (!bRet_) {
        // Nothing was shrunk: take back the conversion too, so the picture
        // still equals the newest undo file.
        if (converted)
            ikImg_->UndoLastEdit();
        return false;
    }
    ClrRect();
    vPutUndo(false);
    return true;
}

bool uPcE::RotateFlip(const QString& caption) {
    if (ikImg_->ImageHandle() == 0)
        return false;
    const bool flag = fullColour();
    engine::EngineEdit& edit = ikImg_->Edit();
    edit.EditOption = 1;
    int angle = 0;
    bool mirrorLR = false, mirrorTB = false;
    if (caption == commands::FlipLeftRight.item)
        mirrorLR = true;
    else if (caption == commands::FlipTopBottom.item)
        mirrorTB = true;
    else if (caption == commands::TurnRight.item)
        angle = -9000;
    else if (caption == commands::TurnLeft.item)
        angle = 9000;
    bRet_ = edited(edit.Rotate(angle, mirrorLR, mirrorTB, flag, 255, 255, 255, 0), *ikImg_);
    if (bRet_)
        vPutUndo(false);
    return bRet_;
}

bool uPcE::CloseUpSelection(int direction) {
    if (ikImg_->ImageHandle() == 0)
        return false;
    const double W = PicWidth_, H = PicHeight_;
    const int rw = upce::roundEven(W), rh = upce::roundEven(H);
    // A selection kept through a quarter turn can reach past the picture's
    // edge: only the part of the band inside the picture is removed, so no
    // column or row outside the band is lost.
    const int selL = std::clamp(ikImg_->SelLeft(), 0, rw), selT = std::clamp(ikImg_->SelTop(), 0, rh);
    const int selR = std::clamp(ikImg_->SelRight(), 0, rw), selB = std::clamp(ikImg_->SelBottom(), 0, rh);

    const quint32 copy = ikImg_->CopyImage(ikImg_->ImageHandle());
    require(copy != 0, *ikImg_);
    ikImg2_->SetImageHandle(copy);
    // The scratch copy never outlives the command, also when an edit fails.
    struct ScratchRelease {
        engine::ImageEngine& scratch;
        ~ScratchRelease() { scratch.FreeImage(scratch.ImageHandle()); }
    } release{*ikImg2_};

    int b = 0;
    double px = 0, py = 0;
    if (direction == 0) {
        const int xs[4] = {selR, rw, rw, selR}, ys[4] = {0, 0, rh, rh};
        std::copy(xs, xs + 4, CornerX_);
        std::copy(ys, ys + 4, CornerY_);
        b = selR - selL;
        // Exact positions: on odd sizes the centre lies between two pixels and
        // a rounded position would shift the seam by one.
        px = W / 2 - 1 - selL;
        py = H / 2 - 1;
    } else {
        const int xs[4] = {0, rw, rw, 0}, ys[4] = {selB, selB, rh, rh};
        std::copy(xs, xs + 4, CornerX_);
        std::copy(ys, ys + 4, CornerY_);
        b = selB - selT;
        px = W / 2 - 1;
        py = H / 2 - 1 - selT;
    }
    const QList<int> xs(CornerX_, CornerX_ + 4), ys(CornerY_, CornerY_ + 4);

    engine::EngineEdit& scratch = ikImg2_->Edit();
    scratch.EditOption = 1;
    scratch.RegionMode = 2;
    // Nothing beyond the band (it reaches the picture's edge): nothing to move.
    bRet_ = edited(scratch.RegionTrim(xs, ys, 4, 255, 255, 255), *ikImg2_);

    engine::EngineEdit& edit = ikImg_->Edit();
    if (bRet_)
        bRet_ = edited(edit.PasteImage(ikImg2_->ImageHandle(), px, py), *ikImg_);

    edit.EditOption = 1;
    edit.RegionMode = 2;
    QList<int> keepX, keepY;
    if (direction == 0) {
        const int right = upce::roundEven(W - b - 1);
        keepX = {0, right, right, 0};
        keepY = {0, 0, rh, rh};
    } else {
        const int bottom = upce::roundEven(H - b - 1);
        keepX = {0, rw, rw, 0};
        keepY = {0, 0, bottom, bottom};
    }
    bRet_ = edited(edit.RegionTrim(keepX, keepY, 4, 255, 255, 255), *ikImg_);
    ClrRect();
    vPutUndo(false);
    return true;
}

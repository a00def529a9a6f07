// "強調": one colour channel inverted inside the selection.
#include "picture_control/upce.h"

#include "engine/depth_code.h"
#include "engine/image_engine.h"
#include "picture_control/upce_util.h"

bool uPcE::HighlightSelection() {
    if (ikImg_->ImageHandle() == 0)
        return false;
    // The channel inversion works on direct colour only; 80 does not count here.
    const engine::DepthCode depth = engine::DepthCode::fromText(sBit_);
    const bool direct = depth.directColour();
    StBusy(true);
    const int l = ikImg_->SelLeft(), t = ikImg_->SelTop(), r = ikImg_->SelRight(), b = ikImg_->SelBottom();
    const QList<int> xs = {l, r, r, l}, ys = {t, t, b, b};
    engine::EngineEdit& edit = ikImg_->Edit();
    // A conversion that fails stops the command: the picture keeps its depth.
    if (!direct)
        require(edit.ConvertDepth(16, 0, true, 128), *ikImg_);
    edit.EditOption = 1;
    edit.RegionMode = 2;
    // A selection without area inverts nothing; the step is recorded all the same.
    edited(edit.InvertChannels(xs, ys, 4, false, false, true), *ikImg_);
    if (!direct) {
        if (depth == engine::DepthCode::Greys16) {
            require(edit.ConvertDepth(80, 0, false, 128), *ikImg_);
            require(edit.ConvertDepth(40, 0, true, 128), *ikImg_);
        } else {
            require(edit.ConvertDepth(depth.number(), 0, false, 128), *ikImg_);
        }
    }
    ClrRect();
    vPutUndo(false);
    StBusy(false);
    return true;
}

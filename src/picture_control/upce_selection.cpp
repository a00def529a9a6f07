// The selection rectangle: the engine keeps its edges, the control reads them.
#include "picture_control/upce.h"

#include "engine/image_engine.h"
#include "picture_control/upce_util.h"

void uPcE::LoadSelCorners() {
    const int l = ikImg_->SelLeft(), t = ikImg_->SelTop(), r = ikImg_->SelRight(), b = ikImg_->SelBottom();
    CornerX_[0] = l; CornerX_[1] = r; CornerX_[2] = r; CornerX_[3] = l;
    CornerY_[0] = t; CornerY_[1] = t; CornerY_[2] = b; CornerY_[3] = b;
}

bool uPcE::HasSelection() const {
    return ikImg_->SelBottom() > 0 || ikImg_->SelRight() > 0 || ikImg_->SelTop() > 0 || ikImg_->SelLeft() > 0;
}

void uPcE::SetRect(double gWd, double gHi) {
    float w = float(gWd + 1);
    if (w > ikImg_->ImageWidth())
        w = float(ikImg_->ImageWidth());
    float h = float(gHi + 1);
    if (h > ikImg_->ImageHeight())
        h = float(ikImg_->ImageHeight());
    const int right = upce::roundEven(w), bottom = upce::roundEven(h);
    // A size below zero would turn the rectangle inside out: leave the selection.
    if (w == 0 || h == 0 || right < 1 || bottom < 1)
        return;
    ikImg_->SetSelLeft(1);
    ikImg_->SetSelTop(1);
    ikImg_->SetSelRight(right);
    ikImg_->SetSelBottom(bottom);
    LoadSelCorners();
}

// View modes and the picture information the host shows.
#include "picture_control/upce.h"

#include "engine/depth_code.h"
#include "engine/image_engine.h"
#include "picture_control/commands.h"
#include "picture_control/upce_util.h"

#include <cmath>

void uPcE::SetViewMode(const QString& caption) {
    for (int i = 0; i < 5; ++i)
        if (caption == commands::ViewModes[i].item)
            iDspMode_ = i + 1;
    // An unknown caption keeps the current mode.
    bRet_ = ikImg_->ApplyDispMode(iDspMode_);
}

bool uPcE::ZoomStep(int direction) {
    if (ikImg_->ImageHandle() == 0)
        return false;
    return ikImg_->ZoomStep(direction);
}

bool uPcE::ZoomReset() {
    if (ikImg_->ImageHandle() == 0 || ikImg_->Zoom() == 0)
        return false;
    return ikImg_->ApplyDispMode(ikImg_->DispMode());
}

void uPcE::UpdatePicInfo() {
    if (ikImg_->ImageHandle() == 0)
        return;
    ikImg_->ReadImageInfo();
    const int bits = qint16(ikImg_->BitCount());
    PicWidth_ = ikImg_->ImageWidth();
    PicHeight_ = ikImg_->ImageHeight();
    const QString info = QStringLiteral("ｲﾒｰｼﾞｻｲｽﾞ:") + upce::groupDigits(double(ikImg_->ImageSize())) +
                         QStringLiteral("  色数:") + upce::groupDigits(std::pow(2.0, bits)) +
                         QStringLiteral(" (") + QString::number(bits) + QStringLiteral("bit)");
    const engine::DepthCode depth = engine::DepthCode::of(bits, ikImg_->IsGray());
    sBit_ = depth.valid() ? depth.text() : QString::number(bits) + QChar('.');
    emit eStPcTyp(sFile_, sBit_, info);
}

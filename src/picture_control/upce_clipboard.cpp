// Copying to the clipboard and opening the engine's drawing toolbar.
#include "picture_control/upce.h"

#include "engine/draw_tool.h"
#include "engine/image_engine.h"
#include "picture_control/upce_util.h"
#include "platform/program_state.h"

#include <algorithm>

bool uPcE::CopyPicture() {
    if (ikImg_->ImageHandle() == 0)
        return false;
    // The selection covers SelLeft..SelRight-1 and SelTop..SelBottom-1, and the
    // cut keeps its polygon's right and bottom coordinates: the corners are the
    // last selected column and row, so the clipboard gets the selection exactly.
    // A selection without area copies the whole picture, like no selection.
    const bool cut = HasSelection() && ikImg_->SelRight() > ikImg_->SelLeft() &&
                     ikImg_->SelBottom() > ikImg_->SelTop();
    if (cut) {
        LoadSelCorners();
        const int l = CornerX_[0], r = CornerX_[1] - 1, t = CornerY_[0], b = CornerY_[2] - 1;
        engine::EngineEdit& edit = ikImg_->Edit();
        edit.EditOption = 1;
        edit.RegionMode = 2;
        bRet_ = edited(edit.RegionTrim({l, r, r, l}, {t, t, b, b}, 4, 255, 255, 255), *ikImg_);
        if (!bRet_)
            return false;
    }
    const bool copied = edited(ikImg_->ClipboardCopy(), *ikImg_);
    // Only a cut made here is taken back: with no cut, the engine's last edit is
    // the user's own and must stay.
    if (cut)
        ikImg_->UndoLastEdit();
    return copied;
}

namespace {
int toInt16(double v) { return std::clamp(upce::roundEven(v), -32768, 32767); }
}  // namespace

bool uPcE::ShowDrawToolbar() {
    ikImg_->ReadImageInfo();
    if (ikImg_->ImageType() == 0 || ikImg_->ImageHandle() == 0)
        return false;
    const HostGeometry g = hostGeometry_ ? hostGeometry_() : HostGeometry();
    engine::DrawTool& tool = ikImg_->drawTool();
    tool.OptionA = true;
    tool.Top = toInt16(g.twipsPerPixelY > 0 ? g.topTwips / g.twipsPerPixelY : 0);
    tool.Left = toInt16((g.twipsPerPixelX > 0 ? g.leftTwips / g.twipsPerPixelX : 0) - 68);
    tool.OptionB = true;
    tool.Caption = QStringLiteral("ToolBar");
    tool.SettingA = 50;
    tool.SettingB = 0;
    tool.BackColor = QColor(255, 255, 255);
    tool.PenColor = QColor(255, 0, 0);
    tool.StampFile = Usr::sApFd + QStringLiteral("Stamp.bmp");
    tool.Show(1);
    return true;
}

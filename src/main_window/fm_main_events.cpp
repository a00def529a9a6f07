// The window's answers to the picture editor control's events.
#include "main_window/fm_main.h"

#include "engine/depth_code.h"
#include "main_window/info_panel.h"
#include "menus/sp_pic.h"
#include "picture_control/upce.h"
#include "platform/program_state.h"
#include "picture_control/commands.h"

#include <QRadioButton>
#include <QToolButton>

namespace {

// The colour-depth option for a depth code text, in the order of the
// options; any other text, "1." among them, selects black and white.
int optionForDepth(const QString& sBt) {
    using D = engine::DepthCode;
    static const D codes[8] = {D::None, D::Colours16, D::Greys16, D::Colours256, D::Greys256,
                               D::Bits16, D::Bits24, D::Bits32};
    const D depth = D::fromText(sBt);
    for (int i = 1; i < 8; ++i)
        if (depth == codes[i])
            return i;
    return 0;
}

}  // namespace

void fmMain::onStFile(const QString& sFL) {
    requestPreview();
    if (!sFL.isEmpty() && sFL == uPcE_->prFile())
        showDrawToolbarIfWanted();
}

void fmMain::onStPcTyp(const QString& sFL, const QString& sBt, const QString& sTy) {
    setWindowTitle(sFL);
    ssImg_->setCaption(QStringLiteral(" ") + sTy);
    updateStatus();
    noteRecentFile(sFL);
    Usr::bLoading = true;
    const int i = optionForDepth(sBt);
    // Selecting the option runs its handler once: through the toggle when the
    // selection changes, directly when it was selected already.
    if (opColor_[i]->isChecked())
        opColorClick(i);
    else
        opColor_[i]->setChecked(true);
    Usr::bLoading = false;
    // An edit (a turn, a trim, an undo, a stroke) reports the new picture
    // without a file change. The preview must follow it: "確定 ↑" hands the
    // preview back, and a stale one would silently undo the edit. A load's
    // report finds the preview already built from its picture.
    if (!previewIsCurrent())
        requestPreview();
}

void fmMain::onEdtMode(const QString& sMd) {
    if (sMd == sEdtMd_)
        return;
    sEdtMd_ = sMd;
    spPic_->setPrEdtMode(sMd);
    const bool edited = sMd == commands::states::Edited.toString();
    imBtn_[1]->setEnabled(edited);
    imBtn_[5]->setEnabled(edited || bRevertBack_);
}

// Beyond the edit state: redo, and undo right after a revert.
void fmMain::onHistory(bool bRedo, bool bRevertBack) {
    bRevertBack_ = bRevertBack;
    spPic_->setPrHistory(bRedo, bRevertBack);
    imBtn_[5]->setEnabled(sEdtMd_ == QStringLiteral("編集") || bRevertBack);
}

void fmMain::onPopUp() {
    spPic_->Act(3);
    DoCom();
}

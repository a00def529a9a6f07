// The window's answers to the picture editor control's four events.
#include "main_window/fm_main.h"

#include "main_window/info_panel.h"
#include "menus/sp_pic.h"
#include "picture_control/upce.h"
#include "startup/usr.h"

#include <QRadioButton>
#include <QToolButton>

namespace {

// The colour-depth option for a depth code text; any other text, "1." among
// them, selects black and white.
int optionForDepth(const QString& sBt) {
    static const char* codes[8] = {"2.", "4.", "40.", "8.", "80.", "16.", "24.", "32."};
    for (int i = 0; i < 8; ++i)
        if (sBt == QLatin1String(codes[i]))
            return i;
    return 0;
}

}  // namespace

void fmMain::onStFile(const QString&) {
    requestPreview();
}

void fmMain::onStPcTyp(const QString& sFL, const QString& sBt, const QString& sTy) {
    setWindowTitle(sFL);
    ssImg_->setCaption(QStringLiteral(" ") + sTy);
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
    if (controlPictureKey() != pvSource_)
        requestPreview();
}

void fmMain::onEdtMode(const QString& sMd) {
    if (sMd == sEdtMd_)
        return;
    sEdtMd_ = sMd;
    spPic_->setPrEdtMode(sMd);
    const bool edited = sMd == QStringLiteral("編集");
    imBtn_[1]->setEnabled(edited);
    imBtn_[5]->setEnabled(edited);
}

void fmMain::onPopUp() {
    spPic_->Act(3);
    DoCom();
}

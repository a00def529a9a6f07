// "強調": one colour channel inverted inside the selection.
#include "picture_control/upce.h"

#include "engine/image_engine.h"
#include "picture_control/upce_util.h"

void uPcE::HighlightSelection() {
    if (ikImg_->ImageHandle() == 0)
        return;
    // The channel inversion works on direct colour only; 80 does not count here.
    const bool direct = upce::codeInList(sBit_, QStringLiteral("16.24.32."));
    StBusy(true);
    const int l = ikImg_->SelLeft(), t = ikImg_->SelTop(), r = ikImg_->SelRight(), b = ikImg_->SelBottom();
    const QList<int> xs = {l, r, r, l}, ys = {t, t, b, b};
    engine::EngineEdit& edit = ikImg_->Edit();
    if (!direct)
        edit.ConvertDepth(16, 0, true, 128);
    edit.EditOption = 1;
    edit.RegionMode = 2;
    edit.InvertChannels(xs, ys, 4, false, false, true);
    if (!direct) {
        if (sBit_ == QStringLiteral("40.")) {
            if (edit.ConvertDepth(80, 0, false, 128))
                edit.ConvertDepth(40, 0, true, 128);
        } else {
            edit.ConvertDepth(sBit_.section(QChar('.'), 0, 0).toInt(), 0, false, 128);
        }
    }
    ClrRect();
    vPutUndo(false);
    StBusy(false);
}

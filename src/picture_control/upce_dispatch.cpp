// The command entry point: every command of every source arrives here as a
// group caption and an item caption, compared exactly.
#include "picture_control/upce.h"

#include "engine/draw_tool.h"
#include "engine/image_engine.h"

namespace {

const QString kSaveItems = QStringLiteral("上書き保存.名前を付けて保存");
const QString kEditGroups = QStringLiteral("綴じ込み.色数.補正･効果.色反転.彩度.明度.回転.ﾘｻｲｽﾞ");

}  // namespace

void uPcE::pcAct(const QString& sGp, const QString& sJb) {
    ikImg_->drawTool().CloseDrawTool();

    bool saveWritten = false;
    bool ok = false;
    guarded([&] { ok = runCommand(sGp, sJb, saveWritten); });
    if (!ok)
        return;  // a failed command keeps the state it left

    if (kSaveItems.contains(sJb)) {
        // "読込" means "as on disk": only a save that wrote the file earns it.
        if (saveWritten)
            StEdtMode(QStringLiteral("読込"));
    } else if (kEditGroups.contains(sGp) || sJb == QStringLiteral("ﾄﾘﾐﾝｸﾞ") ||
               (sGp == QStringLiteral("画像編集") && sJb == QStringLiteral("強調"))) {
        // Highlighting changes the pixels like any other edit: left at "読込",
        // the save button stayed off and closing dropped the change unasked.
        // Without a picture there is nothing edited, and nothing to save.
        if (ikImg_->ImageHandle() != 0)
            StEdtMode(QStringLiteral("編集"));
    }
}

// Runs the command of the pair; false when the command ran into an error.
bool uPcE::runCommand(const QString& sGp, const QString& sJb, bool& saveWritten) {
    if (sGp == QStringLiteral("ﾌｧｲﾙ")) {
        if (sJb == QStringLiteral("ﾌｧｲﾙを開く")) {
            QString none;
            pcOpen(1, none, false);
        } else if (sJb == QStringLiteral("上書き保存")) {
            saveWritten = pcSave(0);
        } else if (sJb == QStringLiteral("名前を付けて保存")) {
            saveWritten = pcSave(1);
        }
    } else if (sGp == QStringLiteral("表示")) {
        SetViewMode(sJb);
    } else if (sGp == QStringLiteral("ﾘｻｲｽﾞ")) {
        ShrinkToSelection(sJb);
    } else if (sGp == QStringLiteral("画像編集")) {
        if (sJb == QStringLiteral("読込時に戻す")) {
            QString path = sFile_;
            bRevert_ = true;
            pcOpen(0, path, false);
            bRevert_ = false;
        } else if (sJb == QStringLiteral("編集を一つ戻す")) {
            vUndo();
        } else if (sJb == QStringLiteral("やり直し")) {
            vRedo();
        } else if (sJb == QStringLiteral("ｸﾘｯﾌﾟﾎﾞｰﾄﾞにｺﾋﾟｰ")) {
            CopyPicture();
        } else if (sJb == QStringLiteral("ｸﾘｯﾌﾟﾎﾞｰﾄﾞから新規")) {
            pcNewClip();
        } else if (sJb == QStringLiteral("ﾄﾘﾐﾝｸﾞ")) {
            TrimToSelection();
        } else if (sJb == QStringLiteral("強調")) {
            HighlightSelection();
        } else if (sJb == QStringLiteral("ﾂｰﾙﾊﾞｰを表示")) {
            ShowDrawToolbar();
        } else if (sJb == QStringLiteral("ｻｲｽﾞ変更...")) {
            ResizeDialog();
        } else if (sJb == QStringLiteral("角度を指定して回転...")) {
            TurnDialog();
        }
    } else if (sGp == QStringLiteral("綴じ込み")) {
        CloseUpSelection(sJb == QStringLiteral("横方向") ? 0 : 1);
    } else if (sGp == QStringLiteral("回転")) {
        RotateFlip(sJb);
    } else if (sGp == QStringLiteral("更新")) {
        if (sJb == QStringLiteral("確認後更新"))
            iEdtUpd_ = 0;
        else if (sJb == QStringLiteral("確認なし"))
            iEdtUpd_ = 1;
        else if (sJb == QStringLiteral("自動更新"))
            iEdtUpd_ = 2;
    } else if (sGp == QStringLiteral("編集状態")) {
        StEdtMode(sJb);
    } else if (sGp == QStringLiteral("範囲")) {
        ClrRect();
    } else if (sGp == QStringLiteral("ｻｲｽﾞ変更")) {
        ResizeByText(sJb);  // "640,480", "50%": the size as text
    } else if (sGp == QStringLiteral("角度回転")) {
        TurnByText(sJb);    // "30", "-12.5,#000000": degrees clockwise, background
    }
    return true;
}

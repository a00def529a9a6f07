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
    Outcome outcome = Outcome::NothingToDo;
    failed_ = false;
    guarded([&] { outcome = runCommand(sGp, sJb, saveWritten); });
    lastOutcome_ = failed_ ? Outcome::Failed : outcome;
    if (lastOutcome_ == Outcome::Failed)
        return;  // everything is as it was before the command

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

namespace {
uPcE::Outcome outcomeOf(bool didSomething) { return didSomething ? uPcE::Outcome::Done : uPcE::Outcome::NothingToDo; }
}  // namespace

// Runs the command of the pair. A real failure does not return: it travels
// as an exception to guarded(), which reports it and puts things back.
uPcE::Outcome uPcE::runCommand(const QString& sGp, const QString& sJb, bool& saveWritten) {
    if (sGp == QStringLiteral("ﾌｧｲﾙ")) {
        if (sJb == QStringLiteral("ﾌｧｲﾙを開く")) {
            QString none;
            pcOpen(1, none, false);
        } else if (sJb == QStringLiteral("上書き保存")) {
            saveWritten = pcSave(0);
            return outcomeOf(saveWritten);
        } else if (sJb == QStringLiteral("名前を付けて保存")) {
            saveWritten = pcSave(1);
            return outcomeOf(saveWritten);
        }
    } else if (sGp == QStringLiteral("表示")) {
        SetViewMode(sJb);
    } else if (sGp == QStringLiteral("ﾘｻｲｽﾞ")) {
        return outcomeOf(ShrinkToSelection(sJb));
    } else if (sGp == QStringLiteral("画像編集")) {
        if (sJb == QStringLiteral("読込時に戻す")) {
            QString path = sFile_;
            pcOpen(0, path, false);
        } else if (sJb == QStringLiteral("編集を一つ戻す")) {
            return outcomeOf(vUndo());
        } else if (sJb == QStringLiteral("ｸﾘｯﾌﾟﾎﾞｰﾄﾞにｺﾋﾟｰ")) {
            return outcomeOf(CopyPicture());
        } else if (sJb == QStringLiteral("ｸﾘｯﾌﾟﾎﾞｰﾄﾞから新規")) {
            return outcomeOf(pcNewClip());
        } else if (sJb == QStringLiteral("ﾄﾘﾐﾝｸﾞ")) {
            return outcomeOf(TrimToSelection());
        } else if (sJb == QStringLiteral("強調")) {
            return outcomeOf(HighlightSelection());
        } else if (sJb == QStringLiteral("ﾂｰﾙﾊﾞｰを表示")) {
            return outcomeOf(ShowDrawToolbar());
        }
    } else if (sGp == QStringLiteral("綴じ込み")) {
        return outcomeOf(CloseUpSelection(sJb == QStringLiteral("横方向") ? 0 : 1));
    } else if (sGp == QStringLiteral("回転")) {
        return outcomeOf(RotateFlip(sJb));
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
    }
    return Outcome::Done;
}

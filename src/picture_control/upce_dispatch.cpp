// The command entry point: every command of every source arrives here as a
// group caption and an item caption, compared exactly.
#include "picture_control/upce.h"

#include "engine/draw_tool.h"
#include "engine/image_engine.h"
#include "picture_control/commands.h"

using namespace commands;

namespace {

// Item captions found anywhere inside this text end as a save; group captions
// found inside the second text mark the picture as edited (both searched as
// plain substrings). The second list also names groups of depth and colour
// commands that this control does not run itself.
const QString kSaveItems = Save.itemText() + QChar('.') + SaveAs.itemText();
const QString kEditGroups = groups::CloseUp.toString() + QStringLiteral(".色数.補正･効果.色反転.彩度.明度.") +
                            groups::Rotate.toString() + QChar('.') + groups::Shrink.toString();

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
            StEdtMode(states::Loaded.toString());
    } else if (kEditGroups.contains(sGp) || sJb == Trim.item || Highlight.is(sGp, sJb)) {
        // Highlighting changes the pixels like any other edit: left at "読込",
        // the save button stayed off and closing dropped the change unasked.
        // Without a picture there is nothing edited, and nothing to save.
        if (ikImg_->ImageHandle() != 0)
            StEdtMode(states::Edited.toString());
    }
}

namespace {
uPcE::Outcome outcomeOf(bool didSomething) { return didSomething ? uPcE::Outcome::Done : uPcE::Outcome::NothingToDo; }
}  // namespace

// Runs the command of the pair. A real failure does not return: it travels
// as an exception to guarded(), which reports it and puts things back.
uPcE::Outcome uPcE::runCommand(const QString& sGp, const QString& sJb, bool& saveWritten) {
    if (sGp == groups::File) {
        if (sJb == Open.item) {
            QString none;
            pcOpen(1, none, false);
        } else if (sJb == Save.item) {
            saveWritten = pcSave(0);
            return outcomeOf(saveWritten);
        } else if (sJb == SaveAs.item) {
            saveWritten = pcSave(1);
            return outcomeOf(saveWritten);
        }
    } else if (sGp == groups::View) {
        SetViewMode(sJb);
    } else if (sGp == groups::Shrink) {
        return outcomeOf(ShrinkToSelection(sJb));
    } else if (sGp == groups::Edit) {
        if (sJb == Revert.item) {
            QString path = sFile_;
            bRevert_ = true;
            pcOpen(0, path, false);
            bRevert_ = false;
        } else if (sJb == Undo.item) {
            return outcomeOf(vUndo());
        } else if (sJb == Redo.item) {
            vRedo();
        } else if (sJb == CopyToClipboard.item) {
            return outcomeOf(CopyPicture());
        } else if (sJb == NewFromClipboard.item) {
            return outcomeOf(pcNewClip());
        } else if (sJb == Trim.item) {
            return outcomeOf(TrimToSelection());
        } else if (sJb == Highlight.item) {
            return outcomeOf(HighlightSelection());
        } else if (sJb == ShowToolbar.item) {
            return outcomeOf(ShowDrawToolbar());
        } else if (sJb == ResizeDialogItem.item) {
            ResizeDialog();
        } else if (sJb == TurnDialogItem.item) {
            TurnDialog();
        }
    } else if (sGp == groups::CloseUp) {
        return outcomeOf(CloseUpSelection(sJb == CloseUpAcross.item ? 0 : 1));
    } else if (sGp == groups::Rotate) {
        return outcomeOf(RotateFlip(sJb));
    } else if (sGp == groups::Update) {
        if (sJb == AskBeforeUpdate.item)
            iEdtUpd_ = 0;
        else if (sJb == UpdateWithoutAsking.item)
            iEdtUpd_ = 1;
        else if (sJb == UpdateAutomatically.item)
            iEdtUpd_ = 2;
    } else if (sGp == groups::EditState) {
        StEdtMode(sJb);
    } else if (sGp == groups::Selection) {
        ClrRect();
    } else if (sGp == groups::ResizeBy) {
        ResizeByText(sJb);  // "640,480", "50%": the size as text
        return outcomeOf(bRet_);
    } else if (sGp == groups::TurnBy) {
        TurnByText(sJb);    // "30", "-12.5,#000000": degrees clockwise, background
        return outcomeOf(bRet_);
    }
    return Outcome::Done;
}

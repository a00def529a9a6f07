#include "picture_control/commands.h"

namespace commands {

const QList<Command>& all() {
    static const QList<Command> table = {
        Open, Save, SaveAs, Exit,
        ViewScale, ViewStretch, ViewActual, ViewFitWidth, ViewFitHeight,
        ShrinkByWidth, ShrinkByHeight, ShrinkFree,
        Revert, Undo, CopyToClipboard, NewFromClipboard, Trim, Highlight, ShowToolbar, Redo, ResizeDialogItem,
        TurnDialogItem,
        CloseUpAcross, CloseUpDown,
        FlipLeftRight, FlipTopBottom, TurnRight, TurnLeft,
        AskBeforeUpdate, UpdateWithoutAsking, UpdateAutomatically,
        ClearSelection,
    };
    return table;
}

const Command* find(QStringView group, QStringView item) {
    for (const Command& c : all())
        if (c.is(group, item))
            return &c;
    return nullptr;
}

}  // namespace commands

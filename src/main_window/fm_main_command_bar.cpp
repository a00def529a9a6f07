// The command bar: the menu labels, the six buttons, the scale box, the
// information panel, and the Ctrl keys of the window.
#include "main_window/fm_main.h"

#include "main_window/info_panel.h"
#include "main_window/twips.h"
#include "menus/sp_pic.h"
#include "picture_control/commands.h"
#include "picture_control/upce.h"
#include "settings/yini.h"
#include "platform/program_state.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QFrame>
#include <QIcon>
#include <QToolButton>

using namespace mainwin;

namespace {

struct ButtonCommand {
    const char* icon;
    const char* tooltip;
    commands::Command command;
};

// The six buttons in index order. The trim button's tooltip names Ctrl+X, but
// trimming is Ctrl+T (Ctrl+X is left to the focused widget).
const ButtonCommand kButtons[6] = {
    {":/icons/open.xpm", "Ctrl+O ﾌｧｲﾙを指定して開きます", commands::Open},
    {":/icons/save.xpm", "Ctrl+S 現在の画像を上書き保存します", commands::Save},
    {":/icons/paste_new.xpm", "Ctrl+V ｸﾘｯﾌﾟﾎﾞｰﾄﾞから新規画像に貼り付けます", commands::NewFromClipboard},
    {":/icons/copy.xpm", "Ctrl+C 現在の画像をｸﾘｯﾌﾟﾎﾞｰﾄﾞに貼り付けます", commands::CopyToClipboard},
    {":/icons/trim.xpm", "Ctrl+X 画像のﾄﾘﾐﾝｸﾞ", commands::Trim},
    {":/icons/undo.xpm", "Ctrl+Z 編集を一つ手前の状態にします", commands::Undo},
};

// Design widths of the labels (twips).
constexpr int kLabelWidth[5] = {0, 675, 615, 615, 645};

void place(QWidget* w, double left, double top, double width, double height) {
    w->setGeometry(toPx(left), toPx(top), std::max(1, toPx(width)), std::max(1, toPx(height)));
}

}  // namespace

void fmMain::buildCommandBar(QWidget* bar) {
    const char* captions[5] = {nullptr, "ﾌｧｲﾙ(&F)", "編集(&E)", "設定(&U)", "ﾍﾙﾌﾟ(&H)"};
    for (int i = 1; i <= 4; ++i) {
        lbCom_[i] = new CommandLabel(QString::fromUtf8(captions[i]), bar);
        lbCom_[i]->resize(toPx(kLabelWidth[i]), toPx(330));
        connect(lbCom_[i], &CommandLabel::clicked, this, [this, i] { lbComClick(i); });
        connect(lbCom_[i], &CommandLabel::keyActivated, this, [this, i] { lbComKey(i); });
    }
    ssPnl_ = new QFrame(bar);
    ssPnl_->setFrameStyle(QFrame::VLine | QFrame::Sunken);
    for (int i = 0; i < 6; ++i) {
        auto* b = new QToolButton(bar);
        b->setIcon(QIcon(QString::fromLatin1(kButtons[i].icon)));
        b->setIconSize(QSize(16, 16));
        b->setAutoRaise(true);
        b->setToolTip(QString::fromUtf8(kButtons[i].tooltip));
        b->setFocusPolicy(Qt::NoFocus);
        b->resize(toPx(240), toPx(240));
        connect(b, &QToolButton::clicked, this, [this, i] { BtnAct(i); });
        imBtn_[i] = b;
    }
    chScl_[0] = new QCheckBox(QStringLiteral("ｽｹｰﾙ表示"), bar);
    chScl_[0]->resize(toPx(1140), toPx(330));
    chScl_[0]->setFocusPolicy(Qt::NoFocus);
    connect(chScl_[0], &QCheckBox::toggled, this, [this] { chScl0Click(); });
    ssImg_ = new InfoPanel(bar);
    ssImg_->resize(toPx(1000), toPx(270));
}

void fmMain::SetMnu() {
    // Everything in twips, from the design sizes of the controls.
    double x = 50;
    for (int i = 1; i <= 4; ++i) {
        place(lbCom_[i], x, 80, kLabelWidth[i], 330);
        x += kLabelWidth[i] + 100;
    }
    x += 80;
    place(ssPnl_, x, 8, 3, 330);
    // The 3-twip separator line still needs two pixels to be seen.
    ssPnl_->resize(std::max(2, ssPnl_->width()), ssPnl_->height());
    x += 100;
    for (int i = 0; i < 6; ++i) {
        place(imBtn_[i], x, 50, 240, 330);
        x += 240 + 100;
    }
    place(chScl_[0], x, 20, 1140, 330);
    x += 1140 + 100;
    place(ssImg_, x, 8, toTwips(width()) - x, 270);
}

void fmMain::act(const QString& group, const QString& command) {
    if (commandObserver)
        commandObserver(group, command);
    uPcE_->pcAct(group, command);
    updateStatus();  // a command may have cleared the selection without a picture report
}

void fmMain::lbComClick(int i) {
    if (i == 4) {
        Usr::oIni().W_HelpFile(QStringLiteral("tolvane.htm"));
        return;
    }
    if (i < 1 || i > 3)
        return;
    spPic_->Act(i + 1);
    DoCom();
}

void fmMain::lbComKey(int i) {
    if (i < 1 || i > 3) {
        lbComClick(i);
        return;
    }
    spPic_->Act(i + 1, lbCom_[i]->mapToGlobal(QPoint(0, lbCom_[i]->height())));
    DoCom();
}

void fmMain::DoCom() {
    // Items of the window's own: the settings dialog, a recent file.
    if (spPic_->sWndCom == QStringLiteral("環境設定")) {
        optionsDialog();
        return;
    }
    if (spPic_->sWndCom == QStringLiteral("最近使ったﾌｧｲﾙ")) {
        openRecentFile(spPic_->sWndArg);
        return;
    }
    const QString group = spPic_->sGrp;
    const QString caption = spPic_->sCap;
    if (group.isEmpty() || caption.isEmpty())
        return;
    if (commands::Exit.is(group, caption)) {
        if (uPcE_->vCheckSave() == 2)
            return;
        FmEnd();
        return;
    }
    act(group, caption);
    // The caption found anywhere inside the text of these three (a plain
    // substring search), or any command of the edit group.
    static const QString kRebuildPreview = commands::Revert.itemText() + QChar('.') + commands::Undo.itemText() +
                                           QChar('.') + commands::NewFromClipboard.itemText();
    if (kRebuildPreview.contains(caption) || group == commands::groups::Edit)
        requestPreview();
}

void fmMain::BtnAct(int i) {
    if (i < 0 || i > 5 || !imBtn_[i]->isEnabled())
        return;
    const QString group = kButtons[i].command.groupText();
    const QString caption = kButtons[i].command.itemText();
    imBtn_[i]->setEnabled(false);
    act(group, caption);
    QCoreApplication::processEvents();
    imBtn_[i]->setEnabled(true);
}

void fmMain::keyDown(int key, Qt::KeyboardModifiers shift) {
    // Redo: Ctrl+Y and Ctrl+Shift+Z, only while there is something to redo.
    const Qt::KeyboardModifiers mods = shift & ~Qt::KeypadModifier;
    if ((key == Qt::Key_Y && mods == Qt::ControlModifier) ||
        (key == Qt::Key_Z && mods == (Qt::ControlModifier | Qt::ShiftModifier))) {
        if (uPcE_->canRedo())
            act(QStringLiteral("画像編集"), QStringLiteral("やり直し"));
        return;
    }
    if (zoomKey(key, shift) || browseKey(key, shift))
        return;
    if ((shift & ~Qt::KeypadModifier) != Qt::ControlModifier)
        return;
    switch (key) {
    case Qt::Key_O: BtnAct(0); break;
    case Qt::Key_S: BtnAct(1); break;
    case Qt::Key_V: BtnAct(2); break;
    case Qt::Key_C: BtnAct(3); break;
    case Qt::Key_T: BtnAct(4); break;
    case Qt::Key_Z: BtnAct(5); break;
    case Qt::Key_R: act(commands::TurnRight.groupText(), commands::TurnRight.itemText()); break;
    case Qt::Key_L: act(commands::TurnLeft.groupText(), commands::TurnLeft.itemText()); break;
    default: break;
    }
}

void fmMain::chScl0Click() {
    const commands::Command& mode = chScl_[0]->isChecked() ? commands::ViewScale : commands::ViewActual;
    act(mode.groupText(), mode.itemText());
}

bool fmMain::zoomKey(int key, Qt::KeyboardModifiers shift) {
    const Qt::KeyboardModifiers mods = shift & ~Qt::KeypadModifier;
    // "+" needs Shift on most keyboards, so Ctrl+Shift counts for it; Alt never.
    const bool ctrl = mods == Qt::ControlModifier;
    const bool ctrlShift = mods == (Qt::ControlModifier | Qt::ShiftModifier);
    switch (key) {
    case Qt::Key_Plus:
        if (!ctrl && !ctrlShift)
            return false;
        uPcE_->ZoomStep(1);
        return true;
    case Qt::Key_Equal:
    case Qt::Key_Semicolon:  // Ctrl+; is Ctrl++ without Shift on Japanese keyboards
        if (!ctrl)
            return false;
        uPcE_->ZoomStep(1);
        return true;
    case Qt::Key_Minus:
        if (!ctrl)
            return false;
        uPcE_->ZoomStep(-1);
        return true;
    case Qt::Key_0:
        if (!ctrl)
            return false;
        uPcE_->ZoomReset();
        return true;
    default: return false;
    }
}

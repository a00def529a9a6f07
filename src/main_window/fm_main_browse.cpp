// Going to another picture without the open dialog: stepping through the
// current picture's folder with PageDown, PageUp, Home and End, and the recent
// files of the file menu.
#include "main_window/fm_main.h"

#include "main_window/folder_steps.h"
#include "menus/sp_pic.h"
#include "picture_control/upce.h"
#include "platform/prompt.h"

#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QFileInfo>
#include <QLineEdit>

using namespace mainwin;

bool fmMain::browseKey(int key, Qt::KeyboardModifiers shift) {
    if ((shift & ~Qt::KeypadModifier) != Qt::NoModifier)
        return false;
    FolderStep step = FolderStep::Next;
    switch (key) {
    case Qt::Key_PageDown: step = FolderStep::Next; break;
    case Qt::Key_PageUp: step = FolderStep::Previous; break;
    case Qt::Key_Home: step = FolderStep::First; break;
    case Qt::Key_End: step = FolderStep::Last; break;
    default: return false;
    }
    // The threshold text and slider use these keys themselves: the widget
    // that gets the key after this preview (the window's focus child while
    // the window is not active).
    const QWidget* focus = QApplication::focusWidget() ? QApplication::focusWidget() : focusWidget();
    if (qobject_cast<const QLineEdit*>(focus) || qobject_cast<const QAbstractSlider*>(focus) ||
        qobject_cast<const QAbstractSpinBox*>(focus))
        return false;
    stepInFolder(step);
    return true;
}

void fmMain::stepInFolder(FolderStep step) {
    const QString current = uPcE_->prFile();
    // A picture pasted from the clipboard lives in the work folder, which is
    // no folder of pictures.
    if (current.isEmpty() || current.startsWith(uPcE_->sWrkFld()))
        return;
    const QString folder = QFileInfo(current).absolutePath();
    const QStringList pictures = picturesInFolder(folder, [this](const QString& p) { return uPcE_->canOpen(p); });
    QString next = steppedPicture(pictures, current, step);
    if (next.isEmpty())
        return;
    uPcE_->pcOpen(1, next);  // the save question first, as for any open
}

void fmMain::loadRecentFiles() {
    recent_.load();
    spPic_->setRecentFiles(recent_.files());
}

void fmMain::noteRecentFile(const QString& path) {
    if (path.isEmpty() || path.startsWith(uPcE_->sWrkFld()) || !QFileInfo(path).isFile())
        return;
    if (recent_.add(QFileInfo(path).absoluteFilePath()))
        spPic_->setRecentFiles(recent_.files());
}

void fmMain::openRecentFile(const QString& path) {
    if (!QFileInfo(path).isFile()) {
        platform::prompt().message(path + QStringLiteral("\rﾌｧｲﾙが見つかりません｡最近使ったﾌｧｲﾙの一覧から外します"));
        if (recent_.remove(path))
            spPic_->setRecentFiles(recent_.files());
        return;
    }
    QString p = path;
    uPcE_->pcOpen(1, p);
}

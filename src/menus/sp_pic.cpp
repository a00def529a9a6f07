#include "menus/sp_pic.h"

#include "settings/yini.h"
#include "platform/program_state.h"
#include "picture_control/commands.h"

#include <QAction>
#include <QClipboard>
#include <QCursor>
#include <QGuiApplication>
#include <QMenu>
#include <QMimeData>

using namespace commands;

namespace {
spPic* g_spPic = nullptr;
}  // namespace

spPic& spPic::instance() {
    if (!g_spPic)
        g_spPic = new spPic;
    return *g_spPic;
}

spPic::spPic(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_DontShowOnScreen);
    build();
}

spPic::~spPic() {
    if (g_spPic == this)
        g_spPic = nullptr;
}

QString spPic::caption(const QAction* item) {
    return item ? item->data().toString() : QString();
}

QAction* spPic::addItem(QMenu* menu, QMap<int, QAction*>& items, int index, const QString& cap,
                        const QString& shortcutText) {
    // The shortcut is only shown: the keys themselves belong to the main window.
    QString text = cap;
    if (!shortcutText.isEmpty())
        text += u'\t' + shortcutText;
    QAction* a = menu->addAction(text);
    a->setData(cap);
    items.insert(index, a);
    return a;
}

QAction* spPic::addSeparator(QMenu* menu, QMap<int, QAction*>& items, int index) {
    QAction* a = menu->addSeparator();
    a->setData(QStringLiteral("-"));
    items.insert(index, a);
    return a;
}

void spPic::build() {
    auto* file = new QMenu(groups::File.toString(), this);
    mnJb_.insert(2, file);
    addItem(file, mnFile_, 0, QStringLiteral("ﾌｧｲﾙを開く(&O)"), QStringLiteral("Ctrl+O"));
    addSeparator(file, mnFile_, 1);
    addItem(file, mnFile_, 2, QStringLiteral("上書き保存(&S)"), QStringLiteral("Ctrl+S"));
    addItem(file, mnFile_, 3, QStringLiteral("名前を付けて保存(&A)"));
    // The recent files, between the save items and the end of the menu.
    mnRecentSep_ = file->addSeparator();
    mnRecentSep_->setVisible(false);
    for (int i = 0; i < 10; ++i) {
        QAction* a = file->addAction(QString());
        a->setVisible(false);
        connect(a, &QAction::triggered, this, [this, a] {
            sWndCom = QStringLiteral("最近使ったﾌｧｲﾙ");
            sWndArg = a->data().toString();
        });
        mnRecent_.push_back(a);
    }
    addSeparator(file, mnFile_, 15);
    addItem(file, mnFile_, 16, QStringLiteral("終了(&X)"));
    for (auto it = mnFile_.cbegin(); it != mnFile_.cend(); ++it) {
        const int i = it.key();
        connect(it.value(), &QAction::triggered, this, [this, i] { mnFileClick(i); });
    }

    auto* edit = new QMenu(groups::Edit.toString(), this);
    mnJb_.insert(3, edit);
    addItem(edit, mnEdt_, 0, Revert.itemText());
    addItem(edit, mnEdt_, 1, Undo.itemText(), QStringLiteral("Ctrl+Z"));
    addItem(edit, mnEdt_, kRedoIndex, QStringLiteral("やり直し"), QStringLiteral("Ctrl+Y"))->setEnabled(false);
    addSeparator(edit, mnEdt_, 2);
    addItem(edit, mnEdt_, 3, CopyToClipboard.itemText(), QStringLiteral("Ctrl+C"));
    addItem(edit, mnEdt_, 4, NewFromClipboard.itemText(), QStringLiteral("Ctrl+V"));
    addSeparator(edit, mnEdt_, 5);
    addItem(edit, mnEdt_, 6, ClearSelection.itemText());
    addItem(edit, mnEdt_, 7, Highlight.itemText());
    addItem(edit, mnEdt_, 8, Trim.itemText(), QStringLiteral("Ctrl+T"));

    auto* resize = edit->addMenu(groups::Shrink.toString());
    resize->menuAction()->setData(groups::Shrink.toString());
    mnEdt_.insert(9, resize->menuAction());
    addItem(resize, mnResize_, 0, QStringLiteral("横方向を基準に縮小"));
    addItem(resize, mnResize_, 1, QStringLiteral("縦方向を基準に縮小"));
    addSeparator(resize, mnResize_, 2);
    addItem(resize, mnResize_, 3, QStringLiteral("縦横比率を変えて縮小"));

    auto* toj = edit->addMenu(groups::CloseUp.toString());
    toj->menuAction()->setData(groups::CloseUp.toString());
    mnEdt_.insert(10, toj->menuAction());
    addItem(toj, mnToj_, 0, CloseUpAcross.itemText());
    addItem(toj, mnToj_, 1, CloseUpDown.itemText());

    addSeparator(edit, mnEdt_, 11);
    auto* rotate = edit->addMenu(groups::Rotate.toString());
    rotate->menuAction()->setData(groups::Rotate.toString());
    mnEdt_.insert(12, rotate->menuAction());
    addItem(rotate, mnRotate_, 0, FlipLeftRight.itemText());
    addItem(rotate, mnRotate_, 1, FlipTopBottom.itemText());
    addItem(rotate, mnRotate_, 2, TurnRight.itemText(), QStringLiteral("Ctrl+R"));
    addItem(rotate, mnRotate_, 3, TurnLeft.itemText(), QStringLiteral("Ctrl+L"));
    // Resizing and turning by numbers, beside the items above (their own indexes).
    edit->addSeparator();
    addItem(edit, mnEdt_, 20, QStringLiteral("ｻｲｽﾞ変更..."));
    addItem(edit, mnEdt_, 21, QStringLiteral("角度を指定して回転..."));

    for (auto it = mnEdt_.cbegin(); it != mnEdt_.cend(); ++it) {
        const int i = it.key();
        if (!it.value()->menu())
            connect(it.value(), &QAction::triggered, this, [this, i] { mnEdtClick(i); });
    }
    for (auto it = mnResize_.cbegin(); it != mnResize_.cend(); ++it) {
        const int i = it.key();
        connect(it.value(), &QAction::triggered, this, [this, i] { mnResizeClick(i); });
    }
    for (auto it = mnToj_.cbegin(); it != mnToj_.cend(); ++it) {
        const int i = it.key();
        connect(it.value(), &QAction::triggered, this, [this, i] { mnTojClick(i); });
    }
    for (auto it = mnRotate_.cbegin(); it != mnRotate_.cend(); ++it) {
        const int i = it.key();
        connect(it.value(), &QAction::triggered, this, [this, i] { mnRotateClick(i); });
    }

    auto* view = new QMenu(QStringLiteral("表示"), this);
    mnJb_.insert(4, view);
    mnUsr_ = view->addAction(QStringLiteral("「送る」にｼｮｰﾄｶｯﾄ作成"));
    mnUsr_->setData(mnUsr_->text());
    connect(mnUsr_, &QAction::triggered, this, [this] { mnUsrClick(); });
    mnOpt_ = view->addAction(QStringLiteral("環境設定..."));
    mnOpt_->setData(mnOpt_->text());
    connect(mnOpt_, &QAction::triggered, this, [this] { sWndCom = QStringLiteral("環境設定"); });
}

void spPic::setRecentFiles(const QStringList& paths) {
    for (int i = 0; i < int(mnRecent_.size()); ++i) {
        QAction* a = mnRecent_[size_t(i)];
        const bool used = i < paths.size();
        a->setVisible(used);
        a->setData(used ? paths[i] : QString());
        // "&1 /path" .. "1&0 /path"; an "&" of the path is shown as itself.
        QString shown = used ? paths[i] : QString();
        shown.replace(u'&', QStringLiteral("&&"));
        const QString number = i < 9 ? QStringLiteral("&%1").arg(i + 1) : QStringLiteral("1&0");
        a->setText(used ? number + u' ' + shown : QString());
    }
    mnRecentSep_->setVisible(!paths.isEmpty());
}

bool spPic::clipboardHasBitmap() {
    const QClipboard* cb = QGuiApplication::clipboard();
    const QMimeData* md = cb ? cb->mimeData() : nullptr;
    return md && md->hasImage();
}

bool spPic::reachable(const QAction* item) {
    if (!item || !item->isEnabled() || item->isSeparator())
        return false;
    // An item inside a disabled submenu cannot be chosen either.
    for (QObject* p = item->parent(); p; p = p->parent()) {
        if (auto* m = qobject_cast<QMenu*>(p)) {
            if (!m->menuAction()->isEnabled())
                return false;
        }
    }
    return true;
}

void spPic::Act(int iNdx) { Act(iNdx, QCursor::pos()); }

void spPic::Act(int iNdx, const QPoint& at) {
    sGrp.clear();
    sCap.clear();
    sWndCom.clear();
    sWndArg.clear();
    QMenu* menu = mnJb(iNdx);
    if (!menu || !menu->menuAction()->isEnabled())
        return;
    mnJbClick(iNdx);
    lastPopupPos = at;
    if (chooser) {
        QAction* chosen = chooser(menu);
        if (reachable(chosen))
            chosen->trigger();
        return;
    }
    menu->exec(at);
}

void spPic::mnJbClick(int index) {
    if (index == 3)
        mnEdt_.value(4)->setEnabled(clipboardHasBitmap());
}

void spPic::StCom(const QString& group, QString cap) {
    Usr::CutAt(cap, QStringLiteral("(&"));
    sGrp = group;
    sCap = cap;
}

void spPic::mnFileClick(int index) {
    QAction* a = mnFile_.value(index);
    if (a && !a->isSeparator())
        StCom(groups::File.toString(), caption(a));
}

void spPic::mnEdtClick(int index) {
    if (index == kRedoIndex) {
        StCom(QStringLiteral("画像編集"), caption(mnEdt_.value(index)));
        return;
    }
    // Separators and submenu parents do nothing.
    if (!QStringLiteral(".0.1.3.4.6.7.8.20.21.").contains(u'.' + QString::number(index) + u'.'))
        return;
    const QString cap = caption(mnEdt_.value(index));
    StCom((index == 6 ? groups::Selection : groups::Edit).toString(), cap);
}

void spPic::mnResizeClick(int index) {
    // The command comes from the position, not from the caption.
    static const QStringList commands = {ShrinkByWidth.itemText(), ShrinkByHeight.itemText(), QString(),
                                         ShrinkFree.itemText()};
    if (index < 0 || index >= commands.size() || commands.at(index).isEmpty())
        return;
    StCom(groups::Shrink.toString(), commands.at(index));
}

void spPic::mnTojClick(int index) { StCom(groups::CloseUp.toString(), caption(mnToj_.value(index))); }

void spPic::mnRotateClick(int index) { StCom(groups::Rotate.toString(), caption(mnRotate_.value(index))); }

void spPic::mnUsrClick() { Usr::oIni().W_SendTo(); }

void spPic::setPrEdtMode(const QString& sMd) {
    const bool edited = sMd == states::Edited.toString();
    const bool notInitial = sMd != states::Initial.toString();
    mnFile_.value(2)->setEnabled(edited);
    mnFile_.value(3)->setEnabled(notInitial);
    mnJb_.value(3)->menuAction()->setEnabled(notInitial);
    mnEdt_.value(0)->setEnabled(edited);
    bEdited_ = edited;
    mnEdt_.value(1)->setEnabled(edited || bRevertBack_);
    mnEdt_.value(3)->setEnabled(notInitial);
    mnEdt_.value(20)->setEnabled(notInitial);
    mnEdt_.value(21)->setEnabled(notInitial);
}

void spPic::setPrHistory(bool bRedo, bool bRevertBack) {
    bRevertBack_ = bRevertBack;
    mnEdt_.value(kRedoIndex)->setEnabled(bRedo);
    mnEdt_.value(1)->setEnabled(bEdited_ || bRevertBack);
}

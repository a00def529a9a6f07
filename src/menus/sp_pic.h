#pragma once
// The hidden menu window: owns every popup menu of the program. A chosen item
// does not act by itself; it records its command group and command in sGrp
// and sCap, which the main window reads when the popup call returns.
#include <QMap>
#include <QPoint>
#include <QString>
#include <QWidget>
#include <functional>
#include <vector>

class QAction;
class QMenu;

class spPic : public QWidget {
    Q_OBJECT
public:
    // The one menu window, created (hidden) on first use.
    static spPic& instance();

    explicit spPic(QWidget* parent = nullptr);
    ~spPic() override;

    // Group and command of the item chosen in the last popup; empty when none.
    QString sGrp;
    QString sCap;
    // A command the main window runs itself rather than the control, chosen in
    // the last popup: "環境設定" (the settings dialog) or "最近使ったﾌｧｲﾙ" with
    // the file's path in sWndArg. Empty when none; sGrp and sCap stay empty then.
    QString sWndCom;
    QString sWndArg;

    // Pops up the top-level menu iNdx (2 "ﾌｧｲﾙ", 3 "画像編集", 4 "表示") at the
    // mouse pointer and returns when it has closed; by then the chosen item has
    // recorded its command.
    void Act(int iNdx);
    // The same, with the menu's top left corner at a screen position (a menu
    // opened from the keyboard drops below its label, wherever the pointer is).
    void Act(int iNdx, const QPoint& at);
    // Where the last popup was placed on the screen.
    QPoint lastPopupPos;

    // Enables the items that depend on the control's edit state.
    void setPrEdtMode(const QString& sMd);
    // Enables "やり直し" while there is a step to redo, and "編集を一つ戻す"
    // also right after a revert that it would take back.
    void setPrHistory(bool bRedo, bool bRevertBack);

    // The menu tree by the indexes the items carry (nullptr for an index that
    // does not exist). A submenu parent's entry is its menu action.
    QMenu* mnJb(int i) const { return mnJb_.value(i); }
    QAction* mnFile(int i) const { return mnFile_.value(i); }
    QAction* mnEdt(int i) const { return mnEdt_.value(i); }
    QAction* mnResize(int i) const { return mnResize_.value(i); }
    QAction* mnToj(int i) const { return mnToj_.value(i); }
    QAction* mnRotate(int i) const { return mnRotate_.value(i); }
    QAction* mnUsr() const { return mnUsr_; }
    // "やり直し", placed under "編集を一つ戻す" with an index of its own.
    QAction* mnRedo() const { return mnEdt_.value(kRedoIndex); }
    static constexpr int kRedoIndex = 30;
    // Items added beside the menu tree: the recent files of the file menu
    // (0 the newest; hidden when unused), the settings dialog of the settings menu.
    QAction* mnRecent(int i) const { return i >= 0 && i < int(mnRecent_.size()) ? mnRecent_[size_t(i)] : nullptr; }
    QAction* mnOpt() const { return mnOpt_; }

    // Shows these files (most recent first, at most ten) in the file menu.
    void setRecentFiles(const QStringList& paths);

    // An item's caption as the menu holds it ("上書き保存(&S)"), without the
    // shortcut text shown beside it.
    static QString caption(const QAction* item);

    // Test hook: when set, Act hands the menu to it instead of popping it up
    // and triggers the item it returns (nullptr: the popup was dismissed).
    std::function<QAction*(QMenu*)> chooser;

    // Whether the clipboard holds a picture.
    static bool clipboardHasBitmap();

private:
    void build();
    QAction* addItem(QMenu* menu, QMap<int, QAction*>& items, int index, const QString& cap,
                     const QString& shortcutText = QString());
    QAction* addSeparator(QMenu* menu, QMap<int, QAction*>& items, int index);
    void StCom(const QString& group, QString cap);
    void mnJbClick(int index);
    void mnFileClick(int index);
    void mnEdtClick(int index);
    void mnResizeClick(int index);
    void mnTojClick(int index);
    void mnRotateClick(int index);
    void mnUsrClick();
    static bool reachable(const QAction* item);

    QMap<int, QMenu*> mnJb_;
    QMap<int, QAction*> mnFile_, mnEdt_, mnResize_, mnToj_, mnRotate_;
    QAction* mnUsr_ = nullptr;
    bool bEdited_ = false, bRevertBack_ = false;
    std::vector<QAction*> mnRecent_;
    QAction* mnRecentSep_ = nullptr;
    QAction* mnOpt_ = nullptr;
};

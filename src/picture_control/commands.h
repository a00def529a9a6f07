#pragma once
// The command vocabulary, named once: every group and item caption that
// pcAct understands, and the edit states. Commands travel as these texts
// (menus, keys, buttons, the batch tool); code names them from here.
#include <QList>
#include <QString>
#include <QStringView>

namespace commands {

namespace groups {
inline constexpr QStringView File = u"ﾌｧｲﾙ";
inline constexpr QStringView View = u"表示";
inline constexpr QStringView Shrink = u"ﾘｻｲｽﾞ";
inline constexpr QStringView Edit = u"画像編集";
inline constexpr QStringView CloseUp = u"綴じ込み";
inline constexpr QStringView Rotate = u"回転";
inline constexpr QStringView Update = u"更新";
inline constexpr QStringView EditState = u"編集状態";
inline constexpr QStringView Selection = u"範囲";
// Commands whose item is an argument: "640,480" or "50%"; "30" or "-12.5,#000000".
inline constexpr QStringView ResizeBy = u"ｻｲｽﾞ変更";
inline constexpr QStringView TurnBy = u"角度回転";
}  // namespace groups

// The edit states of the control, as its event and the "編集状態" commands carry them.
namespace states {
inline constexpr QStringView Initial = u"初期";
inline constexpr QStringView Loaded = u"読込";
inline constexpr QStringView Edited = u"編集";
}  // namespace states

struct Command {
    QStringView group;
    QStringView item;
    bool batch = false;  // makes sense without a window: the batch tool offers it

    bool is(QStringView g, QStringView i) const { return g == group && i == item; }
    QString groupText() const { return group.toString(); }
    QString itemText() const { return item.toString(); }
};

inline constexpr Command Open{groups::File, u"ﾌｧｲﾙを開く"};
inline constexpr Command Save{groups::File, u"上書き保存", true};
inline constexpr Command SaveAs{groups::File, u"名前を付けて保存"};
inline constexpr Command Exit{groups::File, u"終了"};  // the window's own: never reaches pcAct

inline constexpr Command ViewScale{groups::View, u"ｽｹｰﾙ", true};
inline constexpr Command ViewStretch{groups::View, u"ｽﾄﾚｯﾁ", true};
inline constexpr Command ViewActual{groups::View, u"実寸", true};
inline constexpr Command ViewFitWidth{groups::View, u"横合わせ", true};
inline constexpr Command ViewFitHeight{groups::View, u"縦合わせ", true};

// The five view modes, in the order of their numbers 1 to 5.
inline constexpr Command ViewModes[5] = {ViewScale, ViewStretch, ViewActual, ViewFitWidth, ViewFitHeight};

inline constexpr Command ShrinkByWidth{groups::Shrink, u"横基準", true};
inline constexpr Command ShrinkByHeight{groups::Shrink, u"縦基準", true};
inline constexpr Command ShrinkFree{groups::Shrink, u"縦横比率を変えて縮小", true};

inline constexpr Command Revert{groups::Edit, u"読込時に戻す", true};
inline constexpr Command Undo{groups::Edit, u"編集を一つ戻す", true};
inline constexpr Command CopyToClipboard{groups::Edit, u"ｸﾘｯﾌﾟﾎﾞｰﾄﾞにｺﾋﾟｰ", true};
inline constexpr Command NewFromClipboard{groups::Edit, u"ｸﾘｯﾌﾟﾎﾞｰﾄﾞから新規", true};
inline constexpr Command Trim{groups::Edit, u"ﾄﾘﾐﾝｸﾞ", true};
inline constexpr Command Highlight{groups::Edit, u"強調", true};
inline constexpr Command ShowToolbar{groups::Edit, u"ﾂｰﾙﾊﾞｰを表示"};
inline constexpr Command Redo{groups::Edit, u"やり直し", true};
inline constexpr Command ResizeDialogItem{groups::Edit, u"ｻｲｽﾞ変更..."};
inline constexpr Command TurnDialogItem{groups::Edit, u"角度を指定して回転..."};

inline constexpr Command CloseUpAcross{groups::CloseUp, u"横方向", true};
inline constexpr Command CloseUpDown{groups::CloseUp, u"縦方向", true};

inline constexpr Command FlipLeftRight{groups::Rotate, u"左右反転", true};
inline constexpr Command FlipTopBottom{groups::Rotate, u"上下反転", true};
inline constexpr Command TurnRight{groups::Rotate, u"右90度", true};
inline constexpr Command TurnLeft{groups::Rotate, u"左90度", true};

inline constexpr Command AskBeforeUpdate{groups::Update, u"確認後更新", true};
inline constexpr Command UpdateWithoutAsking{groups::Update, u"確認なし", true};
inline constexpr Command UpdateAutomatically{groups::Update, u"自動更新", true};

inline constexpr Command ClearSelection{groups::Selection, u"範囲のｸﾘｱ", true};

// Every command above, in this order.
const QList<Command>& all();
// The command of the pair, or nullptr when the pair names none.
const Command* find(QStringView group, QStringView item);

}  // namespace commands

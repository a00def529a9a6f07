// The settings dialog of the settings menu ("環境設定...") and the settings
// that live beside "User.xml": the preview's scale box and whether the
// drawing toolbar opens with each picture.
#include "main_window/fm_main.h"

#include "main_window/extra_settings.h"
#include "picture_control/upce.h"
#include "platform/prompt.h"
#include "settings/yini.h"
#include "platform/program_state.h"

#include <QCheckBox>
#include <QSignalBlocker>
#include <QTimer>
#include <algorithm>

using namespace mainwin;

namespace {

const QStringList kViewModes = {QStringLiteral("ｽｹｰﾙ"), QStringLiteral("ｽﾄﾚｯﾁ"), QStringLiteral("実寸"),
                                QStringLiteral("横合わせ"), QStringLiteral("縦合わせ")};
const QStringList kUpdateModes = {QStringLiteral("確認後更新"), QStringLiteral("確認なし"), QStringLiteral("自動更新")};
const QString kPreviewScale = QStringLiteral("PreviewScale");
const QString kDrawToolbar = QStringLiteral("DrawToolbar");

enum Field { ViewMode, UpdateMode, PreviewScale, DrawToolbar };

}  // namespace

void fmMain::restoreExtraSettings() {
    const QVariant scale = extraSetting(kPreviewScale);
    if (scale.isValid())
        chScl_[1]->setChecked(scale.toBool());
}

void fmMain::showDrawToolbarIfWanted() {
    if (!extraSetting(kDrawToolbar, false).toBool())
        return;
    // After the command that brought the picture has finished: every command
    // closes the toolbar first.
    QTimer::singleShot(0, this, [this] {
        if (uPcE_->ImgHandle() != 0)
            act(QStringLiteral("画像編集"), QStringLiteral("ﾂｰﾙﾊﾞｰを表示"));
    });
}

void fmMain::optionsDialog() {
    int iEd = 0;
    QString sDsp;
    uPcE_->GetUsrP(iEd, sDsp);
    platform::Form form;
    form.title = QStringLiteral("環境設定");
    using Kind = platform::FormField::Kind;
    form.fields = {
        {Kind::Choice, QStringLiteral("表示"), kViewModes, double(std::max<qsizetype>(0, kViewModes.indexOf(sDsp)))},
        {Kind::Choice, QStringLiteral("未保存の編集"), kUpdateModes, double(std::clamp(iEd, 0, 2))},
        {Kind::Check, QStringLiteral("ｽｹｰﾙ表示(ﾌﾟﾚﾋﾞｭｰ)"), {}, chScl_[1]->isChecked() ? 1.0 : 0.0},
        {Kind::Check, QStringLiteral("画像を開いたら描画ﾂｰﾙﾊﾞｰを表示"), {}, extraSetting(kDrawToolbar, false).toBool() ? 1.0 : 0.0},
    };
    if (!platform::prompt().form(form))
        return;
    const QString mode = kViewModes.value(int(form.fields[ViewMode].value), kViewModes.first());
    const QString update = kUpdateModes.value(int(form.fields[UpdateMode].value), kUpdateModes.first());
    // The scale box shows whether the mode is "ｽｹｰﾙ"; set quietly, since its
    // click would send a mode of its own.
    {
        const QSignalBlocker quiet(chScl_[0]);
        chScl_[0]->setChecked(mode == QStringLiteral("ｽｹｰﾙ"));
    }
    act(QStringLiteral("表示"), mode);
    act(QStringLiteral("更新"), update);
    const bool scale = form.fields[PreviewScale].value != 0;
    setExtraSetting(kPreviewScale, scale);
    chScl_[1]->setChecked(scale);
    const bool toolbar = form.fields[DrawToolbar].value != 0;
    setExtraSetting(kDrawToolbar, toolbar);
    if (toolbar && uPcE_->ImgHandle() != 0)
        act(QStringLiteral("画像編集"), QStringLiteral("ﾂｰﾙﾊﾞｰを表示"));
    // The two "User.xml" keys are written now, through the settings object
    // and in the file's own order of groups (the window's geometry with them).
    try {
        FmIni(true);
        bool bOk = false;
        Usr::oIni().SetTxt(bOk);
    } catch (...) {
        platform::prompt().message(QStringLiteral("設定を保存できませんでした"));
    }
}

// Resizing to a size and turning by an angle, given as numbers: from the edit
// menu through a dialog, or as the text of a command (the batch tool).
#include "picture_control/upce.h"

#include "engine/image_engine.h"
#include "picture_control/number_edits.h"
#include "picture_control/upce_util.h"
#include "platform/prompt.h"

#include <algorithm>
#include <cmath>

namespace {

enum ResizeField { Unit, Width, Height, KeepProportions };
enum TurnField { Angle, Background };

}  // namespace

void uPcE::ResizeByText(const QString& text) {
    if (ikImg_->ImageHandle() == 0)
        return;
    const auto size = upce::parseResize(text, QSize(upce::roundEven(PicWidth_), upce::roundEven(PicHeight_)));
    if (!size) {
        showMessage(text + QStringLiteral("\rｻｲｽﾞの指定が正しくありません (例: 640,480 / 50%)"));
        bRet_ = false;
        return;
    }
    resizeTo(*size);
}

void uPcE::ResizeDialog() {
    if (ikImg_->ImageHandle() == 0)
        return;
    const QSize picture(upce::roundEven(PicWidth_), upce::roundEven(PicHeight_));
    platform::Form form;
    form.title = QStringLiteral("ｻｲｽﾞ変更");
    form.fields = {
        {platform::FormField::Kind::Choice, QStringLiteral("単位"), {QStringLiteral("ﾋﾟｸｾﾙ"), QStringLiteral("%")}, 0},
        {platform::FormField::Kind::Number, QStringLiteral("幅"), {}, double(picture.width()), 1, 65535, 0},
        {platform::FormField::Kind::Number, QStringLiteral("高さ"), {}, double(picture.height()), 1, 65535, 0},
        {platform::FormField::Kind::Check, QStringLiteral("縦横比を保持"), {}, 1},
    };
    // In percent both sides keep the proportions at the same figure.
    form.follow = [picture](std::vector<platform::FormField>& f, int changed) {
        const bool percent = f[Unit].value == 1;
        const bool keep = f[KeepProportions].value != 0;
        if (changed == Unit) {
            const double kx = percent ? 100.0 / picture.width() : picture.width() / 100.0;
            const double ky = percent ? 100.0 / picture.height() : picture.height() / 100.0;
            f[Width].value = std::max(1, upce::roundEven(f[Width].value * kx));
            f[Height].value = std::max(1, upce::roundEven(f[Height].value * ky));
        }
        if (!keep || changed == Unit)
            return;
        if (changed == Height)
            f[Width].value = percent ? f[Height].value : upce::proportionalWidth(picture, f[Height].value);
        else
            f[Height].value = percent ? f[Width].value : upce::proportionalHeight(picture, f[Width].value);
    };
    if (!platform::prompt().form(form))
        return;
    const bool percent = form.fields[Unit].value == 1;
    const QString w = QString::number(form.fields[Width].value) + (percent ? QStringLiteral("%") : QString());
    const QString h = QString::number(form.fields[Height].value) + (percent ? QStringLiteral("%") : QString());
    ResizeByText(w + u',' + h);
}

void uPcE::resizeTo(QSize size) {
    if (size == QSize(upce::roundEven(PicWidth_), upce::roundEven(PicHeight_))) {
        bRet_ = true;
        return;  // the size it has: no step
    }
    bRet_ = ikImg_->Edit().Resize(size.width(), size.height(), true);
    finishNumberEdit();
}

// After the engine's edit: a failure is told and changes nothing; a success
// is an undo step and an edit like any other.
void uPcE::finishNumberEdit() {
    if (!bRet_) {
        reportEngineError(*ikImg_);
        return;
    }
    ClrRect();
    vPutUndo(false);
    StEdtMode(QStringLiteral("編集"));
}

void uPcE::TurnByText(const QString& text) {
    if (ikImg_->ImageHandle() == 0)
        return;
    const auto turn = upce::parseTurn(text);
    if (!turn) {
        showMessage(text + QStringLiteral("\r角度の指定が正しくありません (例: 30 / -12.5,#000000)"));
        bRet_ = false;
        return;
    }
    // Hundredths of a degree, counter-clockwise for the engine.
    const int angle = -upce::roundEven(std::fmod(turn->degrees, 360.0) * 100);
    if (angle == 0) {
        bRet_ = true;
        return;  // a whole turn changes nothing: no step
    }
    const QColor bg = turn->background;
    bRet_ = ikImg_->Edit().Rotate(angle, false, false, true, bg.red(), bg.green(), bg.blue(), 0);
    finishNumberEdit();
}

void uPcE::TurnDialog() {
    if (ikImg_->ImageHandle() == 0)
        return;
    platform::Form form;
    form.title = QStringLiteral("角度を指定して回転");
    form.fields = {
        {platform::FormField::Kind::Number, QStringLiteral("角度 (右回り､度)"), {}, 0, -360, 360, 2},
        {platform::FormField::Kind::Colour, QStringLiteral("背景色"), {}, double(0xFFFFFF)},
    };
    if (!platform::prompt().form(form))
        return;
    const QString colour =
        QStringLiteral("#%1").arg(qint64(form.fields[Background].value) & 0xFFFFFF, 6, 16, QChar('0'));
    TurnByText(QString::number(form.fields[Angle].value, 'f', 2) + u',' + colour);
}

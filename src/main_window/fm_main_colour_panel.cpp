// The colour-depth panel: a preview of the picture reduced to a chosen depth
// (black and white with a threshold), optionally inverted, that "確定 ↑"
// hands back to the control as an undoable edit.
#include "main_window/fm_main.h"

#include "engine/image_engine.h"
#include "engine/ops/colour_preview.h"
#include "engine/errors.h"
#include "main_window/twips.h"
#include "picture_control/upce.h"
#include "platform/prompt.h"
#include "platform/program_state.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <algorithm>

using namespace mainwin;

namespace {

struct DepthOption {
    const char* caption;
    int code;
    int left, top, width, height;  // twips
};

const DepthOption kOptions[8] = {
    {"白黒", 1, 120, 225, 795, 255},
    {"16色(4bit)", 4, 2895, 1065, 1200, 255},
    {"ｸﾞﾚ-(4bit)", 40, 195, 1065, 1200, 255},
    {"256色(8bit)", 8, 195, 1425, 1320, 255},
    {"ｸﾞﾚ-(8bit)", 80, 1515, 1065, 1200, 255},
    {"16 ﾋﾞｯﾄ", 16, 1485, 1425, 990, 255},
    {"24 ﾋﾞｯﾄ", 24, 2685, 1425, 990, 255},
    {"32 ﾋﾞｯﾄ", 32, 3675, 1425, 915, 255},
};

void place(QWidget* w, int left, int top, int width, int height) { w->setGeometry(rectPx(left, top, width, height)); }

}  // namespace

void fmMain::buildColourPanel(QGroupBox* frame) {
    ikImg_ = new engine::ImageEngine(frame);
    place(ikImg_, 5010, 210, 4935, 2865);
    // Pictures are opened on the picture itself; the preview refuses drops
    // rather than swallowing them.
    ikImg_->setAcceptDrops(false);

    chScl_[1] = new QCheckBox(QStringLiteral("ｽｹｰﾙ表示(ﾌﾟﾚﾋﾞｭｰ)"), frame);
    place(chScl_[1], 2910, 2520, 1875, 435);
    connect(chScl_[1], &QCheckBox::toggled, this, [this] { ColPrev(); });

    auto* note = new QLabel(QStringLiteral("色数の指定は確定ﾎﾞﾀﾝで､元の画像を置き換えます"), frame);
    note->setObjectName(QStringLiteral("Label1"));
    place(note, 105, 2265, 4575, 225);

    auto* frClS = new QGroupBox(QStringLiteral("色数"), frame);
    frClS->setObjectName(QStringLiteral("frClS"));
    place(frClS, 120, 330, 4725, 1800);

    for (int i = 0; i < 8; ++i) {
        auto* op = new QRadioButton(QString::fromUtf8(kOptions[i].caption), frClS);
        place(op, kOptions[i].left, kOptions[i].top, kOptions[i].width, kOptions[i].height);
        // A user's click that selects the option; the program selects through
        // the same handler (events of the control).
        connect(op, &QRadioButton::toggled, this, [this, i](bool on) {
            if (on)
                opColorClick(i);
        });
        opColor_[i] = op;
    }

    lbCls_ = new QLabel(QStringLiteral("しきい値"), frClS);
    place(lbCls_, 975, 255, 690, 195);

    cmSld_[0] = new QToolButton(frClS);
    cmSld_[0]->setArrowType(Qt::LeftArrow);
    place(cmSld_[0], 450, 630, 270, 300);
    slider_ = new QSlider(Qt::Horizontal, frClS);
    place(slider_, 765, 540, 2880, 465);
    slider_->setTickPosition(QSlider::TicksBelow);
    txSld_ = new QLineEdit(QStringLiteral("0"), frClS);
    place(txSld_, 3735, 630, 500, 350);
    txSld_->installEventFilter(this);
    cmSld_[1] = new QToolButton(frClS);
    cmSld_[1]->setArrowType(Qt::RightArrow);
    place(cmSld_[1], 4290, 630, 270, 300);

    cmRvc_ = new QPushButton(QStringLiteral("色反転"), frClS);
    place(cmRvc_, 2310, 180, 1035, 315);
    cmRet_ = new QPushButton(QStringLiteral("確定 ↑"), frClS);
    place(cmRet_, 3480, 180, 1035, 315);

    fitColourFrame(frClS);

    connect(slider_, &QSlider::valueChanged, this, [this] {
        if (bSldBusy_)
            return;
        bSldBusy_ = true;
        txSld_->setText(generalNumber(SldGet()));
        bSldBusy_ = false;
        SldChg();
    });
    connect(txSld_, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (bSldBusy_)
            return;
        bSldBusy_ = true;
        SldLet(leadingNumber(text));
        bSldBusy_ = false;
        SldChg();
    });
    connect(cmSld_[0], &QToolButton::clicked, this, [this] { cmSldClick(0); });
    connect(cmSld_[1], &QToolButton::clicked, this, [this] { cmSldClick(1); });
    connect(cmRvc_, &QPushButton::clicked, this, [this] { cmRvcClick(); });
    connect(cmRet_, &QPushButton::clicked, this, [this] { cmRetClick(); });
}

// The design rectangles assume the frame's caption and the captions of the
// options in the original font; here they are made to fit the font in use.
void fmMain::fitColourFrame(QGroupBox* frClS) {
    const QList<QWidget*> content = frClS->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    // Nothing starts on the frame's caption or its line: the whole content
    // moves below them, and the frame grows by as much.
    int highest = frClS->height();
    for (const QWidget* w : content)
        highest = std::min(highest, w->y());
    const int shift = std::max(0, frClS->contentsRect().top() - highest);
    if (shift > 0) {
        for (QWidget* w : content)
            w->move(w->x(), w->y() + shift);
        frClS->resize(frClS->width(), frClS->height() + shift);
    }

    // Every option shows its whole caption and keeps a gap before the next
    // option of its row; a row that then reaches past the frame widens it
    // (the preview beside it keeps its place).
    const int gap = toPx(60);
    std::array<QRadioButton*, 8> byPlace = opColor_;
    std::sort(byPlace.begin(), byPlace.end(), [](const QWidget* a, const QWidget* b) {
        return a->y() != b->y() ? a->y() < b->y() : a->x() < b->x();
    });
    int right = 0;
    for (std::size_t i = 0; i < byPlace.size(); ++i) {
        QRadioButton* op = byPlace[i];
        const int wanted = op->sizeHint().width();
        op->resize(std::max(op->width(), wanted), op->height());
        if (i + 1 < byPlace.size() && byPlace[i + 1]->y() == op->y()) {
            QRadioButton* next = byPlace[i + 1];
            next->move(std::max(next->x(), op->x() + wanted + gap), next->y());
            op->resize(std::min(op->width(), next->x() - gap - op->x()), op->height());
        }
        right = std::max(right, op->x() + op->width());
    }
    const int overflow = right - (frClS->contentsRect().right() + 1);
    if (overflow > 0)
        frClS->resize(frClS->width() + overflow, frClS->height());

    // The threshold box holds the longest value the slider gives ("252.45");
    // it grows to the left, taking the room from the slider.
    // Text, the line edit's own margin of 2 on each side, the cursor, the frame.
    const int frame = txSld_->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, txSld_);
    const int needed = txSld_->fontMetrics().horizontalAdvance(QStringLiteral("252.45")) + 2 * 2 + 2 + 2 * frame;
    if (txSld_->width() < needed) {
        const int right = txSld_->x() + txSld_->width();
        txSld_->setGeometry(right - needed, txSld_->y(), needed, txSld_->height());
        const int sliderRight = txSld_->x() - toPx(90);
        slider_->resize(std::max(toPx(600), sliderRight - slider_->x()), slider_->height());
    }
}

namespace {

// What the preview shows of the picture whole converted by the panel: the
// part on screen, at the size it is shown, converted with the whole picture's
// palette. The commit converts the whole picture with the same operation.
engine::ImageEngine::RenditionFilter previewFilter(const engine::Picture& whole, int code, int threshold, bool inverted) {
    return [whole, code, threshold, inverted](const QImage& shown) {
        engine::Picture p = engine::makePicture(shown, 24);
        // A failed conversion shows the picture as it is; the commit reports it.
        if (!engine::ops::panelDepth(p, whole, code, threshold, inverted))
            return shown;
        return p.image.convertToFormat(QImage::Format_RGB32);
    };
}

}  // namespace

void fmMain::ColPrev() {
    // Built now: a rebuild still waiting for the picture's paint is overtaken.
    pvRequested_ = false;
    QObject::disconnect(pvWait_);
    const int t = previewThreshold();
    bSclPv_ = chScl_[1]->isChecked();
    const quint32 h = uPcE_->ImgHandle();
    if (h != 0) {
        // The preview shares the control's pixels; only what it shows is
        // converted, when it is painted.
        ikImg_->SetImageHandle(ikImg_->CopyImage(h));
        pvCode_ = iColCd_;
        pvThreshold_ = t;
        pvInverted_ = false;
        setPreviewFilter();
        ikImg_->ApplyDispMode(bSclPv_ ? 1 : 3);
        pvSource_ = controlPictureKey();
    }
}

void fmMain::requestPreview() {
    pvRequested_ = true;
    QObject::disconnect(pvWait_);
    engine::ImageEngine& view = uPcE_->ikImg();
    if (!view.isVisible()) {
        ColPrev();  // nothing to show first
        return;
    }
    // After the picture's next paint; should none come (nothing changed on
    // screen), soon anyway. Whichever runs first builds, with the newest state.
    const auto build = [this] {
        if (pvRequested_)
            ColPrev();
    };
    pvWait_ = connect(&view, &engine::ImageEngine::painted, this, [this, build] {
        QObject::disconnect(pvWait_);
        QTimer::singleShot(0, this, build);
    });
    QTimer::singleShot(kPreviewFallbackMs, this, build);
}

void fmMain::setPreviewFilter() {
    const engine::Picture* whole = ikImg_->current();
    ikImg_->setRenditionFilter(whole ? previewFilter(*whole, pvCode_, pvThreshold_, pvInverted_) : nullptr);
}

int fmMain::previewThreshold() const {
    return iColCd_ == 1 ? int(roundEven(SldGet())) : 128;
}

qint64 fmMain::controlPictureKey() {
    const engine::Picture* p = uPcE_->ikImg().current();
    return p ? p->image.cacheKey() : 0;
}

bool fmMain::previewIsCurrent() {
    return ikImg_->ImageHandle() != 0 && pvSource_ == controlPictureKey() && pvCode_ == iColCd_ &&
           pvThreshold_ == previewThreshold();
}

void fmMain::opColorClick(int i) {
    if (i < 0 || i > 7)
        return;
    SldEnb(i == 0);
    iColCd_ = kOptions[i].code;
    if (!Usr::bLoading)
        ColPrev();
}

void fmMain::cmRvcClick() {
    if (ikImg_->ImageHandle() == 0)
        return;
    pvInverted_ = !pvInverted_;
    setPreviewFilter();
}

void fmMain::cmRetClick() {
    if (ikImg_->ImageHandle() == 0)
        return;  // no preview yet: nothing to hand over
    if (!uPcE_->ikImg().current())
        return;
    // The whole of the control's picture as it is now, converted by the
    // operation the preview shows a picture of, in an engine of its own; the
    // control takes the result as one edit.
    engine::ImageEngine scratch;
    scratch.SetImageHandle(scratch.CopyImage(uPcE_->ImgHandle()));
    if (scratch.ImageHandle() == 0 || !scratch.Edit().PanelDepth(pvCode_, pvThreshold_, pvInverted_)) {
        platform::prompt().message(QStringLiteral("色数を変換できませんでした"), platform::Buttons::Ok);
        return;
    }
    uPcE_->SetImgHandle(scratch.ImageHandle());
}

void fmMain::SldSet(double dMin, double dMax, int iBig, int iStep) {
    if (iBig == 0)
        iBig = 10;
    dSldMin_ = dMin;
    dSldMax_ = dMax;
    iSldStep_ = iStep;
    bSldBusy_ = true;
    const double w = dMax - dMin;
    bSldScl_ = (w < 10) || (w > 100);
    double lo = dMin, hi = dMax;
    if (w != 0 && bSldScl_) {
        dSldK_ = 100 / w;
        iBig = 10;
        lo = 0;
        hi = 100;
    }
    slider_->setRange(int(roundEven(lo)), int(roundEven(hi)));
    slider_->setPageStep(iBig);
    slider_->setTickInterval(iBig);
    bSldBusy_ = false;
}

void fmMain::SldLet(double v) {
    if (bSldScl_)
        v = (v - dSldMin_) * dSldK_;
    // A value outside the range keeps the slider at its end.
    const long long p = roundEven(v);
    slider_->setValue(int(std::clamp<long long>(p, slider_->minimum(), slider_->maximum())));
}

double fmMain::SldGet() const {
    const double p = slider_->value();
    if (bSldScl_ && dSldK_ != 0)
        return p / dSldK_ + dSldMin_;
    return p;
}

void fmMain::SldEnb(bool on) {
    slider_->setEnabled(on);
    txSld_->setEnabled(on);
    cmSld_[0]->setEnabled(on);
    cmSld_[1]->setEnabled(on);
}

void fmMain::SldChg() {
    if (!Usr::bLoading)
        ColPrev();
}

void fmMain::cmSldClick(int i) {
    if (bSldBusy_)
        return;
    const double v = leadingNumber(txSld_->text()) + iSldStep_ * (i == 0 ? -1 : 1);
    bSldBusy_ = true;
    txSld_->setText(formatOneDecimal(v, true));
    SldLet(v);
    bSldBusy_ = false;
    SldChg();
}

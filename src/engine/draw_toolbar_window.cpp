#include "engine/draw_toolbar_window.h"

#include "engine/draw_tool.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QSpinBox>
#include <QToolButton>
#include <QVBoxLayout>

namespace engine {

namespace {

struct ToolEntry {
    DrawTool::Tool tool;
    const char* text;
    const char* tip;
};

const ToolEntry kTools[] = {
    {DrawTool::NoTool, "選択", "範囲選択 (描画しない)"},
    {DrawTool::Pen, "ﾍﾟﾝ", "ﾌﾘｰﾊﾝﾄﾞ"},
    {DrawTool::Line, "直線", "直線"},
    {DrawTool::Rect, "□", "四角形"},
    {DrawTool::FilledRect, "■", "四角形 (塗りつぶし)"},
    {DrawTool::Ellipse, "○", "楕円"},
    {DrawTool::FilledEllipse, "●", "楕円 (塗りつぶし)"},
    {DrawTool::Stamp, "印", "ｽﾀﾝﾌﾟ (ｸﾘｯｸした位置が中心)"},
};

const QRgb kPalette[] = {0x000000, 0xffffff, 0xff0000, 0x00a000, 0x0000ff, 0xffff00,
                         0x00ffff, 0xff00ff, 0x808080, 0x800000, 0x000080, 0xff8000};

QIcon swatchIcon(QColor c) {
    QPixmap pm(16, 16);
    pm.fill(c);
    QPainter p(&pm);
    p.setPen(Qt::gray);
    p.drawRect(0, 0, 15, 15);
    return QIcon(pm);
}

}  // namespace

DrawToolbarWindow::DrawToolbarWindow(DrawTool& tool, QWidget* owner)
    : QWidget(owner, Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint), tool_(tool) {
    setObjectName(QStringLiteral("DrawToolbar"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(4, 4, 4, 4);
    column->setSpacing(4);

    auto* toolGrid = new QGridLayout;
    toolGrid->setSpacing(2);
    tools_ = new QButtonGroup(this);
    tools_->setExclusive(true);
    int i = 0;
    for (const ToolEntry& e : kTools) {
        auto* b = new QToolButton(this);
        b->setText(QString::fromUtf8(e.text));
        b->setToolTip(QString::fromUtf8(e.tip));
        b->setCheckable(true);
        b->setMinimumSize(32, 26);
        tools_->addButton(b, int(e.tool));
        toolGrid->addWidget(b, i / 4, i % 4);
        ++i;
    }
    column->addLayout(toolGrid);

    auto* colourGrid = new QGridLayout;
    colourGrid->setSpacing(2);
    colours_ = new QButtonGroup(this);
    colours_->setExclusive(true);
    for (int k = 0; k < 13; ++k) {
        auto* b = new QToolButton(this);
        b->setCheckable(true);
        b->setAutoRaise(true);
        colours_->addButton(b, k);
        colourGrid->addWidget(b, k / 7, k % 7);
    }
    column->addLayout(colourGrid);

    auto* widthRow = new QHBoxLayout;
    widthRow->addWidget(new QLabel(QStringLiteral("太さ"), this));
    width_ = new QSpinBox(this);
    width_->setSuffix(QStringLiteral(" px"));
    width_->setToolTip(QStringLiteral("ﾍﾟﾝの太さ (画像のﾋﾟｸｾﾙ)"));
    widthRow->addWidget(width_, 1);
    column->addLayout(widthRow);

    connect(tools_, &QButtonGroup::idClicked, this, [this](int id) {
        if (!syncing_)
            tool_.setTool(DrawTool::Tool(id));
    });
    connect(colours_, &QButtonGroup::idClicked, this, [this](int id) {
        if (!syncing_ && id >= 0 && id < swatchColours_.size())
            tool_.setColour(swatchColours_[id]);
    });
    connect(width_, &QSpinBox::valueChanged, this, [this](int w) {
        if (!syncing_)
            tool_.setPenWidth(w);
    });
}

void DrawToolbarWindow::applySettings(const QString& caption, bool stayOnTop) {
    setWindowTitle(caption);
    const Qt::WindowFlags wanted =
        Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | (stayOnTop ? Qt::WindowStaysOnTopHint : Qt::Widget);
    if (windowFlags() != wanted)
        setWindowFlags(wanted);
    fillSwatches();
    sync();
}

void DrawToolbarWindow::fillSwatches() {
    // The host's colour first, then a fixed set without repeating it.
    swatchColours_.clear();
    swatchColours_ << tool_.PenColor.toRgb();
    for (QRgb c : kPalette)
        if (swatchColours_.size() < colours_->buttons().size() && QColor(c) != swatchColours_.first())
            swatchColours_ << QColor(c);
    for (int k = 0; k < colours_->buttons().size(); ++k) {
        QAbstractButton* b = colours_->button(k);
        const bool used = k < swatchColours_.size();
        b->setVisible(used);
        if (used) {
            b->setIcon(swatchIcon(swatchColours_[k]));
            b->setToolTip(swatchColours_[k].name(QColor::HexRgb).toUpper());
        }
    }
}

void DrawToolbarWindow::sync() {
    syncing_ = true;
    if (QAbstractButton* b = tools_->button(int(tool_.tool())))
        b->setChecked(true);
    QAbstractButton* stamp = tools_->button(DrawTool::Stamp);
    const bool haveStamp = !tool_.stamp().isNull();
    stamp->setEnabled(haveStamp);
    if (haveStamp) {
        const QImage icon = tool_.stamp().image.scaled(20, 20, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        stamp->setIcon(QIcon(QPixmap::fromImage(icon)));
        stamp->setToolTip(QString::fromUtf8(kTools[7].tip));
    } else {
        stamp->setToolTip(QStringLiteral("ｽﾀﾝﾌﾟ画像を読み込めません: ") + errorText(tool_.stampError()) +
                          QStringLiteral("\n") + tool_.StampFile);
    }
    const int k = swatchColours_.indexOf(tool_.colour());
    if (k >= 0)
        colours_->button(k)->setChecked(true);
    width_->setRange(1, tool_.maxPenWidth());
    width_->setValue(tool_.penWidth());
    syncing_ = false;
}

void DrawToolbarWindow::hideByProgram() {
    programHide_ = true;
    hide();
    programHide_ = false;
}

void DrawToolbarWindow::closeEvent(QCloseEvent* e) {
    e->accept();
    if (!programHide_)
        tool_.windowClosedByUser();
}

QToolButton* DrawToolbarWindow::toolButton(int tool) const {
    return qobject_cast<QToolButton*>(tools_->button(tool));
}

QToolButton* DrawToolbarWindow::swatch(int index) const {
    return index < swatchColours_.size() ? qobject_cast<QToolButton*>(colours_->button(index)) : nullptr;
}

int DrawToolbarWindow::swatchCount() const {
    return int(swatchColours_.size());
}

}  // namespace engine

#include "engine/draw_tool.h"

#include "engine/codecs/codecs.h"
#include "engine/draw_toolbar_window.h"
#include "engine/drawing.h"
#include "engine/image_engine.h"
#include "engine/view_mapping.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <algorithm>

namespace engine {

DrawTool::DrawTool(ImageEngine& engine) : engine_(engine) {}

DrawTool::~DrawTool() {
    delete window_;
}

QWidget* DrawTool::window() const {
    return window_;
}

int DrawTool::maxPenWidth() const {
    return SettingA >= 1 ? std::min(SettingA, 99) : 20;
}

void DrawTool::setTool(Tool t) {
    tool_ = (t >= NoTool && t <= Stamp) ? t : NoTool;
    if (tool_ == Stamp && stamp_.isNull())
        tool_ = NoTool;
    if (window_)
        window_->sync();
    engine_.updateCursor();
}

void DrawTool::setColour(QColor c) {
    if (c.isValid())
        colour_ = c.toRgb();
    if (window_)
        window_->sync();
}

void DrawTool::setPenWidth(int w) {
    width_ = std::clamp(w, 1, maxPenWidth());
    if (window_)
        window_->sync();
}

void DrawTool::setStamp(const Picture& stamp) {
    stamp_ = stamp;
    stampError_ = stamp.isNull() ? Error::NoPicture : Error::None;
    stampFrom_ = StampFile;
    if (window_)
        window_->sync();
}

void DrawTool::loadStamp() {
    if (StampFile == stampFrom_ && (!stamp_.isNull() || stampError_ != Error::None))
        return;
    stampFrom_ = StampFile;
    stamp_ = Picture();
    codecs::Decoded d;
    Error err = Error::None;
    if (StampFile.isEmpty()) {
        stampError_ = Error::FileMissing;
    } else if (codecs::decodeFile(StampFile, d, err) && !d.picture.isNull()) {
        stamp_ = d.picture;
        stampError_ = Error::None;
    } else {
        stampError_ = err == Error::None ? Error::Damaged : err;
    }
}

void DrawTool::placeWindow() {
    window_->adjustSize();
    const QSize size = window_->frameGeometry().size().expandedTo(window_->size());
    QPoint at(Left, Top);
    QScreen* screen = QGuiApplication::screenAt(at);
    if (!screen)
        screen = engine_.screen() ? engine_.screen() : QGuiApplication::primaryScreen();
    if (screen) {
        // Placed beside the main window it may hang off the screen: keep it reachable.
        const QRect avail = screen->availableGeometry();
        at.setX(std::clamp(at.x(), avail.left(), std::max(avail.left(), avail.right() + 1 - size.width())));
        at.setY(std::clamp(at.y(), avail.top(), std::max(avail.top(), avail.bottom() + 1 - size.height())));
    }
    window_->move(at);
}

bool DrawTool::Show(int) {
    loadStamp();
    colour_ = PenColor.isValid() ? PenColor.toRgb() : QColor(Qt::black);
    width_ = std::clamp(width_, 1, maxPenWidth());
    tool_ = NoTool;
    if (!window_)
        window_ = new DrawToolbarWindow(*this, &engine_);
    window_->applySettings(Caption.isEmpty() ? QStringLiteral("ToolBar") : Caption, OptionA);
    setTool(Tool(SettingB));
    placeWindow();
    window_->show();
    window_->raise();
    const bool wasOpen = open_;
    open_ = true;
    engine_.updateCursor();
    engine_.setError(Error::None);
    if (!wasOpen)
        emit engine_.drawToolState(1);
    return true;
}

bool DrawTool::CloseDrawTool() {
    if (!open_)
        return false;
    open_ = false;
    stroke_.clear();
    stroking_ = false;
    if (window_)
        window_->hideByProgram();
    // The strokes made with the toolbar are now the host's: no later
    // UndoLastEdit takes the last one back.
    engine_.dropUndo();
    engine_.updateCursor();
    return true;
}

void DrawTool::windowClosedByUser() {
    if (!open_)
        return;
    open_ = false;
    stroke_.clear();
    stroking_ = false;
    engine_.dropUndo();
    engine_.updateCursor();
    emit engine_.drawToolState(0);
}

void DrawTool::toolbarChanged() {
    engine_.updateCursor();
}

// ---- strokes ------------------------------------------------------------------

void DrawTool::press(QPoint pixel) {
    stroke_.clear();
    stroke_ << pixel;
    stroking_ = true;
}

void DrawTool::move(QPoint pixel) {
    if (!stroking_)
        return;
    if (tool_ == Pen) {
        if (stroke_.isEmpty() || stroke_.last() != pixel)
            stroke_ << pixel;
    } else if (stroke_.size() < 2) {
        stroke_ << pixel;
    } else {
        stroke_.last() = pixel;
    }
}

bool DrawTool::release(QPoint pixel) {
    if (!stroking_)
        return false;
    move(pixel);
    stroking_ = false;
    const QList<QPoint> points = stroke_;
    stroke_.clear();
    if (points.isEmpty() || !open_)
        return false;
    const Tool tool = tool_;
    const QColor colour = colour_;
    const int width = width_;
    const Picture stamp = stamp_;
    const std::optional<QColor> clear = OptionB ? std::optional<QColor>(BackColor) : std::nullopt;
    const bool ok = engine_.applyEdit(
        [&](Picture& pic) { return applyStroke(pic, tool, points, colour, width, stamp, clear); });
    if (ok)
        emit engine_.drawingApplied();
    return ok;
}

bool DrawTool::applyStroke(Picture& pic, Tool tool, const QList<QPoint>& points, QColor colour, int width,
                           const Picture& stamp, std::optional<QColor> transparent) {
    if (points.isEmpty())
        return false;
    const QPoint a = points.first(), b = points.last();
    switch (tool) {
    case Pen: return drawing::drawPolyline(pic, points, colour, width);
    case Line: return drawing::drawLine(pic, a, b, colour, width);
    case Rect: return drawing::drawRect(pic, a, b, colour, width, false);
    case FilledRect: return drawing::drawRect(pic, a, b, colour, width, true);
    case Ellipse: return drawing::drawEllipse(pic, a, b, colour, width, false);
    case FilledEllipse: return drawing::drawEllipse(pic, a, b, colour, width, true);
    case Stamp: return drawing::placeStamp(pic, stamp, b, transparent);
    case NoTool: break;
    }
    return false;
}

void DrawTool::paintPreview(QPainter& painter, const QRectF& display, QSize picture) const {
    if (!stroking_ || stroke_.isEmpty() || picture.isEmpty() || tool_ == Stamp)
        return;
    const double kx = display.width() / picture.width(), ky = display.height() / picture.height();
    auto centre = [&](QPoint p) {
        return QPointF(display.x() + (p.x() + 0.5) * kx, display.y() + (p.y() + 0.5) * ky);
    };
    const QPoint a = stroke_.first(), b = stroke_.last();
    const QRect px = QRect(a, b).normalized();
    const QRectF box = pictureToView(QRect(px.topLeft(), px.size()), display, picture);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    QPen pen(colour_, std::max(1.0, width_ * kx), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.setPen(pen);
    switch (tool_) {
    case Pen: {
        QPolygonF line;
        for (QPoint p : stroke_)
            line << centre(p);
        if (line.size() == 1)
            painter.drawPoint(line.first());
        else
            painter.drawPolyline(line);
        break;
    }
    case Line: painter.drawLine(centre(a), centre(b)); break;
    case Rect: painter.drawRect(box); break;
    case FilledRect: painter.fillRect(box, colour_); break;
    case Ellipse: painter.drawEllipse(box); break;
    case FilledEllipse:
        painter.setBrush(colour_);
        painter.setPen(Qt::NoPen);
        painter.drawEllipse(box);
        break;
    default: break;
    }
    painter.restore();
}

}  // namespace engine

// The view of an engine instance: layout and scroll bars, painting from the
// cached rendition, the rubber-band selection, mouse buttons and file drops.
#include "engine/colour_management.h"
#include "engine/draw_tool.h"
#include "engine/image_engine.h"

#include "platform/file_names.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QWheelEvent>
#include <cmath>

namespace engine {

namespace {

int buttonCode(Qt::MouseButton b) {
    switch (b) {
    case Qt::LeftButton: return 1;
    case Qt::RightButton: return 2;
    case Qt::MiddleButton: return 4;
    default: return 0;
    }
}

int shiftCode(Qt::KeyboardModifiers m) {
    return (m & Qt::ShiftModifier ? 1 : 0) | (m & Qt::ControlModifier ? 2 : 0) | (m & Qt::AltModifier ? 4 : 0);
}

QString firstLocalFile(const QMimeData* mime) {
    if (!mime || !mime->hasUrls())
        return QString();
    const QList<QUrl> urls = mime->urls();
    if (urls.isEmpty() || !urls.first().isLocalFile())
        return QString();
    // The path's bytes as the URL carries them, so that a name that is not
    // UTF-8 still names its file.
    const QByteArray path = QByteArray::fromPercentEncoding(urls.first().path(QUrl::FullyEncoded).toLatin1());
    return platform::decodeFileName(path);
}

}  // namespace

// ---- layout -------------------------------------------------------------------

QSize ImageEngine::shownSize() const {
    if (!standIn_.isNull())
        return standInSize_;
    const Picture* p = current();
    return p ? p->image.size() : QSize();
}

void ImageEngine::showStandIn(const QImage& image, QSize fullSize) {
    if (image.isNull() || fullSize.isEmpty())
        return;
    standIn_ = image;
    standInSize_ = fullSize;
    relayout();
    repaint();
}

void ImageEngine::dropStandIn() {
    if (standIn_.isNull())
        return;
    standIn_ = QImage();
    relayout();
    update();
}

void ImageEngine::relayout() {
    const QSize shown = shownSize();
    const int extent = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    if (!shown.isEmpty()) {
        geom_ = layoutView(dispMode_, shown, size(), extent, zoom_);
    } else {
        geom_ = ViewGeometry();
        geom_.viewport = size();
    }
    layoutPicture_ = shown;
    layoutMode_ = dispMode_;
    layoutZoom_ = zoom_;
    layoutWidget_ = size();

    const QSignalBlocker hb(hbar_), vb(vbar_);
    hbar_->setRange(0, geom_.maxScroll.x());
    vbar_->setRange(0, geom_.maxScroll.y());
    hbar_->setPageStep(std::max(1, geom_.viewport.width()));
    vbar_->setPageStep(std::max(1, geom_.viewport.height()));
    hbar_->setSingleStep(std::max(1, geom_.viewport.width() / 20));
    vbar_->setSingleStep(std::max(1, geom_.viewport.height() / 20));
    if (geom_.hScroll)
        hbar_->setGeometry(0, height() - extent, geom_.viewport.width(), extent);
    if (geom_.vScroll)
        vbar_->setGeometry(width() - extent, 0, extent, geom_.viewport.height());
    hbar_->setVisible(geom_.hScroll);
    vbar_->setVisible(geom_.vScroll);
    const double zoomShown = shown.isEmpty() ? 0 : shownZoom(geom_, shown);
    if (zoomShown != reportedZoom_) {
        reportedZoom_ = zoomShown;
        emit zoomChanged();
    }
}

QPoint ImageEngine::scrollPosition() const {
    return QPoint(hbar_->value(), vbar_->value());
}

void ImageEngine::setScrollPosition(QPoint p) {
    hbar_->setValue(p.x());
    vbar_->setValue(p.y());
}

QRect ImageEngine::pictureRectInView() const {
    return geom_.displayRect(scrollPosition());
}

QPoint ImageEngine::pixelAt(QPointF widgetPos) const {
    const Picture* p = current();
    if (!p)
        return QPoint();
    return viewToPicture(widgetPos, QRectF(pictureRectInView()), p->image.size());
}

QRect ImageEngine::visibleDisplayArea() const {
    const QRect disp = pictureRectInView();
    return QRect(QPoint(-disp.x(), -disp.y()), geom_.viewport) & QRect(QPoint(0, 0), geom_.display);
}

void ImageEngine::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    relayout();
}

// ---- painting -----------------------------------------------------------------

void ImageEngine::setRenditionFilter(RenditionFilter filter) {
    filter_ = std::move(filter);
    cache_ = Rendition();
    update();
}

void ImageEngine::ensureRendition(const QRect& visible) {
    const Picture* p = current();
    const bool standIn = !standIn_.isNull();
    const QImage& source = standIn ? standIn_ : p->image;
    // A change of profile alone (an undo step brought back) redraws too.
    const qint64 key = standIn ? source.cacheKey() : p->image.cacheKey() ^ (qint64(qHash(p->metadata.icc)) << 20);
    if (!cache_.image.isNull() && cacheKey_ == key && cacheDisplay_ == geom_.display && cache_.area.contains(visible))
        return;
    const QRect whole(QPoint(0, 0), geom_.display);
    // With a filter, only what is shown (and a narrow margin) goes through it.
    const bool full = !filter_ && qint64(geom_.display.width()) * geom_.display.height() <= kFullRenditionPixels;
    const int margin = filter_ ? kRenditionMargin / 6 : kRenditionMargin;
    const QRect want = full ? whole : visible.adjusted(-margin, -margin, margin, margin) & whole;
    cache_ = Rendition();  // let the old one go before the new one is built
    cache_ = renderRendition(source, geom_.display, want);
    if (filter_ && !cache_.image.isNull()) {
        QImage shown = filter_(cache_.image);
        if (shown.size() == cache_.image.size())
            cache_.image = shown.convertToFormat(QImage::Format_RGB32);
    }
    if (!standIn)
        colour::displayInSrgb(cache_.image, p->metadata.icc);  // the pixels keep the file's colours
    ++renditionBuilds_;
    cacheKey_ = key;
    cacheDisplay_ = geom_.display;
}

void ImageEngine::paintEvent(QPaintEvent*) {
    paintPicture();
    emit painted();
}

void ImageEngine::paintPicture() {
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Dark));
    const Picture* p = current();
    if (!p && standIn_.isNull()) {
        cache_ = Rendition();
        return;
    }
    const QSize shown = shownSize();
    if (layoutPicture_ != shown || layoutMode_ != dispMode_ || layoutZoom_ != zoom_ || layoutWidget_ != size())
        relayout();
    if (geom_.display.isEmpty())
        return;
    painter.setClipRect(QRect(QPoint(0, 0), geom_.viewport));
    const QRect disp = pictureRectInView();
    const QRect visible = visibleDisplayArea();
    if (visible.isEmpty())
        return;
    ensureRendition(visible);
    painter.drawImage(disp.topLeft() + cache_.area.topLeft(), cache_.image);

    const QRectF dispF(disp);
    if (!sel_.isNone()) {
        const double kx = dispF.width() / shown.width(), ky = dispF.height() / shown.height();
        const int x0 = int(std::lround(disp.x() + sel_.left * kx));
        const int y0 = int(std::lround(disp.y() + sel_.top * ky));
        const int x1 = std::max(x0, int(std::lround(disp.x() + sel_.right * kx)) - 1);
        const int y1 = std::max(y0, int(std::lround(disp.y() + sel_.bottom * ky)) - 1);
        const QRect band(x0, y0, x1 - x0, y1 - y0);
        painter.setPen(QPen(Qt::black, 0, Qt::SolidLine));
        painter.drawRect(band);
        painter.setPen(QPen(Qt::white, 0, Qt::DashLine));
        painter.drawRect(band);
    }
    if (drawTool_ && drag_ == Drag::Draw && p)
        drawTool_->paintPreview(painter, dispF, p->image.size());
}

// ---- mouse ----------------------------------------------------------------------

void ImageEngine::mousePressEvent(QMouseEvent* e) {
    const Picture* p = current();
    const QPoint px = pixelAt(e->position());
    if (p && drag_ == Drag::None) {
        if (e->button() == Qt::LeftButton) {
            if (drawTool_ && drawTool_->capturesMouse()) {
                drag_ = Drag::Draw;
                drawTool_->press(px);
                update();
            } else {
                drag_ = Drag::Select;
                dragMoved_ = false;
                pressPixel_ = px;
                pressPos_ = e->position();
            }
        } else if (e->button() == Qt::MiddleButton && geom_.maxScroll != QPoint()) {
            drag_ = Drag::Pan;
            panStart_ = e->position().toPoint();
            panScroll_ = scrollPosition();
        }
    }
    const int code = buttonCode(e->button());
    if (code)
        emit mouseButton(code, shiftCode(e->modifiers()), px.x(), px.y());
}

void ImageEngine::autoScrollTowards(QPointF pos) {
    if (geom_.maxScroll == QPoint())
        return;
    const QSize v = geom_.viewport;
    const int dx = pos.x() < 0 ? int(pos.x()) : (pos.x() >= v.width() ? int(pos.x()) - v.width() + 1 : 0);
    const int dy = pos.y() < 0 ? int(pos.y()) : (pos.y() >= v.height() ? int(pos.y()) - v.height() + 1 : 0);
    if (dx || dy)
        setScrollPosition(scrollPosition() + QPoint(dx, dy));
}

void ImageEngine::mouseMoveEvent(QMouseEvent* e) {
    if (!current()) {
        drag_ = Drag::None;
        return;
    }
    switch (drag_) {
    case Drag::Select: {
        autoScrollTowards(e->position());
        const QPoint px = pixelAt(e->position());
        if (!dragMoved_) {
            const int travel = (e->position() - pressPos_).manhattanLength();
            if (px == pressPixel_ && travel < QApplication::startDragDistance())
                break;
            dragMoved_ = true;
        }
        const SelectionEdges s = selectionFromPixels(pressPixel_, px);
        if (s != sel_) {
            sel_ = s;
            update();
        }
        break;
    }
    case Drag::Draw:
        autoScrollTowards(e->position());
        drawTool_->move(pixelAt(e->position()));
        update();
        break;
    case Drag::Pan:
        setScrollPosition(panScroll_ - (e->position().toPoint() - panStart_));
        break;
    case Drag::None: break;
    }
    reportPointer(e->position());  // after the selection followed the pointer
}

void ImageEngine::mouseReleaseEvent(QMouseEvent* e) {
    const Drag was = drag_;
    if (was == Drag::Select && e->button() == Qt::LeftButton) {
        mouseMoveEvent(e);
        drag_ = Drag::None;
        if (!dragMoved_)
            sel_ = SelectionEdges();  // a click without a drag clears the selection
        update();
        emit selectionChanged();
    } else if (was == Drag::Draw && e->button() == Qt::LeftButton) {
        drag_ = Drag::None;
        if (current() && drawTool_)
            drawTool_->release(pixelAt(e->position()));
        update();
    } else if (was == Drag::Pan && e->button() == Qt::MiddleButton) {
        drag_ = Drag::None;
    }
}

void ImageEngine::reportPointer(QPointF pos) {
    const Picture* p = current();
    if (!p)
        return;
    const QRect disp = pictureRectInView();
    const bool inside = QRect(QPoint(0, 0), geom_.viewport).contains(pos.toPoint()) && disp.contains(pos.toPoint());
    emit pointerMoved(pixelAt(pos), inside);
}

void ImageEngine::leaveEvent(QEvent* e) {
    QWidget::leaveEvent(e);
    if (current())
        emit pointerMoved(QPoint(), false);
}

double ImageEngine::ShownZoom() const {
    const Picture* p = current();
    return p ? shownZoom(geom_, p->image.size()) : 0;
}

bool ImageEngine::SetZoom(double zoom, QPointF anchor) {
    const Picture* p = current();
    if (!p || !(zoom >= kMinZoom && zoom <= kMaxZoom)) {
        error_ = p ? Error::BadArgument : Error::NoPicture;
        return false;
    }
    if (layoutPicture_ != p->image.size() || layoutMode_ != dispMode_ || layoutZoom_ != zoom_ || layoutWidget_ != size())
        relayout();
    const QRectF before(pictureRectInView());
    zoom_ = zoom;
    relayout();
    setScrollPosition(scrollKeepingPoint(anchor, before, p->image.size(), geom_));
    update();
    error_ = Error::None;
    return true;
}

bool ImageEngine::ZoomStep(int direction, std::optional<QPointF> anchor) {
    if (!current()) {
        error_ = Error::NoPicture;
        return false;
    }
    const QPointF at = anchor ? *anchor : QPointF(geom_.viewport.width() / 2.0, geom_.viewport.height() / 2.0);
    const double now = ShownZoom();
    const double next = nextZoomStep(now, direction);
    if (next == now && zoom_ > 0) {
        error_ = Error::None;
        return true;  // already at the end of the steps
    }
    return SetZoom(next, at);
}

void ImageEngine::wheelEvent(QWheelEvent* e) {
    if ((e->modifiers() & ~Qt::KeypadModifier) == Qt::ControlModifier) {
        // Ctrl+wheel zooms about the pointer, one step per notch.
        // Fine-grained wheels (touch pads) send parts of a notch: they add up.
        wheelZoomDelta_ += e->angleDelta().y() != 0 ? e->angleDelta().y() : e->angleDelta().x();
        while (current() && std::abs(wheelZoomDelta_) >= 120) {
            const int direction = wheelZoomDelta_ > 0 ? 1 : -1;
            wheelZoomDelta_ -= direction * 120;
            ZoomStep(direction, e->position());
        }
        if (!current())
            wheelZoomDelta_ = 0;
        e->accept();
        return;
    }
    if (geom_.maxScroll == QPoint()) {
        e->ignore();
        return;
    }
    const QPoint delta = e->angleDelta();
    const bool sideways = (e->modifiers() & Qt::ShiftModifier) || geom_.maxScroll.y() == 0;
    const int steps = -(delta.y() != 0 ? delta.y() : delta.x());
    QScrollBar* bar = sideways ? hbar_ : vbar_;
    bar->setValue(bar->value() + steps * bar->singleStep() * 3 / 120);
    e->accept();
}

// ---- drops ------------------------------------------------------------------------

void ImageEngine::dragEnterEvent(QDragEnterEvent* e) {
    if (!firstLocalFile(e->mimeData()).isEmpty())
        e->acceptProposedAction();
}

void ImageEngine::dragMoveEvent(QDragMoveEvent* e) {
    if (!firstLocalFile(e->mimeData()).isEmpty())
        e->acceptProposedAction();
}

void ImageEngine::dropEvent(QDropEvent* e) {
    const QString path = firstLocalFile(e->mimeData());
    if (path.isEmpty())
        return;
    e->acceptProposedAction();
    emit fileDropped(path, 0);
}

void ImageEngine::updateCursor() {
    if (busyWait_.shown())
        setCursor(mousePointer_ == 11 ? Qt::WaitCursor : Qt::BusyCursor);
    else if (drawTool_ && drawTool_->capturesMouse())
        setCursor(Qt::CrossCursor);
    else
        unsetCursor();
}

}  // namespace engine

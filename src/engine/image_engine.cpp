#include "engine/image_engine.h"

#include "engine/draw_tool.h"
#include "engine/picture_store.h"
#include "engine/ops/ops.h"
#include "engine/view_mapping.h"

#include <QApplication>
#include <QClipboard>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>

namespace engine {

ImageEngine::ImageEngine(QWidget* parent) : QWidget(parent), file_(*this), edit_(*this) {
    setAcceptDrops(true);
    setAttribute(Qt::WA_OpaquePaintEvent, false);
}

ImageEngine::~ImageEngine() {
    delete drawTool_;
}

DrawTool& ImageEngine::drawTool() {
    if (!drawTool_)
        drawTool_ = new DrawTool(*this);
    return *drawTool_;
}

Picture* ImageEngine::current() {
    return PictureStore::instance().find(handle_);
}

void ImageEngine::SetImageHandle(quint32 handle) {
    if (handle == handle_)
        return;
    if (handle != 0 && !PictureStore::instance().find(handle)) {
        error_ = Error::BadHandle;
        return;
    }
    PictureStore::instance().remove(handle_);
    handle_ = handle;
    hasUndo_ = false;
    beforeLastEdit_ = Picture();
    invalidateCache();
}

quint32 ImageEngine::CopyImage(quint32 handle) {
    const quint32 h = PictureStore::instance().copy(handle);
    error_ = h ? Error::None : Error::BadHandle;
    return h;
}

bool ImageEngine::FreeImage(quint32 handle) {
    if (!PictureStore::instance().remove(handle)) {
        error_ = Error::BadHandle;
        return false;
    }
    if (handle == handle_) {
        handle_ = 0;
        hasUndo_ = false;
        beforeLastEdit_ = Picture();
        invalidateCache();
    }
    return true;
}

void ImageEngine::replaceCurrent(Picture pic) {
    const quint32 h = PictureStore::instance().add(std::move(pic));
    PictureStore::instance().remove(handle_);
    handle_ = h;
    hasUndo_ = false;
    beforeLastEdit_ = Picture();
    invalidateCache();
}

bool ImageEngine::ApplyDispMode(int mode) {
    if (mode < 1 || mode > 5) {
        error_ = Error::BadArgument;
        return false;
    }
    dispMode_ = mode;
    invalidateCache();
    return true;
}

void ImageEngine::Refresh() {
    invalidateCache();
}

bool ImageEngine::ReadImageInfo() {
    const Picture* p = current();
    if (!p) {
        infoWidth_ = infoHeight_ = infoBits_ = infoType_ = 0;
        infoSize_ = 0;
        infoGray_ = false;
        return false;
    }
    infoWidth_ = p->width();
    infoHeight_ = p->height();
    infoBits_ = p->bits;
    infoSize_ = dibSize(*p);
    infoGray_ = isGray(*p);
    infoType_ = 1;
    return true;
}

bool ImageEngine::applyEdit(const std::function<bool(Picture&)>& op, Error failure) {
    Picture* p = current();
    if (!p) {
        error_ = Error::NoPicture;
        return false;
    }
    emit longOperationStarted();
    Picture work = *p;  // shares pixels until op writes
    bool ok = false;
    try {
        ok = op(work);
    } catch (const std::bad_alloc&) {
        ok = false;
        failure = Error::OutOfMemory;
    }
    if (ok) {
        beforeLastEdit_ = *p;
        hasUndo_ = true;
        *p = std::move(work);
        error_ = Error::None;
        invalidateCache();
    } else {
        error_ = failure;
    }
    emit longOperationFinished();
    return ok;
}

bool ImageEngine::UndoLastEdit() {
    Picture* p = current();
    if (!p || !hasUndo_)
        return false;
    *p = beforeLastEdit_;
    beforeLastEdit_ = Picture();
    hasUndo_ = false;
    invalidateCache();
    return true;
}

bool ImageEngine::PasteClipboard() {
    const QImage img = QApplication::clipboard()->image();
    if (img.isNull()) {
        error_ = Error::ClipboardEmpty;
        return false;
    }
    Picture pic = makePicture(img, img.hasAlphaChannel() ? 32 : 24);
    if (pic.isNull()) {
        error_ = Error::ClipboardEmpty;
        return false;
    }
    replaceCurrent(std::move(pic));
    error_ = Error::None;
    return true;
}

bool ImageEngine::ClipboardCopy() {
    const Picture* p = current();
    if (!p) {
        error_ = Error::NoPicture;
        return false;
    }
    QApplication::clipboard()->setImage(p->image);
    return true;
}

bool ImageEngine::ConvertBits(int bits, int, int, int, int) {
    if (bits != 24) {
        error_ = Error::BadArgument;
        return false;
    }
    return applyEdit([](Picture& p) { return ops::convertTo24(p); });
}

void ImageEngine::SetMousePointer(int code) {
    mousePointer_ = code;
    if (code == 14 || code == 11)
        setCursor(Qt::WaitCursor);
    else
        unsetCursor();
}

void ImageEngine::invalidateCache() {
    cache_ = QPixmap();
    update();
}

// ---- the view -------------------------------------------------------------

void ImageEngine::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Dark));
    const Picture* p = current();
    if (!p)
        return;
    const QRectF target = displayRect(dispMode_, p->image.size(), size());
    if (cache_.isNull() || cacheTarget_ != target.toAlignedRect()) {
        cacheTarget_ = target.toAlignedRect();
        cache_ = QPixmap::fromImage(p->image.scaled(cacheTarget_.size(), Qt::IgnoreAspectRatio,
                                                    Qt::SmoothTransformation));
    }
    painter.drawPixmap(cacheTarget_.topLeft(), cache_);
    if (sel_.left || sel_.top || sel_.right || sel_.bottom) {
        const QRect px(QPoint(sel_.left, sel_.top), QPoint(sel_.right - 1, sel_.bottom - 1));
        painter.setPen(QPen(Qt::white, 1, Qt::DashLine));
        painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        painter.drawRect(pictureToView(px, target, p->image.size()));
    }
}

void ImageEngine::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    invalidateCache();
}

static int buttonCode(Qt::MouseButton b) {
    switch (b) {
    case Qt::LeftButton: return 1;
    case Qt::RightButton: return 2;
    case Qt::MiddleButton: return 4;
    default: return 0;
    }
}

void ImageEngine::mousePressEvent(QMouseEvent* e) {
    const Picture* p = current();
    QPoint px;
    if (p)
        px = viewToPicture(e->position(), displayRect(dispMode_, p->image.size(), size()), p->image.size());
    if (e->button() == Qt::LeftButton && p) {
        dragging_ = true;
        dragStart_ = px;
        sel_ = Sel();
        update();
    }
    emit mouseButton(buttonCode(e->button()), int(e->modifiers() >> 25), px.x(), px.y());
}

void ImageEngine::mouseMoveEvent(QMouseEvent* e) {
    const Picture* p = current();
    if (!dragging_ || !p)
        return;
    const QPoint px = viewToPicture(e->position(), displayRect(dispMode_, p->image.size(), size()), p->image.size());
    sel_.left = std::min(dragStart_.x(), px.x());
    sel_.right = std::max(dragStart_.x(), px.x());
    sel_.top = std::min(dragStart_.y(), px.y());
    sel_.bottom = std::max(dragStart_.y(), px.y());
    update();
}

void ImageEngine::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton && dragging_) {
        mouseMoveEvent(e);
        dragging_ = false;
    }
}

void ImageEngine::dragEnterEvent(QDragEnterEvent* e) {
    if (e->mimeData()->hasUrls())
        e->acceptProposedAction();
}

void ImageEngine::dropEvent(QDropEvent* e) {
    const QList<QUrl> urls = e->mimeData()->urls();
    if (urls.isEmpty() || !urls.first().isLocalFile())
        return;
    e->acceptProposedAction();
    emit fileDropped(urls.first().toLocalFile(), 0);
}

}  // namespace engine

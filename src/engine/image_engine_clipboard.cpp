// Pictures to and from the system clipboard.
#include "engine/image_engine.h"

#include <QApplication>
#include <QClipboard>
#include <QMimeData>

namespace engine {

namespace {

// What other programs take best: plain 24-bit colour, or 32-bit with an opaque
// alpha channel for a 32-bit picture (so pasting it back keeps 32 bits).
QImage clipboardImage(const Picture& p) {
    if (p.bits == 32)
        return p.image.convertToFormat(QImage::Format_ARGB32);
    return p.image.convertToFormat(QImage::Format_RGB32);
}

}  // namespace

bool ImageEngine::PasteClipboard() {
    const QMimeData* mime = QApplication::clipboard()->mimeData();
    QImage img;
    if (mime && mime->hasImage())
        img = qvariant_cast<QImage>(mime->imageData());
    if (img.isNull()) {
        error_ = Error::ClipboardEmpty;
        return false;
    }
    if (!sizeAllowed(img.width(), img.height(), 32)) {
        error_ = Error::TooLarge;
        return false;
    }
    beginLongOperation(true);
    Picture pic;
    if (img.hasAlphaChannel())
        pic = makePicture(img.convertToFormat(QImage::Format_ARGB32), 32);  // unpremultiplied colours
    else
        pic = makePicture(img, 24);
    endLongOperation();
    if (pic.isNull()) {
        error_ = Error::OutOfMemory;
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
    const QImage img = clipboardImage(*p);
    if (img.isNull()) {
        error_ = Error::OutOfMemory;
        return false;
    }
    QApplication::clipboard()->setImage(img);
    error_ = Error::None;
    return true;
}

}  // namespace engine

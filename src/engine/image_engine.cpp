// The engine instance: picture handles, picture information, the edit frame
// with its one-step undo, errors and the busy pointer. The view is in
// image_engine_view.cpp, the clipboard in image_engine_clipboard.cpp.
#include "engine/image_engine.h"

#include "engine/draw_tool.h"
#include "engine/picture_store.h"

#include <QScrollBar>
#include <exception>
#include <new>

namespace engine {

ImageEngine::ImageEngine(QWidget* parent) : QWidget(parent), file_(*this), edit_(*this) {
    setAcceptDrops(true);
    setMouseTracking(true);  // the pointer's pixel is reported while it moves
    setFocusPolicy(Qt::WheelFocus);
    hbar_ = new QScrollBar(Qt::Horizontal, this);
    vbar_ = new QScrollBar(Qt::Vertical, this);
    hbar_->hide();
    vbar_->hide();
    connect(hbar_, &QScrollBar::valueChanged, this, [this] { update(); });
    connect(vbar_, &QScrollBar::valueChanged, this, [this] { update(); });
}

ImageEngine::~ImageEngine() {
    delete drawTool_;
    drawTool_ = nullptr;
    PictureStore::instance().remove(handle_);
}

DrawTool& ImageEngine::drawTool() {
    if (!drawTool_)
        drawTool_ = new DrawTool(*this);
    return *drawTool_;
}

Picture* ImageEngine::current() {
    return PictureStore::instance().find(handle_);
}

const Picture* ImageEngine::current() const {
    return PictureStore::instance().find(handle_);
}

void ImageEngine::dropUndo() {
    beforeLastEdit_ = Picture();
    hasUndo_ = false;
}

void ImageEngine::pictureChanged() {
    standIn_ = QImage();
    relayout();
    update();
}

// ---- handles ----------------------------------------------------------------

void ImageEngine::SetImageHandle(quint32 handle) {
    if (handle == handle_) {
        error_ = Error::None;
        return;
    }
    if (handle != 0 && !PictureStore::instance().find(handle)) {
        error_ = Error::BadHandle;
        return;
    }
    PictureStore::instance().remove(handle_);
    handle_ = handle;
    dropUndo();
    error_ = Error::None;
    pictureChanged();
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
        dropUndo();
        pictureChanged();
    }
    error_ = Error::None;
    return true;
}

void ImageEngine::replaceCurrent(Picture pic) {
    const quint32 h = PictureStore::instance().add(std::move(pic));
    PictureStore::instance().remove(handle_);
    handle_ = h;
    dropUndo();
    pictureChanged();
}

Origin ImageEngine::origin() const {
    const Picture* p = current();
    return p ? Origin{p->metadata, p->lineage} : Origin();
}

bool ImageEngine::restoreOrigin(const Origin& origin) {
    Picture* p = current();
    if (!p) {
        error_ = Error::NoPicture;
        return false;
    }
    p->metadata = origin.metadata;
    p->lineage = origin.lineage;
    p->lineage.pixelsKey = p->image.cacheKey();
    error_ = Error::None;
    return true;
}

// ---- information ------------------------------------------------------------

bool ImageEngine::ReadImageInfo() {
    const Picture* p = current();
    if (!p) {
        infoWidth_ = infoHeight_ = infoBits_ = infoType_ = 0;
        infoSize_ = 0;
        infoGray_ = false;
        error_ = Error::NoPicture;
        return false;
    }
    infoWidth_ = p->width();
    infoHeight_ = p->height();
    infoBits_ = p->bits;
    infoSize_ = dibSize(*p);
    infoGray_ = isGray(*p);
    infoType_ = 1;
    error_ = Error::None;
    return true;
}

// ---- edits and undo ---------------------------------------------------------

void ImageEngine::beginLongOperation(bool fileWork) {
    ++longDepth_;
    emit longOperationStarted(fileWork);
}

void ImageEngine::endLongOperation() {
    if (longDepth_ > 0)
        --longDepth_;
    emit longOperationFinished();
}

namespace {
struct LongOperation {
    explicit LongOperation(ImageEngine& e) : engine(e) { engine.beginLongOperation(); }
    ~LongOperation() { engine.endLongOperation(); }
    ImageEngine& engine;
};
}  // namespace

namespace {
int editsUntilInjectedFailure = 0;
}  // namespace

void ImageEngine::failEditForTesting(int nth) { editsUntilInjectedFailure = nth; }

bool ImageEngine::applyEdit(const std::function<bool(Picture&)>& op, Error failure,
                            const std::optional<GeometryStep>& geometry) {
    Picture* p = current();
    if (!p) {
        error_ = Error::NoPicture;
        return false;
    }
    LongOperation busy(*this);
    Picture work = *p;  // shares the pixels until op writes
    bool ok = false;
    try {
        if (editsUntilInjectedFailure > 0 && --editsUntilInjectedFailure == 0)
            throw std::bad_alloc();
        ok = op(work);
        if (ok && (work.isNull() || !sizeAllowed(work.width(), work.height(), work.bits)))
            ok = false;
    } catch (const std::bad_alloc&) {
        ok = false;
        failure = Error::OutOfMemory;
    } catch (const std::exception&) {
        ok = false;
    }
    if (!ok) {
        error_ = failure;
        return false;
    }
    p = current();  // op cannot touch the store, but stay safe against a stale pointer
    if (!p) {
        error_ = Error::NoPicture;
        return false;
    }
    // The file's metadata stays with the picture whatever the edit; the lineage
    // follows only edits that move pixels, and only while nothing else has
    // touched them.
    const bool lineageHeld = p->lineage.pixelsKey == p->image.cacheKey();
    work.metadata = p->metadata;
    work.lineage = p->lineage;
    if (geometry && lineageHeld)
        work.lineage.add(*geometry);
    else
        work.lineage.reworked = true;
    work.lineage.pixelsKey = work.image.cacheKey();
    beforeLastEdit_ = std::move(*p);
    hasUndo_ = true;
    *p = std::move(work);
    error_ = Error::None;
    pictureChanged();
    return true;
}

bool ImageEngine::UndoLastEdit() {
    Picture* p = current();
    if (!p || !hasUndo_) {
        error_ = p ? Error::NothingToUndo : Error::NoPicture;
        return false;
    }
    *p = std::move(beforeLastEdit_);
    dropUndo();
    error_ = Error::None;
    pictureChanged();
    return true;
}

bool ImageEngine::ConvertBits(int bits, int, int, int, int) {
    if (bits != 24) {
        error_ = Error::BadArgument;
        return false;
    }
    return applyEdit(
        [](Picture& p) {
            if (p.bits != 24)
                p = makePicture(p.image, 24);
            return !p.isNull();
        },
        Error::OutOfMemory);
}

// ---- view mode, refresh, pointer ----------------------------------------------

bool ImageEngine::ApplyDispMode(int mode) {
    if (mode < 1 || mode > 5) {
        error_ = Error::BadArgument;
        return false;
    }
    dispMode_ = mode;
    zoom_ = 0;  // a view mode shows the picture as the mode lays it out
    error_ = Error::None;
    relayout();
    update();
    return true;
}

void ImageEngine::Refresh() {
    dropUndo();
    relayout();
    update();
}

void ImageEngine::SetMousePointer(int code) {
    mousePointer_ = code;
    busyWait_.set(code == 11 || code == 13 || code == 14);
    updateCursor();
}

void ImageEngine::SetSelLeft(int v) {
    sel_.left = v;
    update();
}
void ImageEngine::SetSelTop(int v) {
    sel_.top = v;
    update();
}
void ImageEngine::SetSelRight(int v) {
    sel_.right = v;
    update();
}
void ImageEngine::SetSelBottom(int v) {
    sel_.bottom = v;
    update();
}

}  // namespace engine

// The Edit object: each edit checks its arguments, then runs one picture
// operation through ImageEngine::applyEdit (long-operation events, one-step
// undo, redraw, ErrorNumber).
#include "engine/depth_code.h"
#include "engine/image_engine.h"
#include "engine/ops/colour_preview.h"
#include "engine/ops/ops.h"
#include "engine/picture_store.h"

#include <cmath>

namespace engine {

bool EngineEdit::polygon(const QList<int>& xs, const QList<int>& ys, int n, QPolygon& out) const {
    out.clear();
    if (n < 1 || xs.size() < n || ys.size() < n)
        return false;
    for (int i = 0; i < n; ++i)
        out << QPoint(xs[i], ys[i]);
    return true;
}

bool EngineEdit::Trim() {
    const int l = TrimLeft, t = TrimTop, r = TrimRight, b = TrimBottom;
    const Picture* p = engine_.current();
    if (!p) {
        engine_.setError(Error::NoPicture);
        return false;
    }
    // Nothing would remain: refuse before any work.
    if (std::min(r, p->width()) <= std::max(l, 0) || std::min(b, p->height()) <= std::max(t, 0)) {
        engine_.setError(Error::BadArgument);
        return false;
    }
    const QRect kept(QPoint(std::max(l, 0), std::max(t, 0)),
                     QPoint(std::min(r, p->width()) - 1, std::min(b, p->height()) - 1));
    return engine_.applyEdit([=](Picture& pic) { return ops::trim(pic, l, t, r, b); }, Error::BadArgument,
                             GeometryStep{PixelMove(), kept});
}

bool EngineEdit::RegionTrim(const QList<int>& xs, const QList<int>& ys, int n, int, int, int) {
    QPolygon poly;
    if (!polygon(xs, ys, n, poly)) {
        engine_.setError(engine_.current() ? Error::BadArgument : Error::NoPicture);
        return false;
    }
    return engine_.applyEdit([&](Picture& pic) { return ops::regionTrim(pic, poly); });
}

bool EngineEdit::InvertChannels(const QList<int>& xs, const QList<int>& ys, int n, bool red, bool green, bool blue) {
    const bool whole = RegionMode != 2;
    QPolygon poly;
    if (!whole && !polygon(xs, ys, n, poly)) {
        engine_.setError(engine_.current() ? Error::BadArgument : Error::NoPicture);
        return false;
    }
    const Picture* p = engine_.current();
    const Error failure = (p && !whole && p->bits < 16) ? Error::Unsupported : Error::BadArgument;
    return engine_.applyEdit([&](Picture& pic) { return ops::invertChannels(pic, whole, poly, red, green, blue); },
                             failure);
}

bool EngineEdit::ConvertDepth(int depthCode, int, bool flag, int threshold) {
    if (!DepthCode::fromNumber(depthCode).valid()) {
        engine_.setError(engine_.current() ? Error::BadArgument : Error::NoPicture);
        return false;
    }
    // With a known code, a conversion fails only when its pictures cannot be allocated.
    return engine_.applyEdit([&](Picture& pic) { return ops::convertDepth(pic, depthCode, flag, threshold); },
                             Error::OutOfMemory);
}

bool EngineEdit::PreviewDepth(int depthCode, int threshold) {
    if (!DepthCode::fromNumber(depthCode).valid()) {
        engine_.setError(engine_.current() ? Error::BadArgument : Error::NoPicture);
        return false;
    }
    return engine_.applyEdit([&](Picture& pic) { return ops::previewDepth(pic, depthCode, threshold); },
                             Error::OutOfMemory);
}

bool EngineEdit::PanelDepth(int depthCode, int threshold, bool invert) {
    if (!DepthCode::fromNumber(depthCode).valid()) {
        engine_.setError(engine_.current() ? Error::BadArgument : Error::NoPicture);
        return false;
    }
    return engine_.applyEdit(
        [&](Picture& pic) { return ops::panelDepth(pic, pic, depthCode, threshold, invert); }, Error::OutOfMemory);
}

bool EngineEdit::InvertAll() {
    return engine_.applyEdit([](Picture& pic) { return ops::invertAll(pic); }, Error::OutOfMemory);
}

bool EngineEdit::Resize(int width, int height, bool) {
    const Picture* p = engine_.current();
    if (!p) {
        engine_.setError(Error::NoPicture);
        return false;
    }
    if (width <= 0 || height <= 0) {
        engine_.setError(Error::BadArgument);
        return false;
    }
    if (!sizeAllowed(width, height, p->bits)) {
        engine_.setError(Error::TooLarge);
        return false;
    }
    return engine_.applyEdit([&](Picture& pic) { return ops::resize(pic, width, height); });
}

bool EngineEdit::Rotate(int angle, bool mirrorLeftRight, bool mirrorTopBottom, bool flag, int r, int g, int b, int) {
    const QColor background(std::clamp(r, 0, 255), std::clamp(g, 0, 255), std::clamp(b, 0, 255));
    // Quarter turns and mirrors move pixels without changing any.
    std::optional<GeometryStep> geometry;
    if (angle % 9000 == 0) {
        PixelMove move;
        if (mirrorLeftRight)
            move = move.then(PixelMove::mirrorLeftRight());
        if (mirrorTopBottom)
            move = move.then(PixelMove::mirrorTopBottom());
        const int clockwise = ((-angle / 9000) % 4 + 4) % 4;
        geometry = GeometryStep{move.then(PixelMove{false, clockwise}), QRect()};
    }
    return engine_.applyEdit(
        [&](Picture& pic) { return ops::rotate(pic, angle, mirrorLeftRight, mirrorTopBottom, flag, background); },
        Error::BadArgument, geometry);
}

bool EngineEdit::PasteImage(quint32 handle, double posX, double posY) {
    const Picture* src = PictureStore::instance().find(handle);
    if (!src) {
        engine_.setError(Error::BadHandle);
        return false;
    }
    if (!std::isfinite(posX) || !std::isfinite(posY)) {
        engine_.setError(Error::BadArgument);
        return false;
    }
    const Picture copy = *src;  // shares the pixels; safe even when src is the current picture
    return engine_.applyEdit([&](Picture& pic) { return ops::pasteImage(pic, copy, posX, posY); });
}

}  // namespace engine

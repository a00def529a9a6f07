#include "engine/image_engine.h"
#include "engine/ops/ops.h"
#include "engine/picture_store.h"

namespace engine {

QPolygon EngineEdit::polygon(const QList<int>& xs, const QList<int>& ys, int n) const {
    QPolygon poly;
    const int count = std::min<qsizetype>({qsizetype(std::max(n, 0)), xs.size(), ys.size()});
    for (int i = 0; i < count; ++i)
        poly << QPoint(xs[i], ys[i]);
    return poly;
}

bool EngineEdit::Trim() {
    const int l = TrimLeft, t = TrimTop, r = TrimRight, b = TrimBottom;
    return engine_.applyEdit([=](Picture& p) { return ops::trim(p, l, t, r, b); });
}

bool EngineEdit::RegionTrim(const QList<int>& xs, const QList<int>& ys, int n, int, int, int) {
    const QPolygon poly = polygon(xs, ys, n);
    return engine_.applyEdit([&](Picture& p) { return ops::regionTrim(p, poly); });
}

bool EngineEdit::InvertChannels(const QList<int>& xs, const QList<int>& ys, int n, bool red, bool green, bool blue) {
    const QPolygon poly = polygon(xs, ys, n);
    const bool whole = RegionMode != 2;
    return engine_.applyEdit([&](Picture& p) { return ops::invertChannels(p, whole, poly, red, green, blue); });
}

bool EngineEdit::ConvertDepth(int depthCode, int, bool flag, int threshold) {
    return engine_.applyEdit([&](Picture& p) { return ops::convertDepth(p, depthCode, flag, threshold); });
}

bool EngineEdit::Resize(int width, int height, bool) {
    return engine_.applyEdit([&](Picture& p) { return ops::resize(p, width, height); });
}

bool EngineEdit::Rotate(int angle, bool mirrorLeftRight, bool mirrorTopBottom, bool flag, int r, int g, int b, int) {
    return engine_.applyEdit([&](Picture& p) {
        return ops::rotate(p, angle, mirrorLeftRight, mirrorTopBottom, flag, QColor(r, g, b));
    });
}

bool EngineEdit::PasteImage(quint32 handle, double posX, double posY) {
    const Picture* src = PictureStore::instance().find(handle);
    if (!src) {
        engine_.setError(Error::BadHandle);
        return false;
    }
    const Picture copy = *src;
    return engine_.applyEdit([&](Picture& p) { return ops::pasteImage(p, copy, posX, posY); });
}

}  // namespace engine

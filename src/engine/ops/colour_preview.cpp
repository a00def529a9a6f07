#include "engine/ops/colour_preview.h"

#include "engine/ops/ops.h"
#include "engine/ops/pixels.h"
#include "engine/ops/quantize.h"

namespace engine::ops {

bool previewDepth(Picture& pic, int depthCode, int threshold) {
    if (depthCode == 40)
        return convertDepth(pic, 80, false, threshold) && convertDepth(pic, 4, false, threshold);
    return convertDepth(pic, depthCode, false, threshold);
}

bool invertAll(Picture& pic) {
    return invertChannels(pic, true, QPolygon(), true, true, true);
}

bool panelDepth(Picture& pic, const Picture& whole, int depthCode, int threshold, bool invert) {
    const bool part = pic.image.cacheKey() != whole.image.cacheKey();
    if (part && (depthCode == 4 || depthCode == 8)) {
        if (!detail::wellFormed(pic) || !detail::wellFormed(whole))
            return false;
        const detail::PaletteChoice palette = detail::choosePalette(whole.image, depthCode == 4 ? 16 : 256);
        if (palette.colours.isEmpty())
            return false;
        QImage out = detail::remapToPalette(pic.image, palette.colours, false);
        if (out.isNull())
            return false;
        detail::copyMetrics(out, pic.image);
        pic.image = out;
        pic.bits = depthCode;
    } else if (!previewDepth(pic, depthCode, threshold)) {
        return false;
    }
    return !invert || invertAll(pic);
}

}  // namespace engine::ops

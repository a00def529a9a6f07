#include "engine/ops/colour_preview.h"

#include "engine/ops/ops.h"

namespace engine::ops {

bool previewDepth(Picture& pic, int depthCode, int threshold) {
    if (depthCode == 40)
        return convertDepth(pic, 80, false, threshold) && convertDepth(pic, 4, false, threshold);
    return convertDepth(pic, depthCode, false, threshold);
}

bool invertAll(Picture& pic) {
    return invertChannels(pic, true, QPolygon(), true, true, true);
}

}  // namespace engine::ops

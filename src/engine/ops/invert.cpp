#include "engine/ops/ops.h"

namespace engine::ops {

bool invertChannels(Picture&, bool, const QPolygon&, bool, bool, bool) { return false; }

}  // namespace engine::ops

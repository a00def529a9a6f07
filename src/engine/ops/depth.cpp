#include "engine/ops/ops.h"

namespace engine::ops {

bool convertDepth(Picture&, int, bool, int) { return false; }
bool convertTo24(Picture&) { return false; }

}  // namespace engine::ops

#include "engine/ops/ops.h"

namespace engine::ops {

bool trim(Picture&, int, int, int, int) { return false; }
bool regionTrim(Picture&, const QPolygon&) { return false; }
bool resize(Picture&, int, int) { return false; }
bool rotate(Picture&, int, bool, bool, bool, QColor) { return false; }
bool pasteImage(Picture&, const Picture&, double, double) { return false; }

}  // namespace engine::ops

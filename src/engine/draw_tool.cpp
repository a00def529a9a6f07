#include "engine/draw_tool.h"

namespace engine {

bool DrawTool::Show(int) {
    return false;
}

bool DrawTool::CloseDrawTool() {
    const bool was = open_;
    open_ = false;
    return was;
}

}  // namespace engine

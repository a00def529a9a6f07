#include "engine/picture_origin.h"

namespace engine {

PixelMove PixelMove::then(const PixelMove& next) const {
    // A mirror reverses the sense of the turns made before it.
    const int turns = next.mirror ? next.quarterTurns - quarterTurns : next.quarterTurns + quarterTurns;
    return PixelMove{mirror != next.mirror, ((turns % 4) + 4) % 4};
}

PixelMove PixelMove::fromOrientation(int orientation) {
    switch (orientation) {
    case 2: return {true, 0};
    case 3: return {false, 2};
    case 4: return {true, 2};
    case 5: return {true, 3};  // transpose
    case 6: return {false, 1};
    case 7: return {true, 1};  // transverse
    case 8: return {false, 3};
    default: return {};
    }
}

void Lineage::add(const GeometryStep& step) {
    if (step.move.isIdentity() && step.crop.isNull())
        return;
    if (!steps.isEmpty() && steps.last().crop.isNull()) {
        GeometryStep& last = steps.last();
        last.move = last.move.then(step.move);
        last.crop = step.crop;
        if (last.move.isIdentity() && last.crop.isNull())
            steps.removeLast();
        return;
    }
    steps.append(step);
}

}  // namespace engine

#pragma once
// The colour-depth preview: what the colour panel shows and the batch tool's
// --depth step commits. One implementation for both.
#include "engine/picture.h"

namespace engine::ops {

// Converts the picture to a depth code as the preview does: the threshold is
// used for black and white only; 16 greys are made by going to 256 greys first
// and then reducing to 16 colours. No dithering. False when the code is unknown
// or a conversion failed (the picture may then be partly converted).
bool previewDepth(Picture& pic, int depthCode, int threshold);

// Inverts every colour channel of the whole picture (palette pictures keep
// their depth).
bool invertAll(Picture& pic);

}  // namespace engine::ops

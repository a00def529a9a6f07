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

// The colour panel's conversion: previewDepth, then inverted when asked. The
// picture itself is passed as whole to convert all of it. A part of a picture
// (what the preview shows of it, at the size shown) is converted with the
// palette that the whole picture's conversion chooses, so that it shows the
// colours the whole picture gets (16 greys excepted: their palette is chosen
// from the part).
bool panelDepth(Picture& pic, const Picture& whole, int depthCode, int threshold, bool invert);

}  // namespace engine::ops

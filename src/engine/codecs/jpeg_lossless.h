#pragma once
// Saving a JPEG that was only turned, flipped or trimmed by moving its
// compressed blocks (libjpeg-turbo's lossless transform), so it loses nothing.
#include "engine/codecs/codecs.h"

namespace engine::codecs {

// Writes the JPEG the picture was decoded from, moved and cut by the steps of
// its lineage, when that gives exactly the picture: every step is a turn, a
// mirror or a cut whose edges lie on the file's block grid (the MCU), nothing
// else changed the pixels, and no partial block at an edge would have to
// move. The file's own markers are left out (the caller writes the metadata);
// the comment goes in its COM segment. False when any of that does not hold:
// the caller then encodes the pixels as usual.
bool encodeJpegLosslessly(const Picture& pic, const EncodeOptions& opt, QByteArray& out);

}  // namespace engine::codecs

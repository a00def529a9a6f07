#pragma once
// FlashPix writing with a choice of tile layout, for tests and tools;
// encodeFpx writes the default layout.
#include "engine/codecs/codecs.h"

namespace engine::codecs::fpx {

struct TileLayout {
    bool subsampleChroma = true;  // colour tiles with 2 x 2 subsampled chroma
    bool sharedTables = true;     // JPEG tables in the image contents, not in every tile
};

bool encodeWithLayout(const Picture& pic, const EncodeOptions& opt, const TileLayout& layout, QByteArray& out,
                      Error& err);

}  // namespace engine::codecs::fpx

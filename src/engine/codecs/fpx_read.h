#pragma once
// FlashPix reading beyond decodeFpx: the resolution levels of a file, for
// checks of what we write and for tools.
#include "engine/codecs/codecs.h"

#include <QList>

namespace engine::codecs::fpx {

struct LevelInfo {
    int index = 0;  // the number in "Resolution NNNN"
    int width = 0;
    int height = 0;
    int channels = 0;
};

// The resolution levels of the first image object, in stored order.
bool readLevels(const QByteArray& data, QList<LevelInfo>& levels, Error& err);

// Decodes one level (by its stored index) of the first image object.
bool decodeLevel(const QByteArray& data, int index, Decoded& out, Error& err);

}  // namespace engine::codecs::fpx

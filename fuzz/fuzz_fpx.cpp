// libFuzzer target for the FlashPix decoder: any input must decode or fail
// with an engine error, without crashing, leaking or over-allocating.
// Seed it with the FlashPix files of ../shared/corpus/fpx and files we write.
#include "engine/codecs/codecs.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    engine::codecs::Decoded out;
    engine::Error err = engine::Error::None;
    if (engine::codecs::decodeFpx(bytes, out, err)) {
        if (out.picture.isNull())
            __builtin_trap();
    } else if (err == engine::Error::None) {
        __builtin_trap();  // a failure must say why
    }
    return 0;
}

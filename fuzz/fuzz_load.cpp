// libFuzzer target: the whole load path, format detection and every decoder.
#include "engine/codecs/codecs.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    engine::codecs::Decoded d;
    engine::Error err = engine::Error::None;
    engine::codecs::decode(bytes, d, err);
    return 0;
}

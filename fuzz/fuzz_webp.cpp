// libFuzzer target: the WebP decoder on arbitrary bytes.
#include "fuzz_library_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return fuzzcheck::fuzzDecoder(engine::codecs::decodeWebp, data, size);
}

// libFuzzer target: the JPEG XL decoder on arbitrary bytes.
#include "fuzz_library_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return fuzzcheck::fuzzDecoder(engine::codecs::decodeJxl, data, size);
}

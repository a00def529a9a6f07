// libFuzzer target: the JPEG 2000 decoder on arbitrary bytes, and the (lossless)
// writer on whatever it reads.
#include "fuzz_library_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return fuzzcheck::fuzzDecoder(engine::codecs::decodeJpeg2000, data, size, engine::codecs::J2k);
}

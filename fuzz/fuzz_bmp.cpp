// libFuzzer target: the BMP decoder on arbitrary bytes, and the writer on
// whatever it accepts.
#include "fuzz_roundtrip.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace engine::codecs;
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    Decoded d;
    engine::Error err = engine::Error::None;
    if (decodeBmp(bytes, d, err) && d.picture.width() * qint64(d.picture.height()) <= (1 << 20))
        fuzzcheck::checkRoundTrip(Bmp, d.picture);
    return 0;
}

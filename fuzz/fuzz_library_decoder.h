#pragma once
// Shared body of the fuzz targets for the decoders built on a library (WebP,
// AVIF, HEIC, JPEG XL, JPEG 2000): the library is not ours, the glue around it
// is (size checks, row copies, orientation, metadata and comment parsing).
// A lossless format also writes back whatever it read, unchanged.
#include "fuzz_roundtrip.h"

namespace fuzzcheck {

using DecodeFn = bool (*)(const QByteArray&, engine::codecs::Decoded&, engine::Error&);

inline int fuzzDecoder(DecodeFn decodeFn, const uint8_t* data, size_t size,
                       engine::codecs::Format lossless = engine::codecs::UnknownFormat) {
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    engine::codecs::Decoded d;
    engine::Error err = engine::Error::None;
    const bool ok = decodeFn(bytes, d, err);
    if (ok && d.picture.isNull())
        abort();  // success must bring a picture
    if (ok && lossless != engine::codecs::UnknownFormat && d.picture.width() * qint64(d.picture.height()) <= (1 << 20))
        checkRoundTrip(lossless, d.picture);
    return 0;
}

}  // namespace fuzzcheck

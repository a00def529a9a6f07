// libFuzzer target: the reduced JPEG decode of the first paint, on arbitrary
// bytes and for a few wanted sizes.
#include "engine/codecs/jpeg_reduced.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    for (const QSize want : {QSize(1, 1), QSize(64, 48), QSize(640, 480)}) {
        QSize full;
        const QImage img = engine::codecs::decodeJpegReduced(bytes, want, full);
        if (!img.isNull() && (img.width() > full.width() || img.height() > full.height()))
            __builtin_trap();
    }
    return 0;
}

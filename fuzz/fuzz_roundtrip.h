#pragma once
// Shared check of the decoder fuzz targets: a picture that decodes must
// encode again and decode to the same pixels, palette and depth.
#include "engine/codecs/codecs.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace fuzzcheck {

// tablePadded: the format stores fixed-size tables, so b's table may be
// longer than a's (the extra entries unused).
inline bool samePicture(const engine::Picture& a, const engine::Picture& b, bool tablePadded) {
    if (a.bits != b.bits || a.image.size() != b.image.size() || a.image.format() != b.image.format())
        return false;
    if (a.bits <= 8) {
        const QList<QRgb> ta = a.image.colorTable(), tb = b.image.colorTable();
        if (tablePadded ? tb.mid(0, ta.size()) != ta : tb != ta)
            return false;
    }
    // Same store format: the used bytes of every row must match (1-bit rows
    // may differ in the bits past the last pixel).
    const qint64 used = (qint64(a.width()) * a.image.depth() + 7) / 8;
    for (int y = 0; y < a.height(); ++y) {
        const uchar* ra = a.image.constScanLine(y);
        const uchar* rb = b.image.constScanLine(y);
        if (a.bits == 1) {
            for (int x = 0; x < a.width(); ++x)
                if (((ra[x >> 3] ^ rb[x >> 3]) >> (7 - (x & 7))) & 1)
                    return false;
        } else if (memcmp(ra, rb, size_t(used)) != 0) {
            return false;
        }
    }
    return true;
}

// Encodes in `format` and decodes again; aborts (a finding) when the picture changes.
inline void checkRoundTrip(engine::codecs::Format format, const engine::Picture& pic) {
    using namespace engine::codecs;
    QByteArray bytes;
    engine::Error err = engine::Error::None;
    if (!encode(format, pic, EncodeOptions(), bytes, err))
        return;  // a depth the format does not hold
    Decoded again;
    if (!decode(bytes, again, err) || !samePicture(pic, again.picture, format == Pcx)) {
        fprintf(stderr, "round trip changed the picture (format %d, error %d)\n", int(format), int(err));
        abort();
    }
}

}  // namespace fuzzcheck

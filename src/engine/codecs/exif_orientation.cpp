#include "engine/codecs/exif_orientation.h"

#include <cstring>

namespace engine::codecs {

namespace {

struct Reader {
    const uint8_t* p;
    size_t size;
    bool big;

    bool u16(size_t at, uint32_t& v) const {
        if (at > size || size - at < 2)
            return false;
        v = big ? (uint32_t(p[at]) << 8 | p[at + 1]) : (uint32_t(p[at + 1]) << 8 | p[at]);
        return true;
    }
    bool u32(size_t at, uint32_t& v) const {
        if (at > size || size - at < 4)
            return false;
        v = big ? (uint32_t(p[at]) << 24 | uint32_t(p[at + 1]) << 16 | uint32_t(p[at + 2]) << 8 | p[at + 3])
                : (uint32_t(p[at + 3]) << 24 | uint32_t(p[at + 2]) << 16 | uint32_t(p[at + 1]) << 8 | p[at]);
        return true;
    }
};

constexpr uint32_t kOrientationTag = 0x0112;
constexpr uint32_t kTypeShort = 3;

}  // namespace

int exifOrientation(const uint8_t* tiff, size_t size) {
    if (!tiff || size < 8)
        return 1;
    Reader r{tiff, size, false};
    if (tiff[0] == 'M' && tiff[1] == 'M')
        r.big = true;
    else if (!(tiff[0] == 'I' && tiff[1] == 'I'))
        return 1;
    uint32_t magic = 0, ifd = 0, count = 0;
    if (!r.u16(2, magic) || magic != 42 || !r.u32(4, ifd) || !r.u16(ifd, count))
        return 1;
    // Only IFD0 describes the main picture; each entry is 12 bytes.
    for (uint32_t i = 0; i < count; ++i) {
        const size_t entry = size_t(ifd) + 2 + size_t(i) * 12;
        uint32_t tag = 0, type = 0, n = 0, value = 0;
        if (!r.u16(entry, tag) || !r.u16(entry + 2, type) || !r.u32(entry + 4, n))
            return 1;
        if (tag != kOrientationTag)
            continue;
        if (type != kTypeShort || n < 1 || !r.u16(entry + 8, value))
            return 1;
        return value >= 1 && value <= 8 ? int(value) : 1;
    }
    return 1;
}

int exifOrientationFromApp1(const uint8_t* payload, size_t size) {
    if (!payload || size < 6 || memcmp(payload, "Exif\0\0", 6) != 0)
        return 1;
    return exifOrientation(payload + 6, size - 6);
}

QByteArray exifTiffPart(const QByteArray& block) {
    auto isTiff = [&](qsizetype at) {
        return block.size() - at >= 8 && (block.mid(at, 4) == QByteArray("II*\0", 4) || block.mid(at, 4) == QByteArray("MM\0*", 4));
    };
    if (isTiff(0))
        return block;
    if (block.startsWith(QByteArray("Exif\0\0", 6)) && isTiff(6))
        return block.mid(6);
    if (block.size() >= 4) {
        const auto* d = reinterpret_cast<const uchar*>(block.constData());
        const quint32 offset = quint32(d[0]) << 24 | quint32(d[1]) << 16 | quint32(d[2]) << 8 | d[3];
        if (offset <= quint32(block.size() - 4)) {
            const qsizetype at = 4 + qsizetype(offset);
            if (isTiff(at))
                return block.mid(at);
            if (block.mid(at, 6) == QByteArray("Exif\0\0", 6) && isTiff(at + 6))
                return block.mid(at + 6);
        }
    }
    return QByteArray();
}

int orientationFromTransforms(int quarterTurns, int mirror) {
    // Rows: counter-clockwise quarter turns 0..3; columns: no mirror, top and
    // bottom exchanged, left and right exchanged.
    static constexpr int kTable[4][3] = {{1, 4, 2}, {8, 5, 7}, {3, 2, 4}, {6, 7, 5}};
    return kTable[quarterTurns & 3][mirror == 0 ? 1 : (mirror == 1 ? 2 : 0)];
}

}  // namespace engine::codecs

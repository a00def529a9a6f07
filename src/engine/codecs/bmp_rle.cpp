// RLE8 and RLE4 pixel data. Every run is checked against the row and the
// picture before a byte is written; what no run covers keeps index 0.
#include "engine/codecs/bmp_format.h"

#include <cstring>

namespace engine::codecs::bmp {

bool decodeRle(const uchar* data, qint64 size, int bits, QImage& image, Error& err) {
    const int width = image.width();
    const int height = image.height();
    int x = 0, y = 0;  // y counts rows from the bottom, as the file stores them
    qint64 i = 0;
    auto damaged = [&] {
        err = Error::Damaged;
        return false;
    };
    auto row = [&] { return image.scanLine(height - 1 - y); };
    for (;;) {
        if (i + 2 > size)
            return damaged();  // no end-of-bitmap: the data was cut short
        const int count = data[i];
        const uchar value = data[i + 1];
        i += 2;
        if (count > 0) {  // a run of one index (RLE4: two alternating indexes)
            if (y >= height || x + count > width)
                return damaged();
            uchar* p = row() + x;
            if (bits == 8) {
                memset(p, value, size_t(count));
            } else {
                for (int k = 0; k < count; ++k)
                    p[k] = (k & 1) ? (value & 15) : (value >> 4);
            }
            x += count;
            continue;
        }
        switch (value) {
        case 0:  // end of line
            x = 0;
            ++y;
            break;
        case 1:  // end of bitmap
            return true;
        case 2:  // delta: skip right and up
            if (i + 2 > size)
                return damaged();
            x += data[i];
            y += data[i + 1];
            i += 2;
            if (x > width || y > height)
                return damaged();
            break;
        default: {  // absolute block of `value` indexes, padded to 16 bits
            const int n = value;
            const qint64 bytes = bits == 8 ? n : (n + 1) / 2;
            if (i + bytes > size || y >= height || x + n > width)
                return damaged();
            uchar* p = row() + x;
            const uchar* s = data + i;
            if (bits == 8) {
                memcpy(p, s, size_t(n));
            } else {
                for (int k = 0; k < n; ++k)
                    p[k] = (k & 1) ? (s[k >> 1] & 15) : (s[k >> 1] >> 4);
            }
            x += n;
            i += (bytes + 1) & ~qint64(1);
            break;
        }
        }
    }
}

}  // namespace engine::codecs::bmp

#pragma once
// Row helpers for the codecs whose libraries hand over RGB(A) samples: the
// store's 24-bit rows are B, G, R bytes and its 32-bit rows B, G, R, X words
// (Format_RGB32 on a little-endian machine).
#include <QImage>
#include <QtGlobal>

#include <utility>

static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN, "the codecs read Format_RGB32 rows as B, G, R, X bytes");

namespace engine::codecs::rows {

// Exchanges the first and third byte of every pixel of a row, in place:
// RGB(A) to BGR(A) and back.
inline void swapRedBlue(uchar* row, int width, int bytesPerPixel) {
    for (int x = 0; x < width; ++x, row += bytesPerPixel)
        std::swap(row[0], row[2]);
}

// The fourth byte of every 32-bit pixel made 0xFF: the store keeps no alpha,
// and Format_RGB32 needs its pixels opaque.
inline void makeOpaque(QImage& image) {
    for (int y = 0; y < image.height(); ++y) {
        uchar* p = image.scanLine(y) + 3;
        for (int x = 0; x < image.width(); ++x, p += 4)
            *p = 0xFF;
    }
}

}  // namespace engine::codecs::rows

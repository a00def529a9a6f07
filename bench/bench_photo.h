#pragma once
// The benchmarks' test picture: smooth colour fields, hard edges and fine
// noise, a photo's mix of many colours and local detail, made without any file.
#include "engine/picture.h"

#include <QImage>
#include <cstdint>

namespace bench {

inline engine::Picture makePhoto(int width = 6000, int height = 4000) {
    QImage img(width, height, QImage::Format_BGR888);
    uint32_t seed = 12345;
    for (int y = 0; y < height; ++y) {
        uchar* row = img.scanLine(y);
        for (int x = 0; x < width; ++x) {
            seed = seed * 1664525u + 1013904223u;
            const int noise = int(seed >> 28) - 8;
            const bool edge = ((x / 700) + (y / 500)) & 1;
            const int r = (x * 255 / width + noise + (edge ? 40 : 0)) & 255;
            const int g = (y * 255 / height + noise) & 255;
            const int b = ((x + y) / 40 + (edge ? 0 : 90) + noise) & 255;
            row[x * 3] = uchar(b);
            row[x * 3 + 1] = uchar(g);
            row[x * 3 + 2] = uchar(r);
        }
    }
    return engine::makePicture(img, 24);
}

// The 6000 x 4000 picture, made once per program.
inline const engine::Picture& photo() {
    static const engine::Picture pic = makePhoto();
    return pic;
}

}  // namespace bench

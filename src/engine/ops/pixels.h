#pragma once
// Shared helpers of the picture operations: checking a picture against its
// store format, moving between the store formats and a 32-bit working copy,
// and splitting row work over the machine's cores.
#include "engine/picture.h"

#include <algorithm>
#include <exception>
#include <thread>
#include <vector>

namespace engine::ops::detail {

// True when the picture's image is in the store format of its depth and a
// palette picture's table fits its depth (so every op may rely on it).
bool wellFormed(const Picture& pic);

// Whether the depth keeps its colours in a table (1, 4 and 8 bits).
inline bool isPaletteDepth(int bits) { return bits == 1 || bits == 4 || bits == 8; }

// A 32-bit (Format_RGB32) copy of any image; alpha is dropped. Shares the
// pixels when the image already is Format_RGB32.
QImage toRgb32(const QImage& image);

// A direct-colour picture (16, 24 or 32 bits) from a Format_RGB32 image.
// Null picture when memory runs out.
Picture fromRgb32(const QImage& rgb32, int bits, const QImage& metricsFrom);

// Copies resolution (dots per metre) from one image to another.
void copyMetrics(QImage& to, const QImage& from);

// A new image of the given size and format, null when it is beyond the
// engine's limits or memory runs out.
QImage allocImage(qint64 width, qint64 height, QImage::Format format);

// A copy of the image in memory of its own (allocImage), ready to be written.
QImage writableCopy(const QImage& image);

// The image's pixels ready to be written in place: taken over when nobody else
// holds them (image is left null), otherwise a writable copy (image untouched).
// Null when memory runs out.
inline QImage ownPixels(QImage& image) {
    if (image.isDetached())
        return std::move(image);
    return writableCopy(image);
}

// Runs fn(begin, end) over [0, count) split into contiguous blocks, one per
// core; small jobs (under minPerThread items per core) run on the caller. An
// exception thrown by any block (std::bad_alloc, say) reaches the caller
// after every block has finished.
template <class F>
void parallelFor(int count, int minPerThread, F&& fn) {
    if (count <= 0)
        return;
    int threads = int(std::clamp(std::thread::hardware_concurrency(), 1u, 8u));
    threads = std::min(threads, std::max(1, count / std::max(1, minPerThread)));
    if (threads <= 1) {
        fn(0, count);
        return;
    }
    const int block = (count + threads - 1) / threads;
    std::vector<std::exception_ptr> errors(static_cast<size_t>(threads));
    auto run = [&](int t) {
        const int b = t * block, e = std::min(count, b + block);
        if (b >= e)
            return;
        try {
            fn(b, e);
        } catch (...) {
            errors[size_t(t)] = std::current_exception();
        }
    };
    std::vector<std::thread> pool;
    pool.reserve(size_t(threads - 1));
    int started = 1;
    try {
        for (; started < threads; ++started)
            pool.emplace_back(run, started);
    } catch (...) {
        // No more threads could be started: the caller does the rest itself.
    }
    run(0);
    for (int t = started; t < threads; ++t)
        run(t);
    for (auto& th : pool)
        th.join();
    for (const auto& e : errors)
        if (e)
            std::rethrow_exception(e);
}

}  // namespace engine::ops::detail
